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

void drawContourFans(const FrameAnalysis& frame, double f, double pulse);
void drawContourShimmer(const FrameAnalysis& frame, double f);
// Clears the whole pool first, whatever the fade.
void drawContourRibbons(const FrameAnalysis& frame, SplinePool& pool, double f);
void drawPointQuadtrees(const FrameAnalysis& frame, double f);
void drawPointSpikes(const FrameAnalysis& frame, double g);

}  // namespace ostravel
