#include "heightmaps.h"

#include <algorithm>
#include <cmath>

#include "raster.h"

namespace content::glint {
namespace {

constexpr float twoPi = 6.28318530718f;

// Samples a function of the periodic position (x, y in 0..255, period 255) into a map,
// stretching its range to 0..255.
template <typename Height>
std::vector<uint8_t> sampled(Height height) {
    std::vector<float> values(size_t(heightMapSize) * heightMapSize);
    for (int y = 0; y < heightMapSize; ++y)
        for (int x = 0; x < heightMapSize; ++x)
            values[size_t(y) * heightMapSize + size_t(x)] =
                height(float(x % heightMapPeriod), float(y % heightMapPeriod));
    auto [low, high] = std::minmax_element(values.begin(), values.end());
    const float bottom = *low, range = std::max(1e-6f, *high - *low);
    std::vector<uint8_t> map(values.size());
    for (size_t i = 0; i < values.size(); ++i) map[i] = uint8_t(std::lround((values[i] - bottom) / range * 255.0f));
    return map;
}

// A plane wave with whole numbers of crests over the period, so it tiles.
float wave(float x, float y, int crestsX, int crestsY, float phase) {
    return std::sin(twoPi * (float(crestsX) * x + float(crestsY) * y) / float(heightMapPeriod) + phase);
}

}  // namespace

std::vector<uint8_t> swellHeights() {
    return sampled([](float x, float y) {
        float u = x / heightMapPeriod, v = y / heightMapPeriod;
        return 1.0f * wave(x, y, 2, 1, 0.0f) + 0.8f * wave(x, y, -1, 3, 1.3f) + 0.5f * wave(x, y, 5, 2, 2.1f) +
               0.35f * wave(x, y, 3, -6, 0.4f) + 0.6f * (fractalNoise(u * 5.0f, v * 5.0f, 5, 4, 0.5f, 201) - 0.5f);
    });
}

std::vector<uint8_t> bumpHeights() {
    return sampled([](float x, float y) {
        constexpr int cells = 5;
        const float cell = float(heightMapPeriod) / cells;
        float height = 0;
        int cx = int(x / cell), cy = int(y / cell);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                int nx = cx + dx, ny = cy + dy;
                int wx = (nx % cells + cells) % cells, wy = (ny % cells + cells) % cells;
                float centreX = (float(nx) + 0.25f + 0.5f * latticeValue(wx, wy, 211)) * cell;
                float centreY = (float(ny) + 0.25f + 0.5f * latticeValue(wx, wy, 212)) * cell;
                float radius = cell * (0.45f + 0.3f * latticeValue(wx, wy, 213));
                float d = std::hypot(x - centreX, y - centreY) / radius;
                if (d < 1.0f) height = std::max(height, (1.0f - d * d) * (1.0f - d * d));
            }
        return height;
    });
}

std::vector<uint8_t> whirlHeights() {
    return sampled([](float x, float y) {
        const float centre = float(heightMapPeriod) / 2.0f;
        float dx = x - centre, dy = y - centre;
        float r = std::sqrt(dx * dx + dy * dy);
        float angle = std::atan2(dy, dx);
        float arms = std::sin(5.0f * angle + r * 0.12f);
        return arms * (1.0f - smoothstep(centre * 0.7f, centre * 0.98f, r));
    });
}

std::vector<uint8_t> hillHeights() {
    return sampled([](float x, float y) {
        return fractalNoise(x / heightMapPeriod * 3.0f, y / heightMapPeriod * 3.0f, 3, 6, 0.55f, 221);
    });
}

}  // namespace content::glint
