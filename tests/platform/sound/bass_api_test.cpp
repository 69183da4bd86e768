// The BASS subset as glintdemo relies on it: initialisation, a looping stream over the
// caller's memory, stop and start, and freeing.
#include <cstdlib>

#include "bass.h"
#include "sound/testing.h"
#include "sound_test_support.h"

namespace sound_test {
namespace {

using sound::testing::renderMix;

class Bass : public SoundTest {};

TEST_F(Bass, InitOnceUntilFree) {
    EXPECT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_OK));
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_ALREADY));
    EXPECT_TRUE(BASS_Free());
    EXPECT_FALSE(BASS_Free());
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_INIT));
    EXPECT_TRUE(BASS_Init(1, 44100, 0, nullptr));
    EXPECT_TRUE(BASS_Free());
}

TEST_F(Bass, InitFailsWhenTheDeviceIsUnavailableOrUnknown) {
    setenv("DEMO_AUDIO_UNAVAILABLE", "1", 1);
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_DRIVER));
    unsetenv("DEMO_AUDIO_UNAVAILABLE");
    EXPECT_FALSE(BASS_Init(7, 44100, 0, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_DEVICE));
    // Nothing else reaches the library while it is not ready.
    EXPECT_FALSE(BASS_Start());
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_INIT));
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "x.mp3", 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_INIT));
    EXPECT_FALSE(BASS_Stop());
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_INIT));
}

TEST_F(Bass, StreamCreationFailuresGiveTheirErrorCodes) {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    std::vector<uint8_t> mp3 = sineMp3(440, 0.25);
    const std::string text = "plain words, no MPEG audio at all";
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, text.data(), 0, DWORD(text.size()), 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_FILEFORM));
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, mp3.data(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_ILLPARAM));
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, temp.file("missing.mp3").c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_FILEOPEN));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, mp3.data(), 0, DWORD(mp3.size()), 0x200000), 0u);
    EXPECT_NE(::testing::internal::GetCapturedStderr(), "") << "an unsupported flag says so";
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_ILLPARAM));
    EXPECT_FALSE(BASS_StreamPlay(12345, FALSE, 0));
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_HANDLE));
}

// A stream from a part of the block, and the same part of a file.
TEST_F(Bass, StreamsCoverTheGivenRange) {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    std::vector<uint8_t> mp3 = sineMp3(440, 0.5);
    std::vector<uint8_t> padded(100 + mp3.size() + 300, 0xAA);
    std::copy(mp3.begin(), mp3.end(), padded.begin() + 100);
    std::string path = temp.file("padded.bin");
    writeBytes(path, padded);

    HSTREAM fromMemory = BASS_StreamCreateFile(TRUE, padded.data(), 100, DWORD(mp3.size()), BASS_MP3_SETPOS);
    ASSERT_NE(fromMemory, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_StreamPlay(fromMemory, FALSE, 0));
    Mix memoryMix = renderMix(rate);
    HSTREAM fromFile = BASS_StreamCreateFile(FALSE, path.c_str(), 100, DWORD(mp3.size()), BASS_MP3_SETPOS);
    ASSERT_NE(fromFile, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_StreamPlay(fromFile, FALSE, 0));
    Mix fileMix = renderMix(rate);
    EXPECT_EQ(endOfLoud(memoryMix, 0), size_t(rate / 2));
    EXPECT_EQ(memoryMix, fileMix);
}

// The soundtrack loops when the show outlasts it: at its end the stream starts over.
TEST_F(Bass, LoopedStreamStartsOverAtItsEnd) {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    const size_t length = rate / 2;
    std::vector<uint8_t> mp3 = sineMp3(440, 0.5, rate, 2, 0.5, 1.0);
    HSTREAM stream = BASS_StreamCreateFile(TRUE, mp3.data(), 0, DWORD(mp3.size()), BASS_MP3_SETPOS);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_Start());
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, BASS_SAMPLE_LOOP));
    Mix mix = renderMix(length * 3);
    EXPECT_EQ(endOfLoud(mix, 0), mix.size() / 2) << "sound to the end";
    for (size_t pass = 1; pass <= 2; ++pass) {
        int largest = 0;
        for (size_t i = 0; i < length; ++i)
            largest = std::max(largest, std::abs(mix[(pass * length + i) * 2] - mix[i * 2]));
        EXPECT_LE(largest, 2) << "pass " << pass << " repeats the first";
    }
}

TEST_F(Bass, StopHaltsStreamsUntilStartAndPlayResumes) {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    std::vector<uint8_t> mp3 = sineMp3(440, 1.0);
    HSTREAM stream = BASS_StreamCreateFile(TRUE, mp3.data(), 0, DWORD(mp3.size()), 0);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    renderMix(rate * 6 / 10);
    ASSERT_TRUE(BASS_Stop());
    EXPECT_EQ(endOfLoud(renderMix(rate / 10), 0), 0u) << "silent after BASS_Stop";
    EXPECT_FALSE(BASS_StreamPlay(stream, FALSE, 0));
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_START));
    ASSERT_TRUE(BASS_Start());
    EXPECT_EQ(endOfLoud(renderMix(rate / 10), 0), 0u) << "streams stay stopped after BASS_Start";
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    EXPECT_EQ(endOfLoud(renderMix(rate), 0), size_t(rate * 4 / 10)) << "resumed where it stopped";
    ASSERT_TRUE(BASS_StreamPlay(stream, TRUE, 0));
    EXPECT_EQ(endOfLoud(renderMix(rate * 2), 0), size_t(rate)) << "flush starts from the beginning";
}

// After BASS_Free nothing reads the caller's block: it may be overwritten and released at
// once (a sanitizer build catches any late read).
TEST_F(Bass, FreeReleasesStreamsAndTheCallersMemory) {
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    auto block = std::make_unique<std::vector<uint8_t>>(sineMp3(440, 1.0));
    HSTREAM stream = BASS_StreamCreateFile(TRUE, block->data(), 0, DWORD(block->size()), BASS_MP3_SETPOS);
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, BASS_SAMPLE_LOOP));
    renderMix(rate / 10);
    ASSERT_TRUE(BASS_Stop());
    ASSERT_TRUE(BASS_Free());
    std::fill(block->begin(), block->end(), 0xFF);
    block.reset();
    EXPECT_EQ(endOfLoud(renderMix(rate / 2), 0), 0u);
    EXPECT_FALSE(BASS_StreamPlay(stream, FALSE, 0));
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_INIT));
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    EXPECT_FALSE(BASS_StreamPlay(stream, FALSE, 0)) << "handles do not outlive BASS_Free";
    EXPECT_EQ(BASS_ErrorGetCode(), DWORD(BASS_ERROR_HANDLE));
}

}  // namespace
}  // namespace sound_test
