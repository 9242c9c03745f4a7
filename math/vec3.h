// Vec3, Mat4, the easing curve and the show's one random sequence.
//
// Conventions
// - Vec3 carries a status word: 0 invalid, 1 valid, 2 valid and normalised (unit length or zero).
//   A default Vec3 is a valid zero vector. Operations on an invalid input give a valid zero
//   vector, so an invalid vector never propagates. Arithmetic runs in double and each component
//   is rounded to float once, when stored.
// - Mat4 holds 16 doubles row by row: m[r * 4 + c] is row r, column c. Only the upper-left
//   3 x 3 block transforms vectors. (GL matrices are column-major floats: convert explicitly.)
// - Angles are radians.
// - The random sequence is the 32-bit linear congruential generator
//   state = state * 214013 + 2531011 (mod 2^32), yielding bits 16..30 (0..32767). It is the
//   only generator of the program: every seeded layout of the show depends on its exact values.
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

struct Mat4 {
    double m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

void setIdentity(Mat4& m);
void setMatrix(Mat4& m, const double (&rowMajor)[16]);
// Writes only the 3 x 3 block with Rx(a) * Ry(b) * Rz(c).
void setRotationFromAngles(Mat4& m, double a, double b, double c);
void scaleAll(const Mat4& source, double s, Mat4& destination);
// Adjugate / determinant of the 3 x 3 block; a block with |det| < 1e-8 gives the identity.
// Entries outside the block keep what destination held, all scaled by 1/det.
void inverse(const Mat4& source, Mat4& destination);
Vec3 transform(const Mat4& m, const Vec3& v);

// (1 - ((1 + cos(pi t)) / 2) ^ ((k + 1) / 2)) ^ k: 0 at t = 0, 1 at t = 1.
double ease(double t, double k);

// The shared generator. seed(1) restores the state the program starts with.
void seed(uint32_t value);
int nextRandom();           // 0..32767, the program's rand()
double random01();          // nextRandom() / 32767, both ends included
uint32_t randomState();     // for tests and diagnostics

double squareRoot(float v);

}  // namespace ostravel
