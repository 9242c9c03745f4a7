// Screen-facing quads and the quad-around-a-point routine.
//
// The three billboards keep the position of the current model-view matrix but drop its rotation
// and scale (the upper-left 3 x 3 becomes the identity), flatten the quad in depth and draw one
// GL_QUADS primitive with corners (-1,-1), (1,-1), (1,1), (-1,1). They replace the model-view
// matrix and do not restore it: callers save it when they need it again. Angles are degrees.
// The caller binds the texture and sets colour and blending.
#pragma once

#include "math/vec3.h"
#include "render/vertex_batch.h"

namespace ostravel {

struct TextureRange {
    double s;  // upper end of the s coordinate
    double t;  // upper end of the t coordinate
};

// The part of a 1024 x 1024 texture that a frame-buffer copy of a frame of the given width fills,
// for the given screen-copy mode (1: 640 x 480, 2: 800 x 600, 3: 320 x 240, -1: from the width).
TextureRange cropRange(int width, int screenCopyMode);

// The billboards' model-view: the current one's translation and projective row and column, the
// upper-left 3 x 3 made the identity, then scaled by (scaleX, scaleY, 0).
void faceTheScreen(double scaleX, double scaleY);

void billboard(double angle, double scaleX, double scaleY);
void cropBillboard(int width, int screenCopyMode, double angle, double scaleX, double scaleY);
// One quarter (0..3) of a 2 x 2 atlas; any other quarter draws an empty primitive.
void quarterBillboard(int quarter, double scaleX, double scaleY);
// Four texture-coordinate and vertex pairs around p, inside the caller's glBegin/glEnd.
void quadAround(const Vec3& p, double halfWidth, double halfHeight);
// The same four pairs into a batch, inside its begin/end.
void quadAround(VertexBatch& batch, const Vec3& p, double halfWidth, double halfHeight);

}  // namespace ostravel
