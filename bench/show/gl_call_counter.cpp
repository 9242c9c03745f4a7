#include "bench/show/gl_call_counter.h"

#include <array>
#include <string_view>
#include <type_traits>

#include "platform/gl.h"
#include "platform/system.h"

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
double secondsInside = 0.0;
// The calls that only note one attribute of one vertex (glVertex3f, glColor4ub ...) are not timed:
// they are many, each costs less than reading the clock, and the driver's work on what they note
// falls into the call that draws or flushes it (glEnd, a state change).
std::array<bool, kEntryCount> timed{};

bool notesAVertex(std::string_view name) {
    for (std::string_view prefix : {"glVertex", "glColor", "glTexCoord", "glMultiTexCoord", "glNormal"})
        if (name.starts_with(prefix) && !name.ends_with("Pointer") && !name.ends_with("Array")) return true;
    return false;
}

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
        const double start = timed[Id] ? wallSeconds() : -1.0;
        if constexpr (std::is_void_v<R>) {
            real(a...);
            settle(start);
        } else {
            R result = real(a...);
            settle(start);
            return result;
        }
    }
    static void settle(double start) {
        if (start >= 0.0) secondsInside += wallSeconds() - start;
        real = Pointer, Pointer = &call;
    }
    static void install() {
        if (Pointer != &call) real = Pointer, Pointer = &call;
    }
    static void remove() {
        if (Pointer == &call) Pointer = real;
    }
};

}  // namespace

void installGLCallCounter() {
    for (size_t i = 0; i < kEntryCount; ++i) timed[i] = !notesAVertex(kNames[i]);
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

double glEntrySeconds() { return secondsInside; }

uint64_t glCallTotal() {
    uint64_t total = 0;
    for (uint64_t c : counts) total += c;
    return total;
}

}  // namespace ostravel
