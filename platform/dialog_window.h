// A small window of its own for a dialog drawn with Dear ImGui, shown before the show's window.
//
// The window is centred, always on top, raised and given the input focus, with its own
// double-buffered GL context. Dear ImGui runs on it through its SDL2 platform and OpenGL2
// renderer backends: pollEvent feeds ImGui the mouse and keys, so the caller only sets ImGui up
// to its taste (fonts, colours) after open, then draws its widgets between beginFrame and
// endFrame. ImGui keeps nothing between runs (no imgui.ini next to the show). One dialog window
// at a time.
#pragma once

#include <memory>

namespace ostravel {

enum class DialogEvent {
    Close,   // the close box, or the window manager asked to close
    Escape,
    Enter,   // Return or the keypad's Enter
};

class DialogWindow {
public:
    DialogWindow();
    ~DialogWindow();  // closes the window if still open
    DialogWindow(const DialogWindow&) = delete;
    DialogWindow& operator=(const DialogWindow&) = delete;

    // Opens the window (size in pixels) and its context, creates ImGui's context and starts both
    // backends. False when there is no display or no GL context; nothing stays open then.
    bool open(const char* caption, int width, int height);
    // Hands every pending event to ImGui and stops at the next one of the kinds above: true with
    // that event, false once the queue is empty.
    bool pollEvent(DialogEvent& event);
    // Starts an ImGui frame.
    void beginFrame();
    // Ends the ImGui frame, draws it over the window cleared to the given colour, shows it, then
    // waits 10 ms: a dialog needs no more than a hundred frames a second.
    void endFrame(float red, float green, float blue);
    // Stops both backends, destroys ImGui's context, then the GL context and the window.
    void close();

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
};

}  // namespace ostravel
