// Drawing, read back from the render target: clears, pixel centres and depth, lighting against
// the Direct3D 7 equations computed here, texture stages, colour keys, culling, flat and
// Gouraud shading, blending, camera-space reflection vectors, 16-bit targets, debug text and
// sprites. Colour tolerances are in 8-bit steps and stated with each comparison.
#include <algorithm>
#include <functional>

#include "d3d7_fixture.h"

namespace d3d7_test {
namespace {

class D3DDrawing : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        open(32, 32);
        device->BeginScene();
        clear();
    }
    void TearDown() override {
        if (device) device->EndScene();
        D3DTest::TearDown();
    }
    // Stage 0 shows the diffuse colour only.
    void untextured() { device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE); }
};

TEST_F(D3DDrawing, ClearFillsTheViewportOrTheRectanglesWithinIt) {
    clear(0xFF204080);
    EXPECT_TRUE(near(pixel(0, 0), {0x20, 0x40, 0x80}, 0));
    EXPECT_TRUE(near(pixel(31, 31), {0x20, 0x40, 0x80}, 0));
    D3DRECT rect = {{2}, {3}, {6}, {7}};
    device->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    EXPECT_TRUE(near(pixel(2, 3), {255, 255, 255}, 0));
    EXPECT_TRUE(near(pixel(5, 6), {255, 255, 255}, 0));
    EXPECT_TRUE(near(pixel(6, 6), {0x20, 0x40, 0x80}, 0));
    EXPECT_TRUE(near(pixel(5, 7), {0x20, 0x40, 0x80}, 0));
    D3DVIEWPORT7 vp{16, 0, 16, 32, 0.0f, 1.0f};
    device->SetViewport(&vp);
    clear(0xFF000000);
    EXPECT_TRUE(near(pixel(15, 10), {0x20, 0x40, 0x80}, 0)) << "outside the viewport";
    EXPECT_TRUE(near(pixel(16, 10), {0, 0, 0}, 0));
}

// Pixel centres lie at whole screen coordinates: a quad from -0.5 to 3.5 covers pixels 0 to 3.
TEST_F(D3DDrawing, PreTransformedVerticesHitPixelCentresAtWholeCoordinates) {
    untextured();
    D3DTLVERTEX quad[4] = {{{-0.5f}, {-0.5f}, {0.5f}, {1}, {0xFFFFFFFF}, {0}, {0}, {0}},
                           {{3.5f}, {-0.5f}, {0.5f}, {1}, {0xFFFFFFFF}, {0}, {0}, {0}},
                           {{3.5f}, {3.5f}, {0.5f}, {1}, {0xFFFFFFFF}, {0}, {0}, {0}},
                           {{-0.5f}, {3.5f}, {0.5f}, {1}, {0xFFFFFFFF}, {0}, {0}, {0}}};
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, quad, 4, 0);
    std::vector<Color> p = readBack();
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(p[y * 32 + x].r, x < 4 && y < 4 ? 255 : 0) << "pixel " << x << ", " << y;
}

TEST_F(D3DDrawing, TheDepthTestKeepsTheNearerSurfaceUnlessTurnedOff) {
    untextured();
    drawScreenQuad(0xFF00FF00, 0, 0.3f);
    drawScreenQuad(0xFFFF0000, 0, 0.6f);
    EXPECT_TRUE(near(pixel(10, 10), {0, 255, 0}, 0));
    device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, FALSE);
    drawScreenQuad(0xFF0000FF, 0, 0.1f);   // drawn, but leaves the depth at 0.3
    drawScreenQuad(0xFFFFFFFF, 0, 0.2f);
    EXPECT_TRUE(near(pixel(10, 10), {255, 255, 255}, 0));
    device->SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_FALSE);
    drawScreenQuad(0xFFFF0000, 0, 0.9f);
    EXPECT_TRUE(near(pixel(10, 10), {255, 0, 0}, 0));
}

// ---- Lighting -------------------------------------------------------------------------------------
struct Vector {
    double x, y, z;
    Vector operator+(Vector o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vector operator-(Vector o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vector operator*(double s) const { return {x * s, y * s, z * s}; }
    double dot(Vector o) const { return x * o.x + y * o.y + z * o.z; }
    double length() const { return std::sqrt(dot(*this)); }
    Vector normal() const { return *this * (1.0 / length()); }
};

Vector vec(const D3DVECTOR& v) { return {v.x, v.y, v.z}; }

// A 4 x 4 matrix in Direct3D's layout (row vectors, p' = p x M), in double precision.
struct Matrix {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    Matrix operator*(const Matrix& o) const {
        Matrix r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                r.m[i][j] = 0;
                for (int k = 0; k < 4; ++k) r.m[i][j] += m[i][k] * o.m[k][j];
            }
        return r;
    }
    Vector point(Vector p) const {   // (x, y, z, 1) x M, affine matrices only
        return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
                p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
                p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
    }
    Vector direction(Vector v) const {   // (x, y, z, 0) x M
        return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0], v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
                v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
    }
    Matrix transposed() const {
        Matrix r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) r.m[i][j] = m[j][i];
        return r;
    }
    // Gauss-Jordan with partial pivoting; the matrices here are far from singular.
    Matrix inverse() const {
        double a[4][8];
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 8; ++j) a[i][j] = j < 4 ? m[i][j] : (j - 4 == i);
        for (int c = 0; c < 4; ++c) {
            int pivot = c;
            for (int r = c + 1; r < 4; ++r)
                if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
            std::swap(a[c], a[pivot]);
            double pivotValue = a[c][c];
            for (int j = 0; j < 8; ++j) a[c][j] /= pivotValue;
            for (int r = 0; r < 4; ++r) {
                double factor = a[r][c];
                if (r != c)
                    for (int j = 0; j < 8; ++j) a[r][j] -= factor * a[c][j];
            }
        }
        Matrix r;
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) r.m[i][j] = a[i][j + 4];
        return r;
    }
    D3DMATRIX d3d() const {
        D3DMATRIX out;
        float* f = &out._11;
        for (int i = 0; i < 16; ++i) f[i] = float(m[i / 4][i % 4]);
        return out;
    }
};

