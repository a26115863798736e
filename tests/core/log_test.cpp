#include "core/log.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "support/testutil.h"

namespace {

// Every test starts from the program-load state and leaves it behind.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { logReset(); }
  void TearDown() override { logReset(); }
  // Points the log directory at the scratch directory.
  void logInto(const std::string& name, const char* verb = "LOG_APPEND") {
    ASSERT_EQ(logPrint("LOG_PATH %s", dir.path.c_str()), 1);
    ASSERT_EQ(logPrint("%s %s", verb, name.c_str()), 1);
  }
  TempDir dir;
};

TEST_F(LogTest, InitialStateWritesConsoleOnly) {
  ScopedChdir here(dir.path);
  StderrCapture err;
  EXPECT_EQ(logPrint("hello %d", 5), 0);
  EXPECT_EQ(logError(-1, "%s: broken", "f()"), -1);
  EXPECT_EQ(err.finish(), "hello 5\nf(): broken\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

TEST_F(LogTest, ConsoleCounterNests) {
  StderrCapture err;
  EXPECT_EQ(logPrint("STDERR 0"), 1);
  EXPECT_EQ(logPrint("STDERR 0"), 1);
  logPrint("hidden 1");
  EXPECT_EQ(logPrint("STDERR 1"), 1);
  logPrint("hidden 2");
  logError(0, "hidden 3");
  EXPECT_EQ(logPrint("STDERR 7"), 1);  // any nonzero number counts up by one
  logPrint("shown");
  EXPECT_EQ(err.finish(), "shown\n");
}

TEST_F(LogTest, StderrWithoutNumberIsAnOrdinaryLine) {
  StderrCapture err;
  EXPECT_EQ(logCommand("STDERR"), 0);
  EXPECT_EQ(logPrint("STDERR"), 0);
  EXPECT_EQ(logPrint("STDERR off"), 0);
  logPrint("after");
  EXPECT_EQ(err.finish(), "STDERR\nSTDERR off\nafter\n");
}

TEST_F(LogTest, MuteDropsPrintsAndErrorsButKeepsStatus) {
  StderrCapture err;
  EXPECT_EQ(logPrint("MUTE"), 1);  // no argument: swallowed, nothing changes
  EXPECT_EQ(logPrint("MUTE x"), 1);
  logPrint("loud 1");
  EXPECT_EQ(logPrint("MUTE 1"), 1);
  EXPECT_NE(logPrint("quiet"), 0);
  EXPECT_EQ(logError(-1, "quiet error"), -1);
  EXPECT_EQ(logError(-1, "STDERR 0"), -1);  // a command is still obeyed while muted
  logPrint("MUTE 0");
  logPrint("still off");
  logPrint("STDERR 1");
  logPrint("loud 2");
  EXPECT_EQ(err.finish(), "loud 1\nloud 2\n");
}

TEST_F(LogTest, CommandsMatchByPrefix) {
  StderrCapture err;
  // An ordinary-looking message that begins with a command word is that command.
  EXPECT_EQ(logPrint("MUTEX 1 is locked"), 1);
  logPrint("muted now");
  logPrint("MUTE 0");
  EXPECT_EQ(logPrint("STDERRS 0"), 1);
  logPrint("console off now");
  EXPECT_EQ(err.finish(), "");
}

TEST_F(LogTest, DeprecatedFileCommandsWarnAndAreLogged) {
  StderrCapture err;
  EXPECT_EQ(logCommand("WRITE_FILE x"), 0);
  EXPECT_EQ(logPrint("FILE y"), 0);
  logPrint("MUTE 1");
  logPrint("STDERR 0");
  logPrint("FILE z");  // the warning ignores mute and console counter
  EXPECT_EQ(err.finish(),
            "WRITE_FILE is deprecated, use LOG_xx instead\n"
            "FILE is deprecated, use LOG_xx instead\nFILE y\n"
            "FILE is deprecated, use LOG_xx instead\n");
}

TEST_F(LogTest, LogCreateRecreatesTheFileOnTheNextOrdinaryLine) {
  writeFile(dir.file("#report.txt"), "old contents\n");
  StderrCapture err;
  logInto("#report.txt", "LOG_CREATE");
  logError(-1, "error before the first line");  // recreates, keeps the flag on
  EXPECT_EQ(logPrint("first"), 1);              // recreates and clears the flag
  EXPECT_EQ(logPrint("second"), 0);
  EXPECT_EQ(readFile(dir.file("#report.txt")), "first\nsecond\n");
  EXPECT_EQ(err.finish(), "error before the first line\nfirst\nsecond\n");
}

TEST_F(LogTest, LogAppendKeepsContentsAndAnEmptyNameStopsTheFile) {
  writeFile(dir.file("app.log"), "old\n");
  logInto("app.log");
  logPrint("STDERR 0");
  logPrint("one");
  logError(3, "two");
  EXPECT_EQ(logPrint("LOG_APPEND"), 1);
  logPrint("not in the file");
  EXPECT_EQ(readFile(dir.file("app.log")), "old\none\ntwo\n");
}

TEST_F(LogTest, ArgumentIsTheSecondBlankSeparatedToken) {
  logPrint("STDERR 0");
  logPrint("LOG_PATH %s", dir.path.c_str());
  logPrint("LOG_APPEND   spaced.log trailing words");
  logPrint("a");
  logPrint("LOG_APPEND\ttabbed.log");  // a tab does not separate: no argument, no file
  logPrint("b");
  EXPECT_EQ(readFile(dir.file("spaced.log")), "a\n");
  EXPECT_FALSE(pathExists(dir.file("tabbed.log")));
  EXPECT_FALSE(pathExists(dir.file("\ttabbed.log")));
}

TEST_F(LogTest, LogPathWithoutArgumentIsTheCurrentDirectory) {
  TempDir other;
  ScopedChdir here(dir.path);
  logPrint("STDERR 0");
  logPrint("LOG_PATH %s", other.path.c_str());
  logPrint("LOG_APPEND r.txt");
  logPrint("there");
  logPrint("LOG_PATH");
  logPrint("here");
  EXPECT_EQ(readFile(other.file("r.txt")), "there\n");
  EXPECT_EQ(readFile(dir.file("r.txt")), "here\n");
}

TEST_F(LogTest, FilePathIsCutAt127Characters) {
  logPrint("STDERR 0");
  std::string name(200, 'n');
  logInto(name);
  logPrint("cut");
  std::string path = dir.file(name).substr(0, 127);
  EXPECT_EQ(readFile(path), "cut\n");
}

TEST_F(LogTest, DebugLinesGoToTheFileOnlyUpToTheLevel) {
  logInto("d.txt");
  StderrCapture err;
  EXPECT_EQ(logGetDebugLevel(), 0);
  logDebug(2, "at %s", "fxInit()");
  logSetDebugLevel(2);
  logPrint("MUTE 1");  // debug lines ignore mute and the console
  logDebug(2, "at %s", "GM_Init()");
  logDebug(1, "at mile3()");
  logDebug(3, "too fine");
  EXPECT_EQ(readFile(dir.file("d.txt")), "D2: at GM_Init()\nD1: at mile3()\n");
  EXPECT_EQ(err.finish(), "");
}

TEST_F(LogTest, LongLinesAreCutAt2047Characters) {
  std::string text(3000, 'x');
  StderrCapture err;
  logPrint("%s", text.c_str());
  EXPECT_EQ(err.finish(), std::string(2047, 'x') + "\n");
}

TEST_F(LogTest, ResetRestoresTheLoadState) {
  logInto("gone.txt", "LOG_CREATE");
  logPrint("MUTE 1");
  logPrint("STDERR 0");
  logSetDebugLevel(4);
  logReset();
  StderrCapture err;
  EXPECT_EQ(logPrint("line"), 0);  // no truncate-next flag left over
  EXPECT_EQ(err.finish(), "line\n");
  EXPECT_EQ(logGetDebugLevel(), 0);
  EXPECT_FALSE(pathExists(dir.file("gone.txt")));
}

}  // namespace

TEST_F(LogTest, SetDirTakesTheWholePathUnlessTheJoinedPathWouldBeCut) {
  logPrint("STDERR 0");
  TempDir spaced;
  const std::string sub = spaced.file("a folder");
  ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
  logPrint("LOG_APPEND r.txt");
  EXPECT_EQ(logSetDir(sub.c_str()), 1);
  logPrint("in the spaced folder");
  EXPECT_EQ(readFile(sub + "/r.txt"), "in the spaced folder\n");
  // A folder whose joined path would pass the limit is refused: the log stays.
  // "r.txt" takes 6 characters with its slash: a folder of 122 reaches 128.
  const std::string longDir = "/" + std::string(121, 'x');
  EXPECT_EQ(logSetDir(longDir.c_str()), 0);
  EXPECT_EQ(logSetDir(longDir.substr(0, longDir.size() - 1).c_str()), 1);
  EXPECT_EQ(logSetDir(sub.c_str()), 1);
  logPrint("still there");
  EXPECT_EQ(readFile(sub + "/r.txt"), "in the spaced folder\nstill there\n");
  logSetDir(nullptr);
}
