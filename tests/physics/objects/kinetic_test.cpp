// The kinetic table objects on a small table: each kind's reader (parameter
// reads, validation, fall-through to a wall) and its handler driven by real
// balls on the board, or by events sent straight to it where an exact
// instant matters. Sound runs without a device and with no sample loaded,
// so every sample an object asks for leaves its id in the log.
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include "core/random.h"
#include "physics/geometry.h"
#include "physics/objects/table_fixture.h"
#include "platform/audio.h"
#include "sound/fx.h"

namespace {

constexpr int kWallReader = 30;
constexpr double kDeg = std::numbers::pi / 180.0;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The sample ids requested while the log was captured, in order.
std::vector<int> samplesIn(const std::string& log) {
  std::vector<int> ids;
  const std::string key = "fxPlaySample(): sample ";
  for (size_t at = log.find(key); at != std::string::npos; at = log.find(key, at + 1))
    ids.push_back(std::atoi(log.c_str() + at + key.size()));
  return ids;
}

class KineticTest : public TableFixture {
 protected:
  void SetUp() override {
    TableFixture::SetUp();
    audioSetOutput(AUDIO_OUTPUT_NONE);
    ASSERT_EQ(fxInit(0), 1);
    fxSetSampleSID(sampleSID);
    resetStats();
  }
  void TearDown() override {
    TableFixture::TearDown();
    fxShutdown();
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
    CLEAR_LAYER_HEIGHTS();
  }

  // The statistics the objects sample, all at 0.
  static void resetStats() {
    gstatInit();
    for (const char* m : {"hit:duma_bumper", "hit:krem_bumper", "hit:tri_left", "hit:tri_right", "hit:flipper_left",
                          "hit:flipper_right"})
      gstatAdd(m, "");
    gstatBegin();
  }

  // make() with everything it logs.
  BoardObject* makeLogged(Outline* o, std::string* log, int layer = 0, int* reader = nullptr) {
    BoardObject* b = nullptr;
    *log = logOf([&] { b = make(o, layer, reader); });
    return b;
  }

  // The one visual-board object in use on a layer: the object sprites (the
  // test balls draw nothing).
  VBOBJ* instanceOn(int layer) {
    VBOBJ* found = nullptr;
    for (int i = 0; i < vboard.used; i++) {
      VBOBJ* v = &vboard.objects[i];
      if (!v->inUse || v->dead || v->layer != layer) continue;
      EXPECT_EQ(found, nullptr) << "more than one object on layer " << layer;
      found = v;
    }
    return found;
  }

  // Sends an event straight to an object's handler.
  static void send(BoardObject* o, int type, BoardObject* ball = nullptr, double dt = 1.0) {
    BoardEvent e{};
    e.type = type;
    e.dt = dt;
    e.other = ball;
    o->handler(o, &e);
  }

