// A baseline JPEG writer (JFIF, 8-bit, Huffman tables made for each picture) for tests and the
// sample content: grey or YCbCr pictures, luma sampled 1x1, 2x1, 1x2 or 2x2 against the
// chroma, optional restart intervals, optionally the standard's example Huffman tables.
#pragma once

#include <cstdint>
#include <vector>

namespace content {

struct JpegWriterOptions {
    int quality = 90;           // 1..100, scales the example tables of the JPEG standard
    int lumaH = 2, lumaV = 2;   // colour pictures: luma sampling factors (chroma is 1x1)
    int restartInterval = 0;    // MCUs between restart markers, 0 for none
    // The example Huffman tables of the JPEG standard, as most encoders use them, instead of
    // tables made for the picture: their rarer symbols have codes of 11 to 16 bits.
    bool standardTables = false;
};

// `pixels`: width x height samples of `channels` bytes (1 grey, 3 RGB), rows top first.
std::vector<uint8_t> writeJpeg(const uint8_t* pixels, int width, int height, int channels,
                               const JpegWriterOptions& options);

}  // namespace content
