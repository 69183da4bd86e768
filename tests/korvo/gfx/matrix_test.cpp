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

// A view from a general eye towards a general target: the target lies straight ahead at its
// distance, the eye at the origin, and the camera's own axes come out as the unit axes.
TEST(KorvoMatrices, ViewOfAGeneralCamera) {
    const D3DVECTOR eye = vec(1.0f, 2.0f, -3.0f), target = vec(4.0f, -2.0f, 9.0f), up = vec(0.3f, 1.0f, 0.2f);
    D3DMATRIX m;
    ASSERT_EQ(setView(m, eye, target, up), S_OK);
    const float distance = 13.0f;   // |(3, -4, 12)|
    D3DVECTOR ahead = transform(target, m), origin = transform(eye, m);
    EXPECT_NEAR(ahead.x, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.y, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.z, distance, 1e-5f);
    EXPECT_NEAR(origin.x, 0.0f, 1e-5f);
    EXPECT_NEAR(origin.y, 0.0f, 1e-5f);
    EXPECT_NEAR(origin.z, 0.0f, 1e-5f);
    // The world's up, seen from the camera, leans neither left nor right and points up.
    D3DVECTOR above = transform(vec(eye.x + up.x, eye.y + up.y, eye.z + up.z), m);
    EXPECT_NEAR(above.x, 0.0f, 1e-5f);
    EXPECT_GT(above.y, 0.0f);
    // Rows and columns of the turning part are of unit length.
    for (int i = 0; i < 3; ++i) {
        const float* row = &m._11 + 4 * i;
        EXPECT_NEAR(row[0] * row[0] + row[1] * row[1] + row[2] * row[2], 1.0f, 1e-5f) << "row " << i;
        EXPECT_NEAR((&m._11)[i] * (&m._11)[i] + (&m._21)[i] * (&m._21)[i] + (&m._31)[i] * (&m._31)[i], 1.0f, 1e-5f)
            << "column " << i;
    }
    EXPECT_EQ(m._14, 0.0f);
    EXPECT_EQ(m._24, 0.0f);
    EXPECT_EQ(m._34, 0.0f);
    EXPECT_EQ(m._44, 1.0f);
}

TEST(KorvoMatrices, SmallHelpers) {
    EXPECT_FLOAT_EQ(squaredLength(vec(1, 2, 3)), 14.0f);
    EXPECT_FLOAT_EQ(dotProduct(vec(1, 2, 3), vec(4, -5, 6)), 12.0f);
    // Every element different, so that a row read as a column shows.
    D3DMATRIX m;
    float* e = &m._11;
    for (int i = 0; i < 16; ++i) e[i] = float(i + 1) * (i % 2 ? -1.5f : 1.0f);   // _11 = 1, _12 = -3, ...
    D3DVECTOR p = backPoint(m);
    EXPECT_FLOAT_EQ(p.x, m._41 - m._31);   // 13 - 9
    EXPECT_FLOAT_EQ(p.y, m._42 - m._32);   // -21 - (-15)
    EXPECT_FLOAT_EQ(p.z, m._43 - m._33);   // 15 - 11
    EXPECT_FLOAT_EQ(p.x, 4.0f);
    EXPECT_FLOAT_EQ(p.y, -6.0f);
    EXPECT_FLOAT_EQ(p.z, 4.0f);
}

}  // namespace
