// Hooks for tests of the Direct3D stand-in and of programs built on it.
#pragma once

namespace d3d7::testing {

// How contexts created from now on draw.
//  OpenGL: the real thing, on the host's OpenGL context.
//  RecordOnly: no OpenGL context at all; every call is checked, takes effect on the device's
//  state and is logged (d3d7/calllog.h), but nothing is drawn. Image files are still read, so
//  texture sizes come out as they would. Reading back the render target fails.
enum class Rendering { OpenGL, RecordOnly };
void setRendering(Rendering rendering);
Rendering rendering();

// Forgets the library state of a process (D3DXInitialize, object numbering, the call log and
// its contents, the rendering choice) so that each test starts afresh. Objects still alive are
// not touched.
void reset();

// How many Direct3D, DirectDraw and D3DX objects exist now.
long liveObjects();

}  // namespace d3d7::testing
