#pragma once
// The menu: a full-screen page over the table's picture with a moving logo,
// a looping video and animated buttons. Its pages start table sessions in
// the chosen regime and come back when they end.

// Loads what the menu needs before the video mode is set. 0, or -1.
int MENU_PRELOAD(int writeBinary);
// Runs the menu until the player quits: 0, or -1 when its data failed to
// load. Table sessions start from its regime page.
int MENU(int writeBinary, int record);
// The menu's own data (element sprites, cursor, logo, video, fonts), loaded
// when the menu opens and again after each game. 0, or -1.
int MENU_LOAD();

// The table session the menu starts (the program entry installs MILE3):
// (playback, record flag, write-binary flag, regime) -> its result.
using MenuSession = int (*)(const char* playback, int record, int writeBinary, int regime);
void menuSetSession(MenuSession session);
