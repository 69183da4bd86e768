// demo-capture run as a user runs it, on glintdemo with a small archive: the video holds
// exactly the frames of the stretch, the program's own pictures in their order, and the sound
// of the same moments.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "glint_archive.h"
#include "mp3_writer.h"
#include "support.h"

namespace {

using namespace testing_support;

std::string onPath(const std::string& name) {
    std::istringstream folders(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (fileExists(folder + "/" + name)) return folder + "/" + name;
    return "";
}

// key=value lines of ffprobe, one map per stream.
std::vector<std::map<std::string, std::string>> probe(const std::string& video, const std::string& workdir) {
    RunResult r = run(onPath("ffprobe"),
                      {"-v", "error", "-count_frames", "-show_entries",
                       "stream=codec_type,codec_name,width,height,nb_read_frames,r_frame_rate,duration", "-of",
                       "default=noprint_wrappers=1", video},
                      {}, workdir);
    std::vector<std::map<std::string, std::string>> streams;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals);
        if (key == "codec_name") streams.emplace_back();
        if (!streams.empty()) streams.back()[key] = line.substr(equals + 1);
    }
    return streams;
}

const std::map<std::string, std::string>* streamOf(const std::vector<std::map<std::string, std::string>>& streams,
                                                   const std::string& type) {
    for (const auto& s : streams)
        if (s.count("codec_type") && s.at("codec_type") == type) return &s;
    return nullptr;
}

class Capture : public ::testing::Test {
protected:
    void SetUp() override {
        if (onPath("ffmpeg").empty() || onPath("ffprobe").empty()) GTEST_SKIP() << "ffmpeg is not installed";
    }
    RunResult capture(const std::vector<std::string>& arguments, std::map<std::string, std::string> environment = {}) {
        return run(binDir() + "/demo-capture", arguments, environment, dir.path(), 120);
    }
    // A soundtrack that is silent for 5.2 s and then sounds a tone.
    void writeLateTone() {
        content::mp3::Pcm pcm = content::mp3::sine(440.0, 6.5, 44100, 2, 0.5);
        std::fill(pcm.samples.begin(), pcm.samples.begin() + 52 * 4410 * 2, int16_t(0));
        std::vector<uint8_t> mp3;
        std::string error;
        ASSERT_TRUE(content::mp3::encode(pcm, content::mp3::EncodeOptions{}, mp3, &error)) << error;
        writeFile(dir.file("soundtrack.mp3"), std::string(mp3.begin(), mp3.end()));
    }
    TempDir dir;
};

