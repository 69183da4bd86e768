// Window classes, windows, painting and the default window procedure.
#include <algorithm>
#include <cstdio>

#include "host/host.h"
#include "internal.h"

namespace win32 {

State& state() {
    static State* s = new State;  // never destroyed: programs use windows from global destructors
    return *s;
}

Window* findWindow(HWND handle) {
    auto& windows = state().windows;
    auto it = windows.find(handle);
    return it == windows.end() ? nullptr : it->second.get();
}

Window* findWindowByDC(HDC dc) {
    for (auto& [handle, window] : state().windows)
        if (window->dc == dc) return window.get();
    return nullptr;
}

Window* hostWindow() {
    for (auto& [handle, window] : state().windows)
        if (window->hostWindow) return window.get();
    return nullptr;
}

std::string lowerCase(const char* text) {
    std::string s = text ? text : "";
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

void resetForTests() {
    State& s = state();
    s.classes.clear();
    s.windows.clear();
    s.queue = Queue{};
    s.focus = s.active = nullptr;
    s.cursorCount = 0;
}

namespace {

// Window-frame sizes of the classic desktop: caption 19 pixels, sizing frame 4, dialog frame 3.
constexpr int captionHeight = 19, sizingFrame = 4, dialogFrame = 3;

RECT nonClientMargins(DWORD style) {
    int frame = 0;
    if (style & WS_THICKFRAME) frame = sizingFrame;
    else if ((style & WS_CAPTION) == WS_CAPTION || (style & WS_DLGFRAME)) frame = dialogFrame;
    else if (style & WS_BORDER) frame = 1;
    int caption = (style & WS_CAPTION) == WS_CAPTION ? captionHeight : 0;
    return {frame, frame + caption, frame, frame};
}

void setOuter(Window& window, int x, int y, int width, int height) {
    window.outer = {x, y, x + width, y + height};
    RECT m = nonClientMargins(window.style);
    window.clientWidth = std::max(0, width - int(m.left + m.right));
    window.clientHeight = std::max(0, height - int(m.top + m.bottom));
}

void updateHost(Window& window) {
    if (!window.hostWindow) return;
    RECT m = nonClientMargins(window.style);
    host::setWindowGeometry(window.outer.left + m.left, window.outer.top + m.top, window.clientWidth,
                            window.clientHeight);
}

LPARAM clientOriginParam(const Window& window) {
    RECT m = nonClientMargins(window.style);
    return MAKELPARAM(window.outer.left + m.left, window.outer.top + m.top);
}

void activate(Window& window) {
    State& s = state();
    if (s.active != window.handle) {
        HWND previous = s.active;
        s.active = window.handle;
        SendMessageA(window.handle, WM_ACTIVATEAPP, TRUE, 0);
        SendMessageA(window.handle, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(previous));
    }
    if (s.focus != window.handle) SetFocus(window.handle);
}

void minimize(Window& window) {
    if (window.minimized) return;
    window.minimized = true;
    SendMessageA(window.handle, WM_SIZE, SIZE_MINIMIZED, 0);
}

void restore(Window& window) {
    if (!window.minimized) return;
    window.minimized = false;
    window.needsPaint = window.needsErase = true;
    SendMessageA(window.handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window.clientWidth, window.clientHeight));
}

}  // namespace

}  // namespace win32

using namespace win32;

