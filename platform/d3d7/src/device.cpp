// IDirect3DDevice7: the fixed-function state (render states, texture stages, textures,
// transforms, material, lights, viewport), state blocks, scenes, clears and draws. Every call
// is checked here, takes effect on DeviceState (or in the state block being recorded), and
// is written to the call log; draws go to the renderer with the state as it stands.
#include <algorithm>
#include <cstring>

#include "objects.h"

namespace d3d7 {
namespace {

// Where a refusal happened, for its message.
std::string where(const char* method) { return std::string("IDirect3DDevice7::") + method; }

HRESULT unsupported(const char* method) {
    return refuse(DDERR_UNSUPPORTED, where(method).c_str(), "not offered by this Direct3D device");
}

bool validTransform(DWORD state) {
    return (state >= D3DTRANSFORMSTATE_WORLD && state <= D3DTRANSFORMSTATE_WORLD3) ||
           (state >= D3DTRANSFORMSTATE_TEXTURE0 && state <= D3DTRANSFORMSTATE_TEXTURE7);
}

uint32_t primitiveCount(D3DPRIMITIVETYPE type, DWORD count) {
    switch (type) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return count / 2;
    case D3DPT_LINESTRIP: return count > 1 ? count - 1 : 0;
    case D3DPT_TRIANGLELIST: return count / 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return count > 2 ? count - 2 : 0;
    default: return 0;
    }
}

std::string drawFlagsText(DWORD flags) {
    return flags ? hexText(flags, 1) : "0";
}

}  // namespace

Device::Device(std::shared_ptr<Renderer> renderer, Direct3D* direct3D, Surface* renderTarget)
    : renderer_(std::move(renderer)), direct3D_(direct3D), renderTarget_(renderTarget) {
    direct3D_->AddRef();
    renderTarget_->AddRef();
    const TargetSpec& t = renderer_->target();
    state_.setDefaults(t.width, t.height, t.depthBits > 0);
}

Device::~Device() {
    for (Surface*& t : state_.textures)
        if (t) t->Release();
    recording_.reset();
    stateBlocks_.clear();
    renderTarget_->Release();
    direct3D_->Release();
}

HRESULT Device::QueryInterface(REFIID riid, LPVOID* object) {
    return queryInterface(riid, object, IID_IDirect3DDevice7, "IDirect3DDevice7::QueryInterface");
}

// ---- Capabilities ----------------------------------------------------------------------------
HRESULT Device::GetCaps(LPD3DDEVICEDESC7 description) {
    if (!description) return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetCaps", "no description to fill");
    *description = deviceDescription(renderer_->target());
    return D3D_OK;
}

HRESULT Device::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, LPVOID context) {
    if (!callback) return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::EnumTextureFormats", "no callback");
    for (PixelFormatId id : {PixelFormatId::R5G6B5, PixelFormatId::X1R5G5B5, PixelFormatId::A1R5G5B5,
                             PixelFormatId::X4R4G4B4, PixelFormatId::A4R4G4B4, PixelFormatId::X8R8G8B8,
                             PixelFormatId::A8R8G8B8}) {
        DDPIXELFORMAT format;
        describePixelFormat(pixelFormat(id), format);
        if (callback(&format, context) == D3DENUMRET_CANCEL) break;
    }
    return D3D_OK;
}

HRESULT Device::ValidateDevice(LPDWORD passes) {
    if (!passes) return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::ValidateDevice", "no pass count to fill");
    // Every state combination the device accepts is drawn in one pass; states it cannot draw
    // are refused when they are set.
    *passes = 1;
    return D3D_OK;
}

