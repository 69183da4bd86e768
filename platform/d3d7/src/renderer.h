// The boundary between the Direct3D objects and what draws: a Renderer turns a draw with the
// device's current fixed-function state into OpenGL (the OpenGL renderer), or does nothing at
// all (the recording renderer of record-only contexts). The objects keep all API state; a
// renderer keeps only what it made (textures, buffers, programs) and its own cache of what
// OpenGL currently has. Private to platform/d3d7.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "d3d7/statistics.h"
#include "format.h"
#include "state.h"

namespace d3d7 {

// The render target and depth buffer a context draws into.
struct TargetSpec {
    int width = 0, height = 0;
    PixelFormatId color = PixelFormatId::X8R8G8B8;
    int depthBits = 0;      // 0: no depth buffer
    int stencilBits = 0;
};

// A texture stage's texture as a draw needs it.
struct StageTexture {
    uint32_t texture = 0;          // the renderer's texture, 0: none
    PixelFormatId format = PixelFormatId::X8R8G8B8;
    int levels = 1;
    // Source colour key in effect (the texture has one and COLORKEYENABLE is on). Keyed texels
    // are made transparent before filtering, as Direct3D devices do, so they never darken their
    // neighbours: `texture` is then a copy (A8R8G8B8) holding every texel multiplied by its
    // coverage (1, or 0 where the key matches), and the filtered coverage is its alpha, or, for
    // textures with an alpha channel of their own, the alpha of `coverage`. A sample whose
    // filtered coverage is below one half is dropped; the others are divided by it.
    bool colorKey = false;
    uint32_t coverage = 0;
};

struct DrawCall {
    D3DPRIMITIVETYPE type = D3DPT_TRIANGLELIST;
    uint32_t primitiveCount = 0;
    const DeviceState* state = nullptr;
    // The enabled lights, by index.
    std::vector<const LightSlot*> lights;
    const VertexLayout* layout = nullptr;
    // Vertices: a renderer buffer, or the caller's memory.
    uint32_t buffer = 0;
    const void* userVertices = nullptr;
    uint32_t firstVertex = 0, vertexCount = 0;
    // Indices (relative to firstVertex), or none.
    const WORD* indices = nullptr;
    uint32_t indexCount = 0;
    StageTexture textures[maxTextureStages];
};

struct ClearCall {
    DWORD flags = 0;
    std::vector<D3DRECT> rects;   // empty: the whole viewport
    D3DCOLOR color = 0;
    float z = 1.0f;
    DWORD stencil = 0;
    D3DVIEWPORT7 viewport{};
};

class Renderer {
public:
    virtual ~Renderer() = default;

    // Whether anything is drawn (false for record-only contexts).
    virtual bool draws() const = 0;
    // Whether the OpenGL context is still there (objects may outlive their context).
    virtual bool alive() const = 0;
    const TargetSpec& target() const { return target_; }

    virtual uint32_t createTexture(PixelFormatId format, int width, int height, int levels) = 0;
    // Replaces one level; `pixels` holds rows of `pitch` bytes in the texture's format, top row first.
    virtual void uploadTexture(uint32_t texture, int level, int width, int height, const uint8_t* pixels, int pitch) = 0;
    virtual void destroyTexture(uint32_t texture) = 0;

    virtual uint32_t createBuffer() = 0;
    virtual void uploadBuffer(uint32_t buffer, const void* data, size_t bytes) = 0;
    virtual void destroyBuffer(uint32_t buffer) = 0;

    virtual void clear(const ClearCall& call) = 0;
    virtual void draw(const DrawCall& call) = 0;
    // Debug text at x, y (fractions of the target) in `color`, drawn at once over the target;
    // false (with the reason on standard error) when the font cannot be had.
    virtual bool drawText(float x, float y, D3DCOLOR color, const char* text) = 0;
    // Shows the render target through the host and ends the frame.
    virtual void present(bool waitForRetrace) = 0;
    // The render target, top row first, 8-bit R, G, B, A per pixel; false when nothing is drawn.
    virtual bool readTarget(std::vector<uint8_t>& rgba) = 0;
    virtual bool writeTarget(const std::vector<uint8_t>& rgba) = 0;
    // Gives up the OpenGL context (the context object is going away).
    virtual void shutdown() = 0;

    FrameStatistics current, last;

protected:
    TargetSpec target_;
};

std::shared_ptr<Renderer> makeOpenGLRenderer(const TargetSpec& target, std::string* error);
std::shared_ptr<Renderer> makeRecordingRenderer(const TargetSpec& target);

// The renderer of the context that exists now (statistics), or null.
Renderer*& activeRenderer();

}  // namespace d3d7
