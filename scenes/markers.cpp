#include "scenes/markers.h"

#include <algorithm>

#include "math/ease.h"
#include "math/random.h"
#include "render/billboard.h"

namespace ostravel {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kMarkerScale = 0.23;
// The beat turns the markers: 0.0539 rad per unit of the summed beat envelope.
constexpr double kBeatTurn = 0.0539;

int bit(int value) { return value % 2; }

void line(VertexBatch& batch, double x0, double y0, double x1, double y1) {
    batch.vertex(static_cast<GLfloat>(x0), static_cast<GLfloat>(y0), 0.0f);
    batch.vertex(static_cast<GLfloat>(x1), static_cast<GLfloat>(y1), 0.0f);
}

// One marker of the feature arcs: five ticks, an outline, a filled polygon turning against it
// with the beat and five small circles that close as f reaches 1.
void arcMarker(VertexBatch& batch, const SceneTime& time, const FrameAnalysis& frame, int g, double f) {
    const int r1 = nextRandom(), r2 = nextRandom(), r3 = nextRandom();
    MarkerFrame m = MarkerFrame::at(pointX(frame, g), pointY(frame, g));
    if (g < 6) m.scale(3.0 + 0.2 * bit(r3));
    m.scale(f);
    m.scale(kMarkerScale);
    // The first colour (r3, r2, r1) and a fan holding only its centre come next; neither reaches a
    // vertex (the ticks set their own colour before drawing), so nothing is sent for them.
    (void)r1;
    (void)r2;

    const double spin = (0.8 * random01() - 0.4) * 4.0;  // radians per second
    const int c1 = nextRandom(), c2 = nextRandom(), c3 = nextRandom();
    colour(batch, 0.7 * bit(c3), 0.7 * bit(c2), 0.7 * bit(c1));
    const double a = spin * time.localTime - kBeatTurn * time.pulseSum;

    batch.begin(GL_LINES);
    for (int k = 0; k < 5; ++k) {
        const double angle = a + k * kTwoPi / 5.0;
        m.polar(batch, 0.4, angle);
        m.polar(batch, 0.9, angle);
    }
    batch.end();

    // An (n - 1)-sided outline; the strip's n-th vertex retraces its first edge.
    const int n = nextRandom() % 5 + 4;
    batch.begin(GL_LINE_STRIP);
    for (int i = 0; i < n; ++i) m.polar(batch, 0.4, a + (i + 0.5) * kTwoPi / (n - 1));
    batch.end();

    const double fill = spin * time.localTime + 0.13 * time.pulseSum;
    batch.begin(GL_TRIANGLE_FAN);
    m.vertex(batch, 0.0, 0.0);
    for (int i = 0; i < n; ++i) m.polar(batch, 0.34, fill + (i + 0.5) * kTwoPi / (n - 1));
    batch.end();

    const double circleTurn = -kBeatTurn * time.pulseSum;
    for (int k = 0; k < 5; ++k) {
        const double cx = std::sin(a + k * kTwoPi / 5.0), cy = std::cos(a + k * kTwoPi / 5.0);
        batch.begin(GL_LINE_STRIP);
        for (int i = 0; i < 21.0 * f; ++i) {
            const double theta = i * std::numbers::pi / 10.0 + circleTurn;
            m.vertex(batch, cx + 0.1 * std::sin(theta), cy + 0.1 * std::cos(theta));
        }
        batch.end();
    }
}

// One marker of the feature fan: a triangle that tilts over with a travelling wave (first six
// points), its outline, and a ring on the first ten points and every 45th.
void fanMarker(VertexBatch& batch, const SceneTime& time, const FrameAnalysis& frame, int g) {
    const double t = time.localTime;
    nextRandom();  // three draws of the layout whose values this marker does not use
    nextRandom();
    nextRandom();
    MarkerFrame m = MarkerFrame::at(pointX(frame, g), pointY(frame, g));
    if (g < 20) m.scale(6.0);
    const int r1 = nextRandom(), r2 = nextRandom(), r3 = nextRandom();
    const double z0 = bit(r1);
    double red = bit(r3), green = bit(r2), blue = bit(r1);
    m.scale(kMarkerScale);
    m.turn(random01() * t * 20.0);
    const double wave = std::pow(clamp01(1.1 * std::sin(2.5 * t + g)), 6.0);
    const double tilt = 180.0 * wave;
    if (tilt > 90.0) red = 0.0, green = 0.0, blue = 1.0;  // turned over: shows its blue back

    MarkerFrame outline = m;
    if (g < 6) {
        outline.tilt(tilt);
        colour(batch, red, green, blue);
        batch.begin(GL_TRIANGLE_FAN);
        outline.vertex(batch, 0.0, 0.0, z0);
        for (int k = 0; k < 4; ++k) outline.polar(batch, 0.3, k * kTwoPi / 3.0);
        batch.end();
    }
    colour(batch, 0.2, 0.3, 0.2);
    batch.begin(GL_LINE_STRIP);
    for (int k = 0; k < 4; ++k) outline.polar(batch, 0.35, k * kTwoPi / 3.0);
    batch.end();

    if (g < 18) colour(batch, 0.2, 0.3, 1.0);
    const double r = 0.2 * std::sin(12.0 * g + t) + 0.5;
    random01();  // drawn for every marker, ring or not
    if (g < 10 || g % 45 == 0) {
        batch.begin(GL_LINE_STRIP);
        for (int k = 0; k < 34; ++k) m.polar(batch, r, k * kTwoPi / 33.0, z0);
        batch.end();
    }
}

}  // namespace

