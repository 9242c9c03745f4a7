// Fuzz target over the JPEG decoder, reading from memory.
//
// Each input is decoded twice, once with the SSE2 transform from a stream that hands over
// everything at once and once with the portable transform from a stream that hands over 7
// bytes per read; both runs must agree on every code and every row, or the target aborts.
// Pictures above 256 kilopixels are only parsed up to the frame header, to keep each input well
// under a second under the sanitizers.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assets/jpeg.h"

namespace {

struct Outcome {
    int headerCode = 0;
    int startResult = 0;
    std::vector<int> rowResults;
    std::vector<uint8_t> pixels;
};

Outcome decode(const uint8_t* data, size_t size, bool portable, int chunkLimit) {
    using namespace ostravel;
    Outcome outcome;
    JpegMemoryStream stream(data, size, chunkLimit);
    JpegDecoder jpeg(stream);
    jpeg.usePortableTransform(portable);
    outcome.headerCode = jpeg.errorCode();
    if (outcome.headerCode != 0) return outcome;
    if (long(jpeg.width()) * long(jpeg.height()) > (1L << 18)) return outcome;
    outcome.startResult = jpeg.startDecoding();
    for (int y = 0; y <= jpeg.height(); ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        const int result = jpeg.decodeRow(row, length);
        outcome.rowResults.push_back(result);
        if (result != 0) break;
        if (length != jpeg.width() * jpeg.bytesPerPixel()) std::abort();
        outcome.pixels.insert(outcome.pixels.end(), row, row + length);
    }
    outcome.rowResults.push_back(jpeg.errorCode());
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Outcome simd = decode(data, size, false, 0);
    const Outcome portable = decode(data, size, true, 7);
    if (simd.headerCode != portable.headerCode || simd.startResult != portable.startResult ||
        simd.rowResults != portable.rowResults || simd.pixels != portable.pixels)
        std::abort();
    return 0;
}