// The stretch from 5 s to 6.2 s at 5 frames a second, as the show fades in: clock frames 25 to
// 30. Each frame of the video is the program's own frame of that number (as its PNG capture
// shows it), and the tone that starts 5.2 s into the soundtrack starts 0.2 s into the video's
// sound.
TEST_F(Capture, AStretchHoldsItsFramesAndItsSoundInStep) {
    writeGlintFolder(dir.path());
    writeLateTone();
    RunResult r = capture({"--fps", "5", "--from", "5", "--to", "6.2", "-o", "stretch.mp4", "--", binDir() + "/glintdemo"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("demo-capture: 100% (frame 6, show 6.0 s"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("demo-capture: wrote stretch.mp4: 6 frames"), std::string::npos) << r.err;

    auto streams = probe("stretch.mp4", dir.path());
    const auto* video = streamOf(streams, "video");
    const auto* audio = streamOf(streams, "audio");
    ASSERT_TRUE(video && audio) << "streams: " << streams.size();
    EXPECT_EQ(video->at("codec_name"), "h264");
    EXPECT_EQ(video->at("nb_read_frames"), "6");
    EXPECT_EQ(video->at("r_frame_rate"), "5/1");
    EXPECT_EQ(video->at("width"), "640");
    EXPECT_NEAR(std::stod(audio->at("duration")), 1.2, 0.03);

    // The program's own frames 24 to 31.
    auto settings = headlessSettings(5);
    settings["DEMO_KEYS"] = "33:ESCAPE";
    settings["DEMO_CAPTURE"] = dir.file("own");
    settings["DEMO_CAPTURE_FRAMES"] = "24-31";
    ASSERT_EQ(run(binDir() + "/glintdemo", {}, settings, dir.path()).exitCode, 0);
    ASSERT_EQ(run(onPath("ffmpeg"), {"-v", "error", "-i", "stretch.mp4", "-vsync", "passthrough", "video-%d.png"}, {},
                  dir.path()).exitCode, 0);
    // Each video frame is the program's own frame of its number: nearer to it than to the
    // frames before and after it wherever those differ from it by more than the encoder loses
    // (a few levels of detail).
    auto own = [&](int frame) { return readPng(dir.file("own/frame-0000" + std::to_string(frame) + ".png")); };
    std::vector<Image> frames;   // clock frames 24 to 31
    for (int frame = 24; frame <= 31; ++frame) frames.push_back(own(frame));
    int ordered = 0;
    for (int i = 0; i < 6; ++i) {
        Image shown = readPng(dir.file("video-" + std::to_string(i + 1) + ".png"));
        const Image& expected = frames[size_t(i + 1)];
        double distance = meanDifference(shown, expected);
        EXPECT_LT(distance, 8.0) << "video frame " << i << " is clock frame " << 25 + i;
        for (size_t neighbour : {size_t(i), size_t(i + 2)}) {
            if (meanDifference(frames[neighbour], expected) <= 3.0 * distance) continue;
            EXPECT_LT(distance, meanDifference(shown, frames[neighbour])) << "video frame " << i;
            ++ordered;
        }
    }
    EXPECT_GE(ordered, 4) << "the stretch must change from frame to frame for the order to show";

    ASSERT_EQ(run(onPath("ffmpeg"), {"-v", "error", "-i", "stretch.mp4", "-vn", "-ac", "1", "-ar", "44100", "-f", "s16le",
                                     "sound.raw"},
                  {}, dir.path()).exitCode, 0);
    std::string sound = readFile(dir.file("sound.raw"));
    size_t onset = 0;
    for (size_t i = 0; i + 1 < sound.size(); i += 2)
        if (std::abs(int16_t(uint8_t(sound[i]) | uint8_t(sound[i + 1]) << 8)) > 3000) {
            onset = i / 2;
            break;
        }
    EXPECT_NEAR(double(onset) / 44100.0, 0.2, 0.01) << "the tone starts 5.2 s into the show";
}

// Fractional frame rates reach the program's clock and sound: 15 frames at 30000/1001.
TEST_F(Capture, KeepsAFractionalFrameRate) {
    writeGlintFolder(dir.path(), {}, true, 2.0);
    RunResult r = capture({"--fps", "30000/1001", "--to", "0.5", "--size", "320x240", "--", binDir() + "/glintdemo"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto streams = probe("glintdemo.mp4", dir.path());
    const auto* video = streamOf(streams, "video");
    const auto* audio = streamOf(streams, "audio");
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->at("r_frame_rate"), "30000/1001");
    EXPECT_EQ(video->at("nb_read_frames"), "15");
    EXPECT_EQ(video->at("width"), "320");
    EXPECT_NEAR(std::stod(audio->at("duration")), 15 * 1001 / 30000.0, 0.03);
}

// A frame of the program's own size is filled at scale 1; there, and without multisampling, the
// video is the one made without the options, though the program then draws through the
// platform's scaling.
TEST_F(Capture, AtTheProgramsOwnScaleTheVideoIsTheSameByteForByte) {
    writeGlintFolder(dir.path(), {}, true);
    std::vector<std::string> stretch{"--fps", "2", "--from", "5", "--to", "6.5"};
    std::string plain;
    for (const std::vector<std::string>& options :
         {std::vector<std::string>{}, {"--size", "640x480", "--msaa", "0"}}) {
        std::vector<std::string> arguments = stretch;
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), {"--", binDir() + "/glintdemo"});
        RunResult r = capture(arguments);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        ASSERT_NE(r.err.find("wrote glintdemo.mp4: 3 frames"), std::string::npos) << r.err;
        std::string video = readFile(dir.file("glintdemo.mp4"));
        if (options.empty()) plain = video;
        else EXPECT_TRUE(video == plain) << "with " << options[0];
    }
}

// A 1080p video of gl-smoke without --scale: the turning triangle drawn at scale 3 and
// multisampled, reduced to 1440 x 1080 between black bars of 240 pixels. Where the pictures
// drawn at scale 1, or without samples, differ much from it (along the triangle's edges), the
// video's frame is nearer to it than to them.
TEST_F(Capture, AFullHdVideoIsDrawnAtTheScaleThatFillsIt) {
    RunResult r = capture({"--to", "0.1", "--size", "1920x1080", "--msaa", "4", "-o", "smoke.mp4", "--",
                           binDir() + "/gl-smoke"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto* video = streamOf(probe("smoke.mp4", dir.path()), "video");
    ASSERT_TRUE(video);
    EXPECT_EQ(video->at("width"), "1920");
    EXPECT_EQ(video->at("height"), "1080");
    ASSERT_EQ(run(onPath("ffmpeg"), {"-v", "error", "-i", "smoke.mp4", "-vf", "select=eq(n\\,2)", "-vsync",
                                     "passthrough", "shown.png"},
                  {}, dir.path()).exitCode, 0);
    Image shown = readPng(dir.file("shown.png"));

    auto drawn = [&](const std::string& scale, const std::string& samples) {
        auto settings = headlessSettings();
        settings.insert({{"DEMO_SIZE", "1920x1080"}, {"DEMO_RENDER_SCALE", scale}, {"DEMO_MSAA", samples},
                         {"DEMO_CAPTURE", dir.file(scale + samples)}, {"DEMO_CAPTURE_FRAMES", "2"},
                         {"DEMO_KEYS", "3:ESCAPE"}});
        EXPECT_EQ(run(binDir() + "/gl-smoke", {}, settings, dir.path()).exitCode, 0);
        return readPng(dir.file(scale + samples + "/frame-000002.png"));
    };
    Image expected = drawn("3", "4");
    ASSERT_EQ(shown.width, expected.width);
    for (int y = 0; y < 1080; y += 7)
        for (int x : {0, 120, 229, 1690, 1800, 1919})
            ASSERT_LE(shown.pixel(x, y)[0] + shown.pixel(x, y)[1] + shown.pixel(x, y)[2], 12) << x << ", " << y;
    EXPECT_GT(light(shown), 0.5 * light(expected));

    for (const Image& other : {drawn("1", "0"), drawn("3", "0")}) {
        double nearExpected = 0, nearOther = 0;
        int pixels = 0;
        for (size_t i = 0; i < shown.rgb.size(); i += 3) {
            int apart = 0;
            for (size_t c = i; c < i + 3; ++c) apart += std::abs(expected.rgb[c] - other.rgb[c]);
            if (apart < 60) continue;
            ++pixels;
            for (size_t c = i; c < i + 3; ++c) {
                nearExpected += std::abs(shown.rgb[c] - expected.rgb[c]);
                nearOther += std::abs(shown.rgb[c] - other.rgb[c]);
            }
        }
        EXPECT_GT(pixels, 100);
        EXPECT_LT(nearExpected, 0.7 * nearOther) << pixels << " pixels, " << nearExpected / nearOther;
    }
}

TEST_F(Capture, SaysWhatWentWrong) {
    // No ffmpeg on the PATH.
    RunResult noFfmpeg = capture({"--", binDir() + "/glintdemo"}, {{"PATH", dir.path()}});
    EXPECT_EQ(noFfmpeg.exitCode, 2);
    EXPECT_NE(noFfmpeg.err.find("ffmpeg is not installed"), std::string::npos) << noFfmpeg.err;

    // A show that stops before its first frame (no archive here).
    RunResult stopped = capture({"--to", "1", "--", binDir() + "/glintdemo"});
    EXPECT_EQ(stopped.exitCode, 3);
    EXPECT_NE(stopped.err.find("[file not found] addict1.jpg"), std::string::npos) << "the program's own message";
    EXPECT_NE(stopped.err.find("demo-capture: glintdemo ended before it showed a frame"), std::string::npos) << stopped.err;
    EXPECT_FALSE(fileExists(dir.file("glintdemo.mp4")));

    // A program that fails (the platform refuses a bad setting with exit code 2).
    writeGlintFolder(dir.path());
    RunResult failed = capture({"--to", "1", "--", binDir() + "/glintdemo"}, {{"DEMO_SIZE", "huge"}});
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_NE(failed.err.find("demo-capture: glintdemo ended with exit code 2; no video written"), std::string::npos)
        << failed.err;

    // A program killed in the middle of the stretch (by its processor-time limit) leaves no
    // video, though it showed frames of it.
    RunResult killed = capture({"--to", "100", "--", "sh", "-c", "ulimit -t 1; exec " + binDir() + "/glintdemo"});
    EXPECT_EQ(killed.exitCode, 3);
    EXPECT_NE(killed.err.find("demo-capture: sh was killed by signal"), std::string::npos) << killed.err;
    EXPECT_FALSE(fileExists(dir.file("sh.mp4")));

    RunResult missing = capture({"--", "no-such-program"});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.err.find("cannot find the program no-such-program"), std::string::npos);

    RunResult usage = capture({"--scale", "9", "--", binDir() + "/glintdemo"});
    EXPECT_EQ(usage.exitCode, 1);
    EXPECT_NE(usage.err.find("demo-capture: --scale takes 1 to 8 or auto: 9\nusage: demo-capture"), std::string::npos)
        << usage.err;
}

}  // namespace
