#include "scene/meshprocessing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "geometry/mesh.h"
#include "scene/matrix.h"
#include "scene/scene.h"

namespace {

const float* positionOf(const MeshObject& mesh, int vertex) { return &mesh.inputPositions[size_t(vertex) * 3]; }

void normaliseInPlace(float* v) {
    float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0) return;   // a face without area keeps a zero normal
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
}

void addTo(float* target, const float* v) {
    target[0] += v[0];
    target[1] += v[1];
    target[2] += v[2];
}

int appendNormal(MeshObject& mesh, const float* n) {
    mesh.normals.insert(mesh.normals.end(), n, n + 3);
    return int(mesh.normals.size() / 3) - 1;
}

// The normals and the pool, the subset of them that new faces may share by value.
struct NormalStore {
    MeshObject& mesh;
    std::vector<int> pool;

    float* at(int index) { return &mesh.normals[size_t(index) * 3]; }
    int appendToPool(const float* n) {
        int index = appendNormal(mesh, n);
        pool.push_back(index);
        return index;
    }
    // The first pool entry within 0.0001 of n in every component, or a new one equal to n.
    int findOrAppend(const float* n) {
        for (int index : pool) {
            const float* e = at(index);
            if (std::fabs(e[0] - n[0]) < 0.0001f && std::fabs(e[1] - n[1]) < 0.0001f && std::fabs(e[2] - n[2]) < 0.0001f)
                return index;
        }
        return appendToPool(n);
    }
};

void rotate(double a[3][3], double s, double tau, int i, int j, int k, int l) {
    double g = a[i][j], h = a[k][l];
    a[i][j] = g - s * (h + g * tau);
    a[k][l] = h + s * (g - h * tau);
}

}  // namespace

void computeNormals(MeshObject& mesh, float smoothingAngle) {
    const int faceCount = int(mesh.faces.size());
    mesh.normals.clear();
    mesh.normals.reserve(size_t(faceCount) * 9);
    NormalStore store{mesh, {}};
    for (InputFace& face : mesh.faces) {
        const float* p0 = positionOf(mesh, face.vertex[0]);
        const float* p1 = positionOf(mesh, face.vertex[1]);
        const float* p2 = positionOf(mesh, face.vertex[2]);
        Vec3 n = cross({p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]}, {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]});
        face.faceNormal[0] = n.x;
        face.faceNormal[1] = n.y;
        face.faceNormal[2] = n.z;
        normaliseInPlace(face.faceNormal);
        face.normalLink[0] = face.normalLink[1] = face.normalLink[2] = -1;
    }

    // The faces around each vertex, in face order, so neighbours come in the order of a scan.
    std::vector<std::vector<int>> facesOfVertex(mesh.inputPositions.size() / 3);
    if (smoothingAngle > 0)
        for (int f = 0; f < faceCount; ++f)
            for (int c = 0; c < 3; ++c) {
                std::vector<int>& list = facesOfVertex[size_t(mesh.faces[size_t(f)].vertex[c])];
                if (list.empty() || list.back() != f) list.push_back(f);
            }

    std::vector<int> neighbours;
    for (int f = 0; f < faceCount; ++f) {
        InputFace& face = mesh.faces[size_t(f)];
        neighbours.clear();
        if (smoothingAngle > 0) {
            for (int c = 0; c < 3; ++c)
                for (int g : facesOfVertex[size_t(face.vertex[c])])
                    if (g != f) neighbours.push_back(g);
            std::sort(neighbours.begin(), neighbours.end());
            neighbours.erase(std::unique(neighbours.begin(), neighbours.end()), neighbours.end());
        }
        if (neighbours.empty()) {
            int entry = store.appendToPool(face.faceNormal);
            face.normalLink[0] = face.normalLink[1] = face.normalLink[2] = entry;
            continue;
        }
        for (int c = 0; c < 3; ++c) {
            for (int g : neighbours) {
                InputFace& other = mesh.faces[size_t(g)];
                for (int d = 0; d < 3; ++d) {
                    if (other.vertex[d] != face.vertex[c]) continue;
                    int& mine = face.normalLink[c];
                    int& theirs = other.normalLink[d];
                    if (mine >= 0 && theirs >= 0) {
                        addTo(store.at(mine), other.faceNormal);
                        addTo(store.at(theirs), face.faceNormal);
                    } else if (mine < 0 && theirs < 0) {
                        int entry = store.findOrAppend(face.faceNormal);
                        mine = entry;
                        addTo(store.at(entry), other.faceNormal);
                        theirs = entry;
                    } else if (mine >= 0) {
                        addTo(store.at(mine), other.faceNormal);
                        theirs = mine;
                    }
                }
            }
        }
        for (int c = 0; c < 3; ++c)
            if (face.normalLink[c] < 0) face.normalLink[c] = appendNormal(mesh, face.faceNormal);
        for (int c = 0; c < 3; ++c) normaliseInPlace(store.at(face.normalLink[c]));
    }
    mesh.poolCount = int(store.pool.size());

    mesh.planes.resize(size_t(faceCount));
    for (int f = 0; f < faceCount; ++f) {
        const InputFace& face = mesh.faces[size_t(f)];
        const float* p0 = positionOf(mesh, face.vertex[0]);
        FacePlane& plane = mesh.planes[size_t(f)];
        std::memcpy(plane.normal, face.faceNormal, sizeof plane.normal);
        plane.distance = face.faceNormal[0] * p0[0] + face.faceNormal[1] * p0[1] + face.faceNormal[2] * p0[2];
    }
}

