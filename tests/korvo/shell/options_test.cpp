#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "shell/korvo.h"

namespace {

struct Reading {
    bool found;
    int value;
};

Reading option(const char* commandLine, const char* name) {
    int value = -12345;
    bool found = findOption(commandLine, name, value);
    return {found, value};
}

TEST(KorvoOptions, FindsOptionsAtWordStartsOnly) {
    struct Case {
        const char* commandLine;
        const char* option;
        bool found;
        int value;
    };
    const Case cases[] = {
        {"", "-x", false, -12345},
        {"-x800", "-x", true, 800},
        {"-x800 -y600 intro.lws", "-y", true, 600},
        {"-x 800", "-x", true, 800},           // atoi skips the blank
        {"-x800 -x1024", "-x", true, 800},     // the first occurrence wins
        {"a-x800", "-x", false, -12345},       // not at a word start
        {"-x", "-x", true, 0},                 // no digits read as 0
        {"-xyz", "-x", true, 0},
        {"-x+42", "-x", true, 42},
        {"-x-7", "-x", true, -7},
        {"-X800", "-x", false, -12345},        // case counts
        {"-d0", "-d", true, 0},
        {"scene\t-x5", "-x", false, -12345},   // a tab is not a blank
        {"scene  -x5", "-x", true, 5},
    };
    for (const Case& c : cases) {
        Reading r = option(c.commandLine, c.option);
        EXPECT_EQ(r.found, c.found) << "'" << c.commandLine << "'";
        EXPECT_EQ(r.value, c.value) << "'" << c.commandLine << "'";
    }
}

TEST(KorvoOptions, TheFirstPlainWordIsTheSceneName) {
    struct Case {
        const char* commandLine;
        bool found;
        const char* name;
    };
    const Case cases[] = {
        {"", false, "unchanged"},
        {"-x800 -y600 intro.lws", true, "intro.lws"},
        {"-x 800", true, "800"},
        {"a-x800", true, "a-x800"},
        {"-d0", false, "unchanged"},
        {"one two", true, "one"},
        {"-d0 ", false, "unchanged"},
    };
    for (const Case& c : cases) {
        char buffer[80] = "unchanged";
        EXPECT_EQ(getArgument(c.commandLine, "scene/object name", buffer), c.found) << "'" << c.commandLine << "'";
        EXPECT_STREQ(buffer, c.name) << "'" << c.commandLine << "'";
    }
}

TEST(KorvoOptions, LongNamesAreCutToSeventyNineCharacters) {
    std::string longName(120, 'n');
    char buffer[80];
    ASSERT_TRUE(getArgument(("-d0 " + longName).c_str(), "scene/object name", buffer));
    EXPECT_EQ(std::strlen(buffer), 79u);
}

}  // namespace
