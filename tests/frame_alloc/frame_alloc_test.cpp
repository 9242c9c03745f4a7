// The real Demo, initialised from the generated show folder, renders frames through the real
// per-frame driver on real GL; counting every operator new shows that a frame allocates nothing.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "app/shell.h"
#include "platform/fake_system.h"
#include "production/app_state.h"
#include "production/demo.h"
#include "production/frame_step.h"
#include "render/render_context.h"
#include "tests/support/gl_test_window.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
std::atomic<long> libraryAllocations{0};

enum class Caller { Show, Driver, OpenCV };

// Mesa's software rasteriser compiles its shaders with LLVM, whose C++ allocates while the GL
// calls run; those belong to the driver, not to the show's frame code. OpenCV 4's corner, edge
// and contour calls size their own scratch images inside every call (the contour search also
// builds the pass's contour storage): counted apart, as the library's.
Caller caller() {
    void* frames[64];
    const int n = backtrace(frames, 64);
    for (int i = 0; i < n; ++i) {  // the test's own frames match none of the names
        Dl_info info;
        if (!dladdr(frames[i], &info) || !info.dli_fname) continue;
        if (std::strstr(info.dli_fname, "_dri.so") || std::strstr(info.dli_fname, "libLLVM") ||
            std::strstr(info.dli_fname, "libgallium"))
            return Caller::Driver;
        if (std::strstr(info.dli_fname, "libopencv")) return Caller::OpenCV;
    }
    return Caller::Show;
}

void* countedAllocation(std::size_t size) {
    if (counting) {
        const Caller c = caller();
        if (c == Caller::Show) ++allocations;
        if (c == Caller::OpenCV) ++libraryAllocations;
    }
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
    resetProcessState();
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
    EXPECT_GT(libraryAllocations.load(), 0) << "the frames ran the video analysis";
    std::printf("OpenCV's own allocations inside its calls: %ld over 200 frames\n", libraryAllocations.load());
    EXPECT_GT(app.demoTime, 100.0);
    EXPECT_EQ(app.demo->framesRendered, 209);
    installShellPlatform(nullptr, nullptr);
}
