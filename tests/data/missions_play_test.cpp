// The missions in play on the shipped table (support/live_table.h): the
// launched ball arms the selection, a shot at the selection button raises
// the symbols, a shot at a symbol's mission point starts its mission, and
// shots at the table's targets carry it to its end; a drained ball aborts
// it. The crises come from the rules themselves (a question that empties a
// rating, the tax at the White House), the elections from the year. Only
// balls and keys: nothing of the rules is set by hand.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "game/mission.h"
#include "game/trigger.h"
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
    t.removeBalls();
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
    t.removeBalls();  // it would roll on and score elsewhere, or drain
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
  // The Duma mission selected and won: ten bumper hits, one shot each in
  // turn with time for the bumper to cool down.
  void winDuma() {
    ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_T1ARROW));
    for (int i = 0; i < 10; i++) {
      ASSERT_NO_FATAL_FAILURE(shoot("duma_bumper" + std::to_string(i % 3)));
      t.removeBalls();
      t.run(40);
    }
    ASSERT_EQ(game.duma, 1);
  }
  // The zone mission selected and won: "zona.increase" 4 makes the first
  // goal, three passages of the yes lane (T4) raise it to all sixteen
  // lamps, and the chase climbs to them.
  void winZone() {
    ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_T4ARROW));
    for (int i = 0; i < 3; i++) ASSERT_NO_FATAL_FAILURE(lane("t4"));
    ASSERT_GT(t.runUntil(300, [] { return game.mission < 0; }), 0);
    ASSERT_EQ(game.zona, 1);
  }
  // The White House mission selected and won: three passages of its lane;
  // it completes when the title of its fall ends.
  void winWhiteHouse() {
    ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_T8ARROW));
    for (int i = 0; i < 3; i++) ASSERT_NO_FATAL_FAILURE(lane("t8"));
    ASSERT_GT(t.runUntil(600, [] { return game.mission < 0; }), 0);
    ASSERT_EQ(game.bd, 1);
  }

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

// The White House won, four passages of its lane raise the tax to the top;
// the fifth brings its crisis, and the putsch is put down on its three lit
// lanes.
TEST_F(MissionsInPlay, TaxAtTheTopBringsThePutschWhichIsPutDownOnItsLanes) {
  ASSERT_NO_FATAL_FAILURE(startByPlay(MISSION_BD));
  ASSERT_NO_FATAL_FAILURE(winWhiteHouse());
  for (int level = 1; level <= 4; level++) {
    ASSERT_NO_FATAL_FAILURE(lane("t8"));
    EXPECT_EQ(game.tax, level);
  }
  EXPECT_EQ(game.bd, 1);
  const int wealth = game.wealth;
  ASSERT_NO_FATAL_FAILURE(lane("t8"));
  EXPECT_EQ(game.tax, 0);
  EXPECT_EQ(game.bd, 2);
  EXPECT_EQ(t.stat("obj:bd_crisis"), 1);
  ASSERT_GT(t.runUntil(600, [] { return game.mission == MISSION_PUTSCH; }), 0);
  EXPECT_EQ(t.stat("msn:bd_crisis"), 1);
  ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_T5ARROW));
  for (const char* name : {"t5", "t7", "t8"}) ASSERT_NO_FATAL_FAILURE(lane(name));
  ASSERT_GT(t.runUntil(900, [] { return game.mission < 0; }), 0);
  EXPECT_EQ(t.stat("msn:bd_crisis_success"), 1);
  EXPECT_EQ(game.bd, 1);
  EXPECT_EQ(game.wealth, std::min(10, wealth + 5));
}

