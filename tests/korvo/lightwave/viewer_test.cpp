// The viewer on a record-only device: frozen-time keys, spin and zoom keys, the keys that act
// once while held, the statistics overlay's text (read from the call log) and the scene dump,
// byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "d3d7/calllog.h"
#include "gfx/gfxcore.h"
#include "lightwave/objectbuilder.h"
#include "lightwave/scene.h"
#include "lightwave/surface.h"
#include "lightwave/viewer.h"
#include "lightwave_test_support.h"
#include "lws_writer.h"


namespace {

namespace lwo = content::lwo;
namespace lws = content::lws;
using d3d7::calllog::lines;
using d3d7::calllog::linesStartingWith;
using lightwave_test::item;
using lightwave_test::square;

class ViewerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lightwave_test::openDevice(); }
    void SetUp() override {
        ViewerState = Viewer();
        lwo::Object o = square("Skin");
        o.setSurface(o.addTriangle(0, 1, 3), "Paint");
        o.addSurface("Paint");
        folder.write("square.lwo", o);
        d3d7::calllog::clear();
    }
    void TearDown() override {
        lightwave_test::deleteLiveScenes();
        ViewerState = Viewer();
        gfx.waitVRT = true;
    }

    // A live scene of the square (two surfaces), with a camera.
    Scene& live(lws::Scene s = {}) {
        if (s.objects.empty()) s.addObject("square.lwo");
        if (s.cameras.empty()) s.addCamera();
        lws::writeFile("scene.lws", s.text());
        auto* scene = new Scene("scene.lws");
        d3d7::calllog::clear();
        return *scene;
    }
    // A key pressed before this frame and held: its down message only.
    static void frames(unsigned char key, int count) {
        ViewerState.keyDown(key);
        for (int i = 0; i < count; ++i) ViewerState.frame();
    }
    // A key pressed and let go, as the window procedure sees it: down, then another message.
    static void press(unsigned char key) {
        ViewerState.keyDown(key);
        ViewerState.frame();
        ViewerState.resetKeys();
    }
    static std::vector<std::string> texts() {
        std::vector<std::string> out;
        for (const std::string& line : linesStartingWith("context->DrawDebugText(")) out.push_back(line.substr(23));
        return out;
    }

    lightwave_test::InFolder folder;
};

// ---- Keys ----------------------------------------------------------------------------------

TEST_F(ViewerTest, TimeKeysFreezeAndStepTheSceneTime) {
    live();
    EXPECT_EQ(ViewerState.sceneTime(7.5f), 7.5f) << "the clock runs until a time key";
    std::vector<float> seen;
    ViewerState.keyDown(VK_RIGHT);
    for (int i = 0; i < 3; ++i) {
        ViewerState.frame();
        seen.push_back(ViewerState.sceneTime(20.0f));
    }
    EXPECT_EQ(seen[0], 0.0f);
    EXPECT_FLOAT_EQ(seen[1], 0.005f);
    EXPECT_FLOAT_EQ(seen[2], 0.01f);
    EXPECT_EQ(ViewerState.lastClockTime, 7.5f);
    press(VK_DOWN);
    EXPECT_FLOAT_EQ(ViewerState.fixedTime, 1.01f);
    ViewerState.fixedTime = 0.3f;
    press(VK_UP);
    EXPECT_EQ(ViewerState.fixedTime, 0.0f);
    ViewerState.fixedTime = 0.003f;
    press(VK_LEFT);
    EXPECT_EQ(ViewerState.fixedTime, 0.0f);
}

TEST_F(ViewerTest, HeldKeysActOnceExceptTheSurfaceSwitches) {
    Scene& scene = live();
    SceneObject& object = *static_cast<SceneObject*>(scene.objects.first()->getData());
    Surface& paint = *static_cast<Surface*>(object.surfaces.at(2)->getData());

    frames(VK_TAB, 3);
    EXPECT_EQ(ViewerState.overlayMode, 1) << "held: once";
    ViewerState.resetKeys();
    press(VK_TAB);
    press(VK_TAB);
    EXPECT_EQ(ViewerState.overlayMode, 0) << "three presses come round";
    frames('G', 2);
    EXPECT_TRUE(ViewerState.gridOn);
    ViewerState.keyDown('V');   // an auto-repeated key down: previous and current alike
    ViewerState.frame();
    ViewerState.keyDown('V');
    ViewerState.frame();
    EXPECT_FALSE(gfx.waitVRT);

    press('2');
    EXPECT_FALSE(paint.visible);
    frames('2', 2);
    EXPECT_FALSE(paint.visible) << "toggled on every frame the key is down";
    ViewerState.resetKeys();
    press('3');   // the square has two surfaces
    press('S');
    press('T');
    EXPECT_EQ(linesStartingWith("SetRenderState(D3DRENDERSTATE_SPECULARENABLE, "),
              (std::vector<std::string>{"SetRenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE)",
                                        "SetRenderState(D3DRENDERSTATE_SPECULARENABLE, TRUE)"}));
}

