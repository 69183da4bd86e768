// The pixel work of the JPEG decoder: the inverse DCT of one 8 x 8 block and the YCbCr to RGB
// conversion of decoded rows. Two transforms compute the same integer IDCT (13-bit constants,
// 2 extra bits between the row and column passes): a portable one, and one on the processor's
// packed 16-bit multiply-add arithmetic where it has one (SSE2). They give identical pixels
// for every block of a valid picture.
#pragma once

#include <cstdint>

namespace assets::jpeg {

// Where coefficient (row, column) of a block sits: blocks and quantisation tables are kept
// column-major, so that the packed transform loads the columns of its first (row) pass whole.
constexpr int coefficientIndex(int row, int column) { return column * 8 + row; }

// Coefficients as decoded and their quantisation table, both laid out by coefficientIndex and
// 16-byte aligned; `out` receives 8 rows of 8 samples, `stride` bytes apart, level-shifted and
// clamped to 0..255. (Dequantised values of valid pictures fit in 16 bits; the packed
// transform keeps the low 16 bits of larger ones.)
void inverseTransformPortable(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int stride);
void inverseTransformPacked(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int stride);
// Whether inverseTransformPacked has a packed implementation on this processor (else it is
// the portable transform).
bool packedTransformAvailable();
// A block whose only nonzero coefficient is the DC term (`dc`, dequantised): every sample
// is the same.
void fillDcOnlyBlock(int dc, uint8_t* out, int stride);
// Whether any of the 63 AC coefficients of a block (16-byte aligned) is nonzero.
bool hasAcTerms(const int16_t* coefficients);

// The colour tables: Cr to red, Cb to blue, Cr to green and Cb to green in 16.16 fixed point
// (the JFIF equations), each with the rounding half of the final shift folded in.
struct ColourTables {
    int32_t crToRed[256], cbToBlue[256], crToGreen[256], cbToGreen[256];
    ColourTables();
};
const ColourTables& colourTables();

// Converts one or two rows of luma (`luma1` may be null) sharing one row of chroma into RGBX
// (4 bytes a pixel, the last unused). With `halfWidthChroma` each chroma sample covers two
// pixels. May read and write up to 15 pixels past `width`: buffers are padded for it.
void convertRows(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb, const uint8_t* cr,
                 uint8_t* out0, uint8_t* out1, int width, bool halfWidthChroma);
// The same, one pixel at a time through the tables.
void convertRowsPortable(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb, const uint8_t* cr,
                         uint8_t* out0, uint8_t* out1, int width, bool halfWidthChroma);

}  // namespace assets::jpeg
