// The OpenGL 1.1 entry table behind "opengl32.dll". Private to platform/gl.
#pragma once

namespace gl_standin {

struct Entry {
    const char* name;
    void* system;   // the system OpenGL's function
    void* traced;   // records the call in the trace, then calls the scaled or the system's
    void* scaled;   // for calls that deal in pixels: draws at the render scale; else null
};

// All 336 entry points of OpenGL 1.1, in alphabetical order (generated).
extern const Entry openGL11Entries[336];

}  // namespace gl_standin
