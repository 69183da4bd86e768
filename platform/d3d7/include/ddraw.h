// DirectDraw 7: the surfaces textures and render targets live in, their descriptions, colour
// keys and result codes. Names, values and structure layouts are DirectDraw's own. Pointers
// inside structures are 8 bytes on this platform, so DDSURFACEDESC2 is larger than on 32-bit
// Windows from its lpSurface member on; every field before it sits where Windows has it.
#pragma once

#include <windows.h>

#include "unknwn.h"

#ifndef DIRECTDRAW_VERSION
#define DIRECTDRAW_VERSION 0x0700
#endif

struct IDirectDraw7;
struct IDirectDrawSurface7;
struct IDirectDrawClipper;
struct IDirectDrawPalette;
typedef IDirectDraw7* LPDIRECTDRAW7;
typedef IDirectDrawSurface7* LPDIRECTDRAWSURFACE7;
typedef IDirectDrawClipper* LPDIRECTDRAWCLIPPER;
typedef IDirectDrawPalette* LPDIRECTDRAWPALETTE;
typedef struct IDirectDraw* LPDIRECTDRAW;

// Structures only named by methods this subset refuses; they stay incomplete.
struct _DDBLTFX;
struct _DDBLTBATCH;
struct _DDOVERLAYFX;
struct _DDCAPS_DX7;
struct tagDDDEVICEIDENTIFIER2;
struct tagPALETTEENTRY;
typedef struct _DDBLTFX* LPDDBLTFX;
typedef struct _DDBLTBATCH* LPDDBLTBATCH;
typedef struct _DDOVERLAYFX* LPDDOVERLAYFX;
typedef struct _DDCAPS_DX7* LPDDCAPS;
typedef struct tagDDDEVICEIDENTIFIER2* LPDDDEVICEIDENTIFIER2;
typedef struct tagPALETTEENTRY* LPPALETTEENTRY;

// ---- Results -------------------------------------------------------------------------------
#define _FACDD 0x876
#define MAKE_DDHRESULT(code) ((HRESULT)(0x88760000u | (unsigned)(code)))

#define DD_OK S_OK
#define DD_FALSE S_FALSE
#define DDERR_ALREADYINITIALIZED MAKE_DDHRESULT(5)
#define DDERR_CANNOTATTACHSURFACE MAKE_DDHRESULT(10)
#define DDERR_CANNOTDETACHSURFACE MAKE_DDHRESULT(20)
#define DDERR_CURRENTLYNOTAVAIL MAKE_DDHRESULT(40)
#define DDERR_EXCEPTION MAKE_DDHRESULT(55)
#define DDERR_GENERIC E_FAIL
#define DDERR_INVALIDCAPS MAKE_DDHRESULT(100)
#define DDERR_INVALIDMODE MAKE_DDHRESULT(120)
#define DDERR_INVALIDOBJECT MAKE_DDHRESULT(130)
#define DDERR_INVALIDPARAMS E_INVALIDARG
#define DDERR_INVALIDPIXELFORMAT MAKE_DDHRESULT(145)
#define DDERR_INVALIDRECT MAKE_DDHRESULT(150)
#define DDERR_NOCOLORKEY MAKE_DDHRESULT(215)
#define DDERR_NOTFOUND MAKE_DDHRESULT(255)
#define DDERR_OUTOFMEMORY E_OUTOFMEMORY
#define DDERR_OUTOFVIDEOMEMORY MAKE_DDHRESULT(380)
#define DDERR_SURFACEBUSY MAKE_DDHRESULT(430)
#define DDERR_CANTLOCKSURFACE MAKE_DDHRESULT(435)
#define DDERR_SURFACELOST MAKE_DDHRESULT(450)
#define DDERR_TOOBIGHEIGHT MAKE_DDHRESULT(470)
#define DDERR_TOOBIGSIZE MAKE_DDHRESULT(480)
#define DDERR_TOOBIGWIDTH MAKE_DDHRESULT(490)
#define DDERR_UNSUPPORTED E_NOTIMPL
#define DDERR_UNSUPPORTEDFORMAT MAKE_DDHRESULT(510)
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#define DDERR_NOTLOCKED MAKE_DDHRESULT(584)
#define DDERR_WRONGMODE MAKE_DDHRESULT(587)
#define DDERR_NOINTERFACE E_NOINTERFACE

