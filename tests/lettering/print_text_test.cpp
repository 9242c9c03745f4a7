// printText through real GL with a font whose glyphs are known boxes: where each glyph lands,
// at what size, which glyphs are left out, what is pushed, and how much of the random sequence a
// line takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "math/random.h"
#include "platform/fake_font_outlines.h"
#include "platform/gl.h"
#include "render/outline_font.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;

namespace {

// 'A' is a box 0.2 em wide and 1 em high with an advance of 1 em; ' ' advances 0.5 em.

struct Box {
    double left, height;
};

class PrintText : public ::testing::Test {
public:
    static inline GlyphLists font_;

protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ostravel::testing::ensureGLWindow());
        FakeFontOutlines font;
        GlyphOutline a;
        a.present = true;
        a.advance = 1000;
        a.contours.push_back(FakeFontOutlines::rectangle(0, 0, 200, 1000));
        font.glyphs['A'] = a;
        GlyphOutline space;
        space.present = true;
        space.advance = 500;
        font.glyphs[' '] = space;
        createOutlineFont(font_, font);
    }
    void SetUp() override {
        // 80 pixels per unit; z = 0 at depth 0.5.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-4.0, 6.0, -1.0, 6.5, -1.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
};

// The front faces of the printed glyphs, left to right.
std::vector<Box> printedBoxes(double appearance, const char* text) {
    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    printText(PrintText::font_, appearance, "%s", text);
    const GLint used = glRenderMode(GL_RENDER);
    EXPECT_GE(used, 0);
    std::vector<Box> boxes;  // one per front triangle first, merged below
    for (GLint i = 0; i < used; i += 2 + 3 * int(buffer[i + 1])) {
        EXPECT_EQ(buffer[i], GL_POLYGON_TOKEN);
        const int n = int(buffer[i + 1]);
        const GLfloat* v = &buffer[i + 2];
        bool front = true;
        double x0 = 1e30, y1 = -1e30;
        for (int k = 0; k < n; ++k) {
            front = front && std::fabs(v[3 * k + 2] - 0.5f) < 1e-6f;
            x0 = std::min(x0, v[3 * k] / 80.0 - 4.0), y1 = std::max(y1, v[3 * k + 1] / 80.0 - 1.0);
        }
        if (front) boxes.push_back({x0, y1});
    }
    std::sort(boxes.begin(), boxes.end(), [](Box a, Box b) { return a.left < b.left; });
    std::vector<Box> merged;
    for (const Box& b : boxes)
        if (merged.empty() || b.left - merged.back().left > 1e-4) merged.push_back(b);
        else merged.back().height = std::max(merged.back().height, b.height);
    return merged;
}

// Where the boxes land, worked out once in Python from the layout rule and the generator: the line
// starts at 5 - width / 2 - 5 (1 - (cos(0.3 pi appearance) + 1) / 2) + 0.03 n; each character
// takes four draws r1, r2, -, - and the scale s = clamp(appearance (1 + r1 / 32767) - 3 r2 / 32767,
// 0, 1); a glyph with s <= 0.001 is left out without moving the pen, any other is drawn at the pen,
// which then moves by s times its advance, less 0.01.
TEST_F(PrintText, LaysTheLineOutGlyphByGlyph) {
    struct Case {
        double appearance;
        const char* text;
        uint32_t seed;
        uint32_t stateAfter;  // four draws per character
        std::vector<Box> boxes;
    };
    const Case cases[] = {
        // Full size: the line starts at -width / 2 + 0.03 n.
        {4.0, "AA AA", 7, 3164135755u, {{-2.1, 1.0}, {-1.11, 1.0}, {0.37, 1.0}, {1.36, 1.0}}},
        // Eight of twelve glyphs scaled to nothing; the rest close up.
        {0.5, "AAAAAAAAAAAA", 31, 3891152399u,
         {{-0.91248, 0.28956}, {-0.63292, 0.61623}, {-0.02669, 0.12224}, {0.08555, 0.06458}}},
        {1.5, "AAA A AAA", 1234, 1658982230u,
         {{-0.83891, 1.0}, {0.15109, 1.0}, {1.14109, 0.46762}, {2.08871, 0.73949}, {2.81820, 0.44816}, {3.25636, 1.0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        seed(c.seed);
        const std::vector<Box> printed = printedBoxes(c.appearance, c.text);
        EXPECT_EQ(randomState(), c.stateAfter);
        ASSERT_EQ(printed.size(), c.boxes.size());
        for (size_t i = 0; i < printed.size(); ++i) {
            EXPECT_NEAR(printed[i].left, c.boxes[i].left, 2e-4) << i;
            EXPECT_NEAR(printed[i].height, c.boxes[i].height, 2e-4) << i;
        }
    }
}

// With the model-view and attribute stacks full, a push overflows: that shows whether a call
// pushed anything. The stacks and the matrix are as they were afterwards either way.
TEST_F(PrintText, PushesAndDrawsOnlyFromTheThreshold) {
    struct Case {
        double appearance;
        const char* text;
        bool pushes;
        bool draws;
    };
    const Case cases[] = {
        {0.0, "AA", false, false},
        {0.000099, "AA", false, false},
        {4.0, "", true, false},
        {4.0, "AA", true, true},
    };
    GLint maxDepth = 0;
    glGetIntegerv(GL_MAX_MODELVIEW_STACK_DEPTH, &maxDepth);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.appearance);
        glTranslatef(0.25f, 0.0f, 0.0f);
        GLfloat before[16], after[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, before);
        GLint attribDepth = 0, depth = 0;
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attribDepth);

        seed(5);
        EXPECT_EQ(!printedBoxes(c.appearance, c.text).empty(), c.draws);
        EXPECT_EQ(randomState() != 5u, c.draws);
        glGetFloatv(GL_MODELVIEW_MATRIX, after);
        EXPECT_TRUE(std::equal(before, before + 16, after));
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, attribDepth);

        while (glGetError() != GL_NO_ERROR) {}
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        for (int i = depth; i < maxDepth; ++i) glPushMatrix();
        printText(font_, c.appearance, "%s", c.text);
        EXPECT_EQ(glGetError() == GL_STACK_OVERFLOW, c.pushes);
        glLoadIdentity();
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        for (int i = 1; i < depth; ++i) glPopMatrix();
        while (glGetError() != GL_NO_ERROR) {}
    }
}

}  // namespace
