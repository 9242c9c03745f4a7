// Post-processing of a loaded model: per-frame samples, local frames, normals and tangents.
#include <algorithm>
#include <cmath>

#include "math/vec3.h"
#include "math/mat4.h"
#include "models/model3ds.h"

namespace ostravel {

namespace {

constexpr size_t kMaxVertices = 65536;  // indices are 16-bit

Vec3 toVec3(const Float3& f) { return makeVec3(f.x, f.y, f.z); }
Float3 toFloat3(const Vec3& v) { return Float3{v.x, v.y, v.z}; }

// Unit vector; a vector too short to normalise becomes zero (the kernel's normalise).
Float3 unit(Vec3 v) {
    v.status = 1;
    normalise(v);
    return toFloat3(v);
}

// Segments are written in key order, so where keys out of frame order make segments overlap,
// the later segment wins. Filling the segments backwards and writing each frame only once
// (skipping written frames through next-unwritten links) gives the same samples in
// O(keys + frames), whatever the order of the keys.
class FrameFill {
public:
    explicit FrameFill(int frames) : next_(static_cast<size_t>(frames) + 1) {
        for (size_t j = 0; j < next_.size(); ++j) next_[j] = static_cast<int32_t>(j);
    }
    // Calls write(j) for every unwritten frame j in [a, b) clipped to [0, frames).
    template <typename Write>
    void fill(int64_t a, int64_t b, Write write) {
        const int64_t frames = static_cast<int64_t>(next_.size()) - 1;
        const int64_t hi = std::min(b, frames);
        for (int64_t j = unwritten(std::clamp<int64_t>(a, 0, frames)); j < hi; j = unwritten(j)) {
            write(j);
            next_[static_cast<size_t>(j)] = static_cast<int32_t>(j + 1);
        }
    }

private:
    int64_t unwritten(int64_t j) {
        int64_t root = j;
        while (next_[static_cast<size_t>(root)] != root) root = next_[static_cast<size_t>(root)];
        while (next_[static_cast<size_t>(j)] != root) {
            const int64_t after = next_[static_cast<size_t>(j)];
            next_[static_cast<size_t>(j)] = static_cast<int32_t>(root);
            j = after;
        }
        return root;
    }

