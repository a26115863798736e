#pragma once
// The table in memory, without window, sound device or ball: the table
// session's load on a screen of its own and the drawing half of its frame
// (lamps, animation scripts, the title display, the visual board). For
// pictures of the table (pbtool scene) and for measuring what a frame of the
// display costs (bench/). The working directory must be a game folder.
//
// A live scene is the table in play (play.h) on that screen: the session's
// trigger actions, new-ball request and table keys installed, a game begun,
// and each step one whole frame of the session's loop without the window.
// Tests play the real game on it.
#include "gfx/screen.h"
#include "main/tableload.h"
#include "platform/gdev.h"

struct TableScene {
  GdevDC* display;
  GdevDevice device;
  gscr screen;
  TableLoad table;
  int live;  // the table is in play (sceneOpenLive)
};

enum { SCENE_WIDTH = 800, SCENE_HEIGHT = 600, SCENE_BITS = 15 };

// Makes the screen (800 x 600, 15 bits a pixel like the game's window) and
// loads the table in the regime: every phase of the session's load but the
// last (the load-time report, which would write the estimator's files). 1, or 0 after logging
// (what was made is freed again).
int sceneOpen(TableScene* scene, int regime);
// One frame of dt ms: the lamps, the scripts, the visual board's restore,
// the title display and the board's draw. The first frame after sceneOpen
// draws everything.
void sceneFrame(TableScene* scene, double dt);

// Opens a live scene: the screen and the load of sceneOpen with the table in
// play from before the load on (playBegin, the table keys read from the
// user events' key maps), then what the session does before its loop: the
// key maps cleared and TR_GAME_BEGIN, which asks for the first ball. 1, or 0
// after logging (what was made is freed again).
int sceneOpenLive(TableScene* scene, int regime);
// One whole frame of the session's loop on a live scene, without input,
// pause dialog or present: the subgame and the regime switch the rules asked for, the
// playing frame, the frame's end (no waiting on the turbo clock), the ball
// trace, the recording's tick and the frame counter. The keys come through
// playUserEvent. 1, or 0 when the regime switch failed or a subgame's
// picture is missing (the session's loop ends there).
int sceneStep(TableScene* scene);

// Unloads the table (out of play first when live) and frees the screen.
void sceneClose(TableScene* scene);
