#include "assets/jpeg_decoder.h"

#include "assets/byte_reader.h"
#include "assets/jpeg_transform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

using assets::ByteReader;

// Zig-zag position to natural (row-major) position.
constexpr uint8_t naturalOrder[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// Zig-zag position to the position in a block as the transforms take it (column-major, see
// assets::jpeg::coefficientIndex); the 16 extra entries keep a run that overshoots inside the
// block.
struct BlockOrder {
    uint8_t index[64 + 16];
    constexpr BlockOrder() : index() {
        for (int k = 0; k < 64; ++k)
            index[k] = uint8_t(assets::jpeg::coefficientIndex(naturalOrder[k] / 8, naturalOrder[k] % 8));
        for (int k = 64; k < 80; ++k) index[k] = 63;
    }
};
constexpr BlockOrder blockOrderTable;
constexpr const uint8_t* blockOrder = blockOrderTable.index;

// The largest picture taken on: 2^27 pixels (e.g. 16384 x 8192).
constexpr uint64_t maxPixels = uint64_t(1) << 27;

inline int extend(int value, int bits) { return value < (1 << (bits - 1)) ? value - (1 << bits) + 1 : value; }


bool isFrameHeader(int marker) {
    return (marker >= 0xC0 && marker <= 0xCF) && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

int divideRoundingUp(int a, int b) { return (a + b - 1) / b; }

bool buildHuffmanTable(JpegDecoder::HuffmanTable& table, const uint8_t* counts, const uint8_t* symbols, int total) {
    table = JpegDecoder::HuffmanTable{};
    std::memcpy(table.symbols, symbols, size_t(total));
    int code = 0, index = 0;
    for (int length = 1; length <= 16; ++length) {
        table.indexOffset[length] = index - code;
        for (int i = 0; i < counts[length - 1]; ++i, ++code, ++index) {
            if (code >= (1 << length)) return false;  // more codes than this length can hold
            if (length <= JpegDecoder::fastBits) {
                int first = code << (JpegDecoder::fastBits - length), last = (code + 1) << (JpegDecoder::fastBits - length);
                for (int f = first; f < last; ++f) table.fastCode[f] = uint16_t(length << 8 | symbols[index]);
            }
        }
        table.maxCode[length] = code << (16 - length);
        code <<= 1;
    }
    table.maxCode[17] = 0x7FFFFFFF;
    // AC coefficients whose code and magnitude bits both fit in the 9 looked-up bits.
    for (int f = 0; f < (1 << JpegDecoder::fastBits); ++f) {
        int length = table.fastCode[f] >> 8;
        if (!length) continue;
        int symbol = table.fastCode[f] & 255, run = symbol >> 4, size = symbol & 15;
        if (size == 0 || length + size > JpegDecoder::fastBits) continue;
        int bits = (f >> (JpegDecoder::fastBits - length - size)) & ((1 << size) - 1);
        table.fastAc[f] = extend(bits, size) * 256 + run * 16 + length + size;
    }
    table.defined = true;
    return true;
}

}  // namespace

const char* jpegErrorText(int code) {
    switch (code) {
    case jpegOk: return "no error";
    case jpegErrorEndOfData: return "data ended inside a header";
    case jpegErrorBadHuffmanTable: return "bad Huffman table";
    case jpegErrorShortQuantSegment: return "quantisation segment too short";
    case jpegErrorBadQuantTableIndex: return "quantisation table index above 3";
    case jpegErrorBadQuantTable: return "quantisation segment shorter than its tables";
    case jpegErrorBadRestartSegment: return "bad restart interval segment";
    case jpegErrorBadFrameHeader: return "bad frame header";
    case jpegErrorPrecision: return "sample precision is not 8 bits";
    case jpegErrorBadScanHeader: return "bad scan header";
    case jpegErrorShortSegment: return "segment length below 2";
    case jpegErrorMissingTable: return "a scan uses an undefined table";
    case jpegErrorTooLarge: return "picture too large";
    case jpegErrorUnexpectedMarker: return "marker out of place";
    case jpegErrorBadProgression: return "bad progressive scan parameters";
    case jpegErrorArithmetic: return "arithmetic coding is not supported";
    case jpegErrorReservedMarker: return "reserved or restart marker outside entropy data";
    case jpegErrorNoStartOfImage: return "no start of image in the first 512 bytes";
    case jpegErrorUnsupportedProcess: return "unsupported coding process";
    case jpegErrorEndBeforeComplete: return "end of image before the picture was complete";
    case jpegErrorDataTooShort: return "the data cannot hold a picture of the stated size";
    case jpegErrorAllocationTable: return "allocation table full";
    case jpegErrorOutOfMemory: return "out of memory";
    case jpegErrorNoFrame: return "no frame header";
    case jpegErrorBadCall: return "call out of order";
    case jpegErrorComponentCount: return "unsupported number of components";
    case jpegErrorSamplingLayout: return "unsupported sampling layout";
    case jpegErrorCorruptData: return "corrupt or truncated entropy-coded data";
    default: return "unknown error";
    }
}

JpegMemorySource::~JpegMemorySource() {
    if (freeWhenDone_) std::free(const_cast<uint8_t*>(data));
}

// ---- Life cycle and memory -------------------------------------------------------------------

JpegDecoder::JpegDecoder(JpegMemorySource* source, bool usePackedTransform)
    : source_(source), usePackedTransform_(usePackedTransform) {
    if (!source_) {
        fail(jpegErrorEndOfData);
    } else if (findStartOfImage()) {
        // Tables and other segments up to the frame header.
        while (!error_) {
            int marker = nextMarker();
            if (marker < 0) break;
            if (isFrameHeader(marker)) {
                const uint8_t* body;
                size_t length;
                if (readSegment(&body, &length)) readFrameHeader(marker, body, length);
                if (!error_ && !dataCanHoldFrame()) fail(jpegErrorDataTooShort);
                break;
            }
            if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
                fail(jpegErrorNoFrame);
                break;
            }
            handleTableOrSkip(marker);
        }
    }
    finishCall(0);
}

