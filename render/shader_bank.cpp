#include "render/shader_bank.h"

#include "models/model_builder.h"
#include "platform/gl.h"
#include "render/render_context.h"

namespace ostravel {

void setUpProjectivePrograms(RenderContext& ctx, const char* vertexPath, const char* fragmentPath,
                             const char* meshPath, int meshSlot, int depthTextureSlot, int depthSize, int slot) {
    buildModel(ctx.textures, ctx.swapHook, ctx.meshes, meshPath, meshSlot, 1.0f);

    TextureBank& textures = ctx.textures;
    glActiveTexture(GL_TEXTURE0);
    GLuint& depthTexture = textures.names[resolveSlot(textures, depthTextureSlot)];
    glGenTextures(1, &depthTexture);
    glBindTexture(GL_TEXTURE_2D, depthTexture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, 0, 0, depthSize, depthSize, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE, GL_LUMINANCE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);

    // The GLSL program pair (steps 6 to 9) is not built yet: the slots stay empty, which every
    // user of the bank already treats as "draw with the fixed-function stages".
    (void)vertexPath;
    (void)fragmentPath;
    (void)slot;
}

void setUpBlurProgram(ShaderBank& bank, const char* fragmentPath, int slot) {
    // Not built yet: the slot stays empty (see setUpProjectivePrograms).
    (void)bank;
    (void)fragmentPath;
    (void)slot;
}

void disableProfiles(ShaderBank& bank) {
    // No program is ever enabled until the GLSL programs exist; nothing to switch off.
    (void)bank;
}

}  // namespace ostravel
