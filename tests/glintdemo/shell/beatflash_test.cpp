// The beat flash's choice of accent and its look at the moments the show is known for.
#include <gtest/gtest.h>

#include <cmath>

#include "effects/beatflash.h"
#include "shell/timeline.h"

namespace {

FlashLook lookAt(BeatFlashState& state, float t) {
    fillBeatTable();
    return beatFlashLook(state, t, BeatTable, beatCount);
}

TEST(GlintBeatFlash, OpensWithAFadeFromBlack) {
    BeatFlashState state;
    FlashLook opaque = lookAt(state, 2.0f);
    ASSERT_TRUE(opaque.draw);
    EXPECT_EQ(opaque.kind, -1);
    EXPECT_EQ(opaque.red + opaque.green + opaque.blue, 0.0f);
    EXPECT_FLOAT_EQ(opaque.alpha, 1.0f);
    FlashLook half = lookAt(state, 5.5f);
    EXPECT_NEAR(half.alpha, 0.55f, 1e-6f);
    EXPECT_EQ(flashPicture(half.kind), -1);
    FlashLook last = lookAt(state, 7.34f);   // the fade ends in this frame ...
    EXPECT_TRUE(last.draw);
    EXPECT_FLOAT_EQ(last.alpha, 0.0f);
    for (float t : {7.4f, 10.0f, 18.9f}) EXPECT_FALSE(lookAt(state, t).draw) << t;   // ... then nothing
    EXPECT_TRUE(lookAt(state, 19.1f).draw);   // until the first accent
}

TEST(GlintBeatFlash, KindOneDarkensThenVanishes) {
    BeatFlashState state;
    // 94.73618 is a kind-1 accent; 95.08911 the next one.
    FlashLook start = lookAt(state, 94.74f);
    EXPECT_EQ(start.kind, 1);
    EXPECT_NEAR(start.alpha, (94.74f - 94.73618f) * 5.0f, 1e-4f);
    FlashLook later = lookAt(state, 94.9f);
    EXPECT_EQ(later.kind, 1);
    EXPECT_NEAR(later.alpha, (94.9f - 94.73618f) * 5.0f, 1e-4f);
    EXPECT_EQ(later.red, 0.0f);
}

TEST(GlintBeatFlash, KindTwoBlacksOutAtOnceAndClearsOverAThirdOfASecond) {
    BeatFlashState state;
    const float accent = 87.91637f;   // kind 2, while the kind-0 accent at 87.72405 still decays
    FlashLook start = lookAt(state, accent + 0.1f);
    EXPECT_EQ(start.kind, 2);
    EXPECT_EQ(flashPicture(start.kind), -1);
    EXPECT_EQ(start.red + start.green + start.blue, 0.0f);
    EXPECT_NEAR(start.alpha, 1.0f - 0.1f * 3.0f, 1e-4f);
    EXPECT_FLOAT_EQ(start.halfSize, 1.0f);
    FlashLook last = lookAt(state, accent + 0.34f);   // past its third of a second: a last clear frame
    EXPECT_TRUE(last.draw);
    EXPECT_EQ(last.kind, 2);
    EXPECT_FLOAT_EQ(last.alpha, 0.0f);
    EXPECT_FALSE(lookAt(state, accent + 0.4f).draw);
}

TEST(GlintBeatFlash, KindThreeZoomsThePictureOutwardsWhileItFades) {
    BeatFlashState state;
    const float accent = 57.995403f;   // kind 3
    FlashLook start = lookAt(state, accent + 0.001f);
    EXPECT_EQ(start.kind, 3);
    EXPECT_EQ(flashPicture(start.kind), TextureSc2);
    EXPECT_NEAR(start.halfSize, 0.98f, 1e-3f);
    FlashLook later = lookAt(state, accent + 0.2f);
    float u = 0.2f * 2.51f;
    EXPECT_NEAR(later.halfSize, 40.5f * u * u + 0.98f, 1e-3f);
    EXPECT_NEAR(later.alpha, 1.0f - u, 1e-3f);
    EXPECT_EQ(later.red, 1.0f);
}

TEST(GlintBeatFlash, PictureKindsFadeWithTheSquareRoot) {
    BeatFlashState state;
    const float accent = 121.87717f;   // kind 4, before a kind-1 accent at 122.03104
    FlashLook look = lookAt(state, accent + 0.1f);
    EXPECT_EQ(look.kind, 4);
    EXPECT_EQ(flashPicture(4), TextureD4_1);
    EXPECT_NEAR(look.alpha, 1.0f - std::sqrt(0.2f), 1e-3f);
}

TEST(GlintBeatFlash, TheLaterOfTwoOverlappingAccentsWins) {
    BeatFlashState state;
    // 56.860703 (kind 0) still decays at 57.27; 57.261166 has just begun.
    FlashLook look = lookAt(state, 57.27f);
    EXPECT_EQ(state.accentTime, 57.261166f);
    EXPECT_NEAR(look.alpha, 1.0f - (57.27f - 57.261166f) * 2.0f, 1e-4f);
}

TEST(GlintBeatFlash, ClosesWithTheEndPicture) {
    BeatFlashState state;
    FlashLook look = lookAt(state, 243.0f);
    EXPECT_EQ(look.kind, closingKind);
    EXPECT_EQ(flashPicture(look.kind), TextureD4_3);
    EXPECT_NEAR(look.alpha, 1.0f - 10.0f * 0.051f, 1e-4f);
    EXPECT_FLOAT_EQ(lookAt(state, 260.0f).alpha, 0.0f);
}

}  // namespace
