// The background picture: the picture the timeline chose for this frame, laid over the whole
// screen once with a colour-inverting blend, then forgotten.
#include "assets/picture.h"
#include "effects/effects.h"
#include "shell/demowindow.h"
#include "shell/glbinding.h"

void effectBackground() {
    if (!currentBackground) return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, currentBackground->glName);
    currentBackground = nullptr;
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_ONE_MINUS_SRC_COLOR, GL_SRC_COLOR);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex3f(-1, 1, 0);
    glTexCoord2f(1, 0);
    glVertex3f(1, 1, 0);
    glTexCoord2f(1, 1);
    glVertex3f(1, -1, 0);
    glTexCoord2f(0, 1);
    glVertex3f(-1, -1, 0);
    glEnd();
    glDepthMask(GL_TRUE);
}
