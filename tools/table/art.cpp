// The playfield artwork of each regime.
#include "table/art.h"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "anim/lights.h"
#include "table/lampshape.h"

namespace tbl {

const char* const kFontDir = "/usr/share/fonts/truetype/dejavu";

namespace {

struct Fonts {
  FT_Library lib = nullptr;
  FT_Face regular = nullptr, bold = nullptr;
  cairo_font_face_t* cRegular = nullptr;
  cairo_font_face_t* cBold = nullptr;
  ~Fonts() {
    if (cRegular) cairo_font_face_destroy(cRegular);
    if (cBold) cairo_font_face_destroy(cBold);
    if (regular) FT_Done_Face(regular);
    if (bold) FT_Done_Face(bold);
    if (lib) FT_Done_FreeType(lib);
  }
  bool load() {
    if (FT_Init_FreeType(&lib)) return false;
    const std::string r = std::string(kFontDir) + "/DejaVuSans.ttf";
    const std::string b = std::string(kFontDir) + "/DejaVuSansCondensed-Bold.ttf";
    if (FT_New_Face(lib, r.c_str(), 0, &regular) || FT_New_Face(lib, b.c_str(), 0, &bold)) {
      std::fprintf(stderr, "pbtable: can't load the DejaVu fonts from %s\n", kFontDir);
      return false;
    }
    cRegular = cairo_ft_font_face_create_for_ft_face(regular, 0);
    cBold = cairo_ft_font_face_create_for_ft_face(bold, 0);
    return true;
  }
};

void setColour(cairo_t* cr, Rgb c, double a) { cairo_set_source_rgba(cr, c.r, c.g, c.b, a); }

Rgb mix(Rgb a, Rgb b, double t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }
Rgb scaled(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }

Rgb role(const Model& m, const char* name, int regime) {
  Rgb c{1, 0, 1};
  findRole(m, name, regime, &c);
  return c;
}

void pathPoly(cairo_t* cr, const std::vector<P2>& p) {
  if (p.empty()) return;
  cairo_move_to(cr, p[0].x, p[0].y);
  for (size_t i = 1; i < p.size(); i++) cairo_line_to(cr, p[i].x, p[i].y);
  cairo_close_path(cr);
}

void starPath(cairo_t* cr, double x, double y, double r, double rot) {
  for (int i = 0; i < 10; i++) {
    const double rr = i % 2 ? r * 0.4 : r;
    const double a = (rot - 90 + 36.0 * i) * kDeg;
    if (i == 0)
      cairo_move_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
    else
      cairo_line_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
  }
  cairo_close_path(cr);
}

void text(cairo_t* cr, const Fonts& f, double x, double y, double size, double angle, const std::string& s,
          bool bold, Rgb c, double alpha) {
  cairo_save(cr);
  cairo_set_font_face(cr, bold ? f.cBold : f.cRegular);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, s.c_str(), &e);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, angle * kDeg);
  // Centred on (x, y): a soft dark shadow, then the letters.
  cairo_move_to(cr, -e.width / 2 - e.x_bearing + size * 0.05, -e.height / 2 - e.y_bearing + size * 0.06);
  cairo_text_path(cr, s.c_str());
  cairo_set_source_rgba(cr, 0, 0, 0, 0.45 * alpha);
  cairo_fill(cr);
  cairo_move_to(cr, -e.width / 2 - e.x_bearing, -e.height / 2 - e.y_bearing);
  cairo_text_path(cr, s.c_str());
  setColour(cr, c, alpha);
  cairo_fill(cr);
  cairo_restore(cr);
}

