// A shell on fake platform pieces: fake system services (clock, messages, clipboard, exit), a
// fake sound device, scripted window messages over a real hidden GL window, and a Demo that only
// records the frames it is asked to render.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/shell.h"
#include "platform/fake_sound.h"
#include "platform/fake_system.h"
#include "production/app_state.h"
#include "production/demo.h"
#include "tests/support/gl_test_window.h"

namespace ostravel::testing {

class RecordingDemo : public Demo {
public:
    std::vector<double> steps;
    TextureResult Init(RenderContext&) override { return {}; }
    void Render(const double* dt, const Pbuffer&, RenderContext&, double*) override {
        steps.push_back(*dt);
        localTime += *dt;
    }
};

inline int windowKills = 0;

class ShellTest : public ::testing::Test {
protected:
    ScopedFakeSystem system;
    FakeSound sound;
    RecordingDemo demo;
    ScriptedWindows windows;
    double frameSeconds = 1.0 / 60.0;
    double musicSeconds = 0.0;

    void SetUp() override {
        ASSERT_TRUE(ensureGLWindow()) << "no GL context";
        resetProcessState();
        installShellPlatform(&windows, &sound);
        windowKills = 0;
        AppState& app = appState();
        app.demo = &demo;
        app.sound = &sound;
        app.windows = &windows;
        app.musicEnabled = true;
        app.killWindow = [] { ++windowKills; };
        resetClock(app.clock);
        app.previousClockReading = readClock(app.clock);
        // Every swap is one frame of real time: the clock and the music move on together.
        windows.onSwap = [this] { advance(frameSeconds); };
    }

    void TearDown() override { installShellPlatform(nullptr, nullptr); }

    void advance(double seconds) {
        system.fake.advanceSeconds(seconds);
        musicSeconds += seconds;
        sound.setMusicTime(musicSeconds);
    }

    // Puts show and music at time t, in step.
    void startAt(double t) {
        appState().demoTime = t;
        musicSeconds = t;
        sound.setMusicTime(t);
    }

    // Runs the main loop until the process would end; returns the exit status.
    int runUntilExit() {
        try {
            mainLoop();
        } catch (const ProcessExit& exit) {
            return exit.status;
        }
        ADD_FAILURE() << "the main loop returned instead of ending the process";
        return -1;
    }
};

}  // namespace ostravel::testing
