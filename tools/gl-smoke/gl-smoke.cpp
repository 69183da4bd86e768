// gl-smoke: the smallest program written the way our shows are: a Win32 window, OpenGL bound
// from "opengl32.dll" by name, a coloured triangle turning at 90 degrees a second of the
// performance counter's time, Escape to quit. On exit it prints how many frames it drew and
// how fast.
#include <windows.h>
#include <GL/gl.h>

#include <cstdio>

namespace {

PFNGLCLEARCOLORPROC glClearColor;
PFNGLCLEARPROC glClear;
PFNGLVIEWPORTPROC glViewport;
PFNGLMATRIXMODEPROC glMatrixMode;
PFNGLLOADIDENTITYPROC glLoadIdentity;
PFNGLROTATEFPROC glRotatef;
PFNGLBEGINPROC glBegin;
PFNGLENDPROC glEnd;
PFNGLCOLOR3FPROC glColor3f;
PFNGLVERTEX2FPROC glVertex2f;

typedef HGLRC(APIENTRY* CreateContextFunction)(HDC);
typedef BOOL(APIENTRY* MakeCurrentFunction)(HDC, HGLRC);
typedef BOOL(APIENTRY* DeleteContextFunction)(HGLRC);
CreateContextFunction wglCreateContext;
MakeCurrentFunction wglMakeCurrent;
DeleteContextFunction wglDeleteContext;

HGLRC renderingContext;
LARGE_INTEGER frequency, startCount;
long framesDrawn;

template <typename Function>
bool bind(HMODULE library, Function& function, const char* name) {
    function = reinterpret_cast<Function>(GetProcAddress(library, name));
    return function != nullptr;
}

bool bindOpenGL() {
    HMODULE library = LoadLibraryA("opengl32.dll");
    if (!library) return false;
    return bind(library, glClearColor, "glClearColor") && bind(library, glClear, "glClear") &&
           bind(library, glViewport, "glViewport") && bind(library, glMatrixMode, "glMatrixMode") &&
           bind(library, glLoadIdentity, "glLoadIdentity") && bind(library, glRotatef, "glRotatef") &&
           bind(library, glBegin, "glBegin") && bind(library, glEnd, "glEnd") &&
           bind(library, glColor3f, "glColor3f") && bind(library, glVertex2f, "glVertex2f") &&
           bind(library, wglCreateContext, "wglCreateContext") && bind(library, wglMakeCurrent, "wglMakeCurrent") &&
           bind(library, wglDeleteContext, "wglDeleteContext");
}

bool createContext(HWND window) {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cDepthBits = 16;
    pfd.iLayerType = PFD_MAIN_PLANE;
    HDC dc = GetDC(window);
    int format = ChoosePixelFormat(dc, &pfd);
    bool ok = format && SetPixelFormat(dc, format, &pfd);
    if (ok) renderingContext = wglCreateContext(dc);
    ok = ok && renderingContext && wglMakeCurrent(dc, renderingContext);
    ReleaseDC(window, dc);
    return ok;
}

void drawFrame(HDC dc) {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    float seconds = float(double(now.QuadPart - startCount.QuadPart) / double(frequency.QuadPart));
    glViewport(0, 0, 640, 480);
    glClearColor(0.1f, 0.1f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(seconds * 90.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_TRIANGLES);
    glColor3f(1.0f, 0.2f, 0.2f);
    glVertex2f(0.0f, 0.8f);
    glColor3f(0.2f, 1.0f, 0.2f);
    glVertex2f(-0.7f, -0.5f);
    glColor3f(0.2f, 0.4f, 1.0f);
    glVertex2f(0.7f, -0.5f);
    glEnd();
    SwapBuffers(dc);
    ++framesDrawn;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        if (!createContext(window)) return -1;
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        drawFrame(dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(renderingContext);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    if (!bindOpenGL()) {
        MessageBoxA(nullptr, "Cannot bind opengl32.dll", "gl-smoke", MB_OK | MB_ICONERROR);
        return 1;
    }
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "GLSmoke";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "GLSmoke", "gl-smoke", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, instance,
                                  nullptr);
    if (!window) {
        MessageBoxA(nullptr, "Cannot create the window", "gl-smoke", MB_OK | MB_ICONERROR);
        return 1;
    }
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&startCount);
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
    LARGE_INTEGER end;
    QueryPerformanceCounter(&end);
    double seconds = double(end.QuadPart - startCount.QuadPart) / double(frequency.QuadPart);
    std::printf("gl-smoke: %ld frames in %.2f s (%.1f frames per second)\n", framesDrawn, seconds,
                seconds > 0 ? framesDrawn / seconds : 0.0);
    return int(message.wParam);
}