// The regime's background: a gradient and a pattern of its own.
void background(cairo_t* cr, const Model& m, int regime) {
  const Rgb f1 = role(m, "floor", regime), f2 = role(m, "floor2", regime), acc = role(m, "accent", regime);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, TABLE_H);
  cairo_pattern_add_color_stop_rgb(g, 0, f2.r, f2.g, f2.b);
  cairo_pattern_add_color_stop_rgb(g, 1, f1.r, f1.g, f1.b);
  cairo_set_source(cr, g);
  cairo_paint(cr);
  cairo_pattern_destroy(g);
  if (regime == 0) {
    // Rays from the Kremlin star at the head of the table.
    for (int i = 0; i < 36; i++) {
      const double a0 = (i * 10.0) * kDeg, a1 = (i * 10.0 + 4.0) * kDeg;
      cairo_move_to(cr, 400, 40);
      cairo_line_to(cr, 400 + 1200 * std::cos(a0), 40 + 1200 * std::sin(a0));
      cairo_line_to(cr, 400 + 1200 * std::cos(a1), 40 + 1200 * std::sin(a1));
      cairo_close_path(cr);
    }
    setColour(cr, acc, 0.10);
    cairo_fill(cr);
  } else if (regime == 1) {
    // Stripes and a field of small stars.
    for (int i = -10; i < 30; i++) {
      cairo_move_to(cr, i * 48.0, 0);
      cairo_line_to(cr, i * 48.0 + 24, 0);
      cairo_line_to(cr, i * 48.0 + 24 - 300, 600);
      cairo_line_to(cr, i * 48.0 - 300, 600);
      cairo_close_path(cr);
    }
    setColour(cr, acc, 0.07);
    cairo_fill(cr);
    for (int j = 0; j < 12; j++)
      for (int i = 0; i < 16; i++) {
        const double x = 25 + i * 50 + (j % 2) * 25, y = 25 + j * 50;
        starPath(cr, x, y, 4.5, 0);
      }
    setColour(cr, role(m, "text", regime), 0.10);
    cairo_fill(cr);
  } else {
    // Concrete slabs with dark joints.
    for (int j = 0; j <= 12; j++) {
      cairo_move_to(cr, 0, j * 50.0);
      cairo_line_to(cr, TABLE_W, j * 50.0);
    }
    for (int i = 0; i <= 16; i++) {
      cairo_move_to(cr, i * 50.0, 0);
      cairo_line_to(cr, i * 50.0, TABLE_H);
    }
    cairo_set_line_width(cr, 1.2);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_stroke(cr);
    for (int j = 0; j < 12; j++)
      for (int i = 0; i < 16; i++) {
        const double shade = ((i * 7 + j * 13) % 5) * 0.012;
        cairo_rectangle(cr, i * 50.0 + 1, j * 50.0 + 1, 48, 48);
        cairo_set_source_rgba(cr, 1, 1, 1, shade);
        cairo_fill(cr);
      }
  }
  // A darker rim towards the edges.
  cairo_pattern_t* v = cairo_pattern_create_radial(400, 330, 150, 400, 330, 560);
  cairo_pattern_add_color_stop_rgba(v, 0, 0, 0, 0, 0);
  cairo_pattern_add_color_stop_rgba(v, 1, 0, 0, 0, 0.45);
  cairo_set_source(cr, v);
  cairo_paint(cr);
  cairo_pattern_destroy(v);
}

void artItem(cairo_t* cr, const Fonts& f, const Model& m, const ArtItem& it, int regime) {
  const Rgb c = resolve(m, it.paint, regime);
  const std::vector<double>& n = it.nums;
  if (it.kind == "text") {
    text(cr, f, n[0], n[1], n[2], n[3], it.text, it.bold, c, it.alpha);
  } else if (it.kind == "disc") {
    cairo_arc(cr, n[0], n[1], n[2], 0, 2 * M_PI);
    setColour(cr, c, it.alpha);
    cairo_fill(cr);
  } else if (it.kind == "glow") {
    cairo_pattern_t* g = cairo_pattern_create_radial(n[0], n[1], 0, n[0], n[1], n[2]);
    cairo_pattern_add_color_stop_rgba(g, 0, c.r, c.g, c.b, it.alpha);
    cairo_pattern_add_color_stop_rgba(g, 1, c.r, c.g, c.b, 0);
    cairo_set_source(cr, g);
    cairo_arc(cr, n[0], n[1], n[2], 0, 2 * M_PI);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
  } else if (it.kind == "ring") {
    cairo_arc(cr, n[0], n[1], n[2], 0, 2 * M_PI);
    cairo_set_line_width(cr, n[3]);
    setColour(cr, c, it.alpha);
    cairo_stroke(cr);
  } else if (it.kind == "star") {
    starPath(cr, n[0], n[1], n[2], 0);
    setColour(cr, c, it.alpha);
    cairo_fill(cr);
  } else if (it.kind == "sun") {
    // sun X Y R RAYS: rays round a point
    const int rays = std::max(3, static_cast<int>(n[3]));
    for (int i = 0; i < rays; i++) {
      const double a0 = 2 * M_PI * i / rays, a1 = a0 + M_PI / rays;
      cairo_move_to(cr, n[0], n[1]);
      cairo_line_to(cr, n[0] + n[2] * std::cos(a0), n[1] + n[2] * std::sin(a0));
      cairo_line_to(cr, n[0] + n[2] * std::cos(a1), n[1] + n[2] * std::sin(a1));
      cairo_close_path(cr);
    }
    setColour(cr, c, it.alpha);
    cairo_fill(cr);
  } else if (it.kind == "rect") {
    cairo_rectangle(cr, n[0], n[1], n[2] - n[0], n[3] - n[1]);
    setColour(cr, c, it.alpha);
    cairo_fill(cr);
  } else if (it.kind == "stripes") {
    // stripes X0 Y0 X1 Y1 W: diagonal hazard stripes in a rectangle
    cairo_save(cr);
    cairo_rectangle(cr, n[0], n[1], n[2] - n[0], n[3] - n[1]);
    cairo_clip(cr);
    for (double x = n[0] - (n[3] - n[1]); x < n[2]; x += n[4] * 2) {
      cairo_move_to(cr, x, n[3]);
      cairo_line_to(cr, x + n[4], n[3]);
      cairo_line_to(cr, x + n[4] + (n[3] - n[1]), n[1]);
      cairo_line_to(cr, x + (n[3] - n[1]), n[1]);
      cairo_close_path(cr);
    }
    setColour(cr, c, it.alpha);
    cairo_fill(cr);
    cairo_restore(cr);
  } else if (it.kind == "poly") {
    pathPoly(cr, it.points);
    setColour(cr, c, it.alpha);
    cairo_fill(cr);
  } else if (it.kind == "line") {
    for (size_t i = 0; i < it.points.size(); i++) {
      if (i == 0)
        cairo_move_to(cr, it.points[i].x, it.points[i].y);
      else
        cairo_line_to(cr, it.points[i].x, it.points[i].y);
    }
    cairo_set_line_width(cr, n[0]);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    setColour(cr, c, it.alpha);
    cairo_stroke(cr);
  }
}

