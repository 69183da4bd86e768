// The particle worlds' cost: one simulation step of each world at its largest particle count,
// the metaball surface of the drops' world built once per frame, and the frames per second of
// each world's stretch of the show run headless at 640 x 480 (against the goal of 60). The
// simulation and the surface are timed in processor time, the show both by the clock and in
// processor time, so that figures taken on a busy machine still mean something.
//
//   bench-worlds [steps per world, default 2000]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "geometry/worlds.h"
#include "glint_archive.h"
#include "support.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Processor time of this thread: the simulation and the extraction are measured by it, so that
// other work on a shared machine does not count.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

// How long each world runs before it is measured: until its particle count has grown to its
// largest (the chains' 500, the trails' steady state, the drops' cap).
constexpr float warmUp[5] = {0, 8.0f, 12.0f, 5.0f, 10.0f};

void benchSteps(int steps) {
    std::printf("simulation step (1/24 s), at the largest particle count:\n");
    for (int n = 1; n <= 4; ++n) {
        std::unique_ptr<ParticleWorld> world(createWorld(n));
        world->start(0.0f);
        world->advance(warmUp[n]);
        int particles = world->system.activeCount;
        double start = threadSeconds();
        for (int i = 0; i < steps; ++i) world->system.stepTo(world->system.time + world->system.step);
        double perStep = (threadSeconds() - start) / steps;
        std::printf("  world %d: %5d particles  %8.1f us a step  (%.4f of a 60 fps frame)\n", n, particles,
                    perStep * 1e6, perStep * 60.0);
    }
}

void benchSurface(int frames) {
    std::unique_ptr<ParticleWorld> world(createWorld(4));
    world->start(0.0f);
    world->advance(warmUp[4]);
    MetaballSurface surface;
    double total = 0.0;
    long triangles = 0, vertices = 0;
    for (int i = 0; i < frames; ++i) {
        world->advance(warmUp[4] + i / 60.0f);
        double start = threadSeconds();
        surface.buildSurface(world->system);
        total += threadSeconds() - start;
        triangles += surface.mesh.triangleCount;
        vertices += surface.mesh.vertexCount;
    }
    double perFrame = total / frames;
    std::printf("metaball surface of %d drops: %.3f ms a frame (%.3f of a 60 fps frame), %ld vertices, %ld triangles\n",
                world->system.activeCount, perFrame * 1e3, perFrame * 60.0, vertices / frames, triangles / frames);
}

double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

struct RunCost {
    double wall = 0.0, cpu = 0.0;   // seconds
};

// A headless run that jumps `enters` x 5 s into the show and then draws `frames`: its wall time,
// and the processor time of all its threads (the renderer's included), which other work on the
// machine does not inflate.
RunCost runShow(const std::string& folder, int enters, int frames) {
    auto settings = testing_support::headlessSettings(60);
    settings["DEMO_KEYS"] = "1:RETURN*" + std::to_string(enters) + "," + std::to_string(enters + 2 + frames) + ":ESCAPE";
    double cpuBefore = childCpuSeconds();
    auto start = Clock::now();
    testing_support::RunResult r =
        testing_support::run(testing_support::binDir() + "/glintdemo", {}, settings, folder, 600);
    RunCost cost{secondsSince(start), childCpuSeconds() - cpuBefore};
    if (r.exitCode != 0) std::fprintf(stderr, "glintdemo ended with %d: %s\n", r.exitCode, r.err.c_str());
    return cost;
}

void benchSections() {
    testing_support::TempDir folder;
    testing_support::writeGlintFolder(folder.path());
    struct Section {
        int world;
        int enters;   // 5 s each
        const char* window;
    };
    const Section sections[] = {{2, 12, "56-82 s"}, {4, 27, "132-157 s"}, {3, 37, "182-233 s"}};
    const int frames = 600;   // 10 s of the show at 60 frames a second
    std::printf("headless frames per second at 640 x 480 (goal 60); by the clock, and per second of one\n"
                "processor's time (what a machine with nothing else to do would give on one core):\n");
    for (const Section& s : sections) {
        RunCost shortRun = runShow(folder.path(), s.enters, 10);
        RunCost longRun = runShow(folder.path(), s.enters, 10 + frames);
        double fps = frames / (longRun.wall - shortRun.wall);
        double cpuFps = frames / (longRun.cpu - shortRun.cpu);
        std::printf("  world %d (%s): %6.1f frames a second (%.2f x the goal), %6.1f per processor second (%.2f x)\n",
                    s.world, s.window, fps, fps / 60.0, cpuFps, cpuFps / 60.0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    int steps = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (steps <= 0) {
        std::fprintf(stderr, "usage: bench-worlds [steps per world]\n");
        return 2;
    }
    benchSteps(steps);
    benchSurface(steps / 4);
    benchSections();
    return 0;
}
