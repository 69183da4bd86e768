// The billboard blob field: a fixed cubic lattice sampled against four moving spherical fields;
// every point whose value is high enough becomes a camera-facing glowing square. The field is
// computed apart from drawing.
#pragma once

#include <vector>

// A spherical field: full strength at its centre, falling to 0 at its radius.
struct FieldSource {
    float x, y, z;
    float radius;
    float strength;
};

struct BlobField {
    static constexpr int side = 25;                      // lattice points on each axis
    static constexpr int pointCount = side * side * side;

    // x, y, z and the field value of every lattice point, x varying fastest, then y, then z;
    // coordinates from -50 to 46 in steps of 4.
    std::vector<float> points;
    FieldSource sources[4];

    // The lattice with every value 0 and the sources where the show starts them.
    BlobField();
    // Moves the sources to show time t and evaluates every point.
    void update(float t);
};

// The half-size of a point's square, value x 0.1; the point is drawn only when this rounds
// (to the nearest, ties to even) to 1 or more.
inline float billboardHalfSize(float value) { return value * 0.1f; }
bool billboardDrawn(float value);
