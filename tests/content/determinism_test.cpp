// The generators are deterministic: run again into a fresh folder, the quick ones write exactly
// the bytes that the build put into the show folder. (The music and the video take tens of
// seconds each; the report lists their checksums over repeated builds instead.)
#include "tests/content/show_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

using ostravel::contenttest::showPath;
namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Runs the generator into a fresh folder and compares every file it wrote with the show's copy.
void expectSameBytes(const char* generator) {
    const fs::path out = fs::temp_directory_path() / (std::string("ostravel-content-") + fs::path(generator).filename().string());
    fs::remove_all(out);
    fs::create_directories(out);
    const std::string command = std::string("'") + generator + "' '" + out.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(out)) {
        if (!entry.is_regular_file()) continue;
        ++files;
        const std::string relative = fs::relative(entry.path(), out).string();
        const std::string fresh = readAll(entry.path());
        EXPECT_FALSE(fresh.empty()) << relative;
        EXPECT_TRUE(fresh == readAll(showPath(relative))) << relative << " differs from the build's copy";
    }
    EXPECT_GT(files, 0);
    fs::remove_all(out);
}

TEST(ContentGenerators, TexturesAreByteIdenticalOnEveryRun) { expectSameBytes(OSTRAVEL_GEN_TEXTURES); }
TEST(ContentGenerators, TracksAreByteIdenticalOnEveryRun) { expectSameBytes(OSTRAVEL_GEN_TRACKS); }
TEST(ContentGenerators, HeadIsByteIdenticalOnEveryRun) { expectSameBytes(OSTRAVEL_GEN_HEAD); }

}  // namespace
