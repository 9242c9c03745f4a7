// The frame analysis: its formulas at their bounds, and whole passes on the show's real video
// against the same steps done here with OpenCV, the contours through the C interface's contour
// search (cvFindContours, still in OpenCV 4), which alters the image it searches.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <opencv2/imgproc/imgproc_c.h>
#include <opencv2/videoio.hpp>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/video.h"
#include "math/random.h"

using namespace ostravel;

namespace {

const std::string kVideoPath = std::string(OSTRAVEL_TEST_SHOW_DIR) + "/textures/try1.avi";

TEST(AnalysisFormulas, SpeedFrameDarkeningWeightCornersAndGates) {
    struct Speed { double t, speed; };
    for (const Speed& c : std::vector<Speed>{{0, 0}, {50, 0}, {55, 0.5}, {60, 1}, {177, 1}, {182, 0.675}, {187, 0.35}, {195, 0.35}})
        EXPECT_NEAR(playbackSpeed(c.t), c.speed, 1e-12) << "t " << c.t;

    EXPECT_EQ(frameAtTime(0.0, 3200), 0);
    EXPECT_EQ(frameAtTime(100.99 / 24, 3200), 100);
    EXPECT_EQ(frameAtTime(3198.5 / 24, 3200), 3198);
    EXPECT_EQ(frameAtTime(3199.5 / 24, 3200), 0);  // wraps before the last frame
    EXPECT_EQ(frameAtTime(3205.5 / 24, 3200), 6);

    struct Dark { int frame; double t; int levels; };
    for (const Dark& c : std::vector<Dark>{{449, 70, 245}, {452, 70, 140}, {446, 70, 140}, {456, 70, 0}, {455, 70, 35},
                                           {985, 90, 245}, {2210, 150, 140}, {0, 99, 0}, {0, 101, 245},
                                           {6, 101, 35}, {7, 101, 0}, {3198, 101, 210}, {3198, 100, 0}})
        EXPECT_EQ(cutDarkening(c.frame, 3200, c.t), c.levels) << "frame " << c.frame << " at " << c.t;

    struct Weight { int frames; double t, weight; };
    for (const Weight& c : std::vector<Weight>{{40, 0, 1}, {440, 10, 1}, {250, 0, 0.2308319}, {100000, 10, 0.2308319},
                                               {5, 0, 3.0314331}, {-1, 0, 3.0314331}})
        EXPECT_NEAR(frameRateWeight(c.frames, c.t), c.weight, 1e-7) << c.frames << " frames at " << c.t;

    struct Corners { double x, y, pulse, t; int count; double quality, distance; };
    for (const Corners& c : std::vector<Corners>{{0, 0, 0, 0, 3, 0.067, 0},
                                                 {10, 1, 1, 0, 1650, 0.026, 8},
                                                 {5.5, -1, 0.5, 0, 1650, 0.0465, 0},
                                                 {1.0, 0.5, 1, 150, 300, 0.045, 4},
                                                 {0.0199, 2, 1, 180, 5, 0.025, 16}})
    {
        const CornerRequest r = cornerRequest(c.x, c.y, c.pulse, c.t);
        EXPECT_EQ(r.count, c.count) << "cameraX " << c.x;
        EXPECT_NEAR(r.quality, c.quality, 1e-12) << "pulse " << c.pulse << " at " << c.t;
        EXPECT_EQ(r.minDistance, c.distance);
    }

    struct Gate { double t; bool changed, edges, search, refresh; };
    for (const Gate& c : std::vector<Gate>{{63, true, false, false, true},   {63.5, false, true, false, true},
                                           {64, false, true, false, true},   {64.5, false, true, true, true},
                                           {66, false, true, true, false},    {66, true, true, true, true},
                                           {112.9, false, true, true, false}, {113, true, true, false, true},
                                           {113.5, true, true, false, true},  {114, true, false, false, true},
                                           {121, true, false, false, true},   {121.5, true, true, false, true},
                                           {122, true, true, false, true},    {122.5, false, true, true, false}})
    {
        const ContourGates g = contourGates(c.t, c.changed);
        EXPECT_EQ(g.edgeWindow, c.edges) << "t " << c.t;
        EXPECT_EQ(g.searchWindow, c.search) << "t " << c.t;
        EXPECT_EQ(g.refreshEdges, c.refresh) << "t " << c.t;
    }
}

using Contours = std::vector<std::vector<cv::Point>>;

// The C interface's search: alters `edges` in place; the top-level list by next-sibling links.
Contours searchInPlace(cv::Mat& edges) {
    CvMemStorage* storage = cvCreateMemStorage(0);
    CvSeq* first = nullptr;
    CvMat header = cvMat(edges);
    cvFindContours(&header, storage, &first, sizeof(CvContour), CV_RETR_TREE, CV_CHAIN_APPROX_NONE, cvPoint(0, 0));
    Contours out;
    for (CvSeq* s = first; s; s = s->h_next) {
        out.emplace_back();
        for (int i = 0; i < s->total; ++i) {
            const CvPoint* p = CV_GET_SEQ_ELEM(CvPoint, s, i);
            out.back().push_back({p->x, p->y});
        }
    }
    cvReleaseMemStorage(&storage);
    return out;
}

// OpenCV 4's own search, which leaves its input alone and pads it instead of clearing its border.
Contours searchPadded(const cv::Mat& edges) {
    Contours all, out;
    std::vector<cv::Vec4i> hierarchy;
    cv::findContours(edges, all, hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_NONE);
    for (int k = all.empty() ? -1 : 0; k >= 0; k = hierarchy[k][0]) out.push_back(all[k]);
    return out;
}

Contours contoursOf(const FrameAnalysis& f) {
    Contours out;
    for (int k = 0; k < f.contours.count(); ++k) {
        out.emplace_back();
        for (const ContourPoint& p : f.contours.contour(k)) out.back().push_back({p.x, p.y});
    }
    return out;
}

std::vector<cv::Point2f> cornersOf(const FrameAnalysis& f) {
    std::vector<cv::Point2f> out;
    for (int i = 0; i < f.cornerCount; ++i) out.push_back({f.corners[i][0], f.corners[i][1]});
    return out;
}

class ShowVideoAnalysis : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kVideoPath)) GTEST_SKIP() << "no generated video at " << kVideoPath;
        openVideo(video, kVideoPath.c_str());
        ASSERT_GE(video.frame.videoFrameCount, 2);
        peer.open(kVideoPath);
        ASSERT_TRUE(peer.isOpened());
    }
    void TearDown() override { releaseVideo(video); }

    // One pass on frame `index` at production time t (the video time is placed on the frame).
    void analyseAt(int index, double t, double cameraX = 5.5, double cameraY = 1.0, double pulse = 0.0,
                   int framesRendered = 0) {
        video.frame.videoTime = (index + 0.5) / 24.0;
        analyseFrame(video, AnalysisInput{t, 0.0, framesRendered, pulse, cameraX, cameraY});
        ASSERT_EQ(video.frame.currentFrame, index);
    }
    cv::Mat peerGrey(int index, int darkening) {
        cv::Mat frame, grey;
        peer.set(cv::CAP_PROP_POS_FRAMES, index);
        peer.read(frame);
        cv::cvtColor(frame, grey, cv::COLOR_RGB2GRAY);
        cv::subtract(grey, cv::Scalar::all(darkening), grey);
        return grey;
    }
    static cv::Mat peerEdges(const cv::Mat& grey) {
        cv::Mat half;
        cv::resize(grey, half, cv::Size(grey.cols / 2, grey.rows / 2), 0, 0, cv::INTER_LINEAR);
        cv::Canny(half, half, 30, 135, 3);
        return half;
    }
    static std::vector<cv::Point2f> peerCorners(const cv::Mat& grey, const CornerRequest& r) {
        std::vector<cv::Point2f> corners;
        cv::goodFeaturesToTrack(grey, corners, r.count, r.quality, r.minDistance, cv::noArray(), 3, false, 0.04);
        return corners;
    }

    VideoState video;
    cv::VideoCapture peer;
};

