// The modes on lamps without sprites and without titles (a step chained on
// a title then runs at once, and every title started is noted in
// core/calls): laws, decrees and the mafia, the Duma vote, the tax, the
// prizes, the question and opponent lanes and the steal, with the prison
// zone and the tubes played by a fake table.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "anim/gnm.h"
#include "anim/lights.h"
#include "anim/title.h"
#include "core/calls.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "game/score.h"
#include "game/stats.h"
#include "game/trigger.h"
#include "gfx/gspwrite.h"
#include "physics/board.h"
#include "support/memscreen.h"
#include "support/testutil.h"

namespace {

// The prison zone, its buttons and the tubes as the modes see them: the
// zone's state is the test's, the commands and launches are noted.
struct FakeTable {
  static inline int zona = GAME_ZONA_CLOSED;
  static inline std::vector<int> commands;
  static inline std::vector<int> tubes;
  static inline int buttonReleases = 0;
  static inline std::vector<int> ballRequests;  // free flags
  static void clear() {
    zona = GAME_ZONA_CLOSED;
    commands.clear();
    tubes.clear();
    buttonReleases = 0;
    ballRequests.clear();
  }
};

constexpr GameTableHooks kFakeHooks = {
    [](int command) { FakeTable::commands.push_back(command); },
    [] { return FakeTable::zona; },
    [] { FakeTable::buttonReleases++; },
    [](int tube) { FakeTable::tubes.push_back(tube); },
};

// Subject scores, each a bit of its own so that game.score tells which
// were added; big scores are multiples of 1000 above them.
constexpr const char* kSubjects[] = {"law_button",      "law_button:action",      "ukazy_button",
                                     "ukazy_button:action", "question_button", "question_button:action",
                                     "question_button:pres"};
int subjectValue(const char* name) {
  for (int i = 0; i < static_cast<int>(std::size(kSubjects)); i++)
    if (std::string(kSubjects[i]) == name) return 1 << i;
  return -1;
}

class Modes : public ::testing::Test, protected MemScreen {
 protected:
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    lightInit();
    gameReset();
    missionReset();
    modeReset();
    tmTime = 0;
    titleClearMacros();
    rulesCallClear();
    gstatInit();
    ASSERT_EQ(gstatPreload(0), 0);
    gstatBegin();
    FakeTable::clear();
    gameSetTableHooks(&kFakeHooks);
    gameSetBallRequest([](int free) { FakeTable::ballRequests.push_back(free); });
    const std::string big =
        "[mafia]\nvalue = 1000\n[small_prize]\nvalue = 2000\n[law_prize]\nvalue = 3000\n"
        "[ukazy_prize]\nvalue = 4000\n[export]\nvalue = 5000\n[steal]\nvalue = 6000\n";
    ASSERT_EQ(confParseText(&bigscore, {reinterpret_cast<const uint8_t*>(big.data()), big.size()}, "b"), 0);
    gameSetBigscore(&bigscore);
    ASSERT_NO_FATAL_FAILURE(setupSubjects());
    gameRefreshLamps();
    modeEvent(MODE_ALL, MEVT_RESET, 0, nullptr);
    rulesCallClear();
    FakeTable::clear();
  }

  void TearDown() override {
    modeFree();
    missionFree();
    scoreFree();
    closeScreen();
    gameSetTableHooks(nullptr);
    gameSetBallRequest(nullptr);
    gameSetBigscore(nullptr);
    conf_free(&bigscore);
    gameReset();
    lightFree();
    gstatInit();
    titleClearMacros();
    rulesCallClear();
    FakeTable::clear();
    tmTime = 0;
    logReset();
  }

  // The score's subjects on a small memory screen with one-pixel digits.
  void setupSubjects() {
    ASSERT_TRUE(openScreen(64, 64));
    std::vector<uint8_t> rgba(4, 255);
    std::vector<GspFrameImage> frames(1, GspFrameImage{1, 1, rgba.data(), 0, 0});
    for (int d = 0; d < 10; d++)
      ASSERT_EQ(gspWrite(dir.file("d" + std::to_string(d) + ".gsp").c_str(), 4, frames), 0);
    // One placed object per button, its class holding "value" and "value_SUFFIX" keys.
    std::map<std::string, std::string> classes;
    for (const char* s : kSubjects) {
      std::string name = s, key = "value";
      if (auto colon = name.find(':'); colon != std::string::npos) {
        key = "value_" + name.substr(colon + 1);
        name.resize(colon);
      }
      classes[name] += key + " = " + std::to_string(subjectValue(s)) + "\n";
    }
    std::string text = "digits_sprite = \"" + dir.file("d%d.gsp") + "\"\n";
    for (const auto& [name, values] : classes)
      text += "[class_" + name + "]\n" + values + "[" + name + "]\nclass = \"" + name + "\"\nxy = \"1,1\"\n";
    ConfSet set{};
    ASSERT_EQ(confParseText(&set, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "score"), 0);
    const int ok = setupScoreFrom(&set);
    conf_free(&set);
    ASSERT_EQ(ok, 1);
    for (const char* s : kSubjects) ASSERT_NE(scoreFindSubject(s), nullptr) << s;
  }

