// The content generators' own small random source and shaping helpers.
//
// Not the show's generator: the show's seeded layouts use the LCG of math/vec3.h; the data
// generators only need a fixed, repeatable sequence, so that every build writes the same bytes.
// Numerical Recipes' LCG: state = state * 1664525 + 1013904223 (mod 2^32), top 24 bits.
#pragma once

#include <cstdint>

namespace ostravel::content {

struct Rng {
    uint32_t state;
    double next() {  // [0, 1)
        state = state * 1664525u + 1013904223u;
        return (state >> 8) * (1.0 / 16777216.0);
    }
    double range(double lo, double hi) { return lo + (hi - lo) * next(); }
};

inline double clamp01(double x) { return x < 0 ? 0 : (x > 1 ? 1 : x); }

}  // namespace ostravel::content
