// Decoding speed from memory, 1024 x 1024 pictures, our decoder beside its peers in one run:
// - libjpeg-turbo's TurboJPEG API with fast upsampling and fast DCT, with SIMD;
// - the same library without SIMD: a second copy loaded with dlmopen into its own namespace
//   after JSIMD_FORCENONE=1 is set, so that its one-time SIMD probe sees the variable while the
//   first copy has already chosen SIMD;
// - stb_image (its own output format, 1 or 3 channels).
// The files are made in memory by libjpeg at quality 90 from a picture with real detail. At the
// end a table gives our speed as a ratio of each peer's.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <jpeglib.h>
#include <stb_image.h>
#include <turbojpeg.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "assets/jpeg.h"

namespace {

constexpr int kSize = 1024;

struct TestFile {
    const char* name;
    bool grey, progressive;
    int lumaH, lumaV;
    int restartRows;
    std::vector<uint8_t> bytes;
};

std::vector<TestFile> gFiles = {
    {"baseline420", false, false, 2, 2, 0, {}}, {"baseline444", false, false, 1, 1, 0, {}},
    {"progressive420", false, true, 2, 2, 0, {}}, {"grey", true, false, 1, 1, 0, {}},
    {"restart420", false, false, 2, 2, 1, {}},
};

// Smooth waves, a gradient, hard edges, noise and thin strokes.
std::vector<uint8_t> makePicture() {
    std::vector<uint8_t> rgb(size_t(kSize) * kSize * 3);
    uint32_t state = 12345;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 27) - 16;
            const bool stroke = (x % 24 < 18) && (y % 16 < 11) && (((x / 2) * 7 + (y / 2) * 13) % 5 == 0);
            int r = int(128 + 90 * std::sin(x / 15.3 + y / 31.0)) + noise;
            int g = (x + y) / 8;
            int b = ((x / 53 + y / 37) % 2) ? 210 : 40;
            if (stroke) r = g = b = (x + y) % 3 ? 10 : 245;
            uint8_t* p = &rgb[(size_t(y) * kSize + x) * 3];
            p[0] = uint8_t(std::clamp(r, 0, 255));
            p[1] = uint8_t(std::clamp(g, 0, 255));
            p[2] = uint8_t(std::clamp(b, 0, 255));
        }
    return rgb;
}

std::vector<uint8_t> encode(const std::vector<uint8_t>& rgb, const TestFile& f) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = kSize;
    c.image_height = kSize;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    if (f.grey) jpeg_set_colorspace(&c, JCS_GRAYSCALE);
    c.comp_info[0].h_samp_factor = f.lumaH;
    c.comp_info[0].v_samp_factor = f.lumaV;
    if (f.progressive) jpeg_simple_progression(&c);
    c.restart_in_rows = f.restartRows;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&rgb[size_t(c.next_scanline) * kSize * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    std::vector<uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return bytes;
}

// The TurboJPEG entry points, from the linked copy or from the dlmopen'd copy.
struct TurboApi {
    tjhandle (*init)() = nullptr;
    int (*decompress)(tjhandle, const unsigned char*, unsigned long, unsigned char*, int, int, int, int,
                      int) = nullptr;
    int (*destroy)(tjhandle) = nullptr;
    tjhandle handle = nullptr;
};
TurboApi gTurboSimd, gTurboPlain;
std::vector<uint8_t> gOutput(size_t(kSize) * kSize * 4);

void decodeOurs(benchmark::State& state, const TestFile& f, bool reference) {
    uint64_t sum = 0;
    for (auto _ : state) {
        ostravel::JpegMemoryStream stream(f.bytes.data(), f.bytes.size());
        ostravel::JpegDecoder jpeg(stream);
        jpeg.useReferencePaths(reference);
        if (jpeg.errorCode() != 0 || jpeg.startDecoding() != 0) {
            state.SkipWithError("decode failed");
            return;
        }
        const uint8_t* row = nullptr;
        int length = 0;
        while (jpeg.decodeRow(row, length) == 0) sum += row[length / 2];
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(int64_t(state.iterations()) * kSize * kSize);
}

void decodeTurbo(benchmark::State& state, const TestFile& f, const TurboApi& api) {
    for (auto _ : state) {
        if (api.decompress(api.handle, f.bytes.data(), f.bytes.size(), gOutput.data(), kSize, 0, kSize,
                           f.grey ? TJPF_GRAY : TJPF_RGBX, TJFLAG_FASTUPSAMPLE | TJFLAG_FASTDCT) != 0) {
            state.SkipWithError("tjDecompress2 failed");
            return;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kSize * kSize);
}

void decodeStb(benchmark::State& state, const TestFile& f) {
    for (auto _ : state) {
        int w = 0, h = 0, n = 0;
        stbi_uc* pixels = stbi_load_from_memory(f.bytes.data(), int(f.bytes.size()), &w, &h, &n, 0);
        if (!pixels) {
            state.SkipWithError("stb_image failed");
            return;
        }
        benchmark::DoNotOptimize(pixels[w * h / 2]);
        stbi_image_free(pixels);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * kSize * kSize);
}

// Console output as usual, plus megapixels per second by benchmark name for the ratio table
// (the median when --benchmark_repetitions asks for several runs).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> rate;
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            const auto it = r.counters.find("items_per_second");
            if (it == r.counters.end()) continue;
            if (r.run_type == Run::RT_Iteration && !median_.count(r.run_name.str()))
                rate[r.run_name.str()] = double(it->second) / 1e6;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                rate[r.run_name.str()] = double(it->second) / 1e6;
                median_.insert(r.run_name.str());
            }
        }
    }

