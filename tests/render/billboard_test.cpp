// Billboards through real GL: feedback mode returns the window coordinates and texture
// coordinates of what each routine really sends down the pipeline.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gl.h"
#include "render/billboard.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;

namespace {

struct FedVertex {
    float x, y, z, s, t;
};

// Runs draw in feedback mode; returns the distinct vertices of everything drawn (GL may split a
// quad into triangles), as one list per draw.
template <typename Draw>
std::vector<std::vector<FedVertex>> feedback(Draw draw) {
    std::vector<GLfloat> buffer(4096);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    std::vector<std::vector<FedVertex>> polygons;
    // Each vertex: x, y, z, r, g, b, a, s, t, r, q.
    for (GLint i = 0; i < used;) {
        if (buffer[i] == GL_POLYGON_TOKEN) {
            const int n = int(buffer[i + 1]);
            if (polygons.empty()) polygons.emplace_back();
            for (int v = 0; v < n; ++v) {
                const GLfloat* p = &buffer[i + 2 + v * 11];
                const FedVertex vertex{p[0], p[1], p[2], p[7] / p[10], p[8] / p[10]};
                bool seen = false;
                for (const FedVertex& known : polygons[0])
                    seen = seen || (std::fabs(known.x - vertex.x) < 1e-3f && std::fabs(known.y - vertex.y) < 1e-3f);
                if (!seen) polygons[0].push_back(vertex);
            }
            i += 2 + n * 11;
        } else {
            ++i;
        }
    }
    return polygons;
}

class Billboards : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ostravel::testing::ensureGLWindow());
        glViewport(0, 0, 800, 600);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(45.0, 800.0 / 600.0, 0.1, 100.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_CULL_FACE);
    }
};

// The vertex drawn with texture coordinate (s, t).
FedVertex at(const std::vector<FedVertex>& polygon, float s, float t) {
    for (const FedVertex& v : polygon)
        if (std::fabs(v.s - s) < 1e-6f && std::fabs(v.t - t) < 1e-6f) return v;
    ADD_FAILURE() << "no vertex with texture coordinate " << s << ", " << t;
    return {};
}

// Corners of the polygon as a bounding box in window pixels.
struct Box {
    float minX = 1e9f, minY = 1e9f, maxX = -1e9f, maxY = -1e9f;
};
Box boxOf(const std::vector<FedVertex>& polygon) {
    Box b;
    for (const FedVertex& v : polygon) {
        b.minX = std::min(b.minX, v.x), b.maxX = std::max(b.maxX, v.x);
        b.minY = std::min(b.minY, v.y), b.maxY = std::max(b.maxY, v.y);
    }
    return b;
}

}  // namespace

TEST(CropTable, RegionsOfTheScreenCopy) {
    EXPECT_EQ(cropRange(512, 1).s, 1.0);
    EXPECT_EQ(cropRange(800, 1).s, 0.625);
    EXPECT_EQ(cropRange(800, 1).t, 0.46875);
    EXPECT_EQ(cropRange(800, 2).s, 0.78125);
    EXPECT_EQ(cropRange(800, 2).t, 0.5859375);
    EXPECT_EQ(cropRange(640, 3).s, 0.3125);
    EXPECT_EQ(cropRange(640, 3).t, 0.234375);
    EXPECT_EQ(cropRange(640, -1).s, 0.625);
    EXPECT_EQ(cropRange(800, -1).t, 0.5859375);
    EXPECT_EQ(cropRange(1024, -1).s, 1.0);
    EXPECT_EQ(cropRange(800, 0).s, 1.0);
    EXPECT_EQ(cropRange(800, 7).t, 1.0);
}

