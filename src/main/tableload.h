#pragma once
// The table load and unload as named phases, in the order of MILE3_LOAD.
// The session runs them all; tests and benchmarks that need only part of a
// table (its physics, say, on a memory screen) run a subset through the
// same code, so there is one load sequence.
//
//   phase             steps
//   TP_BOARD          the physics board for 256 objects
//   TP_GLOBAL         "conf/global.conf" (fails the load), "conf/bugtime.conf",
//                     the session's global keys, the table context, "temp/"
//   TP_PROGRESS       the load progress display ("data/ltime-progress.gsp")
//   TP_MAPS           the screen depth map and the layers' height maps
//   TP_REGIME_ASSETS  the regime's bitmaps and the check that every bitmap
//                     needed later is there (a missing one fails the load)
//   TP_SCREEN         the background (fails), the alpha image (fails), the
//                     ball screen, the table image, the visual board
//   TP_DISPLAY        the title display's geometry, the light tables
//                     cleared, both title contexts
//   TP_TRACKS         the tracks
//   TP_BALL_SPRITES   ball and shadow sprites (fail the load)
//   TP_LAMP_SPRITES   the regime's lamp sprites from "lights/"
//   TP_FAMILIES       the object families and readers (fails)
//   TP_SHAPES         the table geometry: every table object
//   TP_PRELOAD        the mosaic animations (fails)
//   TP_CURSORS        ruler and cursor sprites (fail)
//   TP_INTERFACE      the pause dialog's interface, "fx.reverse"
//   TP_TITLES         the animation scripts' tables, the title display on
//                     the visual board, every title configuration
//   TP_GAME_RESET     the game reset in the start regime, title macros cleared
//   TP_RULES_CONF     "conf/game.conf", "conf/sample.conf" (each fails)
//   TP_RULES          statistics, the four features' animation scripts,
//                     the game objects
//   TP_LIGHTS         the blink clock, lamps, table samples, the score
//                     subjects and their tips ("conf/score.conf")
//   TP_USER_EVENTS    the user events the recorder declares
//   TP_REPORT         the load-time report, the lamp and sprite lists
//
// A phase that fails the load says so above; the others write their error
// and the load goes on with the next phase.
#include <cstdint>

#include "anim/tv.h"
#include "core/conf.h"
#include "gfx/vboard.h"
#include "physics/board.h"

struct gscr;

enum TablePhase {
  TP_BOARD,
  TP_GLOBAL,
  TP_PROGRESS,
  TP_MAPS,
  TP_REGIME_ASSETS,
  TP_SCREEN,
  TP_DISPLAY,
  TP_TRACKS,
  TP_BALL_SPRITES,
  TP_LAMP_SPRITES,
  TP_FAMILIES,
  TP_SHAPES,
  TP_PRELOAD,
  TP_CURSORS,
  TP_INTERFACE,
  TP_TITLES,
  TP_GAME_RESET,
  TP_RULES_CONF,
  TP_RULES,
  TP_LIGHTS,
  TP_USER_EVENTS,
  TP_REPORT,
  TP_COUNT
};

constexpr unsigned tablePhaseBit(TablePhase p) { return 1u << p; }
constexpr unsigned TABLE_PHASES_ALL = (1u << TP_COUNT) - 1;
// The table's physics and rules' configuration without pictures, sprites,
// lamps or sound: what a headless simulation of the table needs.
constexpr unsigned TABLE_PHASES_PHYSICS = tablePhaseBit(TP_BOARD) | tablePhaseBit(TP_GLOBAL) |
                                          tablePhaseBit(TP_MAPS) | tablePhaseBit(TP_TRACKS) |
                                          tablePhaseBit(TP_FAMILIES) | tablePhaseBit(TP_SHAPES) |
                                          tablePhaseBit(TP_GAME_RESET) | tablePhaseBit(TP_RULES_CONF);

// The keys of the global set the session reads itself.
struct TableConfig {
  int rate;
  int fixed;
  double boardTimescale;
  double frameScale;  // 60 / rate
  int fxReverse;
  double ballRadius;
};

// What a table load owns; tableUnload gives it all back.
struct TableLoad {
  // Set by the caller before tableLoad.
  gscr* screen;        // the screen the table draws on (depth and alpha planes)
  int writeBinary;     // rewrite the binary twins of the configuration read
  int regime;          // the start regime
  int boardSlots;      // the physics board's size; 0: the table's 256
  BoardParams boardParams;  // TP_BOARD's parameters until TP_GLOBAL reads them
  // Owned.
  ConfSet global, gameSet, sampleSet;
  TableConfig cfg;
  TvGeometry tv;       // the title display (TP_DISPLAY)
  Board physics;
  VBOARD board;        // the visual board (TP_SCREEN)
  GdevDC* background;
  GdevDC* alphaDC;
  GdevDC* tableImage;
  Sprite *ball, *shadow, *ruler, *cursor;
  VBOBJ* rulerObject;
  VBOBJ* cursorObjects[3];
  int bugtimeBegin, bugtimeEnd;
  unsigned loaded;     // the phases run
  uint32_t startMs;
};

// The name of a phase ("TP_SHAPES"), for messages and tests.
const char* tablePhaseName(TablePhase phase);
// Forgets the table-wide state of every module that a table builds on (the
// rules, named procedures, key events, object registry, families, object
// kinds, tracks, title macros, table context): the start of every load.
void tableResetModules();
// Runs the phases of the mask in their order: 0, or -1 when a phase that
// fails the load failed (the phases run until then stay loaded for
// tableUnload).
int tableLoad(TableLoad* t, unsigned phases);
// Frees what the load made, in the order of the session's unload, and
// clears the record (keeping what the caller set).
void tableUnload(TableLoad* t);
// The sprite's table-wide "checkpoint" of the load-time estimator.
int tableLoadCheckpoint(const char* category);
