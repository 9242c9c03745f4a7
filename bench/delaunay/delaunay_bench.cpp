// Triangulation speed on the feature points of real show frames, our triangulation beside
// CGAL's Delaunay_triangulation_2 (Exact_predicates_inexact_constructions_kernel, range insertion
// with its spatial sort) and beside the straightforward method our tests use as the reference.
//
// Points: frames spread over the show video ("textures/try1.avi" under the working directory,
// else under the build's show folder), corners found as the eye finds them (up to 1650, quality
// 0.01 lowered until 1650 are found, distance 4, block 3, no Harris), centred on the image centre,
// then taken as the scene
// takes them at full fade: tracked points 0 .. 1499 scaled by 0.04 and the square's four corners.
// Frames that give the scene its full 1500 tracked points are kept. One benchmark iteration
// triangulates one frame; the frames take turns. At the end a line gives the median CPU
// milliseconds per frame (CPU time, as the build machine is shared) and our time as a ratio of
// each peer's.
#include <benchmark/benchmark.h>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "scenes/triangulation.h"
#include "tests/delaunay/plain_triangulate.h"

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using namespace ostravel;

constexpr int kCandidateFrames = 120;

struct ShowFrame {
    std::unique_ptr<FrameAnalysis> analysis = std::make_unique<FrameAnalysis>();
    std::vector<Vec3> vertices;  // as the scene triangulates them (after its sort)
    std::vector<Kernel::Point_2> points;
};

std::vector<ShowFrame> gFrames;

bool loadFrames() {
    cv::VideoCapture video;
    for (const char* path : {"textures/try1.avi", OSTRAVEL_SHOW_DIR "/textures/try1.avi"})
        if (video.open(path)) break;
    if (!video.isOpened()) return false;
    const int count = int(video.get(cv::CAP_PROP_FRAME_COUNT));
    TriangulationBuffers buffers;
    for (int k = 0; k < kCandidateFrames; ++k) {
        video.set(cv::CAP_PROP_POS_FRAMES, double(count) * (k + 0.5) / kCandidateFrames);
        cv::Mat image, grey;
        if (!video.read(image) || image.empty()) continue;
        cv::cvtColor(image, grey, cv::COLOR_RGB2GRAY);
        // Quality 0.01 finds a few hundred corners in a calm frame: lower it until the scene's
        // 1500 points are there, as a busy frame gives them.
        std::vector<cv::Point2f> corners;
        for (double quality = 0.01; quality > 1e-4 && corners.size() < 1650; quality /= 2)
            cv::goodFeaturesToTrack(grey, corners, 1650, quality, 4, cv::noArray(), 3, false, 0.04);
        ShowFrame frame;
        FrameAnalysis& a = *frame.analysis;
        a.videoWidth = image.cols;
        a.videoHeight = image.rows;
        a.cornerCount = int(std::min<size_t>(corners.size(), kMaxCorners));
        for (int i = 0; i < a.cornerCount; ++i)
            a.trackedPoints[i] = makeVec3(corners[i].x - float(a.videoWidth / 2), corners[i].y - float(a.videoHeight / 2), 0.0f);
        triangulateFeatures(a, buffers, 1.0);
        const Vec3* v = buffers.vertices.data() + buffers.firstVertex;
        frame.vertices.assign(v, v + buffers.vertexCount);
        for (const Vec3& p : frame.vertices) frame.points.emplace_back(p.x, p.y);
        gFrames.push_back(std::move(frame));
    }
    std::printf("%zu of %d frames read\n", gFrames.size(), kCandidateFrames);
    // Measure on the frames that give the scene its full 1500 points (all frames if none does).
    const auto full = [](const ShowFrame& f) { return f.vertices.size() == 1504; };
    if (std::any_of(gFrames.begin(), gFrames.end(), full))
        gFrames.erase(std::remove_if(gFrames.begin(), gFrames.end(), [&](const ShowFrame& f) { return !full(f); }),
                      gFrames.end());
    return !gFrames.empty();
}

