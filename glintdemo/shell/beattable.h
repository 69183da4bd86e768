// The soundtrack's accents: 300 show times, each with the kind of flash it gets.
#pragma once

struct Beat {
    float time;   // show seconds
    int kind;     // 0 to 9; each kind has its own look and decay
};

constexpr int beatCount = 300;
extern Beat BeatTable[beatCount];

// Fills the table (done while the window is created).
void fillBeatTable();
