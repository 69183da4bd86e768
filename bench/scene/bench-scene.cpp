// bench-scene: what the show's keyframed scenes cost headless at 640 x 480: loading the four
// timeline scenes and the run-scene (reading, mesh processing, textures), then per frame the
// update and the drawing of each scene section, as the timeline plays them (normal lines on
// where the show has them; the run-scene with its ribbons). Without an archive it writes
// stand-in scenes of the show's kind (tori and boxes of 8000 to 20000 faces, textured, with
// moving cameras) into a temporary demo.dat.
//
//   bench-scene [--frames N] [--archive demo.dat]
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include "assets/archive.h"
#include "assets/picture.h"
#include "effects/effects.h"
#include "exp_writer.h"
#include "geometry/runscene.h"
#include "jpeg_writer.h"
#include "scene/scene.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"
#include "shell/timeline.h"
#include "zip_writer.h"

namespace {

namespace exp = content::exp;
using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A scene of `tori` tori of rings x sides (two faces a quad) on a circle, turning, a camera
// circling them and a light; the first material textured.
std::vector<uint8_t> standInScene(int tori, int rings, int sides) {
    exp::Writer w;
    w.add(exp::material("Material #1", "bench.jpg"));
    for (int i = 0; i < tori; ++i) {
        exp::Mesh t = exp::torus("Torus" + std::to_string(i), 600, 200, rings, sides);
        float a = 6.2831853f * float(i) / float(tori);
        float r = tori > 1 ? 1500.0f : 0.0f;
        t.position = exp::still(r * std::cos(a), r * std::sin(a), 0);
        exp::RotationKey start, turn;
        turn.frame = 300;
        turn.w = std::cos(1.5f);
        turn.z = std::sin(1.5f);
        t.rotation = {start, turn};
        t.material = 0;
        w.add(t);
    }
    w.add(exp::nullObject("Target", 0, 0, 0));
    exp::Camera c = exp::camera("Camera", "Target", 0, 0, 0, 0.9f);
    c.position.clear();
    for (int k = 0; k <= 8; ++k) {
        float a = 6.2831853f * float(k) / 8.0f;
        c.position.push_back(exp::VectorKey{float(k) * 150.0f, 5000 * std::cos(a), 5000 * std::sin(a), 1500});
    }
    w.add(c);
    w.add(exp::light("Light", 0, -3000, 4000));
    return w.bytes();
}

std::string writeStandIns() {
    char folder[] = "/tmp/bench-scene-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("bench-scene: mkdtemp");
        std::exit(1);
    }
    content::ZipWriter zip;
    std::vector<uint8_t> pixels(256 * 256 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t((i / 3 % 256) ^ (i / 768));
    std::vector<uint8_t> jpeg = content::writeJpeg(pixels.data(), 256, 256, 3, {});
    for (const char* name : {"bench.jpg", "yellowshitred.jpg", "sotku2.jpg", "sc2.jpg"}) zip.add(name, jpeg);
    zip.add("kurwa2_.exp", standInScene(6, 40, 20));
    zip.add("freak.exp", standInScene(1, 120, 60));
    zip.add("kurwa.exp", standInScene(4, 48, 24));
    zip.add("scene6.exp", standInScene(2, 100, 50));
    zip.add("nowheretorun.exp", standInScene(8, 32, 16));
    std::string path = std::string(folder) + "/demo.dat";
    if (!zip.writeFile(path)) {
        std::fprintf(stderr, "bench-scene: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    return path;
}

void openContext() {
    WNDCLASSA c{};
    c.lpfnWndProc = DefWindowProcA;
    c.lpszClassName = "BenchScene";
    RegisterClassA(&c);
    HWND window = CreateWindowExA(0, "BenchScene", "", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    glBinding.bindOpenGL("opengl32.dll");
    demoWindow = new DemoWindow;
    if (glBinding.createContext(*demoWindow, window) != 0) {
        std::fprintf(stderr, "bench-scene: no OpenGL context\n");
        std::exit(1);
    }
    handTexturesTheirFunctions();
    glViewport(0, 0, 640, 480);
}

int facesOf(const Scene& scene) {
    int faces = 0;
    for (const auto& mesh : scene.meshes) faces += int(mesh->indices.size() / 3);
    return faces;
}

struct Section {
    const char* name;
    float start;
    std::vector<TimelinePart*> parts;   // none: the run-scene
    int variant = 0;
    float rate = 0;
};

void frame(const Section& section, float t) {
    showTime = t;
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (TimelinePart* part : section.parts) part->run(t - part->start);
    if (section.parts.empty()) effectRunScene(t - section.start, section.variant, section.rate);
    glFinish();
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 120;
    std::string archive;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) frames = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--archive") && i + 1 < argc) archive = argv[++i];
        else {
            std::fprintf(stderr, "usage: bench-scene [--frames N] [--archive demo.dat]\n");
            return 1;
        }
    }
    const bool standIns = archive.empty();
    if (standIns) archive = writeStandIns();
    if (!addArchive(archive.c_str())) {
        std::fprintf(stderr, "bench-scene: cannot open %s\n", archive.c_str());
        return 1;
    }
    openContext();
    std::printf("bench-scene: %s, %d frames a section, 640 x 480 headless\n", archive.c_str(), frames);

    struct Load {
        const char* member;
        Scene* scene;
    } loads[] = {{"kurwa2_.exp", nullptr}, {"kurwa.exp", nullptr}, {"scene6.exp", nullptr}, {"freak.exp", nullptr}};
    for (Load& l : loads) {
        auto start = Clock::now();
        l.scene = new Scene(l.member);
        l.scene->load();
        std::printf("load %-18s %8.1f ms  %6d faces\n", l.member, millisecondsSince(start), facesOf(*l.scene));
    }
    auto start = Clock::now();
    createStreamerSet();
    createRunSceneHolder();
    std::printf("load %-18s %8.1f ms  %6d faces (with its three textures)\n", "nowheretorun.exp",
                millisecondsSince(start), facesOf(*runSceneHolder->scene));
    for (int i : {0, 1, 3}) loads[i].scene->drawNormals = true;
    closeArchives();
    if (standIns) {   // everything is loaded: the stand-ins go
        std::remove(archive.c_str());
        rmdir(archive.substr(0, archive.rfind('/')).c_str());
    }

    ScaledScenePart kurwa2(56, 82, 0.86f, loads[0].scene), freak(56, 82, 2.2f, loads[3].scene);
    ScaledScenePart kurwa(82, 122, 0.56f, loads[1].scene);
    OffsetScenePart scene6(136, 157, 0.956f, loads[2].scene);
    const Section sections[] = {
        {"56-82 kurwa2_ + freak", 56, {&kurwa2, &freak}},
        {"82-122 kurwa", 82, {&kurwa}},
        {"136-157 scene6", 136, {&scene6}},
        {"156-182 run-scene", 156, {}, 1, 0.243f},
        {"182-233 run-scene", 182, {}, 3, 0.343f},
    };
    // Each section's frame, then the same frame without what costs most: the normal lines of
    // the timeline scenes, the ribbons of the run-scene.
    auto timeFrames = [&](const Section& section) {
        for (int i = 0; i < 5; ++i) frame(section, section.start + 1 + float(i) / 30);   // warm up
        auto s = Clock::now();
        for (int i = 0; i < frames; ++i) frame(section, section.start + 1 + float(i) / 30);
        return millisecondsSince(s) / frames;
    };
    std::printf("%-24s %9s %9s %7s %9s %14s\n", "section", "update ms", "frame ms", "fps", "vs 60 fps",
                "without ms");
    for (const Section& section : sections) {
        double updating = 0;
        for (TimelinePart* part : section.parts) {
            auto s = Clock::now();
            for (int i = 0; i < frames; ++i) part->scene->update((1 + float(i) / 30) * part->rate * 0.3f * 30);
            updating += millisecondsSince(s) / frames;
        }
        double perFrame = timeFrames(section);
        double without;
        const char* what;
        if (section.parts.empty()) {
            StreamerSet* ribbons = streamerSet;
            streamerSet = nullptr;
            without = timeFrames(section);
            streamerSet = ribbons;
            what = "ribbons";
        } else {
            std::vector<bool> normals;
            for (TimelinePart* part : section.parts) normals.push_back(std::exchange(part->scene->drawNormals, false));
            without = timeFrames(section);
            for (size_t i = 0; i < normals.size(); ++i) section.parts[i]->scene->drawNormals = normals[i];
            what = "normal lines";
        }
        std::printf("%-24s %9.2f %9.2f %7.1f %8.2fx %7.2f (%s)\n", section.name, updating, perFrame, 1000.0 / perFrame,
                    1000.0 / perFrame / 60.0, without, what);
    }
    return 0;
}
