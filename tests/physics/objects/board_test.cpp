#include <cmath>
#include <vector>

#include "core/random.h"
#include "game/trigger.h"
#include "physics/objects/table_fixture.h"

namespace {

struct Seen {
  int type;
  double dt;
  int other;
  BoardContact contact;
};
std::vector<Seen> gSeen;
int gTurnHitInto = -1;  // a handler that changes the event's type

int recording(BoardObject* o, BoardEvent* e) {
  if (e->type == BE_CREATE || e->type == BE_KILL) return 0;
  gSeen.push_back(Seen{e->type, e->dt, e->other ? e->other->id : -1, e->contact});
  if (e->type == BE_HIT && e->other) {
    if (gTurnHitInto >= 0) e->type = gTurnHitInto;
    if (o->kind == BK_SHAPE) BOUNCE_SHAPE(e, o, e->other);
  }
  return 0;
}

// A sensor: never bounces, only records.
int sensor(BoardObject*, BoardEvent* e) {
  if (e->type == BE_CREATE || e->type == BE_KILL) return 0;
  gSeen.push_back(Seen{e->type, e->dt, e->other ? e->other->id : -1, e->contact});
  return 0;
}

// A sensor that sends every ball to layer 1 and clears the contact itself.
int dropToLayer1(BoardObject* o, BoardEvent* e) {
  if (e->type == BE_HIT && e->other) {
    gSeen.push_back(Seen{e->type, e->dt, e->other->id, e->contact});
    e->other->lmask = 2;
    BOARD_UNHIT(o->id, e->other->id);
  }
  return 0;
}

// A sensor that clears the contact but keeps the ball on its layer: the
// ball, still touching, is hit again at once, and again.
int holdWithoutContact(BoardObject* o, BoardEvent* e) {
  if (e->type == BE_HIT && e->other) {
    gSeen.push_back(Seen{e->type, e->dt, e->other->id, e->contact});
    BOARD_UNHIT(o->id, e->other->id);
  }
  return 0;
}

int refuse(BoardObject*, BoardEvent* e) { return e->type == BE_CREATE ? -5 : 0; }

int countOf(int type) {
  int n = 0;
  for (const auto& s : gSeen) n += s.type == type;
  return n;
}
const Seen* firstOf(int type) {
  for (const auto& s : gSeen)
    if (s.type == type) return &s;
  return nullptr;
}

class BoardTest : public TableFixture {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    gSeen.clear();
    gTurnHitInto = -1;
  }
  BoardObject* shape(Outline* o, BoardHandler h = recording, double k = 1.0, int quick = 1, Vec3 velo = {0, 0, 0}) {
    ShapeData d = oprShapeData(o, k);
    d.quickRelease = quick;
    d.velo = velo;
    return BOARD_ADDSHAPE(h, 0, &d);
  }
  // Time of impact of a ball at (x, y) moving by (vx, vy) per unit against
  // an object, over R units, with its contact.
  double toi(BoardObject* o, double x, double y, double vx, double vy, double R, BoardContact* c) {
    BoardObject b{};
    b.kind = BK_BALL;
    b.u.ball.pos = Vec3{x, y, 0};
    b.u.ball.velo = Vec3{vx, vy, 0};
    b.u.ball.radius = 3;
    return boardTimeOfImpact(&b, o, R, c);
  }
};

TEST_F(BoardTest, TimesOfImpactAgainstShapes) {
  BoardObject* still = shape(box(100, 100, 200, 200));
  BoardObject* moving = shape(box(300, 100, 400, 200), recording, 1.0, 1, Vec3{-1, 0, 0});
  const double s2 = std::sqrt(2.0);
  struct Case {
    const char* what;
    BoardObject* o;
    double x, y, vx, vy, R;
    double t;  // expected, or -1 for none
    int kind;
    double nx, ny;
  } cases[] = {
      {"edge, head on", still, 90, 150, 2, 0, 10, 3.5, 1, -1, 0},
      {"edge from below", still, 150, 210, 0, -1, 10, 7, 1, 0, 1},
      {"convex corner", still, 90, 90, 1, 1, 10, 10 - 3 / s2, 0, -1 / s2, -1 / s2},
      {"moving shape meets a ball at rest", moving, 290, 150, 0, 0, 10, 7, 1, -1, 0},
      {"parallel to an edge, clear of it", still, 90, 90, 1, 0, 50, -1, 0, 0, 0},
      {"moving away", still, 90, 150, -2, 0, 10, -1, 0, 0, 0},
      {"too short a step", still, 90, 150, 2, 0, 3, -1, 0, 0, 0},
  };
  for (const auto& c : cases) {
    BoardContact contact{};
    double t = toi(c.o, c.x, c.y, c.vx, c.vy, c.R, &contact);
    if (c.t < 0) {
      EXPECT_GE(t, 100 * c.R) << c.what;
      continue;
    }
    EXPECT_NEAR(t, c.t, 1e-9) << c.what;
    EXPECT_EQ(contact.kind, c.kind) << c.what;
    EXPECT_NEAR(contact.normal.x, c.nx, 1e-9) << c.what;
    EXPECT_NEAR(contact.normal.y, c.ny, 1e-9) << c.what;
  }
}

