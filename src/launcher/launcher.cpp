// The starter: runs the game program that lies beside it, from that directory,
// without arguments, and exits at once without waiting for it.
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>

namespace {

const char kGameName[] = "pinball";

// The launcher's own full path: the running executable, else the first argument
// expanded to a full path.
bool ownPath(const char* argv0, char* out, size_t size) {
  ssize_t n = readlink("/proc/self/exe", out, size - 1);
  if (n > 0) {
    out[n] = '\0';
    return true;
  }
  if (!argv0) return false;
  char full[PATH_MAX];
  if (!realpath(argv0, full) || strlen(full) >= size) return false;
  strcpy(out, full);
  return true;
}

void printUsage() {
  std::fputs(
      "Usage: launcher\n"
      "Starts the game program 'pinball' that lies beside the launcher, with the\n"
      "launcher's directory as its working directory and no arguments, and exits\n"
      "at once. Arguments given to the launcher are not passed on.\n",
      stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
    printUsage();
    return 0;
  }

  char path[1024];
  // Without a full path there is no directory to start the game from: exit
  // quietly, as when the game can't be started.
  if (!ownPath(argc > 0 ? argv[0] : nullptr, path, sizeof path)) return 0;
  char* slash = strrchr(path, '/');
  if (!slash) return 0;
  slash[1] = '\0';
  char dir[1024];
  strcpy(dir, path);
  if (strlen(dir) + sizeof kGameName > sizeof path) return 0;
  strcat(path, kGameName);

  // Double fork: the game is reparented at once and never left as a zombie of
  // a launcher that has already gone.
  pid_t child = fork();
  if (child == 0) {
    if (fork() == 0) {
      setsid();
      if (chdir(dir) == 0) {
        char* const args[] = {path, nullptr};
        execv(path, args);
      }
      _exit(127);
    }
    _exit(0);
  }
  if (child > 0) {
    int status;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return 0;
}
