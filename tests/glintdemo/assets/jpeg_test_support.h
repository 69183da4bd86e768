// What the JPEG tests share: a whole-picture decode through the decoder's row interface,
// reference pictures (PPM/PGM), synthetic pictures and the writer's segment layout.
#pragma once

#include "assets/jpeg_decoder.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace jpeg_test {

struct Decoded {
    int constructionError = 0;   // the error code after construction
    int beginResult = 0;
    int error = 0;               // the error code at the end
    int width = 0, height = 0, components = 0, mode = -1;
    int rows = 0;                // rows delivered
    bool complete = false;       // readRow said "no rows remain" after every row
    std::vector<uint8_t> pixels; // packed: 1 byte a pixel for grey, 3 for colour
};

inline Decoded decode(const std::vector<uint8_t>& bytes, bool packed = true) {
    Decoded d;
    // The decoder's source frees its block: hand it a copy from malloc.
    unsigned char* copy = static_cast<unsigned char*>(std::malloc(bytes.size() ? bytes.size() : 1));
    if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
    JpegDecoder decoder(new JpegMemorySource(copy, bytes.size(), true), packed);
    d.constructionError = decoder.error();
    d.width = decoder.width();
    d.height = decoder.height();
    d.components = decoder.components();
    if (d.constructionError) {
        d.error = d.constructionError;
        return d;
    }
    d.beginResult = decoder.begin();
    d.mode = decoder.outputMode();
    if (d.beginResult == 0) {
        int channels = d.components == 1 ? 1 : 3;
        const uint8_t* row;
        int length, result;
        while ((result = decoder.readRow(&row, &length)) == 0) {
            if (length != d.width * decoder.pixelStride()) break;
            for (int x = 0; x < d.width; ++x)
                for (int c = 0; c < channels; ++c) d.pixels.push_back(row[x * decoder.pixelStride() + c]);
            ++d.rows;
        }
        d.complete = result == 1 && d.rows == d.height;
    }
    d.error = decoder.error();
    return d;
}

struct Reference {
    int width = 0, height = 0, channels = 0;
    std::vector<uint8_t> pixels;
};

// Reads a binary PPM (P6) or PGM (P5) with maxval 255; empty on failure.
Reference readPnm(const std::string& path);

// Largest and mean absolute difference of two sample arrays of one size.
struct Closeness {
    int worst = 0;
    double mean = 0;
};
Closeness compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

// A smooth colour picture with some texture (RGB), and grey variants.
std::vector<uint8_t> colourPicture(int width, int height);
std::vector<uint8_t> greyPicture(int width, int height);
// A colour picture whose pixels are grey (R = G = B): its chroma is flat, so sub-sampled
// layouts decode without any chroma error.
std::vector<uint8_t> greyValuedColourPicture(int width, int height);

// Offset of the first marker segment with `code` (the 0xFF byte), walking from the start of
// image; -1 when absent before the start of scan.
long findSegment(const std::vector<uint8_t>& bytes, int code);

}  // namespace jpeg_test