TEST_F(Billboards, FacesTheScreenAtTheTransformedOrigin) {
    gluLookAt(3.0, 2.0, 4.0, 0.0, 0.0, 0.0, 0.2, 1.0, 0.1);
    glTranslatef(0.5f, -0.25f, 0.0f);
    glRotatef(33.0f, 1.0f, 1.0f, 0.0f);
    glScalef(3.0f, 3.0f, 3.0f);
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble ox, oy, oz;
    gluProject(0, 0, 0, model, projection, viewport, &ox, &oy, &oz);

    const auto polygons = feedback([] { billboard(0.0, 0.5, 0.25); });
    ASSERT_EQ(polygons.size(), 1u);
    ASSERT_EQ(polygons[0].size(), 4u);
    const Box b = boxOf(polygons[0]);
    EXPECT_NEAR((b.minX + b.maxX) / 2, ox, 0.05);
    EXPECT_NEAR((b.minY + b.maxY) / 2, oy, 0.05);
    // Screen-aligned: each corner sits on the box, and width : height = 2 : 1 (scales 0.5, 0.25).
    for (const FedVertex& v : polygons[0]) {
        EXPECT_TRUE(std::fabs(v.x - b.minX) < 0.05 || std::fabs(v.x - b.maxX) < 0.05);
        EXPECT_TRUE(std::fabs(v.y - b.minY) < 0.05 || std::fabs(v.y - b.maxY) < 0.05);
        EXPECT_NEAR(v.z, polygons[0][0].z, 1e-6) << "flattened in depth";
    }
    EXPECT_NEAR((b.maxX - b.minX) / (b.maxY - b.minY), 2.0, 0.01);
    EXPECT_NEAR(at(polygons[0], 0, 0).x, b.minX, 0.05);
    EXPECT_NEAR(at(polygons[0], 1, 1).y, b.maxY, 0.05);
}

TEST_F(Billboards, CropAndQuarterCoordinates) {
    glTranslatef(0.0f, 0.0f, -5.0f);
    glPushMatrix();
    auto crop = feedback([] { cropBillboard(800, 2, 0.0, 1.0, 1.0); });
    glPopMatrix();
    ASSERT_EQ(crop.size(), 1u);
    ASSERT_EQ(crop[0].size(), 4u);
    at(crop[0], 0.78125f, 0.5859375f);
    at(crop[0], 0.0f, 0.5859375f);
    glPushMatrix();
    crop = feedback([] { cropBillboard(800, 1, 0.0, 1.0, 1.0); });
    glPopMatrix();
    at(crop[0], 0.625f, 0.46875f);
    at(crop[0], 0.625f, 0.0f);

    glPushMatrix();
    const auto quarter = feedback([] { quarterBillboard(3, 1.0, 1.0); });
    glPopMatrix();
    ASSERT_EQ(quarter.size(), 1u);
    const Box q = boxOf(quarter[0]);
    EXPECT_NEAR(at(quarter[0], 0.5f, 0.5f).x, q.minX, 0.05);
    EXPECT_NEAR(at(quarter[0], 1.0f, 1.0f).y, q.maxY, 0.05);
    glPushMatrix();
    EXPECT_TRUE(feedback([] { quarterBillboard(4, 1.0, 1.0); }).empty());
    glPopMatrix();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << "the empty primitive is still well formed";
}

TEST_F(Billboards, RotationAndMirroring) {
    glTranslatef(0.0f, 0.0f, -5.0f);
    glPushMatrix();
    const auto turned = feedback([] { billboard(90.0, 1.0, 0.5); });
    glPopMatrix();
    const Box b = boxOf(turned[0]);
    // Rotated a quarter turn about the view axis before the scale: the texture's origin corner
    // moves to the lower right, and the quad keeps its 2 : 1 shape.
    EXPECT_NEAR(at(turned[0], 0, 0).x, b.maxX, 0.05);
    EXPECT_NEAR(at(turned[0], 0, 0).y, b.minY, 0.05);
    EXPECT_NEAR((b.maxX - b.minX) / (b.maxY - b.minY), 2.0, 0.01);
    glPushMatrix();
    const auto mirrored = feedback([] { billboard(0.0, -1.0, 1.0); });
    glPopMatrix();
    EXPECT_GT(at(mirrored[0], 0, 0).x, at(mirrored[0], 1, 0).x) << "negative scale x mirrors the image";
}

TEST_F(Billboards, QuadAroundAPoint) {
    glTranslatef(0.0f, 0.0f, -5.0f);
    const auto polygons = feedback([] {
        glBegin(GL_QUADS);
        quadAround(makeVec3(1.0f, 0.5f, -1.0f, 0), 0.25, 0.125);
        glEnd();
    });
    ASSERT_EQ(polygons.size(), 1u);
    GLdouble model[16], projection[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble x, y, z;
    gluProject(0.75, 0.375, -1.0, model, projection, viewport, &x, &y, &z);
    EXPECT_NEAR(at(polygons[0], 0, 0).x, x, 0.05);
    EXPECT_NEAR(at(polygons[0], 0, 0).y, y, 0.05);
    gluProject(1.25, 0.625, -1.0, model, projection, viewport, &x, &y, &z);
    EXPECT_NEAR(at(polygons[0], 1, 1).x, x, 0.05);
    EXPECT_NEAR(at(polygons[0], 1, 1).y, y, 0.05);
}
