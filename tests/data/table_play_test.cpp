// Scripted plays of the compiled table, headless: the plunger launch, shots
// from every flipper, the ramps and tubes, the places made to hold a ball,
// and balls dropped anywhere on the playfield, run frame by frame on the
// built game folder's physics. Objects are found by their names in the table
// description (table/*.tbl), which gives each one's layer and section.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/random.h"
#include "physics/objects/objects.h"
#include "support/table_model.h"
#include "support/table_sim.h"
#include "table/desc.h"
#include "table/model.h"

namespace {

const std::string kGame = PB_GAME_DIR;

const tbl::Model& design() { return shippedTableModel(); }

double param(const std::string& name, const std::string& key, double def) { return describedReal(name, key, def); }

// What a layer-0 ball meets as a solid body: the families whose handlers
// bounce it (the others are sensors it rolls through).
bool solid(const BoardObject* o) {
  switch (o->user) {
    case FAM_WALL: case FAM_BUMPER: case FAM_TRIANGLE: case FAM_SPRING: case FAM_SAVER: case FAM_SPRDOOR:
    case FAM_BUTTON: case FAM_SPIRALBTN: case FAM_OSTBTN: case FAM_ZONABTN: case FAM_GASBTN: case FAM_HFLAP:
    case FAM_MFLAP: case FAM_TRILIGHTS: case FAM_FLIPPER: case FAM_CFLIPPER:
      return true;
    default:
      return false;
  }
}
bool anyObject(const BoardObject*) { return true; }

struct Point {
  double x, y;
};

double speed(const BallData& b) { return std::hypot(b.velo.x, b.velo.y); }

std::string where(const BallData& b) {
  char text[96];
  std::snprintf(text, sizeof text, "(%.1f, %.1f) moving (%.2f, %.2f)", b.pos.x, b.pos.y, b.velo.x, b.velo.y);
  return text;
}

// The four flippers: the object the ball meets, the cflipper whose geometry
// it has, its key, and the ways the table feeds it: points from which a
// ball at rest rolls down onto it (the top of its inlane or guide, spots
// above its blade) and the tube that ends over it (-1: none).
struct Flipper {
  const char* name;
  const char* geometry;
  int key;
  Point feeds[4];
  int tube;
};
const Flipper kFlippers[] = {
    {"flipper_left", "flipper_left", TABLE_KEY_LEFT, {{147.5, 420}, {320, 480}, {335, 490}, {350, 500}}, -1},
    {"flipper_right", "flipper_right", TABLE_KEY_RIGHT, {{612.5, 420}, {440, 480}, {425, 490}, {410, 500}}, -1},
    {"flip1", "flipper_upper_left", TABLE_KEY_LEFT, {{118, 262}, {165, 290}, {175, 295}, {185, 300}}, 0},
    {"flip4", "flipper_upper_right", TABLE_KEY_RIGHT, {{628, 300}, {595, 320}, {585, 325}, {575, 330}}, 1},
};

// Table-wide states of the prison magnet.
enum { ZONA_CLOSED = 0, ZONA_CLOSING = 1, ZONA_MAGNET = 2, ZONA_LIFTING = 4, ZONA_RELEASE_WAIT = 5 };

class TablePlay : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.ok());
    ASSERT_FALSE(design().objects.empty()) << "the table description does not read";
    rndSeed(20240611);
    radius = ballRadius(&sim.global);
    ASSERT_GT(radius, 0);
    names_.assign(sim.board.count, "");
    for (const tbl::Object& d : design().objects)
      if (BoardObject* o = sim.objectAt(d.layer, d.sectionX, d.sectionY)) names_[o->id] = d.name;
    plunger_ = object("plunger");
    lock_ = at("lock");
    lockMindist_ = param("lock", "ball_mindist", 2.0);
    ASSERT_NE(plunger_, nullptr);
  }

  // The board object of a described object.
  BoardObject* object(const std::string& name) {
    BoardObject* o = boardObjectNamed(sim.board, name);
    EXPECT_NE(o, nullptr) << name;
    return o;
  }
  Point at(const std::string& name) {
    BoardObject* o = object(name);
    return o ? Point{o->u.shape.outline.pos.x, o->u.shape.outline.pos.y} : Point{-1000, -1000};
  }
  std::string nameOf(int id) const {
    return id >= 0 && id < static_cast<int>(names_.size()) && !names_[id].empty() ? names_[id] : "#" + std::to_string(id);
  }

  // The places made to hold a ball: resting on the plunger (the spring has
  // caught it: no gravity, no speed, on the spring's head) and the ball
  // lock's pocket (within its ball_mindist of the lock, where the lock takes
  // it when the rules let it). The magnet of the prison holds a ball only
  // while the rules open it (its own test).
  const char* holdingPlace(int id) const {
    const BallData& b = sim.ball(id);
    const Outline& o = plunger_->u.shape.outline;
    if (b.noaccel && b.velo.x == 0 && b.velo.y == 0 && std::fabs(b.pos.x - o.pos.x) < 0.5 &&
        b.pos.y < o.pos.y + o.ymin && b.pos.y > o.pos.y + o.ymin - radius - 1)
      return "plunger";
    if (std::hypot(b.pos.x - lock_.x, b.pos.y - lock_.y) <= lockMindist_) return "lock";
    return nullptr;
  }

  // Runs until no ball is left on the table or every ball has rested in a
  // holding place for a second; the frames that took, or -1 with the balls
  // still out in why.
  int playOut(int maxFrames, std::string* why) {
    int held = 0;
    for (int f = 1; f <= maxFrames; f++) {
      sim.run(1);
      std::vector<int> balls = sim.balls();
      if (balls.empty()) return f;
      bool all = true;
      for (int id : balls) all = all && holdingPlace(id);
      held = all ? held + 1 : 0;
      if (held >= 60) return f;
    }
    why->clear();
    for (int id : sim.balls())
      *why += " ball at " + where(sim.ball(id)) + " on layers " + std::to_string(sim.object(id)->lmask);
    return -1;
  }

  // The points of a grid that a layer-0 ball can reach from the lower
  // playfield without passing through a solid object: the playfield.
  std::vector<Point> playfield(double step) {
    const int w = static_cast<int>(800 / step), h = static_cast<int>(600 / step);
    std::vector<char> seen(static_cast<size_t>(w) * h, 0);
    std::vector<int> todo;
    auto visit = [&](int cx, int cy) {
      if (cx < 0 || cy < 0 || cx >= w || cy >= h || seen[cy * w + cx]) return;
      seen[cy * w + cx] = 1;
      if (!sim.overlapping(cx * step, cy * step, radius, 1, solid)) todo.push_back(cy * w + cx);
    };
    visit(static_cast<int>(380 / step), static_cast<int>(440 / step));
    std::vector<Point> out;
    while (!todo.empty()) {
      const int c = todo.back();
      todo.pop_back();
      const int cx = c % w, cy = c / w;
      out.push_back({cx * step, cy * step});
      visit(cx + 1, cy);
      visit(cx - 1, cy);
      visit(cx, cy + 1);
      visit(cx, cy - 1);
    }
    return out;
  }

  // No ball on the table, the keys up and the flippers down.
  void clearTable() {
    for (int id : sim.balls()) BOARD_KILL(id);
    sim.press(TABLE_KEY_LEFT, false);
    sim.press(TABLE_KEY_RIGHT, false);
    sim.press(TABLE_KEY_LAUNCH, false);
    sim.run(6);
  }

  // A ball cradled on a flipper: the key held, a ball dropped on the raised
  // flipper rolls down it and comes to rest against its guide. The ball, or
  // -1 when it does not rest within 400 frames (the key stays held). Once a
  // flipper's cradle is found, the next ones start from the resting ball.
  int cradle(const Flipper& f) {
    clearTable();
    sim.press(f.key, true);
    sim.run(15);
    const auto known = cradled_.find(f.name);
    if (known != cradled_.end()) return sim.place(known->second, 1)->id;
    const Point pivot = at(f.name);
    const double length = param(f.geometry, "length", 50);
    const double up = param(f.geometry, "max_angle", 45) * M_PI / 180;
    const double side = tbl::objectInt(design(), described(f.geometry), "right", 0) ? -1 : 1;
    const int id = sim.ballAt(pivot.x + side * 0.6 * length * std::cos(up), pivot.y - 0.6 * length * std::sin(up) - 25)->id;
    for (int k = 0, still = 0; k < 400 && sim.alive(id); k++) {
      sim.run(1);
      still = speed(sim.ball(id)) < 0.3 ? still + 1 : 0;
      if (still >= 30) {
        cradled_[f.name] = sim.ball(id);
        return id;
      }
    }
    return -1;
  }

  // Plays a shot: the flipper's key pressed for half a second, the ball
  // followed until it leaves the table, comes back down to the flipper or
  // the frames run out; frame(ball) after every frame the ball lives. The
  // objects it touched are in sim.hits.
  struct Shot {
    double top = 1e9;   // the smallest y the ball reached
    double launch = 0;  // its greatest speed in the first eight frames
  };
  template <class Frame>
  Shot shoot(int id, const Flipper& f, int frames, Frame frame) {
    const Point pivot = at(f.name);
    Shot s;
    sim.clearHits();
    sim.press(f.key, true);
    for (int k = 0; k < frames && sim.alive(id); k++) {
      sim.run(1);
      if (k == 30) sim.press(f.key, false);
      if (!sim.alive(id)) break;
      const BallData& b = sim.ball(id);
      s.top = std::fmin(s.top, b.pos.y);
      if (k < 8) s.launch = std::fmax(s.launch, speed(b));
      if (!frame(b)) break;
      if (k > 40 && b.velo.y > 0 && b.pos.y > pivot.y - 20 && std::fabs(b.pos.x - pivot.x) < 150) break;
    }
    sim.press(f.key, false);
    return s;
  }
  Shot shoot(int id, const Flipper& f, int frames) {
    return shoot(id, f, frames, [](const BallData&) { return true; });
  }

  // A ball from one of a flipper's feeds (0..3: its points, 4: its tube).
  int feed(const Flipper& f, int which) {
    clearTable();
    if (which < 4) return sim.ballAt(f.feeds[which].x, f.feeds[which].y)->id;
    if (f.tube < 0) return -1;
    gameTubeBall(f.tube);
    std::vector<int> balls = sim.balls();
    return balls.size() == 1 ? balls[0] : -1;
  }

  // Every shot of a flipper that the tests play: a cradled ball let go and
  // hit after 0 .. 44 frames of rolling; and from each feed, the ball hit at
  // every frame from a little before it reaches the flipper until it has
  // left it (every step-th of them). play(id) plays each one with the ball
  // in place and the key up.
  // (The ball of each frame of a feed is noted once, as it rolls down
  // without a flip, and put back for its shot: a free playfield ball is its
  // data.)
  template <class Play>
  void everyShot(const Flipper& f, Play play, int step = 1) {
    for (int d = 0; d < 45; d += step) {
      const int id = cradle(f);
      if (id < 0) continue;
      sim.press(f.key, false);
      sim.run(d);
      if (sim.alive(id)) play(id);
    }
    const Point pivot = at(f.name);
    const double reach = param(f.geometry, "length", 50) + param(f.geometry, "radius1", 10) + radius + 10;
    for (int which = 0; which < 5; which++) {
      std::vector<BallData> path;
      int first = -1, last = -1;
      const int id = feed(f, which);
      for (int k = 0; k < 400 && id >= 0; k++) {
        sim.run(1);
        if (!sim.alive(id)) break;
        const BallData& b = sim.ball(id);
        path.push_back(b);
        if (std::hypot(b.pos.x - pivot.x, b.pos.y - pivot.y) < reach) {
          if (first < 0) first = k;
          last = k;
        } else if (first >= 0) {
          break;  // gone past the flipper
        }
        if (sim.object(id)->lmask != 1 || b.track || b.noaccel) path.back().radius = 0;  // not a free playfield ball yet
      }
      for (int k = std::max(0, first - 8); first >= 0 && k <= last; k += step) {
        if (path[k].radius == 0) continue;
        clearTable();
        play(sim.place(path[k], 1)->id);
      }
    }
  }

  // Plays the flippers as a simple player does: a flipper goes up lag
  // frames after a ball comes over its blade (not rising fast), stays up
  // 8 frames and rests 10 frames before it can go up again. Runs until no
  // ball is left or the frames run out; the frames played.
  int autoplay(int frames, int lag) {
    struct State {
      Point pivot;
      double reach, side;
      int wait = -1, up = 0, rest = 0;
    };
    std::vector<State> st;
    for (const Flipper& f : kFlippers) {
      State s;
      s.pivot = at(f.name);
      s.reach = param(f.geometry, "length", 50) + param(f.geometry, "radius1", 10) + radius;
      s.side = tbl::objectInt(design(), described(f.geometry), "right", 0) ? -1 : 1;
      st.push_back(s);
    }
    for (int k = 0; k < frames; k++) {
      const std::vector<int> balls = sim.balls();
      if (balls.empty()) return k;
      bool left = false, right = false;
      for (size_t i = 0; i < st.size(); i++) {
        State& s = st[i];
        bool over = false;
        for (int id : balls) {
          const BallData& b = sim.ball(id);
          const double dx = b.pos.x - s.pivot.x, dy = b.pos.y - s.pivot.y;
          over = over || (s.side * dx > -5 && dy < 5 && std::hypot(dx, dy) < s.reach && b.velo.y > -3);
        }
        if (s.up > 0) {
          if (--s.up == 0) s.rest = 10;
        } else if (s.rest > 0) {
          s.rest--;
        } else if (s.wait > 0) {
          s.wait--;
        } else if (s.wait == 0) {
          s.wait = -1;
          s.up = 8;
        } else if (over) {
          s.wait = lag;
        }
        if (s.up > 0) (kFlippers[i].key == TABLE_KEY_LEFT ? left : right) = true;
      }
      sim.press(TABLE_KEY_LEFT, left);
      sim.press(TABLE_KEY_RIGHT, right);
      sim.run(1);
    }
    sim.press(TABLE_KEY_LEFT, false);
    sim.press(TABLE_KEY_RIGHT, false);
    return frames;
  }

  TableSim sim{kGame};
  double radius = 0;

 private:
  std::vector<std::string> names_;  // the described name of each table object, by slot
  std::map<std::string, BallData> cradled_;  // the ball at rest in each flipper's cradle
  const BoardObject* plunger_ = nullptr;
  Point lock_{0, 0};
  double lockMindist_ = 0;
};

