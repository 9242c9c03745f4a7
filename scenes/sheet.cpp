#include "scenes/sheet.h"

#include <cmath>
#include <numbers>

namespace ostravel {

SheetPlacement sheetPlacement(double localTime) {
    return {8.0 * std::sin(0.06 * localTime - 0.5), 8.0 * std::cos(0.05 * localTime - 0.5), localTime - 4.0};
}

Vec3 sheetPoint(double localTime, double x, double y) {
    const SheetPlacement s = sheetPlacement(localTime);
    Vec3 p = makeVec3(static_cast<float>(x), static_cast<float>(y), 0.0f);
    rotateByAngles(p, 0.0, 0.0, s.turnDegrees * std::numbers::pi / 180.0);
    return makeVec3(static_cast<float>(p.x + s.dx), static_cast<float>(p.y + s.dy), 0.0f);
}

}  // namespace ostravel
