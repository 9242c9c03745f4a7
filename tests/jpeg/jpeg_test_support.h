// Helpers for the JPEG tests: a byte-stream builder for hand-made files, decoding to a plain
// picture, and the cjpeg/djpeg peer programs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/jpeg.h"

namespace ostravel::testing {

// A decoded picture: 1 (grey) or 3 (RGB) channels, rows top to bottom.
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> pixels;
};

struct DecodeResult {
    int headerCode = 0;  // errorCode after the constructor
    int startResult = 0;
    int rows = 0;        // rows delivered
    int lastResult = 0;  // result of the call after the last row (1 when all went well)
    int errorCode = 0;   // errorCode at the end
    Picture picture;
};

DecodeResult decodeBytes(const std::vector<uint8_t>& bytes, bool reference = false, int chunkLimit = 0);
std::vector<uint8_t> readFile(const std::string& path);
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
// PPM (P6) or PGM (P5) with maxval 255.
Picture readPnm(const std::string& path);
void writePpm(const std::string& path, const Picture& picture);

struct Similarity {
    double psnr = 0;  // dB; 99 when identical
    int maxDifference = 0;
};
Similarity compare(const Picture& a, const Picture& b);

// Runs a command line; returns its exit status.
int run(const std::string& command);
std::string scratchPath(const std::string& name);

// Entropy-coded bits, written most significant bit first, padded with 1-bits, FF stuffed.
class BitWriter {
public:
    void put(uint32_t bits, int count);
    std::vector<uint8_t> finish();

private:
    std::vector<uint8_t> bytes_;
    uint32_t accumulator_ = 0;
    int count_ = 0;
};

// Marker segments, byte by byte.
class StreamBuilder {
public:
    std::vector<uint8_t> bytes;
    StreamBuilder& raw(std::initializer_list<int> values);
    StreamBuilder& u8(int v);
    StreamBuilder& u16(int v);
    StreamBuilder& marker(int code);
    StreamBuilder& soi() { return marker(0xD8); }
    StreamBuilder& eoi() { return marker(0xD9); }
    // All 64 entries set to `value`.
    StreamBuilder& dqt(int index, int value, bool wide = false);
    // Components as {id, hv, quant index}.
    StreamBuilder& sof(int type, int width, int height, const std::vector<std::vector<int>>& components);
    // counts[0..15] for code lengths 1..16.
    StreamBuilder& dht(int classAndIndex, const std::vector<int>& counts, const std::vector<int>& symbols);
    // Components as {selector, tables}.
    StreamBuilder& sos(const std::vector<std::vector<int>>& components, int ss = 0, int se = 63, int ahal = 0);
    StreamBuilder& dri(int interval);
    StreamBuilder& data(const std::vector<uint8_t>& entropy);
};

// Tables of the hand-built streams: DC symbol s has the 4-bit code s (s = 0..11); AC symbol
// kAcSymbols[i] has the 8-bit code i.
extern const std::vector<int> kAcSymbols;
void putDc(BitWriter& w, int difference);
void putAc(BitWriter& w, int run, int value);  // value 0 with run 0: EOB; run 15 value 0: ZRL
StreamBuilder& simpleTables(StreamBuilder& b, int dcIndex = 0, int acIndex = 0);

}  // namespace ostravel::testing
