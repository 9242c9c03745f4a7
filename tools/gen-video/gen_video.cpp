// gen-video: renders the show's video "textures/try1.avi": four procedural shots seen by the
// analysis (corners, edges, contours) and, near the end, shown as the blue-channel mosaic.
//
// Format: 384 x 288, 24 frames per second, Motion-JPEG in AVI written here with libjpeg-turbo
// (every frame a key frame, so seeking by frame number is exact), kFrameCount frames.
// Shots, with hard cuts where the analysis darkens the picture (frames 449, 985, 2207):
//   0..448     night town: a flight over towers with lit window grids under a full moon
//   449..984   steelworks at dusk: a drive along the works road past lamps, a riveted pipe rack
//              and sheds with lit windows, the gas holder, furnace, stacks and masts behind
//   985..2206  hall of solids: chequered floor to the horizon, slowly turning polyhedra and rings
//   2207..end  tunnel of frames: a flight through turning frames towards a light (the mosaic)
// The show plays the video from 50 s at 24 frames per second and slows it from 177 s; it
// reaches about frame 3160 by the end, so the fourth shot runs to kFrameCount without wrapping.
// Grey matters most: the analysis converts with the red and blue weights swapped (code 7 on a
// BGR frame), so bright parts are bright in green and blue. Frame 0 is analysed alone for the
// first 50 s and carries the densest corner field.
//
// Renderer: a painter's-algorithm polygon renderer on OpenCV's anti-aliased 2-D primitives:
// world polygons and lines are clipped at the near plane, projected, sorted far to near and
// filled flat-shaded with distance fog. Deterministic: a local generator with fixed seeds.

#include "tools/content/content_random.h"
#include "tools/gen-video/video_plan.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using ostravel::videoplan::kCuts;
using ostravel::videoplan::kFps;
using ostravel::videoplan::kFrameCount;
using ostravel::videoplan::kHeight;
using ostravel::videoplan::kWidth;
constexpr int kShift = 4;  // sub-pixel bits for OpenCV's fixed-point drawing
constexpr double kSub = 1 << kShift;

using ostravel::content::Rng;
using ostravel::content::clamp01;

// [SECTION] vectors and camera ---------------------------------------------------------------

struct V3 {
    double x = 0, y = 0, z = 0;
};
V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 unit(V3 a) {
    const double l = std::sqrt(dot(a, a));
    return l > 0 ? a * (1 / l) : a;
}
V3 rotateY(V3 p, double a) { return {p.x * std::cos(a) + p.z * std::sin(a), p.y, -p.x * std::sin(a) + p.z * std::cos(a)}; }
V3 rotateX(V3 p, double a) { return {p.x, p.y * std::cos(a) - p.z * std::sin(a), p.y * std::sin(a) + p.z * std::cos(a)}; }
V3 rotateZ(V3 p, double a) { return {p.x * std::cos(a) - p.y * std::sin(a), p.x * std::sin(a) + p.y * std::cos(a), p.z}; }

// Right-handed world, y up; the camera looks along `forward`; view space x right, y up, z ahead.
struct Camera {
    V3 eye, right, up, forward;
    double focal;  // pixels
    double nearZ = 0.2;
};

Camera lookAt(V3 eye, V3 target, double fovDegrees, double roll = 0) {
    Camera c;
    c.eye = eye;
    c.forward = unit(target - eye);
    V3 worldUp{std::sin(roll), std::cos(roll), 0};
    c.right = unit(cross(c.forward, worldUp));
    c.up = cross(c.right, c.forward);
    c.focal = (kWidth / 2.0) / std::tan(fovDegrees * M_PI / 360);
    return c;
}

V3 toView(const Camera& c, V3 p) {
    const V3 d = p - c.eye;
    return {dot(d, c.right), dot(d, c.up), dot(d, c.forward)};
}

// [SECTION] draw list ------------------------------------------------------------------------

struct Item {
    double depth;
    std::vector<cv::Point> points;  // fixed point, kShift bits
    cv::Scalar colour;
    int thickness;  // 0 = filled polygon
};

struct Fog {
    cv::Scalar colour;
    double start, end;
    double at(double z) const { return clamp01((z - start) / (end - start)); }
};

class Scene {
public:
    Scene(const Camera& camera, const Fog& fog) : camera_(camera), fog_(fog) {}

    // A flat polygon; `twoSided` false drops it when it faces away from the camera.
    void polygon(const std::vector<V3>& world, cv::Scalar colour, bool twoSided = false) {
        std::vector<V3> view;
        view.reserve(world.size());
        for (const V3& p : world) view.push_back(toView(camera_, p));
        clipNear(view);
        if (view.size() < 3) return;
        std::vector<cv::Point> pts;
        double depth = 0;
        for (const V3& v : view) {
            pts.push_back(project(v));
            depth = std::max(depth, v.z);
        }
        if (!twoSided && signedArea(pts) >= 0) return;
        if (!onScreen(pts)) return;
        double mean = 0;
        for (const V3& v : view) mean += v.z;
        mean /= view.size();
        items_.push_back({0.5 * (mean + depth), std::move(pts), fogged(colour, mean), 0});
    }

    void line(V3 a, V3 b, cv::Scalar colour, int thickness) {
        V3 va = toView(camera_, a), vb = toView(camera_, b);
        const double n = camera_.nearZ;
        if (va.z < n && vb.z < n) return;
        if (va.z < n) va = va + (vb - va) * ((n - va.z) / (vb.z - va.z));
        if (vb.z < n) vb = vb + (va - vb) * ((n - vb.z) / (va.z - vb.z));
        std::vector<cv::Point> pts = {project(va), project(vb)};
        if (!onScreen(pts)) return;
        const double mid = 0.5 * (va.z + vb.z);
        items_.push_back({mid, std::move(pts), fogged(colour, mid), thickness});
    }

    // Projected size in pixels of a length `size` at the distance of `p` (0 behind the camera).
    double pixels(V3 p, double size) const {
        const double z = toView(camera_, p).z;
        return z > camera_.nearZ ? size * camera_.focal / z : 0;
    }

    void render(cv::Mat& img) {
        std::stable_sort(items_.begin(), items_.end(), [](const Item& a, const Item& b) { return a.depth > b.depth; });
        for (const Item& it : items_) {
            if (it.thickness == 0) {
                cv::fillPoly(img, std::vector<std::vector<cv::Point>>{it.points}, it.colour, cv::LINE_AA, kShift);
            } else {
                cv::line(img, it.points[0], it.points[1], it.colour, it.thickness, cv::LINE_AA, kShift);
            }
        }
        items_.clear();
    }

