#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "shell/cleanup.h"
#include "shell/debuglog.h"

namespace {

TEST(KorvoDebugLog, BannerEntryAndEndLineHaveTheirForm) {
    std::ostringstream log;
    writeStartBanner(log, "Jul 12 2000", "17:20:22");
    writeEntryHeader(log, 52, "/src/korvo/gfx/gfxcore.cpp") << "fullscreen 640x480x16b" << std::endl;
    writeEntryHeader(log, 7, "korvo.cpp") << "screenDepth" << " = " << -3 << std::endl;
    writeEndLine(log);
    std::regex form(
        "\n\n\nProgram started Jul 12 2000 17:20:22\n"
        "----------------------------------"
        "\n\n>> [0-9]+ - at line 52 in file /src/korvo/gfx/gfxcore.cpp:\n"
        "fullscreen 640x480x16b\n"
        "\n\n>> [0-9]+ - at line 7 in file korvo.cpp:\n"
        "screenDepth = -3\n"
        "Debugging ended.\n");
    EXPECT_TRUE(std::regex_match(log.str(), form)) << log.str();
}

TEST(KorvoDebugLog, EntriesNameTheReportingSourceFile) {
    std::ostringstream log;
    // LOG_ENTRY writes to the program's log; build the same header by hand here.
    writeEntryHeader(log, __LINE__, __FILE__);
    EXPECT_NE(log.str().find("debuglog_test.cpp:\n"), std::string::npos);
    EXPECT_NE(log.str().find(" - at line "), std::string::npos);
}

// The header's number is wall-clock milliseconds: a pause (which takes no processor time)
// between two entries shows in them as its length.
TEST(KorvoDebugLog, EntriesCountWallClockMilliseconds) {
    std::ostringstream log;
    writeEntryHeader(log, 1, "a.cpp");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    writeEntryHeader(log, 2, "b.cpp");
    std::regex header(">> (-?[0-9]+) - at line");
    std::vector<long> stamps;
    std::string text = log.str();
    for (auto it = std::sregex_iterator(text.begin(), text.end(), header); it != std::sregex_iterator(); ++it)
        stamps.push_back(std::stol((*it)[1]));
    ASSERT_EQ(stamps.size(), 2u) << text;
    EXPECT_GE(stamps[0], 0);
    EXPECT_GE(stamps[1] - stamps[0], 150);
    EXPECT_LT(stamps[1] - stamps[0], 1150);
}

TEST(KorvoCleanupDeathTest, FatalEndsWithExitCodeTwenty) {
    EXPECT_EXIT(cleaner.fatal("demofile not found"), ::testing::ExitedWithCode(20), "");
    EXPECT_EXIT(cleaner.fatal(""), ::testing::ExitedWithCode(0), "");
}

TEST(KorvoCleanupDeathTest, FatalShowsItsMessageBox) {
    // Headless, the message box is a line on standard error.
    EXPECT_EXIT(cleaner.fatal("no registered objects in scene"), ::testing::ExitedWithCode(20),
                "\\[Korvo error\\] no registered objects in scene");
}

}  // namespace
