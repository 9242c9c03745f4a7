#include "scenes/sequencer.h"

#include <time.h>

#include <cmath>

#include "assets/texture_bank.h"
#include "math/ease.h"
#include "math/random.h"
#include "platform/gl.h"
#include "render/shader_bank.h"
#include "scenes/lettering.h"
#include "scenes/markers.h"
#include "scenes/mosaic.h"
#include "scenes/web.h"

namespace ostravel {

namespace {

constexpr int kBlobTexture = 10;

// The generator's seed from a time: the integer part, wrapped to 32 bits.
uint32_t seedFromTime(double value) { return static_cast<uint32_t>(static_cast<int64_t>(value)); }

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

}  // namespace

SequencerFades sequencerFades(double t) {
    auto r = [t](double t0, double rate) { return ramp(t, t0, rate); };
    SequencerFades f;
    f.pan = r(55, 0.1) - r(98, 0.5) + 0.6 * r(155, 0.1);
    f.contourFans = r(65, 0.15) - r(107, 0.25);
    f.mosaic = r(160, 0.3) - r(179, 0.2);
    f.shimmer = clamp01(r(93, 0.1) - r(124, 0.3) - r(102.5, 1.5));
    f.ribbons = r(79, 0.1) - r(105.5, 1.5) + 0.7 * r(123.5, 0.5) - 0.7 * r(183, 0.15);
    f.lettering1 = r(4, 0.22) - r(48, 0.05) + r(99, 0.12) - r(122.5, 0.12);
    f.lettering2 = r(16, 0.1) - r(38, 0.2);
    f.arcs = t < 90.0 ? clamp01(0.2 * t) : clamp01(0.2 * (t - 99.5));
    f.quadtrees = 0.4 - 0.4 * r(45, 0.3) + r(100, 0.2) - 0.5 * r(135, 0.1) - 0.5 * r(175, 0.3);
    f.triangulation = clamp01(0.2 - 0.1 * r(68, 0.1) + 0.9 * r(135, 0.1) - r(175, 0.5));
    f.spikes = r(0, 0.1) - r(135, 0.1);
    return f;
}

int sceneMode(double cameraZ) {
    // fmod keeps the sign of the dividend, like C's %, without an integer conversion that a wild
    // camera value could overflow.
    const double m = std::fmod(std::trunc(5.0 * cameraZ), 3.0);
    if (!(m >= 0.0)) return -1;
    return static_cast<int>(m);
}

void drawAnalysisPicture(SceneState& scene, VideoState& video, const SceneTime& time, RenderContext& ctx) {
    const double t = time.localTime;
    const SequencerFades fades = sequencerFades(t);
    const FrameAnalysis& frame = video.frame;
    SequencerTimings* const timings = scene.timings;
    const double analysisStart = timings ? threadCpuSeconds() : 0.0;

    analyseFrame(video, AnalysisInput{t, time.frameDt, time.framesRendered, time.pulse, time.cameraPos[0],
                                      time.cameraPos[1]});
    const double geometryStart = timings ? threadCpuSeconds() : 0.0;
    if (timings) timings->analysisSeconds += geometryStart - analysisStart;

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    resetDrawState();
    disableProfiles(ctx.shaders);
    glDisable(GL_TEXTURE_2D);

    gluLookAt(0.0, 0.0, 7.6, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

    // Pan towards the strongest corner; its image y moves the picture in depth.
    const double k = fades.pan;
    glTranslated(k * (frame.corners[0][0] - frame.videoWidth / 2) * 0.003, 0.0,
                 k * (frame.corners[0][1] - frame.videoHeight / 2) * 0.003);

    bindTexture(ctx.textures, time.textureSlotBase + kBlobTexture);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);

    glBlendFunc(GL_ONE, GL_ZERO);
    drawContourFans(frame, fades.contourFans, time.pulse);
    drawVideoMosaic(time, frame, ctx, fades.mosaic);

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);

    seed(1000);
    glPushMatrix();
    seed(seedFromTime(t * 1000.0));

    glBlendFunc(GL_ONE, GL_ZERO);
    glPushMatrix();
    glTranslated(0.15, -0.15, 0.0);
    glLineWidth(5.0f);
    drawContourShimmer(frame, fades.shimmer);
    glPopMatrix();

    glBlendFunc(GL_ONE, GL_ONE);
    glLineWidth(2.0f);
    drawContourRibbons(frame, scene.contourSplines, fades.ribbons);

    glPopMatrix();
    releaseContours(video);  // no contour is read after this

    bindTexture(ctx.textures, time.textureSlotBase + kBlobTexture);
    glBlendFunc(GL_ONE, GL_ONE);
    glLineWidth(1.0f);
    disableProfiles(ctx.shaders);

    drawLettering(time, scene.greetings, ctx, fades.lettering1, fades.lettering2);

    const int mode = sceneMode(time.cameraPos[2]);
    bindTexture(ctx.textures, time.textureSlotBase + kBlobTexture);
    if (mode == 1) drawFeatureWeb(time, frame, ctx, 0.0, 1.0);
    if (mode == 2) drawFeatureFan(time, frame, ctx, 0.0, 1.0);
    if (mode == 0) drawFeatureArcs(time, frame, 0.0, fades.arcs);

    drawPointQuadtrees(frame, fades.quadtrees);
    drawFeatureTriangulation(frame, scene.triangulation, fades.triangulation);

    if (mode >= 1) {
        glPushMatrix();
        drawPointSpikes(frame, fades.spikes);
        glPopMatrix();
    }

    glPopMatrix();
    if (timings) timings->geometrySeconds += threadCpuSeconds() - geometryStart;
}

}  // namespace ostravel
