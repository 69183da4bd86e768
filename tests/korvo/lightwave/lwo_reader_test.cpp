// The LWO2 reader on objects written by the project's LWO2 writer, on damaged copies of them,
// and on the real objects of the shared test data.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lightwave/LWOLoader1.h"
#include "lightwave_test_support.h"
#include "lwo_writer.h"
#include "shell/debuglog.h"
#include "support.h"

namespace {

namespace lwo = content::lwo;
using testing_support::readFile;
using testing_support::TempDir;
using Kind = LWOError::Kind;
using lightwave_test::square;

struct Read {
    std::unique_ptr<LWObject> object;
    LWOError error;
};

Read read(const std::vector<uint8_t>& bytes) {
    Read r;
    r.object.reset(LWOLoader::read("test.lwo", bytes.data(), bytes.size(), &r.error));
    return r;
}

Read read(const lwo::Object& object) { return read(lwo::assemble(object)); }

const Tsurface& surface(const LWObject& object, int position) {
    return *static_cast<const Tsurface*>(object.surfaces.at(position)->getData());
}

// ---- What the reader keeps ----------------------------------------------------------------

TEST(LWOReader, KeepsPointsTrianglesTagsAndEverySurfaceParameter) {
    lwo::Object o = square();
    o.addClip("images/wood.bmp");
    o.addClip("images/sky.bmp");
    lwo::UVMap& map = o.addUVMap("Texture");
    map.entries = {{0, {0.0f, 0.25f}}, {2, {1.0f, 1.0f}}};
    lwo::Surface& s = o.surface(0);
    s.red = 0.5f, s.green = 0.25f, s.blue = 1.0f;
    s.diffuse = 0.9f, s.specular = 0.3f, s.reflection = 0.2f, s.glossiness = 0.6f, s.luminosity = 0.1f;
    s.transparency = 0.4f, s.smoothingAngle = 0.0f, s.sidedness = 3, s.reflectionImage = 2;
    lwo::TextureBlock block;
    block.image = 1;
    block.uvMap = "Texture";
    s.blocks.push_back(block);

    Read r = read(o);
    ASSERT_TRUE(r.object) << r.error.message;
    const LWObject& object = *r.object;
    EXPECT_EQ(object.pointCount, 4);
    EXPECT_EQ(object.triangleCount, 2);
    EXPECT_FLOAT_EQ(object.points[2].x, 1.0f);
    EXPECT_FLOAT_EQ(object.points[2].y, 1.0f);
    EXPECT_EQ(object.triangles[1].corner[1], 3u);
    EXPECT_EQ(object.triangles[1].tag, 0);
    ASSERT_EQ(object.tags.getCount(), 1);
    EXPECT_STREQ(object.tagName(0), "Skin");
    ASSERT_EQ(object.clips.getCount(), 2);
    EXPECT_EQ(static_cast<LWClip*>(object.clips.at(2)->getData())->fileName, "images/sky.bmp");

    ASSERT_EQ(object.surfaces.getCount(), 1);
    const Tsurface& t = surface(object, 1);
    EXPECT_FLOAT_EQ(t.red, 0.5f);
    EXPECT_FLOAT_EQ(t.green, 0.25f);
    EXPECT_FLOAT_EQ(t.blue, 1.0f);
    EXPECT_FLOAT_EQ(t.diffuse, 0.9f);
    EXPECT_FLOAT_EQ(t.specular, 0.3f);
    EXPECT_FLOAT_EQ(t.reflection, 0.2f);
    EXPECT_FLOAT_EQ(t.glossiness, 0.6f);
    EXPECT_FLOAT_EQ(t.luminosity, 0.1f);
    EXPECT_FLOAT_EQ(t.transparency, 0.4f);
    EXPECT_TRUE(t.transparent);
    EXPECT_EQ(t.smoothingAngle, 0.0f);
    EXPECT_EQ(t.sidedness, 3u);
    EXPECT_EQ(t.imageClip, 1);
    EXPECT_EQ(t.reflectionClip, 2);
    EXPECT_FALSE(t.staticVertices) << "a reflection image makes the vertices readable";
    EXPECT_TRUE(t.hasUVMap);
    EXPECT_EQ(t.uvMapName, "Texture");
    EXPECT_FALSE(t.particle);

    const float* uv = object.uvMap("Texture");
    ASSERT_NE(uv, nullptr);
    EXPECT_FLOAT_EQ(uv[1], 0.75f) << "v is stored as 1 - v";
    EXPECT_FLOAT_EQ(uv[4], 1.0f);
    EXPECT_FLOAT_EQ(uv[5], 0.0f);
    EXPECT_EQ(uv[2], 0.0f) << "a point the map does not name";
    EXPECT_EQ(uv[3], 0.0f);
}

TEST(LWOReader, SurfacesKeepTheirDefaultsAndTheParticleName) {
    lwo::Object o = square();
    lwo::Surface& plain = o.surface(0);
    plain.additive = 1.0f;
    o.addSurface("shadebob");
    Read r = read(o);
    ASSERT_TRUE(r.object) << r.error.message;
    const Tsurface& s = surface(*r.object, 1);
    EXPECT_TRUE(s.transparent) << "additive transparency alone";
    EXPECT_FLOAT_EQ(s.additive, 1.0f);
    EXPECT_EQ(s.imageClip, 0);
    EXPECT_EQ(s.reflectionClip, 0);
    EXPECT_TRUE(s.staticVertices);
    EXPECT_FALSE(s.hasUVMap);
    EXPECT_FALSE(s.particle);
    EXPECT_TRUE(surface(*r.object, 2).particle);
}

TEST(LWOReader, IndicesFromFF00UpTakeFourBytesAndStringsArePaddedToEvenLengths) {
    lwo::Object o;
    for (int i = 0; i <= 0x010203; ++i) o.addPoint(float(i), 0, 0);
    o.addTriangle(0x1234, 0xFF00, 0x010203);
    o.tagPolygon("SURF", 0, o.addTag("abc"));   // 3 characters and NUL: 4 bytes
    o.addTag("abcd");                            // 4 characters, NUL and pad: 6 bytes
    o.addTag("x");
    Read r = read(o);
    ASSERT_TRUE(r.object) << r.error.message;
    EXPECT_EQ(r.object->triangles[0].corner[0], 0x1234u);
    EXPECT_EQ(r.object->triangles[0].corner[1], 0xFF00u);
    EXPECT_EQ(r.object->triangles[0].corner[2], 0x010203u);
    ASSERT_EQ(r.object->tagNames.size(), 3u);
    EXPECT_STREQ(r.object->tagName(1), "abcd");
    EXPECT_STREQ(r.object->tagName(2), "x");
}

TEST(LWOReader, FlagBitsOfAPolygonAndOtherPolygonTagsAreLeftAlone) {
    lwo::Object o = square();
    o.addTriangle(1, 2, 3, 0x3F);   // every flag bit set
    o.setSurface(2, "Skin");
    uint16_t part = o.addTag("Part 1");
    for (uint32_t t = 0; t < 3; ++t) o.tagPolygon("PART", t, part);
    o.tagPolygon("SMGP", 0, part);
    Read r = read(o);
    ASSERT_TRUE(r.object) << r.error.message;
    EXPECT_EQ(r.object->triangleCount, 3);
    for (const LWTriangle& t : r.object->triangles) EXPECT_EQ(t.tag, 0) << "the SURF tags stand";
}

TEST(LWOReader, ClipsAreNumberedByFileOrderNotByTheirOwnIndex) {
    lwo::Object o = square();
    o.addClip("first.bmp", 7);
    o.addClip("second.bmp", 9);
    lwo::TextureBlock block;
    block.image = 2;
    o.surface(0).blocks.push_back(block);
    Read r = read(o);
    ASSERT_TRUE(r.object) << r.error.message;
    int clip = surface(*r.object, 1).imageClip;
    EXPECT_EQ(clip, 2);
    EXPECT_EQ(static_cast<LWClip*>(r.object->clips.at(clip)->getData())->fileName, "second.bmp");
}

TEST(LWOReader, ABlockHeaderNamesTheMapUntilAVmapSubChunkDoes) {
    lwo::Object o = square();
    lwo::TextureBlock planar;   // no VMAP sub-chunk: the header's ordinal is all there is
    planar.ordinal = "\x80\x01";
    planar.projection = 0;
    o.surface(0).blocks.push_back(planar);
    Read r = read(o);
    ASSERT_TRUE(r.object);
    EXPECT_TRUE(surface(*r.object, 1).hasUVMap);
    EXPECT_EQ(surface(*r.object, 1).uvMapName, "\x80\x01");
    EXPECT_EQ(r.object->uvMap("\x80\x01"), nullptr);
}

TEST(LWOReader, PerCornerCoordinatesReachOnlyTheMapsReadBeforeThem) {
    lwo::Object o = square();
    o.addUVMap("early");
    uint16_t corners = o.addTag("0.1 0.2 0.3 0.4 0.5 0.6");
    o.tagPolygon("TXUV", 1, corners);
    std::vector<lwo::Chunk> chunks = o.chunks();
    lwo::UVMap late{"late", {}};
    chunks.push_back(lwo::uvMapChunk(late));   // after the PTAG chunks
    Read r = read(lwo::assemble(chunks));
    ASSERT_TRUE(r.object) << r.error.message;
    const float* early = r.object->uvMap("early");
    // Triangle 1 is (0, 3, 2): its corners get (0.1, 1 - 0.2), (0.3, 1 - 0.4), (0.5, 1 - 0.6).
    EXPECT_FLOAT_EQ(early[0], 0.1f);
    EXPECT_FLOAT_EQ(early[1], 0.8f);
    EXPECT_FLOAT_EQ(early[6], 0.3f);
    EXPECT_FLOAT_EQ(early[7], 0.6f);
    EXPECT_FLOAT_EQ(early[4], 0.5f);
    EXPECT_FLOAT_EQ(early[5], 0.4f);
    const float* later = r.object->uvMap("late");
    for (int i = 0; i < 8; ++i) EXPECT_EQ(later[i], 0.0f) << i;
}

TEST(LWOReader, GradientStartAndEndAreEchoed) {
    lwo::Object o = square();
    lwo::TextureBlock block;
    lwo::IffBuffer value;
    value.f4(0.5f);
    block.extra = {{"GRST", value.data()}, {"GREN", value.data()}};
    o.surface(0).blocks.push_back(block);
    ::testing::internal::CaptureStdout();
    Read r = read(o);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "<0.500000>\n<0.500000>\n");
    EXPECT_TRUE(r.object);
}

