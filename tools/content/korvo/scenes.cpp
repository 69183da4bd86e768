// The scenes of korvo's sample show. Each section of the music (song.h) is one scene of 8
// seconds, started with the scene clock at 0, so its keys fall on the music's beats (every
// half second) and bars (every two seconds). The starfield scene stays behind all of them.
//
// Conventions the player gives these files:
//   - a point is (x, y, z) with y up; a camera at heading 0 looks along +z;
//   - a camera's or light's target is always the scene's first object, so a scene with
//     targets lists the object it is about first, and keeps it near the origin;
//   - sprites are drawn without the depth test, over whatever was drawn before them: a
//     scene lists its sprite objects before the solid ones they lie behind;
//   - lights are set mirrored through the origin: a light written at p shines from -p, and a
//     light without a target shines along the negated z axis of its heading and pitch
//     (lightAt and shineAlong below take world positions and directions);
//   - "ObjectDissolve" hides an object only at exactly 1.0 (it fades only sprites), and an
//     object "UnseenByCamera" stays hidden only while its dissolve is 1.0.
#include <algorithm>
#include <cmath>

#include "picture.h"
#include "show.h"
#include "song.h"

namespace content::korvo {

namespace {

using lws::Envelope;
using lws::Key;
using lws::Motion;

constexpr float pi = 3.14159265358979f;
constexpr float length = patternSeconds;   // a section
constexpr float beat = beatSeconds;
constexpr float bar = barSeconds;

enum Channel { positionX, positionY, positionZ, heading, pitch, bank, scale };

struct Point {
    float x, y, z;
};

// ---- Envelopes ---------------------------------------------------------------------------

// From `from` to `to` at an even pace between two times.
Envelope ramp(float from, float to, float start = 0.0f, float end = length) {
    return {lws::linear(from, start), lws::linear(to, end)};
}

// Turns at a steady rate: `turns` whole turns in the section.
Envelope spin(float turns, float start = 0.0f) { return ramp(start, start + 2.0f * pi * turns); }

// At every `every` seconds from `first` on, the value leaps to `peak` and falls back to
// `rest` within `decay` seconds, holding there until the next strike (linear fall, stepped
// hold): a light or a size that strikes with the drums.
Envelope strikes(float rest, float peak, float decay, float first = 0.0f, float last = length, float every = beat) {
    Envelope e;
    if (first > 0.0f) e.keys.push_back(lws::stepped(rest, 0.0f));
    for (float t = first; t < last - 1e-3f; t += every) {
        e.keys.push_back(lws::linear(peak, t));
        e.keys.push_back(lws::stepped(rest, t + decay));
    }
    return e;
}

// A swing between two values, at `low` every `period` (a beat unless given) and `high`
// halfway between, eased in and out by Bezier keys with flat tangents.
Envelope swing(float low, float high, float period = beat) {
    Envelope e;
    for (float t = 0.0f; t <= length + 1e-3f; t += period / 2.0f) {
        bool down = std::fmod(t + 1e-3f, period) < period / 4.0f;
        e.keys.push_back(lws::bezier(down ? low : high, t, 0.0f, 0.0f));
    }
    return e;
}

// A rocking between -amplitude and +amplitude every `period` seconds: Hermite keys at the
// turning points, with flat tangents there.
Envelope rocking(float amplitude, float period, float offset = 0.0f) {
    Envelope e;
    for (int i = 0; float(i) * period / 2.0f <= length + period / 2.0f; ++i)
        e.keys.push_back(lws::hermite(offset + (i % 2 ? -amplitude : amplitude), float(i) * period / 2.0f, 0.0f, 0.0f));
    return e;
}

// A value held, then changed at the given times (stepped keys).
Envelope steps(std::initializer_list<std::pair<float, float>> timesAndValues) {
    Envelope e;
    for (auto [time, value] : timesAndValues) e.keys.push_back(lws::stepped(value, time));
    return e;
}

// ---- Motions -----------------------------------------------------------------------------

// A circle around the y axis at height y, `turns` turns in the section (negative: the other
// way), starting at angle `phase`; TCB keys every twelfth of a turn, a spline that stays
// within a hair of the circle.
void orbit(Motion& m, float radius, float y, float turns, float phase) {
    m[positionX].keys.clear();
    m[positionZ].keys.clear();
    float step = length / std::max(1.0f, std::fabs(turns) * 12.0f);
    for (float t = -step; t <= length + step + 1e-3f; t += step) {
        float a = phase + 2.0f * pi * turns * t / length;
        m[positionX].keys.push_back(lws::tcb(radius * std::cos(a), t));
        m[positionZ].keys.push_back(lws::tcb(radius * std::sin(a), t));
    }
    m[positionY] = Envelope::constant(y);
}

// Heading and pitch of an item at `from` that looks at `at`.
std::pair<float, float> aim(Point from, Point at) {
    float dx = at.x - from.x, dy = at.y - from.y, dz = at.z - from.z;
    float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    return {std::atan2(dx, dz), std::asin(-dy / d)};
}

struct CameraKey {
    float time;
    Point eye, at;
};

// A camera flight through TCB keys: at each key the camera stands at `eye` and looks at
// `at` (for a camera without target). Headings are unwrapped so the camera never turns the
// long way round.
void flight(lws::Camera& camera, std::initializer_list<CameraKey> keys) {
    Motion& m = camera.motion;
    for (int c = positionX; c <= bank; ++c) m[size_t(c)].keys.clear();
    float lastHeading = 0.0f;
    bool first = true;
    for (const CameraKey& k : keys) {
        auto [h, p] = aim(k.eye, k.at);
        if (!first) {
            while (h - lastHeading > pi) h -= 2.0f * pi;
            while (h - lastHeading < -pi) h += 2.0f * pi;
        }
        first = false;
        lastHeading = h;
        m[positionX].keys.push_back(lws::tcb(k.eye.x, k.time));
        m[positionY].keys.push_back(lws::tcb(k.eye.y, k.time));
        m[positionZ].keys.push_back(lws::tcb(k.eye.z, k.time));
        m[heading].keys.push_back(lws::tcb(h, k.time));
        m[pitch].keys.push_back(lws::tcb(p, k.time));
        m[bank].keys.push_back(lws::tcb(0.0f, k.time));
    }
}

// A light that shines from world position p.
void lightAt(lws::Light& light, Point p) { light.motion.setPosition(-p.x, -p.y, -p.z); }

// A light that shines from where an orbit puts an object: the same circle, mirrored.
void lightOnOrbit(lws::Light& light, float radius, float y, float turns, float phase) {
    orbit(light.motion, radius, -y, turns, phase + pi);
}

// A directional light (or a spot without target) shining along (dx, dy, dz).
void shineAlong(lws::Light& light, Point d) {
    float n = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    light.motion.setRotation(std::atan2(-d.x, -d.z), std::asin(d.y / n), 0.0f);
}

// Red, green and blue envelopes that go through the given colours at the given times, by TCB
// keys, or by stepped keys that change the colour at once.
lws::Animated<3> colours(std::initializer_list<std::pair<float, Colour>> keys, bool stepped = false) {
    lws::Animated<3> animated;
    animated.envelopes.emplace();
    for (auto [time, c] : keys) {
        const float component[3] = {c.r, c.g, c.b};
        for (size_t i = 0; i < 3; ++i)
            (*animated.envelopes)[i].keys.push_back(stepped ? lws::stepped(component[i], time) : lws::tcb(component[i], time));
    }
    return animated;
}

// A colour a bar, following the chords (A minor violet, F blue, C cyan, G amber), changing
// on each bar's first beat.
lws::Animated<3> chordColours() {
    return colours({{0.0f * bar, {0.75f, 0.35f, 1.0f}},
                    {1.0f * bar, {0.3f, 0.45f, 1.0f}},
                    {2.0f * bar, {0.25f, 0.9f, 1.0f}},
                    {3.0f * bar, {1.0f, 0.6f, 0.2f}}},
                   true);
}

lws::Animated<1> animated(Envelope e) { return {{0.0f}, std::array<Envelope, 1>{std::move(e)}}; }
lws::Animated<1> fixed(float value) { return {{value}, std::nullopt}; }

lws::Scene sceneWithAmbient(Colour ambient, float intensity) {
    lws::Scene scene;
    scene.ambientColor = {ambient.r, ambient.g, ambient.b};
    scene.ambientIntensity = fixed(intensity);
    return scene;
}

// ---- The sections ------------------------------------------------------------------------

// Behind everything: stars on a far sphere, standing still (the cameras of the sections move).
lws::Scene stars() {
    lws::Scene scene = sceneWithAmbient({0.0f, 0.0f, 0.0f}, 0.0f);
    lws::Object& field = scene.addObject("starfield.lwo");
    field.dissolve = fixed(0.35f);
    scene.addCamera("Still");
    return scene;
}

// The title flies in out of the dark while the pads swell; a ring of sparks fades in around
// it, and spins up with the riser of the last bar.
lws::Scene intro() {
    lws::Scene scene = sceneWithAmbient({1.0f, 1.0f, 1.0f}, 0.1f);
    // Sprites are drawn over what is already there: the far core first, the title last.
    lws::Object& core = scene.addObject("nebula-core.lwo");
    core.motion.setPosition(0.0f, 0.0f, 6.0f);
    core.motion[heading] = spin(0.15f);
    core.dissolve = animated(ramp(1.0f, 0.55f, 0.0f, 6.0f));

    lws::Object& sparks = scene.addObject("sparks.lwo");
    sparks.motion.setRotation(0.0f, -0.35f, 0.0f);
    sparks.motion[heading] = {lws::tcb(0.0f, 0.0f), lws::tcb(1.2f, 6.0f), lws::tcb(5.0f, 8.0f)};
    sparks.motion[scale] = {lws::tcb(0.6f, 0.0f), lws::tcb(1.0f, 6.0f), lws::tcb(1.3f, 8.0f)};
    sparks.dissolve = animated({lws::linear(1.0f, 0.0f), lws::linear(0.85f, 2.0f), lws::linear(0.2f, 6.0f), lws::linear(0.0f, 8.0f)});

    lws::Object& title = scene.addObject("title.lwo");
    title.motion[heading] = rocking(0.22f, 4.0f);
    title.motion[positionY] = rocking(0.08f, 2.0f);

    lws::Light& sun = scene.addLight("Dawn", lws::LightType::Directional);
    shineAlong(sun, {0.3f, -0.4f, 1.0f});
    sun.color = colours({{0.0f, {0.4f, 0.2f, 0.8f}}, {6.0f, {1.0f, 0.8f, 0.5f}}});
    sun.intensity = animated(ramp(0.0f, 1.0f, 0.0f, 6.0f));

    lws::Camera& camera = scene.addCamera("Approach");
    flight(camera, {{0.0f, {0.0f, 1.2f, -26.0f}, {0.0f, 0.0f, 0.0f}},
                    {4.0f, {0.6f, 0.5f, -11.0f}, {0.0f, 0.0f, 0.0f}},
                    {6.0f, {-0.3f, 0.25f, -6.5f}, {0.0f, 0.0f, 0.0f}},
                    {8.0f, {0.0f, 0.1f, -4.6f}, {0.0f, 0.0f, 0.0f}}});
    return scene;
}

// Three flat-shaded crystals over a glass floor: the violet one turns in the middle under a
// spotlight that strikes with the kick, the others circle it, lit by a light that changes
// colour with the chords.
lws::Scene crystals() {
    lws::Scene scene = sceneWithAmbient({0.35f, 0.4f, 0.6f}, 0.25f);
    scene.gridSize = 1.0f;
    lws::Object& violet = scene.addObject("crystal-violet.lwo");
    violet.motion.setScale(1.7f);
    violet.motion[heading] = spin(0.5f);
    violet.motion[positionY] = rocking(0.15f, 2.0f, 0.2f);

    const char* circling[] = {"crystal-cyan.lwo", "crystal-amber.lwo"};
    for (int i = 0; i < 2; ++i) {
        lws::Object& crystal = scene.addObject(circling[i]);
        orbit(crystal.motion, 2.4f, 0.0f, 0.5f, pi * float(i));
        crystal.motion[heading] = spin(-1.0f, float(i));
        crystal.motion[bank] = rocking(0.3f, 4.0f);
        crystal.motion[positionY] = rocking(0.25f, 2.0f, -0.1f + 0.2f * float(i));
    }

    lws::Object& floor = scene.addObject("floor.lwo");
    floor.motion.setPosition(0.0f, -1.6f, 0.0f);

    lws::Light& spot = scene.addLight("Strike", lws::LightType::Spot);
    lightAt(spot, {0.0f, 6.0f, -1.0f});
    spot.targetFirstObject = true;
    spot.coneAngle = 0.5f;
    spot.edgeAngle = 0.35f;
    spot.color = {{1.0f, 0.95f, 0.9f}, std::nullopt};
    spot.intensity = animated(strikes(1.1f, 2.2f, 0.3f));

    lws::Light& chords = scene.addLight("Chords", lws::LightType::Point);
    lightOnOrbit(chords, 4.0f, 2.0f, -1.0f, 0.0f);
    chords.color = chordColours();
    chords.intensity = fixed(1.6f);

    lws::Light& counter = scene.addLight("Counter", lws::LightType::Point);
    lightOnOrbit(counter, 4.0f, 1.0f, -1.0f, pi);
    counter.color = {{0.3f, 0.85f, 0.8f}, std::nullopt};
    counter.intensity = animated(strikes(0.7f, 1.2f, 0.3f, beat, length, 2.0f * beat));

    lws::Camera& camera = scene.addCamera("Circling");
    camera.targetFirstObject = true;
    orbit(camera.motion, 6.4f, 2.2f, 0.3f, -pi / 2.0f - 0.9f);
    camera.motion[positionY] = {lws::tcb(3.2f, 0.0f), lws::tcb(1.6f, 8.0f)};
    return scene;
}

// The lattice ring tumbles through the arpeggios; three lights circle it, each marked by a
// glowing orb, their colours cycling round the hues.
lws::Scene lattice() {
    lws::Scene scene = sceneWithAmbient({0.3f, 0.3f, 0.4f}, 0.4f);
    lws::Object& ring = scene.addObject("lattice.lwo");
    ring.motion[heading] = spin(0.6f);
    ring.motion[pitch] = rocking(0.9f, 8.0f, 0.6f);
    ring.motion[bank] = {lws::bezier(0.0f, 0.0f, 0.0f, 0.6f), lws::bezier(0.7f, 4.0f, 0.0f, 0.0f),
                         lws::bezier(-0.2f, 8.0f, -0.4f, 0.0f)};
    ring.motion[scale] = strikes(1.0f, 1.06f, 0.25f, 0.0f, length, bar / 2.0f);

    const Colour start[3] = {{1.0f, 0.25f, 0.3f}, {0.25f, 1.0f, 0.4f}, {0.3f, 0.45f, 1.0f}};
    for (int i = 0; i < 3; ++i) {
        float phase = 2.0f * pi * float(i) / 3.0f, height = -0.9f + 0.9f * float(i);
        lws::Object& orb = scene.addObject("orb.lwo");
        orbit(orb.motion, 2.9f, height, 1.0f, phase);
        orb.motion[scale] = strikes(0.7f, 1.2f, 0.2f, beat * float(i), length, 3.0f * beat);

        lws::Light& light = scene.addLight("Orb" + std::to_string(i + 1), lws::LightType::Point);
        lightOnOrbit(light, 2.9f, height, 1.0f, phase);
        light.color = colours({{0.0f, start[i]}, {4.0f, start[(i + 1) % 3]}, {8.0f, start[(i + 2) % 3]}});
        light.intensity = animated(strikes(0.8f, 1.5f, 0.2f, beat * float(i), length, 3.0f * beat));
    }

    lws::Camera& camera = scene.addCamera("Dolly");
    flight(camera, {{0.0f, {0.0f, 0.8f, -8.0f}, {0.0f, 0.0f, 0.0f}},
                    {4.0f, {2.2f, 1.5f, -5.8f}, {0.0f, 0.0f, 0.0f}},
                    {8.0f, {-1.3f, 0.6f, -5.2f}, {0.0f, 0.2f, 0.0f}}});
    camera.motion[positionZ].keys = {lws::hermite(-8.0f, 0.0f, 0.0f, 1.2f), lws::hermite(-5.8f, 4.0f, 1.5f, 1.5f),
                                     lws::hermite(-5.2f, 8.0f, 0.4f, 0.0f)};
    return scene;
}

// The chrome ball swells into spikes on every beat of the melody (its morph target stays
// unseen); two additive halos turn around it and glass bubbles circle it.
lws::Scene chrome() {
    lws::Scene scene = sceneWithAmbient({0.4f, 0.4f, 0.5f}, 0.5f);
    lws::Object& blob = scene.addObject("blob.lwo");
    blob.morphTarget = 2;
    blob.morphAmount = animated(swing(0.0f, 1.0f));
    blob.motion[heading] = spin(0.4f);
    blob.motion[pitch] = rocking(0.3f, 4.0f);

    lws::Object& spikes = scene.addObject("spikes.lwo");
    spikes.unseenByCamera = true;
    spikes.dissolve = fixed(1.0f);

    const char* halos[] = {"halo-gold.lwo", "halo-cyan.lwo"};
    for (int i = 0; i < 2; ++i) {
        lws::Object& halo = scene.addObject(halos[i]);
        halo.motion.setRotation(0.0f, 1.25f - 0.5f * float(i), 0.3f * float(i));
        halo.motion[heading] = spin(i ? -0.5f : 0.35f);
        halo.motion[scale] = strikes(1.0f, 1.12f, 0.3f, 0.0f, length, i ? beat : 2.0f * beat);
    }

    for (int i = 0; i < 3; ++i) {
        lws::Object& bubble = scene.addObject("glass.lwo");
        orbit(bubble.motion, 2.7f, -0.6f + 0.6f * float(i), 0.35f, 2.0f * pi * float(i) / 3.0f);
        bubble.motion.setScale(0.33f);
    }

    lws::Light& key = scene.addLight("Key", lws::LightType::Directional);
    shineAlong(key, {0.4f, -0.5f, 0.8f});
    key.color = chordColours();
    key.intensity = fixed(1.2f);

    lws::Light& rim = scene.addLight("Rim", lws::LightType::Point);
    lightOnOrbit(rim, 5.0f, 1.5f, 0.5f, pi / 2.0f);
    rim.color = {{0.6f, 0.8f, 1.0f}, std::nullopt};
    rim.intensity = animated(strikes(0.6f, 1.2f, 0.3f, beat, length, 2.0f * beat));

    lws::Camera& camera = scene.addCamera("Orbit");
    camera.targetFirstObject = true;
    orbit(camera.motion, 5.6f, 1.2f, 0.2f, -pi / 2.0f + 0.6f);
    return scene;
}

// A galaxy of sprites: two winding arms around a golden core, turning slowly while the
// camera sweeps over it; the core glows brighter on each soft kick.
lws::Scene nebula() {
    lws::Scene scene = sceneWithAmbient({1.0f, 1.0f, 1.0f}, 0.1f);
    lws::Object& arms = scene.addObject("nebula-arms.lwo");
    arms.motion[heading] = spin(-0.12f);
    arms.motion[pitch] = Envelope::constant(0.15f);
    arms.dissolve = animated(swing(0.55f, 0.72f, bar));

    lws::Object& core = scene.addObject("nebula-core.lwo");
    core.motion[heading] = spin(-0.2f);
    core.motion[pitch] = Envelope::constant(0.15f);
    core.dissolve = animated(strikes(0.7f, 0.3f, 0.45f, 0.0f, length, bar / 2.0f));

    lws::Light& glow = scene.addLight("Glow", lws::LightType::Point);
    glow.color = {{1.0f, 0.8f, 0.5f}, std::nullopt};
    glow.intensity = fixed(1.0f);

    lws::Camera& camera = scene.addCamera("Sweep");
    flight(camera, {{0.0f, {0.0f, 9.0f, -3.5f}, {0.0f, 0.0f, 0.0f}},
                    {4.0f, {-4.5f, 4.0f, -6.5f}, {0.0f, 0.0f, 0.0f}},
                    {8.0f, {-1.5f, 3.6f, -7.5f}, {0.0f, 0.0f, 0.5f}}});
    return scene;
}

// The striped ribbon turns round a glass bubble with a light inside, swept by a spotlight
// whose colour follows the chords.
lws::Scene ribbon() {
    lws::Scene scene = sceneWithAmbient({0.4f, 0.35f, 0.5f}, 0.45f);
    lws::Object& band = scene.addObject("mobius.lwo");
    band.motion[heading] = spin(-0.5f);
    band.motion[pitch] = rocking(0.5f, 8.0f, 0.3f);
    band.motion[bank] = {lws::hermite(0.0f, 0.0f, 0.0f, 0.3f), lws::hermite(0.6f, 4.0f, 0.2f, -0.2f),
                         lws::hermite(0.0f, 8.0f, -0.3f, 0.0f)};

    lws::Object& bubble = scene.addObject("glass.lwo");
    bubble.motion.setScale(0.6f);
    bubble.motion[heading] = spin(0.3f);

    lws::Object& orb = scene.addObject("orb.lwo");
    orb.motion[scale] = strikes(1.0f, 1.5f, 0.3f);

    lws::Light& spot = scene.addLight("Sweep", lws::LightType::Spot);
    lightOnOrbit(spot, 6.0f, 4.0f, 0.5f, -pi / 2.0f);
    spot.targetFirstObject = true;
    spot.coneAngle = 0.45f;
    spot.edgeAngle = 0.3f;
    spot.color = chordColours();
    spot.intensity = animated(strikes(1.1f, 1.7f, 0.25f));

    lws::Light& inside = scene.addLight("Inside", lws::LightType::Point);
    inside.color = {{1.0f, 0.85f, 0.55f}, std::nullopt};
    inside.intensity = animated(strikes(0.5f, 1.0f, 0.3f));

    lws::Camera& camera = scene.addCamera("Around");
    flight(camera, {{0.0f, {-4.4f, 1.2f, -3.0f}, {0.0f, 0.0f, 0.0f}},
                    {4.0f, {0.0f, 2.4f, -4.8f}, {0.0f, 0.0f, 0.0f}},
                    {8.0f, {4.0f, 0.4f, -3.4f}, {0.0f, 0.0f, 0.0f}}});
    return scene;
}

// Everything together: the morphing chrome ball on the glass floor, inside the turning
// lattice, the crystals and halos around it, all the lights striking with the music.
lws::Scene finale() {
    lws::Scene scene = sceneWithAmbient({0.4f, 0.4f, 0.5f}, 0.45f);
    scene.gridSize = 2.0f;
    lws::Object& blob = scene.addObject("blob.lwo");
    blob.morphTarget = 2;
    blob.morphAmount = animated(swing(0.1f, 1.0f));
    blob.motion.setScale(0.85f);
    blob.motion[heading] = spin(0.5f);
    blob.motion[positionY] = Envelope::constant(0.2f);

    lws::Object& spikes = scene.addObject("spikes.lwo");
    spikes.unseenByCamera = true;
    spikes.dissolve = fixed(1.0f);

    lws::Object& fence = scene.addObject("lattice.lwo");
    fence.motion.setScale(1.8f);
    fence.motion[heading] = spin(-0.25f);
    fence.motion[positionY] = Envelope::constant(0.2f);

    lws::Object& halo = scene.addObject("halo-gold.lwo");
    halo.motion.setRotation(0.0f, 1.1f, 0.0f);
    halo.motion[heading] = spin(0.6f);
    halo.motion[positionY] = Envelope::constant(0.2f);
    halo.motion[scale] = strikes(0.75f, 0.9f, 0.3f);

    const char* crystals[] = {"crystal-violet.lwo", "crystal-cyan.lwo", "crystal-amber.lwo"};
    for (int i = 0; i < 3; ++i) {
        lws::Object& crystal = scene.addObject(crystals[i]);
        orbit(crystal.motion, 5.4f, 1.0f, 0.4f, 2.0f * pi * float(i) / 3.0f);
        crystal.motion[heading] = spin(1.0f, float(i));
    }

    lws::Object& floor = scene.addObject("floor.lwo");
    floor.motion.setPosition(0.0f, -1.6f, 0.0f);
    floor.motion.setScale(1.6f);

    lws::Light& spot = scene.addLight("Crown", lws::LightType::Spot);
    lightAt(spot, {0.0f, 8.0f, 0.0f});
    spot.targetFirstObject = true;
    spot.coneAngle = 0.6f;
    spot.edgeAngle = 0.4f;
    spot.intensity = animated(strikes(0.9f, 1.6f, 0.3f));

    lws::Light& chords = scene.addLight("Chords", lws::LightType::Point);
    lightOnOrbit(chords, 5.0f, 2.5f, 1.0f, 0.0f);
    chords.color = chordColours();
    chords.intensity = animated(strikes(0.8f, 1.3f, 0.2f, beat, length, 2.0f * beat));

    lws::Light& sky = scene.addLight("Sky", lws::LightType::Directional);
    shineAlong(sky, {-0.3f, -0.6f, 0.7f});
    sky.color = colours({{0.0f, {0.5f, 0.6f, 1.0f}}, {4.0f, {1.0f, 0.6f, 0.8f}}, {8.0f, {1.0f, 0.9f, 0.6f}}});
    sky.intensity = fixed(0.7f);

    lws::Camera& camera = scene.addCamera("Spiral");
    camera.targetFirstObject = true;
    orbit(camera.motion, 8.5f, 1.0f, 0.45f, -pi / 2.0f - 0.5f);
    camera.motion[positionY] = {lws::tcb(6.5f, 0.0f), lws::tcb(4.2f, 5.0f), lws::tcb(3.0f, 8.0f)};
    return scene;
}

// The last chord: the title again with its sparks, until both are gone into the dark.
lws::Scene outro() {
    lws::Scene scene = sceneWithAmbient({1.0f, 1.0f, 1.0f}, 0.1f);
    lws::Object& sparks = scene.addObject("sparks.lwo");
    sparks.motion.setRotation(0.0f, -0.35f, 0.0f);
    sparks.motion[heading] = {lws::tcb(0.0f, 0.0f), lws::tcb(2.5f, 3.0f), lws::tcb(3.5f, 6.0f)};
    sparks.motion[scale] = {lws::tcb(1.8f, 0.0f), lws::tcb(1.1f, 1.0f), lws::tcb(0.9f, 6.0f)};
    sparks.dissolve = animated(ramp(0.0f, 1.0f, 0.0f, 5.0f));

    lws::Object& title = scene.addObject("title.lwo");
    title.motion[heading] = rocking(0.12f, 4.0f);
    title.dissolve = animated(steps({{0.0f, 0.0f}, {4.0f, 1.0f}}));

    lws::Light& sun = scene.addLight("Dusk", lws::LightType::Directional);
    shineAlong(sun, {0.0f, -0.3f, 1.0f});
    sun.color = {{1.0f, 0.7f, 0.4f}, std::nullopt};
    sun.intensity = animated(ramp(1.0f, 0.0f, 0.0f, 5.0f));

    lws::Camera& camera = scene.addCamera("Farewell");
    flight(camera, {{0.0f, {0.0f, 0.1f, -4.6f}, {0.0f, 0.0f, 0.0f}},
                    {6.0f, {0.0f, 0.6f, -9.0f}, {0.0f, 0.0f, 0.0f}}});
    return scene;
}

// The viewer's scene for a bare object: a camera before the origin, a key light from the
// upper left, a fill from the right; the object itself is added by the viewer.
lws::Scene debugObject() {
    lws::Scene scene = sceneWithAmbient({1.0f, 1.0f, 1.0f}, 0.25f);
    scene.gridSize = 1.0f;
    lws::Light& key = scene.addLight("Key", lws::LightType::Directional);
    shineAlong(key, {0.5f, -0.5f, 1.0f});
    key.intensity = fixed(1.0f);
    lws::Light& fill = scene.addLight("Fill", lws::LightType::Directional);
    shineAlong(fill, {-0.8f, 0.2f, 0.5f});
    fill.color = {{0.5f, 0.6f, 0.8f}, std::nullopt};
    fill.intensity = fixed(0.5f);
    lws::Camera& camera = scene.addCamera("Viewer");
    camera.motion.setPosition(0.0f, 1.8f, -5.5f);
    return scene;
}

}  // namespace

std::vector<std::pair<std::string, lws::Scene>> showScenes() {
    return {
        {"stars.lws", stars()},       {"intro.lws", intro()},   {"crystals.lws", crystals()},
        {"lattice.lws", lattice()},   {"chrome.lws", chrome()}, {"nebula.lws", nebula()},
        {"ribbon.lws", ribbon()},     {"finale.lws", finale()}, {"outro.lws", outro()},
        {"debugobject.lws", debugObject()},
    };
}

}  // namespace content::korvo