HRESULT Device::GetDirect3D(LPDIRECT3D7* direct3D) {
    if (!direct3D) return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetDirect3D", "no pointer to fill");
    direct3D_->AddRef();
    *direct3D = direct3D_;
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(LPDIRECTDRAWSURFACE7* surface) {
    if (!surface) return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetRenderTarget", "no pointer to fill");
    renderTarget_->AddRef();
    *surface = renderTarget_;
    return D3D_OK;
}

// ---- Scenes and clears ------------------------------------------------------------------------
HRESULT Device::BeginScene() {
    HRESULT result = D3D_OK;
    if (inScene_)
        result = refuse(D3DERR_SCENE_IN_SCENE, "IDirect3DDevice7::BeginScene", "the scene already began");
    else
        inScene_ = true;
    if (logging()) LogLine("BeginScene").write(result);
    return result;
}

HRESULT Device::EndScene() {
    HRESULT result = D3D_OK;
    if (!inScene_)
        result = refuse(D3DERR_SCENE_NOT_IN_SCENE, "IDirect3DDevice7::EndScene", "no scene began");
    else
        inScene_ = false;
    if (logging()) LogLine("EndScene").write(result);
    return result;
}

HRESULT Device::Clear(DWORD rectCount, LPD3DRECT rects, DWORD flags, D3DCOLOR color, D3DVALUE z, DWORD stencil) {
    HRESULT result = D3D_OK;
    const TargetSpec& t = renderer_->target();
    if (rectCount && !rects)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::Clear", "%u rectangles but no array", rectCount);
    else if (!flags || (flags & ~DWORD(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::Clear", "flags 0x%X name nothing to clear", flags);
    else if ((flags & D3DCLEAR_ZBUFFER) && t.depthBits == 0)
        result = refuse(D3DERR_ZBUFFER_NOTPRESENT, "IDirect3DDevice7::Clear", "the render target has no depth buffer");
    else if ((flags & D3DCLEAR_STENCIL) && t.stencilBits == 0)
        result = refuse(D3DERR_STENCILBUFFER_NOTPRESENT, "IDirect3DDevice7::Clear", "the render target has no stencil buffer");
    else if ((flags & D3DCLEAR_ZBUFFER) && !(z >= 0.0f && z <= 1.0f))
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::Clear", "depth %g lies outside 0..1", z);
    else if (!renderer_->alive())
        result = refuse(DDERR_SURFACELOST, "IDirect3DDevice7::Clear", "the rendering context is gone");
    else {
        ClearCall call;
        call.flags = flags;
        if (rectCount) call.rects.assign(rects, rects + rectCount);
        call.color = color;
        call.z = z;
        call.stencil = stencil;
        call.viewport = state_.viewport;
        renderer_->clear(call);
    }
    if (logging()) {
        LogLine line("Clear");
        line.number(rectCount);
        std::string rectText = "NULL";
        if (rects && rectCount) {
            rectText = "{";
            for (DWORD i = 0; i < rectCount; ++i) {
                if (i) rectText += ", ";
                rectText += "{" + std::to_string(rects[i].x1) + ", " + std::to_string(rects[i].y1) + ", " +
                            std::to_string(rects[i].x2) + ", " + std::to_string(rects[i].y2) + "}";
            }
            rectText += "}";
        }
        line.arg(rectText).arg(clearFlagsText(flags)).color(color).real(z).number(stencil).write(result);
    }
    return result;
}

// ---- Setting states -----------------------------------------------------------------------------
HRESULT Device::setOrRecord(const StateSetting& setting, const char* method) {
    if (recording_) {
        recording_->record(setting);
        return D3D_OK;
    }
    return apply(setting, method);
}

HRESULT Device::apply(const StateSetting& s, const char* method) {
    static uint64_t counter = 1;
    switch (s.kind) {
    case StateSetting::Kind::RenderState:
        state_.render[s.index] = s.value;
        if (s.index == D3DRENDERSTATE_AMBIENT || s.index == D3DRENDERSTATE_TEXTUREFACTOR ||
            s.index == D3DRENDERSTATE_ALPHAREF)
            state_.constantsVersion = ++counter;
        return D3D_OK;
    case StateSetting::Kind::StageState:
        state_.stage[s.index][s.subIndex] = s.value;
        return D3D_OK;
    case StateSetting::Kind::Texture: {
        Surface*& slot = state_.textures[s.index];
        if (s.texture) s.texture->AddRef();
        if (slot) slot->Release();
        slot = s.texture;
        return D3D_OK;
    }
    case StateSetting::Kind::Transform:
        switch (s.index) {
        case D3DTRANSFORMSTATE_WORLD: state_.world = s.matrix; break;
        case D3DTRANSFORMSTATE_VIEW:
            state_.view = s.matrix;
            state_.lightVersion = ++counter;   // lights are sent in camera space
            break;
        case D3DTRANSFORMSTATE_PROJECTION: state_.projection = s.matrix; break;
        case D3DTRANSFORMSTATE_WORLD1:
        case D3DTRANSFORMSTATE_WORLD2:
        case D3DTRANSFORMSTATE_WORLD3: state_.blendWorlds[s.index - D3DTRANSFORMSTATE_WORLD1] = s.matrix; break;
        default: state_.textureTransforms[s.index - D3DTRANSFORMSTATE_TEXTURE0] = s.matrix; break;
        }
        state_.transformVersion = ++counter;
        return D3D_OK;
    case StateSetting::Kind::Material:
        state_.material = s.material;
        state_.materialVersion = ++counter;
        return D3D_OK;
    case StateSetting::Kind::Light: {
        auto found = state_.lights.find(s.index);
        if (found == state_.lights.end()) found = state_.lights.emplace(s.index, LightSlot{}).first;
        found->second.light = s.light;
        if (found->second.enabled) state_.lightVersion = ++counter;
        return D3D_OK;
    }
    case StateSetting::Kind::LightEnable: {
        auto found = state_.lights.find(s.index);
        if (found == state_.lights.end()) {
            // Enabling or disabling a light never set creates it as the default light.
            found = state_.lights.emplace(s.index, LightSlot{defaultLight(), false}).first;
        }
        bool enable = s.value != 0;
        if (enable && !found->second.enabled) {
            DWORD enabled = DWORD(std::count_if(state_.lights.begin(), state_.lights.end(),
                                                [](const auto& l) { return l.second.enabled; }));
            if (enabled >= maxActiveLights)
                return refuse(D3DERR_LIGHT_SET_FAILED, where(method).c_str(),
                              "light %u would be light %u enabled at once; this device lights at most %u", s.index,
                              enabled + 1, maxActiveLights);
        }
        if (found->second.enabled != enable) {
            found->second.enabled = enable;
            state_.lightVersion = ++counter;
        }
        return D3D_OK;
    }
    case StateSetting::Kind::Viewport:
        state_.viewport = s.viewport;
        state_.transformVersion = ++counter;
        return D3D_OK;
    }
    return D3D_OK;
}

StateSetting Device::captureSetting(const StateSetting& which) const {
    StateSetting s = which;
    s.texture = nullptr;
    switch (s.kind) {
    case StateSetting::Kind::RenderState: s.value = state_.render[s.index]; break;
    case StateSetting::Kind::StageState: s.value = state_.stage[s.index][s.subIndex]; break;
    case StateSetting::Kind::Texture: s.texture = state_.textures[s.index]; break;
    case StateSetting::Kind::Transform:
        switch (s.index) {
        case D3DTRANSFORMSTATE_WORLD: s.matrix = state_.world; break;
        case D3DTRANSFORMSTATE_VIEW: s.matrix = state_.view; break;
        case D3DTRANSFORMSTATE_PROJECTION: s.matrix = state_.projection; break;
        case D3DTRANSFORMSTATE_WORLD1:
        case D3DTRANSFORMSTATE_WORLD2:
        case D3DTRANSFORMSTATE_WORLD3: s.matrix = state_.blendWorlds[s.index - D3DTRANSFORMSTATE_WORLD1]; break;
        default: s.matrix = state_.textureTransforms[s.index - D3DTRANSFORMSTATE_TEXTURE0]; break;
        }
        break;
    case StateSetting::Kind::Material: s.material = state_.material; break;
    case StateSetting::Kind::Light: {
        auto found = state_.lights.find(s.index);
        s.light = found != state_.lights.end() ? found->second.light : defaultLight();
        break;
    }
    case StateSetting::Kind::LightEnable: {
        auto found = state_.lights.find(s.index);
        s.value = found != state_.lights.end() && found->second.enabled;
        break;
    }
    case StateSetting::Kind::Viewport: s.viewport = state_.viewport; break;
    }
    return s;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    HRESULT result = checkRenderState(state, value, "IDirect3DDevice7::SetRenderState");
    StateSetting s;
    s.kind = StateSetting::Kind::RenderState;
    s.index = state;
    s.value = value;
    if (SUCCEEDED(result)) result = setOrRecord(s, "SetRenderState");
    if (logging()) LogLine("SetRenderState").arg(renderStateName(state)).arg(renderStateValueText(state, value)).write(result);
    return result;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, LPDWORD value) {
    if (!value || !renderStateRule(state))
        return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetRenderState", "no value to fill or no render state %u", DWORD(state));
    *value = state_.render[state];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    HRESULT result = checkStageState(stage, state, value, "IDirect3DDevice7::SetTextureStageState");
    StateSetting s;
    s.kind = StateSetting::Kind::StageState;
    s.index = stage;
    s.subIndex = state;
    s.value = value;
    // D3DTSS_ADDRESS sets both directions.
    if (SUCCEEDED(result) && state == D3DTSS_ADDRESS) {
        StateSetting u = s, v = s;
        u.subIndex = D3DTSS_ADDRESSU;
        v.subIndex = D3DTSS_ADDRESSV;
        setOrRecord(u, "SetTextureStageState");
        setOrRecord(v, "SetTextureStageState");
    }
    if (SUCCEEDED(result)) result = setOrRecord(s, "SetTextureStageState");
    if (logging())
        LogLine("SetTextureStageState").number(stage).arg(stageStateName(state)).arg(stageStateValueText(state, value)).write(result);
    return result;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, LPDWORD value) {
    if (!value || stage >= maxTextureStages || !stageStateRule(state))
        return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetTextureStageState", "no value to fill, stage %u or state %u",
                      stage, DWORD(state));
    *value = state_.stage[stage][state];
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, LPDIRECTDRAWSURFACE7 texture) {
    HRESULT result = D3D_OK;
    auto* surface = texture ? dynamic_cast<Surface*>(texture) : nullptr;
    if (stage >= maxTextureStages)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetTexture", "there is no texture stage %u", stage);
    else if (texture && (!surface || !surface->isTexture()))
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetTexture", "the surface is not a texture");
    else if (surface && surface->isSublevel())
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetTexture", "a mip level below the top is not a texture of its own");
    else {
        StateSetting s;
        s.kind = StateSetting::Kind::Texture;
        s.index = stage;
        s.texture = surface;
        result = setOrRecord(s, "SetTexture");
    }
    if (logging()) LogLine("SetTexture").number(stage).arg(surface ? surface->logName() : "NULL").write(result);
    return result;
}

HRESULT Device::GetTexture(DWORD stage, LPDIRECTDRAWSURFACE7* texture) {
    if (!texture || stage >= maxTextureStages)
        return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetTexture", "no pointer to fill or no stage %u", stage);
    *texture = state_.textures[stage];
    if (*texture) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) {
    HRESULT result = D3D_OK;
    if (!matrix || !validTransform(state))
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetTransform", "no matrix or no transform %u", DWORD(state));
    else {
        StateSetting s;
        s.kind = StateSetting::Kind::Transform;
        s.index = state;
        s.matrix = *matrix;
        result = setOrRecord(s, "SetTransform");
    }
    if (logging()) LogLine("SetTransform").arg(transformName(state)).arg(matrix ? matrixText(*matrix) : "NULL").write(result);
    return result;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) {
    if (!matrix || !validTransform(state))
        return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetTransform", "no matrix or no transform %u", DWORD(state));
    StateSetting which;
    which.kind = StateSetting::Kind::Transform;
    which.index = state;
    *matrix = captureSetting(which).matrix;
    return D3D_OK;
}

// The given matrix times the current one (the given one applies first).
HRESULT Device::MultiplyTransform(D3DTRANSFORMSTATETYPE state, LPD3DMATRIX matrix) {
    HRESULT result = D3D_OK;
    if (!matrix || !validTransform(state))
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::MultiplyTransform", "no matrix or no transform %u", DWORD(state));
    else {
        StateSetting s;
        s.kind = StateSetting::Kind::Transform;
        s.index = state;
        s.matrix = multiply(*matrix, captureSetting(s).matrix);
        result = setOrRecord(s, "MultiplyTransform");
    }
    if (logging()) LogLine("MultiplyTransform").arg(transformName(state)).arg(matrix ? matrixText(*matrix) : "NULL").write(result);
    return result;
}

HRESULT Device::SetViewport(LPD3DVIEWPORT7 viewport) {
    HRESULT result = D3D_OK;
    const TargetSpec& t = renderer_->target();
    if (!viewport)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetViewport", "no viewport");
    else if (viewport->dwWidth == 0 || viewport->dwHeight == 0 || uint64_t(viewport->dwX) + viewport->dwWidth > DWORD(t.width) ||
             uint64_t(viewport->dwY) + viewport->dwHeight > DWORD(t.height))
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetViewport", "the viewport must lie inside the %dx%d render target",
                        t.width, t.height);
    else if (!(viewport->dvMinZ >= 0.0f && viewport->dvMinZ <= 1.0f && viewport->dvMaxZ >= 0.0f && viewport->dvMaxZ <= 1.0f))
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetViewport", "the depth range must lie within 0..1");
    else {
        StateSetting s;
        s.kind = StateSetting::Kind::Viewport;
        s.viewport = *viewport;
        result = setOrRecord(s, "SetViewport");
    }
    if (logging()) LogLine("SetViewport").arg(viewport ? viewportText(*viewport) : "NULL").write(result);
    return result;
}

HRESULT Device::GetViewport(LPD3DVIEWPORT7 viewport) {
    if (!viewport) return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetViewport", "no viewport to fill");
    *viewport = state_.viewport;
    return D3D_OK;
}

HRESULT Device::SetMaterial(LPD3DMATERIAL7 material) {
    HRESULT result = D3D_OK;
    if (!material)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetMaterial", "no material");
    else {
        StateSetting s;
        s.kind = StateSetting::Kind::Material;
        s.material = *material;
        result = setOrRecord(s, "SetMaterial");
    }
    if (logging()) LogLine("SetMaterial").arg(material ? materialText(*material) : "NULL").write(result);
    return result;
}

HRESULT Device::GetMaterial(LPD3DMATERIAL7 material) {
    if (!material) return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetMaterial", "no material to fill");
    *material = state_.material;
    return D3D_OK;
}

HRESULT Device::SetLight(DWORD index, LPD3DLIGHT7 light) {
    HRESULT result = D3D_OK;
    if (!light)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetLight", "no light");
    else if (light->dltType != D3DLIGHT_POINT && light->dltType != D3DLIGHT_SPOT && light->dltType != D3DLIGHT_DIRECTIONAL)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetLight", "light type %s is not a Direct3D 7 light",
                        lightTypeName(light->dltType).c_str());
    else if (light->dltType != D3DLIGHT_DIRECTIONAL && !(light->dvRange >= 0.0f && light->dvRange <= D3DLIGHT_RANGE_MAX))
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::SetLight", "range %g lies outside 0..D3DLIGHT_RANGE_MAX",
                        light->dvRange);
    else {
        StateSetting s;
        s.kind = StateSetting::Kind::Light;
        s.index = index;
        s.light = *light;
        result = setOrRecord(s, "SetLight");
    }
    if (logging()) LogLine("SetLight").number(index).arg(light ? lightText(*light) : "NULL").write(result);
    return result;
}

