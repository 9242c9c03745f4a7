// Our reader against lib3ds and assimp, on files none of our code wrote (assimp's 3DS exporter
// fed with an OBJ written here) and on files our writer made.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>

#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <lib3ds/file.h>
#include <lib3ds/material.h>
#include <lib3ds/mesh.h>
#include <unistd.h>

#include "fixtures.h"

namespace ostravel {
namespace {

using Triangle = std::array<float, 9>;

class PeerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("ostravel_peer_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Our raw data (as in the file) against lib3ds: names, counts, positions, indices,
    // smoothing groups, face materials, local matrices, material and map names.
    static void compareWithLib3ds(const std::string& file) {
        Reader3ds ours;
        ours.postProcess = false;
        ASSERT_TRUE(ours.load(file.c_str()));
        Lib3dsFile* peer = lib3ds_file_load(file.c_str());
        ASSERT_NE(peer, nullptr);
        int peerMeshes = 0;
        for (Lib3dsMesh* m = peer->meshes; m; m = m->next) ++peerMeshes;
        EXPECT_EQ(peerMeshes, static_cast<int>(ours.meshObjects.size()));
        for (const MeshObject& m : ours.meshObjects) {
            SCOPED_TRACE(m.name);
            Lib3dsMesh* p = lib3ds_file_mesh_by_name(peer, m.name.c_str());
            ASSERT_NE(p, nullptr);
            ASSERT_EQ(p->points, m.vertices.size());
            for (size_t i = 0; i < m.vertices.size(); ++i) {
                EXPECT_EQ(p->pointL[i].pos[0], m.vertices[i].x);
                EXPECT_EQ(p->pointL[i].pos[1], m.vertices[i].y);
                EXPECT_EQ(p->pointL[i].pos[2], m.vertices[i].z);
            }
            if (p->texels > 0) {
                ASSERT_EQ(p->texels, m.texCoords.size());
                for (size_t i = 0; i < m.texCoords.size(); ++i) {
                    EXPECT_EQ(p->texelL[i][0], m.texCoords[i].u);
                    EXPECT_EQ(p->texelL[i][1], m.texCoords[i].v);
                }
            }
            ASSERT_EQ(p->faces, m.faces.size());
            for (size_t i = 0; i < m.faces.size(); ++i) {
                const MeshFace& f = m.faces[i];
                EXPECT_EQ(p->faceL[i].points[0], f.a);
                EXPECT_EQ(p->faceL[i].points[1], f.b);
                EXPECT_EQ(p->faceL[i].points[2], f.c);
                EXPECT_EQ(p->faceL[i].smoothing, f.smoothing);
                if (p->faceL[i].material[0]) {
                    EXPECT_EQ(ours.materials.at(f.material).name, p->faceL[i].material);
                }
            }
            for (int row = 0; row < 4; ++row)
                for (int col = 0; col < 3; ++col) EXPECT_EQ(p->matrix[row][col], m.matrix[row * 4 + col]);
        }
        int peerMaterials = 0;
        for (Lib3dsMaterial* m = peer->materials; m; m = m->next) ++peerMaterials;
        EXPECT_EQ(peerMaterials, static_cast<int>(ours.materials.size()));
        for (const ModelMaterial& m : ours.materials) {
            SCOPED_TRACE(m.name);
            Lib3dsMaterial* p = lib3ds_file_material_by_name(peer, m.name.c_str());
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(m.texture1.file, p->texture1_map.name);
            EXPECT_EQ(m.texture2.file, p->texture2_map.name);
            EXPECT_EQ(m.opacity.file, p->opacity_map.name);
            EXPECT_EQ(m.bump.file, p->bump_map.name);
            EXPECT_EQ(m.specularMap.file, p->specular_map.name);
            if (p->reflection_map.name[0]) {
                EXPECT_EQ(m.reflection.file, p->reflection_map.name);
            }
        }
        lib3ds_file_free(peer);
    }

    // Our post-processed triangles against assimp's (flags 0: its own local-frame transform,
    // one vertex per corner), object by object through the node names; material and map names.
    static void compareWithAssimp(const std::string& file) {
        Reader3ds ours;
        ASSERT_TRUE(ours.load(file.c_str()));
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFile(file, 0);
        ASSERT_NE(scene, nullptr) << importer.GetErrorString();
        for (const MeshObject& m : ours.meshObjects) {
            SCOPED_TRACE(m.name);
            const aiNode* node = scene->mRootNode->FindNode(m.name.c_str());
            ASSERT_NE(node, nullptr);
            std::vector<Triangle> theirs, mine;
            for (unsigned i = 0; i < node->mNumMeshes; ++i) {
                const aiMesh* am = scene->mMeshes[node->mMeshes[i]];
                for (unsigned f = 0; f < am->mNumFaces; ++f) {
                    Triangle t;
                    for (int k = 0; k < 3; ++k) {
                        const aiVector3D& v = am->mVertices[am->mFaces[f].mIndices[k]];
                        t[3 * k] = v.x;
                        t[3 * k + 1] = v.y;
                        t[3 * k + 2] = v.z;
                    }
                    theirs.push_back(t);
                }
            }
            for (const MeshFace& f : m.faces) {
                Triangle t;
                const uint16_t corners[3] = {f.a, f.b, f.c};
                for (int k = 0; k < 3; ++k) {
                    t[3 * k] = m.vertices[corners[k]].x;
                    t[3 * k + 1] = m.vertices[corners[k]].y;
                    t[3 * k + 2] = m.vertices[corners[k]].z;
                }
                mine.push_back(t);
            }
            ASSERT_EQ(theirs.size(), mine.size());
            std::sort(theirs.begin(), theirs.end());
            std::sort(mine.begin(), mine.end());
            for (size_t i = 0; i < mine.size(); ++i)
                for (int k = 0; k < 9; ++k) ASSERT_NEAR(theirs[i][k], mine[i][k], 1e-4) << i;
        }
        for (const ModelMaterial& m : ours.materials) {
            SCOPED_TRACE(m.name);
            const aiMaterial* found = nullptr;
            for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
                aiString name;
                scene->mMaterials[i]->Get(AI_MATKEY_NAME, name);
                if (m.name == name.C_Str()) found = scene->mMaterials[i];
            }
            ASSERT_NE(found, nullptr);
            auto texture = [found](aiTextureType type) {
                aiString name;
                return found->GetTexture(type, 0, &name) == AI_SUCCESS ? std::string(name.C_Str()) : std::string();
            };
            EXPECT_EQ(m.texture1.file, texture(aiTextureType_DIFFUSE));
            EXPECT_EQ(m.bump.file, texture(aiTextureType_HEIGHT));
            EXPECT_EQ(m.specularMap.file, texture(aiTextureType_SPECULAR));
            EXPECT_EQ(m.opacity.file, texture(aiTextureType_OPACITY));
        }
    }

