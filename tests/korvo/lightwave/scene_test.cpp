// Scenes on a record-only device: creating one from a name, what update sets on the device
// (view, ambient colour, lights) and does to objects (dissolve, world matrix, morph, reflection
// coordinates), and the calls that draw surfaces and particles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "d3d7/calllog.h"
#include "gfx/gfxcore.h"
#include "lightwave/LWSLoader.h"
#include "lightwave/channel.h"
#include "lightwave/material.h"
#include "lightwave/objectbuilder.h"
#include "lightwave/scene.h"
#include "lightwave/surface.h"
#include "lightwave/viewer.h"
#include "lightwave_test_support.h"
#include "lws_writer.h"

extern List sceneList;

namespace {

namespace lwo = content::lwo;
namespace lws = content::lws;
using d3d7::calllog::lines;
using d3d7::calllog::linesStartingWith;
using lightwave_test::item;
using lightwave_test::square;
using lightwave_test::vertices;

constexpr float pi = 3.14159265f;

// p x M for a point (w = 1), or a direction (w = 0).
D3DVECTOR transform(const D3DMATRIX& m, float x, float y, float z, float w = 1.0f) {
    return {x * m._11 + y * m._21 + z * m._31 + w * m._41, x * m._12 + y * m._22 + z * m._32 + w * m._42,
            x * m._13 + y * m._23 + z * m._33 + w * m._43};
}

::testing::AssertionResult near(const D3DVECTOR& got, float x, float y, float z) {
    if (std::fabs(got.x - x) < 1e-4f && std::fabs(got.y - y) < 1e-4f && std::fabs(got.z - z) < 1e-4f)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << got.x << ", " << got.y << ", " << got.z << "), expected (" << x
                                         << ", " << y << ", " << z << ")";
}

class SceneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lightwave_test::openDevice(); }
    void SetUp() override {
        folder.write("square.lwo", square());
        d3d7::calllog::clear();
    }
    void TearDown() override {
        lightwave_test::deleteLiveScenes();
        ViewerState = Viewer();
    }

    std::unique_ptr<Scene> read(const lws::Scene& s) {
        lws::writeFile("scene.lws", s.text());
        auto scene = std::make_unique<Scene>();
        EXPECT_TRUE(readScene("scene.lws", scene.get()));
        d3d7::calllog::clear();
        return scene;
    }
    static D3DMATRIX transformOf(D3DTRANSFORMSTATETYPE which) {
        D3DMATRIX m;
        gfx.device->GetTransform(which, &m);
        return m;
    }
    static D3DLIGHT7 lightOf(const Light& light) {
        D3DLIGHT7 record{};
        gfx.device->GetLight(light.index, &record);
        return record;
    }
    // Draws the scene between BeginScene and EndScene, and gives back the calls of the scene.
    static std::vector<std::string> drawCalls(Scene& scene) {
        gfx.device->BeginScene();
        d3d7::calllog::clear();
        scene.draw();
        std::vector<std::string> calls = lines();
        gfx.device->EndScene();
        return calls;
    }
    static size_t count(const std::vector<std::string>& lines, const std::string& part) {
        return size_t(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
    }

    lightwave_test::InFolder folder;
};

// ---- Creating a scene from a name ----------------------------------------------------------

TEST_F(SceneTest, ASceneIsFoundAsNamedOrUnderScenesAndGoesLive) {
    std::filesystem::create_directory("scenes");
    lws::Scene s;
    s.gridSize = 2.0f;
    s.addObject("square.lwo");
    lws::writeFile("scenes/intro.lws", s.text());
    auto* scene = new Scene("intro.lws");
    ASSERT_NE(sceneList.find("intro.lws"), nullptr);
    EXPECT_EQ(sceneList.find("intro.lws")->getData(), scene);
    EXPECT_EQ(scene->objects.getCount(), 1);
    EXPECT_NE(scene->grid, nullptr);
    EXPECT_EQ(scene->grid->vertexCount, 200);
    EXPECT_NE(testing_support::readFile("scenedump.txt").find("\tobject 'square.lwo'\n"), std::string::npos);
    EXPECT_EQ(ViewerState.viewedObject, nullptr);
}

