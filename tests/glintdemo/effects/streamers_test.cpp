// The streamers' generator, swarms and opacity.
#include <gtest/gtest.h>

#include <cmath>

#include "effects/flatmesh.h"

namespace {

TEST(GlintStreamers, TheGeneratorDrawsAsTheRuntimeDoes) {
    RuntimeRandom random;
    random.seed(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169, 15724};
    for (int value : expected) EXPECT_EQ(random.next(), value);
    random.seed(1);
    EXPECT_EQ(random.next(), 41);   // seeding starts the sequence again
    EXPECT_NEAR(random.unit(), 18467.0f / 32767.0f, 1e-6f);
}

TEST(GlintStreamers, TwoSwarmsOfOneHundredFiftyTrianglesTheSecondShifted) {
    Swarm swarm;
    const float t = 70.0f;
    buildStreamers(swarm, t);
    buildStreamers(swarm, t);   // each frame starts from an empty pool
    ASSERT_EQ(swarm.triangleCount, 2 * swarmTriangles);
    ASSERT_EQ(swarm.vertexCount, 6 * swarmTriangles);
    EXPECT_EQ(swarm.triangles[swarm.triangleCount * 3], 0xFFFF);   // the rest of the list is untouched
    for (int i = 0; i < swarmTriangles * 3; ++i) {
        const float* first = &swarm.vertices[swarm.triangles[i] * 4];
        const float* second = &swarm.vertices[swarm.triangles[i + swarmTriangles * 3] * 4];
        ASSERT_NEAR(second[0] - first[0], 300.0f, 1e-3f) << i;
        ASSERT_NEAR(second[1] - first[1], 360.0f, 1e-3f) << i;
        ASSERT_FLOAT_EQ(second[2], first[2]) << i;
    }
}

TEST(GlintStreamers, EachTriangleStretchesAlongDepthWithAFinUpwards) {
    Swarm swarm;
    const float t = 0.0f;
    buildStreamers(swarm, t);
    // Triangle 0 takes the first four draws: 41, 18467, 6334, 26500.
    const float* p1 = &swarm.vertices[swarm.triangles[0] * 4];
    const float* p2 = &swarm.vertices[swarm.triangles[1] * 4];
    const float* p3 = &swarm.vertices[swarm.triangles[2] * 4];
    const float r1 = 41 * 0.00003051851f, r2 = 18467 * 0.00003051851f - 0.5f;
    EXPECT_NEAR(p1[0], -300.0f + 300.0f * r1, 1e-3f);
    EXPECT_NEAR(p1[1], -360.0f + 360.0f * r2, 1e-3f);
    EXPECT_FLOAT_EQ(p1[2], 0.0f);     // sin(0) x 500
    EXPECT_FLOAT_EQ(p2[2], 100.0f);   // sin(0) x 400 + 100
    EXPECT_FLOAT_EQ(p2[0], p1[0]);
    EXPECT_FLOAT_EQ(p2[1], p1[1]);
    const float fin = (26500 * 0.00003051851f - 0.5f) * 40.0f;   // sin(0) x 15 + 40
    EXPECT_NEAR(p3[1] - p2[1], fin, 1e-4f);
    EXPECT_FLOAT_EQ(p3[0], p2[0]);
    EXPECT_FLOAT_EQ(p3[2], p2[2]);
    EXPECT_EQ(p1[3], 0.0f);
}

TEST(GlintStreamers, TheTintedPassFadesInAndIsDimmedInTheMiddle) {
    EXPECT_EQ(streamerOpacity(30.0f), 0.0f);
    EXPECT_EQ(streamerOpacity(56.0f), 0.0f);
    EXPECT_NEAR(streamerOpacity(59.0f), 0.45f, 1e-5f);
    EXPECT_FLOAT_EQ(streamerOpacity(62.67f), 1.0f);
    EXPECT_FLOAT_EQ(streamerOpacity(157.0f), 1.0f);
    EXPECT_FLOAT_EQ(streamerOpacity(160.0f), 0.21f);
    EXPECT_FLOAT_EQ(streamerOpacity(194.4f), 0.21f);
    EXPECT_FLOAT_EQ(streamerOpacity(194.6f), 1.0f);
    EXPECT_FLOAT_EQ(streamerOpacity(200.0f), 1.0f);
}

}  // namespace