// ---- Normals ------------------------------------------------------------------------------

TEST(LWOReader, PointNormalsAreTheNormalisedSumOfTheirFacesUnitNormals) {
    // Two triangles folded 90 degrees along the edge from (0,0,0) to (0,1,0).
    lwo::Object o;
    o.addPoint(0, 0, 0);
    o.addPoint(0, 1, 0);
    o.addPoint(1, 0, 0);
    o.addPoint(0, 0, 1);
    o.addTriangle(0, 1, 2);   // in the z = 0 plane
    o.addTriangle(3, 1, 0);   // in the x = 0 plane
    o.addPoint(5, 5, 5);      // used by no triangle
    o.addTriangle(0, 0, 1);   // no area
    Read r = read(o);
    ASSERT_TRUE(r.object) << r.error.message;
    const std::vector<LWPoint>& p = r.object->points;
    // (p0 - p1) x (p2 - p1) = (0,-1,0) x (1,-1,0) = (0, 0, 1) for the first, and
    // (0,-1,1) x (0,-1,0) = (1, 0, 0) for the second.
    EXPECT_NEAR(p[2].nz, 1.0f, 1e-6);
    EXPECT_NEAR(p[3].nx, 1.0f, 1e-6);
    const float h = std::sqrt(0.5f);
    EXPECT_NEAR(p[0].nx, h, 1e-6);
    EXPECT_NEAR(p[0].ny, 0.0f, 1e-6);
    EXPECT_NEAR(p[0].nz, h, 1e-6);
    EXPECT_EQ(p[4].nx, 0.0f);
    EXPECT_EQ(p[4].ny, 0.0f);
    EXPECT_EQ(p[4].nz, 0.0f);
    for (const LWPoint& point : p) EXPECT_FALSE(std::isnan(point.nx + point.ny + point.nz));
}

