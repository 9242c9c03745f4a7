// The application shell: start-up order, the GL window and its teardown, the main loop and the
// window procedure.
//
// Start-up: settings dialog, CreateGLWindow (window, context, ResizeGLScene, InitGL, which runs
// StartProduction: Pbuffer, graphics-card checks, the Demo's Init, the music, the clock), then
// the main loop. Each start-up step returns what happened; a fatal one has shown its message box
// (app/outcomes.h: the table of boxes and exit statuses) and the program ends with its status.
// The per-frame driver says when the show is over; the loop then lets it go and ends.
#pragma once

#include "app/outcomes.h"
#include "platform/window.h"

namespace ostravel {

class SoundDevice;

inline constexpr const char* kWindowTitle = " = Ostravel KVR 2006 = ";

struct ShellOptions {
    bool hiddenWindow = false;  // the capture tool renders without showing a window
    // The preview's window: resizable, the show drawn at the window size asked for into its own
    // target, which is presented scaled to fit whatever size the window is given.
    bool showTarget = false;
};

// What the shell runs on: the real platform, or fakes in tests.
void installShellPlatform(WindowSystem* windows, SoundDevice* sound, const ShellOptions& options = {});
// The window system installed (or the platform's).
WindowSystem& shellWindows();

// Each returns Outcome::Running when it succeeded; otherwise its message has been shown.
OutcomeReport CreateGLWindow(const char* title, int width, int height, int bits, bool fullscreenFlag);
void ResizeGLScene(int width, int height);
void KillGLWindow();
OutcomeReport InitGL();
OutcomeReport StartProduction();

// The slow-card warning (shown here) and the fragment-program check (plain substring searches):
// false when fragment programs are missing.
bool checkGraphicsCard(const char* renderer, const char* extensions);

// Applies one window message to the shell's state.
void handleWindowEvent(const WindowEvent& event);
// Runs until the quit message (tears the window down and returns the quit code) or the end of
// the show (lets the show go and ends the process with status 0).
int mainLoop();

// The whole program: dialog, window, loop. Returns the process exit status.
int runProgram();

}  // namespace ostravel
