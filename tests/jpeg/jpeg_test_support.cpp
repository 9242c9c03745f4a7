#include "tests/jpeg/jpeg_test_support.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace ostravel::testing {

DecodeResult decodeBytes(const std::vector<uint8_t>& bytes, bool reference, int chunkLimit) {
    DecodeResult result;
    JpegMemoryStream stream(bytes.data(), bytes.size(), chunkLimit);
    JpegDecoder jpeg(stream);
    jpeg.useReferencePaths(reference);
    result.headerCode = jpeg.errorCode();
    result.errorCode = jpeg.errorCode();
    if (result.headerCode != 0) return result;
    result.startResult = jpeg.startDecoding();
    result.errorCode = jpeg.errorCode();
    if (result.startResult != 0) return result;
    Picture& p = result.picture;
    p.width = jpeg.width();
    p.height = jpeg.height();
    p.channels = jpeg.bytesPerPixel() == 1 ? 1 : 3;
    for (;;) {
        const uint8_t* row = nullptr;
        int length = 0;
        const int r = jpeg.decodeRow(row, length);
        if (r != 0) {
            result.lastResult = r;
            break;
        }
        ++result.rows;
        if (length != p.width * jpeg.bytesPerPixel()) throw std::runtime_error("row length");
        for (int x = 0; x < p.width; ++x)
            for (int c = 0; c < p.channels; ++c) p.pixels.push_back(row[x * jpeg.bytesPerPixel() + c]);
    }
    result.errorCode = jpeg.errorCode();
    return result;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Picture readPnm(const std::string& path) {
    const std::vector<uint8_t> d = readFile(path);
    size_t i = 0;
    auto token = [&] {
        while (i < d.size() && std::isspace(d[i])) ++i;
        std::string t;
        while (i < d.size() && !std::isspace(d[i])) t += char(d[i++]);
        return t;
    };
    Picture p;
    const std::string magic = token();
    p.channels = magic == "P5" ? 1 : 3;
    p.width = std::stoi(token());
    p.height = std::stoi(token());
    token();
    ++i;
    p.pixels.assign(d.begin() + long(i), d.end());
    if (p.pixels.size() != size_t(p.width) * size_t(p.height) * size_t(p.channels))
        throw std::runtime_error("bad pnm " + path);
    return p;
}

void writePpm(const std::string& path, const Picture& p) {
    std::string header = std::string(p.channels == 1 ? "P5" : "P6") + "\n" + std::to_string(p.width) + " " +
                         std::to_string(p.height) + "\n255\n";
    std::vector<uint8_t> bytes(header.begin(), header.end());
    bytes.insert(bytes.end(), p.pixels.begin(), p.pixels.end());
    writeFile(path, bytes);
}

Similarity compare(const Picture& a, const Picture& b) {
    Similarity s;
    if (a.pixels.size() != b.pixels.size() || a.pixels.empty()) return s;
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const int d = int(a.pixels[i]) - int(b.pixels[i]);
        sum += double(d) * d;
        s.maxDifference = std::max(s.maxDifference, std::abs(d));
    }
    const double mse = sum / double(a.pixels.size());
    s.psnr = mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
    return s;
}

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string scratchPath(const std::string& name) {
    std::filesystem::create_directories(JPEG_SCRATCH_DIR);
    return std::string(JPEG_SCRATCH_DIR) + "/" + name;
}

void BitWriter::put(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) {
        accumulator_ = (accumulator_ << 1) | ((bits >> i) & 1);
        if (++count_ == 8) {
            bytes_.push_back(uint8_t(accumulator_));
            if (uint8_t(accumulator_) == 0xFF) bytes_.push_back(0x00);
            accumulator_ = 0;
            count_ = 0;
        }
    }
}

std::vector<uint8_t> BitWriter::finish() {
    while (count_ != 0) put(1, 1);
    std::vector<uint8_t> out = bytes_;
    bytes_.clear();
    return out;
}

