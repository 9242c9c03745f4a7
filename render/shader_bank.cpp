#include "render/shader_bank.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/gl.h"
#include "render/render_context.h"

namespace ostravel {

std::string infoLog(GLuint object, bool isProgram) {
    GLint length = 0;
    if (isProgram) glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length);
    else glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(size_t(length > 0 ? length : 1), '\0');
    if (isProgram) glGetProgramInfoLog(object, length, nullptr, log.data());
    else glGetShaderInfoLog(object, length, nullptr, log.data());
    log.resize(std::strlen(log.c_str()));
    return log;
}

bool compileShader(GLenum stage, const std::string& source, GLuint& shader) {
    const char* sources[1] = {source.c_str()};
    shader = glCreateShader(stage);
    glShaderSource(shader, 1, sources, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    return compiled == GL_TRUE;
}

bool linkProgram(GLuint& program, GLuint vertexShader, GLuint fragmentShader, bool separable) {
    program = glCreateProgram();
    if (separable) glProgramParameteri(program, GL_PROGRAM_SEPARABLE, GL_TRUE);
    if (vertexShader) glAttachShader(program, vertexShader);
    if (fragmentShader) glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    return linked == GL_TRUE;
}

namespace {

bool validSlot(int slot) { return slot >= 0 && slot < kProgramSlots; }
bool validParameterSlot(int slot) { return slot >= 0 && slot < kParameterSlots; }

ShaderProgramRecord* programRecord(ShaderBank& bank, uint32_t handle) {
    return handle != 0 && handle <= bank.records.size() ? &bank.records[handle - 1] : nullptr;
}

uint32_t programOfSlot(const ShaderBank& bank, int slot) { return validSlot(slot) ? bank.programs[size_t(slot)] : 0; }

ShaderParameterRecord* parameterOfSlot(ShaderBank& bank, int slot, int parameterSlot) {
    if (!validSlot(slot) || !validParameterSlot(parameterSlot)) return nullptr;
    const uint32_t handle = bank.parameters[size_t(slot)][size_t(parameterSlot)];
    return handle != 0 && handle <= bank.parameterRecords.size() ? &bank.parameterRecords[handle - 1] : nullptr;
}

void logOnce(ShaderBank& bank, const std::string& what, const char* kind, GLuint object, bool isProgram) {
    if (!bank.logged.insert(what).second) return;
    std::fprintf(stderr, "%s: %s\n%s\n", what.c_str(), kind, infoLog(object, isProgram).c_str());
}

// Zero when the file cannot be read or does not compile.
uint32_t createProgram(ShaderBank& bank, const char* path, int slot, GLenum stage) {
    if (!validSlot(slot)) return 0;
    uint32_t handle = 0;
    std::ifstream file(path ? path : "", std::ios::binary);
    if (file) {
        std::stringstream text;
        text << file.rdbuf();
        GLuint shader = 0;
        if (compileShader(stage, text.str(), shader)) {
            ShaderProgramRecord record;
            record.shader = shader;
            record.stage = stage;
            record.path = path;
            bank.records.push_back(std::move(record));
            handle = uint32_t(bank.records.size());
        } else {
            logOnce(bank, path, "the shader does not compile", shader, false);
            glDeleteShader(shader);
        }
    }
    bank.programs[size_t(slot)] = handle;
    return handle;
}

// A GL program of the given stages; 0 (with the log printed once) when it does not link.
// A separable program keeps every output of its stage, and so every uniform feeding one.
GLuint link(ShaderBank& bank, const ShaderProgramRecord* vertex, const ShaderProgramRecord* fragment,
            bool separable = false) {
    GLuint program = 0;
    if (linkProgram(program, vertex ? vertex->shader : 0, fragment ? fragment->shader : 0, separable)) return program;
    const std::string what = (vertex ? vertex->path : std::string("fixed-function vertex stage")) + " + " +
                             (fragment ? fragment->path : std::string("fixed-function fragment stage"));
    logOnce(bank, what, "the programs do not link", program, true);
    glDeleteProgram(program);
    return 0;
}

// The program holding only this stage, linked separable: where its parameters are found (linked
// alone but not separable, a vertex stage would lose the uniforms that feed only its varyings).
GLuint aloneProgram(ShaderBank& bank, uint32_t handle) {
    ShaderProgramRecord* record = programRecord(bank, handle);
    if (!record) return 0;
    if (!record->aloneTried) {
        record->aloneTried = true;
        const bool vertex = record->stage == GL_VERTEX_SHADER;
        record->alone = link(bank, vertex ? record : nullptr, vertex ? nullptr : record, true);
    }
    return record->alone;
}

// The same name in the same program is the same parameter (the blur pass looks its sampler up
// every frame): each is looked up in GL once, found or not.
uint32_t parameterHandle(ShaderBank& bank, uint32_t program, const char* name) {
    for (size_t i = 0; i < bank.parameterRecords.size(); ++i) {
        const ShaderParameterRecord& p = bank.parameterRecords[i];
        if (p.program == program && p.name == name) return p.found ? uint32_t(i + 1) : 0;
    }
    const GLuint alone = aloneProgram(bank, program);
    ShaderParameterRecord p;
    p.program = program;
    p.name = name;
    p.found = alone != 0 && glGetUniformLocation(alone, name) >= 0;
    bank.parameterRecords.push_back(std::move(p));
    return bank.parameterRecords.back().found ? uint32_t(bank.parameterRecords.size()) : 0;
}

void upload(const LinkedShaderPair& pair, GLint location, const ShaderParameterRecord& p) {
    if (location < 0 || pair.program == 0) return;
    switch (p.kind) {
    case ShaderParameterRecord::Float3: glProgramUniform3fv(pair.program, location, 1, p.value); break;
    case ShaderParameterRecord::Matrix: glProgramUniformMatrix4fv(pair.program, location, 1, GL_FALSE, p.value); break;
    case ShaderParameterRecord::Texture: glProgramUniform1i(pair.program, location, 0); break;
    case ShaderParameterRecord::None: break;
    }
}

GLint locationIn(LinkedShaderPair& pair, const ShaderBank& bank, size_t parameter) {
    if (pair.locations.size() < bank.parameterRecords.size()) pair.locations.resize(bank.parameterRecords.size(), -2);
    GLint& location = pair.locations[parameter];
    if (location == -2)
        location = pair.program ? glGetUniformLocation(pair.program, bank.parameterRecords[parameter].name.c_str()) : -1;
    return location;
}

// Hands the parameter's stored value to every linked program that contains its program.
void publish(ShaderBank& bank, ShaderParameterRecord& p) {
    const size_t index = size_t(&p - bank.parameterRecords.data());
    for (LinkedShaderPair& pair : bank.pairs) {
        if (pair.vertex != p.program && pair.fragment != p.program) continue;
        upload(pair, locationIn(pair, bank, index), p);
    }
}

LinkedShaderPair& linkedPair(ShaderBank& bank, uint32_t vertex, uint32_t fragment) {
    for (LinkedShaderPair& pair : bank.pairs)
        if (pair.vertex == vertex && pair.fragment == fragment) return pair;
    LinkedShaderPair pair;
    pair.vertex = vertex;
    pair.fragment = fragment;
    pair.program = link(bank, programRecord(bank, vertex), programRecord(bank, fragment));
    bank.pairs.push_back(std::move(pair));
    LinkedShaderPair& stored = bank.pairs.back();
    // A pair linked now starts with the values its programs were given before.
    for (size_t i = 0; i < bank.parameterRecords.size(); ++i) {
        const ShaderParameterRecord& p = bank.parameterRecords[i];
        if (p.kind != ShaderParameterRecord::None && (p.program == vertex || p.program == fragment))
            upload(stored, locationIn(stored, bank, i), p);
    }
    return stored;
}

// The GL contexts of the show keep their own bound programs and profile switches.
ShaderContextState& currentState(ShaderBank& bank) {
    const void* context = currentGLContext();
    for (ShaderContextState& state : bank.contextStates)
        if (state.glContext == context) return state;
    ShaderContextState state;
    state.glContext = context;
    bank.contextStates.push_back(state);
    return bank.contextStates.back();
}

// Makes the GL program of the enabled stages current, when it differs from the last one.
void applyStages(ShaderBank& bank, ShaderContextState& state) {
    const uint32_t vertex = state.vertexOn ? state.vertex : 0;
    const uint32_t fragment = state.fragmentOn ? state.fragment : 0;
    const GLuint program = (vertex || fragment) ? linkedPair(bank, vertex, fragment).program : 0;
    if (program == state.inUse) return;
    glUseProgram(program);
    state.inUse = program;
}

void setProfile(ShaderBank& bank, bool vertexStage, bool on) {
    ShaderContextState& state = currentState(bank);
    (vertexStage ? state.vertexOn : state.fragmentOn) = on;
    applyStages(bank, state);
}

void loadProgram(ShaderBank& bank, int slot, bool vertexStage) {
    const uint32_t handle = programOfSlot(bank, slot);
    aloneProgram(bank, handle);  // the lone program is what parameters are found in
    setProfile(bank, vertexStage, true);
}

void setStateMatrix(ShaderBank& bank, int slot, int parameterSlot, const float (&m)[16]) {
    ShaderParameterRecord* p = parameterOfSlot(bank, slot, parameterSlot);
    if (!p) return;
    p->kind = ShaderParameterRecord::Matrix;
    std::memcpy(p->value, m, sizeof m);
    publish(bank, *p);
}

}  // namespace

void createContext(ShaderBank& bank) {
    bank.vertexProfile = kVertexProfile;
    bank.fragmentProfile = kFragmentProfile;
    bank.context = ++bank.contextsCreated;
}

uint32_t createVertexProgram(ShaderBank& bank, const char* path, int slot) {
    return createProgram(bank, path, slot, GL_VERTEX_SHADER);
}

uint32_t createFragmentProgram(ShaderBank& bank, const char* path, int slot) {
    return createProgram(bank, path, slot, GL_FRAGMENT_SHADER);
}

uint32_t lookupParameter(ShaderBank& bank, int slot, int parameterSlot, const char* name) {
    if (!validSlot(slot) || !validParameterSlot(parameterSlot)) return 0;
    const uint32_t program = bank.programs[size_t(slot)];
    const uint32_t handle = program != 0 ? parameterHandle(bank, program, name) : 0;
    bank.parameters[size_t(slot)][size_t(parameterSlot)] = handle;
    return handle;
}

void setModelViewProjectionParameter(ShaderBank& bank, int slot, int parameterSlot) {
    if (!parameterOfSlot(bank, slot, parameterSlot)) return;
    float modelView[16], projection[16], product[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += projection[k * 4 + row] * modelView[column * 4 + k];
            product[column * 4 + row] = sum;
        }
    setStateMatrix(bank, slot, parameterSlot, product);
}

void setTextureMatrixParameter(ShaderBank& bank, int slot, int parameterSlot) {
    if (!parameterOfSlot(bank, slot, parameterSlot)) return;
    float texture[16];
    glGetFloatv(GL_TEXTURE_MATRIX, texture);
    setStateMatrix(bank, slot, parameterSlot, texture);
}

void loadVertexProgram(ShaderBank& bank, int slot) { loadProgram(bank, slot, true); }

void loadFragmentProgram(ShaderBank& bank, int slot) { loadProgram(bank, slot, false); }

void bindProgram(ShaderBank& bank, int slot) {
    const ShaderProgramRecord* record = programRecord(bank, programOfSlot(bank, slot));
    if (!record) return;
    ShaderContextState& state = currentState(bank);
    (record->stage == GL_VERTEX_SHADER ? state.vertex : state.fragment) = programOfSlot(bank, slot);
    applyStages(bank, state);
}

bool reloadProgram(ShaderBank& bank, int slot, int profile, const std::string& source, std::string& log) {
    log.clear();
    if (!validSlot(slot)) return false;
    const GLenum stage = profile == kVertexProfile ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER;
    GLuint shader = 0;
    if (!compileShader(stage, source, shader)) {
        log = infoLog(shader, false);
        if (log.empty()) log = "the shader does not compile";
        glDeleteShader(shader);
        return false;
    }
    // An empty or main-less source compiles; only linking tells. The lone program made here is
    // the one the parameters are found in.
    const bool vertex = stage == GL_VERTEX_SHADER;
    GLuint alone = 0;
    if (!linkProgram(alone, vertex ? shader : 0, vertex ? 0 : shader, true)) {
        log = infoLog(alone, true);
        if (log.empty()) log = "the shader does not link";
        glDeleteProgram(alone);
        glDeleteShader(shader);
        return false;
    }

    const uint32_t replaced = bank.programs[size_t(slot)];
    ShaderProgramRecord record;
    record.shader = shader;
    record.stage = stage;
    record.alone = alone;
    record.aloneTried = true;
    if (const ShaderProgramRecord* previous = programRecord(bank, replaced)) record.path = previous->path;
    bank.records.push_back(std::move(record));
    const uint32_t handle = uint32_t(bank.records.size());
    bank.programs[size_t(slot)] = handle;

    for (uint32_t& parameter : bank.parameters[size_t(slot)]) {
        if (parameter == 0 || parameter > bank.parameterRecords.size()) continue;
        const ShaderParameterRecord before = bank.parameterRecords[parameter - 1];
        parameter = parameterHandle(bank, handle, before.name.c_str());
        if (parameter == 0) continue;
        ShaderParameterRecord& after = bank.parameterRecords[parameter - 1];
        after.kind = before.kind;
        std::memcpy(after.value, before.value, sizeof after.value);
        after.texture = before.texture;
        publish(bank, after);
    }
    return true;
}

void setParameter3(ShaderBank& bank, int slot, int parameterSlot, float x, float y, float z) {
    ShaderParameterRecord* p = parameterOfSlot(bank, slot, parameterSlot);
    if (!p) return;
    p->kind = ShaderParameterRecord::Float3;
    p->value[0] = x, p->value[1] = y, p->value[2] = z;
    publish(bank, *p);
}

void enableVertexProfile(ShaderBank& bank) { setProfile(bank, true, true); }
void enableFragmentProfile(ShaderBank& bank) { setProfile(bank, false, true); }
void disableVertexProfile(ShaderBank& bank) { setProfile(bank, true, false); }
void disableFragmentProfile(ShaderBank& bank) { setProfile(bank, false, false); }

void setUpProjectivePrograms(RenderContext& ctx, const char* vertexPath, const char* fragmentPath,
                             int depthTextureSlot, int depthSize, int slot) {
    TextureBank& textures = ctx.textures;
    glActiveTexture(GL_TEXTURE0);
    const int depthIndex = resolveSlot(textures, depthTextureSlot);
    GLuint depthTexture = 0;
    glGenTextures(1, &depthTexture);
    if (depthIndex >= 0) textures.names[size_t(depthIndex)] = depthTexture;
    glBindTexture(GL_TEXTURE_2D, depthTexture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, 0, 0, depthSize, depthSize, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE, GL_LUMINANCE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);

    ShaderBank& bank = ctx.shaders;
    createContext(bank);
    createVertexProgram(bank, vertexPath, slot);
    createFragmentProgram(bank, fragmentPath, slot + 1);
    lookupParameter(bank, slot, 5, "ModelViewProj");
    lookupParameter(bank, slot, 6, "ModelViewLightProj");
    lookupParameter(bank, slot, 14, "ModelViewObject");
    loadVertexProgram(bank, slot);
    loadFragmentProgram(bank, slot + 1);
    disableFragmentProfile(bank);
    disableVertexProfile(bank);
}

void setUpBlurProgram(ShaderBank& bank, const char* fragmentPath, int slot) {
    createContext(bank);
    enableFragmentProfile(bank);
    createFragmentProgram(bank, fragmentPath, slot);
    loadFragmentProgram(bank, slot);
    disableFragmentProfile(bank);
    disableVertexProfile(bank);
}

void bindBlurTextures(RenderContext& ctx, int slot, int textureSlot) {
    ShaderBank& bank = ctx.shaders;
    disableVertexProfile(bank);
    disableFragmentProfile(bank);
    enableFragmentProfile(bank);
    bindProgram(bank, slot);
    lookupParameter(bank, slot, 7, "decal");
    ShaderParameterRecord* decal = parameterOfSlot(bank, slot, 7);
    if (!decal) return;
    decal->texture = textureName(ctx.textures, textureSlot);
    if (decal->kind != ShaderParameterRecord::Texture) {
        decal->kind = ShaderParameterRecord::Texture;
        publish(bank, *decal);
    }
    // Enabling the sampler binds its texture to the unit it reads.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, decal->texture);
}

void disableProfiles(ShaderBank& bank) {
    disableFragmentProfile(bank);
    disableVertexProfile(bank);
}

void resetDrawState() {
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHT0);
    glDisable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glDisable(GL_FOG);
}

}  // namespace ostravel
