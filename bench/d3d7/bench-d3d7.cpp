// bench-d3d7: what a frame of the scene player's kind costs on the Direct3D stand-in. 200
// objects of 1000 lit, textured triangles each (indexed triangle lists from optimized vertex
// buffers, one state block per object applied before its draw, a quarter of them
// transparent), three lights, at 640 x 480 in 16-bit colour, headless. Prints frames per
// second and what a frame costs in OpenGL program switches, state changes and uniform uploads.
//
//   bench-d3d7 [--frames N] [--objects N] [--windowed] [--image last-frame.png]
#include <d3dx.h>
#include <stb/stb_image_write.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "d3d7/statistics.h"
#include "d3d7/testing.h"
#include "host/host.h"

namespace {

struct Vertex {
    float x, y, z, nx, ny, nz, u, v;
};

// A sphere of 20 rings and 25 segments: 1000 triangles.
void makeSphere(std::vector<Vertex>& vertices, std::vector<WORD>& indices) {
    const int rings = 20, segments = 25;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            float theta = float(M_PI) * r / rings, phi = 2 * float(M_PI) * s / segments;
            float x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = std::sin(theta) * std::sin(phi);
            vertices.push_back({x, y, z, x, y, z, float(s) / segments, float(r) / rings});
        }
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            WORD a = WORD(r * (segments + 1) + s), b = WORD(a + segments + 1);
            indices.insert(indices.end(), {a, WORD(a + 1), b, WORD(a + 1), WORD(b + 1), b});
        }
}

D3DMATRIX matrix() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1;
    return m;
}

