// The opening banner: two 512 x 128 pictures cross-fading into each other while the banner
// shrinks, between show seconds 6 and 18. Its look is computed apart from drawing.
#pragma once

struct BannerLook {
    bool draw = false;
    float width = 0, height = 0;   // in the banner's plane, 500 units in front of the eye
    float firstAlpha = 0;          // "s.raw"
    float secondAlpha = 0;         // "sb.raw", drawn over it
};

// The banner at show time t.
BannerLook bannerLook(float t);
