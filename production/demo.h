// The Demo: the production object. It owns the show's content (camera paths, video and its
// analysis state, the point pools and the scene data), loads everything once in Init and draws
// one frame in Render.
//
// Render's frame: time and camera, the beat envelope `pulse`, the eye's analysis of the current
// video frame, the projective pass into the Pbuffer (with the scene sequencer drawing that
// analysis as its callback), the blur and glow pass, the composite of the scene and glow textures
// onto the window, and the glow sprites that pulse on the beat. The beat envelope peaks once a
// second, at t = k + 0.4 / pi (about k + 0.127 s).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "analysis/video.h"
#include "assets/texture_error.h"
#include "math/spline.h"
#include "production/camera_path.h"
#include "render/composite.h"
#include "render/pbuffer.h"
#include "scenes/sequencer.h"

namespace ostravel {

struct RenderContext;

// The stages of a frame's Render, for a benchmark's account of where the frame goes.
enum class FrameStage { Analysis, ScenePass, GlowPass, Composite, Count };

// CPU time of the show's thread in a frame, for the show benchmark: the eye's analysis of the
// video frame, and the geometry (the sequencer's drawers and scenes, the GL driver's work on this
// thread for what they submit included). Each frame adds to the figures; the reader clears them.

struct FrameCpuTimings {
    double (*glEntryClock)() = nullptr;  // wall time of this thread inside GL's entry points; may be null
    // Each stage waits for GL to finish its work (glFinish), so that stageSeconds holds the wall
    // time of the stage alone. This slows the frame: a benchmark's account, not the show's.
    bool finishStages = false;
    std::array<double, size_t(FrameStage::Count)> stageSeconds{};
    double analysisSeconds = 0.0;
    double geometrySeconds = 0.0;
    double geometryInGLSeconds = 0.0;  // of geometrySeconds, where glEntryClock is given
};

class Demo {
public:
    virtual ~Demo() = default;
    // Virtual slot order: SetTime, Render, (reserved), Init, (reserved).
    virtual void SetTime(double& time);
    virtual void Render(const double* dt, const Pbuffer& pbuffer, RenderContext& ctx, double cameraPos[3]);
    virtual void Reserved2() {}
    // Loads everything; stops at the first texture a loader refuses and returns it.
    virtual TextureResult Init(RenderContext& ctx);
    virtual void Reserved4() {}

    int32_t initialised = 0;

    // Camera paths: path 1 ("rec1.rcc") gives x and y, path 2 ("rec2.rcc") z.
    std::array<Spline, 2> cameraPaths;
    CameraPathTimes pathTimes;
    double cameraSnapshot[3] = {0.0, 0.0, 0.0};

    double localTime = 0.0;     // sum of every time step given to Render
    double currentTime = 0.0;   // equals localTime after each Render
    double frameDt = 0.0;       // the last time step
    int32_t framesRendered = 0; // -1 after Init: the first frame is number 0
    double pulse = 0.0;
    double pulseSum = 0.0;

    VideoState video;

    // Slot numbers.
    int32_t textureSlotBase = 0;
    int32_t largeRenderTarget = 0;
    int32_t smallRenderTarget = 1;
    int32_t depthTextureSlot = 5;
    int32_t meshSlot = 0;
    int32_t projectionProgramSlot = 2;
    int32_t blurProgramSlot = 0;

    // Scene data: the sequencer's records (contour ribbons, triangulation buffers, the greetings),
    // and the scenes' own curves and texts.
    SceneState scene;
    std::array<Spline, 30> sceneSplines;
    std::array<Spline, 3> frameSplines;
    std::array<std::string, 9> sceneTexts;

    FrameCpuTimings* timings = nullptr;  // null in the show, which then pays one test per frame

    // What the scenes read of this frame (time, beat, camera, texture range).
    SceneTime sceneTime() const;
    // The composite's textures and weights for the frame just rendered.
    CompositeLayers compositeLayers(const RenderContext& ctx) const;

    // Everything Render changes of the Demo's own state (time, camera, frame count, beat, the
    // eye's analysis, the random sequence's seed at the end), without drawing anything: a jump's
    // warm-up moves the history on with it where no picture needs to settle.
    void AdvanceUnseen(const double* dt, double cameraPos[3]);

private:
    // The parts of a frame that do not draw, in the order Render runs them.
    double advanceTime(const double* dt, double cameraPos[3]);
    void countFrame(const double* dt);
    void lookAtVideo(double t);
};

// Beat envelope at time t: (|sin(pi t + pi/2 - 0.4)| * 1.015) ^ 8.
double beatPulse(double t);
// Brightness of the composited scene at time t: ease(clamp((t - 0.4) * 0.53, 0, 0.9) + 0.1, 2).
double compositeBrightness(double t);
// Weight of the glow sprites at time t for a given pulse (0 outside 18 s .. 176 s).
double glowSpriteWeight(double t, double pulse);

}  // namespace ostravel
