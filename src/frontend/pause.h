#pragma once
// The pause dialog: a window with two choices, continue and exit, drawn over
// the frozen table, driven by the mouse (hot areas over the choices) and the
// keyboard (flipper or arrow keys move the highlight, Enter confirms, Escape
// continues).

enum { PAUSE_CONTINUE = 0, PAUSE_EXIT = 1 };

// Loads the dialog's sprites; 1 when all four loaded.
int setupInterface();
// Runs the dialog; 1 to leave the session, 0 to continue.
int showPauseDialog();

// The choice highlighted and the choice made (-1 none), for tests.
int pauseHighlighted();
int pauseChosen();
// 1 while the dialog is on the screen.
int pauseShowing();
