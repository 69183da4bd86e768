// The conversion on objects made by the writer: what comes out is read back with korvo's own
// reader, so every check is of what korvo will draw.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "lightwave/LWOLoader1.h"
#include "lwo_convert.h"
#include "lwo_writer.h"

namespace {

namespace lwo = content::lwo;
using lwo_convert::Result;
using Status = Result::Status;
using Corners = std::vector<std::array<uint32_t, 3>>;

Result convert(const std::vector<uint8_t>& bytes, int layer = -1) {
    lwo_convert::Options options;
    options.layer = layer;
    return lwo_convert::convert(bytes.data(), bytes.size(), options);
}

Result convert(const lwo::Object& object, int layer = -1) { return convert(lwo::assemble(object), layer); }

std::unique_ptr<LWObject> read(const std::vector<uint8_t>& bytes) {
    LWOError error;
    std::unique_ptr<LWObject> object(LWOLoader::read("test", bytes.data(), bytes.size(), &error));
    EXPECT_TRUE(object) << error.message << " at " << error.offset;
    return object;
}

// The converted object as korvo reads it; fails the test when it was refused.
std::unique_ptr<LWObject> converted(const Result& result) {
    EXPECT_EQ(result.status, Status::converted) << result.error;
    if (result.status != Status::converted) return nullptr;
    return read(result.bytes);
}

Corners corners(const LWObject& object) {
    Corners out;
    for (const LWTriangle& t : object.triangles) out.push_back({t.corner[0], t.corner[1], t.corner[2]});
    return out;
}

std::vector<std::string> surfaceTags(const LWObject& object) {
    std::vector<std::string> out;
    for (const LWTriangle& t : object.triangles) out.push_back(object.tagName(t.tag) ? object.tagName(t.tag) : "-");
    return out;
}

bool hasNote(const Result& result, const std::string& line) {
    return std::find(result.notes.begin(), result.notes.end(), line) != result.notes.end();
}

std::vector<float> positions(const LWObject& object) {
    std::vector<float> out;
    for (const LWPoint& p : object.points) out.insert(out.end(), {p.x, p.y, p.z});
    return out;
}

// The (u, v) pairs of a UV map as korvo keeps them (v turned over).
std::vector<float> uvs(const LWObject& object, const char* name) {
    const float* map = object.uvMap(name);
    EXPECT_TRUE(map) << name;
    return map ? std::vector<float>(map, map + 2 * size_t(object.pointCount)) : std::vector<float>();
}

double triangleArea(const LWObject& object, const LWTriangle& t, std::array<double, 3>* normal = nullptr) {
    const LWPoint &a = object.points[t.corner[0]], &b = object.points[t.corner[1]], &c = object.points[t.corner[2]];
    double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    std::array<double, 3> n{uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
    if (normal) *normal = n;
    return std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]) / 2;
}

// An object of one polygon of surface `name` through the points given, in order.
lwo::Object polygon(const std::vector<std::array<float, 3>>& points, const std::string& name, uint16_t flags = 0) {
    lwo::Object o;
    std::vector<uint32_t> corners;
    for (const auto& p : points) corners.push_back(o.addPoint(p[0], p[1], p[2]));
    o.setSurface(o.addPolygon(corners, flags), name);
    o.addSurface(name);
    return o;
}

// ---- Polygons become triangles ------------------------------------------------------------

TEST(LwoConvert, AQuadBecomesTwoTrianglesOfItsSurface) {
    Result result = convert(polygon({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, "Tile"));
    auto object = converted(result);
    ASSERT_TRUE(object);
    EXPECT_EQ(result.notes, (std::vector<std::string>{"made 2 triangles of 1 polygon (1 of four or more corners)"}));
    EXPECT_EQ(positions(*object), (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}));
    EXPECT_EQ(corners(*object), (Corners{{0, 1, 2}, {0, 2, 3}}));
    EXPECT_EQ(surfaceTags(*object), (std::vector<std::string>{"Tile", "Tile"}));
    EXPECT_EQ(object->trianglesBySurface(), (std::vector<std::vector<uint32_t>>{{0, 1}}));
    EXPECT_EQ(result.points, 4u);
    EXPECT_EQ(result.triangles, 2u);
    EXPECT_EQ(result.surfaces, 1u);
}

