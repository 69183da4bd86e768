#include "picture.h"

#include <algorithm>
#include <cmath>

namespace content::korvo {

namespace {

uint8_t byteOf(float v) { return uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

void put16le(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32le(std::vector<uint8_t>& out, uint32_t v) {
    put16le(out, v & 0xFFFF);
    put16le(out, v >> 16);
}

}  // namespace

Colour mix(Colour a, Colour b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scaled(Colour c, float f) { return {c.r * f, c.g * f, c.b * f}; }

Colour hue(float h, float value) {
    float turns = h - std::floor(h);
    float sector = turns * 6.0f;
    int i = int(sector) % 6;
    float f = sector - float(int(sector));
    float up = f * value, down = (1.0f - f) * value;
    switch (i) {
    case 0: return {value, up, 0.0f};
    case 1: return {down, value, 0.0f};
    case 2: return {0.0f, value, up};
    case 3: return {0.0f, down, value};
    case 4: return {up, 0.0f, value};
    default: return {value, 0.0f, down};
    }
}

Picture::Picture(int width, int height) : width_(width), height_(height), rgb_(size_t(width) * size_t(height) * 3, 0) {}

void Picture::set(int x, int y, Colour c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t* p = &rgb_[(size_t(y) * size_t(width_) + size_t(x)) * 3];
    p[0] = byteOf(c.r);
    p[1] = byteOf(c.g);
    p[2] = byteOf(c.b);
}

Colour Picture::get(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const uint8_t* p = &rgb_[(size_t(y) * size_t(width_) + size_t(x)) * 3];
    return {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
}

void Picture::add(int x, int y, Colour c) {
    Colour was = get(x, y);
    set(x, y, {was.r + c.r, was.g + c.g, was.b + c.b});
}

std::vector<uint8_t> tgaFile(const Picture& picture) {
    std::vector<uint8_t> out;
    out.push_back(0);   // no image ID
    out.push_back(0);   // no colour map
    out.push_back(2);   // uncompressed true colour
    for (int i = 0; i < 5; ++i) out.push_back(0);   // colour map: first entry, length, entry size
    put16le(out, 0);                                // x origin
    put16le(out, 0);                                // y origin
    put16le(out, unsigned(picture.width()));
    put16le(out, unsigned(picture.height()));
    out.push_back(24);
    out.push_back(0x20);   // rows from the top
    const std::vector<uint8_t>& rgb = picture.rgb();
    for (size_t i = 0; i < rgb.size(); i += 3) {
        out.push_back(rgb[i + 2]);
        out.push_back(rgb[i + 1]);
        out.push_back(rgb[i]);
    }
    return out;
}

std::vector<uint8_t> bmpFile(const Picture& picture) {
    const size_t rowBytes = (size_t(picture.width()) * 3 + 3) / 4 * 4;
    const uint32_t pixelBytes = uint32_t(rowBytes * size_t(picture.height()));
    const uint32_t headerBytes = 14 + 40;
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put32le(out, headerBytes + pixelBytes);
    put32le(out, 0);
    put32le(out, headerBytes);
    put32le(out, 40);
    put32le(out, uint32_t(picture.width()));
    put32le(out, uint32_t(picture.height()));   // positive: rows from the bottom
    put16le(out, 1);                             // planes
    put16le(out, 24);
    put32le(out, 0);   // BI_RGB
    put32le(out, pixelBytes);
    put32le(out, 2835);   // 72 dots an inch
    put32le(out, 2835);
    put32le(out, 0);
    put32le(out, 0);
    const std::vector<uint8_t>& rgb = picture.rgb();
    for (int y = picture.height() - 1; y >= 0; --y) {
        size_t start = out.size();
        for (int x = 0; x < picture.width(); ++x) {
            const uint8_t* p = &rgb[(size_t(y) * size_t(picture.width()) + size_t(x)) * 3];
            out.push_back(p[2]);
            out.push_back(p[1]);
            out.push_back(p[0]);
        }
        out.resize(start + rowBytes, 0);
    }
    return out;
}

}  // namespace content::korvo
