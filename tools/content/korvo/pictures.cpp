#include "pictures.h"

#include <algorithm>
#include <cmath>

namespace content::korvo {

namespace {

constexpr float pi = 3.14159265358979f;

// 5 x 7 letters, one string a row, 'X' for a filled cell.
struct Glyph {
    char letter;
    const char* rows[7];
};

constexpr Glyph glyphs[] = {
    {'K', {"X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"}},
    {'O', {".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."}},
    {'R', {"XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"}},
    {'V', {"X...X", "X...X", "X...X", "X...X", "X...X", ".X.X.", "..X.."}},
};

const Glyph* glyphOf(char letter) {
    for (const Glyph& g : glyphs)
        if (g.letter == letter) return &g;
    return nullptr;
}

// 0 at the middle of a bar of `width` around every multiple of `period`, growing to 1 at its
// edges; above 1 outside the bar.
float barDistance(float x, float period, float width) {
    float d = std::fabs(x - period * std::round(x / period));
    return d / (width * 0.5f);
}

}  // namespace

Picture titlePicture() {
    const char* text = "KORVO";
    const int cell = 8, left = 12, top = 4;
    Picture p(256, 64);
    auto filled = [&](int column, int row) {
        if (row < 0 || row >= 7 || column < 0) return false;
        int letter = column / 6, inLetter = column % 6;
        if (letter >= 5 || inLetter == 5) return false;
        const Glyph* g = glyphOf(text[letter]);
        return g && g->rows[row][inLetter] == 'X';
    };
    const Colour gold{1.0f, 0.86f, 0.35f}, ember{0.85f, 0.25f, 0.05f}, rim{0.35f, 0.08f, 0.02f};
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            int column = (x - left) / cell, row = (y - top) / cell;
            if (x < left || y < top || !filled(column, row)) continue;
            // A one-pixel dark rim where the letter ends, a highlight on its upper edge.
            int cx = (x - left) % cell, cy = (y - top) % cell;
            bool edge = (cx == 0 && !filled(column - 1, row)) || (cx == cell - 1 && !filled(column + 1, row)) ||
                        (cy == 0 && !filled(column, row - 1)) || (cy == cell - 1 && !filled(column, row + 1));
            bool shine = cy <= 1 && !filled(column, row - 1);
            float t = float(y - top) / float(7 * cell);
            Colour c = mix(gold, ember, t);
            if (shine) c = mix(c, Colour{1, 1, 0.9f}, 0.6f);
            if (edge && !shine) c = rim;
            p.set(x, y, c);
        }
    return p;
}

Picture latticePicture() {
    const int size = 256;
    const float period = 32.0f, bar = 11.0f;
    Picture p(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float fx = float(x) + 0.5f, fy = float(y) + 0.5f;
            float dx = barDistance(fx, period, bar), dy = barDistance(fy, period, bar);
            float d = std::min(dx, dy);
            if (d > 1.0f) continue;   // a hole
            // Rounded bars: bright along their middle, darker toward the holes.
            float shade = 0.45f + 0.55f * std::sqrt(std::max(0.0f, 1.0f - d * d));
            Colour c = hue(0.47f + 0.16f * std::sin(2.0f * pi * fx / float(size)), 1.0f);
            c = mix(c, Colour{0.9f, 0.95f, 1.0f}, 0.25f);
            // Rivets where the bars cross.
            float rx = std::fabs(fx - period * std::round(fx / period)), ry = std::fabs(fy - period * std::round(fy / period));
            float rivet = std::sqrt(rx * rx + ry * ry);
            if (rivet < 4.5f) c = mix(Colour{1.0f, 0.8f, 0.3f}, Colour{1, 1, 1}, std::max(0.0f, 1.0f - rivet / 2.5f));
            p.set(x, y, scaled(c, shade));
        }
    return p;
}

