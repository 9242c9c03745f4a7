// The one way the program includes OpenGL: epoxy's loader (compatibility profile entry points
// resolved at first use), then GLU for perspective and look-at.
#pragma once

#include <epoxy/gl.h>
#include <GL/glu.h>

namespace ostravel {

// Identifies the GL context current on this thread (null when none): GL itself has no name for
// it, and state kept per context (the shader stages) needs one.
const void* currentGLContext();

}  // namespace ostravel
