#include "assets/jpeg_transform.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace assets::jpeg {

namespace {

// The 1-D transform of the accurate integer IDCT (Loeffler, Ligtenberg and Moschytz), its odd
// part folded into one linear form per output pair. Constants are cos-based factors in 13-bit
// fixed point (e.g. 4433 = 0.541196100 * 8192).
constexpr int c0541 = 4433, c0765 = 6270, c1847 = 15137;
constexpr int evenA = c0541, evenB = c0541 - c1847, evenC = c0541 + c0765;  // 4433, -10704, 10703
// Odd outputs as sums over in1, in3, in5, in7.
constexpr int odd3[4] = {11363, 9633, 6437, 2260};      // outputs 0 and 7
constexpr int odd2[4] = {9633, -2259, -11362, -6436};   // outputs 1 and 6
constexpr int odd1[4] = {6437, -11362, 2261, 9633};     // outputs 2 and 5
constexpr int odd0[4] = {2260, -6436, 9633, -11363};    // outputs 3 and 4

// One 1-D pass over in[0..7] (in steps of `step`), results before descaling.
template <typename T>
inline void transform1d(const T* in, int step, int64_t* out) {
    int64_t in0 = in[0], in1 = in[step], in2 = in[2 * step], in3 = in[3 * step];
    int64_t in4 = in[4 * step], in5 = in[5 * step], in6 = in[6 * step], in7 = in[7 * step];
    int64_t tmp2 = in2 * evenA + in6 * evenB;
    int64_t tmp3 = in2 * evenC + in6 * evenA;
    int64_t tmp0 = (in0 + in4) * 8192, tmp1 = (in0 - in4) * 8192;
    int64_t tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3, tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    int64_t o3 = in1 * odd3[0] + in3 * odd3[1] + in5 * odd3[2] + in7 * odd3[3];
    int64_t o2 = in1 * odd2[0] + in3 * odd2[1] + in5 * odd2[2] + in7 * odd2[3];
    int64_t o1 = in1 * odd1[0] + in3 * odd1[1] + in5 * odd1[2] + in7 * odd1[3];
    int64_t o0 = in1 * odd0[0] + in3 * odd0[1] + in5 * odd0[2] + in7 * odd0[3];
    out[0] = tmp10 + o3;
    out[7] = tmp10 - o3;
    out[1] = tmp11 + o2;
    out[6] = tmp11 - o2;
    out[2] = tmp12 + o1;
    out[5] = tmp12 - o1;
    out[3] = tmp13 + o0;
    out[4] = tmp13 - o0;
}

inline uint8_t clampSample(int64_t value) { return uint8_t(std::clamp<int64_t>(value, 0, 255)); }

}  // namespace

void inverseTransformPortable(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int stride) {
    // Dequantised, row-major.
    int64_t block[64];
    for (int r = 0; r < 8; ++r)
        for (int c = 0; c < 8; ++c)
            block[r * 8 + c] = int64_t(coefficients[coefficientIndex(r, c)]) * quant[coefficientIndex(r, c)];
    // Rows: results keep 2 extra bits (scaled by 4).
    int64_t rows[64];
    for (int r = 0; r < 8; ++r) {
        const int64_t* in = block + r * 8;
        int64_t* row = rows + r * 8;
        if (!(in[1] | in[2] | in[3] | in[4] | in[5] | in[6] | in[7])) {
            std::fill(row, row + 8, in[0] * 4);
            continue;
        }
        int64_t result[8];
        transform1d(in, 1, result);
        for (int i = 0; i < 8; ++i) row[i] = (result[i] + 1024) >> 11;
    }
    // Columns: 13 bits of the constants, the 2 extra bits and the 8 of the 2-D scale go.
    for (int c = 0; c < 8; ++c) {
        const int64_t* in = rows + c;
        if (!(in[8] | in[16] | in[24] | in[32] | in[40] | in[48] | in[56])) {
            uint8_t value = clampSample(((in[0] + 16) >> 5) + 128);
            for (int r = 0; r < 8; ++r) out[r * stride + c] = value;
            continue;
        }
        int64_t result[8];
        transform1d(in, 8, result);
        for (int r = 0; r < 8; ++r) out[r * stride + c] = clampSample(((result[r] + 131072) >> 18) + 128);
    }
}

void fillDcOnlyBlock(int dc, uint8_t* out, int stride) {
    uint8_t value = clampSample(((int64_t(dc) * 4 + 16) >> 5) + 128);
    uint64_t row = 0x0101010101010101ull * value;
    for (int r = 0; r < 8; ++r) std::memcpy(out + r * stride, &row, 8);
}

