// Dear ImGui over the show's window (the SDL window system's), drawn after the show's picture
// has been presented in the window's own framebuffer: the preview's controls and figures.
//
// While open, every event the window system takes off the queue goes to ImGui as well, so the
// caller only builds its widgets between beginFrame and endFrame. endFrame draws into whichever
// framebuffer is bound in the window's context and hands back every piece of that context's GL
// state it touched (attributes, client arrays, program, texture unit and matrices): the show's own
// state, which lives in the same context, is as it was. Nothing of ImGui's is kept on disk.
// One overlay at a time; not at the same time as a dialog window (both own ImGui's context).
#pragma once

namespace ostravel {

class WindowOverlay {
public:
    WindowOverlay() = default;
    ~WindowOverlay();  // closes it if still open
    WindowOverlay(const WindowOverlay&) = delete;
    WindowOverlay& operator=(const WindowOverlay&) = delete;

    // On the window system's window, its context current. False when there is no window.
    bool open();
    void close();
    void beginFrame();
    void endFrame();

private:
    bool open_ = false;
};

}  // namespace ostravel
