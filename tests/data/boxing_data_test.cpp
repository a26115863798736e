// The boxing match's data in the built game folder, read with the game's
// own readers: every key the match reads, with the type it asks for and a
// sane value; every sprite the keys name, with the frames the match plays;
// the places the keys give those sprites inside the ring window, and the
// window inside the lit surface of the subgame screen; the reaches and
// landing frames of the punches against the drawings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
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

const char* const kPersons[] = {"drol", "vesk", "tarok"};
const char* const kAnimations[] = {"stand", "walk1", "hit1", "hit2", "boom1", "knockout1", "knockout2"};

// What the match reads: each key with the type its getter asks for and the
// values that make sense for it. Person keys are listed without the prefix.
struct Key {
  const char* name;
  int type;
  double lo, hi;
};

constexpr double kAny = 1e9;
const Key kMatchKeys[] = {
    {"framerate", CONF_INT, 30, 120},
    {"boxer_delay", CONF_INT, 20, 200},
    {"scr_dx", CONF_INT, 0, 800},
    {"scr_dy", CONF_INT, 0, 600},
    {"scr_width", CONF_INT, 100, 800},
    {"scr_height", CONF_INT, 100, 600},
    {"ai_min_hit_ki", CONF_INT, 1, 100},  // above 100 the computer never punches
    {"boom_dx", CONF_INT, 0, 100},
    {"limit_dx", CONF_INT, 0, 300},
    {"boxer_mindist", CONF_INT, 0, 300},
    {"green_line", CONF_INT, 0, 0},  // a debugging aid, off in the game
    {"flag_file", CONF_STRING, 0, 0},
    {"flag_dx", CONF_INT, -kAny, kAny},
    {"flag_dy", CONF_INT, -kAny, kAny},
    {"flag_delay", CONF_INT, 20, 1000},
    {"back_file", CONF_STRING, 0, 0},
    {"back0_dy", CONF_INT, -kAny, kAny},
    {"back1_dy", CONF_INT, -kAny, kAny},
    {"back2_dy", CONF_INT, -kAny, kAny},
    {"corners_file", CONF_STRING, 0, 0},
    {"image_file", CONF_STRING, 0, 0},
    {"health_file", CONF_STRING, 0, 0},
    {"ki_file", CONF_STRING, 0, 0},
    {"left_health_dx", CONF_INT, -kAny, kAny},
    {"left_health_dy", CONF_INT, -kAny, kAny},
    {"right_health_dx", CONF_INT, -kAny, kAny},
    {"right_health_dy", CONF_INT, -kAny, kAny},
    {"left_ki_dx", CONF_INT, -kAny, kAny},
    {"left_ki_dy", CONF_INT, -kAny, kAny},
    {"right_ki_dx", CONF_INT, -kAny, kAny},
    {"right_ki_dy", CONF_INT, -kAny, kAny},
    {"sound.hit1_volume", CONF_INT, 1, 100},
    {"sound.hit2_volume", CONF_INT, 1, 100},
    {"sound.boom_volume", CONF_INT, 1, 100},
    {"sound.knockout_volume", CONF_INT, 1, 100},
    {"sound.left_hit1_panning", CONF_INT, -100, 0},
    {"sound.right_hit1_panning", CONF_INT, 0, 100},
    {"sound.left_hit2_panning", CONF_INT, -100, 0},
    {"sound.right_hit2_panning", CONF_INT, 0, 100},
    {"sound.left_boom_panning", CONF_INT, -100, 0},
    {"sound.right_boom_panning", CONF_INT, 0, 100},
    {"sound.left_knockout_panning", CONF_INT, -100, 0},
    {"sound.right_knockout_panning", CONF_INT, 0, 100},
    {"spark.spark1_file", CONF_STRING, 0, 0},
    {"spark.spark1_dx", CONF_INT, -kAny, kAny},
    {"spark.spark1_dy", CONF_INT, -kAny, kAny},
    {"spark.spark2_file", CONF_STRING, 0, 0},
    {"spark.spark2_dx", CONF_INT, -kAny, kAny},
    {"spark.spark2_dy", CONF_INT, -kAny, kAny},
};
const Key kPersonKeys[] = {
    {"stand_file", CONF_STRING, 0, 0},     {"stand_dx", CONF_INT, -kAny, kAny},
    {"stand_dy", CONF_INT, -kAny, kAny},   {"walk1_file", CONF_STRING, 0, 0},
    {"walk1_dx", CONF_INT, -kAny, kAny},   {"walk1_dy", CONF_INT, -kAny, kAny},
    {"walk1_fdx", CONF_INT, -20, 20},      {"walk1_step", CONF_INT, 1, 30},
    {"hit1_file", CONF_STRING, 0, 0},      {"hit1_dx", CONF_INT, -kAny, kAny},
    {"hit1_dy", CONF_INT, -kAny, kAny},    {"hit2_file", CONF_STRING, 0, 0},
    {"hit2_dx", CONF_INT, -kAny, kAny},    {"hit2_dy", CONF_INT, -kAny, kAny},
    {"hit1_frame", CONF_INT, 0, kAny},     {"hit2_frame", CONF_INT, 0, kAny},
    {"hit1_x", CONF_INT, 1, 400},          {"hit2_x", CONF_INT, 1, 400},
    {"hit1_y", CONF_INT, -kAny, kAny},     {"hit2_y", CONF_INT, -kAny, kAny},
    {"boom1_file", CONF_STRING, 0, 0},     {"boom1_dx", CONF_INT, -kAny, kAny},
    {"boom1_dy", CONF_INT, -kAny, kAny},   {"knockout1_file", CONF_STRING, 0, 0},
    {"knockout1_dx", CONF_INT, -kAny, kAny}, {"knockout1_dy", CONF_INT, -kAny, kAny},
    {"knockout2_file", CONF_STRING, 0, 0}, {"knockout2_dx", CONF_INT, -kAny, kAny},
    {"knockout2_dy", CONF_INT, -kAny, kAny}, {"ki_increase", CONF_INT, 1, 50},
    {"hit_strength", CONF_INT, 1, 100},    {"hit_resistance", CONF_DOUBLE, 0, 0.9},
};

