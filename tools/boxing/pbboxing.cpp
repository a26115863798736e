// pbboxing GAMEDIR: draws the sprites of the boxing match into
// GAMEDIR/data/boxing/ with cairo:
//   PERSON-stand, -walk1, -hit1, -hit2, -boom1, -knockout1, -knockout2.gsp
//                 for drol, vesk and tarok (see boxer.cpp); frames of
//                 430 x 270, the feet on row 258 at column 160, facing left
//   back.gsp      the three parallax layers: 0 the ring (1000 x 188),
//                 1 the crowd in the stands (800 x 160), 2 the sky over the
//                 Kremlin wall and the Duma (680 x 388)
//   flag.gsp      the red flag over the Duma's dome, 12 frames of its wave
//   corners.gsp   the four gilt brackets at the ring window's corners, drawn
//                 at their places on the screen (window at 96,106, 608 x 388)
//   health.gsp    the health bar, 51 frames (0 empty .. 50 full), filling
//                 from its right end; the left bar is this one mirrored
//   ki.gsp        the stamina bar, 26 frames, the same way
//   spark1.gsp    the flash of a light blow (5 frames); spark2.gsp the burst
//                 of a heavy one (7 frames)
//   poster.gsp    the bill of the fight
// The places these sizes fit are the keys of conf/boxing.conf. Every frame
// comes out the same in every run.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "boxing/boxer.h"
#include "boxing/draw.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"

using namespace boxing;

