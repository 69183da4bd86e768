// bench-lws: what a frame of a LightWave scene costs in korvo, headless at 640 x 480 in
// 16-bit colour. The scene: 50 objects of 960 triangles (a plain and a textured surface each)
// with all nine channels keyed (TCB, Hermite, Bezier, linear and stepped keys), a point light
// and a directional light with colour envelopes, and a particle object of 200 sprites, written
// by our LWO2 and LWS writers and loaded as the player loads scenes. Prints frames per second,
// where a frame's time goes (update, present, render), what the Direct3D stand-in did, and
// channel evaluations per second.
//
//   bench-lws [--frames N] [--objects N]
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "d3d7/statistics.h"
#include "gfx/gfxcore.h"
#include "host/host.h"
#include "lightwave/channel.h"
#include "lightwave/scene.h"
#include "lightwave/viewer.h"
#include "lwo_writer.h"
#include "lws_writer.h"
#include "shell/cleanup.h"
#include "shell/list.h"

namespace {

struct Headless {
    Headless() {
        host::Settings settings;
        settings.video = host::VideoBackend::Headless;
        host::overrideSettings(settings);
    }
} headless;

}  // namespace

GfxCore gfx;
Viewer ViewerState;
List sceneList("noname");
List textureCache("images");
std::ofstream debugLog;
Cleanup cleaner;

namespace {

namespace lwo = content::lwo;
namespace lws = content::lws;
using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A ball of 20 rings and 24 segments (960 triangles): the upper half plain, the lower half
// textured through a UV map.
lwo::Object ball() {
    lwo::Object o;
    const int rings = 20, segments = 24;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            float theta = float(M_PI) * float(r) / rings, phi = 2.0f * float(M_PI) * float(s) / segments;
            o.addPoint(std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi));
        }
    lwo::UVMap& map = o.addUVMap("Ball");
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s)
            map.entries.push_back({uint32_t(r * (segments + 1) + s), {float(s) / segments, float(r) / rings}});
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            uint32_t a = uint32_t(r * (segments + 1) + s), b = a + segments + 1;
            const char* surface = r < rings / 2 ? "Paint" : "Checks";
            o.setSurface(o.addTriangle(a, b, a + 1), surface);
            o.setSurface(o.addTriangle(a + 1, b, b + 1), surface);
        }
    lwo::Surface& paint = o.addSurface("Paint");
    paint.red = 0.9f;
    paint.green = 0.5f;
    paint.blue = 0.2f;
    paint.specular = 0.4f;
    o.addClip("checks.bmp");
    lwo::TextureBlock block;
    block.image = 1;
    block.uvMap = "Ball";
    o.addSurface("Checks").blocks.push_back(block);
    return o;
}

lwo::Object sparks() {
    lwo::Object o;
    for (int i = 0; i < 200; ++i) {
        float a = float(i) * 0.7f;
        o.addPoint(std::cos(a) * (2.0f + 0.01f * float(i)), float(i % 20) * 0.2f - 2.0f, std::sin(a) * 2.0f);
    }
    for (uint32_t i = 0; i + 2 < 200; i += 3) o.setSurface(o.addTriangle(i, i + 1, i + 2), "shadebob");
    o.addClip("spark.bmp");
    lwo::TextureBlock block;
    block.image = 1;
    o.addSurface("shadebob").blocks.push_back(block);
    return o;
}

void writeImages() {
    std::vector<uint8_t> checks, spark;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            uint8_t v = ((x / 8 + y / 8) % 2) ? 230 : 60;
            checks.insert(checks.end(), {v, uint8_t(v / 2), uint8_t(255 - v)});
        }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            float d = std::hypot(float(x) - 3.5f, float(y) - 3.5f);
            uint8_t v = d < 3.5f ? uint8_t(255 - d * 60) : 0;
            spark.insert(spark.end(), {v, uint8_t(v * 3 / 4), uint8_t(v / 3)});
        }
    stbi_write_bmp("checks.bmp", 64, 64, 3, checks.data());
    stbi_write_bmp("spark.bmp", 8, 8, 3, spark.data());
}

