#include "y4m.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace capture {

bool parseY4mHeader(const std::string& text, Y4mHeader& header) {
    std::string line = text;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    std::istringstream words(line);
    std::string word;
    if (!(words >> word) || word != "YUV4MPEG2") return false;
    Y4mHeader parsed;
    while (words >> word) {
        if (word[0] == 'W') parsed.width = std::atoi(word.c_str() + 1);
        else if (word[0] == 'H') parsed.height = std::atoi(word.c_str() + 1);
        else if (word[0] == 'C' && word.compare(0, 4, "C420") != 0) return false;
    }
    if (parsed.width <= 0 || parsed.height <= 0 || parsed.width > 16384 || parsed.height > 16384) return false;
    size_t chroma = size_t((parsed.width + 1) / 2) * size_t((parsed.height + 1) / 2);
    parsed.frameBytes = size_t(parsed.width) * size_t(parsed.height) + 2 * chroma;
    parsed.line = line + "\n";
    header = parsed;
    return true;
}

bool Y4mSplitter::feed(const uint8_t* bytes, size_t count, std::string* error) {
    if (start_ > 0 && start_ * 2 > buffer_.size()) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + long(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes, bytes + count);
    if (!haveHeader_) {
        auto end = std::find(buffer_.begin() + long(start_), buffer_.end(), uint8_t('\n'));
        if (end == buffer_.end()) {
            if (pending() > 4096) {
                *error = "the frame stream does not start with a YUV4MPEG2 header";
                return false;
            }
            return true;
        }
        std::string line(buffer_.begin() + long(start_), end + 1);
        if (!parseY4mHeader(line, header_)) {
            *error = "unreadable frame stream header: " + line.substr(0, line.size() - 1);
            return false;
        }
        start_ += line.size();
        haveHeader_ = true;
    }
    return true;
}

Y4mSplitter::Next Y4mSplitter::nextFrame(std::vector<uint8_t>& frame) {
    if (!haveHeader_ || pending() == 0) return Next::incomplete;
    const auto begin = buffer_.begin() + long(start_);
    const size_t available = std::min<size_t>(pending(), 5);
    if (std::memcmp(&*begin, "FRAME", available) != 0) return Next::malformed;
    auto lineEnd = std::find(begin, buffer_.end(), uint8_t('\n'));
    if (lineEnd == buffer_.end()) return pending() > 1024 ? Next::malformed : Next::incomplete;
    size_t total = size_t(lineEnd - begin) + 1 + header_.frameBytes;
    if (pending() < total) return Next::incomplete;
    frame.assign(begin, begin + long(total));
    start_ += total;
    return Next::frame;
}

}  // namespace capture
