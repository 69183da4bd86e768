// The Direct3D stand-in drawing at n times the context's size (DEMO_RENDER_SCALE) and
// multisampled (DEMO_MSAA): each kind of drawing with pixel sizes or positions, drawn at scale 1
// and at scale 3; the scale-3 frame, captured as presented and reduced by 3 (each pixel the
// mean of its 3 x 3), must match the scale-1 frame, and whatever the program reads back is in
// its own pixels.
#include "d3d7_fixture.h"

#include <functional>

namespace d3d7_test {
namespace {

using testing_support::Image;
using testing_support::light;
using testing_support::meanDifference;
using testing_support::reduce;
using testing_support::readPng;

constexpr int targetWidth = 64, targetHeight = 48;

// The back buffer as the program reads it through Lock, as an image.
Image asImage(const std::vector<Color>& pixels, int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    for (const Color& c : pixels) image.rgb.insert(image.rgb.end(), {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b)});
    return image;
}

D3DTLVERTEX screenVertex(float x, float y, D3DCOLOR color, float u = 0, float v = 0) {
    return {{x}, {y}, {0.5f}, {1}, {color}, {0}, {u}, {v}};
}

class D3DScaled : public D3DTest {
protected:
    struct Frame {
        Image presented;   // the frame as presented, at the scale's size
        Image locked;      // the back buffer read through Lock before presenting
        std::vector<float> values;
    };

    // A 64 x 48 windowed context at the given scale and samples: `draw` draws (and notes
    // values) between BeginScene and EndScene, then the frame is read and presented.
    Frame render(int scale, int samples, const std::function<void(std::vector<float>&)>& draw) {
        close();
        host::Settings s;
        s.video = host::VideoBackend::Headless;
        s.fixedClock = true;
        s.fixedFramesPerSecond = 30;
        s.renderScale = scale;
        s.multisamples = samples;
        s.capturePath = files.file("frames" + std::to_string(++runs));
        host::overrideSettings(s);
        win32::testing::reset();
        d3d7::testing::reset();
        D3DXInitialize();
        open(targetWidth, targetHeight);
        Frame frame;
        clear(0xFF000000);
        device->BeginScene();
        draw(frame.values);
        device->EndScene();
        frame.locked = asImage(readBack(), targetWidth, targetHeight);
        context->UpdateFrame(0);
        frame.presented = readPng(s.capturePath + "/frame-000000.png");
        EXPECT_EQ(frame.presented.width, targetWidth * scale);
        EXPECT_EQ(frame.presented.height, targetHeight * scale);
        close();
        return frame;
    }

    // Draws at scale 1 and 3; the reduced scale-3 frame may differ from the scale-1 frame by
    // `meanTolerance` on average and have its light within `lightTolerance` (a fraction).
    void expectSamePicture(const std::function<void(std::vector<float>&)>& draw, double meanTolerance,
                           double lightTolerance) {
        Image one = render(1, 0, draw).presented;
        Image three = reduce(render(3, 0, draw).presented, 3);
        EXPECT_LE(meanDifference(one, three), meanTolerance);
        EXPECT_NEAR(light(three) / light(one), 1.0, lightTolerance);
    }

    int runs = 0;
};

TEST_F(D3DScaled, ViewportsAndClearRectanglesAreInTheProgramsPixels) {
    // Whole-pixel rectangles: a viewport cleared, two rectangles cleared (one reaching out of
    // the viewport, which clips it), a pre-transformed quad on whole pixels. Exactly the same.
    expectSamePicture([this](std::vector<float>&) {
        D3DVIEWPORT7 vp{8, 4, 40, 30, 0.0f, 1.0f};
        device->SetViewport(&vp);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF203040, 1.0f, 0);
        D3DRECT rects[2] = {{{10}, {6}, {20}, {12}}, {{30}, {20}, {60}, {45}}};
        device->Clear(2, rects, D3DCLEAR_TARGET, 0xFFFF8000, 1.0f, 0);
        D3DTLVERTEX quad[4] = {screenVertex(11.5f, 15.5f, 0xFF00FF00), screenVertex(27.5f, 15.5f, 0xFF00FF00),
                               screenVertex(27.5f, 30.5f, 0xFF00FF00), screenVertex(11.5f, 30.5f, 0xFF00FF00)};
        device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, quad, 4, 0);
    }, 0.0, 0.0);
}

