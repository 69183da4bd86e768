// D3DX: starting the library and making a rendering context. Also the testing and statistics
// hooks of the stand-in.
#include <algorithm>

#include "context.h"
#include "d3d7/calllog.h"
#include "d3d7/testing.h"
#include "host/host.h"

namespace d3d7 {

bool& libraryStarted() {
    static bool started = false;
    return started;
}

bool contextExists() { return activeRenderer() != nullptr; }

Renderer*& activeRenderer() {
    static Renderer* renderer = nullptr;
    return renderer;
}

namespace {

testing::Rendering& renderingChoice() {
    static testing::Rendering choice = testing::Rendering::OpenGL;
    return choice;
}

std::string dwordText(DWORD value) { return value == D3DX_DEFAULT ? "D3DX_DEFAULT" : std::to_string(value); }

const char* const where = "D3DXCreateContextEx";

struct Request {
    DWORD deviceIndex, flags;
    HWND window, focusWindow;
    DWORD colorBits, alphaBits, depthBits, stencilBits, backBuffers, width, height, refreshRate;
};

// Works out the render target D3DX makes for the request, or the reason it cannot.
HRESULT resolveTarget(const Request& r, TargetSpec& target, bool& fullscreen) {
    if (r.flags & D3DX_CONTEXT_OFFSCREEN)
        return refuse(D3DXERR_CAPSNOTSUPPORTED, where, "off-screen contexts are not offered");
    if (r.flags & ~DWORD(D3DX_CONTEXT_FULLSCREEN))
        return refuse(D3DXERR_INVALIDPARAMETER, where, "unknown context flags 0x%X", r.flags);
    fullscreen = (r.flags & D3DX_CONTEXT_FULLSCREEN) != 0;
    if (r.deviceIndex != D3DX_DEFAULT && r.deviceIndex != D3DX_HWLEVEL_RASTER && r.deviceIndex != D3DX_HWLEVEL_TL) {
        if (r.deviceIndex < D3DX_HWLEVEL_RASTER)
            return refuse(D3DXERR_CAPSNOTSUPPORTED, where, "device index %u: only the hardware device is offered",
                          r.deviceIndex);
        return refuse(D3DXERR_INVALIDD3DXDEVICEINDEX, where, "there is no device %u", r.deviceIndex);
    }
    if (!r.window || !IsWindow(r.window) || !host::windowOpen())
        return refuse(D3DXERR_INVALIDPARAMETER, where, "the context needs the program's window");
    if (r.focusWindow && !IsWindow(r.focusWindow))
        return refuse(D3DXERR_INVALIDPARAMETER, where, "the focus window is no window");
    if (contextExists())
        return refuse(fullscreen ? D3DXERR_FULLSCREENPRIMARYEXISTS : D3DXERR_FRONTBUFFERALREADYEXISTS, where,
                      "a context exists already; the window has one");

    // Colour: full screen sets the display mode (16 bits unless asked otherwise); a window
    // draws in the desktop's 32-bit format.
    DWORD colorBits = r.colorBits;
    if (fullscreen) {
        if (colorBits == D3DX_DEFAULT) colorBits = 16;
        if (colorBits != 16 && colorBits != 24 && colorBits != 32)
            return refuse(D3DXERR_INVALIDDEPTH, where, "%u-bit colour", colorBits);
    } else {
        if (colorBits == D3DX_DEFAULT) colorBits = 32;
        if (colorBits != 16 && colorBits != 24 && colorBits != 32)
            return refuse(D3DXERR_INVALIDDEPTH, where, "%u-bit colour", colorBits);
        if (colorBits != 32)
            return refuse(D3DXERR_INVALIDMODE, where, "a window draws in the desktop's 32-bit colour, not %u-bit",
                          colorBits);
    }
    DWORD alphaBits = r.alphaBits == D3DX_DEFAULT ? 0 : r.alphaBits;
    if (colorBits == 16 && alphaBits == 0) target.color = PixelFormatId::R5G6B5;
    else if (colorBits == 16 && alphaBits == 1) target.color = PixelFormatId::A1R5G5B5;
    else if (colorBits == 24 && alphaBits == 0) target.color = PixelFormatId::R8G8B8;
    else if (colorBits == 32 && alphaBits == 0) target.color = PixelFormatId::X8R8G8B8;
    else if (colorBits == 32 && alphaBits == 8) target.color = PixelFormatId::A8R8G8B8;
    else
        return refuse(D3DXERR_CAPSNOTSUPPORTED, where, "%u alpha bits with %u-bit colour", alphaBits, colorBits);

    DWORD depthBits = r.depthBits == D3DX_DEFAULT ? (colorBits == 16 ? 16 : 24) : r.depthBits;
    DWORD stencilBits = r.stencilBits == D3DX_DEFAULT ? 0 : r.stencilBits;
    if (depthBits != 0 && depthBits != 16 && depthBits != 24 && depthBits != 32)
        return refuse(D3DXERR_CAPSNOTSUPPORTED, where, "a %u-bit depth buffer", depthBits);
    if (stencilBits > 8 || (stencilBits > 0 && depthBits != 24))
        return refuse(D3DXERR_CAPSNOTSUPPORTED, where, "%u stencil bits with a %u-bit depth buffer", stencilBits, depthBits);
    target.depthBits = int(depthBits);
    target.stencilBits = stencilBits ? 8 : 0;

    DWORD backBuffers = r.backBuffers == D3DX_DEFAULT ? 1 : r.backBuffers;
    if (backBuffers < 1 || backBuffers > 3)
        return refuse(D3DXERR_INVALIDPARAMETER, where, "%u back buffers (1 to 3 are made)", backBuffers);

    if (fullscreen) {
        DWORD width = r.width == D3DX_DEFAULT ? 640 : r.width;
        DWORD height = r.height == D3DX_DEFAULT ? 480 : r.height;
        if (width == 0 || height == 0 || width > 4096 || height > 4096 ||
            !host::displayCanShow(int(width), int(height), int(colorBits)))
            return refuse(D3DXERR_INVALIDMODE, where, "the display cannot show %ux%u at %u bits", width, height, colorBits);
        target.width = int(width);
        target.height = int(height);
    } else {
        RECT client{};
        GetClientRect(r.window, &client);
        DWORD width = r.width == D3DX_DEFAULT ? DWORD(client.right - client.left) : r.width;
        DWORD height = r.height == D3DX_DEFAULT ? DWORD(client.bottom - client.top) : r.height;
        if (width == 0 || height == 0 || width > 4096 || height > 4096)
            return refuse(D3DXERR_NOBACKBUFFERAVAILABLE, where, "no back buffer of %ux%u can be made", width, height);
        target.width = int(width);
        target.height = int(height);
    }
    return D3D_OK;
}

HRESULT createContext(const Request& r, LPD3DXCONTEXT* result) {
    if (!libraryStarted())
        return refuse(D3DXERR_D3DXNOTSTARTEDYET, where, "D3DXInitialize has not been called");
    if (!result) return refuse(D3DXERR_NULLPOINTER, where, "no pointer for the context");
    *result = nullptr;
    TargetSpec target;
    bool fullscreen = false;
    HRESULT resolved = resolveTarget(r, target, fullscreen);
    if (FAILED(resolved)) return resolved;

    std::shared_ptr<Renderer> renderer;
    bool ownsOpenGLContext = false;
    if (renderingChoice() == testing::Rendering::OpenGL) {
        std::string error;
        if (!host::contextExists()) {
            // The renderer draws into a target of its own, multisampled when asked for, and
            // copies it into a plain back buffer.
            if (!host::createContext(&error, false))
                return refuse(D3DXERR_NODIRECT3DDEVICEAVAILABLE, where, "no OpenGL context: %s", error.c_str());
            ownsOpenGLContext = true;
        }
        if (fullscreen) host::setWindowGeometry(0, 0, target.width, target.height);
        renderer = makeOpenGLRenderer(target, &error);
        if (!renderer) {
            if (ownsOpenGLContext) host::destroyContext();
            return refuse(D3DXERR_NODIRECT3DDEVICEAVAILABLE, where, "%s", error.c_str());
        }
    } else {
        if (fullscreen) host::setWindowGeometry(0, 0, target.width, target.height);
        renderer = makeRecordingRenderer(target);
    }
    if (fullscreen) host::setFullscreen(true);

    Surface* backBuffer = Surface::createBackBuffer(renderer, pixelFormat(target.color), target.width, target.height);
    auto* directDraw = new DirectDraw(renderer, fullscreen, r.refreshRate == D3DX_DEFAULT || r.refreshRate == 0 ? 60 : r.refreshRate);
    auto* direct3D = new Direct3D(renderer);
    auto* device = new Device(renderer, direct3D, backBuffer);
    *result = new Context(renderer, directDraw, direct3D, device, backBuffer, fullscreen, ownsOpenGLContext);
    return D3D_OK;
}

}  // namespace
}  // namespace d3d7