TEST(LWOReader, StorageGrowsPastSixTrianglesAPointAndFiftySurfaces) {
    lwo::Object o;
    uint32_t centre = o.addPoint(0, 0, 0);
    const int around = 20, surfaces = 60;
    for (int i = 0; i < around; ++i) o.addPoint(std::cos(float(i)), std::sin(float(i)), 0);
    for (int i = 0; i < around; ++i) o.addTriangle(centre, 1 + uint32_t(i), 1 + uint32_t((i + 1) % around));
    for (int s = 0; s < surfaces; ++s) {
        std::string name = "surface " + std::to_string(s);
        o.addTag(name);
        o.addSurface(name);
    }
    for (int i = 0; i < around; ++i) o.tagPolygon("SURF", uint32_t(i), uint16_t(surfaces - 1 - i));
    Read r = read(o);
    ASSERT_TRUE(r.object) << r.error.message;
    EXPECT_EQ(r.object->surfaces.getCount(), surfaces);
    std::vector<std::vector<uint32_t>> triangles = r.object->trianglesBySurface();
    EXPECT_EQ(triangles[surfaces - 1], std::vector<uint32_t>{0});
    EXPECT_EQ(triangles[surfaces - around], std::vector<uint32_t>{around - 1});
    EXPECT_TRUE(triangles[0].empty());
    EXPECT_NEAR(r.object->points[centre].nz, -1.0f, 1e-5) << "counter-clockwise seen from +z faces -z";
}

