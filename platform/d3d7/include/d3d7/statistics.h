// What drawing costs, counted by the OpenGL backend of the Direct3D stand-in (benchmarks
// report these; nothing depends on them).
#pragma once

#include <cstdint>

namespace d3d7 {

struct FrameStatistics {
    uint64_t draws = 0;            // draw calls that reached OpenGL
    uint64_t primitives = 0;       // triangles, lines or points drawn
    uint64_t programSwitches = 0;  // glUseProgram calls that changed the program
    uint64_t programsBuilt = 0;    // generated shader programs compiled and linked
    uint64_t stateChanges = 0;     // OpenGL state calls: enables, blend, depth, cull, polygon mode,
                                   // viewport, framebuffer, vertex array, texture binds and parameters
    uint64_t uniformUploads = 0;   // glUniform* calls
    uint64_t bufferUploads = 0;    // vertex and index data sent to OpenGL
    uint64_t bytesUploaded = 0;
};

// The counts of the frame last presented (UpdateFrame), and of the frame being drawn now.
FrameStatistics lastFrameStatistics();
FrameStatistics currentFrameStatistics();

}  // namespace d3d7
