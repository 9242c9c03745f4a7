// JpegDecoder: the show's only image reader. Turns a JPEG file (ITU-T T.81, JFIF colour) into
// rows of 8-bit pixels, top row first, pulled one at a time.
//
// Limits (anything else is refused with a code from JpegError, never a crash):
// - Huffman-coded SOF0 (baseline), SOF1 (extended sequential, 8-bit) and SOF2 (progressive);
//   no arithmetic coding, no lossless or hierarchical frames, 8-bit samples only.
// - Width and height 1 to 8192.
// - One component (grey), or three (YCbCr) with chroma sampled 1x1 and luma 1x1, 2x1, 1x2 or
//   2x2 (horizontal x vertical). Chroma is replicated, never interpolated.
// - Sequential images are decoded from their first scan, which must interleave all components.
//
// Usage:
//   JpegFileStream file;  file.open(path);
//   JpegDecoder jpeg(file);            // reads the headers up to the frame header
//   if (jpeg.errorCode() != 0) ...     // refused
//   jpeg.startDecoding();              // 0 or -1
//   for (int y = 0; y < jpeg.height(); ++y) jpeg.decodeRow(row, length);
//
// Output rows: Grey gives 1 byte per pixel; the colour layouts give 4 bytes per pixel in the
// order R, G, B, 0. A row pointer stays valid until the next decodeRow call.
//
// Errors: the first error is kept in errorCode() and the decoder enters its failed state for
// good (its memory is released, startDecoding and decodeRow return -1). A truncated file is not
// an error: the missing data decode as an end of image and every row is still delivered (unless
// the file has restart intervals: the first restart marker the cut removed fails with -228).
//
// Resources: every block the decoder needs is taken from its own table of 100 zero-filled,
// aligned allocations, released together. Sequential images keep one MCU row in memory;
// progressive images keep all coefficients (130 bytes per 8 x 8 block).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

