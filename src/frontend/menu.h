#pragma once
// The menu: its pages start table sessions in the chosen regime and come back
// when they end.

// Loads what the menu needs before the video mode is set. 0, or -1.
int MENU_PRELOAD(int writeBinary);
// Runs the menu until the player quits; the result is logged by the caller.
int MENU(int writeBinary, int record);

// The table session the menu starts (the program entry installs MILE3):
// (playback, record flag, write-binary flag, regime) -> its result.
using MenuSession = int (*)(const char* playback, int record, int writeBinary, int regime);
void menuSetSession(MenuSession session);
