// ShaderBank: the table of shader programs addressed by program slot (0..999) and parameter slot
// (0..15), the thin operations on it, the two set-ups the Demo runs once at start, the binding of
// the blur program's texture and the drawing-state reset of the scenes.
//
// How the bank's words map onto GLSL (GL 2.0 shader objects, compatibility profile):
// - A "program" is one GLSL shader of one stage, compiled from its source file when it is
//   created. Its handle is the bank's own number (1, 2, ...); 0 means an empty slot.
// - Each GL context keeps its own bound vertex and fragment program and its own two profile
//   switches, as the contexts of the Pbuffer keep their own state. Enabling a profile makes the
//   bound program of that stage active in the current context; a disabled profile, or one with
//   nothing bound, runs the fixed-function stage there.
// - The active pair is linked into one GL program (linked once, on first use, and cached); a lone
//   fragment program runs with the fixed-function vertex stage, a lone vertex program with the
//   fixed-function fragment stage.
// - A "context" is a generation of the bank: createContext stores a new number and replaces the
//   stored one; programs created under any generation stay usable.
// - A parameter is a uniform of the program's stage, found by name among its active uniforms
//   (GLSL drops uniforms a program does not use: looking one of those up gives 0). Values
//   belong to the program, as Cg's do: every linked GL program containing the stage gets them,
//   and a pair linked later starts with them.
// - State matrices are taken from the current GL matrices at the moment of the call:
//   "ModelViewProj" = projection x modelview, "ModelViewLightProj" = the texture matrix.
// - A texture parameter reads texture unit 0: enabling it binds the texture there.
//
// Failures: a missing or broken source leaves a zero slot; every later operation on it does
// nothing (the fixed-function stage draws). The compile or link log of a broken shader goes to
// standard error once per file (or pair); a missing file prints nothing.
//
// Live changes (the preview): reloadProgram puts a program made from new source into a slot only
// when the source compiles and links on its own; otherwise the slot keeps the program it has
// and the log comes back to the caller. The replaced program stays valid under its handle.
#pragma once

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace ostravel {

struct RenderContext;

constexpr int kProgramSlots = 1000;
constexpr int kParameterSlots = 16;
constexpr int kVertexProfile = 6150;    // arbvp1
constexpr int kFragmentProfile = 7000;  // arbfp1

// Below this line: the bank's records behind the handles (not for callers).
struct ShaderProgramRecord {
    unsigned shader = 0;       // GL shader object
    unsigned stage = 0;        // GL_VERTEX_SHADER or GL_FRAGMENT_SHADER
    unsigned alone = 0;        // GL program holding only this stage (0: not linked yet)
    bool aloneTried = false;
    std::string path;
};

struct ShaderParameterRecord {
    uint32_t program = 0;      // handle of the program it belongs to
    std::string name;
    bool found = false;        // an active uniform of the program
    enum Kind : uint8_t { None, Float3, Matrix, Texture } kind = None;
    float value[16] = {};
    unsigned texture = 0;
};

struct LinkedShaderPair {
    uint32_t vertex = 0, fragment = 0;  // program handles (0: fixed-function stage)
    unsigned program = 0;               // GL program, 0 when it does not link
    std::vector<int> locations;         // per parameter record; -2 = not looked up yet
};

struct ShaderContextState {
    const void* glContext = nullptr;
    uint32_t vertex = 0, fragment = 0;  // bound programs
    bool vertexOn = false, fragmentOn = false;
    unsigned inUse = ~0u;               // the GL program made current last (~0: not known)
};

struct ShaderBank {
    uint32_t context = 0;
    std::array<uint32_t, kProgramSlots> programs{};
    std::array<std::array<uint32_t, kParameterSlots>, kProgramSlots> parameters{};
    int vertexProfile = kVertexProfile;
    int fragmentProfile = kFragmentProfile;

    uint32_t contextsCreated = 0;
    std::vector<ShaderProgramRecord> records;
    std::vector<ShaderParameterRecord> parameterRecords;
    std::vector<LinkedShaderPair> pairs;
    std::vector<ShaderContextState> contextStates;
    std::set<std::string> logged;  // files and pairs whose log has been printed
};

// GLSL building blocks (GL enums and names as unsigned). A shader object of the stage from the
// source, false (the object kept for its log) when it does not compile; a new program of the
// given shaders (0: that stage fixed-function), false (kept for its log) when they do not link;
// the info log of a shader or program object.
bool compileShader(unsigned stage, const std::string& source, unsigned& shader);
bool linkProgram(unsigned& program, unsigned vertexShader, unsigned fragmentShader, bool separable);
std::string infoLog(unsigned object, bool isProgram);

// Thin operations. The create and lookup operations return the handle they stored.
void createContext(ShaderBank& bank);
uint32_t createVertexProgram(ShaderBank& bank, const char* path, int slot);
uint32_t createFragmentProgram(ShaderBank& bank, const char* path, int slot);
uint32_t lookupParameter(ShaderBank& bank, int slot, int parameterSlot, const char* name);
void setModelViewProjectionParameter(ShaderBank& bank, int slot, int parameterSlot);
void setTextureMatrixParameter(ShaderBank& bank, int slot, int parameterSlot);
// Enables the profile of the program's stage (even for an empty slot) and readies the program.
void loadVertexProgram(ShaderBank& bank, int slot);
void loadFragmentProgram(ShaderBank& bank, int slot);
void bindProgram(ShaderBank& bank, int slot);
// A new program of the stage (kVertexProfile or kFragmentProfile) from source, in place of the
// slot's: the slot's parameters are looked up again by name in it and keep their values. It is
// in use once the slot is bound again (the passes bind their slots every frame). False (slot
// unchanged, `log` the compiler's or linker's words) when it does not compile or link.
bool reloadProgram(ShaderBank& bank, int slot, int profile, const std::string& source, std::string& log);
void setParameter3(ShaderBank& bank, int slot, int parameterSlot, float x, float y, float z);
void enableVertexProfile(ShaderBank& bank);
void enableFragmentProfile(ShaderBank& bank);
void disableVertexProfile(ShaderBank& bank);
void disableFragmentProfile(ShaderBank& bank);

// The pass's depth texture of depthSize x depthSize in depthTextureSlot (allocated from the
// current depth buffer) and the projective pair (vertex program in slot, fragment program in
// slot + 1) in the context's ShaderBank. Leaves both profiles disabled. (The model the pass
// projects onto is built by the caller, before this.)
void setUpProjectivePrograms(RenderContext& ctx, const char* vertexPath, const char* fragmentPath,
                             int depthTextureSlot, int depthSize, int slot);
// A new context generation and the lone fragment program in slot; leaves both profiles disabled.
void setUpBlurProgram(ShaderBank& bank, const char* fragmentPath, int slot);
// Blur program of slot active with its "decal" sampler (looked up again on every call) reading
// the texture of textureSlot. Leaves the fragment profile enabled and the program bound.
void bindBlurTextures(RenderContext& ctx, int slot, int textureSlot);
// Back to the fixed-function stages: fragment profile off, then vertex profile off.
void disableProfiles(ShaderBank& bank);
// Blending, lighting, colour material, light 0 and 2-D texturing off, colour white, fog off.
void resetDrawState();

}  // namespace ostravel