Matrix scaling(double x, double y, double z) {
    Matrix s;
    s.m[0][0] = x;
    s.m[1][1] = y;
    s.m[2][2] = z;
    return s;
}

Matrix moved(double x, double y, double z) {
    Matrix t;
    t.m[3][0] = x;
    t.m[3][1] = y;
    t.m[3][2] = z;
    return t;
}

Matrix turnedAboutY(double a) {
    Matrix r;
    r.m[0][0] = r.m[2][2] = std::cos(a);
    r.m[0][2] = -std::sin(a);
    r.m[2][0] = std::sin(a);
    return r;
}

Matrix turnedAboutX(double a) {
    Matrix r;
    r.m[1][1] = r.m[2][2] = std::cos(a);
    r.m[1][2] = std::sin(a);
    r.m[2][1] = -std::sin(a);
    return r;
}

// The Direct3D 7 vertex colour of a point P with normal N, both in camera space (N as the
// device has it: of any length unless the device normalises normals): diffuse = clamp(Ca (Ga + sum La att spot) + Cd sum Ld (N.L) att spot + Ce),
// specular = clamp(Cs sum Ls (N.H)^P att spot), att = 1 / (a0 + a1 d + a2 d^2) and 0 beyond the
// range, spot = ((cos a - cos(phi/2)) / (cos(theta/2) - cos(phi/2)))^falloff between the cones,
// H = norm(L + V) with V towards the eye (local viewer) or (0, 0, -1).
Color directXLighting(Vector p, Vector n, const D3DMATERIAL7& m, const std::vector<D3DLIGHT7>& lights,
                      D3DCOLOR ambient, bool specularEnable, bool localViewer) {
    double amb[3] = {((ambient >> 16) & 255) / 255.0, ((ambient >> 8) & 255) / 255.0, (ambient & 255) / 255.0};
    double dif[3] = {0, 0, 0}, spe[3] = {0, 0, 0};
    Vector toViewer = localViewer ? (p * -1.0).normal() : Vector{0, 0, -1};
    for (const D3DLIGHT7& l : lights) {
        Vector toLight;
        double attenuation = 1;
        if (l.dltType == D3DLIGHT_DIRECTIONAL) {
            toLight = (vec(l.dvDirection) * -1.0).normal();
        } else {
            Vector offset = vec(l.dvPosition) - p;
            double d = offset.length();
            if (d > l.dvRange) continue;
            toLight = offset * (1.0 / d);
            attenuation = 1.0 / (l.dvAttenuation0 + l.dvAttenuation1 * d + l.dvAttenuation2 * d * d);
            if (l.dltType == D3DLIGHT_SPOT) {
                double rho = (toLight * -1.0).dot(vec(l.dvDirection).normal());
                double inner = std::cos(l.dvTheta / 2), outer = std::cos(l.dvPhi / 2);
                attenuation *= rho > inner ? 1.0 : rho <= outer ? 0.0 : std::pow((rho - outer) / (inner - outer), l.dvFalloff);
            }
        }
        const float la[3] = {l.dcvAmbient.r, l.dcvAmbient.g, l.dcvAmbient.b};
        const float ld[3] = {l.dcvDiffuse.r, l.dcvDiffuse.g, l.dcvDiffuse.b};
        const float ls[3] = {l.dcvSpecular.r, l.dcvSpecular.g, l.dcvSpecular.b};
        double nDotL = n.dot(toLight);
        double nDotH = n.dot((toLight + toViewer).normal());
        for (int c = 0; c < 3; ++c) {
            amb[c] += la[c] * attenuation;
            if (nDotL > 0) {
                dif[c] += ld[c] * nDotL * attenuation;
                if (specularEnable && nDotH > 0) spe[c] += ls[c] * std::pow(nDotH, m.power) * attenuation;
            }
        }
    }
    const float ca[3] = {m.ambient.r, m.ambient.g, m.ambient.b}, cd[3] = {m.diffuse.r, m.diffuse.g, m.diffuse.b};
    const float cs[3] = {m.specular.r, m.specular.g, m.specular.b}, ce[3] = {m.emissive.r, m.emissive.g, m.emissive.b};
    int out[3];
    for (int c = 0; c < 3; ++c) {
        double diffuse = std::clamp(ca[c] * amb[c] + cd[c] * dif[c] + ce[c], 0.0, 1.0);
        double specular = specularEnable ? std::clamp(cs[c] * spe[c], 0.0, 1.0) : 0.0;
        out[c] = int(std::lround(std::min(diffuse + specular, 1.0) * 255));
    }
    return {out[0], out[1], out[2]};
}

class D3DLighting : public D3DTest {
protected:
    static constexpr int size = 64;
    static constexpr float fieldOfView = 1.0f;
    const Vector centre{0, 0, 3};

    void SetUp() override {
        D3DTest::SetUp();
        open(size, size);
        projection = perspective(fieldOfView, 1.0f, 0.5f, 10.0f);
        device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
        material.diffuse = {{0.9f}, {0.7f}, {0.5f}, {0.3f}};
        material.ambient = {{0.4f}, {0.5f}, {0.6f}, {1}};
        material.specular = {{0.6f}, {0.6f}, {0.6f}, {1}};
        material.emissive = {{0.05f}, {0.02f}, {0}, {0}};
        material.power = 10;
        device->SetMaterial(&material);
        device->SetRenderState(D3DRENDERSTATE_AMBIENT, ambient);
        device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    }

