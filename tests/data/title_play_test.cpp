// The shipped title configurations through the game's own title loader and
// player: they load without a message, and every title plays to its end (a
// looping one for a bounded time) with its macros filled, without a message.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "anim/page.h"
#include "anim/title.h"
#include "core/log.h"
#include "physics/opr.h"
#include "platform/audio.h"
#include "sound/fx.h"
#include "support/memscreen.h"
#include "support/testutil.h"

namespace {

const std::string kGame = PB_GAME_DIR;

struct ShippedTitles : MemScreen, ::testing::Test {
  void SetUp() override {
    logReset();
    audioSetOutput(AUDIO_OUTPUT_NONE);
    ASSERT_EQ(fxInit(0), 1);
    gsBuildBlendTable();
    ASSERT_TRUE(openScreen(640, 480));
    ASSERT_EQ(setupTitleContexts(512, 128), 1);
  }
  void TearDown() override {
    titleUnload();
    objClearInfo();
    titleClearMacros();
    pageFreeFonts();
    pageFreeSprites();
    closeScreen();
    fxShutdown();
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
    logReset();
  }
};

TEST_F(ShippedTitles, LoadAndPlayEveryTitleToItsEnd) {
  {
    ScopedChdir cd(kGame);
    StderrCapture err;
    EXPECT_EQ(setupTitleAnimations(), 1);
    EXPECT_EQ(err.finish(), "");
  }
  // Every macro a plot-macro page references gets a value.
  std::vector<int> ids;
  std::set<std::string> macros;
  const std::regex ref(R"(\$\(([^ )]+)\))");
  for (int id = TITLE_FIRST_ID; id < TITLE_FIRST_ID + TITLE_COUNT; ++id) {
    if (!titleName(id)) continue;
    ids.push_back(id);
    for (int i = 0; i < titleEventCount(id, 0); ++i) {
      const char* text = nullptr;
      if (titleEvent(id, 0, i, &text, nullptr, nullptr, nullptr) != TE_PLOTMAC) continue;
      std::string s = text;
      for (std::sregex_iterator m(s.begin(), s.end(), ref), end; m != end; ++m) macros.insert((*m)[1]);
    }
  }
  ASSERT_GT(ids.size(), 20u);
  for (const std::string& m : macros) titleSetMacro(m.c_str(), "123");
  constexpr double kFrame = 1000.0 / 60;
  constexpr int kLoopFrames = 60 * 60;  // a looping title plays a minute
  for (int id : ids) {
    const std::string name = titleName(id);
    bool loops = false;
    for (int i = 0; i < titleEventCount(id, 0); ++i)
      loops = loops || titleEvent(id, 0, i, nullptr, nullptr, nullptr, nullptr) == TE_LOOP;
    StderrCapture err;
    ASSERT_EQ(startForeTitle(name.c_str()), id) << name;
    int frames = 0;
    while (titlePlaying(TITLE_FORE) == id && frames < kLoopFrames) {
      titleFrame(kFrame);
      ++frames;
    }
    if (loops) {
      EXPECT_EQ(titlePlaying(TITLE_FORE), id) << name << " loops, yet ended";
      startForeTitle("ball_lost");  // ends it through the replacement path
      titleFrame(kFrame);
    } else {
      EXPECT_EQ(titlePlaying(TITLE_FORE), -1) << name << " did not end in a minute";
    }
    EXPECT_EQ(err.finish(), "") << name;
  }
}

}  // namespace
