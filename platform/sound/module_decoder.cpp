// Tracker modules (MOD, S3M, XM, IT and their relatives) through libopenmpt.
#include <libopenmpt/libopenmpt.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "internal.h"

namespace sound {
namespace {

class ModuleDecoder : public Decoder {
public:
    explicit ModuleDecoder(openmpt_module* module) : module_(module) {}
    ~ModuleDecoder() override { openmpt_module_destroy(module_); }

    size_t read(float* out, size_t frames) override {
        size_t done = 0;
        while (done < frames) {
            size_t got = openmpt_module_read_interleaved_float_stereo(module_, mixRate, frames - done,
                                                                       out + done * mixChannels);
            if (got == 0) break;
            done += got;
        }
        return done;
    }

    bool rewind() override { return openmpt_module_set_position_seconds(module_, 0.0) >= 0.0; }

private:
    openmpt_module* module_;
};

bool readWholeFile(int fd, std::vector<uint8_t>& bytes, LoadError& error) {
    uint8_t buffer[65536];
    while (true) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = LoadError::Unreadable;
            return false;
        }
        if (got == 0) return true;
        try {
            bytes.insert(bytes.end(), buffer, buffer + got);
        } catch (const std::bad_alloc&) {
            error = LoadError::Memory;
            return false;
        }
    }
}

}  // namespace

std::unique_ptr<Decoder> openModuleFile(const char* path, LoadError& error) {
    int fd = openSoundFile(path, error);
    if (fd < 0) return nullptr;
    std::vector<uint8_t> bytes;
    bool read = readWholeFile(fd, bytes, error);
    ::close(fd);
    if (!read) return nullptr;
    if (bytes.empty()) {
        error = LoadError::Format;
        return nullptr;
    }
    int status = OPENMPT_ERROR_OK;
    const char* message = nullptr;
    // The module copies what it needs; `bytes` may go once it exists.
    openmpt_module* module = openmpt_module_create_from_memory2(
        bytes.data(), bytes.size(), openmpt_log_func_silent, nullptr, openmpt_error_func_store, nullptr, &status,
        &message, nullptr);
    if (message) openmpt_free_string(message);
    if (!module) {
        error = status == OPENMPT_ERROR_OUT_OF_MEMORY ? LoadError::Memory : LoadError::Format;
        return nullptr;
    }
    // Once through: at the song's end (its last order, or a jump back into what has played)
    // libopenmpt fades out briefly and then renders nothing more.
    openmpt_module_set_repeat_count(module, 0);
    error = LoadError::None;
    return std::make_unique<ModuleDecoder>(module);
}

}  // namespace sound
