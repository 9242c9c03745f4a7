// The application shell: start-up order, the GL window and its teardown, the main loop and the
// window procedure.
//
// Start-up: settings dialog, CreateGLWindow (window, context, ResizeGLScene, InitGL, which runs
// StartProduction: Pbuffer, graphics-card checks, the Demo's Init, the music, the clock), then
// the main loop. Every fatal problem is a message box followed by the exit status of its row in
// the table below; the show itself ends inside the per-frame driver.
//
//   "Quit" in the dialog                     0      no fragment-program support       0
//   window or context creation fails         0      sound device cannot start          1
//   music file cannot be loaded              0      end of show, exit fade, close box  0
#pragma once

#include "platform/window.h"

namespace ostravel {

class SoundDevice;

inline constexpr const char* kWindowTitle = " = Ostravel KVR 2006 = ";

struct ShellOptions {
    bool hiddenWindow = false;  // the capture tool renders without showing a window
};

// What the shell runs on: the real platform, or fakes in tests.
void installShellPlatform(WindowSystem* windows, SoundDevice* sound, const ShellOptions& options = {});

bool CreateGLWindow(const char* title, int width, int height, int bits, bool fullscreenFlag);
void ResizeGLScene(int width, int height);
void KillGLWindow();
bool InitGL();
void StartProduction();

// The slow-card warning and the fragment-program check (plain substring searches).
void checkGraphicsCard(const char* renderer, const char* extensions);

// Applies one window message to the shell's state.
void handleWindowEvent(const WindowEvent& event);
// Runs until the quit message; tears the window down and returns the quit code.
int mainLoop();

// The whole program: dialog, window, loop. Returns the process exit status.
int runProgram();

}  // namespace ostravel
