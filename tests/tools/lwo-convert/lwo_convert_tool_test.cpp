// lwo-convert as a user runs it: what it says, the files it writes and leaves alone, and an exit
// code for each kind of refusal.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "lwo_writer.h"
#include "support.h"

namespace {

namespace lwo = content::lwo;
using namespace testing_support;

class LwoConvertTool : public ::testing::Test {
protected:
    RunResult convert(const std::vector<std::string>& arguments) {
        return run(binDir() + "/lwo-convert", arguments, {}, dir.path(), 60);
    }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        lwo::writeFile(dir.file(name), bytes);
        return name;
    }
    TempDir dir;
};

lwo::Object cube(const std::string& polygonType = "FACE") {
    lwo::Object o;
    for (int i = 0; i < 8; ++i) o.addPoint(float(i & 1), float(i >> 1 & 1), float(i >> 2));
    o.setPolygonType(polygonType);
    const std::vector<std::vector<uint32_t>> faces = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                                      {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& face : faces) o.setSurface(o.addPolygon(face), "Box");
    o.addVertexMap("WGHT", "Weight", 1).entries = {{0, {1}}};
    o.addSurface("Box");
    return o;
}

TEST_F(LwoConvertTool, ConvertsSaysWhatItDroppedAndLeavesTheInputAlone) {
    std::vector<uint8_t> bytes = lwo::assemble(cube());
    write("cube.lwo", bytes);
    RunResult r = convert({"cube.lwo", "out.lwo"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "cube.lwo: dropped VMAP 'Weight' of type 'WGHT': korvo reads only TXUV maps\n"
                     "cube.lwo: made 12 triangles of 6 polygons (6 of four or more corners)\n"
                     "out.lwo: points: 8, triangles: 12, surfaces: 1\n");
    EXPECT_EQ(readFile(dir.file("cube.lwo")), std::string(bytes.begin(), bytes.end()));
    RunResult info = run(binDir() + "/lwo-info", {"out.lwo"}, {}, dir.path(), 60);
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("points: 8\ntriangles: 12\n"), std::string::npos) << info.out;

    // Only the layer asked for.
    lwo::Object two = cube();
    two.addLayer(3, "Lid");
    for (int i = 0; i < 3; ++i) two.addPoint(float(i), 2, 0);
    two.setSurface(two.addTriangle(0, 1, 2), "Box");
    write("two.lwo", lwo::assemble(two));
    RunResult lid = convert({"--layer", "3", "two.lwo", "lid.lwo"});
    EXPECT_EQ(lid.exitCode, 0) << lid.err;
    EXPECT_NE(lid.out.find("two.lwo: kept layer 3 of 2: 0, 3 'Lid'\nlid.lwo: points: 3, triangles: 1, surfaces: 1\n"),
              std::string::npos)
        << lid.out;
}

TEST_F(LwoConvertTool, RefusalsWriteNothingAndHaveTheirOwnExitCodes) {
    write("patches.lwo", lwo::assemble(cube("SUBD")));
    write("old.lwo", lwo::assemble(cube().chunks(), "LWOB"));
    std::vector<uint8_t> cut = lwo::assemble(cube());
    cut.resize(60);
    write("cut.lwo", cut);
    writeFile(dir.file("out.lwo"), "kept");

    RunResult patches = convert({"patches.lwo", "out.lwo"});
    EXPECT_EQ(patches.exitCode, 4);
    EXPECT_EQ(patches.out, "");
    EXPECT_NE(patches.err.find("lwo-convert: patches.lwo: subdivision patches (a POLS chunk of type SUBD) (at byte "),
              std::string::npos)
        << patches.err;
    EXPECT_EQ(convert({"old.lwo", "out.lwo"}).exitCode, 3);
    RunResult damaged = convert({"cut.lwo", "out.lwo"});
    EXPECT_EQ(damaged.exitCode, 5);
    EXPECT_EQ(damaged.err, "lwo-convert: cut.lwo: the file ends at byte 60, inside its FORM of " +
                               std::to_string(lwo::assemble(cube()).size() - 8) + " bytes\n");
    EXPECT_EQ(readFile(dir.file("out.lwo")), "kept");
    EXPECT_EQ(listDir(dir.path()).size(), 4u) << "no half-written files left behind";

    EXPECT_EQ(convert({"missing.lwo", "out.lwo"}).exitCode, 2);
    write("cube.lwo", lwo::assemble(cube()));
    EXPECT_EQ(convert({"cube.lwo", "no-folder/out.lwo"}).exitCode, 6);
    std::vector<lwo::Chunk> chunks = cube().chunks();
    chunks.push_back({"ZZZZ", {1, 2}});
    write("extra.lwo", lwo::assemble(chunks));
    EXPECT_EQ(convert({"extra.lwo", "out.lwo"}).exitCode, 4);
    RunResult dropped = convert({"extra.lwo", "--drop-unknown", "out.lwo"});
    EXPECT_EQ(dropped.exitCode, 0) << dropped.err;
    EXPECT_NE(dropped.out.find("extra.lwo: dropped a chunk 'ZZZZ' of unknown meaning (at byte "), std::string::npos)
        << dropped.out;
    RunResult layer = convert({"--layer", "2", "cube.lwo", "out.lwo"});
    EXPECT_EQ(layer.exitCode, 1);
    EXPECT_EQ(layer.err, "lwo-convert: cube.lwo: no layer 2; its layers: 0\n");
    for (const std::vector<std::string>& wrong : {std::vector<std::string>{}, {"cube.lwo"},
                                                  {"--layer", "x", "cube.lwo", "out.lwo"}, {"--fast", "cube.lwo", "out.lwo"}})
        EXPECT_EQ(convert(wrong).exitCode, 1);
}

TEST_F(LwoConvertTool, TheInputIsNeverTheOutput) {
    std::vector<uint8_t> bytes = lwo::assemble(cube());
    write("cube.lwo", bytes);
    ASSERT_EQ(link(dir.file("cube.lwo").c_str(), dir.file("same.lwo").c_str()), 0);
    for (const char* output : {"cube.lwo", "./cube.lwo", "same.lwo"}) {
        RunResult r = convert({"cube.lwo", output});
        EXPECT_EQ(r.exitCode, 6) << output;
        EXPECT_EQ(r.err, std::string("lwo-convert: ") + output + " is the input; the input is never written\n");
    }
    EXPECT_EQ(readFile(dir.file("cube.lwo")), std::string(bytes.begin(), bytes.end()));
}

}  // namespace
