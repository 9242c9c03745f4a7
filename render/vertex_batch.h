// A drawer's geometry on its way to GL: gathered on the CPU in the order the drawer makes it,
// with glBegin/glColor/glTexCoord/glVertex's meaning, and sent as a few array draws (one
// glDrawArrays or glMultiDrawArrays per run of one mode) instead of one call per attribute.
//
// What GL draws is what the same calls in immediate mode would draw: the same vertices, in the
// same order, each primitive in its own mode. Primitives of an independent mode (points, lines,
// triangles, quads) that follow each other are joined into one range, their incomplete tails
// (which GL drops) left out; strips, fans and loops stay separate draws of one multi-draw.
//
// Current colour and texture coordinate work as in immediate mode: a vertex takes the last
// colour() and texCoord(); before the first of them it takes GL's current values. Primitives
// drawn before the first colour() inside a primitive (between begin() and end()) since the last
// flush draw with their one colour as GL's current colour, as Mesa's immediate mode draws them;
// from there on colours go per vertex. The two can round differently: a colour interpolated
// between equal vertex colours under perspective is not always exactly that colour, and a value
// such as 0.3 (76.5 / 255) then rounds to the other 8-bit neighbour. flush() leaves
// GL's current colour and texture coordinate as immediate mode would (array draws do not set
// them). GL state (blending, texture, matrices, line width) applies at flush(): a drawer flushes
// before every state change that must come between its primitives. Colours and coordinates are
// floats, as GL keeps them: pass doubles through static_cast<GLfloat>, as glColor3d would.
//
// Client arrays in the application's memory; the batch keeps its storage between flushes and
// grows only for one primitive larger than it (no allocation in a frame otherwise).
//
// A primitive with too few vertices to draw anything is not sent at all. Immediate mode sends it
// on to the driver, and there it can take geometry with it: Mesa 22.3 groups the primitives of its
// immediate-mode buffer into one multi-draw per run of one mode, and llvmpipe skips the whole
// multi-draw when its first draw is empty, so a strip or fan with no vertex that happens to start
// a run drops every primitive after it in the run. The batch draws those primitives.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/gl.h"

namespace ostravel {

struct BatchVertex {
    GLfloat x, y, z;
    GLfloat r, g, b, a;
    GLfloat s, t;
};

class VertexBatch {
public:
    // Room for this many vertices and primitives before a flush is forced (at a primitive's start,
    // or by moving the open primitive to the front).
    explicit VertexBatch(size_t vertexCapacity = 32768, size_t primitiveCapacity = 8192);

    void begin(GLenum mode);
    void colour(GLfloat r, GLfloat g, GLfloat b, GLfloat a = 1.0f);
    void texCoord(GLfloat s, GLfloat t);
    void vertex(GLfloat x, GLfloat y, GLfloat z);
    void end();

    // Draws everything gathered since the last flush; the next vertex without a colour() or
    // texCoord() before it takes GL's current values again.
    void flush();

private:
    struct Run {
        GLenum mode;
        size_t firstDraw, draws;
    };
    static constexpr size_t kNone = size_t(-1);
    void draw();
    void drawRange(GLenum mode, size_t firstDraw, size_t draws);
    void makeRoom();
    bool sameColour(GLint vertexA, GLint vertexB) const;

    std::vector<BatchVertex> vertices_;
    std::vector<GLint> firsts_;
    std::vector<GLsizei> counts_;
    std::vector<Run> runs_;
    size_t vertexCapacity_, primitiveCapacity_;
    GLenum mode_ = GL_POINTS;
    size_t primitiveStart_ = 0;  // the open primitive's first vertex
    bool open_ = false;
    GLfloat colour_[4] = {1, 1, 1, 1};
    GLfloat texCoord_[2] = {0, 0};
    bool colourKnown_ = false, texCoordKnown_ = false;  // set since the last flush, or read from GL
    size_t colourVaries_ = kNone;  // the first draw with a colour set inside a primitive: per vertex from there
};

// The drawers' batch on this thread: empty between drawers (each flushes before it returns).
VertexBatch& drawerBatch();

}  // namespace ostravel
