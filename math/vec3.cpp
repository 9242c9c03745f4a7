#include "math/vec3.h"

#include <cmath>
#include <numbers>

namespace ostravel {

namespace {

bool bothValid(const Vec3& a, const Vec3& b) { return a.status != 0 && b.status != 0; }

Vec3 fromDoubles(double x, double y, double z) {
    return Vec3{1, static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

uint32_t randomStateWord = 1;

}  // namespace

Vec3 add(const Vec3& a, const Vec3& b) {
    if (!bothValid(a, b)) return Vec3{};
    return fromDoubles(double(a.x) + b.x, double(a.y) + b.y, double(a.z) + b.z);
}

Vec3 subtract(const Vec3& a, const Vec3& b) {
    if (!bothValid(a, b)) return Vec3{};
    return fromDoubles(double(a.x) - b.x, double(a.y) - b.y, double(a.z) - b.z);
}

Vec3 cross(const Vec3& a, const Vec3& b) {
    if (!bothValid(a, b)) return Vec3{};
    return fromDoubles(double(a.y) * b.z - double(a.z) * b.y, double(a.z) * b.x - double(a.x) * b.z,
                       double(a.x) * b.y - double(a.y) * b.x);
}

Vec3 scale(const Vec3& v, float s) {
    if (v.status == 0) return Vec3{};
    Vec3 r = fromDoubles(double(v.x) * s, double(v.y) * s, double(v.z) * s);
    r.status = v.status;
    return r;
}

void normalise(Vec3& v) {
    if (v.status != 1) return;
    const double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    if (length < 1e-8) {
        v = Vec3{2, 0.0f, 0.0f, 0.0f};
        return;
    }
    const double inv = 1.0 / length;
    v = Vec3{2, float(v.x * inv), float(v.y * inv), float(v.z * inv)};
}

void rotateByAngles(Vec3& v, double a, double b, double c) {
    Mat4 r;
    setRotationFromAngles(r, a, b, c);
    v = transform(r, v);
}

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

double ease(double t, double k) {
    const double y = std::pow((std::cos(std::numbers::pi * t) + 1.0) / 2.0, (k + 1.0) / 2.0);
    return std::pow(1.0 - y, k);
}

void seed(uint32_t value) { randomStateWord = value; }

int nextRandom() {
    randomStateWord = randomStateWord * 214013u + 2531011u;
    return static_cast<int>((randomStateWord >> 16) & 0x7fffu);
}

double random01() { return nextRandom() / 32767.0; }

uint32_t randomState() { return randomStateWord; }

double squareRoot(float v) { return std::sqrt(double(v)); }

}  // namespace ostravel