HRESULT Device::GetLight(DWORD index, LPD3DLIGHT7 light) {
    auto found = state_.lights.find(index);
    if (!light || found == state_.lights.end())
        return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetLight", "no light to fill or light %u was never set", index);
    *light = found->second.light;
    return D3D_OK;
}

HRESULT Device::LightEnable(DWORD index, BOOL enable) {
    StateSetting s;
    s.kind = StateSetting::Kind::LightEnable;
    s.index = index;
    s.value = enable ? TRUE : FALSE;
    HRESULT result = setOrRecord(s, "LightEnable");
    if (logging()) LogLine("LightEnable").number(index).boolean(enable).write(result);
    return result;
}

HRESULT Device::GetLightEnable(DWORD index, BOOL* enabled) {
    auto found = state_.lights.find(index);
    if (!enabled || found == state_.lights.end())
        return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::GetLightEnable", "no value to fill or light %u was never set", index);
    *enabled = found->second.enabled ? TRUE : FALSE;
    return D3D_OK;
}

// ---- State blocks ----------------------------------------------------------------------------
HRESULT Device::BeginStateBlock() {
    HRESULT result = D3D_OK;
    if (recording_)
        result = refuse(D3DERR_INBEGINSTATEBLOCK, "IDirect3DDevice7::BeginStateBlock", "a state block is being recorded already");
    else
        recording_ = std::make_unique<StateBlock>();
    if (logging()) LogLine("BeginStateBlock").write(result);
    return result;
}

