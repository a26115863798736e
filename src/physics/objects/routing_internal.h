#pragma once
// What the routing kinds (routing*.cpp) share beyond the common reader and
// handler steps (objects_common.h): the side of a directional object a ball
// is on, putting a ball on a track, the balls the objects create, and the
// resets of each file's table-wide state.
#include "physics/objects/objects_common.h"

struct Track;
struct ConfSet;

enum { SIDE_LEFT = 0, SIDE_RIGHT = 1 };

// The axis of a directional object: from the outline position to its vertex
// farthest from it (the first of equally far ones).
Vec3 routingAxis(const Outline* outline);
// The side of the axis (SIDE_LEFT or SIDE_RIGHT) that the point p lies on.
// Looking along the axis, the left side is on the left hand.
int routingSide(Vec3 axis, Vec3 position, Vec3 p);

// Puts a free or riding ball on a track at trackpos (the nearest position
// to the ball when trackpos is negative), with the ball's 2-D speed as its
// track speed. Returns the trackpos used.
double routingPutOnTrack(BoardObject* ball, Track* track, double trackpos);
// A ball leaves its track and goes on with its present velocity.
void routingTakeOffTrack(BoardObject* ball);

// A numeric key of a configuration set that may be written as an integer or
// as a fraction; the default when it is neither.
double routingConfNumber(ConfSet* set, const char* key, double defaultValue);

// A big score of the rules: the number under key in the rules' configuration
// (default -1) times the rules' multiplier, kept within the int range.
int routingBigScore(const char* key);

// A ball put on the table by an object (the zona's balls, the ostlift's
// released balls): drawn with the session's ball and shadow sprites
// (ballSessionSprites), radius ballRadius. Null after logging.
BoardObject* routingCreateBall(const BallData* data, int lmask);

// Per-file parts of routingReset.
void blockersReset();
void sprdoorReset();
void zonaReset();
void ostliftReset();
