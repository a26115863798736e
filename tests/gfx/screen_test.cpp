#include "gfx/screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "support/testutil.h"

namespace {

struct DCFree {
  void operator()(GdevDC* dc) const { gdevDestroyDC(dc); }
};
using DCPtr = std::unique_ptr<GdevDC, DCFree>;

GdevMode mode(int number, int w, int h, int bits, const char* driver, int pages = 1,
              int stretch = 0) {
  GdevMode m{};
  m.number = number;
  m.width = w;
  m.height = h;
  m.bitsPerPixel = bits;
  m.pages = pages;
  std::snprintf(m.driver, sizeof m.driver, "%s", driver);
  m.stretch = m.windowedStretch = stretch;
  return m;
}

std::vector<std::tuple<int, int, int, int>> rectsOf(const GdevRegion* region) {
  std::vector<std::tuple<int, int, int, int>> out;
  for (int i = 0; i < region->count; ++i) {
    const GdevRect& r = region->rects[i];
    out.emplace_back(r.left, r.top, r.right, r.bottom);
  }
  std::sort(out.begin(), out.end());
  return out;
}

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    memInit();
  }
  void TearDown() override {
    gsSelect(nullptr);
    logReset();
    memInit();
  }
};

TEST_F(ScreenTest, BlendTableScalesByAOver255) {
  gsBuildBlendTable();
  EXPECT_EQ(gsBlend[255][200], 200);
  EXPECT_EQ(gsBlend[200][255], 200);
  EXPECT_EQ(gsBlend[0][255], 0);
  EXPECT_EQ(gsBlend[128][255], 128);
  EXPECT_EQ(gsBlend[100][200], 78);   // 20000 / 255 = 78.4
  EXPECT_EQ(gsBlend[254][254], 253);  // 64516 / 255 = 253.0...
  EXPECT_EQ(gsBlend[16][16], 1);
  EXPECT_EQ(gsBlend[15][16], 0);
}

// ---------------------------------------------------------------------------
// Mode choice
// ---------------------------------------------------------------------------

class ConfModeTest : public ScreenTest {
 protected:
  void TearDown() override {
    conf_free(&conf);
    ScreenTest::TearDown();
  }
  // Runs gmConfMode over a configuration text; log gets what it wrote.
  int choose(const std::string& text, const std::vector<GdevMode>& modes,
             const char* prefix = "default") {
    conf_free(&conf);
    EXPECT_EQ(confParseText(&conf, {reinterpret_cast<const uint8_t*>(text.data()), text.size()},
                            "vidmode.conf"),
              0);
    chosen = GdevMode{};
    chosen.number = -1;
    windowed = -1;
    StderrCapture err;
    int result = gmConfMode(&conf, prefix, modes, &chosen, &windowed);
    log = err.finish();
    return result;
  }
  ConfSet conf{};
  GdevMode chosen{};
  int windowed = -1;
  std::string log;
};

TEST_F(ConfModeTest, PicksTheModeByTheRules) {
  const std::vector<GdevMode> dd16 = {mode(0, 800, 600, 16, "SDL-DDRAW")};
  const std::vector<GdevMode> dd15 = {mode(0, 800, 600, 15, "SDL-DDRAW")};
  const std::vector<GdevMode> fewerLater = {mode(0, 800, 600, 16, "SDL-DDRAW"),
                                            mode(1, 800, 600, 15, "SDL-DDRAW")};
  const std::vector<GdevMode> fewerFirst = {mode(0, 800, 600, 15, "SDL-DDRAW"),
                                            mode(1, 800, 600, 16, "SDL-DDRAW")};
  const std::vector<GdevMode> tie = {mode(0, 800, 600, 16, "SDL-DDRAW"),
                                     mode(1, 800, 600, 16, "SDL-DDRAW")};
  const std::vector<GdevMode> only24dd = {mode(0, 800, 600, 24, "SDL-DDRAW"),
                                          mode(1, 800, 600, 16, "SDL-FDIB")};
  const std::vector<GdevMode> ddElsewhere = {mode(0, 640, 480, 16, "SDL-DDRAW"),
                                             mode(1, 800, 600, 16, "SDL-FDIB")};
  const std::vector<GdevMode> both = {mode(0, 800, 600, 16, "SDL-FDIB"),
                                      mode(1, 800, 600, 16, "SDL-DDRAW")};
  struct Case {
    const char* name;
    std::string conf;
    const std::vector<GdevMode>* modes;
    int number;  // -1: no mode
  };
  const Case cases[] = {
      {"bits 15 takes a 16-bit mode", "[default]\nbits = 15\n", &dd16, 0},
      {"bits 16 takes a 15-bit mode", "", &dd15, 0},
      {"a later mode with fewer bits wins", "", &fewerLater, 1},
      {"a later mode with more bits loses", "", &fewerFirst, 0},
      {"the first of equals wins", "", &tie, 0},
      {"24 bits is not 16", "", &only24dd, 1},
      {"24 bits asked", "[default]\nbits = 24\n", &only24dd, 0},
      {"full screen falls back to a window", "", &ddElsewhere, 1},
      {"full screen preferred", "", &both, 1},
      {"full screen refused", "[default]\nwant_ddraw = 0\n", &both, 0},
      {"window refused, no full screen", "[default]\nwant_fdib = 0\n", &ddElsewhere, -1},
      {"size from the keys", "[default]\nwidth = 640\nheight = 480\n", &ddElsewhere, 0},
      {"nothing of the size", "[default]\nwidth = 1024\n", &both, -1},
      {"keys of another prefix are not read", "[windowed]\nbits = 24\n", &only24dd, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int result = choose(c.conf, *c.modes);
    if (c.number < 0) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(log, "gmConfMode(): no modes found\n");
      EXPECT_EQ(chosen.number, -1);
    } else {
      EXPECT_EQ(result, 1);
      EXPECT_EQ(chosen.number, c.number);
      EXPECT_EQ(log.rfind("Setting mode: ", 0), 0u) << log;
    }
  }
}

