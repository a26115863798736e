// The shooting gallery's data in the built game folder, read with the game's
// own readers: every key the gallery reads with the type it asks for, sane
// timings, every sprite it loads with the frames it plays, every picture on
// the lit surface of the subgame screen, and the runners falling where the
// rifles hit them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "support/gamedata.h"
#include "support/testutil.h"

namespace {

using namespace gamedata;

const char* const kKinds[] = {"rdeputy1", "rdeputy2", "ldeputy1", "ldeputy2"};

// The keys the gallery reads and the type it reads them as.
std::vector<std::pair<std::string, int>> galleryKeys() {
  std::vector<std::pair<std::string, int>> keys;
  for (const char* k : {"image_file", "back_file", "corners_file", "smoke_file", "gun.left_file", "gun.right_file",
                        "gun.reload_file"})
    keys.emplace_back(k, CONF_STRING);
  for (const char* k :
       {"num_bullets", "scr_dx", "scr_dy", "scr_width", "scr_height", "framerate", "deputy_still", "deputy_maxwait",
        "bigdeputy_probability", "die_minframe", "die_maxframe", "back_still", "smoke_still", "smoke_dx", "smoke_dy",
        "gun.still", "gun.fire_first", "gun.fire_last", "gun.left_dx", "gun.left_dy", "gun.right_dx", "gun.right_dy",
        "gun.reload_dx", "gun.reload_dy", "gun.reload_still"})
    keys.emplace_back(k, CONF_INT);
  for (const char* k : kKinds) {
    keys.emplace_back(std::string(k) + ".run_file", CONF_STRING);
    keys.emplace_back(std::string(k) + ".die_file", CONF_STRING);
    keys.emplace_back(std::string(k) + ".dx", CONF_INT);
    keys.emplace_back(std::string(k) + ".dy", CONF_INT);
  }
  for (const char* k : {"man1_run", "man1_die", "man2_run", "man2_die", "miss", "shoot", "reload"})
    keys.emplace_back(std::string("sound.") + k + "_volume", CONF_INT);
  for (const char* k : {"man1_run", "man1_die", "man2_run", "man2_die", "miss", "shoot"}) {
    keys.emplace_back(std::string("sound.") + k + "_left_panning", CONF_INT);
    keys.emplace_back(std::string("sound.") + k + "_right_panning", CONF_INT);
  }
  keys.emplace_back("sound.reload_panning", CONF_INT);
  return keys;
}

TEST(DeputyConf, KeysHaveTheTypesTheGalleryReads) {
  Quiet quiet;
  Conf c("deputy");
  ASSERT_EQ(c.status, 0);
  for (const auto& [key, type] : galleryKeys()) EXPECT_EQ(c.type(key), type) << key;
}

// Values the gallery's arithmetic needs (a random wait is taken modulo
// deputy_maxwait, a frame is held gun.still frames) and ranges that keep a
// round playable: the hit window lies inside a run, a shot's hit frames
// follow its report, volumes and pannings in their scales.
TEST(DeputyConf, SettingsKeepTheGalleryPlayable) {
  Quiet quiet;
  Conf c("deputy");
  ASSERT_EQ(c.status, 0);
  EXPECT_GE(c.num("deputy_maxwait"), 1);
  EXPECT_GE(c.num("gun.still"), 1);
  EXPECT_GE(c.num("gun.reload_still"), 1);
  EXPECT_GE(c.num("deputy_still"), 0);
  EXPECT_GE(c.num("back_still"), 0);
  EXPECT_GE(c.num("smoke_still"), 0);
  EXPECT_GE(c.num("num_bullets"), 2);
  EXPECT_LE(c.num("num_bullets"), 40);
  EXPECT_GE(c.num("framerate"), 20);
  EXPECT_LE(c.num("framerate"), 100);
  EXPECT_GT(c.num("bigdeputy_probability"), 0);  // both sizes turn up
  EXPECT_LT(c.num("bigdeputy_probability"), 100);
  EXPECT_GE(c.num("die_minframe"), 1);  // not the instant a runner appears
  EXPECT_LE(c.num("die_minframe"), c.num("die_maxframe"));
  EXPECT_GE(c.num("gun.fire_first"), 0);
  EXPECT_LE(c.num("gun.fire_first"), c.num("gun.fire_last"));
  for (const auto& [key, type] : galleryKeys()) {
    if (key.rfind("sound.", 0) != 0) continue;
    const int v = c.num(key);
    if (key.find("_volume") != std::string::npos) {
      EXPECT_GT(v, 0) << key;
      EXPECT_LE(v, 100) << key;
    } else {
      EXPECT_GE(v, -100) << key;
      EXPECT_LE(v, 100) << key;
    }
  }
}

// Every sprite loads and draws in every frame; the corners have their four
// frames; each run reaches past the hit window and each firing rifle past
// its hit frames (a shorter animation would end before a hit can count).
TEST(DeputySprites, LoadWithTheFramesTheGalleryPlays) {
  Quiet quiet;
  Conf c("deputy");
  ASSERT_EQ(c.status, 0);
  std::vector<SpriteNeed> needs = {{"image_file", 1, 0},
                             {"back_file", 1, 0},
                             {"smoke_file", 1, 0},
                             {"corners_file", 4, 4},
                             {"gun.left_file", c.num("gun.fire_last") + 2, 0},
                             {"gun.right_file", c.num("gun.fire_last") + 2, 0},
                             {"gun.reload_file", 2, 0}};
  for (const char* k : kKinds) {
    needs.push_back({std::string(k) + ".run_file", c.num("die_maxframe") + 2, 0});
    needs.push_back({std::string(k) + ".die_file", 2, 0});
  }
  expectSpritesLoad(c, needs);
}

// The gallery's window is the lit surface of the subgame screen, and every
// frame of every sprite, placed as the gallery places it, stays inside it:
// the background fills it, the corners sit in its four corners.
TEST(DeputyPlaces, EverySpriteStaysOnTheSurface) {
  Quiet quiet;
  Conf c("deputy");
  ASSERT_EQ(c.status, 0);
  const Box window = subgameWindow(c);
  const int sx = window.x0, sy = window.y0;
  SCOPED_TRACE("window " + describe(window));
  ASSERT_NO_FATAL_FAILURE(expectOnLitSurface(window));
  std::vector<PlacedSprite> placed = {
      {"back_file", 0, 0},
      {"smoke_file", c.num("smoke_dx"), c.num("smoke_dy")},
      {"gun.left_file", c.num("gun.left_dx"), c.num("gun.left_dy")},
      {"gun.right_file", c.num("gun.right_dx"), c.num("gun.right_dy")},
      {"gun.reload_file", c.num("gun.reload_dx"), c.num("gun.reload_dy")},
  };
  for (const char* k : kKinds) {
    const std::string kind(k);
    placed.push_back({kind + ".run_file", c.num(kind + ".dx"), c.num(kind + ".dy")});
    placed.push_back({kind + ".die_file", c.num(kind + ".dx"), c.num(kind + ".dy")});
  }
  ASSERT_NO_FATAL_FAILURE(expectInsideWindow(c, placed, window));
  LoadedSprite back(c.str("back_file"));
  ASSERT_NE(back.s, nullptr);
  for (int i = 0; i < back.s->numfrms; i++) {
    const Box b = frameBox(back.s, i, sx, sy);
    EXPECT_EQ(b.x0, window.x0);
    EXPECT_EQ(b.y0, window.y0);
    EXPECT_EQ(b.x1, window.x1);
    EXPECT_EQ(b.y1, window.y1);
  }
  expectCornersFitWindow(c, window);
}

// A runner is hit by the rifle on its own side: the run frames of the hit
// window lie on that half of the window, and the falling deputy appears
// where the runner stood in that window, not somewhere along the run.
TEST(DeputyPlaces, RunnersFallWhereTheRiflesHitThem) {
  Quiet quiet;
  Conf c("deputy");
  ASSERT_EQ(c.status, 0);
  const int sx = c.num("scr_dx"), sy = c.num("scr_dy"), mid = sx + c.num("scr_width") / 2;
  const int first = c.num("die_minframe"), last = c.num("die_maxframe");
  for (const char* k : kKinds) {
    const std::string kind(k);
    SCOPED_TRACE(kind);
    const bool rightSide = kind[0] == 'r';
    const int x = sx + c.num(kind + ".dx"), y = sy + c.num(kind + ".dy");
    LoadedSprite run(c.str(kind + ".run_file")), die(c.str(kind + ".die_file"));
    ASSERT_TRUE(run.s && die.s);
    ASSERT_GT(run.s->numfrms, last);
    int lo = 1 << 20, hi = -(1 << 20);
    for (int i = first; i <= last; i++) {
      const Box b = frameBox(run.s, i, x, y);
      const int centre = (b.x0 + b.x1) / 2;
      EXPECT_EQ(centre > mid, rightSide) << "run frame " << i << " centred at " << centre;
      lo = std::min(lo, centre);
      hi = std::max(hi, centre);
    }
    // The first falling frame is centred within the window's span, give or
    // take the figure's lean.
    const Box d = frameBox(die.s, 0, x, y);
    const Box r = frameBox(run.s, (first + last) / 2, x, y);
    const int slack = 8;
    const int centre = (d.x0 + d.x1) / 2;
    EXPECT_GE(centre, lo - slack) << describe(d);
    EXPECT_LE(centre, hi + slack) << describe(d);
    // Both stand on the same ground.
    EXPECT_NEAR(d.y1, r.y1, 8) << describe(d) << " " << describe(r);
  }
}

}  // namespace
