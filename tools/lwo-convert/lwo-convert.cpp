// lwo-convert: rewrites a LightWave object into the form korvo reads (triangles, one layer,
// TXUV maps only), keeping what korvo read as it was.
//
//   lwo-convert [--layer N] [--drop-unknown] <in.lwo> <out.lwo>
//
// --layer N keeps only layer N (as the file numbers it) instead of merging every layer;
// --drop-unknown drops chunks of unknown meaning instead of refusing the file.
//
// Says on standard output what it merged, split or dropped, then what it wrote. The input is
// only read; the output is written whole or not at all. Exit codes: 0 converted, 1 usage (or
// no such layer), 2 the input cannot be read, 3 no LWO2 object (LWOB, LWO3, not IFF), 4
// something it cannot convert, 5 a damaged file, 6 the output cannot be written.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lwo_convert.h"
#include "shell/cleanup.h"

// korvo's reader, which checks the result, logs and gives up through these; the tool reads with
// the function that reports instead, so the log stays closed.
std::ofstream debugLog;
Cleanup cleaner;

namespace {

enum ExitCode { done = 0, usage = 1, cannotRead = 2, notAnObject = 3, cannotConvert = 4, damaged = 5, cannotWrite = 6 };

int usageError(const std::string& why) {
    if (!why.empty()) std::fprintf(stderr, "lwo-convert: %s\n", why.c_str());
    std::fprintf(stderr, "usage: lwo-convert [--layer N] [--drop-unknown] <in.lwo> <out.lwo>\n");
    return usage;
}

bool readWhole(const char* path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Writes beside the destination and renames, so a failure leaves no half-written object.
bool writeWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& why) {
    std::string temporary = path + ".lwo-convert-XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += size_t(n);
    }
    bool ok = written == bytes.size();
    if (!ok) why = std::strerror(errno);
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = std::strerror(errno);
    }
    if (ok) {   // mkstemp makes the file private; give it the mode a new file gets
        mode_t mask = umask(0);
        umask(mask);
        chmod(temporary.c_str(), 0666 & ~mask);
    }
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        why = std::strerror(errno);
    }
    if (!ok) std::remove(temporary.c_str());
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    lwo_convert::Options options;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--layer") {
            if (i + 1 >= argc) return usageError("--layer needs a layer number");
            argument = argv[++i];
            char* end = nullptr;
            long number = std::strtol(argument.c_str(), &end, 10);
            if (argument.empty() || *end || number < 0 || number > 0xFFFF)
                return usageError("'" + argument + "' is no layer number (0 to 65535)");
            options.layer = int(number);
        } else if (argument == "--drop-unknown") {
            options.dropUnknownChunks = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return usageError("unknown option " + argument);
        } else {
            files.push_back(argument);
        }
    }
    if (files.size() != 2) return usageError("");
    const std::string &input = files[0], &output = files[1];

    std::vector<uint8_t> bytes;
    if (!readWhole(input.c_str(), bytes)) {
        std::fprintf(stderr, "lwo-convert: cannot read %s\n", input.c_str());
        return cannotRead;
    }
    struct stat in {}, out {};
    if (stat(output.c_str(), &out) == 0 && stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
        in.st_ino == out.st_ino) {
        std::fprintf(stderr, "lwo-convert: %s is the input; the input is never written\n", output.c_str());
        return cannotWrite;
    }

    lwo_convert::Result result = lwo_convert::convert(bytes.data(), bytes.size(), options);
    using Status = lwo_convert::Result::Status;
    if (result.status != Status::converted) {
        std::fprintf(stderr, "lwo-convert: %s: %s\n", input.c_str(), result.error.c_str());
        switch (result.status) {
        case Status::noSuchLayer: return usage;
        case Status::notAnObject: return notAnObject;
        case Status::cannotConvert: return cannotConvert;
        default: return damaged;
        }
    }
    for (const std::string& line : result.notes) std::printf("%s: %s\n", input.c_str(), line.c_str());
    std::string why;
    if (!writeWhole(output, result.bytes, why)) {
        std::fprintf(stderr, "lwo-convert: cannot write %s: %s\n", output.c_str(), why.c_str());
        return cannotWrite;
    }
    std::printf("%s: points: %zu, triangles: %zu, surfaces: %zu\n", output.c_str(), result.points, result.triangles,
                result.surfaces);
    return done;
}
