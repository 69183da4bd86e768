// Writes presented frames as numbered PNG files or as one YUV4MPEG2 stream. Private to platform/host.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace host {

class CaptureWriter {
public:
    // path: a directory for PNG files, or a file name ending in ".y4m" (whose header gives the
    // frame rate as framesPerSecond / denominator).
    CaptureWriter(std::string path, bool y4m, int framesPerSecond, int denominator = 1);
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // rgba: width x height pixels, 4 bytes each, bottom row first (as OpenGL reads them).
    // Returns false with a reason when the frame cannot be written.
    bool write(uint64_t frame, const uint8_t* rgba, int width, int height, std::string* error);

private:
    bool writePng(uint64_t frame, const uint8_t* rgba, int width, int height, std::string* error);
    bool writeY4m(const uint8_t* rgba, int width, int height, std::string* error);

    std::string path_;
    bool y4m_;
    int framesPerSecond_, denominator_;
    std::FILE* stream_ = nullptr;
    int streamWidth_ = 0, streamHeight_ = 0;
    std::vector<uint8_t> planes_;
};

}  // namespace host