    // A unit sphere at `centre` (camera space), drawn as one point per pixel: the point where the
    // ray through the pixel's centre meets the sphere, so each pixel shows exactly one lit vertex.
    // Returns how many pixels differ from the Direct3D 7 equations by more than `tolerance`.
    //
    // The lights are given in camera space; the device gets them in world space through the
    // inverse of `view`. Each vertex is handed over in model space, with a unit normal there, so
    // that world x view puts it back on the sphere: the normal reaches camera space through the
    // inverse transpose of world x view, and keeps the length that gives it unless the device
    // normalises normals.
    int drawAndCompare(const std::vector<D3DLIGHT7>& lights, bool localViewer, int tolerance, const char* image,
                       const Matrix& world = Matrix(), const Matrix& view = Matrix(), bool normalizeNormals = false) {
        const Matrix worldView = world * view, modelFromCamera = worldView.inverse(),
                     worldFromCamera = view.inverse(), normalToModel = worldView.transposed(),
                     normalToCamera = worldView.inverse().transposed();
        D3DMATRIX w = world.d3d(), v = view.d3d();
        device->SetTransform(D3DTRANSFORMSTATE_WORLD, &w);
        device->SetTransform(D3DTRANSFORMSTATE_VIEW, &v);
        device->SetRenderState(D3DRENDERSTATE_NORMALIZENORMALS, normalizeNormals);
        for (size_t i = 0; i < lights.size(); ++i) {
            D3DLIGHT7 l = lights[i];
            Vector position = worldFromCamera.point(vec(l.dvPosition)),
                   direction = worldFromCamera.direction(vec(l.dvDirection));
            l.dvPosition = {{float(position.x)}, {float(position.y)}, {float(position.z)}};
            l.dvDirection = {{float(direction.x)}, {float(direction.y)}, {float(direction.z)}};
            EXPECT_EQ(device->SetLight(DWORD(i), &l), D3D_OK);
            EXPECT_EQ(device->LightEnable(DWORD(i), TRUE), D3D_OK);
        }
        device->SetRenderState(D3DRENDERSTATE_LOCALVIEWER, localViewer);
        struct Sample {
            int x, y;
            Vector p, n;
        };
        std::vector<Sample> samples;
        std::vector<PositionNormalUV> points;
        double c = std::cos(fieldOfView / 2) / std::sin(fieldOfView / 2);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                Vector ray{(2.0 * x / size - 1) / c, (1 - 2.0 * y / size) / c, 1};
                // |t ray - centre|^2 = 1, nearer root; grazing rays are left out.
                double a = ray.dot(ray), b = -2 * ray.dot(centre), k = centre.dot(centre) - 1;
                double disc = b * b - 4 * a * k;
                if (disc < 0.05) continue;
                double t = (-b - std::sqrt(disc)) / (2 * a);
                Vector p = ray * t, n = (p - centre).normal();
                Vector modelPosition = modelFromCamera.point(p), modelNormal = normalToModel.direction(n).normal();
                Vector deviceNormal = normalToCamera.direction(modelNormal);
                samples.push_back({x, y, p, normalizeNormals ? deviceNormal.normal() : deviceNormal});
                points.push_back({float(modelPosition.x), float(modelPosition.y), float(modelPosition.z),
                                  float(modelNormal.x), float(modelNormal.y), float(modelNormal.z), 0, 0});
            }
        device->BeginScene();
        clear();
        EXPECT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, D3DFVF_VERTEX, points.data(), DWORD(points.size()), 0), D3D_OK);
        device->EndScene();
        saveImage(image);
        std::vector<Color> got = readBack();
        int wrong = 0;
        for (const Sample& s : samples) {
            Color expected = directXLighting(s.p, s.n, material, lights, ambient, true, localViewer);
            auto result = near(got[size_t(s.y) * size + s.x], expected, tolerance);
            if (!result && ++wrong <= 5) ADD_FAILURE() << "pixel " << s.x << ", " << s.y << ": " << result.message();
        }
        EXPECT_GT(samples.size(), 1000u);
        return wrong;
    }

    D3DMATRIX projection;
    D3DMATERIAL7 material{};
    D3DCOLOR ambient = 0x00203040;
};

D3DLIGHT7 directional() {
    D3DLIGHT7 l{};
    l.dltType = D3DLIGHT_DIRECTIONAL;
    l.dcvDiffuse = {{0.8f}, {0.6f}, {0.4f}, {1}};
    l.dcvSpecular = {{1}, {1}, {1}, {1}};
    l.dcvAmbient = {{0.1f}, {0.1f}, {0.1f}, {1}};
    l.dvDirection = {{-0.5f}, {-0.7f}, {0.6f}};
    return l;
}

D3DLIGHT7 point() {
    D3DLIGHT7 l{};
    l.dltType = D3DLIGHT_POINT;
    l.dcvDiffuse = {{1}, {0.9f}, {0.6f}, {1}};
    l.dcvSpecular = {{0.8f}, {0.8f}, {1}, {1}};
    l.dcvAmbient = {{0.1f}, {0.05f}, {0}, {1}};
    l.dvPosition = {{1.2f}, {1.0f}, {1.5f}};
    l.dvRange = 2.8f;   // the far side of the sphere lies beyond it
    l.dvAttenuation0 = 0.3f;
    l.dvAttenuation1 = 0.2f;
    l.dvAttenuation2 = 0.1f;
    return l;
}

