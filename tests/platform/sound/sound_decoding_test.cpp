// Decoding through both libraries' calls, checked on the rendered mix: lengths, pitch, channels,
// the end of a song, and summing with clipping.
#include <cmath>

#include "bass.h"
#include "fmod.h"
#include "sound/testing.h"
#include "sound_test_support.h"

namespace sound_test {
namespace {

using content::module::periodOf;
using content::module::playbackRate;
using sound::testing::renderMix;

class SoundDecoding : public SoundTest {};

struct Mp3Case {
    int sampleRate;
    int channels;
};

class Mp3Decoding : public SoundTest, public ::testing::WithParamInterface<Mp3Case> {};

// A one-second 440 Hz sine at the file's own rate comes out as one second at 44100 Hz, at
// 440 Hz, in both channels alike.
TEST_P(Mp3Decoding, SineKeepsItsLengthAndPitch) {
    const Mp3Case c = GetParam();
    std::string path = temp.file("sine.mp3");
    writeBytes(path, sineMp3(440, 1.0, c.sampleRate, c.channels));
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FSOUND_STREAM* stream = FSOUND_Stream_OpenMpeg(path.c_str(), 0x29);
    ASSERT_NE(stream, nullptr) << "error " << FSOUND_GetError();
    ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, stream), 0);

    Mix mix = renderMix(rate * 3 / 2);
    EXPECT_LE(firstLoud(mix), 2u) << "the sound starts at once";
    // Exact at the mixing rate; other rates go through a resampler and may lose a frame or two.
    size_t tolerance = c.sampleRate == rate ? 0 : 4;
    EXPECT_NEAR(double(endOfLoud(mix, 0)), double(rate), double(tolerance + 1)) << "length in frames";
    for (int channel = 0; channel < 2; ++channel)
        EXPECT_NEAR(double(cycles(mix, channel, 0, rate)), 440.0, 2.0) << "channel " << channel;
    // The encoder keeps the level within half a decibel.
    const double expected = 0.5 * 32767 / std::sqrt(2.0);
    EXPECT_NEAR(rootMeanSquare(mix, 0, 1000, 40000), expected, expected * 0.1);
    EXPECT_NEAR(rootMeanSquare(mix, 0, 1000, 40000), rootMeanSquare(mix, 1, 1000, 40000), 50.0);
}

INSTANTIATE_TEST_SUITE_P(Sound, Mp3Decoding,
                         ::testing::Values(Mp3Case{44100, 2}, Mp3Case{44100, 1}, Mp3Case{22050, 2},
                                           Mp3Case{48000, 1}),
                         [](const auto& info) {
                             return std::to_string(info.param.sampleRate) + (info.param.channels == 1 ? "Mono" : "Stereo");
                         });

TEST_F(SoundDecoding, MemoryStreamDecodesLikeTheFile) {
    std::vector<uint8_t> mp3 = sineMp3(1000, 0.5);
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr));
    HSTREAM stream = BASS_StreamCreateFile(TRUE, mp3.data(), 0, DWORD(mp3.size()), BASS_MP3_SETPOS);
    ASSERT_NE(stream, 0u) << "error " << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_StreamPlay(stream, FALSE, 0));
    Mix mix = renderMix(rate);
    EXPECT_EQ(endOfLoud(mix, 0), size_t(rate / 2));
    EXPECT_NEAR(double(cycles(mix, 0, 0, rate / 2)), 500.0, 2.0);
}

// A module note of a looped sine plays at the pitch its period gives, for the rows the
// song holds it, and the song then ends instead of starting over.
TEST_F(SoundDecoding, ModuleToneHasItsPeriodsPitchAndEnds) {
    const int period = periodOf(12);   // C-2
    const size_t cycleLength = 32;
    const int rows = 16;               // 0.12 s a row at speed 6, tempo 125
    std::string path = temp.file("tone.mod");
    writeBytes(path, moduleBytes(content::module::toneSong(period, cycleLength, rows)));
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FMUSIC_MODULE* song = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(song, nullptr) << "error " << FSOUND_GetError();
    ASSERT_TRUE(FMUSIC_PlaySong(song));

    Mix mix = renderMix(rate * 4);
    const double expected = playbackRate(period) / double(cycleLength);   // about 259 Hz
    for (int channel = 0; channel < 2; ++channel)
        EXPECT_NEAR(double(cycles(mix, channel, 0, rate, 500)), expected, expected * 0.01) << "channel " << channel;
    double seconds = double(endOfLoud(mix)) / rate;
    EXPECT_GT(seconds, rows * 0.12 - 0.05) << "the note is held to the end of the song";
    EXPECT_LT(seconds, rows * 0.12 + 0.6) << "after a short fade the song falls silent";
    EXPECT_EQ(endOfLoud(renderMix(rate)), 0u) << "and stays silent";
}

TEST_F(SoundDecoding, EverythingPlayingIsSummedWithClipping) {
    std::string quiet = temp.file("quiet.mp3"), loud = temp.file("loud.mp3");
    writeBytes(quiet, sineMp3(440, 0.5, rate, 2, 0.25));
    writeBytes(loud, sineMp3(440, 0.5, rate, 2, 0.9));
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FSOUND_STREAM* a = FSOUND_Stream_OpenMpeg(quiet.c_str(), FSOUND_LOOP_OFF);
    FSOUND_STREAM* b = FSOUND_Stream_OpenMpeg(quiet.c_str(), FSOUND_LOOP_OFF);
    ASSERT_TRUE(a && b);
    FSOUND_Stream_Play(FSOUND_FREE, a);
    double one = rootMeanSquare(renderMix(rate / 2), 0, 1000, 20000);
    FSOUND_Stream_Play(FSOUND_FREE, a);
    FSOUND_Stream_Play(FSOUND_FREE, b);
    double two = rootMeanSquare(renderMix(rate / 2), 0, 1000, 20000);
    EXPECT_NEAR(two, 2 * one, one * 0.01) << "two equal sines in phase sum to twice the amplitude";

    FSOUND_STREAM* c = FSOUND_Stream_OpenMpeg(loud.c_str(), FSOUND_LOOP_OFF);
    FSOUND_STREAM* d = FSOUND_Stream_OpenMpeg(loud.c_str(), FSOUND_LOOP_OFF);
    FSOUND_Stream_Play(FSOUND_FREE, c);
    FSOUND_Stream_Play(FSOUND_FREE, d);
    Mix clipped = renderMix(rate / 2);
    int highest = 0, lowest = 0;
    size_t flips = 0;   // sign changes between neighbours that are both far from zero: wrap-around
    for (size_t i = 0; i < clipped.size(); i += 2) {
        highest = std::max(highest, int(clipped[i]));
        lowest = std::min(lowest, int(clipped[i]));
        if (i >= 2 && std::abs(clipped[i] - clipped[i - 2]) > 30000) ++flips;
    }
    EXPECT_EQ(highest, 32767);
    EXPECT_EQ(lowest, -32768);
    EXPECT_EQ(flips, 0u);
}

}  // namespace
}  // namespace sound_test
