#include "render/vertex_batch.h"

#include <algorithm>
#include <cstring>

namespace ostravel {

namespace {

// Vertices GL draws of a primitive of `count` vertices in `mode` (the rest it drops), and whether
// consecutive primitives of the mode may share one range.
size_t drawnVertices(GLenum mode, size_t count, bool& joinable) {
    joinable = false;
    switch (mode) {
    case GL_POINTS: joinable = true; return count;
    case GL_LINES: joinable = true; return count - count % 2;
    case GL_TRIANGLES: joinable = true; return count - count % 3;
    case GL_QUADS: joinable = true; return count - count % 4;
    case GL_LINE_STRIP:
    case GL_LINE_LOOP: return count >= 2 ? count : 0;
    case GL_QUAD_STRIP: return count >= 4 ? count : 0;
    default: return count >= 3 ? count : 0;  // triangle strips and fans, polygons
    }
}

// The vertices gathered before the first colour() or texCoord() since a flush took GL's current
// value of it: `count` floats from `field` on, read from GL for each of them.
void takeCurrent(std::vector<BatchVertex>& vertices, GLenum query, GLfloat BatchVertex::*field, size_t count) {
    if (vertices.empty()) return;
    GLfloat current[4];
    glGetFloatv(query, current);
    for (BatchVertex& v : vertices) std::memcpy(&(v.*field), current, count * sizeof(GLfloat));
}

}  // namespace

VertexBatch::VertexBatch(size_t vertexCapacity, size_t primitiveCapacity)
    : vertexCapacity_(std::max<size_t>(vertexCapacity, 64)), primitiveCapacity_(std::max<size_t>(primitiveCapacity, 8)) {
    vertices_.reserve(vertexCapacity_);
    firsts_.reserve(primitiveCapacity_);
    counts_.reserve(primitiveCapacity_);
    runs_.reserve(primitiveCapacity_);
}

void VertexBatch::begin(GLenum mode) {
    if (firsts_.size() == primitiveCapacity_ || vertices_.size() == vertexCapacity_) draw();
    mode_ = mode;
    primitiveStart_ = vertices_.size();
    open_ = true;
}

void VertexBatch::colour(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    if (!colourKnown_) takeCurrent(vertices_, GL_CURRENT_COLOR, &BatchVertex::r, 4), colourKnown_ = true;
    if (open_ && colourVaries_ == kNone) colourVaries_ = firsts_.size();
    colour_[0] = r, colour_[1] = g, colour_[2] = b, colour_[3] = a;
}

void VertexBatch::texCoord(GLfloat s, GLfloat t) {
    if (!texCoordKnown_) takeCurrent(vertices_, GL_CURRENT_TEXTURE_COORDS, &BatchVertex::s, 2), texCoordKnown_ = true;
    texCoord_[0] = s, texCoord_[1] = t;
}

void VertexBatch::vertex(GLfloat x, GLfloat y, GLfloat z) {
    if (vertices_.size() == vertices_.capacity()) makeRoom();
    vertices_.push_back({x, y, z, colour_[0], colour_[1], colour_[2], colour_[3], texCoord_[0], texCoord_[1]});
}

void VertexBatch::end() {
    if (!open_) return;
    open_ = false;
    bool joinable = false;
    const size_t kept = drawnVertices(mode_, vertices_.size() - primitiveStart_, joinable);
    vertices_.resize(primitiveStart_ + kept);
    if (kept == 0) return;
    if (!runs_.empty() && runs_.back().mode == mode_) {
        // One range only where the colours are drawn alike: both per vertex, or both the same colour.
        const size_t draw = firsts_.size();
        const bool alike = draw > colourVaries_ || (draw < colourVaries_ && sameColour(firsts_.back(), GLint(primitiveStart_)));
        if (joinable && alike && size_t(firsts_.back() + counts_.back()) == primitiveStart_) {
            counts_.back() += GLsizei(kept);
            return;
        }
        ++runs_.back().draws;
    } else {
        runs_.push_back({mode_, firsts_.size(), 1});
    }
    firsts_.push_back(GLint(primitiveStart_));
    counts_.push_back(GLsizei(kept));
}

bool VertexBatch::sameColour(GLint a, GLint b) const {
    return std::memcmp(&vertices_[size_t(a)].r, &vertices_[size_t(b)].r, 4 * sizeof(GLfloat)) == 0;
}

// The storage is full inside a primitive: the primitives before it are drawn and it moves to the
// front; a primitive that fills the storage alone makes it grow.
void VertexBatch::makeRoom() {
    if (!open_ || primitiveStart_ == 0) {
        vertices_.reserve(2 * vertices_.capacity());
        return;
    }
    const std::vector<BatchVertex> tail(vertices_.begin() + std::ptrdiff_t(primitiveStart_), vertices_.end());
    vertices_.resize(primitiveStart_);
    const bool varies = colourVaries_ != kNone;
    draw();
    colourVaries_ = varies ? 0 : kNone;
    vertices_.insert(vertices_.end(), tail.begin(), tail.end());
    primitiveStart_ = 0;
}

void VertexBatch::flush() {
    if (open_) end();
    draw();
    colourKnown_ = texCoordKnown_ = false;
    colourVaries_ = kNone;
}

void VertexBatch::drawRange(GLenum mode, size_t firstDraw, size_t draws) {
    if (draws == 1)
        glDrawArrays(mode, firsts_[firstDraw], counts_[firstDraw]);
    else
        glMultiDrawArrays(mode, &firsts_[firstDraw], &counts_[firstDraw], GLsizei(draws));
}

void VertexBatch::draw() {
    if (!runs_.empty()) {
        constexpr GLsizei stride = sizeof(BatchVertex);
        glEnableClientState(GL_VERTEX_ARRAY);
        glVertexPointer(3, GL_FLOAT, stride, &vertices_[0].x);
        if (colourKnown_) glColorPointer(4, GL_FLOAT, stride, &vertices_[0].r);
        if (texCoordKnown_) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, stride, &vertices_[0].s);
        }
        bool colourArray = false;
        for (const Run& run : runs_) {
            const size_t end = run.firstDraw + run.draws;
            for (size_t k = run.firstDraw; k < end;) {
                if (colourKnown_ && k < colourVaries_) {
                    // Primitives whose colour was set only outside them draw with it as GL's
                    // current colour, as immediate mode draws them, not interpolated per vertex
                    // (which can round differently under perspective).
                    size_t j = k + 1;
                    while (j < end && j < colourVaries_ && sameColour(firsts_[j], firsts_[k])) ++j;
                    if (colourArray) glDisableClientState(GL_COLOR_ARRAY), colourArray = false;
                    glColor4fv(&vertices_[size_t(firsts_[k])].r);
                    drawRange(run.mode, k, j - k);
                    k = j;
                } else {
                    if (colourKnown_ && !colourArray) glEnableClientState(GL_COLOR_ARRAY), colourArray = true;
                    drawRange(run.mode, k, end - k);
                    k = end;
                }
            }
        }
        glDisableClientState(GL_VERTEX_ARRAY);
        if (colourArray) glDisableClientState(GL_COLOR_ARRAY);
        if (texCoordKnown_) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    // Array draws leave GL's current values undefined; immediate mode leaves the last ones set.
    if (colourKnown_) glColor4f(colour_[0], colour_[1], colour_[2], colour_[3]);
    if (texCoordKnown_) glTexCoord2f(texCoord_[0], texCoord_[1]);
    vertices_.clear();
    firsts_.clear();
    counts_.clear();
    runs_.clear();
}

VertexBatch& drawerBatch() {
    thread_local VertexBatch batch;
    return batch;
}

}  // namespace ostravel
