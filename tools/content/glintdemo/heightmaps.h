// The show's 256 x 256 height maps (one byte a sample, rows first). The show addresses
// rows and columns modulo 255, so every map repeats with a period of 255 samples: column 255
// and row 255 repeat column and row 0, and the maps scroll without a seam.
#pragma once

#include <cstdint>
#include <vector>

namespace content::glint {

constexpr int heightMapSize = 256;
constexpr int heightMapPeriod = 255;

// Crossing swells: the landscape's ground and the ripples running along the tubes.
std::vector<uint8_t> swellHeights();
// Round bumps on a jittered grid.
std::vector<uint8_t> bumpHeights();
// A spiral whirl, flat at the tile's border.
std::vector<uint8_t> whirlHeights();
// Rolling hills of fractal noise.
std::vector<uint8_t> hillHeights();

}  // namespace content::glint
