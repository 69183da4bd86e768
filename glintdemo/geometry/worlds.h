// The four particle worlds of the show, each a particle system with its own affectors, drawing
// style and camera path: glowing chains (1, built but never shown), glowing trails (2), a jelly
// lattice (3) and metaball drops (4). A world starts the first time the timeline runs it and
// from then on keeps simulating from where it was, catching up any time it was not shown.
#pragma once

#include <vector>

#include "geometry/camerapath.h"
#include "geometry/metaballs.h"
#include "geometry/particles.h"

class ParticleWorld {
public:
    ParticleWorld(int poolSize, const CameraKey* keys, int keyCount);
    virtual ~ParticleWorld() = default;
    // Loads what the world draws with (needs the rendering context).
    virtual void init() {}
    virtual void start(float now);
    // The world's own per-frame changes, then the simulation up to show time `now`.
    virtual void advance(float now);
    virtual void draw(float previous, float now) = 0;

    ParticleSystem system;
    const CameraKey* keys;
    int keyCount;
    CameraPose camera{};   // where the camera is this frame
    bool started = false;
};

// World 1: an emitter's chain of particles held together by springs.
class ChainWorld : public ParticleWorld {
public:
    ChainWorld();
    void draw(float previous, float now) override;
};

// World 2: two emitters leaving five-second trails about a turning attractor.
class TrailWorld : public ParticleWorld {
public:
    TrailWorld();
    void advance(float now) override;
    void draw(float previous, float now) override;

    PointAttractor* attractor;   // owned by the system
};

// World 3: a 13 x 13 x 13 lattice of springs shaken by two moving attractors.
class LatticeWorld : public ParticleWorld {
public:
    LatticeWorld();
    void init() override;
    void advance(float now) override;
    void draw(float previous, float now) override;

    std::vector<Particle*> lattice;   // index i + 13 j + 169 k
    DistanceAttractor* pull;          // A, owned by the system
    DistanceAttractor* push;          // B, owned by the system
    unsigned skyTexture = 0;

private:
    const Particle* at(int i, int j, int k) const { return lattice[i + 13 * (j + 13 * k)]; }
};

// World 4: heavy drops bouncing in a box, drawn as one metaball surface.
class MetaballWorld : public ParticleWorld {
public:
    MetaballWorld();
    void init() override;
    void draw(float previous, float now) override;

    MetaballSurface surface;
};

// A new world n (1 to 4) with its affectors, its particles in place and its camera path; it
// loads nothing until its init.
ParticleWorld* createWorld(int n);

// World n's camera key table.
struct CameraPath {
    CameraKey* keys;
    int count;
};
CameraPath cameraPath(int n);