extern "C" {

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (!windowClass || !windowClass->lpszClassName || !windowClass->lpfnWndProc ||
        windowClass->cbSize != sizeof(WNDCLASSEXA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string key = lowerCase(windowClass->lpszClassName);
    auto& classes = state().classes;
    if (classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    WindowClass c;
    c.name = windowClass->lpszClassName;
    c.style = windowClass->style;
    c.procedure = windowClass->lpfnWndProc;
    c.instance = windowClass->hInstance;
    c.icon = windowClass->hIcon;
    c.smallIcon = windowClass->hIconSm;
    c.cursor = windowClass->hCursor;
    c.background = windowClass->hbrBackground;
    classes[key] = c;
    return ATOM(0xC000 + classes.size());
}

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    if (!windowClass) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WNDCLASSEXA ex{};
    ex.cbSize = sizeof ex;
    ex.style = windowClass->style;
    ex.lpfnWndProc = windowClass->lpfnWndProc;
    ex.cbClsExtra = windowClass->cbClsExtra;
    ex.cbWndExtra = windowClass->cbWndExtra;
    ex.hInstance = windowClass->hInstance;
    ex.hIcon = windowClass->hIcon;
    ex.hCursor = windowClass->hCursor;
    ex.hbrBackground = windowClass->hbrBackground;
    ex.lpszMenuName = windowClass->lpszMenuName;
    ex.lpszClassName = windowClass->lpszClassName;
    return RegisterClassExA(&ex);
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE) {
    return state().classes.erase(lowerCase(className)) ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU, HINSTANCE instance, LPVOID param) {
    State& s = state();
    auto found = s.classes.find(lowerCase(className));
    if (found == s.classes.end()) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (style & WS_CHILD) {
        std::fprintf(stderr, "[win32] CreateWindowExA: child windows are not supported\n");
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    // Overlapped windows always have a caption and a border.
    if (!(style & WS_POPUP)) style |= WS_CAPTION | WS_CLIPSIBLINGS;
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
        width = 640;
        height = 480;
    }

    auto window = std::make_unique<Window>();
    window->handle = reinterpret_cast<HWND>(s.nextHandle);
    window->dc = reinterpret_cast<HDC>(s.nextHandle + 1);
    s.nextHandle += 0x10;
    window->className = found->second.name;
    window->procedure = found->second.procedure;
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->title = windowName ? windowName : "";
    setOuter(*window, x, y, width, height);
    HWND handle = window->handle;
    Window& w = *window;
    s.windows[handle] = std::move(window);

    // The first top-level window of the process is the one the host shows.
    if (!parent && !hostWindow()) {
        RECT m = nonClientMargins(w.style);
        host::WindowRequest request;
        request.title = w.title;
        request.x = int(w.outer.left + m.left);
        request.y = int(w.outer.top + m.top);
        request.width = w.clientWidth;
        request.height = w.clientHeight;
        request.borderless = (w.style & WS_POPUP) && (w.style & WS_CAPTION) != WS_CAPTION;
        request.topmost = (exStyle & WS_EX_TOPMOST) != 0;
        std::string error;
        if (host::windowOpen()) {
            host::setWindowTitle(request.title);
            host::setWindowGeometry(request.x, request.y, request.width, request.height);
            w.hostWindow = true;
        } else if (host::openWindow(request, &error)) {
            w.hostWindow = true;
        } else {
            std::fprintf(stderr, "[win32] CreateWindowExA: %s\n", error.c_str());
            s.windows.erase(handle);
            SetLastError(ERROR_NOT_SUPPORTED);
            return nullptr;
        }
    }

    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hwndParent = parent;
    create.cx = width;
    create.cy = height;
    create.x = x;
    create.y = y;
    create.style = LONG(style);
    create.lpszName = windowName;
    create.lpszClass = className;
    create.dwExStyle = exStyle;
    LPARAM createParam = reinterpret_cast<LPARAM>(&create);
    if (!SendMessageA(handle, WM_NCCREATE, 0, createParam) || SendMessageA(handle, WM_CREATE, 0, createParam) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (!findWindow(handle)) return nullptr;  // destroyed while being created
    SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w.clientWidth, w.clientHeight));
    SendMessageA(handle, WM_MOVE, 0, clientOriginParam(w));
    if (style & WS_VISIBLE) ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL WINAPI IsWindow(HWND handle) { return findWindow(handle) ? TRUE : FALSE; }

BOOL WINAPI DestroyWindow(HWND handle) {
    Window* window = findWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->destroying) return TRUE;
    window->destroying = true;
    State& s = state();
    if (window->visible) {
        window->visible = false;
        if (window->hostWindow) host::showWindow(false);
    }
    SendMessageA(handle, WM_DESTROY, 0, 0);
    SendMessageA(handle, WM_NCDESTROY, 0, 0);
    if (s.focus == handle) s.focus = nullptr;
    if (s.active == handle) s.active = nullptr;
    auto drop = [handle](std::deque<MSG>& queue) {
        queue.erase(std::remove_if(queue.begin(), queue.end(), [handle](const MSG& m) { return m.hwnd == handle; }),
                    queue.end());
    };
    drop(s.queue.posted);
    drop(s.queue.input);
    // The host keeps its window (hidden) and its OpenGL context: objects made on the context
    // may still be released after the window is gone.
    s.windows.erase(handle);
    return TRUE;
}

LRESULT WINAPI DefWindowProcA(HWND handle, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(handle);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(handle, &paint);
        EndPaint(handle, &paint);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: return SendMessageA(handle, WM_CLOSE, 0, 0);
        case SC_MINIMIZE: ShowWindow(handle, SW_MINIMIZE); return 0;
        case SC_RESTORE: ShowWindow(handle, SW_RESTORE); return 0;
        default: return 0;
        }
    case WM_SETCURSOR:
        return FALSE;
    default:
        return 0;
    }
}

