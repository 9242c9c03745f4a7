// Post-processing: per-frame samples, local frames, normals with smoothing splits, tangents.
#include <gtest/gtest.h>

#include <cmath>

#include "fixtures.h"

namespace ostravel {
namespace {

File3ds animated(const std::vector<PositionKey3ds>& positions, const std::vector<RotationKey3ds>& rotations,
                 int frames) {
    File3ds f;
    f.meshes.push_back(testing3ds::triangleMesh("Obj"));
    Node3ds n;
    n.name = "Obj";
    n.positions = positions;
    n.rotations = rotations;
    f.nodes.push_back(n);
    f.frameEnd = frames;
    return f;
}

TEST(ModelPostProcessFrames, OneKeyTracks) {
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, animated({{3, 1, 2, 3}}, {{2, 0.5f, 0, 0, 1}}, 8)));
    ASSERT_EQ(r.frameCount, 8);
    const KeyframeNode& n = r.nodes.at(0);
    ASSERT_EQ(n.rotations.size(), 8u);
    ASSERT_EQ(n.positions.size(), 8u);
    for (const RotationSample& s : n.rotations) {
        EXPECT_EQ(s.angle, 0.0f);
        EXPECT_EQ(s.z, 0.0f);
    }
    EXPECT_EQ(n.firstRotationKey.angle, 0.5f);
    EXPECT_EQ(n.firstRotationKey.z, -1.0f);
    for (const Float3& p : n.positions) {
        EXPECT_EQ(p.x, 1.0f);
        EXPECT_EQ(p.z, 3.0f);
    }
    EXPECT_TRUE(n.positionKeys.empty());
    EXPECT_TRUE(n.rotationKeys.empty());
}

TEST(ModelPostProcessFrames, RotationSegmentsAccumulateAngles) {
    // Keys at frames 2, 6 and 8 with angles 0.5, 1.0, 2.0 about z (stored negated: -1).
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(
        r, animated({{0, 0, 0, 0}}, {{2, 0.5f, 0, 0, 1}, {6, 1.0f, 0, 0, 1}, {8, 2.0f, 1, 0, 0}}, 12)));
    const auto& s = r.nodes.at(0).rotations;
    ASSERT_EQ(s.size(), 12u);
    EXPECT_EQ(s[0].angle, 0.0f);
    EXPECT_EQ(s[1].z, 0.0f);
    // Segment of key 0: from (0, 0, 0, 0) to (axis 1, angle 1.0) over frames 2..6.
    EXPECT_EQ(s[2].angle, 0.0f);
    EXPECT_FLOAT_EQ(s[4].angle, 0.5f);
    EXPECT_FLOAT_EQ(s[4].z, -0.5f);
    EXPECT_FLOAT_EQ(s[5].angle, 0.75f);
    // Segment of key 1: from (axis 1, 1.0) to (axis 2, 3.0) over frames 6..8.
    EXPECT_FLOAT_EQ(s[6].angle, 1.0f);
    EXPECT_FLOAT_EQ(s[7].angle, 2.0f);
    EXPECT_FLOAT_EQ(s[7].x, -0.5f);
    EXPECT_FLOAT_EQ(s[7].z, -0.5f);
    // The last segment holds its start to the end.
    for (int j = 8; j < 12; ++j) {
        EXPECT_FLOAT_EQ(s[j].angle, 3.0f);
        EXPECT_FLOAT_EQ(s[j].x, -1.0f);
    }
}

TEST(ModelPostProcessFrames, PositionSegmentsAndKeysBeyondTheFrameCount) {
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, animated({{0, 0, 0, 0}, {4, 8, 0, 0}, {20, 8, 16, 0}}, {}, 10)));
    const auto& p = r.nodes.at(0).positions;
    ASSERT_EQ(p.size(), 10u);
    EXPECT_EQ(p[0].x, 0.0f);
    EXPECT_EQ(p[2].x, 4.0f);
    EXPECT_EQ(p[4].x, 8.0f);
    // The segment towards frame 20 is clamped to end at frame 10: it reaches the key there.
    EXPECT_FLOAT_EQ(p[7].y, 8.0f);
    EXPECT_FLOAT_EQ(p[9].y, 13.333333f);
}

