// glintdemo's generated sample show: its pictures in every JPEG layout the show's decoder
// reads, the height maps, the banner, and the soundtrack's accents on the beat table.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "built_show.h"
#include "heightmaps.h"
#include "jpeg_test_support.h"
#include "pictures.h"
#include "show_content.h"
#include "support.h"

namespace {

using namespace content::glint;

// What the frame header and restart segment of a JPEG file say.
struct JpegLayoutSeen {
    bool progressive = false, restarts = false;
    int components = 0, lumaH = 0, lumaV = 0;
    std::string name() const {
        std::string kind = progressive ? "progressive" : "baseline";
        if (components == 1) return "grey " + kind;
        return std::to_string(lumaH) + "x" + std::to_string(lumaV) + " " + kind;
    }
};

JpegLayoutSeen layoutOf(const std::vector<uint8_t>& jpeg) {
    JpegLayoutSeen seen;
    for (size_t at = 2; at + 4 <= jpeg.size();) {
        if (jpeg[at] != 0xFF) break;
        uint8_t marker = jpeg[at + 1];
        size_t length = size_t(jpeg[at + 2]) << 8 | jpeg[at + 3];
        if (marker == 0xC0 || marker == 0xC2) {
            seen.progressive = marker == 0xC2;
            seen.components = jpeg[at + 9];
            seen.lumaH = jpeg[at + 11] >> 4;
            seen.lumaV = jpeg[at + 11] & 15;
        }
        if (marker == 0xDD) seen.restarts = (jpeg[at + 4] << 8 | jpeg[at + 5]) != 0;
        if (marker == 0xDA) break;
        at += 2 + length;
    }
    return seen;
}

// The members of the archive the build wrote, and the pictures as the generator draws them.
class SampleContent : public ::testing::Test {
protected:
    static void SetUpTestSuite() { members_ = testing_support::builtShowMembers(); }
    void SetUp() override { ASSERT_FALSE(members_.empty()) << "no archive in " << testing_support::builtShowDir(); }
    static const std::vector<uint8_t>& member(const std::string& name) {
        auto found = members_.find(name);
        if (found != members_.end()) return found->second;
        ADD_FAILURE() << "no member " << name;
        static const std::vector<uint8_t> none;
        return none;
    }
    static std::vector<ShowPicture> drawnPictures() {
        std::vector<ShowPicture> pictures;
        std::string error;
        EXPECT_TRUE(showPictures(GLINT_TITLE_FONT, pictures, &error)) << error;
        return pictures;
    }
    static std::map<std::string, std::vector<uint8_t>> members_;
};
std::map<std::string, std::vector<uint8_t>> SampleContent::members_;

// The generator makes the same members on every run: the archive the build wrote holds
// exactly what it makes now.
TEST_F(SampleContent, TheBuildWroteWhatTheGeneratorMakesAgain) {
    std::vector<ArchiveMember> fresh;
    std::string error;
    ASSERT_TRUE(archiveMembers(GLINT_TITLE_FONT, fresh, &error)) << error;
    EXPECT_EQ(fresh.size(), members_.size());
    for (const ArchiveMember& m : fresh) EXPECT_TRUE(m.bytes == member(m.name)) << m.name << " differs";
}

// The show's own pictures exercise its decoder: grey and every luma sampling, each both
// baseline and progressive, and restart markers.
TEST_F(SampleContent, PicturesUseEveryLayoutTheDecoderReads) {
    std::map<std::string, std::vector<std::string>> byLayout;
    int withRestarts = 0;
    for (const ShowPicture& picture : drawnPictures()) {
        JpegLayoutSeen seen = layoutOf(member(picture.name));
        byLayout[seen.name()].push_back(picture.name);
        withRestarts += seen.restarts;
        EXPECT_EQ(seen.components, picture.canvas.channels) << picture.name;
    }
    for (const char* layout : {"grey baseline", "grey progressive", "1x1 baseline", "1x1 progressive", "2x1 baseline",
                               "2x1 progressive", "1x2 baseline", "1x2 progressive", "2x2 baseline", "2x2 progressive"})
        EXPECT_FALSE(byLayout[layout].empty()) << "no picture is stored as " << layout;
    EXPECT_GE(withRestarts, 1);
}

// Each picture comes back from the show's decoder as it was drawn: JPEG at quality 90 loses a
// few levels out of 255 on average (most on saturated colour edges with sub-sampled chroma),
// a picture decoded in the wrong layout or channel order dozens.
TEST_F(SampleContent, TheShowsDecoderReadsEveryPictureAsDrawn) {
    for (const ShowPicture& picture : drawnPictures()) {
        jpeg_test::Decoded decoded = jpeg_test::decode(member(picture.name));
        ASSERT_EQ(decoded.error, 0) << picture.name;
        ASSERT_TRUE(decoded.complete) << picture.name;
        ASSERT_EQ(decoded.width, picture.canvas.width) << picture.name;
        ASSERT_EQ(decoded.height, picture.canvas.height) << picture.name;
        std::vector<uint8_t> drawn = picture.canvas.bytes();
        ASSERT_EQ(decoded.pixels.size(), drawn.size()) << picture.name;
        double error = 0;
        for (size_t i = 0; i < drawn.size(); ++i) error += std::abs(int(decoded.pixels[i]) - int(drawn[i]));
        EXPECT_LT(error / double(drawn.size()), 6.0) << picture.name;
    }
}

// Pictures added onto the screen in squares smaller than the screen (the dots, the zooming
// burst) or fading over everything (the end card) are black at their border, so no square
// edge shows around them.
TEST_F(SampleContent, AddedPicturesFadeToBlackAtTheirBorder) {
    for (const char* name : {"dot.jpg", "sc2.jpg", "d4_3.jpg"}) {
        jpeg_test::Decoded d = jpeg_test::decode(member(name));
        ASSERT_EQ(d.error, 0) << name;
        const int channels = d.components;
        int brightest = 0;
        for (int y = 0; y < d.height; ++y)
            for (int x = 0; x < d.width; ++x) {
                if (x != 0 && y != 0 && x != d.width - 1 && y != d.height - 1) continue;
                for (int c = 0; c < channels; ++c)
                    brightest = std::max(brightest, int(d.pixels[(size_t(y) * d.width + x) * channels + c]));
            }
        EXPECT_LE(brightest, 12) << name;
    }
}

struct HeightStats {
    int low = 255, high = 0;
    double deviation = 0;
    int largestStep = 0, seamStep = 0;   // between neighbours inside; across the 254-to-0 wrap
};

HeightStats statsOf(const std::vector<uint8_t>& map) {
    HeightStats s;
    double sum = 0, squares = 0;
    auto at = [&](int x, int y) { return int(map[size_t(y) * 256 + size_t(x)]); };
    for (int y = 0; y < 255; ++y)
        for (int x = 0; x < 255; ++x) {
            int h = at(x, y);
            s.low = std::min(s.low, h);
            s.high = std::max(s.high, h);
            sum += h;
            squares += double(h) * h;
            if (x < 254) s.largestStep = std::max(s.largestStep, std::abs(at(x + 1, y) - h));
            if (y < 254) s.largestStep = std::max(s.largestStep, std::abs(at(x, y + 1) - h));
        }
    for (int i = 0; i < 255; ++i)
        s.seamStep = std::max({s.seamStep, std::abs(at(254, i) - at(0, i)), std::abs(at(i, 254) - at(i, 0))});
    double n = 255.0 * 255.0;
    s.deviation = std::sqrt(squares / n - (sum / n) * (sum / n));
    return s;
}

// The show reads rows and columns modulo 255 while it scrolls the maps: they repeat every
// 255 samples without a seam, and they span the whole range so the surfaces move visibly.
TEST_F(SampleContent, HeightMapsRippleAndRepeatEvery255Samples) {
    for (const char* name : {"wave1.raw", "disp2.raw", "twirlb.raw", "addict1.raw"}) {
        const std::vector<uint8_t>& map = member(name);
        ASSERT_EQ(map.size(), 65536u) << name;
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(map[size_t(255) * 256 + size_t(i)], map[size_t(i)]) << name << ": row 255 repeats row 0";
            ASSERT_EQ(map[size_t(i) * 256 + 255], map[size_t(i) * 256]) << name << ": column 255 repeats column 0";
        }
        HeightStats s = statsOf(map);
        EXPECT_EQ(s.low, 0) << name;
        EXPECT_EQ(s.high, 255) << name;
        EXPECT_GT(s.deviation, 25.0) << name;
        EXPECT_LE(s.seamStep, s.largestStep) << name << ": the wrap is as smooth as the inside";
    }
}

