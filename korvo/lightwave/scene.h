// A LightWave scene, created from a name: it appends itself to the live scenes, is advanced
// to the scene time and drawn every frame until the script removes it.
#pragma once

class Scene {
public:
    explicit Scene(const char* name);
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    void update(float t);
    void draw();
    // Switches the device lights 0 to 99 off.
    void disableAllLights();
};
