#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "core/log.h"
#include "platform/gdev.h"
#include "platform/gdev_internal.h"

namespace {

TEST(LetterboxTest, KeepsTheAspectAndCentres) {
  struct Case {
    int outW, outH, integer;
    GdevRect expected;
  };
  const Case cases[] = {
      {800, 600, 0, {0, 0, 800, 600}},
      {1000, 600, 0, {100, 0, 900, 600}},     // bars left and right
      {800, 700, 0, {0, 50, 800, 650}},       // bars above and below
      {1700, 1300, 0, {0, 12, 1700, 1287}},   // fractional fit, width-bound
      {1700, 1300, 1, {50, 50, 1650, 1250}},  // whole steps: 2x
      {640, 480, 1, {0, 0, 640, 480}},        // smaller than the picture: shrinks anyway
      {0, 600, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.outW << "x" << c.outH << " integer " << c.integer);
    GdevRect r = gdevLetterbox(c.outW, c.outH, 800, 600, c.integer);
    EXPECT_EQ(r.left, c.expected.left);
    EXPECT_EQ(r.top, c.expected.top);
    EXPECT_EQ(r.right, c.expected.right);
    EXPECT_EQ(r.bottom, c.expected.bottom);
  }
}

TEST(ModeListTest, OffersFullScreenAndWindowedModesAtEachDepth) {
  std::set<std::string> seen;
  int index = 0;
  for (const GdevMode& m : gdevModes()) {
    EXPECT_EQ(m.number, index++);
    bool ddraw = std::strstr(m.driver, "DDRAW") != nullptr;
    bool fdib = std::strstr(m.driver, "FDIB") != nullptr;
    EXPECT_NE(ddraw, fdib) << m.driver;
    seen.insert(std::string(ddraw ? "D" : "F") + std::to_string(m.width) + "x" +
                std::to_string(m.height) + "x" + std::to_string(m.bitsPerPixel));
  }
  for (const char* want : {"D800x600x15", "D800x600x16", "D800x600x24", "F800x600x15",
                           "F800x600x16", "F800x600x24", "F640x480x16", "D1024x768x24"}) {
    EXPECT_EQ(seen.count(want), 1u) << want;
  }
}

const GdevMode* findMode(const char* kind, int w, int h, int bits) {
  for (const GdevMode& m : gdevModes()) {
    if (std::strstr(m.driver, kind) && m.width == w && m.height == h && m.bitsPerPixel == bits)
      return &m;
  }
  return nullptr;
}

// A real window, renderer and texture under SDL's offscreen driver.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");  // failures are checked through gdevErrorText
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_TRUE(gdevInit("Qel")) << gdevErrorText();
    gdevFlushEvents(GDEV_EVT_EVERY);
  }
  void TearDown() override {
    gdevSetScaling(0, 0);
    gdevFlushEvents(GDEV_EVT_EVERY);
    gdevClearQuitRequest();
    gdevExit();
  }
  // The picture read back from the window, row by row in the display format.
  static std::vector<uint8_t> readBack(GdevDevice* dev) {
    const GdevDC* d = dev->displayDC;
    std::vector<uint8_t> out(static_cast<size_t>(d->bytesPerLine) * static_cast<size_t>(d->height),
                             0xCD);
    EXPECT_TRUE(gdevReadPresented(dev, out.data(), d->bytesPerLine)) << gdevErrorText();
    return out;
  }
  static void post(uint32_t what, int ch, int scan) {
    GdevEvent e{};
    e.what = what;
    e.message = static_cast<uint32_t>(ch) | static_cast<uint32_t>(scan) << 8;
    ASSERT_TRUE(gdevPostEvent(&e));
  }
};

