// Regime-dependent assets: loading the three versions of every picture from
// data-comm/, data-demo/ and data-dict/ trees written by the tests, lookups
// by name and by sprite, and the switch of a board's sprites.
#include "gfx/rda.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <memory>
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

const char* const kRegimes[3] = {"comm", "demo", "dict"};

int spritesInUse() {
  int n = 0;
  for (const Sprite& s : SPRITES) n += s.inUse != 0;
  return n;
}

std::string pointer(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", p);
  return text;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class RdaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    memInit();
    rdaInit();
    baseline = spritesInUse();
    dc = gdevCreateMemoryDC(8, 8, 16, nullptr);
    ASSERT_NE(dc, nullptr);
    gsCreateMem(&screen, dc);
    gsSelect(&screen);
  }
  void TearDown() override {
    rdaFreeSprites();
    rdaFreeBitmaps();
    rdaInit();
    SPR_FREE_ALL();
    vbCurrent = nullptr;
    gsSelect(nullptr);
    gdevDestroyDC(dc);
    logReset();
  }

  // A sprite file of `frames` one-pixel frames.
  static void makeParent(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
  }
  void gsp(const std::string& path, int frames) {
    makeParent(path);
    static const uint8_t white[4] = {255, 255, 255, 255};
    std::vector<GspFrameImage> images(static_cast<size_t>(frames), GspFrameImage{1, 1, white, 0, 0});
    ASSERT_EQ(gspWrite(path.c_str(), GSP_CM_565, images), 0) << path;
  }
  // The same file in the listed regimes; version r has r + 1 frames, so the
  // versions can be told apart.
  void gspIn(std::initializer_list<int> regimes, const std::string& rel) {
    for (int r : regimes) gsp(std::string("data-") + kRegimes[r] + "/" + rel, r + 1);
  }
  // A 2x2 bitmap of one colour.
  void bmp(const std::string& path, int red, int green, int blue) {
    makeParent(path);
    GdevBitmap* b = gdevCreateBitmap(2, 2, 24);
    for (int i = 0; i < 4; ++i) {
      uint8_t* p = b->pixels + (i / 2) * b->bytesPerLine + (i % 2) * 3;
      p[0] = static_cast<uint8_t>(blue), p[1] = static_cast<uint8_t>(green), p[2] = static_cast<uint8_t>(red);
    }
    ASSERT_TRUE(gdevSaveBitmap(path.c_str(), b));
    gdevFreeBitmap(b);
  }

  // Loads a subdirectory with the log captured.
  int loadSprites(const char* subdir, std::string* log) {
    StderrCapture err;
    int rc = rdaLoadSprites(subdir);
    *log = err.finish();
    return rc;
  }

  TempDir dir;
  ScopedChdir cd{dir.path};
  GdevDC* dc = nullptr;
  gscr screen{};
  int baseline = 0;
};

TEST_F(RdaTest, LoadsTheThreeVersionsOfEveryFileListedInComm) {
  gspIn({0, 1, 2}, "lights/a.gsp");
  gspIn({0, 1, 2}, "lights/Case.gsp");
  gspIn({0, 1}, "lights/only_comm.gsp");  // missing from dict
  gspIn({1}, "lights/demo_only.gsp");      // never listed
  writeFile("data-comm/lights/notes.txt", "not a sprite");

  std::string log;
  // The last file listed ("only_comm.gsp") is incomplete.
  EXPECT_EQ(loadSprites("lights/", &log), 0);
  EXPECT_EQ(spritesInUse(), baseline + 6) << "the versions of an incomplete entry are freed at once";
  EXPECT_TRUE(contains(log, "rdaLoadSprites(): error loading sprite 'data-dict/lights/only_comm.gsp'\n")) << log;
  EXPECT_FALSE(contains(log, "demo_only")) << log;
  EXPECT_FALSE(contains(log, "notes")) << log;

  for (int r = 0; r < 3; ++r) {
    rdaSetRegime(r);
    for (const char* file : {"a.gsp", "Case.gsp"}) {
      std::string path = std::string("data-") + kRegimes[r] + "/lights/" + file;
      Sprite* s = rdaGetSprite((std::string("lights/") + file).c_str());
      ASSERT_NE(s, nullptr) << path;
      EXPECT_STREQ(s->name, path.c_str());
      EXPECT_EQ(s->numfrms, r + 1);
      EXPECT_TRUE(contains(log, "loaded spr-" + pointer(s) + " from '" + path + "'\n")) << log;
    }
  }
}

