// The flat triangle streamers: two swarms of thin triangles rebuilt every frame from a fixed
// pseudo-random sequence and the show time, drawn six times under different rotations. The
// swarm is computed apart from drawing.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"

// The C runtime's generator, so the streamers are the same on every run as they always were:
// x := x * 214013 + 2531011, each draw (x >> 16) & 0x7FFF.
struct RuntimeRandom {
    uint32_t state = 1;

    void seed(uint32_t value) { state = value; }
    int next() {
        state = state * 214013u + 2531011u;
        return int((state >> 16) & 0x7FFF);
    }
    // A draw scaled to 0 .. 1.
    float unit() { return float(next()) * 0.00003051851f; }
};

constexpr int swarmTriangles = 150;

// The streamers' geometry: a pool of 4-float vertices (x, y, z, w) and a list of triangles of
// three 16-bit vertex indices, allocated once.
struct Swarm {
    static constexpr int vertexCapacity = 40000;
    static constexpr int triangleCapacity = 79202;

    float* vertices = nullptr;      // vertexCapacity x 4
    int vertexCount = 0;
    uint16_t* triangles = nullptr;  // triangleCapacity x 3, 0xFFFF where unused
    int triangleCount = 0;

    Swarm();
    ~Swarm();
    Swarm(const Swarm&) = delete;
    Swarm& operator=(const Swarm&) = delete;
    void clear() { vertexCount = triangleCount = 0; }
};

// Appends 150 triangles strewn between `source` and `target`, stretched along `direction` by
// the show time t. The generator is seeded with 1 first, so every swarm has the same draws.
void generateSwarm(Swarm& swarm, const Vec3& source, const Vec3& target, const Vec3& direction, float t);
// The two swarms of a frame at show time t, the second the first shifted by (300, 360, 0).
void buildStreamers(Swarm& swarm, float t);
// The opacity of the tinted pass: fading in from 56 s, dimmed between 157 and 194.5 s.
float streamerOpacity(float t);
