#include "scenes.h"

#include <cmath>
#include <initializer_list>

#include "exp_writer.h"

namespace content::glint {
namespace {

using namespace content::exp;

constexpr float pi = 3.14159265f;

VectorKey key(float frame, float x, float y, float z, float tension = 0, float continuity = 0, float bias = 0) {
    VectorKey k;
    k.frame = frame;
    k.x = x;
    k.y = y;
    k.z = z;
    k.tension = tension;
    k.continuity = continuity;
    k.bias = bias;
    return k;
}

// A rotation of `degrees` about a unit axis, as a key at `frame`.
RotationKey turn(float frame, float ax, float ay, float az, float degrees) {
    float half = degrees * pi / 360.0f, s = std::sin(half);
    RotationKey k;
    k.frame = frame;
    k.w = std::cos(half);
    k.x = ax * s;
    k.y = ay * s;
    k.z = az * s;
    return k;
}

// A steady spin about a unit axis from an absolute starting turn: one key every `step`
// frames, each turning `degreesPerFrame * step` further (kept under half a turn, so every key
// means the short way round).
std::vector<RotationKey> spin(float ax, float ay, float az, float degreesPerFrame, float lastFrame, float step = 20.0f,
                              RotationKey start = turn(0, 0, 0, 1, 0)) {
    std::vector<RotationKey> keys{start};
    keys.front().frame = 0;
    for (float frame = step; frame <= lastFrame + step; frame += step) keys.push_back(turn(frame, ax, ay, az, degreesPerFrame * step));
    return keys;
}

// The same path shifted (a light riding along with a camera).
std::vector<VectorKey> shifted(std::vector<VectorKey> keys, float dx, float dy, float dz) {
    for (VectorKey& k : keys) k.x += dx, k.y += dy, k.z += dz;
    return keys;
}

Material surface(const std::string& name, const std::string& texture, const std::string& reflection, float r, float g,
                 float b, float opacity, uint8_t blend, bool twoSided = false) {
    Material m = material(name, texture, r, g, b);
    m.reflection = reflection;
    m.opacity = still(opacity);
    m.blendMode = blend;
    m.twoSided = twoSided;
    m.secondName = name;
    return m;
}

// --- Shapes -----------------------------------------------------------------------------------

// Two triangles for every cell of a grid of (across + 1) x (down + 1) vertices stored row by
// row, each vertex with its own texture coordinate.
void gridFaces(Mesh& m, int across, int down) {
    auto at = [&](int i, int j) { return j * (across + 1) + i; };
    for (int j = 0; j < down; ++j)
        for (int i = 0; i < across; ++i) {
            int a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
            m.faces.push_back({a, b, c, 0});
            m.faces.push_back({a, c, d, 0});
            m.textureFaces.push_back({a, b, c});
            m.textureFaces.push_back({a, c, d});
        }
}

Mesh sphere(const std::string& name, float radius, int rings, int segments) {
    Mesh m;
    m.name = name;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            float polar = pi * float(r) / float(rings), around = 2 * pi * float(s) / float(segments);
            m.vertices.push_back({radius * std::sin(polar) * std::cos(around), radius * std::sin(polar) * std::sin(around),
                                  radius * std::cos(polar)});
            m.textureCoordinates.push_back({float(s) / float(segments), 1.0f - float(r) / float(rings)});
        }
    auto at = [&](int r, int s) { return r * (segments + 1) + s; };
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            int a = at(r, s), b = at(r + 1, s), c = at(r + 1, s + 1), d = at(r, s + 1);
            if (r > 0) {
                m.faces.push_back({a, b, d, 0});
                m.textureFaces.push_back({a, b, d});
            }
            if (r < rings - 1) {
                m.faces.push_back({b, c, d, 0});
                m.textureFaces.push_back({b, c, d});
            }
        }
    return m;
}