LRESULT WINAPI CallWindowProcA(WNDPROC procedure, HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    return procedure ? procedure(handle, message, wParam, lParam) : 0;
}

BOOL WINAPI ShowWindow(HWND handle, int command) {
    Window* window = findWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    BOOL wasVisible = window->visible ? TRUE : FALSE;
    switch (command) {
    case SW_HIDE:
        if (window->visible) {
            SendMessageA(handle, WM_SHOWWINDOW, FALSE, 0);
            window->visible = false;
            if (window->hostWindow) host::showWindow(false);
        }
        return wasVisible;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        if (!window->visible) {
            SendMessageA(handle, WM_SHOWWINDOW, TRUE, 0);
            window->visible = true;
            if (window->hostWindow) host::showWindow(true);
        }
        minimize(*window);
        return wasVisible;
    default:
        break;
    }
    if (!window->visible) {
        SendMessageA(handle, WM_SHOWWINDOW, TRUE, 0);
        window->visible = true;
        window->needsPaint = window->needsErase = true;
        if (window->hostWindow) host::showWindow(true);
    }
    restore(*window);
    if (command != SW_SHOWNA && command != SW_SHOWNOACTIVATE) activate(*window);
    return wasVisible;
}

BOOL WINAPI UpdateWindow(HWND handle) {
    Window* window = findWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->visible && window->needsPaint) SendMessageA(handle, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI RedrawWindow(HWND handle, const RECT*, HANDLE, UINT flags) {
    Window* window = findWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (flags & RDW_INVALIDATE) {
        window->needsPaint = true;
        if (flags & RDW_ERASE) window->needsErase = true;
    }
    if (flags & RDW_VALIDATE) window->needsPaint = window->needsErase = false;
    if (flags & RDW_INTERNALPAINT) window->internalPaint = true;
    if (flags & RDW_NOINTERNALPAINT) window->internalPaint = false;
    if (flags & RDW_NOERASE) window->needsErase = false;
    if ((flags & RDW_UPDATENOW) && window->visible && (window->needsPaint || window->internalPaint))
        SendMessageA(handle, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND handle, const RECT*, BOOL erase) {
    return RedrawWindow(handle, nullptr, nullptr, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
}

BOOL WINAPI ValidateRect(HWND handle, const RECT*) { return RedrawWindow(handle, nullptr, nullptr, RDW_VALIDATE); }

HDC WINAPI BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
    Window* window = findWindow(handle);
    if (!window || !paint) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    bool erase = window->needsErase;
    window->needsPaint = window->needsErase = window->internalPaint = false;
    *paint = PAINTSTRUCT{};
    paint->hdc = window->dc;
    paint->rcPaint = {0, 0, window->clientWidth, window->clientHeight};
    paint->fErase = erase ? TRUE : FALSE;
    if (erase) paint->fErase = SendMessageA(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(window->dc), 0) ? FALSE : TRUE;
    return window->dc;
}

BOOL WINAPI EndPaint(HWND handle, const PAINTSTRUCT*) { return findWindow(handle) ? TRUE : FALSE; }

HDC WINAPI GetDC(HWND handle) {
    Window* window = findWindow(handle);
    return window ? window->dc : nullptr;
}

int WINAPI ReleaseDC(HWND handle, HDC dc) {
    Window* window = findWindow(handle);
    return window && window->dc == dc ? 1 : 0;
}

HWND WINAPI WindowFromDC(HDC dc) {
    Window* window = findWindowByDC(dc);
    return window ? window->handle : nullptr;
}

BOOL WINAPI GetClientRect(HWND handle, LPRECT rect) {
    Window* window = findWindow(handle);
    if (!window || !rect) return FALSE;
    *rect = {0, 0, window->clientWidth, window->clientHeight};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND handle, LPRECT rect) {
    Window* window = findWindow(handle);
    if (!window || !rect) return FALSE;
    *rect = window->outer;
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD) {
    if (!rect) return FALSE;
    if (!(style & WS_POPUP)) style |= WS_CAPTION;
    RECT m = nonClientMargins(style);
    rect->left -= m.left;
    rect->top -= m.top;
    rect->right += m.right;
    rect->bottom += m.bottom;
    return TRUE;
}

BOOL WINAPI AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) { return AdjustWindowRectEx(rect, style, menu, 0); }

BOOL WINAPI MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
    Window* window = findWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT before = window->outer;
    int clientWidth = window->clientWidth, clientHeight = window->clientHeight;
    setOuter(*window, x, y, width, height);
    updateHost(*window);
    bool moved = before.left != window->outer.left || before.top != window->outer.top;
    bool resized = clientWidth != window->clientWidth || clientHeight != window->clientHeight;
    SendMessageA(handle, WM_WINDOWPOSCHANGED, 0, 0);
    if (moved) SendMessageA(handle, WM_MOVE, 0, clientOriginParam(*window));
    if (resized)
        SendMessageA(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(window->clientWidth, window->clientHeight));
    if (repaint) window->needsPaint = window->needsErase = true;
    return TRUE;
}

