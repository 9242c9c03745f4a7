#include "math/mat4.h"

#include <cmath>

namespace ostravel {

namespace {

Vec3 fromDoubles(double x, double y, double z) {
    return Vec3{1, static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

}  // namespace

void setIdentity(Mat4& m) { m = Mat4{}; }

void setMatrix(Mat4& m, const double (&rowMajor)[16]) {
    for (int i = 0; i < 16; ++i) m.m[i] = rowMajor[i];
}

void setRotationFromAngles(Mat4& m, double a, double b, double c) {
    const double ca = std::cos(a), sa = std::sin(a);
    const double cb = std::cos(b), sb = std::sin(b);
    const double cc = std::cos(c), sc = std::sin(c);
    m.m[0] = cb * cc;
    m.m[1] = -cb * sc;
    m.m[2] = sb;
    m.m[4] = sa * sb * cc + ca * sc;
    m.m[5] = ca * cc - sa * sb * sc;
    m.m[6] = -sa * cb;
    m.m[8] = sa * sc - ca * sb * cc;
    m.m[9] = ca * sb * sc + sa * cc;
    m.m[10] = ca * cb;
}

void scaleAll(const Mat4& source, double s, Mat4& destination) {
    for (int i = 0; i < 16; ++i) destination.m[i] = source.m[i] * s;
}

void inverse(const Mat4& source, Mat4& destination) {
    const double* s = source.m;
    const double det = s[0] * (s[5] * s[10] - s[9] * s[6]) - s[1] * (s[4] * s[10] - s[8] * s[6]) +
                       s[2] * (s[9] * s[4] - s[8] * s[5]);
    if (std::fabs(det) < 1e-8) {
        setIdentity(destination);
        return;
    }
    double block[9] = {
        s[5] * s[10] - s[9] * s[6], s[9] * s[2] - s[1] * s[10], s[1] * s[6] - s[2] * s[5],
        s[8] * s[6] - s[4] * s[10], s[0] * s[10] - s[8] * s[2], s[4] * s[2] - s[0] * s[6],
        s[9] * s[4] - s[8] * s[5],  s[8] * s[1] - s[9] * s[0],  s[5] * s[0] - s[4] * s[1],
    };
    double* d = destination.m;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) d[r * 4 + c] = block[r * 3 + c];
    const double invDet = 1.0 / det;
    for (int i = 0; i < 16; ++i) d[i] *= invDet;
}

Vec3 transform(const Mat4& m, const Vec3& v) {
    const double* a = m.m;
    return fromDoubles(a[0] * v.x + a[1] * v.y + a[2] * v.z, a[4] * v.x + a[5] * v.y + a[6] * v.z,
                       a[8] * v.x + a[9] * v.y + a[10] * v.z);
}

}  // namespace ostravel
