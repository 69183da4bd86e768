// korvo run as a user runs it: headless with the fixed clock, in a folder of its own.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "support.h"

namespace {

using namespace testing_support;

std::string korvo() { return binDir() + "/korvo"; }

class Korvo : public ::testing::Test {
protected:
    RunResult play(std::vector<std::string> arguments, std::map<std::string, std::string> extra = {}) {
        auto settings = headlessSettings();
        for (auto& [name, value] : extra) settings[name] = value;
        return run(korvo(), arguments, settings, dir.path());
    }
    std::string log() { return readFile(dir.file("debug.log")); }
    TempDir dir;
};

TEST_F(Korvo, WithoutAScriptItGivesUpWithExitCodeTwenty) {
    auto started = std::chrono::steady_clock::now();
    RunResult r = play({});
    long runMilliseconds =
        long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count());
    EXPECT_EQ(r.exitCode, 20);
    EXPECT_EQ(r.out, "cleanup: demofile not found\n");
    EXPECT_EQ(r.err, "[Korvo error] demofile not found\n");
    std::string text = log();
    std::regex form(
        "\n\n\nProgram started [A-Z][a-z][a-z] [ 0-9][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}\n"
        "----------------------------------"
        "\n\n>> [0-9]+ - at line [0-9]+ in file [^\n]*korvo/shell/korvo\\.cpp:\n"
        "screenDepth = 16\n"
        "\n\n>> [0-9]+ - at line [0-9]+ in file [^\n]*korvo/gfx/gfxcore\\.cpp:\n"
        "fullscreen 640x480x16b\n"
        "\n\n>> [0-9]+ - at line [0-9]+ in file [^\n]*korvo/shell/cleanup\\.cpp:\n"
        "Cleanup: demofile not found\n"
        "Debugging ended.\n");
    EXPECT_TRUE(std::regex_match(text, form)) << text;
    // Milliseconds since the process started: in order, and within the run's own length.
    std::regex header(">> ([0-9]+) - at line");
    long previous = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), header); it != std::sregex_iterator(); ++it) {
        long stamp = std::stol((*it)[1]);
        EXPECT_GE(stamp, previous);
        EXPECT_LE(stamp, runMilliseconds);
        previous = stamp;
    }
}

TEST_F(Korvo, EveryRunAppendsToTheLog) {
    play({});
    play({"-d0"});
    std::string text = log();
    size_t first = text.find("Program started");
    size_t second = text.find("Program started", first + 1);
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_EQ(text.find("Program started", second + 1), std::string::npos);
    EXPECT_NE(text.find("screenDepth = 0\n", second), std::string::npos);
    EXPECT_NE(text.find("\nwindowed\n", second), std::string::npos);
    EXPECT_EQ(text.find("fullscreen", second), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 17), "Debugging ended.\n");
}