D3DLIGHT7 spot() {
    D3DLIGHT7 l{};
    l.dltType = D3DLIGHT_SPOT;
    l.dcvDiffuse = {{0.3f}, {1}, {0.5f}, {1}};
    l.dcvSpecular = {{1}, {1}, {1}, {1}};
    l.dcvAmbient = {{0}, {0.1f}, {0}, {1}};
    l.dvPosition = {{0}, {0}, {0}};
    l.dvDirection = {{0.15f}, {0.1f}, {1}};
    l.dvRange = 10;
    l.dvAttenuation0 = 0.5f;
    l.dvAttenuation1 = 0.1f;
    l.dvAttenuation2 = 0.05f;
    l.dvTheta = 0.25f;
    l.dvPhi = 0.5f;
    l.dvFalloff = 2;
    return l;
}

// Tolerance: 2 steps of 255 (single-precision shader arithmetic and 8-bit rounding).
TEST_F(D3DLighting, ADirectionalLightFollowsTheDirect3DEquations) {
    EXPECT_EQ(drawAndCompare({directional()}, true, 2, "light-directional"), 0);
}

TEST_F(D3DLighting, APointLightAttenuatesAndStopsAtItsRange) {
    EXPECT_EQ(drawAndCompare({point()}, true, 2, "light-point"), 0);
}

TEST_F(D3DLighting, ASpotLightFallsOffBetweenItsCones) {
    EXPECT_EQ(drawAndCompare({spot()}, true, 2, "light-spot"), 0);
}

TEST_F(D3DLighting, LightsAddUpAndANonLocalViewerLooksAlongZ) {
    EXPECT_EQ(drawAndCompare({spot(), directional(), point()}, false, 2, "light-all"), 0);
}

// A scaled, turned and moved object seen by a turned and moved camera: positions and lights
// go through world and view; normals through the inverse transpose of world x view, which the
// scale leaves longer or shorter than 1 (so the light is stronger or weaker) until
// NORMALIZENORMALS makes them unit again.
TEST_F(D3DLighting, NormalsKeepTheLengthTheWorldScaleGivesThemUnlessNormalised) {
    const Matrix world = scaling(1.6, 0.7, 1.25) * turnedAboutX(0.4) * moved(0.3, -0.2, 0.5);
    const Matrix view = turnedAboutY(0.5) * turnedAboutX(-0.3) * moved(0.4, -0.3, 0.2);
    EXPECT_EQ(drawAndCompare({directional(), point()}, true, 2, "light-scaled", world, view, false), 0);
    EXPECT_EQ(drawAndCompare({directional(), point()}, true, 2, "light-scaled-normalised", world, view, true), 0);
}

TEST_F(D3DLighting, FlatShadingLightsATriangleByItsFirstVertex) {
    D3DLIGHT7 l = directional();
    l.dvDirection = {{0}, {0}, {1}};
    l.dcvAmbient = {};
    device->SetLight(0, &l);
    device->LightEnable(0, TRUE);
    device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE);
    device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0);
    D3DMATERIAL7 white{};
    white.diffuse = {{1}, {1}, {1}, {1}};
    device->SetMaterial(&white);
    // Clockwise on the screen; the first vertex faces the light, the others face away.
    const PositionNormalUV triangle[3] = {{-1, 1, 2, 0, 0, -1, 0, 0}, {1, 1, 2, 0, 0, 1, 0, 0}, {-1, -1, 2, 0, 0, 1, 0, 0}};
    D3DMATRIX wide = perspective(float(M_PI / 2), 1.0f, 0.5f, 10.0f);
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &wide);
    device->BeginScene();
    clear();
    device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, (LPVOID)triangle, 3, 0);
    // On the 64 x 64 target the triangle's corners lie at (16, 16), (48, 16) and (16, 48).
    Color flatFar = pixel(18, 44);   // near the third vertex
    clear();
    device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_VERTEX, (LPVOID)triangle, 3, 0);
    Color gouraudFar = pixel(18, 44), gouraudNear = pixel(18, 18);
    device->EndScene();
    EXPECT_TRUE(near(flatFar, {204, 153, 102}, 1)) << "the light's diffuse (0.8, 0.6, 0.4) everywhere";
    EXPECT_LT(gouraudFar.r, 100);
    EXPECT_TRUE(near(gouraudNear, {204, 153, 102}, 30));
}

// ---- Texture stages ---------------------------------------------------------------------------------
struct Rgba {
    double r, g, b, a;
};

Rgba fractions(uint32_t argb) {
    return {((argb >> 16) & 255) / 255.0, ((argb >> 8) & 255) / 255.0, (argb & 255) / 255.0, (argb >> 24) / 255.0};
}

int byte(double v) { return int(std::lround(std::clamp(v, 0.0, 1.0) * 255)); }

