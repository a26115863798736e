#pragma once
// The process-wide log: ordinary lines, levelled debug lines and error reports.
// Where lines go is itself steered by command lines written through the same
// channel ("STDERR 0", "LOG_CREATE #report.txt", "LOG_PATH ..", "MUTE 1" ...).
//
// Status convention: a failing function returns logError(failureValue,
// "%s: what went wrong", "ITS_NAME()"), so failures leave a chain of lines
// from the innermost outwards.
//
// A message that ends in ", SE" (or names a "possible SE") reports a software
// error: an internal inconsistency of the program, such as a call with a
// handle that cannot exist, rather than bad data or a missing file.
//
// Where this game knowingly differs from the behaviour it reproduces (a bounds
// check, a safe default, a mended crash), the place carries a comment that
// begins with "DELIBERATE:" and says what differs and why:
//   grep -rn "DELIBERATE:" src

#define PB_PRINTF(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))

// Formats a line; a command is obeyed and returns nonzero, a muted line returns
// nonzero; otherwise the line goes to standard error (console counter >= 0) and
// to the log file (when named). Returns 1 when this line cleared the
// truncate-next flag, else 0.
int logPrint(const char* format, ...) PB_PRINTF(1, 2);

// Writes "D<level>: text" to the log file only, when level <= the debug level.
int logDebug(int level, const char* format, ...) PB_PRINTF(2, 3);

// Like logPrint, but always returns status unchanged.
int logError(int status, const char* format, ...) PB_PRINTF(2, 3);

// 1 when the text was a log command that was obeyed, else 0.
int logCommand(const char* text);
// The folder of the log file, as "LOG_PATH" sets it, taken whole (a path
// may hold spaces); null or "" is the working directory. 0 when the path
// joined with the log file's name would be too long (nothing changes), else 1.
int logSetDir(const char* dir);

void logSetDebugLevel(int level);
int logGetDebugLevel();

// Back to the state at program load (no file, console on, not muted, debug 0).
// For tests and tools that run several independent jobs in one process.
void logReset();