namespace {

// The ring window on the screen, as conf/boxing.conf places it.
constexpr int kWinX = 96, kWinY = 106, kWinW = 608, kWinH = 388;
// Parallax layers: widths and heights; their tops in the window are the
// keys back0_dy .. back2_dy.
constexpr int kBack0W = 1000, kBack0H = 188;
constexpr int kBack1W = 800, kBack1H = 160;
constexpr int kBack2W = 680, kBack2H = 388;
// The flag and the pole it hangs from on layer 2.
constexpr int kFlagW = 96, kFlagH = 64, kFlagFrames = 12;
constexpr int kPoleX = 340, kPoleTop = 36;
constexpr int kHealthW = 230, kHealthH = 22, kHealthFrames = 51;
constexpr int kKiW = 170, kKiH = 12, kKiFrames = 26;
constexpr int kCorner = 26;

struct Frames {
  std::vector<std::vector<uint8_t>> pixels;
  std::vector<GspFrameImage> images;
  void add(std::vector<uint8_t> rgba, int w, int h, int ox = 0, int oy = 0) {
    pixels.push_back(std::move(rgba));
    images.push_back({w, h, nullptr, ox, oy});
  }
  bool write(const std::string& path) {
    for (size_t i = 0; i < images.size(); i++) images[i].rgba = pixels[i].data();
    if (gspWrite(path.c_str(), GSP_CM_565_ALPHA, images) < 0) {
      std::fprintf(stderr, "pbboxing: can't write '%s'\n", path.c_str());
      return false;
    }
    return true;
  }
};

// ---- layer 2: dusk sky, the Kremlin wall with two towers, the Duma ----

void tower(cairo_t* cr, double x, double top, double w) {
  const double base = 300;
  cairo_rectangle(cr, x - w / 2, top + 60, w, base - top - 60);
  fillVertical(cr, top + 60, base, 0xB04030, 0x8A2A20, 0x5A1810);
  cairo_rectangle(cr, x - w / 2 - 4, top + 56, w + 8, 8);  // cornice
  rgb(cr, 0xD8C8A8);
  cairo_fill(cr);
  for (int i = 0; i < 2; i++) {  // white-framed windows
    cairo_rectangle(cr, x - 5, top + 80 + i * 40, 10, 16);
    rgb(cr, 0xF0E6D0);
    cairo_fill(cr);
    cairo_rectangle(cr, x - 3, top + 82 + i * 40, 6, 12);
    rgb(cr, 0x2A1A18);
    cairo_fill(cr);
  }
  // The tent roof, green, and the lit star on its spire.
  cairo_move_to(cr, x - w / 2 - 2, top + 56);
  cairo_line_to(cr, x, top + 8);
  cairo_line_to(cr, x + w / 2 + 2, top + 56);
  cairo_close_path(cr);
  cairo_pattern_t* g = cairo_pattern_create_linear(x - w / 2, 0, x + w / 2, 0);
  stop(g, 0, 0x3A7A52);
  stop(g, 0.5, 0x2A5A3C);
  stop(g, 1, 0x163422);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  cairo_arc(cr, x, top, 13, 0, 2 * kPi);
  cairo_pattern_t* glow = cairo_pattern_create_radial(x, top, 2, x, top, 13);
  stop(glow, 0, 0xFF4030, 0.6);
  stop(glow, 1, 0xFF4030, 0);
  cairo_set_source(cr, glow);
  cairo_fill(cr);
  cairo_pattern_destroy(glow);
  starPath(cr, x, top, 9, 0);
  rgb(cr, 0xF02A20);
  cairo_fill_preserve(cr);
  rgb(cr, 0xFFD060);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
}

std::vector<uint8_t> farLayer() {
  Canvas c(kBack2W, kBack2H, kArt);
  cairo_t* cr = c.cr;
  cairo_rectangle(cr, 0, 0, kBack2W, kBack2H);
  cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, 300);
  stop(sky, 0, 0x141C44);
  stop(sky, 0.55, 0x4A3A6A);
  stop(sky, 0.85, 0xC0685A);
  stop(sky, 1, 0xF0A060);
  cairo_set_source(cr, sky);
  cairo_fill(cr);
  cairo_pattern_destroy(sky);
  // Stars of the evening sky, placed by a fixed sequence.
  unsigned seed = 12345;
  for (int i = 0; i < 60; i++) {
    seed = seed * 1103515245u + 12345u;
    const double x = (seed >> 8) % kBack2W;
    seed = seed * 1103515245u + 12345u;
    const double y = (seed >> 8) % 150;
    cairo_arc(cr, x, y, 0.8 + (i % 3) * 0.4, 0, 2 * kPi);
    rgb(cr, 0xFFF6D8, 0.5 + (i % 4) * 0.12);
    cairo_fill(cr);
  }
  // The Duma behind the wall: a long front of columns under a dome.
  const double dx = kPoleX;
  cairo_rectangle(cr, dx - 150, 176, 300, 80);
  fillVertical(cr, 176, 256, 0xE8DCC4, 0xC8B898, 0x8A7A60);
  for (int i = 0; i < 13; i++) {
    cairo_rectangle(cr, dx - 140 + i * 23, 190, 8, 62);
    rgb(cr, 0xFFF4DE, 0.8);
    cairo_fill(cr);
    cairo_rectangle(cr, dx - 132 + i * 23, 190, 15, 62);
    rgb(cr, 0x6A5A48, 0.5);
    cairo_fill(cr);
  }
  cairo_move_to(cr, dx - 160, 178);
  cairo_line_to(cr, dx, 150);
  cairo_line_to(cr, dx + 160, 178);
  cairo_close_path(cr);
  rgb(cr, 0xD8CCB0);
  cairo_fill(cr);
  cairo_arc(cr, dx, 150, 44, kPi, 2 * kPi);
  cairo_close_path(cr);
  cairo_pattern_t* dome = cairo_pattern_create_linear(dx - 44, 0, dx + 44, 0);
  stop(dome, 0, 0xF8E8A0);
  stop(dome, 0.4, 0xD0A040);
  stop(dome, 1, 0x6A4A18);
  cairo_set_source(cr, dome);
  cairo_fill(cr);
  cairo_pattern_destroy(dome);
  cairo_rectangle(cr, dx - 1.5, kPoleTop, 3, 108 - kPoleTop);  // the flagpole
  rgb(cr, 0x2A2A30);
  cairo_fill(cr);
  cairo_arc(cr, dx, kPoleTop - 2, 3.5, 0, 2 * kPi);
  rgb(cr, 0xF0C850);
  cairo_fill(cr);
  // The crenellated wall across the whole width, with two towers.
  cairo_rectangle(cr, 0, 232, kBack2W, 120);
  fillVertical(cr, 232, 352, 0xB8483A, 0x9A3428, 0x5A1810);
  for (double x = 4; x < kBack2W; x += 26) {  // swallowtail merlons
    cairo_move_to(cr, x, 232);
    cairo_line_to(cr, x, 214);
    cairo_line_to(cr, x + 8, 220);
    cairo_line_to(cr, x + 16, 214);
    cairo_line_to(cr, x + 16, 232);
    cairo_close_path(cr);
    rgb(cr, 0xA83C30);
    cairo_fill(cr);
  }
  for (double y = 240; y < 352; y += 10) {  // brick courses
    cairo_move_to(cr, 0, y);
    cairo_line_to(cr, kBack2W, y);
  }
  rgb(cr, 0x4A140C, 0.35);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  tower(cr, 90, 96, 56);
  tower(cr, 590, 80, 62);
  cairo_rectangle(cr, 0, 352, kBack2W, kBack2H - 352);  // the square below
  fillVertical(cr, 352, kBack2H, 0x3A3038, 0x2A2228, 0x1A1418);
  return c.rgba();
}

