// The launcher starts the game beside it, from that directory, without
// arguments, and does not wait for it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "support/testutil.h"

namespace {

bool waitForFile(const std::string& path) {
  for (int i = 0; i < 500 && !pathExists(path); i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return pathExists(path);
}

TEST(Launcher, StartsGameBesideItWithoutArgumentsAndDoesNotWait) {
  TempDir game, elsewhere;
  copyFile(std::string(PB_GAME_DIR) + "/launcher", game.file("launcher"));
  ASSERT_EQ(mkfifo(game.file("hold").c_str(), 0600), 0);
  // A stand-in game that reports where and how it was started, then blocks
  // until the test lets it go: a launcher that waited would never return.
  writeFile(game.file("pinball"),
            "#!/bin/sh\n"
            "echo \"$(pwd) $#\" > started.tmp && mv started.tmp started\n"
            "read x < hold\n");
  chmod(game.file("pinball").c_str(), 0755);

  RunResult r = runProgram(game.file("launcher"), {"/log", "extra"}, elsewhere.path);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  ASSERT_TRUE(waitForFile(game.file("started")));
  EXPECT_EQ(readFile(game.file("started")), game.path + " 0\n");

  int fd = open(game.file("hold").c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "go\n", 3), 3);
  close(fd);
}

TEST(Launcher, ExitsQuietlyWhenGameIsMissing) {
  TempDir game;
  copyFile(std::string(PB_GAME_DIR) + "/launcher", game.file("launcher"));
  RunResult r = runProgram(game.file("launcher"), {});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

TEST(Launcher, StartsTheRealGame) {
  // The real game, started by the real launcher: with no arguments it writes
  // nothing, so it is told apart by the directory it ends up in — the launcher
  // gives it none, and it must still find its folder.
  TempDir game, elsewhere;
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  copyFile(std::string(PB_GAME_DIR) + "/launcher", game.file("launcher"));
  copyFile(std::string(PB_GAME_DIR) + "/pinball", game.file("pinball-real"));
  std::filesystem::create_directories(game.file("conf"));
  for (const char* conf : {"conf/vidmode.conf", "conf/menu.conf", "conf/credits.conf"})
    copyFile(std::string(PB_GAME_DIR) + "/" + conf, game.file(conf));
  writeFile(game.file("pinball"),
            "#!/bin/sh\n"
            "./pinball-real /log\n"
            "echo $? > exitcode.tmp && mv exitcode.tmp exitcode\n");
  chmod(game.file("pinball").c_str(), 0755);
  RunResult r = runProgram(game.file("launcher"), {}, elsewhere.path);
  EXPECT_EQ(r.exitCode, 0);
  ASSERT_TRUE(waitForFile(game.file("exitcode")));
  // The folder holds no pictures: the game starts, reads the menu's
  // configuration in its own folder, finds the menu's background missing
  // there, and says so.
  EXPECT_EQ(readFile(game.file("exitcode")), "1\n");
  EXPECT_NE(readFile(game.file("#report.txt")).find("MENU(): error loading main background"), std::string::npos);
}

}  // namespace
