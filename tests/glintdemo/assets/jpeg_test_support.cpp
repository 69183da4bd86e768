#include "jpeg_test_support.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace jpeg_test {

Reference readPnm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    in >> magic >> width >> height >> maxval;
    in.get();
    Reference r;
    if (!in || (magic != "P5" && magic != "P6") || maxval != 255) return r;
    r.width = width;
    r.height = height;
    r.channels = magic == "P6" ? 3 : 1;
    r.pixels.resize(size_t(width) * height * r.channels);
    in.read(reinterpret_cast<char*>(r.pixels.data()), std::streamsize(r.pixels.size()));
    if (!in) r = Reference{};
    return r;
}

Closeness compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    Closeness c;
    if (a.size() != b.size() || a.empty()) return {256, 256};
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        int d = std::abs(int(a[i]) - int(b[i]));
        c.worst = std::max(c.worst, d);
        sum += d;
    }
    c.mean = sum / double(a.size());
    return c;
}

std::vector<uint8_t> colourPicture(int width, int height) {
    std::vector<uint8_t> p(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* s = &p[(size_t(y) * width + x) * 3];
            s[0] = uint8_t(128 + 100 * std::sin(x * 0.05) * std::cos(y * 0.03));
            s[1] = uint8_t((x * 255) / std::max(width - 1, 1));
            s[2] = uint8_t(((x / 6 + y / 5) % 2) ? 200 : 60);
        }
    return p;
}

std::vector<uint8_t> greyPicture(int width, int height) {
    std::vector<uint8_t> p(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p[size_t(y) * width + x] = uint8_t(128 + 90 * std::sin(x * 0.11 + y * 0.07) + ((x * y) % 7) * 4);
    return p;
}

std::vector<uint8_t> greyValuedColourPicture(int width, int height) {
    std::vector<uint8_t> grey = greyPicture(width, height), p;
    for (uint8_t v : grey) p.insert(p.end(), {v, v, v});
    return p;
}

long findSegment(const std::vector<uint8_t>& bytes, int code) {
    size_t at = 2;
    while (at + 4 <= bytes.size() && bytes[at] == 0xFF) {
        int marker = bytes[at + 1];
        if (marker == code) return long(at);
        if (marker == 0xDA) return -1;
        at += 2 + (size_t(bytes[at + 2]) << 8 | bytes[at + 3]);
    }
    return -1;
}

}  // namespace jpeg_test
