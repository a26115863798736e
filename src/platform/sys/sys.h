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
  // Gives the processor away for about ms milliseconds (it may wake a little
  // later); null: the clock can't sleep and waits are spun.
  void (*sleepMs)(double ms);
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
// The working directory's full path; empty when it can't be read. Code that
// enters a subdirectory comes back by this path rather than by "..", which
// leads elsewhere when the subdirectory is a symbolic link.
std::string sysCurrentDir();

// Files by descriptor, for the readers that seek and read in pieces (packs,
// the unified file handles of zip access). The results follow the system's
// calls: -1 on failure with the reason in errno (strerror tells it).
enum SysOpenFlags {
  SYS_OPEN_READ = 0,        // read only
  SYS_OPEN_READWRITE = 1,   // read and write
  SYS_OPEN_WRITE = 2,       // write only
  SYS_OPEN_CREATE = 4,      // create when missing (mode 0666 less the umask)
  SYS_OPEN_TRUNCATE = 8,    // cut to zero length
  SYS_OPEN_EXCLUSIVE = 16,  // with SYS_OPEN_CREATE: fail when it exists
};
int sysOpen(const char* path, int flags);
long sysRead(int fd, void* dst, size_t len);
long sysWrite(int fd, const void* src, size_t len);
// whence: SEEK_SET, SEEK_CUR or SEEK_END of <cstdio>.
long sysSeek(int fd, long offset, int whence);
int sysClose(int fd);
long sysFileLength(int fd);
// True for a file that exists and is not a directory.
bool sysIsFile(const char* path);
// True for a regular file, with its size.
bool sysRegularFileSize(const char* path, unsigned long long* size);
// Creates a directory; true when it exists afterwards.
bool sysMakeDir(const char* path);
