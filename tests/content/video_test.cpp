// The show's video, read with OpenCV as the analysis reads it: size, frame count, exact seeking,
// hard cuts where the analysis darkens the picture, and enough for the machine vision to find.
#include "tests/content/show_folder.h"
#include "tools/gen-video/video_plan.h"

#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace {

using ostravel::contenttest::showPath;
namespace plan = ostravel::videoplan;

class ShowVideo : public testing::Test {
protected:
    void SetUp() override {
        capture.open(showPath("textures/try1.avi"));
        ASSERT_TRUE(capture.isOpened());
    }
    cv::Mat frameAt(int index) {
        capture.set(cv::CAP_PROP_POS_FRAMES, index);
        cv::Mat frame;
        capture.read(frame);
        return frame;
    }
    // The analysis converts with code 7 (RGB to grey) on OpenCV's BGR frames.
    cv::Mat greyAt(int index) {
        cv::Mat grey;
        cv::cvtColor(frameAt(index), grey, cv::COLOR_RGB2GRAY);
        return grey;
    }
    double meanDifference(int a, int b) {
        cv::Mat d;
        cv::absdiff(greyAt(a), greyAt(b), d);
        return cv::mean(d)[0];
    }
    cv::VideoCapture capture;
};

TEST_F(ShowVideo, OpensAtThePlannedSizeRateAndLength) {
    EXPECT_EQ(static_cast<int>(capture.get(cv::CAP_PROP_FRAME_WIDTH)), plan::kWidth);
    EXPECT_EQ(static_cast<int>(capture.get(cv::CAP_PROP_FRAME_HEIGHT)), plan::kHeight);
    EXPECT_EQ(static_cast<int>(capture.get(cv::CAP_PROP_FRAME_COUNT)), plan::kFrameCount);
    EXPECT_GE(plan::kFrameCount, 2400);
    EXPECT_DOUBLE_EQ(capture.get(cv::CAP_PROP_FPS), plan::kFps);
    EXPECT_EQ(static_cast<int>(capture.get(cv::CAP_PROP_FOURCC)), cv::VideoWriter::fourcc('M', 'J', 'P', 'G'));
    const cv::Mat last = frameAt(plan::kFrameCount - 1);
    ASSERT_FALSE(last.empty()) << "the last frame the file reports must be readable";
    EXPECT_EQ(last.cols, plan::kWidth);
}

TEST_F(ShowVideo, SeekingLandsOnExactlyTheFrameAskedFor) {
    // Read a stretch sequentially, then jump into it from elsewhere: the frames must be equal.
    const int start = plan::kCuts[0] - 3;
    std::vector<cv::Mat> sequential;
    capture.set(cv::CAP_PROP_POS_FRAMES, start);
    for (int i = 0; i < 8; ++i) {
        cv::Mat f;
        ASSERT_TRUE(capture.read(f));
        sequential.push_back(f.clone());
    }
    for (int i : {6, 0, 3, 7, 2}) {
        frameAt(2500);  // move far away first
        const cv::Mat jumped = frameAt(start + i);
        ASSERT_FALSE(jumped.empty());
        EXPECT_EQ(cv::norm(jumped, sequential[i], cv::NORM_INF), 0) << "frame " << start + i;
    }
    // Neighbouring frames differ, so the comparison above could tell them apart.
    EXPECT_GT(cv::norm(sequential[0], sequential[1], cv::NORM_L1), 0);
}

TEST_F(ShowVideo, HardCutsAtThePlannedFrames) {
    for (int cut : plan::kCuts) {
        const double across = meanDifference(cut - 1, cut);
        const double before = meanDifference(cut - 2, cut - 1);
        const double after = meanDifference(cut, cut + 1);
        EXPECT_GT(across, 15) << "cut at " << cut;
        EXPECT_GT(across, 5 * std::max(before, after)) << "cut at " << cut;
    }
    // Within a shot the picture moves: no frozen stretches between cuts.
    for (int f : {100, 700, 1500, 2600}) EXPECT_GT(meanDifference(f, f + 1), 0.05) << "frame " << f;
}

TEST_F(ShowVideo, FrameZeroGivesAThousandCorners) {
    // Frame 0 stands alone for the first 50 s, with up to 1650 corners requested.
    const cv::Mat grey = greyAt(0);
    std::vector<cv::Point2f> corners;
    cv::goodFeaturesToTrack(grey, corners, 1650, 0.02, 0, cv::noArray(), 3, false, 0.04);
    EXPECT_GE(corners.size(), 300u);
    cv::goodFeaturesToTrack(grey, corners, 1650, 0.01, 0, cv::noArray(), 3, false, 0.04);
    EXPECT_GE(corners.size(), 1000u);
    // Still hundreds at the show's own default quality and an 8-pixel spacing.
    cv::goodFeaturesToTrack(grey, corners, 1650, 0.067, 8, cv::noArray(), 3, false, 0.04);
    EXPECT_GE(corners.size(), 200u);
}

// The longest top-level contour of the half-size Canny image, found as the analysis finds it.
size_t longestContour(const cv::Mat& grey) {
    cv::Mat half;
    cv::resize(grey, half, cv::Size(grey.cols / 2, grey.rows / 2), 0, 0, cv::INTER_LINEAR);
    cv::Canny(half, half, 30, 135, 3);
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(half, contours, hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_NONE);
    size_t longest = 0;
    for (int k = contours.empty() ? -1 : 0; k >= 0; k = hierarchy[k][0]) longest = std::max(longest, contours[k].size());
    return longest;
}

TEST_F(ShowVideo, EveryShotHasLongContours) {
    // Frames from each shot, in the contour windows of the show (from 63 s, frame 192 on).
    for (int f : {200, 440, 600, 900, 1100, 1700, 2150, 2300, 2800, 3150}) {
        EXPECT_GT(longestContour(greyAt(f)), 270u) << "frame " << f;
    }
}

TEST_F(ShowVideo, MosaicShotCarriesItsPictureInTheBlueChannel) {
    // The mosaic samples every fourth pixel's blue byte; its frames (about 2520 to 3060) need
    // both dark and bright areas there.
    for (int f : {2520, 2800, 3050}) {
        const cv::Mat frame = frameAt(f);
        int dark = 0, bright = 0;
        for (int y = 0; y < frame.rows; y += 4) {
            for (int x = 0; x < frame.cols; x += 4) {
                const int blue = frame.at<cv::Vec3b>(y, x)[0];
                dark += blue < 40;
                bright += blue > 150;
            }
        }
        const int total = (frame.rows / 4) * (frame.cols / 4);
        EXPECT_GT(dark, total / 10) << "frame " << f;
        EXPECT_GT(bright, total / 20) << "frame " << f;
    }
}

}  // namespace
