#include "frontend/hof.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/text.h"
#include "platform/sys/registry.h"
#include "support/testutil.h"

namespace {

// Each test has its own data folder, a default table, the default proposal
// and no dialog; the log goes to standard error, where tests capture it.
class HofTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* v = std::getenv("QEL_DATA_DIR")) savedDir = v;
    setenv("QEL_DATA_DIR", dir.path.c_str(), 1);
    logReset();
    hofDefaults();
    hofSetPlayerName("Player");
    hofSetNameDialog(nullptr);
    replies.clear();
    shown.clear();
  }
  void TearDown() override {
    if (savedDir)
      setenv("QEL_DATA_DIR", savedDir->c_str(), 1);
    else
      unsetenv("QEL_DATA_DIR");
    regSetFailBeforeRename(false);
    hofSetNameDialog(nullptr);
    hofDefaults();
    hofSetPlayerName("Player");
    logReset();
  }

  // A scripted dialog: each call shows the proposal and answers the next reply.
  struct Reply {
    int button;
    std::string name;
  };
  static inline std::vector<Reply> replies;
  static inline std::vector<std::string> shown;
  static int dialog(char* name, int size) {
    shown.emplace_back(name);
    if (replies.empty()) return 2;
    Reply r = replies.front();
    replies.erase(replies.begin());
    strCopyN(name, r.name.c_str(), static_cast<size_t>(size));
    return r.button;
  }

  // Ten entries with scores 1000, 900, ..., 100.
  static void ladder() {
    for (int n = 0; n < HOF_ENTRIES; n++) hofSetEntry(n, ("p" + std::to_string(n)).c_str(), 1000 - 100 * n);
  }
  std::string path() const { return dir.file("hall-of-fame.reg"); }

  TempDir dir;
  std::optional<std::string> savedDir;
};

TEST_F(HofTest, DefaultTableAndItsCheckText) {
  char text[HOF_CHECK_SIZE];
  hofCheckText(text);
  std::string expected;
  for (int n = 0; n < HOF_ENTRIES; n++) expected += std::to_string(n) + ":---:0\n";
  EXPECT_EQ(text, expected);
  EXPECT_EQ(std::string(text).rfind("0:---:0\n", 0), 0u);
  EXPECT_STREQ(hofPlayerName(), "Player");
  EXPECT_STREQ(hofName(-1), "");
  EXPECT_STREQ(hofName(HOF_ENTRIES), "");
}

TEST_F(HofTest, CheckTextIsCutAt1023Characters) {
  std::string longName(31, '\xC9');
  for (int n = 0; n < HOF_ENTRIES; n++) hofSetEntry(n, longName.c_str(), -2000000000 + n);
  // 10 lines of 1 + 1 + 31 + 1 + 11 + 1 = 46 characters: 460, within the buffer.
  char text[HOF_CHECK_SIZE];
  EXPECT_EQ(std::strlen(hofCheckText(text)), 460u);
  EXPECT_EQ(std::string(text).substr(0, 46), "0:" + longName + ":-2000000000\n");
}

TEST_F(HofTest, StoredTableReadsBackByteExact) {
  ladder();
  const char kName[] = "\xC8\xE3\xF0\xEE\xEA \x80\xFF";  // Windows-1251 letters, 0x80 and 0xFF
  hofSetEntry(4, kName, 555);
  ASSERT_EQ(SAVE_RESULTS(), 1);
  ASSERT_TRUE(pathExists(path()));

  hofDefaults();
  EXPECT_EQ(READ_RESULTS(), 1);
  EXPECT_STREQ(hofName(4), kName);
  EXPECT_EQ(hofScore(4), 555);
  EXPECT_STREQ(hofName(9), "p9");
  EXPECT_EQ(hofScore(0), 1000);

  // The stored values are the ones the check describes.
  RegKey key{};
  RegError err{};
  ASSERT_TRUE(regLoad(&key, path().c_str(), &err));
  uint32_t flags = 0;
  ASSERT_TRUE(regGetDword(&key, "modeflags", &flags, &err));
  char text[HOF_CHECK_SIZE];
  EXPECT_EQ(flags, static_cast<uint32_t>(strHash(hofCheckText(text))));
  char name[HOF_NAME_SIZE];
  size_t len = 0;
  ASSERT_TRUE(regGetSz(&key, "name4", name, sizeof name, &len, &err));
  EXPECT_EQ(len, std::strlen(kName));  // without the NUL
}

TEST_F(HofTest, AnEditedScoreFailsTheCheckAndStartUpPutsTheDefaults) {
  ladder();
  ASSERT_EQ(SAVE_RESULTS(), 1);
  RegKey key{};
  RegError err{};
  ASSERT_TRUE(regLoad(&key, path().c_str(), &err));
  ASSERT_TRUE(regSetDword(&key, "score3", 999999, &err));
  ASSERT_TRUE(regSave(&key, path().c_str(), &err));
  uint32_t flags = 0;
  ASSERT_TRUE(regGetDword(&key, "modeflags", &flags, &err));

  StderrCapture cap;
  int read = READ_RESULTS();
  if (!read) {  // what start-up does
    hofDefaults();
    SAVE_RESULTS();
  }
  std::string log = cap.finish();
  EXPECT_EQ(read, 0);
  char expected[64];
  std::snprintf(expected, sizeof expected, "READ_RESULTS(): invalid modeflags %08X", flags);
  EXPECT_NE(log.find(expected), std::string::npos) << log;

  hofSetEntry(0, "changed in memory", 1);
  ASSERT_EQ(READ_RESULTS(), 1);  // the stored defaults pass the check
  for (int n = 0; n < HOF_ENTRIES; n++) {
    EXPECT_STREQ(hofName(n), "---");
    EXPECT_EQ(hofScore(n), 0);
  }
}

