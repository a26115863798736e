#pragma once
// A scratch file for fuzz targets whose reader takes a path: made once per
// process under /tmp, rewritten with every input, removed at exit.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

inline std::string& fuzzScratchPath() {
  static std::string path;
  return path;
}

inline void fuzzScratchCreate(const char* stem) {
  std::string name = std::string("/tmp/") + stem + "-XXXXXX";
  int fd = mkstemp(name.data());
  if (fd < 0) std::abort();
  close(fd);
  fuzzScratchPath() = name;
  std::atexit([] { unlink(fuzzScratchPath().c_str()); });
}

inline void fuzzScratchWrite(const uint8_t* data, size_t size) {
  int fd = open(fuzzScratchPath().c_str(), O_WRONLY | O_TRUNC);
  if (fd < 0 || write(fd, data, size) != static_cast<ssize_t>(size)) std::abort();
  close(fd);
}

// A scratch folder under /tmp, made once per process and made the working
// directory; removed with everything in it at exit.
inline std::string fuzzScratchDir(const char* stem) {
  std::string name = std::string("/tmp/") + stem + "-XXXXXX";
  if (!mkdtemp(name.data())) std::abort();
  static std::string removeAtExit;
  removeAtExit = name;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(removeAtExit, ignored);
  });
  if (chdir(name.c_str()) != 0) std::abort();
  return name;
}
