// Marker parsing, frame and table segments, calling order and the failed state, on hand-built
// streams (each test builds exactly the bytes it needs).
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "tests/jpeg/jpeg_test_support.h"

using namespace ostravel;
using namespace ostravel::testing;

namespace {

// Flat blocks (DC differences given, all AC zero).
std::vector<uint8_t> flatBlocks(const std::vector<int>& dcDifferences) {
    BitWriter w;
    for (int d : dcDifferences) {
        putDc(w, d);
        putAc(w, 0, 0);
    }
    return w.finish();
}

StreamBuilder greyHeader(int width, int height, int hv = 0x11) {
    StreamBuilder b;
    b.soi().dqt(0, 1).sof(0xC0, width, height, {{1, hv, 0}});
    return simpleTables(b);
}

std::vector<uint8_t> greyFile(int width, int height, int blocks) {
    StreamBuilder b = greyHeader(width, height);
    return b.sos({{1, 0x00}}).data(flatBlocks(std::vector<int>(size_t(blocks), 0))).eoi().bytes;
}

int headerCode(const std::vector<uint8_t>& bytes) {
    JpegMemoryStream stream(bytes.data(), bytes.size());
    JpegDecoder jpeg(stream);
    return jpeg.errorCode();
}

}  // namespace

TEST(JpegHeaders, StartOfImageAndLeadingJunk) {
    const std::vector<uint8_t> good = greyFile(8, 8, 1);
    EXPECT_EQ(decodeBytes(good).errorCode, 0);

    std::vector<uint8_t> junk511(511, 0x41);
    junk511.insert(junk511.end(), good.begin(), good.end());
    EXPECT_EQ(decodeBytes(junk511).errorCode, 0) << "511 bytes of junk are skipped";

    std::vector<uint8_t> junk512(512, 0x41);
    junk512.insert(junk512.end(), good.begin(), good.end());
    EXPECT_EQ(headerCode(junk512), kJpegNoStartOfImage);

    std::vector<uint8_t> notMarker = {0x00, 0xFF, 0xD8, 0x00};
    notMarker.insert(notMarker.end(), good.begin() + 2, good.end());
    EXPECT_EQ(headerCode(notMarker), kJpegNoStartOfImage) << "junk SOI must be followed by FF";

    std::vector<uint8_t> direct = {0xFF, 0xD8, 0x00};
    direct.insert(direct.end(), good.begin() + 2, good.end());
    EXPECT_EQ(headerCode(direct), 0) << "SOI at the start: the next byte is not looked at";

    EXPECT_EQ(headerCode({}), kJpegNoStartOfImage);
}

TEST(JpegHeaders, FrameSizeLimits) {
    EXPECT_EQ(headerCode(greyHeader(8193, 8).bytes), kJpegBadWidth);
    EXPECT_EQ(headerCode(greyHeader(0, 8).bytes), kJpegBadWidth);
    EXPECT_EQ(headerCode(greyHeader(8, 0).bytes), kJpegBadHeight);
    EXPECT_EQ(headerCode(greyHeader(8, 8193).bytes), kJpegBadHeight);
    const DecodeResult wide = decodeBytes(greyFile(8192, 8, 1024));
    EXPECT_EQ(wide.errorCode, 0);
    EXPECT_EQ(wide.rows, 8);
    EXPECT_EQ(wide.picture.width, 8192);
}

TEST(JpegHeaders, FrameHeaderFields) {
    StreamBuilder precision;
    precision.soi().marker(0xC0).u16(11).u8(12).u16(8).u16(8).u8(1).raw({1, 0x11, 0});
    EXPECT_EQ(headerCode(precision.bytes), kJpegBadPrecision);
    StreamBuilder five;
    five.soi().sof(0xC0, 8, 8, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}, {4, 0x11, 0}, {5, 0x11, 0}});
    EXPECT_EQ(headerCode(five.bytes), kJpegTooManyComponents);
    StreamBuilder length;
    length.soi().marker(0xC0).u16(12).u8(8).u16(8).u16(8).u8(1).raw({1, 0x11, 0, 0});
    EXPECT_EQ(headerCode(length.bytes), kJpegFrameBadLength);
}