TEST_F(ConfModeTest, ReportsTheChosenModeAndTheWindowFlag) {
  const std::vector<GdevMode> modes = {mode(3, 800, 600, 15, "SDL-FDIB", 1, 0)};
  ASSERT_EQ(choose("", modes), 1);
  EXPECT_EQ(log, "Setting mode: 3 SDL-FDIB      800x600x15 pages-1 stretch-0 wStretch-0\n");
  EXPECT_EQ(windowed, 1);
  ASSERT_EQ(choose("[windowed]\nwindow = 0\n", modes, "windowed"), 1);
  EXPECT_EQ(windowed, 0);
}

TEST_F(ConfModeTest, BothBackEndsRefused) {
  EXPECT_EQ(
      choose("[default]\nwant_ddraw = 0\nwant_fdib = 0\n", {mode(0, 800, 600, 16, "SDL-DDRAW")}),
      0);
  EXPECT_EQ(log, "gmConfMode(): both 'want_ddraw' and 'want_fdib' are 0\n");
}

TEST_F(ConfModeTest, StretchSetsBothFieldsOrIsReported) {
  const std::vector<GdevMode> modes = {mode(4, 800, 600, 16, "SDL-DDRAW", 2, 1)};
  ASSERT_EQ(choose("[default]\nstretch = 2\n", modes), 1);
  EXPECT_EQ(chosen.stretch, 2);
  EXPECT_EQ(chosen.windowedStretch, 2);
  EXPECT_EQ(log, "Setting mode: 4 SDL-DDRAW     800x600x16 pages-2 stretch-2 wStretch-2\n");

  ASSERT_EQ(choose("[default]\nstretch = 3\n", modes), 1);  // reported, and the mode is still set
  EXPECT_EQ(chosen.stretch, 1);
  EXPECT_EQ(chosen.windowedStretch, 1);
  EXPECT_EQ(log,
            "gmConfMode(): unknown default.stretch value 3\n"
            "Setting mode: 4 SDL-DDRAW     800x600x16 pages-2 stretch-1 wStretch-1\n");
}

TEST_F(ConfModeTest, DebugListsEveryModeWithItsMark) {
  const std::vector<GdevMode> modes = {mode(0, 800, 600, 16, "SDL-DDRAW", 2),
                                       mode(1, 800, 600, 15, "SDL-FDIB"),
                                       mode(2, 640, 480, 16, "SDL-DDRAW", 2)};
  ASSERT_EQ(choose("[default]\ndebug = 1\n", modes), 1);
  EXPECT_EQ(log,
            "Available modes:\n"
            "[D] mode-0 SDL-DDRAW     800x600x16 pages-2 stretch-0 wStretch-0\n"
            "[F] mode-1 SDL-FDIB      800x600x15 pages-1 stretch-0 wStretch-0\n"
            "[ ] mode-2 SDL-DDRAW     640x480x16 pages-2 stretch-0 wStretch-0\n"
            "Setting mode: 0 SDL-DDRAW     800x600x16 pages-2 stretch-0 wStretch-0\n");
}

