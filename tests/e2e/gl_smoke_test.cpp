// gl-smoke, run as a user runs it: headless with the fixed clock, scripted keys and capture,
// traced, and in a real window under a virtual X server when one is available.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support.h"

namespace {

using namespace testing_support;

std::string glSmoke() { return binDir() + "/gl-smoke"; }

// Distance of a pixel from the background colour (0.1, 0.1, 0.2).
int offBackground(const Image& image, int x, int y) {
    const uint8_t* p = image.pixel(x, y);
    return std::abs(p[0] - 26) + std::abs(p[1] - 26) + std::abs(p[2] - 51);
}

TEST(GlSmoke, HeadlessRunsAreRepeatableAndTheTriangleTurns) {
    TempDir first, second;
    auto settings = headlessSettings();
    settings["DEMO_KEYS"] = "45:ESCAPE";
    settings["DEMO_CAPTURE"] = "frames";
    RunResult a = run(glSmoke(), {}, settings, first.path());
    RunResult b = run(glSmoke(), {}, settings, second.path());
    ASSERT_EQ(a.exitCode, 0) << a.err;
    ASSERT_EQ(b.exitCode, 0) << b.err;
    EXPECT_EQ(a.out, "gl-smoke: 45 frames in 1.50 s (30.0 frames per second)\n");
    auto frames = listDir(first.file("frames"));
    ASSERT_EQ(frames.size(), 45u);
    EXPECT_EQ(frames.front(), "frame-000000.png");
    EXPECT_EQ(frames.back(), "frame-000044.png");
    for (const std::string& frame : frames)
        ASSERT_EQ(readFile(first.file("frames/" + frame)), readFile(second.file("frames/" + frame))) << frame;

    Image start = readPng(first.file("frames/frame-000000.png"));
    Image quarter = readPng(first.file("frames/frame-000030.png"));
    ASSERT_EQ(start.width, 640);
    ASSERT_EQ(start.height, 480);
    // The apex points up at the start (red near the top centre) and left after one second.
    EXPECT_GT(offBackground(start, 320, 80), 100);
    EXPECT_LT(offBackground(quarter, 320, 80), 6);
    EXPECT_GT(offBackground(quarter, 100, 240), 100);
    EXPECT_LT(offBackground(start, 100, 240), 6);
    EXPECT_GT(quarter.pixel(100, 240)[0], 150);   // the red corner
    EXPECT_LT(offBackground(start, 5, 5), 6);
}

TEST(GlSmoke, TheCloseButtonEndsTheRun) {
    TempDir dir;
    auto settings = headlessSettings();
    settings["DEMO_KEYS"] = "5:CLOSE";
    RunResult r = run(glSmoke(), {}, settings, dir.path());
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 19), "gl-smoke: 5 frames ");
}

TEST(GlSmoke, TraceListsTheCallsOfEachFrame) {
    TempDir dir;
    auto settings = headlessSettings();
    settings["DEMO_KEYS"] = "3:ESCAPE";
    settings["DEMO_GL_TRACE"] = "trace.txt";
    RunResult r = run(glSmoke(), {}, settings, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string trace = readFile(dir.file("trace.txt"));
    const std::string frame1 =
        "glViewport(0, 0, 640, 480)\n"
        "glClearColor(0.1, 0.1, 0.2, 1)\n"
        "glClear(0x4000)\n"
        "glMatrixMode(0x1700)\n"
        "glLoadIdentity()\n"
        "glRotatef(3.0000002, 0, 0, 1)\n"
        "glBegin(0x0004)\n"
        "glColor3f(1, 0.2, 0.2)\n"
        "glVertex2f(0, 0.8)\n";
    EXPECT_NE(trace.find("-- frame 0\n" + frame1), std::string::npos) << trace;
    EXPECT_NE(trace.find("glEnd()\n-- frame 1\n"), std::string::npos);
    EXPECT_NE(trace.find("-- frame 2\n"), std::string::npos);
    EXPECT_EQ(trace.find("-- frame 3\n"), std::string::npos);
}

TEST(GlSmoke, BadSettingsAreRefusedWithTheirName) {
    TempDir dir;
    auto settings = headlessSettings();
    settings["DEMO_CLOCK"] = "fixed:fast";
    RunResult r = run(glSmoke(), {}, settings, dir.path());
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("DEMO_CLOCK: cannot read 'fixed:fast'"), std::string::npos) << r.err;
}

TEST(GlSmoke, WindowModeShowsTheSamePictures) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
    TempDir headless, window;
    auto settings = headlessSettings();
    settings["DEMO_KEYS"] = "12:ESCAPE";
    settings["DEMO_CAPTURE"] = "frames";
    settings["DEMO_CAPTURE_FRAMES"] = "10";
    ASSERT_EQ(run(glSmoke(), {}, settings, headless.path()).exitCode, 0);
    settings["DEMO_VIDEO"] = "window";
    RunResult r = run("/usr/bin/xvfb-run", {"-a", "-s", "-screen 0 1024x768x24", glSmoke()}, settings, window.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(listDir(window.file("frames")), (std::vector<std::string>{"frame-000010.png"}));
    EXPECT_EQ(readFile(window.file("frames/frame-000010.png")), readFile(headless.file("frames/frame-000010.png")));
}

}  // namespace
