// The triangulation: its documented cases, CGAL as the peer for the triangles themselves, and the
// straightforward method (plain_triangulate.h) as the reference for codes, triangles and order.
#include <gtest/gtest.h>

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>

#include <algorithm>
#include <array>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "math/delaunay.h"
#include "tests/delaunay/plain_triangulate.h"

using namespace ostravel;

namespace {

struct Result {
    int32_t code = -1;
    int32_t count = -1;
    std::vector<Vec3> vertices;       // after the call: sorted, super-triangle appended
    std::vector<Triangle> triangles;  // the first `count`
};

Result run(const std::vector<Vec3>& points, bool plain, DelaunayWorkspace* work = nullptr) {
    Result r;
    const int32_t nv = int32_t(points.size());
    r.vertices = points;
    r.vertices.resize(points.size() + 3, Vec3{7, 1.0f, 2.0f, 3.0f});
    std::vector<Triangle> triangles(std::max<size_t>(4 * points.size(), 1));
    r.code = plain ? ostravel::testing::plainTriangulate(nv, r.vertices.data(), triangles.data(), r.count)
         : work   ? triangulate(nv, r.vertices.data(), triangles.data(), r.count, *work)
                  : triangulate(nv, r.vertices.data(), triangles.data(), r.count);
    if (r.count >= 0) triangles.resize(r.count);
    r.triangles = triangles;
    return r;
}

std::vector<Vec3> points(std::initializer_list<std::array<float, 2>> xy) {
    std::vector<Vec3> v;
    for (const auto& p : xy) v.push_back(makeVec3(p[0], p[1], 0.0f));
    return v;
}

using Corner = std::pair<float, float>;
using Face = std::array<Corner, 3>;
Face face(Corner a, Corner b, Corner c) {
    Face f{a, b, c};
    std::sort(f.begin(), f.end());
    return f;
}

}  // namespace

TEST(Circumcircle, CentreRadiusAndTheInclusiveBoundary) {
    double xc = -1, yc = -1, r = -1;
    // y1 = y2: the centre's x comes from the first side's midpoint.
    EXPECT_TRUE(circumcircle(2, 2, 0, 0, 2, 0, 0, 2, xc, yc, r));  // on the circle counts as inside
    EXPECT_DOUBLE_EQ(xc, 1.0);
    EXPECT_DOUBLE_EQ(yc, 1.0);
    EXPECT_DOUBLE_EQ(r, std::sqrt(2.0));
    // y2 = y3: from the second side's.
    EXPECT_FALSE(circumcircle(3, 0, 0, 2, 0, 0, 2, 0, xc, yc, r));
    EXPECT_DOUBLE_EQ(xc, 1.0);
    EXPECT_DOUBLE_EQ(yc, 1.0);
    // General case.
    EXPECT_TRUE(circumcircle(0.5, 0.5, -1, 0.1, 0.2, -1, 1.1, 1.3, xc, yc, r));
    EXPECT_NEAR(std::hypot(-1 - xc, 0.1 - yc), r, 1e-12);
    EXPECT_NEAR(std::hypot(1.1 - xc, 1.3 - yc), r, 1e-12);
    // Flat: outside, nothing written.
    xc = yc = r = 42;
    EXPECT_FALSE(circumcircle(1, 0, 0, 0, 1, 5e-9, 2, 0, xc, yc, r));
    EXPECT_EQ(xc, 42);
    EXPECT_EQ(yc, 42);
    EXPECT_EQ(r, 42);
}

