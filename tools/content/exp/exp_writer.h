// Writes ".exp" scene files: an 8-byte header, then one record per mesh, camera, light, null
// object and material, in the order they are added. All numbers little-endian 32-bit (ints
// signed, floats IEEE single); names are 32-byte zero-padded fields. Used by the tests and by the
// sample-content generators.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace content::exp {

// A position, scale or colour key.
struct VectorKey {
    float frame = 0;
    float x = 0, y = 0, z = 0;
    float tension = 0, continuity = 0, bias = 0;
};

// A rotation key: a quaternion (w first) relative to the previous key; the first is absolute.
struct RotationKey {
    float frame = 0;
    float w = 1, x = 0, y = 0, z = 0;
    float tension = 0, continuity = 0, bias = 0;
};

struct EnvelopeKey {
    float frame = 0;
    float value = 0;
};

struct Mesh {
    std::string name;
    int32_t identifier = 0;
    int32_t parentIdentifier = -1;   // an earlier mesh's identifier, or -1
    int32_t material = -1;           // index into the materials in file order, or -1
    std::array<float, 3> pivot = {0, 0, 0};
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<float, 2>> textureCoordinates;   // (u, v) with v up; stored as written
    // Per face, the texture coordinate of each corner; only written when there are coordinates
    // (then one entry a face is needed).
    std::vector<std::array<int32_t, 3>> textureFaces;
    // Vertex indices a, b, c (counter-clockwise seen from the front) and a smoothing group.
    std::vector<std::array<int32_t, 4>> faces;
    std::vector<VectorKey> position, scale;
    std::vector<RotationKey> rotation;
};

struct Camera {
    std::string name;
    std::string target;   // the name of the null object it looks at
    int32_t identifier = 0;
    int32_t parentIdentifier = -1;
    std::vector<VectorKey> position;
    std::vector<EnvelopeKey> fieldOfView;   // horizontal angle, radians
    std::vector<EnvelopeKey> roll;          // radians
};

struct Light {
    std::string name;
    int32_t identifier = 0;
    int32_t parentIdentifier = -1;
    std::vector<VectorKey> position;
};

struct NullObject {
    std::string name;
    int32_t identifier = 0;
    int32_t parentIdentifier = -1;
    std::vector<VectorKey> position;
};

struct Material {
    std::string name;
    std::string texture;      // a ".jpg" member drawn on the surface, or ""
    std::vector<EnvelopeKey> offsetU, offsetV;
    std::string secondName;
    std::string reflection;   // a ".jpg" member used as a sphere-mapped reflection, or ""
    int32_t kept = 0;
    bool twoSided = false;
    std::vector<VectorKey> colour1, diffuse, colour3;   // colours as x, y, z = r, g, b
    std::vector<EnvelopeKey> opacity;
    uint8_t blendMode = 0;    // 0 alpha, 1 additive, 2 destination-alpha additive, 3 inverse additive
};

class Writer {
public:
    // `header`: the 8 leading bytes, which readers do not interpret.
    explicit Writer(const std::string& header = "EXPSCENE");

    void add(const Mesh& mesh);
    void add(const Camera& camera);
    void add(const Light& light);
    void add(const NullObject& item);
    void add(const Material& material);
    // A bare type word that names no record (readers skip it).
    void addWord(int32_t word);

    const std::vector<uint8_t>& bytes() const { return bytes_; }
    // Offset of every record added, in order (for tests that damage a file on purpose).
    const std::vector<size_t>& recordOffsets() const { return offsets_; }

private:
    void integer(int32_t value);
    void real(float value);
    void name(const std::string& text);
    void track(const std::vector<VectorKey>& keys);
    void track(const std::vector<RotationKey>& keys);
    void track(const std::vector<EnvelopeKey>& keys);

    std::vector<uint8_t> bytes_;
    std::vector<size_t> offsets_;
};

// Shapes for scenes. Faces are wound counter-clockwise seen from outside, texture coordinates
// run over [0, 1].
// A box of half sizes (x, y, z) around the origin, one texture square per side.
Mesh box(const std::string& name, float halfX, float halfY, float halfZ);
// A torus about the z axis: `rings` around the big circle, `sides` around the tube.
Mesh torus(const std::string& name, float radius, float tubeRadius, int rings, int sides);

// A constant track or envelope: one key at frame 0.
std::vector<VectorKey> still(float x, float y, float z);
std::vector<EnvelopeKey> still(float value);

// Items standing still at (x, y, z).
NullObject nullObject(const std::string& name, float x, float y, float z);
Light light(const std::string& name, float x, float y, float z);
// A camera standing still at (x, y, z), looking at the null object named `target`, with a
// horizontal field of view of `fieldOfView` radians.
Camera camera(const std::string& name, const std::string& target, float x, float y, float z, float fieldOfView);
// An opaque material of a diffuse colour, with a picture when `texture` is not empty.
Material material(const std::string& name, const std::string& texture, float r = 1, float g = 1, float b = 1);

}  // namespace content::exp
