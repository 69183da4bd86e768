// The sinks: the WAV file (its format, its validity at any moment, the fixed-clock stepping
// and real-time feeding) and the audio device with its fall-back to silence.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

#include "fmod.h"
#include "host/host.h"
#include "sound/testing.h"
#include "sound_test_support.h"

namespace sound_test {
namespace {

uint32_t le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(uint8_t(bytes[at + size_t(i)])) << (8 * i);
    return v;
}
uint16_t le16(const std::string& bytes, size_t at) {
    return uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
}

// The WAV file's frames after checking that its header describes 16-bit stereo 44100 Hz PCM
// and that both sizes in it match the file.
Mix readWav(const std::string& path) {
    std::string bytes = testing_support::readFile(path);
    if (bytes.size() < 44) {
        ADD_FAILURE() << path << ": " << bytes.size() << " bytes, no WAV header";
        return {};
    }
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(le32(bytes, 4), bytes.size() - 8) << "RIFF size";
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(le32(bytes, 16), 16u);
    EXPECT_EQ(le16(bytes, 20), 1) << "PCM";
    EXPECT_EQ(le16(bytes, 22), 2) << "channels";
    EXPECT_EQ(le32(bytes, 24), 44100u) << "rate";
    EXPECT_EQ(le32(bytes, 28), 44100u * 4) << "bytes a second";
    EXPECT_EQ(le16(bytes, 32), 4) << "block align";
    EXPECT_EQ(le16(bytes, 34), 16) << "bits";
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(le32(bytes, 40), bytes.size() - 44) << "data size";
    content::mp3::Pcm pcm;
    std::string error;
    std::vector<uint8_t> file(bytes.begin(), bytes.end());
    EXPECT_TRUE(content::mp3::readWav(file, pcm, &error)) << error;
    return pcm.samples;
}

class SoundOutput : public SoundTest {
protected:
    void useWav(int framesPerSecond, int denominator = 1) {
        host::Settings s;
        s.audio = host::AudioSink::Wav;
        s.wavPath = temp.file("mix.wav");
        s.fixedClock = framesPerSecond > 0;
        s.fixedFramesPerSecond = framesPerSecond;
        s.fixedFrameRateDenominator = denominator;
        useSettings(s);
    }
    void useDevice(const char* driver) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        host::Settings s;
        s.audio = host::AudioSink::Auto;
        useSettings(s);
    }
    void TearDown() override {
        SoundTest::TearDown();
        unsetenv("SDL_AUDIODRIVER");
    }
    std::string wavPath() const { return settings.wavPath; }
};

// At 24 frames a second a frame is 1837.5 samples: presents alternate between 1837 and 1838
// so that after n presents the file holds exactly floor(n * 44100 / 24) frames.
TEST_F(SoundOutput, FixedClockWritesExactlyTheFramesPresented) {
    useWav(24);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(readWav(wavPath()).size(), 0u);
    for (uint64_t n = 1; n <= 7; ++n) {
        host::present(false);
        EXPECT_EQ(readWav(wavPath()).size() / 2, n * 44100 / 24) << "after " << n << " presents";
    }
}

// At 30000/1001 frames a second the file holds floor(n * 44100 * 1001 / 30000) frames after n
// presents: 1471 or 1472 a frame, never drifting from the clock.
TEST_F(SoundOutput, FixedClockKeepsAFractionalRateInStep) {
    useWav(30000, 1001);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    for (uint64_t n = 1; n <= 31; ++n) {
        host::present(false);
        ASSERT_EQ(readWav(wavPath()).size() / 2, n * 44100 * 1001 / 30000) << "after " << n << " presents";
    }
}