    const Camera& camera() const { return camera_; }

private:
    cv::Point project(const V3& v) const {
        const double sx = kWidth / 2.0 + camera_.focal * v.x / v.z;
        const double sy = kHeight / 2.0 - camera_.focal * v.y / v.z;
        return cv::Point(static_cast<int>(std::lround(std::clamp(sx, -4000.0, 4000.0) * kSub)),
                         static_cast<int>(std::lround(std::clamp(sy, -4000.0, 4000.0) * kSub)));
    }
    static double signedArea(const std::vector<cv::Point>& p) {
        double a = 0;
        for (size_t i = 0; i < p.size(); ++i) {
            const cv::Point& q = p[i];
            const cv::Point& r = p[(i + 1) % p.size()];
            a += double(q.x) * r.y - double(r.x) * q.y;
        }
        return a;
    }
    static bool onScreen(const std::vector<cv::Point>& p) {
        int x0 = INT32_MAX, x1 = INT32_MIN, y0 = INT32_MAX, y1 = INT32_MIN;
        for (const cv::Point& q : p) {
            x0 = std::min(x0, q.x); x1 = std::max(x1, q.x);
            y0 = std::min(y0, q.y); y1 = std::max(y1, q.y);
        }
        return x1 >= 0 && y1 >= 0 && x0 < kWidth * kSub && y0 < kHeight * kSub;
    }
    // Sutherland-Hodgman against the near plane z = nearZ.
    void clipNear(std::vector<V3>& poly) const {
        const double n = camera_.nearZ;
        bool all = true;
        for (const V3& v : poly) all = all && v.z >= n;
        if (all) return;
        std::vector<V3> out;
        for (size_t i = 0; i < poly.size(); ++i) {
            const V3 a = poly[i], b = poly[(i + 1) % poly.size()];
            if (a.z >= n) out.push_back(a);
            if ((a.z >= n) != (b.z >= n)) out.push_back(a + (b - a) * ((n - a.z) / (b.z - a.z)));
        }
        poly = std::move(out);
    }
    cv::Scalar fogged(cv::Scalar c, double z) const {
        const double f = fog_.at(z);
        return c * (1 - f) + fog_.colour * f;
    }

    Camera camera_;
    Fog fog_;
    std::vector<Item> items_;
};

cv::Scalar rgb(double r, double g, double b) { return cv::Scalar(b * 255, g * 255, r * 255); }

// Lambert shading of a base colour for a face normal.
cv::Scalar lit(cv::Scalar base, V3 normal, V3 light, double ambient) {
    return base * (ambient + (1 - ambient) * std::max(0.0, dot(unit(normal), light)));
}

// A box's side faces and roof, counter-clockwise seen from outside.
void box(Scene& s, V3 lo, V3 hi, cv::Scalar base, V3 light, double ambient, bool roof = true) {
    const V3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, lo.y, hi.z}, {lo.x, lo.y, hi.z},
                     {lo.x, hi.y, lo.z}, {hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    const int faces[5][4] = {{0, 4, 5, 1}, {1, 5, 6, 2}, {2, 6, 7, 3}, {3, 7, 4, 0}, {4, 7, 6, 5}};
    const V3 normals[5] = {{0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}};
    for (int f = 0; f < (roof ? 5 : 4); ++f) {
        s.polygon({c[faces[f][0]], c[faces[f][1]], c[faces[f][2]], c[faces[f][3]]}, lit(base, normals[f], light, ambient));
    }
}

void verticalGradient(cv::Mat& img, cv::Scalar top, cv::Scalar bottom, double horizonRow) {
    for (int y = 0; y < img.rows; ++y) {
        const double t = std::pow(clamp01(y / horizonRow), 1.6);
        img.row(y).setTo(top * (1 - t) + bottom * t);
    }
}

void glow(cv::Mat& img, cv::Point2d centre, double radius, cv::Scalar colour) {
    const int x0 = std::max(0, int(centre.x - 3 * radius)), x1 = std::min(img.cols, int(centre.x + 3 * radius));
    const int y0 = std::max(0, int(centre.y - 3 * radius)), y1 = std::min(img.rows, int(centre.y + 3 * radius));
    for (int y = y0; y < y1; ++y) {
        auto* row = img.ptr<cv::Vec3b>(y);
        for (int x = x0; x < x1; ++x) {
            const double d = std::hypot(x - centre.x, y - centre.y) / radius;
            const double w = std::exp(-d * d);
            for (int c = 0; c < 3; ++c) row[x][c] = cv::saturate_cast<uint8_t>(row[x][c] + colour[c] * w);
        }
    }
}

// [SECTION] shot 1: night town ---------------------------------------------------------------

struct Tower {
    V3 lo, hi;
    uint32_t seed;
    double litShare;
};

std::vector<Tower> buildTown() {
    std::vector<Tower> towers;
    Rng rng{1001};
    for (int gz = -2; gz < 14; ++gz) {
        for (int gx = -7; gx <= 7; ++gx) {
            if (gx == 0) continue;  // the avenue the camera follows
            const double cx = gx * 11 + rng.range(-1.5, 1.5), cz = gz * 11 + rng.range(-1.5, 1.5);
            const double w = rng.range(3.5, 7), d = rng.range(3.5, 7);
            // Taller along the avenue, so that the camera flies between lit facades.
            const double near = std::abs(gx) <= 2 ? 1.4 : 1.0;
            const double h = rng.range(8, 22) * near + (rng.next() < 0.15 ? rng.range(10, 25) : 0);
            towers.push_back({{cx - w / 2, 0, cz - d / 2}, {cx + w / 2, h, cz + d / 2}, uint32_t(rng.next() * 1e9),
                              rng.range(0.35, 0.7)});
        }
    }
    return towers;
}

// Windows on one face: a grid of lit panes; panes smaller than about two pixels are merged into
// a faint glow of the whole face instead (they would only shimmer).
void windows(Scene& s, const Tower& t, int face, V3 light, double dim) {
    const V3 lo = t.lo, hi = t.hi;
    V3 origin, along, upward{0, 1, 0};
    double width;
    switch (face) {
        case 0: origin = {lo.x, 0, lo.z}; along = {1, 0, 0}; width = hi.x - lo.x; break;
        case 1: origin = {hi.x, 0, lo.z}; along = {0, 0, 1}; width = hi.z - lo.z; break;
        case 2: origin = {hi.x, 0, hi.z}; along = {-1, 0, 0}; width = hi.x - lo.x; break;
        default: origin = {lo.x, 0, hi.z}; along = {0, 0, -1}; width = hi.z - lo.z; break;
    }
    const V3 normal = cross(upward, along);
    const V3 out = normal * 0.02;
    const V3 centre = origin + along * (width / 2) + V3{0, hi.y / 2, 0};
    if (dot(s.camera().eye - centre, normal) <= 0) return;  // faces away
    const int columns = std::max(1, int(width / 1.1)), floors = std::max(1, int(hi.y / 1.4));
    const double cell = width / columns, storey = hi.y / floors;
    Rng rng{t.seed + uint32_t(face) * 7919u};
    if (s.pixels(centre, cell) < 2.2) {
        // Too far for single panes: the face shows as a faint, evenly lit grid.
        const V3 a = origin + out, b = origin + out + along * width;
        s.polygon({a + V3{0, storey, 0}, a + V3{0, hi.y, 0}, b + V3{0, hi.y, 0}, b + V3{0, storey, 0}},
                  lit(rgb(0.25, 0.27, 0.3), normal, light, 0.8) * (0.5 + t.litShare));
        return;
    }
    for (int f = 1; f < floors; ++f) {
        for (int c = 0; c < columns; ++c) {
            if (rng.next() > t.litShare) continue;
            const double warmth = rng.next();
            const double b = dim * (0.75 + 0.25 * rng.next());
            const cv::Scalar colour = rgb(0.95 * b, (0.88 + 0.1 * warmth) * b, (0.7 + 0.3 * warmth) * b);
            const V3 p = origin + out + along * (c * cell + cell * 0.2) + V3{0, f * storey + storey * 0.22, 0};
            const V3 a = along * (cell * 0.6), u{0, storey * 0.55, 0};
            s.polygon({p, p + u, p + u + a, p + a}, colour);
        }
    }
}

