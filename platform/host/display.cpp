// The window, the OpenGL context with its back buffer, and presenting.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
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
    width = settings.shownWidth ? settings.shownWidth : s.window.width * s.scale;
    height = settings.shownHeight ? settings.shownHeight : s.window.height * s.scale;
}

int chooseRenderScale(int setting, int programWidth, int programHeight, int frameWidth, int frameHeight, bool fill) {
    if (setting > 0) return std::min(setting, maxRenderScale);
    if (programWidth <= 0 || programHeight <= 0 || frameWidth <= 0 || frameHeight <= 0) return 1;
    double fit = std::min(double(frameWidth) / programWidth, double(frameHeight) / programHeight);
    int scale = fill ? int(std::ceil(fit - 1e-9)) : int(std::floor(fit + 1e-9));
    return std::clamp(scale, 1, maxRenderScale);
}

namespace {

// The scale for the program's current size: DEMO_RENDER_SCALE, or for auto the frame it is
// shown in. With DEMO_SIZE that is the frame, filled when captured or headless, fitted in a
// window; without, a window fits the screen, and a headless run has no frame and stays at 1.
int currentRenderScale() {
    const Settings& settings = host::settings();
    const HostState& s = state();
    int frameWidth = settings.shownWidth, frameHeight = settings.shownHeight;
    bool window = settings.video == VideoBackend::Window;
    bool fill = !window || !settings.capturePath.empty();
    if (settings.renderScale == 0 && !frameWidth && window) {
        backend().screenSize(frameWidth, frameHeight);
        fill = false;
    }
    return chooseRenderScale(settings.renderScale, s.window.width, s.window.height, frameWidth, frameHeight, fill);
}

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
    for (GLuint* framebuffer : {&s.backFramebuffer, &s.captureFramebuffer, &s.resolveFramebuffer}) {
        if (*framebuffer) glDeleteFramebuffers(1, framebuffer);
        *framebuffer = 0;
    }
    for (GLuint* renderbuffer : {&s.backColor, &s.backDepth, &s.captureColor, &s.resolveColor, &s.resolveDepth,
                                 &s.scratchDepth}) {
        if (*renderbuffer) glDeleteRenderbuffers(1, renderbuffer);
        *renderbuffer = 0;
    }
    if (s.scratchFramebuffer) glDeleteFramebuffers(1, &s.scratchFramebuffer);
    if (s.scratchColor) glDeleteTextures(1, &s.scratchColor);
    s.scratchFramebuffer = s.scratchColor = 0;
    s.backWidth = s.backHeight = s.captureWidth = s.captureHeight = s.scratchWidth = s.scratchHeight = 0;
}

void storage(GLuint renderbuffer, int samples, GLenum format, int width, int height) {
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffer);
    if (samples)
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, format, width, height);
    else
        glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
}

// Gives the back buffer (and, when it is multisampled, the framebuffer it is resolved into)
// the program's current size times the render scale. The content is lost, as a resized
// window's would be.
void sizeBackBuffer() {
    HostState& s = state();
    s.backWidth = std::max(1, s.window.width) * s.scale;
    s.backHeight = std::max(1, s.window.height) * s.scale;
    storage(s.backColor, s.samples, GL_RGBA8, s.backWidth, s.backHeight);
    storage(s.backDepth, s.samples, GL_DEPTH24_STENCIL8, s.backWidth, s.backHeight);
    if (s.samples) {
        if (!s.resolveFramebuffer) {
            glGenFramebuffers(1, &s.resolveFramebuffer);
            glGenRenderbuffers(1, &s.resolveColor);
            glGenRenderbuffers(1, &s.resolveDepth);
        }
        storage(s.resolveColor, 0, GL_RGBA8, s.backWidth, s.backHeight);
        storage(s.resolveDepth, 0, GL_DEPTH24_STENCIL8, s.backWidth, s.backHeight);
        glBindFramebuffer(GL_FRAMEBUFFER, s.resolveFramebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s.resolveColor);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, s.resolveDepth);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, s.backFramebuffer);
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

