#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "math/spline.h"

using namespace ostravel;

namespace {

Spline line(int n, bool closed) {
    Spline s;
    s.closed = closed;
    for (int i = 0; i < n; ++i) append(s, makeVec3(float(i), float(i * i), 0.0f));
    return s;
}

float at(const Spline& s, float u) {
    Vec3 out;
    evaluate(s, u, out);
    return out.x;
}

}  // namespace

TEST(SplineOpen, EndsAndPathBoundaries) {
    const Spline s = line(5, false);
    EXPECT_FLOAT_EQ(at(s, 2.5f), 2.5f);
    EXPECT_FLOAT_EQ(at(s, 2.0f), 2.0f) << "slow path at the exclusive bound gives the same point";
    EXPECT_FLOAT_EQ(at(s, 3.0f), 3.0f);
    EXPECT_FLOAT_EQ(at(s, 1.25f), 1.25f);
    EXPECT_FLOAT_EQ(at(s, -1.0f), 0.0f);
    EXPECT_FLOAT_EQ(at(s, 6.0f), 4.0f);
    EXPECT_FLOAT_EQ(at(s, 4.0f), 4.0f) << "u = N - 1 clamps b and d to the last point";
    // 4.5: a = 4, m = 0.5 on a segment whose neighbours are all the last point: overshoots.
    EXPECT_GT(at(s, 4.5f), 4.0f);
    Vec3 out{0, 9, 9, 9};
    evaluate(s, 7.0f, out);
    EXPECT_EQ(out.status, 1) << "beyond the end the whole control point is copied";
}

TEST(SplineClosed, WrapsWithSixteenBitNeighbours) {
    const Spline s = line(5, true);
    // u = 0.5 uses c = 4, a = 0, b = 1, d = 2: y values 16, 0, 1, 4.
    const double m = 0.5, p0 = 16, p1 = 0, p2 = 1, p3 = 4;
    const double t1 = (p2 - p0) / 2, t2 = (p3 - p1) / 2;
    const double expected = p1 + t1 * m + (3 * (p2 - p1) - 2 * t1 - t2) * m * m + (2 * (p1 - p2) + t1 + t2) * m * m * m;
    Vec3 out;
    evaluate(s, 0.5f, out);
    EXPECT_NEAR(out.y, expected, 1e-5);
    // Past the end wraps to the start; a full turn lands on the same point.
    Vec3 a, b;
    evaluate(s, 1.25f, a);
    evaluate(s, 6.25f, b);
    EXPECT_NEAR(a.y, b.y, 1e-3);
    // Far negative parameters still land inside the points.
    evaluate(s, -123456.5f, a);
    EXPECT_TRUE(std::isfinite(a.x));
}

TEST(SplineClosed, TinyAndDegenerateCurvesStayInside) {
    for (int n = 1; n <= 3; ++n) {
        const Spline s = line(n, true);
        for (float u : {0.0f, 0.5f, 1.7f, 2.5f, -0.5f}) {
            Vec3 out;
            evaluate(s, u, out);
            EXPECT_TRUE(std::isfinite(out.x)) << n << " " << u;
            EXPECT_LE(out.x, float(n)) << n << " " << u;
        }
    }
    Spline empty;
    Vec3 untouched{1, 7, 8, 9};
    evaluate(empty, 3.0f, untouched);
    EXPECT_EQ(untouched.x, 7.0f);
    const Spline s = line(5, true);
    for (float u : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), 3.0e38f}) {
        Vec3 out;
        evaluate(s, u, out);
        EXPECT_TRUE(std::isfinite(out.x));
    }
}

TEST(SplineStorage, ResetKeepsClosedAndCapsCount) {
    Spline s = line(5, false);
    reset(s);
    EXPECT_EQ(s.count, 0);
    EXPECT_TRUE(s.points.empty());
    EXPECT_EQ(s.resetState, 1);
    EXPECT_FALSE(s.closed);
    Spline big;
    for (int i = 0; i < kMaxSplinePoints; ++i) ASSERT_TRUE(append(big, makeVec3(float(i), 0, 0)));
    EXPECT_FALSE(append(big, makeVec3(0, 0, 0)));
    EXPECT_EQ(big.count, kMaxSplinePoints);
    // The last point's neighbours sit at the 16-bit limit and must still wrap correctly.
    Vec3 out;
    evaluate(big, float(kMaxSplinePoints - 1) + 0.5f, out);
    EXPECT_TRUE(std::isfinite(out.x));
}
