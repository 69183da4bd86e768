// State blocks: the states recorded between BeginStateBlock and EndStateBlock, or captured by
// CreateStateBlock, each with its last value.
#include "objects.h"

namespace d3d7 {

StateBlock::~StateBlock() {
    for (StateSetting& s : settings_)
        if (s.texture) s.texture->Release();
}

void StateBlock::record(const StateSetting& setting) {
    if (setting.texture) setting.texture->AddRef();
    for (StateSetting& s : settings_) {
        if (s.sameState(setting)) {
            if (s.texture) s.texture->Release();
            s = setting;
            return;
        }
    }
    settings_.push_back(setting);
}

std::string settingText(const StateSetting& s) {
    switch (s.kind) {
    case StateSetting::Kind::RenderState:
        return "SetRenderState(" + renderStateName(s.index) + ", " + renderStateValueText(s.index, s.value) + ")";
    case StateSetting::Kind::StageState:
        return "SetTextureStageState(" + std::to_string(s.index) + ", " + stageStateName(s.subIndex) + ", " +
               stageStateValueText(s.subIndex, s.value) + ")";
    case StateSetting::Kind::Texture:
        return "SetTexture(" + std::to_string(s.index) + ", " + (s.texture ? s.texture->logName() : "NULL") + ")";
    case StateSetting::Kind::Transform:
        return "SetTransform(" + transformName(s.index) + ", " + matrixText(s.matrix) + ")";
    case StateSetting::Kind::Material: return "SetMaterial(" + materialText(s.material) + ")";
    case StateSetting::Kind::Light: return "SetLight(" + std::to_string(s.index) + ", " + lightText(s.light) + ")";
    case StateSetting::Kind::LightEnable:
        return "LightEnable(" + std::to_string(s.index) + ", " + (s.value ? "TRUE" : "FALSE") + ")";
    case StateSetting::Kind::Viewport: return "SetViewport(" + viewportText(s.viewport) + ")";
    }
    return "?";
}

}  // namespace d3d7
