// The projective pass and the blur and glow pass on real GL: what lands in the textures, and the
// state each pass leaves in the two contexts.
#include <cmath>
#include <functional>
#include <string>

#include "assets/texture_bank.h"
#include "passes_fixture.h"
#include "render/shader_bank.h"

using namespace ostravel;
using namespace ostravel::testing;

namespace {

constexpr Rgb kBlue{0, 0, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlack{0, 0, 0};
const Camera kCamera{makeVec3(0, 2, 0), makeVec3(0, 0, 0), makeVec3(0, 0, 1)};

// The Pbuffer cleared to red by the eye pass, so that what the pass copies shows as red.
void clearPbufferRed() {
    sdlWindowSystem().makeOffscreenCurrent();
    glClearColor(1, 0, 0, 1);
    sdlWindowSystem().makeWindowCurrent();
}

using Projective = PassTest;

TEST_F(Projective, CopiesTheRectangleOfTheCopyMode) {
    struct Case {
        std::string label;
        std::function<void(RenderContext&, const Pbuffer&, GLuint)> copy;
        int w, h;
    };
    const Case cases[] = {
        {"pass, width 800, mode 1",
         [](RenderContext& c, const Pbuffer& p, GLuint) {
             c.screenCopyMode = 1;
             projectivePass(c, p, {}, {}, 5, 32, 0, kCamera, kCamera, true, 800, 0);
         },
         640, 480},
        {"pass, width 800, mode 2",
         [](RenderContext& c, const Pbuffer& p, GLuint) {
             c.screenCopyMode = 2;
             projectivePass(c, p, {}, {}, 5, 32, 0, kCamera, kCamera, true, 800, 0);
         },
         800, 600},
        {"copy, width 800, height 100", [](RenderContext&, const Pbuffer&, GLuint n) { copyScreenToTexture(n, 800, 100); },
         800, 600},
        {"copy, width 200, height 50", [](RenderContext&, const Pbuffer&, GLuint n) { copyScreenToTexture(n, 200, 50); },
         200, 50},
    };
    clearPbufferRed();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        createRenderTarget(ctx->textures, 0, 1024, 1024);
        fillTexture(name(0), 0, 0, 1024, 1024, kBlue);
        sdlWindowSystem().makeOffscreenCurrent();
        glClear(GL_COLOR_BUFFER_BIT);  // for the bare copies
        c.copy(*ctx, pbuffer, name(0));
        int width = 0;
        const auto texels = readTexture(name(0), width);
        EXPECT_EQ(texel(texels, width, 0, 0), kRed);
        EXPECT_EQ(texel(texels, width, c.w - 1, c.h - 1), kRed);
        EXPECT_EQ(texel(texels, width, c.w, c.h - 1), kBlue);
        EXPECT_EQ(texel(texels, width, c.w - 1, c.h), kBlue);
        sdlWindowSystem().makeWindowCurrent();
    }
}

// The eye pass draws at the viewport of the copy-mode table; drawing into the window leaves
// the window's viewport and copies nothing.
TEST_F(Projective, EyePassViewport) {
    static GLint seen[4];
    const PassDraw record{[](void*) { glGetIntegerv(GL_VIEWPORT, seen); }};
    struct Case {
        int mode, width;
        bool toTexture;
        std::array<GLint, 4> viewport;
    };
    const Case cases[] = {
        {1, 800, true, {0, 0, 640, 480}}, {2, 800, true, {0, 0, 800, 600}},   {3, 800, true, {0, 0, 320, 240}},
        {-1, 640, true, {0, 0, 640, 480}}, {1, 512, true, {0, 0, 512, 512}}, {1, 800, false, {3, 4, 50, 60}},
    };
    clearPbufferRed();
    createRenderTarget(ctx->textures, 0, 1024, 1024);
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.mode << " width " << c.width << " toTexture " << c.toTexture);
        fillTexture(name(0), 0, 0, 1024, 1024, kBlue);
        sdlWindowSystem().makeWindowCurrent();
        glViewport(3, 4, 50, 60);
        ctx->screenCopyMode = c.mode;
        projectivePass(*ctx, pbuffer, {}, record, 5, 32, 0, kCamera, kCamera, c.toTexture, c.width, 0);
        EXPECT_EQ((std::array<GLint, 4>{seen[0], seen[1], seen[2], seen[3]}), c.viewport);
        int width = 0;
        const auto texels = readTexture(name(0), width);
        EXPECT_EQ(texel(texels, width, 0, 0), c.toTexture ? kRed : kBlue);
    }
}

