// The beat flash: the fade-in of the opening, a flash, darkening or picture burst on every
// accent of the soundtrack, and the closing picture. Its look is computed apart from drawing.
#pragma once

#include "shell/beattable.h"

constexpr int closingKind = 10000;

// Carried from frame to frame.
struct BeatFlashState {
    float accentTime = 0.001f;
    int accentKind = -1;
};

// What one frame draws: a full-screen quad of half-size `halfSize` in the colour, textured with
// the picture of `kind` when it has one.
struct FlashLook {
    bool draw = false;
    int kind = -1;
    float red = 0, green = 0, blue = 0, alpha = 0;
    float halfSize = 1;
};

// The flash value of an accent of `kind` at `time`, at show time t.
float flashValue(int kind, float time, float t);
// Chooses the accent for show time t and works out this frame's look.
FlashLook beatFlashLook(BeatFlashState& state, float t, const Beat* table, int count);
// The picture (a show texture index) of a kind, or -1 when the kind has none.
int flashPicture(int kind);

extern BeatFlashState beatFlashState;
