// The game state of the rules: the setters and their lamps, the subgame
// queue, ratings, features, the worm and the game tick, on lamps without
// sprites (their states are what the rules set).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/calls.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/nproc.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "game/score.h"
#include "support/testutil.h"

namespace {

struct Rules : ::testing::Test {
  ConfSet bigscore{};
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    lightInit();
    gameReset();
    gameSetFrameRate(60);
    gameSetCrisisTimeout(2);
    tmTime = 0;
    titleClearMacros();
    rulesCallClear();
    namedProcClear();
    eventClear();
    gameRefreshLamps();  // every lamp of the state in its state, as at a table load
  }
  void TearDown() override {
    gameReset();
    gameSetBigscore(nullptr);
    conf_free(&bigscore);
    gameFreeRules();
    lightFree();
    titleClearMacros();
    rulesCallClear();
    namedProcClear();
    eventClear();
    tmTime = 0;
    logReset();
  }
  // n game steps of one frame period each, the clock advancing with them.
  static void ticks(int n) {
    for (int i = 0; i < n; i++) {
      tmTime += 1000.0 / 60;
      gameTick(1000.0 / 60);
    }
  }
  static std::vector<int> states(int first, int count) {
    std::vector<int> out;
    for (int i = 0; i < count; i++) out.push_back(lightGetState(first + i));
    return out;
  }
};

TEST_F(Rules, RegimesAreClamped) {
  for (auto [given, kept] : {std::pair{5, 2}, {-3, 0}, {1, 1}, {2, 2}, {0, 0}}) {
    gameSetRegime(given);
    EXPECT_EQ(game.regime, kept) << given;
  }
  gameSwitchRegime(9);
  EXPECT_EQ(game.pendingRegime, 2);
  gameSetRegime(game.pendingRegime);
  EXPECT_EQ(game.pendingRegime, -1);
  EXPECT_STREQ(gameRegimeName(1), "demo");
}

