// TextureBank on real GL: slot resolution, orientation, the alpha row, normal maps, render
// targets, and the message boxes of files that cannot be read.
#include <gtest/gtest.h>


#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "assets/jpeg.h"
#include "assets/texture_bank.h"
#include "platform/fake_system.h"
#include "platform/gl.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;

namespace {

// The shared hidden window with a GL context, current for the whole test program.
class GlEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(ostravel::testing::ensureGLWindow()) << "no GL context"; }
};
const auto* const kGl = ::testing::AddGlobalTestEnvironment(new GlEnvironment);

struct Rgb {
    int width, height;
    std::vector<uint8_t> pixels;  // top row first, 3 bytes per pixel
};

std::string scratch(const std::string& name) {
    std::filesystem::create_directories(std::string(SCRATCH_DIR) + "/textures");
    return std::string(SCRATCH_DIR) + "/" + name;
}

// Writes the picture through cjpeg (4:4:4, quality 95 unless told) and returns the path.
std::string makeJpeg(const std::string& name, const Rgb& picture, const std::string& options = "-sample 1x1 -quality 95") {
    const std::string ppm = scratch(name + ".ppm"), jpg = scratch(name);
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n" << picture.width << " " << picture.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(picture.pixels.data()), std::streamsize(picture.pixels.size()));
    out.close();
    EXPECT_EQ(std::system((std::string(CJPEG_PATH) + " " + options + " " + ppm + " > " + jpg).c_str()), 0);
    return jpg;
}

Rgb paint(int width, int height, const std::function<std::array<int, 3>(int, int)>& colour) {
    Rgb p{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int v : colour(x, y)) p.pixels.push_back(uint8_t(v));
    return p;
}

// Our decoder's output as R, G, B rows (grey repeated), the reference for texel checks.
Rgb decode(const std::string& path) {
    JpegFileStream file;
    EXPECT_TRUE(file.open(path.c_str()));
    JpegDecoder jpeg(file);
    EXPECT_EQ(jpeg.startDecoding(), 0);
    Rgb p{jpeg.width(), jpeg.height(), {}};
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = nullptr;
        int length = 0;
        EXPECT_EQ(jpeg.decodeRow(row, length), 0);
        for (int x = 0; x < p.width; ++x)
            for (int c = 0; c < 3; ++c) p.pixels.push_back(jpeg.bytesPerPixel() == 1 ? row[x] : row[4 * x + c]);
    }
    return p;
}

// The bound texture's level 0, rows bottom (t = 0) first.
std::vector<uint8_t> readTexels(GLenum format, int& width, int& height) {
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    const int channels = format == GL_RGBA ? 4 : 3;
    std::vector<uint8_t> texels(size_t(width) * size_t(height) * size_t(channels));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

GLint boundTexture() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return name;
}

int gSwaps = 0;
double gSwapArgument = 0;
void countSwap(double argument) {
    ++gSwaps;
    gSwapArgument = argument;
}

}  // namespace

TEST(TextureBankSlots, AbsoluteAndOffsetSlots) {
    auto bank = std::make_unique<TextureBank>();
    bank->bankOffset = 7;
    EXPECT_EQ(resolveSlot(*bank, 84999), 85006);
    EXPECT_EQ(resolveSlot(*bank, 85000), 85000);
    EXPECT_EQ(resolveSlot(*bank, 3), 10);
    EXPECT_EQ(resolveSlot(*bank, kTextureSlots), -1);
    EXPECT_EQ(resolveSlot(*bank, -8), -1);
    GLuint names[2];
    glGenTextures(2, names);
    bank->names[85000] = names[0];
    bank->names[85006] = names[1];
    bindTexture(*bank, 85000);
    EXPECT_EQ(boundTexture(), GLint(names[0]));
    bindTexture(*bank, 84999);
    EXPECT_EQ(boundTexture(), GLint(names[1]));
    bindTexture(*bank, 5);
    EXPECT_EQ(boundTexture(), 0) << "an empty slot binds the default texture";
    createRenderTarget(*bank, 84999, 16, 16);
    EXPECT_NE(bank->names[85006], names[1]) << "creators resolve the slot the same way";
    EXPECT_EQ(boundTexture(), GLint(bank->names[85006]));
}

