// Building the show's model with its textures loaded into the TextureBank: model building
// (models/) asks for the textures, the TextureBank's loaders (assets/) make them.
#pragma once

#include "assets/texture_bank.h"
#include "models/model_builder.h"

namespace ostravel {

// buildModel with the bank's loaders, swap called as they call it; returns the first texture a
// loader refused (none are asked for after it).
TextureResult buildModelWithTextures(TextureBank& bank, BufferSwapHook swap, MeshSlot& mesh, const char* path,
                                     int meshSlot, float scale);

}  // namespace ostravel
