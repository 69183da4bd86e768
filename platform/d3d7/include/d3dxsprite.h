// D3DX 7 sprites: textured quads drawn in screen space.
#pragma once

#include "d3dxcore.h"
#include "d3dxmath.h"

// Sets the device states sprites are drawn with (no lighting, no culling, alpha blending,
// texture times diffuse), with depth testing on or off.
HRESULT WINAPI D3DXPrepareDeviceForSprite(LPDIRECT3DDEVICE7 device, BOOL depthEnable = FALSE);

// Draws `texture` (or the part `sourceRect` of it) as a quad centred at `destination` (screen
// pixels and depth), `scale` times the texture's size, turned by `angle` radians, with
// `alpha` as the vertex alpha. `offset` moves the centre of rotation, in fractions of the
// sprite's size.
HRESULT WINAPI D3DXDrawSpriteSimple(LPDIRECTDRAWSURFACE7 texture, LPDIRECT3DDEVICE7 device,
                                    const D3DXVECTOR3* destination, float alpha = 1.0f, float scale = 1.0f,
                                    float angle = 0.0f, const D3DXVECTOR2* offset = nullptr,
                                    const RECT* sourceRect = nullptr);
