// buildModel with the TextureBank's real loaders (needs ostravel_assets).
#include "models/model_builder.h"

namespace ostravel {

void buildModel(TextureBank& textures, BufferSwapHook swap, MeshTable& meshes, const char* path, int meshSlot,
                float scale) {
    const TextureLoaders loaders{loadTexture, loadTextureWithAlpha, loadNormalMap};
    buildModelWith(loaders, textures, swap, meshes, path, meshSlot, scale);
}

}  // namespace ostravel
