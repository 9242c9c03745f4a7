#include "tests/scenes/gl_recorder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>

namespace ostravel::testing {

namespace {

GLRecorder* active = nullptr;
bool inside = false;  // between glBegin and glEnd
RecordedVertex current{0, 0, 0, 1, 1, 1, 1, 0, 0};

DrawState readState() {
    DrawState s;
    GLint value = 0;
    glGetIntegerv(GL_BLEND_SRC_RGB, &value);
    s.blendSrc = GLenum(value);
    glGetIntegerv(GL_BLEND_DST_RGB, &value);
    s.blendDst = GLenum(value);
    glGetFloatv(GL_LINE_WIDTH, &s.lineWidth);
    s.blend = glIsEnabled(GL_BLEND);
    s.texture2D = glIsEnabled(GL_TEXTURE_2D);
    s.depthTest = glIsEnabled(GL_DEPTH_TEST);
    s.cullFace = glIsEnabled(GL_CULL_FACE);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &value);
    s.texture = GLuint(value);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &s.modelViewDepth);
    glGetFloatv(GL_MODELVIEW_MATRIX, s.modelView);
    return s;
}

// A new primitive with the state it is drawn under. The current attributes are read from GL too,
// so that colours set by calls the recorder does not wrap still show. Only outside glBegin/glEnd.
Primitive& startPrimitive(GLenum mode) {
    GLfloat colour[4], coords[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, coords);
    current = {0, 0, 0, colour[0], colour[1], colour[2], colour[3], coords[0], coords[1]};
    active->primitives.push_back({mode, {}, readState()});
    return active->primitives.back();
}

// ---- Immediate mode --------------------------------------------------------------------------

PFNGLBEGINPROC realBegin;
PFNGLENDPROC realEnd;
PFNGLVERTEX2FPROC realVertex2f;
PFNGLVERTEX2DPROC realVertex2d;
PFNGLVERTEX3FPROC realVertex3f;
PFNGLVERTEX3DPROC realVertex3d;
PFNGLCOLOR3FPROC realColor3f;
PFNGLCOLOR3DPROC realColor3d;
PFNGLCOLOR3UBPROC realColor3ub;
PFNGLCOLOR4FPROC realColor4f;
PFNGLCOLOR4DPROC realColor4d;
PFNGLCOLOR4UBPROC realColor4ub;
PFNGLTEXCOORD2FPROC realTexCoord2f;
PFNGLTEXCOORD2DPROC realTexCoord2d;

void vertex(float x, float y, float z) {
    RecordedVertex v = current;
    v.x = x, v.y = y, v.z = z;
    if (inside) active->primitives.back().vertices.push_back(v);
}
void colour(float r, float g, float b, float a) { current.r = r, current.g = g, current.b = b, current.a = a; }

void begin(GLenum mode) {
    startPrimitive(mode);
    inside = true;
    realBegin(mode);
}
void end() {
    inside = false;
    realEnd();
}
void vertex2f(GLfloat x, GLfloat y) { vertex(x, y, 0.0f), realVertex2f(x, y); }
void vertex2d(GLdouble x, GLdouble y) { vertex(float(x), float(y), 0.0f), realVertex2d(x, y); }
void vertex3f(GLfloat x, GLfloat y, GLfloat z) { vertex(x, y, z), realVertex3f(x, y, z); }
void vertex3d(GLdouble x, GLdouble y, GLdouble z) { vertex(float(x), float(y), float(z)), realVertex3d(x, y, z); }
void color3f(GLfloat r, GLfloat g, GLfloat b) { colour(r, g, b, 1.0f), realColor3f(r, g, b); }
void color3d(GLdouble r, GLdouble g, GLdouble b) { colour(float(r), float(g), float(b), 1.0f), realColor3d(r, g, b); }
void color3ub(GLubyte r, GLubyte g, GLubyte b) { colour(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f), realColor3ub(r, g, b); }
void color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) { colour(r, g, b, a), realColor4f(r, g, b, a); }
void color4d(GLdouble r, GLdouble g, GLdouble b, GLdouble a) {
    colour(float(r), float(g), float(b), float(a)), realColor4d(r, g, b, a);
}
void color4ub(GLubyte r, GLubyte g, GLubyte b, GLubyte a) {
    colour(r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f), realColor4ub(r, g, b, a);
}
void texCoord2f(GLfloat s, GLfloat t) { current.s = s, current.t = t, realTexCoord2f(s, t); }
void texCoord2d(GLdouble s, GLdouble t) { current.s = float(s), current.t = float(t), realTexCoord2d(s, t); }

