// Which rows and parts of the timeline run at a show time, and the binding's name table.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "shell/beattable.h"
#include "shell/glbinding.h"
#include "shell/timeline.h"

namespace {

std::vector<int> rowsAt(float t) {
    std::vector<int> rows;
    for (int i = 0; i < timelineRowCount; ++i)
        if (timelineRows[i].runsAt(t)) rows.push_back(i + 1);
    return rows;
}

TEST(GlintTimeline, RowsRunInsideTheirOpenWindows) {
    struct Case {
        float t;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {-3.0f, {4, 9}},
        {0.0f, {4, 9}},
        {0.001f, {1, 4, 9, 11, 12}},
        {12.0f, {1, 4, 9, 11, 12}},
        {15.0f, {1, 4, 5, 9, 11, 12}},
        {19.0f, {1, 4, 9, 11, 12}},
        {31.5f, {1, 4, 9, 11, 12}},
        {50.0f, {1, 4, 8, 9, 11, 12}},
        {56.0f, {4, 9}},
        {60.0f, {2, 4, 9, 10}},
        {125.0f, {2, 4, 9, 13, 14}},
        {135.0f, {2, 4, 9, 13, 18}},
        {156.5f, {2, 4, 9, 15, 18}},
        {200.0f, {4, 9, 16}},
        {240.0f, {3, 4, 9, 17}},
        {258.0f, {3, 4, 9, 17}},
    };
    for (const Case& c : cases) EXPECT_EQ(rowsAt(c.t), c.rows) << "t = " << c.t;
}

class RecordingPart : public TimelinePart {
public:
    RecordingPart(float start, float end, std::vector<std::pair<int, float>>& log, int id)
        : TimelinePart(start, end, 1.0f, nullptr), log(log), id(id) {}
    void run(float localTime) override { log.emplace_back(id, localTime); }
    std::vector<std::pair<int, float>>& log;
    int id;
};

TEST(GlintTimeline, PartsRunInsideTheirClosedWindowsInListOrder) {
    std::vector<std::pair<int, float>> log;
    PartList saved = partList;
    partList = PartList{};
    partList.insert(new RecordingPart(56, 82, log, 1));
    partList.insert(new RecordingPart(82, 122, log, 2));
    partList.insert(new RecordingPart(56, 82, log, 4));
    runParts(56.0f);
    runParts(82.0f);
    runParts(-1.0f);
    runParts(100.0f);
    EXPECT_EQ(log, (std::vector<std::pair<int, float>>{{1, 0.0f}, {4, 0.0f}, {1, 26.0f}, {2, 0.0f}, {4, 26.0f}, {2, 18.0f}}));
    for (int i = 0; i < partList.count; ++i) delete partList.parts[i];
    std::free(partList.parts);
    partList = saved;
    saved.parts = nullptr;
}

TEST(GlintTimeline, PartListGrowsFromSixteenByDoubling) {
    PartList list;
    std::vector<std::pair<int, float>> log;
    RecordingPart part(0, 1, log, 0);
    list.insert(&part);
    EXPECT_EQ(list.capacity, 16);
    for (int i = 1; i < 17; ++i) list.insert(&part);
    EXPECT_EQ(list.count, 17);
    EXPECT_EQ(list.capacity, 32);
}

TEST(GlintBeatTable, HoldsTheAccentsInTimeOrder) {
    fillBeatTable();
    EXPECT_EQ(BeatTable[0].time, 19.0f);
    EXPECT_EQ(BeatTable[3].time, 56.126488f);
    EXPECT_EQ(BeatTable[299].time, 233.0f);
    int kinds[10] = {};
    for (int i = 0; i < beatCount; ++i) {
        ASSERT_GE(BeatTable[i].kind, 0);
        ASSERT_LE(BeatTable[i].kind, 9);
        ++kinds[BeatTable[i].kind];
        if (i) {
            EXPECT_GT(BeatTable[i].time, BeatTable[i - 1].time) << i;
        }
    }
    const int expected[10] = {96, 31, 79, 12, 27, 6, 28, 5, 15, 1};
    for (int k = 0; k < 10; ++k) EXPECT_EQ(kinds[k], expected[k]) << "kind " << k;
}

TEST(GlintBinding, TableHoldsTheOpenGL11NamesInOrderThenTheWglNames) {
    std::ifstream header(GL11_NAMES_FILE);
    std::vector<std::string> systemNames;
    for (std::string line; std::getline(header, line);) systemNames.push_back(line);
    ASSERT_EQ(systemNames.size(), 336u);
    for (int i = 0; i < 336; ++i) EXPECT_EQ(GLBinding::table[i].name, systemNames[size_t(i)]) << i;
    const char* wgl[16] = {"wglCopyContext", "wglCreateContext", "wglCreateLayerContext", "wglDeleteContext",
                           "wglGetCurrentContext", "wglGetCurrentDC", "wglGetProcAddress", "wglMakeCurrent",
                           "wglShareLists", "wglSwapBuffers", "wglUseFontBitmapsA", "wglUseFontBitmapsW",
                           "wglGetPixelFormat", "wglSetPixelFormat", "wglDescribePixelFormat", "wglChoosePixelFormat"};
    for (int i = 0; i < 16; ++i) EXPECT_STREQ(GLBinding::table[336 + i].name, wgl[i]);
    for (const GLBindingEntry& entry : GLBinding::table) EXPECT_NE(entry.slot, nullptr);
}

}  // namespace
