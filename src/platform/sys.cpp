#include "platform/sys.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace {

uint64_t monotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

bool systemFrequency(uint64_t* ticksPerSecond) {
  *ticksPerSecond = 1000000000ull;
  return true;
}

uint64_t systemTicks() { return monotonicNs(); }

uint32_t systemMilliseconds() { return static_cast<uint32_t>(monotonicNs() / 1000000ull); }

constexpr SysClock kSystemClock = {systemFrequency, systemTicks, systemMilliseconds};
const SysClock* gClock = &kSystemClock;

}  // namespace

const SysClock* sysClock() { return gClock; }

void sysSetClock(const SysClock* clock) { gClock = clock ? clock : &kSystemClock; }

bool sysListMatches(const char* pattern, std::vector<std::string>* names) {
  names->clear();
  std::string dir = ".";
  const char* glob = pattern;
  if (const char* slash = std::strrchr(pattern, '/')) {
    dir.assign(pattern, static_cast<size_t>(slash - pattern));
    if (dir.empty()) dir = "/";
    glob = slash + 1;
  }
  DIR* d = opendir(dir.c_str());
  if (!d) return false;
  while (dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    if (fnmatch(glob, e->d_name, 0) == 0) names->emplace_back(e->d_name);
  }
  closedir(d);
  return true;
}

std::string sysProgramDir() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return {};
  path[n] = '\0';
  char* slash = std::strrchr(path, '/');
  if (!slash) return {};
  if (slash == path) return "/";
  *slash = '\0';
  return path;
}

bool sysChangeDir(const char* path) { return chdir(path) == 0; }