TEST(LwoConvert, AConcaveQuadIsCutAlongTheDiagonalInsideIt) {
    // A dart in the plane y = 5: corner 3 points inwards, so the fan from corner 0 would cover
    // the notch. Corner 1's triangle holds corner 3; corner 2's is the first ear.
    auto object = converted(convert(polygon({{0, 5, 0}, {2, 5, 1}, {0, 5, 2}, {1, 5, 1}}, "Dart")));
    ASSERT_TRUE(object);
    EXPECT_EQ(corners(*object), (Corners{{1, 2, 3}, {0, 1, 3}}));
}

TEST(LwoConvert, AConcaveStarInATiltedPlaneIsCoveredExactlyWithItsOwnWinding) {
    // Ten corners, starting at an inner (reflex) one, in the plane spanned by e1 and e2.
    const double e1[3] = {1 / std::sqrt(2.0), 1 / std::sqrt(2.0), 0};
    const double e2[3] = {-1 / std::sqrt(6.0), 1 / std::sqrt(6.0), 2 / std::sqrt(6.0)};
    std::vector<std::array<float, 3>> star;
    std::vector<std::array<double, 2>> flat;
    for (int i = 0; i < 10; ++i) {
        double radius = i % 2 ? 2.0 : 0.5, angle = M_PI / 5 * i;
        double x = radius * std::cos(angle), y = radius * std::sin(angle);
        flat.push_back({x, y});
        star.push_back({float(x * e1[0] + y * e2[0] + 3), float(x * e1[1] + y * e2[1]), float(x * e1[2] + y * e2[2])});
    }
    auto object = converted(convert(polygon(star, "Star")));
    ASSERT_TRUE(object);
    ASSERT_EQ(object->triangles.size(), 8u);
    double area = 0;
    for (size_t i = 0; i < flat.size(); ++i) {
        const auto &a = flat[i], &b = flat[(i + 1) % flat.size()];
        area += (a[0] * b[1] - b[0] * a[1]) / 2;
    }
    // The polygon turns about e1 x e2; every triangle must turn the same way.
    const double axis[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    double covered = 0;
    for (const LWTriangle& t : object->triangles) {
        std::array<double, 3> n;
        covered += triangleArea(*object, t, &n);
        EXPECT_GT(n[0] * axis[0] + n[1] * axis[1] + n[2] * axis[2], 0)
            << t.corner[0] << " " << t.corner[1] << " " << t.corner[2];
    }
    EXPECT_NEAR(covered, area, 1e-4) << "triangles outside the star or over one another";
}

TEST(LwoConvert, ConvexPolygonsBecomeTheFanFromTheirFirstCorner) {
    std::vector<std::array<float, 3>> hexagon;
    for (int i = 0; i < 6; ++i) hexagon.push_back({float(std::cos(i * M_PI / 3)), 0, float(std::sin(i * M_PI / 3))});
    std::vector<uint8_t> bytes = lwo::assemble(polygon(hexagon, "Hex", 5));
    auto object = converted(convert(bytes));
    ASSERT_TRUE(object);
    EXPECT_EQ(corners(*object), (Corners{{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 5}}));
    // The polygon's flag bits go with each triangle.
    Result again = convert(bytes);
    std::string pols = "POLS";
    auto at = std::search(again.bytes.begin(), again.bytes.end(), pols.begin(), pols.end()) - again.bytes.begin();
    EXPECT_EQ(again.bytes[size_t(at) + 12], uint8_t(5 << 2)) << "flags in the top 6 bits of the first vertex count";
}

TEST(LwoConvert, ShortPolygonsCurvesAndBonesAreDroppedAndTheTagsAfterThemStillFindTheirTriangles) {
    lwo::Object o;
    for (int i = 0; i < 4; ++i) o.addPoint(float(i % 2), float(i / 2), 0);
    o.setSurface(o.addPolygon({0, 1}), "Line");
    o.setSurface(o.addPolygon({0, 1, 3, 2}), "Quad");
    o.setSurface(o.addPolygon({2}), "Dot");
    o.setSurface(o.addPolygon({1, 3, 2}), "Tri");
    o.tagPolygon("PART", 3, o.addTag("Part A"));
    o.addLayer(1);
    o.addPoint(0, 0, 0);
    o.addPoint(0, 1, 0);
    o.setPolygonType("BONE");
    o.addPolygon({0, 1});
    o.addLayer(2);
    for (int i = 0; i < 3; ++i) o.addPoint(float(i), 0, 1);
    o.setPolygonType("CURV");
    o.addPolygon({0, 1, 2});
    o.addPolygon({2, 1, 0});
    for (const char* name : {"Line", "Quad", "Dot", "Tri"}) o.addSurface(name);
    Result result = convert(o);
    auto object = converted(result);
    ASSERT_TRUE(object);
    EXPECT_EQ(corners(*object), (Corners{{0, 1, 3}, {0, 3, 2}, {1, 3, 2}}));
    EXPECT_EQ(surfaceTags(*object), (std::vector<std::string>{"Quad", "Quad", "Tri"}));
    EXPECT_EQ(object->pointCount, 9);
    for (const char* line : {"dropped 2 polygons of one or two points: korvo draws triangles only",
                             "dropped 1 bone (POLS of type BONE)", "dropped 2 curves (POLS of type CURV)"})
        EXPECT_TRUE(hasNote(result, line)) << line;
    // The part tag went with the triangle made of polygon 3.
    std::string ptagPart = std::string("PTAG", 4) + std::string("\0\0\0\x08", 4) + "PART" + std::string("\0\x02\0\x04", 4);
    std::string bytes(result.bytes.begin(), result.bytes.end());
    EXPECT_NE(bytes.find(ptagPart), std::string::npos) << "PTAG PART: triangle 2, tag 4";
}

TEST(LwoConvert, DegeneratePolygonsStillGiveOneTriangleLessThanTwoCorners) {
    lwo::Object o;
    std::vector<uint32_t> line, bowTie;
    for (int i = 0; i < 5; ++i) line.push_back(o.addPoint(float(i), float(i), 0));
    for (float x : {0.0f, 1.0f, 0.0f, 1.0f}) bowTie.push_back(o.addPoint(x, float(bowTie.size() / 2), 0));
    o.setSurface(o.addPolygon(line), "Flat");
    o.setSurface(o.addPolygon({0, 1, 1, 2}), "Flat");
    o.setSurface(o.addPolygon(bowTie), "Flat");
    o.addSurface("Flat");
    auto object = converted(convert(o));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->triangles.size(), 3u + 2u + 2u);
}

