#include "tools/preview/shader_watch.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "render/shader_bank.h"

namespace ostravel {

namespace {

WatchedShader::Look look(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    return {st.st_mtim, st.st_size, st.st_ino, S_ISREG(st.st_mode)};
}

// The whole file; false when it cannot be read.
bool readText(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::stringstream all;
    all << file.rdbuf();
    if (file.bad()) return false;
    text = all.str();
    return true;
}

}  // namespace

bool WatchedShader::Look::operator==(const Look& o) const {
    return modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec && size == o.size &&
           file == o.file && regular == o.regular;
}

std::vector<WatchedShader> showShaders(int projectionSlot, int blurSlot) {
    return {
        {"vertex_projection_anisotropic.cpp", projectionSlot, kVertexProfile, {}, {}, {}},
        {"fragment_projection_anisotropic.cpp", projectionSlot + 1, kFragmentProfile, {}, {}, {}},
        {"fragment_Blur256.cpp", blurSlot, kFragmentProfile, {}, {}, {}},
    };
}

ShaderWatch::ShaderWatch(std::string folder, std::vector<WatchedShader> shaders, const std::string& showFolder)
    : folder_(std::move(folder)), shaders_(std::move(shaders)) {
    for (WatchedShader& shader : shaders_) {
        readText(showFolder + "/" + shader.name, shader.inUse);
        shader.seen.size = -1;  // never matches a real look: the first poll reads every file
    }
}

bool ShaderWatch::poll(ShaderBank& bank) {
    bool changed = false;
    for (WatchedShader& shader : shaders_) {
        const std::string path = folder_ + "/" + shader.name;
        const WatchedShader::Look now = look(path);
        if (now == shader.seen) continue;
        shader.seen = now;
        std::string problem;
        std::string source;
        if (now.file == 0) problem = "missing";
        else if (!now.regular) problem = "not a plain file";
        else if (!readText(path, source)) problem = "cannot be read";
        else if (source != shader.inUse) {
            std::string log;
            if (reloadProgram(bank, shader.slot, shader.profile, source, log)) {
                shader.inUse = std::move(source);
                changed = true;
            } else {
                problem = log.empty() ? "does not compile" : log;
            }
        }
        while (!problem.empty() && problem.back() == '\n') problem.pop_back();
        if (!problem.empty() && problem != shader.problem)
            std::fprintf(stderr, "%s: the program in use stays:\n%s\n", path.c_str(), problem.c_str());
        if (problem.empty() && !shader.problem.empty()) std::fprintf(stderr, "%s: compiles again\n", path.c_str());
        shader.problem = std::move(problem);
    }
    return changed;
}

}  // namespace ostravel
