// The analysis geometry: five drawers that turn a FrameAnalysis into immediate-mode line geometry
// in the plane z = 0 (the spikes reach z = 5). Each takes its fade; the scene sequencer sets blend
// mode, line width and matrix before each call and seeds the random sequence where it must.
//
// Mappings: a contour point (px, py) becomes ((px - qw) * 0.08, (py - qh) * 0.08, 0) with
// qw = (videoWidth / 2) / 2, qh = (videoHeight / 2) / 2 (integer halvings); a tracked point
// becomes its (x, y) * 0.04. One world unit is 25 full-size video pixels.
#pragma once

#include <array>

#include "analysis/frame_analysis.h"
#include "math/spline.h"

namespace ostravel {

constexpr int kContourSplines = 1000;
using SplinePool = std::array<Spline, kContourSplines>;
// The spikes rise from points 0, 3, 6, ... below min(cornerCount, kSpikePointLimit).
constexpr int kSpikePointLimit = 850;

// Fans (contours over 60 points) then thick outlines (over 150), each over the first f/2 of the
// contour; nothing below f = 0.001. Draws one random number first.
void drawContourFans(const FrameAnalysis& frame, double f, double pulse);
// Strips through every 8th point of contours over 270 points, jittered; one random number per
// contour plus two per vertex. The caller seeds the sequence from the time.
void drawContourShimmer(const FrameAnalysis& frame, double f);
// Gives every spline of the pool room for `controlPoints` control points once, at start-up: the
// ribbons rebuild the pool every pass and then reuse that room instead of allocating.
void reserveSplinePool(SplinePool& pool, int controlPoints);
// Clears the whole pool first, whatever the fade. Contour k fits spline k + 1 through every 6th
// point of its first ~43 % (contours over 90 points) and draws a jittered glow ribbon of up to
// 30 f samples and a core line of up to 100 f samples; contours from the 1000th on get none.
// Spline parameters are i * count / 30 and i * count / 100 in real (not integer) division.
void drawContourRibbons(const FrameAnalysis& frame, SplinePool& pool, double f);
// Seeds the sequence with 5000; a chain of nested crosses closing on points 1 .. f * cornerCount.
void drawPointQuadtrees(const FrameAnalysis& frame, double f);
// Triangles from points 0, 3, 6, ... up to z = 5 when g > 0.001; the begin/end pair always runs.
void drawPointSpikes(const FrameAnalysis& frame, double g);

}  // namespace ostravel
