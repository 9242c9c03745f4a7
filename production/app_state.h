// AppState: the shell's process-wide record, and the FrameClock it keeps.
//
// Settings come from the settings dialog; keys, buttons and the wheel from the window messages;
// timing and the camera from the per-frame driver. Times are seconds (double). Key state is
// indexed by Windows virtual-key code (Escape = 27).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "render/pbuffer.h"

namespace ostravel {

class Demo;
class SoundDevice;
class WindowSystem;

constexpr int kVkEscape = 27;
constexpr double kExitFadeRate = 0.800000011920929;  // single-precision 0.8 per second

// Seconds since the last reset, from the performance counter. Every reading advances the base.
// The rate scales what each reading adds (the preview's slow motion; 0 holds the clock); the show
// keeps it at 1, which leaves every reading exact.
struct FrameClock {
    int64_t lastCounter = 0;
    double accumulated = 0.0;
    double rate = 1.0;
};

void resetClock(FrameClock& clock);
double readClock(FrameClock& clock);

struct AppState {
    // Settings (the dialog).
    bool musicEnabled = true;
    bool fullscreen = false;

    // Window messages.
    bool windowActive = true;
    std::array<bool, 256> keys{};
    bool quitPosted = false;
    int quitCode = 0;
    bool debugCameraOn = false;
    bool debugDragging = false;
    double wheelZoom = 0.0;
    std::string debugLog;

    // Timing and the exit fade.
    FrameClock clock;
    double previousClockReading = 0.0;
    double frameDt = 0.0;
    double demoTime = 0.0;
    int32_t frameCount = 0;
    bool exitFadeLatched = false;
    double exitFadeStart = 0.0;

    // Debug camera.
    double cameraPos[3] = {0.0, 0.0, 0.0};
    double orbitYaw = 0.0;
    double orbitPitch = 0.0;
    double orbitZoom = 0.0;
    double previousCursorX = 0.0;
    double previousCursorY = 0.0;

    // What the shell brought up.
    WindowSystem* windows = nullptr;
    SoundDevice* sound = nullptr;
    Demo* demo = nullptr;
    Pbuffer pbuffer;
    void (*killWindow)() = nullptr;  // tears the window down (installed by the shell)
};

AppState& appState();
void resetAppState();

// Every process-wide object back to its state at program start: AppState, RenderContext and the
// random sequence. Every test fixture that runs production code
// starts with it.
void resetProcessState();

}  // namespace ostravel
