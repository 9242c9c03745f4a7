// The settings dialog, drawn with Dear ImGui in a small window of its own
// (platform/dialog_window.h). Layout in dialog units of a 9-point Arial dialog (about 1.75 x
// 1.875 pixels each): 143 x 81, a "Setup" group box, two push-like toggles and two buttons.
#include "app/setup_dialog.h"

#include <imgui.h>

#include <filesystem>

#include "platform/dialog_window.h"

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
    const int width = static_cast<int>(143 * kUnitX), height = static_cast<int>(81 * kUnitY);
    DialogWindow window;
    if (!window.open(kCaption, width, height)) return DialogOutcome::Unavailable;
    if (std::filesystem::exists(kDialogFont)) ImGui::GetIO().Fonts->AddFontFromFileTTF(kDialogFont, 15.0f);
    ImGui::StyleColorsClassic();

    // "Music" starts checked, "Windowed" unchecked.
    settings = DialogSettings{};
    DialogOutcome outcome = DialogOutcome::Unavailable;
    bool open = true;
    while (open) {
        DialogEvent event;
        while (window.pollEvent(event)) {
            // Enter presses the default button; Escape and the close box mean Quit.
            outcome = event == DialogEvent::Enter ? DialogOutcome::Run : DialogOutcome::Quit;
            open = false;
        }
        if (!open) break;

        window.beginFrame();
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
        window.endFrame(0.83f, 0.82f, 0.78f);
    }
    return outcome;
}

}  // namespace ostravel