TEST_F(SceneTest, ANameThatIsNoSceneIsShownAsAnObjectInTheDebugScene) {
    std::filesystem::create_directory("scenes");
    lws::Scene debug;
    debug.addLight("Key");
    debug.addCamera("Camera");
    lws::writeFile("scenes/debugobject.lws", debug.text());
    auto* scene = new Scene("square.lwo");
    ASSERT_EQ(scene->objects.getCount(), 1);
    EXPECT_EQ(ViewerState.viewedObject, &item<SceneObject>(scene->objects, 1));
    EXPECT_EQ(ViewerState.viewedObject->scene, scene);
    EXPECT_EQ(scene->lights.getCount(), 2);
    EXPECT_NE(testing_support::readFile("scenedump.txt").find("objects: 1\n\tobject 'square.lwo'\n"), std::string::npos);

    // Without the debug scene: the object all the same, no dump, a word in the log.
    std::filesystem::remove("scenes/debugobject.lws");
    std::filesystem::remove("scenedump.txt");
    auto* bare = new Scene("square.lwo");
    EXPECT_EQ(bare->objects.getCount(), 1);
    EXPECT_EQ(bare->lights.getCount(), 0);
    EXPECT_FALSE(testing_support::fileExists("scenedump.txt"));
    EXPECT_NE(folder.log().find("no scene 'square.lwo' and no scenes/debugobject.lws"), std::string::npos);
    bare->update(0.0f);   // seen through the default camera, no ambient colour set
    EXPECT_TRUE(near(transform(transformOf(D3DTRANSFORMSTATE_VIEW), 0, 0, -3), 0, 0, 0));
    EXPECT_EQ(count(lines(), "D3DRENDERSTATE_AMBIENT"), 0u);
}

// ---- The camera ----------------------------------------------------------------------------

TEST_F(SceneTest, ACameraWithoutATargetLooksAlongItsHeadingAndPitch) {
    lws::Scene s;
    s.addCamera().motion.setPosition(1, 2, 3);
    s.cameras[0].motion.setRotation(0.3f, 0.2f, 0.0f);
    auto scene = read(s);
    scene->update(0.0f);
    D3DMATRIX view = transformOf(D3DTRANSFORMSTATE_VIEW);
    EXPECT_TRUE(near(transform(view, 1, 2, 3), 0, 0, 0)) << "the camera at the origin";
    float h = 0.3f, p = 0.2f;
    EXPECT_TRUE(near(transform(view, std::sin(h) * std::cos(p), -std::sin(p), std::cos(h) * std::cos(p), 0), 0, 0, 1))
        << "its heading and pitch along +z";

    lws::Scene banked;
    banked.addCamera().motion.setRotation(0.0f, 0.0f, 0.4f);
    read(banked)->update(0.0f);
    EXPECT_TRUE(near(transform(transformOf(D3DTRANSFORMSTATE_VIEW), 0, 1, 0, 0), std::sin(0.4f), std::cos(0.4f), 0));
}

TEST_F(SceneTest, ACameraWithATargetLooksAtItUnlessItStandsOnIt) {
    lws::Scene s;
    s.addObject("square.lwo").motion.setPosition(1, 0, 2);
    s.addCamera().targetFirstObject = true;
    auto scene = read(s);
    scene->update(0.0f);
    D3DVECTOR target = transform(transformOf(D3DTRANSFORMSTATE_VIEW), 1, 0, 2);
    EXPECT_TRUE(near(target, 0, 0, std::sqrt(1.0f + 25.0f)));

    lws::Scene onTarget = s;
    onTarget.cameras[0].motion.setPosition(1, 0, 2);
    read(onTarget)->update(0.0f);
    EXPECT_EQ(count(lines(), "D3DTRANSFORMSTATE_VIEW"), 0u) << "no view from a camera on its target";
}

// ---- The ambient colour and the lights ------------------------------------------------------

TEST_F(SceneTest, TheAmbientLightGivesTheAmbientColourClampedToFull) {
    auto ambientOf = [this](float r, float g, float b, float intensity) {
        lws::Scene s;
        s.ambientColor = {{r, g, b}};
        s.ambientIntensity = lws::Animated<1>{{intensity}, std::nullopt};
        read(s)->update(0.0f);
        std::vector<std::string> set = linesStartingWith("SetRenderState(D3DRENDERSTATE_AMBIENT, ");
        return set.empty() ? std::string("none") : set.back().substr(set.back().find(", ") + 2);
    };
    EXPECT_EQ(ambientOf(0.6f, 0.6f, 0.6f, 2.0f), "0x00FFFFFF)");
    EXPECT_EQ(ambientOf(0.5f, 0.25f, 1.0f, 0.5f), "0x003F1F7F)");
    EXPECT_EQ(ambientOf(0.5f, -0.5f, 1.0f, -1.0f), "0x00000000)");
    EXPECT_EQ(ambientOf(-0.5f, 0.0f, 1.0f, 1.0f), "0x000000FF)") << "a negative component stays out of the others";
}

