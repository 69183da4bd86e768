#include "scene/tracks.h"

#include <algorithm>
#include <cmath>

#include "geometry/mesh.h"
#include "scene/matrix.h"

namespace {

constexpr float pi = 3.14159265f;
constexpr float twoPi = 6.2831853f;

// a / b, or 0 where keys share a frame (the curve then has no width to divide by).
float ratio(float a, float b) { return b != 0 ? a / b : 0.0f; }

// Incoming and outgoing tangents of every key, per channel, from tension, continuity and bias.
// `value(k, c)`, `incoming(k, c)` and `outgoing(k, c)` reach channel c of key k.
template <typename Key, typename Value, typename In, typename Out>
void hermiteTangents(std::vector<Key>& keys, int channels, Value value, In incoming, Out outgoing) {
    const int n = int(keys.size());
    if (n < 2) return;
    for (int c = 0; c < channels; ++c) {
        if (n == 2) {
            float d = value(keys[1], c) - value(keys[0], c);
            outgoing(keys[0], c) = d * (1 - keys[0].tension);
            incoming(keys[1], c) = d * (1 - keys[1].tension);
            continue;
        }
        for (int i = 1; i < n - 1; ++i) {
            Key& k = keys[size_t(i)];
            float t = k.tension, g = k.continuity, b = k.bias;
            float before = value(k, c) - value(keys[size_t(i) - 1], c);
            float after = value(keys[size_t(i) + 1], c) - value(k, c);
            float width = keys[size_t(i) + 1].frame - keys[size_t(i) - 1].frame;
            incoming(keys[size_t(i)], c) = (before * (1 + b) * (1 - t) * (1 - g) + after * (1 - t) * (1 + g) * (1 - b)) *
                                           ratio(k.frame - keys[size_t(i) - 1].frame, width);
            outgoing(keys[size_t(i)], c) = (before * (1 - t) * (1 + g) * (1 + b) + after * (1 - t) * (1 - g) * (1 - b)) *
                                           ratio(keys[size_t(i) + 1].frame - k.frame, width);
        }
        {
            float v0 = value(keys[0], c), v1 = value(keys[1], c), v2 = value(keys[2], c);
            float d = v2 - v0;
            float k = 0.25f - ratio(keys[1].frame - keys[0].frame, 2 * (keys[2].frame - keys[0].frame));
            outgoing(keys[0], c) = (d / 2 + 1.5f * (v1 - v0 - d / 2) + k * d) * (1 - keys[0].tension);
        }
        {
            Key& last = keys[size_t(n) - 1];
            Key& before = keys[size_t(n) - 2];
            Key& third = keys[size_t(n) - 3];
            float d = value(last, c) - value(third, c);
            float k = 0.25f - ratio(last.frame - before.frame, 2 * (last.frame - third.frame)) + 0.5f;
            incoming(keys[size_t(n) - 1], c) =
                (1.5f * (value(last, c) - value(before, c) - d / 2) + k * d) * (1 - last.tension);
        }
    }
}

float dot4(const Quaternion& a, const Quaternion& b) { return a.w * b.w + a.x * b.x + a.y * b.y + a.z * b.z; }

float length4(const Quaternion& q) { return std::sqrt(dot4(q, q)); }

Quaternion normalisedConjugate(const Quaternion& q) {
    float l = length4(q);
    if (l == 0) return q;
    return {q.w / l, -q.x / l, -q.y / l, -q.z / l};
}

// Whether two quaternions lie in opposite hemispheres (their normalised dot product is below 0).
bool opposite(const Quaternion& a, const Quaternion& b) {
    float l = length4(a) * length4(b);
    return l != 0 && dot4(a, b) / l < 0;
}

// A cosine for acos: within [-1, 1] (rounding can leave a unit quaternion's w just outside), and
// 1 for a quaternion that is not a number.
float clampCosine(float c) {
    if (std::isnan(c)) return 1;
    return c > 1 ? 1 : (c < -1 ? -1 : c);
}

// Tracks of no key keep their value, of one key take it (through `single`); otherwise finds
// and stores the segment of `time` and returns true.
template <typename Track, typename Single>
bool locate(Track& track, float time, Segment& s, Single single) {
    if (track.keys.empty()) return false;
    if (track.keys.size() == 1) {
        single(track.keys[0]);
        return false;
    }
    s = findSegment(track.keys, time);
    track.segment = s.index;
    return true;
}

}  // namespace

