// The runner: start-up, frame loop and teardown of the show around the one Demo and per-frame
// driver. The show program's main loop is its real-time loop with the window's events; the
// unattended programs (capture tool, show benchmark) run it on a fixed time step without events.
//
// It lives in app/ because it drives the shell's start-up and reads the outcome table; tools/ and
// bench/ sit beside app/ and use it from there.
#pragma once

#include <functional>

#include "app/outcomes.h"

namespace ostravel {

class FixedStepSystem;
class WindowSystem;

// How the loop runs frames.
struct RunLoop {
    bool events = false;  // pump the window's events (keys, close box, minimising) before each frame
    FixedStepSystem* fixedStep = nullptr;  // advance this clock one step before each frame
    bool finish = false;  // glFinish after each frame, so that its time is the whole frame's
};

// What one frame cost, handed to the frame hook before the frame is swapped to the window.
struct RunFrame {
    double showTime = 0.0;             // production time after the frame
    double stepSeconds = 0.0;          // wall time of the frame step
    double stepCpuSeconds = 0.0;       // CPU time of the show's thread in the frame step
    double finishSeconds = 0.0;        // wall time of the glFinish after it (0 without)
    double processCpuSeconds = 0.0;    // CPU time of every thread in the step and the glFinish
    double analysisSeconds = 0.0;      // of stepCpuSeconds: the eye
    double geometrySeconds = 0.0;      // of stepCpuSeconds: the drawers and scenes
    double previousSwapSeconds = 0.0;  // wall time of the last frame's swap
};

struct RunHooks {
    // After every frame; false ends the run (Outcome::Running is returned).
    std::function<bool(const RunFrame&)> frame;
};

// Runs frames until the window is closed (WindowClosed), the show ends (ShowOver or FadeDone:
// the show has been let go), or the frame hook says stop (Running).
OutcomeReport runFrames(const RunLoop& loop, const RunHooks& hooks);

// An unattended run: no dialog, music off, a fixed step of 1 / fps seconds (frame n at n / fps).
struct RunSettings {
    int fps = 60;
    bool hiddenX11Window = false;        // a hidden window on the X server instead of SDL's offscreen driver
    WindowSystem* windows = nullptr;     // null: the platform's
};

struct RunEnd {
    OutcomeReport end;       // Running when the frame hook stopped the run
    bool started = false;    // start-up succeeded
    int startUpMessages = 0; // messages shown while starting (each printed on standard error)
    double showTime = 0.0;
};

// Brings the show up, calls `started` (false: stop before the first frame), runs frames and tears
// everything down. Messages go to standard error, as the unattended runs have nobody to click.
RunEnd runShow(const RunSettings& settings, const std::function<bool(int startUpMessages)>& started,
               const RunHooks& hooks);

}  // namespace ostravel
