#include "lightwave/viewer.h"

#include "shell/list.h"

extern List sceneList;

void Viewer::keyDown(unsigned char code) {
    previousKey = currentKey;
    currentKey = code;
}

void Viewer::resetKeys() { currentKey = previousKey = 0; }

float Viewer::sceneTime(float t) {
    if (fixedTime >= 0.0f) return fixedTime;
    lastClockTime = t;
    return t;
}

void Viewer::frame() {
    if (!sceneList.first()) return;
    // The viewer's keys and its overlay describe a scene's objects; scenes hold none yet.
}
