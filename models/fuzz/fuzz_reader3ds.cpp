// libFuzzer entry over Reader3ds::loadFromMemory. Besides the sanitizers, it checks what the
// reader promises its users: corners inside the vertex list, per-vertex arrays of one length,
// one sample per frame for every animated object, finite tangents.
#include <cmath>
#include <cstdlib>

#include "models/model3ds.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ostravel::Reader3ds reader;
    const bool parsed = reader.loadFromMemory(data, size);
    require(reader.buffer.empty() && reader.bufferSize == 0);
    if (!parsed) return 0;
    require(reader.frameCount >= 0 && reader.frameCount <= ostravel::kMaxFrameCount);
    for (const ostravel::MeshObject& m : reader.meshObjects) {
        const size_t n = m.vertices.size();
        require(n <= 65536);
        require(m.normals.size() == n && m.tangents.size() == n && m.binormals.size() == n);
        require(m.texCoords.size() == n && m.texCoords2.size() == n);
        require(m.indices.size() == 3 * m.faces.size());
        for (const ostravel::MeshFace& f : m.faces) {
            require(f.a < n && f.b < n && f.c < n);
            require(std::isfinite(f.tangent.x) || !std::isfinite(m.vertices[f.a].x) || !std::isfinite(m.vertices[f.b].x) ||
                    !std::isfinite(m.vertices[f.c].x) || !std::isfinite(m.texCoords[f.a].u) ||
                    !std::isfinite(m.texCoords[f.b].u) || !std::isfinite(m.texCoords[f.c].u));
        }
    }
    const size_t animated = std::min(reader.nodes.size(), reader.meshObjects.size());
    for (size_t i = 0; i < animated; ++i) {
        require(reader.nodes[i].rotations.size() == static_cast<size_t>(reader.frameCount));
        require(reader.nodes[i].positions.size() == static_cast<size_t>(reader.frameCount));
    }
    return 0;
}
