// The missions in play on the shipped table (support/live_table.h): the
// launched ball arms the selection, a shot at the selection button raises
// the symbols, a shot at a symbol's mission point starts its mission, and
// shots at the table's targets carry it to its end; a drained ball aborts
// it. The crises come from the rules themselves (a question that empties a
// rating, the tax at the White House), the elections from the year. Only
// balls and keys: nothing of the rules is set by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/mission.h"
#include "sound/fx.h"
#include "support/live_table.h"

namespace {

class MissionsInPlay : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(t.ok()) << t.log();
    t.run(1);
  }

  // The ball on the plunger goes up through the spring door, which arms
  // the mission selection.
  void launch() {
    t.hold(KEY_LAUNCH, 60);
    ASSERT_GT(t.runUntil(600, [] { return lightGetState(LI_MSSELECT) == LIGHT_BLINK; }), 0);
  }
  void shoot(const std::string& name) {
    t.removeBalls();
    ASSERT_GT(t.shootAt(name), 0) << name;
  }
  // The selection button raises the symbols; the frames run until they are
  // shown.
  void raiseSymbols() {
    ASSERT_NO_FATAL_FAILURE(shoot("msel_button"));
    ASSERT_GT(t.runUntil(300, [] { return missionSymbolsState() == MSYM_SHOWN; }), 0);
  }
  // A shot at the mission point under the symbol of a mission.
  void select(int mission) {
    int slot = -1;
    for (int s = 0; s < MISSION_SYMBOL_POINTS; s++)
      if (missionSymbolKind(s) == mission) slot = s;
    ASSERT_GE(slot, 0) << "no symbol of mission " << mission;
    ASSERT_NO_FATAL_FAILURE(shoot("mpoint" + std::to_string(slot)));
    ASSERT_EQ(game.mission, mission);
  }
  // Launch, selection, symbol: the mission runs, its begin title playing.
  void startByPlay(int mission) {
    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_NO_FATAL_FAILURE(raiseSymbols());
    ASSERT_NO_FATAL_FAILURE(select(mission));
  }
  // Runs until a lamp blinks (the end of a begin title lights the goal).
  void untilBlinking(int lamp) {
    ASSERT_GT(t.runUntil(900, [&] { return t.lamp(lamp) == LIGHT_BLINK; }), 0) << lightName(lamp);
  }
  // The ball-save time runs out, then the last ball drains between the
  // flippers: the ball is lost.
  void drain() {
    t.removeBalls();
    ASSERT_GT(t.runUntil(3000, [] { return game.saveTime <= 0; }), 0);
    const int lost = t.stat("ball:lost");
    t.ballAt(380, 490);
    ASSERT_GT(t.runUntil(600, [&] { return t.stat("ball:lost") > lost; }), 0);
  }
  // The selection of a mission, its begin and, when it completes, its
  // completion statistics.
  void expectStats(const char* begin, int begun, const char* complete, int completed) {
    EXPECT_EQ(t.stat("msn:sel"), begun);
    EXPECT_EQ(t.stat(begin), begun);
    EXPECT_EQ(t.stat(complete), completed);
  }

  // One of the gas company's seven buttons, each given time to go down.
  void gasButton(int i) {
    const std::string button = "gas" + std::to_string(i);
    // The two lowest stand where no straight shot is clear: a direct hit.
    if (i < 5)
      ASSERT_NO_FATAL_FAILURE(shoot(button));
    else
      ASSERT_TRUE(t.hit(button)) << button;
    t.removeBalls();
    t.run(60);
  }
  // A lane shot, the ball then taken away.
  void lane(const char* name) {
    ASSERT_NO_FATAL_FAILURE(shoot(name));
    t.removeBalls();
    t.run(2);
  }
  int score() const { return game.score; }

  LiveTable t;
};

TEST_F(MissionsInPlay, TheDumaIsBoughtWithTenBumperHits) {
  ASSERT_NO_FATAL_FAILURE(startByPlay(MISSION_DUMA));
  EXPECT_EQ(t.title(TITLE_FORE), "duma_begin");
  ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_T1ARROW));
  // A bumper counts a hit while it is at rest: one shot each in turn, and
  // time for it to cool down.
  for (int i = 0; i < 9; i++) {
    ASSERT_NO_FATAL_FAILURE(shoot("duma_bumper" + std::to_string(i % 3)));
    t.removeBalls();
    t.run(40);
  }
  EXPECT_EQ(game.mission, MISSION_DUMA);
  EXPECT_EQ(t.title(TITLE_FORE), "duma_progress");
  EXPECT_EQ(t.macro("duma_hits"), "1\\n\xD4\xD0\xC0\xCA\xD6\xC8\xDF!");
  ASSERT_NO_FATAL_FAILURE(shoot("duma_bumper0"));
  EXPECT_EQ(game.mission, -1);
  EXPECT_EQ(game.duma, 1);
  EXPECT_EQ(t.stat("obj:duma_on"), 1);
  expectStats("msn:duma_begin", 1, "msn:duma_complete", 1);
  EXPECT_EQ(t.lamp(LI_T1ARROW), LIGHT_OFF);
  EXPECT_EQ(t.lamp(LI_MSSELECT), LIGHT_BLINK) << "the selection is armed again";
}

