// Animation channels: a keyed curve (a LightWave envelope) that writes its value straight into
// one float of an object, light, camera or surface. Key times are seconds, used as the scene
// file gives them.
#pragma once

#include <cstdint>

#include "shell/list.h"

// The curve a key starts.
enum KeyShape : int8_t {
    keyShapeTCB = 0,       // tension, continuity, bias (p1, p2, p3)
    keyShapeHermite = 1,   // incoming and outgoing tangents (p4, p5)
    keyShapeBezier = 2,    // drawn as Hermite
    keyShapeLinear = 3,
    keyShapeStepped = 4,
};

struct Key {
    float value = 0.0f;
    float time = 0.0f;
    int8_t shape = keyShapeTCB;
    float p1 = 0.0f, p2 = 0.0f, p3 = 0.0f, p4 = 0.0f, p5 = 0.0f;
};

class Channel {
public:
    // A channel driving `target`; null drives nothing (the channel is still read and listed).
    explicit Channel(float* target);
    // Frees its keys.
    virtual ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // Appends a key (the channel owns it from then on); the last time follows the largest key time.
    void addKey(Key* key);
    // The key at 0-based `index`, or null.
    Key* keyAt(int index) const;
    int keyCount() const { return keys.getCount(); }
    void setValue(float value);
    // Writes the curve's value at scene time t into the target. Keeps no state, so channels
    // may be evaluated in any order at any time. A channel without keys writes nothing; a key
    // of an unknown shape ends the program when its span is evaluated.
    void evaluate(float t);
    // The value at scene time t (what evaluate writes); false when there are no keys.
    bool valueAt(float t, float& value) const;

    List keys{"noname"};   // in file order, data Key
    float* target;
    float lastTime = 0.0f;   // the largest key time
};
