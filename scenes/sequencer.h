// The scene sequencer: draws the whole analysis picture from scratch every frame. It takes the
// current video frame's analysis and calls every drawer and scene in a fixed order, each with fades
// computed from the production time and the show's timetable (scenes/timetable.h). Which element is visible when is decided by those fades alone: there is
// no scene list and no state of its own.
//
// Runs inside the projective pass with the pass's projection set; leaves the model-view stack as it
// found it.
#pragma once

#include <string>
#include <vector>

#include "analysis/frame_analysis.h"
#include "scenes/analysis_drawers.h"
#include "scenes/scene_time.h"
#include "scenes/triangulation.h"

namespace ostravel {

struct TextureBank;
struct ShaderBank;
struct GlyphLists;

// The scene data the Demo owns for the sequencer, rebuilt from nothing every pass.
struct SceneState {
    SplinePool contourSplines;
    TriangulationBuffers triangulation;
    std::vector<std::string> greetings;
};

// What the scenes draw with: the Demo's textures, the shader programs (switched off while the
// scenes draw) and the outline font's lists.
struct SceneResources {
    const TextureBank& textures;
    ShaderBank& shaders;
    const GlyphLists& font;
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

// Draws this pass's analysis (already made by the eye) with every drawer and scene. Releases the
// frame's contours once the last contour drawer has run (frame.contours is empty afterwards).
void drawAnalysisPicture(SceneState& scene, FrameAnalysis& frame, const SceneTime& time,
                         const SceneResources& resources);

}  // namespace ostravel
