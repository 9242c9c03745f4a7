#include "production/camera_path.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>


namespace ostravel {

namespace {

double readLittleEndianDouble(const uint8_t* p) {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

double resampleTrack(std::span<const uint8_t> bytes, Spline& path) {
    reset(path);
    double running = 0.0;
    Vec3 previous = makeVec3(0, 0, 0);
    bool first = true;
    const size_t records = bytes.size() / kTrackRecordBytes;
    for (size_t r = 0; r < records; ++r) {
        const uint8_t* p = bytes.data() + r * kTrackRecordBytes;
        const TrackRecord record{readLittleEndianDouble(p), readLittleEndianDouble(p + 8),
                                 readLittleEndianDouble(p + 16)};
        if (!std::isfinite(record.time) || !std::isfinite(record.first) || !std::isfinite(record.second)) continue;
        const Vec3 current = makeVec3(float(record.time), float(record.first), float(record.second));
        if (first) {
            previous = current;
            first = false;
        }
        const double gap = record.time - running;
        // Whole hundredths in the gap, truncated toward zero; never more than the path can hold.
        const double room = double(kMaxSplinePoints - path.count);
        const double hundredths = std::trunc(gap * 100.0);
        const int n = hundredths <= 0.0 ? 0 : static_cast<int>(std::min(hundredths, room));
        const Vec3 step = subtract(current, previous);
        for (int j = 0; j < n; ++j) {
            const float s = static_cast<float>(j) / static_cast<float>(n);
            append(path, add(previous, scale(step, s)));
        }
        previous = current;
        // The running time moves in whole hundredths; the rest of the gap carries over.
        running = record.time + (n * 0.01 - gap);
    }
    return running;
}

void loadCameraPath(CameraPathTimes& times, Spline& path, const char* fileName) {
    std::ifstream file(fileName, std::ios::binary);
    if (!file) return;
    // A track is small (24 bytes per record); a file far larger than any path can hold is read
    // only up to what could still add points.
    constexpr std::streamoff kMaxBytes = 64 << 20;
    file.seekg(0, std::ios::end);
    const std::streamoff size = std::min<std::streamoff>(std::max<std::streamoff>(file.tellg(), 0), kMaxBytes);
    file.seekg(0, std::ios::beg);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    file.read(reinterpret_cast<char*>(bytes.data()), size);
    bytes.resize(static_cast<size_t>(file.gcount()));
    times.start = 0.0;
    times.end = resampleTrack(bytes, path);
}

void sampleCameraPath(const CameraPathTimes& times, const Spline& path, double t, double& time, double& first,
                      double& second) {
    if (!(t > times.start) || path.count == 0) return;
    Vec3 point;
    evaluate(path, static_cast<float>((t - times.start) * 100.0), point);
    time = point.x;
    first = point.y;
    second = point.z;
}

}  // namespace ostravel
