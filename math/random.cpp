#include "math/random.h"

namespace ostravel {

namespace {

uint32_t randomStateWord = 1;

}  // namespace

void seed(uint32_t value) { randomStateWord = value; }

int nextRandom() {
    randomStateWord = randomStateWord * 214013u + 2531011u;
    return static_cast<int>((randomStateWord >> 16) & 0x7fffu);
}

double random01() { return nextRandom() / 32767.0; }

uint32_t randomState() { return randomStateWord; }

}  // namespace ostravel
