// The board's broadphase: with the index the contact search reports exactly
// the events of the full scan (same objects, same order, same bits), over a
// long random run and in the cases at the index's edges; and the index's
// answer for a query box.
#include "physics/broadphase.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include "core/log.h"
#include "physics/board.h"
#include "physics/geometry.h"
#include "physics/track.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// What a run reports: every event a handler receives, as words, and the
// balls' final state.
struct World {
  std::vector<uint64_t> trace;
  std::deque<std::vector<Vec3>> vertices;  // the outlines' arrays live here
  std::deque<std::vector<EdgeLine>> edges;
  std::mt19937 rng;
  int hits = 0;
  Track* track = nullptr;
  double trackEnd = 0;
  std::function<void(BoardObject*, BoardEvent*)> onHit;  // extra action of the "churn" handler
};
World* gWorld = nullptr;

uint64_t bits(double v) { return std::bit_cast<uint64_t>(v); }

void note(const BoardObject* o, const BoardEvent* e) {
  const BoardContact& c = e->contact;
  for (uint64_t w : {uint64_t(e->type), uint64_t(o->id), uint64_t(e->other ? e->other->id : -1), bits(e->dt),
                     bits(e->time), uint64_t(c.kind), uint64_t(c.index), bits(c.point.x), bits(c.point.y),
                     bits(c.normal.x), bits(c.normal.y)})
    gWorld->trace.push_back(w);
}

void bounce(BoardObject* o, BoardEvent* e) {
  if (o->kind == BK_SHAPE) BOUNCE_SHAPE(e, o, e->other);
  if (o->kind == BK_FLIPPER) BOUNCE_FLIPPER(e, o, e->other);
  if (o->kind == BK_CFLIPPER) BOUNCE_CFLIPPER(e, o, e->other);
}

int wall(BoardObject* o, BoardEvent* e) {
  if (e->type == BE_HIT || e->type == BE_UNHIT || e->type == BE_SCRATCH) note(o, e);
  if (e->type == BE_HIT && e->other) {
    gWorld->hits++;
    bounce(o, e);
  }
  return 0;
}

// A wall with something more to do on a hit (remove itself, add shapes ...).
int churn(BoardObject* o, BoardEvent* e) {
  wall(o, e);
  if (e->type == BE_HIT && e->other && gWorld->onHit) gWorld->onHit(o, e);
  return 0;
}

// A wall that does not bounce: a ball passes through it, in contact.
int sensor(BoardObject* o, BoardEvent* e) {
  if (e->type == BE_HIT || e->type == BE_UNHIT || e->type == BE_SCRATCH) note(o, e);
  return 0;
}

// A shape that moves itself by its velocity.
int glider(BoardObject* o, BoardEvent* e) {
  if (e->type == BE_MOVE) {
    o->u.shape.outline.pos.x += e->dt * o->u.shape.velo.x;
    o->u.shape.outline.pos.y += e->dt * o->u.shape.velo.y;
  }
  return wall(o, e);
}

// A flipper swinging up and down on its own.
int swinging(BoardObject* o, BoardEvent* e) {
  CFlipperData* f = &o->u.cflipper;
  if (e->type == BE_FRAME) f->avelo = (static_cast<long>(e->time) / 30) % 2 ? 0.15 : -0.15;
  if (e->type == BE_MOVE) f->angle = std::fmin(0.9, std::fmax(0.0, f->angle + f->avelo * e->dt));
  return wall(o, e);
}

