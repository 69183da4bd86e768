// "opengl32.dll" as programs bind it: every OpenGL 1.1 entry point by name, WGL, the GDI
// pixel-format functions, extensions, and the call trace.
#include <gtest/gtest.h>
#include <windows.h>
#include <GL/gl.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/host.h"
#include "support.h"
#include "win32/testing.h"

namespace {

using testing_support::readFile;
using testing_support::TempDir;

std::vector<std::string> openGL11Names() {
    std::ifstream in(GL11_NAMES_FILE);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) names.push_back(line);
    return names;
}

typedef HGLRC(APIENTRY* CreateContext)(HDC);
typedef BOOL(APIENTRY* MakeCurrent)(HDC, HGLRC);
typedef BOOL(APIENTRY* DeleteContext)(HGLRC);
typedef PROC(APIENTRY* GetExtension)(LPCSTR);

class OpenGL32 : public ::testing::Test {
protected:
    void SetUp() override { configure(host::Settings{}); }
    void TearDown() override { win32::testing::reset(); }

    void configure(host::Settings s) {
        s.video = host::VideoBackend::Headless;
        s.fixedClock = true;
        s.fixedFramesPerSecond = 30;
        host::overrideSettings(s);
        win32::testing::reset();
        library = LoadLibraryA("opengl32.dll");
        ASSERT_NE(library, nullptr);
        WNDCLASSA c{};
        c.lpfnWndProc = DefWindowProcA;
        c.lpszClassName = "GLWindow";
        RegisterClassA(&c);
        window = CreateWindowExA(0, "GLWindow", "", WS_POPUP, 0, 0, 32, 16, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        dc = GetDC(window);
    }

    template <typename F>
    F bind(const char* name) {
        return reinterpret_cast<F>(GetProcAddress(library, name));
    }

    HGLRC makeContext() {
        PIXELFORMATDESCRIPTOR pfd{};
        pfd.nSize = sizeof pfd;
        pfd.nVersion = 1;
        pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        pfd.cColorBits = 32;
        pfd.cDepthBits = 8;
        int format = ChoosePixelFormat(dc, &pfd);
        EXPECT_EQ(format, 1);
        EXPECT_TRUE(SetPixelFormat(dc, format, &pfd));
        HGLRC context = bind<CreateContext>("wglCreateContext")(dc);
        EXPECT_NE(context, nullptr);
        EXPECT_TRUE(bind<MakeCurrent>("wglMakeCurrent")(dc, context));
        return context;
    }

    HMODULE library = nullptr;
    HWND window = nullptr;
    HDC dc = nullptr;
};

TEST_F(OpenGL32, BindsAllOpenGL11EntryPointsByName) {
    std::vector<std::string> names = openGL11Names();
    ASSERT_EQ(names.size(), 336u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
    EXPECT_EQ(names.front(), "glAccum");
    EXPECT_EQ(names.back(), "glViewport");
    for (const std::string& name : names) EXPECT_NE(GetProcAddress(library, name.c_str()), nullptr) << name;
    for (const char* later : {"glTexImage3D", "glActiveTexture", "glLockArraysEXT", "glCreateShader"})
        EXPECT_EQ(GetProcAddress(library, later), nullptr) << later << " is not OpenGL 1.1";
}

TEST_F(OpenGL32, ExportsTheWglFunctions) {
    for (const char* name : {"wglCopyContext", "wglCreateContext", "wglCreateLayerContext", "wglDeleteContext",
                             "wglGetCurrentContext", "wglGetCurrentDC", "wglGetProcAddress", "wglMakeCurrent",
                             "wglShareLists", "wglSwapBuffers", "wglUseFontBitmapsA", "wglUseFontBitmapsW",
                             "wglGetPixelFormat", "wglSetPixelFormat", "wglDescribePixelFormat",
                             "wglChoosePixelFormat"})
        EXPECT_NE(GetProcAddress(library, name), nullptr) << name;
}

TEST_F(OpenGL32, OnePixelFormatSetOncePerWindow) {
    PIXELFORMATDESCRIPTOR pfd{};
    EXPECT_EQ(DescribePixelFormat(dc, 1, sizeof pfd, &pfd), 1);
    EXPECT_EQ(pfd.nSize, sizeof pfd);
    EXPECT_EQ(pfd.cColorBits, 32);
    EXPECT_EQ(pfd.cDepthBits, 24);
    EXPECT_EQ(pfd.dwFlags & (PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER),
              DWORD(PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER));
    EXPECT_EQ(DescribePixelFormat(dc, 2, sizeof pfd, &pfd), 0);
    EXPECT_EQ(GetPixelFormat(dc), 0);
    EXPECT_EQ(bind<CreateContext>("wglCreateContext")(dc), nullptr);   // no pixel format yet
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PIXEL_FORMAT));
    pfd = PIXELFORMATDESCRIPTOR{};
    pfd.iPixelType = PFD_TYPE_COLORINDEX;
    pfd.dwFlags = PFD_SUPPORT_OPENGL;
    EXPECT_EQ(ChoosePixelFormat(dc, &pfd), 0);
    EXPECT_TRUE(SetPixelFormat(dc, 1, &pfd));
    EXPECT_EQ(GetPixelFormat(dc), 1);
    EXPECT_FALSE(SetPixelFormat(dc, 2, &pfd));
}

