#include "gfx/gfxcore.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "lightwave/material.h"
#include "lightwave/scene.h"
#include "lightwave/viewer.h"
#include "shell/cleanup.h"
#include "shell/debuglog.h"
#include "shell/korvo.h"
#include "shell/list.h"

extern List sceneList;

namespace {

// The projection's field of view: the float with bit pattern 0x3F49F49E, about 45.2 degrees.
float fieldOfView() {
    const uint32_t bits = 0x3F49F49E;
    float angle;
    std::memcpy(&angle, &bits, sizeof angle);
    return angle;
}

D3DVECTOR difference(const D3DVECTOR& a, const D3DVECTOR& b) {
    D3DVECTOR v;
    v.x = a.x - b.x;
    v.y = a.y - b.y;
    v.z = a.z - b.z;
    return v;
}

D3DVECTOR scaled(const D3DVECTOR& v, float f) {
    D3DVECTOR r;
    r.x = v.x * f;
    r.y = v.y * f;
    r.z = v.z * f;
    return r;
}

}  // namespace

// ---- Matrix functions --------------------------------------------------------------------

void setIdentity(D3DMATRIX& m) {
    std::memset(&m, 0, sizeof m);
    m._11 = m._22 = m._33 = m._44 = 1.0f;
}

void setRotationX(D3DMATRIX& m, float angle) {
    setIdentity(m);
    m._22 = std::cos(angle);
    m._23 = std::sin(angle);
    m._32 = -std::sin(angle);
    m._33 = std::cos(angle);
}

void setRotationY(D3DMATRIX& m, float angle) {
    setIdentity(m);
    m._11 = std::cos(angle);
    m._13 = -std::sin(angle);
    m._31 = std::sin(angle);
    m._33 = std::cos(angle);
}

void setRotationZ(D3DMATRIX& m, float angle) {
    setIdentity(m);
    m._11 = std::cos(angle);
    m._12 = std::sin(angle);
    m._21 = -std::sin(angle);
    m._22 = std::cos(angle);
}

HRESULT setProjection(D3DMATRIX& m, float fieldOfView, float aspect, float nearPlane, float farPlane) {
    if (std::fabs(farPlane - nearPlane) < 0.01f || std::fabs(std::sin(fieldOfView / 2)) < 0.01f) return E_INVALIDARG;
    float c = std::cos(fieldOfView / 2), s = std::sin(fieldOfView / 2);
    float q = farPlane / (farPlane - nearPlane);
    std::memset(&m, 0, sizeof m);
    m._11 = aspect * c / s;
    m._22 = c / s;
    m._33 = q;
    m._34 = 1.0f;
    m._43 = -q * nearPlane;
    return S_OK;
}

HRESULT setView(D3DMATRIX& m, const D3DVECTOR& eye, const D3DVECTOR& target, const D3DVECTOR& worldUp) {
    D3DVECTOR d = difference(target, eye);
    float length = std::sqrt(squaredLength(d));
    if (length < 1e-6f) return E_INVALIDARG;
    d = scaled(d, 1.0f / length);

    D3DVECTOR v = difference(worldUp, scaled(d, dotProduct(worldUp, d)));
    length = std::sqrt(squaredLength(v));
    if (length < 1e-6f) {
        D3DVECTOR y;
        y.x = 0.0f; y.y = 1.0f; y.z = 0.0f;
        v = difference(y, scaled(d, d.y));
        length = std::sqrt(squaredLength(v));
        if (length < 1e-6f) {
            D3DVECTOR z;
            z.x = 0.0f; z.y = 0.0f; z.z = 1.0f;
            v = difference(z, scaled(d, d.z));
            length = std::sqrt(squaredLength(v));
            if (length < 1e-6f) return E_INVALIDARG;
        }
    }
    v = scaled(v, 1.0f / length);

    D3DVECTOR r;
    r.x = v.y * d.z - v.z * d.y;
    r.y = v.z * d.x - v.x * d.z;
    r.z = v.x * d.y - v.y * d.x;

    setIdentity(m);
    m._11 = r.x; m._12 = v.x; m._13 = d.x;
    m._21 = r.y; m._22 = v.y; m._23 = d.y;
    m._31 = r.z; m._32 = v.z; m._33 = d.z;
    m._41 = -dotProduct(eye, r);
    m._42 = -dotProduct(eye, v);
    m._43 = -dotProduct(eye, d);
    return S_OK;
}

float squaredLength(const D3DVECTOR& v) { return v.x * v.x + v.y * v.y + v.z * v.z; }

