// The JPEG decoder on pictures made by our writer: every output mode, the row protocol,
// restart intervals, the start-of-image search, and damaged headers and data.
#include "jpeg_test_support.h"
#include "jpeg_writer.h"

#include "assets/jpeg_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>

namespace {

using jpeg_test::decode;
using jpeg_test::Decoded;

std::vector<uint8_t> colourJpeg(int width, int height, int h, int v, int quality = 90, int restart = 0) {
    return content::writeJpeg(jpeg_test::colourPicture(width, height).data(), width, height, 3, {quality, h, v, restart});
}

std::vector<uint8_t> greyJpeg(int width, int height, int quality = 90, int restart = 0) {
    return content::writeJpeg(jpeg_test::greyPicture(width, height).data(), width, height, 1, {quality, 1, 1, restart});
}

TEST(JpegDecoder, EveryOutputModeDecodesCloseToTheSource) {
    struct Layout {
        int h, v, mode;
    };
    const Layout layouts[] = {{1, 1, 1}, {2, 1, 2}, {1, 2, 3}, {2, 2, 4}};
    // Odd sizes, so that MCUs hang over the right and bottom edges.
    for (auto [width, height] : {std::pair{37, 29}, std::pair{16, 16}, std::pair{1, 1}, std::pair{70, 3}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        std::vector<uint8_t> grey = jpeg_test::greyPicture(width, height);
        Decoded d = decode(content::writeJpeg(grey.data(), width, height, 1, {100, 1, 1, 0}));
        ASSERT_TRUE(d.complete) << jpegErrorText(d.error);
        EXPECT_EQ(d.mode, 0);
        EXPECT_EQ(d.components, 1);
        EXPECT_LE(jpeg_test::compare(d.pixels, grey).worst, 3);

        // Grey-valued colour pictures have flat chroma: sub-sampling loses nothing.
        std::vector<uint8_t> source = jpeg_test::greyValuedColourPicture(width, height);
        for (const Layout& layout : layouts) {
            SCOPED_TRACE("mode " + std::to_string(layout.mode));
            Decoded c = decode(content::writeJpeg(source.data(), width, height, 3, {100, layout.h, layout.v, 0}));
            ASSERT_TRUE(c.complete) << jpegErrorText(c.error);
            EXPECT_EQ(c.mode, layout.mode);
            EXPECT_EQ(c.rows, height);
            EXPECT_LE(jpeg_test::compare(c.pixels, source).worst, 4);
        }
    }
    // Real colour at full chroma resolution.
    std::vector<uint8_t> colour = jpeg_test::colourPicture(45, 33);
    Decoded c = decode(content::writeJpeg(colour.data(), 45, 33, 3, {100, 1, 1, 0}));
    ASSERT_TRUE(c.complete);
    EXPECT_LE(jpeg_test::compare(c.pixels, colour).worst, 4);
}

// The standard's example Huffman tables give rare symbols (large coefficients, long zero runs)
// codes of up to 16 bits, longer than the decoder looks up at once. The same coefficients coded
// with them and with short codes made for the picture decode to the same pixels.
TEST(JpegDecoder, LongHuffmanCodesDecodeLikeShortOnes) {
    const int width = 48, height = 40;
    // Noise on the left half (large coefficients at every frequency), smooth on the right.
    auto noisy = [&](std::vector<uint8_t> pixels, int channels) {
        uint32_t x = 7;
        for (size_t i = 0; i < pixels.size(); ++i) {
            if (int(i / size_t(channels)) % width >= width / 2) continue;
            x = x * 214013 + 2531011;
            pixels[i] = uint8_t(x >> 16);
        }
        return pixels;
    };
    const std::vector<uint8_t> grey = noisy(jpeg_test::greyPicture(width, height), 1),
                               colour = noisy(jpeg_test::colourPicture(width, height), 3);
    struct Layout {
        int channels, h, v, restart;
    };
    for (const Layout& l : {Layout{1, 1, 1, 0}, Layout{3, 1, 1, 0}, Layout{3, 2, 2, 0}, Layout{3, 2, 1, 3}}) {
        SCOPED_TRACE("channels " + std::to_string(l.channels) + ", sampling " + std::to_string(l.h) + "x" +
                     std::to_string(l.v) + ", restart " + std::to_string(l.restart));
        const uint8_t* pixels = l.channels == 1 ? grey.data() : colour.data();
        content::JpegWriterOptions made{100, l.h, l.v, l.restart};
        content::JpegWriterOptions standard = made;
        standard.standardTables = true;
        std::vector<uint8_t> shortCodes = content::writeJpeg(pixels, width, height, l.channels, made);
        std::vector<uint8_t> longCodes = content::writeJpeg(pixels, width, height, l.channels, standard);
        ASSERT_NE(longCodes, shortCodes);
        for (bool packed : {true, false}) {
            Decoded expected = decode(shortCodes, packed), got = decode(longCodes, packed);
            ASSERT_TRUE(expected.complete) << jpegErrorText(expected.error);
            ASSERT_TRUE(got.complete) << jpegErrorText(got.error);
            EXPECT_TRUE(got.pixels == expected.pixels) << (packed ? "packed" : "portable");
        }
    }
}

TEST(JpegDecoder, TwoRowsComeFromEachConversionOfSubsampledChroma) {
    std::vector<uint8_t> bytes = colourJpeg(40, 16, 2, 2);
    unsigned char* copy = static_cast<unsigned char*>(std::malloc(bytes.size()));
    std::memcpy(copy, bytes.data(), bytes.size());
    JpegDecoder decoder(new JpegMemorySource(copy, bytes.size(), true), true);
    ASSERT_EQ(decoder.error(), 0);
    ASSERT_EQ(decoder.begin(), 0);
    EXPECT_EQ(decoder.outputMode(), 4);
    EXPECT_EQ(decoder.pixelStride(), 4);
    const uint8_t* rows[16];
    int length = 0;
    for (int y = 0; y < 16; ++y) {
        ASSERT_EQ(decoder.readRow(&rows[y], &length), 0) << "row " << y;
        EXPECT_EQ(length, 40 * 4);
    }
    const uint8_t* row;
    EXPECT_EQ(decoder.readRow(&row, &length), 1);
    EXPECT_EQ(decoder.readRow(&row, &length), 1);
    // The rows of a pair come from the two output buffers, every pair the same two.
    for (int y = 0; y < 16; y += 2) {
        EXPECT_NE(rows[y], rows[y + 1]);
        EXPECT_EQ(rows[y], rows[0]);
        EXPECT_EQ(rows[y + 1], rows[1]);
    }
}

TEST(JpegDecoder, RestartIntervalsDecodeLikeNone) {
    for (int mode = 0; mode <= 4; ++mode) {
        int h = mode == 2 || mode == 4 ? 2 : 1, v = mode >= 3 ? 2 : 1;
        auto make = [&](int restart) {
            return mode == 0 ? greyJpeg(53, 41, 85, restart) : colourJpeg(53, 41, h, v, 85, restart);
        };
        Decoded plain = decode(make(0));
        ASSERT_TRUE(plain.complete);
        for (int interval : {1, 2, 3, 7, 64}) {
            Decoded restarted = decode(make(interval));
            EXPECT_TRUE(restarted.complete) << "mode " << mode << " interval " << interval << ": "
                                            << jpegErrorText(restarted.error);
            EXPECT_TRUE(restarted.pixels == plain.pixels) << "mode " << mode << " interval " << interval;
        }
    }
}

TEST(JpegDecoder, AWrongOrMissingRestartMarkerIsCorruptData) {
    std::vector<uint8_t> bytes = greyJpeg(64, 64, 90, 4);
    long scan = jpeg_test::findSegment(bytes, 0xDA);
    ASSERT_GT(scan, 0);
    std::vector<long> markers;
    for (size_t i = size_t(scan) + 10; i + 1 < bytes.size(); ++i)
        if (bytes[i] == 0xFF && bytes[i + 1] >= 0xD0 && bytes[i + 1] <= 0xD7) markers.push_back(long(i));
    ASSERT_GE(markers.size(), 3u);
    std::vector<uint8_t> wrong = bytes;
    wrong[size_t(markers[1]) + 1] = 0xD5;  // RST5 where RST1 belongs
    EXPECT_EQ(decode(wrong).error, jpegErrorCorruptData);
    std::vector<uint8_t> missing = bytes;
    missing.erase(missing.begin() + markers[1], missing.begin() + markers[1] + 2);
    EXPECT_EQ(decode(missing).error, jpegErrorCorruptData);
}

TEST(JpegDecoder, TheStartOfImageIsSoughtInTheFirst512Bytes) {
    std::vector<uint8_t> bytes = colourJpeg(24, 24, 2, 2);
    Decoded plain = decode(bytes);
    for (size_t junk : {size_t(1), size_t(100), size_t(510)}) {
        std::vector<uint8_t> prefixed(junk, 'x');
        prefixed.insert(prefixed.end(), bytes.begin(), bytes.end());
        Decoded d = decode(prefixed);
        EXPECT_TRUE(d.complete) << junk;
        EXPECT_TRUE(d.pixels == plain.pixels) << junk;
    }
    for (size_t junk : {size_t(511), size_t(600)}) {
        std::vector<uint8_t> prefixed(junk, 'x');
        prefixed.insert(prefixed.end(), bytes.begin(), bytes.end());
        EXPECT_EQ(decode(prefixed).constructionError, jpegErrorNoStartOfImage) << junk;
    }
    EXPECT_EQ(decode({}).constructionError, jpegErrorNoStartOfImage);
}

// Every cut before the end-of-image marker loses data the picture needs: an error, never a
// complete picture. Cuts in the headers fail at construction or begin.
TEST(JpegDecoder, EveryTruncationFails) {
    for (auto bytes : {colourJpeg(37, 35, 2, 2, 75, 0), greyJpeg(33, 17, 75, 2), colourJpeg(30, 20, 1, 2, 75, 3)}) {
        for (size_t size = 0; size + 2 < bytes.size(); ++size) {
            Decoded d = decode(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(size)));
            ASSERT_NE(d.error, 0) << "cut at " << size << " of " << bytes.size();
            ASSERT_FALSE(d.complete) << "cut at " << size;
        }
        // Without its end-of-image marker the picture is still whole.
        EXPECT_TRUE(decode(std::vector<uint8_t>(bytes.begin(), bytes.end() - 2)).complete);
    }
}

// Damaged entropy data and headers: the decoder may fail or deliver a wrong picture, but it
// never reads or writes out of bounds (the sanitizer build runs this) and always answers.
TEST(JpegDecoder, RandomDamageIsHandled) {
    const std::vector<std::vector<uint8_t>> pictures = {colourJpeg(41, 37, 2, 2, 80, 0), greyJpeg(40, 24, 80, 3),
                                                        colourJpeg(20, 20, 2, 1, 80, 1)};
    uint32_t x = 12345;
    auto next = [&x] { return (x = x * 1664525 + 1013904223) >> 8; };
    int failures = 0;
    for (int round = 0; round < 1500; ++round) {
        std::vector<uint8_t> bytes = pictures[size_t(round) % pictures.size()];
        int changes = 1 + int(next() % 4);
        for (int i = 0; i < changes; ++i) {
            size_t at = next() % bytes.size();
            bytes[at] = next() % 3 == 0 ? 0xFF : uint8_t(next());
        }
        Decoded d = decode(bytes, round % 2 == 0);
        if (d.complete) {
            EXPECT_EQ(d.error, 0);
            EXPECT_EQ(d.pixels.size(), size_t(d.width) * d.height * (d.components == 1 ? 1 : 3));
        } else {
            EXPECT_NE(d.error, 0) << "round " << round;
            ++failures;
        }
    }
    EXPECT_GT(failures, 0);
}

// Header damage, each with the code that names it.
// A frame header may claim any size; the bytes after it must be able to hold that many blocks
// (two bits each at the least), or the picture is refused before memory is set aside for it.
TEST(JpegDecoder, AFrameLargerThanItsDataCanHoldIsRefusedAtOnce) {
    auto claim = [](std::vector<uint8_t> bytes, int width, int height) {
        long frame = jpeg_test::findSegment(bytes, 0xC0);
        EXPECT_GT(frame, 0);
        bytes[size_t(frame) + 5] = uint8_t(height >> 8);
        bytes[size_t(frame) + 6] = uint8_t(height);
        bytes[size_t(frame) + 7] = uint8_t(width >> 8);
        bytes[size_t(frame) + 8] = uint8_t(width);
        return bytes;
    };
    // A flat picture codes each block in the fewest bits there are: two. It fits its data exactly.
    const std::vector<uint8_t> flat(1024 * 512, 128);
    const std::vector<uint8_t> tight = content::writeJpeg(flat.data(), 1024, 512, 1, {50, 1, 1, 0});
    ASSERT_LT(tight.size(), 1024u / 8 * 512 / 8 / 4 + 400);
    Decoded whole = decode(tight);
    EXPECT_TRUE(whole.complete) << jpegErrorText(whole.error);
    Decoded twice = decode(claim(tight, 1024, 1024));
    EXPECT_EQ(twice.constructionError, jpegErrorDataTooShort);
    EXPECT_EQ(twice.height, 1024);
    // A small picture of some hundred bytes claiming 11585 x 11585 pixels.
    for (const std::vector<uint8_t>& small : {greyJpeg(16, 16), colourJpeg(16, 16, 2, 2)})
        EXPECT_EQ(decode(claim(small, 11585, 11585)).constructionError, jpegErrorDataTooShort);
}

TEST(JpegDecoder, DamagedHeadersGiveTheirErrorCodes) {
    const std::vector<uint8_t> colour = colourJpeg(32, 32, 2, 2);
    struct Case {
        const char* what;
        int segment;          // the marker whose segment is changed
        int offset;           // from the segment's 0xFF
        uint8_t value;
        int error;
        bool atConstruction;  // else at begin (the writer puts its Huffman tables after the frame)
    };
    const Case cases[] = {
        {"quantisation table index 4", 0xDB, 4, 0x04, jpegErrorBadQuantTableIndex, true},
        {"quantisation segment length 1", 0xDB, 3, 0x01, jpegErrorShortQuantSegment, true},
        {"application segment length 1", 0xE0, 3, 0x01, jpegErrorShortSegment, true},
        {"arithmetic conditioning segment", 0xE0, 1, 0xCC, jpegErrorArithmetic, true},
        {"restart marker outside entropy data", 0xE0, 1, 0xD3, jpegErrorReservedMarker, true},
        {"reserved marker 0x01", 0xE0, 1, 0x01, jpegErrorReservedMarker, true},
        {"reserved marker 0xC8", 0xE0, 1, 0xC8, jpegErrorReservedMarker, true},
        {"arithmetic sequential frame", 0xC0, 1, 0xC9, jpegErrorArithmetic, true},
        {"lossless frame", 0xC0, 1, 0xC3, jpegErrorUnsupportedProcess, true},
        {"arithmetic progressive frame", 0xC0, 1, 0xCA, jpegErrorUnsupportedProcess, true},
        {"hierarchical frame", 0xC0, 1, 0xC5, jpegErrorUnsupportedProcess, true},
        {"12-bit samples", 0xC0, 4, 12, jpegErrorPrecision, true},
        {"zero width", 0xC0, 8, 0, jpegErrorBadFrameHeader, true},
        {"frame length too short", 0xC0, 3, 0x0E, jpegErrorBadFrameHeader, true},
        {"sampling factor 0", 0xC0, 11, 0x02, jpegErrorBadFrameHeader, true},
        {"quantisation table 4 in the frame", 0xC0, 12, 4, jpegErrorBadFrameHeader, true},
        {"two components with one identifier", 0xC0, 13, 1, jpegErrorBadFrameHeader, true},
        {"chroma sampled 2x1", 0xC0, 14, 0x21, jpegErrorSamplingLayout, false},
        {"luma sampled 3x1", 0xC0, 11, 0x31, jpegErrorSamplingLayout, false},
        {"frame uses an undefined quantisation table", 0xC0, 12, 3, jpegErrorMissingTable, false},
        {"Huffman table class 2", 0xC4, 4, 0x20, jpegErrorBadHuffmanTable, false},
        {"Huffman table index 4", 0xC4, 4, 0x04, jpegErrorBadHuffmanTable, false},
        {"Huffman code lengths over-subscribed", 0xC4, 5, 3, jpegErrorBadHuffmanTable, false},
        {"Huffman symbols beyond the segment", 0xC4, 20, 0xFF, jpegErrorBadHuffmanTable, false},
        {"scan of an unknown component", 0xDA, 5, 9, jpegErrorBadScanHeader, false},
        {"scan of five components", 0xDA, 4, 5, jpegErrorBadScanHeader, false},
        {"scan uses an undefined Huffman table", 0xDA, 6, 0x33, jpegErrorMissingTable, false},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = colour;
        long at = jpeg_test::findSegment(bytes, c.segment);
        ASSERT_GE(at, 0) << c.what;
        bytes[size_t(at) + size_t(c.offset)] = c.value;
        Decoded d = decode(bytes);
        EXPECT_EQ(d.error, c.error) << c.what << ": got " << jpegErrorText(d.error);
        EXPECT_EQ(d.constructionError != 0, c.atConstruction) << c.what;
        EXPECT_FALSE(d.complete) << c.what;
    }

    // An end of image before any scan.
    long scan = jpeg_test::findSegment(colour, 0xDA);
    std::vector<uint8_t> noScan(colour.begin(), colour.begin() + scan);
    noScan.insert(noScan.end(), {0xFF, 0xD9});
    EXPECT_EQ(decode(noScan).error, jpegErrorEndBeforeComplete);
    // A second frame header instead of the scan.
    std::vector<uint8_t> twoFrames(colour.begin(), colour.begin() + scan);
    long frame = jpeg_test::findSegment(colour, 0xC0);
    twoFrames.insert(twoFrames.end(), colour.begin() + frame, colour.begin() + frame + 19);
    EXPECT_EQ(decode(twoFrames).error, jpegErrorUnexpectedMarker);
    // A 16-bit precision quantisation table is read as such: the same picture decodes.
    std::vector<uint8_t> wide = colour;
    long dqt = jpeg_test::findSegment(wide, 0xDB);
    std::vector<uint8_t> table(wide.begin() + dqt + 5, wide.begin() + dqt + 69);
    std::vector<uint8_t> segment = {0xFF, 0xDB, 0x00, 131, 0x10};
    for (uint8_t q : table) segment.insert(segment.end(), {0, q});
    wide.erase(wide.begin() + dqt, wide.begin() + dqt + 69);
    wide.insert(wide.begin() + dqt, segment.begin(), segment.end());
    Decoded d16 = decode(wide);
    EXPECT_TRUE(d16.complete) << jpegErrorText(d16.error);
    EXPECT_TRUE(d16.pixels == decode(colour).pixels);
}

TEST(JpegDecoder, CallsOutOfOrderAndAfterAnErrorAnswerMinusOne) {
    std::vector<uint8_t> bytes = greyJpeg(16, 16);
    auto make = [&bytes] {
        unsigned char* copy = static_cast<unsigned char*>(std::malloc(bytes.size()));
        std::memcpy(copy, bytes.data(), bytes.size());
        return new JpegDecoder(new JpegMemorySource(copy, bytes.size(), true), true);
    };
    const uint8_t* row;
    int length;
    JpegDecoder* early = make();
    EXPECT_EQ(early->readRow(&row, &length), -1);
    EXPECT_EQ(early->error(), jpegErrorBadCall);
    EXPECT_EQ(early->begin(), -1);
    delete early;

    JpegDecoder* twice = make();
    EXPECT_EQ(twice->begin(), 0);
    EXPECT_EQ(twice->begin(), -1);
    EXPECT_EQ(twice->readRow(&row, &length), -1);
    delete twice;

    JpegDecoder noSource(nullptr, true);
    EXPECT_NE(noSource.error(), 0);
    EXPECT_EQ(noSource.begin(), -1);
}

// ---- The transforms --------------------------------------------------------------------------

// The 2-D inverse DCT in double precision, level-shifted and clamped.
void referenceTransform(const int16_t* in, uint8_t* out) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double sum = 0;
            for (int v = 0; v < 8; ++v)
                for (int u = 0; u < 8; ++u) {
                    double cu = u ? 1 : M_SQRT1_2, cv = v ? 1 : M_SQRT1_2;
                    sum += cu * cv * in[v * 8 + u] * std::cos((2 * x + 1) * u * M_PI / 16) *
                           std::cos((2 * y + 1) * v * M_PI / 16);
                }
            out[y * 8 + x] = uint8_t(std::clamp(std::lround(sum / 4 + 128), 0L, 255L));
        }
}

