// The outline font's lists against FreeType's own outlines of the same face (Liberation Sans
// Bold, what "Arial" bold resolves to): advances, boxes, faces with their holes, closed side
// walls, and the coarse flattening. The lists are read back through real GL feedback.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_BBOX_H

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gl.h"
#include "render/outline_font.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;

namespace {

constexpr const char* kFacePath = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf";

using Polyline = std::vector<OutlinePoint>;

// FreeType's outline sampled finely (64 steps per curve), one closed polyline per contour.
struct FineSampler {
    std::vector<Polyline> contours;
    OutlinePoint pen;

    static OutlinePoint p(const FT_Vector* v) { return {double(v->x), double(v->y)}; }
    static int moveTo(const FT_Vector* to, void* u) {
        auto* s = static_cast<FineSampler*>(u);
        s->contours.push_back({p(to)});
        s->pen = p(to);
        return 0;
    }
    static int lineTo(const FT_Vector* to, void* u) {
        auto* s = static_cast<FineSampler*>(u);
        s->contours.back().push_back(s->pen = p(to));
        return 0;
    }
    static int conicTo(const FT_Vector* c, const FT_Vector* to, void* u) {
        auto* s = static_cast<FineSampler*>(u);
        const OutlinePoint a = s->pen, b = p(c), e = p(to);
        for (int i = 1; i <= 64; ++i) {
            const double t = i / 64.0, m = 1 - t;
            s->contours.back().push_back({m * m * a.x + 2 * m * t * b.x + t * t * e.x, m * m * a.y + 2 * m * t * b.y + t * t * e.y});
        }
        s->pen = e;
        return 0;
    }
    static int cubicTo(const FT_Vector*, const FT_Vector*, const FT_Vector*, void*) { return 1; }  // not in this face
};

double segmentDistance(OutlinePoint q, OutlinePoint a, OutlinePoint b) {
    const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
    const double t = l2 > 0 ? std::clamp(((q.x - a.x) * dx + (q.y - a.y) * dy) / l2, 0.0, 1.0) : 0.0;
    return std::hypot(q.x - a.x - t * dx, q.y - a.y - t * dy);
}

double distanceToPolylines(OutlinePoint q, const std::vector<Polyline>& lines, bool closed) {
    double best = 1e30;
    for (const Polyline& l : lines)
        for (size_t i = 0; i + (closed ? 0 : 1) < l.size(); ++i)
            best = std::min(best, segmentDistance(q, l[i], l[(i + 1) % l.size()]));
    return best;
}

double signedArea(const Polyline& l) {
    double a = 0;
    for (size_t i = 0; i < l.size(); ++i) a += l[i].x * l[(i + 1) % l.size()].y - l[(i + 1) % l.size()].x * l[i].y;
    return a / 2;
}

int winding(OutlinePoint q, const std::vector<Polyline>& contours) {
    int w = 0;
    for (const Polyline& l : contours)
        for (size_t i = 0; i < l.size(); ++i) {
            const OutlinePoint a = l[i], b = l[(i + 1) % l.size()];
            const double side = (b.x - a.x) * (q.y - a.y) - (q.x - a.x) * (b.y - a.y);
            if (a.y <= q.y && b.y > q.y && side > 0) ++w;
            if (a.y > q.y && b.y <= q.y && side < 0) --w;
        }
    return w;
}

struct FedPolygons {
    double frontArea = 0, backArea = 0;
    int front = 0, back = 0, sides = 0;
    double x0 = 1e30, x1 = -1e30, y0 = 1e30, y1 = -1e30;  // box of the front face, ems
};

// Draws list `list` top-down under an orthographic view of 400 pixels per em, depth mapping
// z = 0 to 0.5 and z = -0.1 to 0.55, and sorts what comes back by depth. Side walls are edge-on
// there and GL drops them: tilted, the glyph shows every polygon.
FedPolygons feedList(GLuint list, bool tilted = false) {
    std::vector<GLfloat> buffer(1 << 20);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.5, 1.5, -0.5, 1.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (tilted) glRotatef(40.0f, 1.0f, 0.3f, 0.0f);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    const GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0) << "feedback buffer too small";
    FedPolygons fed;
    for (GLint i = 0; i < used;) {
        if (buffer[i] != GL_POLYGON_TOKEN) {
            ADD_FAILURE() << "unexpected token " << buffer[i];
            break;
        }
        const int n = int(buffer[i + 1]);
        const GLfloat* v = &buffer[i + 2];
        double area = 0;
        bool front = true, back = true;
        for (int k = 0; k < n; ++k) {
            const GLfloat* a = v + 3 * k;
            const GLfloat* b = v + 3 * ((k + 1) % n);
            area += (a[0] * b[1] - b[0] * a[1]) / (400.0 * 400.0) / 2;
            front = front && std::fabs(a[2] - 0.5f) < 1e-5f;
            back = back && std::fabs(a[2] - 0.55f) < 1e-5f;
        }
        if (front) {
            ++fed.front, fed.frontArea += area;
            for (int k = 0; k < n; ++k) {
                const double x = v[3 * k] / 400.0 - 0.5, y = v[3 * k + 1] / 400.0 - 0.5;
                fed.x0 = std::min(fed.x0, x), fed.x1 = std::max(fed.x1, x);
                fed.y0 = std::min(fed.y0, y), fed.y1 = std::max(fed.y1, y);
            }
        } else if (back) {
            ++fed.back, fed.backArea += area;
        } else {
            ++fed.sides;
        }
        i += 2 + 3 * n;
    }
    return fed;
}