TEST(LWOReader, SurfacesTakeTheTrianglesTaggedWithTheirName) {
    lwo::Object o;
    for (int i = 0; i < 5; ++i) o.addPoint(float(i), float(i * i), 0);
    o.addTag("Colour 3");   // a tag no surface is named by
    o.addTag("Body");
    o.addTag("Glass");
    o.addTag("Body");   // the same string twice
    for (uint16_t tag : {1, 2, 0, 3, 1}) o.tagPolygon("SURF", o.addTriangle(0, 1, 2), tag);
    o.addTriangle(2, 3, 4);   // untagged
    o.addSurface("Glass");
    o.addSurface("Body");
    o.addSurface("Body");     // a second surface of the name gets nothing
    o.addSurface("Unused");
    Read r = read(o);
    ASSERT_TRUE(r.object) << r.error.message;
    std::vector<std::vector<uint32_t>> triangles = r.object->trianglesBySurface();
    ASSERT_EQ(triangles.size(), 4u);
    EXPECT_EQ(triangles[0], std::vector<uint32_t>{1});
    EXPECT_EQ(triangles[1], (std::vector<uint32_t>{0, 3, 4}));
    EXPECT_TRUE(triangles[2].empty());
    EXPECT_TRUE(triangles[3].empty());
    EXPECT_EQ(r.object->triangles[5].tag, -1);
}

// ---- Files the player cannot draw ---------------------------------------------------------

struct Unsupported {
    const char* name;
    std::string chunk;
    std::vector<uint8_t> body;
    const char* message;
};

