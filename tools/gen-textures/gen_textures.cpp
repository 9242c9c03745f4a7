// gen-textures: writes the show's sprite and picture-card textures into <show>/textures/.
//
// Files, sizes and codings: texture_plan.h. Pictures:
//   blob41b.jpg   2x2 atlas of glows; quadrant 0 (texture s, t in 0..0.5, which is the file's
//                 bottom-left, as the loader puts the first row at the top) is the soft round glow
//   cir.jpg       bead-like disc of the video mosaic; ciralpha.jpg its alpha mask (grey, the
//                 loader takes the green byte)
//   circle.jpg    the dot of the credits' dot screen
//   z1..z5.jpg    picture cards shown 11 s to 36 s: skyline, lattice, eye, scope, town map
// Deterministic: drawing uses a local generator with fixed seeds, and libjpeg adds no dates.

#include "tools/content/content_random.h"
#include "tools/gen-textures/texture_plan.h"
#include "tools/jpegwriter/jpeg_writer.h"

#include <opencv2/imgproc.hpp>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using ostravel::JpegOptions;

using ostravel::content::Rng;
using ostravel::content::clamp01;

double smooth(double e0, double e1, double x) {
    const double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// Float BGR canvas (OpenCV order) written out as RGB bytes.
bool save(const std::string& path, const cv::Mat& bgrFloat, const JpegOptions& options) {
    cv::Mat bytes;
    bgrFloat.convertTo(bytes, CV_8UC3, 255.0);
    std::vector<uint8_t> rgb(static_cast<size_t>(bytes.cols) * bytes.rows * 3);
    for (int y = 0; y < bytes.rows; ++y) {
        const auto* row = bytes.ptr<cv::Vec3b>(y);
        for (int x = 0; x < bytes.cols; ++x) {
            uint8_t* out = &rgb[(static_cast<size_t>(y) * bytes.cols + x) * 3];
            out[0] = row[x][2];
            out[1] = row[x][1];
            out[2] = row[x][0];
        }
    }
    if (!ostravel::writeJpeg(path, rgb, bytes.cols, bytes.rows, options)) {
        std::fprintf(stderr, "gen-textures: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// Fills a region by a function of the offset from its centre, in pixels.
template <class F>
void shade(cv::Mat& img, cv::Rect area, F f) {
    const double cx = area.x + area.width * 0.5 - 0.5, cy = area.y + area.height * 0.5 - 0.5;
    for (int y = area.y; y < area.y + area.height; ++y) {
        auto* row = img.ptr<cv::Vec3f>(y);
        for (int x = area.x; x < area.x + area.width; ++x) {
            const cv::Vec3f v = f(x - cx, y - cy);
            for (int c = 0; c < 3; ++c) row[x][c] = static_cast<float>(clamp01(row[x][c] + v[c]));
        }
    }
}

cv::Vec3f grey(double v) { return cv::Vec3f(float(v), float(v), float(v)); }
cv::Vec3f bgr(double r, double g, double b) { return cv::Vec3f(float(b), float(g), float(r)); }

// --- the glow atlas -----------------------------------------------------------------------

cv::Mat blobAtlas() {
    const int q = 128;
    cv::Mat img(2 * q, 2 * q, CV_32FC3, cv::Scalar::all(0));
    // Every sprite fades to black before the quadrant's border, since all are drawn additively
    // and the full atlas is also used as one sprite.
    auto window = [](double r) { return 1.0 - smooth(52, 63, r); };
    // Quadrant 0 (file bottom-left): soft round glow, warm white core.
    shade(img, cv::Rect(0, q, q, q), [&](double x, double y) {
        const double r = std::hypot(x, y);
        const double halo = std::pow(clamp01(1 - r / 62), 2.2), core = std::exp(-r * r / (2 * 11 * 11));
        const double v = (0.55 * halo + 0.55 * core) * window(r);
        return bgr(v, v * 0.96, v * 0.9);
    });
    // Quadrant 1 (bottom-right): lens ring with a faint heart.
    shade(img, cv::Rect(q, q, q, q), [&](double x, double y) {
        const double r = std::hypot(x, y);
        const double ring = std::exp(-std::pow((r - 40) / 3.5, 2)), inner = 0.18 * std::pow(clamp01(1 - r / 45), 2);
        const double v = (0.85 * ring + inner + 0.3 * std::exp(-r * r / 40)) * window(r);
        return bgr(v * 0.9, v * 0.95, v);
    });
    // Quadrant 2 (top-left): four-pointed sparkle with thinner diagonals.
    shade(img, cv::Rect(0, 0, q, q), [&](double x, double y) {
        const double r = std::hypot(x, y);
        auto streak = [](double along, double across, double len, double width) {
            return std::exp(-std::abs(across) / width) * std::pow(clamp01(1 - std::abs(along) / len), 3);
        };
        const double u = (x + y) * M_SQRT1_2, w = (x - y) * M_SQRT1_2;
        const double v = (streak(x, y, 62, 1.4) + streak(y, x, 62, 1.4) + 0.45 * streak(u, w, 40, 1.0) +
                          0.45 * streak(w, u, 40, 1.0) + 0.8 * std::exp(-r * r / 30)) *
                         window(r);
        return grey(v);
    });
    // Quadrant 3 (top-right): hexagonal aperture bokeh with a brighter rim.
    shade(img, cv::Rect(q, 0, q, q), [&](double x, double y) {
        const double a = std::atan2(y, x), r = std::hypot(x, y);
        const double sector = std::fmod(a + M_PI / 6 + 4 * M_PI, M_PI / 3) - M_PI / 6;
        const double hexR = 42 * std::cos(M_PI / 6) / std::cos(sector);
        const double inside = 1 - smooth(hexR - 1.5, hexR + 1.5, r);
        const double rim = std::exp(-std::pow((r - hexR + 2) / 2.5, 2));
        const double v = (0.3 * inside + 0.35 * rim) * window(r);
        return bgr(v * 0.85, v * 0.95, v);
    });
    return img;
}

// --- mosaic disc and its mask -------------------------------------------------------------

cv::Mat discSprite() {
    cv::Mat img(128, 128, CV_32FC3, cv::Scalar::all(0));
    shade(img, cv::Rect(0, 0, 128, 128), [](double x, double y) {
        const double r = std::hypot(x, y) / 60;
        if (r > 1.02) return grey(0);
        // A glass bead: bright centre, darker middle, thin highlight on the rim and a specular spot.
        const double body = 0.75 + 0.25 * std::cos(r * M_PI * 0.9);
        const double rim = 0.35 * std::exp(-std::pow((r - 0.93) / 0.05, 2));
        const double spot = 0.5 * std::exp(-(std::pow(x + 20, 2) + std::pow(y + 22, 2)) / 90);
        return grey(body * 0.85 + rim + spot);
    });
    return img;
}

cv::Mat discMask() {
    cv::Mat img(128, 128, CV_32FC3, cv::Scalar::all(0));
    shade(img, cv::Rect(0, 0, 128, 128), [](double x, double y) {
        return grey(1 - smooth(56, 61, std::hypot(x, y)));
    });
    return img;
}

cv::Mat dot() {
    cv::Mat img(64, 64, CV_32FC3, cv::Scalar::all(0));
    shade(img, cv::Rect(0, 0, 64, 64), [](double x, double y) {
        const double r = std::hypot(x, y);
        return grey((1 - smooth(20, 29, r)) * (0.85 + 0.15 * std::exp(-r * r / 60)));
    });
    return img;
}

// --- picture cards ------------------------------------------------------------------------

cv::Point2f P(double x, double y) { return cv::Point2f(float(x), float(y)); }

// z1: the steel town at dusk: sky gradient, low sun, blast furnace, chimneys and gantry cables.
cv::Mat cardSkyline() {
    const int n = 256;
    cv::Mat img(n, n, CV_32FC3);
    for (int y = 0; y < n; ++y) {
        const double t = y / double(n - 1);
        const cv::Vec3f top = bgr(0.05, 0.07, 0.22), mid = bgr(0.85, 0.35, 0.25), low = bgr(1.0, 0.78, 0.4);
        const cv::Vec3f c = t < 0.6 ? top * float(1 - t / 0.6) + mid * float(t / 0.6)
                                    : mid * float(1 - (t - 0.6) / 0.4) + low * float((t - 0.6) / 0.4);
        img.row(y).setTo(cv::Scalar(c[0], c[1], c[2]));
    }
    cv::circle(img, cv::Point(170 * 16, 180 * 16), 34 * 16, cv::Scalar(0.55, 0.9, 1.0), cv::FILLED, cv::LINE_AA, 4);
    const cv::Scalar black(0.02, 0.02, 0.03);
    Rng rng{51};
    // Rows of low halls, then the furnace and stacks in front.
    for (int x = -10; x < n; x += int(rng.range(14, 30))) {
        const double h = rng.range(20, 45);
        cv::rectangle(img, cv::Rect(x, int(n - h), int(rng.range(12, 34)), int(h)), black, cv::FILLED);
    }
    const int stacks[][3] = {{30, 120, 9}, {52, 150, 7}, {205, 110, 10}, {228, 135, 6}};
    for (const auto& s : stacks) {
        cv::rectangle(img, cv::Rect(s[0], n - s[1], s[2], s[1]), black, cv::FILLED);
        cv::rectangle(img, cv::Rect(s[0], n - s[1] + 8, s[2], 3), cv::Scalar(0.25, 0.3, 0.9), cv::FILLED);
    }
    // Blast furnace: a tapered body, gantry and the inclined skip bridge.
    std::vector<cv::Point> furnace = {{100, 256}, {104, 150}, {112, 120}, {132, 120}, {140, 150}, {144, 256}};
    cv::fillConvexPoly(img, furnace, black, cv::LINE_AA);
    cv::rectangle(img, cv::Rect(108, 90, 28, 32), black, 2);
    for (int k = 0; k < 6; ++k) cv::line(img, cv::Point(108 + k * 5, 90), cv::Point(113 + k * 5, 122), black, 1, cv::LINE_AA);
    cv::line(img, cv::Point(140, 100), cv::Point(250, 210), black, 4, cv::LINE_AA);
    for (int k = 0; k < 10; ++k) {
        const double a = k / 10.0;
        cv::line(img, P(140 + 110 * a, 100 + 110 * a), P(140 + 110 * a, 256), black, 1, cv::LINE_AA);
    }
    // Cables sagging between masts.
    for (int k = 0; k < 3; ++k) {
        std::vector<cv::Point> cable;
        for (int x = 0; x <= n; x += 4) {
            const double u = x / double(n);
            cable.emplace_back(x, int(60 + 14 * k + 40 * (u - 0.5) * (u - 0.5) * 4 - 40 + 20 * u));
        }
        cv::polylines(img, cable, false, cv::Scalar(0.05, 0.04, 0.06), 1, cv::LINE_AA);
    }
    return img;
}

// z2: looking up into a steel lattice: riveted girders in perspective, white sky behind.
cv::Mat cardLattice() {
    const int n = 256;
    cv::Mat img(n, n, CV_32FC3, cv::Scalar(0.95, 0.9, 0.85));
    const cv::Scalar steel(0.12, 0.1, 0.1);
    const cv::Point2f vanish(128, -60);
    for (int k = -6; k <= 6; ++k) {
        const cv::Point2f foot(128 + k * 60.f, 300);
        cv::line(img, foot, vanish, steel, std::abs(k) < 3 ? 7 : 4, cv::LINE_AA);
    }
    for (int level = 0; level < 9; ++level) {
        const double y = 256 - 256 * (1 - std::pow(0.78, level + 1)) * 1.2;
        const double spread = (y + 60) / 360.0;
        for (int k = -6; k < 6; ++k) {
            const cv::Point2f a(float(128 + k * 60 * spread), float(y)), b(float(128 + (k + 1) * 60 * spread), float(y));
            const double y2 = 256 - 256 * (1 - std::pow(0.78, level + 2)) * 1.2;
            const double s2 = (y2 + 60) / 360.0;
            const cv::Point2f c(float(128 + (k + 1) * 60 * s2), float(y2));
            cv::line(img, a, b, steel, 3, cv::LINE_AA);
            cv::line(img, a, c, steel, 2, cv::LINE_AA);
            cv::circle(img, a, 2, cv::Scalar(0.5, 0.5, 0.55), cv::FILLED, cv::LINE_AA);
        }
    }
    return img;
}

// z3: the machine's eye: iris with radial fibres, pupil, and a square reticle of measurement ticks.
cv::Mat cardEye() {
    const int n = 256;
    cv::Mat img(n, n, CV_32FC3, cv::Scalar::all(0));
    Rng rng{303};
    double fibre[180];
    for (double& f : fibre) f = rng.range(0.5, 1.0);
    shade(img, cv::Rect(0, 0, n, n), [&](double x, double y) {
        const double r = std::hypot(x, y), a = std::atan2(y, x);
        const int i = int((a + M_PI) / (2 * M_PI) * 180) % 180;
        const double iris = smooth(30, 34, r) * (1 - smooth(96, 102, r));
        const double ring = 0.6 * std::exp(-std::pow((r - 100) / 3, 2));
        const double v = iris * fibre[i] * (0.6 + 0.4 * std::sin(r * 0.4)) + ring;
        return bgr(0.35 * v, 0.75 * v, v);
    });
    cv::circle(img, cv::Point(108, 104), 10, cv::Scalar::all(1), cv::FILLED, cv::LINE_AA);
    const cv::Scalar tick(0.6, 0.9, 0.7);
    cv::rectangle(img, cv::Rect(14, 14, 228, 228), tick, 1, cv::LINE_AA);
    for (int k = 0; k <= 20; ++k) {
        const int p = 14 + k * 228 / 20, len = k % 5 == 0 ? 9 : 4;
        cv::line(img, cv::Point(p, 14), cv::Point(p, 14 + len), tick, 1);
        cv::line(img, cv::Point(14, p), cv::Point(14 + len, p), tick, 1);
    }
    return img;
}

// z4: oscilloscope: graticule and the show's beat as a trace (|cos|^8 pulses) with its echo.
cv::Mat cardScope() {
    const int w = 200, h = 200;
    cv::Mat img(h, w, CV_32FC3, cv::Scalar(0.03, 0.05, 0.02));
    for (int k = 0; k <= 10; ++k) {
        const cv::Scalar c = k == 5 ? cv::Scalar(0.2, 0.45, 0.2) : cv::Scalar(0.08, 0.22, 0.1);
        cv::line(img, cv::Point(k * 20, 0), cv::Point(k * 20, h), c, 1);
        cv::line(img, cv::Point(0, k * 20), cv::Point(w, k * 20), c, 1);
    }
    for (int trace = 0; trace < 2; ++trace) {
        std::vector<cv::Point> pts;
        for (int x = 0; x < w; ++x) {
            const double t = x / 50.0;
            const double pulse = std::pow(std::abs(std::cos(M_PI * t - 0.4)) * 1.015, 8);
            const double wave = trace == 0 ? 0.8 * pulse * std::sin(x * 0.9) + 0.15 * std::sin(x * 0.11)
                                           : 0.5 * std::sin(x * 0.07) * std::cos(x * 0.023);
            pts.emplace_back(x, int(h * (trace == 0 ? 0.35 : 0.72) - 30 * wave));
        }
        cv::polylines(img, pts, false, trace == 0 ? cv::Scalar(0.5, 1.0, 0.55) : cv::Scalar(0.9, 0.8, 0.3), 2, cv::LINE_AA);
    }
    return img;
}

// z5: a street map of an invented town: blocks, a river with bridges, tram lines.
cv::Mat cardMap() {
    const int n = 236;
    cv::Mat img(n, n, CV_32FC3, cv::Scalar(0.82, 0.86, 0.9));
    Rng rng{5005};
    for (int by = 0; by < n; by += 18) {
        for (int bx = 0; bx < n; bx += 18) {
            const int jx = int(rng.range(0, 4)), jy = int(rng.range(0, 4));
            const double shadeLevel = rng.range(0.45, 0.7);
            cv::rectangle(img, cv::Rect(bx + 3 + jx, by + 3 + jy, 12 - jx, 12 - jy),
                          cv::Scalar(shadeLevel * 0.9, shadeLevel * 0.9, shadeLevel), cv::FILLED);
        }
    }
    std::vector<cv::Point> river;
    for (int y = -10; y <= n + 10; y += 4) river.emplace_back(int(118 + 40 * std::sin(y * 0.025) + 10 * std::sin(y * 0.09)), y);
    cv::polylines(img, river, false, cv::Scalar(0.75, 0.45, 0.2), 16, cv::LINE_AA);
    for (int k = 0; k < 4; ++k) {
        const int y = 30 + k * 55;
        cv::line(img, cv::Point(60, y), cv::Point(180, y + 6), cv::Scalar(0.95, 0.95, 0.95), 5, cv::LINE_AA);
    }
    std::vector<cv::Point> tram = {{0, 200}, {60, 170}, {110, 172}, {150, 120}, {236, 100}};
    cv::polylines(img, tram, false, cv::Scalar(0.15, 0.2, 0.85), 3, cv::LINE_AA);
    for (const cv::Point& p : tram) cv::circle(img, p, 5, cv::Scalar(0.1, 0.1, 0.1), 2, cv::LINE_AA);
    return img;
}

// Drawers in the order of kTextures.
constexpr std::array<cv::Mat (*)(), ostravel::textureplan::kTextures.size()> kDrawers = {
    blobAtlas, discSprite, discMask, dot, cardSkyline, cardLattice, cardEye, cardScope, cardMap,
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen-textures <show folder>\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/textures/";
    std::filesystem::create_directories(dir);

    for (size_t i = 0; i < kDrawers.size(); ++i) {
        const auto& plan = ostravel::textureplan::kTextures[i];
        const cv::Mat image = kDrawers[i]();
        if (image.cols != plan.width || image.rows != plan.height) {
            std::fprintf(stderr, "gen-textures: %s drawn at the wrong size\n", plan.name);
            return 1;
        }
        if (!save(dir + plan.name, image, plan.coding)) return 1;
    }
    return 0;
}
