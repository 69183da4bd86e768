// The show's one window and the state every effect reads: the show clock, the faces counter,
// the background picture chosen by the timeline.
#pragma once

#include <windows.h>

struct Texture;

struct DemoWindow {
    HWND hwnd = nullptr;
    HINSTANCE instance = nullptr;
    PIXELFORMATDESCRIPTOR pixelFormat{};   // as handed to SetPixelFormat
    int width = 640, height = 480;         // the drawing size, always 640 x 480
};

extern DemoWindow* demoWindow;

// Show clock: seconds since the first painted frame, plus the offset the keys move.
extern float showTime;
extern float timeOffset;
extern float framesPerSecond;
// Faces drawn in the current frame; effects add what they draw.
extern int facesDrawn;
// Accumulated cursor movement.
extern int mouseX, mouseY;
// The picture effectBackground draws in this frame; null when none is selected.
extern Texture* currentBackground;
