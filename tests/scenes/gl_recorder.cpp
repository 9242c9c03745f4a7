#include "tests/scenes/gl_recorder.h"

namespace ostravel::testing {

namespace {

GLRecorder* active = nullptr;
RecordedVertex current{0, 0, 0, 1, 1, 1, 1, 0, 0};

PFNGLBEGINPROC realBegin;
PFNGLENDPROC realEnd;
PFNGLVERTEX3FPROC realVertex3f;
PFNGLCOLOR3FPROC realColor3f;
PFNGLCOLOR4FPROC realColor4f;
PFNGLTEXCOORD2FPROC realTexCoord2f;

void begin(GLenum mode) {
    active->primitives.push_back({mode, {}});
    realBegin(mode);
}
void end() { realEnd(); }
void vertex3f(GLfloat x, GLfloat y, GLfloat z) {
    RecordedVertex v = current;
    v.x = x, v.y = y, v.z = z;
    if (!active->primitives.empty()) active->primitives.back().vertices.push_back(v);
    realVertex3f(x, y, z);
}
void color3f(GLfloat r, GLfloat g, GLfloat b) {
    current.r = r, current.g = g, current.b = b, current.a = 1.0f;
    realColor3f(r, g, b);
}
void color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    current.r = r, current.g = g, current.b = b, current.a = a;
    realColor4f(r, g, b, a);
}
void texCoord2f(GLfloat s, GLfloat t) {
    current.s = s, current.t = t;
    realTexCoord2f(s, t);
}

}  // namespace

GLRecorder::GLRecorder() {
    // The first call through each pointer lets epoxy put the driver's entry point in it.
    glColor3f(1, 1, 1);
    glColor4f(1, 1, 1, 1);
    glTexCoord2f(0, 0);
    glBegin(GL_POINTS);
    glVertex3f(0, 0, 0);
    glEnd();
    realBegin = epoxy_glBegin, realEnd = epoxy_glEnd, realVertex3f = epoxy_glVertex3f;
    realColor3f = epoxy_glColor3f, realColor4f = epoxy_glColor4f, realTexCoord2f = epoxy_glTexCoord2f;
    epoxy_glBegin = begin, epoxy_glEnd = end, epoxy_glVertex3f = vertex3f;
    epoxy_glColor3f = color3f, epoxy_glColor4f = color4f, epoxy_glTexCoord2f = texCoord2f;
    active = this;
}

GLRecorder::~GLRecorder() {
    epoxy_glBegin = realBegin, epoxy_glEnd = realEnd, epoxy_glVertex3f = realVertex3f;
    epoxy_glColor3f = realColor3f, epoxy_glColor4f = realColor4f, epoxy_glTexCoord2f = realTexCoord2f;
    active = nullptr;
}

}  // namespace ostravel::testing