HRESULT Device::EndStateBlock(LPDWORD handle) {
    HRESULT result = D3D_OK;
    DWORD made = 0;
    if (!recording_) {
        result = refuse(D3DERR_NOTINBEGINSTATEBLOCK, "IDirect3DDevice7::EndStateBlock", "no state block is being recorded");
    } else if (!handle) {
        recording_.reset();
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::EndStateBlock", "no handle to fill; the recording is dropped");
    } else {
        made = nextStateBlock_++;
        stateBlocks_[made] = std::move(recording_);
        *handle = made;
    }
    if (logging()) {
        LogLine line("EndStateBlock");
        if (SUCCEEDED(result))
            line.writeWithResult("block#" + std::to_string(made));
        else
            line.write(result);
    }
    return result;
}

HRESULT Device::ApplyStateBlock(DWORD handle) {
    HRESULT result = D3D_OK;
    auto found = stateBlocks_.find(handle);
    if (recording_)
        result = refuse(D3DERR_INBEGINSTATEBLOCK, "IDirect3DDevice7::ApplyStateBlock", "a state block is being recorded");
    else if (found == stateBlocks_.end())
        result = refuse(D3DERR_INVALIDSTATEBLOCK, "IDirect3DDevice7::ApplyStateBlock", "there is no state block %u", handle);
    else
        for (const StateSetting& s : found->second->settings()) apply(s, "ApplyStateBlock");
    if (logging()) LogLine("ApplyStateBlock").arg("block#" + std::to_string(handle)).write(result);
    return result;
}

