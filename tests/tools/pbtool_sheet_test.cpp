// pbtool sheet: every sprite and font of a folder drawn into one picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/font.h"
#include "gfx/gspwrite.h"
#include "pngio.h"
#include "support/testutil.h"

namespace {

RunResult pbtool(const std::vector<std::string>& args) {
  return runProgram(std::string(PB_BIN_DIR) + "/pbtool", args);
}

// w x h pixels of one opaque colour.
std::vector<uint8_t> solid(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  for (size_t i = 0; i < px.size(); i += 4) {
    px[i] = r;
    px[i + 1] = g;
    px[i + 2] = b;
    px[i + 3] = 255;
  }
  return px;
}

int pixelsOf(const std::vector<uint8_t>& rgba, uint8_t r, uint8_t g, uint8_t b) {
  int n = 0;
  for (size_t i = 0; i < rgba.size(); i += 4) n += rgba[i] == r && rgba[i + 1] == g && rgba[i + 2] == b;
  return n;
}

TEST(PbtoolSheet, DrawsEveryFrameAndAFontSample) {
  TempDir d;
  std::filesystem::create_directories(d.file("game/data/sub"));
  std::filesystem::create_directories(d.file("game/titles/fonts"));
  // Two frames of 6 x 5 in a colour nothing else on the sheet has; 8-8-8
  // keeps it exact.
  const std::vector<uint8_t> red = solid(6, 5, 250, 10, 20);
  const GspFrameImage frames[2] = {{6, 5, red.data(), 0, 0}, {6, 5, red.data(), 3, 2}};
  ASSERT_EQ(gspWrite(d.file("game/data/sub/two.gsp").c_str(), GSP_CM_888_ALPHA, frames), 0);
  // A font of two glyphs: 'A' and the space.
  uint8_t map[FNT_MAP_SIZE];
  std::fill(std::begin(map), std::end(map), uint8_t{255});
  map[uint8_t{' '}] = 0;
  map[uint8_t{'A'}] = 1;
  const std::vector<uint8_t> space(4 * 8 * 4, 0);
  const std::vector<uint8_t> glyphA = solid(4, 8, 10, 20, 250);
  const GspFrameImage glyphs[2] = {{4, 8, space.data(), 0, 0}, {4, 8, glyphA.data(), 0, 0}};
  ASSERT_EQ(fnpWrite(d.file("game/titles/fonts/blue.fnp").c_str(), GSP_CM_888_ALPHA, glyphs, map), 0);

  const RunResult r = pbtool({"sheet", d.file("game"), d.file("sheet.png")});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "sprite\tdata/sub/two.gsp\t2\nfont\ttitles/fonts/blue.fnp\t2\n");
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  ASSERT_TRUE(pngReadRGBA(d.file("sheet.png").c_str(), &w, &h, &rgba));
  EXPECT_EQ(w, 1280);
  // Both frames whole (the second one in its place within the frames'
  // common box), and the sample lines show 'A' at least once.
  EXPECT_EQ(pixelsOf(rgba, 250, 10, 20), 2 * 6 * 5);
  EXPECT_GE(pixelsOf(rgba, 10, 20, 250), 4 * 8);
}

TEST(PbtoolSheet, NamesWhatDoesNotLoadAndFails) {
  TempDir d;
  std::filesystem::create_directories(d.file("game/data"));
  writeFile(d.file("game/data/bad.gsp"), "not a sprite");
  const RunResult r = pbtool({"sheet", d.file("game"), d.file("sheet.png")});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("can't load the sprite"), std::string::npos) << r.err;
  EXPECT_TRUE(pathExists(d.file("sheet.png")));  // the rest is still drawn

  const RunResult none = pbtool({"sheet", d.file("nowhere"), d.file("x.png")});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("is not a folder"), std::string::npos) << none.err;
}

}  // namespace