TEST_F(RdaTest, LookupsCompareNamesExactly) {
  gspIn({0, 1, 2}, "lights/a.gsp");
  gspIn({0, 1, 2}, "lights/Case.gsp");
  gspIn({0, 1}, "lights/only_comm.gsp");
  gspIn({1, 2}, "lights/demo_only.gsp");
  std::string log;
  loadSprites("lights/", &log);
  rdaSetRegime(2);

  struct Case {
    const char* name;
    bool found;
  };
  const Case cases[] = {
      {"lights/a.gsp", true},      {"lights/Case.gsp", true},      {"lights/A.gsp", false},
      {"lights/case.gsp", false},  {"a.gsp", false},               {"Lights/a.gsp", false},
      {"/lights/a.gsp", false},    {"lights/a.gsp ", false},       {"lights/only_comm.gsp", false},
      {"lights/demo_only.gsp", false},
  };
  for (const Case& c : cases) {
    StderrCapture err;
    Sprite* s = rdaGetSprite(c.name);
    std::string msg = err.finish();
    EXPECT_EQ(s != nullptr, c.found) << c.name;
    if (!c.found) {
      EXPECT_EQ(msg, std::string("rdaGetSprite(): object '") + c.name + "' not found in regime 2 data\n");
    }
  }
  // Sprites and bitmaps are separate kinds.
  StderrCapture err;
  EXPECT_EQ(rdaGetBitmap("lights/a.gsp"), nullptr);
  EXPECT_EQ(err.finish(), "rdaGetBitmap(): object 'lights/a.gsp' not found in regime 2 data\n");
}

TEST_F(RdaTest, ResultFollowsTheLastFileListed) {
  gspIn({0, 1}, "fx/w.gsp");  // incomplete, but not last
  gspIn({0, 1, 2}, "fx/x.gsp");
  std::string log;
  EXPECT_EQ(loadSprites("fx/", &log), 1);
  EXPECT_TRUE(contains(log, "rdaLoadSprites(): error loading sprite 'data-dict/fx/w.gsp'")) << log;
  rdaSetRegime(1);
  EXPECT_NE(rdaGetSprite("fx/x.gsp"), nullptr);

  // An empty subdirectory lists the comm directory itself.
  gspIn({0, 1, 2}, "top.gsp");
  EXPECT_EQ(loadSprites("", &log), 1);
  EXPECT_NE(rdaGetSprite("top.gsp"), nullptr);
  EXPECT_EQ(spritesInUse(), baseline + 6);
}

TEST_F(RdaTest, AFullTableStopsTheLoading) {
  for (int i = 0; i < RDA_MAX_ENTRIES - 1; ++i) NINS[i].kind = RDA_BITMAP;  // taken, holding nothing
  gspIn({0, 1, 2}, "lights/a.gsp");
  gspIn({0, 1, 2}, "lights/b.gsp");
  std::string log;
  EXPECT_EQ(loadSprites("lights/", &log), 0);
  EXPECT_TRUE(contains(log, "rdaLoadSprites(): no free slots in NINS[], all 1024 occupied\n")) << log;
  EXPECT_FALSE(contains(log, "b.gsp")) << log;
  EXPECT_EQ(spritesInUse(), baseline + 3);
  EXPECT_EQ(NINS[RDA_MAX_ENTRIES - 1].kind, RDA_SPRITE);
  EXPECT_STREQ(NINS[RDA_MAX_ENTRIES - 1].name, "lights/a.gsp");
}

