// Records every primitive a scene sends through the real GL: the immediate-mode entry points that
// libepoxy dispatches through global pointers are wrapped for the recorder's lifetime, and each
// wrapper notes the call and passes it on to Mesa unchanged.
#pragma once

#include <vector>

#include "platform/gl.h"

namespace ostravel::testing {

struct RecordedVertex {
    float x, y, z;
    float r, g, b, a;  // the current colour as the program set it (before GL clamps it)
    float s, t;
};

struct Primitive {
    GLenum mode;
    std::vector<RecordedVertex> vertices;
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