// Balls fly straight, fall and bounce off each other; a ball on the track
// runs to and fro along it.
int ballMove(BoardObject* o, BoardEvent* e) {
  BallData* b = &o->u.ball;
  if (e->type == BE_HIT && e->other && e->other->kind == BK_BALL) {
    note(o, e);
    BOUNCE_BALL(e, o, e->other);
  } else if (e->type == BE_MOVE) {
    if (b->track) {
      b->trackpos += e->dt * b->trackvelo;
      if (b->trackpos < 0 || b->trackpos > gWorld->trackEnd) {
        b->trackpos = std::fmin(gWorld->trackEnd, std::fmax(0.0, b->trackpos));
        b->trackvelo = -b->trackvelo;
      }
      TrackVec p;
      TRACK_POINT(b->track, b->trackpos, &p);
      b->pos = Vec3{p.x, p.y, 0};
    } else {
      b->pos.x += e->dt * b->velo.x;
      b->pos.y += e->dt * b->velo.y;
    }
  } else if (e->type == BE_FRAME && !b->track) {
    b->velo.y += 0.15 * e->dt;
    // Fast balls are kept fast but bounded; a ball that left the table
    // comes back at the top.
    double v = std::sqrt(b->velo.x * b->velo.x + b->velo.y * b->velo.y);
    if (v > 90) b->velo = Vec3{b->velo.x * 90 / v, b->velo.y * 90 / v, 0};
    if (b->pos.x < -50 || b->pos.x > 850 || b->pos.y < -50 || b->pos.y > 650) b->pos = Vec3{400, 40, 0};
  }
  return 0;
}

class BroadphaseTest : public ::testing::Test {
 public:  // the edge cases' scene builders call the helpers
  BoardParams params{0.15, 1.0, 0.2};
  Board board{};
  World world;
  Track track{};
  std::vector<TrackVec> trackPoints;

  void SetUp() override {
    logReset();
    logCommand("MUTE 1");  // every shape added is logged
    gWorld = &world;
    ASSERT_EQ(BOARD_INIT(&board, 512, &params), 0);
    BOARD_SELECT(&board);
  }
  void TearDown() override {
    BOARD_FREE(&board);
    BOARD_SELECT(nullptr);
    gWorld = nullptr;
    logReset();
  }

  // A polygon at (x, y) with vertices relative to it and its box.
  Outline outline(double x, double y, std::vector<Vec3> v) {
    Outline o{};
    o.pos = Vec3{x, y, 0};
    o.n = static_cast<int>(v.size());
    o.xmin = o.ymin = 1e300;
    o.xmax = o.ymax = -1e300;
    for (const Vec3& p : v) {
      o.xmin = std::fmin(o.xmin, p.x);
      o.xmax = std::fmax(o.xmax, p.x);
      o.ymin = std::fmin(o.ymin, p.y);
      o.ymax = std::fmax(o.ymax, p.y);
    }
    world.vertices.push_back(std::move(v));
    world.edges.emplace_back(world.vertices.back().size());
    o.vertices = world.vertices.back().data();
    o.edges = world.edges.back().data();
    shComputeEdges(&o);
    return o;
  }
  // A box with corners (x0, y0) and (x1, y1), its normals pointing in.
  BoardObject* box(double x0, double y0, double x1, double y1, BoardHandler h = wall, int quick = 1) {
    double w = x1 - x0, hgt = y1 - y0;
    return shape(outline(x0, y0, {{0, 0, 0}, {w, 0, 0}, {w, hgt, 0}, {0, hgt, 0}}), h, quick);
  }
  // A regular polygon of k corners and radius r centred on (x, y).
  BoardObject* polygon(double x, double y, double r, int k, BoardHandler h = wall, int quick = 1) {
    std::vector<Vec3> v;
    for (int i = 0; i < k; i++) v.push_back({r * std::cos(i * 6.283185307179586 / k), r * std::sin(i * 6.283185307179586 / k), 0});
    return shape(outline(x, y, v), h, quick);
  }
  BoardObject* shape(Outline o, BoardHandler h, int quick, Vec3 velo = {0, 0, 0}) {
    ShapeData d{};
    d.outline = o;
    d.k = 0.7;
    d.quickRelease = quick;
    d.velo = velo;
    return BOARD_ADDSHAPE(h, 0, &d);
  }
  BoardObject* ball(double x, double y, double vx, double vy, double radius = 3) {
    BallData d{};
    d.pos = Vec3{x, y, 0};
    d.velo = Vec3{vx, vy, 0};
    d.radius = radius;
    return BOARD_ADDBALL_EX(ballMove, 0, &d, 0, nullptr);
  }
  BoardObject* flipper(double x, double y) {
    CFlipperData f{};
    f.outline = outline(x, y, {{0, 0, 0}});
    f.k = 0.7;
    f.kav = 1;
    f.radius1 = 10;
    f.radius2 = 5;
    f.length = 60;
    return BOARD_ADDCFLIPPER_EX(swinging, 0, &f, 0, nullptr);
  }
  BoardObject* trackBall() {
    trackPoints.clear();
    for (int i = 0; i < 40; i++) trackPoints.push_back(TrackVec{100.0 + 15 * i, 300 + 40 * std::sin(i * 0.3), 0});
    track = Track{static_cast<int>(trackPoints.size()), 15, trackPoints.data()};
    world.trackEnd = 15.0 * (trackPoints.size() - 1);
    BallData d{};
    d.track = &track;
    d.trackpos = 10;
    d.trackvelo = 7;
    d.radius = 4;
    return BOARD_ADDBALL_EX(ballMove, 0, &d, 0, nullptr);
  }

