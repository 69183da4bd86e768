#include "jpeg_writer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace content {

namespace {

constexpr int zigzagToNatural[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// The example tables of the JPEG standard (Annex K), natural order.
constexpr int lumaQuant[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                               14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                               18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                               49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr int chromaQuant[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                                 24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                                 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                                 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// The example Huffman tables of the JPEG standard (Annex K.3): code counts by length 1 to 16,
// then the symbols in code order.
constexpr uint8_t standardDcLumaCounts[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t standardDcChromaCounts[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t standardDcSymbols[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t standardAcLumaCounts[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D};
constexpr uint8_t standardAcLumaSymbols[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1, 0x15, 0x52, 0xD1, 0xF0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0A, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3,
    0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3,
    0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE1, 0xE2,
    0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA};
constexpr uint8_t standardAcChromaCounts[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr uint8_t standardAcChromaSymbols[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
    0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xA1, 0xB1, 0xC1, 0x09, 0x23, 0x33, 0x52, 0xF0, 0x15, 0x62, 0x72, 0xD1,
    0x0A, 0x16, 0x24, 0x34, 0xE1, 0x25, 0xF1, 0x17, 0x18, 0x19, 0x1A, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
    0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A,
    0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA,
    0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA,
    0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA};

using Block = std::array<int16_t, 64>;  // quantised coefficients, natural order

struct Plane {
    int width = 0, height = 0;  // padded to whole blocks of the MCU grid
    std::vector<float> samples;
    float at(int x, int y) const { return samples[size_t(y) * width + x]; }
};

// Canonical Huffman table built from symbol frequencies, code lengths limited to 16 and no
// code of all one bits (the standard's procedure).
struct HuffmanCode {
    uint8_t counts[16] = {};
    std::vector<uint8_t> symbols;
    uint16_t code[256] = {};
    uint8_t length[256] = {};

    // A given table: counts of codes by length and the symbols in code order.
    HuffmanCode(const uint8_t (&lengthCounts)[16], const uint8_t* codeSymbols, size_t symbolCount)
        : symbols(codeSymbols, codeSymbols + symbolCount) {
        std::copy(lengthCounts, lengthCounts + 16, counts);
        assignCodes();
    }

    explicit HuffmanCode(std::array<long, 256> frequency) {
        std::array<long, 257> freq{};
        std::copy(frequency.begin(), frequency.end(), freq.begin());
        freq[256] = 1;  // reserved so that no real code is all ones
        std::array<int, 257> codeSize{}, others;
        others.fill(-1);
        for (;;) {
            int c1 = -1, c2 = -1;
            long v1 = 0, v2 = 0;
            for (int i = 0; i <= 256; ++i) {
                if (freq[i] == 0) continue;
                if (c1 < 0 || freq[i] <= v1) {
                    c2 = c1, v2 = v1;
                    c1 = i, v1 = freq[i];
                } else if (c2 < 0 || freq[i] <= v2) {
                    c2 = i, v2 = freq[i];
                }
            }
            if (c2 < 0) break;
            freq[c1] += freq[c2];
            freq[c2] = 0;
            ++codeSize[c1];
            while (others[c1] >= 0) ++codeSize[c1 = others[c1]];
            others[c1] = c2;
            ++codeSize[c2];
            while (others[c2] >= 0) ++codeSize[c2 = others[c2]];
        }
        std::array<int, 33> bits{};
        for (int i = 0; i <= 256; ++i)
            if (codeSize[i]) ++bits[std::min(codeSize[i], 32)];
        for (int i = 32; i > 16; --i) {
            while (bits[i] > 0) {
                int j = i - 2;
                while (bits[j] == 0) --j;
                bits[i] -= 2;
                ++bits[i - 1];
                bits[j + 1] += 2;
                --bits[j];
            }
        }
        int last = 16;
        while (bits[last] == 0) --last;
        --bits[last];  // the reserved symbol goes
        for (int l = 1; l <= 32; ++l)
            for (int s = 0; s < 256; ++s)
                if (codeSize[s] == l) symbols.push_back(uint8_t(s));
        for (int l = 1; l <= 16; ++l) counts[l - 1] = uint8_t(bits[l]);
        assignCodes();
    }

private:
    // Canonical codes in length order, as a decoder rebuilds them from counts and symbols.
    void assignCodes() {
        int c = 0;
        size_t k = 0;
        for (int l = 1; l <= 16; ++l) {
            for (int i = 0; i < counts[l - 1]; ++i, ++k) {
                code[symbols[k]] = uint16_t(c++);
                length[symbols[k]] = uint8_t(l);
            }
            c <<= 1;
        }
        symbols.resize(k);
    }
};

int magnitudeBits(int value) {
    int bits = 0;
    for (int v = std::abs(value); v; v >>= 1) ++bits;
    return bits;
}

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
    void put(uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            current_ = uint8_t(current_ << 1 | ((value >> i) & 1));
            if (++filled_ == 8) flushByte();
        }
    }
    // Pads the last byte with one bits.
    void align() {
        while (filled_) put(1, 1);
    }

private:
    void flushByte() {
        out_.push_back(current_);
        if (current_ == 0xFF) out_.push_back(0);
        current_ = 0;
        filled_ = 0;
    }
    std::vector<uint8_t>& out_;
    uint8_t current_ = 0;
    int filled_ = 0;
};

void forwardTransform(const Plane& plane, int bx, int by, const int* quant, Block& out) {
    static float cosines[8][8];
    static bool ready = false;
    if (!ready) {
        for (int x = 0; x < 8; ++x)
            for (int u = 0; u < 8; ++u) cosines[x][u] = float(std::cos((2 * x + 1) * u * M_PI / 16));
        ready = true;
    }
    float samples[8][8];
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) samples[y][x] = plane.at(bx * 8 + x, by * 8 + y) - 128.0f;
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) sum += samples[y][x] * cosines[x][u] * cosines[y][v];
            double cu = u ? 1 : M_SQRT1_2, cv = v ? 1 : M_SQRT1_2;
            double coefficient = 0.25 * cu * cv * sum;
            out[v * 8 + u] = int16_t(std::lround(coefficient / quant[v * 8 + u]));
        }
    }
}

void putSegment(std::vector<uint8_t>& out, int marker, const std::vector<uint8_t>& body) {
    out.push_back(0xFF);
    out.push_back(uint8_t(marker));
    out.push_back(uint8_t((body.size() + 2) >> 8));
    out.push_back(uint8_t(body.size() + 2));
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

std::vector<uint8_t> writeJpeg(const uint8_t* pixels, int width, int height, int channels,
                               const JpegWriterOptions& options) {
    if (width < 1 || height < 1 || width > 65535 || height > 65535 || (channels != 1 && channels != 3))
        throw std::invalid_argument("writeJpeg: unsupported picture");
    const int componentCount = channels;
    const int lumaH = componentCount == 1 ? 1 : options.lumaH, lumaV = componentCount == 1 ? 1 : options.lumaV;
    if (lumaH < 1 || lumaH > 2 || lumaV < 1 || lumaV > 2) throw std::invalid_argument("writeJpeg: sampling");
    const int mcuWidth = 8 * lumaH, mcuHeight = 8 * lumaV;
    const int mcusWide = (width + mcuWidth - 1) / mcuWidth, mcusHigh = (height + mcuHeight - 1) / mcuHeight;

    // Quantisation tables scaled by quality as the IJG encoder does.
    int quality = std::clamp(options.quality, 1, 100);
    int scale = quality < 50 ? 5000 / quality : 200 - quality * 2;
    int quant[2][64];
    for (int i = 0; i < 64; ++i) {
        quant[0][i] = std::clamp((lumaQuant[i] * scale + 50) / 100, 1, 255);
        quant[1][i] = std::clamp((chromaQuant[i] * scale + 50) / 100, 1, 255);
    }

    // Component planes over the padded MCU grid; edges repeat the last row and column.
    Plane planes[3];
    int sampling[3][2] = {{lumaH, lumaV}, {1, 1}, {1, 1}};
    for (int c = 0; c < componentCount; ++c) {
        Plane& p = planes[c];
        p.width = mcusWide * 8 * sampling[c][0];
        p.height = mcusHigh * 8 * sampling[c][1];
        p.samples.resize(size_t(p.width) * p.height);
        int stepX = lumaH / sampling[c][0], stepY = lumaV / sampling[c][1];
        for (int y = 0; y < p.height; ++y) {
            for (int x = 0; x < p.width; ++x) {
                float sum = 0;
                for (int dy = 0; dy < stepY; ++dy) {
                    for (int dx = 0; dx < stepX; ++dx) {
                        int px = std::min(x * stepX + dx, width - 1), py = std::min(y * stepY + dy, height - 1);
                        const uint8_t* s = pixels + (size_t(py) * width + px) * channels;
                        float value;
                        if (componentCount == 1) value = s[0];
                        else if (c == 0) value = 0.299f * s[0] + 0.587f * s[1] + 0.114f * s[2];
                        else if (c == 1) value = -0.168736f * s[0] - 0.331264f * s[1] + 0.5f * s[2] + 128;
                        else value = 0.5f * s[0] - 0.418688f * s[1] - 0.081312f * s[2] + 128;
                        sum += value;
                    }
                }
                p.samples[size_t(y) * p.width + x] = std::clamp(sum / float(stepX * stepY), 0.0f, 255.0f);
            }
        }
    }

    // Every block in coding order, with the component it belongs to.
    struct CodedBlock {
        int component;
        Block coefficients;
    };
    std::vector<CodedBlock> blocks;
    for (int my = 0; my < mcusHigh; ++my)
        for (int mx = 0; mx < mcusWide; ++mx)
            for (int c = 0; c < componentCount; ++c)
                for (int by = 0; by < sampling[c][1]; ++by)
                    for (int bx = 0; bx < sampling[c][0]; ++bx) {
                        CodedBlock b{c, {}};
                        forwardTransform(planes[c], mx * sampling[c][0] + bx, my * sampling[c][1] + by,
                                         quant[c == 0 ? 0 : 1], b.coefficients);
                        blocks.push_back(b);
                    }

    // Two passes over the blocks: symbol statistics, then the coded data.
    const int blocksPerMcu = componentCount == 1 ? 1 : lumaH * lumaV + 2;
    auto codeBlocks = [&](auto&& dcSymbol, auto&& acSymbol, auto&& restart) {
        int predictors[3] = {};
        for (size_t i = 0; i < blocks.size(); ++i) {
            size_t mcu = i / size_t(blocksPerMcu);
            if (i % blocksPerMcu == 0 && mcu > 0 && options.restartInterval > 0 && mcu % options.restartInterval == 0) {
                restart(int((mcu / options.restartInterval - 1) & 7));
                predictors[0] = predictors[1] = predictors[2] = 0;
            }
            const CodedBlock& b = blocks[i];
            int table = b.component == 0 ? 0 : 1;
            int difference = b.coefficients[0] - predictors[b.component];
            predictors[b.component] = b.coefficients[0];
            dcSymbol(table, difference);
            int run = 0;
            for (int k = 1; k < 64; ++k) {
                int value = b.coefficients[zigzagToNatural[k]];
                if (value == 0) {
                    ++run;
                    continue;
                }
                while (run > 15) {
                    acSymbol(table, 0xF0, 0);
                    run -= 16;
                }
                acSymbol(table, (run << 4) | magnitudeBits(value), value);
                run = 0;
            }
            if (run > 0) acSymbol(table, 0x00, 0);
        }
    };
    std::array<long, 256> dcFrequency[2] = {}, acFrequency[2] = {};
    codeBlocks([&](int t, int d) { ++dcFrequency[t][magnitudeBits(d)]; },
               [&](int t, int symbol, int) { ++acFrequency[t][symbol]; }, [](int) {});
    const int tableCount = componentCount == 1 ? 1 : 2;
    std::vector<HuffmanCode> dcCodes, acCodes;
    for (int t = 0; t < tableCount; ++t) {
        if (options.standardTables) {
            dcCodes.emplace_back(t == 0 ? standardDcLumaCounts : standardDcChromaCounts, standardDcSymbols, 12);
            acCodes.emplace_back(t == 0 ? standardAcLumaCounts : standardAcChromaCounts,
                                 t == 0 ? standardAcLumaSymbols : standardAcChromaSymbols, 162);
        } else {
            dcCodes.emplace_back(dcFrequency[t]);
            acCodes.emplace_back(acFrequency[t]);
        }
    }

    std::vector<uint8_t> out = {0xFF, 0xD8};
    putSegment(out, 0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    for (int t = 0; t < tableCount; ++t) {
        std::vector<uint8_t> body = {uint8_t(t)};
        for (int k = 0; k < 64; ++k) body.push_back(uint8_t(quant[t][zigzagToNatural[k]]));
        putSegment(out, 0xDB, body);
    }
    std::vector<uint8_t> frame = {8, uint8_t(height >> 8), uint8_t(height), uint8_t(width >> 8), uint8_t(width),
                                  uint8_t(componentCount)};
    for (int c = 0; c < componentCount; ++c) {
        frame.push_back(uint8_t(c + 1));
        frame.push_back(uint8_t(sampling[c][0] << 4 | sampling[c][1]));
        frame.push_back(uint8_t(c == 0 ? 0 : 1));
    }
    putSegment(out, 0xC0, frame);
    for (int t = 0; t < tableCount; ++t) {
        for (int cls = 0; cls < 2; ++cls) {
            const HuffmanCode& code = cls == 0 ? dcCodes[t] : acCodes[t];
            std::vector<uint8_t> body = {uint8_t(cls << 4 | t)};
            body.insert(body.end(), code.counts, code.counts + 16);
            body.insert(body.end(), code.symbols.begin(), code.symbols.end());
            putSegment(out, 0xC4, body);
        }
    }
    if (options.restartInterval > 0)
        putSegment(out, 0xDD, {uint8_t(options.restartInterval >> 8), uint8_t(options.restartInterval)});
    std::vector<uint8_t> scan = {uint8_t(componentCount)};
    for (int c = 0; c < componentCount; ++c) {
        scan.push_back(uint8_t(c + 1));
        scan.push_back(uint8_t(c == 0 ? 0x00 : 0x11));
    }
    scan.insert(scan.end(), {0, 63, 0});
    putSegment(out, 0xDA, scan);

    BitWriter writer(out);
    auto putValue = [&](int value, int bits) {
        if (bits) writer.put(uint32_t(value < 0 ? value + (1 << bits) - 1 : value), bits);
    };
    codeBlocks(
        [&](int t, int d) {
            int bits = magnitudeBits(d);
            writer.put(dcCodes[t].code[bits], dcCodes[t].length[bits]);
            putValue(d, bits);
        },
        [&](int t, int symbol, int value) {
            writer.put(acCodes[t].code[symbol], acCodes[t].length[symbol]);
            putValue(value, symbol & 15);
        },
        [&](int index) {
            writer.align();
            out.push_back(0xFF);
            out.push_back(uint8_t(0xD0 + index));
        });
    writer.align();
    out.push_back(0xFF);
    out.push_back(0xD9);
    return out;
}

}  // namespace content