// ---- Colour keys, capabilities, pixel formats, surface descriptions -------------------------
typedef struct _DDCOLORKEY {
    DWORD dwColorSpaceLowValue;   // low and high value of the key, inclusive, in the surface's format
    DWORD dwColorSpaceHighValue;
} DDCOLORKEY, *LPDDCOLORKEY;

typedef struct _DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    union {
        DWORD dwCaps4;
        DWORD dwVolumeDepth;
    };
} DDSCAPS2, *LPDDSCAPS2;

typedef struct _DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    union {
        DWORD dwRGBBitCount;
        DWORD dwYUVBitCount;
        DWORD dwZBufferBitDepth;
        DWORD dwAlphaBitDepth;
        DWORD dwLuminanceBitCount;
        DWORD dwBumpBitCount;
        DWORD dwPrivateFormatBitCount;
    };
    union {
        DWORD dwRBitMask;
        DWORD dwYBitMask;
        DWORD dwStencilBitDepth;
        DWORD dwLuminanceBitMask;
        DWORD dwBumpDuBitMask;
        DWORD dwOperations;
    };
    union {
        DWORD dwGBitMask;
        DWORD dwUBitMask;
        DWORD dwZBitMask;
        DWORD dwBumpDvBitMask;
        struct {
            WORD wFlipMSTypes;
            WORD wBltMSTypes;
        } MultiSampleCaps;
    };
    union {
        DWORD dwBBitMask;
        DWORD dwVBitMask;
        DWORD dwStencilBitMask;
        DWORD dwBumpLuminanceBitMask;
    };
    union {
        DWORD dwRGBAlphaBitMask;
        DWORD dwYUVAlphaBitMask;
        DWORD dwLuminanceAlphaBitMask;
        DWORD dwRGBZBitMask;
        DWORD dwYUVZBitMask;
    };
} DDPIXELFORMAT, *LPDDPIXELFORMAT;

typedef struct _DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    union {
        LONG lPitch;
        DWORD dwLinearSize;
    };
    union {
        DWORD dwBackBufferCount;
        DWORD dwDepth;
    };
    union {
        DWORD dwMipMapCount;
        DWORD dwRefreshRate;
        DWORD dwSrcVBHandle;
    };
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    LPVOID lpSurface;
    union {
        DDCOLORKEY ddckCKDestOverlay;
        DWORD dwEmptyFaceColor;
    };
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    union {
        DDPIXELFORMAT ddpfPixelFormat;
        DWORD dwFVF;
    };
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
} DDSURFACEDESC2, *LPDDSURFACEDESC2;

static_assert(sizeof(DDCOLORKEY) == 8 && sizeof(DDSCAPS2) == 16 && sizeof(DDPIXELFORMAT) == 32);
static_assert(offsetof(DDSURFACEDESC2, lPitch) == 16 && offsetof(DDSURFACEDESC2, dwMipMapCount) == 24 &&
              offsetof(DDSURFACEDESC2, dwReserved) == 32);
static_assert(sizeof(DDSURFACEDESC2) == (sizeof(void*) == 4 ? 124 : 136));

// DDSURFACEDESC2.dwFlags
#define DDSD_CAPS 0x00000001
#define DDSD_HEIGHT 0x00000002
#define DDSD_WIDTH 0x00000004
#define DDSD_PITCH 0x00000008
#define DDSD_BACKBUFFERCOUNT 0x00000020
#define DDSD_ZBUFFERBITDEPTH 0x00000040
#define DDSD_ALPHABITDEPTH 0x00000080
#define DDSD_LPSURFACE 0x00000800
#define DDSD_PIXELFORMAT 0x00001000
#define DDSD_CKDESTOVERLAY 0x00002000
#define DDSD_CKDESTBLT 0x00004000
#define DDSD_CKSRCOVERLAY 0x00008000
#define DDSD_CKSRCBLT 0x00010000
#define DDSD_MIPMAPCOUNT 0x00020000
#define DDSD_REFRESHRATE 0x00040000
#define DDSD_LINEARSIZE 0x00080000
#define DDSD_TEXTURESTAGE 0x00100000
#define DDSD_FVF 0x00200000
#define DDSD_SRCVBHANDLE 0x00400000
#define DDSD_DEPTH 0x00800000
#define DDSD_ALL 0x00fff9ee

