// The preview's frames against the capture tool's (references made by one capture run at 60 fps,
// CMakeLists.txt): from the start, through the preview's hooks with its overlay drawn over every
// frame, the show's 800 x 600 target equals the capture's frame byte for byte; after a jump the
// frame at the time jumped to is within 40 dB PSNR of the one rendered from the start.
#include <gtest/gtest.h>
#include <stb/stb_image.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/runner.h"
#include "production/app_state.h"
#include "tools/preview/preview.h"

namespace ostravel {
namespace {

// The capture's frame at time t, rows bottom-up as GL reads them.
std::vector<unsigned char> reference(double t) {
    char name[64];
    std::snprintf(name, sizeof name, "/frame-%07.2f.png", t);
    const std::string path = std::string(REFERENCES_DIR) + name;
    int width = 0, height = 0, channels = 0;
    stbi_set_flip_vertically_on_load(1);
    unsigned char* pixels = stbi_load(path.c_str(), &width, &height, &channels, 3);
    std::vector<unsigned char> rgb;
    if (pixels && width == 800 && height == 600) rgb.assign(pixels, pixels + 800 * 600 * 3);
    stbi_image_free(pixels);
    return rgb;
}

double psnr(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    const double mse = sum / double(a.size());
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

TEST(PreviewFrames, EqualTheCapturesFromTheStartAndComeCloseAfterJumps) {
    ASSERT_EQ(chdir(OSTRAVEL_TEST_SHOW_DIR), 0);
    Preview preview(PreviewSettings{.overlay = true});
    RunHooks hooks = preview.hooks();
    const auto previewFrame = hooks.frame;
    std::vector<unsigned char> frame;
    int frames = 0;
    hooks.frame = [&](const RunFrame& f) {
        previewFrame(f);
        ++frames;
        if (frames == 60 || frames == 120) {
            readShowFrame(frame);
            EXPECT_TRUE(frame == reference(frames / 60.0)) << "the frame at " << frames / 60 << " s is not the capture's";
        }
        if (frames < 120) return true;
        // Before 60 s a jump warms up from the start; the last one is placed in the middle of the
        // history (frame 1190), as jumps past 60 s are, so that what is placed there counts.
        const JumpWarmUp placed{.unseen = 300, .drawn = 10, .fromStartBefore = 0.0};
        for (const auto& [t, warmUp] : {std::pair{10.0, JumpWarmUp{}}, {25.0, JumpWarmUp{}}, {40.0, JumpWarmUp{}},
                                        {25.0, placed}}) {
            jumpShow(t, warmUp);
            readShowFrame(frame);
            const std::vector<unsigned char> wanted = reference(t);
            EXPECT_NEAR(appState().demoTime, t, 1e-9);
            EXPECT_GE(wanted.empty() ? 0.0 : psnr(frame, wanted), 40.0) << "at " << t << " s";
        }
        return false;
    };
    const RunEnd run = runShow(RunSettings{.window = WindowPolicy::HiddenTarget},
                               [&](int messages) { preview.start(); return messages == 0; }, hooks);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(frames, 120);
}

}  // namespace
}  // namespace ostravel
