// The show: start-up, the pop-up window, the message loop, the show clock and keys, and one
// frame of the timeline on every paint.
#include <windows.h>

#include "assets/archive.h"
#include "assets/picture.h"
#include "effects/effects.h"
#include "geometry/mesh.h"
#include "geometry/runscene.h"
#include "geometry/tubes.h"
#include "shell/beattable.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"
#include "shell/music.h"
#include "shell/timeline.h"

DemoWindow* demoWindow = nullptr;
float showTime = 0.0f;
float timeOffset = 0.0f;
float framesPerSecond = 0.0f;
int facesDrawn = 0;
int mouseX = 0, mouseY = 0;
Texture* currentBackground = nullptr;

namespace {

constexpr float showLength = 258.0f;

LARGE_INTEGER frequency, startCount, previousCount;
bool firstFrame = true;
int lastCursorX = 0, lastCursorY = 0;

char windowTitle[100];
char windowClass[100];

void loadEverything(HWND window) {
    addArchive("demo.dat");
    glBinding.createContext(*demoWindow, window);
    MoveWindow(window, 0, 0, 640, 480, TRUE);

    loadShowTextures();

    setupEnvObjects("SOTKU2.jpg", "back_gradient2.jpg", "addict1.raw");
    setupEnvObjects("dust.jpg", "back_gradient.jpg", "wave1.raw");
    setupBanner("s.raw", "sb.raw");
    setupFlatMesh();
    fillBeatTable();
    buildPartList();

    attachDeformer(tubeGroup1, "disp2.raw");
    attachDeformer(tubeGroup1, "wave1.raw");
    attachDeformer(tubeGroup2, "wave1.raw");
    attachDeformer(tubeGroup2, "twirlb.raw");

    for (int world : {4, 3, 2, 1}) initWorld(world);
    createStreamerSet();
    createRunSceneHolder();
    loadTexture("square.jpg", GL_RGB, false);
    setupBillboards();

    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&previousCount);
    if (initMusic(true)) loadSoundtrack(soundtrackFileName);
}

void drawFrame(HWND window) {
    if (showTime > showLength) PostMessageA(window, WM_CLOSE, 0, 0);
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (firstFrame) {
        playSoundtrack();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        QueryPerformanceCounter(&startCount);
        showTime = 0.0f;
        firstFrame = false;
    }
    facesDrawn = 0;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    framesPerSecond = float(double(frequency.QuadPart) / double(now.QuadPart - previousCount.QuadPart));
    previousCount = now;
    showTime = float(double(now.QuadPart - startCount.QuadPart) / double(frequency.QuadPart)) + timeOffset;

    runTimeline(showTime);

    glViewport(0, 0, 640, 480);
    effectBeatFlash();
    SwapBuffers(paint.hdc);
    EndPaint(window, &paint);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        loadEverything(window);
        return 0;
    case WM_PAINT:
        drawFrame(window);
        return 0;
    case WM_MOUSEMOVE: {
        POINT cursor;
        GetCursorPos(&cursor);
        mouseX += cursor.x - lastCursorX;
        mouseY += cursor.y - lastCursorY;
        lastCursorX = cursor.x;
        lastCursorY = cursor.y;
        drawFrame(window);
        return 0;
    }
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_ESCAPE: PostMessageA(window, WM_CLOSE, 0, 0); break;
        case VK_RETURN: timeOffset += 5.0f; break;
        case VK_UP: timeOffset += 1.0f; break;
        case VK_DOWN: timeOffset -= 1.0f; break;
        default: break;
        }
        return 0;
    case WM_SIZE:
        demoWindow->width = 640;
        demoWindow->height = 480;
        glViewport(0, 0, 640, 480);
        return 0;
    case WM_CLOSE:
        ChangeDisplaySettingsA(nullptr, 0);
        return DefWindowProcA(window, message, wParam, lParam);
    case WM_DESTROY:
        stopMusic();
        destroyMeshes();
        destroyRunScene();
        closeArchives();
        releasePartList();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

ATOM registerWindowClass(HINSTANCE instance) {
    glBinding.bindOpenGL("opengl32.dll");
    handTexturesTheirFunctions();
    LoadStringA(instance, 103, windowTitle, 100);
    LoadStringA(instance, 109, windowClass, 100);
    WNDCLASSEXA c{};
    c.cbSize = sizeof c;
    c.style = CS_HREDRAW | CS_VREDRAW;
    c.lpfnWndProc = windowProcedure;
    c.hInstance = instance;
    c.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(107));
    c.hIconSm = LoadIconA(instance, MAKEINTRESOURCEA(108));
    c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    c.lpszClassName = windowClass;
    return RegisterClassExA(&c);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    fillNormalizeTable();
    lastCursorX = lastCursorY = 0;
    demoWindow = new DemoWindow;
    demoWindow->instance = instance;
    registerWindowClass(instance);
    createTubeGroups();

    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmBitsPerPel = 32;
    mode.dmPelsWidth = 640;
    mode.dmPelsHeight = 480;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if (ChangeDisplaySettingsA(&mode, CDS_TEST) != DISP_CHANGE_SUCCESSFUL) {
        MessageBoxA(nullptr, "Sorry.. you dont deserve it!", "User quality test faild...", MB_OK | MB_ICONERROR);
        return 0;
    }

    HWND window = CreateWindowExA(WS_EX_TOPMOST, windowClass, windowTitle, WS_POPUP, 0, 0, 640, 480, nullptr,
                                  nullptr, instance, demoWindow);
    if (!window) return 0;
    demoWindow->hwnd = window;
    demoWindow->width = 640;
    demoWindow->height = 480;
    SetFocus(window);
    ShowCursor(FALSE);
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_NOERASE);
            WaitMessage();
        }
    }
    delete demoWindow;
    demoWindow = nullptr;
    return 0;
}
