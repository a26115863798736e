#pragma once
// The hall of fame: the ten best scores with the players' names, best first,
// kept in the store key "hall-of-fame" (a file in the user's data folder)
// with a check value over the whole table, so that a table edited by hand is
// found out and replaced by the defaults.
#include <cstdint>

enum {
  HOF_ENTRIES = 10,
  HOF_NAME_SIZE = 32,      // a name: at most 31 bytes and a NUL
  HOF_CHECK_SIZE = 1024,   // the check text: at most 1023 bytes and a NUL
  HOF_EDIT_SIZE = 256,     // the name dialog's edit field
};

// Every entry becomes "---" with score 0.
void hofDefaults();
// Lines "%d:%s:%d\n" (index, name, score) of the ten entries, cut to fit
// HOF_CHECK_SIZE; returns text.
char* hofCheckText(char* text);
// Reads the table from the store; 1 when read whole and its check value
// matched, else 0 (the table may then hold what was read: the caller puts the
// defaults in its place).
int READ_RESULTS();
// Stores the table and its check value; 1 when every value was stored.
int SAVE_RESULTS();

// The name dialog, drawn by the game: it shows name (HOF_EDIT_SIZE bytes,
// filled with the last name entered) for editing and returns 1 (OK, name holds
// the text) or 2 (Cancel).
using HofNameDialog = int (*)(char* name, int size);
// Installs the dialog; null removes it.
void hofSetNameDialog(HofNameDialog dialog);

// Called when a game is over: a score greater than the tenth asks for the
// player's name and enters the table at its place. 1 when entered and
// stored, 0 otherwise (no place, Cancel, no dialog installed, or the store
// failed: the entry then stays in memory).
int hofEnter(int32_t score);

// The table for the menu.
const char* hofName(int index);   // "" for an index out of range
int32_t hofScore(int index);      // 0 for an index out of range
// Sets one entry (the name cut to 31 bytes); for tests and tools.
void hofSetEntry(int index, const char* name, int32_t score);
// The name proposed by the next dialog ("Player" at start).
const char* hofPlayerName();
void hofSetPlayerName(const char* name);
