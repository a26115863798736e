// pbmenu GAMEDIR: draws the menu's sprites and its looping video into
// GAMEDIR/data/menu/ with cairo, the lettering from the free DejaVu faces:
//   ma-btn-*.gsp, cr-btn-back.gsp, ch-btn-back.gsp, kb-btn-back.gsp,
//   re-btn-comm.gsp, re-btn-demo.gsp, re-btn-dict.gsp
//                      buttons: an enamel plate in a polished metal rim with
//                      its caption; five animations each (appear, vanish
//                      after a click, vanish because another was clicked,
//                      light up under the mouse, settle back to idle)
//   kb-lbl-*.gsp       labels of the keys: a smoked steel strip with the key
//                      and its use; appear, vanish and idle
//   logo-back.gsp      a slowly turning sunburst behind the name
//   logo-moving.gsp    the name "QEL" in gold with a glint running over it
//   menu-loop.vid      a flag waving in a brass frame, changing from the red
//                      star to the stripes to the iron gear
// Captions are Russian, as every text the player reads. The same input gives
// the same files in every build.
#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cairo_canvas.h"
#include "cairo_paths.h"
#include "core/log.h"
#include "gfx/gspwrite.h"
#include "gfx/sprite.h"
#include "gfx/vid.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr const char* kFontDir = "/usr/share/fonts/truetype/dejavu/";

struct Rgb {
  double r, g, b;
};

Rgb hex(uint32_t v) { return {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0}; }
Rgb mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
void source(cairo_t* cr, Rgb c, double a = 1) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

// The two faces the menu is lettered in.
struct Faces {
  FT_Library lib = nullptr;
  FT_Face sansFt = nullptr, serifFt = nullptr;
  cairo_font_face_t* sans = nullptr;   // captions
  cairo_font_face_t* serif = nullptr;  // the name
  ~Faces() {
    if (sans) cairo_font_face_destroy(sans);
    if (serif) cairo_font_face_destroy(serif);
    if (sansFt) FT_Done_Face(sansFt);
    if (serifFt) FT_Done_Face(serifFt);
    if (lib) FT_Done_FreeType(lib);
  }
  bool load() {
    if (FT_Init_FreeType(&lib)) return false;
    const std::string a = std::string(kFontDir) + "DejaVuSansCondensed-Bold.ttf";
    const std::string b = std::string(kFontDir) + "DejaVuSerifCondensed-Bold.ttf";
    if (FT_New_Face(lib, a.c_str(), 0, &sansFt) || FT_New_Face(lib, b.c_str(), 0, &serifFt)) return false;
    sans = cairo_ft_font_face_create_for_ft_face(sansFt, 0);
    serif = cairo_ft_font_face_create_for_ft_face(serifFt, 0);
    return true;
  }
};
Faces gFaces;

// Menu canvases letter without hinting, so a caption is centred and shaped
// the same on every button.
constexpr cairo_canvas::Options kUnhinted{true};
using cairo_canvas::Canvas;
using cairo_paths::gearPath;

struct Frames {
  int w, h;
  std::vector<std::vector<uint8_t>> pictures;
  // Soft edges are cut to alpha steps of this size: runs of equal alpha
  // share their header, which keeps wide glows small on disk.
  int alphaStep = 1;
  void add(Canvas& c) {
    pictures.push_back(c.rgba());
    if (alphaStep <= 1) return;
    std::vector<uint8_t>& p = pictures.back();
    for (size_t i = 3; i < p.size(); i += 4)
      if (p[i] != 0 && p[i] != 255) p[i] = static_cast<uint8_t>(std::clamp((p[i] + alphaStep / 2) / alphaStep * alphaStep, alphaStep, 255));
  }
};

bool writeSprite(const std::string& path, const Frames& f) {
  std::vector<GspFrameImage> images;
  for (const auto& p : f.pictures) images.push_back({f.w, f.h, p.data(), 0, 0});
  if (gspWrite(path.c_str(), GSP_CM_565_ALPHA, images) == 0) return true;
  std::fprintf(stderr, "pbmenu: can't write '%s'\n", path.c_str());
  return false;
}

void roundRect(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

void starPath(cairo_t* cr, double x, double y, double r, double turn) {
  for (int i = 0; i < 10; i++) {
    const double rr = i % 2 ? r * 0.4 : r;
    const double a = (turn - 90 + 36.0 * i) * kPi / 180;
    if (i == 0)
      cairo_move_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
    else
      cairo_line_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
  }
  cairo_close_path(cr);
}

// Text centred on (cx, cy) with a dark outline and a vertical gradient fill.
void caption(cairo_t* cr, cairo_font_face_t* face, double size, const char* utf8, double cx, double cy, Rgb top,
             Rgb bottom, Rgb outline, double outlineWidth) {
  cairo_save(cr);
  cairo_set_font_face(cr, face);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, utf8, &e);
  const double x = cx - e.width / 2 - e.x_bearing, y = cy - e.height / 2 - e.y_bearing;
  cairo_move_to(cr, x, y);
  cairo_text_path(cr, utf8);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_width(cr, outlineWidth);
  source(cr, outline, 0.95);
  cairo_stroke_preserve(cr);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, cy - size / 2, 0, cy + size / 2);
  cairo_pattern_add_color_stop_rgb(g, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(g, 0.55, mix(top, bottom, 0.3).r, mix(top, bottom, 0.3).g, mix(top, bottom, 0.3).b);
  cairo_pattern_add_color_stop_rgb(g, 1, bottom.r, bottom.g, bottom.b);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  cairo_restore(cr);
}

