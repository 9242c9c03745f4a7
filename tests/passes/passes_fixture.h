// Shared set-up of the pass tests: the hidden test window with its off-screen context (made
// once per test binary), a fresh RenderContext per test and texel helpers.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

#include "platform/gl.h"
#include "platform/window.h"
#include "render/passes.h"
#include "tests/support/gl_test_window.h"

namespace ostravel::testing {

inline bool ensurePbuffer() {
    static const bool made = ensureGLWindow() && sdlWindowSystem().createOffscreen(1024);
    return made && sdlWindowSystem().makeWindowCurrent();
}

using Rgb = std::array<int, 3>;

// Texels of a 2-D RGB texture, row 0 at the bottom.
inline std::vector<unsigned char> readTexture(GLuint name, int& width) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    std::vector<unsigned char> texels(size_t(w) * size_t(h) * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    width = w;
    return texels;
}

inline Rgb texel(const std::vector<unsigned char>& texels, int width, int x, int y) {
    const size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
    return {texels[i], texels[i + 1], texels[i + 2]};
}

inline void fillTexture(GLuint name, int x, int y, int w, int h, Rgb colour) {
    std::vector<unsigned char> texels(size_t(w) * size_t(h) * 3);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = (unsigned char)colour[i % 3];
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

class PassTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ensurePbuffer());
        ctx = std::make_unique<RenderContext>();
        pbuffer.windows = &sdlWindowSystem();
    }
    void TearDown() override {
        // Leave both contexts without programs for the next test.
        sdlWindowSystem().makeOffscreenCurrent();
        glUseProgram(0);
        sdlWindowSystem().makeWindowCurrent();
        glUseProgram(0);
    }
    GLuint name(int slot) const { return ctx->textures.names[size_t(slot)]; }

    std::unique_ptr<RenderContext> ctx;
    Pbuffer pbuffer;
};

}  // namespace ostravel::testing
