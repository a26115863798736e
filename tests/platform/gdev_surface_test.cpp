#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <utility>

#include "core/log.h"
#include "platform/gdev.h"

namespace {

struct DCFree {
  void operator()(GdevDC* dc) const { gdevDestroyDC(dc); }
};
using DCPtr = std::unique_ptr<GdevDC, DCFree>;

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
  }
  void TearDown() override {
    gdevMakeCurrent(nullptr);
    logReset();
  }
};

// An 8-bit surface whose pixel (x, y) holds 1 + y * 16 + x.
DCPtr numbered(int w, int h) {
  DCPtr dc(gdevCreateMemoryDC(w, h, 8, nullptr));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      gdevWritePixel(dc.get(), x, y, static_cast<uint32_t>(1 + y * 16 + x));
  }
  return dc;
}

TEST_F(SurfaceTest, MemorySurfacesHaveTheRequestedLayout) {
  struct Case {
    int bpp, bytes;
    const GdevPixelFormat* format;
  };
  const Case cases[] = {{8, 1, nullptr},
                        {15, 2, &GDEV_FORMAT_555},
                        {16, 2, &GDEV_FORMAT_565},
                        {24, 3, &GDEV_FORMAT_888}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bpp);
    DCPtr dc(gdevCreateMemoryDC(5, 3, c.bpp, nullptr));
    ASSERT_TRUE(dc) << gdevErrorText();
    EXPECT_EQ(dc->bytesPerPixel, c.bytes);
    EXPECT_EQ(dc->bytesPerLine, 5 * c.bytes);
    EXPECT_EQ(dc->pages, 1);
    if (c.format) {
      EXPECT_TRUE(gdevFormatEqual(&dc->format, c.format));
      EXPECT_EQ(gdevFormatBits(&dc->format), c.bpp);
    }
  }
}

TEST_F(SurfaceTest, BadSurfacesAreRefused) {
  GdevPixelFormat tooWide = GDEV_FORMAT_888;  // 24 bits of channels in a 16-bit pixel
  GdevPixelFormat badMask = GDEV_FORMAT_565;
  badMask.greenMask = 0x3E;
  GdevPixelFormat farAway = GDEV_FORMAT_565;
  farAway.redPos = 0x7FFFFFFF;
  struct Case {
    int w, h, bpp;
    const GdevPixelFormat* format;
  };
  const Case cases[] = {{0, 4, 16, nullptr}, {4, -1, 16, nullptr}, {20000, 4, 16, nullptr},
                        {4, 4, 12, nullptr}, {4, 4, 16, &tooWide}, {4, 4, 16, &badMask},
                        {4, 4, 16, &farAway}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << "x" << c.bpp);
    EXPECT_EQ(gdevCreateMemoryDC(c.w, c.h, c.bpp, c.format), nullptr);
  }
}

TEST_F(SurfaceTest, PackAndUnpack) {
  EXPECT_EQ(gdevPackRGB(&GDEV_FORMAT_565, 0xF8, 0xFC, 0xF8), 0xFFFFu);
  EXPECT_EQ(gdevPackRGB(&GDEV_FORMAT_555, 0x08, 0x10, 0x18), (1u << 10) | (2u << 5) | 3u);
  int r, g, b;
  gdevUnpackRGB(&GDEV_FORMAT_555, 0x7C1F, &r, &g, &b);
  EXPECT_EQ(r, 0xF8);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 0xF8);
  // The reserved channel does not make two formats differ.
  GdevPixelFormat withAlpha = GDEV_FORMAT_888;
  withAlpha.rsvdMask = 0xFF;
  withAlpha.rsvdPos = 24;
  withAlpha.rsvdAdjust = 0;
  EXPECT_TRUE(gdevFormatEqual(&withAlpha, &GDEV_FORMAT_888));
  EXPECT_EQ(gdevFormatBits(&withAlpha), 32);
  EXPECT_FALSE(gdevFormatEqual(&GDEV_FORMAT_555, &GDEV_FORMAT_565));
}

// Rectangle copies against a per-pixel model of clipping to both surfaces.
TEST_F(SurfaceTest, BitBltClipsToBothSurfaces) {
  struct Case {
    int sx, sy, dx, dy, w, h;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 4, 3},    // whole
      {-2, -1, 0, 0, 4, 3},  // source above and left of its surface
      {1, 1, -1, -2, 4, 4},  // destination above and left
      {2, 1, 3, 2, 9, 9},    // runs off both right and bottom edges
      {3, 2, 0, 0, 1, 1},    // one pixel
      {0, 0, 5, 0, 2, 2},    // entirely outside the destination
      {-9, 0, 0, 0, 3, 3},   // entirely outside the source
      {0, 0, 0, 0, -2, 3},   // negative size copies nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.sx << "," << c.sy << " -> " << c.dx << "," << c.dy << " "
                                    << c.w << "x" << c.h);
    DCPtr src = numbered(4, 3);
    DCPtr dst(gdevCreateMemoryDC(5, 4, 8, nullptr));
    ASSERT_TRUE(gdevBitBlt(dst.get(), c.dx, c.dy, src.get(), c.sx, c.sy, c.w, c.h));
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 5; ++x) {
        int fromX = c.sx + (x - c.dx), fromY = c.sy + (y - c.dy);
        bool copied = x >= c.dx && x < c.dx + c.w && y >= c.dy && y < c.dy + c.h && fromX >= 0 &&
                      fromX < 4 && fromY >= 0 && fromY < 3;
        uint32_t expected = copied ? static_cast<uint32_t>(1 + fromY * 16 + fromX) : 0;
        EXPECT_EQ(gdevReadPixel(dst.get(), x, y), expected) << x << "," << y;
      }
    }
  }
}

