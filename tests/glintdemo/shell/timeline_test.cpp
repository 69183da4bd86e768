// Which rows and parts of the timeline run at a show time and what each does, the beat table,
// and the binding's name table.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "assets/picture.h"
#include "shell/beattable.h"
#include "shell/demowindow.h"
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

// What the rows did, one entry a call: "name(arguments)", pictures by member name.
std::vector<std::string> calls;
Texture pictures[showTextureCount];

std::string named(const Texture* texture) { return texture ? texture->name : "none"; }

template <typename... Values>
void record(const char* name, Values... values) {
    std::ostringstream call;
    call << name << "(";
    [[maybe_unused]] const char* separator = "";
    ((call << separator << values, separator = ", "), ...);
    call << ")";
    calls.push_back(call.str());
}

class PartRecorder : public TimelinePart {
public:
    PartRecorder(float start, float end) : TimelinePart(start, end, 1.0f, nullptr) {}
    void run(float localTime) override { record("part", localTime); }
};

// The rows run with recorders in place of the effects: each row's effects in their order,
// with their arguments and pictures, and the background picture each window selects.
class GlintTimelineActions : public ::testing::Test {
protected:
    void SetUp() override {
        saved = timelineEffects;
        timelineEffects = {
            [](float start) { record("envObjects", start); },
            [] { record("billboards"); },
            [] { record("flatMesh"); },
            [] { record("background", named(currentBackground)); },
            [](float t, Texture* picture, float start) { record("tubeGroup2", t, named(picture), start); },
            [](float t, Texture* picture) { record("tubeGroup1", t, named(picture)); },
            [] { record("banner"); },
            [](float localTime) { record("dotTitles", localTime); },
            [](float localTime, int variant, float rate) { record("runScene", localTime, variant, rate); },
            [](int world) { record("runWorld", world); },
        };
        const char* names[showTextureCount] = {"addict1.jpg", "kalju3512.jpg", "sc2.jpg", "sotku2.jpg",
                                               "d4_1.jpg",    "d2_2.jpg",      "d2_3.jpg", "d4_4.jpg",
                                               "d4_22.jpg",   "d5_2.jpg",      "d4_3.jpg", "dot.jpg",
                                               "sunftext.jpg"};
        for (int i = 0; i < showTextureCount; ++i) {
            std::snprintf(pictures[i].name, sizeof pictures[i].name, "%s", names[i]);
            savedTextures[i] = showTextures[i];
            showTextures[i] = &pictures[i];
        }
        savedParts = partList;
        partList = PartList{};
        partList.insert(new PartRecorder(56, 82));
    }
    void TearDown() override {
        timelineEffects = saved;
        for (int i = 0; i < showTextureCount; ++i) showTextures[i] = savedTextures[i];
        delete partList.parts[0];
        std::free(partList.parts);
        partList = savedParts;
        savedParts.parts = nullptr;
        currentBackground = nullptr;
    }
    // One frame's rows at t, starting with no background selected.
    std::vector<std::string> rowsDo(float t) {
        calls.clear();
        currentBackground = nullptr;
        runTimeline(t);
        return calls;
    }

    TimelineEffects saved;
    Texture* savedTextures[showTextureCount];
    PartList savedParts;
};

TEST_F(GlintTimelineActions, TheOpeningDrawsObjectsTubesTitlesAndBannerOverItsBackgrounds) {
    const std::vector<std::string> opening = {"envObjects(82)", "billboards()"};
    auto at = [&](float t, const char* background) {
        std::vector<std::string> expected = opening;
        expected.push_back(std::string("background(") + background + ")");
        std::ostringstream tube, titles;
        tube << "tubeGroup2(" << t << ", kalju3512.jpg, 4)";
        titles << "dotTitles(" << t - 6.0f << ")";
        expected.insert(expected.end(), {tube.str(), titles.str(), "banner()"});
        return expected;
    };
    EXPECT_EQ(rowsDo(10.0f), at(10.0f, "none"));
    EXPECT_EQ(rowsDo(15.0f), at(15.0f, "d2_3.jpg"));
    EXPECT_EQ(rowsDo(25.0f), at(25.0f, "d4_4.jpg"));
    EXPECT_EQ(rowsDo(40.0f), at(40.0f, "d2_2.jpg"));
    EXPECT_EQ(rowsDo(50.0f), at(50.0f, "d4_1.jpg"));
}

