#include "render/outline_font.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <numbers>

#include "math/random.h"

namespace ostravel {

namespace {

// The face the lettering asks for: "Arial" at weight 700. The show's font request also names a
// cell height of 24 and an average width of 12; outlines come in ems whatever the height, and
// that width is within a few per cent of the face's own average, so neither is passed on.
constexpr const char* kFaceName = "Arial";
constexpr int kFaceWeight = 700;
constexpr int kMaxSubdivision = 16;  // halvings of one curve: far below a design unit

OutlinePoint mid(OutlinePoint a, OutlinePoint b) { return {(a.x + b.x) / 2.0, (a.y + b.y) / 2.0}; }

// Distance of q from the line through a and b (from a when the chord is a point).
double chordDistance(OutlinePoint q, OutlinePoint a, OutlinePoint b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    if (length < 1e-12) return std::hypot(q.x - a.x, q.y - a.y);
    return std::fabs(dx * (q.y - a.y) - dy * (q.x - a.x)) / length;
}

// A quadratic strays furthest from its chord at t = 1/2, by exactly half its control point's
// distance; splitting at t = 1/2 (de Casteljau) until that is within the deviation.
void flattenConic(OutlinePoint p0, OutlinePoint c, OutlinePoint p1, double deviation, int depth,
                  std::vector<OutlinePoint>& out) {
    if (depth >= kMaxSubdivision || chordDistance(c, p0, p1) / 2.0 <= deviation) {
        out.push_back(p1);
        return;
    }
    const OutlinePoint a = mid(p0, c), b = mid(c, p1), m = mid(a, b);
    flattenConic(p0, a, m, deviation, depth + 1, out);
    flattenConic(m, b, p1, deviation, depth + 1, out);
}

// A cubic stays within 3/4 of its farther control point's distance from the chord.
void flattenCubic(OutlinePoint p0, OutlinePoint c1, OutlinePoint c2, OutlinePoint p1, double deviation, int depth,
                  std::vector<OutlinePoint>& out) {
    const double bound = 0.75 * std::max(chordDistance(c1, p0, p1), chordDistance(c2, p0, p1));
    if (depth >= kMaxSubdivision || bound <= deviation) {
        out.push_back(p1);
        return;
    }
    const OutlinePoint a = mid(p0, c1), b = mid(c1, c2), c = mid(c2, p1);
    const OutlinePoint ab = mid(a, b), bc = mid(b, c), m = mid(ab, bc);
    flattenCubic(p0, a, ab, m, deviation, depth + 1, out);
    flattenCubic(m, bc, c, p1, deviation, depth + 1, out);
}

bool samePoint(OutlinePoint a, OutlinePoint b) { return a.x == b.x && a.y == b.y; }

// GLU tessellator output gathered as plain triangles.
struct Tessellation {
    std::vector<GlyphVertex>* triangles;
    double scale;
    std::deque<std::array<GLdouble, 3>> extra;  // vertices made where edges cross

