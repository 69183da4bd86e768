// Reads ".lws" scene descriptions: text lines whose first word (in any letter case) is a
// keyword of the table below; other lines are skipped. Motion blocks follow their keyword over
// several lines; opacity envelopes come from envelope files of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/tracks.h"

class Scene;
struct Camera;
struct Light;
struct NullObject;
struct Texture;

// The whole member as bytes; a missing or unreadable member stops the show with the archive's
// "file not found" message box.
std::vector<uint8_t> readWholeMember(const char* name);

class SceneDescriptionReader {
public:
    struct Keyword {
        const char* name;
        int identifier;
        void (SceneDescriptionReader::*handler)(const char* line, size_t next);
    };
    // The 33 keywords and the end marker "NULL", which no lower-case word matches.
    static const Keyword keywords[34];

    // Parses `length` bytes of text into `scene`. Returns 0, or 1 when a motion block is broken
    // (error() says which); what was read before stays in the scene.
    int read(Scene& scene, const char* text, size_t length);
    const std::string& error() const { return error_; }

    // Where envelope files and pictures come from; fuzzers replace them.
    std::vector<uint8_t> (*readMember)(const char* name) = readWholeMember;
    Texture* (*loadPicture)(const char* name) = nullptr;   // null: a texture of the archive picture

    // Settings of the last reading that nothing else reads.
    float framesPerSecond = 10.0f;
    bool lwsc = false;
    int drawNormalsSetting = -1;
    int drawEdgesSetting = 0;
    float clearColour[3] = {};
    Texture* foreground = nullptr;
    Texture* background = nullptr;

    // Reads an envelope file: its name on the first line, then one key a line.
    static std::unique_ptr<Envelope> readEnvelope(const char* text, size_t length);

private:
    void framesPerSecondLine(const char* line, size_t next);
    void opacityLine(const char* line, size_t next);
    void opacityControlLine(const char* line, size_t next);
    void displayListLine(const char* line, size_t next);
    void hideLine(const char* line, size_t next);
    void noShadingLine(const char* line, size_t next);
    void lwscLine(const char* line, size_t next);
    void ignoredLine(const char* line, size_t next);
    void addNullObjectLine(const char* line, size_t next);
    void addLightLine(const char* line, size_t next);
    void lightColourLine(const char* line, size_t next);
    void parentObjectLine(const char* line, size_t next);
    void objectMotionLine(const char* line, size_t next);
    void cameraMotionLine(const char* line, size_t next);
    void zoomFactorLine(const char* line, size_t next);
    void drawBoundingBoxLine(const char* line, size_t next);
    void drawNormalsLine(const char* line, size_t next);
    void drawEdgesLine(const char* line, size_t next);
    void clearColourLine(const char* line, size_t next);
    void normalSizeLine(const char* line, size_t next);
    void foregroundLine(const char* line, size_t next);
    void backgroundLine(const char* line, size_t next);
    void normalAngleLine(const char* line, size_t next);

    // Reads the motion block that follows the keyword line (from `next`, the end of that line).
    std::unique_ptr<Motion> motionBlock(size_t next);
    Texture* picture(const char* name);

    Scene* scene_ = nullptr;
    std::string text_;
    NullObject* currentNull_ = nullptr;
    Light* currentLight_ = nullptr;
    Camera* currentCamera_ = nullptr;
    std::vector<NullObject*> nullObjects_;
    std::string error_;
};
