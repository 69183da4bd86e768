// Shared state of the Win32 stand-in: window classes, windows and the thread's message queue.
// Private to platform/win32 (and to platform/gl, which keeps pixel formats on windows).
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <string>

namespace win32 {

struct WindowClass {
    std::string name;
    UINT style = 0;
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr, smallIcon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

struct Window {
    HWND handle = nullptr;
    HDC dc = nullptr;
    std::string className;
    WNDPROC procedure = nullptr;
    DWORD style = 0, exStyle = 0;
    std::string title;
    RECT outer{};                  // screen coordinates
    int clientWidth = 0, clientHeight = 0;
    bool visible = false;
    bool minimized = false;
    bool destroying = false;
    bool needsPaint = false;       // the update region is not empty
    bool needsErase = false;
    bool internalPaint = false;
    bool hostWindow = false;       // this window is the one the host shows
    int pixelFormat = 0;           // set once by SetPixelFormat
};

struct Queue {
    std::deque<MSG> posted;
    std::deque<MSG> input;
    bool quit = false;
    int quitCode = 0;
};

struct State {
    std::map<std::string, WindowClass> classes;   // key: lower-case class name
    std::map<HWND, std::unique_ptr<Window>> windows;
    uintptr_t nextHandle = 0x10010;
    Queue queue;
    HWND focus = nullptr;
    HWND active = nullptr;
    int cursorCount = 0;
};

State& state();
Window* findWindow(HWND handle);
Window* findWindowByDC(HDC dc);
// The window the host shows, if any.
Window* hostWindow();
std::string lowerCase(const char* text);
DWORD messageTime();

// Forgets every window, class and message (tests only).
void resetForTests();

}  // namespace win32