// ---- buttons ---------------------------------------------------------------

// A button's plate is kPlateW x kPlateH; the frames keep kMargin around it for
// the glow and the shadow. Every frame has the same size and origin, so the
// menu places a button by the top-left corner of its frames.
constexpr int kPlateW = 300, kPlateH = 56, kMargin = 14;
constexpr int kButtonW = kPlateW + 2 * kMargin, kButtonH = kPlateH + 2 * kMargin;

enum class Plate { Crimson, Comm, Demo, Dict };

struct ButtonStyle {
  Plate plate;
  Rgb rimLight, rimDark;  // the metal of the rim
  Rgb glow;               // the halo when lit
};

const ButtonStyle kCrimson{Plate::Crimson, hex(0xF6E3A0), hex(0x7A5A1C), hex(0xFFC850)};
const ButtonStyle kComm{Plate::Comm, hex(0xF6E3A0), hex(0x7A5A1C), hex(0xFF6A3A)};
const ButtonStyle kDemo{Plate::Demo, hex(0xF2F4F8), hex(0x5A6476), hex(0x8CC8FF)};
const ButtonStyle kDict{Plate::Dict, hex(0xA4A8AE), hex(0x2A2C30), hex(0xFF3A2A)};

// The enamel (and its ornament) inside the rim, clipped to the plate.
void drawEnamel(cairo_t* cr, const ButtonStyle& st, double x, double y, double w, double h) {
  cairo_pattern_t* g = cairo_pattern_create_linear(0, y, 0, y + h);
  auto stop = [&](double at, uint32_t c) {
    const Rgb v = hex(c);
    cairo_pattern_add_color_stop_rgb(g, at, v.r, v.g, v.b);
  };
  switch (st.plate) {
    case Plate::Crimson: stop(0, 0x9A1C22); stop(0.5, 0x6E0E14); stop(1, 0x3E0608); break;
    case Plate::Comm: stop(0, 0xD8281E); stop(0.5, 0xA4140E); stop(1, 0x5C0806); break;
    case Plate::Demo: stop(0, 0x2E4C9A); stop(1, 0x142A60); break;
    case Plate::Dict: stop(0, 0x3A3C40); stop(0.5, 0x1C1D20); stop(1, 0x0A0A0C); break;
  }
  cairo_rectangle(cr, x, y, w, h);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  const double cy = y + h / 2;
  switch (st.plate) {
    case Plate::Crimson:
      for (double sx : {x + 20, x + w - 20}) {
        starPath(cr, sx, cy, 10, 0);
        source(cr, hex(0xE8C060));
        cairo_fill(cr);
      }
      break;
    case Plate::Comm:
      // Rays fanning from the star at the left end, the star over them.
      for (int i = 0; i < 9; i++) {
        const double a = (-60 + 15 * i) * kPi / 180;
        cairo_move_to(cr, x + 28, cy);
        cairo_line_to(cr, x + 28 + 400 * std::cos(a - 0.03), cy + 400 * std::sin(a - 0.03));
        cairo_line_to(cr, x + 28 + 400 * std::cos(a + 0.03), cy + 400 * std::sin(a + 0.03));
        cairo_close_path(cr);
      }
      source(cr, hex(0xFF9A40), 0.18);
      cairo_fill(cr);
      starPath(cr, x + 28, cy, 15, 0);
      source(cr, hex(0xFFD860));
      cairo_fill_preserve(cr);
      source(cr, hex(0x7A3A00));
      cairo_set_line_width(cr, 1);
      cairo_stroke(cr);
      break;
    case Plate::Demo: {
      // Red and white stripes with a blue field of stars at the left.
      const int stripes = 7;
      for (int i = 0; i < stripes; i++) {
        cairo_rectangle(cr, x + 56, y + h * i / stripes, w - 56, h / stripes + 0.5);
        source(cr, i % 2 ? hex(0xF0F0F0) : hex(0xC0202C));
        cairo_fill(cr);
      }
      for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) {
          starPath(cr, x + 12 + c * 16 + (r % 2) * 4, y + 12 + r * 16, 5, 0);
          source(cr, hex(0xF4F4F4));
          cairo_fill(cr);
        }
      break;
    }
    case Plate::Dict:
      // A dark red band over iron, rivets along the edges, a gear emblem.
      cairo_rectangle(cr, x, cy - h * 0.22, w, h * 0.44);
      source(cr, hex(0x6A0A0A));
      cairo_fill(cr);
      for (double rx = x + 14; rx < x + w - 8; rx += 24)
        for (double ry : {y + 6.5, y + h - 6.5}) {
          cairo_arc(cr, rx, ry, 2.6, 0, 2 * kPi);
          cairo_pattern_t* rv = cairo_pattern_create_radial(rx - 1, ry - 1, 0.3, rx, ry, 2.6);
          cairo_pattern_add_color_stop_rgb(rv, 0, 0.85, 0.85, 0.88);
          cairo_pattern_add_color_stop_rgb(rv, 1, 0.25, 0.25, 0.28);
          cairo_set_source(cr, rv);
          cairo_fill(cr);
          cairo_pattern_destroy(rv);
        }
      gearPath(cr, x + 28, cy, 17, 8, 0.78);
      source(cr, hex(0x101012));
      cairo_fill_preserve(cr);
      source(cr, hex(0x8A8E94));
      cairo_set_line_width(cr, 1.2);
      cairo_stroke(cr);
      cairo_arc(cr, x + 28, cy, 5, 0, 2 * kPi);
      source(cr, hex(0xD02418));
      cairo_fill(cr);
      break;
  }
  // The glaze: a soft highlight over the upper half.
  cairo_pattern_t* glaze = cairo_pattern_create_linear(0, y, 0, y + h * 0.55);
  cairo_pattern_add_color_stop_rgba(glaze, 0, 1, 1, 1, 0.32);
  cairo_pattern_add_color_stop_rgba(glaze, 1, 1, 1, 1, 0.0);
  cairo_rectangle(cr, x, y, w, h * 0.55);
  cairo_set_source(cr, glaze);
  cairo_fill(cr);
  cairo_pattern_destroy(glaze);
}

