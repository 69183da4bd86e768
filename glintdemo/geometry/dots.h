// The dot overlay of the opening: a centre column of five large dots and four pairs of smaller
// columns mirrored about the screen's centre, each dot breathing with its own sine, the pairs
// fading out one after another. Laid out apart from drawing, in screen pixels (origin at the
// lower left of the 640 x 480 screen).
#pragma once

#include <cstdint>

// The fades of the groups at local time lt (the show time less 6 s): 1 until lt = 12, then
// falling to 0, the second pair first (b), then the third (c), the fourth (d), and the centre
// column with the first pair last (e).
struct DotFades {
    float b, c, d, e;
};
DotFades dotFades(float localTime);

struct Dot {
    float x, y;       // centre
    float halfSize;
    uint8_t red, green, blue;   // the group's colour, faded
    bool startsColumn;          // the first dot of its column
};

constexpr int dotCount = 43;

// Every dot at local time lt, in drawing order: the centre column, then the pairs from the
// innermost out, left before right.
void layoutDots(float localTime, Dot* dots);
