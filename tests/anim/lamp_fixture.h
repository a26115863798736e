#pragma once
// Shared set-up of the lamp tests: a small 16-bit memory screen with a
// visual board over a background, lamp sprites written with the sprite
// writer (in memory or as files under a scratch directory), configuration
// sets from text, and a frame clock that drives the blink generator and the
// lamp programs with explicit frame deltas.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "anim/lights.h"
#include "core/conf.h"
#include "core/log.h"
#include "core/mem.h"
#include "core/time.h"
#include "core/nproc.h"
#include "gfx/gspwrite.h"
#include "gfx/rda.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "support/testutil.h"

namespace lamptest {

constexpr int W = 32, H = 24;
constexpr uint32_t kBackground = 0x1234;

// Frame i of every test sprite is a 2x2 block of its own colour at the
// sprite's origin, so the frame a lamp shows can be read off the screen.
inline uint8_t frameRed(int i) { return static_cast<uint8_t>(40 + 20 * i); }

inline std::vector<std::vector<uint8_t>> framePictures(int frames) {
  std::vector<std::vector<uint8_t>> pictures;
  for (int i = 0; i < frames; ++i) {
    std::vector<uint8_t> rgba;
    for (int p = 0; p < 4; ++p) rgba.insert(rgba.end(), {frameRed(i), 0, 255, 255});
    pictures.push_back(rgba);
  }
  return pictures;
}

inline std::vector<uint8_t> gspBytes(int frames) {
  auto pictures = framePictures(frames);
  std::vector<GspFrameImage> images;
  for (const auto& p : pictures) images.push_back(GspFrameImage{2, 2, p.data(), 0, 0});
  std::vector<uint8_t> bytes;
  EXPECT_EQ(gspEncode(GSP_CM_565, images, &bytes), 0);
  return bytes;
}

inline void writeSprite(const std::string& path, int frames) {
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent);
  std::vector<uint8_t> bytes = gspBytes(frames);
  writeFile(path, std::string(bytes.begin(), bytes.end()));
}

// The same sprite in the three regime directories.
inline void writeRdaSprite(const std::string& rel, int frames) {
  for (const char* regime : {"comm", "demo", "dict"}) writeSprite(std::string("data-") + regime + "/" + rel, frames);
}

inline int spritesInUse() {
  int n = 0;
  for (const Sprite& s : SPRITES) n += s.inUse != 0;
  return n;
}

inline bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A configuration set parsed from text, freed with the object.
struct TestConf {
  explicit TestConf(const std::string& text) {
    auto bytes = std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EXPECT_EQ(confParseText(&set, bytes, "test.conf"), 0) << text;
  }
  ~TestConf() { conf_free(&set); }
  TestConf(const TestConf&) = delete;
  TestConf& operator=(const TestConf&) = delete;
  ConfSet set{};
};

class LampTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    memInit();
    gsBuildBlendTable();
    screenDC = gdevCreateMemoryDC(W, H, 16, nullptr);
    background = gdevCreateMemoryDC(W, H, 16, nullptr);
    ASSERT_TRUE(screenDC && background);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) gdevWritePixel(background, x, y, kBackground);
    ASSERT_EQ(gsCreateMem(&screen, screenDC), 1);
    gsSelect(&screen);
    vbCreate(board.get(), background);
    vbSelect(board.get());
    rdaInit();
    namedProcClear();
    eventClear();
    lightInit();
    lightSetNameFunc(nullptr);
    synlightSetup(nullptr);
    tmTime = 0;
    baseline = spritesInUse();
  }
  void TearDown() override {
    lightFree();
    lightSetNameFunc(nullptr);
    vbFree(board.get());
    vbCurrent = nullptr;
    rdaFreeSprites();
    rdaInit();
    namedProcClear();
    SPR_FREE_ALL();
    gsSelect(nullptr);
    gdevDestroyDC(screenDC);
    gdevDestroyDC(background);
    tmTime = 0;
    logReset();
  }

  // A sprite of `frames` frames loaded from memory, on a new board object
  // that shows nothing yet.
  VBOBJ* newObject(int frames) {
    std::vector<uint8_t> bytes = gspBytes(frames);
    Sprite* s = SPR_CREATE_MEM(bytes.data(), bytes.size(), "lamp", 0);
    EXPECT_NE(s, nullptr);
    return vbAddObject(s, -1, 0, 0);
  }

  // One frame of the session: the blink generator at the current time, the
  // lamp programs with the frame delta, then the clock moves on.
  void frame(double dt = 10) {
    synlightUpdate();
    lightUpdate(dt);
    tmTime += dt;
  }
  // The object's frame after each of n frames.
  std::vector<int> frames(VBOBJ* obj, int n, double dt = 10) {
    std::vector<int> seen;
    for (int i = 0; i < n; ++i) {
      frame(dt);
      seen.push_back(obj->frame);
    }
    return seen;
  }

  // The colour of the screen pixel at (x, y) after a full frame cycle.
  uint32_t pixelAfterCycle(int x, int y) {
    EXPECT_EQ(vbRestore(0), 1);
    frame();
    EXPECT_EQ(vbDraw(), 1);
    return gdevReadPixel(screenDC, x, y);
  }
  static uint32_t frameColour(int i) { return gdevPackRGB(&GDEV_FORMAT_565, frameRed(i), 0, 255); }

  TempDir dir;
  ScopedChdir cd{dir.path};
  std::unique_ptr<VBOARD> board = std::make_unique<VBOARD>();
  GdevDC* screenDC = nullptr;
  GdevDC* background = nullptr;
  gscr screen{};
  int baseline = 0;
};

}  // namespace lamptest
