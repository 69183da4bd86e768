// Encodes PCM sound into MP3 with libmp3lame. The file starts with a LAME info frame that
// records the encoder's delay and padding, so decoders that honour it (libmpg123 does) give
// back exactly the frames that went in. Used by tests and by the sample-content generators.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace content::mp3 {

struct Pcm {
    int rate = 44100;               // frames a second: 8000..48000, a rate MPEG audio has
    int channels = 2;               // 1 or 2
    std::vector<int16_t> samples;   // interleaved when stereo
    size_t frames() const { return channels > 0 ? samples.size() / size_t(channels) : 0; }
};

struct EncodeOptions {
    int bitrateKbps = 128;          // constant bit rate
    int quality = 5;                // 0 (best, slowest) .. 9
};

bool encode(const Pcm& pcm, const EncodeOptions& options, std::vector<uint8_t>& mp3, std::string* error);

// A sine of `frequency` Hz, `seconds` long, peak `amplitude` (0..1 of full scale), the same in
// every channel; `phase` in radians at the first frame.
Pcm sine(double frequency, double seconds, int rate, int channels, double amplitude, double phase = 0.0);

// Reads a 16-bit PCM WAV file's samples; false with a reason otherwise.
bool readWav(const std::vector<uint8_t>& file, Pcm& pcm, std::string* error);

}  // namespace content::mp3
