// Built objects drawn on a real (headless) device: a morph between two objects moves what is
// drawn, and black texels of an object's texture let the background through.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "d3d7_fixture.h"
#include "gfx/gfxcore.h"
#include "gfx/indexbuffer.h"
#include "lightwave/objectbuilder.h"
#include "lightwave/surface.h"
#include "lightwave_test_support.h"

namespace {

namespace lwo = content::lwo;
using lightwave_test::square;

using Rgb = d3d7_test::Color;

class ObjectDrawing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        gfx.createWindow(GetModuleHandleA(nullptr), "test", false, 64, 48);
        gfx.initDevice(16);
    }

    // Clears to dark blue and draws every surface of the object (as the scenes do: state block,
    // then the indexed triangles) in front of the camera at the origin, centred on (0.5, 0.5).
    void draw(SceneObject& object) {
        D3DMATRIX world, view;
        setIdentity(world);
        world._41 = -0.5f;
        world._42 = -0.5f;
        world._43 = 3.0f;
        setIdentity(view);
        gfx.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000040, 1.0f, 0);
        gfx.device->BeginScene();
        gfx.device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
        gfx.device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
        for (ListNode* node = object.surfaces.first(); node; node = node->getNext()) {
            Surface& s = *static_cast<Surface*>(node->getData());
            gfx.device->ApplyStateBlock(s.stateBlock);
            EXPECT_EQ(gfx.device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, s.vertexBuffer, 0, DWORD(s.vertexCount),
                                                         s.indexBuffer->getIndices(), DWORD(s.indexBuffer->getCount()), 0),
                      D3D_OK);
        }
        gfx.device->EndScene();
    }

    // The back buffer, top row first; sets width and height.
    std::vector<Rgb> readBack() { return d3d7_test::readRenderTarget(gfx.device, &width, &height); }

    // The first and last column of the middle row whose green is full, or (-1, -1).
    std::pair<int, int> litSpan() {
        std::vector<Rgb> pixels = readBack();
        int first = -1, last = -1;
        for (int x = 0; x < width; ++x)
            if (pixels[size_t(height / 2) * width + x].g == 255) {
                if (first < 0) first = x;
                last = x;
            }
        return {first, last};
    }

    // Writes the back buffer to $KORVO_TEST_IMAGES/<name>.png when that variable is set.
    void save(const std::string& name) {
        const char* folder = std::getenv("KORVO_TEST_IMAGES");
        if (!folder) return;
        std::vector<uint8_t> rgb;
        for (const Rgb& p : readBack()) rgb.insert(rgb.end(), {uint8_t(p.r), uint8_t(p.g), uint8_t(p.b)});
        stbi_write_png((std::string(folder) + "/" + name + ".png").c_str(), width, height, 3, rgb.data(), width * 3);
    }

    lightwave_test::InFolder folder;
    int width = 0, height = 0;   // of the render target (the window's inside)
};

TEST_F(ObjectDrawing, AMorphedObjectIsDrawnBetweenItsSourceAndItsTarget) {
    lwo::Object from = square("Skin", -1.0f), to = square("Skin", 1.0f);
    from.surface(0).luminosity = to.surface(0).luminosity = 1.0f;   // white whatever the lights
    folder.write("from.lwo", from);
    folder.write("to.lwo", to);
    SceneObject source("from.lwo"), target("to.lwo");
    Surface& morphing = *static_cast<Surface*>(source.surfaces.first()->getData());
    Surface& towards = *static_cast<Surface*>(target.surfaces.first()->getData());
    morphing.makeMorphBackup();

    draw(source);
    auto [left, right] = litSpan();
    ASSERT_GE(left, 0) << "the source is in view";
    int size = right - left;
    EXPECT_LT(right, width / 2) << "the source lies left of the centre";
    morphing.morph(towards, 0.5f);
    draw(source);
    save("morph-half");
    auto [halfLeft, halfRight] = litSpan();
    EXPECT_NEAR(halfLeft + halfRight, width, 2) << "half-way: on the centre";
    EXPECT_EQ(halfRight - halfLeft, size);
    morphing.morph(towards, 1.0f);
    draw(source);
    auto [fullLeft, fullRight] = litSpan();
    EXPECT_NEAR(fullLeft + fullRight, width - (left + right) + width, 2) << "all the way: mirrored, where the target is";
}

TEST_F(ObjectDrawing, BlackTexelsOfAnObjectsTextureLetTheBackgroundThrough) {
    // Left half black, right half white.
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) rgb.insert(rgb.end(), 3, uint8_t(x < 2 ? 0 : 255));
    stbi_write_bmp("halves.bmp", 4, 4, 3, rgb.data());
    lwo::Object o = square("Sign");
    o.surface(0).luminosity = 1.0f;
    o.addClip("halves.bmp");
    lwo::UVMap& map = o.addUVMap("Texture");
    map.entries = {{0, {0, 0}}, {1, {1, 0}}, {2, {1, 1}}, {3, {0, 1}}};
    lwo::TextureBlock block;
    block.image = 1;
    block.uvMap = "Texture";
    o.surface(0).blocks.push_back(block);
    folder.write("sign.lwo", o);
    SceneObject sign("sign.lwo");
    draw(sign);
    save("keyed-sign");
    // The left half of the square shows the background, its right half white.
    std::vector<Rgb> pixels = readBack();
    const Rgb* row = &pixels[size_t(height / 2) * width];
    int background = 0, white = 0;
    for (int x = 0; x < width; ++x) {
        if (row[x].r == 0 && row[x].g == 0 && row[x].b == 0x40) ++background;
        if (row[x].r == 255 && row[x].g == 255 && row[x].b == 255) ++white;
        EXPECT_TRUE(row[x].r == row[x].g && (row[x].r == 0 || row[x].r == 255)) << "no fringe at x " << x;
    }
    EXPECT_EQ(background + white, width);
    EXPECT_GT(white, width / 8);
    EXPECT_EQ(row[width / 2 - 2].b, 0x40) << "left of the centre: keyed";
    EXPECT_EQ(row[width / 2 + 2].g, 255);
}

}  // namespace
