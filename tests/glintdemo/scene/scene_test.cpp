// A scene's update without drawing: cameras, lighting and materials of scenes written by the
// scene writers.
#include <gtest/gtest.h>

#include <cmath>

#include "assets/picture.h"
#include "exp_writer.h"
#include "geometry/mesh.h"
#include "scene/descriptionreader.h"
#include "scene/exportreader.h"
#include "scene/scene.h"
#include "scene_description_writer.h"

namespace {

namespace exp = content::exp;

Texture texture;
Texture* anyPicture(const char*) { return &texture; }

std::unique_ptr<Scene> readScene(const exp::Writer& writer) {
    auto scene = std::make_unique<Scene>("test.exp");
    ExportReader reader;
    reader.loadPicture = anyPicture;
    EXPECT_EQ(reader.read(*scene, writer.bytes().data(), writer.bytes().size()), 0) << reader.error();
    return scene;
}

std::array<float, 3> through(const float* m, std::array<float, 3> p) {
    std::array<float, 3> out;
    transformPoint(m, p.data(), out.data());
    return out;
}

void expectPoint(const std::array<float, 3>& got, const std::array<float, 3>& expected, const char* what) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[size_t(i)], expected[size_t(i)], 1e-4f) << what << " component " << i;
}

exp::Camera camera(float x, float y, float z, const std::string& target = "Target") {
    return exp::camera("Camera01", target, x, y, z, 0.8f);
}

exp::NullObject null(const std::string& name, float x, float y, float z) { return exp::nullObject(name, x, y, z); }

class SceneUpdate : public ::testing::Test {
protected:
    void TearDown() override { sceneDisplay = SceneDisplayState{}; }
};

TEST_F(SceneUpdate, AnExpCameraLooksAtItsTargetAlongPlusZWithYDown) {
    exp::Writer writer;
    writer.add(null("Target", 0, 0, 0));
    writer.add(camera(0, -10, 0));
    auto scene = readScene(writer);
    Camera& c = *scene->cameras[0];
    ASSERT_EQ(c.target, scene->nullObjects[0].get());
    scene->animate(0);
    expectPoint(through(c.view, {0, 0, 0}), {0, 0, 10}, "the target");
    expectPoint(through(c.view, {0, 0, 1}), {0, -1, 10}, "above the target");
    expectPoint(through(c.view, {1, 0, 0}), {1, 0, 10}, "right of the target");
    float t = std::tan(0.4f);
    EXPECT_FLOAT_EQ(c.frustum[1], t);
    EXPECT_FLOAT_EQ(c.frustum[2], -t * 0.75f);
    EXPECT_FLOAT_EQ(c.frustum[4], 1.0f);
    EXPECT_FLOAT_EQ(c.frustum[5], 10000.0f);
    EXPECT_NEAR(c.screenScaleX, 320.0f / t, 1e-2f);
    EXPECT_NEAR(c.screenScaleY, 240.0f / t / 0.75f, 1e-2f);

    // From above and to the side: the target is still straight ahead.
    exp::Writer diagonal;
    diagonal.add(null("Target", 1, 2, 3));
    diagonal.add(camera(-3, 5, 9));
    auto tilted = readScene(diagonal);
    tilted->animate(0);
    float distance = std::sqrt(16.0f + 9.0f + 36.0f);
    expectPoint(through(tilted->cameras[0]->view, {1, 2, 3}), {0, 0, distance}, "the target");
}

TEST_F(SceneUpdate, RollTurnsTheViewAboutItsAxis) {
    exp::Writer writer;
    writer.add(null("Target", 0, 0, 0));
    exp::Camera c = camera(0, -10, 0);
    c.roll = exp::still(float(M_PI / 2));
    writer.add(c);
    auto scene = readScene(writer);
    scene->animate(0);
    expectPoint(through(scene->cameras[0]->view, {0, 0, 1}), {1, 0, 10}, "above the target, rolled");
}

