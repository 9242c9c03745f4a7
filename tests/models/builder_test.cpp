// buildModel: name hashes, texture entries, de-duplication, slots and the loader calls.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include <unistd.h>

#include "fixtures.h"
#include "models/model_builder.h"

namespace ostravel {
namespace {

// A bit-at-a-time CRC register, written from the polynomial's definition (no table).
uint32_t crcByDivision(const std::string& text) {
    uint32_t h = 0;
    for (unsigned char b : text) {
        h ^= uint32_t(b) << 24;
        for (int i = 0; i < 8; ++i) h = (h & 0x80000000u) ? (h << 1) ^ 0x04C11DB7u : h << 1;
    }
    return h ^ static_cast<uint32_t>(text.size());
}

TEST(ModelNameHash, KnownValuesAndTheBitwiseRegister) {
    EXPECT_EQ(nameHash(""), 0u);
    EXPECT_EQ(nameHash("abc"), 0x2C17398Fu);
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        std::string s(random() % 24, ' ');
        for (char& c : s) c = static_cast<char>(random() % 256);
        EXPECT_EQ(nameHash(s), crcByDivision(s)) << i;
    }
}

struct Call {
    std::string kind, path, alphaPath;
    int slot;
};
std::vector<Call> calls;
std::vector<double> swaps;

std::string refusedPath;  // the loaders refuse this one

bool fakeTexture(void*, const char* path, int slot) {
    calls.push_back({"colour", path, "", slot});
    return path != refusedPath;
}
bool fakeAlpha(void*, const char* path, const char* alpha, int slot) {
    calls.push_back({"alpha", path, alpha, slot});
    return path != refusedPath;
}
bool fakeNormal(void*, const char* path, int slot) {
    calls.push_back({"normal", path, "", slot});
    return path != refusedPath;
}

TextureLoaders recorder(bool withSwap) {
    TextureLoaders loaders;
    loaders.loadTexture = fakeTexture;
    loaders.loadTextureWithAlpha = fakeAlpha;
    loaders.loadNormalMap = fakeNormal;
    if (withSwap) loaders.swap = [](void*, double value) { swaps.push_back(value); };
    return loaders;
}

class BuildModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        calls.clear();
        swaps.clear();
        refusedPath.clear();
        dir_ = std::filesystem::temp_directory_path() / ("ostravel_build_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string write(const File3ds& f) {
        const std::string path = (dir_ / "model.3ds").string();
        EXPECT_TRUE(write3ds(f, path.c_str()));
        return path;
    }

    static Material3ds material(const std::string& name, const std::string& texture, const std::string& bump = "") {
        Material3ds m;
        m.name = name;
        m.texture1.file = texture;
        m.bump.file = bump;
        return m;
    }

    static Mesh3ds using_(const std::string& name, std::vector<std::string> materials) {
        Mesh3ds m = testing3ds::triangleMesh(name);
        for (const std::string& mat : materials) m.faceMaterials.push_back({mat, {0}});
        return m;
    }

    std::filesystem::path dir_;
    MeshSlot mesh;
};

TEST_F(BuildModelTest, SharedMaterialLoadsOnceAndSwapsAreCalled) {
    File3ds f;
    f.materials = {material("SKIN", "SKIN.JPG", "BUMP.JPG")};
    f.meshes = {using_("A", {"SKIN"}), using_("B", {"SKIN"})};
    buildModel(recorder(true), mesh, write(f).c_str(), 3, 1.0f);
    EXPECT_EQ(swaps, (std::vector<double>{0.2, 0.03}));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].kind, "colour");
    EXPECT_EQ(calls[0].path, "meshes/SKIN.JPG");
    EXPECT_EQ(calls[0].slot, 100300);
    EXPECT_EQ(calls[1].kind, "normal");
    EXPECT_EQ(calls[1].path, "meshes/BUMP.JPG");
    EXPECT_EQ(calls[1].slot, 100350);
    EXPECT_EQ(mesh.textureEntryMap, (std::vector<int>{0, 0}));
    EXPECT_EQ(mesh.entries[0].colourName, "meshes/SKIN.JPG");
}

