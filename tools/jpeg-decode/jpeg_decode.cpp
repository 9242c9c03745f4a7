// jpeg-decode: decodes a JPEG with the show's own decoder and writes the picture as PPM (colour)
// or PGM (grey). Prints the size, the pixel layout and the error code; exits 0 only on success.
//
//   jpeg-decode [--reference] input.jpg [output.ppm|output.pgm]
//
// --reference decodes by the plain reference paths (same rows: see JpegDecoder::useReferencePaths).
// Without an output path the picture is decoded and checked but not written.
#include <cstdio>
#include <cstring>
#include <vector>

#include "assets/jpeg.h"

using namespace ostravel;

namespace {

const char* layoutName(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::Grey: return "grey";
        case PixelLayout::Colour444: return "colour444";
        case PixelLayout::Colour422: return "colour422";
        case PixelLayout::Colour440: return "colour440";
        case PixelLayout::Colour420: return "colour420";
    }
    return "?";
}

int report(const JpegDecoder& jpeg, const char* stage, int rows) {
    std::printf("size %d x %d, %s, rows %d, error %d (%s)\n", jpeg.width(), jpeg.height(),
                jpeg.errorCode() == 0 ? layoutName(jpeg.layout()) : "-", rows, jpeg.errorCode(), stage);
    return jpeg.errorCode() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int arg = 1;
    bool reference = false;
    if (arg < argc && std::strcmp(argv[arg], "--reference") == 0) {
        reference = true;
        ++arg;
    }
    if (arg >= argc) {
        std::fprintf(stderr, "usage: jpeg-decode [--reference] input.jpg [output.ppm|output.pgm]\n");
        return 2;
    }
    const char* input = argv[arg];
    const char* output = arg + 1 < argc ? argv[arg + 1] : nullptr;
    JpegFileStream file;
    if (!file.open(input)) {
        std::fprintf(stderr, "jpeg-decode: cannot open %s\n", input);
        return 1;
    }
    JpegDecoder jpeg(file);
    jpeg.useReferencePaths(reference);
    if (jpeg.errorCode() != 0) return report(jpeg, "header", 0);
    if (jpeg.startDecoding() != 0) return report(jpeg, "start", 0);
    const int channels = jpeg.bytesPerPixel() == 1 ? 1 : 3;
    std::vector<unsigned char> picture(size_t(jpeg.width()) * size_t(jpeg.height()) * size_t(channels));
    int rows = 0;
    for (int y = 0; y < jpeg.height(); ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        if (jpeg.decodeRow(row, length) != 0) return report(jpeg, "rows", rows);
        ++rows;
        unsigned char* out = &picture[size_t(y) * size_t(jpeg.width()) * size_t(channels)];
        for (int x = 0; x < jpeg.width(); ++x)
            for (int c = 0; c < channels; ++c) out[x * channels + c] = row[x * jpeg.bytesPerPixel() + c];
    }
    const uint8_t* extra = nullptr;
    int extraLength = 0;
    if (jpeg.decodeRow(extra, extraLength) != 1) return report(jpeg, "after last row", rows);
    if (output) {
        std::FILE* f = std::fopen(output, "wb");
        if (!f) {
            std::fprintf(stderr, "jpeg-decode: cannot write %s\n", output);
            return 1;
        }
        std::fprintf(f, "P%d\n%d %d\n255\n", channels == 1 ? 5 : 6, jpeg.width(), jpeg.height());
        const bool written = std::fwrite(picture.data(), 1, picture.size(), f) == picture.size();
        if (std::fclose(f) != 0 || !written) {
            std::fprintf(stderr, "jpeg-decode: cannot write %s\n", output);
            return 1;
        }
    }
    return report(jpeg, "done", rows);
}
