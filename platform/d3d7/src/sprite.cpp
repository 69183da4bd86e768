// D3DX sprites: screen-space textured quads, drawn through the device as pre-transformed
// vertices. The calls these functions make on the device are not logged one by one; the
// D3DX call is.
#include <cmath>
#include <tuple>
#include <utility>

#include "objects.h"

namespace d3d7 {
namespace {

// Restores the device's logging when a D3DX function is done with it.
struct QuietDevice {
    explicit QuietDevice(Device* d) : device(d) { device->setQuiet(true); }
    ~QuietDevice() { device->setQuiet(false); }
    Device* device;
};

}  // namespace
}  // namespace d3d7

// The states sprites need and nothing else: depth test as asked, no culling, alpha blending
// (source alpha over the target), texture times diffuse in colour and alpha on stage 0 with
// linear filtering and clamped coordinates, stage 1 off. Lighting, depth writes and the
// transforms are left alone: sprites are pre-transformed and pre-lit.
HRESULT WINAPI D3DXPrepareDeviceForSprite(LPDIRECT3DDEVICE7 deviceInterface, BOOL depthEnable) {
    using namespace d3d7;
    auto* device = dynamic_cast<Device*>(deviceInterface);
    HRESULT result = D3D_OK;
    if (!device) {
        result = refuse(D3DXERR_NULLPOINTER, "D3DXPrepareDeviceForSprite", "no device of this library");
    } else {
        QuietDevice quiet(device);
        const std::pair<D3DRENDERSTATETYPE, DWORD> states[] = {
            {D3DRENDERSTATE_ZENABLE, DWORD(depthEnable ? D3DZB_TRUE : D3DZB_FALSE)},
            {D3DRENDERSTATE_CULLMODE, D3DCULL_NONE},
            {D3DRENDERSTATE_ALPHABLENDENABLE, TRUE},
            {D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA},
            {D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA},
        };
        for (const auto& [state, value] : states)
            if (FAILED(device->SetRenderState(state, value))) result = D3DXERR_INVALIDPARAMETER;
        const std::tuple<DWORD, D3DTEXTURESTAGESTATETYPE, DWORD> stages[] = {
            {0, D3DTSS_COLOROP, D3DTOP_MODULATE},     {0, D3DTSS_COLORARG1, D3DTA_TEXTURE},
            {0, D3DTSS_COLORARG2, D3DTA_DIFFUSE},     {0, D3DTSS_ALPHAOP, D3DTOP_MODULATE},
            {0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE},     {0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE},
            {0, D3DTSS_TEXCOORDINDEX, 0},             {0, D3DTSS_MINFILTER, D3DTFN_LINEAR},
            {0, D3DTSS_MAGFILTER, D3DTFG_LINEAR},     {0, D3DTSS_MIPFILTER, D3DTFP_NONE},
            {0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP},   {1, D3DTSS_COLOROP, D3DTOP_DISABLE},
            {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
        };
        for (const auto& [stage, state, value] : stages)
            if (FAILED(device->SetTextureStageState(stage, state, value))) result = D3DXERR_INVALIDPARAMETER;
    }
    if (calllog_detail::active())
        LogLine("D3DXPrepareDeviceForSprite").pointer(deviceInterface, "device").boolean(depthEnable).write(result);
    return result;
}

// A quad of the texture's (or the source rectangle's) size times `scale`, centred at
// `destination` (screen pixels, pixel centres at whole numbers) and turned by `angle` radians
// (clockwise on the screen, whose y axis points down), with white diffuse colour of alpha
// `alpha`. `offset` moves the quad against its centre of rotation, in fractions of its size.
// An unturned sprite of width w centred at x covers the pixels from x - w/2 to x + w/2 - 1.
// A negative scale mirrors the quad on both axes.
HRESULT WINAPI D3DXDrawSpriteSimple(LPDIRECTDRAWSURFACE7 textureInterface, LPDIRECT3DDEVICE7 deviceInterface,
                                    const D3DXVECTOR3* destination, float alpha, float scale, float angle,
                                    const D3DXVECTOR2* offset, const RECT* sourceRect) {
    using namespace d3d7;
    auto* device = dynamic_cast<Device*>(deviceInterface);
    auto* texture = dynamic_cast<Surface*>(textureInterface);
    HRESULT result = D3D_OK;
    if (!device || !texture || !destination) {
        result = refuse(D3DXERR_NULLPOINTER, "D3DXDrawSpriteSimple", "no device, texture or destination of this library");
    } else if (!texture->isTexture()) {
        result = refuse(D3DXERR_INVALIDPARAMETER, "D3DXDrawSpriteSimple", "the surface is not a texture");
    } else if (sourceRect && (sourceRect->left < 0 || sourceRect->top < 0 || sourceRect->right > texture->width() ||
                              sourceRect->bottom > texture->height() || sourceRect->left >= sourceRect->right ||
                              sourceRect->top >= sourceRect->bottom)) {
        result = refuse(D3DXERR_INVALIDPARAMETER, "D3DXDrawSpriteSimple", "the source rectangle lies outside the texture");
    } else {
        RECT source = sourceRect ? *sourceRect : RECT{0, 0, texture->width(), texture->height()};
        float w = float(source.right - source.left) * scale, h = float(source.bottom - source.top) * scale;
        float ox = offset ? offset->x : 0.0f, oy = offset ? offset->y : 0.0f;
        float u0 = float(source.left) / float(texture->width()), u1 = float(source.right) / float(texture->width());
        float v0 = float(source.top) / float(texture->height()), v1 = float(source.bottom) / float(texture->height());
        float c = std::cos(angle), s = std::sin(angle);
        DWORD a = DWORD(std::lround(std::fmin(std::fmax(alpha, 0.0f), 1.0f) * 255.0f));
        D3DTLVERTEX quad[4];
        const float corners[4][4] = {{-0.5f, -0.5f, u0, v0}, {0.5f, -0.5f, u1, v0}, {0.5f, 0.5f, u1, v1}, {-0.5f, 0.5f, u0, v1}};
        for (int i = 0; i < 4; ++i) {
            float x = (corners[i][0] - ox) * w, y = (corners[i][1] - oy) * h;
            // Half a pixel up and left, so that texels fall on pixel centres one to one.
            quad[i].sx = destination->x + x * c - y * s - 0.5f;
            quad[i].sy = destination->y + x * s + y * c - 0.5f;
            quad[i].sz = destination->z;
            quad[i].rhw = 1.0f;
            quad[i].color = (a << 24) | 0x00FFFFFF;
            quad[i].specular = 0;
            quad[i].tu = corners[i][2];
            quad[i].tv = corners[i][3];
        }
        QuietDevice quiet(device);
        device->SetTexture(0, texture);
        result = device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, quad, 4, D3DDP_WAIT);
    }
    if (calllog_detail::active()) {
        LogLine line("D3DXDrawSpriteSimple");
        line.arg(texture ? texture->logName() : "NULL").pointer(deviceInterface, "device");
        line.arg(destination ? vectorText(*destination) : "NULL").real(alpha).real(scale).real(angle);
        line.arg(offset ? "{" + realText(offset->x) + ", " + realText(offset->y) + "}" : "NULL");
        line.arg(sourceRect ? "{" + std::to_string(sourceRect->left) + ", " + std::to_string(sourceRect->top) + ", " +
                                  std::to_string(sourceRect->right) + ", " + std::to_string(sourceRect->bottom) + "}"
                            : "NULL");
        line.write(result);
    }
    return result;
}
