#include "scene_description_writer.h"

#include <cstdio>
#include <cstdlib>

namespace content::exp {

std::string number(float value) {
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, double(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    return text;
}

SceneDescriptionWriter& SceneDescriptionWriter::line(const std::string& text) {
    text_ += text;
    text_ += "\r\n";
    return *this;
}

SceneDescriptionWriter& SceneDescriptionWriter::framesPerSecond(float fps) {
    return line("FramesPerSecond " + number(fps));
}

SceneDescriptionWriter& SceneDescriptionWriter::lightColour(int r, int g, int b) {
    return line("LightColor " + std::to_string(r) + " " + std::to_string(g) + " " + std::to_string(b));
}

SceneDescriptionWriter& SceneDescriptionWriter::zoomFactor(float zoom) { return line("ZoomFactor " + number(zoom)); }

SceneDescriptionWriter& SceneDescriptionWriter::normalSize(float length) { return line("NormalSize " + number(length)); }

SceneDescriptionWriter& SceneDescriptionWriter::motion(const std::string& keyword, const std::vector<MotionKey>& keys,
                                                       int endBehaviour) {
    line(keyword + " (unnamed)");
    line("  9");
    line("  " + std::to_string(keys.size()));
    for (const MotionKey& k : keys) {
        std::string values = "  ";
        for (float v : {k.position[0], k.position[1], k.position[2], k.heading, k.pitch, k.bank, k.scale[0], k.scale[1],
                        k.scale[2]})
            values += number(v) + " ";
        values.pop_back();
        line(values);
        line("  " + number(k.frame) + " " + (k.linear ? "1" : "0") + " " + number(k.tension) + " " +
             number(k.continuity) + " " + number(k.bias));
    }
    return line("EndBehavior " + std::to_string(endBehaviour));
}

std::string envelopeFile(const std::string& name, const std::vector<EnvelopeFileKey>& keys) {
    std::string text = name + "\r\n";
    for (const EnvelopeFileKey& k : keys) {
        text += "Key " + number(k.frame) + " Value " + number(k.value);
        if (k.shaped) text += " " + number(k.tension) + " " + number(k.continuity) + " " + number(k.bias);
        text += "\r\n";
    }
    return text;
}

}  // namespace content::exp
