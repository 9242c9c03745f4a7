// The video pixel mosaic: near the end of the analysis part the video itself shows as a screen of
// 96 x 72 disc sprites, one for every fourth pixel of every fourth row of the current frame, each
// as bright as that pixel's blue byte. The sprites wobble in size with a random-walk phase, start
// blue and gain red and green as a radial reveal sweeps outwards (156.5 s to 166 s), and the
// screen fills row by row as the fade grows (complete from f = 0.05).
//
// Sampling: a frame of at least 381 x 285 pixels is read at column 4 j, row 4 i; a smaller frame
// is read at the same fractions of its own width and height (4 j * width / 384, 4 i * height /
// 288), so the whole picture still fills the screen. Rows are addressed by the image's own stride.
// Without a frame every sprite is black (the random layout is drawn all the same).
#pragma once

#include "analysis/frame_analysis.h"
#include "assets/texture_bank.h"
#include "scenes/scene_time.h"

namespace ostravel {

constexpr int kMosaicColumns = 96;
constexpr int kMosaicRows = 72;

// Draws nothing when f < 0.01. Seeds the random sequence with 300000 and draws three values per
// sprite. Leaves blending on with (ONE, ONE), depth test and 2D texturing off, slot 10 bound.
void drawVideoMosaic(const SceneTime& time, const FrameAnalysis& frame, const TextureBank& textures, double f);

}  // namespace ostravel
