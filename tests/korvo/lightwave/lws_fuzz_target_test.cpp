// The scene reader's fuzz target replayed over scenes written by the LWS writer, each cut off
// every five bytes, and over scenes that end the player (unknown key shapes, light types,
// missing objects, misspelt keys): every input ends normally, none crashes. Under the
// sanitizer build this is where the reader, the channels and the scene update meet memory
// checks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lws_writer.h"
#include "support.h"

namespace {

namespace lws = content::lws;
using testing_support::TempDir;

std::string fuzzTarget() { return std::string(DEMOS_BINARY_DIR) + "/fuzz/fuzz_lws"; }

// A scene using everything the reader reads, on the two objects the fuzz target provides.
std::string everything() {
    lws::Scene s;
    s.gridSize = 1.5f;
    s.ambientColor = {{0.2f, 0.3f, 0.4f}};
    s.ambientIntensity = lws::Animated<1>{{}, std::array<lws::Envelope, 1>{lws::Envelope{lws::tcb(0.5f, 0), lws::tcb(1, 2, 0.5f, -0.5f, 0.2f)}}};
    lws::Object& cube = s.addObject("cube.lwo");
    cube.motion[0] = lws::Envelope{lws::hermite(0, 0, 1, 2), lws::bezier(3, 1, -1, 0), lws::linear(1, 2), lws::stepped(2, 3)};
    cube.dissolve = lws::Animated<1>{{}, std::array<lws::Envelope, 1>{lws::Envelope{lws::linear(0, 0), lws::linear(1, 1), lws::linear(0, 2)}}};
    cube.morphTarget = 2;
    cube.morphAmount = lws::Animated<1>{{0.5f}, std::nullopt};
    s.addObject("cube2.lwo").unseenByCamera = true;
    lws::Light& spot = s.addLight("Spot", lws::LightType::Spot);
    spot.color.envelopes = {{lws::Envelope::constant(1), lws::Envelope{lws::tcb(0, 0), lws::tcb(1, 1)}, lws::Envelope{}}};
    spot.coneAngle = 0.3f;
    spot.edgeAngle = 0.1f;
    spot.targetFirstObject = true;
    s.addLight("Sun", lws::LightType::Directional).intensity = lws::Animated<1>{{0.8f}, std::nullopt};
    s.addCamera("Camera").targetFirstObject = true;
    return s.text();
}

TEST(LwsFuzzTarget, EveryCutOfAWrittenSceneAndEveryFatalSceneEndsNormally) {
    TempDir dir;
    std::vector<std::string> inputs;
    auto add = [&](const std::string& text) {
        std::string path = dir.file("input" + std::to_string(inputs.size()) + ".lws");
        lws::writeFile(path, text);
        inputs.push_back(path);
    };
    const std::string text = everything();
    for (size_t length = 0; length <= text.size(); length += 5) add(text.substr(0, length));
    add(text);
    std::string misspelt = text;
    misspelt.replace(misspelt.find("Key "), 3, "Kay");
    add(misspelt);
    std::string shape = text;
    shape.replace(shape.find("Key 3 1 2"), 9, "Key 3 1 9");   // a shape nothing draws
    add(shape);
    add("LWSC\n3\nAddLight\nLightType 7\n");
    add("LWSC\n3\nLoadObjectLayer 1 missing.lwo\n");
    add("LWSC\n3\nAddLight\nTargetObject 1\n");
    add("LWSC\n3\nLoadObjectLayer 1 cube.lwo\nNumChannels 1000\n");
    add("LWSC\n3\nAddCamera\nNumChannels 9\n" + std::string(9, ' ') + "\n");

    testing_support::RunResult r = testing_support::run(fuzzTarget(), inputs, {}, dir.path(), 280);
    EXPECT_EQ(r.exitCode, 0) << r.err.substr(0, 2000);
    EXPECT_EQ(r.err.find("ERROR"), std::string::npos) << r.err.substr(0, 2000);
}

}  // namespace