TEST_F(BoardTest, FlipperTurningIntoABallAtRest) {
  // A right flipper 50 long and 10 thick about (400, 400), turning by -0.5
  // rad per unit, sweeps up into a ball above it. The test runs on the
  // ball's start and end in the flipper's frame, linearly between them.
  Outline* o = outline(400, 400, {{0, -5}, {50, -5}, {50, 5}, {0, 5}});
  FlipperData f{};
  f.outline = *o;
  f.right = 1;
  f.angle = 0;
  f.avelo = -0.5;
  f.k = 0.7;
  f.kav = 1;
  BoardObject* flip = BOARD_ADDFLIPPER_EX(recording, 0, &f, 0, nullptr);
  ASSERT_NE(flip, nullptr);
  // Start (30, -20); end at angle -0.5: rot((30, -20), +0.5).
  double c = std::cos(0.5), s = std::sin(0.5);
  double ex = 30 * c + 20 * s, ey = 30 * s - 20 * c;
  double f0 = -20 + 5 + 3, f1 = ey + 5 + 3;  // top edge: y = -5, less the radius
  double u = f0 / (f0 - f1);
  BoardContact contact{};
  double t = toi(flip, 430, 380, 0, 0, 1.0, &contact);
  EXPECT_NEAR(t, u, 1e-12);
  EXPECT_GT(30 + u * (ex - 30), 0);
  // The normal is turned back by the angle at the moment of contact.
  double th = -0.5 * u;
  EXPECT_NEAR(contact.normal.x, std::sin(th), 1e-12);
  EXPECT_NEAR(contact.normal.y, -std::cos(th), 1e-12);
}

TEST_F(BoardTest, CFlipperPiecesAreReportedEarly) {
  Outline* o = outline(400, 300, {{0, 0}});
  CFlipperData f{};
  f.outline = *o;
  f.right = 0;
  f.radius1 = 10;
  f.radius2 = 5;
  f.length = 50;
  f.k = 0.7;
  f.kav = 1;
  BoardObject* cf = BOARD_ADDCFLIPPER_EX(recording, 0, &f, 0, nullptr);
  ASSERT_NE(cf, nullptr);
  // Radii grown by the ball's 3: 13 about the pivot, 8 about the tip at
  // (50, 0); the sides join (0, +-13) and (50, +-8).
  double len = std::sqrt(50.0 * 50 + 5 * 5);
  double nx = 5 / len, ny = 50 / len;  // outward normal of the lower side
  double fS = nx * 25 + ny * (30 - 13), fE = nx * 25 + ny * (0 - 13);
  double uSide = fS / (fS - fE);
  struct Case {
    const char* what;
    double x, y, vx, vy;
    double u;
    double nx, ny;
  } cases[] = {
      {"circle about the pivot", -30, 0, 40, 0, 17.0 / 40, -1, 0},
      {"circle about the tip", 90, 0, -40, 0, 32.0 / 40, 1, 0},
      {"lower side", 25, 30, 0, -30, uSide, nx, ny},
      {"upper side", 25, -30, 0, 30, uSide, nx, -ny},
      {"within the early margin", -13.5, 0, 40, 0, 0.05, -1, 0},
  };
  for (const auto& c : cases) {
    BoardContact contact{};
    double t = toi(cf, 400 + c.x, 300 + c.y, c.vx, c.vy, 1.0, &contact);
    double expected = c.u > 0.05 ? c.u - 0.05 : 0;
    EXPECT_NEAR(t, expected, 1e-12) << c.what;
    EXPECT_NEAR(contact.normal.x, c.nx, 1e-9) << c.what;
    EXPECT_NEAR(contact.normal.y, c.ny, 1e-9) << c.what;
  }
  BoardContact contact{};
  EXPECT_GE(toi(cf, 400, 200, 0, 10, 1.0, &contact), 100.0) << "a miss";
}