  // The velocity a ball coming from the left at speed 2 has after bouncing
  // off an object of elasticity k: the shape response with its push.
  static double bouncedVx(double k) { return 2 - (1 + k) * 2 + -1.0 / 32; }
};

// ---- Parameter reads and readers ----

TEST_F(KineticTest, ParameterReadsTakeOwnKeyThenClassThenDefault) {
  gTable.globalK = 0.25;
  struct Case {
    const char* what;
    const char* conf;
    int layer;
    double k;
    int lmask;
  };
  const Case cases[] = {
      {"own key beats its class", "[object_12_7]\nk = 0.5\nlmask = 6\nclass = \"hard\"\n[class_hard]\nk = 0.9\nlmask = 3\n",
       0, 0.5, 6},
      {"class value", "[object_12_7]\nclass = \"hard\"\n[class_hard]\nk = 0.9\nlmask = 3\n", 0, 0.9, 3},
      {"defaults: global_k and the layer's bit", "[object_12_7]\nclass = \"none\"\n", 3, 0.25, 8},
      {"values of another type count as missing", "[object_12_7]\nk = 1\nlmask = 2.0\n", 2, 0.25, 4},
      {"a mistyped own value falls back to the class", "[object_12_7]\nk = 1\nclass = \"hard\"\n[class_hard]\nk = 0.9\n",
       1, 0.9, 2},
      {"no configuration section at all", "", 5, 0.25, 32},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setObjects(c.conf);
    std::string log;
    int reader = -1;
    BoardObject* w = makeLogged(outline(12.75, 7.5, {{0, 0}, {10, 0}, {10, 10}}), &log, c.layer, &reader);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(reader, kWallReader);
    EXPECT_EQ(w->user, FAM_WALL);
    EXPECT_DOUBLE_EQ(w->u.shape.k, c.k);
    EXPECT_EQ(w->lmask, c.lmask);
    EXPECT_EQ(w->u.shape.quickRelease, 1);
    char line[96];
    std::snprintf(line, sizeof line, "wall_reader(), object (12,7): k-%3.2f\n", c.k);
    EXPECT_TRUE(has(log, line)) << log;
    BOARD_KILL(w->id);
  }
}

TEST_F(KineticTest, OutlinesNoReaderTakesBecomeWalls) {
  std::string spr = sprite("b.gsp", 3);
  struct Case {
    const char* what;
    std::string conf;
    const char* message;
  };
  const std::string head = "[object_100_200]\n";
  const Case cases[] = {
      {"a family without a reader", head + "family = \"cannon\"\n", nullptr},
      {"an unknown family", head + "family = \"catapult\"\n", nullptr},
      {"bumper without sprite", head + "family = \"bumper\"\nlogic = \"duma\"\nplace = 0\n",
       "bumper_reader(), object (100,200): sprite filename not defined ('sprite' parameter)"},
      {"bumper with a sprite that does not load",
       head + "family = \"bumper\"\nsprite = \"" + dir.file("none.gsp") + "\"\nlogic = \"duma\"\nplace = 0\n",
       "bumper_reader(), object (100,200): error loading sprite '"},
      {"bumper without logic", head + "family = \"bumper\"\nsprite = \"" + spr + "\"\nplace = 0\n",
       "bumper_reader(), object (100,200): 'logic' not defined"},
      {"bumper with another logic", head + "family = \"bumper\"\nsprite = \"" + spr + "\"\nlogic = \"senate\"\nplace = 0\n",
       "bumper_reader(), object (100,200): invalid logic 'senate'"},
      {"bumper without place", head + "family = \"bumper\"\nsprite = \"" + spr + "\"\nlogic = \"duma\"\n",
       "bumper_reader(), object (100,200): 'place' not defined"},
      {"bumper with a negative place",
       head + "family = \"bumper\"\nsprite = \"" + spr + "\"\nlogic = \"kremlin\"\nplace = -2\n",
       "bumper_reader(): object (100,200): invalid place -2"},
      {"saver of place 2", head + "family = \"saver\"\nsprite = \"" + spr + "\"\nplace = 2\n",
       "saver_reader(), object (100,200): place is undefined or invalid (2, max 1)"},
      {"saver without sprite", head + "family = \"saver\"\nplace = 1\n",
       "saver_reader(), object (100,200): 'sprite' not defined"},
      {"cflipper of place 7", head + "family = \"cflipper\"\nsprite = \"" + spr + "\"\nplace = 7\n",
       "cflipper_reader(): object (100,200): invalid place 7"},
      {"cflipper whose full-up angle is below its rest angle",
       head + "family = \"cflipper\"\nsprite = \"" + spr + "\"\nplace = 2\nmin_angle = 10.0\nmax_angle = -10.0\n",
       "cflipper_reader(), object (100,200): invalid angles min_angle-10.00 max_angle--10.00"},
      {"dropper to a layer that does not exist", head + "family = \"dropper\"\nlayer_to = 9\n",
       "dropper_reader(), object (100,200): invalid layer_to 9"},
      {"triangle without sprite", head + "family = \"triangle\"\n",
       "triangle_reader(), object (100,200): sprite filename not defined ('sprite' parameter)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setObjects(c.conf);
    int sprites = spritesInUse();
    std::string log;
    int reader = -1;
    BoardObject* w = makeLogged(box(100, 200, 140, 240), &log, 0, &reader);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(reader, kWallReader);
    EXPECT_EQ(w->kind, BK_SHAPE);
    EXPECT_EQ(w->user, FAM_WALL);
    EXPECT_EQ(w->parms, nullptr);
    if (c.message) { EXPECT_TRUE(has(log, c.message)) << log; }
    EXPECT_TRUE(has(log, "wall_reader(), object (100,200): k-0.30")) << log;
    EXPECT_EQ(spritesInUse(), sprites) << "a reader that gave up keeps no sprite";
    EXPECT_EQ(instanceOn(4), nullptr) << "nor a sprite instance";
    BOARD_KILL(w->id);
  }
}

TEST_F(KineticTest, WallBouncesTheBallAndReleasesItAtOnce) {
  setObjects("[object_100_200]\nk = 0.5\nname = \"left_wall\"\n");
  BoardObject* w = make(box(100, 200, 140, 240));
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(objFindBoardObject("left_wall"), w);
  BoardObject* b = ball(95.5, 220, 2, 0);
  step(2);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.x, bouncedVx(0.5));
  EXPECT_DOUBLE_EQ(b->u.ball.velo.y, 0);
  EXPECT_FALSE(boardInContact(w->id, b->id));
  EXPECT_LT(b->u.ball.pos.x, 97);
}

// ---- Bumper ----

class BumperTest : public KineticTest {
 protected:
  std::string conf(const char* logic, int place, const std::string& extra = "") {
    return "[object_100_200]\nfamily = \"bumper\"\nsprite = \"" + sprite("bumper.gsp", 3) + "\"\nlogic = \"" + logic +
           "\"\nplace = " + std::to_string(place) + "\nk = 0.5\n" + extra;
  }
};

TEST_F(BumperTest, IdleHitScoresByLogicAndMission) {
  struct Case {
    const char* what;
    const char* logic;
    int place;
    int mission;
    const char* stat;
    const char* subject;  // the one subject scored
    int light;
    int sample;
    bool quorum;        // the quorum grows and its title plays
    bool missionEvent;  // the Duma mission hears of the hit
  };
  const Case cases[] = {
      {"duma, no mission", "duma", 1, -1, "hit:duma_bumper", "duma_bumper1", LI_DUMA_BUMPER1, SI_DUMA_BUMPER,
       true, false},
      {"duma, another mission", "duma", 2, 2, "hit:duma_bumper", "duma_bumper2", LI_DUMA_BUMPER2,
       SI_DUMA_BUMPER, true, false},
      {"duma, the Duma mission", "duma", 0, 0, "hit:duma_bumper", "duma_bumper0", LI_DUMA_BUMPER0,
       SI_DUMA_BUMPER, false, true},
      {"duma, the elections", "duma", 0, 5, "hit:duma_bumper", "duma_bumper0", LI_DUMA_BUMPER0,
       SI_DUMA_BUMPER, false, false},
      {"kremlin", "kremlin", 2, -1, "hit:krem_bumper", "krem_bumper2", LI_KREM_BUMPER2, SI_KREM_BUMPER, false,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rulesCallClear();
    titleClearMacros();
    resetStats();
    ASSERT_NO_FATAL_FAILURE(setScores({c.subject}));
    game.mission = c.mission;
    game.quorum = 0.5;
    lightSet(c.light, LIGHT_OFF);
    setObjects(conf(c.logic, c.place, "min_attack = 1.0\nmax_attack = 1.0\n"));
    BoardObject* bumper = make(box(100, 200, 140, 240));
    ASSERT_NE(bumper, nullptr);
    ASSERT_EQ(bumper->user, FAM_BUMPER);
    BoardObject* b = ball(95.5, 220, 2, 0);
    std::string log = stepLogged(2);
    EXPECT_DOUBLE_EQ(b->u.ball.velo.x, bouncedVx(0.5));
    EXPECT_EQ(gstatCount(c.stat), 1);
    EXPECT_EQ(game.score, scoreOf({c.subject}));
    EXPECT_EQ(lightGetState(c.light), LIGHT_ON);
    EXPECT_EQ(samplesIn(log), std::vector<int>{c.sample}) << log;
    EXPECT_EQ(rulesCallSeen("missionEvent 10 0 0") != 0, c.missionEvent);
    EXPECT_EQ(rulesCallSeen("startForeTitle quorum_progress") != 0, c.quorum);
    if (c.quorum) {
      EXPECT_DOUBLE_EQ(game.quorum, 8.0);
      EXPECT_STREQ(titleMacro("quorum"), "8%");
    } else {
      EXPECT_DOUBLE_EQ(game.quorum, 0.5);
      EXPECT_EQ(titleMacro("quorum"), nullptr);
    }
    BOARD_KILL(b->id);
    BOARD_KILL(bumper->id);
  }
}

TEST_F(BumperTest, EqualAttacksGiveExactlyThatFactorAndRandomOnesComeFromTheGameGenerator) {
  // The same bounce off a wall of the same elasticity, for comparison.
  setObjects("[object_100_200]\nk = 0.5\n");
  BoardObject* w = make(box(100, 200, 140, 240));
  BoardObject* b = ball(95.5, 220, 2, 0);
  step(2);
  double wallVx = b->u.ball.velo.x;
  BOARD_KILL(b->id);
  BOARD_KILL(w->id);

  setObjects(conf("kremlin", 0, "min_attack = 1.2\nmax_attack = 1.2\n"));
  BoardObject* bumper = make(box(100, 200, 140, 240));
  b = ball(95.5, 220, 2, 0);
  step(2);
  EXPECT_EQ(b->u.ball.velo.x, wallVx * 1.2);
  EXPECT_EQ(b->u.ball.velo.y, 0);
  BOARD_KILL(b->id);
  BOARD_KILL(bumper->id);

  setObjects(conf("kremlin", 0, "min_attack = 0.5\nmax_attack = 1.5\n"));
  bumper = make(box(100, 200, 140, 240));
  b = ball(95.5, 220, 2, 0);
  step(1);
  rndSeed(1234);
  double r = rndNext() / 32767.0;
  rndSeed(1234);
  step(1);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.x, wallVx * (0.5 + r * 1.0));
}

TEST_F(BumperTest, HitWhileAnimatingOnlyBouncesAndAnimationReturnsToIdle) {
  ASSERT_NO_FATAL_FAILURE(setScores({"duma_bumper0"}));
  setObjects(conf("duma", 0, "min_attack = 2.0\nmax_attack = 2.0\nheat_delay = 40\ncool_delay = 20\n"));
  BoardObject* bumper = make(box(100, 200, 140, 240));
  VBOBJ* v = instanceOn(4);
  ASSERT_NE(v, nullptr);
  BoardObject* b = ball(95.5, 220, 2, 0);
  std::string log = stepLogged(2);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.x, bouncedVx(0.5) * 2.0);
  EXPECT_EQ(samplesIn(log).size(), 1u);

