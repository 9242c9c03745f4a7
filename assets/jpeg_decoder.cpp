// JpegDecoder: byte input, marker parsing, frame set-up, entropy decoding (sequential and
// progressive), MCU rows and colour conversion.
//
// Index
//   [SECTION] Tables
//   [SECTION] Decoder state
//   [SECTION] Byte input
//   [SECTION] Bit reader and Huffman decoding        (T.81 F.2.2, Annex C)
//   [SECTION] Marker segments                         (T.81 B.2, B.2.4)
//   [SECTION] Scans and restarts                      (T.81 A.2, B.2.3, F.1.2.3)
//   [SECTION] Sequential MCU rows                     (T.81 F.2.2)
//   [SECTION] Progressive scans                       (T.81 G.1.2)
//   [SECTION] Frame set-up and rows
//   [SECTION] Public interface
//
// Failures: every check calls fail(code), which throws a DecodeFailure caught at the three
// entry points (constructor, startDecoding, decodeRow); nothing leaves the decoder but codes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>

#include "assets/jpeg.h"
#include "assets/jpeg_internal.h"

namespace ostravel {
namespace jpeg_detail {

// [SECTION] Tables

const uint8_t kZigZagToNatural[64 + 16] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13,
    6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51, 58, 59, 52, 45, 38, 31,
    39, 46, 53, 60, 61, 54, 47, 55, 62, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63, 63,
};

const int16_t kAanScale[64] = {
    16384, 22725, 21407, 19266, 16384, 12873, 8867,  4520,  22725, 31521, 29692, 26722, 22725,
    17855, 12299, 6270,  21407, 29692, 27969, 25172, 21407, 16819, 11585, 5906,  19266, 26722,
    25172, 22654, 19266, 15137, 10426, 5315,  16384, 22725, 21407, 19266, 16384, 12873, 8867,
    4520,  12873, 17855, 16819, 15137, 12873, 10114, 6967,  3552,  8867,  12299, 11585, 10426,
    8867,  6967,  4799,  2446,  4520,  6270,  5906,  5315,  4520,  3552,  2446,  1247,
};

}  // namespace jpeg_detail

using namespace jpeg_detail;

namespace {

constexpr int kMaxDimension = 8192;
constexpr int kInputSize = 4096;
constexpr int kPushBackRoom = 128;
constexpr int kGuardSize = 128;
constexpr int kAllocationSlots = 100;
constexpr int kMaxBlocksPerMcuRow = 6144;
constexpr int kRestartSearchLimit = 1536;
// Our limit (not in T.81): a progressive image with more scans than this is refused with
// kJpegInternalLimit. Real encoders write about ten; every scan walks the whole image, so a small
// file with thousands of empty scans would otherwise keep the decoder busy for minutes.
constexpr int kMaxProgressiveScans = 1000;
// For the same reason, the blocks visited by all progressive scans together are limited (about
// a second of work); a real 8192 x 8192 file visits a tenth of this.
constexpr int64_t kMaxProgressiveBlockVisits = int64_t(1) << 27;

struct DecodeFailure {
    int code;
};

[[noreturn]] void fail(int code) { throw DecodeFailure{code}; }

// Blocks per MCU of each PixelLayout, in MCU order: component, and block column and row inside
// the component's part of the MCU.
struct McuBlock {
    uint8_t component, column, row;
};
struct LayoutShape {
    int mcuWidth, mcuHeight, blockCount;
    McuBlock blocks[6];
};
const LayoutShape kLayouts[5] = {
    {8, 8, 1, {{0, 0, 0}}},
    {8, 8, 3, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}},
    {16, 8, 4, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {2, 0, 0}}},
    {8, 16, 4, {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {2, 0, 0}}},
    {16, 16, 6, {{0, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 1}, {1, 0, 0}, {2, 0, 0}}},
};

constexpr int kFastBits = 11;
constexpr int kFastEndOfBlock = 16;

// One Huffman table slot: the DHT contents as received and the decoding table built from them.
// lookup[next 8 bits]: >= 0 is (code length << 8) | symbol; < 0 is -(index of a tree node pair)
// for codes of 9 to 16 bits. tree entries: < 0 lead to the next pair, >= 0 are symbols.
// Entries no code reaches stay 0: symbol 0 (T.81 leaves them undefined; corrupt codes decode
// as symbol 0 and are not detected).
struct HuffmanSlot {
    uint8_t counts[17];
    uint8_t symbols[256];
    int32_t lookup[256];
    uint8_t lengthOf[256];
    int32_t tree[4096];  // 255 symbols x 8 levels of pairs fit, with room to spare
    // A shortcut derived from lookup and tree (so it decodes exactly as they do): for the next
    // kFastBits bits, an AC code and its magnitude bits that fit in them resolved at once, as
    // (value << 16) | (run << 8) | bits used, run kFastEndOfBlock for an end of block; 0 where
    // the shortcut does not apply.
    int32_t fastAc[1 << kFastBits];
};

// A table that decodes every code as symbol 0 of length 0: used for slots that a scan does not
// need but a block of the frame still names (a sequential first scan without all components).
const HuffmanSlot kEmptyHuffman{};

// clamp(v, 0, 255) for v from -384 to 639: luma plus any colour term stays inside.
struct ClampTable {
    static constexpr int offset = 384;
    uint8_t values[1024];
    constexpr ClampTable() : values() {
        for (int i = 0; i < 1024; ++i) values[i] = uint8_t(i < offset ? 0 : (i - offset > 255 ? 255 : i - offset));
    }
};
constexpr ClampTable kClamp;
const int16_t kEmptyQuant[64] = {};

struct Component {
    int id = 0;
    int h = 0, v = 0;  // sampling factors
    int quantIndex = 0;
    int dcSlot = 0, acSlot = 4;
    int predictor = 0;
    // Progressive coefficient stores.
    int storeWidth = 0, storeHeight = 0;  // in blocks
    int16_t* dcStore = nullptr;
    int16_t* acStore = nullptr;
};

}  // namespace

// [SECTION] Decoder state

