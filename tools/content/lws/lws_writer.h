// Writes LightWave scenes in the LWSC text form: objects loaded from object files, lights and
// cameras, each with its motion (nine channels of keyed envelopes), envelopes of dissolves,
// morphs, light colours and intensities, and the few scene settings the player reads. Used by
// the tests, the benchmarks and the sample-content generators.
//
// The layout is the modeller's (keyword, values, the rest of the line free; envelopes as
// "{ Envelope" blocks of "Key" lines), with one difference of order: the scene's ambient
// colour and intensity are written before the first object, where the player's reader gives
// them to the scene's ambient light (after an object line it would take them as the object's).
//
// Items are written in the order objects, lights, cameras. A target names "the first object of
// the scene", the only object the player aims at.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace content::lws {

// Curve shapes of a key, by the number the file carries.
enum class Shape { TCB = 0, Hermite = 1, Bezier = 2, Linear = 3, Stepped = 4 };

struct Key {
    float value = 0.0f;
    float time = 0.0f;   // seconds
    int shape = 0;       // a Shape, or any other number (files the player must refuse)
    // p1 tension, p2 continuity, p3 bias; p4 incoming and p5 outgoing tangent; p6 unused.
    std::array<float, 6> parameters{};
};

Key tcb(float value, float time, float tension = 0.0f, float continuity = 0.0f, float bias = 0.0f);
Key hermite(float value, float time, float incoming, float outgoing);
Key bezier(float value, float time, float incoming, float outgoing);
Key linear(float value, float time);
Key stepped(float value, float time);

struct Envelope {
    std::vector<Key> keys;
    int preBehaviour = 1, postBehaviour = 1;

    Envelope() = default;
    Envelope(std::initializer_list<Key> list) : keys(list) {}
    // One key at time 0: a value that does not move.
    static Envelope constant(float value);
};

// The nine channels of an item's motion: position x, y, z; heading, pitch, bank (radians);
// scale x, y, z. A camera's file carries the first six.
struct Motion {
    std::array<Envelope, 9> channels;
    int channelCount = 9;   // how many channels NumChannels announces and the file holds

    Motion();   // at the origin, unturned, scale 1: one key per channel
    void setPosition(float x, float y, float z);
    void setRotation(float heading, float pitch, float bank);
    void setScale(float scale);
    Envelope& operator[](size_t channel) { return channels[channel]; }
};

// A value the file gives either as a number or, per component, as an envelope.
template <size_t N>
struct Animated {
    std::array<float, N> value{};
    std::optional<std::array<Envelope, N>> envelopes;
};

struct Object {
    std::string file;   // as the player looks it up: as given, else under "objects/"
    int layer = 1;
    Motion motion;
    std::optional<Animated<1>> dissolve;     // ObjectDissolve
    int morphTarget = 0;                     // MorphTarget: 1-based object number; 0 none
    std::optional<Animated<1>> morphAmount;  // MorphAmount
    bool unseenByCamera = false;
    std::vector<std::string> extraLines;     // written after the others, as given
};

enum class LightType { Directional = 0, Point = 1, Spot = 2 };

struct Light {
    std::string name = "Light";
    int type = int(LightType::Point);   // a LightType, or any other number
    Motion motion;
    Animated<3> color{{1.0f, 1.0f, 1.0f}, std::nullopt};
    std::optional<Animated<1>> intensity;   // none: the file sets no intensity
    std::optional<float> coneAngle, edgeAngle, range, falloff;   // radians, radians, units
    bool targetFirstObject = false;
    std::vector<std::string> extraLines;
};

struct Camera {
    std::string name = "Camera";
    Motion motion;
    bool targetFirstObject = false;
    std::vector<std::string> extraLines;

    Camera();   // six channels, standing at (0, 0, -3)
};

struct Scene {
    int version = 3;
    int framesPerSecond = 30;
    std::optional<float> gridSize;
    std::optional<int> showMotionPath;
    std::optional<std::array<float, 3>> ambientColor;
    std::optional<Animated<1>> ambientIntensity;
    std::vector<Object> objects;
    std::vector<Light> lights;
    std::vector<Camera> cameras;
    std::vector<std::string> headerLines;   // written after the version line, as given

    Object& addObject(const std::string& file);
    Light& addLight(const std::string& name = "Light", LightType type = LightType::Point);
    Camera& addCamera(const std::string& name = "Camera");

    std::string text() const;
};

// The text of one envelope block ("{ Envelope" ... "}"), each line ended by a line break.
std::string envelopeText(const Envelope& envelope);
bool writeFile(const std::string& path, const std::string& text);

}  // namespace content::lws
