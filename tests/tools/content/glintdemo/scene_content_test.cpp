// glintdemo's generated scenes read by the show's own scene reader: what each holds, and that
// over the frames the show plays of it the camera moves and keeps the scene in view.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "assets/picture.h"
#include "built_show.h"
#include "scene/exportreader.h"
#include "scene/scene.h"
#include "scenes.h"

namespace {

using namespace content::glint;

std::set<std::string> picturesAsked;
Texture aPicture;
Texture* recordPicture(const char* name) {
    picturesAsked.insert(name);
    return &aPicture;
}

std::unique_ptr<Scene> readScene(const SceneFile& file) {
    auto scene = std::make_unique<Scene>(file.name.c_str());
    ExportReader reader;
    reader.loadPicture = recordPicture;
    EXPECT_EQ(reader.read(*scene, file.bytes.data(), file.bytes.size()), 0) << file.name << ": " << reader.error();
    return scene;
}

// The frames of each scene the show plays: the timeline plays kurwa2_, kurwa and freak at
// local time x rate x 0.3 seconds (x 30 frames), scene6 at local time x 0.033 + 8.4 seconds,
// and the run-scene updates nowheretorun at 10 frames a second of its two stretches.
struct Played {
    const char* name;
    float first, last;
    bool scrolled;   // has the "Material #1" the timeline scrolls
};
const Played played[] = {
    {"kurwa2_.exp", 0, 26 * 0.86f * 9, true},   {"kurwa.exp", 0, 40 * 0.56f * 9, true},
    {"scene6.exp", 8.4f * 30, (21 * 0.033f + 8.4f) * 30, true}, {"freak.exp", 0, 26 * 2.2f * 9, true},
    {"nowheretorun.exp", 0, 51 * 10, false},
};

// Meshes with a box corner inside the camera's view: in front of it (the scene's eye space has
// depth along +z) and within its field of view.
int meshesInView(const Scene& scene) {
    const Camera& camera = *scene.cameras.front();
    const float t = std::tan(camera.fieldOfView * 0.5f);
    int seen = 0;
    for (const auto& mesh : scene.meshes) {
        bool inside = false;
        for (const auto& c : mesh->eyeCorners) {
            float depth = c[2];
            inside |= depth > 1.0f && std::abs(c[0]) < depth * t && std::abs(c[1]) < depth * t * camera.aspect;
        }
        seen += inside;
    }
    return seen;
}

TEST(SampleScenes, EachHoldsCamerasLightsHierarchiesAndMaterials) {
    picturesAsked.clear();
    std::vector<SceneFile> files = showScenes();
    ASSERT_EQ(files.size(), 5u);
    std::set<int> blendModes;
    bool reflections = false, animatedMaterial = false;
    for (const SceneFile& file : files) {
        std::unique_ptr<Scene> scene = readScene(file);
        ASSERT_FALSE(scene->cameras.empty()) << file.name;
        EXPECT_NE(scene->cameras.front()->target, nullptr) << file.name << ": the camera finds its target";
        EXPECT_FALSE(scene->lights.empty()) << file.name;
        EXPECT_GE(scene->meshes.size(), 4u) << file.name;
        bool hungNull = false, hungMesh = false;
        for (const auto& n : scene->nullObjects) hungNull |= n->transform.parent != nullptr;
        for (const auto& m : scene->meshes) hungMesh |= m->transform.parent != nullptr;
        EXPECT_TRUE(hungNull) << file.name << ": a null object hangs on a mesh";
        if (file.name != "nowheretorun.exp") {
            EXPECT_TRUE(hungMesh) << file.name << ": meshes hang on meshes";
        }
        for (const auto& m : scene->materials) {
            blendModes.insert(m->blendMode);
            reflections |= m->reflection != nullptr;
            animatedMaterial |= m->opacityEnvelope || m->diffuseTrack;
        }
        for (const auto& m : scene->meshes) EXPECT_NE(m->materials[0], nullptr) << file.name << ": " << m->name;
    }
    EXPECT_EQ(blendModes, (std::set<int>{0, 1, 2, 3}));
    EXPECT_TRUE(reflections);
    EXPECT_TRUE(animatedMaterial);

    // Every picture the scenes name is in the archive.
    std::map<std::string, std::vector<uint8_t>> members = testing_support::builtShowMembers();
    for (const std::string& picture : picturesAsked) EXPECT_TRUE(members.count(picture)) << picture;
}

TEST(SampleScenes, TheCameraFliesAndKeepsTheSceneInViewOverThePlayedFrames) {
    std::map<std::string, SceneFile> files;
    for (SceneFile& file : showScenes()) files[file.name] = std::move(file);
    for (const Played& p : played) {
        std::unique_ptr<Scene> scene = readScene(files.at(p.name));
        ASSERT_FALSE(scene->cameras.empty());
        EXPECT_EQ(scene->findMaterial("Material #1") != nullptr, p.scrolled) << p.name;
        if (p.scrolled) {
            EXPECT_NE(scene->findMaterial("Material #1")->texture, nullptr) << p.name;
        }
        float start[3] = {}, travelled = 0;
        for (int i = 0; i <= 12; ++i) {
            float frame = p.first + (p.last - p.first) * float(i) / 12.0f;
            scene->animate(frame);
            EXPECT_GE(meshesInView(*scene), 1) << p.name << " at frame " << frame;
            const float* at = scene->cameras.front()->position;
            if (i == 0) std::copy(at, at + 3, start);
            travelled = std::max(travelled, std::hypot(at[0] - start[0], at[1] - start[1], at[2] - start[2]));
        }
        EXPECT_GT(travelled, 150.0f) << p.name << ": the camera moves";
    }
}

}  // namespace
