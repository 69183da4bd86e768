// How values read in the call log and in messages: API names for enumerations and flags,
// shortest round-trip text for floats.
#include <charconv>
#include <cstdio>
#include <cstring>

#include "internal.h"
#include "state.h"

namespace d3d7 {
namespace {

struct Flag {
    DWORD value;
    const char* name;
};

std::string flagsText(DWORD flags, std::initializer_list<Flag> names) {
    if (flags == 0) return "0";
    std::string text;
    for (const Flag& f : names) {
        if (f.value && (flags & f.value) == f.value) {
            if (!text.empty()) text += " | ";
            text += f.name;
            flags &= ~f.value;
        }
    }
    if (flags) {
        if (!text.empty()) text += " | ";
        text += hexText(flags, 1);
    }
    return text;
}

std::string argumentText(DWORD argument) {
    static const char* selectors[] = {"D3DTA_DIFFUSE", "D3DTA_CURRENT", "D3DTA_TEXTURE", "D3DTA_TFACTOR", "D3DTA_SPECULAR"};
    DWORD selector = argument & D3DTA_SELECTMASK;
    std::string text = selector < 5 ? selectors[selector] : hexText(selector, 1);
    if (argument & D3DTA_COMPLEMENT) text += " | D3DTA_COMPLEMENT";
    if (argument & D3DTA_ALPHAREPLICATE) text += " | D3DTA_ALPHAREPLICATE";
    DWORD rest = argument & ~(D3DTA_SELECTMASK | D3DTA_COMPLEMENT | D3DTA_ALPHAREPLICATE);
    if (rest) text += " | " + hexText(rest, 1);
    return text;
}

float asFloat(DWORD bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

}  // namespace

std::string realText(double value) {
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value));
    return std::string(buffer, end);
}

std::string hexText(DWORD value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%0*X", digits, value);
    return buffer;
}

std::string ruleValueText(const StateRule& rule, DWORD value) {
    switch (rule.kind) {
    case ValueKind::Boolean: return value ? "TRUE" : "FALSE";
    case ValueKind::Enumeration:
        for (const NamedValue& n : rule.names)
            if (n.value == value) return n.name;
        return std::to_string(value);
    case ValueKind::Color: return hexText(value);
    case ValueKind::Real: return realText(asFloat(value));
    case ValueKind::Number: return std::to_string(value);
    case ValueKind::Hex: return hexText(value, 1);
    }
    return std::to_string(value);
}

std::string renderStateName(DWORD state) {
    const StateRule* r = renderStateRule(state);
    return r ? r->name : "D3DRENDERSTATE(" + std::to_string(state) + ")";
}

std::string renderStateValueText(DWORD state, DWORD value) {
    const StateRule* r = renderStateRule(state);
    return r ? ruleValueText(*r, value) : std::to_string(value);
}

std::string stageStateName(DWORD state) {
    const StateRule* r = stageStateRule(state);
    return r ? r->name : "D3DTSS(" + std::to_string(state) + ")";
}

std::string stageStateValueText(DWORD state, DWORD value) {
    switch (state) {
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
    case D3DTSS_ALPHAARG1:
    case D3DTSS_ALPHAARG2: return argumentText(value);
    case D3DTSS_TEXCOORDINDEX: {
        static const char* generation[] = {"", "D3DTSS_TCI_CAMERASPACENORMAL", "D3DTSS_TCI_CAMERASPACEPOSITION",
                                           "D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR"};
        DWORD mode = value >> 16, set = value & 0xFFFF;
        if (mode == 0) return std::to_string(set);
        if (mode < 4) return std::string(generation[mode]) + " | " + std::to_string(set);
        return hexText(value, 1);
    }
    default: {
        const StateRule* r = stageStateRule(state);
        return r ? ruleValueText(*r, value) : std::to_string(value);
    }
    }
}

std::string transformName(DWORD state) {
    switch (state) {
    case D3DTRANSFORMSTATE_WORLD: return "D3DTRANSFORMSTATE_WORLD";
    case D3DTRANSFORMSTATE_VIEW: return "D3DTRANSFORMSTATE_VIEW";
    case D3DTRANSFORMSTATE_PROJECTION: return "D3DTRANSFORMSTATE_PROJECTION";
    case D3DTRANSFORMSTATE_WORLD1: return "D3DTRANSFORMSTATE_WORLD1";
    case D3DTRANSFORMSTATE_WORLD2: return "D3DTRANSFORMSTATE_WORLD2";
    case D3DTRANSFORMSTATE_WORLD3: return "D3DTRANSFORMSTATE_WORLD3";
    default:
        if (state >= D3DTRANSFORMSTATE_TEXTURE0 && state <= D3DTRANSFORMSTATE_TEXTURE7)
            return "D3DTRANSFORMSTATE_TEXTURE" + std::to_string(state - D3DTRANSFORMSTATE_TEXTURE0);
        return "D3DTRANSFORMSTATE(" + std::to_string(state) + ")";
    }
}

