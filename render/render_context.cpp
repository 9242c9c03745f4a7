#include "render/render_context.h"

#include <memory>

namespace ostravel {

namespace {
// Heap-held so that a reset can rebuild it from its initial values.
std::unique_ptr<RenderContext> theContext = std::make_unique<RenderContext>();
}  // namespace

RenderContext& renderContext() { return *theContext; }

void resetRenderContext() { theContext = std::make_unique<RenderContext>(); }

}  // namespace ostravel
