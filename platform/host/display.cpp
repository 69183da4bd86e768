// The window, the OpenGL context with its back buffer, and presenting.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "state.h"

namespace host {

HostState& state() {
    // Never destroyed: programs present and report from their own global destructors, which
    // run in no order relative to ours.
    static HostState* s = new HostState;
    return *s;
}

Backend& backend() {
    HostState& s = state();
    if (!s.backend)
        s.backend = settings().video == VideoBackend::Window ? makeWindowBackend() : makeHeadlessBackend();
    return *s.backend;
}

void shownSize(int& width, int& height) {
    const Settings& settings = host::settings();
    const HostState& s = state();
    width = settings.shownWidth ? settings.shownWidth : s.window.width;
    height = settings.shownHeight ? settings.shownHeight : s.window.height;
}

namespace {

struct Rect { int x0, y0, x1, y1; };

// Where a picture of the program's size lands in a target of another size, aspect kept.
Rect letterbox(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight) {
    if (sourceWidth <= 0 || sourceHeight <= 0) return {0, 0, targetWidth, targetHeight};
    double scale = std::min(double(targetWidth) / sourceWidth, double(targetHeight) / sourceHeight);
    int w = std::max(1, int(sourceWidth * scale + 0.5)), h = std::max(1, int(sourceHeight * scale + 0.5));
    int x = (targetWidth - w) / 2, y = (targetHeight - h) / 2;
    return {x, y, x + w, y + h};
}

void deleteBackBuffer() {
    HostState& s = state();
    if (s.backFramebuffer) glDeleteFramebuffers(1, &s.backFramebuffer);
    if (s.backColor) glDeleteRenderbuffers(1, &s.backColor);
    if (s.backDepth) glDeleteRenderbuffers(1, &s.backDepth);
    if (s.captureFramebuffer) glDeleteFramebuffers(1, &s.captureFramebuffer);
    if (s.captureColor) glDeleteRenderbuffers(1, &s.captureColor);
    s.backFramebuffer = s.backColor = s.backDepth = s.captureFramebuffer = s.captureColor = 0;
    s.backWidth = s.backHeight = s.captureWidth = s.captureHeight = 0;
}

// Everything the host changes while presenting, put back afterwards so programs never notice.
struct SavedState {
    GLint viewport[4];
    GLboolean scissor, colorMask[4];
    GLfloat clearColor[4];
    GLint packAlignment, packRowLength, packSkipRows, packSkipPixels, packBuffer;

    SavedState() {
        glGetIntegerv(GL_VIEWPORT, viewport);
        scissor = glIsEnabled(GL_SCISSOR_TEST);
        glGetBooleanv(GL_COLOR_WRITEMASK, colorMask);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
        glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
        glGetIntegerv(GL_PACK_ROW_LENGTH, &packRowLength);
        glGetIntegerv(GL_PACK_SKIP_ROWS, &packSkipRows);
        glGetIntegerv(GL_PACK_SKIP_PIXELS, &packSkipPixels);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(0, 0, 0, 1);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    }
    ~SavedState() {
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        if (scissor) glEnable(GL_SCISSOR_TEST);
        glColorMask(colorMask[0], colorMask[1], colorMask[2], colorMask[3]);
        glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
        glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
        glPixelStorei(GL_PACK_ROW_LENGTH, packRowLength);
        glPixelStorei(GL_PACK_SKIP_ROWS, packSkipRows);
        glPixelStorei(GL_PACK_SKIP_PIXELS, packSkipPixels);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, packBuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, state().backFramebuffer);
    }
};

// Copies the back buffer into `target` (0: the window) of the given size, letterboxed.
void blitBackBuffer(GLuint target, int width, int height) {
    HostState& s = state();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.backFramebuffer);
    Rect r = letterbox(s.backWidth, s.backHeight, width, height);
    bool sameSize = (r.x1 - r.x0) == s.backWidth && (r.y1 - r.y0) == s.backHeight;
    glBlitFramebuffer(0, 0, s.backWidth, s.backHeight, r.x0, r.y0, r.x1, r.y1, GL_COLOR_BUFFER_BIT,
                      sameSize ? GL_NEAREST : GL_LINEAR);
}

