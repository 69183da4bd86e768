// Lines of text drawn with FreeType from a font file into a one-channel coverage canvas.
#pragma once

#include <string>

#include "raster.h"

namespace content::glint {

struct TextStyle {
    int pixelSize = 64;       // the font's em size in pixels
    int letterSpacing = 0;    // extra pixels after each glyph
};

// Adds the coverage (0..1) of `text`, centred on (centreX, baselineY), to channel 0 of
// `canvas`. False with a reason when the font cannot be read.
bool drawText(const std::string& fontPath, const std::string& text, const TextStyle& style, float centreX,
              float baselineY, Canvas& canvas, std::string* error);

}  // namespace content::glint
