// Turns a mesh as read (shared vertices, texture coordinates and faces) into what the renderer
// draws: smoothed corner normals, vertices split so each has one position, normal and texture
// coordinate, the axis-aligned box, and an oriented box along the principal axes of the points.
// Runs once per mesh when a scene is loaded.
#pragma once

#include <string>

struct MeshObject;

// Face normals, plane distances and per-corner normals. With a positive angle (radians) each
// corner gathers the normals of the faces around its vertex; otherwise every face is flat.
void computeNormals(MeshObject& mesh, float smoothingAngle);

// The result of splitting: the drawn vertex count, and whether it fits 16-bit indices.
struct SplitResult {
    int drawnCount = 0;
    bool fits = true;   // false: more than 65536 drawn vertices; the mesh was left as it was
};
// Makes one drawn vertex per distinct (normal, texture coordinate) pair of corners and rewrites
// the index buffer to them; releases the input vertices and faces.
SplitResult splitVertices(MeshObject& mesh);

void computeBox(MeshObject& mesh);
void computeOrientedBox(MeshObject& mesh);

// Eigenvalues and eigenvectors of a symmetric 3 x 3 matrix by cyclic Jacobi rotations; `a`
// loses its off-diagonal part. Eigenvector k is column k of `vectors`. Returns the sweeps used,
// or -1 after 50 sweeps without convergence (reported on standard error; the result stands).
int jacobi(double a[3][3], double values[3], double vectors[3][3]);