TEST_F(D3DScaled, TransformedDrawingFillsTheSameViewport) {
    // An unlit triangle through the projection into a viewport: only its slanted edges
    // differ (partly covered pixels at scale 3), within 2 on average and 5 per cent of light.
    expectSamePicture([this](std::vector<float>& values) {
        D3DVIEWPORT7 vp{8, 4, 40, 30, 0.0f, 1.0f};
        device->SetViewport(&vp);
        D3DMATRIX projection = perspective(1.2f, 0.75f, 1.0f, 100.0f), world = translation(0, 0, 3);
        device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
        device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
        device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
        PositionColorUV triangle[3] = {{-1.5f, -1.2f, 0, 0xFFFFFFFF, 0, 0},
                                       {1.6f, -0.4f, 0, 0xFFFF0000, 0, 0},
                                       {-0.2f, 1.3f, 0, 0xFF0000FF, 0, 0}};
        EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, triangle, 3, 0),
                  D3D_OK);
        D3DVIEWPORT7 got{};
        device->GetViewport(&got);
        values = {float(got.dwX), float(got.dwY), float(got.dwWidth), float(got.dwHeight)};
    }, 2.0, 0.05);
    EXPECT_EQ(render(3, 0, [this](std::vector<float>& values) {
                  D3DVIEWPORT7 initial{};
                  device->GetViewport(&initial);
                  values = {float(initial.dwX), float(initial.dwY), float(initial.dwWidth), float(initial.dwHeight)};
              }).values,
              (std::vector<float>{0, 0, 64, 48}));
}

TEST_F(D3DScaled, PointsAndLinesAreOneOfTheProgramsPixelsWide) {
    // Points and lines cover a pixel of the program's at every scale; drawn one pixel of the
    // target wide at scale 3, lines would have a third of the light and points a ninth
    // (allowed: 15 per cent).
    expectSamePicture([this](std::vector<float>&) {
        D3DTLVERTEX lines[6] = {screenVertex(2, 2, 0xFFFFFFFF),  screenVertex(60, 2, 0xFFFFFFFF),
                                screenVertex(4, 8, 0xFFFFFFFF),  screenVertex(50, 40, 0xFFFFFFFF),
                                screenVertex(58, 6, 0xFFFFFFFF), screenVertex(58, 44, 0xFFFFFFFF)};
        device->DrawPrimitive(D3DPT_LINELIST, D3DFVF_TLVERTEX, lines, 6, 0);
    }, 3.0, 0.15);
    expectSamePicture([this](std::vector<float>&) {
        D3DTLVERTEX points[4] = {screenVertex(10, 30, 0xFFFFFF00), screenVertex(12, 30, 0xFFFFFF00),
                                 screenVertex(20, 40, 0xFF00FFFF), screenVertex(40, 12, 0xFFFF00FF)};
        device->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_TLVERTEX, points, 4, 0);
    }, 1.0, 0.15);
}

TEST_F(D3DScaled, SpritesGrowWithTheScale) {
    // A 4 x 4 texture as a sprite 3 times its size: the same square of the program's pixels.
    // Inside, the texels are filtered at the scale's resolution: within 4 on average.
    expectSamePicture([this](std::vector<float>&) {
        std::vector<uint32_t> checker(16);
        for (int i = 0; i < 16; ++i) checker[i] = ((i / 4 + i % 4) % 2) ? 0xFFFFFFFF : 0xFF2040C0;
        LPDIRECTDRAWSURFACE7 texture = makeTexture(4, 4, checker);
        D3DXPrepareDeviceForSprite(device, FALSE);
        D3DXVECTOR3 at(30, 20, 0.5f);
        D3DXDrawSpriteSimple(texture, device, &at, 1.0f, 3.0f);
        D3DXVECTOR3 turned(50, 34, 0.5f);
        D3DXDrawSpriteSimple(texture, device, &turned, 1.0f, 2.0f, 0.5f);
    }, 4.0, 0.05);
}

TEST_F(D3DScaled, DebugTextIsDrawnWithAFontOfTheScaledSize) {
    auto text = [this](std::vector<float>&) {
        context->DrawDebugText(0.1f, 0.25f, 0x00FFFFFF, const_cast<char*>("Ab3"));
    };
    Image one = render(1, 0, text).presented;
    Image big = render(3, 0, text).presented;
    Image three = reduce(big, 3);
    // Hinting differs between the font sizes: the glyphs' light within 25 per cent, placed
    // where they were (the mean difference stays low).
    EXPECT_NEAR(light(three) / light(one), 1.0, 0.25);
    EXPECT_LE(meanDifference(one, three), 8.0);
    // A magnified small font would be made of 3 x 3 blocks of one colour; this one is not.
    int unevenBlocks = 0;
    for (int y = 0; y < targetHeight; ++y)
        for (int x = 0; x < targetWidth; ++x) {
            const uint8_t first = big.pixel(x * 3, y * 3)[1];
            bool even = true;
            for (int dy = 0; dy < 3; ++dy)
                for (int dx = 0; dx < 3; ++dx) even = even && big.pixel(x * 3 + dx, y * 3 + dy)[1] == first;
            unevenBlocks += !even;
        }
    EXPECT_GT(unevenBlocks, 10);
}

