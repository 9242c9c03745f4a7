// The settings dialog, drawn with Dear ImGui (SDL2 platform + OpenGL2 renderer backends) in a
// small window of its own. Layout in dialog units of a 9-point Arial dialog (about 1.75 x 1.875
// pixels each): 143 x 81, a "Setup" group box, two push-like toggles and two buttons.
#include "app/setup_dialog.h"

#include <SDL.h>
#include <imgui.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>

#include <filesystem>

#include "platform/gl.h"
#include "platform/window.h"

namespace ostravel {

namespace {

constexpr float kUnitX = 1.75f;
constexpr float kUnitY = 1.875f;
constexpr const char* kCaption = "  Ostravel  by KVR 2006";
constexpr const char* kDialogFont = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

struct DialogRect {
    float x, y, w, h;
};

// The controls of the dialog, in dialog units.
constexpr DialogRect kRunButton{33, 32, 54, 21};
constexpr DialogRect kQuitButton{89, 32, 24, 21};
constexpr DialogRect kSetupGroup{2, 3, 139, 74};
constexpr DialogRect kMusicToggle{33, 15, 80, 15};
constexpr DialogRect kWindowedToggle{33, 55, 80, 15};

ImVec2 pixels(float x, float y) { return ImVec2(x * kUnitX, y * kUnitY); }

bool buttonAt(const char* label, const DialogRect& r, bool highlighted) {
    ImGui::SetCursorPos(pixels(r.x, r.y));
    if (highlighted) ImGui::PushStyleColor(ImGuiCol_Button, ImGui::GetStyleColorVec4(ImGuiCol_ButtonActive));
    const bool pressed = ImGui::Button(label, pixels(r.w, r.h));
    if (highlighted) ImGui::PopStyleColor();
    return pressed;
}

void groupBox(const char* label, const DialogRect& r) {
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const ImVec2 origin = ImGui::GetWindowPos();
    const ImVec2 a(origin.x + r.x * kUnitX, origin.y + r.y * kUnitY + 6);
    const ImVec2 b(origin.x + (r.x + r.w) * kUnitX, origin.y + (r.y + r.h) * kUnitY);
    draw->AddRect(a, b, ImGui::GetColorU32(ImGuiCol_Border));
    const ImVec2 textPos(a.x + 8, a.y - ImGui::GetFontSize() / 2);
    const ImVec2 size = ImGui::CalcTextSize(label);
    draw->AddRectFilled(ImVec2(textPos.x - 2, textPos.y), ImVec2(textPos.x + size.x + 2, textPos.y + size.y),
                        ImGui::GetColorU32(ImGuiCol_WindowBg));
    draw->AddText(textPos, ImGui::GetColorU32(ImGuiCol_Text), label);
}

}  // namespace

DialogOutcome runSetupDialog(DialogSettings& settings) {
    if (!startSdlVideo()) return DialogOutcome::Unavailable;
    const int width = static_cast<int>(143 * kUnitX), height = static_cast<int>(81 * kUnitY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* window = SDL_CreateWindow(kCaption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN | SDL_WINDOW_ALWAYS_ON_TOP);
    if (!window) return DialogOutcome::Unavailable;
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) {
        SDL_DestroyWindow(window);
        return DialogOutcome::Unavailable;
    }
    SDL_GL_MakeCurrent(window, context);
    SDL_RaiseWindow(window);
    SDL_SetWindowInputFocus(window);

    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // nothing is written next to the show
    if (std::filesystem::exists(kDialogFont)) io.Fonts->AddFontFromFileTTF(kDialogFont, 15.0f);
    ImGui::StyleColorsClassic();
    ImGui_ImplSDL2_InitForOpenGL(window, context);
    ImGui_ImplOpenGL2_Init();

    // "Music" starts checked, "Windowed" unchecked.
    settings = DialogSettings{};
    DialogOutcome outcome = DialogOutcome::Unavailable;
    bool open = true;
    while (open) {
        SDL_Event event;
        while (SDL_PollEvent(&event)) {
            ImGui_ImplSDL2_ProcessEvent(&event);
            if (event.type == SDL_QUIT ||
                (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
                outcome = DialogOutcome::Quit;
                open = false;
            } else if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) {
                outcome = DialogOutcome::Quit;
                open = false;
            } else if (event.type == SDL_KEYDOWN &&
                       (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER)) {
                outcome = DialogOutcome::Run;  // the default button
                open = false;
            }
        }
        if (!open) break;

        ImGui_ImplOpenGL2_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::NewFrame();
        ImGui::SetNextWindowPos(ImVec2(0, 0));
        ImGui::SetNextWindowSize(ImVec2(float(width), float(height)));
        ImGui::Begin("##setup", nullptr,
                     ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings);
        groupBox("Setup", kSetupGroup);
        if (buttonAt("Music", kMusicToggle, settings.music)) settings.music = !settings.music;
        if (buttonAt("Run ... ", kRunButton, false)) {
            outcome = DialogOutcome::Run;
            open = false;
        }
        if (buttonAt("Quit", kQuitButton, false)) {
            outcome = DialogOutcome::Quit;
            open = false;
        }
        if (buttonAt("Windowed", kWindowedToggle, settings.windowed)) settings.windowed = !settings.windowed;
        ImGui::End();
        ImGui::Render();

        int fbWidth = 0, fbHeight = 0;
        SDL_GL_GetDrawableSize(window, &fbWidth, &fbHeight);
        glViewport(0, 0, fbWidth, fbHeight);
        glClearColor(0.83f, 0.82f, 0.78f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
        SDL_GL_SwapWindow(window);
        SDL_Delay(10);  // a dialog needs no more than a hundred frames a second
    }

    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    return outcome;
}

}  // namespace ostravel