TEST_F(Korvo, ASizeOnTheCommandLineIsLogged) {
    writeFile(dir.file("demoflow.txt"), "KVXDEMO\n0 Quit\n");
    RunResult r = play({"-x800", "-y600"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(log().find("\nfullscreen 800x600x16b\n"), std::string::npos) << log();
}

TEST_F(Korvo, ARenderingContextThatCannotBeMadeEndsWithExitCodeOne) {
    RunResult r = play({"-x100000", "-y100000"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    std::regex lines("[\\s\\S]*\nfullscreen 100000x100000x16b\n\n\n>> [0-9]+ - at line [0-9]+ in file [^\n]*gfxcore\\.cpp:\n"
                     "FAILED to create D3DX Context \\(error: -[0-9]+\\)\nFAILCAUSE: [^\n]+\nDebugging ended\\.\n");
    EXPECT_TRUE(std::regex_match(log(), lines)) << log();
    EXPECT_EQ(r.err.find("[Korvo error]"), std::string::npos);   // no message box
}

TEST_F(Korvo, AnEmptyScriptShowsBlackUntilEscape) {
    writeFile(dir.file("demoflow.txt"), "KVXDEMO\n");
    RunResult r = play({"-d0"}, {{"DEMO_KEYS", "20:ESCAPE"}, {"DEMO_CAPTURE", "frames"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The key comes after frame 19. The pump handles one message after each frame: the key-down
    // (which posts the quit) after frame 19, its character after frame 20, the key-up after
    // frame 21; the quit, queued behind them, ends the loop after frame 22.
    auto frames = listDir(dir.file("frames"));
    ASSERT_EQ(frames.size(), 23u);
    for (const std::string& name : frames) {
        Image image = readPng(dir.file("frames/" + name));
        for (size_t i = 0; i < image.rgb.size(); ++i) ASSERT_EQ(image.rgb[i], 0) << name << " byte " << i;
    }
    EXPECT_EQ(log().substr(log().size() - 17), "Debugging ended.\n");
}

TEST_F(Korvo, TheScriptsQuitEndsAtOnce) {
    writeFile(dir.file("demoflow.txt"), "KVXDEMO\n0 Quit\n");
    RunResult r = play({}, {{"DEMO_CAPTURE", "frames"}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(listDir(dir.file("frames")).empty());   // no frame was presented
    EXPECT_EQ(log().substr(log().size() - 17), "Debugging ended.\n");
}

TEST_F(Korvo, AFileThatIsNoScriptIsRefused) {
    writeFile(dir.file("demoflow.txt"), "KVXDEMO2\n0 Quit\n");
    RunResult r = play({});
    EXPECT_EQ(r.exitCode, 20);
    EXPECT_EQ(r.out, "cleanup: demoflow is not a KVX demo\n");
}

TEST_F(Korvo, AFolderInPlaceOfTheScriptIsNotFound) {
    std::filesystem::create_directory(dir.file("demoflow.txt"));
    RunResult r = play({});
    EXPECT_EQ(r.exitCode, 20);
    EXPECT_EQ(r.out, "cleanup: demofile not found\n");
}

TEST_F(Korvo, AMissingSongEndsWithExitCodeOne) {
    writeFile(dir.file("demoflow.txt"), "KVXDEMO\n0 PlaySong nosuch.mod\n");
    RunResult r = play({});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "File not found\n");
    EXPECT_EQ(log().substr(log().size() - 17), "Debugging ended.\n");
}

TEST_F(Korvo, TheWrongLibraryVersionEndsBeforeAnythingPlays) {
    writeFile(dir.file("demoflow.txt"), "KVXDEMO\n0 PlaySong nosuch.mod\n");
    RunResult r = play({}, {{"DEMO_FMOD_VERSION", "3.21"}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Error : You are using the wrong DLL version!  You should be using FMOD 3.20\n");
}

TEST_F(Korvo, MusicStartsAtItsEventTime) {
    ASSERT_EQ(run(binDir() + "/mp3-writer", {"--sine", "440", "--seconds", "1", "music.mp3"}, {}, dir.path()).exitCode, 0);
    ASSERT_EQ(run(binDir() + "/module-writer", {"song.mod"}, {}, dir.path()).exitCode, 0);
    writeFile(dir.file("demoflow.txt"), "KVXDEMO\n1.0 PlayMP3 music.mp3\n1.5 PlaySong song.mod\n");
    RunResult r = play({"-d0"}, {{"DEMO_KEYS", "60:ESCAPE"}, {"DEMO_AUDIO", "wav:sound.wav"},
                                 {"DEMO_SOUND_TRACE", "sound.txt"}});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string wav = readFile(dir.file("sound.wav"));
    ASSERT_GE(wav.size(), 44u + 88200u * 4);   // at least 60 frames: two seconds
    size_t first = 0;
    while (first < 88200 && std::abs(int16_t(uint8_t(wav[44 + first * 4]) | (uint8_t(wav[45 + first * 4]) << 8))) < 200)
        ++first;
    EXPECT_GE(first, 44100u - 1470u);
    EXPECT_LE(first, 44100u + 1470u);
    EXPECT_EQ(readFile(dir.file("sound.txt")),
              "FSOUND_GetVersion() = 3.2\n"
              "FSOUND_Init(44100, 32, 0x0) = 1\n"
              "FSOUND_Stream_OpenMpeg(music.mp3, 0x29) = stream\n"
              "FSOUND_Stream_Play(-1, stream) = 0\n"
              "FSOUND_GetVersion() = 3.2\n"
              "FSOUND_Init(44100, 32, 0x0) = 1\n"
              "FMUSIC_LoadSong(song.mod) = song\n"
              "FMUSIC_PlaySong(song) = 1\n");
}

}  // namespace
