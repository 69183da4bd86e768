// demo-capture's pieces: its command line and frame arithmetic, the frame stream it reads,
// the cut of the recorded sound, and its progress report.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "options.h"
#include "progress.h"
#include "support.h"
#include "wav.h"
#include "y4m.h"

namespace {

using namespace capture;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

Options parsed(const std::vector<std::string>& words) {
    Options options;
    std::string error;
    EXPECT_TRUE(parseOptions(words, options, &error)) << error;
    return options;
}

TEST(CaptureOptions, ReadsEveryOptionAndTheProgramAfterTheDashes) {
    Options o = parsed({"--fps", "30000/1001", "--size", "1280x960", "--scale", "2", "--msaa", "4", "--from", "12.5",
                        "--to", "20", "-o", "x.mp4", "--", "korvo", "-d0", "--to"});
    EXPECT_EQ(o.rate.numerator, 30000);
    EXPECT_EQ(o.rate.denominator, 1001);
    EXPECT_TRUE(o.sizeGiven);
    EXPECT_EQ(o.width, 1280);
    EXPECT_EQ(o.height, 960);
    EXPECT_EQ(renderScaleSetting(o), "2");
    EXPECT_EQ(o.samples, 4);
    EXPECT_DOUBLE_EQ(o.from, 12.5);
    ASSERT_TRUE(o.to.has_value());
    EXPECT_DOUBLE_EQ(*o.to, 20.0);
    EXPECT_EQ(o.output, "x.mp4");
    EXPECT_EQ(o.program, "korvo");
    EXPECT_EQ(o.arguments, (std::vector<std::string>{"-d0", "--to"}));

    Options defaults = parsed({"--", "glintdemo"});
    EXPECT_EQ(defaults.rate.numerator, 30);
    EXPECT_EQ(defaults.rate.denominator, 1);
    EXPECT_FALSE(defaults.sizeGiven);
    EXPECT_EQ(renderScaleSetting(defaults), "") << "the environment's, if any";
    EXPECT_FALSE(defaults.samples.has_value());
    EXPECT_FALSE(defaults.to.has_value());
    EXPECT_TRUE(defaults.output.empty());

    // A frame size without a scale is filled; a scale given stays, auto among them.
    EXPECT_EQ(renderScaleSetting(parsed({"--size", "1920x1080", "--", "glintdemo"})), "auto");
    EXPECT_EQ(renderScaleSetting(parsed({"--size", "1920x1080", "--scale", "1", "--", "glintdemo"})), "1");
    EXPECT_EQ(renderScaleSetting(parsed({"--scale", "auto", "--", "glintdemo"})), "auto");
    EXPECT_EQ(parsed({"--msaa", "0", "--", "glintdemo"}).samples, 0);
}

TEST(CaptureOptions, RefusesMistakesNamingThem) {
    const struct {
        std::vector<std::string> words;
        const char* named;
    } cases[] = {
        {{"--fps", "0", "--", "p"}, "--fps"},        {{"--fps", "1001", "--", "p"}, "--fps"},
        {{"--fps", "30/0", "--", "p"}, "--fps"},     {{"--fps", "29.97", "--", "p"}, "--fps"},
        {{"--size", "641x480", "--", "p"}, "--size"}, {{"--size", "640", "--", "p"}, "--size"},
        {{"--from", "-1", "--", "p"}, "--from"},      {{"--to", "soon", "--", "p"}, "--to"},
        {{"--scale", "0", "--", "p"}, "--scale"},     {{"--scale", "9", "--", "p"}, "--scale"},
        {{"--scale", "Auto", "--", "p"}, "--scale"},  {{"--scale", "1.5", "--", "p"}, "--scale"},
        {{"--msaa", "1", "--", "p"}, "--msaa"},       {{"--msaa", "16", "--", "p"}, "--msaa"},
        {{"--msaa", "-4", "--", "p"}, "--msaa"},      {{"--msaa"}, "--msaa"},
        {{"--from", "5.01", "--to", "5.02", "--", "p"}, "--to"},
        {{"--fps"}, "--fps"},                          {{"--speed", "2", "--", "p"}, "--speed"},
        {{"--fps", "30"}, "program"},                  {{"--"}, "program"},
    };
    for (const auto& c : cases) {
        Options options;
        std::string error;
        EXPECT_FALSE(parseOptions(c.words, options, &error)) << c.words[0];
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
    }
}

TEST(CaptureFrames, StretchesAndSoundFollowTheFixedClock) {
    FrameRate thirty{30, 1}, ntsc{30000, 1001};
    EXPECT_EQ(firstFrameAt(0.0, thirty), 0);
    EXPECT_EQ(firstFrameAt(1.0, thirty), 30);
    EXPECT_EQ(firstFrameAt(8.3, thirty), 249) << "8.3 * 30 is a hair above 249 in binary";
    EXPECT_EQ(firstFrameAt(1.01, thirty), 31) << "a time between frames starts at the next one";
    EXPECT_EQ(firstFrameAt(1.0, ntsc), 30);
    EXPECT_EQ(firstFrameAt(258.0, ntsc), 7733);
    // The platform mixes floor(n * 44100 / fps) sample frames before clock frame n.
    EXPECT_EQ(audioFramesBefore(45, 44100, thirty), 66150);
    EXPECT_EQ(audioFramesBefore(7, 44100, FrameRate{24, 1}), 12862);
    EXPECT_EQ(audioFramesBefore(30, 44100, ntsc), 44144);
    EXPECT_EQ(audioFramesBefore(7733, 48000, ntsc), 7733LL * 48000 * 1001 / 30000);

    EXPECT_EQ(keysClosingAt("", 600), "600:CLOSE");
    EXPECT_EQ(keysClosingAt("10:RETURN*3", 600), "10:RETURN*3,600:CLOSE");
}

std::string y4mStream(int frames) {
    std::string stream = "YUV4MPEG2 W4 H2 F30:1 Ip A1:1 C420jpeg\n";
    for (int f = 0; f < frames; ++f) {
        stream += "FRAME\n";
        for (int i = 0; i < 12; ++i) stream += char('a' + f);   // 4x2 luma, two 2x1 chroma planes
    }
    return stream;
}

TEST(CaptureStream, FramesComeOutWholeHoweverTheBytesArrive) {
    const std::string stream = y4mStream(3);
    for (size_t piece : {size_t(1), size_t(5), size_t(7), stream.size()}) {
        Y4mSplitter splitter;
        std::vector<std::string> frames;
        std::vector<uint8_t> frame;
        std::string error;
        for (size_t at = 0; at < stream.size(); at += piece) {
            size_t count = std::min(piece, stream.size() - at);
            ASSERT_TRUE(splitter.feed(reinterpret_cast<const uint8_t*>(stream.data() + at), count, &error)) << error;
            Y4mSplitter::Next next;
            while ((next = splitter.nextFrame(frame)) == Y4mSplitter::Next::frame) frames.emplace_back(frame.begin(), frame.end());
            ASSERT_NE(next, Y4mSplitter::Next::malformed);
        }
        ASSERT_EQ(frames.size(), 3u) << "pieces of " << piece;
        EXPECT_EQ(frames[0], "FRAME\naaaaaaaaaaaa");
        EXPECT_EQ(frames[2], "FRAME\ncccccccccccc");
        EXPECT_EQ(splitter.header().line, "YUV4MPEG2 W4 H2 F30:1 Ip A1:1 C420jpeg\n");
        EXPECT_EQ(splitter.header().frameBytes, 12u);
        EXPECT_EQ(splitter.pending(), 0u);
    }
}

TEST(CaptureStream, RefusesWhatIsNotAFourTwoZeroStream) {
    Y4mHeader header;
    EXPECT_TRUE(parseY4mHeader("YUV4MPEG2 W641 H481 F25:1 C420jpeg", header));
    EXPECT_EQ(header.frameBytes, 641u * 481u + 2u * 321u * 241u) << "odd sizes round the chroma planes up";
    EXPECT_FALSE(parseY4mHeader("YUV4MPEG2 W640 H480 F25:1 C444", header));
    EXPECT_FALSE(parseY4mHeader("YUV4MPEG2 W640 F25:1", header));
    EXPECT_FALSE(parseY4mHeader("P6 640 480 255", header));

    std::string stream = y4mStream(2);
    stream[stream.find("FRAME", 50) + 4] = 'X';
    Y4mSplitter splitter;
    std::string error;
    ASSERT_TRUE(splitter.feed(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), &error));
    std::vector<uint8_t> frame;
    EXPECT_EQ(splitter.nextFrame(frame), Y4mSplitter::Next::frame);
    EXPECT_EQ(splitter.nextFrame(frame), Y4mSplitter::Next::malformed);