TEST(JpegHeaders, FrameTypes) {
    auto withFrame = [](int type) {
        StreamBuilder b;
        b.soi().sof(type, 8, 8, {{1, 0x11, 0}});
        return headerCode(b.bytes);
    };
    EXPECT_EQ(withFrame(0xC0), 0);
    EXPECT_EQ(withFrame(0xC1), 0);
    EXPECT_EQ(withFrame(0xC2), 0);
    EXPECT_EQ(withFrame(0xC3), kJpegUnsupportedFrame);
    EXPECT_EQ(withFrame(0xCB), kJpegUnsupportedFrame);
    EXPECT_EQ(withFrame(0xC9), kJpegArithmetic);
    StreamBuilder dac;
    dac.soi().marker(0xCC).u16(4).u16(0);
    EXPECT_EQ(headerCode(dac.bytes), kJpegArithmetic);
    StreamBuilder eoi;
    eoi.soi().eoi();
    EXPECT_EQ(headerCode(eoi.bytes), kJpegUnsupportedFrame);
    StreamBuilder sos;
    sos.soi().sos({{1, 0}});
    EXPECT_EQ(headerCode(sos.bytes), kJpegUnsupportedFrame);
    StreamBuilder truncated;
    truncated.soi();
    EXPECT_EQ(headerCode(truncated.bytes), kJpegUnsupportedFrame) << "the synthesised EOI ends the header";
}

TEST(JpegHeaders, TableSegments) {
    std::vector<int> counts(16, 0);
    counts[7] = 255;
    counts[8] = 1;
    StreamBuilder too;
    too.soi().dht(0x10, counts, std::vector<int>(256, 1));
    EXPECT_EQ(headerCode(too.bytes), kJpegHuffmanTooManySymbols);

    std::vector<int> one(16, 0);
    one[0] = 1;
    StreamBuilder slot;
    slot.soi().dht(0x14, one, {0});
    EXPECT_EQ(headerCode(slot.bytes), kJpegHuffmanBadSlot);
    StreamBuilder dcFive;
    dcFive.soi().dht(0x05, one, {0}).sof(0xC0, 8, 8, {{1, 0x11, 0}});
    EXPECT_EQ(headerCode(dcFive.bytes), 0) << "DC table 5 lands in slot 5 without error";

    StreamBuilder shortDht;
    shortDht.soi().marker(0xC4).u16(1);
    EXPECT_EQ(headerCode(shortDht.bytes), kJpegHuffmanBadLength);
    StreamBuilder longTable;
    longTable.soi().marker(0xC4).u16(2 + 17 + 2).u8(0).raw({0, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).raw({1, 2});
    EXPECT_EQ(headerCode(longTable.bytes), kJpegHuffmanBadLength);

    StreamBuilder shortDqt;
    shortDqt.soi().marker(0xDB).u16(1);
    EXPECT_EQ(headerCode(shortDqt.bytes), kJpegQuantBadLength);
    StreamBuilder index;
    index.soi().dqt(4, 1);
    EXPECT_EQ(headerCode(index.bytes), kJpegQuantBadIndex);
    StreamBuilder longDqt;
    longDqt.soi().marker(0xDB).u16(2 + 65).u8(0x10);
    for (int i = 0; i < 64; ++i) longDqt.u8(1);
    EXPECT_EQ(headerCode(longDqt.bytes), kJpegQuantTooLong) << "16-bit table needs 129 bytes";

    StreamBuilder app;
    app.soi().marker(0xE0).u16(1);
    EXPECT_EQ(headerCode(app.bytes), kJpegSegmentBadLength);
    StreamBuilder dri;
    dri.soi().marker(0xDD).u16(5).u16(1).u8(0);
    EXPECT_EQ(headerCode(dri.bytes), kJpegRestartBadLength);
    for (int code : {0xD0, 0xD7, 0x01, 0xC8}) {
        StreamBuilder b;
        b.soi().marker(code);
        EXPECT_EQ(headerCode(b.bytes), kJpegUnexpectedMarker) << code;
    }
    StreamBuilder skipped;
    skipped.soi().marker(0xE1).u16(6).raw({0xFF, 0xD9, 0xFF, 0xD9}).marker(0xFE).u16(2).raw({0x12, 0xFF, 0x00});
    skipped.sof(0xC1, 8, 8, {{1, 0x11, 0}});
    EXPECT_EQ(headerCode(skipped.bytes), 0) << "APPn and COM skipped by length; stray bytes and FF 00 ignored";
}

TEST(JpegHeaders, ScanHeaderChecks) {
    {
        StreamBuilder b = greyHeader(8, 8);
        b.marker(0xDA).u16(9).u8(1).raw({1, 0, 0, 63, 0});
        DecodeResult r = decodeBytes(b.bytes);
        EXPECT_EQ(r.headerCode, 0);
        EXPECT_EQ(r.startResult, -1);
        EXPECT_EQ(r.errorCode, kJpegScanBadHeader);
    }
    {
        StreamBuilder b = greyHeader(8, 8);
        b.marker(0xDA).u16(6).u8(0).raw({0, 63, 0});
        EXPECT_EQ(decodeBytes(b.bytes).errorCode, kJpegScanBadHeader);
    }
    {
        StreamBuilder b = greyHeader(8, 8);
        b.sos({{2, 0x00}});
        EXPECT_EQ(decodeBytes(b.bytes).errorCode, kJpegScanBadSelector);
    }
    {
        StreamBuilder b;
        b.soi().dqt(0, 1).sof(0xC0, 8, 8, {{1, 0x11, 1}});
        simpleTables(b).sos({{1, 0x00}}).data(flatBlocks({0})).eoi();
        EXPECT_EQ(decodeBytes(b.bytes).errorCode, kJpegUndefinedQuantTable);
    }
    {
        StreamBuilder b = greyHeader(8, 8);
        b.sos({{1, 0x11}}).data(flatBlocks({0})).eoi();
        EXPECT_EQ(decodeBytes(b.bytes).errorCode, kJpegUndefinedHuffmanTable);
    }
    {
        StreamBuilder b = greyHeader(8, 8);
        b.eoi();
        EXPECT_EQ(decodeBytes(b.bytes).errorCode, kJpegUnexpectedMarker) << "a sequential image needs a scan";
    }
    {
        // The DC table given as class 0 index 5 serves as AC table 1 (slot 5).
        StreamBuilder b;
        b.soi().dqt(0, 1).sof(0xC0, 8, 8, {{1, 0x11, 0}});
        std::vector<int> dcCounts(16, 0), acCounts(16, 0);
        dcCounts[3] = 12;
        acCounts[7] = int(kAcSymbols.size());
        b.dht(0x00, dcCounts, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}).dht(0x05, acCounts, kAcSymbols);
        b.sos({{1, 0x01}}).data(flatBlocks({8})).eoi();
        const DecodeResult r = decodeBytes(b.bytes);
        EXPECT_EQ(r.errorCode, 0);
        EXPECT_EQ(r.picture.pixels[0], 129) << "DC 8 with quantisation 1: 128 + 8 x 4 / 32";
    }
}