std::string primitiveName(DWORD type) {
    switch (type) {
    case D3DPT_POINTLIST: return "D3DPT_POINTLIST";
    case D3DPT_LINELIST: return "D3DPT_LINELIST";
    case D3DPT_LINESTRIP: return "D3DPT_LINESTRIP";
    case D3DPT_TRIANGLELIST: return "D3DPT_TRIANGLELIST";
    case D3DPT_TRIANGLESTRIP: return "D3DPT_TRIANGLESTRIP";
    case D3DPT_TRIANGLEFAN: return "D3DPT_TRIANGLEFAN";
    default: return "D3DPT(" + std::to_string(type) + ")";
    }
}

std::string lightTypeName(DWORD type) {
    switch (type) {
    case D3DLIGHT_POINT: return "D3DLIGHT_POINT";
    case D3DLIGHT_SPOT: return "D3DLIGHT_SPOT";
    case D3DLIGHT_DIRECTIONAL: return "D3DLIGHT_DIRECTIONAL";
    case D3DLIGHT_PARALLELPOINT: return "D3DLIGHT_PARALLELPOINT";
    case D3DLIGHT_GLSPOT: return "D3DLIGHT_GLSPOT";
    default: return "D3DLIGHT(" + std::to_string(type) + ")";
    }
}

std::string clearFlagsText(DWORD flags) {
    return flagsText(flags, {{D3DCLEAR_TARGET, "D3DCLEAR_TARGET"},
                             {D3DCLEAR_ZBUFFER, "D3DCLEAR_ZBUFFER"},
                             {D3DCLEAR_STENCIL, "D3DCLEAR_STENCIL"}});
}

std::string lockFlagsText(DWORD flags) {
    return flagsText(flags, {{DDLOCK_WAIT, "DDLOCK_WAIT"},
                             {DDLOCK_EVENT, "DDLOCK_EVENT"},
                             {DDLOCK_READONLY, "DDLOCK_READONLY"},
                             {DDLOCK_WRITEONLY, "DDLOCK_WRITEONLY"},
                             {DDLOCK_NOSYSLOCK, "DDLOCK_NOSYSLOCK"},
                             {DDLOCK_NOOVERWRITE, "DDLOCK_NOOVERWRITE"},
                             {DDLOCK_DISCARDCONTENTS, "DDLOCK_DISCARDCONTENTS"},
                             {DDLOCK_DONOTWAIT, "DDLOCK_DONOTWAIT"}});
}

std::string vertexBufferCapsText(DWORD caps) {
    return flagsText(caps, {{D3DVBCAPS_SYSTEMMEMORY, "D3DVBCAPS_SYSTEMMEMORY"},
                            {D3DVBCAPS_WRITEONLY, "D3DVBCAPS_WRITEONLY"},
                            {D3DVBCAPS_OPTIMIZED, "D3DVBCAPS_OPTIMIZED"},
                            {D3DVBCAPS_DONOTCLIP, "D3DVBCAPS_DONOTCLIP"}});
}

std::string fvfText(DWORD fvf) { return hexText(fvf, 3); }

std::string matrixText(const D3DMATRIX& m) {
    const float* v = &m._11;
    std::string text = "{";
    for (int i = 0; i < 16; ++i) {
        if (i) text += ", ";
        text += realText(v[i]);
    }
    return text + "}";
}

std::string colorValueText(const D3DCOLORVALUE& c) {
    return "{" + realText(c.r) + ", " + realText(c.g) + ", " + realText(c.b) + ", " + realText(c.a) + "}";
}

std::string vectorText(const D3DVECTOR& v) {
    return "{" + realText(v.x) + ", " + realText(v.y) + ", " + realText(v.z) + "}";
}

std::string materialText(const D3DMATERIAL7& m) {
    return "{diffuse " + colorValueText(m.diffuse) + ", ambient " + colorValueText(m.ambient) + ", specular " +
           colorValueText(m.specular) + ", emissive " + colorValueText(m.emissive) + ", power " + realText(m.power) + "}";
}

std::string lightText(const D3DLIGHT7& l) {
    return "{" + lightTypeName(l.dltType) + ", diffuse " + colorValueText(l.dcvDiffuse) + ", specular " +
           colorValueText(l.dcvSpecular) + ", ambient " + colorValueText(l.dcvAmbient) + ", position " +
           vectorText(l.dvPosition) + ", direction " + vectorText(l.dvDirection) + ", range " + realText(l.dvRange) +
           ", falloff " + realText(l.dvFalloff) + ", attenuation {" + realText(l.dvAttenuation0) + ", " +
           realText(l.dvAttenuation1) + ", " + realText(l.dvAttenuation2) + "}, theta " + realText(l.dvTheta) +
           ", phi " + realText(l.dvPhi) + "}";
}

std::string viewportText(const D3DVIEWPORT7& v) {
    return "{" + std::to_string(v.dwX) + ", " + std::to_string(v.dwY) + ", " + std::to_string(v.dwWidth) + ", " +
           std::to_string(v.dwHeight) + ", " + realText(v.dvMinZ) + ", " + realText(v.dvMaxZ) + "}";
}

}  // namespace d3d7
