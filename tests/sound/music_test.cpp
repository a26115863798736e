// Music: module slots and their checks, one module playing at a time,
// positions by order and row, the table's eight music slots and the fade-out.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sound/fx.h"
#include "sound/fx_fixture.h"

namespace {

using fxtest::FxTest;
using fxtest::render;
using fxtest::stderrOf;

class MusicTest : public FxTest {
 protected:
  void SetUp() override {
    FxTest::SetUp();
    module("m.it");
  }
  static std::pair<int, int> position() {
    int order = -1, row = -1;
    EXPECT_EQ(fxGetModulePosition(&order, &row), 1);
    return {order, row};
  }
};

TEST_F(MusicTest, ModuleChecksAndLoadFailuresAreReported) {
  struct Case {
    const char* what;
    int (*call)();
    int result;
    const char* message;
  };
  const Case cases[] = {
      {"load bad id", [] { return fxLoadModule(256, "m.it"); }, 0,
       "fxLoadModule(): invalid module ID 256, not in [0..255]\n"},
      {"load missing file", [] { return fxLoadModule(3, "music/missing.it"); }, 0,
       "fxLoadModule(): error loading module 3/<NOSID> from 'music/missing.it'\n"},
      {"load a WAV file as a module", [] { return fxLoadModule(3, "w.wav"); }, 0,
       "fxLoadModule(): error loading module 3/<NOSID> from 'w.wav'\n"},
      {"play bad id", [] { return fxPlayModule(-1); }, 1,
       "fxPlayModule(): invalid module ID -1, not in [0..255]\n"},
      {"stop with none playing", [] { return fxStopModule(); }, 0, "fxStopModule(): no module is playing\n"},
      {"position with none playing", [] { return fxSetModulePosition(1, 0); }, 0,
       "fxSetModulePosition(): no module is playing\n"},
      {"ask position with none playing",
       [] {
         int o, r;
         return fxGetModulePosition(&o, &r);
       },
       0, "fxGetModulePosition(): no module is playing\n"},
  };
  wav("w.wav", {1, 1});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int result = -1;
    EXPECT_EQ(stderrOf([&] { result = c.call(); }), c.message);
    EXPECT_EQ(result, c.result);
  }
  EXPECT_EQ(audioModulesLoaded(), 0);
}

TEST_F(MusicTest, PlayingANeverLoadedIdKeepsTheCurrentMusic) {
  ASSERT_EQ(fxLoadModule(0, "m.it"), 1);
  ASSERT_EQ(fxPlayModule(0), 1);
  ASSERT_EQ(fxSetModulePosition(1, 5), 1);
  int result = 0;
  EXPECT_EQ(stderrOf([&] { result = fxPlayModule(3); }), "fxPlayModule(): module 3/<NOSID> is not valid\n");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(fxCurrentModule(), 0);
  EXPECT_EQ(position(), std::make_pair(1, 5));
  render(fixtures::kItFramesPerRow + 1);
  EXPECT_EQ(position(), std::make_pair(1, 6)) << "the music plays on";
}

TEST_F(MusicTest, OneModulePlaysAtATimeAndAStoppedOneResumes) {
  ASSERT_EQ(fxLoadModule(0, "m.it"), 1);
  ASSERT_EQ(fxLoadModule(1, "m.it"), 1);
  ASSERT_EQ(fxPlayModule(0), 1);
  ASSERT_EQ(fxSetModulePosition(1, 5), 1);

  ASSERT_EQ(fxPlayModule(1), 1);
  EXPECT_EQ(fxCurrentModule(), 1);
  EXPECT_EQ(position(), std::make_pair(0, 0));
  render(3 * fixtures::kItFramesPerRow + 1);
  EXPECT_EQ(position(), std::make_pair(0, 3));

  // Module 0 was stopped while 1 played: it resumes where it was.
  ASSERT_EQ(fxPlayModule(0), 1);
  EXPECT_EQ(position(), std::make_pair(1, 5));

  EXPECT_EQ(fxStopModule(), 1);
  EXPECT_EQ(fxCurrentModule(), -1);
  EXPECT_EQ(render(100), std::vector<int16_t>(200, 0));
}

TEST_F(MusicTest, PositionsAreSetAndReadByOrderAndRow) {
  ASSERT_EQ(fxLoadModule(2, "m.it"), 1);
  ASSERT_EQ(fxPlayModule(2), 1);
  ASSERT_EQ(fxSetModulePosition(2, 17), 1);
  EXPECT_EQ(position(), std::make_pair(2, 17));
  EXPECT_EQ(fxSetModulePosition(41, 0), 0) << "past the order list";
  EXPECT_EQ(position(), std::make_pair(2, 17));

  int order = 0;
  char expected[128];
  std::snprintf(expected, sizeof expected,
                "fxGetModulePosition(): NULL pattern or row pointer (pattern-%p row-%p)\n",
                static_cast<void*>(&order), static_cast<void*>(nullptr));
  int result = -1;
  EXPECT_EQ(stderrOf([&] { result = fxGetModulePosition(&order, nullptr); }), expected);
  EXPECT_EQ(result, 0);
}