// ---- layer 1: the crowd in the stands, with placards ----

std::vector<uint8_t> crowdLayer() {
  Canvas c(kBack1W, kBack1H, kArt);
  cairo_t* cr = c.cr;
  // The stands: four steps.
  for (int row = 0; row < 4; row++) {
    const double y = 34 + row * 30;
    cairo_rectangle(cr, 0, y + 12, kBack1W, 30);
    fillVertical(cr, y + 12, y + 42, 0x3A3A48, 0x2C2C38, 0x1C1C24);
  }
  const uint32_t coats[] = {0x5A4A3A, 0x3A4A6A, 0x6A2A2A, 0x4A5A3A, 0x2A2A2A, 0x7A6A5A, 0x3A3A5A};
  const uint32_t skins[] = {0xE8B890, 0xD8A078, 0xF0C8A8, 0xC89070};
  const uint32_t hats[] = {0, 0x3A3A3A, 0, 0x6A4A2A, 0, 0xB02020, 0, 0, 0x2A4A8A};
  unsigned seed = 777;
  auto next = [&seed]() {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) & 0xFFFF;
  };
  for (int row = 0; row < 4; row++) {
    const double y = 40 + row * 30;
    const double lit = 0.55 + 0.15 * row;  // the back rows sit in the dark
    for (double x = 8 + (row % 2) * 11; x < kBack1W; x += 22 + next() % 5) {
      const double hy = y - 4 + next() % 6;
      const uint32_t coat = shade(coats[next() % std::size(coats)], lit);
      cairo_move_to(cr, x - 11, hy + 34);
      cairo_curve_to(cr, x - 11, hy + 12, x + 11, hy + 12, x + 11, hy + 34);
      cairo_close_path(cr);
      rgb(cr, coat);
      cairo_fill(cr);
      cairo_arc(cr, x, hy + 6, 7, 0, 2 * kPi);
      rgb(cr, shade(skins[next() % std::size(skins)], lit));
      cairo_fill(cr);
      const uint32_t hat = hats[next() % std::size(hats)];
      if (hat) {
        cairo_rectangle(cr, x - 8, hy - 3, 16, 5);
        rgb(cr, shade(hat, lit));
        cairo_fill(cr);
      }
      if (next() % 9 == 0) {  // a raised fist
        cairo_move_to(cr, x + 6, hy + 16);
        cairo_line_to(cr, x + 12, hy - 6);
        rgb(cr, coat);
        cairo_set_line_width(cr, 4);
        cairo_stroke(cr);
        cairo_arc(cr, x + 12, hy - 8, 4, 0, 2 * kPi);
        rgb(cr, shade(skins[0], lit));
        cairo_fill(cr);
      }
    }
  }
  // Placards held up over the heads.
  struct Placard {
    double x, y;
    const char* text;
    uint32_t bg, fg;
  };
  const Placard placards[] = {
      {70, 30, "БЕЙ!", 0xF4ECD8, 0xB01818},     {230, 48, "ЗА НАРОД!", 0xC01818, 0xFFE070},
      {400, 26, "ДАЁШЬ!", 0xF4ECD8, 0x203880}, {560, 52, "ГОЛОСУЙ!", 0x203880, 0xFFFFFF},
      {710, 34, "УРА!", 0xC01818, 0xFFE070},
  };
  for (const Placard& p : placards) {
    cairo_move_to(cr, p.x, p.y + 10);
    cairo_line_to(cr, p.x, p.y + 34);
    rgb(cr, 0x6A4A2A);
    cairo_set_line_width(cr, 3);
    cairo_stroke(cr);
    cairo_rectangle(cr, p.x - 38, p.y - 11, 76, 22);
    rgb(cr, 0x201810);
    cairo_set_line_width(cr, 2);
    cairo_stroke_preserve(cr);
    rgb(cr, p.bg);
    cairo_fill(cr);
    caption(cr, p.text, 12, p.x, p.y, p.fg, 0, 0);
  }
  // Flashes of the press.
  for (double x : {150.0, 470.0, 640.0}) {
    cairo_pattern_t* f = cairo_pattern_create_radial(x, 100, 1, x, 100, 16);
    stop(f, 0, 0xFFFFFF, 0.95);
    stop(f, 1, 0xFFFFFF, 0);
    cairo_arc(cr, x, 100, 16, 0, 2 * kPi);
    cairo_set_source(cr, f);
    cairo_fill(cr);
    cairo_pattern_destroy(f);
  }
  return c.rgba();
}