// A long two-ended crystal: a ring of `sides` points between two tips on the z axis.
Mesh crystal(const std::string& name, float radius, float height, int sides) {
    Mesh m;
    m.name = name;
    m.vertices.push_back({0, 0, height * 0.5f});
    m.vertices.push_back({0, 0, -height * 0.5f});
    m.textureCoordinates = {{0.5f, 1.0f}, {0.5f, 0.0f}};
    for (int s = 0; s < sides; ++s) {
        float a = 2 * pi * float(s) / float(sides);
        m.vertices.push_back({radius * std::cos(a), radius * std::sin(a), height * 0.1f * std::sin(3.0f * a)});
        m.textureCoordinates.push_back({0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::sin(a)});
    }
    for (int s = 0; s < sides; ++s) {
        int a = 2 + s, b = 2 + (s + 1) % sides;
        m.faces.push_back({0, a, b, 0});
        m.faces.push_back({1, b, a, 0});
        m.textureFaces.push_back({0, a, b});
        m.textureFaces.push_back({1, b, a});
    }
    return m;
}

// An open tube standing on z = 0, its `sides`-cornered cross-section turning by `twist`
// degrees from foot to top.
Mesh twistedColumn(const std::string& name, float radius, float height, int sides, float twist, int stacks) {
    Mesh m;
    m.name = name;
    for (int k = 0; k <= stacks; ++k)
        for (int s = 0; s <= sides; ++s) {
            float along = float(k) / float(stacks);
            float a = 2 * pi * float(s) / float(sides) + twist * pi / 180.0f * along;
            float bulge = 1.0f + 0.25f * std::sin(along * pi);
            m.vertices.push_back({radius * bulge * std::cos(a), radius * bulge * std::sin(a), height * along});
            m.textureCoordinates.push_back({float(s) / float(sides), along * 3.0f});
        }
    gridFaces(m, sides, stacks);
    return m;
}

// A square of ground `size` across, rolling gently, its picture repeated `repeats` times.
Mesh ground(const std::string& name, float size, int cells, float roll, float repeats) {
    Mesh m;
    m.name = name;
    for (int j = 0; j <= cells; ++j)
        for (int i = 0; i <= cells; ++i) {
            float u = float(i) / float(cells), v = float(j) / float(cells);
            float x = (u - 0.5f) * size, y = (v - 0.5f) * size;
            float z = roll * (std::sin(u * 2 * pi * 2.0f) * std::cos(v * 2 * pi * 1.5f));
            m.vertices.push_back({x, y, z});
            m.textureCoordinates.push_back({u * repeats, v * repeats});
        }
    gridFaces(m, cells, cells);
    return m;
}

Mesh placed(Mesh m, int identifier, int parent, int materialIndex, float x, float y, float z) {
    m.identifier = identifier;
    m.parentIdentifier = parent;
    m.material = materialIndex;
    m.position = still(x, y, z);
    m.scale = still(1, 1, 1);
    return m;
}

NullObject target(const std::string& name, int identifier, int parent, std::vector<VectorKey> path) {
    NullObject n;
    n.name = name;
    n.identifier = identifier;
    n.parentIdentifier = parent;
    n.position = std::move(path);
    return n;
}

Camera flyingCamera(const std::string& target, int identifier, std::vector<VectorKey> path, float fieldOfView) {
    Camera c = camera("Camera01", target, 0, 0, 0, fieldOfView);
    c.identifier = identifier;
    c.position = std::move(path);
    return c;
}

Light ridingLight(int identifier, const std::vector<VectorKey>& cameraPath) {
    Light l = light("Omni01", 0, 0, 0);
    l.identifier = identifier;
    l.position = shifted(cameraPath, 0, 0, 250);
    return l;
}

// --- The scenes ---------------------------------------------------------------------------