    std::filesystem::path dir_;
};

// An OBJ with two objects, two textured materials and uneven coordinates.
void writeObj(const std::string& objPath, const std::string& mtlName) {
    std::ofstream obj(objPath);
    obj << "mtllib " << mtlName << "\n";
    int base = 1;
    const char* objects[] = {"Body", "Hat"};
    const char* materials[] = {"Skin", "Glass"};
    for (int o = 0; o < 2; ++o) {
        const int n = o == 0 ? 7 : 3;
        obj << "o " << objects[o] << "\n";
        for (int y = 0; y <= n; ++y)
            for (int x = 0; x <= n; ++x)
                obj << "v " << x * 0.37 + o * 11 << " " << y * 0.53 << " " << std::sin(x * 1.7 + y) << "\n";
        for (int y = 0; y <= n; ++y)
            for (int x = 0; x <= n; ++x) obj << "vt " << double(x) / n << " " << double(y) / n << "\n";
        obj << "usemtl " << materials[o] << "\n";
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const int i = base + y * (n + 1) + x;
                obj << "f " << i << "/" << i << " " << i + 1 << "/" << i + 1 << " " << i + n + 2 << "/" << i + n + 2 << "\n";
                obj << "f " << i << "/" << i << " " << i + n + 2 << "/" << i + n + 2 << " " << i + n + 1 << "/" << i + n + 1
                    << "\n";
            }
        base += (n + 1) * (n + 1);
    }
    std::ofstream mtl(std::filesystem::path(objPath).parent_path() / mtlName);
    mtl << "newmtl Skin\nKd 0.8 0.6 0.5\nmap_Kd SKIN.JPG\nmap_bump SKINB.JPG\nmap_Ks SHIN.JPG\n";
    mtl << "newmtl Glass\nKd 0.2 0.3 0.9\nmap_Kd BLENDA.JPG\n";
}

