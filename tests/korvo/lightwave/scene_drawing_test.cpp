// Scenes drawn on a real (headless) device and read back as pixels: what a surface looks like
// must not depend on what was drawn before it in the frame: sprites of a particle surface, or
// a surface that blends a reflection in on the second texture stage.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "d3d7_fixture.h"
#include "gfx/gfxcore.h"
#include "lightwave/LWSLoader.h"
#include "lightwave/objectbuilder.h"
#include "lightwave/scene.h"
#include "lightwave_test_support.h"
#include "lws_writer.h"

namespace {

namespace lwo = content::lwo;
namespace lws = content::lws;
using lightwave_test::square;
using Rgb = d3d7_test::Color;

class SceneDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lightwave_test::openDevice(false); }

    // A 4 x 4 picture of two colours (0xRRGGBB): `left` in the left half, `right` in the right.
    static std::string halves(const std::string& name, unsigned left, unsigned right) {
        std::vector<uint8_t> rgb;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                unsigned c = x < 2 ? left : right;
                rgb.insert(rgb.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
            }
        stbi_write_bmp(name.c_str(), 4, 4, 3, rgb.data());
        return name;
    }

    // A unit square centred in view whose texture coordinates run from 0 to `repeats` across,
    // lit by its luminosity alone: it shows its picture as it is.
    static lwo::Object texturedSquare(const std::string& surface, uint32_t clip, float repeats) {
        lwo::Object o = square(surface, -0.5f, -0.5f);
        o.surface(0).luminosity = 1.0f;
        lwo::UVMap& map = o.addUVMap("UV " + surface);
        map.entries = {{0, {0, 0}}, {1, {repeats, 0}}, {2, {repeats, 1}}, {3, {0, 1}}};
        lwo::TextureBlock block;
        block.image = clip;
        block.uvMap = map.name;
        o.surface(0).blocks.push_back(block);
        return o;
    }

    SceneObject* add(Scene& scene, const std::string& file, const lwo::Object& object) {
        folder.write(file, object);
        auto* built = new SceneObject(file.c_str());
        built->scene = &scene;
        scene.addObject(built);
        return built;
    }

    // Updates and draws the scene as a frame does (seen from the default camera), and gives
    // back the middle row.
    std::vector<Rgb> drawRow(Scene& scene, const std::string& name) {
        scene.update(0.0f);
        gfx.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        gfx.device->BeginScene();
        scene.draw();
        gfx.device->EndScene();
        int width = 0, height = 0;
        std::vector<Rgb> pixels = d3d7_test::readRenderTarget(gfx.device, &width, &height);
        if (const char* images = std::getenv("KORVO_TEST_IMAGES")) {
            std::vector<uint8_t> rgb;
            for (const Rgb& p : pixels) rgb.insert(rgb.end(), {uint8_t(p.r), uint8_t(p.g), uint8_t(p.b)});
            stbi_write_png((std::string(images) + "/" + name + ".png").c_str(), width, height, 3, rgb.data(), width * 3);
        }
        return std::vector<Rgb>(pixels.begin() + (height / 2) * width, pixels.begin() + (height / 2 + 1) * width);
    }

    static std::string text(const std::vector<Rgb>& row) {
        std::string out;
        for (const Rgb& p : row) out += p.r > 128 ? 'R' : p.b > 128 ? 'B' : p.g > 128 ? 'G' : '.';
        return out;
    }

    lightwave_test::InFolder folder;
};

