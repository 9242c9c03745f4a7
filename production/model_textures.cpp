#include "production/model_textures.h"

#include <utility>

namespace ostravel {

namespace {

struct BankLoaders {
    TextureBank& bank;
    BufferSwapHook swap;
    TextureResult refused;

    static BankLoaders& of(void* user) { return *static_cast<BankLoaders*>(user); }
    bool keep(TextureResult result) {
        const bool made = static_cast<bool>(result);
        if (!made) refused = std::move(result);
        return made;
    }
};

}  // namespace

TextureResult buildModelWithTextures(TextureBank& bank, BufferSwapHook swap, MeshSlot& mesh, const char* path,
                                     int meshSlot, float scale) {
    BankLoaders target{bank, swap, {}};
    TextureLoaders loaders;
    loaders.user = &target;
    loaders.loadTexture = [](void* user, const char* file, int slot) {
        BankLoaders& t = BankLoaders::of(user);
        return t.keep(loadTexture(t.bank, t.swap, file, slot));
    };
    loaders.loadTextureWithAlpha = [](void* user, const char* colour, const char* alpha, int slot) {
        BankLoaders& t = BankLoaders::of(user);
        return t.keep(loadTextureWithAlpha(t.bank, t.swap, colour, alpha, slot));
    };
    loaders.loadNormalMap = [](void* user, const char* file, int slot) {
        BankLoaders& t = BankLoaders::of(user);
        return t.keep(loadNormalMap(t.bank, file, slot));
    };
    loaders.swap = [](void* user, double value) {
        if (BufferSwapHook hook = BankLoaders::of(user).swap) hook(value);
    };
    buildModel(loaders, mesh, path, meshSlot, scale);
    return std::move(target.refused);
}

}  // namespace ostravel