  static bool titled(const std::string& name) { return rulesCallSeen(("startForeTitle " + name).c_str()) != 0; }
  static int titles(const std::string& name) { return rulesCallTimes(("startForeTitle " + name).c_str()); }
  static std::string macro(const char* name) {
    const char* m = titleMacro(name);
    return m ? cp1251ToUtf8(m) : std::string("<unset>");
  }
  static void update(double ms) {
    tmTime += ms;
    modeEvent(MODE_ALL, MEVT_UPDATE, 0, nullptr);
  }
  static void send(int mode, int event) { modeEvent(mode, event, 0, nullptr); }

  ConfSet bigscore{};
  TempDir dir;
};

// ---- Laws and decrees ----

TEST_F(Modes, LawsArePassedOneByOneWithTheirRewards) {
  send(MODE_LAWS, MEVT_LAW_BTN);  // nothing pending
  EXPECT_EQ(game.score, subjectValue("law_button"));
  EXPECT_EQ(game.lawsPassed, 0);
  for (int i = 0; i < 4; i++) send(MODE_LAWS, MEVT_LAW_DUMA);
  send(MODE_LAWS, MEVT_LAW_DUMA);  // the count stops at four
  EXPECT_EQ(game.laws, 4);
  EXPECT_EQ(lightGetState(LI_LAW0), LIGHT_BLINK);

  game.score = 0;
  gameSetCharisma(2);
  send(MODE_LAWS, MEVT_LAW_BTN);
  EXPECT_TRUE(titled("law0"));
  EXPECT_EQ(game.taxFloor, 1);  // the first law raises the tax floor ...
  EXPECT_EQ(game.tax, 1);       // ... and the tax level with it
  send(MODE_LAWS, MEVT_LAW_BTN);
  EXPECT_TRUE(titled("law1"));
  EXPECT_EQ(game.charisma, 5);
  EXPECT_LT(game.saveTime, 100);
  send(MODE_LAWS, MEVT_LAW_BTN);
  EXPECT_TRUE(titled("law2"));
  EXPECT_DOUBLE_EQ(game.saveTime, 100.1);
  EXPECT_EQ(game.lawsPassed, 3);
  EXPECT_EQ(lightGetState(LI_LAW2), LIGHT_ON);
  EXPECT_EQ(lightGetState(LI_LAW3), LIGHT_BLINK);
  EXPECT_EQ(gstatCount("evt:law"), 3);
  // The second and third presses are taxed at the first law's level 1 (x2).
  EXPECT_EQ(game.score, 5 * subjectValue("law_button:action"));
}

TEST_F(Modes, TheFourthLawQueuesTheOligarchAndLightsTheDumaPrize) {
  gameSetLaws(4, 3);
  EXPECT_EQ(lightGetState(LI_LAW_PRIZE), LIGHT_OFF);
  send(MODE_LAWS, MEVT_LAW_BTN);
  EXPECT_TRUE(titled("law3"));
  ASSERT_EQ(game.subgameQueue, 1);
  EXPECT_EQ(game.subgames[0], 2);  // the oligarch
  EXPECT_EQ(lightGetState(LI_LAW_PRIZE), LIGHT_BLINK);
  EXPECT_EQ(game.laws, 0);
  EXPECT_EQ(game.lawsPassed, 0);
  for (int i = 0; i < 4; i++) EXPECT_EQ(lightGetState(LI_LAW0 + i), LIGHT_OFF) << i;
  // Three of four queue nothing and leave the prize dark.
  gameSetLaws(4, 2);
  gameClearSubgames();
  modeEvent(MODE_PRIZES, MEVT_RESET, 0, nullptr);
  send(MODE_LAWS, MEVT_LAW_BTN);
  EXPECT_EQ(game.subgameQueue, 0);
  EXPECT_EQ(lightGetState(LI_LAW_PRIZE), LIGHT_OFF);
  EXPECT_EQ(game.lawsPassed, 3);
}

