// Game statistics: the table's names, counting without regard to case, first
// and last times, the session start, the trace line, the table's limit and
// the dump to the log and to a file.
#include "game/stats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/time.h"
#include "support/testutil.h"

namespace {

int64_t gNow;
int64_t fakeNow() { return gNow; }

class Stats : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    logPrint("LOG_PATH %s", dir.path.c_str());
    logPrint("LOG_APPEND log.txt");
    logPrint("STDERR 0");
    gNow = 1'000'000;
    gstatSetClock(fakeNow);
    gstatInit();
  }
  void TearDown() override {
    gstatSetClock(nullptr);
    gstatSetFrameCounter(nullptr);
    gstatInit();
    logReset();
  }
  std::string logText() { return readFile(dir.file("log.txt")); }
  TempDir dir;
};

TEST_F(Stats, PreloadRegistersTheTablesStatistics) {
  const std::vector<std::string> names = {
      "hit:t1", "hit:t2", "hit:t3", "hit:t_yes", "hit:t_no", "hit:krem_left", "hit:krem_right",
      "hit:t6", "hit:t7", "hit:t8", "hit:flipper_left", "hit:flipper_right", "hit:tube_left",
      "hit:tube_right", "hit:krem_bumper", "hit:duma_bumper", "hit:tri_left", "hit:tri_right",
      "hit:krem_lbutton", "hit:krem_rbutton", "hit:law_button", "hit:ukazy_button", "hit:zonabtn0",
      "hit:zonabtn1", "hit:ostbtn0", "hit:ostbtn1", "hit:spiralbtn", "evt:duma", "evt:ukaz",
      "evt:quorum", "evt:ussr", "evt:amen", "evt:mumra", "evt:mflaps", "evt:hflaps", "evt:law",
      "evt:ukazy", "evt:dumavote", "evt:small_prize", "evt:law_prize", "evt:ukazy_prize",
      "ball:saved", "ball:lost", "ball:xb_lit", "ball:xb", "msn:sel", "msn:duma_begin",
      "msn:zona_begin", "msn:bd_begin", "msn:gp_begin", "msn:q_begin", "msn:duma_complete",
      "msn:zona_complete", "msn:bd_complete", "msn:gp_complete", "msn:q_complete",
      "msn:duma_crisis", "msn:zona_crisis", "msn:bd_crisis", "msn:duma_crisis_success",
      "msn:zona_crisis_success", "msn:bd_crisis_success", "obj:duma_on", "obj:zona_on",
      "obj:bd_on", "obj:gp_on", "obj:duma_off", "obj:zona_off", "obj:bd_off", "obj:gp_off",
      "obj:duma_crisis", "obj:zona_crisis", "obj:bd_crisis", "obj:gp_crisis", "evt:mumra_prize"};
  gstatAdd("left:over", "from before");
  EXPECT_EQ(gstatPreload(0), 0);
  const GameStats* t = gstatTable();
  ASSERT_EQ(t->count, 75);
  for (int i = 0; i < t->count; i++) {
    const GstatEntry& e = t->STATS[i];
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(e.mnemonic, names[i]);
    EXPECT_EQ(e.count, 0);
    std::string d = e.description;
    ASSERT_FALSE(d.empty());
    if (names[i] == "ball:xb_lit" || names[i] == "ball:xb") continue;
    // Russian in Windows-1251: letters are 0xC0..0xFF (plus Yo and the
    // guillemets); UTF-8 would show its continuation bytes 0x80..0xBF.
    bool cyrillic = false;
    for (unsigned char c : d) {
      if (c < 0x80) continue;
      EXPECT_TRUE(c >= 0xC0 || c == 0xA8 || c == 0xB8 || c == 0xAB || c == 0xBB) << int(c);
      cyrillic = true;
    }
    EXPECT_TRUE(cyrillic);
  }
  EXPECT_STREQ(gstatFind("ball:xb_lit")->description, "Extra ball lit");
  EXPECT_STREQ(gstatFind("ball:xb")->description, "Extra ball");
  EXPECT_EQ(t->sessionStart, -1);
}

TEST_F(Stats, SamplingBeforeTheSessionBeginsIsIgnored) {
  gstatPreload(0);
  EXPECT_EQ(gstatSample("hit:t1"), 0);
  EXPECT_EQ(gstatCount("hit:t1"), 0);
  EXPECT_EQ(logText(), "gstatSample(): ignoring event 'hit:t1', session has not begun\n");

  // gstatInit ends the session again.
  gstatBegin();
  EXPECT_EQ(gstatSample("hit:t1"), 1);
  gstatInit();
  EXPECT_EQ(gstatAdd("hit:t1", "again"), 1);
  EXPECT_EQ(gstatSample("hit:t1"), 0);
  EXPECT_EQ(gstatCount("hit:t1"), 0);
}