// The whole button at full size. glow 0..1 lights the halo and the caption;
// heat 0..1 turns it white-hot (the moment it is clicked).
void drawButton(cairo_t* cr, const ButtonStyle& st, const char* label, double glow, double heat) {
  const double x = kMargin, y = kMargin, w = kPlateW, h = kPlateH;
  // Halo.
  for (int i = 8; i >= 1; i--) {
    if (glow <= 0) break;
    roundRect(cr, x - i, y - i, w + 2 * i, h + 2 * i, 12 + i);
    source(cr, st.glow, glow * 0.16);
    cairo_fill(cr);
  }
  // Shadow.
  roundRect(cr, x + 3, y + 4, w, h, 12);
  source(cr, Rgb{0, 0, 0}, 0.45 * (1 - glow * 0.6));
  cairo_fill(cr);
  // Metal rim.
  roundRect(cr, x, y, w, h, 12);
  cairo_pattern_t* rim = cairo_pattern_create_linear(0, y, 0, y + h);
  cairo_pattern_add_color_stop_rgb(rim, 0, st.rimLight.r, st.rimLight.g, st.rimLight.b);
  cairo_pattern_add_color_stop_rgb(rim, 0.45, st.rimDark.r, st.rimDark.g, st.rimDark.b);
  cairo_pattern_add_color_stop_rgb(rim, 0.55, mix(st.rimDark, st.rimLight, 0.3).r,
                                   mix(st.rimDark, st.rimLight, 0.3).g, mix(st.rimDark, st.rimLight, 0.3).b);
  cairo_pattern_add_color_stop_rgb(rim, 1, st.rimLight.r * 0.8, st.rimLight.g * 0.8, st.rimLight.b * 0.8);
  cairo_set_source(cr, rim);
  cairo_fill(cr);
  cairo_pattern_destroy(rim);
  // Enamel.
  cairo_save(cr);
  roundRect(cr, x + 5, y + 5, w - 10, h - 10, 8);
  cairo_clip(cr);
  drawEnamel(cr, st, x + 5, y + 5, w - 10, h - 10);
  if (glow > 0) {  // lit from inside
    cairo_pattern_t* lit = cairo_pattern_create_radial(x + w / 2, y + h / 2, 4, x + w / 2, y + h / 2, w / 2);
    cairo_pattern_add_color_stop_rgba(lit, 0, st.glow.r, st.glow.g, st.glow.b, 0.35 * glow);
    cairo_pattern_add_color_stop_rgba(lit, 1, st.glow.r, st.glow.g, st.glow.b, 0.0);
    cairo_set_source(cr, lit);
    cairo_paint(cr);
    cairo_pattern_destroy(lit);
  }
  cairo_restore(cr);
  // Inner edge of the rim.
  roundRect(cr, x + 5, y + 5, w - 10, h - 10, 8);
  source(cr, Rgb{0, 0, 0}, 0.6);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  // Caption: cream gold, whiter when lit.
  const Rgb top = mix(hex(0xFFF4C8), hex(0xFFFFFF), glow);
  const Rgb bottom = mix(hex(0xE0A030), hex(0xFFE080), glow);
  const double cx = st.plate == Plate::Crimson ? x + w / 2 : x + w / 2 + 22;
  caption(cr, gFaces.sans, 25, label, cx, y + h / 2, top, bottom, hex(0x1A0A04), 4);
  if (heat > 0) {
    cairo_save(cr);
    roundRect(cr, x - 2, y - 2, w + 4, h + 4, 14);
    source(cr, hex(0xFFF8E0), heat * 0.75);
    cairo_fill(cr);
    cairo_restore(cr);
  }
}

double smooth(double t) { return t * t * (3 - 2 * t); }