// Marks printed under the sensors: rollover lane marks, mission point
// rings, the prison pit's bars, the lock's hole.
void objectMarks(cairo_t* cr, const Model& m, int regime) {
  const Rgb acc = role(m, "accent", regime), txt = role(m, "text", regime), dark = role(m, "dark", regime);
  for (const Object& o : m.objects) {
    double x0, y0, x1, y1;
    bounds(o.outline, &x0, &y0, &x1, &y1);
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    if (o.family == "tunnel" || o.family == "dumagate" || o.family == "kremgate") {
      // A rollover wire: a slim oval across the lane's middle.
      cairo_save(cr);
      cairo_translate(cr, cx, cy);
      cairo_scale(cr, 1.0, 2.2);
      cairo_arc(cr, 0, 0, 3.2, 0, 2 * M_PI);
      cairo_restore(cr);
      setColour(cr, txt, 0.55);
      cairo_set_line_width(cr, 1.0);
      cairo_stroke(cr);
    } else if (o.family == "mpoint") {
      const double r = std::max(6.0, (x1 - x0) / 2);
      for (int k = 0; k < 3; k++) {
        cairo_arc(cr, cx, cy, r * (1 - k * 0.3), 0, 2 * M_PI);
        setColour(cr, k % 2 ? dark : acc, 0.75);
        cairo_fill(cr);
      }
      starPath(cr, cx, cy, r * 0.35, 0);
      setColour(cr, txt, 0.9);
      cairo_fill(cr);
    } else if (o.family == "zona") {
      const double r = (x1 - x0) / 2;
      cairo_save(cr);
      cairo_arc(cr, cx, cy, r + 4, 0, 2 * M_PI);
      setColour(cr, dark, 0.9);
      cairo_fill_preserve(cr);
      cairo_clip(cr);
      for (double x = cx - r - 4; x <= cx + r + 4; x += 5) {
        cairo_move_to(cr, x, cy - r - 4);
        cairo_line_to(cr, x, cy + r + 4);
      }
      cairo_set_line_width(cr, 1.2);
      cairo_set_source_rgba(cr, 0.65, 0.65, 0.62, 0.8);
      cairo_stroke(cr);
      cairo_restore(cr);
      cairo_arc(cr, cx, cy, r + 5, 0, 2 * M_PI);
      cairo_set_line_width(cr, 2);
      setColour(cr, acc, 0.9);
      cairo_stroke(cr);
    } else if (o.family == "dropper" || o.family == "accel" || o.family == "accel2") {
      // invisible
    }
  }
}