TEST_F(PeerTest, FilesFromAssimpsExporter) {
    writeObj(path("scene.obj"), "scene.mtl");
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path("scene.obj"), 0);
    ASSERT_NE(scene, nullptr) << importer.GetErrorString();
    Assimp::Exporter exporter;
    ASSERT_EQ(exporter.Export(scene, "3ds", path("scene.3ds")), AI_SUCCESS) << exporter.GetErrorString();

    Reader3ds ours;
    ours.postProcess = false;
    ASSERT_TRUE(ours.load(path("scene.3ds").c_str()));
    ASSERT_EQ(ours.meshObjects.size(), 2u);
    size_t faces = 0;
    for (const MeshObject& m : ours.meshObjects) faces += m.faces.size();
    EXPECT_EQ(faces, 2u * (49 + 9));
    compareWithLib3ds(path("scene.3ds"));
    compareWithAssimp(path("scene.3ds"));
}

TEST_F(PeerTest, FilesFromOurWriter) {
    File3ds f;
    Material3ds skin = materialWithEveryMap();
    Material3ds glass;
    glass.name = "GLASS";
    glass.texture1.file = "BLENDA.JPG";
    f.materials = {skin, glass};
    for (int o = 0; o < 3; ++o) {
        Mesh3ds m;
        m.name = "Part" + std::to_string(o);
        const int n = 5 + o;
        for (int y = 0; y <= n; ++y)
            for (int x = 0; x <= n; ++x) {
                m.vertices.insert(m.vertices.end(), {x * 0.31f + o, y * 0.47f, std::cos(x * 0.9f + y) + o});
                m.texCoords.insert(m.texCoords.end(), {float(x) / n, float(y) / n});
            }
        FaceMaterial3ds first{"SKIN", {}}, second{"GLASS", {}};
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const uint16_t i = static_cast<uint16_t>(y * (n + 1) + x);
                (x < n / 2 ? first : second).faces.push_back(static_cast<uint16_t>(m.faces.size()));
                m.faces.push_back({i, static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + n + 2), 7});
                (x < n / 2 ? first : second).faces.push_back(static_cast<uint16_t>(m.faces.size()));
                m.faces.push_back({i, static_cast<uint16_t>(i + n + 2), static_cast<uint16_t>(i + n + 1), 7});
                m.smoothing.push_back(1u << (x % 4));
                m.smoothing.push_back(1u << (y % 4));
            }
        m.faceMaterials = {first, second};
        if (o == 1) {  // a rotated local frame: X = (0, 1, 0), Y = (-1, 0, 0), origin (2, 3, 4)
            const float matrix[12] = {0, 1, 0, -1, 0, 0, 0, 0, 1, 2, 3, 4};
            std::copy(matrix, matrix + 12, m.matrix);
        }
        f.meshes.push_back(m);
        Node3ds node;
        node.name = m.name;
        f.nodes.push_back(node);
    }
    ASSERT_TRUE(write3ds(f, path("ours.3ds").c_str()));
    compareWithLib3ds(path("ours.3ds"));
    compareWithAssimp(path("ours.3ds"));
}

}  // namespace
}  // namespace ostravel