Hermite::Hermite(float u) {
    float u2 = u * u, u3 = u2 * u;
    h1 = 2 * u3 - 3 * u2 + 1;
    h2 = 3 * u2 - 2 * u3;
    h3 = u3 - 2 * u2 + u;
    h4 = u3 - u2;
}

Quaternion multiply(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z, a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x, a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w};
}

void quaternionToMatrix(const Quaternion& q, float* out) {
    float w = q.w, x = q.x, y = q.y, z = q.z;
    for (int i = 0; i < 16; ++i) out[i] = 0;
    out[0] = 1 - 2 * y * y - 2 * z * z;
    out[1] = 2 * x * y - 2 * w * z;
    out[2] = 2 * x * z + 2 * w * y;
    out[4] = 2 * x * y + 2 * w * z;
    out[5] = 1 - 2 * x * x - 2 * z * z;
    out[6] = 2 * y * z - 2 * w * x;
    out[8] = 2 * x * z - 2 * w * y;
    out[9] = 2 * y * z + 2 * w * x;
    out[10] = 1 - 2 * x * x - 2 * y * y;
    out[15] = 1;
}

Quaternion quaternionLog(const Quaternion& p, const Quaternion& q) {
    float squared = dot4(p, p);
    if (squared == 0) return {0, 0, 0, 0};
    Quaternion inverse = {p.w / squared, -p.x / squared, -p.y / squared, -p.z / squared};
    Quaternion r = multiply(inverse, q);
    float length = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    if (length == 0) return {0, 0, 0, 0};
    float cosine = dot4(p, q);
    float angle = cosine != 0 ? std::atan(length / cosine) : pi / 2;
    float s = angle / length;
    return {0, r.x * s, r.y * s, r.z * s};
}

Quaternion quaternionExp(const Quaternion& v) {
    float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0) return {std::cos(length), v.x, v.y, v.z};
    float s = std::sin(length) / length;
    return {std::cos(length), v.x * s, v.y * s, v.z * s};
}

Quaternion slerp(const Quaternion& a, const Quaternion& b, float u, int spins, bool shortWay) {
    float cosine = dot4(a, b);
    float first, second;
    if (1 - std::fabs(cosine) < 0.00001f) {
        first = 1 - u;
        second = u;
    } else {
        float omega = std::acos(clampCosine(shortWay ? std::fabs(cosine) : cosine));
        float sine = std::sin(omega);
        float sweep = u * (omega + float(spins) * pi);
        first = std::sin(omega - sweep) / sine;
        second = std::sin(sweep) / sine;
    }
    if (shortWay && cosine < 0) second = -second;
    return {first * a.w + second * b.w, first * a.x + second * b.x, first * a.y + second * b.y,
            first * a.z + second * b.z};
}

void VectorTrack::prepare() {
    hermiteTangents(
        keys, 3, [](VectorKey& k, int c) -> float& { return k.value[c]; },
        [](VectorKey& k, int c) -> float& { return k.incoming[c]; },
        [](VectorKey& k, int c) -> float& { return k.outgoing[c]; });
}

void VectorTrack::evaluate(float time) {
    Segment s;
    if (!locate(*this, time, s, [&](const VectorKey& k) { std::copy(k.value, k.value + 3, value); })) return;
    const VectorKey& a = keys[size_t(s.index)];
    const VectorKey& b = keys[size_t(s.index) + 1];
    Hermite h(s.u);
    for (int c = 0; c < 3; ++c)
        value[c] = h.h1 * a.value[c] + h.h2 * b.value[c] + h.h3 * a.outgoing[c] + h.h4 * b.incoming[c];
}