void renderTown(cv::Mat& img, int frame) {
    static const std::vector<Tower> towers = buildTown();
    const double t = frame / kFps;
    const V3 eye{1.2 * std::sin(t * 0.15), 8 + 2 * std::sin(t * 0.12), -24 + 2.0 * t};
    const V3 target = eye + V3{std::sin(0.18 - 0.02 * t) * 10, 0.3, 10};
    const Camera cam = lookAt(eye, target, 62, 0.05 * std::sin(t * 0.2));
    const cv::Scalar sky = rgb(0.03, 0.06, 0.14);
    // Night sky lit from below by the town: the skyline is one long, clean edge.
    verticalGradient(img, rgb(0.01, 0.02, 0.07), rgb(0.3, 0.42, 0.62), kHeight * 0.6);
    // Moon: a hard disc in a soft halo, placed in the sky by its direction.
    const V3 moonDir = unit(V3{0.16, 0.4, 1});
    const V3 mv = toView(cam, cam.eye + moonDir * 100);
    if (mv.z > 0) {
        const cv::Point2d m(kWidth / 2.0 + cam.focal * mv.x / mv.z, kHeight / 2.0 - cam.focal * mv.y / mv.z);
        glow(img, m, 55, rgb(0.12, 0.16, 0.22));
        cv::circle(img, cv::Point(int(m.x * kSub), int(m.y * kSub)), int(26 * kSub), rgb(0.92, 0.95, 1.0), cv::FILLED, cv::LINE_AA, kShift);
        cv::circle(img, cv::Point(int((m.x - 7) * kSub), int((m.y + 5) * kSub)), int(6 * kSub), rgb(0.78, 0.82, 0.88), cv::FILLED, cv::LINE_AA, kShift);
        cv::circle(img, cv::Point(int((m.x + 9) * kSub), int((m.y - 8) * kSub)), int(4 * kSub), rgb(0.8, 0.84, 0.9), cv::FILLED, cv::LINE_AA, kShift);
    }
    Scene s(cam, Fog{sky, 40, 150});
    const V3 light = unit(moonDir + V3{0, 0.4, 0});
    // Ground with street lamps along the avenue.
    s.polygon({{-90, 0, -40}, {-90, 0, 170}, {90, 0, 170}, {90, 0, -40}}, rgb(0.04, 0.05, 0.08));
    for (int k = -3; k < 30; ++k) {
        for (int side = -1; side <= 1; side += 2) {
            const V3 foot{side * 3.5, 0, k * 5.0};
            s.line(foot, foot + V3{0, 2.2, 0}, rgb(0.2, 0.22, 0.25), 1);
            s.line(foot + V3{0, 2.2, 0}, foot + V3{-side * 0.6, 2.25, 0}, rgb(1.0, 0.95, 0.8), 2);
        }
    }
    // Tram tracks down the avenue: two polished rails on sleepers, one long ladder of edges.
    for (int k = -6; k < 34; ++k) {
        const double z0 = k * 5.0, z1 = z0 + 5;
        for (double x : {-0.75, 0.75}) s.line({x, 0.02, z0}, {x, 0.02, z1}, rgb(0.62, 0.68, 0.78), 2);
        for (double z = z0; z < z1; z += 1.25) s.line({-1.1, 0.01, z}, {1.1, 0.01, z}, rgb(0.22, 0.24, 0.3), 1);
    }
    for (const Tower& tw : towers) {
        const V3 centre = (tw.lo + tw.hi) * 0.5;
        if (toView(cam, centre).z < -15) continue;
        box(s, tw.lo, tw.hi, rgb(0.13, 0.16, 0.24), light, 0.45);
        for (int face = 0; face < 4; ++face) windows(s, tw, face, light, 1.0);
        // Roof edge light strip on the tall ones: long clean edges against the sky.
        if (tw.hi.y > 24) {
            s.line({tw.lo.x, tw.hi.y, tw.lo.z}, {tw.hi.x, tw.hi.y, tw.lo.z}, rgb(0.7, 0.85, 1.0), 1);
            s.line({tw.hi.x, tw.hi.y, tw.lo.z}, {tw.hi.x, tw.hi.y, tw.hi.z}, rgb(0.7, 0.85, 1.0), 1);
            s.line(centre + V3{0, tw.hi.y / 2, 0}, centre + V3{0, tw.hi.y / 2 + 5, 0}, rgb(0.5, 0.55, 0.6), 1);
        }
    }
    s.render(img);
}

// [SECTION] shot 2: steelworks -----------------------------------------------------------------

void latticeTower(Scene& s, V3 base, double size, double height, cv::Scalar steel) {
    const int levels = int(height / size);
    for (int l = 0; l < levels; ++l) {
        const double y0 = l * size, y1 = (l + 1) * size;
        const double taper0 = 1 - 0.35 * y0 / height, taper1 = 1 - 0.35 * y1 / height;
        V3 a[4], b[4];
        for (int k = 0; k < 4; ++k) {
            const double sx = (k == 0 || k == 3) ? -1 : 1, sz = (k < 2) ? -1 : 1;
            a[k] = base + V3{sx * size / 2 * taper0, y0, sz * size / 2 * taper0};
            b[k] = base + V3{sx * size / 2 * taper1, y1, sz * size / 2 * taper1};
        }
        for (int k = 0; k < 4; ++k) {
            s.line(a[k], b[k], steel, 2);
            s.line(b[k], b[(k + 1) % 4], steel, 1);
            s.line((l % 2) ? a[k] : a[(k + 1) % 4], (l % 2) ? b[(k + 1) % 4] : b[k], steel, 1);
        }
    }
}