// The button's five animations.
bool writeButton(const std::string& dir, const char* name, const ButtonStyle& st, const char* label) {
  std::string base = dir + "/" + name;
  std::replace(base.begin() + static_cast<std::ptrdiff_t>(dir.size()), base.end(), '_', '-');
  bool ok = true;
  // Appearing: a ghost of the plate, then the button opens from its middle
  // outwards behind two bright edges.
  {
    Frames f{kButtonW, kButtonH, {}};
    const int n = 8;
    for (int i = 0; i < n; i++) {
      const double t = smooth((i + 1.0) / n);
      Canvas c(kButtonW, kButtonH, kUnhinted);
      if (i == n - 1) {  // the button at rest, as its idle animation ends
        drawButton(c.cr, st, label, 0, 0);
        f.add(c);
        break;
      }
      roundRect(c.cr, kMargin, kMargin, kPlateW, kPlateH, 12);
      source(c.cr, st.rimLight, 0.16 * (1 - t) + 0.04);
      cairo_fill(c.cr);
      roundRect(c.cr, kMargin + 0.5, kMargin + 0.5, kPlateW - 1, kPlateH - 1, 12);
      source(c.cr, st.glow, 0.7 * (1 - t));
      cairo_set_line_width(c.cr, 1);
      cairo_stroke(c.cr);
      const double half = (kPlateW / 2.0 + kMargin) * t;
      cairo_save(c.cr);
      cairo_rectangle(c.cr, kButtonW / 2.0 - half, 0, 2 * half, kButtonH);
      cairo_clip(c.cr);
      drawButton(c.cr, st, label, 0.5 * (1 - t), 0);
      cairo_restore(c.cr);
      for (double ex : {kButtonW / 2.0 - half, kButtonW / 2.0 + half}) {
          cairo_pattern_t* g = cairo_pattern_create_linear(ex - 6, 0, ex + 6, 0);
          cairo_pattern_add_color_stop_rgba(g, 0, 1, 1, 0.9, 0);
          cairo_pattern_add_color_stop_rgba(g, 0.5, 1, 1, 0.9, 0.9);
          cairo_pattern_add_color_stop_rgba(g, 1, 1, 1, 0.9, 0);
          cairo_rectangle(c.cr, ex - 6, kMargin - 4, 12, kPlateH + 8);
          cairo_set_source(c.cr, g);
          cairo_fill(c.cr);
          cairo_pattern_destroy(g);
        }
      f.add(c);
    }
    ok &= writeSprite(base + "-appnpass.gsp", f);
  }
  // Vanishing after a click: a white-hot flash, then the button folds into
  // a bright line and goes out.
  {
    Frames f{kButtonW, kButtonH, {}};
    const int n = 9;
    for (int i = 0; i < n; i++) {
      Canvas c(kButtonW, kButtonH, kUnhinted);
      if (i < 3) {
        drawButton(c.cr, st, label, 1, i == 1 ? 0.8 : 0.35);
      } else {
        const double t = (i - 2.0) / (n - 2);  // 1/7 .. 1
        const double k = 1 - smooth(t);
        cairo_save(c.cr);
        cairo_translate(c.cr, kButtonW / 2.0, kButtonH / 2.0);
        cairo_scale(c.cr, 1 + 0.06 * t, std::max(0.04, k));
        cairo_translate(c.cr, -kButtonW / 2.0, -kButtonH / 2.0);
        cairo_push_group(c.cr);
        drawButton(c.cr, st, label, 1, 0.3 + 0.5 * t);
        cairo_pop_group_to_source(c.cr);
        cairo_paint_with_alpha(c.cr, 1 - 0.85 * t);
        cairo_restore(c.cr);
      }
      f.add(c);
    }
    ok &= writeSprite(base + "-disnact.gsp", f);
  }
  // Vanishing because another was clicked: the button dims and closes from
  // its ends towards the middle.
  {
    Frames f{kButtonW, kButtonH, {}};
    const int n = 7;
    for (int i = 0; i < n; i++) {
      const double t = (i + 1.0) / (n + 1);
      Canvas c(kButtonW, kButtonH, kUnhinted);
      const double half = (kPlateW / 2.0 + kMargin) * (1 - smooth(t));
      cairo_save(c.cr);
      cairo_rectangle(c.cr, kButtonW / 2.0 - half, 0, 2 * half, kButtonH);
      cairo_clip(c.cr);
      cairo_push_group(c.cr);
      drawButton(c.cr, st, label, 0, 0);
      cairo_pop_group_to_source(c.cr);
      cairo_paint_with_alpha(c.cr, 1 - 0.6 * t);
      cairo_restore(c.cr);
      f.add(c);
    }
    ok &= writeSprite(base + "-disnpass.gsp", f);
  }
  // Lighting up under the mouse; the last frame stays while it is there.
  {
    Frames f{kButtonW, kButtonH, {}};
    const int n = 6;
    for (int i = 0; i < n; i++) {
      Canvas c(kButtonW, kButtonH, kUnhinted);
      drawButton(c.cr, st, label, smooth((i + 1.0) / n), 0);
      f.add(c);
    }
    ok &= writeSprite(base + "-loopnact.gsp", f);
  }
  // Settling back to idle; the last frame is the button at rest.
  {
    Frames f{kButtonW, kButtonH, {}};
    const int n = 5;
    for (int i = 0; i < n; i++) {
      Canvas c(kButtonW, kButtonH, kUnhinted);
      drawButton(c.cr, st, label, 0.8 * (1 - smooth((i + 1.0) / n)), 0);
      f.add(c);
    }
    ok &= writeSprite(base + "-loopnpass.gsp", f);
  }
  return ok;
}

// ---- labels ----------------------------------------------------------------

