// The analysis drawers on real GL: feedback mode reports every triangle and line segment they
// send down the pipeline, with its colours; the random sequence shows how many numbers each drew.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "scenes/analysis_drawers.h"
#include "math/random.h"
#include "platform/gl.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;

namespace {

struct FedVertex {
    float x, y, z, r, g, b, a;
};

struct Fed {
    int triangles = 0;
    int lines = 0;
    int lineStarts = 0;  // segments that do not continue the one before: one per strip
    std::vector<std::vector<FedVertex>> polygons;
    std::vector<FedVertex> lineVertices;
};

template <typename Draw>
Fed feedback(Draw draw) {
    static std::vector<GLfloat> buffer(1 << 23);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0) << "feedback buffer overflow";
    Fed fed;
    auto vertexAt = [&](GLint i) {
        const GLfloat* p = &buffer[i];
        return FedVertex{p[0], p[1], p[2], p[3], p[4], p[5], p[6]};
    };
    for (GLint i = 0; i < used;) {
        const auto token = GLenum(buffer[i]);
        if (token == GL_POLYGON_TOKEN) {
            const int n = int(buffer[i + 1]);
            fed.triangles += n - 2;
            fed.polygons.emplace_back();
            for (int v = 0; v < n; ++v) fed.polygons.back().push_back(vertexAt(i + 2 + v * 7));
            i += 2 + n * 7;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            // Mesa sends no reset tokens: a strip starts where a segment does not continue the last.
            const FedVertex from = vertexAt(i + 1), to = vertexAt(i + 8);
            const bool continues = !fed.lineVertices.empty() && fed.lineVertices.back().x == from.x &&
                                   fed.lineVertices.back().y == from.y && fed.lineVertices.back().z == from.z;
            ++fed.lines;
            fed.lineStarts += !continues;
            fed.lineVertices.push_back(from);
            fed.lineVertices.push_back(to);
            i += 15;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN || token == GL_DRAW_PIXEL_TOKEN ||
                   token == GL_COPY_PIXEL_TOKEN) {
            i += 8;
        } else {
            i += 2;  // pass-through token and its value
        }
    }
    return fed;
}

uint32_t stateAfterDraws(uint32_t start, int draws) {
    seed(start);
    for (int i = 0; i < draws; ++i) nextRandom();
    return randomState();
}

// A contour of n distinct pixels round a circle of radius 100 half-size pixels (8 world units)
// about the image centre.
void addCircle(ContourList& list, int n) {
    std::vector<ContourPoint> points;
    for (int i = 0; i < n; ++i) {
        const double a = 2.0 * M_PI * i / n;
        points.push_back({96 + int(std::lround(100 * std::cos(a))), 72 + int(std::lround(100 * std::sin(a)))});
    }
    list.add(points);
}

class Drawers : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ostravel::testing::ensureGLWindow());
        glViewport(0, 0, 800, 600);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-20, 20, -15, 15, -30, 30);  // 20 window pixels per world unit
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_CULL_FACE);
        frame = std::make_unique<FrameAnalysis>();
        frame->videoWidth = 384;
        frame->videoHeight = 288;
    }
    std::unique_ptr<FrameAnalysis> frame;
    SplinePool pool;
};

enum class Drawer { Fans, Shimmer, Ribbons };

struct ContourCase {
    const char* name;
    Drawer drawer;
    std::vector<int> contours;  // point counts
    double f;
    int triangles, lines, lineStarts, randomDraws;
};

