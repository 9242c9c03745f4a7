// The video mosaic, the feature marker scenes and the feature web, drawn through the real GL on
// synthetic analysis records; a recorder notes each primitive with its vertices and colours.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <functional>
#include <memory>
#include <set>
#include <vector>

#include "analysis/frame_analysis.h"
#include "math/random.h"
#include "render/render_context.h"
#include "scenes/markers.h"
#include "scenes/mosaic.h"
#include "scenes/sheet.h"
#include "scenes/web.h"
#include "tests/scenes/gl_recorder.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;
using ostravel::testing::GLRecorder;
using ostravel::testing::Primitive;
using ostravel::testing::RecordedVertex;

namespace {

constexpr int kGrid = 10;         // tracked points on a 10-wide grid ...
constexpr double kPitch = 100.0;  // ... 100 video pixels (4 world units) apart

class Scenes : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ostravel::testing::ensureGLWindow());
        frame = std::make_unique<FrameAnalysis>();
        for (int n = 0; n < kMaxCorners; ++n) {
            frame->trackedPoints[n].x = float((n % kGrid) * kPitch - 450.0);
            frame->trackedPoints[n].y = float((n / kGrid) * kPitch - 450.0);
        }
    }

    template <typename Draw>
    std::vector<Primitive> record(Draw draw) {
        GLRecorder recorder;
        draw();
        return std::move(recorder.primitives);
    }

    std::vector<Primitive> arcs(int cornerCount, double f, double localTime = 20.0) {
        frame->cornerCount = cornerCount;
        time.localTime = localTime;
        return record([&] { drawFeatureArcs(time, *frame, 0.0, f); });
    }
    std::vector<Primitive> fan(int cornerCount) {
        frame->cornerCount = cornerCount;
        return record([&] { drawFeatureFan(time, *frame, 0.0, 1.0); });
    }
    std::vector<Primitive> web(int cornerCount, double localTime, double f = 1.0) {
        frame->cornerCount = cornerCount;
        time.localTime = localTime;
        return record([&] { drawFeatureWeb(time, *frame, renderContext().textures, 0.0, f); });
    }
    std::vector<Primitive> mosaic(double f, double localTime = 170.0) {
        time.localTime = localTime;
        return record([&] { drawVideoMosaic(time, *frame, renderContext().textures, f); });
    }

    // The index of the tracked point within 2 world units of (x, y), or -1.
    int nearestPoint(const RecordedVertex& v) const {
        const int column = int(std::lround((v.x / 0.04 + 450.0) / kPitch));
        const int row = int(std::lround((v.y / 0.04 + 450.0) / kPitch));
        if (column < 0 || column >= kGrid || row < 0) return -1;
        const int n = row * kGrid + column;
        const double dx = v.x - frame->trackedPoints[n].x * 0.04, dy = v.y - frame->trackedPoints[n].y * 0.04;
        return dx * dx + dy * dy < 4.0 ? n : -1;
    }
    bool atPoint(const RecordedVertex& v, int n) const {
        return std::fabs(v.x - frame->trackedPoints[n].x * 0.04) < 1e-4 &&
               std::fabs(v.y - frame->trackedPoints[n].y * 0.04) < 1e-4;
    }

    std::unique_ptr<FrameAnalysis> frame;
    SceneTime time{20.0, 0.3, 12.5, {0, 0, 0}, 0};
};

bool hasColour(const RecordedVertex& v, float r, float g, float b) {
    return std::fabs(v.r - r) < 1e-5f && std::fabs(v.g - g) < 1e-5f && std::fabs(v.b - b) < 1e-5f;
}

// Line pairs (GL_LINES) drawn in the given colour.
int linesInColour(const std::vector<Primitive>& primitives, float r, float g, float b) {
    int count = 0;
    for (const Primitive& p : primitives)
        if (p.mode == GL_LINES)
            for (size_t i = 0; i + 1 < p.vertices.size(); i += 2) count += hasColour(p.vertices[i + 1], r, g, b);
    return count;
}

int count(const std::vector<Primitive>& primitives, GLenum mode, size_t vertices) {
    int n = 0;
    for (const Primitive& p : primitives) n += p.mode == mode && p.vertices.size() == vertices;
    return n;
}

