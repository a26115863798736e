// pbicon OUTDIR: draws the game's icon with cairo: a silver ball in front of
// a red star on a dark blue disc with a gold rim, as OUTDIR/qel-N.png for
// the usual sizes (16 to 256 pixels square) and OUTDIR/qel.svg (the same
// drawing as vector paths), for the desktop's menus and launchers.
#include <cairo-svg.h>
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};

void rgb(cairo_t* cr, double r, double g, double b, double a = 1) { cairo_set_source_rgba(cr, r, g, b, a); }

// The drawing on a 256-unit square.
void draw(cairo_t* cr) {
  // The disc with its rim.
  cairo_arc(cr, 128, 128, 122, 0, 2 * kPi);
  cairo_pattern_t* rim = cairo_pattern_create_linear(0, 0, 256, 256);
  cairo_pattern_add_color_stop_rgb(rim, 0, 1.0, 0.86, 0.42);
  cairo_pattern_add_color_stop_rgb(rim, 1, 0.62, 0.42, 0.08);
  cairo_set_source(cr, rim);
  cairo_fill(cr);
  cairo_pattern_destroy(rim);
  cairo_arc(cr, 128, 128, 108, 0, 2 * kPi);
  cairo_pattern_t* disc = cairo_pattern_create_radial(110, 100, 10, 128, 128, 108);
  cairo_pattern_add_color_stop_rgb(disc, 0, 0.16, 0.22, 0.48);
  cairo_pattern_add_color_stop_rgb(disc, 1, 0.04, 0.06, 0.18);
  cairo_set_source(cr, disc);
  cairo_fill(cr);
  cairo_pattern_destroy(disc);
  // The star, behind the ball.
  for (int i = 0; i < 10; i++) {
    const double a = -kPi / 2 + i * kPi / 5, r = i % 2 ? 38 : 96;
    const double x = 128 + r * std::cos(a), y = 124 + r * std::sin(a);
    if (i == 0)
      cairo_move_to(cr, x, y);
    else
      cairo_line_to(cr, x, y);
  }
  cairo_close_path(cr);
  rgb(cr, 0.86, 0.10, 0.12);
  cairo_fill_preserve(cr);
  rgb(cr, 1.0, 0.84, 0.30);
  cairo_set_line_width(cr, 5);
  cairo_stroke(cr);
  // The ball, lower right, with its shadow and highlight.
  cairo_arc(cr, 160, 172, 46, 0, 2 * kPi);
  rgb(cr, 0, 0, 0, 0.35);
  cairo_fill(cr);
  cairo_arc(cr, 154, 164, 46, 0, 2 * kPi);
  cairo_pattern_t* ball = cairo_pattern_create_radial(138, 146, 4, 154, 164, 46);
  cairo_pattern_add_color_stop_rgb(ball, 0, 1.0, 1.0, 1.0);
  cairo_pattern_add_color_stop_rgb(ball, 0.35, 0.80, 0.82, 0.86);
  cairo_pattern_add_color_stop_rgb(ball, 1, 0.30, 0.32, 0.38);
  cairo_set_source(cr, ball);
  cairo_fill(cr);
  cairo_pattern_destroy(ball);
}

bool png(const std::string& dir, int size) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
  cairo_t* cr = cairo_create(s);
  cairo_scale(cr, size / 256.0, size / 256.0);
  draw(cr);
  cairo_destroy(cr);
  const std::string path = dir + "/qel-" + std::to_string(size) + ".png";
  const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  if (!ok) std::fprintf(stderr, "pbicon: can't write '%s'\n", path.c_str());
  return ok;
}

bool svg(const std::string& dir) {
  const std::string path = dir + "/qel.svg";
  cairo_surface_t* s = cairo_svg_surface_create(path.c_str(), 256, 256);
  cairo_t* cr = cairo_create(s);
  draw(cr);
  cairo_destroy(cr);
  cairo_surface_finish(s);
  const bool ok = cairo_surface_status(s) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  if (!ok) std::fprintf(stderr, "pbicon: can't write '%s'\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || std::string(argv[1]) == "--help") {
    std::fputs("Usage: pbicon OUTDIR\nDraws the game's icon as OUTDIR/qel-N.png (N = 16 .. 256) and OUTDIR/qel.svg.\n",
               argc == 2 ? stdout : stderr);
    return argc == 2 ? 0 : 1;
  }
  bool ok = svg(argv[1]);
  for (int size : kSizes) ok = png(argv[1], size) && ok;
  return ok ? 0 : 1;
}
