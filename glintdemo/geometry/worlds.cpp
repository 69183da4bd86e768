#include "geometry/worlds.h"

#include <cmath>
#include <iterator>
#include <memory>

#include "assets/picture.h"
#include "effects/effects.h"
#include "geometry/mesh.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"

namespace {

// Keys: time; x, y, z, pitch, yaw, distance. Tangents are filled in when a world is made.
CameraKey chainKeys[] = {
    {0, {-12.276f, 0, -6.305f, -33.333f, -25.667f, 120}},  {5, {55.393f, 0, -35.574f, -3.333f, -15.333f, 120}},
    {10, {3.686f, 0, -82.645f, -12.667f, -18.667f, 120}},  {15, {3.686f, 0, -82.645f, -10.333f, 23, 120}},
    {20, {3.686f, 0, -82.645f, 20, 23.667f, 120}},         {25, {6.448f, 0, -91.001f, 12, -11.667f, 120}},
    {30, {6.448f, 0, -91.001f, -12, -12.667f, 120}},       {35, {-6.322f, 0, -118.339f, -0.667f, -3.333f, 120}},
    {40, {-5.133f, 0, -178.176f, -0.667f, -3.333f, 120}},
};
CameraKey trailKeys[] = {
    {0, {0, 0, 0, 7, 55, 120}},
    {5, {-49.725f, 0, 128.641f, -52.333f, 82.333f, 120}},
    {10, {12.297f, 0, 145.895f, 62.667f, 17.667f, 120}},
    {15, {12.297f, 0, 145.895f, 40.667f, -88, 120}},
    {20, {12.297f, 0, 145.895f, -37, -6.333f, 120}},
    {25, {-1.696f, 0, 8.895f, 15.333f, -11.667f, 120}},
    {30, {-87.417f, 0, -455.703f, 15.333f, -11.667f, 120}},
};
CameraKey latticeKeys[] = {
    {0, {-176.747f, 0, 306.021f, 7.667f, -108, 120}},    {4, {-134.463f, 0, 300.552f, -8, -33.333f, 120}},
    {9, {-56, 0, 188.738f, 23, -30.333f, 120}},          {14, {-55.19f, 0, 209.406f, 2.667f, 41.333f, 120}},
    {18, {-10.468f, 0, 118.832f, -66.333f, 25.333f, 120}}, {21, {-67.643f, 0, 16.954f, 2, 43.333f, 120}},
    {25, {40.68f, 0, -75.049f, -47, 248.333f, 120}},     {27, {179.216f, 0, 98.379f, 28.667f, 311, 120}},
    {31, {179.216f, 0, 98.379f, 90, 370, 120}},          {36, {419.13f, 0, 179.785f, 39.333f, 427.667f, 120}},
};
CameraKey metaballKeys[] = {
    {0, {-4.333f, 0, 23.333f, -45, 0, 120}},
    {4, {13.624f, 0, 64.633f, -45, -70, 120}},
    {8, {31.146f, 23.333f, 54.06f, -44.667f, -133.333f, 120}},
    {13, {-15.542f, 23.333f, -2.129f, -36, -190, 120}},
    {16, {-79.479f, 53.333f, 49.291f, -49.667f, -216.667f, 120}},
    {20, {-80.347f, 53.333f, 206.299f, -75.667f, -265, 120}},
    {24, {303.223f, 53.333f, 171.9f, -56, -323.667f, 120}},
};

std::unique_ptr<ParticleWorld> worlds[4];
// Shared by all worlds: the show time the latest world started at, and of the previous world frame.
float worldStartTime = 0.0f;
float lastWorldTime = 0.0f;
int drawingWidth = 640, drawingHeight = 480;

void setVector(float* v, float x, float y, float z) {
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

Emitter* makeEmitter(float mass, float vx, float interval, int maxEmitted, ParticleInitializer init) {
    auto* e = new Emitter;
    setVector(e->position, 10.0f, 10.0f, 10.0f);
    setVector(e->velocity, vx, 0.0f, 0.0f);
    e->mass = mass;
    e->flags = particleImmortal;
    e->life = 0.0f;
    e->interval = interval;
    e->maxEmitted = maxEmitted;
    e->respawnLeader = true;
    e->spawnPending = true;
    e->initParticle = init;
    return e;
}

// Three additive passes of ever wider lines through the active particles, taken in pairs.
template <typename Colour>
void drawLinePasses(const ParticleSystem& system, Colour colour) {
    for (float width : {1.0f, 4.0f, 12.0f}) {
        glLineWidth(width);
        glBegin(GL_LINES);
        for (const Particle* p = system.first; p; p = p->next) {
            colour(*p);
            glVertex3fv(p->position);
        }
        glEnd();
    }
}

// A lattice vertex; one near the pulling attractor is drawn clear, and the particles after it
// more opaque.
void latticeVertex(const Particle* p) {
    if (p->life < 0.04f) {
        glColor4f(0.0f, 0.0f, 0.0f, 0.0f);
        glVertex3fv(p->position);
        glColor4f(1.0f, 0.3f, 0.12f, 0.5f);
    } else {
        glVertex3fv(p->position);
    }
}

Vec3 positionOf(const Particle* p) { return {p->position[0], p->position[1], p->position[2]}; }

}  // namespace

// ---- the worlds ----

ParticleWorld::ParticleWorld(int poolSize, const CameraKey* keys, int keyCount)
    : system(poolSize), keys(keys), keyCount(keyCount) {}

void ParticleWorld::start(float now) { system.start(now); }

void ParticleWorld::advance(float now) { system.stepTo(now - system.startTime); }

ChainWorld::ChainWorld() : ParticleWorld(4000, chainKeys, int(std::size(chainKeys))) {
    system.add(new KillBox(500.0f));
    auto* chain = new SpringChain;
    chain->damping = -0.5f;
    chain->restLength = 50.0f;
    chain->stiffness = 10.0f;
    system.add(chain);
    auto* repel = new PointAttractor;
    repel->strength = -500.0f;
    system.add(repel);
    system.add(makeEmitter(1.0f, 0.0f, 0.01f, 500, initChainParticle));
}

void ChainWorld::draw(float, float) {
    glClear(GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor4f(0.8f, 0.5f, 0.2f, 0.061f);
    drawLinePasses(system, [](const Particle&) {});
    glColor3f(1.0f, 1.0f, 1.0f);
}

TrailWorld::TrailWorld() : ParticleWorld(4000, trailKeys, int(std::size(trailKeys))) {
    system.add(new KillBox(1000.0f));
    attractor = new PointAttractor;
    setVector(attractor->center, 50.0f, 50.0f, 50.0f);
    attractor->strength = -50000.0f;
    system.add(attractor);
    system.add(new SpeedPull);
    system.add(makeEmitter(1.0f, -10.0f, 0.004f, 0, initTrailParticle));
    system.add(makeEmitter(2.0f, -10.0f, 0.004f, 0, initTrailParticle));
}

void TrailWorld::advance(float now) {
    // The attractor turns 10 degrees about the y axis every frame.
    static const float angle = 10.0f * std::acos(-1.0f) / 180.0f;
    static const float c = std::cos(angle), s = std::sin(angle);
    float* centre = attractor->center;
    float x = centre[0], z = centre[2];
    centre[0] = x * c - z * s;
    centre[2] = z * c + x * s;
    ParticleWorld::advance(now);
}

void TrailWorld::draw(float, float) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LINE_SMOOTH);
    // Trails fade to a dim red in their last second.
    drawLinePasses(system, [](const Particle& p) {
        if (p.life < 1.0f) glColor4f(0.8f, 0.28f, 0.18f, p.life * 0.161f);
        else glColor4f(0.8f, 0.8f, 0.8f, 0.161f);
    });
}

