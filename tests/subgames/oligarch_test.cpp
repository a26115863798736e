// Gold catching: the rules driven on a small state record (keys, new bars,
// catches and breaks, more bars, the chutes' turns), the pictures of a run
// on the built data (the score's digits, the broken bars' places, the end
// of the game after the last broken bar), and whole runs played from the
// keyboard by a test player that watches the bars.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <functional>
#include <string>

#include "core/conf.h"
#include "core/log.h"
#include "core/random.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "sound/fx.h"
#include "subgames/oligarch.h"
#include "subgames/oligarch_internal.h"
#include "support/sg_host.h"
#include "support/testutil.h"

namespace {

// --- The rules alone ----------------------------------------------------------

struct OligarchRules : ::testing::Test {
  OlGame g{};

  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    rndSeed(4711);
    oligarchGameInit(&g, 2, 3, 5, 100, 0);
  }
  void TearDown() override {
    rndSeed(1);
    logReset();
  }

  // A bar in a free slot, its chute in the circle; the slot.
  int place(int chute, int step) {
    for (int i = 0; i < OL_BARS; i++) {
      if (g.bars[i].active) continue;
      g.bars[i] = OlBar{1, 0, chute, step};
      oligarchCircleAdd(&g, chute);
      return i;
    }
    ADD_FAILURE() << "no free bar slot";
    return -1;
  }
  int activeBars() const {
    int n = 0;
    for (const OlBar& b : g.bars) n += b.active;
    return n;
  }
  int barsIn(int chute) const {
    int n = 0;
    for (const OlBar& b : g.bars) n += b.active && b.chute == chute;
    return n;
  }
};

