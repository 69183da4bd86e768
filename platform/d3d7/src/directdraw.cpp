// IDirectDraw7: the display mode of the context. Surfaces come from D3DX, not from here.
#include <cstring>

#include "objects.h"

namespace d3d7 {
namespace {

HRESULT unsupported(const char* method) {
    return refuse(DDERR_UNSUPPORTED, (std::string("IDirectDraw7::") + method).c_str(),
                  "not offered: D3DX set up the display and its surfaces");
}

}  // namespace

DirectDraw::DirectDraw(std::shared_ptr<Renderer> renderer, bool fullscreen, DWORD refreshRate)
    : renderer_(std::move(renderer)), fullscreen_(fullscreen), refreshRate_(refreshRate) {}

HRESULT DirectDraw::QueryInterface(REFIID riid, LPVOID* object) {
    return queryInterface(riid, object, IID_IDirectDraw7, "IDirectDraw7::QueryInterface");
}

HRESULT DirectDraw::GetDisplayMode(LPDDSURFACEDESC2 d) {
    if (!d || d->dwSize != sizeof(DDSURFACEDESC2))
        return refuse(DDERR_INVALIDPARAMS, "IDirectDraw7::GetDisplayMode", "the description's dwSize must be %zu",
                      sizeof(DDSURFACEDESC2));
    if (!fullscreen_)
        return refuse(DDERR_UNSUPPORTED, "IDirectDraw7::GetDisplayMode", "the desktop's mode is not known to a window");
    const TargetSpec& t = renderer_->target();
    std::memset(d, 0, sizeof *d);
    d->dwSize = sizeof *d;
    d->dwFlags = DDSD_HEIGHT | DDSD_WIDTH | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    d->dwWidth = t.width;
    d->dwHeight = t.height;
    const PixelFormat& f = pixelFormat(t.color);
    d->lPitch = t.width * f.bytesPerPixel;
    d->dwRefreshRate = refreshRate_;
    describePixelFormat(f, d->ddpfPixelFormat);
    return DD_OK;
}

HRESULT DirectDraw::GetMonitorFrequency(LPDWORD frequency) {
    if (!frequency) return refuse(DDERR_INVALIDPARAMS, "IDirectDraw7::GetMonitorFrequency", "no value to fill");
    *frequency = refreshRate_;
    return DD_OK;
}

HRESULT DirectDraw::GetFourCCCodes(LPDWORD count, LPDWORD) {
    if (!count) return refuse(DDERR_INVALIDPARAMS, "IDirectDraw7::GetFourCCCodes", "no count to fill");
    *count = 0;   // no compressed or YUV surfaces
    return DD_OK;
}

HRESULT DirectDraw::TestCooperativeLevel() { return renderer_->alive() ? DD_OK : DDERR_WRONGMODE; }
HRESULT DirectDraw::RestoreAllSurfaces() { return DD_OK; }   // surfaces are never lost
HRESULT DirectDraw::Compact() { return DD_OK; }               // video memory is never fragmented here

HRESULT DirectDraw::CreateClipper(DWORD, LPDIRECTDRAWCLIPPER*, IUnknown*) { return unsupported("CreateClipper"); }
HRESULT DirectDraw::CreatePalette(DWORD, LPPALETTEENTRY, LPDIRECTDRAWPALETTE*, IUnknown*) { return unsupported("CreatePalette"); }
HRESULT DirectDraw::CreateSurface(LPDDSURFACEDESC2, LPDIRECTDRAWSURFACE7*, IUnknown*) { return unsupported("CreateSurface"); }
HRESULT DirectDraw::DuplicateSurface(LPDIRECTDRAWSURFACE7, LPDIRECTDRAWSURFACE7*) { return unsupported("DuplicateSurface"); }
HRESULT DirectDraw::EnumDisplayModes(DWORD, LPDDSURFACEDESC2, LPVOID, LPDDENUMMODESCALLBACK2) { return unsupported("EnumDisplayModes"); }
HRESULT DirectDraw::EnumSurfaces(DWORD, LPDDSURFACEDESC2, LPVOID, LPDDENUMSURFACESCALLBACK7) { return unsupported("EnumSurfaces"); }
HRESULT DirectDraw::FlipToGDISurface() { return unsupported("FlipToGDISurface"); }
HRESULT DirectDraw::GetCaps(LPDDCAPS, LPDDCAPS) { return unsupported("GetCaps"); }
HRESULT DirectDraw::GetGDISurface(LPDIRECTDRAWSURFACE7*) { return unsupported("GetGDISurface"); }
HRESULT DirectDraw::GetScanLine(LPDWORD) { return unsupported("GetScanLine"); }
HRESULT DirectDraw::GetVerticalBlankStatus(LPBOOL) { return unsupported("GetVerticalBlankStatus"); }
HRESULT DirectDraw::Initialize(GUID*) { return DDERR_ALREADYINITIALIZED; }
HRESULT DirectDraw::RestoreDisplayMode() { return unsupported("RestoreDisplayMode"); }
HRESULT DirectDraw::SetCooperativeLevel(HWND, DWORD) { return unsupported("SetCooperativeLevel"); }
HRESULT DirectDraw::SetDisplayMode(DWORD, DWORD, DWORD, DWORD, DWORD) { return unsupported("SetDisplayMode"); }
HRESULT DirectDraw::WaitForVerticalBlank(DWORD, HANDLE) { return unsupported("WaitForVerticalBlank"); }
HRESULT DirectDraw::GetAvailableVidMem(LPDDSCAPS2, LPDWORD, LPDWORD) { return unsupported("GetAvailableVidMem"); }
HRESULT DirectDraw::GetSurfaceFromDC(HDC, LPDIRECTDRAWSURFACE7*) { return unsupported("GetSurfaceFromDC"); }
HRESULT DirectDraw::GetDeviceIdentifier(LPDDDEVICEIDENTIFIER2, DWORD) { return unsupported("GetDeviceIdentifier"); }
HRESULT DirectDraw::StartModeTest(LPSIZE, DWORD, DWORD) { return unsupported("StartModeTest"); }
HRESULT DirectDraw::EvaluateMode(DWORD, DWORD*) { return unsupported("EvaluateMode"); }

}  // namespace d3d7
