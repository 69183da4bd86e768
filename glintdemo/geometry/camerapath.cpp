#include "geometry/camerapath.h"

#include <cmath>

void computeCameraTangents(CameraKey* keys, int count) {
    for (int i = 0; i < count; ++i) keys[i].tension = keys[i].bias = keys[i].continuity = 0.25f;
    if (count < 2) return;   // a single key holds still
    const float lastTime = keys[count - 1].time;
    for (int i = 0; i < count; ++i) {
        const bool inner = i > 0 && i < count - 1;
        const CameraKey& previous = keys[inner ? i - 1 : count - 2];
        const CameraKey& following = keys[inner ? i + 1 : 1];
        CameraKey& key = keys[i];
        float tp = previous.time, tc = key.time, tn = following.time;
        if (tp > tc) {
            tc += lastTime;
            tn += lastTime;
        } else if (tc > tn) {
            tn += lastTime;
        }
        const float t = key.tension, b = key.bias, c = key.continuity;
        for (int channel = 0; channel < cameraChannelCount; ++channel) {
            float towardNext = following.value[channel] - key.value[channel];
            float fromPrevious = key.value[channel] - previous.value[channel];
            key.incoming[channel] = ((1 - t) * (1 + b) * (1 - c) * towardNext + (1 - t) * (1 - b) * (1 + c) * fromPrevious) *
                                    (tc - tp) / (tn - tp);
            key.outgoing[channel] = ((1 - t) * (1 - b) * (1 - c) * towardNext + (1 - t) * (1 + b) * (1 + c) * fromPrevious) *
                                    (tn - tc) / (tn - tp);
        }
    }
}

CameraPose evaluateCamera(const CameraKey* keys, int count, float t) {
    CameraPose pose;
    const CameraKey& firstKey = keys[0];
    const CameraKey& lastKey = keys[count - 1];
    float local = firstKey.time + std::fmod(t, lastKey.time - firstKey.time + 1.0f);
    const CameraKey* held = nullptr;
    if (count == 1 || local <= firstKey.time) held = &firstKey;
    else if (local > lastKey.time) held = &lastKey;
    if (held) {
        for (int c = 0; c < cameraChannelCount; ++c) pose.value[c] = held->value[c];
        return pose;
    }
    int i = 0;
    while (!(keys[i].time < local && local <= keys[i + 1].time)) ++i;
    const CameraKey& a = keys[i];
    const CameraKey& b = keys[i + 1];
    float u = (local - a.time) / (b.time - a.time);
    float u2 = u * u, u3 = u2 * u;
    float h00 = 2 * u3 - 3 * u2 + 1, h01 = -2 * u3 + 3 * u2, h10 = u3 - 2 * u2 + u, h11 = u3 - u2;
    for (int c = 0; c < cameraChannelCount; ++c)
        pose.value[c] = h00 * a.value[c] + h01 * b.value[c] + h10 * a.outgoing[c] + h11 * b.incoming[c];
    return pose;
}