TEST_F(SceneUpdate, OnlyTheFirstCameraFindsItsTargetAndAMissingOneKeepsTheView) {
    exp::Writer writer;
    writer.add(null("Target", 0, 0, 0));
    writer.add(camera(0, -10, 0, "target"));   // names compare in their letter case
    writer.add(camera(0, -10, 0, "Target"));
    auto scene = readScene(writer);
    EXPECT_EQ(scene->cameras[0]->target, nullptr);
    EXPECT_EQ(scene->cameras[1]->target, nullptr);
    scene->animate(0);
    expectPoint(through(scene->cameras[0]->view, {1, 2, 3}), {1, 2, 3}, "identity view");
    // A target on the camera gives no direction either.
    exp::Writer same;
    same.add(null("Target", 4, 4, 4));
    same.add(camera(4, 4, 4));
    auto still = readScene(same);
    still->animate(0);
    expectPoint(through(still->cameras[0]->view, {1, 2, 3}), {1, 2, 3}, "identity view");
}

// A textured and an untextured box, 20 units apart on x.
exp::Writer litScene(bool withLight) {
    exp::Writer writer;
    exp::Material textured = exp::material("Textured", "a.jpg", 0.5f, 0.5f, 0.5f);
    textured.opacity = exp::still(0.8f);
    writer.add(textured);
    writer.add(exp::material("Plain", "", 1.0f, 0.5f, 0.25f));
    exp::Mesh a = exp::box("A", 1, 1, 1);
    a.material = 0;
    writer.add(a);
    exp::Mesh b = exp::box("B", 1, 1, 1);
    b.material = 1;
    b.position = exp::still(20, 0, 0);
    writer.add(b);
    writer.add(null("Target", 0, 0, 0));
    writer.add(camera(0, -50, 0));
    if (withLight) writer.add(exp::light("Light", 0, 0, 100));
    return writer;
}

// The vertex of a mesh at `position` whose normal is `normal`.
const DrawnVertex* vertexAt(const MeshObject& mesh, std::array<float, 3> position, std::array<float, 3> normal) {
    for (const DrawnVertex& v : mesh.vertices) {
        bool same = true;
        for (int i = 0; i < 3; ++i)
            same = same && std::fabs(v.position[i] - position[size_t(i)]) < 1e-5f &&
                   std::fabs(v.normal[i] - normal[size_t(i)]) < 1e-3f;
        if (same) return &v;
    }
    return nullptr;
}

TEST_F(SceneUpdate, VerticesAreLitByNDotLWithTheLightInObjectSpace) {
    auto scene = readScene(litScene(true));
    sceneDisplay.fade = 0.5f;
    scene->animate(0);
    const MeshObject& a = *scene->meshes[0];
    const MeshObject& b = *scene->meshes[1];
    ASSERT_TRUE(a.visible);
    // Textured: white. The top corner (1, 1, 1) with normal +z: L = normalise((-1, -1, 99)).
    const DrawnVertex* top = vertexAt(a, {1, 1, 1}, {0, 0, 1});
    ASSERT_NE(top, nullptr);
    float k = 99.0f / std::sqrt(1 + 1 + 99.0f * 99.0f);
    EXPECT_NEAR(top->colour[0], k, 1e-5f);
    EXPECT_NEAR(top->colour[1], k, 1e-5f);
    EXPECT_NEAR(top->colour[3], 0.5f * 0.8f, 1e-6f);
    // Facing away from the light: negative, left for the graphics library to clamp.
    const DrawnVertex* bottom = vertexAt(a, {1, 1, -1}, {0, 0, -1});
    ASSERT_NE(bottom, nullptr);
    EXPECT_LT(bottom->colour[0], -0.9f);
    // Untextured: the diffuse colour. B stands at x = 20, so in its own space the light is at
    // (-20, 0, 100).
    const DrawnVertex* plainTop = vertexAt(b, {1, 1, 1}, {0, 0, 1});
    ASSERT_NE(plainTop, nullptr);
    float kb = 99.0f / std::sqrt(21.0f * 21.0f + 1 + 99.0f * 99.0f);
    EXPECT_NEAR(plainTop->colour[0], kb, 1e-5f);
    EXPECT_NEAR(plainTop->colour[1], 0.5f * kb, 1e-5f);
    EXPECT_NEAR(plainTop->colour[2], 0.25f * kb, 1e-5f);
    EXPECT_EQ(a.shading, 0);
    // The eye-space box: A's centre is 50 units ahead.
    EXPECT_NEAR(a.eyeCorners[0][2] + a.eyeCorners[7][2], 100.0f, 1e-3f);
}