TEST_F(GlintTimelineActions, TheMiddleRunsWorldsScenesAndTubesAtTheirTimes) {
    EXPECT_EQ(rowsDo(60.0f), (std::vector<std::string>{"flatMesh()", "part(4)", "background(none)", "runWorld(2)"}));
    EXPECT_EQ(rowsDo(125.0f), (std::vector<std::string>{"flatMesh()", "background(none)", "envObjects(0)",
                                                        "billboards()", "tubeGroup2(125, sc2.jpg, 122)"}));
    EXPECT_EQ(rowsDo(135.0f), (std::vector<std::string>{"flatMesh()", "background(none)", "envObjects(0)",
                                                        "billboards()", "runWorld(4)"}));
    EXPECT_EQ(rowsDo(156.5f), (std::vector<std::string>{"flatMesh()", "background(none)", "runScene(0.5, 1, 0.243)",
                                                        "runWorld(4)"}));
    EXPECT_EQ(rowsDo(200.0f), (std::vector<std::string>{"background(none)", "flatMesh()", "runWorld(3)",
                                                        "runScene(18, 3, 0.343)"}));
}

TEST_F(GlintTimelineActions, TheEndSelectsItsBackgroundAfterTheBackgroundIsDrawn) {
    // Row 17 comes after row 9: its picture is drawn by the next frame's background row.
    EXPECT_EQ(rowsDo(240.0f), (std::vector<std::string>{"flatMesh()", "billboards()", "background(none)",
                                                        "tubeGroup1(240, kalju3512.jpg)"}));
    EXPECT_EQ(named(currentBackground), "d5_2.jpg");
    // Between the windows the selection is left as it was.
    calls.clear();
    currentBackground = &pictures[TextureSc2];
    runTimeline(58.0f);
    EXPECT_EQ(named(currentBackground), "sc2.jpg");
}