    Y4mSplitter notY4m;
    const std::string png = "\x89PNG\r\n\x1a\n";
    EXPECT_FALSE(notY4m.feed(reinterpret_cast<const uint8_t*>(png.data()), png.size(), &error));
}

// A stereo 16-bit WAV file whose sample frame i holds (i, -i), with the header's sizes left
// as a writer that was stopped early leaves them.
std::string numberedWav(int frames, bool sizesWritten) {
    auto le = [](uint32_t value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i));
        return out;
    };
    uint32_t data = uint32_t(frames) * 4;
    std::string wav = "RIFF" + le(sizesWritten ? 36 + data : 36, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(2, 2) +
                      le(44100, 4) + le(44100 * 4, 4) + le(4, 2) + le(16, 2) + "data" + le(sizesWritten ? data : 0, 4);
    for (int i = 0; i < frames; ++i) wav += le(uint32_t(i), 2) + le(uint32_t(-i), 2);
    return wav;
}

TEST(CaptureSound, CutsTheRecordedFramesOfTheStretch) {
    TempDir dir;
    for (bool sizesWritten : {true, false}) {
        writeFile(dir.file("in.wav"), numberedWav(100, sizesWritten));
        WavInfo info;
        std::string error;
        ASSERT_TRUE(readWavInfo(dir.file("in.wav"), info, &error)) << error;
        EXPECT_EQ(info.frames, 100u);
        EXPECT_EQ(info.rate, 44100);
        EXPECT_EQ(info.channels, 2);
        ASSERT_TRUE(writeWavRange(dir.file("in.wav"), info, 30, 40, dir.file("out.wav"), &error)) << error;
        std::string out = readFile(dir.file("out.wav"));
        ASSERT_EQ(out.size(), 44u + 10u * 4u);
        EXPECT_EQ(out.substr(44), numberedWav(100, true).substr(44 + 30 * 4, 40)) << "frames 30 to 39";
        EXPECT_EQ(uint8_t(out[4]), 36 + 40) << "RIFF size";
        EXPECT_EQ(uint8_t(out[40]), 40) << "data size";
        WavInfo cut;
        ASSERT_TRUE(readWavInfo(dir.file("out.wav"), cut, &error)) << error;
        EXPECT_EQ(cut.frames, 10u);
    }
    WavInfo info;
    std::string error;
    ASSERT_TRUE(readWavInfo(dir.file("in.wav"), info, &error));
    ASSERT_TRUE(writeWavRange(dir.file("in.wav"), info, 95, 200, dir.file("tail.wav"), &error));
    EXPECT_EQ(readFile(dir.file("tail.wav")).size(), 44u + 5u * 4u) << "a stretch past the recording keeps what there is";
    writeFile(dir.file("bad.wav"), "RIFF\0\0\0\0WAVEdata");
    EXPECT_FALSE(readWavInfo(dir.file("bad.wav"), info, &error));
    EXPECT_FALSE(readWavInfo(dir.file("missing.wav"), info, &error));
}

