// The JPEG decoder of the picture loader: Huffman-coded sequential and progressive pictures
// with 8-bit samples (JFIF YCbCr or grey), decoded row by row on demand. Anything else fails
// with a negative error code; after an error every call returns -1.
//
// Use: construct over a source (the header is read then; check error()), read width(),
// height() and components(), call begin(), then readRow() until it returns 1.
#pragma once

#include <cstddef>
#include <cstdint>

// Error codes (0 = none). The loader treats every nonzero code alike; tools print them.
enum JpegError : int {
    jpegOk = 0,
    jpegErrorEndOfData = -201,          // the data ended inside a header or between segments
    jpegErrorBadHuffmanTable = -202,
    jpegErrorShortQuantSegment = -203,
    jpegErrorBadQuantTableIndex = -204,
    jpegErrorBadQuantTable = -205,      // the segment is shorter than the tables it declares
    jpegErrorBadRestartSegment = -206,
    jpegErrorBadFrameHeader = -207,     // lengths, zero width or height, sampling factors
    jpegErrorPrecision = -208,          // sample precision other than 8 bits
    jpegErrorBadScanHeader = -209,
    jpegErrorShortSegment = -210,
    jpegErrorMissingTable = -211,       // a scan uses a Huffman or quantisation table never defined
    jpegErrorTooLarge = -212,           // more pixels than the decoder takes on
    jpegErrorUnexpectedMarker = -213,   // a marker out of place (second frame, scan before frame, ...)
    jpegErrorBadProgression = -214,     // spectral selection or successive approximation out of range
    jpegErrorArithmetic = -215,
    jpegErrorReservedMarker = -216,     // 0x01, 0xC8 or a restart marker outside entropy data
    jpegErrorNoStartOfImage = -217,
    jpegErrorUnsupportedProcess = -218,
    jpegErrorEndBeforeComplete = -219,  // end of image before every row could be decoded
    jpegErrorDataTooShort = -220,       // the data cannot hold the blocks the frame header promises
    jpegErrorAllocationTable = -221,
    jpegErrorOutOfMemory = -222,
    jpegErrorNoFrame = -223,
    jpegErrorBadCall = -224,            // begin twice, readRow before begin
    jpegErrorComponentCount = -225,
    jpegErrorSamplingLayout = -226,
    jpegErrorCorruptData = -227,        // corrupt or truncated entropy-coded data
};

// Short text for an error code, for tools and tests.
const char* jpegErrorText(int code);

// The bytes a decoder reads: a block in memory and a read position from 0. With
// `freeWhenDone` the block came from malloc and goes with the source.
class JpegMemorySource {
public:
    JpegMemorySource(const void* data, size_t size, bool freeWhenDone = false)
        : data(static_cast<const uint8_t*>(data)), size(size), freeWhenDone_(freeWhenDone) {}
    ~JpegMemorySource();
    JpegMemorySource(const JpegMemorySource&) = delete;
    JpegMemorySource& operator=(const JpegMemorySource&) = delete;

    const uint8_t* data;
    size_t size;
    size_t position = 0;

private:
    bool freeWhenDone_;
};

