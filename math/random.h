// The show's one random sequence: the 32-bit linear congruential generator
// state = state * 214013 + 2531011 (mod 2^32), yielding bits 16..30 (0..32767). It is the only
// generator of the program (glibc's rand gives other numbers): every seeded layout of the show
// depends on its exact values.
#pragma once

#include <cstdint>

namespace ostravel {

// seed(1) restores the state the program starts with.
void seed(uint32_t value);
int nextRandom();           // 0..32767, the program's rand()
double random01();          // nextRandom() / 32767, both ends included
uint32_t randomState();     // for tests and diagnostics

}  // namespace ostravel