private:
    std::set<std::string> median_;
};

bool loadPlainTurbo() {
    // The linked copy has already probed for SIMD (a decode ran in main); the copy loaded now
    // probes afresh and finds JSIMD_FORCENONE.
    setenv("JSIMD_FORCENONE", "1", 1);
    void* lib = dlmopen(LM_ID_NEWLM, "libturbojpeg.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "dlmopen libturbojpeg.so.0: %s\n", dlerror());
        return false;
    }
    gTurboPlain.init = reinterpret_cast<tjhandle (*)()>(dlsym(lib, "tjInitDecompress"));
    gTurboPlain.decompress = reinterpret_cast<decltype(gTurboPlain.decompress)>(dlsym(lib, "tjDecompress2"));
    gTurboPlain.destroy = reinterpret_cast<int (*)(tjhandle)>(dlsym(lib, "tjDestroy"));
    if (!gTurboPlain.init || !gTurboPlain.decompress) return false;
    gTurboPlain.handle = gTurboPlain.init();
    const TestFile& f = gFiles[0];
    gTurboPlain.decompress(gTurboPlain.handle, f.bytes.data(), f.bytes.size(), gOutput.data(), kSize, 0, kSize,
                           TJPF_RGBX, TJFLAG_FASTUPSAMPLE | TJFLAG_FASTDCT);
    unsetenv("JSIMD_FORCENONE");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<uint8_t> picture = makePicture();
    for (TestFile& f : gFiles) f.bytes = encode(picture, f);

    gTurboSimd.init = tjInitDecompress;
    gTurboSimd.decompress = tjDecompress2;
    gTurboSimd.destroy = tjDestroy;
    gTurboSimd.handle = tjInitDecompress();
    tjDecompress2(gTurboSimd.handle, gFiles[0].bytes.data(), gFiles[0].bytes.size(), gOutput.data(), kSize, 0, kSize,
                  TJPF_RGBX, TJFLAG_FASTUPSAMPLE | TJFLAG_FASTDCT);
    const bool plain = loadPlainTurbo();

    for (const TestFile& f : gFiles) {
        const std::string n = f.name;
        benchmark::RegisterBenchmark(("ours/" + n).c_str(), [&f](benchmark::State& s) { decodeOurs(s, f, false); });
        benchmark::RegisterBenchmark(("ours_reference/" + n).c_str(),
                                     [&f](benchmark::State& s) { decodeOurs(s, f, true); });
        if (plain)
            benchmark::RegisterBenchmark(("turbo_nosimd/" + n).c_str(),
                                         [&f](benchmark::State& s) { decodeTurbo(s, f, gTurboPlain); });
        benchmark::RegisterBenchmark(("turbo_simd/" + n).c_str(),
                                     [&f](benchmark::State& s) { decodeTurbo(s, f, gTurboSimd); });
        benchmark::RegisterBenchmark(("stb/" + n).c_str(), [&f](benchmark::State& s) { decodeStb(s, f); });
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\n%-16s %8s %8s %8s %8s %8s | %10s %10s %10s\n", "file (MP/s)", "ours", "ref", "tj-plain",
                "tj-simd", "stb", "/tj-plain", "/tj-simd", "/stb");
    for (const TestFile& f : gFiles) {
        const std::string n = f.name;
        auto r = [&](const char* who) {
            const auto it = reporter.rate.find(std::string(who) + "/" + n);
            return it == reporter.rate.end() ? 0.0 : it->second;
        };
        const double ours = r("ours");
        auto ratio = [&](double peer) { return peer > 0 ? ours / peer : 0.0; };
        std::printf("%-16s %8.1f %8.1f %8.1f %8.1f %8.1f | %10.2f %10.2f %10.2f\n", f.name, ours, r("ours_reference"),
                    r("turbo_nosimd"), r("turbo_simd"), r("stb"), ratio(r("turbo_nosimd")), ratio(r("turbo_simd")),
                    ratio(r("stb")));
    }
    benchmark::Shutdown();
    return 0;
}
