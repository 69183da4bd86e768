// IDirect3D7: the one device's description, vertex buffers and depth formats.
#include <cstring>

#include "objects.h"

namespace d3d7 {
namespace {

std::string descriptionText(const D3DVERTEXBUFFERDESC* d) {
    if (!d) return "NULL";
    return "{" + std::to_string(d->dwSize) + ", " + vertexBufferCapsText(d->dwCaps) + ", " + fvfText(d->dwFVF) + ", " +
           std::to_string(d->dwNumVertices) + "}";
}

}  // namespace

D3DDEVICEDESC7 deviceDescription(const TargetSpec& target) {
    D3DDEVICEDESC7 d;
    std::memset(&d, 0, sizeof d);
    d.dwDevCaps = D3DDEVCAPS_FLOATTLVERTEX | D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY |
                  D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP |
                  D3DDEVCAPS_DRAWPRIMITIVES2 | D3DDEVCAPS_DRAWPRIMITIVES2EX | D3DDEVCAPS_HWTRANSFORMANDLIGHT |
                  D3DDEVCAPS_HWRASTERIZATION;
    D3DPRIMCAPS p;
    std::memset(&p, 0, sizeof p);
    p.dwSize = sizeof p;
    p.dwMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW;
    p.dwRasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_SUBPIXEL;
    p.dwZCmpCaps = p.dwAlphaCmpCaps = 0xFF;
    p.dwSrcBlendCaps = p.dwDestBlendCaps = 0x1FFF;
    p.dwShadeCaps = D3DPSHADECAPS_COLORFLATRGB | D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARFLATRGB |
                    D3DPSHADECAPS_SPECULARGOURAUDRGB | D3DPSHADECAPS_ALPHAFLATBLEND | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
    // Power-of-two sizes, as the hardware of the time wanted them: D3DX rounds images up.
    p.dwTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_ALPHA |
                      D3DPTEXTURECAPS_TRANSPARENCY;
    p.dwTextureFilterCaps = D3DPTFILTERCAPS_NEAREST | D3DPTFILTERCAPS_LINEAR | D3DPTFILTERCAPS_MIPNEAREST |
                            D3DPTFILTERCAPS_MIPLINEAR | D3DPTFILTERCAPS_LINEARMIPNEAREST |
                            D3DPTFILTERCAPS_LINEARMIPLINEAR | D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR |
                            D3DPTFILTERCAPS_MIPFPOINT | D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                            D3DPTFILTERCAPS_MAGFLINEAR;
    p.dwTextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                             D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV;
    d.dpcLineCaps = d.dpcTriCaps = p;
    d.dwDeviceRenderBitDepth = 0x00000500;   // DDBD_16 | DDBD_32
    d.dwDeviceZBufferBitDepth = 0x00000D00;  // DDBD_16 | DDBD_24 | DDBD_32
    d.dwMinTextureWidth = d.dwMinTextureHeight = 1;
    d.dwMaxTextureWidth = d.dwMaxTextureHeight = 2048;
    d.dwMaxTextureRepeat = 8192;
    d.dwMaxAnisotropy = 1;
    d.dvGuardBandLeft = d.dvGuardBandTop = -16384.0f;
    d.dvGuardBandRight = d.dvGuardBandBottom = 16384.0f;
    d.dwFVFCaps = 8;
    d.dwTextureOpCaps = 0x00FFFFFF & ~DWORD(D3DTEXOPCAPS_PREMODULATE | D3DTEXOPCAPS_BUMPENVMAP |
                                            D3DTEXOPCAPS_BUMPENVMAPLUMINANCE);
    d.wMaxTextureBlendStages = maxTextureStages;
    d.wMaxSimultaneousTextures = maxTextureStages;
    d.dwMaxActiveLights = maxActiveLights;
    d.dvMaxVertexW = 1e10f;
    d.deviceGUID = IID_IDirect3DTnLHalDevice;
    d.dwVertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                               D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    (void)target;
    return d;
}

Direct3D::Direct3D(std::shared_ptr<Renderer> renderer) : renderer_(std::move(renderer)) {}

HRESULT Direct3D::QueryInterface(REFIID riid, LPVOID* object) {
    return queryInterface(riid, object, IID_IDirect3D7, "IDirect3D7::QueryInterface");
}

HRESULT Direct3D::EnumDevices(LPD3DENUMDEVICESCALLBACK7 callback, LPVOID context) {
    if (!callback) return refuse(DDERR_INVALIDPARAMS, "IDirect3D7::EnumDevices", "no callback");
    D3DDEVICEDESC7 d = deviceDescription(renderer_->target());
    char description[] = "Direct3D T&L HAL on OpenGL";
    char name[] = "Direct3D T&L HAL";
    callback(description, name, &d, context);
    return D3D_OK;
}

HRESULT Direct3D::CreateDevice(REFCLSID, LPDIRECTDRAWSURFACE7, LPDIRECT3DDEVICE7* device) {
    if (device) *device = nullptr;
    return refuse(DDERR_UNSUPPORTED, "IDirect3D7::CreateDevice", "the device comes with the D3DX context; no other is made");
}

HRESULT Direct3D::CreateVertexBuffer(LPD3DVERTEXBUFFERDESC description, LPDIRECT3DVERTEXBUFFER7* buffer, DWORD flags) {
    HRESULT result = D3D_OK;
    VertexLayout layout;
    std::string why;
    VertexBuffer* made = nullptr;
    const DWORD knownCaps = D3DVBCAPS_SYSTEMMEMORY | D3DVBCAPS_WRITEONLY | D3DVBCAPS_DONOTCLIP;
    if (buffer) *buffer = nullptr;
    if (!description || !buffer)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3D7::CreateVertexBuffer", "no description or no pointer for the buffer");
    else if (description->dwSize != sizeof(D3DVERTEXBUFFERDESC))
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3D7::CreateVertexBuffer", "the description's dwSize is %u, not %zu",
                        description->dwSize, sizeof(D3DVERTEXBUFFERDESC));
    else if (flags != 0 || (description->dwCaps & ~knownCaps))
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3D7::CreateVertexBuffer", "flags 0x%X or capabilities 0x%X", flags,
                        description->dwCaps);
    else if (description->dwNumVertices == 0 || description->dwNumVertices > D3DMAXNUMVERTICES)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3D7::CreateVertexBuffer", "%u vertices: a buffer holds 1 to %d",
                        description->dwNumVertices, D3DMAXNUMVERTICES);
    else if (!describeVertexFormat(description->dwFVF, layout, &why))
        result = refuse(D3DERR_INVALIDVERTEXFORMAT, "IDirect3D7::CreateVertexBuffer", "vertex format 0x%X: %s",
                        description->dwFVF, why.c_str());
    else {
        made = new VertexBuffer(renderer_, *description, layout);
        *buffer = made;
    }
    if (calllog_detail::active()) {
        LogLine line("d3d->CreateVertexBuffer");
        line.arg(descriptionText(description)).hex(flags);
        if (made)
            line.writeWithResult(made->logName());
        else
            line.write(result);
    }
    return result;
}