TEST_F(Modes, ALostBallTakesBackTheLawsAndDecreesNotYetPassed) {
  gameSetLaws(3, 1);
  gameSetUkazy(2, 2);
  send(MODE_ALL, MEVT_ABORT);
  EXPECT_EQ(game.laws, 1);
  EXPECT_EQ(game.lawsPassed, 1);
  EXPECT_EQ(game.ukazy, 2);
  EXPECT_EQ(lightGetState(LI_LAW1), LIGHT_OFF);
}

TEST_F(Modes, DecreesPayThePrizeTheExtraBallAndPower) {
  game.presTerm = 2;
  gameSetPower(4);
  const int balls = game.ballsLeft;
  gameSetUkazy(4, 0);
  send(MODE_UKAZY, MEVT_UKAZY_BTN);
  EXPECT_TRUE(titled("ukazy0"));
  EXPECT_EQ(gstatCount("evt:small_prize"), 1);
  EXPECT_EQ(macro("prize_text"), "МАЛАЯ ПРЕМИЯ");
  EXPECT_EQ(macro("prize_value"), "4.000");
  EXPECT_TRUE(titled("prize"));
  EXPECT_EQ(game.score, 4000 + subjectValue("ukazy_button:action"));
  send(MODE_UKAZY, MEVT_UKAZY_BTN);
  EXPECT_EQ(gstatCount("ball:xb"), 1);
  EXPECT_TRUE(titled("xball"));
  EXPECT_EQ(game.ballsLeft, balls + 1);
  send(MODE_UKAZY, MEVT_UKAZY_BTN);
  EXPECT_EQ(game.power, 7);
  EXPECT_EQ(game.saveTime, 0);  // the third decree saves no ball
  EXPECT_EQ(gstatCount("evt:ukazy"), 3);
  // Only the Kremlin's collected decrees count.
  gameSetUkazy(0, 0);
  send(MODE_UKAZY, MEVT_UKAZY_UKAZ);
  EXPECT_EQ(game.ukazy, 1);
}

TEST_F(Modes, TheFourthDecreeWithNoFeatureOnAlwaysPaysTheMafia) {
  game.presTerm = 3;
  for (int t = 0; t < 40; t++) {
    SCOPED_TRACE(t);
    tmTime = t;
    gameSetUkazy(4, 3);
    gameSetDuma(2);  // a crisis is not "on"
    game.score = 0;
    rulesCallClear();
    send(MODE_UKAZY, MEVT_UKAZY_BTN);
    EXPECT_TRUE(titled("mafia_payoff"));
    EXPECT_FALSE(titled("mafia_crisis"));
    EXPECT_EQ(macro("mafia_payoff"), "3.000");
    EXPECT_EQ(game.score, 3000 + subjectValue("ukazy_button:action"));
    EXPECT_EQ(game.ukazy, 0);
    EXPECT_EQ(lightGetState(LI_UKAZY_PRIZE), LIGHT_BLINK);
  }
}

TEST_F(Modes, TheMafiaPutsAFeatureThatIsOnIntoCrisisThreeTimesInFour) {
  int crises = 0, payoffs = 0;
  std::set<int> targets;
  const int runs = 400;
  for (int t = 0; t < runs; t++) {
    SCOPED_TRACE(t);
    tmTime = 1000.0 * t;  // the draw starts from the game clock
    gameSetDuma(1);
    gameSetZona(0);
    gameSetBd(0);
    gameSetGp(1);
    gameSetUkazy(4, 3);
    rulesCallClear();
    game.score = 0;
    send(MODE_UKAZY, MEVT_UKAZY_BTN);
    if (titled("mafia_crisis")) {
      crises++;
      EXPECT_TRUE(titled("crisis"));
      EXPECT_EQ(game.score, subjectValue("ukazy_button:action"));  // no payoff
      const bool duma = game.duma == 2, gp = game.gp == 2;
      EXPECT_NE(duma, gp) << "exactly one feature in crisis";
      targets.insert(duma ? GNM_FEATURE_DUMA : GNM_FEATURE_GP);
      EXPECT_EQ(macro("crisis_where"), duma ? "ДУМЕ" : "ГАЗПРОМЕ");
      EXPECT_EQ(macro("crisis_name"), duma ? "ИЗМЕНА" : "АВАРИЯ");
    } else {
      payoffs++;
      EXPECT_TRUE(titled("mafia_payoff"));
      EXPECT_EQ(game.duma, 1);
      EXPECT_EQ(game.gp, 1);
    }
  }
  EXPECT_EQ(crises + payoffs, runs);
  EXPECT_GT(crises, runs * 65 / 100);
  EXPECT_LT(crises, runs * 85 / 100);
  EXPECT_EQ(targets, (std::set<int>{GNM_FEATURE_DUMA, GNM_FEATURE_GP}));
  // The same clocks during the elections: the mafia only pays.
  game.mission = MISSION_ELECTIONS;
  for (int t = 0; t < 40; t++) {
    tmTime = 1000.0 * t;
    gameSetUkazy(4, 3);
    rulesCallClear();
    send(MODE_UKAZY, MEVT_UKAZY_BTN);
    EXPECT_FALSE(titled("mafia_crisis")) << t;
  }
}