TEST_F(MissionsInPlay, TheZoneFillsItsLampsFromTheYesLane) {
  ASSERT_NO_FATAL_FAILURE(startByPlay(MISSION_ZONA));
  ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_T4ARROW));
  // "zona.increase" 4: the first goal, then three passages of the yes lane
  // (T4) raise it to all sixteen lamps; the chase climbs to them.
  for (int i = 0; i < 3; i++) ASSERT_NO_FATAL_FAILURE(lane("t4"));
  ASSERT_GT(t.runUntil(300, [] { return game.mission < 0; }), 0);
  EXPECT_EQ(game.zona, 1);
  expectStats("msn:zona_begin", 1, "msn:zona_complete", 1);
  for (int i = 0; i < 16; i++) EXPECT_EQ(t.lamp(LI_ZONA_L0 + i), LIGHT_BLINK) << i;
}

TEST_F(MissionsInPlay, TheGasCompanyIsWonWithItsSevenButtons) {
  ASSERT_NO_FATAL_FAILURE(startByPlay(MISSION_GASPROM));
  ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_T6ARROW));
  EXPECT_EQ(game.spiral, 1) << "the spiral leads to the gas company";
  for (int i = 0; i < 6; i++) ASSERT_NO_FATAL_FAILURE(gasButton(i));
  EXPECT_EQ(game.mission, MISSION_GASPROM);
  ASSERT_NO_FATAL_FAILURE(gasButton(6));
  EXPECT_EQ(game.mission, -1);
  EXPECT_EQ(game.gp, 1);
  expectStats("msn:gp_begin", 1, "msn:gp_complete", 1);
  EXPECT_EQ(t.lamp(LI_T6ARROW), LIGHT_OFF);
}

TEST_F(MissionsInPlay, TheWhiteHouseTakesThreeShotsUpItsLane) {
  ASSERT_NO_FATAL_FAILURE(startByPlay(MISSION_BD));
  ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_T8ARROW));
  for (int i = 0; i < 2; i++) ASSERT_NO_FATAL_FAILURE(lane("t8"));
  EXPECT_EQ(t.title(TITLE_FORE), "bd_progress1");
  EXPECT_EQ(game.bd, 0);
  ASSERT_NO_FATAL_FAILURE(lane("t8"));
  EXPECT_EQ(game.bd, 1);
  // The mission completes when the title of the White House's fall ends.
  ASSERT_GT(t.runUntil(600, [] { return game.mission < 0; }), 0);
  expectStats("msn:bd_begin", 1, "msn:bd_complete", 1);
}

// The question: its text in the display, answered through the yes lane;
// the rating changes by the question's value once its title has played.
TEST_F(MissionsInPlay, AQuestionIsAnsweredOnTheYesLane) {
  ASSERT_NO_FATAL_FAILURE(startByPlay(MISSION_QUESTION));
  ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_QUESTION));
  EXPECT_TRUE(t.title(TITLE_BACK) == "question_plus" || t.title(TITLE_BACK) == "question_minus");
  EXPECT_NE(t.macro("question_text1"), "");
  const std::string cpw = t.macro("question_cpw");
  int* rating = cpw == "\xF5\xE0\xF0\xE8\xE7\xEC\xE0" ? &game.charisma
                : cpw == "\xE2\xEB\xE0\xF1\xF2\xFC"   ? &game.power
                                                        : &game.wealth;
  const int before = *rating;
  const int value = std::stoi(t.macro("question_value")) * (t.title(TITLE_BACK) == "question_plus" ? 1 : -1);
  ASSERT_NO_FATAL_FAILURE(lane("t4"));
  EXPECT_EQ(t.title(TITLE_FORE), "answer_yes");
  ASSERT_GT(t.runUntil(900, [] { return game.mission < 0; }), 0);
  EXPECT_EQ(*rating, std::max(0, std::min(10, before + value)));
  expectStats("msn:q_begin", 1, "msn:q_complete", 1);
  EXPECT_EQ(t.lamp(LI_QUESTION), LIGHT_OFF);
}

// Each mission the symbols offer, selected in play and cut short by the
// last ball draining: no completion and its lamps out.
struct AbortCase {
  int mission;
  int goalLamp;
  const char* begin;
  const char* complete;
};
class MissionAborts : public MissionsInPlay, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(MissionAborts, ADrainedBallAbortsTheRunningMission) {
  const AbortCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(startByPlay(c.mission));
  ASSERT_NO_FATAL_FAILURE(untilBlinking(c.goalLamp));
  ASSERT_NO_FATAL_FAILURE(drain());
  EXPECT_EQ(game.mission, -1);
  EXPECT_EQ(t.lamp(c.goalLamp), LIGHT_OFF);
  expectStats(c.begin, 1, c.complete, 0);
  const std::string log = t.log();
  EXPECT_LT(log.find("--- all_triggers 5/TR_BALL_LOST ---"), log.find("tr TR_MISSION_ABORT -> MUSIC_TRIGGER()"));
}

INSTANTIATE_TEST_SUITE_P(EachMission, MissionAborts,
                         ::testing::Values(AbortCase{MISSION_DUMA, LI_T1ARROW, "msn:duma_begin", "msn:duma_complete"},
                                           AbortCase{MISSION_ZONA, LI_T4ARROW, "msn:zona_begin", "msn:zona_complete"},
                                           AbortCase{MISSION_GASPROM, LI_T6ARROW, "msn:gp_begin", "msn:gp_complete"},
                                           AbortCase{MISSION_BD, LI_T8ARROW, "msn:bd_begin", "msn:bd_complete"},
                                           AbortCase{MISSION_QUESTION, LI_QUESTION, "msn:q_begin", "msn:q_complete"}));

}  // namespace
