#include "geometry/particles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

float length(const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

// Normalises v when it is longer than 0.001; shorter vectors stay as they are. Returns the
// length it had.
float normalizeIfLong(float* v) {
    float l = length(v);
    if (l > 0.001f) {
        v[0] /= l;
        v[1] /= l;
        v[2] /= l;
    }
    return l;
}

// The throwing direction of all three initialisers turns four times a second.
void throwOutward(Particle& particle, float e) {
    static const float pi = std::acos(-1.0f);
    float a = 8.0f * pi * e;
    particle.velocity[0] = -50.0f * std::cos(a);
    particle.velocity[1] = 0.0f;
    particle.velocity[2] = -50.0f * std::sin(a);
}

}  // namespace

// ---- the system ----

ParticleSystem::ParticleSystem(int poolSize)
    : step(1.0f / 24.0f), poolSize(poolSize), pool(new Particle[poolSize]()), freeStack(new Particle*[poolSize]),
      freeTop(poolSize - 1) {
    // The first particle taken is the first of the pool.
    for (int i = 0; i < poolSize; ++i) freeStack[i] = &pool[poolSize - 1 - i];
}

ParticleSystem::~ParticleSystem() {
    delete[] freeStack;
    delete[] pool;
}

Particle* ParticleSystem::take() {
    if (freeTop < 0) return nullptr;
    Particle* p = freeStack[freeTop--];
    p->force[0] = p->force[1] = p->force[2] = 0.0f;
    p->next = nullptr;
    if (last) last->next = p;
    else first = p;
    last = p;
    ++activeCount;
    return p;
}

void ParticleSystem::release(Particle* p, Particle* previous) {
    p->flags = 0;
    freeStack[++freeTop] = p;
    if (previous) previous->next = p->next;
    else first = p->next;
    if (last == p) last = previous;
    p->next = nullptr;
    --activeCount;
}

void ParticleSystem::add(Affector* affector) { affectors.emplace_back(affector); }

void ParticleSystem::clearForces() {
    for (Particle* p = first; p; p = p->next) p->force[0] = p->force[1] = p->force[2] = 0.0f;
}

void ParticleSystem::start(float now) {
    startTime = now;
    time = 0.0f;
    for (auto& a : affectors) a->spawn(*this, 0.0f, 0.0f);
    for (auto& a : affectors) a->constrain(*this, 0.0f, 0.0f);
    for (auto& a : affectors) a->emit(*this, 0.0f, 0.0f);
    clearForces();
    for (auto& a : affectors) a->applyForces(*this, 0.0f, 0.0f);
    if (now - startTime > 0.001f) stepTo(now - startTime);
}

void ParticleSystem::stepTo(float target) {
    while (target > time) {
        float old = time;
        float d;
        if (fixedStep) {
            time += step;
            d = step;
            if (target < time) {
                d -= time - target;
                time = target;
            }
        } else {
            d = target - old;
            time = target;
        }
        runStep(old, d);
    }
}

void ParticleSystem::runStep(float old, float d) {
    releaseIf([](const Particle& p) { return !(p.flags & particleImmortal) && p.life < 0.0f; });
    for (Particle* p = first; p; p = p->next)
        if (!(p->flags & particleImmortal)) p->life -= time - old;
    for (auto& a : affectors) a->spawn(*this, old, time);
    for (auto& a : affectors) a->constrain(*this, old, time);
    for (Particle* p = first; p; p = p->next) {
        for (int c = 0; c < 3; ++c) p->position[c] += d * p->velocity[c];
        for (int c = 0; c < 3; ++c) p->velocity[c] += d * p->force[c] / p->mass;
    }
    for (auto& a : affectors) a->emit(*this, old, time);
    clearForces();
    for (auto& a : affectors) a->applyForces(*this, old, time);
}

void Affector::spawn(ParticleSystem&, float, float) {}
void Affector::emit(ParticleSystem&, float, float) {}
void Affector::constrain(ParticleSystem&, float, float) {}
void Affector::applyForces(ParticleSystem&, float, float) {}

// ---- initialisers ----

void initChainParticle(const float* source, Particle& particle, float, float e) {
    std::memcpy(particle.position, source, sizeof particle.position);
    particle.flags = particleImmortal;
    particle.mass = 1.0f;
    throwOutward(particle, e);
}

void initTrailParticle(const float* source, Particle& particle, float to, float e) {
    std::memcpy(particle.position, source, sizeof particle.position);
    particle.flags = 0;
    particle.mass = 1.0f;
    particle.life = 5.0f - (to - e);
    throwOutward(particle, e);
}

void initDropParticle(const float*, Particle& particle, float to, float e) {
    particle.position[0] = 0.0f;
    particle.position[1] = -50.0f;
    particle.position[2] = 0.0f;
    particle.flags = particleImmortal;
    particle.mass = 10.0f;
    particle.life = 5.0f - (to - e);
    throwOutward(particle, e);
}

// ---- affectors ----

void Emitter::spawn(ParticleSystem& system, float, float) {
    if (!spawnPending) return;
    if (Particle* p = system.take()) {
        leader = p;
        p->flags = flags | particleLeader;
        p->life = life;
        p->mass = mass;
        std::memcpy(p->position, position, sizeof position);
        std::memcpy(p->velocity, velocity, sizeof velocity);
    }
    spawnPending = false;
}

