#include "d3d7_fixture.h"

#include <stb/stb_image_write.h>

#include <cstdlib>
#include <cstring>

namespace d3d7_test {

D3DMATRIX identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

D3DMATRIX translation(float x, float y, float z) {
    D3DMATRIX m = identity();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

D3DMATRIX perspective(float fieldOfView, float aspect, float nearPlane, float farPlane) {
    D3DMATRIX m{};
    float c = std::cos(fieldOfView / 2) / std::sin(fieldOfView / 2);
    float q = farPlane / (farPlane - nearPlane);
    m._11 = aspect * c;
    m._22 = c;
    m._33 = q;
    m._34 = 1.0f;
    m._43 = -q * nearPlane;
    return m;
}

void configureHost(bool refuseDisplayModes, const std::string& d3dTracePath) {
    host::Settings s;
    s.video = host::VideoBackend::Headless;
    s.fixedClock = true;
    s.fixedFramesPerSecond = 30;
    s.refuseDisplayModes = refuseDisplayModes;
    s.d3dTracePath = d3dTracePath;
    host::overrideSettings(s);
    win32::testing::reset();
    d3d7::testing::reset();
}

HWND makeWindow(int width, int height, DWORD style) {
    WNDCLASSA c{};
    c.lpfnWndProc = DefWindowProcA;
    c.lpszClassName = "Render Window";
    RegisterClassA(&c);
    return CreateWindowExA(0, "Render Window", "d3d7 test", style, 0, 0, width, height, nullptr, nullptr, nullptr,
                           nullptr);
}

void D3DTest::SetUp() {
    configureHost();
    D3DXInitialize();
}

void D3DTest::TearDown() {
    close();
    EXPECT_EQ(d3d7::testing::liveObjects(), 0) << "objects left alive";
    D3DXUninitialize();
    win32::testing::reset();
    d3d7::testing::reset();
}

void D3DTest::open(int w, int h, d3d7::testing::Rendering rendering) {
    d3d7::testing::setRendering(rendering);
    width = w;
    height = h;
    window = makeWindow(w, h);
    ASSERT_NE(window, nullptr);
    HRESULT hr = D3DXCreateContextEx(D3DX_DEFAULT, 0, window, nullptr, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                                     D3DX_DEFAULT, 1, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, &context);
    ASSERT_EQ(hr, S_OK);
    device = context->GetD3DDevice();
    direct3D = context->GetD3D();
}

void D3DTest::close() {
    for (IUnknown* object : toRelease) object->Release();
    toRelease.clear();
    if (direct3D) direct3D->Release();
    if (device) device->Release();
    if (context) {
        EXPECT_EQ(context->Release(), 0u);
    }
    direct3D = nullptr;
    device = nullptr;
    context = nullptr;
}

LPDIRECT3DVERTEXBUFFER7 D3DTest::makeBuffer(DWORD fvf, const void* vertices, DWORD count, DWORD caps) {
    D3DVERTEXBUFFERDESC d{sizeof d, caps, fvf, count};
    LPDIRECT3DVERTEXBUFFER7 buffer = nullptr;
    EXPECT_EQ(direct3D->CreateVertexBuffer(&d, &buffer, 0), D3D_OK);
    if (!buffer) return nullptr;
    void* data = nullptr;
    DWORD size = 0;
    EXPECT_EQ(buffer->Lock(DDLOCK_WRITEONLY | DDLOCK_DISCARDCONTENTS, &data, &size), D3D_OK);
    std::memcpy(data, vertices, size);
    buffer->Unlock();
    toRelease.push_back(buffer);
    return buffer;
}

LPDIRECTDRAWSURFACE7 D3DTest::makeTexture(int w, int h, const std::vector<uint32_t>& argb, D3DX_SURFACEFORMAT format) {
    std::vector<uint8_t> rgba;
    for (uint32_t p : argb) rgba.insert(rgba.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), uint8_t(p >> 24)});
    static int count = 0;
    std::string path = files.file("texture" + std::to_string(++count) + ".png");
    stbi_write_png(path.c_str(), w, h, 4, rgba.data(), w * 4);
    DWORD width = D3DX_DEFAULT, height = D3DX_DEFAULT, levels = 1;
    LPDIRECTDRAWSURFACE7 texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFile(device, nullptr, &width, &height, &format, nullptr, &texture, &levels,
                                        const_cast<char*>(path.c_str()), D3DX_FT_POINT),
              D3D_OK);
    if (texture) toRelease.push_back(texture);
    return texture;
}