TEST_F(BoardTest, StepDeliversTheEarliestContactAndFreezesFreshBalls) {
  shape(box(100, 100, 200, 200));
  BoardObject* b = ball(90, 150, 1, 0);
  step(1, 5.0);  // fresh: no move, no contact
  EXPECT_EQ(b->u.ball.pos.x, 90);
  EXPECT_EQ(countOf(BE_HIT), 0);
  EXPECT_EQ(countOf(BE_MOVE), 1);  // the shape's only
  // A contact exactly at the end of the step is chosen but not delivered...
  step(1, 7.0);
  EXPECT_EQ(countOf(BE_HIT), 0);
  EXPECT_DOUBLE_EQ(b->u.ball.pos.x, 97);
  // ...and found again at the start of the next one.
  step(1, 1.0);
  ASSERT_EQ(countOf(BE_HIT), 1);
  EXPECT_EQ(firstOf(BE_HIT)->dt, 0);
  EXPECT_LT(b->u.ball.velo.x, 0);
  EXPECT_EQ(firstOf(BE_HIT)->other, b->id);
}

TEST_F(BoardTest, SubStepsEndAtTrackPoints) {
  Track* t = static_cast<Track*>(std::calloc(1, sizeof(Track)));
  t->count = 10;
  t->spacing = 10;
  t->points = static_cast<TrackVec*>(std::calloc(10, sizeof(TrackVec)));
  for (int i = 0; i < 10; i++) t->points[i] = TrackVec{100.0 + 10 * i, 300, 0};
  shape(box(700, 500, 750, 550), sensor);  // far away: sees only the moves
  BallData d{};
  d.radius = 3;
  d.track = t;
  d.trackpos = 5;
  d.trackvelo = 2;
  d.noaccel = 1;
  BoardObject* b = CREATE_BALL(&d, nullptr, nullptr, 1);
  ASSERT_NE(b, nullptr);
  EXPECT_DOUBLE_EQ(b->u.ball.pos.x, 105);  // placed from the track
  step(1, 1.0);
  gSeen.clear();
  step(1, 10.0);
  std::vector<double> moves;
  for (const auto& s : gSeen)
    if (s.type == BE_MOVE) moves.push_back(s.dt);
  // The ball was frozen in the step that made it. From 5: to the point at
  // 10 (+0.001), then one whole segment, then the rest of the step.
  ASSERT_EQ(moves.size(), 3u);
  EXPECT_NEAR(moves[0], 2.5 + 0.001, 1e-12);
  EXPECT_NEAR(moves[1], 5.0, 1e-9);
  EXPECT_NEAR(moves[2], 10 - 7.501, 1e-9);
  EXPECT_EQ(countOf(BE_HIT) + countOf(BE_UNHIT), 0);
  EXPECT_NEAR(b->u.ball.trackpos, 25, 1e-9);
  BOARD_KILL(b->id);
  trackFree(t);
  std::free(t);
}

TEST_F(BoardTest, SlotsHolesAndRefusals) {
  Outline* o = box(10, 10, 20, 20);
  BoardObject* a = shape(o);
  BoardObject* b = shape(o);
  BoardObject* c = shape(o);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(board.count, 3);
  BOARD_KILL(1);
  EXPECT_EQ(board.count, 3);
  EXPECT_EQ(board.holes, 1);
  EXPECT_EQ(shape(o)->id, 1);  // the hole is reused
  EXPECT_EQ(board.holes, 0);
  BOARD_KILL(2);  // the last slot: count shrinks
  EXPECT_EQ(board.count, 2);
  EXPECT_EQ(board.holes, 0);

  ShapeData d = oprShapeData(o, 1);
  std::string text;
  {
    StderrCapture err;
    EXPECT_EQ(BOARD_ADDSHAPE(refuse, 0, &d), nullptr);
    BOARD_KILL(999);
    text = err.finish();
  }
  EXPECT_EQ(board.count, 2);
  EXPECT_NE(text.find("BOARD_ADDSHAPE(): handler returned -5 on BE_CREATE"), std::string::npos) << text;
  EXPECT_NE(text.find("BOARD_KILL(): object ID 999 is invalid, not in [0..255]"), std::string::npos) << text;

  Board small{};
  ASSERT_EQ(BOARD_INIT(&small, 2, &params), 0);
  BOARD_SELECT(&small);
  EXPECT_NE(BOARD_ADDSHAPE(sensor, 0, &d), nullptr);
  EXPECT_NE(BOARD_ADDSHAPE(sensor, 0, &d), nullptr);
  {
    StderrCapture err;
    EXPECT_EQ(BOARD_ADDSHAPE(sensor, 0, &d), nullptr);
    text = err.finish();
  }
  EXPECT_NE(text.find("BOARD_ADDSHAPE(): can't insert at pos 2, max_objects for board"), std::string::npos) << text;
  BOARD_FREE(&small);
  EXPECT_EQ(BOARD_ADDSHAPE(sensor, 0, &d), nullptr);  // no active board
  BOARD_SELECT(&board);
}

