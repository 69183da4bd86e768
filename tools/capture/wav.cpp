#include "wav.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace capture {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

uint32_t little(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= uint32_t(bytes[i]) << (8 * i);
    return value;
}

void putLittle(std::vector<uint8_t>& out, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

}  // namespace

bool readWavInfo(const std::string& path, WavInfo& info, std::string* error) {
    File file(std::fopen(path.c_str(), "rb"));
    struct stat status {};
    if (!file || fstat(fileno(file.get()), &status) != 0) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    const uint64_t size = uint64_t(status.st_size);
    uint8_t head[12];
    if (std::fread(head, 1, 12, file.get()) != 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
        *error = path + " is not a WAV file";
        return false;
    }
    WavInfo parsed;
    bool haveFormat = false;
    uint64_t at = 12;
    while (at + 8 <= size) {
        uint8_t chunk[8];
        if (std::fseek(file.get(), long(at), SEEK_SET) != 0 || std::fread(chunk, 1, 8, file.get()) != 8) break;
        uint32_t chunkSize = little(chunk + 4, 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            uint8_t format[16];
            if (chunkSize < 16 || std::fread(format, 1, 16, file.get()) != 16) break;
            parsed.channels = int(little(format + 2, 2));
            parsed.rate = int(little(format + 4, 4));
            parsed.bitsPerSample = int(little(format + 14, 2));
            if (little(format, 2) != 1 || parsed.bitsPerSample != 16 || parsed.channels < 1 || parsed.channels > 8 ||
                parsed.rate < 1000) {
                *error = path + " is not 16-bit PCM";
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
            parsed.dataOffset = at + 8;
            // The sizes are written when the recording ends; the file's own length is what counts.
            uint64_t bytes = size - parsed.dataOffset;
            parsed.frames = bytes / uint64_t(2 * parsed.channels);
            info = parsed;
            return true;
        }
        at += 8 + chunkSize + (chunkSize & 1);
    }
    *error = path + " holds no sound";
    return false;
}

bool writeWavRange(const std::string& in, const WavInfo& info, uint64_t first, uint64_t last, const std::string& out,
                   std::string* error) {
    last = std::min(last, info.frames);
    first = std::min(first, last);
    const uint64_t frameBytes = uint64_t(2 * info.channels);
    const uint64_t dataBytes = (last - first) * frameBytes;
    if (dataBytes > 0xFFFFFFFFull - 36) {
        *error = "the sound of this stretch is too long for one WAV file";
        return false;
    }
    File source(std::fopen(in.c_str(), "rb"));
    File target(std::fopen(out.c_str(), "wb"));
    if (!source || !target) {
        *error = "cannot copy the sound to " + out + ": " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> header;
    for (char c : std::string("RIFF")) header.push_back(uint8_t(c));
    putLittle(header, uint32_t(36 + dataBytes), 4);
    for (char c : std::string("WAVEfmt ")) header.push_back(uint8_t(c));
    putLittle(header, 16, 4);
    putLittle(header, 1, 2);
    putLittle(header, uint32_t(info.channels), 2);
    putLittle(header, uint32_t(info.rate), 4);
    putLittle(header, uint32_t(info.rate) * uint32_t(frameBytes), 4);
    putLittle(header, uint32_t(frameBytes), 2);
    putLittle(header, 16, 2);
    for (char c : std::string("data")) header.push_back(uint8_t(c));
    putLittle(header, uint32_t(dataBytes), 4);
    bool ok = std::fwrite(header.data(), 1, header.size(), target.get()) == header.size() &&
              std::fseek(source.get(), long(info.dataOffset + first * frameBytes), SEEK_SET) == 0;
    std::vector<uint8_t> block(1 << 20);
    for (uint64_t left = dataBytes; ok && left > 0;) {
        size_t now = size_t(std::min<uint64_t>(left, block.size()));
        ok = std::fread(block.data(), 1, now, source.get()) == now && std::fwrite(block.data(), 1, now, target.get()) == now;
        left -= now;
    }
    if (std::fclose(target.release()) != 0) ok = false;
    if (!ok) *error = "cannot copy the sound to " + out;
    return ok;
}

}  // namespace capture
