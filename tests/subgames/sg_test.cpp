// The subgame screen on the built data: the request, the frame that opens
// over the screen and gives it back, the debugging stop after the rise, the
// introduction's wait, and the scoring of each subgame's outcome.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/time.h"
#include "game/game.h"
#include "gfx/screen.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"
#include "subgames/sg.h"
#include "support/gamecopy.h"
#include "support/sg_host.h"
#include "support/testutil.h"

namespace {

// The keys of conf/sg.conf the tests measure against.
struct ScreenKeys {
  int p1Steps, p1Pause, p2Pause, p3Steps, p4Steps, introDelay, rotaFrames;
  int centreX, centreY;
  int dark[3], light[3];
};

ScreenKeys readKeys() {
  ConfSet set{};
  ScreenKeys k{};
  EXPECT_GE(CONF_READ(&set, "conf/sg.conf"), 0);
  k.p1Steps = conf_getint(&set, "P1_STEPS", 0);
  k.p1Pause = conf_getint(&set, "P1_PAUSE", 0);
  k.p2Pause = conf_getint(&set, "P2_PAUSE", 0);
  k.p3Steps = conf_getint(&set, "P3_STEPS", 0);
  k.p4Steps = conf_getint(&set, "P4_STEPS", 0);
  k.introDelay = conf_getint(&set, "INTRO_DELAY", 0);
  k.rotaFrames = conf_getint(&set, "P2_STEPS", 0);  // the lock's frames, one step each
  k.centreX = conf_getint(&set, "CENTER_X", 0);
  k.centreY = conf_getint(&set, "CENTER_Y", 0);
  EXPECT_EQ(std::sscanf(conf_getstr(&set, "SURF_DARK", ""), "%d,%d,%d", &k.dark[0], &k.dark[1], &k.dark[2]), 3);
  EXPECT_EQ(std::sscanf(conf_getstr(&set, "SURF_LIGHT", ""), "%d,%d,%d", &k.light[0], &k.light[1], &k.light[2]), 3);
  conf_free(&set);
  return k;
}

// A game folder of the test's own whose conf/sg.conf is text: the rest of
// the built folder is linked in, conf/ file by file (the built files are
// never written).
std::string gameWithScreenConf(const TempDir& dir, const std::function<void(std::string&)>& edit) {
  makeGameCopy(dir.path, false);
  const std::string conf = dir.file("conf");
  EXPECT_EQ(std::remove(conf.c_str()), 0);
  EXPECT_EQ(mkdir(conf.c_str(), 0755), 0);
  const std::string built = std::string(PB_GAME_DIR) + "/conf";
  DIR* d = opendir(built.c_str());
  EXPECT_NE(d, nullptr);
  for (dirent* e = d ? readdir(d) : nullptr; e; e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == ".." || name == "sg.conf" || name == "sg.bcf") continue;
    EXPECT_EQ(symlink((built + "/" + name).c_str(), (conf + "/" + name).c_str()), 0) << name;
  }
  if (d) closedir(d);
  std::string text = readFile(built + "/sg.conf");
  edit(text);
  writeFile(conf + "/sg.conf", text);
  return text;
}

struct SgScreenTest : sgtest::SubgameTest {
  SgOutcome outcome{};
  StderrCapture* capture = nullptr;
  std::string captured;

  void SetUp() override {
    sgtest::SubgameTest::SetUp();
    logPrint("STDERR 1");
    capture = new StderrCapture;
  }
  void TearDown() override {
    logText();
    sgFree();
    sgtest::SubgameTest::TearDown();
  }
  // What the log wrote so far (the capture ends at the first call).
  const std::string& logText() {
    if (capture) {
      captured += capture->finish();
      delete capture;
      capture = nullptr;
    }
    return captured;
  }