// A quantisation table of ones: the blocks below are already dequantised.
alignas(16) const uint16_t unitQuant[64] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                            1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                                            1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};

TEST(JpegTransform, PackedAndPortableAgreeAndStayNearTheExactTransform) {
    uint32_t x = 99;
    auto next = [&x] { return (x = x * 1664525 + 1013904223) >> 8; };
    alignas(16) int16_t block[64];
    int worstAgainstExact = 0;
    for (int round = 0; round < 20000; ++round) {
        // Coefficients as dequantised pictures hold them: a DC term in range, AC terms falling
        // off with frequency, more of them zero the higher the frequency.
        int density = int(next() % 64);
        for (int i = 0; i < 64; ++i) {
            int row = i / 8, column = i % 8;
            bool present = i == 0 || int(next() % 64) < density / (1 + row + column) * 4;
            int range = i == 0 ? 2040 : std::max(1020 >> (row + column) / 3, 8);
            block[i] = present ? int16_t(int(next() % uint32_t(2 * range + 1)) - range) : 0;
        }
        uint8_t packed[64], portable[64], exact[64];
        alignas(16) int16_t laidOut[64];
        for (int i = 0; i < 64; ++i) laidOut[assets::jpeg::coefficientIndex(i / 8, i % 8)] = block[i];
        assets::jpeg::inverseTransformPacked(laidOut, unitQuant, packed, 8);
        assets::jpeg::inverseTransformPortable(laidOut, unitQuant, portable, 8);
        referenceTransform(block, exact);
        ASSERT_EQ(0, std::memcmp(packed, portable, 64)) << "round " << round;
        for (int i = 0; i < 64; ++i) worstAgainstExact = std::max(worstAgainstExact, std::abs(packed[i] - exact[i]));
    }
    EXPECT_LE(worstAgainstExact, 1);
}

