#include "scenes/mosaic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "assets/texture_bank.h"
#include "math/ease.h"
#include "math/random.h"
#include "math/vec3.h"
#include "platform/gl.h"
#include "render/billboard.h"
#include "render/vertex_batch.h"

namespace ostravel {

namespace {

constexpr double kSpacing = 0.04;
constexpr double kDepth = 3.77;
// The full-size frame the mosaic grid is laid on: every fourth pixel of a 384 x 288 picture.
constexpr int kGridWidth = kMosaicColumns * 4;
constexpr int kGridHeight = kMosaicRows * 4;

// Vignette along one axis: clamp01(4 sin(k pi / n)), 0 on the first row and column.
template <int N>
std::array<double, N> vignette() {
    std::array<double, N> v{};
    for (int k = 0; k < N; ++k) v[k] = clamp01(4.0 * std::sin(k * std::numbers::pi / N));
    return v;
}

// Byte offsets of the sampled columns and rows in the frame; not valid when there is no frame.
struct Sampling {
    std::array<size_t, kMosaicColumns> column{};
    std::array<size_t, kMosaicRows> row{};
    bool valid = false;
};

Sampling samplingFor(const FrameImageView& image) {
    Sampling s;
    if (image.data == nullptr || image.width <= 0 || image.height <= 0 ||
        image.stride < size_t(image.width) * 3)
        return s;
    const int w = image.width, h = image.height;
    for (int j = 0; j < kMosaicColumns; ++j) {
        const int x = w > 4 * (kMosaicColumns - 1) ? 4 * j : 4 * j * w / kGridWidth;
        s.column[j] = size_t(x) * 3;
    }
    for (int i = 0; i < kMosaicRows; ++i) {
        const int y = h > 4 * (kMosaicRows - 1) ? 4 * i : 4 * i * h / kGridHeight;
        s.row[i] = size_t(y) * image.stride;
    }
    s.valid = true;
    return s;
}

}  // namespace

void drawVideoMosaic(const SceneTime& time, const FrameAnalysis& frame, const TextureBank& textures, double f) {
    if (f < 0.01) return;
    static const std::array<double, kMosaicColumns> vignetteX = vignette<kMosaicColumns>();
    static const std::array<double, kMosaicRows> vignetteY = vignette<kMosaicRows>();

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glColor3f(0.1f, 0.1f, 0.1f);
    bindTexture(textures, time.textureSlotBase + kDiscTextureSlot);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_TEXTURE_2D);
    // The projective pass culls front faces while the scene draws, and every sprite faces the
    // camera: with culling on, the whole screen of sprites would vanish.
    glDisable(GL_CULL_FACE);

    const double t = time.localTime;
    const double rows = kMosaicRows * clamp01(20.0 * f);
    const Sampling sampling = samplingFor(frame.frameImage);
    // Size law: the sprites grow in with the second half of the fade-in and shrink away with the
    // fade-out (f falls below 0.5 again on the way out).
    const double grown = std::clamp(2.0 * f - 1.0, 0.0, 0.9);
    const double shrink = std::clamp(2.0 * f - 1.0, -1.0, 0.0) + 1.0;
    // The radial reveal: red from 158 s, green from 156.5 s, spreading at 1 and 0.75 units a second
    // (factors compare 2 L with these fronts); both complete from 166 s.
    const bool revealing = t < 166.0;
    const double redFront = std::max(0.0, 2.0 * (t - 158.0));
    const double greenFront = std::max(0.0, 1.5 * (t - 156.5));

    seed(300000);
    double phase = 2.2 * t;
    VertexBatch& batch = drawerBatch();
    batch.begin(GL_QUADS);
    for (int i = 0; i < rows; ++i) {
        const uint8_t* line = sampling.valid ? frame.frameImage.data + sampling.row[i] : nullptr;
        for (int j = 0; j < kMosaicColumns; ++j) {
            const double d = vignetteX[j] * vignetteY[i];
            const double v = random01();
            random01();  // part of the layout: the draws after it depend on its place
            const double w = random01();
            const double blue = line != nullptr ? line[sampling.column[j]] : 0.0;  // BGR: blue first
            Vec3 p = makeVec3(static_cast<float>(kSpacing * (j - 48)), static_cast<float>(kSpacing * (i - 36)),
                              static_cast<float>(kDepth));
            phase += (0.08 * v - 0.04) * 1.1;

            double red = 1.0, green = 1.0;
            if (revealing) {
                const double l = std::sqrt(double(p.x) * p.x + double(p.y) * p.y + double(p.z) * p.z);
                red = 1.0 - clamp01(2.0 * l - redFront);
                green = 1.0 - clamp01(2.0 * l - greenFront);
            }

            const double b2 = 1.01 * std::sin(phase), b = b2 * b2 * b2 * b2 * b2 * b2;
            const double size = grown + 0.8 * b;
            const double half = d * 0.04 * (size + 1.0) * 0.5 * shrink * 1.5;

            const double c = (1.0 - 0.2 * w) * blue / 256.0;
            const double q = 0.6 * c * c;
            batch.colour(static_cast<GLfloat>(red * q), static_cast<GLfloat>(green * q), static_cast<GLfloat>(q), 1.0f);

            p.y = static_cast<float>(p.y + (size - 0.45) * 0.1);
            if ((i + j) % 2 == 1) p.z = static_cast<float>(p.z - 0.03);
            quadAround(batch, p, half, half);
        }
    }
    batch.end();
    batch.flush();

    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_ONE, GL_ONE);
    bindTexture(textures, time.textureSlotBase + kBlobTextureSlot);
    glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

}  // namespace ostravel
