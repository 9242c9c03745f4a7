// Every way a run of the show can end or stop short, and what each means to the user: the one
// table from outcome to message box (caption, text, icon) and exit status. The show program
// shows the box; the unattended runs (capture, benchmark) print the same text through their
// message handling. Loaders and the frame step report their own values (TextureError,
// MusicError, FrameOutcome, WindowFailure); only this layer turns them into messages.
#pragma once

#include <string>
#include <utility>

#include "assets/texture_error.h"
#include "platform/system.h"
#include "platform/window.h"
#include "production/frame_step.h"
#include "production/music.h"

namespace ostravel {

enum class Outcome {
    Running,            // nothing has ended
    DialogQuit,         // "Quit" in the settings dialog
    FullscreenRefused,  // the display mode was refused and windowed mode declined
    NoDisplay,          // the window system cannot be used at all
    WindowFailed,       // a later step of the window and its context (see WindowFailure)
    NoOffscreenSurface,
    NoFragmentPrograms,
    SoundDeviceFailed,
    NoSoundFile,
    TextureMissing,     // TextureError::CannotOpen
    TextureRefused,     // any other TextureError
    ShowOver,
    FadeDone,
    WindowClosed,
};

// An outcome with what its message names: the failed window step, or a texture's path.
struct OutcomeReport {
    OutcomeReport() = default;
    OutcomeReport(Outcome o, WindowFailure w = WindowFailure::None, std::string p = {})
        : outcome(o), window(w), path(std::move(p)) {}

    Outcome outcome = Outcome::Running;
    WindowFailure window = WindowFailure::None;
    std::string path;
};

struct OutcomeMessage {
    const char* caption;  // nullptr: no message
    std::string text;
    MessageIcon icon;
    int status;           // exit status of the show program
};

OutcomeMessage outcomeMessage(const OutcomeReport& report);
// Shows the outcome's message, if it has one, through the installed system services.
void showOutcome(const OutcomeReport& report);

OutcomeReport outcomeOf(TextureResult result);
OutcomeReport outcomeOf(MusicError error);
OutcomeReport outcomeOf(FrameOutcome outcome);
OutcomeReport outcomeOf(WindowFailure failure);

}  // namespace ostravel
