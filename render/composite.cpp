#include "render/composite.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/gl.h"
#include "render/billboard.h"
#include "render/shader_bank.h"

namespace ostravel {

namespace {

constexpr double kSceneHalf = 1.3;  // the scene and glow squares' half-size
constexpr double kWideSprite = 3.5;
constexpr double kNarrowSprite = 2.0;
// The strip above the scene square reaches the wide sprite's top edge, far past the window's.
constexpr double kStripTop = kWideSprite / kSceneHalf;

// Texture coordinates come from the fixed-function vertex stage (units 0 to 3, identity texture
// matrices in the window's context): 0 the scene's, 1 the glow's, 2 and 3 the sprites'.
//
// Most frames have no sprites: then the scene and the glow are added and rounded once, within one
// code value of two rounded passes. With the sprites, four layers rounded once would stray by two
// in one value of four hundred; each layer is rounded as the 8-bit window would hold it instead,
// which gives the passes' sum up to ties. Sampling is most of the cost: the program without the
// sprites samples two textures, not four.
constexpr const char* kFragmentSource = R"(
uniform sampler2D scene;
uniform sampler2D glow;
uniform sampler2D sprite;
uniform vec3 sceneWeight;
uniform vec3 glowWeight;
uniform vec3 wideSpriteWeight;
uniform vec3 narrowSpriteWeight;
vec3 stored(vec3 layer) { return floor(clamp(layer, 0.0, 1.0) * 255.0 + 0.5) / 255.0; }
void main() {
#ifdef SPRITES
    vec3 sum = stored(texture2D(scene, gl_TexCoord[0].st).rgb * sceneWeight)
             + stored(texture2D(glow, gl_TexCoord[1].st).rgb * glowWeight)
             + stored(texture2D(sprite, gl_TexCoord[2].st).rgb * wideSpriteWeight)
             + stored(texture2D(sprite, gl_TexCoord[3].st).rgb * narrowSpriteWeight);
#else
    vec3 sum = texture2D(scene, gl_TexCoord[0].st).rgb * sceneWeight
             + texture2D(glow, gl_TexCoord[1].st).rgb * glowWeight;
#endif
    gl_FragColor = vec4(sum, 1.0);
}
)";

void clampedUniform(int location, const float (&weight)[3]) {
    glUniform3f(location, std::clamp(weight[0], 0.0f, 1.0f), std::clamp(weight[1], 0.0f, 1.0f),
                std::clamp(weight[2], 0.0f, 1.0f));
}

bool any(const float (&weight)[3]) { return weight[0] > 0.0f || weight[1] > 0.0f || weight[2] > 0.0f; }

// A sprite of half-size h has the coordinate 0.25 (u + 1) at its own u in [-1, 1]; a point at u'
// of the scene square (in units of its half-size) lies at u = u' 1.3 / h of the sprite.
GLfloat spriteCoordinate(double h, double sceneU) { return static_cast<GLfloat>(0.25 * (1.0 + sceneU * kSceneHalf / h)); }

// One corner of a square on the scene square's plane at (x, y) in units of its half-size, with the
// scene's and glow's coordinates running over [0, s] x [0, t] and [0, 1] x [0, 1] across it.
void corner(double x, double y, GLfloat s, GLfloat t) {
    const auto across = [](double u) { return static_cast<GLfloat>(0.5 * (u + 1.0)); };
    glMultiTexCoord2f(GL_TEXTURE0, across(x) * s, across(y) * t);
    glMultiTexCoord2f(GL_TEXTURE1, across(x), across(y));
    glMultiTexCoord2f(GL_TEXTURE2, spriteCoordinate(kWideSprite, x), spriteCoordinate(kWideSprite, y));
    glMultiTexCoord2f(GL_TEXTURE3, spriteCoordinate(kNarrowSprite, x), spriteCoordinate(kNarrowSprite, y));
    glVertex3f(static_cast<GLfloat>(x), static_cast<GLfloat>(y), 0.0f);
}

CompositeLayersProgram buildProgram(bool sprites) {
    CompositeLayersProgram result;
    const std::string source = std::string("#version 120\n") + (sprites ? "#define SPRITES\n" : "") + kFragmentSource;
    GLuint shader = 0, program = 0;
    const bool built = compileShader(GL_FRAGMENT_SHADER, source, shader) && linkProgram(program, 0, shader, false);
    if (!built) {
        std::string log = infoLog(shader, false);
        if (log.empty() && program) log = infoLog(program, true);
        std::fprintf(stderr, "the composite program does not build; only the scene is composited:\n%s\n", log.c_str());
        glDeleteShader(shader);
        glDeleteProgram(program);
        return result;
    }
    glDeleteShader(shader);  // freed with the program
    result.program = program;
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "scene"), 0);
    glUniform1i(glGetUniformLocation(program, "glow"), 1);
    glUniform1i(glGetUniformLocation(program, "sprite"), 2);
    glUseProgram(0);
    result.sceneWeight = glGetUniformLocation(program, "sceneWeight");
    result.glowWeight = glGetUniformLocation(program, "glowWeight");
    result.wideSpriteWeight = glGetUniformLocation(program, "wideSpriteWeight");
    result.narrowSpriteWeight = glGetUniformLocation(program, "narrowSpriteWeight");
    return result;
}

}  // namespace

