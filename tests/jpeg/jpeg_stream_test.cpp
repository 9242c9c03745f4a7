// JpegFileStream and the decoder's byte input: end of data, read errors, small pieces.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/jpeg/jpeg_test_support.h"

using namespace ostravel;
using namespace ostravel::testing;

TEST(JpegFileStream, ReadsThenReportsEndOfData) {
    const std::string path = scratchPath("five.bin");
    writeFile(path, {1, 2, 3, 4, 5});
    JpegFileStream file;
    uint8_t buffer[8] = {};
    bool end = false;
    EXPECT_EQ(file.read(buffer, 8, end), -1) << "no open file";
    ASSERT_TRUE(file.open(path.c_str()));
    EXPECT_EQ(file.read(buffer, 3, end), 3);
    EXPECT_FALSE(end);
    EXPECT_EQ(file.read(buffer, 8, end), 2) << "short read returns the rest";
    EXPECT_TRUE(end);
    EXPECT_EQ(buffer[1], 5);
    end = false;
    EXPECT_EQ(file.read(buffer, 8, end), 0);
    EXPECT_TRUE(end) << "end-of-data stays set";
    ASSERT_TRUE(file.open(path.c_str())) << "reopening clears the flags";
    end = false;
    EXPECT_EQ(file.read(buffer, 5, end), 5);
    EXPECT_FALSE(end);
    EXPECT_FALSE(file.open(scratchPath("missing.jpg").c_str()));
}

TEST(JpegFileStream, ReadErrorIsSticky) {
    // Reading a directory fails with EISDIR: the stream's error flag is set for good.
    const std::string dir = scratchPath("a-directory");
    std::filesystem::create_directories(dir);
    JpegFileStream file;
    ASSERT_TRUE(file.open(dir.c_str()));
    uint8_t buffer[4];
    bool end = false;
    EXPECT_EQ(file.read(buffer, 4, end), -1);
    EXPECT_EQ(file.read(buffer, 4, end), -1);
    EXPECT_FALSE(end);
    JpegFileStream again;
    ASSERT_TRUE(again.open(dir.c_str()));
    JpegDecoder jpeg(again);
    EXPECT_EQ(jpeg.errorCode(), kJpegReadFailed);
}

namespace {
// A source that delivers a few bytes, then fails.
class FailingStream : public JpegStream {
public:
    explicit FailingStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    int read(uint8_t* destination, int maxBytes, bool&) override {
        if (delivered_) return -1;
        delivered_ = true;
        const int n = std::min<int>(maxBytes, int(bytes_.size()));
        std::copy(bytes_.begin(), bytes_.begin() + n, destination);
        return n;
    }
    void notifyRelease() override { ++releases; }
    int releases = 0;

private:
    std::vector<uint8_t> bytes_;
    bool delivered_ = false;
};
}  // namespace

TEST(JpegByteInput, ReadFailureAfterFirstPieceIsMinus232AndReleasesOnce) {
    // The first read fills part of the buffer without the end flag; the refill asks again and
    // gets -1.
    FailingStream stream({0xFF, 0xD8, 0xFF, 0xE0});
    JpegDecoder jpeg(stream);
    EXPECT_EQ(jpeg.errorCode(), kJpegReadFailed);
    EXPECT_EQ(stream.releases, 1);
    const uint8_t* row = nullptr;
    int length = 0;
    EXPECT_EQ(jpeg.startDecoding(), -1);
    EXPECT_EQ(jpeg.decodeRow(row, length), -1);
}

TEST(JpegByteInput, SmallPiecesGiveTheSamePicture) {
    const std::vector<uint8_t> file = readFile(std::string(JPEG_SEEDS_DIR) + "/s1-progressive.jpg");
    ASSERT_FALSE(file.empty());
    const DecodeResult whole = decodeBytes(file);
    ASSERT_EQ(whole.errorCode, 0);
    for (int chunk : {1, 2, 7, 4095}) {
        const DecodeResult pieces = decodeBytes(file, false, chunk);
        EXPECT_EQ(pieces.errorCode, 0) << chunk;
        EXPECT_EQ(pieces.picture.pixels, whole.picture.pixels) << chunk;
    }
    JpegMemoryStream stream(file.data(), file.size());
    {
        JpegDecoder jpeg(stream);
        EXPECT_EQ(stream.startCount, 1);
    }
    EXPECT_EQ(stream.releaseCount, 0) << "a successful decoder does not call notifyRelease";
}
