#include "render/passes.h"

#include <algorithm>

#include "platform/gl.h"
#include "render/billboard.h"

namespace ostravel {

namespace {

void applyCamera(const Camera& c) {
    gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.centre.x, c.centre.y, c.centre.z, c.up.x, c.up.y, c.up.z);
}

void passPerspective(const RenderContext& ctx) {
    gluPerspective(75.0 + ctx.passProjection.fieldOfViewOffset, 1.0, ctx.passProjection.nearPlane,
                   ctx.passProjection.farPlane);
}

// glClear of the Pbuffer limited to the viewport and the lower-left w x h that will be copied out:
// nothing outside them is drawn or copied before the next clear, and llvmpipe would otherwise
// clear the whole 1024 x 1024 surface (about a millisecond a frame). The scissor test is off
// everywhere else in the program.
void clearUsedArea(GLbitfield buffers, int w, int h) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int x0 = std::min(viewport[0], 0), y0 = std::min(viewport[1], 0);
    glScissor(x0, y0, std::max(viewport[0] + viewport[2], w) - x0, std::max(viewport[1] + viewport[3], h) - y0);
    glEnable(GL_SCISSOR_TEST);
    glClear(buffers);
    glDisable(GL_SCISSOR_TEST);
}

struct Size {
    int w, h;
};

// Viewport of the eye pass in the Pbuffer; false where it keeps the one it has.
bool eyeViewport(int screenCopyMode, int width, Size& size) {
    if (screenCopyMode < 0) {
        size = width == 640 ? Size{640, 480} : width == 800 ? Size{800, 600} : Size{width, width};
        return true;
    }
    if (width <= 600) {
        size = {width, width};
        return true;
    }
    switch (screenCopyMode) {
    case 1: size = {640, 480}; return true;
    case 2: size = {800, 600}; return true;
    case 3: size = {320, 240}; return true;
    default: return false;
    }
}

// The rectangle of the eye image copied into the target texture.
Size copySize(int screenCopyMode, int width) {
    if (width == 640) {
        if (screenCopyMode == -1 || screenCopyMode == 1) return {640, 480};
        if (screenCopyMode == 2) return {800, 600};
        return {640, 640};
    }
    if (width == 800) {
        if (screenCopyMode == -1 || screenCopyMode == 2) return {800, 600};
        if (screenCopyMode == 1) return {640, 480};
        if (screenCopyMode == 3) return {320, 240};
        return {800, 800};
    }
    return {width, width};
}

}  // namespace

