#include "analysis/video.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <vector>

#include "math/ease.h"
#include "math/random.h"

namespace ostravel {

struct VideoImages {
    cv::VideoCapture capture;
    bool usable = false;        // opened, with a picture size and at least two frames
    int32_t nextReadFrame = 0;  // the frame a plain read returns; -1 when unknown
    cv::Mat frameImage;         // the current frame, 8-bit BGR, video size
    cv::Mat grayImage;          // 8-bit, video size, darkened near cuts
    cv::Mat halfGrayImage;      // 8-bit, half video size: the bilinear reduction of grayImage
    cv::Mat edgeImage;          // 8-bit, half video size: Canny edges, searched for contours
    // The corner detector's per-frame half: minimum eigenvalue of the gradient covariance per
    // pixel, its 3 x 3 dilation, and the interior local maxima strongest first. Only the
    // threshold and the spacing change between passes on one frame.
    cv::Mat eigImage;
    cv::Mat tempImage;
    double eigMax = 0.0;
    bool cornersPrepared = false;
    std::vector<int32_t> localMaxima;  // pixel indices y * width + x
    std::vector<int32_t> cellHead, cellNext;  // spacing grid: accepted corners chained per cell
    // Outputs of the contour search, kept so that their capacity carries over between passes.
    std::vector<std::vector<cv::Point>> contours;
    std::vector<cv::Vec4i> hierarchy;
};

VideoState::VideoState() : images(std::make_unique<VideoImages>()) {}
VideoState::~VideoState() = default;
VideoState::VideoState(VideoState&&) noexcept = default;
VideoState& VideoState::operator=(VideoState&&) noexcept = default;

namespace {

constexpr int kCutFrames[] = {449, 985, 2207};
constexpr int kLargestCornerRequest = 1650;
// Frames a read steps over (each one decoded and dropped) rather than seeking: a seek costs
// about as much as 15 reads on the show's video.
constexpr int64_t kLongestStep = 8;

void pointViewAtFrame(FrameAnalysis& f, const cv::Mat& image) {
    if (image.empty()) {
        f.frameImage = {};
        return;
    }
    f.frameImage = {image.data, image.cols, image.rows, image.step[0]};
}

// Reads frame `index` into frameImage. A seek costs far more than a plain read on this file
// (Motion-JPEG: ~15x), so seek only when the wanted frame is not the next one the capture
// returns, or a few frames after it (a slow machine skips frames; stepping over them is cheaper).
// A failed read leaves a black frame of the video size.
void readFrame(VideoImages& im, int32_t index, int width, int height) {
    if (index != im.nextReadFrame) {
        const int64_t ahead = int64_t(index) - im.nextReadFrame;
        bool stepped = im.nextReadFrame >= 0 && ahead > 0 && ahead <= kLongestStep;
        for (int64_t k = 0; stepped && k < ahead; ++k) stepped = im.capture.grab();
        if (!stepped) im.capture.set(cv::CAP_PROP_POS_FRAMES, index);
    }
    const bool ok = im.capture.read(im.frameImage);
    if (ok && im.frameImage.cols == width && im.frameImage.rows == height && im.frameImage.type() == CV_8UC3) {
        im.nextReadFrame = index + 1;
        return;
    }
    im.nextReadFrame = -1;
    im.frameImage.create(height, width, CV_8UC3);
    im.frameImage.setTo(cv::Scalar::all(0));
}

// The C interface's contour search (cvFindContours) cleared the image's outermost rows and columns
// before following borders (its tracing needs a zero frame), so edges touching the image border
// never started a contour. OpenCV 4 pads a copy instead; clearing the frame here gives the same
// contours. The search also marked the pixels it visited, but a later search binarises the image
// first, so on an unrefreshed edge image only this cleared frame carries over.
void clearBorder(cv::Mat& image) {
    if (image.empty()) return;
    image.row(0).setTo(0);
    image.row(image.rows - 1).setTo(0);
    image.col(0).setTo(0);
    image.col(image.cols - 1).setTo(0);
}

void findTopLevelContours(VideoImages& im, ContourList& list) {
    clearBorder(im.edgeImage);
    cv::findContours(im.edgeImage, im.contours, im.hierarchy, cv::RETR_TREE, cv::CHAIN_APPROX_NONE);
    if (im.contours.empty()) return;
    // Index 0 is the first top-level contour; [0] of its hierarchy entry links to the next one.
    for (int k = 0; k >= 0; k = im.hierarchy[k][0]) list.add(im.contours[k]);
}

// Corner detection as cv::goodFeaturesToTrack(grey, corners, count, quality, minDistance, no
// mask, block 3, gradient 3, no Harris) computes it, split in two. Per frame: the eigenvalue
// image E, its dilation D and the candidates (interior pixels with E == D, E > 0) sorted by E
// descending, equal values the later pixel first (OpenCV's order). Per pass: the candidates
// above maxE * quality (a threshold to zero before the dilation keeps exactly these, as the
// dilation of a thresholded image is the thresholded dilation), thinned to the spacing with a
// grid of cells of the rounded distance, up to the count asked for.
void prepareCorners(VideoImages& im) {
    cv::cornerMinEigenVal(im.grayImage, im.eigImage, 3, 3);
    cv::minMaxLoc(im.eigImage, nullptr, &im.eigMax);
    cv::dilate(im.eigImage, im.tempImage, cv::Mat());
    const int w = im.eigImage.cols, h = im.eigImage.rows;
    im.localMaxima.clear();
    for (int y = 1; y < h - 1; ++y) {
        const float* e = im.eigImage.ptr<float>(y);
        const float* d = im.tempImage.ptr<float>(y);
        for (int x = 1; x < w - 1; ++x)
            if (e[x] > 0.0f && e[x] == d[x]) im.localMaxima.push_back(y * w + x);
    }
    const float* e = im.eigImage.ptr<float>(0);  // continuous: created whole at open
    std::sort(im.localMaxima.begin(), im.localMaxima.end(), [e](int32_t a, int32_t b) {
        return e[a] > e[b] || (e[a] == e[b] && a > b);
    });
    im.cornersPrepared = true;
}

int32_t selectCorners(VideoImages& im, const CornerRequest& r, std::array<std::array<float, 2>, kMaxCorners>& out) {
    const int w = im.eigImage.cols, h = im.eigImage.rows;
    const float* e = im.eigImage.ptr<float>(0);
    const float threshold = static_cast<float>(im.eigMax * r.quality);
    const int32_t wanted = std::min(r.count, kMaxCorners);
    int32_t n = 0;
    if (r.minDistance < 1.0) {
        for (int32_t index : im.localMaxima) {
            if (!(e[index] > threshold) || n == wanted) break;
            out[n++] = {float(index % w), float(index / w)};
        }
        return n;
    }
    const int cell = cvRound(r.minDistance);
    const int gridW = (w + cell - 1) / cell, gridH = (h + cell - 1) / cell;
    const double minDistance2 = r.minDistance * r.minDistance;
    im.cellHead.assign(size_t(gridW) * gridH, -1);
    im.cellNext.resize(size_t(wanted));
    for (int32_t index : im.localMaxima) {
        if (!(e[index] > threshold) || n == wanted) break;
        const int x = index % w, y = index / w;
        const int cx = x / cell, cy = y / cell;
        bool good = true;
        for (int yy = std::max(0, cy - 1); good && yy <= std::min(gridH - 1, cy + 1); ++yy) {
            for (int xx = std::max(0, cx - 1); good && xx <= std::min(gridW - 1, cx + 1); ++xx) {
                for (int32_t j = im.cellHead[size_t(yy) * gridW + xx]; j >= 0; j = im.cellNext[j]) {
                    const float dx = float(x) - out[j][0], dy = float(y) - out[j][1];
                    if (dx * dx + dy * dy < minDistance2) {
                        good = false;
                        break;
                    }
                }
            }
        }
        if (!good) continue;
        int32_t& head = im.cellHead[size_t(cy) * gridW + cx];
        im.cellNext[n] = head;
        head = n;
        out[n++] = {float(x), float(y)};
    }
    return n;
}

void trackPoints(FrameAnalysis& f, const AnalysisInput& in, double speed) {
    seed(10000);
    const double weight = frameRateWeight(in.framesRendered, in.localTime);
    const int halfWidth = f.videoWidth / 2, halfHeight = f.videoHeight / 2;
    for (int i = 0; i < f.cornerCount; ++i) {
        const double a = clamp01((0.195 + 0.0001 * i) * weight + speed);
        const double targetX = f.corners[i][0] - halfWidth, targetY = f.corners[i][1] - halfHeight;
        Vec3& p = f.trackedPoints[i];
        p.x = static_cast<float>(p.x + a * (targetX - p.x));
        p.y = static_cast<float>(p.y + a * (targetY - p.y));
        p.z = 0.0f;
        if (i < 50) {
            // Re-seeded every pass: each of these points keeps its own pair of wobble rates.
            p.x = static_cast<float>(p.x + 7.2 * std::sin(random01() * in.localTime * 0.6 + 0.1 * i));
            p.y = static_cast<float>(p.y + 7.2 * std::sin(random01() * in.localTime * 0.8 + 0.1 * i));
        }
    }
}

}  // namespace

double playbackSpeed(double localTime) { return ramp(localTime, 50, 0.1) - 0.65 * ramp(localTime, 177, 0.1); }

int32_t frameAtTime(double videoTime, int32_t frameCount) {
    const double frames = std::trunc(24.0 * videoTime);
    // The video time never runs backwards; anything not a sane count lands on frame 0.
    if (!(frames >= 0.0 && frames < 9.0e15)) return 0;
    return static_cast<int32_t>(std::fmod(frames, double(frameCount - 1)));
}

int cutDarkening(int32_t frame, int32_t frameCount, double localTime) {
    int64_t d = 10000;
    for (int cut : kCutFrames) d = std::min<int64_t>(d, std::llabs(int64_t(frame) - cut));
    if (localTime > 100.0) {
        d = std::min<int64_t>(d, std::llabs(int64_t(frame)));
        d = std::min<int64_t>(d, std::llabs(int64_t(frame) - (int64_t(frameCount) - 1)));
    }
    return d < 7 ? static_cast<int>(245 * (7 - d) / 7) : 0;
}

double frameRateWeight(int32_t framesRendered, double localTime) {
    const double fps = std::clamp(framesRendered / (localTime + 1.0), 10.0, 250.0);
    return std::pow(40.0 / fps, 0.8);
}

CornerRequest cornerRequest(double cameraX, double cameraY, double pulse, double localTime) {
    double wanted = std::trunc(300.0 * cameraX);
    if (!(wanted >= 3.0)) wanted = 3.0;  // also catches NaN
    wanted = std::min(wanted, double(kLargestCornerRequest));
    CornerRequest r{};
    r.count = static_cast<int32_t>(wanted);
    r.quality = 0.067 - (0.041 - 0.019 * ramp(localTime, 145, 0.2)) * pulse - 0.02 * ramp(localTime, 175, 0.2);
    // The detector needs a positive quality; the beat envelope never drives it that low.
    if (!(r.quality > 1e-9)) r.quality = 1e-9;
    // Beyond the image's extent every spacing keeps only the strongest corner.
    r.minDistance = std::min(std::max(0.0, 8.0 * cameraY), 1.0e5);
    return r;
}

ContourGates contourGates(double localTime, bool frameChanged) {
    const double t = localTime;
    ContourGates g{};
    g.edgeWindow = (63 < t && t < 114) || t > 121;
    g.searchWindow = (64 < t && t < 113) || t > 122;
    g.refreshEdges = frameChanged || t < 66;
    return g;
}

void openVideo(VideoState& video, const char* path) {
    VideoImages& im = *video.images;
    FrameAnalysis& f = video.frame;
    im.capture.open(path, cv::CAP_FFMPEG);
    f.videoFrameRate = f.videoWidth = f.videoHeight = f.videoFrameCount = 0;
    if (im.capture.isOpened()) {
        f.videoFrameRate = static_cast<int32_t>(im.capture.get(cv::CAP_PROP_FPS));
        f.videoWidth = static_cast<int32_t>(im.capture.get(cv::CAP_PROP_FRAME_WIDTH));
        f.videoHeight = static_cast<int32_t>(im.capture.get(cv::CAP_PROP_FRAME_HEIGHT));
        f.videoFrameCount = static_cast<int32_t>(im.capture.get(cv::CAP_PROP_FRAME_COUNT));
    }
    im.usable = im.capture.isOpened() && f.videoWidth >= 2 && f.videoHeight >= 2 && f.videoFrameCount >= 2;
    // The analysis images are small: OpenCV's worker pool costs more in hand-overs than it saves,
    // and on a loaded machine its waits dominate the pass. OpenCV runs on this thread only.
    cv::setNumThreads(1);
    if (!im.usable) {
        im.capture.release();
        f.videoFrameRate = f.videoWidth = f.videoHeight = f.videoFrameCount = 0;
    }
    const int w = f.videoWidth, h = f.videoHeight;
    im.frameImage = cv::Mat::zeros(h, w, CV_8UC3);
    im.grayImage = cv::Mat::zeros(h, w, CV_8UC1);
    im.halfGrayImage = cv::Mat::zeros(h / 2, w / 2, CV_8UC1);
    im.edgeImage = cv::Mat::zeros(h / 2, w / 2, CV_8UC1);
    im.eigImage = cv::Mat::zeros(h, w, CV_32FC1);
    im.tempImage = cv::Mat::zeros(h, w, CV_32FC1);
    // The contour storage, sized once for the edge image: a boundary visits each edge pixel at most
    // about twice, and top-level contours are far fewer than the pixels. A pass that needs more
    // grows it (and keeps the room).
    const size_t edgePixels = size_t(w / 2) * size_t(h / 2);
    f.contours.points.reserve(2 * edgePixels);
    f.contours.starts.reserve(edgePixels / 8 + 1);
    im.cornersPrepared = false;
    im.localMaxima.reserve(size_t(w) * h / 4);
    im.cellHead.reserve(size_t(w) * h);
    im.cellNext.reserve(kMaxCorners);
    im.nextReadFrame = 0;
    pointViewAtFrame(f, im.frameImage);
    for (auto& corner : f.corners) corner = {-6.0f, -6.0f};
    f.cornerCount = 0;
    f.currentFrame = f.lastFrame = -1;
    f.videoTime = 0.0;
    f.contours.clear();
}

void releaseVideo(VideoState& video) { video.images->capture.release(); }

void analyseFrame(VideoState& video, const AnalysisInput& in) {
    VideoImages& im = *video.images;
    FrameAnalysis& f = video.frame;
    f.contours.clear();

    const double speed = playbackSpeed(in.localTime);
    f.speed = speed;
    f.videoTime += speed * in.frameDt;

    if (!im.usable) {
        f.currentFrame = f.lastFrame = 0;
        f.cornerCount = 0;
        seed(10000);  // the tracked-point pass seeds the sequence even with nothing to track
        return;
    }

    f.currentFrame = frameAtTime(f.videoTime, f.videoFrameCount);
    const bool frameChanged = f.currentFrame != f.lastFrame;
    if (frameChanged) {
        readFrame(im, f.currentFrame, f.videoWidth, f.videoHeight);
        pointViewAtFrame(f, im.frameImage);
        // Red-to-grey on a blue-green-red frame: the red and blue weights are swapped on purpose.
        cv::cvtColor(im.frameImage, im.grayImage, cv::COLOR_RGB2GRAY);
        const int darkening = cutDarkening(f.currentFrame, f.videoFrameCount, in.localTime);
        if (darkening > 0) cv::subtract(im.grayImage, cv::Scalar::all(darkening), im.grayImage);  // saturating
    }

    if (frameChanged || !im.cornersPrepared) prepareCorners(im);
    f.cornerCount = selectCorners(im, cornerRequest(in.cameraX, in.cameraY, in.pulse, in.localTime), f.corners);

    const ContourGates gates = contourGates(in.localTime, frameChanged);
    if (gates.edgeWindow) {
        if (gates.refreshEdges) {
            cv::resize(im.grayImage, im.halfGrayImage, im.halfGrayImage.size(), 0, 0, cv::INTER_LINEAR);
            cv::Canny(im.halfGrayImage, im.edgeImage, 30, 135, 3);
        }
        if (gates.searchWindow) findTopLevelContours(im, f.contours);
    }

    f.lastFrame = f.currentFrame;
    trackPoints(f, in, speed);
}

void releaseContours(VideoState& video) { video.frame.contours.clear(); }

}  // namespace ostravel