// The light pass copies depth only when it has something to draw.
TEST_F(Projective, NullLightDrawKeepsTheDepthTexture) {
    const std::vector<float> quarter(32 * 32, 0.25f);
    for (bool draws : {false, true}) {
        SCOPED_TRACE(draws ? "with a light callback" : "without a light callback");
        sdlWindowSystem().makeWindowCurrent();
        GLuint depth = 0;
        glGenTextures(1, &depth);
        ctx->textures.names[5] = depth;
        glBindTexture(GL_TEXTURE_2D, depth);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, 32, 32, 0, GL_DEPTH_COMPONENT, GL_FLOAT, quarter.data());
        const PassDraw nothing{[](void*) {}};
        projectivePass(*ctx, pbuffer, draws ? nothing : PassDraw{}, {}, 5, 32, 0, kCamera, kCamera, true, 800, 0);
        std::vector<float> texels(32 * 32);
        glBindTexture(GL_TEXTURE_2D, depth);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, texels.data());
        // The light pass clears depth to 1 before drawing.
        EXPECT_FLOAT_EQ(texels[0], draws ? 1.0f : 0.25f);
        EXPECT_FLOAT_EQ(texels[32 * 32 - 1], draws ? 1.0f : 0.25f);
    }
}

TEST_F(Projective, StateLeftBehind) {
    createRenderTarget(ctx->textures, 0, 1024, 1024);
    setUpBlurProgram(ctx->shaders, SHADER_DIR "/fragment_Blur256.cpp", 0);
    for (bool toTexture : {true, false}) {
        SCOPED_TRACE(toTexture ? "into the texture" : "into the window");
        for (bool window : {true, false}) {
            window ? sdlWindowSystem().makeWindowCurrent() : sdlWindowSystem().makeOffscreenCurrent();
            glEnable(GL_BLEND);
            glDisable(GL_CULL_FACE);
            glDisable(GL_DEPTH_TEST);
            glDisable(GL_TEXTURE_2D);
            glEnable(GL_LIGHTING);
            glEnable(GL_POLYGON_OFFSET_FILL);
            glMatrixMode(GL_TEXTURE);
            glLoadIdentity();
            glScalef(2, 2, 2);
            glMatrixMode(GL_MODELVIEW);
        }
        // The eye pass binds slot 0, the blur program, and runs it until it disables the profiles.
        static GLint programDuringEyePass = 0;
        const PassDraw record{[](void*) { glGetIntegerv(GL_CURRENT_PROGRAM, &programDuringEyePass); }};
        sdlWindowSystem().makeWindowCurrent();
        projectivePass(*ctx, pbuffer, {}, record, 5, 32, 0, kCamera, kCamera, toTexture, 800, 0);
        EXPECT_NE(programDuringEyePass, 0);

        GLint framebuffer = -1;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
        EXPECT_EQ(framebuffer != 0, toTexture) << "the Pbuffer's context is current when drawing to the texture";
        GLint program = -1;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        EXPECT_EQ(program, 0);
        EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
        EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
        EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
        GLfloat m[16];
        glGetFloatv(GL_TEXTURE_MATRIX, m);
        for (int k = 0; k < 16; ++k) EXPECT_EQ(m[k], k % 5 == 0 ? 1.0f : 0.0f) << k;
        // The window's composite draws screen-facing quads front-on: no culling left there.
        sdlWindowSystem().makeWindowCurrent();
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    }
}

// The pair of the eye pass receives the modelview-projection of the eye camera and the light's
// biased projection, taken from the GL matrices when the pass sets them.
TEST_F(Projective, EyePassMatricesReachThePair) {
    setUpProjectivePrograms(*ctx, SHADER_DIR "/vertex_projection_anisotropic.cpp",
                            SHADER_DIR "/fragment_projection_anisotropic.cpp", 5, 32, 2);
    createRenderTarget(ctx->textures, 0, 1024, 1024);
    const Camera light{makeVec3(1, 3, 2), makeVec3(0, 0, 0), makeVec3(0, 1, 0)};
    const Camera eye{makeVec3(0, 1, 4), makeVec3(0, 0, 0), makeVec3(0, 1, 0)};
    ctx->passProjection.nearPlane = 0.01;
    ctx->passProjection.farPlane = 50.0;
    static GLfloat seenLight[16], seenEye[16];
    const PassDraw record{[](void*) {
        GLint program = 0;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetUniformfv(GLuint(program), glGetUniformLocation(GLuint(program), "ModelViewLightProj"), seenLight);
        glGetUniformfv(GLuint(program), glGetUniformLocation(GLuint(program), "ModelViewProj"), seenEye);
    }};
    projectivePass(*ctx, pbuffer, {}, record, 5, 32, 2, eye, light, true, 800, 0);

    // Expected matrices, built on a spare matrix stack.
    const auto build = [](const std::function<void()>& steps) {
        std::array<GLfloat, 16> m{};
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        steps();
        glGetFloatv(GL_MODELVIEW_MATRIX, m.data());
        glPopMatrix();
        return m;
    };
    const auto expectedLight = build([&] {
        glTranslated(0.5, 0.5, 0.5);
        glScaled(0.5, 0.5, 0.5);
        gluPerspective(75.0, 1.0, 0.01, 50.0);
        gluLookAt(1, 3, 2, 0, 0, 0, 0, 1, 0);
    });
    const auto expectedEye = build([&] {
        gluPerspective(75.0, 1.0, 0.01, 50.0);
        gluLookAt(0, 1, 4, 0, 0, 0, 0, 1, 0);
    });
    for (int k = 0; k < 16; ++k) {
        EXPECT_NEAR(seenLight[k], expectedLight[size_t(k)], 1e-5) << k;
        EXPECT_NEAR(seenEye[k], expectedEye[size_t(k)], 1e-5) << k;
    }
}

