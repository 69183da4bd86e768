// The looping key paths the particle worlds' cameras fly along: six channels (position, pitch
// and yaw in degrees, distance) through keys with Kochanek-Bartels tangents.
#pragma once

enum CameraChannel { CameraX, CameraY, CameraZ, CameraPitch, CameraYaw, CameraDistance, cameraChannelCount };

struct CameraKey {
    float time = 0.0f;   // seconds
    float value[cameraChannelCount] = {};
    float incoming[cameraChannelCount] = {};
    float outgoing[cameraChannelCount] = {};
    float tension = 0.0f, bias = 0.0f, continuity = 0.0f;
};

struct CameraPose {
    float value[cameraChannelCount];
};

// Gives every key tension, bias and continuity 0.25 and computes its tangents from its
// neighbours; the path is closed, so the first and last keys both take the second-last and the
// second keys as neighbours.
void computeCameraTangents(CameraKey* keys, int count);

// The camera at local time t; the path repeats every (last time - first time + 1) seconds,
// holding the last key for the final second.
CameraPose evaluateCamera(const CameraKey* keys, int count, float t);
