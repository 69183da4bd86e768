// The graphics core's matrix functions against matrices worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "gfx/gfxcore.h"

namespace {

D3DVECTOR vec(float x, float y, float z) {
    D3DVECTOR v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}

void expectMatrix(const D3DMATRIX& m, const float (&expected)[16], const char* what) {
    const float* got = &m._11;
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], expected[i], 1e-5f) << what << ": element _" << (i / 4 + 1) << (i % 4 + 1);
}

// p x M for a row vector p = (x, y, z, 1).
D3DVECTOR transform(const D3DVECTOR& p, const D3DMATRIX& m) {
    return vec(p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41, p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
               p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43);
}

TEST(KorvoMatrices, Rotations) {
    const float a = 0.5f, c = std::cos(a), s = std::sin(a);
    D3DMATRIX m;
    setRotationX(m, a);
    expectMatrix(m, {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1}, "x");
    setRotationY(m, a);
    expectMatrix(m, {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1}, "y");
    setRotationZ(m, a);
    expectMatrix(m, {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, "z");
    // Left-handed: a quarter turn about y takes +z to +x.
    setRotationY(m, float(M_PI / 2));
    D3DVECTOR turned = transform(vec(0, 0, 1), m);
    EXPECT_NEAR(turned.x, 1.0f, 1e-6f);
    EXPECT_NEAR(turned.z, 0.0f, 1e-6f);
}

TEST(KorvoMatrices, ProjectionAndItsRefusals) {
    D3DMATRIX m;
    ASSERT_EQ(setProjection(m, float(M_PI / 2), 0.75f, 1.0f, 101.0f), S_OK);
    const float q = 101.0f / 100.0f;
    expectMatrix(m, {0.75f, 0, 0, 0, 0, 1, 0, 0, 0, 0, q, 1, 0, 0, -q, 0}, "projection");
    D3DMATRIX untouched;
    setIdentity(untouched);
    D3DMATRIX copy = untouched;
    EXPECT_EQ(setProjection(copy, 1.0f, 1.0f, 5.0f, 5.005f), E_INVALIDARG);
    EXPECT_EQ(std::memcmp(&copy, &untouched, sizeof copy), 0);
    EXPECT_EQ(setProjection(copy, 0.01f, 1.0f, 1.0f, 10.0f), E_INVALIDARG);   // sin(f/2) below 0.01
    EXPECT_EQ(std::memcmp(&copy, &untouched, sizeof copy), 0);
}

TEST(KorvoMatrices, ViewLooksAlongTheTarget) {
    D3DMATRIX m;
    ASSERT_EQ(setView(m, vec(0, 0, -3), vec(0, 0, 0), vec(0, 1, 0)), S_OK);
    expectMatrix(m, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 3, 1}, "view");
    ASSERT_EQ(setView(m, vec(2, 0, 0), vec(0, 0, 0), vec(0, 1, 0)), S_OK);
    D3DVECTOR target = transform(vec(0, 0, 0), m);
    EXPECT_NEAR(target.z, 2.0f, 1e-6f);   // in front, two units away
    EXPECT_NEAR(target.x, 0.0f, 1e-6f);
}

TEST(KorvoMatrices, ViewFallsBackToOtherUpDirections) {
    D3DMATRIX m;
    // Up parallel to the viewing direction: (0, 1, 0) serves instead.
    ASSERT_EQ(setView(m, vec(0, 0, 0), vec(0, 0, 5), vec(0, 0, 1)), S_OK);
    EXPECT_NEAR(m._22, 1.0f, 1e-6f);
    // Looking straight down y: (0, 0, 1) serves.
    ASSERT_EQ(setView(m, vec(0, 5, 0), vec(0, 0, 0), vec(0, 1, 0)), S_OK);
    EXPECT_NEAR(m._32, 1.0f, 1e-6f);
    EXPECT_NEAR(m._23, -1.0f, 1e-6f);
    // Eye on the target: refused, matrix left alone.
    D3DMATRIX kept;
    setIdentity(kept);
    m = kept;
    EXPECT_EQ(setView(m, vec(1, 1, 1), vec(1, 1, 1), vec(0, 1, 0)), E_INVALIDARG);
    EXPECT_EQ(std::memcmp(&m, &kept, sizeof m), 0);
}

TEST(KorvoMatrices, SmallHelpers) {
    EXPECT_FLOAT_EQ(squaredLength(vec(1, 2, 3)), 14.0f);
    EXPECT_FLOAT_EQ(dotProduct(vec(1, 2, 3), vec(4, -5, 6)), 12.0f);
    D3DMATRIX m;
    setIdentity(m);
    m._41 = 10;
    m._42 = 20;
    m._43 = 30;
    m._31 = 0;
    m._32 = 0;
    m._33 = 1;
    D3DVECTOR p = backPoint(m);
    EXPECT_FLOAT_EQ(p.x, 10);
    EXPECT_FLOAT_EQ(p.y, 20);
    EXPECT_FLOAT_EQ(p.z, 29);
}

TEST(KorvoMatrices, TheFixedProjectionAngle) {
    // 0x3F49F49E is about 45.2 degrees.
    const uint32_t bits = 0x3F49F49E;
    float angle;
    std::memcpy(&angle, &bits, sizeof angle);
    EXPECT_NEAR(angle * 180.0f / float(M_PI), 45.2f, 0.01f);
    EXPECT_FLOAT_EQ(angle, 0.788888812f);
}

}  // namespace
