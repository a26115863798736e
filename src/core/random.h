#pragma once
// The program's one random generator. Seedable and the same on every platform
// and build, so recorded sessions replay exactly.
#include <cstdint>

enum { RND_MAX = 0x7FFF };

void rndSeed(uint32_t seed);
// The next value in 0..RND_MAX.
int rndNext();
// A value in 0..n-1 (0 when n <= 0).
int rndBelow(int n);
