// Effects whose drawing is not part of the show yet: their entry points and set-ups are in
// place so the timeline calls them at their times, and they draw nothing.
#include "effects/effects.h"

void effectEnvObjects(float) {}
void effectBillboards() {}
void effectFlatMesh() {}
void effectTubeGroup2(float, Texture*, float) {}
void effectTubeGroup1(float, Texture*) {}
void effectBanner() {}
void effectDotTitles(float) {}
void effectRunScene(float, int, float) {}

void setupEnvObjects(const char*, const char*, const char*) {}
void setupBanner(const char*, const char*) {}
void setupFlatMesh() {}
void setupBillboards() {}
void createStreamerSet() {}
void createRunSceneHolder() {}
