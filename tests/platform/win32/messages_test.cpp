// Conformance of the Win32 message queue and window lifecycle: the behaviours the programs'
// message loops and window procedures rely on.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host/host.h"
#include "win32/testing.h"

namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> seen;
void* createParameterSeen = nullptr;
bool quitOnDestroy = true;

LRESULT CALLBACK recordingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back({message, wParam, lParam});
    if (message == WM_CREATE)
        createParameterSeen = reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams;
    if (message == WM_DESTROY && quitOnDestroy) PostQuitMessage(7);
    return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<UINT> messagesSeen() {
    std::vector<UINT> ids;
    for (const Seen& s : seen) ids.push_back(s.message);
    return ids;
}

bool sawMessage(UINT id) {
    for (const Seen& s : seen)
        if (s.message == id) return true;
    return false;
}

class Win32Messages : public ::testing::Test {
protected:
    void SetUp() override { configure(""); }
    void TearDown() override { win32::testing::reset(); }

    void configure(const char* keys) {
        host::Settings s;
        s.video = host::VideoBackend::Headless;
        s.fixedClock = true;
        s.fixedFramesPerSecond = 30;
        std::string script = keys;
        s.input = host::parseSettings([&](const char* name) -> const char* {
                      return std::string(name) == "DEMO_KEYS" ? script.c_str() : nullptr;
                  }).input;
        host::overrideSettings(s);
        win32::testing::reset();
        seen.clear();
        createParameterSeen = nullptr;
        quitOnDestroy = true;
        WNDCLASSA c{};
        c.style = CS_HREDRAW | CS_VREDRAW;
        c.lpfnWndProc = recordingProcedure;
        c.hInstance = GetModuleHandleA(nullptr);
        c.lpszClassName = "Recorder";
        ASSERT_NE(RegisterClassA(&c), 0);
    }

    HWND create(DWORD style = WS_POPUP, void* parameter = nullptr) {
        HWND window = CreateWindowExA(0, "Recorder", "test", style, 0, 0, 640, 480, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), parameter);
        EXPECT_NE(window, nullptr);
        return window;
    }

    // Takes every message the queue gives, dispatching each, until it is empty or WM_QUIT.
    std::vector<UINT> drain() {
        std::vector<UINT> taken;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(m.message);
            if (m.message == WM_QUIT) break;
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        return taken;
    }
};

TEST_F(Win32Messages, CreateWindowSendsCreateWithItsParameterThenSizeAndMove) {
    int parameter = 42;
    HWND window = create(WS_POPUP, &parameter);
    EXPECT_EQ(createParameterSeen, &parameter);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
    EXPECT_EQ(seen[2].wParam, WPARAM(SIZE_RESTORED));
    EXPECT_EQ(LOWORD(seen[2].lParam), 640);
    EXPECT_EQ(HIWORD(seen[2].lParam), 480);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
}

TEST_F(Win32Messages, OverlappedWindowsLoseTheFrameFromTheirClientArea) {
    HWND window = create(WS_OVERLAPPEDWINDOW);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 640 - 8);
    EXPECT_EQ(client.bottom, 480 - 27);
    RECT wanted = {0, 0, 640, 480};
    AdjustWindowRect(&wanted, WS_OVERLAPPEDWINDOW, FALSE);
    EXPECT_EQ(wanted.right - wanted.left, 648);
    EXPECT_EQ(wanted.bottom - wanted.top, 507);
}

TEST_F(Win32Messages, CreateReturningMinusOneRefusesTheWindow) {
    static bool refuse;
    refuse = true;
    WNDCLASSA c{};
    c.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_CREATE && refuse) return -1;
        return DefWindowProcA(w, m, wp, lp);
    };
    c.lpszClassName = "Refuser";
    RegisterClassA(&c);
    EXPECT_EQ(CreateWindowExA(0, "Refuser", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(Win32Messages, UpdateWindowSendsPaintAtOnceAndBeginPaintValidates) {
    HWND window = create();
    ShowWindow(window, SW_SHOWNORMAL);
    seen.clear();
    UpdateWindow(window);
    ASSERT_TRUE(sawMessage(WM_PAINT));  // sent, not queued
    seen.clear();
    UpdateWindow(window);               // validated by DefWindowProc's BeginPaint
    EXPECT_FALSE(sawMessage(WM_PAINT));
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(Win32Messages, RedrawWindowPaintsOnlyWhenTheQueueIsOtherwiseEmpty) {
    HWND window = create();
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    PostMessageA(window, WM_USER, 1, 0);
    PostMessageA(window, WM_USER, 2, 0);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_NOERASE);
    EXPECT_EQ(drain(), (std::vector<UINT>{WM_USER, WM_USER, WM_PAINT}));
    // A hidden window is not painted.
    ShowWindow(window, SW_HIDE);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
    EXPECT_TRUE(drain().empty());
}

TEST_F(Win32Messages, PaintStaysQueuedUntilTheWindowIsValidated) {
    WNDCLASSA c{};
    c.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_PAINT) return 0;   // never validates
        return DefWindowProcA(w, m, wp, lp);
    };
    c.lpszClassName = "Lazy";
    RegisterClassA(&c);
    HWND window = CreateWindowExA(0, "Lazy", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOW);
    MSG m;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.message, UINT(WM_PAINT));
        DispatchMessageA(&m);
    }
    ValidateRect(window, nullptr);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Win32Messages, QuitComesAfterPostedMessagesAndBeforePaint) {
    HWND window = create();
    ShowWindow(window, SW_SHOW);
    PostQuitMessage(3);
    PostMessageA(window, WM_USER, 0, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_USER));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_QUIT));
    EXPECT_EQ(m.wParam, WPARAM(3));
    // The window still needs painting; that comes once the quit has been taken.
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_PAINT));
}

