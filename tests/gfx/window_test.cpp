// A visual board drawn through a real window: the device layer opens an
// 800x600 window under SDL's offscreen driver, the board draws frames of
// sprite objects over a background, and the picture the window was given
// must equal the engine's surface byte for byte.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/mem.h"
#include "gfx/gspwrite.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "support/testutil.h"

namespace {

constexpr int W = 800, H = 600;

const GdevMode* windowedMode(int bits) {
  for (const GdevMode& m : gdevModes()) {
    if (std::strstr(m.driver, "FDIB") && m.width == W && m.height == H && m.bitsPerPixel == bits) return &m;
  }
  return nullptr;
}

// A 24x20 ball-like sprite: an opaque core in a half transparent ring (run
// alpha), and a plain arrow that looks different mirrored.
Sprite* makeSprite(bool runAlpha, int r, int g, int b) {
  std::vector<uint8_t> rgba(24 * 20 * 4, 0);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 24; ++x) {
      uint8_t* p = &rgba[(static_cast<size_t>(y) * 24 + static_cast<size_t>(x)) * 4];
      int dx = x - 12, dy = y - 10, d2 = dx * dx + dy * dy;
      int alpha = 0;
      if (runAlpha) {
        alpha = d2 < 36 ? 255 : d2 < 90 ? 128 : 0;
      } else {
        alpha = x < 4 + y ? 255 : 0;  // a wedge
      }
      p[0] = static_cast<uint8_t>(r), p[1] = static_cast<uint8_t>(g), p[2] = static_cast<uint8_t>(b);
      p[3] = static_cast<uint8_t>(alpha);
    }
  }
  GspFrameImage frame{24, 20, rgba.data(), 2, 3};
  std::vector<uint8_t> bytes;
  if (gspEncode(runAlpha ? GSP_CM_888_ALPHA : GSP_CM_888, std::span(&frame, 1), &bytes) != 0) return nullptr;
  return SPR_CREATE_MEM(bytes.data(), bytes.size(), runAlpha ? "ball" : "wedge", 0);
}

class BoardWindowTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    logReset();
    memInit();
    gsBuildBlendTable();
    if (gdevIsInitialised()) gdevExit();
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    ASSERT_TRUE(gdevInit("Qel")) << "SDL's offscreen video driver could not start: " << gdevErrorText();
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "offscreen");
    const GdevMode* mode = windowedMode(GetParam());
    ASSERT_NE(mode, nullptr) << "no windowed " << W << "x" << H << "x" << GetParam() << " mode";
    device = gdevSetMode(mode, 1);
    ASSERT_NE(device, nullptr) << "the offscreen driver could not open a window: " << gdevErrorText();
    ASSERT_EQ(gsCreateMGL(&screen, device), 1);
    gsSelect(&screen);
  }
  void TearDown() override {
    if (board) vbFree(board.get());
    vbCurrent = nullptr;
    SPR_FREE_ALL();
    gsSelect(nullptr);
    if (background) mglFreeDC(background);
    gsRelease(&screen);
    gdevExit();
    logReset();
  }

  std::vector<uint8_t> presented() {
    const GdevDC* d = device->displayDC;
    std::vector<uint8_t> out(static_cast<size_t>(d->bytesPerLine) * static_cast<size_t>(d->height), 0xCD);
    EXPECT_TRUE(gdevReadPresented(device, out.data(), d->bytesPerLine)) << gdevErrorText();
    return out;
  }

  GdevDevice* device = nullptr;
  gscr screen{};
  GdevDC* background = nullptr;
  std::unique_ptr<VBOARD> board;
};