// ---- Vertex arrays ---------------------------------------------------------------------------

size_t typeSize(GLenum type) {
    switch (type) {
        case GL_BYTE: case GL_UNSIGNED_BYTE: return 1;
        case GL_SHORT: case GL_UNSIGNED_SHORT: return 2;
        case GL_DOUBLE: return 8;
        default: return 4;  // GL_INT, GL_UNSIGNED_INT, GL_FLOAT
    }
}

// One component as a float; integer colours are normalised as GL does.
float component(const uint8_t* p, GLenum type, bool normalise) {
    auto as = [p]<typename T>(T) { T value; std::memcpy(&value, p, sizeof value); return value; };
    switch (type) {
        case GL_FLOAT: return as(0.0f);
        case GL_DOUBLE: return float(as(0.0));
        case GL_UNSIGNED_BYTE: return normalise ? as(uint8_t()) / 255.0f : as(uint8_t());
        case GL_BYTE: return normalise ? as(int8_t()) / 127.0f : as(int8_t());
        case GL_UNSIGNED_SHORT: return normalise ? as(uint16_t()) / 65535.0f : as(uint16_t());
        case GL_SHORT: return normalise ? as(int16_t()) / 32767.0f : as(int16_t());
        case GL_UNSIGNED_INT: return normalise ? float(as(uint32_t()) / 4294967295.0) : float(as(uint32_t()));
        default: return normalise ? float(as(int32_t()) / 2147483647.0) : float(as(int32_t()));
    }
}

// Bytes [offset, offset + size) of what a draw call reads: from a buffer object when one is
// bound to the array, else from client memory at `pointer` + offset.
std::vector<uint8_t> fetch(GLuint buffer, const void* pointer, size_t offset, size_t size) {
    std::vector<uint8_t> bytes(size);
    if (buffer != 0) glGetNamedBufferSubData(buffer, GLintptr(reinterpret_cast<uintptr_t>(pointer) + offset), GLsizeiptr(size), bytes.data());
    else if (size > 0) std::memcpy(bytes.data(), static_cast<const uint8_t*>(pointer) + offset, size);
    return bytes;
}

// One of the fixed-function arrays (vertex, colour, texture coordinate) as the draw call sees it.
struct ArrayQueries {
    GLenum array, size, type, stride, pointer, buffer;
};
constexpr ArrayQueries kVertexArray{GL_VERTEX_ARRAY, GL_VERTEX_ARRAY_SIZE, GL_VERTEX_ARRAY_TYPE,
                                    GL_VERTEX_ARRAY_STRIDE, GL_VERTEX_ARRAY_POINTER, GL_VERTEX_ARRAY_BUFFER_BINDING};
constexpr ArrayQueries kColourArray{GL_COLOR_ARRAY, GL_COLOR_ARRAY_SIZE, GL_COLOR_ARRAY_TYPE,
                                    GL_COLOR_ARRAY_STRIDE, GL_COLOR_ARRAY_POINTER, GL_COLOR_ARRAY_BUFFER_BINDING};
constexpr ArrayQueries kTexCoordArray{GL_TEXTURE_COORD_ARRAY, GL_TEXTURE_COORD_ARRAY_SIZE,
                                      GL_TEXTURE_COORD_ARRAY_TYPE, GL_TEXTURE_COORD_ARRAY_STRIDE,
                                      GL_TEXTURE_COORD_ARRAY_POINTER, GL_TEXTURE_COORD_ARRAY_BUFFER_BINDING};

