// The subgames inside the real game: a queued subgame runs when the tower
// takes the ball, between two frames of the table, and the table goes on
// where it stopped; a session recorded through a subgame replays exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "game/game.h"
#include "main/blackbox.h"
#include "main/play.h"
#include "subgames/sg.h"
#include "support/gamecopy.h"
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

// ---- A subgame alone: the program with "/subgame N" ----

// Key scripts as pbtool rec make reads them. The session's first frame
// takes its input before the subgame starts: subgame frame k is frame k + 1
// of the recording. One event a frame.
struct KeyScript {
  std::string text;
  int last = 0;
  void key(int subgameFrame, bool down, int scan) {
    int f = std::max(subgameFrame + 1, last + 1);
    last = f;
    text += std::to_string(f) + (down ? " 1 0 " : " 4 0 ") + std::to_string(scan) + " 0\n";
  }
  // The key tapped (held `held` frames) at from, then every period frames, until to.
  void every(int from, int to, int period, int held, int scan) {
    for (int f = from; f < to; f += period) {
      key(f, true, scan);
      key(f + held, false, scan);
    }
  }
  std::string end() const { return text + "END " + std::to_string(last + 2) + "\n"; }
};

struct Alone {
  TempDir dir;
  std::string log, outcome;
  int frames = -1;

  void play(int id, int regime, const KeyScript& keys) {
    makeGameCopy(dir.path);
    writeFile(dir.file("script.txt"), keys.end());
    const std::string make = "'" + std::string(PB_BIN_DIR) + "/pbtool' rec make '" + dir.file("play.rec") + "' < '" +
                             dir.file("script.txt") + "' > /dev/null";
    ASSERT_EQ(std::system(make.c_str()), 0);
    RunResult run = runProgram(dir.file("pinball"), {"/nomenu", "/w", "/nosnd", "/turbo", "/log", "/debug", "/subgame",
                                                     std::to_string(id), "/regime", std::to_string(regime), "play.rec"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    log = readFile(dir.file("#report.txt"));
    const std::string head = "MILE3(): subgame " + std::to_string(id) + " outcome: ";
    const std::vector<std::string> lines = linesFrom(log, head);
    ASSERT_EQ(lines.size(), 1u) << log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
    outcome = lines[0].substr(head.size());
    const std::string played = "D1: subgame " + std::to_string(id) + " played ";
    const std::vector<std::string> count = linesFrom(log, played);
    ASSERT_EQ(count.size(), 1u);
    frames = std::atoi(count[0].c_str() + played.size());
    EXPECT_TRUE(has(log, "\nGAME EXITS SUCCESSFULLY\n"));
  }
};

enum { SCAN_Z = 0x2C, SCAN_SLASH = 0x35, SCAN_CTRL = 0x1D };

// Boxing ends in a knockout either way. The third regime's boxer, jabbing
// every 60 frames, beats the computer's; one who holds the
// punch key from the first frame to the last throws blows of no strength
// and is knocked out, in bounded time.
TEST(SubgameAlone, BoxingIsWonByTimedJabsAndLostByAHeldPunch) {
  KeyScript jabs;
  jabs.every(1, 3000, 60, 3, SCAN_CTRL);
  Alone win;
  win.play(SG_BOXING, 2, jabs);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(win.outcome, "boxing won 1");
  EXPECT_LT(win.frames, 3000);

  KeyScript held;
  held.key(0, true, SCAN_CTRL);
  Alone loss;
  loss.play(SG_BOXING, 0, held);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(loss.outcome, "boxing won 0");
  EXPECT_LT(loss.frames, 3000);
}

// The gallery ends with the twelfth bullet: aimed shots, a rifle at a time
// with the figures' pace, hit more than the bullets fired off blind at the
// start.
TEST(SubgameAlone, TheGalleryEndsWithTheLastBulletAndPaysAimedShots) {
  auto kills = [](const std::string& outcome) {
    int small = -1, big = -1;
    std::sscanf(outcome.c_str(), "deputy small %d big %d", &small, &big);
    return small + big;
  };
  KeyScript aimed;
  for (int k = 0; k < 12; k++) {
    aimed.key(1 + 45 * k, true, k % 2 ? SCAN_SLASH : SCAN_Z);
    aimed.key(3 + 45 * k, false, k % 2 ? SCAN_SLASH : SCAN_Z);
  }
  Alone good;
  good.play(SG_DEPUTY, 0, aimed);
  ASSERT_FALSE(HasFatalFailure());
  KeyScript blind;
  blind.every(1, 400, 4, 2, SCAN_Z);
  Alone poor;
  poor.play(SG_DEPUTY, 0, blind);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_GT(kills(good.outcome), kills(poor.outcome)) << good.outcome << " / " << poor.outcome;
  EXPECT_GE(kills(poor.outcome), 0) << poor.outcome;
  // The last shot of each ends the round: the blind one well before the aimed.
  EXPECT_LT(good.frames, 45 * 12 + 60);
  EXPECT_LT(poor.frames, good.frames);
}

// Gold catching ends when the lives are gone. Standing still at the first
// chute's end catches only what rolls down that chute, one bar in this
// game; a player who steps to the chute of each coming bar catches eight. (The steps were found by playing the program and moving
// to the chute of each bar the log said broke; the bars' chutes are drawn
// at random, so a change in what draws random numbers before the game
// changes them.)
TEST(SubgameAlone, GoldCatchingEndsWithTheLivesAndPaysTheBarsCaught) {
  constexpr int kKeypad[4] = {0x47, 0x49, 0x4F, 0x51};  // the chute ends 0..3
  KeyScript steps;
  for (auto [frame, chute] : {std::pair{112, 2}, {134, 0}, {244, 2}, {266, 1}, {376, 3}, {398, 1}}) {
    steps.key(frame, true, kKeypad[chute]);
    steps.key(frame + 1, false, kKeypad[chute]);
  }
  steps.key(1500, false, kKeypad[0]);  // the recording runs past the game
  Alone win;
  win.play(SG_OLIGARCH, 0, steps);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(win.outcome, "oligarch gold 8");
  EXPECT_LT(win.frames, 1500);
  EXPECT_TRUE(has(win.log, "GAME OVER"));

  Alone loss;
  loss.play(SG_OLIGARCH, 0, KeyScript{});
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(loss.outcome, "oligarch gold 1");
  EXPECT_LT(loss.frames, win.frames);
}

}  // namespace
