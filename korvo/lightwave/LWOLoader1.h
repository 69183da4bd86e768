// The LightWave object reader: an LWO2 file (an IFF form of type "LWO2") becomes an
// LWObject: points, triangles, tag strings, one Tsurface per SURF chunk, still-image clips
// and texture (UV) maps, with a smoothed normal per point.
//
// The reader is narrow: triangles only (POLS of type "FACE" with three corners), UV maps of
// type "TXUV" only, and the surface parameters the player draws with; every other chunk and
// sub-chunk is skipped by its length. Every count, index and length in the file is checked
// against its chunk and the file before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/list.h"

// A point as the surfaces' vertex buffers hold it (flexible vertex format 0x112, 32 bytes):
// position, smoothed normal, texture coordinate.
struct LWPoint {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
};
static_assert(sizeof(LWPoint) == 32, "a point record is one 32-byte vertex");

struct LWTriangle {
    uint32_t corner[3];   // point indices
    int tag = -1;         // the tag string naming its surface (PTAG SURF); -1: none
};

// One SURF chunk: what the player keeps of a LightWave surface.
struct Tsurface {
    float red = 0.0f, green = 0.0f, blue = 0.0f;
    float diffuse = 0.0f, specular = 0.0f;
    float reflection = 0.0f, glossiness = 0.0f, luminosity = 0.0f, transparency = 0.0f;
    float smoothingAngle = 0.0f;   // radians; 0 draws the surface flat
    float additive = 0.0f;         // additive transparency
    bool transparent = false;      // a non-zero transparency or additive transparency was read
    bool hasUVMap = false;         // a texture block named a UV map
    bool particle = false;         // the surface is named "shadebob": drawn as sprites
    int imageClip = 0;             // 1-based position in the clips list of the base texture; 0 none
    int reflectionClip = 0;        // likewise, the environment image
    std::string uvMapName;
    uint32_t sidedness = 0;        // 3: both sides
    bool staticVertices = true;    // false when a reflection image is given
};

// A still image named by a CLIP chunk.
struct LWClip {
    std::string fileName;
};

class LWObject {
public:
    explicit LWObject(const char* fileName);
    // Frees the UV maps, clips and surfaces its lists point at.
    virtual ~LWObject();
    LWObject(const LWObject&) = delete;
    LWObject& operator=(const LWObject&) = delete;

    // The (u, v) pairs of the UV map of that name, one pair per point; null when there is none.
    const float* uvMap(const char* name) const;
    // The tag string of a tag number, or null when there is no such tag.
    const char* tagName(int tag) const;
    // For every surface in list order, the triangles it draws, in triangle order: those whose
    // SURF tag string is the surface's name. A name given to several surfaces belongs to the
    // first of them; the others draw nothing.
    std::vector<std::vector<uint32_t>> trianglesBySurface() const;

    std::string fileName;
    int pointCount = 0;
    int triangleCount = 0;
    // Entries in file order. uvMaps: named by the map, data float[2 * pointCount]; clips:
    // named "clip", data LWClip; surfaces: named by the surface, data Tsurface; tags: named by
    // the tag string, no data.
    List uvMaps{"noname"};
    List clips{"noname"};
    List surfaces{"noname"};
    List tags{"noname"};
    std::vector<LWPoint> points;
    std::vector<LWTriangle> triangles;
    std::vector<const char*> tagNames;   // the tags list's names by tag number
};

// Why a file was not read, and where.
struct LWOError {
    enum class Kind {
        none,
        notIFF,        // no "FORM" at the start
        notLWO2,       // a form of another type
        unsupported,   // polygons or maps the player cannot draw: its fatal errors
        damaged,       // a count, index or length that does not fit the file
    };
    Kind kind = Kind::none;
    size_t offset = 0;     // byte offset in the file
    std::string message;
};

class LWOLoader {
public:
    // Reads an LWO2 file. An empty name or a file that cannot be opened gives null without a
    // word; a file that is no LWO2 object, or a damaged one, is logged (with the byte offset)
    // and gives null; polygons or maps the player cannot draw end the program.
    static LWObject* loadObject(const char* fileName);
    // The reading itself, on the file's bytes: the object, or null with `error` filled.
    static LWObject* read(const char* fileName, const uint8_t* bytes, size_t size, LWOError* error);
};