bool hasAcTerms(const int16_t* coefficients) {
#ifdef __SSE2__
    const __m128i* v = reinterpret_cast<const __m128i*>(coefficients);
    __m128i any = _mm_or_si128(_mm_or_si128(_mm_or_si128(_mm_srli_si128(_mm_load_si128(v), 2), _mm_load_si128(v + 1)),
                                            _mm_or_si128(_mm_load_si128(v + 2), _mm_load_si128(v + 3))),
                               _mm_or_si128(_mm_or_si128(_mm_load_si128(v + 4), _mm_load_si128(v + 5)),
                                            _mm_or_si128(_mm_load_si128(v + 6), _mm_load_si128(v + 7))));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF;
#else
    for (int i = 1; i < 64; ++i)
        if (coefficients[i]) return true;
    return false;
#endif
}

#ifdef __SSE2__

namespace {

inline __m128i pairConstant(int a, int b) { return _mm_set1_epi32(int32_t(uint32_t(uint16_t(a)) | uint32_t(b) << 16)); }

// 8 x 8 transpose of 16-bit lanes.
inline void transpose(__m128i* v) {
    __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]), a1 = _mm_unpackhi_epi16(v[0], v[1]);
    __m128i a2 = _mm_unpacklo_epi16(v[2], v[3]), a3 = _mm_unpackhi_epi16(v[2], v[3]);
    __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]), a5 = _mm_unpackhi_epi16(v[4], v[5]);
    __m128i a6 = _mm_unpacklo_epi16(v[6], v[7]), a7 = _mm_unpackhi_epi16(v[6], v[7]);
    __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    v[0] = _mm_unpacklo_epi64(b0, b4);
    v[1] = _mm_unpackhi_epi64(b0, b4);
    v[2] = _mm_unpacklo_epi64(b1, b5);
    v[3] = _mm_unpackhi_epi64(b1, b5);
    v[4] = _mm_unpacklo_epi64(b2, b6);
    v[5] = _mm_unpackhi_epi64(b2, b6);
    v[6] = _mm_unpacklo_epi64(b3, b7);
    v[7] = _mm_unpackhi_epi64(b3, b7);
}

// One 1-D pass across the eight registers (lane i of every register belongs to one line),
// with `bias` added before the arithmetic shift by `shift`; results packed back to 16 bits.
template <int shift>
inline void pass(__m128i* v, __m128i bias) {
    const __m128i even26a = pairConstant(evenA, evenB), even26b = pairConstant(evenC, evenA);
    const __m128i even04a = pairConstant(8192, 8192), even04b = pairConstant(8192, -8192);
    const __m128i o3a = pairConstant(odd3[0], odd3[1]), o3b = pairConstant(odd3[2], odd3[3]);
    const __m128i o2a = pairConstant(odd2[0], odd2[1]), o2b = pairConstant(odd2[2], odd2[3]);
    const __m128i o1a = pairConstant(odd1[0], odd1[1]), o1b = pairConstant(odd1[2], odd1[3]);
    const __m128i o0a = pairConstant(odd0[0], odd0[1]), o0b = pairConstant(odd0[2], odd0[3]);

    __m128i out[8];
    for (int half = 0; half < 2; ++half) {
        auto interleave = [half](__m128i a, __m128i b) {
            return half == 0 ? _mm_unpacklo_epi16(a, b) : _mm_unpackhi_epi16(a, b);
        };
        __m128i i26 = interleave(v[2], v[6]), i04 = interleave(v[0], v[4]);
        __m128i i13 = interleave(v[1], v[3]), i57 = interleave(v[5], v[7]);
        __m128i tmp2 = _mm_madd_epi16(i26, even26a), tmp3 = _mm_madd_epi16(i26, even26b);
        __m128i tmp0 = _mm_add_epi32(_mm_madd_epi16(i04, even04a), bias);
        __m128i tmp1 = _mm_add_epi32(_mm_madd_epi16(i04, even04b), bias);
        __m128i tmp10 = _mm_add_epi32(tmp0, tmp3), tmp13 = _mm_sub_epi32(tmp0, tmp3);
        __m128i tmp11 = _mm_add_epi32(tmp1, tmp2), tmp12 = _mm_sub_epi32(tmp1, tmp2);
        __m128i o3 = _mm_add_epi32(_mm_madd_epi16(i13, o3a), _mm_madd_epi16(i57, o3b));
        __m128i o2 = _mm_add_epi32(_mm_madd_epi16(i13, o2a), _mm_madd_epi16(i57, o2b));
        __m128i o1 = _mm_add_epi32(_mm_madd_epi16(i13, o1a), _mm_madd_epi16(i57, o1b));
        __m128i o0 = _mm_add_epi32(_mm_madd_epi16(i13, o0a), _mm_madd_epi16(i57, o0b));
        __m128i r[8] = {
            _mm_add_epi32(tmp10, o3), _mm_add_epi32(tmp11, o2), _mm_add_epi32(tmp12, o1), _mm_add_epi32(tmp13, o0),
            _mm_sub_epi32(tmp13, o0), _mm_sub_epi32(tmp12, o1), _mm_sub_epi32(tmp11, o2), _mm_sub_epi32(tmp10, o3),
        };
        for (int i = 0; i < 8; ++i) {
            __m128i shifted = _mm_srai_epi32(r[i], shift);
            out[i] = half == 0 ? shifted : _mm_packs_epi32(out[i], shifted);
        }
    }
    for (int i = 0; i < 8; ++i) v[i] = out[i];
}

}  // namespace