// With the Duma and the zone won, questions are answered so that charisma
// and power fall: a rating emptied with its feature on brings that
// feature's crisis (treason in the Duma, the riot in the zone), each put
// down on its three lit lanes.
TEST_F(MissionsInPlay, QuestionsThatEmptyARatingBringTreasonAndTheRiot) {
  ASSERT_NO_FATAL_FAILURE(startByPlay(MISSION_DUMA));
  ASSERT_NO_FATAL_FAILURE(winDuma());
  ASSERT_NO_FATAL_FAILURE(raiseSymbols());
  ASSERT_NO_FATAL_FAILURE(select(MISSION_ZONA));
  ASSERT_NO_FATAL_FAILURE(winZone());
  struct Crisis {
    int mission;
    const char* lanes[3];
    const char* begin;
    const char* success;
    int* feature;
  };
  const Crisis crises[] = {{MISSION_TREASON, {"t1", "t2", "t7"}, "msn:duma_crisis", "msn:duma_crisis_success", &game.duma},
                           {MISSION_RIOT, {"t1", "t2", "t4"}, "msn:zona_crisis", "msn:zona_crisis_success", &game.zona}};
  int won[2] = {0, 0};
  for (int round = 0; round < 40 && !(won[0] && won[1]); round++) {
    SCOPED_TRACE(round);
    ASSERT_NO_FATAL_FAILURE(raiseSymbols());
    ASSERT_NO_FATAL_FAILURE(select(MISSION_QUESTION));
    ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_QUESTION));
    // "Yes" raises the rating of a "plus" question: answer so that it falls.
    const bool plus = t.title(TITLE_BACK) == "question_plus";
    ASSERT_NO_FATAL_FAILURE(lane(plus ? "t5" : "t4"));
    ASSERT_GT(t.runUntil(900, [] { return game.mission != MISSION_QUESTION; }), 0);
    for (int k = 0; k < 2; k++) {
      const Crisis& c = crises[k];
      if (game.mission != c.mission) continue;
      EXPECT_EQ(*c.feature, 2);
      EXPECT_EQ(t.stat(c.begin), won[k] + 1);
      ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_T1ARROW));
      for (const char* name : c.lanes) ASSERT_NO_FATAL_FAILURE(lane(name));
      ASSERT_GT(t.runUntil(900, [] { return game.mission < 0; }), 0);
      EXPECT_EQ(t.stat(c.success), ++won[k]);
      EXPECT_EQ(*c.feature, 1);
    }
    ASSERT_EQ(game.mission, -1);
  }
  EXPECT_GT(won[0], 0) << "no treason in forty questions";
  EXPECT_GT(won[1], 0) << "no riot in forty questions";
  EXPECT_GE(t.stat("obj:duma_crisis"), won[0]);
  EXPECT_GE(t.stat("obj:zona_crisis"), won[1]);
}

// Five times the three temple flaps: the blessing count is full, and the
// next mission's begin gives way to the blessing; the yes lane completes
// the blessing and the mission with it.
TEST_F(MissionsInPlay, AFullBlessingTakesTheMissionsPlaceAndCompletesIt) {
  for (int n = 1; n <= 5; n++) {
    SCOPED_TRACE(n);
    for (const char* flap : {"amen0", "amen1", "amen2"}) {
      ASSERT_NO_FATAL_FAILURE(shoot(flap));
      t.removeBalls();
      t.run(5);
    }
    ASSERT_GT(t.runUntil(900, [&] { return game.amen == n; }), 0);
    t.run(240);  // the flaps rise again
  }
  EXPECT_EQ(t.stat("evt:amen"), 1);
  // The full count lights every lamp once its blinking ends; the next ball
  // arms the selection again.
  ASSERT_NO_FATAL_FAILURE(drain());
  ASSERT_GT(t.runUntil(1200, [&] { return !t.balls().empty(); }), 0);
  t.run(60);
  ASSERT_NO_FATAL_FAILURE(startByPlay(MISSION_DUMA));
  ASSERT_GT(t.runUntil(900, [] { return game.mission == MISSION_BLESSING; }), 0);
  ASSERT_NO_FATAL_FAILURE(untilBlinking(LI_T4ARROW));
  ASSERT_NO_FATAL_FAILURE(lane("t4"));
  EXPECT_EQ(game.mission, -1);
  EXPECT_EQ(game.duma, 1);
  EXPECT_EQ(game.amen, 0);
  expectStats("msn:duma_begin", 1, "msn:duma_complete", 1);
}