void cylinder(Scene& s, V3 base, double radius, double height, int sides, cv::Scalar colour, V3 light, double ambient) {
    for (int k = 0; k < sides; ++k) {
        const double a0 = 2 * M_PI * k / sides, a1 = 2 * M_PI * (k + 1) / sides;
        const V3 p0 = base + V3{radius * std::cos(a0), 0, radius * std::sin(a0)};
        const V3 p1 = base + V3{radius * std::cos(a1), 0, radius * std::sin(a1)};
        const V3 normal{std::cos(0.5 * (a0 + a1)), 0, std::sin(0.5 * (a0 + a1))};
        s.polygon({p0, p1, p1 + V3{0, height, 0}, p0 + V3{0, height, 0}}, lit(colour, normal, light, ambient), true);
    }
}

// A shed facing the road (-z): dark walls, two rows of windows, some lit from the night shift,
// a roof of north lights and a glowing doorway.
void shed(Scene& s, V3 lo, V3 hi, uint32_t seed, V3 light) {
    box(s, lo, hi, rgb(0.2, 0.17, 0.16), light, 0.35);
    Rng rng{seed};
    const double width = hi.x - lo.x, height = hi.y - lo.y;
    const int columns = int(width / 1.6);
    const V3 front{0, 0, lo.z - 0.03};
    for (int row = 0; row < 2; ++row) {
        const double y0 = lo.y + height * (row == 0 ? 0.22 : 0.58), y1 = y0 + height * 0.2;
        for (int c = 0; c < columns; ++c) {
            const double x0 = lo.x + (c + 0.2) * width / columns, x1 = x0 + 0.6 * width / columns;
            const bool on = rng.next() < 0.6;
            const double b = on ? 0.75 + 0.25 * rng.next() : 0.28;
            const cv::Scalar pane = on ? rgb(1.0 * b, 0.82 * b, 0.45 * b) : rgb(0.35, 0.4, 0.45) * b;
            s.polygon({front + V3{x0, y0, 0}, front + V3{x0, y1, 0}, front + V3{x1, y1, 0}, front + V3{x1, y0, 0}}, pane);
            // Glazing bars: a cross in every pane.
            const double xm = 0.5 * (x0 + x1), ym = 0.5 * (y0 + y1);
            s.line(front + V3{xm, y0, -0.01}, front + V3{xm, y1, -0.01}, rgb(0.12, 0.1, 0.1), 1);
            s.line(front + V3{x0, ym, -0.01}, front + V3{x1, ym, -0.01}, rgb(0.12, 0.1, 0.1), 1);
        }
    }
    // The doorway: the glow of hot steel inside.
    const double dx = lo.x + width * (0.3 + 0.4 * rng.next());
    s.polygon({front + V3{dx, lo.y, 0}, front + V3{dx, lo.y + height * 0.45, 0}, front + V3{dx + 4, lo.y + height * 0.45, 0},
               front + V3{dx + 4, lo.y, 0}}, rgb(1.0, 0.55, 0.2));
    // Roof ventilators in a row along the ridge.
    for (double x = lo.x + 2; x + 1.2 <= hi.x; x += 4) {
        const double zc = 0.5 * (lo.z + hi.z);
        box(s, {x, hi.y, zc - 0.6}, {x + 1.2, hi.y + 1.0, zc + 0.6}, rgb(0.4, 0.38, 0.36), light, 0.4);
    }
}

// The pipe rack beside the road: portal frames with riveted flanges carrying three pipes.
void pipeRack(Scene& s, double z, double x0, double x1, cv::Scalar steel, V3 light) {
    const cv::Scalar rivet = rgb(0.55, 0.5, 0.45);
    for (double x = x0; x <= x1; x += 8) {
        for (double dz : {-1.2, 1.2}) {
            const V3 foot{x, 0, z + dz};
            box(s, foot + V3{-0.2, 0, -0.2}, foot + V3{0.2, 5.2, 0.2}, steel * 2.2, light, 0.5);
            for (int r = 0; r < 5; ++r) {  // rivets down the flange that faces the road
                const V3 c = foot + V3{0, 0.6 + r * 0.95, -0.23};
                s.polygon({c + V3{-0.07, -0.07, 0}, c + V3{-0.07, 0.07, 0}, c + V3{0.07, 0.07, 0}, c + V3{0.07, -0.07, 0}}, rivet);
            }
        }
        box(s, {x - 0.25, 4.8, z - 1.5}, {x + 0.25, 5.3, z + 1.5}, steel * 2.2, light, 0.5);
        s.line({x, 0, z - 1.2}, {x, 4.8, z + 1.2}, steel, 1);  // diagonal brace
    }
    const double pipeY[3] = {5.6, 6.3, 5.7}, pipeR[3] = {0.3, 0.4, 0.25}, pipeZ[3] = {-0.9, 0, 0.9};
    const cv::Scalar pipeColour[3] = {rgb(0.45, 0.42, 0.4), rgb(0.6, 0.5, 0.35), rgb(0.35, 0.38, 0.42)};
    for (int k = 0; k < 3; ++k) {
        const double y = pipeY[k], r = pipeR[k], pz = z + pipeZ[k];
        for (double x = x0; x < x1; x += 8) {  // one segment per span, a flange ring at each joint
            s.polygon({{x, y - r, pz - r}, {x, y + r, pz - r}, {x + 8, y + r, pz - r}, {x + 8, y - r, pz - r}}, pipeColour[k]);
            s.polygon({{x, y + r, pz - r}, {x, y + r, pz + r}, {x + 8, y + r, pz + r}, {x + 8, y + r, pz - r}}, pipeColour[k] * 1.3);
            s.polygon({{x + 3.9, y - r - 0.08, pz - r - 0.05}, {x + 3.9, y + r + 0.08, pz - r - 0.05},
                       {x + 4.1, y + r + 0.08, pz - r - 0.05}, {x + 4.1, y - r - 0.08, pz - r - 0.05}}, pipeColour[k] * 0.4);
        }
    }
}

// The steelworks camera: a drive along the works road, panning from the gas holder towards the
// furnace, so that the lamps and the pipe rack beside the road sweep past the far towers.
Camera steelworksCamera(double t) {
    const V3 eye{-58 + 3.4 * t, 9.5 + 0.05 * t, -45};
    return lookAt(eye, V3{-20 + 2.0 * t, 4, 8}, 58);
}

// Street lamps along both kerbs of the works road and beside the track.
std::vector<V3> steelworksLamps() {
    std::vector<V3> lamps;
    for (double x = -84; x <= 60; x += 12) {
        lamps.push_back({x, 6.5, -32.2});
        lamps.push_back({x + 6, 6.5, -42.8});
        lamps.push_back({x + 3, 6.5, -29.5});
    }
    return lamps;
}

