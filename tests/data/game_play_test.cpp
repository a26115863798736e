// Whole games of the real game on the built data, headless and scripted: the
// plunger is pulled every few seconds and no flipper is ever pressed, so
// every ball drains. The end state comes from "/statdump", the titles from
// the debug log.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "game/game.h"
#include "game/score.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "main/scene.h"
#include "physics/ball.h"
#include "physics/board.h"
#include "physics/table.h"
#include "platform/audio.h"
#include "sound/fx.h"
#include "support/gamecopy.h"
#include "support/testutil.h"

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::string> linesFrom(const std::string& log, const std::string& prefix) {
  std::vector<std::string> out;
  size_t at = 0;
  while ((at = log.find("\n" + prefix, at)) != std::string::npos) {
    const size_t end = log.find('\n', at + 1);
    out.push_back(log.substr(at + 1, end - at - 1));
    at = end;
  }
  return out;
}

// A recording: the launch key (left Ctrl, scan 29) held for a second every
// 500 frames, R (scan 19) pressed at frame r (none when 0), to frame end.
std::string script(int end, int r) {
  std::string s;
  for (int f = 20; f + 60 < end; f += 500)
    s += std::to_string(f) + " 1 0 29 0\n" + std::to_string(f + 60) + " 4 0 29 0\n";
  if (r) s += std::to_string(r) + " 1 114 19 0\n" + std::to_string(r + 5) + " 4 114 19 0\n";
  return s + "END " + std::to_string(end) + "\n";
}

struct Game {
  TempDir dir;
  std::string log, stats;
  void play(int frames, int r, std::vector<std::string> extra = {}) {
    makeGameCopy(dir.path);
    writeFile(dir.file("script.txt"), script(frames, r));
    const std::string make = "'" + std::string(PB_BIN_DIR) + "/pbtool' rec make '" + dir.file("play.rec") + "' < '" +
                             dir.file("script.txt") + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::vector<std::string> args = {"/nomenu", "/w",     "/nosnd",  "/turbo",  "/frames", std::to_string(frames),
                                      "/log",    "/debug", "/statdump", dir.file("stats.txt")};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("play.rec");
    RunResult run = runProgram(dir.file("pinball"), args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    log = readFile(dir.file("#report.txt"));
    stats = readFile(dir.file("stats.txt"));
  }
};

// Drains while the ball-save time runs are saved; once it has run down they
// are lost, the last ball is announced, and the third lost ball ends the game
// with the regime's game-over title. R then starts a new game.
TEST(GamePlay, DrainedBallsEndTheGameAndRStartsANewOne) {
  Game g;
  g.play(5000, 4850);
  EXPECT_TRUE(has(g.stats, "ball:lost\t3\n")) << g.stats;
  EXPECT_TRUE(has(g.stats, "ball:saved\t")) << g.stats;
  EXPECT_FALSE(has(g.stats, "ball:saved\t0\n")) << g.stats;
  for (const char* title : {"startForeTitle(): 'balls_left'", "startForeTitle(): 'last_ball'",
                            "startBackTitle(): 'gameover_comm'"})
    EXPECT_TRUE(has(g.log, title)) << title;
  const size_t over = g.log.find("--- all_triggers 18/TR_GAME_OVER ---");
  ASSERT_NE(over, std::string::npos);
  // After R: a new game, its first ball on the plunger.
  EXPECT_NE(g.log.find("--- all_triggers 17/TR_GAME_BEGIN ---", over), std::string::npos);
  EXPECT_TRUE(has(g.stats, "game_over\t0\n")) << g.stats;
  EXPECT_TRUE(has(g.stats, "balls_left\t2\n")) << g.stats;
  EXPECT_TRUE(has(g.stats, "score\t0\n")) << g.stats;
}

// Without R the game stays over: the end state says so.
TEST(GamePlay, TheThirdLostBallEndsTheGame) {
  Game g;
  g.play(4800, 0);
  EXPECT_TRUE(has(g.stats, "ball:lost\t3\n")) << g.stats;
  EXPECT_TRUE(has(g.stats, "game_over\t1\n")) << g.stats;
  EXPECT_TRUE(has(g.stats, "balls_left\t0\n")) << g.stats;
}

// One game step a frame: 1800 frames are half a year.
TEST(GamePlay, TheYearRunsAYearIn3600Steps) {
  Game g;
  g.play(1800, 0);
  EXPECT_TRUE(has(g.stats, "year\t2000.50\n")) << g.stats;
  EXPECT_TRUE(has(g.stats, "game_over\t0\n")) << g.stats;
}

// Presenting only shows what a frame drew. A turbo replay shows its last
// frame alone; forced to present every frame, the same replay must score,
// count and move the ball exactly alike.
TEST(GamePlay, PresentingEveryTurboFrameChangesNothingThePlayComputes) {
  Game shown, skipped;
  skipped.play(3000, 0);
  shown.play(3000, 0, {"/presentall"});
  EXPECT_TRUE(has(skipped.log, "MILE3(): 0 frames presented, 3000 not")) << skipped.log.substr(0, 2000);
  EXPECT_TRUE(has(shown.log, "MILE3(): 3000 frames presented, 0 not"));
  EXPECT_TRUE(has(skipped.stats, "ball:lost\t")) << skipped.stats;
  EXPECT_EQ(skipped.stats, shown.stats);
  const std::vector<std::string> traces = linesFrom(skipped.log, "bt [");
  ASSERT_GE(traces.size(), 9u);
  EXPECT_EQ(traces, linesFrom(shown.log, "bt ["));
}

// The table loaded in memory: a ball dropped onto a Kremlin bumper scores
// the subject's value of conf/score.conf times the tax multiplier.
TEST(GamePlay, ABumperHitScoresItsSubjectTimesTheTaxMultiplier) {
  logReset();
  logPrint("STDERR 0");
  audioSetOutput(AUDIO_OUTPUT_NONE);
  ASSERT_EQ(fxInit(0), 1);
  gsBuildBlendTable();
  {
    ScopedChdir cd(PB_GAME_DIR);
    TableScene scene{};
    ASSERT_EQ(sceneOpen(&scene, 0), 1);
    // The three Kremlin bumpers (table/*.tbl), a fresh one for each level.
    struct Case {
      int tax;
      const char* subject;
      double x, y;
    };
    for (const Case& c : {Case{0, "krem_bumper0", 360, 140}, Case{2, "krem_bumper1", 480, 140},
                          Case{4, "krem_bumper2", 420, 182}}) {
      const int tax = c.tax;
      SCOPED_TRACE(c.subject);
      const ScoreSubject* subject = scoreFindSubject(c.subject);
      ASSERT_NE(subject, nullptr);
      gameSetTax(tax);
      BallData d{};
      d.pos = Vec3{c.x, c.y - 30, 0};
      d.velo = Vec3{0, 3, 0};
      d.radius = ballRadius(&scene.table.global);
      BoardObject* ball = CREATE_BALL(&d, nullptr, nullptr, 1);
      ASSERT_NE(ball, nullptr);
      const int before = game.score;
      int frames = 0;
      while (game.score == before && frames++ < 120) BOARD_STEP(gTable.f);
      EXPECT_EQ(game.score - before, subject->value * game.taxMultiplier);
      EXPECT_EQ(game.taxMultiplier, tax == 0 ? 1 : tax == 2 ? 4 : 8);
      BOARD_KILL(ball->id);
    }
    sceneClose(&scene);
  }
  fxShutdown();
  audioSetOutput(AUDIO_OUTPUT_DEVICE);
  SPR_FREE_ALL();
  logReset();
}

}  // namespace