TEST_F(SceneTest, LightsAreSetWithTheirIntensityNegatedPositionAndTurnedDirection) {
    lws::Scene s;
    lws::Light& spot = s.addLight("Spot", lws::LightType::Spot);
    spot.motion.setPosition(1, 2, 3);
    spot.motion.setRotation(pi / 2, 0, 0);
    spot.color.value = {1.0f, 0.5f, 0.25f};
    spot.intensity = lws::Animated<1>{{0.5f}, std::nullopt};
    spot.coneAngle = 0.3f;
    spot.edgeAngle = 0.2f;
    spot.falloff = 7.0f;
    auto scene = read(s);
    Light& light = item<Light>(scene->lights, 2);
    light.light.dcvAmbient = {0.2f, 0.4f, 0.6f, 0.0f};
    scene->update(0.0f);

    EXPECT_EQ(count(lines(), "SetLight(" + std::to_string(item<Light>(scene->lights, 1).index) + ","), 0u)
        << "the ambient light is never set";
    std::vector<std::string> calls = lines();
    auto set = std::find_if(calls.begin(), calls.end(), [&](const std::string& l) { return l.rfind("SetLight(", 0) == 0; });
    ASSERT_NE(set, calls.end());
    EXPECT_EQ(*(set + 1), "LightEnable(" + std::to_string(light.index) + ", TRUE)");

    D3DLIGHT7 got = lightOf(light);
    EXPECT_EQ(got.dltType, D3DLIGHT_SPOT);
    EXPECT_EQ(got.dcvDiffuse.g, 0.25f) << "times the intensity";
    EXPECT_EQ(got.dcvAmbient.b, 0.3f) << "times the intensity";
    EXPECT_EQ(got.dcvSpecular.g, 0.5f) << "as it is";
    EXPECT_TRUE(near(got.dvPosition, -1, -2, -3));
    EXPECT_TRUE(near(got.dvDirection, -1, 0, 0)) << "heading a quarter turn: the rotated z axis, negated";
    EXPECT_EQ(got.dvFalloff, 1.0f);
    EXPECT_FLOAT_EQ(got.dvPhi, 0.5f) << "the edge added to the cone";
    EXPECT_FLOAT_EQ(got.dvTheta, 0.3f);
    EXPECT_TRUE(near(light.light.dvPosition, 1, 2, 3)) << "the animated values stay";
    EXPECT_FLOAT_EQ(light.light.dvPhi, 0.2f);

    // Aimed at its target whatever its heading: mirrored like the lights' position, the device
    // direction runs from the target to the light.
    lws::Scene aimed;
    aimed.addObject("square.lwo").motion.setPosition(3, 0, 0);
    aimed.addLight("Aimed").targetFirstObject = true;
    aimed.lights[0].motion.setPosition(0, 0, -4);
    aimed.lights[0].motion.setRotation(1, 1, 1);
    auto withTarget = read(aimed);
    withTarget->update(0.0f);
    EXPECT_TRUE(near(lightOf(item<Light>(withTarget->lights, 2)).dvDirection, -0.6f, 0, -0.8f));
}

TEST_F(SceneTest, LightIndicesGoOnCountingOverEveryScene) {
    lws::Scene s;
    s.addLight("One");
    s.addLight("Two");
    auto first = read(s);
    auto second = read(s);
    EXPECT_EQ(item<Light>(second->lights, 1).index, item<Light>(first->lights, 3).index + 1);
    EXPECT_EQ(lastLightIndex(), long(item<Light>(second->lights, 3).index));
}

TEST_F(SceneTest, SwitchingAllLightsOffReachesEveryIndexHandedOut) {
    Scene scene;
    while (lastLightIndex() < 120) scene.addLight(new Light());
    d3d7::calllog::clear();
    scene.disableAllLights();
    std::vector<std::string> calls = lines();
    ASSERT_EQ(calls.size(), size_t(lastLightIndex() + 1));
    EXPECT_EQ(calls.front(), "LightEnable(0, FALSE)");
    EXPECT_EQ(calls.back(), "LightEnable(" + std::to_string(lastLightIndex()) + ", FALSE)");
}

