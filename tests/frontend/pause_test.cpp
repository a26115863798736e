// The pause dialog driven by scripted keyboard and mouse events.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/time.h"
#include "frontend/pause.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "platform/gdev.h"
#include "sound/fx.h"
#include "support/testutil.h"

namespace {

GdevEvent key(int scan, int ch, uint32_t what = GDEV_EVT_KEYDOWN) {
  GdevEvent e{};
  e.what = what;
  e.message = static_cast<uint32_t>(ch | (scan << 8));
  return e;
}

GdevEvent mouse(uint32_t what, int x, int y, bool left) {
  GdevEvent e{};
  e.what = what;
  e.x = x;
  e.y = y;
  e.modifiers = left ? 1u : 0u;
  return e;
}

const GdevEvent kEscape = key(0x01, 27), kEnter = key(0x1C, 13), kRight = key(0x4D, 0),
                kLeft = key(0x4B, 0), kLeftFlipper = key(0x2C, 'z'), kRightRepeat = key(0x4D, 0, GDEV_EVT_KEYREPEAT);

void sprite(const std::string& path, int w, int h, int ox, int oy) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4, 255);
  std::vector<GspFrameImage> f = {{w, h, px.data(), ox, oy}};
  ASSERT_EQ(gspWrite(path.c_str(), 5, f), 0);
}

struct PauseTest : ::testing::Test {
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    gsBuildBlendTable();
    fxInit(1);
    tmInit();
    tmSetTime(0);
    tmSetRate(60, 0);
    tmSetTurbo(1);
    screen = gdevCreateMemoryDC(800, 600, 16, nullptr);
    background = gdevCreateMemoryDC(800, 600, 16, nullptr);
    ASSERT_EQ(gsCreateMem(&scr, screen), 1);
    gsSelect(&scr);
    vbCreate(&board, background);
    vbSelect(&board);
    std::filesystem::create_directories(dir.file("data"));
    sprite(dir.file("data/dialog-cursor.gsp"), 8, 8, 0, 0);
    sprite(dir.file("data/pause-window.gsp"), 200, 120, 300, 240);
    sprite(dir.file("data/pause-continue.gsp"), 60, 30, 320, 300);  // columns 320..379
    sprite(dir.file("data/pause-exit.gsp"), 60, 30, 420, 300);      // columns 420..479
    ScopedChdir cd(dir.path);
    ASSERT_EQ(setupInterface(), 1);
    gdevFlushEvents(GDEV_EVT_EVERY);
  }
  void TearDown() override {
    vbDeselect(&board);
    vbFree(&board);
    SPR_FREE_ALL();
    gsSelect(nullptr);
    gsRelease(&scr);
    gdevDestroyDC(screen);
    gdevDestroyDC(background);
    tmSetTurbo(0);
    logReset();
  }
  int run(std::initializer_list<GdevEvent> events) {
    for (const GdevEvent& e : events) gdevPostEvent(&e);
    return showPauseDialog();
  }
  TempDir dir;
  GdevDC *screen = nullptr, *background = nullptr;
  gscr scr{};
  static VBOARD board;
};
VBOARD PauseTest::board;

TEST_F(PauseTest, KeyboardPaths) {
  struct Case {
    const char* what;
    std::vector<GdevEvent> events;
    int result;
    int chosen;
  };
  const Case cases[] = {
      {"escape continues at once", {kEscape}, 0, -1},
      {"right arrow highlights exit, enter takes it", {kRight, kEnter}, 1, 1},
      {"right twice toggles back to continue", {kRight, kRight, kEnter}, 0, 0},
      {"a repeat moves the highlight too", {kRight, kRightRepeat, kEnter}, 0, 0},
      {"left arrow highlights continue", {kLeft, kEnter}, 0, 0},
      {"the left flipper key works like the left arrow", {kLeftFlipper, kRight, kEnter}, 1, 1},
      {"enter with nothing highlighted does nothing", {kEnter, kEscape}, 0, -1},
  };
  for (const Case& c : cases) {
    for (const GdevEvent& e : c.events) gdevPostEvent(&e);
    EXPECT_EQ(showPauseDialog(), c.result) << c.what;
    EXPECT_EQ(pauseChosen(), c.chosen) << c.what;
    gdevFlushEvents(GDEV_EVT_EVERY);
  }
}

TEST_F(PauseTest, MousePaths) {
  // Into the exit choice (highlighted on entry), press and release: exit.
  EXPECT_EQ(run({mouse(GDEV_EVT_MOUSEMOVE, 10, 10, false), mouse(GDEV_EVT_MOUSEMOVE, 430, 310, false),
                 mouse(GDEV_EVT_MOUSEDOWN, 430, 310, true), mouse(GDEV_EVT_MOUSEUP, 430, 310, false)}),
            1);
  // Pressed on continue, released on exit: no click there; Escape ends it.
  EXPECT_EQ(run({mouse(GDEV_EVT_MOUSEMOVE, 10, 10, false), mouse(GDEV_EVT_MOUSEMOVE, 330, 310, false),
                 mouse(GDEV_EVT_MOUSEDOWN, 330, 310, true), mouse(GDEV_EVT_MOUSEMOVE, 430, 310, true),
                 mouse(GDEV_EVT_MOUSEUP, 430, 310, false), kEscape}),
            0);
  EXPECT_EQ(pauseChosen(), -1);
  // Clicking continue continues.
  EXPECT_EQ(run({mouse(GDEV_EVT_MOUSEMOVE, 10, 10, false), mouse(GDEV_EVT_MOUSEMOVE, 340, 320, false),
                 mouse(GDEV_EVT_MOUSEDOWN, 340, 320, true), mouse(GDEV_EVT_MOUSEUP, 340, 320, false)}),
            0);
  EXPECT_EQ(pauseChosen(), 0);
  // From continue straight onto exit: exit is lit (Enter takes it), and a
  // move off both leaves neither lit (Enter does nothing, Escape continues).
  EXPECT_EQ(run({mouse(GDEV_EVT_MOUSEMOVE, 10, 10, false), mouse(GDEV_EVT_MOUSEMOVE, 330, 310, false),
                 mouse(GDEV_EVT_MOUSEMOVE, 430, 310, false), kEnter, kEscape}),
            1);
  EXPECT_EQ(run({mouse(GDEV_EVT_MOUSEMOVE, 330, 310, false), mouse(GDEV_EVT_MOUSEMOVE, 430, 310, false),
                 mouse(GDEV_EVT_MOUSEMOVE, 10, 10, false), kEnter, kEscape}),
            0);
  EXPECT_EQ(pauseChosen(), -1);
}

TEST_F(PauseTest, DialogObjectsAreRemovedAfterwards) {
  run({kEscape});
  vbRestore(0);  // removes the objects marked dead
  int live = 0;
  for (const VBOBJ& o : board.objects) live += o.inUse;
  EXPECT_EQ(live, 0);
}

}  // namespace