constexpr int kLabelW = 360, kLabelH = 40;

void drawLabel(cairo_t* cr, const char* key, const char* text) {
  roundRect(cr, 1, 1, kLabelW - 2, kLabelH - 2, 6);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, kLabelH);
  cairo_pattern_add_color_stop_rgba(g, 0, 0.30, 0.32, 0.36, 0.85);
  cairo_pattern_add_color_stop_rgba(g, 1, 0.08, 0.09, 0.11, 0.85);
  cairo_set_source(cr, g);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(g);
  source(cr, hex(0xC8A050));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  // The key as a little keycap.
  roundRect(cr, 8, 7, 78, kLabelH - 14, 4);
  source(cr, hex(0xE8E2D0));
  cairo_fill_preserve(cr);
  source(cr, hex(0x3A3020));
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  caption(cr, gFaces.sans, 15, key, 47, kLabelH / 2.0, hex(0x201810), hex(0x201810), hex(0xFFFFFF), 0.1);
  caption(cr, gFaces.sans, 19, text, 92 + (kLabelW - 100) / 2.0, kLabelH / 2.0, hex(0xFFF4C8), hex(0xE0A030),
          hex(0x100804), 3);
}

bool writeLabel(const std::string& dir, const char* name, const char* key, const char* text) {
  std::string base = dir + "/" + name;
  std::replace(base.begin() + static_cast<std::ptrdiff_t>(dir.size()), base.end(), '_', '-');
  bool ok = true;
  Frames appear{kLabelW, kLabelH, {}}, vanish{kLabelW, kLabelH, {}}, idle{kLabelW, kLabelH, {}};
  const int n = 6;
  for (int i = 0; i < n; i++) {
    const double t = (i + 1.0) / n;
    Canvas a(kLabelW, kLabelH, kUnhinted), v(kLabelW, kLabelH, kUnhinted);
    // Appearing: slides in from the left while fading up, and ends as the
    // label at rest.
    if (i == n - 1) {
      drawLabel(a.cr, key, text);
      appear.add(a);
    } else {
      cairo_push_group(a.cr);
      cairo_translate(a.cr, -30 * (1 - smooth(t)), 0);
      drawLabel(a.cr, key, text);
      cairo_pop_group_to_source(a.cr);
      cairo_paint_with_alpha(a.cr, 0.1 + 0.9 * t);
      appear.add(a);
    }
    // Vanishing: slides out to the right while fading.
    cairo_push_group(v.cr);
    cairo_translate(v.cr, 30 * smooth(t), 0);
    drawLabel(v.cr, key, text);
    cairo_pop_group_to_source(v.cr);
    cairo_paint_with_alpha(v.cr, 1 - 0.85 * t);
    vanish.add(v);
  }
  Canvas c(kLabelW, kLabelH, kUnhinted);
  drawLabel(c.cr, key, text);
  idle.add(c);
  ok &= writeSprite(base + "-appnpass.gsp", appear);
  ok &= writeSprite(base + "-disnpass.gsp", vanish);
  ok &= writeSprite(base + "-loopnpass.gsp", idle);
  return ok;
}

// ---- logo ------------------------------------------------------------------

constexpr int kLogoBackW = 460, kLogoBackH = 200, kLogoBackFrames = 24;
constexpr int kLogoW = 400, kLogoH = 150, kLogoFrames = 30;

// A sunburst of sixteen rays that turns by one ray over the loop, so the last
// frame runs into the first; faded out towards an elliptic edge.
bool writeLogoBack(const std::string& dir) {
  Frames f{kLogoBackW, kLogoBackH, {}, 16};
  const double cx = kLogoBackW / 2.0, cy = kLogoBackH / 2.0;
  for (int i = 0; i < kLogoBackFrames; i++) {
    Canvas c(kLogoBackW, kLogoBackH, kUnhinted);
    cairo_t* cr = c.cr;
    cairo_push_group(cr);
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, 1, kLogoBackH / static_cast<double>(kLogoBackW));
    cairo_arc(cr, 0, 0, kLogoBackW / 2.0, 0, 2 * kPi);
    cairo_pattern_t* disc = cairo_pattern_create_radial(0, 0, 0, 0, 0, kLogoBackW / 2.0);
    cairo_pattern_add_color_stop_rgba(disc, 0, 0.55, 0.06, 0.05, 1.0);
    cairo_pattern_add_color_stop_rgba(disc, 0.7, 0.30, 0.02, 0.02, 1.0);
    cairo_pattern_add_color_stop_rgba(disc, 1, 0.10, 0.0, 0.0, 0.0);
    cairo_set_source(cr, disc);
    cairo_fill(cr);
    cairo_pattern_destroy(disc);
    const double turn = 2 * kPi / 16 * i / kLogoBackFrames;
    for (int r = 0; r < 16; r++) {
      const double a = turn + r * 2 * kPi / 16;
      cairo_move_to(cr, 0, 0);
      cairo_arc(cr, 0, 0, kLogoBackW / 2.0, a - 0.07, a + 0.07);
      cairo_close_path(cr);
    }
    cairo_pattern_t* rays = cairo_pattern_create_radial(0, 0, 20, 0, 0, kLogoBackW / 2.0);
    cairo_pattern_add_color_stop_rgba(rays, 0, 1.0, 0.85, 0.4, 0.55);
    cairo_pattern_add_color_stop_rgba(rays, 1, 1.0, 0.6, 0.2, 0.0);
    cairo_set_source(cr, rays);
    cairo_fill(cr);
    cairo_pattern_destroy(rays);
    // A thin gold ring, beaded, turning the other way.
    cairo_arc(cr, 0, 0, kLogoBackW * 0.36, 0, 2 * kPi);
    source(cr, hex(0xD8A840), 0.5);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    for (int b = 0; b < 40; b++) {
      const double a = -turn * 2 + b * 2 * kPi / 40;
      cairo_arc(cr, kLogoBackW * 0.36 * std::cos(a), kLogoBackW * 0.36 * std::sin(a), 3.2, 0, 2 * kPi);
      source(cr, hex(0xF0D070), 0.7);
      cairo_fill(cr);
    }
    cairo_restore(cr);
    cairo_pop_group_to_source(cr);
    cairo_paint(cr);
    f.add(c);
  }
  return writeSprite(dir + "/logo-back.gsp", f);
}

