// ShaderBank: the table of shader programs addressed by program slot (0..999) and parameter slot
// (0..15), with the two composite set-ups the Demo runs once at start.
//
// A "program" is a GLSL shader of one stage; a zero handle means an empty slot, and every
// operation accepts empty slots and draws with the fixed-function stage instead.
#pragma once

#include <array>
#include <cstdint>

namespace ostravel {

struct RenderContext;

constexpr int kProgramSlots = 1000;
constexpr int kParameterSlots = 16;
constexpr int kVertexProfile = 6150;    // arbvp1
constexpr int kFragmentProfile = 7000;  // arbfp1

struct ShaderBank {
    uint32_t context = 0;
    std::array<uint32_t, kProgramSlots> programs{};
    std::array<std::array<int32_t, kParameterSlots>, kProgramSlots> parameters{};
    int vertexProfile = kVertexProfile;
    int fragmentProfile = kFragmentProfile;
};

// The model of the pass (into the context's mesh slot), its depth texture of depthSize x
// depthSize in depthTextureSlot, and the projective pair (vertex program in slot, fragment
// program in slot + 1) in the context's ShaderBank.
void setUpProjectivePrograms(RenderContext& ctx, const char* vertexPath, const char* fragmentPath,
                             const char* meshPath, int meshSlot, int depthTextureSlot, int depthSize, int slot);
void setUpBlurProgram(ShaderBank& bank, const char* fragmentPath, int slot);
// Back to the fixed-function stages.
void disableProfiles(ShaderBank& bank);

}  // namespace ostravel