TEST_F(SceneTest, ALightTheDeviceRefusesIsReportedOnceAndTriedAgainAfterTheNextSwitchOff) {
    lws::Scene s;
    for (int i = 0; i < 40; ++i) s.addLight("Lamp" + std::to_string(i));
    auto scene = read(s);
    scene->disableAllLights();   // whatever earlier tests left on
    for (int frame = 0; frame < 3; ++frame) scene->update(0.0f);
    std::string log = folder.log();
    size_t reports = 0;
    for (size_t at = log.find("is not switched on"); at != std::string::npos; at = log.find("is not switched on", at + 1))
        ++reports;
    EXPECT_EQ(reports, 8u) << "32 lights at once, each refusal once";
    EXPECT_EQ(count(lines(), "= D3DERR_LIGHT_SET_FAILED"), 8u);
    scene->disableAllLights();
    d3d7::calllog::clear();
    scene->update(0.0f);
    EXPECT_EQ(count(lines(), "LightEnable("), 40u) << "all tried again";
    scene->disableAllLights();
}

// ---- Objects -------------------------------------------------------------------------------

TEST_F(SceneTest, AnObjectDissolvedToExactlyOneIsHiddenUntilItsDissolveChanges) {
    lws::Scene s;
    lws::Object& o = s.addObject("square.lwo");
    o.dissolve = lws::Animated<1>{{}, std::array<lws::Envelope, 1>{lws::Envelope{lws::linear(0, 0), lws::linear(1, 1)}}};
    s.addObject("square.lwo").unseenByCamera = true;
    auto scene = read(s);
    SceneObject& fading = item<SceneObject>(scene->objects, 1);
    SceneObject& unseen = item<SceneObject>(scene->objects, 2);
    Surface& surface = item<Surface>(fading.surfaces, 1);
    ASSERT_TRUE(unseen.hidden);

    scene->update(0.25f);
    EXPECT_FALSE(unseen.hidden) << "a dissolve other than 1 shows an unseen object";
    EXPECT_FLOAT_EQ(surface.material->combinedTransparency, 0.25f);
    scene->update(0.999f);
    EXPECT_FALSE(fading.hidden);
    scene->update(1.0f);
    EXPECT_TRUE(fading.hidden);
    EXPECT_FALSE(surface.visible);
    EXPECT_EQ(count(drawCalls(*scene), "DrawIndexedPrimitiveVB"), 1u) << "only the other object";
    scene->update(0.5f);
    EXPECT_FALSE(fading.hidden);
    EXPECT_TRUE(surface.visible);
}

TEST_F(SceneTest, TheWorldMatrixScalesThenTurnsThenMoves) {
    lws::Scene s;
    lws::Object& o = s.addObject("square.lwo");
    o.motion.setScale(2.0f);
    o.motion.setRotation(pi / 2, 0, 0);
    o.motion.setPosition(1, 2, 3);
    lws::Object& pitched = s.addObject("square.lwo");
    pitched.motion.setRotation(0, 0.5f, 0);
    lws::Object& banked = s.addObject("square.lwo");
    banked.motion.setRotation(pi / 2, 0, pi / 2);
    auto scene = read(s);
    scene->update(0.0f);
    EXPECT_TRUE(near(transform(item<SceneObject>(scene->objects, 1).world, 1, 0, 0), 1, 2, 1));
    EXPECT_TRUE(near(transform(item<SceneObject>(scene->objects, 2).world, 0, 0, 1), 0, -std::sin(0.5f), std::cos(0.5f)));
    // Bank first, then heading: x goes to y, then stays.
    EXPECT_TRUE(near(transform(item<SceneObject>(scene->objects, 3).world, 1, 0, 0), 0, 1, 0));
}

TEST_F(SceneTest, AMorphingObjectBlendsTowardsTheObjectItNames) {
    folder.write("moved.lwo", square("Skin", 2.0f, 4.0f));
    lws::Scene s;
    s.addObject("moved.lwo");
    lws::Object& o = s.addObject("square.lwo");
    o.morphTarget = 1;
    o.morphAmount = lws::Animated<1>{{}, std::array<lws::Envelope, 1>{lws::Envelope{lws::linear(0, 0), lws::linear(1, 1)}}};
    auto scene = read(s);
    scene->update(0.5f);
    std::vector<LWPoint> points = vertices(item<Surface>(item<SceneObject>(scene->objects, 2).surfaces, 1));
    EXPECT_EQ(points[0].x, 1.0f);
    EXPECT_EQ(points[0].y, 2.0f);

    folder.write("two.lwo", [] {
        lwo::Object two = square("A");
        two.setSurface(two.addTriangle(1, 2, 3), "B");
        two.addSurface("B");
        return two;
    }());
    lws::Scene fewer;
    fewer.addObject("square.lwo");
    fewer.addObject("two.lwo").morphTarget = 1;
    auto mismatched = read(fewer);
    EXPECT_EXIT(mismatched->update(0.0f), ::testing::ExitedWithCode(20),
                "Tried to morph surfaces with different amount of points");
}

