#pragma once
// Modes: the rules that run side by side all game long (mission selection,
// laws, decrees, the Duma vote, the steal, the tax, the prizes, the question
// and opponent lanes), each an event handler of the mission events. They
// keep running across missions; a lost ball aborts them.
struct BoardObject;

// Mode numbers: 0 sends to every mode.
enum ModeNumber {
  MODE_ALL = 0,
  MODE_MSEL = 1,
  MODE_NONE = 2,
  MODE_STEAL = 3,
  MODE_LAWS = 4,
  MODE_UKAZY = 5,
  MODE_VOTE = 6,
  MODE_TAX = 7,
  MODE_PRIZES = 8,
  MODE_QUESTION = 9,
  MODE_OPPONENT = 10,
  MODE_COUNT = 11,
};

// Sends an event to one mode, or to every mode for mode 0 (in the order 1,
// 3, 4, ..., 10); unknown modes are ignored. 0.
int modeEvent(int mode, int event, int a, BoardObject* object);

// The mission selection's handler (mode 1); it lives with the mission
// symbols.
void modeMsel(int event, int a, BoardObject* object);

// The modes' configuration ("conf/modes.conf" or its twin "conf/modes.bcf";
// writeBinary rewrites the twin):
//   [question] timeout = 10   s the yes lane opens the question mission for
//   [steal]    timeout = 10   s the lane to the tubes carries a prisoner off
// then MEVT_RESET to every mode. 1, or 0 when the file could not be read
// (the defaults apply and the modes are reset all the same).
int setupModes(int writeBinary);
// Forgets the modes' state (the start of a table load).
void modeReset();
// Forgets the configuration too (the table's unload).
void modeFree();

// An observer of every event sent to the modes, called before they handle
// it (null: none): a trace of what the table objects report.
using ModeTap = void (*)(int mode, int event, int a, BoardObject* object);
void modeSetTap(ModeTap tap);
