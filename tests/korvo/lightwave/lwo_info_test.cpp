// lwo-info as a user runs it: what the reader made of an object, or why it refused it, with
// an exit code for each kind of refusal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lwo_writer.h"
#include "support.h"

namespace {

namespace lwo = content::lwo;
using namespace testing_support;

class LwoInfo : public ::testing::Test {
protected:
    RunResult info(const std::vector<std::string>& arguments) {
        return run(binDir() + "/lwo-info", arguments, {}, dir.path(), 60);
    }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        lwo::writeFile(dir.file(name), bytes);
        return name;
    }
    TempDir dir;
};

lwo::Object texturedSquare() {
    lwo::Object o;
    for (int i = 0; i < 4; ++i) o.addPoint(float(i % 2), float(i / 2), 0);
    o.setSurface(o.addTriangle(0, 1, 3), "Paint");
    o.setSurface(o.addTriangle(0, 3, 2), "Paint");
    o.addTriangle(1, 2, 3);
    o.addClip("images/paint.bmp");
    o.addUVMap("Texture").entries = {{0, {0, 0}}};
    lwo::Surface& s = o.addSurface("Paint");
    s.red = 0.5f;
    s.smoothingAngle = 0.0f;
    s.sidedness = 3;
    lwo::TextureBlock block;
    block.image = 1;
    block.uvMap = "Texture";
    s.blocks.push_back(block);
    o.addSurface("Spare");
    return o;
}

TEST_F(LwoInfo, ShowsWhatTheReaderMadeOfAnObject) {
    RunResult r = info({write("square.lwo", lwo::assemble(texturedSquare()))});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const char* line : {"square.lwo: LWO2 object\n", "points: 4\n", "triangles: 3 (1 with no surface)\n",
                             "  0 'Paint': 2 triangles\n", "surfaces: 2\n", "  'Paint'\n",
                             "    triangles: 2, vertices: 4\n", "    colour: 0.5 0.8 0.8\n",
                             "    smoothing angle: 0 (0 degrees), flat\n", "    sides: 3 (both)\n",
                             "    image: 1 'images/paint.bmp', reflection image: none\n", "    UV map: 'Texture'\n",
                             "    triangles: 0, vertices: 0 (no triangle uses it: not built)\n", "clips: 1\n",
                             "  1 'images/paint.bmp'\n", "UV maps: 1\n", "  'Texture'\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "in\n" << r.out;
}

TEST_F(LwoInfo, RefusalsGiveTheReasonTheOffsetAndTheirOwnExitCode) {
    std::vector<uint8_t> cut = lwo::assemble(texturedSquare());
    cut.resize(100);
    RunResult damaged = info({write("cut.lwo", cut)});
    EXPECT_EQ(damaged.exitCode, 5);
    EXPECT_EQ(damaged.err, "lwo-info: cut.lwo: the file ends at byte 100, inside its FORM of " +
                               std::to_string(lwo::assemble(texturedSquare()).size() - 8) + " bytes (at byte 100)\n");

    RunResult old = info({write("old.lwo", lwo::assemble(texturedSquare().chunks(), "LWOB"))});
    EXPECT_EQ(old.exitCode, 3);
    EXPECT_EQ(old.err, "lwo-info: old.lwo: Not a lightwave object (Missing LWO2 tag) (at byte 8)\n");

    lwo::Object points;
    for (int i = 0; i < 4; ++i) points.addPoint(float(i % 2), float(i / 2), 0);
    std::vector<lwo::Chunk> chunks = points.chunks();
    lwo::IffBuffer quad;
    quad.id4("FACE");
    quad.u2(4);
    for (uint32_t i = 0; i < 4; ++i) quad.vx(i);
    chunks.push_back({"POLS", quad.data()});
    RunResult quads = info({write("quads.lwo", lwo::assemble(chunks))});
    EXPECT_EQ(quads.exitCode, 4);
    EXPECT_NE(quads.err.find("quads.lwo: only 3 vertices per polygon supported (at byte "), std::string::npos) << quads.err;

    EXPECT_EQ(info({"missing.lwo"}).exitCode, 2);
    EXPECT_EQ(info({}).exitCode, 1);
}

TEST_F(LwoInfo, ReadsTheRealTriangleObject) {
    std::string root = sharedTestdata();
    if (root.empty()) GTEST_SKIP() << "../shared/testdata is not here";
    RunResult r = info({root + "/lightwave/assimp/models-nonbsd/LWO/LWO2/rifle.lwo"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("points: 337\ntriangles: 572\n"), std::string::npos) << r.out;
    RunResult quads = info({root + "/lightwave/assimp/models/LWS/simple_cube.lwo"});
    EXPECT_EQ(quads.exitCode, 4);
    EXPECT_NE(quads.err.find(": only 3 vertices per polygon supported (at byte 208)\n"), std::string::npos) << quads.err;
}

}  // namespace
