#include "capture.h"

#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace host {

CaptureWriter::CaptureWriter(std::string path, bool y4m, int framesPerSecond, int denominator)
    : path_(std::move(path)),
      y4m_(y4m),
      framesPerSecond_(framesPerSecond > 0 ? framesPerSecond : 30),
      denominator_(framesPerSecond > 0 && denominator > 0 ? denominator : 1) {}

CaptureWriter::~CaptureWriter() {
    if (stream_) std::fclose(stream_);
}

bool CaptureWriter::write(uint64_t frame, const uint8_t* rgba, int width, int height, std::string* error) {
    return y4m_ ? writeY4m(rgba, width, height, error) : writePng(frame, rgba, width, height, error);
}

bool CaptureWriter::writePng(uint64_t frame, const uint8_t* rgba, int width, int height, std::string* error) {
    struct stat info {};
    if (stat(path_.c_str(), &info) != 0) {
        if (mkdir(path_.c_str(), 0777) != 0 && errno != EEXIST) {
            *error = "cannot create capture directory " + path_ + ": " + std::strerror(errno);
            return false;
        }
    }
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06llu.png", static_cast<unsigned long long>(frame));
    std::string file = path_ + name;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (!out) {
        *error = "cannot write " + file + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop pngInfo = png ? png_create_info_struct(png) : nullptr;
    if (!png || !pngInfo || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &pngInfo);
        std::fclose(out);
        *error = "cannot encode " + file;
        return false;
    }
    png_init_io(png, out);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, pngInfo, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, pngInfo);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = rgba + size_t(height - 1 - y) * width * 4;  // top row first
        for (int x = 0; x < width; ++x) std::memcpy(&row[size_t(x) * 3], source + size_t(x) * 4, 3);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &pngInfo);
    if (std::fclose(out) != 0) {
        *error = "cannot write " + file + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool CaptureWriter::writeY4m(const uint8_t* rgba, int width, int height, std::string* error) {
    if (!stream_) {
        stream_ = std::fopen(path_.c_str(), "wb");
        if (!stream_) {
            *error = "cannot write " + path_ + ": " + std::strerror(errno);
            return false;
        }
        std::fprintf(stream_, "YUV4MPEG2 W%d H%d F%d:%d Ip A1:1 C420jpeg\n", width, height, framesPerSecond_,
                     denominator_);
        streamWidth_ = width;
        streamHeight_ = height;
    }
    if (width != streamWidth_ || height != streamHeight_) {
        *error = "the capture stream cannot change its frame size";
        return false;
    }
    // BT.601 studio-range YCbCr, chroma averaged over 2x2 pixels.
    const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
    planes_.resize(size_t(width) * height + 2 * size_t(chromaWidth) * chromaHeight);
    uint8_t* luma = planes_.data();
    uint8_t* blue = luma + size_t(width) * height;
    uint8_t* red = blue + size_t(chromaWidth) * chromaHeight;
    auto pixel = [&](int x, int y) { return rgba + (size_t(height - 1 - y) * width + x) * 4; };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = pixel(x, y);
            luma[size_t(y) * width + x] = uint8_t((66 * p[0] + 129 * p[1] + 25 * p[2] + 128 + 4096) >> 8);
        }
    for (int cy = 0; cy < chromaHeight; ++cy)
        for (int cx = 0; cx < chromaWidth; ++cx) {
            int r = 0, g = 0, b = 0, n = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    int x = cx * 2 + dx, y = cy * 2 + dy;
                    if (x >= width || y >= height) continue;
                    const uint8_t* p = pixel(x, y);
                    r += p[0]; g += p[1]; b += p[2]; ++n;
                }
            r /= n; g /= n; b /= n;
            blue[size_t(cy) * chromaWidth + cx] = uint8_t((-38 * r - 74 * g + 112 * b + 128 + 32768) >> 8);
            red[size_t(cy) * chromaWidth + cx] = uint8_t((112 * r - 94 * g - 18 * b + 128 + 32768) >> 8);
        }
    if (std::fputs("FRAME\n", stream_) < 0 ||
        std::fwrite(planes_.data(), 1, planes_.size(), stream_) != planes_.size() || std::fflush(stream_) != 0) {
        *error = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace host