// ---- layer 0: the ring ----

constexpr double kMatTop = 96, kMatBottom = 172;  // rows of the mat in layer 0
constexpr double kPostL = 30, kPostR = kBack0W - 30;

void post(cairo_t* cr, double x, uint32_t pad) {
  cairo_rectangle(cr, x - 6, 8, 12, kMatTop + 8 - 8);
  cairo_pattern_t* g = cairo_pattern_create_linear(x - 6, 0, x + 6, 0);
  stop(g, 0, 0xE8ECF0);
  stop(g, 0.5, 0x9098A0);
  stop(g, 1, 0x3A4046);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  for (double y : {22.0, 48.0, 74.0}) {
    cairo_rectangle(cr, x - 10, y - 8, 20, 16);
    rgb(cr, 0x1A1010);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke_preserve(cr);
    cairo_pattern_t* p = cairo_pattern_create_linear(x - 10, 0, x + 10, 0);
    stop(p, 0, shade(pad, 1.4));
    stop(p, 1, shade(pad, 0.6));
    cairo_set_source(cr, p);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
  }
}

std::vector<uint8_t> ringLayer() {
  Canvas c(kBack0W, kBack0H, kArt);
  cairo_t* cr = c.cr;
  // The mat, lit from above, with a faded star in the middle.
  cairo_rectangle(cr, 0, kMatTop, kBack0W, kMatBottom - kMatTop);
  fillVertical(cr, kMatTop, kMatBottom, 0x8890A8, 0xB8C0D0, 0x9AA2B8);
  cairo_save(cr);
  cairo_translate(cr, kBack0W / 2.0, (kMatTop + kMatBottom) / 2);
  cairo_scale(cr, 1, 0.22);
  starPath(cr, 0, 0, 120, 0);
  cairo_restore(cr);
  rgb(cr, 0xC02020, 0.35);
  cairo_fill(cr);
  for (double x = 0; x < kBack0W; x += 50) {  // seams of the canvas
    cairo_move_to(cr, x, kMatTop);
    cairo_line_to(cr, x + (x - kBack0W / 2.0) * 0.12, kMatBottom);
  }
  rgb(cr, 0x000000, 0.06);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_rectangle(cr, 0, kMatBottom - 4, kBack0W, 4);
  rgb(cr, 0xF0F2F6);
  cairo_fill(cr);
  // The apron with the ring's name along it.
  cairo_rectangle(cr, 0, kMatBottom, kBack0W, kBack0H - kMatBottom);
  fillVertical(cr, kMatBottom, kBack0H, 0xA01818, 0x801010, 0x500808);
  for (double x = 120; x < kBack0W; x += 250) caption(cr, "РИНГ ГОСДУМЫ", 11, x, kMatBottom + 8, 0xF2C848, 0, 0);
  for (double x = 245; x < kBack0W; x += 250) starPath(cr, x, kMatBottom + 8, 5, 0), rgb(cr, 0xF2C848), cairo_fill(cr);
  // The far ropes and the posts at the ring's ends.
  post(cr, kPostL, 0xC82020);
  post(cr, kPostR, 0x2850B8);
  const uint32_t ropes[3] = {0xE02820, 0xF4F4F0, 0x2850B8};
  for (int i = 0; i < 3; i++) {
    const double y = 22 + 26 * i;
    cairo_move_to(cr, kPostL + 10, y);
    cairo_curve_to(cr, kBack0W * 0.35, y + 6, kBack0W * 0.65, y + 6, kPostR - 10, y);
    rgb(cr, 0x1A1010);
    cairo_set_line_width(cr, 6);
    cairo_stroke_preserve(cr);
    rgb(cr, ropes[i]);
    cairo_set_line_width(cr, 3.5);
    cairo_stroke(cr);
  }
  // The mat's far edge shadowed under the ropes.
  cairo_rectangle(cr, 0, kMatTop, kBack0W, 3);
  rgb(cr, 0x000000, 0.25);
  cairo_fill(cr);
  return c.rgba();
}