// The name in gold, the subtitle under it, and a glint that crosses the
// letters in the first two thirds of the loop.
bool writeLogo(const std::string& dir) {
  Frames f{kLogoW, kLogoH, {}};
  for (int i = 0; i < kLogoFrames; i++) {
    Canvas c(kLogoW, kLogoH, kUnhinted);
    cairo_t* cr = c.cr;
    cairo_set_font_face(cr, gFaces.serif);
    cairo_set_font_size(cr, 104);
    cairo_text_extents_t e;
    cairo_text_extents(cr, "QEL", &e);
    const double x = kLogoW / 2.0 - e.width / 2 - e.x_bearing, y = 100;
    // Shadow, outline, then the gold.
    cairo_move_to(cr, x + 4, y + 5);
    cairo_text_path(cr, "QEL");
    source(cr, Rgb{0, 0, 0}, 0.55);
    cairo_fill(cr);
    cairo_move_to(cr, x, y);
    cairo_text_path(cr, "QEL");
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_width(cr, 6);
    source(cr, hex(0x3A1204));
    cairo_stroke_preserve(cr);
    cairo_pattern_t* gold = cairo_pattern_create_linear(0, y - 78, 0, y + 4);
    cairo_pattern_add_color_stop_rgb(gold, 0, 1.0, 0.97, 0.80);
    cairo_pattern_add_color_stop_rgb(gold, 0.45, 0.95, 0.75, 0.30);
    cairo_pattern_add_color_stop_rgb(gold, 0.55, 0.62, 0.38, 0.08);
    cairo_pattern_add_color_stop_rgb(gold, 0.75, 0.90, 0.66, 0.22);
    cairo_pattern_add_color_stop_rgb(gold, 1, 0.55, 0.30, 0.05);
    cairo_set_source(cr, gold);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(gold);
    // The glint: a slanted white band clipped to the letters.
    const int sweep = kLogoFrames * 2 / 3;
    if (i < sweep) {
      cairo_save(cr);
      cairo_clip(cr);
      const double gx = -60 + (kLogoW + 120.0) * i / (sweep - 1);
      cairo_pattern_t* band = cairo_pattern_create_linear(gx - 30, 0, gx + 30, -20);
      cairo_pattern_add_color_stop_rgba(band, 0, 1, 1, 1, 0);
      cairo_pattern_add_color_stop_rgba(band, 0.5, 1, 1, 0.95, 0.85);
      cairo_pattern_add_color_stop_rgba(band, 1, 1, 1, 1, 0);
      cairo_set_source(cr, band);
      cairo_paint(cr);
      cairo_pattern_destroy(band);
      cairo_restore(cr);
    } else {
      cairo_new_path(cr);
    }
    caption(cr, gFaces.sans, 20, "ПОЛИТИЧЕСКИЙ ПИНБОЛ", kLogoW / 2.0, 130, hex(0xFFF0D0), hex(0xE8B860),
            hex(0x200804), 3.5);
    f.add(c);
  }
  return writeSprite(dir + "/logo-moving.gsp", f);
}

// ---- the menu video ----------------------------------------------------------

constexpr int kVidW = 192, kVidH = 144, kVidFrames = 48;

uint16_t rgb565(int r, int g, int b) {
  auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
  return static_cast<uint16_t>(((clamp(r) >> 3) << 11) | ((clamp(g) >> 2) << 5) | (clamp(b) >> 3));
}

// The clip's palette: a 6 x 8 x 5 colour cube (240 entries) and 16 greys.
constexpr int kCubeR = 6, kCubeG = 8, kCubeB = 5;
int cubeLevel(int levels, int i) { return i * 255 / (levels - 1); }

std::vector<uint16_t> videoPalette() {
  std::vector<uint16_t> p(256, 0);
  for (int r = 0; r < kCubeR; r++)
    for (int g = 0; g < kCubeG; g++)
      for (int b = 0; b < kCubeB; b++)
        p[(r * kCubeG + g) * kCubeB + b] = rgb565(cubeLevel(kCubeR, r), cubeLevel(kCubeG, g), cubeLevel(kCubeB, b));
  for (int i = 0; i < 16; i++) p[240 + i] = rgb565(i * 17, i * 17, i * 17);
  return p;
}