TEST_F(BuildModelTest, NamesDecideWhatIsLoaded) {
    File3ds f;
    f.materials = {material("LOWER", "skin.jpg", "BUMP.JPG"), material("NONE", ""),
                   material("GLASS", "BLENDA.JPG"), material("COPY", "BLENDA.JPG"), material("PNG", "FACE.PNG")};
    f.meshes = {using_("A", {"LOWER", "NONE", "GLASS"}), using_("B", {"COPY", "PNG", "GLASS"})};
    buildModel(recorder(false), mesh, write(f).c_str(), 0, 1.0f);
    // Entries: skin.jpg (0), BLENDA.JPG (1), BLENDA.JPG (2 -> 1), FACE.PNG (3), BLENDA.JPG (4 -> 1).
    EXPECT_EQ(mesh.textureEntryMap, (std::vector<int>{0, 1, 1, 3, 1}));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, "alpha");
    EXPECT_EQ(calls[0].path, "meshes/BLENDA.JPG");
    EXPECT_EQ(calls[0].alphaPath, "meshes/alphaBLENDA.JPG");
    EXPECT_EQ(calls[0].slot, 100001);
}

TEST_F(BuildModelTest, ScalesVerticesAfterPostProcessing) {
    File3ds f;
    Mesh3ds m = testing3ds::triangleMesh("A");
    m.matrix[9] = 1.0f;  // origin x
    f.meshes = {m};
    buildModel(recorder(false), mesh, write(f).c_str(), 999, 2.5f);
    const auto& v = mesh.model.meshObjects.at(0).vertices;
    EXPECT_FLOAT_EQ(v[1].x, 0.0f);
    EXPECT_FLOAT_EQ(v[0].x, -2.5f);
    EXPECT_FLOAT_EQ(v[2].y, 2.5f);
}

TEST_F(BuildModelTest, MoreThanFiftyEntriesAreRefused) {
    File3ds f;
    std::vector<std::string> names;
    for (int i = 0; i < 60; ++i) {
        names.push_back("M" + std::to_string(i));
        f.materials.push_back(material(names.back(), "T" + std::to_string(i) + ".JPG", "B" + std::to_string(i) + ".JPG"));
    }
    f.meshes = {using_("A", names)};
    buildModel(recorder(false), mesh, write(f).c_str(), 1, 1.0f);
    EXPECT_EQ(mesh.textureEntryMap.size(), 50u);
    ASSERT_EQ(calls.size(), 100u);
    for (const Call& c : calls) {
        EXPECT_GE(c.slot, 100100);
        EXPECT_LT(c.slot, 100200);
    }
    EXPECT_EQ(calls.back().slot, 100100 + 49 + 50);
}

TEST_F(BuildModelTest, ARefusedTextureStopsTheBuilding) {
    File3ds f;
    f.materials = {material("SKIN", "SKIN.JPG", "BUMP.JPG"), material("EYE", "EYE.JPG")};
    f.meshes = {using_("A", {"SKIN", "EYE"})};
    refusedPath = "meshes/BUMP.JPG";
    EXPECT_FALSE(buildModel(recorder(false), mesh, write(f).c_str(), 0, 1.0f));
    ASSERT_EQ(calls.size(), 2u) << "nothing is asked for after the refused normal map";
    EXPECT_EQ(calls.back().path, "meshes/BUMP.JPG");
    refusedPath.clear();
    calls.clear();
    EXPECT_TRUE(buildModel(recorder(false), mesh, write(f).c_str(), 0, 1.0f));
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(BuildModelTest, MissingModelOrSlotLoadsNothing) {
    buildModel(recorder(true), mesh, (dir_ / "absent.3ds").string().c_str(), 5, 1.0f);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(mesh.model.meshObjects.empty());
    EXPECT_EQ(swaps.size(), 2u);
    buildModel(recorder(true), mesh, (dir_ / "absent.3ds").string().c_str(), kMeshSlots, 1.0f);
    buildModel(recorder(true), mesh, (dir_ / "absent.3ds").string().c_str(), -1, 1.0f);
    EXPECT_EQ(swaps.size(), 2u);
}

}  // namespace
}  // namespace ostravel