// ---- the flag: a red banner with a gold glove, waving ----

std::vector<uint8_t> flagFrame(int i) {
  Canvas c(kFlagW, kFlagH, kArt);
  cairo_t* cr = c.cr;
  const double ph = 2 * kPi * i / kFlagFrames;
  const double fw = 80, fh = 46, x0 = 2, y0 = 6;
  auto wave = [&](double u) { return 5 * u * std::sin(ph - u * 5.0); };
  cairo_move_to(cr, x0, y0);
  for (int k = 1; k <= 20; k++) {
    const double u = k / 20.0;
    cairo_line_to(cr, x0 + fw * u, y0 + wave(u));
  }
  for (int k = 20; k >= 0; k--) {
    const double u = k / 20.0;
    cairo_line_to(cr, x0 + fw * u, y0 + fh + wave(u) * 1.2);
  }
  cairo_close_path(cr);
  cairo_pattern_t* g = cairo_pattern_create_linear(x0, 0, x0 + fw, 0);
  for (int k = 0; k <= 8; k++) {  // folds catch the light in turn
    const double u = k / 8.0;
    stop(g, u, shade(0xD01C18, 0.8 + 0.35 * std::cos(ph - u * 5.0 + 0.6)));
  }
  cairo_set_source(cr, g);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(g);
  rgb(cr, 0x500808);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  // A gold glove under a star near the pole.
  const double gx = x0 + 20, gy = y0 + fh / 2 + wave(0.25);
  cairo_save(cr);
  cairo_translate(cr, gx, gy + 4);
  cairo_scale(cr, 1.1, 1);
  cairo_arc(cr, 0, 0, 8, 0, 2 * kPi);
  cairo_restore(cr);
  cairo_rectangle(cr, gx - 12, gy + 1, 6, 8);
  rgb(cr, 0xF2C848);
  cairo_fill(cr);
  starPath(cr, gx + 2, gy - 10, 5, 0);
  rgb(cr, 0xF2C848);
  cairo_fill(cr);
  return c.rgba();
}