    std::vector<int32_t> next_;
};

void sampleRotations(KeyframeNode& node, int frames) {
    node.rotations.assign(static_cast<size_t>(frames), RotationSample{});
    const std::vector<RotationKey>& keys = node.rotationKeys;
    if (keys.empty()) return;
    node.firstRotationKey = RotationSample{keys[0].x, keys[0].y, keys[0].z, keys[0].angle};
    struct Segment {
        int64_t a, b;
        RotationSample start, end;
        long double startAngle, endAngle;
    };
    std::vector<Segment> segments;
    segments.reserve(keys.size());
    long double sum = 0.0L;  // the running angle, kept in extended precision
    for (size_t k = 0; k < keys.size(); ++k) {
        Segment g{keys[k].frame, frames, RotationSample{}, RotationSample{}, 0.0L, 0.0L};
        if (k > 0) {
            g.start = RotationSample{keys[k].x, keys[k].y, keys[k].z, 0.0f};
            g.startAngle = sum;
        }
        g.end = g.start;
        g.endAngle = g.startAngle;
        if (k + 1 < keys.size()) {
            g.end = RotationSample{keys[k + 1].x, keys[k + 1].y, keys[k + 1].z, 0.0f};
            g.endAngle = sum + keys[k + 1].angle;
            sum = g.endAngle;
            g.b = keys[k + 1].frame;
        }
        g.b = std::min<int64_t>(g.b, frames);
        segments.push_back(g);
    }
    FrameFill fill(frames);
    for (auto g = segments.rbegin(); g != segments.rend(); ++g)
        fill.fill(g->a, g->b, [&node, &g](int64_t j) {
            const double t = double(j - g->a) / double(g->b - g->a);
            RotationSample& s = node.rotations[static_cast<size_t>(j)];
            s.x = static_cast<float>(g->start.x + (double(g->end.x) - g->start.x) * t);
            s.y = static_cast<float>(g->start.y + (double(g->end.y) - g->start.y) * t);
            s.z = static_cast<float>(g->start.z + (double(g->end.z) - g->start.z) * t);
            s.angle = static_cast<float>(g->startAngle + (g->endAngle - g->startAngle) * t);
        });
}

void samplePositions(KeyframeNode& node, int frames) {
    const std::vector<PositionKey>& keys = node.positionKeys;
    const Float3 first = keys.empty() ? Float3{} : Float3{keys[0].x, keys[0].y, keys[0].z};
    node.positions.assign(static_cast<size_t>(frames), first);
    // Pairs (k - 1, k), then the last key with itself up to the frame count; backwards, as above.
    FrameFill fill(frames);
    for (size_t k = keys.size(); k >= 1; --k) {
        const PositionKey& from = keys[k - 1];
        const PositionKey& to = k < keys.size() ? keys[k] : keys[k - 1];
        const int64_t a = from.frame;
        const int64_t b = std::min<int64_t>(k < keys.size() ? int64_t(to.frame) : int64_t(frames), frames);
        fill.fill(a, b, [&node, &from, &to, a, b](int64_t j) {
            const double t = double(j - a) / double(b - a);
            Float3& p = node.positions[static_cast<size_t>(j)];
            p.x = static_cast<float>(from.x + (double(to.x) - from.x) * t);
            p.y = static_cast<float>(from.y + (double(to.y) - from.y) * t);
            p.z = static_cast<float>(from.z + (double(to.z) - from.z) * t);
        });
    }
    node.positionKeys = std::vector<PositionKey>();
    node.rotationKeys = std::vector<RotationKey>();
}

void moveIntoLocalFrame(MeshObject& mesh, KeyframeNode* node) {
    const float* m = mesh.matrix;
    // Columns X, Y, Z axis: the transpose of the stored rows.
    Mat4 axes;
    const double columns[16] = {m[0], m[4], m[8], 0, m[1], m[5], m[9], 0, m[2], m[6], m[10], 0, 0, 0, 0, 1};
    setMatrix(axes, columns);
    Mat4 inv;
    inverse(axes, inv);
    const float lx = static_cast<float>(std::sqrt(double(m[0]) * m[0] + double(m[1]) * m[1] + double(m[2]) * m[2]));
    const float ly = static_cast<float>(std::sqrt(double(m[4]) * m[4] + double(m[5]) * m[5] + double(m[6]) * m[6]));
    const float lz = static_cast<float>(std::sqrt(double(m[8]) * m[8] + double(m[9]) * m[9] + double(m[10]) * m[10]));
    if (node) node->pivot = Float3{-lx * node->pivot.x, -ly * node->pivot.y, -lz * node->pivot.z};
    const Vec3 origin = makeVec3(m[12], m[13], m[14]);
    for (Float3& v : mesh.vertices) {
        const Vec3 local = transform(inv, subtract(toVec3(v), origin));
        v = Float3{lx * local.x, ly * local.y, lz * local.z};
    }
}

// For every vertex, the faces that use it (once per corner), in face order: offsets[v] ..
// offsets[v + 1] index into faces.
struct VertexFaces {
    std::vector<uint32_t> offsets;
    std::vector<uint32_t> faces;
};

void buildVertexFaces(const MeshObject& mesh, VertexFaces& out) {
    const size_t n = mesh.vertices.size();
    out.offsets.assign(n + 1, 0);
    for (const MeshFace& f : mesh.faces) {
        ++out.offsets[f.a + 1];
        ++out.offsets[f.b + 1];
        ++out.offsets[f.c + 1];
    }
    for (size_t i = 0; i < n; ++i) out.offsets[i + 1] += out.offsets[i];
    out.faces.resize(out.offsets[n]);
    std::vector<uint32_t> fill(out.offsets.begin(), out.offsets.end() - 1);
    for (uint32_t i = 0; i < mesh.faces.size(); ++i) {
        const MeshFace& f = mesh.faces[i];
        out.faces[fill[f.a]++] = i;
        out.faces[fill[f.b]++] = i;
        out.faces[fill[f.c]++] = i;
    }
}

void splitSmoothingGroups(MeshObject& mesh, VertexFaces& lists) {
    const size_t count = mesh.vertices.size();
    struct Entry {
        uint32_t smoothing;
        uint32_t position;  // in the vertex's face list
    };
    std::vector<Entry> entries;
    std::vector<uint32_t> groupStarts;
    for (size_t v = 0; v < count && mesh.vertices.size() < kMaxVertices; ++v) {
        const uint32_t* faces = lists.faces.data() + lists.offsets[v];
        const uint32_t used = lists.offsets[v + 1] - lists.offsets[v];
        if (used < 2) continue;
        const uint32_t firstValue = mesh.faces[faces[0]].smoothing;
        bool single = true;
        for (uint32_t i = 1; i < used && single; ++i) single = mesh.faces[faces[i]].smoothing == firstValue;
        if (single) continue;

        // Groups by exact value, in the order of their first face: sort stably by value, then
        // order the groups by the position of their first member.
        entries.clear();
        for (uint32_t i = 0; i < used; ++i) entries.push_back(Entry{mesh.faces[faces[i]].smoothing, i});
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& x, const Entry& y) { return x.smoothing < y.smoothing; });
        groupStarts.clear();
        for (uint32_t i = 0; i < used; ++i)
            if (i == 0 || entries[i].smoothing != entries[i - 1].smoothing) groupStarts.push_back(i);
        std::sort(groupStarts.begin(), groupStarts.end(),
                  [&entries](uint32_t x, uint32_t y) { return entries[x].position < entries[y].position; });

