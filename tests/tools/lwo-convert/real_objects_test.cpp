// The LightWave objects of the shared test data, written by other programs: each converts into
// an object that korvo's reader reads and its object builder builds, or is refused with the
// reason. Read in place; skipped when the test data is absent.
#include <gtest/gtest.h>

#include <stb/stb_image_write.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "d3d7/testing.h"
#include "gfx/gfxcore.h"
#include "lightwave/LWOLoader1.h"
#include "lightwave/objectbuilder.h"
#include "lwo_convert.h"
#include "shell/debuglog.h"
#include "support.h"

extern List textureCache;

namespace {

using lwo_convert::Result;
using Status = Result::Status;
using namespace testing_support;

struct Expected {
    const char* path;   // under lightwave/ of the test data
    Status status;
    size_t points, triangles, surfaces;
    const char* error;
};

const Expected corpus[] = {
    {"assimp/models-nonbsd/LWO/LWO2/rifle.lwo", Status::converted, 421, 572, 1, ""},
    {"assimp/models/LWO/LWO2/Subdivision.lwo", Status::cannotConvert, 0, 0, 0,
     "subdivision patches (a POLS chunk of type PTCH) (at byte 412): freeze them into polygons in the modeller first"},
    {"assimp/models/LWO/LWO2/UglyVertexColors.lwo", Status::converted, 1628, 3202, 3, ""},
    {"assimp/models/LWO/LWO2/hierarchy.lwo", Status::converted, 290, 564, 3, ""},
    {"assimp/models/LWO/LWO2/uvtest.lwo", Status::converted, 64, 32, 16, ""},
    {"assimp/models/LWO/LWOB/sphere_with_mat_gloss_10pc.lwo", Status::notAnObject, 0, 0, 0,
     "an LWOB object (the older LightWave form): only LWO2 objects are converted"},
    {"assimp/models/LWS/simple_cube.lwo", Status::converted, 8, 12, 1, ""},
    {"blender-import-lwo/LWO3/box/box0.lwo", Status::notAnObject, 0, 0, 0,
     "an LWO3 object (the newer LightWave form): only LWO2 objects are converted"},
    {"lwoloader/models/Objects/LWO2/sign.lwo", Status::converted, 65288, 125342, 20, ""},
    {"renderstack/res/Objects/boxi.lwo", Status::converted, 8, 12, 1, ""},
    {"threeLwoLoader/lwo2.lwo", Status::converted, 1, 0, 0, ""},
    {"we3d/virus.lwo", Status::converted, 3023, 5132, 9, ""},
};

class RealObjects : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        d3d7::testing::setRendering(d3d7::testing::Rendering::RecordOnly);
        gfx.createWindow(GetModuleHandleA(nullptr), "test", false, 64, 48);
        gfx.initDevice(16);
    }
    // The texture cache keeps every image for the life of the player; the tests give them back.
    static void TearDownTestSuite() {
        for (ListNode* node = textureCache.first(); node; node = node->getNext()) {
            static_cast<LPDIRECTDRAWSURFACE7>(node->getData())->Release();
            node->setData(nullptr);
        }
    }
    void SetUp() override {
        root_ = sharedTestdata();
        if (root_.empty()) GTEST_SKIP() << "../shared/testdata is not here";
        root_ += "/lightwave/";
    }

    // Builds the converted object with korvo's object builder in a folder of its own, three
    // levels down so that clips named "../../..." stay inside; every image a clip names is
    // there (a small BMP), as a show's folder would hold it.
    void build(const Result& result, const LWObject& read) {
        TempDir dir;
        std::string work = dir.path() + "/show/a/b";
        std::filesystem::create_directories(work);
        for (ListNode* node = read.clips.first(); node; node = node->getNext()) {
            std::string name = static_cast<const LWClip*>(node->getData())->fileName;
            if (name.empty() || name[0] == '/') continue;
            std::filesystem::path image = std::filesystem::path(work) / name;
            std::filesystem::create_directories(image.parent_path());
            const uint8_t grey[3 * 4] = {128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128};
            ASSERT_TRUE(stbi_write_bmp(image.c_str(), 2, 2, 3, grey));
        }
        std::ofstream(work + "/object.lwo", std::ios::binary)
            .write(reinterpret_cast<const char*>(result.bytes.data()), std::streamsize(result.bytes.size()));
        char here[PATH_MAX];
        ASSERT_TRUE(getcwd(here, sizeof here));
        ASSERT_EQ(chdir(work.c_str()), 0);
        debugLog.open("debug.log");
        auto* object = new SceneObject("object.lwo");
        size_t drawn = 0;
        for (const auto& triangles : read.trianglesBySurface()) drawn += triangles.empty() ? 0 : 1;
        EXPECT_EQ(size_t(object->surfaces.getCount()), drawn);
        delete object;
        debugLog.close();
        ASSERT_EQ(chdir(here), 0);
    }

    std::string root_;
};

TEST_F(RealObjects, EachConvertsIntoWhatKorvoReadsAndBuildsOrIsRefusedWithTheReason) {
    for (const Expected& expected : corpus) {
        SCOPED_TRACE(expected.path);
        std::string bytes = readFile(root_ + expected.path);
        ASSERT_FALSE(bytes.empty());
        Result result = lwo_convert::convert(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(result.status, expected.status);
        EXPECT_EQ(result.error, expected.error);
        if (result.status != Status::converted) continue;
        LWOError error;
        std::unique_ptr<LWObject> read(LWOLoader::read(expected.path, result.bytes.data(), result.bytes.size(), &error));
        ASSERT_TRUE(read) << error.message;
        EXPECT_EQ(size_t(read->pointCount), expected.points);
        EXPECT_EQ(size_t(read->triangleCount), expected.triangles);
        EXPECT_EQ(size_t(read->surfaces.getCount()), expected.surfaces);
        // Every polygon of these objects names a surface, and so does every triangle made of it.
        size_t drawn = 0;
        for (const auto& triangles : read->trianglesBySurface()) drawn += triangles.size();
        EXPECT_EQ(drawn, expected.triangles);
        build(result, *read);
    }
}

TEST_F(RealObjects, EveryObjectOfTheTestDataIsOneOfThem) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_))
        if (entry.path().extension() == ".lwo") found.push_back(entry.path().string().substr(root_.size()));
    for (const std::string& path : found) {
        bool listed = false;
        for (const Expected& expected : corpus) listed = listed || path == expected.path;
        EXPECT_TRUE(listed) << path << " is new: add what it converts into";
    }
}

}  // namespace
