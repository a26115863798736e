#include "support/testutil.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace fs = std::filesystem;

namespace {
// A test program run by hand, outside CTest, still keeps the game's data
// folder (the hall of fame) in the build tree, never in the real home; the
// programs it runs inherit the setting.
const bool kDataHomeSet = [] {
  setenv("QEL_DATA_DIR", PB_TEST_DATA_HOME, 0);
  return true;
}();
}  // namespace

TempDir::TempDir() {
  std::string tmpl = (fs::temp_directory_path() / "pbtest-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path, ec);
}

ScopedChdir::ScopedChdir(const std::string& dir) : previous(fs::current_path().string()) {
  fs::current_path(dir);
}

ScopedChdir::~ScopedChdir() {
  std::error_code ec;
  fs::current_path(previous, ec);
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool pathExists(const std::string& path) { return fs::exists(path); }

void copyFile(const std::string& from, const std::string& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::status(from).permissions());
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::string& cwd) {
  RunResult r;
  TempDir io;
  std::string outPath = io.file("out"), errPath = io.file("err");
  pid_t pid = fork();
  if (pid < 0) return r;
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
  r.out = readFile(outPath);
  r.err = readFile(errPath);
  return r;
}

StderrCapture::StderrCapture() {
  std::fflush(stderr);
  char tmpl[] = "/tmp/pbstderr-XXXXXX";
  int fd = mkstemp(tmpl);
  if (fd < 0) return;
  tmpPath = tmpl;
  savedFd = dup(2);
  dup2(fd, 2);
  close(fd);
  active = true;
}

std::string StderrCapture::finish() {
  if (!active) return {};
  std::fflush(stderr);
  dup2(savedFd, 2);
  close(savedFd);
  active = false;
  std::string text = readFile(tmpPath);
  std::remove(tmpPath.c_str());
  return text;
}

StderrCapture::~StderrCapture() { finish(); }

ScopedEnv::ScopedEnv(const char* n, const std::string& value) : name(n) {
  const char* v = std::getenv(n);
  had = v != nullptr;
  if (had) old = v;
  setenv(n, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (had)
    setenv(name.c_str(), old.c_str(), 1);
  else
    unsetenv(name.c_str());
}
