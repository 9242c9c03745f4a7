// Every data file the show opens at start-up exists in the generated show folder, under the
// path exactly as the program writes it (the music's doubled slash included).
#include "tests/content/show_folder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

using ostravel::contenttest::showPath;

// The Demo's Init, the music loader and the model builder, in the order they open them.
constexpr const char* kOpenedPaths[] = {
    "rec1.rcc", "rec2.rcc",
    "textures/blob41b.jpg", "textures/cir.jpg", "textures/ciralpha.jpg", "textures/circle.jpg",
    "textures/z1.jpg", "textures/z2.jpg", "textures/z3.jpg", "textures/z4.jpg", "textures/z5.jpg",
    "cgeffects/vertex_projection_anisotropic.cpp", "cgeffects/fragment_projection_anisotropic.cpp",
    "cgeffects/fragment_Blur256.cpp",
    "meshes/head.3ds", "meshes/SKIN.JPG", "meshes/SKINBUMP.JPG", "meshes/EYEBLEND.JPG", "meshes/alphaEYEBLEND.JPG",
    "textures/try1.avi",
    "music//[Bexil] Sorvain.ogg",
};

TEST(ShowFolder, EveryFileTheShowOpensIsThereAndNotEmpty) {
    for (const char* path : kOpenedPaths) {
        std::FILE* f = std::fopen(showPath(path).c_str(), "rb");
        ASSERT_NE(f, nullptr) << path;
        std::fclose(f);
        EXPECT_GT(std::filesystem::file_size(showPath(path)), 1000u) << path;
    }
}

}  // namespace
