// The show's model: head.3ds read by our reader and by lib3ds, and built by our model builder
// with recording loaders, so that every texture the show will load exists and decodes.
#include "assets/jpeg.h"
#include "models/model3ds.h"
#include "models/model_builder.h"
#include "tests/content/show_folder.h"
#include "tools/gen-head/head_plan.h"

#include <gtest/gtest.h>
#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <lib3ds/node.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

using ostravel::contenttest::showPath;
namespace plan = ostravel::headplan;

TEST(ShowModel, OurReaderFindsTheObjectsMaterialsAndKeyframer) {
    ostravel::Reader3ds model;
    ASSERT_TRUE(model.load(showPath("meshes/head.3ds").c_str()));
    EXPECT_FALSE(model.error);
    ASSERT_EQ(model.meshObjects.size(), plan::kObjects.size());
    for (size_t i = 0; i < plan::kObjects.size(); ++i) EXPECT_EQ(model.meshObjects[i].name, plan::kObjects[i]);
    EXPECT_EQ(model.nodes.size(), plan::kObjects.size()) << "one keyframer node per object";
    EXPECT_GE(model.frameCount, plan::kFrames);
    std::set<std::string> textures, bumps;
    for (const ostravel::ModelMaterial& m : model.materials) {
        textures.insert(m.texture1.file);
        bumps.insert(m.bump.file);
    }
    EXPECT_TRUE(textures.count("SKIN.JPG"));
    EXPECT_TRUE(textures.count("EYEBLEND.JPG"));
    EXPECT_TRUE(textures.count(plan::kUnloadedTexture));
    EXPECT_TRUE(textures.count("")) << "one material without a texture";
    EXPECT_TRUE(bumps.count("SKINBUMP.JPG"));
    // The lips' own smoothing group splits vertices along their border.
    const ostravel::MeshObject& head = model.meshObjects[0];
    std::set<uint32_t> groups;
    for (const ostravel::MeshFace& f : head.faces) groups.insert(f.smoothing);
    EXPECT_EQ(groups, (std::set<uint32_t>{1, 2}));
    EXPECT_GT(static_cast<int>(head.vertices.size()), head.fileVertexCount);
}

TEST(ShowModel, FacesPointOutOfTheHead) {
    ostravel::Reader3ds model;
    model.postProcess = false;
    ASSERT_TRUE(model.load(showPath("meshes/head.3ds").c_str()));
    const ostravel::MeshObject& head = model.meshObjects[0];
    ASSERT_GT(head.faces.size(), 1000u);
    int outward = 0, counted = 0;
    for (const ostravel::MeshFace& f : head.faces) {
        const ostravel::Float3 &a = head.vertices[f.a], &b = head.vertices[f.b], &c = head.vertices[f.c];
        const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        if (nx * nx + ny * ny + nz * nz < 1e-14) continue;  // the poles' collapsed triangles
        ++counted;
        outward += nx * (a.x + b.x + c.x) + ny * (a.y + b.y + c.y) + nz * (a.z + b.z + c.z) > 0;
    }
    EXPECT_GT(outward, counted * 97 / 100);
    // A head, not a ball: taller than wide, with the nose standing out at the front (-y).
    float minY = 0, maxX = 0, maxZ = 0;
    for (const ostravel::Float3& v : head.vertices) {
        minY = std::min(minY, v.y);
        maxX = std::max(maxX, v.x);
        maxZ = std::max(maxZ, v.z);
    }
    EXPECT_GT(maxZ, 1.2f * maxX);
    EXPECT_LT(minY, -1.0f);
}

TEST(ShowModel, Lib3dsReadsTheSameFile) {
    Lib3dsFile* file = lib3ds_file_load(showPath("meshes/head.3ds").c_str());
    ASSERT_NE(file, nullptr);
    ostravel::Reader3ds ours;
    ours.postProcess = false;
    ASSERT_TRUE(ours.load(showPath("meshes/head.3ds").c_str()));
    // lib3ds keeps its meshes in a list of its own order: match them by name.
    size_t found = 0;
    for (Lib3dsMesh* mesh = file->meshes; mesh; mesh = mesh->next) {
        const ostravel::MeshObject* mine = nullptr;
        for (const ostravel::MeshObject& m : ours.meshObjects) {
            if (m.name == mesh->name) mine = &m;
        }
        ASSERT_NE(mine, nullptr) << mesh->name;
        ++found;
        EXPECT_EQ(mine->vertices.size(), mesh->points);
        EXPECT_EQ(mine->faces.size(), mesh->faces);
        EXPECT_EQ(mine->texCoords.size(), mesh->texels);
        for (Lib3dsDword f = 0; f < mesh->faces && f < mine->faces.size(); f += 37) {
            EXPECT_EQ(mine->faces[f].smoothing, mesh->faceL[f].smoothing);
            EXPECT_EQ(mine->faces[f].a, mesh->faceL[f].points[0]);
            EXPECT_EQ(mine->faces[f].c, mesh->faceL[f].points[2]);
        }
    }
    EXPECT_EQ(found, ours.meshObjects.size());
    std::set<std::string> theirs, mine;
    for (Lib3dsMaterial* m = file->materials; m; m = m->next) theirs.insert(std::string(m->name) + "/" + m->texture1_map.name + "/" + m->bump_map.name);
    for (const ostravel::ModelMaterial& m : ours.materials) mine.insert(m.name + "/" + m.texture1.file + "/" + m.bump.file);
    EXPECT_EQ(theirs, mine);
    int objectNodes = 0;
    for (const char* name : plan::kObjects) objectNodes += lib3ds_file_node_by_name(file, name, LIB3DS_OBJECT_NODE) != nullptr;
    EXPECT_EQ(objectNodes, static_cast<int>(plan::kObjects.size()));
    lib3ds_file_free(file);
}

