// The programs and demo-dat from start to a normal end, checked for a clean exit and a silent
// standard error: built with DEMOS_SANITIZE, a leak, a memory error or undefined behaviour
// anywhere on the way shows here (scripts/test runs these under the sanitizers).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "glint_archive.h"
#include "jpeg_writer.h"
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

TEST_F(WholeProgram, KorvoEndsCleanlyByEscapeAndByTheScriptsQuit) {
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
