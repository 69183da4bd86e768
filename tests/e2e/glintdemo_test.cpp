// glintdemo run as a user runs it, headless with the fixed clock, on a small archive.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "glint_archive.h"
#include "support.h"

namespace {

using namespace testing_support;

std::string glintdemo() { return binDir() + "/glintdemo"; }

// The alpha of the last glColor4f of a frame: the beat flash, drawn last.
float lastAlpha(const std::vector<std::string>& frame) {
    for (auto it = frame.rbegin(); it != frame.rend(); ++it) {
        if (it->rfind("glColor4f(", 0) != 0) continue;
        return std::stof(it->substr(it->rfind(", ") + 2));
    }
    return -1.0f;
}

class Glintdemo : public ::testing::Test {
protected:
    RunResult play(std::map<std::string, std::string> extra, int timeout = 120) {
        auto settings = headlessSettings();
        for (auto& [name, value] : extra) settings[name] = value;
        return run(glintdemo(), {}, settings, dir.path(), timeout);
    }
    TempDir dir;
};

TEST_F(Glintdemo, EscapeEndsTheShowAndTheMusicOnce) {
    writeGlintFolder(dir.path(), {}, true);
    RunResult r = play({{"DEMO_KEYS", "10:ESCAPE"}, {"DEMO_CAPTURE", "frames"}, {"DEMO_SOUND_TRACE", "sound.txt"}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(listDir(dir.file("frames")).size(), 10u);
    std::string size = std::to_string(readFile(dir.file("soundtrack.mp3")).size());
    EXPECT_EQ(readFile(dir.file("sound.txt")),
              "BASS_Init(-1, 44100, 0x0, NULL) = 1\n"
              "BASS_StreamCreateFile(1, memory, 0, " + size + ", 0x20000) = 1\n"
              "BASS_Start() = 1\n"
              "BASS_StreamPlay(1, 0, 0x4) = 1\n"
              "BASS_Stop() = 1\n"
              "BASS_Free() = 1\n");
}

TEST_F(Glintdemo, TheBeatFlashFadesTheOpeningInFromBlack) {
    writeGlintFolder(dir.path());
    RunResult r = play({{"DEMO_KEYS", "166:ESCAPE"},
                        {"DEMO_GL_TRACE", "trace.txt"},
                        {"DEMO_GL_TRACE_FRAMES", "60,165"},
                        {"DEMO_CAPTURE", "frames"},
                        {"DEMO_CAPTURE_FRAMES", "60,165"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string trace = readFile(dir.file("trace.txt"));
    // t = 5.5: a full-screen black quad at alpha 0.55, drawn last.
    std::vector<std::string> frame = traceFrame(trace, 165);
    ASSERT_GE(frame.size(), 12u) << trace;
    std::vector<std::string> tail(frame.end() - 12, frame.end());
    EXPECT_EQ(tail[0].substr(0, 19), "glColor4f(0, 0, 0, ");
    EXPECT_NEAR(lastAlpha(frame), 0.55f, 1e-6f);
    EXPECT_EQ(tail[1], "glBegin(0x0007)");
    EXPECT_EQ(tail[2], "glTexCoord2f(0, 0)");
    EXPECT_EQ(tail[3], "glVertex3f(-1, 1, 0)");
    EXPECT_EQ(tail[5], "glVertex3f(1, 1, 0)");
    EXPECT_EQ(tail[7], "glVertex3f(1, -1, 0)");
    EXPECT_EQ(tail[9], "glVertex3f(-1, -1, 0)");
    EXPECT_EQ(tail[10], "glEnd()");
    EXPECT_EQ(tail[11], "glDepthMask(1)");
    EXPECT_NE(std::find(frame.begin(), frame.end(), "glBlendFunc(0x0302, 0x0303)"), frame.end());
    // t = 2: opaque black.
    EXPECT_FLOAT_EQ(lastAlpha(traceFrame(trace, 60)), 1.0f);
    Image black = readPng(dir.file("frames/frame-000060.png"));
    EXPECT_EQ(black.pixel(320, 240)[0] + black.pixel(320, 240)[1] + black.pixel(320, 240)[2], 0);
}

TEST_F(Glintdemo, LoadsItsThirteenTexturesInOrderWithTheirFormats) {
    writeGlintFolder(dir.path());
    RunResult r = play({{"DEMO_KEYS", "1:ESCAPE"}, {"DEMO_GL_TRACE", "trace.txt"}, {"DEMO_GL_TRACE_FRAMES", "0"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> images;
    for (const std::string& line : traceFrame(readFile(dir.file("trace.txt")), 0))
        if (line.rfind("glTexImage2D(", 0) == 0) images.push_back(line);
    const std::string rgb = "glTexImage2D(0x0DE1, 0, 6407, 32, 32, 0, 0x1907, 0x1401, ptr)";
    const std::string grey4 = "glTexImage2D(0x0DE1, 0, 32831, 32, 32, 0, 0x1909, 0x1401, ptr)";
    const std::string grey = "glTexImage2D(0x0DE1, 0, 6409, 32, 32, 0, 0x1909, 0x1401, ptr)";
    const std::string banner = "glTexImage2D(0x0DE1, 0, 6407, 512, 128, 0, 0x1907, 0x1401, ptr)";
    // The thirteen of the timeline; the height fields' two pairs and the banner's two raw
    // pictures loaded by the effects' set-ups; the particle worlds' "sotku2.jpg", "water2.jpg"
    // and "skymap.jpg"; the run-scene's "yellowshitred.jpg", "sotku2.jpg" and "sc2.jpg"; then
    // "square.jpg".
    EXPECT_EQ(images, (std::vector<std::string>{rgb, rgb, rgb, rgb, grey4, grey4, grey4, grey4, grey4, grey4, rgb,
                                                grey, grey, rgb, rgb, rgb, rgb, banner, banner, rgb, rgb, rgb, rgb,
                                                rgb, rgb, rgb}));
}

TEST_F(Glintdemo, EnterMovesTheClockFiveSeconds) {
    writeGlintFolder(dir.path());
    RunResult r = play({{"DEMO_KEYS", "1:RETURN,20:ESCAPE"}, {"DEMO_GL_TRACE", "trace.txt"},
                        {"DEMO_GL_TRACE_FRAMES", "6"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Frame 6 shows t = 6/30 + 5: the fade-in at 1 - (t - 4) x 0.3.
    float t = 6.0f / 30.0f + 5.0f;
    EXPECT_NEAR(lastAlpha(traceFrame(readFile(dir.file("trace.txt")), 6)), 1.0f - (t - 4.0f) * 0.3f, 1e-5f);
}

TEST_F(Glintdemo, TheShowEndsAfter258Seconds) {
    writeGlintFolder(dir.path());
    // Holding Enter for 52 frames moves the clock 260 s ahead; the frame after the one that
    // finds the time past 258 closes the window.
    RunResult r = play({{"DEMO_KEYS", "1:RETURN*52"}, {"DEMO_CAPTURE", "frames"}, {"DEMO_CAPTURE_FRAMES", "0"}}, 60);
    EXPECT_EQ(r.exitCode, 0) << r.err;
}

TEST_F(Glintdemo, AMissingMemberStopsTheShow) {
    writeGlintFolder(dir.path(), {"dot.jpg"});
    RunResult r = play({{"DEMO_KEYS", "10:ESCAPE"}});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("[file not found] dot.jpg\n"), std::string::npos) << r.err;
    TempDir empty;
    RunResult none = run(glintdemo(), {}, headlessSettings(), empty.path());
    EXPECT_EQ(none.exitCode, 0);
    EXPECT_NE(none.err.find("[file not found] addict1.jpg\n"), std::string::npos) << none.err;
    // A folder in place of the archive is no archive either.
    std::filesystem::create_directory(empty.file("demo.dat"));
    RunResult folder = run(glintdemo(), {}, headlessSettings(), empty.path());
    EXPECT_EQ(folder.exitCode, 0);
    EXPECT_NE(folder.err.find("[file not found] addict1.jpg\n"), std::string::npos) << folder.err;
}

TEST_F(Glintdemo, ARefusedDisplayTestEndsBeforeAnyWindow) {
    RunResult r = play({{"DEMO_REFUSE_DISPLAY_MODES", "1"}});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "[User quality test faild...] Sorry.. you dont deserve it!\n");
}

TEST_F(Glintdemo, AMissingSoundtrackIsSaidOnceAndTheShowGoesOn) {
    writeGlintFolder(dir.path());
    RunResult r = play({{"DEMO_KEYS", "5:ESCAPE"}});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "glintdemo: cannot read the soundtrack soundtrack.mp3; the show runs without music\n");
}

TEST_F(Glintdemo, TheSoundtrackPlaysFromTheFirstFrame) {
    writeGlintFolder(dir.path(), {}, true, 1.0);
    RunResult r = play({{"DEMO_KEYS", "45:ESCAPE"}, {"DEMO_AUDIO", "wav:sound.wav"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string wav = readFile(dir.file("sound.wav"));
    ASSERT_GT(wav.size(), 44u);
    // 45 frames at 30 a second: 1.5 s of 16-bit stereo at 44100 Hz.
    EXPECT_EQ(wav.size() - 44, size_t(66150) * 4);
    auto sample = [&](size_t frame) { return int16_t(uint8_t(wav[44 + frame * 4]) | (uint8_t(wav[45 + frame * 4]) << 8)); };
    int loud = 0;
    for (size_t i = 0; i < 1470; ++i) loud += std::abs(sample(i)) > 1000;
    EXPECT_GT(loud, 500) << "the tone sounds in the first frame";
    int after = 0;   // a 1 s soundtrack loops: still sounding at 1.2 s
    for (size_t i = 52920; i < 52920 + 1470; ++i) after += std::abs(sample(i)) > 1000;
    EXPECT_GT(after, 500);
}

TEST_F(Glintdemo, NoSoundDeviceShowsItsMessageAndPlaysSilently) {
    writeGlintFolder(dir.path(), {}, true, 1.0);
    RunResult r = play({{"DEMO_KEYS", "5:ESCAPE"}, {"DEMO_AUDIO_UNAVAILABLE", "1"}, {"DEMO_SOUND_TRACE", "sound.txt"}});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "[ERROR] Cannot initialize BASS\n");
    EXPECT_EQ(readFile(dir.file("sound.txt")), "BASS_Init(-1, 44100, 0x0, NULL) = 0\n");   // nothing more reaches the library
}

}  // namespace