// The windowed modes copy the region's rectangles from their back buffer; only
// those reach the window. Every depth's bytes must come back unchanged, which
// also proves the texture formats match the surfaces' byte order.
TEST_F(WindowTest, PresentingARegionShowsExactlyItsRectangles) {
  for (int bits : {15, 16, 24}) {
    SCOPED_TRACE(bits);
    const GdevMode* mode = findMode("FDIB", 800, 600, bits);
    ASSERT_NE(mode, nullptr);
    GdevDevice* dev = gdevSetMode(mode, 1);
    ASSERT_NE(dev, nullptr) << gdevErrorText();
    ASSERT_NE(dev->backDC, nullptr);
    EXPECT_EQ(dev->drawDC, dev->backDC);
    EXPECT_EQ(dev->displayDC->pages, 1);
    GdevDC* back = dev->backDC;
    for (int y = 0; y < 600; ++y) {
      for (int x = 0; x < 800; ++x) {
        gdevWritePixel(back, x, y, gdevPackRGB(&back->format, x & 0xFF, y & 0xFF, (x * y) & 0xFF));
      }
    }
    GdevRegion* region = gdevNewRegion();
    GdevRect r1{100, 100, 150, 140}, r2{790, 590, 900, 700};  // the second runs off the screen
    gdevUnionRect(region, &r1);
    gdevUnionRect(region, &r2);
    gdevCopyRegionToDisplay(dev, region, 0);
    gdevFreeRegion(region);

    std::vector<uint8_t> shown = readBack(dev);
    const int bpp = back->bytesPerPixel;
    int mismatches = 0;
    for (int y = 0; y < 600 && mismatches < 5; ++y) {
      for (int x = 0; x < 800 && mismatches < 5; ++x) {
        bool inside = (x >= 100 && x < 150 && y >= 100 && y < 140) || (x >= 790 && y >= 590);
        const uint8_t* got = shown.data() + y * back->bytesPerLine + x * bpp;
        std::vector<uint8_t> zero(static_cast<size_t>(bpp), 0);
        const uint8_t* want =
            inside ? back->pixels + y * back->bytesPerLine + x * bpp : zero.data();
        if (std::memcmp(got, want, static_cast<size_t>(bpp)) != 0) {
          ++mismatches;
          ADD_FAILURE() << "pixel " << x << "," << y << (inside ? " inside" : " outside");
        }
      }
    }
    gdevRestoreMode(dev);
    EXPECT_EQ(gdevCurrentDevice(), nullptr);
  }
}

TEST_F(WindowTest, FullScreenModesFlipTwoPages) {
  const GdevMode* mode = findMode("DDRAW", 640, 480, 24);
  ASSERT_NE(mode, nullptr);
  GdevDevice* dev = gdevSetMode(mode, 1);  // the full-screen kind, shown in a window
  ASSERT_NE(dev, nullptr) << gdevErrorText();
  EXPECT_EQ(dev->backDC, nullptr);
  EXPECT_EQ(dev->drawDC, dev->displayDC);
  GdevDC* d = dev->displayDC;
  ASSERT_EQ(d->pages, 2);

  const uint32_t colours[2] = {0xFF2010, 0x0030C0};  // red-heavy, then blue-heavy
  for (int frame = 0; frame < 2; ++frame) {
    SCOPED_TRACE(frame);
    EXPECT_EQ(d->activePage, frame);
    gdevMakeCurrent(d);
    gdevSetColor(colours[frame]);
    gdevFillRect(0, 0, d->width, d->height);
    gdevSwapBuffers(dev, 0);
    EXPECT_EQ(d->visiblePage, frame);
    EXPECT_EQ(d->activePage, 1 - frame);
    std::vector<uint8_t> shown = readBack(dev);
    const uint8_t want[3] = {uint8_t(colours[frame]), uint8_t(colours[frame] >> 8),
                             uint8_t(colours[frame] >> 16)};
    EXPECT_EQ(0, std::memcmp(shown.data(), want, 3));
    EXPECT_EQ(0, std::memcmp(shown.data() + shown.size() - 3, want, 3));
  }
  gdevMakeCurrent(nullptr);
  gdevRestoreMode(dev);
}