void renderSteelworks(cv::Mat& img, int frame) {
    const double t = (frame - kCuts[0]) / kFps;
    const Camera cam = steelworksCamera(t);
    verticalGradient(img, rgb(0.25, 0.45, 0.62), rgb(0.98, 0.85, 0.62), kHeight * 0.75);
    // Setting sun behind the works.
    const V3 sv = toView(cam, cam.eye + unit(V3{-0.3, 0.08, 1}) * 100);
    if (sv.z > 0) glow(img, {kWidth / 2.0 + cam.focal * sv.x / sv.z, kHeight / 2.0 - cam.focal * sv.y / sv.z}, 40, rgb(0.5, 0.4, 0.25));
    Scene s(cam, Fog{rgb(0.85, 0.75, 0.6), 70, 220});
    const V3 light = unit(V3{-0.3, 0.5, 1});
    const cv::Scalar steel = rgb(0.07, 0.06, 0.07);
    s.polygon({{-200, 0, -200}, {-200, 0, 200}, {200, 0, 200}, {200, 0, -200}}, rgb(0.1, 0.09, 0.09));
    // Gas holder: a ribbed drum with guide frame.
    cylinder(s, {-14, 0, 8}, 11, 22, 28, rgb(0.4, 0.41, 0.44), light, 0.45);
    for (int k = 0; k < 28; k += 2) {  // panel seams and a lit walkway round the drum
        const double a = 2 * M_PI * (k + 0.5) / 28;
        const V3 foot{-14 + 11.05 * std::cos(a), 0, 8 + 11.05 * std::sin(a)};
        s.line(foot, foot + V3{0, 22, 0}, rgb(0.2, 0.2, 0.22), 1);
        s.polygon({foot + V3{0, 12, 0}, foot + V3{0, 12.8, 0}, foot + V3{0, 12.8, 0} + V3{-std::sin(a), 0, std::cos(a)} * 1.2,
                   foot + V3{0, 12, 0} + V3{-std::sin(a), 0, std::cos(a)} * 1.2}, rgb(1.0, 0.8, 0.45), true);
    }
    for (int k = 0; k < 14; ++k) {
        const double a = 2 * M_PI * k / 14;
        const V3 foot{-14 + 11.6 * std::cos(a), 0, 8 + 11.6 * std::sin(a)};
        s.line(foot, foot + V3{0, 26, 0}, steel, 2);
    }
    for (int r = 1; r <= 3; ++r) {
        for (int k = 0; k < 14; ++k) {
            const double a0 = 2 * M_PI * k / 14, a1 = 2 * M_PI * (k + 1) / 14;
            s.line({-14 + 11.6 * std::cos(a0), r * 8.5, 8 + 11.6 * std::sin(a0)},
                   {-14 + 11.6 * std::cos(a1), r * 8.5, 8 + 11.6 * std::sin(a1)}, steel, 1);
        }
    }
    // Blast furnace: stacked drums with a lattice head frame and a skip bridge.
    cylinder(s, {10, 0, -4}, 6, 14, 16, rgb(0.3, 0.26, 0.25), light, 0.45);
    cylinder(s, {10, 14, -4}, 4.5, 10, 16, rgb(0.34, 0.28, 0.26), light, 0.45);
    latticeTower(s, {10, 24, -4}, 5, 16, steel);
    for (int k = 0; k <= 10; ++k) {
        const double u = k / 10.0;
        const V3 p{10 + 28 * u, 30 - 28 * u, -4 - 8 * u};
        s.line(p, p + V3{0, -p.y, 0}, steel, 1);
        if (k < 10) s.line(p, {10 + 28 * (u + 0.1), 30 - 28 * (u + 0.1), -4 - 8 * (u + 0.1)}, steel, 3);
    }
    // Stacks with bands, lattice masts, pipe bridges and cables.
    const V3 stacks[] = {{26, 0, 14}, {31, 0, 17}, {-36, 0, -12}};
    for (const V3& st : stacks) {
        cylinder(s, st, 1.4, 42, 10, rgb(0.22, 0.2, 0.2), light, 0.35);
        cylinder(s, st + V3{0, 36, 0}, 1.5, 2, 10, rgb(0.8, 0.75, 0.7), light, 0.5);
    }
    const V3 masts[] = {{-30, 0, 24}, {0, 0, 30}, {30, 0, -24}, {40, 0, 30}};
    for (const V3& m : masts) latticeTower(s, m, 3, 33, steel);
    for (int k = 0; k < 3; ++k) {
        const V3 a = masts[k] + V3{0, 30, 0}, b = masts[k + 1] + V3{0, 30, 0};
        for (int c = 0; c < 3; ++c) {
            V3 prev = a + V3{0, -c * 1.2, 0};
            for (int i = 1; i <= 12; ++i) {
                const double u = i / 12.0;
                const V3 p = a + (b - a) * u + V3{0, -c * 1.2 - 5 * 4 * u * (1 - u), 0};
                s.line(prev, p, steel, 1);
                prev = p;
            }
        }
    }
    box(s, {-3, 18, 0}, {30, 19.6, 2}, rgb(0.25, 0.24, 0.26), light, 0.3);
    box(s, {-40, 9, -20}, {-3, 10.4, -18}, rgb(0.25, 0.24, 0.26), light, 0.3);
    // Red warning lights on the stacks, lit windows up the furnace.
    for (const V3& st : stacks) box(s, st + V3{-0.5, 42, -1.5}, st + V3{0.5, 42.8, -1.4}, rgb(1.0, 0.25, 0.15), light, 1.0);
    for (int k = 0; k < 8; ++k) {
        const double a = -M_PI / 2 + (k - 3.5) * 0.28, y = 3 + (k % 3) * 3.5;
        const V3 c{10 + 6.05 * std::cos(a), y, -4 + 6.05 * std::sin(a)};
        const V3 side{-std::sin(a) * 0.5, 0, std::cos(a) * 0.5};
        s.polygon({c - side, c - side + V3{0, 1.2, 0}, c + side + V3{0, 1.2, 0}, c + side}, rgb(1.0, 0.7, 0.3), true);
    }
    // Sheds between the road and the works.
    shed(s, {-56, 0, -24}, {-34, 8, -14}, 2101, light);
    shed(s, {-22, 0, -22}, {-4, 6.5, -15}, 2102, light);
    shed(s, {42, 0, -20}, {62, 9, -10}, 2103, light);
    // The road: asphalt, kerbs, a dashed centre line; a track beside it on sleepers.
    s.polygon({{-100, 0.01, -43.5}, {-100, 0.01, -31.5}, {80, 0.01, -31.5}, {80, 0.01, -43.5}}, rgb(0.16, 0.15, 0.15));
    for (double z : {-31.5, -43.5}) s.line({-100, 0.03, z}, {80, 0.03, z}, rgb(0.55, 0.52, 0.48), 2);
    for (double x = -100; x < 80; x += 6) {
        s.polygon({{x, 0.02, -37.6}, {x, 0.02, -37.4}, {x + 3, 0.02, -37.4}, {x + 3, 0.02, -37.6}}, rgb(0.85, 0.8, 0.6));
    }
    for (double z : {-29.2, -27.8}) s.line({-100, 0.05, z}, {80, 0.05, z}, rgb(0.6, 0.58, 0.56), 1);
    for (double x = -100; x < 80; x += 1.5) s.line({x, 0.02, -29.8}, {x, 0.02, -27.2}, rgb(0.24, 0.2, 0.17), 2);
    // Sidings into the works, pools of rain that mirror the sky, scrap heaps and ingot stacks.
    Rng rng{2020};
    for (double x : {-47.0, -29.0, -12.0, 2.0, 21.0, 36.0}) {
        for (double dx : {-0.72, 0.72}) s.line({x + dx, 0.05, -27}, {x + dx, 0.05, 25}, rgb(0.6, 0.58, 0.56), 1);
        for (double z = -27; z < 25; z += 1.5) s.line({x - 1.1, 0.02, z}, {x + 1.1, 0.02, z}, rgb(0.24, 0.2, 0.17), 2);
    }
    for (int k = 0; k < 40; ++k) {
        const V3 c{rng.range(-90, 60), 0.015, rng.range(-30, 20)};
        const double r = rng.range(0.8, 2.6);
        std::vector<V3> pool;
        for (int e = 0; e < 7; ++e) {
            const double a = -2 * M_PI * e / 7, rr = r * rng.range(0.6, 1.0);
            pool.push_back(c + V3{rr * 1.6 * std::cos(a), 0, rr * std::sin(a)});
        }
        s.polygon(pool, rgb(0.75, 0.66, 0.55), true);
    }
    for (int k = 0; k < 60; ++k) {
        const double x = -90 + k * 2.6 + rng.range(-1, 1), z = rng.range(-26, -18);
        const double w = rng.range(0.6, 1.6), h = rng.range(0.3, 1.2);
        box(s, {x, 0, z}, {x + w, h, z + rng.range(0.5, 1.2)}, rgb(0.42, 0.3, 0.22) * rng.range(0.6, 1.2), light, 0.4);
    }
    pipeRack(s, -22.5, -88, 64, steel, light);
    // Lamp posts: a pole, an arm over the road and a lit head.
    const std::vector<V3> lamps = steelworksLamps();
    for (const V3& lamp : lamps) {
        const double toRoad = lamp.z > -37.5 ? -1 : 1;
        const V3 pole{lamp.x, 0, lamp.z - toRoad * 1.2};
        box(s, pole + V3{-0.08, 0, -0.08}, pole + V3{0.08, 6.7, 0.08}, steel * 3, light, 0.5);
        s.line(pole + V3{0, 6.6, 0}, lamp + V3{0, 0.15, 0}, steel * 3, 2);
        s.polygon({lamp + V3{-0.35, 0, -0.2}, lamp + V3{-0.35, 0, 0.2}, lamp + V3{0.35, 0, 0.2}, lamp + V3{0.35, 0, -0.2}},
                  rgb(1.0, 0.95, 0.75), true);
    }
    s.render(img);
    // Halos round the lamp heads, sized by distance (no halo behind the camera).
    for (const V3& lamp : lamps) {
        const V3 v = toView(cam, lamp);
        if (v.z < 1) continue;
        const double radius = std::min(14.0, 0.6 * cam.focal / v.z);
        glow(img, {kWidth / 2.0 + cam.focal * v.x / v.z, kHeight / 2.0 - cam.focal * v.y / v.z}, radius,
             rgb(0.35, 0.3, 0.18) * clamp01((v.z - 1) / 3));
    }
}