struct ClientArray {
    bool enabled = false;
    GLint size = 0;
    GLenum type = GL_FLOAT;
    size_t stride = 0;
    GLint first = 0;  // the element bytes[0] starts at
    std::vector<uint8_t> bytes;

    // Elements lo .. hi of the array, when it is enabled.
    ClientArray(const ArrayQueries& q, GLint lo, GLint hi) {
        enabled = glIsEnabled(q.array) && hi >= lo;
        if (!enabled) return;
        GLint value = 0, buffer = 0;
        glGetIntegerv(q.size, &size);
        glGetIntegerv(q.type, &value);
        type = GLenum(value);
        glGetIntegerv(q.stride, &value);
        stride = value != 0 ? size_t(value) : size_t(size) * typeSize(type);
        glGetIntegerv(q.buffer, &buffer);
        void* pointer = nullptr;
        glGetPointerv(q.pointer, &pointer);
        first = lo;
        bytes = fetch(GLuint(buffer), pointer, size_t(lo) * stride, size_t(hi - lo) * stride + size_t(size) * typeSize(type));
    }
    // Components of element i into out[0 .. size - 1]; out keeps its values beyond that.
    void read(GLint i, float* out, bool normalise) const {
        if (!enabled) return;
        const uint8_t* p = bytes.data() + size_t(i - first) * stride;
        for (GLint k = 0; k < size && k < 4; ++k) out[k] = component(p + k * typeSize(type), type, normalise);
    }
};

void recordArrays(GLenum mode, const std::vector<GLint>& indices) {
    Primitive& primitive = startPrimitive(mode);
    if (indices.empty()) return;
    const auto [lo, hi] = std::minmax_element(indices.begin(), indices.end());
    const ClientArray vertices(kVertexArray, *lo, *hi), colours(kColourArray, *lo, *hi),
        coords(kTexCoordArray, *lo, *hi);
    for (GLint i : indices) {
        float position[4] = {0, 0, 0, 1}, colour[4] = {current.r, current.g, current.b, current.a},
              coord[4] = {current.s, current.t, 0, 1};
        vertices.read(i, position, false);
        colours.read(i, colour, true);
        coords.read(i, coord, false);
        primitive.vertices.push_back({position[0], position[1], position[2], colour[0], colour[1], colour[2],
                                      colour[3], coord[0], coord[1]});
    }
}

std::vector<GLint> range(GLint first, GLsizei count) {
    std::vector<GLint> out(size_t(std::max(count, 0)));
    for (size_t k = 0; k < out.size(); ++k) out[k] = first + GLint(k);
    return out;
}

std::vector<GLint> elementIndices(GLsizei count, GLenum type, const void* indices) {
    GLint buffer = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &buffer);
    const size_t size = typeSize(type);
    const std::vector<uint8_t> bytes = fetch(GLuint(buffer), indices, 0, size * size_t(std::max(count, 0)));
    std::vector<GLint> out;
    for (size_t k = 0; k + size <= bytes.size(); k += size)
        out.push_back(GLint(component(bytes.data() + k, type, false)));
    return out;
}

PFNGLDRAWARRAYSPROC realDrawArrays;
PFNGLDRAWELEMENTSPROC realDrawElements;
PFNGLDRAWRANGEELEMENTSPROC realDrawRangeElements;
PFNGLMULTIDRAWARRAYSPROC realMultiDrawArrays;

void drawArrays(GLenum mode, GLint first, GLsizei count) {
    recordArrays(mode, range(first, count));
    realDrawArrays(mode, first, count);
}
void drawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
    recordArrays(mode, elementIndices(count, type, indices));
    realDrawElements(mode, count, type, indices);
}
void drawRangeElements(GLenum mode, GLuint start, GLuint end, GLsizei count, GLenum type, const void* indices) {
    recordArrays(mode, elementIndices(count, type, indices));
    realDrawRangeElements(mode, start, end, count, type, indices);
}
// GL defines it as one glDrawArrays per draw: one primitive each.
void multiDrawArrays(GLenum mode, const GLint* first, const GLsizei* count, GLsizei drawCount) {
    for (GLsizei k = 0; k < drawCount; ++k) recordArrays(mode, range(first[k], count[k]));
    realMultiDrawArrays(mode, first, count, drawCount);
}

