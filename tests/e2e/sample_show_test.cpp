// glintdemo's generated sample show, played as a user plays it: the archive holds what the
// show asks for, and the whole show runs to its end.
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "built_show.h"
#include "support.h"
#include "zip_writer.h"

namespace {

using namespace testing_support;

// The first message box or warning line ("[caption] text") of a run's output, if any.
std::string stopMessage(const std::string& err) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] == '[') return line;
    return "";
}

// The show stops at the first member it asks for and cannot find, naming it. Starting from
// an empty archive and adding each named member from the generated one until the show starts
// gives the names the program asks for: each must be in the generated archive, and the archive
// holds nothing else.
TEST(SampleShow, TheArchiveHoldsEveryMemberTheShowAsksFor) {
    std::map<std::string, std::vector<uint8_t>> generated = builtShowMembers();
    ASSERT_FALSE(generated.empty()) << "no generated archive in " << builtShowDir();
    TempDir dir;
    std::vector<std::string> asked;
    content::ZipWriter zip;
    for (size_t round = 0; round <= generated.size(); ++round) {
        ASSERT_TRUE(zip.writeFile(dir.file("demo.dat")));
        auto settings = headlessSettings();
        settings["DEMO_KEYS"] = "1:ESCAPE";
        RunResult r = run(binDir() + "/glintdemo", {}, settings, dir.path());
        ASSERT_EQ(r.exitCode, 0) << r.err;
        std::string message = stopMessage(r.err);
        if (message.empty()) break;
        const std::string prefix = "[file not found] ";
        ASSERT_EQ(message.compare(0, prefix.size(), prefix), 0) << "the show stops with " << message;
        std::string name = message.substr(prefix.size());
        auto member = std::find_if(generated.begin(), generated.end(),
                                   [&](const auto& m) { return strcasecmp(m.first.c_str(), name.c_str()) == 0; });
        ASSERT_NE(member, generated.end()) << "the show asks for " << name << ", which the generated archive lacks";
        asked.push_back(name);
        zip.add(member->first, member->second);
    }
    EXPECT_GE(asked.size(), 17u) << "the thirteen textures, the height maps and the rest";
    std::string unasked;
    for (const auto& [name, bytes] : generated)
        if (std::none_of(asked.begin(), asked.end(), [&](const std::string& a) { return strcasecmp(a.c_str(), name.c_str()) == 0; }))
            unasked += name + " ";
    EXPECT_EQ(unasked, "") << "members the show never asks for";
}

// The whole show, from 0 to its end after 258 s, at one frame a second (every row and scene of
// the timeline lasts several seconds, so each is drawn): it ends by itself (the frame after the
// one that finds the time past 258 s is the last) with exit code 0 and no message box or
// warning (lines "[caption] text"; the scenes' picture names, which the show writes to the
// debugger output, may be there), and the pictures of the backgrounds and of the closing are
// on screen.
TEST(SampleShow, PlaysFromStartToEndWithoutAStop) {
    TempDir dir;
    auto settings = headlessSettings(1);
    settings["DEMO_CAPTURE"] = dir.file("frames");
    settings["DEMO_CAPTURE_FRAMES"] = "13,240,255-280";   // 13 s, 240 s, the end
    RunResult r = run(binDir() + "/glintdemo", {}, settings, builtShowDir(), 280);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(stopMessage(r.err), "") << r.err;
    std::vector<std::string> frames = listDir(dir.file("frames"));
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back(), "frame-000260.png") << "t = 259 s finds the show over; the next frame is the last";
    for (const char* name : {"frame-000013.png", "frame-000240.png"}) {
        Image image = readPng(dir.file("frames/") + name);
        long sum = 0;
        for (uint8_t v : image.rgb) sum += v;
        EXPECT_GT(double(sum) / double(image.rgb.size()), 20.0) << name << " is dark";
    }
}

}  // namespace
