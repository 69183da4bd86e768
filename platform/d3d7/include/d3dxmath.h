// The D3DX vector types the sprite functions take.
#pragma once

#include "d3dtypes.h"

typedef struct D3DXVECTOR2 {
    D3DXVECTOR2() = default;
    D3DXVECTOR2(float x_, float y_) : x(x_), y(y_) {}
    float x = 0, y = 0;
} D3DXVECTOR2, *LPD3DXVECTOR2;

typedef struct D3DXVECTOR3 : public D3DVECTOR {
    D3DXVECTOR3() : D3DVECTOR{} {}
    D3DXVECTOR3(float x_, float y_, float z_) : D3DVECTOR{} {
        x = x_;
        y = y_;
        z = z_;
    }
    D3DXVECTOR3(const D3DVECTOR& v) : D3DVECTOR(v) {}
} D3DXVECTOR3, *LPD3DXVECTOR3;

static_assert(sizeof(D3DXVECTOR2) == 8 && sizeof(D3DXVECTOR3) == 12);