void checkKey(Conf& c, const std::string& name, const Key& k) {
  SCOPED_TRACE(name);
  ASSERT_EQ(c.type(name), k.type) << "missing or of another type than the match reads";
  if (k.type == CONF_STRING) {
    EXPECT_FALSE(c.str(name).empty());
  } else {
    const double v = k.type == CONF_INT ? c.num(name) : c.real(name);
    EXPECT_GE(v, k.lo);
    EXPECT_LE(v, k.hi);
  }
}

// Every key the match and the three persons need is there with the type
// its reader asks for (a getter of another type silently gives the
// default) and a value in its useful range.
TEST(BoxingConf, EveryKeyHasTheTypeAndRangeTheMatchReads) {
  Quiet quiet;
  Conf c("boxing");
  ASSERT_EQ(c.status, 0);
  for (const Key& k : kMatchKeys) checkKey(c, k.name, k);
  for (const char* person : kPersons)
    for (const Key& k : kPersonKeys) checkKey(c, std::string(person) + "." + k.name, k);
}

// Every file key names a sprite that loads, with every frame inked and the
// frames the match plays: three background layers, four corners, bars with
// an empty frame and at least one more, the landing frame of each punch
// inside its animation. A boxer's animations keep one frame width, since the
// left boxer is placed mirrored by that width.
TEST(BoxingSprites, EveryFileLoadsWithTheFramesThePlayNeeds) {
  Quiet quiet;
  Conf c("boxing");
  ASSERT_EQ(c.status, 0);
  struct Need {
    std::string key;
    int minFrames;
  };
  std::vector<Need> needs = {{"back_file", 3},         {"corners_file", 4},      {"health_file", 2},
                             {"ki_file", 2},           {"flag_file", 2},         {"image_file", 1},
                             {"spark.spark1_file", 1}, {"spark.spark2_file", 1}};
  for (const char* person : kPersons) {
    const std::string p = std::string(person) + ".";
    for (const char* anim : kAnimations) needs.push_back({p + anim + "_file", 1});
  }
  for (const Need& n : needs) {
    SCOPED_TRACE(n.key + " = " + c.str(n.key));
    LoadedSprite s(c.str(n.key));
    ASSERT_NE(s.s, nullptr);
    EXPECT_GE(s.s->numfrms, n.minFrames);
    for (int i = 0; i < s.s->numfrms; i++) {
      const SprFrame& f = s.s->frames[i];
      EXPECT_TRUE(f.x0 < f.x1 && f.y0 < f.y1) << "frame " << i << " is empty";
    }
  }
  for (const char* person : kPersons) {
    const std::string p = std::string(person) + ".";
    for (const char* hit : {"hit1", "hit2"}) {
      LoadedSprite s(c.str(p + hit + "_file"));
      ASSERT_NE(s.s, nullptr);
      EXPECT_LT(c.num(p + hit + "_frame"), s.s->numfrms) << p << hit << ": the blow would never land";
    }
    for (const char* anim : kAnimations) {
      SCOPED_TRACE(p + anim);
      LoadedSprite s(c.str(p + anim + "_file"));
      ASSERT_NE(s.s, nullptr);
      const int dx = c.num(p + anim + "_dx");
      for (int i = 0; i < s.s->numfrms; i++) {
        EXPECT_EQ(s.s->frames[i].width, s.s->frames[0].width) << "frame " << i;
        EXPECT_GE(dx, 0);
        EXPECT_LT(dx, s.s->frames[i].width);
      }
    }
  }
}

