#include "render/render_context.h"

#include <memory>

#include "platform/window.h"

namespace ostravel {

namespace {
// Heap-held so that a reset can rebuild it from its initial values.
std::unique_ptr<RenderContext> theContext = std::make_unique<RenderContext>();
}  // namespace

RenderContext& renderContext() { return *theContext; }

void resetRenderContext() { theContext = std::make_unique<RenderContext>(); }

void makePbufferPairCurrent(const Pbuffer& pbuffer) {
    if (pbuffer.windows) pbuffer.windows->makeOffscreenCurrent();
}

void makeWindowPairCurrent(const Pbuffer& pbuffer) {
    if (pbuffer.windows) pbuffer.windows->makeWindowCurrent();
}

}  // namespace ostravel