// [SECTION] shot 3: hall of solids -----------------------------------------------------------

struct Solid {
    std::vector<V3> vertices;
    std::vector<std::vector<int>> faces;
};

Solid cube() {
    return {{{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
            {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}}};
}

Solid octahedron() {
    return {{{1.4, 0, 0}, {-1.4, 0, 0}, {0, 1.4, 0}, {0, -1.4, 0}, {0, 0, 1.4}, {0, 0, -1.4}},
            {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4}, {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}}};
}

// Draws a solid with each face inset by a darker panel: the panel borders add corners and
// closed outlines that turn with the solid.
void drawSolid(Scene& s, const Solid& solid, V3 at, double size, V3 spin, double t, cv::Scalar base, V3 light) {
    std::vector<V3> w;
    for (V3 v : solid.vertices) {
        v = rotateZ(rotateX(rotateY(v, spin.y * t), spin.x * t), spin.z * t);
        w.push_back(at + v * size);
    }
    for (const auto& f : solid.faces) {
        std::vector<V3> poly;
        V3 centre;
        for (int i : f) {
            poly.push_back(w[i]);
            centre = centre + w[i];
        }
        centre = centre * (1.0 / f.size());
        const V3 normal = cross(poly[1] - poly[0], poly[2] - poly[0]);
        if (dot(s.camera().eye - centre, normal) <= 0) continue;
        s.polygon(poly, lit(base, normal, light, 0.25), true);
        std::vector<V3> inner;
        for (const V3& p : poly) inner.push_back(centre + (p - centre) * 0.62 + unit(normal) * 0.01);
        s.polygon(inner, lit(base * 0.35, normal, light, 0.4), true);
    }
}

void ring(Scene& s, V3 at, double radius, double width, V3 axisTilt, double t, cv::Scalar colour, V3 light) {
    const int n = 36;
    auto place = [&](double a, double r) {
        V3 p{r * std::cos(a), r * std::sin(a), 0};
        return at + rotateY(rotateX(p, axisTilt.x + 0.3 * t), axisTilt.y + 0.2 * t);
    };
    for (int k = 0; k < n; ++k) {
        const double a0 = 2 * M_PI * k / n, a1 = 2 * M_PI * (k + 1) / n;
        const V3 p0 = place(a0, radius), p1 = place(a1, radius), q1 = place(a1, radius + width), q0 = place(a0, radius + width);
        const V3 normal = cross(p1 - p0, q0 - p0);
        s.polygon({p0, p1, q1, q0}, lit(colour, normal, light, 0.45), true);
    }
}

// The hall camera's flight: a slow weave forward over the floor.
V3 hallEye(double t) { return {6 * std::sin(t * 0.07), 4.5 + 1.5 * std::sin(t * 0.11), -10 + 0.9 * t}; }

