#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <memory>

namespace content::glint {
namespace {

struct Library {
    FT_Library handle = nullptr;
    ~Library() {
        if (handle) FT_Done_FreeType(handle);
    }
};

struct Face {
    FT_Face handle = nullptr;
    ~Face() {
        if (handle) FT_Done_Face(handle);
    }
};

}  // namespace

bool drawText(const std::string& fontPath, const std::string& text, const TextStyle& style, float centreX,
              float baselineY, Canvas& canvas, std::string* error) {
    Library library;
    Face face;
    if (FT_Init_FreeType(&library.handle) != 0) {
        *error = "FreeType cannot start";
        return false;
    }
    if (FT_New_Face(library.handle, fontPath.c_str(), 0, &face.handle) != 0) {
        *error = "cannot read the font " + fontPath;
        return false;
    }
    FT_Set_Pixel_Sizes(face.handle, 0, FT_UInt(style.pixelSize));

    // First the advance of the whole line, so it can be centred; kerning is left out to
    // keep letter-spaced titles even.
    long width = 0;
    for (unsigned char c : text) {
        if (FT_Load_Char(face.handle, c, FT_LOAD_DEFAULT) != 0) continue;
        width += face.handle->glyph->advance.x >> 6;
        width += style.letterSpacing;
    }
    if (!text.empty()) width -= style.letterSpacing;

    float penX = centreX - float(width) / 2.0f;
    for (unsigned char c : text) {
        if (FT_Load_Char(face.handle, c, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot glyph = face.handle->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        int left = int(std::lround(penX)) + glyph->bitmap_left;
        int top = int(std::lround(baselineY)) - glyph->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row)
            for (unsigned column = 0; column < bitmap.width; ++column) {
                int x = left + int(column), y = top + int(row);
                if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) continue;
                float& value = canvas.at(x, y)[0];
                value = std::min(1.0f, value + float(bitmap.buffer[row * unsigned(bitmap.pitch) + column]) / 255.0f);
            }
        penX += float(glyph->advance.x >> 6) + float(style.letterSpacing);
    }
    return true;
}

}  // namespace content::glint