// Nearest palette index with a 4x4 ordered dither.
uint8_t quantise(int r, int g, int b, int x, int y) {
  static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const int d = bayer[y & 3][x & 3];
  if (std::abs(r - g) < 6 && std::abs(g - b) < 6) {  // greys keep their finer ramp
    const int v = (r + g + b) / 3;
    return static_cast<uint8_t>(240 + std::min(15, (v * 15 + d * 17 / 16) / 255));
  }
  auto level = [d](int v, int levels) { return std::min(levels - 1, (v * (levels - 1) * 16 + d * 255) / (255 * 16)); };
  return static_cast<uint8_t>((level(r, kCubeR) * kCubeG + level(g, kCubeG)) * kCubeB + level(b, kCubeB));
}

// The cloth of regime r (0 red star, 1 stripes, 2 iron gear), drawn flat.
void drawFlag(cairo_t* cr, int regime, double w, double h) {
  switch (regime) {
    case 0:
      source(cr, hex(0xC8161A));
      cairo_paint(cr);
      starPath(cr, w * 0.22, h * 0.3, h * 0.17, 0);
      source(cr, hex(0xFFD040));
      cairo_fill(cr);
      break;
    case 1:
      for (int i = 0; i < 9; i++) {
        cairo_rectangle(cr, 0, h * i / 9, w, h / 9 + 0.5);
        source(cr, i % 2 ? hex(0xF4F4F4) : hex(0xC02030));
        cairo_fill(cr);
      }
      cairo_rectangle(cr, 0, 0, w * 0.42, h * 5 / 9);
      source(cr, hex(0x203C8C));
      cairo_fill(cr);
      for (int r = 0; r < 4; r++)
        for (int c = 0; c < 5; c++) {
          starPath(cr, w * 0.05 + c * w * 0.08, h * 0.07 + r * h * 0.12, 2.6, 0);
          source(cr, hex(0xFFFFFF));
          cairo_fill(cr);
        }
      break;
    default:
      source(cr, hex(0x141416));
      cairo_paint(cr);
      cairo_rectangle(cr, 0, h * 0.36, w, h * 0.28);
      source(cr, hex(0x7A0C0C));
      cairo_fill(cr);
      gearPath(cr, w / 2, h / 2, h * 0.3, 10, 0.78);
      source(cr, hex(0x8A8E96));
      cairo_fill(cr);
      cairo_arc(cr, w / 2, h / 2, h * 0.11, 0, 2 * kPi);
      source(cr, hex(0x141416));
      cairo_fill(cr);
      break;
  }
}

