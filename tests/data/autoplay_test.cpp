// The built-in player on the shipped table, through the real program: it
// plays (launches, flips, scores), and a session it played and recorded
// replays without it to the same statistics and end state.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "support/gamecopy.h"
#include "support/testutil.h"

namespace {

std::map<std::string, std::string> dumpOf(const std::string& text) {
  std::map<std::string, std::string> values;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    size_t tab = line.find('\t');
    if (tab != std::string::npos) values[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return values;
}

int count(const std::map<std::string, std::string>& dump, const std::string& key) {
  auto it = dump.find(key);
  return it == dump.end() ? -1 : std::stoi(it->second);
}

TEST(Autoplay, PlaysAndItsRecordingReplaysToTheSameSession) {
  TempDir dir;
  makeGameCopy(dir.path);
  ScopedEnv data("QEL_DATA_DIR", dir.file("data"));
  RunResult live = runProgram(dir.file("pinball"), {"/nomenu", "/w", "/nosnd", "/turbo", "/autoplay", "/record",
                                                    "/frames", "4000", "/statdump", dir.file("live.txt")});
  ASSERT_EQ(live.exitCode, 0) << live.err;
  ASSERT_TRUE(pathExists(dir.file("#session.rec")));
  RunResult replay = runProgram(dir.file("pinball"), {"/nomenu", "/w", "/nosnd", "/turbo", "/frames", "4000",
                                                      "/statdump", dir.file("replay.txt"), "#session.rec"});
  ASSERT_EQ(replay.exitCode, 0) << replay.err;
  const std::string liveDump = readFile(dir.file("live.txt"));
  EXPECT_EQ(readFile(dir.file("replay.txt")), liveDump);

  // The player launched the ball, worked both flippers and scored.
  const auto dump = dumpOf(liveDump);
  EXPECT_GT(count(dump, "hit:flipper_left"), 0) << liveDump;
  EXPECT_GT(count(dump, "hit:flipper_right"), 0) << liveDump;
  EXPECT_GT(count(dump, "score"), 0) << liveDump;
  // Without the player nobody launches: the ball stays on the plunger.
  RunResult idle = runProgram(dir.file("pinball"), {"/nomenu", "/w", "/nosnd", "/turbo", "/frames", "4000",
                                                    "/statdump", dir.file("idle.txt")});
  ASSERT_EQ(idle.exitCode, 0) << idle.err;
  const auto idleDump = dumpOf(readFile(dir.file("idle.txt")));
  EXPECT_EQ(count(idleDump, "hit:flipper_left"), 0);
  EXPECT_EQ(count(idleDump, "score"), 0);
}

}  // namespace
