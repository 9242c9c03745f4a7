// Damaged files: the walk must end, stay inside the buffer and keep what is sound.
#include <gtest/gtest.h>

#include "fixtures.h"

namespace ostravel {
namespace {

using testing3ds::floats;
using testing3ds::loadBytes;
using testing3ds::makeFile;
using testing3ds::meshObject;

const std::vector<float> kTriangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};

TEST(Reader3dsDamage, ShortChunkEndsItsParent) {
    for (uint32_t length : {0u, 1u, 5u}) {
        const auto bytes = makeFile([length](ChunkWriter& w) {
            meshObject(w, "Before", kTriangle, {0, 1, 2});
            w.rawChunk(0x4000, length, {'X', 0, 0, 0, 0, 0, 0, 0});
            meshObject(w, "After", kTriangle, {0, 1, 2});
        });
        Reader3ds r;
        ASSERT_TRUE(loadBytes(r, bytes)) << length;
        ASSERT_EQ(r.meshObjects.size(), 1u) << length;
        EXPECT_EQ(r.meshObjects[0].name, "Before");
    }
}

TEST(Reader3dsDamage, ChunkRunningPastItsParentEndsTheParent) {
    const auto bytes = makeFile([](ChunkWriter& w) {
        w.begin(0x4000);
        w.text("Outer");
        w.begin(0x4100);
        w.rawChunk(0x4110, 0x7FFFFFF0u, {3, 0});  // claims far more than the mesh holds
        w.end();
        w.end();
        meshObject(w, "Next", kTriangle, {0, 1, 2});
    });
    Reader3ds r;
    ASSERT_TRUE(loadBytes(r, bytes));
    ASSERT_EQ(r.meshObjects.size(), 2u);
    EXPECT_TRUE(r.meshObjects[0].vertices.empty());
    EXPECT_EQ(r.meshObjects[1].name, "Next");
    EXPECT_EQ(r.meshObjects[1].faces.size(), 1u);
}

TEST(Reader3dsDamage, CutOffFileLoadsAsFarAsItGoes) {
    const auto whole = makeFile([](ChunkWriter& w) {
        meshObject(w, "First", kTriangle, {0, 1, 2});
        std::vector<float> many;
        for (int i = 0; i < 300; ++i) many.push_back(float(i));
        meshObject(w, "Second", many, {0, 1, 2, 3, 4, 5});
    });
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2));
    Reader3ds r;
    ASSERT_TRUE(loadBytes(r, cut));
    ASSERT_EQ(r.meshObjects.size(), 2u);
    EXPECT_EQ(r.meshObjects[0].faces.size(), 1u);
    // The second mesh's vertex chunk is cut: only the vertices that fit are kept, and the face
    // list never arrived.
    EXPECT_GT(r.meshObjects[1].vertices.size(), 10u);
    EXPECT_LT(r.meshObjects[1].vertices.size(), 100u);
    EXPECT_TRUE(r.meshObjects[1].faces.empty());
}

TEST(Reader3dsDamage, CountsAreClampedToTheBytesLeft) {
    const auto bytes = makeFile([](ChunkWriter& w) {
        w.begin(0x4000);
        w.text("Liar");
        w.begin(0x4100);
        w.begin(0x4110);
        w.word(65535);
        floats(w, {0, 0, 0, 1, 0, 0, 0, 1, 0});
        w.end();
        w.begin(0x4140);
        w.word(65535);
        floats(w, {0.5f, 0.5f});
        w.end();
        w.begin(0x4120);
        w.word(65535);
        for (uint16_t v : {0, 1, 2, 7}) w.word(v);
        w.end();
        w.end();
        w.end();
    });
    Reader3ds r;
    ASSERT_TRUE(loadBytes(r, bytes));
    ASSERT_EQ(r.meshObjects.size(), 1u);
    EXPECT_EQ(r.meshObjects[0].fileVertexCount, 3);
    EXPECT_EQ(r.meshObjects[0].texCoords[0].u, 0.5f);
    EXPECT_EQ(r.meshObjects[0].texCoords[1].u, 0.0f);
    EXPECT_EQ(r.meshObjects[0].faces.size(), 1u);
}

