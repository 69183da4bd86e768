#include "sound_test_support.h"

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "host/host.h"
#include "sound/testing.h"

namespace sound_test {

std::vector<uint8_t> sineMp3(double frequency, double seconds, int sampleRate, int channels, double amplitude,
                             double phase) {
    content::mp3::Pcm pcm = content::mp3::sine(frequency, seconds, sampleRate, channels, amplitude, phase);
    std::vector<uint8_t> mp3;
    std::string error;
    if (!content::mp3::encode(pcm, {}, mp3, &error)) ADD_FAILURE() << "encoding a test MP3: " << error;
    return mp3;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << path;
}

std::vector<uint8_t> moduleBytes(const content::module::Song& song) {
    std::vector<uint8_t> file;
    std::string error;
    if (!content::module::writeMod(song, file, &error)) ADD_FAILURE() << "writing a test module: " << error;
    return file;
}

size_t firstLoud(const Mix& mix, int threshold) {
    for (size_t i = 0; i < mix.size(); ++i)
        if (std::abs(int(mix[i])) > threshold) return i / 2;
    return 0;
}

size_t endOfLoud(const Mix& mix, int threshold) {
    for (size_t i = mix.size(); i > 0; --i)
        if (std::abs(int(mix[i - 1])) > threshold) return (i - 1) / 2 + 1;
    return 0;
}

size_t cycles(const Mix& mix, int channel, size_t begin, size_t end, int threshold) {
    size_t count = 0;
    bool low = false;
    for (size_t i = begin; i < end && i * 2 + 1 < mix.size(); ++i) {
        int v = mix[i * 2 + size_t(channel)];
        if (v < -threshold) low = true;
        if (v > threshold && low) {
            ++count;
            low = false;
        }
    }
    return count;
}

double rootMeanSquare(const Mix& mix, int channel, size_t begin, size_t end) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = begin; i < end && i * 2 + 1 < mix.size(); ++i, ++n) {
        double v = mix[i * 2 + size_t(channel)];
        sum += v * v;
    }
    return n ? std::sqrt(sum / double(n)) : 0.0;
}

void SoundTest::SetUp() {
    unsetenv("DEMO_FMOD_VERSION");
    unsetenv("DEMO_AUDIO_UNAVAILABLE");
    settings = host::Settings{};
    settings.audio = host::AudioSink::None;
    useSettings(settings);
}

void SoundTest::useSettings(const host::Settings& replacement) {
    settings = replacement;
    sound::testing::reset();
    host::resetForTests();
    host::overrideSettings(settings);
}

void SoundTest::TearDown() {
    sound::testing::reset();
    host::resetForTests();
    unsetenv("DEMO_FMOD_VERSION");
    unsetenv("DEMO_AUDIO_UNAVAILABLE");
}

}  // namespace sound_test
