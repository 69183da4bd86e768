// The object builder on a record-only device: which triangles each surface gets, its vertex
// and index buffers, flat conversion, the recorded state blocks and materials, the texture
// cache's log lines, finding object files, and the fatal paths.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "d3d7/calllog.h"
#include "d3d7/testing.h"
#include "gfx/gfxcore.h"
#include "gfx/indexbuffer.h"
#include "lightwave/material.h"
#include "lightwave/objectbuilder.h"
#include "lightwave/property.h"
#include "lightwave/surface.h"
#include "lightwave_test_support.h"

namespace {

namespace lwo = content::lwo;
using d3d7::calllog::lines;
using d3d7::calllog::linesStartingWith;
using lightwave_test::indices;
using lightwave_test::square;
using lightwave_test::vertices;

class ObjectBuilder : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        d3d7::testing::setRendering(d3d7::testing::Rendering::RecordOnly);
        d3d7::calllog::enable(true);
        gfx.createWindow(GetModuleHandleA(nullptr), "test", false, 64, 48);
        gfx.initDevice(16);
    }
    void SetUp() override { d3d7::calllog::clear(); }

    // Writes the object and builds it.
    SceneObject* build(const lwo::Object& object, const std::string& name = "object.lwo") {
        folder.write(name, object);
        return new SceneObject(name.c_str());
    }
    static Surface& surface(SceneObject& object, int position) {
        return *static_cast<Surface*>(object.surfaces.at(position)->getData());
    }
    static std::vector<std::string> stateBlock(Surface& s) { return d3d7::calllog::stateBlock(gfx.device, s.stateBlock); }
    static std::vector<float> positions(Surface& s) {
        std::vector<float> out;
        for (const LWPoint& p : vertices(s)) out.insert(out.end(), {p.x, p.y, p.z});
        return out;
    }
    static size_t count(const std::vector<std::string>& lines, const std::string& part) {
        return size_t(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
    }

    lightwave_test::InFolder folder;
};

// ---- Surfaces and their triangles ---------------------------------------------------------

TEST_F(ObjectBuilder, EachSurfaceGetsTheTrianglesTaggedWithItsName) {
    lwo::Object o;
    for (int i = 0; i < 5; ++i) o.addPoint(float(i), float(i % 2), 0);
    o.addTag("Colour 1");   // real files begin with a colour tag no surface is named by
    o.setSurface(o.addTriangle(0, 1, 2), "Back");
    o.setSurface(o.addTriangle(1, 3, 2), "Front");
    o.setSurface(o.addTriangle(2, 3, 4), "Back");
    o.addSurface("Front");   // listed out of tag order
    o.addSurface("Back");
    SceneObject* object = build(o);
    ASSERT_EQ(object->surfaces.getCount(), 2);
    Surface& front = surface(*object, 1);
    Surface& back = surface(*object, 2);
    EXPECT_STREQ(front.name, "Front");
    EXPECT_STREQ(object->surfaces.at(2)->getName(), "Back");
    // Front holds points 1, 2, 3 as vertices 0, 1, 2.
    EXPECT_EQ(front.vertexCount, 3);
    EXPECT_EQ(positions(front), (std::vector<float>{1, 1, 0, 2, 0, 0, 3, 1, 0}));
    EXPECT_EQ(indices(front), (std::vector<uint16_t>{0, 2, 1}));
    EXPECT_EQ(back.vertexCount, 5);
    EXPECT_EQ(indices(back), (std::vector<uint16_t>{0, 1, 2, 2, 3, 4}));
    EXPECT_EQ(object->pointCount, 5);
    EXPECT_EQ(object->triangleCount, 3);
    delete object;
}

