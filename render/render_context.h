// RenderContext: the process-wide engine record that the Demo's Init and Render and most drawing
// code receive, and the Pbuffer, the off-screen surface the passes draw into.
//
// Coordinates: world units, right-handed, y up unless a pass says otherwise. The projector block
// is a Camera (eye, centre, up) applied with gluLookAt.
#pragma once

#include "assets/texture_bank.h"
#include "math/vec3.h"
#include "models/model_builder.h"
#include "render/glyph_lists.h"
#include "render/shader_bank.h"

namespace ostravel {

class WindowSystem;

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

// The 1024 x 1024 off-screen surface: its "pbuffer pair" is the off-screen GL context (with its
// own framebuffer object bound), its "window pair" the window's context.
struct Pbuffer {
    WindowSystem* windows = nullptr;
};

void makePbufferPairCurrent(const Pbuffer& pbuffer);
void makeWindowPairCurrent(const Pbuffer& pbuffer);

struct RenderContext {
    BufferSwapHook swapHook = nullptr;          // installed at start-up
    WindowSystem* window = nullptr;              // stored once the window exists
    double* camera = nullptr;                    // the cameraPos of the current frame
    Camera projector{makeVec3(0, 2, 0), makeVec3(0, 0, 0), makeVec3(0, 0, 1)};
    PassProjection passProjection;
    int passSize = 512;
    int screenCopyMode = 2;                      // start-up sets 1, as in the shell's copy
    double pathStartTime = 0.0;                  // camera paths
    double pathEndTime = 0.0;
    TextureBank textures;
    ShaderBank shaders;
    MeshTable meshes;
    GlyphLists font;                             // the outline font (createOutlineFont)
};

// The one RenderContext of the process.
RenderContext& renderContext();
// Back to the state it has before the program starts (for tests).
void resetRenderContext();

}  // namespace ostravel
