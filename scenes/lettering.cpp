#include "scenes/lettering.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "assets/texture_bank.h"
#include "math/ease.h"
#include "math/random.h"
#include "platform/gl.h"
#include "render/billboard.h"
#include "render/outline_font.h"
#include "render/vertex_batch.h"
#include "scenes/sheet.h"

namespace ostravel {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kCreditRate = 0.07;
constexpr int kPaperHalf = 15;  // the fixed layers cover columns and rows -15 .. 14

void vertex(VertexBatch& batch, double x, double y) { batch.vertex(float(x), float(y), 0.0f); }

// The graph paper: lines and dots, reaching 15 f1 from the centre.
void drawGraphPaper(const SceneTime& time, double f1) {
    const double t = time.localTime;
    const int i0 = int(std::trunc(-15.0 * f1));
    const double i1 = 15.0 * f1;
    const double reach = 15.0 * f1 * f1;
    glEnable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glLineWidth(2.0f);
    VertexBatch& batch = drawerBatch();
    batch.begin(GL_LINES);
    for (int i = i0; i < i1; ++i) {
        const double c = 1.0 + 0.8 * std::pow(1.1 * std::sin(0.3 * i + 0.02 * time.pulseSum + 0.6 * t), 14.0);
        if (t > 90.0)
            batch.colour(float(0.2 * c), float(0.17 * c), float(0.05 * c));
        else
            batch.colour(float(0.15 * c), float(0.1 * c), float(0.1 * c));
        vertex(batch, i, -reach), vertex(batch, i, reach);
        vertex(batch, -reach, i), vertex(batch, reach, i);
    }
    batch.end();

    glPointSize(2.0f);  // the points' own size: the lines waiting in the batch do not read it
    batch.colour(float(0.6 * f1), float(0.6 * f1), float(f1));
    batch.begin(GL_POINTS);
    for (int r = i0; r < i1; ++r)
        for (int q = i0; q < i1; ++q) vertex(batch, q, r);
    batch.end();
    batch.flush();
}

// The falling bars: they hang still until 105 s, then drop at random speeds after random
// delays.
void drawFallingBars(const SceneTime& time) {
    const double t = time.localTime;
    seed(23000);
    if (t > 100.0)
        for (int i = 0; i < 60; ++i) random01();
    VertexBatch& batch = drawerBatch();
    for (int c = -kPaperHalf; c < kPaperHalf; ++c) {
        const double a = random01();
        const double d = (t - 105.0 - a >= 0.0) ? t - 105.0 - random01() : 0.0;
        const double top = 15.0 - (2.8 * random01() + 1.0) * d;
        const double e = ease(clamp01(0.4 * (t - 106.0 - 0.2 * c)), 2.0);
        const double s = 0.4 * std::sin(0.3 * c + time.pulseSum + t);
        const double left = c + 0.1 + 0.4 * (1.0 - e), right = c + 0.9 - 0.4 * (1.0 - e);
        batch.begin(GL_QUAD_STRIP);
        batch.colour(0.0f, 0.0f, 0.0f);
        vertex(batch, left, top - 11.0), vertex(batch, right, top - 11.0);
        batch.colour(float((s + 1.0) * 0.14), 0.06f, float(0.03 + 0.1 * ((c + 20) % 2)));
        vertex(batch, left, top - 10.0), vertex(batch, right, top - 10.0);
        batch.colour(0.0f, 0.0f, 0.0f);
        vertex(batch, left, top + 20.0), vertex(batch, right, top + 20.0);
        batch.end();
    }
    batch.flush();
}

// The dot screen: round dots on the graph paper's points that shrink away as f1 reaches 1.
void drawDotScreen(const SceneTime& time, const TextureBank& textures, double f1) {
    glEnable(GL_TEXTURE_2D);
    bindTexture(textures, time.textureSlotBase + kDotScreenTextureSlot);
    if (!(f1 < 0.9999)) return;
    const double t = time.localTime;
    const double k = clamp01(7.0 * f1);
    VertexBatch& batch = drawerBatch();
    batch.colour(float(1.5 * k), float(k), float(k));
    const double z = t > 90.0 ? 0.5 : 0.3;
    const int i0 = int(std::trunc(-15.0 * f1));
    const double i1 = 15.0 * f1;
    batch.begin(GL_QUADS);
    for (int x = i0; x < i1; ++x)
        for (int y = i0; y < i1; ++y) {
            const double half = clamp01(2.0 * std::sin(kPi * (y + i1) / (30.0 * f1))) *
                                clamp01(2.0 * std::sin(kPi * (x + i1) / (30.0 * f1))) *
                                (0.3 * std::sin(1.3 * (x * x + y * y) + t) + 0.5) * z * (1.0 - f1);
            quadAround(batch, makeVec3(float(x), float(y), 0.0f), half, half);
        }
    batch.end();
    batch.flush();
}

// The picture cards: about a tenth of the cells pop up pictures from 11 s and take them away
// from 32 s. Each card binds its own picture, so they stay in immediate mode: an array draw for
// every card would take more calls than the card's own dozen. The flashing extent is the horizontal one (the card seems to flip about its vertical
// axis); every brightness term scales all three colour components, so the cards stay warm grey.
void drawPictureCards(const SceneTime& time, const TextureBank& textures) {
    const double t = time.localTime;
    seed(9975);
    if (!(t < 51.0)) return;
    glEnable(GL_TEXTURE_2D);
    int n = 0;
    for (int x = -kPaperHalf; x < kPaperHalf; ++x)
        for (int y = -kPaperHalf; y < kPaperHalf; ++y) {
            if (!(random01() < 0.1)) continue;
            ++n;
            const double k = 0.1 * n;
            const double appear = clamp01(t - 11.0 - k) - clamp01(0.5 * (t - 33.0 - 2.0 * k));
            const double wobble = 0.4 * std::pow(std::sin((0.1 * k + 1.8) * t), 3.0) + 1.0;
            const double beat = 0.6 * time.pulse + 1.0;
            const double flashPhase = (0.1 * k + 0.6) * t;
            const double flash = 1.0 - 0.9 * std::pow(std::max(0.0, std::sin(flashPhase)), 34.0);
            const double halfWidth =
                0.45 * ease((0.7 * clamp01(2.0 * (t - 12.0 - k)) + 0.3 - 0.7 * clamp01(t - 32.0 - 2.0 * k)) * flash, 2.0);
            const double halfHeight =
                0.45 * ease(0.7 * clamp01(2.0 * (t - 12.5 - k)) + 0.3 - 0.7 * clamp01(t - 32.5 - 2.0 * k), 2.0);
            const int picture = (int(std::trunc(flashPhase / (2.0 * kPi) + 3.75567)) + n) % 5;
            bindTexture(textures, time.textureSlotBase + kCardTextureSlot + picture);
            const double b = appear * wobble * beat;
            glColor3f(float(0.17 * b), float(0.15 * b), float(0.14 * b));
            glBegin(GL_QUADS);
            quadAround(makeVec3(float(x - 0.5), float(y - 0.5), 0.0f), halfWidth, halfHeight);
            glEnd();
        }
}

// The flickering grid: a small cross in the middle of every graph-paper square (between the
// paper's lines), its arms and brightness following w: all crosses grow in with f2, and single
// ones flash up whenever their own sine peaks. Untextured, so the crosses keep their colour
// whatever texture the layers before left bound.
void drawGridFlicker(const SceneTime& time, double f2) {
    seed(100);
    glLineWidth(1.0f);
    glDisable(GL_TEXTURE_2D);
    VertexBatch& batch = drawerBatch();
    batch.begin(GL_LINES);
    if (f2 > 0.0) {
        for (int x = -kPaperHalf; x < kPaperHalf; ++x)
            for (int y = -kPaperHalf; y < kPaperHalf; ++y) {
                const double r1 = random01();
                const double r2 = random01();
                const double w = clamp01(
                    f2 + 0.2 * std::pow(1.01 * std::sin(0.6 * (x + y) + 100.0 * r2 + (r1 + 1.0) * 0.2 * time.localTime),
                                        44.0));
                const double cx = x + 0.5, cy = y + 0.5, arm = 0.25 * w;
                batch.colour(float(0.3 * w), float(0.25 * w), float(0.15 * w));
                vertex(batch, cx - arm, cy), vertex(batch, cx + arm, cy);
                vertex(batch, cx, cy - arm), vertex(batch, cx, cy + arm);
            }
    }
    batch.end();
    batch.flush();
    glEnable(GL_TEXTURE_2D);
}

}  // namespace