void inverseTransformPacked(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int stride) {
    // Register c holds column c (lane r: row r): the row pass works across the registers.
    __m128i v[8];
    for (int i = 0; i < 8; ++i)
        v[i] = _mm_mullo_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(coefficients) + i),
                               _mm_load_si128(reinterpret_cast<const __m128i*>(quant) + i));
    pass<11>(v, _mm_set1_epi32(1024));
    transpose(v);
    // Columns, with the level shift of +128 folded into the rounding term.
    pass<18>(v, _mm_set1_epi32(131072 + (128 << 18)));
    for (int r = 0; r < 8; r += 2) {
        __m128i bytes = _mm_packus_epi16(v[r], v[r + 1]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + r * stride), bytes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (r + 1) * stride), _mm_srli_si128(bytes, 8));
    }
}

bool packedTransformAvailable() { return true; }

#else

void inverseTransformPacked(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int stride) {
    inverseTransformPortable(coefficients, quant, out, stride);
}

bool packedTransformAvailable() { return false; }

#endif

ColourTables::ColourTables() {
    for (int i = 0; i < 256; ++i) {
        int x = i - 128;
        crToRed[i] = 91882 * x + 32768;
        cbToBlue[i] = 116130 * x + 32768;
        crToGreen[i] = -46802 * x;
        cbToGreen[i] = -22554 * x + 32768;
    }
}

const ColourTables& colourTables() {
    static const ColourTables tables;
    return tables;
}

namespace {

inline uint8_t clamp255(int value) { return uint8_t(value < 0 ? 0 : value > 255 ? 255 : value); }

}  // namespace

void convertRowsPortable(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb, const uint8_t* cr,
                         uint8_t* out0, uint8_t* out1, int width, bool halfWidthChroma) {
    const ColourTables& t = colourTables();
    for (int x = 0; x < width; ++x) {
        int c = halfWidthChroma ? x >> 1 : x;
        int red = t.crToRed[cr[c]] >> 16;
        int green = (t.cbToGreen[cb[c]] + t.crToGreen[cr[c]]) >> 16;
        int blue = t.cbToBlue[cb[c]] >> 16;
        int y = luma0[x];
        out0[4 * x] = clamp255(y + red);
        out0[4 * x + 1] = clamp255(y + green);
        out0[4 * x + 2] = clamp255(y + blue);
        out0[4 * x + 3] = 0;
        if (luma1) {
            y = luma1[x];
            out1[4 * x] = clamp255(y + red);
            out1[4 * x + 1] = clamp255(y + green);
            out1[4 * x + 2] = clamp255(y + blue);
            out1[4 * x + 3] = 0;
        }
    }
}

