// The small mesh layer of the show's procedural geometry, and the vector and matrix helpers
// the effects share. Matrices are 16 floats in OpenGL order: m[c*4 + r] is column c, row r,
// the translation is m[12], m[13], m[14].
#pragma once

#include <cstdint>

struct Vec3 {
    float x, y, z;
};

Vec3 subtract(const Vec3& a, const Vec3& b);
Vec3 cross(const Vec3& a, const Vec3& b);
float dot(const Vec3& a, const Vec3& b);

// Fills the table behind fastNormalize; done once at start-up.
void fillNormalizeTable();
// Normalises v in place to about 8 bits of precision, with a table instead of a division and
// a square root.
void fastNormalize(float* v);
extern uint8_t normalizeTable[128];

void multiply(const float* p, const float* q, float* out);
void transformPoint(const float* m, const float* p, float* out);
// A viewing matrix from eye towards target, rolled by `roll` radians about the view axis.
// Elements 3, 7 and 11 of `out` are left as they are.
void lookAt(float* out, const Vec3& eye, const Vec3& target, float roll);
// The view the effects build with lookAt and load as their modelview; the identity at start-up,
// so the elements lookAt leaves alone stay 0.
extern float viewMatrix[16];

// An array of 4-float items.
struct VertexArray {
    uint8_t flag = 0;
    int32_t count = 0;
    int32_t capacity = 0;
    float* items = nullptr;   // capacity x 4 floats, zero at creation

    explicit VertexArray(int capacity);
    ~VertexArray();
};

// Triangles: three 16-bit vertex indices each.
struct FaceList {
    int32_t count = 0;
    int32_t capacity = 0;
    uint16_t* indices = nullptr;   // capacity x 3, 0xFFFF at creation

    explicit FaceList(int capacity);
    ~FaceList();
};

struct FaceInfoList {
    int32_t count = 0;
    int32_t capacity = 0;
    uint8_t* items = nullptr;   // 8 bytes a face

    explicit FaceInfoList(int capacity);
    ~FaceInfoList();
};

// A mesh's arrays, which copies of the mesh share by pointer.
struct Mesh {
    int32_t reserved = 0;
    FaceList* faces = nullptr;
    VertexArray* vertices = nullptr;
    VertexArray* normals = nullptr;
    VertexArray* faceNormals = nullptr;
    VertexArray* extra = nullptr;
    FaceInfoList* faceInfo = nullptr;
    VertexArray** textureCoordinates = nullptr;   // holder of the u, v, 0, 0 array
};

// A new mesh, registered so that destroyMeshes frees it.
Mesh* createMesh(int faceCount, int vertexCount, int normalCount, int extraCount);
// A new registered mesh sharing every array of `source`.
Mesh* copyMesh(const Mesh* source);
void computeFaceNormals(Mesh* mesh);
// Frees every array of every registered mesh once, however many meshes share it.
void destroyMeshes();
// The number of meshes registered (for tests).
int registeredMeshCount();

// Fills `mesh` (created on first use) with a tube along x, centred on the origin.
void generateTube(float length, float radius, int rings, int segments, Mesh*& mesh);
