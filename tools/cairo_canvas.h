#pragma once
// A cairo drawing surface for the data generators whose pixels end up as
// sprite frames or video pictures: an ARGB32 image surface with its context,
// freed with the canvas, and its pixels as straight (not premultiplied) RGBA
// rows, top-down, the form the sprite and video writers take.
#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace cairo_canvas {

// Lettering without hinting and with grey antialiasing: glyph shapes and
// advances stay as the face draws them at any size and subpixel place, so
// captions centre exactly and look the same wherever they are set.
inline void unhintedText(cairo_t* cr) {
  cairo_font_options_t* o = cairo_font_options_create();
  cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, o);
  cairo_font_options_destroy(o);
}

// The pixels of an ARGB32 surface as straight RGBA, rows top-down. Pixels
// less opaque than minAlpha come out fully transparent (all zero): a
// generator may drop faint antialiasing fringes that would only cost runs in
// a sprite.
inline std::vector<uint8_t> straightRgba(cairo_surface_t* surface, uint32_t minAlpha = 1) {
  cairo_surface_flush(surface);
  const int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
  const uint8_t* p = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      uint32_t v;
      std::memcpy(&v, p + static_cast<size_t>(y) * stride + x * 4, 4);
      const uint32_t a = v >> 24;
      if (a == 0 || a < minAlpha) continue;
      uint8_t* o = &out[(static_cast<size_t>(y) * w + x) * 4];
      o[0] = static_cast<uint8_t>(std::min<uint32_t>(255, ((v >> 16) & 255) * 255 / a));
      o[1] = static_cast<uint8_t>(std::min<uint32_t>(255, ((v >> 8) & 255) * 255 / a));
      o[2] = static_cast<uint8_t>(std::min<uint32_t>(255, (v & 255) * 255 / a));
      o[3] = static_cast<uint8_t>(a);
    }
  }
  return out;
}

// How a canvas letters text and which pixels it keeps (see unhintedText and
// straightRgba).
struct Options {
  bool unhinted = false;
  uint32_t minAlpha = 1;
};

struct Canvas {
  int w, h;
  cairo_surface_t* surface;
  cairo_t* cr;
  uint32_t minAlpha;
  Canvas(int width, int height, Options options = {})
      : w(width), h(height), surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
        cr(cairo_create(surface)), minAlpha(options.minAlpha) {
    if (options.unhinted) unhintedText(cr);
  }
  ~Canvas() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  std::vector<uint8_t> rgba() const { return straightRgba(surface, minAlpha); }
};

}  // namespace cairo_canvas
