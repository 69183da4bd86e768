// Triangle meshes of korvo's sample show, built from formulas, and their way into LWO2
// objects.
//
// Orientation: the player's objects are seen from the side on which a triangle's corners run
// clockwise (left-handed coordinates, y up, the camera looking along +z), which is the side
// (p1 - p0) x (p2 - p0) points to. Every builder turns its triangles so that this side is the
// outside.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lwo_writer.h"

namespace content::korvo {

using Vec3 = std::array<float, 3>;

struct Mesh {
    std::vector<Vec3> points;
    std::vector<std::array<float, 2>> uv;   // empty, or (u, v) for every point, v up
    std::vector<std::array<uint32_t, 3>> triangles;
};

// A closed surface around the origin: the poles on the y axis, `rings` bands of `segments`
// quads, each point at the distance radius(longitude, colatitude) (radians) from the origin.
// Meshes of equal segments and rings have equal points and triangles in the same order,
// whatever the radius function: one can be morphed into another.
Mesh sphere(int segments, int rings, const std::function<float(float, float)>& radius);
// A torus around the y axis: `major` radius of the ring, `minor` of the tube. UVs: u along
// the ring (repeated `repeatU` times), v around the tube; the seam's points are doubled so
// that the texture wraps.
Mesh torus(float major, float minor, int segmentsU, int segmentsV, float repeatU, float repeatV);
// A band of `width` along a circle of `radius` around the y axis that turns half a turn on
// the way round; u along the band (repeated `repeatU` times), v across it.
Mesh mobius(float radius, float width, int segmentsU, int segmentsV, float repeatU);
// A crystal: a prism of `sides` around the y axis with a pyramid at each end, its corners
// shifted a little by `seed` so that no two crystals look alike.
Mesh crystal(int sides, float radius, float bodyHeight, float tipHeight, uint32_t seed);
// A flat ring in the xz plane, facing up. UVs: u around the ring (repeated `repeatU` times),
// v from the inner edge (0) to the outer (1); the seam's points are doubled.
Mesh annulus(float inner, float outer, int segments, float repeatU);
// A square of `size` in the xz plane at height y, facing up, `cells` x `cells` quads, UVs
// repeated `repeat` times.
Mesh floorGrid(float size, int cells, float repeat, float y);
// A rectangle in the xy plane facing the camera (-z), UVs (0, 0) at the lower left.
Mesh panel(float width, float height);
// Points alone, three to a triangle (their surface draws a sprite at each point); the last
// triangle repeats the last point when the count is not a multiple of three.
Mesh pointCloud(const std::vector<Vec3>& points);

// Appends a mesh to an object: its points, its triangles under `surface` and, when the mesh
// has UVs and `uvMap` is given, its coordinates in a new UV map of that name (one UV-mapped
// mesh an object).
void addMesh(lwo::Object& object, const Mesh& mesh, const std::string& surface, const std::string& uvMap = "");

// The show's pseudo-random numbers: the same sequence on every run and machine.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed) {}
    float uniform();                       // [0, 1)
    float between(float low, float high);  // [low, high)

private:
    uint32_t state_;
};

}  // namespace content::korvo
