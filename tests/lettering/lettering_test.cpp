// The lettering layer's timings, and what a frame of it sends down real GL (feedback mode): the
// graph paper's lines and dots, the grid flicker, and which text lines are drawn when.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "platform/gl.h"
#include "render/outline_font.h"
#include "scenes/lettering.h"
#include "tests/support/gl_test_window.h"

using namespace ostravel;

namespace {

TEST(LetteringTimes, PopsAtTheirMoments) {
    struct Case {
        double value, expected, tolerance;
        const char* what;
    };
    const Case cases[] = {
        {creditAppear(15.0, 0), 0.0, 1e-12, "title at 15 s"},
        {creditAppear(22.14, 0), 5.0, 1e-3, "title at 22.14 s: top"},
        {creditAppear(29.29, 0), 0.0, 1e-4, "title at 29.29 s: gone"},
        {creditAppear(24.5, 4), 5 * 1.2 * std::sin(0.035 * std::numbers::pi), 1e-9, "Music: at 24.5 s"},
        {creditAppear(24.5, 4), 0.658, 1e-3, "Music: at 24.5 s"},
        {greetingAppear(95.0, 0), 0.0, 0.0, "95 s"},
        {greetingAppear(104.5, 0), 0.0, 0.0, "greeting 0 at 104.5 s"},
        {double(greetingAppear(104.51, 0) > 0), 1.0, 0.0, "greeting 0 after 104.5 s"},
        {greetingAppear(107.8, 11), 0.0, 1e-12, "greeting 11 at 107.8 s"},
        {double(greetingAppear(107.81, 11) > 0), 1.0, 0.0, "greeting 11 after 107.8 s"},
        {greetingAppear(124.0, 11), 0.0, 0.0, "124 s"},
    };
    for (const Case& c : cases) EXPECT_NEAR(c.value, c.expected, c.tolerance) << c.what;
}

struct Fed {
    int lines = 0, points = 0, polygons = 0;
    double longestLine = 0;  // world units
    std::vector<std::array<float, 3>> polygonColours;
};

class Lettering : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ostravel::testing::ensureGLWindow());
        createOutlineFont(font_);
    }
    // One frame of the layer under an orthographic view of 10 pixels per unit that holds the
    // whole drifting sheet.
    static Fed frame(double localTime, double f1, double f2) {
        std::vector<GLfloat> buffer(1 << 23);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-40, 40, -30, 30, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glFeedbackBuffer(GLsizei(buffer.size()), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        SceneTime time;
        time.localTime = localTime;
        drawLettering(time, greetings, textures_, font_, f1, f2);
        const GLint used = glRenderMode(GL_RENDER);
        EXPECT_GE(used, 0) << "feedback buffer too small";
        Fed fed;
        constexpr int kVertex = 7;  // x, y, z, r, g, b, a
        for (GLint i = 0; i < used;) {
            const GLfloat token = buffer[i];
            if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
                const GLfloat* a = &buffer[i + 1];
                const GLfloat* b = a + kVertex;
                ++fed.lines;
                fed.longestLine = std::max(fed.longestLine, std::hypot(a[0] - b[0], a[1] - b[1]) / 10.0);
                i += 1 + 2 * kVertex;
            } else if (token == GL_POINT_TOKEN) {
                ++fed.points;
                i += 1 + kVertex;
            } else if (token == GL_POLYGON_TOKEN) {
                ++fed.polygons;
                fed.polygonColours.push_back({buffer[i + 5], buffer[i + 6], buffer[i + 7]});
                i += 2 + int(buffer[i + 1]) * kVertex;
            } else {
                ADD_FAILURE() << "token " << token;
                break;
            }
        }
        return fed;
    }
    static int polygonsIn(const Fed& fed, std::array<float, 3> colour) {
        int n = 0;
        for (const auto& c : fed.polygonColours)
            n += std::fabs(c[0] - colour[0]) < 2e-3f && std::fabs(c[1] - colour[1]) < 2e-3f &&
                 std::fabs(c[2] - colour[2]) < 2e-3f;
        return n;
    }
    static inline GlyphLists font_;
    static inline TextureBank textures_;
    static inline std::vector<std::string> greetings{"Halvmoon", "Nexor",  "Plasmid",   "Vertigon",
                                                     "Copperline", "Sinewave", "Moravia 5", "Quasitron",
                                                     "Kobaltz",  "Rastafon", "Lumenik",   "Zeroshift"};
};

// At 60 s nothing else draws lines or points: no credits, cards, greetings or dot screen at f1 = 1.
TEST_F(Lettering, GraphPaperAndFlickerFollowTheFades) {
    struct Case {
        double f1, f2;
        int lines, points;
        double longest;
    };
    const Case cases[] = {
        {0.0, 0.0, 0, 0, 0.0},
        {1.0, 0.0, 60, 900, 30.0},           // 30 line pairs, each 30 units long
        {0.5, 0.0, 30, 225, 7.5},            // i from -7 while i < 7.5; half-lengths 15 f1^2
        {1.0, 0.5, 60 + 1800, 900, 30.0},    // a cross in every one of the 900 squares
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.f1 + 10 * c.f2);
        const Fed fed = frame(60.0, c.f1, c.f2);
        EXPECT_EQ(fed.lines, c.lines);
        EXPECT_EQ(fed.points, c.points);
        EXPECT_NEAR(fed.longestLine, c.longest, 0.01);
        EXPECT_GT(fed.polygons, 0);  // the falling bars hang there all the time
    }
}

TEST_F(Lettering, TextLinesShowOnlyInTheirTime) {
    const std::array<float, 3> title{0.3f, 0.4f, 1.0f};
    const std::array<float, 3> warmGreeting{0.4f, 0.3f, 0.4f};
    const std::array<float, 3> blueGreeting{0.4f, 0.3f, 1.0f};
    struct Case {
        double time;
        bool title, greetings;
    };
    const Case cases[] = {
        {15.0, false, false}, {22.14, true, false}, {29.29, false, false},
        {95.0, false, false}, {117.0, false, true}, {124.0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time);
        const Fed fed = frame(c.time, 0.0, 0.0);
        EXPECT_EQ(polygonsIn(fed, title) > 0, c.title);
        EXPECT_EQ(polygonsIn(fed, warmGreeting) > 0, c.greetings);
        EXPECT_EQ(polygonsIn(fed, blueGreeting) > 0, c.greetings);
    }
}

}  // namespace
