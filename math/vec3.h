// Vec3: a point or direction of three floats with a status word.
//
// Conventions
// - The status word: 0 invalid, 1 valid, 2 valid and normalised (unit length or zero).
//   A default Vec3 is a valid zero vector. Operations on an invalid input give a valid zero
//   vector, so an invalid vector never propagates. Arithmetic runs in double and each component
//   is rounded to float once, when stored.
// - Angles are radians.
#pragma once

#include <cstdint>

namespace ostravel {

struct Vec3 {
    int32_t status = 1;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

constexpr Vec3 makeVec3(float x, float y, float z, int32_t status = 1) { return Vec3{status, x, y, z}; }

Vec3 add(const Vec3& a, const Vec3& b);
Vec3 subtract(const Vec3& a, const Vec3& b);
Vec3 cross(const Vec3& a, const Vec3& b);
// Keeps the status of v (a scaled normalised vector stays marked 2).
Vec3 scale(const Vec3& v, float s);
// Only a vector of status exactly 1 is normalised; it becomes status 2.
void normalise(Vec3& v);
// v = Rx(a) * Ry(b) * Rz(c) * v, status 1.
void rotateByAngles(Vec3& v, double a, double b, double c);

double squareRoot(float v);

}  // namespace ostravel