struct JpegDecoderState {
    JpegStream* stream = nullptr;
    int errorCode = 0;
    bool ready = false;
    bool progressive = false;
    bool referencePaths = false;  // byte-wise refill, no AC shortcut, portable transform

    int width = 0, height = 0, componentCount = 0;
    Component components[4];
    int hMax = 1, vMax = 1;

    // Current scan.
    int scanCount = 0;
    int scanComponents[4] = {};
    int spectralStart = 0, spectralEnd = 63;
    int approxHigh = 0, approxLow = 0;
    int scanMcusX = 0, scanMcusY = 0;  // MCUs of the current scan (interleaved or one component)
    int scansSeen = 0;
    int64_t blockVisits = 0;

    int16_t* quant[4] = {};
    HuffmanSlot* huffman[8] = {};

    int restartInterval = 0, restartCountdown = 0, expectedRestart = 0;
    int endOfBandRun = 0;

    // Output geometry.
    PixelLayout layout = PixelLayout::Grey;
    const LayoutShape* shape = nullptr;
    int mcusPerRow = 0, mcuRows = 0, bytesPerPixel = 1;
    int rowBufferSize = 0, rowLength = 0;
    int linesLeft = 0, mcuLinesLeft = 0, mcuRowIndex = 0;
    int blocksPerMcuRow = 0;
    int16_t* coefficients = nullptr;
    uint8_t* extents = nullptr;
    uint8_t* samples = nullptr;
    uint8_t* rowBuffer[2] = {};
    int32_t* crToRed = nullptr;
    int32_t* cbToBlue = nullptr;
    int32_t* crToGreen = nullptr;
    int32_t* cbToGreen = nullptr;

    // Allocation table.
    void* blocks[kAllocationSlots] = {};
    int blockCount = 0;

    // Byte input: [push-back room | buffer | guard].
    alignas(16) uint8_t input[kPushBackRoom + kInputSize + kGuardSize + 16] = {};
    int inputPosition = kPushBackRoom;
    int inputLeft = 0;
    bool streamEnded = false;
    bool synthesiseFF = true;
    long totalRead = 0;

    // Bit reader: bits are left-aligned in a 64-bit word.
    uint64_t bits = 0;
    int bitCount = 0;

    // ---- allocation table ----
    void* take(size_t bytes) {
        if (blockCount >= kAllocationSlots) fail(kJpegAllocationTableFull);
        // calloc: zero-filled and aligned to 16 bytes (our SSE2 loads are unaligned anyway).
        void* p = std::calloc(1, bytes ? bytes : 1);
        if (!p) fail(kJpegOutOfMemory);
        blocks[blockCount++] = p;
        return p;
    }
    void releaseAll() {
        for (int i = 0; i < blockCount; ++i) std::free(blocks[i]);
        blockCount = 0;
        std::fill(std::begin(quant), std::end(quant), nullptr);
        std::fill(std::begin(huffman), std::end(huffman), nullptr);
        for (Component& c : components) c.dcStore = c.acStore = nullptr;
        coefficients = nullptr;
        extents = samples = nullptr;
        rowBuffer[0] = rowBuffer[1] = nullptr;
        crToRed = cbToBlue = crToGreen = cbToGreen = nullptr;
    }
    ~JpegDecoderState() { releaseAll(); }

    void enterFailedState(int code) {
        if (errorCode == 0) errorCode = code;
        ready = false;
        if (stream) stream->notifyRelease();
        stream = nullptr;
        releaseAll();
    }

    // [SECTION] Byte input

    void refill() {
        inputPosition = kPushBackRoom;
        inputLeft = 0;
        int emptyReads = 0;
        while (!streamEnded && inputLeft < kInputSize) {
            bool end = false;
            const int got = stream->read(input + kPushBackRoom + inputLeft, kInputSize - inputLeft, end);
            if (got < 0 || got > kInputSize - inputLeft) fail(kJpegReadFailed);
            inputLeft += got;
            totalRead += got;
            if (end) streamEnded = true;
            // A source that keeps returning nothing without reporting its end is treated as
            // ended, so that a faulty source cannot hang the decoder.
            emptyReads = got == 0 ? emptyReads + 1 : 0;
            if (emptyReads >= 16) streamEnded = true;
        }
        // A scan running off the end of the data meets EOI markers (FF D9 repeated).
        for (int i = 0; i < kGuardSize; i += 2) {
            input[kPushBackRoom + inputLeft + i] = 0xFF;
            input[kPushBackRoom + inputLeft + i + 1] = 0xD9;
        }
    }

    int nextByte() {
        if (inputLeft == 0) {
            if (!streamEnded) refill();
            if (inputLeft == 0) {
                // After the end of data, every request is answered FF, D9, FF, D9, ...
                const int b = synthesiseFF ? 0xFF : 0xD9;
                synthesiseFF = !synthesiseFF;
                return b;
            }
        }
        --inputLeft;
        return input[inputPosition++];
    }

    void pushBack(int byte) {
        // At most two bytes are pushed back before they are read again; the room in front of
        // the buffer always holds them.
        input[--inputPosition] = uint8_t(byte);
        ++inputLeft;
    }

    int read16() {
        const int hi = nextByte();
        return (hi << 8) | nextByte();
    }

    void skipBytes(int count) {
        while (count > 0) {
            if (inputLeft == 0) {
                nextByte();
                --count;
                continue;
            }
            const int n = std::min(count, inputLeft);
            inputPosition += n;
            inputLeft -= n;
            count -= n;
        }
    }

    // [SECTION] Bit reader and Huffman decoding

    void resetBits() {
        bits = 0;
        bitCount = 0;
    }