void Emitter::emit(ParticleSystem& system, float from, float to) {
    if (spawnPending) return;
    if (!leader || !(leader->flags & particleLeader)) {
        if (respawnLeader) spawnPending = true;
        return;
    }
    if (maxEmitted != 0 && emitted >= maxEmitted) return;
    for (float e = from + std::fmod(from, interval); e <= to; e += interval) {
        Particle* p = system.take();
        if (!p) continue;
        ++emitted;
        initParticle(leader->position, *p, to, e);
    }
}

void CappedEmitter::emit(ParticleSystem& system, float from, float to) {
    for (float e = from + std::fmod(from, interval); e <= to && system.activeCount < particleCap; e += interval) {
        Particle* p = system.take();
        if (!p) continue;
        initParticle(position, *p, to, e);
    }
}

void KillBox::constrain(ParticleSystem& system, float, float) {
    system.releaseIf([this](const Particle& p) {
        for (float c : p.position)
            if (c > halfSize || c < -halfSize) return true;
        return false;
    });
}

void SpringChain::applyForces(ParticleSystem& system, float, float) {
    Particle* p = system.first;
    if (p && !includeFirst) p = p->next;
    for (; p && p->next; p = p->next) {
        Particle* q = p->next;
        float v[3] = {q->position[0] - p->position[0], q->position[1] - p->position[1], q->position[2] - p->position[2]};
        float l = normalizeIfLong(v);
        float w = (restLength - l) * stiffness;
        for (int c = 0; c < 3; ++c) {
            q->force[c] += damping * q->velocity[c] + w * v[c];
            p->force[c] -= w * v[c] - damping * p->velocity[c];
        }
    }
    includeFirst = !includeFirst;
}

void PointAttractor::applyForces(ParticleSystem& system, float, float) {
    for (Particle* p = system.first; p; p = p->next) {
        float v[3] = {p->position[0] - center[0], p->position[1] - center[1], p->position[2] - center[2]};
        float squared = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
        if (squared == 0.0f) continue;   // no direction to push in at the centre itself
        for (int c = 0; c < 3; ++c) p->force[c] += v[c] * strength / squared;
    }
}

void SpeedPull::applyForces(ParticleSystem& system, float, float) {
    for (Particle* p = system.first; p; p = p->next) {
        float v[3] = {center[0] - p->position[0], center[1] - p->position[1], center[2] - p->position[2]};
        normalizeIfLong(v);
        float speed = length(p->velocity);
        for (int c = 0; c < 3; ++c) p->force[c] += v[c] * speed * factor;
    }
}

void DistanceAttractor::applyForces(ParticleSystem& system, float, float) {
    for (Particle* p = system.first; p; p = p->next) {
        float v[3] = {center[0] - p->position[0], center[1] - p->position[1], center[2] - p->position[2]};
        float r = std::min(normalizeIfLong(v), 800.0f);
        p->life = r * 0.00125f;
        for (int c = 0; c < 3; ++c) p->force[c] -= v[c] * (1.0f - p->life) * strength;
    }
}

void LatticeSpring::restPoint(int i, int j, int k, float* out) {
    const float s = 2.0f * halfSize / side;
    out[0] = -halfSize + i * s;
    out[1] = halfSize - j * s;
    out[2] = -halfSize + k * s;
}

void LatticeSpring::applyForces(ParticleSystem&, float, float) {
    int n = 0;
    for (int k = 0; k < side; ++k)
        for (int j = 0; j < side; ++j)
            for (int i = 0; i < side; ++i) {
                Particle* p = (*lattice)[n++];
                if (!(p->flags & particleImmortal)) continue;   // lost to the kill box
                float rest[3];
                restPoint(i, j, k, rest);
                for (int c = 0; c < 3; ++c) p->force[c] += (rest[c] - p->position[c]) * 100.0f - p->velocity[c] * 20.0f;
            }
}

const float BounceBox::kicks[10] = {0.001f, 3.23f, 4.1202f, 3.6537f, 2.4592f, 6.378f, 5.926f, 4.7043f, 8.7438f, 4.2975f};

void BounceBox::applyForces(ParticleSystem& system, float from, float to) {
    sinceKick += to - from;
    if (disabled) return;
    for (Particle* p = system.first; p; p = p->next) {
        float* v = p->velocity;
        if (p->position[1] < -halfSize && v[1] < 0.0f) {
            v[1] *= -0.7f;
            if (sinceKick > 0.25f) {
                sinceKick = 0.0f;
                v[1] += 120.0f;
                v[0] += 3.0f * kicks[nextKick];
                v[2] += 3.0f * kicks[nextKick];
                nextKick = (nextKick + 1) % 10;
            }
        }
        for (int c : {0, 2})
            if ((p->position[c] > halfSize && v[c] > 0.0f) || (p->position[c] < -halfSize && v[c] < 0.0f)) v[c] *= -0.7f;
    }
}

void Gravity::applyForces(ParticleSystem& system, float, float) {
    for (Particle* p = system.first; p; p = p->next) p->force[1] -= g * p->mass;
}
