#include "math/vec3.h"

#include "math/mat4.h"

#include <cmath>

namespace ostravel {

namespace {

bool bothValid(const Vec3& a, const Vec3& b) { return a.status != 0 && b.status != 0; }

Vec3 fromDoubles(double x, double y, double z) {
    return Vec3{1, static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

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

double squareRoot(float v) { return std::sqrt(double(v)); }

}  // namespace ostravel
