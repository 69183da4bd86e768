// The LightWave scene reader on scenes written by the LWS writer (and on real scenes of the
// shared test data), on a record-only device: the ambient light, properties, the keyword
// table, channels and keys, damaged files through the log with exit code 20, and the fatal
// errors.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "d3d7/calllog.h"
#include "gfx/gfxcore.h"
#include "lightwave/LWSLoader.h"
#include "lightwave/channel.h"
#include "lightwave/objectbuilder.h"
#include "lightwave/scene.h"
#include "lightwave/surface.h"
#include "lightwave_test_support.h"
#include "lws_writer.h"

namespace {

namespace lws = content::lws;
using d3d7::calllog::lines;
using lightwave_test::item;
using lightwave_test::square;

class LwsReader : public ::testing::Test {
protected:
    static void SetUpTestSuite() { lightwave_test::openDevice(); }
    void SetUp() override {
        d3d7::calllog::clear();
        folder.write("square.lwo", square());
        folder.write("other.lwo", square("Other", 1.0f));
    }

    // Writes the scene and reads it into a new (not live) Scene.
    std::unique_ptr<Scene> read(const std::string& text, const std::string& name = "scene.lws") {
        lws::writeFile(name, text);
        auto scene = std::make_unique<Scene>();
        EXPECT_TRUE(readScene(name.c_str(), scene.get()));
        return scene;
    }
    std::unique_ptr<Scene> read(const lws::Scene& scene) { return read(scene.text()); }

    // Reads the text from memory: what the reader makes of it, and the damage it found.
    static SceneFileResult readText(const std::string& text, Scene& scene, std::string* damage) {
        std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
        SceneFileResult result = readSceneFile(file, &scene, damage);
        std::fclose(file);
        return result;
    }
    static std::string damageOf(const std::string& text) {
        Scene scene;
        std::string damage;
        EXPECT_EQ(readText(text, scene, &damage), SceneFileResult::damaged) << text;
        return damage;
    }

    static void evaluate(Scene& scene, float t) {
        for (ListNode* node = scene.channels.first(); node; node = node->getNext())
            static_cast<Channel*>(node->getData())->evaluate(t);
    }

