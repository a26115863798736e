#pragma once
// Helpers shared by the test programs: scratch directories, whole files, and
// running a real program with its output captured.
#include <string>
#include <vector>

// A fresh empty directory under the system's temp dir, removed with its
// contents when the object goes out of scope.
struct TempDir {
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path;
  std::string file(const std::string& name) const { return path + "/" + name; }
};

// Changes the working directory for the lifetime of the object.
struct ScopedChdir {
  explicit ScopedChdir(const std::string& dir);
  ~ScopedChdir();
  std::string previous;
};

// Sets an environment variable for the lifetime of the object, then puts
// back what it was (or unsets it).
struct ScopedEnv {
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  std::string name, old;
  bool had;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool pathExists(const std::string& path);
void copyFile(const std::string& from, const std::string& to);  // keeps the mode bits

struct RunResult {
  int exitCode = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};
// Runs program with args in cwd (empty: the current directory), no standard input.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& cwd = "");

// Captures what the process itself writes to standard error while alive.
struct StderrCapture {
  StderrCapture();
  ~StderrCapture();
  std::string finish();  // stops capturing and returns what was written
  int savedFd = -1;
  std::string tmpPath;
  bool active = false;
};
