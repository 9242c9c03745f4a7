// The show's music at release loudness, read by a peer meter: ffmpeg's ebur128 filter (EBU R 128:
// ITU-R BS.1770-4 loudness and true peak, EBU Tech 3342 loudness range) on the coded file. Video
// sites turn uploads louder than about -14 LUFS down and never turn quieter ones up.
#include "tests/content/show_folder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// ffmpeg's log from the filter's summary on; empty where there is none.
std::string ebur128Summary(const std::string& path) {
    const std::string command = "ffmpeg -nostats -hide_banner -i '" + path + "' -af ebur128=peak=true+sample -f null - 2>&1";
    std::string log;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) log.append(buffer, n);
        pclose(pipe);
    }
    const size_t summary = log.find("Summary:");
    return summary == std::string::npos ? std::string() : log.substr(summary);
}

// The number after `label` under `heading`, NaN where either is missing.
double field(const std::string& summary, const char* heading, const char* label) {
    const size_t h = summary.find(heading), l = h == std::string::npos ? h : summary.find(label, h);
    return l == std::string::npos ? NAN : std::strtod(summary.c_str() + l + std::strlen(label), nullptr);
}

TEST(ShowMusic, ReleaseLoudnessOnAnEbuR128Meter) {
    const std::string summary = ebur128Summary(ostravel::contenttest::showPath("music/[Bexil] Sorvain.ogg"));
    ASSERT_FALSE(summary.empty()) << "no summary from ffmpeg's ebur128 filter";
    EXPECT_NEAR(field(summary, "Integrated loudness:", "I:"), -14.0, 0.5);
    EXPECT_GE(field(summary, "Loudness range:", "LRA:"), 7.0) << "the dynamics kept";
    // Upsampling to 192 kHz, ffmpeg can read the true peak under the sample peak: both count.
    EXPECT_LE(field(summary, "True peak:", "Peak:"), -1.0);
    EXPECT_LE(field(summary, "Sample peak:", "Peak:"), -1.0);
}

}  // namespace