TEST(Triangulate, DocumentedCases) {
    struct Case {
        const char* name;
        std::vector<Vec3> points;
        int32_t triangles;
    };
    const Case cases[] = {
        {"unit square", points({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), 2},
        {"horizontal row of three", points({{0, 0}, {1, 0}, {2, 0}}), 0},
        {"one point", points({{3, 4}}), 0},
        {"no point", {}, 0},
        {"one triangle", points({{0, 0}, {4, 1}, {1, 3}}), 1},
        {"equal x", points({{0, 0}, {0, 2}, {1, 1}, {1, -1}, {0, 1}}), 3},
    };
    for (const Case& c : cases) {
        const Result r = run(c.points, false);
        EXPECT_EQ(r.code, kDelaunayOk) << c.name;
        EXPECT_EQ(r.count, c.triangles) << c.name;
        for (size_t i = 1; i < c.points.size(); ++i) EXPECT_LE(r.vertices[i - 1].x, r.vertices[i].x) << c.name;
        for (const Triangle& t : r.triangles)
            for (int32_t p : {t.p1, t.p2, t.p3}) EXPECT_LT(p, int32_t(c.points.size())) << c.name;
        if (!c.points.empty()) {
            EXPECT_EQ(r.vertices[c.points.size()].status, 7) << "super vertex status kept";
        }
    }
}

// Random points inside a square with its corners (the scene's layout): CGAL's triangles.
TEST(Triangulate, SameTrianglesAsCgal) {
    using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
    std::mt19937 gen(7);
    for (int n : {3, 10, 200, 1500}) {
        std::uniform_real_distribution<float> ux(-12.8f, 12.8f), uy(-9.6f, 9.6f);
        std::vector<Vec3> pts;
        for (int i = 0; i < n; ++i) pts.push_back(makeVec3(ux(gen), uy(gen), 0.0f));
        for (auto [x, y] : {Corner{-15, -15}, Corner{15, -15}, Corner{15, 15}, Corner{-15, 15}})
            pts.push_back(makeVec3(x, y, 0.0f));
        const Result r = run(pts, false);
        ASSERT_EQ(r.code, kDelaunayOk);
        EXPECT_EQ(r.count, 2 * int(pts.size()) - 4 - 2) << "2 nv - h - 2 with h = 4";
        std::set<Face> ours, peer;
        auto at = [&](int32_t k) { return Corner{r.vertices[k].x, r.vertices[k].y}; };
        for (const Triangle& t : r.triangles) ours.insert(face(at(t.p1), at(t.p2), at(t.p3)));

        CGAL::Delaunay_triangulation_2<Kernel> dt;
        for (const Vec3& p : pts) dt.insert(Kernel::Point_2(p.x, p.y));
        for (auto f = dt.finite_faces_begin(); f != dt.finite_faces_end(); ++f) {
            auto c = [&](int k) { return Corner{float(f->vertex(k)->point().x()), float(f->vertex(k)->point().y())}; };
            peer.insert(face(c(0), c(1), c(2)));
        }
        EXPECT_EQ(ours.size(), size_t(r.count)) << "no triangle twice";
        EXPECT_EQ(ours, peer) << n << " points";
    }
}

// The cached, skipping implementation against the straightforward one on random and degenerate
// sets: same code, same sorted vertices, same triangles in the same order.
TEST(Triangulate, SameDecisionsAsTheStraightforwardMethod) {
    std::mt19937 gen(2024);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(gen); };
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(gen); };
    const char* kinds[] = {"uniform", "grid", "duplicates", "columns", "rows", "tiny", "clustered", "scene", "fan"};
    DelaunayWorkspace work;  // reused throughout, as the scene reuses it
    std::map<int32_t, int> codes;
    int compared = 0;
    for (int round = 0; round < 3000; ++round) {
        const int kind = round % 9;
        std::vector<Vec3> pts;
        const int n = kind == 5 ? pick(1, 6) : round % 97 == 0 ? pick(600, 1500) : pick(1, 160);
        for (int i = 0; i < n; ++i) {
            float x = uniform(-10, 10), y = uniform(-10, 10);
            switch (kind) {
            case 1: x = float(pick(-4, 4)), y = float(pick(-4, 4)); break;          // cocircular, collinear, repeated
            case 2: if (i > 0 && pick(0, 2) == 0) { pts.push_back(pts[pick(0, i - 1)]); continue; } break;
            case 3: x = float(pick(-3, 3)) * 0.5f; break;                              // equal x
            case 4: y = float(pick(-2, 2)) + (pick(0, 3) == 0 ? 4e-9f : 0.0f); break;  // horizontal rows
            case 5: x = float(pick(0, 2)), y = float(pick(0, 2)); break;
            case 6: x = 1e-3f * uniform(-1, 1) + float(pick(0, 1)), y = 1e-3f * uniform(-1, 1); break;
            case 7: x = uniform(-12.8f, 12.8f), y = uniform(-9.6f, 9.6f); break;
            case 8: {  // on a left half circle, then its centre: one hole of all (the edge list grows)
                const float a = 3.14159f * uniform(0, 1);
                x = i + 1 == n ? 0.0f : -std::sin(a), y = i + 1 == n ? 0.0f : std::cos(a);
                break;
            }
            default: break;
            }
            pts.push_back(makeVec3(x, y, 0.0f));
        }
        if (kind == 7)
            for (auto [x, y] : {Corner{-15, -15}, Corner{15, -15}, Corner{15, 15}, Corner{-15, 15}})
                pts.push_back(makeVec3(x, y, 0.0f));

        const Result want = run(pts, true);
        const Result got = run(pts, false, &work);
        ++codes[want.code];
        ASSERT_EQ(got.code, want.code) << kinds[kind] << " round " << round;
        ASSERT_EQ(got.count, want.count) << kinds[kind] << " round " << round;
        for (size_t i = 0; i < want.vertices.size(); ++i)
            ASSERT_TRUE(got.vertices[i].x == want.vertices[i].x && got.vertices[i].y == want.vertices[i].y)
                << kinds[kind] << " round " << round << " vertex " << i;
        for (int32_t t = 0; t < want.count; ++t) {
            const Triangle a = got.triangles[t], b = want.triangles[t];
            ASSERT_TRUE(a.p1 == b.p1 && a.p2 == b.p2 && a.p3 == b.p3)
                << kinds[kind] << " round " << round << " triangle " << t;
        }
        ++compared;
    }
    EXPECT_EQ(compared, 3000);
    for (auto [code, times] : codes) std::printf("result code %d: %d sets\n", code, times);
}
