#include "lightwave/objectbuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "gfx/gfxcore.h"
#include "gfx/indexbuffer.h"
#include "lightwave/LWOLoader1.h"
#include "lightwave/material.h"
#include "lightwave/property.h"
#include "lightwave/surface.h"
#include "shell/cleanup.h"
#include "shell/debuglog.h"

namespace {

// 16-bit indices reach this many vertices.
constexpr size_t maxSurfaceVertices = 65536;

void stage(DWORD number, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    gfx.device->SetTextureStageState(number, state, value);
}

void renderState(D3DRENDERSTATETYPE state, DWORD value) { gfx.device->SetRenderState(state, value); }

const LWClip* clipAt(const LWObject& source, int position) {
    ListNode* node = position > 0 ? source.clips.at(position) : nullptr;
    return node ? static_cast<const LWClip*>(node->getData()) : nullptr;
}

// Makes the surface's material and records (into the state block being recorded) the shade
// mode, texture stages, blending and the material itself.
Material* setUpMaterial(const Tsurface& s, const LWObject& source) {
    renderState(D3DRENDERSTATE_SHADEMODE, s.smoothingAngle == 0.0f ? D3DSHADE_FLAT : D3DSHADE_GOURAUD);

    const LWClip* base = clipAt(source, s.imageClip);
    Material* material = nullptr;
    if (base) {
        material = new (std::nothrow) Material(base->fileName.c_str(), -1, -1, 2);
    } else {
        if (s.particle) cleaner.fatal("No texture in particle surface");
        material = new (std::nothrow) Material();
    }
    if (!material) cleaner.fatal("Unable to create a new material");
    if (s.sidedness == 3) material->doubleSided = true;

    const LWClip* reflection = clipAt(source, s.reflectionClip);
    if (!reflection) {
        if (base) {
            gfx.device->SetTexture(0, material->baseTexture);
            stage(0, D3DTSS_TEXCOORDINDEX, 0);
            stage(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            stage(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
            stage(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
            stage(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            stage(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        } else {
            stage(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
        }
    } else {
        material->setEnvironment(reflection->fileName.c_str(), s.reflection);
        if (!base) {
            gfx.device->SetTexture(0, material->environmentTexture);
            stage(0, D3DTSS_COLOROP, D3DTOP_MODULATEALPHA_ADDCOLOR);
            stage(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
            stage(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
            stage(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            stage(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
            stage(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        } else {
            gfx.device->SetTexture(0, material->baseTexture);
            gfx.device->SetTexture(1, material->environmentTexture);
            stage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            stage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            stage(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            stage(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
            stage(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
            stage(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            stage(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
            stage(1, D3DTSS_COLOROP, D3DTOP_BLENDDIFFUSEALPHA);
            stage(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
            stage(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR | 1);
            material->reflectionLevel *= 0.5f;
        }
        // Both colour operations blend with the diffuse alpha.
        material->material.diffuse.a = material->reflectionLevel;
    }

    material->setSpecular(s.specular, s.glossiness * 10.0f + 2.0f);
    material->setColor(s.red, s.green, s.blue);
    material->setEmissive(s.luminosity);

    if (s.transparent) {
        material->setTransparency(s.transparency);
        renderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        renderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_INVSRCALPHA);
        if (s.additive == 1.0f) {
            renderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
            material->additive = true;
        } else {
            renderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_SRCALPHA);
        }
    } else {
        renderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
    }
    gfx.device->SetMaterial(&material->material);
    return material;
}

LPDIRECT3DVERTEXBUFFER7 createSurfaceBuffer(bool writeOnly, size_t vertices) {
    return createVertexBuffer(writeOnly ? D3DVBCAPS_WRITEONLY : 0, surfaceVertexFormat, vertices);
}

IndexBuffer* createIndexBuffer(size_t indices, LPDIRECT3DVERTEXBUFFER7 host) {
    IndexBuffer* buffer = new (std::nothrow) IndexBuffer(int(indices), host);
    if (!buffer) cleaner.fatal("IndexBuffer failed");
    if (!buffer->getIndices()) cleaner.fatal("IndexBuffer pointer not valid");
    return buffer;
}

// The surface's triangles each get a vertex of their own carrying the face normal, written
// as the triangle's first corner: with flat shading Direct3D lights a triangle by that vertex.
// `vertices` (what the old buffer holds) grows by the new vertices.
IndexBuffer* convertToFlat(IndexBuffer* old, std::vector<LWPoint>& vertices, bool writeOnly) {
    size_t vertexCount = vertices.size(), triangleCount = size_t(old->getCount()) / 3;
    LPDIRECT3DVERTEXBUFFER7 buffer = createSurfaceBuffer(writeOnly, vertexCount + triangleCount);
    if (!buffer) cleaner.fatal("unable to create vertex buffer for flat surface");
    IndexBuffer* flat = createIndexBuffer(triangleCount * 3, buffer);
    auto* from = static_cast<const LWPoint*>(lockVertices(old->getHost(), DDLOCK_READONLY));
    auto* to = static_cast<LWPoint*>(lockVertices(buffer, DDLOCK_WRITEONLY | DDLOCK_DISCARDCONTENTS));
    const LWPoint* in = from ? from : vertices.data();
    std::vector<LWPoint> faceVertices(triangleCount);
    const uint16_t* oldIndices = old->getIndices();
    uint16_t* out = flat->getIndices();
    for (size_t t = 0; t < triangleCount; ++t) {
        const LWPoint &a = in[oldIndices[3 * t]], &b = in[oldIndices[3 * t + 1]], &c = in[oldIndices[3 * t + 2]];
        float ux = a.x - b.x, uy = a.y - b.y, uz = a.z - b.z;
        float vx = c.x - b.x, vy = c.y - b.y, vz = c.z - b.z;
        float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        float length = std::sqrt(nx * nx + ny * ny + nz * nz);
        if (length > 0.0f) {   // a triangle of no area keeps a zero normal
            nx /= length;
            ny /= length;
            nz /= length;
        }
        LWPoint& v = faceVertices[t];
        v = a;
        v.nx = nx;
        v.ny = ny;
        v.nz = nz;
        out[3 * t] = uint16_t(vertexCount + t);
        out[3 * t + 1] = oldIndices[3 * t + 1];
        out[3 * t + 2] = oldIndices[3 * t + 2];
    }
    vertices.insert(vertices.end(), faceVertices.begin(), faceVertices.end());
    if (to) std::memcpy(to, vertices.data(), vertices.size() * sizeof(LWPoint));
    if (from) old->getHost()->Unlock();
    if (to) buffer->Unlock();
    old->dump();
    delete old;
    return flat;
}

}  // namespace

LWObject* findObjectFile(const char* name) {
    LWObject* object = LWOLoader::loadObject(name);
    if (!object) {
        char path[100];
        std::snprintf(path, sizeof path, "objects/%s", name);
        object = LWOLoader::loadObject(path);
    }
    if (!object) {
        LOG_ENTRY << "Failed to load LWObject " << name << "." << std::endl;
        cleaner.fatal("Object not found");
    }
    LOG_ENTRY << "object " << name << ": vertices: " << object->pointCount << " faces: " << object->triangleCount
              << std::endl;
    return object;
}

bool buildSurfaces(SceneObject* object, LWObject* source) {
    std::vector<std::vector<uint32_t>> trianglesOf = source->trianglesBySurface();
    std::vector<int> indexInSurface(size_t(source->pointCount), 0);
    size_t i = 0;
    for (ListNode* node = source->surfaces.first(); node; node = node->getNext(), ++i) {
        const char* name = node->getName();
        const Tsurface* s = static_cast<const Tsurface*>(node->getData());
        if (!s) cleaner.fatal("Tsurface corrupt");
        const std::vector<uint32_t>& triangles = trianglesOf[i];
        if (triangles.empty()) {
            LOG_ENTRY << "surface '" << name << "' is used by no triangle and is not built" << std::endl;
            continue;
        }

        // The surface's points in point order: the k-th becomes vertex k.
        std::vector<uint32_t> members;
        members.reserve(triangles.size() * 3);
        for (uint32_t t : triangles)
            for (uint32_t corner : source->triangles[t].corner) members.push_back(corner);
        std::sort(members.begin(), members.end());
        members.erase(std::unique(members.begin(), members.end()), members.end());
        bool flat = s->smoothingAngle == 0.0f && s->reflection == 0.0f && !s->particle;
        size_t needed = members.size() + (flat ? triangles.size() : 0);
        if (needed > maxSurfaceVertices) {
            LOG_ENTRY << "surface '" << name << "' needs " << long(needed) << " vertices, more than "
                      << long(maxSurfaceVertices) << " that 16-bit indices reach" << std::endl;
            return false;
        }

        std::vector<LWPoint> vertices(members.size());
        const float* uv = s->hasUVMap ? source->uvMap(s->uvMapName.c_str()) : nullptr;
        for (size_t k = 0; k < members.size(); ++k) {
            vertices[k] = source->points[members[k]];
            if (uv) {
                vertices[k].u = uv[2 * size_t(members[k])];
                vertices[k].v = uv[2 * size_t(members[k]) + 1];
            }
            indexInSurface[members[k]] = int(k);
        }

        gfx.device->BeginStateBlock();
        Material* material = setUpMaterial(*s, *source);

        LPDIRECT3DVERTEXBUFFER7 vertexBuffer = createSurfaceBuffer(s->staticVertices, vertices.size());
        if (!vertexBuffer) cleaner.fatal("unable to create vertex buffer for surface");
        if (void* to = lockVertices(vertexBuffer, DDLOCK_WRITEONLY | DDLOCK_DISCARDCONTENTS)) {
            std::memcpy(to, vertices.data(), vertices.size() * sizeof(LWPoint));
            vertexBuffer->Unlock();
        }
        IndexBuffer* indexBuffer = createIndexBuffer(triangles.size() * 3, vertexBuffer);
        uint16_t* index = indexBuffer->getIndices();
        for (uint32_t t : triangles)
            for (uint32_t corner : source->triangles[t].corner) *index++ = uint16_t(indexInSurface[corner]);

        DWORD stateBlock = 0;
        if (gfx.device->EndStateBlock(&stateBlock) != 0) cleaner.fatal("EndStateBlock() failed");

        if (flat) indexBuffer = convertToFlat(indexBuffer, vertices, s->staticVertices);
        auto* surface = new Surface(name, material, stateBlock, indexBuffer->getHost(), indexBuffer, vertices.data());
        surface->particle = s->particle;
        object->addSurface(surface);
    }
    return true;
}

SceneObject::SceneObject(const char* objectName, bool) {
    setIdentity(world);
    LWObject* source = findObjectFile(objectName);
    size_t length = std::strlen(objectName);
    name = new char[length + 1];
    std::memcpy(name, objectName, length + 1);

    pointCount = source->pointCount;
    triangleCount = source->triangleCount;
    bool built = buildSurfaces(this, source);
    delete source;
    if (!built) cleaner.fatal("object building/loading failed");

    const char* propertyNames[2] = {"MorphAmount", "ObjectDissolve"};
    float* drives[2] = {&morphAmount, &dissolve};
    for (int i = 0; i < 2; ++i) {
        auto* node = new ListNode(propertyNames[i]);
        node->setData(new Property(propertyNames[i], drives[i]));
        properties.append(node);
    }
}

SceneObject::~SceneObject() {
    for (ListNode* node = surfaces.first(); node; node = node->getNext()) delete static_cast<Surface*>(node->getData());
    for (ListNode* node = properties.first(); node; node = node->getNext())
        delete static_cast<Property*>(node->getData());
    delete[] name;
}

void SceneObject::addSurface(Surface* surface) {
    if (!surface) cleaner.fatal("surface must be initialized");
    auto* node = new (std::nothrow) ListNode(surface->name);
    if (!node) cleaner.fatal("unable to create a new node for surface");
    node->setData(surface);
    surfaces.append(node);
}

int SceneObject::channelTargets(float* targets[9]) {
    float* all[9] = {&position.x, &position.y, &position.z, &heading, &pitch, &bank, &scale, &scale, &scale};
    std::copy(all, all + 9, targets);
    return 9;
}
