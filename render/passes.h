// The per-frame passes: the projective pass that renders the scene into the Pbuffer and copies it
// into the scene texture, the blur and glow pass, and the two helpers they share.
#pragma once

#include "render/render_context.h"

namespace ostravel {

using PassDraw = void (*)(RenderContext&);

// Light pass into the Pbuffer (depth only, front faces culled, polygon offset 5/5; the depth is
// copied into depthTextureSlot's texture only when lightDraw is given), then the eye pass into the
// Pbuffer (toTexture, at the viewport of the screen-copy mode) or the window, with the light's
// biased projection in the texture matrix; the used rectangle goes into targetTextureSlot's
// texture. Leaves the target's context current, both profiles off, 2-D texturing and depth test
// on, blending, culling, lighting and polygon offset off, the texture matrix at identity.
// Decisions: the window's face culling is not touched when the eye pass draws into the Pbuffer
// (the composite on the window draws front-facing quads); clears of the Pbuffer are limited to the
// area that is drawn and copied.
void projectivePass(RenderContext& ctx, const Pbuffer& pbuffer, PassDraw lightDraw, PassDraw eyeDraw,
                    int depthTextureSlot, int lightSize, int programSlot, const Camera& eye, const Camera& light,
                    bool toTexture, int width, int targetTextureSlot);

// In the Pbuffer at size x size: last frame's glow texture slightly shrunk, the scene texture's
// used corner over it at the given opacity, copied into the glow texture, then `passes` runs of
// the blur program each copied back. Leaves the Pbuffer's context current with both profiles off.
void blurGlowPass(RenderContext& ctx, const Pbuffer& pbuffer, int sceneTextureSlot, int glowTextureSlot, int size,
                  double opacity, int passes, int blurProgramSlot);

// Copies the lower left of the read buffer into the texture; width 800 always copies 600 rows.
void copyScreenToTexture(unsigned textureName, int width, int height);

// Window pair current, projection gluPerspective(75 + offset, 1, near, far), model-view identity.
void restoreWindowProjection(const RenderContext& ctx, const Pbuffer& pbuffer);

}  // namespace ostravel
