// Writes small seed inputs for the fuzz targets, made by our own writers: a few hundred bytes
// each, so that the fuzzer spends its time on variations rather than on decoding big pictures.
//
//   fuzz-seeds <folder>     writes <folder>/jpeg/*.jpg and <folder>/archive/*.zip
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "jpeg_writer.h"
#include "zip_writer.h"

namespace {

bool save(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

// A small picture with edges and a gradient, so that every kind of code occurs.
std::vector<uint8_t> picture(int width, int height, int channels) {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                pixels.push_back(uint8_t(((x / 3 + y / 2) % 2 ? 200 : 40) + x * 2 - c * 30));
    return pixels;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz-seeds <folder>\n");
        return 1;
    }
    const std::filesystem::path jpegs = std::filesystem::path(argv[1]) / "jpeg",
                                archives = std::filesystem::path(argv[1]) / "archive";
    std::filesystem::create_directories(jpegs);
    std::filesystem::create_directories(archives);
    bool ok = true;

    struct JpegSeed {
        const char* name;
        int width, height, channels;
        content::JpegWriterOptions options;
    };
    const JpegSeed jpegSeeds[] = {
        {"grey.jpg", 13, 9, 1, {75, 1, 1, 0}},
        {"colour-1x1.jpg", 9, 8, 3, {75, 1, 1, 0}},
        {"colour-2x1.jpg", 17, 8, 3, {75, 2, 1, 0}},
        {"colour-1x2.jpg", 8, 17, 3, {75, 1, 2, 0}},
        {"colour-2x2.jpg", 18, 17, 3, {75, 2, 2, 0}},
        {"restarts.jpg", 24, 16, 3, {60, 2, 2, 1}},
        {"standard-tables.jpg", 16, 8, 3, {95, 2, 1, 0, true}},
    };
    std::vector<uint8_t> smallJpeg;
    for (const JpegSeed& seed : jpegSeeds) {
        std::vector<uint8_t> pixels = picture(seed.width, seed.height, seed.channels);
        std::vector<uint8_t> bytes = content::writeJpeg(pixels.data(), seed.width, seed.height, seed.channels, seed.options);
        if (smallJpeg.empty()) smallJpeg = bytes;
        ok = save(jpegs / seed.name, bytes) && ok;
    }

    using Method = content::ZipWriter::Method;
    content::ZipWriter plain;
    plain.add("Addict1.JPG", smallJpeg, {Method::stored});
    plain.add("notes.txt", std::string("some notes, some notes, some notes\n"));
    plain.add("empty.raw", std::string(), {Method::stored});
    ok = plain.writeFile((archives / "plain.zip").string()) && ok;

    content::ZipWriter streamed;
    content::ZipWriter::MemberOptions descriptor{Method::deflated, 9, true};
    descriptor.localExtra = {'U', 'T', 5, 0, 3, 1, 2, 3, 4};
    descriptor.comment = "streamed";
    streamed.add("scenes/part1.exp", std::string("object 1 2 3\nobject 4 5 6\n"), descriptor);
    streamed.add("a.txt", std::string("a"), {Method::deflated, 1, true, false});
    ok = streamed.writeFile((archives / "streamed.zip").string()) && ok;

    content::ZipWriter twins;
    twins.add("twin.txt", std::string("first"), {Method::stored});
    twins.add("TWIN.TXT", std::string("second"), {Method::stored});
    ok = twins.writeFile((archives / "twins.zip").string()) && ok;

    if (!ok) std::fprintf(stderr, "fuzz-seeds: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