// Every channel of every object keyed over ten seconds, each in its own shape.
lws::Scene benchScene(int objects) {
    lws::Scene s;
    for (int i = 0; i < objects; ++i) {
        lws::Object& o = s.addObject("ball.lwo");
        float x = float(i % 10) * 2.2f - 10.0f, y = float(i / 10) * 2.2f - 4.5f, phase = float(i) * 0.37f;
        lws::Envelope bob;
        for (int k = 0; k <= 10; ++k) bob.keys.push_back(lws::tcb(y + 0.5f * std::sin(phase + float(k)), float(k), 0.1f, 0.0f, -0.2f));
        o.motion[0] = lws::Envelope{lws::hermite(x, 0, 0.5f, 0.5f), lws::hermite(x + 1, 5, -0.5f, 0.5f), lws::hermite(x, 10, 0, 0)};
        o.motion[1] = bob;
        o.motion[2] = lws::Envelope{lws::bezier(4, 0, 0, 1), lws::bezier(6, 5, 1, 0), lws::bezier(4, 10, 0, 0)};
        o.motion[3] = lws::Envelope{lws::linear(0, 0), lws::linear(6.283f, 10)};
        o.motion[4] = lws::Envelope{lws::tcb(0, 0), lws::tcb(0.5f, 3), lws::tcb(-0.5f, 7), lws::tcb(0, 10)};
        o.motion[5] = lws::Envelope{lws::stepped(0, 0), lws::stepped(0.3f, 5)};
        for (size_t c = 6; c < 9; ++c) o.motion[c] = lws::Envelope{lws::tcb(0.8f, 0), lws::tcb(1.0f, 5), lws::tcb(0.8f, 10)};
    }
    s.addObject("sparks.lwo").motion[3] = lws::Envelope{lws::linear(0, 0), lws::linear(3, 10)};
    lws::Light& lamp = s.addLight("Lamp", lws::LightType::Point);
    lamp.motion.setPosition(0, 5, 0);
    lamp.color.envelopes = {{lws::Envelope{lws::tcb(1, 0), lws::tcb(0.5f, 10)}, lws::Envelope::constant(0.9f),
                             lws::Envelope{lws::tcb(0.5f, 0), lws::tcb(1, 10)}}};
    s.addLight("Sun", lws::LightType::Directional).motion.setRotation(0.4f, 0.6f, 0.0f);
    s.addCamera().motion.setPosition(0, 0, -14);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 300, objects = 50;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--frames" && i + 1 < argc) frames = std::atoi(argv[++i]);
        else if (a == "--objects" && i + 1 < argc) objects = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: bench-lws [--frames N] [--objects N]\n");
            return 2;
        }
    }

    char folder[] = "/tmp/bench-lws-XXXXXX";
    if (!mkdtemp(folder) || chdir(folder) != 0) return 1;
    writeImages();
    lwo::writeFile("ball.lwo", lwo::assemble(ball()));
    lwo::writeFile("sparks.lwo", lwo::assemble(sparks()));
    lws::writeFile("bench.lws", benchScene(objects).text());

    gfx.createWindow(nullptr, "bench-lws", true, 640, 480);
    gfx.initDevice(16);
    gfx.waitVRT = false;
    Clock::time_point loadStart = Clock::now();
    auto* scene = new Scene("bench.lws");
    double load = seconds(Clock::now() - loadStart);

    // A frame as the player's frame loop makes one; the scene time runs at 60 frames a second.
    double update = 0, present = 0, render = 0;
    for (int i = -10; i < frames; ++i) {
        float t = float(i + 10) / 60.0f;
        Clock::time_point a = Clock::now();
        gfx.updateScenes(t);
        Clock::time_point b = Clock::now();
        gfx.present();
        Clock::time_point c = Clock::now();
        gfx.renderer.renderFrame();
        Clock::time_point d = Clock::now();
        if (i < 0) continue;   // warming up
        update += seconds(b - a);
        present += seconds(c - b);
        render += seconds(d - c);
    }
    double total = update + present + render;
    d3d7::FrameStatistics last = d3d7::lastFrameStatistics();

    // Channel evaluations alone: every channel of the scene at changing times.
    long evaluations = 0;
    Clock::time_point start = Clock::now();
    while (seconds(Clock::now() - start) < 0.5) {
        for (int k = 0; k < 100; ++k) {
            float t = float(evaluations % 6000) / 600.0f;
            for (ListNode* node = scene->channels.first(); node; node = node->getNext()) {
                static_cast<Channel*>(node->getData())->evaluate(t);
                ++evaluations;
            }
        }
    }
    double evaluationTime = seconds(Clock::now() - start);

    std::printf("bench-lws: %d objects of 960 triangles, 200 sprites, 2 lights, %d channels; loaded in %.2f s\n",
                objects, scene->channels.getCount(), load);
    std::printf("  %d frames at 640 x 480 (16-bit), headless: %.1f frames per second\n", frames, frames / total);
    std::printf("  a frame: %.2f ms  (update %.2f ms, present %.2f ms, render %.2f ms)\n", 1000 * total / frames,
                1000 * update / frames, 1000 * present / frames, 1000 * render / frames);
    std::printf("  the stand-in, last frame: %llu draws, %llu primitives, %llu state changes, %llu uniform uploads, "
                "%llu buffer uploads (%llu bytes)\n",
                (unsigned long long)last.draws, (unsigned long long)last.primitives,
                (unsigned long long)last.stateChanges, (unsigned long long)last.uniformUploads,
                (unsigned long long)last.bufferUploads, (unsigned long long)last.bytesUploaded);
    std::printf("  channel evaluations: %.1f million a second\n", double(evaluations) / evaluationTime / 1e6);

    delete scene;
    delete sceneList.first();
    gfx.shutdown();
    std::filesystem::remove_all(folder);
    return 0;
}
