// The show's music, decoded with libvorbisfile as the show decodes it: length, level, no gaps,
// the kicks on the beat envelope's peaks (t = k + 0.127 s), the sections' dynamics and harmony,
// and the mix (no offset, holds up in mono).
#include "scenes/timetable.h"
#include "tests/content/show_folder.h"

#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <array>
#include <cmath>
#include <complex>
#include <vector>

namespace {

using ostravel::contenttest::showPath;

struct Music {
    int rate = 0, channels = 0;
    std::vector<float> mono;  // (left + right) / 2
    std::vector<float> side;  // (left - right) / 2
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
                m.side.push_back(0.5f * (pcm[0][i] - pcm[m.channels - 1][i]));
                m.peak = std::max({m.peak, std::abs(pcm[0][i]), std::abs(pcm[m.channels - 1][i])});
            }
        }
        ov_clear(&vf);
        return m;
    }();
    return decoded;
}

// Mean of f(mono, side) over [from, to) seconds.
template <typename F>
double average(double from, double to, F f) {
    const Music& m = music();
    const size_t a = static_cast<size_t>(from * m.rate), b = std::min(m.mono.size(), static_cast<size_t>(to * m.rate));
    double sum = 0;
    for (size_t i = a; i < b; ++i) sum += f(double(m.mono[i]), double(m.side[i]));
    return sum / std::max<size_t>(1, b - a);
}

double rmsDb(double from, double to) {
    return 10 * std::log10(average(from, to, [](double mid, double) { return mid * mid; }) + 1e-30);
}

struct Span {
    const char* name;
    double from, to;
};
// A section of the show's timetable.
constexpr Span span(ostravel::Section s) {
    return {ostravel::section(s).name, ostravel::section(s).start, ostravel::section(s).end};
}
constexpr Span kOpening = span(ostravel::Section::Credits), kContours = span(ostravel::Section::ContourFans),
               kGreetings = span(ostravel::Section::Greetings), kBreakdown = span(ostravel::Section::Breakdown),
               kFinale = span(ostravel::Section::Mosaic), kWhole{"whole", 0, 195};

double rmsDb(const Span& s) { return rmsDb(s.from, s.to); }

TEST(ShowMusic, StereoAt44100HzForTheWholeShow) {
    ASSERT_EQ(music().rate, 44100);
    EXPECT_EQ(music().channels, 2);
    EXPECT_GE(music().mono.size() / double(music().rate), 196.0);
}

TEST(ShowMusic, PeaksStayBelowMinusOneDbfs) {
    ASSERT_FALSE(music().mono.empty());
    EXPECT_LE(20 * std::log10(music().peak), -1.0);
    EXPECT_GT(20 * std::log10(music().peak), -2.0) << "the mix should use its headroom";
}

TEST(ShowMusic, NoOffsetInEitherChannel) {
    ASSERT_FALSE(music().mono.empty());
    for (const Span& s : {kWhole, kOpening, kGreetings, kFinale}) {
        const double left = average(s.from, s.to, [](double mid, double side) { return mid + side; });
        const double right = average(s.from, s.to, [](double mid, double side) { return mid - side; });
        EXPECT_LT(20 * std::log10(std::abs(left) + 1e-12), -60) << s.name;
        EXPECT_LT(20 * std::log10(std::abs(right) + 1e-12), -60) << s.name;
    }
}

// Folding to mono (left + right) / 2 keeps the level within 1.5 dB of the stereo mix: the pads,
// alone in the breakdown, and the whole piece.
TEST(ShowMusic, HoldsUpInMono) {
    ASSERT_FALSE(music().mono.empty());
    for (const Span& s : {kBreakdown, kWhole}) {
        const double mid = average(s.from, s.to, [](double m, double) { return m * m; });
        const double stereo = average(s.from, s.to, [](double m, double side) { return m * m + side * side; });
        EXPECT_GT(10 * std::log10(mid / stereo), -1.5) << s.name;
    }
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
    const double title = rmsDb(1, 4), credits = rmsDb(30, 44), greetings = rmsDb(kGreetings);
    const double breakdown = rmsDb(kBreakdown), finale = rmsDb(kFinale);
    EXPECT_LT(title, credits - 6) << "a quiet opening under the title";
    EXPECT_LT(credits, greetings);
    EXPECT_GT(greetings, rmsDb(kContours) + 1.5) << "the greetings are a peak above the contours";
    EXPECT_LT(breakdown, std::min(greetings, finale) - 8) << "the breakdown drops";
}

