// The show's music, decoded with libvorbisfile as the show decodes it: length, level, no gaps,
// and the kicks on the beat envelope's peaks (t = k + 0.127 s).
#include "tests/content/show_folder.h"

#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <vector>

namespace {

using ostravel::contenttest::showPath;

struct Music {
    int rate = 0, channels = 0;
    std::vector<float> mono;  // (left + right) / 2
    float peak = 0;           // over both channels
};

const Music& music() {
    static const Music decoded = [] {
        Music m;
        OggVorbis_File vf;
        // The show opens the path with the doubled slash; it must name the same file.
        if (ov_fopen(showPath("music//[Bexil] Sorvain.ogg").c_str(), &vf) != 0) return m;
        const vorbis_info* info = ov_info(&vf, -1);
        m.rate = static_cast<int>(info->rate);
        m.channels = info->channels;
        for (;;) {
            float** pcm;
            int section;
            const long n = ov_read_float(&vf, &pcm, 4096, &section);
            if (n <= 0) break;
            for (long i = 0; i < n; ++i) {
                m.mono.push_back(0.5f * (pcm[0][i] + pcm[m.channels - 1][i]));
                m.peak = std::max({m.peak, std::abs(pcm[0][i]), std::abs(pcm[m.channels - 1][i])});
            }
        }
        ov_clear(&vf);
        return m;
    }();
    return decoded;
}

double rmsDb(double from, double to) {
    const Music& m = music();
    const size_t a = static_cast<size_t>(from * m.rate), b = std::min(m.mono.size(), static_cast<size_t>(to * m.rate));
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += double(m.mono[i]) * m.mono[i];
    return 10 * std::log10(sum / std::max<size_t>(1, b - a) + 1e-30);
}

TEST(ShowMusic, StereoAt44100HzForTheWholeShow) {
    ASSERT_EQ(music().rate, 44100);
    EXPECT_EQ(music().channels, 2);
    EXPECT_GE(music().mono.size() / double(music().rate), 196.0);
}

TEST(ShowMusic, PeaksStayBelowMinusOneDbfs) {
    ASSERT_FALSE(music().mono.empty());
    EXPECT_LE(20 * std::log10(music().peak), -1.0);
    EXPECT_GT(20 * std::log10(music().peak), -6.0) << "the mix should use its headroom";
}

TEST(ShowMusic, NoSilentSecondFromOneToOneHundredNinetySeconds) {
    ASSERT_FALSE(music().mono.empty());
    for (double t = 1; t + 1 <= 190; t += 0.25) EXPECT_GT(rmsDb(t, t + 1), -45) << "window at " << t << " s";
}

TEST(ShowMusic, FadesToSilenceBeforeTheShowEnds) {
    ASSERT_FALSE(music().mono.empty());
    EXPECT_LT(rmsDb(195.5, 196.0), -70);
    EXPECT_LT(rmsDb(193, 194), rmsDb(185, 186) - 12) << "the ending fades";
}

TEST(ShowMusic, SectionsFollowTheTimetable) {
    ASSERT_FALSE(music().mono.empty());
    const double title = rmsDb(1, 4), credits = rmsDb(30, 44), greetings = rmsDb(100, 124);
    const double breakdown = rmsDb(136, 150), finale = rmsDb(162, 184);
    EXPECT_LT(title, credits - 6) << "a quiet opening under the title";
    EXPECT_LT(credits, greetings);
    EXPECT_LT(breakdown, greetings - 2) << "the breakdown after 135 s";
    EXPECT_GT(finale, breakdown + 2);
}

// Beat-synchronous low band: the RMS of the band below about 150 Hz over a trailing 40-ms
// window, every 10 ms, averaged per 10-ms slot of the second over the whole piece. Returns how
// much that average rises into each slot. (The 40-ms window spans two periods of the kick's
// 50-Hz tail, which would otherwise beat against 10-ms frames.)
std::vector<double> lowBandRiseModuloOneSecond() {
    const Music& m = music();
    const int hop = m.rate / 100;
    const double a = std::exp(-2 * M_PI * 150.0 / m.rate);
    double y1 = 0, y2 = 0, energy = 0;
    std::vector<double> frames;
    for (size_t i = 0; i < m.mono.size(); ++i) {
        y1 = (1 - a) * m.mono[i] + a * y1;  // two one-pole low-passes
        y2 = (1 - a) * y1 + a * y2;
        energy += y2 * y2;
        if ((i + 1) % hop == 0) {
            frames.push_back(energy);
            energy = 0;
        }
    }
    std::vector<double> folded(100, 0.0), rise(100, 0.0);
    for (size_t k = 3; k < frames.size(); ++k) {
        folded[k % 100] += std::sqrt((frames[k] + frames[k - 1] + frames[k - 2] + frames[k - 3]) / (4.0 * hop));
    }
    for (int k = 0; k < 100; ++k) rise[k] = folded[k] - folded[(k + 99) % 100];
    return rise;
}

int circularDistance(int a, int b) {
    const int d = std::abs(a - b) % 100;
    return std::min(d, 100 - d);
}

TEST(ShowMusic, KicksLandOnTheBeatEnvelopePeaks) {
    ASSERT_FALSE(music().mono.empty());
    const std::vector<double> rise = lowBandRiseModuloOneSecond();
    const int best = static_cast<int>(std::max_element(rise.begin(), rise.end()) - rise.begin());
    // The envelope peaks at k + 0.127 s: the low band rises in the slots from 120 ms on.
    EXPECT_GE(best, 12);
    EXPECT_LE(best, 16);
    // The weaker kicks of beats 2 and 4 rise half a second later, less steeply.
    double offBeat = 0, elsewhere = 0;
    for (int k = 0; k < 100; ++k) {
        if (circularDistance(k, best + 50) <= 4) offBeat = std::max(offBeat, rise[k]);
        if (circularDistance(k, best) > 6 && circularDistance(k, best + 50) > 6) elsewhere = std::max(elsewhere, rise[k]);
    }
    EXPECT_GT(rise[best], 1.3 * offBeat);
    EXPECT_GT(offBeat, 0.3 * rise[best]) << "every beat has its kick";
    EXPECT_LT(elsewhere, 0.4 * rise[best]) << "nothing between the beats comes close";
}

}  // namespace
