// Mosaic transitions: tiles from a mask, sort orders, the step schedule and
// the cross-fade arithmetic.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/log.h"
#include "core/random.h"
#include "gfx/mosaic.h"
#include "gfx/screen.h"
#include "support/testutil.h"

namespace {

// An 8-bit mask from rows of digits ('0' = no tile).
GdevDC* maskOf(const std::vector<std::string>& rows) {
  GdevDC* dc = gdevCreateMemoryDC(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), 8, nullptr);
  for (size_t y = 0; y < rows.size(); y++)
    for (size_t x = 0; x < rows[y].size(); x++)
      gdevWritePixel(dc, static_cast<int>(x), static_cast<int>(y), static_cast<uint32_t>(rows[y][x] - '0'));
  return dc;
}

std::vector<MosTile> tiles(Mosaic* m) {
  std::vector<MosTile> out;
  for (int i = 0; i < m->tiles.count; i++) out.push_back(*static_cast<MosTile*>(arrGet(&m->tiles, i)));
  return out;
}

struct MosaicTest : ::testing::Test {
  void SetUp() override {
    logReset();
    logPrint("STDERR 0");
    gsBuildBlendTable();
    ASSERT_EQ(mosCreate(&mos), 0);
  }
  void TearDown() override {
    mosFree(&mos);
    logReset();
  }
  Mosaic mos;
};

TEST_F(MosaicTest, AreasOfOneGreyThatDoNotTouchAreSeparateTiles) {
  GdevDC* m = maskOf({"220330",
                      "000330",
                      "220001"});
  ASSERT_EQ(mosBuildFromDC(&mos, m), 0);
  std::vector<MosTile> t = tiles(&mos);
  ASSERT_EQ(t.size(), 4u);
  // Scan order: first pixel of each area, its grey, its spans.
  EXPECT_EQ(t[0].x, 0); EXPECT_EQ(t[0].y, 0); EXPECT_EQ(t[0].light, 2); EXPECT_EQ(t[0].spanCount, 1);
  EXPECT_EQ(t[1].x, 3); EXPECT_EQ(t[1].y, 0); EXPECT_EQ(t[1].light, 3); EXPECT_EQ(t[1].spanCount, 2);
  EXPECT_EQ(t[2].x, 0); EXPECT_EQ(t[2].y, 2); EXPECT_EQ(t[2].light, 2);
  EXPECT_EQ(t[3].x, 5); EXPECT_EQ(t[3].y, 2); EXPECT_EQ(t[3].light, 1);
  int pixels = 0;
  for (int i = 0; i < mos.spans.count; i++) pixels += static_cast<MosSpan*>(arrGet(&mos.spans, i))->length;
  EXPECT_EQ(pixels, 9);
  gdevDestroyDC(m);
}

TEST_F(MosaicTest, SortOrders) {
  GdevDC* m = maskOf({"10203",
                      "00000",
                      "30201"});
  ASSERT_EQ(mosBuildFromDC(&mos, m), 0);
  auto order = [&] {
    std::string s;
    for (const MosTile& t : tiles(&mos)) s += std::to_string(t.light) + "@" + std::to_string(t.x) + std::to_string(t.y) + " ";
    return s;
  };
  mosSort(&mos, MOS_SORT_LIGHT_YX);
  EXPECT_EQ(order(), "1@00 1@42 2@20 2@22 3@40 3@02 ");
  mosSort(&mos, MOS_SORT_LIGHTREV_YX);
  EXPECT_EQ(order(), "3@02 3@40 2@22 2@20 1@42 1@00 ");
  rndSeed(5);
  mosSort(&mos, MOS_SORT_LIGHT);
  std::vector<MosTile> t = tiles(&mos);
  for (size_t i = 1; i < t.size(); i++) EXPECT_LE(t[i - 1].light, t[i].light);
  EXPECT_EQ(mosSortByName("lightrev_yx"), MOS_SORT_LIGHTREV_YX);
  EXPECT_EQ(mosSortByName("image"), -1);
  gdevDestroyDC(m);
}

