#pragma once
// The shooting gallery: deputies run across the square, the player fires
// the left rifle with the left flipper key and the right one with the right
// flipper key (conf/deputy.conf).
#include "subgames/sg.h"

// Reads the settings and the four kinds' sprites, loads the nine samples.
// 0, or -1 after the message chain.
int SG_DEPUTY_PRELOAD(int writeBinary);
// Plays the gallery on the current visual board and screen; fills the
// killed counts. 0, or -1 when a sprite is missing.
int SG_DEPUTY_RUN(SgDeputyOutcome* outcome);
// Frees what the preload keeps.
void sgDeputyFree();