LatticeWorld::LatticeWorld() : ParticleWorld(5000, latticeKeys, int(std::size(latticeKeys))) {
    system.add(new KillBox(500.0f));
    system.add(new LatticeSpring(&lattice));
    push = new DistanceAttractor;
    setVector(push->amplitude, 200.0f, 200.0f, 200.0f);
    system.add(push);
    pull = new DistanceAttractor;
    setVector(pull->amplitude, -40.0f, -75.0f, 69.0f);
    pull->strength = -8400.0f;
    system.add(pull);

    const int side = LatticeSpring::side;
    lattice.reserve(side * side * side);
    for (int k = 0; k < side; ++k)
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i) {
                Particle* p = system.take();
                LatticeSpring::restPoint(i, j, k, p->position);
                setVector(p->velocity, 0.0f, 0.0f, 0.0f);
                p->flags = particleImmortal;
                p->mass = 1.0f;
                lattice.push_back(p);
            }
}

void LatticeWorld::init() { skyTexture = loadTexture("skymap.jpg", GL_RGB, false)->glName; }

void LatticeWorld::advance(float now) {
    const float t = now;   // the attractors move with the show time
    const float* a = pull->amplitude;
    setVector(pull->center, a[0] * std::sin(1.7f * t), a[1] * std::cos(0.7f * t), a[2] * std::sin(0.34f * t));
    const float* b = push->amplitude;
    push->strength = 18400.0f + 6000.0f * std::sin(1.11f * t);
    setVector(push->center, b[0] * std::sin(1.234f * t), b[1] * std::cos(0.32456f * t), b[2] * std::sin(0.874f * t));
    ParticleWorld::advance(now);
}