TEST(ModelPostProcessFrames, KeysOutOfOrderLetTheLaterSegmentWin) {
    // Pairs (0, 1) cover frames 0..9, (1, 2) nothing (10 -> 5), and the last key from frame 5
    // on overwrites the rest.
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, animated({{0, 0, 0, 0}, {10, 10, 0, 0}, {5, 0, 7, 0}}, {}, 20)));
    const auto& p = r.nodes.at(0).positions;
    ASSERT_EQ(p.size(), 20u);
    EXPECT_FLOAT_EQ(p[4].x, 4.0f);
    EXPECT_EQ(p[5].x, 0.0f);
    EXPECT_EQ(p[9].y, 7.0f);
    EXPECT_EQ(p[19].y, 7.0f);
}

TEST(ModelPostProcessFrames, FewerNodesThanObjects) {
    File3ds f = animated({{0, 1, 1, 1}}, {}, 5);
    Mesh3ds second = testing3ds::triangleMesh("Second");
    second.matrix[9] = 10.0f;
    second.vertices = {10, 0, 0, 11, 0, 0, 10, 1, 0};
    f.meshes.push_back(second);
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    ASSERT_EQ(r.nodes.size(), 1u);
    ASSERT_EQ(r.meshObjects.size(), 2u);
    EXPECT_EQ(r.meshObjects[1].vertices[1].x, 1.0f);  // still moved into its frame
}

TEST(ModelPostProcessFrames, ManyAnimatedObjectsShareTheSampleBudget) {
    File3ds f;
    const int objects = 64;
    for (int i = 0; i < objects; ++i) {
        f.meshes.push_back(testing3ds::triangleMesh("O" + std::to_string(i)));
        Node3ds n;
        n.name = "O" + std::to_string(i);
        f.nodes.push_back(n);
    }
    f.frameEnd = kMaxFrameCount;
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    EXPECT_EQ(r.frameCount, int(kMaxFrameSamples / objects));
    EXPECT_EQ(r.nodes[objects - 1].positions.size(), size_t(r.frameCount));
}

Mesh3ds withMatrix(const std::vector<float>& vertices, const float (&matrix)[12]) {
    Mesh3ds m;
    m.name = "M";
    m.vertices = vertices;
    m.faces = {{0, 1, 2, 7}};
    std::copy(matrix, matrix + 12, m.matrix);
    return m;
}

