// The real Demo, initialised from the generated show folder, renders frames through the real
// per-frame driver on real GL; counting every operator new shows that a frame allocates nothing.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstring>
#include <cstdlib>
#include <new>

#include "app/shell.h"
#include "platform/fake_system.h"
#include "production/app_state.h"
#include "production/demo.h"
#include "production/frame_step.h"
#include "tests/support/gl_test_window.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

// Mesa's software rasteriser compiles its shaders with LLVM, whose C++ allocates while the GL
// calls run; those belong to the driver, not to the show's frame code.
bool calledFromTheDriver() {
    void* frames[64];
    const int n = backtrace(frames, 64);
    for (int i = 2; i < n; ++i) {
        Dl_info info;
        if (dladdr(frames[i], &info) && info.dli_fname &&
            (std::strstr(info.dli_fname, "_dri.so") || std::strstr(info.dli_fname, "libLLVM") ||
             std::strstr(info.dli_fname, "libgallium")))
            return true;
    }
    return false;
}

void* countedAllocation(std::size_t size) {
    if (counting && !calledFromTheDriver()) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return countedAllocation(size); }
void* operator new[](std::size_t size) { return countedAllocation(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using namespace ostravel;

TEST(FrameAllocations, RenderAndFrameStepAllocateNothing) {
    ScopedFakeSystem system;
    ostravel::testing::ScriptedWindows windows;
    ASSERT_TRUE(ostravel::testing::ensureGLWindow());
    resetAppState();
    resetRenderContext();
    installShellPlatform(&windows, nullptr);
    AppState& app = appState();
    app.musicEnabled = false;
    app.windows = &windows;
    StartProduction();
    ASSERT_NE(app.demo, nullptr);
    EXPECT_TRUE(system.fake.messages.empty()) << system.fake.messages[0].text;
    EXPECT_GT(renderContext().textures.names[10], 0u) << "the glow texture was loaded";
    EXPECT_GT(renderContext().textures.names[100000], 0u) << "the head model's first texture was loaded";
    EXPECT_GT(renderContext().textures.names[5], 0u) << "the depth texture exists";

    // Warm-up frames may size lazily held buffers once; the frames after them must not.
    for (int i = 0; i < 10; ++i) {
        system.fake.advanceSeconds(0.5);
        FrameStep();
    }
    void* warmUp[4];
    backtrace(warmUp, 4);  // the first call loads the unwinder (and allocates)
    allocations = 0;
    counting = true;
    for (int i = 0; i < 200; ++i) {  // 100 s of show: glow sprites, camera paths, all of it
        system.fake.advanceSeconds(0.5);
        FrameStep();
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_GT(app.demoTime, 100.0);
    EXPECT_EQ(app.demo->framesRendered, 209);
    installShellPlatform(nullptr, nullptr);
}