// The mosaic's sprites in drawing order (row by row, 96 to a row).
std::vector<std::vector<RecordedVertex>> sprites(const std::vector<Primitive>& primitives) {
    std::vector<std::vector<RecordedVertex>> out;
    for (const Primitive& p : primitives)
        if (p.mode == GL_QUADS)
            for (size_t i = 0; i + 3 < p.vertices.size(); i += 4) out.emplace_back(p.vertices.begin() + i, p.vertices.begin() + i + 4);
    return out;
}

// A BGR picture in a buffer with gaps after each row and after the last: pixels hold `pixel`,
// gaps and the guard hold 255, so a read outside the picture shows in the colours.
struct StridedFrame {
    std::vector<uint8_t> bytes;
    FrameImageView view;
    StridedFrame(int width, int height, size_t stride, uint8_t pixel) : bytes(stride * height + 4096, 255) {
        for (int y = 0; y < height; ++y)
            for (size_t x = 0; x < size_t(width) * 3; ++x) bytes[y * stride + x] = pixel;
        view = {bytes.data(), width, height, stride};
    }
};

// ---- Video pixel mosaic ----------------------------------------------------------------------

TEST_F(Scenes, MosaicFillsRowByRowWithTheFade) {
    StridedFrame picture(384, 288, 384 * 3, 200);
    frame->frameImage = picture.view;
    const struct {
        double f;
        size_t rows;
    } cases[] = {{0.005, 0}, {0.025, 36}, {0.04, 58}, {0.5, 72}, {1.0, 72}};
    for (const auto& c : cases) EXPECT_EQ(sprites(mosaic(c.f)).size(), c.rows * kMosaicColumns) << "f = " << c.f;
}

TEST_F(Scenes, MosaicOuterRowAndColumnHaveNoSize) {
    StridedFrame picture(384, 288, 384 * 3, 200);
    frame->frameImage = picture.view;
    const auto all = sprites(mosaic(1.0));
    ASSERT_EQ(all.size(), size_t(kMosaicColumns * kMosaicRows));
    for (size_t k = 0; k < all.size(); ++k) {
        const bool edge = k / kMosaicColumns == 0 || k % kMosaicColumns == 0;
        const float width = all[k][1].x - all[k][0].x;
        EXPECT_EQ(width == 0.0f, edge) << "row " << k / kMosaicColumns << ", column " << k % kMosaicColumns;
    }
}

// The projective pass culls front faces while the scene draws; the sprites face the camera and
// must still reach the screen.
TEST_F(Scenes, MosaicShowsUnderThePassFaceCulling) {
    StridedFrame picture(384, 288, 384 * 3, 255);
    frame->frameImage = picture.view;
    time.localTime = 170.0;
    ostravel::testing::useSequencerView();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    drawVideoMosaic(time, *frame, renderContext().textures, 1.0);
    glDisable(GL_CULL_FACE);
    unsigned char centre[4] = {0, 0, 0, 0};
    glReadPixels(400, 300, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, centre);
    EXPECT_GT(centre[2], 40) << "the screen of sprites was culled";
}

// Sprite (row i, column j) takes its brightness from the blue byte of pixel (4 j, 4 i), dimmed by
// its third random draw w: Q = 0.6 ((1 - 0.2 w) A / 256)^2, blue only before the radial reveal
// and grey once it is over. The three bytes of a pixel differ, and so do neighbouring pixels, so
// the wrong channel, pixel or row stride shows; rows have gaps after them.
TEST_F(Scenes, MosaicColourComesFromTheBlueByteInsideThePicture) {
    const int width = 384, height = 288;
    const size_t stride = width * 3 + 20;
    std::vector<uint8_t> bytes(stride * height, 255);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = &bytes[y * stride + x * 3];
            pixel[0] = uint8_t(x + 3 * y), pixel[1] = uint8_t(7 * x + y + 50), pixel[2] = uint8_t(11 * x + 5 * y + 100);
        }
    frame->frameImage = {bytes.data(), width, height, stride};
    seed(300000);  // the mosaic's seed: three draws per sprite, w the third
    std::vector<float> expected;
    for (int i = 0; i < kMosaicRows; ++i)
        for (int j = 0; j < kMosaicColumns; ++j) {
            nextRandom(), nextRandom();
            const double c = (1.0 - 0.2 * random01()) * uint8_t(4 * j + 12 * i) / 256.0;  // 4 j + 3 (4 i)
            expected.push_back(float(0.6 * c * c));
        }
    for (const double localTime : {156.4, 166.0}) {
        const auto all = sprites(mosaic(1.0, localTime));
        ASSERT_EQ(all.size(), expected.size());
        const float reveal = localTime < 166.0 ? 0.0f : 1.0f;
        for (size_t k = 0; k < all.size(); ++k)
            EXPECT_TRUE(hasColour(all[k][0], reveal * expected[k], reveal * expected[k], expected[k]))
                << "at " << localTime << " s, row " << k / kMosaicColumns << ", column " << k % kMosaicColumns;
    }
}

