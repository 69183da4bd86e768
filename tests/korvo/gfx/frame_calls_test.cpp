// The graphics core's calls on the device, read from the Direct3D call log of a record-only
// device: the initial state, a frame of an empty scene list, presenting with and without the
// wait for the retrace, and the script's "DelScene" switching the lights off.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "d3d7/calllog.h"
#include "d3d7/testing.h"
#include "flow/demoflow.h"
#include "gfx/gfxcore.h"
#include "lightwave/scene.h"
#include "lws_writer.h"
#include "shell/list.h"
#include "shell/release.h"
#include "support.h"

extern List sceneList;

namespace {

using d3d7::calllog::lines;

class KorvoFrameCalls : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        d3d7::testing::setRendering(d3d7::testing::Rendering::RecordOnly);
        d3d7::calllog::enable(true);
        gfx.createWindow(GetModuleHandleA(nullptr), "test", false, 64, 48);
        gfx.initDevice(16);
        initial = lines();
    }
    void SetUp() override { d3d7::calllog::clear(); }

    static std::vector<std::string> initial;
};

std::vector<std::string> KorvoFrameCalls::initial;

TEST_F(KorvoFrameCalls, TheDeviceStartsWithLinearFilteringAndNoSpecular) {
    std::vector<std::string> device;
    for (const std::string& line : initial)
        if (line.rfind("Set", 0) == 0) device.push_back(line);
    ASSERT_EQ(device.size(), 5u);
    EXPECT_EQ(device[0], "SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR)");
    EXPECT_EQ(device[1], "SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR)");
    EXPECT_EQ(device[2], "SetRenderState(D3DRENDERSTATE_DITHERENABLE, TRUE)");
    EXPECT_EQ(device[3], "SetRenderState(D3DRENDERSTATE_SPECULARENABLE, FALSE)");
    EXPECT_EQ(device[4].rfind("SetTransform(D3DTRANSFORMSTATE_PROJECTION, ", 0), 0u) << device[4];
}

TEST_F(KorvoFrameCalls, AnEmptyFrameClearsBeginsAndEnds) {
    gfx.renderer.renderFrame();
    EXPECT_EQ(lines(), (std::vector<std::string>{
                           "Clear(0, NULL, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1, 0)",
                           "BeginScene()",
                           "EndScene()",
                       }));
}

TEST_F(KorvoFrameCalls, PresentWaitsForTheRetraceUnlessToldNotTo) {
    gfx.waitVRT = true;
    gfx.present();
    gfx.waitVRT = false;
    gfx.present();
    gfx.waitVRT = true;
    EXPECT_EQ(lines(), (std::vector<std::string>{"context->UpdateFrame(0)", "context->UpdateFrame(D3DX_UPDATE_NOVSYNC)"}));
}

// A script run: three scenes start, then "DelScene" switches the device lights 0 to 99 off and
// takes the older of the two scenes of its name out of the live list, keeping it allocated.
TEST_F(KorvoFrameCalls, DelSceneSwitchesTheLightsOffAndRemovesTheOlderScene) {
    testing_support::TempDir dir;
    char here[PATH_MAX];
    std::string previous = getcwd(here, sizeof here) ? here : ".";
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    for (const char* name : {"a.lws", "b.lws"}) content::lws::writeFile(name, content::lws::Scene().text());
    testing_support::writeFile(dir.file("demoflow.txt"),
                               "KVXDEMO\n0 PlayScene a.lws\n0 PlayScene b.lws\n0 PlayScene a.lws\n1 DelScene a.lws\n");
    DemoFlow flow(dir.file("demoflow.txt").c_str());
    flow.update(0.5f);
    ASSERT_EQ(sceneList.getCount(), 3);
    void* older = sceneList.at(1)->getData();
    void* b = sceneList.at(2)->getData();
    void* newer = sceneList.at(3)->getData();
    d3d7::calllog::clear();
    flow.update(1.0f);
    std::vector<std::string> expected;
    for (int i = 0; i < 100; ++i) expected.push_back("LightEnable(" + std::to_string(i) + ", FALSE)");
    EXPECT_EQ(lines(), expected);
    ASSERT_EQ(sceneList.getCount(), 2);
    EXPECT_STREQ(sceneList.at(1)->getName(), "b.lws");
    EXPECT_EQ(sceneList.at(1)->getData(), b);
    EXPECT_STREQ(sceneList.at(2)->getName(), "a.lws");
    EXPECT_EQ(sceneList.at(2)->getData(), newer);
    ASSERT_EQ(removedScenes.getCount(), 1);
    EXPECT_STREQ(removedScenes.first()->getName(), "a.lws");
    EXPECT_EQ(removedScenes.first()->getData(), older);

    releaseScenesAndTextures();
    EXPECT_EQ(sceneList.getCount(), 0);
    EXPECT_EQ(removedScenes.getCount(), 0);
    EXPECT_EQ(chdir(previous.c_str()), 0);
}

}  // namespace
