// The missions on lamps without sprites and without titles (a chained step
// then runs at once): their begin, goals, completion, abort, the blessing in
// a mission's place and the crises' deadlines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/calls.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/nproc.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "game/mission.h"
#include "support/testutil.h"

namespace {

struct Missions : ::testing::Test {
  ConfSet bigscore{};
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    lightInit();
    gameReset();
    missionReset();
    tmTime = 0;
    titleClearMacros();
    rulesCallClear();
    gameRefreshLamps();
    const std::string text = "[riot]\nhit_value = 100\n[putch]\nhit_value = 200\n[treason]\nhit_value = 300\n";
    ASSERT_EQ(confParseText(&bigscore, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "b"), 0);
    gameSetBigscore(&bigscore);
  }
  void TearDown() override {
    missionFree();
    gameReset();
    gameSetBigscore(nullptr);
    conf_free(&bigscore);
    lightFree();
    titleClearMacros();
    rulesCallClear();
    tmTime = 0;
    logReset();
  }
  static void update(double ms) {
    tmTime += ms;
    missionEvent(MEVT_UPDATE, 0, 0);
  }
};

TEST_F(Missions, TheDumaNeedsItsTenBumperHits) {
  missionStart(MISSION_DUMA);
  EXPECT_EQ(game.mission, MISSION_DUMA);
  EXPECT_EQ(lightGetState(LI_T1ARROW), LIGHT_BLINK);
  for (int i = 0; i < 9; i++) missionEvent(MEVT_DUMA_BUMPER, 0, 0);
  EXPECT_EQ(game.mission, MISSION_DUMA);
  EXPECT_EQ(cp1251ToUtf8(titleMacro("duma_hits")), "1\\nФРАКЦИЯ!");
  missionEvent(MEVT_DUMA_BUMPER, 0, 0);
  EXPECT_EQ(game.mission, -1);
  EXPECT_EQ(game.duma, 1);
  EXPECT_EQ(lightGetState(LI_T1ARROW), LIGHT_OFF);
}

TEST_F(Missions, AFullBlessingTakesTheMissionsPlaceAndCompletesItToo) {
  gameSetAmen(5);
  missionStart(MISSION_DUMA);
  EXPECT_EQ(game.mission, MISSION_BLESSING);
  missionEvent(MEVT_DUMA_BUMPER, 0, 0);  // the Duma's goal does not count now
  missionEvent(MEVT_T4, 0, 0);
  EXPECT_EQ(game.mission, -1);
  EXPECT_EQ(game.duma, 1);
  EXPECT_EQ(game.amen, 0);
  // Four blessings are not enough.
  gameSetAmen(4);
  missionStart(MISSION_DUMA);
  EXPECT_EQ(game.mission, MISSION_DUMA);
}

TEST_F(Missions, TheZoneFillsItsSixteenLampsStepByStep) {
  missionStart(MISSION_ZONA);
  for (int i = 0; i < 15; i++) missionEvent(MEVT_ZONA_INCREASE, 0, 0);
  // One lamp more per step of "zona.delay" (100 ms), not faster.
  for (int i = 0; i < 15; i++) update(100);
  update(99);
  EXPECT_EQ(game.mission, MISSION_ZONA);
  int lit = 0;
  for (int i = 0; i < 16; i++) lit += lightGetState(LI_ZONA_L0 + i) == LIGHT_ON;
  EXPECT_EQ(lit, 15);
  update(1);
  EXPECT_EQ(game.mission, -1);
  EXPECT_EQ(game.zona, 1);
}

TEST_F(Missions, TheGasCompanyWaitsForItsPipeline) {
  missionStart(MISSION_GASPROM);
  EXPECT_EQ(game.spiral, 1);
  EXPECT_EQ(lightGetState(LI_T6ARROW), LIGHT_BLINK);
  missionEvent(MEVT_GP_DRAIN, 0, 0);
  EXPECT_EQ(game.mission, MISSION_GASPROM);
  missionEvent(MEVT_GP_COMPLETE, 0, 0);
  EXPECT_EQ(game.mission, -1);
  EXPECT_EQ(game.gp, 1);
}

TEST_F(Missions, TheWhiteHouseTakesThreeHits) {
  missionStart(MISSION_BD);
  missionEvent(MEVT_T8, 0, 0);
  missionEvent(MEVT_T8, 0, 0);
  EXPECT_EQ(game.mission, MISSION_BD);
  EXPECT_EQ(game.bd, 0);
  missionEvent(MEVT_T8, 0, 0);
  EXPECT_EQ(game.bd, 1);
  EXPECT_EQ(game.mission, -1);
}