TEST(GlintTimeline, ReleasingThePartListFreesThePartsAndLeavesItEmpty) {
    static int partsFreed;
    struct CountedPart : public TimelinePart {
        CountedPart() : TimelinePart(0, 1, 1.0f, nullptr) {}
        ~CountedPart() override { ++partsFreed; }
        void run(float) override {}
    };
    partsFreed = 0;
    PartList saved = partList;
    partList = PartList{};
    for (int i = 0; i < 3; ++i) partList.insert(new CountedPart);
    releasePartList();
    EXPECT_EQ(partsFreed, 3);
    EXPECT_EQ(partList.count, 0);
    EXPECT_EQ(partList.parts, nullptr);
    runParts(0.5f);   // an empty list runs nothing
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

// The soundtrack's accents, time/kind in index order, as they were written down for the show.
const char accentList[] =
    "19.0/0, 31.5/0, 44.0/0, 56.126488/0, 56.860703/0, 57.261166/0, 57.995403/3, 58.562817/0, "
    "59.03085/0, 59.598644/3, 59.96484/3, 60.56511/0, 61.3664/0, 62.0342/0, 62.533916/0, "
    "63.135532/3, 63.568962/3, 64.46981/0, 64.90791/0, 65.837776/3, 66.37211/3, 66.837906/3, "
    "67.43892/0, 68.00417/0, 68.53809/0, 68.922165/0, 69.488686/3, 69.8611/0, 70.72209/3, "
    "71.24467/0, 72.02249/0, 72.856186/0, 74.02344/0, 74.42403/0, 75.12516/0, 75.790886/0, "
    "76.19075/0, 76.75735/0, 77.35829/0, 77.92533/0, 78.49081/0, 78.923775/0, 79.52539/0, 80.2928/3, "
    "80.83225/0, 81.33565/0, 81.473434/0, 82.64783/0, 84.747795/0, 85.24395/0, 86.61497/0, "
    "87.72405/0, 87.91637/2, 88.53533/2, 89.020996/2, 90.12389/2, 90.804474/2, 91.612595/0, "
    "91.9428/2, 92.85488/2, 93.3064/2, 94.09102/2, 94.73618/1, 95.08911/1, 95.721634/2, 96.356155/2, "
    "96.83042/2, 97.53537/2, 97.946106/2, 98.46981/2, 99.273994/2, 99.98904/2, 100.49279/2, "
    "101.11461/2, 101.742905/0, 102.29114/2, 102.78054/2, 103.60426/2, 104.069756/0, 104.6135/2, "
    "105.06981/2, 105.68252/2, 106.165726/2, 106.67756/2, 107.23398/0, 108.11551/2, 109.012436/0, "
    "109.6208/1, 109.96442/1, 110.741974/2, 111.74679/2, 112.11026/2, 112.90548/2, 113.53774/0, "
    "113.70553/2, 114.07442/2, 114.64955/2, 115.1701/1, 115.57109/2, 116.207016/2, 116.68434/0, "
    "117.11817/2, 117.685005/1, 118.18519/2, 118.95767/0, 119.4/2, 119.85871/1, 120.606125/2, "
    "120.935455/2, 121.334984/1, 121.87717/4, 122.03104/1, 122.49092/6, 122.884285/4, 123.441246/6, "
    "123.60013/6, 124.00271/0, 124.415085/4, 124.9828/0, 125.17287/6, 125.6144/4, 125.971886/0, "
    "126.55539/6, 126.76775/0, 127.18993/4, 127.56724/6, 128.3471/4, 129.75357/4, 130.32178/4, "
    "131.26852/6, 131.8714/4, 132.88399/6, 133.50603/6, 133.91672/4, 134.43474/0, 134.64644/6, "
    "135.0281/2, 136.0237/4, 136.55812/4, 137.59793/2, 138.12816/4, 138.5897/6, 139.15488/0, "
    "139.70464/6, 140.73395/4, 141.3093/4, 142.3334/4, 142.9702/6, 144.68312/4, 145.49968/6, "
    "146.04631/6, 147.05531/4, 147.62958/4, 148.63876/2, 149.22702/2, 150.22102/2, 150.83574/4, "
    "151.82101/6, 152.39645/2, 153.39754/2, 153.99364/4, 154.20674/1, 154.46819/1, 154.72633/1, "
    "155.04265/1, 155.34834/1, 155.60245/1, 155.87358/1, 156.18706/1, 156.47823/1, 156.77141/1, "
    "157.08934/1, 177.78114/1, 178.21472/8, 178.74847/8, 179.1821/8, 179.58238/8, 179.98265/8, "
    "180.38295/8, 180.75165/8, 181.15012/8, 181.51703/8, 181.91731/8, 182.2049/8, 182.39023/0, "
    "183.1659/0, 183.4831/0, 183.77777/0, 184.30138/0, 184.67203/0, 184.97604/2, 185.2834/2, "
    "185.49469/2, 186.22757/0, 186.59215/2, 186.8138/2, 187.0877/2, 187.45284/0, 187.82375/0, "
    "188.18683/2, 188.41483/2, 188.64865/2, 189.40796/0, 189.70808/2, 190.00829/2, 190.19534/2, "
    "190.57552/5, 190.97917/2, 191.32368/6, 191.57608/2, 191.75658/8, 192.54367/0, 192.89334/7, "
    "193.1856/2, 193.37941/9, 193.81094/2, 194.14455/8, 194.44649/0, 194.67854/6, 194.9118/0, "
    "195.61223/4, 195.94829/2, 196.22769/2, 196.41502/3, 196.94664/2, 197.28433/4, 197.58023/0, "
    "197.84724/0, 198.04906/6, 198.78105/2, 199.15266/7, 199.41518/2, 199.59314/6, 200.082/2, "
    "200.45158/8, 200.72519/0, 200.94928/4, 201.19127/0, 201.86243/1, 202.28555/0, 202.52061/0, "
    "202.71713/4, 203.19571/1, 203.56374/1, 203.8528/5, 204.12767/0, 204.38647/6, 205.08546/1, "
    "205.4898/6, 205.71925/0, 205.88872/7, 206.28632/1, 206.72/1, 207.02277/0, 207.2644/6, "
    "207.46783/0, 208.19069/1, 208.55452/5, 208.85791/0, 209.05785/6, 209.4885/1, 209.85542/1, "
    "210.15878/5, 210.42262/0, 210.65749/4, 211.4308/2, 211.75945/7, 212.00162/0, 212.20003/0, "
    "212.65744/7, 212.99095/2, 213.3245/6, 213.59138/0, 213.82492/0, 214.56538/5, 214.90894/0, "
    "215.17581/0, 215.34271/5, 215.80962/2, 216.19862/4, 216.52672/0, 216.76042/1, 216.9608/0, "
    "217.6943/2, 218.06111/6, 218.32797/0, 218.52815/0, 218.96175/8, 219.32872/2, 219.6289/0, "
    "220.1293/6, 220.99683/2, 221.29695/0, 221.53023/6, 221.73036/0, 222.23373/2, 222.53093/2, "
    "222.86446/0, 223.09796/0, 233.0/0";

TEST(GlintBeatTable, EveryEntryIsTheListedAccent) {
    fillBeatTable();
    std::istringstream list(accentList);
    int index = 0;
    for (std::string entry; std::getline(list, entry, ',');) {
        size_t slash = entry.find('/');
        ASSERT_NE(slash, std::string::npos) << entry;
        ASSERT_LT(index, beatCount);
        EXPECT_EQ(BeatTable[index].time, std::strtof(entry.c_str(), nullptr)) << "entry " << index;
        EXPECT_EQ(BeatTable[index].kind, std::atoi(entry.c_str() + slash + 1)) << "entry " << index;
        ++index;
    }
    EXPECT_EQ(index, beatCount);
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
