#include "render/billboard.h"

#include <initializer_list>

#include "platform/gl.h"

namespace ostravel {

void faceTheScreen(double scaleX, double scaleY) {
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i : {0, 5, 10}) m[i] = 1.0f;
    for (int i : {1, 2, 4, 6, 8, 9}) m[i] = 0.0f;
    glLoadMatrixf(m);
    glScalef(static_cast<GLfloat>(scaleX), static_cast<GLfloat>(scaleY), 0.0f);
}

namespace {

void quad(const GLfloat (&texCoords)[4][2]) {
    static constexpr GLfloat kCorners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(texCoords[i][0], texCoords[i][1]);
        glVertex3f(kCorners[i][0], kCorners[i][1], 0.0f);
    }
    glEnd();
}

}  // namespace

TextureRange cropRange(int width, int screenCopyMode) {
    // 640/1024, 480/1024, 800/1024, 600/1024, 320/1024, 240/1024.
    constexpr TextureRange k640{0.625, 0.46875}, k800{0.78125, 0.5859375}, k320{0.3125, 0.234375}, kAll{1.0, 1.0};
    if (width < 640) return kAll;
    if (screenCopyMode == -1) {
        if (width == 640) return k640;
        if (width == 800) return k800;
        return kAll;
    }
    switch (screenCopyMode) {
    case 1: return k640;
    case 2: return k800;
    case 3: return k320;
    default: return kAll;
    }
}

void billboard(double angle, double scaleX, double scaleY) {
    faceTheScreen(scaleX, scaleY);
    glRotatef(static_cast<GLfloat>(angle), 0.0f, 0.0f, 1.0f);
    quad({{0, 0}, {1, 0}, {1, 1}, {0, 1}});
}

void cropBillboard(int width, int screenCopyMode, double angle, double scaleX, double scaleY) {
    const TextureRange r = cropRange(width, screenCopyMode);
    const auto s = static_cast<GLfloat>(r.s), t = static_cast<GLfloat>(r.t);
    faceTheScreen(scaleX, scaleY);
    glRotatef(static_cast<GLfloat>(angle), 0.0f, 0.0f, 1.0f);
    quad({{0, 0}, {s, 0}, {s, t}, {0, t}});
}

void quarterBillboard(int quarter, double scaleX, double scaleY) {
    faceTheScreen(scaleX, scaleY);
    if (quarter < 0 || quarter > 3) {
        glBegin(GL_QUADS);
        glEnd();
        return;
    }
    const GLfloat s0 = (quarter & 1) ? 0.5f : 0.0f;
    const GLfloat t0 = (quarter & 2) ? 0.5f : 0.0f;
    quad({{s0, t0}, {s0 + 0.5f, t0}, {s0 + 0.5f, t0 + 0.5f}, {s0, t0 + 0.5f}});
}

void quadAround(const Vec3& p, double halfWidth, double halfHeight) {
    const double x = p.x, y = p.y;
    const auto z = static_cast<GLfloat>(p.z);
    glTexCoord2f(0, 0);
    glVertex3f(static_cast<GLfloat>(x - halfWidth), static_cast<GLfloat>(y - halfHeight), z);
    glTexCoord2f(1, 0);
    glVertex3f(static_cast<GLfloat>(x + halfWidth), static_cast<GLfloat>(y - halfHeight), z);
    glTexCoord2f(1, 1);
    glVertex3f(static_cast<GLfloat>(x + halfWidth), static_cast<GLfloat>(y + halfHeight), z);
    glTexCoord2f(0, 1);
    glVertex3f(static_cast<GLfloat>(x - halfWidth), static_cast<GLfloat>(y + halfHeight), z);
}

void quadAround(VertexBatch& batch, const Vec3& p, double halfWidth, double halfHeight) {
    const double x = p.x, y = p.y;
    const auto x0 = static_cast<GLfloat>(x - halfWidth), x1 = static_cast<GLfloat>(x + halfWidth);
    const auto y0 = static_cast<GLfloat>(y - halfHeight), y1 = static_cast<GLfloat>(y + halfHeight);
    const auto z = static_cast<GLfloat>(p.z);
    batch.texCoord(0, 0);
    batch.vertex(x0, y0, z);
    batch.texCoord(1, 0);
    batch.vertex(x1, y0, z);
    batch.texCoord(1, 1);
    batch.vertex(x1, y1, z);
    batch.texCoord(0, 1);
    batch.vertex(x0, y1, z);
}

}  // namespace ostravel
