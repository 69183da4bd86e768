// The fixed-function state of a device, as Direct3D 7 defines it: render states, texture stage
// states, textures, transforms, material, lights and viewport, with the defaults a new device
// has and the rules for which values this stand-in accepts. Private to platform/d3d7.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "internal.h"

namespace d3d7 {

class Surface;

constexpr int maxTextureStages = 8;
constexpr int renderStateCount = 256;     // render-state numbers lie below this
constexpr int stageStateCount = 25;       // texture-stage-state numbers lie below this
// Lights enabled at one time. Lighting runs in a generated vertex shader with each enabled
// light's parameters in uniforms; 32 lights of the largest kind fit the 1024 vertex uniform
// components every OpenGL 3.3 driver offers.
constexpr DWORD maxActiveLights = 32;

// How a state's value reads in the call log and which values are accepted.
enum class ValueKind { Boolean, Enumeration, Color, Real, Number, Hex };

struct NamedValue {
    DWORD value;
    const char* name;
};

struct StateRule {
    DWORD state;
    const char* name;
    DWORD defaultValue;
    ValueKind kind;
    std::vector<NamedValue> names;   // Enumeration: every valid value
    // Values this stand-in does not draw (valid in Direct3D, refused here with DDERR_UNSUPPORTED).
    std::vector<DWORD> unsupported;
    // A value other than the default is refused with DDERR_UNSUPPORTED.
    bool defaultOnly = false;
    // Which kind of state block captures it (D3DSBT_PIXELSTATE, D3DSBT_VERTEXSTATE or both).
    bool pixel = true, vertex = false;
};

const StateRule* renderStateRule(DWORD state);
const std::vector<StateRule>& renderStateRules();
const StateRule* stageStateRule(DWORD state);
const std::vector<StateRule>& stageStateRules();
// The default of a texture stage state on `stage` (COLOROP and ALPHAOP differ on stage 0,
// TEXCOORDINDEX is the stage number).
DWORD stageStateDefault(DWORD stage, DWORD state);

// How a value of the state reads in the call log.
std::string ruleValueText(const StateRule& rule, DWORD value);

// Checks a value; D3D_OK or the refusal (already reported on standard error).
HRESULT checkRenderState(DWORD state, DWORD value, const char* where);
HRESULT checkStageState(DWORD stage, DWORD state, DWORD value, const char* where);

// A light slot: D3D7 keeps every light set or enabled by index; an index enabled without
// ever being set gets the default light (white directional light along +z).
struct LightSlot {
    D3DLIGHT7 light{};
    bool enabled = false;
};
D3DLIGHT7 defaultLight();

inline D3DMATRIX identityMatrix() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

struct DeviceState {
    std::array<DWORD, renderStateCount> render{};
    std::array<std::array<DWORD, stageStateCount>, maxTextureStages> stage{};
    // The device holds one reference on each texture set on it.
    std::array<Surface*, maxTextureStages> textures{};
    D3DMATRIX world = identityMatrix(), view = identityMatrix(), projection = identityMatrix();
    std::array<D3DMATRIX, 3> blendWorlds{};   // WORLD1..WORLD3, kept for GetTransform
    std::array<D3DMATRIX, maxTextureStages> textureTransforms{};
    D3DMATERIAL7 material{};
    std::map<DWORD, LightSlot> lights;
    D3DVIEWPORT7 viewport{};

    // Change counters the backend compares to know what to send again.
    // transforms and viewport; lights (and their enables); material; AMBIENT, TEXTUREFACTOR and ALPHAREF.
    uint64_t transformVersion = 1, lightVersion = 1, materialVersion = 1, constantsVersion = 1;

    void setDefaults(DWORD targetWidth, DWORD targetHeight, bool hasDepthBuffer);
};

// Row-vector matrix product a * b (a point goes through a first).
D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b);

}  // namespace d3d7
