// The entry point: reads the command line, opens the window and the rendering context, then
// plays the demo-flow script or shows one scene in the viewer, frame after frame, until the
// user or the script ends it.
#include "shell/korvo.h"

#include <cstdlib>
#include <cstring>

#include "flow/demoflow.h"
#include "gfx/gfxcore.h"
#include "lightwave/scene.h"
#include "lightwave/viewer.h"
#include "shell/debuglog.h"
#include "shell/list.h"
#include "shell/release.h"

int width = 640;
int height = 480;
int depth = 16;
char sceneName[80] = "";
bool demoMode = false;
int active = 0;

namespace {

const char windowTitle[] = "Korvo - LightWave scene player, rebuilt for today's machines";

DemoFlow* flow = nullptr;   // lives until the process ends; its script stays open
LARGE_INTEGER startCount, frequency, nowCount;

bool isWordStart(const char* commandLine, const char* at) { return at == commandLine || at[-1] == ' '; }

}  // namespace

bool findOption(const char* commandLine, const char* option, int& value) {
    size_t length = std::strlen(option);
    for (const char* at = commandLine; *at; ++at) {
        if (!isWordStart(commandLine, at) || std::strncmp(at, option, length) != 0) continue;
        value = std::atoi(at + length);
        return true;
    }
    return false;
}

bool getArgument(const char* commandLine, const char* /*description*/, char* buffer) {
    const char* at = commandLine;
    while (*at) {
        if (*at == ' ') {   // an empty word between two blanks
            ++at;
            continue;
        }
        if (*at != '-') {
            int length = 0;
            while (at[length] && at[length] != ' ' && length < 79) ++length;
            std::memcpy(buffer, at, size_t(length));
            buffer[length] = '\0';
            return true;
        }
        while (*at && *at != ' ') ++at;   // an option, skipped whole
    }
    return false;
}

bool pumpMessages() {
    MSG message;
    if (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) && message.message == WM_QUIT) return true;
    BOOL taken = active ? PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) : GetMessageA(&message, nullptr, 0, 0);
    if (taken) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return false;
}

void frameLoop() {
    if (pumpMessages()) return;
    for (;;) {
        QueryPerformanceCounter(&nowCount);
        float t = float(double(nowCount.QuadPart - startCount.QuadPart) / double(frequency.QuadPart));
        float sceneTime = demoMode ? flow->update(t) : ViewerState.sceneTime(t);
        gfx.updateScenes(sceneTime);
        gfx.present();
        gfx.renderer.renderFrame();
        if (pumpMessages()) return;
    }
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
    case WM_MOVE:
        break;
    case WM_DESTROY:
    case WM_CLOSE:
        PostQuitMessage(0);
        break;
    case WM_SIZE:
        active = (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXHIDE) ? 0 : 1;
        break;
    case WM_KEYDOWN:
        ViewerState.keyDown(BYTE(wParam & 0xFF));
        if ((wParam & 0xFF) == VK_ESCAPE) PostQuitMessage(0);
        break;
    default:
        ViewerState.resetKeys();
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    findOption(commandLine, "-x", width);
    findOption(commandLine, "-y", height);
    findOption(commandLine, "-d", depth);
    LOG_ENTRY << "screenDepth" << " = " << depth << std::endl;
    getArgument(commandLine, "scene/object name", sceneName);

    gfx.createWindow(instance, windowTitle, depth != 0, width, height);
    gfx.initDevice(16);

    if (sceneName[0] == '\0') {
        flow = new DemoFlow("demoflow.txt");
        demoMode = true;
    } else {
        new Scene(sceneName);   // appends itself to sceneList
    }

    QueryPerformanceCounter(&startCount);
    QueryPerformanceFrequency(&frequency);
    frameLoop();

    releaseScenesAndTextures();
    gfx.shutdown();
    CloseWindow(gfx.window);
    return 0;
}
