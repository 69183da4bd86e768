// The scene-description reader on texts made by the writer: keywords, items, motion blocks and
// envelope files.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "assets/archive.h"
#include "scene/descriptionreader.h"
#include "scene/scene.h"
#include "scene_description_writer.h"
#include "support.h"
#include "zip_writer.h"

namespace {

using content::exp::EnvelopeFileKey;
using content::exp::MotionKey;
using content::exp::SceneDescriptionWriter;

std::map<std::string, std::string> members;
std::vector<uint8_t> fromMembers(const char* name) {
    const std::string& text = members.at(name);
    return std::vector<uint8_t>(text.begin(), text.end());
}

struct Described {
    Scene scene{"test.lws"};
    SceneDescriptionReader reader;
    int result = -1;
};

// Reads `text` into a scene that already holds the meshes and materials named.
std::unique_ptr<Described> describe(const std::string& text, std::initializer_list<const char*> meshes = {},
                                    std::initializer_list<const char*> materials = {}) {
    auto d = std::make_unique<Described>();
    for (const char* name : meshes) {
        d->scene.meshes.push_back(std::make_unique<MeshObject>());
        d->scene.meshes.back()->name = name;
    }
    for (const char* name : materials) {
        d->scene.materials.push_back(std::make_unique<Material>());
        d->scene.materials.back()->name = name;
    }
    d->reader.readMember = fromMembers;
    d->result = d->reader.read(d->scene, text.data(), text.size());
    return d;
}

TEST(SceneDescriptions, KeywordsInAnyCaseAndNamesLowerCased) {
    SceneDescriptionWriter w;
    w.line("HIDE Rock").line("displayList ROCK").line("hide nothing").line("NoShading twin 5");
    w.line("normalangle 30").line("NormalAngle Rock 12.5").line("Unknown words are skipped").line("");
    w.line("DrawBBox").normalSize(7.5f).line("ClearColor 0.1 0.2 0.3");
    auto d = describe(w.text(), {"rock", "twin", "twin"});
    ASSERT_EQ(d->result, 0);
    const auto& meshes = d->scene.meshes;
    EXPECT_EQ(meshes[0]->flags, 3u);
    EXPECT_EQ(meshes[1]->flags, 0u);
    EXPECT_EQ(meshes[1]->shading, 5);
    EXPECT_EQ(meshes[2]->shading, 5);
    EXPECT_EQ(meshes[0]->shading, 1);
    EXPECT_EQ(meshes[0]->smoothingAngle, 12.5f);
    EXPECT_EQ(meshes[2]->smoothingAngle, 30.0f);
    EXPECT_TRUE(d->scene.descriptionDrawsBoxes);
    EXPECT_EQ(d->scene.normalLength, 7.5f);
    EXPECT_EQ(d->reader.clearColour[2], 0.3f);
}

TEST(SceneDescriptions, NullObjectsLightsAndTheirMotions) {
    MotionKey start, end;
    end.frame = 30;
    end.position[0] = 60;
    SceneDescriptionWriter w;
    w.motion("ObjectMotion", {start});   // no item yet: read and dropped
    w.addNullObject("Pivot").motion("ObjectMotion", {start, end});
    w.addLight("Sun").lightColour(255, 51, 0).motion("LightMotion", {end});
    w.addNullObject("Second");
    auto d = describe(w.text());
    ASSERT_EQ(d->result, 0);
    const Scene& s = d->scene;
    ASSERT_EQ(s.nullObjects.size(), 2u);
    ASSERT_EQ(s.lights.size(), 1u);
    EXPECT_EQ(s.nullObjects[0]->transform.name, "Pivot");
    EXPECT_EQ(s.nullObjects[0]->transform.parentIndex, -1);
    EXPECT_EQ(s.nullObjects[0]->transform.controllers.size(), 1u);
    EXPECT_TRUE(s.nullObjects[1]->transform.controllers.empty());
    EXPECT_NEAR(s.lights[0]->colour[0], 1.0f, 1e-6f);
    EXPECT_NEAR(s.lights[0]->colour[1], 0.2f, 1e-6f);
    ASSERT_EQ(s.lights[0]->transform.controllers.size(), 1u);
    // The motion writes the local matrix: halfway along, two keys make a straight line.
    s.nullObjects[0]->transform.update(15);
    EXPECT_NEAR(s.nullObjects[0]->world[12], 30.0f, 1e-4f);
    // One key: constant.
    s.lights[0]->transform.update(99);
    EXPECT_NEAR(s.lights[0]->world[12], 60.0f, 1e-5f);
    EXPECT_NEAR(s.lights[0]->world[0], 1.0f, 1e-6f);
}

TEST(SceneDescriptions, RateAndParentsOnlyWithLwsc) {
    SceneDescriptionWriter w;
    w.framesPerSecond(25).line("ParentObject 1").line("LastFrame 90").line("LoadObject objects/rock.lwo");
    w.line("TextureImage a.jpg").line("TextureSize 1 2 3").line("TextureAxis 1");
    auto plain = describe(w.text());
    EXPECT_EQ(plain->scene.rate, 1.0f);
    EXPECT_TRUE(plain->scene.meshes.empty() && plain->scene.nullObjects.empty() && plain->scene.cameras.empty());
    w.lwsc();
    auto lwsc = describe(w.text());
    EXPECT_FLOAT_EQ(lwsc->scene.rate, 2.5f);
}

TEST(SceneDescriptions, CameraMotionMakesTheDescribedCamera) {
    MotionKey key;
    key.heading = 90;
    SceneDescriptionWriter w;
    w.line("ZoomFactor 9").motion("CameraMotion", {key}, 2).zoomFactor(1.5f);
    auto d = describe(w.text());
    ASSERT_EQ(d->result, 0);
    ASSERT_EQ(d->scene.cameras.size(), 1u);
    const Camera& c = *d->scene.cameras[0];
    EXPECT_TRUE(c.described);
    EXPECT_EQ(c.targetName, "LWODST");
    EXPECT_EQ(c.target, nullptr);
    EXPECT_EQ(c.zoom, 1.5f);
    EXPECT_EQ(c.aspect, 0.75f);
    const auto* motion = dynamic_cast<const MotionController*>(c.transform.controllers.at(0).get());
    ASSERT_NE(motion, nullptr);
    EXPECT_EQ(motion->motion->endBehaviour, 2);
    EXPECT_EQ(motion->target, c.motionMatrix);
}

TEST(SceneDescriptions, EnvelopeFilesKeepLinesOfTwoOrFiveNumbers) {
    std::string text =
        "Fade\r\nKey 0 Value 1\r\nKey 10 Value 0 0.5 0 0\r\nKey 20 Value\r\nKey 30 Value 1 2\r\n"
        "Key 40 Value 0.5\r\n\r\nKey 50 Value 1\r\n";
    std::unique_ptr<Envelope> e = SceneDescriptionReader::readEnvelope(text.c_str(), text.size());
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->name, "Fade");
    ASSERT_EQ(e->keys.size(), 3u);   // 0, 10 and 40; the blank line ends the list
    EXPECT_EQ(e->keys[1].frame, 10.0f);
    EXPECT_EQ(e->keys[1].tension, 0.5f);
    EXPECT_EQ(e->keys[2].value, 0.5f);
    EXPECT_EQ(e->lastKey, 2);
    std::string threes = "Odd\nKey 1 Value 2 3\nKey 4 Value 5 6\n";
    EXPECT_TRUE(SceneDescriptionReader::readEnvelope(threes.c_str(), threes.size())->keys.empty());
}

