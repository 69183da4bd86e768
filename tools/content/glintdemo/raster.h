// Procedural pictures for the glintdemo sample content: float canvases (0..1 per channel),
// deterministic tiling noise, colour ramps and blurs, and the 8-bit pixels the encoders take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace content::glint {

struct Canvas {
    Canvas() = default;
    Canvas(int width, int height, int channels);

    float* at(int x, int y) { return &values[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels)]; }
    const float* at(int x, int y) const { return &values[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels)]; }
    // Every channel clamped to 0..1 and rounded to 0..255; rows top first, channels interleaved.
    std::vector<uint8_t> bytes() const;

    int width = 0, height = 0, channels = 0;
    std::vector<float> values;
};

struct Colour {
    float r = 0, g = 0, b = 0;
};
Colour operator+(Colour a, Colour b);
Colour operator*(Colour a, float k);
Colour mix(Colour a, Colour b, float t);

// A piecewise-linear colour ramp over 0..1; `stops` in ascending order of position.
struct RampStop {
    float at;
    Colour colour;
};
Colour ramp(std::initializer_list<RampStop> stops, float t);

float clamp01(float x);
float smoothstep(float edge0, float edge1, float x);

// A value in [0, 1) that depends only on the lattice point and the seed.
float latticeValue(int x, int y, uint32_t seed);
// Smooth value noise in 0..1 over lattice coordinates, repeating every `period` cells on both
// axes (so a picture that spans whole periods tiles without a seam).
float tilingNoise(float x, float y, int period, uint32_t seed);
// `octaves` layers of tilingNoise, each at twice the frequency and `gain` times the weight of
// the one before, normalised back to 0..1; repeats every `period` cells of the first layer.
float fractalNoise(float x, float y, int period, int octaves, float gain, uint32_t seed);

// Three passes of a box blur of the given radius (close to a Gaussian); beyond the border the
// border pixels repeat.
void blur(Canvas& canvas, int radius);

}  // namespace content::glint