TEST_F(Drawers, ContourDrawersEmitWhatTheirThresholdsAndFadeAllow) {
    const std::vector<ContourCase> cases = {
        {"60-point fan", Drawer::Fans, {60}, 1, 0, 0, 0, 1},
        {"61-point fan: 31 vertices", Drawer::Fans, {61}, 1, 29, 0, 0, 1},
        {"100-point fan: 50 vertices", Drawer::Fans, {100}, 1, 48, 0, 0, 1},
        {"150 points: fan, no outline", Drawer::Fans, {150}, 1, 73, 0, 0, 1},
        {"151 points: fan and outline of 76", Drawer::Fans, {151}, 1, 74, 75, 1, 1},
        {"half fade: a quarter of the contour", Drawer::Fans, {200}, 0.5, 48, 49, 1, 1},
        {"below the threshold", Drawer::Fans, {200}, 0.0005, 0, 0, 0, 0},
        {"several contours", Drawer::Fans, {61, 10, 151}, 1, 29 + 74, 75, 1, 1},
        {"270-point shimmer", Drawer::Shimmer, {270}, 1, 0, 0, 0, 1},
        {"271 points: 28 samples", Drawer::Shimmer, {271}, 1, 0, 27, 1, 1 + 2 * 28},
        {"300 points: 30 samples", Drawer::Shimmer, {300}, 1, 0, 29, 1, 1 + 2 * 30},
        {"half fade: 15 samples", Drawer::Shimmer, {300, 100}, 0.5, 0, 14, 1, 1 + 2 * 15 + 1},
        {"no fade: no shimmer", Drawer::Shimmer, {300}, 0, 0, 0, 0, 0},
        {"90-point ribbon", Drawer::Ribbons, {90}, 1, 0, 0, 0, 1},
        {"91 points: 30 glow samples, 100 core", Drawer::Ribbons, {91}, 1, 28, 99, 1, 1 + 2 * 30},
        {"half fade: 15 and 50", Drawer::Ribbons, {200, 20}, 0.5, 12, 49, 1, 1 + 2 * 15 + 1},
        {"1000 contours: the last gets none", Drawer::Ribbons, std::vector<int>(1000, 91), 1, 999 * 28, 999 * 99, 999, 999 * 61},
        {"no fade: no ribbon", Drawer::Ribbons, {200}, 0, 0, 0, 0, 0},
    };
    for (const ContourCase& c : cases) {
        SCOPED_TRACE(c.name);
        frame->contours.clear();
        for (int n : c.contours) addCircle(frame->contours, n);
        seed(4321);
        const Fed fed = feedback([&] {
            switch (c.drawer) {
                case Drawer::Fans: drawContourFans(*frame, c.f, 0.5); break;
                case Drawer::Shimmer: drawContourShimmer(*frame, c.f); break;
                case Drawer::Ribbons: drawContourRibbons(*frame, pool, c.f); break;
            }
        });
        EXPECT_EQ(fed.triangles, c.triangles);
        EXPECT_EQ(fed.lines, c.lines);
        EXPECT_EQ(fed.lineStarts, c.lineStarts);
        EXPECT_EQ(randomState(), stateAfterDraws(4321, c.randomDraws));
        if (c.drawer == Drawer::Fans && c.triangles > 0) {
            bool startsAtFirstPoint = false;
            for (const FedVertex& v : fed.polygons[0]) {
                EXPECT_NEAR(v.g, 0.059 * c.f, 1e-3);
                EXPECT_NEAR(v.b, 0.09 * c.f * 1.15, 1e-3);  // pulse 0.5
                // The contour's first point: (196 - 96) * 0.08 = 8 units right of the centre.
                startsAtFirstPoint |= std::fabs(v.x - (400 + 8 * 20)) < 0.5f && std::fabs(v.y - 300) < 0.5f;
            }
            EXPECT_TRUE(startsAtFirstPoint);
        }
    }
}

TEST_F(Drawers, RibbonSplinesTakeEverySixthPointAndThePoolIsClearedEveryPass) {
    struct Case { std::vector<int> contours; double f; std::vector<std::pair<int, int>> counts; };
    const std::vector<Case> cases = {
        {{200}, 1, {{0, 0}, {1, 15}, {2, 0}}},  // c passes 14, 28, ..., 210
        {{91, 300, 90}, 0.2, {{1, 7}, {2, 22}, {3, 0}}},
        {std::vector<int>(1000, 200), 0.01, {{0, 0}, {1, 15}, {999, 15}}},
        {{200}, 0, {{1, 0}}},  // cleared even with no fade
        {{}, 1, {{1, 0}}},     // and with no contours
    };
    for (const Case& c : cases) {
        for (Spline& s : pool) append(s, Vec3{});  // last pass's leftovers
        frame->contours.clear();
        for (int n : c.contours) addCircle(frame->contours, n);
        feedback([&] { drawContourRibbons(*frame, pool, c.f); });
        for (auto [slot, count] : c.counts) {
            EXPECT_EQ(pool[slot].count, count) << "spline " << slot;
            EXPECT_EQ(pool[slot].points.size(), size_t(count)) << "spline " << slot;
        }
        if (pool[1].count > 0) {
            EXPECT_FALSE(pool[1].closed);
            // The first control point is the contour's 6th point, mapped.
            const Vec3& p = pool[1].points[0];
            const double a = 2.0 * M_PI * 5 / c.contours[0];
            EXPECT_FLOAT_EQ(p.x, float(std::lround(100 * std::cos(a)) * 0.08f));
            EXPECT_FLOAT_EQ(p.y, float(std::lround(100 * std::sin(a)) * 0.08f));
        }
    }
}

