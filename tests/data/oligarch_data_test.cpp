// The gold catching game's data in the built game folder, read with the
// game's own readers: every key the game reads with the type it asks for,
// playable settings, every sprite with the frames the game shows, every
// picture on the lit surface of the subgame screen, the sack under the
// chute end of each position and the digits apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
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

const char* const kDecorations[] = {"face", "trans", "cloud"};

// The keys the game reads and the type it reads them as.
std::vector<std::pair<std::string, int>> gameKeys() {
  std::vector<std::pair<std::string, int>> keys;
  for (const char* k : {"corners_file", "body_file", "head0_file", "head1_file", "head2_file", "back_file",
                        "gleft_file", "digits_file"})
    keys.emplace_back(k, CONF_STRING);
  for (const char* k : {"scr_dx", "scr_dy", "scr_width", "scr_height", "framerate", "move_time", "max_golds",
                        "golds_left", "gold_increase", "speed", "speed_increase", "gold_dist", "gold_chance", "body_dx",
                        "body_dy", "gleft_dx", "gleft_dy", "gleft_step", "digits_dx", "digits_dy", "digits_step"})
    keys.emplace_back(k, CONF_INT);
  for (int d = 0; d < 10; d++) keys.emplace_back(fmt("digits_step%d", d), CONF_INT);
  for (int j = 1; j <= 4; j++) {
    keys.emplace_back(fmt("gold%d_file", j), CONF_STRING);
    for (const char* f : {"gold%d_dx", "gold%d_dy", "gold%d_mirror"}) keys.emplace_back(fmt(f, j), CONF_INT);
    for (const char* d : kDecorations) {
      const std::string p = std::string(d) + "%d_";
      keys.emplace_back(fmt((p + "file").c_str(), j), CONF_STRING);
      for (const char* f : {"dx", "dy", "delay", "mirror"}) keys.emplace_back(fmt((p + f).c_str(), j), CONF_INT);
    }
  }
  for (int j = 1; j <= 2; j++) {
    keys.emplace_back(fmt("dropped%d_file", j), CONF_STRING);
    for (const char* f : {"dropped%d_ldx", "dropped%d_ldy", "dropped%d_rdx", "dropped%d_rdy", "dropped%d_delay"})
      keys.emplace_back(fmt(f, j), CONF_INT);
  }
  for (const char* s : {"body_move", "gold_catch", "gold_break"}) {
    keys.emplace_back(std::string("sound.") + s + "_volume", CONF_INT);
    keys.emplace_back(std::string("sound.") + s + "_panning", CONF_INT);
  }
  return keys;
}

TEST(OligarchConf, KeysHaveTheTypesTheGameReads) {
  Quiet quiet;
  Conf c("oligarch");
  ASSERT_EQ(c.status, 0);
  for (const auto& [k, type] : gameKeys()) EXPECT_EQ(c.type(k), type) << k;
}

// Settings inside the ranges the game clamps them to (a value outside would
// be silently changed), a pace a player can follow, decorations that
// animate, mirror flags that are flags, volumes and pannings in their scales.
TEST(OligarchConf, SettingsKeepTheGamePlayable) {
  Quiet quiet;
  Conf c("oligarch");
  ASSERT_EQ(c.status, 0);
  EXPECT_GE(c.num("max_golds"), 1);
  EXPECT_LE(c.num("max_golds"), 16);
  EXPECT_GE(c.num("golds_left"), 1);
  EXPECT_LE(c.num("golds_left"), 10);
  EXPECT_GE(c.num("gold_increase"), 1);
  EXPECT_GE(c.num("move_time"), 100);
  EXPECT_LE(c.num("move_time"), 1000);
  EXPECT_GE(c.num("framerate"), 20);
  EXPECT_LE(c.num("framerate"), 100);
  for (int j = 1; j <= 4; j++) {
    EXPECT_TRUE(c.num(fmt("gold%d_mirror", j)) == 0 || c.num(fmt("gold%d_mirror", j)) == 1) << j;
    for (const char* d : kDecorations) {
      const std::string p = std::string(d) + "%d_";
      EXPECT_GT(c.num(fmt((p + "delay").c_str(), j)), 0) << d << j;
      const int m = c.num(fmt((p + "mirror").c_str(), j));
      EXPECT_TRUE(m == 0 || m == 1) << d << j;
    }
  }
  for (int j = 1; j <= 2; j++) EXPECT_GT(c.num(fmt("dropped%d_delay", j)), 0) << j;
  for (const char* s : {"body_move", "gold_catch", "gold_break"}) {
    const int v = c.num(std::string("sound.") + s + "_volume"), p = c.num(std::string("sound.") + s + "_panning");
    EXPECT_GT(v, 0) << s;
    EXPECT_LE(v, 100) << s;
    EXPECT_GE(p, -100) << s;
    EXPECT_LE(p, 100) << s;
  }
}

