// Drawing: clears, transforms, lighting against the Direct3D 7 equations, texture stages,
// colour keys, culling, shading, blending, pre-transformed vertices, debug text and sprites,
// read back from the render target.
#include <algorithm>

#include "d3d7_fixture.h"

namespace d3d7_test {
namespace {

class Rendering : public D3DTest {};

TEST_F(Rendering, ClearFillsTheViewportWithTheColour) {
    open(32, 16);
    clear(0xFF204080);
    EXPECT_TRUE(near(pixel(0, 0), {0x20, 0x40, 0x80}, 0));
    EXPECT_TRUE(near(pixel(31, 15), {0x20, 0x40, 0x80}, 0));
}

TEST_F(Rendering, LitSphereSmoke) {
    open(64, 64);
    std::vector<PositionNormalUV> v;
    const int rings = 24, segments = 32;
    auto point = [&](int r, int s) {
        float theta = float(M_PI) * r / rings, phi = 2 * float(M_PI) * s / segments;
        float x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
        return PositionNormalUV{x, y, z, x, y, z, 0, 0};
    };
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            PositionNormalUV a = point(r, s), b = point(r + 1, s), c = point(r + 1, s + 1), d = point(r, s + 1);
            v.insert(v.end(), {a, b, c, a, c, d});
        }
    LPDIRECT3DVERTEXBUFFER7 vb = makeBuffer(D3DFVF_VERTEX, v.data(), DWORD(v.size()));
    D3DMATRIX world = translation(0, 0, 3), projection = perspective(1.0f, 1.0f, 0.5f, 10.0f);
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    D3DMATERIAL7 m{};
    m.diffuse = {{1}, {1}, {1}, {1}};
    device->SetMaterial(&m);
    D3DLIGHT7 l{};
    l.dltType = D3DLIGHT_DIRECTIONAL;
    l.dcvDiffuse = {{1}, {0.5f}, {0.25f}, {1}};
    l.dvDirection = {{0}, {0}, {1}};
    device->SetLight(0, &l);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->BeginScene();
    clear();
    EXPECT_EQ(device->DrawPrimitiveVB(D3DPT_TRIANGLELIST, vb, 0, DWORD(v.size()), 0), D3D_OK);
    device->EndScene();
    saveImage("sphere");
    EXPECT_TRUE(near(pixel(32, 32), {255, 128, 64}, 3));
}

}  // namespace
}  // namespace d3d7_test