// ---- Layers -------------------------------------------------------------------------------

lwo::Object twoLayers() {
    lwo::Object o;
    o.layer().name = "Base";
    for (int i = 0; i < 4; ++i) o.addPoint(float(i % 2), 0, float(i / 2));
    o.setSurface(o.addPolygon({0, 1, 3, 2}), "Base");
    o.addUVMap("UV").entries = {{0, {0, 0}}, {1, {1, 0}}, {2, {0, 1}}, {3, {1, 1}}};
    o.addLayer(1, "Roof").pivot[1] = 2;
    o.addPoint(0, 1, 0);
    o.addPoint(1, 1, 0);
    o.addPoint(0.5f, 2, 0);
    o.setSurface(o.addTriangle(0, 1, 2), "Roof");
    o.addUVMap("UV").entries = {{2, {0.5f, 0.25f}}};
    o.addSurface("Base");
    o.addSurface("Roof");
    return o;
}

TEST(LwoConvert, LayersMergeIntoOnePointListWithTheirMapsJoinedByName) {
    Result result = convert(twoLayers());
    auto object = converted(result);
    ASSERT_TRUE(object);
    EXPECT_EQ(result.notes[0], "merged 2 layers into one: 0 'Base', 1 'Roof'");
    EXPECT_EQ(positions(*object), (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 1, 0, 1, 0, 1, 1, 0, 0.5f, 2, 0}));
    EXPECT_EQ(corners(*object), (Corners{{0, 1, 3}, {0, 3, 2}, {4, 5, 6}}));
    EXPECT_EQ(object->trianglesBySurface(), (std::vector<std::vector<uint32_t>>{{0, 1}, {2}}));
    EXPECT_EQ(object->uvMaps.getCount(), 1);
    EXPECT_EQ(uvs(*object, "UV"), (std::vector<float>{0, 1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0.5f, 0.75f}));
}

TEST(LwoConvert, OneLayerCanBeKeptByItsNumber) {
    Result result = convert(twoLayers(), 1);
    auto object = converted(result);
    ASSERT_TRUE(object);
    EXPECT_EQ(result.notes, (std::vector<std::string>{"kept layer 1 of 2: 0 'Base', 1 'Roof'"}));
    EXPECT_EQ(positions(*object), (std::vector<float>{0, 1, 0, 1, 1, 0, 0.5f, 2, 0}));
    EXPECT_EQ(corners(*object), (Corners{{0, 1, 2}}));
    EXPECT_EQ(surfaceTags(*object), (std::vector<std::string>{"Roof"}));
    EXPECT_EQ(uvs(*object, "UV"), (std::vector<float>{0, 0, 0, 0, 0.5f, 0.75f}));
    // The layer kept keeps its header, as layer 0 of the new file.
    lwo::Layer header;
    header.name = "Roof";
    header.pivot[1] = 2;
    std::vector<uint8_t> layr = lwo::layerChunk(header).body;
    EXPECT_NE(std::search(result.bytes.begin(), result.bytes.end(), layr.begin(), layr.end()), result.bytes.end());

    Result missing = convert(twoLayers(), 5);
    EXPECT_EQ(missing.status, Status::noSuchLayer);
    EXPECT_EQ(missing.error, "no layer 5; its layers: 0 'Base', 1 'Roof'");
}

