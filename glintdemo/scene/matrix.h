// The 4 x 4 matrices of scene animation: 16 floats, element (r, c) at position 4r + c, points
// as row vectors (p' = p . M), so the translation sits in positions 12, 13, 14 and the same 16
// floats go to glLoadMatrixf unchanged. The product A . B is geometry's multiply(A, B, out);
// p . A . B applies A first; geometry's transformPoint(M, p, out) is p . M.
#pragma once

void setIdentity(float* m);
// Elementary rotations by `angle` radians: about X (5 = c, 6 = -s, 9 = s, 10 = c), about Y
// (0 = c, 2 = s, 8 = -s, 10 = c), about Z (0 = c, 1 = s, 4 = -s, 5 = c).
void rotationX(float angle, float* out);
void rotationY(float angle, float* out);
void rotationZ(float angle, float* out);
void translation(float x, float y, float z, float* out);
void scaling(float x, float y, float z, float* out);
// General inverse by cofactors and determinant; false (out untouched) for a singular matrix.
bool invertMatrix(const float* m, float* out);
