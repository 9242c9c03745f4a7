#include "production/app_state.h"

#include <memory>

#include "math/random.h"
#include "platform/system.h"
#include "render/render_context.h"

namespace ostravel {

namespace {
std::unique_ptr<AppState> theState = std::make_unique<AppState>();
}  // namespace

AppState& appState() { return *theState; }

void resetAppState() { theState = std::make_unique<AppState>(); }

void resetProcessState() {
    resetAppState();
    resetRenderContext();
    seed(1);
}

void resetClock(FrameClock& clock) {
    clock.accumulated = 0.0;
    clock.lastCounter = systemServices().performanceCounter();
}

double readClock(FrameClock& clock) {
    const int64_t now = systemServices().performanceCounter();
    const int64_t frequency = systemServices().performanceFrequency();
    if (frequency > 0) clock.accumulated += clock.rate * (double(now - clock.lastCounter) / double(frequency));
    clock.lastCounter = now;
    return clock.accumulated;
}

}  // namespace ostravel
