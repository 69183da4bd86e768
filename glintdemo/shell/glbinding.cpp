#include "shell/glbinding.h"

#include <cstring>

#include "assets/picture.h"
#include "shell/demowindow.h"

namespace opengl32 {

#define GL_FUNCTION(name, type) type name = nullptr;
#include "shell/glfunctions.inc"
#undef GL_FUNCTION

PFNWGLCOPYCONTEXTPROC wglCopyContext;
PFNWGLCREATECONTEXTPROC wglCreateContext;
PFNWGLCREATELAYERCONTEXTPROC wglCreateLayerContext;
PFNWGLDELETECONTEXTPROC wglDeleteContext;
PFNWGLGETCURRENTCONTEXTPROC wglGetCurrentContext;
PFNWGLGETCURRENTDCPROC wglGetCurrentDC;
PFNWGLGETPROCADDRESSPROC wglGetProcAddress;
PFNWGLMAKECURRENTPROC wglMakeCurrent;
PFNWGLSHARELISTSPROC wglShareLists;
PFNWGLSWAPBUFFERSPROC wglSwapBuffers;
PFNWGLUSEFONTBITMAPSPROC wglUseFontBitmapsA;
PFNWGLUSEFONTBITMAPSPROC wglUseFontBitmapsW;
PFNWGLGETPIXELFORMATPROC wglGetPixelFormat;
PFNWGLSETPIXELFORMATPROC wglSetPixelFormat;
PFNWGLDESCRIBEPIXELFORMATPROC wglDescribePixelFormat;
PFNWGLCHOOSEPIXELFORMATPROC wglChoosePixelFormat;

PFNGLLOCKARRAYSEXTPROC glLockArraysEXT;
PFNGLUNLOCKARRAYSEXTPROC glUnlockArraysEXT;
PFNGLVERTEXARRAYRANGENVPROC glVertexArrayRangeNV;
PFNGLFLUSHVERTEXARRAYRANGENVPROC glFlushVertexArrayRangeNV;
PFNWGLALLOCATEMEMORYNVPROC wglAllocateMemoryNV;
PFNWGLFREEMEMORYNVPROC wglFreeMemoryNV;

}  // namespace opengl32

GLBinding glBinding;

#define GL_FUNCTION(name, type) {#name, reinterpret_cast<void**>(&name)},
const GLBindingEntry GLBinding::table[352] = {
#include "shell/glfunctions.inc"
    {"wglCopyContext", reinterpret_cast<void**>(&wglCopyContext)},
    {"wglCreateContext", reinterpret_cast<void**>(&wglCreateContext)},
    {"wglCreateLayerContext", reinterpret_cast<void**>(&wglCreateLayerContext)},
    {"wglDeleteContext", reinterpret_cast<void**>(&wglDeleteContext)},
    {"wglGetCurrentContext", reinterpret_cast<void**>(&wglGetCurrentContext)},
    {"wglGetCurrentDC", reinterpret_cast<void**>(&wglGetCurrentDC)},
    {"wglGetProcAddress", reinterpret_cast<void**>(&wglGetProcAddress)},
    {"wglMakeCurrent", reinterpret_cast<void**>(&wglMakeCurrent)},
    {"wglShareLists", reinterpret_cast<void**>(&wglShareLists)},
    {"wglSwapBuffers", reinterpret_cast<void**>(&wglSwapBuffers)},
    {"wglUseFontBitmapsA", reinterpret_cast<void**>(&wglUseFontBitmapsA)},
    {"wglUseFontBitmapsW", reinterpret_cast<void**>(&wglUseFontBitmapsW)},
    {"wglGetPixelFormat", reinterpret_cast<void**>(&wglGetPixelFormat)},
    {"wglSetPixelFormat", reinterpret_cast<void**>(&wglSetPixelFormat)},
    {"wglDescribePixelFormat", reinterpret_cast<void**>(&wglDescribePixelFormat)},
    {"wglChoosePixelFormat", reinterpret_cast<void**>(&wglChoosePixelFormat)},
};
#undef GL_FUNCTION

int GLBinding::bindOpenGL(const char* libraryName) {
    if (library) return 1;
    library = LoadLibraryA(libraryName);
    if (!library) return 2;
    released = false;
    for (const GLBindingEntry& entry : table)
        *entry.slot = reinterpret_cast<void*>(GetProcAddress(library, entry.name));
    return 0;
}

int GLBinding::createContext(DemoWindow& window, HWND handle) {
    window.hwnd = handle;
    PIXELFORMATDESCRIPTOR pfd;
    std::memset(&pfd, 0, sizeof pfd);
    pfd.nSize = 40;
    pfd.nVersion = 1;
    pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    pfd.iPixelType = PFD_TYPE_RGBA;
    pfd.cColorBits = 32;
    pfd.cDepthBits = 8;
    pfd.iLayerType = PFD_MAIN_PLANE;

    HDC dc = GetDC(handle);
    int format = ChoosePixelFormat(dc, &pfd);
    window.pixelFormat = pfd;
    SetPixelFormat(dc, format, &window.pixelFormat);
    ReleaseDC(handle, dc);

    dc = GetDC(handle);
    HGLRC context = wglCreateContext ? wglCreateContext(dc) : nullptr;
    if (!context) {
        ReleaseDC(handle, dc);
        return 1;
    }
    wglMakeCurrent(dc, context);
    probeExtensions();
    ReleaseDC(handle, dc);
    return 0;
}

void GLBinding::probeExtensions() {
    glLockArraysEXT = reinterpret_cast<PFNGLLOCKARRAYSEXTPROC>(wglGetProcAddress("glLockArraysEXT"));
    glUnlockArraysEXT = reinterpret_cast<PFNGLUNLOCKARRAYSEXTPROC>(wglGetProcAddress("glUnlockArraysEXT"));
    glVertexArrayRangeNV = reinterpret_cast<PFNGLVERTEXARRAYRANGENVPROC>(wglGetProcAddress("glVertexArrayRangeNV"));
    glFlushVertexArrayRangeNV =
        reinterpret_cast<PFNGLFLUSHVERTEXARRAYRANGENVPROC>(wglGetProcAddress("glFlushVertexArrayRangeNV"));
    wglAllocateMemoryNV = reinterpret_cast<PFNWGLALLOCATEMEMORYNVPROC>(wglGetProcAddress("wglAllocateMemoryNV"));
    wglFreeMemoryNV = reinterpret_cast<PFNWGLFREEMEMORYNVPROC>(wglGetProcAddress("wglFreeMemoryNV"));
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    hasClipVolumeHint = extensions && std::strstr(extensions, "GL_EXT_clip_volume_hint") != nullptr;
}

void lockArrays(GLint first, GLsizei count) {
    if (glLockArraysEXT && glUnlockArraysEXT) glLockArraysEXT(first, count);
}

void unlockArrays() {
    if (glLockArraysEXT && glUnlockArraysEXT) glUnlockArraysEXT();
}

void handTexturesTheirFunctions() {
    TextureFunctions functions;
    functions.genTextures = glGenTextures;
    functions.bindTexture = glBindTexture;
    functions.pixelStorei = glPixelStorei;
    functions.texParameteri = glTexParameteri;
    functions.texImage2D = glTexImage2D;
    functions.getError = glGetError;
    setTextureFunctions(functions);
}
