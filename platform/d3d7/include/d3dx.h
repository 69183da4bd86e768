// D3DX 7, the Direct3D 7 utility library.
#pragma once

#include "d3dxcore.h"
#include "d3dxerr.h"
#include "d3dxmath.h"
#include "d3dxsprite.h"