BOOL WINAPI CloseWindow(HWND handle) {
    Window* window = findWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    minimize(*window);
    return TRUE;
}

BOOL WINAPI IsIconic(HWND handle) {
    Window* window = findWindow(handle);
    return window && window->minimized ? TRUE : FALSE;
}

BOOL WINAPI SetWindowTextA(HWND handle, LPCSTR text) {
    Window* window = findWindow(handle);
    if (!window) return FALSE;
    window->title = text ? text : "";
    if (window->hostWindow) host::setWindowTitle(window->title);
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN: return 1024;
    case SM_CYSCREEN: return 768;
    case SM_CYCAPTION: return captionHeight;
    case SM_CXFRAME:
    case SM_CYFRAME: return sizingFrame;
    default: return 0;
    }
}

HWND WINAPI SetFocus(HWND handle) {
    State& s = state();
    HWND previous = s.focus;
    if (handle && !findWindow(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (previous == handle) return previous;
    s.focus = handle;
    if (previous && findWindow(previous)) SendMessageA(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(handle), 0);
    if (handle) SendMessageA(handle, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    return previous;
}

HWND WINAPI GetFocus(void) { return state().focus; }
HWND WINAPI GetActiveWindow(void) { return state().active; }
HWND WINAPI GetForegroundWindow(void) { return state().active; }

BOOL WINAPI SetForegroundWindow(HWND handle) {
    Window* window = findWindow(handle);
    if (!window) return FALSE;
    activate(*window);
    return TRUE;
}

}  // extern "C"

#include "win32/testing.h"

void win32::testing::reset() {
    win32::resetForTests();
    host::resetForTests();
}
