// The debug camera's text lines, appended to debugLog on the middle button and put on the
// clipboard at the end of the exit fade.
//
// Numbers are written the way _gcvt writes them with six significant digits: fixed when
// the decimal exponent is -1..5, else d.ddddde+XXX with a sign and three exponent digits;
// trailing fraction zeros removed, the decimal point kept ("2.", "0.5", "1.e-003").
#pragma once

#include <string>

namespace ostravel {

std::string formatCameraNumber(double value);
// "Cam :x,y,z  \n" then "Pnt :yaw,pitch,zoom  \n \n", as two appends.
void appendCameraLines(std::string& log, const double cameraPos[3], double yaw, double pitch, double zoom);

}  // namespace ostravel
