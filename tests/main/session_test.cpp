// A whole table session of the real program, headless, on a small table made
// by the test: load order, frame loop, statistics and verdict.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "main/gamefolder.h"
#include "support/testutil.h"

namespace {

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Session, RunsThreeHundredTurboFramesAndReports) {
  GameFolder g;
  g.makeTable();
  RunResult r = g.run({"/nomenu", "/frames", "300", "/turbo", "/log", "/debug", "/statdump",
                       g.dir.file("stats.txt")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string log = g.report();
  EXPECT_EQ(log.rfind("MILE3-056 (pbl 0.51 75) [may14 may15 may17 may21]\n", 0), 0u);
  for (const char* line : {"\nLoading game data...\n", "\nframerate-60 ()\n", "\nbt [0,",
                           "\nD1: at mile3_load()\n", "\nD2: at setupInterface()\n", "\nD1: at main loop\n",
                           "\n--- all_triggers 17/TR_GAME_BEGIN ---\n", "\ntr TR_GAME_BEGIN -> MILE3_TRIGGER()\n",
                           "\nGAME EXITS SUCCESSFULLY\n"})
    EXPECT_TRUE(has(log, line)) << line << "\n" << log;
  EXPECT_TRUE(has(log, "\nGame data loaded in ")) << log;
  // 300 frames at 60 frames a second on the turbo clock: the trace of frame 0
  // only (the next would be frame 300), with the first ball where a new ball
  // starts.
  EXPECT_TRUE(has(log, "\nbt [0,16.67] pos-(300.0000,300.0000) velo-(0.0000,0.0000)\n")) << log;
  EXPECT_FALSE(has(log, "\nbt [300,"));
  // The test's table has no objects: each ball falls through the centre, and
  // after the third the game is over.
  std::string stats = readFile(g.dir.file("stats.txt"));
  EXPECT_TRUE(has(stats, "ball:lost\t3\n")) << stats;
  EXPECT_TRUE(has(log, "\nball:lost\t3\n")) << log;
  EXPECT_TRUE(has(log, "\n--- all_triggers 18/TR_GAME_OVER ---\n")) << log;
}

TEST(Session, RecordingReplaysTheSameGameTime) {
  GameFolder g;
  g.makeTable();
  RunResult rec = g.run({"/nomenu", "/frames", "301", "/turbo", "/record", "/log"});
  ASSERT_EQ(rec.exitCode, 0) << rec.err;
  ASSERT_TRUE(pathExists(g.dir.file("#session.rec")));
  std::string first = g.report();
  copyFile(g.dir.file("#session.rec"), g.dir.file("replay.rec"));
  // The replay runs without turbo: game time comes from the recording, and
  // the trace of frame 300 shows the same time.
  RunResult play = g.run({"/nomenu", "/frames", "301", "replay.rec", "/log"});
  ASSERT_EQ(play.exitCode, 0) << play.err;
  auto trace = [](const std::string& log) {
    size_t at = log.find("\nbt [300,");
    return at == std::string::npos ? std::string() : log.substr(at, log.find('\n', at + 1) - at);
  };
  EXPECT_FALSE(trace(first).empty());
  EXPECT_EQ(trace(first), trace(g.report()));
}

// A saved game state named with the recording sets the frame counter and
// puts its balls on the board.
TEST(Session, GameStateLoadsItsBalls) {
  GameFolder g;
  g.makeTable();
  RunResult rec = g.run({"/nomenu", "/frames", "20", "/turbo", "/record"});
  ASSERT_EQ(rec.exitCode, 0) << rec.err;
  copyFile(g.dir.file("#session.rec"), g.dir.file("saved.rec"));
  // x = 100.0, y = 200.0, dx = 1.5: doubles as two hexadecimal words, low first.
  writeFile(g.dir.file("saved.rec.st"),
            "[generic]\ntmFrame = 299\ntmTime = \"00000000,40000000\"\n"
            "[balls]\nx0 = \"00000000,40590000\"\ny0 = \"00000000,40690000\"\n"
            "dx0 = \"00000000,3FF80000\"\nlmask0 = 1\n");
  RunResult play = g.run({"/nomenu", "/frames", "302", "saved.rec.st", "/log"});
  ASSERT_EQ(play.exitCode, 0) << play.err;
  std::string log = g.report();
  EXPECT_TRUE(has(log, "\nMILE3(): loading game state from 'saved.rec.st'\n")) << log;
  // One frame after the state (frame 299), the saved ball is the first in play.
  EXPECT_TRUE(has(log, "\nbt [300,")) << log;
  // Replayed at the real frame rate (not /turbo), the frame after the load
  // takes what the clock gave it, at most one nominal step: the ball (1.5
  // units a step) is then between its saved place and 1.5 units on.
  const size_t at = log.find("\nbt [300,");
  ASSERT_NE(at, std::string::npos);
  const size_t pos = log.find("pos-(", at);
  ASSERT_NE(pos, std::string::npos);
  const double x = std::atof(log.c_str() + pos + 5);
  EXPECT_GE(x, 100.0) << log.substr(at, 80);
  EXPECT_LE(x, 101.5) << log.substr(at, 80);
  EXPECT_TRUE(has(log, "velo-(1.5000,")) << log;
}

// SIGTERM (like closing the window) ends the session as the pause dialog's
// exit does, and the program still ends with its verdict.
TEST(Session, TerminationSignalEndsTheSessionNormally) {
  GameFolder g;
  g.makeTable();
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    execl(g.exe.c_str(), g.exe.c_str(), "/nomenu", "/log", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Wait until the frame loop runs, then ask the program to stop.
  bool looping = false;
  for (int i = 0; i < 500 && !looping; i++) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    looping = has(g.report(), "\nframerate-60 ()\n");
  }
  EXPECT_TRUE(looping) << g.report();
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(has(g.report(), "\nGAME EXITS SUCCESSFULLY\n")) << g.report();
}

}  // namespace

// The table load shows its progress bar: the game loads the bar's sprite
// while the table loads, and says so when it is missing.
TEST(Session, TheTableLoadShowsTheProgressBar) {
  GameFolder g;
  g.makeTable();
  const std::string missing = "ltimeBegin(): error loading sprite 'data/ltime-progress.gsp'";
  RunResult without = g.run({"/nomenu", "/frames", "2", "/turbo", "/log"});
  ASSERT_EQ(without.exitCode, 0) << without.err;
  EXPECT_TRUE(has(g.report(), missing)) << g.report();
  g.sprite("data/ltime-progress.gsp", 5, 40, 4, 10, 590);
  RunResult with = g.run({"/nomenu", "/frames", "2", "/turbo", "/log"});
  ASSERT_EQ(with.exitCode, 0) << with.err;
  EXPECT_FALSE(has(g.report(), missing)) << g.report();
}

namespace {

// Every way a ball can leave the table hands it back or counts it: new balls
// that fall off the test table (it has no objects) on the Duma side or the
// gas-company side are replaced by free balls, so the game never ends; those
// through the centre are lost, and after the third the game is over.
TEST(Session, EveryBallLeavingTheTableIsReplacedOrCountedLost) {
  struct Case {
    int x;
    const char* trigger;
    bool over;
  };
  for (const Case& c : {Case{100, "TR_LEAVE_DUMA", false}, Case{400, "TR_LEAVE_CENTER", true},
                        Case{700, "TR_LEAVE_GASPROM", false}}) {
    SCOPED_TRACE(c.trigger);
    GameFolder g;
    g.makeTable();
    g.write("conf/global.conf",
            "[startup]\nregime = 0\n[video]\nrate = 60\n[ball]\nnewball_x = " + std::to_string(c.x) + "\n");
    RunResult r = g.run({"/nomenu", "/frames", "620", "/turbo", "/log", "/statdump", g.dir.file("stats.txt")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string log = g.report(), stats = readFile(g.dir.file("stats.txt"));
    // Each ball falls off the table in about a second: several left this way.
    size_t leaves = 0;
    const std::string line = std::string("\ntr ") + c.trigger + " -> MILE3_TRIGGER()\n";
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) leaves++;
    EXPECT_GE(leaves, 3u) << log;
    EXPECT_TRUE(has(stats, std::string("game_over\t") + (c.over ? "1" : "0") + "\n")) << stats;
    if (c.over) {
      EXPECT_TRUE(has(stats, "ball:lost\t3\n")) << stats;
      EXPECT_TRUE(has(stats, "balls_left\t0\n")) << stats;
    } else {
      // The first ball was the game's; every later one was free.
      EXPECT_TRUE(has(stats, "ball:lost\t0\n")) << stats;
      EXPECT_TRUE(has(stats, "balls_left\t2\n")) << stats;
      EXPECT_TRUE(has(log, "\nbt [600,")) << log;
      EXPECT_FALSE(has(log, "\nbt [600,10.00] pos-NONE")) << "no ball on the table at frame 600";
    }
  }
}

}  // namespace