// A sound started while frame n is prepared begins at sample floor(n * 44100 / fps) of the file.
TEST_F(SoundOutput, SoundStartedBeforeFrameNBeginsAtItsFirstSample) {
    useWav(24);
    std::string path = temp.file("tone.mp3");
    writeBytes(path, sineMp3(440, 0.5, rate, 2, 0.5, std::acos(0.0)));   // a quarter turn: starts at its peak
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    for (int i = 0; i < 5; ++i) host::present(false);
    FSOUND_STREAM* stream = FSOUND_Stream_OpenMpeg(path.c_str(), 0x29);
    ASSERT_NE(stream, nullptr);
    FSOUND_Stream_Play(FSOUND_FREE, stream);
    for (int i = 0; i < 3; ++i) host::present(false);
    Mix mix = readWav(wavPath());
    const size_t start = 5 * 44100 / 24;   // 9187
    ASSERT_EQ(mix.size() / 2, 8 * 44100 / 24);
    EXPECT_EQ(endOfLoud(Mix(mix.begin(), mix.begin() + start * 2), 0), 0u) << "silence before the sound";
    EXPECT_GT(std::abs(mix[start * 2]), 10000) << "the sound's first frame is at " << start;
}

TEST_F(SoundOutput, OutputOpenedLateStartsWithTheSilenceOfEarlierFrames) {
    useWav(30);
    for (int i = 0; i < 10; ++i) host::present(false);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(readWav(wavPath()).size() / 2, 10u * 1470);
    host::present(false);
    EXPECT_EQ(readWav(wavPath()).size() / 2, 11u * 1470);
}

// A process that ends without any clean-up still leaves a playable file.
TEST_F(SoundOutput, FileIsValidAfterAnAbruptEnd) {
    useWav(30);
    std::string path = temp.file("tone.mp3");
    writeBytes(path, sineMp3(440, 1.0));
    EXPECT_EXIT(
        {
            FSOUND_Init(44100, 32, 0);
            FSOUND_Stream_Play(FSOUND_FREE, FSOUND_Stream_OpenMpeg(path.c_str(), 0x29));
            for (int i = 0; i < 4; ++i) host::present(false);
            _exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    Mix mix = readWav(wavPath());
    EXPECT_EQ(mix.size() / 2, 4u * 1470);
    EXPECT_NEAR(double(cycles(mix, 0, 0, 4 * 1470)), 440.0 * 4 / 30, 2.0);
}

// With the real clock the file grows with time from the moment the output opened.
TEST_F(SoundOutput, RealClockFeedsTheFileInRealTime) {
    useWav(0);
    auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    size_t soFar = readWav(wavPath()).size() / 2;
    sound::testing::reset();   // closing writes what is due up to now
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
    size_t frames = readWav(wavPath()).size() / 2;
    EXPECT_GT(soFar, size_t(0.2 * rate)) << "written while running, not only at the end";
    EXPECT_GE(frames, size_t(0.29 * rate));
    EXPECT_LE(double(frames), elapsed * rate + 1);
}

TEST_F(SoundOutput, NoDeviceMeansOneWarningAndSilence) {
    useDevice("no-such-driver");
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_TRUE(FSOUND_Init(44100, 32, 0));
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("[sound] no audio device", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

// The device pulls the mix on its own thread: a stream ends, and frees its channel, by
// itself, in about its own length.
TEST_F(SoundOutput, DevicePullsTheMixInRealTime) {
    useDevice("dummy");
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(FSOUND_Init(44100, 1, 0));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    std::string path = temp.file("short.mp3");
    writeBytes(path, sineMp3(440, 0.2));
    FSOUND_STREAM* a = FSOUND_Stream_OpenMpeg(path.c_str(), 0x29);
    FSOUND_STREAM* b = FSOUND_Stream_OpenMpeg(path.c_str(), 0x29);
    ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, a), 0);
    ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, b), -1) << "the one channel is taken";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    int channel = -1;
    while (channel < 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        channel = FSOUND_Stream_Play(FSOUND_FREE, b);
    }
    EXPECT_EQ(channel, 0) << "the first stream never ended";
}

}  // namespace
}  // namespace sound_test
