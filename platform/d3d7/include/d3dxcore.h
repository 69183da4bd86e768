// D3DX 7 core: starting the library, the rendering context (DirectDraw, Direct3D and a device
// on a window or the full screen, presenting, debug text), textures loaded from image files,
// and error texts.
#pragma once

#include "d3d.h"
#include "d3dxerr.h"

// "Let D3DX choose" for any DWORD argument.
#define D3DX_DEFAULT ((DWORD)0xFFFFFFFF)
#define D3DX_DEFAULT_FLOAT FLT_MAX

// Device indices (D3DXCreateContext): the least hardware level the device must have.
#define D3DX_HWLEVEL_NULL 0
#define D3DX_HWLEVEL_REFERENCE 1
#define D3DX_HWLEVEL_2D 2
#define D3DX_HWLEVEL_RASTER 3
#define D3DX_HWLEVEL_TL 4
#define D3DX_HWLEVEL_RESERVED 5

// Context flags.
#define D3DX_CONTEXT_FULLSCREEN 0x00000001
#define D3DX_CONTEXT_OFFSCREEN 0x00000002

// UpdateFrame flags.
#define D3DX_UPDATE_NOVSYNC (1 << 0)

// Clear flags of the context.
#define D3DCLEAR_TARGET_AND_ZBUFFER (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER)

// Texture creation flags: the stage a texture is meant for, and no mip levels.
#define D3DX_TEXTURE_NOMIPMAP (1 << 8)
#define D3DX_TEXTURE_STAGE0 0
#define D3DX_TEXTURE_STAGE1 1
#define D3DX_TEXTURE_STAGE2 2
#define D3DX_TEXTURE_STAGE3 3
#define D3DX_TEXTURE_STAGE4 4
#define D3DX_TEXTURE_STAGE5 5
#define D3DX_TEXTURE_STAGE6 6
#define D3DX_TEXTURE_STAGE7 7
#define D3DX_TEXTURE_STAGE_MASK 0x7

typedef enum _D3DX_SURFACEFORMAT {
    D3DX_SF_UNKNOWN = 0,
    D3DX_SF_R8G8B8 = 1,
    D3DX_SF_A8R8G8B8 = 2,
    D3DX_SF_X8R8G8B8 = 3,
    D3DX_SF_R5G6B5 = 4,
    D3DX_SF_R5G5B5 = 5,
    D3DX_SF_PALETTE4 = 6,
    D3DX_SF_PALETTE8 = 7,
    D3DX_SF_A1R5G5B5 = 8,
    D3DX_SF_X4R4G4B4 = 9,
    D3DX_SF_A4R4G4B4 = 10,
    D3DX_SF_L8 = 11,
    D3DX_SF_A8L8 = 12,
    D3DX_SF_U8V8 = 13,
    D3DX_SF_U5V5L6 = 14,
    D3DX_SF_U8V8L8 = 15,
    D3DX_SF_UYVY = 16,
    D3DX_SF_YUY2 = 17,
    D3DX_SF_DXT1 = 18,
    D3DX_SF_DXT3 = 19,
    D3DX_SF_DXT5 = 20,
    D3DX_SF_R3G3B2 = 21,
    D3DX_SF_A8 = 22,
    D3DX_SF_TEXTUREMAX = 23,
    D3DX_SF_Z16S0 = 256,
    D3DX_SF_Z32S0 = 257,
    D3DX_SF_Z15S1 = 258,
    D3DX_SF_Z24S8 = 259,
    D3DX_SF_S1Z15 = 260,
    D3DX_SF_S8Z24 = 261,
    D3DX_SF_DEPTHMAX = 262,
    D3DX_SF_FORCEMAX = 0xFFFFFFFF
} D3DX_SURFACEFORMAT;

typedef enum _D3DX_FILTERTYPE {
    D3DX_FT_POINT = 0x01,
    D3DX_FT_LINEAR = 0x02,
    D3DX_FT_DEFAULT = 0xFFFFFFFF
} D3DX_FILTERTYPE;

struct ID3DXContext;
typedef ID3DXContext* LPD3DXCONTEXT;

DECLARE_INTERFACE_(ID3DXContext, IUnknown) {
    // Each of these adds a reference to what it returns.
    STDMETHOD_(LPDIRECTDRAW7, GetDD)(THIS) PURE;
    STDMETHOD_(LPDIRECT3D7, GetD3D)(THIS) PURE;
    STDMETHOD_(LPDIRECT3DDEVICE7, GetD3DDevice)(THIS) PURE;
    STDMETHOD_(LPDIRECTDRAWSURFACE7, GetPrimary)(THIS) PURE;
    STDMETHOD_(LPDIRECTDRAWSURFACE7, GetZBuffer)(THIS) PURE;
    STDMETHOD_(LPDIRECTDRAWSURFACE7, GetBackBuffer)(THIS_ DWORD which) PURE;

    STDMETHOD(Clear)(THIS_ DWORD flags) PURE;
    // Presents the back buffer; D3DX_UPDATE_NOVSYNC does not wait for the vertical retrace.
    STDMETHOD(UpdateFrame)(THIS_ DWORD flags) PURE;
    // Text at x, y given as fractions of the render target's width and height.
    STDMETHOD(DrawDebugText)(THIS_ float x, float y, D3DCOLOR color, LPSTR text) PURE;
    STDMETHOD(SetClearColor)(THIS_ D3DCOLOR color) PURE;
    STDMETHOD(SetClearDepth)(THIS_ float z) PURE;
    STDMETHOD(SetClearStencil)(THIS_ DWORD stencil) PURE;
    STDMETHOD(Resize)(THIS_ DWORD width, DWORD height) PURE;
};

HRESULT WINAPI D3DXInitialize(void);
HRESULT WINAPI D3DXUninitialize(void);

HRESULT WINAPI D3DXCreateContext(DWORD deviceIndex, DWORD flags, HWND window, DWORD width, DWORD height,
                                 LPD3DXCONTEXT* context);
HRESULT WINAPI D3DXCreateContextEx(DWORD deviceIndex, DWORD flags, HWND window, HWND focusWindow,
                                   DWORD colorBits, DWORD alphaBits, DWORD depthBits, DWORD stencilBits,
                                   DWORD backBuffers, DWORD width, DWORD height, DWORD refreshRate,
                                   LPD3DXCONTEXT* context);

// Copies the text of an error code, cut to `length` characters with the terminating zero.
HRESULT WINAPI D3DXGetErrorString(HRESULT error, DWORD length, LPSTR text);

// Loads an image file into a new texture. Width, height, pixel format and mip-level count go
// in as requests (D3DX_DEFAULT or 0: the file's size, all levels, the file's format) and come
// out as what was made.
HRESULT WINAPI D3DXCreateTextureFromFile(LPDIRECT3DDEVICE7 device, LPDWORD flags, LPDWORD width, LPDWORD height,
                                         D3DX_SURFACEFORMAT* pixelFormat, LPDIRECTDRAWPALETTE palette,
                                         LPDIRECTDRAWSURFACE7* texture, LPDWORD mipLevels, LPSTR fileName,
                                         D3DX_FILTERTYPE filter);
