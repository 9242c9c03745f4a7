// Mat4: 16 doubles row by row, m[r * 4 + c] is row r, column c. Only the upper-left 3 x 3 block
// transforms vectors. GL matrices are column-major floats: convert explicitly. Angles are radians.
#pragma once

#include "math/vec3.h"

namespace ostravel {

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

}  // namespace ostravel