// Where the match puts things: the ring window lies on the lit surface;
// bars, corners and sparks stay inside the window; the boxers' every frame
// stays inside it from top to bottom and their feet stand on the ring's
// mat wherever they go; a boxer at the camera's margin is seen whole; the
// far layer covers the window without a hole, the nearer ones are narrower
// in the right order for the parallax, and the flag, drawn over them all,
// flies clear of the nearer layers.
TEST(BoxingLayout, EverythingStaysInsideTheRingWindow) {
  Quiet quiet;
  Conf c("boxing");
  ASSERT_EQ(c.status, 0);
  const int sx = c.num("scr_dx"), sy = c.num("scr_dy"), sw = c.num("scr_width"), sh = c.num("scr_height");
  const Box window{sx, sy, sx + sw, sy + sh};
  const Box surface = litSurface();
  EXPECT_FALSE(surface.empty()) << "the subgame screen's keys or elements do not read";
  SCOPED_TRACE("window " + describe(window) + ", surface " + describe(surface));
  EXPECT_TRUE(window.inside(surface));

  for (const char* side : {"left", "right"}) {
    for (const char* bar : {"health", "ki"}) {
      LoadedSprite s(c.str(std::string(bar) + "_file"));
      ASSERT_NE(s.s, nullptr);
      const std::string at = std::string(side) + "_" + bar;
      for (int i = 0; i < s.s->numfrms; i++) {
        const Box b = placed(s.s->frames[i], sx + c.num(at + "_dx"), sy + c.num(at + "_dy"), side[0] == 'l');
        EXPECT_TRUE(b.inside(window)) << at << " frame " << i << " " << describe(b);
      }
    }
  }
  LoadedSprite corners(c.str("corners_file"));
  ASSERT_NE(corners.s, nullptr);
  for (int i = 0; i < 4; i++) {
    const Box b = placed(corners.s->frames[i], 0, 0, false);
    EXPECT_TRUE(b.inside(window)) << "corner " << i << " " << describe(b);
  }

  LoadedSprite back(c.str("back_file"));
  ASSERT_NE(back.s, nullptr);
  ASSERT_GE(back.s->numfrms, 3);
  const SprFrame *near = &back.s->frames[0], *mid = &back.s->frames[1], *far = &back.s->frames[2];
  const int limit = c.num("limit_dx");
  EXPECT_GT(near->width, mid->width);
  EXPECT_GT(mid->width, far->width);
  EXPECT_GE(far->width, sw);
  // The far layer at its top: every pixel over the window's rows opaque.
  {
    std::vector<uint8_t> rgba;
    ASSERT_EQ(gspDecodeFrame(back.s, 2, &rgba), 0);
    const int top = c.num("back2_dy");
    ASSERT_LE(top, 0);
    ASSERT_GE(top + far->height, sh);
    int holes = 0;
    for (int y = -top; y < -top + sh; y++)
      for (int x = 0; x < far->width; x++) holes += rgba[(static_cast<size_t>(y) * far->width + x) * 4 + 3] != 255;
    EXPECT_EQ(holes, 0) << "pixels of the window the far layer leaves open";
  }

  // The flag flies over layer 2 and is drawn after layers 1 and 0.
  LoadedSprite flag(c.str("flag_file"));
  ASSERT_NE(flag.s, nullptr);
  const int nearTop = std::min(c.num("back0_dy") + near->y0, c.num("back1_dy") + mid->y0);
  for (int i = 0; i < flag.s->numfrms; i++) {
    const SprFrame& f = flag.s->frames[i];
    const int y = c.num("back2_dy") + c.num("flag_dy");
    EXPECT_LE(y + f.y1, nearTop) << "flag frame " << i << " over the nearer layers";
    EXPECT_GE(y + f.y0, 0) << "flag frame " << i;
    EXPECT_GE(c.num("flag_dx") + f.x0, 0) << "flag frame " << i;
    EXPECT_LE(c.num("flag_dx") + f.x1, far->width) << "flag frame " << i << " off its layer";
  }

  // The mat under the feet: layer 0 opaque on the feet's row over the whole
  // stretch the boxers can walk.
  std::vector<uint8_t> ring;
  ASSERT_EQ(gspDecodeFrame(back.s, 0, &ring), 0);
  for (const char* person : kPersons) {
    const std::string p = std::string(person) + ".";
    for (const char* anim : kAnimations) {
      SCOPED_TRACE(p + anim);
      LoadedSprite s(c.str(p + anim + "_file"));
      ASSERT_NE(s.s, nullptr);
      const int dx = c.num(p + anim + "_dx"), dy = c.num(p + anim + "_dy");
      for (int i = 0; i < s.s->numfrms; i++) {
        const SprFrame& f = s.s->frames[i];
        EXPECT_GE(sy - dy + f.y0, sy) << "frame " << i << " above the window";
        EXPECT_LE(sy - dy + f.y1, sy + sh) << "frame " << i << " below the window";
      }
      if (std::string(anim) != "stand" && std::string(anim) != "walk1") continue;
      for (int i = 0; i < s.s->numfrms; i++) {
        const SprFrame& f = s.s->frames[i];
        EXPECT_LE(f.x1 - dx, limit) << "frame " << i << ": his back is cut off at the camera's margin";
        const int row = f.y1 - 1 - dy - c.num("back0_dy");  // the lowest row of the feet, in layer 0
        ASSERT_GE(row, 0) << "frame " << i << ": feet above the ring";
        ASSERT_LT(row, near->height) << "frame " << i << ": feet below the ring";
        int bare = 0;
        for (int x = limit; x < near->width - limit; x++)
          bare += ring[(static_cast<size_t>(row) * near->width + x) * 4 + 3] != 255;
        EXPECT_EQ(bare, 0) << "frame " << i << ": columns of the walk where the feet stand on nothing";
      }
    }
    for (const char* hit : {"hit1", "hit2"}) {
      for (const char* spark : {"spark.spark1", "spark.spark2"}) {
        LoadedSprite s(c.str(std::string(spark) + "_file"));
        ASSERT_NE(s.s, nullptr);
        for (int i = 0; i < s.s->numfrms; i++) {
          const Box b = placed(s.s->frames[i], 0, c.num(p + hit + "_y") + sy - c.num(std::string(spark) + "_dy"), false);
          EXPECT_GE(b.y0, sy) << p << hit << " " << spark << " frame " << i;
          EXPECT_LE(b.y1, sy + sh) << p << hit << " " << spark << " frame " << i;
        }
      }
    }
  }
}

