#pragma once
// The show's camera plan: what the recorded tracks "rec1.rcc" and "rec2.rcc" steer.
//
// The analysis reads the camera as three control values (all per frame, from the tracks):
//   x (track 1, first value):  corners requested = trunc(300 x), kept within 3..1650
//   y (track 1, second value): smallest distance between corners = 8 y pixels
//   z (track 2, first value):  mode scene = trunc(5 z) mod 3 (0 arcs, 1 web, 2 fan)
// Times are seconds of production time. The beat of the music falls on 0.127 + 0.5 n s; a bar
// is four beats (2 s). Both tracks are written at kRecordRate records per second from 0 to
// kTrackEnd, long enough that the closed spline never wraps within the 195.5-s show.

#include <array>

namespace ostravel::trackplan {

inline constexpr double kRecordRate = 20;   // records per second
inline constexpr double kTrackEnd = 200;    // seconds
inline constexpr double kBeatOffset = 0.127;
inline constexpr double kBarLength = 2.0;

// Which mode scene is on screen. Chosen for the picture: the web's cables tie the credit
// lines to the video's corners (9 to 43 s), the fan accompanies the video's start and the
// greetings, the web's markers unwind in the breakdown after 135 s.
struct ModeSpan {
    double from, to;
    int mode;
};
inline constexpr std::array<ModeSpan, 9> kModePlan = {{
    {0, 9, 0},        // title: arcs fade in over 5 s
    {9, 44, 1},       // credits: web with cables to the credit lines
    {44, 64, 2},      // the video wakes (50 s): fan
    {64, 88, 0},      // contours (65 s): arcs among the fans and ribbons
    {88, 112, 1},     // greetings build (99 s): web chain
    {112, 132, 2},    // greetings peak and fall: fan
    {132, 160, 1},    // breakdown: web markers unwind one by one after 135 s
    {160, 174, 2},    // mosaic finale: fan
    {174, kTrackEnd, 0},  // mosaic fades (179 s), ending
}};

// Corner count and spacing, as keyframes joined by smooth (cosine) steps. Between keyframes
// the count also swells once per bar with the music (kBarSwell of the base value).
struct DensityKey {
    double time;
    double corners;   // requested corners (before the bar swell)
    double spacing;   // minimum corner distance in pixels
};
inline constexpr std::array<DensityKey, 16> kDensityPlan = {{
    {0, 90, 22},      // quiet opening: few, far apart
    {4, 150, 20},
    {16, 300, 14},    // credits build up
    {44, 480, 11},
    {50, 420, 10},    // video starts
    {65, 700, 8},     // contours
    {90, 800, 7},
    {99, 1050, 6},    // greetings peak
    {124, 1350, 5},
    {135, 600, 12},   // breakdown
    {150, 450, 14},
    {160, 900, 6},    // mosaic finale
    {175, 1650, 4},
    {184, 900, 7},
    {192, 200, 18},   // ending
    {kTrackEnd, 60, 24},
}};
inline constexpr double kBarSwell = 0.3;

}  // namespace ostravel::trackplan
