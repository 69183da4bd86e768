// The programs and demo-dat from start to a normal end, checked for a clean exit and a silent
// standard error: built with DEMOS_SANITIZE, a leak, a memory error or undefined behaviour
// anywhere on the way shows here (scripts/test runs these under the sanitizers).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <filesystem>

#include "glint_archive.h"
#include "jpeg_writer.h"
#include "lwo_writer.h"
#include "lws_writer.h"
#include "support.h"
#include "zip_writer.h"

namespace {

using namespace testing_support;

class WholeProgram : public ::testing::Test {
protected:
    RunResult play(const std::string& program, const std::vector<std::string>& arguments,
                   std::map<std::string, std::string> extra) {
        auto settings = headlessSettings();
        for (auto& [name, value] : extra) settings[name] = value;
        return run(binDir() + "/" + program, arguments, settings, dir.path());
    }
    TempDir dir;
};

// Three scenes of one lit, spinning cube each, for korvo's runs.
void writeKorvoScenes(TempDir& dir) {
    namespace lwo = content::lwo;
    namespace lws = content::lws;
    lwo::Object cube;
    const float corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}};
    for (const auto& c : corners) cube.addPoint(c[0], c[1], c[2]);
    const uint32_t faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    for (const auto& f : faces) {
        cube.setSurface(cube.addTriangle(f[0], f[1], f[2]), "Skin");
        cube.setSurface(cube.addTriangle(f[0], f[2], f[3]), "Skin");
    }
    cube.addSurface("Skin").green = 0.8f;
    std::filesystem::create_directories(dir.file("objects"));
    lwo::writeFile(dir.file("objects/cube.lwo"), lwo::assemble(cube));
    for (const char* name : {"a.lws", "b.lws", "c.lws"}) {
        lws::Scene scene;
        lws::Object& object = scene.addObject("cube.lwo");
        object.motion.setPosition(0, 0, 6);
        object.motion[3] = lws::Envelope{lws::linear(0.0f, 0.0f), lws::linear(6.28f, 2.0f)};
        scene.addLight("Lamp", lws::LightType::Point);
        lws::writeFile(dir.file(name), scene.text());
    }
}

TEST_F(WholeProgram, KorvoEndsCleanlyByEscapeAndByTheScriptsQuit) {
    writeKorvoScenes(dir);
    writeFile(dir.file("demoflow.txt"),
              "KVXDEMO\n0 PlayScene a.lws\n0 PlayScene b.lws\n0.1 DelScene a.lws\n0.2 PlayScene a.lws\n");
    RunResult escaped = play("korvo", {"-d0"}, {{"DEMO_KEYS", "10:ESCAPE"}});
    EXPECT_EQ(escaped.exitCode, 0);
    EXPECT_EQ(escaped.err, "");
    writeFile(dir.file("demoflow.txt"),
              "KVXDEMO\n0 PlayScene a.lws\n0.1 DelScene a.lws\n0.1 PlayScene c.lws\n0.2 Quit\n");
    RunResult quit = play("korvo", {"-d0"}, {});
    EXPECT_EQ(quit.exitCode, 0);
    EXPECT_EQ(quit.err, "");
}

TEST_F(WholeProgram, GlintdemoEndsCleanlyByEscapeAndAtTheEndOfTheShow) {
    writeGlintFolder(dir.path(), {}, true, 1.0);
    RunResult escaped = play("glintdemo", {}, {{"DEMO_KEYS", "5:ESCAPE"}});
    EXPECT_EQ(escaped.exitCode, 0);
    EXPECT_EQ(escaped.err, "");
    // Enter held for 52 frames moves the clock past 258 s: the show closes itself.
    RunResult ended = play("glintdemo", {}, {{"DEMO_KEYS", "1:RETURN*52"}});
    EXPECT_EQ(ended.exitCode, 0);
    EXPECT_EQ(ended.err, "");
}

TEST_F(WholeProgram, DemoDatListsExtractsDecodesAndFailsCleanly) {
    std::vector<uint8_t> pixels(24 * 16 * 3, 90);
    content::ZipWriter zip;
    zip.add("picture.jpg", content::writeJpeg(pixels.data(), 24, 16, 3, content::JpegWriterOptions{}));
    zip.add("notes.txt", std::string("notes\n"));
    ASSERT_TRUE(zip.writeFile(dir.file("demo.dat")));
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
    };
    const Case cases[] = {
        {{"list", "demo.dat"}, 0},
        {{"cat", "demo.dat", "notes.txt"}, 0},
        {{"decode", "demo.dat", "picture.jpg", "picture.ppm"}, 0},
        {{"decode", "demo.dat", "notes.txt", "notes.ppm"}, 6},
        {{"cat", "demo.dat", "absent.txt"}, 4},
    };
    for (const Case& c : cases) {
        RunResult r = run(binDir() + "/demo-dat", c.arguments, {}, dir.path());
        EXPECT_EQ(r.exitCode, c.exitCode) << c.arguments[0] << " " << c.arguments.back() << "\n" << r.err;
        EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
    }
}

}  // namespace