  // Paints the screen with a pattern the screen must give back.
  void paintPattern() {
    GdevDC* dc = gsCurrent->dc;
    for (int y = 0; y < dc->height; y++)
      for (int x = 0; x < dc->width; x++) gdevWritePixel(dc, x, y, gdevPackRGB(&dc->format, x & 255, y & 255, 77));
  }
  bool patternIntact() {
    GdevDC* dc = gsCurrent->dc;
    for (int y = 0; y < dc->height; y += 7)
      for (int x = 0; x < dc->width; x += 5)
        if (gdevReadPixel(dc, x, y) != gdevPackRGB(&dc->format, x & 255, y & 255, 77)) return false;
    return true;
  }
  uint32_t rgb(const int c[3]) { return gdevPackRGB(&gsCurrent->dc->format, c[0], c[1], c[2]); }
  uint32_t pixel(int x, int y) { return gdevReadPixel(gsCurrent->dc, x, y); }
};

TEST_F(SgScreenTest, ARequestTakesOnlyTheThreeSubgames) {
  for (int bad : {-1, 3}) {
    EXPECT_EQ(SG_REQUEST(bad, &outcome), -1) << bad;
    EXPECT_EQ(sgRequested(), SG_NONE) << bad;
  }
  EXPECT_NE(logText().find("SG_REQUEST(): can't request subgame 3, SE"), std::string::npos);
  for (int id : {SG_BOXING, SG_DEPUTY, SG_OLIGARCH}) {
    EXPECT_EQ(SG_REQUEST(id, &outcome), 0);
    EXPECT_EQ(sgRequested(), id);
  }
  sgClearRequest();
  EXPECT_EQ(sgRequested(), SG_NONE);
}

// The whole opening: the pillars rise, part, the beams part, the surface
// lights up and the introduction stays INTRO_DELAY ms; the subgame gets a
// board of its own on the opened screen. The closing gives the screen and
// the board back as they were.
TEST_F(SgScreenTest, OpensOverTheScreenAndGivesItBack) {
  const ScreenKeys k = readKeys();
  ASSERT_EQ(SG_PRELOAD(0), 0);
  ASSERT_EQ(SG_REQUEST(SG_BOXING, &outcome), 0);
  paintPattern();
  VBOARD* table = vbCurrent;
  const double frame = 1000.0 / 60;
  const double start = tmTime;
  ASSERT_EQ(SG_SCREEN_IN(), 0);
  const double opened = tmTime - start;
  const int animFrames = k.p1Steps + k.p1Pause + k.rotaFrames + k.p2Pause + k.p3Steps + k.p4Steps;
  EXPECT_GE(opened, (animFrames - 1) * frame + k.introDelay);
  EXPECT_LE(opened, (animFrames + 3) * frame + k.introDelay);
  EXPECT_NE(vbCurrent, table);
  EXPECT_EQ(pixel(k.centreX, k.centreY), rgb(k.light));
  EXPECT_EQ(pixel(5, 5), gdevPackRGB(&gsCurrent->dc->format, 5, 5, 77));  // outside the frame
  EXPECT_NE(logText().find("TR_SG_BOXING"), std::string::npos) << "the introduction starts the music";

  SG_SCREEN_OUT();
  EXPECT_EQ(vbCurrent, table);
  EXPECT_TRUE(patternIntact());
}

// "skip" 2 stops the opening after the rise: no lock turning, no beams, no
// light, no introduction.
TEST_F(SgScreenTest, SkipTwoStopsAfterTheRise) {
  TempDir dir;
  bool edited = false;
  gameWithScreenConf(dir, [&](std::string& conf) {
    const size_t at = conf.find("\nskip = 0");
    if ((edited = at != std::string::npos)) conf.replace(at, 9, "\nskip = 2");
  });
  ASSERT_FALSE(HasFailure());
  ASSERT_TRUE(edited);
  ScopedChdir here(dir.path);
  const ScreenKeys k = readKeys();

  ASSERT_EQ(SG_PRELOAD(0), 0);
  ASSERT_EQ(SG_REQUEST(SG_BOXING, &outcome), 0);
  paintPattern();
  const double start = tmTime;
  ASSERT_EQ(SG_SCREEN_IN(), 0);
  EXPECT_DOUBLE_EQ(tmTime - start, (k.p1Steps + k.p1Pause) * (1000.0 / 60));
  // The pillars stand close together, the surface between them (above the
  // lock in the middle) still dark.
  EXPECT_EQ(pixel(k.centreX, k.centreY - 150), rgb(k.dark));
  EXPECT_EQ(logText().find("TR_SG_BOXING"), std::string::npos);
  SG_SCREEN_OUT();
  EXPECT_TRUE(patternIntact());
}

