// The process-level services of the platform: message boxes, clipboard, the performance
// counter, the cursor position, process exit and shut-down.
//
// The program calls the free functions below; they go to the installed SystemServices. By
// default that is the SDL2 implementation (sdl_system.cpp); tests install a fake that records
// what was asked and turns exit into an exception (platform/fake_system.h).
//
// Message boxes have no owner window. Where no display exists, the text and caption go to
// standard error and the box counts as answered with its first button.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace ostravel {

enum class MessageIcon { Information, Exclamation, Stop };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

class SystemServices {
public:
    virtual ~SystemServices() = default;
    virtual MessageAnswer showMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                                      MessageButtons buttons) = 0;
    virtual bool copyToClipboard(const std::string& text) = 0;
    virtual int64_t performanceCounter() = 0;
    virtual int64_t performanceFrequency() = 0;
    // Cursor position in screen pixels.
    virtual void cursorPosition(double& x, double& y) = 0;
    // Ends the process; never returns. Shuts the platform down first so that, under X11, the
    // clipboard can be handed to a clipboard manager.
    [[noreturn]] virtual void exitProcess(int status) = 0;
};

// Installs the services used from now on (nullptr restores the SDL2 implementation).
void installSystemServices(SystemServices* services);
SystemServices& systemServices();

inline MessageAnswer showMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                                 MessageButtons buttons = MessageButtons::Ok) {
    return systemServices().showMessage(text, caption, icon, buttons);
}
inline bool copyToClipboard(const std::string& text) { return systemServices().copyToClipboard(text); }
// CPU time in seconds: of the calling thread, and of every thread of the process.
double threadCpuSeconds();
double processCpuSeconds();
// Seconds of a steady clock (CLOCK_MONOTONIC, read without a system call), from an arbitrary start.
double wallSeconds();

[[noreturn]] inline void exitProcess(int status) {
    systemServices().exitProcess(status);
    std::abort();  // an implementation that returned would break the contract
}

// Shuts the window system and everything else of the platform down, whichever services are
// installed: for programs that end by returning from main rather than through exitProcess.
void shutDownPlatform();

}  // namespace ostravel
