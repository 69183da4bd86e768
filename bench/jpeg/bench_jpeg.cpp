// Decode speed of the JPEG decoder against libjpeg-turbo and stb_image, in megapixels per
// second, on three large pictures made here with libjpeg: 4:2:0 baseline, 4:2:0 progressive
// and grey (from the shared corpus's largest picture tiled 2 x 2 when it is there, else from a
// textured synthetic picture), and on the corpus's own benchmark files where present.
//
//   bench-jpeg [seconds per measurement, default 1]
#include "assets/jpeg_decoder.h"

#include <cstdio>  // before jpeglib.h, which uses FILE
#include <jpeglib.h>
#include <stb/stb_image.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Picture {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> pixels;
};

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void onLibjpegError(j_common_ptr info) { longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1); }

// libjpeg-turbo decode into a packed picture; `replicate`: chroma replicated as ours does.
bool decodeLibjpeg(const std::vector<uint8_t>& bytes, bool replicate, Picture& out) {
    jpeg_decompress_struct info;
    ErrorManager error;
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = onLibjpegError;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), bytes.size());
    jpeg_read_header(&info, TRUE);
    info.dct_method = JDCT_ISLOW;
    info.do_fancy_upsampling = replicate ? FALSE : TRUE;
    jpeg_start_decompress(&info);
    out.width = int(info.output_width);
    out.height = int(info.output_height);
    out.channels = info.output_components;
    out.pixels.resize(size_t(out.width) * out.height * out.channels);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + size_t(info.output_scanline) * out.width * out.channels;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

std::vector<uint8_t> encodeLibjpeg(const Picture& picture, bool progressive, bool grey) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.width);
    info.image_height = JDIMENSION(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (grey) jpeg_set_colorspace(&info, JCS_GRAYSCALE);  // 4:2:0 is the default sampling of colour
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.pixels.data() + size_t(info.next_scanline) * picture.width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    std::free(buffer);
    jpeg_destroy_compress(&info);
    return bytes;
}

bool decodeOurs(const std::vector<uint8_t>& bytes, Picture& out) {
    unsigned char* copy = static_cast<unsigned char*>(std::malloc(bytes.size()));
    std::memcpy(copy, bytes.data(), bytes.size());
    JpegDecoder decoder(new JpegMemorySource(copy, bytes.size(), true), true);
    if (decoder.error() || decoder.begin() != 0) return false;
    out.width = decoder.width();
    out.height = decoder.height();
    const uint8_t* row;
    int length, result;
    unsigned touched = 0;
    while ((result = decoder.readRow(&row, &length)) == 0) touched += row[0];
    out.channels = int(touched & 0) + (decoder.components() == 1 ? 1 : 3);
    return result == 1;
}

bool decodeStb(const std::vector<uint8_t>& bytes, int channels, Picture& out) {
    int width, height, components;
    unsigned char* pixels = stbi_load_from_memory(bytes.data(), int(bytes.size()), &width, &height, &components, channels);
    if (!pixels) return false;
    out.width = width;
    out.height = height;
    out.channels = channels;
    stbi_image_free(pixels);
    return true;
}

// Best time of one decode, repeated for about `seconds`; in megapixels per second.
double measure(const std::function<bool(Picture&)>& decode, double seconds) {
    using Clock = std::chrono::steady_clock;
    Picture picture;
    if (!decode(picture)) return 0;
    double best = 1e9;
    auto start = Clock::now();
    int runs = 0;
    while (runs < 3 || std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
        auto t0 = Clock::now();
        decode(picture);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
        ++runs;
    }
    return double(picture.width) * picture.height / best / 1e6;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Picture sourcePicture(const std::string& corpus) {
    Picture tile;
    std::vector<uint8_t> harvesters = readFile(corpus + "/harvesters.jpeg");
    if (!harvesters.empty() && decodeLibjpeg(harvesters, true, tile) && tile.channels == 3) {
        Picture big;
        big.width = tile.width * 2;
        big.height = tile.height * 2;
        big.channels = 3;
        big.pixels.resize(size_t(big.width) * big.height * 3);
        for (int y = 0; y < big.height; ++y)
            for (int x = 0; x < big.width; ++x)
                std::memcpy(&big.pixels[(size_t(y) * big.width + x) * 3],
                            &tile.pixels[(size_t(y % tile.height) * tile.width + x % tile.width) * 3], 3);
        return big;
    }
    // Without the corpus: a textured synthetic picture of the same size.
    Picture p;
    p.width = 2330;
    p.height = 1718;
    p.channels = 3;
    p.pixels.resize(size_t(p.width) * p.height * 3);
    uint32_t noise = 1;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            noise = noise * 1664525 + 1013904223;
            uint8_t* s = &p.pixels[(size_t(y) * p.width + x) * 3];
            double wave = std::sin(x * 0.013) * std::cos(y * 0.021) + std::sin((x + y) * 0.07);
            s[0] = uint8_t(std::clamp(128 + 60 * wave + int(noise >> 28), 0.0, 255.0));
            s[1] = uint8_t(std::clamp(100 + 50 * std::sin(x * 0.002 + y * 0.004) + int((noise >> 20) & 15), 0.0, 255.0));
            s[2] = uint8_t(std::clamp(90 + 70 * std::cos(y * 0.01) + int((noise >> 12) & 31), 0.0, 255.0));
        }
    return p;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
    std::string corpus = std::string(DEMOS_SOURCE_DIR) + "/../shared/testdata/jpeg";
    Picture source = sourcePicture(corpus);

    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        bool grey;
    };
    std::vector<Case> cases = {
        {"4:2:0 baseline " + std::to_string(source.width) + "x" + std::to_string(source.height),
         encodeLibjpeg(source, false, false), false},
        {"4:2:0 progressive " + std::to_string(source.width) + "x" + std::to_string(source.height),
         encodeLibjpeg(source, true, false), false},
        {"grey baseline " + std::to_string(source.width) + "x" + std::to_string(source.height),
         encodeLibjpeg(source, false, true), true},
    };
    for (auto [file, grey] : {std::pair{"harvesters.jpeg", false}, std::pair{"harvesters_prog.jpg", false},
                              std::pair{"tower_grayscale.jpg", true}}) {
        std::vector<uint8_t> bytes = readFile(corpus + "/" + file);
        if (!bytes.empty()) cases.push_back({std::string("corpus ") + file, bytes, grey});
    }

    std::printf("%-34s %8s %10s %10s %8s   %s\n", "picture (megapixels per second)", "ours", "turbo", "turbo-rep",
                "stb", "ours/turbo ours/turbo-rep ours/stb");
    for (const Case& c : cases) {
        double ours = measure([&](Picture& p) { return decodeOurs(c.bytes, p); }, seconds);
        double turbo = measure([&](Picture& p) { return decodeLibjpeg(c.bytes, false, p); }, seconds);
        double turboReplicated = measure([&](Picture& p) { return decodeLibjpeg(c.bytes, true, p); }, seconds);
        double stb = measure([&](Picture& p) { return decodeStb(c.bytes, c.grey ? 1 : 3, p); }, seconds);
        std::printf("%-34s %8.1f %10.1f %10.1f %8.1f   %10.2f %13.2f %8.2f\n", c.name.c_str(), ours, turbo,
                    turboReplicated, stb, ours / turbo, ours / turboReplicated, ours / stb);
    }
    std::printf("turbo: libjpeg-turbo, accurate integer IDCT, smoothed chroma; turbo-rep: the same with "
                "replicated chroma (as ours)\n");
    return 0;
}
