// The generated logo clips and mosaic masks in the built game folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "gfx/mosaic.h"
#include "gfx/screen.h"
#include "gfx/vid.h"
#include "support/testutil.h"

namespace {

const std::string kGame = PB_GAME_DIR;

TEST(Clips, LogoClipsDecodeAndMove) {
  logReset();
  logPrint("STDERR 0");
  struct Case {
    const char* clip;
    int frames;
    bool moving;
  };
  const Case cases[] = {{"data/lumo-logo.vid", 60, true}, {"data/empty.vid", 15, false},
                        {"data/ortan-logo.vid", 72, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clip);
    VidClip clip;
    ASSERT_EQ(vidOpen(&clip, (kGame + "/" + c.clip).c_str()), 1);
    EXPECT_EQ(clip.width, 800);
    EXPECT_EQ(clip.height, 600);
    EXPECT_EQ(clip.frames, c.frames);
    std::vector<uint16_t> screen(800 * 600);
    VidTarget t{reinterpret_cast<uint8_t*>(screen.data()), 1600, 800, 600, 16};
    std::vector<uint16_t> first;
    bool changed = false, lit = false;
    for (int f = 0; f < clip.frames; f++) {
      ASSERT_EQ(vidPutFrameTo(&clip, t, VID_DRAW_PLAIN, f, 0, 0), 1) << f;
      if (f == 0) first = screen;
      changed |= screen != first;
      for (uint16_t p : screen) lit |= p != 0;
    }
    EXPECT_EQ(changed, c.moving);
    EXPECT_EQ(lit, c.moving);  // the pause clip stays black
    vidClose(&clip);
  }
  logReset();
}

TEST(Clips, MosaicMasksAndConfiguration) {
  logReset();
  logPrint("STDERR 0");
  gsBuildBlendTable();
  for (const char* mask : {"data/mosaic-subgame.bmp", "data/mosaic-regime.bmp"}) {
    Mosaic m;
    ASSERT_EQ(mosCreate(&m), 0);
    ASSERT_EQ(mosLoadBitmap(&m, (kGame + "/" + mask).c_str()), 0) << mask;
    EXPECT_GT(m.tiles.count, 40) << mask;
    mosFree(&m);
  }
  ScopedChdir cd(kGame);
  ASSERT_EQ(MOS_ANIM_PRELOAD(0), 0);
  EXPECT_EQ(mosAnimCount(), 3);
  mosAnimFreeAll();
  logReset();
}

TEST(Clips, GeneratorIsDeterministic) {
  TempDir a, b;
  RunResult ra = runProgram(std::string(PB_BIN_DIR) + "/pbclips", {a.path});
  RunResult rb = runProgram(std::string(PB_BIN_DIR) + "/pbclips", {b.path});
  ASSERT_EQ(ra.exitCode, 0) << ra.err;
  ASSERT_EQ(rb.exitCode, 0) << rb.err;
  for (const char* f : {"data/lumo-logo.vid", "data/empty.vid", "data/ortan-logo.vid", "data/mosaic-subgame.bmp",
                        "data/mosaic-regime.bmp"}) {
    std::string bytes = readFile(a.file(f));
    EXPECT_FALSE(bytes.empty()) << f;
    EXPECT_EQ(bytes, readFile(b.file(f))) << f;
    EXPECT_EQ(bytes, readFile(kGame + "/" + f)) << f;
  }
  EXPECT_EQ(runProgram(std::string(PB_BIN_DIR) + "/pbclips", {}).exitCode, 1);
}

}  // namespace
