#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "math/vec3.h"
#include "math/mat4.h"
#include "math/ease.h"
#include "math/random.h"

using namespace ostravel;

TEST(Vec3Arithmetic, InvalidInputGivesValidZero) {
    const Vec3 invalid{0, 5.0f, 6.0f, 7.0f};
    const Vec3 v = makeVec3(1.0f, 2.0f, 3.0f);
    for (const Vec3& r : {add(invalid, v), subtract(v, invalid), cross(invalid, v), scale(invalid, 2.0f)}) {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.x, 0.0f);
        EXPECT_EQ(r.y, 0.0f);
        EXPECT_EQ(r.z, 0.0f);
    }
    const Vec3 sum = add(makeVec3(1, 2, 3, 2), makeVec3(1, 1, 1, 2));
    EXPECT_EQ(sum.status, 1) << "only scale keeps the input status";
    EXPECT_EQ(sum.z, 4.0f);
    const Vec3 c = cross(makeVec3(1, 0, 0), makeVec3(0, 1, 0));
    EXPECT_EQ(c.z, 1.0f);
    EXPECT_EQ(c.x, 0.0f);
}

TEST(Vec3Arithmetic, ComputesInDoubleAndRoundsOnce) {
    // 4097 * 4097 = 16785409 needs 25 bits: a float product would round it and the difference
    // below would come out as 8193 or 8195 instead of 8194.
    const Vec3 r = cross(makeVec3(0.0f, 4097.0f, 4097.0f), makeVec3(0.0f, 4095.0f, 4097.0f));
    EXPECT_EQ(r.x, 8194.0f);
}

TEST(Vec3Normalise, StatusRules) {
    Vec3 zero = makeVec3(0, 0, 0);
    normalise(zero);
    EXPECT_EQ(zero.status, 2);
    EXPECT_EQ(zero.x, 0.0f);

    Vec3 v = makeVec3(3, 0, 4);
    normalise(v);
    EXPECT_EQ(v.status, 2);
    EXPECT_FLOAT_EQ(v.x, 0.6f);
    EXPECT_FLOAT_EQ(v.z, 0.8f);

    Vec3 tiny = makeVec3(1e-9f, 0, 0);
    normalise(tiny);
    EXPECT_EQ(tiny.status, 2);
    EXPECT_EQ(tiny.x, 0.0f) << "lengths below 1e-8 become the zero vector";

    Vec3 scaled = scale(v, 3.0f);
    EXPECT_EQ(scaled.status, 2);
    EXPECT_NEAR(std::sqrt(scaled.x * scaled.x + scaled.z * scaled.z), 3.0, 1e-6);
    normalise(scaled);
    EXPECT_FLOAT_EQ(scaled.x, 1.8f) << "a vector marked 2 is not normalised again";

    Vec3 invalid{0, 3, 4, 0};
    normalise(invalid);
    EXPECT_EQ(invalid.status, 0);
    EXPECT_EQ(invalid.x, 3.0f);
}

TEST(Mat4Ops, RotationAndTransform) {
    Mat4 m;
    m.m[3] = 7.0;  // outside the block: must survive
    setRotationFromAngles(m, 0.0, 0.0, std::numbers::pi / 2);
    const Vec3 r = transform(m, makeVec3(1, 0, 0));
    EXPECT_NEAR(r.x, 0.0, 1e-7);
    EXPECT_NEAR(r.y, 1.0, 1e-7);
    EXPECT_EQ(m.m[3], 7.0);

    // Rx(a) Ry(b) Rz(c) order: rotating about x last-applied moves y into z.
    setRotationFromAngles(m, std::numbers::pi / 2, 0.0, 0.0);
    const Vec3 ry = transform(m, makeVec3(0, 1, 0));
    EXPECT_NEAR(ry.z, 1.0, 1e-7);

    Vec3 v = makeVec3(1, 0, 0, 2);
    rotateByAngles(v, 0.0, 0.0, std::numbers::pi / 2);
    EXPECT_EQ(v.status, 1);
    EXPECT_NEAR(v.y, 1.0, 1e-7);
}

TEST(Mat4Ops, InverseOfRotationScaleAndSingular) {
    Mat4 m;
    setRotationFromAngles(m, 0.3, -0.7, 1.1);
    Mat4 scaled;
    scaleAll(m, 2.0, scaled);
    scaled.m[15] = 1.0;
    Mat4 inv;
    inverse(scaled, inv);
    const Vec3 p = makeVec3(0.25f, -1.5f, 3.0f);
    const Vec3 back = transform(inv, transform(scaled, p));
    EXPECT_NEAR(back.x, p.x, 1e-5);
    EXPECT_NEAR(back.y, p.y, 1e-5);
    EXPECT_NEAR(back.z, p.z, 1e-5);
    EXPECT_NEAR(inv.m[15], 0.125, 1e-12) << "entries outside the block are scaled by 1/det";

    Mat4 singular;
    const double rows[16] = {1e-3, 0, 0, 0, 0, 1e-3, 0, 0, 0, 0, 1e-3, 0, 0, 0, 0, 1};  // det 1e-9
    setMatrix(singular, rows);
    Mat4 out;
    out.m[1] = 5.0;
    inverse(singular, out);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out.m[i], (i % 5 == 0) ? 1.0 : 0.0) << i;
}

TEST(Ease, EndsAndMiddle) {
    EXPECT_DOUBLE_EQ(ease(0.5, 1.0), 0.5);
    for (double k : {0.5, 1.0, 2.0, 5.0}) {
        EXPECT_DOUBLE_EQ(ease(0.0, k), 0.0);
        EXPECT_NEAR(ease(1.0, k), 1.0, 1e-12);
    }
    EXPECT_NEAR(ease(0.25, 1.0), (1.0 - std::cos(std::numbers::pi * 0.25)) / 2.0, 1e-12);
    EXPECT_LT(ease(0.25, 2.0), ease(0.25, 1.0)) << "larger k sharpens the curve";
}

TEST(RandomSequence, MatchesTheLcg) {
    seed(1);
    EXPECT_EQ(nextRandom(), 41);
    EXPECT_EQ(nextRandom(), 18467);
    EXPECT_EQ(nextRandom(), 6334);
    seed(12345);
    uint32_t state = 12345;
    for (int i = 0; i < 1000; ++i) {
        state = state * 214013u + 2531011u;
        ASSERT_EQ(nextRandom(), int((state >> 16) & 0x7fff));
    }
    seed(0);
    double lo = 1.0, hi = 0.0;
    for (int i = 0; i < 200000; ++i) {
        const double r = random01();
        lo = std::min(lo, r);
        hi = std::max(hi, r);
    }
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 1.0);
    seed(1);
}
