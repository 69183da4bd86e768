// The decoder against real JPEG files made by other encoders (../shared/testdata/jpeg), with
// reference decodes by libjpeg-turbo (replicated chroma, accurate integer IDCT). Tolerance:
// every sample within 3 of the reference and a mean difference below 0.5.
#include "jpeg_test_support.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace {

struct Expectation {
    std::string file;
    bool decodable = false;
    int mode = -1, width = 0, height = 0;
};

std::string corpus() {
    std::string shared = testing_support::sharedTestdata();
    return shared.empty() || !std::filesystem::is_directory(shared + "/jpeg") ? std::string() : shared + "/jpeg";
}

std::vector<Expectation> expectations(const std::string& folder) {
    std::vector<Expectation> list;
    std::ifstream in(folder + "/expect.tsv");
    std::string line;
    std::getline(in, line);  // heading
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Expectation e;
        std::string decodable, mode, width, height;
        std::getline(fields, e.file, '\t');
        std::getline(fields, decodable, '\t');
        std::getline(fields, mode, '\t');
        std::getline(fields, width, '\t');
        std::getline(fields, height, '\t');
        e.decodable = decodable == "yes";
        e.mode = mode == "-" ? -1 : std::stoi(mode);
        e.width = width == "-" ? 0 : std::stoi(width);
        e.height = height == "-" ? 0 : std::stoi(height);
        list.push_back(e);
    }
    return list;
}

std::vector<uint8_t> readBytes(const std::string& path) {
    std::string s = testing_support::readFile(path);
    return {s.begin(), s.end()};
}

std::string referenceOf(const std::string& folder, const std::string& file) {
    std::string stem = file.substr(0, file.rfind('.'));
    for (const char* extension : {".ref.ppm", ".ref.pgm"})
        if (std::filesystem::exists(folder + "/" + stem + extension)) return folder + "/" + stem + extension;
    return "";
}

#define SKIP_WITHOUT_CORPUS()                                                                  \
    std::string folder = corpus();                                                             \
    if (folder.empty()) GTEST_SKIP() << "../shared/testdata/jpeg is absent: corpus not checked"

TEST(JpegCorpus, DecodableFilesMatchTheirReferences) {
    SKIP_WITHOUT_CORPUS();
    int checked = 0;
    for (const Expectation& e : expectations(folder)) {
        if (!e.decodable) continue;
        SCOPED_TRACE(e.file);
        std::vector<uint8_t> bytes = readBytes(folder + "/" + e.file);
        jpeg_test::Decoded packed = jpeg_test::decode(bytes, true), portable = jpeg_test::decode(bytes, false);
        ASSERT_EQ(packed.error, 0) << jpegErrorText(packed.error);
        EXPECT_TRUE(packed.complete);
        EXPECT_EQ(packed.mode, e.mode);
        EXPECT_EQ(packed.width, e.width);
        EXPECT_EQ(packed.height, e.height);
        EXPECT_EQ(packed.rows, e.height);
        // The two transforms give the same pixels.
        EXPECT_EQ(packed.pixels, portable.pixels);

        jpeg_test::Reference reference = jpeg_test::readPnm(referenceOf(folder, e.file));
        ASSERT_EQ(reference.width, packed.width);
        ASSERT_EQ(reference.height, packed.height);
        ASSERT_EQ(reference.channels, packed.components == 1 ? 1 : 3);
        jpeg_test::Closeness c = jpeg_test::compare(packed.pixels, reference.pixels);
        EXPECT_LE(c.worst, 3);
        EXPECT_LT(c.mean, 0.5);
        std::printf("  %-34s mode %d  worst %d  mean %.4f\n", e.file.c_str(), packed.mode, c.worst, c.mean);
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

TEST(JpegCorpus, ReEncodingsOfOnePictureDecodeIdentically) {
    SKIP_WITHOUT_CORPUS();
    const std::vector<std::vector<std::string>> groups = {
        {"testorig.jpg", "testorig_rst5b.jpg", "testorig_junk100.jpg"},
        {"testimggray.jpg", "testimggray_prog.jpg"},
        {"testorig_440.jpg", "testorig_440_prog.jpg"},
        {"harvesters.jpeg", "harvesters_prog.jpg"},
    };
    for (const auto& group : groups) {
        jpeg_test::Decoded first = jpeg_test::decode(readBytes(folder + "/" + group[0]));
        ASSERT_TRUE(first.complete) << group[0];
        for (size_t i = 1; i < group.size(); ++i) {
            jpeg_test::Decoded other = jpeg_test::decode(readBytes(folder + "/" + group[i]));
            EXPECT_TRUE(other.complete) << group[i];
            EXPECT_TRUE(other.pixels == first.pixels) << group[i] << " differs from " << group[0];
        }
    }
}

TEST(JpegCorpus, UndecodableFilesFailAndNeverReportAPicture) {
    SKIP_WITHOUT_CORPUS();
    // Unsupported processes and layouts are refused from the headers, before any scan data.
    const std::map<std::string, int> refusedFromHeaders = {
        {"testimgari.jpg", jpegErrorArithmetic},           {"testorig12.jpg", jpegErrorPrecision},
        {"invalid-prediction-shift.jpg", jpegErrorUnsupportedProcess},
        {"pil_sample_cmyk.jpg", jpegErrorComponentCount},  {"peacock.s1x3.jpeg", jpegErrorSamplingLayout},
        {"testorig_411.jpg", jpegErrorSamplingLayout},     {"testorig_chroma2x2.jpg", jpegErrorSamplingLayout},
        {"testorig_junk600.jpg", jpegErrorNoStartOfImage},
    };
    for (const Expectation& e : expectations(folder)) {
        if (e.decodable) continue;
        SCOPED_TRACE(e.file);
        for (bool packed : {true, false}) {
            jpeg_test::Decoded d = jpeg_test::decode(readBytes(folder + "/" + e.file), packed);
            EXPECT_NE(d.error, 0);
            EXPECT_FALSE(d.complete);
            auto refused = refusedFromHeaders.find(e.file);
            if (refused != refusedFromHeaders.end()) {
                EXPECT_EQ(d.error, refused->second) << jpegErrorText(d.error);
                EXPECT_TRUE(d.constructionError != 0 || d.beginResult != 0) << "failed only in readRow";
                EXPECT_EQ(d.rows, 0);
            }
        }
    }
}

}  // namespace
