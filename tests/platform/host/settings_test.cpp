#include <gtest/gtest.h>

#include <map>

#include "host/host.h"

namespace {

using host::ScriptedInput;

host::Settings parse(const std::map<std::string, std::string>& variables) {
    return host::parseSettings([&](const char* name) -> const char* {
        auto it = variables.find(name);
        return it == variables.end() ? nullptr : it->second.c_str();
    });
}

TEST(HostSettings, DefaultsFollowTheDisplay) {
    host::Settings none = parse({});
    EXPECT_EQ(none.video, host::VideoBackend::Headless);
    EXPECT_FALSE(none.fixedClock);
    EXPECT_EQ(none.audio, host::AudioSink::Auto);
    EXPECT_TRUE(none.captureFrames.all());
    EXPECT_EQ(none.shownWidth, 0);
    EXPECT_EQ(parse({{"DISPLAY", ":0"}}).video, host::VideoBackend::Window);
    EXPECT_EQ(parse({{"WAYLAND_DISPLAY", "wayland-0"}}).video, host::VideoBackend::Window);
    EXPECT_EQ(parse({{"DISPLAY", ":0"}, {"DEMO_VIDEO", "headless"}}).video, host::VideoBackend::Headless);
}

TEST(HostSettings, ReadsEveryVariable) {
    host::Settings s = parse({{"DEMO_VIDEO", "window"},
                              {"DEMO_CLOCK", "fixed:25"},
                              {"DEMO_CAPTURE", "out/show.y4m"},
                              {"DEMO_CAPTURE_FRAMES", "0,30,60-90"},
                              {"DEMO_AUDIO", "wav:music out.wav"},
                              {"DEMO_GL_TRACE", "trace.txt"},
                              {"DEMO_GL_TRACE_FRAMES", "55,100-102"},
                              {"DEMO_SIZE", "1280x720"}});
    EXPECT_EQ(s.video, host::VideoBackend::Window);
    EXPECT_TRUE(s.fixedClock);
    EXPECT_EQ(s.fixedFramesPerSecond, 25);
    EXPECT_EQ(s.fixedFrameRateDenominator, 1);
    host::Settings ntsc = parse({{"DEMO_CLOCK", "fixed:30000/1001"}});
    EXPECT_EQ(ntsc.fixedFramesPerSecond, 30000);
    EXPECT_EQ(ntsc.fixedFrameRateDenominator, 1001);
    EXPECT_TRUE(s.captureY4m);
    EXPECT_EQ(s.audio, host::AudioSink::Wav);
    EXPECT_EQ(s.wavPath, "music out.wav");
    EXPECT_EQ(s.glTracePath, "trace.txt");
    EXPECT_EQ(s.shownWidth, 1280);
    EXPECT_EQ(s.shownHeight, 720);
    for (uint64_t frame : {0, 30, 60, 75, 90}) EXPECT_TRUE(s.captureFrames.contains(frame)) << frame;
    for (uint64_t frame : {1, 29, 59, 91}) EXPECT_FALSE(s.captureFrames.contains(frame)) << frame;
    EXPECT_EQ(s.captureFrames.last(), 90u);
    EXPECT_TRUE(s.glTraceFrames.contains(101));
    EXPECT_FALSE(s.glTraceFrames.contains(56));
    EXPECT_FALSE(parse({{"DEMO_CAPTURE", "frames"}}).captureY4m);
}

TEST(HostSettings, RenderScaleAndSamples) {
    host::Settings none = parse({});
    EXPECT_EQ(none.renderScale, 1);
    EXPECT_EQ(none.multisamples, 0);
    EXPECT_EQ(parse({{"DEMO_RENDER_SCALE", "auto"}}).renderScale, 0);
    for (int scale = 1; scale <= 8; ++scale)
        EXPECT_EQ(parse({{"DEMO_RENDER_SCALE", std::to_string(scale)}}).renderScale, scale);
    for (int samples : {0, 2, 4, 8}) EXPECT_EQ(parse({{"DEMO_MSAA", std::to_string(samples)}}).multisamples, samples);
}

TEST(HostSettings, AutoScaleFitsAWindowAndFillsACapture) {
    // A 640 x 480 program in 1920 x 1080: a window takes scale 2 (1280 x 960 fits), a capture
    // scale 3 (1920 x 1440, shown as 1440 x 1080 between side bars); in 3840 x 2160, 4 and 5.
    EXPECT_EQ(host::chooseRenderScale(0, 640, 480, 1920, 1080, false), 2);
    EXPECT_EQ(host::chooseRenderScale(0, 640, 480, 1920, 1080, true), 3);
    EXPECT_EQ(host::chooseRenderScale(0, 640, 480, 3840, 2160, false), 4);
    EXPECT_EQ(host::chooseRenderScale(0, 640, 480, 3840, 2160, true), 5);
    // An exact fit is that scale either way; a frame smaller than the program stays at 1.
    EXPECT_EQ(host::chooseRenderScale(0, 640, 480, 1280, 960, false), 2);
    EXPECT_EQ(host::chooseRenderScale(0, 640, 480, 1280, 960, true), 2);
    EXPECT_EQ(host::chooseRenderScale(0, 640, 480, 320, 240, false), 1);
    EXPECT_EQ(host::chooseRenderScale(0, 640, 480, 320, 240, true), 1);
    EXPECT_EQ(host::chooseRenderScale(0, 64, 48, 16384, 16384, true), host::maxRenderScale);
    EXPECT_EQ(host::chooseRenderScale(0, 640, 480, 0, 0, false), 1) << "no frame known";
    // A fixed scale is what it says.
    EXPECT_EQ(host::chooseRenderScale(3, 640, 480, 640, 480, false), 3);
    EXPECT_EQ(host::chooseRenderScale(1, 640, 480, 3840, 2160, true), 1);
}

TEST(HostSettings, KeysBecomeDownAndUpOnTheirFrames) {
    host::Settings s = parse({{"DEMO_KEYS", "45:ESCAPE,3:A,3:CLOSE"}});
    ASSERT_EQ(s.input.size(), 5u);
    // Sorted by frame, script order kept within a frame.
    EXPECT_EQ(s.input[0].frame, 3u);
    EXPECT_EQ(s.input[0].kind, ScriptedInput::Kind::KeyDown);
    EXPECT_EQ(s.input[0].virtualKey, 'A');
    EXPECT_EQ(s.input[1].kind, ScriptedInput::Kind::KeyUp);
    EXPECT_EQ(s.input[2].kind, ScriptedInput::Kind::Close);
    EXPECT_EQ(s.input[3].frame, 45u);
    EXPECT_EQ(s.input[3].virtualKey, 0x1B);
    EXPECT_EQ(s.input[4].kind, ScriptedInput::Kind::KeyUp);
}

TEST(HostSettings, HeldKeysRepeatUntilReleased) {
    host::Settings s = parse({{"DEMO_KEYS", "10:RIGHT*3"}});
    ASSERT_EQ(s.input.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(s.input[i].frame, uint64_t(10 + i));
        EXPECT_EQ(s.input[i].kind, ScriptedInput::Kind::KeyDown);
        EXPECT_EQ(s.input[i].virtualKey, 0x27);
        EXPECT_EQ(s.input[i].repeat, i > 0);
    }
    EXPECT_EQ(s.input[3].frame, 13u);
    EXPECT_EQ(s.input[3].kind, ScriptedInput::Kind::KeyUp);
}

TEST(HostSettings, KnowsTheKeyNames) {
    EXPECT_EQ(host::virtualKeyFromName("RETURN"), 0x0D);
    EXPECT_EQ(host::virtualKeyFromName("UP"), 0x26);
    EXPECT_EQ(host::virtualKeyFromName("DOWN"), 0x28);
    EXPECT_EQ(host::virtualKeyFromName("LEFT"), 0x25);
    EXPECT_EQ(host::virtualKeyFromName("SPACE"), 0x20);
    EXPECT_EQ(host::virtualKeyFromName("TAB"), 0x09);
    EXPECT_EQ(host::virtualKeyFromName("ADD"), 0x6B);
    EXPECT_EQ(host::virtualKeyFromName("SUBTRACT"), 0x6D);
    EXPECT_EQ(host::virtualKeyFromName("Z"), 'Z');
    EXPECT_EQ(host::virtualKeyFromName("7"), '7');
    EXPECT_EQ(host::virtualKeyFromName("escape"), 0);
    EXPECT_EQ(host::virtualKeyFromName("VK_ESCAPE"), 0);
}

TEST(HostSettings, RefusesWhatItCannotRead) {
    const std::map<std::string, std::string> bad[] = {
        {{"DEMO_VIDEO", "x11"}},          {{"DEMO_CLOCK", "fixed:"}},       {{"DEMO_CLOCK", "fixed:0"}},
        {{"DEMO_CLOCK", "fixed:29.97"}},  {{"DEMO_CLOCK", "fast"}},         {{"DEMO_KEYS", "ESCAPE"}},
        {{"DEMO_CLOCK", "fixed:30/0"}},   {{"DEMO_CLOCK", "fixed:2001/2"}}, {{"DEMO_CLOCK", "fixed:30/"}},
        {{"DEMO_KEYS", "5:ESCAPES"}},     {{"DEMO_KEYS", "-1:A"}},          {{"DEMO_KEYS", "5:A*0"}},
        {{"DEMO_KEYS", "5:CLOSE*2"}},     {{"DEMO_KEYS", "5:A,"}},          {{"DEMO_CAPTURE_FRAMES", "9-3"}},
        {{"DEMO_CAPTURE_FRAMES", "a"}},   {{"DEMO_AUDIO", "wav:"}},         {{"DEMO_AUDIO", "pulse"}},
        {{"DEMO_SIZE", "640"}},           {{"DEMO_SIZE", "0x480"}},         {{"DEMO_SIZE", "640x480x32"}},
        {{"DEMO_GL_TRACE_FRAMES", "1-"}}, {{"DEMO_REFUSE_DISPLAY_MODES", "yes"}},
        {{"DEMO_RENDER_SCALE", "0"}},     {{"DEMO_RENDER_SCALE", "9"}},     {{"DEMO_RENDER_SCALE", "1.5"}},
        {{"DEMO_RENDER_SCALE", "AUTO"}},  {{"DEMO_MSAA", "1"}},             {{"DEMO_MSAA", "16"}},
        {{"DEMO_MSAA", "x4"}},
    };
    for (const auto& variables : bad) {
        const auto& [name, value] = *variables.begin();
        try {
            parse(variables);
            ADD_FAILURE() << name << "=" << value << " was accepted";
        } catch (const host::SettingsError& error) {
            EXPECT_NE(std::string(error.what()).find(name), std::string::npos)
                << "the message names the variable: " << error.what();
        }
    }
}

}  // namespace
