#include "production/demo.h"
#include "math/ease.h"
#include "math/random.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "assets/texture_bank.h"
#include "platform/gl.h"
#include "platform/system.h"
#include "production/greetings.h"
#include "production/model_textures.h"
#include "render/composite.h"
#include "render/passes.h"
#include "render/render_context.h"
#include "scenes/scene_time.h"

namespace ostravel {

namespace {

void clampRenderTargetEdges() {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
}

// The projective pass's scene: the sequencer drawing this frame's analysis of the Demo.
struct SceneCall {
    Demo& demo;
    RenderContext& ctx;

    static void draw(void* user) {
        SceneCall& call = *static_cast<SceneCall*>(user);
        Demo& demo = call.demo;
        FrameCpuTimings* timings = demo.timings;
        const double start = timings ? threadCpuSeconds() : 0.0;
        const double inGL = timings && timings->glEntryClock ? timings->glEntryClock() : 0.0;
        drawAnalysisPicture(demo.scene, demo.video.frame, demo.sceneTime(),
                            SceneResources{call.ctx.textures, call.ctx.shaders, call.ctx.font});
        if (!timings) return;
        timings->geometrySeconds += threadCpuSeconds() - start;
        if (timings->glEntryClock) timings->geometryInGLSeconds += timings->glEntryClock() - inGL;
    }
};

// The wall time of each stage of Render, when the timings ask for it (else nothing).
class StageClock {
public:
    explicit StageClock(FrameCpuTimings* timings) : timings_(timings && timings->finishStages ? timings : nullptr) {
        if (!timings_) return;
        glFinish();
        last_ = wallSeconds();
    }
    void end(FrameStage stage) {
        if (!timings_) return;
        glFinish();
        const double now = wallSeconds();
        timings_->stageSeconds[size_t(stage)] += now - last_;
        last_ = now;
    }

private:
    FrameCpuTimings* timings_;
    double last_ = 0.0;
};

// The random sequence from the show time, where a frame's drawers and a frame drawn unseen leave it.
void seedFromTime(double t) { seed(static_cast<uint32_t>(static_cast<int64_t>(t * 10000000.0))); }

}  // namespace

SceneTime Demo::sceneTime() const {
    SceneTime time;
    time.localTime = localTime;
    time.pulse = pulse;
    time.pulseSum = pulseSum;
    std::copy(cameraSnapshot, cameraSnapshot + 3, time.cameraPos);
    time.textureSlotBase = textureSlotBase;
    time.frameDt = frameDt;
    time.framesRendered = framesRendered;
    return time;
}

double beatPulse(double t) {
    // pi/2 - 0.4: the peaks fall at t = k + 0.4 / pi.
    return std::pow(std::fabs(std::sin(std::numbers::pi * t + 1.1707963267948966)) * 1.015, 8.0);
}

double compositeBrightness(double t) { return ease(std::clamp((t - 0.4) * 0.53, 0.0, 0.9) + 0.1, 2.0); }

double glowSpriteWeight(double t, double pulse) {
    const double arrive = std::clamp((t - 18.0) * 0.05, 0.0, 1.0);
    const double leave = std::clamp((t - 172.0) * 0.25, 0.0, 1.0);
    return (arrive - leave) * pulse;
}

void Demo::SetTime(double& time) { currentTime = time; }

CompositeLayers Demo::compositeLayers(const RenderContext& ctx) const {
    const double t = currentTime;
    CompositeLayers layers;
    layers.sceneTexture = textureName(ctx.textures, largeRenderTarget);
    std::fill_n(layers.sceneWeight, 3, static_cast<float>(compositeBrightness(t)));
    layers.glowTexture = textureName(ctx.textures, smallRenderTarget);
    std::fill_n(layers.glowWeight, 3, static_cast<float>(std::clamp(t, 0.0, 1.0)));
    layers.spriteTexture = textureName(ctx.textures, textureSlotBase + kBlobTextureSlot);
    if (pulse > 0.02) {
        const double w = glowSpriteWeight(t, pulse);
        if (w > 0.001) {
            const double p = pulse * pulse;
            const float wide[3] = {float(0.9 * w), float(0.8 * w), float(0.75 * w)};
            const float narrow[3] = {float(1.05 * p), float(0.65 * p), float(0.4 * p)};
            std::copy_n(wide, 3, layers.wideSpriteWeight);
            std::copy_n(narrow, 3, layers.narrowSpriteWeight);
        }
    }
    return layers;
}

TextureResult Demo::Init(RenderContext& ctx) {
    loadCameraPath(pathTimes, cameraPaths[0], "rec1.rcc");
    loadCameraPath(pathTimes, cameraPaths[1], "rec2.rcc");

    currentTime = 0.0;
    localTime = 0.0;
    framesRendered = -1;
    textureSlotBase = 0;
    largeRenderTarget = 0;
    smallRenderTarget = 1;
    depthTextureSlot = 5;
    meshSlot = 0;
    projectionProgramSlot = 2;
    blurProgramSlot = 0;

    createRenderTarget(ctx.textures, smallRenderTarget, 128, 128);
    clampRenderTargetEdges();
    createRenderTarget(ctx.textures, largeRenderTarget, 1024, 1024);
    clampRenderTargetEdges();

    scene.greetings.assign(kGreetings.begin(), kGreetings.end());
    // About one control point per 14 contour points: 256 covers a contour of 3500 points.
    reserveSplinePool(scene.contourSplines, 256);

    TextureBank& bank = ctx.textures;
    if (TextureResult r = loadTexture(bank, ctx.swapHook, "textures/blob41b.jpg", textureSlotBase + kBlobTextureSlot); !r)
        return r;
    if (TextureResult r = loadTextureWithAlpha(bank, ctx.swapHook, "textures/cir.jpg", "textures/ciralpha.jpg",
                                               textureSlotBase + kDiscTextureSlot);
        !r)
        return r;
    if (TextureResult r = loadTexture(bank, ctx.swapHook, "textures/circle.jpg", textureSlotBase + kDotScreenTextureSlot);
        !r)
        return r;
    static constexpr const char* kCards[5] = {"textures/z1.jpg", "textures/z2.jpg", "textures/z3.jpg",
                                              "textures/z4.jpg", "textures/z5.jpg"};
    for (int i = 0; i < 5; ++i)
        if (TextureResult r = loadTexture(bank, ctx.swapHook, kCards[i], textureSlotBase + kCardTextureSlot + i); !r)
            return r;

    // The model the projective pass is made for: its file and textures are loaded, its meshes
    // are not kept (the pass draws the scene, not the model).
    MeshSlot model;
    if (TextureResult r = buildModelWithTextures(bank, ctx.swapHook, model, "meshes/head.3ds", meshSlot, 1.0f); !r)
        return r;
    setUpProjectivePrograms(ctx, "cgeffects/vertex_projection_anisotropic.cpp",
                            "cgeffects/fragment_projection_anisotropic.cpp", depthTextureSlot, 512,
                            projectionProgramSlot);
    setUpBlurProgram(ctx.shaders, "cgeffects/fragment_Blur256.cpp", blurProgramSlot);
    ctx.composite = createCompositeProgram();

    // Also sets the frame indices to none, every corner to (-6, -6) and the video time to 0.
    openVideo(video, "textures/try1.avi");

    localTime = 0.0;
    pulseSum = 0.0;
    return {};
}

double Demo::advanceTime(const double* dt, double cameraPos[3]) {
    localTime += *dt;
    currentTime = localTime;
    const double t = currentTime;

    double ignored = 0.0;
    sampleCameraPath(pathTimes, cameraPaths[0], t, ignored, cameraPos[0], cameraPos[1]);
    double ignoredToo = 0.0;
    sampleCameraPath(pathTimes, cameraPaths[1], t, ignored, cameraPos[2], ignoredToo);
    std::copy(cameraPos, cameraPos + 3, cameraSnapshot);
    return t;
}

void Demo::countFrame(const double* dt) {
    frameDt = *dt;
    framesRendered += 1;
}

void Demo::lookAtVideo(double t) {
    pulse = beatPulse(t);
    pulseSum += pulse;

    // The eye looks at this frame's video before the passes draw what it found. Its random draws
    // (the tracked points') come first, as the drawers' that follow expect.
    const double analysisStart = timings ? threadCpuSeconds() : 0.0;
    analyseFrame(video, AnalysisInput{t, frameDt, framesRendered, pulse, cameraSnapshot[0], cameraSnapshot[1]});
    if (timings) timings->analysisSeconds += threadCpuSeconds() - analysisStart;
}

void Demo::AdvanceUnseen(const double* dt, double cameraPos[3]) {
    const double t = advanceTime(dt, cameraPos);
    countFrame(dt);
    lookAtVideo(t);
    releaseContours(video);  // as the sequencer does once it has drawn them
    seedFromTime(t);
}

void Demo::Render(const double* dt, const Pbuffer& pbuffer, RenderContext& ctx, double cameraPos[3]) {
    const double t = advanceTime(dt, cameraPos);

    glPushAttrib(GL_ALL_ATTRIB_BITS);
    countFrame(dt);
    ctx.passProjection.nearPlane = 0.01;
    ctx.passProjection.farPlane = 50.0;

    restoreWindowProjection(ctx, pbuffer);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glPushMatrix();

    StageClock stages(timings);
    lookAtVideo(t);
    stages.end(FrameStage::Analysis);

    SceneCall sceneCall{*this, ctx};
    projectivePass(ctx, pbuffer, PassDraw{}, PassDraw{SceneCall::draw, &sceneCall}, 0, 32, 0, ctx.projector,
                   ctx.projector, true, 800, largeRenderTarget);
    stages.end(FrameStage::ScenePass);

    blurGlowPass(ctx, pbuffer, largeRenderTarget, 800, smallRenderTarget, 128, 0.8 - 0.08 * pulse, 3,
                 blurProgramSlot);
    stages.end(FrameStage::GlowPass);

    restoreWindowProjection(ctx, pbuffer);
    disableProfiles(ctx.shaders);

    // Composite: the scene, the glow and the beat's two sprites added in one pass.
    gluLookAt(1.675, 0.03833, 0.0, 0.0, 0.03833, 0.0, 0.0, 1.0, 0.0);
    seedFromTime(t);
    drawComposite(ctx.composite, ctx.screenCopyMode, compositeLayers(ctx));
    stages.end(FrameStage::Composite);

    glPopMatrix();
    glPopAttrib();
    glFlush();
}

}  // namespace ostravel
