// The runner: start-up, frame loop and teardown of the show around the one Demo and per-frame
// driver. The show program's main loop is its real-time loop with the window's events; the
// unattended programs (capture tool, show benchmark) run it on a fixed time step without events;
// the preview runs it in real time, locked to the music as the show is, in a window of its own
// size that shows the show's 800 x 600 target scaled to fit, or on the fixed step in tests.
//
// It lives in app/ because it drives the shell's start-up and reads the outcome table; tools/ and
// bench/ sit beside app/ and use it from there.
#pragma once

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "app/outcomes.h"

namespace ostravel {

class FixedStepSystem;
class WindowSystem;
struct WindowEvent;

// How the loop runs frames.
struct RunLoop {
    bool events = false;  // pump the window's events (keys, close box, minimising) before each frame
    FixedStepSystem* fixedStep = nullptr;  // advance this clock one step before each frame
    bool finish = false;  // glFinish after each frame, so that its time is the whole frame's
    bool pastTheEnd = false;  // the show's end does not end the run (the preview holds there)
    // Measured runs: the wall time this thread has spent inside GL's entry points so far (a
    // benchmark that wraps them), read around the drawers; null: not measured.
    double (*glEntryClock)() = nullptr;
    bool finishStages = false;  // measured runs: each stage of the frame waits for GL (FrameCpuTimings)
};

// What the loop does after the events: run a frame, show the last picture again without a step
// (the clock goes on unless its rate is 0), or end the run (Outcome::Running is returned).
enum class FrameAction { Step, Hold, Stop };

// What one frame cost, handed to the frame hook before the frame is swapped to the window.
struct RunFrame {
    double showTime = 0.0;             // production time after the frame
    double stepSeconds = 0.0;          // wall time of the frame step
    double stepCpuSeconds = 0.0;       // CPU time of the show's thread in the frame step
    double finishSeconds = 0.0;        // wall time of the glFinish after it (0 without)
    double processCpuSeconds = 0.0;    // CPU time of every thread in the step and the glFinish
    double analysisSeconds = 0.0;      // of stepCpuSeconds: the eye
    double geometrySeconds = 0.0;      // of stepCpuSeconds: the drawers and scenes
    double geometryInGLSeconds = 0.0;  // of geometrySeconds: inside GL's entry points (with glEntryClock)
    // Wall time of each of Render's stages (production/demo.h's FrameStage), with finishStages.
    std::array<double, 4> stageSeconds{};  // the size checked where runFrames copies it
    double previousSwapSeconds = 0.0;  // wall time of the last frame's swap

    // The whole frame (step + glFinish), and its GL share: the step's wall time this thread did not
    // spend on its CPU, plus the glFinish.
    double wholeSeconds() const { return stepSeconds + finishSeconds; }
    double glSeconds() const { return std::max(0.0, stepSeconds - stepCpuSeconds) + finishSeconds; }
};

struct RunHooks {
    // After every frame; false ends the run (Outcome::Running is returned).
    std::function<bool(const RunFrame&)> frame{};
    // Each window event first; true when taken (the shell's handling does not see it).
    std::function<bool(const WindowEvent&)> event{};
    // After the events, before the frame.
    std::function<FrameAction()> beforeFrame{};
    // After the show's picture has been presented in the window, before the swap: draws over it
    // in the window's own framebuffer.
    std::function<void()> overlay{};
    // Once the run is over, before the window and its context go: what was made in the window's
    // context (the overlay) is let go while it can be.
    std::function<void()> closing{};
};

// Runs frames until the window is closed (WindowClosed), the show ends (ShowOver or FadeDone:
// the show has been let go), or the frame hook says stop (Running).
OutcomeReport runFrames(const RunLoop& loop, const RunHooks& hooks);

// Where the show is drawn and how it is seen.
enum class WindowPolicy {
    Hidden,        // a window never shown; frames read back from its back buffer
    ShownTarget,   // shown and resizable; the show draws at 800 x 600 into its own target, which
                   // each frame is presented scaled to fit (aspect kept, black bars); frames read
                   // back between swaps come from the target
    HiddenTarget,  // the same target in a window never shown (tests of what the preview draws)
};

// How the show's clock runs.
enum class ClockPolicy {
    FixedStep,  // frame n at n / fps, music off
    RealTime,   // the platform's clock; with music, the show locks to it as the show program does
};

// A run without the dialog. Messages go to standard error.
struct RunSettings {
    int fps = 60;
    bool hiddenX11Window = false;        // a hidden window on the X server instead of SDL's offscreen driver
    WindowSystem* windows = nullptr;     // null: the platform's
    WindowPolicy window = WindowPolicy::Hidden;
    ClockPolicy clock = ClockPolicy::FixedStep;
    bool music = false;                  // real time only: play the music and lock the show to it
    RunLoop loop{};                      // how frames run; runShow sets fixedStep and finish itself
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

// The frame the window's context reads from between swaps (the target, when there is one, else
// the back buffer), 800 x 600 RGB, rows bottom-up.
void readShowFrame(std::vector<unsigned char>& rgb);

// A jump's warm-up at 1/60 s before the target: first frames that only move the history on
// (the eye's analysis and its smoothed tracked points: a fraction of a millisecond while the video
// stands still, a few when it plays), then frames drawn unseen (the glow's feedback trail, which
// keeps a quarter of itself a frame). Until the video plays at full speed (60 s) the tracked points
// move a seventh of the way a frame, and the points of corners not found for a while keep their
// places from long before: a target before then warms up from the start, which costs little there
// (the video stands still or crawls). From then on they move all the way (half of it once the
// playback slows near the end), and a few frames settle them.
struct JumpWarmUp {
    int unseen = 30;
    int drawn = 10;
    double fromStartBefore = 60.0;
};

struct JumpEnd {
    double showTime = 0.0;  // where the show stands
    int warmUpFrames = 0;   // frames run to get there (fewer near the start)
};

// Puts the running show at the first frame of a 1/60 s step that reaches t (t limited to the
// show's length; at least the first frame): the history that has a closed form placed
// (production/show_jump.h) at the warm-up's length before it, then the warm-up run on a clock of
// its own with the music lock off. The clock's rate and the music lock are as they were
// afterwards; playing music is put at the new time. The frame at t is in the window context's
// drawing buffer; nothing is presented or swapped.
JumpEnd jumpShow(double t, const JumpWarmUp& warmUp = {});

}  // namespace ostravel