const std::array<CreditLine, 8> kCreditLines = {{
    {"Ostravel", -6.9, -6.0, 0.3f, 0.4f, 1.0f, 0.4, 4344, 15.0, 1.0},
    {"Kivoran", -7.9, -5.0, 1.0f, 0.4f, 0.3f, 0.3, 4348, 18.0, 1.0},
    {"Code:", -4.5, -1.0, 0.4f, 0.6f, 0.3f, 0.3, 4324, 23.0, 1.0},
    {"Tarno", -3.5, -1.0, 0.4f, 1.0f, 0.3f, 0.3, 4244, 24.0, 1.0},
    {"Music:", -6.5, 0.0, 0.4f, 0.6f, 0.3f, 0.3, 14344, 24.0, 1.2},
    {"Bexil", -5.3, 0.0, 0.4f, 1.0f, 0.3f, 0.3, 24344, 25.0, 1.2},
    {"Graphics:", -8.5, 1.0, 0.4f, 0.6f, 0.3f, 0.3, 34344, 26.0, 1.2},
    {"Quorvin", -7.0, 1.0, 0.4f, 1.0f, 0.3f, 0.3, 1311, 27.0, 1.2},
}};

double pop(double localTime, double t0, double rate, double k) {
    return 5.0 * clamp01(k * std::sin(kPi * std::min(1.0, rate * std::max(0.0, localTime - t0))));
}