TEST_F(Rules, GasPercentLightsOneLampPerTenPercent) {
  gameSetGasPercent(37);
  EXPECT_EQ(states(LI_GP_P10, 10), (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
  gameSetGasPercent(40);  // the fourth lamp from exactly 40
  EXPECT_EQ(lightGetState(LI_GP_P40), LIGHT_ON);
  gameSetGasPercent(39);
  EXPECT_EQ(lightGetState(LI_GP_P40), LIGHT_OFF);
  gameSetGasPercent(150);
  EXPECT_EQ(game.gasPercent, 100);
  EXPECT_EQ(states(LI_GP_P10, 10), std::vector<int>(10, 1));
  gameSetGasPercent(-5);
  EXPECT_EQ(game.gasPercent, 0);
  EXPECT_EQ(states(LI_GP_P10, 10), std::vector<int>(10, 0));
}

TEST_F(Rules, LawsAndDecreesShowPassedAndPending) {
  gameSetLaws(3, 5);  // passed is clamped to the count
  EXPECT_EQ(game.lawsPassed, 3);
  EXPECT_EQ(states(LI_LAW0, 4), (std::vector<int>{1, 1, 1, 0}));
  gameSetLaws(3, 1);
  EXPECT_EQ(states(LI_LAW0, 4), (std::vector<int>{1, 2, 2, 0}));
  gameSetUkazy(9, 2);
  EXPECT_EQ(game.ukazy, 4);
  EXPECT_EQ(states(LI_UKAZY0, 4), (std::vector<int>{1, 1, 2, 2}));
}

TEST_F(Rules, TheSubgameQueueHoldsThreeAndLightsTheVideoLamp) {
  EXPECT_EQ(gameRunAllowedSubgame(), -1);
  EXPECT_EQ(gameAllowSubgame(2), 0);
  EXPECT_EQ(lightGetState(LI_VIDEO), LIGHT_BLINK);
  EXPECT_EQ(game.magnets, 1);
  EXPECT_EQ(gameAllowSubgame(0), 1);
  EXPECT_EQ(gameAllowSubgame(2), 0);  // already queued: its place
  EXPECT_EQ(gameAllowSubgame(1), 2);
  EXPECT_EQ(gameAllowSubgame(7), 3);  // full: nothing queued
  EXPECT_EQ(game.subgameQueue, 3);
  EXPECT_EQ(gameRunAllowedSubgame(), 2);
  EXPECT_EQ(gameRunAllowedSubgame(), 0);
  EXPECT_EQ(lightGetState(LI_VIDEO), LIGHT_BLINK);
  EXPECT_EQ(gameRunAllowedSubgame(), 1);
  EXPECT_EQ(lightGetState(LI_VIDEO), LIGHT_OFF);
  EXPECT_EQ(game.magnets, 0);
  // A lost ball empties the queue; the elections save and restore it.
  gameAllowSubgame(1);
  gameSaveSubgames();
  EXPECT_EQ(game.subgameQueue, 0);
  EXPECT_EQ(lightGetState(LI_VIDEO), LIGHT_OFF);
  gameRestoreSubgames();
  EXPECT_EQ(game.subgameQueue, 1);
  gameClearSubgames();
  EXPECT_EQ(game.subgameQueue, 0);
  EXPECT_EQ(lightGetState(LI_VIDEO), LIGHT_OFF);
}

TEST_F(Rules, TheCreditLampFollowsTheBallSaveTime) {
  struct Case {
    double seconds, stored;
    int lamp;
  };
  for (const Case& c : {Case{2.5, 2.5, LIGHT_BLINK}, Case{0, 0, LIGHT_OFF}, Case{200, 120, LIGHT_ON},
                        Case{4, 4, LIGHT_ON}, Case{3.99, 3.99, LIGHT_BLINK}, Case{-1, 0, LIGHT_OFF}}) {
    gameSetSaveTime(c.seconds);
    EXPECT_EQ(game.saveTime, c.stored) << c.seconds;
    EXPECT_EQ(lightGetState(LI_CREDIT), c.lamp) << c.seconds;
  }
}

TEST_F(Rules, TaxMultipliesAndDecaysButNotBelowItsFloor) {
  gameSetTax(2);
  EXPECT_EQ(game.taxMultiplier, 4);
  EXPECT_EQ(states(LI_TAX0, 4), (std::vector<int>{1, 1, 0, 0}));
  // "tax.decay" 2 s: one level less once more than 2 s passed.
  tmTime = 2000;
  gameTick(0);
  EXPECT_EQ(game.tax, 2);
  tmTime = 2001;
  gameTick(0);
  EXPECT_EQ(game.tax, 1);
  EXPECT_EQ(game.taxMultiplier, 2);
  gameRaiseTaxFloor();
  gameSetTax(0);
  EXPECT_EQ(game.tax, 1);
  gameSetTax(9);
  EXPECT_EQ(game.tax, 4);
  EXPECT_EQ(game.taxMultiplier, 8);
}

TEST_F(Rules, TheYearRunsOneYearIn3600StepsAndCallsTheElectionsAfter2000) {
  // 2000 itself calls no elections.
  game.year = 1999.9999;
  ticks(1);
  EXPECT_GE(game.year, 2000.0);
  EXPECT_FALSE(rulesCallSeen("missionStart 5"));
  game.year = 2003.0;
  ticks(3599);
  EXPECT_LT(game.year, 2004.0);
  EXPECT_FALSE(rulesCallSeen("missionStart 5"));
  ticks(1);
  EXPECT_NEAR(game.year, 2004.0, 1e-9);
  EXPECT_EQ(rulesCallTimes("missionStart 5"), 1);
  // With a mission running it is aborted first (no title loaded: at once).
  rulesCallClear();
  game.mission = 2;
  game.year = 2007.99999;
  ticks(1);
  EXPECT_TRUE(rulesCallSeen("missionAbort"));
  EXPECT_TRUE(rulesCallSeen("missionStart 5"));
  // During the elections the year stands still.
  game.mission = 5;
  const double year = game.year;
  ticks(100);
  EXPECT_EQ(game.year, year);
}

TEST_F(Rules, OneGameStepPerFramePeriod) {
  game.year = 2001.0;
  gameTick(1000.0 / 60 - 0.001);  // short of one period
  EXPECT_EQ(game.year, 2001.0);
  gameTick(0.001);
  EXPECT_EQ(game.year, 2001.0 + 1.0 / 3600);
  gameTick(3 * 1000.0 / 60);  // at most one step a frame
  EXPECT_EQ(game.year, 2001.0 + 2.0 / 3600);
}

TEST_F(Rules, TheStepRunsDownTheSaveTimeAndTheQuorumAndSetsTheScoreMacro) {
  gameSetSaveTime(5);
  gameSetQuorum(50);
  game.score = 1234567;
  ticks(60);
  EXPECT_NEAR(game.saveTime, 5 - 60 * 0.0166, 1e-9);
  EXPECT_NEAR(game.quorum, 50 - 60 * 0.0416, 1e-9);
  EXPECT_STREQ(titleMacro("score"), "1.234.567");
  // 100 s and more stand still; just below runs down.
  gameSetSaveTime(100);
  ticks(10);
  EXPECT_EQ(game.saveTime, 100);
  gameSetSaveTime(99.99);
  ticks(1);
  EXPECT_NEAR(game.saveTime, 99.99 - 0.0166, 1e-9);
}

TEST_F(Rules, ACrisisEndsAfterItsTimeout) {
  gameSetDuma(2);
  EXPECT_EQ(game.duma, 2);
  EXPECT_EQ(lightGetState(LI_LAW_AVAIL), LIGHT_OFF);
  tmTime = 1999;
  gameTick(1000);
  EXPECT_EQ(game.duma, 2);
  tmTime = 2000;
  gameTick(1000);
  EXPECT_EQ(game.duma, 0);
  gameSetGp(1);
  EXPECT_EQ(lightGetState(LI_EXPORT), LIGHT_ON);
  gameSetGp(7);
  EXPECT_EQ(game.gp, 2);
  EXPECT_EQ(lightGetState(LI_EXPORT), LIGHT_OFF);
}

TEST_F(Rules, TheLiftActivityEndsAfterItsTime) {
  gameSetLift(1);
  EXPECT_EQ(game.liftActive, 1);
  EXPECT_EQ(lightGetState(LI_MOLNIA0), LIGHT_BLINK);
  tmTime = 9999;
  gameTick(1000);
  EXPECT_EQ(game.liftActive, 1);
  tmTime = 10000;
  gameTick(1000);
  EXPECT_EQ(game.liftActive, 0);
  EXPECT_EQ(lightGetState(LI_MOLNIA0), LIGHT_OFF);
  // A queued subgame keeps the magnets on after the lift.
  gameAllowSubgame(0);
  gameSetLift(1);
  gameSetLift(0);
  EXPECT_EQ(lightGetState(LI_MOLNIA0), LIGHT_BLINK);
}

TEST_F(Rules, TheWormFillsAndEmptiesTheLampsAboveTheLevelUntilStopped) {
  gameSetGasPercent(30);
  gameGasWormStart();
  ASSERT_EQ(gameGasWormRunning(), 1);
  // Each step after more than 10 ms: up from P40 to P100.
  for (int i = 0; i < 7; i++) {
    tmTime += 11;
    gameTick(1000.0 / 60);
  }
  EXPECT_EQ(states(LI_GP_P10, 10), std::vector<int>(10, 1));
  gameGasWormStop();  // takes effect after the emptying pass
  for (int i = 0; i < 7; i++) {
    EXPECT_EQ(gameGasWormRunning(), 1) << i;
    tmTime += 11;
    gameTick(1000.0 / 60);
  }
  EXPECT_EQ(states(LI_GP_P10, 10), (std::vector<int>{1, 1, 1, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(gameGasWormRunning(), 0);
  // Full gas: nothing to run.
  gameSetGasPercent(100);
  gameGasWormStart();
  EXPECT_EQ(gameGasWormRunning(), 0);
}

TEST_F(Rules, RatingChangesLandOnTheirLevelWithTheirEdges) {
  const std::string text = "[super_cpw]\nvalue = 1000\n";
  ASSERT_EQ(confParseText(&bigscore, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "bigscore.conf"), 0);
  gameSetBigscore(&bigscore);
  gameChangeCpw('c', 3);  // no title loaded: the change lands at once
  EXPECT_EQ(game.charisma, 3);
  EXPECT_EQ(states(LI_CHARISMA0, 4), (std::vector<int>{1, 1, 1, 0}));
  EXPECT_STREQ(titleMacro("cpw_value"), "3");
  // Past 10: the level stays at 10 and a big score of value x term x change.
  game.presTerm = 2;
  gameSetCharisma(9);
  gameChangeCpw('c', 3);
  EXPECT_EQ(game.charisma, 10);
  EXPECT_EQ(game.score, 6000);
  EXPECT_STREQ(titleMacro("big_score"), "6.000");
  // Exactly 10 is no super rating.
  gameSetWealth(7);
  gameChangeCpw('w', 3);
  EXPECT_EQ(game.wealth, 10);
  EXPECT_EQ(game.score, 6000);
  // Below 0: a crisis where the rating belongs.
  gameSetPower(1);
  gameChangeCpw('p', -2);
  EXPECT_EQ(game.power, 0);
  EXPECT_EQ(game.zona, 2);
  EXPECT_EQ(cp1251ToUtf8(titleMacro("crisis_where")), "ЗОНЕ");
  EXPECT_EQ(cp1251ToUtf8(titleMacro("crisis_name")), "БУНТ");
  EXPECT_EQ(cp1251ToUtf8(titleMacro("cpw_name")), "ВЛАСТЬ");
  // Down to exactly 0 is no crisis.
  gameSetCharisma(2);
  gameChangeCpw('c', -2);
  EXPECT_EQ(game.charisma, 0);
  EXPECT_EQ(game.duma, 0);
}

TEST_F(Rules, TheFlipperKeyMovesALoneExtraBallLamp) {
  ConfSet none{};
  gameSetupObjects(&none);
  gameLightExtraBall();
  EXPECT_EQ(lightGetState(LI_XB0), LIGHT_ON);
  eventDispatch(0, 0, 0);
  EXPECT_EQ(lightGetState(LI_XB0), LIGHT_OFF);
  EXPECT_EQ(lightGetState(LI_XB1), LIGHT_ON);
  eventDispatch(0, 1, 0);
  EXPECT_EQ(lightGetState(LI_XB0), LIGHT_ON);
  gameLightExtraBall();  // both lit: the key moves nothing
  eventDispatch(0, 0, 0);
  EXPECT_EQ(lightGetState(LI_XB0), LIGHT_ON);
  EXPECT_EQ(lightGetState(LI_XB1), LIGHT_ON);
  conf_free(&none);
}

TEST_F(Rules, CountedRowsAndTheirFullCount) {
  gameSetMumra(2);
  EXPECT_EQ(states(LI_MUMRA0, 5), (std::vector<int>{1, 1, 2, 0, 0}));
  gameSetMumra(9);
  EXPECT_EQ(game.mumra, 5);
  EXPECT_EQ(states(LI_MUMRA0, 5), std::vector<int>(5, LIGHT_SLOW_BLINK));
  gameSetReklama(3);
  EXPECT_EQ(states(LI_REKLAMA0, 7), (std::vector<int>{1, 1, 1, 0, 0, 0, 0}));
  gameSetPresTerm(3);
  EXPECT_EQ(lightGetState(LI_PRES_2ND), LIGHT_ON);
  EXPECT_EQ(lightGetState(LI_PRES_3RD), LIGHT_ON);
  gameSetPresTerm(0);
  EXPECT_EQ(game.presTerm, 1);
  EXPECT_EQ(lightGetState(LI_PRES_3RD), LIGHT_OFF);
}

TEST_F(Rules, GameOverAndANewGame) {
  game.score = 500;
  game.ballsLeft = 0;
  gameSetGasPercent(50);
  gameOver();
  EXPECT_EQ(game.over, 1);
  for (int f : {game.duma, game.zona, game.bd, game.gp}) EXPECT_EQ(f, 2);
  gameNewGame();
  EXPECT_EQ(game.over, 0);
  EXPECT_EQ(game.score, 0);
  EXPECT_EQ(game.ballsLeft, GAME_BALLS);
  EXPECT_EQ(game.year, 2000.0);
  for (int f : {game.duma, game.zona, game.bd, game.gp}) EXPECT_EQ(f, 0);
  EXPECT_EQ(lightGetState(LI_GP_P50), LIGHT_OFF);
}

}  // namespace
