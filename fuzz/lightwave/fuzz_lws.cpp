// Fuzz entry point of the LightWave scene reader: the input is read as a scene file in a
// folder that holds two small objects ("cube.lwo" and "cube2.lwo", with one surface each, so
// that scenes can load, aim at and morph between them), on a device that records instead of
// drawing. A scene that reads is then animated, drawn, dumped and described by the overlay at
// a few times, so that whatever the file put into channels, lights and objects is used.
//
// What ends the program in the player (a fatal error) ends only the input here. The replay
// driver reads each input after the one before it ran: name them by absolute paths.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "d3d7/testing.h"
#include "gfx/gfxcore.h"
#include "host/host.h"
#include "lightwave/LWSLoader.h"
#include "lightwave/scene.h"
#include "lightwave/viewer.h"
#include "lwo_writer.h"
#include "shell/cleanup.h"
#include "shell/list.h"

namespace {

// Before the globals below: no window, no message box.
struct Headless {
    Headless() {
        host::Settings settings;
        settings.video = host::VideoBackend::Headless;
        settings.fixedClock = true;
        settings.fixedFramesPerSecond = 30;
        settings.audio = host::AudioSink::None;
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

struct FatalError {};

content::lwo::Object cube(float size) {
    content::lwo::Object o;
    const float corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                 {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    for (const auto& c : corners) o.addPoint(c[0] * size, c[1] * size, c[2] * size);
    const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    for (const auto& f : faces) {
        o.setSurface(o.addTriangle(uint32_t(f[0]), uint32_t(f[1]), uint32_t(f[2])), "Skin");
        o.setSurface(o.addTriangle(uint32_t(f[0]), uint32_t(f[2]), uint32_t(f[3])), "Skin");
    }
    o.addSurface("Skin");
    return o;
}

// The folder the inputs are read in, removed when the process ends.
char folder[] = "/tmp/fuzz-lws-XXXXXX";

void removeFolder() { std::filesystem::remove_all(folder); }

void setUpOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    if (!mkdtemp(folder) || chdir(folder) != 0) std::abort();
    std::atexit(removeFolder);
    content::lwo::writeFile("cube.lwo", content::lwo::assemble(cube(1.0f)));
    content::lwo::writeFile("cube2.lwo", content::lwo::assemble(cube(2.0f)));
    d3d7::testing::setRendering(d3d7::testing::Rendering::RecordOnly);
    gfx.createWindow(nullptr, "fuzz", false, 64, 48);
    gfx.initDevice(16);
    ViewerState.overlayMode = 2;
}

// The scene as the player uses it: as the first live scene, for the viewer's step.
void use(Scene& scene) {
    auto* node = new ListNode("fuzz");
    node->setData(&scene);
    sceneList.append(node);
    try {
        for (float t : {-1.0f, 0.0f, 0.5f, 1.5f, 2.5f, 100.0f}) {
            scene.update(t);
            gfx.renderer.renderFrame();
            ViewerState.frame();
        }
        ViewerState.sceneDump(&scene, "scenedump.txt");
    } catch (const FatalError&) {
    }
    // Its lights off again, so that every input starts with the device's lights free.
    for (ListNode* at = scene.lights.first(); at; at = at->getNext())
        gfx.device->LightEnable(static_cast<Light*>(at->getData())->index, FALSE);
    delete node;
}

}  // namespace

void Cleanup::fatal(const char*) { throw FatalError(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    setUpOnce();
    std::FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!file) return 0;
    {
        Scene scene;
        std::string damage;
        SceneFileResult result = SceneFileResult::damaged;
        try {
            result = readSceneFile(file, &scene, &damage);
        } catch (const FatalError&) {
        }
        std::fclose(file);
        if (result == SceneFileResult::read) use(scene);
        ViewerState.viewedObject = nullptr;
    }
    return 0;
}
