// The player's global objects for unit tests, in the program's order. The log is not opened:
// writes are dropped unless a test opens it on a file of its own.
#include "gfx/gfxcore.h"
#include "lightwave/viewer.h"
#include "shell/cleanup.h"
#include "shell/debuglog.h"
#include "shell/list.h"

#include "host/host.h"

namespace {

// Before anything else: the tests never open a window or a real message box.
struct HeadlessForTests {
    HeadlessForTests() {
        host::Settings settings;
        settings.video = host::VideoBackend::Headless;
        settings.fixedClock = true;
        settings.fixedFramesPerSecond = 30;
        settings.audio = host::AudioSink::None;
        host::overrideSettings(settings);
    }
} headlessForTests;

}  // namespace

GfxCore gfx;
Viewer ViewerState;
List sceneList("noname");
List textureCache("images");
std::ofstream debugLog;
Cleanup cleaner;