// 56-82 s, frames 0 to about 200: a torus turning over rolling tiles inside a carousel of
// crystals, the camera swooping in through the ring. Its vertex normals are drawn too.
std::vector<uint8_t> crystalRing() {
    Writer w;
    w.add(surface("Material #1", "kalju3512.jpg", "", 1, 1, 1, 1, 0));
    w.add(surface("rim", "", "sotku2.jpg", 1, 0.7f, 0.3f, 0.8f, 1));
    w.add(surface("crystal", "", "skymap.jpg", 0.6f, 0.8f, 1, 0.55f, 3, true));
    w.add(surface("tiles", "square.jpg", "", 1, 1, 1, 1, 0));

    Mesh core = placed(torus("core", 90, 35, 24, 12), 1, -1, 0, 0, 0, 70);
    core.rotation = spin(0, 0, 1, 1.2f, 220, 20, turn(0, 1, 0, 0, 70));
    w.add(core);
    Mesh carousel = placed(torus("carousel", 320, 6, 48, 6), 2, -1, 1, 0, 0, 0);
    carousel.rotation = spin(0, 0, 1, 0.6f, 220);
    w.add(carousel);
    for (int i = 0; i < 8; ++i) {
        float a = 2 * pi * float(i) / 8.0f;
        Mesh c = placed(crystal("crystal" + std::to_string(i + 1), 28, 110, 6), 3 + i, 2, 2, 320 * std::cos(a), 320 * std::sin(a), 10);
        c.rotation = spin(0, 0, 1, 2.0f + 0.3f * float(i), 220);
        c.scale = {key(0, 1, 1, 1), key(100, 1.3f, 1.3f, 1.5f), key(200, 1, 1, 1)};
        w.add(c);
    }
    w.add(placed(ground("ground", 1800, 10, 40, 6), 11, -1, 3, 0, 0, -160));

    std::vector<VectorKey> flight{key(0, 0, -1400, 520), key(60, -760, -520, 260, 0, 0, 0.3f), key(120, -240, 140, 90),
                                  key(170, 260, 420, 160), key(210, 620, 700, 340)};
    w.add(target("focus", 12, -1, {key(0, 0, 0, 60), key(120, 120, 200, 40), key(210, 0, 0, 80)}));
    w.add(target("beacon", 13, 1, {key(0, 0, 0, 120)}));
    w.add(flyingCamera("focus", 14, flight, 1.05f));
    w.add(ridingLight(15, flight));
    return w.bytes();
}

// 56-82 s, frames 0 to about 520, laid over the crystal ring: a glowing sun whose planets
// and their moons hang on it and wheel round.
std::vector<uint8_t> orbits() {
    Writer w;
    w.add(surface("Material #1", "yellowshitred.jpg", "", 1, 1, 1, 0.7f, 1));
    Material planet = surface("planet", "", "", 0.3f, 0.6f, 1.0f, 0.6f, 2);
    planet.diffuse = {key(0, 0.3f, 0.6f, 1.0f), key(250, 1.0f, 0.4f, 0.2f), key(520, 0.3f, 0.6f, 1.0f)};
    planet.opacity = {{0, 0.4f}, {260, 0.8f}, {520, 0.4f}};
    w.add(planet);
    w.add(surface("moon", "", "dust.jpg", 1, 1, 1, 0.5f, 0, true));

    Mesh sun = placed(sphere("sun", 70, 14, 24), 1, -1, 0, 0, 0, 0);
    sun.rotation = spin(0, 0, 1, 0.9f, 540);
    w.add(sun);
    const float distances[3] = {190, 290, 380}, sizes[3] = {28, 36, 22};
    int id = 2;
    for (int p = 0; p < 3; ++p) {
        float a = 2.1f * float(p);
        int planetId = id++;
        Mesh body = placed(sphere("planet" + std::to_string(p + 1), sizes[p], 10, 16), planetId, 1, 1,
                           distances[p] * std::cos(a), distances[p] * std::sin(a), 30.0f * float(p - 1));
        body.rotation = spin(0, 0, 1, 3.0f - float(p), 540);
        w.add(body);
        for (int m = 0; m < 2; ++m) {
            float b = pi * float(m);
            w.add(placed(sphere("moon" + std::to_string(p + 1) + std::to_string(m + 1), 8, 6, 10), id++, planetId, 2,
                         (sizes[p] + 30) * std::cos(b), (sizes[p] + 30) * std::sin(b), 10));
        }
    }
    w.add(target("focus", id++, -1, {key(0, 0, 0, 0), key(260, 40, -30, 20), key(520, 0, 0, 0)}));
    w.add(target("antenna", id++, 2, {key(0, 0, 0, 40)}));
    std::vector<VectorKey> orbit;
    for (int k = 0; k <= 8; ++k) {
        float a = 2 * pi * float(k) / 8.0f;
        orbit.push_back(key(65.0f * float(k), 720 * std::cos(a), 720 * std::sin(a), 260 + 120 * std::sin(2 * a)));
    }
    w.add(flyingCamera("focus", id++, orbit, 1.0f));
    Light sunlight = light("Omni01", 0, 0, 0);
    sunlight.identifier = id;
    sunlight.position = {key(0, 400, -500, 500), key(520, -400, -500, 500)};
    w.add(sunlight);
    return w.bytes();
}

