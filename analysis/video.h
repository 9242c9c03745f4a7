// The production's eye: the video file and the per-pass frame analysis. Everything the drawers
// and scenes read is in `frame` (plain arrays); the decoder and the OpenCV images stay behind an
// opaque pointer in video.cpp.
#pragma once

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

// Opens the file, reads frame rate, width, height and frame count (truncated), creates the
// analysis images and puts every corner at (-6, -6). A file that cannot be opened leaves a
// closed capture and zero sizes; the show goes on without a picture to analyse.
void openVideo(VideoState& video, const char* path);
void releaseVideo(VideoState& video);

}  // namespace ostravel
