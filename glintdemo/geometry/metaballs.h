// A blobby surface through a set of particles: every frame the particles are summed into a
// scalar field on a fixed 32 x 32 x 32 grid, the field's 0.5 level is extracted with marching
// cubes into one indexed triangle mesh, and the mesh is drawn environment-mapped, as additive
// wire lines and as an enlarged black copy.
#pragma once

#include <cstdint>
#include <vector>

class ParticleSystem;

extern const uint16_t marchingEdgeTable[256];
extern const int8_t marchingTriangleTable[256][16];

// Rebuilt from nothing every frame.
struct SurfaceMesh {
    float* positions = nullptr;   // 3 floats a vertex
    float* normals = nullptr;     // 3 floats a vertex, unit length once the mesh is built
    uint32_t* indices = nullptr;  // 3 vertex indices a triangle
    int vertexCount = 0;
    int triangleCount = 0;
};

class MetaballSurface {
public:
    static constexpr int gridSize = 32;           // samples a side
    static constexpr int cubesPerSide = gridSize - 1;
    static constexpr float gridOrigin = -115.0f;  // world position of sample 0 on each axis
    static constexpr float gridExtent = 230.0f;   // from the first sample to the last
    static constexpr float reach = 32.0f;         // a particle adds to the samples this near
    static constexpr float level = 0.5f;          // the field value the surface passes through
    // Every edge of the grid holds at most one vertex, and every cube that makes triangles (the
    // 30 x 30 x 30 not on the low faces) makes at most five: room for those can never run
    // out, however the particles lie.
    static constexpr int maxVertices = 3 * cubesPerSide * gridSize * gridSize;
    static constexpr int maxTriangles = 5 * (cubesPerSide - 1) * (cubesPerSide - 1) * (cubesPerSide - 1);

    MetaballSurface();
    ~MetaballSurface();
    MetaballSurface(const MetaballSurface&) = delete;
    MetaballSurface& operator=(const MetaballSurface&) = delete;

    // The world position of sample index i on any axis.
    static float samplePosition(int i);
    // Field, extraction and normals for the active particles of `system`.
    void buildSurface(const ParticleSystem& system);
    // Draws the mesh in the three passes; pitch and yaw (degrees) turn the environment map with
    // the camera.
    void drawSurface(float pitch, float yaw) const;

    // The field: sample (i, j, k) at index i + 32 j + 1024 k.
    float* field;
    SurfaceMesh mesh;
    // OpenGL texture names of the environment picture and of the picture bound for the last pass.
    unsigned environmentTexture = 0;
    unsigned waterTexture = 0;

private:
    void addParticleToField(const float* p);
    int edgeVertex(int i, int j, int k, int edge, const float* corner);

    // For each axis, the vertex on the edge leaving each sample along that axis, -1 if none yet.
    int32_t* edgeVertices[3];
    // For each row of samples along i (index j + 32 k), the range [lo, hi) of i that particles
    // reached this frame: cubes with no corner in any of those ranges are all outside, and are
    // not visited.
    int8_t rowLo[gridSize * gridSize];
    int8_t rowHi[gridSize * gridSize];
    // The particles' positions, 3 floats each, gathered for the normals.
    std::vector<float> particlePositions;
};
