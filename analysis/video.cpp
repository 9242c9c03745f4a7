#include "analysis/video.h"

#include <algorithm>
#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

namespace ostravel {

struct VideoImages {
    cv::VideoCapture capture;
    cv::Mat frameImage;  // the frame last returned by the capture
    cv::Mat grayImage;   // 8-bit, video size
    cv::Mat edgeImage;   // 8-bit, half video size
    cv::Mat eigImage;    // 32-bit float scratch, video size
    cv::Mat tempImage;
};

VideoState::VideoState() : images(std::make_unique<VideoImages>()) {}
VideoState::~VideoState() = default;
VideoState::VideoState(VideoState&&) noexcept = default;
VideoState& VideoState::operator=(VideoState&&) noexcept = default;

void openVideo(VideoState& video, const char* path) {
    VideoImages& im = *video.images;
    FrameAnalysis& f = video.frame;
    im.capture.open(path, cv::CAP_FFMPEG);
    if (im.capture.isOpened()) {
        f.videoFrameRate = static_cast<int32_t>(im.capture.get(cv::CAP_PROP_FPS));
        f.videoWidth = static_cast<int32_t>(im.capture.get(cv::CAP_PROP_FRAME_WIDTH));
        f.videoHeight = static_cast<int32_t>(im.capture.get(cv::CAP_PROP_FRAME_HEIGHT));
        f.videoFrameCount = static_cast<int32_t>(im.capture.get(cv::CAP_PROP_FRAME_COUNT));
    }
    const int w = std::max(f.videoWidth, 0), h = std::max(f.videoHeight, 0);
    im.frameImage = cv::Mat::zeros(h, w, CV_8UC3);
    im.edgeImage = cv::Mat::zeros(h / 2, w / 2, CV_8UC1);
    im.grayImage = cv::Mat::zeros(h, w, CV_8UC1);
    im.eigImage = cv::Mat::zeros(h, w, CV_32FC1);
    im.tempImage = cv::Mat::zeros(h, w, CV_32FC1);
    for (auto& corner : f.corners) corner = {-6.0f, -6.0f};
    f.videoTime = 0.0;
}

void releaseVideo(VideoState& video) { video.images->capture.release(); }

}  // namespace ostravel
