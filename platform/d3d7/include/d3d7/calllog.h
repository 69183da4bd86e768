// The call log of the Direct3D stand-in: every call a program makes to the device, the
// Direct3D object, vertex buffers, textures, the D3DX context and the D3DX functions, one line
// each in call order, for example
//
//   SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE)
//   SetTexture(0, texture#3 "images/wood.bmp")
//   DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb#2, 0, 36, indices, 54, 0)
//   vb#2->Lock(DDLOCK_WRITEONLY | DDLOCK_DISCARDCONTENTS)
//   context->UpdateFrame(0)
//
// Device calls have no prefix; calls on other objects are prefixed with the object's name
// (vb#N, texture#N, surface#N, d3d, ddraw, context). Objects are numbered per kind in creation
// order from 1 (d3d7::testing::reset starts the numbering again). Enumerated values are
// written by their API names, booleans as TRUE or FALSE, colours as 0xAARRGGBB. A call that
// fails ends with " = " and its result's name. Reference counting (AddRef, Release) is not
// logged. Calls recorded into a state block are logged as they are made; ApplyStateBlock is
// one line.
//
// Tests read the log in-process; a whole program writes it to the file named by
// DEMO_D3D_TRACE (frames chosen by DEMO_D3D_TRACE_FRAMES), with a line "-- frame N" after the
// N-th UpdateFrame.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct IDirect3DDevice7;

namespace d3d7::calllog {

// Starts (true) or stops (false) keeping the lines in memory. Off at start.
void enable(bool on);
bool enabled();
void clear();
// The lines kept since the last clear().
std::vector<std::string> lines();
// The lines of `lines()` that begin with `prefix`.
std::vector<std::string> linesStartingWith(const std::string& prefix);

// What state block `handle` of `device` holds, one line per state as the call that sets it
// ("SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT)"), in the order the states were
// first recorded. Empty when there is no such block.
std::vector<std::string> stateBlock(IDirect3DDevice7* device, DWORD handle);

}  // namespace d3d7::calllog
