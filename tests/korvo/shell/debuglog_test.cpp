#include <gtest/gtest.h>

#include <regex>
#include <sstream>

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

TEST(KorvoDebugLog, MillisecondsCountFromTheStart) {
    long first = processMilliseconds();
    EXPECT_GE(first, 0);
    EXPECT_GE(processMilliseconds(), first);
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