HRESULT Device::CaptureStateBlock(DWORD handle) {
    HRESULT result = D3D_OK;
    auto found = stateBlocks_.find(handle);
    if (recording_)
        result = refuse(D3DERR_INBEGINSTATEBLOCK, "IDirect3DDevice7::CaptureStateBlock", "a state block is being recorded");
    else if (found == stateBlocks_.end())
        result = refuse(D3DERR_INVALIDSTATEBLOCK, "IDirect3DDevice7::CaptureStateBlock", "there is no state block %u", handle);
    else
        for (StateSetting& s : found->second->settings()) {
            StateSetting now = captureSetting(s);
            if (now.texture) now.texture->AddRef();
            if (s.texture) s.texture->Release();
            s = now;
        }
    if (logging()) LogLine("CaptureStateBlock").arg("block#" + std::to_string(handle)).write(result);
    return result;
}

HRESULT Device::DeleteStateBlock(DWORD handle) {
    HRESULT result = D3D_OK;
    if (recording_)
        result = refuse(D3DERR_INBEGINSTATEBLOCK, "IDirect3DDevice7::DeleteStateBlock", "a state block is being recorded");
    else if (!stateBlocks_.erase(handle))
        result = refuse(D3DERR_INVALIDSTATEBLOCK, "IDirect3DDevice7::DeleteStateBlock", "there is no state block %u", handle);
    if (logging()) LogLine("DeleteStateBlock").arg("block#" + std::to_string(handle)).write(result);
    return result;
}

