// The host's window, back buffer, clock, input script and capture, driven directly.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <SDL2/SDL.h>
#include <unistd.h>

#include "host/host.h"
#include "support.h"

namespace {

using testing_support::readFile;
using testing_support::readPng;
using testing_support::TempDir;

class HostPresent : public ::testing::Test {
protected:
    void start(host::Settings settings, int width = 64, int height = 48) {
        settings.video = host::VideoBackend::Headless;
        host::overrideSettings(settings);
        host::resetForTests();
        host::WindowRequest request;
        request.width = width;
        request.height = height;
        std::string error;
        ASSERT_TRUE(host::openWindow(request, &error)) << error;
        ASSERT_TRUE(host::createContext(&error)) << error;
    }
    void TearDown() override { host::resetForTests(); }

    static host::Settings fixed(int fps = 30) {
        host::Settings s;
        s.fixedClock = true;
        s.fixedFramesPerSecond = fps;
        return s;
    }

    static void fill(float r, float g, float b) {
        glClearColor(r, g, b, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
};

TEST_F(HostPresent, FixedClockAdvancesOneFrameAtEachPresent) {
    start(fixed(30));
    EXPECT_EQ(host::counterFrequency(), 30'000'000);
    EXPECT_EQ(host::counterNow(), 0);
    host::present(true);
    host::present(true);
    EXPECT_EQ(host::presentedFrames(), 2u);
    EXPECT_EQ(host::counterNow(), 2'000'000);
    EXPECT_DOUBLE_EQ(double(host::counterNow()) / double(host::counterFrequency()), 2.0 / 30.0);
}

// fixed:30000/1001: frame n shows n * 1001 / 30000 s, in whole counter ticks.
TEST_F(HostPresent, FixedClockKeepsAFractionalRateExact) {
    host::Settings s = fixed(30000);
    s.fixedFrameRateDenominator = 1001;
    start(s);
    for (int i = 0; i < 3; ++i) host::present(true);
    EXPECT_EQ(host::counterNow() * 30000, host::counterFrequency() * 3 * 1001);
    EXPECT_DOUBLE_EQ(double(host::counterNow()) / double(host::counterFrequency()), 3.0 * 1001.0 / 30000.0);
}

TEST_F(HostPresent, RealClockRuns) {
    start(host::Settings{});
    int64_t before = host::counterNow();
    host::present(false);
    EXPECT_EQ(host::counterFrequency(), 10'000'000);
    EXPECT_GE(host::counterNow(), before);
}

TEST_F(HostPresent, BackBufferStartsBlackAndIsWhatProgramsDrawInto) {
    start(fixed(), 64, 48);
    EXPECT_EQ(host::backBufferWidth(), 64);
    EXPECT_EQ(host::backBufferHeight(), 48);
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(GLuint(bound), host::backBufferFramebuffer());
    uint8_t pixel[4] = {1, 2, 3, 4};
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0] + pixel[1] + pixel[2], 0);
}

TEST_F(HostPresent, PresentLeavesTheProgramsStateAlone) {
    start(fixed());
    glViewport(3, 4, 20, 10);
    glEnable(GL_SCISSOR_TEST);
    glScissor(1, 1, 5, 5);
    glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_FALSE);
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    host::present(true);
    GLint viewport[4], bound, alignment;
    GLboolean mask[4];
    GLfloat clear[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(viewport[0], 3);
    EXPECT_EQ(viewport[3], 10);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_FALSE(mask[1]);
    EXPECT_FLOAT_EQ(clear[2], 0.75f);
    EXPECT_EQ(GLuint(bound), host::backBufferFramebuffer());
    EXPECT_EQ(alignment, 1);
}

TEST_F(HostPresent, CapturesTheChosenFramesAsPng) {
    TempDir dir;
    host::Settings s = fixed();
    s.capturePath = dir.file("frames");
    s.captureFrames = host::FrameSet::parse("1,3");
    start(s, 64, 48);
    const float colours[4][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
    for (const auto& c : colours) {
        fill(c[0], c[1], c[2]);
        // A white pixel in the top-left corner shows which way up the capture is.
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 47, 1, 1);
        fill(1, 1, 1);
        glDisable(GL_SCISSOR_TEST);
        host::present(true);
    }
    auto files = testing_support::listDir(dir.file("frames"));
    ASSERT_EQ(files, (std::vector<std::string>{"frame-000001.png", "frame-000003.png"}));
    auto green = readPng(dir.file("frames/frame-000001.png"));
    ASSERT_EQ(green.width, 64);
    ASSERT_EQ(green.height, 48);
    EXPECT_EQ(green.pixel(10, 10)[1], 255);
    EXPECT_EQ(green.pixel(10, 10)[0], 0);
    EXPECT_EQ(green.pixel(0, 0)[0], 255);      // top-left is the top-left
    EXPECT_EQ(green.pixel(0, 47)[0], 0);
    auto yellow = readPng(dir.file("frames/frame-000003.png"));
    EXPECT_EQ(yellow.pixel(30, 30)[0], 255);
    EXPECT_EQ(yellow.pixel(30, 30)[1], 255);
}

TEST_F(HostPresent, ShownSizeLetterboxesThePicture) {
    TempDir dir;
    host::Settings s = fixed();
    s.capturePath = dir.file("frames");
    s.shownWidth = 100;
    s.shownHeight = 100;
    start(s, 64, 32);   // 2:1 into a square: bars above and below
    fill(1, 1, 1);
    host::present(true);
    auto image = readPng(dir.file("frames/frame-000000.png"));
    ASSERT_EQ(image.width, 100);
    ASSERT_EQ(image.height, 100);
    EXPECT_EQ(image.pixel(50, 5)[0], 0);     // bar
    EXPECT_EQ(image.pixel(50, 50)[0], 255);  // picture
    EXPECT_EQ(image.pixel(50, 94)[0], 0);    // bar
    EXPECT_EQ(image.pixel(2, 50)[0], 255);   // picture spans the width
}

TEST_F(HostPresent, CapturesAYuvStream) {
    TempDir dir;
    host::Settings s = fixed(25);
    s.capturePath = dir.file("show.y4m");
    s.captureY4m = true;
    start(s, 6, 4);
    fill(1, 1, 1);
    host::present(true);
    fill(0, 0, 0);
    host::present(true);
    std::string stream = readFile(dir.file("show.y4m"));
    const std::string header = "YUV4MPEG2 W6 H4 F25:1 Ip A1:1 C420jpeg\n";
    ASSERT_EQ(stream.substr(0, header.size()), header);
    const size_t frameSize = 6 + 6 * 4 + 2 * 3 * 2;
    ASSERT_EQ(stream.size(), header.size() + 2 * frameSize);
    EXPECT_EQ(stream.substr(header.size(), 6), "FRAME\n");
    EXPECT_EQ(uint8_t(stream[header.size() + 6]), 235);                  // white: studio-range peak
    EXPECT_EQ(uint8_t(stream[header.size() + frameSize + 6]), 16);       // black
    EXPECT_EQ(uint8_t(stream[header.size() + 6 + 24]), 128);             // no colour
}

TEST_F(HostPresent, ListenersHearEveryPresentedFrame) {
    start(fixed());
    std::vector<uint64_t> heard;
    int id = host::addPresentListener([&](uint64_t frame) { heard.push_back(frame); });
    host::present(true);
    host::present(true);
    host::removePresentListener(id);
    host::present(true);
    EXPECT_EQ(heard, (std::vector<uint64_t>{0, 1}));
}

TEST_F(HostPresent, ScriptedInputArrivesBeforeItsFrame) {
    host::Settings s = fixed();
    s.input = host::parseSettings([](const char* name) -> const char* {
                  return std::string(name) == "DEMO_KEYS" ? "1:A,2:B*2" : nullptr;
              }).input;
    start(s);
    host::InputEvent event;
    EXPECT_FALSE(host::pollInput(event));   // nothing for frame 0
    host::present(true);
    ASSERT_TRUE(host::pollInput(event));
    EXPECT_EQ(event.type, host::InputEvent::Type::KeyDown);
    EXPECT_EQ(event.virtualKey, 'A');
    EXPECT_TRUE(host::keyDown('A'));
    ASSERT_TRUE(host::pollInput(event));
    EXPECT_EQ(event.type, host::InputEvent::Type::KeyUp);
    EXPECT_FALSE(host::keyDown('A'));
    EXPECT_FALSE(host::pollInput(event));
    host::present(true);
    ASSERT_TRUE(host::pollInput(event));
    EXPECT_EQ(event.virtualKey, 'B');
    EXPECT_FALSE(event.repeat);
    EXPECT_FALSE(host::pollInput(event));
    // A program that waits gets the next scripted input at once: nothing else could come.
    ASSERT_TRUE(host::waitInput(event));
    EXPECT_TRUE(event.repeat);
    ASSERT_TRUE(host::waitInput(event));
    EXPECT_EQ(event.type, host::InputEvent::Type::KeyUp);
    EXPECT_FALSE(host::waitInput(event));   // headless and the script is used up
}

TEST_F(HostPresent, CapturesAtTheProgramsSizeAreWhatItDrew) {
    // Without scale or samples a capture is the back buffer byte for byte: a picture of
    // pseudo-random pixels comes back unchanged, with no filtering or resolving on the way.
    TempDir dir;
    host::Settings s = fixed();
    s.capturePath = dir.file("frames");
    start(s, 40, 30);
    std::vector<uint8_t> drawn(40 * 30 * 4);
    uint32_t x = 1;
    for (uint8_t& v : drawn) v = uint8_t((x = x * 214013 + 2531011) >> 16);
    glWindowPos2i(0, 0);
    glDrawPixels(40, 30, GL_RGBA, GL_UNSIGNED_BYTE, drawn.data());
    host::present(true);
    auto image = readPng(dir.file("frames/frame-000000.png"));
    ASSERT_EQ(image.width, 40);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(image.pixel(x, 29 - y)[c], drawn[(size_t(y) * 40 + x) * 4 + c]) << x << ", " << y;
}

TEST_F(HostPresent, TheBackBufferIsDrawnAtTheRenderScale) {
    TempDir dir;
    host::Settings s = fixed();
    s.capturePath = dir.file("frames");
    s.renderScale = 3;
    start(s, 64, 48);
    EXPECT_EQ(host::renderScale(), 3);
    EXPECT_EQ(host::backBufferWidth(), 192);
    EXPECT_EQ(host::backBufferHeight(), 144);
    fill(0, 1, 0);
    host::present(true);
    // Without DEMO_SIZE the capture is the picture as drawn.
    auto image = readPng(dir.file("frames/frame-000000.png"));
    EXPECT_EQ(image.width, 192);
    EXPECT_EQ(image.height, 144);
    // The program's size changes, the scale stays.
    host::setWindowGeometry(0, 0, 32, 16);
    EXPECT_EQ(host::backBufferWidth(), 96);
    EXPECT_EQ(host::backBufferHeight(), 48);
}

TEST_F(HostPresent, AutoScaleFillsTheCaptureSize) {
    // 64 x 48 shown in 192 x 108: drawn at scale 3 (192 x 144), captured at 144 x 108 between
    // black side bars of 24 pixels.
    TempDir dir;
    host::Settings s = fixed();
    s.capturePath = dir.file("frames");
    s.renderScale = 0;
    s.shownWidth = 192;
    s.shownHeight = 108;
    start(s, 64, 48);
    EXPECT_EQ(host::renderScale(), 3);
    fill(1, 1, 1);
    host::present(true);
    auto image = readPng(dir.file("frames/frame-000000.png"));
    ASSERT_EQ(image.width, 192);
    ASSERT_EQ(image.height, 108);
    EXPECT_EQ(image.pixel(23, 50)[0], 0);
    EXPECT_EQ(image.pixel(24, 50)[0], 255);
    EXPECT_EQ(image.pixel(167, 50)[0], 255);
    EXPECT_EQ(image.pixel(168, 50)[0], 0);
    EXPECT_EQ(image.pixel(96, 0)[0], 255);
    EXPECT_EQ(image.pixel(96, 107)[0], 255);
}

TEST_F(HostPresent, AMultisampledBackBufferIsResolvedForReadingAndCapture) {
    TempDir dir;
    host::Settings s = fixed();
    s.capturePath = dir.file("frames");
    s.multisamples = 4;
    start(s, 32, 32);
    EXPECT_EQ(host::backBufferSamples(), 4);
    GLint samples = 0;
    glGetIntegerv(GL_SAMPLES, &samples);
    EXPECT_EQ(samples, 4);
    glViewport(0, 0, 32, 32);
    glColor3f(1, 1, 1);
    glBegin(GL_TRIANGLES);
    glVertex2f(-0.9f, -0.8f);
    glVertex2f(0.9f, -0.3f);
    glVertex2f(-0.2f, 0.9f);
    glEnd();
    // The resolved picture can be read (a multisampled one cannot), and edges are smoothed.
    GLuint readable = host::readableBackBuffer(false);
    EXPECT_NE(readable, host::backBufferFramebuffer());
    std::vector<uint8_t> pixels(32 * 32 * 4);
    glReadPixels(0, 0, 32, 32, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    int partly = 0;
    for (size_t i = 0; i < pixels.size(); i += 4) partly += pixels[i] > 0 && pixels[i] < 255;
    EXPECT_GT(partly, 30);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, host::backBufferFramebuffer());
    host::present(true);
    auto image = readPng(dir.file("frames/frame-000000.png"));
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(image.pixel(x, 31 - y)[0], pixels[(size_t(y) * 32 + x) * 4]) << x << ", " << y;
}

TEST(HostWindow, TheCursorIsInTheProgramsPixelsAtEveryScale) {
    // Needs a display: without one the test runs itself again under Xvfb.
    if (!std::getenv("DISPLAY")) {
        if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
        char self[4096];
        ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
        ASSERT_GT(length, 0);
        self[length] = '\0';
        auto r = testing_support::run("/usr/bin/xvfb-run",
                                      {"-a", "-s", "-screen 0 1024x768x24", self,
                                       "--gtest_filter=HostWindow.TheCursorIsInTheProgramsPixelsAtEveryScale"},
                                      {}, ".");
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        return;
    }
    host::Settings s;
    s.video = host::VideoBackend::Window;
    s.renderScale = 3;
    host::overrideSettings(s);
    host::resetForTests();
    host::WindowRequest request;
    request.x = 10;
    request.y = 20;
    request.width = 100;
    request.height = 80;
    request.borderless = true;
    std::string error;
    ASSERT_TRUE(host::openWindow(request, &error)) << error;
    ASSERT_TRUE(host::createContext(&error)) << error;
    host::showWindow(true);
    SDL_Window* window = SDL_GetWindowFromID(1);
    ASSERT_NE(window, nullptr);
    int width = 0, height = 0, x = 0, y = 0;
    SDL_GetWindowSize(window, &width, &height);
    EXPECT_EQ(width, 300);   // shown at the scale
    EXPECT_EQ(height, 240);
    SDL_GetWindowPosition(window, &x, &y);
    SDL_WarpMouseGlobal(x + 150, y + 60);
    SDL_PumpEvents();
    int cursorX = 0, cursorY = 0;
    host::cursorPosition(cursorX, cursorY);
    EXPECT_EQ(cursorX, 10 + 50);
    EXPECT_EQ(cursorY, 20 + 20);
    host::resetForTests();
}

TEST(HostReduce, EachPixelIsTheRoundedMeanOfItsBlock) {
    // A 4 x 2 picture reduced by 2: two pixels, each channel the mean of four, half rounded up.
    const uint8_t picture[2][4][4] = {
        {{0, 10, 255, 1}, {0, 20, 255, 1}, {100, 0, 7, 9}, {200, 0, 7, 9}},
        {{1, 30, 255, 0}, {0, 40, 254, 0}, {100, 4, 7, 9}, {201, 5, 8, 9}},
    };
    uint8_t out[2][4];
    host::reducePixels(&picture[0][0][0], 4, 2, 2, &out[0][0]);
    const uint8_t expected[2][4] = {{0, 25, 255, 1}, {150, 2, 7, 9}};
    for (int i = 0; i < 2; ++i)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(out[i][c], expected[i][c]) << "pixel " << i << " channel " << c;
}

TEST_F(HostPresent, OneWindowAndOneContextAtATime) {
    start(fixed());
    std::string error;
    EXPECT_FALSE(host::openWindow(host::WindowRequest{}, &error));
    EXPECT_NE(error.find("one top-level window"), std::string::npos);
    EXPECT_FALSE(host::createContext(&error));
    EXPECT_NE(error.find("one OpenGL context"), std::string::npos);
}

}  // namespace