TEST(TextureBankLoaders, TopRowOfTheFileIsTheTopOfTheTexture) {
    ScopedFakeSystem system;
    const std::string path = makeJpeg("redblue.jpg", paint(4, 2, [](int, int y) {
        return y == 0 ? std::array<int, 3>{255, 0, 0} : std::array<int, 3>{0, 0, 255};
    }));
    auto bank = std::make_unique<TextureBank>();
    gSwaps = 0;
    ASSERT_TRUE(loadTexture(*bank, countSwap, path.c_str(), 10));
    EXPECT_EQ(gSwaps, 1);
    EXPECT_DOUBLE_EQ(gSwapArgument, 0.1);
    ASSERT_NE(bank->names[10], 0u);
    EXPECT_EQ(boundTexture(), GLint(bank->names[10]));
    int w = 0, h = 0;
    const std::vector<uint8_t> texels = readTexels(GL_RGB, w, h);
    ASSERT_EQ(w, 4);
    ASSERT_EQ(h, 2);
    const Rgb decoded = decode(path);
    for (int x = 0; x < 4; ++x) {
        const uint8_t* top = &texels[(1 * 4 + x) * 3];
        const uint8_t* bottom = &texels[(0 * 4 + x) * 3];
        EXPECT_GT(top[0], 200);
        EXPECT_LT(top[2], 60);
        EXPECT_LT(bottom[0], 60);
        EXPECT_GT(bottom[2], 200);
    }
    // Exactly the decoder's rows, flipped.
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 12; ++i) EXPECT_EQ(texels[size_t((1 - y) * 12 + i)], decoded.pixels[size_t(y * 12 + i)]);
    EXPECT_TRUE(system.fake.messages.empty());
}

TEST(TextureBankLoaders, AnyWidthAndGreyFiles) {
    ScopedFakeSystem system;
    const std::string odd = makeJpeg("odd.jpg", paint(5, 3, [](int x, int y) {
        return std::array<int, 3>{x * 50, y * 100, 255 - x * 40};
    }));
    const std::string grey = makeJpeg("grey.jpg", paint(7, 5, [](int x, int y) {
        return std::array<int, 3>{x * 30 + y * 5, x * 30 + y * 5, x * 30 + y * 5};
    }), "-grayscale");
    auto bank = std::make_unique<TextureBank>();
    for (const std::string& path : {odd, grey}) {
        ASSERT_TRUE(loadTexture(*bank, nullptr, path.c_str(), 20));
        int w = 0, h = 0;
        const std::vector<uint8_t> texels = readTexels(GL_RGB, w, h);
        const Rgb decoded = decode(path);
        ASSERT_EQ(w, decoded.width);
        ASSERT_EQ(h, decoded.height);
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < 3 * w; ++i)
                ASSERT_EQ(texels[size_t((h - 1 - y) * 3 * w + i)], decoded.pixels[size_t(y * 3 * w + i)]) << path;
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4) << "the unpack alignment is restored";
}

TEST(TextureBankLoaders, AlphaTextureKeepsItsBottomRowTransparent) {
    ScopedFakeSystem system;
    const int w = 8, h = 6;
    const std::string colour = makeJpeg("cir.jpg", paint(w, h, [](int x, int y) {
        return std::array<int, 3>{40 + x * 20, 200 - y * 30, 90};
    }));
    const std::string alpha = makeJpeg("ciralpha.jpg", paint(w, h, [](int x, int y) {
        return std::array<int, 3>{0, 255 - (x + y) * 15, 0};
    }));
    auto bank = std::make_unique<TextureBank>();
    ASSERT_TRUE(loadTextureWithAlpha(*bank, countSwap, colour.c_str(), alpha.c_str(), 13));
    int tw = 0, th = 0;
    const std::vector<uint8_t> texels = readTexels(GL_RGBA, tw, th);
    ASSERT_EQ(tw, w);
    ASSERT_EQ(th, h);
    const Rgb c = decode(colour), a = decode(alpha);
    for (int x = 0; x < w; ++x)
        for (int i = 0; i < 4; ++i) EXPECT_EQ(texels[size_t(x * 4 + i)], 0) << "bottom row is transparent black";
    for (int t = 1; t < h; ++t)
        for (int x = 0; x < w; ++x) {
            const uint8_t* texel = &texels[size_t((t * w + x) * 4)];
            const int fileRow = h - 1 - t;
            const int alphaRow = t == 1 ? h - 1 : fileRow;  // row 1 gets the alpha picture's last line
            for (int i = 0; i < 3; ++i) EXPECT_EQ(texel[i], c.pixels[size_t((fileRow * w + x) * 3 + i)]);
            EXPECT_EQ(texel[3], a.pixels[size_t((alphaRow * w + x) * 3 + 1)]) << t << "," << x;
        }
}

