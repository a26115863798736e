// The subgames inside the real game: a queued subgame runs when the tower
// takes the ball, between two frames of the table, and the table goes on
// where it stopped; a session recorded through a subgame replays exactly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/game.h"
#include "main/blackbox.h"
#include "main/play.h"
#include "subgames/sg.h"
#include "support/live_table.h"
#include "support/testutil.h"

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The lines of the log that start with prefix, from the first one after
// `after` on.
std::vector<std::string> linesFrom(const std::string& log, const std::string& prefix, const std::string& after = "") {
  std::vector<std::string> out;
  size_t at = after.empty() ? 0 : log.find(after);
  if (at == std::string::npos) return out;
  while ((at = log.find("\n" + prefix, at)) != std::string::npos) {
    const size_t end = log.find('\n', at + 1);
    out.push_back(log.substr(at + 1, end - at - 1));
    at = end;
  }
  return out;
}

// Above the tower's lock (table/60-gas.tbl: the lock at (570, 66), its
// magnet over it): a ball set down here rolls into the lock's pocket.
constexpr double kLiftX = 573, kLiftY = 40;

// A queued subgame lights the video lamp and the magnet; the ball at the
// tower's lock is taken up for it, the subgame runs at the top of the next
// frame, its outcome is scored, and the ball comes back down the right tube
// into the same table: game time goes on from where it stopped.
TEST(SubgameInPlay, TheTowerTakesTheBallForAQueuedSubgameAndTheTableGoesOn) {
  LiveTable t;
  ASSERT_TRUE(t.ok());
  t.run(2);
  t.removeBalls();
  game.charisma = 5;
  ASSERT_EQ(gameAllowSubgame(SG_BOXING), 0);
  EXPECT_EQ(t.lamp(LI_VIDEO), LIGHT_BLINK);
  EXPECT_EQ(t.lamp(LI_MOLNIA0), LIGHT_BLINK);
  t.ballAt(kLiftX, kLiftY);
  // The lock takes it; the subgame runs at the top of the next frame.
  ASSERT_GT(t.runUntil(300, [] { return game.requestedSubgame == SG_BOXING; }), 0);
  EXPECT_TRUE(t.balls().empty());
  EXPECT_EQ(t.lamp(LI_VIDEO), LIGHT_OFF);
  const double before = tmTime;
  const int frame = t.frame();
  t.run(1);
  const std::string log = t.log();
  ASSERT_TRUE(has(log, "D1: launching subgame 0\n")) << log.substr(log.size() > 3000 ? log.size() - 3000 : 0);
  ASSERT_TRUE(has(log, "D1: returned from subgame 0\n"));
  // No key was pressed: the computer's boxer won.
  EXPECT_TRUE(has(log, "MILE3(): subgame 0 outcome: boxing won 0\n"));
  EXPECT_EQ(playSubgameOutcome()->boxing.won, 0);
  EXPECT_EQ(playSubgameOutcome()->boxing.left, game.regime);
  // One frame of game time, however long the subgame took (up to the
  // rounding of the clock's offset).
  EXPECT_NEAR(tmTime, before + 1000.0 / 60, 1e-6);
  EXPECT_EQ(t.frame(), frame + 1);
  EXPECT_EQ(game.requestedSubgame, -1);
  EXPECT_EQ(t.title(TITLE_FORE), "boxing_lose");
  // The ball is back, from the tower's tube, and the lost match costs two
  // points of charisma once its title has been shown.
  ASSERT_EQ(t.balls().size(), 1u);
  EXPECT_EQ(t.balls()[0]->lmask, 32) << "the right tube's layer (conf/game.conf)";
  ASSERT_GT(t.runUntil(600, [] { return game.charisma == 3; }), 0);
}

int gShots = 0;
// The player of the recorded gallery: the left and the right rifle in turn,
// a shot every 45 frames.
int shoot(int frame) {
  if (frame < 30 || frame % 45 > 1) return 0;
  GdevEvent e{};
  e.what = frame % 45 == 0 ? GDEV_EVT_KEYDOWN : GDEV_EVT_KEYUP;
  e.when = 1;
  const int scan = (frame / 45) % 2 ? 0x35 : 0x2C;
  e.message = static_cast<uint32_t>(scan) << 8;
  if (e.what == GDEV_EVT_KEYDOWN) gShots++;
  gdevPostEvent(&e);
  return 0;
}
// The replay's guard: nothing is posted, and a run that does not end on the
// recorded input is cut short.
int guard(int frame) { return frame > 3000 ? 1 : 0; }

struct Pass {
  std::vector<std::string> traces;
  std::string outcome, stats;
  int frames = 0;
};

// Plays a table that sends the ball to a shooting gallery and goes on for
// a while, recording or replaying.
Pass playGallery(const std::string& recording, bool record) {
  Pass p;
  LiveTable t;
  EXPECT_TRUE(t.ok());
  if (!t.ok()) return p;
  if (record)
    EXPECT_EQ(bbStartRecording(recording.c_str()), 1);
  else
    EXPECT_EQ(bbStartPlayback(recording.c_str()), 1);
  playSetSubgameFeed(record ? shoot : guard);
  t.run(2);
  t.removeBalls();
  gameAllowSubgame(SG_DEPUTY);
  t.ballAt(kLiftX, kLiftY);
  t.run(900);
  bbStop();
  playSetSubgameFeed(nullptr);
  const std::string log = t.log();
  p.traces = linesFrom(log, "bt [");
  const std::vector<std::string> outcome = linesFrom(log, "MILE3(): subgame 1 outcome:");
  p.outcome = outcome.empty() ? "" : outcome[0];
  p.stats = t.dir.file("stats.txt");
  EXPECT_TRUE(gstatWriteFile(p.stats.c_str()));
  p.stats = readFile(p.stats);
  p.frames = t.frame();
  return p;
}

TEST(SubgameInPlay, ARecordedSubgameReplaysToTheSameTracesAndStatistics) {
  TempDir dir;
  const std::string recording = dir.file("gallery.rec");
  gShots = 0;
  const Pass first = playGallery(recording, true);
  ASSERT_FALSE(HasFailure());
  ASSERT_GT(gShots, 0);
  ASSERT_FALSE(first.outcome.empty());
  // The rifles hit something: the replay has a result to repeat.
  EXPECT_FALSE(has(first.outcome, "small 0 big 0")) << first.outcome;
  const Pass second = playGallery(recording, false);
  EXPECT_EQ(second.outcome, first.outcome);
  EXPECT_EQ(second.traces, first.traces);
  EXPECT_EQ(second.stats, first.stats);
  EXPECT_EQ(second.frames, first.frames);
  EXPECT_GE(first.traces.size(), 3u);
}

}  // namespace