void LatticeWorld::draw(float, float) {
    const int side = LatticeSpring::side;
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_CULL_FACE);
    glShadeModel(GL_FLAT);
    glClear(GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LINE_SMOOTH);
    glLineWidth(1.0f);

    // The lattice: its rows along x as quad strips, then its rows along y as triangle strips.
    glColor4f(1.0f, 0.3f, 0.12f, 0.2f);
    for (int k = 0; k < side; ++k)
        for (int j = 0; j < side; ++j) {
            glBegin(GL_QUAD_STRIP);
            for (int i = 0; i < side; ++i) latticeVertex(at(i, j, k));
            glEnd();
        }
    glColor4f(1.0f, 0.3f, 0.12f, 0.25f);
    for (int k = 0; k < side; ++k)
        for (int i = 0; i < side; ++i) {
            glBegin(GL_TRIANGLE_STRIP);
            for (int j = 0; j < side; ++j) latticeVertex(at(i, j, k));
            glEnd();
        }

    // The front layer as a sphere-mapped sheet, its normals from each particle's neighbours in
    // the row and in the next row.
    glColor4f(1.0f, 1.0f, 1.0f, 0.9f);
    glEnable(GL_NORMALIZE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, skyTexture);
    for (int j = 1; j <= side - 2; ++j) {
        glBegin(GL_TRIANGLE_STRIP);
        for (int i = 0; i <= side - 2; ++i) {
            if (i > 0) {
                Vec3 p = positionOf(at(i, j, 0));
                Vec3 n = cross(subtract(p, positionOf(at(i - 1, j, 0))), subtract(p, positionOf(at(i, j + 1, 0))));
                glNormal3f(n.x, n.y, n.z);
            }
            glVertex3fv(at(i, j, 0)->position);
            glVertex3fv(at(i, j + 1, 0)->position);
        }
        glEnd();
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_NORMALIZE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
}

MetaballWorld::MetaballWorld() : ParticleWorld(4000, metaballKeys, int(std::size(metaballKeys))) {
    system.add(new KillBox(1000.0f));
    system.add(new Gravity(150.0f));
    system.add(new BounceBox(80.0f));
    auto* source = new CappedEmitter;
    setVector(source->position, 0.0f, -50.0f, 0.0f);
    source->interval = 0.1f;
    source->initParticle = initDropParticle;
    system.add(source);
}

void MetaballWorld::init() {
    surface.environmentTexture = loadTexture("sotku2.jpg", GL_RGB, false)->glName;
    surface.waterTexture = loadTexture("water2.jpg", GL_RGB, false)->glName;
}

void MetaballWorld::draw(float, float) {
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glColor3f(1.0f, 1.0f, 1.0f);
    surface.buildSurface(system);
    surface.drawSurface(camera.value[CameraPitch], camera.value[CameraYaw]);
    glDisable(GL_TEXTURE_2D);
}

ParticleWorld* createWorld(int n) {
    switch (n) {
    case 1: return new ChainWorld;
    case 2: return new TrailWorld;
    case 3: return new LatticeWorld;
    case 4: return new MetaballWorld;
    default: return nullptr;
    }
}

CameraPath cameraPath(int n) {
    switch (n) {
    case 1: return {chainKeys, int(std::size(chainKeys))};
    case 2: return {trailKeys, int(std::size(trailKeys))};
    case 3: return {latticeKeys, int(std::size(latticeKeys))};
    case 4: return {metaballKeys, int(std::size(metaballKeys))};
    default: return {nullptr, 0};
    }
}

// ---- the timeline's entry points ----

void initWorld(int n) {
    if (n < 1 || n > 4) return;
    drawingWidth = 640;
    drawingHeight = 480;
    CameraPath path = cameraPath(n);
    computeCameraTangents(path.keys, path.count);
    worlds[n - 1].reset(createWorld(n));
    worlds[n - 1]->init();
}

void runWorld(int n) {
    if (n < 1 || n > 4 || !worlds[n - 1]) return;
    ParticleWorld& world = *worlds[n - 1];
    if (!world.started) {
        worldStartTime = showTime;
        world.start(showTime);
        world.started = true;
    }

    // A 90-degree view with the z axis turned to point into the screen.
    const float e = std::tan(90.0f * std::acos(-1.0f) / 180.0f / 2.0f);
    const float aspect = float(drawingWidth) / float(drawingHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-e * aspect, e * aspect, -e, e, 1.0, 2000.0);
    glScaled(1.0, 1.0, -1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDepthFunc(GL_LEQUAL);
    glClearDepth(2000.0);

    // The camera runs one frame behind the show.
    float previous = lastWorldTime;
    world.camera = evaluateCamera(world.keys, world.keyCount, lastWorldTime - worldStartTime);
    lastWorldTime = showTime;
    const float* c = world.camera.value;
    glPushMatrix();
    glTranslatef(0.0f, 0.0f, c[CameraDistance]);
    glRotatef(c[CameraPitch], 1.0f, 0.0f, 0.0f);
    glRotatef(c[CameraYaw], 0.0f, 1.0f, 0.0f);
    glTranslatef(c[CameraX], c[CameraY], c[CameraZ]);
    if (n <= 2) glDisable(GL_TEXTURE_2D);
    world.advance(showTime);
    world.draw(previous, showTime);
    glPopMatrix();
}
