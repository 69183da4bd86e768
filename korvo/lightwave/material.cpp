#include "lightwave/material.h"

#include <d3dx.h>

#include <cstring>

#include "gfx/gfxcore.h"
#include "shell/cleanup.h"
#include "shell/debuglog.h"
#include "shell/list.h"

// Every image loaded, by file name exactly as asked for.
extern List textureCache;

namespace {

char* copyText(const char* text) {
    size_t length = std::strlen(text);
    char* copy = new char[length + 1];
    std::memcpy(copy, text, length + 1);
    return copy;
}

void initialColours(D3DMATERIAL7& m) {
    std::memset(&m, 0, sizeof m);
    m.diffuse.r = m.diffuse.g = m.diffuse.b = 1.0f;
    m.ambient.r = m.ambient.g = m.ambient.b = 1.0f;
}

}  // namespace

Material::Material() : name(copyText("color")) { initialColours(material); }

Material::Material(const char* fileName, int width, int height, int mipLevels)
    : name(copyText(fileName)), textured(true), requestedWidth(width), requestedHeight(height),
      requestedMipLevels(mipLevels) {
    initialColours(material);
    DWORD w = DWORD(width), h = DWORD(height), levels = DWORD(mipLevels);
    D3DX_SURFACEFORMAT format = D3DX_SF_R5G6B5;
    getTexture(fileName, &baseTexture, &w, &h, &levels, &format);
}

Material::~Material() {
    if (baseTexture) baseTexture->Release();
    if (environmentTexture) environmentTexture->Release();
    delete[] name;
    delete[] environmentName;
}

void Material::setEnvironment(const char* fileName, float level) {
    reflectionLevel = level;
    hasEnvironmentTexture = true;
    DWORD w = DWORD(-1), h = DWORD(-1), levels = 2;
    D3DX_SURFACEFORMAT format = D3DX_SF_R5G6B5;
    getTexture(fileName, &environmentTexture, &w, &h, &levels, &format);
    delete[] environmentName;
    environmentName = copyText(fileName);
}

void Material::setColor(float r, float g, float b) {
    material.diffuse.r = r;
    material.diffuse.g = g;
    material.diffuse.b = b;
}

void Material::scaleColor(float factor) {
    material.diffuse.r *= factor;
    material.diffuse.g *= factor;
    material.diffuse.b *= factor;
}

void Material::setSpecular(float level, float power) {
    material.specular.r = material.specular.g = material.specular.b = level;
    material.power = power;
}

void Material::setEmissive(float level) { material.emissive.r = material.emissive.g = material.emissive.b = level; }

void Material::setTransparency(float value) {
    transparency = value;
    recomputeTransparency();
}

void Material::setDissolve(float value) {
    dissolve = value;
    recomputeTransparency();
}

void Material::recomputeTransparency() {
    combinedTransparency = 1.0f - (1.0f - dissolve) * (1.0f - transparency);
    material.diffuse.a = material.specular.a = combinedTransparency;
    transparent = combinedTransparency != 0.0f;
}

void Material::getTexture(const char* fileName, LPDIRECTDRAWSURFACE7* surface, DWORD* width, DWORD* height,
                          DWORD* mipLevels, D3DX_SURFACEFORMAT* format) {
    ListNode* node = textureCache.find(fileName);
    if (node) {
        *surface = static_cast<LPDIRECTDRAWSURFACE7>(node->getData());
        LOG_ENTRY << "Got request on a cached texture '" << fileName << "'" << std::endl;
        (*surface)->AddRef();
    } else {
        HRESULT result = D3DXCreateTextureFromFile(gfx.device, nullptr, width, height, format, nullptr, surface,
                                                   mipLevels, const_cast<char*>(fileName), D3DX_FT_LINEAR);
        if (result != 0 || !*surface) {
            LOG_ENTRY << "TexMSys: Unable to load texture '" << fileName << "'" << std::endl;
            cleaner.fatal("?texture probably not found error");
        }
        // The cache keeps a reference of its own, so an entry stays good after every material
        // that used it is gone.
        (*surface)->AddRef();
        auto* entry = new ListNode(fileName);
        entry->setData(*surface);
        textureCache.append(entry);
        LOG_ENTRY << "Loaded texture '" << fileName << "': w" << int(*width) << " h" << int(*height)
                  << " mipmaps:" << int(*mipLevels) << std::endl;
    }
    DDCOLORKEY black;
    black.dwColorSpaceLowValue = 0;
    black.dwColorSpaceHighValue = 0;
    (*surface)->SetColorKey(DDCKEY_SRCBLT, &black);
    gfx.device->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE);
}