TEST_F(ObjectBuilder, SurfacesInTagOrderGetTheTrianglesOfTheirTagNumber) {
    lwo::Object o;
    for (int i = 0; i < 4; ++i) o.addPoint(float(i), float(i * i), 0);
    o.setSurface(o.addTriangle(0, 1, 2), "First");
    o.setSurface(o.addTriangle(1, 2, 3), "Second");
    o.setSurface(o.addTriangle(0, 2, 3), "First");
    o.addSurface("First");
    o.addSurface("Second");
    SceneObject* object = build(o);
    ASSERT_EQ(object->surfaces.getCount(), 2);
    EXPECT_EQ(indices(surface(*object, 1)), (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(indices(surface(*object, 2)), (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_EQ(surface(*object, 2).vertexCount, 3);
    delete object;
}

TEST_F(ObjectBuilder, ASurfaceNoTriangleUsesIsLoggedAndLeftOut) {
    lwo::Object o = square();
    o.addSurface("Spare");
    SceneObject* object = build(o);
    EXPECT_EQ(object->surfaces.getCount(), 1);
    EXPECT_EQ(object->surfaces.find("Spare"), nullptr);
    EXPECT_EQ(linesStartingWith("BeginStateBlock").size(), 1u);
    std::string log = folder.log();
    EXPECT_NE(log.find("objectbuilder.cpp:\nsurface 'Spare' is used by no triangle and is not built\n"), std::string::npos)
        << log;
    delete object;
}

TEST_F(ObjectBuilder, APointOfTwoSurfacesIsCopiedIntoBothWithOneSmoothNormal) {
    lwo::Object o;
    o.addPoint(0, 0, 0);
    o.addPoint(1, 0, 0);
    o.addPoint(1, 1, 0);
    o.addPoint(0, 1, 1);
    o.setSurface(o.addTriangle(0, 1, 2), "A");
    o.setSurface(o.addTriangle(0, 2, 3), "B");
    o.addSurface("A");
    o.addSurface("B");
    SceneObject* object = build(o);
    std::vector<LWPoint> a = vertices(surface(*object, 1)), b = vertices(surface(*object, 2));
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(b.size(), 3u);
    // Point 0 is vertex 0 of both, point 2 vertex 2 of A and vertex 1 of B.
    EXPECT_EQ(std::vector<float>({a[0].nx, a[0].ny, a[0].nz}), std::vector<float>({b[0].nx, b[0].ny, b[0].nz}));
    EXPECT_EQ(std::vector<float>({a[2].nx, a[2].ny, a[2].nz}), std::vector<float>({b[1].nx, b[1].ny, b[1].nz}));
    EXPECT_GT(std::fabs(a[0].ny), 0.1f) << "smoothed across both faces";
    delete object;
}

TEST_F(ObjectBuilder, UVMapCoordinatesReplaceThoseOfThePoints) {
    lwo::Object o = square();
    o.addUVMap("Texture").entries = {{2, {0.75f, 0.25f}}};
    o.addClip(folder.image(0xFFFFFF));
    lwo::TextureBlock block;
    block.image = 1;
    block.uvMap = "Texture";
    o.surface(0).blocks.push_back(block);
    SceneObject* object = build(o);
    std::vector<LWPoint> v = vertices(surface(*object, 1));
    EXPECT_FLOAT_EQ(v[2].u, 0.75f);
    EXPECT_FLOAT_EQ(v[2].v, 0.75f);
    EXPECT_EQ(v[1].u, 0.0f);
    delete object;
}

// ---- Flat shading -------------------------------------------------------------------------

TEST_F(ObjectBuilder, AFlatSurfaceGivesEachTriangleAVertexWithItsFaceNormal) {
    lwo::Object o = square("Flat");
    o.surface(0).smoothingAngle = 0.0f;
    o.addPoint(5, 5, 5);   // and a degenerate triangle of the same surface
    o.setSurface(o.addTriangle(0, 4, 4), "Flat");
    SceneObject* object = build(o);
    Surface& s = surface(*object, 1);
    const int v = 5, t = 3;
    EXPECT_EQ(s.vertexCount, v + t);
    std::vector<uint16_t> index = indices(s);
    std::vector<LWPoint> vertex = vertices(s);
    ASSERT_EQ(index.size(), size_t(3 * t));
    for (int i = 0; i < t; ++i) {
        EXPECT_EQ(index[size_t(3 * i)], v + i) << "triangle " << i << " starts at its own vertex";
        EXPECT_EQ(vertex[size_t(v + i)].x, vertex[0].x) << "a copy of its first corner, point 0";
    }
    // The square's triangles (0, 2, 1) and (0, 3, 2) face +z by (Pa - Pb) x (Pc - Pb).
    EXPECT_FLOAT_EQ(vertex[v].nz, 1.0f);
    EXPECT_FLOAT_EQ(vertex[v + 1].nz, 1.0f);
    EXPECT_EQ(vertex[v + 2].nx + vertex[v + 2].ny + vertex[v + 2].nz, 0.0f) << "no area, no NaN";
    EXPECT_EQ(index[1], 2);
    EXPECT_EQ(index[2], 1);
    EXPECT_NE(stateBlock(s)[0].find("D3DSHADE_FLAT"), std::string::npos) << stateBlock(s)[0];
    std::string log = folder.log();
    EXPECT_NE(log.find("indexbuffer.cpp:\nIndexbuffer: 9 vertices\n"), std::string::npos) << log;
    delete object;
}

TEST_F(ObjectBuilder, AFlatReflectingSurfaceKeepsSmoothVerticesButFlatShading) {
    lwo::Object o = square("Chrome");
    o.surface(0).smoothingAngle = 0.0f;
    o.surface(0).reflection = 0.5f;
    SceneObject* object = build(o);
    Surface& s = surface(*object, 1);
    EXPECT_EQ(s.vertexCount, 4);
    EXPECT_EQ(stateBlock(s)[0], "SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT)");
    EXPECT_EQ(folder.log().find("Indexbuffer:"), std::string::npos);
    delete object;
}

// ---- Buffers, state blocks and materials --------------------------------------------------

TEST_F(ObjectBuilder, StaticSurfacesGetWriteOnlyOptimisedBuffers) {
    SceneObject* object = build(square());
    std::vector<std::string> created = linesStartingWith("d3d->CreateVertexBuffer");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_NE(created[0].find("D3DVBCAPS_WRITEONLY"), std::string::npos) << created[0];
    EXPECT_EQ(count(lines(), "->Optimize("), 1u);
    std::string log = folder.log();
    EXPECT_NE(log.find("surface.cpp:\noptimized vertex buffer of surface 'Skin'\n"), std::string::npos) << log;
    EXPECT_NE(log.find("objectbuilder.cpp:\nobject object.lwo: vertices: 4 faces: 2\n"), std::string::npos) << log;
    delete object;
}

TEST_F(ObjectBuilder, AnEnvironmentMappedSurfaceStaysReadable) {
    lwo::Object o = square("Chrome");
    o.addClip(folder.image(0x808080, "sky"));
    o.surface(0).reflectionImage = 1;
    o.surface(0).reflection = 0.6f;
    SceneObject* object = build(o);
    Surface& s = surface(*object, 1);
    std::vector<std::string> created = linesStartingWith("d3d->CreateVertexBuffer");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].find("WRITEONLY"), std::string::npos) << created[0];
    EXPECT_EQ(count(lines(), "->Optimize("), 0u);
    EXPECT_FALSE(s.optimisable);
    EXPECT_FLOAT_EQ(s.material->material.diffuse.a, 0.6f) << "the stage blends by the reflection level";
    std::vector<std::string> block = stateBlock(s);
    EXPECT_EQ(count(block, "SetTexture(0, texture#"), 1u);
    EXPECT_EQ(count(block, "SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATEALPHA_ADDCOLOR)"), 1u);
    EXPECT_EQ(count(block, "SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE)"), 1u);
    void* data = nullptr;
    EXPECT_EQ(s.vertexBuffer->Lock(DDLOCK_READONLY, &data, nullptr), D3D_OK);
    s.vertexBuffer->Unlock();
    delete object;
}

TEST_F(ObjectBuilder, ATexturedSurfaceRecordsItsStagesBlendingAndMaterial) {
    lwo::Object o = square("Glass");
    std::string wood = folder.image(0x806040, "wood");
    o.addClip(wood);
    lwo::Surface& s = o.surface(0);
    s.red = 0.5f, s.green = 0.25f, s.blue = 1.0f;
    s.specular = 0.3f, s.glossiness = 0.4f, s.luminosity = 0.2f, s.transparency = 0.25f, s.sidedness = 3;
    lwo::TextureBlock block;
    block.image = 1;
    s.blocks.push_back(block);
    SceneObject* object = build(o);
    Surface& glass = surface(*object, 1);
    std::vector<std::string> recorded = stateBlock(glass);
    std::vector<std::string> expected = {
        "SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD)",
        "SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, TRUE)",
        "SetTexture(0, texture#",
        "SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0)",
        "SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE)",
        "SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE)",
        "SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE)",
        "SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1)",
        "SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE)",
        "SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE)",
        "SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_INVSRCALPHA)",
        "SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_SRCALPHA)",
        "SetMaterial(",
    };
    ASSERT_EQ(recorded.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(recorded[i].rfind(expected[i], 0), 0u) << recorded[i];
    const D3DMATERIAL7& m = glass.material->material;
    EXPECT_FLOAT_EQ(m.diffuse.r, 0.5f);
    EXPECT_FLOAT_EQ(m.diffuse.b, 1.0f);
    EXPECT_FLOAT_EQ(m.diffuse.a, 0.25f) << "the transparency, as Direct3D alpha";
    EXPECT_FLOAT_EQ(m.specular.g, 0.3f);
    EXPECT_FLOAT_EQ(m.power, 6.0f) << "glossiness x 10 + 2";
    EXPECT_FLOAT_EQ(m.emissive.r, 0.2f);
    EXPECT_FLOAT_EQ(m.ambient.r, 1.0f);
    EXPECT_STREQ(glass.material->name, wood.c_str());
    EXPECT_TRUE(glass.transparent);
    EXPECT_TRUE(glass.twoSided);
    EXPECT_FALSE(glass.particle);
    delete object;
}

TEST_F(ObjectBuilder, AdditiveAndOpaqueSurfacesBlendAsTheirMaterialsSay) {
    lwo::Object o;
    for (int i = 0; i < 5; ++i) o.addPoint(float(i), float(i * i), 0);
    o.setSurface(o.addTriangle(0, 1, 2), "Glow");
    o.setSurface(o.addTriangle(1, 2, 3), "Solid");
    o.setSurface(o.addTriangle(2, 3, 4), "Mist");
    o.addSurface("Glow").additive = 1.0f;
    o.addSurface("Solid");
    o.addSurface("Mist").additive = 0.5f;
    SceneObject* object = build(o);
    Surface &glow = surface(*object, 1), &solid = surface(*object, 2), &mist = surface(*object, 3);
    EXPECT_EQ(count(stateBlock(glow), "SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE)"), 1u);
    EXPECT_TRUE(glow.material->additive);
    // Additive transparency alone leaves a transparency of 0: no depth-write exception.
    EXPECT_FALSE(glow.transparent);
    EXPECT_EQ(count(stateBlock(solid), "SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE)"), 1u);
    EXPECT_EQ(count(stateBlock(solid), "SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE)"), 1u);
    EXPECT_STREQ(solid.material->name, "color");
    EXPECT_EQ(count(stateBlock(mist), "SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_SRCALPHA)"), 1u);
    EXPECT_FALSE(mist.material->additive);
    delete object;
}

TEST_F(ObjectBuilder, ABaseTextureWithAReflectionUsesTwoStagesAndHalfTheLevel) {
    lwo::Object o = square("Car");
    o.addClip(folder.image(0xFF0000, "paint"));
    o.addClip(folder.image(0x0000FF, "sky"));
    o.surface(0).reflectionImage = 2;
    o.surface(0).reflection = 0.8f;
    lwo::TextureBlock block;
    block.image = 1;
    o.surface(0).blocks.push_back(block);
    SceneObject* object = build(o);
    Surface& car = surface(*object, 1);
    std::vector<std::string> block1 = stateBlock(car);
    EXPECT_EQ(count(block1, "SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDDIFFUSEALPHA)"), 1u);
    EXPECT_EQ(count(block1, "SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR | 1)"), 1u)
        << ::testing::PrintToString(block1);
    EXPECT_EQ(count(block1, "SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE)"), 1u);
    EXPECT_FLOAT_EQ(car.material->reflectionLevel, 0.4f);
    EXPECT_FLOAT_EQ(car.material->material.diffuse.a, 0.4f);
    EXPECT_TRUE(car.material->hasEnvironmentTexture);
    delete object;
}

// ---- The texture cache ----------------------------------------------------------------------

TEST_F(ObjectBuilder, AnImageIsLoadedOnceAndSharedByName) {
    std::string name = folder.image(0x204080, "shared");
    lwo::Object o;
    for (int i = 0; i < 4; ++i) o.addPoint(float(i), float(i * i), 0);
    o.setSurface(o.addTriangle(0, 1, 2), "A");
    o.setSurface(o.addTriangle(1, 2, 3), "B");
    o.setSurface(o.addTriangle(0, 2, 3), "C");
    o.addClip(name);
    o.addClip("./" + name);
    lwo::TextureBlock first, second;
    first.image = 1;
    second.image = 2;
    o.addSurface("A").blocks.push_back(first);
    o.addSurface("B").blocks.push_back(first);
    o.addSurface("C").blocks.push_back(second);
    SceneObject* object = build(o);
    std::string log = folder.log();
    std::regex loaded("material.cpp:\nLoaded texture '" + name + "': w4 h4 mipmaps:[0-9]+\n");
    EXPECT_TRUE(std::regex_search(log, loaded)) << log;
    EXPECT_NE(log.find("material.cpp:\nGot request on a cached texture '" + name + "'\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Loaded texture './" + name + "'"), std::string::npos) << "another spelling loads again";
    EXPECT_EQ(surface(*object, 1).material->baseTexture, surface(*object, 2).material->baseTexture);
    EXPECT_NE(surface(*object, 1).material->baseTexture, surface(*object, 3).material->baseTexture);
    EXPECT_EQ(linesStartingWith("D3DXCreateTextureFromFile").size(), 2u);
    delete object;
}

TEST_F(ObjectBuilder, AnImageThatCannotBeLoadedEndsTheProgram) {
    lwo::Object o = square();
    o.addClip("nosuch.bmp");
    lwo::TextureBlock block;
    block.image = 1;
    o.surface(0).blocks.push_back(block);
    folder.write("object.lwo", o);
    EXPECT_EXIT(SceneObject("object.lwo"), ::testing::ExitedWithCode(20), "\\?texture probably not found error");
    std::string log = folder.log();
    EXPECT_NE(log.find("material.cpp:\nTexMSys: Unable to load texture 'nosuch.bmp'\n"), std::string::npos) << log;
}

// ---- Finding object files ------------------------------------------------------------------

TEST_F(ObjectBuilder, AnObjectFoundOnlyUnderObjectsLoadsWithoutAnError) {
    mkdir("objects", 0755);
    folder.write("objects/thing.lwo", square());
    SceneObject* object = build(square(), "here.lwo");
    delete object;
    object = new SceneObject("thing.lwo");
    EXPECT_EQ(object->surfaces.getCount(), 1);
    EXPECT_STREQ(object->name, "thing.lwo");
    std::string log = folder.log();
    EXPECT_NE(log.find("object thing.lwo: vertices: 4 faces: 2\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Failed"), std::string::npos) << log;
    EXPECT_EQ(log.find("refused"), std::string::npos) << log;
    delete object;
}

TEST_F(ObjectBuilder, AMissingOrDamagedObjectIsNotFound) {
    EXPECT_EXIT(SceneObject("nothing.lwo"), ::testing::ExitedWithCode(20), "Object not found");
    std::string log = folder.log();
    EXPECT_NE(log.find("objectbuilder.cpp:\nFailed to load LWObject nothing.lwo.\n"), std::string::npos) << log;

    std::vector<uint8_t> bytes = lwo::assemble(square());
    bytes.resize(bytes.size() - 1);
    lwo::writeFile("cut.lwo", bytes);
    EXPECT_EXIT(SceneObject("cut.lwo"), ::testing::ExitedWithCode(20), "Object not found");
    log = folder.log();
    std::regex refused("LWOLoader1.cpp:\nLWOLoader: refused 'cut.lwo' at byte " + std::to_string(bytes.size()) +
                       ": [^\n]+\n\n\n>> [^\n]+objectbuilder.cpp:\nFailed to load LWObject cut.lwo.\n");
    EXPECT_TRUE(std::regex_search(log, refused)) << log;
}

TEST_F(ObjectBuilder, ASurfaceBeyondSixteenBitIndicesCannotBeBuilt) {
    lwo::Object o;
    const uint32_t points = 65538;
    for (uint32_t i = 0; i < points; ++i) o.addPoint(float(i % 256), float(i / 256), float(i % 3));
    for (uint32_t i = 0; i + 2 < points; i += 3) o.setSurface(o.addTriangle(i, i + 1, i + 2), "Huge");
    o.setSurface(o.addTriangle(points - 3, points - 2, points - 1), "Huge");
    o.addSurface("Huge");
    folder.write("huge.lwo", o);
    EXPECT_EXIT(SceneObject("huge.lwo"), ::testing::ExitedWithCode(20), "object building/loading failed");
    std::string log = folder.log();
    EXPECT_NE(log.find("surface 'Huge' needs 65538 vertices, more than 65536 that 16-bit indices reach\n"), std::string::npos)
        << log;
}

TEST_F(ObjectBuilder, AParticleSurfaceWithoutAnImageEndsTheProgram) {
    folder.write("bobs.lwo", square("shadebob"));
    EXPECT_EXIT(SceneObject("bobs.lwo"), ::testing::ExitedWithCode(20), "No texture in particle surface");
}

TEST_F(ObjectBuilder, ASurfaceNeedsAMaterialAndAnIndexBuffer) {
    EXPECT_EXIT(Surface("s", nullptr, 0, nullptr, nullptr, nullptr), ::testing::ExitedWithCode(20),
                "not a valid material for surface");
    EXPECT_EXIT(Surface("s", new Material(), 0, nullptr, nullptr, nullptr), ::testing::ExitedWithCode(20),
                "not a valid index buffer for surface");
    SceneObject* object = build(square());
    EXPECT_EXIT(object->addSurface(nullptr), ::testing::ExitedWithCode(20), "surface must be initialized");
    delete object;
}

// ---- After building ------------------------------------------------------------------------

TEST_F(ObjectBuilder, AnObjectDrivesItsPropertiesAndChannelTargets) {
    SceneObject* object = build(square());
    ASSERT_EQ(object->properties.getCount(), 2);
    EXPECT_EQ(static_cast<Property*>(object->properties.find("MorphAmount")->getData())->targets[0], &object->morphAmount);
    EXPECT_EQ(static_cast<Property*>(object->properties.find("ObjectDissolve")->getData())->targets[0], &object->dissolve);
    float* targets[9];
    object->channelTargets(targets);
    EXPECT_EQ(targets[4], &object->pitch);
    EXPECT_EQ(targets[7], &object->scale) << "one uniform scale";
    delete object;
}

TEST_F(ObjectBuilder, DestroyingAnObjectGivesBackEveryBufferAndStateBlock) {
    long before = d3d7::testing::liveObjects();
    lwo::Object o = square("Flat");
    o.surface(0).smoothingAngle = 0.0f;
    SceneObject* object = build(o);
    surface(*object, 1).makeMorphBackup();
    surface(*object, 1).makeTransformedCopy();
    EXPECT_GT(d3d7::testing::liveObjects(), before);
    DWORD block = surface(*object, 1).stateBlock;
    delete object;
    EXPECT_EQ(d3d7::testing::liveObjects(), before);
    EXPECT_EQ(linesStartingWith("DeleteStateBlock(block#" + std::to_string(block) + ")").size(), 1u);
}

TEST_F(ObjectBuilder, MorphingBlendsFromTheBackupTowardsTheTarget) {
    SceneObject* source = build(square("Skin"), "from.lwo");
    SceneObject* target = build(square("Skin", 2.0f, 4.0f), "to.lwo");
    Surface &from = surface(*source, 1), &to = surface(*target, 1);
    from.makeMorphBackup();
    EXPECT_FALSE(from.optimisable);
    from.morph(to, 0.5f);
    std::vector<float> p = positions(from);
    EXPECT_EQ(p, (std::vector<float>{1, 2, 0, 2, 2, 0, 2, 3, 0, 1, 3, 0}));
    from.morph(to, 0.0f);
    EXPECT_EQ(positions(from), (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0})) << "from the backup each time";
    EXPECT_EQ(count(lines(), "= D3DERR_VERTEXBUFFEROPTIMIZED"), 0u) << "no lock was refused";

    lwo::Object triangle;
    for (int i = 0; i < 3; ++i) triangle.addPoint(float(i), float(i * i), 0);
    triangle.setSurface(triangle.addTriangle(0, 1, 2), "Skin");
    triangle.addSurface("Skin");
    SceneObject* other = build(triangle, "other.lwo");
    EXPECT_EXIT(from.morph(surface(*other, 1), 0.5f), ::testing::ExitedWithCode(20),
                "Tried to morph surfaces with different amount of points");
    delete other;
    delete target;
    delete source;
}

TEST_F(ObjectBuilder, AParticleSurfaceIsTransformedToTheScreenEveryFrame) {
    lwo::Object o = square("shadebob");
    o.addClip(folder.image(0xFFFFFF, "bob"));
    lwo::TextureBlock block;
    block.image = 1;
    o.surface(0).blocks.push_back(block);
    SceneObject* object = build(o);
    Surface& bobs = surface(*object, 1);
    EXPECT_TRUE(bobs.particle);
    EXPECT_EQ(bobs.vertexCount, 4) << "particles are not made flat";
    bobs.makeTransformedCopy();
    bobs.makeTransformedCopy();
    D3DVERTEXBUFFERDESC description;
    description.dwSize = sizeof description;
    bobs.transformedVertexBuffer->GetVertexBufferDesc(&description);
    EXPECT_EQ(description.dwFVF, DWORD(0x1C4));
    EXPECT_EQ(description.dwNumVertices, 4u);
    EXPECT_EQ(count(lines(), "->ProcessVertices(D3DVOP_TRANSFORM | D3DVOP_CLIP, 0, 4, "), 2u);
    delete object;
}

}  // namespace
