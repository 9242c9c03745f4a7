// The preview's overlay widgets (Dear ImGui): where the show stands, the loop and the typed time,
// the frame time of the last seconds and of the current section, the shaders that do not compile,
// and the timeline of the one timetable along the bottom, which jumps where it is clicked.
#pragma once

#include <optional>
#include <string>

namespace ostravel {

class FrameTimes;
class ShaderWatch;
struct PreviewControls;

struct OverlayView {
    double showTime;
    const PreviewControls& controls;
    const FrameTimes& times;
    const ShaderWatch* watch;  // null: no watch
    bool musicHeard;
    double musicTime;          // where the music plays (when heard)
    bool atEnd;
    double lastJumpSeconds;    // 0: no jump yet
    const std::string& saved;  // the last frame saved
};

// Builds this frame's widgets (between the overlay's beginFrame and endFrame). The show time
// clicked on the timeline, if any.
std::optional<double> drawOverlay(const OverlayView& view);

}  // namespace ostravel
