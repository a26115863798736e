#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/log.h"
#include "platform/gdev.h"
#include "support/fixture_bytes.h"
#include "support/testutil.h"

namespace {

struct BitmapFree {
  void operator()(GdevBitmap* b) const { gdevFreeBitmap(b); }
};
using BitmapPtr = std::unique_ptr<GdevBitmap, BitmapFree>;
struct DCFree {
  void operator()(GdevDC* dc) const { gdevDestroyDC(dc); }
};
using DCPtr = std::unique_ptr<GdevDC, DCFree>;

// A bitmap whose every pixel byte differs, so a swapped row or column shows.
BitmapPtr patterned(int w, int h, int bpp) {
  BitmapPtr b(gdevCreateBitmap(w, h, bpp));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < b->bytesPerLine; ++x) {
      b->pixels[y * b->bytesPerLine + x] = static_cast<uint8_t>(y * 37 + x * 5 + 1);
    }
  }
  for (int i = 0; i < 256; ++i) {
    b->palette[i] = GdevColor{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                              static_cast<uint8_t>(i * 3), 0};
  }
  return b;
}

class BitmapTest : public ::testing::Test {
 protected:
  // The reader reports through the log; keep the console quiet and look at
  // the error text instead.
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
  }
  void TearDown() override { logReset(); }
};

TEST_F(BitmapTest, RoundTripKeepsPixelsAndPalette) {
  // Widths whose rows need padding in the file (5 bytes and 9 bytes).
  for (int bpp : {8, 24}) {
    SCOPED_TRACE(bpp);
    BitmapPtr original = patterned(bpp == 8 ? 5 : 3, 4, bpp);
    std::vector<uint8_t> image;
    ASSERT_TRUE(gdevEncodeBitmap(original.get(), &image));
    const uint32_t offset = bpp == 8 ? 14 + 40 + 1024 : 14 + 40;
    EXPECT_EQ(image[0], 'B');
    EXPECT_EQ(image[1], 'M');
    EXPECT_EQ(getLe32(image, 2), image.size());
    EXPECT_EQ(getLe32(image, 10), offset);
    const uint32_t paddedRow = bpp == 8 ? 8 : 12;  // 5 and 9 bytes padded to 4-byte multiples
    EXPECT_EQ(image.size(), offset + paddedRow * 4u);
    // Bottom-up: the file's first row is the picture's last.
    EXPECT_EQ(image[offset], original->pixels[3 * original->bytesPerLine]);

    BitmapPtr back(gdevParseBitmap(image, "round"));
    ASSERT_TRUE(back) << gdevErrorText();
    EXPECT_EQ(back->width, original->width);
    EXPECT_EQ(back->height, 4);
    EXPECT_EQ(back->bitsPerPixel, bpp);
    EXPECT_EQ(0, std::memcmp(back->pixels, original->pixels,
                             static_cast<size_t>(original->bytesPerLine) * 4));
    if (bpp == 8) {
      EXPECT_EQ(back->paletteCount, 256);
      EXPECT_EQ(0, std::memcmp(back->palette, original->palette, sizeof original->palette));
    }
  }
}

TEST_F(BitmapTest, SaveAndLoadThroughAFile) {
  TempDir dir;
  BitmapPtr original = patterned(7, 2, 24);
  ASSERT_TRUE(gdevSaveBitmap(dir.file("a.bmp").c_str(), original.get()));
  BitmapPtr back(gdevLoadBitmap(dir.file("a.bmp").c_str()));
  ASSERT_TRUE(back) << gdevErrorText();
  EXPECT_EQ(0, std::memcmp(back->pixels, original->pixels, 7 * 3 * 2));

  EXPECT_EQ(gdevLoadBitmap(dir.file("missing.bmp").c_str()), nullptr);
  EXPECT_NE(std::string(gdevErrorText()).find("can't open"), std::string::npos);
}

TEST_F(BitmapTest, TopDownFilesReadInPictureOrder) {
  BitmapPtr original = patterned(4, 3, 8);
  std::vector<uint8_t> image;
  ASSERT_TRUE(gdevEncodeBitmap(original.get(), &image));
  // Store the rows top first and say so with a negative height.
  const size_t offset = getLe32(image, 10), row = 4;
  std::vector<uint8_t> topDown(image.begin(), image.begin() + static_cast<long>(offset));
  for (int y = 0; y < 3; ++y) {
    topDown.insert(topDown.end(), original->pixels + y * 4, original->pixels + y * 4 + row);
  }
  bwPatchLe<uint32_t>(&topDown, 22, static_cast<uint32_t>(-3));
  BitmapPtr back(gdevParseBitmap(topDown, "topdown"));
  ASSERT_TRUE(back) << gdevErrorText();
  EXPECT_EQ(back->height, 3);
  EXPECT_EQ(0, std::memcmp(back->pixels, original->pixels, 12));
}

