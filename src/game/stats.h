#pragma once
// Game statistics: a counter per named game event ("hit:t1", "msn:sel" ...)
// with the calendar times of its first and last occurrence in the session.
// Every sample also writes a level-5 debug line, so the log doubles as a
// timeline of the game.
#include <cstdint>
#include <ctime>

enum {
  GSTAT_MAX = 128,       // entries of GAMESTATS.STATS[]
  GSTAT_MNEMO_LEN = 64,  // longer mnemonics and descriptions are cut
  GSTAT_DESC_LEN = 128,
};

struct GstatEntry {
  int count;
  char mnemonic[GSTAT_MNEMO_LEN];
  char description[GSTAT_DESC_LEN];  // Windows-1251
  int64_t firstTime;                 // calendar seconds
  int64_t lastTime;
};

struct GameStats {
  GstatEntry STATS[GSTAT_MAX];  // in registration order
  int count;
  int64_t sessionStart;  // calendar seconds; -1 before gstatBegin
  std::tm sessionStartLocal;
};

// The table, read-only.
const GameStats* gstatTable();

// Empties the table; no session has begun.
void gstatInit();
// Appends an entry with count 0 and copies of both texts. 1, or 0 after
// "no free slots in GAMESTATS.STATS[], all 128 occupied".
int gstatAdd(const char* mnemonic, const char* description);
// Notes the calendar time as the session start and sets every entry's first
// and last time to it.
void gstatBegin();
// Counts the entry whose mnemonic equals the argument without regard to case.
// 1, or 0 after a message before gstatBegin or for an unregistered mnemonic.
int gstatSample(const char* mnemonic);

// The statistics preload of the start-up: gstatInit and the table's 75
// mnemonics with their descriptions. 0, or -1 when a registration failed.
int gstatPreload(int writeBinary);

// The count of a registered mnemonic (without regard to case), or -1.
int gstatCount(const char* mnemonic);
// The entry of a registered mnemonic (without regard to case), or null.
const GstatEntry* gstatFind(const char* mnemonic);

// One line per entry, in registration order: mnemonic TAB count. gstatLog
// writes the lines to the log; gstatWriteFile writes the same lines to a file
// (1, or 0 after "%s: error creating file '%s'" with "gstatWriteFile()").
void gstatLog();
int gstatWriteFile(const char* path);

// The session's frame counter shown in the sample lines (null: 0).
void gstatSetFrameCounter(const int* counter);
// The calendar clock in seconds (null: the system's time()). For tests.
void gstatSetClock(int64_t (*now)());
