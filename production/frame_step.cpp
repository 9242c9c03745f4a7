#include "production/frame_step.h"
#include "math/random.h"

#include <algorithm>
#include <cstdint>

#include "math/vec3.h"
#include "platform/gl.h"
#include "platform/system.h"
#include "production/app_state.h"
#include "production/demo.h"
#include "production/music.h"
#include "render/billboard.h"
#include "render/render_context.h"

namespace ostravel {

namespace {

// Darkens the whole frame by 1 - fade: a quad multiplied into the picture.
void drawExitFadeOverlay(double fade) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushMatrix();
    glLoadIdentity();
    gluLookAt(0.0, 3.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.0);
    glScalef(1.0f, 1.0f, 0.7f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_COLOR);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glColor3d(fade, fade, fade);
    billboard(0.0, 50.0, 50.0);
    glPopMatrix();
    glPopAttrib();
}

}  // namespace

double musicLockedStep(double clockStep, double musicTime, double demoTime) {
    return clockStep + (musicTime - demoTime) * kMusicLockGain;
}

double exitFadeValue(double demoTime, double fadeStart) {
    return std::clamp((demoTime - fadeStart) * kExitFadeRate, 0.0, 1.0);
}

int exitFadeVolume(double fade) { return static_cast<int>(255.0 - 255.0 * fade); }

void warmUpRandom(double demoTime) {
    // Low 32 bits of the integer part, truncated toward zero.
    seed(static_cast<uint32_t>(static_cast<int64_t>(demoTime * 1000000.0)));
    for (int i = 0; i < 50; ++i) nextRandom();
}

void endShow(AppState& app, FrameOutcome outcome) {
    if (outcome == FrameOutcome::GoOn) return;
    if (app.musicEnabled && app.sound) closeMusic(*app.sound);
    if (app.killWindow) app.killWindow();
    if (outcome == FrameOutcome::FadeDone && app.demo) releaseVideo(app.demo->video);
}

FrameOutcome FrameStep(FrameDrawing drawing) {
    AppState& app = appState();
    RenderContext& ctx = renderContext();

    double x = 0.0, y = 0.0;
    systemServices().cursorPosition(x, y);

    app.frameDt = readClock(app.clock) - app.previousClockReading;
    app.previousClockReading = readClock(app.clock);
    if (app.frameDt < 0.0) app.frameDt = 0.0;

    if (app.musicEnabled && app.sound) {
        warmUpRandom(app.demoTime);
        // A stopped player reports position 0. Past the first second that means the music has
        // ended (a file shorter than the show): the clock alone carries the show to its end
        // instead of the lock pulling it back towards 0.
        const double music = musicTime(*app.sound);
        if (music > 0.0 || app.demoTime < kMusicEndedAfter)
            app.frameDt = musicLockedStep(app.frameDt, music, app.demoTime);
    }

    app.frameCount += 1;

    if (!app.debugCameraOn) {
        app.cameraPos[0] = app.cameraPos[1] = app.cameraPos[2] = 0.0;
    } else {
        if (app.debugDragging) {
            app.orbitYaw += (x - 400.0) * kDragGainX - (app.previousCursorX - 400.0) * kDragGainX;
            app.orbitPitch += (y - 300.0) * kDragGainY - (app.previousCursorY - 300.0) * kDragGainY;
        }
        app.orbitZoom = app.wheelZoom;
    }

    ctx.screenCopyMode = 1;
    ctx.textures.bankOffset = 0;

    app.demoTime += app.frameDt;

    if (drawing == FrameDrawing::Unseen) {
        if (app.demo) app.demo->AdvanceUnseen(&app.frameDt, app.cameraPos);
        app.previousCursorX = x;
        app.previousCursorY = y;
        return app.demoTime > kShowLength ? FrameOutcome::ShowOver : FrameOutcome::GoOn;
    }

    glClear(GL_COLOR_BUFFER_BIT);
    glBlendFunc(GL_ONE, GL_ONE);

    if (app.demo) app.demo->Render(&app.frameDt, app.pbuffer, ctx, app.cameraPos);

    if (app.demoTime > kShowLength) return FrameOutcome::ShowOver;

    if (app.exitFadeLatched) {
        const double fade = exitFadeValue(app.demoTime, app.exitFadeStart);
        if (app.musicEnabled && app.sound) setMusicVolume(*app.sound, exitFadeVolume(fade));
        drawExitFadeOverlay(fade);
        if (fade > kExitFadeEnd) {
            copyToClipboard(app.debugLog);
            return FrameOutcome::FadeDone;
        }
    }

    app.previousCursorX = x;
    app.previousCursorY = y;
    return FrameOutcome::GoOn;
}

}  // namespace ostravel
