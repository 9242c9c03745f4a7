#include "tests/support/gl_test_window.h"

#include <SDL.h>

#include <cstdlib>

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

}  // namespace ostravel::testing