// ---- Keys ----

TEST_F(TablePlay, PhysicsKeysReadAsWrittenAndTheBallIsAsBigAsItIsDrawn) {
  // A key of another type than its reader asks for is ignored for the
  // default; and a ball smaller than its picture would seem to sink into
  // the walls it touches.
  for (const char* key : {"global_k", "rboard.gravity", "rboard.air", "rboard.hm_gravity", "ball.maxvelo", "ball.radius"})
    EXPECT_EQ(conf_gettype(&sim.global, key), CONF_DOUBLE) << key;
  EXPECT_EQ(2 * radius, conf_getint(&sim.global, "persp.glb_ballsize", 0));
}

// ---- The plunger ----

TEST_F(TablePlay, NewBallRestsOnThePlungerAndTheLaunchDependsOnThePull) {
  const Point door = at("spring_door");
  // Frames the launch key is held: a full pull reaches the head of the
  // table, a short one lets the ball fall back onto the plunger; none leaves
  // it in the lane.
  struct Case {
    int pull;
    bool reachesTheHead;
  };
  const Case cases[] = {{3, false}, {10, false}, {20, false}, {50, true}, {80, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE("pull " + std::to_string(c.pull));
    clearTable();
    const int id = sim.newBall()->id;
    sim.run(60);
    ASSERT_STREQ(holdingPlace(id), "plunger") << where(sim.ball(id));
    sim.press(TABLE_KEY_LAUNCH, true);
    sim.run(c.pull);
    sim.press(TABLE_KEY_LAUNCH, false);
    double top = 1e9;
    bool out = false, back = false;
    for (int k = 0; k < 600 && sim.alive(id) && !back; k++) {
      sim.run(1);
      const BallData& b = sim.ball(id);
      top = std::fmin(top, b.pos.y);
      out = out || (b.pos.y < door.y - 20 && b.pos.x < 660);
      back = k > 10 && holdingPlace(id);
    }
    if (c.reachesTheHead) {
      EXPECT_TRUE(out) << "the ball did not leave the lane";
      EXPECT_LT(top, 40.0) << "the launch fell short of the head of the table";
    } else {
      EXPECT_TRUE(back) << "a short pull left the ball at " << where(sim.ball(id));
      EXPECT_FALSE(out);
    }
  }
}

// ---- The flippers ----

TEST_F(TablePlay, EachFlipperSendsABallRestingOnItUpTheTable) {
  // A cradled ball let go rolls down the lowered flipper; hit when it has
  // rolled a part of the flipper's length, it leaves at least this fast and
  // rises at least this far above the pivot, the best of the three further.
  struct Case {
    const Flipper& flipper;
    double parts[3];
    double launch, everyRise, bestRise;
  };
  const Case cases[] = {{kFlippers[0], {0.4, 0.6, 0.8}, 20, 150, 250},
                        {kFlippers[1], {0.4, 0.6, 0.8}, 20, 150, 200},
                        {kFlippers[2], {0.4, 0.6, 0.8}, 8, 50, 150},
                        {kFlippers[3], {0.4, 0.6, 0.8}, 12, 120, 150}};
  for (const Case& c : cases) {
    const Flipper& f = c.flipper;
    SCOPED_TRACE(f.name);
    const Point pivot = at(f.name);
    const double length = param(f.geometry, "length", 50) * std::cos(param(f.geometry, "max_angle", 45) * M_PI / 180);
    double best = 0;
    for (double part : c.parts) {
      const int id = cradle(f);
      ASSERT_GE(id, 0) << "no ball came to rest on the raised flipper";
      const BallData& b = sim.ball(id);
      EXPECT_LT(b.pos.y, pivot.y) << "the ball rests below the flipper: " << where(b);
      EXPECT_LT(std::fabs(b.pos.x - pivot.x), 30.0) << "the ball rests away from the flipper's base: " << where(b);
      sim.press(f.key, false);
      ASSERT_GT(sim.runUntil(120, [&] { return std::fabs(sim.ball(id).pos.x - pivot.x) >= part * length; }), 0)
          << "the ball did not roll down the lowered flipper";
      const Shot s = shoot(id, f, 150);
      EXPECT_GE(s.launch, c.launch) << "hit at " << part;
      EXPECT_GE(pivot.y - s.top, c.everyRise) << "hit at " << part;
      best = std::fmax(best, pivot.y - s.top);
    }
    EXPECT_GE(best, c.bestRise);
  }
}

TEST_F(TablePlay, FlipperPlayReachesEveryLaneRampAndTarget) {
  // The lanes, the ramps' entrance gates and every target of the table.
  // Not here: the mausoleum (closed until the rules open it), the lock
  // (fed by its magnet, its own test) and the pipeline's gate, which only
  // the rules open (the ramp test shoots it).
  const std::set<std::string> targets = {"tunnel", "bumper", "triangle", "spinner", "button", "spiralbtn",
                                         "ostbtn", "zonabtn", "gasbtn",  "hflap",   "mflap",  "trilights",
                                         "dumagate", "kremgate", "mpoint"};
  std::vector<std::string> want = {"ramp_left_gate", "ramp_right_gate", "spiral_gate"};
  for (const tbl::Object& d : design().objects)
    if (targets.count(d.family)) want.push_back(d.name);
  std::set<std::string> reached;
  auto note = [&] {
    for (int i = 0; i < sim.board.count; i++)
      if (sim.hits[i]) reached.insert(nameOf(i));
  };
  // Every other shot, followed until the ball comes back down...
  for (const Flipper& f : kFlippers)
    everyShot(
        f,
        [&](int id) {
          shoot(id, f, 900);
          note();
        },
        2);
  // ... and games of a simple player, a ball fed to each flipper in turn,
  // who reacts a little later in each game. The player keeps the ball in
  // play for a while.
  int games = 0, played = 0;
  for (int lag = 0; lag < 8; lag++)
    for (const Flipper& f : kFlippers) {
      clearTable();
      sim.ballAt(f.feeds[0].x, f.feeds[0].y);
      sim.clearHits();
      played += autoplay(3600, lag);
      games++;
      note();
    }
  EXPECT_GT(played / games, 600) << "the simple player loses the ball within ten seconds on average";
  std::string missing;
  for (const std::string& n : want)
    if (!reached.count(n)) missing += " " + n;
  EXPECT_EQ(missing, "") << "no flipper play reaches these";
}

// ---- Ramps and tubes ----

TEST_F(TablePlay, RampsCarryFlipperShotsAlongTheirTracksAndDropThemOnTheirLayer) {
  // Each ramp shot from the flipper that aims at it. A ball that gets on the
  // track either rides it to its end and comes off where the design says,
  // or rolls back out of the entrance onto the playfield; some shots ride
  // to the end.
  enum End { LEAVES_LEFT, LANDS_IN_KREMLIN_LANE, TAKEN_AT_TOP, LEAVES_RIGHT };
  struct Case {
    const char* track;
    const Flipper& flipper;
    int layer;
    End end;
    bool closeSpiral;  // as the rules do during the gas mission
  };
  const Case cases[] = {{"ramp_left", kFlippers[1], 1, LEAVES_LEFT, false},
                        {"ramp_right", kFlippers[0], 2, LANDS_IN_KREMLIN_LANE, false},
                        {"spiral", kFlippers[3], 6, TAKEN_AT_TOP, false},
                        {"gas_pipe", kFlippers[3], 3, LEAVES_RIGHT, true}};
  std::vector<int> kremlinLanes;
  for (const char* lane : {"krem_lane0", "krem_lane1", "krem_lane2", "krem_lane3"}) kremlinLanes.push_back(object(lane)->id);
  const Point top = at("spiral_exit");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.track);
    const Track* track = findTrack(c.track);
    ASSERT_NE(track, nullptr);
    if (c.closeSpiral) {
      ASSERT_EQ(objDisable("SPIRAL_GATE"), 1);
    }
    int rides = 0, complete = 0;
    std::string wrong;
    everyShot(c.flipper, [&](int id) {
      bool on = false, back = false;
      const size_t left = sim.leaves.size();
      BallData last{};
      int lmask = 0, frames = 0;
      shoot(id, c.flipper, 600, [&](const BallData& b) {
        last = b;
        lmask = sim.object(id)->lmask;
        if (b.track == track) {
          on = true;
          back = b.trackvelo < 0;
          return true;
        }
        // Off the track again (what happens next is checked below), or a
        // shot that went elsewhere.
        return !on && ++frames < 50;
      });
      if (!on) return;
      rides++;
      const bool alive = sim.alive(id);
      if (back) {
        // Rolled back down: off the track, free on the playfield.
        if (!alive || lmask != 1 || last.track) wrong += " a ball rolling back ended at " + where(last) + ";";
        return;
      }
      bool ok = false;
      switch (c.end) {
        case LEAVES_LEFT:
        case LEAVES_RIGHT:
          sim.run(60);
          if (sim.leaves.size() > left) {
            const TableSim::Leave& l = sim.leaves.back();
            ok = l.lmask == 1 << c.layer && (c.end == LEAVES_LEFT ? l.trigger == TR_LEAVE_DUMA && l.x < 0
                                                                  : l.trigger == TR_LEAVE_GASPROM && l.x > 800);
          }
          break;
        case LANDS_IN_KREMLIN_LANE:
          // Dropped onto the playfield over the Kremlin lanes, it rolls
          // down over a lane's switch.
          ok = alive && lmask == 1 && sim.runUntil(60, [&] {
                                        for (const int lane : kremlinLanes)
                                          if (sim.hits[lane]) return true;
                                        return false;
                                      }) > 0;
          break;
        case TAKEN_AT_TOP:
          // The gate at the top takes the ball off the table (the rules put
          // it into the right tube).
          sim.runUntil(30, [&] {
            if (sim.alive(id)) last = sim.ball(id);
            return !sim.alive(id);
          });
          ok = !sim.alive(id) && std::hypot(last.pos.x - top.x, last.pos.y - top.y) < 30;
          // ... and its gate calls "ost_in", which puts a ball into the right
          // tube: the ball comes back.
          if (ok) {
            const Track* tube = findTrack(conf_getstr(&sim.rules, "tubes.right_track", ""));
            bool inTube = false;
            for (int b : sim.balls()) inTube = inTube || (tube && sim.ball(b).track == tube);
            if (!inTube) wrong += " a ball taken at the top did not come back through the right tube;";
            ok = inTube;
          }
          break;
      }
      if (ok) {
        complete++;
      } else {
        wrong += " a ball at the end of the track came off at " + where(last) + ";";
      }
    },
               2);
    if (c.closeSpiral) objEnable("SPIRAL_GATE");
    EXPECT_GT(rides, 0) << "no shot gets on the track";
    EXPECT_GT(complete, 0) << "no shot rides to the end";
    EXPECT_EQ(wrong, "");
  }
}