double creditAppear(double localTime, int row) {
    if (!(localTime < kCreditsEnd)) return 0.0;
    const CreditLine& line = kCreditLines[size_t(row)];
    return pop(localTime, line.t0, kCreditRate, line.k);
}

double greetingAppear(double localTime, int j) {
    if (!(localTime > kGreetingsFrom && localTime < kGreetingsTo)) return 0.0;
    return pop(localTime, 104.5 + 0.3 * j, 0.065, 1.1);
}

void drawLettering(const SceneTime& time, const std::vector<std::string>& greetings, const TextureBank& textures,
                   const GlyphLists& font, double f1, double f2) {
    const double t = time.localTime;

    // The sheet's frame: everything below drifts and turns with it.
    glEnable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glColor3f(0.1f, 0.1f, 0.2f);
    glLineWidth(2.0f);
    glPushMatrix();
    const SheetPlacement sheet = sheetPlacement(t);
    glTranslatef(float(sheet.dx), float(sheet.dy), 0.0f);
    glRotatef(float(sheet.turnDegrees), 0.0f, 0.0f, 1.0f);

    // The lettering's own level, texturing off for the untextured glyphs.
    glEnable(GL_TEXTURE_2D);
    seed(100000);
    glPushMatrix();
    glDisable(GL_TEXTURE_2D);

    // Title and credits.
    if (t < kCreditsEnd) {
        for (size_t row = 0; row < kCreditLines.size(); ++row) {
            const CreditLine& line = kCreditLines[row];
            glPushMatrix();
            glTranslatef(float(line.x), float(line.y), 0.0f);
            glDisable(GL_BLEND);
            glColor3f(line.red, line.green, line.blue);
            const float s = float(line.scale);
            glScalef(s, s, s);
            seed(line.seed);
            printText(font, creditAppear(t, int(row)), "%s", line.text);
            glPopMatrix();
        }
    }

    // The greetings' level, drawn without blending.
    glPushMatrix();
    glDisable(GL_BLEND);

    // Greetings: turned a quarter, mirrored, sliding in one after the other.
    if (t > kGreetingsFrom && t < kGreetingsTo) {
        for (size_t j = 0; j < greetings.size(); ++j) {
            seed(uint32_t(25488 + 4 * j));
            for (int i = 0; i < 20; ++i) random01();
            glPushMatrix();
            glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
            const double a = clamp01(0.65 * (t - 107.0 - 0.35 * double(j)));
            const double b = clamp01(0.25 * (t - 107.0 - 0.35 * double(j)));
            const double x = 4.0 * random01() + 5.0 * ease(b, 2.0) - 5.53;
            glTranslatef(float(x), float(a - 2.12), 0.0f);
            const double sa = std::sin(kPi * a);
            const double c = 1.0 + 2.0 * sa * sa;
            glColor3f(float(0.4 * c), float(0.3 * c), float(0.4 + 0.6 * double(j % 2)));
            glScalef(-0.3f, -0.3f, 0.3f);
            printText(font, greetingAppear(t, int(j)), "%s", greetings[j].c_str());
            glPopMatrix();
        }
    }

    // Back on the sheet's frame.
    glPopMatrix();
    glPopMatrix();

    // The paper and its decoration, drifting and turning with the sheet.
    drawGraphPaper(time, f1);

    drawFallingBars(time);
    drawDotScreen(time, textures, f1);
    drawPictureCards(time, textures);
    drawGridFlicker(time, f2);
    glPopMatrix();
    glLineWidth(1.0f);
}

}  // namespace ostravel
