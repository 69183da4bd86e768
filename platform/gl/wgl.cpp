// "opengl32.dll": the OpenGL 1.1 entry points, WGL and the GDI pixel-format functions over
// the host's OpenGL context. There is one pixel format (32-bit RGBA, 24-bit depth, 8-bit
// stencil, double-buffered, drawing to a window) and one context, on the host's window.
#include <GL/gl.h>
#include <GL/glext.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "../win32/internal.h"
#include "entries.h"
#include "host/host.h"
#include "trace.h"
#include "win32/modules.h"

namespace gl_standin {
namespace {

HGLRC const theContext = reinterpret_cast<HGLRC>(uintptr_t(0x20001));
HDC currentDC = nullptr;
bool contextMade = false;
bool contextCurrent = false;

PIXELFORMATDESCRIPTOR thePixelFormat() {
    PIXELFORMATDESCRIPTOR pfd{};
    pfd.nSize = sizeof pfd;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cRedBits = 8;
    pfd.cRedShift = 16;
    pfd.cGreenBits = 8;
    pfd.cGreenShift = 8;
    pfd.cBlueBits = 8;
    pfd.cBlueShift = 0;
    pfd.cAlphaBits = 8;
    pfd.cAlphaShift = 24;
    pfd.cDepthBits = 24;
    pfd.cStencilBits = 8;
    pfd.iLayerType = PFD_MAIN_PLANE;
    return pfd;
}

win32::Window* windowOf(HDC dc) {
    win32::Window* window = win32::findWindowByDC(dc);
    if (!window) SetLastError(ERROR_INVALID_PARAMETER);
    return window;
}

void unsupported(const char* name) {
    std::fprintf(stderr, "[opengl32] %s is not supported\n", name);
    SetLastError(ERROR_NOT_SUPPORTED);
}

void present(HDC dc) {
    uint64_t frame = host::presentedFrames();
    trace::endFrame(frame);
    (void)dc;
    host::present(true);
}

// ---- Extensions offered through wglGetProcAddress ----------------------------------------
// The driver's functions, found when a program first asks for them.
PFNGLLOCKARRAYSEXTPROC systemLockArrays;
PFNGLUNLOCKARRAYSEXTPROC systemUnlockArrays;
PFNGLACTIVETEXTUREARBPROC systemActiveTexture;
PFNGLCLIENTACTIVETEXTUREARBPROC systemClientActiveTexture;
PFNGLMULTITEXCOORD2FARBPROC systemMultiTexCoord2f;

void APIENTRY tracedLockArrays(GLint first, GLsizei count) {
    if (trace::recording()) {
        trace::Line line("glLockArraysEXT");
        line.signedValue(first);
        line.signedValue(count);
    }
    systemLockArrays(first, count);
}

void APIENTRY tracedUnlockArrays() {
    if (trace::recording()) trace::Line line("glUnlockArraysEXT");
    systemUnlockArrays();
}

void APIENTRY tracedActiveTexture(GLenum texture) {
    if (trace::recording()) {
        trace::Line line("glActiveTextureARB");
        line.hex(texture);
    }
    systemActiveTexture(texture);
}

void APIENTRY tracedClientActiveTexture(GLenum texture) {
    if (trace::recording()) {
        trace::Line line("glClientActiveTextureARB");
        line.hex(texture);
    }
    systemClientActiveTexture(texture);
}

void APIENTRY tracedMultiTexCoord2f(GLenum target, GLfloat s, GLfloat t) {
    if (trace::recording()) {
        trace::Line line("glMultiTexCoord2fARB");
        line.hex(target);
        line.real(s);
        line.real(t);
    }
    systemMultiTexCoord2f(target, s, t);
}

struct Extension {
    const char* name;
    const char* extension;   // must be in the driver's extension string
    void** system;
    void* traced;
};

const Extension extensions[] = {
    {"glLockArraysEXT", "GL_EXT_compiled_vertex_array", reinterpret_cast<void**>(&systemLockArrays),
     reinterpret_cast<void*>(&tracedLockArrays)},
    {"glUnlockArraysEXT", "GL_EXT_compiled_vertex_array", reinterpret_cast<void**>(&systemUnlockArrays),
     reinterpret_cast<void*>(&tracedUnlockArrays)},
    {"glActiveTextureARB", "GL_ARB_multitexture", reinterpret_cast<void**>(&systemActiveTexture),
     reinterpret_cast<void*>(&tracedActiveTexture)},
    {"glClientActiveTextureARB", "GL_ARB_multitexture", reinterpret_cast<void**>(&systemClientActiveTexture),
     reinterpret_cast<void*>(&tracedClientActiveTexture)},
    {"glMultiTexCoord2fARB", "GL_ARB_multitexture", reinterpret_cast<void**>(&systemMultiTexCoord2f),
     reinterpret_cast<void*>(&tracedMultiTexCoord2f)},
};

bool driverHas(const char* extension) {
    const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!all) return false;
    size_t length = std::strlen(extension);
    for (const char* at = std::strstr(all, extension); at; at = std::strstr(at + 1, extension))
        if ((at == all || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

}  // namespace
}  // namespace gl_standin

using namespace gl_standin;

extern "C" {

int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* descriptor) {
    if (!windowOf(dc)) return 0;
    if (!descriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // The one format matches every request the host can serve; colour-index requests cannot be.
    if (descriptor->iPixelType != PFD_TYPE_RGBA || !(descriptor->dwFlags & PFD_SUPPORT_OPENGL)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return 0;
    }
    return 1;
}

int WINAPI DescribePixelFormat(HDC dc, int format, UINT size, LPPIXELFORMATDESCRIPTOR descriptor) {
    if (!windowOf(dc)) return 0;
    if (format != 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (descriptor) {
        PIXELFORMATDESCRIPTOR pfd = thePixelFormat();
        std::memcpy(descriptor, &pfd, std::min<size_t>(size, sizeof pfd));
    }
    return 1;
}

BOOL WINAPI SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    win32::Window* window = windowOf(dc);
    if (!window) return FALSE;
    if (format != 1 || (window->pixelFormat && window->pixelFormat != format)) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    window->pixelFormat = format;
    return TRUE;
}

int WINAPI GetPixelFormat(HDC dc) {
    win32::Window* window = windowOf(dc);
    return window ? window->pixelFormat : 0;
}

BOOL WINAPI SwapBuffers(HDC dc) {
    if (!windowOf(dc)) return FALSE;
    present(dc);
    return TRUE;
}

}  // extern "C"

// WGL lives only behind GetProcAddress, as in the library it stands for: the functions have
// no exported names a program could collide with.
namespace gl_standin {

HGLRC WINAPI wglCreateContext(HDC dc) {
    win32::Window* window = windowOf(dc);
    if (!window) return nullptr;
    if (!window->pixelFormat) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return nullptr;
    }
    if (!window->hostWindow) {
        unsupported("wglCreateContext on a second window");
        return nullptr;
    }
    if (contextMade) {
        unsupported("a second rendering context");
        return nullptr;
    }
    std::string error;
    if (!host::createContext(&error)) {
        std::fprintf(stderr, "[opengl32] wglCreateContext: %s\n", error.c_str());
        return nullptr;
    }
    host::makeCurrent(false);  // a new context is not current until wglMakeCurrent
    contextMade = true;
    return theContext;
}

BOOL WINAPI wglMakeCurrent(HDC dc, HGLRC context) {
    if (!context) {
        if (contextCurrent) host::makeCurrent(false);
        contextCurrent = false;
        currentDC = nullptr;
        return TRUE;
    }
    if (context != theContext || !contextMade || !windowOf(dc)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!host::makeCurrent(true)) return FALSE;
    contextCurrent = true;
    currentDC = dc;
    return TRUE;
}

BOOL WINAPI wglDeleteContext(HGLRC context) {
    if (context != theContext || !contextMade) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    host::destroyContext();
    contextMade = contextCurrent = false;
    currentDC = nullptr;
    return TRUE;
}

HGLRC WINAPI wglGetCurrentContext(void) { return contextCurrent ? theContext : nullptr; }
HDC WINAPI wglGetCurrentDC(void) { return contextCurrent ? currentDC : nullptr; }

PROC WINAPI wglGetProcAddress(LPCSTR name) {
    if (!contextCurrent || !name) return nullptr;
    for (const Extension& e : extensions) {
        if (std::strcmp(e.name, name) != 0) continue;
        if (!driverHas(e.extension)) return nullptr;
        if (!*e.system) *e.system = host::glProcAddress(name);
        if (!*e.system) return nullptr;
        return reinterpret_cast<PROC>(trace::enabled() ? e.traced : *e.system);
    }
    return nullptr;
}

BOOL WINAPI wglSwapBuffers(HDC dc) { return SwapBuffers(dc); }

BOOL WINAPI wglCopyContext(HGLRC, HGLRC, UINT) {
    unsupported("wglCopyContext");
    return FALSE;
}

HGLRC WINAPI wglCreateLayerContext(HDC, int) {
    unsupported("wglCreateLayerContext");
    return nullptr;
}

BOOL WINAPI wglShareLists(HGLRC, HGLRC) {
    unsupported("wglShareLists");
    return FALSE;
}

BOOL WINAPI wglUseFontBitmapsA(HDC, DWORD, DWORD, DWORD) {
    unsupported("wglUseFontBitmapsA");
    return FALSE;
}

BOOL WINAPI wglUseFontBitmapsW(HDC, DWORD, DWORD, DWORD) {
    unsupported("wglUseFontBitmapsW");
    return FALSE;
}

int WINAPI wglGetPixelFormat(HDC dc) { return GetPixelFormat(dc); }
BOOL WINAPI wglSetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* descriptor) {
    return SetPixelFormat(dc, format, descriptor);
}
int WINAPI wglDescribePixelFormat(HDC dc, int format, UINT size, LPPIXELFORMATDESCRIPTOR descriptor) {
    return DescribePixelFormat(dc, format, size, descriptor);
}
int WINAPI wglChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* descriptor) {
    return ChoosePixelFormat(dc, descriptor);
}

}  // namespace gl_standin

