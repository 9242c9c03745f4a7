// gen-tracks: writes the show's camera tracks "rec1.rcc" (x, y) and "rec2.rcc" (z, unused)
// from the plan in track_plan.h. Records are three little-endian IEEE-754 doubles (time,
// first value, second value), no header.

#include "tools/gen-tracks/track_plan.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace ostravel::trackplan;

static_assert(std::endian::native == std::endian::little, "records are written in native order");

double densityAt(double t, double DensityKey::*field) {
    for (size_t i = 0; i + 1 < kDensityPlan.size(); ++i) {
        const DensityKey& a = kDensityPlan[i];
        const DensityKey& b = kDensityPlan[i + 1];
        if (t <= b.time) {
            const double s = (t - a.time) / (b.time - a.time);
            const double w = 0.5 - 0.5 * std::cos(M_PI * std::clamp(s, 0.0, 1.0));
            return a.*field + (b.*field - a.*field) * w;
        }
    }
    return kDensityPlan.back().*field;
}

// Rises through each bar from its downbeat and drops back on the next: the corners bloom with
// the phrase and snap back on the kick that opens the next bar.
double barSwell(double t) {
    const double phase = std::fmod(t - kBeatOffset + 4 * kBarLength, kBarLength) / kBarLength;
    return kBarSwell * std::sin(M_PI * phase) * std::sin(M_PI * phase);
}

int modeAt(double t) {
    for (const ModeSpan& span : kModePlan) {
        if (t < span.to) return span.mode;
    }
    return kModePlan.back().mode;
}

// z bands: band k covers [0.2 k, 0.2 k + 0.2) and gives mode k mod 3. Adjacent bands always
// differ in mode, so every change of mode moves to a neighbouring band and the spline between
// the two records never passes through a third mode.
int nextBand(int band, int mode) {
    if (((band + 1) % 3) == mode) return band + 1;
    return band - 1;
}

bool writeTrack(const std::string& path, const std::vector<double>& values) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(values.data(), sizeof(double), values.size(), f) == values.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen-tracks <show folder>\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<double> track1, track2;
    const int records = static_cast<int>(kTrackEnd * kRecordRate) + 1;
    // Start in band 3 (z 0.6..0.8, mode 0) so that the plan can step down as well as up.
    int band = 3;
    for (int i = 0; i < records; ++i) {
        const double t = i / kRecordRate;
        const double corners = densityAt(t, &DensityKey::corners) * (1 + barSwell(t));
        const double spacing = densityAt(t, &DensityKey::spacing);
        const int mode = modeAt(t);
        while (band % 3 != mode) band = nextBand(band, mode);
        track1.insert(track1.end(), {t, corners / 300.0, spacing / 8.0});
        track2.insert(track2.end(), {t, band * 0.2 + 0.1, 0.0});
    }
    if (!writeTrack(dir + "/rec1.rcc", track1) || !writeTrack(dir + "/rec2.rcc", track2)) {
        std::fprintf(stderr, "gen-tracks: cannot write the tracks into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