TEST_F(D3DDrawing, EachTextureOperationCombinesItsArgumentsAsDirect3DDoes) {
    const uint32_t diffuseColor = 0x80CC6633, textureColor = 0xBF8040FF, specularColor = 0x00334D66,
                   factor = 0x40102030;
    const Rgba d = fractions(diffuseColor), t = fractions(textureColor), s = fractions(specularColor),
               f = fractions(factor);
    LPDIRECTDRAWSURFACE7 texture = makeTexture(4, 4, std::vector<uint32_t>(16, textureColor));
    device->SetTexture(0, texture);
    device->SetRenderState(D3DRENDERSTATE_TEXTUREFACTOR, factor);
    using Op = std::function<double(double, double, double, double)>;   // a, b, their alphas
    struct Case {
        const char* name;
        DWORD op, arg1, arg2;
        Rgba expected;
        DWORD alphaOp, alphaArg1, alphaArg2;
        double expectedAlpha;
    };
    auto each = [](Rgba a, Rgba b, const Op& op) {
        return Rgba{op(a.r, b.r, a.a, b.a), op(a.g, b.g, a.a, b.a), op(a.b, b.b, a.a, b.a), 0};
    };
    const Case cases[] = {
        {"MODULATE", D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         each(t, d, [](double a, double b, double, double) { return a * b; }), D3DTOP_SELECTARG1, D3DTA_TEXTURE,
         D3DTA_DIFFUSE, t.a},
        {"SELECTARG2", D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, d, D3DTOP_SELECTARG2, D3DTA_TEXTURE,
         D3DTA_DIFFUSE, d.a},
        {"ADD", D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, each(t, d, [](double a, double b, double, double) { return a + b; }),
         D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, t.a + d.a},
        {"MODULATE2X", D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         each(t, d, [](double a, double b, double, double) { return 2 * a * b; }), D3DTOP_MODULATE, D3DTA_TEXTURE,
         D3DTA_DIFFUSE, t.a * d.a},
        {"SUBTRACT", D3DTOP_SUBTRACT, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         each(t, d, [](double a, double b, double, double) { return a - b; }), D3DTOP_SELECTARG1, D3DTA_DIFFUSE,
         D3DTA_TEXTURE, d.a},
        {"ADDSIGNED", D3DTOP_ADDSIGNED, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         each(t, d, [](double a, double b, double, double) { return a + b - 0.5; }), D3DTOP_SELECTARG1, D3DTA_TEXTURE,
         D3DTA_DIFFUSE, t.a},
        {"MODULATEALPHA_ADDCOLOR", D3DTOP_MODULATEALPHA_ADDCOLOR, D3DTA_DIFFUSE, D3DTA_TEXTURE,
         each(d, t, [](double a, double b, double aa, double) { return a + aa * b; }), D3DTOP_SELECTARG1, D3DTA_DIFFUSE,
         D3DTA_TEXTURE, d.a},
        {"BLENDDIFFUSEALPHA", D3DTOP_BLENDDIFFUSEALPHA, D3DTA_TEXTURE, D3DTA_CURRENT,
         each(t, d, [&](double a, double b, double, double) { return a * d.a + b * (1 - d.a); }), D3DTOP_MODULATE,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, t.a * d.a},
        {"BLENDTEXTUREALPHA", D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE,
         each(t, d, [&](double a, double b, double, double) { return a * t.a + b * (1 - t.a); }), D3DTOP_SELECTARG1,
         D3DTA_TEXTURE, D3DTA_DIFFUSE, t.a},
        {"SELECTARG1 complement", D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE,
         Rgba{1 - t.r, 1 - t.g, 1 - t.b, 0}, D3DTOP_SELECTARG1, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_DIFFUSE, 1 - t.a},
        {"SELECTARG1 specular", D3DTOP_SELECTARG1, D3DTA_SPECULAR, D3DTA_DIFFUSE, s, D3DTOP_SELECTARG1, D3DTA_TFACTOR,
         D3DTA_DIFFUSE, f.a},
        {"SELECTARG1 factor", D3DTOP_SELECTARG1, D3DTA_TFACTOR, D3DTA_DIFFUSE, f, D3DTOP_DISABLE, 0, 0, d.a},
    };
    for (const Case& c : cases) {
        device->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
        device->SetTextureStageState(0, D3DTSS_COLORARG2, c.arg2);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, c.alphaOp);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG1, c.alphaArg1);
        device->SetTextureStageState(0, D3DTSS_ALPHAARG2, c.alphaArg2);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        clear();
        drawScreenQuad(diffuseColor, specularColor);
        // Tolerance: 1 step (8-bit inputs, rounding).
        EXPECT_TRUE(near(pixel(16, 16), {byte(c.expected.r), byte(c.expected.g), byte(c.expected.b)}, 1)) << c.name;
        // Stage 1 shows the stage-0 alpha as grey.
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT | D3DTA_ALPHAREPLICATE);
        clear();
        drawScreenQuad(diffuseColor, specularColor);
        int a = byte(c.expectedAlpha);
        EXPECT_TRUE(near(pixel(16, 16), {a, a, a}, 1)) << c.name << " alpha";
    }
    // With stage 0 off nothing is textured: the diffuse colour, and specular added when asked.
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    clear();
    drawScreenQuad(diffuseColor, specularColor);
    EXPECT_TRUE(near(pixel(16, 16), {byte(d.r), byte(d.g), byte(d.b)}, 1));
    device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE);
    clear();
    drawScreenQuad(diffuseColor, specularColor);
    EXPECT_TRUE(near(pixel(16, 16), {byte(d.r + s.r), byte(d.g + s.g), byte(d.b + s.b)}, 1));
}

// The two-stage set-up of a textured, reflecting surface: base texture times diffuse, then the
// reflection blended over it by the diffuse alpha.
TEST_F(D3DDrawing, ABaseTextureAndAReflectionBlendOverTwoStages) {
    const uint32_t diffuseColor = 0x80CC6633, base = 0xFF8040FF, reflection = 0xFF00FF00;
    device->SetTexture(0, makeTexture(4, 4, std::vector<uint32_t>(16, base)));
    device->SetTexture(1, makeTexture(4, 4, std::vector<uint32_t>(16, reflection)));
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDDIFFUSEALPHA);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
    drawScreenQuad(diffuseColor);
    Rgba d = fractions(diffuseColor), t = fractions(base), r = fractions(reflection);
    auto stage = [&](double tex, double dif, double env) { return byte(env * d.a + tex * dif * (1 - d.a)); };
    EXPECT_TRUE(near(pixel(16, 16), {stage(t.r, d.r, r.r), stage(t.g, d.g, r.g), stage(t.b, d.b, r.b)}, 1));
}