// Smaller frames, gaps and no frame at all: the sampling stays inside the picture (its pixels are
// black, everything around them white).
TEST_F(Scenes, MosaicReadsOnlyInsideThePicture) {
    const struct {
        const char* name;
        int width, height;
        size_t stride;
    } cases[] = {{"small frame with gaps", 100, 50, 400}, {"one pixel", 1, 1, 3}, {"no frame", 0, 0, 0}};
    for (const auto& c : cases) {
        StridedFrame picture(c.width, c.height, c.stride, 0);
        frame->frameImage = c.width > 0 ? picture.view : FrameImageView{};
        const auto all = sprites(mosaic(1.0));
        ASSERT_EQ(all.size(), size_t(kMosaicColumns * kMosaicRows)) << c.name;
        for (size_t k = 0; k < all.size(); ++k) EXPECT_TRUE(hasColour(all[k][0], 0, 0, 0)) << c.name << ", sprite " << k;
    }
}

// ---- Feature arcs ----------------------------------------------------------------------------

TEST_F(Scenes, ArcsJoinTheFirstTenPointsAndMarkTheFirstTwenty) {
    const struct {
        int cornerCount;
        int litSegments;  // 7 of every 15 segments are lit
        int markers;
    } cases[] = {{2, 0, 2}, {3, 14, 3}, {12, 112, 12}, {30, 112, 20}};
    for (const auto& c : cases) {
        const auto primitives = arcs(c.cornerCount, 1.0);
        EXPECT_EQ(linesInColour(primitives, 0.42f, 0.48f, 0.66f), c.litSegments) << c.cornerCount << " corners";
        std::set<int> marked;
        for (size_t p = 1; p < primitives.size(); ++p)
            for (const RecordedVertex& v : primitives[p].vertices) marked.insert(nearestPoint(v));
        EXPECT_EQ(int(marked.size()), c.markers) << c.cornerCount << " corners";
        EXPECT_TRUE(marked.count(-1) == 0 && (marked.empty() || *marked.rbegin() == c.markers - 1));
    }
}

TEST_F(Scenes, ArcsFadeShrinksMarkersAndOpensTheirCircles) {
    const struct {
        double f;
        size_t circleVertices;
    } cases[] = {{1.0, 21}, {0.5, 11}};
    double reach[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        const auto primitives = arcs(3, cases[k].f);
        EXPECT_EQ(count(primitives, GL_LINE_STRIP, cases[k].circleVertices), 3 * 5) << "f = " << cases[k].f;
        for (size_t p = 1; p < primitives.size(); ++p)  // the ticks reach out furthest
            for (const RecordedVertex& v : primitives[p].mode == GL_LINES ? primitives[p].vertices
                                                                         : std::vector<RecordedVertex>{}) {
                const int n = nearestPoint(v);
                reach[k] = std::max(reach[k], std::hypot(v.x - frame->trackedPoints[n].x * 0.04,
                                                         v.y - frame->trackedPoints[n].y * 0.04));
            }
    }
    EXPECT_NEAR(reach[1], 0.5 * reach[0], 1e-4);
}

// ---- Feature fan -----------------------------------------------------------------------------