// The year runs while the ball waits on the plunger; 2004 calls the
// elections. The first lane opens the vote; three votes for democracy on
// the lanes where its candidate stands, and when the time is up the regime
// changes: its artwork and its music.
TEST_F(MissionsInPlay, TheElectionsFallDueAndAWinningCandidateChangesTheRegime) {
  ASSERT_GT(t.runUntil(15000, [] { return game.mission == MISSION_ELECTIONS; }), 0);
  EXPECT_EQ(game.year, 2004.0);
  EXPECT_EQ(t.lamp(LI_VYBORY), LIGHT_BLINK);
  ASSERT_NO_FATAL_FAILURE(lane("t1"));
  EXPECT_EQ(t.lamp(LI_VYBORY), LIGHT_ON);
  struct Lane {
    const char* name;
    int demo;
  };
  const Lane lanes[] = {{"t1", LI_T1ARROW_DEMO}, {"t2", LI_T2ARROW_DEMO}, {"t4", LI_T4ARROW_DEMO},
                        {"t5", LI_T5ARROW_DEMO}, {"t7", LI_T7ARROW_DEMO}, {"t8", LI_T8ARROW_DEMO}};
  for (int vote = 0; vote < 3; vote++) {
    const Lane* at = nullptr;
    for (const Lane& l : lanes)
      if (t.lamp(l.demo) == LIGHT_BLINK) at = &l;
    ASSERT_NE(at, nullptr) << "democracy's candidate stands on no lane";
    ASSERT_NO_FATAL_FAILURE(lane(at->name));
    t.run(120);  // the vote's title
  }
  const std::vector<uint32_t> before = t.pixels();
  ASSERT_EQ(game.regime, REGIME_COMM);
  ASSERT_GT(t.runUntil(60 * 60, [] { return game.regime != REGIME_COMM; }), 0);
  EXPECT_EQ(game.regime, REGIME_DEMO);
  EXPECT_EQ(fxCurrentModule(), REGIME_DEMO);
  EXPECT_EQ(game.presTerm, 1);
  EXPECT_NE(t.log().find("switching regime 0 -> 1"), std::string::npos);
  t.run(60);
  const std::vector<uint32_t> after = t.pixels();
  size_t changed = 0;
  for (size_t i = 0; i < after.size() && i < before.size(); i++) changed += after[i] != before[i];
  EXPECT_GT(changed, after.size() / 2) << "the regimes' pictures differ almost everywhere";
  EXPECT_EQ(game.mission, -1);
}

// The tax rises one level a passage of the White House's lane while the
// White House stands, and falls back a level every "tax.decay" (2 s) left
// alone.
TEST_F(MissionsInPlay, TheTaxRisesAtTheWhiteHouseAndDecays) {
  ASSERT_NO_FATAL_FAILURE(launch());
  ASSERT_NO_FATAL_FAILURE(lane("t8"));
  EXPECT_EQ(game.tax, 0) << "no tax before the White House stands";
  ASSERT_NO_FATAL_FAILURE(raiseSymbols());
  ASSERT_NO_FATAL_FAILURE(select(MISSION_BD));
  ASSERT_NO_FATAL_FAILURE(winWhiteHouse());
  ASSERT_NO_FATAL_FAILURE(lane("t8"));
  ASSERT_NO_FATAL_FAILURE(lane("t8"));
  EXPECT_EQ(game.tax, 2);
  EXPECT_EQ(game.taxMultiplier, 4);
  EXPECT_EQ(t.title(TITLE_FORE), "tax");
  // Two seconds without a passage: one level down; two more: none.
  t.run(118);
  EXPECT_EQ(game.tax, 2);
  t.run(4);
  EXPECT_EQ(game.tax, 1);
  ASSERT_GT(t.runUntil(200, [] { return game.tax == 0; }), 0);
  EXPECT_EQ(game.taxMultiplier, 1);
}

// The zone won, its two buttons open the magnet; a ball at the prison is
// caught, lifted and held as a prisoner while a free ball is given; the
// lane to the tubes steals him and sends him to prison.
TEST_F(MissionsInPlay, TheZoneButtonsCatchAPrisonerThatTheTubesLaneSteals) {
  ASSERT_NO_FATAL_FAILURE(startByPlay(MISSION_ZONA));
  ASSERT_NO_FATAL_FAILURE(winZone());
  for (const char* button : {"zonabtn0", "zonabtn1"}) {
    ASSERT_NO_FATAL_FAILURE(shoot(button));
    t.removeBalls();
    t.run(60);
  }
  EXPECT_EQ(t.lamp(LI_T3ARROW), LIGHT_BLINK);
  EXPECT_EQ(game.zonaCapture, 1);
  ASSERT_GT(t.runUntil(300, [] { return gameZonaState() == GAME_ZONA_MAGNET; }), 0);
  ASSERT_NO_FATAL_FAILURE(shoot("zona"));
  ASSERT_GT(t.runUntil(900, [] { return gameZonaState() == GAME_ZONA_PRISONER; }), 0);
  const int score = game.score;
  ASSERT_NO_FATAL_FAILURE(lane("t3"));
  EXPECT_EQ(t.title(TITLE_FORE), "steal");
  EXPECT_GE(game.score - score, 40000);
  ASSERT_GT(t.runUntil(900, [&] { return t.title(TITLE_FORE) == "prison"; }), 0);
  EXPECT_EQ(t.lamp(LI_T3ARROW), LIGHT_OFF);
}

