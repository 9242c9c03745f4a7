// The window, its GL context and the off-screen surface, as the shell needs them.
//
// One top-level window with a double-buffered GL context (compatibility profile), and
// an off-screen surface for the rendering passes: a second GL context that shares objects with
// the window's and draws into its own 1024 x 1024 framebuffer object (RGBA8 colour,
// DEPTH24_STENCIL8). Each context keeps its own GL state, which the passes rely on.
//
// A window may also be asked for a show target: a framebuffer object of a fixed size (RGB8 colour,
// 24-bit depth, like the window's own buffers) made in the window's context and bound there for
// good, so that every draw of the window's context lands in it whatever size the window has.
// Framebuffer bindings are state of their context: the off-screen surface's context is not
// touched. presentTarget blits it scaled to fit the window (aspect kept, black bars) into the
// window's back buffer and leaves that bound for drawing over it; swapBuffers binds the target
// again after the swap. Frames read back in the window's context between swaps come from the
// target.
//
// Window messages come out of pollEvent translated to the few kinds the shell handles; key
// codes are Windows virtual-key codes (Escape = 27), the shell's key table being indexed by them.
#pragma once

#include <string>

namespace ostravel {

enum class WindowEventKind {
    Activate,      // a = 1 when the window is minimised
    Close,         // the close box or the window manager asked to close
    KeyDown,       // a = virtual-key code
    KeyUp,         // a = virtual-key code
    Size,          // a = client width, b = client height
    LeftDown,
    LeftUp,
    RightDown,
    RightUp,
    MiddleDown,
    Wheel,         // a = signed wheel delta, 120 per notch
    Other,
};

struct WindowEvent {
    WindowEventKind kind = WindowEventKind::Other;
    int a = 0;
    int b = 0;
};

// Which step of bringing up the window failed; the shell maps each to its message.
enum class WindowFailure {
    None,
    RegisterClass,      // the window system cannot be used at all
    CreateWindow,
    DeviceContext,
    ChoosePixelFormat,
    SetPixelFormat,
    CreateContext,
    MakeCurrent,
};

struct WindowRequest {
    std::string title;
    int x = 0, y = 0;
    int width = 800, height = 600;
    int depthBits = 24;
    bool fullscreen = false;     // popup window without cursor at a changed display mode
    bool hidden = false;         // never shown (capture tool, tests)
    bool resizable = false;      // the user may resize it (with a target the picture follows)
    int targetWidth = 0;         // > 0: the window's context draws into a show target of this size
    int targetHeight = 0;
    bool debugContexts = false;  // KHR_debug contexts, the window's and the off-screen surface's
};

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // Brings up the window system (the "window class"). False when there is no display.
    virtual bool startUp() = 0;
    // Temporary display mode change for fullscreen; false when the mode is refused.
    virtual bool changeDisplayMode(int width, int height, int bits) = 0;
    virtual void restoreDisplayMode() = 0;
    virtual void showCursor(bool shown) = 0;
    // Creates the window and its GL context and makes it current.
    virtual WindowFailure createWindow(const WindowRequest& request) = 0;
    // With a target: binds it again in the window's context after the swap.
    virtual void swapBuffers() = 0;
    // Blits the show target into the back buffer, scaled to fit (aspect kept, black bars), and
    // leaves the back buffer bound in the window's context. Nothing without a target.
    virtual void presentTarget() {}
    virtual bool setSwapInterval(int interval) = 0;
    virtual bool pollEvent(WindowEvent& event) = 0;
    // The off-screen surface: false when it cannot be made.
    virtual bool createOffscreen(int size) = 0;
    virtual bool makeWindowCurrent() = 0;
    virtual bool makeOffscreenCurrent() = 0;
    // Teardown steps; each returns false when the platform refused it.
    virtual bool releaseContext() = 0;
    virtual bool destroyWindow() = 0;
    virtual bool hasWindow() const = 0;
    virtual bool hasContext() const = 0;
};

// The SDL2 implementation.
WindowSystem& sdlWindowSystem();

// Where a picture of width x height lands when scaled to fit a window of windowWidth x
// windowHeight with its aspect kept: centred, black bars on two sides.
struct FitRectangle {
    int x = 0, y = 0, width = 0, height = 0;
};
FitRectangle fitRectangle(int width, int height, int windowWidth, int windowHeight);

// Asks for SDL's offscreen video driver (EGL, no X server) for every window from now on: the
// unattended runs and tests render without a display.
void useOffscreenWindows();

// Starts SDL's video subsystem. False when there is no display to show anything on: SDL falls
// back to its invisible offscreen driver by itself, which counts only when SDL_VIDEODRIVER asks
// for it (the capture tool, tests).
bool startSdlVideo();

}  // namespace ostravel
