// The analysis over the whole show: every pass at 60 passes a second from 0 to 195.5 s on the
// show's video, camera sample (5.5, 1, 0.5) (1650 corners asked for, mode 2: spikes drawn), the
// beat envelope and the sequencer's fades and seeds. Reports the median, 99th percentile and
// worst pass of analyseFrame, of the five drawers and of both together, in milliseconds of the
// calling thread's CPU time (steady under a loaded machine; with one OpenCV thread it is all the
// analysis work) and of wall time, and the operator-new calls per pass after the first second.
// The drawers' time is that of the calls (Mesa queues the rasterising; each pass ends with
// glFinish outside the timing). Run with SDL_VIDEODRIVER=offscreen.
// Also: a plain read of the next frame against a seek and read.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <time.h>

#include "scenes/analysis_drawers.h"
#include "analysis/video.h"
#include "math/ease.h"
#include "math/random.h"
#include "platform/gl.h"
#include "tests/support/gl_test_window.h"
#include "tools/figures/figures.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// The replaced operator new takes its memory from malloc, so free is the matching release.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace ostravel;

namespace {

const std::string kVideo = std::string(OSTRAVEL_BENCH_SHOW_DIR) + "/textures/try1.avi";

double beat(double t) { return std::pow(std::fabs(std::sin(M_PI * t + M_PI / 2 - 0.4)) * 1.015, 8.0); }

double threadMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec * 1e-6;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return nearestRank(v, p);
}

void drawAnalysis(VideoState& video, SplinePool& pool, double t, double pulse) {
    const FrameAnalysis& frame = video.frame;
    drawContourFans(frame, ramp(t, 65, 0.15) - ramp(t, 107, 0.25), pulse);
    seed(1000);
    seed(static_cast<uint32_t>(static_cast<int64_t>(t * 1000)));
    glLineWidth(5);
    drawContourShimmer(frame, clamp01(ramp(t, 93, 0.1) - ramp(t, 124, 0.3) - ramp(t, 102.5, 1.5)));
    glLineWidth(2);
    drawContourRibbons(frame, pool,
                       ramp(t, 79, 0.1) - ramp(t, 105.5, 1.5) + 0.7 * ramp(t, 123.5, 0.5) - 0.7 * ramp(t, 183, 0.15));
    releaseContours(video);
    drawPointQuadtrees(frame, 0.4 - 0.4 * ramp(t, 45, 0.3) + ramp(t, 100, 0.2) - 0.5 * ramp(t, 135, 0.1) -
                                  0.5 * ramp(t, 175, 0.3));
    drawPointSpikes(frame, ramp(t, 0, 0.1) - ramp(t, 135, 0.1));
}

void BM_WholeShow(benchmark::State& state) {
    if (!std::filesystem::exists(kVideo)) return state.SkipWithError("no generated video");
    if (!ostravel::testing::ensureGLWindow()) return state.SkipWithError("no GL context");
    ostravel::testing::useSequencerView();
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);

    auto video = std::make_unique<VideoState>();
    auto pool = std::make_unique<SplinePool>();
    struct Series {
        std::vector<double> analysis, drawing, both;
        void add(double a, double d) { analysis.push_back(a), drawing.push_back(d), both.push_back(a + d); }
    } cpu, wall;
    long analysisAllocations = 0, drawingAllocations = 0;
    const int passes = static_cast<int>(195.5 * 60);
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    for (auto _ : state) {
        openVideo(*video, kVideo.c_str());
        cpu = {}, wall = {};
        for (int n = 0; n < passes; ++n) {
            const double t = n / 60.0, pulse = beat(t);
            const long before = allocations;
            const double c0 = threadMs();
            const auto t0 = Clock::now();
            analyseFrame(*video, AnalysisInput{t, 1.0 / 60, n, pulse, 5.5, 1.0});
            const auto t1 = Clock::now();
            const double c1 = threadMs();
            const long between = allocations;
            glClear(GL_COLOR_BUFFER_BIT);
            const double c2 = threadMs();
            const auto t2 = Clock::now();
            drawAnalysis(*video, *pool, t, pulse);
            const auto t3 = Clock::now();
            const double c3 = threadMs();
            if (n >= 60) analysisAllocations += between - before, drawingAllocations += allocations - between;
            glFinish();
            cpu.add(c1 - c0, c3 - c2);
            wall.add(ms(t1 - t0), ms(t3 - t2));
        }
        releaseVideo(*video);
    }
    const double counted = double(passes - 60);
    for (auto [name, series] : {std::pair{"cpu_", &cpu}, std::pair{"wall_", &wall}}) {
        const std::string prefix = name;
        state.counters[prefix + "analysis_p50"] = percentile(series->analysis, 0.5);
        state.counters[prefix + "analysis_p99"] = percentile(series->analysis, 0.99);
        state.counters[prefix + "drawers_p50"] = percentile(series->drawing, 0.5);
        state.counters[prefix + "drawers_p99"] = percentile(series->drawing, 0.99);
        state.counters[prefix + "both_p99"] = percentile(series->both, 0.99);
        state.counters[prefix + "both_max"] = percentile(series->both, 1.0);
    }
    state.counters["analysis_news_per_pass"] = double(analysisAllocations) / counted;
    state.counters["drawers_news_per_pass"] = double(drawingAllocations) / counted;
}
BENCHMARK(BM_WholeShow)->Iterations(1)->Unit(benchmark::kSecond);

// One frame of the Motion-JPEG file: the next one by a plain read, or any one by a seek first.
void BM_ReadFrame(benchmark::State& state) {
    cv::VideoCapture capture(kVideo, cv::CAP_FFMPEG);
    if (!capture.isOpened()) return state.SkipWithError("no generated video");
    cv::Mat frame;
    int index = 1000;
    capture.set(cv::CAP_PROP_POS_FRAMES, index);
    for (auto _ : state) {
        if (state.range(0)) capture.set(cv::CAP_PROP_POS_FRAMES, index);
        capture.read(frame);
        if (++index > 2000) {
            index = 1000;
            capture.set(cv::CAP_PROP_POS_FRAMES, index);
        }
    }
}
BENCHMARK(BM_ReadFrame)->ArgName("seek")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
