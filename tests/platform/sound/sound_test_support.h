// What the sound tests share: generated MP3 and module files, a fixture that starts every test
// from a fresh process's view of the platform, and measurements of rendered sound.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/settings.h"
#include "mp3_writer.h"
#include "module_writer.h"
#include "support.h"

namespace sound_test {

constexpr int rate = 44100;

// A sine MP3 (LAME info frame included, so it decodes to exactly its frames at its own rate).
std::vector<uint8_t> sineMp3(double frequency, double seconds, int sampleRate = rate, int channels = 2,
                             double amplitude = 0.5, double phase = 0.0);
void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> moduleBytes(const content::module::Song& song);

// Interleaved 16-bit stereo, as the mixer renders it.
using Mix = std::vector<int16_t>;

// Frame index of the first and one past the last frame whose magnitude exceeds `threshold`
// in either channel; both 0 when there is none.
size_t firstLoud(const Mix& mix, int threshold = 64);
size_t endOfLoud(const Mix& mix, int threshold = 64);
// Full periods of one channel over frames [begin, end), counted as swings from below
// -threshold to above +threshold, so encoder noise near zero is not counted.
size_t cycles(const Mix& mix, int channel, size_t begin, size_t end, int threshold = 2000);
double rootMeanSquare(const Mix& mix, int channel, size_t begin, size_t end);

// Every test starts with no library initialised, the clock at frame 0, no test hook set,
// and the settings below (real clock, DEMO_AUDIO=none) unless it overrides them.
class SoundTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Replaces the settings; call before the first initialisation of the test.
    void useSettings(const host::Settings& settings);
    host::Settings settings;
    testing_support::TempDir temp;
};

}  // namespace sound_test
