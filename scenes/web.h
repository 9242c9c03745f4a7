// The feature web (mode 1): a chain of curved connections through the tracked feature points in
// detection order (until 135 s), a marker on every point that unwinds and disappears point by
// point after 135 s, and, while the credits show (9 s to about 43.3 s), eleven cables from each of
// the first three points out to cells of the drifting credits sheet, so that the credit lines seem
// tied to what the eye has found in the video.
//
// Decisions: the even cables (0, 2, .., 10) carry the glowing band, 0.04 to either side of the
// cable across its direction, its texture coordinates (0, v) on one side and (1, 0.2) on the other
// with v = 0.1 k - 1.2 t - floor(-1.2 t) along the 21 samples, continuous along the band (the
// blob's bright core runs along it as v scrolls); the marker colour is (b3, b2, b1), b3 enlarges
// the first ten markers and b1 lifts the pie to z = 1; the pie's radius is 0.18 r, so it shrinks
// as it unwinds.
#pragma once

#include "analysis/frame_analysis.h"
#include "assets/texture_bank.h"
#include "scenes/scene_time.h"

namespace ostravel {

// Draws nothing when f < 0.00001. Needs the sequencer's additive blending with slot 10 bound;
// leaves blending on with (ONE, ONE), line width 1 and 2D texturing off.
void drawFeatureWeb(const SceneTime& time, const FrameAnalysis& frame, const TextureBank& textures, double s0,
                    double f);

}  // namespace ostravel
