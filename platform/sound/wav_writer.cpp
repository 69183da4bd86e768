#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>

#include "internal.h"

namespace sound {
namespace {

static_assert(std::endian::native == std::endian::little, "WAV data is little-endian, as the mix is");

constexpr uint32_t headerBytes = 44;
constexpr uint32_t frameBytes = 2 * mixChannels;
// The RIFF size field is 32 bits: the data may grow to this many bytes.
constexpr uint64_t maximumDataBytes = 0xFFFFFFFFull - (headerBytes - 8);

void put16(uint8_t* at, uint16_t value) {
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}
void put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

bool writeAll(int fd, const void* data, size_t bytes, off_t at) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (bytes) {
        ssize_t put = ::pwrite(fd, p, bytes, at);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        p += put;
        at += put;
        bytes -= size_t(put);
    }
    return true;
}

}  // namespace

WavWriter::~WavWriter() {
    if (fd_ >= 0) ::close(fd_);
}

bool WavWriter::open(const std::string& path, std::string* error) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        *error = std::strerror(errno);
        return false;
    }
    uint8_t header[headerBytes] = {};
    std::memcpy(header, "RIFF", 4);
    put32(header + 4, headerBytes - 8);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put32(header + 16, 16);                         // fmt chunk size
    put16(header + 20, 1);                          // PCM
    put16(header + 22, mixChannels);
    put32(header + 24, mixRate);
    put32(header + 28, mixRate * frameBytes);       // bytes a second
    put16(header + 32, frameBytes);                 // block align
    put16(header + 34, 16);                         // bits a sample
    std::memcpy(header + 36, "data", 4);
    put32(header + 40, 0);
    if (!writeAll(fd_, header, sizeof header, 0)) {
        *error = std::strerror(errno);
        return false;
    }
    frames_ = 0;
    return true;
}

bool WavWriter::append(const int16_t* samples, size_t frames, std::string* error) {
    uint64_t dataBytes = frames_ * frameBytes;
    uint64_t more = uint64_t(frames) * frameBytes;
    if (dataBytes + more > maximumDataBytes) {
        *error = "the WAV file has reached its largest size (4 GiB)";
        return false;
    }
    if (!writeAll(fd_, samples, more, off_t(headerBytes + dataBytes))) {
        *error = std::strerror(errno);
        return false;
    }
    dataBytes += more;
    frames_ += frames;
    uint8_t size[4];
    put32(size, uint32_t(dataBytes + headerBytes - 8));
    if (!writeAll(fd_, size, 4, 4)) {
        *error = std::strerror(errno);
        return false;
    }
    put32(size, uint32_t(dataBytes));
    if (!writeAll(fd_, size, 4, 40)) {
        *error = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace sound