TEST_F(SurfaceTest, BitBltOntoItselfMovesRowsIntact) {
  DCPtr dc = numbered(4, 4);
  ASSERT_TRUE(gdevBitBlt(dc.get(), 1, 1, dc.get(), 0, 0, 3, 3));
  for (int y = 1; y < 4; ++y) {
    for (int x = 1; x < 4; ++x) {
      EXPECT_EQ(gdevReadPixel(dc.get(), x, y), static_cast<uint32_t>(1 + (y - 1) * 16 + (x - 1)));
    }
  }
}

TEST_F(SurfaceTest, BitBltRefusesDifferentFormats) {
  DCPtr a(gdevCreateMemoryDC(2, 2, 15, nullptr));
  DCPtr b(gdevCreateMemoryDC(2, 2, 16, nullptr));
  EXPECT_FALSE(gdevBitBlt(a.get(), 0, 0, b.get(), 0, 0, 2, 2));
  EXPECT_NE(std::string(gdevErrorText()).find("differ in format"), std::string::npos);
}

TEST_F(SurfaceTest, StretchBltDoublesHeightOrBoth) {
  DCPtr src = numbered(2, 2);  // 1 2 / 17 18
  DCPtr tall(gdevCreateMemoryDC(3, 5, 8, nullptr));
  ASSERT_TRUE(gdevStretchBlt(tall.get(), 0, 0, src.get(), 0, 0, 2, 2, 1));
  const uint32_t expectTall[5][3] = {{1, 2, 0}, {1, 2, 0}, {17, 18, 0}, {17, 18, 0}, {0, 0, 0}};
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(gdevReadPixel(tall.get(), x, y), expectTall[y][x]) << x << y;

  // Both directions, clipped on the left and the bottom of the destination.
  DCPtr wide(gdevCreateMemoryDC(3, 3, 8, nullptr));
  ASSERT_TRUE(gdevStretchBlt(wide.get(), -1, 0, src.get(), 0, 0, 2, 2, 2));
  const uint32_t expectWide[3][3] = {{1, 2, 2}, {1, 2, 2}, {17, 18, 18}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(gdevReadPixel(wide.get(), x, y), expectWide[y][x]) << x << y;
}

TEST_F(SurfaceTest, DrawingInTheCurrentSurface) {
  DCPtr dc(gdevCreateMemoryDC(6, 3, 16, nullptr));
  gdevMakeCurrent(dc.get());
  gdevSetColorRGB(0xF8, 0, 0);
  EXPECT_EQ(gdevGetColor(), 0xF800u);
  gdevFillRect(4, -1, 5, 3);  // clipped to columns 4..5, rows 0..1
  gdevSetColor(0x1234);
  gdevPutPixel(0, 2);
  gdevPutPixel(6, 0);  // outside: ignored
  EXPECT_EQ(gdevGetPixel(4, 0), 0xF800u);
  EXPECT_EQ(gdevGetPixel(5, 1), 0xF800u);
  EXPECT_EQ(gdevGetPixel(3, 0), 0u);
  EXPECT_EQ(gdevGetPixel(4, 2), 0u);
  EXPECT_EQ(gdevGetPixel(0, 2), 0x1234u);

  // Scanning left from column 5 over the red run stops at column 3.
  EXPECT_EQ(gdevScanLeftWhileColor(5, 0, 0xF800), 3);
  // Over black on row 2 it stops at the plotted pixel; on row 1 it walks off
  // the left edge.
  EXPECT_EQ(gdevScanLeftWhileColor(3, 2, 0), 0);
  EXPECT_EQ(gdevScanLeftWhileColor(3, 1, 0), -1);
  EXPECT_EQ(gdevScanLeftWhileColor(9, 1, 0), 9);  // start outside

  gdevClearDevice();
  EXPECT_EQ(gdevGetPixel(4, 0), 0u);
}

TEST_F(SurfaceTest, ColourByRGBOnPalettedSurfacesTakesTheNearestEntry) {
  DCPtr dc(gdevCreateMemoryDC(2, 2, 8, nullptr));
  GdevColor entries[3] = {{10, 10, 10, 0}, {200, 0, 0, 0}, {200, 0, 0, 0}};
  gdevSetPalette(dc.get(), entries, 3, 5);  // entries 5, 6 and 7
  gdevMakeCurrent(dc.get());
  gdevSetColorRGB(190, 20, 0);
  EXPECT_EQ(gdevGetColor(), 6u);  // the first of the two equal reds
  gdevSetColorRGB(12, 12, 12);
  EXPECT_EQ(gdevGetColor(), 5u);
}

// Blocks come from the hooks of their creation, whatever the hooks are later.
int gLiveBlocks;
void* countingAlloc(size_t size) {
  ++gLiveBlocks;
  return std::malloc(size);
}
void countingRelease(void* block) {
  --gLiveBlocks;
  std::free(block);
}

TEST_F(SurfaceTest, BlocksGoBackToTheHooksThatMadeThem) {
  const GdevAllocator hooks = {countingAlloc, countingRelease};
  gLiveBlocks = 0;
  gdevSetAllocator(&hooks);
  GdevDC* dc = gdevCreateMemoryDC(8, 8, 16, nullptr);
  GdevRegion* region = gdevNewRegion();
  GdevRect r{0, 0, 2, 2};
  gdevUnionRect(region, &r);
  gdevSetAllocator(nullptr);
  EXPECT_EQ(gLiveBlocks, 3);  // surface, region record, rectangle array
  gdevDestroyDC(dc);
  gdevFreeRegion(region);
  EXPECT_EQ(gLiveBlocks, 0);
}

}  // namespace
