// A surface's material: its Direct3D material colours, base and environment textures and its
// transparency; and the texture cache that loads every image file once.
#pragma once

#include <d3d.h>
#include <d3dx.h>

class Material {
public:
    // An untextured material: named "color", white diffuse and ambient.
    Material();
    // A textured material: the base texture comes from the cache at the requested size and
    // mipmap levels, in 16-bit 5-6-5 colour.
    Material(const char* fileName, int width, int height, int mipLevels);
    // Releases the textures this material holds.
    virtual ~Material();
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;

    void setEnvironment(const char* fileName, float reflectionLevel);
    void setColor(float r, float g, float b);
    void scaleColor(float factor);
    void setSpecular(float level, float power);
    void setEmissive(float level);
    void setTransparency(float transparency);
    void setDissolve(float dissolve);
    bool isTransparent() const { return transparent; }

    // Finds or loads an image; a file D3DX cannot load ends the program.
    static void getTexture(const char* fileName, LPDIRECTDRAWSURFACE7* surface, DWORD* width, DWORD* height,
                           DWORD* mipLevels, D3DX_SURFACEFORMAT* format);

    char* name;
    char* environmentName = nullptr;
    bool textured = false;
    int requestedWidth = -1, requestedHeight = -1;
    int requestedMipLevels = 2;
    D3DMATERIAL7 material;
    LPDIRECTDRAWSURFACE7 baseTexture = nullptr;
    bool hasEnvironmentTexture = false;
    LPDIRECTDRAWSURFACE7 environmentTexture = nullptr;
    float reflectionLevel = 0.0f;
    float transparency = 0.0f, dissolve = 0.0f, combinedTransparency = 0.0f;
    bool transparent = false, additive = false, doubleSided = false;

private:
    void recomputeTransparency();
};
