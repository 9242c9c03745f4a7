// Counts the calls the program makes through every GL entry point that libepoxy dispatches (all
// of gl_generated.h's, both contexts together), to see where a frame's calls go. While installed,
// each of epoxy's global function pointers points at a counting twin that passes the call on.
//
// Limits: calls GLU makes into libGL directly (gluLookAt's glMultMatrixd, the tessellator) and
// the commands replayed from display lists are not entry-point calls here and are not counted;
// the counting itself costs time, so frame times measured with it are not the show's. Each call
// but those that note one attribute of a vertex is timed too (wall time inside the entry point, on
// the steady clock; two clock reads a call, part of whose cost falls inside).
#pragma once

#include <cstdint>
#include <vector>

namespace ostravel {

struct GLEntryCount {
    const char* name;  // "glBegin"
    uint64_t calls;
};

// Points epoxy's pointers at the counting twins (idempotent). A pointer that epoxy has not yet
// resolved is resolved by its first call and the twin put back in its place.
void installGLCallCounter();
// Puts epoxy's pointers back.
void removeGLCallCounter();
// Calls through every entry point since the counter was installed, in the header's order.
std::vector<GLEntryCount> glCallCounts();
uint64_t glCallTotal();
// Wall seconds the calling threads have spent inside the timed entry points since the counter was
// installed (GL is called from the show's thread only).
double glEntrySeconds();

}  // namespace ostravel
