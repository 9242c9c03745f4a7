// The preview's keys and what each asks for, kept apart from the show so that the rules read in
// one place. Keys are virtual-key codes (platform/window.h); times are show seconds.
//
//   Space            pause / play (the music too)
//   Left, Right      5 s back, forward
//   Page Down, Up    30 s back, forward
//   Home             to the start
//   G or a digit     start typing a time: digits, '.', Backspace; Enter jumps there
//   L                mark A; again: mark B and loop A-B; a third time: no loop
//   [ ]              half, double speed (1/8x to 4x)
//   F12              save the 800 x 600 frame
//   Tab              overlay on / off
//   Escape           quit at once
#pragma once

#include <optional>
#include <string>

namespace ostravel {

constexpr double kSlowestSpeed = 0.125;
constexpr double kFastestSpeed = 4.0;

struct PreviewControls {
    bool paused = false;
    double speed = 1.0;
    int loopMarks = 0;  // 0 no loop, 1 A marked, 2 looping from A to B
    double loopA = 0.0, loopB = 0.0;
    bool typing = false;
    std::string typed;
    bool overlayShown = true;
    bool quit = false;
    bool saveFrame = false;        // F12 pressed, not yet saved
    std::optional<double> jump;    // a time asked for, not yet gone to

    // A key pressed at show time `now`; false when it is none of the preview's keys.
    bool keyDown(int key, double now);
    // The loop's start when the show has passed its end; none otherwise.
    std::optional<double> loopBack(double now) const;
};

}  // namespace ostravel
