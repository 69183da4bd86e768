// demo-dat: looks into a glintdemo data archive with the program's own reader and decoder.
//
//   demo-dat list <archive>                                 members: name, method, sizes, CRC
//   demo-dat cat <archive> <member>                         a member's bytes to standard output
//   demo-dat decode [--portable] <archive> <member> <out>   a JPEG member to PPM (colour) or PGM (grey)
//   demo-dat decode [--portable] <file.jpg> <out>           the same for a JPEG file
//
// Exit codes say what failed: 0 done, 1 usage, 2 the archive or file cannot be opened,
// 3 the archive is broken, 4 no such member, 5 the member cannot be read or unpacked,
// 6 the JPEG decoder failed, 7 the output cannot be written.
#include "assets/archive.h"
#include "assets/jpeg_decoder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

enum ExitCode { done = 0, usage = 1, cannotOpen = 2, brokenArchive = 3, noSuchMember = 4, unreadable = 5,
                decodeFailed = 6, cannotWrite = 7 };

int printUsage() {
    std::fprintf(stderr,
                 "usage: demo-dat list <archive>\n"
                 "       demo-dat cat <archive> <member>\n"
                 "       demo-dat decode [--portable] <archive> <member> <out.ppm|out.pgm>\n"
                 "       demo-dat decode [--portable] <file.jpg> <out.ppm|out.pgm>\n");
    return usage;
}

int openOrReport(const char* path) {
    if (openArchive(path)) return done;
    std::fputs(lastError, stderr);
    if (lastErrorDetail[0]) std::fprintf(stderr, "  (%s)\n", lastErrorDetail);
    return std::strncmp(lastError, "[zip] Cant open", 15) == 0 ? cannotOpen : brokenArchive;
}

int readArchiveMember(const char* archive, const char* name, MemberData* data) {
    if (int result = openOrReport(archive)) return result;
    if (!findMember(name)) {
        std::fprintf(stderr, "demo-dat: no member %s in %s\n", name, archive);
        return noSuchMember;
    }
    if (!readMember(name, data)) {
        std::fprintf(stderr, "demo-dat: cannot read member %s: %s", name, lastError[0] ? lastError : "unpacking failed\n");
        return unreadable;
    }
    return done;
}

int list(const char* archive) {
    if (int result = openOrReport(archive)) return result;
    int count = 0;
    const ArchiveMember* members = archiveMembers(0, &count);
    std::printf("%-40s %-8s %10s %10s %8s\n", "name", "method", "packed", "size", "crc32");
    for (int i = 0; i < count; ++i) {
        const ArchiveMember& m = members[i];
        std::string method = m.method == 0 ? "stored" : m.method == 8 ? "deflated" : "method " + std::to_string(m.method);
        std::printf("%-40s %-8s %10u %10u %08x\n", m.name, method.c_str(), m.compressedSize, m.uncompressedSize, m.crc32);
    }
    return done;
}

int cat(const char* archive, const char* name) {
    MemberData data{};
    if (int result = readArchiveMember(archive, name, &data)) return result;
    size_t written = std::fwrite(data.data, 1, size_t(data.size), stdout);
    std::free(data.data);
    return written == size_t(data.size) && std::fflush(stdout) == 0 ? done : cannotWrite;
}

int decode(unsigned char* bytes, size_t size, bool packed, const char* outPath) {
    JpegDecoder decoder(new JpegMemorySource(bytes, size, true), packed);
    auto failed = [&decoder](const char* step) {
        std::fprintf(stderr, "demo-dat: JPEG decoder failed in %s: error %d (%s)\n", step, decoder.error(),
                     jpegErrorText(decoder.error()));
        return decodeFailed;
    };
    if (decoder.error()) return failed("the header");
    if (decoder.begin() != 0) return failed("begin");
    int width = decoder.width(), height = decoder.height(), channels = decoder.components() == 1 ? 1 : 3;
    std::vector<uint8_t> pixels(size_t(width) * height * channels);
    const uint8_t* row;
    int length, result, y = 0;
    while ((result = decoder.readRow(&row, &length)) == 0) {
        uint8_t* out = pixels.data() + size_t(y++) * width * channels;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c) out[x * channels + c] = row[x * decoder.pixelStride() + c];
    }
    if (result != 1 || y != height) return failed("a row");

    FILE* file = std::fopen(outPath, "wb");
    if (!file) {
        std::fprintf(stderr, "demo-dat: cannot write %s\n", outPath);
        return cannotWrite;
    }
    std::fprintf(file, "P%d\n%d %d\n255\n", channels == 1 ? 5 : 6, width, height);
    bool ok = std::fwrite(pixels.data(), 1, pixels.size(), file) == pixels.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) std::fprintf(stderr, "demo-dat: cannot write %s\n", outPath);
    return ok ? done : cannotWrite;
}

int decodeCommand(std::vector<const char*> args) {
    bool packed = true;
    if (!args.empty() && std::strcmp(args[0], "--portable") == 0) {
        packed = false;
        args.erase(args.begin());
    }
    if (args.size() == 3) {
        MemberData data{};
        if (int result = readArchiveMember(args[0], args[1], &data)) return result;
        return decode(data.data, size_t(data.size), packed, args[2]);
    }
    if (args.size() != 2) return printUsage();
    FILE* file = std::fopen(args[0], "rb");
    if (!file) {
        std::fprintf(stderr, "demo-dat: cannot open %s\n", args[0]);
        return cannotOpen;
    }
    std::vector<unsigned char> bytes;
    unsigned char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    bool unreadable = std::ferror(file) != 0;   // a folder opens, but nothing can be read from it
    std::fclose(file);
    if (unreadable) {
        std::fprintf(stderr, "demo-dat: cannot open %s\n", args[0]);
        return cannotOpen;
    }
    unsigned char* block = static_cast<unsigned char*>(std::malloc(bytes.size() ? bytes.size() : 1));
    if (!bytes.empty()) std::memcpy(block, bytes.data(), bytes.size());
    return decode(block, bytes.size(), packed, args[1]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return printUsage();
    std::string command = argv[1];
    std::vector<const char*> args(argv + 2, argv + argc);
    int result;
    if (command == "list" && args.size() == 1) result = list(args[0]);
    else if (command == "cat" && args.size() == 2) result = cat(args[0], args[1]);
    else if (command == "decode") result = decodeCommand(args);
    else result = printUsage();
    closeArchives();
    return result;
}
