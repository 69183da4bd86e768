#include "lws_writer.h"

#include <cstdio>
#include <fstream>

namespace content::lws {

namespace {

// Enough digits for a float to read back exactly.
std::string number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    return text;
}

Key key(float value, float time, Shape shape) {
    Key k;
    k.value = value;
    k.time = time;
    k.shape = int(shape);
    return k;
}

void motionText(std::string& out, const char* keyword, const Motion& motion) {
    out += std::string(keyword) + "\n";
    out += "NumChannels " + std::to_string(motion.channelCount) + "\n";
    for (int i = 0; i < motion.channelCount; ++i) {
        out += "Channel " + std::to_string(i) + "\n";
        out += envelopeText(motion.channels[size_t(i)]);
    }
}

// "Keyword value..." or "Keyword (envelope)" followed by one block per component.
template <size_t N>
void animatedText(std::string& out, const char* keyword, const Animated<N>& animated) {
    out += keyword;
    if (animated.envelopes) {
        out += " (envelope)\n";
        for (const Envelope& envelope : *animated.envelopes) out += envelopeText(envelope);
    } else {
        for (float v : animated.value) out += " " + number(v);
        out += "\n";
    }
}

void optionalLine(std::string& out, const char* keyword, const std::optional<float>& value) {
    if (value) out += std::string(keyword) + " " + number(*value) + "\n";
}

void extraText(std::string& out, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) out += line + "\n";
}

}  // namespace

Key tcb(float value, float time, float tension, float continuity, float bias) {
    Key k = key(value, time, Shape::TCB);
    k.parameters[0] = tension;
    k.parameters[1] = continuity;
    k.parameters[2] = bias;
    return k;
}

Key hermite(float value, float time, float incoming, float outgoing) {
    Key k = key(value, time, Shape::Hermite);
    k.parameters[3] = incoming;
    k.parameters[4] = outgoing;
    return k;
}

Key bezier(float value, float time, float incoming, float outgoing) {
    Key k = hermite(value, time, incoming, outgoing);
    k.shape = int(Shape::Bezier);
    return k;
}

Key linear(float value, float time) { return key(value, time, Shape::Linear); }

Key stepped(float value, float time) { return key(value, time, Shape::Stepped); }

Envelope Envelope::constant(float value) { return Envelope{tcb(value, 0.0f)}; }

Motion::Motion() {
    setPosition(0.0f, 0.0f, 0.0f);
    setRotation(0.0f, 0.0f, 0.0f);
    setScale(1.0f);
}

void Motion::setPosition(float x, float y, float z) {
    channels[0] = Envelope::constant(x);
    channels[1] = Envelope::constant(y);
    channels[2] = Envelope::constant(z);
}

void Motion::setRotation(float heading, float pitch, float bank) {
    channels[3] = Envelope::constant(heading);
    channels[4] = Envelope::constant(pitch);
    channels[5] = Envelope::constant(bank);
}

void Motion::setScale(float scale) {
    for (size_t i = 6; i < 9; ++i) channels[i] = Envelope::constant(scale);
}

Camera::Camera() {
    motion.channelCount = 6;
    motion.setPosition(0.0f, 0.0f, -3.0f);
}

Object& Scene::addObject(const std::string& file) {
    objects.emplace_back();
    objects.back().file = file;
    return objects.back();
}

Light& Scene::addLight(const std::string& name, LightType type) {
    lights.emplace_back();
    lights.back().name = name;
    lights.back().type = int(type);
    return lights.back();
}

Camera& Scene::addCamera(const std::string& name) {
    cameras.emplace_back();
    cameras.back().name = name;
    return cameras.back();
}

std::string envelopeText(const Envelope& envelope) {
    std::string out = "{ Envelope\n  " + std::to_string(envelope.keys.size()) + "\n";
    for (const Key& k : envelope.keys) {
        out += "  Key " + number(k.value) + " " + number(k.time) + " " + std::to_string(k.shape);
        for (float p : k.parameters) out += " " + number(p);
        out += "\n";
    }
    out += "  Behaviors " + std::to_string(envelope.preBehaviour) + " " + std::to_string(envelope.postBehaviour) + "\n";
    out += "}\n";
    return out;
}

std::string Scene::text() const {
    std::string out = "LWSC\n" + std::to_string(version) + "\n";
    extraText(out, headerLines);
    out += "\nFirstFrame 1\n";
    out += "FramesPerSecond " + std::to_string(framesPerSecond) + "\n";
    if (showMotionPath) out += "ShowMotionPath " + std::to_string(*showMotionPath) + "\n";
    optionalLine(out, "GridSize", gridSize);
    if (ambientColor)
        out += "AmbientColor " + number((*ambientColor)[0]) + " " + number((*ambientColor)[1]) + " " +
               number((*ambientColor)[2]) + "\n";
    if (ambientIntensity) animatedText(out, "AmbientIntensity", *ambientIntensity);

    for (const Object& o : objects) {
        out += "\nLoadObjectLayer " + std::to_string(o.layer) + " " + o.file + "\n";
        motionText(out, "ObjectMotion", o.motion);
        if (o.dissolve) animatedText(out, "ObjectDissolve", *o.dissolve);
        if (o.morphTarget) out += "MorphTarget " + std::to_string(o.morphTarget) + "\n";
        if (o.morphAmount) animatedText(out, "MorphAmount", *o.morphAmount);
        if (o.unseenByCamera) out += "UnseenByCamera\n";
        extraText(out, o.extraLines);
    }
    for (const Light& l : lights) {
        out += "\nAddLight\nLightName " + l.name + "\n";
        motionText(out, "LightMotion", l.motion);
        animatedText(out, "LightColor", l.color);
        if (l.intensity) animatedText(out, "LightIntensity", *l.intensity);
        out += "LightType " + std::to_string(l.type) + "\n";
        optionalLine(out, "LightConeAngle", l.coneAngle);
        optionalLine(out, "LightEdgeAngle", l.edgeAngle);
        optionalLine(out, "LightRange", l.range);
        optionalLine(out, "Falloff", l.falloff);
        if (l.targetFirstObject) out += "TargetObject 1\n";
        extraText(out, l.extraLines);
    }
    for (const Camera& c : cameras) {
        out += "\nAddCamera\nCameraName " + c.name + "\n";
        motionText(out, "CameraMotion", c.motion);
        if (c.targetFirstObject) out += "TargetObject 1\n";
        out += "ZoomFactor 3.2\n";
        extraText(out, c.extraLines);
    }
    return out;
}

bool writeFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text;
    return bool(file);
}

}  // namespace content::lws
