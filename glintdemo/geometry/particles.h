// Point particles pushed by a list of affectors (emitters, springs, attractors, walls, gravity),
// simulated in fixed 1/24 s steps so that the physics does not depend on the frame rate. Plain
// computation: nothing here draws.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

constexpr uint32_t particleLeader = 1;     // the leader an emitter emits from
constexpr uint32_t particleImmortal = 2;   // life is not counted down

struct Particle {
    float position[3];
    float velocity[3];
    float mass;
    float force[3];   // gathered at the end of a step, acting in the next one
    float life;       // seconds left; the lattice world keeps a shading value here
    uint32_t flags;
    Particle* next;   // active list
};

class ParticleSystem;

// One force or rule of a world. Every hook does nothing unless a kind overrides it; `from` and
// `to` are the local times the step runs between.
class Affector {
public:
    virtual ~Affector() = default;
    virtual void spawn(ParticleSystem& system, float from, float to);
    virtual void emit(ParticleSystem& system, float from, float to);
    virtual void constrain(ParticleSystem& system, float from, float to);
    virtual void applyForces(ParticleSystem& system, float from, float to);
};

// Particles live in one pool of fixed size taken from and returned to through a free stack;
// those in use form the singly linked active list, in the order they were taken.
class ParticleSystem {
public:
    explicit ParticleSystem(int poolSize);
    ~ParticleSystem();
    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    // A particle from the pool, appended to the active list with its force cleared; null when
    // the pool is empty.
    Particle* take();
    // Returns every active particle for which `dead` holds to the pool, keeping the order of
    // the others.
    template <typename Predicate>
    void releaseIf(Predicate dead) {
        Particle* previous = nullptr;
        for (Particle* p = first; p;) {
            Particle* following = p->next;
            if (dead(*p)) release(p, previous);
            else previous = p;
            p = following;
        }
    }
    // Appends an affector, which the system then owns; affectors run in the order added.
    void add(Affector* affector);

    // Local time 0 at show time `now`: every spawn, constrain and emit hook once, then the
    // forces of the first step.
    void start(float now);
    // Simulates up to local time `target`, a fixed step at a time, the last one shortened to
    // end on `target`. A target not past the current time does nothing.
    void stepTo(float target);

    bool fixedStep = true;
    float step;   // 1/24 s
    int activeCount = 0;
    int poolSize;
    Particle* pool;
    Particle** freeStack;
    int freeTop;   // index of the top of the free stack, -1 when the pool is empty
    Particle* first = nullptr;
    Particle* last = nullptr;
    std::vector<std::unique_ptr<Affector>> affectors;
    float startTime = 0.0f;   // show time at which the world started
    float time = 0.0f;        // simulated local time

private:
    void release(Particle* p, Particle* previous);
    void clearForces();
    // The step from local time `old` to `time`, `d` seconds long.
    void runStep(float old, float d);
};

// Sets up a newly emitted particle from its source position, the end of the step `to` and its
// own emission time `e`.
using ParticleInitializer = void (*)(const float* source, Particle& particle, float to, float e);

// Immortal particles thrown outwards in a turning direction.
void initChainParticle(const float* source, Particle& particle, float to, float e);
// Mortal particles of five seconds' life, likewise.
void initTrailParticle(const float* source, Particle& particle, float to, float e);
// Heavy immortal drops from (0, -50, 0).
void initDropParticle(const float* source, Particle& particle, float to, float e);

// Emits from a leader particle of its own, which it respawns at its position when it dies.
class Emitter : public Affector {
public:
    void spawn(ParticleSystem& system, float from, float to) override;
    void emit(ParticleSystem& system, float from, float to) override;

    Particle* leader = nullptr;
    bool spawnPending = true;
    float position[3] = {};
    float velocity[3] = {};
    float mass = 1.0f;
    uint32_t flags = 0;
    int maxEmitted = 0;   // 0: no limit
    int emitted = 0;
    bool respawnLeader = true;
    float life = 0.0f;
    float interval = 0.01f;   // seconds between emissions
    ParticleInitializer initParticle = nullptr;
};

// Emits from a fixed position while the system holds fewer than `particleCap` particles.
class CappedEmitter : public Affector {
public:
    static constexpr int particleCap = 80;
    void emit(ParticleSystem& system, float from, float to) override;

    float position[3] = {};
    float interval = 0.1f;
    ParticleInitializer initParticle = nullptr;
};

// Returns particles that leave the cube of `halfSize` about the origin to the pool.
class KillBox : public Affector {
public:
    explicit KillBox(float halfSize) : halfSize(halfSize) {}
    void constrain(ParticleSystem& system, float from, float to) override;

    float halfSize;
};

// Springs between consecutive particles of the active list.
class SpringChain : public Affector {
public:
    void applyForces(ParticleSystem& system, float from, float to) override;

    float damping = 0.0f;
    float restLength = 0.0f;
    float stiffness = 0.0f;
    bool includeFirst = true;   // the first link takes part every other step
};

// Pushes (negative strength: pulls) with the inverse of the distance from `center`.
class PointAttractor : public Affector {
public:
    void applyForces(ParticleSystem& system, float from, float to) override;

    float center[3] = {};
    float strength = 0.0f;
};

// Pulls towards `center` in proportion to the particle's speed.
class SpeedPull : public Affector {
public:
    void applyForces(ParticleSystem& system, float from, float to) override;

    float center[3] = {};
    float factor = 1.0f;
};

// Pushes away from `center` (negative strength: pulls), the more the nearer, up to 800 units;
// leaves the particle's distance x 0.00125 in its life as a shading value.
class DistanceAttractor : public Affector {
public:
    void applyForces(ParticleSystem& system, float from, float to) override;

    float center[3] = {};
    float strength = 0.0f;
    float amplitude[3] = {};   // reach of the centre's movement
};

// Holds the particles of a 13 x 13 x 13 lattice to their rest points.
class LatticeSpring : public Affector {
public:
    static constexpr int side = 13;
    static constexpr float halfSize = 300.0f;
    // The particles in lattice order: index i + 13 j + 169 k.
    explicit LatticeSpring(const std::vector<Particle*>* lattice) : lattice(lattice) {}
    void applyForces(ParticleSystem& system, float from, float to) override;
    // The rest point of lattice indices (i, j, k).
    static void restPoint(int i, int j, int k, float* out);

    const std::vector<Particle*>* lattice;
};

// A floor at -halfSize that bounces particles back, kicking one of them up now and then, and
// walls at +-halfSize on x and z.
class BounceBox : public Affector {
public:
    static const float kicks[10];
    explicit BounceBox(float halfSize) : halfSize(halfSize) {}
    void applyForces(ParticleSystem& system, float from, float to) override;

    bool disabled = false;
    float halfSize;
    float sinceKick = 0.0f;   // seconds since the last kick
    int nextKick = 0;
};

class Gravity : public Affector {
public:
    explicit Gravity(float g) : g(g) {}
    void applyForces(ParticleSystem& system, float from, float to) override;

    float g;
};
