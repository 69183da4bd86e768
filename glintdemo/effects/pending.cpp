// Effects whose drawing is not part of the show yet: their entry points and set-ups are in
// place so the timeline calls them at their times, and they draw nothing.
#include "effects/effects.h"

void effectRunScene(float, int, float) {}

void createStreamerSet() {}
void createRunSceneHolder() {}
