#include "exp_writer.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace content::exp {

namespace {

enum RecordType : int32_t { meshRecord = 1, cameraRecord = 2, lightRecord = 3, nullRecord = 5, materialRecord = 10 };

}  // namespace

Writer::Writer(const std::string& header) {
    if (header.size() != 8) throw std::invalid_argument("an .exp header has 8 bytes");
    bytes_.assign(header.begin(), header.end());
}

void Writer::integer(int32_t value) {
    uint32_t bits = uint32_t(value);
    for (int i = 0; i < 4; ++i) bytes_.push_back(uint8_t(bits >> (8 * i)));
}

void Writer::real(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    integer(int32_t(bits));
}

void Writer::name(const std::string& text) {
    if (text.size() > 31) throw std::invalid_argument("name longer than 31 characters: " + text);
    size_t start = bytes_.size();
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.resize(start + 32, 0);
}

void Writer::track(const std::vector<VectorKey>& keys) {
    integer(int32_t(keys.size()));
    for (const VectorKey& k : keys)
        for (float v : {k.x, k.y, k.z, k.tension, k.continuity, k.bias, k.frame}) real(v);
}

void Writer::track(const std::vector<RotationKey>& keys) {
    integer(int32_t(keys.size()));
    for (const RotationKey& k : keys)
        for (float v : {k.w, k.x, k.y, k.z, k.tension, k.continuity, k.bias, k.frame}) real(v);
}

void Writer::track(const std::vector<EnvelopeKey>& keys) {
    integer(int32_t(keys.size()));
    for (const EnvelopeKey& k : keys) {
        real(k.frame);
        real(k.value);
    }
}

void Writer::add(const Mesh& m) {
    if (!m.textureCoordinates.empty() && m.textureFaces.size() != m.faces.size())
        throw std::invalid_argument("mesh " + m.name + ": one texture face is needed for every face");
    offsets_.push_back(bytes_.size());
    integer(meshRecord);
    name(m.name);
    integer(m.identifier);
    integer(int32_t(m.vertices.size()));
    integer(int32_t(m.textureCoordinates.size()));
    integer(int32_t(m.faces.size()));
    integer(m.parentIdentifier);
    integer(m.material);
    for (float p : m.pivot) real(p);
    for (const auto& v : m.vertices)
        for (float c : v) real(c);
    for (const auto& t : m.textureCoordinates)
        for (float c : t) real(c);
    if (!m.textureCoordinates.empty())
        for (const auto& f : m.textureFaces)
            for (int32_t i : f) integer(i);
    for (const auto& f : m.faces)
        for (int32_t i : f) integer(i);
    track(m.position);
    track(m.rotation);
    track(m.scale);
}

void Writer::add(const Camera& c) {
    offsets_.push_back(bytes_.size());
    integer(cameraRecord);
    name(c.name);
    name(c.target);
    integer(c.identifier);
    integer(c.parentIdentifier);
    track(c.position);
    track(c.fieldOfView);
    track(c.roll);
}

void Writer::add(const Light& l) {
    offsets_.push_back(bytes_.size());
    integer(lightRecord);
    name(l.name);
    integer(l.identifier);
    integer(l.parentIdentifier);
    bytes_.resize(bytes_.size() + 28, 0);
    track(l.position);
}

void Writer::add(const NullObject& n) {
    offsets_.push_back(bytes_.size());
    integer(nullRecord);
    name(n.name);
    integer(n.identifier);
    integer(n.parentIdentifier);
    track(n.position);
}

void Writer::add(const Material& m) {
    offsets_.push_back(bytes_.size());
    integer(materialRecord);
    name(m.name);
    name(m.texture);
    track(m.offsetU);
    track(m.offsetV);
    name(m.secondName);
    name(m.reflection);
    integer(m.kept);
    bytes_.push_back(m.twoSided ? 1 : 0);
    track(m.colour1);
    track(m.diffuse);
    track(m.colour3);
    track(m.opacity);
    bytes_.push_back(m.blendMode);
}

void Writer::addWord(int32_t word) {
    offsets_.push_back(bytes_.size());
    integer(word);
}

Mesh box(const std::string& name, float hx, float hy, float hz) {
    Mesh m;
    m.name = name;
    // Each side: its outward axis and two in-plane axes (u, v) with u x v = outward.
    struct Side {
        int axis;
        float sign;
    };
    const Side sides[6] = {{0, 1}, {0, -1}, {1, 1}, {1, -1}, {2, 1}, {2, -1}};
    const float half[3] = {hx, hy, hz};
    m.textureCoordinates = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (const Side& side : sides) {
        int u = (side.axis + 1) % 3, v = (side.axis + 2) % 3;
        int first = int(m.vertices.size());
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& c : corners) {
            std::array<float, 3> p{};
            p[size_t(side.axis)] = side.sign * half[side.axis];
            // On the negative side the u axis is mirrored so the winding stays outward.
            p[size_t(u)] = c[0] * side.sign * half[u];
            p[size_t(v)] = c[1] * half[v];
            m.vertices.push_back(p);
        }
        m.faces.push_back({first, first + 1, first + 2, 0});
        m.faces.push_back({first, first + 2, first + 3, 0});
        m.textureFaces.push_back({0, 1, 2});
        m.textureFaces.push_back({0, 2, 3});
    }
    return m;
}

Mesh torus(const std::string& name, float radius, float tubeRadius, int rings, int sides) {
    Mesh m;
    m.name = name;
    const float twoPi = 6.28318530718f;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= sides; ++s) {
            float a = twoPi * float(r) / float(rings), b = twoPi * float(s) / float(sides);
            float d = radius + tubeRadius * std::cos(b);
            m.vertices.push_back({d * std::cos(a), d * std::sin(a), tubeRadius * std::sin(b)});
            m.textureCoordinates.push_back({float(r) / float(rings), float(s) / float(sides)});
        }
    auto at = [&](int r, int s) { return r * (sides + 1) + s; };
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < sides; ++s) {
            int a = at(r, s), b = at(r + 1, s), c = at(r + 1, s + 1), d = at(r, s + 1);
            m.faces.push_back({a, b, c, 1});
            m.faces.push_back({a, c, d, 1});
            m.textureFaces.push_back({a, b, c});
            m.textureFaces.push_back({a, c, d});
        }
    return m;
}

std::vector<VectorKey> still(float x, float y, float z) {
    VectorKey k;
    k.x = x;
    k.y = y;
    k.z = z;
    return {k};
}

std::vector<EnvelopeKey> still(float value) { return {EnvelopeKey{0, value}}; }

NullObject nullObject(const std::string& name, float x, float y, float z) {
    NullObject n;
    n.name = name;
    n.position = still(x, y, z);
    return n;
}

Light light(const std::string& name, float x, float y, float z) {
    Light l;
    l.name = name;
    l.position = still(x, y, z);
    return l;
}

Camera camera(const std::string& name, const std::string& target, float x, float y, float z, float fieldOfView) {
    Camera c;
    c.name = name;
    c.target = target;
    c.position = still(x, y, z);
    c.fieldOfView = still(fieldOfView);
    return c;
}

Material material(const std::string& name, const std::string& texture, float r, float g, float b) {
    Material m;
    m.name = name;
    m.texture = texture;
    m.diffuse = still(r, g, b);
    m.opacity = still(1);
    return m;
}

}  // namespace content::exp
