#include "lwo_writer.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace content::lwo {

// ---- IffBuffer ---------------------------------------------------------------------------

void IffBuffer::id4(const std::string& id) {
    if (id.size() != 4) throw std::invalid_argument("an IFF ID has 4 characters: '" + id + "'");
    data_.insert(data_.end(), id.begin(), id.end());
}

void IffBuffer::u1(uint8_t value) { data_.push_back(value); }

void IffBuffer::u2(uint16_t value) {
    data_.push_back(uint8_t(value >> 8));
    data_.push_back(uint8_t(value));
}

void IffBuffer::u4(uint32_t value) {
    u2(uint16_t(value >> 16));
    u2(uint16_t(value));
}

void IffBuffer::f4(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    u4(bits);
}

void IffBuffer::vx(uint32_t index) {
    if (index > 0xFFFFFF) throw std::invalid_argument("an index above 24 bits");
    if (index < 0xFF00) {
        u2(uint16_t(index));
    } else {
        u4(0xFF000000u | index);
    }
}

void IffBuffer::s0(const std::string& text) {
    data_.insert(data_.end(), text.begin(), text.end());
    data_.push_back(0);
    if ((text.size() + 1) % 2) data_.push_back(0);
}

void IffBuffer::bytes(const std::vector<uint8_t>& data) { data_.insert(data_.end(), data.begin(), data.end()); }

void IffBuffer::openChunk(const std::string& id) {
    id4(id);
    open_.push_back({data_.size(), 4});
    u4(0);
}

void IffBuffer::openSubChunk(const std::string& id) {
    id4(id);
    open_.push_back({data_.size(), 2});
    u2(0);
}

void IffBuffer::close() {
    if (open_.empty()) throw std::logic_error("no chunk is open");
    Open o = open_.back();
    open_.pop_back();
    size_t length = data_.size() - o.lengthAt - size_t(o.lengthBytes);
    if (o.lengthBytes == 2 && length > 0xFFFF) throw std::length_error("a sub-chunk longer than 65535 bytes");
    for (int i = 0; i < o.lengthBytes; ++i)
        data_[o.lengthAt + size_t(i)] = uint8_t(length >> (8 * (o.lengthBytes - 1 - i)));
}

// ---- Object ------------------------------------------------------------------------------

uint32_t Object::addPoint(float x, float y, float z) {
    points_.insert(points_.end(), {x, y, z});
    return uint32_t(points_.size() / 3 - 1);
}

uint32_t Object::addTriangle(uint32_t a, uint32_t b, uint32_t c, uint16_t flags) {
    triangles_.push_back({{a, b, c}, flags});
    return uint32_t(triangles_.size() - 1);
}

uint16_t Object::addTag(const std::string& name) {
    tags_.push_back(name);
    return uint16_t(tags_.size() - 1);
}

void Object::tagPolygon(const std::string& type, uint32_t triangle, uint16_t tag) {
    for (auto& [kind, pairs] : polygonTags_)
        if (kind == type) {
            pairs.emplace_back(triangle, tag);
            return;
        }
    polygonTags_.push_back({type, {{triangle, tag}}});
}

void Object::setSurface(uint32_t triangle, const std::string& surfaceName) {
    uint16_t tag = 0;
    while (tag < tags_.size() && tags_[tag] != surfaceName) ++tag;
    if (tag == tags_.size()) addTag(surfaceName);
    tagPolygon("SURF", triangle, tag);
}

uint32_t Object::addClip(const std::string& still, uint32_t index) {
    if (index == 0) index = clips_.empty() ? 1 : clips_.back().index + 1;
    clips_.push_back({index, still});
    return index;
}

UVMap& Object::addUVMap(const std::string& name) {
    uvMaps_.push_back({name, {}});
    return uvMaps_.back();
}

Surface& Object::addSurface(const std::string& name) {
    surfaces_.emplace_back();
    surfaces_.back().name = name;
    return surfaces_.back();
}

namespace {

Chunk finish(const std::string& id, const IffBuffer& body) { return {id, body.data()}; }

void floatSubChunk(IffBuffer& b, const char* id, float value, bool envelope = true) {
    b.openSubChunk(id);
    b.f4(value);
    if (envelope) b.vx(0);
    b.close();
}

void rawSubChunks(IffBuffer& b, const std::vector<RawSubChunk>& extra) {
    for (const RawSubChunk& raw : extra) {
        b.openSubChunk(raw.id);
        b.bytes(raw.body);
        b.close();
    }
}

}  // namespace

