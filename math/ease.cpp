#include "math/ease.h"

#include <cmath>
#include <numbers>

namespace ostravel {

double ease(double t, double k) {
    const double y = std::pow((std::cos(std::numbers::pi * t) + 1.0) / 2.0, (k + 1.0) / 2.0);
    return std::pow(1.0 - y, k);
}

}  // namespace ostravel
