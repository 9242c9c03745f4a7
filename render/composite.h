// The composite: the frame's picture on the window, made of four layers added together: the eye
// pass's scene (its 800 x 600 corner of the 1024 x 1024 target), the blurred glow, and two
// screen-facing sprites from the blob texture's first quarter that pulse on the beat (half-sizes
// 3.5 and 2.0). All four are squares on one screen-facing plane under the composite's look-at.
//
// The scene and glow squares (half-size 1.3) sit a little low: the top six rows of the window
// lie above them, where the window keeps what it held and only the sprites add to it.
//
// The layers are drawn as one square of the scene's size and place with a small fragment program
// that samples the textures at each layer's own coordinates and adds them (four blended squares
// would each shade, read and write every pixel of the window); while the sprites show, a strip
// from that square's top edge up past the window adds them above it, blended. The strip shares
// the square's edge, so every pixel is drawn by exactly one of the two. The sum stays within one
// code value of four rounded, saturating passes, mostly equal to it.
//
// Weights are colours as the fixed-function stage would take them: each component is clamped to
// [0, 1] before it multiplies its texture.
#pragma once

namespace ostravel {

struct CompositeLayers {
    unsigned sceneTexture = 0;
    float sceneWeight[3] = {0, 0, 0};
    unsigned glowTexture = 0;
    float glowWeight[3] = {0, 0, 0};
    unsigned spriteTexture = 0;
    float wideSpriteWeight[3] = {0, 0, 0};    // the 3.5 sprite; zero when the sprites are not shown
    float narrowSpriteWeight[3] = {0, 0, 0};  // the 2.0 sprite
};

// A program and its uniforms.
struct CompositeLayersProgram {
    unsigned program = 0;
    int sceneWeight = -1, glowWeight = -1, wideSpriteWeight = -1, narrowSpriteWeight = -1;
};

// The composite's two programs, for frames without and with the sprites; both 0 when GLSL is not
// there or one does not compile (the compile log goes to standard error).
struct CompositeProgram {
    CompositeLayersProgram withoutSprites, withSprites;
};

// In the window's context (programs are shared with the Pbuffer's).
CompositeProgram createCompositeProgram();

// Draws the composite under the current model-view (the composite's look-at), which it leaves as
// it found it, with blending off as the window's context keeps it. Texture units 0 to 2 get the
// three textures, unit 0 is active again afterwards and no program is in use. Without a program
// only the scene layer is drawn.
void drawComposite(const CompositeProgram& program, int screenCopyMode, const CompositeLayers& layers);

}  // namespace ostravel
