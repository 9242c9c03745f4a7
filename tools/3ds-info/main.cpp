// 3ds-info FILE: prints what a 3DS file holds as JSON on standard output: materials with their
// maps, objects with vertex and face counts and smoothing groups, lights, cameras, keyframer
// nodes and the frame count, as Reader3ds loads them (post-processing included).
// Exit status: 0 when the file parsed, 1 when it did not, 2 on a usage error.
#include <cmath>
#include <cstdio>
#include <set>
#include <string>

#include "models/model3ds.h"

using namespace ostravel;

namespace {

// JSON strings: bytes of 0x80 and above are taken as Latin-1, so any name gives valid output.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// Non-finite values have no JSON form: null.
std::string number(double v) {
    if (!std::isfinite(v)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

std::string triple(const Float3& v) { return "[" + number(v.x) + ", " + number(v.y) + ", " + number(v.z) + "]"; }

std::string map(const TextureMap& m) {
    return "{\"file\": " + quoted(m.file) + ", \"strength\": " + number(m.strength) + ", \"uScale\": " +
           number(m.uScale) + ", \"vScale\": " + number(m.vScale) + ", \"uOffset\": " + number(m.uOffset) +
           ", \"vOffset\": " + number(m.vOffset) + ", \"rotation\": " + number(m.rotation) + "}";
}

const char* errorName(ModelLoadError e) {
    switch (e) {
        case ModelLoadError::none: return "none";
        case ModelLoadError::cannotOpen: return "cannotOpen";
        case ModelLoadError::cannotRead: return "cannotRead";
        case ModelLoadError::notA3dsFile: return "notA3dsFile";
        case ModelLoadError::noEditorChunk: return "noEditorChunk";
    }
    return "unknown";
}

template <typename List, typename Print>
void list(const char* key, const List& items, Print print, bool last = false) {
    std::printf("  \"%s\": [", key);
    for (size_t i = 0; i < items.size(); ++i) {
        std::printf("%s\n    ", i ? "," : "");
        print(items[i], i);
    }
    std::printf("%s]%s\n", items.empty() ? "" : "\n  ", last ? "" : ",");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: 3ds-info FILE\n");
        return 2;
    }
    Reader3ds model;
    const bool parsed = model.load(argv[1]);
    std::printf("{\n  \"file\": %s,\n  \"parsed\": %s,\n", quoted(argv[1]).c_str(), parsed ? "true" : "false");
    if (!parsed) {
        std::printf("  \"error\": \"%s\"\n}\n", errorName(model.lastError));
        return 1;
    }
    std::printf("  \"frameCount\": %d,\n", model.frameCount);
    list("materials", model.materials, [](const ModelMaterial& m, size_t) {
        std::printf("{\"name\": %s, \"index\": %d, \"shading\": %d, \"ambient\": %s, \"diffuse\": %s, "
                    "\"specular\": %s, \"shininess\": %s, \"transparency\": %s, \"maps\": {\"texture1\": %s, "
                    "\"texture2\": %s, \"opacity\": %s, \"reflection\": %s, \"bump\": %s, \"specular\": %s}}",
                    quoted(m.name).c_str(), m.index, m.shading, triple(m.ambient).c_str(), triple(m.diffuse).c_str(),
                    triple(m.specular).c_str(), number(m.shininess).c_str(), number(m.transparency).c_str(),
                    map(m.texture1).c_str(), map(m.texture2).c_str(), map(m.opacity).c_str(),
                    map(m.reflection).c_str(), map(m.bump).c_str(), map(m.specularMap).c_str());
    });
    list("objects", model.meshObjects, [&model](const MeshObject& m, size_t) {
        std::set<uint32_t> groups;
        for (const MeshFace& f : m.faces) groups.insert(f.smoothing);
        std::string groupList, materialList, matrix;
        for (uint32_t g : groups) groupList += (groupList.empty() ? "" : ", ") + std::to_string(g);
        for (int i : m.materialsUsed)
            materialList += (materialList.empty() ? "" : ", ") + quoted(model.materials[static_cast<size_t>(i)].name);
        for (int i = 0; i < 16; ++i) matrix += (i ? ", " : "") + number(m.matrix[i]);
        std::printf("{\"name\": %s, \"vertices\": %d, \"verticesAfterSplit\": %zu, \"faces\": %zu, "
                    "\"smoothingGroups\": [%s], \"materials\": [%s], \"matrix\": [%s]}",
                    quoted(m.name).c_str(), m.fileVertexCount, m.vertices.size(), m.faces.size(), groupList.c_str(),
                    materialList.c_str(), matrix.c_str());
    });
    list("lights", model.lights, [](const ModelLight& l, size_t) {
        std::printf("{\"name\": %s, \"position\": %s, \"colour\": %s, \"target\": %s, \"hotspot\": %s, "
                    "\"falloff\": %s, \"innerRange\": %s, \"outerRange\": %s}",
                    quoted(l.name).c_str(), triple(l.position).c_str(), triple(l.colour).c_str(),
                    triple(l.target).c_str(), number(l.hotspot).c_str(), number(l.falloff).c_str(),
                    number(l.innerRange).c_str(), number(l.outerRange).c_str());
    });
    list("cameras", model.cameras, [](const ModelCamera& c, size_t) {
        std::printf("{\"name\": %s, \"position\": %s, \"target\": %s, \"bank\": %s, \"fieldOfView\": %s, "
                    "\"nearRange\": %s, \"farRange\": %s}",
                    quoted(c.name).c_str(), triple(c.position).c_str(), triple(c.target).c_str(),
                    number(c.bank).c_str(), number(c.fieldOfView).c_str(), number(c.nearRange).c_str(),
                    number(c.farRange).c_str());
    });
    list("nodes", model.nodes, [&model](const KeyframeNode& n, size_t i) {
        const std::string object = i < model.meshObjects.size() ? quoted(model.meshObjects[i].name) : "null";
        std::printf("{\"object\": %s, \"pivot\": %s, \"positionSamples\": %zu, \"rotationSamples\": %zu}",
                    object.c_str(), triple(n.pivot).c_str(), n.positions.size(), n.rotations.size());
    }, true);
    std::printf("}\n");
    return 0;
}
