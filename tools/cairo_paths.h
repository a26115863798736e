#pragma once
// Closed outline paths the data generators' artwork is built from: a
// five-pointed star and a toothed gear. Each adds a new closed sub-path to
// the current path; the caller fills or strokes it.
#include <cairo.h>

#include <cmath>

namespace cairo_paths {

constexpr double kPi = 3.14159265358979323846;

// A five-pointed star centred on (x, y), one point upwards before it is
// turned by turn radians; the notches lie at inner times the radius.
inline void starPath(cairo_t* cr, double x, double y, double r, double turn = 0, double inner = 0.4) {
  for (int i = 0; i < 10; i++) {
    const double rr = i % 2 ? r * inner : r;
    const double a = turn + (-90 + 36.0 * i) * kPi / 180;
    if (i == 0)
      cairo_move_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
    else
      cairo_line_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
  }
  cairo_close_path(cr);
}

// A gear of the given number of square teeth around (x, y): tips at radius
// r, roots at inner times r, turned by turn radians.
inline void gearPath(cairo_t* cr, double x, double y, double r, int teeth, double inner, double turn = 0) {
  for (int i = 0; i < teeth * 4; i++) {
    const double a = turn + (i + 0.5) * 2 * kPi / (teeth * 4);
    const double rr = (i / 2) % 2 ? r * inner : r;
    if (i == 0)
      cairo_move_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
    else
      cairo_line_to(cr, x + rr * std::cos(a), y + rr * std::sin(a));
  }
  cairo_close_path(cr);
}

}  // namespace cairo_paths