TEST_F(SceneDrawing, AWrappingTextureDrawnAfterSpritesLooksAsItDoesWithoutThem) {
    // Red and blue halves twice across the square: it shows four bands only while the texture
    // coordinates wrap.
    halves("stripes.bmp", 0xFF0000, 0x0000FF);
    lwo::Object picture = texturedSquare("Stripes", 1, 2.0f);
    picture.addClip("stripes.bmp");
    // Sprites in the left edge, clear of the square.
    lwo::Object dots;
    for (int i = 0; i < 4; ++i) dots.addPoint(-1.6f, -0.4f + 0.2f * float(i), 0.0f);
    dots.setSurface(dots.addTriangle(0, 1, 2), "shadebob");
    dots.setSurface(dots.addTriangle(1, 2, 3), "shadebob");
    dots.addSurface("shadebob").blocks.push_back(lwo::TextureBlock{});
    dots.surface(0).blocks[0].image = 1;
    dots.addClip(folder.image(0x00FF00, "dot"));

    Scene alone;
    add(alone, "stripes.lwo", picture);
    std::string before = text(drawRow(alone, "stripes-alone"));

    Scene afterSprites;
    add(afterSprites, "dots.lwo", dots);
    add(afterSprites, "stripes.lwo", picture);
    std::vector<Rgb> row = drawRow(afterSprites, "stripes-after-sprites");
    std::string after = text(row);

    // The square alone: four bands, red first.
    std::string bands;
    for (char c : before)
        if (c != '.' && (bands.empty() || bands.back() != c)) bands += c;
    EXPECT_EQ(bands, "RBRB") << before;
    // After the sprites: the same, pixel for pixel, wherever the sprites are not.
    EXPECT_EQ(after.substr(8), before.substr(8));
    EXPECT_NE(after.substr(0, 8).find('G'), std::string::npos) << "the sprites are drawn: " << after;
}

TEST_F(SceneDrawing, AReflectionOnTheSecondStageDoesNotShowOnTheNextSurface) {
    // A textured, reflecting square (white picture, blue reflection) out of view, then a
    // half-transparent red one: stage 1 blends by the diffuse alpha, which for the red square
    // is its transparency, so a stage left on would mix the blue reflection into it.
    lwo::Object reflecting = texturedSquare("Chrome", 1, 1.0f);
    reflecting.addClip(folder.image(0xFFFFFF, "white"));
    reflecting.addClip(folder.image(0x0000FF, "sky"));
    reflecting.surface(0).reflection = 1.0f;
    reflecting.surface(0).reflectionImage = 2;
    lwo::Object red = texturedSquare("Paint", 1, 1.0f);
    red.addClip(folder.image(0xFF0000, "red"));
    red.surface(0).transparency = 0.5f;

    Scene alone;
    add(alone, "red.lwo", red);
    std::vector<Rgb> plain = drawRow(alone, "red-alone");
    ASSERT_GT(plain[32].r, 64) << "the red square is in view";
    EXPECT_EQ(plain[32].b, 0);

    Scene afterReflection;
    add(afterReflection, "chrome.lwo", reflecting)->position.x = -5.0f;
    add(afterReflection, "red.lwo", red);
    std::vector<Rgb> after = drawRow(afterReflection, "red-after-reflection");
    ASSERT_EQ(after.size(), plain.size());
    size_t x = 0;
    while (x < after.size() && d3d7_test::near(after[x], plain[x], 0)) ++x;
    EXPECT_EQ(x, after.size()) << "differs from x " << x << ": " << d3d7_test::near(after[x], plain[x], 0).message();
}

TEST_F(SceneDrawing, ASpotlightWithATargetShinesOnIt) {
    // A white square in front of the camera, no ambient light, and a spotlight off to the side
    // looking ahead: its cone takes in the square only when it is aimed at it.
    folder.write("square.lwo", square("White", -0.5f, -0.5f));
    auto centre = [this](bool aimed) {
        lws::Scene s;
        s.ambientColor = {{0.0f, 0.0f, 0.0f}};
        s.addObject("square.lwo");
        lws::Light& spot = s.addLight("Spot", lws::LightType::Spot);
        spot.motion.setPosition(2, 0, -3);
        spot.coneAngle = 0.5f;   // lit per vertex: wide enough for the square's corners
        spot.edgeAngle = 0.1f;
        spot.targetFirstObject = aimed;
        lws::writeFile("spot.lws", s.text());
        Scene scene;
        EXPECT_TRUE(readScene("spot.lws", &scene));
        std::vector<Rgb> row = drawRow(scene, aimed ? "spot-aimed" : "spot-ahead");
        scene.disableAllLights();
        return row[row.size() / 2];
    };
    EXPECT_GT(centre(true).r, 100);
    EXPECT_EQ(centre(false).r, 0);
}

}  // namespace
