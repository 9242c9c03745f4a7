// Feature marker scenes: overlays that label the tracked feature points like the read-out of an
// image-inspection system, with curved, dashed connections between points and a small animated
// marker on each point. The feature arcs (mode 0) and the feature fan (mode 2) live here, with the
// connection curve and the marker frame that the feature web (scenes/web.h) shares.
//
// Conventions
// - A tracked point n sits at P[n] = trackedPoints[n] * 0.04, z = 0 (25 video pixels per unit).
// - Marker geometry is given in the marker's own plane, a point at radius r and angle t lying at
//   (r sin t, r cos t): angle 0 points up, angles run clockwise on screen.
// - Both scenes draw with the blending and texture of the caller (additive, blob texture bound),
//   seed the one random sequence and take every draw of their layout, used or not, so that what
//   follows them sees the same sequence every frame.
// - The start fraction s0 (the sequencer always passes 0) changes nothing in either scene, nor does
//   the fan's f (always 1).
// - Markers are placed by a MarkerFrame computed here rather than by GL matrix calls: the result is
//   the same picture, but hundreds of markers need not each break the vertex stream.
// - Geometry goes through the drawers' VertexBatch (render/vertex_batch.h): a scene flushes it
//   before each GL state change and before it returns.
#pragma once

#include <cmath>
#include <numbers>

#include "analysis/frame_analysis.h"
#include "platform/gl.h"
#include "render/vertex_batch.h"
#include "scenes/scene_time.h"

namespace ostravel {

// Mode 0: dashed arcs between the first ten points and markers on the first twenty; f fades the
// arcs' brightness, the markers' size and how much of each small circle is drawn.
void drawFeatureArcs(const SceneTime& time, const FrameAnalysis& frame, double s0, double f);
// Mode 2: fanned connections with ticks, turning and tilting markers on every point and a glow
// sprite on every eighth point from point 56 on.
void drawFeatureFan(const SceneTime& time, const FrameAnalysis& frame, double s0, double f);

// ---- Shared with the feature web -------------------------------------------------------------

constexpr int kConnectionSegments = 15;

// Colours go to GL as floats, as every glColor3f of these scenes.
inline void colour(VertexBatch& batch, double r, double g, double b) {
    batch.colour(static_cast<GLfloat>(r), static_cast<GLfloat>(g), static_cast<GLfloat>(b));
}

inline double pointX(const FrameAnalysis& frame, int n) { return frame.trackedPoints[n].x * kTrackedPointScale; }
inline double pointY(const FrameAnalysis& frame, int n) { return frame.trackedPoints[n].y * kTrackedPointScale; }

// The connection from (ax, ay) to (bx, by): C(s) = (ax + (bx - ax) e(s), ay + (by - ay) s, 0) with
// e(s) = sin(pi s / 2)^p, so x eases while y moves linearly and the line bows sideways. Calls
// segment(g, x0, y0, x1, y1) for g = 0 .. 14, the segment from C(g / 15) to C((g + 1) / 15); the
// caller emits it (each one a separate line pair).
template <typename Segment>
void forEachConnectionSegment(double ax, double ay, double bx, double by, int p, Segment&& segment) {
    const double dx = bx - ax, dy = by - ay;
    double x0 = ax, y0 = ay;
    for (int g = 0; g < kConnectionSegments; ++g) {
        const double s = double(g + 1) / kConnectionSegments;
        const double e = std::pow(std::sin(std::numbers::pi * s / 2.0), p);
        const double x1 = ax + dx * e, y1 = ay + dy * s;
        segment(g, x0, y0, x1, y1);
        x0 = x1;
        y0 = y1;
    }
}

// Where a marker's own plane lands in the scene: GL's translate, scale and rotate composed on the
// CPU (the last call applies first to the vertices, as with the GL matrix stack).
struct MarkerFrame {
    // Rows of the 3 x 4 affine map: world = m[r][0..2] . local + m[r][3].
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    static MarkerFrame at(double x, double y) {
        MarkerFrame f;
        f.m[0][3] = x;
        f.m[1][3] = y;
        return f;
    }
    void scale(double s) {
        for (auto& row : m)
            for (int c = 0; c < 3; ++c) row[c] *= s;
    }
    // Rotation about z by the given degrees (glRotate(degrees, 0, 0, 1)).
    void turn(double degrees) { rotate(degrees, 0, 1); }
    // Rotation about y by the given degrees (glRotate(degrees, 0, 1, 0)).
    void tilt(double degrees) { rotate(degrees, 2, 0); }

    void vertex(VertexBatch& batch, double x, double y, double z = 0.0) const {
        batch.vertex(static_cast<GLfloat>(m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3]),
                     static_cast<GLfloat>(m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3]),
                     static_cast<GLfloat>(m[2][0] * x + m[2][1] * y + m[2][2] * z + m[2][3]));
    }
    // The marker-plane point at radius r and angle t (radians): (r sin t, r cos t, z).
    void polar(VertexBatch& batch, double r, double t, double z = 0.0) const {
        vertex(batch, r * std::sin(t), r * std::cos(t), z);
    }

private:
    // Right-multiplies by the rotation that takes axis a towards axis b (z: x to y; y: z to x).
    void rotate(double degrees, int a, int b) {
        const double t = degrees * std::numbers::pi / 180.0, c = std::cos(t), s = std::sin(t);
        for (auto& row : m) {
            const double ra = row[a], rb = row[b];
            row[a] = ra * c + rb * s;
            row[b] = rb * c - ra * s;
        }
    }
};

}  // namespace ostravel
