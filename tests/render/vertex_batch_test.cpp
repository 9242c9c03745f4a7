// The vertex batch against immediate mode on real GL, for the geometry it carries: screen-facing
// textured sprites (GL_QUADS, five to a primitive) with a colour each, some inheriting GL's
// current colour, an incomplete quad at the end, and a storage small enough to fill up inside a
// primitive. The same calls
// through the batch and through glBegin/glColor/glTexCoord/glVertex must give the same pixels and
// leave the same current colour and texture coordinate.
//
// Fans, strips and loops, some with too few vertices to draw (an empty one first): each through
// the batch must draw as its own primitive, and the empty ones must not take the others with
// them, as they do in Mesa's immediate mode. The reference sends only the drawable ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "math/random.h"
#include "platform/gl.h"
#include "render/vertex_batch.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;

namespace {

struct Drawn {
    std::vector<uint8_t> pixels;
    float colour[4], texCoord[4];
};

// Sprites of a seeded layout, through the batch or through immediate mode.
Drawn sprites(bool batched) {
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(0.2f, 0.7f, 0.4f, 1.0f);  // what the sprites before the first colour take
    glTexCoord2f(0.3f, 0.6f);
    VertexBatch batch(50, 8);
    seed(4242);
    const auto r = [] { return float(random01()); };
    for (int k = 0; k < 40; ++k) {
        if (k % 5 == 0) batched ? batch.begin(GL_QUADS) : glBegin(GL_QUADS);
        if (k >= 3 && k % 5 != 0) {
            const float c[4] = {r(), r(), r(), 1.0f};
            batched ? batch.colour(c[0], c[1], c[2], c[3]) : glColor4f(c[0], c[1], c[2], c[3]);
        }
        const float x = 7 * r() - 3.5f, y = 5 * r() - 2.5f, z = r() - 0.5f, h = 0.1f + r();
        const float corners[4][4] = {{x - h, y - h, 0, 0}, {x + h, y - h, 1, 0}, {x + h, y + h, 1, 1}, {x - h, y + h, 0, 1}};
        for (int i = 0; i < (k == 39 ? 3 : 4); ++i) {  // the last quad is incomplete: GL drops it
            const float* v = corners[i];
            batched ? batch.texCoord(v[2], v[3]) : glTexCoord2f(v[2], v[3]);
            batched ? batch.vertex(v[0], v[1], z) : glVertex3f(v[0], v[1], z);
        }
        if (k % 5 == 4) batched ? batch.end() : glEnd();
    }
    if (batched) batch.flush();
    Drawn d;
    d.pixels.resize(800 * 600 * 4);
    glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, d.pixels.data());
    glGetFloatv(GL_CURRENT_COLOR, d.colour);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, d.texCoord);
    return d;
}

TEST(VertexBatch, SpritesDrawAsInImmediateMode) {
    ASSERT_TRUE(ostravel::testing::ensureGLWindow());
    ostravel::testing::useSequencerView();
    // Distinct texels, so that texture coordinates show in the colours.
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    std::vector<uint8_t> texels(8 * 8 * 4);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = uint8_t(37 * i + 11);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 0);

    const Drawn immediate = sprites(false);
    const Drawn batched = sprites(true);
    size_t differing = 0;
    for (size_t i = 0; i < immediate.pixels.size(); ++i) differing += immediate.pixels[i] != batched.pixels[i];
    EXPECT_EQ(differing, 0u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(immediate.colour[k], batched.colour[k]) << "current colour " << k;
        EXPECT_EQ(immediate.texCoord[k], batched.texCoord[k]) << "current texture coordinate " << k;
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDeleteTextures(1, &texture);
}

// Seeded fans, strips and loops, every third one too short to draw and the first one empty.
std::vector<uint8_t> stripsAndFans(bool batched) {
    glClear(GL_COLOR_BUFFER_BIT);
    VertexBatch batch(64, 6);
    seed(77);
    const auto r = [] { return float(random01()); };
    const GLenum modes[] = {GL_TRIANGLE_FAN, GL_TRIANGLE_STRIP, GL_LINE_STRIP, GL_LINE_LOOP, GL_QUAD_STRIP};
    for (int k = 0; k < 30; ++k) {
        const GLenum mode = modes[(k / 6) % 5];
        const int count = k == 0 ? 0 : k % 3 == 0 ? 1 : 4 + k % 5;
        const bool drawable = count >= (mode == GL_LINE_STRIP || mode == GL_LINE_LOOP ? 2 : mode == GL_QUAD_STRIP ? 4 : 3);
        if (batched) batch.begin(mode);
        else if (drawable) glBegin(mode);
        const float x = 6 * r() - 3, y = 4 * r() - 2;
        for (int i = 0; i < count; ++i) {
            const float c = r(), px = x + r() - 0.5f, py = y + r() - 0.5f;
            if (batched) batch.colour(c, 1 - c, 0.5f), batch.vertex(px, py, 0);
            else if (drawable) glColor3f(c, 1 - c, 0.5f), glVertex3f(px, py, 0);
        }
        if (batched) batch.end();
        else if (drawable) glEnd();
    }
    if (batched) batch.flush();
    std::vector<uint8_t> pixels(800 * 600 * 4);
    glReadPixels(0, 0, 800, 600, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

TEST(VertexBatch, StripsAndFansDrawAloneAndEmptyOnesTakeNothingWithThem) {
    ASSERT_TRUE(ostravel::testing::ensureGLWindow());
    ostravel::testing::useSequencerView();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    const std::vector<uint8_t> reference = stripsAndFans(false), batched = stripsAndFans(true);
    size_t differing = 0, lit = 0;
    for (size_t i = 0; i < reference.size(); ++i) differing += reference[i] != batched[i], lit += reference[i] != 0;
    EXPECT_GT(lit, 10000u);
    EXPECT_EQ(differing, 0u);
}

}  // namespace
