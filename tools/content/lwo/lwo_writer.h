// Writes LightWave objects in the LWO2 form: layers of points and polygons (triangles, quads,
// n-gons, or patches by polygon type), tags, surfaces with their parameters and image blocks,
// still-image clips, UV maps (VMAP and the per-corner PTAG form), vertex maps of other types
// and per-polygon vertex maps (VMAD). Used by the tests, the benchmarks and the sample-content
// generators.
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

// A vertex map of any type (VMAP): WGHT, PICK, RGB, MORF ... or TXUV; `dimension` values
// per entry.
struct VertexMap {
    std::string type, name;
    uint16_t dimension = 1;
    std::vector<std::pair<uint32_t, std::vector<float>>> entries;   // point, values
};

// A per-polygon vertex map (VMAD): values for a point as one polygon's corner.
struct PolygonMap {
    struct Entry {
        uint32_t point, polygon;
        std::vector<float> values;
    };
    std::string type, name;
    uint16_t dimension = 2;
    std::vector<Entry> entries;
};

// A layer's header (LAYR). The parent is written only when it is not negative.
struct Layer {
    uint16_t number = 0, flags = 0;
    float pivot[3] = {0.0f, 0.0f, 0.0f};
    std::string name;
    int parent = -1;
};

struct Clip {
    uint32_t index = 0;   // the number stored in the CLIP chunk
    std::string still;    // STIL file name; none when empty
};

// An object of one or more layers. Points, polygons, polygon tags and vertex maps go to the
// current layer (the last one added; the first exists from the start) and are numbered from 0
// within it, as the file numbers them; tags, clips and surfaces belong to the whole object.
class Object {
public:
    uint32_t addPoint(float x, float y, float z);
    // A triangle of three point indices; `flags` go into the top 6 bits of its vertex count.
    uint32_t addTriangle(uint32_t a, uint32_t b, uint32_t c, uint16_t flags = 0);
    // A polygon of any number of corners (at most 1023), in the file's order.
    uint32_t addPolygon(const std::vector<uint32_t>& corners, uint16_t flags = 0);
    // The type of the current layer's polygons: "FACE" (the default), "PTCH", "SUBD", "CURV",
    // "BONE" ...
    void setPolygonType(const std::string& type);
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
    // A vertex map of another type (or a TXUV map with values of any dimension), written after
    // the layer's UV maps.
    VertexMap& addVertexMap(const std::string& type, const std::string& name, uint16_t dimension);
    PolygonMap& addPolygonMap(const std::string& type, const std::string& name, uint16_t dimension = 2);
    Surface& addSurface(const std::string& name);
    // Starts a new layer: what is added from now on belongs to it.
    Layer& addLayer(uint16_t number, const std::string& name = "");
    // The current layer's header.
    Layer& layer() { return layers_.back().header; }

    // The chunks in the modeller's order: TAGS, then per layer LAYR, PNTS, VMAP..., POLS,
    // PTAG..., VMAD...; then CLIP..., SURF... (TAGS, POLS and PTAG only when there is something
    // to put in them).
    std::vector<Chunk> chunks() const;

    const std::vector<Surface>& surfaces() const { return surfaces_; }
    Surface& surface(size_t i) { return surfaces_[i]; }
    // The current layer's points and polygons.
    size_t pointCount() const { return layers_.back().points.size() / 3; }
    size_t triangleCount() const { return layers_.back().polygons.size(); }

private:
    struct Polygon {
        std::vector<uint32_t> corners;
        uint16_t flags;
    };
    struct LayerContent {
        Layer header;
        std::string polygonType = "FACE";
        std::vector<float> points;
        std::vector<Polygon> polygons;
        std::vector<std::pair<std::string, std::vector<std::pair<uint32_t, uint16_t>>>> polygonTags;
        std::vector<UVMap> uvMaps;
        std::vector<VertexMap> vertexMaps;
        std::vector<PolygonMap> polygonMaps;
    };
    LayerContent& current() { return layers_.back(); }

    std::vector<LayerContent> layers_ = std::vector<LayerContent>(1);
    std::vector<std::string> tags_;
    std::vector<Clip> clips_;
    std::vector<Surface> surfaces_;
};

// Body builders of single chunks, for tests that write a chunk of their own.
Chunk surfaceChunk(const Surface& surface);
Chunk clipChunk(const Clip& clip);
Chunk uvMapChunk(const UVMap& map);
Chunk vertexMapChunk(const VertexMap& map);
Chunk polygonMapChunk(const PolygonMap& map);
Chunk layerChunk(const Layer& layer);

// The file: "FORM", the length, `formType` and the chunks. `offsets`, when given, receives
// the file offset of each chunk's ID.
std::vector<uint8_t> assemble(const std::vector<Chunk>& chunks, const std::string& formType = "LWO2",
                              std::vector<size_t>* offsets = nullptr);
// The whole object, chunks in the usual order.
inline std::vector<uint8_t> assemble(const Object& object) { return assemble(object.chunks()); }
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace content::lwo
