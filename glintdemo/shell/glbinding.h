// The show never links OpenGL: it loads "opengl32.dll" by name at start-up and calls every
// OpenGL and WGL function through the pointers bound here, under the functions' own names.
#pragma once

#include <windows.h>
#include <GL/gl.h>

// The pointers live in their own namespace, as a library's exports live in their own module;
// the using-directive at the end lets the show call them by the functions' own names.
namespace opengl32 {

#define GL_FUNCTION(name, type) extern type name;
#include "shell/glfunctions.inc"
#undef GL_FUNCTION

typedef BOOL(APIENTRY* PFNWGLCOPYCONTEXTPROC)(HGLRC, HGLRC, UINT);
typedef HGLRC(APIENTRY* PFNWGLCREATECONTEXTPROC)(HDC);
typedef HGLRC(APIENTRY* PFNWGLCREATELAYERCONTEXTPROC)(HDC, int);
typedef BOOL(APIENTRY* PFNWGLDELETECONTEXTPROC)(HGLRC);
typedef HGLRC(APIENTRY* PFNWGLGETCURRENTCONTEXTPROC)(void);
typedef HDC(APIENTRY* PFNWGLGETCURRENTDCPROC)(void);
typedef PROC(APIENTRY* PFNWGLGETPROCADDRESSPROC)(LPCSTR);
typedef BOOL(APIENTRY* PFNWGLMAKECURRENTPROC)(HDC, HGLRC);
typedef BOOL(APIENTRY* PFNWGLSHARELISTSPROC)(HGLRC, HGLRC);
typedef BOOL(APIENTRY* PFNWGLSWAPBUFFERSPROC)(HDC);
typedef BOOL(APIENTRY* PFNWGLUSEFONTBITMAPSPROC)(HDC, DWORD, DWORD, DWORD);
typedef int(APIENTRY* PFNWGLGETPIXELFORMATPROC)(HDC);
typedef BOOL(APIENTRY* PFNWGLSETPIXELFORMATPROC)(HDC, int, const PIXELFORMATDESCRIPTOR*);
typedef int(APIENTRY* PFNWGLDESCRIBEPIXELFORMATPROC)(HDC, int, UINT, LPPIXELFORMATDESCRIPTOR);
typedef int(APIENTRY* PFNWGLCHOOSEPIXELFORMATPROC)(HDC, const PIXELFORMATDESCRIPTOR*);

extern PFNWGLCOPYCONTEXTPROC wglCopyContext;
extern PFNWGLCREATECONTEXTPROC wglCreateContext;
extern PFNWGLCREATELAYERCONTEXTPROC wglCreateLayerContext;
extern PFNWGLDELETECONTEXTPROC wglDeleteContext;
extern PFNWGLGETCURRENTCONTEXTPROC wglGetCurrentContext;
extern PFNWGLGETCURRENTDCPROC wglGetCurrentDC;
extern PFNWGLGETPROCADDRESSPROC wglGetProcAddress;
extern PFNWGLMAKECURRENTPROC wglMakeCurrent;
extern PFNWGLSHARELISTSPROC wglShareLists;
extern PFNWGLSWAPBUFFERSPROC wglSwapBuffers;
extern PFNWGLUSEFONTBITMAPSPROC wglUseFontBitmapsA;
extern PFNWGLUSEFONTBITMAPSPROC wglUseFontBitmapsW;
extern PFNWGLGETPIXELFORMATPROC wglGetPixelFormat;
extern PFNWGLSETPIXELFORMATPROC wglSetPixelFormat;
extern PFNWGLDESCRIBEPIXELFORMATPROC wglDescribePixelFormat;
extern PFNWGLCHOOSEPIXELFORMATPROC wglChoosePixelFormat;

// Vendor extensions, null unless the driver has them.
extern PFNGLLOCKARRAYSEXTPROC glLockArraysEXT;
extern PFNGLUNLOCKARRAYSEXTPROC glUnlockArraysEXT;
extern PFNGLVERTEXARRAYRANGENVPROC glVertexArrayRangeNV;
extern PFNGLFLUSHVERTEXARRAYRANGENVPROC glFlushVertexArrayRangeNV;
extern PFNWGLALLOCATEMEMORYNVPROC wglAllocateMemoryNV;
extern PFNWGLFREEMEMORYNVPROC wglFreeMemoryNV;

}  // namespace opengl32

using namespace opengl32;

struct DemoWindow;

// One entry of the binding table: a name and the pointer it fills.
struct GLBindingEntry {
    const char* name;
    void** slot;
};

class GLBinding {
public:
    // Loads the library and fills the table: 1 when a library is loaded already (nothing
    // done), 2 when it cannot be loaded (the table stays empty), 0 after binding.
    int bindOpenGL(const char* libraryName);
    // Chooses and sets the pixel format on the window, creates the rendering context, makes it
    // current and probes the extensions: 0, or 1 when no context could be made.
    int createContext(DemoWindow& window, HWND handle);

    HMODULE library = nullptr;
    bool released = false;
    bool hasClipVolumeHint = false;

    // The 336 OpenGL 1.1 names in alphabetical order, then the 16 WGL names.
    static const GLBindingEntry table[352];

private:
    void probeExtensions();
};

extern GLBinding glBinding;

// Compiled vertex arrays, when the driver has them: without them the arrays are simply not locked.
void lockArrays(GLint first, GLsizei count);
void unlockArrays();

// Hands the texture loader the bound entry points it needs; done once the table is filled.
void handTexturesTheirFunctions();
