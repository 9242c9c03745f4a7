// The sequencer's drawing routine through real GL on a hand-made analysis record: which drawers
// draw in a pass, in which order, and under which GL state, read off the recorded primitives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "assets/texture_bank.h"
#include "render/glyph_lists.h"
#include "render/shader_bank.h"
#include "scenes/sequencer.h"
#include "tests/scenes/gl_recorder.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;
using ostravel::testing::Primitive;
using ostravel::testing::RecordedVertex;

namespace {

// Texture names put in the bank's slots (from kSlotBase) and one bound before the pass.
constexpr int kSlotBase = 40;
constexpr GLuint kBlob = 9010, kDisc = 9013, kCallerTexture = 9999;

// Each drawer is told apart by primitives only it draws, with the record built below and the
// fades of the passes tested (the contour fans at full fade, the pulse 0).
enum Stage { Fans, Outlines, Mosaic, Shimmer, Ribbons, Lettering, ModeScene, Quadtrees, Triangulation, Spikes };

bool colourIs(const RecordedVertex& v, float r, float g, float b) {
    return std::fabs(v.r - r) < 1e-5f && std::fabs(v.g - g) < 1e-5f && std::fabs(v.b - b) < 1e-5f;
}

bool drawnBy(const Primitive& p, Stage stage, int mode) {
    if (p.vertices.empty() && stage != Lettering) return false;
    const RecordedVertex& v = p.vertices.empty() ? RecordedVertex{} : p.vertices[0];
    auto allAtZ = [&p](float z) {
        for (const RecordedVertex& w : p.vertices)
            if (w.z != z) return false;
        return true;
    };
    switch (stage) {
        case Fans: return p.mode == GL_TRIANGLE_FAN && colourIs(v, 0.0f, 0.059f, 0.09f);
        case Outlines: return p.mode == GL_LINE_STRIP && colourIs(v, 0.03f, 0.21f, 0.21f);
        case Mosaic: return p.mode == GL_QUADS && v.z > 3.7f;
        case Shimmer: return p.mode == GL_LINE_STRIP && (colourIs(v, 0.3f, 0.3f, 0.6f) || colourIs(v, 0.3f, 0.6f, 0.3f));
        case Ribbons: return p.mode == GL_LINE_STRIP && colourIs(v, 0.1f, 0.3f, 0.7f);
        // The graph paper's dots; while f1 = 0 (97 and 170 s) there are none, and nothing is sent.
        case Lettering: return p.mode == GL_POINTS;
        case ModeScene:
            if (p.mode != GL_LINES) return false;
            // Arcs: two hops from points 0 .. 7, 15 segments each, dashed from a black one; the
            // markers' ticks that follow are lines too and may come in the same draw.
            if (mode == 0) return p.vertices.size() >= 2 * 8 * 15 * 2 && colourIs(v, 0.0f, 0.0f, 0.0f);
            if (mode == 1) return colourIs(v, 0.4f, 0.6f, 1.1f);        // the web's chain
            return colourIs(v, 0.2f, 0.2f, 0.4f);                       // the fan's connections
        case Quadtrees: return p.mode == GL_TRIANGLE_FAN && p.vertices.size() == 4 && colourIs(v, 0.1f, 0.15f, 0.2f);
        case Triangulation: return p.mode == GL_TRIANGLES && allAtZ(0.0f);
        case Spikes: return p.mode == GL_TRIANGLES && !allAtZ(0.0f);
    }
    return false;
}

// What each drawer sees, in the sequencer's order. The caller leaves depth test, face culling,
// blending, 2-D texturing, line width 3 and a texture of its own on; the sequencer turns culling
// off before the contour fans and the depth test off only after the mosaic.
struct StageState {
    const char* name;
    GLenum src, dst;
    float lineWidth;           // 0: not checked
    bool depthTest, cullFace;
    int texture2D;             // 1 on, 0 off, -1 not checked
    GLuint texture;            // 0: not checked
    int pushes;                // above the caller's model-view depth
    bool panned;               // model-view = camera, pan and (shiftX, shiftY); else not checked
    float shiftX, shiftY;
};
const StageState kStages[] = {
    {"contour fans", GL_ONE, GL_ZERO, 1.0f, true, false, 0, kBlob, 1, true, 0, 0},
    {"contour outlines", GL_ONE, GL_ZERO, 5.5f, true, false, 0, kBlob, 1, true, 0, 0},
    {"mosaic", GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, 0.0f, true, false, 1, kDisc, 2, true, 0, 0},
    {"shimmer", GL_ONE, GL_ZERO, 5.0f, false, false, 0, kBlob, 3, true, 0.15f, -0.15f},
    {"ribbons", GL_ONE, GL_ONE, 2.0f, false, false, 0, kBlob, 2, true, 0, 0},
    {"lettering", GL_ONE, GL_ONE, 0.0f, false, false, -1, kBlob, 2, false, 0, 0},  // in the sheet's frame
    {"mode scene", GL_ONE, GL_ONE, 1.0f, false, false, -1, kBlob, 1, true, 0, 0},
    {"quadtrees", GL_ONE, GL_ONE, 1.0f, false, false, 0, 0, 1, true, 0, 0},
    {"triangulation", GL_ONE, GL_ONE, 1.0f, false, false, 0, 0, 1, true, 0, 0},
    {"spikes", GL_ONE, GL_ONE, 1.0f, false, false, -1, 0, 2, true, 0, 0},
};

TEST(SequencerDrawing, DrawersInOrderUnderTheirState) {
    ASSERT_TRUE(ostravel::testing::ensureGLWindow());
    // The strongest corner at (300, 100) of a 384 x 288 video: full pan moves the picture by
    // (300 - 192) * 0.003 = 0.324 in x and (100 - 144) * 0.003 = -0.132 in z.
    struct Pass {
        double time, cameraZ;  // camera z 0: mode 0, 0.39: mode 1, 0.45: mode 2, -0.3: no mode scene
        std::vector<Stage> stages;  // the drawers that draw, in order
        float panX, panZ;
    };
    const Pass passes[] = {
        {20.0, 0.0, {Lettering, ModeScene, Quadtrees, Triangulation}, 0.0f, 0.0f},
        {20.0, 0.39, {Lettering, ModeScene, Quadtrees, Triangulation, Spikes}, 0.0f, 0.0f},
        {20.0, 0.45, {Lettering, ModeScene, Quadtrees, Triangulation, Spikes}, 0.0f, 0.0f},
        {20.0, -0.3, {Lettering, Quadtrees, Triangulation}, 0.0f, 0.0f},
        // Full pan; the quadtrees' fade is 0.
        {97.0, 0.0, {Fans, Outlines, Shimmer, Ribbons, ModeScene, Triangulation}, 0.324f, -0.132f},
        {97.0, 0.39, {Fans, Outlines, Shimmer, Ribbons, ModeScene, Triangulation, Spikes}, 0.324f, -0.132f},
        {97.0, 0.45, {Fans, Outlines, Shimmer, Ribbons, ModeScene, Triangulation, Spikes}, 0.324f, -0.132f},
        // The pan back at 0.6; the spikes' fade is 0.
        {170.0, 0.0, {Mosaic, Ribbons, ModeScene, Quadtrees, Triangulation}, 0.1944f, -0.0792f},
        {170.0, 0.45, {Mosaic, Ribbons, ModeScene, Quadtrees, Triangulation}, 0.1944f, -0.0792f},
    };

    TextureBank textures;
    for (int slot : {kBlobTextureSlot, kDiscTextureSlot, kDotScreenTextureSlot, kCardTextureSlot,
                     kCardTextureSlot + 1, kCardTextureSlot + 2, kCardTextureSlot + 3, kCardTextureSlot + 4})
        textures.names[size_t(kSlotBase + slot)] = GLuint(9000 + slot);
    ShaderBank shaders;
    GlyphLists font;  // no lists: the lettering's text draws nothing
    SceneState scene;
    auto frame = std::make_unique<FrameAnalysis>();
    frame->videoWidth = 384, frame->videoHeight = 288;
    frame->corners[0] = {300.0f, 100.0f};
    frame->cornerCount = 30;
    // A golden-angle spiral: the first few points lie close enough for the triangulation to fill.
    for (int n = 0; n < frame->cornerCount; ++n)
        frame->trackedPoints[n] = makeVec3(float(30 * std::sqrt(n) * std::cos(2.4 * n)),
                                           float(30 * std::sqrt(n) * std::sin(2.4 * n)), 0.0f);

    for (const Pass& pass : passes) {
        const int mode = pass.cameraZ < 0 ? -1 : int(5 * pass.cameraZ);
        SCOPED_TRACE(::testing::Message() << pass.time << " s, mode " << mode);
        // One contour of 400 points, long enough for every contour drawer; point k at
        // (40 + k mod 100, 30 + k / 100) in half-size pixels.
        std::vector<ContourPoint> contour;
        for (int k = 0; k < 400; ++k) contour.push_back({40 + k % 100, 30 + k / 100});
        frame->contours.add(contour);
        SceneTime time;
        time.localTime = pass.time;
        time.cameraPos[2] = pass.cameraZ;
        time.textureSlotBase = kSlotBase;

        ostravel::testing::useSequencerView();
        glPushMatrix();
        glPushMatrix();
        GLint callerDepth = 0, depthAfter = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &callerDepth);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glEnable(GL_TEXTURE_2D);
        glBlendFunc(GL_DST_COLOR, GL_SRC_COLOR);
        glLineWidth(3.0f);
        glBindTexture(GL_TEXTURE_2D, kCallerTexture);
        std::vector<Primitive> primitives;
        {
            ostravel::testing::GLRecorder recorder;
            drawAnalysisPicture(scene, *frame, time, {textures, shaders, font});
            primitives = std::move(recorder.primitives);
        }
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
        EXPECT_EQ(depthAfter, callerDepth) << "the model-view stack is left as it was";
        EXPECT_EQ(frame->contours.count(), 0) << "the contours are released every pass";
        glPopMatrix();
        glPopMatrix();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);