TEST_F(Stats, MnemonicsMatchWithoutRegardToCase) {
  gstatPreload(0);
  gstatAdd("hit:T1", "a second entry of the same name");
  gstatBegin();
  EXPECT_EQ(gstatSample("HIT:T1"), 1);
  EXPECT_EQ(gstatSample("Hit:t1"), 1);
  EXPECT_EQ(gstatCount("hit:t1"), 2);
  EXPECT_EQ(gstatTable()->STATS[75].count, 0);  // only the first entry of a name counts
  EXPECT_EQ(gstatCount("hit:t2"), 0);

  EXPECT_EQ(gstatSample("hit:t9"), 0);
  EXPECT_EQ(gstatSample(nullptr), 0);
  EXPECT_EQ(logText(),
            "gstatSample(): mnemo 'hit:t9' is not registered\n"
            "gstatSample(): mnemo '' is not registered\n");
  EXPECT_EQ(gstatCount("hit:t9"), -1);
  EXPECT_EQ(gstatFind("hit:t9"), nullptr);
}

TEST_F(Stats, FirstSampleSetsBothTimesLaterOnesOnlyTheLast) {
  gstatPreload(0);
  gNow = 1'700'000'000;
  gstatBegin();
  const GameStats* t = gstatTable();
  EXPECT_EQ(t->sessionStart, 1'700'000'000);
  std::time_t start = 1'700'000'000;
  std::tm local{};
  localtime_r(&start, &local);
  EXPECT_EQ(t->sessionStartLocal.tm_year, local.tm_year);
  EXPECT_EQ(t->sessionStartLocal.tm_yday, local.tm_yday);
  EXPECT_EQ(t->sessionStartLocal.tm_hour, local.tm_hour);
  EXPECT_EQ(t->sessionStartLocal.tm_min, local.tm_min);
  for (int i = 0; i < t->count; i++) {
    EXPECT_EQ(t->STATS[i].firstTime, 1'700'000'000);
    EXPECT_EQ(t->STATS[i].lastTime, 1'700'000'000);
  }

  gNow += 5;
  gstatSample("evt:duma");
  const GstatEntry* e = gstatFind("evt:duma");
  EXPECT_EQ(e->firstTime, 1'700'000'005);
  EXPECT_EQ(e->lastTime, 1'700'000'005);
  gNow += 7;
  gstatSample("evt:duma");
  EXPECT_EQ(e->count, 2);
  EXPECT_EQ(e->firstTime, 1'700'000'005);
  EXPECT_EQ(e->lastTime, 1'700'000'012);
  const GstatEntry* other = gstatFind("evt:ukaz");
  EXPECT_EQ(other->firstTime, 1'700'000'000);
  EXPECT_EQ(other->lastTime, 1'700'000'000);

  // A new session (table load) starts every entry's times over.
  gNow += 100;
  gstatBegin();
  EXPECT_EQ(e->firstTime, 1'700'000'112);
  EXPECT_EQ(e->lastTime, 1'700'000'112);
}

TEST_F(Stats, EachSampleWritesATraceLineAtLevelFive) {
  gstatPreload(0);
  gstatBegin();
  int frame = 42;
  gstatSetFrameCounter(&frame);
  tmTime = 1234.5;
  logSetDebugLevel(4);
  gstatSample("ball:lost");
  logSetDebugLevel(5);
  gstatSample("BALL:LOST");
  frame = 43;
  tmTime = 1250.126;
  gstatSample("ball:lost");
  EXPECT_EQ(logText(), "D5: [42,1234.50] BALL:LOST 2\nD5: [43,1250.13] ball:lost 3\n");
  tmTime = 0;
}

TEST_F(Stats, TheTableHolds128Entries) {
  for (int i = 0; i < GSTAT_MAX; i++) {
    std::string name = "s:" + std::to_string(i);
    ASSERT_EQ(gstatAdd(name.c_str(), "d"), 1);
  }
  EXPECT_EQ(gstatAdd("one:more", "d"), 0);
  EXPECT_EQ(logText(), "gstatAdd(): no free slots in GAMESTATS.STATS[], all 128 occupied\n");
  EXPECT_EQ(gstatTable()->count, 128);
  EXPECT_EQ(gstatCount("one:more"), -1);

  // The texts are copies, cut to their fields.
  gstatInit();
  std::string name = "keep:me";
  std::string longText(300, 'x');
  gstatAdd(name.c_str(), longText.c_str());
  name[0] = 'X';
  EXPECT_STREQ(gstatTable()->STATS[0].mnemonic, "keep:me");
  EXPECT_EQ(std::strlen(gstatTable()->STATS[0].description), size_t(GSTAT_DESC_LEN - 1));
}

TEST_F(Stats, CountsGoToTheLogAndToAFile) {
  gstatAdd("hit:t1", "a");
  gstatAdd("ball:lost", "b");
  gstatAdd("msn:sel", "c");
  gstatBegin();
  gstatSample("hit:t1");
  gstatSample("msn:sel");
  gstatSample("hit:t1");
  const std::string lines = "hit:t1\t2\nball:lost\t0\nmsn:sel\t1\n";

  gstatLog();
  EXPECT_EQ(logText(), lines);
  EXPECT_EQ(gstatWriteFile(dir.file("stats.txt").c_str()), 1);
  EXPECT_EQ(readFile(dir.file("stats.txt")), lines);

  std::string bad = dir.file("missing/stats.txt");
  EXPECT_EQ(gstatWriteFile(bad.c_str()), 0);
  EXPECT_EQ(logText(), lines + "gstatWriteFile(): error creating file '" + bad + "'\n");
}

}  // namespace
