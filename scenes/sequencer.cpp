#include "scenes/sequencer.h"

#include <cmath>

#include "assets/texture_bank.h"
#include "math/ease.h"
#include "math/random.h"
#include "platform/gl.h"
#include "render/shader_bank.h"
#include "scenes/lettering.h"
#include "scenes/markers.h"
#include "scenes/mosaic.h"
#include "scenes/timetable.h"
#include "scenes/web.h"

namespace ostravel {

namespace {

// The generator's seed from a time: the integer part, wrapped to 32 bits.
uint32_t seedFromTime(double value) { return static_cast<uint32_t>(static_cast<int64_t>(value)); }

}  // namespace

SequencerFades sequencerFades(double t) {
    auto r = [t](double t0, double rate) { return ramp(t, t0, rate); };
    // A fade up at a section's start and down at its end, at the given rates.
    auto during = [&r](Section s, double up, double down) {
        return r(section(s).start, up) - r(section(s).end, down);
    };
    const ShowSection& breakdown = section(Section::Breakdown);
    const ShowSection& triangulation = section(Section::Triangulation);
    SequencerFades f;
    f.pan = during(Section::Pan, 0.1, 0.5) + 0.6 * r(155, 0.1);  // a softer pan again from 155 s
    f.contourFans = during(Section::ContourFans, 0.15, 0.25);
    f.mosaic = during(Section::Mosaic, 0.3, 0.2);
    f.shimmer = clamp01(during(Section::Shimmer, 0.1, 0.3) - r(102.5, 1.5));  // a dip while the ribbons go
    // Summed left to right, term by term, as the picture was tuned with.
    const ShowSection& late = section(Section::LateRibbons);
    f.ribbons = during(Section::Ribbons, 0.1, 1.5) + 0.7 * r(late.start, 0.5) - 0.7 * r(late.end, 0.15);
    const ShowSection& greetings = section(Section::Greetings);
    f.lettering1 = during(Section::Credits, 0.22, 0.05) + r(greetings.start, 0.12) - r(greetings.end, 0.12);
    f.lettering2 = during(Section::GridFlicker, 0.1, 0.2);
    f.arcs = t < 90.0 ? clamp01(0.2 * t) : clamp01(0.2 * (t - 99.5));
    f.quadtrees = 0.4 - 0.4 * r(45, 0.3) + r(100, 0.2) - 0.5 * r(breakdown.start, 0.1) - 0.5 * r(triangulation.end, 0.3);
    f.triangulation = clamp01(0.2 - 0.1 * r(68, 0.1) + 0.9 * r(triangulation.start, 0.1) - r(triangulation.end, 0.5));
    f.spikes = during(Section::Spikes, 0.1, 0.1);
    return f;
}

int sceneMode(double cameraZ) {
    // fmod keeps the sign of the dividend, like C's %, without an integer conversion that a wild
    // camera value could overflow.
    const double m = std::fmod(std::trunc(5.0 * cameraZ), 3.0);
    if (!(m >= 0.0)) return -1;
    return static_cast<int>(m);
}

void drawAnalysisPicture(SceneState& scene, FrameAnalysis& frame, const SceneTime& time,
                         const SceneResources& resources) {
    const double t = time.localTime;
    const SequencerFades fades = sequencerFades(t);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    resetDrawState();
    disableProfiles(resources.shaders);
    glDisable(GL_TEXTURE_2D);

    gluLookAt(0.0, 0.0, 7.6, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);

    // Pan towards the strongest corner; its image y moves the picture in depth.
    const double k = fades.pan;
    glTranslated(k * (frame.corners[0][0] - frame.videoWidth / 2) * 0.003, 0.0,
                 k * (frame.corners[0][1] - frame.videoHeight / 2) * 0.003);

    bindTexture(resources.textures, time.textureSlotBase + kBlobTextureSlot);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);

    glBlendFunc(GL_ONE, GL_ZERO);
    // The eye pass culls front faces; a fan's triangles wind either way as its contour turns, so
    // culled they left wedge-shaped holes in shapes their outlines show closed.
    glDisable(GL_CULL_FACE);
    drawContourFans(frame, fades.contourFans, time.pulse);
    drawVideoMosaic(time, frame, resources.textures, fades.mosaic);

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
    frame.contours.clear();  // no contour is read after this

    bindTexture(resources.textures, time.textureSlotBase + kBlobTextureSlot);
    glBlendFunc(GL_ONE, GL_ONE);
    glLineWidth(1.0f);
    disableProfiles(resources.shaders);

    drawLettering(time, scene.greetings, resources.textures, resources.font, fades.lettering1, fades.lettering2);

    const int mode = sceneMode(time.cameraPos[2]);
    bindTexture(resources.textures, time.textureSlotBase + kBlobTextureSlot);
    if (mode == 1) drawFeatureWeb(time, frame, resources.textures, 0.0, 1.0);
    if (mode == 2) drawFeatureFan(time, frame, 0.0, 1.0);
    if (mode == 0) drawFeatureArcs(time, frame, 0.0, fades.arcs);

    drawPointQuadtrees(frame, fades.quadtrees);
    drawFeatureTriangulation(frame, scene.triangulation, fades.triangulation);

    if (mode >= 1) {
        glPushMatrix();
        drawPointSpikes(frame, fades.spikes);
        glPopMatrix();
    }

    glPopMatrix();
}

}  // namespace ostravel
