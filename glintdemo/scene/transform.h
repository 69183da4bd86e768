// The placement of one scene item: its tracks (rotation, position, scale), its controllers
// (motions, camera envelopes), its parent, pivot and an extra matrix an effect may add, composed
// into the item's world matrix at a scene time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "scene/tracks.h"

// A routine run at every transform update with the scene time.
class Controller {
public:
    virtual ~Controller() = default;
    virtual void run(float time) = 0;
};

// Evaluates a motion and writes its matrix where it points: a transform's local matrix, or a
// camera's motion matrix.
class MotionController : public Controller {
public:
    MotionController(std::unique_ptr<Motion> motion, float* target) : motion(std::move(motion)), target(target) {}
    void run(float time) override;

    std::unique_ptr<Motion> motion;
    float* target;
};

class Transform {
public:
    Transform();

    // Brings `world` (and `result`) up to `time`. A second update with the same non-zero time
    // does nothing.
    void update(float time);

    float lastTime = 0;
    Transform* parent = nullptr;
    float* world = nullptr;   // the owning item's world matrix, written with the result
    int extraMode = 0;        // 0 none; 1 extra . L; 2 L . extra; 3 extra alone
    std::string name;
    int identifier = 0;
    int parentIndex = -1;     // a null object's index, set by scene descriptions
    float pivot[3] = {};
    float local[16];          // tracks and controllers composed, before parent and pivot
    float extra[16];
    float result[16];
    std::unique_ptr<RotationTrack> rotation;
    std::unique_ptr<VectorTrack> position;
    std::unique_ptr<VectorTrack> scale;
    std::vector<std::unique_ptr<Controller>> controllers;

private:
    bool updating_ = false;   // guards against parent chains that loop
};