std::vector<Unsupported> unsupportedFiles() {
    auto body = [](auto fill) {
        lwo::IffBuffer b;
        fill(b);
        return b.data();
    };
    return {
        {"patches", "POLS", body([](lwo::IffBuffer& b) { b.id4("PTCH"); b.u2(3); b.vx(0); b.vx(1); b.vx(2); }),
         "Unknown polygon type"},
        {"quad", "POLS", body([](lwo::IffBuffer& b) { b.id4("FACE"); b.u2(4); for (int i = 0; i < 4; ++i) b.vx(uint32_t(i)); }),
         "only 3 vertices per polygon supported"},
        {"weights", "VMAP", body([](lwo::IffBuffer& b) { b.id4("WGHT"); b.u2(1); b.s0("w"); }),
         "Only TXUV VMAPs supported"},
        {"3d map", "VMAP", body([](lwo::IffBuffer& b) { b.id4("TXUV"); b.u2(3); b.s0("uvw"); }),
         "only 2 dimensional texture coordinates supported"},
    };
}

std::vector<uint8_t> withChunk(const std::string& id, const std::vector<uint8_t>& body) {
    lwo::Object o;
    for (int i = 0; i < 4; ++i) o.addPoint(float(i), 0, 0);
    std::vector<lwo::Chunk> chunks = o.chunks();
    chunks.push_back({id, body});
    return lwo::assemble(chunks);
}

TEST(LWOReader, PolygonsAndMapsThePlayerCannotDrawAreReportedAsSuch) {
    for (const Unsupported& u : unsupportedFiles()) {
        Read r = read(withChunk(u.chunk, u.body));
        EXPECT_FALSE(r.object) << u.name;
        EXPECT_EQ(r.error.kind, Kind::unsupported) << u.name;
        EXPECT_EQ(r.error.message, u.message) << u.name;
    }
}

TEST(LWOReaderDeathTest, PolygonsAndMapsThePlayerCannotDrawEndIt) {
    TempDir dir;
    for (const Unsupported& u : unsupportedFiles()) {
        std::string path = dir.file(std::string(u.name) + ".lwo");
        lwo::writeFile(path, withChunk(u.chunk, u.body));
        EXPECT_EXIT(LWOLoader::loadObject(path.c_str()), ::testing::ExitedWithCode(20), u.message) << u.name;
    }
}

// ---- Files that are not LWO2 objects, and damaged ones ------------------------------------

class LWOReaderLog : public ::testing::Test {
protected:
    void SetUp() override { debugLog.open(dir.file("debug.log")); }
    void TearDown() override {
        if (debugLog.is_open()) debugLog.close();
    }
    std::string log() {
        debugLog.close();
        return readFile(dir.file("debug.log"));
    }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        lwo::writeFile(dir.file(name), bytes);
        return dir.file(name);
    }
    TempDir dir;
};

TEST_F(LWOReaderLog, FilesThatAreNoObjectAreLoggedAndGiveNothing) {
    std::vector<uint8_t> lwob = lwo::assemble(square().chunks(), "LWOB");
    std::vector<uint8_t> text{'h', 'e', 'l', 'l', 'o'};
    EXPECT_EQ(LWOLoader::loadObject(write("old.lwo", lwob).c_str()), nullptr);
    EXPECT_EQ(LWOLoader::loadObject(write("text.lwo", text).c_str()), nullptr);
    EXPECT_EQ(LWOLoader::loadObject(dir.file("missing.lwo").c_str()), nullptr);
    EXPECT_EQ(LWOLoader::loadObject(""), nullptr);
    std::string text_ = log();
    EXPECT_NE(text_.find("LWOLoader1.cpp:\nNot a lightwave object (Missing LWO2 tag)\n"), std::string::npos) << text_;
    EXPECT_NE(text_.find("LWOLoader1.cpp:\nLWOLoader: Not an IFF file (Missing FORM tag)\n"), std::string::npos) << text_;
    // A file that cannot be opened, or no name, gives nothing without a word.
    EXPECT_EQ(text_.find(">>", text_.find("Missing FORM") ), std::string::npos) << text_;
}

struct Damage {
    const char* name;
    std::vector<uint8_t> bytes;
    size_t offset;
    const char* message;
};