// DDSCAPS2.dwCaps
#define DDSCAPS_ALPHA 0x00000002
#define DDSCAPS_BACKBUFFER 0x00000004
#define DDSCAPS_COMPLEX 0x00000008
#define DDSCAPS_FLIP 0x00000010
#define DDSCAPS_FRONTBUFFER 0x00000020
#define DDSCAPS_OFFSCREENPLAIN 0x00000040
#define DDSCAPS_OVERLAY 0x00000080
#define DDSCAPS_PALETTE 0x00000100
#define DDSCAPS_PRIMARYSURFACE 0x00000200
#define DDSCAPS_SYSTEMMEMORY 0x00000800
#define DDSCAPS_TEXTURE 0x00001000
#define DDSCAPS_3DDEVICE 0x00002000
#define DDSCAPS_VIDEOMEMORY 0x00004000
#define DDSCAPS_VISIBLE 0x00008000
#define DDSCAPS_WRITEONLY 0x00010000
#define DDSCAPS_ZBUFFER 0x00020000
#define DDSCAPS_OWNDC 0x00040000
#define DDSCAPS_MIPMAP 0x00400000
#define DDSCAPS_ALLOCONLOAD 0x04000000
#define DDSCAPS_LOCALVIDMEM 0x10000000
// DDSCAPS2.dwCaps2
#define DDSCAPS2_TEXTUREMANAGE 0x00000010
#define DDSCAPS2_MIPMAPSUBLEVEL 0x00010000
#define DDSCAPS2_D3DTEXTUREMANAGE 0x00020000

// DDPIXELFORMAT.dwFlags
#define DDPF_ALPHAPIXELS 0x00000001
#define DDPF_ALPHA 0x00000002
#define DDPF_FOURCC 0x00000004
#define DDPF_PALETTEINDEXED8 0x00000020
#define DDPF_RGB 0x00000040
#define DDPF_ZBUFFER 0x00000400
#define DDPF_STENCILBUFFER 0x00004000
#define DDPF_LUMINANCE 0x00020000

// Colour-key kinds (SetColorKey, GetColorKey)
#define DDCKEY_COLORSPACE 0x00000001
#define DDCKEY_DESTBLT 0x00000002
#define DDCKEY_DESTOVERLAY 0x00000004
#define DDCKEY_SRCBLT 0x00000008
#define DDCKEY_SRCOVERLAY 0x00000010

// Lock flags (surfaces and vertex buffers)
#define DDLOCK_SURFACEMEMORYPTR 0x00000000
#define DDLOCK_WAIT 0x00000001
#define DDLOCK_EVENT 0x00000002
#define DDLOCK_READONLY 0x00000010
#define DDLOCK_WRITEONLY 0x00000020
#define DDLOCK_NOSYSLOCK 0x00000800
#define DDLOCK_NOOVERWRITE 0x00001000
#define DDLOCK_DISCARDCONTENTS 0x00002000
#define DDLOCK_OKTOSWAP 0x00002000
#define DDLOCK_DONOTWAIT 0x00004000

// SetCooperativeLevel
#define DDSCL_FULLSCREEN 0x00000001
#define DDSCL_ALLOWREBOOT 0x00000002
#define DDSCL_NOWINDOWCHANGES 0x00000004
#define DDSCL_NORMAL 0x00000008
#define DDSCL_EXCLUSIVE 0x00000010
#define DDSCL_ALLOWMODEX 0x00000040
#define DDSCL_MULTITHREADED 0x00000400
#define DDSCL_FPUSETUP 0x00000800
#define DDSCL_FPUPRESERVE 0x00001000

// GetAttachedSurface / EnumAttachedSurfaces
typedef HRESULT(WINAPI* LPDDENUMSURFACESCALLBACK7)(LPDIRECTDRAWSURFACE7, LPDDSURFACEDESC2, LPVOID);
typedef HRESULT(WINAPI* LPDDENUMMODESCALLBACK2)(LPDDSURFACEDESC2, LPVOID);
#define DDENUMRET_CANCEL 0
#define DDENUMRET_OK 1

// {15E65EC0-3B9C-11D2-B92F-00609797EA5B}
inline constexpr IID IID_IDirectDraw7 = {0x15e65ec0, 0x3b9c, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};
// {06675A80-3B9B-11D2-B92F-00609797EA5B}
inline constexpr IID IID_IDirectDrawSurface7 = {0x06675a80, 0x3b9b, 0x11d2, {0xb9, 0x2f, 0x00, 0x60, 0x97, 0x97, 0xea, 0x5b}};