// ---- Vertex maps ---------------------------------------------------------------------------

TEST(LwoConvert, MapsOfOtherTypesAreDroppedEachWithANote) {
    lwo::Object o;
    for (int i = 0; i < 3; ++i) o.addPoint(float(i), float(i * i), 0);
    o.setSurface(o.addTriangle(0, 1, 2), "Skin");
    o.addSurface("Skin");
    o.addVertexMap("PICK", "Selected", 0).entries = {{1, {}}};
    o.addVertexMap("WGHT", "Weight", 1).entries = {{0, {0.5f}}};
    o.addVertexMap("RGB ", "Colour", 3).entries = {{2, {1, 0, 0}}};
    o.addVertexMap("TXUV", "Volume", 3).entries = {{2, {1, 0, 0}}};
    o.addPolygonMap("APSL", "Level", 1).entries = {{0, 0, {2}}};
    Result result = convert(o);
    auto object = converted(result);
    ASSERT_TRUE(object);
    EXPECT_EQ(result.notes, (std::vector<std::string>{
                                "dropped VMAP 'Selected' of type 'PICK': korvo reads only TXUV maps",
                                "dropped VMAP 'Weight' of type 'WGHT': korvo reads only TXUV maps",
                                "dropped VMAP 'Colour' of type 'RGB ': korvo reads only TXUV maps",
                                "dropped VMAP 'Volume' of type TXUV with 3 values per point: korvo reads two",
                                "dropped VMAD 'Level' of type 'APSL': korvo reads only TXUV maps",
                            }));
    EXPECT_EQ(corners(*object), (Corners{{0, 1, 2}}));
    EXPECT_EQ(object->uvMaps.getCount(), 0);
}

TEST(LwoConvert, PerPolygonUVsSplitPointsWhereTheCornersOfAPointDiffer) {
    // Two quads side by side; the right one's texture starts again at its left edge, which a
    // VMAD gives as other coordinates for points 1 and 4 as its corners. Point 2's VMAD entry
    // repeats what the VMAP says.
    lwo::Object o;
    for (int i = 0; i < 6; ++i) o.addPoint(float(i % 3), float(i / 3), 0);
    o.setSurface(o.addPolygon({0, 1, 4, 3}), "Left");
    o.setSurface(o.addPolygon({1, 2, 5, 4}), "Right");
    lwo::UVMap& map = o.addUVMap("UV");
    for (uint32_t i = 0; i < 6; ++i) map.entries.push_back({i, {float(i % 3) / 2, float(i / 3)}});
    o.addPolygonMap("TXUV", "UV").entries = {{1, 1, {0, 0}}, {4, 1, {0, 1}}, {2, 1, {1, 0}}};
    o.addSurface("Left");
    o.addSurface("Right");
    Result result = convert(o);
    auto object = converted(result);
    ASSERT_TRUE(object);
    EXPECT_TRUE(hasNote(result, "kept the per-polygon coordinates of VMAD 'UV' (TXUV) in the VMAP of that name: 2 points "
                                "added as copies where corners of a point differ"));
    EXPECT_EQ(positions(*object),
              (std::vector<float>{0, 0, 0, 1, 0, 0, 2, 0, 0, 0, 1, 0, 1, 1, 0, 2, 1, 0, 1, 0, 0, 1, 1, 0}));
    EXPECT_EQ(corners(*object), (Corners{{0, 1, 4}, {0, 4, 3}, {6, 2, 5}, {6, 5, 7}}));
    EXPECT_EQ(uvs(*object, "UV"), (std::vector<float>{0, 1, 0.5f, 1, 1, 1, 0, 0, 0.5f, 0, 1, 0, 0, 1, 0, 0}));
}

