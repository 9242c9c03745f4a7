#include "app/camera_log.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ostravel {

namespace {

void stripFractionZeros(std::string& digits) {
    const size_t point = digits.find('.');
    if (point == std::string::npos) {
        digits += '.';
        return;
    }
    size_t end = digits.size();
    while (end > point + 1 && digits[end - 1] == '0') --end;
    digits.resize(end);
}

}  // namespace

std::string formatCameraNumber(double value) {
    if (!std::isfinite(value)) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return text;
    }
    // The exponent after rounding to six significant digits decides the notation.
    char scientific[48];
    std::snprintf(scientific, sizeof scientific, "%.5e", value);
    const char* e = std::strchr(scientific, 'e');
    const int exponent = std::atoi(e + 1);
    if (exponent >= -1 && exponent <= 5) {
        char fixed[48];
        std::snprintf(fixed, sizeof fixed, "%.*f", 5 - exponent, value);
        std::string digits(fixed);
        stripFractionZeros(digits);
        return digits;
    }
    std::string mantissa(scientific, static_cast<size_t>(e - scientific));
    stripFractionZeros(mantissa);
    char tail[16];
    std::snprintf(tail, sizeof tail, "e%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return mantissa + tail;
}

void appendCameraLines(std::string& log, const double cameraPos[3], double yaw, double pitch, double zoom) {
    log += "Cam :" + formatCameraNumber(cameraPos[0]) + "," + formatCameraNumber(cameraPos[1]) + "," +
           formatCameraNumber(cameraPos[2]) + "  \n";
    log += "Pnt :" + formatCameraNumber(yaw) + "," + formatCameraNumber(pitch) + "," + formatCameraNumber(zoom) +
           "  \n \n";
}

}  // namespace ostravel