namespace ostravel {

// Every failure of the decoder, by code. Tests and callers compare codes, never text.
enum JpegError : int {
    kJpegOk = 0,
    kJpegHuffmanTooManySymbols = -200,     // DHT: more than 255 symbols in one table
    kJpegHuffmanBadSlot = -201,            // DHT: table slot above 7
    kJpegHuffmanBadLength = -202,          // DHT: length below 2, or a table longer than the segment
    kJpegQuantBadLength = -203,            // DQT: length below 2
    kJpegQuantBadIndex = -204,             // DQT: table index above 3
    kJpegBadPrecision = -205,              // SOF: precision other than 8
    kJpegBadHeight = -206,                 // SOF: height 0 or above 8192
    kJpegBadWidth = -207,                  // SOF: width 0 or above 8192
    kJpegTooManyComponents = -208,         // SOF: more than 4 components
    kJpegFrameBadLength = -209,            // SOF: length not 8 + 3 x components
    kJpegSegmentBadLength = -210,          // a skipped segment with length below 2
    kJpegRestartBadLength = -211,          // DRI: length not 4
    kJpegScanBadHeader = -212,             // SOS: length not 6 + 2n, or n not 1 to 4
    kJpegScanBadSelector = -213,           // SOS: selector names no frame component
    kJpegArithmetic = -215,                // SOF9 or DAC
    kJpegUnexpectedMarker = -216,          // RSTn, TEM or JPG in the marker loop, or no SOS
    kJpegNoStartOfImage = -217,            // no SOI in the first bytes, or junk SOI not followed by a marker
    kJpegUnsupportedFrame = -218,          // SOF other than 0, 1, 2; or SOI, EOI, SOS before a frame
    kJpegQuantTooLong = -219,              // DQT: table longer than the segment
    kJpegAllocationTableFull = -221,       // a 101st memory block
    kJpegUndefinedQuantTable = -222,       // scan component with an undefined quantisation table
    kJpegUndefinedHuffmanTable = -223,     // scan component with an undefined Huffman table
    kJpegBadComponentCount = -225,         // component count other than 1 or 3
    kJpegUnsupportedSampling = -226,       // sampling factors outside the accepted subset
    kJpegCorruptData = -227,               // corrupt entropy-coded data; a failed decodeRow returns it
    kJpegBadRestart = -228,                // restart marker missing or out of sequence
    kJpegInternalLimit = -229,             // > 6144 blocks per MCU row, block outside a store; our
                                           // limits on progressive work (1000 scans, 2^27 block visits)
    kJpegBadSpectralSelection = -230,      // progressive scan with invalid spectral selection
    kJpegBadSuccessiveApproximation = -231,  // progressive scan with invalid successive approximation
    kJpegReadFailed = -232,                // the stream's read returned -1
    kJpegOutOfMemory = -233,               // allocation of a memory block failed
};

enum class PixelLayout : int {
    Grey = 0,       // 1 component, MCU 8 x 8, 1 byte per pixel
    Colour444 = 1,  // luma 1x1, MCU 8 x 8
    Colour422 = 2,  // luma 2x1, MCU 16 x 8
    Colour440 = 3,  // luma 1x2, MCU 8 x 16
    Colour420 = 4,  // luma 2x2, MCU 16 x 16
};

// A byte source for the decoder.
class JpegStream {
public:
    virtual ~JpegStream() = default;
    // Copies up to maxBytes into destination; returns the count (0 or more) or -1 on a read
    // error. Sets endOfData once the source is exhausted (possibly with the last bytes).
    virtual int read(uint8_t* destination, int maxBytes, bool& endOfData) = 0;
    // Called once by the decoder's constructor before the first read.
    virtual void notifyStart() {}
    // Called when the decoder releases its memory after an error, before it forgets the stream.
    virtual void notifyRelease() {}
};

// The stream the show uses: a file opened with mode "rb", owned and closed by the stream.
class JpegFileStream : public JpegStream {
public:
    JpegFileStream() = default;
    JpegFileStream(const JpegFileStream&) = delete;
    JpegFileStream& operator=(const JpegFileStream&) = delete;
    ~JpegFileStream() override;
    // Closes any open file first; clears the end-of-data and error flags. False if it cannot open.
    bool open(const char* path);
    void close();
    int read(uint8_t* destination, int maxBytes, bool& endOfData) override;

private:
    std::FILE* file_ = nullptr;
    bool endOfData_ = false;
    bool error_ = false;
};

// Bytes in memory (not owned), for tests, tools and fuzzing. chunkLimit > 0 caps the bytes
// returned by one read, to exercise a source that delivers in small pieces.
class JpegMemoryStream : public JpegStream {
public:
    JpegMemoryStream(const uint8_t* data, size_t size, int chunkLimit = 0)
        : data_(data), size_(size), chunkLimit_(chunkLimit) {}
    int read(uint8_t* destination, int maxBytes, bool& endOfData) override;
    int startCount = 0;
    int releaseCount = 0;
    void notifyStart() override { ++startCount; }
    void notifyRelease() override { ++releaseCount; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    int chunkLimit_;
};

struct JpegDecoderState;

class JpegDecoder {
public:
    // Reads the headers up to and including the frame header. Never throws; check errorCode().
    explicit JpegDecoder(JpegStream& stream);
    ~JpegDecoder();
    JpegDecoder(const JpegDecoder&) = delete;
    JpegDecoder& operator=(const JpegDecoder&) = delete;

    int errorCode() const;
    int width() const;
    int height() const;
    int componentCount() const;
    bool progressive() const;
    // Valid after a successful startDecoding.
    PixelLayout layout() const;
    int bytesPerPixel() const;

    // 0 on success (also when called again after success), -1 on failure.
    int startDecoding();
    // 0: a row was delivered; 1: all rows were delivered (outputs untouched); -1: failed state or
    // not started; kJpegCorruptData (-227): this call failed, errorCode() holds the reason.
    int decodeRow(const uint8_t*& row, int& length);

    // Decodes by the plain reference paths instead of the fast ones: byte-wise bit refill
    // instead of several bytes at once, Huffman decoding without the AC shortcut table, and the
    // portable transform instead of SSE2. Both give identical rows; for tests, fuzzing and
    // benchmarks.
    void useReferencePaths(bool reference);

private:
    std::unique_ptr<JpegDecoderState> state_;
};

}  // namespace ostravel