TEST_F(OpenGL32, DrawsThroughTheBoundEntryPoints) {
    HGLRC context = makeContext();
    EXPECT_EQ(bind<HGLRC(APIENTRY*)()>("wglGetCurrentContext")(), context);
    auto clearColor = bind<PFNGLCLEARCOLORPROC>("glClearColor");
    auto clear = bind<PFNGLCLEARPROC>("glClear");
    auto readPixels = bind<PFNGLREADPIXELSPROC>("glReadPixels");
    auto getString = bind<PFNGLGETSTRINGPROC>("glGetString");
    clearColor(0.0f, 1.0f, 0.0f, 1.0f);
    clear(GL_COLOR_BUFFER_BIT);
    uint8_t pixel[4] = {};
    readPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_EQ(pixel[1], 255);
    EXPECT_NE(getString(GL_VERSION), nullptr);
    EXPECT_TRUE(SwapBuffers(dc));
    EXPECT_EQ(host::presentedFrames(), 1u);
    EXPECT_TRUE(bind<MakeCurrent>("wglMakeCurrent")(nullptr, nullptr));
    EXPECT_EQ(bind<HGLRC(APIENTRY*)()>("wglGetCurrentContext")(), nullptr);
    EXPECT_TRUE(bind<DeleteContext>("wglDeleteContext")(context));
}

TEST_F(OpenGL32, ExtensionsComeFromWglGetProcAddressWhenTheDriverHasThem) {
    auto getExtension = bind<GetExtension>("wglGetProcAddress");
    EXPECT_EQ(getExtension("glLockArraysEXT"), nullptr);   // no current context yet
    makeContext();
    auto extensions = std::string(reinterpret_cast<const char*>(bind<PFNGLGETSTRINGPROC>("glGetString")(GL_EXTENSIONS)));
    bool compiledArrays = extensions.find("GL_EXT_compiled_vertex_array") != std::string::npos;
    EXPECT_EQ(getExtension("glLockArraysEXT") != nullptr, compiledArrays);
    EXPECT_EQ(getExtension("glUnlockArraysEXT") != nullptr, compiledArrays);
    EXPECT_EQ(getExtension("glVertexArrayRangeNV"), nullptr);
    EXPECT_EQ(getExtension("wglAllocateMemoryNV"), nullptr);
    EXPECT_EQ(getExtension("glClear"), nullptr);   // core functions come from GetProcAddress
    if (compiledArrays) {
        auto lock = reinterpret_cast<PFNGLLOCKARRAYSEXTPROC>(getExtension("glLockArraysEXT"));
        auto unlock = reinterpret_cast<PFNGLUNLOCKARRAYSEXTPROC>(getExtension("glUnlockArraysEXT"));
        lock(0, 1);
        unlock();
        EXPECT_EQ(bind<PFNGLGETERRORPROC>("glGetError")(), GLenum(GL_NO_ERROR));
    }
}

TEST_F(OpenGL32, UnsupportedWglFunctionsSaySo) {
    typedef BOOL(APIENTRY * UseFont)(HDC, DWORD, DWORD, DWORD);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(bind<UseFont>("wglUseFontBitmapsA")(dc, 0, 255, 1000));
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("wglUseFontBitmapsA is not supported"), std::string::npos) << said;
}

TEST_F(OpenGL32, TracesTheChosenFramesCallByCall) {
    TempDir dir;
    host::Settings s;
    s.glTracePath = dir.file("trace.txt");
    s.glTraceFrames = host::FrameSet::parse("1-2");
    configure(s);
    makeContext();
    auto color = bind<PFNGLCOLOR4FPROC>("glColor4f");
    auto begin = bind<PFNGLBEGINPROC>("glBegin");
    auto vertex = bind<PFNGLVERTEX3FVPROC>("glVertex3fv");
    auto end = bind<PFNGLENDPROC>("glEnd");
    auto isEnabled = bind<PFNGLISENABLEDPROC>("glIsEnabled");
    auto loadMatrix = bind<PFNGLLOADMATRIXFPROC>("glLoadMatrixf");
    const GLfloat corner[3] = {-1.0f, 0.5f, 0.0f};
    const GLfloat identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int frame = 0; frame < 4; ++frame) {
        color(0.0f, 0.0f, 0.0f, 0.55f);
        if (frame == 1) {
            loadMatrix(identity);
            begin(GL_QUADS);
            vertex(corner);
            end();
            isEnabled(GL_BLEND);
        }
        SwapBuffers(dc);
    }
    EXPECT_EQ(readFile(dir.file("trace.txt")),
              "glColor4f(0, 0, 0, 0.55)\n"
              "glLoadMatrixf({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1})\n"
              "glBegin(0x0007)\n"
              "glVertex3fv({-1, 0.5, 0})\n"
              "glEnd()\n"
              "glIsEnabled(0x0BE2) = 0\n"
              "-- frame 1\n"
              "glColor4f(0, 0, 0, 0.55)\n"
              "-- frame 2\n");
}

}  // namespace
