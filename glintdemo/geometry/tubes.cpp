#include "geometry/tubes.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "assets/archive.h"

TubeGroup* tubeGroup1 = nullptr;
TubeGroup* tubeGroup2 = nullptr;

namespace {

constexpr size_t heightMapSize = 256 * 256;

void identity(float* m) {
    std::memset(m, 0, sizeof(float) * 16);
    m[0] = m[5] = m[10] = m[15] = 1.0f;
}

}  // namespace

void MeshStage::attach(TubeGroup& group) {
    inputMesh = group.currentMesh;
    group.currentMesh = outputMesh;
    next = nullptr;
    if (!group.firstChild) {
        group.firstChild = this;
        return;
    }
    MeshStage* last = group.firstChild;
    while (last->next) last = last->next;
    last->next = this;
}

TubeGroup::TubeGroup() { identity(matrix); }

void TubeGroup::reset(int newParameter) {
    parameter = newParameter;
    identity(matrix);
}

void TubeGroup::update() {
    for (MeshStage* stage = firstChild; stage; stage = stage->next) stage->update(parameter);
}

TubeGenerator::TubeGenerator(float length, float radius, int rings, int segments)
    : length(length), radius(radius), rings(rings), segments(segments) {}

void TubeGenerator::attach(TubeGroup& group) {
    MeshStage::attach(group);
    group.flags |= 1;
}

void TubeGenerator::update(int) { generateTube(length, radius, rings, segments, outputMesh); }

SurfaceDeformer::SurfaceDeformer(Mesh* input, const uint8_t* heightMap) : heightMap(heightMap) {
    identity(matrix);
    outputMesh = copyMesh(input);
    outputMesh->vertices = new VertexArray(input->vertices->capacity);
    outputMesh->vertices->count = input->vertices->count;
    outputMesh->normals = new VertexArray(input->normals->capacity);
    outputMesh->normals->count = input->normals->count;
}

void SurfaceDeformer::update(int) {
    const VertexArray& in = *inputMesh->vertices;
    const float* coordinates = (*inputMesh->textureCoordinates)->items;
    float* out = outputMesh->vertices->items;
    for (int i = 0; i < in.count; ++i) {
        const float* p = &in.items[i * 4];
        float u = coordinates[i * 4], v = coordinates[i * 4 + 1];
        float cf = u * scaleU * 256.0f + offsetU;
        float rf = v * scaleV * 256.0f + offsetV;
        int ci = int(std::lrint(cf)), ri = int(std::lrint(rf));   // to the nearest, ties to even
        // Negative coordinates wrap inside the map instead of reading before it.
        int row = ri % 255, column = ci % 255;
        if (row < 0) row += 255;
        if (column < 0) column += 255;
        const uint8_t* sample = &heightMap[row * 256 + column];
        float h = sample[0];
        if (bilinear) {
            float fr = rf - float(ri), fc = cf - float(ci);
            h = fr * ((1.0f - fc) * sample[256] + fc * sample[257]) + (fc * sample[1] + (1.0f - fc) * sample[0]) * (1.0f - fr);
        }
        float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        float s = length > 0.0f ? h * amplitude / (length * 255.0f) + 1.0f : 1.0f;
        out[i * 4] = p[0] * s;
        out[i * 4 + 1] = p[1] * s;
        out[i * 4 + 2] = p[2] * s;
        float w = h / 255.0f;
        out[i * 4 + 3] = w * w;
    }
    outputMesh->vertices->count = in.count;
    if (recomputeNormals) computeFaceNormals(outputMesh);
}

void createTubeGroups() {
    for (TubeGroup** group : {&tubeGroup1, &tubeGroup2}) {
        *group = new TubeGroup;
        auto* generator = new TubeGenerator(500.0f, 80.0f, 150, 150);
        generator->update(0);
        generator->attach(**group);
    }
}

uint8_t* loadHeightMap(const char* member) {
    // Height maps are read as 256 x 256 samples: a shorter map is completed with zeros rather
    // than read past its end.
    MemberData data{};
    if (!readMember(member, &data)) loadMember(member);   // stops the show
    auto* heightMap = static_cast<uint8_t*>(std::calloc(heightMapSize, 1));
    std::memcpy(heightMap, data.data, std::min<size_t>(size_t(data.size), heightMapSize));
    std::free(data.data);
    return heightMap;
}

SurfaceDeformer* attachDeformer(TubeGroup* group, const char* heightMapMember) {
    auto* deformer = new SurfaceDeformer(copyMesh(group->currentMesh), loadHeightMap(heightMapMember));
    deformer->attach(*group);
    return deformer;
}