// The punches against their drawings: the landing frame is the one with the
// glove out furthest; a blow lands when the glove visibly reaches the other
// boxer's face (about 30 to 50 pixels ahead of his ring x) and not from
// further off; the boxers can come close enough for the computer's blow
// (thrown only inside both its reaches) and start out of reach.
TEST(BoxingReach, BlowsLandWhereTheGlovesReach) {
  Quiet quiet;
  Conf c("boxing");
  ASSERT_EQ(c.status, 0);
  const int mindist = c.num("boxer_mindist");
  for (const char* person : kPersons) {
    const std::string p = std::string(person) + ".";
    SCOPED_TRACE(p);
    for (const char* hit : {"hit1", "hit2"}) {
      LoadedSprite s(c.str(p + hit + "_file"));
      ASSERT_NE(s.s, nullptr);
      const int land = c.num(p + hit + "_frame");
      ASSERT_GE(land, 0);
      ASSERT_LT(land, s.s->numfrms);
      int furthest = INT_MAX;
      for (int i = 0; i < s.s->numfrms; i++) furthest = std::min(furthest, s.s->frames[i].x0);
      EXPECT_LE(s.s->frames[land].x0, furthest + 3) << hit << ": the blow lands before or after the glove is out";
      const int reach = c.num(p + hit + "_dx") - s.s->frames[land].x0;
      EXPECT_GE(c.num(p + hit + "_x"), reach + 30) << hit << " misses though the glove is in the face";
      EXPECT_LE(c.num(p + hit + "_x"), reach + 50) << hit << " lands from afar";
    }
    EXPECT_LT(mindist, std::min(c.num(p + "hit1_x"), c.num(p + "hit2_x")));
  }
  // The boxers start 200 apart, inside the ring.
  LoadedSprite back(c.str("back_file"));
  ASSERT_NE(back.s, nullptr);
  const int w0 = back.s->frames[0].width, sw = c.num("scr_width"), limit = c.num("limit_dx");
  const int camera = (w0 - sw) / 2;
  const int player = camera + sw / 2 - 100, computer = camera + sw / 2 + 100;
  EXPECT_GE(player, limit);
  EXPECT_LE(computer, w0 - limit);
  for (const char* person : kPersons) EXPECT_GE(200, c.num(std::string(person) + ".hit1_x")) << person;
}

// The generator writes the same bytes on every run.
TEST(BoxingGenerator, RedrawsTheSameBytes) {
  TempDir dir;
  const RunResult r = runProgram(std::string(PB_BIN_DIR) + "/pbboxing", {dir.path});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  Quiet quiet;
  Conf c("boxing");
  ASSERT_EQ(c.status, 0);
  std::vector<std::string> files = {c.str("back_file"),    c.str("flag_file"),         c.str("corners_file"),
                                    c.str("image_file"),   c.str("health_file"),       c.str("ki_file"),
                                    c.str("spark.spark1_file"), c.str("spark.spark2_file")};
  for (const char* person : kPersons)
    for (const char* anim : kAnimations) files.push_back(c.str(std::string(person) + "." + anim + "_file"));
  for (const std::string& f : files) {
    ASSERT_TRUE(pathExists(dir.file(f))) << f;
    EXPECT_TRUE(readFile(dir.file(f)) == readFile(kGame + "/" + f)) << f << " differs from the built one";
  }
}

}  // namespace