  // Straight back into the bumper while it heats up.
  b->u.ball.pos = Vec3{95.5, 220, 0};
  b->u.ball.velo = Vec3{2, 0, 0};
  log = stepLogged(1);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.x, bouncedVx(0.5)) << "bounced without the attack";
  EXPECT_TRUE(samplesIn(log).empty()) << log;
  EXPECT_EQ(game.score, scoreOf({"duma_bumper0"}));
  EXPECT_EQ(gstatCount("hit:duma_bumper"), 1);
  BOARD_KILL(b->id);

  // Frames go up one per heat_delay (40 ms: every third step of 16.7 ms) to
  // the last one, then down one per cool_delay (every second step).
  std::vector<int> frames;
  for (int i = 0; i < 16; i++) {
    step(1);
    frames.push_back(v->frame);
  }
  const std::vector<int> expected = {0, 1, 1, 1, 2, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(frames, expected);

  // Idle again: the next hit attacks and scores.
  b = ball(95.5, 220, 2, 0);
  log = stepLogged(2);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.x, bouncedVx(0.5) * 2.0);
  EXPECT_EQ(game.score, scoreOf({"duma_bumper0", "duma_bumper0"}));
  EXPECT_EQ(bumper->u.shape.quickRelease, 1);
}

TEST_F(BumperTest, WithoutAVisualBoardTheFrameFails) {
  vbSelect(nullptr);
  setObjects(conf("duma", 0));
  std::string log;
  BoardObject* bumper = makeLogged(box(100, 200, 140, 240), &log);
  ASSERT_NE(bumper, nullptr);
  EXPECT_EQ(bumper->user, FAM_BUMPER);
  log = stepLogged(1);
  EXPECT_TRUE(has(log, "bumper_handler(): id " + std::to_string(bumper->id) + " VBO not loaded")) << log;
  vbSelect(&vboard);
}

// ---- Triangle ----

TEST_F(KineticTest, TriangleKicksFastBallsUpTheTableAwayFromItsSide) {
  struct Case {
    const char* what;
    int right;
    double minvelo;
    bool kicks;
  };
  const Case cases[] = {
      {"right triangle kicks up and left", 1, 0.1, true},
      {"left triangle kicks up and right", 0, 0.1, true},
      {"a ball slower than minvelo after the bounce", 1, 2.0, false},
  };
  std::string spr = sprite("tri.gsp", 3);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    resetStats();
    setObjects("[object_100_200]\nfamily = \"triangle\"\nsprite = \"" + spr + "\"\nright = " +
               std::to_string(c.right) + "\nminvelo = " + std::to_string(c.minvelo) +
               "\nattack = 3.0\ndelay = 20\nk = 0.5\n");
    // A box 40 wide and 60 high: the kick runs along (-60, -40) for a right
    // triangle, (60, -40) for a left one.
    BoardObject* t = make(box(100, 200, 140, 260));
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->user, FAM_TRIANGLE);
    EXPECT_EQ(t->u.shape.quickRelease, 0);
    VBOBJ* v = instanceOn(4);
    ASSERT_NE(v, nullptr);
    BoardObject* b = ball(95.5, 220, 2, 0);
    std::string log = stepLogged(2);
    double len = std::sqrt(60.0 * 60 + 40 * 40);
    double kx = c.kicks ? (c.right ? -60 : 60) * 3.0 / len : 0;
    double ky = c.kicks ? -40 * 3.0 / len : 0;
    EXPECT_NEAR(b->u.ball.velo.x, bouncedVx(0.5) + kx, 1e-12);
    EXPECT_NEAR(b->u.ball.velo.y, ky, 1e-12);
    EXPECT_EQ(gstatCount("hit:tri_right"), c.kicks && c.right ? 1 : 0);
    EXPECT_EQ(gstatCount("hit:tri_left"), c.kicks && !c.right ? 1 : 0);
    EXPECT_EQ(samplesIn(log), c.kicks ? std::vector<int>{SI_TRI} : std::vector<int>{}) << log;
    // Lit: the frames count down from the last one, one per delay (20 ms).
    std::vector<int> frames{v->frame};
    for (int i = 0; i < 6; i++) {
      step(1);
      frames.push_back(v->frame);
    }
    EXPECT_EQ(frames, c.kicks ? std::vector<int>({2, 2, 1, 1, 0, 0, 0}) : std::vector<int>(7, 0));
    BOARD_KILL(b->id);
    BOARD_KILL(t->id);
  }
}

// ---- Dropper ----

