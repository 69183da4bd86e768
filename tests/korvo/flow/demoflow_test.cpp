// The demo-flow script reader: timing, order, comments, the skipped rest of a line, scenes
// started and removed by name, the timer reset and the end of the file.
#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "flow/demoflow.h"
#include "gfx/gfxcore.h"
#include "lightwave/scene.h"
#include "lws_writer.h"
#include "shell/list.h"
#include "shell/release.h"
#include "support.h"
#include "win32/testing.h"

extern List sceneList;

namespace {

using testing_support::TempDir;
using testing_support::writeFile;

class KorvoDemoFlow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // A real (headless) device: "DelScene" switches device lights off.
        gfx.createWindow(GetModuleHandleA(nullptr), "test", false, 64, 48);
        gfx.initDevice(16);
    }

    // Inside the test's folder, with an empty scene file for every scene name the tests play.
    void SetUp() override {
        char here[PATH_MAX];
        previous = getcwd(here, sizeof here) ? here : ".";
        ASSERT_EQ(chdir(dir.path().c_str()), 0);
        for (const char* name : {"a", "b", "a.lws", "b.lws", "c.lws", "first", "second", "intro.lws", "city.lws",
                                 "spilled", "same", "zero", "ten"})
            content::lws::writeFile(name, content::lws::Scene().text());
    }

    void TearDown() override {
        releaseScenesAndTextures();
        EXPECT_EQ(chdir(previous.c_str()), 0);
    }

    DemoFlow* script(const std::string& text) {
        writeFile(dir.file("demoflow.txt"), text);
        flows.emplace_back(new DemoFlow(dir.file("demoflow.txt").c_str()));
        return flows.back().get();
    }

    static std::vector<std::string> liveScenes() {
        std::vector<std::string> names;
        for (ListNode* node = sceneList.first(); node; node = node->getNext()) names.push_back(node->getName());
        return names;
    }

    TempDir dir;
    std::string previous;
    std::vector<std::unique_ptr<DemoFlow>> flows;
};

TEST_F(KorvoDemoFlow, EventsRunWhenTheirTimeHasCome) {
    DemoFlow* flow = script("KVXDEMO\n0 PlayScene a.lws\n0 PlayScene b.lws\n2.5 PlayScene c.lws\n");
    EXPECT_EQ(flow->update(0.0f), 0.0f);
    EXPECT_EQ(liveScenes(), (std::vector<std::string>{"a.lws", "b.lws"}));
    flow->update(2.4f);
    EXPECT_EQ(liveScenes().size(), 2u);
    flow->update(2.5f);   // due at exactly its time
    EXPECT_EQ(liveScenes(), (std::vector<std::string>{"a.lws", "b.lws", "c.lws"}));
}

TEST_F(KorvoDemoFlow, AnEarlierTimeAfterALaterOneRunsRightAfterIt) {
    DemoFlow* flow = script("KVXDEMO\n5 PlayScene first\n3 PlayScene second\n");
    flow->update(4.0f);
    EXPECT_TRUE(liveScenes().empty());
    flow->update(5.0f);
    EXPECT_EQ(liveScenes(), (std::vector<std::string>{"first", "second"}));
}

TEST_F(KorvoDemoFlow, ResetTimerRestartsTheSceneClock) {
    DemoFlow* flow = script("KVXDEMO 0 PlayScene intro.lws\n20 ResetTimer\n20 DelScene intro.lws\n20 PlayScene city.lws\n");
    EXPECT_FLOAT_EQ(flow->update(10.0f), 10.0f);
    EXPECT_FLOAT_EQ(flow->update(20.25f), 0.0f);
    EXPECT_EQ(liveScenes(), (std::vector<std::string>{"city.lws"}));
    EXPECT_FLOAT_EQ(flow->update(21.25f), 1.0f);
}

TEST_F(KorvoDemoFlow, CommentsAndUnknownWordsAreSkippedWithTheirLine) {
    DemoFlow* flow = script(
        "KVXDEMO\n"
        "0 PlayScene a.lws   the opening, with a comment\n"
        "\n\n"
        "0 playscene lower.lws   not a command: skipped with its line\n"
        "0 ChangeCamera one   takes one word and changes nothing\n"
        "0 Banner whatever this is\n"
        "0 PlayScene b.lws\n");
    flow->update(0.0f);
    EXPECT_EQ(liveScenes(), (std::vector<std::string>{"a.lws", "b.lws"}));
}