// Without introduction lines the screen shows no text but still waits.
TEST_F(SgScreenTest, WithoutIntroductionLinesTheWaitStays) {
  TempDir dir;
  bool edited = false;
  gameWithScreenConf(dir, [&](std::string& conf) {
    const size_t from = conf.find("[boxing_intro]"), to = conf.find("[deputy_intro]");
    if ((edited = from != std::string::npos && to != std::string::npos)) conf.erase(from, to - from);
  });
  ASSERT_FALSE(HasFailure());
  ASSERT_TRUE(edited);
  ScopedChdir here(dir.path);
  const ScreenKeys k = readKeys();

  ASSERT_EQ(SG_PRELOAD(0), 0);
  ASSERT_EQ(SG_REQUEST(SG_BOXING, &outcome), 0);
  const double start = tmTime;
  ASSERT_EQ(SG_SCREEN_IN(), 0);
  EXPECT_GE(tmTime - start, k.introDelay);
  // The lit surface is plain: no glyph was left on it.
  const uint32_t light = rgb(k.light);
  for (int y = k.centreY - 60; y <= k.centreY + 60; y += 2)
    for (int x = k.centreX - 200; x <= k.centreX + 200; x += 2) ASSERT_EQ(pixel(x, y), light) << x << "," << y;
  SG_SCREEN_OUT();
}

// The outcome is scored through titles; without loaded titles each title's
// end follows at once.
struct SgOutcomeTest : ::testing::Test {
  TempDir dir;
  ConfSet values{};
  SgOutcome outcome{};

  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    gameReset();
    titleClearMacros();
    writeFile(dir.file("game.conf"), "[sg_deputy]\nsmall_value = 1000\nbig_value = 5000\n[sg_oligarch]\nvalue = 2500\n");
    ASSERT_GE(CONF_READ(&values, dir.file("game.conf").c_str()), 0);
    sgSetGameConf(&values);
  }
  void TearDown() override {
    sgSetGameConf(nullptr);
    sgClearRequest();
    conf_free(&values);
    titleClearMacros();
    gameReset();
    logReset();
  }
};

TEST_F(SgOutcomeTest, TheShootingGalleryPaysEachKindItsValue) {
  outcome.deputy = {3, 1};
  ASSERT_EQ(SG_REQUEST(SG_DEPUTY, &outcome), 0);
  SG_OUTCOME();
  EXPECT_EQ(game.score, 8000);
  EXPECT_STREQ(titleMacro("big_score"), "8.000");
  EXPECT_STREQ(titleMacro("killed_small"), "3");
  EXPECT_STREQ(titleMacro("killed_big"), "1");
}

TEST_F(SgOutcomeTest, GoldCatchingPaysEveryBar) {
  outcome.oligarch = {1, 7};
  ASSERT_EQ(SG_REQUEST(SG_OLIGARCH, &outcome), 0);
  SG_OUTCOME();
  EXPECT_EQ(game.score, 17500);
  EXPECT_STREQ(titleMacro("oligarch_score"), "17.500");
}

TEST_F(SgOutcomeTest, BoxingMovesCharismaTwoUpOrDown) {
  struct Case {
    int won, delta;
  };
  for (Case c : {Case{1, 2}, Case{0, -2}}) {
    gameReset();
    game.charisma = 5;
    outcome.boxing = {0, 0, c.won};
    ASSERT_EQ(SG_REQUEST(SG_BOXING, &outcome), 0);
    SG_OUTCOME();
    EXPECT_EQ(game.charisma, 5 + c.delta) << c.won;
  }
}

}  // namespace