// Copies the back buffer's picture (in `source`, the back buffer or its resolved copy) into
// `target` (0: the window) of the given size, letterboxed.
void blitBackBuffer(GLuint source, GLuint target, int width, int height) {
    HostState& s = state();
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
    glViewport(0, 0, width, height);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    Rect r = letterbox(s.backWidth, s.backHeight, width, height);
    bool sameSize = (r.x1 - r.x0) == s.backWidth && (r.y1 - r.y0) == s.backHeight;
    glBlitFramebuffer(0, 0, s.backWidth, s.backHeight, r.x0, r.y0, r.x1, r.y1, GL_COLOR_BUFFER_BIT,
                      sameSize ? GL_NEAREST : GL_LINEAR);
}

void writeCapture(uint64_t frame, GLuint picture) {
    HostState& s = state();
    const Settings& settings = host::settings();
    int width, height;
    shownSize(width, height);
    GLuint source = picture;
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
        blitBackBuffer(picture, s.captureFramebuffer, width, height);
        source = s.captureFramebuffer;
    }
    std::vector<uint8_t> pixels(size_t(width) * height * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, source);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    if (!s.capture)
        s.capture = std::make_unique<CaptureWriter>(settings.capturePath, settings.captureY4m,
                                                    settings.fixedClock ? settings.fixedFramesPerSecond : 30,
                                                    settings.fixedClock ? settings.fixedFrameRateDenominator : 1);
    std::string error;
    if (!s.capture->write(frame, pixels.data(), width, height, &error)) {
        std::fprintf(stderr, "[capture] %s\n", error.c_str());
        std::exit(2);
    }
}

// The largest scale up to `asked` whose back buffer the driver can make (it is told when that
// is less than asked).
int scaleOffered(int asked) {
    const HostState& s = state();
    GLint most = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &most);
    int scale = asked;
    while (scale > 1 && std::max(s.window.width, s.window.height) * scale > most) --scale;
    if (scale != asked)
        std::fprintf(stderr, "[host] DEMO_RENDER_SCALE: a back buffer of %dx%d is more than the OpenGL driver can make; drawing at scale %d\n",
                     s.window.width * asked, s.window.height * asked, scale);
    return scale;
}

}  // namespace

bool openWindow(const WindowRequest& request, std::string* error) {
    HostState& s = state();
    if (s.windowOpen) {
        *error = "the host shows one top-level window; a second one is not supported";
        return false;
    }
    s.window = request;
    s.scale = currentRenderScale();
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
    // A fixed scale stays (as far as the driver can go); auto follows the program's size.
    s.scale = s.context ? scaleOffered(currentRenderScale()) : currentRenderScale();
    int shownWidth, shownHeight;
    shownSize(shownWidth, shownHeight);
    backend().resizeShown(shownWidth, shownHeight);
    if (s.context) sizeBackBuffer();
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

bool createContext(std::string* error, bool programDrawsIntoBackBuffer) {
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

    s.samples = programDrawsIntoBackBuffer ? multisamples() : 0;
    s.scale = scaleOffered(s.scale);
    glGenFramebuffers(1, &s.backFramebuffer);
    glGenRenderbuffers(1, &s.backColor);
    glGenRenderbuffers(1, &s.backDepth);
    sizeBackBuffer();
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, s.backColor);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, s.backDepth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        *error = "the OpenGL driver cannot make a back buffer of " + std::to_string(s.backWidth) + "x" +
                 std::to_string(s.backHeight) + (s.samples ? " with " + std::to_string(s.samples) + " samples" : "");
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

ScratchFramebuffer scratchFramebuffer(int width, int height) {
    HostState& s = state();
    width = std::max(1, width);
    height = std::max(1, height);
    if (!s.scratchFramebuffer) {
        glGenFramebuffers(1, &s.scratchFramebuffer);
        glGenTextures(1, &s.scratchColor);
        glGenRenderbuffers(1, &s.scratchDepth);
    }
    if (width != s.scratchWidth || height != s.scratchHeight) {
        GLint texture = 0, readFramebuffer = 0, drawFramebuffer = 0, renderbuffer = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawFramebuffer);
        glGetIntegerv(GL_RENDERBUFFER_BINDING, &renderbuffer);
        glBindTexture(GL_TEXTURE_2D, s.scratchColor);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glBindTexture(GL_TEXTURE_2D, GLuint(texture));
        storage(s.scratchDepth, 0, GL_DEPTH24_STENCIL8, width, height);
        glBindRenderbuffer(GL_RENDERBUFFER, GLuint(renderbuffer));
        glBindFramebuffer(GL_FRAMEBUFFER, s.scratchFramebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s.scratchColor, 0);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, s.scratchDepth);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(readFramebuffer));
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, GLuint(drawFramebuffer));
        s.scratchWidth = width;
        s.scratchHeight = height;
    }
    return {s.scratchFramebuffer, s.scratchColor};
}

