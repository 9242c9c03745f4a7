#include <algorithm>
#include <cmath>

#include "math/random.h"
#include "production/frame_step.h"
#include "production/music.h"
#include "tests/support/shell_fixture.h"

using namespace ostravel;
using ostravel::testing::ShellTest;
using ostravel::testing::windowKills;

using FrameDriver = ShellTest;

TEST_F(FrameDriver, StallIsAbsorbedByTheMusicLock) {
    startAt(10.0);
    advance(2.0);  // loading stall: clock and music both moved 2 s
    FrameStep();
    EXPECT_NEAR(appState().frameDt, 2.2, 1e-3) << "the stall plus a tenth of the lag before the step";
    // The show is now 0.2 s ahead of the music; with clock and music standing still the error
    // shrinks by a tenth each frame (negative steps included).
    double error = appState().demoTime - musicSeconds;
    for (int i = 0; i < 5; ++i) {
        FrameStep();
        const double next = appState().demoTime - musicSeconds;
        EXPECT_NEAR(next, error * 0.9, 1e-4);
        error = next;
    }
    EXPECT_LT(demo.steps.back(), 0.0);
}

TEST_F(FrameDriver, MusicOnReseedsFromTheShowTime) {
    startAt(12.345678);
    FrameStep();
    const uint32_t afterFrame = randomState();
    seed(static_cast<uint32_t>(static_cast<int64_t>(12.345678 * 1000000.0)));
    for (int i = 0; i < 50; ++i) nextRandom();
    EXPECT_EQ(afterFrame, randomState());
}

TEST_F(FrameDriver, MusicOffRunsOnTheClockAloneWithoutSoundCalls) {
    appState().musicEnabled = false;
    seed(777);
    const uint32_t before = randomState();
    advance(0.5);
    FrameStep();
    advance(0.25);
    FrameStep();
    EXPECT_TRUE(sound.calls.empty());
    EXPECT_EQ(randomState(), before);
    EXPECT_NEAR(appState().demoTime, 0.75, 1e-9);
    EXPECT_EQ(demo.steps.size(), 2u);
}

TEST_F(FrameDriver, BackwardsClockGivesZeroClockPart) {
    appState().musicEnabled = false;
    advance(1.0);
    FrameStep();
    system.fake.counter -= system.fake.frequency;  // the counter steps back a second
    FrameStep();
    EXPECT_EQ(appState().frameDt, 0.0);
}

TEST_F(FrameDriver, EscapeFadesOutAndCopiesTheLog) {
    startAt(100.0);
    appState().debugLog = "Cam :1.,2.,3.  \n";
    windows.events.push_back({WindowEventKind::KeyDown, kVkEscape});  // held: never released
    EXPECT_EQ(runUntilExit(), 0);
    const AppState& app = appState();
    EXPECT_NEAR(app.exitFadeStart, 100.0, 1e-6) << "latched once, at the demoTime of the first frame that saw the key";
    EXPECT_NEAR(app.demoTime, 101.25, 1.5 * frameSeconds);
    ASSERT_EQ(system.fake.clipboardCopies.size(), 1u);
    EXPECT_EQ(system.fake.clipboardCopies[0], "Cam :1.,2.,3.  \n");
    EXPECT_EQ(sound.volume, 0);
    EXPECT_EQ(windowKills, 1);
    // Volume only goes down, and the device is closed once, after the last volume change.
    std::vector<int> volumes;
    for (const std::string& call : sound.calls)
        if (call.rfind("volume ", 0) == 0) volumes.push_back(std::stoi(call.substr(7)));
    ASSERT_GT(volumes.size(), 60u);
    EXPECT_TRUE(std::is_sorted(volumes.rbegin(), volumes.rend()));
    EXPECT_EQ(sound.calls.back(), "close");
}

TEST_F(FrameDriver, EndOfShowCutsARunningFadeWithoutTheClipboard) {
    startAt(195.0);
    windows.events.push_back({WindowEventKind::KeyDown, kVkEscape});
    EXPECT_EQ(runUntilExit(), 0);
    EXPECT_GT(appState().demoTime, kShowLength);
    EXPECT_LT(appState().demoTime, kShowLength + 2 * frameSeconds);
    EXPECT_TRUE(system.fake.clipboardCopies.empty());
    EXPECT_EQ(sound.calls.back(), "close");
    EXPECT_EQ(windowKills, 1);
}

TEST_F(FrameDriver, ShowEndsJustAfterItsLength) {
    appState().musicEnabled = false;
    appState().demoTime = 195.49;
    advance(0.005);
    EXPECT_EQ(FrameStep(), FrameOutcome::GoOn);
    advance(0.01);
    EXPECT_EQ(FrameStep(), FrameOutcome::ShowOver) << "the show went on past its length";
    EXPECT_EQ(windowKills, 0) << "the step only says so";
    endShow(appState(), FrameOutcome::ShowOver);
    EXPECT_EQ(windowKills, 1);
    EXPECT_TRUE(sound.calls.empty()) << "music off: not even a close";
}

TEST_F(FrameDriver, ShorterMusicStillEndsTheShowAtItsLength) {
    startAt(190.0);
    musicSeconds = -1e9;  // the file ended long ago: the player reports position 0 from now on
    sound.setMusicTime(0.0);
    windows.onSwap = [this] {
        system.fake.advanceSeconds(frameSeconds);
        sound.setMusicTime(0.0);
        if (windows.swaps > 20000) windows.events.push_back({WindowEventKind::Close});  // a show that never ends
    };
    EXPECT_EQ(runUntilExit(), 0);
    EXPECT_GT(appState().demoTime, kShowLength);
    EXPECT_LT(appState().demoTime, kShowLength + 2 * frameSeconds) << "not pulled back towards 0";
}

TEST_F(FrameDriver, MinimisedWindowStepsNothingAndTheGapComesBackAtOnce) {
    appState().musicEnabled = false;
    windows.events.push_back({WindowEventKind::Activate, 1});
    int swapsWhileMinimised = 0;
    windows.onSwap = [&] {
        advance(0.1);
        if (++swapsWhileMinimised == 20) {
            windows.events.push_back({WindowEventKind::KeyDown, kVkEscape});
            windows.events.push_back({WindowEventKind::Activate, 0});
            windows.onSwap = [this] {
                if (demo.steps.size() == 1) windows.events.push_back({WindowEventKind::Close});
            };
        }
    };
    EXPECT_EQ(mainLoop(), 0);
    ASSERT_EQ(demo.steps.size(), 1u);
    EXPECT_NEAR(demo.steps[0], 2.0, 1e-6) << "the first frame after restoring takes the whole gap";
    EXPECT_TRUE(appState().exitFadeLatched);
    EXPECT_TRUE(system.fake.clipboardCopies.empty()) << "closing the window copies nothing";
    EXPECT_EQ(windows.releases, 1);
    EXPECT_EQ(windows.destroys, 1);
}
