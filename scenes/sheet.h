// The credits sheet: the frame the lettering draws in drifts and turns with the time, and the
// feature web's cables reach out to points on it.
#pragma once

#include "math/vec3.h"

namespace ostravel {

struct SheetPlacement {
    double dx = 0.0;          // translation, world units
    double dy = 0.0;
    double turnDegrees = 0.0; // about z, applied after the translation (in GL order)
};

// Translate (8 sin(0.06 t - 0.5), 8 cos(0.05 t - 0.5), 0), then rotate by (t - 4) degrees about z.
SheetPlacement sheetPlacement(double localTime);
// A point of the sheet in world coordinates: rotated by the turn, then moved by the drift.
Vec3 sheetPoint(double localTime, double x, double y);

}  // namespace ostravel
