// Fuzz target over the JPEG decoder, reading from memory.
//
// Each input is decoded twice, once by the fast paths from a stream that hands over everything
// at once and once by the reference paths (byte-wise bit refill, no AC shortcut, portable
// transform) from a stream that hands over 7 bytes per read; both runs must agree on every code
// and every row, or the target aborts.
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

Outcome decode(const uint8_t* data, size_t size, bool reference, int chunkLimit) {
    using namespace ostravel;
    Outcome outcome;
    JpegMemoryStream stream(data, size, chunkLimit);
    JpegDecoder jpeg(stream);
    jpeg.useReferencePaths(reference);
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
    const Outcome fast = decode(data, size, false, 0);
    const Outcome reference = decode(data, size, true, 7);
    if (fast.headerCode != reference.headerCode || fast.startResult != reference.startResult ||
        fast.rowResults != reference.rowResults || fast.pixels != reference.pixels)
        std::abort();
    return 0;
}
