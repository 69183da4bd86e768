// The 16-bit vertex indices of a surface's triangles, three per triangle, with the vertex
// buffer they point into (the host vertex buffer).
#pragma once

#include <cstdint>

#include <d3d.h>

class IndexBuffer {
public:
    // count: a positive multiple of three. Takes over one reference on `host`. A bad count or a
    // missing host ends the program.
    IndexBuffer(int count, LPDIRECT3DVERTEXBUFFER7 host);
    // Frees the indices and releases the host vertex buffer.
    virtual ~IndexBuffer();
    IndexBuffer(const IndexBuffer&) = delete;
    IndexBuffer& operator=(const IndexBuffer&) = delete;

    uint16_t* getIndices() { return indices; }
    int getCount() const { return count; }
    LPDIRECT3DVERTEXBUFFER7 getHost() const { return hostVertexBuffer; }
    // Binds the indices to another buffer with the same vertices in the same order: takes over
    // one reference on `host` and releases the old one.
    void replaceHost(LPDIRECT3DVERTEXBUFFER7 host);
    // Writes the index buffer's size to the debug log.
    void dump();

private:
    uint16_t* indices = nullptr;
    LPDIRECT3DVERTEXBUFFER7 hostVertexBuffer = nullptr;
    int count = 0;
};
