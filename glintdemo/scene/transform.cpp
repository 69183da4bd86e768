#include "scene/transform.h"

#include <cstring>

#include "geometry/mesh.h"
#include "scene/matrix.h"

void MotionController::run(float time) {
    motion->evaluate(time);
    motion->toMatrix(target);
}

Transform::Transform() {
    setIdentity(local);
    setIdentity(extra);
    setIdentity(result);
}

void Transform::update(float time) {
    if (time == lastTime && time != 0) return;
    if (updating_) return;
    updating_ = true;
    float m[16];
    setIdentity(local);
    if (rotation) {
        rotation->evaluate(time);
        quaternionToMatrix(rotation->value, m);
        multiply(m, local, local);
    }
    if (position) {
        position->evaluate(time);
        local[12] = position->value[0];
        local[13] = position->value[1];
        local[14] = position->value[2];
    }
    if (scale) {
        scale->evaluate(time);
        scaling(scale->value[0], scale->value[1], scale->value[2], m);
        multiply(m, local, local);
    }
    for (auto& controller : controllers) controller->run(time);

    std::memcpy(result, local, sizeof result);
    if (parent) {
        parent->update(time);
        multiply(parent->result, result, result);
    }
    translation(-pivot[0], -pivot[1], -pivot[2], m);
    multiply(m, result, result);
    switch (extraMode) {
    case 1: multiply(extra, result, result); break;
    case 2: multiply(result, extra, result); break;
    case 3: std::memcpy(result, extra, sizeof result); break;
    default: break;
    }
    if (world) std::memcpy(world, result, sizeof result);
    lastTime = time;
    updating_ = false;
}