TEST_F(ShowVideoAnalysis, CornersAndContoursMatchTheStepsDoneByHand) {
    struct Case { int frame; double t; int darkening; double cameraX, cameraY, pulse; };
    const std::vector<Case> cases = {
        {200, 70, 0, 5.5, 1.0, 0.0},     {449, 74, 245, 5.5, 1.0, 0.3},   {452, 74, 140, 3.0, 0.5, 1.0},
        {456, 75, 0, 5.5, 1.0, 0.0},     {1100, 100, 0, 1.0, 2.0, 0.8},   {0, 101, 245, 5.5, 1.0, 0.0},
        {3, 130, 140, 5.5, 1.0, 0.0},    {1700, 150, 0, 5.5, 0.0, 1.0},   {3150, 190, 0, 0.0, 1.0, 0.0},
        {2300, 160, 0, 5.5, 0.19, 0.6},  {2800, 178, 0, 4.0, 0.3, 0.2},   {600, 80, 0, 5.5, 4.0, 0.9},
    };
    int paddedSearchDiffers = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("frame " + std::to_string(c.frame) + " at " + std::to_string(c.t));
        analyseAt(c.frame, c.t, c.cameraX, c.cameraY, c.pulse);
        const FrameAnalysis& f = video.frame;
        const int darkening = c.darkening;
        const cv::Mat grey = peerGrey(c.frame, darkening);

        const CornerRequest r = cornerRequest(c.cameraX, c.cameraY, c.pulse, c.t);
        const auto corners = peerCorners(grey, r);
        EXPECT_EQ(cornersOf(f), corners);
        EXPECT_LE(f.cornerCount, r.count);
        if (darkening > 0) {
            EXPECT_NE(cornersOf(f), peerCorners(peerGrey(c.frame, 0), r)) << "darkening must show in the corners";
        }

        cv::Mat edges = peerEdges(grey);
        const Contours padded = searchPadded(edges);
        const Contours expected = searchInPlace(edges);
        EXPECT_EQ(contoursOf(f), expected);
        paddedSearchDiffers += padded != expected;

        // Same frame again with another request: no refresh, the search runs on the image the
        // last search left; the corners follow the new count, quality and spacing.
        const double x2 = c.cameraX * 0.5, y2 = c.cameraY * 0.3, pulse2 = 1.0 - c.pulse;
        analyseAt(c.frame, c.t, x2, y2, pulse2);
        EXPECT_EQ(cornersOf(f), peerCorners(grey, cornerRequest(x2, y2, pulse2, c.t)));
        EXPECT_EQ(contoursOf(f), searchInPlace(edges));
        EXPECT_EQ(contoursOf(f), expected);

        const FrameImageView& view = f.frameImage;
        ASSERT_NE(view.data, nullptr);
        EXPECT_EQ(view.width, 384);
        EXPECT_EQ(view.height, 288);
    }
    // The frames chosen include some whose edges touch the image border, where OpenCV 4's padded
    // search finds other contours.
    EXPECT_GT(paddedSearchDiffers, 0);
}