// Every sprite loads and draws in every frame, with the frames the game
// shows: body and heads one per position (4), a bar one per step of its
// chute (5), the digits 0..9, the corners four.
TEST(OligarchSprites, LoadWithTheFramesTheGameShows) {
  Quiet quiet;
  Conf c("oligarch");
  ASSERT_EQ(c.status, 0);
  std::vector<SpriteNeed> needs = {{"corners_file", 4, 4}, {"body_file", 4, 4},  {"head0_file", 4, 4},
                             {"head1_file", 4, 4},   {"head2_file", 4, 4}, {"back_file", 1, 0},
                             {"gleft_file", 1, 0},   {"digits_file", 10, 0}};
  for (int j = 1; j <= 4; j++) {
    needs.push_back({fmt("gold%d_file", j), 5, 0});
    for (const char* d : kDecorations) needs.push_back({fmt((std::string(d) + "%d_file").c_str(), j), 1, 0});
  }
  for (int j = 1; j <= 2; j++) needs.push_back({fmt("dropped%d_file", j), 2, 0});
  expectSpritesLoad(c, needs);
}

// The game's window is the lit surface of the subgame screen, and every
// frame of every sprite, placed (and mirrored) as the game places it, stays
// inside: the background filling it, all ten life icons, a five-digit score
// of the widest digits, the broken bars at both places, the corners in the
// window's four corners.
TEST(OligarchPlaces, EverySpriteStaysOnTheSurface) {
  Quiet quiet;
  Conf c("oligarch");
  ASSERT_EQ(c.status, 0);
  const Box window = subgameWindow(c);
  const int sx = window.x0, sy = window.y0;
  SCOPED_TRACE("window " + describe(window));
  ASSERT_NO_FATAL_FAILURE(expectOnLitSurface(window));
  std::vector<PlacedSprite> placed = {{"back_file", 0, 0, false}};
  for (const char* f : {"body_file", "head0_file", "head1_file", "head2_file"})
    placed.push_back({f, c.num("body_dx"), c.num("body_dy"), false});
  for (int j = 1; j <= 4; j++) {
    placed.push_back({fmt("gold%d_file", j), c.num(fmt("gold%d_dx", j)), c.num(fmt("gold%d_dy", j)),
                      c.num(fmt("gold%d_mirror", j)) == 1});
    for (const char* d : kDecorations) {
      const std::string p = std::string(d) + "%d_";
      placed.push_back({fmt((p + "file").c_str(), j), c.num(fmt((p + "dx").c_str(), j)),
                        c.num(fmt((p + "dy").c_str(), j)), c.num(fmt((p + "mirror").c_str(), j)) == 1});
    }
  }
  for (int j = 1; j <= 2; j++) {
    placed.push_back({fmt("dropped%d_file", j), c.num(fmt("dropped%d_ldx", j)), c.num(fmt("dropped%d_ldy", j)), false});
    placed.push_back({fmt("dropped%d_file", j), c.num(fmt("dropped%d_rdx", j)), c.num(fmt("dropped%d_rdy", j)), false});
  }
  for (int i = 0; i < 10; i++)
    placed.push_back({"gleft_file", c.num("gleft_dx") + i * c.num("gleft_step"), c.num("gleft_dy"), false});
  // The widest digit five times, right-aligned at digits_dx.
  int widest = 0;
  for (int d = 0; d < 10; d++) widest = std::max(widest, c.num(fmt("digits_step%d", d)));
  for (int i = 1; i <= 5; i++) placed.push_back({"digits_file", c.num("digits_dx") - i * widest, c.num("digits_dy"), false});
  ASSERT_NO_FATAL_FAILURE(expectInsideWindow(c, placed, window));
  LoadedSprite back(c.str("back_file"));
  ASSERT_NE(back.s, nullptr);
  const Box b = frameBox(back.s, 0, sx, sy);
  EXPECT_TRUE(b.x0 == window.x0 && b.y0 == window.y0 && b.x1 == window.x1 && b.y1 == window.y1) << describe(b);
  expectCornersFitWindow(c, window);
}

