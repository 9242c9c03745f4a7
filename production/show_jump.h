// Starting the show anywhere on a fixed step.
//
// A frame of the show depends on the frames before it. Part of that history adds up in closed
// form for a fixed step: the clock's reading and the production time (sums of the same step), the
// frame counts, the summed beat pulse and the video's play time (sums of functions of the
// production time alone). replaySteps works these out without drawing, adding them in the order
// the per-frame driver, the Demo and the eye add them, so that they come out bit for bit as a run
// from 0 leaves them. The rest has no closed form: the glow's feedback trail, the smoothed tracked
// points, the frame the video decoder holds. Those settle by drawing frames before the target
// from the placed state (the runner's warm-up, app/runner.h: jumpShow).
#pragma once

#include <cstdint>

namespace ostravel {

struct AppState;

struct StepReplay {
    int64_t frames = 0;      // frames run from 0
    double clock = 0.0;      // the frame clock's reading after them
    double showTime = 0.0;   // production time: the driver's demoTime and the Demo's localTime
    double frameDt = 0.0;    // the last step
    double pulse = 0.0;      // the last frame's beat envelope
    double pulseSum = 0.0;
    double videoTime = 0.0;  // the eye's play position in the video
    double videoSpeed = 0.0; // the last frame's playback speed
};

// After `frames` frames of 1 / fps seconds from 0.
StepReplay replaySteps(int64_t frames, int fps);
// The first frame whose production time reaches t (within 1e-9 s, the capture tool's rule for
// the frames it writes): the frame a capture of time t shows.
StepReplay replayUntil(double t, int fps);

// Puts the driver's and the Demo's history at the replay's frame: the production time, the
// frame counts, the clock's reading (its counter base stays the caller's), the summed pulse and
// the video's play time; at frame 0 also the eye's corners and tracked points as opening the
// video leaves them. The video reads its frame afresh on the next pass; the exit fade is off.
void placeShow(AppState& app, const StepReplay& replay);

}  // namespace ostravel