namespace {

#ifdef __SSE2__

// The colour terms of eight chroma samples as 16-bit lanes, exactly as the tables give them:
// each 16.16 factor above 1 split into an integer part and a 16-bit fraction.
struct ChromaTerms {
    __m128i red, green, blue;
};

inline ChromaTerms chromaTerms(__m128i cb16, __m128i cr16) {
    const __m128i two = _mm_set1_epi16(2);
    const __m128i redFactor = pairConstant(91882 - 65536, 16384);      // cr + (0.402 cr + 1/2)
    const __m128i blueFactor = pairConstant(116130 - 131072, 16384);   // 2 cb - (0.228 cb - 1/2)
    const __m128i greenFactor = pairConstant(-22554, 65536 - 46802);   // -cr + (-0.344 cb + 0.286 cr)
    const __m128i half = _mm_set1_epi32(32768);
    auto combine = [](__m128i lo, __m128i hi) { return _mm_packs_epi32(_mm_srai_epi32(lo, 16), _mm_srai_epi32(hi, 16)); };
    ChromaTerms t;
    t.red = _mm_add_epi16(cr16, combine(_mm_madd_epi16(_mm_unpacklo_epi16(cr16, two), redFactor),
                                        _mm_madd_epi16(_mm_unpackhi_epi16(cr16, two), redFactor)));
    t.blue = _mm_add_epi16(_mm_add_epi16(cb16, cb16),
                           combine(_mm_madd_epi16(_mm_unpacklo_epi16(cb16, two), blueFactor),
                                   _mm_madd_epi16(_mm_unpackhi_epi16(cb16, two), blueFactor)));
    t.green = _mm_sub_epi16(
        combine(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cb16, cr16), greenFactor), half),
                _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cb16, cr16), greenFactor), half)),
        cr16);
    return t;
}

// Sixteen pixels of one luma row with their sixteen colour terms (low and high halves).
inline void storePixels(const uint8_t* luma, const ChromaTerms& lo, const ChromaTerms& hi, uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma));
    __m128i yLo = _mm_unpacklo_epi8(y, zero), yHi = _mm_unpackhi_epi8(y, zero);
    __m128i red = _mm_packus_epi16(_mm_add_epi16(yLo, lo.red), _mm_add_epi16(yHi, hi.red));
    __m128i green = _mm_packus_epi16(_mm_add_epi16(yLo, lo.green), _mm_add_epi16(yHi, hi.green));
    __m128i blue = _mm_packus_epi16(_mm_add_epi16(yLo, lo.blue), _mm_add_epi16(yHi, hi.blue));
    __m128i rgLo = _mm_unpacklo_epi8(red, green), rgHi = _mm_unpackhi_epi8(red, green);
    __m128i bxLo = _mm_unpacklo_epi8(blue, zero), bxHi = _mm_unpackhi_epi8(blue, zero);
    __m128i* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o, _mm_unpacklo_epi16(rgLo, bxLo));
    _mm_storeu_si128(o + 1, _mm_unpackhi_epi16(rgLo, bxLo));
    _mm_storeu_si128(o + 2, _mm_unpacklo_epi16(rgHi, bxHi));
    _mm_storeu_si128(o + 3, _mm_unpackhi_epi16(rgHi, bxHi));
}

inline __m128i loadChroma8(const uint8_t* p) {
    const __m128i bias = _mm_set1_epi16(128);
    return _mm_sub_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128()), bias);
}

inline ChromaTerms duplicateLow(const ChromaTerms& t) {
    return {_mm_unpacklo_epi16(t.red, t.red), _mm_unpacklo_epi16(t.green, t.green), _mm_unpacklo_epi16(t.blue, t.blue)};
}
inline ChromaTerms duplicateHigh(const ChromaTerms& t) {
    return {_mm_unpackhi_epi16(t.red, t.red), _mm_unpackhi_epi16(t.green, t.green), _mm_unpackhi_epi16(t.blue, t.blue)};
}

#endif

}  // namespace

void convertRows(const uint8_t* luma0, const uint8_t* luma1, const uint8_t* cb, const uint8_t* cr,
                 uint8_t* out0, uint8_t* out1, int width, bool halfWidthChroma) {
#ifdef __SSE2__
    for (int x = 0; x < width; x += 16) {
        ChromaTerms lo, hi;
        if (halfWidthChroma) {
            ChromaTerms t = chromaTerms(loadChroma8(cb + x / 2), loadChroma8(cr + x / 2));
            lo = duplicateLow(t);
            hi = duplicateHigh(t);
        } else {
            lo = chromaTerms(loadChroma8(cb + x), loadChroma8(cr + x));
            hi = chromaTerms(loadChroma8(cb + x + 8), loadChroma8(cr + x + 8));
        }
        storePixels(luma0 + x, lo, hi, out0 + 4 * x);
        if (luma1) storePixels(luma1 + x, lo, hi, out1 + 4 * x);
    }
#else
    convertRowsPortable(luma0, luma1, cb, cr, out0, out1, width, halfWidthChroma);
#endif
}

}  // namespace assets::jpeg