// ---- the window's corners: gilt brackets with a rivet ----

std::vector<uint8_t> corner(int which) {
  Canvas c(kCorner, kCorner, kArt);
  cairo_t* cr = c.cr;
  if (which & 1) {
    cairo_translate(cr, kCorner, 0);
    cairo_scale(cr, -1, 1);
  }
  if (which & 2) {
    cairo_translate(cr, 0, kCorner);
    cairo_scale(cr, 1, -1);
  }
  cairo_move_to(cr, 0, 0);
  cairo_line_to(cr, kCorner, 0);
  cairo_line_to(cr, kCorner, 6);
  cairo_line_to(cr, 10, 6);
  cairo_curve_to(cr, 7, 6, 6, 7, 6, 10);
  cairo_line_to(cr, 6, kCorner);
  cairo_line_to(cr, 0, kCorner);
  cairo_close_path(cr);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, kCorner, kCorner);
  stop(g, 0, 0xFFF0B0);
  stop(g, 0.5, 0xD0A040);
  stop(g, 1, 0x7A5414);
  cairo_set_source(cr, g);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(g);
  rgb(cr, 0x3A2808);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  cairo_arc(cr, 4, 4, 2.2, 0, 2 * kPi);
  rgb(cr, 0x5A3A10);
  cairo_fill(cr);
  return c.rgba();
}

// ---- the bars: a steel case, a dark trough and the fill at the right ----

std::vector<uint8_t> bar(int w, int h, double level, bool health) {
  Canvas c(w, h, kArt);
  cairo_t* cr = c.cr;
  const double r = h / 2.0;
  auto capsule = [&](double x0, double y0, double x1, double y1) {
    const double rr = (y1 - y0) / 2;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x0 + rr, y0 + rr, rr, kPi / 2, 3 * kPi / 2);
    cairo_arc(cr, x1 - rr, y0 + rr, rr, -kPi / 2, kPi / 2);
    cairo_close_path(cr);
  };
  capsule(0, 0, w, h);
  cairo_pattern_t* steel = cairo_pattern_create_linear(0, 0, 0, h);
  stop(steel, 0, 0xF0F2F4);
  stop(steel, 0.5, 0x9098A0);
  stop(steel, 1, 0x30363C);
  cairo_set_source(cr, steel);
  cairo_fill(cr);
  cairo_pattern_destroy(steel);
  const double in = health ? 3 : 2;
  capsule(in, in, w - in, h - in);
  rgb(cr, 0x141418);
  cairo_fill(cr);
  if (level > 0) {
    const double inner = w - 2 * in, fw = std::max(h - 2 * in, inner * level);
    uint32_t top, bottom;
    if (!health) {
      top = 0x9AF0FF, bottom = 0x1060C0;
    } else if (level > 0.6) {
      top = 0xA8F080, bottom = 0x208018;
    } else if (level > 0.3) {
      top = 0xFFF080, bottom = 0xC09010;
    } else {
      top = 0xFF9080, bottom = 0xA01010;
    }
    capsule(w - in - fw, in, w - in, h - in);
    cairo_pattern_t* f = cairo_pattern_create_linear(0, in, 0, h - in);
    stop(f, 0, top);
    stop(f, 0.5, shade(bottom, 1.3));
    stop(f, 1, bottom);
    cairo_set_source(cr, f);
    cairo_fill(cr);
    cairo_pattern_destroy(f);
    cairo_rectangle(cr, w - in - fw + r * 0.5, in + 1, fw - r, (h - 2 * in) * 0.3);  // gloss
    rgb(cr, 0xFFFFFF, 0.35);
    cairo_fill(cr);
  }
  // Notches every tenth.
  for (int k = 1; k < 10; k++) {
    const double x = in + (w - 2 * in) * k / 10.0;
    cairo_move_to(cr, x, in);
    cairo_line_to(cr, x, h - in);
  }
  rgb(cr, 0x000000, 0.3);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  if (health) {  // a gold star riveted at the outer end
    starPath(cr, w - r, r, r * 0.75, 0);
    rgb(cr, 0x3A2808);
    cairo_set_line_width(cr, 1);
    cairo_stroke_preserve(cr);
    rgb(cr, 0xF2C848);
    cairo_fill(cr);
  }
  return c.rgba();
}

