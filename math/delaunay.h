// Delaunay triangulation of points in the x-y plane (z ignored): incremental Bowyer-Watson with a
// bounding super-triangle (P. Bourke, "Efficient Triangulation Algorithm Suitable for Terrain
// Modelling", 1989). Points are inserted in order of increasing x; every triangle whose
// circumcircle holds the new point is removed and the hole is re-triangulated from the point.
//
// Conventions and limits
// - The caller owns the arrays. `vertices` needs room for nv + 3 entries: the super-triangle's
//   corners are written at nv, nv + 1 and nv + 2 (x, y, z; their status words are not touched).
//   The first nv vertices are sorted in place by x, ties keeping the caller's order; triangle
//   indices refer to that sorted order. `triangles` needs room for 4 * nv records.
// - Circle tests run in double on the float coordinates; a point on a circle counts as inside.
//   The super-triangle reaches 20 times the points' extent beyond their box, so points whose hull
//   is very flat can lose a few hull triangles (a known limit of the method).
// - The result, and the order of the triangles, is that of the straightforward method that tests
//   every unfinished triangle against every point and removes a triangle by moving the last one
//   into its slot; this implementation caches each triangle's circle and never visits finished
//   triangles, but takes every decision of that method with the same arithmetic.
// - nv <= 0 gives no triangle and touches nothing. Coordinates must be finite.
#pragma once

#include <cstdint>
#include <vector>

#include "math/vec3.h"

namespace ostravel {

struct Triangle {
    int32_t p1 = 0;
    int32_t p2 = 0;
    int32_t p3 = 0;
};

// Result codes of triangulate.
constexpr int32_t kDelaunayOk = 0;
constexpr int32_t kDelaunayNoFlagBuffer = 1;        // the per-triangle work buffer could not be had
constexpr int32_t kDelaunayNoEdgeBuffer = 2;        // the edge list (200 edges) could not be had
constexpr int32_t kDelaunayEdgeGrowthFailed = 3;    // growing the edge list by 100 edges failed
constexpr int32_t kDelaunayTriangleBufferFull = 4;  // the count reached 4 * nv

// Does the circle through (x1, y1), (x2, y2), (x3, y3) hold (xp, yp)? Writes its centre and radius.
// A triangle whose three y lie within 1e-8 of each other has no usable circle: the point is
// reported outside and xc, yc, r are left as they were. Near-horizontal sides are handled by
// taking the centre's x from the other bisector; a triangle with two equal points or three points
// on a slanted line gives a non-finite circle that holds nothing.
bool circumcircle(double xp, double yp, double x1, double y1, double x2, double y2, double x3, double y3,
                  double& xc, double& yc, double& r);

// Work storage of triangulate, kept between calls so that repeated triangulations allocate
// nothing once it has grown (reserve it up front for the largest set).
struct DelaunayWorkspace {
    struct Circle {
        double xc = 0.0, yc = 0.0;
        double rsqr = 0.0;   // r squared, as the circle test compares it
        double right = 0.0;  // xc + r: no point beyond this x can fall inside
        int32_t slot = 0;    // the triangle's slot in the output array
    };
    struct Edge {
        int32_t p1 = 0, p2 = 0;
        bool removed = false;
    };
    std::vector<int32_t> activeOf;   // per triangle slot: index into `active`, or -1 when finished
    std::vector<Circle> active;      // unfinished triangles with their circles, in no order
    std::vector<int32_t> removals;   // slots to remove for the current point
    struct EdgeSlot {
        uint64_t key = 0;     // the edge's two vertex indices, smaller first
        int32_t first = 0;    // the first edge of the list with this key
        int32_t stamp = 0;    // the insertion the entry belongs to (older entries count as empty)
    };
    std::vector<Edge> edges;
    std::vector<EdgeSlot> edgeTable;  // open addressing, a power of two of at least twice the edges
    std::vector<uint64_t> sortKeys;
    std::vector<Vec3> sortScratch;

    // Grows the storage for sets of up to maxVertices points. False when memory is short.
    bool reserve(int32_t maxVertices);
};

// Triangulates vertices[0 .. nv - 1]; returns a result code. On codes 3 and 4 the triangles made
// so far (super-triangle ones included) and their count are left as they stand; on codes 1 and 2
// the count is not written.
int32_t triangulate(int32_t nv, Vec3* vertices, Triangle* triangles, int32_t& triangleCount,
                    DelaunayWorkspace& work);
// The same with work storage taken from the heap and released before returning.
int32_t triangulate(int32_t nv, Vec3* vertices, Triangle* triangles, int32_t& triangleCount);

}  // namespace ostravel