TEST_F(D3DDrawing, TexelsMatchingTheSourceColourKeyAreTransparentWhileColourKeyingIsOn) {
    // Left half black, right half white, as 5-6-5 texels.
    std::vector<uint32_t> texels(16);
    for (int i = 0; i < 16; ++i) texels[i] = (i % 4) < 2 ? 0xFF000000 : 0xFFFFFFFF;
    LPDIRECTDRAWSURFACE7 texture = makeTexture(4, 4, texels, D3DX_SF_R5G6B5);
    DDCOLORKEY black{0, 0};
    EXPECT_EQ(texture->SetColorKey(DDCKEY_SRCBLT, &black), DD_OK);
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    clear(0xFFFF0000);
    drawScreenQuad(0xFFFFFFFF);
    EXPECT_TRUE(near(pixel(4, 16), {0, 0, 0}, 0)) << "keying is off by default";
    device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
    clear(0xFFFF0000);
    drawScreenQuad(0xFFFFFFFF);
    EXPECT_TRUE(near(pixel(4, 16), {255, 0, 0}, 0)) << "the key lets the background through";
    EXPECT_TRUE(near(pixel(28, 16), {255, 255, 255}, 0));
    DDCOLORKEY everything{0x0000, 0xFFFF};
    texture->SetColorKey(DDCKEY_SRCBLT | DDCKEY_COLORSPACE, &everything);
    clear(0xFFFF0000);
    drawScreenQuad(0xFFFFFFFF);
    EXPECT_TRUE(near(pixel(28, 16), {255, 0, 0}, 0)) << "a key range";
    texture->SetColorKey(DDCKEY_SRCBLT, nullptr);
    DDCOLORKEY got;
    EXPECT_EQ(texture->GetColorKey(DDCKEY_SRCBLT, &got), DDERR_NOCOLORKEY);
}

// Keyed texels drop out before the texture is filtered, so with linear filtering the edge of
// a keyed area moves half-way between texel centres but never darkens: every pixel shows the
// background or the unkeyed texel's own colour.
TEST_F(D3DDrawing, ColourKeyedTexelsLeaveNoDarkFringeUnderLinearFiltering) {
    for (D3DX_SURFACEFORMAT format : {D3DX_SF_R5G6B5, D3DX_SF_A8R8G8B8}) {
        std::vector<uint32_t> texels(16);
        for (int i = 0; i < 16; ++i) texels[i] = (i % 4) < 2 ? 0xFF000000 : 0xFFFFFFFF;
        LPDIRECTDRAWSURFACE7 texture = makeTexture(4, 4, texels, format);
        // The key is a pixel value of the texture's format: opaque black has its alpha bits set.
        DWORD black = format == D3DX_SF_A8R8G8B8 ? 0xFF000000 : 0;
        DDCOLORKEY key{black, black};
        texture->SetColorKey(DDCKEY_SRCBLT, &key);
        device->SetTexture(0, texture);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
        device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
        device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
        clear(0xFFFF0000);
        drawScreenQuad(0xFFFFFFFF);
        int firstWhite = -1;
        for (int x = 0; x < 32; ++x) {
            Color c = pixel(x, 16);
            bool background = near(c, {255, 0, 0}, 0), white = near(c, {255, 255, 255}, 0);
            EXPECT_TRUE(background || white) << "format " << format << " x " << x << ": " << c.r << " " << c.g << " " << c.b;
            if (white && firstWhite < 0) firstWhite = x;
        }
        // The key's edge lies half-way between the last black texel's centre (x = 12) and the
        // first white one's (x = 20).
        EXPECT_NEAR(firstWhite, 16, 1) << "format " << format;
    }
}

TEST_F(D3DDrawing, MagnificationFiltersPickTheNearestTexelOrBlendTheTwoNearest) {
    device->SetTexture(0, makeTexture(2, 1, {0xFF000000, 0xFFFFFFFF}));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP);
    drawScreenQuad(0xFFFFFFFF);
    EXPECT_EQ(pixel(15, 16).r, 0) << "point sampling, the default";
    EXPECT_EQ(pixel(16, 16).r, 255);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
    drawScreenQuad(0xFFFFFFFF);
    // Pixel 15's centre is at u = 15.5 / 32, 0.47 of the way from the first texel's centre to the second's.
    EXPECT_NEAR(pixel(15, 16).r, 120, 3);
    EXPECT_EQ(pixel(0, 16).r, 0) << "clamped at the edge";
}

// The player's floor grid: lines lit by nothing but their emissive colour, with stage 0 left at
// its default (texture times diffuse) and no texture set.
TEST_F(D3DDrawing, UnlitLinesShowTheirEmissiveColour) {
    D3DMATERIAL7 grid{};
    grid.ambient = {{1}, {1}, {1}, {0}};
    grid.emissive = {{0}, {0.4f}, {0}, {0}};
    device->SetMaterial(&grid);
    D3DMATRIX projection = perspective(float(M_PI / 2), 1.0f, 0.5f, 100.0f);
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    const PositionNormalUV lines[4] = {{-50, 0, 5, 0, 0, -1, 0, 0}, {50, 0, 5, 0, 0, -1, 0, 0},
                                       {0, -50, 5, 0, 0, -1, 0, 0}, {0, 50, 5, 0, 0, -1, 0, 0}};
    LPDIRECT3DVERTEXBUFFER7 vb = makeBuffer(D3DFVF_VERTEX, lines, 4, D3DVBCAPS_WRITEONLY);
    vb->Optimize(device, 0);
    EXPECT_EQ(device->DrawPrimitiveVB(D3DPT_LINELIST, vb, 0, 4, 0), D3D_OK);
    EXPECT_TRUE(near(pixel(4, 16), {0, 102, 0}, 1));
    EXPECT_TRUE(near(pixel(16, 28), {0, 102, 0}, 1));
    EXPECT_TRUE(near(pixel(4, 12), {0, 0, 0}, 0));
}

