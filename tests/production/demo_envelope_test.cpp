#include <gtest/gtest.h>

#include <cmath>

#include "math/vec3.h"
#include "math/ease.h"
#include "production/demo.h"

using namespace ostravel;

TEST(BeatEnvelope, PeaksOnceASecondAfterTheBeat) {
    const double peak = 0.4 / 3.141592653589793;
    for (int k : {0, 1, 57, 190}) {
        const double at = beatPulse(k + peak);
        EXPECT_NEAR(at, std::pow(1.015, 8.0), 1e-9);
        EXPECT_LT(beatPulse(k + peak - 0.05), at);
        EXPECT_LT(beatPulse(k + peak + 0.05), at);
        EXPECT_LT(beatPulse(k + peak + 0.5), 1e-6) << "silent between beats";
    }
}

TEST(CompositeBrightness, ClampedAtBothEnds) {
    EXPECT_DOUBLE_EQ(compositeBrightness(0.0), ease(0.1, 2.0));
    EXPECT_DOUBLE_EQ(compositeBrightness(0.39), ease(0.1, 2.0));
    EXPECT_NEAR(compositeBrightness(2.1), 1.0, 1e-12);
    EXPECT_NEAR(compositeBrightness(150.0), 1.0, 1e-12);
    EXPECT_LT(compositeBrightness(1.0), compositeBrightness(1.5));
}

TEST(GlowSprites, OnlyBetweenTheirTimes) {
    EXPECT_EQ(glowSpriteWeight(18.0, 1.0), 0.0);
    EXPECT_NEAR(glowSpriteWeight(28.0, 1.0), 0.5, 1e-12);
    EXPECT_NEAR(glowSpriteWeight(100.0, 0.5), 0.5, 1e-12);
    EXPECT_NEAR(glowSpriteWeight(174.0, 1.0), 0.5, 1e-12);
    EXPECT_EQ(glowSpriteWeight(176.0, 1.0), 0.0);
    EXPECT_EQ(glowSpriteWeight(190.0, 1.0), 0.0);
}
