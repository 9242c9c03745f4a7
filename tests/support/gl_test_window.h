// Test support: one hidden 800 x 600 GL window (SDL's offscreen driver, real Mesa GL) shared by
// every test of a binary, and a WindowSystem whose messages and buffer swaps a test scripts.
#pragma once

#include <deque>
#include <functional>

#include "platform/window.h"

namespace ostravel::testing {

// Creates the shared window and context on first use and makes its context current.
// Returns false when no GL context can be had.
bool ensureGLWindow();

// The scene sequencer's view on the whole 800 x 600 window: 75 degree perspective (near 1.5,
// far 100), the eye at (0, 0, 7.6) looking at the origin, model-view current.
void useSequencerView();

// Real GL through the SDL window system; messages come from `events`; each swap runs onSwap.
class ScriptedWindows : public WindowSystem {
public:
    std::deque<WindowEvent> events;
    std::function<void()> onSwap;
    int swaps = 0;
    int releases = 0;
    int destroys = 0;
    int windowsCreated = 0;
    bool displayModeWorks = false;
    bool offscreenWorks = true;
    WindowFailure createFailure = WindowFailure::None;

    bool startUp() override { return true; }
    bool changeDisplayMode(int, int, int) override { return displayModeWorks; }
    void restoreDisplayMode() override {}
    void showCursor(bool) override {}
    WindowFailure createWindow(const WindowRequest&) override {
        ++windowsCreated;
        if (createFailure != WindowFailure::None) return createFailure;
        return ensureGLWindow() ? WindowFailure::None : WindowFailure::CreateContext;
    }
    void swapBuffers() override {
        ++swaps;
        if (onSwap) onSwap();
    }
    bool setSwapInterval(int) override { return true; }
    bool pollEvent(WindowEvent& event) override {
        if (events.empty()) return false;
        event = events.front();
        events.pop_front();
        return true;
    }
    bool createOffscreen(int size) override { return offscreenWorks && sdlWindowSystem().createOffscreen(size); }
    bool makeWindowCurrent() override { return sdlWindowSystem().makeWindowCurrent(); }
    bool makeOffscreenCurrent() override { return sdlWindowSystem().makeOffscreenCurrent(); }
    bool releaseContext() override { return ++releases, true; }
    bool destroyWindow() override { return ++destroys, true; }
    bool hasWindow() const override { return true; }
    bool hasContext() const override { return true; }
};

}  // namespace ostravel::testing
