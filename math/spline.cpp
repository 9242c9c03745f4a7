#include "math/spline.h"

#include <algorithm>
#include <cmath>

namespace ostravel {

void reset(Spline& spline) {
    spline.resetState = 3;
    spline.points.clear();
    spline.auxPointsA.clear();
    spline.auxPointsB.clear();
    spline.count = 0;
    spline.resetState = 1;
}

bool append(Spline& spline, const Vec3& point) {
    if (spline.count >= kMaxSplinePoints) return false;
    spline.points.push_back(point);
    spline.count += 1;
    return true;
}

namespace {

// Non-negative remainder: a parameter far below zero must still land on a point.
int32_t wrapIndex(int64_t value, int32_t n) {
    int64_t r = value % n;
    return static_cast<int32_t>(r < 0 ? r + n : r);
}

struct Segment {
    int16_t c, a, b, d;
    double m;
};

Segment closedSegment(float u, int32_t n) {
    float shifted = u + 10000.0f * static_cast<float>(n);
    // Keep the truncation below within 64-bit range; the remainder modulo n is what matters.
    if (std::fabs(shifted) >= 1.0e15f) shifted = std::fmod(shifted, static_cast<float>(n));
    const int64_t e = static_cast<int64_t>(shifted);
    const double m = double(shifted) - double(e);
    const int32_t a = wrapIndex(e, n);
    Segment s{};
    s.a = static_cast<int16_t>(a);
    s.m = m;
    if (0 < a && a < n - 2) {
        s.c = static_cast<int16_t>(a - 1);
        s.b = static_cast<int16_t>(a + 1);
        s.d = static_cast<int16_t>(a + 2);
    } else if (a != 0) {
        s.c = static_cast<int16_t>(a - 1);
        s.b = static_cast<int16_t>((a + 1) % n);
        s.d = static_cast<int16_t>((a + 2) % n);
    } else {
        s.c = static_cast<int16_t>(wrapIndex(e - 1, n));
        // Curves of one or two points wrap here too instead of reading past the end.
        s.b = static_cast<int16_t>(1 % n);
        s.d = static_cast<int16_t>(2 % n);
    }
    return s;
}

Segment openSegment(float u, int32_t n) {
    const double e = std::trunc(double(u));
    const int32_t a = static_cast<int32_t>(std::clamp(e, 0.0, double(n - 1)));
    Segment s{};
    s.m = u < 0.0f ? 0.0 : (u > float(n) ? 1.0 : double(u) - e);
    auto limit = [n](int32_t i) { return static_cast<int16_t>(std::clamp(i, 0, n - 1)); };
    s.c = limit(a - 1);
    s.a = limit(a);
    s.b = limit(a + 1);
    s.d = limit(a + 2);
    return s;
}

double catmullRom(double p0, double p1, double p2, double p3, double m) {
    const double t1 = (p2 - p0) / 2.0;
    const double t2 = (p3 - p1) / 2.0;
    return p1 + t1 * m + (3.0 * (p2 - p1) - 2.0 * t1 - t2) * m * m + (2.0 * (p1 - p2) + t1 + t2) * m * m * m;
}

}  // namespace

void evaluate(const Spline& spline, float u, Vec3& out) {
    const int32_t n = std::min<int32_t>(spline.count, static_cast<int32_t>(spline.points.size()));
    if (n <= 0) return;
    if (!std::isfinite(u)) u = 0.0f;

    Segment s;
    if (2.0f < u && u < float(n - 2)) {
        const int32_t a = static_cast<int32_t>(u);
        s.m = double(u) - a;
        s.a = static_cast<int16_t>(a);
        s.c = static_cast<int16_t>(a - 1);
        s.b = static_cast<int16_t>(a + 1);
        s.d = static_cast<int16_t>(a + 2);
    } else if (spline.closed) {
        s = closedSegment(u, n);
    } else {
        s = openSegment(u, n);
    }

    const Vec3& p0 = spline.points[s.c];
    const Vec3& p1 = spline.points[s.a];
    const Vec3& p2 = spline.points[s.b];
    const Vec3& p3 = spline.points[s.d];
    out.x = static_cast<float>(catmullRom(p0.x, p1.x, p2.x, p3.x, s.m));
    out.y = static_cast<float>(catmullRom(p0.y, p1.y, p2.y, p3.y, s.m));
    out.z = static_cast<float>(catmullRom(p0.z, p1.z, p2.z, p3.z, s.m));

    if (!spline.closed) {
        if (u > float(n)) out = spline.points[n - 1];
        if (u < 0.0f) out = spline.points[0];
    }
}

}  // namespace ostravel