void writeCapture(uint64_t frame) {
    HostState& s = state();
    const Settings& settings = host::settings();
    int width, height;
    shownSize(width, height);
    GLuint source = s.backFramebuffer;
    if (width != s.backWidth || height != s.backHeight) {
        if (width != s.captureWidth || height != s.captureHeight) {
            if (!s.captureFramebuffer) {
                glGenFramebuffers(1, &s.captureFramebuffer);
                glGenRenderbuffers(1, &s.captureColor);
            }
            glBindRenderbuffer(GL_RENDERBUFFER, s.captureColor);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
            glBindFramebuffer(GL_FRAMEBUFFER, s.captureFramebuffer);
            glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s.captureColor);
            s.captureWidth = width;
            s.captureHeight = height;
        }
        blitBackBuffer(s.captureFramebuffer, width, height);
        source = s.captureFramebuffer;
    }
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    if (!s.capture)
        s.capture = std::make_unique<CaptureWriter>(settings.capturePath, settings.captureY4m,
                                                    settings.fixedClock ? settings.fixedFramesPerSecond : 30);
    std::string error;
    if (!s.capture->write(frame, pixels.data(), width, height, &error)) {
        std::fprintf(stderr, "[capture] %s\n", error.c_str());
        std::exit(2);
    }
}

}  // namespace

bool openWindow(const WindowRequest& request, std::string* error) {
    HostState& s = state();
    if (s.windowOpen) {
        *error = "the host shows one top-level window; a second one is not supported";
        return false;
    }
    s.window = request;
    int width, height;
    shownSize(width, height);
    if (!backend().open(request, width, height, error)) return false;
    s.windowOpen = true;
    s.visible = false;
    return true;
}

void closeWindow() {
    HostState& s = state();
    if (!s.windowOpen) return;
    destroyContext();
    backend().close();
    s.windowOpen = false;
    s.visible = false;
    s.fullscreen = false;
}

bool windowOpen() { return state().windowOpen; }

void showWindow(bool visible) {
    HostState& s = state();
    if (!s.windowOpen || s.visible == visible) return;
    s.visible = visible;
    backend().show(visible);
}

bool windowVisible() { return state().visible; }

void setWindowTitle(const std::string& title) {
    HostState& s = state();
    s.window.title = title;
    if (s.windowOpen) backend().setTitle(title);
}

void setWindowGeometry(int x, int y, int width, int height) {
    HostState& s = state();
    bool resized = width != s.window.width || height != s.window.height;
    s.window.x = x;
    s.window.y = y;
    s.window.width = width;
    s.window.height = height;
    if (!s.windowOpen || !resized) return;
    int shownWidth, shownHeight;
    shownSize(shownWidth, shownHeight);
    backend().resizeShown(shownWidth, shownHeight);
    if (s.context) {
        // The back buffer follows the program's size; its content is lost, as a resized
        // window's would be.
        glBindRenderbuffer(GL_RENDERBUFFER, s.backColor);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, std::max(1, width), std::max(1, height));
        glBindRenderbuffer(GL_RENDERBUFFER, s.backDepth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, std::max(1, width), std::max(1, height));
        s.backWidth = std::max(1, width);
        s.backHeight = std::max(1, height);
        glBindFramebuffer(GL_FRAMEBUFFER, s.backFramebuffer);
    }
}

void setFullscreen(bool fullscreen) {
    HostState& s = state();
    if (!s.windowOpen || s.fullscreen == fullscreen) return;
    s.fullscreen = fullscreen;
    backend().setFullscreen(fullscreen);
}

bool displayCanShow(int width, int height, int bitsPerPixel) {
    if (settings().refuseDisplayModes) return false;
    return backend().canShow(width, height, bitsPerPixel);
}

