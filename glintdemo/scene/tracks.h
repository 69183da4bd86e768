// Keyed tracks of the scenes, evaluated at a scene time in frames: vector tracks (positions,
// scales, colours), rotation tracks of quaternion keys (squad), one-channel envelopes, and the
// nine-channel motions of scene descriptions. Tension, continuity and bias shape every curve.
// Construction fills the keys; prepare() computes tangents or control quaternions once.
#pragma once

#include <string>
#include <vector>

struct Quaternion {
    float w = 1, x = 0, y = 0, z = 0;
};

Quaternion multiply(const Quaternion& a, const Quaternion& b);   // Hamilton product
// The rotation matrix of a quaternion, in the scene's row-vector storage.
void quaternionToMatrix(const Quaternion& q, float* out);

// Where a time falls among key frames: the segment (keys i and i + 1) and the parameter u in it.
// Times below 0 count as 0; past the last key, the last segment at u = 1; before the first key
// (when that key's frame is above 0), the first key (u = 0).
struct Segment {
    int index = 0;
    float u = 0;
};
template <typename Key>
Segment findSegment(const std::vector<Key>& keys, float time) {
    Segment s;
    int last = int(keys.size()) - 1;
    if (time < 0) time = 0;
    if (last < 1) return s;
    if (keys[size_t(last)].frame < time) {
        s.index = last - 1;
        s.u = 1;
        return s;
    }
    if (time < keys[0].frame) return s;
    while (s.index < last - 1 && time > keys[size_t(s.index) + 1].frame) ++s.index;
    float width = keys[size_t(s.index) + 1].frame - keys[size_t(s.index)].frame;
    s.u = width != 0 ? (time - keys[size_t(s.index)].frame) / width : 0.0f;
    return s;
}

struct VectorKey {
    float frame = 0, tension = 0, continuity = 0, bias = 0;
    float incoming[3] = {}, outgoing[3] = {};
    float value[3] = {};
};

class VectorTrack {
public:
    explicit VectorTrack(int keyCount) : keys(size_t(keyCount)), lastKey(keyCount - 1) {}
    void prepare();
    void evaluate(float time);   // sets value

    std::vector<VectorKey> keys;
    int lastKey;
    int segment = 0;
    float value[3] = {};
};

struct RotationKey {
    float frame = 0, tension = 0, continuity = 0, bias = 0;
    Quaternion q;              // relative to the previous key until prepare() makes it absolute
    Quaternion first, second;  // control quaternions (incoming side, outgoing side)
};

class RotationTrack {
public:
    explicit RotationTrack(int keyCount) : keys(size_t(keyCount)), lastKey(keyCount - 1) {}
    void prepare();
    void evaluate(float time);   // sets value

    std::vector<RotationKey> keys;
    int lastKey;
    int segment = 0;
    Quaternion value;
};

struct EnvelopeKey {
    float frame = 0, tension = 0, continuity = 0, bias = 0;
    float outgoing = 0, incoming = 0;
    float value = 0;
};

class Envelope {
public:
    explicit Envelope(int keyCount) : keys(size_t(keyCount)), lastKey(keyCount - 1) {}
    void prepare();
    void evaluate(float time);         // hermite, sets value
    void evaluateLinear(float time);   // straight lines between keys, sets value

    std::string name;
    std::vector<EnvelopeKey> keys;
    int lastKey;
    int segment = 0;
    float value = 0;
};

// Channels of a motion key and of a motion's current values.
enum MotionChannel { PositionX, PositionY, PositionZ, Heading, Pitch, Bank, ScaleX, ScaleY, ScaleZ, motionChannels };

struct MotionKey {
    float frame = 0, tension = 0, continuity = 0, bias = 0;
    float values[motionChannels] = {};
    float linear = 0;   // non-zero: the segment ending at this key is a straight line
    MotionKey* next = nullptr;
    MotionKey* previous = nullptr;
};

class Motion {
public:
    // Links the keys (next and previous) once they are all read.
    void link();
    void evaluate(float time);   // sets values
    // The matrix of the current values: scale, bank, pitch, heading, then the move.
    void toMatrix(float* out) const;

    std::vector<MotionKey> keys;
    int lastKey = -1;
    int endBehaviour = 0;   // 0, 1: hold after the last key; 2: repeat; others: as is
    float values[motionChannels] = {};
};

// The spline helpers shared by tracks (exposed for tests).
struct Hermite {
    float h1, h2, h3, h4;
    explicit Hermite(float u);
};
Quaternion quaternionLog(const Quaternion& p, const Quaternion& q);
Quaternion quaternionExp(const Quaternion& v);
// Spherical interpolation from a to b; `spins` whole turns added on the long way.
Quaternion slerp(const Quaternion& a, const Quaternion& b, float u, int spins, bool shortWay);