// Banner: two 512 x 128 RGB pictures of the title on black, the first warm, the second cool.
TEST_F(SampleContent, TheBannerShowsTheTitleCentredOnBlack) {
    for (const char* name : {"sb.raw", "s.raw"}) {
        const std::vector<uint8_t>& banner = member(name);
        ASSERT_EQ(banner.size(), 512u * 128u * 3u) << name;
        int left = 512, right = -1, top = 128, bottom = -1;
        long red = 0, blue = 0;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 512; ++x) {
                const uint8_t* p = &banner[(size_t(y) * 512 + size_t(x)) * 3];
                red += p[0];
                blue += p[2];
                if (p[0] + p[1] + p[2] < 600) continue;   // the letters' bright cores
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        ASSERT_GE(right, 0) << name << " shows no text";
        EXPECT_NEAR((left + right) / 2.0, 255.5, 8.0) << name;
        EXPECT_GT(right - left, 300) << name << ": the title spans most of the width";
        EXPECT_GT(bottom - top, 40) << name;
        EXPECT_GT(top, 2) << name << ": the letters are not cut at the top";
        EXPECT_LT(bottom, 125) << name << ": nor at the bottom";
        for (size_t corner : {size_t(0), size_t(511), size_t(127) * 512, size_t(127) * 512 + 511})
            EXPECT_EQ(banner[corner * 3] + banner[corner * 3 + 1] + banner[corner * 3 + 2], 0) << name;
        if (std::string(name) == "sb.raw") EXPECT_GT(red, blue * 2) << "the first banner glows warm";
        else EXPECT_GT(blue, red) << "the second banner is cool";
    }
}

