// The settings dialog shown before the window opens: "Music" (on by default) and "Windowed"
// (off by default) toggles, "Run ... " (or Enter) and "Quit" (or Escape, or the close box).
#pragma once

namespace ostravel {

enum class DialogOutcome {
    Run,
    Quit,
    Unavailable,  // no display: nothing could be shown
};

struct DialogSettings {
    bool music = true;
    bool windowed = false;
};

DialogOutcome runSetupDialog(DialogSettings& settings);

}  // namespace ostravel
