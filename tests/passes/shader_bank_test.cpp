// The ShaderBank on real GL: set-ups, empty slots, broken sources and the blur program's sampler.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "assets/texture_bank.h"
#include "passes_fixture.h"
#include "render/shader_bank.h"

using namespace ostravel;
using namespace ostravel::testing;

namespace {

constexpr const char* kVertex = SHADER_DIR "/vertex_projection_anisotropic.cpp";
constexpr const char* kFragment = SHADER_DIR "/fragment_projection_anisotropic.cpp";
constexpr const char* kBlur = SHADER_DIR "/fragment_Blur256.cpp";

GLint currentProgram() {
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    return program;
}

using Bank = PassTest;

// The Demo's order: the projective pair, then the blur program under a second context.
TEST_F(Bank, TwoSetUpsInARow) {
    ShaderBank& bank = ctx->shaders;
    bank.vertexProfile = bank.fragmentProfile = 0;
    setUpProjectivePrograms(*ctx, kVertex, kFragment, 5, 32, 2);
    EXPECT_EQ(bank.vertexProfile, kVertexProfile);
    EXPECT_EQ(bank.fragmentProfile, kFragmentProfile);
    const uint32_t first = bank.context;
    setUpBlurProgram(bank, kBlur, 0);
    EXPECT_NE(bank.context, first);
    EXPECT_NE(bank.context, 0u);
    EXPECT_EQ(currentProgram(), 0) << "both set-ups leave the profiles disabled";
    for (int parameter : {5, 6, 14}) EXPECT_NE(bank.parameters[2][size_t(parameter)], 0u) << parameter;
    for (int slot : {0, 2, 3}) EXPECT_NE(bank.programs[size_t(slot)], 0u) << slot;

    // The first context's pair still binds and runs as one program of both stages.
    bindProgram(bank, 2);
    bindProgram(bank, 3);
    enableVertexProfile(bank);
    enableFragmentProfile(bank);
    const GLint pair = currentProgram();
    ASSERT_NE(pair, 0);
    GLint stages = 0;
    glGetProgramiv(GLuint(pair), GL_ATTACHED_SHADERS, &stages);
    EXPECT_EQ(stages, 2);
    // Only the fragment stage: the blur program bound in its place runs alone.
    disableVertexProfile(bank);
    bindProgram(bank, 0);
    glGetProgramiv(GLuint(currentProgram()), GL_ATTACHED_SHADERS, &stages);
    EXPECT_EQ(stages, 1);
    disableProfiles(bank);
    EXPECT_EQ(currentProgram(), 0);
}

// Every operation on an empty slot, or on one whose file is missing, leaves the fixed-function
// stages drawing, without a GL error or a message.
TEST_F(Bank, EmptySlotsAreHarmless) {
    ShaderBank& bank = ctx->shaders;
    ::testing::internal::CaptureStderr();
    createContext(bank);
    EXPECT_EQ(createVertexProgram(bank, "cgeffects/missing.cpp", 4), 0u);
    EXPECT_EQ(createFragmentProgram(bank, "cgeffects/missing.cpp", 5), 0u);
    for (int slot : {4, 5, 9, -1, 1000}) {
        EXPECT_EQ(lookupParameter(bank, slot, 1, "CameraPos"), 0u);
        setParameter3(bank, slot, 1, 1, 2, 3);
        setModelViewProjectionParameter(bank, slot, 5);
        setTextureMatrixParameter(bank, slot, 6);
        bindProgram(bank, slot);
        loadVertexProgram(bank, slot);
        loadFragmentProgram(bank, slot);
    }
    setUpBlurProgram(bank, "cgeffects/missing.cpp", 6);
    bindBlurTextures(*ctx, 6, 1);
    enableVertexProfile(bank);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(currentProgram(), 0);

    glViewport(0, 0, 8, 8);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glColor3f(0, 1, 0);
    glRecti(-1, -1, 1, 1);
    unsigned char pixel[4] = {};
    glReadPixels(2, 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[1], 255);
    EXPECT_EQ(pixel[0], 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    disableProfiles(bank);
}

TEST_F(Bank, BrokenShaderIsLoggedOnce) {
    std::filesystem::create_directories(SCRATCH_DIR);
    const std::string path = SCRATCH_DIR "/broken.cpp";
    std::ofstream(path) << "#version 120\nvoid main() { gl_FragColor = undefinedThing; }\n";
    ShaderBank& bank = ctx->shaders;
    ::testing::internal::CaptureStderr();
    setUpBlurProgram(bank, path.c_str(), 0);
    setUpBlurProgram(bank, path.c_str(), 0);
    bindBlurTextures(*ctx, 0, 1);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(bank.programs[0], 0u);
    EXPECT_EQ(currentProgram(), 0);
    const size_t first = log.find(path);
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_EQ(log.find(path, first + 1), std::string::npos) << log;
    EXPECT_NE(log.find("undefinedThing"), std::string::npos) << "the compiler's own log: " << log;
    disableProfiles(bank);
}

// bindBlurTextures: the blur program runs with "decal" reading the glow texture, looked up on
// every call, and the fragment profile stays enabled.
TEST_F(Bank, DecalReadsTheGlowTexture) {
    createRenderTarget(ctx->textures, 1, 128, 128);
    createRenderTarget(ctx->textures, 3, 64, 64);
    ShaderBank& bank = ctx->shaders;
    setUpBlurProgram(bank, kBlur, 0);
    for (int slot : {1, 3}) {
        SCOPED_TRACE(slot);
        bank.parameters[0][7] = 0;
        glBindTexture(GL_TEXTURE_2D, 0);
        bindBlurTextures(*ctx, 0, slot);
        EXPECT_NE(bank.parameters[0][7], 0u);
        const GLint program = currentProgram();
        ASSERT_NE(program, 0);
        GLint unit = -1, bound = 0, active = 0;
        glGetUniformiv(GLuint(program), glGetUniformLocation(GLuint(program), "decal"), &unit);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glActiveTexture(GLenum(active));
        EXPECT_EQ(GLuint(bound), name(slot));
    }
    disableProfiles(bank);
}

}  // namespace
