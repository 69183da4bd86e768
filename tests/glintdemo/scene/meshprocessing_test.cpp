// Mesh processing: corner normals, the vertex split, the boxes and the principal axes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "scene/meshprocessing.h"
#include "scene/scene.h"

namespace {

using Point = std::array<float, 3>;

// A mesh as read: positions, faces, and per face the texture coordinate of each corner (or
// none: every corner uses coordinate 0 of an empty list).
std::unique_ptr<MeshObject> mesh(const std::vector<Point>& positions, const std::vector<std::array<int, 3>>& faces,
                                 const std::vector<std::array<int, 3>>& coordinates = {}, int coordinateCount = 0) {
    auto made = std::make_unique<MeshObject>();
    MeshObject& m = *made;
    for (const Point& p : positions) m.inputPositions.insert(m.inputPositions.end(), p.begin(), p.end());
    m.textureCoordinates.resize(size_t(coordinateCount) * 3);
    for (int i = 0; i < coordinateCount; ++i) m.textureCoordinates[size_t(i) * 3] = float(i);
    for (size_t f = 0; f < faces.size(); ++f) {
        InputFace face{};
        for (int c = 0; c < 3; ++c) {
            face.vertex[c] = faces[f][size_t(c)];
            face.textureCoordinate[c] = coordinates.empty() ? 0 : coordinates[f][size_t(c)];
        }
        m.faces.push_back(face);
    }
    m.indices.resize(faces.size() * 3);
    return made;
}

Point normalOf(const MeshObject& m, int face, int corner) {
    int link = m.faces[size_t(face)].normalLink[corner];
    return {m.normals[size_t(link) * 3], m.normals[size_t(link) * 3 + 1], m.normals[size_t(link) * 3 + 2]};
}

void expectNear(const Point& a, const Point& b, float tolerance, const char* what) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[size_t(i)], b[size_t(i)], tolerance) << what << " component " << i;
}

// Two faces sharing the edge v1-v2 (along x), folded along it: face 0 lies in z = 0 (normal
// +z), face 1 stands in y = 0 (normal +y).
const std::vector<Point> roof = {{0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 0, 1}};
const std::vector<std::array<int, 3>> roofFaces = {{0, 1, 2}, {1, 3, 2}};

TEST(SceneMeshNormals, WithoutAnAngleEveryFaceIsFlatWithAPoolEntryOfItsOwn) {
    // Two coplanar faces: each appends its own entry even though the normals are equal.
    auto mMesh = mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {1, 3, 2}});
    MeshObject& m = *mMesh;
    computeNormals(m, 0);
    EXPECT_EQ(m.poolCount, 2);
    for (int f = 0; f < 2; ++f) {
        EXPECT_EQ(m.faces[size_t(f)].normalLink[0], m.faces[size_t(f)].normalLink[1]);
        EXPECT_EQ(m.faces[size_t(f)].normalLink[0], m.faces[size_t(f)].normalLink[2]);
        expectNear(normalOf(m, f, 0), {0, 0, 1}, 1e-6f, "flat normal");
    }
    EXPECT_NE(m.faces[0].normalLink[0], m.faces[1].normalLink[0]);
    EXPECT_FLOAT_EQ(m.planes[1].distance, 0.0f);
}

TEST(SceneMeshNormals, SharedVerticesGatherTheNormalsOfTheFacesAroundThem) {
    auto mMesh = mesh(roof, roofFaces);
    MeshObject& m = *mMesh;
    computeNormals(m, 90 * 0.01745329252f);
    const float r = 1 / std::sqrt(2.0f);
    // Corners on the shared edge: between the two face normals, unit length.
    expectNear(normalOf(m, 0, 1), {0, r, r}, 1e-5f, "face 0 at v1");
    expectNear(normalOf(m, 0, 2), {0, r, r}, 1e-5f, "face 0 at v2");
    expectNear(normalOf(m, 1, 0), {0, r, r}, 1e-5f, "face 1 at v1");
    // Corners of one face only keep that face's normal.
    expectNear(normalOf(m, 0, 0), {0, 0, 1}, 1e-6f, "face 0 at v0");
    expectNear(normalOf(m, 1, 1), {0, 1, 0}, 1e-6f, "face 1 at v3");
    // The shared corners went through the pool (one entry per vertex), the lone ones did not.
    EXPECT_EQ(m.poolCount, 2);
    EXPECT_EQ(m.faces[0].normalLink[1], m.faces[1].normalLink[0]);
    EXPECT_EQ(m.faces[0].normalLink[2], m.faces[1].normalLink[2]);
    EXPECT_NE(m.faces[0].normalLink[1], m.faces[0].normalLink[2]);
    EXPECT_NEAR(m.planes[1].distance, 0.0f, 1e-6f);
}

