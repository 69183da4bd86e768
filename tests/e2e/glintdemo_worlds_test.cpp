// glintdemo's particle worlds as a user sees them: one headless run that jumps into the trails
// (56-82 s), the metaball drops (132-157 s) and the lattice (182-233 s), traced and captured.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "glint_archive.h"
#include "support.h"

namespace {

using namespace testing_support;

// The traced lines of each frame.
std::map<int, std::vector<std::string>> traceFrames(const std::string& trace) {
    std::map<int, std::vector<std::string>> frames;
    std::vector<std::string> current;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("-- frame ", 0) == 0) {
            frames[std::stoi(line.substr(9))] = std::move(current);
            current.clear();
        } else {
            current.push_back(line);
        }
    }
    return frames;
}

int countLines(const std::vector<std::string>& frame, const std::string& prefix) {
    return int(std::count_if(frame.begin(), frame.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

bool contains(const std::vector<std::string>& frame, const std::string& line) {
    return std::find(frame.begin(), frame.end(), line) != frame.end();
}

// The vertices of each glBegin batch of a kind.
std::vector<int> batchSizes(const std::vector<std::string>& frame, const std::string& begin) {
    std::vector<int> sizes;
    bool inside = false;
    for (const std::string& line : frame) {
        if (line == begin) {
            inside = true;
            sizes.push_back(0);
        } else if (line == "glEnd()") {
            inside = false;
        } else if (inside && line.rfind("glVertex3fv(", 0) == 0) {
            ++sizes.back();
        }
    }
    return sizes;
}

// The number of pixels of a frame brighter than `floor` in some channel.
int litPixels(const Image& image, int floor) {
    int lit = 0;
    for (size_t i = 0; i < image.rgb.size(); i += 3)
        lit += std::max({image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]}) > floor;
    return lit;
}

class GlintdemoWorlds : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new TempDir;
        writeGlintFolder(folder->path());
        auto settings = headlessSettings();
        // Enter moves the clock 5 s: to 60.4 s at frame 12, 136.8 s at frame 54, 182.6 s at frame 78.
        settings["DEMO_KEYS"] = "1:RETURN*12,40:RETURN*15,70:RETURN*9,100:ESCAPE";
        settings["DEMO_GL_TRACE"] = "trace.txt";
        settings["DEMO_GL_TRACE_FRAMES"] = "39,69,99";
        settings["DEMO_CAPTURE"] = "frames";
        settings["DEMO_CAPTURE_FRAMES"] = "39,69,99";
        result = run(binDir() + "/glintdemo", {}, settings, folder->path(), 120);
        frames = traceFrames(readFile(folder->file("trace.txt")));
    }
    static void TearDownTestSuite() {
        delete folder;
        folder = nullptr;
    }
    static Image capture(int frame) {
        char name[32];
        std::snprintf(name, sizeof name, "frames/frame-%06d.png", frame);
        return readPng(folder->file(name));
    }

    static TempDir* folder;
    static RunResult result;
    static std::map<int, std::vector<std::string>> frames;
};

TempDir* GlintdemoWorlds::folder = nullptr;
RunResult GlintdemoWorlds::result;
std::map<int, std::vector<std::string>> GlintdemoWorlds::frames;

TEST_F(GlintdemoWorlds, EachWorldFrameSetsItsProjectionAndCamera) {
    ASSERT_EQ(result.exitCode, 0) << result.err;
    for (int n : {39, 69, 99}) {
        const std::vector<std::string>& frame = frames[n];
        auto frustum = std::find(frame.begin(), frame.end(),
                                 "glFrustum(-1.3333333730697632, 1.3333333730697632, -1, 1, 1, 2000)");
        ASSERT_NE(frustum, frame.end()) << n;
        const std::vector<std::string> expected = {"glScaled(1, 1, -1)", "glMatrixMode(0x1700)", "glLoadIdentity()",
                                                   "glDepthFunc(0x0203)", "glClearDepth(2000)", "glPushMatrix()"};
        ASSERT_LT(frustum + 6, frame.end());
        EXPECT_EQ(std::vector<std::string>(frustum + 1, frustum + 7), expected) << n;
        EXPECT_EQ(frustum[7].rfind("glTranslatef(0, 0, 120)", 0), 0u) << n;
        EXPECT_EQ(frustum[8].rfind("glRotatef(", 0), 0u) << n;
        EXPECT_EQ(frustum[9].rfind("glRotatef(", 0), 0u) << n;
        EXPECT_EQ(frustum[10].rfind("glTranslatef(", 0), 0u) << n;
        EXPECT_EQ(countLines(frame, "glPopMatrix()"), 1) << n;
    }
}

