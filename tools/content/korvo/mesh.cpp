#include "mesh.h"

#include <algorithm>
#include <cmath>

namespace content::korvo {

namespace {

constexpr float pi = 3.14159265358979f;

Vec3 minus(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Adds the triangle turned so that its seen side faces `outward`, measured on `at` (the
// points the orientation is judged by, which may differ from the points stored).
void addOriented(Mesh& mesh, const std::vector<Vec3>& at, uint32_t a, uint32_t b, uint32_t c, const Vec3& outward) {
    Vec3 seen = cross(minus(at[b], at[a]), minus(at[c], at[a]));
    if (dot(seen, outward) < 0.0f) std::swap(b, c);
    mesh.triangles.push_back({a, b, c});
}

// Two triangles of the quad a-b-c-d (corners in order around it).
void addQuad(Mesh& mesh, const std::vector<Vec3>& at, uint32_t a, uint32_t b, uint32_t c, uint32_t d, const Vec3& outward) {
    addOriented(mesh, at, a, b, c, outward);
    addOriented(mesh, at, a, c, d, outward);
}

// The quads of a grid of (columns + 1) x (rows + 1) points stored column by column, each
// turned so that its seen side faces the `outward` of its first corner.
void addGridQuads(Mesh& mesh, int columns, int rows, const std::vector<Vec3>& outward) {
    auto at = [rows](int i, int j) { return uint32_t(i * (rows + 1) + j); };
    for (int i = 0; i < columns; ++i)
        for (int j = 0; j < rows; ++j) {
            uint32_t a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            addQuad(mesh, mesh.points, a, b, c, d, outward[a]);
        }
}

Vec3 centroid(const std::vector<Vec3>& at, std::initializer_list<uint32_t> corners) {
    Vec3 sum{0, 0, 0};
    for (uint32_t i : corners)
        for (int k = 0; k < 3; ++k) sum[size_t(k)] += at[i][size_t(k)];
    float n = float(corners.size());
    return {sum[0] / n, sum[1] / n, sum[2] / n};
}

}  // namespace

float Random::uniform() {
    state_ = state_ * 214013u + 2531011u;
    return float((state_ >> 16) & 0x7FFF) / 32768.0f;
}

float Random::between(float low, float high) { return low + (high - low) * uniform(); }

Mesh sphere(int segments, int rings, const std::function<float(float, float)>& radius) {
    Mesh mesh;
    std::vector<Vec3> unit;   // the same points on the unit sphere: they decide the orientation
    auto add = [&](float longitude, float colatitude) {
        Vec3 direction{std::sin(colatitude) * std::cos(longitude), std::cos(colatitude),
                       std::sin(colatitude) * std::sin(longitude)};
        float r = radius(longitude, colatitude);
        unit.push_back(direction);
        mesh.points.push_back({direction[0] * r, direction[1] * r, direction[2] * r});
    };
    add(0.0f, 0.0f);
    for (int i = 1; i < rings; ++i)
        for (int j = 0; j < segments; ++j) add(2.0f * pi * float(j) / float(segments), pi * float(i) / float(rings));
    add(0.0f, pi);
    const uint32_t north = 0, south = uint32_t(mesh.points.size() - 1);
    auto ring = [segments](int i, int j) { return uint32_t(1 + (i - 1) * segments + (j % segments)); };
    for (int j = 0; j < segments; ++j) {
        uint32_t a = ring(1, j), b = ring(1, j + 1);
        addOriented(mesh, unit, north, a, b, centroid(unit, {north, a, b}));
        uint32_t c = ring(rings - 1, j), d = ring(rings - 1, j + 1);
        addOriented(mesh, unit, south, c, d, centroid(unit, {south, c, d}));
    }
    for (int i = 1; i < rings - 1; ++i)
        for (int j = 0; j < segments; ++j) {
            uint32_t a = ring(i, j), b = ring(i, j + 1), c = ring(i + 1, j + 1), d = ring(i + 1, j);
            addQuad(mesh, unit, a, b, c, d, centroid(unit, {a, b, c, d}));
        }
    return mesh;
}

Mesh torus(float major, float minor, int segmentsU, int segmentsV, float repeatU, float repeatV) {
    Mesh mesh;
    std::vector<Vec3> outward;
    for (int i = 0; i <= segmentsU; ++i) {
        float a = 2.0f * pi * float(i) / float(segmentsU);
        for (int j = 0; j <= segmentsV; ++j) {
            float b = 2.0f * pi * float(j) / float(segmentsV);
            Vec3 out{std::cos(b) * std::cos(a), std::sin(b), std::cos(b) * std::sin(a)};
            outward.push_back(out);
            mesh.points.push_back({std::cos(a) * major + out[0] * minor, out[1] * minor, std::sin(a) * major + out[2] * minor});
            mesh.uv.push_back({repeatU * float(i) / float(segmentsU), repeatV * float(j) / float(segmentsV)});
        }
    }
    addGridQuads(mesh, segmentsU, segmentsV, outward);
    return mesh;
}

Mesh mobius(float radius, float width, int segmentsU, int segmentsV, float repeatU) {
    Mesh mesh;
    std::vector<Vec3> normal;
    for (int i = 0; i <= segmentsU; ++i) {
        float a = 2.0f * pi * float(i) / float(segmentsU);
        Vec3 across{std::cos(a / 2.0f) * std::cos(a), std::sin(a / 2.0f), std::cos(a / 2.0f) * std::sin(a)};
        Vec3 along{-std::sin(a), 0.0f, std::cos(a)};
        Vec3 n = cross(along, across);
        for (int j = 0; j <= segmentsV; ++j) {
            float s = (float(j) / float(segmentsV) - 0.5f) * width;
            mesh.points.push_back({std::cos(a) * radius + across[0] * s, across[1] * s, std::sin(a) * radius + across[2] * s});
            mesh.uv.push_back({repeatU * float(i) / float(segmentsU), float(j) / float(segmentsV)});
            normal.push_back(n);
        }
    }
    addGridQuads(mesh, segmentsU, segmentsV, normal);
    return mesh;
}

Mesh crystal(int sides, float radius, float bodyHeight, float tipHeight, uint32_t seed) {
    Random random(seed);
    Mesh mesh;
    float half = bodyHeight / 2.0f;
    mesh.points.push_back({random.between(-0.1f, 0.1f) * radius, half + tipHeight, random.between(-0.1f, 0.1f) * radius});
    for (int ring = 0; ring < 2; ++ring)
        for (int k = 0; k < sides; ++k) {
            float a = 2.0f * pi * (float(k) + random.between(-0.12f, 0.12f)) / float(sides);
            float r = radius * random.between(0.85f, 1.1f);
            float y = (ring == 0 ? half : -half) + random.between(-0.15f, 0.15f) * bodyHeight;
            mesh.points.push_back({std::cos(a) * r, y, std::sin(a) * r});
        }
    mesh.points.push_back({random.between(-0.1f, 0.1f) * radius, -half - tipHeight * 0.7f, random.between(-0.1f, 0.1f) * radius});
    const uint32_t top = 0, bottom = uint32_t(mesh.points.size() - 1);
    auto upper = [sides](int k) { return uint32_t(1 + k % sides); };
    auto lower = [sides](int k) { return uint32_t(1 + sides + k % sides); };
    const std::vector<Vec3>& at = mesh.points;
    for (int k = 0; k < sides; ++k) {
        addOriented(mesh, at, top, upper(k), upper(k + 1), centroid(at, {top, upper(k), upper(k + 1)}));
        addQuad(mesh, at, upper(k), upper(k + 1), lower(k + 1), lower(k), centroid(at, {upper(k), upper(k + 1), lower(k + 1), lower(k)}));
        addOriented(mesh, at, bottom, lower(k), lower(k + 1), centroid(at, {bottom, lower(k), lower(k + 1)}));
    }
    return mesh;
}

Mesh annulus(float inner, float outer, int segments, float repeatU) {
    Mesh mesh;
    for (int k = 0; k <= segments; ++k) {
        float a = 2.0f * pi * float(k) / float(segments), u = repeatU * float(k) / float(segments);
        mesh.points.push_back({std::cos(a) * inner, 0.0f, std::sin(a) * inner});
        mesh.points.push_back({std::cos(a) * outer, 0.0f, std::sin(a) * outer});
        mesh.uv.push_back({u, 0.0f});
        mesh.uv.push_back({u, 1.0f});
    }
    for (int k = 0; k < segments; ++k) {
        uint32_t a = uint32_t(2 * k), b = a + 1, c = a + 3, d = a + 2;
        addQuad(mesh, mesh.points, a, b, c, d, {0.0f, 1.0f, 0.0f});
    }
    return mesh;
}

Mesh floorGrid(float size, int cells, float repeat, float y) {
    Mesh mesh;
    for (int i = 0; i <= cells; ++i)
        for (int j = 0; j <= cells; ++j) {
            float u = float(i) / float(cells), v = float(j) / float(cells);
            mesh.points.push_back({(u - 0.5f) * size, y, (v - 0.5f) * size});
            mesh.uv.push_back({u * repeat, v * repeat});
        }
    addGridQuads(mesh, cells, cells, std::vector<Vec3>(mesh.points.size(), Vec3{0.0f, 1.0f, 0.0f}));
    return mesh;
}

Mesh panel(float width, float height) {
    Mesh mesh;
    float w = width / 2.0f, h = height / 2.0f;
    mesh.points = {{-w, -h, 0.0f}, {w, -h, 0.0f}, {w, h, 0.0f}, {-w, h, 0.0f}};
    mesh.uv = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    addQuad(mesh, mesh.points, 0, 1, 2, 3, {0.0f, 0.0f, -1.0f});
    return mesh;
}

Mesh pointCloud(const std::vector<Vec3>& points) {
    Mesh mesh;
    mesh.points = points;
    for (uint32_t i = 0; i < uint32_t(points.size()); i += 3) {
        uint32_t last = uint32_t(points.size() - 1);
        mesh.triangles.push_back({i, std::min(i + 1, last), std::min(i + 2, last)});
    }
    return mesh;
}

void addMesh(lwo::Object& object, const Mesh& mesh, const std::string& surface, const std::string& uvMap) {
    uint32_t first = uint32_t(object.pointCount());
    for (const Vec3& p : mesh.points) object.addPoint(p[0], p[1], p[2]);
    for (const auto& t : mesh.triangles) object.setSurface(object.addTriangle(first + t[0], first + t[1], first + t[2]), surface);
    if (uvMap.empty() || mesh.uv.empty()) return;
    lwo::UVMap& target = object.addUVMap(uvMap);
    for (size_t i = 0; i < mesh.uv.size(); ++i) target.entries.push_back({first + uint32_t(i), {mesh.uv[i][0], mesh.uv[i][1]}});
}

}  // namespace content::korvo
