#pragma once
// JPEG file writer for the content generators (textures of the show and of the head model).
//
// Purpose: write an RGB image as a JFIF file through libjpeg-turbo's libjpeg API, choosing the
// coding process and chroma sampling so that the show's files exercise every path our own
// decoder accepts (baseline and progressive; luma sampling 1x1, 2x1, 1x2, 2x2; restart intervals).
// Limits: 8-bit RGB input only, always written as three YCbCr components (the show's texture
// loaders need colour files even for grey content such as alpha masks).
// Conventions: `rgb` holds width x height pixels, rows top to bottom, 3 bytes (R, G, B) each.
// Output is byte-identical for identical input (libjpeg writes no time stamps).

#include <cstdint>
#include <string>
#include <vector>

namespace ostravel {

enum class ChromaSampling {
    s444,  // luma 1x1
    s422,  // luma 2x1 (horizontal x vertical)
    s440,  // luma 1x2
    s420,  // luma 2x2
};

struct JpegOptions {
    int quality = 90;                            // libjpeg quality scale, 1..100
    bool progressive = false;                    // SOF2 with libjpeg's default scan script
    ChromaSampling sampling = ChromaSampling::s420;
    int restartRows = 0;                         // restart marker every N MCU rows; 0 = none
    bool optimiseHuffman = false;                // per-image Huffman tables instead of T.81 K.3
};

// Returns false when the size is out of range (1..8192), the buffer is too small or the file
// cannot be written.
bool writeJpeg(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height,
               const JpegOptions& options);

}  // namespace ostravel