JpegDecoder::~JpegDecoder() { releaseAll(); }

int JpegDecoder::finishCall(int result) {
    if (error_) {
        releaseAll();
        return -1;
    }
    return result;
}

void JpegDecoder::releaseAll() {
    for (int i = 0; i < allocationCount_; ++i) std::free(allocations_[i]);
    allocationCount_ = 0;
    for (Component& c : components_) {
        c.coefficients = nullptr;
        c.plane = nullptr;
    }
    outputRows_[0] = outputRows_[1] = nullptr;
    block_ = nullptr;
    delete source_;
    source_ = nullptr;
}

void* JpegDecoder::allocate(size_t bytes) {
    if (allocationCount_ >= maxAllocations) {
        fail(jpegErrorAllocationTable);
        return nullptr;
    }
    // Zeroed, 16-byte aligned (the packed transform loads blocks whole).
    void* p = std::calloc(1, bytes ? bytes : 1);
    if (!p) {
        fail(jpegErrorOutOfMemory);
        return nullptr;
    }
    allocations_[allocationCount_++] = p;
    return p;
}

// ---- Markers and segments --------------------------------------------------------------------

int JpegDecoder::nextByte() {
    if (!source_ || source_->position >= source_->size) return -1;
    return source_->data[source_->position++];
}

bool JpegDecoder::findStartOfImage() {
    int previous = -1;
    for (int count = 0; count < 512; ++count) {
        int byte = nextByte();
        if (byte < 0) break;
        if (previous == 0xFF && byte == 0xD8) return true;
        previous = byte;
    }
    fail(jpegErrorNoStartOfImage);
    return false;
}

// The code of the next marker: skips to a 0xFF, then over fill bytes. A 0xFF 0x00 pair is no
// marker and is skipped like any other stray byte.
int JpegDecoder::nextMarker() {
    for (;;) {
        int byte;
        do {
            byte = nextByte();
        } while (byte >= 0 && byte != 0xFF);
        while (byte == 0xFF) byte = nextByte();
        if (byte < 0) {
            fail(jpegErrorEndOfData);
            return -1;
        }
        if (byte != 0) return byte;
    }
}

bool JpegDecoder::readSegment(const uint8_t** body, size_t* length) {
    int high = nextByte(), low = nextByte();
    if (low < 0) {
        fail(jpegErrorEndOfData);
        return false;
    }
    int declared = high << 8 | low;
    if (declared < 2) {
        fail(jpegErrorShortSegment);
        return false;
    }
    size_t bodyLength = size_t(declared - 2);
    if (bodyLength > source_->size - source_->position) {
        fail(jpegErrorEndOfData);
        return false;
    }
    *body = source_->data + source_->position;
    *length = bodyLength;
    source_->position += bodyLength;
    return true;
}

bool JpegDecoder::handleTableOrSkip(int marker) {
    const uint8_t* body;
    size_t length;
    if (marker == 0xCC) {
        fail(jpegErrorArithmetic);
    } else if (marker == 0x01 || marker == 0xC8 || (marker >= 0xD0 && marker <= 0xD7)) {
        fail(jpegErrorReservedMarker);
    } else if (marker == 0xDB) {
        // Checked apart: a quantisation segment's own code for a short length.
        size_t before = source_->position;
        int high = nextByte(), low = nextByte();
        if (low >= 0 && (high << 8 | low) < 2) {
            fail(jpegErrorShortQuantSegment);
        } else {
            source_->position = before;
            if (readSegment(&body, &length)) readQuantTables(body, length);
        }
    } else if (readSegment(&body, &length)) {
        if (marker == 0xC4) readHuffmanTables(body, length);
        else if (marker == 0xDD) readRestartInterval(body, length);
        // Anything else (application data, comments, ...) is skipped.
    }
    return !error_;
}

