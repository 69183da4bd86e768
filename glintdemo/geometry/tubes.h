// Tube groups: a tube generator followed by any number of height-map deformers, each stage
// turning the mesh before it into its own; the group draws the mesh of the last stage.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"

class TubeGroup;

class MeshStage {
public:
    virtual ~MeshStage() = default;
    // Takes the group's current mesh as input and makes this stage's output the current mesh.
    virtual void attach(TubeGroup& group);
    virtual void update(int parameter) = 0;

    Mesh* inputMesh = nullptr;
    Mesh* outputMesh = nullptr;
    MeshStage* next = nullptr;
};

class TubeGroup {
public:
    TubeGroup();
    void reset(int parameter);
    // Runs every stage in the order they were attached.
    void update();

    int parameter = 0;
    Mesh* currentMesh = nullptr;
    MeshStage* firstChild = nullptr;
    float matrix[16];
    uint32_t flags = 2;   // bit 0: a tube generator is attached
};

class TubeGenerator : public MeshStage {
public:
    TubeGenerator(float length, float radius, int rings, int segments);
    void attach(TubeGroup& group) override;
    void update(int parameter) override;

    float length, radius;
    int rings, segments;
};

// Pushes every vertex of its input along the line from the origin by the height map's sample
// at the vertex's texture coordinates.
class SurfaceDeformer : public MeshStage {
public:
    // heightMap: 256 rows of 256 samples, kept by the deformer.
    SurfaceDeformer(Mesh* input, const uint8_t* heightMap);
    void update(int parameter) override;

    const uint8_t* heightMap;
    float matrix[16];
    float offsetU = 0.0f, offsetV = 0.0f;
    float amplitude = 64.0f;
    float scaleU = 1.0f, scaleV = 1.0f;
    bool recomputeNormals = true;
    bool bilinear = true;
};

extern TubeGroup* tubeGroup1;
extern TubeGroup* tubeGroup2;

// Makes the two groups, each with its own tube (length 500, radius 80, 150 rings and 150
// segments), generated at once.
void createTubeGroups();
// A height map (256 rows of 256 samples) read whole from the archive, zero where the member
// is shorter; a missing member stops the show.
uint8_t* loadHeightMap(const char* member);
// Attaches a deformer on a copy of the group's current mesh, with the named height map read
// whole from the archive.
SurfaceDeformer* attachDeformer(TubeGroup* group, const char* heightMapMember);