void drawFeatureArcs(const SceneTime& time, const FrameAnalysis& frame, double /*s0*/, double f) {
    glEnable(GL_BLEND);
    seed(5000);
    glLineWidth(1.0f);
    VertexBatch& batch = drawerBatch();
    batch.begin(GL_LINES);
    const int linked = std::min(frame.cornerCount, 10) - 2;
    for (int h = 1; h <= 2; ++h) {
        for (int q = 0; q < linked; ++q) {
            forEachConnectionSegment(pointX(frame, q), pointY(frame, q), pointX(frame, q + h), pointY(frame, q + h), 1,
                                     [f, &batch](int g, double x0, double y0, double x1, double y1) {
                                         const double c = 0.6 * f * (g % 2);  // dashed: even segments black
                                         colour(batch, 0.7 * c, 0.8 * c, 1.1 * c);
                                         line(batch, x0, y0, x1, y1);
                                     });
        }
    }
    batch.end();

    seed(5000);
    const int markers = std::min(frame.cornerCount, 20);
    for (int g = 0; g < markers; ++g) arcMarker(batch, time, frame, g, f);
    batch.flush();
}

void drawFeatureFan(const SceneTime& time, const FrameAnalysis& frame, double /*s0*/,
                    double /*f*/) {
    glEnable(GL_BLEND);
    seed(5000);
    VertexBatch& batch = drawerBatch();
    batch.begin(GL_LINES);
    const int limit = std::min(frame.cornerCount, 170);
    for (int h = 0; h <= 2; ++h) {
        for (int q = 2; q < limit; q += q < 11 ? 1 : 8) {
            random01();  // one draw per connection, drawn or not
            // h = 0 joins a point to itself: zero-length segments and ticks, nothing to send.
            if (h == 0) continue;
            forEachConnectionSegment(pointX(frame, q), pointY(frame, q), pointX(frame, q - h), pointY(frame, q - h), 2,
                                     [&batch](int g, double x0, double y0, double x1, double y1) {
                                         colour(batch, 0.2, 0.2, 0.4);
                                         line(batch, x0, y0, x1, y1);
                                         // Tick: the segment's direction crossed with +z, 0.1 long,
                                         // alternating sides.
                                         const double dx = x1 - x0, dy = y1 - y0;
                                         const double length = std::sqrt(dx * dx + dy * dy);
                                         const double k = length < 1e-8 ? 0.0 : (g % 2 ? -0.1 : 0.1) / length;
                                         colour(batch, 0.2, 0.6, 0.7);
                                         line(batch, x0, y0, x0 + dy * k, y0 - dx * k);
                                     });
        }
    }
    batch.end();

    seed(5000);
    const int points = std::min(frame.cornerCount, kMaxCorners);
    for (int g = 0; g < points; ++g) fanMarker(batch, time, frame, g);
    batch.flush();

    // Glow sprites on every eighth point past 50.
    glEnable(GL_TEXTURE_2D);
    glColor3f(0.1f, 0.3f, 0.55f);
    for (int g = 56; g < points; g += 8) {
        glPushMatrix();
        glTranslatef(static_cast<GLfloat>(pointX(frame, g)), static_cast<GLfloat>(pointY(frame, g)), 0.0f);
        billboard(0.0, 0.5, 0.5);
        glPopMatrix();
    }
    glDisable(GL_TEXTURE_2D);
}

}  // namespace ostravel