TEST_F(WindowTest, OneModeAtATime) {
  GdevDevice* dev = gdevSetMode(findMode("FDIB", 640, 480, 16), 1);
  ASSERT_NE(dev, nullptr) << gdevErrorText();
  EXPECT_EQ(gdevSetMode(findMode("FDIB", 800, 600, 16), 1), nullptr);
  EXPECT_NE(std::string(gdevErrorText()).find("already set"), std::string::npos);
  gdevRestoreMode(dev);
  GdevMode eightBit = *findMode("FDIB", 640, 480, 16);
  eightBit.bitsPerPixel = 8;
  EXPECT_EQ(gdevSetMode(&eightBit, 1), nullptr);
}

// The system's pointer is hidden over the game's window: the game draws its
// own.
TEST_F(WindowTest, TheSystemPointerIsHiddenOverTheWindow) {
  SDL_ShowCursor(SDL_ENABLE);
  GdevDevice* dev = gdevSetMode(findMode("FDIB", 640, 480, 16), 1);
  ASSERT_NE(dev, nullptr) << gdevErrorText();
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  gdevRestoreMode(dev);
}

// Mouse positions come back in screen pixels whatever the window's size.
TEST_F(WindowTest, MousePositionsMapToScreenPixels) {
  GdevDevice* dev = gdevSetMode(findMode("FDIB", 800, 600, 16), 1);
  ASSERT_NE(dev, nullptr) << gdevErrorText();
  struct Case {
    int winW, winH, wx, wy, sx, sy;
  };
  const Case cases[] = {
      {800, 600, 400, 300, 400, 300},  {1600, 1200, 811, 611, 405, 305},
      {1000, 600, 500, 300, 400, 300},  // bars of 100 on both sides
      {1000, 600, 50, 300, 0, 300},     // on the bar: clamped to the edge
      {1000, 600, 999, 599, 799, 599},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.winW << "x" << c.winH << " at " << c.wx << "," << c.wy);
    gdevSetWindowSize(dev, c.winW, c.winH);
    int w = 0, h = 0;
    ASSERT_TRUE(gdevGetWindowSize(dev, &w, &h));
    ASSERT_EQ(w, c.winW);
    ASSERT_EQ(h, c.winH);
    gdevFlushEvents(GDEV_EVT_EVERY);
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = c.wx;
    e.motion.y = c.wy;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
    GdevEvent got;
    ASSERT_TRUE(gdevGetEvent(&got, GDEV_EVT_MOUSEMOVE, true));
    EXPECT_EQ(got.x, c.sx);
    EXPECT_EQ(got.y, c.sy);
  }
  // Moving the cursor to a screen pixel comes back as that pixel.
  gdevSetWindowSize(dev, 1600, 1200);
  gdevFlushEvents(GDEV_EVT_EVERY);
  gdevMoveCursor(123, 456);
  GdevEvent moved;
  ASSERT_TRUE(gdevGetEvent(&moved, GDEV_EVT_MOUSEMOVE, true));
  EXPECT_EQ(moved.x, 123);
  EXPECT_EQ(moved.y, 456);
  gdevRestoreMode(dev);
}

