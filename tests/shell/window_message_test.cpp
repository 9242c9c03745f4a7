#include <cmath>

#include "production/frame_step.h"
#include "platform/gl.h"
#include "tests/support/shell_fixture.h"

using namespace ostravel;
using ostravel::testing::ShellTest;

using WindowMessages = ShellTest;

TEST_F(WindowMessages, KeysButtonsAndWheel) {
    AppState& app = appState();
    handleWindowEvent({WindowEventKind::KeyDown, 65});
    EXPECT_TRUE(app.keys[65]);
    handleWindowEvent({WindowEventKind::KeyUp, 65});
    EXPECT_FALSE(app.keys[65]);
    handleWindowEvent({WindowEventKind::KeyDown, 300});  // out of the table: ignored, no overrun
    handleWindowEvent({WindowEventKind::LeftDown});
    handleWindowEvent({WindowEventKind::RightDown});
    EXPECT_TRUE(app.debugCameraOn);
    EXPECT_TRUE(app.debugDragging);
    handleWindowEvent({WindowEventKind::Wheel, 120});
    EXPECT_NEAR(app.wheelZoom, 0.2, 1e-7);
    handleWindowEvent({WindowEventKind::Activate, 1});
    EXPECT_FALSE(app.windowActive);
    handleWindowEvent({WindowEventKind::Activate, 0});
    EXPECT_TRUE(app.windowActive);
    handleWindowEvent({WindowEventKind::Close});
    EXPECT_TRUE(app.quitPosted);
    EXPECT_EQ(app.quitCode, 0);
}

TEST_F(WindowMessages, ZeroHeightGivesOnePixelViewport) {
    handleWindowEvent({WindowEventKind::Size, 640, 0});
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 1);
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    for (double v : projection) EXPECT_TRUE(std::isfinite(v));
    handleWindowEvent({WindowEventKind::Size, 800, 600});
}

TEST_F(WindowMessages, OrbitMovesOnlyWithBothButtons) {
    AppState& app = appState();
    app.musicEnabled = false;
    // Right button alone: nothing moves, and the camera is the origin.
    handleWindowEvent({WindowEventKind::RightDown});
    system.fake.cursorX = 400;
    system.fake.cursorY = 300;
    FrameStep();
    system.fake.cursorX = 410;
    system.fake.cursorY = 330;
    FrameStep();
    EXPECT_EQ(app.orbitYaw, 0.0);
    EXPECT_EQ(app.orbitPitch, 0.0);
    // Both buttons: yaw and pitch follow the cursor, zoom takes the wheel's value.
    handleWindowEvent({WindowEventKind::Wheel, -240});
    handleWindowEvent({WindowEventKind::LeftDown});
    system.fake.cursorX = 420;
    system.fake.cursorY = 320;
    FrameStep();
    EXPECT_NEAR(app.orbitYaw, 10 * kDragGainX, 1e-12);
    EXPECT_NEAR(app.orbitPitch, -10 * kDragGainY, 1e-12);
    EXPECT_NEAR(app.orbitZoom, -0.4, 1e-6);
    // Left alone: zoom follows, yaw and pitch stay.
    handleWindowEvent({WindowEventKind::RightUp});
    handleWindowEvent({WindowEventKind::Wheel, 120});
    system.fake.cursorX = 0;
    FrameStep();
    EXPECT_NEAR(app.orbitYaw, 10 * kDragGainX, 1e-12);
    EXPECT_NEAR(app.orbitZoom, -0.2, 1e-6);
}

TEST_F(WindowMessages, MiddleClicksReachTheClipboardInOrder) {
    AppState& app = appState();
    app.cameraPos[0] = 1.5;
    handleWindowEvent({WindowEventKind::MiddleDown});
    app.cameraPos[0] = 2.5;
    handleWindowEvent({WindowEventKind::MiddleDown});
    EXPECT_EQ(app.debugLog, "Cam :1.5,0.,0.  \nPnt :0.,0.,0.  \n \nCam :2.5,0.,0.  \nPnt :0.,0.,0.  \n \n");
    app.musicEnabled = false;
    windows.events.push_back({WindowEventKind::KeyDown, kVkEscape});
    windows.onSwap = [this] { advance(0.1); };
    EXPECT_EQ(runUntilExit(), 0);
    ASSERT_EQ(system.fake.clipboardCopies.size(), 1u);
    EXPECT_EQ(system.fake.clipboardCopies[0], app.debugLog);
}
