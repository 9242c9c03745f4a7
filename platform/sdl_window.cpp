// SDL2 implementation of the window, GL contexts and off-screen surface.
#include <SDL.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdint>

#include "platform/gl.h"
#include "platform/sdl_window_internal.h"
#include "platform/window.h"

namespace ostravel {

namespace {

SdlEventTap eventTap = nullptr;

// SDL keycode -> Windows virtual-key code. Keys without an entry are not reported.
struct KeyMapping {
    SDL_Keycode sdl;
    int vk;
};

constexpr KeyMapping kKeyTable[] = {
    {SDLK_BACKSPACE, 8},   {SDLK_TAB, 9},        {SDLK_RETURN, 13},    {SDLK_KP_ENTER, 13},
    {SDLK_LSHIFT, 16},     {SDLK_RSHIFT, 16},    {SDLK_LCTRL, 17},     {SDLK_RCTRL, 17},
    {SDLK_LALT, 18},       {SDLK_RALT, 18},      {SDLK_PAUSE, 19},     {SDLK_CAPSLOCK, 20},
    {SDLK_ESCAPE, 27},     {SDLK_SPACE, 32},     {SDLK_PAGEUP, 33},    {SDLK_PAGEDOWN, 34},
    {SDLK_END, 35},        {SDLK_HOME, 36},      {SDLK_LEFT, 37},      {SDLK_UP, 38},
    {SDLK_RIGHT, 39},      {SDLK_DOWN, 40},      {SDLK_INSERT, 45},    {SDLK_DELETE, 46},
    {SDLK_KP_0, 96},       {SDLK_KP_1, 97},      {SDLK_KP_2, 98},      {SDLK_KP_3, 99},
    {SDLK_KP_4, 100},      {SDLK_KP_5, 101},     {SDLK_KP_6, 102},     {SDLK_KP_7, 103},
    {SDLK_KP_8, 104},      {SDLK_KP_9, 105},     {SDLK_KP_MULTIPLY, 106}, {SDLK_KP_PLUS, 107},
    {SDLK_KP_MINUS, 109},  {SDLK_KP_PERIOD, 110}, {SDLK_KP_DIVIDE, 111}, {SDLK_COMMA, 188},
    {SDLK_MINUS, 189},     {SDLK_PERIOD, 190},   {SDLK_LEFTBRACKET, 219}, {SDLK_RIGHTBRACKET, 221},
};

int virtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return 112 + (key - SDLK_F1);
    for (const KeyMapping& m : kKeyTable)
        if (m.sdl == key) return m.vk;
    return -1;
}

class SdlWindowSystem : public WindowSystem {
public:
    bool startUp() override {
        if (!startSdlVideo()) return false;
        // The show must not be interrupted by the screen saver or monitor power-down.
        SDL_DisableScreenSaver();
        return true;
    }

    bool changeDisplayMode(int width, int height, int bits) override {
        const int modes = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < modes; ++i) {
            SDL_DisplayMode mode;
            if (SDL_GetDisplayMode(0, i, &mode) != 0) continue;
            if (mode.w == width && mode.h == height && int(SDL_BITSPERPIXEL(mode.format)) >= std::min(bits, 24)) {
                fullscreenMode_ = mode;
                modeChanged_ = true;
                return true;
            }
        }
        return false;
    }

    void restoreDisplayMode() override {
        // SDL restores the desktop mode when the fullscreen window goes away; leave fullscreen
        // first so that it also happens when the window outlives this call.
        if (window_ && modeChanged_) SDL_SetWindowFullscreen(window_, 0);
        modeChanged_ = false;
    }

    void showCursor(bool shown) override { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

    WindowFailure createWindow(const WindowRequest& request) override {
        SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
        SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, request.depthBits);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
        // Kept for the off-screen context, which createOffscreen makes with the same attributes.
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, request.debugContexts ? SDL_GL_CONTEXT_DEBUG_FLAG : 0);

        Uint32 flags = SDL_WINDOW_OPENGL | (request.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN);
        if (request.fullscreen) flags |= SDL_WINDOW_FULLSCREEN;
        if (request.resizable) flags |= SDL_WINDOW_RESIZABLE;
        window_ = SDL_CreateWindow(request.title.c_str(), request.x, request.y, request.width, request.height, flags);
        if (!window_) return WindowFailure::CreateWindow;
        if (request.fullscreen && modeChanged_) SDL_SetWindowDisplayMode(window_, &fullscreenMode_);

