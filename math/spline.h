// Uniform Catmull-Rom curve through a list of Vec3 control points, evaluated at a real
// parameter counted in control points (parameter k lands on point k).
//
// Limits
// - Neighbour indices are kept in 16-bit integers, so a curve addresses at most
//   kMaxSplinePoints points; appending beyond that is refused.
// - A closed curve (the default) wraps round; an open curve holds its end points.
// - Evaluating a curve with no points leaves the output unchanged. Non-finite parameters are
//   taken as 0, so nothing a data file holds can index outside the points.
#pragma once

#include <cstdint>
#include <vector>

#include "math/vec3.h"

namespace ostravel {

constexpr int32_t kMaxSplinePoints = 32767;

struct Spline {
    std::vector<Vec3> points;
    std::vector<Vec3> auxPointsA;  // emptied with points, not read by evaluation
    std::vector<Vec3> auxPointsB;
    int32_t resetState = 1;
    bool closed = true;
    int32_t count = 0;
};

// Empties the three point lists; capacity is kept so that refilling allocates nothing.
void reset(Spline& spline);
// Returns false (and appends nothing) once the curve holds kMaxSplinePoints points.
bool append(Spline& spline, const Vec3& point);
// Writes x, y, z of out; an open curve beyond its ends copies a whole control point.
void evaluate(const Spline& spline, float u, Vec3& out);

}  // namespace ostravel