TEST_F(ConfModeTest, ChooseRunsTheChooser) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  ASSERT_TRUE(gdevInit("Qel")) << gdevErrorText();
  GdevEvent e{};
  e.what = GDEV_EVT_KEYDOWN;
  e.message = 0x50 << 8;  // down
  gdevPostEvent(&e);
  e.message = 13 | 0x1C << 8;  // Enter
  gdevPostEvent(&e);
  const std::vector<GdevMode> modes = {mode(0, 800, 600, 16, "SDL-DDRAW"),
                                       mode(1, 800, 600, 16, "SDL-FDIB")};
  EXPECT_EQ(choose("[default]\nchoose = 1\n", modes), 1);
  EXPECT_EQ(chosen.number, 1);
  EXPECT_EQ(windowed, 1);
  EXPECT_EQ(log, "");  // the chooser's answer is returned as it is
  gdevExit();
}

// ---------------------------------------------------------------------------
// Screens over a device built by hand (no window)
// ---------------------------------------------------------------------------

class DeviceScreenTest : public ScreenTest {
 protected:
  void make(bool withBackBuffer) {
    display.reset(gdevCreateMemoryDC(800, 600, 16, nullptr));
    device = GdevDevice{};
    device.mode = mode(13, 800, 600, 16, withBackBuffer ? "SDL-FDIB" : "SDL-DDRAW");
    device.displayDC = display.get();
    device.drawDC = display.get();
    if (withBackBuffer) {
      back.reset(gdevCreateMemoryDC(800, 600, 16, nullptr));
      device.backDC = device.drawDC = back.get();
    }
    ASSERT_EQ(gsCreateMGL(&screen, &device), 1);
    gsSelect(&screen);
  }
  void TearDown() override {
    gsRelease(&screen);
    ScreenTest::TearDown();
  }
  // Fills the screen's own pixels with a pattern.
  void paint() {
    for (int y = 0; y < screen.height; ++y)
      for (int x = 0; x < screen.width; ++x)
        gdevWritePixel(screen.dc, x, y, static_cast<uint32_t>((x * 7 + y * 13) & 0xFFFF) | 1u);
  }
  DCPtr display, back;
  GdevDevice device{};
  gscr screen{};
};

TEST_F(DeviceScreenTest, ScreenRecordDescribesTheDrawingSurface) {
  make(true);
  EXPECT_EQ(screen.dc, back.get());
  EXPECT_EQ(screen.ownsBackBuffer, 0);
  EXPECT_EQ(screen.width, 800);
  EXPECT_EQ(screen.height, 600);
  EXPECT_EQ(screen.clipX, 0);
  EXPECT_EQ(screen.clipW, 800);
  EXPECT_EQ(screen.clipH, 600);
  EXPECT_EQ(screen.tileMinW, 0);
  EXPECT_EQ(screen.tileSize, 32);
  EXPECT_EQ(screen.tilesX, 25);
  EXPECT_EQ(screen.tilesY, 19);
  EXPECT_EQ(screen.bpp, 16);
  EXPECT_EQ(screen.bytesPerPixel, 2);
  EXPECT_EQ(screen.pitch, 1600);
  EXPECT_TRUE(gdevFormatEqual(&screen.pixelFormat, &GDEV_FORMAT_565));
  EXPECT_EQ(screen.pixels, back->pixels);
  EXPECT_EQ(screen.zbuf, nullptr);
  EXPECT_EQ(screen.alpha, nullptr);
  EXPECT_EQ(screen.device, &device);
  EXPECT_EQ(gdevCurrentDC(), back.get());  // made current by gsSelect
}

TEST_F(DeviceScreenTest, SmallRectanglesBecomeTilesOncePerPresent) {
  make(true);
  screen.tileMinW = screen.tileMinH = 16;
  gsAddDirty(30, 30, 10, 10);
  using R = std::tuple<int, int, int, int>;
  const std::vector<R> four = {R{0, 0, 32, 32}, R{0, 32, 32, 64}, R{32, 0, 64, 32},
                               R{32, 32, 64, 64}};
  EXPECT_EQ(rectsOf(screen.dirty), four);
  for (int r = 0; r < screen.tilesY; ++r)
    for (int c = 0; c < screen.tilesX; ++c)
      EXPECT_EQ(screen.tileMarks[r * screen.tilesX + c], r < 2 && c < 2 ? 1 : 0) << c << "," << r;

  gsAddDirty(30, 30, 10, 10);
  gsAddDirty(40, 40, 5, 5);  // inside marked tiles
  EXPECT_EQ(screen.dirty->count, 4);
  gsUpdate(0);
  EXPECT_TRUE(gdevRegionIsEmpty(screen.dirty));
  EXPECT_EQ(screen.tileMarks[0], 0);
  EXPECT_EQ(screen.tileMarks[screen.tilesX + 1], 0);
  gsAddDirty(30, 30, 10, 10);
  EXPECT_EQ(rectsOf(screen.dirty), four);

  // Wide or tall enough goes in as it is; the last tile row is cut at the screen's edge.
  gsClearDirty();
  gsAddDirty(100, 100, 16, 2);
  gsAddDirty(790, 590, 5, 5);
  EXPECT_EQ(rectsOf(screen.dirty), (std::vector<R>{R{100, 100, 116, 102}, R{768, 576, 800, 600}}));
}

