// A keyframed scene of the show, loaded from an archive member and played at a show time.
#pragma once

class Scene {
public:
    // Loads the scene described by an archive member.
    static Scene* load(const char* member);

    // Draws the scene as it is at `seconds` of its own time.
    void play(float seconds);
    // Scrolls the texture of the named material.
    void setTextureOffsetU(const char* material, float offset);

    bool drawNormals = false;   // draw each vertex normal as a line
};