TEST_P(BoardWindowTest, PresentedPictureEqualsTheEngineSurface) {
  const int bits = GetParam();
  ASSERT_EQ(screen.bpp, bits);

  // The table: a gradient background and a depth plane that puts the right
  // third of the screen in front of depth-tested objects.
  background = mglCloneDC(screen.dc);
  ASSERT_NE(background, nullptr);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      gdevWritePixel(background, x, y, gdevPackRGB(&background->format, x * 255 / W, y * 255 / H, (x ^ y) & 0xFF));
  std::vector<uint16_t> depth(static_cast<size_t>(W) * H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) depth[static_cast<size_t>(y) * W + x] = x < 2 * W / 3 ? 1000 : 10;
  ASSERT_EQ(gsAddZBuffer(&screen, depth.data(), W, H), 1);

  Sprite* ball = makeSprite(true, 240, 240, 32);
  Sprite* wedge = makeSprite(false, 32, 200, 240);
  ASSERT_TRUE(ball && wedge);

  board = std::make_unique<VBOARD>();
  vbCreate(board.get(), background);
  vbSelect(board.get());
  std::vector<VBOBJ*> moving;
  for (int i = 0; i < 12; ++i) {
    VBOBJ* o = vbAddObject(i % 2 ? ball : wedge, 0, 40 + i * 61, 50 + i * 37);
    ASSERT_NE(o, nullptr);
    o->z = 100;
    o->zFlag = i % 3 == 0;
    o->mFlag = i % 2 == 0 && i % 4 == 0;  // mirrored wedges (plain copies work at every depth)
    o->layer = i % 4;
    moving.push_back(o);
  }
  VBOBJ* still = vbAddObject(ball, 0, 400, 300);
  ASSERT_EQ(vbMakeSmart(still), 1);

  StderrCapture err;
  for (int f = 0; f < 6; ++f) {
    ASSERT_EQ(vbRestore(f == 0), 1);
    for (size_t i = 0; i < moving.size(); ++i) {
      VBOBJ* o = moving[i];
      vbSetXY(o, o->x + 17 + static_cast<int>(i), o->y + 9);
    }
    ASSERT_EQ(vbDraw(), 1);
    gsUpdate(0);
  }
  EXPECT_EQ(err.finish(), "");
  EXPECT_EQ(still->smartState, VB_SMART_BAKED);

  const std::vector<uint8_t> shown = presented();
  const GdevDC* dc = screen.dc;
  const size_t rowBytes = static_cast<size_t>(W) * static_cast<size_t>(dc->bytesPerPixel);
  int badRows = 0;
  for (int y = 0; y < H; ++y) {
    const uint8_t* want = dc->pixels + static_cast<size_t>(y) * static_cast<size_t>(dc->bytesPerLine);
    const uint8_t* got = shown.data() + static_cast<size_t>(y) * static_cast<size_t>(device->displayDC->bytesPerLine);
    if (std::memcmp(want, got, rowBytes) != 0 && ++badRows <= 3) ADD_FAILURE() << "row " << y << " differs";
  }
  EXPECT_EQ(badRows, 0);

  // The comparison is about a real picture: the sprites are on it and the
  // places they left show the background again.
  int spritePixels = 0, trailPixels = 0;
  const GdevDC* bg = background;
  for (int y = 0; y < H; ++y) {
    const uint8_t* a = dc->pixels + static_cast<size_t>(y) * static_cast<size_t>(dc->bytesPerLine);
    const uint8_t* b = bg->pixels + static_cast<size_t>(y) * static_cast<size_t>(bg->bytesPerLine);
    for (size_t x = 0; x < rowBytes; x += static_cast<size_t>(dc->bytesPerPixel)) {
      if (std::memcmp(a + x, b + x, static_cast<size_t>(dc->bytesPerPixel)) == 0) continue;
      ++spritePixels;
      // Every sprite pixel lies in the box of some object's current place.
      int px = static_cast<int>(x) / dc->bytesPerPixel;
      bool inside = false;
      for (const VBOBJ& o : board->objects) {
        if (o.inUse && px >= o.x && px < o.x + 26 && y >= o.y && y < o.y + 23) inside = true;
      }
      trailPixels += !inside;
    }
  }
  EXPECT_GT(spritePixels, 1000);
  EXPECT_EQ(trailPixels, 0);
}

INSTANTIATE_TEST_SUITE_P(Window, BoardWindowTest, ::testing::Values(16, 24),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "bpp";
                         });

}  // namespace