void triangulateOurs(benchmark::State& state) {
    TriangulationBuffers buffers;
    size_t k = 0;
    for (auto _ : state) {
        triangulateFeatures(*gFrames[k].analysis, buffers, 1.0);
        benchmark::DoNotOptimize(buffers.triangleCount);
        k = (k + 1) % gFrames.size();
    }
}

void triangulatePlain(benchmark::State& state) {
    std::vector<Vec3> vertices(kTriangulationVertexCapacity);
    std::vector<Triangle> triangles(kTriangulationTriangleCapacity);
    size_t k = 0;
    for (auto _ : state) {
        std::copy(gFrames[k].vertices.begin(), gFrames[k].vertices.end(), vertices.begin());
        int32_t count = 0;
        ostravel::testing::plainTriangulate(int32_t(gFrames[k].vertices.size()), vertices.data(), triangles.data(), count);
        benchmark::DoNotOptimize(count);
        k = (k + 1) % gFrames.size();
    }
}

void triangulateCgal(benchmark::State& state) {
    CGAL::Delaunay_triangulation_2<Kernel> dt;
    size_t k = 0;
    for (auto _ : state) {
        dt.clear();
        dt.insert(gFrames[k].points.begin(), gFrames[k].points.end());
        benchmark::DoNotOptimize(dt.number_of_faces());
        k = (k + 1) % gFrames.size();
    }
}

// Our triangles against the straightforward method's, frame by frame: same code, same order.
int identicalFrames() {
    TriangulationBuffers buffers;
    std::vector<Vec3> vertices(kTriangulationVertexCapacity);
    std::vector<Triangle> triangles(kTriangulationTriangleCapacity);
    int same = 0;
    for (const ShowFrame& f : gFrames) {
        const int32_t code = triangulateFeatures(*f.analysis, buffers, 1.0);
        std::copy(f.vertices.begin(), f.vertices.end(), vertices.begin());
        int32_t count = 0;
        const int32_t plainCode =
            ostravel::testing::plainTriangulate(int32_t(f.vertices.size()), vertices.data(), triangles.data(), count);
        bool equal = code == plainCode && count == buffers.triangleCount;
        for (int32_t t = 0; equal && t < count; ++t) {
            const Triangle& a = buffers.triangles[t];
            equal = a.p1 == triangles[t].p1 && a.p2 == triangles[t].p2 && a.p3 == triangles[t].p3;
        }
        same += equal;
    }
    return same;
}

// Console output as usual, plus the median time per iteration by benchmark name.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medianMs;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                medianMs[r.run_name.function_name] = r.GetAdjustedCPUTime();  // in the run's unit, ms
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!loadFrames()) {
        std::printf("No show video (textures/try1.avi here or in %s): nothing to measure.\n", OSTRAVEL_SHOW_DIR);
        return 0;
    }
    size_t points = 0;
    for (const ShowFrame& f : gFrames) points += f.vertices.size();
    size_t fewest = 1504;
    for (const ShowFrame& f : gFrames) fewest = std::min(fewest, f.vertices.size());
    std::printf("%zu frames of %zu to 1504 points (%.0f on average); identical to the straightforward method on %d\n",
                gFrames.size(), fewest, double(points) / gFrames.size(), identicalFrames());

    auto repeat = [](benchmark::internal::Benchmark* b) {
        b->Repetitions(10)->ReportAggregatesOnly(true)->Unit(benchmark::kMillisecond);
    };
    repeat(benchmark::RegisterBenchmark("ours", triangulateOurs));
    repeat(benchmark::RegisterBenchmark("cgal", triangulateCgal));
    repeat(benchmark::RegisterBenchmark("plain", triangulatePlain));
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double ours = reporter.medianMs["ours"], cgal = reporter.medianMs["cgal"], plain = reporter.medianMs["plain"];
    std::printf("\nmedian CPU ms per frame: ours %.3f, CGAL %.3f, straightforward %.3f\n", ours, cgal, plain);
    if (cgal > 0 && plain > 0)
        std::printf("ours / CGAL = %.2f, ours / straightforward = %.3f\n", ours / cgal, ours / plain);
    return 0;
}
