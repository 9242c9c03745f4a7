// TextureBank: every GL texture of the show, named by a slot number.
//
// Slots of kAbsoluteSlotBase (85000) and above address the names table directly; smaller slots
// are offset by bankOffset (always 0 in this production). No slot is checked against the table
// size beyond what keeps memory safe: callers use small numbers.
//
// The JPEG loaders either succeed or end the process with a message box (caption "Jpg" for
// loadTexture, "Jpg !" for the others) and exit status 0. All operations need a current GL
// context; the created texture stays bound to GL_TEXTURE_2D.
//
// Decisions: a grey JPEG gives R = G = B; a file that fails while its rows are decoded ends the
// process like a header failure (text = the path, caption "Jpg !"); so do colour and alpha
// pictures of different sizes; rows are uploaded with an unpack alignment of 1 (restored
// afterwards), so any width works; a one-row colour-plus-alpha picture has no texel row 1 and
// stays fully transparent.
#pragma once

#include <vector>

#include "platform/gl.h"

namespace ostravel {

constexpr int kTextureSlots = 300000;
constexpr int kAbsoluteSlotBase = 85000;

// Swaps the window's buffers; the argument is ignored (kept for the hook's signature).
using BufferSwapHook = void (*)(double);

struct TextureBank {
    std::vector<GLuint> names = std::vector<GLuint>(kTextureSlots, 0);
    int bankOffset = 0;
};

// The names-table index of a slot, or -1 when it falls outside the table (bindTexture then binds
// name 0 and the creators keep the new texture bound without storing its name).
int resolveSlot(const TextureBank& bank, int slot);
// The GL texture name in a slot (0 for a slot outside the table or never filled).
GLuint textureName(const TextureBank& bank, int slot);

void loadTexture(TextureBank& bank, BufferSwapHook swap, const char* path, int slot);
void loadTextureWithAlpha(TextureBank& bank, BufferSwapHook swap, const char* colourPath, const char* alphaPath,
                          int slot);
void loadNormalMap(TextureBank& bank, const char* path, int slot);
void createRenderTarget(TextureBank& bank, int slot, int width, int height);
void bindTexture(const TextureBank& bank, int slot);
// Linear magnification and minification on the bound 2-D texture.
void setLinearFiltering();

}  // namespace ostravel