std::vector<Damage> damagedFiles() {
    std::vector<Damage> cases;
    std::vector<size_t> at;
    auto chunksOf = [](lwo::Object o) { return o.chunks(); };
    auto find = [](const std::vector<lwo::Chunk>& chunks, const std::string& id) {
        for (size_t i = 0; i < chunks.size(); ++i)
            if (chunks[i].id == id) return i;
        return chunks.size();
    };

    {   // a triangle naming point 4 of 4
        lwo::Object o = square();
        o.addTriangle(1, 2, 4);
        std::vector<lwo::Chunk> chunks = chunksOf(o);
        std::vector<uint8_t> bytes = lwo::assemble(chunks, "LWO2", &at);
        size_t pols = at[find(chunks, "POLS")];
        cases.push_back({"point beyond PNTS", bytes, pols + 12 + 2 * 8 + 2 + 4, "point 4 is beyond the 4 points"});
    }
    {   // a SURF tag naming tag 1 of 1
        lwo::Object o = square();
        o.tagPolygon("SURF", 1, 1);
        std::vector<lwo::Chunk> chunks = chunksOf(o);
        std::vector<uint8_t> bytes = lwo::assemble(chunks, "LWO2", &at);
        size_t ptag = at[find(chunks, "PTAG")];
        cases.push_back({"tag beyond TAGS", bytes, ptag + 12 + 2 * 4 + 2, "tag 1 is beyond the 1 tags"});
    }
    {   // a polygon tag naming triangle 2 of 2
        lwo::Object o = square();
        o.tagPolygon("SURF", 2, 0);
        std::vector<lwo::Chunk> chunks = chunksOf(o);
        std::vector<uint8_t> bytes = lwo::assemble(chunks, "LWO2", &at);
        size_t ptag = at[find(chunks, "PTAG")];
        cases.push_back({"triangle beyond POLS", bytes, ptag + 12 + 2 * 4, "polygon 2 is beyond the 2 polygons"});
    }
    {   // a UV map naming point 9
        lwo::Object o = square();
        o.addUVMap("map").entries = {{1, {0, 0}}, {9, {0, 0}}};
        std::vector<lwo::Chunk> chunks = chunksOf(o);
        std::vector<uint8_t> bytes = lwo::assemble(chunks, "LWO2", &at);
        size_t vmap = at[find(chunks, "VMAP")];
        cases.push_back({"map point beyond PNTS", bytes, vmap + 8 + 4 + 2 + 4 + 10, "point 9 is beyond the 4 points"});
    }
    {   // an image block naming clip 2 of 1
        lwo::Object o = square();
        o.addClip("a.bmp");
        lwo::TextureBlock block;
        block.image = 2;
        o.surface(0).blocks.push_back(block);
        std::vector<lwo::Chunk> chunks = chunksOf(o);
        std::vector<uint8_t> bytes = lwo::assemble(chunks, "LWO2", &at);
        const std::vector<uint8_t>& surf = chunks[find(chunks, "SURF")].body;
        const uint8_t imag[4] = {'I', 'M', 'A', 'G'};
        size_t inside = size_t(std::search(surf.begin(), surf.end(), imag, imag + 4) - surf.begin());
        cases.push_back({"clip beyond CLIP", bytes, at[find(chunks, "SURF")] + 8 + inside,
                         "surface 'Skin' names clip 2, beyond the 1 clips"});
    }
    {   // a sub-chunk longer than its surface
        lwo::Object o = square();
        std::vector<lwo::Chunk> chunks = chunksOf(o);
        size_t surf = find(chunks, "SURF");
        std::vector<uint8_t>& body = chunks[surf].body;
        const uint8_t side[4] = {'S', 'I', 'D', 'E'};
        size_t inside = size_t(std::search(body.begin(), body.end(), side, side + 4) - body.begin());
        body[inside + 5] = 100;
        std::vector<uint8_t> bytes = lwo::assemble(chunks, "LWO2", &at);
        cases.push_back({"sub-chunk longer than its chunk", bytes, at[surf] + 8 + inside,
                         "the SIDE sub-chunk of 100 bytes runs past the end of the SURF chunk"});
    }
    {   // a chunk longer than the file
        lwo::Object o = square();
        std::vector<lwo::Chunk> chunks = chunksOf(o);
        std::vector<uint8_t> bytes = lwo::assemble(chunks, "LWO2", &at);
        size_t pnts = at[find(chunks, "PNTS")];
        bytes[pnts + 4] = 0x7F;
        cases.push_back({"chunk longer than the file", bytes, pnts, "the PNTS chunk of 2130706480 bytes runs past the end of the file"});
    }
    {   // a file cut short
        std::vector<uint8_t> bytes = lwo::assemble(square());
        bytes.resize(bytes.size() - 3);
        cases.push_back({"truncated file", bytes, bytes.size(), "the file ends at byte"});
    }
    {   // a second layer
        lwo::Object o = square();
        std::vector<lwo::Chunk> chunks = chunksOf(o);
        chunks.push_back(chunks[find(chunks, "PNTS")]);
        std::vector<uint8_t> bytes = lwo::assemble(chunks, "LWO2", &at);
        cases.push_back({"second PNTS", bytes, at.back(), "objects of several layers are not read"});
    }
    return cases;
}