// ---- Installing the wrappers -----------------------------------------------------------------

std::vector<std::function<void()>> restores;

template <typename Fn>
void swapIn(Fn& entry, Fn& real, Fn wrapper) {
    real = entry;
    entry = wrapper;
    restores.push_back([&entry, &real] { entry = real; });
}

}  // namespace

GLRecorder::GLRecorder() {
    // The first call through each pointer lets epoxy put the driver's entry point in it; a wrapper
    // installed before that would be overwritten by epoxy's resolver. These calls leave the current
    // attributes as they were and draw nothing.
    GLfloat colour[4], coords[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, coords);
    const bool discarding = glIsEnabled(GL_RASTERIZER_DISCARD);
    glEnable(GL_RASTERIZER_DISCARD);
    glColor3f(1, 1, 1);
    glColor3d(1, 1, 1);
    glColor3ub(255, 255, 255);
    glColor4d(1, 1, 1, 1);
    glColor4ub(255, 255, 255, 255);
    glColor4f(1, 1, 1, 1);
    glTexCoord2d(0, 0);
    glTexCoord2f(0, 0);
    glBegin(GL_POINTS);
    glVertex2f(0, 0);
    glVertex2d(0, 0);
    glVertex3d(0, 0, 0);
    glVertex3f(0, 0, 0);
    glEnd();
    const GLint first = 0;
    const GLsizei none = 0;
    glDrawArrays(GL_POINTS, 0, 0);
    glDrawElements(GL_POINTS, 0, GL_UNSIGNED_BYTE, nullptr);
    glDrawRangeElements(GL_POINTS, 0, 0, 0, GL_UNSIGNED_BYTE, nullptr);
    glMultiDrawArrays(GL_POINTS, &first, &none, 0);
    if (!discarding) glDisable(GL_RASTERIZER_DISCARD);
    glColor4fv(colour);
    glTexCoord4fv(coords);

    swapIn(epoxy_glBegin, realBegin, begin);
    swapIn(epoxy_glEnd, realEnd, end);
    swapIn(epoxy_glVertex2f, realVertex2f, vertex2f);
    swapIn(epoxy_glVertex2d, realVertex2d, vertex2d);
    swapIn(epoxy_glVertex3f, realVertex3f, vertex3f);
    swapIn(epoxy_glVertex3d, realVertex3d, vertex3d);
    swapIn(epoxy_glColor3f, realColor3f, color3f);
    swapIn(epoxy_glColor3d, realColor3d, color3d);
    swapIn(epoxy_glColor3ub, realColor3ub, color3ub);
    swapIn(epoxy_glColor4f, realColor4f, color4f);
    swapIn(epoxy_glColor4d, realColor4d, color4d);
    swapIn(epoxy_glColor4ub, realColor4ub, color4ub);
    swapIn(epoxy_glTexCoord2f, realTexCoord2f, texCoord2f);
    swapIn(epoxy_glTexCoord2d, realTexCoord2d, texCoord2d);
    swapIn(epoxy_glDrawArrays, realDrawArrays, drawArrays);
    swapIn(epoxy_glDrawElements, realDrawElements, drawElements);
    swapIn(epoxy_glDrawRangeElements, realDrawRangeElements, drawRangeElements);
    swapIn(epoxy_glMultiDrawArrays, realMultiDrawArrays, multiDrawArrays);
    active = this;
}

GLRecorder::~GLRecorder() {
    for (const auto& restore : restores) restore();
    restores.clear();
    active = nullptr;
    inside = false;
}

}  // namespace ostravel::testing
