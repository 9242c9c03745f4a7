// Model building: loads a 3DS file into a mesh slot and its JPEG textures into TextureBank.
//
// Mesh slot r owns the texture slots 100000 + 100 r + e (colour texture of texture entry e) and
// 100000 + 100 r + e + 50 (normal map from entry e's bump map). A texture entry is one
// (mesh object, material used by it) pair whose material has a texture map 1 name; entries
// with the same name share the first one's slots. Only names containing "JPG" are loaded
// (case-sensitive); names containing "BLEND" get an alpha companion "meshes/alpha" + name.
// Paths are "meshes/" + the material's name, relative to the working directory.
//
// Limits: mesh slots 0 to 999 (another slot number does nothing); at most 50 texture entries
// per model, duplicates included: entries beyond that are refused (not loaded, not recorded).
// A missing or unreadable model leaves the slot empty and loads nothing. A texture that cannot
// be read ends the program through the TextureBank loaders.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "assets/texture_bank.h"
#include "models/model3ds.h"

namespace ostravel {

constexpr int kMeshSlots = 1000;
constexpr int kModelTextureBase = 100000;
constexpr int kTextureSlotsPerMesh = 100;
constexpr int kMaxTextureEntries = 50;
constexpr int kNormalMapOffset = 50;

struct TextureEntry {
    std::string colourName;  // texture map 1 name; "meshes/" + name once loaded
    std::string bumpName;
    uint32_t hash = 0;       // nameHash of the texture map 1 name
    int textureIndex = 0;    // the first entry with the same hash
};

struct MeshSlot {
    Reader3ds model;
    std::vector<TextureEntry> entries;
    std::vector<int> textureEntryMap;  // textureIndex per entry
};

// The RenderContext's mesh slots; a default-constructed table holds empty slots.
struct MeshTable {
    std::vector<MeshSlot> slots = std::vector<MeshSlot>(kMeshSlots);
};

// The TextureBank loaders buildModel calls; tests replace them to record the calls.
struct TextureLoaders {
    void (*loadTexture)(TextureBank&, BufferSwapHook, const char* path, int slot);
    void (*loadTextureWithAlpha)(TextureBank&, BufferSwapHook, const char* colourPath, const char* alphaPath,
                                 int slot);
    void (*loadNormalMap)(TextureBank&, const char* path, int slot);
};

// MSB-first CRC-32 register (polynomial 0x04C11DB7, no inversions) over the bytes, then XOR
// the length. "" gives 0, "abc" gives 0x2C17398F.
uint32_t nameHash(const std::string& text);

// Calls swap(0.2), loads path into meshes.slots[meshSlot], scales every vertex, records the
// texture entries, calls swap(0.03) and loads the textures. swap may be null.
void buildModel(TextureBank& textures, BufferSwapHook swap, MeshTable& meshes, const char* path, int meshSlot,
                float scale);
// The same with other loaders.
void buildModelWith(const TextureLoaders& loaders, TextureBank& textures, BufferSwapHook swap, MeshTable& meshes,
                    const char* path, int meshSlot, float scale);

}  // namespace ostravel
