#pragma once
// The menu: its pages start table sessions in the chosen regime and come back
// when they end.

// Loads what the menu needs before the video mode is set. 0, or -1.
int MENU_PRELOAD(int writeBinary);
// Runs the menu until the player quits; the result is logged by the caller.
int MENU(int writeBinary, int record);