TEST_F(WindowTest, AltEnterGoesFullScreenAndBackAndStaysOutOfTheQueue) {
  GdevDevice* dev = gdevSetMode(findMode("FDIB", 640, 480, 16), 1);
  ASSERT_NE(dev, nullptr) << gdevErrorText();
  for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.scancode = SDL_SCANCODE_RETURN;
    e.key.keysym.sym = SDLK_RETURN;
    e.key.keysym.mod = KMOD_LALT;
    ASSERT_EQ(SDL_PushEvent(&e), 1);
  }
  int w0 = 0, h0 = 0;
  ASSERT_TRUE(gdevGetWindowSize(dev, &w0, &h0));
  GdevEvent got;
  EXPECT_FALSE(gdevGetEvent(&got, GDEV_EVT_KEYEVT, true));
  EXPECT_EQ(dev->windowed, 0);
  SDL_Window* window = SDL_GetWindowFromID(1);
  for (Uint32 id = 1; !window && id < 16; id++) window = SDL_GetWindowFromID(id);
  ASSERT_NE(window, nullptr);
  EXPECT_NE(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
  // Full screen, the picture keeps 4:3 in a whole multiple of its size.
  int fw = 0, fh = 0;
  ASSERT_TRUE(gdevGetWindowSize(dev, &fw, &fh));
  GdevRect full = gdevLetterbox(fw, fh, 640, 480, 1);
  EXPECT_EQ((full.right - full.left) * 3, (full.bottom - full.top) * 4);
  EXPECT_EQ((full.right - full.left) % 640, 0);

  // And back: a window of the size it had, the pointer mapped as before.
  gdevToggleFullscreen(dev);
  EXPECT_EQ(dev->windowed, 1);
  EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN, 0u);
  int w1 = 0, h1 = 0;
  ASSERT_TRUE(gdevGetWindowSize(dev, &w1, &h1));
  EXPECT_EQ(w1, w0);
  EXPECT_EQ(h1, h0);
  gdevFlushEvents(GDEV_EVT_EVERY);
  gdevMoveCursor(321, 123);
  GdevEvent moved;
  ASSERT_TRUE(gdevGetEvent(&moved, GDEV_EVT_MOUSEMOVE, true));
  EXPECT_EQ(moved.x, 321);
  EXPECT_EQ(moved.y, 123);
  gdevRestoreMode(dev);
}

TEST_F(WindowTest, ChooserTakesArrowsAndEnter) {
  post(GDEV_EVT_KEYDOWN, 0, 0x50);    // down
  post(GDEV_EVT_KEYREPEAT, 0, 0x50);  // down again, held
  post(GDEV_EVT_KEYDOWN, 0, 0x48);    // up
  post(GDEV_EVT_KEYDOWN, 0, 0x50);    // down
  post(GDEV_EVT_KEYDOWN, 13, 0x1C);   // Enter
  GdevMode chosen{};
  int windowed = -1;
  ASSERT_EQ(gdevChooseMode(gdevModes(), &chosen, &windowed), 1);
  EXPECT_EQ(chosen.number, 2);
  EXPECT_EQ(windowed, 0);  // a full-screen mode

  post(GDEV_EVT_KEYDOWN, 0, 0x4F);  // End: the last mode, a windowed one
  post(GDEV_EVT_KEYDOWN, 13, 0x1C);
  ASSERT_EQ(gdevChooseMode(gdevModes(), &chosen, &windowed), 1);
  EXPECT_EQ(chosen.number, static_cast<int>(gdevModes().size()) - 1);
  EXPECT_EQ(windowed, 1);
}

TEST_F(WindowTest, ChooserTakesAMouseClickOnALine) {
  // Lines start 56 pixels down and are 20 pixels apart.
  GdevEvent click{};
  click.what = GDEV_EVT_MOUSEDOWN;
  click.message = GDEV_MOD_LEFTBUT;
  click.modifiers = GDEV_MOD_LEFTBUT;
  click.x = 100;
  click.y = 56 + 12 * 20 + 5;
  ASSERT_TRUE(gdevPostEvent(&click));
  GdevMode chosen{};
  int windowed = -1;
  ASSERT_EQ(gdevChooseMode(gdevModes(), &chosen, &windowed), 1);
  EXPECT_EQ(chosen.number, 12);
}

TEST_F(WindowTest, ChooserCancelsOnEscapeAndOnQuit) {
  post(GDEV_EVT_KEYDOWN, 0, 0x50);
  post(GDEV_EVT_KEYDOWN, 27, 0x01);
  GdevMode chosen{};
  chosen.number = -7;
  int windowed = -1;
  EXPECT_EQ(gdevChooseMode(gdevModes(), &chosen, &windowed), 0);
  EXPECT_EQ(chosen.number, -7);  // untouched

  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 1);
  EXPECT_EQ(gdevChooseMode(gdevModes(), &chosen, &windowed), 0);
  GdevEvent left;
  ASSERT_TRUE(gdevGetEvent(&left, GDEV_EVT_USER, true));  // still there for the game's loop
  EXPECT_EQ(left.message, GDEV_APPMSG_QUIT);
}

