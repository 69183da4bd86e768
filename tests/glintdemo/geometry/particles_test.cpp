// The particle systems, their affectors and the worlds' simulations, without drawing.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "geometry/camerapath.h"
#include "geometry/particles.h"
#include "geometry/worlds.h"

namespace {

// Records the local times of every step it sees.
class StepRecorder : public Affector {
public:
    void spawn(ParticleSystem&, float from, float to) override { steps.emplace_back(from, to); }
    std::vector<std::pair<float, float>> steps;
};

float lengthOf(const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

TEST(ParticleSystem, AnEmptiedPoolMakesEmittersSkipSilently) {
    ParticleSystem system(5);
    auto* emitter = new Emitter;
    emitter->flags = particleImmortal;
    emitter->interval = 0.01f;
    emitter->initParticle = initChainParticle;
    system.add(emitter);
    system.start(0.0f);
    ASSERT_NE(emitter->leader, nullptr);
    EXPECT_EQ(system.activeCount, 2);   // the leader and the particle emitted at 0
    system.stepTo(1.0f);                // room for 3 more of about a hundred
    EXPECT_EQ(system.activeCount, 5);
    EXPECT_EQ(emitter->emitted, 4);     // only the particles it got count
    EXPECT_EQ(system.freeTop, -1);
    EXPECT_EQ(system.take(), nullptr);
    int listed = 0;
    for (Particle* p = system.first; p; p = p->next) ++listed;
    EXPECT_EQ(listed, 5);
}

TEST(ParticleSystem, StepsAreFixedWithTheLastShortenedAndNoneForAnUnchangedTime) {
    ParticleSystem system(4);
    auto* recorder = new StepRecorder;
    system.add(recorder);
    Particle* p = system.take();
    p->mass = 1.0f;
    p->flags = particleImmortal;
    p->velocity[0] = 1.0f;
    system.start(0.0f);
    system.stepTo(0.1f);
    ASSERT_EQ(recorder->steps.size(), 4u);   // start, two whole steps, one of 0.1 - 2/24 s
    EXPECT_FLOAT_EQ(recorder->steps[1].second, 1.0f / 24.0f);
    EXPECT_FLOAT_EQ(recorder->steps[2].second, 2.0f / 24.0f);
    EXPECT_EQ(recorder->steps[3].second, 0.1f);
    EXPECT_EQ(system.time, 0.1f);
    EXPECT_NEAR(p->position[0], 0.1f, 1e-6f);   // moved by the shortened step, not a whole one
    system.stepTo(0.1f);
    system.stepTo(0.05f);
    EXPECT_EQ(recorder->steps.size(), 4u);
}

TEST(ParticleSystem, CatchesUpAGapInWholeSteps) {
    ParticleSystem system(1);
    auto* recorder = new StepRecorder;
    system.add(recorder);
    system.start(100.0f);
    system.stepTo(1.0f);
    recorder->steps.clear();
    system.stepTo(10.0f);
    ASSERT_GE(recorder->steps.size(), 216u);
    ASSERT_LE(recorder->steps.size(), 217u);
    for (size_t i = 0; i + 1 < recorder->steps.size(); ++i)
        EXPECT_NEAR(recorder->steps[i].second - recorder->steps[i].first, 1.0f / 24.0f, 1e-5f) << i;
    EXPECT_EQ(recorder->steps.back().second, 10.0f);
    EXPECT_EQ(recorder->steps.front().first, 1.0f);
}

TEST(ParticleSystem, MortalParticlesDieAfterTheirLifeAndReturnToThePool) {
    ParticleSystem system(3);
    Particle* mortal = system.take();
    mortal->mass = 1.0f;
    mortal->life = 0.1f;
    Particle* immortal = system.take();
    immortal->mass = 1.0f;
    immortal->flags = particleImmortal;
    immortal->life = 0.1f;
    system.add(new Gravity(10.0f));
    system.start(0.0f);
    system.stepTo(0.125f);   // three steps: life 0.1 -> below 0 at the third
    EXPECT_EQ(system.activeCount, 2);
    system.stepTo(1.0f / 6.0f);   // the fourth returns it
    EXPECT_EQ(system.activeCount, 1);
    EXPECT_EQ(system.first, immortal);
    EXPECT_EQ(system.last, immortal);
    EXPECT_EQ(immortal->life, 0.1f);
    EXPECT_EQ(mortal->force[1], -10.0f);   // what gravity left on it
    EXPECT_EQ(system.take(), mortal);      // back on top of the free stack, with no force
    EXPECT_EQ(mortal->force[1], 0.0f);
}

TEST(ParticleAffectors, KillBoxReturnsParticlesOutsideOnAnyAxis) {
    ParticleSystem system(4);
    KillBox box(100.0f);
    float places[4][3] = {{0, 0, 0}, {0, 101, 0}, {100, -100, 100}, {0, 0, -100.5f}};
    for (auto& place : places) {
        Particle* p = system.take();
        std::copy(place, place + 3, p->position);
    }
    box.constrain(system, 0, 0);
    ASSERT_EQ(system.activeCount, 2);
    EXPECT_EQ(system.first->position[1], 0.0f);
    EXPECT_EQ(system.last->position[0], 100.0f);
    EXPECT_EQ(system.last->next, nullptr);
}

TEST(ParticleAffectors, SpringChainLeavesOutItsFirstLinkEveryOtherStep) {
    ParticleSystem system(3);
    for (int i = 0; i < 3; ++i) {
        Particle* p = system.take();
        p->position[0] = 100.0f * i;   // links of 100, rest length 50
    }
    SpringChain chain;
    chain.restLength = 50.0f;
    chain.stiffness = 10.0f;
    chain.applyForces(system, 0, 0);
    Particle* a = system.first;
    Particle* b = a->next;
    Particle* c = b->next;
    EXPECT_FLOAT_EQ(a->force[0], 500.0f);   // pulled towards its neighbour
    EXPECT_FLOAT_EQ(b->force[0], 0.0f);     // pulled both ways
    EXPECT_FLOAT_EQ(c->force[0], -500.0f);
    for (Particle* p = a; p; p = p->next) p->force[0] = 0.0f;
    chain.applyForces(system, 0, 0);
    EXPECT_FLOAT_EQ(a->force[0], 0.0f);
    EXPECT_FLOAT_EQ(b->force[0], 500.0f);
    EXPECT_TRUE(chain.includeFirst);
}

TEST(ParticleAffectors, AttractorsPushPullAndShade) {
    ParticleSystem system(2);
    Particle* p = system.take();
    p->position[0] = 10.0f;
    p->mass = 2.0f;
    Particle* centred = system.take();
    PointAttractor point;
    point.strength = -500.0f;
    point.applyForces(system, 0, 0);
    EXPECT_FLOAT_EQ(p->force[0], -50.0f);   // v strength / |v|^2
    EXPECT_EQ(centred->force[0], 0.0f);     // nothing at the centre itself, and no NaN
    EXPECT_FALSE(std::isnan(centred->force[1]));

    p->force[0] = 0.0f;
    p->velocity[1] = 3.0f;
    p->velocity[2] = 4.0f;
    SpeedPull pull;
    pull.factor = 2.0f;
    pull.applyForces(system, 0, 0);
    EXPECT_FLOAT_EQ(p->force[0], -10.0f);   // towards the centre by speed x factor

    DistanceAttractor distance;
    distance.center[0] = 410.0f;
    distance.strength = 100.0f;
    p->force[0] = 0.0f;
    distance.applyForces(system, 0, 0);
    EXPECT_FLOAT_EQ(p->life, 0.5f);          // 400 units x 0.00125
    EXPECT_FLOAT_EQ(p->force[0], -50.0f);    // pushed away, by (1 - life) strength
    distance.center[0] = 2000.0f;
    p->force[0] = 0.0f;
    distance.applyForces(system, 0, 0);
    EXPECT_FLOAT_EQ(p->life, 1.0f);          // no farther than 800
    EXPECT_FLOAT_EQ(p->force[0], 0.0f);

    Gravity gravity(150.0f);
    gravity.applyForces(system, 0, 0);
    EXPECT_FLOAT_EQ(p->force[1], -300.0f);
}

TEST(ParticleAffectors, BounceBoxBouncesAndKicksOneParticleAQuarterSecondApart) {
    ParticleSystem system(2);
    Particle* a = system.take();
    Particle* b = system.take();
    BounceBox box(80.0f);
    auto below = [](Particle* p) {
        p->position[1] = -81.0f;
        p->velocity[0] = p->velocity[2] = 0.0f;
        p->velocity[1] = -10.0f;
    };
    below(a);
    below(b);
    box.applyForces(system, 0.0f, 0.2f);
    EXPECT_FLOAT_EQ(a->velocity[1], 7.0f);   // bounced, no kick before a quarter second
    below(a);
    below(b);
    box.applyForces(system, 0.2f, 0.3f);
    EXPECT_FLOAT_EQ(a->velocity[1], 127.0f);   // the first kick: up 120, sideways 3 x 0.001
    EXPECT_FLOAT_EQ(a->velocity[0], 0.003f);
    EXPECT_FLOAT_EQ(a->velocity[2], 0.003f);
    EXPECT_FLOAT_EQ(b->velocity[1], 7.0f);     // one particle a kick
    below(b);
    box.applyForces(system, 0.3f, 0.6f);
    EXPECT_FLOAT_EQ(b->velocity[0], 3.0f * 3.23f);   // the next kick of the table

    a->position[0] = 81.0f;
    a->velocity[0] = 5.0f;
    a->position[2] = -81.0f;
    a->velocity[2] = 5.0f;   // already coming back: left alone
    box.applyForces(system, 0.6f, 0.6f);
    EXPECT_FLOAT_EQ(a->velocity[0], -3.5f);
    EXPECT_FLOAT_EQ(a->velocity[2], 5.0f);
}

TEST(ParticleInitialisers, ThrowOutwardsTurningFourTimesASecond) {
    float source[3] = {1, 2, 3};
    Particle p{};
    initChainParticle(source, p, 0.0f, 0.0f);
    EXPECT_EQ(p.position[2], 3.0f);
    EXPECT_EQ(p.flags, particleImmortal);
    EXPECT_FLOAT_EQ(p.velocity[0], -50.0f);
    EXPECT_FLOAT_EQ(p.velocity[2], 0.0f);
    initTrailParticle(source, p, 0.5f, 0.0625f);   // a quarter turn
    EXPECT_EQ(p.flags, 0u);
    EXPECT_FLOAT_EQ(p.life, 5.0f - 0.4375f);
    EXPECT_NEAR(p.velocity[0], 0.0f, 1e-5f);
    EXPECT_FLOAT_EQ(p.velocity[2], -50.0f);
    initDropParticle(source, p, 0.5f, 0.125f);
    EXPECT_EQ(p.position[0], 0.0f);
    EXPECT_EQ(p.position[1], -50.0f);
    EXPECT_EQ(p.mass, 10.0f);
    EXPECT_EQ(p.flags, particleImmortal);
    EXPECT_FLOAT_EQ(p.velocity[0], 50.0f);
}

TEST(ParticleWorlds, ATrailLeaderLeavingTheKillBoxIsRespawnedAtItsEmitter) {
    std::unique_ptr<ParticleWorld> world(createWorld(2));
    world->start(10.0f);
    auto* emitter = dynamic_cast<Emitter*>(world->system.affectors[3].get());
    ASSERT_NE(emitter, nullptr);
    Particle* leader = emitter->leader;
    ASSERT_NE(leader, nullptr);
    leader->position[0] = 1500.0f;
    world->system.stepTo(1.0f / 24.0f);
    EXPECT_EQ(leader->flags & particleLeader, 0u);   // back in the pool
    EXPECT_TRUE(emitter->spawnPending);
    world->system.stepTo(2.0f / 24.0f);
    ASSERT_NE(emitter->leader, nullptr);
    const Particle* respawned = emitter->leader;
    EXPECT_EQ(respawned->flags, particleLeader | particleImmortal);
    EXPECT_FLOAT_EQ(respawned->position[0], 10.0f - 10.0f / 24.0f);   // one step from (10, 10, 10)
    EXPECT_FLOAT_EQ(respawned->position[1], 10.0f);
    EXPECT_FLOAT_EQ(respawned->position[2], 10.0f);
    EXPECT_FLOAT_EQ(respawned->velocity[0], -10.0f);
}

TEST(ParticleWorlds, TheTrailAttractorTurnsTenDegreesAFrame) {
    std::unique_ptr<ParticleWorld> world(createWorld(2));
    auto& trails = static_cast<TrailWorld&>(*world);
    world->start(0.0f);
    for (int frame = 0; frame < 9; ++frame) world->advance(0.0f);
    // A quarter turn: (50, 50, 50) to (-50, 50, 50).
    EXPECT_NEAR(trails.attractor->center[0], -50.0f, 1e-3f);
    EXPECT_NEAR(trails.attractor->center[2], 50.0f, 1e-3f);
    EXPECT_EQ(trails.attractor->center[1], 50.0f);
}

TEST(ParticleWorlds, TheLatticeRestsOnItsPointsAndHoldsTogetherWhenShaken) {
    std::unique_ptr<ParticleWorld> world(createWorld(3));
    auto& lattice = static_cast<LatticeWorld&>(*world);
    ASSERT_EQ(world->system.activeCount, 2197);
    const Particle* corner = lattice.lattice[12 + 13 * 0 + 169 * 12];
    EXPECT_NEAR(corner->position[0], -300.0f + 12 * 600.0f / 13.0f, 1e-3f);
    EXPECT_FLOAT_EQ(corner->position[1], 300.0f);
    EXPECT_NEAR(corner->position[2], -300.0f + 12 * 600.0f / 13.0f, 1e-3f);
    world->start(182.0f);
    for (float t = 182.0f; t < 192.0f; t += 1.0f / 30.0f) world->advance(t);
    EXPECT_EQ(world->system.activeCount, 2197);
    float largest = 0.0f, farthest = 0.0f;
    for (const Particle* p : lattice.lattice) {
        largest = std::max(largest, lengthOf(p->velocity));
        farthest = std::max(farthest, lengthOf(p->position));
    }
    EXPECT_GT(largest, 1.0f);            // the attractors move it
    EXPECT_LT(farthest, 700.0f);         // and the springs keep it near its shape (corners at 520)
}

TEST(ParticleWorlds, TheDropsAreCappedAtEightyAndStayInTheirBox) {
    std::unique_ptr<ParticleWorld> world(createWorld(4));
    world->start(132.0f);
    EXPECT_EQ(world->system.activeCount, 1);   // the first drop at once
    for (float t = 132.0f; t < 152.0f; t += 1.0f / 30.0f) {
        world->advance(t);
        ASSERT_LE(world->system.activeCount, CappedEmitter::particleCap);
    }
    EXPECT_EQ(world->system.activeCount, 80);
    for (const Particle* p = world->system.first; p; p = p->next) {
        EXPECT_LT(std::fabs(p->position[0]), 100.0f);
        EXPECT_GT(p->position[1], -100.0f);
        EXPECT_LT(std::fabs(p->position[2]), 100.0f);
    }
}

// A four-key path through 0, 1, 3, 2 on the first channel, one key a second.
std::vector<CameraKey> rampPath() {
    std::vector<CameraKey> keys(4);
    const float values[4] = {0, 1, 3, 2};
    for (int i = 0; i < 4; ++i) {
        keys[i] = CameraKey{};
        keys[i].time = float(i);
        keys[i].value[CameraX] = values[i];
    }
    computeCameraTangents(keys.data(), 4);
    return keys;
}

TEST(CameraPath, TangentsWrapAroundTheClosedPath) {
    std::vector<CameraKey> keys = rampPath();
    EXPECT_EQ(keys[2].tension, 0.25f);
    EXPECT_FLOAT_EQ(keys[1].incoming[CameraX], 1.0546875f);
    EXPECT_FLOAT_EQ(keys[1].outgoing[CameraX], 1.0078125f);
    // The ends take the second-last key before them and the second key after them.
    EXPECT_FLOAT_EQ(keys[0].incoming[CameraX], -0.703125f);
    EXPECT_FLOAT_EQ(keys[0].outgoing[CameraX], -1.546875f);
    EXPECT_FLOAT_EQ(keys[3].incoming[CameraX], -0.703125f);
    EXPECT_FLOAT_EQ(keys[3].outgoing[CameraX], -0.796875f);
    EXPECT_EQ(keys[3].incoming[CameraY], 0.0f);
}

TEST(CameraPath, PassesThroughItsKeysAndLoops) {
    std::vector<CameraKey> keys = rampPath();
    EXPECT_FLOAT_EQ(evaluateCamera(keys.data(), 4, 1.5f).value[CameraX], 2.08203125f);
    EXPECT_FLOAT_EQ(evaluateCamera(keys.data(), 4, 5.5f).value[CameraX], 2.08203125f);   // every 4 s
    EXPECT_EQ(evaluateCamera(keys.data(), 4, 3.5f).value[CameraX], 2.0f);   // the last key held
    EXPECT_EQ(evaluateCamera(keys.data(), 4, -1.0f).value[CameraX], 0.0f);  // before the first

    for (int n = 1; n <= 4; ++n) {
        CameraPath path = cameraPath(n);
        computeCameraTangents(path.keys, path.count);
        const float period = path.keys[path.count - 1].time + 1.0f;
        for (int i = 0; i < path.count; ++i) {
            CameraPose pose = evaluateCamera(path.keys, path.count, path.keys[i].time);
            CameraPose again = evaluateCamera(path.keys, path.count, path.keys[i].time + 2 * period);
            for (int c = 0; c < cameraChannelCount; ++c) {
                EXPECT_NEAR(pose.value[c], path.keys[i].value[c], 1e-3f) << n << " " << i << " " << c;
                EXPECT_NEAR(again.value[c], pose.value[c], 2e-2f) << n << " " << i << " " << c;
            }
        }
    }
}

}  // namespace
