// The scene viewer's state: the keys the window procedure hands in, the frozen or running
// scene time, the overlay mode, the grid switch.
#pragma once

class SceneObject;

class Viewer {
public:
    // The previous key takes the current key's value; the current key takes `code`.
    void keyDown(unsigned char code);
    void resetKeys();
    // The fixed time when it is 0 or more, else t (remembered as the last clock time).
    float sceneTime(float t);
    // The per-frame step: viewer keys and overlay. Does nothing while no scene is live.
    void frame();

    unsigned char currentKey = 0;
    unsigned char previousKey = 0;
    float fixedTime = -0.005f;
    float lastClockTime = 0.0f;
    float lineHeight = 0.0f;
    bool fpsDisplay = true;
    unsigned char overlayMode = 0;   // 0 nothing, 1 time and frame rate, 2 everything
    SceneObject* viewedObject = nullptr;
    bool gridOn = false;
};

// The one viewer of the program.
extern Viewer ViewerState;
