// korvo's sample show (build/content/korvo) played as a user plays it, headless with a
// coarse fixed clock at a small size: to its Quit, every section drawn; and its scenes in the
// viewer, whose scene dump lists what the generator wrote. Without the built show these
// tests skip.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>

#include "show.h"
#include "support.h"

namespace {

using namespace testing_support;
namespace lws = content::lws;

class KorvoShow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fileExists(sampleShow("korvo") + "/demoflow.txt")) GTEST_SKIP() << "no korvo sample show in the build";
        // korvo writes its log and scene dump where it runs: a folder of its own.
        linkSampleShow("korvo", dir.path());
    }
    RunResult play(const std::vector<std::string>& arguments, std::map<std::string, std::string> extra) {
        auto settings = headlessSettings(2);
        for (auto& [name, value] : extra) settings[name] = value;
        return run(binDir() + "/korvo", arguments, settings, dir.path());
    }
    TempDir dir;
};

std::string printed(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string printed(const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string channelsText(const std::vector<const lws::Envelope*>& channels) {
    std::string text;
    long number = 0;
    for (const lws::Envelope* envelope : channels) {
        text += printed("\t\tChannel %ld (keys: %ld)\n", number++, long(envelope->keys.size()));
        long j = 0;
        for (const lws::Key& k : envelope->keys)
            text += printed("\t\t\t%2ld. val:%f, time:%f, smooth:%ld (splines: %f %f %f %f %f)\n", j++, double(k.value),
                            double(k.time), long(k.shape), double(k.parameters[0]), double(k.parameters[1]),
                            double(k.parameters[2]), double(k.parameters[3]), double(k.parameters[4]));
    }
    return text;
}

std::vector<const lws::Envelope*> motionChannels(const lws::Motion& motion) {
    std::vector<const lws::Envelope*> channels;
    for (int i = 0; i < motion.channelCount; ++i) channels.push_back(&motion.channels[size_t(i)]);
    return channels;
}

template <size_t N>
void addEnvelopes(std::vector<const lws::Envelope*>& channels, const std::optional<lws::Animated<N>>& animated) {
    if (animated && animated->envelopes)
        for (const lws::Envelope& e : *animated->envelopes) channels.push_back(&e);
}

// The scene dump of a scene as the generator made it: its objects (and, in the viewer's own
// scene, the object it shows), cameras, and lights after the ambient light, each with the
// channels of its motion and envelopes in file order.
std::string expectedDump(const lws::Scene& scene, const std::string& viewedObject = "") {
    size_t objects = scene.objects.size() + (viewedObject.empty() ? 0 : 1);
    std::string text = printed("General Settings:\nGridSize: %f\nShowMotionPath: %ld\nFramesPerSecond: %ld\nobjects: %ld\n",
                               double(scene.gridSize.value_or(0.0f)), long(scene.showMotionPath.value_or(0)),
                               long(scene.framesPerSecond), long(objects));
    for (const lws::Object& o : scene.objects) {
        auto channels = motionChannels(o.motion);
        addEnvelopes(channels, o.dissolve);
        addEnvelopes(channels, o.morphAmount);
        text += "\tobject '" + o.file + "'\n" + channelsText(channels);
    }
    if (!viewedObject.empty()) text += "\tobject '" + viewedObject + "'\n";
    for (const lws::Camera& c : scene.cameras) text += "\tcamera '" + c.name + "'\n" + channelsText(motionChannels(c.motion));
    std::vector<const lws::Envelope*> ambient;
    addEnvelopes(ambient, scene.ambientIntensity);
    text += "\tlight 'Unnamed'\n" + channelsText(ambient);
    for (const lws::Light& l : scene.lights) {
        auto channels = motionChannels(l.motion);
        if (l.color.envelopes)
            for (const lws::Envelope& e : *l.color.envelopes) channels.push_back(&e);
        addEnvelopes(channels, l.intensity);
        text += "\tlight '" + l.name + "'\n" + channelsText(channels);
    }
    return text;
}

const lws::Scene& generated(const std::string& name) {
    static const content::korvo::Show show = content::korvo::makeShow();
    for (const auto& [file, scene] : show.scenes)
        if (file == name) return scene;
    throw std::runtime_error("no scene " + name);
}

TEST_F(KorvoShow, PlaysToItsQuitDrawingEverySectionAndEveryObject) {
    // Two frames a second: frame n shows n / 2 s. A frame 4.5 s into each section, and the
    // last frame drawn, after the title has gone.
    const int sections = 8, lastFrame = 123;
    std::string frames;
    for (int s = 0; s < sections; ++s) frames += std::to_string(9 + 16 * s) + ",";
    frames += std::to_string(lastFrame);
    RunResult r = play({"-x160", "-y120"}, {{"DEMO_CAPTURE", dir.file("frames")}, {"DEMO_CAPTURE_FRAMES", frames}});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");

    std::string log = readFile(dir.file("debug.log"));
    EXPECT_EQ(log.find("Cleanup:"), std::string::npos) << log;
    EXPECT_EQ(log.substr(log.size() - 17), "Debugging ended.\n");
    // Every object and every picture of the show is loaded by some scene.
    std::set<std::string> loaded, textures;
    std::regex object("\nobject ([^ ]+): vertices: [0-9]+ faces: [0-9]+\n"), texture("\nLoaded texture 'images/([^']+)'");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), object); it != std::sregex_iterator(); ++it) loaded.insert((*it)[1]);
    for (auto it = std::sregex_iterator(log.begin(), log.end(), texture); it != std::sregex_iterator(); ++it) textures.insert((*it)[1]);
    auto listed = [this](const std::string& folder) {
        std::vector<std::string> names = listDir(dir.file(folder));
        return std::set<std::string>(names.begin(), names.end());
    };
    EXPECT_EQ(loaded, listed("objects"));
    EXPECT_EQ(textures, listed("images"));

    // Each section draws far more than the stars that remain at the end.
    double stars = light(readPng(dir.file("frames/frame-000123.png")));
    for (int s = 0; s < sections; ++s) {
        std::string name = dir.file(printed("frames/frame-%06d.png", 9 + 16 * s));
        EXPECT_GT(light(readPng(name)), 4.0 * stars) << "section " << s + 1;
    }
}

TEST_F(KorvoShow, TheViewerDumpsItsScenesAsTheGeneratorWroteThem) {
    // The scene with a morph, its unseen target and dissolves, lights of two kinds with
    // colour and intensity envelopes, and a camera with a target.
    RunResult r = play({"-x160", "-y120", "chrome.lws"}, {{"DEMO_KEYS", "1:ESCAPE"}});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(readFile(dir.file("scenedump.txt")), expectedDump(generated("chrome.lws")));
    // A name that is no scene is an object, shown in the viewer's own scene.
    r = play({"-x160", "-y120", "lattice.lwo"}, {{"DEMO_KEYS", "1:ESCAPE"}});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(readFile(dir.file("scenedump.txt")), expectedDump(generated("debugobject.lws"), "lattice.lwo"));
}

}  // namespace
