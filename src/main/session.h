#pragma once
// The table session: load everything the table needs in a fixed order, run
// one loop iteration per displayed frame until the pause dialog (or a severe
// error) ends it, then unload. The loop owns the window's part of a frame
// (input events, the pause dialog, the present); the table in play (play.h)
// does the rest.
#include <cstdint>

// Runs a session; 0 when the loop ended, -1 when loading failed.
int MILE3(const char* playback, int record, int writeBinary, int regime);
int MILE3_LOAD(const char* playback, int record, int writeBinary, int regime);
// Switches to the pending regime; 1, or 0 when its background is missing.
int SWITCH_REGIME(int rate);
struct TableLoad;
// The switch itself on a loaded table (the session's, or a scene's): new
// artwork and lamp sprites through a mosaic transition, the regime, the idle
// title and the music. 1, or 0 when the regime's background is missing.
int tableSwitchRegime(TableLoad* t, int to, int rate);
// Reads a saved game state; 1, or 0 after the message.
int loadGameState(const char* path, int* frame, double* time);
// 1 when every bitmap needed later is among the regime assets.
int checkRDABitmaps();

// Options for tests and measurements: sessions end after this many frames
// (0: no limit), as if the pause dialog's exit had been chosen; the
// statistics are also written to this file at the end of every session.
void sessionSetFrameLimit(int frames);
void sessionSetStatDump(const char* path);
// Practice and tests: a session that plays subgame id (0..2) once instead of
// the table, writes its outcome to the log and ends; -1: the table as ever.
void sessionSetSubgame(int id);
// The screen as it is at the end of every session is written to this BMP
// file (null or empty: not).
void sessionSetScreenshot(const char* path);
// Writes the current screen to a 24-bit BMP file; 1, or 0 after the message.
int sessionWriteScreenshot(const char* path);

// The frame counter of the running session.
extern int tmFrame;

// The table keys: fixed scan codes.
enum { KEY_LEFT_FLIPPER = 0x2C, KEY_RIGHT_FLIPPER = 0x35, KEY_LAUNCH = 0x1D, KEY_R = 0x13 };
