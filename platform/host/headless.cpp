// Headless: an EGL pbuffer on Mesa's surfaceless platform. No display server is needed;
// nothing is shown, frames reach the user through capture.
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

#include "backend.h"

namespace host {
namespace {

class HeadlessBackend final : public Backend {
public:
    ~HeadlessBackend() override { terminate(); }

    bool open(const WindowRequest&, int shownWidth, int shownHeight, std::string*) override {
        width_ = shownWidth;
        height_ = shownHeight;
        return true;
    }
    void close() override { destroyContext(); }
    void show(bool) override {}
    void setTitle(const std::string&) override {}
    void setFullscreen(bool) override {}
    bool canShow(int, int, int) override { return true; }
    bool screenSize(int&, int&) override { return false; }

    void resizeShown(int width, int height) override {
        width_ = width;
        height_ = height;
        if (context_ == EGL_NO_CONTEXT) return;
        EGLSurface old = surface_;
        surface_ = makeSurface();
        eglMakeCurrent(display_, surface_, surface_, context_);
        if (old != EGL_NO_SURFACE) eglDestroySurface(display_, old);
    }

    bool createContext(std::string* error) override {
        if (!initialise(error)) return false;
        surface_ = makeSurface();
        if (surface_ == EGL_NO_SURFACE) {
            *error = "EGL cannot create a pbuffer of " + std::to_string(width_) + "x" + std::to_string(height_);
            return false;
        }
        const EGLint compatibility[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
        context_ = eglCreateContext(display_, config_, EGL_NO_CONTEXT, compatibility);
        if (context_ == EGL_NO_CONTEXT) {
            eglDestroySurface(display_, surface_);
            surface_ = EGL_NO_SURFACE;
            *error = "EGL cannot create an OpenGL 3.0 compatibility context";
            return false;
        }
        if (!eglMakeCurrent(display_, surface_, surface_, context_)) {
            destroyContext();
            *error = "EGL cannot make the context current";
            return false;
        }
        return true;
    }

    void destroyContext() override {
        if (display_ == EGL_NO_DISPLAY) return;
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
        if (surface_ != EGL_NO_SURFACE) eglDestroySurface(display_, surface_);
        context_ = EGL_NO_CONTEXT;
        surface_ = EGL_NO_SURFACE;
    }

    bool makeCurrent(bool current) override {
        if (context_ == EGL_NO_CONTEXT) return false;
        return current ? eglMakeCurrent(display_, surface_, surface_, context_)
                       : eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }

    void* procAddress(const char* name) override { return reinterpret_cast<void*>(eglGetProcAddress(name)); }

    void drawableSize(int& width, int& height) override {
        width = width_;
        height = height_;
    }

    void swap(bool) override { eglSwapBuffers(display_, surface_); }

    bool pollEvent(InputEvent&) override { return false; }
    bool waitEvent(InputEvent&) override { return false; }
    void cursorPosition(int& x, int& y) override { x = y = 0; }
    void showCursor(bool) override {}

    void messageBox(const std::string& caption, const std::string& text, bool) override {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        std::fflush(stderr);
    }

private:
    bool initialise(std::string* error) {
        if (display_ != EGL_NO_DISPLAY) return true;
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!getPlatformDisplay) {
            *error = "EGL lacks eglGetPlatformDisplayEXT (Mesa's EGL is needed for headless rendering)";
            return false;
        }
        display_ = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        EGLint major = 0, minor = 0;
        if (display_ == EGL_NO_DISPLAY || !eglInitialize(display_, &major, &minor)) {
            display_ = EGL_NO_DISPLAY;
            *error = "EGL cannot open Mesa's surfaceless platform";
            return false;
        }
        if (!eglBindAPI(EGL_OPENGL_API)) {
            *error = "EGL has no desktop OpenGL";
            return false;
        }
        const EGLint attributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                     EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                     EGL_NONE};
        EGLint count = 0;
        if (!eglChooseConfig(display_, attributes, &config_, 1, &count) || count < 1) {
            *error = "EGL has no 8-bit RGBA pbuffer configuration for OpenGL";
            return false;
        }
        return true;
    }

    EGLSurface makeSurface() {
        const EGLint size[] = {EGL_WIDTH, width_ > 0 ? width_ : 1, EGL_HEIGHT, height_ > 0 ? height_ : 1, EGL_NONE};
        return eglCreatePbufferSurface(display_, config_, size);
    }

    void terminate() {
        destroyContext();
        if (display_ != EGL_NO_DISPLAY) eglTerminate(display_);
        display_ = EGL_NO_DISPLAY;
    }

    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLConfig config_ = nullptr;
    EGLSurface surface_ = EGL_NO_SURFACE;
    EGLContext context_ = EGL_NO_CONTEXT;
    int width_ = 0, height_ = 0;
};

}  // namespace

std::unique_ptr<Backend> makeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace host
