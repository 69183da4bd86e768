#include "state.h"

#include <algorithm>
#include <cstring>

namespace d3d7 {
namespace {

const std::vector<NamedValue> booleans = {{FALSE, "FALSE"}, {TRUE, "TRUE"}};

const std::vector<NamedValue> blends = {
    {D3DBLEND_ZERO, "D3DBLEND_ZERO"},
    {D3DBLEND_ONE, "D3DBLEND_ONE"},
    {D3DBLEND_SRCCOLOR, "D3DBLEND_SRCCOLOR"},
    {D3DBLEND_INVSRCCOLOR, "D3DBLEND_INVSRCCOLOR"},
    {D3DBLEND_SRCALPHA, "D3DBLEND_SRCALPHA"},
    {D3DBLEND_INVSRCALPHA, "D3DBLEND_INVSRCALPHA"},
    {D3DBLEND_DESTALPHA, "D3DBLEND_DESTALPHA"},
    {D3DBLEND_INVDESTALPHA, "D3DBLEND_INVDESTALPHA"},
    {D3DBLEND_DESTCOLOR, "D3DBLEND_DESTCOLOR"},
    {D3DBLEND_INVDESTCOLOR, "D3DBLEND_INVDESTCOLOR"},
    {D3DBLEND_SRCALPHASAT, "D3DBLEND_SRCALPHASAT"},
    {D3DBLEND_BOTHSRCALPHA, "D3DBLEND_BOTHSRCALPHA"},
    {D3DBLEND_BOTHINVSRCALPHA, "D3DBLEND_BOTHINVSRCALPHA"},
};

const std::vector<NamedValue> compares = {
    {D3DCMP_NEVER, "D3DCMP_NEVER"},       {D3DCMP_LESS, "D3DCMP_LESS"},
    {D3DCMP_EQUAL, "D3DCMP_EQUAL"},       {D3DCMP_LESSEQUAL, "D3DCMP_LESSEQUAL"},
    {D3DCMP_GREATER, "D3DCMP_GREATER"},   {D3DCMP_NOTEQUAL, "D3DCMP_NOTEQUAL"},
    {D3DCMP_GREATEREQUAL, "D3DCMP_GREATEREQUAL"}, {D3DCMP_ALWAYS, "D3DCMP_ALWAYS"},
};

const std::vector<NamedValue> stencilOps = {
    {D3DSTENCILOP_KEEP, "D3DSTENCILOP_KEEP"},       {D3DSTENCILOP_ZERO, "D3DSTENCILOP_ZERO"},
    {D3DSTENCILOP_REPLACE, "D3DSTENCILOP_REPLACE"}, {D3DSTENCILOP_INCRSAT, "D3DSTENCILOP_INCRSAT"},
    {D3DSTENCILOP_DECRSAT, "D3DSTENCILOP_DECRSAT"}, {D3DSTENCILOP_INVERT, "D3DSTENCILOP_INVERT"},
    {D3DSTENCILOP_INCR, "D3DSTENCILOP_INCR"},       {D3DSTENCILOP_DECR, "D3DSTENCILOP_DECR"},
};

const std::vector<NamedValue> fogModes = {
    {D3DFOG_NONE, "D3DFOG_NONE"}, {D3DFOG_EXP, "D3DFOG_EXP"}, {D3DFOG_EXP2, "D3DFOG_EXP2"}, {D3DFOG_LINEAR, "D3DFOG_LINEAR"}};

const std::vector<NamedValue> materialSources = {
    {D3DMCS_MATERIAL, "D3DMCS_MATERIAL"}, {D3DMCS_COLOR1, "D3DMCS_COLOR1"}, {D3DMCS_COLOR2, "D3DMCS_COLOR2"}};

const std::vector<NamedValue> textureOps = {
    {D3DTOP_DISABLE, "D3DTOP_DISABLE"},
    {D3DTOP_SELECTARG1, "D3DTOP_SELECTARG1"},
    {D3DTOP_SELECTARG2, "D3DTOP_SELECTARG2"},
    {D3DTOP_MODULATE, "D3DTOP_MODULATE"},
    {D3DTOP_MODULATE2X, "D3DTOP_MODULATE2X"},
    {D3DTOP_MODULATE4X, "D3DTOP_MODULATE4X"},
    {D3DTOP_ADD, "D3DTOP_ADD"},
    {D3DTOP_ADDSIGNED, "D3DTOP_ADDSIGNED"},
    {D3DTOP_ADDSIGNED2X, "D3DTOP_ADDSIGNED2X"},
    {D3DTOP_SUBTRACT, "D3DTOP_SUBTRACT"},
    {D3DTOP_ADDSMOOTH, "D3DTOP_ADDSMOOTH"},
    {D3DTOP_BLENDDIFFUSEALPHA, "D3DTOP_BLENDDIFFUSEALPHA"},
    {D3DTOP_BLENDTEXTUREALPHA, "D3DTOP_BLENDTEXTUREALPHA"},
    {D3DTOP_BLENDFACTORALPHA, "D3DTOP_BLENDFACTORALPHA"},
    {D3DTOP_BLENDTEXTUREALPHAPM, "D3DTOP_BLENDTEXTUREALPHAPM"},
    {D3DTOP_BLENDCURRENTALPHA, "D3DTOP_BLENDCURRENTALPHA"},
    {D3DTOP_PREMODULATE, "D3DTOP_PREMODULATE"},
    {D3DTOP_MODULATEALPHA_ADDCOLOR, "D3DTOP_MODULATEALPHA_ADDCOLOR"},
    {D3DTOP_MODULATECOLOR_ADDALPHA, "D3DTOP_MODULATECOLOR_ADDALPHA"},
    {D3DTOP_MODULATEINVALPHA_ADDCOLOR, "D3DTOP_MODULATEINVALPHA_ADDCOLOR"},
    {D3DTOP_MODULATEINVCOLOR_ADDALPHA, "D3DTOP_MODULATEINVCOLOR_ADDALPHA"},
    {D3DTOP_BUMPENVMAP, "D3DTOP_BUMPENVMAP"},
    {D3DTOP_BUMPENVMAPLUMINANCE, "D3DTOP_BUMPENVMAPLUMINANCE"},
    {D3DTOP_DOTPRODUCT3, "D3DTOP_DOTPRODUCT3"},
};

const std::vector<NamedValue> addresses = {{D3DTADDRESS_WRAP, "D3DTADDRESS_WRAP"},
                                           {D3DTADDRESS_MIRROR, "D3DTADDRESS_MIRROR"},
                                           {D3DTADDRESS_CLAMP, "D3DTADDRESS_CLAMP"},
                                           {D3DTADDRESS_BORDER, "D3DTADDRESS_BORDER"}};

StateRule rule(DWORD state, const char* name, DWORD defaultValue, ValueKind kind, bool pixel, bool vertex,
               std::vector<NamedValue> names = {}, std::vector<DWORD> unsupported = {}, bool defaultOnly = false) {
    StateRule r;
    r.state = state;
    r.name = name;
    r.defaultValue = defaultValue;
    r.kind = kind;
    r.names = std::move(names);
    r.unsupported = std::move(unsupported);
    r.defaultOnly = defaultOnly;
    r.pixel = pixel;
    r.vertex = vertex;
    return r;
}

DWORD floatBits(float f) {
    DWORD d;
    std::memcpy(&d, &f, 4);
    return d;
}

#define RS(x) D3DRENDERSTATE_##x, "D3DRENDERSTATE_" #x
const bool P = true, V = true, N = false;

// The render states of a Direct3D 7 device with their defaults. ZENABLE's default depends on
// whether the render target has a depth buffer (set by DeviceState::setDefaults).
std::vector<StateRule> makeRenderStateRules() {
    using K = ValueKind;
    std::vector<StateRule> r;
    r.push_back(rule(RS(ANTIALIAS), D3DANTIALIAS_NONE, K::Enumeration, P, N,
                     {{0, "D3DANTIALIAS_NONE"}, {1, "D3DANTIALIAS_SORTDEPENDENT"}, {2, "D3DANTIALIAS_SORTINDEPENDENT"}},
                     {}, true));
    r.push_back(rule(RS(TEXTUREPERSPECTIVE), TRUE, K::Boolean, P, N, {}, {FALSE}));
    r.push_back(rule(RS(ZENABLE), D3DZB_TRUE, K::Enumeration, P, N,
                     {{D3DZB_FALSE, "D3DZB_FALSE"}, {D3DZB_TRUE, "D3DZB_TRUE"}, {D3DZB_USEW, "D3DZB_USEW"}},
                     {D3DZB_USEW}));
    r.push_back(rule(RS(FILLMODE), D3DFILL_SOLID, K::Enumeration, P, N,
                     {{D3DFILL_POINT, "D3DFILL_POINT"}, {D3DFILL_WIREFRAME, "D3DFILL_WIREFRAME"}, {D3DFILL_SOLID, "D3DFILL_SOLID"}}));
    r.push_back(rule(RS(SHADEMODE), D3DSHADE_GOURAUD, K::Enumeration, P, V,
                     {{D3DSHADE_FLAT, "D3DSHADE_FLAT"}, {D3DSHADE_GOURAUD, "D3DSHADE_GOURAUD"}, {D3DSHADE_PHONG, "D3DSHADE_PHONG"}},
                     {D3DSHADE_PHONG}));
    r.push_back(rule(RS(LINEPATTERN), 0, K::Hex, P, N, {}, {}, true));
    r.push_back(rule(RS(ZWRITEENABLE), TRUE, K::Boolean, P, N));
    r.push_back(rule(RS(ALPHATESTENABLE), FALSE, K::Boolean, P, N));
    // FALSE: lines and triangles draw their last pixel (OpenGL leaves it out either way).
    r.push_back(rule(RS(LASTPIXEL), FALSE, K::Boolean, P, N));
    r.push_back(rule(RS(SRCBLEND), D3DBLEND_ONE, K::Enumeration, P, N, blends));
    r.push_back(rule(RS(DESTBLEND), D3DBLEND_ZERO, K::Enumeration, P, N, blends));
    r.push_back(rule(RS(CULLMODE), D3DCULL_CCW, K::Enumeration, N, V,
                     {{D3DCULL_NONE, "D3DCULL_NONE"}, {D3DCULL_CW, "D3DCULL_CW"}, {D3DCULL_CCW, "D3DCULL_CCW"}}));
    r.push_back(rule(RS(ZFUNC), D3DCMP_LESSEQUAL, K::Enumeration, P, N, compares));
    r.push_back(rule(RS(ALPHAREF), 0, K::Number, P, N));
    r.push_back(rule(RS(ALPHAFUNC), D3DCMP_ALWAYS, K::Enumeration, P, N, compares));
    r.push_back(rule(RS(DITHERENABLE), FALSE, K::Boolean, P, N));
    r.push_back(rule(RS(ALPHABLENDENABLE), FALSE, K::Boolean, P, N));
    r.push_back(rule(RS(FOGENABLE), FALSE, K::Boolean, P, V, {}, {}, true));
    r.push_back(rule(RS(SPECULARENABLE), FALSE, K::Boolean, P, V));
    r.push_back(rule(RS(ZVISIBLE), FALSE, K::Boolean, P, N, {}, {}, true));
    r.push_back(rule(RS(STIPPLEDALPHA), FALSE, K::Boolean, P, N, {}, {}, true));
    r.push_back(rule(RS(FOGCOLOR), 0, K::Color, P, V));
    r.push_back(rule(RS(FOGTABLEMODE), D3DFOG_NONE, K::Enumeration, P, V, fogModes));
    r.push_back(rule(RS(FOGSTART), floatBits(0.0f), K::Real, P, V));
    r.push_back(rule(RS(FOGEND), floatBits(1.0f), K::Real, P, V));
    r.push_back(rule(RS(FOGDENSITY), floatBits(1.0f), K::Real, P, V));
    r.push_back(rule(RS(EDGEANTIALIAS), FALSE, K::Boolean, P, N, {}, {}, true));
    r.push_back(rule(RS(COLORKEYENABLE), FALSE, K::Boolean, P, N));
    r.push_back(rule(RS(ZBIAS), 0, K::Number, P, N, {}, {}, true));
    r.push_back(rule(RS(RANGEFOGENABLE), FALSE, K::Boolean, N, V));
    r.push_back(rule(RS(STENCILENABLE), FALSE, K::Boolean, P, N, {}, {}, true));
    r.push_back(rule(RS(STENCILFAIL), D3DSTENCILOP_KEEP, K::Enumeration, P, N, stencilOps));
    r.push_back(rule(RS(STENCILZFAIL), D3DSTENCILOP_KEEP, K::Enumeration, P, N, stencilOps));
    r.push_back(rule(RS(STENCILPASS), D3DSTENCILOP_KEEP, K::Enumeration, P, N, stencilOps));
    r.push_back(rule(RS(STENCILFUNC), D3DCMP_ALWAYS, K::Enumeration, P, N, compares));
    r.push_back(rule(RS(STENCILREF), 0, K::Number, P, N));
    r.push_back(rule(RS(STENCILMASK), 0xFFFFFFFF, K::Hex, P, N));
    r.push_back(rule(RS(STENCILWRITEMASK), 0xFFFFFFFF, K::Hex, P, N));
    r.push_back(rule(RS(TEXTUREFACTOR), 0xFFFFFFFF, K::Color, P, N));
    static const char* wrapNames[] = {"D3DRENDERSTATE_WRAP0", "D3DRENDERSTATE_WRAP1", "D3DRENDERSTATE_WRAP2",
                                      "D3DRENDERSTATE_WRAP3", "D3DRENDERSTATE_WRAP4", "D3DRENDERSTATE_WRAP5",
                                      "D3DRENDERSTATE_WRAP6", "D3DRENDERSTATE_WRAP7"};
    for (DWORD i = 0; i < 8; ++i)
        r.push_back(rule(D3DRENDERSTATE_WRAP0 + i, wrapNames[i], 0, K::Hex, P, N, {}, {}, true));
    r.push_back(rule(RS(CLIPPING), TRUE, K::Boolean, N, V));
    r.push_back(rule(RS(LIGHTING), TRUE, K::Boolean, N, V));
    r.push_back(rule(RS(EXTENTS), FALSE, K::Boolean, N, V, {}, {}, true));
    r.push_back(rule(RS(AMBIENT), 0, K::Color, N, V));
    r.push_back(rule(RS(FOGVERTEXMODE), D3DFOG_NONE, K::Enumeration, N, V, fogModes));
    r.push_back(rule(RS(COLORVERTEX), TRUE, K::Boolean, N, V));
    r.push_back(rule(RS(LOCALVIEWER), TRUE, K::Boolean, N, V));
    r.push_back(rule(RS(NORMALIZENORMALS), FALSE, K::Boolean, N, V));
    r.push_back(rule(RS(COLORKEYBLENDENABLE), FALSE, K::Boolean, P, N, {}, {}, true));
    r.push_back(rule(RS(DIFFUSEMATERIALSOURCE), D3DMCS_COLOR1, K::Enumeration, N, V, materialSources));
    r.push_back(rule(RS(SPECULARMATERIALSOURCE), D3DMCS_COLOR2, K::Enumeration, N, V, materialSources));
    r.push_back(rule(RS(AMBIENTMATERIALSOURCE), D3DMCS_MATERIAL, K::Enumeration, N, V, materialSources));
    r.push_back(rule(RS(EMISSIVEMATERIALSOURCE), D3DMCS_MATERIAL, K::Enumeration, N, V, materialSources));
    r.push_back(rule(RS(VERTEXBLEND), D3DVBLEND_DISABLE, K::Enumeration, N, V,
                     {{D3DVBLEND_DISABLE, "D3DVBLEND_DISABLE"}, {D3DVBLEND_1WEIGHT, "D3DVBLEND_1WEIGHT"},
                      {D3DVBLEND_2WEIGHTS, "D3DVBLEND_2WEIGHTS"}, {D3DVBLEND_3WEIGHTS, "D3DVBLEND_3WEIGHTS"}},
                     {}, true));
    r.push_back(rule(RS(CLIPPLANEENABLE), 0, K::Hex, N, V, {}, {}, true));
    return r;
}
#undef RS

#define TSS(x) D3DTSS_##x, "D3DTSS_" #x

std::vector<StateRule> makeStageStateRules() {
    using K = ValueKind;
    std::vector<StateRule> r;
    // COLOROP, ALPHAOP and TEXCOORDINDEX defaults depend on the stage (stageStateDefault).
    r.push_back(rule(TSS(COLOROP), D3DTOP_DISABLE, K::Enumeration, P, N, textureOps,
                     {D3DTOP_PREMODULATE, D3DTOP_BUMPENVMAP, D3DTOP_BUMPENVMAPLUMINANCE}));
    r.push_back(rule(TSS(COLORARG1), D3DTA_TEXTURE, K::Hex, P, N));
    r.push_back(rule(TSS(COLORARG2), D3DTA_CURRENT, K::Hex, P, N));
    r.push_back(rule(TSS(ALPHAOP), D3DTOP_DISABLE, K::Enumeration, P, N, textureOps,
                     {D3DTOP_PREMODULATE, D3DTOP_BUMPENVMAP, D3DTOP_BUMPENVMAPLUMINANCE,
                      D3DTOP_MODULATEALPHA_ADDCOLOR, D3DTOP_MODULATECOLOR_ADDALPHA,
                      D3DTOP_MODULATEINVALPHA_ADDCOLOR, D3DTOP_MODULATEINVCOLOR_ADDALPHA}));
    r.push_back(rule(TSS(ALPHAARG1), D3DTA_TEXTURE, K::Hex, P, N));
    r.push_back(rule(TSS(ALPHAARG2), D3DTA_CURRENT, K::Hex, P, N));
    r.push_back(rule(TSS(BUMPENVMAT00), 0, K::Real, P, N));
    r.push_back(rule(TSS(BUMPENVMAT01), 0, K::Real, P, N));
    r.push_back(rule(TSS(BUMPENVMAT10), 0, K::Real, P, N));
    r.push_back(rule(TSS(BUMPENVMAT11), 0, K::Real, P, N));
    r.push_back(rule(TSS(TEXCOORDINDEX), 0, K::Hex, N, V));
    r.push_back(rule(TSS(ADDRESS), D3DTADDRESS_WRAP, K::Enumeration, P, N, addresses));
    r.push_back(rule(TSS(ADDRESSU), D3DTADDRESS_WRAP, K::Enumeration, P, N, addresses));
    r.push_back(rule(TSS(ADDRESSV), D3DTADDRESS_WRAP, K::Enumeration, P, N, addresses));
    r.push_back(rule(TSS(BORDERCOLOR), 0, K::Color, P, N));
    r.push_back(rule(TSS(MAGFILTER), D3DTFG_POINT, K::Enumeration, P, N,
                     {{D3DTFG_POINT, "D3DTFG_POINT"}, {D3DTFG_LINEAR, "D3DTFG_LINEAR"},
                      {D3DTFG_FLATCUBIC, "D3DTFG_FLATCUBIC"}, {D3DTFG_GAUSSIANCUBIC, "D3DTFG_GAUSSIANCUBIC"},
                      {D3DTFG_ANISOTROPIC, "D3DTFG_ANISOTROPIC"}},
                     {D3DTFG_FLATCUBIC, D3DTFG_GAUSSIANCUBIC}));
    r.push_back(rule(TSS(MINFILTER), D3DTFN_POINT, K::Enumeration, P, N,
                     {{D3DTFN_POINT, "D3DTFN_POINT"}, {D3DTFN_LINEAR, "D3DTFN_LINEAR"}, {D3DTFN_ANISOTROPIC, "D3DTFN_ANISOTROPIC"}}));
    r.push_back(rule(TSS(MIPFILTER), D3DTFP_NONE, K::Enumeration, P, N,
                     {{D3DTFP_NONE, "D3DTFP_NONE"}, {D3DTFP_POINT, "D3DTFP_POINT"}, {D3DTFP_LINEAR, "D3DTFP_LINEAR"}}));
    r.push_back(rule(TSS(MIPMAPLODBIAS), 0, K::Real, P, N));
    r.push_back(rule(TSS(MAXMIPLEVEL), 0, K::Number, P, N));
    r.push_back(rule(TSS(MAXANISOTROPY), 1, K::Number, P, N));
    r.push_back(rule(TSS(BUMPENVLSCALE), 0, K::Real, P, N));
    r.push_back(rule(TSS(BUMPENVLOFFSET), 0, K::Real, P, N));
    r.push_back(rule(TSS(TEXTURETRANSFORMFLAGS), D3DTTFF_DISABLE, K::Hex, N, V, {}, {}, true));
    return r;
}
#undef TSS

template <typename Rules>
const StateRule* findRule(const Rules& rules, DWORD state) {
    for (const StateRule& r : rules)
        if (r.state == state) return &r;
    return nullptr;
}

bool validArgument(DWORD argument) {
    DWORD selector = argument & D3DTA_SELECTMASK;
    return selector <= D3DTA_SPECULAR && (argument & ~(D3DTA_SELECTMASK | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE)) == 0;
}

HRESULT checkAgainstRule(const StateRule& r, DWORD value, const char* where, HRESULT unsupportedResult) {
    if (r.kind == ValueKind::Enumeration) {
        bool known = std::any_of(r.names.begin(), r.names.end(), [&](const NamedValue& n) { return n.value == value; });
        if (!known) return refuse(DDERR_INVALIDPARAMS, where, "%s cannot be %u", r.name, value);
    }
    if (r.defaultOnly && value != r.defaultValue)
        return refuse(DDERR_UNSUPPORTED, where, "%s other than its default is not drawn by this device", r.name);
    if (std::find(r.unsupported.begin(), r.unsupported.end(), value) != r.unsupported.end())
        return refuse(unsupportedResult, where, "%s %s is not drawn by this device", r.name,
                      ruleValueText(r, value).c_str());
    return D3D_OK;
}

}  // namespace

const std::vector<StateRule>& renderStateRules() {
    static const std::vector<StateRule> rules = makeRenderStateRules();
    return rules;
}

const std::vector<StateRule>& stageStateRules() {
    static const std::vector<StateRule> rules = makeStageStateRules();
    return rules;
}

const StateRule* renderStateRule(DWORD state) {
    static const std::array<const StateRule*, renderStateCount> table = [] {
        std::array<const StateRule*, renderStateCount> t{};
        for (const StateRule& r : renderStateRules()) t[r.state] = &r;
        return t;
    }();
    return state < renderStateCount ? table[state] : nullptr;
}

const StateRule* stageStateRule(DWORD state) { return findRule(stageStateRules(), state); }

DWORD stageStateDefault(DWORD stage, DWORD state) {
    switch (state) {
    case D3DTSS_COLOROP: return stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    case D3DTSS_ALPHAOP: return stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    case D3DTSS_TEXCOORDINDEX: return stage;
    default: {
        const StateRule* r = stageStateRule(state);
        return r ? r->defaultValue : 0;
    }
    }
}

HRESULT checkRenderState(DWORD state, DWORD value, const char* where) {
    const StateRule* r = renderStateRule(state);
    if (!r) return refuse(DDERR_INVALIDPARAMS, where, "there is no render state %u", state);
    return checkAgainstRule(*r, value, where, DDERR_UNSUPPORTED);
}

HRESULT checkStageState(DWORD stage, DWORD state, DWORD value, const char* where) {
    if (stage >= maxTextureStages) return refuse(DDERR_INVALIDPARAMS, where, "there is no texture stage %u", stage);
    const StateRule* r = stageStateRule(state);
    if (!r) return refuse(DDERR_INVALIDPARAMS, where, "there is no texture stage state %u", state);
    switch (state) {
    case D3DTSS_COLOROP: return checkAgainstRule(*r, value, where, D3DERR_UNSUPPORTEDCOLOROPERATION);
    case D3DTSS_ALPHAOP: return checkAgainstRule(*r, value, where, D3DERR_UNSUPPORTEDALPHAOPERATION);
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
        if (!validArgument(value)) return refuse(D3DERR_UNSUPPORTEDCOLORARG, where, "0x%X is not a colour argument", value);
        return D3D_OK;
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2:
        if (!validArgument(value) || (value & D3DTA_ALPHAREPLICATE))
            return refuse(D3DERR_UNSUPPORTEDALPHAARG, where, "0x%X is not an alpha argument", value);
        return D3D_OK;
    case D3DTSS_TEXCOORDINDEX:
        if ((value & 0xFFFF) >= 8 || (value >> 16) > 3)
            return refuse(DDERR_INVALIDPARAMS, where, "texture coordinate index 0x%X names no set or generation", value);
        return D3D_OK;
    case D3DTSS_MAXANISOTROPY:
        if (value == 0) return refuse(DDERR_INVALIDPARAMS, where, "the anisotropy is at least 1");
        return D3D_OK;
    default:
        return checkAgainstRule(*r, value, where, D3DERR_UNSUPPORTEDTEXTUREFILTER);
    }
}

D3DLIGHT7 defaultLight() {
    D3DLIGHT7 l{};
    l.dltType = D3DLIGHT_DIRECTIONAL;
    l.dcvDiffuse.r = l.dcvDiffuse.g = l.dcvDiffuse.b = 1.0f;
    l.dvDirection.z = 1.0f;
    return l;
}

void DeviceState::setDefaults(DWORD targetWidth, DWORD targetHeight, bool hasDepthBuffer) {
    render.fill(0);
    for (const StateRule& r : renderStateRules()) render[r.state] = r.defaultValue;
    render[D3DRENDERSTATE_ZENABLE] = hasDepthBuffer ? D3DZB_TRUE : D3DZB_FALSE;
    for (DWORD s = 0; s < maxTextureStages; ++s)
        for (const StateRule& r : stageStateRules()) stage[s][r.state] = stageStateDefault(s, r.state);
    world = view = projection = identityMatrix();
    for (D3DMATRIX& m : blendWorlds) m = identityMatrix();
    for (D3DMATRIX& m : textureTransforms) m = identityMatrix();
    material = D3DMATERIAL7{};
    lights.clear();
    viewport = {0, 0, targetWidth, targetHeight, 0.0f, 1.0f};
}

D3DMATRIX multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    const float* x = &a._11;
    const float* y = &b._11;
    D3DMATRIX result;
    float* r = &result._11;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += x[row * 4 + k] * y[k * 4 + column];
            r[row * 4 + column] = sum;
        }
    return result;
}

}  // namespace d3d7