    static void GLAPIENTRY begin(GLenum, void*) {}
    static void GLAPIENTRY edgeFlag(GLboolean, void*) {}  // registered so that only triangles come out
    static void GLAPIENTRY end(void*) {}
    static void GLAPIENTRY vertex(void* vertexData, void* user) {
        auto* self = static_cast<Tessellation*>(user);
        const GLdouble* v = static_cast<const GLdouble*>(vertexData);
        self->triangles->push_back({float(v[0] * self->scale), float(v[1] * self->scale), 0.0f});
    }
    static void GLAPIENTRY combine(GLdouble coords[3], void*[4], GLfloat[4], void** outData, void* user) {
        auto* self = static_cast<Tessellation*>(user);
        self->extra.push_back({coords[0], coords[1], coords[2]});
        *outData = self->extra.back().data();
    }
    static void GLAPIENTRY error(GLenum, void*) {}
};

void tessellateFront(const std::vector<std::vector<OutlinePoint>>& contours, double scale,
                     std::vector<GlyphVertex>& triangles) {
    std::vector<std::vector<std::array<GLdouble, 3>>> input;
    for (const auto& contour : contours) {
        input.emplace_back();
        for (const OutlinePoint& p : contour) input.back().push_back({p.x, p.y, 0.0});
    }
    Tessellation tess{&triangles, scale, {}};
    GLUtesselator* t = gluNewTess();
    if (!t) return;
    using Callback = _GLUfuncptr;
    gluTessCallback(t, GLU_TESS_BEGIN_DATA, reinterpret_cast<Callback>(&Tessellation::begin));
    gluTessCallback(t, GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<Callback>(&Tessellation::edgeFlag));
    gluTessCallback(t, GLU_TESS_VERTEX_DATA, reinterpret_cast<Callback>(&Tessellation::vertex));
    gluTessCallback(t, GLU_TESS_END_DATA, reinterpret_cast<Callback>(&Tessellation::end));
    gluTessCallback(t, GLU_TESS_COMBINE_DATA, reinterpret_cast<Callback>(&Tessellation::combine));
    gluTessCallback(t, GLU_TESS_ERROR_DATA, reinterpret_cast<Callback>(&Tessellation::error));
    gluTessProperty(t, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(t, 0.0, 0.0, 1.0);  // output triangles counter-clockwise seen from +z
    gluTessBeginPolygon(t, &tess);
    for (auto& contour : input) {
        gluTessBeginContour(t);
        for (auto& v : contour) gluTessVertex(t, v.data(), v.data());
        gluTessEndContour(t);
    }
    gluTessEndPolygon(t);
    gluDeleteTess(t);
}

void emitVertices(const std::vector<GlyphVertex>& vertices) {
    for (const GlyphVertex& v : vertices) glVertex3f(v.x, v.y, v.z);
}

// One triangle list per glyph, the side quads split in two. Mesa 22.3 leaves out quads that
// follow triangles in a compiled list when it replays the list in feedback mode (it renders them
// fine); with one primitive type the lists read back whole, and replay as one draw.
void compileGlyph(const GlyphMesh& mesh) {
    glBegin(GL_TRIANGLES);
    glNormal3f(0.0f, 0.0f, 1.0f);
    emitVertices(mesh.front);
    glNormal3f(0.0f, 0.0f, -1.0f);
    emitVertices(mesh.back);
    for (size_t q = 0; q < mesh.sideNormals.size(); ++q) {
        const GlyphVertex& n = mesh.sideNormals[q];
        glNormal3f(n.x, n.y, n.z);
        const GlyphVertex* v = &mesh.sides[4 * q];
        for (int k : {0, 1, 2, 0, 2, 3}) glVertex3f(v[k].x, v[k].y, v[k].z);
    }
    glEnd();
    glTranslatef(mesh.metrics.cellIncX, 0.0f, 0.0f);
}

}  // namespace

std::vector<std::vector<OutlinePoint>> flattenGlyph(const GlyphOutline& outline, double deviation) {
    std::vector<std::vector<OutlinePoint>> contours;
    for (const OutlineContour& contour : outline.contours) {
        std::vector<OutlinePoint> points{contour.start};
        OutlinePoint pen = contour.start;
        for (const OutlineSegment& segment : contour.segments) {
            switch (segment.kind) {
            case OutlineSegment::Kind::Line: points.push_back(segment.to); break;
            case OutlineSegment::Kind::Conic: flattenConic(pen, segment.control1, segment.to, deviation, 0, points); break;
            case OutlineSegment::Kind::Cubic:
                flattenCubic(pen, segment.control1, segment.control2, segment.to, deviation, 0, points);
                break;
            }
            pen = segment.to;
        }
        // Repeated points would give zero-length side walls; the closing point repeats the start.
        std::vector<OutlinePoint> clean;
        for (const OutlinePoint& p : points)
            if (clean.empty() || !samePoint(clean.back(), p)) clean.push_back(p);
        while (clean.size() > 1 && samePoint(clean.back(), clean.front())) clean.pop_back();
        if (clean.size() < 3) continue;
        if (!outline.filledOnRight) std::reverse(clean.begin(), clean.end());
        contours.push_back(std::move(clean));
    }
    return contours;
}

GlyphMesh buildGlyphMesh(const GlyphOutline& outline, int unitsPerEm, double deviation, double extrusion) {
    GlyphMesh mesh;
    if (!outline.present || unitsPerEm <= 0) return mesh;
    const double scale = 1.0 / unitsPerEm;
    const float depth = float(-extrusion);
    mesh.metrics.cellIncX = float(outline.advance * scale);

    const auto contours = flattenGlyph(outline, deviation);
    if (contours.empty()) return mesh;

    double x0 = contours[0][0].x, x1 = x0, y0 = contours[0][0].y, y1 = y0;
    for (const auto& contour : contours)
        for (const OutlinePoint& p : contour) {
            x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
        }
    mesh.metrics.blackBoxX = float((x1 - x0) * scale);
    mesh.metrics.blackBoxY = float((y1 - y0) * scale);
    mesh.metrics.originX = float(x0 * scale);
    mesh.metrics.originY = float(y1 * scale);

    tessellateFront(contours, scale, mesh.front);
    // The back face is the front one moved back and turned over.
    for (size_t i = 0; i + 2 < mesh.front.size(); i += 3) {
        for (size_t k : {size_t(0), size_t(2), size_t(1)}) {
            GlyphVertex v = mesh.front[i + k];
            v.z = depth;
            mesh.back.push_back(v);
        }
    }
    // Side walls: with the filled area on the right of each edge p -> q, outward is its left.
    for (const auto& contour : contours) {
        for (size_t i = 0; i < contour.size(); ++i) {
            const OutlinePoint p = contour[i], q = contour[(i + 1) % contour.size()];
            const double dx = q.x - p.x, dy = q.y - p.y, length = std::hypot(dx, dy);
            mesh.sideNormals.push_back({float(-dy / length), float(dx / length), 0.0f});
            const float px = float(p.x * scale), py = float(p.y * scale);
            const float qx = float(q.x * scale), qy = float(q.y * scale);
            mesh.sides.insert(mesh.sides.end(), {{px, py, 0.0f}, {qx, qy, 0.0f}, {qx, qy, depth}, {px, py, depth}});
        }
    }
    return mesh;
}

void createOutlineFont(GlyphLists& font) { createOutlineFont(font, freeTypeFontOutlines()); }

void createOutlineFont(GlyphLists& font, FontOutlines& outlines) {
    font = GlyphLists{};
    font.base = glGenLists(256);
    const int unitsPerEm = outlines.open(kFaceName, kFaceWeight) ? outlines.unitsPerEm() : 0;
    for (int c = 0; c < kGlyphCount; ++c) {
        const GlyphMesh mesh =
            unitsPerEm > 0 ? buildGlyphMesh(outlines.glyph(uint32_t(c)), unitsPerEm, kGlyphDeviation, kGlyphExtrusion)
                           : GlyphMesh{};
        font.metrics[c] = mesh.metrics;
        glNewList(font.base + GLuint(c), GL_COMPILE);
        compileGlyph(mesh);
        glEndList();
    }
}

void printText(const GlyphLists& font, double appearance, const char* format, ...) {
    if (appearance < 0.0001 || !format) return;
    glPushMatrix();

    char text[260];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    const size_t n = std::strlen(text);

    double width = 0.0;
    for (size_t i = 0; i < n; ++i) width += font.metrics[static_cast<unsigned char>(text[i])].cellIncX;

    // Half-cosine slide from 5 units right of the centred place to it.
    const double t = std::clamp(appearance * 0.3, 0.0, 1.0);
    glTranslatef(float(5.0 - width * 0.5 - 5.0 * (1.0 - (std::cos(std::numbers::pi * t) + 1.0) / 2.0)), 0.0f, 0.0f);
    glTranslatef(float(double(n) * 0.03), 0.0f, 0.0f);

    glPushAttrib(GL_LIST_BIT);
    glListBase(font.base);
    for (size_t i = 0; i < n; ++i) {
        double s = appearance * (1.0 + nextRandom() / 32767.0);
        s = std::clamp(s - 3.0 * nextRandom() / 32767.0, 0.0, 1.0);
        nextRandom();  // every character takes four values, drawn or not
        nextRandom();
        if (s > 0.001) {
            const float f = float(s);
            glPushAttrib(GL_ALL_ATTRIB_BITS);
            glScalef(f, f, f);
            glCallLists(1, GL_UNSIGNED_BYTE, &text[i]);
            glScalef(1.0f / f, 1.0f / f, 1.0f / f);
            glPopAttrib();
            glTranslatef(-0.01f, 0.0f, 0.0f);
        }
    }
    glPopAttrib();
    glPopMatrix();
}

}  // namespace ostravel