TEST_F(TablePlay, RampGatesTakeOnlyBallsGoingUpTheirLanes) {
  // A ball falling into a ramp's entrance lane from above passes its gate
  // the other way: it comes out at the bottom of the lane on the playfield,
  // never on a track (a ball that brushed the pipeline's gate from above
  // used to be sent down the pipeline with the spiral open).
  struct Case {
    const char* lane;
    Point from, velo;
    double bottom;  // below the lane's mouth
  };
  const Case cases[] = {{"the Duma ramp", {235, 292}, {0, 0}, 360},
                        {"the Kremlin ramp", {525, 284}, {0, 0}, 360},
                        {"lane T6", {575, 222}, {0, 0}, 400},
                        {"lane T6, along its right wall", {586, 200}, {2, 8}, 400}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lane);
    clearTable();
    sim.leaves.clear();
    const int id = sim.ballAt(c.from.x, c.from.y, c.velo.x, c.velo.y)->id;
    bool tracked = false;
    EXPECT_GT(sim.runUntil(300,
                           [&] {
                             tracked = tracked || (sim.alive(id) && sim.ball(id).track);
                             return !sim.alive(id) || sim.ball(id).pos.y > c.bottom;
                           }),
              0);
    ASSERT_TRUE(sim.alive(id));
    EXPECT_FALSE(tracked);
    EXPECT_EQ(sim.object(id)->lmask, 1);
    EXPECT_TRUE(sim.leaves.empty());
  }
}