  // The words of the balls' state after a step.
  void noteBalls() {
    for (int i = 0; i < board.count; i++) {
      const BoardObject* o = &board.objects[i];
      if (o->id < 0 || o->kind != BK_BALL) continue;
      for (double v : {o->u.ball.pos.x, o->u.ball.pos.y, o->u.ball.velo.x, o->u.ball.velo.y, o->u.ball.trackpos})
        world.trace.push_back(bits(v));
    }
  }
};

// Runs a scene made by build for steps steps, with the index or the full
// scan, on a fresh board each time; returns the trace and the hit count.
template <typename Build, typename Between>
std::pair<std::vector<uint64_t>, int> runScene(Board* board, World* world, bool fullScan, int steps, Build build,
                                               Between between) {
  world->trace.clear();
  world->hits = 0;
  world->rng.seed(12345);
  build();
  board->fullScan = fullScan;
  for (int s = 0; s < steps; s++) {
    between(s);
    BOARD_STEP(1.0);
  }
  return {world->trace, world->hits};
}

// The first event word where two traces differ, -1 when they are the same.
long firstDifference(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b) {
  for (size_t i = 0; i < a.size() && i < b.size(); i++)
    if (a[i] != b[i]) return static_cast<long>(i);
  return a.size() == b.size() ? -1 : static_cast<long>(std::min(a.size(), b.size()));
}

class BroadphaseRun : public BroadphaseTest {
 protected:
  // The same scene twice, once per search; the boards are made afresh.
  template <typename Build, typename Between>
  void compare(int steps, Build build, Between between, int minHits) {
    auto indexed = runScene(&board, &world, false, steps, build, between);
    BOARD_FREE(&board);
    world = World{};
    world.onHit = savedOnHit;
    ASSERT_EQ(BOARD_INIT(&board, 512, &params), 0);
    BOARD_SELECT(&board);
    auto full = runScene(&board, &world, true, steps, build, between);
    EXPECT_GE(full.second, minHits) << "the scene must make contacts to compare";
    EXPECT_EQ(indexed.second, full.second);
    ASSERT_EQ(firstDifference(indexed.first, full.first), -1)
        << "traces of " << indexed.first.size() << " and " << full.first.size() << " words";
  }
  std::function<void(BoardObject*, BoardEvent*)> savedOnHit;
};

