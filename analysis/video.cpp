#include "analysis/video.h"

namespace ostravel {

void openVideo(VideoState& video, const char* path) {
    video.capture.open(path, cv::CAP_FFMPEG);
    if (video.capture.isOpened()) {
        video.videoFrameRate = static_cast<int32_t>(video.capture.get(cv::CAP_PROP_FPS));
        video.videoWidth = static_cast<int32_t>(video.capture.get(cv::CAP_PROP_FRAME_WIDTH));
        video.videoHeight = static_cast<int32_t>(video.capture.get(cv::CAP_PROP_FRAME_HEIGHT));
        video.videoFrameCount = static_cast<int32_t>(video.capture.get(cv::CAP_PROP_FRAME_COUNT));
    }
    const int w = std::max(video.videoWidth, 0), h = std::max(video.videoHeight, 0);
    video.frameImage = cv::Mat::zeros(h, w, CV_8UC3);
    video.edgeImage = cv::Mat::zeros(h / 2, w / 2, CV_8UC1);
    video.grayImage = cv::Mat::zeros(h, w, CV_8UC1);
    video.eigImage = cv::Mat::zeros(h, w, CV_32FC1);
    video.tempImage = cv::Mat::zeros(h, w, CV_32FC1);
    for (auto& corner : video.corners) corner = {-6.0f, -6.0f};
    video.videoTime = 0.0;
}

void releaseVideo(VideoState& video) { video.capture.release(); }

}  // namespace ostravel
