// Both sample shows drawn at three times their size (DEMO_RENDER_SCALE=3): frames at chosen
// times, reduced by 3, against the same frames drawn at the programs' own size. The shows are
// the sample content built into build/content; without it these tests skip.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support.h"

namespace {

using namespace testing_support;

// Runs `program` in `folder` at a render scale, its clock at `framesPerSecond`, and returns
// the frames captured.
std::vector<Image> framesAt(const std::string& program, const std::vector<std::string>& arguments,
                            const std::string& folder, int scale, const std::string& keys,
                            const std::vector<int>& frames, int framesPerSecond) {
    TempDir out;
    auto settings = headlessSettings(framesPerSecond);
    settings["DEMO_RENDER_SCALE"] = std::to_string(scale);
    settings["DEMO_KEYS"] = keys;
    settings["DEMO_CAPTURE"] = out.file("frames");
    std::string chosen;
    for (int frame : frames) chosen += (chosen.empty() ? "" : ",") + std::to_string(frame);
    settings["DEMO_CAPTURE_FRAMES"] = chosen;
    RunResult r = run(program, arguments, settings, folder, 600);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<Image> images;
    for (int frame : frames) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06d.png", frame);
        images.push_back(readPng(out.file("frames/") + name));
    }
    return images;
}

// The frames at scale 3, reduced, against scale 1: what differs is only what the finer
// picture draws better (polygon edges covered in part, textures filtered at the finer
// resolution, smoothed lines), a few levels of 255 on average over a frame. A frame drawn
// wrongly at the scale (a viewport, line or copy not scaled: a part of the picture misplaced
// or missing) differs by tens.
void expectSameShow(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
                    const std::string& keys, const std::vector<int>& frames, double tolerance,
                    int framesPerSecond = 30) {
    std::vector<Image> one = framesAt(program, arguments, folder, 1, keys, frames, framesPerSecond);
    std::vector<Image> three = framesAt(program, arguments, folder, 3, keys, frames, framesPerSecond);
    for (size_t i = 0; i < frames.size(); ++i) {
        ASSERT_EQ(three[i].width, one[i].width * 3);
        double difference = meanDifference(one[i], reduce(three[i], 3));
        EXPECT_LE(difference, tolerance) << "frame " << frames[i];
        ::testing::Test::RecordProperty("frame" + std::to_string(frames[i]), std::to_string(difference));
    }
}

TEST(RenderScale, GlintdemoLooksTheSameAtThreeTimesItsSize) {
    std::string folder = sampleShow("glintdemo");
    if (!fileExists(folder + "/demo.dat")) GTEST_SKIP() << "no sample show in " << folder;
    // Into each part of the show with Enter held (5 s ahead at each frame), a frame captured
    // three frames after each jump: at 20, 61, 101, 141, 162, 202 and 242 s.
    std::string keys = "1:RETURN*4,8:RETURN*8,19:RETURN*8,30:RETURN*8,41:RETURN*4,48:RETURN*8,59:RETURN*8,70:ESCAPE";
    expectSameShow(binDir() + "/glintdemo", {}, folder, keys, {7, 18, 29, 40, 47, 58, 69}, 6.0);
}

TEST(RenderScale, KorvoLooksTheSameAtThreeTimesItsSize) {
    if (!fileExists(sampleShow("korvo") + "/demoflow.txt")) GTEST_SKIP() << "no korvo sample show in the build";
    // korvo appends to debug.log where it runs: a folder of its own.
    TempDir folder;
    linkSampleShow("korvo", folder.path());
    // A frame a second, the fewest frames drawn at three times the size: the title at 1 s, the
    // crystals at 10 s, the chrome ball with its halos and glass bubbles at 27 s.
    expectSameShow(binDir() + "/korvo", {}, folder.path(), "28:ESCAPE", {1, 10, 27}, 6.0, 1);
}

}  // namespace