// The soundtrack as the show plays it, decoded from the generated MP3 (mono).
std::vector<float> decodedSoundtrack() {
    std::string path = testing_support::binDir() + "/../content/glintdemo/soundtrack.mp3";
    mpg123_init();
    int status = 0;
    mpg123_handle* handle = mpg123_new(nullptr, &status);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    mpg123_format_none(handle);
    mpg123_format(handle, soundtrackRate, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    std::vector<float> mono;
    if (mpg123_open(handle, path.c_str()) == MPG123_OK) {
        std::vector<float> block(8192);
        size_t bytes = 0;
        do {
            status = mpg123_read(handle, block.data(), block.size() * sizeof(float), &bytes);
            for (size_t i = 0; i + 1 < bytes / sizeof(float); i += 2) mono.push_back((block[i] + block[i + 1]) * 0.5f);
        } while (status == MPG123_OK || status == MPG123_NEW_FORMAT);
        mpg123_close(handle);
    }
    mpg123_delete(handle);
    return mono;
}

// Mean square of the samples between two show times.
double energy(const std::vector<float>& sound, double from, double to) {
    size_t first = size_t(std::max(0.0, from) * soundtrackRate), last = std::min(sound.size(), size_t(to * soundtrackRate));
    double sum = 0;
    for (size_t i = first; i < last; ++i) sum += double(sound[i]) * sound[i];
    return last > first ? sum / double(last - first) : 0.0;
}

// The sound with its highs lifted (each sample less 0.95 of the one before), where the
// attacks of bright sounds stand out from pads and bass.
std::vector<float> brightened(const std::vector<float>& sound) {
    std::vector<float> out(sound.size());
    for (size_t i = 1; i < sound.size(); ++i) out[i] = sound[i] - 0.95f * sound[i - 1];
    return out;
}

// Share of a window's energy below about 250 Hz (a one-pole low-pass split).
double lowShare(const std::vector<float>& sound, double from, double to) {
    size_t first = size_t(from * soundtrackRate), last = std::min(sound.size(), size_t(to * soundtrackRate));
    const double k = 1.0 - std::exp(-2.0 * M_PI * 250.0 / soundtrackRate);
    double low = 0, lowSum = 0, allSum = 0;
    for (size_t i = first - 2000; i < last; ++i) {
        low += k * (sound[i] - low);
        if (i < first) continue;
        lowSum += low * low;
        allSum += double(sound[i]) * sound[i];
    }
    return allSum > 0 ? lowSum / allSum : 0.0;
}

// The soundtrack is the show's length and strikes on the beat table: just after each accent
// the sound is much louder than just before it (kicks and swells in the whole sound, a swell
// as it grows 0.1 s later; snares, zaps and bells in its highs). Kicks are deep, the bells of
// kinds 4 to 9 bright.
TEST(SampleSoundtrack, StrikesOnEveryAccentOfTheBeatTable) {
    std::vector<float> sound = decodedSoundtrack();
    ASSERT_FALSE(sound.empty()) << "build/content/glintdemo/soundtrack.mp3 cannot be decoded";
    EXPECT_NEAR(double(sound.size()) / soundtrackRate, soundtrackSeconds, 0.05);
    std::vector<float> highs = brightened(sound);

    std::vector<Accent> accents = showAccents();
    ASSERT_EQ(accents.size(), 300u);
    int struck = 0;
    std::string missed;
    double kickLow = 0, bellLow = 0;
    int kicks = 0, bells = 0;
    for (const Accent& a : accents) {
        const double t = a.time;
        const std::vector<float>& band = a.kind <= 1 ? sound : highs;
        double after = a.kind == 1 ? energy(band, t + 0.12, t + 0.2) : energy(band, t, t + 0.03);
        double before = energy(band, t - 0.04, t - 0.005);
        if (after > 2.0 * before) ++struck;
        else missed += std::to_string(t) + "/" + std::to_string(a.kind) + " ";
        if (a.kind == 0) kickLow += lowShare(sound, t, t + 0.05), ++kicks;
        if (a.kind >= 4) bellLow += lowShare(sound, t, t + 0.05), ++bells;
    }
    EXPECT_GE(struck, 280) << "accents without a strike: " << missed;
    EXPECT_GT(kickLow / kicks, 0.6);
    EXPECT_LT(bellLow / bells, 0.2);

    // It fades in at the start and out at the end.
    EXPECT_LT(energy(sound, 0.0, 2.0), energy(sound, 60.0, 62.0) * 0.1);
    EXPECT_LT(energy(sound, 259.5, 260.0), energy(sound, 250.0, 252.0) * 0.1);
}

}  // namespace
