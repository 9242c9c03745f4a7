// Probes for long unattended runs of the capture tool: the process's resident size, and a count
// of the GL errors both of the show's contexts raise (KHR_debug).
//
// GlErrorProbe wraps the real window system: it asks for debug contexts and, as soon as each of
// the two contexts exists, installs a debug-output callback that counts the messages of type
// GL_DEBUG_TYPE_ERROR (printing the first few to standard error). Errors raised before a
// callback is in place (the off-screen surface's own set-up) wait in the context's message log,
// which is drained and counted when the callback goes in.
#pragma once

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/gl.h"
#include "platform/window.h"

namespace ostravel {

// VmRSS of this process in kB (0 when /proc cannot be read).
inline long residentKilobytes() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    long kb = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmRSS:", 6) == 0) kb = std::atol(line + 6);
    std::fclose(status);
    return kb;
}

// Bytes the C library's allocator hands out right now (all arenas, mapped blocks included), in
// kB: what the process holds through malloc and new, without the allocator's free space.
inline long mallocInUseKilobytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

class GlErrorProbe : public WindowSystem {
public:
    explicit GlErrorProbe(WindowSystem& inner) : inner_(inner) {}
    long errors() const { return errors_; }
    int contexts() const { return contexts_; }

    bool startUp() override { return inner_.startUp(); }
    bool changeDisplayMode(int w, int h, int bits) override { return inner_.changeDisplayMode(w, h, bits); }
    void restoreDisplayMode() override { inner_.restoreDisplayMode(); }
    void showCursor(bool shown) override { inner_.showCursor(shown); }
    WindowFailure createWindow(const WindowRequest& request) override {
        WindowRequest debugging = request;
        debugging.debugContexts = true;
        const WindowFailure failure = inner_.createWindow(debugging);
        if (failure == WindowFailure::None) watchCurrentContext();
        return failure;
    }
    void swapBuffers() override { inner_.swapBuffers(); }
    bool setSwapInterval(int interval) override { return inner_.setSwapInterval(interval); }
    bool pollEvent(WindowEvent& event) override { return inner_.pollEvent(event); }
    bool createOffscreen(int size) override {
        const bool made = inner_.createOffscreen(size);
        if (made && inner_.makeOffscreenCurrent()) {
            watchCurrentContext();
            return inner_.makeWindowCurrent();
        }
        return made;
    }
    bool makeWindowCurrent() override { return inner_.makeWindowCurrent(); }
    bool makeOffscreenCurrent() override { return inner_.makeOffscreenCurrent(); }
    bool releaseContext() override { return inner_.releaseContext(); }
    bool destroyWindow() override { return inner_.destroyWindow(); }
    bool hasWindow() const override { return inner_.hasWindow(); }
    bool hasContext() const override { return inner_.hasContext(); }

private:
    static void GLAPIENTRY onMessage(GLenum, GLenum type, GLuint, GLenum, GLsizei, const GLchar* message,
                                     const void* self) {
        if (type == GL_DEBUG_TYPE_ERROR)
            const_cast<GlErrorProbe*>(static_cast<const GlErrorProbe*>(self))->count(message);
    }

    void count(const char* message) {
        if (++errors_ <= 20) std::fprintf(stderr, "GL error: %s\n", message);
    }

    void watchCurrentContext() {
        if (!epoxy_has_gl_extension("GL_KHR_debug")) {
            std::fprintf(stderr, "GL error probe: no KHR_debug\n");
            return;
        }
        glEnable(GL_DEBUG_OUTPUT);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
        glDebugMessageControl(GL_DONT_CARE, GL_DONT_CARE, GL_DONT_CARE, 0, nullptr, GL_TRUE);
        // What was logged before the callback existed.
        GLint length = 0;
        glGetIntegerv(GL_MAX_DEBUG_MESSAGE_LENGTH, &length);
        std::vector<GLchar> text(static_cast<size_t>(std::max(length, 1)));
        GLenum type = 0;
        while (glGetDebugMessageLog(1, static_cast<GLsizei>(text.size()), nullptr, &type, nullptr, nullptr, nullptr,
                                    text.data()) == 1)
            if (type == GL_DEBUG_TYPE_ERROR) count(text.data());
        glDebugMessageCallback(onMessage, this);
        ++contexts_;
    }

    WindowSystem& inner_;
    long errors_ = 0;
    int contexts_ = 0;
};

}  // namespace ostravel
