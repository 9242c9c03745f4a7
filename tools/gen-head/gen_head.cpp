// gen-head: writes the show's model "meshes/head.3ds" with our 3DS writer, and its textures.
// What the model holds and why: head_plan.h.
//
// The head is a deformed UV sphere: an ellipsoid with brow, nose, cheeks, lips and chin pushed
// out and eye sockets pushed in, mapped with spherical texture coordinates (the seam column is
// doubled so that u runs 0..1 without a jump). Smoothing groups: the skull and face share group
// 1; the lips are group 2, so the reader splits vertices along their border; the neck is group
// 4 and the hair cap group 8. Deterministic: a local generator with fixed seeds.

#include "tools/writer3ds/writer3ds.h"
#include "tools/content/content_random.h"
#include "tools/gen-head/head_plan.h"
#include "tools/jpegwriter/jpeg_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace ostravel;

using ostravel::content::Rng;
using ostravel::content::clamp01;
double bump(double dx, double dy, double dz, double width) {
    return std::exp(-(dx * dx + dy * dy + dz * dz) / (width * width));
}

// [SECTION] mesh building ---------------------------------------------------------------------

struct Vertex {
    double x, y, z, u, v;
};

struct MeshBuilder {
    std::vector<Vertex> vertices;
    std::vector<Face3ds> faces;
    std::vector<uint32_t> smoothing;

    // A grid of (columns + 1) x (rows + 1) vertices from a surface function of (u, v) in 0..1;
    // faces are wound counter-clockwise seen from outside (3DS front faces) when u runs
    // clockwise seen from above and v from top to bottom.
    void grid(int columns, int rows, const std::function<Vertex(double, double)>& surface,
              const std::function<uint32_t(double, double)>& group) {
        const int base = static_cast<int>(vertices.size());
        for (int r = 0; r <= rows; ++r) {
            for (int c = 0; c <= columns; ++c) vertices.push_back(surface(double(c) / columns, double(r) / rows));
        }
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                const uint16_t a = uint16_t(base + r * (columns + 1) + c), b = uint16_t(a + 1);
                const uint16_t d = uint16_t(a + columns + 1), e = uint16_t(d + 1);
                const uint32_t g = group((c + 0.5) / columns, (r + 0.5) / rows);
                faces.push_back({a, e, d, 7});
                faces.push_back({a, b, e, 7});
                smoothing.push_back(g);
                smoothing.push_back(g);
            }
        }
    }

    Mesh3ds finish(const std::string& name, const std::string& material) const {
        Mesh3ds mesh;
        mesh.name = name;
        for (const Vertex& v : vertices) {
            mesh.vertices.insert(mesh.vertices.end(), {float(v.x), float(v.y), float(v.z)});
            mesh.texCoords.insert(mesh.texCoords.end(), {float(v.u), float(v.v)});
        }
        mesh.faces = faces;
        mesh.smoothing = smoothing;
        FaceMaterial3ds all{material, {}};
        for (size_t i = 0; i < faces.size(); ++i) all.faces.push_back(uint16_t(i));
        mesh.faceMaterials.push_back(all);
        return mesh;
    }
};

// Spherical direction: u around (0 at the back, 0.5 at the front, -y), v from top (0) to bottom (1).
void direction(double u, double v, double& x, double& y, double& z) {
    const double phi = 2 * M_PI * u, theta = M_PI * v;
    x = std::sin(theta) * std::sin(phi);
    y = std::sin(theta) * std::cos(phi);
    z = std::cos(theta);
}

// The head's surface: the ellipsoid pushed along its normal by the features of a face.
Vertex headSurface(double u, double v) {
    double x, y, z;
    direction(u, v, x, y, z);
    // Features at directions on the unit sphere (front is -y).
    double push = 0;
    push += 0.10 * bump(x, y + 0.93, z - 0.05, 0.16);            // nose
    push += 0.05 * bump(x, y + 0.85, z - 0.35, 0.35);            // brow
    push -= 0.07 * bump(x - 0.33, y + 0.85, z - 0.18, 0.16);     // eye sockets
    push -= 0.07 * bump(x + 0.33, y + 0.85, z - 0.18, 0.16);
    push += 0.04 * bump(x - 0.45, y + 0.75, z + 0.15, 0.22);     // cheeks
    push += 0.04 * bump(x + 0.45, y + 0.75, z + 0.15, 0.22);
    push += 0.035 * bump(x, y + 0.9, z + 0.33, 0.12);            // lips
    push += 0.06 * bump(x, y + 0.7, z + 0.68, 0.2);              // chin
    push += 0.05 * bump(std::abs(x) - 0.98, y, z, 0.14);         // ears
    const double r = 1 + push;
    return {0.78 * r * x, 0.95 * r * y, 1.12 * r * z, u, v};
}

