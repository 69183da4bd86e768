// What the conformance tests of the Direct3D stand-in share: a headless window with a D3DX
// context on it, reading the back buffer through IDirectDrawSurface7::Lock, small vertex and
// matrix helpers, and writing what a test drew as a PNG (D3D7_TEST_IMAGES=<folder>) to look at.
#pragma once

#include <gtest/gtest.h>
#include <d3dx.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "d3d7/calllog.h"
#include "support.h"
#include "d3d7/testing.h"
#include "host/host.h"
#include "win32/testing.h"

namespace d3d7_test {

struct Color {
    int r = 0, g = 0, b = 0;
};

inline ::testing::AssertionResult near(Color got, Color expected, int tolerance) {
    if (std::abs(got.r - expected.r) <= tolerance && std::abs(got.g - expected.g) <= tolerance &&
        std::abs(got.b - expected.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.r << ", " << got.g << ", " << got.b << "), expected ("
                                         << expected.r << ", " << expected.g << ", " << expected.b << ") within "
                                         << tolerance;
}

struct PositionNormalUV {
    float x, y, z, nx, ny, nz, u, v;
};
struct PositionColorUV {   // D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1
    float x, y, z;
    D3DCOLOR diffuse;
    float u, v;
};

// The device's render target (in its format, unpacked to 8 bits a channel), top row first, and
// its size; empty when it cannot be read.
std::vector<Color> readRenderTarget(LPDIRECT3DDEVICE7 device, int* width = nullptr, int* height = nullptr);

D3DMATRIX identity();
D3DMATRIX translation(float x, float y, float z);
// Left-handed perspective projection (as the programs build it): depth 0 at `near`, 1 at `far`.
D3DMATRIX perspective(float fieldOfView, float aspect, float nearPlane, float farPlane);

void configureHost(bool refuseDisplayModes = false, const std::string& d3dTracePath = "");
HWND makeWindow(int width, int height, DWORD style = WS_POPUP);

class D3DTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A windowed context on a width x height window (32-bit colour, depth buffer).
    void open(int width = 64, int height = 64, d3d7::testing::Rendering rendering = d3d7::testing::Rendering::OpenGL);
    void close();

    LPDIRECT3DVERTEXBUFFER7 makeBuffer(DWORD fvf, const void* vertices, DWORD count, DWORD caps = 0);
    // A texture of one level loaded through D3DX from a PNG of `argb` pixels (0xAARRGGBB, top
    // row first), point-sampled; released at the end of the test.
    LPDIRECTDRAWSURFACE7 makeTexture(int w, int h, const std::vector<uint32_t>& argb,
                                     D3DX_SURFACEFORMAT format = D3DX_SF_A8R8G8B8);
    // Draws a pre-transformed quad over the whole target with these vertex colours.
    void drawScreenQuad(D3DCOLOR diffuse, D3DCOLOR specular = 0, float z = 0.5f);
    // The back buffer (in its format, unpacked to 8 bits a channel), top row first.
    std::vector<Color> readBack();
    Color pixel(int x, int y);
    // Writes the back buffer to $D3D7_TEST_IMAGES/<name>.png when that variable is set.
    void saveImage(const std::string& name);
    void clear(D3DCOLOR color = 0xFF000000);

    HWND window = nullptr;
    LPD3DXCONTEXT context = nullptr;
    LPDIRECT3DDEVICE7 device = nullptr;
    LPDIRECT3D7 direct3D = nullptr;
    int width = 0, height = 0;
    std::vector<IUnknown*> toRelease;
    testing_support::TempDir files;
};

}  // namespace d3d7_test