TEST_F(ShowVideoAnalysis, ContoursOnlyInsideTheSearchWindows) {
    struct Case { double t; bool contours; };
    for (const Case& c : std::vector<Case>{{63, false}, {63.5, false}, {64.5, true}, {112.9, true}, {113.5, false},
                                           {114, false}, {121, false}, {121.5, false}, {122.5, true}, {195, true}}) {
        analyseAt(1100 + static_cast<int>(c.t), c.t);
        EXPECT_EQ(video.frame.contours.count() > 0, c.contours) << "t " << c.t;
        releaseContours(video);
        EXPECT_EQ(video.frame.contours.count(), 0);
    }
}

TEST_F(ShowVideoAnalysis, ReadsAndShortStepsGiveTheSamePixelsAsSeeks) {
    VideoState jumping;
    openVideo(jumping, kVideoPath.c_str());
    // Next frames (plain reads) and steps over 1, 2, 7 and 8 frames, across the cut at 985.
    for (int frame : {980, 981, 982, 984, 987, 988, 996, 1005, 1006}) {
        analyseAt(frame, 80);
        jumping.frame.videoTime = (2600 + 0.5) / 24;  // somewhere far away first
        analyseFrame(jumping, AnalysisInput{80, 0, 0, 0, 3, 1});
        jumping.frame.videoTime = (frame + 0.5) / 24;
        analyseFrame(jumping, AnalysisInput{80, 0, 0, 0, 3, 1});
        const FrameImageView& a = video.frame.frameImage;
        const FrameImageView& b = jumping.frame.frameImage;
        ASSERT_EQ(a.width, b.width);
        ASSERT_EQ(a.height, b.height);
        for (int y = 0; y < a.height; ++y)
            ASSERT_EQ(std::memcmp(a.data + y * a.stride, b.data + y * b.stride, size_t(a.width) * 3), 0)
                << "frame " << frame << " row " << y;
        EXPECT_EQ(cornersOf(video.frame), cornersOf(jumping.frame));
    }
    releaseVideo(jumping);
}

