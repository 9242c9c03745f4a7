// Model building: loads a 3DS file into a mesh slot and has its JPEG textures loaded through the
// loaders it is given (the TextureBank's, in the show).
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
// A missing or unreadable model leaves the slot empty and loads nothing. A texture a loader
// refuses stops the building there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

// What building calls for the model's textures, each with `user`: a colour texture, a colour
// texture with its alpha picture, a normal map from a height picture (false: the loader refused
// it), and the swap hook (may be null) that shows progress while loading.
struct TextureLoaders {
    void* user = nullptr;
    bool (*loadTexture)(void* user, const char* path, int slot) = nullptr;
    bool (*loadTextureWithAlpha)(void* user, const char* colourPath, const char* alphaPath, int slot) = nullptr;
    bool (*loadNormalMap)(void* user, const char* path, int slot) = nullptr;
    void (*swap)(void* user, double value) = nullptr;
};

// MSB-first CRC-32 register (polynomial 0x04C11DB7, no inversions) over the bytes, then XOR
// the length. "" gives 0, "abc" gives 0x2C17398F.
uint32_t nameHash(const std::string& text);

// For a mesh slot number from 0 to kMeshSlots - 1 (another does nothing and succeeds): calls
// swap(0.2), loads path into `mesh`, scales every vertex, records the texture entries, calls
// swap(0.03) and loads the textures into the slot's texture slots. False when a loader refused a
// texture (the ones after it are not asked for).
bool buildModel(const TextureLoaders& loaders, MeshSlot& mesh, const char* path, int meshSlot, float scale);

}  // namespace ostravel
