// The outline font's 123 glyph lists built at start-up, and one frame of the lettering layer at
// the busiest moments of the credits (22 s: title, credits, picture cards, grid flicker) and of
// the greetings (110 s: twelve names, falling bars). Run with SDL_VIDEODRIVER=offscreen.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "math/ease.h"
#include "platform/gl.h"
#include "production/greetings.h"
#include "render/outline_font.h"
#include "scenes/lettering.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;

namespace {

GlyphLists& font() {
    static GlyphLists lists;
    return lists;
}

TextureBank& textures() {
    static TextureBank bank;
    return bank;
}

void BM_CreateOutlineFont(benchmark::State& state) {
    if (!ostravel::testing::ensureGLWindow()) {
        state.SkipWithError("no GL context");
        return;
    }
    for (auto _ : state) {
        if (font().base) glDeleteLists(font().base, 256);
        createOutlineFont(font());
        glFinish();
    }
}
BENCHMARK(BM_CreateOutlineFont)->Unit(benchmark::kMillisecond);

// The sequencer's view (75 degrees, camera at z = 7.6) and its additive blending.
void BM_Lettering(benchmark::State& state) {
    if (!ostravel::testing::ensureGLWindow()) {
        state.SkipWithError("no GL context");
        return;
    }
    if (!font().base) createOutlineFont(font());
    const std::vector<std::string> greetings(kGreetings.begin(), kGreetings.end());
    SceneTime time;
    time.localTime = double(state.range(0));
    time.pulse = 0.3;
    time.pulseSum = 100.0;
    const double t = time.localTime;
    const double f1 = ramp(t, 4, 0.22) - ramp(t, 48, 0.05) + ramp(t, 99, 0.12) - ramp(t, 122.5, 0.12);
    const double f2 = ramp(t, 16, 0.1) - ramp(t, 38, 0.2);
    ostravel::testing::useSequencerView();
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_ONE, GL_ONE);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawLettering(time, greetings, textures(), font(), f1, f2);
        glFinish();
    }
}
BENCHMARK(BM_Lettering)->Arg(22)->Arg(110)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