TEST_F(ViewerTest, SpinKeysTurnTheViewedObjectAndZoomTheCamera) {
    Scene& scene = live();
    SceneObject& object = *static_cast<SceneObject*>(scene.objects.first()->getData());
    ViewerState.viewedObject = &object;
    frames(VK_LEFT, 3);   // speeds 0.001, 0.002, 0.003
    EXPECT_FLOAT_EQ(object.heading, 0.006f);
    ViewerState.resetKeys();
    press(VK_DOWN);
    EXPECT_FLOAT_EQ(object.pitch, -0.001f);
    press(VK_SPACE);
    float heading = object.heading;
    press(0);
    EXPECT_EQ(object.heading, heading) << "stopped";
    EXPECT_EQ(ViewerState.fixedTime, -0.005f) << "no time keys while an object is viewed";

    Camera& camera = *scene.currentCamera;
    EXPECT_EQ(camera.target, &object) << "aimed at the first object";
    press(VK_SUBTRACT);
    EXPECT_FLOAT_EQ(camera.position.z, -3.5f);
    EXPECT_EQ(linesStartingWith("SetTransform(D3DTRANSFORMSTATE_VIEW, ").size(), 7u) << "the view set every frame";
    press(VK_ADD);
    press(VK_ADD);
    press(VK_ADD);   // speeds 0, -0.5, -1: at 3.5, 3, 2; then 1, then no closer than 0.2
    for (int i = 0; i < 5; ++i) press(0);
    EXPECT_FLOAT_EQ(camera.position.z, -Viewer::closestZoom);
    EXPECT_EQ(camera.position.x, 0.0f);
}

TEST_F(ViewerTest, ASceneWithoutObjectsEndsTheViewersStep) {
    lws::Scene s;
    s.addCamera();
    lws::writeFile("empty.lws", s.text());
    new Scene("empty.lws");
    EXPECT_EXIT(ViewerState.frame(), ::testing::ExitedWithCode(20), "\\[Korvo error\\] no registered objects in scene");
}

// ---- The overlay ---------------------------------------------------------------------------

TEST_F(ViewerTest, ModeOnePrintsTheClockAndTheFrameRate) {
    live();
    gfx.currentTime = 125.678f;
    press(VK_TAB);
    std::vector<std::string> printed = texts();
    ASSERT_EQ(printed.size(), 2u);
    EXPECT_EQ(printed[0].rfind("0.82, 0.625, 0x00FFFFFF, \"FPS: ", 0), 0u) << printed[0];
    EXPECT_EQ(printed[1], "0.82, 0.3125, 0x00FFFFFF, \"02:05:67\")");
    ViewerState.fpsDisplay = false;
    d3d7::calllog::clear();
    press(0);
    EXPECT_EQ(texts().size(), 1u);
}

