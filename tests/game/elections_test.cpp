// The presidential elections on lamps without sprites: their begin, the
// vote, the deadline, the quorum, the winner and what each outcome does to
// the term, the regime and the features. Without titles a chained step runs
// at once; the fixture with titles plays them to see what waits for which.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <set>
#include <string>

#include "anim/lights.h"
#include "anim/page.h"
#include "anim/title.h"
#include "core/calls.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/random.h"
#include "core/text.h"
#include "core/time.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "game/trigger.h"
#include "physics/opr.h"
#include "support/memscreen.h"
#include "support/testutil.h"

namespace {

constexpr int kLaneEvent[6] = {MEVT_T1, MEVT_T2, MEVT_T4, MEVT_T5, MEVT_T7, MEVT_T8};
constexpr int kLaneArrow[6] = {LI_T1ARROW, LI_T2ARROW, LI_T4ARROW, LI_T5ARROW, LI_T7ARROW, LI_T8ARROW};
constexpr int kCandidateArrow[3][6] = {
    {LI_T1ARROW_COMM, LI_T2ARROW_COMM, LI_T4ARROW_COMM, LI_T5ARROW_COMM, LI_T7ARROW_COMM, LI_T8ARROW_COMM},
    {LI_T1ARROW_DEMO, LI_T2ARROW_DEMO, LI_T4ARROW_DEMO, LI_T5ARROW_DEMO, LI_T7ARROW_DEMO, LI_T8ARROW_DEMO},
    {LI_T1ARROW_DICT, LI_T2ARROW_DICT, LI_T4ARROW_DICT, LI_T5ARROW_DICT, LI_T7ARROW_DICT, LI_T8ARROW_DICT},
};
constexpr int kVoteValue = 1000;

std::string macro(const char* name) {
  const char* v = titleMacro(name);
  return v ? cp1251ToUtf8(v) : "<unset>";
}

struct Elections : ::testing::Test {
  ConfSet bigscore{};
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    lightInit();
    gameSetRegime(REGIME_COMM);
    gameReset();
    missionReset();
    gameSetFrameRate(60);
    gameSetCrisisTimeout(2);
    rndSeed(7);
    tmTime = 0;
    titleClearMacros();
    rulesCallClear();
    gameRefreshLamps();
    const std::string text = "[pres]\nvote_value = 1000\n";
    ASSERT_EQ(confParseText(&bigscore, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, "b"), 0);
    gameSetBigscore(&bigscore);
  }
  void TearDown() override {
    missionFree();
    gameSetRegime(REGIME_COMM);
    gameReset();
    gameSetBigscore(nullptr);
    conf_free(&bigscore);
    lightFree();
    titleClearMacros();
    rulesCallClear();
    rndSeed(1);
    tmTime = 0;
    logReset();
  }
  static void update(double ms) {
    tmTime += ms;
    missionEvent(MEVT_UPDATE, 0, 0);
  }
  // The lane whose arrow shows the candidate, -1 when none does.
  static int laneOf(int candidate) {
    for (int i = 0; i < 6; i++)
      if (lightGetState(kCandidateArrow[candidate][i]) == LIGHT_BLINK) return i;
    return -1;
  }
  static int candidateArrowsLit() {
    int n = 0;
    for (const auto& row : kCandidateArrow)
      for (int l : row) n += lightGetState(l) > LIGHT_OFF;
    return n;
  }
  static void hitLane(int lane) { missionEvent(kLaneEvent[lane], 0, 0); }
  static void voteFor(int candidate) {
    const int lane = laneOf(candidate);
    ASSERT_GE(lane, 0) << "candidate " << candidate << " is on no lane";
    hitLane(lane);
  }
  // The elections begin and the first lane hit opens the vote.
  static void openVote() {
    missionStart(MISSION_ELECTIONS);
    hitLane(0);
  }
  // Votes cast in order, then the time runs out.
  static void electWith(std::initializer_list<int> votes) {
    openVote();
    for (int c : votes) voteFor(c);
    update(3000);
  }
  // n game steps of one frame period each.
  static void ticks(int n) {
    for (int i = 0; i < n; i++) {
      tmTime += 1000.0 / 60;
      gameTick(1000.0 / 60);
    }
  }
};