TEST(SceneDescriptions, OpacityFromALineAndFromAnEnvelopeFile) {
    members = {{"fade.env", content::exp::envelopeFile("Fade", {{0, 1}, {10, 0}})}};
    SceneDescriptionWriter w;
    w.line("Opacity Glass 0.25").line("opacity_control GLASS fade.env").line("Opacity nothing 0.5");
    w.line("opacity_control nothing fade.env").line("Opacity Glass");
    auto d = describe(w.text(), {}, {"glass"});
    const Material& glass = *d->scene.materials[0];
    EXPECT_EQ(glass.opacity, 0.25f);
    ASSERT_NE(glass.opacityEnvelope, nullptr);
    EXPECT_EQ(glass.opacityEnvelope->name, "Fade");
    EXPECT_EQ(glass.opacityEnvelope->keys.size(), 2u);
}

TEST(SceneDescriptions, ABrokenMotionBlockIsRefused) {
    MotionKey key;
    SceneDescriptionWriter whole;
    whole.addNullObject("A").motion("ObjectMotion", {key, key, key});
    std::string text = whole.text();
    std::string shortened = text.substr(0, text.find("EndBehavior") - 20);
    auto d = describe(shortened);
    EXPECT_EQ(d->result, 1);
    EXPECT_EQ(d->reader.error(), "motion block of 3 keys ends early");
    auto noCount = describe("AddNullObject A\r\nObjectMotion\r\n9\r\nmany\r\n");
    EXPECT_EQ(noCount->reader.error(), "motion block without a key count");
    // Every prefix of the text reads without harm.
    for (size_t size = 0; size < text.size(); ++size) {
        auto cut = describe(text.substr(0, size));
        EXPECT_TRUE(cut->result == 0 || cut->result == 1) << size;
    }
}

TEST(SceneDescriptions, SceneLoadReadsDescriptionsAndTheirEnvelopesFromTheArchive) {
    testing_support::TempDir dir;
    content::ZipWriter zip;
    SceneDescriptionWriter w;
    w.lwsc().framesPerSecond(30).addLight("Lamp");
    zip.add("Show.lws", w.text());
    ASSERT_TRUE(zip.writeFile(dir.file("demo.dat")));
    ASSERT_TRUE(addArchive(dir.file("demo.dat").c_str()));
    Scene scene("show.lws");
    EXPECT_EQ(scene.load(), Scene::Lws);
    closeArchives();
    EXPECT_EQ(scene.lights.size(), 1u);
    EXPECT_FLOAT_EQ(scene.rate, 3.0f);
}

}  // namespace
