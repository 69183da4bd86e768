// Window mode: an SDL2 window with an OpenGL compatibility context. The program's picture is
// scaled into the window with its aspect kept; full screen is SDL's desktop full screen.
#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdio>

#include "backend.h"

namespace host {
namespace {

int virtualKeyFromSdl(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
    if (key >= SDLK_KP_1 && key <= SDLK_KP_9) return 0x61 + (key - SDLK_KP_1);
    switch (key) {
    case SDLK_BACKSPACE: return 0x08;
    case SDLK_TAB: return 0x09;
    case SDLK_RETURN: case SDLK_KP_ENTER: return 0x0D;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return 0x10;
    case SDLK_LCTRL: case SDLK_RCTRL: return 0x11;
    case SDLK_ESCAPE: return 0x1B;
    case SDLK_SPACE: return 0x20;
    case SDLK_PAGEUP: return 0x21;
    case SDLK_PAGEDOWN: return 0x22;
    case SDLK_END: return 0x23;
    case SDLK_HOME: return 0x24;
    case SDLK_LEFT: return 0x25;
    case SDLK_UP: return 0x26;
    case SDLK_RIGHT: return 0x27;
    case SDLK_DOWN: return 0x28;
    case SDLK_INSERT: return 0x2D;
    case SDLK_DELETE: return 0x2E;
    case SDLK_KP_0: return 0x60;
    case SDLK_KP_MULTIPLY: return 0x6A;
    case SDLK_KP_PLUS: return 0x6B;
    case SDLK_KP_MINUS: return 0x6D;
    case SDLK_KP_PERIOD: return 0x6E;
    case SDLK_KP_DIVIDE: return 0x6F;
    default: return 0;
    }
}

class WindowBackend final : public Backend {
public:
    ~WindowBackend() override { close(); }

    bool open(const WindowRequest& request, int shownWidth, int shownHeight, std::string* error) override {
        if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            *error = std::string("SDL cannot open the display: ") + SDL_GetError();
            return false;
        }
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
        if (request.borderless) flags |= SDL_WINDOW_BORDERLESS;
        else flags |= SDL_WINDOW_RESIZABLE;
        if (request.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        window_ = SDL_CreateWindow(request.title.c_str(), request.x, request.y, shownWidth, shownHeight, flags);
        if (!window_) {
            *error = std::string("SDL cannot create the window: ") + SDL_GetError();
            return false;
        }
        return true;
    }

    void close() override {
        destroyContext();
        if (window_) SDL_DestroyWindow(window_);
        window_ = nullptr;
    }

    void show(bool visible) override {
        if (!window_) return;
        if (visible) {
            SDL_ShowWindow(window_);
            SDL_RaiseWindow(window_);
        } else {
            SDL_HideWindow(window_);
        }
    }

    void setTitle(const std::string& title) override {
        if (window_) SDL_SetWindowTitle(window_, title.c_str());
    }

    void resizeShown(int width, int height) override {
        if (window_ && !(SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP))
            SDL_SetWindowSize(window_, width, height);
    }

    void setFullscreen(bool fullscreen) override {
        if (window_) SDL_SetWindowFullscreen(window_, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    }

    bool canShow(int width, int height, int bitsPerPixel) override {
        if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
        return mode.w >= width && mode.h >= height && int(SDL_BITSPERPIXEL(mode.format)) <= std::max(bitsPerPixel, 32);
    }

    bool screenSize(int& width, int& height) override {
        if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return false;
        width = mode.w;
        height = mode.h;
        return true;
    }

    bool createContext(std::string* error) override {
        context_ = SDL_GL_CreateContext(window_);
        if (!context_) {
            *error = std::string("SDL cannot create an OpenGL compatibility context: ") + SDL_GetError();
            return false;
        }
        SDL_GL_MakeCurrent(window_, context_);
        return true;
    }

    void destroyContext() override {
        if (context_) SDL_GL_DeleteContext(context_);
        context_ = nullptr;
        swapInterval_ = -1;
    }

    bool makeCurrent(bool current) override {
        if (!context_) return false;
        return SDL_GL_MakeCurrent(current ? window_ : nullptr, current ? context_ : nullptr) == 0;
    }

    void* procAddress(const char* name) override { return SDL_GL_GetProcAddress(name); }

    void drawableSize(int& width, int& height) override { SDL_GL_GetDrawableSize(window_, &width, &height); }

    void swap(bool waitForRetrace) override {
        int interval = waitForRetrace ? 1 : 0;
        if (interval != swapInterval_) {
            SDL_GL_SetSwapInterval(interval);
            swapInterval_ = interval;
        }
        SDL_GL_SwapWindow(window_);
    }

    bool pollEvent(InputEvent& event) override {
        SDL_Event e;
        while (SDL_PollEvent(&e))
            if (translate(e, event)) return true;
        return false;
    }

    bool waitEvent(InputEvent& event) override {
        SDL_Event e;
        while (SDL_WaitEvent(&e))
            if (translate(e, event)) return true;
        return false;
    }

    void cursorPosition(int& x, int& y) override {
        int globalX, globalY, windowX, windowY;
        SDL_GetGlobalMouseState(&globalX, &globalY);
        SDL_GetWindowPosition(window_, &windowX, &windowY);
        drawablePixels(globalX - windowX, globalY - windowY, x, y);
    }

    void showCursor(bool visible) override { SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE); }

    void messageBox(const std::string& caption, const std::string& text, bool error) override {
        Uint32 flags = error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
        if (SDL_ShowSimpleMessageBox(flags, caption.c_str(), text.c_str(), window_) != 0)
            std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    }

private:
    // A point in the window's coordinates in the pixels of its drawable (more on high-density
    // screens).
    void drawablePixels(int windowX, int windowY, int& x, int& y) {
        int drawableWidth, drawableHeight, windowWidth, windowHeight;
        SDL_GL_GetDrawableSize(window_, &drawableWidth, &drawableHeight);
        SDL_GetWindowSize(window_, &windowWidth, &windowHeight);
        x = windowX * drawableWidth / std::max(1, windowWidth);
        y = windowY * drawableHeight / std::max(1, windowHeight);
    }

    bool translate(const SDL_Event& e, InputEvent& event) {
        switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            int vk = virtualKeyFromSdl(e.key.keysym.sym);
            if (!vk) return false;
            event = {};
            event.type = e.type == SDL_KEYDOWN ? InputEvent::Type::KeyDown : InputEvent::Type::KeyUp;
            event.virtualKey = vk;
            event.repeat = e.key.repeat != 0;
            return true;
        }
        case SDL_MOUSEMOTION: {
            event = {};
            event.type = InputEvent::Type::MouseMove;
            int x, y;
            drawablePixels(e.motion.x, e.motion.y, x, y);
            shownToProgram(x, y, event.x, event.y);
            return true;
        }
        case SDL_QUIT:
            event = {};
            event.type = InputEvent::Type::Close;
            return true;
        case SDL_WINDOWEVENT:
            event = {};
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE: event.type = InputEvent::Type::Close; return true;
            case SDL_WINDOWEVENT_MINIMIZED: event.type = InputEvent::Type::Minimized; return true;
            case SDL_WINDOWEVENT_RESTORED: event.type = InputEvent::Type::Restored; return true;
            default: return false;
            }
        default:
            return false;
        }
    }

    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    int swapInterval_ = -1;
};

}  // namespace

std::unique_ptr<Backend> makeWindowBackend() { return std::make_unique<WindowBackend>(); }

}  // namespace host
