#include "tools/preview/preview_controls.h"

#include <algorithm>
#include <cstdlib>

namespace ostravel {

namespace {

enum Key : int {
    kBackspace = 8, kTab = 9, kEnter = 13, kEscape = 27, kSpace = 32, kPageUp = 33, kPageDown = 34,
    kHome = 36, kLeft = 37, kRight = 39, kNumpad0 = 96, kNumpad9 = 105, kNumpadPoint = 110, kF12 = 123,
    kPeriod = 190, kLeftBracket = 219, kRightBracket = 221,
};

// The digit or point a key types; 0 for none.
char typedCharacter(int key) {
    if (key >= '0' && key <= '9') return char(key);
    if (key >= kNumpad0 && key <= kNumpad9) return char('0' + key - kNumpad0);
    if (key == kPeriod || key == kNumpadPoint) return '.';
    return 0;
}

}  // namespace

bool PreviewControls::keyDown(int key, double now) {
    if (key == kEscape) {
        quit = true;
        return true;
    }
    if (const char c = typedCharacter(key)) {
        typing = true;
        typed += c;
        return true;
    }
    if (typing && key == kBackspace) {
        if (!typed.empty()) typed.pop_back();
        return true;
    }
    if (typing && key == kEnter) {
        char* end = nullptr;
        const double t = std::strtod(typed.c_str(), &end);
        if (!typed.empty() && end && *end == '\0') jump = t;
        typing = false;
        typed.clear();
        return true;
    }
    switch (key) {
    case 'G': typing = true; typed.clear(); return true;
    case kSpace: paused = !paused; return true;
    case kLeft: jump = now - 5.0; return true;
    case kRight: jump = now + 5.0; return true;
    case kPageDown: jump = now - 30.0; return true;
    case kPageUp: jump = now + 30.0; return true;
    case kHome: jump = 0.0; return true;
    case kLeftBracket: speed = std::max(kSlowestSpeed, speed * 0.5); return true;
    case kRightBracket: speed = std::min(kFastestSpeed, speed * 2.0); return true;
    case kF12: saveFrame = true; return true;
    case kTab: overlayShown = !overlayShown; return true;
    case 'L':
        if (loopMarks == 0) {
            loopA = now;
            loopMarks = 1;
        } else if (loopMarks == 1) {
            // A second mark at the same moment makes no stretch to loop: wait for one that does.
            if (now == loopA) return true;
            loopB = now;
            if (loopB < loopA) std::swap(loopA, loopB);
            loopMarks = 2;
        } else {
            loopMarks = 0;
        }
        return true;
    default: return false;
    }
}

std::optional<double> PreviewControls::loopBack(double now) const {
    if (loopMarks == 2 && now >= loopB) return loopA;
    return std::nullopt;
}

}  // namespace ostravel
