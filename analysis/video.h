// The production's eye: the video file and the per-pass frame analysis. Everything the drawers
// and scenes read is in `frame` (plain arrays); the decoder and the OpenCV images stay behind an
// opaque pointer in video.cpp.
//
// Each pass (analyseFrame), in order: playback speed and video time; the frame at 24 frames per
// second, wrapping before the file's last frame; only when that frame changed, one read (a plain
// read when it is the next frame of the file, a seek otherwise), the grey conversion and the
// darkening near the cuts; corner detection on the full grey image every pass; inside the
// contour windows the half-size Canny edges and the top-level contours; the tracked points.
//
// Without a usable video (no file, undecodable, fewer than two frames) every pass leaves the
// sizes at 0, no frame image, cornerCount 0 and no contours; the times still advance.
#pragma once

#include <cstdint>
#include <memory>

#include "analysis/frame_analysis.h"

namespace ostravel {

struct VideoImages;  // capture and analysis images (OpenCV), defined in video.cpp

struct VideoState {
    VideoState();
    ~VideoState();
    VideoState(VideoState&&) noexcept;
    VideoState& operator=(VideoState&&) noexcept;

    FrameAnalysis frame;
    std::unique_ptr<VideoImages> images;
};

// What the analysis reads of the production each pass.
struct AnalysisInput {
    double localTime;        // production time, seconds
    double frameDt;          // this frame's time step, seconds
    int32_t framesRendered;  // frames rendered so far
    double pulse;            // beat envelope, 0..1
    double cameraX;          // camera sample x: number of corners asked for (x 300)
    double cameraY;          // camera sample y: corner spacing (x 8 pixels)
};

// Opens the file, reads frame rate, width, height and frame count (truncated), creates the
// analysis images, puts every corner at (-6, -6), the frame indices at none and the video time
// at 0. A file that cannot be opened, or that reports fewer than two frames or no picture size,
// leaves a closed capture and zero sizes; the show goes on without a picture to analyse.
void openVideo(VideoState& video, const char* path);
void releaseVideo(VideoState& video);

// One analysis pass; the results are left in video.frame. Empties frame.contours first (this
// pass's contour storage); they stay valid until releaseContours or the next pass.
void analyseFrame(VideoState& video, const AnalysisInput& in);
// The sequencer's release of this pass's contours once the last contour drawer has run
// (the storage keeps its capacity).
void releaseContours(VideoState& video);

// The analysis's formulas, as pure functions of their inputs.
// ramp(50, 0.1) - 0.65 ramp(177, 0.1): still before 50 s, full speed from 60 s, 0.35 from 187 s.
double playbackSpeed(double localTime);
// trunc(24 videoTime) mod (frameCount - 1); frameCount must be at least 2.
int32_t frameAtTime(double videoTime, int32_t frameCount);
// Grey levels taken off the frame near the cuts at 449, 985 and 2207 (and, after 100 s, near
// the wrap): 245 (7 - d) / 7 within d < 7 frames of the nearest one, else 0.
int cutDarkening(int32_t frame, int32_t frameCount, double localTime);
// (40 / fps)^0.8 with fps = framesRendered / (localTime + 1) limited to 10..250.
double frameRateWeight(int32_t framesRendered, double localTime);
// Corner search parameters of a pass.
struct CornerRequest {
    int32_t count;       // trunc(300 cameraX) limited to 3..1650
    double quality;      // relative to the strongest corner
    double minDistance;  // pixels
};
CornerRequest cornerRequest(double cameraX, double cameraY, double pulse, double localTime);
// The contour windows (all bounds exclusive): edges are built while edgeWindow, searched while
// searchWindow; refreshEdges says whether the edge image is rebuilt this pass.
struct ContourGates {
    bool edgeWindow;
    bool searchWindow;
    bool refreshEdges;
};
ContourGates contourGates(double localTime, bool frameChanged);

}  // namespace ostravel