// ---- Culling, shading, blending -----------------------------------------------------------------
TEST_F(D3DDrawing, CullModesRemoveFacesByTheirWindingOnTheScreen) {
    untextured();
    // Left: clockwise on the screen (y down), red. Right: counter-clockwise, green.
    const D3DTLVERTEX triangles[6] = {
        {{2}, {2}, {0.5f}, {1}, {0xFFFF0000}, {0}, {0}, {0}},  {{14}, {2}, {0.5f}, {1}, {0xFFFF0000}, {0}, {0}, {0}},
        {{2}, {14}, {0.5f}, {1}, {0xFFFF0000}, {0}, {0}, {0}}, {{18}, {2}, {0.5f}, {1}, {0xFF00FF00}, {0}, {0}, {0}},
        {{18}, {14}, {0.5f}, {1}, {0xFF00FF00}, {0}, {0}, {0}}, {{30}, {2}, {0.5f}, {1}, {0xFF00FF00}, {0}, {0}, {0}},
    };
    struct Case {
        DWORD cull;
        bool red, green;
    };
    for (Case c : {Case{D3DCULL_CCW, true, false}, Case{D3DCULL_CW, false, true}, Case{D3DCULL_NONE, true, true}}) {
        device->SetRenderState(D3DRENDERSTATE_CULLMODE, c.cull);
        clear();
        device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, (LPVOID)triangles, 6, 0);
        EXPECT_EQ(pixel(5, 5).r, c.red ? 255 : 0) << "cull mode " << c.cull;
        EXPECT_EQ(pixel(21, 5).g, c.green ? 255 : 0) << "cull mode " << c.cull;
    }
    // A transformed triangle listed clockwise as seen by the camera is a front face.
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    D3DMATRIX projection = perspective(float(M_PI / 2), 1.0f, 0.5f, 10.0f);
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    const PositionColorUV front[3] = {{-1, 1, 2, 0xFF0000FF, 0, 0}, {1, 1, 2, 0xFF0000FF, 0, 0}, {-1, -1, 2, 0xFF0000FF, 0, 0}};
    clear();
    device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1, (LPVOID)front, 3, 0);
    EXPECT_EQ(pixel(10, 10).b, 255);
}

TEST_F(D3DDrawing, FlatShadingTakesTheFirstVertexAndGouraudInterpolates) {
    untextured();
    const D3DTLVERTEX triangle[3] = {{{4}, {4}, {0.5f}, {1}, {0xFFFF0000}, {0}, {0}, {0}},
                                     {{28}, {4}, {0.5f}, {1}, {0xFF00FF00}, {0}, {0}, {0}},
                                     {{4}, {28}, {0.5f}, {1}, {0xFF0000FF}, {0}, {0}, {0}}};
    device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, (LPVOID)triangle, 3, 0);
    EXPECT_TRUE(near(pixel(12, 12), {255, 0, 0}, 0));
    EXPECT_TRUE(near(pixel(5, 26), {255, 0, 0}, 0));
    clear();
    device->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD);
    device->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, (LPVOID)triangle, 3, 0);
    // (12, 12) lies a third of the way along each edge: equal thirds of each colour.
    EXPECT_TRUE(near(pixel(12, 12), {85, 85, 85}, 2));
}

TEST_F(D3DDrawing, BlendModesMixSourceAndTargetByTheirFactors) {
    untextured();
    const D3DCOLOR target = 0xFF336699, source = 0x40CC9966;
    Rgba t = fractions(target), s = fractions(source);
    struct Case {
        const char* name;
        DWORD enable, from, to;
        double sourceFactor, targetFactor;
    };
    const Case cases[] = {
        {"off", FALSE, D3DBLEND_INVSRCALPHA, D3DBLEND_ONE, 1, 0},
        {"INVSRCALPHA, ONE", TRUE, D3DBLEND_INVSRCALPHA, D3DBLEND_ONE, 1 - s.a, 1},
        {"INVSRCALPHA, SRCALPHA", TRUE, D3DBLEND_INVSRCALPHA, D3DBLEND_SRCALPHA, 1 - s.a, s.a},
        {"SRCALPHA, INVSRCALPHA", TRUE, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, s.a, 1 - s.a},
        {"BOTHINVSRCALPHA", TRUE, D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ZERO, 1 - s.a, s.a},
        {"ONE, ONE", TRUE, D3DBLEND_ONE, D3DBLEND_ONE, 1, 1},
    };
    for (const Case& c : cases) {
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, c.enable);
        device->SetRenderState(D3DRENDERSTATE_SRCBLEND, c.from);
        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, c.to);
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
        clear(target);
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, c.enable);
        drawScreenQuad(source);
        auto mix = [&](double a, double b) { return byte(a * c.sourceFactor + b * c.targetFactor); };
        // Tolerance: 2 steps (8-bit target, blending rounding).
        EXPECT_TRUE(near(pixel(8, 8), {mix(s.r, t.r), mix(s.g, t.g), mix(s.b, t.b)}, 2)) << c.name;
    }
}

