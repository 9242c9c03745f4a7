// Worst cases of the show: the mosaic at full fade over a 384 x 288 frame, and the feature scenes
// with up to 1650 tracked points (the most the corner detector is asked for), the web with and
// without its cables. Run with SDL_VIDEODRIVER=offscreen.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/gl.h"
#include "render/render_context.h"
#include "scenes/markers.h"
#include "scenes/mosaic.h"
#include "scenes/web.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;

namespace {

struct Stage {
    std::unique_ptr<FrameAnalysis> frame = std::make_unique<FrameAnalysis>();
    std::vector<uint8_t> picture = std::vector<uint8_t>(384 * 288 * 3);
    SceneTime time{20.0, 0.3, 100.0, {0, 0, 0}, 0};

    Stage() {
        for (size_t i = 0; i < picture.size(); ++i) picture[i] = uint8_t(i * 7 % 251);
        frame->frameImage = {picture.data(), 384, 288, 384 * 3};
        // Spread over the picture like detected corners (centred full-size pixels).
        for (int n = 0; n < kMaxCorners; ++n) {
            frame->trackedPoints[n].x = float((n * 37) % 384 - 192);
            frame->trackedPoints[n].y = float((n * 53) % 288 - 144);
        }
    }
};

Stage& stage() {
    static Stage s;
    return s;
}

// The sequencer's view: 75 degree perspective, camera at z = 7.6 looking at the origin.
template <typename Draw>
void run(benchmark::State& state, Draw draw) {
    if (!ostravel::testing::ensureGLWindow()) {
        state.SkipWithError("no GL context");
        return;
    }
    ostravel::testing::useSequencerView();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        draw();
        glFinish();
    }
}

void additive() {
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
}

void BM_VideoMosaic(benchmark::State& state) {
    Stage& s = stage();
    s.time.localTime = 162.0;
    run(state, [&] {
        glEnable(GL_DEPTH_TEST);  // the mosaic draws before the sequencer turns depth testing off
        drawVideoMosaic(s.time, *s.frame, renderContext().textures, 1.0);
    });
}
BENCHMARK(BM_VideoMosaic)->Unit(benchmark::kMillisecond);

void BM_FeatureArcs(benchmark::State& state) {
    Stage& s = stage();
    s.frame->cornerCount = int(state.range(0));
    s.time.localTime = 30.0;
    run(state, [&] { additive(), drawFeatureArcs(s.time, *s.frame, 0.0, 1.0); });
}
BENCHMARK(BM_FeatureArcs)->Arg(1650)->Unit(benchmark::kMillisecond);

void BM_FeatureFan(benchmark::State& state) {
    Stage& s = stage();
    s.frame->cornerCount = int(state.range(0));
    s.time.localTime = 60.0;
    run(state, [&] { additive(), drawFeatureFan(s.time, *s.frame, 0.0, 1.0); });
}
BENCHMARK(BM_FeatureFan)->Arg(100)->Arg(1650)->Unit(benchmark::kMillisecond);

// Second argument: the time, 20 s (chain, cables, whole markers) or 100 s (no cables).
void BM_FeatureWeb(benchmark::State& state) {
    Stage& s = stage();
    s.frame->cornerCount = int(state.range(0));
    s.time.localTime = double(state.range(1));
    run(state, [&] { additive(), drawFeatureWeb(s.time, *s.frame, renderContext().textures, 0.0, 1.0); });
}
BENCHMARK(BM_FeatureWeb)->Args({100, 20})->Args({1650, 20})->Args({1650, 100})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
