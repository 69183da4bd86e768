// IDirect3DVertexBuffer7: vertices kept in system memory (what Lock hands out and what
// ProcessVertices reads) and copied to the renderer before a draw needs them.
#include <cstring>

#include "objects.h"

namespace d3d7 {
namespace {

std::string processFlagsText(DWORD operations) {
    std::string text;
    auto add = [&](DWORD bit, const char* name) {
        if (!(operations & bit)) return;
        if (!text.empty()) text += " | ";
        text += name;
        operations &= ~bit;
    };
    add(D3DVOP_TRANSFORM, "D3DVOP_TRANSFORM");
    add(D3DVOP_CLIP, "D3DVOP_CLIP");
    add(D3DVOP_EXTENTS, "D3DVOP_EXTENTS");
    add(D3DVOP_LIGHT, "D3DVOP_LIGHT");
    if (operations) text += (text.empty() ? "" : " | ") + hexText(operations, 1);
    return text.empty() ? "0" : text;
}

}  // namespace

VertexBuffer::VertexBuffer(std::shared_ptr<Renderer> renderer, const D3DVERTEXBUFFERDESC& description,
                           const VertexLayout& layout)
    : renderer_(std::move(renderer)), description_(description), layout_(layout),
      logName_("vb#" + std::to_string(nextObjectNumber("vb"))),
      data_(size_t(layout.stride) * description.dwNumVertices, 0) {}

VertexBuffer::~VertexBuffer() {
    if (buffer_ && renderer_->alive()) renderer_->destroyBuffer(buffer_);
}

HRESULT VertexBuffer::QueryInterface(REFIID riid, LPVOID* object) {
    return queryInterface(riid, object, IID_IDirect3DVertexBuffer7, "IDirect3DVertexBuffer7::QueryInterface");
}

uint32_t VertexBuffer::bufferForDraw() {
    if (!buffer_) buffer_ = renderer_->createBuffer();
    if (dirty_) {
        renderer_->uploadBuffer(buffer_, data_.data(), data_.size());
        dirty_ = false;
    }
    return buffer_;
}

HRESULT VertexBuffer::Lock(DWORD flags, LPVOID* data, LPDWORD size) {
    HRESULT result = D3D_OK;
    if (!data) {
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DVertexBuffer7::Lock", "no pointer to return the vertices through");
    } else if (description_.dwCaps & D3DVBCAPS_OPTIMIZED) {
        *data = nullptr;
        result = refuse(D3DERR_VERTEXBUFFEROPTIMIZED, "IDirect3DVertexBuffer7::Lock", "%s is optimized and can no longer be locked",
                        logName_.c_str());
    } else {
        *data = data_.data();
        if (size) *size = DWORD(data_.size());
        ++locks_;
        if (!(flags & DDLOCK_READONLY)) dirty_ = true;
    }
    if (calllog_detail::active()) LogLine(logName_ + "->Lock").arg(lockFlagsText(flags)).write(result);
    return result;
}

HRESULT VertexBuffer::Unlock() {
    HRESULT result = D3D_OK;
    if (locks_ == 0)
        result = refuse(D3DERR_VERTEXBUFFERUNLOCKFAILED, "IDirect3DVertexBuffer7::Unlock", "%s is not locked", logName_.c_str());
    else
        --locks_;
    if (calllog_detail::active()) LogLine(logName_ + "->Unlock").write(result);
    return result;
}

HRESULT VertexBuffer::GetVertexBufferDesc(LPD3DVERTEXBUFFERDESC description) {
    if (!description) return refuse(DDERR_INVALIDPARAMS, "IDirect3DVertexBuffer7::GetVertexBufferDesc", "no description to fill");
    *description = description_;
    description->dwSize = sizeof(D3DVERTEXBUFFERDESC);
    return D3D_OK;
}

HRESULT VertexBuffer::Optimize(LPDIRECT3DDEVICE7 device, DWORD flags) {
    HRESULT result = D3D_OK;
    if (!device || !dynamic_cast<Device*>(device) || flags != 0)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DVertexBuffer7::Optimize", "a device of this library and flags 0 are needed");
    else if (description_.dwCaps & D3DVBCAPS_OPTIMIZED)
        result = refuse(D3DERR_VERTEXBUFFEROPTIMIZED, "IDirect3DVertexBuffer7::Optimize", "%s is optimized already", logName_.c_str());
    else if (locks_ > 0)
        result = refuse(D3DERR_VERTEXBUFFERLOCKED, "IDirect3DVertexBuffer7::Optimize", "%s is locked", logName_.c_str());
    else {
        description_.dwCaps |= D3DVBCAPS_OPTIMIZED;
        if (renderer_->alive()) bufferForDraw();
    }
    if (calllog_detail::active()) LogLine(logName_ + "->Optimize").number(flags).write(result);
    return result;
}

// Transforms (and, asked for D3DVOP_CLIP, clips) `count` vertices of `source` into this
// buffer of pre-transformed vertices with the device's current world, view, projection and
// viewport: screen x = X + (1 + x/w) W/2, y = Y + (1 - y/w) H/2, z = MinZ + (z/w)(MaxZ - MinZ),
// rhw = 1/w. A vertex at or behind the eye plane (w <= 0) has no screen position; its
// clip-space x, y, z and w are written as they are (its z is then below 0).
HRESULT VertexBuffer::ProcessVertices(DWORD operations, DWORD destinationIndex, DWORD count,
                                      LPDIRECT3DVERTEXBUFFER7 sourceInterface, DWORD sourceIndex,
                                      LPDIRECT3DDEVICE7 deviceInterface, DWORD flags) {
    auto* source = dynamic_cast<VertexBuffer*>(sourceInterface);
    auto* device = dynamic_cast<Device*>(deviceInterface);
    HRESULT result = D3D_OK;
    if (!source || !device) {
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DVertexBuffer7::ProcessVertices", "a source buffer and a device are needed");
    } else if (!(operations & D3DVOP_TRANSFORM) || (operations & ~(D3DVOP_TRANSFORM | D3DVOP_CLIP | D3DVOP_EXTENTS | D3DVOP_LIGHT))) {
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DVertexBuffer7::ProcessVertices", "operations %s: D3DVOP_TRANSFORM is required",
                        processFlagsText(operations).c_str());
    } else if (operations & (D3DVOP_LIGHT | D3DVOP_EXTENTS)) {
        result = refuse(DDERR_UNSUPPORTED, "IDirect3DVertexBuffer7::ProcessVertices",
                        "lighting and extents in ProcessVertices are not done by this device");
    } else if (flags & ~DWORD(D3DPV_DONOTCOPYDATA)) {
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DVertexBuffer7::ProcessVertices", "unknown flags 0x%X", flags);
    } else if (!layout_.transformed || source->layout_.transformed) {
        result = refuse(D3DERR_INVALIDVERTEXFORMAT, "IDirect3DVertexBuffer7::ProcessVertices",
                        "the destination must hold pre-transformed vertices and the source untransformed ones");
    } else if (description_.dwCaps & D3DVBCAPS_OPTIMIZED) {
        result = refuse(D3DERR_VERTEXBUFFEROPTIMIZED, "IDirect3DVertexBuffer7::ProcessVertices", "the destination %s is optimized",
                        logName_.c_str());
    } else if (locks_ > 0 || source->locks_ > 0) {
        result = refuse(D3DERR_VERTEXBUFFERLOCKED, "IDirect3DVertexBuffer7::ProcessVertices", "a buffer is locked");
    } else if (uint64_t(destinationIndex) + count > vertexCount() || uint64_t(sourceIndex) + count > source->vertexCount()) {
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DVertexBuffer7::ProcessVertices",
                        "%u vertices from %u of %s into %u of %s run past a buffer's end", count, sourceIndex,
                        source->logName_.c_str(), destinationIndex, logName_.c_str());
    } else {
        const DeviceState& s = device->state();
        D3DMATRIX m = multiply(multiply(s.world, s.view), s.projection);
        const D3DVIEWPORT7& vp = s.viewport;
        const VertexLayout& in = source->layout_;
        for (DWORD i = 0; i < count; ++i) {
            const uint8_t* from = source->data_.data() + size_t(sourceIndex + i) * in.stride;
            uint8_t* to = data_.data() + size_t(destinationIndex + i) * layout_.stride;
            float p[3];
            std::memcpy(p, from + in.positionOffset, sizeof p);
            float x = p[0] * m._11 + p[1] * m._21 + p[2] * m._31 + m._41;
            float y = p[0] * m._12 + p[1] * m._22 + p[2] * m._32 + m._42;
            float z = p[0] * m._13 + p[1] * m._23 + p[2] * m._33 + m._43;
            float w = p[0] * m._14 + p[1] * m._24 + p[2] * m._34 + m._44;
            float out[4] = {x, y, z, w};
            if (w > 0.0f) {
                out[0] = float(vp.dwX) + (1.0f + x / w) * float(vp.dwWidth) * 0.5f;
                out[1] = float(vp.dwY) + (1.0f - y / w) * float(vp.dwHeight) * 0.5f;
                out[2] = vp.dvMinZ + (z / w) * (vp.dvMaxZ - vp.dvMinZ);
                out[3] = 1.0f / w;
            }
            std::memcpy(to, out, sizeof out);
            if (flags & D3DPV_DONOTCOPYDATA) continue;
            if (layout_.diffuse) {
                DWORD diffuse = 0xFFFFFFFF;
                if (in.diffuse) std::memcpy(&diffuse, from + in.diffuseOffset, 4);
                std::memcpy(to + layout_.diffuseOffset, &diffuse, 4);
            }
            if (layout_.specular) {
                DWORD specular = 0;
                if (in.specular) std::memcpy(&specular, from + in.specularOffset, 4);
                std::memcpy(to + layout_.specularOffset, &specular, 4);
            }
            for (int t = 0; t < layout_.texCoordSets; ++t) {
                float uv[2] = {0, 0};
                if (t < in.texCoordSets) std::memcpy(uv, from + in.texCoordOffset[t], sizeof uv);
                std::memcpy(to + layout_.texCoordOffset[t], uv, sizeof uv);
            }
        }
        dirty_ = true;
    }
    if (calllog_detail::active()) {
        LogLine line(logName_ + "->ProcessVertices");
        line.arg(processFlagsText(operations)).number(destinationIndex).number(count);
        line.arg(source ? source->logName_ : std::string(sourceInterface ? "?" : "NULL"));
        line.number(sourceIndex).hex(flags).write(result);
    }
    return result;
}

HRESULT VertexBuffer::ProcessVerticesStrided(DWORD, DWORD, DWORD, LPD3DDRAWPRIMITIVESTRIDEDDATA, DWORD,
                                             LPDIRECT3DDEVICE7, DWORD) {
    return refuse(DDERR_UNSUPPORTED, "IDirect3DVertexBuffer7::ProcessVerticesStrided", "strided vertex data is not offered");
}

}  // namespace d3d7
