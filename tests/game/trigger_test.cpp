// Trigger dispatch: the handlers' order and their trace lines.
#include <gtest/gtest.h>

#include <string>

#include "anim/lights.h"
#include "core/log.h"
#include "game/trigger.h"
#include "game/game.h"
#include "physics/objects/objects.h"
#include "physics/table.h"
#include "platform/audio.h"
#include "sound/audio_fixtures.h"
#include "sound/fx.h"
#include "support/testutil.h"

namespace {

int gSessionCalls = 0;
int sessionActions(int trigger) {
  gSessionCalls++;
  return trigger == TR_BALL_LOST ? 1 : 0;
}

std::string broadcast(int trigger) {
  logReset();
  StderrCapture err;
  all_triggers(trigger);
  return err.finish();
}

TEST(Trigger, BallLostReachesEveryHandlerInOrder) {
  fxInit(1);
  lightInit();
  objectsConnect();
  triggerSetSessionActions(sessionActions);
  EXPECT_EQ(broadcast(TR_BALL_LOST),
            "--- all_triggers 5/TR_BALL_LOST ---\n"
            "BLOCKER_TRIGGER(): event 5/TR_BALL_LOST\n"
            "tr TR_BALL_LOST -> GAME_TRIGGER()\n"
            "tr TR_BALL_LOST -> MILE3_TRIGGER()\n"
            "tr TR_BALL_LOST -> MSYM_TRIGGER() (ignored)\n"
            "tr TR_BALL_LOST -> MUSIC_TRIGGER()\n"
            "tr TR_BALL_LOST -> SPRDOOR_TRIGGER()\n");
  EXPECT_EQ(gSessionCalls, 1);

  // Outside a session MILE3_TRIGGER ignores everything; an id outside the
  // table is traced as "<invalid>" and ignored by all but the spring door,
  // which traces every trigger as handled.
  triggerSetSessionActions(nullptr);
  EXPECT_EQ(broadcast(23),
            "--- all_triggers 23/<invalid> ---\n"
            "BLOCKER_TRIGGER(): event 23/<invalid>\n"
            "tr <invalid> -> GAME_TRIGGER() (ignored)\n"
            "tr <invalid> -> MILE3_TRIGGER() (ignored)\n"
            "tr <invalid> -> MSYM_TRIGGER() (ignored)\n"
            "tr <invalid> -> MUSIC_TRIGGER() (ignored)\n"
            "tr <invalid> -> SPRDOOR_TRIGGER()\n");
  EXPECT_EQ(gSessionCalls, 1);

  // Without the table objects their slots stay empty and are skipped.
  triggerSetHandler(TRIGGER_SLOT_BLOCKER, nullptr);
  triggerSetHandler(TRIGGER_SLOT_SPRDOOR, nullptr);
  EXPECT_EQ(broadcast(TR_GAME_OVER),
            "--- all_triggers 18/TR_GAME_OVER ---\n"
            "tr TR_GAME_OVER -> GAME_TRIGGER() (ignored)\n"
            "tr TR_GAME_OVER -> MILE3_TRIGGER() (ignored)\n"
            "tr TR_GAME_OVER -> MSYM_TRIGGER() (ignored)\n"
            "tr TR_GAME_OVER -> MUSIC_TRIGGER()\n");
  tableContextReset();
  lightFree();
  fxShutdown();
  logReset();
}

// The music each trigger picks: the regime's module, the special ones, and
// the jump out of the opening when the ball comes into play.
TEST(Trigger, MusicFollowsTheGame) {
  TempDir d;
  writeFile(d.file("m.it"), fixtures::itModule());
  audioSetOutput(AUDIO_OUTPUT_NONE);
  ASSERT_EQ(fxInit(0), 1);
  for (int slot = 0; slot < 8; slot++) ASSERT_EQ(fxLoadModule(slot, d.file("m.it").c_str()), 1);
  logReset();
  logPrint("STDERR 0");
  struct Step {
    int regime, trigger, module;
  };
  const Step steps[] = {
      {0, TR_GAME_BEGIN, 0}, {2, TR_NEW_BALL, 2},   {2, TR_PRES_VOTE, 3},   {1, TR_PRES_END, 1},
      {1, TR_SG_BOXING, 5},  {1, TR_SG_DEPUTY, 6},  {1, TR_SG_OLIGARCH, 7}, {1, TR_SG_END, 1},
      {1, TR_MENU, 3},       {1, TR_MENU_CREDITS, 4}, {0, TR_GAME_OVER, 4}, {2, TR_NEW_REGIME, 2},
  };
  for (const Step& s : steps) {
    game.regime = s.regime;
    MUSIC_TRIGGER(s.trigger);
    EXPECT_EQ(fxCurrentModule(), s.module) << triggerName(s.trigger);
  }
  int order = -1, row = -1;
  MUSIC_TRIGGER(TR_GAME_BEGIN);  // the opening, order 0
  MUSIC_TRIGGER(TR_BALL_IN);
  ASSERT_EQ(fxGetModulePosition(&order, &row), 1);
  EXPECT_EQ(order, 1);
  MUSIC_TRIGGER(TR_BALL_LOST);
  EXPECT_EQ(fxCurrentModule(), -1);
  fxShutdown();
  audioSetOutput(AUDIO_OUTPUT_DEVICE);
  game.regime = 0;
  logReset();
}

TEST(Trigger, Names) {
  EXPECT_STREQ(triggerName(TR_LEAVE_DUMA), "TR_LEAVE_DUMA");
  EXPECT_STREQ(triggerName(TR_NEW_REGIME), "TR_NEW_REGIME");
  EXPECT_STREQ(triggerName(TR_SG_END), "TR_SG_END");
  EXPECT_STREQ(triggerName(-1), "<invalid>");
  EXPECT_STREQ(triggerName(TR_LAST), "<invalid>");
}

}  // namespace