TEST(LWOReader, ManyMapsOfManyPointsAreRefusedBeforeTheyTakeUnboundedMemory) {
    lwo::Object o;
    const int points = 1 << 19;   // a map of them takes 4 MB, 32 maps 128 MB
    for (int i = 0; i < points; ++i) o.addPoint(float(i), 0, 0);
    std::vector<lwo::Chunk> chunks = o.chunks();
    for (int i = 0; i < 32; ++i) chunks.push_back(lwo::uvMapChunk({"map " + std::to_string(i), {{0, {0, 0}}}}));
    EXPECT_TRUE(read(lwo::assemble(chunks)).object) << "32 maps";
    chunks.push_back(lwo::uvMapChunk({"one too many", {}}));
    std::vector<size_t> at;
    Read r = read(lwo::assemble(chunks, "LWO2", &at));
    EXPECT_FALSE(r.object);
    EXPECT_EQ(r.error.offset, at.back());
    EXPECT_EQ(r.error.message, "UV maps of 524288 points each need more than 128 MB");
}

TEST(LWOReader, DamagedFilesAreRefusedWithTheOffsetOfTheDamage) {
    for (const Damage& d : damagedFiles()) {
        Read r = read(d.bytes);
        EXPECT_FALSE(r.object) << d.name;
        EXPECT_EQ(r.error.kind, Kind::damaged) << d.name;
        EXPECT_EQ(r.error.offset, d.offset) << d.name << ": " << r.error.message;
        EXPECT_NE(r.error.message.find(d.message), std::string::npos) << d.name << ": " << r.error.message;
    }
}

TEST_F(LWOReaderLog, ADamagedFileIsLoggedWithItsNameAndOffset) {
    Damage d = damagedFiles()[0];
    std::string path = write("broken.lwo", d.bytes);
    EXPECT_EQ(LWOLoader::loadObject(path.c_str()), nullptr);
    std::string expected = "LWOLoader1.cpp:\nLWOLoader: refused '" + path + "' at byte " + std::to_string(d.offset) +
                           ": point 4 is beyond the 4 points\n";
    std::string text = log();
    EXPECT_NE(text.find(expected), std::string::npos) << text;
}

// Every prefix of a file is refused, and every byte changed gives an object or a refusal:
// never a read outside the file (the sanitizer run checks that).
TEST(LWOReader, CutOrChangedAnywhereAFileIsReadOrRefusedSafely) {
    lwo::Object o = square();
    o.addClip("a.bmp");
    o.addUVMap("map").entries = {{1, {0.5f, 0.5f}}};
    lwo::TextureBlock block;
    block.image = 1;
    block.uvMap = "map";
    o.surface(0).blocks.push_back(block);
    o.tagPolygon("TXUV", 0, o.addTag("0 0 1 0 1 1"));
    std::vector<uint8_t> bytes = lwo::assemble(o);
    ASSERT_TRUE(read(bytes).object);
    for (size_t size = 0; size < bytes.size(); ++size) {
        Read r = read(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(size)));
        EXPECT_FALSE(r.object) << size;
        EXPECT_EQ(r.error.kind, size < 4 ? Kind::notIFF : Kind::damaged) << size;
        EXPECT_LE(r.error.offset, size) << size;
    }
    for (size_t i = 0; i < bytes.size(); ++i)
        for (uint8_t change : {0x01, 0x80, 0xFF}) {
            std::vector<uint8_t> changed = bytes;
            changed[i] ^= change;
            Read r = read(changed);
            if (!r.object) {
                EXPECT_LE(r.error.offset, changed.size()) << i;
            }
        }
}