class DropperTest : public KineticTest {
 protected:
  void SetUp() override {
    KineticTest::SetUp();
    heights(0, 30.0f);
    heights(2, 10.0f);
  }
  // A flat height map for a layer, large enough for the test's corner.
  static void heights(int layer, float z) {
    ZBUF map{static_cast<uint16_t*>(std::calloc(400 * 400, sizeof(uint16_t))), z, z, 400, 400};
    ASSERT_EQ(SET_LAYER_HEIGHTS(layer, &map), 1);
  }
  BoardObject* dropper(int layer = 5) {
    setObjects("[object_100_200]\nfamily = \"dropper\"\ndebug = 1\nlayer_from = 0\nlayer_to = 2\n");
    std::string log;
    BoardObject* d = makeLogged(box(100, 200, 140, 240), &log, layer);
    EXPECT_TRUE(has(log, "dropper_reader(), object (100,200): minvelo-0.20 layer_from-0 layer_to-2")) << log;
    return d;
  }
};

TEST_F(DropperTest, SlowBallDropsToTheLowerLayerWithAJump) {
  BoardObject* d = dropper();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->lmask, 1) << "lies on layer_from, whatever the shape file's layer";
  BoardObject* b = ball(95.5, 220, 2, 0.1);
  std::string log = stepLogged(2);
  EXPECT_EQ(b->lmask, 1 << 2);
  EXPECT_EQ(b->u.ball.velo.x, 0);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.y, 0.1);
  EXPECT_FALSE(boardInContact(d->id, b->id));
  BallParms* bp = ballParms(b);
  ASSERT_NE(bp, nullptr);
  EXPECT_EQ(bp->jumping, 1);
  // It started from 30 - 10 = 20 and fell for one frame under hm_gravity.
  EXPECT_DOUBLE_EQ(bp->jumpVelo, -0.2);
  EXPECT_DOUBLE_EQ(bp->jumpHeight, 19.8);
  EXPECT_EQ(samplesIn(log), std::vector<int>{SI_DROPPER}) << log;
  EXPECT_TRUE(has(log, "dropper_handler(), id " + std::to_string(d->id) +
                           ": HIT/SCRATCH set lmask to 4 hm_delta-20.00"))
      << log;
}

TEST_F(DropperTest, FastBallRollsOverAndDropsOnceItSlowsInside) {
  BoardObject* d = dropper();
  BoardObject* b = ball(95.5, 220, 2, 0.5);
  std::string log = stepLogged(2);
  EXPECT_EQ(b->lmask, 1);
  EXPECT_EQ(b->u.ball.velo.x, 2) << "no bounce: it rolls on over the dropper";
  EXPECT_TRUE(boardInContact(d->id, b->id));
  EXPECT_TRUE(samplesIn(log).empty());
  EXPECT_TRUE(has(log, ": HIT/SCRATCH yvelo-0.50 minvelo-0.20")) << log;
  EXPECT_EQ(ballParms(b)->jumpHeight, 0);

  // Slowed down inside, it drops on the next scratch.
  b->u.ball.velo.y = 0.05;
  log = stepLogged(1);
  EXPECT_EQ(b->lmask, 4);
  EXPECT_FALSE(boardInContact(d->id, b->id));
  EXPECT_EQ(samplesIn(log), std::vector<int>{SI_DROPPER});
}

// ---- Spring ----

class SpringTest : public KineticTest {
 protected:
  BoardObject* spring(const std::string& extra = "") {
    setObjects("[object_100_400]\nfamily = \"spring\"\nsprite = \"" + sprite("spring.gsp", 4) +
               "\"\nlength = 6.0\nbackvelo = 1.0\nfwdaccel = 0.5\nminvelo = 0.5\n" + extra);
    std::string log;
    BoardObject* s = makeLogged(box(100, 400, 120, 410), &log);
    EXPECT_TRUE(has(log, "spring_reader(), object (100,400): sprite-'"));
    EXPECT_TRUE(has(log, "' k-0.30 length-6.00 fwdaccel-0.50 backvelo-1.00 minvelo-0.50")) << log;
    return s;
  }
  // The ball falling onto the plunger at speed vy.
  BoardObject* drop(double vy) {
    BoardObject* b = ball(110, 396.5, 0, vy);
    step(1);
    return b;
  }
};

TEST_F(SpringTest, CapturedBallIsFiredOnlyWhenThePlungerComesBackToRest) {
  BoardObject* s = spring();
  VBOBJ* v = instanceOn(2);
  ASSERT_NE(v, nullptr);
  BoardObject* b = drop(0.3);
  std::string log = stepLogged(4);
  EXPECT_TRUE(has(log, "spring_handler(): ball " + std::to_string(b->id) + " captured")) << log;
  EXPECT_EQ(b->u.ball.noaccel, 1);
  EXPECT_EQ(b->u.ball.velo.x, 0);
  EXPECT_EQ(b->u.ball.velo.y, 0);
  EXPECT_EQ(b->u.ball.pos.x, s->u.shape.outline.pos.x);

  // Pulled back one unit a frame to the full length; the frames show it.
  press(TABLE_KEY_LAUNCH, true);
  std::vector<int> frames;
  for (int i = 0; i < 8; i++) {
    step(1);
    frames.push_back(v->frame);
  }
  EXPECT_EQ(frames, std::vector<int>({0, 0, 1, 2, 2, 3, 3, 3}));
  press(TABLE_KEY_LAUNCH, false);

  // Going forward the ball waits on the plunger; it leaves when the plunger
  // is back at rest, at the plunger's speed.
  double fired = 0;
  for (int i = 0; i < 30 && b->u.ball.noaccel; i++) {
    log = stepLogged(1);
    if (!b->u.ball.noaccel) fired = b->u.ball.velo.y;
    if (b->u.ball.noaccel) { EXPECT_EQ(b->u.ball.velo.y, 0); }
  }
  ASSERT_EQ(b->u.ball.noaccel, 0) << "never fired";
  EXPECT_LT(fired, -1.5);
  EXPECT_EQ(samplesIn(log), std::vector<int>{SI_SPRING}) << log;
  char line[96];
  std::snprintf(line, sizeof line, "spring_handler(): firing ball %d velo-%.2f", b->id, fired);
  EXPECT_TRUE(has(log, line)) << log;
  EXPECT_EQ(v->frame, 0);
  step(5);
  EXPECT_LT(b->u.ball.pos.y, 390) << "on its way up the lane";
}

TEST_F(SpringTest, FastBallBouncesAndAnEmptyPlungerFiresNothing) {
  spring();
  BoardObject* b = drop(3.0);
  std::string log = stepLogged(4);
  EXPECT_FALSE(has(log, "captured")) << log;
  EXPECT_EQ(b->u.ball.noaccel, 0);
  EXPECT_LT(b->u.ball.velo.y, -0.5);

  press(TABLE_KEY_LAUNCH, true);
  step(8);
  press(TABLE_KEY_LAUNCH, false);
  log = stepLogged(30);
  EXPECT_TRUE(samplesIn(log).empty()) << log;
  EXPECT_FALSE(has(log, "firing")) << log;
}