void Envelope::prepare() {
    hermiteTangents(
        keys, 1, [](EnvelopeKey& k, int) -> float& { return k.value; },
        [](EnvelopeKey& k, int) -> float& { return k.incoming; },
        [](EnvelopeKey& k, int) -> float& { return k.outgoing; });
}

void Envelope::evaluate(float time) {
    Segment s;
    if (!locate(*this, time, s, [&](const EnvelopeKey& k) { value = k.value; })) return;
    const EnvelopeKey& a = keys[size_t(s.index)];
    const EnvelopeKey& b = keys[size_t(s.index) + 1];
    Hermite h(s.u);
    value = h.h1 * a.value + h.h2 * b.value + h.h3 * a.outgoing + h.h4 * b.incoming;
}

void Envelope::evaluateLinear(float time) {
    Segment s;
    if (!locate(*this, time, s, [&](const EnvelopeKey& k) { value = k.value; })) return;
    value = (1 - s.u) * keys[size_t(s.index)].value + s.u * keys[size_t(s.index) + 1].value;
}

void RotationTrack::prepare() {
    const int n = int(keys.size());
    for (int i = 0; i + 1 < n; ++i) keys[size_t(i) + 1].q = multiply(keys[size_t(i)].q, keys[size_t(i) + 1].q);
    for (int k = 0; k < n; ++k) {
        RotationKey& key = keys[size_t(k)];
        Quaternion incoming{0, 0, 0, 0}, outgoing{0, 0, 0, 0};
        if (k > 0) {
            Quaternion previous = keys[size_t(k) - 1].q;
            if (opposite(previous, key.q)) previous = normalisedConjugate(previous);
            incoming = quaternionLog(previous, key.q);
        }
        if (k < n - 1) {
            Quaternion next = keys[size_t(k) + 1].q;
            if (opposite(key.q, next)) next = normalisedConjugate(next);
            outgoing = quaternionLog(key.q, next);
        }
        if (k == 0) incoming = outgoing;
        if (k == n - 1) outgoing = incoming;

        float kin = 1, kout = 1;
        float t = key.tension, g = key.continuity, b = key.bias;
        if (k > 0 && k < n - 1) {
            float s = ratio(2, keys[size_t(k) + 1].frame - keys[size_t(k) - 1].frame);
            float m = s * (key.frame - keys[size_t(k) - 1].frame);
            float o = s * (keys[size_t(k) + 1].frame - key.frame);
            float ag = std::fabs(g);
            kin = ag + m - ag * m;
            kout = ag + o - ag * o;
        }
        float d1 = kout * (1 - t) * (1 - g) * (1 - b) / 2 - 1, d2 = kout * (1 - t) * (1 + g) * (1 + b) / 2;
        float s1 = -kin * (1 - t) * (1 + g) * (1 - b) / 2, s2 = 1 - kin * (1 - t) * (1 - g) * (1 + b) / 2;
        Quaternion d{0, 0.5f * (d1 * outgoing.x + d2 * incoming.x), 0.5f * (d1 * outgoing.y + d2 * incoming.y),
                     0.5f * (d1 * outgoing.z + d2 * incoming.z)};
        Quaternion s{0, 0.5f * (s1 * outgoing.x + s2 * incoming.x), 0.5f * (s1 * outgoing.y + s2 * incoming.y),
                     0.5f * (s1 * outgoing.z + s2 * incoming.z)};
        key.first = multiply(key.q, quaternionExp(d));
        key.second = multiply(key.q, quaternionExp(s));
    }
}

