// The billboards' lattice, sources and field values.
#include <gtest/gtest.h>

#include <cmath>

#include "effects/billboards.h"

namespace {

const float* point(const BlobField& field, int k, int j, int i) {
    return &field.points[size_t((i * BlobField::side + j) * BlobField::side + k) * 4];
}

TEST(GlintBlobField, TheLatticeSpansMinus50To46WithXFastest) {
    BlobField field;
    ASSERT_EQ(field.points.size(), size_t(15625) * 4);
    EXPECT_FLOAT_EQ(field.points[0], -50.0f);
    EXPECT_FLOAT_EQ(field.points[4], -46.0f);   // the next point steps along x
    EXPECT_FLOAT_EQ(field.points[5], -50.0f);
    const float* last = point(field, 24, 24, 24);
    EXPECT_FLOAT_EQ(last[0], 46.0f);
    EXPECT_FLOAT_EQ(last[1], 46.0f);
    EXPECT_FLOAT_EQ(last[2], 46.0f);
    const float* p = point(field, 3, 7, 11);
    EXPECT_FLOAT_EQ(p[0], -38.0f);
    EXPECT_FLOAT_EQ(p[1], -22.0f);
    EXPECT_FLOAT_EQ(p[2], -6.0f);
    EXPECT_EQ(field.sources[3].radius, 30.0f);
}

TEST(GlintBlobField, AtTheStartTheFirstSourceGlowsAboveTheCentre) {
    BlobField field;
    field.update(0.0f);
    EXPECT_FLOAT_EQ(field.sources[0].x, 0.0f);
    EXPECT_FLOAT_EQ(field.sources[0].y, 40.0f);
    EXPECT_FLOAT_EQ(field.sources[0].z, 0.0f);
    EXPECT_FLOAT_EQ(field.sources[0].strength, 48.0f);
    EXPECT_NEAR(field.sources[1].strength, std::sin(0.61 * -123.0) * 17.0 + 38.0, 1e-4);
    EXPECT_NEAR(field.sources[3].x, std::sin(1.0151 * 117.0) * 50.0, 1e-3);
    // The point nearest (0, 40, 0) is (2, 38, 2) or one of its mirror images, 3.46 units away.
    const float* near = point(field, 13, 22, 13);
    ASSERT_FLOAT_EQ(near[1], 38.0f);
    const float fromFirst = std::pow(1.0f - std::sqrt(12.0f) / 40.0f, 2.0f) * 48.0f;
    EXPECT_GE(near[3], fromFirst - 2.0f - 1e-3f);
    EXPECT_TRUE(billboardDrawn(near[3]));
    EXPECT_GT(billboardHalfSize(near[3]), 3.6f);
    // The corner is farther than every radius from all four sources.
    EXPECT_EQ(point(field, 0, 0, 0)[3], -2.0f);
    EXPECT_FALSE(billboardDrawn(-2.0f));
}

TEST(GlintBlobField, APointInsideOneSourceOnlyTakesItsFalloff) {
    // Over a few moments, every source gets checked on a point that lies inside its radius and
    // outside the other three: value = (1 - d / radius)^2 x strength - 2, with the fixed
    // strengths 38 and 48 for the third and fourth sources.
    int checked[4] = {};
    for (float t : {1.0f, 3.0f, 7.5f, 12.0f, 20.0f, 33.0f, 41.0f}) {
        BlobField field;
        field.update(t);
        EXPECT_EQ(field.sources[2].strength, 38.0f);
        EXPECT_EQ(field.sources[3].strength, 48.0f);
        const float strengths[4] = {field.sources[0].strength, field.sources[1].strength, 38.0f, 48.0f};
        for (size_t p = 0; p < field.points.size(); p += 4) {
            int inside = -1, count = 0;
            float distance = 0;
            for (int k = 0; k < 4; ++k) {
                const FieldSource& s = field.sources[k];
                float dx = field.points[p] - s.x, dy = field.points[p + 1] - s.y, dz = field.points[p + 2] - s.z;
                float d = std::sqrt(dx * dx + dy * dy + dz * dz);
                if (d < s.radius - 0.01f) inside = k, distance = d, ++count;
                else if (d < s.radius + 0.01f) count = 2;   // too close to a border to tell
            }
            if (count != 1 || distance > field.sources[inside].radius * 0.5f) continue;
            float falloff = 1.0f - distance / field.sources[inside].radius;
            ASSERT_NEAR(field.points[p + 3], falloff * falloff * strengths[inside] - 2.0f, 1e-3f)
                << "source " << inside + 1 << " at t = " << t;
            ++checked[inside];
        }
    }
    for (int k = 0; k < 4; ++k) EXPECT_GT(checked[k], 0) << "source " << k + 1;
}

TEST(GlintBlobField, SquaresAreDrawnFromAHalfSizeThatRoundsToOne) {
    EXPECT_FALSE(billboardDrawn(4.9f));
    EXPECT_FALSE(billboardDrawn(5.0f));   // 0.5 rounds to the even 0
    EXPECT_TRUE(billboardDrawn(5.1f));
    EXPECT_TRUE(billboardDrawn(15.0f));
    EXPECT_FLOAT_EQ(billboardHalfSize(30.0f), 3.0f);
}

}  // namespace
