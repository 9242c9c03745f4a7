#include "scenes/web.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "assets/texture_bank.h"
#include "math/ease.h"
#include "math/random.h"
#include "platform/gl.h"
#include "render/vertex_batch.h"
#include "scenes/markers.h"
#include "scenes/sheet.h"

namespace ostravel {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kChainEnd = 135.0;
constexpr int kCablesPerPoint = 11;
constexpr int kCabledPoints = 3;

void vertex(VertexBatch& batch, double x, double y) {
    batch.vertex(static_cast<GLfloat>(x), static_cast<GLfloat>(y), 0.0f);
}

void chain(VertexBatch& batch, const FrameAnalysis& frame, double f) {
    const double limit = std::min(frame.cornerCount, 700) * f - 2.0;
    for (int q = 1; q < limit; q += q < 11 ? 1 : 5) {
        forEachConnectionSegment(pointX(frame, q), pointY(frame, q), pointX(frame, q + 1), pointY(frame, q + 1), 1,
                                 [&batch](int g, double x0, double y0, double x1, double y1) {
                                     colour(batch, 0.4, 0.6, 1.1);
                                     vertex(batch, x0, y0);
                                     vertex(batch, x1, y1);
                                     if (g % 4 != 0) return;
                                     // Cross-stroke through the segment's start, 0.1 to either side.
                                     const double dx = x1 - x0, dy = y1 - y0;
                                     const double length = std::sqrt(dx * dx + dy * dy);
                                     const double k = length < 1e-8 ? 0.0 : 0.1 / length;
                                     colour(batch, 0.2, 0.6, 0.7);
                                     vertex(batch, x0 - dy * k, y0 + dx * k);
                                     vertex(batch, x0 + dy * k, y0 - dx * k);
                                 });
    }
}

// Eleven cables from point n to cells of the credits sheet; a (0..1] grows them out from the point.
// The bands go first and the lines after them, so texturing is switched twice rather than per
// cable: with additive blending and no depth test the order does not change the picture.
void cables(VertexBatch& batch, const SceneTime& time, const FrameAnalysis& frame, int n, double a) {
    const double t = time.localTime;
    const double px = pointX(frame, n), py = pointY(frame, n);
    double dx[kCablesPerPoint], dy[kCablesPerPoint];
    for (int cable = 0; cable < kCablesPerPoint; ++cable) {
        const int gx = static_cast<int>(10.0 * random01() - 11.0);  // truncation towards zero
        const int gy = static_cast<int>(10.0 * random01() - 14.0);
        const Vec3 target = sheetPoint(t, gx, gy);
        dx[cable] = target.x - px;
        dy[cable] = target.y - py;
    }
    // The path: x moves linearly and y with s^3, so the cable leaves the point sideways and bends
    // up or down to the sheet.

    batch.flush();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    colour(batch, 0.2, 0.5, 1.0);
    for (int cable = 0; cable < kCablesPerPoint; cable += 2) {
        batch.begin(GL_QUAD_STRIP);
        for (int k = 0; k <= 20; ++k) {
            const double s = 0.05 * k * a;
            const double x = px + dx[cable] * s, y = py + dy[cable] * s * s * s;
            const double tx = dx[cable], ty = 3.0 * s * s * dy[cable];  // direction of the path here
            const double length = std::sqrt(tx * tx + ty * ty);
            const double side = length < 1e-8 ? 0.0 : 0.04 / length;
            // Continuous along the band (the texture repeats), scrolling at -1.2 a second; the same
            // whole number taken off every sample keeps the far edge's 0.2 within three repeats of
            // it, so the band stays a soft glow instead of dozens of repeats across a few pixels.
            const double v = 0.1 * k - 1.2 * t - std::floor(-1.2 * t);
            batch.texCoord(0.0f, static_cast<GLfloat>(v));
            vertex(batch, x - ty * side, y + tx * side);
            batch.texCoord(1.0f, 0.2f);
            vertex(batch, x + ty * side, y - tx * side);
        }
        batch.end();
    }
    batch.flush();
    glDisable(GL_TEXTURE_2D);

    colour(batch, 0.2, 0.3, 0.4);
    for (int cable = 0; cable < kCablesPerPoint; ++cable) {
        batch.begin(GL_LINE_STRIP);
        for (int k = 0; k <= 10; ++k) {
            const double s = 0.1 * k * a;
            vertex(batch, px + dx[cable] * s, py + dy[cable] * s * s * s);
        }
        batch.end();
    }
}

// Marker n with unwind factor r (1: complete, 0: gone): a pie, an arc (first ten points) and a
// ring (first eighteen), each drawn over the part of its circle that r leaves.
void marker(VertexBatch& batch, const SceneTime& time, const FrameAnalysis& frame, int n, double r) {
    seed(static_cast<uint32_t>(n + 5017));
    MarkerFrame m = MarkerFrame::at(pointX(frame, n), pointY(frame, n));
    const int b1 = nextRandom() % 2, b2 = nextRandom() % 2, b3 = nextRandom() % 2;
    colour(batch, b3, b2, b1);
    m.scale(n < 10 ? 0.23 * (6.0 + 0.2 * b3) : 0.23);

    const int corners = n < 10 ? 13 : 5;
    if (n >= 10) colour(batch, 1.0, 1.0, 1.0);
    batch.begin(GL_TRIANGLE_FAN);
    m.vertex(batch, 0.0, 0.0, b1);
    for (int i = static_cast<int>((1.0 - r) * corners); i < corners * r; ++i)
        m.polar(batch, 0.18 * r, i * kTwoPi / (corners - 1), b1);
    batch.end();

    if (n < 10) {
        batch.begin(GL_LINE_STRIP);
        for (int i = static_cast<int>((1.0 - r) * 18); i < 18 * r; ++i) m.polar(batch, 0.35 * r, i * kTwoPi / 17.0);
        batch.end();
    }

    random01();  // drawn for every marker, ring or not
    const double w = (0.5 * std::sin(12.0 * n + time.localTime) + 0.2) * r;
    if (n < 18) {
        batch.begin(GL_LINE_STRIP);
        for (int i = 0; i < 34 * r; ++i) m.polar(batch, w, i * kTwoPi / 33.0);
        batch.end();
    }
}

}  // namespace

void drawFeatureWeb(const SceneTime& time, const FrameAnalysis& frame, const TextureBank& textures, double /*s0*/,
                    double f) {
    if (f < 0.00001) return;
    const double t = time.localTime;

    glEnable(GL_BLEND);
    seed(5000);
    VertexBatch& batch = drawerBatch();
    batch.begin(GL_LINES);
    if (t <= kChainEnd) chain(batch, frame, f);
    batch.end();
    batch.flush();

    const double a = ramp(t, 9.0, 0.3) - ramp(t, 40.0, 0.3);
    const double points = std::min(frame.cornerCount, kMaxCorners) * f;
    if (points > 1.0) {
        // Every marker draws with these; nothing inside the loop changes them.
        glBlendFunc(GL_ONE, GL_ONE);
        glLineWidth(1.0f);
        if (a > 0.001) bindTexture(textures, time.textureSlotBase + kBlobTextureSlot);
    }
    for (int n = 1; n < points; ++n) {
        const double r = ease(1.0 - clamp01(0.7 * (t - kChainEnd - 0.3 * n)), 2.0);
        if (n <= kCabledPoints && a > 0.001) cables(batch, time, frame, n, a);
        marker(batch, time, frame, n, r);
    }
    batch.flush();

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_2D);
}

}  // namespace ostravel
