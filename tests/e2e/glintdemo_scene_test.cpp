// Keyframed scenes played by the show: a small archive whose "kurwa2_.exp" holds a textured box,
// a camera looking at it and a light, run headless through the timeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
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
    exp::Material m;
    m.name = "Material #1";
    m.texture = "Checker.JPG";
    m.diffuse = exp::still(1, 1, 1);
    m.opacity = exp::still(1);
    writer.add(m);
    exp::Material green;
    green.name = "Green";
    green.diffuse = exp::still(0, 1, 0);
    green.opacity = exp::still(1);
    writer.add(green);
    exp::Mesh box = exp::box("Box01", 60, 60, 60);
    box.material = 0;
    writer.add(box);
    exp::Mesh lid = exp::box("Lid", 10, 10, 10);
    lid.material = 1;
    lid.position = exp::still(0, -150, 40);
    writer.add(lid);
    exp::NullObject target;
    target.name = "Target";
    target.position = exp::still(0, 0, 0);
    writer.add(target);
    exp::Camera camera;
    camera.name = "Camera01";
    camera.target = "Target";
    camera.position = exp::still(0, -300, 0);
    camera.fieldOfView = exp::still(0.8f);
    writer.add(camera);
    exp::Light light;
    light.name = "Light01";
    light.position = exp::still(0, -400, 0);
    writer.add(light);
    return writer.bytes();
}

std::vector<std::string> traceFrame(const std::string& trace, int frame) {
    std::vector<std::string> lines, current;
    std::istringstream in(trace);
    for (std::string line; std::getline(in, line);) {
        if (line == "-- frame " + std::to_string(frame)) return current;
        if (line.rfind("-- frame ", 0) == 0) current.clear();
        else current.push_back(line);
    }
    return {};
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
    // Outside the boxes and their normals, the screen stays black.
    const uint8_t* corner = frame.pixel(20, 20);
    EXPECT_EQ(corner[0] + corner[1] + corner[2], 0);
}

}  // namespace
