// The procedural geometry: fast normalisation, tubes, height-map deformation, shared arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "geometry/mesh.h"
#include "geometry/tubes.h"

namespace {

class GlintMesh : public ::testing::Test {
protected:
    void SetUp() override { fillNormalizeTable(); }
    void TearDown() override { destroyMeshes(); }
};

TEST_F(GlintMesh, FastNormalizeIsGoodToAboutOnePercent) {
    float v[3] = {3, 0, 4};
    fastNormalize(v);
    EXPECT_NEAR(v[0], 0.6f, 0.006f);
    EXPECT_EQ(v[1], 0.0f);
    EXPECT_NEAR(v[2], 0.8f, 0.008f);
    for (float scale : {1e-3f, 0.37f, 1.0f, 2.5f, 1e3f}) {
        float w[3] = {1.0f * scale, -2.0f * scale, 0.5f * scale};
        fastNormalize(w);
        EXPECT_NEAR(std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]), 1.0f, 0.01f) << scale;
    }
    EXPECT_EQ(normalizeTable[64], 255);
}

TEST_F(GlintMesh, TheShowsTubeHasItsCountsAndSeam) {
    Mesh* tube = nullptr;
    generateTube(500.0f, 80.0f, 150, 150, tube);
    ASSERT_NE(tube, nullptr);
    EXPECT_EQ(tube->vertices->count, 22650);
    EXPECT_EQ(tube->faces->count, 44700);
    const float* v = tube->vertices->items;
    const float* t = (*tube->textureCoordinates)->items;
    float spacing = 500.0f / 150.0f;
    EXPECT_FLOAT_EQ(v[0], (spacing - 500.0f) / 2.0f);              // rings centred on 0
    EXPECT_FLOAT_EQ(v[149 * 151 * 4], (spacing - 500.0f) / 2.0f + 149 * spacing);
    EXPECT_FLOAT_EQ(v[2], 80.0f);                                  // k = 0: angle 0
    EXPECT_FLOAT_EQ(v[150 * 4 + 1], 0.0f);                         // the seam repeats the first
    EXPECT_FLOAT_EQ(v[150 * 4 + 2], 80.0f);
    EXPECT_FLOAT_EQ(t[150 * 4 + 1], 1.0f);
    EXPECT_FLOAT_EQ(t[(149 * 151) * 4], 1.0f);                     // along the tube 0 .. 1
    const uint16_t* f = tube->faces->indices;
    EXPECT_EQ(f[0], 0);
    EXPECT_EQ(f[1], 151);
    EXPECT_EQ(f[2], 152);
    EXPECT_EQ(f[5], 1);
    uint16_t largest = 0;
    for (int i = 0; i < 44700 * 3; ++i) largest = std::max(largest, f[i]);
    EXPECT_EQ(largest, 22649);
}

TEST_F(GlintMesh, DeformerPushesVerticesOutwardByTheHeightMap) {
    TubeGroup group;
    auto* generator = new TubeGenerator(500.0f, 80.0f, 150, 150);
    generator->update(0);
    generator->attach(group);
    EXPECT_EQ(group.flags & 1, 1u);
    std::vector<uint8_t> map(256 * 256, 0);
    map[0] = 255;   // u = v = 0 samples the first byte
    auto* deformer = new SurfaceDeformer(copyMesh(group.currentMesh), map.data());
    deformer->bilinear = false;
    deformer->attach(group);
    EXPECT_EQ(group.currentMesh, deformer->outputMesh);
    group.reset(0);
    group.update();
    const float* in = generator->outputMesh->vertices->items;
    const float* out = deformer->outputMesh->vertices->items;
    float before = std::sqrt(in[0] * in[0] + in[1] * in[1] + in[2] * in[2]);
    float after = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    EXPECT_NEAR(after - before, 64.0f, 1e-3f);   // 255 x amplitude 64 / 255
    EXPECT_FLOAT_EQ(out[3], 1.0f);
    EXPECT_FLOAT_EQ(out[4 * 10], in[4 * 10]);    // a zero sample leaves a vertex alone
    EXPECT_FLOAT_EQ(out[4 * 10 + 3], 0.0f);
    // The deformed copy has its own vertices but shares faces and texture coordinates.
    EXPECT_NE(deformer->outputMesh->vertices, generator->outputMesh->vertices);
    EXPECT_EQ(deformer->outputMesh->faces, generator->outputMesh->faces);
    EXPECT_EQ(deformer->outputMesh->textureCoordinates, generator->outputMesh->textureCoordinates);
    float* normal = &deformer->outputMesh->faceNormals->items[0];
    EXPECT_NEAR(std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]), 1.0f, 0.01f);
    delete deformer;
    delete generator;
}

TEST_F(GlintMesh, CopiesShareArraysThatAreFreedOnce) {
    Mesh* original = createMesh(2, 4, 4, 0);
    Mesh* copy = copyMesh(original);
    EXPECT_EQ(copy->vertices, original->vertices);
    EXPECT_EQ(registeredMeshCount(), 2);
    destroyMeshes();   // would free shared arrays twice if it did not gather them first
    EXPECT_EQ(registeredMeshCount(), 0);
}

TEST_F(GlintMesh, LookAtBuildsAnOrthonormalView) {
    float m[16] = {};
    lookAt(m, {0, 0, 10}, {0, 0, 0}, 0.0f);
    EXPECT_FLOAT_EQ(m[0], 1.0f);
    EXPECT_FLOAT_EQ(m[5], 1.0f);
    EXPECT_FLOAT_EQ(m[10], 1.0f);
    EXPECT_FLOAT_EQ(m[14], -10.0f);
    EXPECT_FLOAT_EQ(m[15], 1.0f);
    float straightDown[16] = {};
    lookAt(straightDown, {0, 10, 0}, {0, 0, 0}, 0.0f);
    EXPECT_FLOAT_EQ(straightDown[6], 1.0f);   // z axis along +y
    EXPECT_FALSE(std::isnan(straightDown[0]));
}

}  // namespace
