// What the eye hands to the drawers and scenes each pass, as plain arrays: no OpenCV type here,
// so every drawer and scene can be driven without a video file.
//
// Coordinates: corners in full-size video pixels (origin top left, y down); trackedPoints centred
// on the image centre in full-size pixels, z = 0; contour points in half-size edge-image pixels.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "math/vec3.h"

namespace ostravel {

constexpr int kMaxCorners = 2000;
// Tracked points in the world: 25 full-size video pixels to a unit, in the plane z = 0.
constexpr double kTrackedPointScale = 0.04;

struct ContourPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// This pass's top-level contours, walked from the first by their next-sibling links, each as its
// boundary points in order. Empty when no search ran this pass (the contour list is null then).
// The storage keeps its capacity from pass to pass: clearing it is the per-pass release.
struct ContourList {
    std::vector<ContourPoint> points;  // every contour's points, one contour after another
    std::vector<int32_t> starts;       // contour k is points[starts[k] .. starts[k + 1])

    int count() const { return starts.empty() ? 0 : static_cast<int>(starts.size()) - 1; }
    std::span<const ContourPoint> contour(int k) const {
        return {points.data() + starts[k], static_cast<size_t>(starts[k + 1] - starts[k])};
    }
    void clear() {
        points.clear();
        starts.clear();
    }
    // Appends one contour from any sequence of points with integer x and y members.
    template <typename Points>
    void add(const Points& contourPoints) {
        if (starts.empty()) starts.push_back(0);
        for (const auto& p : contourPoints) points.push_back({p.x, p.y});
        starts.push_back(static_cast<int32_t>(points.size()));
    }
};

// The current video frame: 8-bit, 3 channels in blue-green-red order, rows `stride` bytes apart.
// data is null (and the sizes 0) when there is no frame.
struct FrameImageView {
    const uint8_t* data = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    size_t stride = 0;
};

struct FrameAnalysis {
    int32_t videoFrameRate = 0;
    int32_t videoWidth = 0;
    int32_t videoHeight = 0;
    int32_t videoFrameCount = 0;
    double videoTime = 0.0;
    double speed = 0.0;  // this pass's playback speed (also feeds the tracked points' smoothing)
    int32_t currentFrame = -1;
    int32_t lastFrame = -1;
    std::array<std::array<float, 2>, kMaxCorners> corners{};
    int32_t cornerCount = 0;
    std::array<Vec3, kMaxCorners> trackedPoints{};
    FrameImageView frameImage;
    ContourList contours;
};

}  // namespace ostravel
