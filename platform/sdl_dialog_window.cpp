// SDL2 implementation of the dialog window, with Dear ImGui's SDL2 and OpenGL2 backends.
#include <SDL.h>
#include <imgui.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>

#include "platform/dialog_window.h"
#include "platform/gl.h"
#include "platform/window.h"

namespace ostravel {

struct DialogWindow::Handles {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
};

DialogWindow::DialogWindow() = default;

DialogWindow::~DialogWindow() { close(); }

bool DialogWindow::open(const char* caption, int width, int height) {
    close();
    if (!startSdlVideo()) return false;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow(caption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | SDL_WINDOW_ALWAYS_ON_TOP);
    if (!window) return false;
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        SDL_DestroyWindow(window);
        return false;
    }
    SDL_GL_MakeCurrent(window, context);
    SDL_RaiseWindow(window);
    SDL_SetWindowInputFocus(window);

    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    ImGui_ImplSDL2_InitForOpenGL(window, context);
    ImGui_ImplOpenGL2_Init();
    handles_ = std::make_unique<Handles>(Handles{window, context});
    return true;
}

bool DialogWindow::pollEvent(DialogEvent& out) {
    if (!handles_) return false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        ImGui_ImplSDL2_ProcessEvent(&event);
        if (event.type == SDL_QUIT || (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
            out = DialogEvent::Close;
            return true;
        }
        if (event.type != SDL_KEYDOWN) continue;
        if (event.key.keysym.sym == SDLK_ESCAPE) {
            out = DialogEvent::Escape;
            return true;
        }
        if (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER) {
            out = DialogEvent::Enter;
            return true;
        }
    }
    return false;
}

void DialogWindow::beginFrame() {
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
}

void DialogWindow::endFrame(float red, float green, float blue) {
    ImGui::Render();
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(handles_->window, &width, &height);
    glViewport(0, 0, width, height);
    glClearColor(red, green, blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(handles_->window);
    SDL_Delay(10);
}

void DialogWindow::close() {
    if (!handles_) return;
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    SDL_GL_DeleteContext(handles_->context);
    SDL_DestroyWindow(handles_->window);
    handles_.reset();
}

}  // namespace ostravel
