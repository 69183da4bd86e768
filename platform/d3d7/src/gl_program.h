// The generated shader programs of the OpenGL renderer: the fixed-function state of a draw
// reduced to a key (vertex format, lighting and its lights by kind, material sources,
// shading, texture stages, colour keys, alpha test), and the GLSL that does for that key what
// Direct3D 7's fixed-function pipeline does. Private to platform/d3d7.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "renderer.h"

namespace d3d7::gl {

// Where each vertex element is fed to the generated programs.
// The texture unit of a stage's texture is the stage number; the coverage of a colour-keyed
// texture with alpha of its own (see StageTexture) is on this unit plus the stage number.
constexpr int firstCoverageUnit = maxTextureStages + 1;

enum AttributeLocation { positionAttribute = 0, normalAttribute = 1, diffuseAttribute = 2, specularAttribute = 3,
                         texCoordAttribute = 4 };

// Light parameters: seven vec4 a light, lights ordered directional, point, spot.
//  [0] camera-space position, range   [1] camera-space direction towards the light
//  (directional) or of the spot, falloff   [2] attenuation 0, 1, 2, cos(theta/2)
//  [3] cos(phi/2)   [4] diffuse   [5] specular   [6] ambient
constexpr int vec4sPerLight = 7;

enum class ColorSource : uint8_t { Material = 0, VertexDiffuse = 1, VertexSpecular = 2 };

struct StageKey {
    uint8_t colorOp, colorArg1, colorArg2;
    uint8_t alphaOp, alphaArg1, alphaArg2;
    uint8_t texCoordSet;        // the vertex's coordinate set, or 0xFF for none (0, 0)
    uint8_t texCoordGeneration; // TEXCOORDINDEX >> 16
    uint8_t hasTexture;
    uint8_t colorKey;           // 0 none, 1 coverage in the texel's alpha, 2 in a texture of its own
};

// Compared and hashed as bytes: always made with makeProgramKey, which clears it first.
struct ProgramKey {
    uint16_t fvf;
    uint8_t transformed;
    uint8_t lighting;
    uint8_t directionalLights, pointLights, spotLights;
    uint8_t localViewer, normalizeNormals, specularEnable, flatShading;
    ColorSource diffuseSource, ambientSource, specularSource, emissiveSource;
    uint8_t alphaFunction;      // 0: no alpha test, else a D3DCMPFUNC
    uint8_t stageCount;         // stages before the first disabled one
    StageKey stages[maxTextureStages];

    bool operator==(const ProgramKey& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
};

struct ProgramKeyHash {
    size_t operator()(const ProgramKey& key) const {
        const auto* bytes = reinterpret_cast<const uint8_t*>(&key);
        uint64_t h = 1469598103934665603ull;
        for (size_t i = 0; i < sizeof key; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
        return size_t(h);
    }
};

// `lightCounts`: enabled directional, point and spot lights.
ProgramKey makeProgramKey(const DrawCall& call, const int lightCounts[3]);

struct ProgramSource {
    std::string vertex, fragment;
};
ProgramSource generateProgram(const ProgramKey& key);

}  // namespace d3d7::gl