// A crowded table of random shapes (small ones, bars longer than a cell,
// shapes with a velocity, sensors, a swinging flipper), fast and slow balls and a
// ball on a track, for 4000 steps; between steps shapes are removed, added
// and moved by hand, and on a hit some shapes remove themselves and add a
// new shape in the middle of the step.
TEST_F(BroadphaseRun, LongRandomRunFindsTheSameContactsAsTheFullScan) {
  auto uni = [&](double lo, double hi) { return lo + (hi - lo) * (world.rng() % 1000000) / 1e6; };
  savedOnHit = [&](BoardObject* o, BoardEvent*) {
    // Half the time the shape goes at the end of the step, and a new one
    // joins at once somewhere else.
    if (world.rng() % 2) {
      o->kill = 1;
      polygon(uni(60, 740), uni(60, 540), uni(3, 15), 3 + world.rng() % 6, churn);
    }
  };
  world.onHit = savedOnHit;
  auto build = [&] {
    box(0, 0, 800, 10);
    box(0, 0, 10, 600);
    box(790, 0, 800, 600);
    box(0, 590, 800, 600);
    for (int i = 0; i < 220; i++) {
      int kind = world.rng() % 10;
      double x = uni(30, 770), y = uni(30, 570);
      if (kind < 6) {
        polygon(x, y, uni(2, 14), 3 + world.rng() % 6, wall, world.rng() % 2);
      } else if (kind < 8) {
        box(x, y, x + uni(40, 200), y + uni(3, 8), kind == 6 ? churn : wall);  // longer than a cell
      } else if (kind < 9) {
        polygon(x, y, uni(3, 12), 5, churn);
      } else {
        std::vector<Vec3> v{{0, 0, 0}, {20, 0, 0}, {20, 6, 0}, {0, 6, 0}};
        shape(outline(x, y, v), world.rng() % 2 ? glider : wall, 1, Vec3{uni(-2, 2), uni(-2, 2), 0});
      }
    }
    // Sensors: balls pass through them in contact for a while (scratches).
    for (int i = 0; i < 12; i++) {
      double x = uni(30, 700), y = uni(30, 500);
      box(x, y, x + uni(10, 90), y + uni(10, 60), sensor, 0);
    }
    flipper(330, 540);
    for (int i = 0; i < 8; i++) ball(uni(40, 760), uni(40, 300), uni(-60, 60), uni(-60, 60), uni(2, 6));
    ball(64, 96, 0, 20);  // on a corner of four cells
    trackBall();
  };
  auto between = [&](int s) {
    if (s % 7 == 3) {
      // Remove a random shape and add one in a random place.
      int j = 4 + static_cast<int>(world.rng() % static_cast<unsigned>(board.count - 4));
      if (board.objects[j].id >= 0 && board.objects[j].kind == BK_SHAPE) BOARD_KILL(j);
      polygon(uni(40, 760), uni(40, 560), uni(3, 12), 6, world.rng() % 3 ? wall : churn);
    }
    if (s % 11 == 5) {
      // Move a still shape by hand, telling nobody.
      int j = 4 + static_cast<int>(world.rng() % static_cast<unsigned>(board.count - 4));
      BoardObject* o = &board.objects[j];
      if (o->id >= 0 && o->kind == BK_SHAPE) o->u.shape.outline.pos = Vec3{uni(40, 760), uni(40, 560), 0};
    }
    noteBalls();
  };
  compare(4000, build, between, 3000);
}