Picture chromePicture() {
    const int size = 256;
    Picture p(size, size);
    const Colour zenith{0.02f, 0.05f, 0.25f}, sky{0.2f, 0.45f, 0.85f}, haze{0.75f, 0.85f, 1.0f};
    const Colour ground{0.55f, 0.3f, 0.12f}, deep{0.14f, 0.07f, 0.05f};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float v = (float(y) + 0.5f) / float(size), u = (float(x) + 0.5f) / float(size);
            Colour c;
            if (v < 0.5f) {
                float t = v / 0.5f;
                c = t < 0.8f ? mix(zenith, sky, t / 0.8f) : mix(sky, haze, (t - 0.8f) / 0.2f);
                // Tall light panels across the sky.
                float panel = barDistance(u - 0.125f, 0.25f, 0.07f);
                if (panel < 1.0f && v > 0.12f && v < 0.42f) c = mix(c, Colour{1, 1, 1}, 0.85f * (1.0f - panel * panel));
            } else {
                float t = (v - 0.5f) / 0.5f;
                c = mix(ground, deep, std::sqrt(t));
                // A floor of tiles fading into the distance.
                float line = std::min(barDistance(u * 16.0f, 1.0f, 0.08f), barDistance(t * t * 10.0f, 1.0f, 0.12f));
                if (line < 1.0f) c = mix(c, Colour{0.9f, 0.6f, 0.3f}, 0.5f * (1.0f - line));
            }
            // The horizon's bright line.
            float h = std::fabs(v - 0.5f) * float(size);
            if (h < 3.0f) c = mix(c, Colour{1, 0.97f, 0.85f}, 1.0f - h / 3.0f);
            c.r = std::max(c.r, 0.04f);
            c.g = std::max(c.g, 0.04f);
            c.b = std::max(c.b, 0.04f);
            p.set(x, y, c);
        }
    return p;
}

Picture bobPicture(Colour colour, int size) {
    Picture p(size, size);
    const float centre = float(size) / 2.0f, sigma = 0.16f * float(size), coreSigma = 0.056f * float(size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float dx = float(x) + 0.5f - centre, dy = float(y) + 0.5f - centre;
            float r2 = dx * dx + dy * dy;
            float glow = std::exp(-r2 / (2.0f * sigma * sigma));
            float core = std::exp(-r2 / (2.0f * coreSigma * coreSigma));
            Colour c = scaled(colour, glow);
            c = mix(c, Colour{1, 1, 1}, core * 0.8f);
            if (glow < 0.03f) c = {};
            p.set(x, y, c);
        }
    return p;
}

Picture haloPicture(Colour colour) {
    Picture p(128, 32);
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x) {
            float across = (float(y) + 0.5f) / float(p.height()) - 0.5f;
            float along = 2.0f * pi * (float(x) + 0.5f) / float(p.width());
            float profile = std::exp(-across * across / (2.0f * 0.16f * 0.16f));
            float knots = 0.65f + 0.35f * std::pow(0.5f + 0.5f * std::cos(along), 6.0f);
            float level = profile * knots;
            if (level < 0.05f) continue;   // black: nothing added
            p.set(x, y, mix(scaled(colour, level), Colour{1, 1, 1}, std::pow(profile, 8.0f) * 0.6f * knots));
        }
    return p;
}

Picture stripesPicture() {
    const int size = 128;
    Picture p(size, size);
    const Colour rail{0.35f, 0.95f, 1.0f};
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float fy = float(y) + 0.5f, fx = float(x) + 0.5f;
            float across = std::fabs(fy - float(size) / 2.0f) / (float(size) / 2.0f);   // 0 middle, 1 edges
            if (across > 0.84f) {
                float shade = 0.55f + 0.45f * std::sin(pi * (across - 0.84f) / 0.16f);
                p.set(x, y, scaled(rail, shade));
                continue;
            }
            // Chevrons pointing along u, four a picture.
            float s = (fx + std::fabs(fy - float(size) / 2.0f) * 0.7f) / 32.0f;
            float f = s - std::floor(s);
            if (f > 0.62f) continue;   // black: a gap
            Colour c = mix(Colour{1.0f, 0.25f, 0.6f}, Colour{1.0f, 0.7f, 0.15f}, f / 0.62f);
            float edge = std::min(f, 0.62f - f) / 0.62f;
            p.set(x, y, scaled(c, 0.55f + 0.45f * std::min(1.0f, edge * 6.0f)));
        }
    return p;
}

Picture checkerPicture() {
    const int size = 128, square = 64;
    Picture p(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            int sx = x / square, sy = y / square;
            if ((sx + sy) % 2) continue;   // a hole
            int ix = x % square, iy = y % square;
            int rim = std::min(std::min(ix, square - 1 - ix), std::min(iy, square - 1 - iy));
            Colour pane{0.05f, 0.08f, 0.2f};
            float gradient = float(ix + iy) / float(2 * square);
            pane = mix(pane, Colour{0.1f, 0.2f, 0.4f}, gradient);
            if (rim < 5) pane = mix(Colour{0.4f, 0.9f, 1.0f}, pane, float(rim) / 5.0f);
            p.set(x, y, pane);
        }
    return p;
}

}  // namespace content::korvo
