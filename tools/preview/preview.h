// The preview: the show in a window of its own, for the people who carry it on. Start anywhere,
// pause, jump, loop a stretch, change the speed, save frames, edit the shaders live, and see the
// timetable and the frame time in an overlay.
//
// It is the show's own runner and Demo (app/runner.h) with hooks: the window events go to the
// keys (preview_controls.h) before the shell sees them; before each frame the preview jumps
// (jumpShow: the closed-form history placed, then a warm-up drawn unseen), loops, holds a pause
// or the end, puts changed shaders in (shader_watch.h) and saves a frame asked for; after the
// frame's presentation it draws the overlay (Dear ImGui, platform/window_overlay.h) in the
// window's own framebuffer. The show's 800 x 600 picture in its target is never drawn over.
//
// Pausing holds the clock (rate 0) and the music and shows the last frame again without a step,
// since a step, even of no time, moves the glow's trail and the summed pulse on. The music plays,
// and the show locks to it, only at 1x while playing; at other speeds it is silent and the clock
// runs at the speed.
#pragma once

#include <memory>
#include <string>

#include "app/runner.h"
#include "tools/preview/frame_times.h"
#include "tools/preview/preview_controls.h"

namespace ostravel {

class ShaderWatch;
class WindowOverlay;

struct PreviewSettings {
    double from = 0.0;           // the first jump (none at 0)
    bool loop = false;           // loop from loopA to loopB from the start
    double loopA = 0.0, loopB = 0.0;
    std::string shaders{};       // folder of shader sources to watch; empty: no watch
    std::string frames = ".";    // where F12 writes its PNG files
    bool overlay = true;         // draw the overlay (needs the platform's window)
    JumpWarmUp warmUp{};
};

class Preview {
public:
    explicit Preview(PreviewSettings settings);
    ~Preview();

    // Once the show is up (runShow's `started`): the overlay, the shader watch, the first jump.
    void start();
    RunHooks hooks();

    const ShaderWatch* shaderWatch() const { return watch_.get(); }

private:
    bool event(const WindowEvent& e);
    FrameAction beforeFrame();
    bool frame(const RunFrame& f);
    void overlay();
    void jump(double t);
    void applyClock();
    void saveFrame();

    PreviewSettings settings_;
    PreviewControls controls_;
    FrameTimes times_;
    std::unique_ptr<ShaderWatch> watch_;
    std::unique_ptr<WindowOverlay> overlay_;
    bool musicWanted_ = false;   // the run plays music
    bool musicHeard_ = false;    // it plays now (and the show locks to it)
    bool atEnd_ = false;         // held at the show's end
    double lastJumpSeconds_ = 0.0;
    std::string saved_;          // the last frame saved, or why it was not
};

}  // namespace ostravel