TEST_F(SpringTest, MinimumPushGameOverAndALostBall) {
  // A short pull still launches at minpushvelo.
  spring("minpushvelo = 4.0\n");
  BoardObject* b = drop(0.3);
  step(3);
  ASSERT_EQ(b->u.ball.noaccel, 1);
  press(TABLE_KEY_LAUNCH, true);
  step(2);
  press(TABLE_KEY_LAUNCH, false);
  step(10);
  EXPECT_EQ(b->u.ball.noaccel, 0);
  EXPECT_EQ(b->u.ball.velo.y, -4.0);
  BOARD_KILL(b->id);

  // During game over the key counts as up.
  b = drop(0.3);
  step(3);
  ASSERT_EQ(b->u.ball.noaccel, 1);
  game.over = 1;
  press(TABLE_KEY_LAUNCH, true);
  step(8);
  EXPECT_EQ(instanceOn(2)->frame, 0);
  EXPECT_EQ(b->u.ball.noaccel, 1);
  press(TABLE_KEY_LAUNCH, false);
  game.over = 0;

  // A captured ball that leaves the board is forgotten.
  BOARD_KILL(b->id);
  std::string log = stepLogged(1);
  EXPECT_TRUE(has(log, "spring_handler(): captured ball deleted - clearing")) << log;
  log = stepLogged(1);
  EXPECT_FALSE(has(log, "deleted")) << "only once";
}

// ---- Saver ----

TEST_F(KineticTest, SaverRisesFallsAndKicksTheBallItCaught) {
  gTable.f = 2.0;
  std::string spr = sprite("saver.gsp", 3);
  setObjects("[object_100_200]\nfamily = \"saver\"\nsprite = \"" + spr +
             "\"\nplace = 1\nattack_x = 0.5\nattack_y = 5.0\nup_framestep = 0\nup_delay = 20\n");
  std::string log;
  BoardObject* s = makeLogged(box(100, 200, 140, 240), &log);
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(has(log, "saver_reader(), object (100,200): invalid up_framestep 0, fixed to be 1")) << log;
  EXPECT_TRUE(has(log, "saver_reader(), object (100,200): place-1 minvelo-0.20 attack-(1.00,10.00)")) << log;
  VBOBJ* v = instanceOn(4);
  ASSERT_NE(v, nullptr);

  // A fast ball only bounces, losing its sideways speed.
  BoardObject* fast = ball(110, 195.5, 1, 2);
  log = stepLogged(3);
  EXPECT_EQ(fast->u.ball.velo.x, 0);
  EXPECT_LT(fast->u.ball.velo.y, -0.2);
  log = stepLogged(10);
  EXPECT_TRUE(samplesIn(log).empty());
  EXPECT_EQ(v->frame, 0);
  BOARD_KILL(fast->id);

  // A slow one is caught: rising one frame per up_delay (every second
  // step), falling one per step, then the kick.
  BoardObject* b = ball(110, 196.95, 0.3, 0.1);
  step(2);
  EXPECT_EQ(b->u.ball.velo.x, 0);
  double vy = b->u.ball.velo.y;
  std::vector<int> frames;
  std::vector<int> kickedAt;
  for (int i = 0; i < 8; i++) {
    log = stepLogged(1);
    frames.push_back(v->frame);
    if (!samplesIn(log).empty()) kickedAt.push_back(i);
  }
  EXPECT_EQ(frames, std::vector<int>({0, 1, 1, 2, 1, 0, 0, 0}));
  EXPECT_EQ(kickedAt, std::vector<int>{6});
  EXPECT_DOUBLE_EQ(b->u.ball.velo.x, 1.0);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.y, vy - 10.0);
  EXPECT_EQ(s->u.shape.quickRelease, 1);
}

// ---- Spinner ----

TEST_F(KineticTest, SpinnerTurnsBySideSlowsDownAndStopsUpright) {
  struct Case {
    const char* what;
    double x, vx;  // the ball crosses from this side
    int place;
    int sample;
    std::vector<int> frames;  // the first frames after the hit
  };
  // The axis points down the table (to the vertex at (0, 40)). Four frames
  // of 90 degrees each: turning forwards shows 3, 2, ..., backwards 0, 1, ...
  const Case cases[] = {
      {"from the right: forwards", 207, -4, 0, SI_LSPINNER, {3, 3, 2, 2, 1}},
      {"from the left: backwards", 193, 4, 1, SI_RSPINNER, {0, 0, 1, 1, 2}},
  };
  std::string spr = sprite("spin.gsp", 4);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setObjects("[object_200_300]\nfamily = \"spinner\"\nsprite = \"" + spr + "\"\nplace = " + std::to_string(c.place) +
               "\nrotate_k = 10.0\nfriction = 1.0\nminvelo = 1.0\ndebug = 1\n");
    BoardObject* s = make(outline(200, 300, {{-2, 0}, {2, 0}, {2, 38}, {0, 40}, {-2, 38}}));
    ASSERT_NE(s, nullptr);
    VBOBJ* v = instanceOn(4);
    ASSERT_NE(v, nullptr);
    BoardObject* b = ball(c.x, 320, c.vx, 0);
    step(1);
    std::string log = stepLogged(1);
    EXPECT_TRUE(has(log, "spinner_handler(): " + std::to_string(b->id) + " HIT")) << log;
    EXPECT_EQ(samplesIn(log), std::vector<int>{c.sample});
    EXPECT_EQ(b->u.ball.velo.x, c.vx) << "the ball passes through";
    std::vector<int> frames{v->frame};
    for (size_t i = 1; i < c.frames.size(); i++) {
      step(1);
      frames.push_back(v->frame);
    }
    EXPECT_EQ(frames, c.frames);
    // Friction stops it; a slow blade finishes its turn and stands at 0.
    step(400);
    EXPECT_EQ(v->frame, 3);
    if (b->id >= 0) BOARD_KILL(b->id);
    BOARD_KILL(s->id);
  }
}

// ---- Accel ----

class AccelTest : public KineticTest {
 protected:
  BoardObject* zone(const std::string& keys) {
    setObjects("[object_100_200]\nfamily = \"accel\"\nname = \"zone\"\n" + keys);
    BoardObject* z = make(box(100, 200, 140, 240));
    EXPECT_NE(z, nullptr);
    if (z) { EXPECT_EQ(z->user, FAM_ACCEL); }
    if (z) send(z, BE_FRAME);  // the board step's dt, 1
    return z;
  }
};