TEST_F(Missions, AQuestionIsAnsweredOnceAndChangesItsRating) {
  TempDir dir;
  ScopedChdir cd(dir.path);
  ASSERT_EQ(mkdir("conf", 0755), 0);
  writeFile(dir.file("conf/question.conf"),
            "[q0]\nregime = \"comm\"\ntext = \"one\\ntwo\\nthree\"\ncpw = \"p\"\nyes = 2\n"
            "[q1]\nregime = \"mars\"\ntext = \"x\"\ncpw = \"c\"\n");
  ASSERT_EQ(setupMissionQuestion(0), 1);
  EXPECT_EQ(missionQuestionCount(), 1);  // the list ends at the malformed one
  for (int answer : {MEVT_T4, MEVT_T5}) {
    gameSetPower(5);
    missionStart(MISSION_QUESTION);
    EXPECT_STREQ(titleMacro("question_text1"), "one\\ntwo");
    EXPECT_STREQ(titleMacro("question_text2"), "three");
    EXPECT_STREQ(titleMacro("question_value"), "2");
    missionEvent(answer, 0, 0);
    EXPECT_EQ(game.power, answer == MEVT_T4 ? 7 : 3);
    EXPECT_EQ(game.mission, -1);
  }
  // "No" takes power down by 2: from 2 it leaves nothing, and with the zone
  // on the prisoners riot; from 3, or with the zone off, they don't.
  struct Case {
    int power, zona;
    bool riot;
  };
  for (const Case& c : {Case{2, 1, true}, Case{3, 1, false}, Case{2, 0, false}}) {
    SCOPED_TRACE(c.power * 10 + c.zona);
    missionAbort();
    gameSetZona(0);
    missionAbort();
    gameSetPower(c.power);
    gameSetZona(c.zona);
    missionStart(MISSION_QUESTION);
    missionEvent(MEVT_T5, 0, 0);
    EXPECT_EQ(game.mission, c.riot ? MISSION_RIOT : -1);
    EXPECT_EQ(game.zona, c.riot ? 2 : c.zona);
  }
}

// Each crisis: its three arrows, each paying its hit value times the term
// once; the third restores the feature and adds 5 to its rating.
TEST_F(Missions, ACrisisWonInTimeRestoresItsFeatureAndRating) {
  struct Case {
    int mission;
    int events[3];
    int hitValue;
    int* rating;
    int* feature;
  };
  const Case cases[] = {{MISSION_TREASON, {MEVT_T1, MEVT_T2, MEVT_T7}, 300, &game.charisma, &game.duma},
                        {MISSION_RIOT, {MEVT_T1, MEVT_T2, MEVT_T4}, 100, &game.power, &game.zona},
                        {MISSION_PUTSCH, {MEVT_T5, MEVT_T7, MEVT_T8}, 200, &game.wealth, &game.bd}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mission);
    game.score = 0;
    game.presTerm = 2;
    gameSetCharisma(1);
    gameSetPower(1);
    gameSetWealth(1);
    missionStart(c.mission);
    EXPECT_EQ(game.mission, c.mission);
    missionEvent(MEVT_T10, 0, 0);  // another lane counts nothing
    missionEvent(c.events[0], 0, 0);
    missionEvent(c.events[1], 0, 0);
    missionEvent(c.events[0], 0, 0);  // an arrow already hit scores nothing
    EXPECT_EQ(game.score, 2 * 2 * c.hitValue);
    EXPECT_EQ(game.mission, c.mission);
    missionEvent(c.events[2], 0, 0);
    EXPECT_EQ(game.score, 3 * 2 * c.hitValue);
    EXPECT_EQ(game.mission, -1);
    EXPECT_EQ(*c.feature, 1);
    EXPECT_EQ(*c.rating, 6);
  }
}

TEST_F(Missions, CrisesEndAtTheirDeadline) {
  gameSetBd(2);
  missionStart(MISSION_PUTSCH);
  update(2999);  // "putch.timeout" 3 s
  EXPECT_EQ(game.mission, MISSION_PUTSCH);
  update(1);
  EXPECT_EQ(game.mission, -1);
  EXPECT_EQ(game.bd, 0);  // lost: the White House falls back
  EXPECT_EQ(lightGetState(LI_T5ARROW), LIGHT_OFF);
}

TEST_F(Missions, AbortAndTheMissionsThatAreNone) {
  missionStart(MISSION_DUMA);
  missionAbort();
  EXPECT_EQ(game.mission, -1);
  EXPECT_EQ(lightGetState(LI_T7ARROW), LIGHT_OFF);
  missionEvent(MEVT_DUMA_BUMPER, 0, 0);  // nothing runs: nothing happens
  EXPECT_EQ(game.duma, 0);
  for (int none : {-1, int{MISSION_COUNT}, 100}) {
    missionStart(none);
    EXPECT_EQ(game.mission, -1);
  }
}

}  // namespace
