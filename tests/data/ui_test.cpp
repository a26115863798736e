// The generated interface sprites in the built game folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "support/testutil.h"

namespace {

const std::string kGame = PB_GAME_DIR;

Sprite* load(const char* name) {
  return SPR_CREATE_FLAGS((kGame + "/data/" + name).c_str(), name, SPR_LOAD_RAW);
}

int opaquePixels(const Sprite* s, int frame) {
  std::vector<uint8_t> rgba;
  if (gspDecodeFrame(s, frame, &rgba) < 0) return -1;
  int n = 0;
  for (size_t i = 3; i < rgba.size(); i += 4) n += rgba[i] > 0;
  return n;
}

TEST(Interface, SpritesLoadWithTheirFrames) {
  logReset();
  logPrint("STDERR 0");
  struct Case {
    const char* name;
    int frames;
  };
  for (const Case& c : {Case{"ruler.gsp", 1}, Case{"cursor.gsp", 3}, Case{"dialog-cursor.gsp", 1},
                        Case{"pause-window.gsp", 1}, Case{"pause-continue.gsp", 1}, Case{"pause-exit.gsp", 1},
                        Case{"ltime-progress.gsp", 21}}) {
    Sprite* s = load(c.name);
    ASSERT_NE(s, nullptr) << c.name;
    EXPECT_EQ(s->numfrms, c.frames) << c.name;
    EXPECT_GT(opaquePixels(s, 0), 0) << c.name;
    SPR_FREE(s);
  }
  logReset();
}

TEST(Interface, PauseChoicesLieInsideTheWindowApart) {
  Sprite* w = load("pause-window.gsp");
  Sprite* c = load("pause-continue.gsp");
  Sprite* e = load("pause-exit.gsp");
  ASSERT_TRUE(w && c && e);
  const SprFrame &fw = w->frames[0], &fc = c->frames[0], &fe = e->frames[0];
  for (const SprFrame* f : {&fc, &fe}) {
    EXPECT_GE(f->x0, fw.x0);
    EXPECT_LE(f->x1, fw.x1);
    EXPECT_GE(f->y0, fw.y0);
    EXPECT_LE(f->y1, fw.y1);
  }
  EXPECT_LT(fc.x1, fe.x0);  // continue on the left, exit on the right
  SPR_FREE(w);
  SPR_FREE(c);
  SPR_FREE(e);
}

TEST(Interface, ProgressBarFillsFrameByFrame) {
  Sprite* bar = load("ltime-progress.gsp");
  ASSERT_NE(bar, nullptr);
  std::vector<uint8_t> first, last;
  ASSERT_EQ(gspDecodeFrame(bar, 0, &first), 0);
  ASSERT_EQ(gspDecodeFrame(bar, bar->numfrms - 1, &last), 0);
  EXPECT_NE(first, last);
  SPR_FREE(bar);
}

TEST(Interface, GeneratorIsDeterministic) {
  TempDir a, b;
  ASSERT_EQ(runProgram(std::string(PB_BIN_DIR) + "/pbui", {a.path}).exitCode, 0);
  ASSERT_EQ(runProgram(std::string(PB_BIN_DIR) + "/pbui", {b.path}).exitCode, 0);
  std::vector<std::string> files = {"ruler.gsp",          "cursor.gsp",      "dialog-cursor.gsp", "pause-window.gsp",
                                    "pause-continue.gsp", "pause-exit.gsp", "ltime-progress.gsp"};
  for (int i = 0; i <= 9; i++) files.push_back("tip-digit" + std::to_string(i) + ".gsp");
  for (int i = 0; i < 5; i++) {
    files.push_back("msym" + std::to_string(i) + ".gsp");
    files.push_back("msym" + std::to_string(i) + "-burst.gsp");
  }
  for (const std::string& f : files) {
    std::string bytes = readFile(a.file("data/" + f));
    EXPECT_FALSE(bytes.empty()) << f;
    EXPECT_EQ(bytes, readFile(b.file(std::string("data/") + f))) << f;
    EXPECT_EQ(bytes, readFile(kGame + "/data/" + f)) << f;
  }
  EXPECT_EQ(runProgram(std::string(PB_BIN_DIR) + "/pbui", {}).exitCode, 1);
}

}  // namespace