TEST_F(Elections, TheyBeginWithTheSixLanesBlinkingAndTheGameOnHold) {
  gameAllowSubgame(0);
  gameAllowSubgame(2);
  StderrCapture err;
  logPrint("STDERR 1");
  static int aborts;
  aborts = 0;
  modeSetTap([](int mode, int event, int, BoardObject*) { aborts += mode == MODE_ALL && event == MEVT_ABORT; });
  missionStart(MISSION_ELECTIONS);
  modeSetTap(nullptr);
  logPrint("STDERR 0");
  const std::string log = err.finish();
  EXPECT_EQ(game.mission, MISSION_ELECTIONS);
  EXPECT_NE(log.find("--- all_triggers 9/TR_PRES_BEGIN ---"), std::string::npos) << log;
  EXPECT_EQ(aborts, 1);  // every mode aborted
  EXPECT_TRUE(rulesCallSeen("startBackTitle pres_begin"));
  EXPECT_EQ(lightGetState(LI_VYBORY), LIGHT_BLINK);
  for (int l : kLaneArrow) EXPECT_EQ(lightGetState(l), LIGHT_BLINK) << lightName(l);
  EXPECT_LE(lightGetState(LI_T3ARROW), LIGHT_OFF);
  EXPECT_LE(lightGetState(LI_T6ARROW), LIGHT_OFF);
  EXPECT_EQ(candidateArrowsLit(), 0);
  EXPECT_DOUBLE_EQ(game.saveTime, 110.1);
  EXPECT_EQ(game.subgameQueue, 0);
  EXPECT_EQ(lightGetState(LI_VIDEO), LIGHT_OFF);
  // Until a lane is hit no clock runs: they wait however long it takes.
  update(600000);
  EXPECT_EQ(game.mission, MISSION_ELECTIONS);
  EXPECT_EQ(macro("pres_time"), "<unset>");
  // The selection and question buttons add no time before the vote either.
  missionElectionsAddTime();
  hitLane(3);
  update(2999);
  EXPECT_EQ(game.mission, MISSION_ELECTIONS);
  update(1);
  EXPECT_EQ(game.mission, -1);
}

TEST_F(Elections, TheFirstLaneHitOpensTheVoteWithTheCandidatesOnLanesOfTheirOwn) {
  missionStart(MISSION_ELECTIONS);
  hitLane(4);
  EXPECT_EQ(game.score, 0);  // opening is no vote
  EXPECT_EQ(lightGetState(LI_VYBORY), LIGHT_ON);
  EXPECT_TRUE(rulesCallSeen("startBackTitle pres_progress"));
  for (int l : kLaneArrow) EXPECT_EQ(lightGetState(l), LIGHT_OFF) << lightName(l);
  std::set<int> lanes = {laneOf(0), laneOf(1), laneOf(2)};
  EXPECT_EQ(lanes.size(), 3u);
  EXPECT_EQ(lanes.count(-1), 0u);
  EXPECT_EQ(candidateArrowsLit(), 3);
  // The clock in whole seconds rounded up, and the quorum.
  EXPECT_EQ(macro("pres_time"), "0:03");
  EXPECT_EQ(macro("pres_quorum_text"), "МИНИМУМ ГОЛОСОВ:");
  EXPECT_EQ(macro("pres_quorum"), "1");
  update(1);
  EXPECT_EQ(macro("pres_time"), "0:03");
  update(999);
  EXPECT_EQ(macro("pres_time"), "0:02");
  update(1999);
  EXPECT_EQ(macro("pres_time"), "0:01");
  // A lane without a candidate counts nothing.
  int empty = 0;
  while (lanes.count(empty)) empty++;
  hitLane(empty);
  EXPECT_EQ(game.score, 0);
  EXPECT_EQ(macro("pres_quorum"), "1");
}

