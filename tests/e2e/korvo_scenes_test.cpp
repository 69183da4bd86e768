// korvo playing LightWave scenes as a user runs it: headless with the fixed clock, in a folder
// of objects and scenes written by our writers; frames captured and looked at, the log, the
// scene dump and the Direct3D trace read back.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "lwo_writer.h"
#include "lws_writer.h"
#include "support.h"

namespace {

using namespace testing_support;
namespace lwo = content::lwo;
namespace lws = content::lws;

// A cube of side 2 around its origin, of one colour, with a face to each side.
lwo::Object cube(const std::string& surface, float r, float g, float b) {
    lwo::Object o;
    const float corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}};
    for (const auto& c : corners) o.addPoint(c[0], c[1], c[2]);
    const uint32_t faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    for (const auto& f : faces) {
        o.setSurface(o.addTriangle(f[0], f[1], f[2]), surface);
        o.setSurface(o.addTriangle(f[0], f[2], f[3]), surface);
    }
    lwo::Surface& s = o.addSurface(surface);
    s.red = r;
    s.green = g;
    s.blue = b;
    s.smoothingAngle = 0.0f;
    return o;
}

struct Pixel {
    int r, g, b;
};

class KorvoScenes : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir.file("objects"));
        std::filesystem::create_directories(dir.file("scenes"));
        lwo::writeFile(dir.file("objects/red.lwo"), lwo::assemble(cube("Red", 1, 0, 0)));
        lwo::writeFile(dir.file("objects/blue.lwo"), lwo::assemble(cube("Blue", 0, 0, 1)));
        lwo::writeFile(dir.file("objects/white.lwo"), lwo::assemble(cube("White", 1, 1, 1)));
        // The viewer's scene for a bare object: a camera 6 in front, a light over its shoulder.
        lws::Scene debug;
        debug.addLight("Key", lws::LightType::Directional).motion.setRotation(0.3f, 0.4f, 0.0f);
        debug.addCamera().motion.setPosition(0, 0, -6);
        write("scenes/debugobject.lws", debug);
    }

    void write(const std::string& name, const lws::Scene& scene) { lws::writeFile(dir.file(name), scene.text()); }

    // A scene of one object, seen from 6 in front and lit from there; the object moves from
    // x = -2 to x = 2 in the first second when `moving`.
    lws::Scene oneObject(const std::string& object, bool moving = false) {
        lws::Scene s;
        lws::Object& o = s.addObject(object);
        if (moving) o.motion[0] = lws::Envelope{lws::linear(-2, 0), lws::linear(2, 1)};
        s.addLight("Front", lws::LightType::Directional);
        s.addCamera().motion.setPosition(0, 0, -6);
        return s;
    }

    RunResult play(const std::vector<std::string>& arguments, std::map<std::string, std::string> extra = {}) {
        auto settings = headlessSettings();
        for (auto& [name, value] : extra) settings[name] = value;
        return run(binDir() + "/korvo", arguments, settings, dir.path());
    }
    Image frame(int n) {
        char name[32];
        std::snprintf(name, sizeof name, "frames/frame-%06d.png", n);
        return readPng(dir.file(name));
    }
    static Pixel at(const Image& image, int x, int y) {
        const uint8_t* p = image.pixel(x, y);
        return {p[0], p[1], p[2]};
    }
    // How many pixels are mostly of one channel: 0 red, 1 green, 2 blue.
    static int count(const Image& image, int channel) {
        int n = 0;
        for (size_t i = 0; i < image.rgb.size(); i += 3) {
            int c = image.rgb[i + size_t(channel)], o1 = image.rgb[i + size_t((channel + 1) % 3)],
                o2 = image.rgb[i + size_t((channel + 2) % 3)];
            if (c > 128 && o1 < 64 && o2 < 64) ++n;
        }
        return n;
    }
    // The mean column of the red pixels, or -1.
    static int redColumn(const Image& image) {
        long sum = 0, n = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                Pixel p = at(image, x, y);
                if (p.r > 128 && p.g < 64 && p.b < 64) {
                    sum += x;
                    ++n;
                }
            }
        return n ? int(sum / n) : -1;
    }
    std::string log() { return readFile(dir.file("debug.log")); }

    TempDir dir;
};

