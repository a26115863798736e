#include "boxing/draw.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstring>

namespace boxing {

namespace {
constexpr const char* kBoldFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
FT_Library gLib = nullptr;
FT_Face gFace = nullptr;
cairo_font_face_t* gBold = nullptr;
}  // namespace

void rgb(cairo_t* cr, uint32_t c, double a) {
  cairo_set_source_rgba(cr, ((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0, (c & 255) / 255.0, a);
}

void stop(cairo_pattern_t* p, double at, uint32_t c, double a) {
  cairo_pattern_add_color_stop_rgba(p, at, ((c >> 16) & 255) / 255.0, ((c >> 8) & 255) / 255.0, (c & 255) / 255.0,
                                    a);
}

uint32_t shade(uint32_t c, double k) {
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const double v = (c >> shift) & 255;
    const double r = k <= 1 ? v * k : v + (255 - v) * (k - 1);
    out |= static_cast<uint32_t>(std::clamp(r, 0.0, 255.0) + 0.5) << shift;
  }
  return out;
}

void fillVertical(cairo_t* cr, double y0, double y1, uint32_t top, uint32_t mid, uint32_t bottom) {
  cairo_pattern_t* g = cairo_pattern_create_linear(0, y0, 0, y1);
  stop(g, 0, top);
  stop(g, 0.5, mid);
  stop(g, 1, bottom);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
}

bool loadFaces() {
  if (FT_Init_FreeType(&gLib)) return false;
  if (FT_New_Face(gLib, kBoldFont, 0, &gFace)) return false;
  gBold = cairo_ft_font_face_create_for_ft_face(gFace, 0);
  return true;
}

void freeFaces() {
  if (gBold) cairo_font_face_destroy(gBold);
  if (gFace) FT_Done_Face(gFace);
  if (gLib) FT_Done_FreeType(gLib);
  gBold = nullptr;
  gFace = nullptr;
  gLib = nullptr;
}

void caption(cairo_t* cr, const char* utf8, double size, double cx, double cy, uint32_t fill, uint32_t outline,
             double outlineW) {
  cairo_save(cr);
  cairo_set_font_face(cr, gBold);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t e;
  cairo_text_extents(cr, utf8, &e);
  cairo_move_to(cr, cx - e.width / 2 - e.x_bearing, cy - e.height / 2 - e.y_bearing);
  cairo_text_path(cr, utf8);
  if (outlineW > 0) {
    rgb(cr, outline);
    cairo_set_line_width(cr, outlineW);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
  }
  rgb(cr, fill);
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace boxing
