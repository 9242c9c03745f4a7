// Dear ImGui's SDL2 and OpenGL2 backends on the SDL window system's window.
#include <SDL.h>
#include <imgui.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>

#include "platform/gl.h"
#include "platform/sdl_window_internal.h"
#include "platform/window_overlay.h"

namespace ostravel {

namespace {

void feedImGui(const SDL_Event& event) { ImGui_ImplSDL2_ProcessEvent(&event); }

// The window context's state around ImGui's calls. The backend keeps most of what it changes
// itself; this holds the rest, and everything else too, so no later change of the backend can
// reach the show's picture.
class SavedState {
public:
    SavedState() {
        glGetIntegerv(GL_CURRENT_PROGRAM, &program_);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture_);
        glGetIntegerv(GL_CLIENT_ACTIVE_TEXTURE, &clientTexture_);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer_);
        glGetIntegerv(GL_MATRIX_MODE, &matrixMode_);
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        glUseProgram(0);
        glActiveTexture(GL_TEXTURE0);
        glClientActiveTexture(GL_TEXTURE0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
    }
    ~SavedState() {
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glPopClientAttrib();
        glPopAttrib();
        glMatrixMode(GLenum(matrixMode_));
        glBindBuffer(GL_ARRAY_BUFFER, GLuint(arrayBuffer_));
        glClientActiveTexture(GLenum(clientTexture_));
        glActiveTexture(GLenum(activeTexture_));
        glUseProgram(GLuint(program_));
    }

private:
    GLint program_ = 0, activeTexture_ = GL_TEXTURE0, clientTexture_ = GL_TEXTURE0, arrayBuffer_ = 0;
    GLint matrixMode_ = GL_MODELVIEW;
};

}  // namespace

WindowOverlay::~WindowOverlay() { close(); }

bool WindowOverlay::open() {
    close();
    SDL_Window* window = sdlShowWindow();
    if (!window || !sdlShowContext()) return false;
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    ImGui_ImplSDL2_InitForOpenGL(window, sdlShowContext());
    ImGui_ImplOpenGL2_Init();
    setSdlEventTap(feedImGui);
    open_ = true;
    return true;
}

void WindowOverlay::close() {
    if (!open_) return;
    setSdlEventTap(nullptr);
    {
        SavedState saved;
        ImGui_ImplOpenGL2_Shutdown();
    }
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    open_ = false;
}

void WindowOverlay::beginFrame() {
    {
        SavedState saved;  // the first frame uploads the font texture
        ImGui_ImplOpenGL2_NewFrame();
    }
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
}

void WindowOverlay::endFrame() {
    ImGui::Render();
    SavedState saved;
    // The backend sets its viewport from the display size ImGui was given: the window's drawable.
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}

}  // namespace ostravel
