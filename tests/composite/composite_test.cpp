// The composite of the show's frames at ten moments (30 fps, as the capture tool renders them):
// - the two textures it reads, the eye pass's scene and the glow, hash as they did when the four
//   layers were still drawn as four blended quads and the drawers in immediate mode (on the
//   renderer those hashes were made with; elsewhere that half is skipped: another rasteriser
//   draws other bytes). At 97.9 s the shimmer's strips, each in one colour of 0.3 (76.5 / 255),
//   show whether they are drawn with that colour as immediate mode drew them;
// - the one-pass composite against the four blended squares drawn here, from the same textures
//   over the same picture: at least 99.9 % of the channel values within 1, none more than 2
//   apart, PSNR at least 50 dB.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/runner.h"
#include "assets/texture_bank.h"
#include "platform/gl.h"
#include "platform/system.h"
#include "production/app_state.h"
#include "production/demo.h"
#include "render/billboard.h"
#include "render/composite.h"
#include "render/render_context.h"
#include "scenes/scene_time.h"

using namespace ostravel;

namespace {

struct Moment {
    double time;
    uint64_t scene, glow;  // FNV-1a of the scene's 800 x 600 RGBA corner and the 128 x 128 glow
};

// Made with the four-quad composite, on these:
constexpr const char* kRenderer = "llvmpipe";
constexpr const char* kMesa = "Mesa 22.3.6";
constexpr Moment kMoments[] = {
    {2.0, 0x314096b11819553full, 0x3d0272c51924530full},   {22.0, 0x0c8f968394671a00ull, 0xf232429a9f33d3c0ull},
    {30.0, 0x4ead9d99efabc95eull, 0xd92e48a65437b01dull},  {75.0, 0xf61707d45e5ff398ull, 0x3ed07db3470f738eull},
    {97.9, 0xa84db5cfffd0ff05ull, 0x4dcbaa3c59d28856ull},  {100.0, 0x87fb9f919bb922f0ull, 0x825e06f1fab680f6ull},
    {110.0, 0xc3009e9011b432e4ull, 0x5d807d47bc78149dull},
    {150.0, 0xbbc99da5191bf647ull, 0xdf4dc5c9d9ed54fcull}, {165.0, 0xdd75a6b08fed4d34ull, 0x414096e171516097ull},
    {178.6, 0xdb6777025418fd4full, 0x81f4e15415f7230dull},
};

uint64_t fnv1a(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (uint8_t byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

// The lower-left w x h texels of a square RGBA texture of the given size.
std::vector<uint8_t> texels(GLuint texture, int size, int w, int h) {
    std::vector<uint8_t> all(size_t(size) * size * 4);
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, all.data());
    std::vector<uint8_t> part(size_t(w) * h * 4);
    for (int y = 0; y < h; ++y) std::memcpy(&part[size_t(y) * w * 4], &all[size_t(y) * size * 4], size_t(w) * 4);
    return part;
}

std::vector<uint8_t> pixels() {
    std::vector<uint8_t> rgb(800 * 600 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 800, 600, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// An 800 x 600 RGB target for one composite at a time, filled first with what the window held.
class Target {
public:
    Target() {
        glGenFramebuffers(1, &framebuffer_);
        glGenRenderbuffers(1, &colour_);
        glBindRenderbuffer(GL_RENDERBUFFER, colour_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, 800, 600);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    ~Target() {
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteRenderbuffers(1, &colour_);
    }
    // The composite `draw` makes over `before`, under the composite's view and the state the
    // window's context keeps for it.
    template <typename Draw>
    std::vector<uint8_t> composite(const std::vector<uint8_t>& before, const RenderContext& ctx, Draw draw) {
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glUseProgram(0);
        glActiveTexture(GL_TEXTURE0);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_LIGHTING);
        glDisable(GL_BLEND);
        glDisable(GL_TEXTURE_2D);
        glViewport(0, 0, 800, 600);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glWindowPos2i(0, 0);
        glDrawPixels(800, 600, GL_RGB, GL_UNSIGNED_BYTE, before.data());
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        gluPerspective(75.0 + ctx.passProjection.fieldOfViewOffset, 1.0, ctx.passProjection.nearPlane,
                       ctx.passProjection.farPlane);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        gluLookAt(1.675, 0.03833, 0.0, 0.0, 0.03833, 0.0, 0.0, 1.0, 0.0);
        draw();
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glPopAttrib();
        std::vector<uint8_t> after = pixels();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        return after;
    }

private:
    GLuint framebuffer_ = 0, colour_ = 0;
};

// The composite as four blended squares through the fixed-function stage: the scene, the glow
// added, and on the beat two sprites of the blob texture's first quarter added over them.
void fourQuadComposite(const Demo& demo, const RenderContext& ctx) {
    const double t = demo.localTime;
    glBindTexture(GL_TEXTURE_2D, textureName(ctx.textures, demo.largeRenderTarget));
    glEnable(GL_TEXTURE_2D);
    const double b = compositeBrightness(t);
    glColor3d(b, b, b);
    glPushMatrix();
    cropBillboard(800, ctx.screenCopyMode, 0.0, 1.3, 1.3);
    glPopMatrix();

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glBindTexture(GL_TEXTURE_2D, textureName(ctx.textures, demo.smallRenderTarget));
    const double k = std::clamp(t, 0.0, 1.0);
    glColor3d(k, k, k);
    glPushMatrix();
    billboard(0.0, 1.3, 1.3);
    glPopMatrix();

    glBindTexture(GL_TEXTURE_2D, textureName(ctx.textures, demo.textureSlotBase + kBlobTextureSlot));
    const double pulse = demo.pulse;
    if (pulse > 0.02 && glowSpriteWeight(t, pulse) > 0.001) {
        const double w = glowSpriteWeight(t, pulse);
        glPushMatrix();
        glColor3d(0.9 * w, 0.8 * w, 0.75 * w);
        quarterBillboard(0, 3.5, 3.5);
        glPopMatrix();
        glPushMatrix();
        const double p = pulse * pulse;
        glColor3d(1.05 * p, 0.65 * p, 0.4 * p);
        quarterBillboard(0, 2.0, 2.0);
        glPopMatrix();
    }
}

struct Comparison {
    double equal = 0.0;      // fraction of channel values
    double withinOne = 0.0;
    int largest = 0;
    double psnr = 0.0;       // dB; infinite when equal
};

Comparison compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t close = 0, same = 0;
    double squares = 0.0;
    Comparison c;
    for (size_t i = 0; i < a.size(); ++i) {
        const int d = std::abs(int(a[i]) - int(b[i]));
        close += d <= 1;
        same += d == 0;
        c.largest = std::max(c.largest, d);
        squares += double(d) * d;
    }
    c.withinOne = double(close) / double(a.size());
    c.equal = double(same) / double(a.size());
    const double mse = squares / double(a.size());
    c.psnr = mse > 0.0 ? 10.0 * std::log10(255.0 * 255.0 / mse) : INFINITY;
    return c;
}

TEST(Composite, ShowFramesKeepTheirLayersAndAddThemWithinRounding) {
    resetProcessState();
    size_t next = 0;
    bool sameRenderer = false;
    std::string renderer;
    const auto started = [&](int messages) {
        EXPECT_EQ(messages, 0);
        renderer = std::string(reinterpret_cast<const char*>(glGetString(GL_RENDERER))) + ", " +
                   reinterpret_cast<const char*>(glGetString(GL_VERSION));
        sameRenderer = renderer.find(kRenderer) != std::string::npos && renderer.find(kMesa) != std::string::npos;
        return true;
    };
    const auto frame = [&](const RunFrame& f) {
        const double t = kMoments[next].time;
        if (f.showTime < t - 1e-9) return true;
        const Demo& demo = *appState().demo;
        const RenderContext& ctx = renderContext();
        const uint64_t scene = fnv1a(texels(textureName(ctx.textures, demo.largeRenderTarget), 1024, 800, 600));
        const uint64_t glow = fnv1a(texels(textureName(ctx.textures, demo.smallRenderTarget), 128, 128, 128));
        if (sameRenderer) {
            EXPECT_EQ(scene, kMoments[next].scene) << "scene at " << t << " s";
            EXPECT_EQ(glow, kMoments[next].glow) << "glow at " << t << " s";
        }
        // Both composites over what the window shows now, which stands for what it held before.
        const std::vector<uint8_t> before = pixels();
        Target target;
        const std::vector<uint8_t> onePass = target.composite(
            before, ctx, [&] { drawComposite(ctx.composite, ctx.screenCopyMode, demo.compositeLayers(ctx)); });
        const std::vector<uint8_t> fourQuads = target.composite(before, ctx, [&] { fourQuadComposite(demo, ctx); });
        const Comparison c = compare(onePass, fourQuads);
        EXPECT_GE(c.withinOne, 0.999) << t << " s";
        EXPECT_LE(c.largest, 2) << t << " s";
        EXPECT_GE(c.psnr, 50.0) << t << " s";
        std::printf("%.1f s: %.4f %% of values equal, %.4f %% within 1, largest %d, PSNR %.1f dB\n", t, 100.0 * c.equal,
                    100.0 * c.withinOne, c.largest, c.psnr);
        return ++next < std::size(kMoments);
    };
    const RunEnd run = runShow(RunSettings{.fps = 30}, started, RunHooks{.frame = frame});
    shutDownPlatform();
    EXPECT_TRUE(run.started);
    EXPECT_EQ(next, std::size(kMoments)) << "the show ended at " << run.showTime << " s";
    if (!sameRenderer)
        GTEST_SKIP() << "the scene and glow hashes were made on " << kRenderer << ", " << kMesa << "; this is "
                     << renderer << ": only the composite's rounding was checked";
}

}  // namespace
