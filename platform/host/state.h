// Process-wide state of the host, shared by its source files. Private to platform/host.
#pragma once

#include <map>
#include <memory>

#include "backend.h"
#include "capture.h"

namespace host {

struct HostState {
    std::unique_ptr<Backend> backend;
    bool windowOpen = false;
    bool visible = false;
    bool fullscreen = false;
    WindowRequest window;          // program's client size and position

    bool context = false;
    bool current = false;
    unsigned backFramebuffer = 0;
    unsigned backColor = 0, backDepth = 0;
    int backWidth = 0, backHeight = 0;   // in the host's pixels: the program's size times `scale`
    int scale = 1;                       // DEMO_RENDER_SCALE, chosen for the program's size
    int samples = 0;                     // of the back buffer; 0: not multisampled
    // Where a multisampled back buffer is resolved for reading, presenting and capture.
    unsigned resolveFramebuffer = 0, resolveColor = 0, resolveDepth = 0;
    unsigned scratchFramebuffer = 0, scratchColor = 0, scratchDepth = 0;
    int scratchWidth = 0, scratchHeight = 0;
    unsigned captureFramebuffer = 0, captureColor = 0;
    int captureWidth = 0, captureHeight = 0;
    int lastSwapInterval = -1;

    uint64_t presented = 0;
    std::unique_ptr<CaptureWriter> capture;

    int nextListenerId = 1;
    std::map<int, PresentListener> listeners;

    size_t nextScripted = 0;   // index into settings().input
    bool keys[256] = {};
    int cursorX = 0, cursorY = 0;
};

HostState& state();
Backend& backend();

// The size the host shows: DEMO_SIZE, or the size of the picture drawn (the program's size
// times the render scale).
void shownSize(int& width, int& height);

}  // namespace host