        context_ = SDL_GL_CreateContext(window_);
        if (!context_) return WindowFailure::CreateContext;
        if (SDL_GL_MakeCurrent(window_, context_) != 0) return WindowFailure::MakeCurrent;
        // A target that cannot be made leaves the window without a drawable surface of the asked
        // size: as good as no context.
        if (request.targetWidth > 0 && !createTarget(request.targetWidth, request.targetHeight))
            return WindowFailure::CreateContext;
        if (!request.hidden) {
            SDL_RaiseWindow(window_);
            SDL_SetWindowInputFocus(window_);
        }
        return WindowFailure::None;
    }

    void swapBuffers() override {
        if (!window_) return;
        SDL_GL_SwapWindow(window_);
        if (target_ && SDL_GL_GetCurrentContext() == context_) glBindFramebuffer(GL_FRAMEBUFFER, target_);
    }

    void presentTarget() override {
        if (!target_ || !makeWindowCurrent()) return;
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(window_, &width, &height);
        const FitRectangle fit = fitRectangle(targetWidth_, targetHeight_, width, height);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        // The bars are cleared and the blit done with the window context's own state put aside:
        // the show's clear colour, scissor and colour mask live in this context too.
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, target_);
        glBlitFramebuffer(0, 0, targetWidth_, targetHeight_, fit.x, fit.y, fit.x + fit.width, fit.y + fit.height,
                          GL_COLOR_BUFFER_BIT, GL_LINEAR);
        glPopAttrib();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }

    bool setSwapInterval(int interval) override { return SDL_GL_SetSwapInterval(interval) == 0; }

    bool pollEvent(WindowEvent& event) override {
        SDL_Event e;
        while (SDL_PollEvent(&e)) {
            if (eventTap) eventTap(e);
            if (translate(e, event)) return true;
        }
        return false;
    }

    bool createOffscreen(int size) override {
        if (!window_ || !context_) return false;
        SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 1);
        offscreenContext_ = SDL_GL_CreateContext(window_);
        SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
        if (!offscreenContext_) return false;
        if (SDL_GL_MakeCurrent(window_, offscreenContext_) != 0) return false;
        // Framebuffer objects are not shared between contexts: this one belongs to the
        // off-screen context and stays bound there for the whole run.
        GLuint framebuffer = 0, colour = 0, depth = 0;
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glGenRenderbuffers(1, &colour);
        glBindRenderbuffer(GL_RENDERBUFFER, colour);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, size, size);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, size, size);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
        const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glViewport(0, 0, size, size);
        return makeWindowCurrent() && complete;
    }

    bool makeWindowCurrent() override { return window_ && SDL_GL_MakeCurrent(window_, context_) == 0; }

    bool makeOffscreenCurrent() override {
        return window_ && offscreenContext_ && SDL_GL_MakeCurrent(window_, offscreenContext_) == 0;
    }

    bool releaseContext() override {
        if (!context_) return true;
        if (target_ && makeWindowCurrent()) {
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            glDeleteFramebuffers(1, &target_);
            glDeleteRenderbuffers(2, targetBuffers_);
        }
        target_ = 0;
        const bool released = SDL_GL_MakeCurrent(window_, nullptr) == 0;
        SDL_GL_DeleteContext(context_);
        context_ = nullptr;
        return released;
    }

    bool destroyWindow() override {
        if (!window_) return true;
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return true;
    }

    bool hasWindow() const override { return window_ != nullptr; }
    bool hasContext() const override { return context_ != nullptr; }

    SDL_Window* window() const { return window_; }
    SDL_GLContext context() const { return context_; }