TEST(TextureBankLoaders, NormalMaps) {
    ScopedFakeSystem system;
    auto bank = std::make_unique<TextureBank>();
    const std::string flat = makeJpeg("flat.jpg", paint(12, 10, [](int, int) { return std::array<int, 3>{100, 100, 100}; }));
    ASSERT_TRUE(loadNormalMap(*bank, flat.c_str(), 60));
    int w = 0, h = 0;
    std::vector<uint8_t> texels = readTexels(GL_RGB, w, h);
    ASSERT_EQ(w, 12);
    for (size_t i = 0; i < texels.size(); i += 3) {
        ASSERT_EQ(texels[i], 127);
        ASSERT_EQ(texels[i + 1], 127);
        ASSERT_EQ(texels[i + 2], 255);
    }
    // A bright first column: the last column sees it as its right-hand neighbour (tiling), as
    // does the first row for the last row.
    const std::string ridge = makeJpeg("ridge.jpg", paint(16, 8, [](int x, int y) {
        const int v = x == 0 || y == 0 ? 250 : 20;
        return std::array<int, 3>{v, v, v};
    }), "-sample 1x1 -quality 100");
    ASSERT_TRUE(loadNormalMap(*bank, ridge.c_str(), 61));
    texels = readTexels(GL_RGB, w, h);
    const Rgb height = decode(ridge);
    auto hgt = [&](int i, int j) { return int(height.pixels[size_t((((i + 8) % 8) * 16 + (j + 16) % 16) * 3)]); };
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 16; ++j) {
            const float x = float((hgt(i - 1, j - 1) + 2 * hgt(i, j - 1) + hgt(i + 1, j - 1)) -
                                  (hgt(i - 1, j + 1) + 2 * hgt(i, j + 1) + hgt(i + 1, j + 1))) / 255.0f;
            const float y = float((hgt(i + 1, j - 1) + 2 * hgt(i + 1, j) + hgt(i + 1, j + 1)) -
                                  (hgt(i - 1, j - 1) + 2 * hgt(i - 1, j) + hgt(i - 1, j + 1))) / 255.0f;
            const float l = std::sqrt(x * x + y * y + 1.0f);
            const uint8_t* texel = &texels[size_t(((7 - i) * 16 + j) * 3)];
            EXPECT_EQ(texel[0], uint8_t((x / l + 1.0f) * 0.5f * 255.0f)) << i << "," << j;
            EXPECT_EQ(texel[1], uint8_t((y / l + 1.0f) * 0.5f * 255.0f)) << i << "," << j;
            EXPECT_EQ(texel[2], uint8_t((1.0f / l + 1.0f) * 0.5f * 255.0f)) << i << "," << j;
        }
    // The last column's right neighbour is the bright first column: its X slope is negative.
    EXPECT_LT(texels[size_t(((7 - 4) * 16 + 15) * 3)], 100);
    EXPECT_GT(texels[size_t(((7 - 4) * 16 + 1) * 3)], 155);
}

TEST(TextureBankLoaders, RenderTargetsAreBlackAndSquare) {
    auto bank = std::make_unique<TextureBank>();
    createRenderTarget(*bank, 1, 128, 128);
    EXPECT_EQ(boundTexture(), GLint(bank->names[1]));
    int w = 0, h = 0;
    std::vector<uint8_t> texels = readTexels(GL_RGB, w, h);
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 128);
    EXPECT_EQ(std::count(texels.begin(), texels.end(), 0), long(texels.size()));
    createRenderTarget(*bank, 0, 64, 32);
    texels = readTexels(GL_RGB, w, h);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 64) << "the image is given again at width x width";
    GLint filter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    setLinearFiltering();
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &filter);
    EXPECT_EQ(filter, GL_LINEAR);
}

TEST(TextureBankFailures, RefusalsNameTheFileTheMessageShows) {
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(scratch(""));
    std::filesystem::remove("textures/blob41b.jpg");
    std::filesystem::remove("textures/cir-missing.jpg");
    auto bank = std::make_unique<TextureBank>();
    auto expectRefused = [&](const TextureResult& result, TextureError error, const std::string& path) {
        EXPECT_FALSE(result);
        EXPECT_EQ(result.error, error);
        EXPECT_EQ(result.path, path);
    };
    expectRefused(loadTexture(*bank, nullptr, "textures/blob41b.jpg", 10), TextureError::CannotOpen,
                  "textures/blob41b.jpg");
    expectRefused(loadTextureWithAlpha(*bank, nullptr, "textures/cir-missing.jpg", "textures/x.jpg", 13),
                  TextureError::CannotOpenPicture, "textures/cir-missing.jpg");
    expectRefused(loadNormalMap(*bank, "textures/blob41b.jpg", 60), TextureError::CannotOpenPicture,
                  "textures/blob41b.jpg");

    makeJpeg("textures/c.jpg", paint(8, 8, [](int, int) { return std::array<int, 3>{1, 2, 3}; }));
    makeJpeg("textures/small.jpg", paint(8, 4, [](int, int) { return std::array<int, 3>{1, 2, 3}; }));
    makeJpeg("textures/arith.jpg", paint(8, 8, [](int, int) { return std::array<int, 3>{1, 2, 3}; }), "-arithmetic");
    // The alpha picture's failures name the colour picture.
    expectRefused(loadTextureWithAlpha(*bank, nullptr, "textures/c.jpg", "textures/none.jpg", 13),
                  TextureError::CannotOpenPicture, "textures/c.jpg");
    expectRefused(loadTextureWithAlpha(*bank, nullptr, "textures/c.jpg", "textures/arith.jpg", 13),
                  TextureError::NotDecodable, "textures/c.jpg");
    expectRefused(loadTextureWithAlpha(*bank, nullptr, "textures/c.jpg", "textures/small.jpg", 13),
                  TextureError::NotDecodable, "textures/c.jpg");
    expectRefused(loadTexture(*bank, nullptr, "textures/arith.jpg", 10), TextureError::NotDecodable,
                  "textures/arith.jpg");
    EXPECT_TRUE(loadTexture(*bank, nullptr, "textures/c.jpg", 10));
    std::filesystem::current_path(previous);
}
