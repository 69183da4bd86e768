// The object builder: one LightWave object file becomes a SceneObject with one renderable
// Surface per surface of the file (vertex buffer, index buffer, material and a recorded state
// block each).
#pragma once

#include <d3d.h>

#include "shell/list.h"

class LWObject;
class Scene;
class Surface;

// An object of a scene: its surfaces and where and how it stands. Scenes animate the floats
// below through channels and properties.
class SceneObject {
public:
    // Reads the object file (as given, else under "objects/") and builds its surfaces; an
    // object that cannot be found or built ends the program. `unused` changes nothing.
    explicit SceneObject(const char* name, bool unused = false);
    // Destroys its surfaces and properties. The channels in its channel list belong to whoever
    // created them (the scene reader also lists them in the scene) and are not destroyed here.
    virtual ~SceneObject();
    SceneObject(const SceneObject&) = delete;
    SceneObject& operator=(const SceneObject&) = delete;

    // Appends a surface under its name; the object owns it from then on.
    void addSurface(Surface* surface);
    // The floats that animation channels 0 to 8 drive: position x, y, z; heading, pitch, bank;
    // and the one uniform scale three times. Returns 9.
    int channelTargets(float* targets[9]);

    bool hidden = false;
    Scene* scene = nullptr;   // the owning scene, set by the scene reader
    List surfaces{"noname"};     // named by surface, data Surface
    List channels{"noname"};     // the object's animation channels
    List properties{"noname"};   // "MorphAmount" and "ObjectDissolve", data Property
    char* name;                  // the object file name as given
    int pointCount = 0, triangleCount = 0;
    D3DVECTOR position = {};
    float heading = 0.0f, pitch = 0.0f, bank = 0.0f;   // radians, about y, x and z
    float scale = 1.0f;
    bool morphEnabled = false;
    int morphTarget = 0;   // 1-based position in the owning scene's object list
    float morphAmount = 0.0f;
    float dissolve = 0.0f;
    D3DMATRIX world;   // computed every frame by the scene
};

// Loads an object file by its name as given, else as "objects/" + name. When neither loads,
// the failure is logged and the program ends ("Object not found"). The caller owns the result.
LWObject* findObjectFile(const char* name);

// Builds one surface of `object` for every surface of `source` that triangles use; a surface
// no triangle uses is logged and left out. False (logged) when a surface has more vertices than
// 16-bit indices reach.
bool buildSurfaces(SceneObject* object, LWObject* source);
