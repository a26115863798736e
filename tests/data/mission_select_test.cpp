// The mission selection on the shipped table in memory: the selection button,
// the symbols rising on their points and drawn there, their order, a ball
// on a mission point starting the symbol's mission, and the bursts.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/log.h"
#include "core/time.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/mode.h"
#include "game/stats.h"
#include "game/trigger.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "main/scene.h"
#include "physics/ball.h"
#include "physics/board.h"
#include "physics/table.h"
#include "platform/audio.h"
#include "sound/fx.h"
#include "support/testutil.h"

namespace {

// The shipped timing (conf/mission.conf): 40 rising steps of 15 ms, bursts
// of 45 ms a frame.
constexpr double kStepMs = 15;
constexpr int kRiseSteps = 40;

class MissionSelect : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    audioSetOutput(AUDIO_OUTPUT_NONE);
    ASSERT_EQ(fxInit(0), 1);
    gsBuildBlendTable();
    cd_ = std::make_unique<ScopedChdir>(PB_GAME_DIR);
    gstatInit();
    ASSERT_EQ(gstatPreload(0), 0);
    ASSERT_EQ(sceneOpen(&scene_, 0), 1);
    opened_ = true;
    tmTime = 1000;
    sceneFrame(&scene_, 0);
  }
  void TearDown() override {
    if (opened_) sceneClose(&scene_);
    cd_.reset();
    fxShutdown();
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
    SPR_FREE_ALL();
    gstatInit();
    tmTime = 0;
    logReset();
  }

  // One symbol step of kStepMs, drawn.
  void step() {
    tmTime += kStepMs;
    missionSymbolsStep();
  }
  // Arms the selection and hits its button: the symbols rise.
  void select() {
    modeEvent(MODE_MSEL, MEVT_BEGIN, 0, nullptr);
    modeEvent(MODE_MSEL, MEVT_MSEL_BTN, 0, nullptr);
  }
  void raiseFully() {
    select();
    for (int i = 0; i < kRiseSteps; i++) step();
  }

  TableScene scene_{};
  bool opened_ = false;
  std::unique_ptr<ScopedChdir> cd_;
};

TEST_F(MissionSelect, TheButtonRaisesTheSymbolsOnlyWhenTheSelectionIsArmed) {
  // Not armed: the hit only scores.
  const int score = game.score;
  modeEvent(MODE_MSEL, MEVT_MSEL_BTN, 0, nullptr);
  EXPECT_EQ(missionSymbolsState(), MSYM_HIDDEN);
  EXPECT_EQ(gstatCount("msn:sel"), 0);
  EXPECT_GT(game.score, score);
  // A new ball through the spring door arms it: the lamp blinks.
  modeEvent(MODE_MSEL, MEVT_BEGIN, 0, nullptr);
  EXPECT_EQ(lightGetState(LI_MSSELECT), LIGHT_BLINK);
  modeEvent(MODE_MSEL, MEVT_MSEL_BTN, 0, nullptr);
  EXPECT_EQ(missionSymbolsState(), MSYM_RISING);
  EXPECT_EQ(gstatCount("msn:sel"), 1);
  EXPECT_EQ(lightGetState(LI_MSSELECT), LIGHT_ON);
  EXPECT_STREQ(titleName(titlePlaying(TITLE_BACK)), "ms_select");
  // While they are up a second hit changes nothing but the score.
  modeEvent(MODE_MSEL, MEVT_MSEL_BTN, 0, nullptr);
  EXPECT_EQ(gstatCount("msn:sel"), 1);
  // They are shown after exactly their rising steps, and only then can a
  // mission point select.
  for (int i = 0; i < kRiseSteps - 1; i++) step();
  EXPECT_EQ(missionSymbolsState(), MSYM_RISING);
  for (int p = 0; p < 5; p++) EXPECT_EQ(missionPointReady(p), 0) << p;
  tmTime += kStepMs - 1;
  missionSymbolsStep();
  EXPECT_EQ(missionSymbolsState(), MSYM_RISING);
  tmTime += 1;
  missionSymbolsStep();
  EXPECT_EQ(missionSymbolsState(), MSYM_SHOWN);
  for (int p = 0; p < 5; p++) EXPECT_EQ(missionPointReady(p), 1) << p;
  EXPECT_EQ(missionPointReady(5), 0);
}

