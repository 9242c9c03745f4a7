// The chunk walk: materials, named objects, keyframer nodes and the load contract.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "fixtures.h"

namespace ostravel {
namespace {

using testing3ds::floats;
using testing3ds::loadBytes;
using testing3ds::makeFile;
using testing3ds::meshObject;

void materialChunk(ChunkWriter& w, const std::string& name, const std::function<void(ChunkWriter&)>& body) {
    w.begin(0xAFFF);
    w.begin(0xA000);
    w.text(name);
    w.end();
    if (body) body(w);
    w.end();
}

TEST(Reader3dsMaterials, ColoursInEveryEncoding) {
    const auto bytes = makeFile([](ChunkWriter& w) {
        materialChunk(w, "M", [](ChunkWriter& w) {
            w.begin(0xA010);  // ambient as bytes
            w.begin(0x0011);
            w.byte(255);
            w.byte(128);
            w.byte(0);
            w.end();
            w.end();
            w.begin(0xA020);  // diffuse as gamma floats
            w.begin(0x0013);
            floats(w, {0.25f, 0.5f, 0.75f});
            w.end();
            w.end();
            w.begin(0xA030);  // specular in an unknown encoding
            w.begin(0x0099);
            floats(w, {1, 1, 1});
            w.end();
            w.end();
        });
    });
    Reader3ds r;
    ASSERT_TRUE(loadBytes(r, bytes));
    ASSERT_EQ(r.materials.size(), 1u);
    const ModelMaterial& m = r.materials[0];
    EXPECT_FLOAT_EQ(m.ambient.x, 1.0f);
    EXPECT_NEAR(m.ambient.y, 0.50196f, 1e-5);
    EXPECT_FLOAT_EQ(m.ambient.z, 0.0f);
    EXPECT_FLOAT_EQ(m.diffuse.y, 0.5f);
    EXPECT_FLOAT_EQ(m.specular.x, 0.0f);
}

TEST(Reader3dsMaterials, PercentagesShadingAndDefaults) {
    const auto bytes = makeFile([](ChunkWriter& w) {
        materialChunk(w, "A", [](ChunkWriter& w) {
            w.begin(0xA040);
            w.begin(0x0030);
            w.word(45);
            w.end();
            w.end();
            w.begin(0xA050);
            w.begin(0x0031);
            w.real(0.3f);
            w.end();
            w.end();
            w.begin(0xA100);
            w.word(5);  // out of range: shading stays 2
            w.end();
        });
        materialChunk(w, "B", [](ChunkWriter& w) {
            w.begin(0xA100);
            w.word(4);
            w.end();
        });
        materialChunk(w, "C", [](ChunkWriter& w) {
            w.begin(0xA100);
            w.word(3);
            w.end();
            w.begin(0xA085);
            w.end();
        });
    });
    Reader3ds r;
    ASSERT_TRUE(loadBytes(r, bytes));
    ASSERT_EQ(r.materials.size(), 3u);
    EXPECT_FLOAT_EQ(r.materials[0].shininess, 0.45f);
    EXPECT_FLOAT_EQ(r.materials[0].transparency, 0.3f);
    EXPECT_EQ(r.materials[0].shading, 2);
    EXPECT_EQ(r.materials[1].shading, 4);
    EXPECT_EQ(r.materials[2].shading, 0);
    EXPECT_EQ(r.materials[2].index, 2);
    const TextureMap& fresh = r.materials[0].bump;
    EXPECT_EQ(fresh.strength, 0.0f);
    EXPECT_TRUE(fresh.file.empty());
    EXPECT_EQ(fresh.uScale, 1.0f);
    EXPECT_EQ(fresh.vScale, 1.0f);
    EXPECT_EQ(fresh.rotation, 0.0f);
}

TEST(Reader3dsMaterials, SixMapsLandInTheirSlots) {
    File3ds f;
    Material3ds m;
    m.name = "ALL";
    m.texture1 = {"T1.JPG", 50, 2.0f, 3.0f, 0.25f, 0.5f, 1.5f};
    m.texture2.file = "T2.JPG";
    m.opacity.file = "OP.JPG";
    m.reflection.file = "RE.JPG";
    m.bump.file = "BU.JPG";
    m.specularMap.file = "SP.JPG";
    f.materials.push_back(m);
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    ASSERT_EQ(r.materials.size(), 1u);
    const ModelMaterial& got = r.materials[0];
    EXPECT_EQ(got.texture1.file, "T1.JPG");
    EXPECT_FLOAT_EQ(got.texture1.strength, 0.5f);
    EXPECT_EQ(got.texture1.uScale, 2.0f);
    EXPECT_EQ(got.texture1.vScale, 3.0f);
    EXPECT_EQ(got.texture1.uOffset, 0.25f);
    EXPECT_EQ(got.texture1.vOffset, 0.5f);
    EXPECT_EQ(got.texture1.rotation, 1.5f);
    EXPECT_EQ(got.texture2.file, "T2.JPG");
    EXPECT_EQ(got.opacity.file, "OP.JPG");
    EXPECT_EQ(got.reflection.file, "RE.JPG");
    EXPECT_EQ(got.bump.file, "BU.JPG");
    EXPECT_EQ(got.specularMap.file, "SP.JPG");
}

TEST(Reader3dsMaterials, ReflectionMapRule) {
    auto reflection = [](ChunkWriter& w, bool withName, const std::string& name) {
        w.begin(0xA220);
        w.begin(0x0030);
        w.word(70);
        w.end();
        if (withName) {
            w.begin(0xA300);
            w.text(name);
            w.end();
        } else {
            w.begin(0xA354);
            w.real(1.0f);
            w.end();
        }
        w.end();
    };
    const auto bytes = makeFile([&](ChunkWriter& w) {
        materialChunk(w, "EMPTY", [&](ChunkWriter& w) { reflection(w, true, ""); });
        materialChunk(w, "LOST", [&](ChunkWriter& w) { reflection(w, false, ""); });
        materialChunk(w, "NAMED", [&](ChunkWriter& w) { reflection(w, true, "CHROME.JPG"); });
    });
    Reader3ds r;
    ASSERT_TRUE(loadBytes(r, bytes));
    ASSERT_EQ(r.materials.size(), 2u);
    EXPECT_EQ(r.materials[0].reflection.file, "auto");
    EXPECT_FLOAT_EQ(r.materials[0].reflection.strength, 0.7f);
    EXPECT_EQ(r.materials[1].name, "NAMED");
    EXPECT_EQ(r.materials[1].index, 1);
    EXPECT_EQ(r.materials[1].reflection.file, "CHROME.JPG");
}

TEST(Reader3dsMaterials, TextsAreCutAtTheirLimits) {
    const std::string longName(40, 'N');
    const auto bytes = makeFile([&](ChunkWriter& w) {
        materialChunk(w, longName, [](ChunkWriter& w) {
            w.begin(0xA200);
            w.begin(0xA300);
            w.text("ABCDEFGHIJKLMNOPQRSTUVWXYZ.JPG");
            w.end();
            w.end();
        });
    });
    Reader3ds r;
    ASSERT_TRUE(loadBytes(r, bytes));
    ASSERT_EQ(r.materials.size(), 1u);
    EXPECT_EQ(r.materials[0].name, std::string(29, 'N'));
    EXPECT_EQ(r.materials[0].texture1.file, "ABCDEFGHIJKLMNOPQRS");
}

TEST(Reader3dsObjects, MeshFacesMaterialsSmoothingAndMatrix) {
    File3ds f;
    Material3ds red;
    red.name = "RED";
    Material3ds blue;
    blue.name = "BLUE";
    f.materials = {red, blue};
    Mesh3ds m;
    m.name = "Quad";
    m.vertices = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    m.texCoords = {0, 0, 1, 0, 1, 1, 0, 1};
    m.faces = {{0, 1, 2, 7}, {0, 2, 3, 7}};
    m.smoothing = {0x10, 0x80000001u};
    m.faceMaterials = {{"BLUE", {1}}, {"NOPE", {0}}, {"RED", {0}}};
    const float matrix[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 5, 6, 7};
    std::copy(matrix, matrix + 12, m.matrix);
    f.meshes.push_back(m);
    Reader3ds r;
    r.postProcess = false;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    ASSERT_EQ(r.meshObjects.size(), 1u);
    const MeshObject& got = r.meshObjects[0];
    EXPECT_EQ(got.name, "Quad");
    ASSERT_EQ(got.vertices.size(), 4u);
    EXPECT_EQ(got.vertices[2].x, 1.0f);
    EXPECT_EQ(got.vertices[2].y, 1.0f);
    ASSERT_EQ(got.texCoords.size(), 4u);
    EXPECT_EQ(got.texCoords[3].v, 1.0f);
    EXPECT_EQ(got.texCoords2[3].v, 1.0f);
    ASSERT_EQ(got.faces.size(), 2u);
    EXPECT_EQ(got.faces[1].c, 3);
    EXPECT_EQ(got.indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(got.faces[0].smoothing, 0x10u);
    EXPECT_EQ(got.faces[1].smoothing, 0x80000001u);
    EXPECT_EQ(got.materialsUsed, (std::vector<int>{1, 0}));  // the unknown material is ignored
    EXPECT_EQ(got.faces[0].material, 0);
    EXPECT_EQ(got.faces[1].material, 1);
    const float expected[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(got.matrix[i], expected[i]) << i;
}

TEST(Reader3dsObjects, LightAndCamera) {
    File3ds f;
    Light3ds l;
    l.name = "Sun";
    l.position[1] = 4.0f;
    l.colour = {0.5f, 0.25f, 1.0f};
    l.spot = true;
    l.target[2] = -3.0f;
    l.hotspot = 20.0f;
    l.falloff = 35.0f;
    l.innerRange = 7.0f;
    l.outerRange = 70.0f;
    f.lights.push_back(l);
    Camera3ds c;
    c.name = "Eye";
    c.position[0] = 1.0f;
    c.target[2] = 9.0f;
    c.bank = 0.5f;
    c.lens = 48.0f;
    c.nearRange = 2.0f;
    c.farRange = 200.0f;
    f.cameras.push_back(c);
    Reader3ds r;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    ASSERT_EQ(r.lights.size(), 1u);
    EXPECT_EQ(r.lights[0].name, "Sun");
    EXPECT_EQ(r.lights[0].position.y, 4.0f);
    EXPECT_EQ(r.lights[0].colour.y, 0.25f);
    EXPECT_EQ(r.lights[0].target.z, -3.0f);
    EXPECT_EQ(r.lights[0].hotspot, 20.0f);
    EXPECT_EQ(r.lights[0].falloff, 35.0f);
    EXPECT_EQ(r.lights[0].innerRange, 7.0f);
    EXPECT_EQ(r.lights[0].outerRange, 70.0f);
    ASSERT_EQ(r.cameras.size(), 1u);
    EXPECT_EQ(r.cameras[0].name, "Eye");
    EXPECT_EQ(r.cameras[0].target.z, 9.0f);
    EXPECT_EQ(r.cameras[0].bank, 0.5f);
    EXPECT_FLOAT_EQ(r.cameras[0].fieldOfView, 50.0f);
    EXPECT_EQ(r.cameras[0].nearRange, 2.0f);
    EXPECT_EQ(r.cameras[0].farRange, 200.0f);
}

TEST(Reader3dsObjects, OnlyTheFirstSubChunkDecidesTheKind) {
    const auto bytes = makeFile([](ChunkWriter& w) {
        w.begin(0x4000);
        w.text("Odd");
        w.begin(0x4010);  // an object kind this reader does not know
        w.end();
        w.begin(0x4100);
        w.end();
        w.end();
        meshObject(w, "Empty", {}, {});
    });
    Reader3ds r;
    ASSERT_TRUE(loadBytes(r, bytes));
    ASSERT_EQ(r.meshObjects.size(), 1u);
    EXPECT_EQ(r.meshObjects[0].name, "Empty");
    EXPECT_TRUE(r.meshObjects[0].vertices.empty());
    EXPECT_TRUE(r.meshObjects[0].normals.empty());
}

TEST(Reader3dsObjects, TextureCoordinatesBeforeVerticesSizeTheArrays) {
    const auto bytes = makeFile([](ChunkWriter& w) {
        w.begin(0x4000);
        w.text("UV");
        w.begin(0x4100);
        w.begin(0x4140);
        w.word(2);
        floats(w, {0.1f, 0.2f, 0.3f, 0.4f});
        w.end();
        w.end();
        w.end();
    });
    Reader3ds r;
    r.postProcess = false;
    ASSERT_TRUE(loadBytes(r, bytes));
    ASSERT_EQ(r.meshObjects.size(), 1u);
    ASSERT_EQ(r.meshObjects[0].vertices.size(), 2u);
    EXPECT_EQ(r.meshObjects[0].texCoords[1].u, 0.3f);
    EXPECT_EQ(r.meshObjects[0].vertices[1].x, 0.0f);
}

void keyframer(ChunkWriter& w, const std::function<void(ChunkWriter&)>& nodes) {
    w.begin(0xB000);
    nodes(w);
    w.end();
}

void nodeHeader(ChunkWriter& w, const std::string& name) {
    w.begin(0xB010);
    w.text(name);
    w.word(0);
    w.word(0);
    w.word(0xFFFF);
    w.end();
}

TEST(Reader3dsKeyframer, NodeNamingNoObjectIsAppendedEmpty) {
    const auto bytes = makeFile(
        [](ChunkWriter& w) { meshObject(w, "Real", {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}); },
        [](ChunkWriter& w) {
            keyframer(w, [](ChunkWriter& w) {
                w.begin(0xB002);
                nodeHeader(w, "Ghost");
                w.begin(0xB013);
                floats(w, {1, 2, 3});
                w.end();
                w.end();
            });
        });
    Reader3ds r;
    r.postProcess = false;
    ASSERT_TRUE(loadBytes(r, bytes));
    ASSERT_EQ(r.nodes.size(), 1u);
    EXPECT_TRUE(r.nodes[0].pivots.empty());
    EXPECT_TRUE(r.nodes[0].positionKeys.empty());
    EXPECT_EQ(r.frameCount, 0);
}

// Position track with keys whose headers carry the given flags and extra floats.
void positionTrack(ChunkWriter& w, int32_t span, const std::vector<std::pair<uint16_t, int>>& keys) {
    w.begin(0xB020);
    w.word(0);
    w.dword(0);
    w.dword(static_cast<uint32_t>(span));
    w.dword(static_cast<uint32_t>(keys.size()));
    int frame = 0;
    for (const auto& [flags, extra] : keys) {
        w.dword(static_cast<uint32_t>(frame));
        w.word(flags);
        for (int i = 0; i < extra; ++i) w.real(-99.0f);
        floats(w, {float(frame), float(frame) + 1, float(frame) + 2});
        frame += 10;
    }
    w.end();
}

TEST(Reader3dsKeyframer, KeyHeaderFlagsSkipFloatsForBits15To11Only) {
    const auto bytes = makeFile(
        [](ChunkWriter& w) { meshObject(w, "Obj", {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}); },
        [](ChunkWriter& w) {
            keyframer(w, [](ChunkWriter& w) {
                w.begin(0xB002);
                nodeHeader(w, "Obj");
                positionTrack(w, 30, {{0x0001, 0}, {0xF800, 5}, {0x2000, 1}, {0x001F, 0}});
                w.end();
            });
        });
    Reader3ds r;
    r.postProcess = false;
    ASSERT_TRUE(loadBytes(r, bytes));
    ASSERT_EQ(r.nodes.size(), 1u);
    const auto& keys = r.nodes[0].positionKeys;
    ASSERT_EQ(keys.size(), 4u);
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].frame, int(10 * i));
        EXPECT_EQ(keys[i].x, float(10 * i));
        EXPECT_EQ(keys[i].z, float(10 * i + 2));
    }
    EXPECT_EQ(r.frameCount, 30);
}

TEST(Reader3dsKeyframer, RotationAxisIsStoredNegated) {
    File3ds f;
    f.meshes.push_back(testing3ds::triangleMesh("Obj"));
    Node3ds n;
    n.name = "Obj";
    n.rotations = {{0, 0.75f, 0.0f, 1.0f, -2.0f}};
    n.pivot[0] = 4.0f;
    f.nodes.push_back(n);
    Reader3ds r;
    r.postProcess = false;
    ASSERT_TRUE(testing3ds::loadFile(r, f));
    ASSERT_EQ(r.nodes.size(), 1u);
    ASSERT_EQ(r.nodes[0].rotationKeys.size(), 1u);
    const RotationKey& k = r.nodes[0].rotationKeys[0];
    EXPECT_EQ(k.angle, 0.75f);
    EXPECT_EQ(k.y, -1.0f);
    EXPECT_EQ(k.z, 2.0f);
    EXPECT_EQ(r.nodes[0].pivots, (std::vector<float>{4, 0, 0, 0}));
    EXPECT_EQ(r.frameCount, 100);
}

TEST(Reader3dsLoad, FileContract) {
    const auto dir = std::filesystem::temp_directory_path() / "ostravel_models_reader";
    std::filesystem::create_directories(dir);
    const std::string withKeys = (dir / "keys.3ds").string();
    const std::string without = (dir / "plain.3ds").string();
    const std::string notModel = (dir / "not.3ds").string();
    File3ds f;
    f.meshes.push_back(testing3ds::triangleMesh("A"));
    Camera3ds c;
    c.name = "C";
    f.cameras.push_back(c);
    Node3ds n;
    n.name = "A";
    n.positions = {{0, 1, 1, 1}};
    f.nodes.push_back(n);
    f.frameEnd = 40;
    ASSERT_TRUE(write3ds(f, withKeys.c_str()));
    f.nodes.clear();
    f.meshes[0].name = "B";
    ASSERT_TRUE(write3ds(f, without.c_str()));
    std::FILE* junk = std::fopen(notModel.c_str(), "wb");
    ASSERT_NE(junk, nullptr);
    std::fputs("not a model at all", junk);
    std::fclose(junk);

    Reader3ds r;
    EXPECT_FALSE(r.load((dir / "missing.3ds").string().c_str()));
    EXPECT_EQ(r.lastError, ModelLoadError::cannotOpen);
    ASSERT_TRUE(r.load(withKeys.c_str()));
    EXPECT_TRUE(r.buffer.empty());
    EXPECT_EQ(r.frameCount, 40);
    ASSERT_EQ(r.nodes.size(), 1u);
    // A second load replaces meshes; cameras, nodes and the frame count accumulate.
    ASSERT_TRUE(r.load(without.c_str()));
    ASSERT_EQ(r.meshObjects.size(), 1u);
    EXPECT_EQ(r.meshObjects[0].name, "B");
    EXPECT_EQ(r.cameras.size(), 2u);
    EXPECT_EQ(r.nodes.size(), 1u);
    EXPECT_EQ(r.frameCount, 40);
    // A missing file changes nothing; a file of another kind clears meshes, lights, materials.
    EXPECT_FALSE(r.load((dir / "missing.3ds").string().c_str()));
    EXPECT_EQ(r.meshObjects.size(), 1u);
    EXPECT_FALSE(r.load(notModel.c_str()));
    EXPECT_EQ(r.lastError, ModelLoadError::notA3dsFile);
    EXPECT_TRUE(r.meshObjects.empty());
    EXPECT_EQ(r.cameras.size(), 2u);
    std::filesystem::remove_all(dir);
}

TEST(Reader3dsLoad, MainChunkWithoutEditorIsRefused) {
    ChunkWriter w;
    w.begin(0x4D4D);
    w.begin(0x0002);
    w.dword(3);
    w.end();
    w.end();
    w.byte(0);
    Reader3ds r;
    EXPECT_FALSE(loadBytes(r, w.bytes()));
    EXPECT_EQ(r.lastError, ModelLoadError::noEditorChunk);
}

TEST(Reader3dsLoad, TheBufferLastByteIsNeverRead) {
    // The smoothing long of the only face ends exactly at the end of the file.
    ChunkWriter w;
    w.begin(0x4D4D);
    w.begin(0x3D3D);
    meshObject(w, "End", {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}, [](ChunkWriter& w) {
        w.begin(0x4150);
        w.dword(0x01010101u);
        w.end();
    });
    w.end();
    w.end();
    Reader3ds r;
    r.postProcess = false;
    ASSERT_TRUE(loadBytes(r, w.bytes()));
    EXPECT_EQ(r.meshObjects.at(0).faces.at(0).smoothing, 0u);
    std::vector<uint8_t> padded = w.bytes();
    padded.push_back(0);
    ASSERT_TRUE(loadBytes(r, padded));
    EXPECT_EQ(r.meshObjects.at(0).faces.at(0).smoothing, 0x01010101u);
}

}  // namespace
}  // namespace ostravel
