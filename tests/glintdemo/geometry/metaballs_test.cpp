// The metaball surface: the field, marching cubes with shared edge vertices, the normals, and
// the classic tables it relies on.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <cmath>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "geometry/metaballs.h"
#include "geometry/particles.h"
#include "geometry/worlds.h"

namespace {

constexpr int edgeCorners[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                    {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

class Metaballs : public ::testing::Test {
protected:
    void place(std::initializer_list<std::array<float, 3>> positions) {
        for (const auto& position : positions) {
            Particle* p = system.take();
            std::copy(position.begin(), position.end(), p->position);
        }
        surface.buildSurface(system);
    }
    const float* vertex(uint32_t index) const { return surface.mesh.positions + 3 * index; }
    float field(int i, int j, int k) const { return surface.field[i + 32 * j + 1024 * k]; }
    bool fieldIsZero() const {
        return std::all_of(surface.field, surface.field + 32 * 32 * 32, [](float f) { return f == 0.0f; });
    }

    ParticleSystem system{100};
    MetaballSurface surface;
};

TEST_F(Metaballs, NoParticlesGiveNothing) {
    place({});
    EXPECT_TRUE(fieldIsZero());
    EXPECT_EQ(surface.mesh.vertexCount, 0);
    EXPECT_EQ(surface.mesh.triangleCount, 0);
}

// A closed blob about the origin: every mesh edge shared by two triangles, every vertex
// `radius` from the origin, normals pointing straight out.
void expectBlobAboutTheOrigin(const SurfaceMesh& mesh, float radius, float tolerance) {
    ASSERT_GT(mesh.triangleCount, 20);
    // Every edge of the mesh is shared by exactly two triangles, in opposite directions.
    std::map<std::pair<uint32_t, uint32_t>, int> directed;
    for (int t = 0; t < mesh.triangleCount; ++t)
        for (int c = 0; c < 3; ++c) ++directed[{mesh.indices[3 * t + c], mesh.indices[3 * t + (c + 1) % 3]}];
    for (const auto& [edge, uses] : directed) {
        EXPECT_EQ(uses, 1) << edge.first << "-" << edge.second;
        EXPECT_EQ(directed.count({edge.second, edge.first}), 1u) << edge.first << "-" << edge.second;
    }
    // The classic tables wind every triangle the same way round: anticlockwise seen from outside.
    for (int t = 0; t < mesh.triangleCount; ++t) {
        const float* a = mesh.positions + 3 * mesh.indices[3 * t];
        const float* b = mesh.positions + 3 * mesh.indices[3 * t + 1];
        const float* c = mesh.positions + 3 * mesh.indices[3 * t + 2];
        float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        float n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        EXPECT_GT(n[0] * a[0] + n[1] * a[1] + n[2] * a[2], 0.0f) << t;
    }
    for (int v = 0; v < mesh.vertexCount; ++v) {
        const float* p = mesh.positions + 3 * v;
        float d = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
        EXPECT_NEAR(d, radius, tolerance) << v;
        const float* n = mesh.normals + 3 * v;
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f);
        EXPECT_GT((n[0] * p[0] + n[1] * p[1] + n[2] * p[2]) / d, 0.999f) << "normals point away from the particle";
    }
}

TEST_F(Metaballs, OneParticleAtTheOriginGivesAClosedBlobOfRadiusAbout17) {
    place({{0, 0, 0}});
    // (1 - d^2/1024)^2 = 0.5 at d = 17.33; the vertices are interpolated along the grid edges.
    expectBlobAboutTheOrigin(surface.mesh, 32.0f * std::sqrt(1.0f - std::sqrt(0.5f)), 0.6f);
}

TEST_F(Metaballs, StackedParticlesReachTheEdgeOfTheirRange) {
    // Six at one place: 6 (1 - d^2/1024)^2 = 0.5 at d = 27, within a sample of the reach.
    place({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    expectBlobAboutTheOrigin(surface.mesh, 32.0f * std::sqrt(1.0f - std::sqrt(1.0f / 12.0f)), 1.0f);
}

TEST_F(Metaballs, EdgeVerticesAreSharedOnePerCrossedGridEdge) {
    place({{10, -5, 3}, {-12, 8, 0}, {30, 30, -30}});
    int crossed = 0;
    for (int k = 0; k < 32; ++k)
        for (int j = 0; j < 32; ++j)
            for (int i = 0; i < 32; ++i) {
                bool inside = field(i, j, k) >= 0.5f;
                if (i < 31 && inside != (field(i + 1, j, k) >= 0.5f)) ++crossed;
                if (j < 31 && inside != (field(i, j + 1, k) >= 0.5f)) ++crossed;
                if (k < 31 && inside != (field(i, j, k + 1) >= 0.5f)) ++crossed;
            }
    EXPECT_GT(crossed, 100);
    EXPECT_EQ(surface.mesh.vertexCount, crossed);
    std::vector<bool> used(surface.mesh.vertexCount);
    for (int t = 0; t < 3 * surface.mesh.triangleCount; ++t) used[surface.mesh.indices[t]] = true;
    EXPECT_EQ(std::count(used.begin(), used.end(), true), crossed);   // away from the grid's low faces
}

TEST_F(Metaballs, ParticlesReachThirtyTwoUnitsAndNoSampleBeyondTheGrid) {
    place({{147, 0, 0}, {0, -147.5f, 0}, {0, 0, 200}});
    EXPECT_TRUE(fieldIsZero());
    EXPECT_EQ(surface.mesh.vertexCount, 0);
    system.releaseIf([](const Particle&) { return true; });
    place({{0, 0, 0}});
    // Sample 15 lies at -3.71, sample 20 at 33.4: out of reach.
    EXPECT_NEAR(field(15, 15, 15), std::pow(1.0f - 3.0f * 3.7096777f * 3.7096777f / 1024.0f, 2.0f), 1e-5f);
    EXPECT_EQ(field(20, 15, 15), 0.0f);
    EXPECT_GT(field(19, 15, 15), 0.0f);
    // The last sample of an axis is never reached, so surfaces close before the grid's high faces.
    place({{110, 0, 0}});
    EXPECT_GT(field(30, 15, 15), 0.5f);
    EXPECT_EQ(field(31, 15, 15), 0.0f);
}

TEST_F(Metaballs, CubesOnTheLowFacesMakeVerticesButNoTriangles) {
    place({{-112, 0, 0}});
    ASSERT_GT(surface.mesh.triangleCount, 0);
    const float firstInner = MetaballSurface::samplePosition(1);
    std::vector<bool> used(surface.mesh.vertexCount);
    for (int t = 0; t < 3 * surface.mesh.triangleCount; ++t) {
        used[surface.mesh.indices[t]] = true;
        EXPECT_GE(vertex(surface.mesh.indices[t])[0], firstInner - 1e-4f);
    }
    EXPECT_LT(std::count(used.begin(), used.end(), true), surface.mesh.vertexCount);
}

TEST_F(Metaballs, EightyDropsStayWithinTheArrays) {
    // The drops' world after 20 s, and 80 particles spread over the whole grid.
    std::unique_ptr<ParticleWorld> world(createWorld(4));
    world->start(0.0f);
    world->advance(20.0f);
    ASSERT_EQ(world->system.activeCount, 80);
    surface.buildSurface(world->system);
    EXPECT_GT(surface.mesh.triangleCount, 0);
    for (int n = 0; n < 80; ++n) {
        Particle* p = system.take();
        p->position[0] = -100.0f + 50.0f * (n % 5);
        p->position[1] = -100.0f + 50.0f * (n / 5 % 4);
        p->position[2] = -100.0f + 50.0f * (n / 20);
    }
    surface.buildSurface(system);
    EXPECT_GT(surface.mesh.triangleCount, 3000);
    EXPECT_LE(surface.mesh.vertexCount, MetaballSurface::maxVertices);
    EXPECT_LE(surface.mesh.triangleCount, MetaballSurface::maxTriangles);
    for (int t = 0; t < 3 * surface.mesh.triangleCount; ++t)
        ASSERT_LT(surface.mesh.indices[t], uint32_t(surface.mesh.vertexCount));
}

TEST(MarchingCubesTables, EveryTriangleEdgeIsCrossedAndEveryCrossedEdgeIsInTheMask) {
    for (int cube = 0; cube < 256; ++cube) {
        int crossed = 0;
        for (int e = 0; e < 12; ++e)
            if (((cube >> edgeCorners[e][0]) & 1) != ((cube >> edgeCorners[e][1]) & 1)) crossed |= 1 << e;
        EXPECT_EQ(marchingEdgeTable[cube], crossed) << cube;
        int length = 0;
        while (length < 16 && marchingTriangleTable[cube][length] >= 0) {
            int edge = marchingTriangleTable[cube][length++];
            ASSERT_LT(edge, 12);
            EXPECT_TRUE(marchingEdgeTable[cube] & (1 << edge)) << cube << " edge " << edge;
        }
        EXPECT_EQ(length % 3, 0) << cube;
        EXPECT_LE(length, 15) << cube;
        EXPECT_EQ(length == 0, crossed == 0) << cube;
    }
    // Rows as first published.
    const int8_t one[] = {0, 8, 3, -1};
    const int8_t three[] = {1, 8, 3, 9, 8, 1, -1};
    EXPECT_TRUE(std::equal(one, one + 4, marchingTriangleTable[1]));
    EXPECT_TRUE(std::equal(three, three + 7, marchingTriangleTable[3]));
    EXPECT_EQ(marchingEdgeTable[1], 0x109);
}

}  // namespace