TEST_F(Modes, TheFeaturesCrisesNameTheirPlaces) {
  struct Case {
    int feature;
    const char* where;
    const char* name;
    int* state;
  } cases[] = {{GNM_FEATURE_DUMA, "ДУМЕ", "ИЗМЕНА", &game.duma},
               {GNM_FEATURE_ZONA, "ЗОНЕ", "БУНТ", &game.zona},
               {GNM_FEATURE_BD, "БЕЛОМ ДОМЕ", "ПУТЧ", &game.bd},
               {GNM_FEATURE_GP, "ГАЗПРОМЕ", "АВАРИЯ", &game.gp}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    rulesCallClear();
    gameStartCrisis(c.feature);
    EXPECT_EQ(*c.state, 2);
    EXPECT_EQ(macro("crisis_where"), c.where);
    EXPECT_EQ(macro("crisis_name"), c.name);
    EXPECT_TRUE(titled("crisis"));
  }
  gameStartCrisis(7);
  EXPECT_EQ(macro("crisis_where"), "SOMEWHERE");
  EXPECT_EQ(macro("crisis_name"), "SOMETHING");
}

// ---- Duma vote ----

TEST_F(Modes, TheDumaVotesFromAQuorumOf98AndAlwaysLetsTheBallGo) {
  for (double quorum : {97.9, 98.0}) {
    SCOPED_TRACE(quorum);
    FakeTable::ballRequests.clear();
    rulesCallClear();
    gameSetQuorum(quorum);
    // The quorum lamp lights as the gauge comes up to the vote's quorum.
    EXPECT_EQ(gstatCount("evt:quorum"), quorum >= 98 ? 1 : 0);
    send(MODE_VOTE, MEVT_BEGIN);
    EXPECT_EQ(FakeTable::ballRequests, std::vector<int>{1});  // one free ball
    const bool voted = titled("dumavote0") || titled("dumavote1") || titled("dumavote2");
    EXPECT_EQ(voted, quorum >= 98);
    EXPECT_EQ(gstatCount("evt:dumavote"), quorum >= 98 ? 1 : 0);
    EXPECT_EQ(game.quorum, quorum >= 98 ? 0 : quorum);  // the vote empties the gauge
  }
}

TEST_F(Modes, ADumaVoteOfImpeachmentWithTheDeputyQueuedIsDrawnAgain) {
  // The vote of each clock with and without the deputy waiting.
  auto vote = [](double clock) {
    tmTime = clock;
    gameSetQuorum(100);
    rulesCallClear();
    send(MODE_VOTE, MEVT_BEGIN);
    for (int v = 0; v < 3; v++)
      if (titled("dumavote" + std::to_string(v))) return v;
    return -1;
  };
  int impeachments = 0;
  for (int t = 0; t < 60; t++) {
    SCOPED_TRACE(t);
    gameClearSubgames();
    const int free = vote(t);
    gameClearSubgames();
    gameAllowSubgame(1);
    const int queued = vote(t);
    EXPECT_EQ(game.subgameQueue, 1);  // no second deputy
    EXPECT_NE(queued, 1);
    if (free == 1) {
      impeachments++;
      EXPECT_GE(queued, 0);
    } else {
      EXPECT_EQ(queued, free);  // a first draw of 0 or 2 stands
    }
  }
  EXPECT_GT(impeachments, 0);
}

