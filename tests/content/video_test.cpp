// The show's video, read with OpenCV as the analysis reads it: size, frame count, exact seeking,
// hard cuts where the analysis darkens the picture, and enough for the machine vision to find.
// A pass over every frame, each decoded by libjpeg-turbo straight from the file's chunks, measures
// each shot as the analysis sees it (grey change, motion, corners, edges, corner turnover).
#include "tests/content/show_folder.h"
#include "tools/gen-video/video_plan.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

// [SECTION] every frame ----------------------------------------------------------------------

// libjpeg-turbo with every warning counted (corrupt or short entropy-coded data is a warning).
struct StrictErrors {
    jpeg_error_mgr base;
    std::jmp_buf failed;
    int warnings = 0;
};

// Decodes one frame to BGR; returns the number of warnings, or -1 when the frame is unreadable.
int decodeStrictly(const std::string& data, cv::Mat& bgr) {
    jpeg_decompress_struct info;
    StrictErrors errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr c) { std::longjmp(reinterpret_cast<StrictErrors*>(c->err)->failed, 1); };
    errors.base.emit_message = [](j_common_ptr c, int level) { reinterpret_cast<StrictErrors*>(c->err)->warnings += level < 0; };
    if (setjmp(errors.failed)) {
        jpeg_destroy_decompress(&info);
        return -1;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.data()), data.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    bgr.create(int(info.output_height), int(info.output_width), CV_8UC3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = bgr.ptr<uint8_t>(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return errors.warnings;
}

// The frames of an AVI file: the '00dc' chunks of its 'movi' list, in file order.
std::vector<std::string> frameChunks(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto u32 = [&](size_t p) {
        uint32_t v = 0;
        for (int k = 3; k >= 0; --k) v = v << 8 | uint8_t(file[p + k]);
        return v;
    };
    std::vector<std::string> frames;
    for (size_t p = 12; p + 8 <= file.size();) {
        if (file.compare(p, 4, "LIST") == 0) {  // descend into lists
            p += 12;
            continue;
        }
        const uint32_t size = u32(p + 4);
        if (file.compare(p, 4, "00dc") == 0) frames.push_back(file.substr(p + 8, size));
        p += 8 + size + (size & 1);
    }
    return frames;
}

struct FrameStats {
    int warnings = 0;      // libjpeg-turbo's, -1 for an unreadable frame
    double greyChange = 0; // mean absolute grey difference from the previous frame
    double turnover = 0;   // share of corners without a partner within 4 px in the previous frame
    int corners = 0;       // at the show's default request: quality 0.067, 8 px apart
    int edgePixels = 0;    // Canny on the half-size grey image, as the analysis runs it
    double shift = 0;      // dominant shift in pixels from the frame a second earlier (every 24th)
};

// Corners of `a` with no corner of `b` within `radius` pixels (both ways).
int unpaired(const std::vector<cv::Point2f>& a, const std::vector<cv::Point2f>& b, float radius) {
    int count = 0;
    for (const cv::Point2f& p : a) {
        count += std::none_of(b.begin(), b.end(), [&](const cv::Point2f& q) {
            return std::abs(p.x - q.x) <= radius && std::abs(p.y - q.y) <= radius;
        });
    }
    return count;
}

const std::vector<FrameStats>& everyFrame() {
    static const std::vector<FrameStats> stats = [] {
        const std::vector<std::string> chunks = frameChunks(showPath("textures/try1.avi"));
        std::vector<FrameStats> out(chunks.size());
        cv::Mat bgr, grey, previous, half;
        std::vector<cv::Mat> lastSecond;  // float grey images, a second's worth
        std::vector<cv::Point2f> corners, previousCorners;
        for (size_t f = 0; f < chunks.size(); ++f) {
            FrameStats& s = out[f];
            s.warnings = decodeStrictly(chunks[f], bgr);
            if (s.warnings < 0) continue;
            cv::cvtColor(bgr, grey, cv::COLOR_RGB2GRAY);
            cv::goodFeaturesToTrack(grey, corners, 1650, 0.067, 8, cv::noArray(), 3, false, 0.04);
            s.corners = int(corners.size());
            cv::resize(grey, half, cv::Size(grey.cols / 2, grey.rows / 2), 0, 0, cv::INTER_LINEAR);
            cv::Canny(half, half, 30, 135, 3);
            s.edgePixels = cv::countNonZero(half);
            if (!previous.empty()) {
                cv::Mat d;
                cv::absdiff(grey, previous, d);
                s.greyChange = cv::mean(d)[0];
                const size_t both = corners.size() + previousCorners.size();
                s.turnover = both ? double(unpaired(corners, previousCorners, 4) + unpaired(previousCorners, corners, 4)) / both : 0;
            }
            cv::Mat g;
            grey.convertTo(g, CV_32F);
            lastSecond.push_back(g);
            if (lastSecond.size() > size_t(plan::kFps)) {
                if (f % 24 == 0) {
                    const cv::Point2d p = cv::phaseCorrelate(lastSecond.front(), g);
                    s.shift = std::hypot(p.x, p.y);
                }
                lastSecond.erase(lastSecond.begin());
            }
            previous = grey.clone();
            previousCorners = corners;
        }
        return out;
    }();
    return stats;
}

struct ShotFigures {
    double greyChange = 0, shiftPerSecond = 0, corners = 0, edgePixels = 0;
};

// Means over a shot, leaving out its first second (the pairs across the cut before it).
ShotFigures shotFigures(int shot) {
    const int first = plan::kShots[shot].firstFrame + int(plan::kFps);
    const int end = shot + 1 < int(plan::kShots.size()) ? plan::kShots[shot + 1].firstFrame : plan::kFrameCount;
    ShotFigures r;
    int shifts = 0;
    for (int f = first; f < end; ++f) {
        const FrameStats& s = everyFrame()[f];
        r.greyChange += s.greyChange;
        r.corners += s.corners;
        r.edgePixels += s.edgePixels;
        if (f % 24 == 0) {
            r.shiftPerSecond += s.shift;
            ++shifts;
        }
    }
    const int n = end - first;
    r.greyChange /= n;
    r.corners /= n;
    r.edgePixels /= n;
    r.shiftPerSecond /= std::max(1, shifts);
    return r;
}

// One pass over the file serves three checks (it takes seconds).
TEST(ShowVideoFrames, EveryFrameDecodesCleanlyAndEveryShotMovesWithoutPopping) {
    const std::vector<FrameStats>& stats = everyFrame();
    ASSERT_EQ(int(stats.size()), plan::kFrameCount);
    int bad = 0;
    for (size_t f = 0; f < stats.size(); ++f) {
        if (stats[f].warnings != 0 && ++bad <= 5) ADD_FAILURE() << "frame " << f << ": " << stats[f].warnings << " decoder warnings";
    }
    EXPECT_EQ(bad, 0) << "frames that libjpeg-turbo reports as corrupt";

    std::vector<ShotFigures> shots;
    for (size_t k = 0; k < plan::kShots.size(); ++k) shots.push_back(shotFigures(int(k)));
    auto medianOfOthers = [&](size_t k, double ShotFigures::*field) {
        std::vector<double> v;
        for (size_t j = 0; j < shots.size(); ++j) if (j != k) v.push_back(shots[j].*field);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (size_t k = 0; k < shots.size(); ++k) {
        const ShotFigures& s = shots[k];
        const char* name = plan::kShots[k].name;
        // A camera that moves through its scene: the picture changes and slides every second.
        EXPECT_GT(s.greyChange, 2.0) << name;
        EXPECT_GT(s.shiftPerSecond, 3.0) << name;
        // No shot starves the detector: at least two thirds of the other shots' median.
        EXPECT_GE(s.corners, 2.0 / 3 * medianOfOthers(k, &ShotFigures::corners)) << name;
        EXPECT_GE(s.edgePixels, 2.0 / 3 * medianOfOthers(k, &ShotFigures::edgePixels)) << name;
    }

    // Camera motion replaces corners at a steady rate; a whole object appearing or vanishing at
    // once shows as a spike of the turnover above the frames around it, which the analysis turns
    // into a jump of the tracked points.
    for (size_t k = 0; k < plan::kShots.size(); ++k) {
        const int first = plan::kShots[k].firstFrame + 1;
        const int end = k + 1 < plan::kShots.size() ? plan::kShots[k + 1].firstFrame : plan::kFrameCount;
        for (int f = first + 4; f + 4 < end; ++f) {
            std::vector<double> around;
            for (int d = -4; d <= 4; ++d) if (d != 0) around.push_back(stats[f + d].turnover);
            std::nth_element(around.begin(), around.begin() + 4, around.end());
            EXPECT_LT(stats[f].turnover - around[4], 0.12) << plan::kShots[k].name << ": corners pop at frame " << f;
        }
    }
}

}  // namespace