TEST(ModelPostProcessFrame, IdentityKeepsVertices) {
    File3ds f;
    const float identity[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    f.meshes.push_back(withMatrix({0.1f, -2.5f, 3.25f, 7, 8, 9, -1e-3f, 5e5f, 0}, identity));
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    const auto& v = r.meshObjects.at(0).vertices;
    EXPECT_EQ(v[0].x, 0.1f);
    EXPECT_EQ(v[0].y, -2.5f);
    EXPECT_EQ(v[2].x, -1e-3f);
    EXPECT_EQ(v[2].y, 5e5f);
}

TEST(ModelPostProcessFrame, RotatedScaledFrameAndPivot) {
    // Axes: X = 2 * (0, 1, 0), Y = 3 * (-1, 0, 0), Z = (0, 0, 1); origin (5, 6, 7). A vertex at
    // origin + a X + b Y + c Z becomes (lx a, ly b, lz c).
    const float matrix[12] = {0, 2, 0, -3, 0, 0, 0, 0, 1, 5, 6, 7};
    auto world = [&](float a, float b, float c) {
        return std::vector<float>{5 + a * 0 + b * -3, 6 + a * 2 + b * 0, 7 + c};
    };
    std::vector<float> vertices;
    for (auto p : {world(1, 0, 0), world(0, 1, 0), world(0.5f, -2, 4)}) vertices.insert(vertices.end(), p.begin(), p.end());
    File3ds f;
    f.meshes.push_back(withMatrix(vertices, matrix));
    Node3ds n;
    n.name = "M";
    n.pivot[0] = 1.0f;
    n.pivot[1] = 1.0f;
    n.pivot[2] = 1.0f;
    f.nodes.push_back(n);
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    const auto& v = r.meshObjects.at(0).vertices;
    EXPECT_NEAR(v[0].x, 2.0f, 1e-5);
    EXPECT_NEAR(v[0].y, 0.0f, 1e-5);
    EXPECT_NEAR(v[1].y, 3.0f, 1e-5);
    EXPECT_NEAR(v[2].x, 1.0f, 1e-5);
    EXPECT_NEAR(v[2].y, -6.0f, 1e-5);
    EXPECT_NEAR(v[2].z, 4.0f, 1e-5);
    EXPECT_FLOAT_EQ(r.nodes.at(0).pivot.x, -2.0f);
    EXPECT_FLOAT_EQ(r.nodes.at(0).pivot.y, -3.0f);
    EXPECT_FLOAT_EQ(r.nodes.at(0).pivot.z, -1.0f);
}

TEST(ModelPostProcessFrame, DegenerateMatrixOnlyMovesAndScales) {
    const float flat[12] = {2, 0, 0, 2, 0, 0, 0, 0, 0, 1, 1, 1};
    File3ds f;
    f.meshes.push_back(withMatrix({3, 4, 5, 1, 1, 1, 0, 0, 0}, flat));
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    const auto& v = r.meshObjects.at(0).vertices;
    EXPECT_FLOAT_EQ(v[0].x, 4.0f);
    EXPECT_FLOAT_EQ(v[0].y, 6.0f);
    EXPECT_FLOAT_EQ(v[0].z, 0.0f);
}

// Two triangles sharing the edge 1-2, in the plane z = 0 and folded up.
File3ds folded(uint32_t groupA, uint32_t groupB, bool withUv = true) {
    File3ds f;
    Mesh3ds m;
    m.name = "Fold";
    m.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 1};
    if (withUv) m.texCoords = {0, 0, 1, 0, 0, 1, 1, 1};
    m.faces = {{0, 1, 2, 7}, {2, 1, 3, 7}};
    m.smoothing = {groupA, groupB};
    f.meshes.push_back(m);
    return f;
}

TEST(ModelPostProcessNormals, FaceNormalFollowsTheWindingRule) {
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, folded(1, 1)));
    const MeshObject& m = r.meshObjects.at(0);
    EXPECT_FLOAT_EQ(m.faces[0].normal.z, 1.0f);  // (B - C) x (B - A) for a counter-clockwise face
    EXPECT_EQ(m.faces[0].normal.x, 0.0f);
    // Same group: no split, and the shared vertices average both face normals.
    ASSERT_EQ(m.vertices.size(), 4u);
    const Float3& shared = m.normals[1];
    const Float3& b = m.faces[1].normal;
    const double sx = 0 + b.x, sy = 0 + b.y, sz = 1 + b.z;
    const double len = std::sqrt(sx * sx + sy * sy + sz * sz);
    EXPECT_NEAR(shared.x, sx / len, 1e-6);
    EXPECT_NEAR(shared.z, sz / len, 1e-6);
    EXPECT_FLOAT_EQ(m.normals[0].z, 1.0f);
}

TEST(ModelPostProcessNormals, SmoothingGroupBorderSplitsVertices) {
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, folded(1, 2)));
    const MeshObject& m = r.meshObjects.at(0);
    ASSERT_EQ(m.vertices.size(), 6u);  // vertices 1 and 2 get a copy each for the second face
    EXPECT_EQ(m.faces[0].a, 0);
    EXPECT_EQ(m.faces[0].b, 1);
    EXPECT_EQ(m.faces[0].c, 2);
    EXPECT_EQ(m.faces[1].a, 5);  // vertex 2 was split second
    EXPECT_EQ(m.faces[1].b, 4);
    EXPECT_EQ(m.faces[1].c, 3);
    EXPECT_EQ(m.indices, (std::vector<uint16_t>{0, 1, 2, 5, 4, 3}));
    EXPECT_EQ(m.vertices[4].x, m.vertices[1].x);
    EXPECT_EQ(m.texCoords[5].v, 1.0f);
    EXPECT_EQ(m.texCoords2[5].v, 1.0f);
    EXPECT_FLOAT_EQ(m.normals[1].z, 1.0f);
    EXPECT_FLOAT_EQ(m.normals[4].x, m.faces[1].normal.x);
    EXPECT_FLOAT_EQ(m.normals[4].z, m.faces[1].normal.z);
}