TEST_F(HofTest, MissingDamagedOrIncompleteStoresReadAsZero) {
  {
    StderrCapture cap;
    EXPECT_EQ(READ_RESULTS(), 0);
    std::string log = cap.finish();
    EXPECT_NE(log.find("READ_RESULTS(): RegOpenKey() error 2 while creating 'HKLM\\Software\\Ortan\\Qel'"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("hall-of-fame.reg"), std::string::npos) << log;
  }
  writeFile(path(), std::string("QELREG\r\n\x01\x00\x05\x00", 12));  // five values promised, none there
  EXPECT_EQ(READ_RESULTS(), 0);

  // A value missing: reported, and the result is 0 even though the check matches
  // what was read.
  ASSERT_EQ(SAVE_RESULTS(), 1);
  RegKey key{};
  RegError err{};
  ASSERT_TRUE(regLoad(&key, path().c_str(), &err));
  ASSERT_TRUE(regSetDword(&key, "name7", 0, &err));  // of the wrong type now
  ASSERT_TRUE(regSave(&key, path().c_str(), &err));
  StderrCapture cap;
  EXPECT_EQ(READ_RESULTS(), 0);
  std::string log = cap.finish();
  EXPECT_NE(log.find("READ_RESULTS(): RegQueryValueEx() error 2 while reading 'name7' from key"), std::string::npos)
      << log;
  EXPECT_EQ(log.find("invalid modeflags"), std::string::npos) << log;
}

TEST_F(HofTest, APlaceNeedsAScoreAboveTheTenth) {
  hofSetNameDialog(dialog);
  ladder();
  // Equal to the tenth: no dialog, no change.
  EXPECT_EQ(hofEnter(100), 0);
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(hofScore(9), 100);
  // One higher: replaces the tenth.
  replies = {{1, "Tenth"}};
  EXPECT_EQ(hofEnter(101), 1);
  EXPECT_STREQ(hofName(9), "Tenth");
  EXPECT_EQ(hofScore(9), 101);
  EXPECT_EQ(hofScore(8), 200);
  // Equal to an entry: below it; everything after moves down by one.
  replies = {{1, "Same"}};
  EXPECT_EQ(hofEnter(500), 1);
  EXPECT_STREQ(hofName(5), "p5");
  EXPECT_STREQ(hofName(6), "Same");
  EXPECT_STREQ(hofName(7), "p6");
  EXPECT_STREQ(hofName(9), "p8");
  // Best of all: first.
  replies = {{1, "Best"}};
  EXPECT_EQ(hofEnter(5000), 1);
  EXPECT_STREQ(hofName(0), "Best");
  EXPECT_STREQ(hofName(1), "p0");

  hofDefaults();
  ASSERT_EQ(READ_RESULTS(), 1);  // every entry was stored
  EXPECT_STREQ(hofName(0), "Best");
  EXPECT_EQ(hofScore(9), 300);
}

TEST_F(HofTest, TheDialogDecidesTheName) {
  ladder();
  EXPECT_EQ(hofEnter(2000), 0);  // no dialog installed: nothing entered
  EXPECT_EQ(hofScore(0), 1000);

  hofSetNameDialog(dialog);
  replies = {{2, "ignored"}};
  EXPECT_EQ(hofEnter(2000), 0);  // Cancel
  EXPECT_EQ(hofScore(0), 1000);
  EXPECT_FALSE(pathExists(path()));

  // An empty name asks again; the proposal is the name buffer.
  shown.clear();
  replies = {{1, ""}, {1, std::string(40, 'N')}};
  EXPECT_EQ(hofEnter(2000), 1);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "Player");
  EXPECT_EQ(hofName(0), std::string(31, 'N'));  // a 40-character name keeps its first 31
  EXPECT_EQ(hofPlayerName(), std::string(31, 'N'));
  EXPECT_EQ(hofScore(0), 2000);

  // The next dialog proposes the last name.
  shown.clear();
  replies = {{1, "\xC8\xE3\xF0\xEE\xEA"}};
  EXPECT_EQ(hofEnter(3000), 1);
  EXPECT_EQ(shown.at(0), std::string(31, 'N'));
  hofDefaults();
  ASSERT_EQ(READ_RESULTS(), 1);
  EXPECT_STREQ(hofName(0), "\xC8\xE3\xF0\xEE\xEA");
  EXPECT_EQ(hofName(1), std::string(31, 'N'));
}

TEST_F(HofTest, AFailedStoreKeepsTheEntryInMemoryAndTheOldFile) {
  hofSetNameDialog(dialog);
  ladder();
  ASSERT_EQ(SAVE_RESULTS(), 1);
  const std::string before = readFile(path());

  regSetFailBeforeRename(true);
  replies = {{1, "Crash"}};
  StderrCapture cap;
  EXPECT_EQ(hofEnter(2000), 0);
  std::string log = cap.finish();
  regSetFailBeforeRename(false);
  EXPECT_NE(log.find("SAVE_RESULTS(): RegFlushKey() error"), std::string::npos) << log;
  EXPECT_STREQ(hofName(0), "Crash");  // not undone

  EXPECT_EQ(readFile(path()), before);
  EXPECT_EQ(READ_RESULTS(), 1);  // the old table, intact
  EXPECT_STREQ(hofName(0), "p0");
}

}  // namespace
