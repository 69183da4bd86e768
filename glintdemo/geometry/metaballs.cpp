#include "geometry/metaballs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "geometry/particles.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"

namespace {

constexpr int samplesPerGrid = MetaballSurface::gridSize * MetaballSurface::gridSize * MetaballSurface::gridSize;
constexpr float reachSquared = MetaballSurface::reach * MetaballSurface::reach;

int sampleIndex(int i, int j, int k) { return i + MetaballSurface::gridSize * (j + MetaballSurface::gridSize * k); }

// Corner n of a cube as offsets from its lower corner.
constexpr int cornerOffset[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                    {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
// The corners each edge joins, in the direction the edge's vertex is interpolated.
constexpr int edgeCorners[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                    {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};

// The sample range [lo, hi) a particle at coordinate p reaches on one axis.
void sampleRange(float p, int& lo, int& hi) {
    const float perUnit = MetaballSurface::cubesPerSide / MetaballSurface::gridExtent;
    lo = std::max(0, int(std::floor((p - MetaballSurface::gridOrigin - MetaballSurface::reach) * perUnit)));
    hi = std::min(MetaballSurface::cubesPerSide,
                  int(std::ceil((p - MetaballSurface::gridOrigin + MetaballSurface::reach) * perUnit)));
}

}  // namespace

MetaballSurface::MetaballSurface() : field(new float[samplesPerGrid]()) {
    mesh.positions = new float[3 * maxVertices];
    mesh.normals = new float[3 * maxVertices];
    mesh.indices = new uint32_t[3 * maxTriangles];
    for (int32_t*& edges : edgeVertices) edges = new int32_t[samplesPerGrid];
}

MetaballSurface::~MetaballSurface() {
    for (int32_t* edges : edgeVertices) delete[] edges;
    delete[] mesh.indices;
    delete[] mesh.normals;
    delete[] mesh.positions;
    delete[] field;
}

float MetaballSurface::samplePosition(int i) {
    constexpr float spacing = gridExtent / cubesPerSide;
    return gridOrigin + i * spacing;
}

void MetaballSurface::addParticleToField(const float* p) {
    int lo[3], hi[3];
    for (int axis = 0; axis < 3; ++axis) {
        sampleRange(p[axis], lo[axis], hi[axis]);
        if (lo[axis] >= hi[axis]) return;
    }
    for (int k = lo[2]; k < hi[2]; ++k) {
        float dz = samplePosition(k) - p[2];
        for (int j = lo[1]; j < hi[1]; ++j) {
            float dy = samplePosition(j) - p[1];
            int8_t& rowStart = rowLo[j + gridSize * k];
            int8_t& rowEnd = rowHi[j + gridSize * k];
            rowStart = int8_t(std::min<int>(rowStart, lo[0]));
            rowEnd = int8_t(std::max<int>(rowEnd, hi[0]));
            float* row = field + sampleIndex(0, j, k);
            for (int i = lo[0]; i < hi[0]; ++i) {
                float dx = samplePosition(i) - p[0];
                float d2 = dx * dx + dy * dy + dz * dz;
                if (d2 > reachSquared) continue;
                float falloff = 1.0f - d2 / reachSquared;
                row[i] += falloff * falloff;
            }
        }
    }
}

// The vertex where the surface crosses edge `edge` of the cube at (i, j, k), made the first time
// any cube around the edge asks for it.
int MetaballSurface::edgeVertex(int i, int j, int k, int edge, const float* corner) {
    const int a = edgeCorners[edge][0], b = edgeCorners[edge][1];
    int start[3], axis = 0;
    for (int c = 0; c < 3; ++c) {
        start[c] = std::min(cornerOffset[a][c], cornerOffset[b][c]);
        if (cornerOffset[a][c] != cornerOffset[b][c]) axis = c;
    }
    int32_t& slot = edgeVertices[axis][sampleIndex(i + start[0], j + start[1], k + start[2])];
    if (slot >= 0) return slot;

    float pa[3] = {samplePosition(i + cornerOffset[a][0]), samplePosition(j + cornerOffset[a][1]),
                   samplePosition(k + cornerOffset[a][2])};
    float pb[3] = {samplePosition(i + cornerOffset[b][0]), samplePosition(j + cornerOffset[b][1]),
                   samplePosition(k + cornerOffset[b][2])};
    const float fa = corner[a], fb = corner[b];
    float* v = mesh.positions + 3 * mesh.vertexCount;
    if (std::fabs(level - fa) < 0.00001f) std::copy(pa, pa + 3, v);
    else if (std::fabs(level - fb) < 0.00001f) std::copy(pb, pb + 3, v);
    else if (std::fabs(fa - fb) < 0.00001f) std::copy(pa, pa + 3, v);
    else {
        float t = (level - fa) / (fb - fa);
        for (int c = 0; c < 3; ++c) v[c] = pa[c] + t * (pb[c] - pa[c]);
    }

    // The normal points away from the particles near the vertex, each weighted by its falloff.
    float* n = mesh.normals + 3 * mesh.vertexCount;
    n[0] = n[1] = n[2] = 0.0f;
    const float* positions = particlePositions.data();
    for (size_t p = 0; p < particlePositions.size(); p += 3) {
        float d[3] = {v[0] - positions[p], v[1] - positions[p + 1], v[2] - positions[p + 2]};
        float d2 = d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
        if (d2 >= reachSquared) continue;
        float weight = 1.0f - d2 / reachSquared;
        for (int c = 0; c < 3; ++c) n[c] += d[c] * weight;
    }
    slot = mesh.vertexCount;
    return mesh.vertexCount++;
}

void MetaballSurface::buildSurface(const ParticleSystem& system) {
    std::fill(field, field + samplesPerGrid, 0.0f);
    for (int32_t* edges : edgeVertices) std::fill(edges, edges + samplesPerGrid, -1);
    std::fill(std::begin(rowLo), std::end(rowLo), int8_t(gridSize));
    std::fill(std::begin(rowHi), std::end(rowHi), int8_t(0));
    mesh.vertexCount = 0;
    mesh.triangleCount = 0;
    particlePositions.clear();
    for (const Particle* p = system.first; p; p = p->next) {
        addParticleToField(p->position);
        particlePositions.insert(particlePositions.end(), p->position, p->position + 3);
    }

    // Cubes with an index 0 make no triangles; they are visited for the vertices on the edges
    // they share with the cubes that do.
    for (int k = 0; k < cubesPerSide; ++k)
        for (int j = 0; j < cubesPerSide; ++j) {
            // The cubes of this row with a corner in a sample row that particles reached.
            int lo = gridSize, hi = 0;
            for (int row : {j + gridSize * k, j + 1 + gridSize * k, j + gridSize * (k + 1), j + 1 + gridSize * (k + 1)}) {
                lo = std::min<int>(lo, rowLo[row]);
                hi = std::max<int>(hi, rowHi[row]);
            }
            for (int i = std::max(0, lo - 1); i < std::min(cubesPerSide, hi); ++i) {
                float corner[8];
                int cube = 0;
                for (int n = 0; n < 8; ++n) {
                    corner[n] = field[sampleIndex(i + cornerOffset[n][0], j + cornerOffset[n][1], k + cornerOffset[n][2])];
                    if (corner[n] < level) cube |= 1 << n;
                }
                const int crossed = marchingEdgeTable[cube];
                if (!crossed) continue;
                int vertex[12];
                for (int edge = 0; edge < 12; ++edge)
                    if (crossed & (1 << edge)) vertex[edge] = edgeVertex(i, j, k, edge, corner);
                if (i < 1 || j < 1 || k < 1) continue;
                const int8_t* row = marchingTriangleTable[cube];
                for (int t = 0; row[t] >= 0; t += 3) {
                    uint32_t* triangle = mesh.indices + 3 * mesh.triangleCount++;
                    for (int c = 0; c < 3; ++c) triangle[c] = uint32_t(vertex[row[t + c]]);
                }
            }
        }

    for (int v = 0; v < mesh.vertexCount; ++v) {
        float* n = mesh.normals + 3 * v;
        float l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (l == 0.0f) continue;   // no particle within reach: left as it is rather than divided by 0
        n[0] /= l;
        n[1] /= l;
        n[2] /= l;
    }
}

void MetaballSurface::drawSurface(float pitch, float yaw) const {
    glDisable(GL_LIGHTING);
    // The normals are the texture coordinates; turning them with the camera keeps the
    // environment picture fixed to the view.
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.0f);
    glScalef(0.74f, 0.74f, 0.74f);
    glRotatef(pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(yaw, 0.0f, 1.0f, 0.0f);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(3, GL_FLOAT, 0, mesh.normals);
    glVertexPointer(3, GL_FLOAT, 0, mesh.positions);
    glNormalPointer(GL_FLOAT, 0, mesh.normals);
    const bool locked = mesh.vertexCount > 0;   // an empty range cannot be locked
    if (locked) lockArrays(0, mesh.vertexCount);
    const GLsizei indexCount = 3 * mesh.triangleCount;

    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, environmentTexture);
    glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, mesh.indices);

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glLineWidth(1.0f);
    glEnable(GL_LINE_SMOOTH);
    glDrawElements(GL_LINES, indexCount, GL_UNSIGNED_INT, mesh.indices);

    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, waterTexture);
    glMatrixMode(GL_MODELVIEW);
    glScalef(2.1f, 2.1f, 2.1f);
    glDisable(GL_TEXTURE_2D);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, mesh.indices);
    facesDrawn += mesh.triangleCount;

    glShadeModel(GL_SMOOTH);
    glDisable(GL_BLEND);
    if (locked) unlockArrays();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
}
