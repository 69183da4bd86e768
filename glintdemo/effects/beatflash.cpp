#include "effects/beatflash.h"

#include <algorithm>
#include <cmath>

#include "assets/picture.h"
#include "effects/effects.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"
#include "shell/timeline.h"

BeatFlashState beatFlashState;

namespace {

constexpr float closingTime = 233.0f;

float clamp01(float f) { return std::min(std::max(f, 0.0f), 1.0f); }

}  // namespace

float flashValue(int kind, float time, float t) {
    switch (kind) {
    case -1: return (t - 4.0f) * 0.3f;
    case 0: return (t - time) * 2.0f;
    case 1: return (t - time) * 5.0f;
    case 2: return (t - time) * 3.0f;
    case 3: return (t - time) * 2.51f;
    case closingKind: return (t - closingTime) * 0.01f;
    default: return (t - time) * 2.0f;   // kinds 4 to 9
    }
}

int flashPicture(int kind) {
    switch (kind) {
    case 3: return TextureSc2;
    case 4: return TextureD4_1;
    case 5: return TextureD2_2;
    case 6: return TextureD2_3;
    case 7: return TextureD4_4;
    case 8: return TextureD4_22;
    case 9: return TextureD5_2;
    case closingKind: return TextureD4_3;
    default: return -1;
    }
}

FlashLook beatFlashLook(BeatFlashState& state, float t, const Beat* table, int count) {
    // The latest accent still decaying wins; the first of equal times.
    const Beat* chosen = nullptr;
    for (int i = 0; i < count; ++i) {
        float f = flashValue(table[i].kind, table[i].time, t);
        if (f < 0.0f || f > 1.0f) continue;
        if (!chosen || table[i].time > chosen->time) chosen = &table[i];
    }
    if (chosen) {
        state.accentTime = chosen->time;
        state.accentKind = chosen->kind;
    }

    FlashLook look;
    if (t > closingTime) state.accentTime = closingTime;
    else if (state.accentTime == 0.0f) return look;

    float f = flashValue(state.accentKind, state.accentTime, t);
    float s = 1.0f;
    if (state.accentKind == 3) {
        float u = (t - state.accentTime) * 2.51f;
        s = 40.5f * u * u + 0.98f;
    }
    if (f > 1.0f) state.accentTime = 0.0f;   // this flash ends after this frame
    f = clamp01(f);
    if (t > closingTime) {
        f = clamp01((t - closingTime) * 0.051f);
        state.accentKind = closingKind;
    }

    look.draw = true;
    look.kind = state.accentKind;
    look.halfSize = s;
    switch (look.kind) {
    case -1:
    case 2: look.alpha = 1.0f - f; break;
    case 1: look.alpha = f; break;
    case 4: case 5: case 6: case 7: case 8: case 9:
        look.red = look.green = look.blue = 1.0f;
        look.alpha = 1.0f - std::sqrt(f);
        break;
    default:   // 0, 3, the closing picture and any other kind
        look.red = look.green = look.blue = 1.0f;
        look.alpha = 1.0f - f;
        break;
    }
    return look;
}

void effectBeatFlash() {
    FlashLook look = beatFlashLook(beatFlashState, showTime, BeatTable, beatCount);
    if (!look.draw) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    int picture = flashPicture(look.kind);
    if (picture >= 0) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, showTextures[picture]->glName);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    glColor4f(look.red, look.green, look.blue, look.alpha);
    float s = look.halfSize;
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(-s, s, 0);
    glTexCoord2f(1, 0);
    glVertex3f(s, s, 0);
    glTexCoord2f(1, 1);
    glVertex3f(s, -s, 0);
    glTexCoord2f(0, 1);
    glVertex3f(-s, -s, 0);
    glEnd();
    glDepthMask(GL_TRUE);
}
