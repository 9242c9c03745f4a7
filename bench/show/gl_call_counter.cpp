#include "bench/show/gl_call_counter.h"

#include <array>
#include <type_traits>

#include "platform/gl.h"

namespace ostravel {

namespace {

// gl_entry_points.inc is made by CMake from epoxy's gl_generated.h: one OSTRAVEL_GL_ENTRY(name) a
// line.
enum EntryId : size_t {
#define OSTRAVEL_GL_ENTRY(name) k_##name,
#include "gl_entry_points.inc"
#undef OSTRAVEL_GL_ENTRY
    kEntryCount
};

constexpr std::array<const char*, kEntryCount> kNames = {
#define OSTRAVEL_GL_ENTRY(name) #name,
#include "gl_entry_points.inc"
#undef OSTRAVEL_GL_ENTRY
};

std::array<uint64_t, kEntryCount> counts{};

template <auto& Pointer, size_t Id, typename F = std::remove_reference_t<decltype(Pointer)>>
struct Twin;

template <auto& Pointer, size_t Id, typename R, typename... A>
struct Twin<Pointer, Id, R(EPOXY_CALLSPEC*)(A...)> {
    static inline R(EPOXY_CALLSPEC* real)(A...) = nullptr;

    // epoxy's first-call stub resolves the entry point only when the pointer still points at the
    // stub itself, and then calls through the pointer: the real function goes back into the
    // pointer for the call, and what the call left there is the real one from then on.
    static R EPOXY_CALLSPEC call(A... a) {
        ++counts[Id];
        Pointer = real;
        if constexpr (std::is_void_v<R>) {
            real(a...);
            settle();
        } else {
            R result = real(a...);
            settle();
            return result;
        }
    }
    static void settle() { real = Pointer, Pointer = &call; }
    static void install() {
        if (Pointer != &call) real = Pointer, Pointer = &call;
    }
    static void remove() {
        if (Pointer == &call) Pointer = real;
    }
};

}  // namespace

void installGLCallCounter() {
#define OSTRAVEL_GL_ENTRY(name) Twin<epoxy_##name, k_##name>::install();
#include "gl_entry_points.inc"
#undef OSTRAVEL_GL_ENTRY
}

void removeGLCallCounter() {
#define OSTRAVEL_GL_ENTRY(name) Twin<epoxy_##name, k_##name>::remove();
#include "gl_entry_points.inc"
#undef OSTRAVEL_GL_ENTRY
}

std::vector<GLEntryCount> glCallCounts() {
    std::vector<GLEntryCount> out(kEntryCount);
    for (size_t i = 0; i < kEntryCount; ++i) out[i] = {kNames[i], counts[i]};
    return out;
}

uint64_t glCallTotal() {
    uint64_t total = 0;
    for (uint64_t c : counts) total += c;
    return total;
}

}  // namespace ostravel
