// The production's eye: the video file, its properties and the images the frame analysis works
// on. Positions are in full-frame video pixels; trackedPoints are centred, z = 0.
#pragma once

#include <algorithm>
#include <array>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include "math/vec3.h"

namespace ostravel {

constexpr int kMaxCorners = 2000;

struct VideoState {
    cv::VideoCapture capture;
    cv::Mat frameImage;  // the frame last returned by the capture
    cv::Mat grayImage;   // 8-bit, video size
    cv::Mat edgeImage;   // 8-bit, half video size
    cv::Mat eigImage;    // 32-bit float scratch, video size
    cv::Mat tempImage;
    int32_t videoFrameRate = 0;
    int32_t videoWidth = 0;
    int32_t videoHeight = 0;
    int32_t videoFrameCount = 0;
    double videoTime = 0.0;
    int32_t currentFrame = -1;
    int32_t lastFrame = -1;
    std::array<std::array<float, 2>, kMaxCorners> corners{};
    int32_t cornerCount = 0;
    std::array<Vec3, kMaxCorners> trackedPoints{};
};

// Opens the file, reads frame rate, width, height and frame count (truncated), creates the
// analysis images and puts every corner at (-6, -6). A file that cannot be opened leaves a
// closed capture and zero sizes; the show goes on without a picture to analyse.
void openVideo(VideoState& video, const char* path);
void releaseVideo(VideoState& video);

}  // namespace ostravel
