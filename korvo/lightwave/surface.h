// A renderable surface: the part of an object drawn with one material. It owns its vertex
// buffer (through its IndexBuffer), its Material and the state block that sets the material,
// textures and blending before it is drawn.
//
// Vertices are 32 bytes, flexible vertex format 0x112: position, normal, one (u, v).
// A surface whose vertices never change after building has its buffer optimised (it can then
// no longer be locked); one that is morphed or read later is made lockable again from the
// copy of its vertices it keeps for that purpose.
#pragma once

#include <d3d.h>

#include <vector>

class IndexBuffer;
class Material;

// Position, normal, one (u, v): 32 bytes a vertex.
constexpr DWORD surfaceVertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

// A vertex buffer of `vertices` vertices in `format` with the capabilities `caps`, made through
// the graphics core's Direct3D object; null when it cannot be made.
LPDIRECT3DVERTEXBUFFER7 createVertexBuffer(DWORD caps, DWORD format, size_t vertices);
// The buffer's vertices, locked with `flags`; null when the lock is refused.
void* lockVertices(LPDIRECT3DVERTEXBUFFER7 buffer, DWORD flags);

class Surface {
public:
    // Takes over the material, the state block, and the index buffer bound to `vertexBuffer`.
    // `vertices` (vertex count x 32 bytes) are what the buffer was filled with. A missing
    // material or index buffer ends the program. Optimises the buffer when the material has
    // no environment texture.
    Surface(const char* name, Material* material, DWORD stateBlock, LPDIRECT3DVERTEXBUFFER7 vertexBuffer,
            IndexBuffer* indexBuffer, const void* vertices);
    // Destroys the index buffer (and with it the vertex buffer) and the material, releases
    // the backup and transformed copies and deletes the state block.
    virtual ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    // Gives an optimised buffer back a lockable one with the same vertices.
    void makeLockable();
    // For morph sources: a system-memory copy of the vertices, which morphing starts from.
    void makeMorphBackup();
    // Every float of every vertex (position, normal, u, v) becomes backup + (target - backup) x
    // amount. The target must have as many vertices.
    void morph(Surface& target, float amount);
    // For particle surfaces, every frame: the vertices transformed to the screen with the
    // device's current transforms, into a new pre-transformed buffer (format 0x1C4).
    void makeTransformedCopy();

    char* name;
    IndexBuffer* indexBuffer;
    LPDIRECT3DVERTEXBUFFER7 vertexBuffer;   // the index buffer's host; not referenced twice
    int vertexCount = 0;
    Material* material;
    DWORD stateBlock;
    LPDIRECT3DVERTEXBUFFER7 transformedVertexBuffer = nullptr;
    LPDIRECT3DVERTEXBUFFER7 backupVertexBuffer = nullptr;
    bool optimisable = false;
    bool visible = true;
    bool transparent = false;
    bool twoSided = false;
    bool particle = false;

private:
    std::vector<float> keptVertices_;   // of an optimised buffer: 8 floats a vertex
};
