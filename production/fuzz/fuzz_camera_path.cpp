// libFuzzer entry over the camera-track loader: the input is a track file. Besides the
// sanitizers, it checks what the loader promises its users: never more points than a path can
// hold, one stored point per counted point, and sampling at any show time (as the camera does:
// hundredths of a second since the path start, wrapping round, far past the end) stays inside
// the points.
#include <cmath>
#include <cstdlib>
#include <limits>

#include "production/camera_path.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ostravel::Spline path;
    const double end = ostravel::resampleTrack(std::span<const uint8_t>(data, size), path);
    require(path.count >= 0 && path.count <= ostravel::kMaxSplinePoints);
    require(path.points.size() == static_cast<size_t>(path.count));
    if (size < ostravel::kTrackRecordBytes) require(path.count == 0 && end == 0.0);

    constexpr double kTimes[] = {0.005, 0.01, 1.0 / 3.0, 20.13, 195.5, 327.67, 327.68, 1.0e6, 1.0e30, -1.0,
                                 std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
    for (double t : kTimes) {
        ostravel::Vec3 point = ostravel::makeVec3(1.5f, 2.5f, 3.5f);
        ostravel::evaluate(path, static_cast<float>(t * 100.0), point);
        if (path.count == 0) require(point.x == 1.5f && point.y == 2.5f && point.z == 3.5f);
    }
    return 0;
}