TEST_F(TablePlay, TubesGiveTheBallBackOntoTheUpperFlippers) {
  // The rules put a ball into a tube; it rides the wire without gravity and
  // comes off at the tube's end as a free playfield ball, over the upper
  // flipper on its side.
  struct Case {
    int tube;
    const char* track;
    const char* flipper;
  };
  const Case cases[] = {{0, "tube_left", "flip1"}, {1, "tube_right", "flip4"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.track);
    clearTable();
    gameTubeBall(c.tube);
    std::vector<int> balls = sim.balls();
    ASSERT_EQ(balls.size(), 1u);
    const int id = balls[0];
    const Track* track = findTrack(c.track);
    ASSERT_EQ(sim.ball(id).track, track);
    EXPECT_GT(sim.runUntil(600, [&] { return !sim.ball(id).track; }), 0) << "the ball never came off the tube";
    ASSERT_TRUE(sim.alive(id));
    EXPECT_EQ(sim.object(id)->lmask, 1);
    EXPECT_EQ(sim.ball(id).noaccel, 0) << "the ball has no gravity on the playfield";
    const int flipper = object(c.flipper)->id;
    EXPECT_GT(sim.runUntil(120, [&] { return sim.hits[flipper] > 0; }), 0)
        << "the ball did not come down onto " << c.flipper << ": " << where(sim.ball(id));
  }
}