TEST_F(Elections, EachVoteIsPaidAndTheCandidateMovesToAFreeLane) {
  openVote();
  int stayed = 0, moved = 0;
  for (int i = 0; i < 30; i++) {
    const int c = i % 3;
    const int before = laneOf(c);
    voteFor(c);
    const std::set<int> lanes = {laneOf(0), laneOf(1), laneOf(2)};
    ASSERT_EQ(lanes.size(), 3u) << "vote " << i;
    ASSERT_EQ(lanes.count(-1), 0u) << "vote " << i;
    ASSERT_EQ(candidateArrowsLit(), 3) << "vote " << i;
    (laneOf(c) == before ? stayed : moved)++;
  }
  EXPECT_GT(stayed, 0);  // its own lane is free for it
  EXPECT_GT(moved, 0);
  EXPECT_EQ(game.score, 30 * kVoteValue);
  EXPECT_EQ(macro("pres_votes"), "10");
  EXPECT_TRUE(rulesCallSeen("startForeTitle vote_dict"));
  EXPECT_EQ(macro("pres_quorum"), "");
  EXPECT_EQ(macro("pres_quorum_text"), "");
}

TEST_F(Elections, TheVoteClosesAtItsDeadlineAndTheButtonsExtendIt) {
  openVote();
  update(2999);
  EXPECT_EQ(game.mission, MISSION_ELECTIONS);
  update(1);
  EXPECT_EQ(game.mission, -1);

  openVote();
  update(1000);
  missionElectionsAddTime();  // "pres.timeadd" 3 s
  EXPECT_EQ(macro("pres_time"), "0:02");
  update(0);
  EXPECT_EQ(macro("pres_time"), "0:05");
  update(4999);
  EXPECT_EQ(game.mission, MISSION_ELECTIONS);
  update(1);
  EXPECT_EQ(game.mission, -1);
  // No elections, no extra time (and no crash).
  missionElectionsAddTime();
  EXPECT_EQ(game.mission, -1);
}

TEST_F(Elections, WithoutTheQuorumTheTermEndsAndEveryFeatureOnFallsIntoCrisis) {
  // Quorum 1: no vote is one too few; one vote is enough.
  gameSetPresTerm(3);
  gameSetDuma(1);
  gameSetBd(1);
  gameSetGp(1);
  gameAllowSubgame(1);
  electWith({});
  EXPECT_EQ(game.mission, -1);
  EXPECT_TRUE(rulesCallSeen("startForeTitle pres_incomplete"));
  EXPECT_EQ(game.presTerm, 1);
  EXPECT_EQ(lightGetState(LI_PRES_3RD), LIGHT_OFF);
  EXPECT_EQ(game.duma, 2);
  EXPECT_EQ(game.zona, 0);  // it was off
  EXPECT_EQ(game.bd, 2);
  EXPECT_EQ(game.gp, 2);
  EXPECT_EQ(rulesCallTimes("startForeTitle crisis"), 3);
  EXPECT_EQ(game.pendingRegime, -1);
  // What the elections held comes back.
  EXPECT_DOUBLE_EQ(game.saveTime, 5);
  EXPECT_EQ(game.subgameQueue, 1);
  EXPECT_EQ(lightGetState(LI_VIDEO), LIGHT_BLINK);

  gameSetPresTerm(2);
  electWith({1});
  EXPECT_EQ(rulesCallTimes("startForeTitle crisis"), 3);
  EXPECT_TRUE(rulesCallSeen("startForeTitle pres_complete"));
  EXPECT_EQ(game.pendingRegime, REGIME_DEMO);
}

TEST_F(Elections, EveryWonElectionRaisesTheNextQuorumUntilANewGame) {
  electWith({0});
  EXPECT_EQ(game.presTerm, 2);
  // Quorum 2 now: one vote is short, two make it.
  rulesCallClear();
  electWith({0});
  EXPECT_TRUE(rulesCallSeen("startForeTitle pres_incomplete"));
  EXPECT_EQ(game.presTerm, 1);
  openVote();
  EXPECT_EQ(macro("pres_quorum"), "2");
  voteFor(0);
  EXPECT_EQ(macro("pres_quorum"), "1");
  voteFor(0);
  update(3000);
  EXPECT_EQ(game.presTerm, 2);
  gameNewGame();
  openVote();
  EXPECT_EQ(macro("pres_quorum"), "1");
}

