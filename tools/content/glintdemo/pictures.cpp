#include "pictures.h"

#include <cmath>
#include <functional>

#include "text.h"

namespace content::glint {
namespace {

constexpr float pi = 3.14159265358979f;

// Fills every pixel from a function of its centre in 0..1 coordinates (u right, v down).
template <typename Shade>
Canvas paint(int width, int height, int channels, Shade shade) {
    Canvas canvas(width, height, channels);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float u = (float(x) + 0.5f) / float(width), v = (float(y) + 0.5f) / float(height);
            shade(u, v, canvas.at(x, y));
        }
    return canvas;
}

void put(float* pixel, Colour c) {
    pixel[0] = c.r;
    pixel[1] = c.g;
    pixel[2] = c.b;
}

// Film grain of +-amount, the same for the same pixel and seed.
float grain(float u, float v, float amount, uint32_t seed) {
    return (latticeValue(int(u * 4096.0f), int(v * 4096.0f), seed) - 0.5f) * 2.0f * amount;
}

// Darkens towards the corners: 1 in the middle, `edge` at the corners.
float vignette(float u, float v, float edge) {
    float dx = u - 0.5f, dy = v - 0.5f;
    float d = std::sqrt(dx * dx + dy * dy) / 0.7071f;
    return 1.0f - (1.0f - edge) * smoothstep(0.45f, 1.0f, d);
}

// A sphere map: each texel holds what a mirror ball facing the viewer reflects in that
// direction. OpenGL's sphere mapping puts the reflection (rx, ry, rz) at
// s = rx / m + 0.5, t = ry / m + 0.5 with m = 2 sqrt(rx^2 + ry^2 + (rz + 1)^2); the first
// row of a picture is t = 0, so upward reflections lie in the lower half of the file.
Canvas sphereMap(int size, const std::function<Colour(float, float, float)>& environment) {
    return paint(size, size, 3, [&](float s, float t, float* pixel) {
        float x = 2.0f * s - 1.0f, y = 2.0f * t - 1.0f;
        float r2 = x * x + y * y;
        if (r2 > 1.0f) {   // outside the ball: the direction straight behind, as at its rim
            float r = std::sqrt(r2);
            x /= r;
            y /= r;
            r2 = 1.0f;
        }
        float nz = std::sqrt(1.0f - r2);
        put(pixel, environment(2.0f * nz * x, 2.0f * nz * y, 2.0f * nz * nz - 1.0f));
    });
}

float angularGlow(float rx, float ry, float rz, float dx, float dy, float dz, float sharpness) {
    float length = std::sqrt(dx * dx + dy * dy + dz * dz);
    float cosine = (rx * dx + ry * dy + rz * dz) / length;
    return std::exp((cosine - 1.0f) * sharpness);
}

// A soft dot of light: a bright core and a wide halo, black at the square's edge, so additive
// blending leaves no visible border.
Canvas glowingDot(int size) {
    return paint(size, size, 1, [](float u, float v, float* pixel) {
        float dx = u - 0.5f, dy = v - 0.5f;
        float r = std::sqrt(dx * dx + dy * dy) * 2.0f;
        float light = std::exp(-(r / 0.28f) * (r / 0.28f)) + 0.45f * std::exp(-(r / 0.6f) * (r / 0.6f));
        pixel[0] = light * (1.0f - smoothstep(0.7f, 1.0f, r));
    });
}

// The backgrounds are laid over the whole picture with a colour-inverting blend (what was
// drawn shows where they are bright and goes dark where they are dark), and added whole as
// beat flashes; they are mostly light with bold dark shapes.
Canvas blindsBackground() {
    return paint(512, 512, 1, [](float u, float v, float* pixel) {
        float bands = smoothstep(-0.35f, 0.55f, std::cos(v * 2.0f * pi * 7.0f + 0.8f * std::sin(u * 2.0f * pi)));
        pixel[0] = (0.3f + 0.7f * bands) * vignette(u, v, 0.25f) + grain(u, v, 0.02f, 11);
    });
}

Canvas raysBackground() {
    return paint(512, 512, 1, [](float u, float v, float* pixel) {
        float dx = u - 0.5f, dy = v - 0.5f;
        float angle = std::atan2(dy, dx), r = std::sqrt(dx * dx + dy * dy);
        float rays = smoothstep(-0.25f, 0.45f, std::cos(12.0f * angle + 0.7f * std::sin(3.0f * angle) + r * 6.0f));
        float centre = std::exp(-r * r * 40.0f);
        pixel[0] = std::max(0.35f + 0.65f * rays, centre) * vignette(u, v, 0.3f) + grain(u, v, 0.02f, 12);
    });
}

Canvas portholeBackground() {
    return paint(512, 512, 1, [](float u, float v, float* pixel) {
        float dx = u - 0.5f, dy = v - 0.5f;
        float r = std::sqrt(dx * dx + dy * dy) / 0.5f;
        float inside = 0.88f + 0.1f * std::cos(r * 40.0f);
        float outside = 0.35f + 0.45f * fractalNoise(u * 8.0f, v * 8.0f, 8, 5, 0.55f, 13);
        float rim = smoothstep(0.60f, 0.63f, r) * (1.0f - smoothstep(0.70f, 0.73f, r));
        float value = r < 0.665f ? inside : outside;
        pixel[0] = value * (1.0f - 0.9f * rim) + grain(u, v, 0.02f, 14);
    });
}

Canvas stripesBackground() {
    return paint(512, 512, 1, [](float u, float v, float* pixel) {
        float wobble = fractalNoise(u * 4.0f, v * 4.0f, 4, 4, 0.5f, 15) - 0.5f;
        float stripes = smoothstep(-0.5f, 0.5f, std::sin((u + v + 0.25f * wobble) * 2.0f * pi * 5.0f));
        pixel[0] = (0.4f + 0.6f * stripes) * vignette(u, v, 0.3f) + grain(u, v, 0.02f, 16);
    });
}

Canvas scanlineBackground() {
    return paint(512, 512, 1, [](float u, float v, float* pixel) {
        int row = int(v * 512.0f);
        float lines = (row % 4) < 2 ? 1.0f : 0.8f;
        pixel[0] = lines * vignette(u, v, 0.15f) + grain(u, v, 0.015f, 17);
    });
}

// Flash picture: a glowing grid on black, so the flash lights up lines only.
Canvas gridFlash() {
    return paint(512, 512, 1, [](float u, float v, float* pixel) {
        auto line = [](float x) {
            float d = std::abs(x * 8.0f - std::round(x * 8.0f)) / 8.0f;
            return std::exp(-d * d * 40000.0f) + 0.3f * std::exp(-d * d * 3000.0f);
        };
        float dx = u - 0.5f, dy = v - 0.5f;
        float centre = std::exp(-(dx * dx + dy * dy) * 12.0f);
        pixel[0] = std::min(1.0f, line(u) + line(v)) * (0.35f + 0.65f * centre);
    });
}

// The tubes' texture: a tiling dark marble with glowing veins; u runs along the tube, v
// around. The tubes are drawn over themselves many times, adding up, so it is mostly dark.
Canvas marbleTexture() {
    return paint(512, 512, 3, [](float u, float v, float* pixel) {
        float warpX = fractalNoise(u * 4.0f, v * 4.0f, 4, 4, 0.5f, 21);
        float warpY = fractalNoise(u * 4.0f + 17.0f, v * 4.0f, 4, 4, 0.5f, 22);
        float n = fractalNoise(u * 4.0f + warpX * 3.0f, v * 4.0f + warpY * 3.0f, 4, 5, 0.55f, 23);
        float vein = 1.0f - std::abs(2.0f * fractalNoise(u * 8.0f + warpY * 2.0f, v * 8.0f, 8, 4, 0.5f, 24) - 1.0f);
        Colour base = ramp({{0.35f, {0.0f, 0.0f, 0.02f}},
                            {0.5f, {0.02f, 0.07f, 0.18f}},
                            {0.62f, {0.3f, 0.1f, 0.02f}},
                            {0.74f, {0.75f, 0.4f, 0.08f}},
                            {0.86f, {1.0f, 0.85f, 0.6f}}},
                           n);
        put(pixel, base + Colour{0.2f, 0.55f, 0.9f} * std::pow(vein, 16.0f));
    });
}

// A burst of light: rays of uneven length from a white-hot centre, on black.
Canvas starburst() {
    return paint(256, 256, 3, [](float u, float v, float* pixel) {
        float dx = u - 0.5f, dy = v - 0.5f;
        float r = std::sqrt(dx * dx + dy * dy) * 2.0f;
        float around = (std::atan2(dy, dx) / (2.0f * pi) + 0.5f) * 48.0f;
        float rays = std::pow(fractalNoise(around, 0.5f, 48, 3, 0.5f, 31), 3.0f) * 3.0f;
        float reach = std::exp(-r * 2.2f);
        float ring = std::exp(-((r - 0.62f) / 0.035f) * ((r - 0.62f) / 0.035f)) * 0.5f;
        float core = std::exp(-r * r * 60.0f);
        Colour colour = Colour{1.0f, 0.3f, 0.7f} * (rays * reach) + Colour{1.0f, 0.55f, 0.15f} * ring +
                        Colour{1.0f, 1.0f, 1.0f} * core;
        put(pixel, colour * (1.0f - smoothstep(0.85f, 1.0f, r)));
    });
}

// Environment of a polished copper ball: warm studio lights above, a glowing horizon, a dark floor.
Canvas copperEnvironment() {
    return sphereMap(256, [](float rx, float ry, float rz) {
        Colour sky = ramp({{-1.0f, {0.05f, 0.02f, 0.01f}},
                           {-0.05f, {0.25f, 0.1f, 0.04f}},
                           {0.0f, {1.0f, 0.55f, 0.2f}},
                           {0.25f, {0.55f, 0.3f, 0.15f}},
                           {1.0f, {0.95f, 0.8f, 0.6f}}},
                          ry);
        float lights = angularGlow(rx, ry, rz, 0.5f, 0.7f, 0.5f, 18.0f) + angularGlow(rx, ry, rz, -0.7f, 0.4f, 0.3f, 10.0f);
        return sky + Colour{1.0f, 0.9f, 0.75f} * lights;
    });
}

// Environment of the reflective landscape: a dusty dusk with a low sun and streaks of cloud.
Canvas duskEnvironment() {
    return sphereMap(256, [](float rx, float ry, float rz) {
        float horizontalAngle = std::atan2(rx, rz) / (2.0f * pi) + 0.5f;
        if (ry < 0.0f) {
            float ground = fractalNoise(horizontalAngle * 16.0f, -ry * 6.0f, 16, 4, 0.5f, 41);
            return mix(Colour{0.35f, 0.12f, 0.1f}, Colour{0.08f, 0.03f, 0.06f}, clamp01(-ry * 3.0f)) * (0.6f + 0.6f * ground);
        }
        Colour sky = ramp({{0.0f, {1.0f, 0.55f, 0.25f}},
                           {0.12f, {0.9f, 0.35f, 0.4f}},
                           {0.4f, {0.3f, 0.12f, 0.4f}},
                           {1.0f, {0.05f, 0.04f, 0.2f}}},
                          ry);
        float clouds = smoothstep(0.5f, 0.8f, fractalNoise(horizontalAngle * 16.0f, ry * 3.0f, 16, 5, 0.55f, 42));
        float sun = angularGlow(rx, ry, rz, 0.3f, 0.12f, 0.95f, 400.0f) * 2.0f + angularGlow(rx, ry, rz, 0.3f, 0.12f, 0.95f, 12.0f) * 0.6f;
        return mix(sky, Colour{1.0f, 0.7f, 0.6f}, clouds * 0.6f) + Colour{1.0f, 0.85f, 0.5f} * sun;
    });
}

// A clear day sky for the jelly world: deep blue above, haze at the horizon, white clouds.
Canvas daySkyEnvironment() {
    return sphereMap(256, [](float rx, float ry, float rz) {
        float horizontalAngle = std::atan2(rx, rz) / (2.0f * pi) + 0.5f;
        Colour sky = ramp({{-1.0f, {0.1f, 0.15f, 0.12f}},
                           {-0.02f, {0.35f, 0.45f, 0.4f}},
                           {0.0f, {0.85f, 0.92f, 1.0f}},
                           {0.3f, {0.4f, 0.65f, 0.95f}},
                           {1.0f, {0.1f, 0.25f, 0.7f}}},
                          ry);
        float clouds = ry > 0.0f ? smoothstep(0.55f, 0.75f, fractalNoise(horizontalAngle * 12.0f, ry * 4.0f, 12, 5, 0.5f, 51)) : 0.0f;
        float sun = angularGlow(rx, ry, rz, -0.3f, 0.6f, 0.7f, 300.0f) * 1.5f;
        return mix(sky, Colour{1.0f, 1.0f, 1.0f}, clouds * 0.85f) + Colour{1.0f, 1.0f, 0.9f} * sun;
    });
}

// The fine overlay of the landscape, added on top of it: a dark gradient with soft bright bands.
Canvas duskGradient() {
    return paint(256, 256, 3, [](float u, float v, float* pixel) {
        Colour base = ramp({{0.0f, {0.02f, 0.04f, 0.18f}}, {0.45f, {0.3f, 0.08f, 0.35f}}, {0.6f, {0.55f, 0.3f, 0.08f}},
                            {1.0f, {0.05f, 0.02f, 0.05f}}},
                           v);
        float streak = fractalNoise(u * 2.0f, v * 24.0f, 2, 3, 0.5f, 61);
        put(pixel, base * (0.7f + 0.6f * streak));
    });
}

Canvas tealGradient() {
    return paint(256, 256, 3, [](float u, float v, float* pixel) {
        float band = 0.5f + 0.5f * std::sin((u * 0.6f + v) * 2.0f * pi * 3.0f);
        put(pixel, mix(Colour{0.02f, 0.15f, 0.12f}, Colour{0.3f, 0.75f, 0.6f}, v) * (0.6f + 0.4f * band));
    });
}

// A swirl of saturated colour.
Canvas swirl() {
    return paint(256, 256, 3, [](float u, float v, float* pixel) {
        float dx = u - 0.5f, dy = v - 0.5f;
        float r = std::sqrt(dx * dx + dy * dy), angle = std::atan2(dy, dx);
        float n = fractalNoise(u * 6.0f, v * 6.0f, 6, 4, 0.5f, 71);
        float phase = angle * 3.0f + r * 18.0f + n * 4.0f;
        put(pixel, Colour{0.5f + 0.5f * std::cos(phase), 0.5f + 0.5f * std::cos(phase + 2.1f),
                          0.5f + 0.5f * std::cos(phase + 4.2f)});
    });
}

// Light playing on the bottom of a pool.
Canvas caustics() {
    return paint(256, 256, 3, [](float u, float v, float* pixel) {
        float light = 0;
        for (int i = 0; i < 4; ++i) {
            float a = float(i) * 0.9f;
            float k = 2.0f * pi * float(3 + i);
            float wobble = fractalNoise(u * 4.0f, v * 4.0f, 4, 3, 0.5f, 81 + uint32_t(i)) * 2.0f;
            light += std::pow(std::abs(std::sin((u * std::cos(a) + v * std::sin(a)) * k + wobble)), 10.0f);
        }
        put(pixel, Colour{0.0f, 0.12f, 0.25f} + Colour{0.45f, 0.85f, 1.0f} * (light * 0.45f));
    });
}

// Flames: warped noise from deep red to yellow.
Canvas flames() {
    return paint(256, 256, 3, [](float u, float v, float* pixel) {
        float warp = fractalNoise(u * 4.0f, v * 4.0f, 4, 4, 0.5f, 91);
        float n = fractalNoise(u * 4.0f + warp * 2.5f, v * 4.0f - warp, 4, 5, 0.55f, 92);
        put(pixel, ramp({{0.3f, {0.45f, 0.02f, 0.0f}}, {0.5f, {0.95f, 0.25f, 0.02f}}, {0.65f, {1.0f, 0.7f, 0.1f}},
                         {0.8f, {1.0f, 1.0f, 0.6f}}},
                        n));
    });
}

// Metal panels of a floor: plates of two sizes with bevelled edges, rivets and a grey-blue
// sheen; tiles without a seam.
Canvas panels() {
    return paint(256, 256, 3, [](float u, float v, float* pixel) {
        float large = std::min(std::abs(u * 2.0f - std::round(u * 2.0f)), std::abs(v * 2.0f - std::round(v * 2.0f)));
        int cx = int(u * 4.0f), cy = int(v * 4.0f);
        float small = std::min(std::abs(u * 4.0f - std::round(u * 4.0f)), std::abs(v * 4.0f - std::round(v * 4.0f)));
        float seam = std::min(smoothstep(0.0f, 0.03f, large), ((cx + cy) % 2) ? smoothstep(0.0f, 0.05f, small) : 1.0f);
        float fx = u * 8.0f - std::floor(u * 8.0f), fy = v * 8.0f - std::floor(v * 8.0f);
        float rivet = std::exp(-((fx - 0.5f) * (fx - 0.5f) + (fy - 0.5f) * (fy - 0.5f)) * 400.0f);
        float sheen = 0.75f + 0.25f * fractalNoise(u * 4.0f, v * 16.0f, 4, 4, 0.5f, 111);
        Colour plate = Colour{0.62f, 0.7f, 0.8f} * (sheen * (0.85f + 0.15f * latticeValue(cx, cy, 112)));
        put(pixel, plate * (0.25f + 0.75f * seam) + Colour{0.9f, 0.95f, 1.0f} * (rivet * 0.6f));
    });
}

// Coloured tiles with dark joints.
Canvas tiles() {
    return paint(128, 128, 3, [](float u, float v, float* pixel) {
        int cx = int(u * 8.0f), cy = int(v * 8.0f);
        float fx = u * 8.0f - float(cx), fy = v * 8.0f - float(cy);
        float joint = smoothstep(0.0f, 0.08f, std::min(std::min(fx, 1.0f - fx), std::min(fy, 1.0f - fy)));
        Colour tile{0.3f + 0.6f * latticeValue(cx, cy, 101), 0.3f + 0.5f * latticeValue(cx, cy, 102),
                    0.4f + 0.5f * latticeValue(cx, cy, 103)};
        put(pixel, tile * joint);
    });
}

// Glowing text on black: a soft coloured halo under a sharp core.
bool glowingTitle(const std::string& fontPath, Canvas& canvas, const std::string& text, const TextStyle& style,
                  float centreX, float baselineY, Colour halo, Colour core, int haloRadius, std::string* error) {
    Canvas coverage(canvas.width, canvas.height, 1);
    if (!drawText(fontPath, text, style, centreX, baselineY, coverage, error)) return false;
    Canvas glow = coverage;
    blur(glow, haloRadius);
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) {
            float g = std::min(1.0f, glow.at(x, y)[0] * 1.8f), c = coverage.at(x, y)[0];
            float* pixel = canvas.at(x, y);
            Colour colour = canvas.channels == 3 ? Colour{pixel[0], pixel[1], pixel[2]} : Colour{pixel[0], pixel[0], pixel[0]};
            colour = colour + halo * g + core * c;
            if (canvas.channels == 3) put(pixel, colour);
            else pixel[0] = std::max(colour.r, std::max(colour.g, colour.b));
        }
    return true;
}

}  // namespace