class BlurGlow : public PassTest {
protected:
    static constexpr int kScene = 0, kGlow = 1, kBlur = 0;
    void SetUp() override {
        PassTest::SetUp();
        createRenderTarget(ctx->textures, kGlow, 128, 128);
        createRenderTarget(ctx->textures, kScene, 1024, 1024);
        ctx->screenCopyMode = 1;
        // The used 640 x 480 corner of the scene: red on the left half, blue on the right.
        fillTexture(name(kScene), 0, 0, 320, 480, kRed);
        fillTexture(name(kScene), 320, 0, 320, 480, kBlue);
        fillTexture(name(kGlow), 0, 0, 128, 128, kGreen);
        sdlWindowSystem().makeOffscreenCurrent();
        glClearColor(0, 0, 0, 0);
        sdlWindowSystem().makeWindowCurrent();
    }
    std::vector<unsigned char> glow(int& width) {
        sdlWindowSystem().makeWindowCurrent();
        return readTexture(name(kGlow), width);
    }
};

TEST_F(BlurGlow, MixOfFeedbackAndScene) {
    struct Case {
        double opacity;
        int passes;
        bool blurProgram;
        Rgb corner, left, right, edgeLeft, edgeRight;  // texels (0,0), (20,64), (107,64), (63,64), (64,64)
    };
    const Case cases[] = {
        // No blur program (first: nothing has been bound yet): the passes change nothing.
        {1.0, 3, false, kRed, kRed, kBlue, kRed, kBlue},
        // Only last frame's glow, shrunk: the cleared border shows around it.
        {0.0, 0, true, kBlack, kGreen, kGreen, kGreen, kGreen},
        // The scene covers it, stretched from the 640 x 480 corner; a sharp edge in the middle.
        {1.0, 0, true, kRed, kRed, kBlue, kRed, kBlue},
        {0.5, 0, true, {128, 0, 0}, {128, 127, 0}, {0, 127, 128}, {128, 127, 0}, {0, 127, 128}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "opacity " << c.opacity << " passes " << c.passes);
        fillTexture(name(kGlow), 0, 0, 128, 128, kGreen);
        if (c.blurProgram) setUpBlurProgram(ctx->shaders, SHADER_DIR "/fragment_Blur256.cpp", kBlur);
        else ctx->shaders.programs[kBlur] = 0;
        blurGlowPass(*ctx, pbuffer, kScene, 800, kGlow, 128, c.opacity, c.passes, kBlur);
        int w = 0;
        const auto texels = glow(w);
        const auto near = [](Rgb a, Rgb b) {
            return std::abs(a[0] - b[0]) <= 2 && std::abs(a[1] - b[1]) <= 2 && std::abs(a[2] - b[2]) <= 2;
        };
        EXPECT_PRED2(near, texel(texels, w, 0, 0), c.corner);
        EXPECT_PRED2(near, texel(texels, w, 20, 64), c.left);
        EXPECT_PRED2(near, texel(texels, w, 107, 64), c.right);
        EXPECT_PRED2(near, texel(texels, w, 63, 64), c.edgeLeft);
        EXPECT_PRED2(near, texel(texels, w, 64, 64), c.edgeRight);
    }
}

// Three blur passes soften the edge between the halves, and keep the brightness of flat areas.
TEST_F(BlurGlow, BlurPassesSoftenEdges) {
    setUpBlurProgram(ctx->shaders, SHADER_DIR "/fragment_Blur256.cpp", kBlur);
    blurGlowPass(*ctx, pbuffer, kScene, 800, kGlow, 128, 1.0, 3, kBlur);
    int w = 0;
    const auto texels = glow(w);
    EXPECT_EQ(texel(texels, w, 20, 64), kRed);
    EXPECT_EQ(texel(texels, w, 107, 64), kBlue);
    const Rgb left = texel(texels, w, 63, 64), right = texel(texels, w, 64, 64), near = texel(texels, w, 60, 64);
    EXPECT_GT(left[2], 40);   // blue spread into the red half
    EXPECT_GT(right[0], 40);  // and red into the blue
    EXPECT_GT(near[2], 5);    // over several texels
    EXPECT_LT(near[2], left[2]);
}

// With a black scene, each frame keeps (1 - opacity) of the glow: the trail fades away.
TEST_F(BlurGlow, TrailFadesOverFrames) {
    fillTexture(name(kScene), 0, 0, 1024, 1024, kBlack);
    double expected = 255.0;
    for (int frame = 1; frame <= 3; ++frame) {
        SCOPED_TRACE(frame);
        blurGlowPass(*ctx, pbuffer, kScene, 800, kGlow, 128, 0.5, 0, kBlur);
        expected *= 0.5;
        int w = 0;
        const auto texels = glow(w);
        EXPECT_NEAR(texel(texels, w, 64, 64)[1], expected, 2.0);
        EXPECT_EQ(texel(texels, w, 0, 64), kBlack);
    }
}

}  // namespace
