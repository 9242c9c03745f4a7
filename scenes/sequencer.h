// The scene sequencer: draws the whole analysis picture from scratch every frame. It analyses the
// current video frame, then calls every drawer and scene in a fixed order, each with fades computed
// from the production time. Which element is visible when is decided by those fades alone: there is
// no scene list and no state of its own.
//
// Runs inside the projective pass with the pass's projection set; leaves the model-view stack as it
// found it.
#pragma once

#include <string>
#include <vector>

#include "analysis/drawers.h"
#include "analysis/video.h"
#include "render/render_context.h"
#include "scenes/scene_time.h"
#include "scenes/triangulation.h"

namespace ostravel {

// CPU time of the calling thread spent in drawAnalysisPicture, for the show benchmark: the
// analysis of the video frame, and the geometry (every drawer and scene after it, GL driver work
// on this thread included). Each pass adds to the figures; the reader clears them.
struct SequencerTimings {
    double analysisSeconds = 0.0;
    double geometrySeconds = 0.0;
};

// The scene data the Demo owns for the sequencer, rebuilt from nothing every pass.
struct SceneState {
    SplinePool contourSplines;
    TriangulationBuffers triangulation;
    std::vector<std::string> greetings;
    SequencerTimings* timings = nullptr;  // null in the show, which then pays one test per pass
};

// Every fade of one pass, as functions of the production time alone.
struct SequencerFades {
    double pan = 0.0;            // strength of the pan towards the strongest corner
    double contourFans = 0.0;
    double mosaic = 0.0;
    double shimmer = 0.0;
    double ribbons = 0.0;
    double lettering1 = 0.0;     // graph paper size and light
    double lettering2 = 0.0;     // grid flicker
    double arcs = 0.0;           // the mode-0 scene
    double quadtrees = 0.0;
    double triangulation = 0.0;
    double spikes = 0.0;
};

SequencerFades sequencerFades(double localTime);

// trunc(5 z) mod 3 with the remainder taking the sign of the dividend: 0 arcs, 1 web, 2 fan;
// a negative (or non-finite) z selects no scene (-1).
int sceneMode(double cameraZ);

void drawAnalysisPicture(SceneState& scene, VideoState& video, const SceneTime& time, RenderContext& ctx);

}  // namespace ostravel