TEST_F(DeviceScreenTest, DirtySetOperations) {
  make(true);
  using R = std::tuple<int, int, int, int>;
  gsAddDirty(40, 40, -10, -5);  // normalised to (30, 35) 10x5
  EXPECT_EQ(rectsOf(screen.dirty), (std::vector<R>{R{30, 35, 40, 40}}));
  gsClearDirty();
  gsAddDirtyCoord(5, 6, 7, 9);  // inclusive corners: 3x4
  EXPECT_EQ(rectsOf(screen.dirty), (std::vector<R>{R{5, 6, 8, 10}}));
  gsAddDirty(-10, 590, 30, 40);  // clipped to the screen
  EXPECT_EQ(rectsOf(screen.dirty), (std::vector<R>{R{0, 590, 20, 600}, R{5, 6, 8, 10}}));
  gsDirtyAll();
  EXPECT_EQ(rectsOf(screen.dirty), (std::vector<R>{R{0, 0, 800, 600}}));
  gsClearDirty();
  EXPECT_TRUE(gdevRegionIsEmpty(screen.dirty));

  // Emptying the set forgets the tiles too, so a small update is not lost.
  screen.tileMinW = screen.tileMinH = 16;
  gsAddDirty(1, 1, 2, 2);
  gsClearDirty();
  gsAddDirty(1, 1, 2, 2);
  EXPECT_EQ(rectsOf(screen.dirty), (std::vector<R>{R{0, 0, 32, 32}}));
}

TEST_F(DeviceScreenTest, PresentCopiesOnlyTheDirtySetThroughTheDeviceBackBuffer) {
  make(true);
  paint();
  gsAddDirty(10, 20, 30, 5);
  gsUpdate(0);
  for (int y = 0; y < 600; y += 1) {
    for (int x = 0; x < 800; x += 1) {
      bool inside = x >= 10 && x < 40 && y >= 20 && y < 25;
      uint32_t expected = inside ? gdevReadPixel(back.get(), x, y) : 0;
      if (gdevReadPixel(display.get(), x, y) != expected) {
        ADD_FAILURE() << x << "," << y;
        return;
      }
    }
  }
  EXPECT_TRUE(gdevRegionIsEmpty(screen.dirty));
}

// Frames left unpresented keep a box around what they changed; the next
// present shows that box with its own changes, and nothing else.
TEST_F(DeviceScreenTest, SkippedFramesArePresentedByTheBoxAroundTheirChanges) {
  make(true);
  paint();
  gsAddDirty(10, 20, 30, 5);  // 10..39 x 20..24
  gsSkipUpdate();
  gsAddDirty(100, 50, 4, 4);  // 100..103 x 50..53
  gsSkipUpdate();
  EXPECT_TRUE(gdevRegionIsEmpty(screen.dirty));
  for (int y = 0; y < 600; y++)
    for (int x = 0; x < 800; x++)
      if (gdevReadPixel(display.get(), x, y) != 0) {
        ADD_FAILURE() << "presented while skipping: " << x << "," << y;
        return;
      }
  gsAddDirty(700, 500, 2, 2);  // this frame's own change
  gsUpdate(0);
  for (int y = 0; y < 600; y++) {
    for (int x = 0; x < 800; x++) {
      const bool box = x >= 10 && x < 104 && y >= 20 && y < 54;
      const bool own = x >= 700 && x < 702 && y >= 500 && y < 502;
      const uint32_t expected = box || own ? gdevReadPixel(back.get(), x, y) : 0;
      if (gdevReadPixel(display.get(), x, y) != expected) {
        ADD_FAILURE() << x << "," << y;
        return;
      }
    }
  }
  // Once presented, the box is forgotten.
  gdevWritePixel(display.get(), 50, 30, 0);
  gsAddDirty(0, 0, 1, 1);
  gsUpdate(0);
  EXPECT_EQ(gdevReadPixel(display.get(), 50, 30), 0u);
}