// ---- sparks ----

// Fills a burst of rays centred in a size x size canvas.
void burstPath(cairo_t* cr, int size, int rays, double grow, double fade, uint32_t outer, uint32_t inner,
               double turn) {
  const double m = size / 2.0, R = (size / 2.0 - 2) * grow;
  for (int i = 0; i < rays * 2; i++) {
    const double a = turn + i * kPi / rays;
    const double rr = i % 2 ? R * 0.45 : R * (i % 4 == 0 ? 1.0 : 0.8);
    if (i == 0)
      cairo_move_to(cr, m + rr * std::cos(a), m + rr * std::sin(a));
    else
      cairo_line_to(cr, m + rr * std::cos(a), m + rr * std::sin(a));
  }
  cairo_close_path(cr);
  cairo_pattern_t* g = cairo_pattern_create_radial(m, m, 1, m, m, R);
  stop(g, 0, 0xFFFFFF, fade);
  stop(g, 0.35, inner, fade);
  stop(g, 1, outer, fade * 0.9);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
}

std::vector<uint8_t> burst(int size, int rays, double grow, double fade, uint32_t outer, uint32_t inner, double turn) {
  Canvas c(size, size, kArt);
  burstPath(c.cr, size, rays, grow, fade, outer, inner, turn);
  return c.rgba();
}

// The heavy blow: a big burst with its word written over it while it lasts.
std::vector<uint8_t> heavySpark(int i) {
  const double grow[7] = {0.45, 0.8, 1.0, 1.0, 0.95, 0.85, 0.7};
  const double fade[7] = {1, 1, 1, 1, 0.85, 0.6, 0.35};
  Canvas c(120, 120, kArt);
  cairo_t* cr = c.cr;
  burstPath(cr, 120, 9, grow[i], fade[i], 0xE03010, 0xFFD040, i * 0.09);
  if (i >= 1 && i <= 5) {
    cairo_save(cr);
    cairo_translate(cr, 60, 60);
    cairo_rotate(cr, -0.15);
    const double k = 0.8 + 0.1 * std::min(i, 3);
    cairo_scale(cr, k, k);
    caption(cr, "БАХ!", 26, 0, 0, 0xFFF4C0, 0x601008, 4);
    cairo_restore(cr);
  }
  return c.rgba();
}

// ---- the poster ----