TEST_F(BoardTest, ContactBookkeeping) {
  // A sensor without quick release: the ball enters, scratches while
  // inside, and leaves.
  BoardObject* s = shape(box(100, 140, 120, 160), sensor, 1.0, 0);
  BoardObject* b = ball(80, 150, 1, 0);
  step(1, 1.0);
  step(1, 20.0);  // enters at x = 97
  EXPECT_EQ(countOf(BE_HIT), 1);
  EXPECT_TRUE(boardInContact(s->id, b->id));
  EXPECT_EQ(countOf(BE_SCRATCH), 1);
  step(1, 10.0);
  EXPECT_EQ(countOf(BE_UNHIT), 0);
  EXPECT_EQ(countOf(BE_SCRATCH), 2);
  step(1, 20.0);  // leaves at x = 123 (+0.001)
  EXPECT_EQ(countOf(BE_UNHIT), 1);
  EXPECT_FALSE(boardInContact(s->id, b->id));
  EXPECT_EQ(countOf(BE_HIT), 1);

  // A handler that turns its hit into anything else keeps the pair apart.
  gSeen.clear();
  gTurnHitInto = BE_FRAME;
  BoardObject* w = shape(box(300, 140, 320, 160));
  BoardObject* b2 = ball(280, 150, 1, 0);
  step(1, 1.0);
  step(1, 20.0);
  EXPECT_GE(countOf(BE_FRAME), 1);
  EXPECT_FALSE(boardInContact(w->id, b2->id));

  // So does one that calls BOARD_UNHIT while it handles the hit.
  gSeen.clear();
  gTurnHitInto = -1;
  BoardObject* g = shape(box(500, 140, 520, 160), dropToLayer1, 1.0, 0);
  BoardObject* b3 = ball(480, 150, 1, 0);
  step(1, 1.0);
  step(1, 20.0);
  EXPECT_EQ(countOf(BE_HIT), 1);
  EXPECT_FALSE(boardInContact(g->id, b3->id));
  EXPECT_EQ(b3->lmask, 2);
}

TEST_F(BoardTest, AStepWithoutProgressEndsWithoutContacts) {
  shape(box(100, 140, 120, 160), holdWithoutContact, 1.0, 0);
  BoardObject* b = ball(80, 150, 1, 0);
  step(1, 1.0);
  std::string err;
  {
    StderrCapture cap;
    step(1, 20.0);
    err = cap.finish();
  }
  EXPECT_NE(err.find("BOARD_STEP(): no progress after 1001 events at time"), std::string::npos) << err;
  EXPECT_DOUBLE_EQ(b->u.ball.pos.x, 100);  // the step still ends, the ball moved its whole way
  EXPECT_GT(countOf(BE_HIT), 1000);
}

TEST_F(BoardTest, QuickReleaseLetsABallPressedOnAWallBeHitAgain) {
  // Zero elasticity and gravity into the floor: the ball is hit, released
  // after a moment, and hit again, instead of sliding in contact.
  params.gravity = 0.2;
  BoardObject* floor = shape(box(0, 200, 800, 220), recording, 0.0, 1);
  BoardObject* b = ball(400, 196.9, 0, 0.5);
  step(1);
  step(30);
  EXPECT_GT(countOf(BE_HIT), 5);
  EXPECT_GT(countOf(BE_UNHIT), 5);
  EXPECT_LE(b->u.ball.pos.y, 197.1);
  (void)floor;
}

