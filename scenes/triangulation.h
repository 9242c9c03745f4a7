// Feature triangulation: every frame the tracked feature points and the four corners of a large
// square are triangulated (math/delaunay.h) and only the small triangles are filled, brighter the
// smaller they are, so dense clusters of feature points light up while sparse regions stay dark.
//
// Conventions
// - Tracked point n lies at trackedPoints[n] * 0.04, z = 0; the square's corners at (+-15, +-15).
// - The points taken are n = 0, 1, ... while n < min(1500, f * cornerCount): the fade thins the
//   mesh from the weak end of the list. Point 0, the strongest corner, takes part like the others;
//   with no corner at all only the square is triangulated.
// - Draws filled triangles at z = 0 with the caller's blend function (the sequencer's additive
//   one), blending on and 2D texturing off. Seeds the random sequence with 5000 and draws one
//   value per triangle drawn, in the triangulation's order.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/frame_analysis.h"
#include "math/delaunay.h"

namespace ostravel {

constexpr int kTriangulationPoints = 1500;  // tracked points 0 .. 1499 at most
constexpr int kTriangulationVertexCapacity = 2000 + 3;  // + the super-triangle's three corners
constexpr int kTriangulationTriangleCapacity = 4 * 1505;

// Storage of the scene, allocated once and reused every frame.
struct TriangulationBuffers {
    std::vector<Vec3> vertices;      // kTriangulationVertexCapacity, default-constructed
    std::vector<Triangle> triangles; // kTriangulationTriangleCapacity
    DelaunayWorkspace work;
    // The last triangulation: vertices[firstVertex .. firstVertex + vertexCount - 1], sorted by x,
    // and triangles[0 .. triangleCount - 1] indexing from vertices[firstVertex].
    int32_t firstVertex = 0;
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    int32_t result = kDelaunayOk;

    TriangulationBuffers();
};

// Fills the vertex buffer from the tracked points and triangulates it; returns the result code.
// Touches nothing when f < 0.00001 (and returns kDelaunayOk).
int32_t triangulateFeatures(const FrameAnalysis& frame, TriangulationBuffers& buffers, double f);

// The scene: draws nothing and touches nothing when f < 0.00001.
void drawFeatureTriangulation(const FrameAnalysis& frame, TriangulationBuffers& buffers, double f);

}  // namespace ostravel