TEST_F(ShowVideoAnalysis, TrackedPointsFollowTheCornersWithFrameRateWeightAndJitter) {
    const double t = 20.0;  // video still (speed 0): the smoothing alone moves the points
    // Point i moves the share a = min(1, (0.195 + 0.0001 i) w) of the way from where it was to its
    // corner (centred on the 384 x 288 video); the first 50 then wobble by 7.2 sin(r t 0.6 + 0.1 i)
    // across and 7.2 sin(r' t 0.8 + 0.1 i) up, r and r' the numbers 2i + 1 and 2i + 2 of the
    // sequence after seed(10000). Worked out once by hand and with the generator's formula,
    // for the weights w = 1, 0.2308319 and 3.0314331.
    struct Point { int i; double a[3]; double wobbleX, wobbleY; };
    const Point points[] = {
        {0, {0.195, 0.04501222, 0.59112945}, -4.024356, -0.437688},
        {1, {0.1951, 0.04503530, 0.59143260}, -6.909344, -3.542425},
        {49, {0.1999, 0.04614330, 0.60598348}, 5.841649, -0.753861},
        {50, {0.2, 0.04616638, 0.60628662}, 0.0, 0.0},
        {200, {0.215, 0.04962886, 0.65175812}, 0.0, 0.0},
    };
    const int framesRendered[] = {40 * 21, 250 * 21, 2 * 21};
    for (int w = 0; w < 3; ++w) {
        SCOPED_TRACE("frames rendered " + std::to_string(framesRendered[w]));
        for (Vec3& p : video.frame.trackedPoints) p = makeVec3(100.0f, -60.0f, 5.0f, 7);  // status left alone
        analyseAt(0, t, 5.5, 1.0, 0.0, framesRendered[w]);
        const FrameAnalysis& f = video.frame;
        ASSERT_GT(f.cornerCount, 200);
        ASSERT_LT(f.cornerCount, 1700);
        for (const Point& p : points) {
            const double x = 100.0 + p.a[w] * (f.corners[p.i][0] - 192 - 100.0) + p.wobbleX;
            const double y = -60.0 + p.a[w] * (f.corners[p.i][1] - 144 + 60.0) + p.wobbleY;
            EXPECT_NEAR(f.trackedPoints[p.i].x, x, 1e-3 * std::max(1.0, std::fabs(x))) << "point " << p.i;
            EXPECT_NEAR(f.trackedPoints[p.i].y, y, 1e-3 * std::max(1.0, std::fabs(y))) << "point " << p.i;
            EXPECT_EQ(f.trackedPoints[p.i].z, 0.0f);
            EXPECT_EQ(f.trackedPoints[p.i].status, 7);
        }
        // Beyond the corners found, points stay where they were.
        EXPECT_EQ(f.trackedPoints[1700].x, 100.0f);
        EXPECT_EQ(f.trackedPoints[1700].z, 5.0f);
        EXPECT_EQ(randomState(), [] { seed(10000); for (int i = 0; i < 100; ++i) nextRandom(); return randomState(); }());
    }
}

TEST(AnalysisWithoutVideo, MissingUndecodableOrSingleFrameFilesLeaveNothingToAnalyse) {
    const auto folder = std::filesystem::temp_directory_path() / "ostravel_analysis_test";
    std::filesystem::create_directories(folder);
    const std::string garbage = (folder / "garbage.avi").string();
    std::ofstream(garbage, std::ios::binary) << "RIFF\x10\0\0\0AVI LIST" << std::string(4000, '\x5a');
    const std::string single = (folder / "single.avi").string();
    {
        cv::VideoWriter writer(single, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 24, cv::Size(64, 48));
        ASSERT_TRUE(writer.isOpened());
        writer.write(cv::Mat(48, 64, CV_8UC3, cv::Scalar(40, 200, 90)));
    }
    for (const std::string& path : {(folder / "missing.avi").string(), garbage, single}) {
        SCOPED_TRACE(path);
        VideoState video;
        openVideo(video, path.c_str());
        EXPECT_EQ(video.frame.videoWidth, 0);
        EXPECT_EQ(video.frame.videoFrameCount, 0);
        for (double t : {0.0, 55.0, 70.0, 130.0}) {
            analyseFrame(video, AnalysisInput{t, 0.5, 10, 0.5, 5.5, 1.0});
            EXPECT_EQ(video.frame.cornerCount, 0);
            EXPECT_EQ(video.frame.contours.count(), 0);
            EXPECT_EQ(video.frame.frameImage.data, nullptr);
        }
        EXPECT_DOUBLE_EQ(video.frame.videoTime, 0.5 * (playbackSpeed(55) + 1.0 + 1.0));
        releaseVideo(video);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
