// SystemServices for unattended runs of the show (the capture tool, the show benchmark): no
// message box may wait for a click, so messages go to standard error and are answered with
// their default; the clock is a counter that moves one frame when the caller says the next
// frame is due (frame n at n / fps). The run's ends come back to the runner as outcomes, so
// nothing here is asked to end the process; if something were, it would end at once.
#pragma once

#include <cstdio>
#include <cstdlib>

#include "platform/system.h"

namespace ostravel {

class FixedStepSystem : public SystemServices {
public:
    explicit FixedStepSystem(int fps) : fps_(fps) {}
    void nextFrame() { counter_ += 1000; }
    int messages = 0;  // shown so far

    MessageAnswer showMessage(std::string_view text, std::string_view caption, MessageIcon, MessageButtons buttons) override {
        ++messages;
        std::fprintf(stderr, "message \"%.*s\": %.*s\n", int(caption.size()), caption.data(), int(text.size()), text.data());
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    bool copyToClipboard(const std::string&) override { return true; }
    int64_t performanceCounter() override { return counter_; }
    int64_t performanceFrequency() override { return int64_t(fps_) * 1000; }
    void cursorPosition(double& x, double& y) override { x = y = 0.0; }
    [[noreturn]] void exitProcess(int status) override {
        std::fflush(stdout);
        std::exit(status);
    }

private:
    int fps_;
    int64_t counter_ = 0;
};

}  // namespace ostravel