TEST(JpegHeaders, ComponentCountsAndSampling) {
    auto colour = [](int lumaHv, int cbHv) {
        StreamBuilder b;
        b.soi().dqt(0, 1).sof(0xC0, 24, 16, {{1, lumaHv, 0}, {2, cbHv, 0}, {3, 0x11, 0}});
        return simpleTables(b).sos({{1, 0}, {2, 0}, {3, 0}}).eoi().bytes;
    };
    {
        const std::vector<uint8_t> bytes = colour(0x22, 0x21);
        JpegMemoryStream stream(bytes.data(), bytes.size());
        JpegDecoder jpeg(stream);
        EXPECT_EQ(jpeg.errorCode(), 0) << "sampling is checked in startDecoding, not the constructor";
        EXPECT_EQ(jpeg.width(), 24);
        EXPECT_EQ(jpeg.height(), 16);
        EXPECT_EQ(jpeg.startDecoding(), -1);
        EXPECT_EQ(jpeg.errorCode(), kJpegUnsupportedSampling);
        EXPECT_EQ(stream.releaseCount, 1);
    }
    EXPECT_EQ(decodeBytes(colour(0x31, 0x11)).errorCode, kJpegUnsupportedSampling);
    EXPECT_EQ(decodeBytes(colour(0x10, 0x11)).errorCode, kJpegUnsupportedSampling);
    EXPECT_EQ(decodeBytes(colour(0x22, 0x11)).errorCode, 0);
    EXPECT_EQ(decodeBytes(colour(0x12, 0x11)).errorCode, 0);
    for (int count : {2, 4}) {
        std::vector<std::vector<int>> components;
        for (int i = 0; i < count; ++i) components.push_back({i + 1, 0x11, 0});
        StreamBuilder b;
        b.soi().dqt(0, 1).sof(0xC0, 8, 8, components);
        const DecodeResult r = decodeBytes(simpleTables(b).sos({{1, 0}}).eoi().bytes);
        EXPECT_EQ(r.headerCode, 0);
        EXPECT_EQ(r.errorCode, kJpegBadComponentCount) << count;
    }
    StreamBuilder zero = greyHeader(8, 8, 0x01);
    EXPECT_EQ(decodeBytes(zero.sos({{1, 0}}).eoi().bytes).errorCode, kJpegUnsupportedSampling);
    StreamBuilder greyTwoByTwo = greyHeader(16, 8, 0x22);
    const DecodeResult lone = decodeBytes(greyTwoByTwo.sos({{1, 0}}).data(flatBlocks({8, 8})).eoi().bytes);
    EXPECT_EQ(lone.errorCode, 0) << "a lone component is never interleaved: its factors do not matter";
    EXPECT_EQ(lone.picture.pixels[15], 130);
}