TEST(Reader3dsDamage, BadCornersAndFaceNumbersAreDropped) {
    const auto bytes = makeFile([](ChunkWriter& w) {
        w.begin(0xAFFF);
        w.begin(0xA000);
        w.text("M");
        w.end();
        w.end();
        meshObject(w, "Holes", kTriangle, {0, 1, 2, 0, 1, 3, 2, 1, 0}, [](ChunkWriter& w) {
            w.begin(0x4130);
            w.text("M");
            w.word(3);
            for (uint16_t f : {2, 7, 65535}) w.word(f);
            w.end();
            w.begin(0x4150);
            for (uint32_t s : {1u, 2u, 4u}) w.dword(s);
            w.end();
        });
    });
    Reader3ds r;
    r.postProcess = false;
    ASSERT_TRUE(loadBytes(r, bytes));
    const MeshObject& m = r.meshObjects.at(0);
    ASSERT_EQ(m.faces.size(), 2u);  // the face with corner 3 is gone
    EXPECT_EQ(m.faces[1].a, 2);
    EXPECT_EQ(m.faces[1].smoothing, 4u);
    EXPECT_EQ(m.faces[1].material, 0);
    EXPECT_EQ(m.indices, (std::vector<uint16_t>{0, 1, 2, 2, 1, 0}));
}

TEST(Reader3dsDamage, HugeFrameSpansAndKeyCountsStayBounded) {
    const auto bytes = makeFile([](ChunkWriter& w) { meshObject(w, "Obj", kTriangle, {0, 1, 2}); },
                                [](ChunkWriter& w) {
                                    w.begin(0xB000);
                                    w.begin(0xB002);
                                    w.begin(0xB010);
                                    w.text("Obj");
                                    w.end();
                                    w.begin(0xB020);
                                    w.word(0);
                                    w.dword(0);
                                    w.dword(0x7FFFFFFFu);
                                    w.dword(0xFFFFFFFFu);
                                    w.dword(5);
                                    w.word(0);
                                    floats(w, {1, 2, 3});
                                    w.end();
                                    w.begin(0xB021);
                                    w.word(0);
                                    w.dword(0);
                                    w.dword(0);
                                    w.dword(0x40000000u);
                                    w.end();
                                    w.end();
                                    w.end();
                                });
    Reader3ds r;
    ASSERT_TRUE(loadBytes(r, bytes));
    EXPECT_EQ(r.frameCount, kMaxFrameCount);
    ASSERT_EQ(r.nodes.size(), 1u);
    ASSERT_EQ(r.nodes[0].positions.size(), size_t(kMaxFrameCount));
    EXPECT_EQ(r.nodes[0].positions[0].x, 1.0f);  // before the key's frame 5: the first key too
    EXPECT_EQ(r.nodes[0].positions[4].y, 2.0f);
    EXPECT_EQ(r.nodes[0].positions.back().z, 3.0f);
}

TEST(Reader3dsDamage, NotA3dsFileAndEmptyBuffers) {
    Reader3ds r;
    EXPECT_FALSE(r.loadFromMemory(nullptr, 0));
    const uint8_t tiny[] = {0x4D, 0x4D, 6, 0, 0, 0, 0};
    EXPECT_FALSE(r.loadFromMemory(tiny, sizeof tiny));
    EXPECT_EQ(r.lastError, ModelLoadError::noEditorChunk);
    const uint8_t wrong[] = {0x3D, 0x3D, 6, 0, 0, 0, 0};
    EXPECT_FALSE(r.loadFromMemory(wrong, sizeof wrong));
    EXPECT_EQ(r.lastError, ModelLoadError::notA3dsFile);
}

}  // namespace
}  // namespace ostravel
