// Fonts and board strings: .fnp files made by the writer, header damage, and
// the objects a string puts on the board.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/bytes.h"
#include "core/log.h"
#include "gfx/font.h"
#include "gfx/screen.h"
#include "gfx/vboard.h"
#include "support/testutil.h"

namespace {

// Three glyphs 2, 3 and 4 pixels wide; 'A' -> 0, 'B' -> 1, 'C' -> 2, 'D' -> 3
// (one past the last glyph), 'E' -> 200; everything else 255.
std::vector<uint8_t> fontBytes() {
  static std::vector<uint8_t> px(4 * 5 * 4, 255);
  std::vector<GspFrameImage> glyphs;
  for (int w = 2; w <= 4; w++) glyphs.push_back({w, 5, px.data(), 0, 0});
  uint8_t map[FNT_MAP_SIZE];
  std::fill(map, map + FNT_MAP_SIZE, 255);
  map[uint8_t('A')] = 0;
  map[uint8_t('B')] = 1;
  map[uint8_t('C')] = 2;
  map[uint8_t('D')] = 3;
  map[uint8_t('E')] = 200;
  std::vector<uint8_t> out;
  EXPECT_EQ(fnpEncode(GSP_CM_565_ALPHA, glyphs, map, &out), 0);
  return out;
}

struct FontTest : ::testing::Test {
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    gsBuildBlendTable();
    dc = gdevCreateMemoryDC(64, 16, 16, nullptr);
    bg = gdevCreateMemoryDC(64, 16, 16, nullptr);
    ASSERT_EQ(gsCreateMem(&scr, dc), 1);
    old = gsSelect(&scr);
    vbCreate(&board, bg);
    vbSelect(&board);
  }
  void TearDown() override {
    vbDeselect(&board);
    vbFree(&board);
    SPR_FREE_ALL();
    for (Font& f : FONTS) FNT_FREE(&f);
    gsSelect(old);
    gsRelease(&scr);
    gdevDestroyDC(dc);
    gdevDestroyDC(bg);
    logReset();
  }
  std::string errors(const std::function<void()>& f) {
    StderrCapture err;
    logPrint("STDERR 1");
    f();
    logPrint("STDERR 0");
    return err.finish();
  }
  GdevDC *dc = nullptr, *bg = nullptr;
  gscr scr{};
  gscr* old = nullptr;
  static VBOARD board;
};
VBOARD FontTest::board;

TEST_F(FontTest, LoadsMapAndMeasuresText) {
  TempDir d;
  std::vector<uint8_t> bytes = fontBytes();
  writeFile(d.file("f.fnp"), std::string(bytes.begin(), bytes.end()));
  Font* f = FNT_CREATE(d.file("f.fnp").c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->chars->numfrms, 3);
  EXPECT_EQ(f->map[uint8_t('C')], 2);
  EXPECT_EQ(fntLineHeight(f), 5);
  VBSTR s;
  ASSERT_EQ(vbStrCreate(&s, f), 1);
  EXPECT_EQ(vbStrWidth(&s, "ABCxE"), 2 + 3 + 4);
  s.spacing = 1;
  EXPECT_EQ(vbStrWidth(&s, "ABC"), 3 + 4 + 5);
  // Without a display name the font takes its file's.
  Font* unnamed = FNT_CREATE_FLAGS(d.file("f.fnp").c_str(), nullptr, 0);
  ASSERT_NE(unnamed, nullptr);
  EXPECT_EQ(unnamed->map[uint8_t('C')], 2);
}

TEST_F(FontTest, DamagedHeadersAreRefused) {
  TempDir d;
  std::vector<uint8_t> bytes = fontBytes();
  // The map is the last section: shorten its directory length to 200.
  size_t records = bytesGetBe<uint16_t>(bytes.data() + 2);
  bwPatchBe<uint32_t>(&bytes, 4 + 13 * (records - 1) + 9, 200);
  writeFile(d.file("short.fnp"), std::string(bytes.begin(), bytes.end()));
  std::string path = d.file("short.fnp");
  EXPECT_EQ(errors([&] { EXPECT_EQ(FNT_CREATE(path.c_str()), nullptr); }),
            "FNT_CREATE(): error reading font header from '" + path + "' (200 of 256 bytes read)\n");

  std::vector<uint8_t> px(4, 255), gsp;
  std::vector<GspFrameImage> glyphs = {{1, 1, px.data(), 0, 0}};
  ASSERT_EQ(gspEncode(GSP_CM_565, glyphs, &gsp), 0);
  writeFile(d.file("plain.gsp"), std::string(gsp.begin(), gsp.end()));
  std::string plain = d.file("plain.gsp");
  EXPECT_EQ(errors([&] { EXPECT_EQ(FNT_CREATE_ALT(plain.c_str(), "menu"), nullptr); }),
            "PF_SELECT(): id 120DFFDD not found\n"
            "FNT_CREATE_ALT(): font header not found in file '" + plain + "'\n");
  // Nothing was left behind.
  for (const Sprite& s : SPRITES) ASSERT_FALSE(s.inUse);
  for (const Font& f : FONTS) ASSERT_FALSE(f.inUse);
}

TEST_F(FontTest, StringsPlaceOneObjectPerGlyph) {
  std::vector<uint8_t> bytes = fontBytes();
  Font* f = FNT_CREATE_MEM(bytes.data(), bytes.size(), "f", 0);
  ASSERT_NE(f, nullptr);
  VBSTR s;
  ASSERT_EQ(vbStrCreate(&s, f), 1);
  ASSERT_EQ(vbStrDraw(&s, 10, 4, "AxBC"), 1);  // 'x' maps to 255: skipped
  ASSERT_EQ(s.count, 3);
  EXPECT_EQ(s.objects[0]->x, 10);
  EXPECT_EQ(s.objects[1]->x, 12);
  EXPECT_EQ(s.objects[2]->x, 15);
  EXPECT_EQ(s.objects[2]->frame, 2);
  VBOBJ* first = s.objects[0];

  // Drawing again marks the old objects dead.
  ASSERT_EQ(vbStrDraw(&s, 0, 0, "B"), 1);
  EXPECT_TRUE(first->dead);
  EXPECT_EQ(s.count, 1);

  // A glyph number equal to the frame count stops the string with an error.
  std::string err = errors([&] { EXPECT_EQ(vbStrDraw(&s, 0, 0, "AD"), 0); });
  EXPECT_NE(err.find("vbStrDraw(): error adding VB object, aborting"), std::string::npos) << err;
  EXPECT_EQ(s.count, 1);

  // Text is cut at 256 objects.
  std::string longText(300, 'A');
  ASSERT_EQ(vbStrDraw(&s, 0, 0, longText.c_str()), 1);
  EXPECT_EQ(s.count, VBSTR_MAX_OBJECTS);
}

TEST_F(FontTest, NullRecordsAreReported) {
  EXPECT_EQ(errors([] { EXPECT_EQ(vbStrCreate(nullptr, nullptr), 0); }),
            "vbStrCreate(): VBSTR is NULL, aborting\n");
  VBSTR s;
  EXPECT_EQ(errors([&] { EXPECT_EQ(vbStrCreate(&s, nullptr), 0); }),
            "vbStrCreate(): FONT is NULL, aborting\n");
  EXPECT_NE(errors([&] { EXPECT_EQ(vbStrDraw(&s, 0, 0, "A"), 0); }).find("font is NULL, SE"),
            std::string::npos);
}

}  // namespace