TEST_F(BoardTest, ResponseFormulas) {
  BoardObject ball{};
  ball.kind = BK_BALL;
  ball.u.ball.pos = Vec3{10, 0, 0};
  BoardObject shapeObj{};
  shapeObj.kind = BK_SHAPE;
  shapeObj.u.shape.k = 0.5;
  BoardEvent e{};
  e.type = BE_HIT;
  e.contact.normal = Vec3{0, -1, 0};

  // Free ball: v - (1 + k)(w.n)n + n/32, with w relative to the shape.
  ball.u.ball.velo = Vec3{1, 4, 0};
  shapeObj.u.shape.velo = Vec3{0, 2, 0};
  BOUNCE_SHAPE(&e, &shapeObj, &ball);
  EXPECT_DOUBLE_EQ(ball.u.ball.velo.x, 1);
  EXPECT_DOUBLE_EQ(ball.u.ball.velo.y, 4 - 1.5 * 2 - 1.0 / 32);

  // On a track: a glancing touch is ignored, a head-on one reverses the
  // track speed scaled by k.
  Track t{};
  ball.u.ball.track = &t;
  ball.u.ball.trackvelo = 6;
  shapeObj.u.shape.velo = Vec3{0, 0, 0};
  ball.u.ball.velo = Vec3{1, 1, 0};  // u.n = -0.707 >= -0.7? no: below, reversed
  BOUNCE_SHAPE(&e, &ball, &shapeObj);
  EXPECT_DOUBLE_EQ(ball.u.ball.trackvelo, -3);
  ball.u.ball.velo = Vec3{3, 1, 0};  // u.n = -0.316: glancing
  BOUNCE_SHAPE(&e, &ball, &shapeObj);
  EXPECT_DOUBLE_EQ(ball.u.ball.trackvelo, -3);
  ball.u.ball.track = nullptr;

  // Flipper: surface velocity (-r.y, r.x) kav w, no push.
  BoardObject flip{};
  flip.kind = BK_FLIPPER;
  flip.u.flipper.right = 1;
  flip.u.flipper.avelo = 0.1;
  flip.u.flipper.k = 0.5;
  flip.u.flipper.kav = 1;
  ball.u.ball.velo = Vec3{0, 3, 0};  // r = (10, 0): s = (0, 1)
  BOUNCE_FLIPPER(&e, &ball, &flip);
  EXPECT_DOUBLE_EQ(ball.u.ball.velo.y, 3 - 1.5 * 2);
  flip.u.flipper.right = 0;  // a left flipper turns the other way: s = (0, -1)
  ball.u.ball.velo = Vec3{0, 3, 0};
  BOUNCE_FLIPPER(&e, &ball, &flip);
  EXPECT_DOUBLE_EQ(ball.u.ball.velo.y, 3 - 1.5 * 4);

  // Cflipper, ball moving into the surface: w' = w - (1 + k)(w.n)n, v = w' + s.
  BoardObject cf{};
  cf.kind = BK_CFLIPPER;
  cf.u.cflipper.right = 1;
  cf.u.cflipper.avelo = 0.1;
  cf.u.cflipper.k = 0.5;
  cf.u.cflipper.kav = 1;
  ball.u.ball.velo = Vec3{2, 3, 0};
  BOUNCE_CFLIPPER(&e, &ball, &cf);
  EXPECT_DOUBLE_EQ(ball.u.ball.velo.x, 2);
  EXPECT_DOUBLE_EQ(ball.u.ball.velo.y, (3 - 1) - 1.5 * 2 + 1);
  // Ball already moving away: the normal part is made to point along n,
  // scaled by k, and the result keeps the length of w.
  // w = (4, -3) -> (4, -1.5) -> length 5 -> its part against s removed.
  ball.u.ball.velo = Vec3{4, -2, 0};
  BOUNCE_CFLIPPER(&e, &ball, &cf);
  EXPECT_NEAR(ball.u.ball.velo.x, 4 * 5 / std::sqrt(16 + 2.25), 1e-12);
  EXPECT_NEAR(ball.u.ball.velo.y, 1, 1e-12);

  // Ball against ball: equal masses swap their normal components; on two
  // tracks they swap track speeds.
  BoardObject other{};
  other.kind = BK_BALL;
  other.u.ball.pos = Vec3{16, 0, 0};
  other.u.ball.velo = Vec3{-1, 0, 0};
  ball.u.ball.velo = Vec3{2, 1, 0};
  BOUNCE_BALL(&e, &ball, &other);
  EXPECT_DOUBLE_EQ(ball.u.ball.velo.x, -1);
  EXPECT_DOUBLE_EQ(ball.u.ball.velo.y, 1);
  EXPECT_DOUBLE_EQ(other.u.ball.velo.x, 2);
  Track t2{};
  ball.u.ball.track = &t;
  other.u.ball.track = &t2;
  ball.u.ball.trackvelo = 1;
  other.u.ball.trackvelo = -4;
  BOUNCE_BALL(&e, &ball, &other);
  EXPECT_EQ(ball.u.ball.trackvelo, -4);
  EXPECT_EQ(other.u.ball.trackvelo, 1);
}