HRESULT Direct3D::EnumZBufferFormats(REFCLSID, LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) {
    if (!callback) return refuse(DDERR_INVALIDPARAMS, "IDirect3D7::EnumZBufferFormats", "no callback");
    struct Depth {
        DWORD bits, depthMask, stencilBits, stencilMask;
    };
    for (Depth z : {Depth{16, 0xFFFF, 0, 0}, Depth{24, 0xFFFFFF, 0, 0}, Depth{32, 0xFFFFFF00, 8, 0xFF},
                    Depth{32, 0xFFFFFFFF, 0, 0}}) {
        DDPIXELFORMAT f;
        std::memset(&f, 0, sizeof f);
        f.dwSize = sizeof f;
        f.dwFlags = DDPF_ZBUFFER | (z.stencilBits ? DDPF_STENCILBUFFER : 0);
        f.dwZBufferBitDepth = z.bits;
        f.dwStencilBitDepth = z.stencilBits;
        f.dwZBitMask = z.depthMask;
        f.dwStencilBitMask = z.stencilMask;
        if (callback(&f, context) == D3DENUMRET_CANCEL) break;
    }
    return D3D_OK;
}

HRESULT Direct3D::EvictManagedTextures() { return D3D_OK; }   // every texture lives in the OpenGL context

}  // namespace d3d7