// ---- Holding places ----

TEST_F(TablePlay, TheLockPocketHoldsABallUntilTheLockTakesIt) {
  const Point lock = at("lock");
  for (int active : {0, 1}) {
    SCOPED_TRACE(active ? "lock active" : "lock refused");
    clearTable();
    game.liftActive = active;
    const int id = sim.ballAt(lock.x + 3, 40)->id;
    sim.run(300);
    if (active) {
      EXPECT_FALSE(sim.alive(id)) << "the lock left the ball at " << where(sim.ball(id));
      EXPECT_EQ(ostliftStored(), 1);
    } else {
      ASSERT_TRUE(sim.alive(id));
      EXPECT_STREQ(holdingPlace(id), "lock") << where(sim.ball(id));
      EXPECT_LT(speed(sim.ball(id)), 0.5);
    }
  }
  game.liftActive = 0;
}

TEST_F(TablePlay, ThePrisonMagnetCatchesLiftsAndReleasesTheBall) {
  game.zonaCapture = 1;
  ZONA_CONTROL(0);
  ASSERT_GT(sim.runUntil(600, [] { return zonaState() == ZONA_MAGNET; }), 0);
  // The trapdoor is shut while the magnet works: a ball rolling onto the pit
  // is caught, not swallowed.
  const Point pit = at("zona");
  const int id = sim.ballAt(pit.x - 4, pit.y - 40)->id;
  ASSERT_GT(sim.runUntil(600, [] { return zonaState() == ZONA_LIFTING; }), 0) << where(sim.ball(id));
  EXPECT_FALSE(sim.alive(id));
  EXPECT_TRUE(sim.leaves.empty());
  // Lifted on its track, the prisoner waits at the top until the rules let
  // it go; then it comes back onto the playfield below the pit.
  ASSERT_GT(sim.runUntil(900, [] { return zonaState() == ZONA_RELEASE_WAIT; }), 0);
  const Track* lift = trackFromFile("table/tracks/zona_lift.trk");
  std::vector<int> balls = sim.balls();
  ASSERT_EQ(balls.size(), 1u);
  EXPECT_EQ(sim.ball(balls[0]).track, lift);
  EXPECT_EQ(sim.object(balls[0])->lmask, 1 << static_cast<int>(param("zona", "ball_layer", 0)));
  ZONA_CONTROL(2);
  ASSERT_GT(sim.runUntil(900, [] { return zonaState() == ZONA_CLOSING; }), 0);
  balls = sim.balls();
  ASSERT_EQ(balls.size(), 1u);
  EXPECT_EQ(sim.object(balls[0])->lmask, 1);
  EXPECT_EQ(sim.ball(balls[0]).track, nullptr);
  // Freed above lane T3, the ball rolls over it; with no steal running the
  // lane sends it through the left tube.
  const Track* leftTube = findTrack(conf_getstr(&sim.rules, "tubes.left_track", ""));
  ASSERT_NE(leftTube, nullptr);
  ASSERT_GT(sim.runUntil(300, [&] {
    const std::vector<int> now = sim.balls();
    return now.size() == 1 && sim.ball(now[0]).track == leftTube;
  }), 0) << where(sim.ball(sim.balls().at(0)));
  ASSERT_GT(sim.runUntil(900, [] { return zonaState() == ZONA_CLOSED; }), 0);
  std::string why;
  EXPECT_GT(playOut(1800, &why), 0) << why;
  game.zonaCapture = 0;
}

