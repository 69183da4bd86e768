// The host: the one place where the platform stand-ins meet the machine.
// It owns the window (an SDL2 window, or an EGL pbuffer when headless), the OpenGL context with
// the back buffer programs draw into, the show clock, keyboard and mouse input (real or
// scripted), frame capture and message boxes. Programs never include this header; the
// stand-ins (win32, gl, d3d7, sound) do.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "host/settings.h"

namespace host {

// ---- Clock -------------------------------------------------------------------------------
// The performance counter. Real clock: a monotonic counter at 10 MHz. Fixed clock: starts at 0,
// runs at fps x 1,000,000 counts a second and advances by exactly one frame (1,000,000 counts)
// at each presented frame.
int64_t counterFrequency();
int64_t counterNow();

// ---- The window ---------------------------------------------------------------------------
struct WindowRequest {
    std::string title;
    int x = 0, y = 0;            // screen position of the client area
    int width = 640, height = 480;  // client size in the program's pixels
    bool borderless = false;     // a pop-up window without frame
    bool topmost = false;
};

// Creates the host window, hidden. Only one exists at a time; false with a reason otherwise.
bool openWindow(const WindowRequest& request, std::string* error);
void closeWindow();
bool windowOpen();
void showWindow(bool visible);
void setWindowTitle(const std::string& title);
// The program's drawing size (the back buffer) and where its client area sits on the screen.
void setWindowGeometry(int x, int y, int width, int height);
// Desktop full-screen: the picture is scaled to the screen with its aspect kept.
void setFullscreen(bool fullscreen);
bool windowVisible();
// Whether the desktop could show a window of this size at this colour depth.
bool displayCanShow(int width, int height, int bitsPerPixel);

// ---- OpenGL ---------------------------------------------------------------------------------
// A compatibility-profile context on the window. Programs draw into the back buffer, a
// framebuffer object of the program's size times the render scale; presenting scales it into
// the window (or the headless pbuffer) and records captures. The back buffer is multisampled
// (DEMO_MSAA) when the program draws into it itself; a stand-in that draws into a target of
// its own and copies it into the back buffer asks for a plain one.
bool createContext(std::string* error, bool programDrawsIntoBackBuffer = true);
void destroyContext();
bool contextExists();
bool makeCurrent(bool current);
bool contextCurrent();
void* glProcAddress(const char* name);
unsigned backBufferFramebuffer();
// The back buffer's size in its own pixels (the program's size times renderScale()).
int backBufferWidth();
int backBufferHeight();

// ---- Drawing at n times the program's size ---------------------------------------------------
// With DEMO_RENDER_SCALE the back buffer has n x n pixels for each pixel of the program, and
// with DEMO_MSAA it is multisampled. Programs never see it: the stand-ins multiply every size
// and position they are given in pixels by the scale, and answer every question about pixels
// in the program's pixels.

// The scale the back buffer is drawn at (1 to maxRenderScale).
int renderScale();
// Samples per pixel of the back buffer; 0 when it is not multisampled.
int backBufferSamples();
// Samples per pixel DEMO_MSAA asks for, within what the driver offers (when it offers fewer,
// standard error says so). Needs the context.
int multisamples();
// Whether the settings ask for anything but the program's own size without multisampling.
// The stand-ins decide with it, when programs bind them, whether calls go through their
// scaling code at all.
bool scaledDrawingRequested();
// Binds, as the read framebuffer, one that holds the back buffer's picture and can be read
// from (glReadPixels, copies, blits), and returns its name: the back buffer itself, or its
// multisampled content resolved now (depth and stencil too when asked for).
unsigned readableBackBuffer(bool withDepthAndStencil);

// A framebuffer of width x height (8-bit RGBA colour in a texture, depth and stencil in a
// renderbuffer) for a stand-in's own use inside one call of a program, such as holding the
// picture reduced to the program's size. Made on demand, resized when asked for another size,
// gone with the context. Binds nothing.
struct ScratchFramebuffer {
    unsigned framebuffer = 0, colorTexture = 0;
};
ScratchFramebuffer scratchFramebuffer(int width, int height);

// Reduces a picture of 8-bit RGBA pixels (rows of `width`, any order) by `scale` in each
// direction: each pixel of `out` ((width / scale) x (height / scale)) is the mean, rounded, of
// the scale x scale pixels it stands for.
void reducePixels(const uint8_t* rgba, int width, int height, int scale, uint8_t* out);

// The scale DEMO_RENDER_SCALE asks for, for a program of programWidth x programHeight shown in
// a frame of frameWidth x frameHeight (0 x 0: unknown). A fixed setting is used as it is;
// auto (0) takes the largest scale whose picture fits the frame (`fill` false: a window on a
// screen) or the smallest whose picture covers the frame's picture with the aspect kept
// (`fill` true: a capture, which is then drawn at least as sharp as it is shown).
int chooseRenderScale(int setting, int programWidth, int programHeight, int frameWidth, int frameHeight, bool fill);

// Shows the back buffer: scales it to the shown size, writes the capture, swaps, advances the
// fixed clock by one frame, tells the present listeners and queues the scripted input of the
// next frame.
void present(bool waitForRetrace);
uint64_t presentedFrames();

using PresentListener = std::function<void(uint64_t presentedFrame)>;
int addPresentListener(PresentListener listener);
void removePresentListener(int id);

// ---- Input -----------------------------------------------------------------------------------
struct InputEvent {
    enum class Type { KeyDown, KeyUp, MouseMove, Close, Minimized, Restored };
    Type type = Type::KeyDown;
    int virtualKey = 0;
    bool repeat = false;
    int x = 0, y = 0;    // MouseMove: client position in the program's pixels
};

// Takes the next input without waiting.
bool pollInput(InputEvent& event);
// Waits for the next input. Headless, nothing can arrive but scripted input, so the next
// scripted event is delivered at once; false when no input can ever arrive.
bool waitInput(InputEvent& event);
bool keyDown(int virtualKey);
void cursorPosition(int& x, int& y);
void showCursor(bool visible);

// ---- Message boxes ---------------------------------------------------------------------------
// Window mode: a real message box. Headless: "[<caption>] <text>" on standard error, answered OK.
void messageBox(const std::string& caption, const std::string& text, bool error);

// Tests: forget all state (window, context, clock, input) so a test can start again.
void resetForTests();

}  // namespace host
