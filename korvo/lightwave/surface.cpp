#include "lightwave/surface.h"

#include <cstring>

#include "gfx/gfxcore.h"
#include "gfx/indexbuffer.h"
#include "lightwave/material.h"
#include "shell/cleanup.h"
#include "shell/debuglog.h"

namespace {

constexpr DWORD transformedFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;
constexpr size_t floatsPerVertex = 8;

D3DVERTEXBUFFERDESC describe(LPDIRECT3DVERTEXBUFFER7 buffer) {
    D3DVERTEXBUFFERDESC description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof description;
    buffer->GetVertexBufferDesc(&description);
    return description;
}

float* lock(LPDIRECT3DVERTEXBUFFER7 buffer, DWORD flags) { return static_cast<float*>(lockVertices(buffer, flags)); }

char* copyText(const char* text) {
    size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

}  // namespace

LPDIRECT3DVERTEXBUFFER7 createVertexBuffer(DWORD caps, DWORD format, size_t vertices) {
    D3DVERTEXBUFFERDESC description;
    description.dwSize = 16;
    description.dwCaps = caps;
    description.dwFVF = format;
    description.dwNumVertices = DWORD(vertices);
    LPDIRECT3DVERTEXBUFFER7 buffer = nullptr;
    if (gfx.direct3D->CreateVertexBuffer(&description, &buffer, 0) != 0) return nullptr;
    return buffer;
}

void* lockVertices(LPDIRECT3DVERTEXBUFFER7 buffer, DWORD flags) {
    void* data = nullptr;
    if (buffer->Lock(flags, &data, nullptr) != 0) return nullptr;
    return data;
}

Surface::Surface(const char* surfaceName, Material* surfaceMaterial, DWORD block, LPDIRECT3DVERTEXBUFFER7 buffer,
                 IndexBuffer* indices, const void* vertices)
    : indexBuffer(indices), vertexBuffer(buffer), material(surfaceMaterial), stateBlock(block) {
    if (!material) cleaner.fatal("not a valid material for surface");
    if (!indexBuffer) cleaner.fatal("not a valid index buffer for surface");
    name = copyText(surfaceName);
    vertexCount = int(describe(vertexBuffer).dwNumVertices);
    optimisable = !material->hasEnvironmentTexture;
    transparent = material->transparent;
    twoSided = material->doubleSided;
    if (optimisable) {
        const float* from = static_cast<const float*>(vertices);
        if (from) keptVertices_.assign(from, from + size_t(vertexCount) * floatsPerVertex);
        vertexBuffer->Optimize(gfx.device, 0);
        LOG_ENTRY << "optimized vertex buffer of surface '" << name << "'" << std::endl;
    }
}

Surface::~Surface() {
    delete indexBuffer;
    delete material;
    delete[] name;
    if (backupVertexBuffer) backupVertexBuffer->Release();
    if (transformedVertexBuffer) transformedVertexBuffer->Release();
    // Once the graphics core has let the device go, its state blocks went with it.
    if (gfx.device) gfx.device->DeleteStateBlock(stateBlock);
}

void Surface::makeLockable() {
    if (!(describe(vertexBuffer).dwCaps & D3DVBCAPS_OPTIMIZED)) return;
    LPDIRECT3DVERTEXBUFFER7 lockable = createVertexBuffer(0, surfaceVertexFormat, size_t(vertexCount));
    if (!lockable) cleaner.fatal("unable to create vertex buffer for surface");
    if (float* to = lock(lockable, DDLOCK_WRITEONLY | DDLOCK_DISCARDCONTENTS)) {
        std::memcpy(to, keptVertices_.data(), keptVertices_.size() * sizeof(float));
        lockable->Unlock();
    }
    indexBuffer->replaceHost(lockable);
    vertexBuffer = lockable;
    keptVertices_ = std::vector<float>();
    optimisable = false;
}

void Surface::makeMorphBackup() {
    makeLockable();
    if (backupVertexBuffer) backupVertexBuffer->Release();
    backupVertexBuffer = createVertexBuffer(D3DVBCAPS_SYSTEMMEMORY, surfaceVertexFormat, size_t(vertexCount));
    if (!backupVertexBuffer) cleaner.fatal("unable to create backup vertex buffer for surface");
    float* from = lock(vertexBuffer, DDLOCK_READONLY);
    float* to = lock(backupVertexBuffer, DDLOCK_WRITEONLY | DDLOCK_DISCARDCONTENTS);
    if (from && to) std::memcpy(to, from, size_t(vertexCount) * floatsPerVertex * sizeof(float));
    if (from) vertexBuffer->Unlock();
    if (to) backupVertexBuffer->Unlock();
    optimisable = false;
}

void Surface::morph(Surface& target, float amount) {
    if (vertexCount != target.vertexCount) cleaner.fatal("Tried to morph surfaces with different amount of points");
    if (!backupVertexBuffer) makeMorphBackup();
    target.makeLockable();
    if (describe(vertexBuffer).dwFVF != surfaceVertexFormat || describe(target.vertexBuffer).dwFVF != surfaceVertexFormat ||
        describe(backupVertexBuffer).dwFVF != surfaceVertexFormat)
        cleaner.fatal("Unable to perform morph to unknown vertex format");
    float* out = lock(vertexBuffer, DDLOCK_WRITEONLY);
    const float* to = lock(target.vertexBuffer, DDLOCK_READONLY);
    const float* from = lock(backupVertexBuffer, DDLOCK_READONLY);
    if (out && to && from)
        for (size_t i = 0, n = size_t(vertexCount) * floatsPerVertex; i < n; ++i)
            out[i] = from[i] + (to[i] - from[i]) * amount;
    if (out) vertexBuffer->Unlock();
    if (to) target.vertexBuffer->Unlock();
    if (from) backupVertexBuffer->Unlock();
}

void Surface::makeTransformedCopy() {
    if (transformedVertexBuffer) transformedVertexBuffer->Release();
    transformedVertexBuffer = createVertexBuffer(D3DVBCAPS_SYSTEMMEMORY, transformedFormat, size_t(vertexCount));
    if (!transformedVertexBuffer) cleaner.fatal("unable to create transformed vertex buffer for the surface");
    if (transformedVertexBuffer->ProcessVertices(D3DVOP_TRANSFORM | D3DVOP_CLIP, 0, DWORD(vertexCount), vertexBuffer, 0,
                                                 gfx.device, 0) != 0)
        cleaner.fatal("Unable to transform vertices");
}