HRESULT WINAPI D3DXInitialize(void) {
    d3d7::libraryStarted() = true;
    if (d3d7::calllog_detail::active()) d3d7::LogLine("D3DXInitialize").write(S_OK);
    return S_OK;
}

HRESULT WINAPI D3DXUninitialize(void) {
    d3d7::libraryStarted() = false;
    if (d3d7::calllog_detail::active()) d3d7::LogLine("D3DXUninitialize").write(S_OK);
    return S_OK;
}

HRESULT WINAPI D3DXCreateContextEx(DWORD deviceIndex, DWORD flags, HWND window, HWND focusWindow, DWORD colorBits,
                                   DWORD alphaBits, DWORD depthBits, DWORD stencilBits, DWORD backBuffers,
                                   DWORD width, DWORD height, DWORD refreshRate, LPD3DXCONTEXT* context) {
    d3d7::Request r{deviceIndex, flags,     window, focusWindow, colorBits, alphaBits, depthBits,
                    stencilBits, backBuffers, width,  height,      refreshRate};
    HRESULT result = d3d7::createContext(r, context);
    if (d3d7::calllog_detail::active()) {
        using d3d7::dwordText;
        d3d7::LogLine line("D3DXCreateContextEx");
        line.arg(dwordText(deviceIndex)).arg(flags == D3DX_CONTEXT_FULLSCREEN ? "D3DX_CONTEXT_FULLSCREEN" : std::to_string(flags));
        line.pointer(window, "window").pointer(focusWindow, "window");
        for (DWORD v : {colorBits, alphaBits, depthBits, stencilBits, backBuffers, width, height, refreshRate})
            line.arg(dwordText(v));
        if (SUCCEEDED(result))
            line.writeWithResult("context");
        else
            line.write(result);
    }
    return result;
}

