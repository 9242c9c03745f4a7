// SystemServices for the runs of the show that have nobody to click (the capture tool, the show
// benchmark, the preview): messages go to standard error and are answered with their default.
// FixedStepSystem's clock is a counter that moves one frame when the caller says the next frame
// is due (frame n at n / fps); RealTimeSystem keeps the clock of the services it was given (the
// platform's). The run's ends come back to the runner as outcomes, so nothing here is asked to
// end the process; if something were, it would end at once.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "platform/system.h"

namespace ostravel {

class UnattendedSystem : public SystemServices {
public:
    int messages = 0;  // shown so far

    MessageAnswer showMessage(std::string_view text, std::string_view caption, MessageIcon, MessageButtons buttons) override {
        ++messages;
        std::fprintf(stderr, "message \"%.*s\": %.*s\n", int(caption.size()), caption.data(), int(text.size()), text.data());
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    bool copyToClipboard(const std::string&) override { return true; }
    [[noreturn]] void exitProcess(int status) override {
        std::fflush(stdout);
        std::exit(status);
    }
};

class FixedStepSystem : public UnattendedSystem {
public:
    explicit FixedStepSystem(int fps) : fps_(fps) {}
    void nextFrame() { counter_ += 1000; }

    int64_t performanceCounter() override { return counter_; }
    int64_t performanceFrequency() override { return int64_t(fps_) * 1000; }
    void cursorPosition(double& x, double& y) override { x = y = 0.0; }

private:
    int fps_;
    int64_t counter_ = 0;
};

class RealTimeSystem : public UnattendedSystem {
public:
    explicit RealTimeSystem(SystemServices& clock) : clock_(clock) {}

    int64_t performanceCounter() override { return clock_.performanceCounter(); }
    int64_t performanceFrequency() override { return clock_.performanceFrequency(); }
    void cursorPosition(double& x, double& y) override { clock_.cursorPosition(x, y); }

private:
    SystemServices& clock_;
};

}  // namespace ostravel