TEST_F(Scenes, FanConnectsFromPointTwoAndGlowsFromPoint56) {
    const struct {
        int cornerCount;
        int connections;  // curves for h = 1 and 2 (h = 0 has no length)
        int sprites;
    } cases[] = {{2, 0, 0}, {3, 2, 0}, {12, 2 * 10, 0}, {56, 2 * 15, 0}, {57, 2 * 15, 1}, {65, 2 * 16, 2},
                 {200, 2 * 29, 18}};
    for (const auto& c : cases) {
        const auto primitives = fan(c.cornerCount);
        EXPECT_EQ(linesInColour(primitives, 0.2f, 0.2f, 0.4f), 15 * c.connections) << c.cornerCount << " corners";
        EXPECT_EQ(linesInColour(primitives, 0.2f, 0.6f, 0.7f), 15 * c.connections) << c.cornerCount << " corners";
        EXPECT_EQ(count(primitives, GL_QUADS, 4), c.sprites) << c.cornerCount << " corners";
    }
}

// ---- Feature web -----------------------------------------------------------------------------

TEST_F(Scenes, WebChainRunsThroughThePointsUntil135Seconds) {
    const std::set<int> long_ = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 16, 21, 26};
    const struct {
        int cornerCount;
        double localTime;
        std::set<int> starts;
    } cases[] = {{3, 100.0, {}}, {4, 100.0, {1}}, {30, 100.0, long_}, {30, 135.0, long_}, {30, 135.01, {}}};
    for (const auto& c : cases) {
        std::set<int> starts;
        for (const Primitive& p : web(c.cornerCount, c.localTime))
            if (p.mode == GL_LINES)
                for (size_t i = 0; i < p.vertices.size(); i += 2)
                    if (hasColour(p.vertices[i], 0.4f, 0.6f, 1.1f))
                        for (int n = 0; n < c.cornerCount; ++n)
                            if (atPoint(p.vertices[i], n)) starts.insert(n);
        EXPECT_EQ(starts, c.starts) << c.cornerCount << " corners at " << c.localTime << " s";
    }
}

// Markers on points 1 .. cornerCount - 1, unwinding one after the other from 135 s, 0.3 s apart:
// marker n is gone at 135 + 0.3 n + 1 / 0.7 s (a single vertex at most is left of it).
TEST_F(Scenes, WebMarkersUnwindPointByPoint) {
    const struct {
        int cornerCount;
        double localTime;
        std::set<int> shown;
    } cases[] = {{3, 100.0, {1, 2}}, {5, 135.0, {1, 2, 3, 4}}, {5, 136.74, {3, 4}}, {5, 137.7, {}}};
    for (const auto& c : cases) {
        std::set<int> shown;
        for (const Primitive& p : web(c.cornerCount, c.localTime))
            if (p.mode != GL_LINES && p.vertices.size() > 1)
                for (const RecordedVertex& v : p.vertices) shown.insert(nearestPoint(v));
        EXPECT_EQ(shown, c.shown) << c.cornerCount << " corners at " << c.localTime << " s";
    }
}

TEST_F(Scenes, WebCablesTieTheFirstThreePointsToTheSheetDuringTheCredits) {
    const struct {
        int cornerCount;
        double localTime;
        int cables;
    } cases[] = {{10, 8.9, 0}, {10, 12.4, 33}, {3, 20.0, 22}, {10, 43.2, 33}, {10, 43.4, 0}, {10, 60.0, 0}};
    for (const auto& c : cases) {
        int cables = 0, bands = 0;
        for (const Primitive& p : web(c.cornerCount, c.localTime)) {
            if (p.mode == GL_QUAD_STRIP) ++bands;
            if (p.mode != GL_LINE_STRIP || !hasColour(p.vertices[0], 0.2f, 0.3f, 0.4f)) continue;
            ++cables;
            EXPECT_EQ(p.vertices.size(), 11u);
            const int from = nearestPoint(p.vertices[0]);
            EXPECT_TRUE(from >= 1 && from <= 3 && atPoint(p.vertices[0], from));
        }
        EXPECT_EQ(cables, c.cables) << c.cornerCount << " corners at " << c.localTime << " s";
        EXPECT_EQ(bands, (c.cables / 11) * 6) << "alternate cables carry the band";
    }
}