TEST(JpegTransform, QuantisationIsAppliedByBothTransforms) {
    alignas(16) int16_t coefficients[64] = {}, dequantised[64] = {};
    alignas(16) uint16_t quant[64];
    for (int i = 0; i < 64; ++i) {
        quant[i] = uint16_t(1 + i % 13);
        coefficients[i] = int16_t((i * 37) % 11 - 5);
        dequantised[i] = int16_t(coefficients[i] * quant[i]);
    }
    uint8_t a[64], b[64], c[64];
    assets::jpeg::inverseTransformPacked(coefficients, quant, a, 8);
    assets::jpeg::inverseTransformPortable(coefficients, quant, b, 8);
    assets::jpeg::inverseTransformPortable(dequantised, unitQuant, c, 8);
    EXPECT_EQ(0, std::memcmp(a, c, 64));
    EXPECT_EQ(0, std::memcmp(b, c, 64));
    // Any single AC term counts.
    for (int i = 1; i < 64; ++i) {
        alignas(16) int16_t one[64] = {};
        one[i] = -1;
        EXPECT_TRUE(assets::jpeg::hasAcTerms(one)) << i;
    }
}

TEST(JpegTransform, DcOnlyBlocksFillAsTheFullTransformWould) {
    alignas(16) int16_t block[64] = {};
    for (int dc = -2048; dc <= 2047; ++dc) {
        block[0] = int16_t(dc);
        uint8_t full[64], filled[64];
        assets::jpeg::inverseTransformPortable(block, unitQuant, full, 8);
        assets::jpeg::fillDcOnlyBlock(dc, filled, 8);
        ASSERT_EQ(0, std::memcmp(full, filled, 64)) << "DC " << dc;
        EXPECT_FALSE(assets::jpeg::hasAcTerms(block));
        assets::jpeg::inverseTransformPacked(block, unitQuant, full, 8);
        ASSERT_EQ(0, std::memcmp(full, filled, 64)) << "DC " << dc << " (packed)";
    }
}