TEST_F(AccelTest, EveryMatchingConditionActsAndTheDefaultOnlyWithoutOne) {
  const std::string conds =
      "dx = 50.0\n"
      "cond2 = \"< trackpos 10\"\ncond2_dx = 1.0\n"
      "cond3 = \"> trackvelo 5\"\ncond3_dx = 100.0\n"
      "cond5 = \"> trackvelo -1\"\ncond5_dy = 2.0\ncond5_ky = 0.5\n";
  struct Case {
    const char* what;
    double trackpos, trackvelo;  // what the conditions read
    double vx, vy;               // from (1, 6)
  };
  const Case cases[] = {
      {"conditions 2 and 5", 0, 0, 1 + 1.0, 6 * 0.5 + 2.0},
      {"condition 5 alone", 20, 3, 1, 6 * 0.5 + 2.0},
      {"conditions 3 and 5", 20, 6, 1 + 100.0, 6 * 0.5 + 2.0},
      {"none: the default action", 20, -2, 1 + 50.0, 6},
  };
  BoardObject* z = zone(conds);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoardObject* b = ball(0, 0, 1, 6);
    b->u.ball.trackpos = c.trackpos;
    b->u.ball.trackvelo = c.trackvelo;
    tmTime += 10;
    send(z, BE_SCRATCH, b);
    EXPECT_DOUBLE_EQ(b->u.ball.velo.x, c.vx);
    EXPECT_DOUBLE_EQ(b->u.ball.velo.y, c.vy);
    BOARD_KILL(b->id);
  }
}

TEST_F(AccelTest, ActsAtMostOncePerClockInstant) {
  BoardObject* z = zone("dx = 1.0\ndebug = 1\n");
  BoardObject* b = ball(0, 0, 0, 0);
  StderrCapture err;
  send(z, BE_HIT, b, 0.25);  // the hit's own dt is its contact time: not used
  send(z, BE_SCRATCH, b);
  EXPECT_EQ(b->u.ball.velo.x, 1.0);
  tmTime += 1;
  send(z, BE_SCRATCH, b);
  EXPECT_EQ(b->u.ball.velo.x, 2.0);
  send(z, BE_HIT, b);  // a hit always acts
  EXPECT_EQ(b->u.ball.velo.x, 3.0);
  send(z, BE_UNHIT, b);
  std::string log = err.finish();
  const std::string id = std::to_string(b->id);
  EXPECT_TRUE(has(log, "accel_handler(): " + id + " HIT set velo=(1.00,0.00)\n")) << log;
  EXPECT_TRUE(has(log, "accel_handler(): " + id + " SCRATCH ignored\n")) << log;
  EXPECT_TRUE(has(log, "accel_handler(): " + id + " SCRATCH set velo=(2.00,0.00)\n")) << log;
  EXPECT_TRUE(has(log, "accel_handler(): " + id + " UNHIT\n")) << log;
}