// The cables' far ends at 20 s (a = 1, so each cable reaches its target): cell (gx, gy) from the
// one random sequence, turned by 16 degrees about z and moved by the sheet's drift
// (8 sin 0.7, 8 cos 0.5). Worked out once with the generator and those formulas in Python; point
// 1's eleven cells come from seed 5000, point 2's after marker 1's seed (5018) and its four draws,
// so a draw missing or added anywhere before moves them.
TEST_F(Scenes, WebCableEndsLieOnTheDriftingSheet) {
    const float expected[22][2] = {
        {2.14254f, -4.24578f}, {1.72562f, 0.83617f}, {-1.29251f, -3.15017f}, {-0.74124f, -5.07269f},
        {3.64814f, 1.38744f}, {3.51379f, -1.77198f}, {-1.84379f, -1.22765f}, {6.81450f, -6.02702f},
        {1.45692f, -5.48268f}, {2.96946f, -7.12957f}, {3.65508f, -5.89267f}, {5.16068f, -0.25945f},
        {4.88504f, 0.70182f}, {5.71195f, -2.18197f}, {2.27689f, -1.08636f}, {-0.19690f, 0.28489f},
        {-2.25378f, -3.42581f}, {-0.74124f, -5.07269f}, {0.48872f, 1.52179f}, {4.19942f, -0.53508f},
        {5.29503f, 2.89998f}, {5.43632f, -1.22071f},
    };
    std::vector<RecordedVertex> ends;
    for (const Primitive& p : web(3, 20.0))
        if (p.mode == GL_LINE_STRIP && hasColour(p.vertices[0], 0.2f, 0.3f, 0.4f)) ends.push_back(p.vertices.back());
    ASSERT_EQ(ends.size(), 22u);
    for (size_t k = 0; k < ends.size(); ++k) {
        EXPECT_NEAR(ends[k].x, expected[k][0], 1e-4) << "cable " << k;
        EXPECT_NEAR(ends[k].y, expected[k][1], 1e-4) << "cable " << k;
    }
}

// The credits sheet drifts by (8 sin(0.06 t - 0.5), 8 cos(0.05 t - 0.5)) and turns by t - 4
// degrees; the values below are those formulas evaluated once in Python.
TEST(Sheet, DriftsAndTurnsWithTheTime) {
    const struct {
        double t, dx, dy, turn;
    } cases[] = {{0.0, -3.835404, 7.020660, -4.0}, {20.0, 5.153741, 7.020660, 16.0}, {100.0, -5.644323, -1.686366, 96.0}};
    for (const auto& c : cases) {
        const SheetPlacement s = sheetPlacement(c.t);
        EXPECT_NEAR(s.dx, c.dx, 1e-6) << c.t << " s";
        EXPECT_NEAR(s.dy, c.dy, 1e-6) << c.t << " s";
        EXPECT_NEAR(s.turnDegrees, c.turn, 1e-12) << c.t << " s";
    }
}

// ---- The recorder ----------------------------------------------------------------------------