TEST_F(BitmapTest, ShortPaletteLeavesTheRestBlack) {
  BitmapPtr original = patterned(4, 1, 8);
  std::vector<uint8_t> image;
  ASSERT_TRUE(gdevEncodeBitmap(original.get(), &image));
  // Keep 2 palette entries: cut 254 entries out and move the data offset.
  image.erase(image.begin() + 54 + 8, image.begin() + 54 + 1024);
  bwPatchLe<uint32_t>(&image, 46, 2);
  bwPatchLe<uint32_t>(&image, 10, 54 + 8);
  BitmapPtr back(gdevParseBitmap(image, "short"));
  ASSERT_TRUE(back) << gdevErrorText();
  EXPECT_EQ(back->paletteCount, 2);
  EXPECT_EQ(back->palette[1].blue, 3);
  EXPECT_EQ(back->palette[2].red, 0);
  EXPECT_EQ(back->palette[2].green, 0);
}

// Every damaged file fails with a message that names the damage.
TEST_F(BitmapTest, DamagedFilesFailCleanly) {
  BitmapPtr source8 = patterned(4, 4, 8);
  BitmapPtr source24 = patterned(4, 4, 24);
  std::vector<uint8_t> good8, good24;
  ASSERT_TRUE(gdevEncodeBitmap(source8.get(), &good8));
  ASSERT_TRUE(gdevEncodeBitmap(source24.get(), &good24));
  using Edit = std::function<void(std::vector<uint8_t>*)>;
  struct Case {
    const char* name;
    bool eightBit;
    Edit edit;
    const char* message;
  };
  const Case cases[] = {
      {"empty", true, [](auto* b) { b->clear(); }, "too short"},
      {"header only", true, [](auto* b) { b->resize(16); }, "too short"},
      {"signature", true, [](auto* b) { (*b)[0] = 'X'; }, "not a BMP"},
      {"core header", true, [](auto* b) { bwPatchLe<uint32_t>(b, 14, 12); }, "info header size 12"},
      {"huge header", true, [](auto* b) { bwPatchLe<uint32_t>(b, 14, 0xFFFFFFF0u); }, "info header size"},
      {"cut header", true, [](auto* b) { b->resize(40); }, "info header runs past"},
      {"planes", true, [](auto* b) { bwPatchLe<uint16_t>(b, 26, 2); }, "plane count 2"},
      {"depth 16", true, [](auto* b) { bwPatchLe<uint16_t>(b, 28, 16); }, "unsupported depth 16"},
      {"depth 0", false, [](auto* b) { bwPatchLe<uint16_t>(b, 28, 0); }, "unsupported depth 0"},
      {"rle", true, [](auto* b) { bwPatchLe<uint32_t>(b, 30, 1); }, "compressed"},
      {"width 0", true, [](auto* b) { bwPatchLe<uint32_t>(b, 18, 0); }, "invalid dimensions"},
      {"width negative", true, [](auto* b) { bwPatchLe<uint32_t>(b, 18, static_cast<uint32_t>(-4)); },
       "invalid dimensions"},
      {"width absurd", false, [](auto* b) { bwPatchLe<uint32_t>(b, 18, 100000); }, "invalid dimensions"},
      {"height 0", true, [](auto* b) { bwPatchLe<uint32_t>(b, 22, 0); }, "invalid dimensions"},
      {"height INT_MIN", true, [](auto* b) { bwPatchLe<uint32_t>(b, 22, 0x80000000u); }, "invalid dimensions"},
      {"large but empty", false,
       [](auto* b) {
         bwPatchLe<uint32_t>(b, 18, 16384);
         bwPatchLe<uint32_t>(b, 22, 16384);
       },
       "pixel data truncated"},
      {"palette count", true, [](auto* b) { bwPatchLe<uint32_t>(b, 46, 300); }, "palette of 300"},
      {"palette cut", true, [](auto* b) { b->resize(54 + 100); }, "palette runs past"},
      {"offset inside headers", false, [](auto* b) { bwPatchLe<uint32_t>(b, 10, 20); }, "overlaps the headers"},
      {"offset inside palette", true, [](auto* b) { bwPatchLe<uint32_t>(b, 10, 60); }, "overlaps the headers"},
      {"offset past end", false, [](auto* b) { bwPatchLe<uint32_t>(b, 10, 0xFFFFFFFFu); },
       "pixel data truncated"},
      {"last byte missing", true, [](auto* b) { b->pop_back(); }, "pixel data truncated"},
      {"last row missing", false, [](auto* b) { b->resize(b->size() - 12); },
       "pixel data truncated"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = c.eightBit ? good8 : good24;
    c.edit(&bytes);
    BitmapPtr result(gdevParseBitmap(bytes, "bad.bmp"));
    EXPECT_EQ(result, nullptr);
    std::string text = gdevErrorText();
    EXPECT_NE(text.find(c.message), std::string::npos) << text;
    EXPECT_NE(text.find("'bad.bmp'"), std::string::npos) << text;
  }
}

TEST_F(BitmapTest, FailureIsLoggedWithTheReadersName) {
  logReset();
  StderrCapture err;
  std::vector<uint8_t> junk = {'B', 'M'};
  EXPECT_EQ(gdevParseBitmap(junk, "x.bmp"), nullptr);
  EXPECT_EQ(err.finish(), "gdevLoadBitmap(): 'x.bmp': too short for a bitmap header (2 bytes)\n");
}

// Conversion into the three screen depths, with the values worked out by hand.
TEST_F(BitmapTest, DrawingConvertsToTheSurfaceFormat) {
  BitmapPtr bmp(gdevCreateBitmap(3, 1, 24));
  const uint8_t bgr[] = {0xFF, 0xFF, 0xFF, 0x08, 0xFC, 0xF8, 0x56, 0x34, 0x12};
  std::memcpy(bmp->pixels, bgr, sizeof bgr);
  struct Case {
    int bpp;
    uint32_t expected[3];
  };
  const Case cases[] = {
      {15, {0x7FFF, 0x7FE1, 0x08CA}},
      {16, {0xFFFF, 0xFFE1, 0x11AA}},
      {24, {0xFFFFFF, 0xF8FC08, 0x123456}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bpp);
    DCPtr dc(gdevCreateMemoryDC(3, 1, c.bpp, nullptr));
    ASSERT_TRUE(gdevPutBitmap(dc.get(), 0, 0, bmp.get()));
    for (int x = 0; x < 3; ++x) EXPECT_EQ(gdevReadPixel(dc.get(), x, 0), c.expected[x]) << x;
  }
  // A 24-bit surface stores blue, green, red.
  DCPtr dc24(gdevCreateMemoryDC(3, 1, 24, nullptr));
  gdevPutBitmap(dc24.get(), 0, 0, bmp.get());
  EXPECT_EQ(0, std::memcmp(dc24->pixels, bgr, sizeof bgr));
}

TEST_F(BitmapTest, PalettedBitmapsConvertThroughTheirPalette) {
  BitmapPtr bmp(gdevCreateBitmap(2, 2, 8));
  bmp->palette[7] = GdevColor{0xF8, 0x00, 0x08, 0};
  bmp->palette[9] = GdevColor{0x80, 0x80, 0x80, 0};
  const uint8_t idx[] = {7, 9, 9, 7};
  std::memcpy(bmp->pixels, idx, 4);

  DCPtr dc16(gdevCreateMemoryDC(2, 2, 16, nullptr));
  gdevPutBitmap(dc16.get(), 0, 0, bmp.get());
  EXPECT_EQ(gdevReadPixel(dc16.get(), 0, 0), 0xF801u);
  EXPECT_EQ(gdevReadPixel(dc16.get(), 1, 0), (16u << 11) | (32u << 5) | 16u);

  // Into an 8-bit surface: the nearest entry of the surface's own palette.
  DCPtr dc8(gdevCreateMemoryDC(2, 2, 8, nullptr));
  GdevColor grey[256];
  for (int i = 0; i < 256; ++i) grey[i] = GdevColor{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  gdevSetPalette(dc8.get(), grey, 256, 0);
  gdevPutBitmap(dc8.get(), 0, 0, bmp.get());
  EXPECT_EQ(gdevReadPixel(dc8.get(), 1, 0), 0x80u);
  EXPECT_EQ(gdevReadPixel(dc8.get(), 0, 0), 0x55u);  // (248+0+8)/3 rounds to the grey 85
}

TEST_F(BitmapTest, DrawingIsClippedToTheSurface) {
  BitmapPtr bmp(gdevCreateBitmap(3, 3, 8));
  for (int i = 0; i < 9; ++i) {
    bmp->pixels[i] = static_cast<uint8_t>(i + 1);
    bmp->palette[i + 1] = GdevColor{uint8_t(i + 1), uint8_t(i + 1), uint8_t(i + 1), 0};
  }
  DCPtr dc(gdevCreateMemoryDC(2, 2, 8, nullptr));
  for (int i = 0; i < 256; ++i) dc->palette[i] = GdevColor{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  ASSERT_TRUE(gdevPutBitmap(dc.get(), -1, -2, bmp.get()));
  // Surface (0,0) gets bitmap (1,2) = 8, (1,0) gets (2,2) = 9; row 1 is below the bitmap.
  EXPECT_EQ(gdevReadPixel(dc.get(), 0, 0), 8u);
  EXPECT_EQ(gdevReadPixel(dc.get(), 1, 0), 9u);
  EXPECT_EQ(gdevReadPixel(dc.get(), 0, 1), 0u);
  EXPECT_EQ(gdevReadPixel(dc.get(), 1, 1), 0u);
}

}  // namespace
