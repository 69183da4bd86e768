#include "geometry/mesh.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

uint8_t normalizeTable[128];
float viewMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

namespace {

uint32_t bitsOf(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

float floatOf(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Every mesh created or copied; a growable array as the show keeps it.
struct Registry {
    Mesh** meshes = nullptr;
    int count = 0, capacity = 0;

    void add(Mesh* mesh) {
        if (count == capacity) {
            int grown = capacity ? capacity * 2 : 16;
            auto** larger = static_cast<Mesh**>(std::realloc(meshes, sizeof(Mesh*) * size_t(grown)));
            if (!larger) return;
            meshes = larger;
            capacity = grown;
        }
        meshes[count++] = mesh;
    }
};

Registry registry;

template <typename T>
void gather(std::vector<T*>& seen, T* pointer) {
    if (!pointer) return;
    for (T* p : seen)
        if (p == pointer) return;
    seen.push_back(pointer);
}

}  // namespace

Vec3 subtract(const Vec3& a, const Vec3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

void fillNormalizeTable() {
    for (uint32_t i = 0; i < 128; ++i) {
        float value = floatOf((i << 17) | 0x3F000000u);
        float reciprocal = 1.0f / std::sqrt(value);
        normalizeTable[i] = uint8_t(((bitsOf(reciprocal) + 0x2000u) >> 15) & 0xFF);
    }
    normalizeTable[64] = 255;
}

void fastNormalize(float* v) {
    float s = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    uint32_t d = bitsOf(s);
    uint32_t bits = (((0xBE000000u - (d & 0x7F800000u)) >> 1) & 0x7F800000u) |
                    (uint32_t(normalizeTable[(d >> 17) & 0x7F]) << 15);
    float scale = floatOf(bits);
    v[0] *= scale;
    v[1] *= scale;
    v[2] *= scale;
}

void multiply(const float* p, const float* q, float* out) {
    float result[16];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result[i * 4 + j] = p[i * 4 + 0] * q[j] + p[i * 4 + 1] * q[4 + j] + p[i * 4 + 2] * q[8 + j] +
                                p[i * 4 + 3] * q[12 + j];
    std::memcpy(out, result, sizeof result);
}

void transformPoint(const float* m, const float* p, float* out) {
    float x = p[0], y = p[1], z = p[2];
    out[0] = m[0] * x + m[4] * y + m[8] * z + m[12];
    out[1] = m[1] * x + m[5] * y + m[9] * z + m[13];
    out[2] = m[2] * x + m[6] * y + m[10] * z + m[14];
}

void lookAt(float* out, const Vec3& eye, const Vec3& target, float roll) {
    auto normalise = [](Vec3 v) {
        float length = std::sqrt(dot(v, v));
        return length > 0 ? Vec3{v.x / length, v.y / length, v.z / length} : v;
    };
    Vec3 z = normalise(subtract(eye, target));
    Vec3 up = {std::sin(roll), std::cos(roll), 0.0f};
    if (z.x == 0.0f && z.z == 0.0f) up = {-z.y, 0.0f, 0.0f};
    Vec3 x = normalise(cross(up, z));
    Vec3 y = normalise(cross(z, x));
    out[0] = x.x; out[4] = x.y; out[8] = x.z;
    out[1] = y.x; out[5] = y.y; out[9] = y.z;
    out[2] = z.x; out[6] = z.y; out[10] = z.z;
    out[12] = -dot(x, eye);
    out[13] = -dot(y, eye);
    out[14] = -dot(z, eye);
    out[15] = 1.0f;
}

VertexArray::VertexArray(int capacity) : capacity(capacity) {
    items = new float[size_t(capacity > 0 ? capacity : 0) * 4]();
}
VertexArray::~VertexArray() { delete[] items; }

FaceList::FaceList(int capacity) : capacity(capacity) {
    size_t n = size_t(capacity > 0 ? capacity : 0) * 3;
    indices = new uint16_t[n];
    for (size_t i = 0; i < n; ++i) indices[i] = 0xFFFF;
}
FaceList::~FaceList() { delete[] indices; }

FaceInfoList::FaceInfoList(int capacity) : capacity(capacity) {
    items = new uint8_t[size_t(capacity > 0 ? capacity : 0) * 8]();
}
FaceInfoList::~FaceInfoList() { delete[] items; }

Mesh* createMesh(int faceCount, int vertexCount, int normalCount, int extraCount) {
    Mesh* mesh = new Mesh;
    mesh->faces = new FaceList(faceCount);
    mesh->vertices = new VertexArray(vertexCount);
    mesh->normals = new VertexArray(normalCount);
    mesh->faceNormals = new VertexArray(faceCount);
    mesh->extra = new VertexArray(extraCount);
    mesh->faceInfo = new FaceInfoList(faceCount);
    mesh->textureCoordinates = new VertexArray*(nullptr);
    registry.add(mesh);
    return mesh;
}

Mesh* copyMesh(const Mesh* source) {
    Mesh* mesh = new Mesh(*source);
    registry.add(mesh);
    return mesh;
}

void computeFaceNormals(Mesh* mesh) {
    const FaceList& faces = *mesh->faces;
    const float* v = mesh->vertices->items;
    VertexArray& normals = *mesh->faceNormals;
    for (int f = 0; f < faces.count && f < normals.capacity; ++f) {
        const uint16_t* face = &faces.indices[f * 3];
        Vec3 a = {v[face[0] * 4], v[face[0] * 4 + 1], v[face[0] * 4 + 2]};
        Vec3 b = {v[face[1] * 4], v[face[1] * 4 + 1], v[face[1] * 4 + 2]};
        Vec3 c = {v[face[2] * 4], v[face[2] * 4 + 1], v[face[2] * 4 + 2]};
        Vec3 n = cross(subtract(b, a), subtract(c, a));
        float* out = &normals.items[f * 4];
        out[0] = n.x;
        out[1] = n.y;
        out[2] = n.z;
        out[3] = 0.0f;
        fastNormalize(out);
    }
    normals.count = faces.count;
}

void destroyMeshes() {
    std::vector<FaceList*> faces;
    std::vector<VertexArray*> arrays;
    std::vector<FaceInfoList*> infos;
    std::vector<VertexArray**> coordinateHolders;
    for (int i = 0; i < registry.count; ++i) {
        Mesh* m = registry.meshes[i];
        gather(faces, m->faces);
        gather(arrays, m->vertices);
        gather(arrays, m->normals);
        gather(arrays, m->faceNormals);
        gather(arrays, m->extra);
        gather(infos, m->faceInfo);
        if (m->textureCoordinates) {
            gather(coordinateHolders, m->textureCoordinates);
            gather(arrays, *m->textureCoordinates);
        }
    }
    for (FaceList* f : faces) delete f;
    for (VertexArray* a : arrays) delete a;
    for (FaceInfoList* f : infos) delete f;
    for (VertexArray** holder : coordinateHolders) delete holder;
    for (int i = 0; i < registry.count; ++i) delete registry.meshes[i];
    std::free(registry.meshes);
    registry = Registry{};
}

int registeredMeshCount() { return registry.count; }

void generateTube(float length, float radius, int rings, int segments, Mesh*& mesh) {
    const int n = segments;
    const int vertexCount = rings * (n + 1);
    if (!mesh) {
        mesh = createMesh(2 * n * (rings - 1), vertexCount, vertexCount, 0);
        *mesh->textureCoordinates = new VertexArray(vertexCount);
    }
    float* vertices = mesh->vertices->items;
    float* normals = mesh->normals->items;
    float* coordinates = (*mesh->textureCoordinates)->items;
    const float spacing = length / float(rings);
    const float step = 6.2831853f / float(n);
    for (int j = 0; j < rings; ++j) {
        float x = (spacing - length) / 2.0f + float(j) * spacing;
        float q = float(j) / float(rings - 1);
        for (int k = 0; k <= n; ++k) {
            int index = (j * (n + 1) + k) * 4;
            float s = 0.0f, c = 1.0f, around = 1.0f;
            if (k < n) {
                float a = float(k) * step;
                s = std::sin(a);
                c = std::cos(a);
                around = float(k) / float(n);
            }
            vertices[index] = x;
            vertices[index + 1] = radius * s;
            vertices[index + 2] = radius * c;
            vertices[index + 3] = 0.0f;
            normals[index] = 0.0f;
            normals[index + 1] = s;
            normals[index + 2] = c;
            normals[index + 3] = 0.0f;
            coordinates[index] = q;
            coordinates[index + 1] = around;
            coordinates[index + 2] = 0.0f;
            coordinates[index + 3] = 0.0f;
        }
    }
    mesh->vertices->count = vertexCount;
    mesh->normals->count = vertexCount;
    (*mesh->textureCoordinates)->count = vertexCount;
    uint16_t* faces = mesh->faces->indices;
    int f = 0;
    for (int r = 0; r + 1 < rings; ++r) {
        int s = r * (n + 1);
        for (int i = 0; i < n; ++i) {
            int t = i + 1;
            uint16_t* a = &faces[f * 3];
            a[0] = uint16_t(s + i);
            a[1] = uint16_t(s + i + n + 1);
            a[2] = uint16_t(s + n + 1 + t);
            a[3] = uint16_t(s + i);
            a[4] = uint16_t(s + n + 1 + t);
            a[5] = uint16_t(s + t);
            f += 2;
        }
    }
    mesh->faces->count = f;
}