void RotationTrack::evaluate(float time) {
    Segment s;
    if (!locate(*this, time, s, [&](const RotationKey& k) { value = k.q; })) return;
    const RotationKey& a = keys[size_t(s.index)];
    const RotationKey& b = keys[size_t(s.index) + 1];
    float delta = 2 * std::acos(clampCosine(b.q.w)) - 2 * std::acos(clampCosine(a.q.w));
    int spins = int(delta * 0.15915494327375637f);
    bool shortWay = std::fabs(delta - twoPi * float(spins)) <= pi;
    Quaternion along = slerp(a.q, b.q, s.u, spins, shortWay);
    Quaternion between = slerp(a.second, b.first, s.u, spins, shortWay);
    value = slerp(along, between, 2 * s.u * (1 - s.u), 0, shortWay);
}

void Motion::link() {
    lastKey = int(keys.size()) - 1;
    for (size_t i = 0; i + 1 < keys.size(); ++i) {
        keys[i].next = &keys[i + 1];
        keys[i + 1].previous = &keys[i];
    }
}

void Motion::evaluate(float time) {
    if (keys.empty()) return;
    if (keys.size() == 1) {
        for (int c = 0; c < motionChannels; ++c) values[c] = keys[0].values[c];
        return;
    }
    const MotionKey& last = keys.back();
    if (endBehaviour == 0 || endBehaviour == 1) {
        if (time > last.frame) time = last.frame;
    } else if (endBehaviour == 2 && last.frame != 0) {
        time = std::fmod(time, last.frame);
    }
    const MotionKey* key0 = &keys[0];
    while (key0->next && time > key0->next->frame) key0 = key0->next;
    const MotionKey* key1 = key0->next;
    if (!key1) {   // past the last key with an end behaviour that keeps the time: hold the last key
        for (int c = 0; c < motionChannels; ++c) values[c] = key0->values[c];
        return;
    }
    float span = std::nearbyint(key1->frame - key0->frame);
    float u = span != 0 ? (time - key0->frame) / span : 0.0f;
    Hermite h(u);
    const MotionKey* previous = key0->previous;
    const MotionKey* next = key1->next;
    float t0 = key0->tension, g0 = key0->continuity, b0 = key0->bias;
    float t1 = key1->tension, g1 = key1->continuity, b1 = key1->bias;
    float a0 = (1 - t0) * (1 + g0) * (1 + b0), c0 = (1 - t0) * (1 - g0) * (1 - b0);
    float a1 = (1 - t1) * (1 - g1) * (1 + b1), c1 = (1 - t1) * (1 + g1) * (1 - b1);
    for (int c = 0; c < motionChannels; ++c) {
        float v0 = key0->values[c], v1 = key1->values[c];
        float d = v1 - v0;
        if (key1->linear != 0) {
            values[c] = v0 + u * d;
            continue;
        }
        float outgoing = key0->frame != 0 && previous
                             ? ratio(span, key1->frame - previous->frame) * (a0 * (v0 - previous->values[c]) + c0 * d)
                             : d * (a0 + c0) / 2;
        float incoming = key1->frame != last.frame && next
                             ? ratio(span, next->frame - key0->frame) * (c1 * (next->values[c] - v1) + a1 * d)
                             : d * (a1 + c1) / 2;
        values[c] = h.h1 * v0 + h.h2 * v1 + h.h3 * outgoing + h.h4 * incoming;
    }
}

void Motion::toMatrix(float* out) const {
    const float degrees = pi * 0.005555555555555556f;
    float s[16], rz[16], rx[16], ry[16], t[16];
    scaling(values[ScaleX], values[ScaleY], values[ScaleZ], s);
    rotationZ(values[Bank] * degrees, rz);
    rotationX(-values[Pitch] * degrees, rx);
    rotationY(-values[Heading] * degrees, ry);
    translation(values[PositionX], values[PositionY], values[PositionZ], t);
    multiply(s, rz, out);
    multiply(out, rx, out);
    multiply(out, ry, out);
    multiply(out, t, out);
}