// Reflection vectors in camera space become coordinates (x, y of R = reflect(eye to vertex, N)):
// on a plane facing the camera they are the view direction's x and y, so a 2 x 2 texture shows
// mirrored left to right around the screen's centre.
TEST_F(D3DDrawing, CameraSpaceReflectionVectorsGenerateTextureCoordinates) {
    LPDIRECTDRAWSURFACE7 quadrants = makeTexture(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    device->SetTexture(0, quadrants);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    D3DMATRIX projection = perspective(float(M_PI / 2), 1.0f, 0.5f, 10.0f);
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);
    const PositionNormalUV plane[4] = {{-4, 4, 2, 0, 0, -1, 0, 0}, {4, 4, 2, 0, 0, -1, 0, 0},
                                       {4, -4, 2, 0, 0, -1, 0, 0}, {-4, -4, 2, 0, 0, -1, 0, 0}};
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_VERTEX, (LPVOID)plane, 4, 0);
    saveImage("reflection");
    EXPECT_TRUE(near(pixel(24, 8), {255, 0, 0}, 0)) << "upper right shows the texture's upper left";
    EXPECT_TRUE(near(pixel(8, 8), {0, 255, 0}, 0));
    EXPECT_TRUE(near(pixel(24, 24), {0, 0, 255}, 0));
    EXPECT_TRUE(near(pixel(8, 24), {255, 255, 255}, 0));
}

// ---- Debug text and sprites -------------------------------------------------------------------------
class D3DOverlay : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        open(128, 64);
        device->BeginScene();
        clear();
        device->EndScene();
    }
    // Pixels with any colour in the rectangle [x0, x1) x [y0, y1).
    int lit(int x0, int y0, int x1, int y1, Color* brightest = nullptr) {
        std::vector<Color> p = readBack();
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const Color& c = p[size_t(y) * width + x];
                if (c.r || c.g || c.b) {
                    ++count;
                    if (brightest && c.r + c.g + c.b > brightest->r + brightest->g + brightest->b) *brightest = c;
                }
            }
        return count;
    }
};

TEST_F(D3DOverlay, DebugTextAppearsWhereItIsPlacedInItsColour) {
    // x, y are fractions of the target: (0.25, 0.25) is pixel (32, 16), the text's top-left.
    EXPECT_EQ(context->DrawDebugText(0.25f, 0.25f, 0x0000FF00, const_cast<char*>("Hello")), S_OK);
    saveImage("text");
    Color brightest;
    EXPECT_GT(lit(32, 16, 32 + 5 * 8, 16 + 15, &brightest), 30);
    EXPECT_EQ(lit(0, 0, 128, 16), 0) << "nothing above the text";
    EXPECT_EQ(lit(0, 0, 31, 64), 0) << "nothing left of it";
    EXPECT_EQ(lit(32 + 5 * 8, 0, 128, 64), 0) << "nothing right of five characters";
    EXPECT_EQ(brightest.r, 0);
    EXPECT_EQ(brightest.b, 0);
    EXPECT_GT(brightest.g, 200);
    // A line break starts the next line below.
    context->DrawDebugText(0.0f, 0.5f, 0xFFFFFF, const_cast<char*>("a\nb"));
    EXPECT_GT(lit(0, 32, 8, 46), 0);
    EXPECT_GT(lit(0, 46, 8, 64), 0);
    EXPECT_EQ(context->DrawDebugText(0, 0, 0xFFFFFF, nullptr), D3DXERR_NULLPOINTER);
}

TEST_F(D3DOverlay, SpritesAreTexturedQuadsCentredOnTheirPoint) {
    LPDIRECTDRAWSURFACE7 white = makeTexture(4, 4, std::vector<uint32_t>(16, 0xFFFFFFFF));
    device->BeginScene();
    EXPECT_EQ(D3DXPrepareDeviceForSprite(device, FALSE), S_OK);
    D3DXVECTOR3 at(32, 32, 0.5f);
    EXPECT_EQ(D3DXDrawSpriteSimple(white, device, &at, 1.0f, 4.0f), S_OK);
    // A 16 x 16 quad around (32, 32): pixels 24 to 39.
    EXPECT_EQ(lit(24, 24, 40, 40), 256);
    EXPECT_EQ(lit(0, 0, 128, 64), 256);
    // Mirrored by a negative scale, still covering the same square; the blend of the player's
    // particles (INVSRCALPHA, ONE) with alpha 0 adds the texture fully.
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    D3DXVECTOR3 second(96, 32, 0.9f);
    EXPECT_EQ(D3DXDrawSpriteSimple(white, device, &second, 0.0f, -2.0f), S_OK);
    EXPECT_EQ(lit(88, 24, 104, 40), 64);
    EXPECT_TRUE(near(pixel(96, 32), {255, 255, 255}, 0));
    device->EndScene();
}

// ---- 16-bit targets ---------------------------------------------------------------------------
TEST(D3DTargets, AFullScreen16BitTargetKeeps565Colour) {
    configureHost();
    D3DXInitialize();
    HWND w = makeWindow(640, 480, 8);
    LPD3DXCONTEXT context = nullptr;
    ASSERT_EQ(D3DXCreateContextEx(D3DX_DEFAULT, D3DX_CONTEXT_FULLSCREEN, w, w, 16, D3DX_DEFAULT, D3DX_DEFAULT,
                                  D3DX_DEFAULT, 1, 64, 48, D3DX_DEFAULT, &context),
              S_OK);
    LPDIRECT3DDEVICE7 device = context->GetD3DDevice();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF808080, 1.0f, 0);
    LPDIRECTDRAWSURFACE7 target = context->GetBackBuffer(0);
    DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    ASSERT_EQ(target->Lock(nullptr, &d, DDLOCK_READONLY, nullptr), DD_OK);
    EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, 16u);
    WORD first = *static_cast<WORD*>(d.lpSurface);
    target->Unlock(nullptr);
    // 0x80 is 16/31 in five bits and 32/63 in six.
    EXPECT_EQ(first, (16 << 11) | (32 << 5) | 16);
    target->Release();
    device->Release();
    EXPECT_EQ(context->Release(), 0u);
    EXPECT_EQ(d3d7::testing::liveObjects(), 0);
    D3DXUninitialize();
    win32::testing::reset();
}

}  // namespace
}  // namespace d3d7_test
