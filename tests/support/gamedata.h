#pragma once
// Helpers for the tests that read the built game folder with the game's own
// readers: a quiet log, a configuration file, a sprite, boxes of screen
// pixels, the lit surface of the subgame screen and the checks every
// subgame's sprites pass. Header only; a test that includes it is built with
// PB_GAME_DIR naming the game folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/conf.h"
#include "core/log.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"

namespace gamedata {

inline const std::string kGame = PB_GAME_DIR;

// What num() gives for a missing integer key: far outside every sane value,
// yet safe to add or subtract in a layout computation.
constexpr int kMissing = -99999;

// Keeps the readers' complaints off stderr while a test runs.
struct Quiet {
  Quiet() {
    logReset();
    logPrint("STDERR 0");
  }
  ~Quiet() { logReset(); }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;
};

// GAME/conf/NAME.conf as the game reads it; status is the reader's result
// (0 when the file read cleanly).
struct Conf {
  ConfSet set{};
  int status;
  explicit Conf(const std::string& name) : status(CONF_READ(&set, (kGame + "/conf/" + name + ".conf").c_str())) {}
  ~Conf() { conf_free(&set); }
  Conf(const Conf&) = delete;
  Conf& operator=(const Conf&) = delete;
  int type(const std::string& key) { return conf_gettype(&set, key.c_str()); }
  bool has(const std::string& key, int t) { return type(key) == t; }
  int num(const std::string& key) { return conf_getint(&set, key.c_str(), kMissing); }
  double real(const std::string& key) { return conf_getdouble(&set, key.c_str(), -1e9); }
  // The string, or "" when the key is missing.
  std::string str(const std::string& key) {
    const char* s = conf_getstr(&set, key.c_str(), nullptr);
    return s ? s : "";
  }
};

// A sprite loaded from a path relative to the game folder, as the keys name
// it; s is null when it does not load.
struct LoadedSprite {
  Sprite* s;
  explicit LoadedSprite(const std::string& file)
      : s(SPR_CREATE_FLAGS((kGame + "/" + file).c_str(), file.c_str(), SPR_LOAD_RAW)) {}
  ~LoadedSprite() {
    if (s) SPR_FREE(s);
  }
  LoadedSprite(const LoadedSprite&) = delete;
  LoadedSprite& operator=(const LoadedSprite&) = delete;
};

// format with one integer filled in, as the games build numbered keys and
// file names ("gold%d_file").
inline std::string fmt(const char* format, int n) {
  char text[128];
  std::snprintf(text, sizeof text, format, n);
  return text;
}

// Screen pixels x0 <= x < x1, y0 <= y < y1.
struct Box {
  int x0, y0, x1, y1;
  bool empty() const { return x0 >= x1 || y0 >= y1; }
  bool inside(const Box& o) const { return x0 >= o.x0 && y0 >= o.y0 && x1 <= o.x1 && y1 <= o.y1; }
  bool overlaps(const Box& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
  int cx() const { return (x0 + x1) / 2; }
  int cy() const { return (y0 + y1) / 2; }
};

inline std::string describe(const Box& b) {
  char text[96];
  std::snprintf(text, sizeof text, "(%d,%d)-(%d,%d)", b.x0, b.y0, b.x1, b.y1);
  return text;
}

// Where a frame's pixels land with its origin at (x, y); a mirrored frame is
// flipped within its width, as the mirrored blitters draw it.
inline Box placed(const SprFrame& f, int x, int y, bool mirror = false) {
  if (mirror) return {x + f.width - f.x1, y + f.y0, x + f.width - f.x0, y + f.y1};
  return {x + f.x0, y + f.y0, x + f.x1, y + f.y1};
}

inline Box frameBox(const Sprite* s, int frame, int x, int y, bool mirror = false) {
  return placed(s->frames[frame], x, y, mirror);
}

// How many pixels of a frame are not fully transparent; -1 when it does not
// decode.
inline int inked(const Sprite* s, int frame) {
  std::vector<uint8_t> rgba;
  if (gspDecodeFrame(s, frame, &rgba) < 0) return -1;
  int n = 0;
  for (size_t i = 3; i < rgba.size(); i += 4) n += rgba[i] != 0;
  return n;
}

// The lit surface of the opened subgame screen, from conf/sg.conf and the
// frame elements' sprite: pillars centred on their final places, insets
// from the left pillar's top left and the right pillar's bottom right. An
// empty box when the keys or the sprite do not read.
inline Box litSurface() {
  Conf sg("sg");
  if (sg.status != 0) return {0, 0, 0, 0};
  LoadedSprite elem(sg.str("ELEM_FILE"));
  if (!elem.s || elem.s->numfrms < 2) return {0, 0, 0, 0};
  const int cx = sg.num("CENTER_X"), cy = sg.num("CENTER_Y");
  const SprFrame &l = elem.s->frames[0], &r = elem.s->frames[1];
  const Box left = placed(l, cx - sg.num("P1_LEFT_DX") - sg.num("P2_XDIST") - l.width / 2, cy - l.height / 2);
  const Box right = placed(r, cx + sg.num("P1_RIGHT_DX") + sg.num("P2_XDIST") - r.width / 2, cy - r.height / 2);
  return {left.x0 + sg.num("SURF_MINDX"), left.y0 + sg.num("SURF_MINDY"), right.x1 - sg.num("SURF_MAXDX"),
          right.y1 - sg.num("SURF_MAXDY")};
}

// The window a subgame draws in, from its scr_dx, scr_dy, scr_width and
// scr_height keys.
inline Box subgameWindow(Conf& c) {
  const int sx = c.num("scr_dx"), sy = c.num("scr_dy");
  return {sx, sy, sx + c.num("scr_width"), sy + c.num("scr_height")};
}

// The box lies on the lit surface of the opened subgame screen.
inline void expectOnLitSurface(const Box& b) {
  const Box lit = litSurface();
  ASSERT_FALSE(lit.empty()) << "the subgame screen's keys or elements do not read";
  EXPECT_TRUE(b.inside(lit)) << describe(b) << " is off the lit surface " << describe(lit);
}

// A sprite a key names and the frames the game plays from it: at least
// minFrames, exactly exactFrames unless that is 0.
struct SpriteNeed {
  std::string key;
  int minFrames, exactFrames;
};

// Every sprite loads with the frames it needs and draws something in each
// of them.
inline void expectSpritesLoad(Conf& c, const std::vector<SpriteNeed>& needs) {
  for (const SpriteNeed& n : needs) {
    SCOPED_TRACE(n.key + " = " + c.str(n.key));
    ASSERT_FALSE(c.str(n.key).empty());
    LoadedSprite s(c.str(n.key));
    ASSERT_NE(s.s, nullptr);
    EXPECT_GE(s.s->numfrms, n.minFrames);
    if (n.exactFrames) {
      EXPECT_EQ(s.s->numfrms, n.exactFrames);
    }
    for (int i = 0; i < s.s->numfrms; i++) EXPECT_GT(inked(s.s, i), 0) << "frame " << i;
  }
}

// A sprite placed at (dx, dy) from the window's corner, mirrored or not.
struct PlacedSprite {
  std::string fileKey;
  int dx, dy;
  bool mirror = false;
};

// Every frame of every placed sprite stays inside the window.
inline void expectInsideWindow(Conf& c, const std::vector<PlacedSprite>& placed, const Box& window) {
  for (const PlacedSprite& p : placed) {
    LoadedSprite s(c.str(p.fileKey));
    ASSERT_NE(s.s, nullptr) << p.fileKey;
    for (int i = 0; i < s.s->numfrms; i++) {
      const Box b = frameBox(s.s, i, window.x0 + p.dx, window.y0 + p.dy, p.mirror);
      EXPECT_TRUE(b.inside(window)) << p.fileKey << " at " << p.dx << "," << p.dy << " frame " << i << " "
                                    << describe(b);
    }
  }
}

// The corners_file sprite, drawn at the display's origin, has four frames,
// frame k inside the window and touching its corner k (top left, top right,
// bottom left, bottom right).
inline void expectCornersFitWindow(Conf& c, const Box& window) {
  LoadedSprite corners(c.str("corners_file"));
  ASSERT_NE(corners.s, nullptr);
  ASSERT_EQ(corners.s->numfrms, 4);
  for (int k = 0; k < 4; k++) {
    const Box b = frameBox(corners.s, k, 0, 0);
    EXPECT_TRUE(b.inside(window)) << "corner " << k << " " << describe(b);
    EXPECT_EQ(k % 2 ? b.x1 : b.x0, k % 2 ? window.x1 : window.x0) << "corner " << k;
    EXPECT_EQ(k / 2 ? b.y1 : b.y0, k / 2 ? window.y1 : window.y0) << "corner " << k;
  }
}

}  // namespace gamedata
