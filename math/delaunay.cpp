#include "math/delaunay.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <new>

namespace ostravel {

namespace {

constexpr double kEpsilon = 1e-8;
constexpr int32_t kFirstEdges = 200;
constexpr int32_t kEdgeStep = 100;

using Circle = DelaunayWorkspace::Circle;
using Edge = DelaunayWorkspace::Edge;

// The circle through three points, by intersecting two side bisectors. False for a flat triangle
// (all three y within kEpsilon), which has no circle. Every caller goes through here, so a cached
// circle is bit for bit the one a fresh test would compute.
inline bool circleThrough(double x1, double y1, double x2, double y2, double x3, double y3, Circle& c) {
    if (std::fabs(y1 - y2) < kEpsilon && std::fabs(y2 - y3) < kEpsilon) return false;
    double xc, yc;
    if (std::fabs(y2 - y1) < kEpsilon) {
        const double m2 = -(x3 - x2) / (y3 - y2);
        const double mx2 = (x2 + x3) / 2.0, my2 = (y2 + y3) / 2.0;
        xc = (x2 + x1) / 2.0;
        yc = m2 * (xc - mx2) + my2;
    } else if (std::fabs(y3 - y2) < kEpsilon) {
        const double m1 = -(x2 - x1) / (y2 - y1);
        const double mx1 = (x1 + x2) / 2.0, my1 = (y1 + y2) / 2.0;
        xc = (x3 + x2) / 2.0;
        yc = m1 * (xc - mx1) + my1;
    } else {
        const double m1 = -(x2 - x1) / (y2 - y1);
        const double m2 = -(x3 - x2) / (y3 - y2);
        const double mx1 = (x1 + x2) / 2.0, my1 = (y1 + y2) / 2.0;
        const double mx2 = (x2 + x3) / 2.0, my2 = (y2 + y3) / 2.0;
        xc = (m1 * mx1 - m2 * mx2 + my2 - my1) / (m1 - m2);
        yc = m1 * (xc - mx1) + my1;
    }
    const double dx = x2 - xc, dy = y2 - yc;
    c.xc = xc;
    c.yc = yc;
    c.rsqr = dx * dx + dy * dy;
    c.right = xc + std::sqrt(c.rsqr);
    return true;
}

inline bool holds(const Circle& c, double xp, double yp) {
    const double dx = xp - c.xc, dy = yp - c.yc;
    return dx * dx + dy * dy <= c.rsqr;
}

// Sorts vertices by x, ties in their given order: keys are the x bits turned into an unsigned
// order (-0 taken as +0) with the index below them, so one plain sort gives a stable order
// without a merge buffer.
void sortByX(int32_t nv, Vec3* vertices, DelaunayWorkspace& work) {
    uint64_t* keys = work.sortKeys.data();
    for (int32_t i = 0; i < nv; ++i) {
        const uint32_t bits = std::bit_cast<uint32_t>(vertices[i].x + 0.0f);
        const uint32_t order = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
        keys[i] = (uint64_t(order) << 32) | uint32_t(i);
    }
    std::sort(keys, keys + nv);
    Vec3* scratch = work.sortScratch.data();
    for (int32_t i = 0; i < nv; ++i) scratch[i] = vertices[uint32_t(keys[i])];
    std::copy(scratch, scratch + nv, vertices);
}

// Room in the edge table for `edgeCapacity` edges at half load at most.
bool growEdgeTable(DelaunayWorkspace& work, int32_t edgeCapacity) {
    size_t size = 1;
    while (size < 2 * size_t(edgeCapacity)) size *= 2;
    if (work.edgeTable.size() >= size) return true;
    try {
        work.edgeTable.assign(size, DelaunayWorkspace::EdgeSlot{});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Marks every edge whose two vertices (in either order) occur more than once in the list: the
// edges inside the hole. Same outcome as comparing every pair, in one pass.
void markSharedEdges(Edge* edges, int32_t edgeCount, DelaunayWorkspace::EdgeSlot* table, size_t tableSize,
                     int32_t stamp) {
    const size_t mask = tableSize - 1;
    for (int32_t e = 0; e < edgeCount; ++e) {
        const uint32_t a = uint32_t(edges[e].p1), b = uint32_t(edges[e].p2);
        const uint64_t key = a < b ? (uint64_t(a) << 32 | b) : (uint64_t(b) << 32 | a);
        size_t h = size_t((key * 0x9E3779B97F4A7C15ull) >> 40) & mask;
        while (table[h].stamp == stamp && table[h].key != key) h = (h + 1) & mask;
        if (table[h].stamp != stamp) {
            table[h] = DelaunayWorkspace::EdgeSlot{key, e, stamp};
        } else {
            edges[e].removed = true;
            edges[table[h].first].removed = true;
        }
    }
}

// The per-triangle buffers (what a finished flag per triangle is to the straightforward method)
// and the sort's, for nv points.
bool growTriangleBuffers(DelaunayWorkspace& work, int32_t nv) {
    const size_t triangles = 4 * size_t(std::max(nv, 1));
    try {
        if (work.activeOf.size() < triangles) work.activeOf.resize(triangles);
        if (work.active.size() < triangles) work.active.resize(triangles);
        if (work.removals.size() < triangles) work.removals.resize(triangles);
        if (work.sortKeys.size() < size_t(nv)) work.sortKeys.resize(nv);
        if (work.sortScratch.size() < size_t(nv)) work.sortScratch.resize(nv);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool growEdgeBuffers(DelaunayWorkspace& work) {
    try {
        if (work.edges.size() < size_t(kFirstEdges)) work.edges.resize(kFirstEdges);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return growEdgeTable(work, kFirstEdges);
}

}  // namespace

bool circumcircle(double xp, double yp, double x1, double y1, double x2, double y2, double x3, double y3,
                  double& xc, double& yc, double& r) {
    Circle c;
    if (!circleThrough(x1, y1, x2, y2, x3, y3, c)) return false;
    xc = c.xc;
    yc = c.yc;
    r = std::sqrt(c.rsqr);
    return holds(c, xp, yp);
}

bool DelaunayWorkspace::reserve(int32_t maxVertices) {
    return growTriangleBuffers(*this, maxVertices) && growEdgeBuffers(*this);
}

int32_t triangulate(int32_t nv, Vec3* vertices, Triangle* triangles, int32_t& triangleCount,
                    DelaunayWorkspace& work) {
    if (nv <= 0) {
        triangleCount = 0;
        return kDelaunayOk;
    }
    if (!growTriangleBuffers(work, nv)) return kDelaunayNoFlagBuffer;
    if (!growEdgeBuffers(work)) return kDelaunayNoEdgeBuffer;
    const size_t triangleLimit = 4 * size_t(nv);
    // Entries are told apart by the insertion they belong to (stamps 1 .. nv): forget the last call's.
    std::fill(work.edgeTable.begin(), work.edgeTable.end(), DelaunayWorkspace::EdgeSlot{});

    sortByX(nv, vertices, work);

    double xmin = vertices[0].x, xmax = xmin, ymin = vertices[0].y, ymax = ymin;
    for (int32_t i = 1; i < nv; ++i) {
        xmin = std::min(xmin, double(vertices[i].x));
        xmax = std::max(xmax, double(vertices[i].x));
        ymin = std::min(ymin, double(vertices[i].y));
        ymax = std::max(ymax, double(vertices[i].y));
    }
    const double dmax = std::max(xmax - xmin, ymax - ymin);
    const double xmid = (xmax + xmin) / 2.0, ymid = (ymax + ymin) / 2.0;
    auto place = [&](int32_t k, double x, double y) {
        vertices[k].x = float(x);
        vertices[k].y = float(y);
        vertices[k].z = 0.0f;
    };
    place(nv, xmid - 20.0 * dmax, ymid - dmax);
    place(nv + 1, xmid, ymid + 20.0 * dmax);
    place(nv + 2, xmid + 20.0 * dmax, ymid - dmax);

    int32_t* activeOf = work.activeOf.data();
    Circle* active = work.active.data();
    int32_t* removals = work.removals.data();
    int32_t activeCount = 0;

    // Appends triangle (a, b, c) at slot `count` with its circle; a flat one is finished at once,
    // as no point can ever fall inside it.
    int32_t count = 0;
    auto addTriangle = [&](int32_t a, int32_t b, int32_t c) {
        triangles[count] = Triangle{a, b, c};
        Circle& circle = active[activeCount];
        if (circleThrough(vertices[a].x, vertices[a].y, vertices[b].x, vertices[b].y, vertices[c].x,
                          vertices[c].y, circle)) {
            circle.slot = count;
            activeOf[count] = activeCount++;
        } else {
            activeOf[count] = -1;
        }
        ++count;
    };
    addTriangle(nv, nv + 1, nv + 2);

    int32_t edgeCapacity = kFirstEdges;
    for (int32_t i = 0; i < nv; ++i) {
        const double xp = vertices[i].x, yp = vertices[i].y;

        // Which unfinished triangles hold the point, and which are finished from now on.
        int32_t removalCount = 0;
        for (int32_t k = 0; k < activeCount;) {
            const Circle& circle = active[k];
            const bool inside = holds(circle, xp, yp);
            if (!inside && !(circle.right < xp)) {
                ++k;
                continue;
            }
            if (inside) removals[removalCount++] = circle.slot;
            activeOf[circle.slot] = -1;
            if (k != --activeCount) {
                active[k] = active[activeCount];
                activeOf[active[k].slot] = k;
            }
        }

        // Remove them in the order a scan over the slots meets them: at slot j the last triangle
        // moves in and is looked at again, so a removal from the tail follows at once.
        std::sort(removals, removals + removalCount);
        int32_t edgeCount = 0;
        for (int32_t lo = 0, hi = removalCount - 1; lo <= hi;) {
            const int32_t j = removals[lo++];
            for (;;) {
                if (edgeCount + 3 >= edgeCapacity) {
                    edgeCapacity += kEdgeStep;
                    bool grown = growEdgeTable(work, edgeCapacity);
                    try {
                        if (grown && work.edges.size() < size_t(edgeCapacity)) work.edges.resize(edgeCapacity);
                    } catch (const std::bad_alloc&) {
                        grown = false;
                    }
                    if (!grown) {
                        triangleCount = count;
                        return kDelaunayEdgeGrowthFailed;
                    }
                }
                Edge* edges = work.edges.data();
                const Triangle t = triangles[j];
                edges[edgeCount++] = Edge{t.p1, t.p2, false};
                edges[edgeCount++] = Edge{t.p2, t.p3, false};
                edges[edgeCount++] = Edge{t.p3, t.p1, false};
                const int32_t last = --count;
                if (last == j) break;
                triangles[j] = triangles[last];
                activeOf[j] = activeOf[last];
                if (activeOf[j] >= 0) active[activeOf[j]].slot = j;
                if (lo > hi || removals[hi] != last) break;
                --hi;
            }
        }

        // An edge shared by two removed triangles is inside the hole; the rest bound it.
        Edge* edges = work.edges.data();
        markSharedEdges(edges, edgeCount, work.edgeTable.data(), work.edgeTable.size(), i + 1);

        for (int32_t j = 0; j < edgeCount; ++j) {
            if (edges[j].removed) continue;
            if (size_t(count) >= triangleLimit) {
                triangleCount = count;
                return kDelaunayTriangleBufferFull;
            }
            addTriangle(edges[j].p1, edges[j].p2, i);
        }
    }

    for (int32_t j = 0; j < count;) {
        const Triangle& t = triangles[j];
        if (t.p1 >= nv || t.p2 >= nv || t.p3 >= nv)
            triangles[j] = triangles[--count];
        else
            ++j;
    }
    triangleCount = count;
    return kDelaunayOk;
}

int32_t triangulate(int32_t nv, Vec3* vertices, Triangle* triangles, int32_t& triangleCount) {
    DelaunayWorkspace work;
    return triangulate(nv, vertices, triangles, triangleCount, work);
}

}  // namespace ostravel