CompositeProgram createCompositeProgram() {
    CompositeProgram result{buildProgram(false), buildProgram(true)};
    if (!result.withoutSprites.program || !result.withSprites.program) {
        glDeleteProgram(result.withoutSprites.program);
        glDeleteProgram(result.withSprites.program);
        result = {};
    }
    return result;
}

void drawComposite(const CompositeProgram& program, int screenCopyMode, const CompositeLayers& layers) {
    const TextureRange crop = cropRange(800, screenCopyMode);
    const GLfloat s = static_cast<GLfloat>(crop.s), t = static_cast<GLfloat>(crop.t);

    glBindTexture(GL_TEXTURE_2D, layers.sceneTexture);
    if (!program.withSprites.program) {
        glEnable(GL_TEXTURE_2D);
        glColor3f(layers.sceneWeight[0], layers.sceneWeight[1], layers.sceneWeight[2]);
        glPushMatrix();
        cropBillboard(800, screenCopyMode, 0.0, kSceneHalf, kSceneHalf);
        glPopMatrix();
        return;
    }
    const bool sprites = any(layers.wideSpriteWeight) || any(layers.narrowSpriteWeight);
    const CompositeLayersProgram& p = sprites ? program.withSprites : program.withoutSprites;
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, layers.glowTexture);
    if (sprites) {
        glActiveTexture(GL_TEXTURE2);
        glBindTexture(GL_TEXTURE_2D, layers.spriteTexture);
    }
    glActiveTexture(GL_TEXTURE0);
    glUseProgram(p.program);
    clampedUniform(p.sceneWeight, layers.sceneWeight);
    clampedUniform(p.glowWeight, layers.glowWeight);
    if (sprites) {
        clampedUniform(p.wideSpriteWeight, layers.wideSpriteWeight);
        clampedUniform(p.narrowSpriteWeight, layers.narrowSpriteWeight);
    }

    glPushMatrix();
    faceTheScreen(kSceneHalf, kSceneHalf);
    // The corners in the billboards' order, so that the square splits into the same triangles.
    glBegin(GL_QUADS);
    corner(-1, -1, s, t);
    corner(1, -1, s, t);
    corner(1, 1, s, t);
    corner(-1, 1, s, t);
    glEnd();

    if (sprites) {
        static constexpr float kNone[3] = {0, 0, 0};
        clampedUniform(p.sceneWeight, kNone);
        clampedUniform(p.glowWeight, kNone);
        glEnable(GL_BLEND);
        glBlendFunc(GL_ONE, GL_ONE);
        glBegin(GL_QUADS);
        corner(-1, 1, s, t);
        corner(1, 1, s, t);
        corner(1, kStripTop, s, t);
        corner(-1, kStripTop, s, t);
        glEnd();
        glDisable(GL_BLEND);
    }
    glPopMatrix();
    glUseProgram(0);
}

}  // namespace ostravel