std::vector<std::string> progressLines(bool terminal, std::optional<int64_t> total, int frames, double framesPerSecond) {
    TempDir dir;
    std::FILE* out = std::fopen(dir.file("progress.txt").c_str(), "w");
    Progress progress(out, terminal);
    for (int f = 1; f <= frames; ++f) {
        ProgressState state;
        state.framesDone = f;
        state.framesTotal = total;
        state.showSeconds = (f - 1) / framesPerSecond;
        state.wallSeconds = f * 0.04;
        state.framesPerSecond = 20;
        progress.update(state);
    }
    progress.finish();
    std::fclose(out);
    std::vector<std::string> lines;
    std::string text = readFile(dir.file("progress.txt"));
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) lines.push_back(text.substr(at, end - at));
    return lines;
}

TEST(CaptureProgress, LogsEachTenthOrEachHalfMinuteOfShow) {
    std::vector<std::string> tenths = progressLines(false, 95, 95, 30);
    ASSERT_EQ(tenths.size(), 10u);
    EXPECT_EQ(tenths[0], "demo-capture: 10% (frame 10, show 0.3 s, 20.0 fps, 0:04 left)");
    EXPECT_EQ(tenths[9], "demo-capture: 100% (frame 95, show 3.1 s, 20.0 fps, 0:00 left)");

    std::vector<std::string> open = progressLines(false, std::nullopt, 95, 1);
    ASSERT_EQ(open.size(), 3u) << "one line per 30 s of show: 30, 60 and 90";
    EXPECT_EQ(open[0], "demo-capture: frame 31, show 30.0 s, 20.0 fps");

    // On a terminal the bar is redrawn in place, at most ten times a second, and always at the end.
    std::vector<std::string> bar = progressLines(true, 95, 95, 30);
    ASSERT_EQ(bar.size(), 1u);
    size_t last = bar[0].rfind('\r');
    EXPECT_EQ(bar[0].substr(last + 1), "\033[K[########################] 100%  frame 95  show 3.1 s  20.0 fps  0:00 left");
    size_t redraws = 0;
    for (size_t at = bar[0].find('\r'); at != std::string::npos; at = bar[0].find('\r', at + 1)) ++redraws;
    EXPECT_EQ(redraws, 33u) << "frames 1, 4, 7 ... 94, and the last";

    ProgressState half;
    half.framesDone = 50;
    half.framesTotal = 100;
    half.showSeconds = 1.6333;
    half.framesPerSecond = 0.5;
    EXPECT_EQ(barLine(half), "[############............]  50%  frame 50  show 1.6 s  0.5 fps  1:40 left");
    EXPECT_EQ(clockText(65), "1:05");
    EXPECT_EQ(clockText(3723), "1:02:03");
}

}  // namespace
