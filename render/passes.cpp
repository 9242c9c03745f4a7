#include "render/passes.h"

#include "platform/gl.h"

namespace ostravel {

void projectivePass(RenderContext& ctx, const Pbuffer& pbuffer, PassDraw lightDraw, PassDraw eyeDraw,
                    int depthTextureSlot, int lightSize, int programSlot, const Camera& eye, const Camera& light,
                    bool toTexture, int width, int targetTextureSlot) {
    // Not built yet: arrives with the rendering-effects work. Until then the scene texture keeps
    // the black it was created with.
    (void)ctx, (void)pbuffer, (void)lightDraw, (void)eyeDraw, (void)depthTextureSlot, (void)lightSize;
    (void)programSlot, (void)eye, (void)light, (void)toTexture, (void)width, (void)targetTextureSlot;
}

void blurGlowPass(RenderContext& ctx, const Pbuffer& pbuffer, int sceneTextureSlot, int glowTextureSlot, int size,
                  double opacity, int passes, int blurProgramSlot) {
    // Not built yet: arrives with the rendering-effects work (the glow texture stays black).
    (void)ctx, (void)pbuffer, (void)sceneTextureSlot, (void)glowTextureSlot, (void)size, (void)opacity;
    (void)passes, (void)blurProgramSlot;
}

void copyScreenToTexture(unsigned textureName, int width, int height) {
    glBindTexture(GL_TEXTURE_2D, textureName);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, width, width == 800 ? 600 : height);
}

void restoreWindowProjection(const RenderContext& ctx, const Pbuffer& pbuffer) {
    makeWindowPairCurrent(pbuffer);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(75.0 + ctx.passProjection.fieldOfViewOffset, 1.0, ctx.passProjection.nearPlane,
                   ctx.passProjection.farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

}  // namespace ostravel