TEST_F(Modes, TheDumaVotesOutcomes) {
  // The clocks of the three outcomes, found by voting.
  int clockOf[3] = {-1, -1, -1};
  for (int t = 0; t < 60; t++) {
    tmTime = t;
    gameClearSubgames();
    gameSetQuorum(100);
    rulesCallClear();
    send(MODE_VOTE, MEVT_BEGIN);
    for (int v = 0; v < 3; v++)
      if (titled("dumavote" + std::to_string(v)) && clockOf[v] < 0) clockOf[v] = t;
  }
  for (int v = 0; v < 3; v++) ASSERT_GE(clockOf[v], 0) << v;

  gameReset();
  gameRefreshLamps();
  game.presTerm = 2;
  gameSetGasPercent(37);
  auto vote = [](int clock) {
    tmTime = clock;
    gameSetQuorum(100);
    rulesCallClear();
    FakeTable::ballRequests.clear();
    send(MODE_VOTE, MEVT_BEGIN);
    EXPECT_EQ(FakeTable::ballRequests, std::vector<int>{1});
  };
  vote(clockOf[0]);
  EXPECT_TRUE(titled("xb_lit"));
  EXPECT_EQ(lightGetState(LI_XB0), LIGHT_ON);
  vote(clockOf[1]);
  EXPECT_TRUE(titled("dumavote_impeach"));
  EXPECT_TRUE(titled("subgame_avail"));
  ASSERT_EQ(game.subgameQueue, 1);
  EXPECT_EQ(game.subgames[0], 1);
  vote(clockOf[2]);
  EXPECT_TRUE(titled("dumavote_export"));
  EXPECT_TRUE(titled("export_collect"));
  EXPECT_EQ(game.score, 5000 * (3 + 1) * 2);
  EXPECT_EQ(macro("export_value"), "40.000");
  EXPECT_EQ(game.gasPercent, 0);
}

// ---- Tax ----

TEST_F(Modes, TaxRisesAtTheWhiteHouseWhileItIsOn) {
  send(MODE_TAX, MEVT_T8);  // "bd" off: nothing
  EXPECT_EQ(game.tax, 0);
  EXPECT_FALSE(titled("tax"));
  gameSetBd(1);
  for (int level = 1; level <= 4; level++) {
    send(MODE_TAX, MEVT_T8);
    EXPECT_EQ(game.tax, level);
  }
  EXPECT_EQ(macro("tax_value"), "800");
  EXPECT_EQ(titles("tax"), 4);
  // Not during the "bd" mission or the elections.
  for (int mission : {static_cast<int>(MISSION_BD), static_cast<int>(MISSION_ELECTIONS)}) {
    game.mission = mission;
    send(MODE_TAX, MEVT_T8);
    EXPECT_EQ(game.tax, 4);
    EXPECT_EQ(game.bd, 1);
  }
}

TEST_F(Modes, TaxAtLevelFourBringsTheWhiteHouseCrisisAndThePutsch) {
  for (int floor : {0, 2}) {
    SCOPED_TRACE(floor);
    missionReset();
    game.taxFloor = floor;
    gameSetBd(1);
    gameSetTax(4);
    rulesCallClear();
    send(MODE_TAX, MEVT_T8);
    EXPECT_EQ(game.tax, floor);
    EXPECT_EQ(game.bd, 2);
    EXPECT_EQ(macro("crisis_where"), "БЕЛОМ ДОМЕ");
    EXPECT_EQ(macro("crisis_name"), "ПУТЧ");
    EXPECT_TRUE(titled("crisis"));
    EXPECT_EQ(game.mission, MISSION_PUTSCH);
    EXPECT_EQ(gstatCount("msn:bd_crisis"), floor == 0 ? 1 : 2);
  }
  // With a mission running the crisis comes alone.
  missionReset();
  missionStart(MISSION_GASPROM);
  gameSetBd(1);
  gameSetTax(4);
  send(MODE_TAX, MEVT_T8);
  EXPECT_EQ(game.bd, 2);
  EXPECT_EQ(game.mission, MISSION_GASPROM);
}

TEST_F(Modes, TaxFallsToItsFloorOnAReset) {
  gameSetTax(3);
  game.taxFloor = 1;
  send(MODE_ALL, MEVT_ABORT);
  EXPECT_EQ(game.tax, 1);
}

// ---- Prizes ----

