#include "raster.h"

#include <algorithm>
#include <cmath>

namespace content::glint {

Canvas::Canvas(int width_, int height_, int channels_)
    : width(width_), height(height_), channels(channels_), values(size_t(width_) * size_t(height_) * size_t(channels_)) {}

std::vector<uint8_t> Canvas::bytes() const {
    std::vector<uint8_t> out(values.size());
    for (size_t i = 0; i < values.size(); ++i) out[i] = uint8_t(std::lround(clamp01(values[i]) * 255.0f));
    return out;
}

Colour operator+(Colour a, Colour b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Colour operator*(Colour a, float k) { return {a.r * k, a.g * k, a.b * k}; }
Colour mix(Colour a, Colour b, float t) { return a * (1.0f - t) + b * t; }

Colour ramp(std::initializer_list<RampStop> stops, float t) {
    const RampStop* previous = stops.begin();
    if (t <= previous->at) return previous->colour;
    for (const RampStop* stop = stops.begin() + 1; stop != stops.end(); ++stop) {
        if (t <= stop->at) return mix(previous->colour, stop->colour, (t - previous->at) / (stop->at - previous->at));
        previous = stop;
    }
    return previous->colour;
}

float clamp01(float x) { return std::min(1.0f, std::max(0.0f, x)); }

float smoothstep(float edge0, float edge1, float x) {
    float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

float latticeValue(int x, int y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 0x8DA6B343u ^ uint32_t(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return float(h >> 8) * (1.0f / 16777216.0f);
}

float tilingNoise(float x, float y, int period, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int x0 = int(fx), y0 = int(fy);
    float u = x - fx, v = y - fy;
    u = u * u * (3.0f - 2.0f * u);
    v = v * v * (3.0f - 2.0f * v);
    auto wrapped = [period](int i) { return ((i % period) + period) % period; };
    int xa = wrapped(x0), xb = wrapped(x0 + 1), ya = wrapped(y0), yb = wrapped(y0 + 1);
    float top = latticeValue(xa, ya, seed) * (1 - u) + latticeValue(xb, ya, seed) * u;
    float bottom = latticeValue(xa, yb, seed) * (1 - u) + latticeValue(xb, yb, seed) * u;
    return top * (1 - v) + bottom * v;
}

float fractalNoise(float x, float y, int period, int octaves, float gain, uint32_t seed) {
    float sum = 0, weight = 1, total = 0;
    for (int octave = 0; octave < octaves; ++octave) {
        sum += tilingNoise(x, y, period, seed + uint32_t(octave) * 7919u) * weight;
        total += weight;
        weight *= gain;
        x *= 2;
        y *= 2;
        period *= 2;
    }
    return sum / total;
}

namespace {

// One box-blur pass along rows (step 1) or columns (step = width) of one channel.
void boxPass(Canvas& canvas, int channel, int radius, bool alongRows) {
    const int length = alongRows ? canvas.width : canvas.height;
    const int lines = alongRows ? canvas.height : canvas.width;
    std::vector<float> line(static_cast<size_t>(length)), out(static_cast<size_t>(length));
    auto sample = [&](int i) { return line[size_t(std::clamp(i, 0, length - 1))]; };
    for (int l = 0; l < lines; ++l) {
        for (int i = 0; i < length; ++i)
            line[size_t(i)] = alongRows ? canvas.at(i, l)[channel] : canvas.at(l, i)[channel];
        float sum = 0;
        for (int i = -radius; i <= radius; ++i) sum += sample(i);
        for (int i = 0; i < length; ++i) {
            out[size_t(i)] = sum / float(2 * radius + 1);
            sum += sample(i + radius + 1) - sample(i - radius);
        }
        for (int i = 0; i < length; ++i) (alongRows ? canvas.at(i, l) : canvas.at(l, i))[channel] = out[size_t(i)];
    }
}

}  // namespace

void blur(Canvas& canvas, int radius) {
    if (radius <= 0) return;
    for (int pass = 0; pass < 3; ++pass)
        for (int c = 0; c < canvas.channels; ++c) {
            boxPass(canvas, c, radius, true);
            boxPass(canvas, c, radius, false);
        }
}

}  // namespace content::glint
