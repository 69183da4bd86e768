#include "lwo_convert.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

#include "lightwave/LWOLoader1.h"
#include "lwo_writer.h"

namespace lwo_convert {
namespace {

namespace lwo = content::lwo;
using Status = Result::Status;

// The player's 16-bit indices reach this many vertices per surface.
constexpr size_t maxSurfaceVertices = 65536;
// A VX index holds 24 bits.
constexpr size_t maxIndices = size_t(1) << 24;

// A chunk or type ID as a message shows it: unprintable bytes as '?'.
std::string printable(const std::string& id) {
    std::string text = id;
    for (char& c : text)
        if (c < 32 || c > 126) c = '?';
    return text;
}

std::string counted(size_t count, const std::string& what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

std::string atByte(size_t offset) { return " (at byte " + std::to_string(offset) + ")"; }

uint32_t bigEndian32(const uint8_t* at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | uint32_t(at[3]);
}

// Why the conversion stopped; thrown from anywhere inside it and turned into the result.
struct Refusal {
    Status status;
    std::string message;
};

[[noreturn]] void refuse(Status status, const std::string& message) { throw Refusal{status, message}; }

// Big-endian reads bounded by the end of one chunk.
class ChunkReader {
public:
    ChunkReader(const uint8_t* bytes, size_t begin, size_t end, std::string where)
        : bytes_(bytes), pos_(begin), end_(end), where_(std::move(where)) {}

    bool done() const { return pos_ >= end_; }
    size_t offset() const { return pos_; }
    size_t left() const { return end_ - pos_; }

    // The four characters as they are.
    std::string id4() {
        need(4);
        std::string text(reinterpret_cast<const char*>(bytes_ + pos_), 4);
        pos_ += 4;
        return text;
    }
    uint32_t u4() {
        need(4);
        uint32_t value = bigEndian32(bytes_ + pos_);
        pos_ += 4;
        return value;
    }
    uint32_t u2() {
        need(2);
        uint32_t value = uint32_t(bytes_[pos_]) << 8 | bytes_[pos_ + 1];
        pos_ += 2;
        return value;
    }
    float f4() {
        uint32_t bits = u4();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // Two bytes, or four when the first is 0xFF (then the other three are the index).
    uint32_t vx() {
        need(2);
        if (bytes_[pos_] != 0xFF) return u2();
        return u4() & 0xFFFFFF;
    }
    // A NUL-terminated string and its pad byte to an even count.
    std::string s0() {
        const void* nul = std::memchr(bytes_ + pos_, 0, end_ - pos_);
        if (!nul) refuse(Status::damaged, "a string runs past the end of " + where_ + atByte(pos_));
        size_t length = size_t(static_cast<const uint8_t*>(nul) - (bytes_ + pos_));
        std::string value(reinterpret_cast<const char*>(bytes_ + pos_), length);
        pos_ += length + 1;
        if ((length + 1) % 2 && pos_ < end_) ++pos_;
        return value;
    }
    // An index read at `at` that must be below `count`.
    void checkIndex(uint32_t index, size_t count, size_t at, const char* what, const char* of) const {
        if (index < count) return;
        refuse(Status::damaged, std::string(what) + " " + std::to_string(index) + " is beyond the " +
                                    std::to_string(count) + " " + of + atByte(at));
    }

private:
    void need(size_t count) {
        if (end_ - pos_ < count) refuse(Status::damaged, "a value runs past the end of " + where_ + atByte(pos_));
    }

    const uint8_t* bytes_;
    size_t pos_, end_;
    std::string where_;
};

// Walks the sub-chunks (ID4, U2 length) from `begin` to `end`, and those of texture blocks inside
// them when `blocks` is set, as korvo's reader does: each one must fit, fewer than 6 bytes at the
// end are left over. With `pad`, an odd-length sub-chunk is followed by a pad byte, as IFF files
// have it, and `out` receives the sub-chunks with that byte counted into their lengths, so that
// a reader stepping by length alone finds the next one (`evened` counts them). False when the
// sub-chunks do not fit together.
bool walkSubChunks(const uint8_t* bytes, size_t begin, size_t end, bool blocks, bool pad, lwo::IffBuffer* out,
                   size_t& evened) {
    size_t pos = begin;
    while (end - pos >= 6) {
        std::string id(reinterpret_cast<const char*>(bytes + pos), 4);
        size_t length = size_t(bytes[pos + 4]) << 8 | bytes[pos + 5];
        size_t data = pos + 6;
        if (length > end - data) return false;
        bool padded = pad && (length & 1);
        bool padByte = padded && data + length < end;   // the last one may go without
        if (blocks && id == "BLOK") {
            lwo::IffBuffer inner;
            if (!walkSubChunks(bytes, data, data + length, false, pad, out ? &inner : nullptr, evened)) return false;
            if (out) {
                if (inner.size() > 0xFFFF) return false;
                out->openSubChunk(id);
                out->bytes(inner.data());
                out->close();
            }
        } else if (out) {
            out->openSubChunk(id);
            out->bytes(std::vector<uint8_t>(bytes + data, bytes + data + length));
            if (padded) out->u1(padByte ? bytes[data + length] : 0);
            out->close();
        }
        if (padded) ++evened;
        pos = data + length + (padByte ? 1 : 0);
    }
    if (out) out->bytes(std::vector<uint8_t>(bytes + pos, bytes + end));
    return true;
}

struct Vec3 {
    double x, y, z;
};

// Splits a polygon (its corners' positions, in order) into triangles by ear clipping in the
// polygon's own plane: the plane of its Newell normal, seen along the normal's largest axis.
// Returns n - 2 triangles as positions in the corner list, each in the polygon's winding. On a
// convex polygon this is the fan from the first corner. Degenerate and self-crossing polygons
// still give n - 2 triangles: when no clean ear is left, a corner lying on a straight line is
// clipped first, then any corner that turns the right way, then the next one.
std::vector<std::array<uint32_t, 3>> triangulate(const std::vector<Vec3>& p) {
    size_t n = p.size();
    std::vector<std::array<uint32_t, 3>> triangles;
    triangles.reserve(n - 2);
    Vec3 normal{0, 0, 0};
    for (size_t i = 0; i < n; ++i) {
        const Vec3 &a = p[i], &b = p[(i + 1) % n];
        normal.x += (a.y - b.y) * (a.z + b.z);
        normal.y += (a.z - b.z) * (a.x + b.x);
        normal.z += (a.x - b.x) * (a.y + b.y);
    }
    // Two-dimensional coordinates in the plane, taken in the cyclic order of the axes so that
    // the polygon's turning has the sign of the normal's component along the dropped axis.
    double along[3] = {normal.x, normal.y, normal.z};
    int axis = std::fabs(along[0]) >= std::fabs(along[1]) && std::fabs(along[0]) >= std::fabs(along[2]) ? 0
               : std::fabs(along[1]) >= std::fabs(along[2])                                            ? 1
                                                                                                        : 2;
    double sign = along[axis] < 0 ? -1.0 : 1.0;
    std::vector<std::pair<double, double>> q(n);
    for (size_t i = 0; i < n; ++i) {
        double c[3] = {p[i].x, p[i].y, p[i].z};
        q[i] = {c[(axis + 1) % 3], c[(axis + 2) % 3]};
    }

    auto turn = [&](uint32_t a, uint32_t b, uint32_t c) {
        double ux = q[b].first - q[a].first, uy = q[b].second - q[a].second;
        double vx = q[c].first - q[b].first, vy = q[c].second - q[b].second;
        return sign * (ux * vy - uy * vx);
    };
    auto same = [&](uint32_t a, uint32_t b) { return q[a] == q[b]; };

    std::vector<uint32_t> ring(n);
    for (size_t i = 0; i < n; ++i) ring[i] = uint32_t(i);
    auto cornerAt = [&](size_t position) {
        size_t m = ring.size();
        return std::array<uint32_t, 3>{ring[(position + m - 1) % m], ring[position], ring[(position + 1) % m]};
    };
    auto isEar = [&](size_t position) {
        auto [a, b, c] = cornerAt(position);
        if (!(turn(a, b, c) > 0)) return false;
        for (uint32_t other : ring) {
            if (other == a || other == b || other == c || same(other, a) || same(other, b) || same(other, c)) continue;
            if (turn(a, b, other) >= 0 && turn(b, c, other) >= 0 && turn(c, a, other) >= 0) return false;
        }
        return true;
    };

    size_t start = 1 % n;
    while (ring.size() > 3) {
        size_t m = ring.size();
        std::optional<size_t> chosen;
        for (size_t k = 0; k < m && !chosen; ++k)
            if (isEar((start + k) % m)) chosen = (start + k) % m;
        for (size_t k = 0; k < m && !chosen; ++k) {
            auto [a, b, c] = cornerAt((start + k) % m);
            if (turn(a, b, c) == 0) chosen = (start + k) % m;
        }
        for (size_t k = 0; k < m && !chosen; ++k) {
            auto [a, b, c] = cornerAt((start + k) % m);
            if (turn(a, b, c) > 0) chosen = (start + k) % m;
        }
        size_t position = chosen.value_or(start % m);
        triangles.push_back(cornerAt(position));
        ring.erase(ring.begin() + long(position));
        start = position % ring.size();
    }
    triangles.push_back({ring[0], ring[1], ring[2]});
    return triangles;
}

struct UV {
    float u, v;
};

bool sameBits(const UV& a, const UV& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class Converter {
public:
    Converter(const uint8_t* bytes, size_t size, const Options& options, Result& result)
        : bytes_(bytes), size_(size), options_(options), result_(result) {}

    void run() {
        readChunks();
        chooseLayers();
        checkTags();
        fillUVMaps();
        keepPolygonUVs();
        makeTriangles();
        write();
        check();
    }

private:
    struct Polygon {
        std::vector<uint32_t> corners;   // point numbers in the merged list
        uint16_t flags;                  // the top 6 bits of the vertex count
    };
    struct Triangle {
        uint32_t corner[3];
        uint16_t flags;
        uint32_t polygon;
    };
    struct LayerSeen {
        lwo::Layer header;
        bool declared;     // by a LAYR chunk (not what comes before the first one)
        bool hasContent;   // points or polygons
    };
    // A TXUV map: its entries as read (point numbers merged), then one value per point.
    struct UVMap {
        std::string name;
        std::optional<lwo::Chunk> parameters;   // the VMPA chunk written before it
        std::vector<std::pair<uint32_t, UV>> entries;
        std::vector<UV> values;
        std::vector<char> has;
    };
    // A TXUV VMAD: coordinates of points as corners of polygons, by (polygon, point).
    struct PolygonUVMap {
        std::string name;
        std::unordered_map<uint64_t, UV> corners;
    };
    static uint64_t cornerKey(uint32_t polygon, uint32_t point) { return uint64_t(polygon) << 32 | point; }

    void note(const std::string& line) {
        if (std::find(result_.notes.begin(), result_.notes.end(), line) == result_.notes.end())
            result_.notes.push_back(line);
    }

    // ---- Reading ------------------------------------------------------------------------

    void readChunks() {
        if (size_ < 4 || std::memcmp(bytes_, "FORM", 4) != 0) refuse(Status::notAnObject, "not an IFF file (no FORM tag)");
        if (size_ < 12) refuse(Status::damaged, "the file ends inside its FORM header" + atByte(size_));
        uint64_t formLength = bigEndian32(bytes_ + 4);
        std::string form(reinterpret_cast<const char*>(bytes_ + 8), 4);
        if (form == "LWOB")
            refuse(Status::notAnObject, "an LWOB object (the older LightWave form): only LWO2 objects are converted");
        if (form == "LWO3")
            refuse(Status::notAnObject, "an LWO3 object (the newer LightWave form): only LWO2 objects are converted");
        if (form != "LWO2") refuse(Status::notAnObject, "not a LightWave object (form type '" + printable(form) + "')");
        uint64_t formEnd = 8 + formLength;
        if (formEnd > size_)
            refuse(Status::damaged, "the file ends at byte " + std::to_string(size_) + ", inside its FORM of " +
                                        std::to_string(formLength) + " bytes");

        // Chunks follow one another with their lengths as stored, and end where the player's walk
        // ends: a running offset that starts at 8 where the first chunk starts at 12 reaches the
        // form's length.
        layers_.push_back({lwo::Layer{}, false, false});
        startLayer();
        size_t pos = 12;
        while (pos - 4 < formLength) {
            if (formEnd - pos < 8) refuse(Status::damaged, "the file ends inside a chunk header" + atByte(pos));
            std::string id(reinterpret_cast<const char*>(bytes_ + pos), 4);
            uint32_t length = bigEndian32(bytes_ + pos + 4);
            if (length > formEnd - pos - 8)
                refuse(Status::damaged, "the " + printable(id) + " chunk of " + std::to_string(length) +
                                            " bytes runs past the end of the file" + atByte(pos));
            ChunkReader in(bytes_, pos + 8, pos + 8 + length, "the " + printable(id) + " chunk");
            chunk(id, in, pos);
            pos += 8 + size_t(length);
        }
    }

    void chunk(const std::string& id, ChunkReader& in, size_t at) {
        auto verbatim = [&] { return lwo::Chunk{id, std::vector<uint8_t>(bytes_ + at + 8, bytes_ + at + 8 + in.left())}; };
        if (id == "TAGS") {
            while (!in.done()) tags_.push_back(in.s0());
        } else if (id == "LAYR") {
            layer(in);
        } else if (id == "CLIP" || id == "SURF") {
            // Surfaces and clips (their sub-chunks evened where needed), envelopes and the object's
            // description belong to the whole object and are kept in their order (surfaces name
            // clips by their position).
            objectChunks_.push_back(withEvenSubChunks(id, in, at));
        } else if (id == "ENVL" || id == "DESC" || id == "TEXT" || id == "ICON") {
            objectChunks_.push_back(verbatim());
        } else if (id == "PNTS" || id == "POLS" || id == "BBOX" || id == "VMPA" || id == "VMAP" || id == "VMAD" ||
                   id == "PTAG") {
            // What belongs to a layer, and is read only from the layers kept.
            if (id == "PNTS" || id == "POLS") layers_.back().hasContent = true;
            if (!keptLayer_) return;
            if (id == "PNTS") points(in);
            if (id == "POLS") polygons(in, at);
            if (id == "BBOX") boundingBox_ = true;
            if (id == "VMPA") parameters_ = verbatim();
            if (id == "VMAP") vertexMap(in);
            if (id == "VMAD") polygonMap(in);
            if (id == "PTAG") polygonTags(in);
        } else if (options_.dropUnknownChunks) {
            note("dropped a chunk '" + printable(id) + "' of unknown meaning" + atByte(at));
        } else {
            refuse(Status::cannotConvert, "a chunk '" + printable(id) + "' of unknown meaning" + atByte(at) +
                                              ": it may name points or polygons that converting renumbers");
        }
    }

    // A surface or clip as it is, or with its odd-length sub-chunks evened where korvo's reader
    // would not find its way through them otherwise.
    lwo::Chunk withEvenSubChunks(const std::string& id, ChunkReader& in, size_t at) {
        size_t begin = at + 8, end = begin + in.left();
        lwo::Chunk chunk{id, std::vector<uint8_t>(bytes_ + begin, bytes_ + end)};
        size_t subChunks = begin + 4;   // after a clip's number
        if (id == "SURF") {
            ChunkReader header(bytes_, begin, end, "");
            try {
                header.s0();   // the name
                header.s0();   // the parent
            } catch (const Refusal&) {
                return chunk;   // korvo's reader says what is wrong with it
            }
            subChunks = header.offset();
        }
        if (subChunks > end) return chunk;
        bool surface = id == "SURF";
        size_t evened = 0;
        if (walkSubChunks(bytes_, subChunks, end, surface, false, nullptr, evened)) return chunk;
        lwo::IffBuffer out;
        out.bytes(std::vector<uint8_t>(bytes_ + begin, bytes_ + subChunks));
        if (!walkSubChunks(bytes_, subChunks, end, surface, true, &out, evened)) return chunk;
        evenedSubChunks_ += evened;
        chunk.body = out.data();
        return chunk;
    }

    void startLayer() {
        const lwo::Layer& header = layers_.back().header;
        keptLayer_ = options_.layer < 0 || header.number == options_.layer;
        pointBase_ = uint32_t(points_.size());
        layerPoints_ = 0;
        polygonOfLocal_.clear();
        parameters_.reset();
    }

    void layer(ChunkReader& in) {
        lwo::Layer header;
        header.number = uint16_t(in.u2());
        header.flags = uint16_t(in.u2());
        for (float& value : header.pivot) value = in.f4();
        header.name = in.s0();
        if (in.left() >= 2) header.parent = int(in.u2());
        // What came before the first LAYR is a layer of its own only when it holds something.
        if (!layers_.back().declared && !layers_.back().hasContent) layers_.pop_back();
        layers_.push_back({header, true, false});
        startLayer();
    }

    void points(ChunkReader& in) {
        pointBase_ = uint32_t(points_.size());
        layerPoints_ = in.left() / 12;   // a partial point at the end is not read, as the player does
        if (points_.size() + layerPoints_ > maxIndices)
            refuse(Status::cannotConvert, "more than " + std::to_string(maxIndices) + " points in all");
        for (size_t i = 0; i < layerPoints_; ++i) {
            float x = in.f4(), y = in.f4();
            points_.push_back({x, y, in.f4()});
        }
    }

    void vertexMap(ChunkReader& in) {
        std::optional<lwo::Chunk> parameters = std::move(parameters_);
        parameters_.reset();
        std::string type = in.id4();
        uint32_t dimension = in.u2();
        std::string name = in.s0();
        if (type != "TXUV" || dimension != 2) return noteDroppedMap("VMAP", name, type, dimension);
        UVMap& map = uvMap(name);
        if (!map.parameters) map.parameters = std::move(parameters);
        while (!in.done()) {
            size_t pointAt = in.offset();
            uint32_t point = in.vx();
            in.checkIndex(point, layerPoints_, pointAt, "point", "points of its layer");
            float u = in.f4();
            map.entries.push_back({pointBase_ + point, UV{u, in.f4()}});
        }
    }

    void noteDroppedMap(const std::string& kind, const std::string& name, const std::string& type, uint32_t dimension) {
        if (type != "TXUV")
            note("dropped " + kind + " '" + name + "' of type '" + printable(type) + "': korvo reads only TXUV maps");
        else
            note("dropped " + kind + " '" + name + "' of type TXUV with " + std::to_string(dimension) +
                 " values per point: korvo reads two");
    }

    void polygonMap(ChunkReader& in) {
        parameters_.reset();
        std::string type = in.id4();
        uint32_t dimension = in.u2();
        std::string name = in.s0();
        if (type != "TXUV" || dimension != 2) return noteDroppedMap("VMAD", name, type, dimension);
        PolygonUVMap* map = nullptr;
        for (PolygonUVMap& m : polygonUVMaps_)
            if (m.name == name) map = &m;
        if (!map) {
            polygonUVMaps_.push_back({name, {}});
            map = &polygonUVMaps_.back();
            uvMap(name);   // the coordinates go to the VMAP of that name, made when there is none
        }
        while (!in.done()) {
            size_t pointAt = in.offset();
            uint32_t point = in.vx();
            in.checkIndex(point, layerPoints_, pointAt, "point", "points of its layer");
            size_t polygonAt = in.offset();
            uint32_t polygon = in.vx();
            in.checkIndex(polygon, polygonOfLocal_.size(), polygonAt, "polygon", "polygons before it");
            float u = in.f4(), v = in.f4();
            if (polygonOfLocal_[polygon] >= 0)
                map->corners[cornerKey(uint32_t(polygonOfLocal_[polygon]), pointBase_ + point)] = {u, v};
        }
    }

    void polygons(ChunkReader& in, size_t at) {
        std::string type = in.id4(), typeText = printable(type);
        if (type == "PTCH" || type == "SUBD")
            refuse(Status::cannotConvert, "subdivision patches (a POLS chunk of type " + typeText + ")" + atByte(at) +
                                              ": freeze them into polygons in the modeller first");
        if (type == "MBAL")
            refuse(Status::cannotConvert,
                   "metaballs (a POLS chunk of type MBAL)" + atByte(at) + ": lwo-convert cannot make triangles of them");
        bool faces = type == "FACE";
        if (!faces && type != "CURV" && type != "BONE")
            refuse(Status::cannotConvert, "polygons of an unknown type '" + typeText + "'" + atByte(at));
        // Polygon tags and VMADs after this chunk number its polygons from 0.
        polygonOfLocal_.clear();
        size_t dropped = 0;
        while (!in.done()) {
            uint32_t count = in.u2();
            Polygon polygon{std::vector<uint32_t>(count & 0x3FF), uint16_t(count >> 10)};
            for (uint32_t& corner : polygon.corners) {
                size_t cornerAt = in.offset();
                corner = in.vx();
                in.checkIndex(corner, layerPoints_, cornerAt, "point", "points of its layer");
                corner += pointBase_;
            }
            if (!faces || polygon.corners.size() < 3) {
                polygonOfLocal_.push_back(-1);
                ++dropped;
                continue;
            }
            polygonOfLocal_.push_back(int64_t(polygons_.size()));
            polygons_.push_back(std::move(polygon));
        }
        if (!dropped) return;
        if (type == "CURV")
            droppedCurves_ += dropped;
        else if (type == "BONE")
            droppedBones_ += dropped;
        else
            droppedShortPolygons_ += dropped;
    }

    void polygonTags(ChunkReader& in) {
        auto& list = polygonTagsOfType(in.id4());
        while (!in.done()) {
            size_t polygonAt = in.offset();
            uint32_t polygon = in.vx();
            in.checkIndex(polygon, polygonOfLocal_.size(), polygonAt, "polygon", "polygons before it");
            size_t tagAt = in.offset();
            uint32_t tag = in.u2();
            if (!highestTag_ || tag > highestTag_->first) highestTag_ = {tag, tagAt};
            if (polygonOfLocal_[polygon] >= 0) list.push_back({uint32_t(polygonOfLocal_[polygon]), tag});
        }
    }

    std::vector<std::pair<uint32_t, uint32_t>>& polygonTagsOfType(const std::string& type) {
        for (auto& [kind, list] : polygonTags_)
            if (kind == type) return list;
        polygonTags_.push_back({type, {}});
        return polygonTags_.back().second;
    }

    UVMap& uvMap(const std::string& name) {
        for (UVMap& map : uvMaps_)
            if (map.name == name) return map;
        uvMaps_.push_back({name, std::nullopt, {}, {}, {}});
        return uvMaps_.back();
    }

    // ---- Making the object --------------------------------------------------------------

    void chooseLayers() {
        std::vector<const lwo::Layer*> kept;
        std::string all;
        for (const LayerSeen& layer : layers_) {
            std::string text = std::to_string(layer.header.number);
            if (!layer.header.name.empty()) text += " '" + layer.header.name + "'";
            all += (all.empty() ? "" : ", ") + text;
            if (options_.layer < 0 || layer.header.number == options_.layer) kept.push_back(&layer.header);
        }
        if (kept.empty())
            refuse(Status::noSuchLayer, "no layer " + std::to_string(options_.layer) + "; its layers: " + all);
        // The one layer kept keeps its header; merged layers become one plain layer. Either way it
        // is layer 0 and has no parent.
        if (kept.size() == 1) outputLayer_ = *kept[0];
        outputLayer_.number = 0;
        outputLayer_.parent = -1;
        if (options_.layer < 0 && layers_.size() > 1)
            note("merged " + std::to_string(layers_.size()) + " layers into one: " + all);
        if (options_.layer >= 0 && layers_.size() > 1)
            note("kept layer " + std::to_string(options_.layer) + " of " + std::to_string(layers_.size()) + ": " + all);
    }

    void checkTags() {
        if (highestTag_ && highestTag_->first >= tags_.size())
            refuse(Status::damaged, "tag " + std::to_string(highestTag_->first) + " is beyond the " +
                                        std::to_string(tags_.size()) + " tags" + atByte(highestTag_->second));
    }

    void fillUVMaps() {
        for (UVMap& map : uvMaps_) {
            map.values.assign(points_.size(), UV{0, 0});
            map.has.assign(points_.size(), 0);
            for (const auto& [point, uv] : map.entries) {
                map.values[point] = uv;
                map.has[point] = 1;
            }
            map.entries.clear();
        }
    }

    // The coordinates a corner has in each TXUV VMAD's map: the VMAD's where it names the corner,
    // else the point's in the VMAP; `set` false where neither has one.
    struct CornerUV {
        UV uv;
        bool set;
    };
    using CornerKey = std::vector<CornerUV>;
    static bool sameKey(const CornerKey& a, const CornerKey& b) {
        for (size_t m = 0; m < a.size(); ++m)
            if (a[m].set != b[m].set || (a[m].set && !sameBits(a[m].uv, b[m].uv))) return false;
        return true;
    }

    void keepPolygonUVs() {
        if (polygonUVMaps_.empty()) return;
        std::vector<UVMap*> maps;
        for (const PolygonUVMap& m : polygonUVMaps_) maps.push_back(&uvMap(m.name));
        auto baseKey = [&](uint32_t point) {
            CornerKey key(maps.size());
            for (size_t m = 0; m < maps.size(); ++m) key[m] = {maps[m]->values[point], maps[m]->has[point] != 0};
            return key;
        };
        auto cornerKeyOf = [&](uint32_t polygon, uint32_t point) {
            CornerKey key = baseKey(point);
            for (size_t m = 0; m < maps.size(); ++m) {
                auto found = polygonUVMaps_[m].corners.find(cornerKey(polygon, point));
                if (found != polygonUVMaps_[m].corners.end()) key[m] = {found->second, true};
            }
            return key;
        };

        // Which points' corners differ from the point, and how: each corner's set of coordinates,
        // in corner order over all polygons (-1: the point's own).
        std::vector<char> baseUsed(points_.size(), 0);
        std::unordered_map<uint32_t, std::vector<CornerKey>> variants;
        std::vector<int32_t> variantOfCorner;
        for (uint32_t p = 0; p < polygons_.size(); ++p)
            for (uint32_t point : polygons_[p].corners) {
                CornerKey key = cornerKeyOf(p, point);
                if (sameKey(key, baseKey(point))) {
                    baseUsed[point] = 1;
                    variantOfCorner.push_back(-1);
                    continue;
                }
                std::vector<CornerKey>& list = variants[point];
                auto found = std::find_if(list.begin(), list.end(), [&](const CornerKey& k) { return sameKey(k, key); });
                variantOfCorner.push_back(int32_t(found - list.begin()));
                if (found == list.end()) list.push_back(key);
            }

        // A point none of whose corners keeps its own coordinates takes the first other set; every
        // further set gets a copy of the point after the existing ones.
        std::vector<uint32_t> splitPoints;
        for (const auto& entry : variants) splitPoints.push_back(entry.first);
        std::sort(splitPoints.begin(), splitPoints.end());
        std::unordered_map<uint32_t, std::vector<uint32_t>> pointOfVariant;
        auto setValues = [&](uint32_t point, const CornerKey& key) {
            for (size_t m = 0; m < maps.size(); ++m) {
                maps[m]->values[point] = key[m].uv;
                maps[m]->has[point] = key[m].set;
            }
        };
        size_t copies = 0;
        for (uint32_t point : splitPoints) {
            const std::vector<CornerKey>& list = variants[point];
            std::vector<uint32_t>& numbers = pointOfVariant[point];
            for (size_t k = 0; k < list.size(); ++k) {
                if (k == 0 && !baseUsed[point]) {
                    numbers.push_back(point);
                    setValues(point, list[k]);
                    continue;
                }
                if (points_.size() >= maxIndices)
                    refuse(Status::cannotConvert, "more than " + std::to_string(maxIndices) + " points in all");
                uint32_t copy = uint32_t(points_.size());
                points_.push_back(points_[point]);
                for (UVMap& map : uvMaps_) {   // the point's other maps go with it
                    map.values.push_back(map.values[point]);
                    map.has.push_back(map.has[point]);
                }
                setValues(copy, list[k]);
                numbers.push_back(copy);
                ++copies;
            }
        }

        size_t c = 0;
        for (Polygon& polygon : polygons_)
            for (uint32_t& corner : polygon.corners) {
                int32_t variant = variantOfCorner[c++];
                if (variant >= 0) corner = pointOfVariant[corner][size_t(variant)];
            }

        std::string names;
        for (const PolygonUVMap& m : polygonUVMaps_) names += (names.empty() ? "'" : ", '") + m.name + "'";
        note("kept the per-polygon coordinates of VMAD " + names + " (TXUV) in the VMAP of that name: " +
             counted(copies, "point") + " added as copies where corners of a point differ");
    }

    void makeTriangles() {
        std::vector<Vec3> positions;
        size_t ngonCount = 0;
        for (uint32_t p = 0; p < polygons_.size(); ++p) {
            const Polygon& polygon = polygons_[p];
            if (polygon.corners.size() > 3) ++ngonCount;
            positions.clear();
            for (uint32_t corner : polygon.corners) {
                const std::array<float, 3>& point = points_[corner];
                positions.push_back({point[0], point[1], point[2]});
            }
            for (const auto& t : triangulate(positions))
                triangles_.push_back(
                    {{polygon.corners[t[0]], polygon.corners[t[1]], polygon.corners[t[2]]}, polygon.flags, p});
        }
        if (triangles_.size() > maxIndices)
            refuse(Status::cannotConvert, std::to_string(triangles_.size()) + " triangles, more than LWO2's indices reach");
        if (ngonCount)
            note("made " + counted(triangles_.size(), "triangle") + " of " + counted(polygons_.size(), "polygon") + " (" +
                 std::to_string(ngonCount) + " of four or more corners)");
        if (droppedShortPolygons_)
            note("dropped " + counted(droppedShortPolygons_, "polygon") +
                 " of one or two points: korvo draws triangles only");
        if (droppedCurves_) note("dropped " + counted(droppedCurves_, "curve") + " (POLS of type CURV)");
        if (droppedBones_) note("dropped " + counted(droppedBones_, "bone") + " (POLS of type BONE)");
    }

    void write() {
        if (evenedSubChunks_)
            note("evened " + counted(evenedSubChunks_, "odd-length sub-chunk") +
                 " of surfaces or clips, their pad bytes counted into their lengths: korvo's reader steps over "
                 "sub-chunks by their lengths alone");
        std::vector<lwo::Chunk> chunks;
        if (!tags_.empty()) {
            lwo::IffBuffer b;
            for (const std::string& tag : tags_) b.s0(tag);
            chunks.push_back({"TAGS", b.data()});
        }
        chunks.push_back(lwo::layerChunk(outputLayer_));
        lwo::IffBuffer points;
        for (const auto& point : points_)
            for (float value : point) points.f4(value);
        chunks.push_back({"PNTS", points.data()});
        if (boundingBox_ && !points_.empty()) {
            std::array<float, 3> low = points_[0], high = points_[0];
            for (const auto& point : points_)
                for (int i = 0; i < 3; ++i) {
                    low[size_t(i)] = std::min(low[size_t(i)], point[size_t(i)]);
                    high[size_t(i)] = std::max(high[size_t(i)], point[size_t(i)]);
                }
            lwo::IffBuffer b;
            for (float value : low) b.f4(value);
            for (float value : high) b.f4(value);
            chunks.push_back({"BBOX", b.data()});
        }
        for (const UVMap& map : uvMaps_) {
            if (map.parameters) chunks.push_back(*map.parameters);
            lwo::UVMap out{map.name, {}};
            for (uint32_t point = 0; point < map.values.size(); ++point)
                if (map.has[point]) out.entries.push_back({point, {map.values[point].u, map.values[point].v}});
            chunks.push_back(lwo::uvMapChunk(out));
        }
        if (!triangles_.empty()) {
            lwo::IffBuffer b;
            b.id4("FACE");
            for (const Triangle& t : triangles_) {
                b.u2(uint16_t(3 | t.flags << 10));
                for (uint32_t corner : t.corner) b.vx(corner);
            }
            chunks.push_back({"POLS", b.data()});
        }
        writePolygonTags(chunks);
        chunks.insert(chunks.end(), objectChunks_.begin(), objectChunks_.end());
        result_.bytes = lwo::assemble(chunks);
    }

    // Each triangle carries the tags of its polygon, one PTAG chunk per type.
    void writePolygonTags(std::vector<lwo::Chunk>& chunks) {
        size_t droppedCornerTags = 0;
        for (const auto& [type, list] : polygonTags_) {
            std::vector<int64_t> tagOf(polygons_.size(), -1);
            for (const auto& [polygon, tag] : list) tagOf[polygon] = tag;
            // Texture coordinates in a tag string are for three corners.
            bool cornerCoordinates = type == "TXUV";
            lwo::IffBuffer b;
            b.id4(type);
            bool any = false;
            for (uint32_t t = 0; t < triangles_.size(); ++t) {
                int64_t tag = tagOf[triangles_[t].polygon];
                if (tag < 0) continue;
                if (cornerCoordinates && polygons_[triangles_[t].polygon].corners.size() != 3) {
                    ++droppedCornerTags;
                    continue;
                }
                b.vx(t);
                b.u2(uint16_t(tag));
                any = true;
            }
            if (any) chunks.push_back({"PTAG", b.data()});
        }
        if (droppedCornerTags)
            note("dropped the TXUV polygon tags of " + counted(droppedCornerTags, "triangle") +
                 " made of larger polygons: their six coordinates are for three corners");
    }

    // The result as the player reads and builds it.
    void check() {
        LWOError error;
        std::unique_ptr<LWObject> object(LWOLoader::read("converted", result_.bytes.data(), result_.bytes.size(), &error));
        if (!object)
            refuse(error.kind == LWOError::Kind::damaged ? Status::damaged : Status::cannotConvert,
                   "korvo's reader refuses the converted object: " + error.message);
        std::vector<std::vector<uint32_t>> trianglesOf = object->trianglesBySurface();
        size_t i = 0;
        for (ListNode* node = object->surfaces.first(); node; node = node->getNext(), ++i) {
            const Tsurface& s = *static_cast<const Tsurface*>(node->getData());
            const std::vector<uint32_t>& triangles = trianglesOf[i];
            if (triangles.empty()) continue;   // not built
            if (s.particle && s.imageClip == 0)
                refuse(Status::cannotConvert, "surface '" + std::string(node->getName()) +
                                                  "' is a particle surface without an image, which korvo cannot draw");
            std::vector<uint32_t> members;
            for (uint32_t t : triangles)
                for (uint32_t corner : object->triangles[t].corner) members.push_back(corner);
            std::sort(members.begin(), members.end());
            members.erase(std::unique(members.begin(), members.end()), members.end());
            bool flat = s.smoothingAngle == 0.0f && s.reflection == 0.0f && !s.particle;
            size_t needed = members.size() + (flat ? triangles.size() : 0);
            if (needed > maxSurfaceVertices)
                refuse(Status::cannotConvert, "surface '" + std::string(node->getName()) + "' would need " +
                                                  std::to_string(needed) + " vertices; korvo draws at most " +
                                                  std::to_string(maxSurfaceVertices) + " per surface");
        }
        result_.points = size_t(object->pointCount);
        result_.triangles = size_t(object->triangleCount);
        result_.surfaces = size_t(object->surfaces.getCount());
    }

    const uint8_t* bytes_;
    size_t size_;
    const Options& options_;
    Result& result_;

    std::vector<LayerSeen> layers_;
    lwo::Layer outputLayer_;
    bool keptLayer_ = true;
    uint32_t pointBase_ = 0;
    size_t layerPoints_ = 0;
    std::vector<int64_t> polygonOfLocal_;   // the last POLS chunk's polygons: merged number, -1 dropped
    std::optional<lwo::Chunk> parameters_;  // a VMPA chunk for the map that follows it

    std::vector<std::array<float, 3>> points_;
    std::vector<Polygon> polygons_;
    std::vector<Triangle> triangles_;
    std::vector<std::string> tags_;
    std::optional<std::pair<uint32_t, size_t>> highestTag_;   // the highest tag a PTAG names, and where
    std::vector<std::pair<std::string, std::vector<std::pair<uint32_t, uint32_t>>>> polygonTags_;
    std::vector<UVMap> uvMaps_;
    std::vector<PolygonUVMap> polygonUVMaps_;
    std::vector<lwo::Chunk> objectChunks_;
    bool boundingBox_ = false;
    size_t droppedShortPolygons_ = 0, droppedCurves_ = 0, droppedBones_ = 0, evenedSubChunks_ = 0;
};

}  // namespace

Result convert(const uint8_t* bytes, size_t size, const Options& options) {
    Result result;
    try {
        Converter(bytes, size, options, result).run();
    } catch (const Refusal& refusal) {
        Result refused;
        refused.status = refusal.status;
        refused.error = refusal.message;
        return refused;
    }
    return result;
}

}  // namespace lwo_convert
