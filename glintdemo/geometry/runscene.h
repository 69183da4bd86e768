// The late section's scene "nowheretorun.exp": its meshes grow in, sway along z and spin, its
// first material scrolls and turns its texture, the whole scene drawn faded; over it 32 lightning
// ribbons snake along five-key paths that wander with time.
#pragma once

#include "scene/tracks.h"

class Scene;
struct Texture;

struct RunSceneHolder {
    Scene* scene = nullptr;
    Texture* textures[4] = {};   // by variant: 1 "yellowshitred.jpg", 2 "sotku2.jpg", 3 "sc2.jpg"
};

struct StreamerSet {
    StreamerSet();

    VectorTrack path{5};
    float colours[64][3];
    float phase = 0.0f;
    int jitters = 3, keys = 5, segments = 35, streamers = 32;
};

extern RunSceneHolder* runSceneHolder;
extern StreamerSet* streamerSet;

// Frees the holder with its scene, and the streamer set (the textures stay).
void destroyRunScene();

// The keys of streamer `index` (0 to 31) with the wander g; frames 0 to 4 (for tests).
void setStreamerKeys(StreamerSet& set, int index, float g);
// One jitter offset pair from three steps of the phase: x then y, each in [-40, 40].
void jitterStep(float& phase, float& x, float& y);
