// Writes LightWave objects in the LWO2 form: points, triangles, tags, surfaces with their
// parameters and image blocks, still-image clips and UV maps (VMAP and the per-corner PTAG
// form). Used by the tests, the benchmarks and the sample-content generators.
//
// Two levels: `IffBuffer` writes the big-endian primitives and chunks with their lengths;
// `Object` holds an object and turns it into chunks in the order the modeller writes them,
// which callers may reorder, drop or add to (damaged and unusual files for tests) before
// `assemble` makes the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace content::lwo {

// Big-endian IFF bytes. Chunks opened with openChunk (ID4 + U4 length) or openSubChunk
// (ID4 + U2 length) get their length when closed, innermost first.
class IffBuffer {
public:
    void id4(const std::string& id);   // exactly 4 characters
    void u1(uint8_t value);
    void u2(uint16_t value);
    void u4(uint32_t value);
    void f4(float value);
    // A point or polygon index: 2 bytes below 0xFF00, else 0xFF and 3 bytes.
    void vx(uint32_t index);
    // A NUL-terminated string, padded with a second NUL to an even byte count.
    void s0(const std::string& text);
    void bytes(const std::vector<uint8_t>& data);
    void openChunk(const std::string& id);
    void openSubChunk(const std::string& id);
    void close();

    const std::vector<uint8_t>& data() const { return data_; }
    size_t size() const { return data_.size(); }

private:
    struct Open {
        size_t lengthAt;
        int lengthBytes;
    };
    std::vector<uint8_t> data_;
    std::vector<Open> open_;
};

// One chunk of the file: its ID and its body (without ID and length).
struct Chunk {
    std::string id;
    std::vector<uint8_t> body;
};

// A sub-chunk written as given, for parameters this writer has no field for.
struct RawSubChunk {
    std::string id;
    std::vector<uint8_t> body;
};

// An image block of a surface (BLOK): a header sub-chunk, the image clip and the UV map.
struct TextureBlock {
    std::string header = "IMAP";   // IMAP, PROC or GRAD
    std::string ordinal = "\x80";
    uint32_t image = 0;            // IMAG: the clip's number, 0 for none
    uint16_t projection = 5;       // PROJ: 5 is UV mapping
    std::string uvMap;             // VMAP sub-chunk naming the UV map; none when empty
    std::vector<RawSubChunk> extra;   // written after the others
};

struct Surface {
    std::string name, parent;
    float red = 0.8f, green = 0.8f, blue = 0.8f;
    float diffuse = 1.0f, specular = 0.0f, reflection = 0.0f, glossiness = 0.4f, luminosity = 0.0f;
    float transparency = 0.0f, additive = 0.0f;
    float smoothingAngle = 1.5620696f;   // 89.5 degrees, in radians; 0 gives flat shading
    uint16_t sidedness = 1;              // 1 front only, 3 both sides
    uint32_t reflectionImage = 0;        // RIMG clip number; 0 writes no RIMG
    std::vector<TextureBlock> blocks;
    std::vector<RawSubChunk> extra;      // written after the others
};

struct UVMap {
    std::string name;
    std::vector<std::pair<uint32_t, std::pair<float, float>>> entries;   // point, (u, v) as stored
};

struct Clip {
    uint32_t index = 0;   // the number stored in the CLIP chunk
    std::string still;    // STIL file name; none when empty
};

class Object {
public:
    uint32_t addPoint(float x, float y, float z);
    // A triangle of three point indices; `flags` go into the top 6 bits of its vertex count.
    uint32_t addTriangle(uint32_t a, uint32_t b, uint32_t c, uint16_t flags = 0);
    // A tag string (TAGS); returns its number.
    uint16_t addTag(const std::string& name);
    // A polygon tag (PTAG) of `type`: "SURF" names the triangle's surface by tag number,
    // "TXUV" its corners' texture coordinates by a tag string of six numbers, others are
    // written and mean nothing to the player. One PTAG chunk per type, in first-use order.
    void tagPolygon(const std::string& type, uint32_t triangle, uint16_t tag);
    // The usual way: `tag` names a surface. Adds the tag string when missing.
    void setSurface(uint32_t triangle, const std::string& surfaceName);
    // A CLIP chunk with a still image; numbered one more than the last unless `index` says.
    uint32_t addClip(const std::string& still, uint32_t index = 0);
    UVMap& addUVMap(const std::string& name);
    Surface& addSurface(const std::string& name);

    // The chunks in the modeller's order: TAGS, LAYR, PNTS, VMAP..., POLS, PTAG..., CLIP...,
    // SURF... (TAGS, POLS and PTAG only when there is something to put in them).
    std::vector<Chunk> chunks() const;

    const std::vector<Surface>& surfaces() const { return surfaces_; }
    Surface& surface(size_t i) { return surfaces_[i]; }
    size_t pointCount() const { return points_.size() / 3; }
    size_t triangleCount() const { return triangles_.size(); }

private:
    struct Triangle {
        uint32_t corner[3];
        uint16_t flags;
    };
    std::vector<float> points_;
    std::vector<Triangle> triangles_;
    std::vector<std::string> tags_;
    std::vector<std::pair<std::string, std::vector<std::pair<uint32_t, uint16_t>>>> polygonTags_;
    std::vector<Clip> clips_;
    std::vector<UVMap> uvMaps_;
    std::vector<Surface> surfaces_;
};

// Body builders of single chunks, for tests that write a chunk of their own.
Chunk surfaceChunk(const Surface& surface);
Chunk clipChunk(const Clip& clip);
Chunk uvMapChunk(const UVMap& map);

// The file: "FORM", the length, `formType` and the chunks. `offsets`, when given, receives
// the file offset of each chunk's ID.
std::vector<uint8_t> assemble(const std::vector<Chunk>& chunks, const std::string& formType = "LWO2",
                              std::vector<size_t>* offsets = nullptr);
// The whole object, chunks in the usual order.
inline std::vector<uint8_t> assemble(const Object& object) { return assemble(object.chunks()); }
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace content::lwo
