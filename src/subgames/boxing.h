#pragma once
// Boxing: the player's boxer on the left against the computer's on the
// right, in a ring window on the subgame screen (conf/boxing.conf).
#include "subgames/sg.h"

// Reads conf/boxing.conf (or its twin) and the match keys. 0, or -1 after
// the message chain.
int SG_BOXING_PRELOAD(int writeBinary);
// Plays the match on the current visual board and screen; fills won.
// 1, or -1 when loading failed (nothing was played).
int SG_BOXING_RUN(SgBoxingOutcome* outcome);
// Frees what the preload keeps.
void sgBoxingFree();