std::vector<uint8_t> poster() {
  constexpr int w = 180, h = 240;
  Canvas c(w, h, kArt);
  cairo_t* cr = c.cr;
  cairo_rectangle(cr, 0, 0, w, h);
  rgb(cr, 0xEAE0C8);
  cairo_fill(cr);
  cairo_move_to(cr, 0, 0);
  cairo_line_to(cr, w, 0);
  cairo_line_to(cr, 0, h * 0.7);
  cairo_close_path(cr);
  rgb(cr, 0xC01818);
  cairo_fill(cr);
  starPath(cr, w * 0.5, h * 0.42, 60, 0.2);
  rgb(cr, 0x1A1A1A);
  cairo_fill(cr);
  for (int side = 0; side < 2; side++) {  // two gloves meeting
    const double gx = side ? w * 0.64 : w * 0.36, gy = h * 0.42;
    cairo_arc(cr, gx, gy, 20, 0, 2 * kPi);
    rgb(cr, side ? 0x2E5CD0 : 0xD42A20);
    cairo_fill_preserve(cr);
    rgb(cr, 0x1A1A1A);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
  }
  caption(cr, "БОЙ ВЕКА", 26, w / 2.0, h * 0.78, 0xC01818, 0, 0);
  caption(cr, "РИНГ ГОСДУМЫ", 13, w / 2.0, h * 0.9, 0x1A1A1A, 0, 0);
  cairo_rectangle(cr, 1, 1, w - 2, h - 2);
  rgb(cr, 0x1A1A1A);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  return c.rgba();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("Usage: pbboxing GAMEDIR\n"
              "Draws the boxing match's sprites (the three boxers, the ring and its\n"
              "background, the flag, the bars, the sparks) into GAMEDIR/data/boxing/.");
    return 0;
  }
  if (argc != 2) {
    std::fputs("usage: pbboxing GAMEDIR (see --help)\n", stderr);
    return 1;
  }
  if (!loadFaces()) {
    std::fputs("pbboxing: can't load the caption font\n", stderr);
    return 1;
  }
  const std::string dir = std::string(argv[1]) + "/data/boxing/";
  mkdir(argv[1], 0777);
  mkdir((std::string(argv[1]) + "/data").c_str(), 0777);
  mkdir(dir.c_str(), 0777);
  bool ok = true;

  for (int i = 0; i < kPersons; i++) {
    const Person& p = person(i);
    for (const Animation& a : drawBoxer(p)) {
      Frames f;
      for (const auto& px : a.frames) f.add(px, kBoxerW, kBoxerH);
      ok = ok && f.write(dir + p.name + "-" + a.name + ".gsp");
    }
  }
  {
    Frames f;
    f.add(ringLayer(), kBack0W, kBack0H);
    f.add(crowdLayer(), kBack1W, kBack1H);
    f.add(farLayer(), kBack2W, kBack2H);
    ok = ok && f.write(dir + "back.gsp");
  }
  {
    Frames f;
    for (int i = 0; i < kFlagFrames; i++) f.add(flagFrame(i), kFlagW, kFlagH);
    ok = ok && f.write(dir + "flag.gsp");
  }
  {
    // Drawn at (0, 0): each bracket sits at its corner of the screen.
    Frames f;
    const int left = kWinX, right = kWinX + kWinW - kCorner, top = kWinY, bottom = kWinY + kWinH - kCorner;
    f.add(corner(0), kCorner, kCorner, left, top);
    f.add(corner(1), kCorner, kCorner, right, top);
    f.add(corner(2), kCorner, kCorner, left, bottom);
    f.add(corner(3), kCorner, kCorner, right, bottom);
    ok = ok && f.write(dir + "corners.gsp");
  }
  {
    Frames f;
    for (int i = 0; i < kHealthFrames; i++)
      f.add(bar(kHealthW, kHealthH, static_cast<double>(i) / (kHealthFrames - 1), true), kHealthW, kHealthH);
    ok = ok && f.write(dir + "health.gsp");
  }
  {
    Frames f;
    for (int i = 0; i < kKiFrames; i++)
      f.add(bar(kKiW, kKiH, static_cast<double>(i) / (kKiFrames - 1), false), kKiW, kKiH);
    ok = ok && f.write(dir + "ki.gsp");
  }
  {
    Frames light, heavy;
    const double grow[5] = {0.5, 0.9, 1.0, 0.8, 0.55};
    const double fade[5] = {1, 1, 0.9, 0.6, 0.3};
    for (int i = 0; i < 5; i++) light.add(burst(64, 6, grow[i], fade[i], 0xFF7010, 0xFFF060, i * 0.25), 64, 64);
    for (int i = 0; i < 7; i++) heavy.add(heavySpark(i), 120, 120);
    ok = ok && light.write(dir + "spark1.gsp") && heavy.write(dir + "spark2.gsp");
  }
  {
    Frames f;
    f.add(poster(), 180, 240);
    ok = ok && f.write(dir + "poster.gsp");
  }
  freeFaces();
  if (!ok) return 1;
  std::printf("pbboxing: the boxing match's sprites written to %s\n", dir.c_str());
  return 0;
}
