// RenderContext: the process-wide engine record that the Demo's Init and Render and the passes
// receive: the buffer-swap hook the loaders call, the projector block, the pass projection, the
// screen-copy mode, and the GPU resources (textures, shader programs, the outline font's lists).
// Scenes are handed only the resources they draw with; nothing else is parked here for a callee.
//
// Coordinates: world units, right-handed, y up unless a pass says otherwise. The projector block
// is a Camera (eye, centre, up) applied with gluLookAt.
#pragma once

#include "assets/texture_bank.h"
#include "math/vec3.h"
#include "render/composite.h"
#include "render/glyph_lists.h"
#include "render/pbuffer.h"
#include "render/shader_bank.h"

namespace ostravel {

struct Camera {
    Vec3 eye;
    Vec3 centre;
    Vec3 up;
};

struct PassProjection {
    double fieldOfViewOffset = 0.0;  // added to 75 degrees
    double nearPlane = 1.5;
    double farPlane = 100.0;
};

struct RenderContext {
    BufferSwapHook swapHook = nullptr;  // installed at start-up
    Camera projector{makeVec3(0, 2, 0), makeVec3(0, 0, 0), makeVec3(0, 0, 1)};
    PassProjection passProjection;
    // Which part of the Pbuffer the eye pass fills and the copies read (1: 640 x 480,
    // 2: 800 x 600, 3: 320 x 240, -1: from the pass width). Start-up and every frame set 1.
    int screenCopyMode = 2;
    TextureBank textures;
    ShaderBank shaders;
    GlyphLists font;  // the outline font (createOutlineFont)
    CompositeProgram composite;  // the composite's one pass (createCompositeProgram)
};

// The one RenderContext of the process.
RenderContext& renderContext();
// Back to the state it has before the program starts (for tests).
void resetRenderContext();

}  // namespace ostravel
