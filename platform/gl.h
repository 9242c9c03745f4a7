// The one way the program includes OpenGL: epoxy's loader (legacy / compatibility profile
// entry points resolved at first use), then GLU for perspective and look-at.
#pragma once

#include <epoxy/gl.h>
#include <GL/glu.h>
