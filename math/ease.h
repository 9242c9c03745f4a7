// The easing curve and the fades every time-driven element of the show is built from.
#pragma once

#include <algorithm>

namespace ostravel {

// (1 - ((1 + cos(pi t)) / 2) ^ ((k + 1) / 2)) ^ k: 0 at t = 0, 1 at t = 1.
double ease(double t, double k);

inline double clamp01(double x) { return std::clamp(x, 0.0, 1.0); }

// clamp((time - t0) * r, 0, 1): 0 until t0, 1 from t0 + 1 / r.
inline double ramp(double time, double t0, double r) { return clamp01((time - t0) * r); }

}  // namespace ostravel
