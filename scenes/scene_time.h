// What every scene reads of the production besides the analysis: the time, the beat and the
// camera sample of this frame, and where the Demo's textures start in the TextureBank.
#pragma once

#include <cstdint>

namespace ostravel {

// The Demo's textures that the scenes bind, as slots from textureSlotBase.
constexpr int kBlobTextureSlot = 10;       // "textures/blob41b.jpg": the soft glow blob
constexpr int kDiscTextureSlot = 13;       // "textures/cir.jpg" with "textures/ciralpha.jpg" as alpha
constexpr int kDotScreenTextureSlot = 14;  // "textures/circle.jpg"
constexpr int kCardTextureSlot = 20;       // "textures/z1.jpg" .. "textures/z5.jpg" in 20 .. 24

struct SceneTime {
    double localTime = 0.0;  // production time, seconds
    double pulse = 0.0;      // beat envelope 0..1
    double pulseSum = 0.0;   // sum of every frame's pulse so far
    double cameraPos[3] = {0.0, 0.0, 0.0};
    int32_t textureSlotBase = 0;
    double frameDt = 0.0;        // this frame's time step, seconds
    int32_t framesRendered = 0;  // frames rendered before this one (0 on the first)
};

}  // namespace ostravel
