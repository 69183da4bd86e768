// The thread's message queue. Retrieval follows Windows' order: posted messages, then input
// (keyboard, mouse, window-system requests), then WM_QUIT once nothing else is queued, then
// WM_PAINT for a window that needs painting.
#include <cstdio>
#include <cstdlib>

#include "host/host.h"
#include "internal.h"

namespace win32 {

DWORD messageTime() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return DWORD(count.QuadPart * 1000 / frequency.QuadPart);
}

namespace {

MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = messageTime();
    int x = 0, y = 0;
    host::cursorPosition(x, y);
    m.pt = {x, y};
    return m;
}

// Scan codes of the keys scripts and keyboards press, for the key messages' lParam.
int scanCode(int vk) {
    switch (vk) {
    case VK_ESCAPE: return 0x01;
    case VK_BACK: return 0x0E;
    case VK_TAB: return 0x0F;
    case VK_RETURN: return 0x1C;
    case VK_SPACE: return 0x39;
    case VK_UP: return 0x48;
    case VK_LEFT: return 0x4B;
    case VK_RIGHT: return 0x4D;
    case VK_DOWN: return 0x50;
    case VK_ADD: return 0x4E;
    case VK_SUBTRACT: return 0x4A;
    default: break;
    }
    if (vk >= '1' && vk <= '9') return 0x02 + (vk - '1');
    if (vk == '0') return 0x0B;
    static const char letters[] = "QWERTYUIOP\0\0\0\0ASDFGHJKL\0\0\0\0\0ZXCVBNM";
    for (int i = 0; i < int(sizeof letters); ++i)
        if (letters[i] == vk) return 0x10 + i;
    return 0;
}

// Moves whatever the host has for us into the input queue.
void takeInput(const host::InputEvent& event) {
    Window* target = hostWindow();
    if (!target) return;
    Queue& queue = state().queue;
    HWND handle = target->handle;
    switch (event.type) {
    case host::InputEvent::Type::KeyDown: {
        LPARAM lParam = 1 | (LPARAM(scanCode(event.virtualKey)) << 16) | (event.repeat ? (LPARAM(1) << 30) : 0);
        queue.input.push_back(makeMessage(handle, WM_KEYDOWN, WPARAM(event.virtualKey), lParam));
        break;
    }
    case host::InputEvent::Type::KeyUp: {
        LPARAM lParam = 1 | (LPARAM(scanCode(event.virtualKey)) << 16) | (LPARAM(1) << 30) | (LPARAM(1) << 31);
        queue.input.push_back(makeMessage(handle, WM_KEYUP, WPARAM(event.virtualKey), lParam));
        break;
    }
    case host::InputEvent::Type::MouseMove:
        queue.input.push_back(makeMessage(handle, WM_MOUSEMOVE, 0, MAKELPARAM(event.x, event.y)));
        break;
    case host::InputEvent::Type::Close:
        queue.input.push_back(makeMessage(handle, WM_SYSCOMMAND, SC_CLOSE, 0));
        break;
    case host::InputEvent::Type::Minimized:
        queue.input.push_back(makeMessage(handle, WM_SYSCOMMAND, SC_MINIMIZE, 0));
        break;
    case host::InputEvent::Type::Restored:
        queue.input.push_back(makeMessage(handle, WM_SYSCOMMAND, SC_RESTORE, 0));
        break;
    }
}

void pollHost() {
    host::InputEvent event;
    while (host::pollInput(event)) takeInput(event);
}

bool matches(const MSG& m, HWND window, UINT filterMin, UINT filterMax) {
    if (window && m.hwnd != window) return false;
    if (filterMin == 0 && filterMax == 0) return true;
    return m.message >= filterMin && m.message <= filterMax;
}

bool takeFrom(std::deque<MSG>& queue, MSG* out, HWND window, UINT filterMin, UINT filterMax, bool remove) {
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!matches(*it, window, filterMin, filterMax)) continue;
        *out = *it;
        if (remove) queue.erase(it);
        return true;
    }
    return false;
}

bool retrieve(MSG* out, HWND window, UINT filterMin, UINT filterMax, bool remove) {
    pollHost();
    State& s = state();
    if (takeFrom(s.queue.posted, out, window, filterMin, filterMax, remove)) return true;
    if (takeFrom(s.queue.input, out, window, filterMin, filterMax, remove)) return true;
    if (s.queue.quit) {
        MSG quit = makeMessage(nullptr, WM_QUIT, WPARAM(s.queue.quitCode), 0);
        if (matches(quit, nullptr, filterMin, filterMax)) {
            *out = quit;
            if (remove) s.queue.quit = false;
            return true;
        }
    }
    for (auto& [handle, w] : s.windows) {
        if (!w->visible || !(w->needsPaint || w->internalPaint)) continue;
        MSG paint = makeMessage(handle, WM_PAINT, 0, 0);
        if (!matches(paint, window, filterMin, filterMax)) continue;
        *out = paint;
        // WM_PAINT stays until the window is validated; only the internal-paint request is
        // used up by taking the message.
        if (remove && !w->needsPaint) w->internalPaint = false;
        return true;
    }
    return false;
}

// Blocks until the host delivers something. Ends the process when nothing can ever arrive,
// instead of hanging: headless, with the script of keys used up.
void waitForHost() {
    host::InputEvent event;
    if (host::waitInput(event)) {
        takeInput(event);
        return;
    }
    std::fprintf(stderr,
                 "[win32] the program waits for a message that can never arrive "
                 "(no window system and no scripted input left)\n");
    std::exit(3);
}

int characterOf(int vk) {
    bool shift = host::keyDown(VK_SHIFT);
    if (vk >= 'A' && vk <= 'Z') return shift ? vk : vk - 'A' + 'a';
    if (vk >= '0' && vk <= '9') return vk;
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return '0' + (vk - VK_NUMPAD0);
    switch (vk) {
    case VK_BACK: return 0x08;
    case VK_TAB: return 0x09;
    case VK_RETURN: return 0x0D;
    case VK_ESCAPE: return 0x1B;
    case VK_SPACE: return ' ';
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    default: return 0;
    }
}

}  // namespace

}  // namespace win32

using namespace win32;

extern "C" {

BOOL WINAPI PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    MSG m;
    if (!retrieve(&m, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)) return FALSE;
    if (message) *message = m;
    return TRUE;
}

BOOL WINAPI GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
    if (!message) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (window && !findWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    while (!retrieve(message, window, filterMin, filterMax, true)) waitForHost();
    return message->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI WaitMessage(void) {
    MSG m;
    if (!retrieve(&m, nullptr, 0, 0, false)) waitForHost();
    return TRUE;
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (window && !findWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    state().queue.posted.push_back(makeMessage(window, message, wParam, lParam));
    return TRUE;
}

LRESULT WINAPI SendMessageA(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* window = findWindow(handle);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return window->procedure(handle, message, wParam, lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
    State& s = state();
    s.queue.quit = true;
    s.queue.quitCode = exitCode;
}

BOOL WINAPI TranslateMessage(const MSG* message) {
    if (!message) return FALSE;
    if (message->message == WM_KEYUP || message->message == WM_SYSKEYUP || message->message == WM_SYSKEYDOWN)
        return TRUE;
    if (message->message != WM_KEYDOWN) return FALSE;
    int character = characterOf(int(message->wParam));
    if (character) state().queue.posted.push_back(makeMessage(message->hwnd, WM_CHAR, WPARAM(character), message->lParam));
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* message) {
    if (!message || !message->hwnd) return 0;
    Window* window = findWindow(message->hwnd);
    if (!window) return 0;
    return window->procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

}  // extern "C"
