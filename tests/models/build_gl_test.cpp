// The model built with the real TextureBank loaders on real GL (SDL offscreen driver, Mesa): the
// textures of a model land in the mesh slot's block, alpha where the name asks for blending,
// normal maps 50 slots higher, shared names loaded once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fixtures.h"
#include "production/model_textures.h"
#include "platform/gl.h"
#include "tests/support/gl_test_window.h"

namespace ostravel {
namespace {

class GlEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(testing::ensureGLWindow()) << "no GL context"; }
};
const auto* const kGl = ::testing::AddGlobalTestEnvironment(new GlEnvironment);

// A width x height JPEG of one colour, through cjpeg.
void makeJpeg(const std::filesystem::path& path, int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    const std::string ppm = path.string() + ".ppm";
    std::ofstream out(ppm, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    for (int i = 0; i < width * height; ++i) out << r << g << b;
    out.close();
    ASSERT_EQ(std::system((std::string(CJPEG_PATH) + " -quality 95 '" + ppm + "' > '" + path.string() + "'").c_str()), 0);
}

void textureSize(GLuint name, int& width, int& height, int& alphaBits) {
    glBindTexture(GL_TEXTURE_2D, name);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alphaBits);
}

int gSwaps = 0;
void countSwap(double) { ++gSwaps; }

TEST(BuildModelOnGl, TexturesLandInTheMeshSlotBlock) {
    const auto dir = std::filesystem::temp_directory_path() / ("ostravel_models_gl_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "meshes");
    makeJpeg(dir / "meshes/SKIN.JPG", 16, 8, 200, 150, 100);
    makeJpeg(dir / "meshes/SKINB.JPG", 8, 8, 128, 128, 128);
    makeJpeg(dir / "meshes/BLENDA.JPG", 8, 4, 10, 20, 30);
    makeJpeg(dir / "meshes/alphaBLENDA.JPG", 8, 4, 255, 255, 255);

    File3ds f;
    Material3ds skin;
    skin.name = "SKIN";
    skin.texture1.file = "SKIN.JPG";
    skin.bump.file = "SKINB.JPG";
    Material3ds glass;
    glass.name = "GLASS";
    glass.texture1.file = "BLENDA.JPG";
    Material3ds lower;
    lower.name = "LOWER";
    lower.texture1.file = "skin.jpg";
    f.materials = {skin, glass, lower};
    Mesh3ds a = testing3ds::triangleMesh("A");
    a.faceMaterials = {{"SKIN", {0}}, {"LOWER", {0}}};
    Mesh3ds b = testing3ds::triangleMesh("B");
    b.faceMaterials = {{"SKIN", {0}}, {"GLASS", {0}}};
    f.meshes = {a, b};
    ASSERT_TRUE(write3ds(f, (dir / "meshes/head.3ds").string().c_str()));

    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    auto bank = std::make_unique<TextureBank>();
    MeshSlot mesh;
    EXPECT_TRUE(buildModelWithTextures(*bank, countSwap, mesh, "meshes/head.3ds", 2, 1.0f));
    std::filesystem::current_path(previous);

    // Entries: SKIN (0), skin.jpg (1, not loaded), SKIN (2 -> 0), BLENDA (3).
    EXPECT_EQ(mesh.textureEntryMap, (std::vector<int>{0, 1, 0, 3}));
    EXPECT_EQ(gSwaps, 2 + 2) << "0.2 and 0.03, then one swap per colour texture";
    int width = 0, height = 0, alpha = 0;
    ASSERT_TRUE(glIsTexture(bank->names[100200]));
    textureSize(bank->names[100200], width, height, alpha);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 8);
    ASSERT_TRUE(glIsTexture(bank->names[100250]));
    textureSize(bank->names[100250], width, height, alpha);
    EXPECT_EQ(width, 8);
    EXPECT_EQ(alpha, 0);
    ASSERT_TRUE(glIsTexture(bank->names[100203]));
    textureSize(bank->names[100203], width, height, alpha);
    EXPECT_EQ(height, 4);
    EXPECT_GT(alpha, 0);
    for (int slot : {100201, 100202, 100251, 100253}) EXPECT_EQ(bank->names[slot], 0u) << slot;
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ostravel
