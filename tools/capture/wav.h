// The program's recorded sound (a 16-bit PCM WAV file written as the show ran) and the cut
// of it that goes with the captured stretch of frames.
#pragma once

#include <cstdint>
#include <string>

namespace capture {

struct WavInfo {
    int rate = 0, channels = 0, bitsPerSample = 0;
    uint64_t dataOffset = 0;    // file offset of the first sample
    uint64_t frames = 0;        // whole sample frames present (a file whose writer was stopped
                                // before it could set the sizes keeps what it has)
};

// False with a reason when the file is missing or is not 16-bit PCM.
bool readWavInfo(const std::string& path, WavInfo& info, std::string* error);

// Writes sample frames [first, last) of `in` (clamped to what it holds) to a new WAV file.
bool writeWavRange(const std::string& in, const WavInfo& info, uint64_t first, uint64_t last, const std::string& out,
                   std::string* error);

}  // namespace capture