[[noreturn]] void fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "bench-d3d7: %s failed (0x%08X)\n", what, unsigned(hr));
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 200, objects = 200;
    bool windowed = false;
    std::string image;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--frames" && i + 1 < argc) frames = std::atoi(argv[++i]);
        else if (a == "--objects" && i + 1 < argc) objects = std::atoi(argv[++i]);
        else if (a == "--windowed") windowed = true;
        else if (a == "--image" && i + 1 < argc) image = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench-d3d7 [--frames N] [--objects N] [--windowed] [--image PNG]\n");
            return 2;
        }
    }
    host::Settings settings;
    settings.video = host::VideoBackend::Headless;
    host::overrideSettings(settings);

    WNDCLASSA c{};
    c.lpfnWndProc = DefWindowProcA;
    c.lpszClassName = "Render Window";
    RegisterClassA(&c);
    HWND window = CreateWindowExA(0, "Render Window", "bench-d3d7", windowed ? WS_POPUP : 8, 0, 0, 640, 480, nullptr,
                                  nullptr, nullptr, nullptr);
    D3DXInitialize();
    LPD3DXCONTEXT context = nullptr;
    HRESULT hr = D3DXCreateContextEx(D3DX_DEFAULT, windowed ? 0 : D3DX_CONTEXT_FULLSCREEN, window,
                                     windowed ? nullptr : window, windowed ? D3DX_DEFAULT : 16, D3DX_DEFAULT,
                                     D3DX_DEFAULT, D3DX_DEFAULT, 1, windowed ? D3DX_DEFAULT : 640,
                                     windowed ? D3DX_DEFAULT : 480, D3DX_DEFAULT, &context);
    if (FAILED(hr)) fail("D3DXCreateContextEx", hr);
    LPDIRECT3DDEVICE7 device = context->GetD3DDevice();
    LPDIRECT3D7 direct3D = context->GetD3D();

    // Eight 64 x 64 textures, loaded as the player loads its images (5-6-5, two levels).
    char folder[] = "/tmp/bench-d3d7-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    std::vector<LPDIRECTDRAWSURFACE7> textures;
    for (int t = 0; t < 8; ++t) {
        std::vector<uint8_t> pixels(64 * 64 * 3);
        for (int i = 0; i < 64 * 64; ++i) {
            int x = i % 64, y = i / 64;
            pixels[i * 3] = uint8_t(((x / 8 + y / 8) % 2) ? 40 * t : 255);
            pixels[i * 3 + 1] = uint8_t(x * 4);
            pixels[i * 3 + 2] = uint8_t(y * 4);
        }
        std::string path = std::string(folder) + "/t" + std::to_string(t) + ".bmp";
        stbi_write_bmp(path.c_str(), 64, 64, 3, pixels.data());
        DWORD w = D3DX_DEFAULT, h = D3DX_DEFAULT, levels = 2;
        D3DX_SURFACEFORMAT format = D3DX_SF_R5G6B5;
        LPDIRECTDRAWSURFACE7 texture = nullptr;
        hr = D3DXCreateTextureFromFile(device, nullptr, &w, &h, &format, nullptr, &texture, &levels,
                                       const_cast<char*>(path.c_str()), D3DX_FT_LINEAR);
        if (FAILED(hr)) fail("D3DXCreateTextureFromFile", hr);
        std::remove(path.c_str());
        textures.push_back(texture);
    }
    rmdir(folder);

    std::vector<Vertex> sphere;
    std::vector<WORD> indices;
    makeSphere(sphere, indices);

    struct Object {
        LPDIRECT3DVERTEXBUFFER7 buffer;
        DWORD stateBlock;
        D3DMATRIX world;
    };
    std::vector<Object> scene;
    for (int i = 0; i < objects; ++i) {
        Object o{};
        D3DVERTEXBUFFERDESC d{sizeof d, D3DVBCAPS_WRITEONLY, D3DFVF_VERTEX, DWORD(sphere.size())};
        if (FAILED(hr = direct3D->CreateVertexBuffer(&d, &o.buffer, 0))) fail("CreateVertexBuffer", hr);
        void* data;
        o.buffer->Lock(DDLOCK_WRITEONLY | DDLOCK_DISCARDCONTENTS, &data, nullptr);
        std::memcpy(data, sphere.data(), sphere.size() * sizeof(Vertex));
        o.buffer->Unlock();
        o.buffer->Optimize(device, 0);
        bool transparent = i % 4 == 3;
        device->BeginStateBlock();
        device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
        device->SetTexture(0, textures[size_t(i) % textures.size()]);
        device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        D3DMATERIAL7 m{};
        m.diffuse = {{0.5f + 0.5f * float(i % 3) / 2}, {0.8f}, {1.0f}, {transparent ? 0.5f : 0.0f}};
        m.ambient = {{1}, {1}, {1}, {0}};
        m.specular = {{0.3f}, {0.3f}, {0.3f}, {0}};
        m.power = 12;
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, transparent);
        if (transparent) {
            device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_INVSRCALPHA);
            device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_SRCALPHA);
        }
        device->SetMaterial(&m);
        if (FAILED(hr = device->EndStateBlock(&o.stateBlock))) fail("EndStateBlock", hr);
        o.world = matrix();
        o.world._11 = o.world._22 = o.world._33 = 0.35f;
        o.world._41 = float(i % 20) - 9.5f;
        o.world._42 = float(i / 20 % 10) - 4.5f;
        o.world._43 = 12.0f + float(i / 200);
        scene.push_back(o);
    }

    // A 45-degree projection of aspect 0.75 as the player sets it, and three lights.
    D3DMATRIX projection{};
    float f = 0.788888812f, q = 2000.0f / (2000.0f - 0.18f);
    projection._11 = 0.75f * std::cos(f / 2) / std::sin(f / 2);
    projection._22 = std::cos(f / 2) / std::sin(f / 2);
    projection._33 = q;
    projection._34 = 1;
    projection._43 = -q * 0.18f;
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, TRUE);
    device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0x00202020);
    D3DLIGHT7 lights[3] = {};
    lights[0].dltType = D3DLIGHT_DIRECTIONAL;
    lights[0].dvDirection = {{0.3f}, {-0.5f}, {1}};
    lights[1].dltType = D3DLIGHT_POINT;
    lights[1].dvPosition = {{0}, {3}, {8}};
    lights[2].dltType = D3DLIGHT_SPOT;
    lights[2].dvPosition = {{-5}, {0}, {0}};
    lights[2].dvDirection = {{0.3f}, {0}, {1}};
    lights[2].dvTheta = 0.5f;
    lights[2].dvPhi = 1.0f;
    lights[2].dvFalloff = 1;
    for (int i = 0; i < 3; ++i) {
        lights[i].dcvDiffuse = {{0.7f}, {0.7f}, {0.7f}, {1}};
        lights[i].dcvSpecular = {{1}, {1}, {1}, {1}};
        lights[i].dvRange = D3DLIGHT_RANGE_MAX;
        lights[i].dvAttenuation0 = 1;
        device->SetLight(DWORD(i), &lights[i]);
        device->LightEnable(DWORD(i), TRUE);
    }

    auto frame = [&](int n) {
        D3DMATRIX view = matrix();
        view._41 = std::sin(float(n) * 0.01f);
        device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->BeginScene();
        for (Object& o : scene) {
            device->SetTransform(D3DTRANSFORMSTATE_WORLD, &o.world);
            device->ApplyStateBlock(o.stateBlock);
            HRESULT drawn = device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, o.buffer, 0, DWORD(sphere.size()),
                                                           indices.data(), DWORD(indices.size()), 0);
            if (FAILED(drawn)) fail("DrawIndexedPrimitiveVB", drawn);
        }
        device->EndScene();
        context->UpdateFrame(D3DX_UPDATE_NOVSYNC);
    };
    for (int n = 0; n < 10; ++n) frame(n);   // programs built, buffers sent
    d3d7::FrameStatistics total{};
    auto start = std::chrono::steady_clock::now();
    for (int n = 0; n < frames; ++n) {
        frame(n);
        d3d7::FrameStatistics s = d3d7::lastFrameStatistics();
        total.draws += s.draws;
        total.primitives += s.primitives;
        total.programSwitches += s.programSwitches;
        total.programsBuilt += s.programsBuilt;
        total.stateChanges += s.stateChanges;
        total.uniformUploads += s.uniformUploads;
        total.bufferUploads += s.bufferUploads;
        total.bytesUploaded += s.bytesUploaded;
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto perFrame = [&](uint64_t v) { return double(v) / frames; };
    std::printf("bench-d3d7: %d objects x %zu lit, textured triangles at 640x480, %s, %d frames\n", objects,
                indices.size() / 3, windowed ? "32-bit window" : "16-bit full screen", frames);
    std::printf("frames per second: %.1f (%.2f ms a frame)\n", frames / seconds, 1000.0 * seconds / frames);
    std::printf("per frame: %.0f draws, %.0f triangles, %.1f program switches, %.1f programs built, %.1f state changes, "
                "%.1f uniform uploads, %.1f buffer uploads (%.0f bytes)\n",
                perFrame(total.draws), perFrame(total.primitives), perFrame(total.programSwitches),
                perFrame(total.programsBuilt), perFrame(total.stateChanges), perFrame(total.uniformUploads),
                perFrame(total.bufferUploads), perFrame(total.bytesUploaded));

    if (!image.empty()) {
        // The last frame drawn, as the back buffer holds it (5-6-5 or 8-8-8), written as 8-bit RGB.
        frame(frames);
        LPDIRECTDRAWSURFACE7 target = context->GetBackBuffer(0);
        DDSURFACEDESC2 d{};
        d.dwSize = sizeof d;
        if (target->Lock(nullptr, &d, DDLOCK_READONLY, nullptr) == DD_OK) {
            std::vector<uint8_t> rgb;
            const DDPIXELFORMAT& f = d.ddpfPixelFormat;
            auto channel = [](uint32_t p, DWORD mask) {
                int shift = __builtin_ctz(mask);
                return uint8_t((((p & mask) >> shift) * 255) / (mask >> shift));
            };
            for (DWORD y = 0; y < d.dwHeight; ++y)
                for (DWORD x = 0; x < d.dwWidth; ++x) {
                    uint32_t p = 0;
                    std::memcpy(&p, static_cast<uint8_t*>(d.lpSurface) + y * d.lPitch + x * (f.dwRGBBitCount / 8),
                                f.dwRGBBitCount / 8);
                    rgb.insert(rgb.end(), {channel(p, f.dwRBitMask), channel(p, f.dwGBitMask), channel(p, f.dwBBitMask)});
                }
            target->Unlock(nullptr);
            stbi_write_png(image.c_str(), int(d.dwWidth), int(d.dwHeight), 3, rgb.data(), int(d.dwWidth) * 3);
        }
        target->Release();
    }
    for (Object& o : scene) {
        device->DeleteStateBlock(o.stateBlock);
        o.buffer->Release();
    }
    for (LPDIRECTDRAWSURFACE7 t : textures) t->Release();
    direct3D->Release();
    device->Release();
    context->Release();
    D3DXUninitialize();
    return 0;
}
