// Reading a YUV4MPEG2 stream as it arrives: the header line, then frames of 4:2:0 samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace capture {

struct Y4mHeader {
    std::string line;          // the whole header line, newline included, to pass on unchanged
    int width = 0, height = 0;
    size_t frameBytes = 0;     // samples of one frame: luma and two quarter-size chroma planes
};

// Parses a header line (without or with its newline); false when it is not a 4:2:0 stream
// header with a size.
bool parseY4mHeader(const std::string& line, Y4mHeader& header);

// Takes bytes in any pieces and hands out whole frames ("FRAME" line and samples).
class Y4mSplitter {
public:
    // Appends `count` bytes; false with a reason when the stream is malformed.
    bool feed(const uint8_t* bytes, size_t count, std::string* error);
    bool haveHeader() const { return haveHeader_; }
    const Y4mHeader& header() const { return header_; }
    // Moves the next complete frame (its FRAME line included) into `frame`.
    enum class Next { frame, incomplete, malformed };
    Next nextFrame(std::vector<uint8_t>& frame);
    // Bytes received that belong to no whole frame yet.
    size_t pending() const { return buffer_.size() - start_; }

private:
    std::vector<uint8_t> buffer_;
    size_t start_ = 0;
    bool haveHeader_ = false;
    Y4mHeader header_;
};

}  // namespace capture