TEST_F(DeviceScreenTest, WithoutADeviceBackBufferTheScreenMakesItsOwn) {
  make(false);
  EXPECT_EQ(screen.ownsBackBuffer, 1);
  EXPECT_NE(screen.dc, display.get());
  EXPECT_EQ(device.backDC, screen.dc);
  EXPECT_EQ(device.drawDC, screen.dc);
  EXPECT_EQ(memLiveBytes(GS_HEAP_ENGINE), 800 * 600 * 2);
  paint();
  gsAddDirty(700, 500, 200, 200);
  gsUpdate(0);
  EXPECT_EQ(gdevReadPixel(display.get(), 700, 500), gdevReadPixel(screen.dc, 700, 500));
  EXPECT_EQ(gdevReadPixel(display.get(), 799, 599), gdevReadPixel(screen.dc, 799, 599));
  EXPECT_EQ(gdevReadPixel(display.get(), 699, 500), 0u);

  gsRelease(&screen);
  EXPECT_EQ(device.backDC, nullptr);
  EXPECT_EQ(device.drawDC, display.get());
  EXPECT_EQ(memLiveBytes(GS_HEAP_ENGINE), 0);
  EXPECT_EQ(gsCurrent, nullptr);
}

TEST_F(ScreenTest, MemoryScreensHaveNoDirtySet) {
  DCPtr dc(gdevCreateMemoryDC(40, 30, 24, nullptr));
  gscr mem{};
  ASSERT_EQ(gsCreateMem(&mem, dc.get()), 1);
  EXPECT_EQ(mem.width, 40);
  EXPECT_EQ(mem.pitch, 120);
  EXPECT_EQ(mem.bytesPerPixel, 3);
  EXPECT_EQ(mem.dirty, nullptr);
  EXPECT_EQ(mem.tileMarks, nullptr);
  EXPECT_EQ(gsSelect(&mem), nullptr);
  gsAddDirty(0, 0, 5, 5);  // nothing to add to: no effect, no crash
  gsDirtyAll();
  gsUpdate(0);
  gscr other{};
  ASSERT_EQ(gsCreateMem(&other, dc.get()), 1);
  EXPECT_EQ(gsSelect(&other), &mem);
  EXPECT_EQ(gsCurrent, &other);
}

// ---------------------------------------------------------------------------
// Planes
// ---------------------------------------------------------------------------

TEST_F(ScreenTest, AlphaPlaneIsTheInverseOfRed) {
  DCPtr target(gdevCreateMemoryDC(4, 3, 16, nullptr));
  gscr s{};
  gsCreateMem(&s, target.get());
  gsSelect(&s);
  DCPtr alphaDC(gdevCreateMemoryDC(4, 3, 24, nullptr));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      gdevWritePixel(alphaDC.get(), x, y, gdevPackRGB(&GDEV_FORMAT_888, x * 80 + y, 0x77, 0x11));
  ASSERT_EQ(gsAddAlpha(&s, alphaDC.get()), 1);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(s.alpha[y * 4 + x], 255 - (x * 80 + y)) << x << "," << y;
  EXPECT_EQ(gdevCurrentDC(), target.get());  // the screen's surface is current again
  gsFreeAlpha(&s);
  EXPECT_EQ(s.alpha, nullptr);

  StderrCapture err;
  EXPECT_EQ(gsAddAlpha(&s, nullptr), 0);
  gsFreeAlpha(&s);
  char line[128];
  std::snprintf(line, sizeof line, "gsFreeAlpha(): gscr %p alpha is NULL, SE\n",
                static_cast<void*>(&s));
  EXPECT_EQ(err.finish(), std::string("gsAddAlpha(): alphadc passed is NULL, SE\n") + line);
}

TEST_F(ScreenTest, DepthPlaneCopiesTheCommonArea) {
  DCPtr target(gdevCreateMemoryDC(4, 3, 16, nullptr));
  gscr s{};
  gsCreateMem(&s, target.get());
  const uint16_t small[2 * 2] = {1, 2, 3, 4};
  ASSERT_EQ(gsAddZBuffer(&s, small, 2, 2), 1);
  const uint16_t expectSmall[12] = {1, 2, 0, 0, 3, 4, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(s.zbuf, expectSmall, sizeof expectSmall));
  gsFreeZBuffer(&s);
  EXPECT_EQ(s.zbuf, nullptr);

  uint16_t large[6 * 5];
  for (int i = 0; i < 30; ++i) large[i] = static_cast<uint16_t>(100 + i);
  ASSERT_EQ(gsAddZBuffer(&s, large, 6, 5), 1);
  const uint16_t expectLarge[12] = {100, 101, 102, 103, 106, 107, 108, 109, 112, 113, 114, 115};
  EXPECT_EQ(0, std::memcmp(s.zbuf, expectLarge, sizeof expectLarge));
  gsFreeZBuffer(&s);
}