TEST_F(Modes, PrizesPayOnTheirLanesOnlyWhileBlinking) {
  game.presTerm = 2;
  send(MODE_PRIZES, MEVT_T2);
  send(MODE_PRIZES, MEVT_T7);
  EXPECT_EQ(game.score, 0);
  EXPECT_FALSE(titled("prize"));

  send(MODE_PRIZES, MEVT_LAW_ALL);
  send(MODE_PRIZES, MEVT_T7);  // the other lane
  EXPECT_EQ(game.score, 0);
  send(MODE_PRIZES, MEVT_T2);
  EXPECT_EQ(game.score, 6000);
  EXPECT_EQ(macro("prize_text"), "ПРЕМИЯ ДУМЫ");
  EXPECT_EQ(macro("prize_value"), "6.000");
  EXPECT_EQ(gstatCount("evt:law_prize"), 1);
  EXPECT_EQ(lightGetState(LI_LAW_PRIZE), LIGHT_OFF);
  send(MODE_PRIZES, MEVT_T2);  // paid once
  EXPECT_EQ(game.score, 6000);

  send(MODE_PRIZES, MEVT_UKAZY_ALL);
  send(MODE_PRIZES, MEVT_T7);
  EXPECT_EQ(game.score, 6000 + 8000);
  EXPECT_EQ(macro("prize_text"), "ПРЕЗИДЕНТСКАЯ\\nПРЕМИЯ");
  EXPECT_EQ(gstatCount("evt:ukazy_prize"), 1);

  send(MODE_PRIZES, MEVT_UKAZY_ALL);
  send(MODE_ALL, MEVT_ABORT);  // a lost ball takes the prize
  EXPECT_EQ(lightGetState(LI_UKAZY_PRIZE), LIGHT_OFF);
  send(MODE_PRIZES, MEVT_T7);
  EXPECT_EQ(game.score, 14000);
}

// ---- Question ----

TEST_F(Modes, TheQuestionButtonOpensTheYesLaneUntilItsDeadline) {
  send(MODE_QUESTION, MEVT_QUESTION_BTN);
  EXPECT_EQ(lightGetState(LI_T4ARROW), LIGHT_BLINK);
  EXPECT_EQ(game.score, subjectValue("question_button:action"));
  update(9999);  // "question.timeout" 10 s
  EXPECT_EQ(lightGetState(LI_T4ARROW), LIGHT_BLINK);
  update(1);
  EXPECT_EQ(lightGetState(LI_T4ARROW), LIGHT_OFF);
  send(MODE_QUESTION, MEVT_T4);  // too late
  EXPECT_FALSE(rulesCallSeen("missionStart 4"));

  // A second press while lit scores less and gives the full time again.
  game.score = 0;
  send(MODE_QUESTION, MEVT_QUESTION_BTN);
  update(6000);
  send(MODE_QUESTION, MEVT_QUESTION_BTN);
  EXPECT_EQ(game.score, subjectValue("question_button:action") + subjectValue("question_button"));
  update(9999);
  EXPECT_EQ(lightGetState(LI_T4ARROW), LIGHT_BLINK);
  send(MODE_QUESTION, MEVT_T4);
  EXPECT_TRUE(rulesCallSeen("missionStart 4"));
  EXPECT_EQ(gstatCount("msn:q_begin"), 1);
}

TEST_F(Modes, TheQuestionWaitsWhileAMissionRuns) {
  missionStart(MISSION_GASPROM);
  send(MODE_QUESTION, MEVT_QUESTION_BTN);
  EXPECT_EQ(game.score, subjectValue("question_button"));
  send(MODE_QUESTION, MEVT_T4);
  EXPECT_EQ(game.mission, MISSION_GASPROM);
  // A mission that starts while the lane is open closes it.
  missionReset();
  send(MODE_QUESTION, MEVT_QUESTION_BTN);
  EXPECT_EQ(lightGetState(LI_T4ARROW), LIGHT_BLINK);
  missionStart(MISSION_BD);
  EXPECT_EQ(lightGetState(LI_T4ARROW), LIGHT_OFF);
  // A mission's own yes arrow is left alone by the frames.
  missionReset();
  lightSet(LI_T4ARROW, LIGHT_BLINK);
  game.mission = MISSION_BLESSING;
  update(20000);
  EXPECT_EQ(lightGetState(LI_T4ARROW), LIGHT_BLINK);
  // During the elections the button scores for them.
  game.mission = MISSION_ELECTIONS;
  game.score = 0;
  send(MODE_QUESTION, MEVT_QUESTION_BTN);
  EXPECT_EQ(game.score, subjectValue("question_button:pres"));
}

TEST_F(Modes, SetupReadsTheTimeoutsOfTheModes) {
  ScopedChdir cd(dir.path);
  EXPECT_EQ(setupModes(0), 0);  // no file: the defaults
  ASSERT_EQ(mkdir("conf", 0755), 0);
  writeFile(dir.file("conf/modes.conf"), "[question]\ntimeout = 3\n[steal]\ntimeout = 1.5\n");
  ASSERT_EQ(setupModes(0), 1);
  send(MODE_QUESTION, MEVT_QUESTION_BTN);
  send(MODE_STEAL, MEVT_ZONA_BUTTONS);
  update(1499);
  EXPECT_EQ(lightGetState(LI_T3ARROW), LIGHT_BLINK);
  update(1);
  EXPECT_EQ(lightGetState(LI_T3ARROW), LIGHT_OFF);
  update(1499);
  EXPECT_EQ(lightGetState(LI_T4ARROW), LIGHT_BLINK);
  update(1);
  EXPECT_EQ(lightGetState(LI_T4ARROW), LIGHT_OFF);
}

