#include "tools/writer3ds/writer3ds.h"

#include "models/chunk_ids.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ostravel {

void ChunkWriter::begin(uint16_t id) {
    open_.push_back(out_.size());
    word(id);
    dword(0);
}

void ChunkWriter::end() {
    if (open_.empty()) return;
    const size_t start = open_.back();
    open_.pop_back();
    const uint32_t length = static_cast<uint32_t>(out_.size() - start);
    for (int i = 0; i < 4; ++i) out_[start + 2 + i] = static_cast<uint8_t>(length >> (8 * i));
}

void ChunkWriter::byte(uint8_t v) { out_.push_back(v); }

void ChunkWriter::word(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
}

void ChunkWriter::dword(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void ChunkWriter::real(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    dword(bits);
}

void ChunkWriter::text(const std::string& v) {
    raw(v.c_str(), std::strlen(v.c_str()));
    byte(0);
}

void ChunkWriter::raw(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out_.insert(out_.end(), p, p + size);
}

void ChunkWriter::rawChunk(uint16_t id, uint32_t lengthField, const std::vector<uint8_t>& payload) {
    word(id);
    dword(lengthField);
    raw(payload.data(), payload.size());
}

namespace {

using namespace chunk3ds;

constexpr size_t kFormatCountLimit = 65535;

uint8_t toByte(float v) {
    const float c = std::fmin(std::fmax(v, 0.0f), 1.0f);
    return static_cast<uint8_t>(std::lround(c * 255.0f));
}

void writeColour(ChunkWriter& w, uint16_t id, const Colour3ds& c, bool asFloats) {
    w.begin(id);
    if (asFloats) {
        w.begin(kColourFloat);
        w.real(c.r);
        w.real(c.g);
        w.real(c.b);
    } else {
        w.begin(kColourBytes);
        w.byte(toByte(c.r));
        w.byte(toByte(c.g));
        w.byte(toByte(c.b));
    }
    w.end();
    w.end();
}

void writePercent(ChunkWriter& w, uint16_t id, int percent) {
    w.begin(id);
    w.begin(kPercentInt);
    w.word(static_cast<uint16_t>(percent));
    w.end();
    w.end();
}

// Strength first, then the file name: readers that take the reflection map's name from the
// chunk right after its strength rely on this order.
void writeMap(ChunkWriter& w, uint16_t id, const Map3ds& m) {
    if (m.file.empty()) return;
    w.begin(id);
    w.begin(kPercentInt);
    w.word(static_cast<uint16_t>(m.strengthPercent));
    w.end();
    w.begin(kMapFile);
    w.text(m.file);
    w.end();
    const std::pair<uint16_t, float> params[] = {{kMapUScale, m.uScale},
                                                 {kMapVScale, m.vScale},
                                                 {kMapUOffset, m.uOffset},
                                                 {kMapVOffset, m.vOffset},
                                                 {kMapRotation, m.rotation}};
    for (const auto& [chunk, value] : params) {
        w.begin(chunk);
        w.real(value);
        w.end();
    }
    w.end();
}

void writeMaterial(ChunkWriter& w, const Material3ds& m) {
    w.begin(kMaterial);
    w.begin(kMaterialName);
    w.text(m.name);
    w.end();
    writeColour(w, kAmbient, m.ambient, m.floatColours);
    writeColour(w, kDiffuse, m.diffuse, m.floatColours);
    writeColour(w, kSpecular, m.specular, m.floatColours);
    writePercent(w, kShininess, m.shininessPercent);
    writePercent(w, kTransparency, m.transparencyPercent);
    if (m.shading >= 0) {
        w.begin(kShading);
        w.word(static_cast<uint16_t>(m.shading));
        w.end();
    }
    writeMap(w, kTexture1, m.texture1);
    writeMap(w, kTexture2, m.texture2);
    writeMap(w, kOpacityMap, m.opacity);
    writeMap(w, kReflectionMap, m.reflection);
    writeMap(w, kBumpMap, m.bump);
    writeMap(w, kSpecularMap, m.specularMap);
    w.end();
}

bool meshFits(const Mesh3ds& m) {
    if (m.vertices.size() % 3 != 0 || m.texCoords.size() % 2 != 0) return false;
    if (m.vertices.size() / 3 > kFormatCountLimit || m.texCoords.size() / 2 > kFormatCountLimit) return false;
    if (m.faces.size() > kFormatCountLimit) return false;
    if (!m.smoothing.empty() && m.smoothing.size() != m.faces.size()) return false;
    for (const auto& fm : m.faceMaterials)
        if (fm.faces.size() > kFormatCountLimit) return false;
    return true;
}

void writeMesh(ChunkWriter& w, const Mesh3ds& m) {
    w.begin(kNamedObject);
    w.text(m.name);
    w.begin(kMesh);
    w.begin(kVertices);
    w.word(static_cast<uint16_t>(m.vertices.size() / 3));
    for (float v : m.vertices) w.real(v);
    w.end();
    if (!m.texCoords.empty()) {
        w.begin(kTexCoords);
        w.word(static_cast<uint16_t>(m.texCoords.size() / 2));
        for (float v : m.texCoords) w.real(v);
        w.end();
    }
    w.begin(kLocalMatrix);
    for (float v : m.matrix) w.real(v);
    w.end();
    w.begin(kFaces);
    w.word(static_cast<uint16_t>(m.faces.size()));
    for (const Face3ds& f : m.faces) {
        w.word(f.a);
        w.word(f.b);
        w.word(f.c);
        w.word(f.flags);
    }
    for (const FaceMaterial3ds& fm : m.faceMaterials) {
        w.begin(kFaceMaterial);
        w.text(fm.material);
        w.word(static_cast<uint16_t>(fm.faces.size()));
        for (uint16_t f : fm.faces) w.word(f);
        w.end();
    }
    if (!m.smoothing.empty()) {
        w.begin(kSmoothing);
        for (uint32_t s : m.smoothing) w.dword(s);
        w.end();
    }
    w.end();
    w.end();
    w.end();
}

void writeLight(ChunkWriter& w, const Light3ds& l) {
    w.begin(kNamedObject);
    w.text(l.name);
    w.begin(kLight);
    for (float v : l.position) w.real(v);
    w.begin(kColourFloat);
    w.real(l.colour.r);
    w.real(l.colour.g);
    w.real(l.colour.b);
    w.end();
    if (l.spot) {
        w.begin(kSpotlight);
        for (float v : l.target) w.real(v);
        w.real(l.hotspot);
        w.real(l.falloff);
        w.end();
    }
    w.begin(kInnerRange);
    w.real(l.innerRange);
    w.end();
    w.begin(kOuterRange);
    w.real(l.outerRange);
    w.end();
    w.end();
    w.end();
}

void writeCamera(ChunkWriter& w, const Camera3ds& c) {
    w.begin(kNamedObject);
    w.text(c.name);
    w.begin(kCamera);
    for (float v : c.position) w.real(v);
    for (float v : c.target) w.real(v);
    w.real(c.bank);
    w.real(c.lens);
    w.begin(kCameraRanges);
    w.real(c.nearRange);
    w.real(c.farRange);
    w.end();
    w.end();
    w.end();
}

// Track header: flags word, two dwords (the second holds the track's frame span), key count.
void trackHeader(ChunkWriter& w, uint32_t span, uint32_t keys) {
    w.word(0);
    w.dword(0);
    w.dword(span);
    w.dword(keys);
}

void keyHeader(ChunkWriter& w, int32_t frame) {
    w.dword(static_cast<uint32_t>(frame));
    w.word(0);
}

void writeNode(ChunkWriter& w, const Node3ds& n, uint16_t id, uint32_t span) {
    w.begin(kObjectNode);
    w.begin(kNodeId);
    w.word(id);
    w.end();
    w.begin(kNodeHeader);
    w.text(n.name);
    w.word(0);
    w.word(0);
    w.word(n.parent < 0 ? uint16_t(0xFFFF) : static_cast<uint16_t>(n.parent));
    w.end();
    w.begin(kPivot);
    for (float v : n.pivot) w.real(v);
    w.end();

    w.begin(kPositionTrack);
    if (n.positions.empty()) {
        trackHeader(w, span, 1);
        keyHeader(w, 0);
        for (int i = 0; i < 3; ++i) w.real(0.0f);
    } else {
        trackHeader(w, span, static_cast<uint32_t>(n.positions.size()));
        for (const PositionKey3ds& k : n.positions) {
            keyHeader(w, k.frame);
            w.real(k.x);
            w.real(k.y);
            w.real(k.z);
        }
    }
    w.end();

    w.begin(kRotationTrack);
    if (n.rotations.empty()) {
        trackHeader(w, span, 1);
        keyHeader(w, 0);
        w.real(0.0f);
        w.real(0.0f);
        w.real(0.0f);
        w.real(1.0f);
    } else {
        trackHeader(w, span, static_cast<uint32_t>(n.rotations.size()));
        for (const RotationKey3ds& k : n.rotations) {
            keyHeader(w, k.frame);
            w.real(k.angle);
            w.real(k.x);
            w.real(k.y);
            w.real(k.z);
        }
    }
    w.end();

    if (n.writeScaleTrack) {
        w.begin(kScaleTrack);
        trackHeader(w, span, 1);
        keyHeader(w, 0);
        for (int i = 0; i < 3; ++i) w.real(1.0f);
        w.end();
    }
    w.end();
}

// Cameras and lights get a node with one position key too, so that readers which build their
// scene graph from the keyframer (assimp) find them.
void writeHelperNode(ChunkWriter& w, uint16_t kind, const std::string& name, const float (&position)[3], uint16_t id,
                     uint32_t span) {
    w.begin(kind);
    w.begin(kNodeId);
    w.word(id);
    w.end();
    w.begin(kNodeHeader);
    w.text(name);
    w.word(0);
    w.word(0);
    w.word(0xFFFF);
    w.end();
    w.begin(kPositionTrack);
    trackHeader(w, span, 1);
    keyHeader(w, 0);
    for (float v : position) w.real(v);
    w.end();
    w.end();
}

}  // namespace

std::vector<uint8_t> encode3ds(const File3ds& file) {
    for (const Mesh3ds& m : file.meshes)
        if (!meshFits(m)) return {};
    if (file.nodes.size() > kFormatCountLimit) return {};

    ChunkWriter w;
    w.begin(kMain);
    w.begin(kVersion);
    w.dword(3);
    w.end();
    w.begin(kEditor);
    w.begin(kMeshVersion);
    w.dword(3);
    w.end();
    for (const Material3ds& m : file.materials) writeMaterial(w, m);
    w.begin(kMasterScale);
    w.real(1.0f);
    w.end();
    for (const Mesh3ds& m : file.meshes) writeMesh(w, m);
    for (const Light3ds& l : file.lights) writeLight(w, l);
    for (const Camera3ds& c : file.cameras) writeCamera(w, c);
    w.end();

    // The keyframer header and segment are written even without nodes, as 3D Studio does.
    {
        bool numbered = false;
        for (const Node3ds& n : file.nodes) numbered = numbered || n.id != 0;
        const uint32_t span = static_cast<uint32_t>(file.frameEnd - file.frameStart);
        w.begin(kKeyframer);
        w.begin(kKeyframerHeader);
        w.word(5);
        w.text("MAXSCENE");
        w.dword(span);
        w.end();
        w.begin(kFrames);
        w.dword(static_cast<uint32_t>(file.frameStart));
        w.dword(static_cast<uint32_t>(file.frameEnd));
        w.end();
        for (size_t i = 0; i < file.nodes.size(); ++i) {
            const uint16_t id = numbered ? file.nodes[i].id : static_cast<uint16_t>(i);
            writeNode(w, file.nodes[i], id, span);
        }
        // Camera and light nodes follow the object nodes' ids. Without object nodes none are
        // written: readers then build their scene graph from the editor data.
        if (!file.nodes.empty()) {
            uint16_t nextId = static_cast<uint16_t>(file.nodes.size());
            if (numbered)
                for (const Node3ds& n : file.nodes) nextId = std::max<uint16_t>(nextId, static_cast<uint16_t>(n.id + 1));
            for (const Camera3ds& c : file.cameras) writeHelperNode(w, kCameraNode, c.name, c.position, nextId++, span);
            for (const Light3ds& l : file.lights) writeHelperNode(w, kLightNode, l.name, l.position, nextId++, span);
        }
        w.end();
    }
    w.end();
    return w.bytes();
}

bool write3ds(const File3ds& file, const char* path) {
    const std::vector<uint8_t> bytes = encode3ds(file);
    if (bytes.empty()) return false;
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

Material3ds materialWithEveryMap() {
    Material3ds skin;
    skin.name = "SKIN";
    skin.texture1.file = "SKIN.JPG";
    skin.bump.file = "SKINB.JPG";
    skin.specularMap.file = "SHIN.JPG";
    skin.opacity.file = "OPAC.JPG";
    skin.texture2.file = "DETAIL.JPG";
    skin.reflection.file = "REFL.JPG";
    return skin;
}

}  // namespace ostravel
