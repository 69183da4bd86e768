// demo-capture's command line and the frame arithmetic of a stretch of show time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace capture {

struct FrameRate {
    int numerator = 30, denominator = 1;   // frames a second = numerator / denominator
};

struct Options {
    FrameRate rate;
    int width = 640, height = 480;
    bool sizeGiven = false;
    std::string scale;                     // "1".."8" or "auto"; empty: auto with --size, else as the environment says
    std::optional<int> samples;            // multisampling: 0, 2, 4 or 8
    double from = 0.0;                     // show seconds
    std::optional<double> to;              // show seconds; none: until the program ends
    std::string output;                    // empty: <program name>.mp4
    std::string program;
    std::vector<std::string> arguments;
};

// Parses argv[1..]; false with a message naming the mistake.
bool parseOptions(const std::vector<std::string>& words, Options& options, std::string* error);

// The DEMO_RENDER_SCALE a capture runs the program with: --scale when given, else auto (the
// smallest scale whose picture covers the frame) when --size is given; empty: left alone.
std::string renderScaleSetting(const Options& options);

// "N" or "N/D", each from 1 to 1000 (at most 1000 frames a second).
bool parseFrameRate(const std::string& text, FrameRate& rate);

// Frame k of a fixed-clock run shows show time k / rate: the first frame at or after
// `seconds`. A stretch [from, to) holds frames firstFrameAt(from) .. firstFrameAt(to) - 1.
int64_t firstFrameAt(double seconds, const FrameRate& rate);

// Audio frames before video frame `frame` at `audioRate` samples a second (what the platform's
// fixed clock has mixed when that frame starts).
int64_t audioFramesBefore(int64_t frame, int audioRate, const FrameRate& rate);

// The DEMO_KEYS value that keeps the user's own keys and closes the program's window before
// `frame` is drawn.
std::string keysClosingAt(const std::string& userKeys, int64_t frame);

}  // namespace capture
