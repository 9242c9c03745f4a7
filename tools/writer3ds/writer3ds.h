// A small 3DS writer: builds files in the 3DS chunk format from plain records.
//
// Used by the model tests to make exact fixtures and by the content generator to write the
// show's "meshes/head.3ds". It writes what Reader3ds (models/model3ds.h) reads, in the layout
// that lib3ds and assimp also accept:
//
//   0x4D4D main
//     0x0002 file version (3)
//     0x3D3D editor
//       0x3D3E mesh version (3), 0x0100 master scale (1.0)
//       0xAFFF material ...       0xA000 name, 0xA010/0xA020/0xA030 colours, 0xA040/0xA050
//                                  percentages, 0xA100 shading, maps 0xA200 0xA33A 0xA210
//                                  0xA220 0xA230 0xA204
//       0x4000 named object ...   name, then 0x4100 mesh (0x4110 vertices, 0x4140 texture
//                                  coordinates, 0x4160 local matrix, 0x4120 faces with 0x4130
//                                  face materials and 0x4150 smoothing groups), 0x4600 light
//                                  or 0x4700 camera
//     0xB000 keyframer (header and frames always, as 3D Studio writes it; nodes when given)
//       0xB00A header, 0xB008 frames, 0xB002 object node ... (0xB030 node id, 0xB010 header,
//       0xB013 pivot, 0xB020 position track, 0xB021 rotation track, 0xB022 scale track),
//       then a 0xB003 camera node / 0xB005 light node (id, header, one position key) per camera
//       and light
//
// Limits: counts are 16-bit in the format (vertices, faces, texture coordinates); encode3ds
// refuses records beyond that (returns an empty buffer). Texts are written as given plus a zero
// byte; 3DS programs expect names of at most 10 characters and map file names in 8.3 form.
// Keys are written with flags 0 (no tension, continuity, bias or ease values).
//
// ChunkWriter is the low-level half: tests use it to make damaged or unusual files by hand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostravel {

// --- Low level ------------------------------------------------------------------------------

// Appends little-endian values to a byte buffer; begin/end nest chunks and patch their lengths.
class ChunkWriter {
public:
    void begin(uint16_t id);  // opens a chunk: id and a length patched by end()
    void end();               // closes the innermost open chunk
    void byte(uint8_t v);
    void word(uint16_t v);
    void dword(uint32_t v);
    void real(float v);
    void text(const std::string& v);  // the characters and a zero byte
    void raw(const void* data, size_t size);
    // A whole chunk with a header of exactly the given length field, whatever the payload size.
    void rawChunk(uint16_t id, uint32_t lengthField, const std::vector<uint8_t>& payload);

    const std::vector<uint8_t>& bytes() const { return out_; }
    size_t openChunks() const { return open_.size(); }

private:
    std::vector<uint8_t> out_;
    std::vector<size_t> open_;
};

// --- Records --------------------------------------------------------------------------------

struct Colour3ds {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};

// A texture map; written only when file is not empty.
struct Map3ds {
    std::string file;
    int strengthPercent = 100;  // 0x0030
    float uScale = 1.0f, vScale = 1.0f, uOffset = 0.0f, vOffset = 0.0f, rotation = 0.0f;
};

struct Material3ds {
    std::string name;
    Colour3ds ambient, diffuse{0.8f, 0.8f, 0.8f}, specular;
    bool floatColours = false;  // false: 0x0011 bytes (as 3ds Max writes); true: 0x0010 floats
    int shininessPercent = 0;
    int transparencyPercent = 0;
    int shading = 3;  // 0xA100 word; -1 writes no shading chunk
    Map3ds texture1, texture2, opacity, reflection, bump, specularMap;
};

struct Face3ds {
    uint16_t a = 0, b = 0, c = 0;
    uint16_t flags = 7;  // edge visibility bits AB, BC, CA
};

struct FaceMaterial3ds {
    std::string material;
    std::vector<uint16_t> faces;
};

struct Mesh3ds {
    std::string name;
    std::vector<float> vertices;   // x, y, z per vertex
    std::vector<float> texCoords;  // u, v per vertex; written when not empty
    std::vector<Face3ds> faces;
    std::vector<uint32_t> smoothing;  // one mask per face; written when not empty
    std::vector<FaceMaterial3ds> faceMaterials;
    // Rows X axis, Y axis, Z axis, origin (0x4160); identity by default.
    float matrix[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
};

struct Light3ds {
    std::string name;
    float position[3] = {0, 0, 0};
    Colour3ds colour{1.0f, 1.0f, 1.0f};
    bool spot = false;
    float target[3] = {0, 0, 0};
    float hotspot = 30.0f, falloff = 45.0f;
    float innerRange = 100.0f, outerRange = 1000.0f;
};

struct Camera3ds {
    std::string name;
    float position[3] = {0, 0, 0};
    float target[3] = {0, 0, -1};
    float bank = 0.0f;
    float lens = 30.0f;
    float nearRange = 10.0f, farRange = 10000.0f;
};

struct PositionKey3ds {
    int32_t frame = 0;
    float x = 0, y = 0, z = 0;
};

// Angle in radians about the axis; 3DS rotation keys are relative to the previous key.
struct RotationKey3ds {
    int32_t frame = 0;
    float angle = 0, x = 0, y = 0, z = 1;
};

struct Node3ds {
    std::string name;      // the mesh object it animates
    uint16_t id = 0;       // 0xB030; written in list order when all are 0
    int parent = -1;       // node id of the parent, -1 none
    float pivot[3] = {0, 0, 0};
    std::vector<PositionKey3ds> positions;  // 0xB020; one key at frame 0 (origin) when empty
    std::vector<RotationKey3ds> rotations;  // 0xB021; one zero key at frame 0 when empty
    bool writeScaleTrack = true;            // 0xB022 with one (1, 1, 1) key
};

struct File3ds {
    std::vector<Material3ds> materials;
    std::vector<Mesh3ds> meshes;
    std::vector<Light3ds> lights;
    std::vector<Camera3ds> cameras;
    std::vector<Node3ds> nodes;
    int32_t frameStart = 0, frameEnd = 100;  // 0xB008
};

// The "SKIN" material with every map the reader knows (colour, bump, specular, opacity, detail,
// reflection), as the model tests and the fuzz seeds write it.
Material3ds materialWithEveryMap();

// The whole file as bytes; empty when a record breaks a 16-bit limit of the format.
std::vector<uint8_t> encode3ds(const File3ds& file);
// Writes encode3ds(file) to path; false when encoding or writing fails.
bool write3ds(const File3ds& file, const char* path);

}  // namespace ostravel