TEST_F(RdaTest, RegimeIsClampedAndNamed) {
  EXPECT_EQ(rdaRegime, -1);
  EXPECT_STREQ(rdaRegimeName, "<none>");
  for (const char* fn : {"rdaGetSprite()", "rdaGetBitmap()"}) {
    StderrCapture err;
    EXPECT_EQ(std::string(fn) == "rdaGetSprite()" ? static_cast<void*>(rdaGetSprite("x"))
                                                  : static_cast<void*>(rdaGetBitmap("x")),
              nullptr);
    EXPECT_EQ(err.finish(), std::string(fn) + ": invalid rdaRegime -1, not in [0..2], SE\n");
  }
  struct Case {
    int index, regime;
    const char* name;
  };
  for (const Case& c : {Case{-5, 0, "comm"}, Case{0, 0, "comm"}, Case{1, 1, "demo"}, Case{2, 2, "dict"},
                        Case{3, 2, "dict"}, Case{99, 2, "dict"}}) {
    rdaSetRegime(c.index);
    EXPECT_EQ(rdaRegime, c.regime) << c.index;
    EXPECT_STREQ(rdaRegimeName, c.name) << c.index;
  }
  rdaInit();
  EXPECT_EQ(rdaRegime, -1);
  EXPECT_STREQ(rdaRegimeName, "<none>");
}

TEST_F(RdaTest, InstancesAreFoundFromAnyVersion) {
  gspIn({0, 1, 2}, "lights/a.gsp");
  std::string log;
  ASSERT_EQ(loadSprites("lights/", &log), 1);
  Sprite* v[3];
  for (int r = 0; r < 3; ++r) {
    rdaSetRegime(r);
    v[r] = rdaGetSprite("lights/a.gsp");
    ASSERT_NE(v[r], nullptr);
  }
  for (int from = 0; from < 3; ++from) {
    EXPECT_TRUE(rdaIsSprite(v[from]));
    for (int to = 0; to < 3; ++to) EXPECT_EQ(rdaGetSpriteInstance(v[from], to), v[to]) << from << "->" << to;
  }

  gsp("other.gsp", 1);
  Sprite* other = SPR_CREATE("other.gsp");
  ASSERT_NE(other, nullptr);
  EXPECT_FALSE(rdaIsSprite(other));
  EXPECT_FALSE(rdaIsSprite(nullptr));
  struct Case {
    Sprite* sprite;
    int regime;
    std::string message;
  };
  const Case cases[] = {
      {v[0], 3, "rdaGetSpriteInstance(): invalid regime 3, not in [0..2], SE\n"},
      {v[0], -1, "rdaGetSpriteInstance(): invalid regime -1, not in [0..2], SE\n"},
      {other, 1, "rdaGetSpriteInstance(): sprite " + pointer(other) + " ('other.gsp') not found in RDA\n"},
      {&SPRITES[SPR_MAX - 1], 1,
       "rdaGetSpriteInstance(): sprite " + pointer(&SPRITES[SPR_MAX - 1]) + " ('') is not valid, SE\n"},
  };
  for (const Case& c : cases) {
    StderrCapture err;
    EXPECT_EQ(rdaGetSpriteInstance(c.sprite, c.regime), nullptr);
    EXPECT_EQ(err.finish(), c.message);
  }
}