// ---- Real objects -------------------------------------------------------------------------

TEST(LWOReaderRealFiles, TriangleOnlyObjectsLoadAndTheOthersAreRefused) {
    std::string root = testing_support::sharedTestdata();
    if (root.empty()) GTEST_SKIP() << "../shared/testdata is not here";
    root += "/lightwave/";
    struct Expectation {
        const char* file;
        Kind kind;
        const char* message;
    };
    const Expectation expectations[] = {
        {"assimp/models-nonbsd/LWO/LWO2/rifle.lwo", Kind::none, ""},
        {"threeLwoLoader/lwo2.lwo", Kind::none, ""},
        {"assimp/models/LWO/LWO2/Subdivision.lwo", Kind::unsupported, "Unknown polygon type"},
        {"assimp/models/LWO/LWO2/UglyVertexColors.lwo", Kind::unsupported, "Only TXUV VMAPs supported"},
        {"assimp/models/LWO/LWO2/hierarchy.lwo", Kind::unsupported, "only 3 vertices per polygon supported"},
        {"assimp/models/LWO/LWO2/uvtest.lwo", Kind::unsupported, "only 3 vertices per polygon supported"},
        {"assimp/models/LWO/LWOB/sphere_with_mat_gloss_10pc.lwo", Kind::notLWO2, "Not a lightwave object (Missing LWO2 tag)"},
        {"assimp/models/LWS/simple_cube.lwo", Kind::unsupported, "only 3 vertices per polygon supported"},
        {"blender-import-lwo/LWO3/box/box0.lwo", Kind::notLWO2, "Not a lightwave object (Missing LWO2 tag)"},
        {"lwoloader/models/Objects/LWO2/sign.lwo", Kind::unsupported, "Only TXUV VMAPs supported"},
        {"renderstack/res/Objects/boxi.lwo", Kind::unsupported, "only 3 vertices per polygon supported"},
        {"we3d/virus.lwo", Kind::unsupported, "Only TXUV VMAPs supported"},
    };
    for (const Expectation& e : expectations) {
        std::string bytes = readFile(root + e.file);
        ASSERT_FALSE(bytes.empty()) << e.file;
        Read r = read(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        EXPECT_EQ(r.error.kind, e.kind) << e.file << ": " << r.error.message;
        EXPECT_EQ(r.error.message, e.message) << e.file;
    }

    Read rifle = read([&] {
        std::string bytes = readFile(root + "assimp/models-nonbsd/LWO/LWO2/rifle.lwo");
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }());
    ASSERT_TRUE(rifle.object);
    EXPECT_EQ(rifle.object->pointCount, 337);
    EXPECT_EQ(rifle.object->triangleCount, 572);
    ASSERT_EQ(rifle.object->surfaces.getCount(), 1);
    EXPECT_EQ(rifle.object->trianglesBySurface()[0].size(), 572u);
    EXPECT_EQ(surface(*rifle.object, 1).imageClip, 0) << "its block names clip 0: no image";
    ASSERT_EQ(rifle.object->clips.getCount(), 1);
    EXPECT_EQ(static_cast<LWClip*>(rifle.object->clips.first()->getData())->fileName, "../../3DS/m_rifl.bmp");
    EXPECT_EQ(rifle.object->uvMaps.getCount(), 1);
    for (const LWPoint& p : rifle.object->points) EXPECT_NEAR(p.nx * p.nx + p.ny * p.ny + p.nz * p.nz, 1.0f, 1e-4);
}

}  // namespace
