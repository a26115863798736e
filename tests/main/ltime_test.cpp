// The load-time estimator: history files, marks, the progress bar's frames.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "main/ltime.h"
#include "platform/sys/sys.h"
#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

// A millisecond clock the test moves by hand.
uint32_t gNow = 1000;
bool fakeFrequency(uint64_t* hz) {
  *hz = 1000;
  return true;
}
uint64_t fakeTicks() { return gNow; }
uint32_t fakeMs() { return gNow; }
constexpr SysClock kFakeClock = {fakeFrequency, fakeTicks, fakeMs, nullptr};

// Records which frames the bar showed.
std::vector<int> gShown;
int gSprite = 0;
void* fakeLoad(const char* name) { return std::string(name) == "bar.gsp" ? &gSprite : nullptr; }
int fakeFrames(void*) { return 10; }
void fakeShow(void*, int frame) { gShown.push_back(frame); }
void fakeRelease(void*) {}
constexpr LtimeProgressDisplay kFakeDisplay = {fakeLoad, fakeFrames, fakeShow, fakeRelease};

class Ltime : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    sysSetClock(&kFakeClock);
    ltimeSetProgressDisplay(&kFakeDisplay);
    gShown.clear();
    std::filesystem::create_directory(dir.file("ltime"));
  }
  void TearDown() override {
    ltimeEnd();
    sysSetClock(nullptr);
    ltimeSetProgressDisplay(nullptr);
    logReset();
  }
  TempDir dir;
};

TEST_F(Ltime, HistoryFilesGiveAveragesAndExpectedTotal) {
  writeFile(dir.file("ltime/sprites"), le32s({100, 200, 300}));
  writeFile(dir.file("ltime/tracks"), le32s({50}) + "xy");  // a partial value is dropped
  writeFile(dir.file("ltime/short"), "abc");             // under 4 bytes: no category
  writeFile(dir.file("ltime/long"), le32s({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 999}));  // first 40 bytes
  ScopedChdir cd(dir.path);
  ltimeInit(20000);
  EXPECT_EQ(ltimeCategoryCount(), 3);
  EXPECT_EQ(ltimeAverage("SPRITES"), 200);  // names match without regard to case
  EXPECT_EQ(ltimeAverage("tracks"), 50);
  EXPECT_EQ(ltimeAverage("long"), 1);
  EXPECT_EQ(ltimeAverage("short"), -1);
  ltimeBegin(nullptr);
  EXPECT_EQ(ltimeExpectedTotal(), 251);
}

TEST_F(Ltime, NoHistoryUsesDefaultTotal) {
  ScopedChdir cd(dir.path);
  ltimeInit(20000);
  ltimeBegin(nullptr);
  EXPECT_EQ(ltimeExpectedTotal(), 20000);
}

TEST_F(Ltime, MarksMeasureAndKeepTenNewest) {
  ScopedChdir cd(dir.path);
  ltimeInit(20000);
  StderrCapture err;
  logPrint("STDERR 1");
  EXPECT_EQ(LT("x"), -1);
  logPrint("STDERR 0");
  EXPECT_NE(err.finish().find("LT(): lastTime is invalid (0), call ltimeBegin() before using LT()"),
            std::string::npos);

  ltimeBegin(nullptr);
  gNow += 40;
  EXPECT_EQ(LT("geometry"), 40);
  EXPECT_EQ(ltimeAverage("geometry"), 40);
  // Eleven more marks of 100 ms: the first 40 ms has dropped out of the ten kept.
  for (int i = 0; i < 11; i++) {
    gNow += 100;
    EXPECT_EQ(LT("Geometry"), 100);
  }
  EXPECT_EQ(ltimeAverage("geometry"), 100);
  ltimeEnd();
  EXPECT_EQ(LT("geometry"), -1);
}

TEST_F(Ltime, ProgressBarAdvancesByExpectedShare) {
  writeFile(dir.file("ltime/a"), le32s({300}));
  writeFile(dir.file("ltime/b"), le32s({700}));
  ScopedChdir cd(dir.path);
  ltimeInit(20000);
  ltimeBegin("bar.gsp");
  gNow += 300;
  LT("a");  // average stays 300: 3 of 10 frames
  gNow += 700;
  LT("b");  // everything expected has passed: the last frame, never beyond
  gNow += 5;
  LT("c");  // an unknown category adds its own time
  EXPECT_EQ(gShown, (std::vector<int>{3, 9, 9}));
}

TEST_F(Ltime, MissingSpriteIsReportedAndLoadGoesOn) {
  ScopedChdir cd(dir.path);
  ltimeInit(20000);
  StderrCapture err;
  logPrint("STDERR 1");
  EXPECT_EQ(ltimeBegin("missing.gsp"), 1);
  gNow += 10;
  EXPECT_EQ(LT("a"), 10);
  logPrint("STDERR 0");
  EXPECT_NE(err.finish().find("ltimeBegin(): error loading sprite 'missing.gsp'"), std::string::npos);
  EXPECT_TRUE(gShown.empty());
}

TEST_F(Ltime, ReportListsAveragesInSeconds) {
  writeFile(dir.file("ltime/sprites"), le32s({1250, 1750}));
  ScopedChdir cd(dir.path);
  ltimeInit(20000);
  StderrCapture err;
  logPrint("STDERR 1");
  ltimeReport();
  logPrint("STDERR 0");
  EXPECT_EQ(err.finish(), "--- load time per category: ---\nsprites                       - 1.50\n");
}

}  // namespace