// ---- Nothing else holds a ball ----

TEST_F(TablePlay, BallsDroppedAnywhereOnThePlayfieldDrainOrComeToAHoldingPlace) {
  // 50 points of the playfield, none inside or touching an outline, a ball
  // at rest on each. Within 30 seconds every ball has left the table
  // through the drain between the outlane channels (or at the Duma ramp's
  // end) or rests in a place made to hold it.
  const double step = 3;
  const std::vector<Point> field = playfield(step);
  ASSERT_GT(field.size(), 10000u);
  int points = 0, held = 0;
  std::string trapped, strays;
  while (points < 50) {
    Point p = field[rndBelow(static_cast<int>(field.size()))];
    p.x += step * rndNext() / static_cast<double>(RND_MAX);
    p.y += step * rndNext() / static_cast<double>(RND_MAX);
    if (sim.overlapping(p.x, p.y, radius, 1, anyObject)) continue;
    points++;
    clearTable();
    sim.leaves.clear();
    const int id = sim.ballAt(p.x, p.y)->id;
    std::string why;
    char at[48];
    std::snprintf(at, sizeof at, "(%.1f, %.1f)", p.x, p.y);
    if (playOut(1800, &why) < 0) trapped += std::string(" from ") + at + ":" + why + ";";
    if (sim.alive(id)) held++;
    for (const TableSim::Leave& l : sim.leaves) {
      // The drain, or the Duma ramp's end; the pipeline is closed while
      // the spiral is open.
      const bool drain = l.trigger == TR_LEAVE_CENTER && l.y > 600 && l.x > 280 && l.x < 480;
      const bool duma = l.trigger == TR_LEAVE_DUMA && l.x < 0 && l.lmask == 2;
      if (!drain && !duma) strays += std::string(" from ") + at + ";";
    }
  }
  EXPECT_EQ(trapped, "") << "balls that neither drained nor came to a holding place";
  EXPECT_EQ(strays, "") << "balls that left the table elsewhere than by the drain or a ramp";
  EXPECT_LT(held, points / 4) << "most balls should drain";
}