void renderHall(cv::Mat& img, int frame) {
    const double t = (frame - kCuts[1]) / kFps;
    const V3 eye = hallEye(t);
    const V3 target = eye + V3{std::sin(t * 0.09) * 6, -0.7, 10};
    const Camera cam = lookAt(eye, target, 64, 0.12 * std::sin(t * 0.13));
    verticalGradient(img, rgb(0.0, 0.0, 0.02), rgb(0.15, 0.25, 0.35), kHeight * 0.5);
    Scene s(cam, Fog{rgb(0.12, 0.2, 0.28), 25, 70});
    const V3 light = unit(V3{0.4, 0.8, -0.3});
    // Chequered floor: light tiles on a dark ground, only near the camera's path.
    s.polygon({{-200, 0, -100}, {-200, 0, 300}, {200, 0, 300}, {200, 0, -100}}, rgb(0.03, 0.04, 0.06));
    const int z0 = int(std::floor(eye.z / 3)) - 2, x0 = int(std::floor(eye.x / 3));
    for (int gz = z0; gz < z0 + 26; ++gz) {
        for (int gx = x0 - 14; gx <= x0 + 14; ++gx) {
            if (((gx + gz) & 1) != 0) continue;
            const double x = gx * 3.0, z = gz * 3.0;
            s.polygon({{x, 0, z}, {x, 0, z + 3}, {x + 3, 0, z + 3}, {x + 3, 0, z}}, rgb(0.78, 0.82, 0.86));
            // An inlaid stud in every light tile: four more corners per tile for the detector.
            if (s.pixels({x + 1.5, 0, z + 1.5}, 1.0) > 4) {
                s.polygon({{x + 1.1, 0.01, z + 1.1}, {x + 1.1, 0.01, z + 1.9}, {x + 1.9, 0.01, z + 1.9}, {x + 1.9, 0.01, z + 1.1}},
                          rgb(0.3, 0.36, 0.44));
            }
        }
    }
    static const Solid kCube = cube(), kOcta = octahedron();
    Rng rng{3003};
    for (int k = 0; k < 26; ++k) {
        V3 at{rng.range(-16, 16), rng.range(2, 7.5), rng.range(5, 60) + 6 * (k % 4)};
        const V3 spin{rng.range(-0.5, 0.5), rng.range(-0.6, 0.6), rng.range(-0.3, 0.3)};
        const double size = rng.range(0.8, 2.0);
        const double kind = rng.next();
        const cv::Scalar colour = rgb(rng.range(0.6, 1.0), rng.range(0.75, 1.0), 1.0);
        // Keep the flight path clear: a solid the camera would pass through stands aside from the
        // point where the camera crosses its depth, for the whole shot (dropping it only while it
        // is in the way would make it pop out of and back into the picture).
        const V3 path = hallEye((at.z + 10) / 0.9);
        const double clearance = 2.5 + 1.6 * size + 0.35;
        if (std::abs(at.x - path.x) < clearance && std::abs(at.y - path.y) < clearance) {
            at.x = path.x + (at.x < path.x ? -clearance : clearance);
        }
        const V3 bob = at + V3{0, 0.6 * std::sin(t * 0.7 + k), 0};
        if (kind < 0.45) drawSolid(s, kCube, bob, size, spin, t, colour, light);
        else if (kind < 0.8) drawSolid(s, kOcta, bob, size, spin, t, colour, light);
        else ring(s, bob, size * 1.6, 0.35, spin * 3, t, colour, light);
        // A soft shadow disc under each solid ties it to the floor.
        std::vector<V3> spot;
        for (int e = 0; e < 12; ++e) {
            const double a = -2 * M_PI * e / 12;
            spot.push_back({at.x + size * std::cos(a), 0.01, at.z + size * std::sin(a)});
        }
        s.polygon(spot, rgb(0.3, 0.33, 0.38), true);
    }
    s.render(img);
}

// [SECTION] shot 4: tunnel of frames -----------------------------------------------------------

void renderTunnel(cv::Mat& img, int frame) {
    const double t = (frame - kCuts[2]) / kFps;
    const double travel = 3.5 * t;
    const V3 eye{0.8 * std::sin(t * 0.4), 0.6 * std::cos(t * 0.33), travel};
    const Camera cam = lookAt(eye, eye + V3{0.3 * std::sin(t * 0.25), 0.2 * std::sin(t * 0.3), 10}, 70, 0.25 * t);
    img.setTo(rgb(0.0, 0.01, 0.03));
    // The light at the end of the tunnel grows and breathes.
    glow(img, {kWidth / 2.0, kHeight / 2.0}, 30 + 10 * std::sin(t * 0.8) + 0.8 * t, rgb(0.35, 0.6, 0.85));
    Scene s(cam, Fog{rgb(0.0, 0.01, 0.03), 30, 80});
    const double spacing = 4;
    const int first = int(std::floor(travel / spacing));
    for (int k = first; k < first + 20; ++k) {
        const double z = k * spacing;
        const double twist = 0.18 * k + 0.1 * t;
        const int sides = (k % 3 == 0) ? 6 : 4;
        const double inner = 3.2 + 0.6 * std::sin(k * 0.7), outer = inner + 0.55 + 0.3 * (k % 2);
        const double bright = 0.55 + 0.45 * std::pow(std::abs(std::sin(k * 0.9 + t * 0.5)), 3);
        const cv::Scalar face = rgb(0.35 * bright, 0.75 * bright, bright);
        for (int e = 0; e < sides; ++e) {
            const double a0 = twist + 2 * M_PI * e / sides, a1 = twist + 2 * M_PI * (e + 1) / sides;
            const V3 p0{inner * std::cos(a0), inner * std::sin(a0), z}, p1{inner * std::cos(a1), inner * std::sin(a1), z};
            const V3 q0{outer * std::cos(a0), outer * std::sin(a0), z}, q1{outer * std::cos(a1), outer * std::sin(a1), z};
            s.polygon({p0, p1, q1, q0}, face * (e % 2 ? 0.8 : 1.0), true);
            // Dark rivet plates along each edge of the frame: corners that turn with it.
            const V3 m0 = (p0 + q0) * 0.5, m1 = (p1 + q1) * 0.5, h = unit(m1 - m0) * 0.12;
            const V3 across{-h.y, h.x, 0};
            for (int r = 1; r <= 3; ++r) {
                const V3 c = m0 + (m1 - m0) * (r / 4.0) + V3{0, 0, -0.01};
                s.polygon({c - h - across, c + h - across, c + h + across, c - h + across}, face * 0.25, true);
            }
        }
        // Rails linking the frames' corners give long receding lines.
        if (k % 2 == 0) {
            for (int e = 0; e < sides; e += 2) {
                const double a = twist + 2 * M_PI * e / sides;
                const V3 p{outer * std::cos(a), outer * std::sin(a), z};
                s.line(p, p + V3{0, 0, spacing * 2}, rgb(0.2, 0.45, 0.6), 1);
            }
        }
    }
    s.render(img);
}

void renderFrame(cv::Mat& img, int frame) {
    if (frame < kCuts[0]) renderTown(img, frame);
    else if (frame < kCuts[1]) renderSteelworks(img, frame);
    else if (frame < kCuts[2]) renderHall(img, frame);
    else renderTunnel(img, frame);
}