// What the window itself shows (its renderer's output), in 8-bit channels.
std::vector<uint32_t> windowOutput(int* w, int* h) {
  SDL_Renderer* renderer = gdev::gView.window ? SDL_GetRenderer(gdev::gView.window) : nullptr;
  *w = *h = 0;
  if (!renderer || SDL_GetRendererOutputSize(renderer, w, h) != 0) return {};
  std::vector<uint32_t> out(static_cast<size_t>(*w) * static_cast<size_t>(*h));
  if (SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, out.data(), *w * 4) != 0) return {};
  return out;
}

// Presenting a region redraws only its rectangles in the window when the
// window already holds the whole picture 1:1. Whatever the sequence of
// partial presents, resizes and read-backs, the window must end up showing
// the whole back buffer, each channel widened as gdevUnpackRGB widens it.
TEST_F(WindowTest, TheWindowShowsTheWholePictureAfterPartialPresents) {
  for (int bits : {15, 16, 24}) {
    SCOPED_TRACE(bits);
    GdevDevice* dev = gdevSetMode(findMode("FDIB", 800, 600, bits), 1);
    ASSERT_NE(dev, nullptr) << gdevErrorText();
    GdevDC* back = dev->backDC;
    GdevRegion* region = gdevNewRegion();
    // Paints the rectangle (unless red is negative) and presents it.
    auto present = [&](GdevRect r, int red, int green, int blue) {
      if (red >= 0) {
        gdevMakeCurrent(back);
        gdevSetColorRGB(red, green, blue);
        gdevFillRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
        gdevMakeCurrent(nullptr);
      }
      gdevClearRegion(region);
      gdevUnionRect(region, &r);
      gdevCopyRegionToDisplay(dev, region, 0);
    };
    for (int y = 0; y < 600; ++y) {
      for (int x = 0; x < 800; ++x) {
        gdevWritePixel(back, x, y, gdevPackRGB(&back->format, x & 0xFF, y & 0xFF, (x ^ y) & 0xFF));
      }
    }
    present({0, 0, 800, 600}, -1, 0, 0);  // the whole pattern first
    present({10, 20, 60, 50}, 255, 255, 255);
    present({700, 500, 800, 600}, 200, 100, 50);
    (void)readBack(dev);  // reading back borrows the renderer's target
    present({300, 0, 340, 600}, 10, 250, 130);
    gdevSetWindowSize(dev, 1000, 700);
    present({0, 300, 800, 310}, 90, 90, 255);  // drawn whole, letterboxed
    gdevSetWindowSize(dev, 800, 600);
    GdevEvent e;
    while (gdevGetEvent(&e, GDEV_EVT_EVERY, true)) {
    }
    present({400, 400, 420, 420}, 255, 0, 0);

    int w = 0, h = 0;
    std::vector<uint32_t> shown = windowOutput(&w, &h);
    ASSERT_EQ(w, 800);
    ASSERT_EQ(h, 600);
    ASSERT_FALSE(shown.empty()) << SDL_GetError();
    int mismatches = 0;
    for (int y = 0; y < 600 && mismatches < 5; ++y) {
      for (int x = 0; x < 800 && mismatches < 5; ++x) {
        int r, g, b;
        gdevUnpackRGB(&back->format, gdevReadPixel(back, x, y), &r, &g, &b);
        uint32_t want = static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
        uint32_t got = shown[static_cast<size_t>(y) * 800 + static_cast<size_t>(x)] & 0xFFFFFFu;
        if (got != want) {
          ++mismatches;
          ADD_FAILURE() << "pixel " << x << "," << y << " shows " << std::hex << got << ", want " << want;
        }
      }
    }
    gdevFreeRegion(region);
    gdevRestoreMode(dev);
  }
}

}  // namespace
