// The chunk walk of Reader3ds. Chunk ids are those of the 3DS format as 3D Studio wrote it.
#include "models/chunk_ids.h"
#include "models/model3ds.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <unordered_map>
#include <unordered_set>

namespace ostravel {

void Model::clear() {
    meshObjects.clear();
    lights.clear();
    materials.clear();
    normalMode = 2;
}

namespace {

using namespace chunk3ds;

constexpr int kHeaderSize = 6;
constexpr int kPositionKeyMinSize = 4 + 2 + 12;  // frame, flags, x y z
constexpr int kRotationKeyMinSize = 4 + 2 + 16;  // frame, flags, angle, axis

// data start .. end (clamped to the buffer); declaredEnd is what the length field says.
struct Chunk {
    uint16_t id = 0;
    int start = 0;
    int end = 0;
    int64_t declaredEnd = 0;
};

// The buffer primitives and the walk, over the Reader3ds fields.
class Walk {
public:
    explicit Walk(Reader3ds& r) : r_(r), data_(r.buffer.data()), size_(r.bufferSize) {}

    bool parse();

private:
    bool fits(int width) const {
        return size_ > 0 && r_.cursor >= 0 && int64_t(r_.cursor) + width < size_;
    }
    uint8_t readByte() {
        if (!fits(1)) return fail();
        return data_[r_.cursor++];
    }
    uint16_t readWord() {
        if (!fits(2)) return fail();
        const uint8_t* p = data_ + r_.cursor;
        r_.cursor += 2;
        return static_cast<uint16_t>(p[0] | p[1] << 8);
    }
    uint32_t readLong() {
        if (!fits(4)) return fail();
        const uint8_t* p = data_ + r_.cursor;
        r_.cursor += 4;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    float readFloat() {
        const uint32_t bits = readLong();
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    int fail() {
        r_.error = true;
        return 0;
    }
    // Up to and including a zero byte; at most max - 1 characters are kept and reading stops
    // there. Empty on failure.
    std::string readText(int max) {
        std::string text;
        if (!fits(1)) {
            fail();
            return text;
        }
        while (static_cast<int>(text.size()) < max - 1) {
            if (!fits(1)) {
                fail();
                return std::string();
            }
            const char c = static_cast<char>(data_[r_.cursor++]);
            if (c == 0) return text;
            text.push_back(c);
        }
        return text;
    }
    void seekTo(int64_t position) {
        if (position >= size_) position = size_ - 1;
        if (position < 0) position = 0;
        r_.cursor = static_cast<int>(position);
        r_.error = false;
    }
    void skip(int bytes) { r_.cursor = static_cast<int>(std::min<int64_t>(int64_t(r_.cursor) + bytes, size_)); }
    Chunk readChunkHeader() {
        Chunk c;
        c.id = readWord();
        const uint32_t length = readLong();
        c.start = r_.cursor;
        c.declaredEnd = int64_t(c.start) + length - kHeaderSize;
        c.end = static_cast<int>(std::min<int64_t>(c.declaredEnd, size_));
        return c;
    }
    // A child header at the cursor; false (the parent is over) when it cannot be read, is
    // shorter than its header, or runs past the parent.
    bool readChild(const Chunk& parent, Chunk& child) {
        if (r_.cursor >= parent.end) return false;
        if (!fits(kHeaderSize)) {
            fail();
            return false;
        }
        child = readChunkHeader();
        return child.declaredEnd >= child.start && child.declaredEnd <= parent.declaredEnd;
    }
    bool findChunk(uint16_t id, const Chunk& parent, Chunk& found) {
        Chunk c;
        while (readChild(parent, c)) {
            if (c.id == id) {
                found = c;
                return true;
            }
            seekTo(c.end);
        }
        return false;
    }
    // Elements of the given size that fit between the cursor and the chunk's end.
    uint32_t clampCount(uint32_t count, const Chunk& c, int elementSize) const {
        const int64_t room = std::max<int64_t>(0, int64_t(c.end) - r_.cursor) / elementSize;
        return static_cast<uint32_t>(std::min<int64_t>(count, room));
    }

    Float3 readFloat3() {
        Float3 v;
        v.x = readFloat();
        v.y = readFloat();
        v.z = readFloat();
        return v;
    }
    Float3 colourOf(const Chunk& c);
    Float3 readColour(const Chunk& parent);
    float percentOf(const Chunk& c);
    float readPercent(const Chunk& parent);
    void readMap(const Chunk& c, TextureMap& map);
    void readMaterial(const Chunk& c);
    void readMesh(const Chunk& c);
    void readFaces(const Chunk& c, MeshObject& mesh);
    void readLight(const Chunk& c);
    void readCamera(const Chunk& c);
    void readNode(const Chunk& c);
    void readKeyHeader(int32_t& frame);

    Reader3ds& r_;
    const uint8_t* data_;
    int size_;
    // Look-ups by name, filled once their lists are complete; the first of equal names wins.
    std::unordered_map<std::string, int> materialIndex_;
    std::unordered_set<std::string> meshNames_;
};

// A colour chunk's data at the cursor, by the chunk's own id.
Float3 Walk::colourOf(const Chunk& c) {
    switch (c.id) {
        case kColourFloat:
        case kColourGammaFloat:
            return readFloat3();
        case kColourBytes:
        case kColourGammaBytes: {
            Float3 v;
            v.x = readByte() / 255.0f;
            v.y = readByte() / 255.0f;
            v.z = readByte() / 255.0f;
            return v;
        }
        default:
            return Float3{};
    }
}

Float3 Walk::readColour(const Chunk& parent) {
    Chunk c;
    if (!readChild(parent, c)) return Float3{};
    return colourOf(c);
}

float Walk::percentOf(const Chunk& c) {
    if (c.id == kPercentInt) return static_cast<int16_t>(readWord()) * 0.01f;
    if (c.id == kPercentFloat) return readFloat();
    return 0.0f;
}

float Walk::readPercent(const Chunk& parent) {
    Chunk c;
    if (!readChild(parent, c)) return 0.0f;
    return percentOf(c);
}

void Walk::readMap(const Chunk& parent, TextureMap& map) {
    Chunk c;
    while (readChild(parent, c)) {
        switch (c.id) {
            case kPercentInt: map.strength = static_cast<int16_t>(readWord()) * 0.01f; break;
            case kMapFile: map.file = readText(20); break;
            case kMapUScale: map.uScale = readFloat(); break;
            case kMapVScale: map.vScale = readFloat(); break;
            case kMapUOffset: map.uOffset = readFloat(); break;
            case kMapVOffset: map.vOffset = readFloat(); break;
            case kMapRotation: map.rotation = readFloat(); break;
            default: break;
        }
        seekTo(c.end);
    }
}

void Walk::readMaterial(const Chunk& parent) {
    ModelMaterial m;
    bool dropped = false;
    Chunk c;
    while (readChild(parent, c)) {
        switch (c.id) {
            case kMaterialName: m.name = readText(30); break;
            case kAmbient: m.ambient = readColour(c); break;
            case kDiffuse: m.diffuse = readColour(c); break;
            case kSpecular: m.specular = readColour(c); break;
            case kShininess: m.shininess = readPercent(c); break;
            case kTransparency: m.transparency = readPercent(c); break;
            case kWireShading: m.shading = 0; break;
            case kShading: {
                const uint16_t s = readWord();
                if (s <= 4) m.shading = s;
                break;
            }
            case kTexture1: readMap(c, m.texture1); break;
            case kTexture2: readMap(c, m.texture2); break;
            case kOpacityMap: readMap(c, m.opacity); break;
            case kBumpMap: readMap(c, m.bump); break;
            case kSpecularMap: readMap(c, m.specularMap); break;
            case kReflectionMap: {
                // Strength, then the file name must follow directly, else the material is lost.
                Chunk strength, file;
                if (readChild(c, strength)) {
                    m.reflection.strength = percentOf(strength);
                    seekTo(strength.end);
                }
                if (!readChild(c, file) || file.id != kMapFile) {
                    dropped = true;
                    break;
                }
                const std::string name = readText(30);
                m.reflection.file = name.empty() ? std::string("auto") : name.substr(0, 19);
                break;
            }
            default: break;
        }
        seekTo(c.end);
    }
    if (dropped) return;
    m.index = static_cast<int>(r_.materials.size());
    r_.materials.push_back(std::move(m));
}

void Walk::readFaces(const Chunk& c, MeshObject& mesh) {
    const uint32_t count = clampCount(readWord(), c, 8);
    mesh.faces.assign(count, MeshFace{});
    for (MeshFace& f : mesh.faces) {
        f.a = readWord();
        f.b = readWord();
        f.c = readWord();
        skip(2);  // edge visibility flags
    }
    Chunk sub;
    while (readChild(c, sub)) {
        if (sub.id == kFaceMaterial) {
            const std::string name = readText(20);
            const auto found = materialIndex_.find(name);
            if (found != materialIndex_.end()) {
                const int index = found->second;
                mesh.materialsUsed.push_back(index);
                const uint32_t n = clampCount(readWord(), sub, 2);
                for (uint32_t i = 0; i < n; ++i) {
                    const uint16_t face = readWord();
                    if (face < mesh.faces.size()) mesh.faces[face].material = index;
                }
            }
        } else if (sub.id == kSmoothing) {
            const uint32_t n = clampCount(static_cast<uint32_t>(mesh.faces.size()), sub, 4);
            for (uint32_t i = 0; i < n; ++i) mesh.faces[i].smoothing = readLong();
        }
        seekTo(sub.end);
    }
}

void Walk::readMesh(const Chunk& parent) {
    MeshObject mesh;
    mesh.name = r_.objectName;
    auto sizeVertexArrays = [&mesh](size_t n) {
        mesh.vertices.resize(n);
        mesh.normals.resize(n);
        mesh.binormals.resize(n);
        mesh.tangents.resize(n);
        mesh.texCoords.resize(n);
        mesh.texCoords2.resize(n);
    };
    Chunk c;
    while (readChild(parent, c)) {
        switch (c.id) {
            case kVertices: {
                const uint32_t count = clampCount(readWord(), c, 12);
                sizeVertexArrays(count);
                for (Float3& v : mesh.vertices) v = readFloat3();
                break;
            }
            case kFaces: readFaces(c, mesh); break;
            case kTexCoords: {
                const uint32_t count = clampCount(readWord(), c, 8);
                if (mesh.vertices.empty()) sizeVertexArrays(count);
                const uint32_t stored = std::min<uint32_t>(count, static_cast<uint32_t>(mesh.texCoords.size()));
                for (uint32_t i = 0; i < stored; ++i) {
                    Float2 t;
                    t.u = readFloat();
                    t.v = readFloat();
                    mesh.texCoords[i] = t;
                    mesh.texCoords2[i] = t;
                }
                break;
            }
            case kLocalMatrix:
                for (int row = 0; row < 4; ++row)
                    for (int col = 0; col < 3; ++col) mesh.matrix[row * 4 + col] = readFloat();
                break;
            default: break;
        }
        seekTo(c.end);
    }
    // A corner beyond the vertex list would index outside every per-vertex array.
    const size_t vertexCount = mesh.vertices.size();
    std::erase_if(mesh.faces, [vertexCount](const MeshFace& f) {
        return f.a >= vertexCount || f.b >= vertexCount || f.c >= vertexCount;
    });
    mesh.indices.resize(mesh.faces.size() * 3);
    for (size_t i = 0; i < mesh.faces.size(); ++i) {
        mesh.indices[3 * i] = mesh.faces[i].a;
        mesh.indices[3 * i + 1] = mesh.faces[i].b;
        mesh.indices[3 * i + 2] = mesh.faces[i].c;
    }
    mesh.fileVertexCount = static_cast<int>(vertexCount);
    r_.meshObjects.push_back(std::move(mesh));
}

void Walk::readLight(const Chunk& parent) {
    ModelLight light;
    light.name = r_.objectName;
    light.position = readFloat3();
    Chunk c;
    while (readChild(parent, c)) {
        switch (c.id) {
            case kColourFloat:
            case kColourBytes:
            case kColourGammaBytes:
            case kColourGammaFloat: light.colour = colourOf(c); break;
            case kSpotlight:
                light.target = readFloat3();
                light.hotspot = readFloat();
                light.falloff = readFloat();
                break;
            case kInnerRange: light.innerRange = readFloat(); break;
            case kOuterRange: light.outerRange = readFloat(); break;
            default: break;
        }
        seekTo(c.end);
    }
    r_.lights.push_back(std::move(light));
}

void Walk::readCamera(const Chunk& parent) {
    ModelCamera camera;
    camera.name = r_.objectName;
    camera.position = readFloat3();
    camera.target = readFloat3();
    camera.bank = readFloat();
    camera.fieldOfView = 2400.0f / readFloat();
    Chunk c;
    while (readChild(parent, c)) {
        if (c.id == kCameraRanges) {
            camera.nearRange = readFloat();
            camera.farRange = readFloat();
        }
        seekTo(c.end);
    }
    r_.cameras.push_back(std::move(camera));
}

// The key header's optional floats are flagged by bits 15 to 11, as this reader has always
// read them (3D Studio itself puts tension, continuity, bias and the eases in bits 0 to 4).
void Walk::readKeyHeader(int32_t& frame) {
    frame = static_cast<int32_t>(readLong());
    const uint16_t flags = readWord();
    for (uint16_t bit : {0x8000, 0x4000, 0x2000, 0x1000, 0x0800})
        if (flags & bit) readFloat();
}

void Walk::readNode(const Chunk& node) {
    KeyframeNode& n = r_.nodeBeingRead;
    Chunk header;
    if (!findChunk(kNodeHeader, node, header)) return;
    const std::string name = readText(19);
    if (!meshNames_.count(name)) return;
    seekTo(node.start);
    Chunk c;
    while (readChild(node, c)) {
        switch (c.id) {
            case kPivot: {
                const Float3 p = readFloat3();
                n.pivots.insert(n.pivots.end(), {p.x, p.y, p.z, 0.0f});
                break;
            }
            case kPositionTrack: {
                skip(2);
                skip(4);
                const int32_t span = static_cast<int32_t>(readLong());
                r_.frameCount = std::clamp(std::max(r_.frameCount, span), 1, kMaxFrameCount);
                const uint32_t count = clampCount(readLong(), c, kPositionKeyMinSize);
                for (uint32_t i = 0; i < count && r_.cursor < c.end; ++i) {
                    PositionKey k;
                    readKeyHeader(k.frame);
                    k.x = readFloat();
                    k.y = readFloat();
                    k.z = readFloat();
                    n.positionKeys.push_back(k);
                }
                break;
            }
            case kRotationTrack: {
                skip(2);
                skip(4);
                skip(4);
                const uint32_t count = clampCount(readLong(), c, kRotationKeyMinSize);
                for (uint32_t i = 0; i < count && r_.cursor < c.end; ++i) {
                    RotationKey k;
                    readKeyHeader(k.frame);
                    k.angle = readFloat();
                    k.x = -readFloat();
                    k.y = -readFloat();
                    k.z = -readFloat();
                    n.rotationKeys.push_back(k);
                }
                break;
            }
            default: break;
        }
        seekTo(c.end);
    }
}

bool Walk::parse() {
    r_.cursor = 0;
    r_.error = false;
    const Chunk main = readChunkHeader();
    if (r_.error || main.id != kMain || main.declaredEnd < main.start) {
        r_.lastError = ModelLoadError::notA3dsFile;
        return false;
    }
    Chunk editor;
    if (!findChunk(kEditor, main, editor)) {
        r_.lastError = ModelLoadError::noEditorChunk;
        return false;
    }

    Chunk c;
    seekTo(editor.start);
    while (findChunk(kMaterial, editor, c)) {
        readMaterial(c);
        seekTo(c.end);
    }

    for (const ModelMaterial& m : r_.materials) materialIndex_.emplace(m.name, m.index);
    seekTo(editor.start);
    while (findChunk(kNamedObject, editor, c)) {
        const std::string name = readText(99);
        std::memcpy(r_.objectName, name.c_str(), name.size() + 1);
        Chunk kind;
        if (readChild(c, kind)) {
            if (kind.id == kMesh) readMesh(kind);
            else if (kind.id == kLight) readLight(kind);
            else if (kind.id == kCamera) readCamera(kind);
        }
        seekTo(c.end);
    }

    for (const MeshObject& m : r_.meshObjects) meshNames_.insert(m.name);
    seekTo(main.start);
    Chunk keyframer;
    if (findChunk(kKeyframer, main, keyframer)) {
        while (findChunk(kObjectNode, keyframer, c)) {
            r_.nodeBeingRead = KeyframeNode{};
            readNode(c);
            seekTo(c.end);
            r_.nodes.push_back(std::move(r_.nodeBeingRead));
            r_.nodeBeingRead = KeyframeNode{};
        }
    }

    if (r_.postProcess) postProcessModel(r_);
    return true;
}

}  // namespace

bool Reader3ds::loadBuffer() {
    clear();
    lastError = ModelLoadError::none;
    const bool parsed = Walk(*this).parse();
    buffer = std::vector<uint8_t>();
    bufferSize = 0;
    cursor = 0;
    return parsed;
}

bool Reader3ds::load(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        lastError = ModelLoadError::cannotOpen;
        return false;
    }
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    if (size < 0 || size > INT_MAX || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        lastError = ModelLoadError::cannotRead;
        return false;
    }
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        std::fclose(f);
        lastError = ModelLoadError::cannotRead;
        return false;
    }
    const bool whole = std::fread(bytes.data(), 1, bytes.size(), f) == bytes.size();
    std::fclose(f);
    if (!whole) {
        lastError = ModelLoadError::cannotRead;
        return false;
    }
    buffer = std::move(bytes);
    bufferSize = static_cast<int>(size);
    return loadBuffer();
}

bool Reader3ds::loadFromMemory(const uint8_t* data, size_t size) {
    if (size > INT_MAX) {
        lastError = ModelLoadError::cannotRead;
        return false;
    }
    try {
        buffer.assign(data, data + size);
    } catch (const std::bad_alloc&) {
        lastError = ModelLoadError::cannotRead;
        return false;
    }
    bufferSize = static_cast<int>(size);
    return loadBuffer();
}

}  // namespace ostravel
