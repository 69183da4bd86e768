// The debug-text font: DejaVu Sans Mono rendered by FreeType into a glyph atlas once, for the
// printable ASCII and Latin-1 characters. Private to platform/d3d7.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace d3d7::gl {

class GlyphAtlas {
public:
    struct Glyph {
        int x = 0, y = 0, width = 0, height = 0;  // place in the atlas, pixels
        int left = 0, top = 0;                    // bitmap offset from the pen (top: above the baseline)
        int advance = 0;
    };

    // Renders the atlas with the font at `size` pixels; false with the reason when the font
    // file or FreeType fails.
    bool load(int size, std::string* error);
    bool loaded() const { return loaded_; }
    // The glyph of a byte of text (Latin-1); characters without one show as '?'.
    const Glyph& glyph(unsigned char c) const;

    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<uint8_t>& coverage() const { return coverage_; }   // one byte a pixel, top row first
    int ascender() const { return ascender_; }
    int lineHeight() const { return lineHeight_; }

    static constexpr const char* fontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";
    static constexpr int pixelSize = 12;   // at the program's size

private:
    bool loaded_ = false;
    Glyph glyphs_[256];
    int width_ = 0, height_ = 0;
    std::vector<uint8_t> coverage_;
    int ascender_ = 0, lineHeight_ = 0;
};

}  // namespace d3d7::gl
