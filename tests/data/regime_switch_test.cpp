// A regime change on the loaded table of the built game folder: the table
// switched from communism to dictatorship with every lamp lit looks exactly
// like the dictatorship table put through the same switch within its own
// regime, so that no pixel of the old regime's artwork or lamp sprites stays
// behind; the music follows the regime. (The reference goes through the
// switch too: the switch redraws the lamps afresh, and overlapping lamps that
// changed before it were composited differently on the freshly loaded table.)
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "anim/lights.h"
#include "core/log.h"
#include "game/game.h"
#include "gfx/screen.h"
#include "gfx/sprite.h"
#include "main/scene.h"
#include "main/session.h"
#include "platform/audio.h"
#include "sound/fx.h"
#include "support/testutil.h"

namespace {

const std::string kGame = PB_GAME_DIR;

struct Shot {
  std::vector<uint32_t> pixels;
  int module = -1;
  int regime = -1;
};

// The table after 40 frames in `start` with every lamp on, then (when `to`
// is a regime) switched and 40 frames more, else 40 frames more as it is.
Shot shoot(int start, int to) {
  Shot s;
  TableScene scene{};
  EXPECT_EQ(sceneOpen(&scene, start), 1);
  if (!scene.display) return s;
  for (int light = 0; light < LI_LAST; light++) lightSet(light, LIGHT_ON);
  for (int i = 0; i < 40; i++) sceneFrame(&scene, 1000.0 / 60);
  if (to >= 0) {
    EXPECT_EQ(tableSwitchRegime(&scene.table, to, 60), 1);
  }
  for (int i = 0; i < 40; i++) sceneFrame(&scene, 1000.0 / 60);
  const GdevDC* dc = scene.screen.dc;
  for (int y = 0; y < dc->height; y++)
    for (int x = 0; x < dc->width; x++) s.pixels.push_back(gdevReadPixel(dc, x, y));
  s.module = fxCurrentModule();
  s.regime = game.regime;
  sceneClose(&scene);
  return s;
}

TEST(RegimeSwitch, TheSwitchedTableLooksLikeTheNewRegimesTable) {
  logReset();
  logPrint("STDERR 0");
  audioSetOutput(AUDIO_OUTPUT_NONE);
  ASSERT_EQ(fxInit(0), 1);
  gsBuildBlendTable();
  {
    ScopedChdir cd(kGame);
    ASSERT_EQ(setupMusic(), 1);
    const Shot switched = shoot(REGIME_COMM, REGIME_DICT);
    const Shot loaded = shoot(REGIME_DICT, REGIME_DICT);
    const Shot old = shoot(REGIME_COMM, -1);
    ASSERT_EQ(switched.pixels.size(), loaded.pixels.size());
    ASSERT_EQ(switched.pixels.size(), old.pixels.size());
    EXPECT_EQ(switched.regime, REGIME_DICT);
    EXPECT_EQ(switched.module, REGIME_DICT);
    size_t differ = 0, changed = 0;
    for (size_t i = 0; i < switched.pixels.size(); i++) {
      differ += switched.pixels[i] != loaded.pixels[i];
      changed += switched.pixels[i] != old.pixels[i];
    }
    EXPECT_EQ(differ, 0u) << "pixels unlike the table of the new regime";
    // The regimes' pictures differ almost everywhere.
    EXPECT_GT(changed, switched.pixels.size() / 2);
  }
  fxShutdown();
  audioSetOutput(AUDIO_OUTPUT_DEVICE);
  SPR_FREE_ALL();
  logReset();
}

}  // namespace