class OutlineFont : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ostravel::testing::ensureGLWindow());
        ASSERT_EQ(FT_Init_FreeType(&library), 0);
        ASSERT_EQ(FT_New_Face(library, kFacePath, 0, &face), 0);
        createOutlineFont(font_);
    }
    static void TearDownTestSuite() {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }
    static inline FT_Library library = nullptr;
    static inline FT_Face face = nullptr;
    static inline GlyphLists font_;
};

TEST_F(OutlineFont, EveryListMatchesFreeTypesGlyph) {
    const double em = face->units_per_EM;
    const double deviation = kGlyphDeviation;
    double coarsest = 0;  // the farthest FreeType's curve strays from our chords, design units
    int holes = 0;
    for (int c = 0; c < 256; ++c) {
        SCOPED_TRACE(c);
        const FT_UInt index = c < kGlyphCount ? FT_Get_Char_Index(face, c) : 0;
        ASSERT_EQ(FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING), 0);
        const double advance = index ? face->glyph->advance.x / em : 0.0;
        EXPECT_NEAR(font_.metrics[c].cellIncX, advance, 1e-6);

        // The list moves the pen by exactly the advance.
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glCallList(font_.base + c);
        GLfloat m[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_NEAR(m[12], advance, 1e-6);
        EXPECT_EQ(m[13], 0.0f);

        const FedPolygons fed = feedList(font_.base + c);
        if (!index || face->glyph->outline.n_contours == 0) {
            EXPECT_EQ(fed.front + fed.back + fed.sides, 0);
            continue;
        }
        FineSampler fine;
        FT_Outline_Funcs funcs{&FineSampler::moveTo, &FineSampler::lineTo, &FineSampler::conicTo,
                               &FineSampler::cubicTo, 0, 0};
        ASSERT_EQ(FT_Outline_Decompose(&face->glyph->outline, &funcs, &fine), 0);
        const std::vector<Polyline> coarse = flattenGlyph(freeTypeFontOutlines().glyph(c), deviation);

        // Flattening: our vertices lie on FreeType's curves, and its curves stay within the deviation.
        for (const Polyline& l : coarse)
            for (const OutlinePoint& q : l) EXPECT_LT(distanceToPolylines(q, fine.contours, true), 0.5);
        double stray = 0;
        for (const Polyline& l : fine.contours)
            for (const OutlinePoint& q : l) stray = std::max(stray, distanceToPolylines(q, coarse, true));
        EXPECT_LE(stray, deviation + 1e-6);
        coarsest = std::max(coarsest, stray);

        // The black box is FreeType's exact box, give or take the flattening.
        FT_BBox box;
        FT_Outline_Get_BBox(&face->glyph->outline, &box);
        const double slack = deviation / em;
        EXPECT_NEAR(fed.x0, box.xMin / em, slack);
        EXPECT_NEAR(fed.x1, box.xMax / em, slack);
        EXPECT_NEAR(fed.y0, box.yMin / em, slack);
        EXPECT_NEAR(fed.y1, box.yMax / em, slack);
        EXPECT_NEAR(font_.metrics[c].blackBoxX, fed.x1 - fed.x0, 1e-4);
        EXPECT_NEAR(font_.metrics[c].originY, fed.y1, 1e-4);

        // Front and back faces cover exactly the outline's area, holes left open; every triangle
        // of the front faces +z, every one of the back -z (GL reports the turn in window space).
        double net = 0, total = 0;
        for (const Polyline& l : coarse) net += signedArea(l), total += std::fabs(signedArea(l));
        net = std::fabs(net) / (em * em), total /= em * em;
        EXPECT_NEAR(fed.frontArea, net, 1e-4);
        EXPECT_NEAR(-fed.backArea, net, 1e-4);
        if (total - net > 0.01) ++holes;
        EXPECT_EQ(fed.front, fed.back);
        size_t edges = 0;
        for (const Polyline& l : coarse) edges += l.size();
        const FedPolygons tilted = feedList(font_.base + c, true);
        EXPECT_EQ(size_t(tilted.front + tilted.back + tilted.sides), size_t(fed.front + fed.back) + 2 * edges)
            << "one side quad per edge, fed back as two triangles";
    }
    EXPECT_GT(coarsest, 0.5 * deviation) << "curves should be flattened coarsely";
    EXPECT_GE(holes, 10);  // e.g. the bowls of B, e, o, a, 0, 8, 9, ...
}