// A block holding every state of the kind: D3DSBT_ALL, the pixel states or the vertex states
// (lights and texture coordinate indices belong to the vertex states, textures only to ALL).
HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE type, LPDWORD handle) {
    HRESULT result = D3D_OK;
    DWORD made = 0;
    if (!handle || (type != D3DSBT_ALL && type != D3DSBT_PIXELSTATE && type != D3DSBT_VERTEXSTATE)) {
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::CreateStateBlock", "no handle to fill or no block type %u", DWORD(type));
    } else if (recording_) {
        result = refuse(D3DERR_INBEGINSTATEBLOCK, "IDirect3DDevice7::CreateStateBlock", "a state block is being recorded");
    } else {
        auto block = std::make_unique<StateBlock>();
        bool all = type == D3DSBT_ALL, pixel = type == D3DSBT_PIXELSTATE, vertex = type == D3DSBT_VERTEXSTATE;
        auto add = [&](StateSetting which) { block->record(captureSetting(which)); };
        for (const StateRule& r : renderStateRules()) {
            if (all || (pixel && r.pixel) || (vertex && r.vertex)) {
                StateSetting s;
                s.kind = StateSetting::Kind::RenderState;
                s.index = r.state;
                add(s);
            }
        }
        for (DWORD stage = 0; stage < maxTextureStages; ++stage)
            for (const StateRule& r : stageStateRules()) {
                if (r.state == D3DTSS_ADDRESS) continue;
                if (all || (pixel && r.pixel) || (vertex && r.vertex)) {
                    StateSetting s;
                    s.kind = StateSetting::Kind::StageState;
                    s.index = stage;
                    s.subIndex = r.state;
                    add(s);
                }
            }
        if (all || vertex) {
            for (const auto& [index, slot] : state_.lights) {
                StateSetting l;
                l.kind = StateSetting::Kind::Light;
                l.index = index;
                add(l);
                l.kind = StateSetting::Kind::LightEnable;
                add(l);
            }
        }
        if (all) {
            for (DWORD stage = 0; stage < maxTextureStages; ++stage) {
                StateSetting t;
                t.kind = StateSetting::Kind::Texture;
                t.index = stage;
                add(t);
            }
            for (DWORD transform : {D3DTRANSFORMSTATE_WORLD, D3DTRANSFORMSTATE_VIEW, D3DTRANSFORMSTATE_PROJECTION}) {
                StateSetting t;
                t.kind = StateSetting::Kind::Transform;
                t.index = transform;
                add(t);
            }
            StateSetting m;
            m.kind = StateSetting::Kind::Material;
            add(m);
            StateSetting v;
            v.kind = StateSetting::Kind::Viewport;
            add(v);
        }
        made = nextStateBlock_++;
        stateBlocks_[made] = std::move(block);
        *handle = made;
    }
    if (logging()) {
        static const char* names[] = {"", "D3DSBT_ALL", "D3DSBT_PIXELSTATE", "D3DSBT_VERTEXSTATE"};
        LogLine line("CreateStateBlock");
        line.arg(DWORD(type) >= 1 && DWORD(type) <= 3 ? names[type] : std::to_string(DWORD(type)));
        if (SUCCEEDED(result))
            line.writeWithResult("block#" + std::to_string(made));
        else
            line.write(result);
    }
    return result;
}

std::vector<std::string> Device::stateBlockLines(DWORD handle) const {
    std::vector<std::string> lines;
    auto found = stateBlocks_.find(handle);
    if (found == stateBlocks_.end()) return lines;
    for (const StateSetting& s : found->second->settings()) lines.push_back(settingText(s));
    return lines;
}

// ---- Drawing ----------------------------------------------------------------------------------
void Device::collectLights() {
    if (enabledLightsVersion_ == state_.lightVersion) return;
    enabledLights_.clear();
    for (const auto& [index, slot] : state_.lights)
        if (slot.enabled) enabledLights_.push_back(&slot);
    enabledLightsVersion_ = state_.lightVersion;
}

