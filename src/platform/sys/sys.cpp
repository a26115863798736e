#include "platform/sys/sys.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
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

void systemSleep(double ms) {
  if (!(ms > 0)) return;
  timespec ts{};
  const double ns = ms * 1e6;
  ts.tv_sec = static_cast<time_t>(ns / 1e9);
  ts.tv_nsec = static_cast<long>(ns - static_cast<double>(ts.tv_sec) * 1e9);
  nanosleep(&ts, nullptr);
}

constexpr SysClock kSystemClock = {systemFrequency, systemTicks, systemMilliseconds, systemSleep};
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

std::string sysCurrentDir() {
  std::vector<char> buffer(256);
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

int sysOpen(const char* path, int flags) {
  if (!path) {
    errno = EINVAL;
    return -1;
  }
  int f = (flags & SYS_OPEN_READWRITE) ? O_RDWR : (flags & SYS_OPEN_WRITE) ? O_WRONLY : O_RDONLY;
  if (flags & SYS_OPEN_CREATE) f |= O_CREAT;
  if (flags & SYS_OPEN_TRUNCATE) f |= O_TRUNC;
  if (flags & SYS_OPEN_EXCLUSIVE) f |= O_EXCL;
  return open(path, f, 0666);
}

long sysRead(int fd, void* dst, size_t len) { return static_cast<long>(read(fd, dst, len)); }

long sysWrite(int fd, const void* src, size_t len) { return static_cast<long>(write(fd, src, len)); }

long sysSeek(int fd, long offset, int whence) { return static_cast<long>(lseek(fd, offset, whence)); }

int sysClose(int fd) { return close(fd); }

long sysFileLength(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return -1;
  return static_cast<long>(st.st_size);
}

bool sysIsFile(const char* path) {
  struct stat st {};
  return path && stat(path, &st) == 0 && !S_ISDIR(st.st_mode);
}

bool sysMakeDir(const char* path) {
  struct stat st {};
  if (!path) return false;
  if (mkdir(path, 0777) == 0) return true;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool sysRegularFileSize(const char* path, unsigned long long* size) {
  struct stat st {};
  if (!path || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (size) *size = static_cast<unsigned long long>(st.st_size);
  return true;
}