Vertex eyeSurface(double u, double v, double cx) {
    double x, y, z;
    direction(u, v, x, y, z);
    return {cx + 0.12 * x, -0.80 + 0.12 * y, 0.20 + 0.12 * z, u, v};
}

Vertex neckSurface(double u, double v) {
    const double phi = 2 * M_PI * u;
    const double r = 0.42 + 0.04 * v;
    return {r * std::sin(phi), 0.1 + r * std::cos(phi), -0.85 - 0.9 * v, u, v};
}

// Hair: a cap over the top and back, a little outside the skull.
Vertex hairSurface(double u, double v) {
    double x, y, z;
    const double vv = 0.55 * v;  // top 55 % of the sphere
    direction(u, vv, x, y, z);
    const double lift = 1.06 + 0.03 * std::sin(24 * M_PI * u) * vv;
    const double front = y < -0.3 ? 0.6 : 1.0;  // the fringe stops above the brow
    return {0.78 * lift * x, 0.95 * lift * y, 1.12 * lift * (z * front + (1 - front) * 0.75), u, v};
}

Vertex teethSurface(double u, double v) {
    const double a = M_PI * (0.15 + 0.7 * u);
    return {0.22 * std::cos(a), -0.70 - 0.12 * std::sin(a), -0.40 - 0.08 * v, u, v};
}

// [SECTION] textures ----------------------------------------------------------------------------