        for (size_t g = 1; g < groupStarts.size() && mesh.vertices.size() < kMaxVertices; ++g) {
            mesh.vertices.push_back(mesh.vertices[v]);
            mesh.normals.push_back(mesh.normals[v]);
            mesh.texCoords.push_back(mesh.texCoords[v]);
            mesh.texCoords2.push_back(mesh.texCoords2[v]);
            mesh.tangents.push_back(mesh.tangents[v]);
            mesh.binormals.push_back(mesh.binormals[v]);
            const uint16_t fresh = static_cast<uint16_t>(mesh.vertices.size() - 1);
            const uint32_t value = entries[groupStarts[g]].smoothing;
            for (uint32_t i = groupStarts[g]; i < used && entries[i].smoothing == value; ++i) {
                MeshFace& f = mesh.faces[faces[entries[i].position]];
                if (f.a == v) f.a = fresh;
                if (f.b == v) f.b = fresh;
                if (f.c == v) f.c = fresh;
            }
        }
    }
    buildVertexFaces(mesh, lists);
}

// Sum (in double) of one vector of every face around vertex v.
Vec3 sumAroundVertex(const MeshObject& mesh, const VertexFaces& lists, size_t v, Float3 MeshFace::*field) {
    double x = 0, y = 0, z = 0;
    for (uint32_t i = lists.offsets[v]; i < lists.offsets[v + 1]; ++i) {
        const Float3& f = mesh.faces[lists.faces[i]].*field;
        x += f.x;
        y += f.y;
        z += f.z;
    }
    return makeVec3(float(x), float(y), float(z));
}

void normalPass(MeshObject& mesh, bool smoothing, VertexFaces& lists) {
    for (MeshFace& f : mesh.faces) {
        const Vec3 a = toVec3(mesh.vertices[f.a]);
        const Vec3 b = toVec3(mesh.vertices[f.b]);
        const Vec3 c = toVec3(mesh.vertices[f.c]);
        f.normal = unit(cross(subtract(b, c), subtract(b, a)));
    }
    buildVertexFaces(mesh, lists);
    if (smoothing) splitSmoothingGroups(mesh, lists);
    for (size_t v = 0; v < mesh.vertices.size(); ++v)
        mesh.normals[v] = unit(sumAroundVertex(mesh, lists, v, &MeshFace::normal));
    mesh.indices.resize(mesh.faces.size() * 3);
    for (size_t i = 0; i < mesh.faces.size(); ++i) {
        mesh.indices[3 * i] = mesh.faces[i].a;
        mesh.indices[3 * i + 1] = mesh.faces[i].b;
        mesh.indices[3 * i + 2] = mesh.faces[i].c;
    }
}