// ---- Interfaces ----------------------------------------------------------------------------
DECLARE_INTERFACE_(IDirectDraw7, IUnknown) {
    STDMETHOD(Compact)(THIS) PURE;
    STDMETHOD(CreateClipper)(THIS_ DWORD flags, LPDIRECTDRAWCLIPPER* clipper, IUnknown* outer) PURE;
    STDMETHOD(CreatePalette)(THIS_ DWORD flags, LPPALETTEENTRY entries, LPDIRECTDRAWPALETTE* palette,
                             IUnknown* outer) PURE;
    STDMETHOD(CreateSurface)(THIS_ LPDDSURFACEDESC2 description, LPDIRECTDRAWSURFACE7* surface, IUnknown* outer) PURE;
    STDMETHOD(DuplicateSurface)(THIS_ LPDIRECTDRAWSURFACE7 source, LPDIRECTDRAWSURFACE7* duplicate) PURE;
    STDMETHOD(EnumDisplayModes)(THIS_ DWORD flags, LPDDSURFACEDESC2 filter, LPVOID context,
                                LPDDENUMMODESCALLBACK2 callback) PURE;
    STDMETHOD(EnumSurfaces)(THIS_ DWORD flags, LPDDSURFACEDESC2 filter, LPVOID context,
                            LPDDENUMSURFACESCALLBACK7 callback) PURE;
    STDMETHOD(FlipToGDISurface)(THIS) PURE;
    STDMETHOD(GetCaps)(THIS_ LPDDCAPS driverCaps, LPDDCAPS emulationCaps) PURE;
    STDMETHOD(GetDisplayMode)(THIS_ LPDDSURFACEDESC2 description) PURE;
    STDMETHOD(GetFourCCCodes)(THIS_ LPDWORD count, LPDWORD codes) PURE;
    STDMETHOD(GetGDISurface)(THIS_ LPDIRECTDRAWSURFACE7* surface) PURE;
    STDMETHOD(GetMonitorFrequency)(THIS_ LPDWORD frequency) PURE;
    STDMETHOD(GetScanLine)(THIS_ LPDWORD line) PURE;
    STDMETHOD(GetVerticalBlankStatus)(THIS_ LPBOOL inVerticalBlank) PURE;
    STDMETHOD(Initialize)(THIS_ GUID* driver) PURE;
    STDMETHOD(RestoreDisplayMode)(THIS) PURE;
    STDMETHOD(SetCooperativeLevel)(THIS_ HWND window, DWORD flags) PURE;
    STDMETHOD(SetDisplayMode)(THIS_ DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate, DWORD flags) PURE;
    STDMETHOD(WaitForVerticalBlank)(THIS_ DWORD flags, HANDLE event) PURE;
    STDMETHOD(GetAvailableVidMem)(THIS_ LPDDSCAPS2 caps, LPDWORD total, LPDWORD free) PURE;
    STDMETHOD(GetSurfaceFromDC)(THIS_ HDC dc, LPDIRECTDRAWSURFACE7* surface) PURE;
    STDMETHOD(RestoreAllSurfaces)(THIS) PURE;
    STDMETHOD(TestCooperativeLevel)(THIS) PURE;
    STDMETHOD(GetDeviceIdentifier)(THIS_ LPDDDEVICEIDENTIFIER2 identifier, DWORD flags) PURE;
    STDMETHOD(StartModeTest)(THIS_ LPSIZE modes, DWORD count, DWORD flags) PURE;
    STDMETHOD(EvaluateMode)(THIS_ DWORD flags, DWORD* timeout) PURE;
};