TEST_F(TablePlay, NoSolidOnThePlayfieldCanHoldABall) {
  // Without friction a ball stays put only where the surfaces it touches
  // hold it up against gravity: on a level edge that faces up the table, or
  // in a notch between two surfaces that lean towards each other (two posts
  // closer than a ball's width, a wall and the corner of a target ...). The
  // ball's centre is walked along every edge and round every corner of the
  // solids at one radius from them; where it meets a second surface the
  // two pushes are checked. The plunger, the savers and the lock's pocket
  // are made to hold a ball.
  const double step = 3;
  const std::vector<Point> field = playfield(step);
  std::set<long> cells;
  for (const Point& p : field) cells.insert(std::lround(p.y / step) * 1000 + std::lround(p.x / step));
  auto onPlayfield = [&](Point p) {
    for (int dy = -1; dy <= 1; dy++)
      for (int dx = -1; dx <= 1; dx++)
        if (cells.count((std::lround(p.y / step) + dy) * 1000 + std::lround(p.x / step) + dx)) return true;
    return false;
  };
  const BoardObject* pocket = object("lock_pocket");
  std::vector<const BoardObject*> solids;
  for (int i = 0; i < sim.board.count; i++) {
    const BoardObject* o = sim.object(i);
    if (o && o->kind != BK_BALL && (o->lmask & 1) && !o->disabled && solid(o) && o->user != FAM_SPRING &&
        o->user != FAM_SAVER && o != pocket)
      solids.push_back(o);
  }
  struct Edge {
    Point a, b;
    int id;
  };
  std::vector<Edge> edges;
  for (const BoardObject* o : solids) {
    const Outline& ol = o->u.shape.outline;
    for (int e = 0; e < ol.n; e++) {
      const Vec3 a = ol.vertices[(e + ol.n - 1) % ol.n], b = ol.vertices[e];
      edges.push_back({{ol.pos.x + a.x, ol.pos.y + a.y}, {ol.pos.x + b.x, ol.pos.y + b.y}, o->id});
    }
  }
  // The edges near each 16-unit cell.
  const int cell = 16, cols = 800 / cell + 1, rows = 600 / cell + 1;
  std::vector<std::vector<int>> near(static_cast<size_t>(cols) * rows);
  for (size_t i = 0; i < edges.size(); i++) {
    const Edge& e = edges[i];
    const double pad = radius + 2;
    const int x0 = std::max(0, static_cast<int>((std::fmin(e.a.x, e.b.x) - pad) / cell));
    const int x1 = std::min(cols - 1, static_cast<int>((std::fmax(e.a.x, e.b.x) + pad) / cell));
    const int y0 = std::max(0, static_cast<int>((std::fmin(e.a.y, e.b.y) - pad) / cell));
    const int y1 = std::min(rows - 1, static_cast<int>((std::fmax(e.a.y, e.b.y) + pad) / cell));
    for (int y = y0; y <= y1; y++)
      for (int x = x0; x <= x1; x++) near[y * cols + x].push_back(static_cast<int>(i));
  }
  auto nearEdges = [&](Point p) -> const std::vector<int>& {
    static const std::vector<int> kNone;
    const int x = static_cast<int>(p.x / cell), y = static_cast<int>(p.y / cell);
    return x < 0 || y < 0 || x >= cols || y >= rows ? kNone : near[y * cols + x];
  };
  // Distance from p to an edge and the unit push of that edge on a ball at p.
  auto push = [](const Edge& e, Point p, Point* n) {
    const double ex = e.b.x - e.a.x, ey = e.b.y - e.a.y, len2 = ex * ex + ey * ey;
    double t = len2 > 0 ? ((p.x - e.a.x) * ex + (p.y - e.a.y) * ey) / len2 : 0;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    const double nx = p.x - e.a.x - t * ex, ny = p.y - e.a.y - t * ey, d = std::hypot(nx, ny);
    if (n) *n = d > 0 ? Point{nx / d, ny / d} : Point{0, 0};
    return d;
  };
  auto free = [&](Point p) {
    for (int i : nearEdges(p))
      if (push(edges[i], p, nullptr) < radius - 1e-3) return false;
    for (const BoardObject* o : solids)
      if (TableSim::outlineDistance(o, p.x, p.y) < 0) return false;
    return onPlayfield(p);
  };
  // At rest when pushes a, b of no negative size hold the ball against
  // gravity (0, 1): fa a + fb b = (0, -1). (Two pushes the same way are one
  // corner: balancing on its tip is no rest.)
  auto holds = [](Point a, Point b) {
    const double det = a.x * b.y - a.y * b.x;
    return a.x * b.x + a.y * b.y < 0.9999 && std::fabs(det) > 1e-9 && b.x / det >= -1e-9 && -a.x / det >= -1e-9;
  };
  std::set<std::string> found;
  auto report = [&](Point p, int a, int b) {
    char at[40];
    std::snprintf(at, sizeof at, " at (%.0f, %.0f)", p.x, p.y);
    found.insert(nameOf(a) + (a == b ? "" : " and " + nameOf(b)) + at);
  };
  for (size_t ia = 0; ia < edges.size(); ia++) {
    const Edge& A = edges[ia];
    const double ex = A.b.x - A.a.x, ey = A.b.y - A.a.y, len = std::hypot(ex, ey);
    if (len < 1e-9) continue;
    // The path of the ball's centre touching A: both sides of the edge, and
    // round its first corner.
    std::vector<Point> path;
    for (double side : {-1.0, 1.0}) {
      const double nx = side * -ey / len, ny = side * ex / len;
      for (double s = 0; s <= len + 1e-9; s += std::fmin(0.5, len))
        path.push_back({A.a.x + ex * s / len + nx * radius, A.a.y + ey * s / len + ny * radius});
      path.push_back({NAN, NAN});
    }
    for (int deg = 0; deg <= 360; deg += 2)
      path.push_back({A.a.x + radius * std::cos(deg * M_PI / 180), A.a.y + radius * std::sin(deg * M_PI / 180)});
    for (size_t k = 0; k < path.size(); k++) {
      const Point p = path[k];
      if (std::isnan(p.x)) continue;
      // Alone on a level edge that faces up the table.
      Point na;
      push(A, p, &na);
      const double foot = (p.x - A.a.x) * ex / len + (p.y - A.a.y) * ey / len;
      if (std::fabs(ey) < 1e-5 * len && foot > 0 && foot < len && na.y < -0.99999 && free(p)) report(p, A.id, A.id);
      if (k == 0 || std::isnan(path[k - 1].x)) continue;
      // Where the path meets another edge: the point that touches both.
      const Point q = path[k - 1];
      for (int ib : nearEdges(p)) {
        if (static_cast<size_t>(ib) == ia) continue;
        const Edge& B = edges[ib];
        double gp = push(B, p, nullptr) - radius, gq = push(B, q, nullptr) - radius;
        if ((gp > 0) == (gq > 0)) continue;
        Point lo = q, hi = p;
        for (int it = 0; it < 40; it++) {
          const Point mid{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2};
          ((push(B, mid, nullptr) - radius > 0) == (gq > 0) ? lo : hi) = mid;
        }
        const Point m{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2};
        Point nA, nB;
        push(A, m, &nA);
        push(B, m, &nB);
        if (holds(nA, nB) && free(m)) report(m, A.id, B.id);
      }
    }
  }
  std::string all;
  for (const std::string& f : found) all += "\n " + f;
  EXPECT_EQ(all, "") << "a ball can rest here";
}

