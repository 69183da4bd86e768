// The D3DX context object. Private to platform/d3d7.
#pragma once

#include "objects.h"

namespace d3d7 {

class Context : public ComObject<ID3DXContext> {
public:
    // Takes over one reference on each object; gives the OpenGL context up when it goes.
    Context(std::shared_ptr<Renderer> renderer, DirectDraw* directDraw, Direct3D* direct3D, Device* device,
            Surface* backBuffer, bool fullscreen, bool ownsOpenGLContext);
    ~Context() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, LPVOID* object) override;
    LPDIRECTDRAW7 STDMETHODCALLTYPE GetDD() override;
    LPDIRECT3D7 STDMETHODCALLTYPE GetD3D() override;
    LPDIRECT3DDEVICE7 STDMETHODCALLTYPE GetD3DDevice() override;
    LPDIRECTDRAWSURFACE7 STDMETHODCALLTYPE GetPrimary() override;
    LPDIRECTDRAWSURFACE7 STDMETHODCALLTYPE GetZBuffer() override;
    LPDIRECTDRAWSURFACE7 STDMETHODCALLTYPE GetBackBuffer(DWORD which) override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UpdateFrame(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE DrawDebugText(float x, float y, D3DCOLOR color, LPSTR text) override;
    HRESULT STDMETHODCALLTYPE SetClearColor(D3DCOLOR color) override;
    HRESULT STDMETHODCALLTYPE SetClearDepth(float z) override;
    HRESULT STDMETHODCALLTYPE SetClearStencil(DWORD stencil) override;
    HRESULT STDMETHODCALLTYPE Resize(DWORD width, DWORD height) override;

private:
    std::shared_ptr<Renderer> renderer_;
    DirectDraw* directDraw_;
    Direct3D* direct3D_;
    Device* device_;
    Surface* backBuffer_;
    bool fullscreen_;
    bool ownsOpenGLContext_;
    D3DCOLOR clearColor_ = 0;
    float clearDepth_ = 1.0f;
    DWORD clearStencil_ = 0;
};

// Whether D3DXInitialize has been called (and D3DXUninitialize not since).
bool& libraryStarted();
// Whether a context exists now (the host has one OpenGL context to give).
bool contextExists();

}  // namespace d3d7