float dotProduct(const D3DVECTOR& a, const D3DVECTOR& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

D3DVECTOR backPoint(const D3DMATRIX& m) {
    D3DVECTOR p;
    p.x = m._41 - 1.0f * m._31;
    p.y = m._42 - 1.0f * m._32;
    p.z = m._43 - 1.0f * m._33;
    return p;
}

// ---- The graphics core -------------------------------------------------------------------

GfxCore::GfxCore() {
    D3DXInitialize();
    waitVRT = true;
}

GfxCore::~GfxCore() { D3DXUninitialize(); }

bool GfxCore::createWindow(HINSTANCE instance, const char* title, bool fullscreen, int windowWidth, int windowHeight) {
    windowed = !fullscreen;
    width = windowWidth;
    height = windowHeight;

    WNDCLASSA windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_NO);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = "Render Window";
    RegisterClassA(&windowClass);

    DWORD style = windowed ? WS_OVERLAPPEDWINDOW : 8;
    window = CreateWindowExA(0, "Render Window", title, style, CW_USEDEFAULT, CW_USEDEFAULT, width, height, nullptr,
                             nullptr, instance, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return true;
}

bool GfxCore::initDevice(int requestedColorBits) {
    DWORD contextBits = D3DX_DEFAULT, contextWidth = D3DX_DEFAULT, contextHeight = D3DX_DEFAULT;
    if (windowed) {
        LOG_ENTRY << "windowed" << std::endl;
    } else {
        LOG_ENTRY << "fullscreen " << width << "x" << height << "x" << requestedColorBits << "b" << std::endl;
        contextBits = DWORD(requestedColorBits);
        contextWidth = DWORD(width);
        contextHeight = DWORD(height);
    }
    HRESULT result = D3DXCreateContextEx(D3DX_DEFAULT, windowed ? 0 : D3DX_CONTEXT_FULLSCREEN, window,
                                         windowed ? nullptr : window, contextBits, D3DX_DEFAULT, D3DX_DEFAULT,
                                         D3DX_DEFAULT, 1, contextWidth, contextHeight, D3DX_DEFAULT, &context);
    if (result != 0) {
        char text[100];
        D3DXGetErrorString(result, sizeof text, text);
        LOG_ENTRY << "FAILED to create D3DX Context (error: " << int(result) << ")" << std::endl
                  << "FAILCAUSE: " << text << std::endl;
        std::exit(1);
    }
    if (!windowed) ShowCursor(FALSE);
    colorBits = int(contextBits);
    directDraw = context->GetDD();
    direct3D = context->GetD3D();
    device = context->GetD3DDevice();

    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    device->SetRenderState(D3DRENDERSTATE_DITHERENABLE, TRUE);
    device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE);
    setProjection();
    return true;
}

void GfxCore::setProjection() {
    D3DMATRIX projection;
    ::setProjection(projection, fieldOfView(), 0.75f, 0.18f, 2000.0f);
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
}

void GfxCore::updateScenes(float time) {
    for (ListNode* node = sceneList.first(); node; node = node->getNext())
        static_cast<Scene*>(node->getData())->update(time);
    currentTime = time;
}

void GfxCore::present() {
    ViewerState.frame();
    context->UpdateFrame(waitVRT ? 0 : D3DX_UPDATE_NOVSYNC);
}

void GfxCore::shutdown() {
    if (directDraw) directDraw->Release();
    if (direct3D) direct3D->Release();
    if (device) device->Release();
    if (context) context->Release();
    directDraw = nullptr;
    direct3D = nullptr;
    device = nullptr;
    context = nullptr;
}

void Renderer::renderFrame() {
    gfx.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    gfx.device->BeginScene();
    for (ListNode* node = sceneList.first(); node; node = node->getNext())
        static_cast<Scene*>(node->getData())->draw();
    gfx.device->EndScene();
}

// ---- The grid ----------------------------------------------------------------------------

Grid::Grid(float spacing) {
    int steps = 0;
    for (float x = -50.0f; x < 50.0f; x += spacing) ++steps;

    D3DVERTEXBUFFERDESC description;
    description.dwSize = 16;
    description.dwCaps = D3DVBCAPS_WRITEONLY;
    description.dwFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
    description.dwNumVertices = DWORD(4 * steps);
    gfx.direct3D->CreateVertexBuffer(&description, &vertexBuffer, 0);

    float* vertices = nullptr;
    vertexBuffer->Lock(DDLOCK_WRITEONLY | DDLOCK_DISCARDCONTENTS, reinterpret_cast<void**>(&vertices), nullptr);
    int written = 0;
    auto put = [&](float x, float z) {
        float* v = vertices + written * 8;
        v[0] = x;
        v[1] = 0.0f;
        v[2] = z;
        v[3] = 0.0f;
        v[4] = 0.0f;
        v[5] = -1.0f;
        ++written;
    };
    for (float x = -50.0f; x < 50.0f; x += spacing) {
        put(-50.0f, x);
        put(50.0f, x);
        put(x, -50.0f);
        put(x, 50.0f);
    }
    vertexCount = written;
    vertexBuffer->Unlock();
    vertexBuffer->Optimize(gfx.device, 0);

    material = new Material();
    material->setColor(0.0f, 0.0f, 0.0f);
    material->scaleColor(1.0f);
    material->setSpecular(0.0f, 0.0f);
    material->setEmissive(0.0f);
    material->material.emissive.g = 0.4f;
}

Grid::~Grid() {
    if (vertexBuffer) vertexBuffer->Release();
    delete material;
}

void Grid::draw() {
    D3DMATRIX world;
    setIdentity(world);
    gfx.device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    gfx.device->SetMaterial(&material->material);
    gfx.device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    if (gfx.device->DrawPrimitiveVB(D3DPT_LINELIST, vertexBuffer, 0, DWORD(vertexCount), 0) != 0)
        cleaner.fatal("Drawing grid FAILED");
}
