#pragma once
// The board: the physics world of the table. A flat plane in table units
// (x to the right, y down the table, 0..800 by 0..600) holding balls, shapes
// (static or moving polygons), flippers (polygons turning about a pivot) and
// cflippers (the player's flippers, a capsule). Each step moves the balls,
// finds the earliest ball contact by exact swept tests and reports it to the
// handler of the touched object; the board never bounces a ball itself, the
// handlers do with the response operations below.
#include "physics/geometry.h"

struct Track;
struct BoardIndex;

enum BoardKind { BK_BALL = 0, BK_SHAPE = 1, BK_FLIPPER = 2, BK_CFLIPPER = 3 };

enum BoardEventType {
  BE_CREATE = 0,   // on insertion; a negative return refuses it
  BE_KILL = 1,     // on removal
  BE_FRAME = 2,    // once per step, after all movement; dt = frame time
  BE_MOVE = 3,     // once per sub-step; dt = sub-step length
  BE_SCRATCH = 4,  // once per step per pair in contact, other = the ball
  BE_HIT = 5,      // a ball touches the object
  BE_UNHIT = 6,    // a ball in contact leaves it
};

enum { BOARD_MAX_OBJECTS = 256 };

// Filled by the table loader from the global configuration; owned by it.
struct BoardParams {
  double gravity;    // added to a free ball's vy per unit of step time
  double airFactor;  // a free ball's velocity is multiplied by airFactor^dt per frame
  double hmGravity;  // downward acceleration of the jump height
};

struct BallData {
  Vec3 pos;  // z holds the jump height
  double radius;
  Vec3 velo;
  int noaccel;  // no gravity and no air
  int noair;    // no air only
  Track* track;  // null when free
  double trackpos, trackvelo;
};

struct ShapeData {
  Outline outline;
  double k;     // elasticity of BOUNCE_SHAPE
  Vec3 velo;    // motion of a moving shape
  int quickRelease;
};

struct FlipperData {
  Outline outline;  // vertices relative to the pivot (the outline position)
  int right;
  double angle, avelo;  // radians, radians per unit time
  double k, kav;
};

struct CFlipperData {
  Outline outline;  // position = pivot
  int right;
  double angle, avelo;
  double k, kav;
  double radius1, radius2, length;
};

struct BoardObject;

struct BoardContact {
  int kind;   // 0 vertex, 1 edge
  int index;  // the vertex or edge
  Vec3 point;   // board coordinates
  Vec3 normal;  // unit
};

struct BoardEvent {
  int type;
  double dt;
  double time;
  BoardObject* other;
  BoardContact contact;
};

using BoardHandler = int (*)(BoardObject* object, BoardEvent* event);

struct BoardObject {
  int id;  // slot, -1 when free
  int kind;
  int lmask;
  int kill;
  int fresh;
  int disabled;
  int user, user2;
  void* parms;
  BoardHandler handler;
  union {
    BallData ball;
    ShapeData shape;
    FlipperData flipper;
    CFlipperData cflipper;
  } u;
};

struct Board {
  BoardObject* objects;
  int maxObjects;
  int count;  // one past the highest slot in use
  int holes;  // free slots below count
  int* pairs;  // maxObjects x maxObjects, bit 0: contact state
  int* balls;  // maxObjects: scratch list of the live balls' slots during a step
  const BoardParams* params;
  double time;
  // The broadphase over the shapes (physics/broadphase.h), owned; null on a
  // board not made by BOARD_INIT, which then scans every pair.
  BoardIndex* index;
  // Set, every ball is tested against every object as without the index:
  // the reference the tests compare the index with.
  int fullScan;
};

int BOARD_INIT(Board* board, int maxObjects, const BoardParams* params);
void BOARD_SELECT(Board* board);  // null deselects
Board* boardActive();
void BOARD_FREE(Board* board);

BoardObject* BOARD_ADDBALL_EX(BoardHandler handler, int user, const BallData* data, int user2, void* parms);
BoardObject* BOARD_ADDSHAPE(BoardHandler handler, int user, const ShapeData* data);
BoardObject* BOARD_ADDSHAPE_EX(BoardHandler handler, int user, const ShapeData* data, int user2, void* parms);
BoardObject* BOARD_ADDFLIPPER_EX(BoardHandler handler, int user, const FlipperData* data, int user2, void* parms);
BoardObject* BOARD_ADDCFLIPPER_EX(BoardHandler handler, int user, const CFlipperData* data, int user2, void* parms);
int BOARD_KILL(int id);
void BOARD_UNHIT(int a, int b);
void BOARD_STEP(double dt);
int BOARD_BALLS(const Board* board);
// A handler that moves a shape, changes its box or its velocity in the
// middle of a step says so, so that the contact search sees it at once;
// changes made between steps are noticed by the step itself.
void boardShapeChanged(int id);
// The object in a used slot of the active board, else null.
BoardObject* boardObject(int id);
// Contact state of a pair of the active board.
int boardInContact(int a, int b);

// Response operations for handlers on BE_HIT: the two objects in either
// order, the ball being the one of kind ball.
void BOUNCE_SHAPE(BoardEvent* event, BoardObject* a, BoardObject* b);
void BOUNCE_FLIPPER(BoardEvent* event, BoardObject* a, BoardObject* b);
void BOUNCE_CFLIPPER(BoardEvent* event, BoardObject* a, BoardObject* b);
void BOUNCE_BALL(BoardEvent* event, BoardObject* a, BoardObject* b);

// The swept tests, on their own for tests and tools: the time of impact
// within R of a ball against an object (or, for a pair in contact, the exit
// time); 100 x R or more when there is none.
double boardTimeOfImpact(const BoardObject* ball, const BoardObject* object, double R, BoardContact* contact);
double boardExitTime(const BoardObject* ball, const BoardObject* object, double R, BoardContact* contact);

// Vector helpers.
Vec3 vAdd(Vec3 a, Vec3 b);
Vec3 vSub(Vec3 a, Vec3 b);
Vec3 vScale(Vec3 a, double s);
Vec3 vAddScaled(Vec3 a, Vec3 b, double s);  // a + s b
double vDotXY(Vec3 a, Vec3 b);
double vDotXYZ(Vec3 a, Vec3 b);
double vLenXY(Vec3 a);   // the length of (x, y)
double vLenXYZ(Vec3 a);  // the length of (x, y, z)
Vec3 vSetLenXY(Vec3 a, double length);  // x, y scaled to the 2-D length; zero stays zero
Vec3 vSetLenXYZ(Vec3 a, double length);
Vec3 vNormalize(Vec3 a);  // 2-D unit vector, zero stays zero
Vec3 vRotate(Vec3 a, double angle);     // by +angle about z
Vec3 vRotateNeg(Vec3 a, double angle);  // by -angle
