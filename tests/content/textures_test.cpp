// The show's JPEG textures: every file decodes with libjpeg-turbo and with our own decoder, at
// the planned size and coding, and the two decoders agree on the pixels.
#include "assets/jpeg.h"
#include "tests/content/show_folder.h"
#include "tools/gen-textures/texture_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <cstdio>
#include <set>
#include <vector>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace ostravel::textureplan {
// Names the parameter in test listings (instead of its bytes).
void PrintTo(const TextureFile& file, std::ostream* os) { *os << file.name; }
}  // namespace ostravel::textureplan

namespace {

using ostravel::contenttest::showPath;
using ostravel::textureplan::kTextures;
using ostravel::textureplan::TextureFile;

struct PeerImage {
    int width = 0, height = 0;
    bool progressive = false;
    int lumaH = 0, lumaV = 0, chromaH = 0, chromaV = 0, components = 0;
    unsigned restartInterval = 0;
    std::vector<uint8_t> rgb;  // top row first
    int warnings = 0;
};

// libjpeg-turbo, set to what our decoder does (replicated chroma, fast integer IDCT) so that the
// two can be compared pixel by pixel.
PeerImage decodeWithLibjpeg(const std::string& path) {
    PeerImage out;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    jpeg_read_header(&info, TRUE);
    out.progressive = info.progressive_mode;
    out.components = info.num_components;
    out.lumaH = info.comp_info[0].h_samp_factor;
    out.lumaV = info.comp_info[0].v_samp_factor;
    if (info.num_components == 3) {
        out.chromaH = info.comp_info[1].h_samp_factor;
        out.chromaV = info.comp_info[1].v_samp_factor;
    }
    out.restartInterval = info.restart_interval;
    info.out_color_space = JCS_RGB;
    info.do_fancy_upsampling = FALSE;
    info.dct_method = JDCT_IFAST;
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.rgb.data() + static_cast<size_t>(info.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    out.restartInterval = info.restart_interval;  // known once the scans were read
    jpeg_finish_decompress(&info);
    out.warnings = static_cast<int>(errors.num_warnings);
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return out;
}

struct OurImage {
    int error = -1;
    int width = 0, height = 0;
    ostravel::PixelLayout layout = ostravel::PixelLayout::Grey;
    std::vector<uint8_t> rgb;
};

OurImage decodeWithOurs(const std::string& path) {
    OurImage out;
    ostravel::JpegFileStream file;
    if (!file.open(path.c_str())) return out;
    ostravel::JpegDecoder jpeg(file);
    out.error = jpeg.errorCode();
    if (out.error != 0) return out;
    out.width = jpeg.width();
    out.height = jpeg.height();
    if (jpeg.startDecoding() != 0) {
        out.error = jpeg.errorCode();
        return out;
    }
    out.layout = jpeg.layout();
    for (int y = 0; y < out.height; ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        if (jpeg.decodeRow(row, length) != 0) {
            out.error = jpeg.errorCode() != 0 ? jpeg.errorCode() : -1;
            return out;
        }
        for (int x = 0; x < out.width; ++x) {
            for (int c = 0; c < 3; ++c) out.rgb.push_back(row[x * 4 + c]);
        }
    }
    return out;
}

int expectedLumaH(ostravel::ChromaSampling s) {
    return (s == ostravel::ChromaSampling::s422 || s == ostravel::ChromaSampling::s420) ? 2 : 1;
}
int expectedLumaV(ostravel::ChromaSampling s) {
    return (s == ostravel::ChromaSampling::s440 || s == ostravel::ChromaSampling::s420) ? 2 : 1;
}

class ShowTexture : public testing::TestWithParam<TextureFile> {};

TEST_P(ShowTexture, LibjpegTurboDecodesItAtThePlannedSizeAndCoding) {
    const TextureFile& plan = GetParam();
    const PeerImage peer = decodeWithLibjpeg(showPath(std::string("textures/") + plan.name));
    ASSERT_EQ(peer.width, plan.width) << plan.name;
    EXPECT_EQ(peer.height, plan.height);
    EXPECT_EQ(peer.width % 4, 0) << "RGB rows must be whole multiples of 4 bytes";
    EXPECT_EQ(peer.warnings, 0);
    EXPECT_EQ(peer.components, 3) << "the texture loaders need colour files";
    EXPECT_EQ(peer.progressive, plan.coding.progressive);
    EXPECT_EQ(peer.lumaH, expectedLumaH(plan.coding.sampling));
    EXPECT_EQ(peer.lumaV, expectedLumaV(plan.coding.sampling));
    EXPECT_EQ(peer.chromaH, 1);
    EXPECT_EQ(peer.chromaV, 1);
    EXPECT_EQ(peer.restartInterval > 0, plan.coding.restartRows > 0);
}

TEST_P(ShowTexture, OurDecoderAgreesWithLibjpegTurbo) {
    const TextureFile& plan = GetParam();
    const std::string path = showPath(std::string("textures/") + plan.name);
    const OurImage ours = decodeWithOurs(path);
    ASSERT_EQ(ours.error, 0) << plan.name;
    ASSERT_EQ(ours.width, plan.width);
    ASSERT_EQ(ours.height, plan.height);
    const PeerImage peer = decodeWithLibjpeg(path);
    ASSERT_EQ(ours.rgb.size(), peer.rgb.size());
    // Same IDCT family and chroma replication: only rounding in the colour conversion may differ.
    double sum = 0;
    int worst = 0;
    for (size_t i = 0; i < ours.rgb.size(); ++i) {
        const int d = std::abs(int(ours.rgb[i]) - int(peer.rgb[i]));
        sum += d;
        worst = std::max(worst, d);
    }
    EXPECT_LT(sum / ours.rgb.size(), 1.0) << plan.name;
    EXPECT_LE(worst, 12) << plan.name;
}

INSTANTIATE_TEST_SUITE_P(Content, ShowTexture, testing::ValuesIn(kTextures),
                         [](const testing::TestParamInfo<TextureFile>& info) {
                             std::string name = info.param.name;
                             return name.substr(0, name.find('.'));
                         });

TEST(ShowTextures, TheSetMixesEveryCodingTheDecoderAccepts) {
    std::set<bool> progressive;
    std::set<int> lumaSampling;
    bool restart = false;
    for (const TextureFile& plan : kTextures) {
        const PeerImage peer = decodeWithLibjpeg(showPath(std::string("textures/") + plan.name));
        progressive.insert(peer.progressive);
        lumaSampling.insert(peer.lumaH * 10 + peer.lumaV);
        restart = restart || peer.restartInterval > 0;
    }
    EXPECT_EQ(progressive.size(), 2u);
    EXPECT_EQ(lumaSampling, (std::set<int>{11, 21, 12, 22}));
    EXPECT_TRUE(restart);
}

// Luma of a decoded pixel (x from the left, y from the top).
double luma(const PeerImage& img, int x, int y) {
    const uint8_t* p = &img.rgb[(static_cast<size_t>(y) * img.width + x) * 3];
    return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
}

TEST(ShowTextures, GlowAtlasQuadrantZeroIsASoftRoundGlow) {
    // Quadrant 0 spans texture s and t 0..0.5; the loader turns the file upside down, so it is
    // the file's bottom-left quarter.
    const PeerImage atlas = decodeWithLibjpeg(showPath("textures/blob41b.jpg"));
    ASSERT_EQ(atlas.width, 256);
    // The centre lies between pixels 63 and 64 (and rows 191 and 192).
    const int cx = 64, cy = 192;
    EXPECT_GT(luma(atlas, cx, cy), 200);
    // Falls off smoothly and evenly in every direction, to black at the quarter's border.
    for (int r : {16, 32, 48}) {
        const double right = luma(atlas, cx + r, cy), left = luma(atlas, cx - 1 - r, cy);
        const double up = luma(atlas, cx, cy - 1 - r), down = luma(atlas, cx, cy + r);
        EXPECT_NEAR(right, left, 6);
        EXPECT_NEAR(up, down, 6);
        EXPECT_NEAR(right, up, 6);
        EXPECT_LT(right, luma(atlas, cx + r / 2, cy));
    }
    for (int k = 0; k < 128; k += 8) {
        EXPECT_LT(luma(atlas, k, 128), 8) << "top edge of the quarter";
        EXPECT_LT(luma(atlas, 127, 128 + k), 8) << "right edge of the quarter";
    }
}

TEST(ShowTextures, DiscAndItsAlphaMaskMatch) {
    const PeerImage disc = decodeWithLibjpeg(showPath("textures/cir.jpg"));
    const PeerImage mask = decodeWithLibjpeg(showPath("textures/ciralpha.jpg"));
    ASSERT_EQ(disc.width, mask.width);
    ASSERT_EQ(disc.height, mask.height);
    const int c = mask.width / 2;
    EXPECT_GT(mask.rgb[(static_cast<size_t>(c) * mask.width + c) * 3 + 1], 250);  // green = alpha
    EXPECT_LT(mask.rgb[1], 5);
    EXPECT_LT(mask.rgb[(static_cast<size_t>(mask.height - 1) * mask.width + mask.width - 1) * 3 + 1], 5);
    // Where the mask is clear, the colour is lit; where it is transparent, the colour is black.
    EXPECT_GT(luma(disc, c, c), 120);
    EXPECT_LT(luma(disc, 2, 2), 8);
}

TEST(ShowTextures, PictureCardsAreFullPicturesNotFlatFills) {
    for (int k = 1; k <= 5; ++k) {
        const PeerImage card = decodeWithLibjpeg(showPath("textures/z" + std::to_string(k) + ".jpg"));
        ASSERT_GT(card.width, 0);
        double sum = 0, sum2 = 0;
        const int n = card.width * card.height;
        for (int y = 0; y < card.height; ++y) {
            for (int x = 0; x < card.width; ++x) {
                const double v = luma(card, x, y);
                sum += v;
                sum2 += v * v;
            }
        }
        const double mean = sum / n, deviation = std::sqrt(sum2 / n - mean * mean);
        EXPECT_GT(deviation, 30) << "z" << k << " has too little contrast to read as a picture";
    }
}

}  // namespace