void lampInserts(cairo_t* cr, const Fonts& f, const Model& m, int regime) {
  for (const Lamp& l : m.lamps) {
    if (l.id < 0 || l.id == LI_CRANE_SPRING || l.id == LI_CRANE_T20 || l.id == LI_CRANE_T22) continue;
    if (l.id >= LI_DUMA_BUMPER0 && l.id <= LI_KREM_BUMPER2) continue;  // the bumper itself lights
    const Rgb c = resolve(m, l.colour[regime], regime);
    const std::vector<P2> shape = lampShape(l);
    pathPoly(cr, shape);
    setColour(cr, scaled(c, 0.30), 1.0);
    cairo_fill_preserve(cr);
    cairo_set_line_width(cr, 0.9);
    cairo_set_source_rgba(cr, 0.92, 0.9, 0.82, 0.55);
    cairo_stroke(cr);
    // A faint pale centre reads as frosted plastic.
    cairo_save(cr);
    pathPoly(cr, shape);
    cairo_clip(cr);
    cairo_pattern_t* g = cairo_pattern_create_radial(l.at.x - 1, l.at.y - 1, 0, l.at.x, l.at.y, std::max(l.a, l.b));
    cairo_pattern_add_color_stop_rgba(g, 0, 1, 1, 1, 0.22);
    cairo_pattern_add_color_stop_rgba(g, 1, 1, 1, 1, 0);
    cairo_set_source(cr, g);
    cairo_paint(cr);
    cairo_pattern_destroy(g);
    cairo_restore(cr);
    if (!l.label.empty()) {
      const double s = std::max(5.0, std::min(l.a, l.b) * 0.9);
      text(cr, f, l.at.x, l.at.y, s, l.shape == "rect" || l.shape == "oval" ? l.angle : 0, l.label, true,
           mix(c, {1, 1, 1}, 0.5), 0.85);
    }
  }
}

void yearWindow(cairo_t* cr, const Fonts& f, const Model& m, int regime) {
  if (!m.year.present) return;
  const YearDisplay& y = m.year;
  const double w = y.digitW * 4 + 18, h = y.digitH + 10;
  cairo_rectangle(cr, y.at.x - w / 2, y.at.y - h / 2, w, h);
  cairo_set_source_rgb(cr, 0.05, 0.04, 0.03);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 2);
  setColour(cr, role(m, "gold", regime), 1);
  cairo_stroke(cr);
  for (int d = 0; d < 4; d++) {
    for (const std::vector<P2>& seg : digitSegments(8, yearDigitCentre(m, d), y.digitW, y.digitH)) {
      pathPoly(cr, seg);
      cairo_set_source_rgba(cr, 0.5, 0.25, 0.05, 0.25);
      cairo_fill(cr);
    }
  }
  text(cr, f, y.at.x, y.at.y - h / 2 - 7, 8, 0, "ГОД", true, role(m, "text", regime), 0.9);
}

}  // namespace

bool drawFloorArt(const Model& m, int regime, double scale, Texture* out) {
  Fonts fonts;
  if (!fonts.load()) return false;
  const int W = static_cast<int>(TABLE_W * scale), H = static_cast<int>(TABLE_H * scale);
  cairo_surface_t* surf = cairo_image_surface_create(CAIRO_FORMAT_RGB24, W, H);
  cairo_t* cr = cairo_create(surf);
  cairo_font_options_t* fo = cairo_font_options_create();
  cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, fo);
  cairo_font_options_destroy(fo);
  cairo_scale(cr, scale, scale);
  background(cr, m, regime);
  for (const ArtItem& it : m.art)
    if (it.regimeMask & (1 << regime)) artItem(cr, fonts, m, it, regime);
  objectMarks(cr, m, regime);
  lampInserts(cr, fonts, m, regime);
  yearWindow(cr, fonts, m, regime);
  cairo_surface_flush(surf);
  out->width = W;
  out->height = H;
  out->scale = scale;
  out->rgb.assign(static_cast<size_t>(W) * H * 3, 0.0f);
  const unsigned char* data = cairo_image_surface_get_data(surf);
  const int stride = cairo_image_surface_get_stride(surf);
  for (int y = 0; y < H; y++) {
    const uint32_t* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
    for (int x = 0; x < W; x++) {
      const uint32_t p = row[x];
      float* o = &out->rgb[(static_cast<size_t>(y) * W + x) * 3];
      o[0] = ((p >> 16) & 255) / 255.0f;
      o[1] = ((p >> 8) & 255) / 255.0f;
      o[2] = (p & 255) / 255.0f;
    }
  }
  cairo_destroy(cr);
  cairo_surface_destroy(surf);
  return true;
}

}  // namespace tbl