void JpegDecoder::readHuffmanTables(const uint8_t* body, size_t length) {
    ByteReader reader(body, length);
    while (reader.remaining() > 0) {
        int classAndIndex = reader.get8();
        int tableClass = classAndIndex >> 4, index = classAndIndex & 15;
        uint8_t counts[16];
        if (tableClass > 1 || index > 3 || !reader.getBytes(counts, 16)) return fail(jpegErrorBadHuffmanTable);
        int total = 0;
        for (uint8_t c : counts) total += c;
        uint8_t symbols[256];
        if (total > 255 || !reader.getBytes(symbols, size_t(total))) return fail(jpegErrorBadHuffmanTable);
        HuffmanTable& table = tableClass ? acTables_[index] : dcTables_[index];
        if (!buildHuffmanTable(table, counts, symbols, total)) return fail(jpegErrorBadHuffmanTable);
    }
}

void JpegDecoder::readQuantTables(const uint8_t* body, size_t length) {
    ByteReader reader(body, length);
    while (reader.remaining() > 0) {
        int precisionAndIndex = reader.get8();
        int precision = precisionAndIndex >> 4, index = precisionAndIndex & 15;
        if (index > 3) return fail(jpegErrorBadQuantTableIndex);
        uint16_t values[64];
        for (uint16_t& value : values) value = precision ? reader.get16be() : reader.get8();
        if (reader.failed()) return fail(jpegErrorBadQuantTable);
        for (int k = 0; k < 64; ++k) quantTables_[index][blockOrder[k]] = values[k];
        quantDefined_[index] = true;
    }
}

void JpegDecoder::readRestartInterval(const uint8_t* body, size_t length) {
    if (length != 2) return fail(jpegErrorBadRestartSegment);
    restartInterval_ = body[0] << 8 | body[1];
}

void JpegDecoder::readFrameHeader(int marker, const uint8_t* body, size_t length) {
    if (marker == 0xC9) return fail(jpegErrorArithmetic);
    if (marker != 0xC0 && marker != 0xC1 && marker != 0xC2) return fail(jpegErrorUnsupportedProcess);
    progressive_ = marker == 0xC2;
    ByteReader reader(body, length);
    int precision = reader.get8();
    height_ = reader.get16be();
    width_ = reader.get16be();
    componentCount_ = reader.get8();
    if (reader.failed() || length != 6 + 3 * size_t(componentCount_)) return fail(jpegErrorBadFrameHeader);
    // 0xC1 also carries 12-bit pictures; only 8-bit samples are decoded.
    if (precision != 8) return fail(jpegErrorPrecision);
    if (width_ == 0 || height_ == 0) return fail(jpegErrorBadFrameHeader);
    if (uint64_t(width_) * uint64_t(height_) > maxPixels) return fail(jpegErrorTooLarge);
    for (int i = 0; i < componentCount_ && i < 4; ++i) {
        Component& c = components_[i];
        c.id = reader.get8();
        int sampling = reader.get8();
        c.h = sampling >> 4;
        c.v = sampling & 15;
        c.quantTable = reader.get8();
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4 || c.quantTable > 3) return fail(jpegErrorBadFrameHeader);
        for (int j = 0; j < i; ++j)
            if (components_[j].id == c.id) return fail(jpegErrorBadFrameHeader);
    }
    // A lone component is one block per MCU whatever its sampling factors say.
    if (componentCount_ == 1) components_[0].h = components_[0].v = 1;
    frameSeen_ = true;
}

// Whether the bytes after the frame header could hold every block it promises. Each block of
// each component takes at least two bits in a sequential picture (a DC difference and an end of
// block, each at least a one-bit code) and at least one bit in the first DC scan of a
// progressive one. Checked before anyone sets memory aside for the picture, so that a short
// file cannot claim a huge one.
bool JpegDecoder::dataCanHoldFrame() const {
    int maxH = 1, maxV = 1;
    for (int i = 0; i < componentCount_ && i < 4; ++i) {
        maxH = std::max(maxH, components_[i].h);
        maxV = std::max(maxV, components_[i].v);
    }
    uint64_t blocks = 0;
    for (int i = 0; i < componentCount_ && i < 4; ++i) {
        const Component& c = components_[i];
        uint64_t wide = uint64_t(divideRoundingUp(divideRoundingUp(width_ * c.h, maxH), 8));
        uint64_t high = uint64_t(divideRoundingUp(divideRoundingUp(height_ * c.v, maxV), 8));
        blocks += wide * high;
    }
    uint64_t bitsNeeded = blocks * (progressive_ ? 1 : 2);
    uint64_t bitsPresent = uint64_t(source_->size - source_->position) * 8;
    return bitsPresent >= bitsNeeded;
}