TEST(ModelPostProcessNormals, GroupsKeepTheOrderOfTheirFirstFace) {
    // Three faces around vertex 0 in groups 8, 2, 8: the group of 8 keeps vertex 0.
    File3ds f;
    Mesh3ds m;
    m.name = "Fan";
    m.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0, -1, 0, 0};
    m.faces = {{0, 1, 2, 7}, {0, 2, 3, 7}, {0, 3, 1, 7}};
    m.smoothing = {8, 2, 8};
    f.meshes.push_back(m);
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    const MeshObject& got = r.meshObjects.at(0);
    EXPECT_EQ(got.faces[0].a, 0);
    EXPECT_EQ(got.faces[2].a, 0);
    EXPECT_EQ(got.faces[1].a, 4);
}

TEST(ModelPostProcessNormals, ModeOneSkipsSplitsAndTangents) {
    Reader3ds r;
    r.postProcess = false;
    ASSERT_TRUE(testing3ds::loadFile(r, folded(1, 2)));
    r.normalMode = 1;
    postProcessModel(r);
    const MeshObject& m = r.meshObjects.at(0);
    EXPECT_EQ(m.vertices.size(), 4u);
    EXPECT_FLOAT_EQ(m.normals[0].z, 1.0f);
    EXPECT_EQ(m.tangents[0].x, 0.0f);
    EXPECT_EQ(m.faces[0].tangent.x, 0.0f);
}

TEST(ModelPostProcessTangents, PlanarMappingGivesTheMappingAxes) {
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, folded(1, 2)));
    const MeshObject& m = r.meshObjects.at(0);
    EXPECT_FLOAT_EQ(m.faces[0].tangent.x, 1.0f);
    EXPECT_FLOAT_EQ(m.faces[0].tangent.y, 0.0f);
    EXPECT_FLOAT_EQ(m.faces[0].binormal.y, 1.0f);
    EXPECT_FLOAT_EQ(m.faces[0].binormal.x, 0.0f);
    EXPECT_FLOAT_EQ(m.tangents[0].x, 1.0f);
    // Vertex binormal = tangent x normal = (1, 0, 0) x (0, 0, 1).
    EXPECT_FLOAT_EQ(m.binormals[0].y, -1.0f);
}

TEST(ModelPostProcessTangents, DegenerateMappingGivesZeroNotNaN) {
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, folded(1, 1, false)));  // every coordinate (0, 0)
    const MeshObject& m = r.meshObjects.at(0);
    for (const MeshFace& f : m.faces) {
        EXPECT_EQ(f.tangent.x, 0.0f);
        EXPECT_EQ(f.binormal.z, 0.0f);
    }
    for (size_t i = 0; i < m.vertices.size(); ++i) {
        EXPECT_TRUE(std::isfinite(m.tangents[i].x) && std::isfinite(m.binormals[i].y));
        EXPECT_TRUE(std::isfinite(m.normals[i].z));
    }
}

TEST(ModelPostProcessNormals, SplittingStopsAtSixteenBitIndices) {
    // 65535 vertices; vertex 0 is shared by faces of 32 different groups.
    File3ds f;
    Mesh3ds m;
    m.name = "Full";
    for (int i = 0; i < 65535; ++i) m.vertices.insert(m.vertices.end(), {float(i % 256), float(i / 256), 0});
    for (uint16_t i = 0; i < 64; ++i) {
        m.faces.push_back({0, static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + 2), 7});
        m.smoothing.push_back(1u << (i % 32));
    }
    f.meshes.push_back(m);
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    const MeshObject& got = r.meshObjects.at(0);
    EXPECT_EQ(got.vertices.size(), 65536u);
    EXPECT_EQ(got.faces[1].a, 65535);
    for (const MeshFace& face : got.faces) EXPECT_LT(face.a, got.vertices.size());
}

}  // namespace
}  // namespace ostravel