// The last vote counts twice; then dict wins with at least the votes of each
// other candidate, demo with at least those of comm, comm otherwise.
TEST_F(Elections, TheWinnerRule) {
  struct Case {
    const char* what;
    std::initializer_list<int> votes;  // in order; the last one counts twice
    int winner;
  };
  const Case cases[] = {
      {"dict ahead", {0, 1, 2}, REGIME_DICT},                // 1 1 2
      {"dict ties comm", {0, 0, 2}, REGIME_DICT},            // 2 0 2
      {"dict ties demo", {1, 1, 2}, REGIME_DICT},            // 0 2 2
      {"all tie", {1, 2, 1, 2, 0}, REGIME_DICT},             // 2 2 2
      {"dict one short of demo", {2, 1}, REGIME_DEMO},       // 0 2 1
      {"demo ties comm", {0, 0, 1}, REGIME_DEMO},            // 2 2 0
      {"demo one short of comm", {1, 0}, REGIME_COMM},       // 2 1 0
      {"dict one short of comm", {2, 0}, REGIME_COMM},       // 2 0 1
      {"one vote for comm", {0}, REGIME_COMM},               // 2 0 0
  };
  const char* const chosen[3] = {"КОММУНИЗМ", "ДЕМОКРАТИЮ", "ДИКТАТУРУ"};
  const char* const flags[3][3] = {{"red", "red", "red"}, {"white", "blue", "red"}, {"dred", "dred", "dred"}};
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    gameReset();
    missionReset();
    gameSetRegime(REGIME_DEMO);
    electWith(k.votes);
    EXPECT_EQ(macro("pres_complete_regime"), chosen[k.winner]);
    EXPECT_EQ(macro("pres_complete_color1"), flags[k.winner][0]);
    EXPECT_EQ(macro("pres_complete_color2"), flags[k.winner][1]);
    EXPECT_EQ(macro("pres_complete_color3"), flags[k.winner][2]);
    EXPECT_EQ(game.pendingRegime, k.winner == REGIME_DEMO ? -1 : k.winner);
  }
}

TEST_F(Elections, AReElectedRegimeServesAtMostThreeTermsAnotherStartsAtOne) {
  gameSetRegime(REGIME_DICT);
  for (int expected : {2, 3, 3}) {
    game.presQuorumSteps = 0;
    electWith({2});
    EXPECT_EQ(game.presTerm, expected);
    EXPECT_EQ(game.pendingRegime, -1);
  }
  EXPECT_EQ(lightGetState(LI_PRES_2ND), LIGHT_ON);
  EXPECT_EQ(lightGetState(LI_PRES_3RD), LIGHT_ON);
  game.presQuorumSteps = 0;
  electWith({1});
  EXPECT_EQ(game.presTerm, 1);
  EXPECT_EQ(game.pendingRegime, REGIME_DEMO);
  EXPECT_EQ(game.regime, REGIME_DICT);  // the session switches it
}

TEST_F(Elections, CompletedOrAbortedTheyPutEverythingBack) {
  gameAllowSubgame(2);
  gameAllowSubgame(0);
  for (bool abort : {false, true}) {
    SCOPED_TRACE(abort ? "aborted" : "completed");
    openVote();
    voteFor(1);
    EXPECT_EQ(game.subgameQueue, 0);
    // The year's save time does not run down during the elections.
    ticks(60);
    EXPECT_DOUBLE_EQ(game.saveTime, 110.1);
    if (abort)
      missionAbort();
    else
      update(3000);
    EXPECT_EQ(game.mission, -1);
    EXPECT_EQ(lightGetState(LI_VYBORY), LIGHT_OFF);
    for (int l : kLaneArrow) EXPECT_EQ(lightGetState(l), LIGHT_OFF) << lightName(l);
    EXPECT_EQ(candidateArrowsLit(), 0);
    EXPECT_DOUBLE_EQ(game.saveTime, 5);
    ASSERT_EQ(game.subgameQueue, 2);
    EXPECT_EQ(game.subgames[0], 2);
    EXPECT_EQ(game.subgames[1], 0);
    EXPECT_EQ(lightGetState(LI_VIDEO), LIGHT_BLINK);
    ticks(60);
    EXPECT_NEAR(game.saveTime, 5 - 60 * 0.0166, 1e-9);
  }
  // Aborted before the vote: the lanes go dark too.
  missionStart(MISSION_ELECTIONS);
  missionAbort();
  for (int l : kLaneArrow) EXPECT_EQ(lightGetState(l), LIGHT_OFF) << lightName(l);
  EXPECT_EQ(lightGetState(LI_VYBORY), LIGHT_OFF);
}

