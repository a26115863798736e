#pragma once
// The table in memory, without window, sound device or ball: the table
// session's load on a screen of its own and the drawing half of its frame
// (lamps, animation scripts, the title display, the visual board). For
// pictures of the table (pbtool scene) and for measuring what a frame of the
// display costs (bench/). The working directory must be a game folder.
#include "gfx/screen.h"
#include "main/tableload.h"
#include "platform/gdev.h"

struct TableScene {
  GdevDC* display;
  GdevDevice device;
  gscr screen;
  TableLoad table;
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
// Unloads the table and frees the screen.
void sceneClose(TableScene* scene);