TEST_F(SceneUpdate, WithoutALightTheLightShinesFromMinusZ) {
    auto scene = readScene(litScene(false));
    scene->animate(0);
    const DrawnVertex* bottom = vertexAt(*scene->meshes[0], {1, 1, -1}, {0, 0, -1});
    ASSERT_NE(bottom, nullptr);
    // Light (0, 0, -1) to the corner (1, 1, -1): L = (-1, -1, 0) normalised, N . L = 0.
    EXPECT_NEAR(bottom->colour[0], 0.0f, 1e-6f);
    const DrawnVertex* side = vertexAt(*scene->meshes[0], {1, -1, -1}, {1, 0, 0});
    ASSERT_NE(side, nullptr);
    EXPECT_NEAR(side->colour[0], -1 / std::sqrt(2.0f), 1e-5f);
}

TEST_F(SceneUpdate, WithoutACameraNothingIsVisibleOrLit) {
    exp::Writer noCamera;
    exp::Mesh a = exp::box("A", 1, 1, 1);
    a.position = {exp::VectorKey{0, 0, 0, 0}, exp::VectorKey{10, 5, 0, 0}};
    noCamera.add(a);
    auto scene = readScene(noCamera);
    scene->animate(10);
    EXPECT_FALSE(scene->meshes[0]->visible);
    EXPECT_FLOAT_EQ(scene->meshes[0]->world[12], 5.0f);   // transforms still move
    EXPECT_EQ(scene->meshes[0]->vertices[0].colour[0], 1.0f);
}

TEST_F(SceneUpdate, MaterialTracksOfTwoKeysAnimate) {
    exp::Writer writer;
    exp::Material m;
    m.name = "Moving";
    m.diffuse = {exp::VectorKey{0, 0, 0, 0}, exp::VectorKey{10, 1, 1, 1}};
    m.opacity = {exp::EnvelopeKey{0, 1}, exp::EnvelopeKey{10, 0}, exp::EnvelopeKey{20, 1}};
    m.offsetU = {exp::EnvelopeKey{0, 0}, exp::EnvelopeKey{10, 2}};
    m.offsetV = exp::still(0.25f);
    writer.add(m);
    auto scene = readScene(writer);
    Material& material = *scene->materials[0];
    EXPECT_EQ(material.offsetV, 0.25f);   // one key: stored, not kept
    EXPECT_EQ(material.offsetVEnvelope, nullptr);
    scene->rate = 2;
    scene->animate(2.5f);   // frame 5
    EXPECT_NEAR(material.diffuse[0], 0.5f, 1e-5f);
    EXPECT_NEAR(material.opacity, 0.5f, 1e-6f);   // linear
    EXPECT_NEAR(material.offsetU, -1.0f, 1e-5f);   // negated
    scene->animate(7.5f);
    EXPECT_NEAR(material.opacity, 0.5f, 1e-6f);
}

TEST_F(SceneUpdate, TheDescribedCameraSeesLikeTheExpOne) {
    content::exp::SceneDescriptionWriter text;
    content::exp::MotionKey key;
    key.position[2] = -10;
    text.motion("CameraMotion", {key}).zoomFactor(2);
    Scene scene("camera.lws");
    SceneDescriptionReader reader;
    ASSERT_EQ(reader.read(scene, text.text().data(), text.text().size()), 0);
    ASSERT_EQ(scene.cameras.size(), 1u);
    Camera& c = *scene.cameras[0];
    EXPECT_EQ(c.name, "LWOCAM");
    EXPECT_EQ(c.transform.name, "cameraNode");
    scene.animate(0);
    // The camera 10 units back on z looks along +z: ahead of it is +z, LightWave's up is -y.
    expectPoint(through(c.view, {0, 0, 0}), {0, 0, 10}, "ahead");
    expectPoint(through(c.view, {0, 1, 0}), {0, -1, 10}, "above");
    EXPECT_FLOAT_EQ(c.position[2], -10.0f);
    float t = 0.01f / std::atan(2.0f);
    EXPECT_FLOAT_EQ(c.frustum[1], t);
    EXPECT_FLOAT_EQ(c.frustum[3], t * 0.75f);
    EXPECT_FLOAT_EQ(c.frustum[4], 0.01f);
}

}  // namespace
