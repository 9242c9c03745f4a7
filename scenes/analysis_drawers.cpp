#include "scenes/analysis_drawers.h"

#include <algorithm>
#include <cmath>

#include "math/random.h"
#include "platform/gl.h"
#include "render/vertex_batch.h"

namespace ostravel {

namespace {

// Contour points are in half-size pixels: 12.5 of them to a world unit, the centre at the origin.
struct ContourMapping {
    int32_t qw, qh;
    explicit ContourMapping(const FrameAnalysis& frame)
        : qw((frame.videoWidth / 2) / 2), qh((frame.videoHeight / 2) / 2) {}
    Vec3 operator()(const ContourPoint& p) const {
        return scale(makeVec3(static_cast<float>(p.x - qw), static_cast<float>(p.y - qh), 0.0f), 0.08f);
    }
};

// Tracked points are centred full-size pixels: 25 to a world unit.
Vec3 mapTracked(const Vec3& p) { return scale(makeVec3(p.x, p.y, 0.0f), float(kTrackedPointScale)); }

void vertexAtZero(VertexBatch& batch, const Vec3& p) { batch.vertex(p.x, p.y, 0.0f); }

// Colours as glColor3d hands them to GL.
void colour(VertexBatch& batch, double r, double g, double b) { batch.colour(float(r), float(g), float(b)); }

// Point `index` of a contour read in order from its start. Reading past the end comes round to
// the start again, as the contour's circular block list does.
const ContourPoint& pointAt(std::span<const ContourPoint> contour, int64_t index) {
    return contour[static_cast<size_t>(index % static_cast<int64_t>(contour.size()))];
}

// Points 0, 1, 2, ... while 2k < f * points: at f = 1 the first half of the contour.
void emitLeadingHalf(VertexBatch& batch, std::span<const ContourPoint> contour, const ContourMapping& map, double f) {
    const double points = static_cast<double>(contour.size());
    for (int64_t k = 0; 2.0 * double(k) < f * points; ++k) vertexAtZero(batch, map(pointAt(contour, k)));
}

double distance(const Vec3& a, const Vec3& b) {
    const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

void descend(VertexBatch& batch, int i, const Vec3& p, double loX, double loY, double hiX, double hiY, int depth) {
    const auto vertex = [&batch](double x, double y) { batch.vertex(float(x), float(y), 0.0f); };
    for (;; ++depth) {
        if (depth >= 7) {
            batch.begin(GL_TRIANGLE_FAN);
            vertex(loX, loY);
            vertex(hiX, loY);
            vertex(hiX, hiY);
            vertex(loX, hiY);
            batch.end();
            return;
        }
        const double mx = (loX + hiX) * 0.5, my = (loY + hiY) * 0.5;
        const bool withTick = 1 <= i && i <= 3;
        if (withTick || (i >= 4 && depth >= 4)) {
            batch.begin(GL_LINES);
            vertex(mx, loY);
            vertex(mx, hiY);
            vertex(loX, my);
            vertex(hiX, my);
            if (withTick) {
                const double h = hiY - loY, tickX = (loX + hiX) * 0.25;
                vertex(tickX, loY + 0.1 * h);
                vertex(tickX, loY - 0.1 * h);
            }
            batch.end();
        }
        if (mx > p.x) hiX = mx; else loX = mx;
        if (my > p.y) hiY = my; else loY = my;
    }
}

}  // namespace

void drawContourFans(const FrameAnalysis& frame, double f, double pulse) {
    if (f < 0.001) return;
    VertexBatch& batch = drawerBatch();
    if (random01() < 0.02) colour(batch, 0.2, 0.0, 0.0);  // a rare red flash of the state left behind
    else colour(batch, 0.0, 0.0, 0.0);
    const ContourMapping map(frame);
    const ContourList& list = frame.contours;
    if (list.count() == 0) {
        batch.flush();
        return;
    }

    // Every contour's fan and every contour's strip draws with the same width and blending: set
    // once for each loop.
    glLineWidth(1.0f);
    glEnable(GL_BLEND);
    for (int k = 0; k < list.count(); ++k) {
        const auto contour = list.contour(k);
        colour(batch, 0.0, 0.059 * f, 0.09 * f * (1.0 + 0.3 * pulse));
        batch.begin(GL_TRIANGLE_FAN);
        if (contour.size() > 60 && f * double(contour.size()) > 0.0) emitLeadingHalf(batch, contour, map, f);
        batch.end();
    }
    batch.flush();
    glLineWidth(5.5f);
    for (int k = 0; k < list.count(); ++k) {
        const auto contour = list.contour(k);
        colour(batch, 0.03 * f, 0.21 * f, 0.21 * f);
        batch.begin(GL_LINE_STRIP);
        if (contour.size() > 150) emitLeadingHalf(batch, contour, map, f);
        batch.end();
    }
    batch.flush();
}

void drawContourShimmer(const FrameAnalysis& frame, double f) {
    const ContourList& list = frame.contours;
    if (f <= 0.0 || list.count() == 0) return;
    const ContourMapping map(frame);

    glEnable(GL_BLEND);
    VertexBatch& batch = drawerBatch();
    for (int k = 0; k < list.count(); ++k) {
        const auto contour = list.contour(k);
        const double points = static_cast<double>(contour.size());
        if ((k + 1) % 2 == 1) colour(batch, 0.3, 0.3, 0.6);  // contours numbered from 1: odd ones blue
        else colour(batch, 0.3, 0.6, 0.3);
        batch.begin(GL_LINE_STRIP);
        random01();  // advances the sequence only
        if (contour.size() > 270 && f * points > 0.0) {
            // Every 8th point (the 8th, 16th, ...), covering ~80 % of the contour at f = 1.
            int64_t read = 0;
            double m = 0.0;
            do {
                read += 8;
                Vec3 p = map(pointAt(contour, read - 1));
                p.x = static_cast<float>(p.x + random01() * 0.05);
                p.y = static_cast<float>(p.y + random01() * 0.05);
                vertexAtZero(batch, p);
                m += 10.0;
            } while (f * points > m);
        }
        batch.end();
    }
    batch.flush();
}

void reserveSplinePool(SplinePool& pool, int controlPoints) {
    for (Spline& spline : pool) spline.points.reserve(static_cast<size_t>(controlPoints));
}

void drawContourRibbons(const FrameAnalysis& frame, SplinePool& pool, double f) {
    for (Spline& s : pool) reset(s);
    const ContourList& list = frame.contours;
    if (f <= 0.0 || list.count() == 0) return;
    const ContourMapping map(frame);

    // Contour k takes spline k + 1: the pool's first spline stays unused, and contours beyond
    // the pool's end get no ribbon.
    const int ribbons = std::min(list.count(), kContourSplines - 1);
    if (ribbons > 0) glEnable(GL_BLEND);  // every ribbon and line draws blended
    VertexBatch& batch = drawerBatch();
    for (int k = 0; k < ribbons; ++k) {
        const auto contour = list.contour(k);
        Spline& s = pool[k + 1];
        const int64_t points = static_cast<int64_t>(contour.size());
        colour(batch, 0.1, 0.2, 0.5);
        random01();  // advances the sequence only
        if (contour.size() > 90) {
            // One control point per 6 points read while c counts 14 per point: ~43 % of the contour.
            int64_t c = 0, read = 0;
            do {
                read += 6;
                const Vec3 p = map(pointAt(contour, read - 1));
                c += 12;
                append(s, p);
                c += 2;
            } while (c < points);
            s.closed = false;

            colour(batch, 0.2, 0.3, 0.4);
            batch.begin(GL_QUAD_STRIP);
            Vec3 previous;
            for (int i = 0; i < 30.0 * f; ++i) {
                Vec3 p;
                evaluate(s, static_cast<float>(i * double(s.count) / 30.0), p);
                const double offsetY = random01() * 0.1 - 0.05;
                const double offsetX = random01() * 0.1 - 0.05;
                p.x = static_cast<float>(p.x + offsetX);
                p.y = static_cast<float>(p.y + offsetY);
                const double w = i == 0 ? 0.0 : 1.0 - distance(p, previous);
                colour(batch, 0.2 * w, 0.5 * w, 0.6 * w);
                vertexAtZero(batch, p);
                previous = p;
            }
            batch.end();

            colour(batch, 0.1, 0.3, 0.7);
            batch.begin(GL_LINE_STRIP);
            for (int i = 0; i < 100.0 * f; ++i) {
                Vec3 p;
                evaluate(s, static_cast<float>(i * double(s.count) / 100.0), p);
                vertexAtZero(batch, p);
            }
            batch.end();
        }
    }
    batch.flush();
}

void drawPointQuadtrees(const FrameAnalysis& frame, double f) {
    glEnable(GL_BLEND);
    seed(5000);
    glLineWidth(1.0f);
    glDisable(GL_TEXTURE_2D);
    glColor3d(0.1, 0.15, 0.2);
    // Point 0 is skipped; the fade decides how many of the others get their chain of boxes.
    VertexBatch& batch = drawerBatch();
    for (int i = 1; f * frame.cornerCount > i && i < kMaxCorners; ++i) {
        const Vec3 p = mapTracked(frame.trackedPoints[i]);
        descend(batch, i, p, -7.0, -7.0, 7.0, 7.0, i % 3);
    }
    batch.flush();
}

void drawPointSpikes(const FrameAnalysis& frame, double g) {
    VertexBatch& batch = drawerBatch();
    batch.begin(GL_TRIANGLES);
    if (g > 0.001) {
        const int limit = std::min(frame.cornerCount, kSpikePointLimit);
        for (int k = 0; k < limit; k += 3) {
            const Vec3 q = mapTracked(frame.trackedPoints[k]);
            colour(batch, 0.02 * g, 0.07 * g, 0.1 * g);
            batch.vertex(q.x, q.y, 0.0f);
            colour(batch, 0.0, 0.0, 0.0);
            batch.vertex(q.x, q.y, 5.0f);
            batch.vertex(q.x + 1.0f, q.y, 5.0f);
        }
    }
    batch.end();
    batch.flush();
}

}  // namespace ostravel