TEST_F(GlintdemoWorlds, TheTrailsAreThreePassesOfWideningAdditiveLines) {
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string>& frame = frames[39];
    EXPECT_TRUE(contains(frame, "glBlendFunc(0x0302, 0x0001)"));
    EXPECT_TRUE(contains(frame, "glDisable(0x0DE1)"));
    std::vector<std::string> widths;
    for (const std::string& line : frame)
        if (line.rfind("glLineWidth(", 0) == 0) widths.push_back(line);
    EXPECT_EQ(widths, (std::vector<std::string>{"glLineWidth(1)", "glLineWidth(4)", "glLineWidth(12)"}));
    std::vector<int> sizes = batchSizes(frame, "glBegin(0x0001)");
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_GT(sizes[0], 300);   // a second of two emitters at 250 particles a second
    EXPECT_EQ(sizes[1], sizes[0]);
    EXPECT_EQ(sizes[2], sizes[0]);
    // Every vertex coloured: white, or red fading in its last second.
    EXPECT_EQ(countLines(frame, "glColor4f(0.8, 0.8, 0.8, 0.161)") + countLines(frame, "glColor4f(0.8, 0.28, 0.18, "),
              3 * sizes[0]);
    EXPECT_GT(litPixels(capture(39), 40), 200);
}

TEST_F(GlintdemoWorlds, TheDropsAreOneLockedMeshDrawnThreeTimes) {
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string>& frame = frames[69];
    std::vector<std::string> draws;
    std::string lock;
    for (const std::string& line : frame) {
        if (line.rfind("glDrawElements(", 0) == 0) draws.push_back(line);
        if (line.rfind("glLockArraysEXT(0, ", 0) == 0) lock = line;
    }
    ASSERT_EQ(draws.size(), 3u);
    ASSERT_FALSE(lock.empty());
    EXPECT_GT(std::stoi(lock.substr(19)), 100);
    const std::string indices = draws[0].substr(draws[0].find(", ") + 2);
    EXPECT_EQ(draws[0], "glDrawElements(0x0004, " + indices);
    EXPECT_EQ(draws[1], "glDrawElements(0x0001, " + indices);
    EXPECT_EQ(draws[2], "glDrawElements(0x0004, " + indices);
    EXPECT_GT(std::stoi(indices), 300);
    EXPECT_EQ(indices.substr(indices.find(", ")), ", 0x1405, ptr)");
    EXPECT_EQ(countLines(frame, "glUnlockArraysEXT()"), 1);
    EXPECT_TRUE(contains(frame, "glScalef(2.1, 2.1, 2.1)"));
    EXPECT_TRUE(contains(frame, "glColor4f(0, 0, 0, 1)"));
    EXPECT_TRUE(contains(frame, "glMatrixMode(0x1702)"));   // the environment map follows the camera
    // The environment picture of the test archive is orange: the blob shows it.
    Image image = capture(69);
    int orange = 0;
    for (size_t i = 0; i < image.rgb.size(); i += 3)
        orange += image.rgb[i] > 100 && image.rgb[i] > image.rgb[i + 1] && image.rgb[i + 1] > image.rgb[i + 2];
    EXPECT_GT(orange, 500);
}

TEST_F(GlintdemoWorlds, TheLatticeIsStripsOfItsRowsAndASphereMappedFrontSheet) {
    ASSERT_EQ(result.exitCode, 0) << result.err;
    // The frame up to the run-scene's ribbons, which follow the lattice and set up their view last.
    const std::vector<std::string>& all = frames[99];
    auto ribbons = std::find(all.rbegin(), all.rend(), "glFrustum(-0.5, 0.5, -0.375, 0.375, 1, 5000)");
    const std::vector<std::string> frame(all.begin(), ribbons.base());
    std::vector<int> quads = batchSizes(frame, "glBegin(0x0008)");
    std::vector<int> strips = batchSizes(frame, "glBegin(0x0005)");
    EXPECT_EQ(quads, std::vector<int>(169, 13));
    ASSERT_EQ(strips.size(), 169u + 11u);
    EXPECT_EQ(std::vector<int>(strips.begin(), strips.begin() + 169), std::vector<int>(169, 13));
    EXPECT_EQ(std::vector<int>(strips.begin() + 169, strips.end()), std::vector<int>(11, 24));
    EXPECT_EQ(countLines(frame, "glNormal3f("), 11 * 11);
    EXPECT_TRUE(contains(frame, "glTexGeni(0x2000, 0x2500, 9218)"));
    EXPECT_TRUE(contains(frame, "glEnable(0x0BA1)"));    // normalised normals for the sheet
    EXPECT_TRUE(contains(frame, "glDisable(0x0C61)"));   // texture generation off again
    EXPECT_GT(litPixels(capture(99), 40), 1000);
}

}  // namespace