// ---------------------------------------------------------------------------
// Surface utilities
// ---------------------------------------------------------------------------

void fillNumbered(GdevDC* dc) {
  for (int y = 0; y < dc->height; ++y)
    for (int x = 0; x < dc->width; ++x)
      gdevWritePixel(dc, x, y, static_cast<uint32_t>(1 + y * 16 + x));
}

TEST_F(ScreenTest, CopyDCCopiesTheCommonTopLeftArea) {
  DCPtr src(gdevCreateMemoryDC(4, 3, 8, nullptr));
  DCPtr dst(gdevCreateMemoryDC(3, 5, 8, nullptr));
  fillNumbered(src.get());
  gdevMakeCurrent(dst.get());
  gdevSetColor(0xEE);
  gdevClearDevice();
  gdevFillRect(0, 0, 3, 5);
  ASSERT_EQ(mglCopyDC(dst.get(), src.get()), 1);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(gdevReadPixel(dst.get(), x, y),
                y < 3 ? static_cast<uint32_t>(1 + y * 16 + x) : 0xEEu)
          << x << "," << y;

  StderrCapture err;
  EXPECT_EQ(mglCopyDC(nullptr, src.get()), 0);
  EXPECT_EQ(mglCopyDC(dst.get(), nullptr), 0);
  char expected[256];
  std::snprintf(expected, sizeof expected,
                "mglCopyDC(): destination DC is NULL (src-%p), SE\n"
                "mglCopyDC(): source DC is NULL (dest-%p), SE\n",
                static_cast<void*>(src.get()), static_cast<void*>(dst.get()));
  EXPECT_EQ(err.finish(), expected);
}

TEST_F(ScreenTest, CloneAndFreeKeepTheAccounts) {
  DCPtr src(gdevCreateMemoryDC(5, 4, 8, nullptr));
  fillNumbered(src.get());
  mglSetGreyPalette(src.get());
  GdevDC* clone = mglCloneDC(src.get());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->bitsPerPixel, 8);
  EXPECT_EQ(0, std::memcmp(clone->pixels, src->pixels, 5 * 4));
  EXPECT_EQ(clone->palette[200].green, 200);
  EXPECT_EQ(memLiveBytes(GS_HEAP_ENGINE), 5 * 4);

  GdevDC* dc24 = mglCreateDC24(7, 3);
  ASSERT_NE(dc24, nullptr);
  EXPECT_EQ(dc24->bitsPerPixel, 24);
  EXPECT_TRUE(gdevFormatEqual(&dc24->format, &GDEV_FORMAT_888));
  EXPECT_EQ(memLiveBytes(GS_HEAP_ENGINE), 5 * 4 + 7 * 3 * 3);
  mglFreeDC(dc24);
  mglFreeDC(clone);
  EXPECT_EQ(memLiveBytes(GS_HEAP_ENGINE), 0);
  EXPECT_EQ(memBlockCount(GS_HEAP_ENGINE), 0);

  StderrCapture err;
  EXPECT_EQ(mglCloneDC(nullptr), nullptr);
  EXPECT_EQ(err.finish(), "mglCloneDC(): DC is NULL, SE\n");
}

TEST_F(ScreenTest, GreyPalette) {
  DCPtr dc(gdevCreateMemoryDC(1, 1, 8, nullptr));
  mglSetGreyPalette(dc.get());
  for (int i : {0, 1, 127, 255}) {
    EXPECT_EQ(dc->palette[i].red, i);
    EXPECT_EQ(dc->palette[i].green, i);
    EXPECT_EQ(dc->palette[i].blue, i);
  }
}