TEST_F(SceneTest, ReflectionCoordinatesFollowTheNormalsThroughWorldAndView) {
    lwo::Object o = square("Chrome");
    o.addClip(folder.image(0x8080FF, "sky"));
    o.surface(0).reflection = 0.5f;
    o.surface(0).reflectionImage = 1;
    folder.write("chrome.lwo", o);
    lws::Scene s;
    s.addObject("chrome.lwo");
    s.addCamera().motion.setPosition(0, 0, 0);   // the view is the identity
    auto scene = read(s);
    // The world transform last set (in a frame, the last object drawn): a quarter turn.
    D3DMATRIX world;
    setRotationY(world, pi / 2);
    gfx.device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    scene->update(0.0f);
    for (const LWPoint& p : vertices(item<Surface>(item<SceneObject>(scene->objects, 1).surfaces, 1))) {
        EXPECT_NEAR(std::fabs(p.nz), 1.0f, 1e-5f);
        EXPECT_NEAR(p.u, p.nz < 0 ? 1.0f : 0.0f, 1e-5f) << "the turned normal, left or right";
        EXPECT_NEAR(p.v, 0.5f, 1e-5f);
    }
}

// ---- Drawing -------------------------------------------------------------------------------

TEST_F(SceneTest, SurfacesAreDrawnWithTheirStateBlockCullingAndDepthWrites) {
    lwo::Object o = square("Opaque");
    auto addSurface = [&o](const std::string& name, bool twoSided, bool transparent) {
        uint32_t base = uint32_t(o.pointCount());
        for (int i = 0; i < 4; ++i) o.addPoint(float(i), 0, 1);
        o.setSurface(o.addTriangle(base, base + 1, base + 2), name);
        lwo::Surface& s = o.addSurface(name);
        s.sidedness = twoSided ? 3 : 1;
        s.transparency = transparent ? 0.5f : 0.0f;
    };
    addSurface("Glass", false, true);
    addSurface("Leaf", true, false);
    addSurface("Bubble", true, true);
    addSurface("Off", false, false);
    folder.write("pieces.lwo", o);
    lws::Scene s;
    s.addObject("pieces.lwo");
    s.addObject("square.lwo").dissolve = lws::Animated<1>{{1.0f}, std::nullopt};
    auto scene = read(s);
    SceneObject& pieces = item<SceneObject>(scene->objects, 1);
    item<Surface>(pieces.surfaces, 5).visible = false;
    scene->update(0.0f);
    std::vector<std::string> calls = drawCalls(*scene);

    auto block = [&](int position) { return "ApplyStateBlock(block#" + std::to_string(item<Surface>(pieces.surfaces, position).stateBlock) + ")"; };
    std::vector<std::string> kinds;
    for (const std::string& line : calls) {
        if (line.rfind("DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb#", 0) == 0)
            kinds.push_back("draw");
        else
            kinds.push_back(line);
    }
    std::vector<std::string> expected = {
        "SetTransform(D3DTRANSFORMSTATE_WORLD, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1})",
        block(1), "draw", "SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW)",
        block(2), "SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, FALSE)", "draw",
        "SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW)", "SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, TRUE)",
        block(3), "SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE)", "draw",
        "SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW)",
        block(4), "SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, FALSE)", "SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CW)",
        "draw", "SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW)", "draw",
        "SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW)", "SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, TRUE)",
    };
    EXPECT_EQ(kinds, expected);
    const Surface& first = item<Surface>(pieces.surfaces, 1);
    EXPECT_NE(calls[2].find(", 0, " + std::to_string(first.vertexCount) + ", indices, 6, 0)"), std::string::npos) << calls[2];

}

TEST_F(SceneTest, TheGridIsDrawnFirstWhileTheViewerShowsIt) {
    lws::Scene s;
    s.gridSize = 10.0f;
    s.addObject("square.lwo");
    lws::writeFile("grid.lws", s.text());
    auto* scene = new Scene("grid.lws");
    scene->update(0.0f);
    EXPECT_EQ(count(drawCalls(*scene), "D3DPT_LINELIST"), 0u);
    ViewerState.gridOn = true;
    std::vector<std::string> calls = drawCalls(*scene);
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[3].rfind("DrawPrimitiveVB(D3DPT_LINELIST, vb#", 0), 0u) << calls[3];
    EXPECT_NE(calls[3].find(", 0, 40, 0)"), std::string::npos) << "ten steps of four vertices";
}