// The drawers are to move from glBegin/glEnd to vertex arrays: a strip drawn in immediate mode,
// from interleaved client arrays and from buffer objects through indices records the same, and a
// draw without a colour array takes the colour set before the recorder started.
TEST_F(Scenes, RecorderSeesArrayDrawsAsPrimitives) {
    struct Vertex {
        float s, t;
        GLubyte rgba[4];
        float x, y, z;
    };
    const Vertex strip[] = {{0.0f, 0.5f, {255, 0, 0, 255}, 1, 2, 3},
                            {1.0f, 0.25f, {0, 255, 0, 255}, 4, 5, 6},
                            {0.5f, 1.0f, {0, 0, 255, 0}, 7, 8, 9}};
    const GLubyte order[] = {0, 1, 2};
    auto immediate = [&] {
        glBegin(GL_TRIANGLE_STRIP);
        for (const Vertex& v : strip) glColor4ub(v.rgba[0], v.rgba[1], v.rgba[2], v.rgba[3]), glTexCoord2f(v.s, v.t), glVertex3f(v.x, v.y, v.z);
        glEnd();
    };
    auto pointArraysAt = [](const void* base) {
        const auto* b = static_cast<const char*>(base);
        glTexCoordPointer(2, GL_FLOAT, sizeof(Vertex), b + offsetof(Vertex, s));
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), b + offsetof(Vertex, rgba));
        glVertexPointer(3, GL_FLOAT, sizeof(Vertex), b + offsetof(Vertex, x));
    };
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    GLuint buffers[2];
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, sizeof strip, strip, GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof order, order, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);

    glLineWidth(3.0f);
    glColor4f(0.25f, 0.5f, 0.75f, 1.0f);  // set before recording: a draw without a colour array takes it
    const auto primitives = record([&] {
        glDisableClientState(GL_COLOR_ARRAY);
        pointArraysAt(strip);
        glDrawArrays(GL_POINTS, 1, 1);
        glEnableClientState(GL_COLOR_ARRAY);
        immediate();
        pointArraysAt(strip);
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 3);
        glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
        pointArraysAt(nullptr);
        glDrawElements(GL_TRIANGLE_STRIP, 3, GL_UNSIGNED_BYTE, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    });
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDeleteBuffers(2, buffers);
    glLineWidth(1.0f);

    const RecordedVertex expected[] = {{1, 2, 3, 1, 0, 0, 1, 0.0f, 0.5f},
                                       {4, 5, 6, 0, 1, 0, 1, 1.0f, 0.25f},
                                       {7, 8, 9, 0, 0, 1, 0, 0.5f, 1.0f}};
    ASSERT_EQ(primitives.size(), 4u);
    ASSERT_EQ(primitives[0].vertices.size(), 1u);
    const RecordedVertex& lone = primitives[0].vertices[0];
    EXPECT_TRUE(lone.x == 4 && lone.s == 1.0f && hasColour(lone, 0.25f, 0.5f, 0.75f)) << "the current colour";
    const char* ways[] = {"immediate", "client arrays", "buffers and indices"};
    for (size_t w = 0; w < 3; ++w) {
        const Primitive& p = primitives[w + 1];
        EXPECT_EQ(p.mode, GLenum(GL_TRIANGLE_STRIP)) << ways[w];
        EXPECT_EQ(p.state.lineWidth, 3.0f) << ways[w];
        ASSERT_EQ(p.vertices.size(), 3u) << ways[w];
        for (size_t k = 0; k < 3; ++k) {
            const RecordedVertex& v = p.vertices[k];
            const RecordedVertex& e = expected[k];
            EXPECT_TRUE(v.x == e.x && v.y == e.y && v.z == e.z && v.s == e.s && v.t == e.t) << ways[w] << ", vertex " << k;
            EXPECT_TRUE(hasColour(v, e.r, e.g, e.b) && v.a == e.a) << ways[w] << ", vertex " << k;
        }
    }
}

// ---- The shared random sequence ---------------------------------------------------------------

// Each scene leaves the sequence where its seed and the number of its draws put it.
TEST_F(Scenes, EachSceneTakesItsDrawsFromTheSharedSequence) {
    StridedFrame picture(384, 288, 384 * 3, 90);
    frame->frameImage = picture.view;
    const struct {
        const char* name;
        std::function<void()> draw;
        uint32_t seedValue;  // 77: the scene seeds nothing
        int draws;
    } cases[] = {
        {"mosaic", [&] { mosaic(1.0); }, 300000, 3 * kMosaicColumns * kMosaicRows},
        {"mosaic, half the rows", [&] { mosaic(0.025); }, 300000, 3 * kMosaicColumns * 36},
        {"mosaic, faded out", [&] { mosaic(0.005); }, 77, 0},
        {"arcs", [&] { arcs(5, 1.0); }, 5000, 8 * 5},
        {"arcs, many points", [&] { arcs(40, 0.7); }, 5000, 8 * 20},
        {"fan", [&] { fan(60); }, 5000, 8 * 60},
        {"web", [&] { web(4, 20.0); }, 3 + 5017, 4},
        {"web, no marker", [&] { web(1, 20.0); }, 5000, 0},
        {"web, faded out", [&] { web(40, 20.0, 0.000001); }, 77, 0},
    };
    for (const auto& c : cases) {
        seed(77);
        c.draw();
        const uint32_t state = randomState();
        seed(c.seedValue);
        for (int k = 0; k < c.draws; ++k) nextRandom();
        EXPECT_EQ(state, randomState()) << c.name;
    }
}

}  // namespace