SplitResult splitVertices(MeshObject& mesh) {
    SplitResult result;
    const size_t faceCount = mesh.faces.size();
    // Corners share a drawn vertex when they have the same normal and texture coordinate, and
    // the same position: a normal or coordinate shared across vertices must not merge them.
    struct Key {
        int32_t vertex, normal, coordinate;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const {
            return std::hash<uint64_t>()((uint64_t(uint32_t(k.vertex)) << 32 | uint32_t(k.normal)) * 31 +
                                         uint32_t(k.coordinate));
        }
    };
    std::unordered_map<Key, int, KeyHash> seen;
    std::vector<DrawnVertex> drawn;
    std::vector<int> corners(faceCount * 3);
    for (size_t f = 0; f < faceCount; ++f) {
        const InputFace& face = mesh.faces[f];
        for (int c = 0; c < 3; ++c) {
            Key key{face.vertex[c], face.normalLink[c], face.textureCoordinate[c]};
            auto [it, added] = seen.emplace(key, int(drawn.size()));
            if (added) {
                DrawnVertex v{};
                v.colour[0] = v.colour[1] = v.colour[2] = v.colour[3] = 1.0f;
                if (!mesh.textureCoordinates.empty()) {
                    v.u = mesh.textureCoordinates[size_t(face.textureCoordinate[c]) * 3];
                    v.v = mesh.textureCoordinates[size_t(face.textureCoordinate[c]) * 3 + 1];
                }
                std::memcpy(v.normal, &mesh.normals[size_t(face.normalLink[c]) * 3], sizeof v.normal);
                std::memcpy(v.position, positionOf(mesh, face.vertex[c]), sizeof v.position);
                v.index = int32_t(drawn.size());
                drawn.push_back(v);
            }
            corners[f * 3 + size_t(c)] = it->second;
        }
    }
    result.drawnCount = int(drawn.size());
    if (drawn.size() > 65536) {
        result.fits = false;
        return result;
    }
    mesh.indices.resize(faceCount * 3);
    for (size_t i = 0; i < corners.size(); ++i) mesh.indices[i] = uint16_t(corners[i]);
    for (size_t f = 0; f < faceCount; ++f)
        for (int c = 0; c < 3; ++c) mesh.planes[f].vertex[c] = corners[f * 3 + size_t(c)];
    mesh.vertices = std::move(drawn);
    mesh.inputPositions = {};
    mesh.faces = {};
    return result;
}

void computeBox(MeshObject& mesh) {
    for (int a = 0; a < 3; ++a) {
        mesh.boxMinimum[a] = 1.0e12f;
        mesh.boxMaximum[a] = -1.0e12f;
    }
    for (const DrawnVertex& v : mesh.vertices)
        for (int a = 0; a < 3; ++a) {
            mesh.boxMinimum[a] = std::min(mesh.boxMinimum[a], v.position[a]);
            mesh.boxMaximum[a] = std::max(mesh.boxMaximum[a], v.position[a]);
        }
    for (int i = 0; i < 8; ++i)
        for (int a = 0; a < 3; ++a) mesh.boxCorners[i][a] = (i >> a) & 1 ? mesh.boxMinimum[a] : mesh.boxMaximum[a];
}

