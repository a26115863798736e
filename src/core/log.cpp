// The process-wide log. All state is static and set at program load; nothing
// here allocates. Each line opens the log file, writes and closes it again,
// so the file is complete after every line even if the program dies.
#include "core/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/text.h"

namespace {

constexpr size_t kLineSize = 2048;  // each entry point formats into its own buffer
constexpr size_t kNameSize = 128;   // log directory, log file name and the joined path

char gLogDir[kNameSize] = ".";
char gLogName[kNameSize] = "";
bool gTruncateNext = false;
bool gMute = false;
int gConsole = 0;  // lines reach standard error while this is 0 or more
int gDebugLevel = 0;

// Opens the log file for one line, or null when no file is named or it can't
// be opened (then the line is skipped for the file). While the truncate-next
// flag is on the file is recreated; clearing the flag is up to the caller
// (only ordinary lines do it).
FILE* openLogFile() {
  if (gLogName[0] == '\0') return nullptr;
  char path[kNameSize];
  strFormatN(path, sizeof path, "%s/%s", gLogDir, gLogName);
  return std::fopen(path, gTruncateNext ? "w" : "a");
}

// The common tail of logPrint and logError for a text that was not a command.
void writeLine(const char* text) {
  if (gConsole >= 0) std::fprintf(stderr, "%s\n", text);
  if (FILE* f = openLogFile()) {
    std::fprintf(f, "%s\n", text);
    std::fclose(f);
  }
}

// The second blank-separated token of text (tabs are not delimiters), copied
// into arg; false when there is none.
bool commandArgument(const char* text, char* arg, size_t size) {
  char work[kLineSize];
  strCopyN(work, text, sizeof work);
  char* word = nullptr;
  char* value = nullptr;
  strSplit(work, " ", &word, &value, nullptr);
  if (!value) return false;
  strCopyN(arg, value, size);
  return true;
}

}  // namespace

int logSetDir(const char* dir) {
  if (!dir || !*dir) dir = ".";
  // The joined path must not be cut: that would write another file.
  if (std::strlen(dir) + 1 + std::strlen(gLogName) >= kNameSize) return 0;
  strCopyN(gLogDir, dir, sizeof gLogDir);
  return 1;
}

int logCommand(const char* text) {
  if (!text) return 0;
  enum { WRITE_FILE, FILE_, LOG_CREATE, LOG_APPEND, LOG_PATH, MUTE, STDERR_ };
  // Order matters: the first word the text begins with wins.
  int word = strIndexP(text, "WRITE_FILE", "FILE", "LOG_CREATE", "LOG_APPEND", "LOG_PATH", "MUTE",
                       "STDERR", nullptr);
  if (word < 0) return 0;

  char arg[kLineSize];
  bool hasArg = commandArgument(text, arg, sizeof arg);
  switch (word) {
    case WRITE_FILE:
      std::fputs("WRITE_FILE is deprecated, use LOG_xx instead\n", stderr);
      return 0;
    case FILE_:
      std::fputs("FILE is deprecated, use LOG_xx instead\n", stderr);
      return 0;
    case LOG_CREATE:
    case LOG_APPEND:
      if (word == LOG_CREATE) gTruncateNext = true;
      strCopyN(gLogName, hasArg ? arg : "", sizeof gLogName);
      return 1;
    case LOG_PATH:
      strCopyN(gLogDir, hasArg ? arg : ".", sizeof gLogDir);
      return 1;
    case MUTE:
      if (const long* value = hasArg ? strToLong(arg) : nullptr) gMute = *value != 0;
      return 1;
    case STDERR_:
      if (const long* value = hasArg ? strToLong(arg) : nullptr) {
        gConsole += *value != 0 ? 1 : -1;
        return 1;
      }
      return 0;
  }
  return 0;
}

int logPrint(const char* format, ...) {
  static char text[kLineSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);

  if (int result = logCommand(text)) return result;
  if (gMute) return 1;
  writeLine(text);
  if (gTruncateNext) {
    gTruncateNext = false;
    return 1;
  }
  return 0;
}

int logError(int status, const char* format, ...) {
  static char text[kLineSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);

  if (logCommand(text) || gMute) return status;
  // Leaves the truncate-next flag on: only an ordinary line ends a fresh file's
  // first write.
  writeLine(text);
  return status;
}

int logDebug(int level, const char* format, ...) {
  if (level > gDebugLevel) return 0;
  static char text[kLineSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (FILE* f = openLogFile()) {
    std::fprintf(f, "D%d: %s\n", level, text);
    std::fclose(f);
  }
  return 0;
}

void logSetDebugLevel(int level) { gDebugLevel = level; }

int logGetDebugLevel() { return gDebugLevel; }

void logReset() {
  strCopyN(gLogDir, ".", sizeof gLogDir);
  gLogName[0] = '\0';
  gTruncateNext = false;
  gMute = false;
  gConsole = 0;
  gDebugLevel = 0;
}