// -c.y / c.x, or 0 where the mapping is degenerate along the axis.
float ratio(double numerator, double denominator) {
    if (denominator == 0.0) return 0.0f;
    const float r = static_cast<float>(-numerator / denominator);
    return std::isfinite(r) ? r : 0.0f;
}

void tangentPass(MeshObject& mesh, const VertexFaces& lists) {
    for (MeshFace& f : mesh.faces) {
        const Float3& pa = mesh.vertices[f.a];
        const Float3& pb = mesh.vertices[f.b];
        const Float3& pc = mesh.vertices[f.c];
        const Float2& ta = mesh.texCoords[f.a];
        const Float2& tb = mesh.texCoords[f.b];
        const Float2& tc = mesh.texCoords[f.c];
        const float du1 = tb.u - ta.u, dv1 = tb.v - ta.v, du2 = tc.u - ta.u, dv2 = tc.v - ta.v;
        const float edges1[3] = {pb.x - pa.x, pb.y - pa.y, pb.z - pa.z};
        const float edges2[3] = {pc.x - pa.x, pc.y - pa.y, pc.z - pa.z};
        float tangent[3], binormal[3];
        for (int k = 0; k < 3; ++k) {
            const Vec3 c = cross(makeVec3(edges1[k], du1, dv1), makeVec3(edges2[k], du2, dv2));
            tangent[k] = ratio(c.y, c.x);
            binormal[k] = ratio(c.z, c.x);
        }
        f.tangent = Float3{tangent[0], tangent[1], tangent[2]};
        f.binormal = Float3{binormal[0], binormal[1], binormal[2]};
    }
    for (size_t v = 0; v < mesh.vertices.size(); ++v) {
        mesh.tangents[v] = unit(sumAroundVertex(mesh, lists, v, &MeshFace::tangent));
        mesh.binormals[v] = unit(cross(toVec3(mesh.tangents[v]), toVec3(mesh.normals[v])));
    }
}

// Hand-made models may break what the reader guarantees: equal per-vertex arrays, corners
// inside the vertex list.
void makeConsistent(MeshObject& mesh) {
    const size_t n = mesh.vertices.size();
    mesh.normals.resize(n);
    mesh.binormals.resize(n);
    mesh.tangents.resize(n);
    mesh.texCoords.resize(n);
    mesh.texCoords2.resize(n);
    std::erase_if(mesh.faces, [n](const MeshFace& f) { return f.a >= n || f.b >= n || f.c >= n; });
}

}  // namespace

void postProcessModel(Model& model) {
    const size_t animated = std::min(model.nodes.size(), model.meshObjects.size());
    if (animated > 0 && long(animated) * model.frameCount > kMaxFrameSamples)
        model.frameCount = std::max(1, static_cast<int>(kMaxFrameSamples / long(animated)));
    const int frames = std::max(0, model.frameCount);

    for (size_t i = 0; i < animated; ++i) {
        KeyframeNode& node = model.nodes[i];
        node.pivot = node.pivots.size() >= 3 ? Float3{node.pivots[0], node.pivots[1], node.pivots[2]} : Float3{};
        sampleRotations(node, frames);
        samplePositions(node, frames);
    }
    for (size_t i = 0; i < model.meshObjects.size(); ++i)
        moveIntoLocalFrame(model.meshObjects[i], i < animated ? &model.nodes[i] : nullptr);

    if (model.normalMode == 1 || model.normalMode == 2) {
        VertexFaces lists;
        for (MeshObject& mesh : model.meshObjects) {
            makeConsistent(mesh);
            normalPass(mesh, model.normalMode == 2, lists);
            if (model.normalMode == 2) tangentPass(mesh, lists);
        }
    }

    for (KeyframeNode& node : model.nodes) node.pivots = std::vector<float>();
    model.objectName[0] = 0;
}

}  // namespace ostravel
