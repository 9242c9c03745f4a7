// The show's timetable: its named sections in production time (seconds). The sequencer's fades
// rise and fall at these times, and everything that shows or checks the course of the show (the
// frame-time plot, the soundtrack's tests, a timeline) reads this one table.
#pragma once

#include <array>
#include <cstddef>

namespace ostravel {

struct ShowSection {
    const char* name;
    double start;
    double end;
};

enum class Section : size_t {
    Spikes,          // the spikes rise from the tracked points
    Credits,         // title and credits on the graph paper
    GridFlicker,     // the flickering grid over the credits
    VideoPlayback,   // the video moves (before this it holds its first frame)
    Pan,             // the picture pans towards the strongest corner
    ContourFans,
    Ribbons,         // the contour ribbons, first stretch
    Shimmer,         // the shimmering strips
    Greetings,
    LateRibbons,     // the ribbons again, softer
    Breakdown,       // the music drops; the spikes go and the triangulation comes up
    Triangulation,   // the Delaunay mesh at its brightest
    Mosaic,          // the video's pixel mosaic
    Count,
};

inline constexpr std::array<ShowSection, size_t(Section::Count)> kTimetable{{
    {"spikes", 0.0, 135.0},
    {"credits", 4.0, 48.0},
    {"grid flicker", 16.0, 38.0},
    {"video playback", 50.0, 195.5},
    {"pan", 55.0, 98.0},
    {"contour fans", 65.0, 107.0},
    {"ribbons", 79.0, 105.5},
    {"shimmer", 93.0, 124.0},
    {"greetings", 99.0, 122.5},
    {"late ribbons", 123.5, 183.0},
    {"breakdown", 135.0, 145.0},
    {"triangulation", 135.0, 175.0},
    {"mosaic", 160.0, 179.0},
}};

constexpr const ShowSection& section(Section s) { return kTimetable[static_cast<size_t>(s)]; }

}  // namespace ostravel