TEST_F(BoardTest, HeightModelBounceThreshold) {
  struct Case {
    double velo;
    int jumping;
  } cases[] = {{-0.58, 0}, {-0.6, 1}};
  for (const auto& c : cases) {
    double h = 0.1, v = c.velo;
    int jumping = 1;
    ballJumpStep(&h, &v, &jumping, 0.0, 0.5, 1.0);
    EXPECT_EQ(jumping, c.jumping) << c.velo;
    if (c.jumping) {
      EXPECT_NEAR(v, 0.3, 1e-12);
      EXPECT_NEAR(h, std::fabs(-0.5 / c.velo) * 0.3, 1e-12);  // |h / old v| x new v
    } else {
      EXPECT_EQ(v, 0);
      EXPECT_EQ(h, 0);
    }
  }
}

std::vector<int> gTriggers;
int noteTrigger(int trigger) {
  gTriggers.push_back(trigger);
  return 1;
}

TEST_F(BoardTest, BallsLeavingTheTableSendTheirTrigger) {
  EXPECT_EQ(ballLeaveTrigger(300), TR_LEAVE_CENTER);
  EXPECT_EQ(ballLeaveTrigger(269.9), TR_LEAVE_DUMA);
  EXPECT_EQ(ballLeaveTrigger(540), TR_LEAVE_GASPROM);
  gTriggers.clear();
  triggerSetSessionActions(noteTrigger);
  BoardObject* b = ball(300, 598, 0, 5);
  int id = b->id;
  step(1);
  step(1);
  triggerSetSessionActions(nullptr);
  EXPECT_EQ(gTriggers, std::vector<int>{TR_LEAVE_CENTER});
  EXPECT_EQ(boardObject(id), nullptr);  // removed at the end of the step
  EXPECT_EQ(BOARD_BALLS(&board), 0);
}

// Whether a point lies inside a polygon outline (even-odd rule).
bool inside(const Outline* o, double x, double y) {
  bool in = false;
  for (int i = 0, j = o->n - 1; i < o->n; j = i++) {
    double xi = o->pos.x + o->vertices[i].x, yi = o->pos.y + o->vertices[i].y;
    double xj = o->pos.x + o->vertices[j].x, yj = o->pos.y + o->vertices[j].y;
    if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
  }
  return in;
}

TEST_F(BoardTest, BallsNeverEndAStepInsideAClosedPolygon) {
  // Random convex polygons, balls thrown at them from every side at up to
  // the top speed: after every step the ball's centre is outside.
  params.gravity = 0.2;
  const double maxvelo = 40;
  rndSeed(12345);
  auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * (rndNext() / 32767.0); };
  int bounced = 0;
  for (int trial = 0; trial < 3000; trial++) {
    int n = 3 + static_cast<int>(uniform(0, 5.99));
    double radius = uniform(20, 80);
    std::vector<std::pair<double, double>> v;
    double phase = uniform(0, 6.28);
    for (int i = 0; i < n; i++) {
      double a = phase + i * 6.283185307179586 / n;  // clockwise on screen
      v.push_back({radius * std::cos(a), radius * std::sin(a)});
    }
    Outline* o = outline(400, 300, v);
    BoardObject* s = shape(o, recording, uniform(0, 1), 1);
    double dir = uniform(0, 6.28), speed = uniform(0.5, maxvelo);
    double start = radius + 3 + speed * 1.5 + uniform(0, 20);
    BoardObject* b = ball(400 - start * std::cos(dir), 300 - start * std::sin(dir), speed * std::cos(dir),
                          speed * std::sin(dir));
    ASSERT_NE(b, nullptr);
    ballParms(b)->maxvelo = maxvelo;
    int id = b->id;
    for (int k = 0; k < 200 && boardObject(id); k++) {
      step(1);
      if (!boardObject(id)) break;
      ASSERT_FALSE(inside(o, b->u.ball.pos.x, b->u.ball.pos.y))
          << "trial " << trial << " step " << k << " at (" << b->u.ball.pos.x << "," << b->u.ball.pos.y << ")";
    }
    bounced += countOf(BE_HIT) > 0;
    gSeen.clear();
    if (boardObject(id)) BOARD_KILL(id);
    BOARD_KILL(s->id);
  }
  EXPECT_GT(bounced, 2000);  // most throws really reach their polygon
}

}  // namespace
