#include "core/random.h"

namespace {
uint32_t gState = 1;
}

void rndSeed(uint32_t seed) { gState = seed; }

// A linear congruential generator with the classic constants; the high bits
// are the good ones, so the value is taken from bits 16..30.
int rndNext() {
  gState = gState * 214013u + 2531011u;
  return static_cast<int>((gState >> 16) & RND_MAX);
}

int rndBelow(int n) { return n > 0 ? rndNext() % n : 0; }
