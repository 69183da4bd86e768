// MPEG audio (MP3, MP2) through libmpg123, decoded to 44100 Hz stereo float whatever the
// file's own rate and channel count (libmpg123 resamples and duplicates). Gapless decoding
// trims the encoder's delay and padding where the file records them, so a sound of n samples
// decodes to n samples.
#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "internal.h"

namespace sound {
namespace {

// Where the bytes come from: a range of a file read as it plays, or a caller's memory block.
struct ByteSource {
    int fd = -1;                       // owned; -1 for memory
    const uint8_t* memory = nullptr;   // not owned
    uint64_t start = 0;                // first byte of the range in the file
    uint64_t size = 0;                 // bytes in the range
    uint64_t position = 0;             // read position within the range

    ~ByteSource() {
        if (fd >= 0) ::close(fd);
    }
};

mpg123_ssize_t readBytes(void* handle, void* buffer, size_t bytes) {
    auto* source = static_cast<ByteSource*>(handle);
    bytes = size_t(std::min<uint64_t>(bytes, source->size - source->position));
    if (bytes == 0) return 0;
    if (source->memory) {
        std::memcpy(buffer, source->memory + source->position, bytes);
        source->position += bytes;
        return mpg123_ssize_t(bytes);
    }
    while (true) {
        ssize_t got = ::pread(source->fd, buffer, bytes, off_t(source->start + source->position));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        source->position += uint64_t(got);
        return got;
    }
}

off_t seekBytes(void* handle, off_t offset, int whence) {
    auto* source = static_cast<ByteSource*>(handle);
    int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(source->position) : int64_t(source->size);
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
    int64_t target = base + int64_t(offset);
    if (target < 0 || uint64_t(target) > source->size) return -1;
    source->position = uint64_t(target);
    return off_t(target);
}

class Mp3Decoder : public Decoder {
public:
    Mp3Decoder(mpg123_handle* handle, std::unique_ptr<ByteSource> source)
        : handle_(handle), source_(std::move(source)) {}
    ~Mp3Decoder() override {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }

    size_t read(float* out, size_t frames) override {
        constexpr size_t frameBytes = sizeof(float) * mixChannels;
        size_t done = 0;
        int idle = 0;   // calls in a row that gave nothing
        while (done < frames && !finished_) {
            size_t bytes = 0;
            int status = mpg123_read(handle_, out + done * mixChannels, (frames - done) * frameBytes, &bytes);
            done += bytes / frameBytes;
            if (status == MPG123_DONE) {
                finished_ = true;
            } else if (status != MPG123_OK && status != MPG123_NEW_FORMAT) {
                std::fprintf(stderr, "[sound] MPEG stream stopped: %s\n", mpg123_strerror(handle_));
                finished_ = true;
            } else if (bytes == 0 && ++idle > 64) {
                finished_ = true;
            } else if (bytes) {
                idle = 0;
            }
        }
        return done;
    }

    bool rewind() override {
        if (mpg123_seek(handle_, 0, SEEK_SET) < 0) return false;
        finished_ = false;
        return true;
    }

private:
    mpg123_handle* handle_;
    std::unique_ptr<ByteSource> source_;
    bool finished_ = false;
};

std::unique_ptr<Decoder> openSource(std::unique_ptr<ByteSource> source, LoadError& error) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });
    int status = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &status);
    if (!handle) {
        error = LoadError::Memory;
        return nullptr;
    }
    auto fail = [&](LoadError why) -> std::unique_ptr<Decoder> {
        mpg123_close(handle);
        mpg123_delete(handle);
        error = why;
        return nullptr;
    };
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_format_none(handle);
    if (mpg123_format(handle, mixRate, MPG123_STEREO, MPG123_ENC_FLOAT_32) != MPG123_OK) return fail(LoadError::Format);
    if (mpg123_replace_reader_handle(handle, readBytes, seekBytes, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle, source.get()) != MPG123_OK)
        return fail(LoadError::Format);
    // The first frame decides: no MPEG audio frame near the start means this is no MPEG file.
    long rate = 0;
    int channels = 0, encoding = 0;
    status = mpg123_getformat(handle, &rate, &channels, &encoding);
    if (status != MPG123_OK) return fail(mpg123_errcode(handle) == MPG123_OUT_OF_MEM ? LoadError::Memory : LoadError::Format);
    error = LoadError::None;
    return std::make_unique<Mp3Decoder>(handle, std::move(source));
}

class MonoDecoder : public Decoder {
public:
    explicit MonoDecoder(std::unique_ptr<Decoder> inner) : inner_(std::move(inner)) {}
    size_t read(float* out, size_t frames) override {
        size_t got = inner_->read(out, frames);
        for (size_t i = 0; i < got; ++i) out[2 * i] = out[2 * i + 1] = 0.5f * (out[2 * i] + out[2 * i + 1]);
        return got;
    }
    bool rewind() override { return inner_->rewind(); }

private:
    std::unique_ptr<Decoder> inner_;
};

}  // namespace

std::unique_ptr<Decoder> openMp3File(const char* path, uint64_t offset, uint64_t length, LoadError& error) {
    int fd = openSoundFile(path, error);
    if (fd < 0) return nullptr;
    auto source = std::make_unique<ByteSource>();
    source->fd = fd;
    off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0) {
        error = LoadError::Unreadable;
        return nullptr;
    }
    uint64_t fileSize = uint64_t(end);
    if (offset > fileSize) {
        error = LoadError::InvalidArgument;
        return nullptr;
    }
    source->start = offset;
    source->size = length ? std::min(length, fileSize - offset) : fileSize - offset;
    return openSource(std::move(source), error);
}

std::unique_ptr<Decoder> openMp3Memory(const void* data, size_t size, LoadError& error) {
    if (!data || size == 0) {
        error = LoadError::InvalidArgument;
        return nullptr;
    }
    auto source = std::make_unique<ByteSource>();
    source->memory = static_cast<const uint8_t*>(data);
    source->size = size;
    return openSource(std::move(source), error);
}

std::unique_ptr<Decoder> forceMono(std::unique_ptr<Decoder> decoder) {
    return std::make_unique<MonoDecoder>(std::move(decoder));
}

}  // namespace sound