TEST_F(RdaTest, BitmapsLoadInTheScreensFormatAndFreeTheirSurfaces) {
  const int live = memLiveBytes(GS_HEAP_ENGINE);
  const int colours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  for (int r = 0; r < 3; ++r) bmp(std::string("data-") + kRegimes[r] + "/table-i.img", colours[r][0], colours[r][1], colours[r][2]);
  writeFile("data-comm/broken.img", "BMnot really");
  bmp("data-comm/half.img", 1, 2, 3);
  bmp("data-demo/half.img", 1, 2, 3);

  StderrCapture err;
  EXPECT_EQ(rdaLoadBitmaps(""), 1);  // "table-i.img" is listed last and complete
  std::string log = err.finish();
  EXPECT_TRUE(contains(log, "rdaLoadBitmaps(): error loading sprite 'data-comm/broken.img'\n")) << log;
  EXPECT_TRUE(contains(log, "rdaLoadBitmaps(): error loading sprite 'data-dict/half.img'\n")) << log;
  for (int r = 0; r < 3; ++r) {
    rdaSetRegime(r);
    GdevDC* b = rdaGetBitmap("table-i.img");
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(contains(log, "loaded dc-" + pointer(b) + " from 'data-" + kRegimes[r] + "/table-i.img'\n"));
    EXPECT_EQ(b->bitsPerPixel, 16);
    EXPECT_EQ(gdevReadPixel(b, 1, 1), gdevPackRGB(&GDEV_FORMAT_565, colours[r][0], colours[r][1], colours[r][2]));
  }
  StderrCapture quiet;
  EXPECT_EQ(rdaGetBitmap("half.img"), nullptr);
  quiet.finish();
  EXPECT_EQ(memLiveBytes(GS_HEAP_ENGINE), live + 3 * 2 * 2 * 2) << "only the complete entry keeps surfaces";

  // Freeing one kind leaves the other.
  gspIn({0, 1, 2}, "s.gsp");
  ASSERT_EQ(rdaLoadSprites(""), 1);
  rdaFreeBitmaps();
  EXPECT_EQ(memLiveBytes(GS_HEAP_ENGINE), live);
  EXPECT_NE(rdaGetSprite("s.gsp"), nullptr);
  rdaFreeSprites();
  EXPECT_EQ(spritesInUse(), baseline);
  for (const RdaEntry& e : NINS) ASSERT_EQ(e.kind, RDA_FREE);
}

TEST_F(RdaTest, RegimeSwitchSwapsTheBoardsRegimeSprites) {
  gspIn({0, 1, 2}, "lights/a.gsp");
  gspIn({0, 1, 2}, "lights/b.gsp");
  std::string log;
  ASSERT_EQ(loadSprites("lights/", &log), 1);
  gsp("plain.gsp", 1);
  Sprite* plain = SPR_CREATE("plain.gsp");
  Sprite* a[3];
  Sprite* b[3];
  for (int r = 0; r < 3; ++r) {
    a[r] = rdaGetSpriteInstance(NINS[0].sprites[0], r);
    b[r] = rdaGetSpriteInstance(NINS[1].sprites[0], r);
  }
  ASSERT_STREQ(NINS[0].name, "lights/a.gsp");

  GdevDC* bg = gdevCreateMemoryDC(8, 8, 16, nullptr);
  auto board = std::make_unique<VBOARD>();
  vbCreate(board.get(), bg);
  {
    StderrCapture err;
    EXPECT_EQ(rdaSwitchBoard(0, 2), -1);
    EXPECT_EQ(err.finish(), "rdaSwitchBoard(): no current VBOARD\n");
  }
  vbSelect(board.get());
  VBOBJ* lamp = vbAddObject(a[0], 0, 1, 1);
  VBOBJ* smart = vbAddObject(b[0], 0, 2, 2);
  ASSERT_EQ(vbMakeSmart(smart), 1);
  VBOBJ* other = vbAddObject(plain, 0, 3, 3);
  VBOBJ* empty = vbAddObject(nullptr, -1, 4, 4);
  ASSERT_EQ(vbRestore(0), 1);  // bakes the smart one
  ASSERT_EQ(smart->smartState, VB_SMART_BAKED);

  EXPECT_EQ(rdaSwitchBoard(0, 0), 0);
  EXPECT_EQ(lamp->sprite, a[0]);
  EXPECT_EQ(rdaSwitchBoard(0, 2), 2);
  EXPECT_EQ(lamp->sprite, a[2]);
  EXPECT_EQ(smart->sprite, b[2]);
  EXPECT_EQ(smart->clone->donor, b[2]);
  EXPECT_EQ(smart->smartState, VB_SMART_LIVE);
  EXPECT_EQ(other->sprite, plain);
  EXPECT_EQ(empty->sprite, nullptr);
  EXPECT_EQ(rdaSwitchBoard(2, 1), 2);
  EXPECT_EQ(lamp->sprite, a[1]);
  EXPECT_EQ(smart->sprite, b[1]);
  // Between equal regimes nothing is touched, even a sprite of another one.
  vbSetSprite(lamp, a[0]);
  EXPECT_EQ(rdaSwitchBoard(1, 1), 0);
  EXPECT_EQ(lamp->sprite, a[0]);

  vbFree(board.get());
  gdevDestroyDC(bg);
}

}  // namespace
