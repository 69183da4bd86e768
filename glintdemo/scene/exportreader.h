// Reads ".exp" scene files: an 8-byte header, then records (meshes, cameras, lights, null
// objects, materials, each with its key tracks) until the end. Every count and index is checked
// against the member before use; a broken file is refused with the byte offset and a reason.
//
// Numbers are little-endian 32-bit (ints signed, floats IEEE single); a name is a 32-byte field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Scene;
struct Texture;

// Record types.
enum ExportRecord : int32_t {
    recordMesh = 1,
    recordCamera = 2,
    recordLight = 3,
    recordNullObject = 5,
    recordMaterial = 10,
};

// The texture of a material's picture name (lower case): a picture loaded before under that
// name, else a new RGB texture for a ".jpg" name, else none.
Texture* loadMaterialPicture(const char* lowerName);

class ExportReader {
public:
    // Fills `scene` from the member's bytes and prepares every mesh. Returns 0, or 1 when the
    // file is broken (error() says where and why; the scene holds what was read so far).
    int read(Scene& scene, const uint8_t* data, size_t size);
    const std::string& error() const { return error_; }

    // How material pictures are found; tools and fuzzers without a drawing context replace it.
    Texture* (*loadPicture)(const char* lowerName) = loadMaterialPicture;

private:
    std::string error_;
};