bool writeVideo(const std::string& dir) {
  constexpr int flagW = 120, flagH = 76, poleX = 40, flagTop = 30;
  // The three cloths, flat, as straight RGB.
  std::vector<std::vector<uint8_t>> cloth;
  for (int r = 0; r < 3; r++) {
    Canvas c(flagW, flagH, kUnhinted);
    drawFlag(c.cr, r, flagW, flagH);
    cloth.push_back(c.rgba());
  }
  // The frame around the picture: night sky, a brass bezel with rivets.
  Canvas back(kVidW, kVidH, kUnhinted);
  {
    cairo_t* cr = back.cr;
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, kVidH);
    cairo_pattern_add_color_stop_rgb(sky, 0, 0.05, 0.07, 0.16);
    cairo_pattern_add_color_stop_rgb(sky, 1, 0.20, 0.14, 0.20);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);
    for (int i = 0; i < 14; i++) {  // a few fixed stars
      cairo_arc(cr, 18 + (i * 53) % 160, 14 + (i * 37) % 100, 0.9, 0, 2 * kPi);
      source(cr, hex(0xE0E0FF), 0.8);
      cairo_fill(cr);
    }
    // Kremlin-like roofline in silhouette along the bottom.
    source(cr, hex(0x0C0A10));
    cairo_move_to(cr, 0, kVidH);
    const double roof[][2] = {{0, 122}, {20, 122}, {24, 108}, {30, 100}, {36, 108}, {40, 122}, {70, 122},
                             {70, 112}, {96, 112}, {104, 90}, {112, 112}, {140, 112}, {140, 118},
                             {158, 118}, {164, 98}, {170, 118}, {192, 118}};
    for (const auto& p : roof) cairo_line_to(cr, p[0], p[1]);
    cairo_line_to(cr, kVidW, kVidH);
    cairo_close_path(cr);
    cairo_fill(cr);
    // The pole.
    cairo_rectangle(cr, poleX - 4, flagTop - 10, 4, kVidH - flagTop);
    source(cr, hex(0xB8B0A0));
    cairo_fill(cr);
    cairo_arc(cr, poleX - 2, flagTop - 12, 4, 0, 2 * kPi);
    source(cr, hex(0xE8C050));
    cairo_fill(cr);
    // Bezel.
    cairo_rectangle(cr, 3, 3, kVidW - 6, kVidH - 6);
    cairo_set_line_width(cr, 6);
    source(cr, hex(0xB08830));
    cairo_stroke(cr);
    cairo_rectangle(cr, 6.5, 6.5, kVidW - 13, kVidH - 13);
    cairo_set_line_width(cr, 1);
    source(cr, hex(0x4A3410));
    cairo_stroke(cr);
    for (double rx : {5.0, kVidW - 5.0})
      for (double ry : {5.0, kVidH - 5.0}) {
        cairo_arc(cr, rx, ry, 2.2, 0, 2 * kPi);
        source(cr, hex(0xF8E8A0));
        cairo_fill(cr);
      }
  }
  const std::vector<uint8_t> bg = back.rgba();
  const std::vector<uint16_t> palette = videoPalette();
  std::vector<std::vector<uint8_t>> frames;
  const int perFlag = kVidFrames / 3, blend = 4;
  for (int t = 0; t < kVidFrames; t++) {
    std::vector<uint8_t> px(static_cast<size_t>(kVidW) * kVidH);
    const int regime = t / perFlag, next = (regime + 1) % 3;
    // The last frames of each flag run into the next one.
    const int into = t % perFlag - (perFlag - blend);
    const double k = into >= 0 ? (into + 1.0) / (blend + 1) : 0;
    const double phase = 2 * kPi * t / 16.0;  // three full waves per loop
    for (int y = 0; y < kVidH; y++) {
      for (int x = 0; x < kVidW; x++) {
        const uint8_t* b = &bg[(static_cast<size_t>(y) * kVidW + x) * 4];
        double r = b[0], g = b[1], bl = b[2];
        const int u = x - poleX;
        if (u >= 0 && u < flagW && x < kVidW - 8) {
          const double along = static_cast<double>(u) / flagW;
          const double wave = std::sin(u * 2 * kPi / 70 - phase);
          const double dy = 6 * along * wave;
          const int v = static_cast<int>(std::floor(y - flagTop - dy));
          if (v >= 0 && v < flagH) {
            const double shade = 0.82 + 0.22 * std::cos(u * 2 * kPi / 70 - phase) * (0.3 + along);
            const uint8_t* a = &cloth[regime][(static_cast<size_t>(v) * flagW + u) * 4];
            const uint8_t* z = &cloth[next][(static_cast<size_t>(v) * flagW + u) * 4];
            r = (a[0] + (z[0] - a[0]) * k) * shade;
            g = (a[1] + (z[1] - a[1]) * k) * shade;
            bl = (a[2] + (z[2] - a[2]) * k) * shade;
          }
        }
        px[static_cast<size_t>(y) * kVidW + x] = quantise(static_cast<int>(r), static_cast<int>(g),
                                                          static_cast<int>(bl), x, y);
      }
    }
    frames.push_back(std::move(px));
  }
  std::vector<VidFrameIn> in;
  for (size_t i = 0; i < frames.size(); i++) in.push_back({frames[i].data(), i == 0 ? palette.data() : nullptr});
  const std::string path = dir + "/menu-loop.vid";
  if (vidWrite(path.c_str(), kVidW, kVidH, VID_MODEL_ZLIB, 1, in) == 0) return true;
  std::fprintf(stderr, "pbmenu: can't write '%s'\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("Usage: pbmenu GAMEDIR\n"
              "Draws the menu's buttons, labels, logo and looping video into GAMEDIR/data/menu.");
    return 0;
  }
  if (argc != 2) {
    std::fputs("usage: pbmenu GAMEDIR (see --help)\n", stderr);
    return 1;
  }
  const std::string data = std::string(argv[1]) + "/data";
  const std::string dir = data + "/menu";
  mkdir(argv[1], 0777);
  mkdir(data.c_str(), 0777);
  mkdir(dir.c_str(), 0777);
  if (!gFaces.load()) {
    std::fprintf(stderr, "pbmenu: can't load the DejaVu faces from %s\n", kFontDir);
    return 1;
  }
  struct Button {
    const char* name;
    const ButtonStyle* style;
    const char* label;
  };
  const Button buttons[] = {
      {"ma_btn_start", &kCrimson, "НОВАЯ ИГРА"},   {"ma_btn_top", &kCrimson, "ЧЕМПИОНЫ"},
      {"ma_btn_cred", &kCrimson, "АВТОРЫ"},        {"ma_btn_quit", &kCrimson, "ВЫХОД"},
      {"cr_btn_back", &kCrimson, "НАЗАД"},         {"ch_btn_back", &kCrimson, "НАЗАД"},
      {"kb_btn_back", &kCrimson, "НАЗАД"},         {"re_btn_comm", &kComm, "КОММУНИЗМ"},
      {"re_btn_demo", &kDemo, "ДЕМОКРАТИЯ"},       {"re_btn_dict", &kDict, "ДИКТАТУРА"},
  };
  bool ok = true;
  for (const Button& b : buttons) ok &= writeButton(dir, b.name, *b.style, b.label);
  ok &= writeLabel(dir, "kb_lbl_lflip", "Z", "ЛЕВЫЙ ФЛИППЕР");
  ok &= writeLabel(dir, "kb_lbl_rflip", "/", "ПРАВЫЙ ФЛИППЕР");
  ok &= writeLabel(dir, "kb_lbl_giveball", "CTRL", "ПОДАЧА МЯЧА");
  ok &= writeLogoBack(dir);
  ok &= writeLogo(dir);
  ok &= writeVideo(dir);
  if (!ok) return 1;
  std::printf("pbmenu: 10 buttons, 3 labels, the logo and the menu video written to %s\n", dir.c_str());
  return 0;
}
