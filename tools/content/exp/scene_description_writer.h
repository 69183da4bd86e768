// Writes the show's text scene descriptions (".lws" members): keyword lines, motion blocks
// and the envelope files that opacity_control lines name. Lines end in "\r\n".
#pragma once

#include <string>
#include <vector>

namespace content::exp {

// One key of a motion block: nine channels, then its frame and shape.
struct MotionKey {
    float position[3] = {0, 0, 0};
    float heading = 0, pitch = 0, bank = 0;   // degrees
    float scale[3] = {1, 1, 1};
    float frame = 0;
    bool linear = false;
    float tension = 0, continuity = 0, bias = 0;
};

class SceneDescriptionWriter {
public:
    // Any line as it is (a keyword of the dialect or anything else).
    SceneDescriptionWriter& line(const std::string& text);

    SceneDescriptionWriter& lwsc() { return line("LWSC"); }
    SceneDescriptionWriter& framesPerSecond(float fps);
    SceneDescriptionWriter& addNullObject(const std::string& name) { return line("AddNullObject " + name); }
    SceneDescriptionWriter& addLight(const std::string& name) { return line("AddLight " + name); }
    SceneDescriptionWriter& lightColour(int r, int g, int b);
    SceneDescriptionWriter& zoomFactor(float zoom);
    SceneDescriptionWriter& normalSize(float length);
    // A motion block after `keyword` ("ObjectMotion", "LightMotion", "CameraMotion"): the
    // channel count line, the key count, the keys, and the end behaviour line.
    SceneDescriptionWriter& motion(const std::string& keyword, const std::vector<MotionKey>& keys, int endBehaviour = 1);

    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// An envelope file: its name on the first line, then one key a line, "Key <frame> Value
// <value>" or, with shape, "Key <frame> Value <value> <tension> <continuity> <bias>".
struct EnvelopeFileKey {
    float frame = 0, value = 0;
    bool shaped = false;
    float tension = 0, continuity = 0, bias = 0;
};
std::string envelopeFile(const std::string& name, const std::vector<EnvelopeFileKey>& keys);

// A number as the text files write it: shortest form that reads back to the same float.
std::string number(float value);

}  // namespace content::exp
