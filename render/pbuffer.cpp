#include "render/pbuffer.h"

#include "platform/window.h"

namespace ostravel {

void makePbufferPairCurrent(const Pbuffer& pbuffer) {
    if (pbuffer.windows) pbuffer.windows->makeOffscreenCurrent();
}

void makeWindowPairCurrent(const Pbuffer& pbuffer) {
    if (pbuffer.windows) pbuffer.windows->makeWindowCurrent();
}

}  // namespace ostravel
