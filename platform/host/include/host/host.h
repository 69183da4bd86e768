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
// framebuffer object of the program's size; presenting scales it into the window (or the
// headless pbuffer) and records captures.
bool createContext(std::string* error);
void destroyContext();
bool contextExists();
bool makeCurrent(bool current);
bool contextCurrent();
void* glProcAddress(const char* name);
unsigned backBufferFramebuffer();
int backBufferWidth();
int backBufferHeight();

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