// Energy per pitch class (Goertzel at each equal-tempered note from C3 to B6 over every other
// Hann-windowed block of 8192 samples), for comparing the sections' harmony.
std::array<double, 12> chroma(const Span& s) {
    const Music& m = music();
    constexpr size_t kBlock = 8192;
    std::array<double, 12> energy{};
    for (size_t a = static_cast<size_t>(s.from * m.rate); a + kBlock <= static_cast<size_t>(s.to * m.rate); a += 2 * kBlock) {
        for (int note = 48; note < 96; ++note) {
            const double w = 2 * M_PI * 440 * std::pow(2.0, (note - 69) / 12.0) / m.rate, c = 2 * std::cos(w);
            double s1 = 0, s2 = 0;
            for (size_t i = 0; i < kBlock; ++i) {
                const double s0 = m.mono[a + i] * (0.5 - 0.5 * std::cos(2 * M_PI * i / kBlock)) + c * s1 - s2;
                s2 = s1;
                s1 = s0;
            }
            energy[note % 12] += s1 * s1 + s2 * s2 - c * s1 * s2;
        }
    }
    return energy;
}

double similarity(const std::array<double, 12>& a, const std::array<double, 12>& b) {
    double ab = 0, aa = 0, bb = 0;
    for (int k = 0; k < 12; ++k) {
        ab += a[k] * b[k];
        aa += a[k] * a[k];
        bb += b[k] * b[k];
    }
    return ab / std::sqrt(aa * bb);
}

// The contours and greetings turn to other chords, and the finale is not the greetings again:
// their pitch-class profiles differ from each other's (one loop throughout scores above 0.98).
TEST(ShowMusic, SectionsHaveHarmonyOfTheirOwn) {
    ASSERT_FALSE(music().mono.empty());
    const struct {
        Span a, b;
    } pairs[] = {{kOpening, kContours}, {kOpening, kGreetings}, {kGreetings, kFinale}};
    for (const auto& p : pairs) EXPECT_LT(similarity(chroma(p.a), chroma(p.b)), 0.95) << p.a.name << " / " << p.b.name;
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

// Broadband onsets: how much the RMS of each 10-ms frame rises over the previous one, folded
// modulo half a second over a section. Every beat of every section with drums starts at
// 0.127 + 0.5 n s, so the fold peaks in the frames from 120 ms on.
TEST(ShowMusic, EverySectionKeepsTheBeatGrid) {
    ASSERT_FALSE(music().mono.empty());
    const Music& m = music();
    const int hop = m.rate / 100;
    for (const Span& s : {kOpening, Span{"video", 51, 64}, kContours, kGreetings, kFinale}) {
        std::array<double, 50> folded{};
        double previous = 0;
        for (size_t k = static_cast<size_t>(s.from * 100); k < static_cast<size_t>(s.to * 100); ++k) {
            double energy = 0;
            for (size_t i = k * hop; i < (k + 1) * hop; ++i) energy += double(m.mono[i]) * m.mono[i];
            const double rms = std::sqrt(energy / hop);
            folded[k % 50] += std::max(0.0, rms - previous);
            previous = rms;
        }
        const int best = static_cast<int>(std::max_element(folded.begin(), folded.end()) - folded.begin());
        EXPECT_GE(best, 12) << s.name;
        EXPECT_LE(best, 14) << s.name;
    }
}

}  // namespace