// The index at its edges: each scene must make the named contact, and makes
// it as the full scan does.
TEST_F(BroadphaseRun, EdgeCasesFindTheSameContactsAsTheFullScan) {
  struct Case {
    const char* name;
    std::function<BoardObject*(BroadphaseRun*)> build;  // returns the object that must be hit
    int steps;
  };
  const Case cases[] = {
      // A ball on the corner of four cells falling on a shape in the cells
      // below; a shape whose box ends exactly on a cell line.
      {"ball on a cell corner",
       [](BroadphaseRun* t) {
         t->ball(64, 64, 0, 3);
         return t->box(40, 72, 64, 80);
       },
       5},
      // A bar of many cells hit in its middle, far from its corners.
      {"shape larger than a cell",
       [](BroadphaseRun* t) {
         t->ball(400, 100, 0, 10);
         return t->box(100, 200, 700, 210);
       },
       15},
      // A ball crossing six cells in one step to a small shape.
      {"fast ball",
       [](BroadphaseRun* t) {
         t->ball(100, 300, 200, 0);
         return t->polygon(290, 300, 5, 6);
       },
       3},
      // A moving shape sweeping onto a ball at rest, three cells away.
      {"moving shape",
       [](BroadphaseRun* t) {
         t->ball(300, 300, 0, 0);
         std::vector<Vec3> v{{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
         return t->shape(t->outline(200, 295, v), glider, 1, Vec3{40, 0, 0});
       },
       3},
      // A shape whose box is not a number: always tested.
      {"box not a number",
       [](BroadphaseRun* t) {
         t->ball(300, 100, 0, 10);
         BoardObject* o = t->box(250, 150, 350, 160);
         o->u.shape.outline.xmin = kNaN;
         return o;
       },
       10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint64_t> traces[2];
    for (int full = 0; full < 2; full++) {
      BOARD_FREE(&board);
      world = World{};
      ASSERT_EQ(BOARD_INIT(&board, 64, &params), 0);
      BOARD_SELECT(&board);
      board.fullScan = full;
      BoardObject* target = c.build(this);
      ASSERT_NE(target, nullptr);
      int id = target->id;
      bool hit = false;
      for (int s = 0; s < c.steps; s++) {
        size_t before = world.trace.size();
        BOARD_STEP(1.0);
        for (size_t w = before; w < world.trace.size(); w += 11)
          hit |= world.trace[w] == BE_HIT && world.trace[w + 1] == static_cast<uint64_t>(id);
        noteBalls();
      }
      EXPECT_TRUE(hit) << (full ? "full scan" : "index");
      traces[full] = world.trace;
    }
    EXPECT_EQ(firstDifference(traces[0], traces[1]), -1);
  }
}

// Shapes added, removed and moved while a ball flies: each change is seen
// by the very next search.
TEST_F(BroadphaseTest, ChangesToTheShapesAreSeenAtOnce) {
  BoardObject* b = ball(100, 100, 20, 0);
  BOARD_STEP(1.0);  // the ball joins
  b->u.ball.pos = Vec3{100, 100, 0};
  auto hitsOf = [&](int id) {
    int n = 0;
    for (size_t w = 0; w < world.trace.size(); w += 11)
      n += world.trace[w] == BE_HIT && world.trace[w + 1] == static_cast<uint64_t>(id);
    return n;
  };

  // Added between steps, in the ball's path.
  BoardObject* added = box(115, 90, 125, 110);
  BOARD_STEP(1.0);
  EXPECT_EQ(hitsOf(added->id), 1);
  // Removed: the ball, sent back the same way, flies through.
  int gone = added->id;
  BOARD_KILL(gone);
  world.trace.clear();
  b->u.ball.pos = Vec3{100, 100, 0};
  b->u.ball.velo = Vec3{20, 0, 0};
  BOARD_STEP(1.0);
  EXPECT_EQ(hitsOf(gone), 0);
  // Moved by hand into the path between steps, with nobody told.
  BoardObject* far = box(500, 500, 510, 520);
  BOARD_STEP(1.0);
  far->u.shape.outline.pos = Vec3{b->u.ball.pos.x + 10, 90, 0};
  world.trace.clear();
  BOARD_STEP(1.0);
  EXPECT_EQ(hitsOf(far->id), 1);
  // Moved in the middle of a step by a handler that says so: a shape hit
  // puts another one in front of the bounced ball.
  b->u.ball.pos = Vec3{300, 300, 0};
  b->u.ball.velo = Vec3{20, 0, 0};
  BoardObject* mover = box(600, 600, 610, 620);
  static BoardObject* sMover;
  sMover = mover;
  world.onHit = [](BoardObject* o, BoardEvent* e) {
    (void)o;
    static int moves = 0;  // once: the ball bounces between the two
    if (moves++) return;
    sMover->u.shape.outline.pos = Vec3{e->other->u.ball.pos.x - 14, e->other->u.ball.pos.y - 10, 0};
    boardShapeChanged(sMover->id);
  };
  box(310, 290, 320, 310, churn);
  world.trace.clear();
  BOARD_STEP(1.0);
  // (The ball may bounce between the two more than once.)
  EXPECT_GE(hitsOf(mover->id), 1) << "the moved shape is met in the same step";
  // Added in the middle of a step by a handler: met in the same step too.
  b->u.ball.pos = Vec3{500, 400, 0};
  b->u.ball.velo = Vec3{20, 0, 0};
  int addedMidStep = -1;
  world.onHit = [&](BoardObject*, BoardEvent* e) {
    if (addedMidStep >= 0) return;
    Vec3 p = e->other->u.ball.pos;
    addedMidStep = box(p.x - 14, p.y - 10, p.x - 4, p.y + 10)->id;
  };
  box(510, 390, 520, 410, churn);
  world.trace.clear();
  BOARD_STEP(1.0);
  ASSERT_GE(addedMidStep, 0);
  EXPECT_GE(hitsOf(addedMidStep), 1) << "the added shape is met in the same step";
}

// A ball in contact with a shape is told it left, wherever a handler put it.
TEST_F(BroadphaseTest, AContactFarFromTheBallIsStillReleased) {
  BoardObject* b = ball(100, 104, 0, 5);
  BOARD_STEP(1.0);
  b->u.ball.pos = Vec3{100, 104, 0};
  BoardObject* floor = box(50, 110, 150, 120, sensor, 0);  // held until the ball leaves it
  BOARD_STEP(1.0);
  ASSERT_EQ(boardInContact(b->id, floor->id), 1);
  EXPECT_GE(board.index->contacts[b->id], 1);
  // Put far away: the exit test, visited although the shape is in none of
  // the ball's cells, reports it.
  b->u.ball.pos = Vec3{700, 500, 0};
  b->u.ball.velo = Vec3{0, 0, 0};
  world.trace.clear();
  board.objects[floor->id].u.shape.quickRelease = 1;
  BOARD_STEP(1.0);
  EXPECT_EQ(boardInContact(b->id, floor->id), 0);
  ASSERT_FALSE(world.trace.empty());
  EXPECT_EQ(world.trace[0], static_cast<uint64_t>(BE_UNHIT));
  EXPECT_EQ(board.index->contacts[b->id], 0);
  EXPECT_EQ(board.index->contacts[floor->id], 0);
}

// The index's answer: every shape whose box meets the query (touching
// counts), the always-tested objects, ascending; nothing from cells the
// box does not reach.
TEST_F(BroadphaseTest, CandidatesOfAQueryBox) {
  BoardObject* near = box(100, 100, 110, 110);        // cell (3, 3)
  BoardObject* touching = box(128, 100, 138, 110);    // cell (4, 3): starts on the cell line
  BoardObject* farAway = box(300, 300, 310, 310);     // cell (9, 9)
  BoardObject* beyond = box(-900, 100, -890, 110);    // left of the grid: in column 0
  BoardObject* moving = shape(outline(700, 500, {{0, 0, 0}, {5, 0, 0}, {5, 5, 0}}), wall, 1, Vec3{1, 0, 0});
  BoardObject* b = ball(500, 500, 0, 0);
  BoardObject* wide = box(0, 96, 800, 97);            // across every column of row 3
  bpRebuild(board.index, board.objects, board.count);
  auto query = [&](double x0, double y0, double x1, double y1) {
    int n = bpCandidates(board.index, &board, b->id, x0, y0, x1, y1);
    return std::vector<int>(board.index->candidates, board.index->candidates + (n < 0 ? 0 : n));
  };
  // A query box that reaches the cell line takes in the shape beyond it;
  // one just short of it does not.
  EXPECT_EQ(query(105, 100, 128, 105), (std::vector<int>{near->id, touching->id, moving->id, b->id, wide->id}));
  EXPECT_EQ(query(105, 100, 127.99, 105), (std::vector<int>{near->id, moving->id, b->id, wide->id}));
  // Clamped columns: a query left of the grid meets a shape left of it.
  EXPECT_EQ(query(-20, 100, -10, 101), (std::vector<int>{beyond->id, moving->id, b->id, wide->id}));
  EXPECT_EQ(query(305, 305, 306, 306), (std::vector<int>{farAway->id, moving->id, b->id}));
  // Boxes the index does not answer for: the caller scans everything.
  EXPECT_EQ(bpCandidates(board.index, &board, b->id, kNaN, 0, 10, 10), -1);
  EXPECT_EQ(bpCandidates(board.index, &board, b->id, 0, 0, 2e6, 10), -1);
  EXPECT_EQ(bpCandidates(board.index, &board, b->id, 0, 0, 799, 599), -1);
  // A shape added since the rebuild: the index is dirty and does not answer.
  box(200, 200, 210, 210);
  EXPECT_EQ(bpCandidates(board.index, &board, b->id, 105, 100, 120, 105), -1);
}

}  // namespace