TEST(SceneMeshSplit, CornersWithTheSameNormalAndCoordinateShareADrawnVertex) {
    auto mMesh = mesh(roof, roofFaces, {{0, 1, 2}, {1, 3, 2}}, 4);
    MeshObject& m = *mMesh;
    computeNormals(m, 1.0f);
    SplitResult split = splitVertices(m);
    EXPECT_TRUE(split.fits);
    ASSERT_EQ(split.drawnCount, 4);
    EXPECT_EQ(std::vector<uint16_t>(m.indices), (std::vector<uint16_t>{0, 1, 2, 1, 3, 2}));
    EXPECT_EQ(m.vertices[3].position[2], 1.0f);
    EXPECT_EQ(m.vertices[3].index, 3);
    EXPECT_EQ(m.vertices[1].colour[3], 1.0f);
    EXPECT_EQ(m.vertices[1].u, 1.0f);
    EXPECT_EQ(m.planes[1].vertex[1], 3);
    EXPECT_TRUE(m.faces.empty());   // the input is released

    // Another texture coordinate at v1 in face 1 splits v1 in two.
    auto seamMesh = mesh(roof, roofFaces, {{0, 1, 2}, {0, 3, 2}}, 4);
    MeshObject& seam = *seamMesh;
    computeNormals(seam, 1.0f);
    EXPECT_EQ(splitVertices(seam).drawnCount, 5);
}

TEST(SceneMeshSplit, ALoneFaceWithoutCoordinatesKeepsItsThreeCorners) {
    // Flat: one normal for the three corners, and no texture coordinates at all.
    auto mMesh = mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
    MeshObject& m = *mMesh;
    computeNormals(m, 1.0f);
    EXPECT_EQ(splitVertices(m).drawnCount, 3);
    EXPECT_EQ(m.vertices[1].position[0], 1.0f);
}

std::vector<Point> boxCorners(float x, float y, float z) {
    std::vector<Point> corners;
    for (int i = 0; i < 8; ++i) corners.push_back({i & 1 ? -x : x, i & 2 ? -y : y, i & 4 ? -z : z});
    return corners;
}

// The 12 faces of a box over its 8 corners (numbered as boxCorners makes them), outward. The
// diagonals are chosen so that the corners counted once per face carry no correlation between
// axes: the principal axes are then exactly the box's.
const std::vector<std::array<int, 3>> boxFaces = {{2, 4, 0}, {2, 6, 4}, {1, 7, 3}, {1, 5, 7}, {1, 0, 4}, {1, 4, 5},
                                                  {2, 3, 7}, {2, 7, 6}, {1, 2, 0}, {1, 3, 2}, {4, 7, 5}, {4, 6, 7}};

std::unique_ptr<MeshObject> processed(const std::vector<Point>& positions, const std::vector<std::array<int, 3>>& faces) {
    auto made = mesh(positions, faces);
    computeNormals(*made, 1.0f);
    splitVertices(*made);
    computeBox(*made);
    computeOrientedBox(*made);
    return made;
}

// Whether each corner of `a` is within `tolerance` of some corner of `b`.
bool sameCorners(const float (*a)[3], const std::vector<Point>& b, float tolerance) {
    for (int i = 0; i < 8; ++i) {
        bool found = std::any_of(b.begin(), b.end(), [&](const Point& p) {
            return std::fabs(a[i][0] - p[0]) < tolerance && std::fabs(a[i][1] - p[1]) < tolerance &&
                   std::fabs(a[i][2] - p[2]) < tolerance;
        });
        if (!found) return false;
    }
    return true;
}

