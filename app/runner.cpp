#include "app/runner.h"

#include <algorithm>

#include "app/shell.h"
#include "platform/fixed_step_system.h"
#include "platform/gl.h"
#include "platform/system.h"
#include "production/app_state.h"
#include "production/demo.h"
#include "production/frame_step.h"
#include "production/music.h"
#include "production/show_jump.h"

namespace ostravel {

OutcomeReport runFrames(const RunLoop& loop, const RunHooks& hooks) {
    AppState& app = appState();
    WindowSystem& windows = shellWindows();
    const bool measured = static_cast<bool>(hooks.frame);
    FrameCpuTimings timings;
    double swapSeconds = 0.0;
    // The picture to the window: the target presented, the overlay over it, the swap.
    const auto show = [&] {
        windows.presentTarget();
        if (hooks.overlay) hooks.overlay();
        windows.swapBuffers();
    };
    for (;;) {
        if (loop.events) {
            // The quit message is taken once every message before it has been handled.
            WindowEvent event;
            while (windows.pollEvent(event))
                if (!hooks.event || !hooks.event(event)) handleWindowEvent(event);
            if (app.quitPosted) return {Outcome::WindowClosed};
        }
        const FrameAction action = hooks.beforeFrame ? hooks.beforeFrame() : FrameAction::Step;
        if (action == FrameAction::Stop) return {};
        if (action == FrameAction::Hold) {
            show();
            continue;
        }
        if (loop.fixedStep) loop.fixedStep->nextFrame();

        RunFrame frame;
        if (measured && app.demo) {
            timings = {.glEntryClock = loop.glEntryClock, .finishStages = loop.finishStages};
            app.demo->timings = &timings;
        }
        const double wall0 = measured ? wallSeconds() : 0.0;
        const double cpu0 = measured ? threadCpuSeconds() : 0.0;
        const double process0 = measured ? processCpuSeconds() : 0.0;
        FrameOutcome outcome = app.windowActive ? FrameStep() : FrameOutcome::GoOn;
        if (outcome == FrameOutcome::ShowOver && loop.pastTheEnd) outcome = FrameOutcome::GoOn;
        if (outcome != FrameOutcome::GoOn) {
            if (hooks.closing) hooks.closing();
            endShow(app, outcome);
            return outcomeOf(outcome);
        }
        const double wall1 = measured ? wallSeconds() : 0.0;
        const double cpu1 = measured ? threadCpuSeconds() : 0.0;
        if (loop.finish) glFinish();
        if (measured) {
            frame.stepSeconds = wall1 - wall0;
            frame.stepCpuSeconds = cpu1 - cpu0;
            frame.finishSeconds = wallSeconds() - wall1;
            frame.processCpuSeconds = processCpuSeconds() - process0;
            frame.analysisSeconds = timings.analysisSeconds;
            frame.geometrySeconds = timings.geometrySeconds;
            frame.geometryInGLSeconds = timings.geometryInGLSeconds;
            frame.stageSeconds = timings.stageSeconds;
            frame.previousSwapSeconds = swapSeconds;
            frame.showTime = app.demoTime;
        }

        if (app.keys[kVkEscape] && !app.exitFadeLatched) {
            app.exitFadeLatched = true;
            app.exitFadeStart = app.demoTime;
        }
        if (measured && !hooks.frame(frame)) return {};
        const double swap0 = measured ? wallSeconds() : 0.0;
        show();
        if (measured) swapSeconds = wallSeconds() - swap0;
    }
}

RunEnd runShow(const RunSettings& settings, const std::function<bool(int)>& started, const RunHooks& hooks) {
    const bool shown = settings.window == WindowPolicy::ShownTarget;
    if (!settings.hiddenX11Window && !shown) useOffscreenWindows();
    FixedStepSystem fixedStep(settings.fps);
    RealTimeSystem realTime(systemServices());
    const bool fixed = settings.clock == ClockPolicy::FixedStep;
    UnattendedSystem& system = fixed ? static_cast<UnattendedSystem&>(fixedStep) : realTime;
    installSystemServices(&system);
    installShellPlatform(settings.windows, nullptr,
                         ShellOptions{.hiddenWindow = !shown, .showTarget = settings.window != WindowPolicy::Hidden});
    AppState& app = appState();
    app.musicEnabled = !fixed && settings.music;
    app.killWindow = KillGLWindow;

    RunEnd run;
    run.end = CreateGLWindow(kWindowTitle, 800, 600, 32, false);
    run.startUpMessages = system.messages;
    if (run.end.outcome == Outcome::Running) {
        run.started = true;
        if (!started || started(system.messages)) {
            RunLoop loop = settings.loop;
            loop.fixedStep = fixed ? &fixedStep : nullptr;
            loop.finish = true;
            run.end = runFrames(loop, hooks);
        }
        // Stopped or closed before the show ended: the music and the window are still up (the
        // preview may have switched the lock off while the music stays loaded).
        if (run.end.outcome == Outcome::Running || run.end.outcome == Outcome::WindowClosed) {
            if (hooks.closing) hooks.closing();
            if (!fixed && settings.music && app.sound) closeMusic(*app.sound);
            KillGLWindow();
        }
    }
    run.showTime = app.demoTime;
    if (app.demo) app.demo->timings = nullptr;
    installSystemServices(nullptr);
    return run;
}

void readShowFrame(std::vector<unsigned char>& rgb) {
    rgb.resize(800 * 600 * 3);
    GLint framebuffer = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(framebuffer != 0 ? GL_COLOR_ATTACHMENT0 : GL_BACK);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
}

JumpEnd jumpShow(double t, const JumpWarmUp& warmUp) {
    AppState& app = appState();
    // At least the first frame: the capture's frame for time 0 is the one at 1/60 s too.
    StepReplay target = replayUntil(std::clamp(t, 0.0, kShowLength), 60);
    if (target.frames == 0) target = replaySteps(1, 60);
    const int64_t drawnFrom = std::max<int64_t>(0, target.frames - std::max(0, warmUp.drawn));
    const int64_t first =
        target.showTime < warmUp.fromStartBefore ? 0 : std::max<int64_t>(0, drawnFrom - std::max(0, warmUp.unseen));

    // The warm-up's own clock: the run's may be real time, or hold still at a pause.
    SystemServices& runServices = systemServices();
    FixedStepSystem warmUpClock(60);
    installSystemServices(&warmUpClock);
    const bool music = app.musicEnabled;
    const double rate = app.clock.rate;
    app.musicEnabled = false;
    app.clock.rate = 1.0;
    placeShow(app, replaySteps(first, 60));
    app.clock.lastCounter = warmUpClock.performanceCounter();
    // Past the show's length a frame is still drawn; only its outcome says so, and it is not the
    // warm-up's to end the show.
    for (int64_t frame = first; frame < target.frames; ++frame) {
        warmUpClock.nextFrame();
        FrameStep(frame < drawnFrom ? FrameDrawing::Unseen : FrameDrawing::Drawn);
    }
    installSystemServices(&runServices);
    // The clock reading carries on from the target frame, from the run's counter now.
    app.clock.lastCounter = runServices.performanceCounter();
    app.clock.rate = rate;
    app.musicEnabled = music;
    if (music && app.sound) seekMusic(*app.sound, app.demoTime);
    return {app.demoTime, int(target.frames - first)};
}

}  // namespace ostravel
