// The tube groups as the tube effects set them up each frame: sizes, deformer parameters, and
// the shading height the last deformer leaves in each vertex.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "effects/tubegroups.h"
#include "geometry/mesh.h"
#include "geometry/tubes.h"

namespace {

class GlintTubeGroups : public ::testing::Test {
protected:
    void SetUp() override {
        fillNormalizeTable();
        createTubeGroups();
        // Group 1: "disp2.raw" then "wave1.raw"; group 2: "wave1.raw" then "twirlb.raw".
        for (auto [group, map] : {std::pair{tubeGroup1, &disp}, {tubeGroup1, &wave}, {tubeGroup2, &wave},
                                  {tubeGroup2, &twirl}}) {
            auto* deformer = new SurfaceDeformer(copyMesh(group->currentMesh), map->data());
            deformer->attach(*group);
        }
    }
    void TearDown() override {
        for (TubeGroup* group : {tubeGroup1, tubeGroup2}) {
            for (MeshStage* stage = group->firstChild; stage;) {
                MeshStage* next = stage->next;
                delete stage;
                stage = next;
            }
            delete group;
        }
        destroyMeshes();
    }

    SurfaceDeformer* stage(TubeGroup* group, int index) {
        MeshStage* s = group->firstChild;
        for (int i = 0; i < index; ++i) s = s->next;
        return static_cast<SurfaceDeformer*>(s);
    }

    std::vector<uint8_t> disp = std::vector<uint8_t>(65536, 40);
    std::vector<uint8_t> wave = std::vector<uint8_t>(65536, 0);
    std::vector<uint8_t> twirl = std::vector<uint8_t>(65536, 255);
};

TEST_F(GlintTubeGroups, GroupOneIsAFortyByFortyTubeDeformedTwice) {
    const float t = 3.0f;
    configureTubeGroup1(t);
    tubeGroup1->reset(int(t));
    tubeGroup1->update();
    const Mesh& mesh = *tubeGroup1->currentMesh;
    EXPECT_EQ(mesh.vertices->count, 1640);
    EXPECT_EQ(mesh.faces->count, 3120);
    SurfaceDeformer* disp2 = stage(tubeGroup1, 1);
    SurfaceDeformer* wave1 = stage(tubeGroup1, 2);
    EXPECT_FALSE(disp2->recomputeNormals);
    EXPECT_FALSE(wave1->recomputeNormals);
    EXPECT_FLOAT_EQ(wave1->offsetU, 96.0f);
    EXPECT_FLOAT_EQ(wave1->offsetV, 159.0f);
    EXPECT_FLOAT_EQ(wave1->amplitude, 114.0f);
    EXPECT_NEAR(wave1->scaleU, 3.0 * std::sin(0.3), 1e-6);
    EXPECT_NEAR(wave1->scaleV, 10.0 * std::fabs(std::cos(0.48)), 1e-5);
    EXPECT_NEAR(disp2->scaleU, 10.0 * std::sin(0.3), 1e-5);
    EXPECT_NEAR(disp2->scaleV, 3.0 * std::cos(0.48), 1e-6);
    EXPECT_FLOAT_EQ(disp2->amplitude, 64.0f);
    EXPECT_FLOAT_EQ(disp2->offsetU, 0.0f);
    // Scales stay positive when the sines turn negative.
    configureTubeGroup1(40.0f);
    EXPECT_GT(wave1->scaleU, 0.0f);
    EXPECT_NEAR(wave1->scaleU, 3.0 * std::fabs(std::sin(4.0)), 1e-6);
    // The last deformer's map is flat 0: every vertex keeps the first deformer's place and is
    // drawn black at its first corner (w = 0); the first pushed each out by 40 x 64 / 255.
    const float* v = mesh.vertices->items;
    for (int i = 0; i < 1640; ++i) ASSERT_EQ(v[i * 4 + 3], 0.0f) << i;
    const float* base = tubeGroup1->firstChild->outputMesh->vertices->items;
    float before = std::hypot(base[1], base[2], base[0]);
    EXPECT_NEAR(std::hypot(v[1], v[2], v[0]) - before, 40.0f * 64.0f / 255.0f, 1e-3f);
}

TEST_F(GlintTubeGroups, GroupTwoIsFortyRingsOfTwentySegments) {
    const float t = 2.0f;
    configureTubeGroup2(t);
    tubeGroup2->reset(int(t));
    tubeGroup2->update();
    const Mesh& mesh = *tubeGroup2->currentMesh;
    EXPECT_EQ(mesh.vertices->count, 840);
    EXPECT_EQ(mesh.faces->count, 1560);
    const TubeGenerator* generator = static_cast<TubeGenerator*>(tubeGroup2->firstChild);
    EXPECT_FLOAT_EQ(generator->length, 400.0f);
    EXPECT_FLOAT_EQ(generator->radius, 35.0f);
    SurfaceDeformer* wave1 = stage(tubeGroup2, 1);
    SurfaceDeformer* twirlb = stage(tubeGroup2, 2);
    EXPECT_FLOAT_EQ(wave1->offsetU, 84.0f);
    EXPECT_FLOAT_EQ(wave1->offsetV, 126.0f);
    EXPECT_FLOAT_EQ(wave1->amplitude, 223.0f);
    EXPECT_FLOAT_EQ(wave1->scaleU, 2.0f);
    EXPECT_FLOAT_EQ(wave1->scaleV, 1.0f);
    EXPECT_FLOAT_EQ(twirlb->scaleU, 4.0f);
    EXPECT_FLOAT_EQ(twirlb->scaleV, 3.0f);
    EXPECT_FLOAT_EQ(twirlb->amplitude, 64.0f);
    EXPECT_FALSE(twirlb->recomputeNormals);
    // "twirlb" is 255 everywhere: every vertex 64 units further out than the generated tube
    // (the "wave1" map is 0), with w = 1.
    const float* in = generator->outputMesh->vertices->items;
    const float* out = mesh.vertices->items;
    for (int i : {0, 21, 400, 839}) {
        float before = std::hypot(in[i * 4], in[i * 4 + 1], in[i * 4 + 2]);
        EXPECT_NEAR(std::hypot(out[i * 4], out[i * 4 + 1], out[i * 4 + 2]) - before, 64.0f, 1e-3f) << i;
        EXPECT_FLOAT_EQ(out[i * 4 + 3], 1.0f);
    }
    EXPECT_FLOAT_EQ(in[0], (10.0f - 400.0f) / 2.0f);   // rings 10 apart, centred
    EXPECT_FLOAT_EQ(in[2], 35.0f);
}

}  // namespace
