// What end-to-end and platform tests share: temporary folders, running a built program with
// DEMO_* settings and reading what it wrote (exit code, output, PNG captures).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

// The build's folder of programs and tools, and the project's shared test data.
std::string binDir();
std::string sourceDir();
std::string sharedTestdata();   // "" when ../shared/testdata is absent

// A fresh folder, removed with its content when the object goes (kept when the environment
// has KEEP_TEST_FILES set, for looking at what a failing test left).
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The sample show the build generated into build/content/<show> ("" when it is absent), and its
// files linked into `folder`, so a program can run there and write its log and scene dump
// without touching the build's copy. Files a run of korvo left in the show's folder (its log and
// scene dump) are not linked: a test writing through such a link would share it with others.
std::string sampleShow(const std::string& show);
void linkSampleShow(const std::string& show, const std::string& folder);

struct RunResult {
    int exitCode = -1;      // the exit status, or 128 + signal number
    std::string out, err;
};

// Runs a program in `workdir` with the caller's environment, every DEMO_* variable of it
// removed, and `environment` added (replacing the caller's variables of the same names). Gives up after `timeoutSeconds`.
RunResult run(const std::string& program, const std::vector<std::string>& arguments,
              const std::map<std::string, std::string>& environment, const std::string& workdir,
              int timeoutSeconds = 120);

// The headless, fixed-clock, silent settings every end-to-end run starts from.
std::map<std::string, std::string> headlessSettings(int framesPerSecond = 30);

struct Image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;   // top row first
    const uint8_t* pixel(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

// Reads an 8-bit RGB or RGBA PNG (alpha dropped); throws std::runtime_error on failure.
Image readPng(const std::string& path);

// Comparing pictures drawn at different render scales.
// `image` reduced by n in each direction, each pixel the rounded mean of the n x n it stands for.
Image reduce(const Image& image, int n);
// The mean absolute difference of two pictures over every channel (0 to 255); 255 when their
// sizes differ.
double meanDifference(const Image& a, const Image& b);
// How much light a picture has, the sum of its channels: what a line or a point drawn too thin
// or too small at a scale lacks.
double light(const Image& image);

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
bool fileExists(const std::string& path);
std::vector<std::string> listDir(const std::string& path);

}  // namespace testing_support