    lightwave_test::InFolder folder;
};

// ---- The ambient light and properties ------------------------------------------------------

TEST_F(LwsReader, TheAmbientLightComesFirstAndTakesTheKeywordsBeforeTheFirstLight) {
    lws::Scene s;
    s.ambientColor = {{0.6f, 0.5f, 0.4f}};
    s.ambientIntensity = lws::Animated<1>{{0.5f}, std::nullopt};
    lws::Light& key = s.addLight("Key");
    key.intensity = lws::Animated<1>{{0.75f}, std::nullopt};
    key.extraLines = {"AmbientIntensity 0.25"};   // after AddLight: that light's intensity
    auto scene = read(s);

    ASSERT_EQ(scene->lights.getCount(), 2);
    const Light& ambient = item<Light>(scene->lights, 1);
    EXPECT_EQ(ambient.name, "Unnamed");
    EXPECT_FALSE(ambient.enabled);
    EXPECT_EQ(ambient.light.dcvAmbient.r, 0.6f);
    EXPECT_EQ(ambient.light.dcvAmbient.b, 0.4f);
    EXPECT_EQ(ambient.intensity, 0.5f);
    EXPECT_EQ(lines().front(), "LightEnable(" + std::to_string(ambient.index) + ", FALSE)");

    const Light& light = item<Light>(scene->lights, 2);
    EXPECT_STREQ(scene->lights.at(2)->getName(), "Unnamed") << "listed under the name it had when added";
    EXPECT_EQ(light.name, "Key");
    EXPECT_TRUE(light.enabled);
    EXPECT_EQ(light.index, ambient.index + 1);
    EXPECT_EQ(light.intensity, 0.25f);

    auto empty = read("LWSC\n3\n");
    ASSERT_EQ(empty->lights.getCount(), 1);
    EXPECT_EQ(item<Light>(empty->lights, 1).light.dcvAmbient.g, 0.1f);
    EXPECT_EQ(item<Light>(empty->lights, 1).intensity, 1.0f) << "a light without intensity shines fully";
}

TEST_F(LwsReader, PropertiesTakeANumberOrAnEnvelopePerComponent) {
    lws::Scene s;
    s.addObject("square.lwo").dissolve = lws::Animated<1>{{0.5f}, std::nullopt};
    s.addObject("other.lwo").dissolve =
        lws::Animated<1>{{}, std::array<lws::Envelope, 1>{lws::Envelope{lws::linear(0, 0), lws::linear(1, 2)}}};
    lws::Light& light = s.addLight("Lamp");
    light.color.envelopes = {{lws::Envelope::constant(0.25f), lws::Envelope::constant(0.5f), lws::Envelope::constant(0.75f)}};
    lws::Light& plain = s.addLight("Plain");
    plain.color.value = {0.1f, 0.2f, 0.3f};
    auto scene = read(s);

    EXPECT_EQ(item<SceneObject>(scene->objects, 1).dissolve, 0.5f);
    SceneObject& fading = item<SceneObject>(scene->objects, 2);
    EXPECT_EQ(fading.channels.getCount(), 10);
    evaluate(*scene, 1.0f);
    EXPECT_EQ(fading.dissolve, 0.5f);

    Light& lamp = item<Light>(scene->lights, 2);
    ASSERT_EQ(lamp.channels.getCount(), 12) << "nine of the motion, then red, green and blue";
    EXPECT_STREQ(lamp.channels.at(10)->getName(), "0");
    EXPECT_STREQ(lamp.channels.at(12)->getName(), "2");
    EXPECT_EQ(lamp.light.dcvDiffuse.r, 0.25f);
    EXPECT_EQ(lamp.light.dcvDiffuse.b, 0.75f);
    const Light& numbers = item<Light>(scene->lights, 3);
    EXPECT_EQ(numbers.light.dcvDiffuse.g, 0.2f);
    EXPECT_EQ(numbers.light.dcvSpecular.b, 0.3f) << "the colour keyword sets diffuse and specular";
}

// ---- Keywords ------------------------------------------------------------------------------

TEST_F(LwsReader, ItemsAndSettingsOfTheKeywordTable) {
    lws::Scene s;
    s.framesPerSecond = 25;
    s.gridSize = 2.5f;
    s.showMotionPath = 1;
    s.addObject("square.lwo");
    lws::Object& morphing = s.addObject("other.lwo");
    morphing.morphTarget = 1;
    morphing.unseenByCamera = true;
    s.addLight("Sun", lws::LightType::Directional);
    s.addLight("Bulb", lws::LightType::Point);
    s.addLight("Spot", lws::LightType::Spot).targetFirstObject = true;
    s.addCamera("Wide");
    s.addCamera("Close").targetFirstObject = true;
    s.cameras.back().extraLines = {"TargetObject 3"};   // still the first object
    auto scene = read(s);

    EXPECT_EQ(scene->framesPerSecond, 25);
    EXPECT_EQ(scene->gridSize, 2.5f);
    EXPECT_EQ(scene->showMotionPath, 1);
    EXPECT_EQ(item<Light>(scene->lights, 2).light.dltType, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(item<Light>(scene->lights, 3).light.dltType, D3DLIGHT_POINT);
    EXPECT_EQ(item<Light>(scene->lights, 4).light.dltType, D3DLIGHT_SPOT);
    SceneObject& first = item<SceneObject>(scene->objects, 1);
    EXPECT_EQ(item<Light>(scene->lights, 4).target, &first);
    EXPECT_EQ(scene->cameras.getCount(), 2);
    EXPECT_EQ(scene->currentCamera, &item<Camera>(scene->cameras, 2)) << "the camera added last";
    EXPECT_EQ(scene->currentCamera->name, "Close");
    EXPECT_EQ(scene->currentCamera->target, &first);
    EXPECT_EQ(item<Camera>(scene->cameras, 1).target, nullptr);

    SceneObject& second = item<SceneObject>(scene->objects, 2);
    EXPECT_TRUE(second.morphEnabled);
    EXPECT_EQ(second.morphTarget, 1);
    EXPECT_NE(item<Surface>(second.surfaces, 1).backupVertexBuffer, nullptr);
    EXPECT_TRUE(second.hidden);
    EXPECT_FALSE(item<Surface>(second.surfaces, 1).visible);
    EXPECT_EQ(first.scene, scene.get());
}

TEST_F(LwsReader, KeywordsOfAnotherKindOfItemChangeNothing) {
    auto scene = read("LWSC\n3\nLoadObjectLayer 1 square.lwo\nLightColor 0 0 0\nAmbientColor 1 1 1\nLightName X\n"
                      "CameraName Y\nLightType 2\nAddCamera\nMorphTarget 1\nUnseenByCamera\n");
    const Light& ambient = item<Light>(scene->lights, 1);
    EXPECT_EQ(ambient.light.dcvAmbient.r, 0.1f);
    EXPECT_EQ(ambient.light.dcvDiffuse.r, 1.0f);
    EXPECT_EQ(ambient.name, "Unnamed");
    EXPECT_EQ(ambient.light.dltType, D3DLIGHT_POINT);
    EXPECT_EQ(scene->currentCamera->name, "Unnamed");
    EXPECT_FALSE(item<SceneObject>(scene->objects, 1).morphEnabled);
    EXPECT_FALSE(item<SceneObject>(scene->objects, 1).hidden);
}

TEST_F(LwsReader, ALineOfMoreThanSeventyNineCharactersLeavesItsTailAsWords) {
    std::string rest(78, 'x');   // with the blank before it: 79 characters after the keyword
    auto scene = read("LWSC\n3\nComment " + rest + " FramesPerSecond 12\nGridSize 3 " + rest + "\n");
    EXPECT_EQ(scene->framesPerSecond, 12);
    EXPECT_EQ(scene->gridSize, 3.0f);
}

// ---- Channels and keys ---------------------------------------------------------------------

TEST_F(LwsReader, ChannelsDriveTheirItemsFloatsInChannelOrder) {
    lws::Scene s;
    lws::Motion numbered;
    for (int i = 0; i < 9; ++i) numbered[size_t(i)] = lws::Envelope::constant(float(i + 1));
    s.addObject("square.lwo").motion = numbered;
    s.addLight("Lamp").motion = numbered;
    s.addCamera("Camera").motion = numbered;   // nine: the last three drive nothing
    auto scene = read(s);
    evaluate(*scene, 0.0f);

    const SceneObject& object = item<SceneObject>(scene->objects, 1);
    EXPECT_EQ(object.position.x, 1.0f);
    EXPECT_EQ(object.position.z, 3.0f);
    EXPECT_EQ(object.heading, 4.0f);
    EXPECT_EQ(object.pitch, 5.0f);
    EXPECT_EQ(object.bank, 6.0f);
    EXPECT_EQ(object.scale, 9.0f) << "one scale: the last of its three channels wins";
    const Light& light = item<Light>(scene->lights, 2);
    EXPECT_EQ(light.light.dvPosition.y, 2.0f);
    EXPECT_EQ(light.light.dvDirection.x, 4.0f) << "heading";
    EXPECT_EQ(light.light.dvDirection.z, 6.0f) << "bank";
    EXPECT_EQ(light.scale[2], 9.0f);
    const Camera& camera = item<Camera>(scene->cameras, 1);
    EXPECT_EQ(camera.position.z, 3.0f);
    EXPECT_EQ(camera.bank, 6.0f);
    EXPECT_EQ(camera.channels.getCount(), 9);

    EXPECT_EQ(scene->channels.getCount(), 27);
    EXPECT_STREQ(scene->channels.at(27)->getName(), "channel");
    EXPECT_STREQ(object.channels.at(9)->getName(), "8");
    EXPECT_EQ(scene->channels.at(10)->getData(), light.channels.first()->getData()) << "listed twice, in file order";
}

TEST_F(LwsReader, AKeyLineGivesValueTimeShapeAndFiveParameters) {
    auto scene = read("LWSC\n3\nAddCamera\nNumChannels 1\nChannel 0\n{ Envelope\n  3\n"
                      "  Key 1.5 2.25 2.9 0.1 0.2 0.3 0.4 0.5 0.6\n"
                      "  Key 0 3 -1.5 0 0 0 0 0 0\n"
                      "  Key 0 4 259 0 0 0 0 0 0\n"
                      "  Behaviors 1 1\n}\n");
    const Channel& channel = item<Channel>(scene->channels, 1);
    ASSERT_EQ(channel.keyCount(), 3);
    const Key& key = *channel.keyAt(0);
    EXPECT_EQ(key.value, 1.5f);
    EXPECT_EQ(key.time, 2.25f);
    EXPECT_EQ(key.shape, 2) << "truncated toward zero";
    EXPECT_EQ(key.p1, 0.1f);
    EXPECT_EQ(key.p5, 0.5f) << "the sixth number is dropped";
    EXPECT_EQ(channel.keyAt(1)->shape, -1);
    EXPECT_EQ(channel.keyAt(2)->shape, 3) << "kept in eight bits";
    EXPECT_EQ(channel.lastTime, 4.0f);
    EXPECT_EQ(channel.target, &scene->currentCamera->position.x);
}

// ---- What is not read, damaged files and fatal errors --------------------------------------

TEST_F(LwsReader, AFileThatIsMissingOrNoSceneIsNotReadAndNothingIsSaid) {
    std::string before = folder.log();
    Scene scene;
    EXPECT_FALSE(readScene("missing.lws", &scene));
    lws::writeFile("other.lws", "LWSD\n3\nAddLight\n");
    EXPECT_FALSE(readScene("other.lws", &scene));
    lws::writeFile("empty.lws", "");
    EXPECT_FALSE(readScene("empty.lws", &scene));
    EXPECT_EQ(scene.lights.getCount(), 0) << "not even the ambient light";
    EXPECT_EQ(folder.log(), before);
}

TEST_F(LwsReader, AKeyLineThatIsNoKeyEndsTheProgramThroughTheLog) {
    lws::Scene s;
    s.addLight("Lamp");
    std::string text = s.text();
    text.replace(text.find("Key "), 3, "key");
    lws::writeFile("scene.lws", text);
    Scene scene;
    EXPECT_EXIT(readScene("scene.lws", &scene), ::testing::ExitedWithCode(20), "");
    std::string log = folder.log();
    EXPECT_NE(log.find("LWSLoader.cpp:\nin scene file: Expecting a key, but got 'key'\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Cleanup"), std::string::npos) << "no message box";
}

TEST_F(LwsReader, DamagedEnvelopesAndChannelsEndThroughTheLogNeverACrash) {
    lws::Scene s;
    s.ambientIntensity = lws::Animated<1>{{}, std::array<lws::Envelope, 1>{lws::Envelope{lws::tcb(0, 0), lws::tcb(1, 1)}}};
    lws::Light& light = s.addLight("Lamp", lws::LightType::Spot);
    light.motion.channelCount = 2;
    light.motion[0] = lws::Envelope{lws::hermite(0, 0, 1, 1), lws::bezier(2, 1, 0, 0), lws::stepped(3, 2)};
    light.color.envelopes = {{lws::Envelope::constant(1), lws::Envelope::constant(0), lws::Envelope{lws::linear(1, 0)}}};
    s.addCamera("Camera").motion.channelCount = 1;
    const std::string text = s.text();

    // Cut off anywhere: either read as far as it goes, or damaged, and damaged exactly when the
    // cut falls inside an envelope.
    for (size_t length = 0; length <= text.size(); ++length) {
        Scene scene;
        std::string damage;
        std::string cut = text.substr(0, length);
        SceneFileResult result = readText(cut, scene, &damage);
        size_t opened = cut.rfind("{ Envelope"), closed = cut.rfind("}");
        bool inside = opened != std::string::npos && (closed == std::string::npos || closed < opened);
        if (length == text.size()) {
            EXPECT_EQ(result, SceneFileResult::read);
        }
        if (inside) {
            EXPECT_EQ(result, SceneFileResult::damaged) << "cut at " << length;
        }
    }
    size_t afterKey = text.find("\n", text.find("Key ")) + 1;
    EXPECT_EQ(damageOf(text.substr(0, afterKey)), "an envelope is cut off by the end of the file");
    EXPECT_EQ(damageOf(text.substr(0, afterKey + 3)), "Expecting a key, but got 'K'") << "a key cut in its word";

    EXPECT_EQ(damageOf("LWSC\n3\nAddLight\nNumChannels 1\nChannel 0\n{ Envelope\n  -3\n  Behaviors 1 1\n}\n"),
              "an envelope of -3 keys");
    EXPECT_EQ(damageOf("LWSC\n3\nAddLight\nNumChannels 1\nChannel 0\n{ Envelope\n  2000000000\n  Key 0 0 0 0 0 0 0 0 0\n"),
              "an envelope is cut off by the end of the file");
    EXPECT_EQ(damageOf("LWSC\n3\nLoadObjectLayer 1 square.lwo\nNumChannels 12\n"),
              "NumChannels 12 for an item of 9 channels");
    EXPECT_EQ(damageOf("LWSC\n3\nLoadObjectLayer 1 square.lwo\nMorphTarget 2\n"),
              "MorphTarget 2 of object 'square.lwo' is no object of the scene");

    // Through the reader of files: a log entry, exit code 20.
    lws::writeFile("damaged.lws", "LWSC\n3\nAddLight\nNumChannels 10\n");
    Scene scene;
    EXPECT_EXIT(readScene("damaged.lws", &scene), ::testing::ExitedWithCode(20), "");
    std::string log = folder.log();
    EXPECT_NE(log.find("LWSLoader.cpp:\nin scene file: NumChannels 10 for an item of 9 channels\n"), std::string::npos)
        << log;
}

TEST_F(LwsReader, UnknownLightTypesAndTargetsWithoutAnObjectAreFatal) {
    lws::Scene s;
    s.addLight("Area").type = 4;
    lws::writeFile("area.lws", s.text());
    Scene scene;
    EXPECT_EXIT(readScene("area.lws", &scene), ::testing::ExitedWithCode(20), "\\[Korvo error\\] unknown light type in scene");
    lws::writeFile("light.lws", "LWSC\n3\nAddLight\nTargetObject 1\n");
    EXPECT_EXIT(readScene("light.lws", &scene), ::testing::ExitedWithCode(20), "\\[Korvo error\\] Invalid target object");
    lws::writeFile("object.lws", "LWSC\n3\nLoadObjectLayer 1 square.lwo\nTargetObject 1\n");
    EXPECT_EXIT(readScene("object.lws", &scene), ::testing::ExitedWithCode(20), "\\[Korvo error\\] Invalid target object");
}

// ---- Real scenes ---------------------------------------------------------------------------

// A scene of the shared test data, read in place from a folder that holds, under the names it
// gives its objects, a triangle square of our own (its own objects are quads).
class RealScene : public LwsReader {
protected:
    std::unique_ptr<Scene> readReal(const std::string& path, const std::string& objectName) {
        if (testing_support::sharedTestdata().empty()) return nullptr;
        if (objectName.find('/') != std::string::npos)
            std::filesystem::create_directories(objectName.substr(0, objectName.rfind('/')));
        folder.write(objectName, square());
        auto scene = std::make_unique<Scene>();
        EXPECT_TRUE(readScene((testing_support::sharedTestdata() + "/lightwave/" + path).c_str(), scene.get()));
        return scene;
    }
    static int keyCount(Scene& scene) {
        int keys = 0;
        for (ListNode* node = scene.channels.first(); node; node = node->getNext())
            keys += static_cast<Channel*>(node->getData())->keyCount();
        return keys;
    }
};

TEST_F(RealScene, SavedScenesLoadAsFarAsTheirObjectsAllow) {
    auto moving = readReal("assimp/models/LWS/move_x_oldformat_6.lws", "simple_cube.lwo");
    if (!moving) GTEST_SKIP() << "no shared test data";
    EXPECT_EQ(moving->framesPerSecond, 30);
    EXPECT_EQ(moving->objects.getCount(), 1);
    ASSERT_EQ(moving->lights.getCount(), 2);
    EXPECT_EQ(item<Light>(moving->lights, 2).name, "Light");
    EXPECT_EQ(item<Light>(moving->lights, 2).light.dltType, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(moving->currentCamera->name, "Camera");
    EXPECT_EQ(moving->channels.getCount(), 9 + 9 + 6);
    EXPECT_EQ(keyCount(*moving), 26);

    // The same scene saved in the newer form names its object by the item's number.
    auto numbered = readReal("assimp/models/LWS/move_x.lws", "10000000");
    EXPECT_EQ(item<SceneObject>(numbered->objects, 1).name, std::string("10000000"));
    EXPECT_EQ(keyCount(*numbered), 26);

    // The old form: objects and motions this reader does not know, skipped.
    auto old = readReal("assimp/models/LWS/move_x_oldformat_56.lws", "unused.lwo");
    EXPECT_EQ(old->objects.getCount(), 0);
    EXPECT_EQ(old->channels.getCount(), 0);

    // Line ends of two characters, six objects, ten keys in each of 69 envelopes.
    auto boxes = readReal("renderstack/res/Scenes/boxi3.lws", "E:LightWave/boxi.lwo");
    EXPECT_EQ(boxes->objects.getCount(), 6);
    EXPECT_EQ(boxes->channels.getCount(), 69);
    EXPECT_EQ(keyCount(*boxes), 690);
}

TEST_F(RealScene, TheirOwnObjectsEndTheProgramAtTheFirstQuad) {
    if (testing_support::sharedTestdata().empty()) GTEST_SKIP() << "no shared test data";
    std::string folderOfScene = testing_support::sharedTestdata() + "/lightwave/assimp/models/LWS";
    ASSERT_EQ(chdir(folderOfScene.c_str()), 0);
    Scene scene;
    EXPECT_EXIT(readScene("move_x_oldformat_6.lws", &scene), ::testing::ExitedWithCode(20),
                "\\[Korvo error\\] only 3 vertices per polygon supported");
    ASSERT_EQ(chdir(folder.dir.path().c_str()), 0);
}

}  // namespace