Chunk surfaceChunk(const Surface& s) {
    IffBuffer b;
    b.s0(s.name);
    b.s0(s.parent);
    b.openSubChunk("COLR");
    b.f4(s.red);
    b.f4(s.green);
    b.f4(s.blue);
    b.vx(0);
    b.close();
    floatSubChunk(b, "DIFF", s.diffuse);
    floatSubChunk(b, "LUMI", s.luminosity);
    floatSubChunk(b, "SPEC", s.specular);
    floatSubChunk(b, "REFL", s.reflection);
    floatSubChunk(b, "TRAN", s.transparency);
    if (s.additive != 0.0f) floatSubChunk(b, "ADTR", s.additive);
    floatSubChunk(b, "GLOS", s.glossiness);
    floatSubChunk(b, "SMAN", s.smoothingAngle, false);
    b.openSubChunk("SIDE");
    b.u2(s.sidedness);
    b.close();
    if (s.reflectionImage) {
        b.openSubChunk("RIMG");
        b.vx(s.reflectionImage);
        b.close();
    }
    for (const TextureBlock& block : s.blocks) {
        b.openSubChunk("BLOK");
        b.openSubChunk(block.header);
        b.s0(block.ordinal);
        b.openSubChunk("CHAN");
        b.id4("COLR");
        b.close();
        b.openSubChunk("ENAB");
        b.u2(1);
        b.close();
        b.close();
        b.openSubChunk("PROJ");
        b.u2(block.projection);
        b.close();
        b.openSubChunk("AXIS");
        b.u2(2);
        b.close();
        if (block.image) {
            b.openSubChunk("IMAG");
            b.vx(block.image);
            b.close();
        }
        b.openSubChunk("WRAP");
        b.u2(1);
        b.u2(1);
        b.close();
        if (!block.uvMap.empty()) {
            b.openSubChunk("VMAP");
            b.s0(block.uvMap);
            b.close();
        }
        rawSubChunks(b, block.extra);
        b.close();
    }
    rawSubChunks(b, s.extra);
    return finish("SURF", b);
}

Chunk clipChunk(const Clip& clip) {
    IffBuffer b;
    b.u4(clip.index);
    if (!clip.still.empty()) {
        b.openSubChunk("STIL");
        b.s0(clip.still);
        b.close();
    }
    return finish("CLIP", b);
}

Chunk uvMapChunk(const UVMap& map) {
    IffBuffer b;
    b.id4("TXUV");
    b.u2(2);
    b.s0(map.name);
    for (const auto& [point, uv] : map.entries) {
        b.vx(point);
        b.f4(uv.first);
        b.f4(uv.second);
    }
    return finish("VMAP", b);
}

std::vector<Chunk> Object::chunks() const {
    std::vector<Chunk> out;
    if (!tags_.empty()) {
        IffBuffer b;
        for (const std::string& tag : tags_) b.s0(tag);
        out.push_back(finish("TAGS", b));
    }
    {
        IffBuffer b;   // layer 0, no flags, pivot at the origin, no name
        b.u2(0);
        b.u2(0);
        b.f4(0.0f);
        b.f4(0.0f);
        b.f4(0.0f);
        b.s0("");
        out.push_back(finish("LAYR", b));
    }
    {
        IffBuffer b;
        for (float value : points_) b.f4(value);
        out.push_back(finish("PNTS", b));
    }
    for (const UVMap& map : uvMaps_) out.push_back(uvMapChunk(map));
    if (!triangles_.empty()) {
        IffBuffer b;
        b.id4("FACE");
        for (const Triangle& t : triangles_) {
            b.u2(uint16_t(3 | (t.flags << 10)));
            for (uint32_t corner : t.corner) b.vx(corner);
        }
        out.push_back(finish("POLS", b));
    }
    for (const auto& [type, pairs] : polygonTags_) {
        IffBuffer b;
        b.id4(type);
        for (const auto& [triangle, tag] : pairs) {
            b.vx(triangle);
            b.u2(tag);
        }
        out.push_back(finish("PTAG", b));
    }
    for (const Clip& clip : clips_) out.push_back(clipChunk(clip));
    for (const Surface& surface : surfaces_) out.push_back(surfaceChunk(surface));
    return out;
}

std::vector<uint8_t> assemble(const std::vector<Chunk>& chunks, const std::string& formType,
                              std::vector<size_t>* offsets) {
    IffBuffer file;
    file.openChunk("FORM");
    file.id4(formType);
    if (offsets) offsets->clear();
    for (const Chunk& chunk : chunks) {
        if (offsets) offsets->push_back(file.size());
        file.id4(chunk.id);
        file.u4(uint32_t(chunk.body.size()));
        file.bytes(chunk.body);
    }
    file.close();
    return file.data();
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

}  // namespace content::lwo