TEST_F(ViewerTest, ModeTwoDescribesTheObjectItsSurfacesAndTheDisplay) {
    lwo::Object o = square("Skin");
    o.setSurface(o.addTriangle(0, 1, 3), "Chrome");
    lwo::Surface& chrome = o.addSurface("Chrome");
    chrome.reflection = 0.5f;
    chrome.reflectionImage = 1;
    chrome.specular = 0.75f;
    chrome.glossiness = 0.5f;
    chrome.red = 0.25f;
    o.addClip(folder.image(0x8080FF, "sky"));
    folder.write("shiny.lwo", o);
    lws::Scene s;
    s.addObject("shiny.lwo");
    live(s);
    press('1');   // the first surface off
    press(VK_TAB);
    d3d7::calllog::clear();
    press(VK_TAB);
    std::vector<std::string> printed = texts();
    std::vector<std::string> expected = {
        "0.02, 0.3125, 0x00FFFFFF, \"object shiny.lwo; points: 4, pols: 3, surfaces: 2\")",
        "0.02, 2.5, 0x00008888, \"surface 'Skin', unique points:4, shared: 6\")",
        "0.02, 2.8125, 0x00008888, \"material 'color', color (r0.80 g0.80 b0.80)\")",
        "0.02, 3.125, 0x00008888, \"(optimized vertexbuffer)\")",
        "0.02, 4.0625, 0x00FFFFFF, \"surface 'Chrome', unique points:3, shared: 3\")",
        "0.02, 4.375, 0x00FFFFFF, \"material 'color', color (r0.25 g0.80 b0.80)\")",
        "0.02, 5, 0x00FFFFFF, \"specular: 0.75, power: 7.00\")",
        "0.02, 1.25, 0x00FFFFFF, \"view: 64x48x-1\")",
        "0.02, 0.625, 0x00FFFFFF, \"WaitVRT: TRUE\")",
    };
    ASSERT_EQ(printed.size(), expected.size() + 3) << "the frame rate, the clock, and the reflection line";
    std::vector<std::string> object(printed.begin() + 2, printed.end());
    ASSERT_EQ(object[6].rfind("0.02, 4.6875, 0x00FFFFFF, \"envmap '", 0), 0u) << object[6];
    EXPECT_NE(object[6].find(".bmp', reflects 50%\")"), std::string::npos) << object[6];
    object.erase(object.begin() + 6);
    EXPECT_EQ(object, expected);
}

// ---- The scene dump ------------------------------------------------------------------------

TEST_F(ViewerTest, TheSceneDumpListsObjectsCamerasThenLightsWithEveryKey) {
    folder.write("other.lwo", square("Other"));
    lws::Scene s;
    s.framesPerSecond = 25;
    s.gridSize = 0.5f;
    lws::Object& first = s.addObject("square.lwo");
    first.motion.channelCount = 2;
    first.motion[0] = lws::Envelope{lws::tcb(1.5f, 0, 0.1f, 0.2f, 0.3f), lws::linear(-2, 1.25f)};
    first.motion[0].keys[0].parameters = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    first.motion[1] = lws::Envelope{};
    for (int k = 0; k < 11; ++k) first.motion[1].keys.push_back(lws::stepped(float(k), float(k)));
    s.addObject("other.lwo").motion.channelCount = 0;
    s.addCamera("Cam").motion.channelCount = 1;
    s.cameras[0].motion[0] = lws::Envelope{lws::hermite(-3, 0, 0, 0)};
    live(s);

    std::string keys;
    for (int k = 0; k < 11; ++k) {
        char line[200];
        std::snprintf(line, sizeof line,
                      "\t\t\t%2d. val:%d.000000, time:%d.000000, smooth:4 (splines: 0.000000 0.000000 0.000000 0.000000 "
                      "0.000000)\n",
                      k, k, k);
        keys += line;
    }
    EXPECT_EQ(testing_support::readFile("scenedump.txt"),
              "General Settings:\n"
              "GridSize: 0.500000\n"
              "ShowMotionPath: 0\n"
              "FramesPerSecond: 25\n"
              "objects: 2\n"
              "\tobject 'square.lwo'\n"
              "\t\tChannel 0 (keys: 2)\n"
              "\t\t\t 0. val:1.500000, time:0.000000, smooth:0 (splines: 0.100000 0.200000 0.300000 0.400000 0.500000)\n"
              "\t\t\t 1. val:-2.000000, time:1.250000, smooth:3 (splines: 0.000000 0.000000 0.000000 0.000000 0.000000)\n"
              "\t\tChannel 1 (keys: 11)\n" +
                  keys +
                  "\tobject 'other.lwo'\n"
                  "\tcamera 'Cam'\n"
                  "\t\tChannel 0 (keys: 1)\n"
                  "\t\t\t 0. val:-3.000000, time:0.000000, smooth:1 (splines: 0.000000 0.000000 0.000000 0.000000 0.000000)\n"
                  "\tlight 'Unnamed'\n");
}

TEST_F(ViewerTest, ADumpThatCannotBeWrittenEndsTheProgram) {
    Scene scene;
    EXPECT_EXIT(ViewerState.sceneDump(&scene, "no/such/folder/scenedump.txt"), ::testing::ExitedWithCode(20),
                "\\[Korvo error\\] unable to open scene output file");
}

}  // namespace
