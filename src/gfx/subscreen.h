#pragma once
// Subscreens: a full-screen interlude (the pause dialog, ...) draws over a
// saved copy of the screen with a visual board of its own, and the screen
// comes back as it was when the interlude ends.

// Saves gsCurrent into a new memory surface, makes a fresh visual board on
// that copy and selects it (remembering the board that was selected). 1, or
// 0 after logging. Subscreens nest up to SUBSCREEN_MAX_DEPTH deep.
int beginSubscreen();
// Copies the saved picture back onto the screen, marks it all dirty,
// reselects the remembered board, drops the subscreen's board and frees the
// saved copy. 1, or 0 after logging when no subscreen is open.
int endSubscreen();
// Subscreens open now.
int subscreenDepth();

enum { SUBSCREEN_MAX_DEPTH = 8 };
