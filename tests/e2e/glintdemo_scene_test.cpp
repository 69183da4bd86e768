// Keyframed scenes played by the show: a small archive whose "kurwa2_.exp" holds a textured box,
// a camera looking at it and a light, run headless through the timeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "exp_writer.h"
#include "glint_archive.h"
#include "jpeg_writer.h"
#include "support.h"

namespace {

using namespace testing_support;
namespace exp = content::exp;

// A 64 x 64 checkerboard of pure red and pure blue squares, 16 pixels each.
std::vector<uint8_t> checkerJpeg() {
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            bool red = ((x / 16) + (y / 16)) % 2 == 0;
            pixels.insert(pixels.end(), {uint8_t(red ? 255 : 0), 0, uint8_t(red ? 0 : 255)});
        }
    content::JpegWriterOptions options;
    options.lumaH = options.lumaV = 1;
    return content::writeJpeg(pixels.data(), 64, 64, 3, options);
}

// A checkered box of 120 units a side at the origin, the camera 300 units before it on -y
// looking along +y at a null object in the box's centre, the light behind the camera. A small
// green box floats before the big one, high up (z is up).
std::vector<uint8_t> boxScene() {
    exp::Writer writer;
    writer.add(exp::material("Material #1", "Checker.JPG"));
    writer.add(exp::material("Green", "", 0, 1, 0));
    exp::Mesh box = exp::box("Box01", 60, 60, 60);
    box.material = 0;
    writer.add(box);
    exp::Mesh lid = exp::box("Lid", 10, 10, 10);
    lid.material = 1;
    lid.position = exp::still(0, -150, 40);
    writer.add(lid);
    writer.add(exp::nullObject("Target", 0, 0, 0));
    writer.add(exp::camera("Camera01", "Target", 0, -300, 0, 0.8f));
    writer.add(exp::light("Light01", 0, -400, 0));
    return writer.bytes();
}

class GlintScene : public ::testing::Test {
protected:
    RunResult play(std::map<std::string, std::string> extra) {
        auto settings = headlessSettings();
        for (auto& [name, value] : extra) settings[name] = value;
        return run(binDir() + "/glintdemo", {}, settings, dir.path(), 120);
    }
    TempDir dir;
};

// Enter 14 times and Up 3 times bring the show to 73 s plus the frames: inside the part of
// "kurwa2_.exp" (56 to 82 s), in a gap between beat flashes.
const char* toTheScene = "1:RETURN*14,16:UP*3";