TEST_F(D3DScaled, ProcessVerticesAnswersInTheProgramsPixels) {
    auto process = [this](std::vector<float>& values) {
        D3DMATRIX projection = perspective(float(M_PI / 2), 1.0f, 1.0f, 11.0f), world = translation(0, 0, 1);
        device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
        device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
        D3DVIEWPORT7 vp{8, 4, 32, 32, 0.0f, 1.0f};
        device->SetViewport(&vp);
        const PositionNormalUV v[2] = {{1, 0.5f, 3, 0, 0, -1, 0, 0}, {-2, -2, 1, 0, 0, -1, 0, 0}};
        LPDIRECT3DVERTEXBUFFER7 source = makeBuffer(D3DFVF_VERTEX, v, 2);
        D3DVERTEXBUFFERDESC d{sizeof d, D3DVBCAPS_SYSTEMMEMORY, D3DFVF_TLVERTEX, 2};
        LPDIRECT3DVERTEXBUFFER7 out = nullptr;
        ASSERT_EQ(direct3D->CreateVertexBuffer(&d, &out, 0), D3D_OK);
        toRelease.push_back(out);
        ASSERT_EQ(out->ProcessVertices(D3DVOP_TRANSFORM, 0, 2, source, 0, device, 0), D3D_OK);
        D3DTLVERTEX* t = nullptr;
        out->Lock(DDLOCK_READONLY, reinterpret_cast<void**>(&t), nullptr);
        for (int i = 0; i < 2; ++i) values.insert(values.end(), {t[i].sx, t[i].sy, t[i].sz, t[i].rhw});
        out->Unlock();
    };
    // (1, 0.5, 4) in a 32 x 32 viewport at (8, 4): x = 8 + 1.25 x 16, y = 4 + 0.875 x 16.
    std::vector<float> expected = render(1, 0, process).values;
    ASSERT_EQ(expected.size(), 8u);
    EXPECT_FLOAT_EQ(expected[0], 28.0f);
    EXPECT_FLOAT_EQ(expected[1], 18.0f);
    EXPECT_EQ(render(3, 0, process).values, expected);
}

TEST_F(D3DScaled, TheBackBufferIsLockedInTheProgramsPixels) {
    // Lock gives the picture reduced to the program's pixels: the presented frame reduced.
    Frame frame = render(3, 0, [this](std::vector<float>&) {
        D3DTLVERTEX triangle[3] = {screenVertex(3, 2, 0xFFFF8040), screenVertex(60, 20, 0xFF40FF80),
                                   screenVertex(20, 45, 0xFF8040FF)};
        device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, triangle, 3, 0);
    });
    EXPECT_EQ(meanDifference(frame.locked, reduce(frame.presented, 3)), 0.0);
}

TEST_F(D3DScaled, MultisamplingSmoothsEdges) {
    auto triangle = [this](std::vector<float>&) {
        D3DTLVERTEX t[3] = {screenVertex(3, 2, 0xFFFFFFFF), screenVertex(60, 20, 0xFFFFFFFF),
                            screenVertex(20, 45, 0xFFFFFFFF)};
        device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, t, 3, 0);
    };
    auto partlyCovered = [](const Image& image) {
        int count = 0;
        for (uint8_t v : image.rgb) count += v > 0 && v < 255;
        return count;
    };
    // Only the edges differ: over fifty partly covered pixels along them (within 6 of 255
    // on average), the triangle's light kept within 3 per cent.
    Frame plain = render(1, 0, triangle), smoothed = render(1, 4, triangle), both = render(3, 4, triangle);
    EXPECT_EQ(partlyCovered(plain.presented), 0);
    EXPECT_GT(partlyCovered(smoothed.presented), 3 * 50);
    EXPECT_EQ(meanDifference(smoothed.locked, smoothed.presented), 0.0) << "Lock reads the resolved picture";
    for (const Image& image : {smoothed.presented, reduce(both.presented, 3)}) {
        EXPECT_LE(meanDifference(plain.presented, image), 6.0);
        EXPECT_NEAR(light(image) / light(plain.presented), 1.0, 0.03);
    }
}

}  // namespace
}  // namespace d3d7_test
