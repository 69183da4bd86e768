// ID3DXContext and D3DXCreateContextEx: DirectDraw, Direct3D and the device on the host's
// window, full screen or in the window's client area, presenting and debug text.
#include "context.h"

#include "d3d7/testing.h"
#include "host/host.h"

namespace d3d7 {
namespace {

}  // namespace

Context::Context(std::shared_ptr<Renderer> renderer, DirectDraw* directDraw, Direct3D* direct3D, Device* device,
                 Surface* backBuffer, bool fullscreen, bool ownsOpenGLContext)
    : renderer_(std::move(renderer)), directDraw_(directDraw), direct3D_(direct3D), device_(device),
      backBuffer_(backBuffer), fullscreen_(fullscreen), ownsOpenGLContext_(ownsOpenGLContext) {
    activeRenderer() = renderer_.get();
}

Context::~Context() {
    device_->Release();
    direct3D_->Release();
    directDraw_->Release();
    backBuffer_->Release();
    if (activeRenderer() == renderer_.get()) activeRenderer() = nullptr;
    renderer_->shutdown();
    if (fullscreen_) host::setFullscreen(false);
    if (ownsOpenGLContext_) host::destroyContext();
}

HRESULT Context::QueryInterface(REFIID riid, LPVOID* object) {
    if (!object) return refuse(DDERR_INVALIDPARAMS, "ID3DXContext::QueryInterface", "no pointer for the interface");
    if (IsEqualGUID(riid, IID_IUnknown)) {
        AddRef();
        *object = static_cast<IUnknown*>(this);
        return S_OK;
    }
    *object = nullptr;
    return refuse(E_NOINTERFACE, "ID3DXContext::QueryInterface", "only IUnknown is offered");
}

LPDIRECTDRAW7 Context::GetDD() {
    directDraw_->AddRef();
    return directDraw_;
}

LPDIRECT3D7 Context::GetD3D() {
    direct3D_->AddRef();
    return direct3D_;
}

LPDIRECT3DDEVICE7 Context::GetD3DDevice() {
    device_->AddRef();
    return device_;
}

LPDIRECTDRAWSURFACE7 Context::GetPrimary() {
    refuse(DDERR_UNSUPPORTED, "ID3DXContext::GetPrimary", "the front buffer is the host's window and no surface");
    return nullptr;
}

LPDIRECTDRAWSURFACE7 Context::GetZBuffer() {
    refuse(DDERR_UNSUPPORTED, "ID3DXContext::GetZBuffer", "the depth buffer is not offered as a surface");
    return nullptr;
}

LPDIRECTDRAWSURFACE7 Context::GetBackBuffer(DWORD which) {
    if (which != 0) {
        refuse(DDERR_INVALIDPARAMS, "ID3DXContext::GetBackBuffer", "the context draws into back buffer 0 only");
        return nullptr;
    }
    backBuffer_->AddRef();
    return backBuffer_;
}

HRESULT Context::Clear(DWORD flags) {
    device_->setQuiet(true);
    HRESULT result = device_->Clear(0, nullptr, flags, clearColor_, clearDepth_, clearStencil_);
    device_->setQuiet(false);
    if (calllog_detail::active()) LogLine("context->Clear").arg(clearFlagsText(flags)).write(result);
    return result;
}

HRESULT Context::UpdateFrame(DWORD flags) {
    HRESULT result = D3D_OK;
    uint64_t frame = host::presentedFrames();
    if (flags & ~DWORD(D3DX_UPDATE_NOVSYNC)) {
        result = refuse(D3DXERR_INVALIDPARAMETER, "ID3DXContext::UpdateFrame", "unknown flags 0x%X", flags);
    } else {
        if (calllog_detail::active())
            LogLine("context->UpdateFrame").arg(flags ? "D3DX_UPDATE_NOVSYNC" : "0").write(result);
        renderer_->present((flags & D3DX_UPDATE_NOVSYNC) == 0);
        calllog_detail::endFrame(frame);
        return result;
    }
    if (calllog_detail::active()) LogLine("context->UpdateFrame").hex(flags).write(result);
    return result;
}

HRESULT Context::DrawDebugText(float x, float y, D3DCOLOR color, LPSTR text) {
    HRESULT result = D3D_OK;
    if (!text)
        result = refuse(D3DXERR_NULLPOINTER, "ID3DXContext::DrawDebugText", "no text");
    else if (!renderer_->alive())
        result = refuse(D3DXERR_FAILEDDRAWTEXT, "ID3DXContext::DrawDebugText", "the rendering context is gone");
    else if (!renderer_->drawText(x, y, color, text))
        result = D3DXERR_FAILEDDRAWTEXT;
    if (calllog_detail::active()) LogLine("context->DrawDebugText").real(x).real(y).color(color).text(text).write(result);
    return result;
}

HRESULT Context::SetClearColor(D3DCOLOR color) {
    clearColor_ = color;
    return D3D_OK;
}

HRESULT Context::SetClearDepth(float z) {
    if (!(z >= 0.0f && z <= 1.0f)) return refuse(D3DXERR_INVALIDPARAMETER, "ID3DXContext::SetClearDepth", "depth %g is not in 0..1", z);
    clearDepth_ = z;
    return D3D_OK;
}

HRESULT Context::SetClearStencil(DWORD stencil) {
    clearStencil_ = stencil;
    return D3D_OK;
}

HRESULT Context::Resize(DWORD, DWORD) {
    if (fullscreen_) return D3DXERR_CANNOTRESIZEFULLSCREEN;
    return refuse(D3DXERR_CAPSNOTSUPPORTED, "ID3DXContext::Resize", "the back buffer keeps the size it was made with");
}

}  // namespace d3d7