TEST_F(SceneTest, ABaseTextureWithAReflectionSwitchesTheSecondStageOffAfterItsDraw) {
    lwo::Object o = square("Chrome");
    o.addClip(folder.image(0xFFFFFF, "paint"));
    o.addClip(folder.image(0x0000FF, "sky"));
    lwo::TextureBlock block;
    block.image = 1;
    o.surface(0).blocks.push_back(block);
    o.surface(0).reflection = 0.5f;
    o.surface(0).reflectionImage = 2;
    folder.write("chrome.lwo", o);
    lws::Scene s;
    s.addObject("chrome.lwo");
    s.addObject("square.lwo");
    auto scene = read(s);
    scene->update(0.0f);
    std::vector<std::string> calls = drawCalls(*scene);
    auto off = std::find(calls.begin(), calls.end(), "SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE)");
    ASSERT_NE(off, calls.end());
    EXPECT_EQ(*(off - 1), "SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW)") << "after the surface";
    EXPECT_EQ(count(calls, "D3DTOP_DISABLE"), 1u) << "not after the plain surface";
}

TEST_F(SceneTest, ParticlesAreSpritesSizedByDepthAndThePreviousStateComesBack) {
    lwo::Object dots;
    dots.addPoint(0, 0, 0);       // 3 in front of the default camera
    dots.addPoint(0.5f, 0, 0);
    dots.addPoint(0, 0, -2.7f);   // 0.3 in front: too close
    dots.setSurface(dots.addTriangle(0, 1, 2), "shadebob");
    dots.addClip(folder.image(0xFFFFFF, "bob"));
    dots.addSurface("shadebob").blocks.push_back(lwo::TextureBlock{});
    dots.surface(0).blocks[0].image = 1;
    folder.write("dots.lwo", dots);
    lws::Scene s;
    s.addObject("dots.lwo").dissolve = lws::Animated<1>{{0.25f}, std::nullopt};
    auto scene = read(s);
    scene->update(0.0f);
    std::vector<std::string> calls = drawCalls(*scene), second = drawCalls(*scene);
    calls.insert(calls.end(), second.begin(), second.end());
    std::vector<std::string> sprites;
    for (const std::string& line : calls)
        if (line.rfind("D3DXDrawSpriteSimple(", 0) == 0) sprites.push_back(line);
    ASSERT_EQ(sprites.size(), 4u) << "two sprites a frame: the third point is too close";
    // Depth of a point 3 in front: q (1 - 0.18 / 3) with q = 2000 / (2000 - 0.18).
    float q = 2000.0f / (2000.0f - 0.18f), z = q * (1.0f - 0.18f / 3.0f);
    char scale[64];
    std::snprintf(scale, sizeof scale, "%.7g", -3.0f / z * 0.1f);
    EXPECT_NE(sprites[0].find(", 0.25, " + std::string(scale).substr(0, 7)), std::string::npos) << sprites[0] << " " << scale;
    EXPECT_NE(sprites[0].find(", 0, NULL, NULL)"), std::string::npos) << sprites[0];

    auto at = [&](const std::string& start, size_t from = 0) {
        for (size_t i = from; i < calls.size(); ++i)
            if (calls[i].rfind(start, 0) == 0) return i;
        return calls.size();
    };
    size_t created = at("CreateStateBlock(D3DSBT_ALL)"), prepared = at("D3DXPrepareDeviceForSprite(device, FALSE)");
    ASSERT_LT(created, prepared);
    EXPECT_EQ(calls[prepared + 1], "SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE)");
    EXPECT_EQ(calls[prepared + 2], "SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_INVSRCALPHA)");
    EXPECT_EQ(calls[prepared + 3], "SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE)");
    size_t depth = at("SetRenderState(D3DRENDERSTATE_ZENABLE, D3DZB_TRUE)", prepared);
    ASSERT_LT(depth, calls.size());
    std::string handle = calls[created].substr(calls[created].find("block#"));
    EXPECT_EQ(calls[depth + 1], "ApplyStateBlock(" + handle + ")");
    EXPECT_LT(at("CaptureStateBlock(" + handle + ")", depth), calls.size()) << "the second frame captures again";
}

}  // namespace