void projectivePass(RenderContext& ctx, const Pbuffer& pbuffer, PassDraw lightDraw, PassDraw eyeDraw,
                    int depthTextureSlot, int lightSize, int programSlot, const Camera& eye, const Camera& light,
                    bool toTexture, int width, int targetTextureSlot) {
    ShaderBank& bank = ctx.shaders;
    const int i = programSlot;

    // Light pass: depth only, from the light, into the Pbuffer. Front faces are culled in the
    // context that draws; the window's culling is left alone: the eye pass sets it again when it
    // draws there, and the composite that follows on the window draws its screen-facing quads
    // front-on, which front-face culling would remove.
    makePbufferPairCurrent(pbuffer);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glDisable(GL_BLEND);

    glPushMatrix();
    glViewport(0, 0, lightSize, lightSize);
    clearUsedArea(GL_DEPTH_BUFFER_BIT, lightSize, lightSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    passPerspective(ctx);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glDisable(GL_LIGHTING);
    glPolygonOffset(5.0f, 5.0f);
    glEnable(GL_POLYGON_OFFSET_FILL);
    applyCamera(light);
    glDisable(GL_TEXTURE_2D);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);

    bindProgram(bank, i);
    bindProgram(bank, i + 1);
    enableVertexProfile(bank);
    disableFragmentProfile(bank);
    glPushMatrix();
    setModelViewProjectionParameter(bank, i, 5);
    if (lightDraw.draw) lightDraw.draw(lightDraw.user);
    glPopMatrix();

    disableVertexProfile(bank);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureName(ctx.textures, depthTextureSlot));
    if (lightDraw.draw) glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, lightSize, lightSize);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glPopMatrix();
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

    // Target: the window as it is, or the Pbuffer at the size the copy mode asks for.
    if (toTexture) {
        makePbufferPairCurrent(pbuffer);
        Size viewport{0, 0};
        if (eyeViewport(ctx.screenCopyMode, width, viewport)) glViewport(0, 0, viewport.w, viewport.h);
    } else {
        makeWindowPairCurrent(pbuffer);
    }

    // Eye pass, with the light's biased projection in the texture matrix.
    glDisable(GL_BLEND);
    bindProgram(bank, i);
    bindProgram(bank, i + 1);
    enableFragmentProfile(bank);
    enableVertexProfile(bank);

    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glPushMatrix();
    const Size copy = copySize(ctx.screenCopyMode, width);
    if (toTexture) clearUsedArea(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT, copy.w, copy.h);
    else glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    passPerspective(ctx);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    applyCamera(eye);
    enableFragmentProfile(bank);
    enableVertexProfile(bank);

    glPushMatrix();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.5f);
    glScalef(0.5f, 0.5f, 0.5f);
    passPerspective(ctx);
    applyCamera(light);
    setTextureMatrixParameter(bank, i, 6);
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();

    glDisable(GL_TEXTURE_2D);
    const Vec3& projectorEye = ctx.projector.eye;
    lookupParameter(bank, i, 1, "CameraPos");
    setParameter3(bank, i, 1, projectorEye.x, projectorEye.y, projectorEye.z);
    lookupParameter(bank, i, 2, "LightPos");
    setParameter3(bank, i, 2, light.eye.x, light.eye.y, light.eye.z);

    glPushMatrix();
    setModelViewProjectionParameter(bank, i, 5);
    if (eyeDraw.draw) eyeDraw.draw(eyeDraw.user);
    glPopMatrix();

    disableFragmentProfile(bank);
    disableVertexProfile(bank);
    glPopMatrix();

    glPushMatrix();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_TEXTURE_2D);

    if (toTexture) copyScreenToTexture(textureName(ctx.textures, targetTextureSlot), copy.w, copy.h);

    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
}

void blurGlowPass(RenderContext& ctx, const Pbuffer& pbuffer, int sceneTextureSlot, int sceneWidth,
                  int glowTextureSlot, int size, double opacity, int passes, int blurProgramSlot) {
    ShaderBank& bank = ctx.shaders;
    const GLuint glow = textureName(ctx.textures, glowTextureSlot);

    makePbufferPairCurrent(pbuffer);
    glViewport(0, 0, size, size);
    clearUsedArea(GL_COLOR_BUFFER_BIT, size, size);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(65.0, 1.0, 0.01, 124.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHT0);
    glDisable(GL_DEPTH_TEST);
    glColor3f(1.0f, 1.0f, 1.0f);
    // Looking down from 2.03 units, a quad of half-size 1.295 just covers the square viewport.
    gluLookAt(0.0, 2.03, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0);
    glDisable(GL_DEPTH_TEST);
    disableFragmentProfile(bank);
    disableVertexProfile(bank);

    // Last frame's glow, slightly shrunk: the trail.
    glBindTexture(GL_TEXTURE_2D, glow);
    billboard(0.0, 1.275, 1.275);

    // This frame's scene over it.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4d(1.0, 1.0, 1.0, opacity);
    glBindTexture(GL_TEXTURE_2D, textureName(ctx.textures, sceneTextureSlot));
    cropBillboard(sceneWidth, ctx.screenCopyMode, 0.0, 1.295, 1.295);
    glDisable(GL_BLEND);
    copyScreenToTexture(glow, size, size);

    bindBlurTextures(ctx, blurProgramSlot, glowTextureSlot);
    for (int pass = 0; pass < passes; ++pass) {
        billboard(0.0, 1.295, 1.295);
        copyScreenToTexture(glow, size, size);
    }

    glEnable(GL_DEPTH_TEST);
    disableFragmentProfile(bank);
    disableVertexProfile(bank);
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
