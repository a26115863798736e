#pragma once
// What the table objects need from the table session: the configuration sets,
// the frame factor, the game-wide elasticity, the table keys and the game
// clock. The session fills it while it loads the table; tests fill it with
// their own values.
#include "physics/geometry.h"

struct ConfSet;

struct TableContext {
  ConfSet* global;  // "conf/global.conf": physics, ball and view keys
  ConfSet* rules;   // "conf/game.conf": the rules' keys
  double f;         // frame factor: 60 / "video.rate"
  double globalK;   // "global_k": default elasticity of the shapes
  PerspKeys persp;  // view keys for drawing balls
  // 1 while the table key with this scan code is held; null: none is.
  int (*keyHeld)(int scan);
  // Asks the session for a new ball; free: one that does not count
  // against the balls left. Null: nobody to ask.
  void (*newBall)(int free);
  // A ball left the table across an edge: its TR_LEAVE_* trigger goes to
  // the session's trigger handler. Null: nobody listens.
  void (*leaveTable)(int trigger);
};

extern TableContext gTable;

// Defaults of every field: f 1, global_k 0.3, the default view, no sets,
// no keys held, no session.
void tableContextReset();
// Reads f, global_k and the view keys from the global set (kept as well).
void tableContextRead(ConfSet* global, ConfSet* rules);
// The board parameters from the global set's "rboard." keys for the
// frame factor of "video.rate".
struct BoardParams;
void tableReadBoardParams(ConfSet* global, BoardParams* params);

// The game clock in milliseconds: "now" of the table objects' delays.
double tableNow();
int tableKeyHeld(int scan);
void tableRequestBall(int free);

// The table key scan codes.
enum { TABLE_KEY_LEFT = 0x2C, TABLE_KEY_RIGHT = 0x35, TABLE_KEY_LAUNCH = 0x1D };