// What the model builder asks the TextureBank loaders to load.
struct LoadCall {
    std::string kind, path, alphaPath;
    int slot;
};
std::vector<LoadCall> calls;

bool recordTexture(void*, const char* path, int slot) {
    calls.push_back({"colour", path, "", slot});
    return true;
}
bool recordTextureWithAlpha(void*, const char* path, const char* alpha, int slot) {
    calls.push_back({"alpha", path, alpha, slot});
    return true;
}
bool recordNormalMap(void*, const char* path, int slot) {
    calls.push_back({"normal", path, "", slot});
    return true;
}

int decodedWidth(const std::string& path) {
    ostravel::JpegFileStream file;
    if (!file.open(path.c_str())) return -1;
    ostravel::JpegDecoder jpeg(file);
    if (jpeg.errorCode() != 0 || jpeg.startDecoding() != 0) return -2;
    for (int y = 0; y < jpeg.height(); ++y) {
        const uint8_t* row;
        int length;
        if (jpeg.decodeRow(row, length) != 0) return -3;
    }
    return jpeg.width();
}

TEST(ShowModel, TheBuilderLoadsEveryPlannedTextureAndSkipsTheLowerCaseOne) {
    calls.clear();
    ostravel::TextureLoaders loaders;
    loaders.loadTexture = recordTexture;
    loaders.loadTextureWithAlpha = recordTextureWithAlpha;
    loaders.loadNormalMap = recordNormalMap;
    ostravel::MeshSlot mesh;
    ASSERT_TRUE(ostravel::buildModel(loaders, mesh, showPath("meshes/head.3ds").c_str(), 0, 1.0f));
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].kind, "colour");
    EXPECT_EQ(calls[0].path, "meshes/SKIN.JPG");
    EXPECT_EQ(calls[0].slot, 100000);
    EXPECT_EQ(calls[1].kind, "normal");
    EXPECT_EQ(calls[1].path, "meshes/SKINBUMP.JPG");
    EXPECT_EQ(calls[1].slot, 100050);
    EXPECT_EQ(calls[2].kind, "alpha");
    EXPECT_EQ(calls[2].path, "meshes/EYEBLEND.JPG");
    EXPECT_EQ(calls[2].alphaPath, "meshes/alphaEYEBLEND.JPG");
    // Head and Neck share Skin (entries 0 and 1), so the eyes' texture is entry 2.
    EXPECT_EQ(calls[2].slot, 100002);
    // Every file the show will open exists beside the model and decodes with our decoder.
    for (const LoadCall& c : calls) {
        EXPECT_GT(decodedWidth(showPath(c.path)), 0) << c.path;
        if (!c.alphaPath.empty()) {
            EXPECT_EQ(decodedWidth(showPath(c.alphaPath)), decodedWidth(showPath(c.path)));
        }
    }
    EXPECT_FALSE(std::filesystem::exists(showPath(std::string("meshes/") + plan::kUnloadedTexture)));
    for (const plan::TextureFile& t : plan::kTextureFiles) {
        EXPECT_EQ(decodedWidth(showPath(std::string("meshes/") + t.name)), t.width) << t.name;
    }
}

// The skin at the size the head wears it: smooth tone and round freckles, no square cells of
// noise and no 8x8 blocks of the coding. Square cells put most of the gradient energy near the
// axes (about half of it for texture without a preferred direction); visible coding blocks make
// the steps across every eighth column larger than the others.
TEST(ShowModel, SkinTextureHasNoSquareCellsOrCodingBlocks) {
    ostravel::JpegFileStream file;
    ASSERT_TRUE(file.open(showPath("meshes/SKIN.JPG").c_str()));
    ostravel::JpegDecoder jpeg(file);
    ASSERT_EQ(jpeg.startDecoding(), 0);
    const int w = jpeg.width(), h = jpeg.height();
    std::vector<double> grey;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row;
        int length;
        ASSERT_EQ(jpeg.decodeRow(row, length), 0);
        for (int x = 0; x < w; ++x) grey.push_back((row[4 * x] + row[4 * x + 1] + row[4 * x + 2]) / 3.0);
    }
    auto g = [&](int x, int y) { return grey[size_t(y) * w + x]; };
    double nearAxes = 0, energy = 0;
    for (int y = 1; y + 1 < h; ++y) {
        for (int x = 1; x + 1 < w; ++x) {  // Sobel
            const double gx = g(x + 1, y - 1) + 2 * g(x + 1, y) + g(x + 1, y + 1) - g(x - 1, y - 1) - 2 * g(x - 1, y) - g(x - 1, y + 1);
            const double gy = g(x - 1, y + 1) + 2 * g(x, y + 1) + g(x + 1, y + 1) - g(x - 1, y - 1) - 2 * g(x, y - 1) - g(x + 1, y - 1);
            const double e = gx * gx + gy * gy;
            energy += e;
            if (std::min(std::abs(gx), std::abs(gy)) < std::tan(M_PI / 8) * std::max(std::abs(gx), std::abs(gy))) nearAxes += e;
        }
    }
    double blockSteps = 0, otherSteps = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 1; x < w; ++x) (x % 8 == 0 ? blockSteps : otherSteps) += std::abs(g(x, y) - g(x - 1, y));
    }
    const double blockStep = blockSteps / (h * (w / 8 - 1)), otherStep = otherSteps / (h * (w - w / 8));
    EXPECT_GT(otherStep, 0.2) << "the skin has some texture";
    EXPECT_LT(nearAxes / energy, 0.55) << "gradients line up with the axes: square noise cells";
    EXPECT_LT(blockStep / otherStep, 1.15) << "steps at the 8x8 block edges stand out";
}

}  // namespace
