// 3DS models: the reader of the 3DS chunk format and its post-processing.
//
// Reader3ds::load reads a whole file into one buffer and walks it chunk by chunk with a cursor
// that never leaves the buffer. A value that cannot be read comes back as zero (an empty text)
// and raises the error flag, so a damaged file loads as far as it goes. After the walk the
// keyframer tracks become one sample per frame, every mesh moves into its local frame, and face
// and vertex normals, tangents and binormals are computed (splitting vertices where smoothing
// groups meet).
//
// Conventions
// - Little-endian file data; chunk = id (16 bits), length (32 bits, header included), data.
// - The buffer primitives read only when cursor + width < buffer size: the last byte of a
//   buffer is never read (a zero comes back instead).
// - Node i of the keyframer belongs to mesh object i (file order), whatever its name.
// - Angles in radians; rotation keys are stored with their axis negated.
//
// Limits (what keeps bad files from hanging, crashing or allocating without limit)
// - A chunk shorter than its 6-byte header, or one that runs past its parent, ends the parent.
//   A chunk that runs past the end of the buffer (a cut-off file) is read up to the buffer end.
// - Counts are clamped to what the chunk's remaining bytes can hold. Faces with a corner at or
//   beyond the vertex count are dropped when the object is complete; face numbers beyond the
//   face list and face materials naming no material are ignored.
// - The frame count is capped at kMaxFrameCount, and at kMaxFrameSamples divided by the
//   number of animated objects, so per-frame samples stay bounded.
// - Splitting vertices along smoothing-group borders stops at 65536 vertices (16-bit indices).
// - A tangent whose texture mapping is degenerate (zero or non-finite ratio) is stored as 0.
// - Objects without a keyframer node keep no per-frame samples and no pivot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ostravel {

constexpr int kMaxFrameCount = 100000;
constexpr long kMaxFrameSamples = 1L << 21;

struct Float2 {
    float u = 0.0f, v = 0.0f;
};

struct Float3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// Why the last load returned false (or none).
enum class ModelLoadError {
    none,
    cannotOpen,      // fopen failed
    cannotRead,      // size unknown, too large for the buffer, no memory for it, or a short read
    notA3dsFile,     // the first chunk is not 0x4D4D
    noEditorChunk,   // no 0x3D3D inside the main chunk
};

// The derived classes keep the implicit (virtual) destructor so that they stay movable.
class ModelEntity {
public:
    ModelEntity() = default;
    ModelEntity(const ModelEntity&) = default;
    ModelEntity(ModelEntity&&) noexcept = default;
    ModelEntity& operator=(const ModelEntity&) = default;
    ModelEntity& operator=(ModelEntity&&) noexcept = default;
    virtual ~ModelEntity() = default;
    virtual const std::string& nameData() const { return name; }
    virtual std::string nameCopy() const { return name; }

    std::string name;
};

// A texture map of a material; a map whose chunk is absent keeps these values.
struct TextureMap {
    float strength = 0.0f;  // fraction
    std::string file;       // at most 19 characters
    float uScale = 1.0f, vScale = 1.0f, uOffset = 0.0f, vOffset = 0.0f, rotation = 0.0f;
};

class ModelMaterial : public ModelEntity {
public:
    int index = 0;  // position in Model::materials
    TextureMap texture1;     // 0xA200
    TextureMap texture2;     // 0xA33A
    TextureMap opacity;      // 0xA210
    TextureMap reflection;   // 0xA220; name "auto" when the file gives an empty name
    TextureMap bump;         // 0xA230
    TextureMap specularMap;  // 0xA204
    Float3 ambient, diffuse, specular;  // 0 to 1
    float shininess = 0.0f, transparency = 0.0f;  // fractions
    int shading = 2;
};

struct MeshFace {
    uint16_t a = 0, b = 0, c = 0;
    uint32_t smoothing = 0;
    Float3 normal, tangent, binormal;
    int material = 0;
};

class MeshObject : public ModelEntity {
public:
    std::vector<uint16_t> indices;  // a, b, c per face
    std::vector<Float3> vertices, normals, binormals, tangents;
    std::vector<Float2> texCoords, texCoords2;  // both hold the file's coordinates
    std::vector<MeshFace> faces;
    // Rows X axis, Y axis, Z axis, origin; fourth column 0, 0, 0, 1.
    float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::vector<int> materialsUsed;  // one per face-material chunk that names a known material
    int fileVertexCount = 0;         // vertices as read, before smoothing splits
};

class ModelLight : public ModelEntity {
public:
    Float3 position, colour, target;
    float hotspot = 0.0f, falloff = 0.0f;
    float outerRange = 1000.0f, innerRange = 100.0f;
};

class ModelCamera : public ModelEntity {
public:
    Float3 position, target;
    float bank = 0.0f;
    float fieldOfView = 80.0f;  // 2400 / lens when read from a file
    float nearRange = 10.0f, farRange = 10000.0f;
};

struct RotationKey {
    float x = 0, y = 0, z = 0, angle = 0;  // axis as stored: negated from the file
    int32_t frame = 0;
};

struct PositionKey {
    float x = 0, y = 0, z = 0;
    int32_t frame = 0;
};

struct RotationSample {
    float x = 0, y = 0, z = 0, angle = 0;
};

struct KeyframeNode {
    std::vector<float> pivots;  // x, y, z, 0 per pivot chunk; freed by post-processing
    std::vector<RotationKey> rotationKeys;  // freed by post-processing
    std::vector<PositionKey> positionKeys;  // freed by post-processing
    std::vector<RotationSample> rotations;  // one per frame
    std::vector<Float3> positions;          // one per frame
    Float3 pivot;
    RotationSample firstRotationKey;
};

class Model {
public:
    virtual ~Model() = default;
    virtual bool load(const char* path) = 0;
    // Empties mesh objects, lights and materials (not cameras, nodes or the frame count) and
    // sets the normal mode to 2.
    virtual void clear();

    KeyframeNode nodeBeingRead;
    std::vector<KeyframeNode> nodes;
    int frameCount = 0;
    std::vector<ModelCamera> cameras;
    std::vector<ModelLight> lights;
    std::vector<MeshObject> meshObjects;
    std::vector<ModelMaterial> materials;
    int normalMode = 2;  // 1: face and vertex normals; 2: smoothing groups, tangents, binormals
    char objectName[100] = {};
};

class Reader3ds : public Model {
public:
    ~Reader3ds() override = default;
    // True when the file parsed as a 3DS file. Cameras, nodes and the frame count accumulate
    // over loads; mesh objects, lights and materials are replaced.
    bool load(const char* path) override;
    // The same from memory (the bytes are copied); for tools and fuzzing.
    bool loadFromMemory(const uint8_t* data, size_t size);

    bool postProcess = true;  // false keeps the data as read (tools and peer comparisons)
    ModelLoadError lastError = ModelLoadError::none;

    // The walk's state; empty outside load.
    bool error = false;
    std::vector<uint8_t> buffer;
    int bufferSize = 0;
    int cursor = 0;

private:
    bool loadBuffer();
};

// Part of the load; public so that tests can run it on hand-made models.
void postProcessModel(Model& model);

}  // namespace ostravel
