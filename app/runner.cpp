#include "app/runner.h"

#include <time.h>

#include <chrono>

#include "app/shell.h"
#include "platform/fixed_step_system.h"
#include "platform/gl.h"
#include "production/app_state.h"
#include "production/demo.h"

namespace ostravel {

namespace {

double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

OutcomeReport runFrames(const RunLoop& loop, const RunHooks& hooks) {
    AppState& app = appState();
    WindowSystem& windows = shellWindows();
    const bool measured = static_cast<bool>(hooks.frame);
    FrameCpuTimings timings;
    double swapSeconds = 0.0;
    for (;;) {
        if (loop.events) {
            // The quit message is taken once every message before it has been handled.
            WindowEvent event;
            while (windows.pollEvent(event)) handleWindowEvent(event);
            if (app.quitPosted) return {Outcome::WindowClosed};
        }
        if (loop.fixedStep) loop.fixedStep->nextFrame();

        RunFrame frame;
        if (measured && app.demo) {
            timings = {};
            app.demo->timings = &timings;
        }
        const double wall0 = measured ? wallSeconds() : 0.0;
        const double cpu0 = measured ? cpuSeconds(CLOCK_THREAD_CPUTIME_ID) : 0.0;
        const double process0 = measured ? cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) : 0.0;
        const FrameOutcome outcome = app.windowActive ? FrameStep() : FrameOutcome::GoOn;
        if (outcome != FrameOutcome::GoOn) {
            endShow(app, outcome);
            return outcomeOf(outcome);
        }
        if (measured) {
            const double wall1 = wallSeconds();
            frame.stepSeconds = wall1 - wall0;
            frame.stepCpuSeconds = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0;
            if (loop.finish) glFinish();
            frame.finishSeconds = wallSeconds() - wall1;
            frame.processCpuSeconds = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0;
            frame.analysisSeconds = timings.analysisSeconds;
            frame.geometrySeconds = timings.geometrySeconds;
            frame.previousSwapSeconds = swapSeconds;
            frame.showTime = app.demoTime;
        } else if (loop.finish) {
            glFinish();
        }

        if (app.keys[kVkEscape] && !app.exitFadeLatched) {
            app.exitFadeLatched = true;
            app.exitFadeStart = app.demoTime;
        }
        if (measured && !hooks.frame(frame)) return {};
        const double swap0 = measured ? wallSeconds() : 0.0;
        windows.swapBuffers();
        if (measured) swapSeconds = wallSeconds() - swap0;
    }
}

RunEnd runShow(const RunSettings& settings, const std::function<bool(int)>& started, const RunHooks& hooks) {
    if (!settings.hiddenX11Window) useOffscreenWindows();
    FixedStepSystem system(settings.fps);
    installSystemServices(&system);
    installShellPlatform(settings.windows, nullptr, ShellOptions{.hiddenWindow = true});
    AppState& app = appState();
    app.musicEnabled = false;
    app.killWindow = KillGLWindow;

    RunEnd run;
    run.end = CreateGLWindow(kWindowTitle, 800, 600, 32, false);
    run.startUpMessages = system.messages;
    if (run.end.outcome == Outcome::Running) {
        run.started = true;
        if (!started || started(system.messages))
            run.end = runFrames(RunLoop{.events = false, .fixedStep = &system, .finish = true}, hooks);
        // Stopped before the show ended: the window is still up.
        if (run.end.outcome == Outcome::Running) KillGLWindow();
    }
    run.showTime = app.demoTime;
    if (app.demo) app.demo->timings = nullptr;
    installSystemServices(nullptr);
    return run;
}

}  // namespace ostravel
