#include "effects/banner.h"

#include <algorithm>

#include "assets/picture.h"
#include "effects/effects.h"
#include "effects/view.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"

namespace {

Texture* firstPicture = nullptr;
Texture* secondPicture = nullptr;

float clamp01(float f) { return std::min(std::max(f, 0.0f), 1.0f); }

// A quad of the whole picture centred on (x, y) in the plane z = 0.
void drawBannerQuad(float x, float y, float width, float height, float alpha) {
    const float ou = 0.0f, ov = 0.0f;
    glBegin(GL_QUADS);
    glColor4f(1.0f, 1.0f, 1.0f, alpha);
    glTexCoord2f(ou, ov);
    glVertex3f(x - width / 2.0f, y + height / 2.0f, 0.0f);
    glTexCoord2f(ou, ov + 1.0f);
    glVertex3f(x - width / 2.0f, y - height / 2.0f, 0.0f);
    glTexCoord2f(ou + 1.0f, ov + 1.0f);
    glVertex3f(x + width / 2.0f, y - height / 2.0f, 0.0f);
    glTexCoord2f(ou + 1.0f, ov);
    glVertex3f(x + width / 2.0f, y + height / 2.0f, 0.0f);
    glEnd();
}

}  // namespace

BannerLook bannerLook(float t) {
    BannerLook look;
    const float c = t - 6.0f;
    const float fadeIn = clamp01(c * 0.5f);
    const float fadeOut = clamp01(c - 11.0f);
    const float f = fadeIn * (1.0f - fadeOut);
    if (f == 0.0f) return look;
    const float g = clamp01((c - 5.0f) * 0.054f);
    const float k = clamp01((c - 5.0f) * 0.4f);
    look.draw = true;
    look.width = 800.0f - 380.0f * k;
    look.height = 100.0f - 25.0f * k;
    look.firstAlpha = f * g;
    look.secondAlpha = f * (1.0f - g);
    return look;
}

void setupBanner(const char* first, const char* second) {
    rawWidth = 512;
    rawHeight = 128;
    firstPicture = loadTexture(first, GL_RGB, false);
    secondPicture = loadTexture(second, GL_RGB, false);
}

void effectBanner() {
    if (!firstPicture) return;
    setPerspectiveView();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);
    glTranslatef(0.0f, 0.0f, -500.0f);

    const BannerLook look = bannerLook(showTime);
    if (!look.draw) return;
    glBindTexture(GL_TEXTURE_2D, firstPicture->glName);
    drawBannerQuad(0.0f, 0.0f, look.width, look.height, look.firstAlpha);
    glBindTexture(GL_TEXTURE_2D, secondPicture->glName);
    drawBannerQuad(0.0f, 0.0f, look.width, look.height, look.secondAlpha);
    glDisable(GL_TEXTURE_2D);
}