TEST_F(MosaicTest, TilesStartOnScheduleAndFadeInSteps) {
  GdevDC* m = maskOf({"1111111"});
  gdevWritePixel(m, 1, 0, 0);
  gdevWritePixel(m, 3, 0, 0);
  gdevWritePixel(m, 5, 0, 0);  // four one-pixel tiles: columns 0, 2, 4, 6
  ASSERT_EQ(mosBuildFromDC(&mos, m), 0);
  ASSERT_EQ(mos.tiles.count, 4);

  // With addnum 3 and addfreq 2 three tiles start on step 3, the fourth on step 6.
  MosRun run;
  ASSERT_EQ(mosRunBegin(&run, &mos, 100, 2, 3), 0);
  std::vector<int> active;
  for (int step = 1; step <= 7; step++) {
    mosRunStep(&run, nullptr, nullptr);
    active.push_back(run.active.count);
  }
  EXPECT_EQ(active, (std::vector<int>{0, 0, 3, 3, 3, 4, 4}));
  mosRunEnd(&run);

  // With alpha_steps 4 a tile shows 63, 127, 191, 255 and is finished on the
  // fifth step. Fading black to white at 24 bits shows a directly.
  GdevDC* screen = gdevCreateMemoryDC(7, 1, 24, nullptr);
  GdevDC* from = gdevCreateMemoryDC(7, 1, 24, nullptr);
  GdevDC* to = gdevCreateMemoryDC(7, 1, 24, nullptr);
  std::memset(to->pixels, 255, 7 * 3);
  gscr scr{};
  ASSERT_EQ(gsCreateMem(&scr, screen), 1);
  gscr* old = gsSelect(&scr);
  ASSERT_EQ(mosRunBegin(&run, &mos, 4, 1, 4), 0);
  mosRunStep(&run, from, to);  // step 1: tiles not started yet
  std::vector<int> seen;
  int more = 1;
  for (int step = 2; more; step++) {
    more = mosRunStep(&run, from, to);
    seen.push_back(screen->pixels[0]);
    ASSERT_LT(step, 20);
  }
  EXPECT_EQ(seen, (std::vector<int>{63, 127, 191, 255, 255}));
  EXPECT_EQ(screen->pixels[3], 0);  // column 1 belongs to no tile
  mosRunEnd(&run);
  gsSelect(old);
  gsRelease(&scr);
  gdevDestroyDC(screen);
  gdevDestroyDC(from);
  gdevDestroyDC(to);
  gdevDestroyDC(m);
}

TEST_F(MosaicTest, AnimationSetEndsAtFirstMissingMask) {
  TempDir d;
  std::filesystem::create_directories(d.file("conf"));
  std::filesystem::create_directories(d.file("data"));
  GdevBitmap* bmp = gdevCreateBitmap(4, 2, 8);
  for (int i = 0; i < 256; i++) bmp->palette[i] = GdevColor{uint8_t(i), uint8_t(i), uint8_t(i), 0};
  bmp->pixels[0] = 9;
  bmp->pixels[5] = 7;
  ASSERT_TRUE(gdevSaveBitmap(d.file("data/mask.bmp").c_str(), bmp));
  gdevFreeBitmap(bmp);
  writeFile(d.file("conf/mosaic.conf"),
            "sort = \"light\"\nalpha_steps = 4\n[anim0]\nmask = \"data/mask.bmp\"\n"
            "[anim2]\nmask = \"data/mask.bmp\"\n");
  ScopedChdir cd(d.path);
  ASSERT_EQ(MOS_ANIM_PRELOAD(0), 0);
  EXPECT_EQ(mosAnimCount(), 1);

  GdevDC* pic = gdevCreateMemoryDC(4, 2, 16, nullptr);
  StderrCapture err;
  logPrint("STDERR 1");
  EXPECT_EQ(MOS_ANIM_RUN(pic, 1, 1), -1);
  logPrint("STDERR 0");
  EXPECT_EQ(err.finish(), "MOS_ANIM_RUN(): incorrect animation index 1 (max 0)\n");
  gdevDestroyDC(pic);
  mosAnimFreeAll();
}

}  // namespace