TEST_F(KorvoScenes, AScriptPlaysASceneResetsTheTimerReplacesItAndQuits) {
    write("scenes/moving.lws", oneObject("red.lwo", true));
    write("scenes/still.lws", oneObject("blue.lwo"));
    writeFile(dir.file("demoflow.txt"),
              "KVXDEMO\n"
              "0 PlayScene moving.lws   the red cube crosses the screen in a second\n"
              "1.5 ResetTimer\n"
              "1.5 DelScene moving.lws\n"
              "1.5 PlayScene still.lws\n"
              "2 Quit\n");
    RunResult r = play({"-d0"}, {{"DEMO_CAPTURE", "frames"}, {"DEMO_CAPTURE_FRAMES", "4,10,20,35,40,55"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // A frame shows what was drawn in the one before it (at 30 frames a second).
    int x3 = redColumn(frame(4)), x9 = redColumn(frame(10)), x19 = redColumn(frame(20));
    ASSERT_GT(x3, 0);
    EXPECT_LT(x3, x9);
    EXPECT_LT(x9, x19);
    EXPECT_EQ(frame(35).rgb, frame(40).rgb) << "held at its last key";
    Image after = frame(55);
    EXPECT_EQ(count(after, 0), 0) << "the red scene is gone";
    EXPECT_GT(count(after, 2), 1000) << "the blue one is there";
    EXPECT_EQ(log().substr(log().size() - 17), "Debugging ended.\n");
    EXPECT_NE(readFile(dir.file("scenedump.txt")).find("\tobject 'blue.lwo'\n"), std::string::npos)
        << "the dump describes the scene created last";
}

TEST_F(KorvoScenes, TheViewerShowsAnObjectNameInTheDebugSceneAndDumpsIt) {
    RunResult r = play({"-d0", "white.lwo"}, {{"DEMO_KEYS", "6:ESCAPE"}, {"DEMO_CAPTURE", "frames"},
                                              {"DEMO_CAPTURE_FRAMES", "3"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Image image = frame(3);
    Pixel middle = at(image, image.width / 2, image.height / 2);
    EXPECT_GT(middle.r, 40) << "the white cube, lit by the debug scene's light";
    EXPECT_EQ(middle.r, middle.b);
    Pixel corner = at(image, 5, 5);
    EXPECT_EQ(corner.r + corner.g + corner.b, 0);
    std::string dump = readFile(dir.file("scenedump.txt"));
    EXPECT_EQ(dump.rfind("General Settings:\nGridSize: 0.000000\nShowMotionPath: 0\nFramesPerSecond: 30\nobjects: 1\n", 0),
              0u) << dump;
    EXPECT_NE(dump.find("\tobject 'white.lwo'\n\tcamera 'Camera'\n"), std::string::npos) << dump;
    EXPECT_NE(log().find("object white.lwo: vertices: 8 faces: 12\n"), std::string::npos);
}

TEST_F(KorvoScenes, TabTwiceShowsTheStatisticsOverTheScene) {
    write("scenes/one.lws", oneObject("red.lwo"));
    RunResult r = play({"-d0", "one.lws"}, {{"DEMO_KEYS", "2:TAB,5:TAB,12:ESCAPE"},
                                            {"DEMO_CAPTURE", "frames"},
                                            {"DEMO_CAPTURE_FRAMES", "1,9"},
                                            {"DEMO_D3D_TRACE", "trace.txt"},
                                            {"DEMO_D3D_TRACE_FRAMES", "8"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Top left: the object line in white; nothing there before.
    auto whiteIn = [](const Image& image) {
        int n = 0;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 300; ++x) {
                Pixel p = at(image, x, y);
                if (p.r > 200 && p.g > 200 && p.b > 200) ++n;
            }
        return n;
    };
    EXPECT_EQ(whiteIn(frame(1)), 0);
    EXPECT_GT(whiteIn(frame(9)), 100);
    std::string trace = readFile(dir.file("trace.txt"));
    EXPECT_NE(trace.find("context->DrawDebugText(0.02, 0.03125, 0x00FFFFFF, \"object red.lwo; points: 8, pols: 12, "
                         "surfaces: 1\")"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("\"FPS: 30.00\""), std::string::npos) << "one frame a thirtieth of a second";
    EXPECT_NE(trace.find("\"WaitVRT: TRUE\""), std::string::npos);
}

TEST_F(KorvoScenes, RightArrowFreezesTheScene) {
    write("scenes/moving.lws", oneObject("red.lwo", true));
    RunResult r = play({"-d0", "moving.lws"}, {{"DEMO_KEYS", "10:RIGHT,30:ESCAPE"},
                                               {"DEMO_CAPTURE", "frames"},
                                               {"DEMO_CAPTURE_FRAMES", "5,9,15,25"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_LT(redColumn(frame(5)), redColumn(frame(9))) << "moving with the clock";
    EXPECT_EQ(frame(15).rgb, frame(25).rgb) << "frozen";
    EXPECT_LT(redColumn(frame(15)), redColumn(frame(5))) << "at scene time 0, where it starts";
}

TEST_F(KorvoScenes, TenLitScenesPlayedAndDeletedInTurnLightTheTenth) {
    // Fifteen dim lights a scene, green in the first nine, red in the tenth; the cube is black
    // without them. Ten scenes take 160 light indices, more than the first hundred that
    // deleting a scene once switched off: lights of deleted scenes left on would light the
    // tenth scene green, and keep its own red lights from being switched on.
    auto lit = [this](const std::string& name, float r, float g) {
        lws::Scene s;
        s.ambientColor = {{0.0f, 0.0f, 0.0f}};
        s.addObject("white.lwo");
        for (int i = 0; i < 15; ++i) {
            lws::Light& light = s.addLight("Lamp" + std::to_string(i), lws::LightType::Directional);
            light.color.value = {r, g, 0.0f};
            light.intensity = lws::Animated<1>{{0.07f}, std::nullopt};
        }
        s.addCamera().motion.setPosition(0, 0, -6);
        write("scenes/" + name, s);
    };
    lit("green.lws", 0.0f, 1.0f);
    lit("red.lws", 1.0f, 0.0f);
    std::string script = "KVXDEMO\n0 PlayScene green.lws\n";
    for (int i = 1; i < 9; ++i) script += std::to_string(i) + "e-1 DelScene green.lws\n" + std::to_string(i) + "e-1 PlayScene green.lws\n";
    script += "0.9 DelScene green.lws\n0.9 PlayScene red.lws\n1.5 Quit\n";
    writeFile(dir.file("demoflow.txt"), script);
    RunResult r = play({"-d0"}, {{"DEMO_CAPTURE", "frames"}, {"DEMO_CAPTURE_FRAMES", "40"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err.find("LIGHT_SET_FAILED"), std::string::npos) << r.err;
    Image image = frame(40);
    Pixel middle = at(image, image.width / 2, image.height / 2);
    EXPECT_GT(middle.r, 150) << "the tenth scene's own lights";
    EXPECT_EQ(middle.g, 0) << "and no others";
}

TEST_F(KorvoScenes, ALightTheDeviceCannotSwitchOnIsReportedOnce) {
    lws::Scene crowded = oneObject("white.lwo");
    for (int i = 0; i < 33; ++i) crowded.addLight("Lamp" + std::to_string(i));
    write("scenes/crowded.lws", crowded);
    RunResult r = play({"-d0", "crowded.lws"}, {{"DEMO_KEYS", "20:ESCAPE"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto occurrences = [](const std::string& text, const std::string& part) {
        size_t n = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(occurrences(r.err, "D3DERR_LIGHT_SET_FAILED"), 2u) << r.err;
    EXPECT_EQ(occurrences(log(), "is not switched on: the device lights no more lights at once"), 2u);
    EXPECT_NE(log().find("light 34 ('Lamp32') is not switched on"), std::string::npos) << log();
}

TEST_F(KorvoScenes, ADamagedSceneEndsWithExitCodeTwentyThroughTheLog) {
    writeFile(dir.file("scenes/broken.lws"), "LWSC\n3\nLoadObjectLayer 1 red.lwo\nNumChannels 12\n");
    RunResult r = play({"-d0", "broken.lws"});
    EXPECT_EQ(r.exitCode, 20);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    std::string text = log();
    EXPECT_NE(text.find("LWSLoader.cpp:\nin scene file: NumChannels 12 for an item of 9 channels\nDebugging ended.\n"),
              std::string::npos)
        << text;

}

}  // namespace
