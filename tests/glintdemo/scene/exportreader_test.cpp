// The ".exp" reader on files made by the writer: what each record builds, and broken files
// refused with the place and the reason.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "assets/archive.h"
#include "assets/picture.h"
#include "exp_writer.h"
#include "jpeg_writer.h"
#include "scene/exportreader.h"
#include "scene/scene.h"
#include "support.h"
#include "zip_writer.h"

namespace {

namespace exp = content::exp;

std::vector<std::string> picturesAsked;
Texture pictures[8];
Texture* recordPicture(const char* name) {
    picturesAsked.push_back(name);
    return &pictures[picturesAsked.size() % 8];
}

struct Read {
    std::unique_ptr<Scene> scene = std::make_unique<Scene>("test.exp");
    int result = -1;
    std::string error;
};

Read read(const std::vector<uint8_t>& bytes) {
    Read r;
    ExportReader reader;
    reader.loadPicture = recordPicture;
    r.result = reader.read(*r.scene, bytes.data(), bytes.size());
    r.error = reader.error();
    return r;
}

class ExportFiles : public ::testing::Test {
protected:
    void SetUp() override { picturesAsked.clear(); }
};

exp::Mesh triangle(const std::string& name, int identifier, int parent = -1) {
    exp::Mesh m;
    m.name = name;
    m.identifier = identifier;
    m.parentIdentifier = parent;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    m.textureCoordinates = {{0.25f, 0.75f}, {1, 0.75f}, {0.25f, 0}};
    m.textureFaces = {{0, 1, 2}};
    m.faces = {{0, 1, 2, 7}};
    return m;
}

TEST_F(ExportFiles, OnlyTheHeaderGivesAnEmptyScene) {
    for (size_t size : {0, 5, 8}) {
        std::vector<uint8_t> bytes = exp::Writer().bytes();
        bytes.resize(size);
        Read r = read(bytes);
        EXPECT_EQ(r.result, 0) << size;
        EXPECT_TRUE(r.scene->meshes.empty() && r.scene->cameras.empty() && r.scene->materials.empty());
    }
}

TEST_F(ExportFiles, MeshesKeepNamesCoordinatesPivotsParentsAndMaterials) {
    exp::Writer w;
    exp::Mesh first = triangle("Rock", 4);
    first.pivot = {1, 2, 3};
    first.material = 1;
    w.add(first);
    w.addWord(0);   // words that name no record are skipped
    w.addWord(77);
    w.add(triangle("Child", 5, 4));
    w.add(triangle("Orphan", 6, 9));   // 9 is a later mesh: no parent
    w.add(triangle("Later", 9));
    exp::Material a, b;
    a.name = "First";
    b.name = "Second MATERIAL";
    b.twoSided = true;
    b.blendMode = 1;
    w.add(a);
    w.add(b);
    Read r = read(w.bytes());
    ASSERT_EQ(r.result, 0) << r.error;
    ASSERT_EQ(r.scene->meshes.size(), 4u);
    const MeshObject& rock = *r.scene->meshes[0];
    EXPECT_EQ(rock.name, "rock");
    EXPECT_EQ(rock.transform.name, "rock");
    EXPECT_EQ(rock.identifier, 4);
    EXPECT_EQ(rock.transform.pivot[2], 3.0f);
    EXPECT_EQ(rock.materials[0], r.scene->materials[1].get());
    EXPECT_EQ(rock.materials[1], nullptr);
    EXPECT_EQ(r.scene->meshes[1]->transform.parent, &rock.transform);
    EXPECT_EQ(r.scene->meshes[2]->transform.parent, nullptr);
    EXPECT_EQ(r.scene->meshes[2]->materials[0], nullptr);
    // (0.25, 0.75) in the file is drawn at (0.25, 0.25).
    ASSERT_EQ(rock.vertices.size(), 3u);
    EXPECT_EQ(rock.vertices[0].u, 0.25f);
    EXPECT_EQ(rock.vertices[0].v, 0.25f);
    EXPECT_EQ(rock.vertices[2].v, 1.0f);
    EXPECT_EQ(rock.smoothingAngle, 90.0f);
    const Material& second = *r.scene->materials[1];
    EXPECT_EQ(second.name, "second material");
    EXPECT_TRUE(second.twoSided);
    EXPECT_EQ(second.blendSource, GLenum(GL_SRC_ALPHA));
    EXPECT_EQ(second.blendDestination, GLenum(GL_ONE));
    EXPECT_EQ(second.flags, materialColours);
    EXPECT_EQ(r.scene->findMaterial("SECOND material"), &second);
}

TEST_F(ExportFiles, BlendModesChooseTheirFactors) {
    exp::Writer w;
    for (uint8_t mode : {0, 1, 2, 3, 9}) {
        exp::Material m;
        m.name = "m" + std::to_string(mode);
        m.blendMode = mode;
        w.add(m);
    }
    Read r = read(w.bytes());
    ASSERT_EQ(r.result, 0) << r.error;
    const GLenum expected[5][2] = {{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                                   {GL_SRC_ALPHA, GL_ONE},
                                   {GL_DST_ALPHA, GL_ONE},
                                   {GL_ONE_MINUS_SRC_ALPHA, GL_ONE},
                                   {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(r.scene->materials[size_t(i)]->blendSource, expected[i][0]) << i;
        EXPECT_EQ(r.scene->materials[size_t(i)]->blendDestination, expected[i][1]) << i;
    }
}

TEST_F(ExportFiles, MaterialPicturesAreAskedForInLowerCaseAndNamedOnTheDebugOutput) {
    exp::Writer w;
    exp::Material m;
    m.name = "Shiny";
    m.texture = "Rock.JPG";
    m.reflection = "Sky.jpg";
    w.add(m);
    exp::Material none;
    none.name = "None";
    none.texture = "x";   // one character: no picture
    w.add(none);
    testing::internal::CaptureStderr();
    Read r = read(w.bytes());
    std::string debugOutput = testing::internal::GetCapturedStderr();
    ASSERT_EQ(r.result, 0) << r.error;
    EXPECT_EQ(picturesAsked, (std::vector<std::string>{"rock.jpg", "sky.jpg"}));
    EXPECT_EQ(debugOutput, "Rock.JPG\n");
    const Material& shiny = *r.scene->materials[0];
    EXPECT_EQ(shiny.textureName, "Rock.JPG");
    EXPECT_EQ(shiny.flags, materialColours | materialTextured | materialReflective);
    EXPECT_EQ(r.scene->materials[1]->flags, materialColours);
}

TEST_F(ExportFiles, TracksOfOneKeyAreStoredAndOfTwoKept) {
    exp::Writer w;
    exp::Material m;
    m.name = "m";
    m.offsetU = exp::still(0.5f);
    m.offsetV = {{0, 0}, {10, 1}};
    m.diffuse = exp::still(0.1f, 0.2f, 0.3f);
    m.colour1 = {exp::VectorKey{0, 1, 1, 1}, exp::VectorKey{5, 0, 0, 0}};
    m.opacity = exp::still(0.4f);
    w.add(m);
    w.add(exp::light("Lamp", 1, 2, 3));
    exp::Camera camera = exp::camera("Cam", "", 0, 0, 0, 0.5f);
    camera.roll = {{0, 0}, {10, 1}};
    w.add(camera);
    Read r = read(w.bytes());
    ASSERT_EQ(r.result, 0) << r.error;
    const Material& material = *r.scene->materials[0];
    EXPECT_EQ(material.offsetU, 0.5f);
    EXPECT_EQ(material.offsetUEnvelope, nullptr);
    EXPECT_NE(material.offsetVEnvelope, nullptr);
    EXPECT_EQ(material.diffuse[2], 0.3f);
    EXPECT_EQ(material.diffuseTrack, nullptr);
    EXPECT_NE(material.colour1Track, nullptr);
    EXPECT_EQ(material.opacity, 0.4f);
    EXPECT_EQ(r.scene->lights[0]->name, "Lamp");
    EXPECT_EQ(r.scene->lights[0]->colour[0], 0.0f);
    ASSERT_NE(r.scene->lights[0]->transform.position, nullptr);
    EXPECT_EQ(r.scene->lights[0]->transform.position->keys[0].value[1], 2.0f);
    // Field of view and roll run as the camera transform's controllers.
    Camera& c = *r.scene->cameras[0];
    EXPECT_EQ(c.transform.controllers.size(), 2u);
    c.transform.update(5);
    EXPECT_EQ(c.fieldOfView, 0.5f);
    EXPECT_NEAR(c.roll, 0.5f, 1e-6f);
}

// A scene with a record of every kind.
exp::Writer everyRecord() {
    exp::Writer w;
    exp::Material m = exp::material("m", "t.jpg");
    m.opacity = {{0, 1}, {10, 0}};
    w.add(m);
    exp::Mesh box = exp::box("Box", 1, 2, 3);
    box.material = 0;
    box.rotation = {exp::RotationKey{}, exp::RotationKey{10, 0.7071f, 0, 0, 0.7071f}};
    w.add(box);
    w.add(exp::nullObject("Target", 0, 0, 0));
    w.add(exp::camera("Cam", "Target", 0, -10, 0, 0.8f));
    w.add(exp::light("Lamp", 0, 0, 10));
    return w;
}

TEST_F(ExportFiles, EveryTruncationInsideARecordIsRefused) {
    exp::Writer w = everyRecord();
    const std::vector<uint8_t>& whole = w.bytes();
    ASSERT_EQ(read(whole).result, 0);
    std::vector<size_t> boundaries = w.recordOffsets();
    boundaries.push_back(whole.size());
    for (size_t size = 9; size < whole.size(); ++size) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(size));
        Read r = read(cut);
        bool boundary = std::find(boundaries.begin(), boundaries.end(), size) != boundaries.end();
        EXPECT_EQ(r.result, boundary ? 0 : 1) << "cut at " << size;
        if (!boundary) {
            EXPECT_NE(r.error.find("past the end"), std::string::npos) << r.error;
        }
    }
}

// `bytes` with the 32-bit value at `offset` replaced.
std::vector<uint8_t> patched(std::vector<uint8_t> bytes, size_t offset, int32_t value) {
    std::memcpy(&bytes[offset], &value, 4);
    return bytes;
}

TEST_F(ExportFiles, BrokenCountsAndIndicesAreRefusedWithThePlace) {
    exp::Writer w;
    w.add(triangle("Tri", 1));
    const std::vector<uint8_t>& good = w.bytes();
    ASSERT_EQ(read(good).result, 0);
    // Mesh record: type, name (32), identifier, V, T, F, parent, material, pivot, then data.
    const size_t record = 8, vertexCount = record + 40, coordinateCount = record + 44, faceCount = record + 48,
                 material = record + 56, vertices = record + 72, coordinates = vertices + 36,
                 cornerCoordinates = coordinates + 24, faces = cornerCoordinates + 12;
    struct Case {
        size_t offset;
        int32_t value;
        std::string error;
    };
    const Case cases[] = {
        {faces + 4, 3, "mesh \"tri\": face 0 uses vertex 3 of 3 at byte " + std::to_string(faces)},
        {faces, -1, "mesh \"tri\": face 0 uses vertex -1 of 3 at byte " + std::to_string(faces)},
        {cornerCoordinates + 8, 5,
         "mesh \"tri\": face 0 uses texture coordinate 5 of 3 at byte " + std::to_string(cornerCoordinates)},
        {material, 0, "mesh \"tri\": material 0 of 0 at byte 8"},
        {material, -2, "mesh \"tri\": material -2 of 0 at byte 8"},
        {vertexCount, -3, "negative vertices count -3 at byte " + std::to_string(vertices)},
        {vertexCount, 0x7FFFFFFF, "2147483647 vertices reach past the end at byte " + std::to_string(vertices)},
        {coordinateCount, 0x40000000, "1073741824 texture coordinates reach past the end at byte " +
                                          std::to_string(coordinates)},
        {faceCount, 0x10000000, "268435456 faces reach past the end at byte " + std::to_string(cornerCoordinates)},
    };
    for (const Case& c : cases) {
        Read r = read(patched(good, c.offset, c.value));
        EXPECT_EQ(r.result, 1) << c.error;
        EXPECT_EQ(r.error, c.error);
    }
}

TEST_F(ExportFiles, TheDefaultPictureLoaderMakesOneTexturePerJpegName) {
    testing_support::TempDir dir;
    content::ZipWriter zip;
    std::vector<uint8_t> pixels(8 * 8 * 3, 90);
    zip.add("rock.jpg", content::writeJpeg(pixels.data(), 8, 8, 3, {}));
    ASSERT_TRUE(zip.writeFile(dir.file("demo.dat")));
    ASSERT_TRUE(addArchive(dir.file("demo.dat").c_str()));
    static int texImages;
    texImages = 0;
    setTextureFunctions({[](GLsizei n, GLuint* names) {
                             for (GLsizei i = 0; i < n; ++i) names[i] = GLuint(100 + texImages);
                         },
                         [](GLenum, GLuint) {}, [](GLenum, GLint) {}, [](GLenum, GLenum, GLint) {},
                         [](GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*) { ++texImages; },
                         []() -> GLenum { return GL_NO_ERROR; }});
    Texture* first = loadMaterialPicture("rock.jpg");
    Texture* again = loadMaterialPicture("rock.jpg");
    EXPECT_EQ(loadMaterialPicture("rock.png"), nullptr);
    closeArchives();
    setTextureFunctions({});
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, again);
    EXPECT_EQ(texImages, 1);
    EXPECT_EQ(first->internalFormat, GL_RGB);
}

TEST(SceneKinds, TheFirstDotWithAKnownExtensionWithin32Characters) {
    EXPECT_EQ(Scene::kindOf("freak.exp"), Scene::Exp);
    EXPECT_EQ(Scene::kindOf("a.lws"), Scene::Lws);
    EXPECT_EQ(Scene::kindOf("x.asc"), Scene::Asc);
    EXPECT_EQ(Scene::kindOf("x.ase"), Scene::Ase);
    EXPECT_EQ(Scene::kindOf("old.version.exp"), Scene::Exp);
    EXPECT_EQ(Scene::kindOf("x.lwsc.exp"), Scene::Lws);
    EXPECT_EQ(Scene::kindOf("LOUD.EXP"), Scene::None);
    EXPECT_EQ(Scene::kindOf("picture.jpg"), Scene::None);
    EXPECT_EQ(Scene::kindOf("a_name_longer_than_thirty_two_characters.exp"), Scene::None);
    EXPECT_EQ(Scene::kindOf("a_name_of_exactly_thirty_one_.exp"), Scene::Exp);
}

}  // namespace
