// The player's global objects, defined in the one order they must be constructed in (and,
// backwards, destroyed in): the graphics core first, so D3DX is started before anything and
// shut down after everything; the viewer; the live scenes; the texture cache; the debug log
// with its banner; and the fatal-error reporter last, so the log's end line is written on
// every way out, fatal ones included.
#include "gfx/gfxcore.h"
#include "lightwave/viewer.h"
#include "shell/cleanup.h"
#include "shell/debuglog.h"
#include "shell/list.h"

GfxCore gfx;
Viewer ViewerState;
List sceneList("noname");
List textureCache("images");
std::ofstream debugLog("debug.log", std::ios::app);
DebugLog debugLogBanner;
Cleanup cleaner;
