#pragma once
// System services that stand in for the Windows ones: clocks, directory
// listing, the program's own directory. No SDL here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The clock as a table of functions, so tests can drive time by hand.
struct SysClock {
  bool (*counterFrequency)(uint64_t* ticksPerSecond);  // false: no counter
  uint64_t (*counterTicks)();
  uint32_t (*milliseconds)();  // the coarse system millisecond clock
};
const SysClock* sysClock();
// Installs another clock; null restores the system clock.
void sysSetClock(const SysClock* clock);

// Bare names of the entries of a directory that match a wildcard pattern
// ("ltime/*"), in directory order, without "." and "..". False when the
// directory can't be read.
bool sysListMatches(const char* pattern, std::vector<std::string>* names);

// The directory of the running program, without a trailing '/'; empty when
// it can't be found.
std::string sysProgramDir();
bool sysChangeDir(const char* path);