TEST(JpegTransform, PackedColourConversionMatchesTheTablesForEveryChroma) {
    // Every (Cb, Cr) pair with luma values at both ends and in the middle, so that clamping at
    // 0 and 255 is covered; in both chroma widths.
    constexpr int width = 256;
    alignas(16) uint8_t luma0[width + 16], luma1[width + 16], cb[width + 16] = {}, cr[width + 16] = {};
    uint8_t out0[(width + 16) * 4], out1[(width + 16) * 4], ref0[(width + 16) * 4], ref1[(width + 16) * 4];
    for (int x = 0; x < width; ++x) {
        luma0[x] = uint8_t(x);
        luma1[x] = uint8_t(x % 3 == 0 ? 0 : x % 3 == 1 ? 255 : 128);
    }
    for (bool half : {false, true}) {
        for (int crValue = 0; crValue < 256; ++crValue) {
            for (int x = 0; x < width; ++x) {
                cb[x] = uint8_t(x);
                cr[x] = uint8_t(crValue);
            }
            assets::jpeg::convertRows(luma0, luma1, cb, cr, out0, out1, width, half);
            assets::jpeg::convertRowsPortable(luma0, luma1, cb, cr, ref0, ref1, width, half);
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) {
                    ASSERT_EQ(out0[4 * x + c], ref0[4 * x + c]) << "Cr " << crValue << " x " << x << " half " << half;
                    ASSERT_EQ(out1[4 * x + c], ref1[4 * x + c]) << "Cr " << crValue << " x " << x << " half " << half;
                }
        }
    }
    // The tables follow the JFIF equations: pure red in YCbCr comes out as red.
    uint8_t y = 76, blue = 85, red = 255, out[64 * 4];
    alignas(16) uint8_t ly[16] = {y}, lcb[16] = {blue}, lcr[16] = {red};
    assets::jpeg::convertRows(ly, nullptr, lcb, lcr, out, nullptr, 1, false);
    EXPECT_NEAR(out[0], 255, 1);
    EXPECT_NEAR(out[1], 0, 1);
    EXPECT_NEAR(out[2], 0, 1);
}

}  // namespace