HRESULT WINAPI D3DXCreateContext(DWORD deviceIndex, DWORD flags, HWND window, DWORD width, DWORD height,
                                 LPD3DXCONTEXT* context) {
    return D3DXCreateContextEx(deviceIndex, flags, window, nullptr, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT,
                               D3DX_DEFAULT, D3DX_DEFAULT, width, height, D3DX_DEFAULT, context);
}

namespace d3d7::testing {

void setRendering(Rendering rendering) { renderingChoice() = rendering; }
Rendering rendering() { return renderingChoice(); }

void reset() {
    libraryStarted() = false;
    renderingChoice() = Rendering::OpenGL;
    resetObjectNumbers();
    calllog::enable(false);
    calllog::clear();
}

long liveObjects() { return liveObjectCount(); }

}  // namespace d3d7::testing

namespace d3d7 {

FrameStatistics lastFrameStatistics() { return activeRenderer() ? activeRenderer()->last : FrameStatistics{}; }
FrameStatistics currentFrameStatistics() { return activeRenderer() ? activeRenderer()->current : FrameStatistics{}; }

}  // namespace d3d7

namespace d3d7::calllog {

std::vector<std::string> stateBlock(IDirect3DDevice7* device, DWORD handle) {
    auto* ours = dynamic_cast<Device*>(device);
    return ours ? ours->stateBlockLines(handle) : std::vector<std::string>{};
}

}  // namespace d3d7::calllog