        std::vector<Stage> seen;  // stages in order of their first primitive
        size_t lastOfPrevious = 0;
        for (Stage stage : {Fans, Outlines, Mosaic, Shimmer, Ribbons, Lettering, ModeScene, Quadtrees, Triangulation, Spikes}) {
            const StageState& want = kStages[stage];
            size_t first = primitives.size(), last = 0;
            for (size_t k = 0; k < primitives.size(); ++k) {
                const Primitive& p = primitives[k];
                if (!drawnBy(p, stage, mode)) continue;
                first = std::min(first, k), last = k;
                const auto& s = p.state;
                EXPECT_TRUE(s.blend && s.blendSrc == want.src && s.blendDst == want.dst) << want.name << ": blending";
                EXPECT_TRUE(want.lineWidth == 0 || s.lineWidth == want.lineWidth) << want.name << ": line width " << s.lineWidth;
                EXPECT_EQ(s.depthTest, want.depthTest) << want.name << ": depth test";
                EXPECT_EQ(s.cullFace, want.cullFace) << want.name << ": face culling";
                EXPECT_TRUE(want.texture2D < 0 || s.texture2D == (want.texture2D == 1)) << want.name << ": 2-D texturing";
                EXPECT_TRUE(want.texture == 0 || s.texture == want.texture) << want.name << ": bound texture " << s.texture;
                EXPECT_EQ(s.modelViewDepth, callerDepth + want.pushes) << want.name << ": model-view depth";
                if (!want.panned) continue;
                // The camera at (0, 0, 7.6) looking down -z leaves the rotation alone.
                const float expected[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0,
                                            pass.panX + want.shiftX, want.shiftY, pass.panZ - 7.6f, 1};
                for (int i = 0; i < 16; ++i) EXPECT_NEAR(s.modelView[i], expected[i], 1e-5) << want.name << ": model-view " << i;
            }
            if (first == primitives.size()) continue;
            seen.push_back(stage);
            EXPECT_TRUE(seen.size() == 1 || first > lastOfPrevious) << want.name << " starts before the drawer before it ends";
            lastOfPrevious = last;
        }
        EXPECT_EQ(seen, pass.stages);

        // The shimmer's jitter comes from the sequence seeded with trunc(1000 t) = 97000: its first
        // strip vertex is contour point 7 mapped, (47 - 96, 30 - 72) * 0.08, plus 0.05 times the
        // second and third draws (23683 and 8494 of 32767, the generator run once in Python; the first goes to the contour).
        for (const Primitive& p : primitives)
            if (drawnBy(p, Shimmer, mode)) {
                EXPECT_NEAR(p.vertices[0].x, -3.92 + 0.05 * 23683 / 32767, 1e-5);
                EXPECT_NEAR(p.vertices[0].y, -3.36 + 0.05 * 8494 / 32767, 1e-5);
                break;
            }
    }
}

}  // namespace