TEST_F(Win32Messages, QuitWaitsForTheInputAlreadyQueued) {
    // A key pressed before the quit is posted is still delivered, all of it, first.
    configure("0:A");
    HWND window = create();
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    PostQuitMessage(0);
    EXPECT_EQ(drain(), (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_QUIT}));
    // Looking without removing shows the input too, not the quit that comes after it.
    configure("0:B");
    create();
    PostQuitMessage(0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(m.message, UINT(WM_KEYDOWN));
}

TEST_F(Win32Messages, PeekWithoutRemovalLeavesTheMessage) {
    HWND window = create();
    PostMessageA(window, WM_USER + 5, 9, 0);
    MSG m;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(m.message, UINT(WM_USER + 5));
    }
    PostQuitMessage(0);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_USER + 5));
    for (int i = 0; i < 2; ++i) {   // the quit survives being looked at
        ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(m.message, UINT(WM_QUIT));
    }
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);   // GetMessage says FALSE for WM_QUIT
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(Win32Messages, FiltersByWindowAndRange) {
    HWND first = create();
    HWND second = CreateWindowExA(0, "Recorder", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    PostMessageA(first, WM_USER + 1, 0, 0);
    PostMessageA(second, WM_USER + 2, 0, 0);
    PostMessageA(first, WM_USER + 3, 0, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, second, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(m.message, UINT(WM_USER + 3));
    EXPECT_FALSE(PeekMessageA(&m, second, 0, 0, PM_REMOVE));
}

TEST_F(Win32Messages, GetMessageWaitsForInput) {
    configure("5:SPACE");   // due before frame 5, but nothing is presented while waiting
    HWND window = create();
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG m;
    ASSERT_EQ(GetMessageA(&m, nullptr, 0, 0), TRUE);
    EXPECT_EQ(m.message, UINT(WM_KEYDOWN));
    EXPECT_EQ(m.wParam, WPARAM(VK_SPACE));
    EXPECT_EQ(m.hwnd, window);
}

TEST_F(Win32Messages, TranslateMessageMakesCharactersBetweenDownAndUp) {
    configure("0:G,0:ESCAPE,0:UP");
    HWND window = create();
    seen.clear();
    std::vector<UINT> taken = drain();
    EXPECT_EQ(taken, (std::vector<UINT>{WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_KEYDOWN,
                                        WM_KEYUP}));
    ASSERT_EQ(seen.size(), 8u);
    EXPECT_EQ(seen[1].wParam, WPARAM('g'));
    EXPECT_EQ(seen[4].wParam, WPARAM(0x1B));
    EXPECT_EQ(seen[0].lParam & 0xFFFF, 1);               // repeat count
    EXPECT_EQ((seen[2].lParam >> 31) & 1, 1);            // transition state of a release
    (void)window;
}

TEST_F(Win32Messages, HeldKeysRepeatWithThePreviousStateBit) {
    configure("0:RIGHT*3");
    create();
    MSG m;
    std::vector<LPARAM> downs;
    for (int frame = 0; frame < 4; ++frame) {
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            if (m.message == WM_KEYDOWN) downs.push_back(m.lParam);
        host::present(false);
    }
    ASSERT_EQ(downs.size(), 3u);
    EXPECT_EQ((downs[0] >> 30) & 1, 0);
    EXPECT_EQ((downs[1] >> 30) & 1, 1);
    EXPECT_EQ((downs[2] >> 30) & 1, 1);
}

TEST_F(Win32Messages, CloseThroughDefWindowProcDestroysTheWindow) {
    HWND window = create();
    seen.clear();
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
    MSG m;
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.wParam, WPARAM(7));
}

TEST_F(Win32Messages, TheCloseButtonAsksTheWindowToClose) {
    configure("0:CLOSE");
    HWND window = create();
    seen.clear();
    drain();
    EXPECT_EQ(messagesSeen(), (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Win32Messages, MinimisingSendsSizeMinimized) {
    HWND window = create();
    ShowWindow(window, SW_SHOWNORMAL);
    seen.clear();
    CloseWindow(window);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].message, UINT(WM_SIZE));
    EXPECT_EQ(seen[0].wParam, WPARAM(SIZE_MINIMIZED));
    EXPECT_TRUE(IsIconic(window));
    seen.clear();
    ShowWindow(window, SW_RESTORE);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen[0].message, UINT(WM_SIZE));
    EXPECT_EQ(seen[0].wParam, WPARAM(SIZE_RESTORED));
}

TEST_F(Win32Messages, MoveWindowReportsOnlyWhatChanged) {
    HWND window = create();
    seen.clear();
    MoveWindow(window, 0, 0, 640, 480, TRUE);
    EXPECT_FALSE(sawMessage(WM_SIZE));
    EXPECT_FALSE(sawMessage(WM_MOVE));
    MoveWindow(window, 10, 0, 320, 240, TRUE);
    EXPECT_TRUE(sawMessage(WM_SIZE));
    EXPECT_TRUE(sawMessage(WM_MOVE));
}

TEST_F(Win32Messages, ShowingActivatesAndFocuses) {
    HWND window = create();
    EXPECT_EQ(GetForegroundWindow(), nullptr);
    seen.clear();
    EXPECT_FALSE(ShowWindow(window, SW_SHOWNORMAL));   // was hidden
    EXPECT_TRUE(sawMessage(WM_SHOWWINDOW));
    EXPECT_TRUE(sawMessage(WM_SETFOCUS));
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(GetFocus(), window);
    EXPECT_TRUE(ShowWindow(window, SW_SHOWNORMAL));    // was visible
}

}  // namespace
