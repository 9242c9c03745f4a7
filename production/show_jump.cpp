#include "production/show_jump.h"

#include "analysis/video.h"
#include "production/app_state.h"
#include "production/demo.h"

namespace ostravel {

namespace {

// One frame of the fixed step, as the frame clock (readClock: counter ticks over the frequency,
// 1000 ticks a frame in the fixed-step services), the driver (FrameStep), the Demo (Render) and
// the eye (analyseFrame) add it up.
void addFrame(StepReplay& r, int fps) {
    const double previous = r.clock;
    r.clock += 1000.0 / (double(fps) * 1000.0);
    r.frameDt = r.clock - previous;
    r.showTime += r.frameDt;
    r.pulse = beatPulse(r.showTime);
    r.pulseSum += r.pulse;
    r.videoSpeed = playbackSpeed(r.showTime);
    r.videoTime += r.videoSpeed * r.frameDt;
    r.frames += 1;
}

}  // namespace

StepReplay replaySteps(int64_t frames, int fps) {
    StepReplay r;
    while (r.frames < frames) addFrame(r, fps);
    return r;
}

StepReplay replayUntil(double t, int fps) {
    StepReplay r;
    while (r.showTime < t - 1e-9) addFrame(r, fps);
    return r;
}

void placeShow(AppState& app, const StepReplay& r) {
    app.clock.accumulated = r.clock;
    app.previousClockReading = r.clock;
    app.frameDt = r.frameDt;
    app.demoTime = r.showTime;
    app.frameCount = static_cast<int32_t>(r.frames);
    app.exitFadeLatched = false;
    if (!app.demo) return;
    Demo& demo = *app.demo;
    demo.localTime = demo.currentTime = r.showTime;
    demo.frameDt = r.frameDt;
    demo.framesRendered = static_cast<int32_t>(r.frames - 1);  // Init leaves -1: the first frame is 0
    demo.pulse = r.pulse;
    demo.pulseSum = r.pulseSum;
    FrameAnalysis& frame = demo.video.frame;
    frame.videoTime = r.videoTime;
    frame.speed = r.videoSpeed;
    frame.currentFrame = frame.lastFrame = -1;
    if (r.frames == 0) {
        // From the start the eye's points are where opening the video put them, as a run from 0
        // has them; later on only the warm-up brings them near.
        frame.trackedPoints.fill(Vec3{});
        for (auto& corner : frame.corners) corner = {-6.0f, -6.0f};
        frame.cornerCount = 0;
    }
}

}  // namespace ostravel
