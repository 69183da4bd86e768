#include "gl_text.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

namespace d3d7::gl {

bool GlyphAtlas::load(int size, std::string* error) {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library)) {
        *error = "FreeType cannot start";
        return false;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, fontPath, 0, &face)) {
        FT_Done_FreeType(library);
        *error = std::string("cannot load the font ") + fontPath;
        return false;
    }
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(size));
    ascender_ = int(face->size->metrics.ascender >> 6);
    lineHeight_ = int(face->size->metrics.height >> 6);
    int descender = int(-(face->size->metrics.descender >> 6));

    // Cells of one size in a grid of 16 columns: every glyph fits the line's box.
    int cellWidth = int(face->size->metrics.max_advance >> 6) + 2;
    int cellHeight = ascender_ + descender + 2;
    width_ = cellWidth * 16;
    height_ = cellHeight * 16;
    coverage_.assign(size_t(width_) * height_, 0);

    for (int c = 0; c < 256; ++c) {
        bool printable = (c >= 0x20 && c < 0x7F) || c >= 0xA0;
        Glyph& g = glyphs_[c];
        g = Glyph{};
        if (!printable) continue;
        if (FT_Load_Char(face, FT_ULong(c), FT_LOAD_RENDER)) continue;
        FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        g.x = (c % 16) * cellWidth + 1;
        g.y = (c / 16) * cellHeight + 1;
        g.width = std::min(int(bitmap.width), cellWidth - 2);
        g.height = std::min(int(bitmap.rows), cellHeight - 2);
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.advance = int(slot->advance.x >> 6);
        for (int row = 0; row < g.height; ++row)
            for (int column = 0; column < g.width; ++column)
                coverage_[size_t(g.y + row) * width_ + size_t(g.x + column)] =
                    bitmap.buffer[row * bitmap.pitch + column];
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    loaded_ = true;
    return true;
}

const GlyphAtlas::Glyph& GlyphAtlas::glyph(unsigned char c) const {
    if (glyphs_[c].advance == 0) return glyphs_[unsigned('?')];
    return glyphs_[c];
}

}  // namespace d3d7::gl
