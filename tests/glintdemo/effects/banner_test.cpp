// The opening banner's size and cross-fade.
#include <gtest/gtest.h>

#include "effects/banner.h"

namespace {

TEST(GlintBanner, ShowsOnlyBetweenSixAndEighteenSeconds) {
    for (float t : {0.0f, 5.9f, 6.0f, 18.0f, 25.0f}) EXPECT_FALSE(bannerLook(t).draw) << t;
    BannerLook rising = bannerLook(7.0f);   // fading in over 2 s
    ASSERT_TRUE(rising.draw);
    EXPECT_FLOAT_EQ(rising.firstAlpha + rising.secondAlpha, 0.5f);
    BannerLook falling = bannerLook(17.75f);   // fading out over 1 s from 17
    EXPECT_NEAR(falling.firstAlpha + falling.secondAlpha, 0.25f, 1e-5f);
}

TEST(GlintBanner, CrossFadesWhileItShrinks) {
    BannerLook eleven = bannerLook(11.0f);
    EXPECT_FLOAT_EQ(eleven.width, 800.0f);
    EXPECT_FLOAT_EQ(eleven.height, 100.0f);
    EXPECT_FLOAT_EQ(eleven.firstAlpha, 0.0f);   // only "sb.raw"
    EXPECT_FLOAT_EQ(eleven.secondAlpha, 1.0f);
    BannerLook twelve = bannerLook(12.0f);
    EXPECT_FLOAT_EQ(twelve.width, 800.0f - 380.0f * 0.4f);
    EXPECT_FLOAT_EQ(twelve.height, 100.0f - 25.0f * 0.4f);
    BannerLook settled = bannerLook(13.5f);
    EXPECT_FLOAT_EQ(settled.width, 420.0f);
    EXPECT_FLOAT_EQ(settled.height, 75.0f);
    EXPECT_NEAR(settled.firstAlpha, 2.5f * 0.054f, 1e-6f);
    EXPECT_NEAR(settled.secondAlpha, 1.0f - 2.5f * 0.054f, 1e-6f);
    BannerLook late = bannerLook(16.0f);
    EXPECT_FLOAT_EQ(late.width, 420.0f);
    EXPECT_NEAR(late.firstAlpha, 5.0f * 0.054f, 1e-6f);
}

}  // namespace