TEST_F(GlintScene, ALitTexturedBoxShowsWhereTheCameraLooks) {
    writeGlintFolder(dir.path(), {}, false, 2.0, {{"kurwa2_.exp", boxScene()}, {"checker.jpg", checkerJpeg()}});
    RunResult r = play({{"DEMO_KEYS", std::string(toTheScene) + ",24:ESCAPE"},
                        {"DEMO_CAPTURE", "frames"},
                        {"DEMO_CAPTURE_FRAMES", "22"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The material's picture name goes to the debugger output as it was written.
    EXPECT_NE(r.err.find("Checker.JPG\n"), std::string::npos) << r.err;
    Image frame = readPng(dir.file("frames/frame-000022.png"));
    // The front face fills the middle of the screen: red and blue squares, lit.
    int red = 0, blue = 0;
    for (int y = 200; y < 280; ++y)
        for (int x = 280; x < 360; ++x) {
            const uint8_t* p = frame.pixel(x, y);
            red += p[0] > 120 && p[2] < 80;
            blue += p[2] > 120 && p[0] < 80;
        }
    EXPECT_GT(red, 800);
    EXPECT_GT(blue, 800);
    // The green box is seen above the middle: up is up.
    const uint8_t* lid = frame.pixel(320, 40);
    EXPECT_GT(lid[1], 150);
    EXPECT_LT(lid[0] + lid[2], 60);
}

// The index of the first line at or after `from` that starts with `prefix`, or -1.
long find(const std::vector<std::string>& lines, const std::string& prefix, size_t from = 0) {
    for (size_t i = from; i < lines.size(); ++i)
        if (lines[i].rfind(prefix, 0) == 0) return long(i);
    return -1;
}

TEST_F(GlintScene, AFrameSetsTheCameraThenDrawsNearestFirstThenTheNormals) {
    writeGlintFolder(dir.path(), {}, false, 2.0, {{"kurwa2_.exp", boxScene()}, {"checker.jpg", checkerJpeg()}});
    RunResult r = play({{"DEMO_KEYS", std::string(toTheScene) + ",24:ESCAPE"},
                        {"DEMO_GL_TRACE", "trace.txt"},
                        {"DEMO_GL_TRACE_FRAMES", "22"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> frame = traceFrame(readFile(dir.file("trace.txt")), 22);
    ASSERT_FALSE(frame.empty());
    // The projection of a 0.8 radian field of view, turned to look along -z.
    long frustum = find(frame, "glFrustum(-0.4227932393550873, 0.4227932393550873, -0.31709492206573486, "
                               "0.31709492206573486, 1, 10000)");
    ASSERT_GE(frustum, 2);
    EXPECT_EQ(frame[size_t(frustum) - 2], "glMatrixMode(0x1701)");
    EXPECT_EQ(frame[size_t(frustum) + 1], "glScalef(1, -1, -1)");
    EXPECT_EQ(frame[size_t(frustum) + 2], "glMatrixMode(0x1700)");
    // The small box, 150 units ahead, is drawn before the big one, 300 units ahead; both opaque,
    // with depth writes.
    long near = find(frame, "glLoadMatrixf({1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, -40, 150, 1})");
    long far = find(frame, "glLoadMatrixf({1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 300, 1})");
    ASSERT_GE(near, 0);
    ASSERT_GT(far, near);
    EXPECT_EQ(frame[size_t(near) - 2], "glDepthMask(1)");
    // The big box's material: its texture, scrolled by 0.2 of the part's local time, 12 faces.
    long bind = find(frame, "glBindTexture(0x0DE1, ", size_t(far));
    long scroll = find(frame, "glTranslatef(", size_t(bind) + 5);
    ASSERT_GT(bind, far);
    float localTime = 22.0f / 30.0f + 73.0f - 56.0f;
    EXPECT_NEAR(std::stof(frame[size_t(scroll)].substr(13)), localTime * 0.2f, 1e-4f);
    long draw = find(frame, "glDrawElements(", size_t(bind));
    EXPECT_EQ(frame[size_t(draw)], "glDrawElements(0x0004, 36, 0x1403, ptr)");
    // Then the normals: one additive line from each of the big box's 24 vertices.
    long lines = find(frame, "glBegin(0x0001)", size_t(draw));
    long end = find(frame, "glEnd()", size_t(lines));
    ASSERT_GT(lines, 0);
    EXPECT_EQ(frame[size_t(lines) + 1], "glColor4f(0.9, 0.51, 0.2, 0.21)");
    EXPECT_EQ(frame[size_t(lines) + 3], "glColor4f(0.9, 0.51, 0.2, 0)");
    EXPECT_EQ(end - lines - 1, 24 * 4);
}

TEST_F(GlintScene, ABrokenSceneStopsTheShowNamingTheMember) {
    exp::Writer writer;
    exp::Mesh tri;
    tri.name = "Tri";
    tri.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    tri.faces = {{0, 1, 7, 0}};
    writer.add(tri);
    writeGlintFolder(dir.path(), {}, false, 2.0, {{"scene6.exp", writer.bytes()}});
    RunResult r = play({{"DEMO_KEYS", "10:ESCAPE"}});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("[broken scene] scene6.exp: mesh \"tri\": face 0 uses vertex 7 of 3 at byte 116\n"),
              std::string::npos)
        << r.err;
}

// "nowheretorun.exp": one box with a textured first material, a camera and a light.
std::vector<uint8_t> runScene() {
    exp::Writer writer;
    writer.add(exp::material("Floor", "sotku2.jpg"));
    exp::Mesh box = exp::box("Block", 40, 40, 40);
    box.material = 0;
    writer.add(box);
    writer.add(exp::nullObject("Target", 0, 0, 0));
    writer.add(exp::camera("Camera", "Target", 0, -400, 0, 0.8f));
    return writer.bytes();
}

TEST_F(GlintScene, TheRunSceneDrawsFadedThenItsRibbons) {
    writeGlintFolder(dir.path(), {}, false, 2.0, {{"nowheretorun.exp", runScene()}});
    // 32 presses of Enter: t = 160 s plus the frames, in the first stretch (156 to 182 s).
    RunResult r = play({{"DEMO_KEYS", "1:RETURN*32,42:ESCAPE"},
                        {"DEMO_GL_TRACE", "trace.txt"},
                        {"DEMO_GL_TRACE_FRAMES", "40"},
                        {"DEMO_CAPTURE", "frames"},
                        {"DEMO_CAPTURE_FRAMES", "40"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> frame = traceFrame(readFile(dir.file("trace.txt")), 40);
    const float showTime = 40.0f / 30.0f + 160.0f;
    // The scene: faded by the rate 0.243, so blended, without depth writes or the colour array,
    // its texture turning 24 degrees a second.
    long draw = find(frame, "glDrawElements(");
    ASSERT_GT(draw, 0);
    long mask = find(frame, "glDepthMask(0)");
    EXPECT_LT(mask, draw);
    long pointers = find(frame, "glNormalPointer(");
    for (long i = pointers; i < draw; ++i) EXPECT_NE(frame[size_t(i)], "glEnableClientState(0x8076)");
    long turn = find(frame, "glRotatef(", size_t(pointers));
    ASSERT_GT(turn, pointers);
    EXPECT_NEAR(std::stof(frame[size_t(turn)].substr(10)), 24.0f * showTime, 0.01f);
    EXPECT_EQ(frame[size_t(draw) - 2], "glColor4f(1, 1, 1, 0.243)");
    // The ribbons: one strip of 32 streamers, 34 segments each, drawn three times jittered.
    long ribbons = find(frame, "glFrustum(-0.5, 0.5, -0.375, 0.375, 1, 5000)");
    ASSERT_GT(ribbons, draw);
    long strip = find(frame, "glBegin(0x0005)", size_t(ribbons));
    long end = find(frame, "glEnd()", size_t(strip));
    long vertices = 0, colours = 0;
    for (long i = strip; i < end; ++i) {
        vertices += frame[size_t(i)].rfind("glVertex3f(", 0) == 0;
        colours += frame[size_t(i)].rfind("glColor4f(", 0) == 0;
    }
    EXPECT_EQ(vertices, 32 * 34 * 3 * 2);
    EXPECT_EQ(colours, 32);
    EXPECT_EQ(frame[size_t(strip) + 1], "glColor4f(0.3019608, 0.043137256, 0.003921569, 0.1)");
    EXPECT_EQ(frame[size_t(end) + 1], "glDepthMask(1)");
    Image picture = readPng(dir.file("frames/frame-000040.png"));
    int lit = 0;
    for (int y = 0; y < 480; y += 4)
        for (int x = 0; x < 640; x += 4) lit += picture.pixel(x, y)[0] > 20;
    EXPECT_GT(lit, 500);
}

}  // namespace
