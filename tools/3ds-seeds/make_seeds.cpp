// Writes the fuzzer's seed files (every chunk kind the reader handles) into the given folder.
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/writer3ds/writer3ds.h"

using namespace ostravel;

namespace {

Mesh3ds grid(const std::string& name, int n, float offset) {
    Mesh3ds m;
    m.name = name;
    for (int y = 0; y <= n; ++y)
        for (int x = 0; x <= n; ++x) {
            m.vertices.insert(m.vertices.end(), {float(x) + offset, float(y), std::sin(float(x * y))});
            m.texCoords.insert(m.texCoords.end(), {float(x) / n, float(y) / n});
        }
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const uint16_t i = static_cast<uint16_t>(y * (n + 1) + x);
            m.faces.push_back({i, static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + n + 2), 7});
            m.faces.push_back({i, static_cast<uint16_t>(i + n + 2), static_cast<uint16_t>(i + n + 1), 7});
            m.smoothing.push_back(1u << (x % 3));
            m.smoothing.push_back(1u << (y % 2));
        }
    m.matrix[9] = offset;
    return m;
}

bool save(const File3ds& f, const std::string& path) {
    if (write3ds(f, path.c_str())) return true;
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_3ds_seeds FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;

    File3ds full;
    Material3ds skin = materialWithEveryMap();
    full.materials.push_back(skin);
    Material3ds blend;
    blend.name = "GLASS";
    blend.floatColours = true;
    blend.texture1.file = "BLENDA.JPG";
    blend.shading = 1;
    full.materials.push_back(blend);
    Mesh3ds a = grid("Head", 4, 0.0f);
    a.faceMaterials = {{"SKIN", {0, 1, 2, 3}}, {"GLASS", {4, 5}}};
    Mesh3ds b = grid("Hat", 2, 3.0f);
    b.faceMaterials = {{"GLASS", {0, 1, 2}}};
    full.meshes = {a, b};
    Light3ds light;
    light.name = "Spot";
    light.spot = true;
    full.lights.push_back(light);
    Camera3ds camera;
    camera.name = "Cam";
    full.cameras.push_back(camera);
    Node3ds na;
    na.name = "Head";
    na.pivot[0] = 1.0f;
    na.positions = {{0, 0, 0, 0}, {10, 1, 2, 3}, {30, 0, 0, 1}};
    na.rotations = {{0, 0.1f, 0, 0, 1}, {15, 0.5f, 0, 1, 0}, {40, 0.25f, 1, 0, 0}};
    Node3ds nb;
    nb.name = "Hat";
    full.nodes = {na, nb};
    full.frameEnd = 50;
    ok = save(full, dir + "/full.3ds") && ok;

    File3ds small;
    small.meshes.push_back(grid("Tri", 1, 0.0f));
    ok = save(small, dir + "/small.3ds") && ok;

    // Key headers with the optional floats (flags 0x8000 .. 0x0800 and 0x0001).
    ChunkWriter w;
    w.begin(0x4D4D);
    w.begin(0x3D3D);
    w.begin(0x4000);
    w.text("K");
    w.begin(0x4100);
    w.begin(0x4110);
    w.word(3);
    for (float v : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) w.real(v);
    w.end();
    w.begin(0x4120);
    w.word(1);
    for (uint16_t v : {0, 1, 2, 7}) w.word(v);
    w.end();
    w.end();
    w.end();
    w.end();
    w.begin(0xB000);
    w.begin(0xB002);
    w.begin(0xB010);
    w.text("K");
    w.word(0);
    w.word(0);
    w.word(0xFFFF);
    w.end();
    w.begin(0xB020);
    w.word(0);
    w.dword(0);
    w.dword(20);
    w.dword(2);
    w.dword(0);
    w.word(0xF800);
    for (int i = 0; i < 5 + 3; ++i) w.real(float(i));
    w.dword(10);
    w.word(0x0001);
    for (int i = 0; i < 3; ++i) w.real(float(i));
    w.end();
    w.end();
    w.end();
    w.end();
    std::FILE* f = std::fopen((dir + "/keys.3ds").c_str(), "wb");
    if (f) {
        std::fwrite(w.bytes().data(), 1, w.bytes().size(), f);
        std::fclose(f);
    } else {
        ok = false;
    }
    return ok ? 0 : 1;
}