private:
    // The show target in the window's context (current), cleared and left bound.
    bool createTarget(int width, int height) {
        glGenFramebuffers(1, &target_);
        glBindFramebuffer(GL_FRAMEBUFFER, target_);
        // Mesa keeps a window's buffers top row first, and rasterises into them as such (which
        // pixel an edge or line covers, where a texture is sampled, differ in the last bit);
        // its flip-y framebuffers are kept the same way, so the show's picture here is the one
        // it draws into a window, bit for bit.
        if (epoxy_has_gl_extension("GL_MESA_framebuffer_flip_y"))
            glFramebufferParameteri(GL_FRAMEBUFFER, GL_FRAMEBUFFER_FLIP_Y_MESA, GL_TRUE);
        glGenRenderbuffers(2, targetBuffers_);
        glBindRenderbuffer(GL_RENDERBUFFER, targetBuffers_[0]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGB8, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, targetBuffers_[0]);
        glBindRenderbuffer(GL_RENDERBUFFER, targetBuffers_[1]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, targetBuffers_[1]);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
        targetWidth_ = width;
        targetHeight_ = height;
        // A new window's buffers start cleared (colour black, depth 1); the target starts the same.
        glViewport(0, 0, width, height);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        return true;
    }

    bool translate(const SDL_Event& e, WindowEvent& out) {
        switch (e.type) {
        case SDL_QUIT:
            out = {WindowEventKind::Close};
            return true;
        case SDL_WINDOWEVENT:
            switch (e.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                out = {WindowEventKind::Close};
                return true;
            case SDL_WINDOWEVENT_MINIMIZED:
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED:
            case SDL_WINDOWEVENT_FOCUS_GAINED:
            case SDL_WINDOWEVENT_FOCUS_LOST:
            case SDL_WINDOWEVENT_SHOWN:
            case SDL_WINDOWEVENT_HIDDEN: {
                const bool minimised = window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0;
                out = {WindowEventKind::Activate, minimised || e.window.event == SDL_WINDOWEVENT_MINIMIZED ? 1 : 0};
                return true;
            }
            case SDL_WINDOWEVENT_SIZE_CHANGED:
                out = {WindowEventKind::Size, e.window.data1, e.window.data2};
                return true;
            default:
                return false;
            }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            const int vk = virtualKey(e.key.keysym.sym);
            if (vk < 0) return false;
            out = {e.type == SDL_KEYDOWN ? WindowEventKind::KeyDown : WindowEventKind::KeyUp, vk};
            return true;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const bool down = e.type == SDL_MOUSEBUTTONDOWN;
            if (e.button.button == SDL_BUTTON_LEFT) out = {down ? WindowEventKind::LeftDown : WindowEventKind::LeftUp};
            else if (e.button.button == SDL_BUTTON_RIGHT) out = {down ? WindowEventKind::RightDown : WindowEventKind::RightUp};
            else if (e.button.button == SDL_BUTTON_MIDDLE && down) out = {WindowEventKind::MiddleDown};
            else return false;
            return true;
        }
        case SDL_MOUSEWHEEL:
            out = {WindowEventKind::Wheel, (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y) * 120};
            return true;
        default:
            return false;
        }
    }

    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
    SDL_GLContext offscreenContext_ = nullptr;
    SDL_DisplayMode fullscreenMode_{};
    bool modeChanged_ = false;
    GLuint target_ = 0;
    GLuint targetBuffers_[2] = {0, 0};  // colour, depth
    int targetWidth_ = 0, targetHeight_ = 0;
};

SdlWindowSystem& theSystem() {
    static SdlWindowSystem system;
    return system;
}

}  // namespace

void useOffscreenWindows() { setenv("SDL_VIDEODRIVER", "offscreen", 1); }

bool startSdlVideo() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    const bool invisible = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
    if (invisible && !(asked && SDL_strstr(asked, driver))) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    return true;
}

WindowSystem& sdlWindowSystem() { return theSystem(); }

FitRectangle fitRectangle(int width, int height, int windowWidth, int windowHeight) {
    if (width <= 0 || height <= 0 || windowWidth <= 0 || windowHeight <= 0) return {};
    FitRectangle fit;
    // Whichever side fills the window first sets the scale; products in 64 bits, no rounding drift.
    if (int64_t(windowWidth) * height <= int64_t(windowHeight) * width) {
        fit.width = windowWidth;
        fit.height = int(int64_t(windowWidth) * height / width);
    } else {
        fit.height = windowHeight;
        fit.width = int(int64_t(windowHeight) * width / height);
    }
    fit.x = (windowWidth - fit.width) / 2;
    fit.y = (windowHeight - fit.height) / 2;
    return fit;
}

SDL_Window* sdlShowWindow() { return theSystem().window(); }
void* sdlShowContext() { return theSystem().context(); }
void setSdlEventTap(SdlEventTap tap) { eventTap = tap; }

const void* currentGLContext() { return SDL_GL_GetCurrentContext(); }

}  // namespace ostravel
