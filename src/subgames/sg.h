#pragma once
// The subgame framework: the three arcade subgames (boxing, the shooting
// gallery, gold catching) that interrupt the table as rewards. The rules ask
// for one (SG_REQUEST); the table session runs it between two of its frames:
// a steel frame rises over the table, opens and lights a surface, shows the
// subgame's introduction, runs the subgame on that surface, closes again,
// and the outcome is scored with titles and big scores (SG_OUTCOME).
#include "subgames/sgframe.h"

enum {
  SG_NONE = -1,
  SG_BOXING = 0,
  SG_DEPUTY = 1,    // the shooting gallery
  SG_OLIGARCH = 2,  // gold catching
  SG_COUNT = 3,
};

// What a subgame hands back; owned by the rules, filled by the subgame.
struct SgBoxingOutcome {
  int left;   // the player's boxer: the regime's person (0, 1, 2)
  int right;  // the computer's boxer
  int won;    // out: 1 when the player won
};
struct SgDeputyOutcome {
  int killedSmall, killedBig;  // out
};
struct SgOligarchOutcome {
  int person;      // the regime's person (0, 1, 2)
  int goldCaught;  // out
};
struct SgOutcome {
  SgBoxingOutcome boxing;
  SgDeputyOutcome deputy;
  SgOligarchOutcome oligarch;
};

// Reads conf/sg.conf (or its twin) and then each subgame's own settings.
// At table load and again at the start of every subgame. 0, or -1 after
// the message chain.
int SG_PRELOAD(int writeBinary);
// Remembers the subgame to run and the record its outcome goes to. 0, or -1
// with "can't request subgame %d, SE" for an id outside 0..2.
int SG_REQUEST(int id, SgOutcome* outcome);
// The requested subgame, or SG_NONE.
int sgRequested();
// The game configuration the outcome's values come from ("sg_deputy.*",
// "sg_oligarch.value"); the table load installs it (null: the defaults).
struct ConfSet;
void sgSetGameConf(ConfSet* gameConf);
// Forgets the request (the session clears it after the outcome).
void sgClearRequest();

// The opening of the screen over the current screen picture. 0, or -1 (the
// session goes on with the run and the closing).
int SG_SCREEN_IN();
// Runs the requested subgame on the lit surface. The subgame's own result
// (1 or 0), or -1 when it could not start.
int SG_RUN();
// The closing; gives the table's board back.
void SG_SCREEN_OUT();
// Scores the outcome through titles and the game score.
void SG_OUTCOME();
// Frees what the preload keeps (at table unload).
void sgFree();

// The outcome text for logs and tools: "boxing won 1", "deputy small 3 big 1",
// "oligarch gold 7".
const char* sgOutcomeText(int id, const SgOutcome* outcome);
