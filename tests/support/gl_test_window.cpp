#include "tests/support/gl_test_window.h"

#include <SDL.h>

#include <cstdlib>

#include "platform/gl.h"

namespace ostravel::testing {

bool ensureGLWindow() {
    static int state = 0;  // 0 not tried, 1 ready, -1 failed
    if (state == 0) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        WindowSystem& sdl = sdlWindowSystem();
        WindowRequest request;
        request.title = "test";
        request.hidden = true;
        state = (sdl.startUp() && sdl.createWindow(request) == WindowFailure::None) ? 1 : -1;
    }
    return state == 1 && sdlWindowSystem().makeWindowCurrent();
}

void useSequencerView() {
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(75.0, 800.0 / 600.0, 1.5, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0, 0, 7.6, 0, 0, 0, 0, 1, 0);
}

}  // namespace ostravel::testing