TEST_F(Drawers, QuadtreesCloseOnPointsOneToFadeTimesCount) {
    const float tracked[5][2] = {{-100, -100}, {50, -30}, {-75, 60}, {120, 100}, {-20, -140}};
    for (int i = 0; i < 5; ++i) frame->trackedPoints[i] = makeVec3(tracked[i][0], tracked[i][1], 0);
    frame->cornerCount = 5;
    struct Case { double f; int lines, boxes; };
    // Point 1 starts at depth 1 (6 levels of cross and tick), point 2 at depth 2 (5), point 3 at
    // depth 0 (7), point 4 at depth 1 with bare crosses from depth 4 only (3 levels of 2 lines).
    for (const Case& c : std::vector<Case>{{1.0, 18 + 15 + 21 + 6, 4}, {0.5, 18 + 15, 2}, {0.2, 0, 0}}) {
        seed(77);
        const Fed fed = feedback([&] { drawPointQuadtrees(*frame, c.f); });
        EXPECT_EQ(fed.lines, c.lines) << "f " << c.f;
        EXPECT_EQ(fed.triangles, 2 * c.boxes) << "f " << c.f;
        EXPECT_EQ(randomState(), 5000u);
        for (const auto& box : fed.polygons) {
            for (const FedVertex& v : box) {
                EXPECT_NEAR(v.r, 0.1f, 1e-3f);
                EXPECT_NEAR(v.b, 0.2f, 1e-3f);
            }
        }
        // Each box is the last cell of its descent and holds its point (in window pixels).
        for (size_t k = 0; k < fed.polygons.size() / 2 && c.f == 1.0; ++k) {
            const int point = int(k) + 1;
            const float px = 400 + tracked[point][0] * 0.04f * 20, py = 300 + tracked[point][1] * 0.04f * 20;
            float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
            for (size_t t = 2 * k; t < 2 * k + 2; ++t)
                for (const FedVertex& v : fed.polygons[t])
                    minX = std::min(minX, v.x), maxX = std::max(maxX, v.x), minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
            const float edge = 14.0f / float(1 << (7 - point % 3)) * 20;
            EXPECT_NEAR(maxX - minX, edge, 0.01f) << "point " << point;
            EXPECT_NEAR(maxY - minY, edge, 0.01f) << "point " << point;
            EXPECT_TRUE(minX <= px && px <= maxX && minY <= py && py <= maxY) << "point " << point;
        }
    }
}

TEST_F(Drawers, SpikesRiseFromEveryThirdPointBelowTheLimit) {
    for (int i = 0; i < kMaxCorners; ++i) frame->trackedPoints[i] = makeVec3(float(i % 40 - 20) * 10, float(i / 40 - 20) * 6, 0);
    glRotated(-60, 1, 0, 0);  // looked at from the side, the spikes are real triangles
    struct Case { int corners; double g; int triangles; };
    for (const Case& c : std::vector<Case>{{1650, 1, 284}, {850, 1, 284}, {849, 1, 283}, {5, 0.5, 2}, {1650, 0.001, 0}}) {
        frame->cornerCount = c.corners;
        const Fed fed = feedback([&] { drawPointSpikes(*frame, c.g); });
        ASSERT_EQ(fed.triangles, c.triangles) << c.corners << " corners, g " << c.g;
        if (c.triangles == 0) continue;
        // Coloured base, black tips.
        float baseBlue = 0, tipBlue = 1;
        for (const FedVertex& v : fed.polygons[0]) {
            if (std::fabs(v.b) > 1e-4f) baseBlue = v.b;
            else tipBlue = v.b;
        }
        EXPECT_NEAR(baseBlue, 0.1f * c.g, 1e-3f);
        EXPECT_EQ(tipBlue, 0.0f);
    }
}

}  // namespace
