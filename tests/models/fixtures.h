// Helpers shared by the model suites: hand-made chunk streams and loading from bytes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "models/model3ds.h"
#include "tools/writer3ds/writer3ds.h"

namespace ostravel::testing3ds {

// 0x4D4D { 0x3D3D { editor(w) } keyframer(w) }: the body callbacks write the chunks inside.
inline std::vector<uint8_t> makeFile(const std::function<void(ChunkWriter&)>& editor,
                                     const std::function<void(ChunkWriter&)>& afterEditor = nullptr) {
    ChunkWriter w;
    w.begin(0x4D4D);
    w.begin(0x3D3D);
    if (editor) editor(w);
    w.end();
    if (afterEditor) afterEditor(w);
    w.end();
    // One spare byte: the reader never reads a buffer's last byte.
    w.byte(0);
    return w.bytes();
}

inline void floats(ChunkWriter& w, std::initializer_list<float> values) {
    for (float v : values) w.real(v);
}

// A named object holding a mesh with the given vertices (x, y, z each) and faces (a, b, c each).
inline void meshObject(ChunkWriter& w, const std::string& name, const std::vector<float>& vertices,
                       const std::vector<uint16_t>& faces, const std::function<void(ChunkWriter&)>& faceSubChunks = nullptr,
                       const std::function<void(ChunkWriter&)>& meshSubChunks = nullptr) {
    w.begin(0x4000);
    w.text(name);
    w.begin(0x4100);
    w.begin(0x4110);
    w.word(static_cast<uint16_t>(vertices.size() / 3));
    for (float v : vertices) w.real(v);
    w.end();
    w.begin(0x4120);
    w.word(static_cast<uint16_t>(faces.size() / 3));
    for (size_t i = 0; i < faces.size(); i += 3) {
        w.word(faces[i]);
        w.word(faces[i + 1]);
        w.word(faces[i + 2]);
        w.word(7);
    }
    if (faceSubChunks) faceSubChunks(w);
    w.end();
    if (meshSubChunks) meshSubChunks(w);
    w.end();
    w.end();
}

inline bool loadBytes(Reader3ds& reader, const std::vector<uint8_t>& bytes) {
    return reader.loadFromMemory(bytes.data(), bytes.size());
}

// A file made by the writer, loaded.
inline bool loadFile(Reader3ds& reader, const File3ds& file) { return loadBytes(reader, encode3ds(file)); }

inline Mesh3ds triangleMesh(const std::string& name) {
    Mesh3ds m;
    m.name = name;
    m.vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    m.texCoords = {0, 0, 1, 0, 0, 1};
    m.faces = {{0, 1, 2, 7}};
    m.smoothing = {1};
    return m;
}

}  // namespace ostravel::testing3ds
