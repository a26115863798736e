// The title display of the real game: a headless session's last frame holds,
// in the panel, exactly the page the title player lays out for the title the
// session should show at that moment (the first ball's count, then the score
// once nothing else plays), rendered here through the same title player and
// panel code on a screen of the game's format.
#include <gtest/gtest.h>

#include <string>

#include "anim/page.h"
#include "anim/title.h"
#include "anim/tv.h"
#include "core/conf.h"
#include "core/log.h"
#include "gfx/screen.h"
#include "physics/opr.h"
#include "platform/audio.h"
#include "platform/gdev.h"
#include "sound/fx.h"
#include "support/gamecopy.h"
#include "support/testutil.h"

namespace {

const std::string kGame = PB_GAME_DIR;

// The panel as the title player and the panel code draw it for one title
// (after its first update), in the game screen's 15-bit format.
struct ExpectedPanel {
  GdevDC* screenDC = nullptr;
  gscr screen{};
  GdevDC* panel = nullptr;
  TvGeometry tv{};

  void render(bool back, const char* title, const std::vector<std::pair<const char*, const char*>>& macros) {
    ConfSet global{};
    ASSERT_EQ(CONF_READ(&global, (kGame + "/conf/global.conf").c_str()), 0);
    tvReadGeometry(&global, &tv);
    conf_free(&global);
    screenDC = gdevCreateMemoryDC(800, 600, 15, nullptr);
    ASSERT_NE(screenDC, nullptr);
    ASSERT_EQ(gsCreateMem(&screen, screenDC), 1);
    gsSelect(&screen);
    ASSERT_EQ(setupTitleContexts(tv.titleWidth, tv.titleHeight), 1);
    {
      ScopedChdir cd(kGame);
      ASSERT_EQ(setupTitleAnimations(), 1);
    }
    for (auto [name, value] : macros) titleSetMacro(name, value);
    ASSERT_GE(back ? startBackTitle(title) : startForeTitle(title), 0) << title;
    ASSERT_EQ(titleFrame(16), 1);
    panel = gdevCreateMemoryDC(tv.width, tv.height, 15, nullptr);
    ASSERT_NE(panel, nullptr);
    tvRender(titleSurface(back ? TITLE_BACK : TITLE_FORE)->dc, panel, 0, 0, tv.width, tv.height, tv.grid);
  }
  ~ExpectedPanel() {
    titleUnload();
    objClearInfo();
    titleClearMacros();
    pageFreeFonts();
    pageFreeSprites();
    if (panel) gdevDestroyDC(panel);
    gsSelect(nullptr);
    gsRelease(&screen);
    if (screenDC) gdevDestroyDC(screenDC);
  }
};

struct TitleDisplay : ::testing::Test {
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    audioSetOutput(AUDIO_OUTPUT_NONE);
    ASSERT_EQ(fxInit(0), 1);
    gsBuildBlendTable();
  }
  void TearDown() override {
    fxShutdown();
    audioSetOutput(AUDIO_OUTPUT_DEVICE);
    logReset();
  }
};

TEST_F(TitleDisplay, AnIdleSessionShowsTheBallCountThenTheScore) {
  // Windows-1251 "ШАРА": two balls left after the first of three.
  const char* const kTwoBalls = "\xD8\xC0\xD0\xC0";
  struct Case {
    const char* frames;
    bool back;
    const char* title;
    std::vector<std::pair<const char*, const char*>> macros;
  };
  const Case cases[] = {
      // The game's first ball: its count plays in the foreground for 1.9 s.
      {"40", false, "balls_left", {{"balls_left", "2"}, {"balls_plural", kTwoBalls}}},
      // Then 2 s without a title, and the score title's first page (3 s).
      {"300", true, "score_comm", {{"score", "0"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    TempDir dir;
    makeGameCopy(dir.path);
    RunResult r = runProgram(dir.file("pinball"), {"/nomenu", "/w", "/nosnd", "/turbo", "/regime", "0", "/frames",
                                                   c.frames, "/screenshot", dir.file("shot.bmp")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    GdevBitmap* shot = gdevLoadBitmap(dir.file("shot.bmp").c_str());
    ASSERT_NE(shot, nullptr);
    ExpectedPanel e;
    e.render(c.back, c.title, c.macros);
    int lit = 0, differ = 0;
    for (int y = 0; y < e.tv.height; y++)
      for (int x = 0; x < e.tv.width; x++) {
        const uint8_t* p = shot->pixels + static_cast<size_t>(e.tv.y + y) * shot->bytesPerLine + 3 * (e.tv.x + x);
        int r8, g8, b8;
        gdevUnpackRGB(&e.panel->format, gdevReadPixel(e.panel, x, y), &r8, &g8, &b8);
        differ += p[2] != r8 || p[1] != g8 || p[0] != b8;
        lit += r8 + g8 + b8 > 0;
      }
    EXPECT_GT(lit, 50) << "the expected page shows something";
    EXPECT_EQ(differ, 0) << "panel pixels unlike the title's page";
    gdevFreeBitmap(shot);
  }
}

}  // namespace
