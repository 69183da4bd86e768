#include "lightwave/LWOLoader1.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "shell/cleanup.h"
#include "shell/debuglog.h"

namespace {

constexpr uint32_t idOf(const char (&text)[5]) {
    return uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 |
           uint32_t(uint8_t(text[3]));
}

std::string idText(uint32_t id) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char(id >> shift);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

uint32_t bigEndian32(const uint8_t* at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | uint32_t(at[3]);
}

float bigEndianFloat(const uint8_t* at) {
    uint32_t bits = bigEndian32(at);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Reads one file's chunks into an object. Every read is bounded by the end of the chunk or
// sub-chunk being read (`end`); the first failure is kept in the error and stops the walk.
class Parser {
public:
    Parser(const uint8_t* bytes, size_t size, LWObject* object, LWOError* error)
        : bytes_(bytes), size_(size), object_(object), error_(error) {}

    bool run();

private:
    using Kind = LWOError::Kind;

    bool fail(Kind kind, size_t at, const std::string& message) {
        error_->kind = kind;
        error_->offset = at;
        error_->message = message;
        return false;
    }
    bool damaged(size_t at, const std::string& message) { return fail(Kind::damaged, at, message); }
    bool have(size_t count) {
        if (end_ - pos_ >= count) return true;
        return damaged(pos_, "a value runs past the end of " + where_);
    }

    bool id4(uint32_t& value) {
        if (!have(4)) return false;
        value = bigEndian32(bytes_ + pos_);
        pos_ += 4;
        return true;
    }
    bool u2(uint32_t& value) {
        if (!have(2)) return false;
        value = uint32_t(bytes_[pos_]) << 8 | bytes_[pos_ + 1];
        pos_ += 2;
        return true;
    }
    bool u4(uint32_t& value) { return id4(value); }
    bool f4(float& value) {
        if (!have(4)) return false;
        value = bigEndianFloat(bytes_ + pos_);
        pos_ += 4;
        return true;
    }
    // Two bytes, or four when the first is 0xFF (then the other three are the index).
    bool vx(uint32_t& value) {
        if (!have(2)) return false;
        if (bytes_[pos_] != 0xFF) return u2(value);
        if (!have(4)) return false;
        value = bigEndian32(bytes_ + pos_) & 0xFFFFFF;
        pos_ += 4;
        return true;
    }
    // A NUL-terminated string and, when the count read is odd, its pad byte (a pad that the
    // chunk has no room for is not asked for).
    bool s0(std::string& value) {
        const void* nul = std::memchr(bytes_ + pos_, 0, end_ - pos_);
        if (!nul) return damaged(pos_, "a string runs past the end of " + where_);
        size_t length = size_t(static_cast<const uint8_t*>(nul) - (bytes_ + pos_));
        value.assign(reinterpret_cast<const char*>(bytes_ + pos_), length);
        pos_ += length + 1;
        if ((length + 1) % 2 && pos_ < end_) ++pos_;
        return true;
    }

    // Calls handle(id) for every sub-chunk (ID4, U2 length) up to the current end, with the
    // reading bounded to the sub-chunk; fewer than 6 bytes left are skipped.
    template <typename Handler>
    bool subChunks(const std::string& container, Handler handle) {
        while (end_ - pos_ >= 6) {
            size_t at = pos_;
            uint32_t id = bigEndian32(bytes_ + pos_);
            uint32_t length = uint32_t(bytes_[pos_ + 4]) << 8 | bytes_[pos_ + 5];
            pos_ += 6;
            if (length > end_ - pos_)
                return damaged(at, "the " + idText(id) + " sub-chunk of " + std::to_string(length) +
                                       " bytes runs past the end of " + where_);
            size_t outerEnd = end_;
            std::string outerWhere = where_;
            end_ = pos_ + length;
            where_ = "the " + idText(id) + " sub-chunk of " + container;
            if (!handle(id, at)) return false;
            pos_ = end_;
            end_ = outerEnd;
            where_ = outerWhere;
        }
        pos_ = end_;
        return true;
    }

    bool points();
    bool polygons(size_t chunkStart);
    bool tags();
    bool polygonTags();
    bool uvMap(size_t chunkStart);
    bool clip();
    bool surface();
    bool block(Tsurface& surface, const std::string& surfaceName);
    bool checkIndex(uint32_t index, int count, size_t at, const char* what, const char* of);
    void computeNormals();

    const uint8_t* bytes_;
    size_t size_;
    LWObject* object_;
    LWOError* error_;
    size_t pos_ = 0, end_ = 0;
    std::string where_;
    bool pointsRead_ = false, polygonsRead_ = false;
    static constexpr size_t maxUVMapBytes = size_t(128) << 20;
    size_t uvMapBytes_ = 0;

    // Clip numbers named by surfaces, checked once every CLIP chunk has been read.
    struct ClipReference {
        int clip;
        size_t at;
        std::string surface;
    };
    std::vector<ClipReference> clipReferences_;
};

bool Parser::checkIndex(uint32_t index, int count, size_t at, const char* what, const char* of) {
    if (index < uint32_t(count)) return true;
    return damaged(at, std::string(what) + " " + std::to_string(index) + " is beyond the " + std::to_string(count) +
                           " " + of);
}

bool Parser::run() {
    if (size_ < 4 || bigEndian32(bytes_) != idOf("FORM"))
        return fail(Kind::notIFF, 0, "Not an IFF file (Missing FORM tag)");
    if (size_ < 12) return damaged(size_, "the file ends inside its FORM header");
    uint64_t formLength = bigEndian32(bytes_ + 4);
    if (bigEndian32(bytes_ + 8) != idOf("LWO2")) return fail(Kind::notLWO2, 8, "Not a lightwave object (Missing LWO2 tag)");
    uint64_t formEnd = 8 + formLength;
    if (formEnd > size_)
        return damaged(size_, "the file ends at byte " + std::to_string(size_) + ", inside its FORM of " +
                                  std::to_string(formLength) + " bytes");

    // The walk keeps a running offset that starts at 8 and grows by 8 plus each chunk's
    // length; chunk lengths are used as stored (no pad byte after odd lengths).
    uint64_t offset = 8;
    pos_ = 12;
    while (offset < formLength) {
        size_t chunkStart = pos_;
        if (formEnd - pos_ < 8) return damaged(pos_, "the file ends inside a chunk header");
        uint32_t id = bigEndian32(bytes_ + pos_);
        uint32_t length = bigEndian32(bytes_ + pos_ + 4);
        pos_ += 8;
        if (length > formEnd - pos_)
            return damaged(chunkStart, "the " + idText(id) + " chunk of " + std::to_string(length) +
                                           " bytes runs past the end of the file");
        end_ = pos_ + length;
        where_ = "the " + idText(id) + " chunk";
        bool ok = true;
        switch (id) {
        case idOf("PNTS"): ok = points(); break;
        case idOf("POLS"): ok = polygons(chunkStart); break;
        case idOf("TAGS"): ok = tags(); break;
        case idOf("PTAG"): ok = polygonTags(); break;
        case idOf("VMAP"): ok = uvMap(chunkStart); break;
        case idOf("CLIP"): ok = clip(); break;
        case idOf("SURF"): ok = surface(); break;
        default: break;   // LAYR, BBOX, VMAD, DESC ... are not used
        }
        if (!ok) return false;
        pos_ = chunkStart + 8 + length;
        offset += 8 + uint64_t(length);
    }

    for (const ClipReference& r : clipReferences_)
        if (r.clip > object_->clips.getCount())
            return damaged(r.at, "surface '" + r.surface + "' names clip " + std::to_string(r.clip) + ", beyond the " +
                                     std::to_string(object_->clips.getCount()) + " clips");
    computeNormals();
    return true;
}

bool Parser::points() {
    if (pointsRead_) return damaged(pos_ - 8, "a second PNTS chunk: objects of several layers are not read");
    if (!object_->triangles.empty() || object_->uvMaps.getCount())
        return damaged(pos_ - 8, "a PNTS chunk after the polygons or maps that name its points");
    pointsRead_ = true;
    size_t count = (end_ - pos_) / 12;
    object_->points.resize(count);
    for (size_t i = 0; i < count; ++i, pos_ += 12) {
        LWPoint& p = object_->points[i];
        p.x = bigEndianFloat(bytes_ + pos_);
        p.y = bigEndianFloat(bytes_ + pos_ + 4);
        p.z = bigEndianFloat(bytes_ + pos_ + 8);
        p.nx = p.ny = p.nz = 0.0f;
        p.u = p.v = 0.0f;
    }
    object_->pointCount = int(count);
    return true;
}

bool Parser::polygons(size_t chunkStart) {
    if (polygonsRead_) return damaged(chunkStart, "a second POLS chunk: objects of several layers are not read");
    polygonsRead_ = true;
    uint32_t type;
    if (!id4(type)) return false;
    if (type != idOf("FACE")) return fail(Kind::unsupported, chunkStart + 8, "Unknown polygon type");
    std::vector<LWTriangle>& triangles = object_->triangles;
    triangles.reserve((end_ - pos_) / 8);
    while (pos_ < end_) {
        size_t at = pos_;
        uint32_t count;
        if (!u2(count)) return false;
        if ((count & 0x3FF) != 3) return fail(Kind::unsupported, at, "only 3 vertices per polygon supported");
        LWTriangle t;
        for (uint32_t& corner : t.corner) {
            size_t cornerAt = pos_;
            if (!vx(corner) || !checkIndex(corner, object_->pointCount, cornerAt, "point", "points")) return false;
        }
        triangles.push_back(t);
    }
    object_->triangleCount = int(triangles.size());
    return true;
}

bool Parser::tags() {
    while (pos_ < end_) {
        std::string name;
        if (!s0(name)) return false;
        auto* node = new ListNode(name.c_str());
        object_->tags.append(node);
        object_->tagNames.push_back(node->getName());
    }
    return true;
}

bool Parser::polygonTags() {
    uint32_t type;
    if (!id4(type)) return false;
    if (type != idOf("SURF") && type != idOf("TXUV")) {
        pos_ = end_;   // PART, SMGP, COLR ... are not used
        return true;
    }
    int tagCount = int(object_->tagNames.size());
    while (pos_ < end_) {
        size_t at = pos_;
        uint32_t triangle, tag;
        if (!vx(triangle) || !checkIndex(triangle, object_->triangleCount, at, "polygon", "polygons")) return false;
        size_t tagAt = pos_;
        if (!u2(tag) || !checkIndex(tag, tagCount, tagAt, "tag", "tags")) return false;
        LWTriangle& t = object_->triangles[triangle];
        if (type == idOf("SURF")) {
            t.tag = int(tag);
            continue;
        }
        // Texture coordinates of the three corners in a tag string: uA vA uB vB uC vC. They
        // reach the UV maps read so far.
        float uv[6] = {};
        std::sscanf(object_->tagNames[tag], "%f%f%f%f%f%f", &uv[0], &uv[1], &uv[2], &uv[3], &uv[4], &uv[5]);
        for (ListNode* node = object_->uvMaps.first(); node; node = node->getNext()) {
            float* map = static_cast<float*>(node->getData());
            for (int c = 0; c < 3; ++c) {
                map[2 * size_t(t.corner[c])] = uv[2 * c];
                map[2 * size_t(t.corner[c]) + 1] = 1.0f - uv[2 * c + 1];
            }
        }
    }
    return true;
}

bool Parser::uvMap(size_t chunkStart) {
    uint32_t type, dimension;
    if (!id4(type)) return false;
    if (type != idOf("TXUV")) return fail(Kind::unsupported, chunkStart + 8, "Only TXUV VMAPs supported");
    std::string name;
    if (!u2(dimension) || !s0(name)) return false;
    if (dimension != 2) return fail(Kind::unsupported, chunkStart + 12, "only 2 dimensional texture coordinates supported");
    // Every map holds a pair for every point, however few it names: a file of many small maps
    // must not make the reader take memory without bound.
    uvMapBytes_ += 2 * sizeof(float) * size_t(object_->pointCount);
    if (uvMapBytes_ > maxUVMapBytes)
        return damaged(chunkStart, "UV maps of " + std::to_string(object_->pointCount) + " points each need more than " +
                                       std::to_string(maxUVMapBytes >> 20) + " MB");
    float* map = new float[2 * size_t(object_->pointCount)]();   // points the map does not name: (0, 0)
    auto* node = new ListNode(name.c_str());
    node->setData(map);
    object_->uvMaps.append(node);
    while (pos_ < end_) {
        size_t at = pos_;
        uint32_t point;
        float u, v;
        if (!vx(point) || !checkIndex(point, object_->pointCount, at, "point", "points") || !f4(u) || !f4(v))
            return false;
        map[2 * size_t(point)] = u;
        map[2 * size_t(point) + 1] = 1.0f - v;
    }
    return true;
}

bool Parser::clip() {
    uint32_t index;   // the file's own clip number; clips are addressed by file order instead
    if (!u4(index)) return false;
    auto* clip = new LWClip;
    auto* node = new ListNode("clip");
    node->setData(clip);
    object_->clips.append(node);
    return subChunks("a CLIP chunk", [&](uint32_t id, size_t) { return id == idOf("STIL") ? s0(clip->fileName) : true; });
}

bool Parser::surface() {
    std::string name, parent;
    if (!s0(name) || !s0(parent)) return false;
    auto* s = new Tsurface;
    auto* node = new ListNode(name.c_str());
    node->setData(s);
    object_->surfaces.append(node);
    s->particle = name == "shadebob";
    std::string container = "surface '" + name + "'";
    return subChunks(container, [&](uint32_t id, size_t at) {
        uint32_t value;
        switch (id) {
        case idOf("COLR"):
        case idOf("LCOL"): return f4(s->red) && f4(s->green) && f4(s->blue);
        case idOf("DIFF"): return f4(s->diffuse);
        case idOf("SPEC"): return f4(s->specular);
        case idOf("REFL"): return f4(s->reflection);
        case idOf("GLOS"): return f4(s->glossiness);
        case idOf("LUMI"): return f4(s->luminosity);
        case idOf("SMAN"): return f4(s->smoothingAngle);
        case idOf("TRAN"):
            if (!f4(s->transparency)) return false;
            if (s->transparency != 0.0f) s->transparent = true;
            return true;
        case idOf("ADTR"):
            if (!f4(s->additive)) return false;
            if (s->additive != 0.0f) s->transparent = true;
            return true;
        case idOf("SIDE"):
            if (!u2(value)) return false;
            s->sidedness = value;
            return true;
        case idOf("RIMG"):
            if (!vx(value)) return false;
            s->reflectionClip = int(value);
            s->staticVertices = false;
            clipReferences_.push_back({s->reflectionClip, at, name});
            return true;
        case idOf("BLOK"): return block(*s, name);
        default: return true;   // read by their lengths and not used
        }
    });
}

bool Parser::block(Tsurface& s, const std::string& surfaceName) {
    return subChunks("a texture block of surface '" + surfaceName + "'", [&](uint32_t id, size_t at) {
        uint32_t clipNumber;
        float value;
        switch (id) {
        case idOf("IMAP"):
        case idOf("PROC"):
        case idOf("GRAD"):
        case idOf("VMAP"):
            // The block header's string (its ordinal), replaced by the UV map's name when a
            // VMAP sub-chunk follows; the header's own sub-chunks go with it.
            if (!s0(s.uvMapName)) return false;
            s.hasUVMap = true;
            return true;
        case idOf("IMAG"):
            if (!vx(clipNumber)) return false;
            s.imageClip = int(clipNumber);
            clipReferences_.push_back({s.imageClip, at, surfaceName});
            return true;
        case idOf("GRST"):
        case idOf("GREN"):
            if (!f4(value)) return false;
            std::printf("<%f>\n", double(value));
            return true;
        default: return true;
        }
    });
}

// Every point gets the normalised sum of the unit normals of the triangles around it. A
// triangle of no area has no direction and adds nothing; a point with no direction at all
// keeps the zero normal.
void Parser::computeNormals() {
    std::vector<LWPoint>& p = object_->points;
    for (const LWTriangle& t : object_->triangles) {
        const LWPoint &p0 = p[t.corner[0]], &p1 = p[t.corner[1]], &p2 = p[t.corner[2]];
        float ax = p0.x - p1.x, ay = p0.y - p1.y, az = p0.z - p1.z;
        float bx = p2.x - p1.x, by = p2.y - p1.y, bz = p2.z - p1.z;
        float nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
        float length = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (!(length > 0.0f)) continue;
        nx /= length;
        ny /= length;
        nz /= length;
        for (uint32_t corner : t.corner) {
            p[corner].nx += nx;
            p[corner].ny += ny;
            p[corner].nz += nz;
        }
    }
    for (LWPoint& point : p) {
        float length = std::sqrt(point.nx * point.nx + point.ny * point.ny + point.nz * point.nz);
        if (!(length > 0.0f)) continue;
        point.nx /= length;
        point.ny /= length;
        point.nz /= length;
    }
}

}  // namespace

LWObject::LWObject(const char* name) : fileName(name ? name : "") {}

LWObject::~LWObject() {
    for (ListNode* node = uvMaps.first(); node; node = node->getNext()) delete[] static_cast<float*>(node->getData());
    for (ListNode* node = clips.first(); node; node = node->getNext()) delete static_cast<LWClip*>(node->getData());
    for (ListNode* node = surfaces.first(); node; node = node->getNext())
        delete static_cast<Tsurface*>(node->getData());
}

const float* LWObject::uvMap(const char* name) const {
    ListNode* node = uvMaps.find(name);
    return node ? static_cast<const float*>(node->getData()) : nullptr;
}

const char* LWObject::tagName(int tag) const {
    return tag >= 0 && size_t(tag) < tagNames.size() ? tagNames[size_t(tag)] : nullptr;
}

std::vector<std::vector<uint32_t>> LWObject::trianglesBySurface() const {
    std::unordered_map<std::string, size_t> surfaceByName;
    size_t surfaceCount = 0;
    for (ListNode* node = surfaces.first(); node; node = node->getNext())
        surfaceByName.emplace(node->getName(), surfaceCount++);
    std::vector<long> surfaceOfTag(tagNames.size(), -1);
    for (size_t tag = 0; tag < tagNames.size(); ++tag) {
        auto found = surfaceByName.find(tagNames[tag]);
        if (found != surfaceByName.end()) surfaceOfTag[tag] = long(found->second);
    }
    std::vector<std::vector<uint32_t>> result(surfaceCount);
    for (size_t t = 0; t < triangles.size(); ++t) {
        int tag = triangles[t].tag;
        if (tag >= 0 && surfaceOfTag[size_t(tag)] >= 0) result[size_t(surfaceOfTag[size_t(tag)])].push_back(uint32_t(t));
    }
    return result;
}

LWObject* LWOLoader::read(const char* fileName, const uint8_t* bytes, size_t size, LWOError* error) {
    auto* object = new LWObject(fileName);
    LWOError ignored;
    Parser parser(bytes, size, object, error ? error : &ignored);
    if (parser.run()) return object;
    delete object;
    return nullptr;
}

LWObject* LWOLoader::loadObject(const char* fileName) {
    if (!fileName || !*fileName) return nullptr;
    FILE* file = std::fopen(fileName, "rb");
    if (!file) return nullptr;
    std::vector<uint8_t> bytes;
    uint8_t buffer[1 << 16];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);

    LWOError error;
    LWObject* object = read(fileName, bytes.data(), bytes.size(), &error);
    if (object) return object;
    switch (error.kind) {
    case LWOError::Kind::notIFF: LOG_ENTRY << "LWOLoader: " << error.message << std::endl; break;
    case LWOError::Kind::notLWO2: LOG_ENTRY << error.message << std::endl; break;
    case LWOError::Kind::unsupported: cleaner.fatal(error.message.c_str());
    default:
        LOG_ENTRY << "LWOLoader: refused '" << fileName << "' at byte " << long(error.offset) << ": " << error.message
                  << std::endl;
        break;
    }
    return nullptr;
}