TEST(SceneMeshBoxes, ABoxMeshHasItsOwnCornersForBothBoxes) {
    auto mMesh = processed(boxCorners(3, 2, 1), boxFaces);
    MeshObject& m = *mMesh;
    EXPECT_EQ(m.boxMaximum[0], 3.0f);
    EXPECT_EQ(m.boxMinimum[2], -1.0f);
    // Corner i takes the minimum on an axis where its bit is set.
    EXPECT_EQ(m.boxCorners[0][0], 3.0f);
    EXPECT_EQ(m.boxCorners[1][0], -3.0f);
    EXPECT_EQ(m.boxCorners[6][1], -2.0f);
    EXPECT_EQ(m.boxCorners[6][2], -1.0f);
    EXPECT_TRUE(sameCorners(m.orientedCorners, boxCorners(3, 2, 1), 1e-4f));
    // Axes in ascending order of spread: z, y, x.
    EXPECT_LT(m.eigenvalues[0], m.eigenvalues[1]);
    EXPECT_LT(m.eigenvalues[1], m.eigenvalues[2]);
    EXPECT_NEAR(std::fabs(m.axes[2 * 4 + 0]), 1.0f, 1e-5f);
    EXPECT_NEAR(std::fabs(m.axes[0 * 4 + 2]), 1.0f, 1e-5f);
}

TEST(SceneMeshBoxes, TheOrientedBoxFollowsATurnedBox) {
    const float c = std::cos(0.5f), s = std::sin(0.5f);
    std::vector<Point> turned;
    for (const Point& p : boxCorners(3, 2, 1)) turned.push_back({c * p[0] - s * p[1], s * p[0] + c * p[1], p[2] + 5});
    auto mMesh = processed(turned, boxFaces);
    MeshObject& m = *mMesh;
    EXPECT_TRUE(sameCorners(m.orientedCorners, turned, 1e-3f));
    EXPECT_NEAR(m.orientedCentre[2], 5.0f, 1e-4f);
    EXPECT_FALSE(sameCorners(m.boxCorners, turned, 1e-3f));
}

TEST(SceneMeshBoxes, APlanarMeshGivesAFlatOrientedBox) {
    auto mMesh = processed({{0, 0, 2}, {4, 0, 2}, {4, 1, 2}, {0, 1, 2}}, {{0, 1, 2}, {0, 2, 3}});
    MeshObject& m = *mMesh;
    EXPECT_NEAR(m.eigenvalues[0], 0.0f, 1e-4f);
    for (int i = 0; i < 8; ++i) EXPECT_NEAR(m.orientedCorners[i][2], 2.0f, 1e-4f) << i;
    auto emptyMesh = processed({}, {});
    MeshObject& empty = *emptyMesh;
    EXPECT_EQ(empty.orientedCorners[3][1], 0.0f);
}

TEST(SceneMeshBoxes, JacobiFindsAKnownDecomposition) {
    // A = V diag(5, 2, 0.5) V^T with V a rotation about z then x.
    const double a1 = 0.6, a2 = 0.9;
    const double rz[3][3] = {{std::cos(a1), -std::sin(a1), 0}, {std::sin(a1), std::cos(a1), 0}, {0, 0, 1}};
    const double rx[3][3] = {{1, 0, 0}, {0, std::cos(a2), -std::sin(a2)}, {0, std::sin(a2), std::cos(a2)}};
    double v[3][3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) v[i][j] += rz[i][k] * rx[k][j];
    const double lambda[3] = {5, 2, 0.5};
    double a[3][3] = {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) a[i][j] += v[i][k] * lambda[k] * v[j][k];
    double values[3], vectors[3][3];
    int sweeps = jacobi(a, values, vectors);
    EXPECT_GT(sweeps, 0);
    EXPECT_LT(sweeps, 10);
    for (int k = 0; k < 3; ++k) {
        int match = -1;
        for (int j = 0; j < 3; ++j)
            if (std::fabs(values[j] - lambda[k]) < 1e-9) match = j;
        ASSERT_GE(match, 0) << "eigenvalue " << lambda[k];
        double d = 0;
        for (int i = 0; i < 3; ++i) d += vectors[i][match] * v[i][k];
        EXPECT_NEAR(std::fabs(d), 1.0, 1e-9) << "eigenvector of " << lambda[k];
    }
}

}  // namespace