// With the Duma won, each time its four lanes are made it drafts a law,
// which the law button passes; the fourth law lights the Duma's prize on
// lane T2 and queues the oligarch's subgame.
TEST_F(MissionsInPlay, TheDumaDraftsLawsThatTheLawButtonPassesUpToItsPrize) {
  ASSERT_NO_FATAL_FAILURE(startByPlay(MISSION_DUMA));
  ASSERT_NO_FATAL_FAILURE(winDuma());
  for (int law = 1; law <= 4; law++) {
    SCOPED_TRACE(law);
    for (int i = 0; i < 4; i++) ASSERT_NO_FATAL_FAILURE(lane(("duma_lane" + std::to_string(i)).c_str()));
    EXPECT_EQ(game.laws, law);
    EXPECT_EQ(game.lawsPassed, law - 1);
    ASSERT_NO_FATAL_FAILURE(shoot("law_button"));
    t.removeBalls();
    EXPECT_EQ(t.stat("evt:law"), law);
    // The law's title, and the button cooling down.
    ASSERT_GT(t.runUntil(900, [&] { return t.title(TITLE_FORE) == ""; }), 0);
    t.run(120);
  }
  EXPECT_EQ(game.laws, 0);
  EXPECT_EQ(game.lawsPassed, 0);
  EXPECT_EQ(t.lamp(LI_LAW_PRIZE), LIGHT_BLINK);
  EXPECT_EQ(game.subgames[0], 2) << "the oligarch's subgame is queued";
  const int score = game.score;
  ASSERT_NO_FATAL_FAILURE(lane("t2"));
  EXPECT_EQ(t.stat("evt:law_prize"), 1);
  EXPECT_EQ(t.lamp(LI_LAW_PRIZE), LIGHT_OFF);
  EXPECT_GE(game.score - score, 150000);
}

// The side lanes: the question button opens the yes lane to a question;
// the spiral's button opens the Kremlin's arches, both of which made in time
// bring the opponent and queue the boxing.
TEST_F(MissionsInPlay, TheQuestionAndOpponentButtonsOpenTheirLanes) {
  ASSERT_NO_FATAL_FAILURE(shoot("question_button"));
  t.removeBalls();
  EXPECT_EQ(t.lamp(LI_T4ARROW), LIGHT_BLINK);
  ASSERT_NO_FATAL_FAILURE(lane("t4"));
  EXPECT_EQ(game.mission, MISSION_QUESTION);
  EXPECT_EQ(t.stat("msn:q_begin"), 1);
  EXPECT_EQ(t.stat("msn:sel"), 0) << "no selection was made";
  ASSERT_NO_FATAL_FAILURE(drain());
  ASSERT_NO_FATAL_FAILURE(shoot("spiral_button"));
  t.removeBalls();
  EXPECT_EQ(t.lamp(LI_T9ARROW), LIGHT_BLINK);
  EXPECT_EQ(t.lamp(LI_T10ARROW), LIGHT_BLINK);
  ASSERT_NO_FATAL_FAILURE(lane("t9"));
  EXPECT_EQ(t.lamp(LI_T9ARROW), LIGHT_ON);
  ASSERT_NO_FATAL_FAILURE(lane("t10"));
  EXPECT_EQ(t.title(TITLE_FORE), "opponent");
  ASSERT_GT(t.runUntil(900, [] { return game.subgameQueue > 0; }), 0);
  EXPECT_EQ(game.subgames[0], 0) << "the boxing is queued";
}

// Each mission the symbols offer, selected in play and cut short by the
// last ball draining: no completion and its lamps out.
struct AbortCase {
  const char* name;
  int mission;
  int goalLamp;
  const char* begin;
  const char* complete;
};
void PrintTo(const AbortCase& c, std::ostream* os) { *os << c.name; }
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
                         ::testing::Values(
                             AbortCase{"Duma", MISSION_DUMA, LI_T1ARROW, "msn:duma_begin", "msn:duma_complete"},
                             AbortCase{"Zone", MISSION_ZONA, LI_T4ARROW, "msn:zona_begin", "msn:zona_complete"},
                             AbortCase{"GasCompany", MISSION_GASPROM, LI_T6ARROW, "msn:gp_begin", "msn:gp_complete"},
                             AbortCase{"WhiteHouse", MISSION_BD, LI_T8ARROW, "msn:bd_begin", "msn:bd_complete"},
                             AbortCase{"Question", MISSION_QUESTION, LI_QUESTION, "msn:q_begin", "msn:q_complete"}),
                         [](const ::testing::TestParamInfo<AbortCase>& info) { return std::string(info.param.name); });

}  // namespace