TEST_F(Elections, TheYearCallsThemAt2004NotBefore) {
  game.year = 2004.0 - 2.0 / 3600;
  ticks(1);
  EXPECT_LT(game.year, 2004.0);
  EXPECT_EQ(game.mission, -1);
  ticks(1);
  EXPECT_EQ(game.year, 2004.0);
  EXPECT_EQ(game.mission, MISSION_ELECTIONS);
  EXPECT_EQ(lightGetState(LI_VYBORY), LIGHT_BLINK);
  ticks(600);
  EXPECT_EQ(game.year, 2004.0);  // the year waits for the elections
}

// ---- With titles: the steps that wait for a title's end ----

struct TitledElections : Elections, MemScreen {
  TempDir dir;
  void SetUp() override {
    Elections::SetUp();
    gsBuildBlendTable();
    ASSERT_TRUE(openScreen(64, 32));
    ASSERT_EQ(setupTitleContexts(40, 20), 1);
    ASSERT_EQ(mkdir(dir.file("titles").c_str(), 0755), 0);
    std::string text;
    for (const char* name : {"mission_aborted", "pres_begin", "pres_progress", "vote_comm", "vote_demo",
                             "vote_dict", "big_score", "pres_incomplete", "pres_complete", "crisis"})
      text += std::string("[") + name + "]\nplot0 = \"{reset}\"\ndelay0 = 100\n";
    const std::string path = dir.file("titles/elections.conf");
    writeFile(path, text);
    ConfSet set{};
    ASSERT_EQ(CONF_READ(&set, path.c_str()), 0);
    ASSERT_EQ(CONF_BINWRITE(&set, dir.file("titles/elections.bcf").c_str()), 0);
    conf_free(&set);
    ScopedChdir cd(dir.path);
    ASSERT_EQ(setupTitleAnimations(), 1);
  }
  void TearDown() override {
    titleUnload();
    objClearInfo();
    pageFreeFonts();
    pageFreeSprites();
    closeScreen();
    Elections::TearDown();
  }
  // Plays the titles 100 ms a frame until done holds (at most 20 frames).
  static bool playUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 20 && !done(); i++) titleFrame(100);
    return done();
  }
  static bool foreTitleIs(const char* name) { return titlePlaying(TITLE_FORE) == titleFind(name); }
};

TEST_F(TitledElections, TheFeaturesFallIntoCrisisOneTitleAfterAnother) {
  gameSetDuma(1);
  gameSetBd(1);
  gameSetGp(1);
  electWith({});
  EXPECT_TRUE(foreTitleIs("pres_incomplete"));
  EXPECT_EQ(game.duma, 1);
  ASSERT_TRUE(playUntil([] { return game.duma == 2; }));
  EXPECT_EQ(macro("crisis_where"), "ДУМЕ");
  EXPECT_EQ(game.bd, 1);
  ASSERT_TRUE(playUntil([] { return game.bd == 2; }));
  EXPECT_EQ(macro("crisis_name"), "ПУТЧ");
  EXPECT_EQ(macro("crisis_where"), "БЕЛОМ ДОМЕ");
  EXPECT_EQ(game.gp, 1);
  EXPECT_TRUE(foreTitleIs("crisis"));
  ASSERT_TRUE(playUntil([] { return game.gp == 2; }));
  EXPECT_EQ(macro("crisis_where"), "ГАЗПРОМЕ");
  ASSERT_TRUE(playUntil([] { return titlePlaying(TITLE_FORE) < 0; }));
  EXPECT_EQ(rulesCallTimes("startForeTitle crisis"), 3);
}