extern "C" {

// The export table of "opengl32.dll".
void* demo_opengl32_export(const char* name) {
    if (!name) return nullptr;
    if (name[0] == 'g' && name[1] == 'l') {
        // Binary search: the table is in alphabetical (byte) order.
        size_t low = 0, high = sizeof openGL11Entries / sizeof openGL11Entries[0];
        while (low < high) {
            size_t middle = (low + high) / 2;
            int order = std::strcmp(openGL11Entries[middle].name, name);
            if (order == 0) {
                const Entry& entry = openGL11Entries[middle];
                if (trace::enabled()) return entry.traced;
                return entry.scaled && host::scaledDrawingRequested() ? entry.scaled : entry.system;
            }
            if (order < 0) low = middle + 1;
            else high = middle;
        }
        return nullptr;
    }
    static const struct {
        const char* name;
        void* function;
    } wgl[] = {
        {"wglCopyContext", reinterpret_cast<void*>(&wglCopyContext)},
        {"wglCreateContext", reinterpret_cast<void*>(&wglCreateContext)},
        {"wglCreateLayerContext", reinterpret_cast<void*>(&wglCreateLayerContext)},
        {"wglDeleteContext", reinterpret_cast<void*>(&wglDeleteContext)},
        {"wglGetCurrentContext", reinterpret_cast<void*>(&wglGetCurrentContext)},
        {"wglGetCurrentDC", reinterpret_cast<void*>(&wglGetCurrentDC)},
        {"wglGetProcAddress", reinterpret_cast<void*>(&wglGetProcAddress)},
        {"wglMakeCurrent", reinterpret_cast<void*>(&wglMakeCurrent)},
        {"wglShareLists", reinterpret_cast<void*>(&wglShareLists)},
        {"wglSwapBuffers", reinterpret_cast<void*>(&wglSwapBuffers)},
        {"wglUseFontBitmapsA", reinterpret_cast<void*>(&wglUseFontBitmapsA)},
        {"wglUseFontBitmapsW", reinterpret_cast<void*>(&wglUseFontBitmapsW)},
        {"wglGetPixelFormat", reinterpret_cast<void*>(&wglGetPixelFormat)},
        {"wglSetPixelFormat", reinterpret_cast<void*>(&wglSetPixelFormat)},
        {"wglDescribePixelFormat", reinterpret_cast<void*>(&wglDescribePixelFormat)},
        {"wglChoosePixelFormat", reinterpret_cast<void*>(&wglChoosePixelFormat)},
    };
    for (const auto& entry : wgl)
        if (std::strcmp(entry.name, name) == 0) return entry.function;
    return nullptr;
}

}  // extern "C"
