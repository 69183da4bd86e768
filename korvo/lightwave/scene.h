// A LightWave scene, created from a name: its objects, lights, cameras and animation channels.
// It appends itself to the live scenes and is advanced to the scene time and drawn every frame
// until the script removes it.
#pragma once

#include <d3d.h>

#include <string>

#include "shell/list.h"

class Channel;
class Grid;
class SceneObject;
class Surface;

// A light of a scene. Its channels drive the position and, in the direction's three floats,
// the heading, pitch and bank; the real direction is worked out when the light is set (towards
// the target, for a light that has one).
class Light {
public:
    Light();
    // Frees its properties; its channels belong to the scene.
    virtual ~Light();
    Light(const Light&) = delete;
    Light& operator=(const Light&) = delete;

    // The floats of channels 0 to 8: position x, y, z; heading, pitch, bank; scale x, y, z.
    int channelTargets(float* targets[9]);

    bool enabled = true;
    DWORD index = 0;   // the device light, from one count over every scene of the run
    SceneObject* target = nullptr;
    std::string name = "Unnamed";
    D3DLIGHT7 light;
    float intensity = 1.0f;   // a file that sets none leaves the light at full strength
    float scale[3] = {1.0f, 1.0f, 1.0f};
    List channels{"noname"};
    List properties{"noname"};   // data Property
    // The run of "switch everything off" the device last refused to switch this light on in;
    // it is tried again only after the next one. -1: never refused.
    long refusedInRun = -1;
};

class Camera {
public:
    Camera() = default;
    virtual ~Camera() = default;
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // The floats of channels 0 to 5 (position, heading, pitch, bank); 6 to 8 drive nothing.
    int channelTargets(float* targets[9]);

    std::string name = "Unnamed";
    D3DVECTOR position = {0.0f, 0.0f, -3.0f};
    float heading = 0.0f, pitch = 0.0f, bank = 0.0f;
    float zoom = 3.2f;   // read from nothing, kept for the record
    SceneObject* target = nullptr;
    List channels{"noname"};
    List properties{"noname"};
};

class Scene {
public:
    // Reads the scene named `name` (as given, else under "scenes/"; a name that is neither is
    // shown as an object in "scenes/debugobject.lws"), writes the scene dump, appends itself to
    // the live scenes under `name` and makes its grid.
    explicit Scene(const char* name);
    // An empty scene, not live: for tools and tests that fill it themselves.
    Scene();
    // Frees its grid, objects, lights, cameras and channels. The live-scene entry is the
    // caller's to remove.
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Channels, camera, lights and objects at scene time t (seconds).
    void update(float t);
    // The grid when the viewer shows it, then every object's visible surfaces.
    void draw();
    // Switches the device lights 0 to 99 off, and every light index above that a scene of the
    // run was given.
    void disableAllLights();

    void addObject(SceneObject* object);
    void addLight(Light* light);
    void addCamera(Camera* camera);
    void addChannel(Channel* channel);

    // The camera the scene is seen through: the current camera, or for a scene that has none
    // one standing at (0, 0, -3) looking along +z.
    Camera& viewCamera() { return currentCamera ? *currentCamera : defaultCamera_; }
    // Sets the device's view transform from the view camera.
    void setView();

    int framesPerSecond = 0;
    int showMotionPath = 0;
    float gridSize = 0.0f;
    Grid* grid = nullptr;
    Camera* currentCamera = nullptr;
    List objects{"noname"};    // named by object file, data SceneObject
    List lights{"noname"};     // the ambient light first, data Light
    List cameras{"noname"};    // data Camera
    List channels{"noname"};   // every entry "channel", data Channel

private:
    void setLight(Light& light);
    void updateObject(SceneObject& object);
    void drawSurface(Surface& surface);
    void drawParticles(Surface& surface);

    Camera defaultCamera_;
    DWORD spriteStateBlock_ = 0;   // the device state before sprites, put back after them
};

// The highest device light index handed out so far (-1 before the first light).
long lastLightIndex();