bool writeTexture(const std::string& path, int w, int h, const std::function<void(int, int, double&, double&, double&)>& f,
                  const JpegOptions& options) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double r, g, b;
            f(x, y, r, g, b);
            uint8_t* p = &rgb[(static_cast<size_t>(y) * w + x) * 3];
            p[0] = uint8_t(std::lround(255 * clamp01(r)));
            p[1] = uint8_t(std::lround(255 * clamp01(g)));
            p[2] = uint8_t(std::lround(255 * clamp01(b)));
        }
    }
    if (!writeJpeg(path, rgb, w, h, options)) {
        std::fprintf(stderr, "gen-head: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// Smooth value noise on a torus (tiles, as the normal map's cyclic neighbours expect).
struct TileNoise {
    int size;
    std::vector<double> cells;
    TileNoise(int n, uint32_t seed) : size(n), cells(static_cast<size_t>(n) * n) {
        Rng rng{seed};
        for (double& c : cells) c = rng.next();
    }
    double at(double x, double y) const {  // x, y in cells
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        const double fx = x - x0, fy = y - y0;
        auto c = [&](int i, int j) { return cells[((j % size + size) % size) * size + (i % size + size) % size]; };
        const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
        return (c(x0, y0) * (1 - sx) + c(x0 + 1, y0) * sx) * (1 - sy) + (c(x0, y0 + 1) * (1 - sx) + c(x0 + 1, y0 + 1) * sx) * sy;
    }
};

// Freckles: soft round dots at random places (wrapping at the edges), each with its own size and
// depth of colour; spread out, not tied to a grid, so nothing lines up into blocks.
std::vector<double> freckleMap(int size, int count, uint32_t seed) {
    std::vector<double> map(static_cast<size_t>(size) * size, 0.0);
    Rng rng{seed};
    for (int k = 0; k < count; ++k) {
        const double cx = rng.next() * size, cy = rng.next() * size;
        const double radius = rng.range(0.8, 2.0), depth = rng.range(0.25, 0.8);
        const int reach = int(std::ceil(3 * radius));
        for (int dy = -reach; dy <= reach; ++dy) {
            for (int dx = -reach; dx <= reach; ++dx) {
                const int x = int(std::floor(cx)) + dx, y = int(std::floor(cy)) + dy;
                const double d2 = (x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy);
                double& m = map[static_cast<size_t>((y % size + size) % size) * size + (x % size + size) % size];
                m = std::max(m, depth * std::exp(-d2 / (radius * radius)));
            }
        }
    }
    return map;
}

bool writeTextures(const std::string& dir) {
    const TileNoise coarse(8, 11), fine(64, 12), pores(128, 13), mottle(16, 14), mottleFine(32, 15);
    const std::vector<double> freckles = freckleMap(256, 260, 16);
    // Skin: warm tone with soft blotches, mottling and freckles; lips and cheeks flushed (by the
    // spherical map). The tone noise has cells of 8 pixels and more and the freckles are round
    // dots, so nothing lines up into squares; such smooth tone shows the coding's 8x8 blocks at
    // the usual quality 90, so it is stored at 98 (still a small file).
    bool ok = writeTexture(dir + "SKIN.JPG", 256, 256, [&](int x, int y, double& r, double& g, double& b) {
        const double u = x / 256.0, v = y / 256.0;
        const double blotch = coarse.at(u * 8, v * 8) + 0.5 * mottle.at(u * 16 + 0.37, v * 16 + 0.61) +
                              0.25 * mottleFine.at(u * 32 + 0.19, v * 32 + 0.83) - 0.875;
        const double freckle = freckles[static_cast<size_t>(y) * 256 + x];
        double lx, ly, lz;
        direction(u, v, lx, ly, lz);
        const double flush = 0.5 * bump(std::abs(lx) - 0.45, ly + 0.75, lz + 0.15, 0.25) + 0.8 * bump(lx, ly + 0.9, lz + 0.33, 0.1);
        r = 0.86 + 0.08 * blotch - 0.08 * freckle + 0.05 * flush;
        g = 0.66 + 0.07 * blotch - 0.13 * freckle - 0.12 * flush;
        b = 0.55 + 0.05 * blotch - 0.14 * freckle - 0.1 * flush;
    }, {98, false, ChromaSampling::s420, 0, false});
    // Height image for the normal map (red channel): pores and fine wrinkles.
    ok = ok && writeTexture(dir + "SKINBUMP.JPG", 256, 256, [&](int x, int y, double& r, double& g, double& b) {
        const double h = 0.5 + 0.25 * (pores.at(x / 2.0, y / 2.0) - 0.5) + 0.2 * std::sin(y * 0.35 + 3 * fine.at(x / 4.0, y / 4.0)) *
                                                                         (coarse.at(x / 32.0, y / 32.0) - 0.3);
        r = g = b = h;
    }, {92, true, ChromaSampling::s444, 0, false});
    // Eye: iris with radial fibres around the pupil, white sclera, and a round alpha mask.
    ok = ok && writeTexture(dir + "EYEBLEND.JPG", 128, 128, [&](int x, int y, double& r, double& g, double& b) {
        const double dx = x - 63.5, dy = y - 63.5, d = std::hypot(dx, dy), a = std::atan2(dy, dx);
        const double fibre = 0.75 + 0.25 * std::sin(a * 37) * std::sin(a * 11 + d * 0.3);
        const double iris = (d > 14 && d < 34) ? 1.0 : 0.0, pupil = d <= 14 ? 1.0 : 0.0;
        r = (1 - iris - pupil) * 0.93 + iris * 0.25 * fibre;
        g = (1 - iris - pupil) * 0.92 + iris * 0.5 * fibre;
        b = (1 - iris - pupil) * 0.9 + iris * 0.62 * fibre;
    }, {90, false, ChromaSampling::s422, 0, false});
    ok = ok && writeTexture(dir + "alphaEYEBLEND.JPG", 128, 128, [&](int x, int y, double& r, double& g, double& b) {
        const double d = std::hypot(x - 63.5, y - 63.5);
        r = g = b = clamp01((60 - d) / 4);
    }, {95, false, ChromaSampling::s444, 0, false});
    return ok;
}

// [SECTION] the file -------------------------------------------------------------------------------

Material3ds material(const std::string& name, Colour3ds diffuse, const std::string& texture, const std::string& bumpMap) {
    Material3ds m;
    m.name = name;
    m.ambient = {diffuse.r * 0.3f, diffuse.g * 0.3f, diffuse.b * 0.3f};
    m.diffuse = diffuse;
    m.specular = {0.9f, 0.9f, 0.9f};
    m.shininessPercent = 20;
    m.texture1.file = texture;
    m.bump.file = bumpMap;
    m.bump.strengthPercent = 60;
    return m;
}

File3ds headFile() {
    File3ds file;
    file.materials = {
        material("Skin", {0.86f, 0.66f, 0.55f}, "SKIN.JPG", "SKINBUMP.JPG"),
        material("Eyes", {0.9f, 0.9f, 0.9f}, "EYEBLEND.JPG", ""),
        material("Hair", {0.2f, 0.12f, 0.08f}, headplan::kUnloadedTexture, ""),
        material("Teeth", {0.95f, 0.93f, 0.85f}, "", ""),
    };
    file.materials[1].transparencyPercent = 10;

    MeshBuilder head;
    head.grid(40, 30, headSurface, [](double u, double v) {
        double x, y, z;
        direction(u, v, x, y, z);
        return bump(x, y + 0.9, z + 0.33, 0.12) > 0.5 ? 2u : 1u;  // lips apart from the face
    });
    MeshBuilder neck;
    neck.grid(24, 4, neckSurface, [](double, double) { return 4u; });
    MeshBuilder eyeL, eyeR;
    eyeL.grid(16, 10, [](double u, double v) { return eyeSurface(u, v, -0.3); }, [](double, double) { return 1u; });
    eyeR.grid(16, 10, [](double u, double v) { return eyeSurface(u, v, 0.3); }, [](double, double) { return 1u; });
    MeshBuilder hair;
    hair.grid(40, 12, hairSurface, [](double, double) { return 8u; });
    MeshBuilder teeth;
    teeth.grid(12, 1, teethSurface, [](double, double) { return 0u; });  // flat shaded

    file.meshes = {head.finish("Head", "Skin"), neck.finish("Neck", "Skin"), eyeL.finish("EyeL", "Eyes"),
                   eyeR.finish("EyeR", "Eyes"), hair.finish("Hair", "Hair"), teeth.finish("Teeth", "Teeth")};

    // Keyframer: the head nods and turns slowly; neck, hair and teeth follow it, the eyes dart.
    file.frameStart = 0;
    file.frameEnd = headplan::kFrames;
    Node3ds headNode;
    headNode.name = "Head";
    headNode.id = 0;
    headNode.positions = {{0, 0, 0, 0}, {50, 0, 0, 0.05f}, {100, 0, 0, 0}};
    headNode.rotations = {{0, 0, 0, 0, 1}, {25, 0.12f, 1, 0, 0}, {50, 0.3f, 0, 0, 1}, {75, -0.12f, 1, 0, 0}, {100, -0.3f, 0, 0, 1}};
    file.nodes.push_back(headNode);
    const char* followers[] = {"Neck", "EyeL", "EyeR", "Hair", "Teeth"};
    for (int i = 0; i < 5; ++i) {
        Node3ds n;
        n.name = followers[i];
        n.id = uint16_t(i + 1);
        n.parent = i == 0 ? -1 : 0;
        if (i == 1 || i == 2) {
            n.pivot[0] = i == 1 ? -0.3f : 0.3f;
            n.pivot[1] = -0.8f;
            n.pivot[2] = 0.2f;
            n.rotations = {{0, 0, 0, 0, 1}, {30, 0.2f, 0, 0, 1}, {60, -0.4f, 0, 0, 1}, {90, 0.2f, 0, 0, 1}};
        }
        file.nodes.push_back(n);
    }

    Light3ds key;
    key.name = "Key";
    key.position[0] = -3;
    key.position[1] = -4;
    key.position[2] = 3;
    file.lights.push_back(key);
    Camera3ds camera;
    camera.name = "Front";
    camera.position[1] = -6;
    camera.target[1] = 0;
    camera.lens = 50;
    file.cameras.push_back(camera);
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gen-head <show folder>\n");
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/meshes/";
    std::filesystem::create_directories(dir);
    if (!writeTextures(dir)) return 1;
    const std::string path = dir + "head.3ds";
    std::vector<uint8_t> bytes = ostravel::encode3ds(headFile());
    // The show's reader never reads the last byte of its buffer, so a file that ends with the
    // main chunk would lose the last byte of its last key. One spare byte after the main chunk
    // keeps every value readable; chunk readers (ours, lib3ds) stop at the main chunk's end.
    bytes.push_back(0);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool written = f && !bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f) std::fclose(f);
    if (!written || bytes.size() < 2) {
        std::fprintf(stderr, "gen-head: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
