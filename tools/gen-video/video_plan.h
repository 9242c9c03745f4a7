#pragma once
// The plan of the show's video "textures/try1.avi", shared by its generator and the tests.
//
// 384 x 288 pixels, 24 frames per second, Motion-JPEG in AVI. The show plays it from 50 s at
// 24 frames per second, slows it from 177 s and reaches about frame 3160 by its end (195.5 s),
// so the last shot runs to kFrameCount without the video wrapping round.

#include <array>

namespace ostravel::videoplan {

inline constexpr int kWidth = 384;
inline constexpr int kHeight = 288;
inline constexpr double kFps = 24;
inline constexpr int kFrameCount = 3200;

// Hard cuts: the analysis darkens the picture around these frames.
inline constexpr std::array<int, 3> kCuts = {449, 985, 2207};

struct Shot {
    int firstFrame;
    const char* name;
};
inline constexpr std::array<Shot, 4> kShots = {{
    {0, "night town"},          // shown 0..73.7 s (frame 0 alone until 50 s)
    {449, "steelworks"},        // 73.7..96 s
    {985, "hall of solids"},    // 96..147 s: greetings and breakdown
    {2207, "tunnel of frames"}, // 147 s to the end: the pixel mosaic (160..184 s)
}};

}  // namespace ostravel::videoplan
