// Pictures of korvo's sample show: an RGB raster with the few drawing operations the show's
// textures need, written as uncompressed 24-bit TGA or BMP files (the two formats the show's
// objects name). Pure black (0, 0, 0) is what the player's colour key makes transparent, so
// the pictures use it only where a surface is to have holes.
#pragma once

#include <cstdint>
#include <vector>

namespace content::korvo {

struct Colour {
    float r = 0.0f, g = 0.0f, b = 0.0f;   // 0..1; clamped when stored
};

Colour mix(Colour a, Colour b, float t);
Colour scaled(Colour c, float f);
// A colour of hue h (turns, any value), full saturation and the given value (0..1).
Colour hue(float h, float value = 1.0f);

class Picture {
public:
    Picture(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    void set(int x, int y, Colour c);
    Colour get(int x, int y) const;
    // Adds light to a pixel (clamped at white).
    void add(int x, int y, Colour c);
    // Bytes as stored: R, G, B for each pixel, rows from the top.
    const std::vector<uint8_t>& rgb() const { return rgb_; }

private:
    int width_, height_;
    std::vector<uint8_t> rgb_;
};

// Uncompressed true-colour TGA (image type 2), 24 bits a pixel, rows from the top.
std::vector<uint8_t> tgaFile(const Picture& picture);
// Windows bitmap (BITMAPINFOHEADER, BI_RGB), 24 bits a pixel, rows from the bottom padded
// to 4 bytes.
std::vector<uint8_t> bmpFile(const Picture& picture);

}  // namespace content::korvo