TEST_F(KorvoDemoFlow, ALongCommentSpillsIntoTheNextEvent) {
    // Only 79 characters of a line's rest are skipped; what follows is read as the next words.
    std::string rest = " " + std::string(78, 'x');   // 79 characters after the argument
    DemoFlow* flow = script("KVXDEMO\n0 PlayScene a.lws" + rest + " 0 PlayScene spilled\n");
    flow->update(0.0f);
    EXPECT_EQ(liveScenes(), (std::vector<std::string>{"a.lws", "spilled"}));
}

TEST_F(KorvoDemoFlow, DelSceneRemovesTheOlderOfTwoNamesakes) {
    DemoFlow* flow = script("KVXDEMO\n0 PlayScene same\n0 PlayScene same\n1 DelScene same\n2 DelScene same\n"
                            "3 DelScene nothing\n");
    flow->update(0.0f);
    ListNode* older = sceneList.first();
    void* newer = older->getNext()->getData();
    flow->update(1.0f);
    ASSERT_EQ(liveScenes().size(), 1u);
    EXPECT_EQ(sceneList.first()->getData(), newer);
    flow->update(3.0f);
    EXPECT_TRUE(liveScenes().empty());
}

TEST_F(KorvoDemoFlow, TheEndOfTheFileDropsACutOffEvent) {
    DemoFlow* flow = script("KVXDEMO\n0 PlayScene a\n1 PlayScene");
    flow->update(5.0f);
    EXPECT_EQ(liveScenes(), (std::vector<std::string>{"a"}));
    EXPECT_FLOAT_EQ(flow->update(6.0f), 6.0f);   // nothing more runs; time goes on
    DemoFlow* timeOnly = script("KVXDEMO\n0 PlayScene b\n7");
    timeOnly->update(8.0f);
    EXPECT_EQ(liveScenes(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(KorvoDemoFlow, TimesReadAsAtofReadsThem) {
    DemoFlow* flow = script("KVXDEMO\nsoon PlayScene zero\n1e1 PlayScene ten\n");
    flow->update(0.0f);   // a word that is no number reads as 0
    EXPECT_EQ(liveScenes(), (std::vector<std::string>{"zero"}));
    flow->update(9.9f);
    EXPECT_EQ(liveScenes().size(), 1u);
    flow->update(10.0f);
    EXPECT_EQ(liveScenes().size(), 2u);
}

TEST_F(KorvoDemoFlow, QuitEndsTheProgramAtOnce) {
    DemoFlow* flow = script("KVXDEMO\n1 Quit\n");
    flow->update(0.5f);
    EXPECT_EXIT(flow->update(1.0f), ::testing::ExitedWithCode(0), "");
}

TEST_F(KorvoDemoFlow, ScriptsMustBeginWithTheMagicWord) {
    writeFile(dir.file("notascript.txt"), "KVXDEMO2\n0 Quit\n");
    EXPECT_EXIT(DemoFlow(dir.file("notascript.txt").c_str()), ::testing::ExitedWithCode(20),
                "\\[Korvo error\\] demoflow is not a KVX demo");
    writeFile(dir.file("empty.txt"), "");
    EXPECT_EXIT(DemoFlow(dir.file("empty.txt").c_str()), ::testing::ExitedWithCode(20), "not a KVX demo");
    EXPECT_EXIT(DemoFlow(dir.file("missing.txt").c_str()), ::testing::ExitedWithCode(20),
                "\\[Korvo error\\] demofile not found");
    // A folder of that name opens but cannot be read: it is no file to be found either.
    std::filesystem::create_directory(dir.file("folder.txt"));
    EXPECT_EXIT(DemoFlow(dir.file("folder.txt").c_str()), ::testing::ExitedWithCode(20),
                "\\[Korvo error\\] demofile not found");
}

}  // namespace
