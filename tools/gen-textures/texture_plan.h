#pragma once
// The plan of the show's JPEG textures (folder "textures/"), shared by gen-textures and tests.
// The codings are mixed on purpose so that loading the show exercises every decoder path:
// baseline and progressive, luma sampling 1x1, 2x1, 1x2 and 2x2, restart intervals, standard
// and optimised Huffman tables, and a width that is not a multiple of the MCU. Widths are all
// multiples of 4 (RGB rows reach GL with the default unpack alignment of 4).

#include "tools/jpegwriter/jpeg_writer.h"

#include <array>

namespace ostravel::textureplan {

struct TextureFile {
    const char* name;
    int width, height;
    JpegOptions coding;  // quality, progressive, sampling, restart rows, optimised Huffman
};

inline constexpr std::array<TextureFile, 9> kTextures = {{
    {"blob41b.jpg", 256, 256, {95, true, ChromaSampling::s444, 0, false}},   // glow atlas, slot 10
    {"cir.jpg", 128, 128, {92, false, ChromaSampling::s420, 0, false}},      // mosaic disc, slot 13
    {"ciralpha.jpg", 128, 128, {95, false, ChromaSampling::s444, 0, true}},  // its alpha mask
    {"circle.jpg", 64, 64, {92, true, ChromaSampling::s440, 0, false}},      // dot screen, slot 14
    {"z1.jpg", 256, 256, {88, false, ChromaSampling::s420, 0, false}},       // cards, slots 20..24
    {"z2.jpg", 256, 256, {90, true, ChromaSampling::s444, 0, false}},
    {"z3.jpg", 256, 256, {90, false, ChromaSampling::s444, 2, false}},
    {"z4.jpg", 200, 200, {88, true, ChromaSampling::s420, 0, false}},
    {"z5.jpg", 236, 236, {90, false, ChromaSampling::s422, 3, true}},
}};

}  // namespace ostravel::textureplan
