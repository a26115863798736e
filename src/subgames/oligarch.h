#pragma once
// Gold catching: bars roll down four chutes and the regime's figure catches
// them at the chutes' ends (conf/oligarch.conf).
#include "subgames/sg.h"

// Reads the settings. 0, or -1 after the message chain.
int SG_OLIGARCH_PRELOAD(int writeBinary);
// Plays on the current visual board and screen; fills goldCaught. 0, or -1
// when loading failed.
int SG_OLIGARCH_RUN(SgOligarchOutcome* outcome);
// Frees what the preload keeps.
void sgOligarchFree();
