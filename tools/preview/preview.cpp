#include "tools/preview/preview.h"

#include <stb/stb_image_write.h>

#include <cstdio>
#include <vector>

#include "platform/system.h"
#include "platform/window.h"
#include "platform/window_overlay.h"
#include "production/app_state.h"
#include "production/demo.h"
#include "production/frame_step.h"
#include "production/music.h"
#include "render/render_context.h"
#include "tools/preview/preview_overlay.h"
#include "tools/preview/shader_watch.h"

namespace ostravel {

Preview::Preview(PreviewSettings settings) : settings_(std::move(settings)) {}

Preview::~Preview() = default;

void Preview::start() {
    AppState& app = appState();
    musicWanted_ = musicHeard_ = app.musicEnabled && app.sound;
    if (settings_.overlay) {
        overlay_ = std::make_unique<WindowOverlay>();
        if (!overlay_->open()) overlay_.reset();
    }
    if (!settings_.shaders.empty() && app.demo)
        watch_ = std::make_unique<ShaderWatch>(
            settings_.shaders, showShaders(app.demo->projectionProgramSlot, app.demo->blurProgramSlot), "cgeffects");
    if (settings_.loop && settings_.loopB > settings_.loopA) {
        controls_.loopMarks = 2;
        controls_.loopA = settings_.loopA;
        controls_.loopB = settings_.loopB;
    }
    // A loop given without a start plays from its beginning.
    const double from = settings_.from > 0.0 || controls_.loopMarks != 2 ? settings_.from : controls_.loopA;
    if (from > 0.0) jump(from);
}

RunHooks Preview::hooks() {
    return RunHooks{
        .frame = [this](const RunFrame& f) { return frame(f); },
        .event = [this](const WindowEvent& e) { return event(e); },
        .beforeFrame = [this] { return beforeFrame(); },
        .overlay = [this] { overlay(); },
        .closing = [this] { overlay_.reset(); },
    };
}

bool Preview::event(const WindowEvent& e) {
    switch (e.kind) {
    case WindowEventKind::KeyDown: controls_.keyDown(e.a, appState().demoTime); return true;
    // The show's own uses of keys and buttons (the exit fade, the debug camera) would change
    // its picture: the preview keeps them all.
    case WindowEventKind::KeyUp:
    case WindowEventKind::LeftDown:
    case WindowEventKind::LeftUp:
    case WindowEventKind::RightDown:
    case WindowEventKind::RightUp:
    case WindowEventKind::MiddleDown:
    case WindowEventKind::Wheel: return true;
    default: return false;
    }
}

FrameAction Preview::beforeFrame() {
    AppState& app = appState();
    if (controls_.quit) return FrameAction::Stop;
    if (watch_) watch_->poll(renderContext().shaders);

    bool jumped = false;
    if (controls_.jump) {
        jump(*controls_.jump);
        controls_.jump.reset();
        jumped = true;
    } else if (const std::optional<double> back = controls_.loopBack(app.demoTime)) {
        jump(*back);
        jumped = true;
    } else if (atEnd_ && !controls_.paused) {
        // Played on from the end: from the start again.
        jump(0.0);
        jumped = true;
    }
    applyClock();
    if (controls_.saveFrame) {
        saveFrame();
        controls_.saveFrame = false;
    }
    // A jump's frame is shown as it is: the frame at the time asked for.
    return jumped || controls_.paused || atEnd_ ? FrameAction::Hold : FrameAction::Step;
}

bool Preview::frame(const RunFrame& f) {
    times_.add(f, wallSeconds());
    // The end holds as a pause does; Space then plays from the start again.
    if (appState().demoTime >= kShowLength) atEnd_ = controls_.paused = true;
    return true;
}

void Preview::overlay() {
    if (!overlay_ || !controls_.overlayShown) return;
    overlay_->beginFrame();
    AppState& app = appState();
    const double music = musicHeard_ ? musicTime(*app.sound) : 0.0;
    const std::optional<double> clicked = drawOverlay(
        OverlayView{app.demoTime, controls_, times_, watch_.get(), musicHeard_, music, atEnd_, lastJumpSeconds_, saved_});
    overlay_->endFrame();
    if (clicked) controls_.jump = clicked;
}

void Preview::jump(double t) {
    const double start = wallSeconds();
    jumpShow(t, settings_.warmUp);
    lastJumpSeconds_ = wallSeconds() - start;
    atEnd_ = appState().demoTime >= kShowLength;
    if (atEnd_) controls_.paused = true;
}

void Preview::applyClock() {
    AppState& app = appState();
    const bool playing = !controls_.paused && !atEnd_;
    const double rate = playing ? controls_.speed : 0.0;
    if (rate != app.clock.rate) {
        // What the clock ran so far counts at the rate it ran at.
        readClock(app.clock);
        app.clock.rate = rate;
    }
    const bool heard = musicWanted_ && playing && controls_.speed == 1.0;
    if (heard == musicHeard_) return;
    if (heard) seekMusic(*app.sound, app.demoTime);
    else pauseMusic(*app.sound, true);
    musicHeard_ = heard;
    app.musicEnabled = heard;  // the lock only while the music is heard
}

void Preview::saveFrame() {
    std::vector<unsigned char> pixels;
    readShowFrame(pixels);
    char name[64];
    std::snprintf(name, sizeof name, "/ostravel-preview-%07.3f.png", appState().demoTime);
    const std::string path = settings_.frames + name;
    stbi_flip_vertically_on_write(1);  // GL rows run bottom-up
    if (stbi_write_png(path.c_str(), 800, 600, 3, pixels.data(), 800 * 3)) {
        std::printf("saved %s\n", path.c_str());
        std::fflush(stdout);
        saved_ = path;
    } else {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        saved_ = "nothing: cannot write " + path;
    }
}

}  // namespace ostravel