TEST(JpegHeaders, CallingOrderAndRows) {
    const std::vector<uint8_t> bytes = greyFile(17, 9, 6);
    JpegMemoryStream stream(bytes.data(), bytes.size());
    JpegDecoder jpeg(stream);
    ASSERT_EQ(jpeg.errorCode(), 0);
    const uint8_t* row = reinterpret_cast<const uint8_t*>(&jpeg);
    int length = -5;
    EXPECT_EQ(jpeg.decodeRow(row, length), -1) << "before startDecoding";
    EXPECT_EQ(jpeg.startDecoding(), 0);
    EXPECT_EQ(jpeg.startDecoding(), 0) << "again after success";
    EXPECT_EQ(jpeg.layout(), PixelLayout::Grey);
    for (int y = 0; y < 9; ++y) {
        ASSERT_EQ(jpeg.decodeRow(row, length), 0);
        EXPECT_EQ(length, 17) << "grey rows are width bytes";
    }
    const uint8_t* const before = row;
    EXPECT_EQ(jpeg.decodeRow(row, length), 1);
    EXPECT_EQ(jpeg.decodeRow(row, length), 1);
    EXPECT_EQ(row, before);
    EXPECT_EQ(length, 17);
    EXPECT_EQ(jpeg.errorCode(), 0);
}

TEST(JpegHeaders, OnePixelColourRow) {
    StreamBuilder b;
    b.soi().dqt(0, 1).sof(0xC0, 1, 1, {{1, 0x22, 0}, {2, 0x11, 0}, {3, 0x11, 0}});
    BitWriter w;
    for (int dc : {80, 0, 0, 0}) {  // four luma blocks: differences from the predictor
        putDc(w, dc);
        putAc(w, 0, 0);
    }
    putDc(w, 0);  // Cb
    putAc(w, 0, 0);
    putDc(w, 160);  // Cr
    putAc(w, 0, 0);
    simpleTables(b).sos({{1, 0}, {2, 0}, {3, 0}}).data(w.finish()).eoi();
    JpegMemoryStream stream(b.bytes.data(), b.bytes.size());
    JpegDecoder jpeg(stream);
    ASSERT_EQ(jpeg.startDecoding(), 0);
    EXPECT_EQ(jpeg.layout(), PixelLayout::Colour420);
    const uint8_t* row = nullptr;
    int length = 0;
    ASSERT_EQ(jpeg.decodeRow(row, length), 0);
    ASSERT_EQ(length, 4);
    // Y = 128 + 80 x 4 / 32 = 138, Cr = 148: R = 138 + 28, G = 138 + floor(-903272 / 65536), B = 138.
    EXPECT_EQ(row[0], 166);
    EXPECT_EQ(row[1], 124);
    EXPECT_EQ(row[2], 138);
    EXPECT_EQ(row[3], 0);
    EXPECT_EQ(jpeg.decodeRow(row, length), 1);
}

TEST(JpegHeaders, FailedAllocationIsMinus233) {
    // An 8192 x 8192 progressive 4:4:4 picture keeps 3 x 136 MB of coefficients; in a child
    // process whose address space has room for only 200 MB more, the second store cannot be had.
    StreamBuilder b;
    b.soi().dqt(0, 1).sof(0xC2, 8192, 8192, {{1, 0x11, 0}, {2, 0x11, 0}, {3, 0x11, 0}});
    const std::vector<uint8_t> bytes = simpleTables(b).eoi().bytes;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(200) << 20);
        const rlimit r{limit, limit};
        setrlimit(RLIMIT_AS, &r);
        JpegMemoryStream stream(bytes.data(), bytes.size());
        JpegDecoder jpeg(stream);
        const int start = jpeg.startDecoding();
        _exit(start == -1 && jpeg.errorCode() == kJpegOutOfMemory && stream.releaseCount == 1 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // Without the limit the same header decodes (to a flat picture) until its synthesised end.
    JpegMemoryStream stream(bytes.data(), bytes.size());
    JpegDecoder jpeg(stream);
    EXPECT_EQ(jpeg.errorCode(), 0);
}