bool JpegDecoder::readScanHeader(const uint8_t* body, size_t length) {
    ByteReader reader(body, length);
    int count = reader.get8();
    if (count < 1 || count > 4 || length != 4 + 2 * size_t(count)) {
        fail(jpegErrorBadScanHeader);
        return false;
    }
    int blocksPerMcu = 0;
    for (int i = 0; i < count; ++i) {
        int id = reader.get8(), tables = reader.get8();
        int found = -1;
        for (int c = 0; c < std::min(componentCount_, 4); ++c)
            if (components_[c].id == id) found = c;
        for (int j = 0; j < i; ++j)
            if (scanComponents_[j] == found) found = -1;
        if (found < 0 || (tables >> 4) > 3 || (tables & 15) > 3) {
            fail(jpegErrorBadScanHeader);
            return false;
        }
        scanComponents_[i] = found;
        components_[found].dcTable = tables >> 4;
        components_[found].acTable = tables & 15;
        blocksPerMcu += components_[found].h * components_[found].v;
    }
    scanComponentCount_ = count;
    spectralStart_ = reader.get8();
    spectralEnd_ = reader.get8();
    int approximation = reader.get8();
    approximationHigh_ = approximation >> 4;
    approximationLow_ = approximation & 15;
    if (count > 1 && blocksPerMcu > 10) {
        fail(jpegErrorBadScanHeader);
        return false;
    }
    if (progressive_) {
        bool dcScan = spectralStart_ == 0;
        if (spectralStart_ > spectralEnd_ || spectralEnd_ > 63 || (dcScan && spectralEnd_ != 0) ||
            (!dcScan && count != 1) || approximationHigh_ > 13 || approximationLow_ > 13 ||
            (approximationHigh_ != 0 && approximationLow_ != approximationHigh_ - 1)) {
            fail(jpegErrorBadProgression);
            return false;
        }
    }
    // The Huffman tables this scan decodes with must exist.
    for (int i = 0; i < count; ++i) {
        const Component& c = components_[scanComponents_[i]];
        bool needDc = !progressive_ || (spectralStart_ == 0 && approximationHigh_ == 0);
        bool needAc = !progressive_ || spectralStart_ > 0;
        if ((needDc && !dcTables_[c.dcTable].defined) || (needAc && !acTables_[c.acTable].defined)) {
            fail(jpegErrorMissingTable);
            return false;
        }
    }
    return true;
}

// Reads segments up to the next start of scan (true) or the end of image (false, no error).
bool JpegDecoder::readMarkersToScan() {
    while (!error_) {
        int marker = nextMarker();
        if (marker < 0) return false;
        if (marker == 0xDA) {
            const uint8_t* body;
            size_t length;
            return readSegment(&body, &length) && readScanHeader(body, length);
        }
        if (marker == 0xD9) return false;
        if (marker == 0xD8 || isFrameHeader(marker)) {
            fail(jpegErrorUnexpectedMarker);
            return false;
        }
        handleTableOrSkip(marker);
    }
    return false;
}

// ---- Entropy-coded data ----------------------------------------------------------------------

void JpegDecoder::startEntropyData() {
    bits_ = 0;
    bitCount_ = 0;
    paddingBits_ = 0;
    atMarker_ = false;
    endOfBandRun_ = 0;
    restartsLeft_ = restartInterval_;
    nextRestart_ = 0;
    for (Component& c : components_) c.dcPredictor = 0;
}

