#include "scenes/triangulation.h"

#include <algorithm>
#include <cmath>

#include "math/random.h"
#include "platform/gl.h"
#include "render/vertex_batch.h"

namespace ostravel {

namespace {

constexpr double kMinFade = 0.00001;
constexpr float kSquareHalf = 15.0f;

}  // namespace

TriangulationBuffers::TriangulationBuffers()
    : vertices(kTriangulationVertexCapacity), triangles(kTriangulationTriangleCapacity) {
    work.reserve(kTriangulationTriangleCapacity / 4);
}

int32_t triangulateFeatures(const FrameAnalysis& frame, TriangulationBuffers& buffers, double f) {
    if (f < kMinFade) return kDelaunayOk;
    const double limit = std::min(double(kTriangulationPoints), f * std::max(frame.cornerCount, 0));
    Vec3* v = buffers.vertices.data();
    int32_t next = 0;  // the next free vertex
    for (int32_t n = 0; n < limit; ++n) {
        const Vec3& p = frame.trackedPoints[n];
        v[next++] = makeVec3(float(p.x * kTrackedPointScale), float(p.y * kTrackedPointScale), 0.0f);
    }
    // Without any tracked point slot 0 stays out: only the square is triangulated.
    buffers.firstVertex = next == 0 ? 1 : 0;
    next = std::max(next, 1);
    v[next++] = makeVec3(-kSquareHalf, -kSquareHalf, 0.0f);
    v[next++] = makeVec3(kSquareHalf, -kSquareHalf, 0.0f);
    v[next++] = makeVec3(kSquareHalf, kSquareHalf, 0.0f);
    v[next++] = makeVec3(-kSquareHalf, kSquareHalf, 0.0f);
    buffers.vertexCount = next - buffers.firstVertex;
    buffers.triangleCount = 0;
    buffers.result = triangulate(buffers.vertexCount, v + buffers.firstVertex, buffers.triangles.data(),
                                 buffers.triangleCount, buffers.work);
    return buffers.result;
}

void drawFeatureTriangulation(const FrameAnalysis& frame, TriangulationBuffers& buffers, double f) {
    if (f < kMinFade) return;
    glEnable(GL_BLEND);
    seed(5000);
    glLineWidth(1.0f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glDisable(GL_TEXTURE_2D);
    glColor3f(0.1f, 0.15f, 0.2f);

    // On a failed triangulation the triangles made so far are drawn all the same.
    triangulateFeatures(frame, buffers, f);

    const Vec3* v = buffers.vertices.data() + buffers.firstVertex;
    VertexBatch& batch = drawerBatch();
    batch.begin(GL_TRIANGLES);
    for (int32_t k = 0; k < buffers.triangleCount; ++k) {
        const Triangle& t = buffers.triangles[k];
        const Vec3& a = v[t.p1];
        const Vec3& b = v[t.p2];
        const Vec3& c = v[t.p3];
        const Vec3 n = cross(subtract(b, a), subtract(c, a));
        // |n| is twice the area: only triangles smaller than about 1.235 square units (|n| < 2.47)
        // are drawn, brighter the smaller.
        const double length = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
        const double w = 0.1 / (length + 0.03);
        if (!(w > 0.04)) continue;
        const double bright = random01() * 0.1 + w;
        batch.colour(float(0.25 * bright), float(0.5 * bright), float(bright));
        batch.vertex(a.x, a.y, 0.0f);
        batch.vertex(b.x, b.y, 0.0f);
        batch.vertex(c.x, c.y, 0.0f);
    }
    batch.end();
    batch.flush();
}

}  // namespace ostravel
