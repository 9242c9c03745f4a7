// Records every primitive a scene sends through the real GL, with the GL state it was drawn
// under. The entry points that libepoxy dispatches through global pointers are wrapped for the
// recorder's lifetime; each wrapper notes what it sees and passes the call on to Mesa unchanged.
//
// A primitive is what GL draws, however it got there: a glBegin/glEnd pair, or one draw call
// (glDrawArrays, glDrawElements, glDrawRangeElements, one draw of glMultiDrawArrays) whose
// vertices are read back from the enabled vertex, colour and texture-coordinate arrays (client
// memory or buffer objects). Immediate mode is seen through glVertex{2,3}{f,d}, glColor{3,4}{f,d,ub}
// and glTexCoord2{f,d}; an attribute set by any other call outside glBegin/glEnd is still seen,
// because the current colour and texture coordinate are read from GL when a primitive starts.
// Geometry inside display lists (the outline font's glyphs) is not seen.
#pragma once

#include <vector>

#include "platform/gl.h"

namespace ostravel::testing {

struct RecordedVertex {
    float x, y, z;     // as the program passed them (object coordinates)
    float r, g, b, a;  // the current colour as the program set it (before GL clamps it)
    float s, t;
};

// Read from GL as the primitive starts.
struct DrawState {
    GLenum blendSrc = 0, blendDst = 0;  // RGB factors
    float lineWidth = 0.0f;
    bool blend = false, texture2D = false, depthTest = false, cullFace = false;
    GLuint texture = 0;        // bound to GL_TEXTURE_2D on the active unit
    int modelViewDepth = 0;    // GL_MODELVIEW_STACK_DEPTH
    float modelView[16] = {};  // column-major, as GL keeps it: the translation is [12], [13], [14]
};

struct Primitive {
    GLenum mode;
    std::vector<RecordedVertex> vertices;
    DrawState state;
};

class GLRecorder {
public:
    GLRecorder();
    ~GLRecorder();
    GLRecorder(const GLRecorder&) = delete;
    GLRecorder& operator=(const GLRecorder&) = delete;

    std::vector<Primitive> primitives;
};

}  // namespace ostravel::testing
