// SDL2 implementation of the process-level services.
#include <SDL.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/system.h"
#include "platform/x11_clipboard.h"

namespace ostravel {

namespace {

class SdlSystem : public SystemServices {
public:
    MessageAnswer showMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                              MessageButtons buttons) override {
        const std::string textCopy(text);
        const std::string captionCopy(caption);
        Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
        if (icon == MessageIcon::Exclamation) flags = SDL_MESSAGEBOX_WARNING;
        if (icon == MessageIcon::Stop) flags = SDL_MESSAGEBOX_ERROR;

        SDL_MessageBoxButtonData okButton[] = {
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "OK"}};
        // SDL lays buttons out right to left; listing No first puts Yes on the left.
        SDL_MessageBoxButtonData yesNoButtons[] = {
            {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 2, "No"},
            {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        };
        SDL_MessageBoxData data{};
        data.flags = flags;
        data.window = nullptr;
        data.title = captionCopy.c_str();
        data.message = textCopy.c_str();
        if (buttons == MessageButtons::YesNo) {
            data.numbuttons = 2;
            data.buttons = yesNoButtons;
        } else {
            data.numbuttons = 1;
            data.buttons = okButton;
        }
        int pressed = -1;
        if (SDL_ShowMessageBox(&data, &pressed) != 0) {
            // No display: the user still learns what happened.
            std::fprintf(stderr, "%s: %s\n", captionCopy.c_str(), textCopy.c_str());
            std::fflush(stderr);
            pressed = buttons == MessageButtons::YesNo ? 1 : 0;
        }
        if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
        return pressed == 1 ? MessageAnswer::Yes : MessageAnswer::No;
    }

    bool copyToClipboard(const std::string& text) override {
        // On X11 the text must outlive the program (it is copied just before the exit). Without
        // the keeper, SDL still owns it until SDL_Quit hands it to a clipboard manager, if any.
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
        if (SDL_strcmp(SDL_GetCurrentVideoDriver(), "x11") == 0 && keepClipboardTextOnX11(text)) return true;
        return SDL_SetClipboardText(text.c_str()) == 0;
    }

    int64_t performanceCounter() override { return static_cast<int64_t>(SDL_GetPerformanceCounter()); }
    int64_t performanceFrequency() override { return static_cast<int64_t>(SDL_GetPerformanceFrequency()); }

    void cursorPosition(double& x, double& y) override {
        int ix = 0, iy = 0;
        if (SDL_WasInit(SDL_INIT_VIDEO) != 0) SDL_GetGlobalMouseState(&ix, &iy);
        x = ix;
        y = iy;
    }

    [[noreturn]] void exitProcess(int status) override {
        std::fflush(stdout);
        // Shutting down lets the X11 clipboard owner hand its text to a clipboard manager.
        shutDownPlatform();
        std::exit(status);
    }
};

SdlSystem sdlSystem;
SystemServices* installed = &sdlSystem;

double clockSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + 1e-9 * double(now.tv_nsec);
}

}  // namespace

double threadCpuSeconds() { return clockSeconds(CLOCK_THREAD_CPUTIME_ID); }
double processCpuSeconds() { return clockSeconds(CLOCK_PROCESS_CPUTIME_ID); }
double wallSeconds() { return clockSeconds(CLOCK_MONOTONIC); }

void installSystemServices(SystemServices* services) { installed = services ? services : &sdlSystem; }

SystemServices& systemServices() { return *installed; }

void shutDownPlatform() { SDL_Quit(); }

}  // namespace ostravel
