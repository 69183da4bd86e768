#include "geometry/dots.h"

#include <algorithm>
#include <cmath>

#include "assets/picture.h"
#include "effects/effects.h"
#include "shell/glbinding.h"
#include "shell/timeline.h"

namespace {

float clamp01(float f) { return std::min(std::max(f, 0.0f), 1.0f); }

enum Fade { FadeB, FadeC, FadeD, FadeE };

// One column: where its dots sit, how they breathe, its colour and which fade it follows.
// Half-size = (base + swing sin(step j + rate lt + phase)) / 2 for the dot j of the column.
struct Column {
    float x;
    const float* ys;
    int count;
    uint8_t red, green, blue;
    Fade fade;
    float base, swing, step, rate, phase;
};

const float centreYs[] = {240, 88, 164, 315, 391};
const float firstYs[] = {93, 157, 221, 285, 349};
const float secondYs[] = {117, 165, 213, 261, 309};
const float thirdYs[] = {160, 189, 218, 247, 276, 305};
const float fourthYs[] = {209, 231, 253};

const Column columns[] = {
    {320, centreYs, 5, 110, 61, 48, FadeE, 64, 64.0f / 6.0f, 0.4f, 2.4f, 0},
    {247, firstYs, 5, 124, 91, 58, FadeE, 54, 6.75f, 0.4f, 3.4f, 1234},
    {389, firstYs, 5, 127, 126, 125, FadeE, 54, 6.75f, 0.4f, 3.4f, 7654},
    {193, secondYs, 5, 124, 91, 58, FadeB, 40, 3.3333f, 0.5f, 4.4f, 1234},
    {444, secondYs, 5, 127, 126, 125, FadeB, 40, 3.3333f, 0.5f, 4.4f, 7654},
    {155, thirdYs, 6, 126, 114, 62, FadeC, 23, 1.4375f, 0.6f, 5.4f, 1234},
    {482, thirdYs, 6, 127, 126, 125, FadeC, 23, 1.4375f, 0.6f, 5.4f, 7654},
    {130, fourthYs, 3, 125, 124, 69, FadeD, 13, 0.8125f, 0.7f, 6.4f, 11234},
    {508, fourthYs, 3, 127, 126, 125, FadeD, 13, 0.8125f, 0.7f, 6.4f, 17654},
};

uint8_t faded(uint8_t channel, float fade) { return uint8_t(std::lrint(float(channel) * fade)); }

}  // namespace

DotFades dotFades(float localTime) {
    const float t = localTime - 12.0f;
    return {1.0f - clamp01(0.45f * t), 1.0f - clamp01(0.4f * t), 1.0f - clamp01(0.35f * t),
            1.0f - clamp01(0.3f * t)};
}

void layoutDots(float localTime, Dot* dots) {
    const DotFades fades = dotFades(localTime);
    const float byGroup[] = {fades.b, fades.c, fades.d, fades.e};
    for (const Column& column : columns) {
        const float fade = byGroup[column.fade];
        for (int j = 0; j < column.count; ++j) {
            double angle = double(column.step) * j + double(column.rate) * localTime + column.phase;
            Dot& dot = *dots++;
            dot.x = column.x;
            dot.y = column.ys[j];
            dot.halfSize = float((column.base + column.swing * std::sin(angle)) / 2.0);
            dot.red = faded(column.red, fade);
            dot.green = faded(column.green, fade);
            dot.blue = faded(column.blue, fade);
            dot.startsColumn = j == 0;
        }
    }
}

void effectDotTitles(float localTime) {
    Dot dots[dotCount];
    layoutDots(localTime, dots);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 640, 0, 480, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glBindTexture(GL_TEXTURE_2D, showTextures[TextureDot]->glName);

    glBegin(GL_QUADS);
    for (int i = 0; i < dotCount; ++i) {
        const Dot& dot = dots[i];
        if (dot.startsColumn) glColor4ub(dot.red, dot.green, dot.blue, 255);
        const float h = dot.halfSize;
        glTexCoord2f(0.0f, 1.0f);
        glVertex3f(dot.x - h, dot.y + h, 0.0f);
        glTexCoord2f(1.0f, 1.0f);
        glVertex3f(dot.x + h, dot.y + h, 0.0f);
        glTexCoord2f(1.0f, 0.0f);
        glVertex3f(dot.x + h, dot.y - h, 0.0f);
        glTexCoord2f(0.0f, 0.0f);
        glVertex3f(dot.x - h, dot.y - h, 0.0f);
    }
    glEnd();
    glBlendFunc(GL_ONE, GL_ONE);
    glDepthMask(GL_TRUE);
}