HRESULT Device::draw(const char* method, D3DPRIMITIVETYPE type, const VertexLayout& layout, VertexBuffer* buffer,
                     const void* userVertices, DWORD vertexCapacity, DWORD startVertex, DWORD vertexCount,
                     const WORD* indices, DWORD indexCount, DWORD flags) {
    if (!inScene_) return refuse(D3DERR_SCENE_NOT_IN_SCENE, where(method).c_str(), "drawing needs BeginScene first");
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN)
        return refuse(DDERR_INVALIDPARAMS, where(method).c_str(), "there is no primitive type %u", DWORD(type));
    if (flags & ~DWORD(D3DDP_WAIT | D3DDP_OUTOFORDER | D3DDP_DONOTCLIP | D3DDP_DONOTUPDATEEXTENTS))
        return refuse(DDERR_INVALIDPARAMS, where(method).c_str(), "flags 0x%X are not drawing flags of this device", flags);
    if (vertexCount == 0 || uint64_t(startVertex) + vertexCount > vertexCapacity)
        return refuse(DDERR_INVALIDPARAMS, where(method).c_str(), "%u vertices from %u do not lie within the %u there are",
                      vertexCount, startVertex, vertexCapacity);
    DWORD elementCount = vertexCount;
    if (indices || indexCount) {
        if (!indices || indexCount == 0)
            return refuse(DDERR_INVALIDPARAMS, where(method).c_str(), "an indexed draw needs indices");
        for (DWORD i = 0; i < indexCount; ++i)
            if (indices[i] >= vertexCount)
                return refuse(DDERR_INVALIDPARAMS, where(method).c_str(), "index %u (at %u) is not below the vertex count %u",
                              indices[i], i, vertexCount);
        elementCount = indexCount;
    }
    uint32_t primitives = primitiveCount(type, elementCount);
    if (primitives == 0)
        return refuse(DDERR_INVALIDPARAMS, where(method).c_str(), "%u vertices make no %s", elementCount, primitiveName(type).c_str());
    if (!renderer_->alive()) return refuse(DDERR_SURFACELOST, where(method).c_str(), "the rendering context is gone");

    collectLights();
    DrawCall call;
    call.type = type;
    call.primitiveCount = primitives;
    call.state = &state_;
    call.lights = enabledLights_;
    call.layout = &layout;
    call.buffer = buffer ? buffer->bufferForDraw() : 0;
    call.userVertices = userVertices;
    call.firstVertex = startVertex;
    call.vertexCount = vertexCount;
    call.indices = indices;
    call.indexCount = indices ? indexCount : 0;
    bool colorKeyEnable = state_.render[D3DRENDERSTATE_COLORKEYENABLE] != 0;
    for (int stage = 0; stage < maxTextureStages; ++stage)
        if (state_.textures[stage]) call.textures[stage] = state_.textures[stage]->stageTexture(colorKeyEnable);
    renderer_->draw(call);
    return D3D_OK;
}

HRESULT Device::DrawPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 bufferInterface, DWORD startVertex,
                                DWORD vertexCount, DWORD flags) {
    auto* buffer = dynamic_cast<VertexBuffer*>(bufferInterface);
    HRESULT result;
    if (!buffer)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::DrawPrimitiveVB", "no vertex buffer");
    else if (buffer->locked())
        result = refuse(D3DERR_VERTEXBUFFERLOCKED, "IDirect3DDevice7::DrawPrimitiveVB", "%s is locked", buffer->logName().c_str());
    else
        result = draw("DrawPrimitiveVB", type, buffer->layout(), buffer, nullptr, buffer->vertexCount(), startVertex,
                      vertexCount, nullptr, 0, flags);
    if (logging())
        LogLine("DrawPrimitiveVB").arg(primitiveName(type)).arg(buffer ? buffer->logName() : "NULL")
            .number(startVertex).number(vertexCount).arg(drawFlagsText(flags)).write(result);
    return result;
}

