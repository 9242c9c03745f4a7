// The feature triangulation scene through real GL: feedback mode returns every triangle it sends
// down the pipeline with its colour.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "math/random.h"
#include "platform/gl.h"
#include "scenes/triangulation.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;

namespace {

struct FedTriangle {
    float x[3], y[3];
    float r, g, b;
};

// Window coordinates of an 800 x 600 viewport showing world x, y in -20 .. 20 and -15 .. 15.
float worldX(float wx) { return (wx + 20.0f) * 20.0f; }
float worldY(float wy) { return (wy + 15.0f) * 20.0f; }

template <typename Draw>
std::vector<FedTriangle> feedback(Draw draw) {
    std::vector<GLfloat> buffer(1 << 18);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0) << "feedback buffer overflow";
    std::vector<FedTriangle> out;
    for (GLint i = 0; i < used;) {
        if (buffer[i] != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected feedback token " << buffer[i];
            break;
        }
        EXPECT_EQ(buffer[i + 1], 3.0f);
        FedTriangle t{};
        for (int v = 0; v < 3; ++v) {
            const GLfloat* p = &buffer[i + 2 + v * 7];  // x, y, z, r, g, b, a
            t.x[v] = p[0], t.y[v] = p[1];
            t.r = p[3], t.g = p[4], t.b = p[5];
        }
        out.push_back(t);
        i += 2 + int(buffer[i + 1]) * 7;
    }
    return out;
}

class FeatureTriangulation : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ostravel::testing::ensureGLWindow());
        glViewport(0, 0, 800, 600);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-20, 20, -15, 15, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_CULL_FACE);
        glShadeModel(GL_SMOOTH);
    }
    std::unique_ptr<FrameAnalysis> frame = std::make_unique<FrameAnalysis>();
    std::unique_ptr<TriangulationBuffers> buffers = std::make_unique<TriangulationBuffers>();
};

// A tracked-point coordinate that maps (times 0.04, rounded to float) exactly onto `world`.
float pixelFor(float world) {
    float t = float(world / 0.04);
    for (int step = 0; float(t * 0.04) != world && step < 8; ++step)
        t = std::nextafter(t, float(t * 0.04) < world ? 1e9f : -1e9f);
    EXPECT_EQ(float(t * 0.04), world);
    return t;
}

}  // namespace

TEST_F(FeatureTriangulation, BelowTheThresholdDrawsAndTouchesNothing) {
    frame->cornerCount = 100;
    for (Vec3& v : buffers->vertices) v = makeVec3(1.5f, -2.5f, 3.5f, 9);
    const auto drawn = feedback([&] { drawFeatureTriangulation(*frame, *buffers, 0.000005); });
    EXPECT_TRUE(drawn.empty());
    for (const Vec3& v : buffers->vertices)
        ASSERT_TRUE(v.status == 9 && v.x == 1.5f && v.y == -2.5f && v.z == 3.5f);
}

// Which points take part: n = 0 .. while n < min(1500, f * cornerCount), then the four corners.
TEST_F(FeatureTriangulation, PointsTakingPart) {
    for (int n = 0; n < kMaxCorners; ++n)
        frame->trackedPoints[n] =
            makeVec3(float(n % 41) * 15.0f - 300.0f + float(n * 7 % 5) * 0.7f, float(n / 41) * 5.0f - 220.0f, 0.0f);
    struct Case {
        double f;
        int cornerCount;
        int32_t vertices;  // corners included
    } cases[] = {{1.0, 1650, 1504}, {1.0, 2000, 1504}, {0.5, 1650, 829}, {1.0, 1, 5}, {0.5, 1, 5}, {1.0, 0, 4}};
    for (const Case& c : cases) {
        frame->cornerCount = c.cornerCount;
        const auto drawn = feedback([&] { drawFeatureTriangulation(*frame, *buffers, c.f); });
        EXPECT_EQ(buffers->result, kDelaunayOk);
        ASSERT_EQ(buffers->vertexCount, c.vertices) << c.f << " x " << c.cornerCount;
        const Vec3* v = buffers->vertices.data() + buffers->firstVertex;
        const int tracked = c.vertices - 4;
        int corners = 0, beyond = 0;
        for (int k = 0; k < c.vertices; ++k) {
            if (std::fabs(v[k].x) == 15.0f && std::fabs(v[k].y) == 15.0f) ++corners;
            // Point n sits on row n / 41: rows past the last point taken must not appear.
            if (v[k].y > float((tracked - 1) / 41 * 5.0 - 220.0) * 0.04f + 1e-4f && std::fabs(v[k].y) != 15.0f) ++beyond;
        }
        EXPECT_EQ(corners, 4);
        EXPECT_EQ(beyond, 0);
        // With at most point 0 only the square's halves (|n| = 900) or its four quarters around
        // point 0 are left, and nothing is drawn.
        if (tracked <= 1) {
            EXPECT_TRUE(drawn.empty()) << c.f << " x " << c.cornerCount;
        }
    }
}

// |n| just below and at 2.47 (as close as float coordinates get): drawn or not, the colour from
// the one random value drawn after seed(5000), and no random value for a skipped triangle.
TEST_F(FeatureTriangulation, DrawsOnlySmallTrianglesWithOneRandomValueEach) {
    const float limit = 2.47f;  // the float nearest 2.47 lies just above it
    struct Case {
        float height;
        bool drawn;
    } cases[] = {{limit, false}, {std::nextafter(limit, 0.0f), true}};
    for (const Case& c : cases) {
        frame->cornerCount = 4;
        frame->trackedPoints[0] = makeVec3(-300.0f, 300.0f, 0.0f);  // (-12, 12): far from the rest
        frame->trackedPoints[1] = makeVec3(0.0f, 0.0f, 0.0f);
        frame->trackedPoints[2] = makeVec3(25.0f, 0.0f, 0.0f);     // (1, 0)
        frame->trackedPoints[3] = makeVec3(0.0f, pixelFor(c.height), 0.0f);
        const auto drawn = feedback([&] { drawFeatureTriangulation(*frame, *buffers, 1.0); });
        const uint32_t after = randomState();
        seed(5000);
        const double bright = c.drawn ? random01() * 0.1 + 0.1 / (double(c.height) + 0.03) : 0.0;
        EXPECT_EQ(after, randomState()) << "one random value per triangle drawn, height " << c.height;
        ASSERT_EQ(drawn.size(), c.drawn ? 1u : 0u) << "height " << c.height;
        if (!c.drawn) continue;
        const FedTriangle& t = drawn[0];
        EXPECT_NEAR(t.r, 0.25 * bright, 1e-6);
        EXPECT_NEAR(t.g, 0.5 * bright, 1e-6);
        EXPECT_NEAR(t.b, bright, 1e-6);
        float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
        for (int k = 0; k < 3; ++k)
            minX = std::min(minX, t.x[k]), maxX = std::max(maxX, t.x[k]), minY = std::min(minY, t.y[k]),
            maxY = std::max(maxY, t.y[k]);
        EXPECT_NEAR(minX, worldX(0.0f), 1e-3);
        EXPECT_NEAR(maxX, worldX(1.0f), 1e-3);
        EXPECT_NEAR(minY, worldY(0.0f), 1e-3);
        EXPECT_NEAR(maxY, worldY(c.height), 1e-3);
    }
}
