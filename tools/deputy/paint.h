#pragma once
// Drawing helpers shared by the two arcade subgames' artwork generators
// (pbdeputy and pboligarch): a cairo canvas whose pixels become a sprite
// frame, colours and gradients, outlined cartoon shapes, a lettering face
// and a .gsp writer that reports its file.
#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cairo_canvas.h"
#include "cairo_paths.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"

namespace paint {

constexpr double kPi = 3.14159265358979323846;

using cairo_canvas::Canvas;
using cairo_paths::gearPath;
using cairo_paths::starPath;

// Frames of one sprite: each an RGBA picture with its place from the
// sprite's origin.
struct Frames {
  struct One {
    int w, h, ox, oy;
    std::vector<uint8_t> px;
  };
  std::vector<One> list;
  void add(Canvas& c, int ox = 0, int oy = 0) { list.push_back({c.w, c.h, ox, oy, c.rgba()}); }
};

// Writes dir/name in colour model cm; false after a message.
inline bool write(const std::string& dir, const char* name, int cm, const Frames& f) {
  std::vector<GspFrameImage> images;
  for (const auto& one : f.list) images.push_back({one.w, one.h, one.px.data(), one.ox, one.oy});
  const std::string path = dir + "/" + name;
  if (gspWrite(path.c_str(), cm, images) < 0) {
    std::fprintf(stderr, "can't write '%s'\n", path.c_str());
    return false;
  }
  return true;
}

// GAMEDIR/data/sub, created when missing.
inline std::string dataDir(const char* game, const char* sub) {
  const std::string data = std::string(game) + "/data";
  mkdir(game, 0777);
  mkdir(data.c_str(), 0777);
  const std::string dir = data + "/" + sub;
  mkdir(dir.c_str(), 0777);
  return dir;
}

inline void rgb(cairo_t* cr, uint32_t c, double a = 1) {
  cairo_set_source_rgba(cr, ((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0, (c & 255) / 255.0, a);
}

inline void stop(cairo_pattern_t* p, double at, uint32_t c, double a = 1) {
  cairo_pattern_add_color_stop_rgba(p, at, ((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0, (c & 255) / 255.0,
                                    a);
}

// Sets a two-stop gradient between two points as the source; the caller
// fills.
inline void linear(cairo_t* cr, double x0, double y0, double x1, double y1, uint32_t a, uint32_t b) {
  cairo_pattern_t* g = cairo_pattern_create_linear(x0, y0, x1, y1);
  stop(g, 0, a);
  stop(g, 1, b);
  cairo_set_source(cr, g);
  cairo_pattern_destroy(g);
}

inline void radial(cairo_t* cr, double x, double y, double r, uint32_t inner, uint32_t outer) {
  cairo_pattern_t* g = cairo_pattern_create_radial(x - r * 0.35, y - r * 0.35, r * 0.1, x, y, r);
  stop(g, 0, inner);
  stop(g, 1, outer);
  cairo_set_source(cr, g);
  cairo_pattern_destroy(g);
}

// Fills the current path with colour c and outlines it in ink.
inline void fillInk(cairo_t* cr, uint32_t c, double ink = 1.6, uint32_t inkColour = 0x1A1414) {
  rgb(cr, c);
  cairo_fill_preserve(cr);
  rgb(cr, inkColour);
  cairo_set_line_width(cr, ink);
  cairo_stroke(cr);
}

// Fills the current path with the current source and outlines it in ink.
inline void fillSourceInk(cairo_t* cr, double ink = 1.6) {
  cairo_fill_preserve(cr);
  rgb(cr, 0x1A1414);
  cairo_set_line_width(cr, ink);
  cairo_stroke(cr);
}

// A limb: a thick round-capped line with an ink edge.
inline void limb(cairo_t* cr, double x0, double y0, double x1, double y1, double width, uint32_t c) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  rgb(cr, 0x1A1414);
  cairo_set_line_width(cr, width + 3);
  cairo_stroke(cr);
  cairo_move_to(cr, x0, y0);
  cairo_line_to(cr, x1, y1);
  rgb(cr, c);
  cairo_set_line_width(cr, width);
  cairo_stroke(cr);
}

inline void ellipse(cairo_t* cr, double x, double y, double rx, double ry) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, rx, ry);
  cairo_new_sub_path(cr);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
}

inline void roundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 1.5 * kPi);
  cairo_close_path(cr);
}

