// The demo-dat tool as a user runs it: listing, extracting and decoding, and an exit code for
// each way it can fail.
#include "jpeg_test_support.h"
#include "jpeg_writer.h"
#include "support.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using testing_support::TempDir;

class DemoDatTool : public ::testing::Test {
protected:
    void SetUp() override {
        jpeg_ = content::writeJpeg(jpeg_test::colourPicture(19, 11).data(), 19, 11, 3, {90, 2, 1, 0});
        grey_ = content::writeJpeg(jpeg_test::greyPicture(9, 7).data(), 9, 7, 1, {90, 1, 1, 0});
        content::ZipWriter zip;
        zip.add("Pictures/Colour.jpg", jpeg_);
        zip.add("grey.jpg", grey_, {content::ZipWriter::Method::stored});
        zip.add("notes.txt", std::string("some notes\n"));
        zip.add("broken.jpg", std::string("no picture"));
        std::vector<uint8_t> bytes = zip.finish();
        testing_support::writeFile(dir_.file("demo.dat"), std::string(bytes.begin(), bytes.end()));
        bytes[zip.placements()[2].localHeaderOffset + 14] ^= 1;  // CRC of notes.txt
        testing_support::writeFile(dir_.file("badcrc.dat"), std::string(bytes.begin(), bytes.end()));
        testing_support::writeFile(dir_.file("plain.jpg"), std::string(jpeg_.begin(), jpeg_.end()));
    }
    testing_support::RunResult tool(const std::vector<std::string>& arguments) {
        return testing_support::run(testing_support::binDir() + "/demo-dat", arguments, {}, dir_.path(), 60);
    }
    TempDir dir_;
    std::vector<uint8_t> jpeg_, grey_;
};

TEST_F(DemoDatTool, ListsAndExtractsMembers) {
    auto listed = tool({"list", "demo.dat"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("Pictures/Colour.jpg"), std::string::npos);
    EXPECT_NE(listed.out.find("stored"), std::string::npos);
    EXPECT_NE(listed.out.find("deflated"), std::string::npos);
    EXPECT_NE(listed.out.find(" " + std::to_string(grey_.size()) + " "), std::string::npos);

    auto cat = tool({"cat", "demo.dat", "NOTES.TXT"});
    EXPECT_EQ(cat.exitCode, 0);
    EXPECT_EQ(cat.out, "some notes\n");
}

TEST_F(DemoDatTool, DecodesMembersAndFilesToPortableMaps) {
    for (bool packed : {true, false}) {
        std::vector<std::string> args = {"decode"};
        if (!packed) args.push_back("--portable");
        auto fromArchive = tool([&] { auto a = args; a.insert(a.end(), {"demo.dat", "pictures/colour.jpg", "a.ppm"}); return a; }());
        ASSERT_EQ(fromArchive.exitCode, 0) << fromArchive.err;
        auto fromFile = tool([&] { auto a = args; a.insert(a.end(), {"plain.jpg", "b.ppm"}); return a; }());
        ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
        jpeg_test::Reference a = jpeg_test::readPnm(dir_.file("a.ppm")), b = jpeg_test::readPnm(dir_.file("b.ppm"));
        EXPECT_EQ(a.width, 19);
        EXPECT_EQ(a.height, 11);
        EXPECT_EQ(a.channels, 3);
        EXPECT_EQ(a.pixels, jpeg_test::decode(jpeg_).pixels);
        EXPECT_EQ(b.pixels, a.pixels);
    }
    ASSERT_EQ(tool({"decode", "demo.dat", "grey.jpg", "g.pgm"}).exitCode, 0);
    jpeg_test::Reference g = jpeg_test::readPnm(dir_.file("g.pgm"));
    EXPECT_EQ(g.channels, 1);
    EXPECT_EQ(g.pixels, jpeg_test::decode(grey_).pixels);
}

TEST_F(DemoDatTool, ExitCodesSayWhatFailed) {
    testing_support::writeFile(dir_.file("junk.dat"), "not an archive");
    std::filesystem::create_directory(dir_.file("folder"));
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{}, 1, "usage"},
        {{"list"}, 1, "usage"},
        {{"unpack", "demo.dat"}, 1, "usage"},
        {{"list", "absent.dat"}, 2, "[zip] Cant open file absent.dat!"},
        {{"decode", "absent.jpg", "x.ppm"}, 2, "cannot open"},
        {{"list", "folder"}, 2, "[zip] Cant open file folder!"},
        {{"cat", "folder", "notes.txt"}, 2, "[zip] Cant open file folder!"},
        {{"decode", "folder", "x.ppm"}, 2, "cannot open folder"},
        {{"list", "junk.dat"}, 3, "[zip] Broken archive junk.dat"},
        {{"cat", "demo.dat", "absent.txt"}, 4, "no member absent.txt"},
        {{"cat", "badcrc.dat", "notes.txt"}, 5, "[zip] Errorn in packed data!"},
        {{"decode", "demo.dat", "broken.jpg", "x.ppm"}, 6, "error -217"},
        {{"decode", "plain.jpg", "no-such-folder/x.ppm"}, 7, "cannot write"},
    };
    for (const Case& c : cases) {
        auto result = tool(c.arguments);
        std::string shown;
        for (auto& a : c.arguments) shown += a + " ";
        EXPECT_EQ(result.exitCode, c.exitCode) << shown << "\n" << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << shown << "\n" << result.err;
    }
}

}  // namespace