// The walls join the front face's rim to the back face's, one quad per outline edge, each facing
// out of the letter.
TEST_F(OutlineFont, SideWallsCloseTheRimAndFaceOutwards) {
    FontOutlines& outlines = freeTypeFontOutlines();
    const double em = outlines.unitsPerEm();
    for (const char c : {'o', 'e', 'B', 'A', '8', 'i', ':'}) {
        SCOPED_TRACE(c);
        const GlyphOutline outline = outlines.glyph(uint32_t(c));
        const GlyphMesh mesh = buildGlyphMesh(outline, int(em), kGlyphDeviation, kGlyphExtrusion);
        const std::vector<Polyline> rim = flattenGlyph(outline, kGlyphDeviation);
        std::vector<std::pair<OutlinePoint, OutlinePoint>> edges;
        for (const Polyline& l : rim)
            for (size_t i = 0; i < l.size(); ++i) edges.push_back({l[i], l[(i + 1) % l.size()]});
        ASSERT_EQ(mesh.sides.size(), 4 * edges.size());
        ASSERT_EQ(mesh.sideNormals.size(), edges.size());
        for (size_t q = 0; q < edges.size(); ++q) {
            const GlyphVertex* v = &mesh.sides[4 * q];
            const auto [a, b] = edges[q];
            const GlyphVertex expected[4] = {{float(a.x / em), float(a.y / em), 0.0f},
                                             {float(b.x / em), float(b.y / em), 0.0f},
                                             {float(b.x / em), float(b.y / em), -0.1f},
                                             {float(a.x / em), float(a.y / em), -0.1f}};
            for (int k = 0; k < 4; ++k) {
                EXPECT_FLOAT_EQ(v[k].x, expected[k].x);
                EXPECT_FLOAT_EQ(v[k].y, expected[k].y);
                EXPECT_FLOAT_EQ(v[k].z, expected[k].z);
            }
            const GlyphVertex n = mesh.sideNormals[q];
            const OutlinePoint m{(a.x + b.x) / 2, (a.y + b.y) / 2};
            EXPECT_EQ(winding({m.x + 2 * n.x, m.y + 2 * n.y}, rim), 0);
            EXPECT_NE(winding({m.x - 2 * n.x, m.y - 2 * n.y}, rim), 0);
        }
    }
}

}  // namespace