TEST_F(ScreenTest, BitmapSurfacesTakeTheCurrentOrTheTrueColourFormat) {
  TempDir dir;
  GdevBitmap* bmp = gdevCreateBitmap(2, 1, 24);
  const uint8_t bgr[] = {0x56, 0x34, 0x12, 0x08, 0xFC, 0xF8};
  std::memcpy(bmp->pixels, bgr, sizeof bgr);
  ASSERT_TRUE(gdevSaveBitmap(dir.file("pic.bmp").c_str(), bmp));
  gdevFreeBitmap(bmp);

  DCPtr screen15(gdevCreateMemoryDC(8, 8, 15, nullptr));
  gdevMakeCurrent(screen15.get());
  GdevDC* dc = mglCreateBitmapDC(dir.file("pic.bmp").c_str());
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(dc->bitsPerPixel, 15);
  EXPECT_EQ(dc->width, 2);
  EXPECT_EQ(gdevReadPixel(dc, 0, 0), 0x08CAu);
  EXPECT_EQ(gdevReadPixel(dc, 1, 0), 0x7FE1u);
  GdevDC* dc24 = mglCreateBitmapDC24(dir.file("pic.bmp").c_str());
  ASSERT_NE(dc24, nullptr);
  EXPECT_EQ(gdevReadPixel(dc24, 0, 0), 0x123456u);
  EXPECT_EQ(memLiveBytes(GS_HEAP_ENGINE), 2 * 2 + 2 * 3);
  mglFreeDC(dc);
  mglFreeDC(dc24);

  logPrint("STDERR 0");  // the reader's own line is not what is checked here
  logPrint("LOG_PATH %s", dir.path.c_str());
  logPrint("LOG_APPEND log.txt");
  EXPECT_EQ(mglCreateBitmapDC("nope.bmp"), nullptr);
  EXPECT_EQ(mglCreateBitmapDC24("nope.bmp"), nullptr);
  logReset();
  EXPECT_EQ(readFile(dir.file("log.txt")),
            "gdevLoadBitmap(): can't open 'nope.bmp'\n"
            "mglCreateBitmapDC(): can't load bitmap 'nope.bmp'\n"
            "gdevLoadBitmap(): can't open 'nope.bmp'\n"
            "mglCreateBitmapDC24(): can't load bitmap 'nope.bmp'\n");
}

// ---------------------------------------------------------------------------
// Seed fill
// ---------------------------------------------------------------------------

const char* const kShape[] = {
    "##########", "#...#...#.", "#.#.#.#.#.", "#.#...#.#.",
    "#.#####.##", "#.......#.", "##########",
};
constexpr int kShapeW = 10, kShapeH = 7;

DCPtr shapeDC() {
  DCPtr dc(gdevCreateMemoryDC(kShapeW, kShapeH, 8, nullptr));
  for (int y = 0; y < kShapeH; ++y)
    for (int x = 0; x < kShapeW; ++x) gdevWritePixel(dc.get(), x, y, kShape[y][x] == '#' ? 1 : 0);
  return dc;
}

struct Span {
  int x, y, length;
  uint32_t color;
};
std::vector<Span> gSpans;
void recordSpan(int x, int y, int length, uint32_t color) {
  gSpans.push_back(Span{x, y, length, color});
}

TEST_F(ScreenTest, SeedFillFillsTheConnectedArea) {
  DCPtr dc = shapeDC();
  gdevMakeCurrent(dc.get());
  gdevSetColor(2);
  gSpans.clear();
  ASSERT_EQ(mglSeedFillAlt(1, 1, recordSpan), 0);
  // The winding inside is filled; the column on the right is walled off.
  int filled = 0;
  for (int y = 0; y < kShapeH; ++y) {
    for (int x = 0; x < kShapeW; ++x) {
      uint32_t want = kShape[y][x] == '#' ? 1 : (x == 9 ? 0 : 2);
      EXPECT_EQ(gdevReadPixel(dc.get(), x, y), want) << x << "," << y;
      filled += want == 2;
    }
  }
  // The spans cover every filled pixel once, and name the colour replaced.
  std::set<std::pair<int, int>> covered;
  int total = 0;
  for (const Span& s : gSpans) {
    EXPECT_EQ(s.color, 0u);
    EXPECT_GT(s.length, 0);
    for (int i = 0; i < s.length; ++i) {
      EXPECT_TRUE(covered.insert({s.x + i, s.y}).second) << "twice: " << s.x + i << "," << s.y;
      EXPECT_EQ(kShape[s.y][s.x + i], '.');
    }
    total += s.length;
  }
  EXPECT_EQ(total, filled);

  // The outer wall is one area with the spur hanging from the top; the U
  // inside touches it only at corners and keeps its colour.
  gdevSetColor(3);
  ASSERT_EQ(mglSeedFillAlt(0, 0, nullptr), 0);
  EXPECT_EQ(gdevReadPixel(dc.get(), 9, 6), 3u);
  EXPECT_EQ(gdevReadPixel(dc.get(), 4, 2), 3u);
  EXPECT_EQ(gdevReadPixel(dc.get(), 9, 4), 3u);
  EXPECT_EQ(gdevReadPixel(dc.get(), 3, 4), 1u);
  EXPECT_EQ(gdevReadPixel(dc.get(), 6, 2), 1u);
  EXPECT_EQ(gdevReadPixel(dc.get(), 9, 5), 0u);
}

