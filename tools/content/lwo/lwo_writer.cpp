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
    std::vector<float>& points = current().points;
    points.insert(points.end(), {x, y, z});
    return uint32_t(points.size() / 3 - 1);
}

uint32_t Object::addTriangle(uint32_t a, uint32_t b, uint32_t c, uint16_t flags) { return addPolygon({a, b, c}, flags); }

uint32_t Object::addPolygon(const std::vector<uint32_t>& corners, uint16_t flags) {
    if (corners.size() > 0x3FF) throw std::invalid_argument("a polygon of more than 1023 corners");
    std::vector<Polygon>& polygons = current().polygons;
    polygons.push_back({corners, flags});
    return uint32_t(polygons.size() - 1);
}

void Object::setPolygonType(const std::string& type) { current().polygonType = type; }

uint16_t Object::addTag(const std::string& name) {
    tags_.push_back(name);
    return uint16_t(tags_.size() - 1);
}

void Object::tagPolygon(const std::string& type, uint32_t triangle, uint16_t tag) {
    auto& polygonTags = current().polygonTags;
    for (auto& [kind, pairs] : polygonTags)
        if (kind == type) {
            pairs.emplace_back(triangle, tag);
            return;
        }
    polygonTags.push_back({type, {{triangle, tag}}});
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
    current().uvMaps.push_back({name, {}});
    return current().uvMaps.back();
}

VertexMap& Object::addVertexMap(const std::string& type, const std::string& name, uint16_t dimension) {
    current().vertexMaps.push_back({type, name, dimension, {}});
    return current().vertexMaps.back();
}

PolygonMap& Object::addPolygonMap(const std::string& type, const std::string& name, uint16_t dimension) {
    current().polygonMaps.push_back({type, name, dimension, {}});
    return current().polygonMaps.back();
}

Layer& Object::addLayer(uint16_t number, const std::string& name) {
    layers_.emplace_back();
    layers_.back().header.number = number;
    layers_.back().header.name = name;
    return layers_.back().header;
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

Chunk vertexMapChunk(const VertexMap& map) {
    IffBuffer b;
    b.id4(map.type);
    b.u2(map.dimension);
    b.s0(map.name);
    for (const auto& [point, values] : map.entries) {
        if (values.size() != map.dimension) throw std::invalid_argument("a vertex map entry of the wrong dimension");
        b.vx(point);
        for (float value : values) b.f4(value);
    }
    return finish("VMAP", b);
}

Chunk uvMapChunk(const UVMap& map) {
    VertexMap txuv{"TXUV", map.name, 2, {}};
    for (const auto& [point, uv] : map.entries) txuv.entries.push_back({point, {uv.first, uv.second}});
    return vertexMapChunk(txuv);
}

Chunk polygonMapChunk(const PolygonMap& map) {
    IffBuffer b;
    b.id4(map.type);
    b.u2(map.dimension);
    b.s0(map.name);
    for (const PolygonMap::Entry& entry : map.entries) {
        if (entry.values.size() != map.dimension) throw std::invalid_argument("a polygon map entry of the wrong dimension");
        b.vx(entry.point);
        b.vx(entry.polygon);
        for (float value : entry.values) b.f4(value);
    }
    return finish("VMAD", b);
}

Chunk layerChunk(const Layer& layer) {
    IffBuffer b;
    b.u2(layer.number);
    b.u2(layer.flags);
    for (float value : layer.pivot) b.f4(value);
    b.s0(layer.name);
    if (layer.parent >= 0) b.u2(uint16_t(layer.parent));
    return finish("LAYR", b);
}

std::vector<Chunk> Object::chunks() const {
    std::vector<Chunk> out;
    if (!tags_.empty()) {
        IffBuffer b;
        for (const std::string& tag : tags_) b.s0(tag);
        out.push_back(finish("TAGS", b));
    }
    for (const LayerContent& layer : layers_) {
        out.push_back(layerChunk(layer.header));
        IffBuffer points;
        for (float value : layer.points) points.f4(value);
        out.push_back(finish("PNTS", points));
        for (const UVMap& map : layer.uvMaps) out.push_back(uvMapChunk(map));
        for (const VertexMap& map : layer.vertexMaps) out.push_back(vertexMapChunk(map));
        if (!layer.polygons.empty()) {
            IffBuffer b;
            b.id4(layer.polygonType);
            for (const Polygon& polygon : layer.polygons) {
                b.u2(uint16_t(polygon.corners.size() | (polygon.flags << 10)));
                for (uint32_t corner : polygon.corners) b.vx(corner);
            }
            out.push_back(finish("POLS", b));
        }
        for (const auto& [type, pairs] : layer.polygonTags) {
            IffBuffer b;
            b.id4(type);
            for (const auto& [polygon, tag] : pairs) {
                b.vx(polygon);
                b.u2(tag);
            }
            out.push_back(finish("PTAG", b));
        }
        for (const PolygonMap& map : layer.polygonMaps) out.push_back(polygonMapChunk(map));
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