class JpegDecoder {
public:
    // Takes ownership of `source`. With `usePackedTransform` blocks are transformed on the
    // processor's packed arithmetic where it has some (the picture loader asks for it).
    JpegDecoder(JpegMemorySource* source, bool usePackedTransform);
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    int error() const { return error_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int components() const { return componentCount_; }
    bool progressive() const { return progressive_; }

    // Prepares decoding: output mode, buffers, colour tables, the first scan. 0 or -1.
    int begin();
    // The next row: `row` points at its first pixel, `length` is its size in bytes. Returns 0
    // when a row was delivered, 1 when no rows remain, -1 after an error.
    int readRow(const uint8_t** row, int* length);
    // Bytes from one pixel of a row to the next: 1 for grey, 4 for colour (red, green, blue,
    // one unused byte).
    int pixelStride() const { return bytesPerPixel_; }
    // 0 grey; 1 to 4: colour with luma sampled 1x1, 2x1, 1x2 or 2x2 against the chroma.
    int outputMode() const { return outputMode_; }

    // Geometry of a component as the frame declares it.
    struct Component {
        int id = 0, h = 1, v = 1, quantTable = 0;
        int dcTable = 0, acTable = 0;     // of the current scan
        int dcPredictor = 0;
        int blocksWide = 0, blocksHigh = 0;    // blocks that cover the component (non-interleaved scans)
        int bufferBlocksWide = 0, bufferBlocksHigh = 0;  // blocks the MCU grid covers
        int16_t* coefficients = nullptr;  // whole-picture buffer (progressive and multi-scan pictures)
        uint8_t* plane = nullptr;         // samples of one MCU row
        int planeStride = 0;
    };

    // Bits looked up at once in the Huffman tables.
    static constexpr int fastBits = 10;

    struct HuffmanTable {
        bool defined = false;
        uint16_t fastCode[1 << fastBits];   // for the next fastBits bits: length << 8 | symbol, 0 when longer
        int32_t fastAc[1 << fastBits];      // AC: (value << 8) | (run << 4) | total length, 0 if not quick
        int32_t maxCode[18];         // per length, the first code (left-justified to 16 bits) not of it
        int32_t indexOffset[17];     // symbol index = code - firstCode + offset, folded together
        uint8_t symbols[256];
    };

private:
    // Errors: the first code is kept; memory and the source go when the public call returns.
    void fail(int code) {
        if (!error_) error_ = code;
    }
    int finishCall(int result);
    void releaseAll();
    void* allocate(size_t bytes);

    // Markers and segments.
    int nextByte();
    bool findStartOfImage();
    int nextMarker();
    bool readSegment(const uint8_t** body, size_t* length);
    bool handleTableOrSkip(int marker);
    void readHuffmanTables(const uint8_t* body, size_t length);
    void readQuantTables(const uint8_t* body, size_t length);
    void readRestartInterval(const uint8_t* body, size_t length);
    void readFrameHeader(int marker, const uint8_t* body, size_t length);
    bool dataCanHoldFrame() const;
    bool readScanHeader(const uint8_t* body, size_t length);
    bool readMarkersToScan();

    // Entropy-coded data.
    void startEntropyData();
    void refill();
    int decodeHuffman(const HuffmanTable& table);
    int getBits(int count);
    int getBit();
    bool restartIfDue();
    bool paddingConsumed() const { return bitCount_ < paddingBits_; }
    void decodeBlock(int16_t* block, Component& component, bool& acPresent);
    void decodeDcFirst(int16_t* block, Component& component);
    void decodeDcRefine(int16_t* block);
    void decodeAcFirst(int16_t* block, const HuffmanTable& table);
    void decodeAcRefine(int16_t* block, const HuffmanTable& table);

    // Decoding and output.
    bool setUpOutput();
    bool decodeStreamedMcuRow();
    bool decodeBufferedScan();
    bool decodeAllScans();
    void transformBufferedMcuRow();
    void transformBlock(const int16_t* block, const uint16_t* quant, bool acPresent, uint8_t* out, int stride);

    JpegMemorySource* source_;
    bool usePackedTransform_;
    int error_ = 0;

    int width_ = 0, height_ = 0, componentCount_ = 0;
    bool progressive_ = false;
    bool frameSeen_ = false;
    bool begun_ = false;
    Component components_[4];
    int maxH_ = 1, maxV_ = 1, mcusWide_ = 0, mcusHigh_ = 0;

    alignas(16) uint16_t quantTables_[4][64] = {};   // natural order, applied by the transforms
    bool quantDefined_[4] = {};
    HuffmanTable dcTables_[4], acTables_[4];
    int restartInterval_ = 0;

    // The current scan.
    int scanComponents_[4] = {};
    int scanComponentCount_ = 0;
    int spectralStart_ = 0, spectralEnd_ = 63, approximationHigh_ = 0, approximationLow_ = 0;
    int endOfBandRun_ = 0;
    int restartsLeft_ = 0, nextRestart_ = 0;

    // The entropy bit reader: `bitCount_` bits at the top of `bits_`; past a marker or the end
    // of the data it appends zero bits, counted in `paddingBits_`.
    uint64_t bits_ = 0;
    int bitCount_ = 0, paddingBits_ = 0;
    bool atMarker_ = false;

    // Output.
    bool streamed_ = false;        // one interleaved sequential scan, decoded an MCU row at a time
    bool scansDecoded_ = false;    // buffered pictures: every scan read
    int outputMode_ = 0, bytesPerPixel_ = 1;
    int mcuWidth_ = 8, mcuHeight_ = 8;
    int currentRow_ = 0, mcuRow_ = 0;
    uint8_t* outputRows_[2] = {};
    int16_t* block_ = nullptr;     // one block of 64 coefficients, aligned for the transform

    static constexpr int maxAllocations = 100;
    void* allocations_[maxAllocations] = {};
    int allocationCount_ = 0;
};