TEST(LwoConvert, PerPolygonUVsOfPointsTheVmapLacksGoIntoTheVmapWithoutCopies) {
    lwo::Object o;
    for (int i = 0; i < 4; ++i) o.addPoint(float(i % 2), float(i / 2), 0);
    o.setSurface(o.addTriangle(0, 1, 2), "Skin");
    o.setSurface(o.addTriangle(1, 3, 2), "Skin");
    o.addUVMap("Base").entries = {{0, {0.5f, 0.5f}}};
    // A map named only by the VMAD; point 2 gets one value from both triangles, point 1 two.
    o.addPolygonMap("TXUV", "Decal").entries = {
        {0, 0, {0, 0}}, {1, 0, {1, 0}}, {2, 0, {0, 1}}, {1, 1, {0.25f, 0}}, {3, 1, {1, 1}}, {2, 1, {0, 1}}};
    o.addSurface("Skin");
    auto object = converted(convert(o));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->pointCount, 5);
    EXPECT_EQ(corners(*object), (Corners{{0, 1, 2}, {4, 3, 2}}));
    EXPECT_EQ(uvs(*object, "Decal"), (std::vector<float>{0, 1, 1, 1, 0, 0, 1, 0, 0.25f, 1}));
    EXPECT_EQ(uvs(*object, "Base"), (std::vector<float>{0.5f, 0.5f, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// ---- What korvo read before is what it reads after ----------------------------------------

TEST(LwoConvert, AnObjectKorvoReadsComesOutAsItWent) {
    lwo::Object o;
    for (int i = 0; i < 5; ++i) o.addPoint(float(i), float(i % 2), float(i % 3));
    o.setSurface(o.addTriangle(0, 1, 2), "Paint");
    o.setSurface(o.addTriangle(2, 1, 3, 3), "Glass");
    o.setSurface(o.addTriangle(2, 3, 4), "Paint");
    o.tagPolygon("TXUV", 2, o.addTag("0 0 1 0 0.5 1"));
    o.tagPolygon("SMGP", 0, o.addTag("Smooth"));
    o.addUVMap("Texture").entries = {{0, {0.1f, 0.2f}}, {4, {0.9f, 0.8f}}};
    o.addClip("images/paint.bmp", 7);
    o.addClip("images/sky.bmp", 9);
    lwo::Surface& paint = o.addSurface("Paint");
    paint.red = 0.25f;
    paint.smoothingAngle = 0;
    lwo::TextureBlock block;
    block.image = 1;
    block.uvMap = "Texture";
    paint.blocks.push_back(block);
    lwo::Surface& glass = o.addSurface("Glass");
    glass.transparency = 0.5f;
    glass.reflectionImage = 2;
    glass.reflection = 0.3f;
    glass.sidedness = 3;
    std::vector<uint8_t> bytes = lwo::assemble(o);

    Result result = convert(bytes);
    EXPECT_EQ(result.notes, std::vector<std::string>());
    auto after = converted(result);
    auto before = read(bytes);
    ASSERT_TRUE(after && before);
    EXPECT_EQ(positions(*after), positions(*before));
    EXPECT_EQ(corners(*after), corners(*before));
    EXPECT_EQ(surfaceTags(*after), surfaceTags(*before));
    for (size_t i = 0; i < before->points.size(); ++i) {
        const LWPoint &a = before->points[i], &b = after->points[i];
        EXPECT_EQ(std::vector<float>({a.nx, a.ny, a.nz, a.u, a.v}), std::vector<float>({b.nx, b.ny, b.nz, b.u, b.v})) << i;
    }
    EXPECT_EQ(uvs(*after, "Texture"), uvs(*before, "Texture"));
    EXPECT_EQ(std::vector<std::string>(after->tagNames.begin(), after->tagNames.end()),
              std::vector<std::string>(before->tagNames.begin(), before->tagNames.end()));
    ASSERT_EQ(after->surfaces.getCount(), 2);
    for (int i = 1; i <= 2; ++i) {
        EXPECT_STREQ(after->surfaces.at(i)->getName(), before->surfaces.at(i)->getName());
        const Tsurface& a = *static_cast<const Tsurface*>(before->surfaces.at(i)->getData());
        const Tsurface& b = *static_cast<const Tsurface*>(after->surfaces.at(i)->getData());
        EXPECT_EQ(std::vector<float>({a.red, a.transparency, a.reflection, a.smoothingAngle}),
                  std::vector<float>({b.red, b.transparency, b.reflection, b.smoothingAngle}));
        EXPECT_EQ(std::vector<int>({a.imageClip, a.reflectionClip, int(a.sidedness), a.hasUVMap}),
                  std::vector<int>({b.imageClip, b.reflectionClip, int(b.sidedness), b.hasUVMap}));
    }
    ASSERT_EQ(after->clips.getCount(), 2);
    EXPECT_EQ(static_cast<const LWClip*>(after->clips.at(2)->getData())->fileName, "images/sky.bmp");
}

TEST(LwoConvert, TexturesInTagStringsStayOnTrianglesOnly) {
    lwo::Object o;
    for (int i = 0; i < 5; ++i) o.addPoint(float(i % 2), float(i / 2), 0);
    o.addUVMap("UV");
    uint16_t tag = o.addTag("0.5 0.5 0.5 0.5 0.5 0.5");
    o.tagPolygon("TXUV", o.addPolygon({0, 1, 3, 2}), tag);
    o.tagPolygon("TXUV", o.addTriangle(2, 3, 4), tag);
    Result result = convert(o);
    auto object = converted(result);
    ASSERT_TRUE(object);
    EXPECT_EQ(uvs(*object, "UV"), (std::vector<float>{0, 0, 0, 0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(result.notes.back(),
              "dropped the TXUV polygon tags of 2 triangles made of larger polygons: their six coordinates are for three "
              "corners");
}

TEST(LwoConvert, OddLengthSubChunksOfSurfacesAreEvenedOnlyWhereKorvoWouldStumble) {
    lwo::Object o;
    for (int i = 0; i < 3; ++i) o.addPoint(float(i), float(i * i), 0);
    o.setSurface(o.addTriangle(0, 1, 2), "Odd");
    // A surface as IFF files have it: sub-chunks of 5 bytes, each followed by its pad byte, at
    // the top and inside a texture block, then the colour.
    auto surface = [](bool pad) {
        auto odd = [&](lwo::IffBuffer& b) {
            b.openSubChunk("AUVN");
            b.bytes({'P', 'l', 'u', 'g', 0});
            b.close();
            if (pad) b.u1(0);
        };
        lwo::IffBuffer b;
        b.s0("Odd");
        b.s0("");
        odd(b);
        b.openSubChunk("BLOK");
        b.openSubChunk("IMAP");
        b.s0("\x80");
        b.close();
        odd(b);
        b.openSubChunk("VMAP");
        b.s0("Texture");
        b.close();
        b.close();
        b.openSubChunk("COLR");
        b.f4(0.25f);
        b.f4(0.5f);
        b.f4(0.75f);
        b.vx(0);
        b.close();
        return lwo::Chunk{"SURF", b.data()};
    };
    for (bool pad : {true, false}) {
        SCOPED_TRACE(pad ? "with the pad byte" : "without");
        std::vector<lwo::Chunk> chunks = o.chunks();
        chunks.push_back(surface(pad));
        Result result = convert(lwo::assemble(chunks));
        auto object = converted(result);
        ASSERT_TRUE(object);
        const Tsurface& s = *static_cast<const Tsurface*>(object->surfaces.first()->getData());
        EXPECT_EQ(std::vector<float>({s.red, s.green, s.blue}), std::vector<float>({0.25f, 0.5f, 0.75f}));
        EXPECT_EQ(s.uvMapName, "Texture");
        EXPECT_EQ(result.notes.size(), pad ? 1u : 0u);
        if (pad) {
            EXPECT_EQ(result.notes[0], "evened 2 odd-length sub-chunks of surfaces or clips, their pad bytes counted into "
                                       "their lengths: korvo's reader steps over sub-chunks by their lengths alone");
        }
    }
}

// ---- Refusals ----------------------------------------------------------------------------

lwo::Object triangle() {
    lwo::Object o;
    for (int i = 0; i < 4; ++i) o.addPoint(float(i % 2), float(i / 2), 0);
    o.setSurface(o.addTriangle(0, 1, 2), "Skin");
    o.addSurface("Skin");
    return o;
}

// The file offset of the `n`-th chunk of that ID.
size_t offsetOf(const std::vector<lwo::Chunk>& chunks, const std::string& id, int n = 0) {
    std::vector<size_t> offsets;
    lwo::assemble(chunks, "LWO2", &offsets);
    for (size_t i = 0; i < chunks.size(); ++i)
        if (chunks[i].id == id && n-- == 0) return offsets[i];
    return 0;
}

TEST(LwoConvert, WhatCannotBeConvertedIsRefusedWithItsReason) {
    struct Case {
        const char* what;
        std::vector<lwo::Chunk> chunks;
        std::string form;
        Status status;
        std::string error;
    };
    std::vector<Case> cases;
    for (const char* type : {"PTCH", "SUBD"}) {
        lwo::Object o = triangle();
        o.setPolygonType(type);
        cases.push_back({type, o.chunks(), "LWO2", Status::cannotConvert,
                         std::string("subdivision patches (a POLS chunk of type ") + type + ") (at byte " +
                             std::to_string(offsetOf(o.chunks(), "POLS")) +
                             "): freeze them into polygons in the modeller first"});
    }
    {
        std::vector<lwo::Chunk> chunks = triangle().chunks();
        chunks.insert(chunks.begin() + 3, lwo::Chunk{"XTRA", {0, 1}});
        cases.push_back({"unknown chunk", chunks, "LWO2", Status::cannotConvert,
                         "a chunk 'XTRA' of unknown meaning (at byte " + std::to_string(offsetOf(chunks, "XTRA")) +
                             "): it may name points or polygons that converting renumbers"});
    }
    cases.push_back({"LWOB", triangle().chunks(), "LWOB", Status::notAnObject,
                     "an LWOB object (the older LightWave form): only LWO2 objects are converted"});
    cases.push_back({"LWO3", triangle().chunks(), "LWO3", Status::notAnObject,
                     "an LWO3 object (the newer LightWave form): only LWO2 objects are converted"});
    cases.push_back({"ILBM", triangle().chunks(), "ILBM", Status::notAnObject, "not a LightWave object (form type 'ILBM')"});
    {
        lwo::Object o = triangle();
        o.addTriangle(1, 2, 4);
        cases.push_back({"point beyond", o.chunks(), "LWO2", Status::damaged,
                         "point 4 is beyond the 4 points of its layer (at byte " +
                             std::to_string(offsetOf(o.chunks(), "POLS") + 12 + 8 + 6) + ")"});
    }
    {
        lwo::Object o = triangle();
        o.tagPolygon("SURF", 0, 1);
        cases.push_back({"tag beyond", o.chunks(), "LWO2", Status::damaged,
                         "tag 1 is beyond the 1 tags (at byte " +
                             std::to_string(offsetOf(o.chunks(), "PTAG") + 12 + 4 + 2) + ")"});
    }
    {
        lwo::Object o = triangle();
        o.addPolygonMap("TXUV", "UV").entries = {{0, 1, {0, 0}}};
        cases.push_back({"VMAD polygon beyond", o.chunks(), "LWO2", Status::damaged,
                         "polygon 1 is beyond the 1 polygons before it (at byte " +
                             std::to_string(offsetOf(o.chunks(), "VMAD") + 8 + 4 + 2 + 4 + 2) + ")"});
    }
    {
        lwo::Object o = triangle();
        o.addPolygon({0, 1, 2, 3});
        o.addSurface("shadebob");
        o.setSurface(1, "shadebob");
        cases.push_back({"particles without an image", o.chunks(), "LWO2", Status::cannotConvert,
                         "surface 'shadebob' is a particle surface without an image, which korvo cannot draw"});
    }
    {
        std::vector<lwo::Chunk> chunks = triangle().chunks();
        chunks.back().body.resize(chunks.back().body.size() - 2);   // the last sub-chunk of the surface is cut
        cases.push_back({"damaged surface", chunks, "LWO2", Status::damaged,
                         "korvo's reader refuses the converted object: the SIDE sub-chunk of 2 bytes runs past the "
                         "end of the SURF chunk"});
    }
    for (const Case& c : cases) {
        Result result = convert(lwo::assemble(c.chunks, c.form));
        EXPECT_EQ(result.status, c.status) << c.what;
        EXPECT_EQ(result.error, c.error) << c.what;
        EXPECT_TRUE(result.bytes.empty()) << c.what;
    }

    std::vector<uint8_t> cut = lwo::assemble(triangle());
    size_t length = cut.size() - 8;
    cut.resize(100);
    EXPECT_EQ(convert(cut).error, "the file ends at byte 100, inside its FORM of " + std::to_string(length) + " bytes");
    std::vector<uint8_t> riff = {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'};
    EXPECT_EQ(convert(riff).error, "not an IFF file (no FORM tag)");
}

TEST(LwoConvert, ChunksOfUnknownMeaningAreDroppedOnlyWhenAskedTo) {
    std::vector<lwo::Chunk> chunks = triangle().chunks();
    chunks.insert(chunks.begin() + 3, lwo::Chunk{"XTRA", {0, 1}});
    std::vector<uint8_t> bytes = lwo::assemble(chunks);
    lwo_convert::Options options;
    options.dropUnknownChunks = true;
    Result result = lwo_convert::convert(bytes.data(), bytes.size(), options);
    auto object = converted(result);
    ASSERT_TRUE(object);
    EXPECT_EQ(result.notes, (std::vector<std::string>{"dropped a chunk 'XTRA' of unknown meaning (at byte " +
                                                      std::to_string(offsetOf(chunks, "XTRA")) + ")"}));
    EXPECT_EQ(corners(*object), (Corners{{0, 1, 2}}));
}

TEST(LwoConvert, IndicesOfFF00AndAboveAreWrittenInFourBytes) {
    lwo::Object o;
    for (uint32_t i = 0; i < 0xFF10; ++i) o.addPoint(float(i % 256), float(i / 256), 0);
    o.setSurface(o.addPolygon({0, 1, 0xFF01, 0xFF00}), "Far");
    o.addSurface("Far");
    Result result = convert(o);
    auto object = converted(result);
    ASSERT_TRUE(object);
    EXPECT_EQ(corners(*object), (Corners{{0, 1, 0xFF01}, {0, 0xFF01, 0xFF00}}));
    const std::vector<uint8_t> first = {0, 3, 0, 0, 0, 1, 0xFF, 0, 0xFF, 1};   // count, 0, 1, 0xFF01
    EXPECT_NE(std::search(result.bytes.begin(), result.bytes.end(), first.begin(), first.end()), result.bytes.end());
}

TEST(LwoConvert, CutOrBrokenFilesAreRefusedAndNeverReadOutOfBounds) {
    // Every feature at once: two layers, a quad, maps of both kinds, a textured surface, a clip.
    lwo::Object o = twoLayers();
    o.addPolygonMap("TXUV", "UV").entries = {{0, 0, {0.5f, 0.5f}}};
    o.addVertexMap("WGHT", "Weight", 1).entries = {{1, {1}}};
    o.addClip("images/roof.bmp");
    lwo::TextureBlock block;
    block.image = 1;
    block.uvMap = "UV";
    o.surface(1).blocks.push_back(block);
    const std::vector<uint8_t> whole = lwo::assemble(o);
    ASSERT_EQ(convert(whole).status, Status::converted);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        // Cut short with the form's length saying so, so that the last chunk is the one cut.
        std::vector<uint8_t> bytes(whole.begin(), whole.begin() + long(cut));
        if (cut >= 8) {
            for (int i = 0; i < 4; ++i) bytes[size_t(4 + i)] = uint8_t((cut - 8) >> (24 - 8 * i));
        }
        Result result = convert(bytes);
        if (result.status == Status::converted) continue;   // at a chunk's end: what is there is whole
        EXPECT_FALSE(result.error.empty()) << cut;
        EXPECT_TRUE(result.bytes.empty()) << cut;
    }
    for (size_t at = 12; at < whole.size(); ++at) {
        for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x80)}) {
            std::vector<uint8_t> bytes = whole;
            bytes[at] = value;
            Result result = convert(bytes);
            if (result.status == Status::converted) {
                EXPECT_TRUE(read(result.bytes)) << at;   // whatever comes out, korvo reads
            } else {
                EXPECT_FALSE(result.error.empty()) << at;
            }
        }
    }
}

TEST(LwoConvert, PatchesInALayerLeftOutDoNotStopTheOneKept) {
    lwo::Object o = triangle();
    o.addLayer(1);
    for (int i = 0; i < 4; ++i) o.addPoint(float(i), 0, 0);
    o.setPolygonType("SUBD");
    o.addPolygon({0, 1, 2, 3});
    EXPECT_EQ(convert(o).status, Status::cannotConvert);
    auto object = converted(convert(o, 0));
    ASSERT_TRUE(object);
    EXPECT_EQ(object->pointCount, 4);
}

TEST(LwoConvert, ASurfaceBeyondWhatSixteenBitIndicesReachIsRefused) {
    // 65,537 points in a strip of triangles of one surface.
    lwo::Object o;
    for (uint32_t i = 0; i < 65537; ++i) o.addPoint(float(i / 2), float(i % 2), 0);
    for (uint32_t i = 0; i + 2 < 65537; ++i) o.setSurface(o.addTriangle(i, i + 1, i + 2), "Strip");
    o.addSurface("Strip");
    Result result = convert(o);
    EXPECT_EQ(result.status, Status::cannotConvert);
    EXPECT_EQ(result.error, "surface 'Strip' would need 65537 vertices; korvo draws at most 65536 per surface");
}

}  // namespace