TEST_F(OligarchRules, KeysMoveTheFigure) {
  struct Case {
    int from, scan, to;
  };
  const Case cases[] = {
      // The keypad's corners go straight to their chute end.
      {3, OL_SCAN_UPPER_LEFT, 0},
      {0, OL_SCAN_UPPER_RIGHT, 1},
      {1, OL_SCAN_LOWER_LEFT, 2},
      {0, OL_SCAN_LOWER_RIGHT, 3},
      // Up and down keep the side, left and right keep the row.
      {3, OL_SCAN_UP, 1},
      {2, OL_SCAN_UP, 0},
      {1, OL_SCAN_UP, 1},
      {0, OL_SCAN_DOWN, 2},
      {1, OL_SCAN_DOWN, 3},
      {3, OL_SCAN_DOWN, 3},
      {1, OL_SCAN_LEFT, 0},
      {3, OL_SCAN_LEFT, 2},
      {2, OL_SCAN_LEFT, 2},
      {0, OL_SCAN_RIGHT, 1},
      {2, OL_SCAN_RIGHT, 3},
      // Other keys (the flipper key, keypad 5) leave it where it is.
      {2, 0x2C, 2},
      {1, 76, 1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(oligarchKeyPosition(c.from, c.scan), c.to) << "from " << c.from << " scan " << c.scan;
}

// Bars in one chute keep two steps apart: the three other chutes are
// crowded with a bar at step 0, and chute 0's bar decides.
TEST_F(OligarchRules, NewBarWaitsUntilTheChutesLastBarPassedStep1) {
  for (int step = 0; step <= 5; step++) {
    SCOPED_TRACE("chute 0's bar at step " + std::to_string(step));
    oligarchGameInit(&g, OL_BARS, 3, 5, 100, 0);
    place(0, step);
    for (int c = 1; c < OL_CHUTES; c++) place(c, 0);
    oligarchSpawn(&g);
    if (step < 2) {
      EXPECT_EQ(activeBars(), 4);
    } else {
      EXPECT_EQ(activeBars(), 5);
      EXPECT_EQ(barsIn(0), 2);
    }
  }
}

TEST_F(OligarchRules, NewBarOnlyWhileFewerThanMaxBarsRollAndASlotIsFree) {
  // Max bars 2 (two sides of the limit), and a spawn of the first bar into
  // an empty circle makes its chute the current one.
  oligarchSpawn(&g);
  ASSERT_EQ(activeBars(), 1);
  EXPECT_GE(g.current, 0);
  EXPECT_EQ(g.current, g.bars[0].chute);
  EXPECT_EQ(g.next[g.current], g.current);
  // The bar must pass step 1 before its chute takes another; move it on.
  g.bars[0].step = 2;
  oligarchSpawn(&g);
  EXPECT_EQ(activeBars(), 2);
  for (OlBar& b : g.bars) b.step = b.active ? 2 : 0;
  oligarchSpawn(&g);
  EXPECT_EQ(activeBars(), 2) << "max bars reached";

  // All sixteen slots taken: no bar even with room under max bars.
  oligarchGameInit(&g, OL_BARS, 3, 5, 100, 0);
  for (int i = 0; i < OL_BARS; i++) g.bars[i] = OlBar{1, 0, i % OL_CHUTES, 2 + i % 3};
  g.maxBars = OL_BARS + 1;
  oligarchSpawn(&g);
  EXPECT_EQ(activeBars(), OL_BARS);
}

TEST_F(OligarchRules, SettingsAreClampedAtTheStart) {
  struct Case {
    int maxGolds, goldsLeft, maxBars, lives;
  };
  const Case cases[] = {{-1, -1, 0, 0}, {0, 0, 0, 0}, {16, 10, 16, 10}, {17, 11, 16, 10}, {2, 3, 2, 3}};
  for (const Case& c : cases) {
    oligarchGameInit(&g, c.maxGolds, c.goldsLeft, 5, 100, 0);
    EXPECT_EQ(g.maxBars, c.maxBars) << c.maxGolds;
    EXPECT_EQ(g.lives, c.lives) << c.goldsLeft;
    EXPECT_EQ(g.position, 0);
    EXPECT_EQ(g.current, -1);
  }
}

// The figure must stand at the chute at the tick the bar arrives (its step
// above 4); where it stood while the bar rolled does not count.
TEST_F(OligarchRules, BarIsCaughtOnlyWherePositionIsAtArrival) {
  struct Case {
    int before, atArrival;
    bool caught;
  };
  const Case cases[] = {{1, 1, true}, {0, 1, true}, {1, 0, false}, {3, 2, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("position " + std::to_string(c.before) + " then " + std::to_string(c.atArrival));
    oligarchGameInit(&g, 1, 3, 5, 100, 0);
    const int slot = place(1, 4);
    g.position = c.before;
    oligarchTick(&g, 0);
    ASSERT_EQ(g.bars[slot].step, 5);
    EXPECT_FALSE(g.bars[slot].done) << "step 5 has not arrived yet";
    EXPECT_EQ(g.caught, 0);
    g.position = c.atArrival;
    oligarchTick(&g, 0);
    EXPECT_TRUE(g.bars[slot].done);
    EXPECT_EQ(g.caught, c.caught ? 1 : 0);
    EXPECT_EQ(g.lives, c.caught ? 3 : 2);
    EXPECT_EQ(g.dropped[0].active, c.caught ? 0 : 1);
    // Its chute had no other bar: it left the circle.
    EXPECT_EQ(g.next[1], -1);
    // The arrived bar's slot is freed at the next tick.
    oligarchTick(&g, 0);
    EXPECT_FALSE(g.bars[slot].active && g.bars[slot].chute == 1 && g.bars[slot].done);
  }
}

// Every gold_increase catches one more bar may roll, up to 16.
TEST_F(OligarchRules, MoreBarsAfterEveryGoldIncreaseCatches) {
  auto catchOne = [this] {
    for (OlBar& b : g.bars) b = OlBar{};
    for (int& n : g.next) n = -1;
    g.current = -1;
    g.position = 2;
    place(2, 5);
    const int before = g.caught;
    oligarchTick(&g, 0);
    ASSERT_EQ(g.caught, before + 1);
  };
  oligarchGameInit(&g, 2, 3, 3, 100, 0);
  for (int i = 1; i <= 2; i++) catchOne();
  EXPECT_EQ(g.maxBars, 2) << "after gold_increase - 1 catches";
  catchOne();
  EXPECT_EQ(g.maxBars, 3) << "after gold_increase catches";
  for (int i = 4; i <= 5; i++) catchOne();
  EXPECT_EQ(g.maxBars, 3);
  catchOne();
  EXPECT_EQ(g.maxBars, 4);

  // The limit: 15 becomes 16, 16 stays.
  oligarchGameInit(&g, 15, 3, 1, 100, 0);
  catchOne();
  EXPECT_EQ(g.maxBars, 16);
  catchOne();
  EXPECT_EQ(g.maxBars, 16);
}

// One tick moves the bars of one chute; the chutes take turns in the order
// they joined the circle, and a chute without bars leaves it.
TEST_F(OligarchRules, ChutesTakeTurns) {
  oligarchGameInit(&g, 3, 3, 5, 100, 0);
  const int a = place(0, 0), b = place(3, 0), c = place(2, 3);
  ASSERT_EQ(g.current, 0);
  // The circle is 0 -> 2 -> 3 (each added after the current chute).
  struct Turn {
    int stepA, stepB, stepC, currentAfter;
  };
  const Turn turns[] = {{1, 0, 3, 2}, {1, 0, 4, 3}, {1, 1, 4, 0}, {2, 1, 4, 2}, {2, 1, 5, 3}};
  for (const Turn& t : turns) {
    oligarchTick(&g, 0);
    EXPECT_EQ(g.bars[a].step, t.stepA);
    EXPECT_EQ(g.bars[b].step, t.stepB);
    EXPECT_EQ(g.bars[c].step, t.stepC);
    EXPECT_EQ(g.current, t.currentAfter);
  }
  EXPECT_EQ(activeBars(), 3);
  // Chute 2's bar arrives (a break): chute 2 leaves, chute 3 is next.
  g.current = 2;
  oligarchTick(&g, 0);
  EXPECT_TRUE(g.bars[c].done);
  EXPECT_EQ(g.next[2], -1);
  EXPECT_EQ(g.current, 3);
  EXPECT_EQ(g.next[3], 0);
  EXPECT_EQ(g.next[0], 3);
}

TEST_F(OligarchRules, TicksComeAfterMoreThanMoveTime) {
  oligarchGameInit(&g, 2, 3, 5, 100, 1000);
  oligarchUpdate(&g, 1100);
  EXPECT_EQ(activeBars(), 0) << "exactly move_time has passed";
  oligarchUpdate(&g, 1101);
  EXPECT_EQ(activeBars(), 1);
  EXPECT_EQ(g.lastTick, 1101);
}

// The frame in which the last broken bar finishes ends the game before its
// tick: a bar due to arrive at the figure is not caught after "GAME OVER".
TEST_F(OligarchRules, NothingIsCaughtOnceTheGameIsOver) {
  oligarchGameInit(&g, 0, 1, 5, 100, 0);
  place(1, 4);
  g.position = 0;
  oligarchTick(&g, 0);  // the bar moves to step 5
  oligarchTick(&g, 0);  // and arrives where the figure is not
  ASSERT_EQ(g.lives, 0);
  ASSERT_TRUE(g.dropped[0].active);
  place(0, 5);
  oligarchUpdate(&g, 1000);
  EXPECT_TRUE(g.over);
  EXPECT_EQ(g.caught, 0);
  // The same frame before the broken bar has finished: the tick catches.
  oligarchGameInit(&g, 0, 0, 5, 100, 0);
  place(0, 5);
  oligarchUpdate(&g, 1000);
  EXPECT_FALSE(g.over);
  EXPECT_EQ(g.caught, 1);
}

// --- Pictures and runs on the built data ------------------------------------

struct Oligarch : sgtest::SubgameTest {
  int spritesBefore = 0;

  void SetUp() override {
    SubgameTest::SetUp();
    rndSeed(20240611);
    spritesBefore = spritesInUse();
    ASSERT_EQ(SG_OLIGARCH_PRELOAD(0), 0);
  }
  void TearDown() override {
    oligarchFreeData();
    sgOligarchFree();
    rndSeed(1);
    SubgameTest::TearDown();
  }

  const OlSettings& set() const { return *oligarchSettings(); }

  int liveObjects() const {
    int n = 0;
    for (const VBOBJ& o : vboard.objects) n += o.inUse && !o.dead;
    return n;
  }
};

TEST_F(Oligarch, LoadsThePersonsHeadAndFreesEverything) {
  for (int person : {-1, 3}) {
    StderrCapture err;
    logPrint("STDERR 1");
    EXPECT_EQ(oligarchLoadData(person), -1);
    logPrint("STDERR 0");
    EXPECT_NE(err.finish().find("OLIGARCH:LOAD_DATA(): incorrect person " + std::to_string(person) +
                                " for oligarch subgame"),
              std::string::npos);
    EXPECT_EQ(spritesInUse(), spritesBefore);
  }
  for (int person = 0; person <= 2; person++) {
    ASSERT_EQ(oligarchLoadData(person), 0);
    const OlScene* v = oligarchGame()->scene;
    ASSERT_NE(v, nullptr);
    ASSERT_NE(v->head, nullptr);
    EXPECT_NE(std::string(v->head->name).find("head" + std::to_string(person)), std::string::npos)
        << v->head->name;
    EXPECT_GT(spritesInUse(), spritesBefore);
    for (int slot = 0; slot < 3; slot++) EXPECT_EQ(fxSampleLoaded(slot), 1) << slot;
    oligarchFreeData();
    EXPECT_EQ(spritesInUse(), spritesBefore);
    EXPECT_EQ(liveObjects(), 0);
    for (int slot = 0; slot < 3; slot++) EXPECT_EQ(fxSampleLoaded(slot), 0) << slot;
  }
}

// A sprite with fewer frames than the game shows is refused, and nothing
// stays loaded.
TEST_F(Oligarch, SpriteWithTooFewFramesFailsTheLoad) {
  const std::string game = PB_GAME_DIR;
  std::string text = readFile(game + "/conf/oligarch.conf");
  for (size_t at = 0; (at = text.find("\"data/", at)) != std::string::npos; at += game.size() + 2)
    text.insert(at + 1, game + "/");
  const std::string digits = game + "/data/oligarch/digits.gsp";
  const size_t at = text.find(digits);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, digits.size(), game + "/data/oligarch/gleft.gsp");
  TempDir tmp;
  ASSERT_EQ(::mkdir(tmp.file("conf").c_str(), 0755), 0);
  writeFile(tmp.file("conf/oligarch.conf"), text);
  std::string log;
  {
    ScopedChdir in(tmp.path);
    ASSERT_EQ(SG_OLIGARCH_PRELOAD(0), 0);
    StderrCapture err;
    logPrint("STDERR 1");
    EXPECT_EQ(oligarchLoadData(1), -1);
    logPrint("STDERR 0");
    log = err.finish();
  }
  EXPECT_NE(log.find("gleft.gsp' has 1 frames, 10 needed"), std::string::npos) << log;
  EXPECT_NE(log.find("OLIGARCH:LOAD_DATA(): error loading sprites"), std::string::npos) << log;
  EXPECT_EQ(spritesInUse(), spritesBefore);
  EXPECT_EQ(liveObjects(), 0);
}

TEST_F(Oligarch, ScoreIsRightAlignedWithEachDigitsWidth) {
  ASSERT_EQ(oligarchLoadData(0), 0);
  OlGame* g = oligarchGame();
  const OlScene* v = g->scene;
  const int right = set().scrDx + set().digitsDx, y = set().scrDy + set().digitsDy;
  for (int caught : {0, 7, 101, 31410}) {
    SCOPED_TRACE(caught);
    g->caught = caught;
    oligarchShowScore(g);
    const std::string text = std::to_string(caught);
    int x = right;
    for (int i = 0; i < OL_DIGITS; i++) {
      const VBOBJ* o = v->digitObj[i];
      if (i >= static_cast<int>(text.size())) {
        EXPECT_LT(o->frame, 0) << "digit object " << i << " hidden";
        continue;
      }
      const int digit = text[text.size() - 1 - i] - '0';
      x -= set().digitStep[digit];
      EXPECT_EQ(o->frame, digit) << i;
      EXPECT_EQ(o->x, x) << i;
      EXPECT_EQ(o->y, y) << i;
    }
  }
  // The data gives the 1 a narrower width than the 0: the test above tells
  // per-digit widths from one width for all.
  EXPECT_NE(set().digitStep[1], set().digitStep[0]);
}

// Broken bars lie under the left chutes at (scr_dx + ldx, scr_dy + ldy) and
// under the right ones at (scr_dx + rdx, scr_dy + rdy); a fifth at once finds
// no slot.
TEST_F(Oligarch, BrokenBarsLieUnderTheirSide) {
  ASSERT_EQ(oligarchLoadData(2), 0);
  OlGame* g = oligarchGame();
  oligarchGameInit(g, 2, 3, 5, 100, 0);
  for (int chute = 0; chute < OL_CHUTES; chute++) {
    const int slot = oligarchDropGold(g, chute, 0);
    ASSERT_EQ(slot, chute);
    const OlDropped& d = g->dropped[slot];
    const OlDroppedSet& place = set().dropped[d.kind];
    const VBOBJ* o = g->scene->droppedObj[slot];
    const bool right = chute % 2 == 1;
    EXPECT_EQ(o->x, set().scrDx + (right ? place.rdx : place.ldx)) << chute;
    EXPECT_EQ(o->y, set().scrDy + (right ? place.rdy : place.ldy)) << chute;
    EXPECT_EQ(o->sprite, g->scene->dropped[d.kind]);
    EXPECT_EQ(o->frame, 0);
    EXPECT_EQ(d.delay, place.delay);
  }
  StderrCapture err;
  logPrint("STDERR 1");
  EXPECT_EQ(oligarchDropGold(g, 0, 0), -1);
  logPrint("STDERR 0");
  EXPECT_NE(err.finish().find("OLIGARCH:DROP_GOLD(): can't find a free 'dropped' object, all 4 occupied, SE"),
            std::string::npos);
}

// With three lives the game ends when the third broken bar has finished
// breaking: not at the second, not while the third still shows.
TEST_F(Oligarch, GameEndsWhenTheLastBrokenBarHasFinished) {
  ASSERT_EQ(oligarchLoadData(0), 0);
  OlGame* g = oligarchGame();
  oligarchGameInit(g, 0, 3, 5, 100, 0);
  StderrCapture err;
  logPrint("STDERR 1");
  double now = 0;
  for (int life = 1; life <= 3; life++) {
    SCOPED_TRACE("break " + std::to_string(life));
    g->position = 0;
    g->bars[0] = OlBar{1, 0, 3, 5};
    oligarchCircleAdd(g, 3);
    oligarchTick(g, now);
    ASSERT_EQ(g->lives, 3 - life);
    for (int i = 0; i < OL_MAX_LIVES; i++) EXPECT_EQ(g->scene->lifeObj[i]->frame >= 0, i < g->lives) << i;
    const OlDropped& d = g->dropped[0];
    ASSERT_TRUE(d.active);
    ASSERT_GE(d.frames, 2);
    const double end = now + d.frames * d.delay;
    oligarchAdvanceDropped(g, end - 1);
    EXPECT_TRUE(d.active);
    EXPECT_EQ(d.frame, d.frames - 1);
    EXPECT_FALSE(g->over);
    oligarchAdvanceDropped(g, end);
    EXPECT_FALSE(d.active);
    EXPECT_LT(g->scene->droppedObj[0]->frame, 0) << "hidden";
    EXPECT_EQ(g->over, life == 3 ? 1 : 0);
    now = end + 1000;
    oligarchTick(g, now);  // frees the arrived bar
  }
  logPrint("STDERR 0");
  const std::string log = err.finish();
  const size_t at = log.find("GAME OVER");
  EXPECT_NE(at, std::string::npos);
  EXPECT_EQ(log.find("GAME OVER", at + 1), std::string::npos) << "once";
}

// --- Whole runs ---------------------------------------------------------------

// The chute whose bar arrives next: walking the circle from the current
// chute, the first one holding a bar past its last step; -1 when no bar is
// about to arrive.
int nextArrival(const OlGame& g) {
  if (g.current < 0) return -1;
  int c = g.current;
  for (int i = 0; i < OL_CHUTES; i++) {
    for (const OlBar& b : g.bars)
      if (b.active && !b.done && b.chute == c && b.step > OL_LAST_STEP) return c;
    c = g.next[c];
    if (c < 0) break;
  }
  return -1;
}

const int kCornerKeys[OL_CHUTES] = {OL_SCAN_UPPER_LEFT, OL_SCAN_UPPER_RIGHT, OL_SCAN_LOWER_LEFT,
                                    OL_SCAN_LOWER_RIGHT};

// What a test player saw during a run.
struct Watch {
  int frames = 0;
  int lastCaught = 0;
  int bodyMismatches = 0;  // frames where the figure did not show its position
  int clipMismatches = 0;  // frames where the clip rectangle was not the window
  int arrivals[OL_CHUTES] = {};
  bool seenDone[OL_BARS] = {};
};

// Watches the game every frame; with want set, walks the figure to the chute
// want() names (-1: stays).
void watchAndPlay(sgtest::ScriptedHost& host, Watch& w, const std::function<int(const OlGame&)>& want) {
  host.react = [&w, want](sgtest::ScriptedHost& h) {
    const OlGame* g = oligarchGame();
    if (!g->scene) return;
    w.frames++;
    w.lastCaught = g->caught;
    const OlSettings& s = *oligarchSettings();
    if (gsCurrent->clipX != s.scrDx || gsCurrent->clipY != s.scrDy || gsCurrent->clipW != s.scrWidth ||
        gsCurrent->clipH != s.scrHeight)
      w.clipMismatches++;
    if (w.frames > 1 && g->scene->bodyObj->frame != g->position) w.bodyMismatches++;
    for (int i = 0; i < OL_BARS; i++) {
      const OlBar& b = g->bars[i];
      const bool done = b.active && b.done;
      if (done && !w.seenDone[i]) w.arrivals[b.chute]++;
      w.seenDone[i] = done;
    }
    if (!want) return;
    const int target = want(*g);
    if (target >= 0 && target != g->position) h.press(h.frame, kCornerKeys[target]);
  };
}

// A player that catches every bar until it has `goal`, then steps away from
// every bar: the game ends with exactly that many caught, after the lives
// run out, and everything the run loaded is freed.
TEST_F(Oligarch, PlayerCatchesThenMissesUntilTheGameIsOver) {
  const int goal = 2 * set().goldIncrease + 1;
  host.cap = 4000;
  Watch w;
  watchAndPlay(host, w, [goal](const OlGame& g) {
    const int next = nextArrival(g);
    if (next < 0) return -1;
    return g.caught < goal ? next : (next + 1) % OL_CHUTES;
  });
  StderrCapture err;
  logPrint("STDERR 1");
  SgOligarchOutcome outcome{1, -1};
  EXPECT_EQ(SG_OLIGARCH_RUN(&outcome), 0);
  logPrint("STDERR 0");
  const std::string log = err.finish();
  EXPECT_FALSE(host.capped) << "frames " << host.frame;
  EXPECT_EQ(outcome.goldCaught, goal);
  EXPECT_NE(log.find("GAME OVER"), std::string::npos);
  const OlGame* g = oligarchGame();
  EXPECT_EQ(g->lives, 0);
  EXPECT_EQ(g->maxBars, set().maxGolds + goal / set().goldIncrease);
  int arrivals = 0;
  for (int n : w.arrivals) arrivals += n;
  EXPECT_GE(arrivals, goal + set().goldsLeft);
  EXPECT_EQ(w.bodyMismatches, 0);
  EXPECT_EQ(w.clipMismatches, 0);
  EXPECT_EQ(spritesInUse(), spritesBefore);
  EXPECT_EQ(liveObjects(), 0);
  for (int slot = 0; slot < 3; slot++) EXPECT_EQ(fxSampleLoaded(slot), 0) << slot;
}

// Without input the figure stays at chute 0 and catches what arrives there;
// every other bar breaks until the lives run out.
TEST_F(Oligarch, WithoutInputOnlyChute0IsCaught) {
  host.cap = 4000;
  Watch w;
  watchAndPlay(host, w, nullptr);
  SgOligarchOutcome outcome{0, -1};
  EXPECT_EQ(SG_OLIGARCH_RUN(&outcome), 0);
  EXPECT_FALSE(host.capped) << "frames " << host.frame;
  EXPECT_EQ(outcome.goldCaught, w.arrivals[0]);
  EXPECT_GE(w.arrivals[1] + w.arrivals[2] + w.arrivals[3], set().goldsLeft);
  EXPECT_EQ(oligarchGame()->lives, 0);
  EXPECT_TRUE(oligarchGame()->over);
  EXPECT_EQ(w.bodyMismatches, 0);
  EXPECT_EQ(liveObjects(), 0);
}

// A closed window ends the run at once with what was caught so far.
TEST_F(Oligarch, QuitEndsTheRunWithTheCatchesSoFar) {
  host.cap = 600;
  Watch w;
  watchAndPlay(host, w, nextArrival);
  SgOligarchOutcome outcome{2, -1};
  EXPECT_EQ(SG_OLIGARCH_RUN(&outcome), 0);
  EXPECT_TRUE(host.capped);
  EXPECT_EQ(host.frame, 600);
  EXPECT_GT(w.lastCaught, 0);
  EXPECT_GE(outcome.goldCaught, w.lastCaught);
  EXPECT_EQ(outcome.goldCaught, oligarchGame()->caught);
  EXPECT_EQ(oligarchGame()->lives, set().goldsLeft) << "the player missed none";
  EXPECT_FALSE(oligarchGame()->over);
  EXPECT_EQ(spritesInUse(), spritesBefore);
  EXPECT_EQ(liveObjects(), 0);
}

TEST_F(Oligarch, RunWithABadPersonLoadsNothing) {
  host.cap = 10;
  SgOligarchOutcome outcome{3, -1};
  EXPECT_EQ(SG_OLIGARCH_RUN(&outcome), -1);
  EXPECT_EQ(outcome.goldCaught, 0);
  EXPECT_EQ(host.frame, 0);
  EXPECT_EQ(spritesInUse(), spritesBefore);
}

}  // namespace
