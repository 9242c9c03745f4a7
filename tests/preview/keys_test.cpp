// The preview's keys through scripted window messages on the shell's fakes (a Demo that records
// its steps, a clock that moves 1/60 s with every swap): the show times they give, frame by frame.
#include <map>
#include <vector>

#include "app/runner.h"
#include "platform/window.h"
#include "tests/support/shell_fixture.h"
#include "tools/preview/preview.h"

namespace ostravel {
namespace {

using PreviewKeys = testing::ShellTest;

constexpr double kStep = 16666e-6;  // the fake clock's 1/60 s, in its microsecond ticks

enum : int { kEnter = 13, kEscape = 27, kSpace = 32, kHome = 36, kLeft = 37, kRight = 39, kPoint = 190,
             kSlower = 219, kFaster = 221 };

TEST_F(PreviewKeys, ScriptedKeysGiveTheShowTimes) {
    AppState& app = appState();
    app.musicEnabled = false;
    // Keys pressed after the swap of the frame numbered (from 1).
    const std::map<int, std::vector<int>> script = {
        {6, {kRight}},   {8, {kSpace}},  {11, {kSpace}}, {12, {kSlower}},
        {14, {kFaster, kFaster, kFaster, kFaster}},      {16, {kSlower, kSlower}},
        {18, {'G', '1', '2', kPoint, '5', kEnter}},      {20, {'L'}}, {26, {'L'}},
        {40, {'L'}},     {42, {kHome}},  {43, {kLeft}},  {45, {kEscape}},
    };
    std::vector<double> t = {0.0};  // show time after each swap
    windows.onSwap = [&] {
        advance(frameSeconds);
        t.push_back(app.demoTime);
        if (auto keys = script.find(windows.swaps); keys != script.end())
            for (int key : keys->second) {
                windows.events.push_back({WindowEventKind::KeyDown, key});
                windows.events.push_back({WindowEventKind::KeyUp, key});
            }
    };
    Preview preview(PreviewSettings{.overlay = false, .warmUp = {.unseen = 3, .drawn = 2}});
    preview.start();
    const OutcomeReport end = runFrames(RunLoop{.events = true}, preview.hooks());

    EXPECT_EQ(end.outcome, Outcome::Running);
    ASSERT_EQ(windows.swaps, 45) << "Escape ends the run at once";
    EXPECT_NEAR(t[6], 5 * kStep, 1e-12) << "the first frame's step is 0: the clock moves at the swap";
    EXPECT_NEAR(t[7], 305 / 60.0, 1e-9) << "5 s on, to the first 1/60 s frame at or past it";
    EXPECT_NEAR(t[8], 305 / 60.0 + kStep, 1e-9);
    EXPECT_EQ(t[9], t[8]) << "paused";
    EXPECT_EQ(t[11], t[8]);
    EXPECT_NEAR(t[14] - t[13], kStep / 2, 1e-9) << "half speed";
    EXPECT_NEAR(t[16] - t[15], kStep * 4, 1e-9) << "four times, no faster";
    EXPECT_NEAR(t[18] - t[17], kStep, 1e-9) << "back to 1x";
    EXPECT_NEAR(t[19], 12.5, 1e-9) << "G 12.5 Enter";
    // A marked at t[20], B at t[26]: the show stays between them and goes back to A.
    int loopsBack = 0;
    for (int i = 27; i <= 40; ++i) {
        EXPECT_GE(t[i], t[20] - 1e-6) << i;
        EXPECT_LE(t[i], t[26] + kStep) << i;
        loopsBack += t[i] < t[i - 1];
    }
    EXPECT_GE(loopsBack, 2);
    EXPECT_GT(t[42], t[41]) << "the loop cleared, the show plays on";
    EXPECT_NEAR(t[43], 1.0 / 60.0, 1e-12) << "Home: the first frame";
    EXPECT_NEAR(t[44], 1.0 / 60.0, 1e-12) << "5 s back from the start stays at the start";
}

TEST(ShowTarget, FitsTheWindowWithItsAspectKept) {
    const FitRectangle wide = fitRectangle(800, 600, 1000, 600);
    EXPECT_EQ(wide.x, 100);
    EXPECT_EQ(wide.y, 0);
    EXPECT_EQ(wide.width, 800);
    EXPECT_EQ(wide.height, 600);
    const FitRectangle tall = fitRectangle(800, 600, 400, 900);
    EXPECT_EQ(tall.x, 0);
    EXPECT_EQ(tall.y, 300);
    EXPECT_EQ(tall.width, 400);
    EXPECT_EQ(tall.height, 300);
}

}  // namespace
}  // namespace ostravel