TEST_F(TablePlay, OutlanesAndTheCentreDrainAndTheSaversKickBack) {
  // Balls falling down the outlanes' inner halves and between the flippers
  // leave the table through the drain; along the outer walls the savers
  // catch them and kick them back up, and raise the outlane's blocker.
  struct Case {
    const char* what;
    Point from;
    int saver;  // -1: drains
  };
  const Case cases[] = {{"left outlane, inner half", {120, 420}, -1},
                        {"right outlane, inner half", {640, 420}, -1},
                        {"between the flippers", {380, 490}, -1},
                        {"left outlane along the wall", {104, 420}, 0},
                        {"right outlane along the wall", {652, 420}, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clearTable();
    sim.leaves.clear();
    blockersBallLost();
    const int id = sim.ballAt(c.from.x, c.from.y)->id;
    if (c.saver < 0) {
      EXPECT_GT(sim.runUntil(600, [&] { return !sim.alive(id); }), 0) << where(sim.ball(id));
      ASSERT_EQ(sim.leaves.size(), 1u);
      EXPECT_EQ(sim.leaves[0].trigger, TR_LEAVE_CENTER);
      EXPECT_GT(sim.leaves[0].x, 280);
      EXPECT_LT(sim.leaves[0].x, 480);
    } else {
      double low = 0;
      ASSERT_GT(sim.runUntil(300, [&] {
                  low = std::fmax(low, sim.ball(id).pos.y);
                  return sim.ball(id).velo.y < -5;
                }),
                0)
          << "no kick: " << where(sim.ball(id));
      const Point saver = at(c.saver ? "saver_right" : "saver_left");
      EXPECT_LT(low, saver.y) << "the ball fell past the saver";
      EXPECT_GT(sim.runUntil(120, [&] { return sim.ball(id).pos.y < c.from.y; }), 0) << "the kick is too weak";
      EXPECT_NE(blockerState(c.saver), 0) << "the blocker stayed down";
    }
  }
}

}  // namespace