// 82-122 s, frames 0 to about 200: twisted chrome towers on a panelled floor, a ring of light
// turning over them, the camera weaving between the towers.
std::vector<uint8_t> towers() {
    Writer w;
    w.add(surface("Material #1", "panels.jpg", "", 1, 1, 1, 1, 0));
    w.add(surface("chrome", "", "skymap.jpg", 1, 1, 1, 1, 0));
    w.add(surface("halo", "sc2.jpg", "", 1, 1, 1, 0.8f, 1, true));

    w.add(placed(ground("floor", 2600, 12, 0, 8), 1, -1, 0, 0, 0, 0));
    int id = 2;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            float height = 320 + 140 * float((i * 2 + j * 3) % 4);
            const int towerId = id++;
            Mesh tower = placed(twistedColumn("tower" + std::to_string(towerId - 1), 70, height, 5, 120, 12), towerId, 1,
                                1, (float(i) - 1) * 480, (float(j) - 1) * 480, 0);
            tower.rotation = spin(0, 0, 1, (i + j) % 2 ? 0.8f : -0.8f, 220);
            w.add(tower);
        }
    Mesh halo = placed(torus("halo", 200, 14, 40, 8), id++, -1, 2, 0, 0, 760);
    halo.rotation = spin(1, 0, 0, 2.5f, 220);
    halo.position = {key(0, 0, 0, 760), key(100, 0, 0, 520), key(205, 0, 0, 760)};
    w.add(halo);
    w.add(target("ahead", id++, -1, {key(0, 0, 0, 300), key(70, 240, 0, 260), key(140, 0, 480, 300), key(210, 0, 0, 500)}));
    w.add(target("crown", id++, 2, {key(0, 0, 0, 600)}));
    std::vector<VectorKey> flight{key(0, -1500, -1300, 900), key(70, -700, -420, 240), key(110, -240, 240, 180),
                                  key(150, 280, 120, 220), key(210, 1200, 1000, 900)};
    w.add(flyingCamera("ahead", id++, flight, 1.1f));
    w.add(ridingLight(id, flight));
    return w.bytes();
}