void D3DTest::drawScreenQuad(D3DCOLOR diffuse, D3DCOLOR specular, float z) {
    float w = float(width) - 0.5f, h = float(height) - 0.5f;
    D3DTLVERTEX quad[4] = {{{-0.5f}, {-0.5f}, {z}, {1}, {diffuse}, {specular}, {0}, {0}},
                           {{w}, {-0.5f}, {z}, {1}, {diffuse}, {specular}, {1}, {0}},
                           {{w}, {h}, {z}, {1}, {diffuse}, {specular}, {1}, {1}},
                           {{-0.5f}, {h}, {z}, {1}, {diffuse}, {specular}, {0}, {1}}};
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, quad, 4, 0), D3D_OK);
}

void D3DTest::clear(D3DCOLOR color) {
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, color, 1.0f, 0), D3D_OK);
}

std::vector<Color> readRenderTarget(LPDIRECT3DDEVICE7 device, int* width, int* height) {
    std::vector<Color> pixels;
    LPDIRECTDRAWSURFACE7 target = nullptr;
    if (device->GetRenderTarget(&target) != D3D_OK) return pixels;
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    if (target->Lock(nullptr, &d, DDLOCK_READONLY | DDLOCK_WAIT, nullptr) == DD_OK) {
        const DDPIXELFORMAT& f = d.ddpfPixelFormat;
        auto channel = [](uint32_t p, DWORD mask) {
            int shift = __builtin_ctz(mask);
            uint32_t maximum = mask >> shift;
            return int((((p & mask) >> shift) * 255 + maximum / 2) / maximum);
        };
        int bytes = int(f.dwRGBBitCount / 8);
        for (DWORD y = 0; y < d.dwHeight; ++y)
            for (DWORD x = 0; x < d.dwWidth; ++x) {
                const uint8_t* at = static_cast<const uint8_t*>(d.lpSurface) + y * d.lPitch + x * bytes;
                uint32_t p = 0;
                for (int i = 0; i < bytes; ++i) p |= uint32_t(at[i]) << (8 * i);
                pixels.push_back({channel(p, f.dwRBitMask), channel(p, f.dwGBitMask), channel(p, f.dwBBitMask)});
            }
        if (width) *width = int(d.dwWidth);
        if (height) *height = int(d.dwHeight);
        target->Unlock(nullptr);
    }
    target->Release();
    return pixels;
}

std::vector<Color> D3DTest::readBack() { return readRenderTarget(device); }

Color D3DTest::pixel(int x, int y) {
    std::vector<Color> all = readBack();
    if (all.empty()) return {-1, -1, -1};
    return all[size_t(y) * width + x];
}

void D3DTest::saveImage(const std::string& name) {
    const char* folder = std::getenv("D3D7_TEST_IMAGES");
    if (!folder) return;
    std::vector<Color> all = readBack();
    std::vector<uint8_t> rgb;
    for (const Color& c : all) {
        rgb.push_back(uint8_t(c.r));
        rgb.push_back(uint8_t(c.g));
        rgb.push_back(uint8_t(c.b));
    }
    stbi_write_png((std::string(folder) + "/" + name + ".png").c_str(), width, height, 3, rgb.data(), width * 3);
}

}  // namespace d3d7_test
