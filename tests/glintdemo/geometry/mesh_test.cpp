// The procedural geometry: fast normalisation, tubes, height-map deformation, shared arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/archive.h"
#include "geometry/mesh.h"
#include "geometry/tubes.h"
#include "support.h"
#include "zip_writer.h"

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

TEST_F(GlintMesh, TheNormalizeTableFollowsItsConstruction) {
    // Entry i: 1 / sqrt of the float with bits (i << 17) | 0x3F000000, its bits rounded at bit
    // 15 and the low 8 bits of bits 15 and up kept; entry 64 (the value 1.0) is 255.
    EXPECT_EQ(normalizeTable[0], 0x6A);     // 1 / sqrt(0.5) = 1.4142135, bits 0x3FB504F3
    EXPECT_EQ(normalizeTable[127], 0x6B);   // 1 / sqrt(1.984375) = 0.7098852, bits 0x3F35BB0A
    EXPECT_EQ(normalizeTable[63], 0x01);    // 1 / sqrt(0.9921875) = 1.0039294, bits 0x3F8080C2
    EXPECT_EQ(normalizeTable[64], 255);
    for (uint32_t i = 0; i < 128; ++i) {
        if (i == 64) continue;
        uint32_t bits = (i << 17) | 0x3F000000u;
        float value;
        std::memcpy(&value, &bits, 4);
        float reciprocal = float(1.0 / std::sqrt(double(value)));
        uint32_t r;
        std::memcpy(&r, &reciprocal, 4);
        EXPECT_EQ(normalizeTable[i], uint8_t((r + 0x2000u) >> 15)) << i;
    }
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

TEST_F(GlintMesh, AFortyByFortyTubeRegeneratedInTheShowsMesh) {
    Mesh* tube = nullptr;
    generateTube(500.0f, 80.0f, 40, 40, tube);
    EXPECT_EQ(tube->vertices->count, 1640);
    EXPECT_EQ(tube->faces->count, 3120);
    Mesh* reused = nullptr;
    generateTube(500.0f, 80.0f, 150, 150, reused);
    generateTube(400.0f, 35.0f, 40, 20, reused);   // a smaller tube in the same arrays
    EXPECT_EQ(reused->vertices->count, 840);
    EXPECT_EQ(reused->faces->count, 1560);
    EXPECT_EQ(reused->vertices->capacity, 22650);
    const uint16_t* f = reused->faces->indices;
    EXPECT_EQ(f[1559 * 3 + 1], 839);   // the last face reaches the seam vertex of the last ring
    EXPECT_EQ(f[1559 * 3 + 2], 818);   // and that of the ring before
    EXPECT_EQ(registeredMeshCount(), 2);
}

TEST_F(GlintMesh, TheDeformationWrapsAt255AndInterpolates) {
    TubeGroup group;
    auto* generator = new TubeGenerator(500.0f, 80.0f, 150, 150);
    generator->update(0);
    generator->attach(group);
    std::vector<uint8_t> map(256 * 256, 0);
    map[0] = 255;
    auto* deformer = new SurfaceDeformer(copyMesh(group.currentMesh), map.data());
    deformer->attach(group);
    deformer->bilinear = false;
    // The last ring has u = 1: column 256 - 1 = 255, which wraps to column 0.
    deformer->offsetU = -1.0f;
    group.update();
    const float* in = generator->outputMesh->vertices->items;
    const float* out = deformer->outputMesh->vertices->items;
    const int last = 149 * 151 * 4;   // ring 149, segment 0: u = 1, v = 0
    EXPECT_NEAR(std::hypot(out[last], out[last + 1], out[last + 2]) -
                    std::hypot(in[last], in[last + 1], in[last + 2]), 64.0f, 1e-3f);
    // Bilinear: a sample point a quarter of the way to the right neighbour of 255 reads 3/4 of it.
    std::fill(map.begin(), map.end(), 0);
    map[0] = 255;
    deformer->bilinear = true;
    deformer->offsetU = 0.25f;   // u = 0: cf = 0.25, rounds to column 0 with fc = 0.25
    group.update();
    EXPECT_FLOAT_EQ(out[3], 0.75f * 0.75f);   // w = (h / 255)^2 with h = 0.75 x 255
    deformer->offsetU = -0.25f;   // fc = -0.25: the formula leans on the right neighbour (0)
    group.update();
    EXPECT_FLOAT_EQ(out[3], 1.25f * 1.25f);
    delete deformer;
    delete generator;
}

TEST_F(GlintMesh, AShortHeightMapIsCompletedWithZeros) {
    // Every reader of a height map addresses 256 x 256 samples; a shorter member must not
    // make them read past its end.
    testing_support::TempDir dir;
    content::ZipWriter zip;
    zip.add("short.raw", std::vector<uint8_t>(1000, 7));
    ASSERT_TRUE(zip.writeFile(dir.file("maps.zip")));
    ASSERT_TRUE(addArchive(dir.file("maps.zip").c_str())) << lastError;
    uint8_t* map = loadHeightMap("short.raw");
    closeArchives();
    EXPECT_EQ(map[0], 7);
    EXPECT_EQ(map[999], 7);
    EXPECT_EQ(map[1000], 0);
    EXPECT_EQ(map[65535], 0);
    std::free(map);
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
    float untouched[16];
    std::fill(untouched, untouched + 16, 7.0f);
    lookAt(untouched, {100, 20, -50}, {0, 1100, 0}, 0.3f);
    EXPECT_EQ(untouched[3], 7.0f);
    EXPECT_EQ(untouched[7], 7.0f);
    EXPECT_EQ(untouched[11], 7.0f);
    EXPECT_EQ(untouched[15], 1.0f);
    // Rows 0 to 2 are orthonormal, and the eye goes to the origin.
    for (int r = 0; r < 3; ++r) {
        Vec3 axis = {untouched[r], untouched[4 + r], untouched[8 + r]};
        EXPECT_NEAR(dot(axis, axis), 1.0f, 1e-5f);
    }
    float eye[3] = {100, 20, -50}, atOrigin[3];
    untouched[3] = untouched[7] = untouched[11] = 0.0f;
    transformPoint(untouched, eye, atOrigin);
    for (float c : atOrigin) EXPECT_NEAR(c, 0.0f, 1e-3f);
    float straightDown[16] = {};
    lookAt(straightDown, {0, 10, 0}, {0, 0, 0}, 0.0f);
    EXPECT_FLOAT_EQ(straightDown[6], 1.0f);   // z axis along +y
    EXPECT_FALSE(std::isnan(straightDown[0]));
}

TEST_F(GlintMesh, MultiplyAndTransformFollowOpenGLOrder) {
    // p translates by (1, 2, 3); q scales by 2: p x q applied to a point scales, then translates.
    float p[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1};
    float q[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
    float m[16];
    multiply(q, p, m);   // out[i*4 + j] = sum p[i*4 + k] q[k*4 + j]: rows of the first
    EXPECT_FLOAT_EQ(m[12], 1.0f);
    EXPECT_FLOAT_EQ(m[13], 2.0f);
    EXPECT_FLOAT_EQ(m[0], 2.0f);
    multiply(p, q, m);
    EXPECT_FLOAT_EQ(m[12], 2.0f);   // the translation is scaled as well
    EXPECT_FLOAT_EQ(m[14], 6.0f);
    const float point[3] = {1, 1, 1};
    float out[3];
    transformPoint(m, point, out);
    EXPECT_FLOAT_EQ(out[0], 4.0f);
    EXPECT_FLOAT_EQ(out[1], 6.0f);
    EXPECT_FLOAT_EQ(out[2], 8.0f);
    float r[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};   // 90 degrees about z
    transformPoint(r, point, out);
    EXPECT_FLOAT_EQ(out[0], -1.0f);
    EXPECT_FLOAT_EQ(out[1], 1.0f);
}

}  // namespace
