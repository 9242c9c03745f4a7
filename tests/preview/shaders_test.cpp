// Live shaders on the running show (hidden window, fixed step): the blur program's source is
// changed in a watched folder between frames, through the preview's watch and the ShaderBank's
// reload. The blur is the one program whose change shows: the projection pair is switched off
// while the scenes draw.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/runner.h"
#include "tools/preview/preview.h"
#include "tools/preview/shader_watch.h"

namespace ostravel {
namespace {

namespace fs = std::filesystem;

// Every glow texel pure red: the composite adds it over the whole picture.
constexpr const char* kRedBlur = "#version 130\nvoid main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }\n";

// Mean of red minus green over the frame, 0..255.
double redness(const std::vector<unsigned char>& rgb) {
    double sum = 0.0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) sum += double(rgb[i]) - double(rgb[i + 1]);
    return sum / double(rgb.size() / 3);
}

void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(PreviewShaders, ChangedBlurIsUsedNextFrameAndBrokenOnesKeepIt) {
    ASSERT_EQ(chdir(OSTRAVEL_TEST_SHOW_DIR), 0);
    const fs::path folder = fs::path(SCRATCH_DIR) / "shaders";
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::copy("cgeffects", folder, fs::copy_options::recursive);
    const fs::path blur = folder / "fragment_Blur256.cpp";
    std::ifstream file(blur, std::ios::binary);
    const std::string showBlur{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(showBlur.empty());

    Preview preview(PreviewSettings{.shaders = folder.string(), .overlay = false});
    RunHooks hooks = preview.hooks();
    const auto previewFrame = hooks.frame;
    std::vector<unsigned char> frame;
    int frames = 0;
    double plain = 0.0;
    const auto blurProblem = [&] { return preview.shaderWatch()->shaders().at(2).problem; };
    hooks.frame = [&](const RunFrame& f) {
        previewFrame(f);
        readShowFrame(frame);
        switch (++frames) {
        case 60:  // the glow is at full strength from 1 s
            plain = redness(frame);
            write(blur, kRedBlur);
            break;
        case 61:
            EXPECT_GT(redness(frame), plain + 100.0) << "the changed program is not in use";
            EXPECT_EQ(blurProblem(), "");
            write(blur, "#version 130\nvoid main() { gl_FragColor = vec4(1.0) }\n");
            break;
        case 62:
        case 63:
        case 64:
        case 65:
            EXPECT_GT(redness(frame), plain + 100.0) << "frame " << frames << ": the program in use was dropped";
            EXPECT_NE(blurProblem(), "") << "frame " << frames << ": nothing reported";
            if (frames == 62) write(blur, "");
            if (frames == 63) fs::remove(blur);
            if (frames == 64) fs::create_directory(blur);
            if (frames == 65) {
                fs::remove(blur);
                write(blur, showBlur);
            }
            break;
        case 66:
            EXPECT_EQ(blurProblem(), "");
            break;
        case 70:  // the red trail of the glow's feedback has faded by now
            EXPECT_NEAR(redness(frame), plain, 20.0) << "the show's own blur is not back";
            return false;
        }
        return true;
    };
    const RunEnd run = runShow(RunSettings{.window = WindowPolicy::HiddenTarget},
                               [&](int messages) { preview.start(); return messages == 0; }, hooks);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(frames, 70);
}

}  // namespace
}  // namespace ostravel
