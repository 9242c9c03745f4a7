#include "models/model_builder.h"

#include <array>

namespace ostravel {

namespace {

// The MSB-first CRC-32 table of polynomial 0x04C11DB7 (as in the Ethernet / PKZIP register,
// before its bit reversal).
constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i << 24;
        for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        table[i] = c;
    }
    return table;
}

constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

}  // namespace

uint32_t nameHash(const std::string& text) {
    uint32_t h = 0;
    for (unsigned char b : text) h = (h << 8) ^ kCrcTable[(h >> 24) ^ b];
    return h ^ static_cast<uint32_t>(text.size());
}

bool buildModel(const TextureLoaders& loaders, MeshSlot& slot, const char* path, int meshSlot, float scale) {
    if (meshSlot < 0 || meshSlot >= kMeshSlots) return true;
    if (loaders.swap) loaders.swap(loaders.user, 0.2);
    slot.model.load(path);  // a missing model leaves the slot empty, as the show expects
    for (MeshObject& mesh : slot.model.meshObjects)
        for (Float3& v : mesh.vertices) v = Float3{v.x * scale, v.y * scale, v.z * scale};

    std::vector<TextureEntry>& entries = slot.entries;
    entries.clear();
    for (const MeshObject& mesh : slot.model.meshObjects)
        for (int material : mesh.materialsUsed) {
            if (material < 0 || material >= static_cast<int>(slot.model.materials.size())) continue;
            const ModelMaterial& m = slot.model.materials[static_cast<size_t>(material)];
            TextureEntry e{m.texture1.file, m.bump.file, nameHash(m.texture1.file), 0};
            // The slot block has room for 50 entries; more would run into the normal maps.
            if (e.hash == 0 || entries.size() >= kMaxTextureEntries) continue;
            e.textureIndex = static_cast<int>(entries.size());
            entries.push_back(std::move(e));
        }
    for (size_t i = 0; i < entries.size(); ++i)
        for (size_t j = i + 1; j < entries.size(); ++j)
            if (entries[j].hash == entries[i].hash) entries[j].textureIndex = entries[i].textureIndex;
    slot.textureEntryMap.clear();
    for (const TextureEntry& e : entries) slot.textureEntryMap.push_back(e.textureIndex);

    if (loaders.swap) loaders.swap(loaders.user, 0.03);

    std::vector<bool> handled(entries.size(), false);
    const int base = kModelTextureBase + kTextureSlotsPerMesh * meshSlot;
    for (const TextureEntry& e : entries) {
        const int p = e.textureIndex;
        TextureEntry& first = entries[static_cast<size_t>(p)];
        if (first.hash == 0 || handled[static_cast<size_t>(p)]) continue;
        handled[static_cast<size_t>(p)] = true;
        const std::string name = first.colourName;
        if (name.find("JPG") == std::string::npos) continue;
        first.colourName = "meshes/" + name;
        if (name.find("BLEND") != std::string::npos) {
            const std::string alphaPath = "meshes/alpha" + name;
            if (!loaders.loadTextureWithAlpha(loaders.user, first.colourName.c_str(), alphaPath.c_str(), base + p))
                return false;
        } else if (!loaders.loadTexture(loaders.user, first.colourName.c_str(), base + p)) {
            return false;
        }
        if (nameHash(first.bumpName) != 0) {
            first.bumpName = "meshes/" + first.bumpName;
            if (!loaders.loadNormalMap(loaders.user, first.bumpName.c_str(), base + p + kNormalMapOffset))
                return false;
        }
    }
    return true;
}

}  // namespace ostravel