// [SECTION] the file: Motion-JPEG in AVI ---------------------------------------------------------

// Each frame is a baseline JFIF image from libjpeg-turbo (4:2:0, quality 90: clean edges, a light
// file), stored as one '00dc' chunk of an AVI 1.0 file with an 'idx1' index that marks every frame
// as a key frame, so seeking by frame number is exact. No time stamps or encoder tags: the same
// frames give the same bytes. (OpenCV's built-in MJPEG writer cut the entropy-coded data of the
// last block short in about one frame in thirty: decoders reported "premature end of data
// segment" or "error dc".)
class MjpegAviWriter {
public:
    explicit MjpegAviWriter(const std::string& path) : file_(path, std::ios::binary) {
        // Header placeholders, filled in by finish() once the frame sizes are known.
        file_.write(std::string(kHeaderBytes, '\0').data(), kHeaderBytes);
        info_.err = jpeg_std_error(&errors_);
        jpeg_create_compress(&info_);
        info_.image_width = kWidth;
        info_.image_height = kHeight;
        info_.input_components = 3;
        info_.in_color_space = JCS_EXT_BGR;  // OpenCV's byte order, converted by libjpeg
        jpeg_set_defaults(&info_);
        jpeg_set_quality(&info_, 90, TRUE);
        info_.dct_method = JDCT_ISLOW;  // exact integer transform: the same bytes on every machine
    }
    ~MjpegAviWriter() { jpeg_destroy_compress(&info_); }
    bool ok() const { return bool(file_); }

    void write(const cv::Mat& bgr) {
        unsigned char* data = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&info_, &data, &size);
        jpeg_start_compress(&info_, TRUE);
        while (info_.next_scanline < info_.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(bgr.ptr<uint8_t>(int(info_.next_scanline)));
            jpeg_write_scanlines(&info_, &row, 1);
        }
        jpeg_finish_compress(&info_);
        const uint32_t offset = uint32_t(file_.tellp()) - kMoviFourccAt;
        chunk("00dc", data, uint32_t(size));
        index_.push_back({offset, uint32_t(size)});
        largest_ = std::max(largest_, uint32_t(size));
        std::free(data);
    }

    bool finish() {
        const uint32_t moviEnd = uint32_t(file_.tellp());
        std::vector<uint8_t> idx;
        for (const auto& [offset, size] : index_) {
            put4cc(idx, "00dc");
            put32(idx, 0x10);  // AVIIF_KEYFRAME
            put32(idx, offset);
            put32(idx, size);
        }
        chunk("idx1", idx.data(), uint32_t(idx.size()));
        const uint32_t fileEnd = uint32_t(file_.tellp());
        const uint32_t frames = uint32_t(index_.size());
        std::vector<uint8_t> h;
        put4cc(h, "RIFF"); put32(h, fileEnd - 8); put4cc(h, "AVI ");
        put4cc(h, "LIST"); put32(h, 4 + 64 + 12 + 64 + 48); put4cc(h, "hdrl");
        put4cc(h, "avih"); put32(h, 56);
        put32(h, uint32_t(std::lround(1e6 / kFps)));  // microseconds per frame
        put32(h, uint32_t(largest_ * kFps));           // maximum bytes per second
        put32(h, 0);                                   // padding granularity
        put32(h, 0x10);                                // AVIF_HASINDEX
        put32(h, frames); put32(h, 0); put32(h, 1); put32(h, largest_);
        put32(h, kWidth); put32(h, kHeight);
        for (int k = 0; k < 4; ++k) put32(h, 0);
        put4cc(h, "LIST"); put32(h, 4 + 64 + 48); put4cc(h, "strl");
        put4cc(h, "strh"); put32(h, 56);
        put4cc(h, "vids"); put4cc(h, "MJPG");
        put32(h, 0); put32(h, 0); put32(h, 0);  // flags, priority and language, initial frames
        put32(h, 1); put32(h, uint32_t(kFps));  // scale, rate: kFps frames per second
        put32(h, 0); put32(h, frames); put32(h, largest_);
        put32(h, 0xffffffffu); put32(h, 0);     // default quality, frames vary in size
        put32(h, 0); put32(h, uint32_t(kWidth) | uint32_t(kHeight) << 16);  // frame rectangle
        put4cc(h, "strf"); put32(h, 40);
        put32(h, 40); put32(h, kWidth); put32(h, kHeight);
        put32(h, 1 | 24 << 16); put4cc(h, "MJPG"); put32(h, kWidth * kHeight * 3);
        for (int k = 0; k < 4; ++k) put32(h, 0);
        put4cc(h, "LIST"); put32(h, moviEnd - kMoviFourccAt); put4cc(h, "movi");
        if (h.size() != kHeaderBytes) return false;
        file_.seekp(0);
        file_.write(reinterpret_cast<const char*>(h.data()), std::streamsize(h.size()));
        file_.close();
        return !file_.fail();
    }

private:
    static constexpr size_t kHeaderBytes = 12 + 12 + 64 + 12 + 64 + 48 + 12;
    static constexpr uint32_t kMoviFourccAt = kHeaderBytes - 4;  // index offsets count from 'movi'

    static void put32(std::vector<uint8_t>& v, uint32_t x) {
        for (int k = 0; k < 4; ++k) v.push_back(uint8_t(x >> (8 * k)));
    }
    static void put4cc(std::vector<uint8_t>& v, const char* c) { v.insert(v.end(), c, c + 4); }
    void chunk(const char* id, const uint8_t* data, uint32_t size) {
        std::vector<uint8_t> h;
        put4cc(h, id);
        put32(h, size);
        file_.write(reinterpret_cast<const char*>(h.data()), 8);
        file_.write(reinterpret_cast<const char*>(data), size);
        if (size & 1) file_.put('\0');  // chunks start on even offsets
    }

    std::ofstream file_;
    jpeg_compress_struct info_{};
    jpeg_error_mgr errors_{};
    std::vector<std::pair<uint32_t, uint32_t>> index_;
    uint32_t largest_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: gen-video <show folder> [frame count, for previews]\n");
        return 2;
    }
    const int frames = argc == 3 ? std::atoi(argv[2]) : kFrameCount;
    const std::string dir = std::string(argv[1]) + "/textures";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/try1.avi";
    MjpegAviWriter writer(path);
    if (!writer.ok()) {
        std::fprintf(stderr, "gen-video: cannot open %s for writing\n", path.c_str());
        return 1;
    }
    cv::setNumThreads(1);  // the build runs two generators side by side on two cores
    cv::Mat img(kHeight, kWidth, CV_8UC3);
    for (int f = 0; f < frames; ++f) {
        renderFrame(img, f);
        writer.write(img);
    }
    if (!writer.finish()) {
        std::fprintf(stderr, "gen-video: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