bool showPictures(const std::string& fontPath, std::vector<ShowPicture>& pictures, std::string* error) {
    auto grey = [](bool progressive, int restart = 0) {
        JpegLayout layout;
        layout.progressive = progressive;
        layout.restartInterval = restart;
        return layout;
    };
    auto colour = [](int h, int v, bool progressive, int restart = 0) {
        JpegLayout layout;
        layout.lumaH = h;
        layout.lumaV = v;
        layout.progressive = progressive;
        layout.restartInterval = restart;
        return layout;
    };

    Canvas endCard(512, 512, 3);
    TextStyle big{84, 8}, small{28, 3};
    if (!glowingTitle(fontPath, endCard, "NIMBRA", big, 256.0f, 280.0f, {0.9f, 0.4f, 0.1f}, {1.0f, 0.95f, 0.85f}, 14,
                      error) ||
        !glowingTitle(fontPath, endCard, "thanks for watching", small, 256.0f, 360.0f, {0.2f, 0.3f, 0.6f},
                      {0.75f, 0.8f, 1.0f}, 5, error))
        return false;
    Canvas sunText(256, 128, 1);
    if (!glowingTitle(fontPath, sunText, "sunflare", TextStyle{44, 2}, 128.0f, 78.0f, {0.6f, 0.6f, 0.6f},
                      {1.0f, 1.0f, 1.0f}, 6, error))
        return false;

    pictures.clear();
    pictures.push_back({"addict1.jpg", swirl(), colour(2, 2, true)});
    pictures.push_back({"kalju3512.jpg", marbleTexture(), colour(2, 1, false)});
    pictures.push_back({"sc2.jpg", starburst(), colour(1, 1, false)});
    pictures.push_back({"sotku2.jpg", copperEnvironment(), colour(2, 2, false)});
    pictures.push_back({"d4_1.jpg", stripesBackground(), grey(false)});
    pictures.push_back({"d2_2.jpg", portholeBackground(), grey(true)});
    pictures.push_back({"d2_3.jpg", blindsBackground(), grey(true)});
    pictures.push_back({"d4_4.jpg", raysBackground(), grey(false)});
    pictures.push_back({"d4_22.jpg", gridFlash(), grey(true)});
    pictures.push_back({"d5_2.jpg", scanlineBackground(), grey(false)});
    pictures.push_back({"d4_3.jpg", endCard, colour(2, 2, false, 8)});
    pictures.push_back({"dot.jpg", glowingDot(128), grey(false)});
    pictures.push_back({"sunftext.jpg", sunText, grey(false, 4)});
    pictures.push_back({"back_gradient2.jpg", tealGradient(), colour(1, 2, true)});
    pictures.push_back({"back_gradient.jpg", duskGradient(), colour(1, 1, true)});
    pictures.push_back({"dust.jpg", duskEnvironment(), colour(2, 2, false, 16)});
    pictures.push_back({"water2.jpg", caustics(), colour(1, 2, false)});
    pictures.push_back({"skymap.jpg", daySkyEnvironment(), colour(2, 2, true)});
    pictures.push_back({"yellowshitred.jpg", flames(), colour(1, 2, false)});
    pictures.push_back({"square.jpg", tiles(), colour(2, 1, true)});
    pictures.push_back({"panels.jpg", panels(), colour(2, 2, false)});   // the towers' floor
    return true;
}

bool bannerPictures(const std::string& fontPath, Canvas& first, Canvas& second, std::string* error) {
    // The banner quad is wide and the show squeezes it as it fades, so the title fills the
    // picture's width. The first picture glows warm; the second, crossfaded in, is cool and sharp.
    first = Canvas(512, 128, 3);
    second = Canvas(512, 128, 3);
    TextStyle title{92, 12};
    return glowingTitle(fontPath, first, "NIMBRA", title, 256.0f, 98.0f, {1.0f, 0.45f, 0.08f}, {1.0f, 0.85f, 0.5f}, 9,
                        error) &&
           glowingTitle(fontPath, second, "NIMBRA", title, 256.0f, 98.0f, {0.15f, 0.35f, 0.9f}, {0.9f, 0.95f, 1.0f}, 3,
                        error);
}

}  // namespace content::glint