    // Tops the bit buffer up with whole bytes to 56 bits or more. Entropy-coded bytes: FF 00
    // yields FF; FF and any other byte is a marker: both bytes go back into the input and FF is
    // delivered, so the reader sees 1-bits until the restart logic or the marker loop consumes
    // the marker. Both ways of filling take exactly the same bytes, so the input position (which
    // the restart search starts from) never depends on the way taken, even in corrupt data.
    void fillBits() {
        if (inputLeft >= 8 && !referencePaths) {
            // Fast path: the bytes that fit, taken at once when none of them is FF.
            const int count = (63 - bitCount) >> 3;
            uint64_t word;
            std::memcpy(&word, input + inputPosition, 8);
            word = __builtin_bswap64(word) >> (64 - 8 * count);
            const uint64_t inverted = ~word & ((~uint64_t(0)) >> (64 - 8 * count));
            const uint64_t hasFF = (inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull &
                                   ((~uint64_t(0)) >> (64 - 8 * count));
            if (hasFF == 0) {
                bits |= word << (64 - 8 * count - bitCount);
                bitCount += 8 * count;
                inputPosition += count;
                inputLeft -= count;
                return;
            }
        }
        while (bitCount <= 55) {
            int b = nextByte();
            if (b == 0xFF) {
                const int c = nextByte();
                if (c != 0) {
                    pushBack(c);
                    pushBack(0xFF);
                }
            }
            bits |= uint64_t(b) << (56 - bitCount);
            bitCount += 8;
        }
    }

    void need(int n) {
        if (bitCount < n) fillBits();
    }

    // get-bits(n), 1 <= n <= 16.
    int getBits(int n) {
        need(n);
        const int v = int(bits >> (64 - n));
        bits <<= n;
        bitCount -= n;
        return v;
    }

    int getBit() {
        if (bitCount == 0) fillBits();
        const int v = int(bits >> 63);
        bits <<= 1;
        --bitCount;
        return v;
    }

    // T.81 F.2.2.1 EXTEND: an n-bit magnitude below 2^(n-1) stands for a negative value.
    static int extend(int v, int n) { return v < (1 << (n - 1)) ? v - (1 << n) + 1 : v; }

    int decodeHuffman(const HuffmanSlot& table) {
        need(16);
        const int32_t entry = table.lookup[bits >> 56];
        if (entry >= 0) {
            const int length = entry >> 8;
            bits <<= length;
            bitCount -= length;
            return entry & 0xFF;
        }
        bits <<= 8;
        bitCount -= 8;
        int node = -entry;
        for (;;) {
            const int32_t next = table.tree[node + int(bits >> 63)];
            bits <<= 1;
            bitCount -= 1;
            if (next >= 0) return next;
            node = -next;
        }
    }

    // Canonical codes as T.81 Annex C (C.2 code lengths, C.3 codes in order of length).
    static void buildDecodingTable(HuffmanSlot& t) {
        std::memset(t.lookup, 0, sizeof t.lookup);
        std::memset(t.lengthOf, 0, sizeof t.lengthOf);
        std::memset(t.tree, 0, sizeof t.tree);
        uint16_t codes[256];
        uint8_t lengths[256];
        int n = 0;
        int code = 0;
        for (int length = 1; length <= 16; ++length) {
            for (int i = 0; i < t.counts[length]; ++i, ++code) {
                // A table whose counts overflow the code space gets no codes beyond it.
                if (code < (1 << length)) {
                    codes[n] = uint16_t(code);
                    lengths[n] = uint8_t(length);
                    t.lengthOf[t.symbols[n]] = uint8_t(length);
                } else {
                    lengths[n] = 0;
                }
                ++n;
            }
            code <<= 1;
        }
        // Entries no short code reaches: symbol 0 with the length recorded for symbol 0.
        for (int i = 0; i < 256; ++i) t.lookup[i] = int32_t(t.lengthOf[0]) << 8;
        int nextPair = 2;
        for (int i = 0; i < n; ++i) {
            const int length = lengths[i];
            const int symbol = t.symbols[i];
            if (length == 0) continue;
            if (length <= 8) {
                const int first = codes[i] << (8 - length);
                const int entry = (int32_t(t.lengthOf[symbol]) << 8) | symbol;
                for (int j = 0; j < (1 << (8 - length)); ++j) t.lookup[first + j] = entry;
                continue;
            }
            const int prefix = codes[i] >> (length - 8);
            if (t.lookup[prefix] >= 0) {
                if (nextPair + 2 > int(std::size(t.tree))) continue;
                t.lookup[prefix] = -nextPair;
                nextPair += 2;
            }
            int node = -t.lookup[prefix];
            for (int bit = length - 9; bit >= 0; --bit) {
                const int branch = node + ((codes[i] >> bit) & 1);
                if (bit == 0) {
                    if (t.tree[branch] == 0) t.tree[branch] = symbol;
                    break;
                }
                if (t.tree[branch] >= 0) {
                    if (nextPair + 2 > int(std::size(t.tree))) break;
                    t.tree[branch] = -nextPair;
                    nextPair += 2;
                }
                node = -t.tree[branch];
            }
        }
        for (int i = 0; i < (1 << kFastBits); ++i) t.fastAc[i] = fastEntry(t, i);
    }

    // What decodeHuffman and get-bits would do on these kFastBits bits, when they suffice.
    static int32_t fastEntry(const HuffmanSlot& t, int pattern) {
        const int32_t entry = t.lookup[pattern >> (kFastBits - 8)];
        int length = 0, symbol = 0;
        if (entry >= 0) {
            length = entry >> 8;
            symbol = entry & 0xFF;
        } else {
            int node = -entry;
            length = 8;
            for (;;) {
                if (length == kFastBits) return 0;
                const int32_t next = t.tree[node + ((pattern >> (kFastBits - 1 - length)) & 1)];
                ++length;
                if (next >= 0) {
                    symbol = next;
                    break;
                }
                node = -next;
            }
        }
        const int run = symbol >> 4, size = symbol & 15;
        if (length == 0) return 0;
        if (size == 0 && run < 15) return (kFastEndOfBlock << 8) | length;
        if (length + size > kFastBits) return 0;
        const int magnitude = size ? (pattern >> (kFastBits - length - size)) & ((1 << size) - 1) : 0;
        const int value = size ? extend(magnitude, size) : 0;  // a zero run (ZRL) places a 0
        return int32_t(uint32_t(value) << 16) | (run << 8) | (length + size);
    }

    // [SECTION] Marker segments

    // Reads markers until one that the caller handles (SOFn, SOI, EOI, SOS); table segments are
    // read on the way, anything else is skipped.
    int readMarkers() {
        for (;;) {
            int code;
            do code = nextByte();
            while (code != 0xFF);
            do code = nextByte();
            while (code == 0xFF);
            switch (code) {
                case 0x00:
                    continue;
                case 0x01:
                case 0xC8:
                case 0xD0:
                case 0xD1:
                case 0xD2:
                case 0xD3:
                case 0xD4:
                case 0xD5:
                case 0xD6:
                case 0xD7:
                    fail(kJpegUnexpectedMarker);
                case 0xC0:
                case 0xC1:
                case 0xC2:
                case 0xC3:
                case 0xC5:
                case 0xC6:
                case 0xC7:
                case 0xC9:
                case 0xCA:
                case 0xCB:
                case 0xCD:
                case 0xCE:
                case 0xCF:
                case 0xD8:
                case 0xD9:
                case 0xDA:
                    return code;
                case 0xC4:
                    readHuffmanTables();
                    continue;
                case 0xCC:
                    fail(kJpegArithmetic);
                case 0xDB:
                    readQuantTables();
                    continue;
                case 0xDD:
                    if (read16() != 4) fail(kJpegRestartBadLength);
                    restartInterval = read16();
                    continue;
                default: {
                    const int length = read16();
                    if (length < 2) fail(kJpegSegmentBadLength);
                    skipBytes(length - 2);
                    continue;
                }
            }
        }
    }

    // DQT, T.81 B.2.4.1. Stored pre-scaled for the AAN transform, in natural order.
    void readQuantTables() {
        const int length = read16();
        if (length < 2) fail(kJpegQuantBadLength);
        int remaining = length - 2;
        while (remaining > 0) {
            const int pqtq = nextByte();
            const int index = pqtq & 15;
            if (index > 3) fail(kJpegQuantBadIndex);
            const bool wide = (pqtq >> 4) != 0;
            const int size = 1 + 64 * (wide ? 2 : 1);
            if (size > remaining) fail(kJpegQuantTooLong);
            if (!quant[index]) quant[index] = static_cast<int16_t*>(take(64 * sizeof(int16_t)));
            for (int k = 0; k < 64; ++k) {
                const int value = wide ? read16() : nextByte();
                const int n = kZigZagToNatural[k];
                quant[index][n] = prescaleQuant(value, n);
            }
            remaining -= size;
        }
    }

    // DHT, T.81 B.2.4.2.
    void readHuffmanTables() {
        const int length = read16();
        if (length < 2) fail(kJpegHuffmanBadLength);
        int remaining = length - 2;
        while (remaining > 0) {
            if (remaining < 17) fail(kJpegHuffmanBadLength);
            const int tcth = nextByte();
            uint8_t counts[17] = {};
            int total = 0;
            for (int i = 1; i <= 16; ++i) {
                counts[i] = uint8_t(nextByte());
                total += counts[i];
            }
            if (total > 255) fail(kJpegHuffmanTooManySymbols);
            if (17 + total > remaining) fail(kJpegHuffmanBadLength);
            const int slot = (tcth & 15) + 4 * ((tcth >> 4) & 1);
            if (slot > 7) fail(kJpegHuffmanBadSlot);
            if (!huffman[slot]) huffman[slot] = static_cast<HuffmanSlot*>(take(sizeof(HuffmanSlot)));
            HuffmanSlot& t = *huffman[slot];
            std::memcpy(t.counts, counts, sizeof counts);
            std::memset(t.symbols, 0, sizeof t.symbols);
            for (int i = 0; i < total; ++i) t.symbols[i] = uint8_t(nextByte());
            remaining -= 17 + total;
        }
    }

    // SOF, T.81 B.2.2.
    void readFrameHeader() {
        const int length = read16();
        if (nextByte() != 8) fail(kJpegBadPrecision);
        height = read16();
        if (height < 1 || height > kMaxDimension) fail(kJpegBadHeight);
        width = read16();
        if (width < 1 || width > kMaxDimension) fail(kJpegBadWidth);
        componentCount = nextByte();
        if (componentCount > 4) fail(kJpegTooManyComponents);
        if (length != 8 + 3 * componentCount) fail(kJpegFrameBadLength);
        for (int i = 0; i < componentCount; ++i) {
            Component& c = components[i];
            c.id = nextByte();
            const int hv = nextByte();
            c.h = hv >> 4;
            c.v = hv & 15;
            c.quantIndex = nextByte();
        }
    }

    // SOS, T.81 B.2.3.
    void readScanHeader() {
        const int length = read16();
        const int n = nextByte();
        if (n < 1 || n > 4 || length != 6 + 2 * n) fail(kJpegScanBadHeader);
        scanCount = n;
        for (int i = 0; i < n; ++i) {
            const int selector = nextByte();
            const int tables = nextByte();
            int found = -1;
            for (int c = 0; c < componentCount && found < 0; ++c)
                if (components[c].id == selector) found = c;
            if (found < 0) fail(kJpegScanBadSelector);
            scanComponents[i] = found;
            components[found].dcSlot = tables >> 4;
            components[found].acSlot = (tables & 15) + 4;
        }
        spectralStart = nextByte();
        spectralEnd = nextByte();
        const int a = nextByte();
        approxHigh = a >> 4;
        approxLow = a & 15;
        if (!progressive) {
            spectralStart = 0;
            spectralEnd = 63;
        }
    }

    // [SECTION] Scans and restarts

    // Runs the marker loop up to the next scan and prepares it. False when EOI came instead
    // (the end of a progressive image's scans).
    bool startScan() {
        const int code = readMarkers();
        if (code == 0xD9) {
            if (!progressive) fail(kJpegUnexpectedMarker);
            return false;
        }
        if (code != 0xDA) fail(kJpegUnexpectedMarker);
        readScanHeader();
        if (scanCount == 1) {
            // T.81 A.2.2: a one-component scan is not interleaved, one block per MCU.
            const Component& c = components[scanComponents[0]];
            scanMcusX = ceilDiv(ceilDiv(width * c.h, hMax), 8);
            scanMcusY = ceilDiv(ceilDiv(height * c.v, vMax), 8);
        } else {
            scanMcusX = ceilDiv(ceilDiv(width, 8), hMax);
            scanMcusY = ceilDiv(ceilDiv(height, 8), vMax);
        }
        for (int i = 0; i < scanCount; ++i) {
            const Component& c = components[scanComponents[i]];
            if (c.quantIndex > 3 || !quant[c.quantIndex]) fail(kJpegUndefinedQuantTable);
            if (spectralStart == 0 && (c.dcSlot > 7 || !huffman[c.dcSlot])) fail(kJpegUndefinedHuffmanTable);
            if (spectralEnd > 0 && (c.acSlot > 7 || !huffman[c.acSlot])) fail(kJpegUndefinedHuffmanTable);
        }
        for (HuffmanSlot* t : huffman)
            if (t) buildDecodingTable(*t);
        for (Component& c : components) c.predictor = 0;
        endOfBandRun = 0;
        if (restartInterval) {
            restartCountdown = restartInterval;
            expectedRestart = 0;
        }
        resetBits();
        return true;
    }

    static int ceilDiv(int a, int b) { return (a + b - 1) / b; }

    // T.81 F.1.2.3: the marker RSTn with n counting 0 to 7 between restart intervals.
    void processRestart() {
        int b = 0;
        int searched = 0;
        while (searched < kRestartSearchLimit) {
            b = nextByte();
            ++searched;
            if (b == 0xFF) break;
        }
        if (b != 0xFF) fail(kJpegBadRestart);
        do {
            b = nextByte();
            ++searched;
        } while (b == 0xFF && searched < kRestartSearchLimit);
        if (b != 0xD0 + expectedRestart) fail(kJpegBadRestart);
        for (Component& c : components) c.predictor = 0;
        endOfBandRun = 0;
        expectedRestart = (expectedRestart + 1) & 7;
        restartCountdown = restartInterval;
        resetBits();
    }

    const HuffmanSlot& table(int slot) const {
        return slot >= 0 && slot < 8 && huffman[slot] ? *huffman[slot] : kEmptyHuffman;
    }

    int decodeDcDifference(const HuffmanSlot& dc) {
        const int s = decodeHuffman(dc);
        if (s == 0) return 0;
        if (s > 16) fail(kJpegCorruptData);  // our check: get-bits reads at most 16 bits
        return extend(getBits(s), s);
    }

    static int wrapAdd(int a, int b) { return int(uint32_t(a) + uint32_t(b)); }

    // [SECTION] Sequential MCU rows

    // One block, T.81 F.2.2.1 and F.2.2.2. Coefficients at natural index, not dequantised.
    void decodeSequentialBlock(int16_t* block, uint8_t& extent, Component& c, const HuffmanSlot& dc,
                               const HuffmanSlot& ac) {
        // Positions below the previous extent may hold stale values: clear them first, which
        // leaves the block exactly as zeroing the skipped positions would.
        if (extent > 1) std::memset(block, 0, 64 * sizeof(int16_t));
        c.predictor = wrapAdd(c.predictor, decodeDcDifference(dc));
        block[0] = int16_t(c.predictor);
        int k = 1;
        while (k < 64) {
            if (bitCount < 32) fillBits();
            const int32_t fast = ac.fastAc[bits >> (64 - kFastBits)];
            if (fast != 0 && !referencePaths) {
                // Code and magnitude in one step; a zero run writes a 0 into the cleared block.
                const int used = fast & 255;
                bits <<= used;
                bitCount -= used;
                const int run = (fast >> 8) & 255;
                if (run == kFastEndOfBlock) break;
                k += run;
                if (k > 63) fail(kJpegCorruptData);
                block[kZigZagToNatural[k]] = int16_t(fast >> 16);
                ++k;
                continue;
            }
            const int rs = decodeHuffman(ac);
            const int r = rs >> 4, s = rs & 15;
            if (s != 0) {
                k += r;
                if (k > 63) fail(kJpegCorruptData);
                block[kZigZagToNatural[k]] = int16_t(extend(getBits(s), s));
            } else if (r == 15) {
                if (k + 15 > 63) fail(kJpegCorruptData);
                k += 15;
            } else {
                break;
            }
            ++k;
        }
        extent = uint8_t(k);
    }

    void decodeSequentialMcuRow() {
        const LayoutShape& sh = *shape;
        for (int m = 0; m < mcusPerRow; ++m) {
            if (restartInterval) {
                if (restartCountdown == 0) processRestart();
                --restartCountdown;
            }
            for (int b = 0; b < sh.blockCount; ++b) {
                const int index = m * sh.blockCount + b;
                Component& c = components[sh.blocks[b].component];
                decodeSequentialBlock(coefficients + 64 * index, extents[index], c, table(c.dcSlot),
                                      table(c.acSlot));
            }
        }
    }

    // [SECTION] Progressive scans

    void allocateStores() {
        for (int i = 0; i < componentCount; ++i) {
            Component& c = components[i];
            c.storeWidth = mcusPerRow * c.h;
            c.storeHeight = mcuRows * c.v;
            const size_t count = size_t(c.storeWidth) * size_t(c.storeHeight);
            c.dcStore = static_cast<int16_t*>(take(count * sizeof(int16_t)));
            c.acStore = static_cast<int16_t*>(take(count * 64 * sizeof(int16_t)));
        }
    }

    size_t storeIndex(const Component& c, int column, int row) const {
        if (column < 0 || row < 0 || column >= c.storeWidth || row >= c.storeHeight) fail(kJpegInternalLimit);
        return size_t(row) * size_t(c.storeWidth) + size_t(column);
    }

    enum class BlockDecoder { DcFirst, DcRefine, AcFirst, AcRefine };

    void decodeProgressiveBlock(BlockDecoder kind, Component& c, int column, int row) {
        const size_t index = storeIndex(c, column, row);
        switch (kind) {
            case BlockDecoder::DcFirst: {
                c.predictor = wrapAdd(c.predictor, decodeDcDifference(table(c.dcSlot)));
                c.dcStore[index] = int16_t(uint32_t(c.predictor) << approxLow);
                break;
            }
            case BlockDecoder::DcRefine:
                if (getBit()) c.dcStore[index] = int16_t(c.dcStore[index] | (1 << approxLow));
                break;
            case BlockDecoder::AcFirst:
                decodeAcFirst(c.acStore + 64 * index, table(c.acSlot));
                break;
            case BlockDecoder::AcRefine:
                decodeAcRefine(c.acStore + 64 * index, table(c.acSlot));
                break;
        }
    }

    // T.81 G.1.2.2, first AC scan of a band, with end-of-band runs.
    void decodeAcFirst(int16_t* block, const HuffmanSlot& ac) {
        if (endOfBandRun > 0) {
            --endOfBandRun;
            return;
        }
        for (int k = spectralStart; k <= spectralEnd; ++k) {
            if (bitCount < 32) fillBits();
            const int32_t fast = ac.fastAc[bits >> (64 - kFastBits)];
            if (fast != 0 && ((fast >> 8) & 255) < 15 && !referencePaths) {
                const int used = fast & 255;
                bits <<= used;
                bitCount -= used;
                k += (fast >> 8) & 255;
                if (k > 63) fail(kJpegCorruptData);
                block[kZigZagToNatural[k]] = int16_t((fast >> 16) * (1 << approxLow));
                continue;
            }
            const int rs = decodeHuffman(ac);
            const int r = rs >> 4, s = rs & 15;
            if (s != 0) {
                if (k + r > 63) fail(kJpegCorruptData);
                k += r;
                block[kZigZagToNatural[k]] = int16_t(extend(getBits(s), s) * (1 << approxLow));
            } else if (r == 15) {
                if (k + 15 > 63) fail(kJpegCorruptData);
                k += 15;
            } else {
                endOfBandRun = (1 << r) - 1;
                if (r > 0) endOfBandRun += getBits(r);
                return;
            }
        }
    }

    // Applies a correction bit to a coefficient that is already non-zero (T.81 G.1.2.3).
    void correct(int16_t& coefficient, int p1) {
        if (getBit() && (coefficient & p1) == 0)
            coefficient = int16_t(coefficient + (coefficient >= 0 ? p1 : -p1));
    }

    // T.81 G.1.2.3, refinement scan of an AC band.
    void decodeAcRefine(int16_t* block, const HuffmanSlot& ac) {
        const int p1 = 1 << approxLow;
        int k = spectralStart;
        if (endOfBandRun == 0) {
            for (; k <= spectralEnd; ++k) {
                const int rs = decodeHuffman(ac);
                int r = rs >> 4;
                const int s = rs & 15;
                int value = 0;
                if (s != 0) {
                    if (s != 1) fail(kJpegCorruptData);
                    value = getBit() ? p1 : -p1;
                } else if (r != 15) {
                    endOfBandRun = 1 << r;
                    if (r > 0) endOfBandRun += getBits(r);
                    break;
                }
                // Skip r zero coefficients (correcting the non-zero ones met), then place the
                // new one at the next zero position.
                for (; k <= spectralEnd; ++k) {
                    int16_t& coefficient = block[kZigZagToNatural[k]];
                    if (coefficient != 0) {
                        correct(coefficient, p1);
                    } else {
                        if (r == 0) break;
                        --r;
                    }
                }
                if (value != 0) {
                    if (k > spectralEnd) fail(kJpegCorruptData);
                    block[kZigZagToNatural[k]] = int16_t(value);
                }
            }
        }
        if (endOfBandRun > 0) {
            for (; k <= spectralEnd; ++k) {
                int16_t& coefficient = block[kZigZagToNatural[k]];
                if (coefficient != 0) correct(coefficient, p1);
            }
            --endOfBandRun;
        }
    }

    void decodeProgressiveScans() {
        allocateStores();
        for (;;) {
            if (!startScan()) break;
            if (++scansSeen > kMaxProgressiveScans) fail(kJpegInternalLimit);
            if (spectralEnd < spectralStart || spectralEnd > 63) fail(kJpegBadSpectralSelection);
            if (spectralStart == 0 && spectralEnd != 0) fail(kJpegBadSpectralSelection);
            if (spectralStart > 0 && scanCount != 1) fail(kJpegBadSpectralSelection);
            if (approxHigh != 0 && approxHigh != approxLow + 1) fail(kJpegBadSuccessiveApproximation);
            int blocksPerMcu = 1;
            if (scanCount > 1) {
                blocksPerMcu = 0;
                for (int i = 0; i < scanCount; ++i)
                    blocksPerMcu += components[scanComponents[i]].h * components[scanComponents[i]].v;
            }
            blockVisits += int64_t(scanMcusX) * scanMcusY * blocksPerMcu;
            if (blockVisits > kMaxProgressiveBlockVisits) fail(kJpegInternalLimit);
            const BlockDecoder kind = spectralStart == 0
                                          ? (approxHigh == 0 ? BlockDecoder::DcFirst : BlockDecoder::DcRefine)
                                          : (approxHigh == 0 ? BlockDecoder::AcFirst : BlockDecoder::AcRefine);
            for (int my = 0; my < scanMcusY; ++my) {
                for (int mx = 0; mx < scanMcusX; ++mx) {
                    if (restartInterval) {
                        if (restartCountdown == 0) processRestart();
                        --restartCountdown;
                    }
                    if (scanCount == 1) {
                        decodeProgressiveBlock(kind, components[scanComponents[0]], mx, my);
                        continue;
                    }
                    for (int i = 0; i < scanCount; ++i) {
                        Component& c = components[scanComponents[i]];
                        for (int j = 0; j < c.v; ++j)
                            for (int h = 0; h < c.h; ++h) decodeProgressiveBlock(kind, c, mx * c.h + h, my * c.v + j);
                    }
                }
            }
            resetBits();
        }
        // The scan list is over: rows are delivered as an interleaved scan of all components.
        scanCount = componentCount;
        for (int i = 0; i < componentCount; ++i) scanComponents[i] = i;
        scanMcusX = ceilDiv(ceilDiv(width, 8), hMax);
        scanMcusY = ceilDiv(ceilDiv(height, 8), vMax);
    }

    void loadProgressiveMcuRow() {
        const LayoutShape& sh = *shape;
        for (int m = 0; m < mcusPerRow; ++m) {
            for (int b = 0; b < sh.blockCount; ++b) {
                const McuBlock& mb = sh.blocks[b];
                const Component& c = components[mb.component];
                const size_t index = storeIndex(c, m * c.h + mb.column, mcuRowIndex * c.v + mb.row);
                const int block = m * sh.blockCount + b;
                int16_t* out = coefficients + 64 * block;
                std::memcpy(out, c.acStore + 64 * index, 64 * sizeof(int16_t));
                out[0] = c.dcStore[index];
                bool acZero = true;
                for (int k = 1; k < 64 && acZero; ++k) acZero = out[k] == 0;
                extents[block] = acZero ? 1 : 64;
            }
        }
    }

    void transformMcuRow() {
        const LayoutShape& sh = *shape;
        auto transform = referencePaths ? inverseDctPortable : inverseDctSse2;
        for (int i = 0; i < blocksPerMcuRow; ++i) {
            const Component& c = components[sh.blocks[i % sh.blockCount].component];
            const int16_t* q = c.quantIndex <= 3 && quant[c.quantIndex] ? quant[c.quantIndex] : kEmptyQuant;
            transform(coefficients + 64 * i, q, extents[i], samples + 64 * i);
        }
    }

    // [SECTION] Frame set-up and rows

    void setUpFrame() {
        if (componentCount != 1 && componentCount != 3) fail(kJpegBadComponentCount);
        for (int i = 0; i < componentCount; ++i)
            if (components[i].h == 0 || components[i].v == 0) fail(kJpegUnsupportedSampling);
        if (componentCount == 1) {
            // T.81 A.2.2: a lone component is never interleaved, so its factors do not matter.
            layout = PixelLayout::Grey;
            components[0].h = components[0].v = 1;
        } else {
            for (int i = 1; i < 3; ++i)
                if (components[i].h != 1 || components[i].v != 1) fail(kJpegUnsupportedSampling);
            const int h = components[0].h, v = components[0].v;
            if (h == 1 && v == 1) layout = PixelLayout::Colour444;
            else if (h == 2 && v == 1) layout = PixelLayout::Colour422;
            else if (h == 1 && v == 2) layout = PixelLayout::Colour440;
            else if (h == 2 && v == 2) layout = PixelLayout::Colour420;
            else fail(kJpegUnsupportedSampling);
        }
        hMax = vMax = 1;
        for (int i = 0; i < componentCount; ++i) {
            hMax = std::max(hMax, components[i].h);
            vMax = std::max(vMax, components[i].v);
        }
        shape = &kLayouts[int(layout)];
        bytesPerPixel = layout == PixelLayout::Grey ? 1 : 4;
        mcusPerRow = ceilDiv(width, shape->mcuWidth);
        mcuRows = ceilDiv(height, shape->mcuHeight);
        rowBufferSize = ((width + 15) & ~15) * bytesPerPixel;
        rowLength = width * bytesPerPixel;
        rowBuffer[0] = static_cast<uint8_t*>(take(size_t(rowBufferSize)));
        rowBuffer[1] = static_cast<uint8_t*>(take(size_t(rowBufferSize)));
        blocksPerMcuRow = shape->blockCount * mcusPerRow;
        if (blocksPerMcuRow > kMaxBlocksPerMcuRow) fail(kJpegInternalLimit);
        coefficients = static_cast<int16_t*>(take(size_t(blocksPerMcuRow) * 64 * sizeof(int16_t)));
        extents = static_cast<uint8_t*>(take(size_t(blocksPerMcuRow)));
        std::memset(extents, 64, size_t(blocksPerMcuRow));
        samples = static_cast<uint8_t*>(take(size_t(blocksPerMcuRow) * 64));
        linesLeft = height;
        mcuLinesLeft = 0;
        mcuRowIndex = 0;
        buildColourTables();
        if (progressive) {
            decodeProgressiveScans();
        } else {
            startScan();
        }
    }

    // JFIF YCbCr -> RGB in 16-bit fixed point; >> is an arithmetic shift (floor).
    void buildColourTables() {
        crToRed = static_cast<int32_t*>(take(256 * sizeof(int32_t)));
        cbToBlue = static_cast<int32_t*>(take(256 * sizeof(int32_t)));
        crToGreen = static_cast<int32_t*>(take(256 * sizeof(int32_t)));
        cbToGreen = static_cast<int32_t*>(take(256 * sizeof(int32_t)));
        for (int i = 0; i < 256; ++i) {
            const int k = i - 128;
            crToRed[i] = (91882 * k + 32768) >> 16;    // 1.402 x 65536
            cbToBlue[i] = (116130 * k + 32768) >> 16;  // 1.772 x 65536
            crToGreen[i] = -(46802 * k);               // 0.71414 x 65536
            cbToGreen[i] = 32768 - 22554 * k;          // 0.34414 x 65536, with the rounding half
        }
    }

    // Converts MCU line `line` into out0 and, for layouts with vertically shared chroma (line
    // even), line + 1 into out1; whole MCUs across. One table read per chroma sample and
    // component, one clamp-table read per output byte.
    template <int LumaH, int LumaV>
    void convertLines(int line, uint8_t* out0, uint8_t* out1) {
        const int bpm = shape->blockCount;
        const int chromaLine = line / LumaV;
        const int rowBlock = line >> 3;
        const uint8_t* clamp = kClamp.values + kClamp.offset;
        for (int m = 0; m < mcusPerRow; ++m) {
            const uint8_t* mcu = samples + 64 * bpm * m;
            const uint8_t* cb = mcu + 64 * (bpm - 2) + 8 * chromaLine;
            const uint8_t* cr = mcu + 64 * (bpm - 1) + 8 * chromaLine;
            uint8_t* o0 = out0 + 4 * 8 * LumaH * m;
            uint8_t* o1 = LumaV == 2 ? out1 + 4 * 8 * LumaH * m : nullptr;
            for (int cx = 0; cx < 8; ++cx) {
                const int red = crToRed[cr[cx]];
                const int green = (cbToGreen[cb[cx]] + crToGreen[cr[cx]]) >> 16;
                const int blue = cbToBlue[cb[cx]];
                for (int dx = 0; dx < LumaH; ++dx) {
                    const int x = cx * LumaH + dx;
                    const uint8_t* luma = mcu + 64 * (rowBlock * LumaH + (x >> 3)) + (x & 7);
                    const int y0 = luma[8 * (line & 7)];
                    const uint32_t p0 = uint32_t(clamp[y0 + red]) | uint32_t(clamp[y0 + green]) << 8 |
                                        uint32_t(clamp[y0 + blue]) << 16;
                    std::memcpy(o0 + 4 * x, &p0, 4);
                    if (LumaV == 2) {
                        const int y1 = luma[8 * ((line + 1) & 7)];
                        const uint32_t p1 = uint32_t(clamp[y1 + red]) | uint32_t(clamp[y1 + green]) << 8 |
                                            uint32_t(clamp[y1 + blue]) << 16;
                        std::memcpy(o1 + 4 * x, &p1, 4);
                    }
                }
            }
        }
    }

    void convertGrey(int line, uint8_t* out) {
        for (int m = 0; m < mcusPerRow; ++m) std::memcpy(out + 8 * m, samples + 64 * m + 8 * line, 8);
    }

    const uint8_t* nextRow() {
        if (mcuLinesLeft == 0) {
            if (progressive) {
                loadProgressiveMcuRow();
            } else {
                decodeSequentialMcuRow();
            }
            transformMcuRow();
            ++mcuRowIndex;
            if (!progressive && linesLeft <= shape->mcuHeight) {
                // The last MCU row: consume the EOI (whatever marker comes is ignored).
                resetBits();
                readMarkers();
            }
            mcuLinesLeft = shape->mcuHeight;
        }
        const int line = shape->mcuHeight - mcuLinesLeft;
        // Layouts with vertically shared chroma convert both lines of a pair at once; the
        // second is delivered by the next call without converting.
        const uint8_t* row = rowBuffer[0];
        switch (layout) {
            case PixelLayout::Grey: convertGrey(line, rowBuffer[0]); break;
            case PixelLayout::Colour444: convertLines<1, 1>(line, rowBuffer[0], nullptr); break;
            case PixelLayout::Colour422: convertLines<2, 1>(line, rowBuffer[0], nullptr); break;
            case PixelLayout::Colour440:
            case PixelLayout::Colour420:
                if (line & 1) {
                    row = rowBuffer[1];
                } else if (layout == PixelLayout::Colour440) {
                    convertLines<1, 2>(line, rowBuffer[0], rowBuffer[1]);
                } else {
                    convertLines<2, 2>(line, rowBuffer[0], rowBuffer[1]);
                }
                break;
        }
        --linesLeft;
        --mcuLinesLeft;
        return row;
    }

    // Runs one operation; a failure moves the decoder to its failed state.
    template <typename Operation>
    bool guarded(Operation&& operation) {
        try {
            operation();
            return true;
        } catch (const DecodeFailure& failure) {
            enterFailedState(failure.code);
            return false;
        } catch (const std::bad_alloc&) {
            enterFailedState(kJpegOutOfMemory);
            return false;
        }
    }

    void locateStartOfImage() {
        int previous = nextByte();
        int current = nextByte();
        if (previous == 0xFF && current == 0xD8) return;
        // Junk of up to 511 bytes before SOI is skipped.
        for (int i = 0; i < 511; ++i) {
            previous = current;
            current = nextByte();
            if (previous == 0xFF && current == 0xD8) {
                const int following = nextByte();
                if (following != 0xFF) fail(kJpegNoStartOfImage);
                pushBack(following);
                return;
            }
        }
        fail(kJpegNoStartOfImage);
    }

    void readHeaders() {
        stream->notifyStart();
        refill();
        locateStartOfImage();
        const int code = readMarkers();
        if (code == 0xC2) {
            progressive = true;
            readFrameHeader();
        } else if (code == 0xC0 || code == 0xC1) {
            readFrameHeader();
        } else if (code == 0xC9) {
            fail(kJpegArithmetic);
        } else {
            fail(kJpegUnsupportedFrame);
        }
    }
};

// [SECTION] Public interface

JpegDecoder::JpegDecoder(JpegStream& stream) : state_(std::make_unique<JpegDecoderState>()) {
    JpegDecoderState& s = *state_;
    s.stream = &stream;
    s.guarded([&] { s.readHeaders(); });
}

JpegDecoder::~JpegDecoder() = default;

int JpegDecoder::errorCode() const { return state_->errorCode; }
int JpegDecoder::width() const { return state_->width; }
int JpegDecoder::height() const { return state_->height; }
int JpegDecoder::componentCount() const { return state_->componentCount; }
bool JpegDecoder::progressive() const { return state_->progressive; }
PixelLayout JpegDecoder::layout() const { return state_->layout; }
int JpegDecoder::bytesPerPixel() const { return state_->bytesPerPixel; }
void JpegDecoder::useReferencePaths(bool reference) { state_->referencePaths = reference; }

int JpegDecoder::startDecoding() {
    JpegDecoderState& s = *state_;
    if (s.errorCode != 0) return -1;
    if (s.ready) return 0;
    if (!s.guarded([&] { s.setUpFrame(); })) return -1;
    s.ready = true;
    return 0;
}

int JpegDecoder::decodeRow(const uint8_t*& row, int& length) {
    JpegDecoderState& s = *state_;
    if (s.errorCode != 0 || !s.ready) return -1;
    if (s.linesLeft == 0) return 1;
    const uint8_t* delivered = nullptr;
    if (!s.guarded([&] { delivered = s.nextRow(); })) return kJpegCorruptData;
    row = delivered;
    length = s.rowLength;
    return 0;
}

}  // namespace ostravel