// A burst of n rays between radii r0 and r1.
inline void burstPath(cairo_t* cr, double x, double y, double r0, double r1, int n, double turn = 0) {
  for (int i = 0; i < 2 * n; i++) {
    const double rr = i % 2 ? r0 : r1;
    const double a = turn + i * kPi / n;
    if (i == 0)
      cairo_move_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
    else
      cairo_line_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
  }
  cairo_close_path(cr);
}

// A small deterministic generator for scattered details (stars, bricks,
// debris): the same sequence on every run.
struct Rand {
  uint32_t s;
  explicit Rand(uint32_t seed) : s(seed) {}
  uint32_t next() {
    s = s * 1664525u + 1013904223u;
    return s >> 8;
  }
  double unit() { return (next() & 0xFFFF) / 65535.0; }
  double range(double a, double b) { return a + (b - a) * unit(); }
};

// The lettering face (DejaVu Sans Bold), loaded once.
struct Lettering {
  FT_Library lib = nullptr;
  FT_Face ft = nullptr;
  cairo_font_face_t* face = nullptr;
  ~Lettering() {
    if (face) cairo_font_face_destroy(face);
    if (ft) FT_Done_Face(ft);
    if (lib) FT_Done_FreeType(lib);
  }
  bool load() {
    if (face) return true;
    if (FT_Init_FreeType(&lib)) return false;
    if (FT_New_Face(lib, "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", 0, &ft)) return false;
    face = cairo_ft_font_face_create_for_ft_face(ft, 0);
    return true;
  }
  // Adds UTF-8 text as a path centred on (x, baseline y) at size px.
  void path(cairo_t* cr, const char* text, double x, double y, double size) {
    cairo_set_font_face(cr, face);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text, &e);
    cairo_move_to(cr, x - e.x_advance / 2, y);
    cairo_text_path(cr, text);
  }
};

// Quarter fillets of the subgame frame's steel rounding the corners of the
// surface (left, top, width, height on the display), 4 frames: top left, top
// right, bottom left, bottom right, each placed from the display's origin.
inline Frames corners(int left, int top, int width, int height) {
  constexpr int kFillet = 16;
  Frames f;
  for (int i = 0; i < 4; i++) {
    const bool right = i % 2 == 1, bottom = i >= 2;
    Canvas c(kFillet, kFillet);
    cairo_t* cr = c.cr;
    // Corner point of the surface in the canvas, and the fillet's centre.
    const double px = right ? kFillet : 0, py = bottom ? kFillet : 0;
    const double cx = right ? 0 : kFillet, cy = bottom ? 0 : kFillet;
    const double a0 = std::atan2(py - cy, px - cx);
    cairo_move_to(cr, px, py);
    cairo_line_to(cr, cx + kFillet * std::cos(a0 - kPi / 4), cy + kFillet * std::sin(a0 - kPi / 4));
    cairo_arc(cr, cx, cy, kFillet, a0 - kPi / 4, a0 + kPi / 4);
    cairo_close_path(cr);
    linear(cr, 0, 0, kFillet, kFillet, 0xC8D0D8, 0x3A4046);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, kFillet - 0.5, a0 - kPi / 4, a0 + kPi / 4);
    rgb(cr, 0x101418);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    f.add(c, left + (right ? width - kFillet : 0), top + (bottom ? height - kFillet : 0));
  }
  return f;
}

}  // namespace paint
