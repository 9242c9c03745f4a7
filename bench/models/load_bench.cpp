// Load time of a ~1 MB, ~50 000-triangle 3DS file: Reader3ds::load (with post-processing:
// local frames, smoothing splits, normals, tangents) against lib3ds_file_load and assimp's
// ReadFile with flags 0, side by side in one run; the ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <lib3ds/file.h>
#include <unistd.h>

#include "models/model3ds.h"
#include "tools/writer3ds/writer3ds.h"

using namespace ostravel;

namespace {

std::string modelPath;

// Four meshes of a wavy 88 x 71 grid (12 496 triangles each), two textured materials, smoothing
// groups in bands, a rotated local frame on every other mesh, and keyframer nodes.
std::string writeModel() {
    File3ds f;
    Material3ds skin;
    skin.name = "SKIN";
    skin.texture1.file = "SKIN.JPG";
    skin.bump.file = "SKINB.JPG";
    Material3ds glass;
    glass.name = "GLASS";
    glass.texture1.file = "BLENDA.JPG";
    f.materials = {skin, glass};
    const int nx = 88, ny = 71;
    for (int o = 0; o < 4; ++o) {
        Mesh3ds m;
        m.name = "Part" + std::to_string(o);
        for (int y = 0; y <= ny; ++y)
            for (int x = 0; x <= nx; ++x) {
                m.vertices.insert(m.vertices.end(), {x * 0.1f, y * 0.1f, std::sin(x * 0.3f) * std::cos(y * 0.2f) + o});
                m.texCoords.insert(m.texCoords.end(), {float(x) / nx, float(y) / ny});
            }
        FaceMaterial3ds a{"SKIN", {}}, b{"GLASS", {}};
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                const uint16_t i = static_cast<uint16_t>(y * (nx + 1) + x);
                for (int k = 0; k < 2; ++k) {
                    (y < ny / 2 ? a : b).faces.push_back(static_cast<uint16_t>(m.faces.size()));
                    m.smoothing.push_back(1u << ((y / 8) % 3));
                }
                m.faces.push_back({i, static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + nx + 2), 7});
                m.faces.push_back({i, static_cast<uint16_t>(i + nx + 2), static_cast<uint16_t>(i + nx + 1), 7});
            }
        m.faceMaterials = {a, b};
        if (o % 2) {
            const float matrix[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 1, 2, 3};
            std::copy(matrix, matrix + 12, m.matrix);
        }
        f.meshes.push_back(m);
        Node3ds n;
        n.name = m.name;
        n.positions = {{0, 0, 0, 0}, {50, 1, 2, 3}, {100, 0, 0, 0}};
        n.rotations = {{0, 0, 0, 0, 1}, {50, 1.5f, 0, 1, 0}};
        f.nodes.push_back(n);
    }
    const std::string path = (std::filesystem::temp_directory_path() / ("bench_models_" + std::to_string(::getpid()) + ".3ds")).string();
    if (!write3ds(f, path.c_str())) std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return path;
}

void Ours(benchmark::State& state) {
    for (auto _ : state) {
        Reader3ds r;
        if (!r.load(modelPath.c_str())) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(r.meshObjects.data());
    }
}

void OursWithoutPostProcessing(benchmark::State& state) {
    for (auto _ : state) {
        Reader3ds r;
        r.postProcess = false;
        if (!r.load(modelPath.c_str())) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(r.meshObjects.data());
    }
}

void Lib3ds(benchmark::State& state) {
    for (auto _ : state) {
        Lib3dsFile* f = lib3ds_file_load(modelPath.c_str());
        if (!f) state.SkipWithError("lib3ds failed");
        benchmark::DoNotOptimize(f);
        if (f) lib3ds_file_free(f);
    }
}

void Assimp(benchmark::State& state) {
    for (auto _ : state) {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(modelPath, 0);
        if (!scene) state.SkipWithError("assimp failed");
        benchmark::DoNotOptimize(scene);
    }
}

BENCHMARK(Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(OursWithoutPostProcessing)->Unit(benchmark::kMillisecond);
BENCHMARK(Lib3ds)->Unit(benchmark::kMillisecond);
BENCHMARK(Assimp)->Unit(benchmark::kMillisecond);

// Keeps each run's time per iteration so that the ratios can be printed after the table.
class RecordingReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration) {
                times[r.benchmark_name()] = r.GetAdjustedRealTime();
                cpuTimes[r.benchmark_name()] = r.GetAdjustedCPUTime();
            }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times, cpuTimes;
};

}  // namespace

int main(int argc, char** argv) {
    modelPath = writeModel();
    std::fprintf(stderr, "model: %s, %lld bytes\n", modelPath.c_str(),
                 static_cast<long long>(std::filesystem::file_size(modelPath)));
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    // Wall-clock and CPU-time ratios: on a shared machine the CPU times are the steadier ones.
    for (auto* times : {&reporter.times, &reporter.cpuTimes}) {
        auto& t = *times;
        const char* kind = times == &reporter.times ? "real" : "cpu";
        if (!t.count("Ours") || !t.count("Lib3ds") || !t.count("Assimp")) continue;
        std::printf("%s time ratio ours / lib3ds: %.2f (goal <= 1.5)\n", kind, t["Ours"] / t["Lib3ds"]);
        std::printf("%s time ratio ours / assimp: %.2f (required < 1)\n", kind, t["Ours"] / t["Assimp"]);
        if (t.count("OursWithoutPostProcessing"))
            std::printf("%s time ratio ours without post-processing / lib3ds: %.2f\n", kind,
                        t["OursWithoutPostProcessing"] / t["Lib3ds"]);
    }
    benchmark::Shutdown();
    std::filesystem::remove(modelPath);
    return 0;
}