HRESULT Device::DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, LPDIRECT3DVERTEXBUFFER7 bufferInterface,
                                       DWORD startVertex, DWORD vertexCount, LPWORD indices, DWORD indexCount,
                                       DWORD flags) {
    auto* buffer = dynamic_cast<VertexBuffer*>(bufferInterface);
    HRESULT result;
    if (!buffer)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::DrawIndexedPrimitiveVB", "no vertex buffer");
    else if (buffer->locked())
        result = refuse(D3DERR_VERTEXBUFFERLOCKED, "IDirect3DDevice7::DrawIndexedPrimitiveVB", "%s is locked", buffer->logName().c_str());
    else if (!indices || indexCount == 0)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::DrawIndexedPrimitiveVB", "no indices");
    else
        result = draw("DrawIndexedPrimitiveVB", type, buffer->layout(), buffer, nullptr, buffer->vertexCount(), startVertex,
                      vertexCount, indices, indexCount, flags);
    if (logging())
        LogLine("DrawIndexedPrimitiveVB").arg(primitiveName(type)).arg(buffer ? buffer->logName() : "NULL")
            .number(startVertex).number(vertexCount).pointer(indices, "indices").number(indexCount)
            .arg(drawFlagsText(flags)).write(result);
    return result;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount, DWORD flags) {
    VertexLayout layout;
    std::string why;
    HRESULT result;
    if (!vertices)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::DrawPrimitive", "no vertices");
    else if (!describeVertexFormat(fvf, layout, &why))
        result = refuse(D3DERR_INVALIDVERTEXFORMAT, "IDirect3DDevice7::DrawPrimitive", "vertex format 0x%X: %s", fvf, why.c_str());
    else if (vertexCount > D3DMAXNUMVERTICES)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::DrawPrimitive", "more than %d vertices", D3DMAXNUMVERTICES);
    else
        result = draw("DrawPrimitive", type, layout, nullptr, vertices, vertexCount, 0, vertexCount, nullptr, 0, flags);
    if (logging())
        LogLine("DrawPrimitive").arg(primitiveName(type)).arg(fvfText(fvf)).pointer(vertices, "vertices")
            .number(vertexCount).arg(drawFlagsText(flags)).write(result);
    return result;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, DWORD fvf, LPVOID vertices, DWORD vertexCount,
                                     LPWORD indices, DWORD indexCount, DWORD flags) {
    VertexLayout layout;
    std::string why;
    HRESULT result;
    if (!vertices || !indices || indexCount == 0)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::DrawIndexedPrimitive", "no vertices or no indices");
    else if (!describeVertexFormat(fvf, layout, &why))
        result = refuse(D3DERR_INVALIDVERTEXFORMAT, "IDirect3DDevice7::DrawIndexedPrimitive", "vertex format 0x%X: %s", fvf, why.c_str());
    else if (vertexCount > D3DMAXNUMVERTICES)
        result = refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::DrawIndexedPrimitive", "more than %d vertices", D3DMAXNUMVERTICES);
    else
        result = draw("DrawIndexedPrimitive", type, layout, nullptr, vertices, vertexCount, 0, vertexCount, indices,
                      indexCount, flags);
    if (logging())
        LogLine("DrawIndexedPrimitive").arg(primitiveName(type)).arg(fvfText(fvf)).pointer(vertices, "vertices")
            .number(vertexCount).pointer(indices, "indices").number(indexCount).arg(drawFlagsText(flags)).write(result);
    return result;
}

// ---- What this device does not offer ---------------------------------------------------------
HRESULT Device::SetRenderTarget(LPDIRECTDRAWSURFACE7, DWORD) { return unsupported("SetRenderTarget"); }
HRESULT Device::PreLoad(LPDIRECTDRAWSURFACE7 texture) {
    if (!texture || !dynamic_cast<Surface*>(texture))
        return refuse(DDERR_INVALIDPARAMS, "IDirect3DDevice7::PreLoad", "not a texture of this device");
    return D3D_OK;   // textures live in video memory from their creation on
}
HRESULT Device::SetClipStatus(LPD3DCLIPSTATUS) { return unsupported("SetClipStatus"); }
HRESULT Device::GetClipStatus(LPD3DCLIPSTATUS) { return unsupported("GetClipStatus"); }
HRESULT Device::DrawPrimitiveStrided(D3DPRIMITIVETYPE, DWORD, LPD3DDRAWPRIMITIVESTRIDEDDATA, DWORD, DWORD) {
    return unsupported("DrawPrimitiveStrided");
}
HRESULT Device::DrawIndexedPrimitiveStrided(D3DPRIMITIVETYPE, DWORD, LPD3DDRAWPRIMITIVESTRIDEDDATA, DWORD, LPWORD,
                                            DWORD, DWORD) {
    return unsupported("DrawIndexedPrimitiveStrided");
}
HRESULT Device::ComputeSphereVisibility(LPD3DVECTOR, LPD3DVALUE, DWORD, DWORD, LPDWORD) {
    return unsupported("ComputeSphereVisibility");
}
HRESULT Device::Load(LPDIRECTDRAWSURFACE7, LPPOINT, LPDIRECTDRAWSURFACE7, LPRECT, DWORD) { return unsupported("Load"); }
HRESULT Device::SetClipPlane(DWORD, D3DVALUE*) { return unsupported("SetClipPlane"); }
HRESULT Device::GetClipPlane(DWORD, D3DVALUE*) { return unsupported("GetClipPlane"); }
HRESULT Device::GetInfo(DWORD, LPVOID, DWORD) { return S_FALSE; }   // no device statistics, as on a retail runtime

}  // namespace d3d7