// Every order drawn keeps the zone and the question off the middle point and
// the question off the fourth; features already on get no symbol.
TEST_F(MissionSelect, TheSymbolsOrderKeepsItsRulesAndSkipsFeaturesAlreadyOn) {
  for (int round = 0; round < 40; round++) {
    SCOPED_TRACE(round);
    missionSymbolsHide();
    lightSet(LI_MSSELECT, LIGHT_OFF);
    gameSetDuma(round % 3 == 0 ? 1 : 0);
    gameSetBd(round % 4 == 1 ? 1 : 0);
    tmTime += 977;  // another seed for the order
    select();
    std::multiset<int> kinds;
    for (int s = 0; s < 5; s++)
      if (missionSymbolKind(s) >= 0) kinds.insert(missionSymbolKind(s));
    std::multiset<int> want = {2, 1, 4};
    if (game.duma != 1) want.insert(0);
    if (game.bd != 1) want.insert(3);
    EXPECT_EQ(kinds, want);
    EXPECT_NE(missionSymbolKind(2), MISSION_ZONA);
    EXPECT_NE(missionSymbolKind(2), MISSION_QUESTION);
    EXPECT_NE(missionSymbolKind(3), MISSION_QUESTION);
  }
}

// The symbols are drawn on their points of the table; a ball rolling over a
// mission point starts the mission of the symbol shown there, that symbol
// bursts and the others go; the burst ends with the display hidden.
TEST_F(MissionSelect, ABallOnAMissionPointStartsItsSymbolsMission) {
  sceneFrame(&scene_, 0);
  int px, py;
  missionSymbolPoint(2, &px, &py);
  const unsigned before = gdevReadPixel(scene_.screen.dc, px, py);
  raiseFully();
  sceneFrame(&scene_, 0);
  EXPECT_NE(gdevReadPixel(scene_.screen.dc, px, py), before) << "no symbol drawn on its point";
  const int kind = missionSymbolKind(2);
  ASSERT_GE(kind, 0);
  // The middle mission point of the table (table/70-tubes.tbl: mpoint2 at
  // 380, 410): a ball rolling down onto it.
  BallData d{};
  d.pos = Vec3{380, 380, 0};
  d.velo = Vec3{0, 2, 0};
  d.radius = ballRadius(&scene_.table.global);
  BoardObject* ball = CREATE_BALL(&d, nullptr, nullptr, 1);
  ASSERT_NE(ball, nullptr);
  for (int f = 0; f < 120 && game.mission < 0; f++) BOARD_STEP(gTable.f);
  BOARD_KILL(ball->id);
  EXPECT_EQ(game.mission, kind);
  EXPECT_EQ(missionSymbolsState(), MSYM_EXPLODING);
  EXPECT_EQ(lightGetState(LI_MSSELECT), LIGHT_OFF);
  EXPECT_EQ(missionPointReady(2), 0);
  // The burst: 10 frames of 45 ms.
  for (int i = 0; i < 9; i++) {
    tmTime += 45;
    missionSymbolsStep();
  }
  EXPECT_EQ(missionSymbolsState(), MSYM_EXPLODING);
  tmTime += 45;
  missionSymbolsStep();
  EXPECT_EQ(missionSymbolsState(), MSYM_HIDDEN);
  sceneFrame(&scene_, 0);
  EXPECT_EQ(gdevReadPixel(scene_.screen.dc, px, py), before) << "the symbol stays after its burst";
}

TEST_F(MissionSelect, TheElectionsBurstTheSymbolsThatAreUp) {
  all_triggers(TR_PRES_BEGIN);
  EXPECT_EQ(missionSymbolsState(), MSYM_HIDDEN);
  select();
  all_triggers(TR_PRES_BEGIN);
  EXPECT_EQ(missionSymbolsState(), MSYM_EXPLODING_ALL);
  for (int p = 0; p < 5; p++) EXPECT_EQ(missionPointReady(p), 0);
}

}  // namespace
