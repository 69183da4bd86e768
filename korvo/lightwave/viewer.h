// The scene viewer's state: the keys the window procedure hands in, the frozen or running
// scene time, the spin and zoom of a single viewed object, the overlay mode, the grid switch;
// and the scene dump, a text listing of a loaded scene and its channels.
//
// Keys of the first live scene, read once a frame:
//   no viewed object (a scene):  Left/Right -/+ 0.005 s, Up/Down -/+ 1 s of frozen time
//   a viewed object:             Left/Right and Up/Down spin it, Space stops it,
//                                numeric-pad + and - zoom the camera in and out
//   always:                      Tab overlay mode, 1..9 surface on/off, G grid,
//                                S/T specular off/on, V wait for the retrace
#pragma once

class Scene;
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
    // Writes `scene` as text into `fileName` (created afresh); a file that cannot be opened ends
    // the program.
    void sceneDump(Scene* scene, const char* fileName);

    unsigned char currentKey = 0;
    unsigned char previousKey = 0;
    float fixedTime = -0.005f;
    float lastClockTime = 0.0f;
    float lineHeight = 0.0f;   // of the overlay, as a fraction of the screen height
    bool fpsDisplay = true;
    unsigned char overlayMode = 0;   // 0 nothing, 1 time and frame rate, 2 everything
    SceneObject* viewedObject = nullptr;
    bool gridOn = false;

    // The viewed object's spin (radians a frame and radians) and the camera's zoom (units a
    // frame, away from the origin).
    float headingSpeed = 0.0f, pitchSpeed = 0.0f;
    float heading = 0.0f, pitch = 0.0f, bank = 0.0f;
    float zoomSpeed = 0.0f;

    // The zoomed camera comes no closer to the origin than this.
    static constexpr float closestZoom = 0.2f;

private:
    void timeKeys();
    void spinKeys(Scene& scene);
    void commonKeys(SceneObject& described);
};

// The one viewer of the program.
extern Viewer ViewerState;
