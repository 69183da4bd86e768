// The dot overlay's layout and fades.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/dots.h"

namespace {

TEST(GlintDots, GroupsFadeOneAfterAnotherFromTwelveSeconds) {
    for (float lt : {-6.0f, 0.0f, 12.0f}) {
        DotFades f = dotFades(lt);
        EXPECT_EQ(f.b + f.c + f.d + f.e, 4.0f) << lt;
    }
    DotFades gone = dotFades(12.0f + 1.0f / 0.45f + 1e-4f);   // the second pair first
    EXPECT_EQ(gone.b, 0.0f);
    EXPECT_GT(gone.c, 0.0f);
    EXPECT_GT(gone.d, gone.c);
    EXPECT_GT(gone.e, gone.d);
    DotFades last = dotFades(15.0f);
    EXPECT_NEAR(last.e, 0.1f, 1e-5f);
    EXPECT_NEAR(last.d, 0.0f, 1e-6f);   // 1 - min(1, 0.35 x 3)
    EXPECT_EQ(dotFades(12.0f + 1.0f / 0.3f + 1e-3f).e, 0.0f);
    EXPECT_NEAR(dotFades(13.0f).c, 0.6f, 1e-6f);
}

TEST(GlintDots, FortyThreeDotsInTheirColumns) {
    Dot dots[dotCount];
    layoutDots(0.0f, dots);
    // The centre column, in its own order of heights.
    const float centre[] = {240, 88, 164, 315, 391};
    for (int j = 0; j < 5; ++j) {
        EXPECT_EQ(dots[j].x, 320.0f);
        EXPECT_EQ(dots[j].y, centre[j]);
    }
    EXPECT_FLOAT_EQ(dots[0].halfSize, 32.0f);   // (64 + 64/6 sin 0) / 2
    EXPECT_NEAR(dots[1].halfSize, (64.0f + 64.0f / 6.0f * std::sin(0.4f)) / 2.0f, 1e-4f);
    EXPECT_EQ(dots[0].red, 110);
    EXPECT_EQ(dots[0].green, 61);
    EXPECT_EQ(dots[0].blue, 48);
    // The first pair: left at 247 from y = 93 in steps of 64, right mirrored at 389.
    EXPECT_EQ(dots[5].x, 247.0f);
    EXPECT_EQ(dots[5].y, 93.0f);
    EXPECT_EQ(dots[9].y, 349.0f);
    EXPECT_EQ(dots[10].x, 389.0f);
    EXPECT_NEAR(dots[10].halfSize, (54.0 + 6.75 * std::sin(7654.0)) / 2.0, 1e-4);
    EXPECT_EQ(dots[10].red, 127);
    // The third pair has six dots, the fourth three.
    EXPECT_EQ(dots[25].x, 155.0f);
    EXPECT_EQ(dots[30].y, 305.0f);
    EXPECT_EQ(dots[31].x, 482.0f);
    EXPECT_EQ(dots[37].x, 130.0f);
    EXPECT_EQ(dots[39].y, 253.0f);
    EXPECT_EQ(dots[42].x, 508.0f);
    EXPECT_NEAR(dots[42].halfSize, (13.0 + 0.8125 * std::sin(1.4 + 17654.0)) / 2.0, 1e-4);
    EXPECT_EQ(dots[37].red, 125);
}

TEST(GlintDots, DotsBreatheAndColoursFadeRounded) {
    Dot dots[dotCount];
    const float lt = 13.0f;   // fE = 0.7, fB = 0.55
    layoutDots(lt, dots);
    EXPECT_NEAR(dots[2].halfSize, (64.0 + 64.0 / 6.0 * std::sin(0.8 + 2.4 * lt)) / 2.0, 1e-4);
    EXPECT_NEAR(dots[16].halfSize, (40.0 + 3.3333 * std::sin(0.5 + 4.4 * lt + 1234.0)) / 2.0, 1e-4);
    EXPECT_EQ(dots[0].red, 77);     // 110 x 0.7
    EXPECT_EQ(dots[0].green, 43);   // 42.7
    EXPECT_EQ(dots[0].blue, 34);    // 33.6
    EXPECT_EQ(dots[15].red, 68);    // 124 x 0.55 = 68.2
    EXPECT_EQ(dots[15].green, 50);  // 50.05
    // Before t = 6 the dots are drawn at full colour.
    layoutDots(-3.0f, dots);
    EXPECT_EQ(dots[20].red, 127);
    EXPECT_EQ(dots[20].blue, 125);
}

}  // namespace
