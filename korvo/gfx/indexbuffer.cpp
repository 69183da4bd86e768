#include "gfx/indexbuffer.h"

#include "shell/cleanup.h"
#include "shell/debuglog.h"

IndexBuffer::IndexBuffer(int indexCount, LPDIRECT3DVERTEXBUFFER7 host) {
    if (indexCount == 0) cleaner.fatal("indexbuffer must contain at least a three vertices");
    if (indexCount % 3 != 0) cleaner.fatal("indexbuffer must contain the number of vertices dividable by three");
    if (!host) cleaner.fatal("host vertex buffer must be a valid vertex buffer");
    hostVertexBuffer = host;
    count = indexCount;
    indices = new uint16_t[size_t(count)]();
}

IndexBuffer::~IndexBuffer() {
    delete[] indices;
    if (hostVertexBuffer) hostVertexBuffer->Release();
}

void IndexBuffer::replaceHost(LPDIRECT3DVERTEXBUFFER7 host) {
    if (!host) cleaner.fatal("host vertex buffer must be a valid vertex buffer");
    if (hostVertexBuffer) hostVertexBuffer->Release();
    hostVertexBuffer = host;
}

void IndexBuffer::dump() { LOG_ENTRY << "Indexbuffer: " << count << " vertices" << std::endl; }
