// The camera tracks, loaded through the show's own loader and spline, against the plan table.
#include "math/spline.h"
#include "production/camera_path.h"
#include "tests/content/show_folder.h"
#include "tools/gen-tracks/track_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>

namespace {

using ostravel::contenttest::showPath;
namespace plan = ostravel::trackplan;

struct Track {
    ostravel::Spline path;
    double end = 0;
};

Track load(const char* name) {
    std::ifstream in(showPath(name), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Track t;
    t.end = ostravel::resampleTrack(bytes, t.path);
    return t;
}

// As the Demo samples it: the spline at 100 points per second.
ostravel::Vec3 sample(const Track& t, double time) {
    ostravel::Vec3 out = ostravel::makeVec3(0, 0, 0);
    ostravel::evaluate(t.path, static_cast<float>(time * 100), out);
    return out;
}

int modeAt(const Track& track2, double time) {
    const int m = static_cast<int>(std::trunc(5 * sample(track2, time).y)) % 3;
    return m;
}

int cornersAt(const Track& track1, double time) {
    return std::clamp(static_cast<int>(300 * sample(track1, time).y), 3, 1650);
}

TEST(ShowTracks, CoverTheWholeShow) {
    const Track a = load("rec1.rcc"), b = load("rec2.rcc");
    EXPECT_GE(a.end, 196.0);
    EXPECT_GE(b.end, 196.0);
    EXPECT_GE(a.path.count, 19600);
    EXPECT_LE(a.path.count, ostravel::kMaxSplinePoints);
}

TEST(ShowTracks, ModesFollowThePlanTable) {
    const Track track2 = load("rec2.rcc");
    ASSERT_GT(track2.path.count, 0);
    for (const plan::ModeSpan& span : plan::kModePlan) {
        // Away from the joints, where the spline crosses one band boundary.
        for (double t = span.from + 0.1; t < std::min(span.to, 195.5) - 0.1; t += 0.05) {
            ASSERT_EQ(modeAt(track2, t), span.mode) << "at " << t << " s";
        }
    }
}

TEST(ShowTracks, EveryModeHasLongStretchesAndTheWebCarriesTheCredits) {
    const Track track2 = load("rec2.rcc");
    for (double t = 9.2; t < 43; t += 0.1) ASSERT_EQ(modeAt(track2, t), 1) << "cables of the credits at " << t;
    double longest[3] = {0, 0, 0}, run = 0;
    int current = modeAt(track2, 0.05);
    for (double t = 0.05; t < 195.5; t += 0.05) {
        const int m = modeAt(track2, t);
        ASSERT_GE(m, 0) << "a negative z selects no scene, at " << t;
        run = m == current ? run + 0.05 : 0;
        current = m;
        longest[m] = std::max(longest[m], run);
    }
    for (int m = 0; m < 3; ++m) EXPECT_GE(longest[m], 14.0) << "mode " << m;
}

TEST(ShowTracks, CornerCountsSwellWithTheMusic) {
    const Track track1 = load("rec1.rcc");
    auto mean = [&](double from, double to) {
        double sum = 0;
        int n = 0;
        for (double t = from; t < to; t += 0.1, ++n) sum += cornersAt(track1, t);
        return sum / n;
    };
    EXPECT_LT(mean(0.5, 4), mean(30, 44)) << "the credits build up";
    EXPECT_LT(mean(30, 44), mean(100, 124)) << "the greetings peak";
    EXPECT_GT(mean(100, 124), mean(138, 150)) << "the breakdown thins out";
    EXPECT_GT(mean(165, 180), mean(138, 150)) << "the finale";
    int top = 0;
    for (double t = 0.1; t < 195.5; t += 0.1) top = std::max(top, cornersAt(track1, t));
    EXPECT_EQ(top, 1650) << "the finale asks for every corner there is";
    // Within a bar the count rises and falls back on the next downbeat.
    const double bar = 100 + plan::kBeatOffset;
    EXPECT_GT(cornersAt(track1, bar + 1.0), cornersAt(track1, bar + 0.05) * 1.15);
    EXPECT_GT(cornersAt(track1, bar + 1.0), cornersAt(track1, bar + 1.95) * 1.15);
    // Corner spacing stays positive (8 y pixels).
    for (double t = 0.1; t < 195.5; t += 0.5) EXPECT_GT(sample(track1, t).z, 0.0) << t;
}

}  // namespace