StreamBuilder& StreamBuilder::raw(std::initializer_list<int> values) {
    for (int v : values) bytes.push_back(uint8_t(v));
    return *this;
}
StreamBuilder& StreamBuilder::u8(int v) { return raw({v & 0xFF}); }
StreamBuilder& StreamBuilder::u16(int v) { return raw({(v >> 8) & 0xFF, v & 0xFF}); }
StreamBuilder& StreamBuilder::marker(int code) { return raw({0xFF, code}); }

StreamBuilder& StreamBuilder::dqt(int index, int value, bool wide) {
    marker(0xDB).u16(2 + 1 + 64 * (wide ? 2 : 1)).u8((wide ? 0x10 : 0) | index);
    for (int i = 0; i < 64; ++i) wide ? u16(value) : u8(value);
    return *this;
}

StreamBuilder& StreamBuilder::sof(int type, int width, int height, const std::vector<std::vector<int>>& components) {
    marker(type).u16(8 + 3 * int(components.size())).u8(8).u16(height).u16(width).u8(int(components.size()));
    for (const auto& c : components) u8(c[0]).u8(c[1]).u8(c[2]);
    return *this;
}

StreamBuilder& StreamBuilder::dht(int classAndIndex, const std::vector<int>& counts, const std::vector<int>& symbols) {
    marker(0xC4).u16(2 + 1 + 16 + int(symbols.size())).u8(classAndIndex);
    for (int c : counts) u8(c);
    for (int s : symbols) u8(s);
    return *this;
}

StreamBuilder& StreamBuilder::sos(const std::vector<std::vector<int>>& components, int ss, int se, int ahal) {
    marker(0xDA).u16(6 + 2 * int(components.size())).u8(int(components.size()));
    for (const auto& c : components) u8(c[0]).u8(c[1]);
    return u8(ss).u8(se).u8(ahal);
}

StreamBuilder& StreamBuilder::dri(int interval) { return marker(0xDD).u16(4).u16(interval); }

StreamBuilder& StreamBuilder::data(const std::vector<uint8_t>& entropy) {
    bytes.insert(bytes.end(), entropy.begin(), entropy.end());
    return *this;
}

const std::vector<int> kAcSymbols = {0x00, 0xF0, 0x01, 0x02, 0x11, 0x21, 0xD1, 0xE1, 0xF1, 0x03, 0x04, 0x05, 0x06};

namespace {
int category(int v) {
    int n = 0;
    for (int a = std::abs(v); a; a >>= 1) ++n;
    return n;
}
uint32_t magnitudeBits(int v, int n) { return v >= 0 ? uint32_t(v) : uint32_t(v + (1 << n) - 1); }
}  // namespace

void putDc(BitWriter& w, int difference) {
    const int n = category(difference);
    w.put(uint32_t(n), 4);
    if (n) w.put(magnitudeBits(difference, n), n);
}

void putAc(BitWriter& w, int run, int value) {
    const int n = category(value);
    const int symbol = (run << 4) | n;
    const auto it = std::find(kAcSymbols.begin(), kAcSymbols.end(), symbol);
    if (it == kAcSymbols.end()) throw std::runtime_error("symbol not in the test table");
    w.put(uint32_t(it - kAcSymbols.begin()), 8);
    if (n) w.put(magnitudeBits(value, n), n);
}

StreamBuilder& simpleTables(StreamBuilder& b, int dcIndex, int acIndex) {
    std::vector<int> dcCounts(16, 0), acCounts(16, 0);
    dcCounts[3] = 12;
    acCounts[7] = int(kAcSymbols.size());
    std::vector<int> dcSymbols;
    for (int s = 0; s < 12; ++s) dcSymbols.push_back(s);
    b.dht(0x00 | dcIndex, dcCounts, dcSymbols);
    b.dht(0x10 | acIndex, acCounts, kAcSymbols);
    return b;
}

}  // namespace ostravel::testing
