#pragma once
// Balls: the ball object's handler (movement, gravity, air, speed limit,
// the jump height model and drawing through the table view) and its creation.
#include "physics/board.h"

struct Sprite;
struct VBOBJ;
struct GdevDC;
struct ConfSet;

// The block each ball owns (its parms).
struct BallParms {
  VBOBJ* sprite;   // visual layer 3
  VBOBJ* sprite2;  // visual layer 0
  double maxvelo;  // "ball.maxvelo" x f
  int jumping;     // "ball.hm_jump"
  double jumpHeight;  // "ball.hm_delta"
  double jumpVelo;
  double hmK;      // "ball.hm_k"
  int dframe;      // "ball.dframe"
  int subpixel;    // "ball.subpixel"
};

// Creates a ball from data with instances of the two sprites (either may be
// null: no drawing) and the given lmask. Null after logging.
BoardObject* CREATE_BALL(const BallData* data, Sprite* ball, Sprite* second, int lmask);
int ballHandler(BoardObject* object, BoardEvent* event);
BallParms* ballParms(BoardObject* ball);  // null for anything but a ball made by CREATE_BALL

// The ball data of a new ball from the global set's new-ball keys
// ("ball.newball_x" ... "ball.newball_track", "ball.radius"); a credited
// ball starts with "ball.newball_credit_trackvelo". The track file is loaded
// on first use. lmask gets "ball.newball_lmask".
void ballNewBallData(ConfSet* global, double f, int credited, BallData* data, int* lmask);

// The ball radius "ball.radius" of the global set, written as a fraction or
// an integer (default 3).
double ballRadius(ConfSet* global);

// The session's ball and shadow sprites, found in SPRITES[] by the paths
// "ball.sprite" and "ball.shadow_sprite" of the table's global set give them
// (a sprite loaded from a file is named after its path); null for one that
// is not loaded: a ball made with it is then not drawn.
void ballSessionSprites(Sprite** ball, Sprite** shadow);

// The edge a ball leaving the table at x crosses. The values are the
// numbers of the rules' triggers TR_LEAVE_DUMA, TR_LEAVE_CENTER and
// TR_LEAVE_GASPROM, which the session's trigger handler receives.
enum BallLeave { BALL_LEAVE_DUMA = 0, BALL_LEAVE_CENTER = 1, BALL_LEAVE_GASPROM = 2 };
int ballLeaveTrigger(double x);

// The height model's step: returns the new (height, velocity, jumping).
void ballJumpStep(double* height, double* velo, int* jumping, double hmGravity, double hmK, double dt);

// The frame of the ball sprite for a ball drawn at screen position (sx, sy)
// whose projected size is size pixels, for a sprite of frameCount frames
// whose frames are w x h.
int ballFrame(int size, double sx, double sy, int w, int h, int frameCount, int subpixel, int dframe);

// The ball screen: a memory surface the size of the screen on which each
// ball leaves a white dot at its table position.
int ballScrCreate();
void ballScrFree();
GdevDC* ballScreen();