int jacobi(double a[3][3], double values[3], double vectors[3][3]) {
    double b[3], z[3];
    for (int p = 0; p < 3; ++p) {
        for (int q = 0; q < 3; ++q) vectors[p][q] = p == q ? 1.0 : 0.0;
        b[p] = values[p] = a[p][p];
        z[p] = 0;
    }
    for (int sweep = 0; sweep < 50; ++sweep) {
        double sum = std::fabs(a[0][1]) + std::fabs(a[0][2]) + std::fabs(a[1][2]);
        if (sum == 0.0) return sweep;
        double threshold = sweep < 3 ? 0.022222222222222223 * sum : 0.0;
        for (int p = 0; p < 2; ++p) {
            for (int q = p + 1; q < 3; ++q) {
                double g = 100.0 * std::fabs(a[p][q]);
                if (sweep > 3 && std::fabs(values[p]) + g == std::fabs(values[p]) &&
                    std::fabs(values[q]) + g == std::fabs(values[q])) {
                    a[p][q] = 0.0;
                } else if (std::fabs(a[p][q]) > threshold) {
                    double h = values[q] - values[p];
                    double t;
                    if (std::fabs(h) + g == std::fabs(h)) {
                        t = a[p][q] / h;
                    } else {
                        double theta = 0.5 * h / a[p][q];
                        t = 1.0 / (std::fabs(theta) + std::sqrt(1.0 + theta * theta));
                        if (theta < 0.0) t = -t;
                    }
                    double c = 1.0 / std::sqrt(1 + t * t);
                    double s = t * c;
                    double tau = s / (1.0 + c);
                    h = t * a[p][q];
                    z[p] -= h;
                    z[q] += h;
                    values[p] -= h;
                    values[q] += h;
                    a[p][q] = 0.0;
                    for (int j = 0; j < p; ++j) rotate(a, s, tau, j, p, j, q);
                    for (int j = p + 1; j < q; ++j) rotate(a, s, tau, p, j, j, q);
                    for (int j = q + 1; j < 3; ++j) rotate(a, s, tau, p, j, q, j);
                    for (int j = 0; j < 3; ++j) rotate(vectors, s, tau, j, p, j, q);
                }
            }
        }
        for (int p = 0; p < 3; ++p) {
            b[p] += z[p];
            values[p] = b[p];
            z[p] = 0.0;
        }
    }
    std::fputs("eigen: too many iterations in Jacobi transform.\n", stderr);
    return -1;
}

void computeOrientedBox(MeshObject& mesh) {
    const size_t corners = mesh.indices.size();
    if (corners == 0) return;   // no faces: an empty box
    auto point = [&](size_t i) { return mesh.vertices[mesh.indices[i]].position; };

    double sum[3] = {}, products[3][3] = {};
    for (size_t i = 0; i < corners; ++i) {
        const float* p = point(i);
        for (int j = 0; j < 3; ++j) {
            sum[j] += p[j];
            for (int k = 0; k < 3; ++k) products[j][k] += double(p[j]) * double(p[k]);
        }
    }
    double n = double(corners);
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 3; ++k) mesh.scatter[j][k] = products[j][k] - sum[j] * sum[k] / n;

    double a[3][3], values[3], vectors[3][3];
    std::memcpy(a, mesh.scatter, sizeof a);
    jacobi(a, values, vectors);
    setIdentity(mesh.axes);
    for (int j = 0; j < 3; ++j)
        for (int k = 0; k < 3; ++k) mesh.axes[4 * j + k] = float(vectors[j][k]);
    for (int k = 0; k < 3; ++k) mesh.eigenvalues[k] = float(values[k]);
    auto order = [&](int i, int j) {
        if (mesh.eigenvalues[i] <= mesh.eigenvalues[j]) return;
        std::swap(mesh.eigenvalues[i], mesh.eigenvalues[j]);
        for (int r = 0; r < 3; ++r) std::swap(mesh.axes[4 * r + i], mesh.axes[4 * r + j]);
    };
    order(1, 2);
    order(0, 1);
    order(1, 2);

    float low[3] = {1.0e12f, 1.0e12f, 1.0e12f}, high[3] = {-1.0e12f, -1.0e12f, -1.0e12f};
    for (size_t i = 0; i < corners; ++i) {
        float q[3];
        transformPoint(mesh.axes, point(i), q);
        for (int k = 0; k < 3; ++k) {
            low[k] = std::min(low[k], q[k]);
            high[k] = std::max(high[k], q[k]);
        }
    }
    float inverse[16];
    if (!invertMatrix(mesh.axes, inverse)) return;
    float centre[3] = {(low[0] + high[0]) / 2, (low[1] + high[1]) / 2, (low[2] + high[2]) / 2};
    transformPoint(inverse, centre, mesh.orientedCentre);
    for (int i = 0; i < 8; ++i) {
        float q[3];
        for (int k = 0; k < 3; ++k) q[k] = (i >> k) & 1 ? low[k] : high[k];
        transformPoint(inverse, q, mesh.orientedCorners[i]);
    }
}
