// A SystemServices for tests: records message boxes and clipboard copies, runs a counter that
// the test moves by hand, and turns process exit into a ProcessExit exception.
#pragma once

#include <string>
#include <vector>

#include "platform/system.h"

namespace ostravel {

struct ProcessExit {
    int status;
};

struct RecordedMessage {
    std::string text;
    std::string caption;
    MessageIcon icon;
    MessageButtons buttons;
};

class FakeSystem : public SystemServices {
public:
    std::vector<RecordedMessage> messages;
    std::vector<std::string> clipboardCopies;
    MessageAnswer nextAnswer = MessageAnswer::Yes;  // for Yes/No questions
    bool clipboardWorks = true;
    int64_t counter = 0;
    int64_t frequency = 1000000;
    double cursorX = 0.0, cursorY = 0.0;
    int exitCount = 0;

    void advanceSeconds(double seconds) { counter += static_cast<int64_t>(seconds * double(frequency)); }

    MessageAnswer showMessage(std::string_view text, std::string_view caption, MessageIcon icon,
                              MessageButtons buttons) override {
        messages.push_back({std::string(text), std::string(caption), icon, buttons});
        return buttons == MessageButtons::Ok ? MessageAnswer::Ok : nextAnswer;
    }
    bool copyToClipboard(const std::string& text) override {
        if (!clipboardWorks) return false;
        clipboardCopies.push_back(text);
        return true;
    }
    int64_t performanceCounter() override { return counter; }
    int64_t performanceFrequency() override { return frequency; }
    void cursorPosition(double& x, double& y) override {
        x = cursorX;
        y = cursorY;
    }
    [[noreturn]] void exitProcess(int status) override {
        ++exitCount;
        throw ProcessExit{status};
    }
};

// Installs a FakeSystem for the lifetime of the guard.
class ScopedFakeSystem {
public:
    ScopedFakeSystem() { installSystemServices(&fake); }
    ~ScopedFakeSystem() { installSystemServices(nullptr); }
    FakeSystem fake;
};

}  // namespace ostravel