TEST_F(ScreenTest, SeedFillOnTheDrawingColourDoesNothing) {
  DCPtr dc = shapeDC();
  gdevMakeCurrent(dc.get());
  gdevSetColor(0);
  gSpans.clear();
  EXPECT_EQ(mglSeedFillAlt(1, 1, recordSpan), 0);
  EXPECT_TRUE(gSpans.empty());
  DCPtr untouched = shapeDC();
  EXPECT_EQ(0, std::memcmp(dc->pixels, untouched->pixels, kShapeW * kShapeH));
}

// ---------------------------------------------------------------------------
// A real window: what the engine draws and marks dirty is what the window shows
// ---------------------------------------------------------------------------

class WindowScreenTest : public ScreenTest {
 protected:
  void SetUp() override {
    ScreenTest::SetUp();
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_TRUE(gdevInit("Qel")) << gdevErrorText();
    gdevSetAllocator(gsDeviceAllocator());
  }
  void TearDown() override {
    gsRelease(&gsMainScreen);
    gdevExit();
    gdevSetAllocator(nullptr);
    ScreenTest::TearDown();
  }
};

TEST_F(WindowScreenTest, PresentedPixelsMatchTheScreen) {
  struct Case {
    const char* driver;
    int bits;
    int ownsBackBuffer;
  };
  const Case cases[] = {{"SDL-FDIB", 16, 0}, {"SDL-DDRAW", 24, 1}, {"SDL-FDIB", 15, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.driver << " " << c.bits);
    GdevMode wanted = mode(0, 800, 600, c.bits, c.driver, std::strstr(c.driver, "DDRAW") ? 2 : 1);
    GdevDevice* dev = gdevSetMode(&wanted, 1);
    ASSERT_NE(dev, nullptr) << gdevErrorText();
    EXPECT_GT(memLiveBytes(GS_HEAP_DEVICE), 0);  // the layer's surfaces come from heap 0
    ASSERT_EQ(gsCreateMGL(&gsMainScreen, dev), 1);
    EXPECT_EQ(gsMainScreen.ownsBackBuffer, c.ownsBackBuffer);
    gsSelect(&gsMainScreen);

    gscr* s = gsCurrent;
    for (int y = 0; y < s->height; ++y) {
      uint8_t* row = s->pixels + y * s->pitch;
      for (int x = 0; x < s->width * s->bytesPerPixel; ++x)
        row[x] = static_cast<uint8_t>(x * 3 + y * 5 + 1);
    }
    if (c.bits == 15) {  // keep the unused top bit clear, as real 5-5-5 pixels have it
      for (int y = 0; y < s->height; ++y)
        for (int x = 0; x < s->width; ++x) s->pixels[y * s->pitch + x * 2 + 1] &= 0x7F;
    }
    gsAddDirty(100, 80, 64, 48);
    gsUpdate(0);

    const GdevDC* display = dev->displayDC;
    std::vector<uint8_t> shown(static_cast<size_t>(display->bytesPerLine) * 600);
    ASSERT_TRUE(gdevReadPresented(dev, shown.data(), display->bytesPerLine)) << gdevErrorText();
    const int bpp = s->bytesPerPixel;
    int bad = 0;
    for (int y = 0; y < 600 && bad < 3; ++y) {
      for (int x = 0; x < 800 && bad < 3; ++x) {
        bool inside = x >= 100 && x < 164 && y >= 80 && y < 128;
        const uint8_t* got = shown.data() + y * display->bytesPerLine + x * bpp;
        for (int b = 0; b < bpp; ++b) {
          uint8_t want = inside ? s->pixels[y * s->pitch + x * bpp + b] : 0;
          if (got[b] != want) {
            ADD_FAILURE() << "pixel " << x << "," << y << (inside ? " (dirty)" : " (clean)");
            ++bad;
            break;
          }
        }
      }
    }

    gsDirtyAll();
    gsUpdate(1);
    ASSERT_TRUE(gdevReadPresented(dev, shown.data(), display->bytesPerLine));
    for (int y = 0; y < 600; ++y) {
      if (std::memcmp(shown.data() + y * display->bytesPerLine, s->pixels + y * s->pitch,
                      static_cast<size_t>(800 * bpp)) != 0) {
        ADD_FAILURE() << "row " << y << " differs after a full present";
        break;
      }
    }
    gsRelease(&gsMainScreen);
    gdevRestoreMode(dev);
    EXPECT_EQ(memLiveBytes(GS_HEAP_DEVICE), 0);
    EXPECT_EQ(memLiveBytes(GS_HEAP_ENGINE), 0);
  }
}

}  // namespace