// 136-157 s: the show plays frames 252 to 273 of it, slowly: a gyroscope of nested rings, each
// turning inside the one that carries it, round a pulsing heart.
std::vector<uint8_t> gyroscope() {
    Writer w;
    w.add(surface("Material #1", "water2.jpg", "", 1, 1, 1, 1, 0, true));
    w.add(surface("brass", "", "sotku2.jpg", 1, 0.8f, 0.4f, 1, 0));
    w.add(surface("glow", "", "", 0.4f, 0.9f, 1.0f, 0.7f, 2, true));
    Material heart = surface("heart", "", "", 1.0f, 0.25f, 0.15f, 0.6f, 3);
    heart.opacity = {{240, 0.3f}, {262, 0.9f}, {285, 0.3f}};
    w.add(heart);

    Mesh outer = placed(torus("outer", 260, 16, 48, 10), 1, -1, 0, 0, 0, 0);
    outer.rotation = spin(1, 0, 0, 3.0f, 300);
    w.add(outer);
    Mesh middle = placed(torus("middle", 200, 12, 40, 8), 2, 1, 1, 0, 0, 0);
    middle.rotation = spin(0, 1, 0, 4.0f, 300);
    w.add(middle);
    Mesh inner = placed(torus("inner", 140, 10, 32, 8), 3, 2, 2, 0, 0, 0);
    inner.rotation = spin(1, 0, 0, 5.0f, 300);
    w.add(inner);
    Mesh core = placed(sphere("heart", 50, 12, 18), 4, 3, 3, 0, 0, 0);
    core.scale = {key(240, 0.8f, 0.8f, 0.8f), key(262, 1.3f, 1.3f, 1.3f), key(285, 0.8f, 0.8f, 0.8f)};
    w.add(core);
    w.add(target("centre", 5, -1, {key(0, 0, 0, 0)}));
    w.add(target("axle", 6, 1, {key(0, 260, 0, 0)}));
    std::vector<VectorKey> drift{key(0, 0, -1600, 600), key(240, -300, -800, 320), key(262, 0, -680, 180),
                                 key(285, 300, -720, 260), key(300, 400, -900, 400)};
    w.add(flyingCamera("centre", 7, drift, 1.0f));
    w.add(ridingLight(8, drift));
    return w.bytes();
}

// 156-233 s, frames 0 to about 510 (twice from 0): a corridor of square gates the camera runs
// down, shards of light beside it. The run-scene effect re-textures the first material and
// pushes, spins and fades every mesh.
std::vector<uint8_t> corridor() {
    Writer w;
    w.add(surface("gates", "yellowshitred.jpg", "", 1, 1, 1, 1, 0, true));
    w.add(surface("shards", "", "skymap.jpg", 0.8f, 0.9f, 1.0f, 0.7f, 1, true));

    int id = 1;
    for (int k = 0; k < 14; ++k) {
        Mesh gate = placed(torus("gate" + std::to_string(k + 1), 240, 30, 4, 4), id++, -1, 0, 0, 320.0f * float(k), 0);
        gate.rotation = {turn(0, 1, 0, 0, 90)};
        gate.rotation.push_back(turn(510, 0, 0, 1, 90));
        w.add(gate);
    }
    for (int k = 0; k < 8; ++k) {
        float side = k % 2 ? 1.0f : -1.0f;
        Mesh shard = placed(box("shard" + std::to_string(k + 1), 20, 60, 120), id++, -1, 1, side * 420, 560.0f * float(k) + 150, 80.0f * float(k % 3) - 80);
        shard.rotation = spin(0.6f, 0, 0.8f, 1.5f * side, 520, 25);
        w.add(shard);
    }
    std::vector<VectorKey> run, ahead;
    for (int k = 0; k <= 6; ++k) {
        float frame = 85.0f * float(k), y = -700 + 680.0f * float(k);
        run.push_back(key(frame, 90 * std::sin(1.7f * float(k)), y, 60 * std::cos(1.3f * float(k))));
        ahead.push_back(key(frame, 0, y + 700, 0));
    }
    w.add(target("ahead", id++, -1, ahead));
    w.add(target("exit", id++, 14, {key(0, 0, 0, 0)}));
    w.add(flyingCamera("ahead", id++, run, 1.2f));
    w.add(ridingLight(id, run));
    return w.bytes();
}

}  // namespace

std::vector<SceneFile> showScenes() {
    return {{"kurwa2_.exp", crystalRing()},
            {"kurwa.exp", towers()},
            {"scene6.exp", gyroscope()},
            {"freak.exp", orbits()},
            {"nowheretorun.exp", corridor()}};
}

}  // namespace content::glint
