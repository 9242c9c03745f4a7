// The per-frame driver: time step from the clock, production time locked to the music, the
// debug-camera values, the Demo's Render, and the two ends of the show (195.5 s, and the exit
// fade Escape starts). FrameStep says which end came; endShow then lets the show go.
//
// The arithmetic lives in small pure functions so that it can be checked without a window.
#pragma once

namespace ostravel {

constexpr double kMusicLockGain = 0.10000000149011612;   // single-precision 0.1, per frame
constexpr double kShowLength = 195.5;                     // seconds
constexpr double kExitFadeEnd = 0.9990000128746033;       // single-precision 0.999
constexpr double kDragGainX = 0.0175;                     // per pixel
constexpr double kDragGainY = 0.023333333333333334;       // per pixel
constexpr double kMusicEndedAfter = 1.0;                  // s: a position of 0 after this means "stopped"

struct AppState;

enum class FrameOutcome {
    GoOn,      // the show goes on
    ShowOver,  // the show has passed its length
    FadeDone,  // the exit fade has ended (the debug camera lines are on the clipboard)
};

// Whether a frame is drawn or only moves the show's history on (a jump's warm-up).
enum class FrameDrawing { Drawn, Unseen };

// One frame. After ShowOver or FadeDone nothing more is drawn: the caller ends the show.
FrameOutcome FrameStep(FrameDrawing drawing = FrameDrawing::Drawn);
// Lets the show go after FrameStep ended it: the music closed, then the window (through the
// shell's killWindow), then, after the exit fade only, the video.
void endShow(AppState& app, FrameOutcome outcome);

// Step after the music correction: a tenth of the distance from demoTime to the music.
double musicLockedStep(double clockStep, double musicTime, double demoTime);
// Exit-fade value 0..1 at demoTime for a fade started at fadeStart.
double exitFadeValue(double demoTime, double fadeStart);
// Volume 0..255 for a fade value.
int exitFadeVolume(double fade);
// Seeds the shared generator from the production time and discards 50 draws.
void warmUpRandom(double demoTime);

}  // namespace ostravel
