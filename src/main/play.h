#pragma once
// The table in play: what a table session does with its loaded table from
// one frame to the next, apart from the window. The session's trigger
// actions (balls leaving the table, saved and lost balls, the start of a
// game), the new-ball request, the first frame's set-up, the playing frame's
// work (the new ball, the board step, lamps, rules, scripts, titles, tips,
// the board's draw, sound), the user events of the table keys and the
// regime switch the rules ask for.
//
// MILE3's loop runs it between its input and its present; a live scene
// (scene.h) runs the same functions on a screen in memory, so that tests
// play the game's own frame. One table is in play at a time.
struct BoardObject;
struct GdevEvent;
struct TableLoad;

// Starts play on a table that is about to be loaded (the record the load
// fills): forgets the requests of the table played before, resets the
// frame counter and the modules a table builds on (tableResetModules) and
// installs the session's trigger actions, the new-ball request and keyHeld
// as the reader of the table keys. The first playing frame sets up the
// frame rate and the view and restores the whole board.
void playBegin(TableLoad* table, int (*keyHeld)(int scan));
// Removes the trigger actions and the ball request again; the table stays
// loaded (its owner unloads it).
void playEnd();
// The table in play, or null.
TableLoad* playTable();

// The regime switch the rules asked for (game.pendingRegime), as the loop
// does it before a frame: "switching regime %d -> %d" and SWITCH_REGIME. 1
// when none was asked for or it is done, 0 after its message when the
// switch failed (the session ends there).
int playSwitchRegime();
// The subgame the rules asked for (game.requestedSubgame), as the loop runs
// it at the top of a frame: "launching subgame %d", the mosaic into the
// regime's subgame picture, the subgame screen and the subgame with its
// frames recorded and replayed like the table's, the way back, "returned
// from subgame %d", its outcome in the log and scored, and the ball the
// tower took sent back. 1 when none was asked for or it ran; 0 after its
// message when the picture is missing (the session ends there).
int playSubgame();
// The subgame on the screen (from its opening to its closing), or -1.
int playSubgameRunning();
// The outcome records of the last subgame.
struct SgOutcome;
const SgOutcome* playSubgameOutcome();
// Tools and tests: called before each subgame frame takes its input, with
// the frame's number (from 0); it may post events to the window's queue,
// which the frame then takes as the player's. A nonzero return ends the
// subgame as a closed window would. Null: none.
void playSetSubgameFeed(int (*feed)(int frame));
// One playing frame up to the present: the requested new ball, the first
// frame's set-up, tmBeginFrame, the board step, the lamps, the rules'
// update outside game over, the scripts, the visual board's restore, the
// titles, the tips, the board's draw and the sound.
void playFrame();
// The time the playing frames' stages took, in microseconds, added up
// while a record is installed (benchmarks); null stops measuring.
struct PlayFrameCost {
  double physics;  // the board step
  double lamps;    // the lamp programs and the synchronised lamps
  double rules;    // modes, missions and the game's clock
  double scripts;  // the animation scripts
  double titles;   // the title display and the score tips
  double draw;     // the visual board's restore and draw
  double sound;    // the music's fade and the sound update
};
void playMeasureFrames(PlayFrameCost* cost);
// After the present: the ball trace of every 300th frame.
void playFrameTrace();

// A user event as the session takes it: the key maps follow it; a key going
// down moves a flipper's lamps and lanes (the flipper keys) outside game
// over, starts a new game (R) in game over, and Space redraws everything.
void playUserEvent(const GdevEvent* event);
// The next playing frame restores the whole visual board.
void playRedraw();

// Asks for a ball at the start of the next playing frame; a free ball does
// not use up one of the balls left.
void requestNewBall(int free);
// The first ball still in play (not marked to go), or null.
BoardObject* playFirstBall();