bool createContext(std::string* error) {
    HostState& s = state();
    if (!s.windowOpen) {
        *error = "no window to create the OpenGL context on";
        return false;
    }
    if (s.context) {
        *error = "the host has one OpenGL context; a second one is not supported";
        return false;
    }
    if (!backend().createContext(error)) return false;
    s.context = true;
    s.current = true;

    s.backWidth = std::max(1, s.window.width);
    s.backHeight = std::max(1, s.window.height);
    glGenFramebuffers(1, &s.backFramebuffer);
    glGenRenderbuffers(1, &s.backColor);
    glGenRenderbuffers(1, &s.backDepth);
    glBindRenderbuffer(GL_RENDERBUFFER, s.backColor);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, s.backWidth, s.backHeight);
    glBindRenderbuffer(GL_RENDERBUFFER, s.backDepth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, s.backWidth, s.backHeight);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, s.backFramebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s.backColor);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, s.backDepth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        *error = "the OpenGL driver cannot make the back buffer";
        deleteBackBuffer();
        backend().destroyContext();
        s.context = s.current = false;
        return false;
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    // A new window's back buffer starts black, as the first presented frame shows it.
    glViewport(0, 0, s.backWidth, s.backHeight);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    return true;
}

void destroyContext() {
    HostState& s = state();
    if (!s.context) return;
    backend().makeCurrent(true);
    deleteBackBuffer();
    backend().destroyContext();
    s.context = false;
    s.current = false;
    s.lastSwapInterval = -1;
}

bool contextExists() { return state().context; }

bool makeCurrent(bool current) {
    HostState& s = state();
    if (!s.context) return false;
    if (!backend().makeCurrent(current)) return false;
    s.current = current;
    if (current) glBindFramebuffer(GL_FRAMEBUFFER, s.backFramebuffer);
    return true;
}

bool contextCurrent() { return state().current; }

void* glProcAddress(const char* name) { return backend().procAddress(name); }

unsigned backBufferFramebuffer() { return state().backFramebuffer; }
int backBufferWidth() { return state().backWidth; }
int backBufferHeight() { return state().backHeight; }

void present(bool waitForRetrace) {
    HostState& s = state();
    const Settings& settings = host::settings();
    uint64_t frame = s.presented;
    if (s.context && s.current) {
        SavedState saved;
        if (!settings.capturePath.empty() && settings.captureFrames.contains(frame)) writeCapture(frame);
        int width, height;
        backend().drawableSize(width, height);
        blitBackBuffer(0, width, height);
        backend().swap(waitForRetrace && !settings.fixedClock);
    }
    s.presented = frame + 1;
    // Listeners may add or remove listeners; walk a copy.
    auto listeners = s.listeners;
    for (auto& [id, listener] : listeners) listener(frame);
}

uint64_t presentedFrames() { return state().presented; }

int addPresentListener(PresentListener listener) {
    HostState& s = state();
    int id = s.nextListenerId++;
    s.listeners[id] = std::move(listener);
    return id;
}

void removePresentListener(int id) { state().listeners.erase(id); }

void shownToProgram(int shownX, int shownY, int& programX, int& programY) {
    HostState& s = state();
    int width, height;
    backend().drawableSize(width, height);
    Rect r = letterbox(s.window.width, s.window.height, width, height);
    int w = std::max(1, r.x1 - r.x0), h = std::max(1, r.y1 - r.y0);
    programX = (shownX - r.x0) * s.window.width / w;
    programY = (shownY - (height - r.y1)) * s.window.height / h;
}

void messageBox(const std::string& caption, const std::string& text, bool error) {
    backend().messageBox(caption, text, error);
}

void resetForTests() {
    HostState& s = state();
    if (s.windowOpen) closeWindow();
    s.backend.reset();
    s.presented = 0;
    s.capture.reset();
    s.listeners.clear();
    s.nextScripted = 0;
    std::fill(std::begin(s.keys), std::end(s.keys), false);
    s.cursorX = s.cursorY = 0;
    s.lastSwapInterval = -1;
    s.window = WindowRequest{};
}

}  // namespace host
