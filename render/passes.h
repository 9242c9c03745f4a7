// The per-frame passes: the projective pass that renders the scene into the Pbuffer and copies it
// into the scene texture, the blur and glow pass, and the two helpers they share.
#pragma once

#include "render/render_context.h"

namespace ostravel {

using PassDraw = void (*)(RenderContext&);

void projectivePass(RenderContext& ctx, const Pbuffer& pbuffer, PassDraw lightDraw, PassDraw eyeDraw,
                    int depthTextureSlot, int lightSize, int programSlot, const Camera& eye, const Camera& light,
                    bool toTexture, int width, int targetTextureSlot);

void blurGlowPass(RenderContext& ctx, const Pbuffer& pbuffer, int sceneTextureSlot, int glowTextureSlot, int size,
                  double opacity, int passes, int blurProgramSlot);

// Copies the lower left of the read buffer into the texture; width 800 always copies 600 rows.
void copyScreenToTexture(unsigned textureName, int width, int height);

// Window pair current, projection gluPerspective(75 + offset, 1, near, far), model-view identity.
void restoreWindowProjection(const RenderContext& ctx, const Pbuffer& pbuffer);

}  // namespace ostravel