DECLARE_INTERFACE_(IDirectDrawSurface7, IUnknown) {
    STDMETHOD(AddAttachedSurface)(THIS_ LPDIRECTDRAWSURFACE7 surface) PURE;
    STDMETHOD(AddOverlayDirtyRect)(THIS_ LPRECT rect) PURE;
    STDMETHOD(Blt)(THIS_ LPRECT destination, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags,
                   LPDDBLTFX effects) PURE;
    STDMETHOD(BltBatch)(THIS_ LPDDBLTBATCH batch, DWORD count, DWORD flags) PURE;
    STDMETHOD(BltFast)(THIS_ DWORD x, DWORD y, LPDIRECTDRAWSURFACE7 source, LPRECT sourceRect, DWORD flags) PURE;
    STDMETHOD(DeleteAttachedSurface)(THIS_ DWORD flags, LPDIRECTDRAWSURFACE7 surface) PURE;
    STDMETHOD(EnumAttachedSurfaces)(THIS_ LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) PURE;
    STDMETHOD(EnumOverlayZOrders)(THIS_ DWORD flags, LPVOID context, LPDDENUMSURFACESCALLBACK7 callback) PURE;
    STDMETHOD(Flip)(THIS_ LPDIRECTDRAWSURFACE7 target, DWORD flags) PURE;
    STDMETHOD(GetAttachedSurface)(THIS_ LPDDSCAPS2 caps, LPDIRECTDRAWSURFACE7* surface) PURE;
    STDMETHOD(GetBltStatus)(THIS_ DWORD flags) PURE;
    STDMETHOD(GetCaps)(THIS_ LPDDSCAPS2 caps) PURE;
    STDMETHOD(GetClipper)(THIS_ LPDIRECTDRAWCLIPPER* clipper) PURE;
    STDMETHOD(GetColorKey)(THIS_ DWORD flags, LPDDCOLORKEY key) PURE;
    STDMETHOD(GetDC)(THIS_ HDC* dc) PURE;
    STDMETHOD(GetFlipStatus)(THIS_ DWORD flags) PURE;
    STDMETHOD(GetOverlayPosition)(THIS_ LPLONG x, LPLONG y) PURE;
    STDMETHOD(GetPalette)(THIS_ LPDIRECTDRAWPALETTE* palette) PURE;
    STDMETHOD(GetPixelFormat)(THIS_ LPDDPIXELFORMAT format) PURE;
    STDMETHOD(GetSurfaceDesc)(THIS_ LPDDSURFACEDESC2 description) PURE;
    STDMETHOD(Initialize)(THIS_ LPDIRECTDRAW directDraw, LPDDSURFACEDESC2 description) PURE;
    STDMETHOD(IsLost)(THIS) PURE;
    STDMETHOD(Lock)(THIS_ LPRECT rect, LPDDSURFACEDESC2 description, DWORD flags, HANDLE event) PURE;
    STDMETHOD(ReleaseDC)(THIS_ HDC dc) PURE;
    STDMETHOD(Restore)(THIS) PURE;
    STDMETHOD(SetClipper)(THIS_ LPDIRECTDRAWCLIPPER clipper) PURE;
    STDMETHOD(SetColorKey)(THIS_ DWORD flags, LPDDCOLORKEY key) PURE;
    STDMETHOD(SetOverlayPosition)(THIS_ LONG x, LONG y) PURE;
    STDMETHOD(SetPalette)(THIS_ LPDIRECTDRAWPALETTE palette) PURE;
    STDMETHOD(Unlock)(THIS_ LPRECT rect) PURE;
    STDMETHOD(UpdateOverlay)(THIS_ LPRECT sourceRect, LPDIRECTDRAWSURFACE7 destination, LPRECT destinationRect,
                             DWORD flags, LPDDOVERLAYFX effects) PURE;
    STDMETHOD(UpdateOverlayDisplay)(THIS_ DWORD flags) PURE;
    STDMETHOD(UpdateOverlayZOrder)(THIS_ DWORD flags, LPDIRECTDRAWSURFACE7 reference) PURE;
    STDMETHOD(GetDDInterface)(THIS_ LPVOID* directDraw) PURE;
    STDMETHOD(PageLock)(THIS_ DWORD flags) PURE;
    STDMETHOD(PageUnlock)(THIS_ DWORD flags) PURE;
    STDMETHOD(SetSurfaceDesc)(THIS_ LPDDSURFACEDESC2 description, DWORD flags) PURE;
    STDMETHOD(SetPrivateData)(THIS_ REFGUID tag, LPVOID data, DWORD size, DWORD flags) PURE;
    STDMETHOD(GetPrivateData)(THIS_ REFGUID tag, LPVOID data, LPDWORD size) PURE;
    STDMETHOD(FreePrivateData)(THIS_ REFGUID tag) PURE;
    STDMETHOD(GetUniquenessValue)(THIS_ LPDWORD value) PURE;
    STDMETHOD(ChangeUniquenessValue)(THIS) PURE;
    STDMETHOD(SetPriority)(THIS_ DWORD priority) PURE;
    STDMETHOD(GetPriority)(THIS_ LPDWORD priority) PURE;
    STDMETHOD(SetLOD)(THIS_ DWORD level) PURE;
    STDMETHOD(GetLOD)(THIS_ LPDWORD level) PURE;
};