TEST_F(MusicTest, ACurrentModuleThatFailedToReloadIsReported) {
  ASSERT_EQ(fxLoadModule(4, "m.it"), 1);
  ASSERT_EQ(fxPlayModule(4), 1);
  stderrOf([] { fxLoadModule(4, "music/missing.it"); });
  EXPECT_EQ(audioModulesLoaded(), 0) << "the old module was freed first";
  int result = -1;
  EXPECT_EQ(stderrOf([&] { result = fxStopModule(); }),
            "fxStopModule(): fxCurrentModule 4/<NOSID> is not valid\n");
  EXPECT_EQ(result, 0);
}

TEST_F(MusicTest, SetupLoadsTheEightSlotsAndReportsMissingOnes) {
  const char* const files[] = {"comm", "demo", "dict", "pres", "credits", "boxing", "deputy", "oligarch"};
  for (const char* f : files) module(std::string("music/") + f + ".it");
  EXPECT_EQ(setupMusic(), 1);
  EXPECT_EQ(audioModulesLoaded(), 8);
  for (int slot = 0; slot < 8; ++slot) {
    ASSERT_EQ(fxPlayModule(slot), 1);
    EXPECT_EQ(fxCurrentModule(), slot);
  }

  std::remove(dir.file("music/credits.it").c_str());
  std::remove(dir.file("music/oligarch.it").c_str());
  int result = -1;
  EXPECT_EQ(stderrOf([&] { result = setupMusic(); }),
            "fxLoadModule(): error loading module 4/<NOSID> from 'music/credits.it'\n"
            "fxLoadModule(): error loading module 7/<NOSID> from 'music/oligarch.it'\n");
  EXPECT_EQ(result, 0);
  EXPECT_EQ(audioModulesLoaded(), 6) << "the rest are loaded anyway";
}

TEST_F(MusicTest, FadeOutLowersTheMusicEachFrameThenStopsItAndRestoresTheVolume) {
  ASSERT_EQ(fxLoadModule(0, "m.it"), 1);
  ASSERT_EQ(fxPlayModule(0), 1);
  audioSetMusicVolume(80);
  ASSERT_EQ(fxFadeOutModule(2.0), 1);
  EXPECT_EQ(fxFadeRunning(), 1);
  for (int expected : {60, 40, 20}) {
    fxFadeUpdate(500);
    EXPECT_EQ(audioGetMusicVolume(), expected);
    EXPECT_EQ(fxCurrentModule(), 0);
  }
  EXPECT_EQ(stderrOf([] { fxFadeUpdate(500); }), "");
  EXPECT_EQ(fxFadeRunning(), 0);
  EXPECT_EQ(audioGetMusicVolume(), 80);
  EXPECT_EQ(fxCurrentModule(), -1);
  EXPECT_EQ(render(100), std::vector<int16_t>(200, 0));

  // Restarting a running fade keeps the volume from before the first start.
  ASSERT_EQ(fxPlayModule(0), 1);
  fxFadeOutModule(1.0);
  fxFadeUpdate(500);
  EXPECT_EQ(audioGetMusicVolume(), 40);
  fxFadeOutModule(1.0);
  fxFadeUpdate(250);
  EXPECT_EQ(audioGetMusicVolume(), 60);
  fxFadeUpdate(125);
  EXPECT_EQ(audioGetMusicVolume(), 50);
  fxFadeUpdate(1000);
  EXPECT_EQ(audioGetMusicVolume(), 80);
  EXPECT_EQ(fxCurrentModule(), -1);

  // Without a fade running an update changes nothing.
  fxFadeUpdate(1000);
  EXPECT_EQ(audioGetMusicVolume(), 80);
}

TEST_F(MusicTest, AFadeWhoseMusicWasStoppedEndsQuietly) {
  ASSERT_EQ(fxLoadModule(0, "m.it"), 1);
  ASSERT_EQ(fxPlayModule(0), 1);
  fxFadeOutModule(0.5);
  fxFadeUpdate(250);
  EXPECT_EQ(audioGetMusicVolume(), 50);
  ASSERT_EQ(fxStopModule(), 1);
  EXPECT_EQ(stderrOf([] { fxFadeUpdate(250); }), "");
  EXPECT_EQ(fxFadeRunning(), 0);
  EXPECT_EQ(audioGetMusicVolume(), 100);
}

}  // namespace