TEST_F(TitledElections, TheTermOrTheRegimeChangesWhenTheWinnersTitleEnds) {
  electWith({0});
  EXPECT_TRUE(foreTitleIs("pres_complete"));
  EXPECT_EQ(game.presTerm, 1);
  ASSERT_TRUE(playUntil([] { return titlePlaying(TITLE_FORE) < 0; }));
  EXPECT_EQ(game.presTerm, 2);
  // Each vote is paid, also when the next vote's title cuts the last one short.
  EXPECT_EQ(game.score, kVoteValue);
  game.presQuorumSteps = 0;
  openVote();
  voteFor(1);
  voteFor(1);
  EXPECT_TRUE(foreTitleIs("vote_demo"));
  EXPECT_EQ(game.score, 2 * kVoteValue);
  ASSERT_TRUE(playUntil([] { return foreTitleIs("big_score"); }));
  EXPECT_EQ(game.score, 3 * kVoteValue);
  update(3000);
  EXPECT_EQ(game.pendingRegime, -1);
  ASSERT_TRUE(playUntil([] { return titlePlaying(TITLE_FORE) < 0; }));
  EXPECT_EQ(game.pendingRegime, REGIME_DEMO);
  EXPECT_EQ(game.presTerm, 1);
}

TEST_F(TitledElections, ARunningMissionIsAbortedWhenItsTitleEnds) {
  missionStart(MISSION_DUMA);
  ASSERT_EQ(game.mission, MISSION_DUMA);
  game.year = 2004.0 - 1.0 / 3600;
  ticks(1);
  EXPECT_TRUE(foreTitleIs("mission_aborted"));
  EXPECT_EQ(game.mission, MISSION_DUMA);
  EXPECT_FALSE(rulesCallSeen("missionAbort"));
  ASSERT_TRUE(playUntil([] { return game.mission != MISSION_DUMA; }));
  EXPECT_TRUE(rulesCallSeen("missionAbort"));
  EXPECT_EQ(game.mission, MISSION_ELECTIONS);
  EXPECT_EQ(lightGetState(LI_VYBORY), LIGHT_BLINK);
}

// The configuration comes whole, with the mission symbols (the built game's
// sprites: the set-up needs them).
TEST_F(TitledElections, TheMissionConfigurationSetsTheirTimesAndQuorum) {
  ScopedChdir cd(dir.path);
  ASSERT_EQ(mkdir("conf", 0755), 0);
  std::string symbols = "[symbols]\n";
  for (int k = 0; k < 5; k++)
    for (const char* burst : {"", "-burst"})
      symbols += "symbol" + std::to_string(k) + (*burst ? "_explode" : "") + "_sprite = \"" + PB_GAME_DIR +
                 "/data/msym" + std::to_string(k) + burst + ".gsp\"\n";
  writeFile(dir.file("conf/mission.conf"),
            "[pres]\ntimeout = 75\ntimeadd = 10\nquorum = 2\nquorum_step = 3\n" + symbols);
  writeFile(dir.file("conf/question.conf"), "[q0]\nregime = \"comm\"\ntext = \"t\"\ncpw = \"c\"\n");
  ASSERT_EQ(gameSetupMissions(0), 1);
  openVote();
  EXPECT_EQ(macro("pres_time"), "1:15");
  EXPECT_EQ(macro("pres_quorum"), "2");
  missionElectionsAddTime();
  voteFor(0);
  voteFor(2);
  update(84999);
  EXPECT_EQ(game.mission, MISSION_ELECTIONS);
  update(1);
  EXPECT_EQ(game.mission, -1);
  EXPECT_TRUE(playUntil([] { return game.pendingRegime == REGIME_DICT; }));
  openVote();
  EXPECT_EQ(macro("pres_quorum"), "5");
}

}  // namespace