TEST_F(AccelTest, TrackBallsGetFactorIncrementCeilingAndFloor) {
  TrackVec pts[2] = {{0, 0, 0}, {100, 0, 0}};
  Track track{2, 100, pts};
  struct Case {
    const char* what;
    const char* keys;
    double trackvelo, expected;
  };
  const Case cases[] = {
      {"factor and increment", "track_kvelo = 0.5\ntrack_dvelo = 1.5\n", 4, 4 * 0.5 + 1.5},
      {"brake caps the speed, keeping its sign", "track_brake = 3.0\n", -5, -3},
      {"brake off at zero", "track_brake = 0.0\n", -5, -5},
      {"pull lifts a slow ball", "track_pull = 2.0\n", -0.5, -2},
      {"pull leaves a fast ball", "track_pull = 2.0\n", 2.5, 2.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BoardObject* z = zone(c.keys);
    BallData d{};
    d.radius = 3;
    d.track = &track;
    d.trackpos = 10;
    d.trackvelo = c.trackvelo;
    BoardObject* b = CREATE_BALL(&d, nullptr, nullptr, 1);
    send(z, BE_HIT, b);
    EXPECT_DOUBLE_EQ(b->u.ball.trackvelo, c.expected);
    BOARD_KILL(b->id);
    BOARD_KILL(z->id);
  }
}

TEST_F(AccelTest, ReaderKeysDisabledStateAndABallCrossingIt) {
  std::string log;
  setObjects("[object_100_200]\nfamily = \"accel\"\nname = \"zone\"\nangle = 90.0\nlength = 0.05\nky = 1.0\n"
             "cond0 = \"> > 1\"\ndisabled = 1\n");
  BoardObject* z = makeLogged(box(100, 200, 140, 240), &log);
  ASSERT_NE(z, nullptr);
  EXPECT_TRUE(has(log, "accel_reader(), object (100,200): condition 0 ignored")) << log;
  EXPECT_TRUE(has(log, "accel_reader(), object (100,200): kx-1.00 ky-1.00 angle-90.00 length-0.05 dx-0.00 dy-0.05"))
      << log;
  EXPECT_EQ(z->disabled, 1);
  ASSERT_NE(OBJ_FIND("zone"), nullptr);
  EXPECT_EQ(OBJ_FIND("zone")->words[0], z);
  EXPECT_EQ(OBJ_FIND("zone")->words[1], z->parms);
  EXPECT_EQ(z->u.shape.quickRelease, 0);

  // Disabled it does nothing; enabled, a ball crossing it speeds up once
  // for every step that ends with it inside (dy 0.05 per unit of time: the
  // hit, then a scratch a step) and is not bounced.
  BoardObject* b = ball(95.5, 220, 2, 0);
  step(10);
  EXPECT_EQ(b->u.ball.velo.y, 0);
  BOARD_KILL(b->id);
  ASSERT_EQ(objEnable("zone"), 1);
  b = ball(95.5, 220, 2, 0);
  int inside = 0;
  for (int i = 0; i < 40; i++) {
    step(1);
    inside += boardInContact(z->id, b->id);
  }
  EXPECT_GT(inside, 20);
  EXPECT_EQ(b->u.ball.velo.x, 2);
  EXPECT_NEAR(b->u.ball.velo.y, 0.05 * inside, 1e-9);
  EXPECT_GT(b->u.ball.pos.x, 140) << "it came out on the far side";
}

// ---- Accel2 ----

TEST_F(KineticTest, Accel2ScalesSpeedsBelowAndAboveItsThresholds) {
  TrackVec pts[2] = {{0, 0, 0}, {100, 0, 0}};
  Track track{2, 100, pts};
  struct Case {
    const char* what;
    const char* keys;
    bool onTrack;
    double vx, vy;     // or the trackvelo in vx
    double ex, ey;     // expected
  };
  const Case cases[] = {
      {"increment along the angle", "angle = 180.0\ndvelo = 2.0\n", false, 3, 1, 1, 1},
      {"factor", "kvelo = 0.5\n", false, 3, 4, 1.5, 2},
      {"below thresh_low", "thresh_low = 10.0\nthresh_lt_d = 5.0\nthresh_lt_k = 1.0\n", false, 3, 4, 6, 8},
      {"above thresh_high", "thresh_high = 1.0\nthresh_gt_d = 0.0\nthresh_gt_k = 0.5\n", false, 3, 4, 1.5, 2},
      {"between the thresholds", "thresh_low = 1.0\nthresh_lt_k = 9.0\nthresh_high = 9.0\nthresh_gt_k = 9.0\n",
       false, 3, 4, 3, 4},
      {"a ball at rest under thresh_low stays a number", "thresh_low = 10.0\nthresh_lt_d = 5.0\n", false, 0, 0, 0, 0},
      {"on a track", "dvelo = 1.0\nthresh_high = 2.0\nthresh_gt_k = 0.5\n", true, -4, 0, -1.5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    setObjects(std::string("[object_100_200]\nfamily = \"accel2\"\n") + c.keys);
    BoardObject* z = make(box(100, 200, 140, 240));
    ASSERT_NE(z, nullptr);
    ASSERT_EQ(z->user, FAM_ACCEL2);
    send(z, BE_FRAME);
    BallData d{};
    d.radius = 3;
    if (c.onTrack) {
      d.track = &track;
      d.trackpos = 10;
      d.trackvelo = c.vx;
    } else {
      d.velo = Vec3{c.vx, c.vy, 0};
    }
    BoardObject* b = CREATE_BALL(&d, nullptr, nullptr, 1);
    tmTime += 10;
    send(z, BE_SCRATCH, b);
    send(z, BE_SCRATCH, b);  // same instant: ignored
    if (c.onTrack) {
      EXPECT_DOUBLE_EQ(b->u.ball.trackvelo, c.ex);
    } else {
      EXPECT_NEAR(b->u.ball.velo.x, c.ex, 1e-12);
      EXPECT_NEAR(b->u.ball.velo.y, c.ey, 1e-12);
    }
    BOARD_KILL(b->id);
    BOARD_KILL(z->id);
  }
}

// ---- Flippers ----

class FlipperTest : public KineticTest {
 protected:
  // A left cflipper of place 2 pivoting at (300, 500), its capsule 50 long
  // and 6 thick at both ends, so that it is flat at angle 0.
  BoardObject* cflipper(const std::string& keys, int right = 0) {
    setObjects("[object_300_500]\nfamily = \"cflipper\"\nsprite = \"" + sprite("flip.gsp", 5) +
               "\"\nradius1 = 6.0\nradius2 = 6.0\nright = " + std::to_string(right) + "\n" + keys);
    std::string log;
    BoardObject* f = makeLogged(outline(300, 500, {{0, 0}, {1, 0}, {1, 1}}), &log);
    EXPECT_NE(f, nullptr);
    if (f) { EXPECT_EQ(f->kind, BK_CFLIPPER); }
    return f;
  }
};

TEST_F(FlipperTest, KeyDrivesItUpHoldsItStillAtTheTopAndLetsItDown) {
  BoardObject* f = cflipper("place = 2\nmin_angle = 0.0\nmax_angle = 45.0\nphases = 10\nangle_add = 1.0\n");
  ASSERT_NE(f, nullptr);
  VBOBJ* v = instanceOn(4);
  ASSERT_NE(v, nullptr);
  const CFlipperData& d = f->u.cflipper;
  EXPECT_EQ(d.angle, 0);
  double phase = 4.5 * kDeg;

  press(TABLE_KEY_LEFT, true);
  std::string log = stepLogged(1);
  EXPECT_DOUBLE_EQ(d.avelo, phase) << "first frame of the press";
  EXPECT_EQ(samplesIn(log), std::vector<int>{SI_LFLIPPER_PRESS});
  EXPECT_EQ(gstatCount("hit:flipper_left"), 1);
  log = stepLogged(1);
  EXPECT_DOUBLE_EQ(d.avelo, 1.0 * kDeg + phase) << "faster each frame it stays held";
  EXPECT_TRUE(samplesIn(log).empty());
  std::vector<int> frames;
  for (int i = 0; i < 8; i++) {
    step(1);
    frames.push_back(v->frame);
  }
  EXPECT_EQ(d.angle, 45 * kDeg);
  EXPECT_EQ(d.avelo, 0) << "held at the top it is a still flipper";
  EXPECT_EQ(v->frame, 4);
  EXPECT_TRUE(std::is_sorted(frames.begin(), frames.end()));
  EXPECT_EQ(gstatCount("hit:flipper_left"), 1);
  step(5);
  EXPECT_EQ(d.avelo, 0);

  press(TABLE_KEY_LEFT, false);
  log = stepLogged(1);
  EXPECT_DOUBLE_EQ(d.avelo, -phase);
  EXPECT_EQ(samplesIn(log), std::vector<int>{SI_LFLIPPER_RLS});
  log = stepLogged(1);
  EXPECT_DOUBLE_EQ(d.avelo, -(1.0 * kDeg + phase));
  step(20);
  EXPECT_EQ(d.angle, 0);
  EXPECT_EQ(d.avelo, 0);
  EXPECT_EQ(v->frame, 0);
}

TEST_F(FlipperTest, EachSideAnswersItsKeyAndDuringGameOverOnlyTheLeftOne) {
  struct Case {
    const char* what;
    int right;
    int key;
    int over;
    bool moves;
  };
  const Case cases[] = {
      {"left flipper, left key", 0, TABLE_KEY_LEFT, 0, true},
      {"left flipper, right key", 0, TABLE_KEY_RIGHT, 0, false},
      {"right flipper, right key", 1, TABLE_KEY_RIGHT, 0, true},
      {"right flipper, left key", 1, TABLE_KEY_LEFT, 0, false},
      {"game over: left flipper, left key", 0, TABLE_KEY_LEFT, 1, true},
      {"game over: right flipper, right key", 1, TABLE_KEY_RIGHT, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    game.over = c.over;
    resetStats();
    BoardObject* f = cflipper("place = 3\n", c.right);
    press(c.key, true);
    std::string log = stepLogged(3);
    press(c.key, false);
    EXPECT_EQ(f->u.cflipper.angle > 0, c.moves);
    EXPECT_EQ(gstatCount("hit:flipper_right"), c.moves ? 1 : 0);
    EXPECT_EQ(samplesIn(log), c.moves ? std::vector<int>{SI_RFLIPPER_PRESS} : std::vector<int>{});
    BOARD_KILL(f->id);
  }
}

TEST_F(FlipperTest, PlacesOneAndFourDriveTheirNamedFlipper) {
  setObjects("[object_100_300]\nfamily = \"flipper\"\nname = \"flip4\"\nk = 0.6\nkav = 0.9\nright = 1\n");
  std::string log;
  BoardObject* flip = makeLogged(outline(100, 300, {{-50, -5}, {0, -5}, {0, 5}, {-50, 5}}), &log);
  ASSERT_NE(flip, nullptr);
  EXPECT_EQ(flip->kind, BK_FLIPPER);
  EXPECT_TRUE(has(log, "flipper_reader(), object (100,300): right-1 k-0.60 kav-0.90")) << log;
  BoardObject* f = cflipper("place = 4\nmin_angle = 10.0\nmax_angle = 40.0\nphases = 6\n", 1);
  ASSERT_NE(f, nullptr);
  press(TABLE_KEY_RIGHT, true);
  for (int i = 0; i < 8; i++) {
    step(1);
    EXPECT_EQ(flip->u.flipper.avelo, f->u.cflipper.avelo);
    EXPECT_DOUBLE_EQ(flip->u.flipper.angle, f->u.cflipper.angle - 10 * kDeg);
  }
  EXPECT_DOUBLE_EQ(flip->u.flipper.angle, 30 * kDeg);

  // The driven flipper bounces balls with its own response.
  BoardObject* b = ball(80, 250, 0, 2);
  step(40);
  EXPECT_LT(b->u.ball.velo.y, 0) << "bounced back up off the flipper";
}

TEST_F(FlipperTest, BallRestsOnAFlipperHeldUp) {
  params.gravity = 0.2;
  BoardObject* f = cflipper("place = 2\nmin_angle = -30.0\nmax_angle = 0.0\n");
  ASSERT_NE(f, nullptr);
  press(TABLE_KEY_LEFT, true);
  step(15);
  ASSERT_EQ(f->u.cflipper.angle, 0);
  BoardObject* b = ball(330, 470, 0, 0);
  double highest = 0;
  for (int i = 0; i < 600; i++) {
    step(1);
    ASSERT_GE(b->id, 0) << "lost at step " << i;
    ASSERT_LT(b->u.ball.pos.y, 491.5) << "sank into the flipper at step " << i;
    if (i > 300) highest = std::fmax(highest, 491 - b->u.ball.pos.y);
  }
  EXPECT_NEAR(b->u.ball.pos.x, 330, 1.0);
  EXPECT_LT(highest, 1.0) << "settled on the flipper";
  EXPECT_LT(vLenXY(b->u.ball.velo), 0.5);
}

TEST_F(FlipperTest, PressedFlipperSendsARestingBallUpTheTable) {
  params.gravity = 0.2;
  BoardObject* f = cflipper("place = 2\nmin_angle = 0.0\nmax_angle = 45.0\n");
  ASSERT_NE(f, nullptr);
  BoardObject* b = ball(340, 480, 0, 0);
  step(200);
  ASSERT_NEAR(b->u.ball.pos.y, 491, 1.0) << "resting on the flipper";
  press(TABLE_KEY_LEFT, true);
  double topY = b->u.ball.pos.y, fastest = 0;
  for (int i = 0; i < 40; i++) {
    step(1);
    topY = std::fmin(topY, b->u.ball.pos.y);
    fastest = std::fmin(fastest, b->u.ball.velo.y);
  }
  EXPECT_LT(fastest, -3.0);
  EXPECT_LT(topY, 440);
}

// ---- Reconfiguration ----

TEST_F(KineticTest, ReconfigurationRereadsTheTunableKeys) {
  std::string spr = sprite("any.gsp", 3);
  setObjects("[object_10_10]\nk = 0.4\n"
             "[object_60_10]\nfamily = \"bumper\"\nsprite = \"" + spr + "\"\nlogic = \"duma\"\nplace = 0\n"
             "[object_110_10]\nfamily = \"accel\"\ndx = 1.0\n"
             "[object_160_10]\nfamily = \"accel2\"\ndvelo = 1.0\n"
             "[object_210_10]\nfamily = \"cflipper\"\nsprite = \"" + spr + "\"\nplace = 2\n");
  BoardObject* wall = make(box(10, 10, 20, 20));
  BoardObject* bumper = make(box(60, 10, 70, 20));
  BoardObject* accel = make(box(110, 10, 120, 20));
  BoardObject* accel2 = make(box(160, 10, 170, 20));
  BoardObject* cflip = make(box(210, 10, 220, 20));
  ASSERT_TRUE(wall && bumper && accel && accel2 && cflip);
  ASSERT_EQ(bumper->user, FAM_BUMPER);

  setObjects("[object_10_10]\nk = 0.8\n"
             "[object_60_10]\nk = 0.9\n"
             "[object_110_10]\ndx = 3.0\n"
             "[object_160_10]\ndvelo = 4.0\n"
             "[object_210_10]\nk = 0.2\nmax_angle = 20.0\n");
  StderrCapture err;
  EXPECT_EQ(oprReconfigureAll(), 5);
  std::string log = err.finish();
  for (const char* line : {"Reconfiguring wall (10,10)...", "Reconfiguring bumper (60,10)...",
                           "Reconfiguring accel (110,10)...", "Reconfiguring accel2 (160,10)...",
                           "Reconfiguring cflipper (210,10)..."})
    EXPECT_TRUE(has(log, line)) << line << "\n" << log;
  EXPECT_DOUBLE_EQ(wall->u.shape.k, 0.8);
  EXPECT_DOUBLE_EQ(bumper->u.shape.k, 0.9);
  EXPECT_DOUBLE_EQ(cflip->u.cflipper.k, 0.2);

  BoardObject* b = ball(0, 0, 0, 0);
  b->kill = 1;  // gone at the next step; only the handlers see it
  send(accel, BE_FRAME);
  send(accel, BE_HIT, b);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.x, 3.0);
  send(accel2, BE_FRAME);
  send(accel2, BE_HIT, b);
  EXPECT_DOUBLE_EQ(b->u.ball.velo.x, 7.0);

  press(TABLE_KEY_LEFT, true);
  step(30);
  EXPECT_DOUBLE_EQ(cflip->u.cflipper.angle, 20 * kDeg);
}

}  // namespace