// ---- Opponent ----

TEST_F(Modes, BothOpponentArrowsInTimeQueueTheBoxing) {
  send(MODE_OPPONENT, MEVT_SPIRALBTN);
  EXPECT_EQ(lightGetState(LI_T9ARROW), LIGHT_BLINK);
  EXPECT_EQ(lightGetState(LI_T10ARROW), LIGHT_BLINK);
  send(MODE_OPPONENT, MEVT_T9);
  send(MODE_OPPONENT, MEVT_T9);  // the same arrow twice is not both
  EXPECT_EQ(lightGetState(LI_T9ARROW), LIGHT_ON);
  EXPECT_FALSE(titled("opponent"));
  update(1999);  // "opponent.timeout" 2 s
  send(MODE_OPPONENT, MEVT_T10);
  EXPECT_TRUE(titled("opponent"));
  EXPECT_TRUE(titled("subgame_avail"));
  ASSERT_EQ(game.subgameQueue, 1);
  EXPECT_EQ(game.subgames[0], 0);
  EXPECT_EQ(lightGetState(LI_T9ARROW), LIGHT_OFF);
  EXPECT_EQ(lightGetState(LI_T10ARROW), LIGHT_OFF);
}

TEST_F(Modes, TheOpponentArrowsGoOutAtTheirDeadline) {
  send(MODE_OPPONENT, MEVT_SPIRALBTN);
  send(MODE_OPPONENT, MEVT_T9);
  update(1999);
  EXPECT_EQ(lightGetState(LI_T10ARROW), LIGHT_BLINK);
  update(1);
  EXPECT_EQ(lightGetState(LI_T9ARROW), LIGHT_OFF);
  EXPECT_EQ(lightGetState(LI_T10ARROW), LIGHT_OFF);
  send(MODE_OPPONENT, MEVT_T10);
  EXPECT_FALSE(titled("opponent"));
  EXPECT_EQ(game.subgameQueue, 0);
  // The elections keep the spiral button from opening them, and close them.
  send(MODE_OPPONENT, MEVT_SPIRALBTN);
  game.mission = MISSION_ELECTIONS;
  update(1);
  EXPECT_EQ(lightGetState(LI_T9ARROW), LIGHT_OFF);
  send(MODE_OPPONENT, MEVT_SPIRALBTN);
  EXPECT_EQ(lightGetState(LI_T9ARROW), LIGHT_OFF);
}

// ---- Steal ----

TEST_F(Modes, TheZoneButtonsOpenTheMagnetWhenTheZoneIsOn) {
  send(MODE_STEAL, MEVT_ZONA_BUTTONS);  // zone off: the lane only
  EXPECT_TRUE(FakeTable::commands.empty());
  EXPECT_EQ(game.zonaCapture, 0);
  EXPECT_EQ(lightGetState(LI_T3ARROW), LIGHT_BLINK);
  send(MODE_STEAL, MEVT_RESET);
  EXPECT_EQ(FakeTable::buttonReleases, 1);

  gameSetZona(1);
  send(MODE_STEAL, MEVT_ZONA_BUTTONS);
  EXPECT_EQ(FakeTable::commands, std::vector<int>{GAME_ZONA_OPEN});
  EXPECT_EQ(game.zonaCapture, 1);
  EXPECT_EQ(lightGetState(LI_T3ARROW), LIGHT_BLINK);
  // The magnet catches nothing in time: it closes at the deadline.
  FakeTable::zona = GAME_ZONA_MAGNET;
  update(9999);
  EXPECT_EQ(FakeTable::commands.size(), 1u);
  update(1);
  EXPECT_EQ(FakeTable::commands, (std::vector<int>{GAME_ZONA_OPEN, GAME_ZONA_CLOSE}));
  EXPECT_EQ(game.zonaCapture, 0);
  EXPECT_EQ(lightGetState(LI_T3ARROW), LIGHT_OFF);
  EXPECT_EQ(FakeTable::buttonReleases, 2);

  // Still holding a prisoner: nothing more, the buttons are to be made again.
  FakeTable::zona = GAME_ZONA_PRISONER;
  FakeTable::commands.clear();
  send(MODE_STEAL, MEVT_ZONA_BUTTONS);
  EXPECT_TRUE(FakeTable::commands.empty());
  EXPECT_EQ(lightGetState(LI_T3ARROW), LIGHT_OFF);
  EXPECT_EQ(FakeTable::buttonReleases, 3);
  update(20000);  // and the prisoner stays
  EXPECT_TRUE(FakeTable::commands.empty());
}