void reducePixels(const uint8_t* rgba, int width, int height, int scale, uint8_t* out) {
    const int outWidth = width / scale, outHeight = height / scale, count = scale * scale;
    std::vector<uint32_t> sums(size_t(outWidth) * 4);
    for (int y = 0; y < outHeight; ++y) {
        std::fill(sums.begin(), sums.end(), 0);
        for (int row = y * scale; row < (y + 1) * scale; ++row) {
            const uint8_t* in = rgba + size_t(row) * width * 4;
            for (int x = 0; x < outWidth; ++x)
                for (int column = 0; column < scale; ++column)
                    for (int c = 0; c < 4; ++c) sums[size_t(x) * 4 + c] += in[(size_t(x) * scale + column) * 4 + c];
        }
        uint8_t* line = out + size_t(y) * outWidth * 4;
        for (size_t i = 0; i < sums.size(); ++i) line[i] = uint8_t((sums[i] + uint32_t(count) / 2) / uint32_t(count));
    }
}

int multisamples() {
    int asked = settings().multisamples;
    GLint most = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &most);
    if (asked <= most) return asked;
    int offered = most < 2 ? 0 : most;
    std::fprintf(stderr, "[host] DEMO_MSAA=%d: the OpenGL driver offers at most %d samples; drawing with %d\n", asked,
                 most, offered);
    return offered;
}

int renderScale() { return state().scale; }
int backBufferSamples() { return state().samples; }

bool scaledDrawingRequested() {
    const Settings& settings = host::settings();
    return settings.renderScale != 1 || settings.multisamples != 0;
}

unsigned readableBackBuffer(bool withDepthAndStencil) {
    HostState& s = state();
    if (!s.samples) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, s.backFramebuffer);
        return s.backFramebuffer;
    }
    // Blits obey the scissor test; the whole picture is resolved.
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    if (scissor) glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.backFramebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.resolveFramebuffer);
    GLbitfield buffers = GL_COLOR_BUFFER_BIT | (withDepthAndStencil ? GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT : 0);
    glBlitFramebuffer(0, 0, s.backWidth, s.backHeight, 0, 0, s.backWidth, s.backHeight, buffers, GL_NEAREST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.backFramebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.resolveFramebuffer);
    if (scissor) glEnable(GL_SCISSOR_TEST);
    return s.resolveFramebuffer;
}

void present(bool waitForRetrace) {
    HostState& s = state();
    const Settings& settings = host::settings();
    uint64_t frame = s.presented;
    if (s.context && s.current) {
        SavedState saved;
        GLuint picture = readableBackBuffer(false);
        if (!settings.capturePath.empty() && settings.captureFrames.contains(frame)) writeCapture(frame, picture);
        int width, height;
        backend().drawableSize(width, height);
        blitBackBuffer(picture, 0, width, height);
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
    s.scale = 1;
    s.samples = 0;
}

}  // namespace host