void JpegDecoder::refill() {
    const uint8_t* data = source_->data;
    size_t position = source_->position, size = source_->size;
    while (bitCount_ <= 56) {
        if (!atMarker_ && size - position >= 8) {
            // Eight bytes at once when none of them is 0xFF (no stuffing, no marker).
            uint64_t word;
            std::memcpy(&word, data + position, 8);
            word = __builtin_bswap64(word);
            uint64_t inverted = ~word;
            if (!((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull)) {
                int bytes = (64 - bitCount_) >> 3;
                uint64_t whole = bytes == 8 ? word : word & ~(~uint64_t(0) >> (8 * bytes));
                bits_ |= whole >> bitCount_;
                bitCount_ += 8 * bytes;
                position += size_t(bytes);
                continue;
            }
        }
        int byte = 0;
        if (atMarker_ || position >= size) {
            paddingBits_ += 8;
        } else {
            byte = data[position];
            if (byte != 0xFF) {
                ++position;
            } else if (position + 1 < size && data[position + 1] == 0) {
                position += 2;
            } else {
                // A marker ends the entropy-coded data; it stays unread for the marker reader.
                atMarker_ = true;
                byte = 0;
                paddingBits_ += 8;
            }
        }
        bits_ |= uint64_t(byte) << (56 - bitCount_);
        bitCount_ += 8;
    }
    source_->position = position;
}

inline int JpegDecoder::getBits(int count) {
    if (bitCount_ < count) refill();
    int value = int(bits_ >> (64 - count));
    bits_ <<= count;
    bitCount_ -= count;
    return value;
}

inline int JpegDecoder::getBit() { return getBits(1); }

inline int JpegDecoder::decodeHuffman(const HuffmanTable& table) {
    if (bitCount_ < 16) refill();
    unsigned index = unsigned(bits_ >> (64 - fastBits));
    int length = table.fastCode[index] >> 8;
    if (length) {
        bits_ <<= length;
        bitCount_ -= length;
        return table.fastCode[index] & 255;
    }
    int32_t code = int32_t(bits_ >> 48);
    length = fastBits + 1;
    while (length <= 16 && code >= table.maxCode[length]) ++length;
    if (length > 16) {
        fail(jpegErrorCorruptData);
        return -1;
    }
    int symbol = table.symbols[((code >> (16 - length)) + table.indexOffset[length]) & 255];
    bits_ <<= length;
    bitCount_ -= length;
    return symbol;
}

// Before each MCU: when a restart interval has passed, the next marker must be the expected
// restart marker; the bit reader and the predictors start afresh after it.
bool JpegDecoder::restartIfDue() {
    if (restartInterval_ == 0) return true;
    if (restartsLeft_ > 0) return true;
    if (paddingConsumed()) {
        fail(jpegErrorCorruptData);
        return false;
    }
    const uint8_t* data = source_->data;
    size_t position = source_->position, size = source_->size;
    int marker = -1;
    while (position + 1 < size) {
        if (data[position] == 0xFF && data[position + 1] != 0 && data[position + 1] != 0xFF) {
            marker = data[position + 1];
            break;
        }
        ++position;
    }
    if (marker != 0xD0 + nextRestart_) {
        fail(jpegErrorCorruptData);
        return false;
    }
    source_->position = position + 2;
    nextRestart_ = (nextRestart_ + 1) & 7;
    bits_ = 0;
    bitCount_ = 0;
    paddingBits_ = 0;
    atMarker_ = false;
    endOfBandRun_ = 0;
    for (Component& c : components_) c.dcPredictor = 0;
    restartsLeft_ = restartInterval_;
    return true;
}

// A Huffman symbol whose code is longer than the looked-up bits, from a bit buffer holding
// at least 16 bits; -1 for a code no table entry has.
int decodeLongSymbol(const JpegDecoder::HuffmanTable& table, uint64_t& bits, int& count) {
    int32_t code = int32_t(bits >> 48);
    int length = JpegDecoder::fastBits + 1;
    while (length <= 16 && code >= table.maxCode[length]) ++length;
    if (length > 16) return -1;
    int symbol = table.symbols[((code >> (16 - length)) + table.indexOffset[length]) & 255];
    bits <<= length;
    count -= length;
    return symbol;
}

// The next Huffman symbol from a bit buffer holding at least 16 bits; -1 for a code no table
// entry has. Works on the caller's copies of the buffer so that they can stay in registers.
inline int decodeSymbol(const JpegDecoder::HuffmanTable& table, uint64_t& bits, int& count) {
    unsigned entry = table.fastCode[bits >> (64 - JpegDecoder::fastBits)];
    if (!entry) return decodeLongSymbol(table, bits, count);
    int length = int(entry >> 8);
    bits <<= length;
    count -= length;
    return int(entry & 255);
}

// `size` (1..16) bits as a signed coefficient value.
inline int takeValue(uint64_t& bits, int& count, int size) {
    int value = int(bits >> (64 - size));
    bits <<= size;
    count -= size;
    return extend(value, size);
}

// Coefficients go to the block as decoded; the transforms apply the quantisation table.
void JpegDecoder::decodeBlock(int16_t* block, Component& component, bool& acPresent) {
    const HuffmanTable& dc = dcTables_[component.dcTable];
    const HuffmanTable& ac = acTables_[component.acTable];
    // Every step below first makes sure of 32 bits: a code (16 at most) and its value (15).
    uint64_t bits = bits_;
    int count = bitCount_;
    const uint8_t* data = source_->data;
    const size_t dataSize = source_->size;
    auto ensure32 = [&] {
        if (count >= 32) return;
        // Whole bytes up to 64 bits straight from the data when none of the next eight is 0xFF.
        size_t position = source_->position;
        if (!atMarker_ && dataSize - position >= 8) {
            uint64_t word;
            std::memcpy(&word, data + position, 8);
            word = __builtin_bswap64(word);
            uint64_t inverted = ~word;
            if (!((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull)) {
                int bytes = (64 - count) >> 3;
                bits |= (bytes == 8 ? word : word & ~(~uint64_t(0) >> (8 * bytes))) >> count;
                count += 8 * bytes;
                source_->position = position + size_t(bytes);
                return;
            }
        }
        bits_ = bits;
        bitCount_ = count;
        refill();
        bits = bits_;
        count = bitCount_;
    };
    auto finish = [&](bool corrupt) {
        bits_ = bits;
        bitCount_ = count;
        if (corrupt) fail(jpegErrorCorruptData);
    };

    ensure32();
    int size = decodeSymbol(dc, bits, count);
    if (size < 0 || size > 15) return finish(true);
    int difference = size ? takeValue(bits, count, size) : 0;
    component.dcPredictor = std::clamp(component.dcPredictor + difference, -32768, 32767);
    block[0] = int16_t(component.dcPredictor);
    bool anyAc = false;
    // A run past the last coefficient lands on the table's spare entries (position 63) and
    // is caught after the loop.
    int k = 1;
    while (k < 64) {
        ensure32();
        // Both lookups at once: a whole coefficient, or else the symbol of a short code.
        unsigned index = unsigned(bits >> (64 - fastBits));
        int32_t fast = ac.fastAc[index];
        unsigned entry = ac.fastCode[index];
        if (fast) {
            int length = fast & 15;
            bits <<= length;
            count -= length;
            k += (fast >> 4) & 15;
            block[blockOrder[k]] = int16_t(fast >> 8);
            anyAc = true;
            ++k;
            continue;
        }
        int symbol;
        if (entry) {
            bits <<= entry >> 8;
            count -= int(entry >> 8);
            symbol = int(entry & 255);
        } else {
            symbol = decodeLongSymbol(ac, bits, count);
            if (symbol < 0) return finish(true);
        }
        int run = symbol >> 4;
        size = symbol & 15;
        if (size == 0) {
            if (run != 15) break;  // end of block
            k += 16;
            continue;
        }
        k += run;
        block[blockOrder[k]] = int16_t(takeValue(bits, count, size));
        anyAc = true;
        ++k;
    }
    acPresent = anyAc;
    finish(k > 64);
}

void JpegDecoder::decodeDcFirst(int16_t* block, Component& component) {
    int size = decodeHuffman(dcTables_[component.dcTable]);
    if (size < 0 || size > 15) return fail(jpegErrorCorruptData);
    int difference = size ? extend(getBits(size), size) : 0;
    component.dcPredictor = std::clamp(component.dcPredictor + difference, -32768, 32767);
    block[0] = int16_t(component.dcPredictor * (1 << approximationLow_));
}

void JpegDecoder::decodeDcRefine(int16_t* block) {
    if (getBit()) block[0] = int16_t(block[0] | (1 << approximationLow_));
}

void JpegDecoder::decodeAcFirst(int16_t* block, const HuffmanTable& table) {
    if (endOfBandRun_ > 0) {
        --endOfBandRun_;
        return;
    }
    int scale = 1 << approximationLow_;
    for (int k = spectralStart_; k <= spectralEnd_;) {
        if (bitCount_ < 16) refill();
        int32_t fast = table.fastAc[bits_ >> (64 - fastBits)];
        if (fast) {
            int length = fast & 15;
            bits_ <<= length;
            bitCount_ -= length;
            k += (fast >> 4) & 15;
            if (k > spectralEnd_) return fail(jpegErrorCorruptData);
            block[blockOrder[k]] = int16_t((fast >> 8) * scale);
            ++k;
            continue;
        }
        int symbol = decodeHuffman(table);
        if (symbol < 0) return;
        int run = symbol >> 4, size = symbol & 15;
        if (size == 0) {
            if (run < 15) {
                endOfBandRun_ = (1 << run) - 1;
                if (run) endOfBandRun_ += getBits(run);
                break;
            }
            k += 16;
            continue;
        }
        k += run;
        if (k > spectralEnd_) return fail(jpegErrorCorruptData);
        block[blockOrder[k]] = int16_t(extend(getBits(size), size) * scale);
        ++k;
    }
}

// Successive approximation of AC coefficients: one more bit of every coefficient already
// nonzero, and new coefficients of magnitude 1 placed among the zero ones.
void JpegDecoder::decodeAcRefine(int16_t* block, const HuffmanTable& table) {
    const int plus = 1 << approximationLow_, minus = -plus;
    auto refineNonzero = [&](int16_t& coefficient) {
        if (getBit() && (coefficient & plus) == 0) coefficient = int16_t(coefficient + (coefficient >= 0 ? plus : minus));
    };
    int k = spectralStart_;
    if (endOfBandRun_ == 0) {
        for (; k <= spectralEnd_; ++k) {
            int symbol = decodeHuffman(table);
            if (symbol < 0) return;
            int run = symbol >> 4, size = symbol & 15;
            int value = 0;
            if (size) {
                if (size != 1) return fail(jpegErrorCorruptData);
                value = getBit() ? plus : minus;
            } else if (run != 15) {
                endOfBandRun_ = 1 << run;
                if (run) endOfBandRun_ += getBits(run);
                break;
            }
            // Skip `run` zero coefficients (refining nonzero ones on the way), then place value.
            for (; k <= spectralEnd_; ++k) {
                int16_t& coefficient = block[blockOrder[k]];
                if (coefficient != 0) {
                    refineNonzero(coefficient);
                } else {
                    if (run == 0) break;
                    --run;
                }
            }
            if (value) {
                if (k > spectralEnd_) return fail(jpegErrorCorruptData);
                block[blockOrder[k]] = int16_t(value);
            }
        }
    }
    if (endOfBandRun_ > 0) {
        for (; k <= spectralEnd_; ++k) {
            int16_t& coefficient = block[blockOrder[k]];
            if (coefficient != 0) refineNonzero(coefficient);
        }
        --endOfBandRun_;
    }
}

// ---- Decoding and output ---------------------------------------------------------------------

int JpegDecoder::begin() {
    if (error_) return -1;
    if (begun_) {
        fail(jpegErrorBadCall);
        return finishCall(-1);
    }
    begun_ = true;
    if (!frameSeen_) {
        fail(jpegErrorNoFrame);
        return finishCall(-1);
    }
    if (componentCount_ == 1) {
        outputMode_ = 0;
    } else if (componentCount_ == 3) {
        const Component& luma = components_[0];
        if (components_[1].h != 1 || components_[1].v != 1 || components_[2].h != 1 || components_[2].v != 1 ||
            luma.h > 2 || luma.v > 2) {
            fail(jpegErrorSamplingLayout);
            return finishCall(-1);
        }
        outputMode_ = luma.h == 1 ? (luma.v == 1 ? 1 : 3) : (luma.v == 1 ? 2 : 4);
    } else {
        fail(jpegErrorComponentCount);
        return finishCall(-1);
    }
    if (!readMarkersToScan()) {
        if (!error_) fail(jpegErrorEndBeforeComplete);
        return finishCall(-1);
    }
    if (!setUpOutput()) return finishCall(-1);
    streamed_ = !progressive_ && scanComponentCount_ == componentCount_;
    if (streamed_) {
        for (int i = 0; i < componentCount_; ++i)
            if (!quantDefined_[components_[i].quantTable]) fail(jpegErrorMissingTable);
        startEntropyData();
    }
    return finishCall(0);
}

bool JpegDecoder::setUpOutput() {
    for (int i = 0; i < componentCount_; ++i) {
        maxH_ = std::max(maxH_, components_[i].h);
        maxV_ = std::max(maxV_, components_[i].v);
    }
    mcuWidth_ = 8 * maxH_;
    mcuHeight_ = 8 * maxV_;
    mcusWide_ = divideRoundingUp(width_, mcuWidth_);
    mcusHigh_ = divideRoundingUp(height_, mcuHeight_);
    bool buffered = progressive_ || scanComponentCount_ != componentCount_;
    for (int i = 0; i < componentCount_; ++i) {
        Component& c = components_[i];
        c.blocksWide = divideRoundingUp(divideRoundingUp(width_ * c.h, maxH_), 8);
        c.blocksHigh = divideRoundingUp(divideRoundingUp(height_ * c.v, maxV_), 8);
        c.bufferBlocksWide = mcusWide_ * c.h;
        c.bufferBlocksHigh = mcusHigh_ * c.v;
        // Rows padded so that the colour conversion may read whole groups of 16 past the end.
        c.planeStride = (c.bufferBlocksWide * 8 + 31) / 32 * 32 + 32;
        c.plane = static_cast<uint8_t*>(allocate(size_t(c.planeStride) * 8 * c.v));
        if (buffered)
            c.coefficients = static_cast<int16_t*>(
                allocate(size_t(c.bufferBlocksWide) * size_t(c.bufferBlocksHigh) * 64 * sizeof(int16_t)));
    }
    bytesPerPixel_ = componentCount_ == 1 ? 1 : 4;
    if (componentCount_ == 3) {
        size_t rowBytes = size_t((width_ + 15) / 16 * 16) * 4 + 64;
        outputRows_[0] = static_cast<uint8_t*>(allocate(rowBytes));
        outputRows_[1] = static_cast<uint8_t*>(allocate(rowBytes));
    }
    block_ = static_cast<int16_t*>(allocate(64 * sizeof(int16_t)));
    return !error_;
}

inline void JpegDecoder::transformBlock(const int16_t* block, const uint16_t* quant, bool acPresent, uint8_t* out,
                                        int stride) {
    if (!acPresent) assets::jpeg::fillDcOnlyBlock(block[0] * quant[0], out, stride);
    else if (usePackedTransform_) assets::jpeg::inverseTransformPacked(block, quant, out, stride);
    else assets::jpeg::inverseTransformPortable(block, quant, out, stride);
}

// One MCU row of the single interleaved sequential scan, decoded and transformed into the planes.
bool JpegDecoder::decodeStreamedMcuRow() {
    for (int mx = 0; mx < mcusWide_; ++mx) {
        if (!restartIfDue()) return false;
        for (int i = 0; i < scanComponentCount_; ++i) {
            Component& c = components_[scanComponents_[i]];
            const uint16_t* quant = quantTables_[c.quantTable];
            for (int by = 0; by < c.v; ++by) {
                for (int bx = 0; bx < c.h; ++bx) {
                    std::memset(block_, 0, 64 * sizeof(int16_t));
                    bool acPresent = false;
                    decodeBlock(block_, c, acPresent);
                    transformBlock(block_, quant, acPresent, c.plane + by * 8 * c.planeStride + (mx * c.h + bx) * 8,
                                   c.planeStride);
                }
            }
        }
        if (error_ || paddingConsumed()) {
            fail(jpegErrorCorruptData);
            return false;
        }
        --restartsLeft_;
    }
    return true;
}

// One scan of a buffered picture into the coefficient buffers.
bool JpegDecoder::decodeBufferedScan() {
    startEntropyData();
    auto decodeUnit = [this](int16_t* block, Component& c) {
        if (!progressive_) {
            bool acPresent;
            decodeBlock(block, c, acPresent);
        } else if (spectralStart_ == 0) {
            if (approximationHigh_ == 0) decodeDcFirst(block, c);
            else decodeDcRefine(block);
        } else {
            if (approximationHigh_ == 0) decodeAcFirst(block, acTables_[c.acTable]);
            else decodeAcRefine(block, acTables_[c.acTable]);
        }
    };
    auto unitDone = [this] {
        if (error_ || paddingConsumed()) {
            fail(jpegErrorCorruptData);
            return false;
        }
        --restartsLeft_;
        return true;
    };
    if (scanComponentCount_ == 1) {
        // Non-interleaved: the component's own blocks in raster order, one per MCU.
        Component& c = components_[scanComponents_[0]];
        for (int by = 0; by < c.blocksHigh; ++by) {
            for (int bx = 0; bx < c.blocksWide; ++bx) {
                if (!restartIfDue()) return false;
                decodeUnit(c.coefficients + (size_t(by) * c.bufferBlocksWide + bx) * 64, c);
                if (!unitDone()) return false;
            }
        }
        return true;
    }
    for (int my = 0; my < mcusHigh_; ++my) {
        for (int mx = 0; mx < mcusWide_; ++mx) {
            if (!restartIfDue()) return false;
            for (int i = 0; i < scanComponentCount_; ++i) {
                Component& c = components_[scanComponents_[i]];
                for (int by = 0; by < c.v; ++by)
                    for (int bx = 0; bx < c.h; ++bx)
                        decodeUnit(c.coefficients + ((size_t(my) * c.v + by) * c.bufferBlocksWide + mx * c.h + bx) * 64, c);
            }
            if (!unitDone()) return false;
        }
    }
    return true;
}

bool JpegDecoder::decodeAllScans() {
    for (;;) {
        if (!decodeBufferedScan()) return false;
        if (!readMarkersToScan()) break;
    }
    if (error_) return false;
    for (int i = 0; i < componentCount_; ++i)
        if (!quantDefined_[components_[i].quantTable]) {
            fail(jpegErrorMissingTable);
            return false;
        }
    return true;
}

// Transforms the blocks of MCU row `mcuRow_` from the coefficient buffers.
void JpegDecoder::transformBufferedMcuRow() {
    for (int i = 0; i < componentCount_; ++i) {
        Component& c = components_[i];
        const uint16_t* quant = quantTables_[c.quantTable];
        for (int by = 0; by < c.v; ++by) {
            const int16_t* row = c.coefficients + (size_t(mcuRow_) * c.v + by) * c.bufferBlocksWide * 64;
            for (int bx = 0; bx < c.bufferBlocksWide; ++bx) {
                const int16_t* block = row + bx * 64;
                transformBlock(block, quant, assets::jpeg::hasAcTerms(block), c.plane + by * 8 * c.planeStride + bx * 8,
                               c.planeStride);
            }
        }
    }
}

int JpegDecoder::readRow(const uint8_t** row, int* length) {
    if (error_) return -1;
    if (!begun_) {
        fail(jpegErrorBadCall);
        return finishCall(-1);
    }
    if (currentRow_ >= height_) return 1;
    if (!streamed_ && !scansDecoded_) {
        if (!decodeAllScans()) return finishCall(-1);
        scansDecoded_ = true;
    }
    int rowInMcu = currentRow_ % mcuHeight_;
    if (rowInMcu == 0) {
        if (streamed_) {
            if (!decodeStreamedMcuRow()) return finishCall(-1);
        } else {
            transformBufferedMcuRow();
        }
        ++mcuRow_;
    }
    const Component& luma = components_[0];
    const uint8_t* lumaRow = luma.plane + rowInMcu * luma.planeStride;
    switch (outputMode_) {
    case 0:
        *row = lumaRow;
        break;
    case 1:
    case 2: {
        const Component &cb = components_[1], &cr = components_[2];
        assets::jpeg::convertRows(lumaRow, nullptr, cb.plane + rowInMcu * cb.planeStride,
                                  cr.plane + rowInMcu * cr.planeStride, outputRows_[0], nullptr, width_,
                                  outputMode_ == 2);
        *row = outputRows_[0];
        break;
    }
    default:
        // Two rows share one chroma row: both are converted at once, the second is handed out
        // by the next call.
        if (rowInMcu % 2 == 0) {
            const Component &cb = components_[1], &cr = components_[2];
            int chromaRow = rowInMcu / 2;
            const uint8_t* secondRow = currentRow_ + 1 < height_ ? lumaRow + luma.planeStride : nullptr;
            assets::jpeg::convertRows(lumaRow, secondRow, cb.plane + chromaRow * cb.planeStride,
                                      cr.plane + chromaRow * cr.planeStride, outputRows_[0], outputRows_[1],
                                      width_, outputMode_ == 4);
            *row = outputRows_[0];
        } else {
            *row = outputRows_[1];
        }
        break;
    }
    *length = width_ * bytesPerPixel_;
    ++currentRow_;
    return 0;
}