TEST_F(Modes, TheLaneToTheTubesStealsAPrisonerIntoPrison) {
  game.presTerm = 2;
  FakeTable::zona = GAME_ZONA_PRISONER;  // caught after the deadline ran out
  BoardObject ball{};
  ball.id = 3;
  ball.kind = BK_BALL;
  modeEvent(MODE_STEAL, MEVT_T3, 0, &ball);
  EXPECT_EQ(game.score, 12000);
  EXPECT_EQ(macro("steal_value"), "12.000");
  EXPECT_TRUE(titled("steal"));
  EXPECT_TRUE(titled("prison"));
  EXPECT_EQ(FakeTable::commands, std::vector<int>{GAME_ZONA_RELEASE});
  EXPECT_EQ(ball.kill, 0);  // the stealing ball plays on
  EXPECT_TRUE(FakeTable::tubes.empty());
}

TEST_F(Modes, TheLaneToTheTubesStealsOnlyBeforeTheDeadline) {
  for (double late : {9999.0, 10000.0}) {
    SCOPED_TRACE(late);
    rulesCallClear();
    FakeTable::tubes.clear();
    game.score = 0;
    send(MODE_STEAL, MEVT_ZONA_BUTTONS);
    tmTime += late;  // no frame: the lane decides by the clock alone
    BoardObject ball{};
    ball.id = 3;
    ball.kind = BK_BALL;
    modeEvent(MODE_STEAL, MEVT_T3, 0, &ball);
    const bool inTime = late < 10000;
    EXPECT_EQ(game.score, inTime ? 6000 : 0);
    EXPECT_EQ(titled("steal"), inTime);
    EXPECT_TRUE(titled("pipes_t3"));
    EXPECT_EQ(ball.kill, 1);  // the ball goes through the left tube
    EXPECT_EQ(FakeTable::tubes, std::vector<int>{0});
    if (inTime) {
      EXPECT_EQ(lightGetState(LI_T3ARROW), LIGHT_OFF);
    }
    send(MODE_STEAL, MEVT_RESET);
  }
  // Stolen once, the lane does not pay twice.
  send(MODE_STEAL, MEVT_ZONA_BUTTONS);
  BoardObject ball{};
  ball.kind = BK_BALL;
  game.score = 0;
  modeEvent(MODE_STEAL, MEVT_T3, 0, &ball);
  modeEvent(MODE_STEAL, MEVT_T3, 0, &ball);
  EXPECT_EQ(game.score, 6000);
}

TEST_F(Modes, ADrainWithAPrisonerHeldGrantsAnAmnesty) {
  send(MODE_STEAL, MEVT_ZONA_AMNESTY);  // nobody held
  EXPECT_TRUE(FakeTable::commands.empty());
  EXPECT_FALSE(titled("amnesty"));
  FakeTable::zona = GAME_ZONA_PRISONER;
  send(MODE_STEAL, MEVT_ZONA_AMNESTY);
  EXPECT_EQ(FakeTable::commands, std::vector<int>{GAME_ZONA_RELEASE});
  EXPECT_EQ(lightGetState(LI_AMNESTY), LIGHT_BLINK);
  EXPECT_TRUE(titled("amnesty"));
}

// ---- Dispatch ----

TEST_F(Modes, EventsGoToOneModeOrToAllAndUnknownModesAreIgnored) {
  static std::vector<int> seen;
  seen.clear();
  modeSetTap([](int mode, int event, int, BoardObject*) { seen.push_back(mode * 100 + event); });
  gameSetBd(1);
  for (int mode : {-1, int{MODE_NONE}, int{MODE_COUNT}, 99}) send(mode, MEVT_T8);
  EXPECT_EQ(game.tax, 0);
  send(MODE_LAWS, MEVT_T8);  // not the tax mode's
  EXPECT_EQ(game.tax, 0);
  send(MODE_ALL, MEVT_T8);
  EXPECT_EQ(game.tax, 1);
  send(MODE_TAX, MEVT_T8);
  EXPECT_EQ(game.tax, 2);
  modeSetTap(nullptr);
  send(MODE_TAX, MEVT_T8);
  EXPECT_EQ(seen, (std::vector<int>{-100 + MEVT_T8, 200 + MEVT_T8, 1100 + MEVT_T8, 9900 + MEVT_T8,
                                    400 + MEVT_T8, MEVT_T8, 700 + MEVT_T8}));
}

}  // namespace