// Position p (0 upper left, 1 upper right, 2 lower left, 3 lower right)
// catches the bars of chute p: the body's frame p reaches the last step of
// that chute's bar, nearer than any other chute's, and every head sits on
// the body in each position. Chutes lie on their side of the window, upper
// above lower, and each bar slides towards the middle and downwards.
TEST(OligarchPlaces, EachPositionCatchesAtItsChute) {
  Quiet quiet;
  Conf c("oligarch");
  ASSERT_EQ(c.status, 0);
  const int sx = c.num("scr_dx"), sy = c.num("scr_dy"), mid = sx + c.num("scr_width") / 2;
  LoadedSprite body(c.str("body_file"));
  ASSERT_TRUE(body.s && body.s->numfrms == 4);
  const int bx = sx + c.num("body_dx"), by = sy + c.num("body_dy");
  Box arrival[4], start[4];
  for (int chute = 0; chute < 4; chute++) {
    const int j = chute + 1;
    LoadedSprite gold(c.str(fmt("gold%d_file", j)));
    ASSERT_TRUE(gold.s && gold.s->numfrms >= 5) << j;
    const int x = sx + c.num(fmt("gold%d_dx", j)), y = sy + c.num(fmt("gold%d_dy", j));
    const bool m = c.num(fmt("gold%d_mirror", j)) == 1;
    start[chute] = frameBox(gold.s, 0, x, y, m);
    arrival[chute] = frameBox(gold.s, 4, x, y, m);
    const bool rightSide = chute % 2 == 1;
    EXPECT_EQ(start[chute].cx() > mid, rightSide) << "chute " << j << " starts at " << describe(start[chute]);
    EXPECT_EQ(arrival[chute].cx() > mid, rightSide) << "chute " << j << " ends at " << describe(arrival[chute]);
    EXPECT_LT(std::abs(arrival[chute].cx() - mid), std::abs(start[chute].cx() - mid)) << "chute " << j;
    EXPECT_GT(arrival[chute].cy(), start[chute].cy()) << "chute " << j;
  }
  for (int chute = 0; chute < 2; chute++) EXPECT_LT(arrival[chute].cy(), arrival[chute + 2].cy()) << chute;
  for (int p = 0; p < 4; p++) {
    const Box pose = frameBox(body.s, p, bx, by);
    SCOPED_TRACE("position " + std::to_string(p) + " body " + describe(pose));
    // How near the figure's solid pixels (the sack, the arms) come to the
    // middle of each chute's last bar.
    std::vector<uint8_t> rgba;
    ASSERT_EQ(gspDecodeFrame(body.s, p, &rgba), 0);
    const SprFrame& f = body.s->frames[p];
    auto nearest = [&](const Box& bar) {
      int best = 1 << 30;
      for (int y = 0; y < f.height; y++)
        for (int x = 0; x < f.width; x++)
          if (rgba[(static_cast<size_t>(y) * f.width + x) * 4 + 3] >= 128) {
            const int dx = bx + x - bar.cx(), dy = by + y - bar.cy();
            best = std::min(best, dx * dx + dy * dy);
          }
      return best;
    };
    EXPECT_LE(nearest(arrival[p]), 20 * 20) << describe(arrival[p]);
    for (int other = 0; other < 4; other++) {
      if (other != p) {
        EXPECT_LT(nearest(arrival[p]), nearest(arrival[other])) << "chute " << other + 1;
      }
    }
    for (const char* h : {"head0_file", "head1_file", "head2_file"}) {
      LoadedSprite head(c.str(h));
      ASSERT_TRUE(head.s && head.s->numfrms == 4) << h;
      const Box hb = frameBox(head.s, p, bx, by);
      EXPECT_TRUE(hb.overlaps(pose)) << h << " " << describe(hb);
      EXPECT_LT(hb.cy(), pose.cy()) << h << " above the body";
    }
  }
}

// Digits are laid right to left, each moved by its own width: each digit's
// pixels fit inside that width, so neighbours never cover each other.
TEST(OligarchPlaces, DigitsFitTheirWidths) {
  Quiet quiet;
  Conf c("oligarch");
  ASSERT_EQ(c.status, 0);
  LoadedSprite digits(c.str("digits_file"));
  ASSERT_TRUE(digits.s && digits.s->numfrms >= 10);
  for (int d = 0; d < 10; d++) {
    const int w = c.num(fmt("digits_step%d", d));
    const SprFrame& f = digits.s->frames[d];
    EXPECT_GE(f.x0, 0) << d;
    EXPECT_LE(f.x1, w) << d;
    EXPECT_GE(f.x1 - f.x0, w / 3) << d;  // a digit, not a speck
  }
}

}  // namespace
