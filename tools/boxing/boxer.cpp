// The jointed cartoon boxer. A pose places the hips, the feet, the gloves
// and the lean of the body; knees and elbows follow from the limb lengths,
// so every animation is a short table of poses. The figure faces left and
// stands on the origin (the middle between the feet, on the floor).
#include "boxing/boxer.h"

#include <algorithm>
#include <cmath>

#include "boxing/draw.h"

namespace boxing {

namespace {

constexpr uint32_t kInk = 0x24160F;  // outlines

// drol: the party's heavyweight in red with a star on his head guard;
// vesk: the lanky reformer in a white vest, a tie and tricolour trunks;
// tarok: the stocky strongman in black with medals, a peaked cap and
// dark glasses, iron gloves.
const Person kPersonTable[kPersons] = {
    {"drol", 0xEEB48E, 0x5A3A22, 0xC8201C, 0xF2C040, 0xB01A18, 0xF2C040, 0xD42A20, 0x2A2420, 1.0, 1.0, 1.12, 4,
     Head::Guard, Chest::Star},
    {"vesk", 0xF4C6A0, 0xF0CC48, 0xF4F4F0, 0x2850B8, 0x2850B8, 0xD83028, 0x2E5CD0, 0xF0F0EC, 1.07, 1.08, 0.92, 0,
     Head::Quiff, Chest::Tie},
    {"tarok", 0xD49C74, 0x1E1A18, 0x2A2A2C, 0x7A1010, 0x1C1C1E, 0x8A1414, 0x8E969E, 0x141414, 0.96, 0.96, 1.28, 9,
     Head::Cap, Chest::Medals},
};

struct Pt {
  double x, y;
};
Pt operator+(Pt a, Pt b) { return {a.x + b.x, a.y + b.y}; }
Pt operator-(Pt a, Pt b) { return {a.x - b.x, a.y - b.y}; }
Pt operator*(Pt a, double k) { return {a.x * k, a.y * k}; }
double len(Pt a) { return std::hypot(a.x, a.y); }

enum class Face { Fight, Hurt, Out };

struct Pose {
  Pt hip{0, -88};               // the hip joint
  double lean = 0.12;           // torso from upright, + towards the opponent
  Pt front{-27, 0}, back{27, 0};  // the feet (y 0 on the floor)
  Pt lead{-38, -18};            // lead glove from the lead shoulder
  Pt rear{-24, -22};            // rear glove from the rear shoulder
  double headTilt = 0;          // + backwards
  double rot = 0;               // whole body turned about the feet, + falling backwards
  Pt shift{0, 0};               // whole body moved after turning
  Face face = Face::Fight;
  int stars = 0;                // stars circling the head: 0 none, else a phase 1..
  bool bigStars = false;
  bool speedLead = false, speedRear = false;  // motion lines behind a glove
  bool rearInFront = false;     // the rear arm swings round in front of the body
};

// The knee or elbow of a two-part limb from root towards target, bent to
// the side bend (+1 or -1); the end point is pulled in when out of reach.
void joint(Pt root, Pt target, double a, double b, int bend, Pt* mid, Pt* end) {
  Pt d = target - root;
  double dist = len(d);
  const double lo = std::fabs(a - b) + 0.5, hi = a + b - 0.5;
  const double dd = std::clamp(dist, lo, hi);
  if (dist < 1e-6) d = {0, 1}, dist = 1;
  const Pt dir = d * (1 / dist);
  *end = root + dir * dd;
  const double ang = std::atan2(dir.y, dir.x);
  const double c = std::clamp((a * a + dd * dd - b * b) / (2 * a * dd), -1.0, 1.0);
  const double t = ang + bend * std::acos(c);
  *mid = root + Pt{std::cos(t), std::sin(t)} * a;
}

void polyPath(cairo_t* cr, std::initializer_list<Pt> pts, Pt off = {0, 0}) {
  bool first = true;
  for (Pt p : pts) {
    if (first)
      cairo_move_to(cr, p.x + off.x, p.y + off.y);
    else
      cairo_line_to(cr, p.x + off.x, p.y + off.y);
    first = false;
  }
}

// Strokes the current path w wide in col over a line of ink 3 wider, and
// clears the path.
void strokeInked(cairo_t* cr, double w, uint32_t col) {
  rgb(cr, kInk);
  cairo_set_line_width(cr, w + 3);
  cairo_stroke_preserve(cr);
  rgb(cr, col);
  cairo_set_line_width(cr, w);
  cairo_stroke(cr);
}

// A limb as a round-ended stroke with an outline and a highlight on its
// upper left side.
void limb(cairo_t* cr, Pt a, Pt b, Pt c, double w, uint32_t col) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  polyPath(cr, {a, b, c});
  strokeInked(cr, w, col);
  polyPath(cr, {a, b, c}, {-w * 0.18, -w * 0.22});
  rgb(cr, shade(col, 1.35), 0.5);
  cairo_set_line_width(cr, w * 0.3);
  cairo_stroke(cr);
}

void segment(cairo_t* cr, Pt a, Pt b, double w, uint32_t col) {
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_move_to(cr, a.x, a.y);
  cairo_line_to(cr, b.x, b.y);
  strokeInked(cr, w, col);
}

// A glove at g with its cuff towards the elbow e.
void glove(cairo_t* cr, Pt g, Pt e, uint32_t col, bool iron) {
  const double ang = std::atan2(g.y - e.y, g.x - e.x);
  cairo_save(cr);
  cairo_translate(cr, g.x, g.y);
  cairo_rotate(cr, ang);
  // Cuff.
  cairo_rectangle(cr, -19, -8.5, 10, 17);
  rgb(cr, kInk);
  cairo_set_line_width(cr, 3);
  cairo_stroke_preserve(cr);
  rgb(cr, 0xF2EEE6);
  cairo_fill(cr);
  cairo_move_to(cr, -14, -8);
  cairo_line_to(cr, -14, 8);
  rgb(cr, shade(col, 0.7));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  // Fist and thumb.
  cairo_save(cr);
  cairo_scale(cr, 1.12, 1);
  cairo_arc(cr, 0, 0, 13.5, 0, 2 * kPi);
  cairo_restore(cr);
  cairo_new_sub_path(cr);
  cairo_arc(cr, -6, 9, 6.5, 0, 2 * kPi);
  rgb(cr, kInk);
  cairo_set_line_width(cr, 3);
  cairo_stroke_preserve(cr);
  cairo_pattern_t* p = cairo_pattern_create_radial(-3, -6, 1, 0, 0, 16);
  stop(p, 0, iron ? 0xFFFFFF : shade(col, 1.6));
  stop(p, 0.45, col);
  stop(p, 1, shade(col, 0.55));
  cairo_set_source(cr, p);
  cairo_fill(cr);
  cairo_pattern_destroy(p);
  if (iron) {  // rivets on the iron fist
    for (double y : {-7.0, 0.0, 7.0}) {
      cairo_arc(cr, 8, y, 1.6, 0, 2 * kPi);
      rgb(cr, 0x3A4046);
      cairo_fill(cr);
    }
  }
  cairo_restore(cr);
}

void boot(cairo_t* cr, Pt f, uint32_t col, bool tall) {
  cairo_save(cr);
  cairo_translate(cr, f.x, f.y);
  cairo_move_to(cr, 9, -tall * 10 - 12);
  cairo_line_to(cr, 9, -3);
  cairo_curve_to(cr, 9, 0, 6, 0, 2, 0);
  cairo_line_to(cr, -16, 0);
  cairo_curve_to(cr, -22, 0, -22, -9, -14, -10);
  cairo_line_to(cr, -6, -12 - tall * 10);
  cairo_close_path(cr);
  rgb(cr, kInk);
  cairo_set_line_width(cr, 3);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke_preserve(cr);
  fillVertical(cr, -14 - tall * 10, 0, shade(col, 1.5), col, shade(col, 0.7));
  cairo_rectangle(cr, -19, -2.5, 29, 2.5);  // sole
  rgb(cr, shade(col, 0.45));
  cairo_fill(cr);
  cairo_restore(cr);
}

void eye(cairo_t* cr, Face face, double phase) {
  const Pt e{-11, -5};
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  if (face == Face::Fight) {
    cairo_arc(cr, e.x, e.y, 4.2, 0, 2 * kPi);
    rgb(cr, 0xFFFFFF);
    cairo_fill_preserve(cr);
    rgb(cr, kInk);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    cairo_arc(cr, e.x - 1.8, e.y + 0.3, 2.1, 0, 2 * kPi);
    rgb(cr, kInk);
    cairo_fill(cr);
  } else if (face == Face::Hurt) {  // squeezed shut
    cairo_move_to(cr, e.x - 4, e.y - 3);
    cairo_line_to(cr, e.x + 1, e.y);
    cairo_line_to(cr, e.x - 4, e.y + 3);
    rgb(cr, kInk);
    cairo_set_line_width(cr, 1.8);
    cairo_stroke(cr);
  } else {  // a spiral
    for (int i = 0; i <= 24; i++) {
      const double a = phase + i * 0.5, r = 0.3 + i * 0.19;
      const double x = e.x + r * std::cos(a), y = e.y + r * std::sin(a);
      if (i == 0)
        cairo_move_to(cr, x, y);
      else
        cairo_line_to(cr, x, y);
    }
    rgb(cr, kInk);
    cairo_set_line_width(cr, 1.3);
    cairo_stroke(cr);
  }
}

// The head, centred on the origin and facing left.
void head(cairo_t* cr, const Person& p, Face face, double phase) {
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  // Skull and jaw.
  cairo_arc(cr, 0, 0, 20, 0, 2 * kPi);
  cairo_new_sub_path(cr);
  cairo_save(cr);
  cairo_translate(cr, -6, 7);
  cairo_scale(cr, 1.25, 1);
  cairo_arc(cr, 0, 0, 14, 0, 2 * kPi);
  cairo_restore(cr);
  rgb(cr, kInk);
  cairo_set_line_width(cr, 3);
  cairo_stroke_preserve(cr);
  cairo_pattern_t* g = cairo_pattern_create_radial(-8, -8, 2, 0, 0, 26);
  stop(g, 0, shade(p.skin, 1.25));
  stop(g, 0.6, p.skin);
  stop(g, 1, shade(p.skin, 0.75));
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  // Ear.
  cairo_save(cr);
  cairo_translate(cr, 5, 2);
  cairo_scale(cr, 0.8, 1);
  cairo_arc(cr, 0, 0, 5.5, 0, 2 * kPi);
  cairo_restore(cr);
  rgb(cr, shade(p.skin, 0.8));
  cairo_fill_preserve(cr);
  rgb(cr, kInk);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  // Nose: a red bulb on drol.
  cairo_arc(cr, -22, 0, p.head == Head::Guard ? 6 : 4.5, 0, 2 * kPi);
  rgb(cr, p.head == Head::Guard ? 0xE06050 : shade(p.skin, 0.95));
  cairo_fill_preserve(cr);
  rgb(cr, kInk);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  // Mouth.
  if (face == Face::Fight) {
    cairo_move_to(cr, -19, 12);
    cairo_line_to(cr, -10, 13);
    rgb(cr, kInk);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
  } else {
    cairo_save(cr);
    cairo_translate(cr, -15, 13);
    cairo_scale(cr, 0.8, 1);
    cairo_arc(cr, 0, 0, face == Face::Out ? 4 : 3, 0, 2 * kPi);
    cairo_restore(cr);
    rgb(cr, 0x601818);
    cairo_fill_preserve(cr);
    rgb(cr, kInk);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  }
  // Eye and brow (behind dark glasses on tarok, which slip when hurt).
  if (p.head == Head::Cap) {
    const double slip = face == Face::Fight ? 0 : 4;
    cairo_save(cr);
    cairo_translate(cr, 0, slip);
    cairo_rotate(cr, face == Face::Fight ? 0 : -0.25);
    cairo_move_to(cr, -20, -10);
    cairo_line_to(cr, -4, -10);
    cairo_curve_to(cr, -4, -1, -9, 0, -13, 0);
    cairo_curve_to(cr, -18, 0, -21, -4, -20, -10);
    cairo_close_path(cr);
    rgb(cr, 0x101010);
    cairo_fill(cr);
    cairo_move_to(cr, -16, -8);
    cairo_line_to(cr, -10, -8);
    rgb(cr, 0xFFFFFF, 0.6);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    cairo_move_to(cr, -4, -9);
    cairo_line_to(cr, 6, -7);
    rgb(cr, 0x101010);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    cairo_restore(cr);
    if (face != Face::Fight) {
      cairo_save(cr);
      cairo_translate(cr, 0, -4);
      eye(cr, face, phase);
      cairo_restore(cr);
    }
  } else {
    eye(cr, face, phase);
    cairo_move_to(cr, -17, face == Face::Fight ? -11 : -13);
    cairo_line_to(cr, -6, face == Face::Fight ? -13 : -11);
    rgb(cr, p.hair);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, p.head == Head::Guard ? 4.5 : 3);
    cairo_stroke(cr);
  }
  // Head wear.
  if (p.head == Head::Guard) {
    cairo_move_to(cr, -19, -9);
    cairo_curve_to(cr, -18, -28, 10, -32, 22, -13);
    cairo_curve_to(cr, 28, 0, 23, 15, 12, 19);
    cairo_line_to(cr, 7, 9);
    cairo_curve_to(cr, 4, -2, -8, -5, -19, -9);
    cairo_close_path(cr);
    rgb(cr, kInk);
    cairo_set_line_width(cr, 3);
    cairo_stroke_preserve(cr);
    cairo_pattern_t* r = cairo_pattern_create_radial(-4, -20, 2, 4, -6, 30);
    stop(r, 0, 0xFF6A50);
    stop(r, 0.5, 0xC8201C);
    stop(r, 1, 0x6A0A08);
    cairo_set_source(cr, r);
    cairo_fill(cr);
    cairo_pattern_destroy(r);
    starPath(cr, -5, -17, 6.5, -0.2);
    rgb(cr, 0xFFD040);
    cairo_fill_preserve(cr);
    rgb(cr, 0x7A4A08);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  } else if (p.head == Head::Quiff) {
    cairo_move_to(cr, 21, 5);
    cairo_curve_to(cr, 27, -10, 16, -27, -2, -26);
    cairo_curve_to(cr, -14, -30, -30, -32, -32, -21);
    cairo_curve_to(cr, -26, -18, -21, -16, -16, -13);
    cairo_curve_to(cr, -6, -17, 6, -15, 11, -6);
    cairo_curve_to(cr, 14, -2, 16, 2, 21, 5);
    cairo_close_path(cr);
    rgb(cr, kInk);
    cairo_set_line_width(cr, 2.5);
    cairo_stroke_preserve(cr);
    fillVertical(cr, -32, 6, 0xFFF0A0, p.hair, 0xB08A20);
    for (int i = 0; i < 3; i++) {  // comb lines
      cairo_move_to(cr, 14 - i * 3, -4 - i * 6);
      cairo_curve_to(cr, 8 - i * 4, -18 - i * 2, -8, -24 - i, -26, -24 + i * 2);
      rgb(cr, 0xB08A20);
      cairo_set_line_width(cr, 1);
      cairo_stroke(cr);
    }
  } else {
    // Peaked cap: crown, red band, black visor, iron badge.
    cairo_save(cr);
    cairo_translate(cr, -2, -27);
    cairo_scale(cr, 1, 0.38);
    cairo_arc(cr, 0, 0, 26, 0, 2 * kPi);
    cairo_restore(cr);
    rgb(cr, kInk);
    cairo_set_line_width(cr, 3);
    cairo_stroke_preserve(cr);
    fillVertical(cr, -37, -17, 0x5A5E50, 0x3A3E34, 0x22241E);
    cairo_move_to(cr, -20, -24);
    cairo_line_to(cr, 18, -24);
    cairo_line_to(cr, 19, -14);
    cairo_line_to(cr, -20, -13);
    cairo_close_path(cr);
    rgb(cr, kInk);
    cairo_set_line_width(cr, 2.5);
    cairo_stroke_preserve(cr);
    fillVertical(cr, -24, -13, 0xB02020, 0x8A1414, 0x500808);
    cairo_move_to(cr, -19, -14);
    cairo_curve_to(cr, -28, -14, -36, -10, -38, -6);
    cairo_line_to(cr, -17, -10);
    cairo_close_path(cr);
    rgb(cr, 0x0C0C0C);
    cairo_fill_preserve(cr);
    rgb(cr, kInk);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    cairo_arc(cr, -10, -27, 5, 0, 2 * kPi);
    cairo_pattern_t* b = cairo_pattern_create_radial(-12, -29, 0.5, -10, -27, 6);
    stop(b, 0, 0xFFFFFF);
    stop(b, 0.5, 0x9AA2AA);
    stop(b, 1, 0x3A4046);
    cairo_set_source(cr, b);
    cairo_fill(cr);
    cairo_pattern_destroy(b);
  }
}

// The torso in its own frame: hip at the origin, shoulders up at (0, -t).
void torso(cairo_t* cr, const Person& p, double t) {
  const double ww = 17 * p.bulk, cw = 21 * p.bulk, bl = p.belly;
  cairo_move_to(cr, -ww, 0);
  cairo_curve_to(cr, -ww - bl * 1.4, -t * 0.25, -cw - bl, -t * 0.55, -cw, -t * 0.85);
  cairo_curve_to(cr, -cw + 2, -t - 6, cw * 0.6, -t - 7, cw * 0.85, -t * 0.86);
  cairo_curve_to(cr, cw, -t * 0.6, ww + 3, -t * 0.3, ww, 0);
  cairo_close_path(cr);
  rgb(cr, kInk);
  cairo_set_line_width(cr, 3);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke_preserve(cr);
  cairo_pattern_t* g = cairo_pattern_create_linear(-cw - bl, 0, cw, 0);
  stop(g, 0, shade(p.shirt, 1.3));
  stop(g, 0.45, p.shirt);
  stop(g, 1, shade(p.shirt, 0.6));
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  // The vest's neckline shows the skin.
  cairo_move_to(cr, -cw * 0.75, -t * 0.97);
  cairo_curve_to(cr, -cw * 0.5, -t * 0.82, cw * 0.1, -t * 0.8, cw * 0.4, -t * 0.99);
  cairo_line_to(cr, cw * 0.3, -t - 5);
  cairo_line_to(cr, -cw * 0.6, -t - 4);
  cairo_close_path(cr);
  rgb(cr, p.skin);
  cairo_fill(cr);
  cairo_move_to(cr, -cw * 0.75, -t * 0.97);
  cairo_curve_to(cr, -cw * 0.5, -t * 0.82, cw * 0.1, -t * 0.8, cw * 0.4, -t * 0.99);
  rgb(cr, p.shirtTrim);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  switch (p.chest) {
    case Chest::Star:
      starPath(cr, -cw * 0.35, -t * 0.58, 10, -0.15);
      rgb(cr, kInk);
      cairo_set_line_width(cr, 2);
      cairo_stroke_preserve(cr);
      rgb(cr, p.shirtTrim);
      cairo_fill(cr);
      break;
    case Chest::Tie: {
      const double kx = -cw * 0.45, ky = -t * 0.86;
      cairo_move_to(cr, kx - 4, ky - 3);
      cairo_line_to(cr, kx + 4, ky - 3);
      cairo_line_to(cr, kx + 3, ky + 4);
      cairo_line_to(cr, kx + 5, ky + 36);
      cairo_line_to(cr, kx - 1, ky + 44);
      cairo_line_to(cr, kx - 7, ky + 35);
      cairo_line_to(cr, kx - 3, ky + 4);
      cairo_close_path(cr);
      rgb(cr, kInk);
      cairo_set_line_width(cr, 2);
      cairo_stroke_preserve(cr);
      rgb(cr, p.shirtTrim);
      cairo_fill(cr);
      for (int i = 0; i < 4; i++) {  // red stripes
        cairo_move_to(cr, kx - 5 + i * 0.3, ky + 10 + i * 8);
        cairo_line_to(cr, kx + 4, ky + 5 + i * 8);
        rgb(cr, 0xD83028);
        cairo_set_line_width(cr, 2.2);
        cairo_stroke(cr);
      }
      break;
    }
    case Chest::Medals: {
      // A dark red sash, then three medals on ribbons.
      cairo_move_to(cr, cw * 0.7, -t * 0.95);
      cairo_line_to(cr, cw * 0.95, -t * 0.8);
      cairo_line_to(cr, -ww * 0.6, -t * 0.05);
      cairo_line_to(cr, -ww - 2, -t * 0.2);
      cairo_close_path(cr);
      rgb(cr, p.shirtTrim);
      cairo_fill(cr);
      const uint32_t metal[3] = {0xF2C848, 0xC8CED4, 0xF2C848};
      for (int i = 0; i < 3; i++) {
        const double mx = -cw * 0.72 + i * 8, my = -t * 0.68;
        cairo_rectangle(cr, mx - 3, my - 9, 6, 8);
        rgb(cr, i == 1 ? 0xC01818 : 0x2040A0);
        cairo_fill(cr);
        cairo_arc(cr, mx, my + 2, 4.2, 0, 2 * kPi);
        rgb(cr, kInk);
        cairo_set_line_width(cr, 1.2);
        cairo_stroke_preserve(cr);
        rgb(cr, metal[i]);
        cairo_fill(cr);
      }
      break;
    }
  }
}

// Stars or birdies of a dazed boxer circling over the head at h.
void dazeStars(cairo_t* cr, Pt h, int phase, bool big) {
  const int n = big ? 5 : 3;
  const double rx = big ? 34 : 24, ry = big ? 9 : 6, r = big ? 7.5 : 5.5;
  for (int i = 0; i < n; i++) {
    const double a = phase * 0.55 + i * 2 * kPi / n;
    const double x = h.x + rx * std::cos(a), y = h.y - 30 + ry * std::sin(a);
    starPath(cr, x, y, r, a);
    rgb(cr, kInk);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke_preserve(cr);
    rgb(cr, std::sin(a) > 0 ? 0xFFE860 : 0xF0A020);
    cairo_fill(cr);
  }
}

void speedLines(cairo_t* cr, Pt g, Pt from) {
  const Pt d = g - from;
  const double l = len(d);
  if (l < 1) return;
  const Pt u = d * (1 / l), n{-u.y, u.x};
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  for (int i = -1; i <= 1; i++) {
    const Pt a = g - u * (22 + 4 * std::abs(i)) + n * (i * 8.0);
    const Pt b = a - u * (16 - 4 * std::abs(i));
    cairo_move_to(cr, a.x, a.y);
    cairo_line_to(cr, b.x, b.y);
  }
  rgb(cr, 0xFFFFFF, 0.8);
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
}

std::vector<uint8_t> drawPose(const Person& p, const Pose& q) {
  Canvas c(kBoxerW, kBoxerH, kArt);
  cairo_t* cr = c.cr;
  cairo_translate(cr, kBoxerAnchor, kBoxerFloor);
  // The shadow on the mat, under the body whether it stands or lies.
  {
    const double lying = std::sin(std::fabs(q.rot)) + std::max(0.0, -q.lean - 0.3) * 0.6;
    const double cx = q.shift.x + (q.hip.x + 20) * lying + q.hip.x * (1 - lying) + 60 * lying;
    const double rx = 42 + 70 * lying;
    cairo_save(cr);
    cairo_translate(cr, cx, 0);
    cairo_scale(cr, rx, 6);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
    rgb(cr, 0x000000, 0.28);
    cairo_fill(cr);
  }
  cairo_translate(cr, q.shift.x, q.shift.y);
  cairo_rotate(cr, q.rot);
  const double thigh = 48 * p.legScale, shin = 50 * p.legScale;
  const double upper = 36 * p.armScale, fore = 34 * p.armScale, t = 72;
  const Pt hip{q.hip.x, q.hip.y * p.legScale};
  const Pt up{std::sin(-q.lean), -std::cos(-q.lean)};
  const Pt shoulder = hip + up * t;
  const Pt leadS = shoulder + Pt{-5, 4}, rearS = shoulder + Pt{7, 5};
  const double ha = -q.lean + q.headTilt;
  const Pt headC = shoulder + Pt{std::sin(ha), -std::cos(ha)} * 27;

  Pt knee, foot, elbow, hand;
  const double legW = 14 * std::sqrt(p.bulk), armW = 11 * std::sqrt(p.bulk);
  auto drawLeg = [&](Pt target, double dim) {
    joint(hip, target, thigh, shin, 1, &knee, &foot);
    limb(cr, hip, knee, foot + Pt{0, -6}, legW, shade(p.skin, dim));
    boot(cr, foot, shade(p.shoes, dim), p.head == Head::Cap);
    // The trunks' leg over the upper thigh.
    segment(cr, hip, hip + (knee - hip) * 0.5, legW + 9, shade(p.shorts, dim));
  };
  auto drawArm = [&](Pt s, Pt rel, double dim, bool speed) {
    joint(s, s + rel, upper, fore, -1, &elbow, &hand);
    limb(cr, s, elbow, hand, armW, shade(p.skin, dim));
    if (speed) speedLines(cr, hand, elbow);
    glove(cr, hand, elbow, shade(p.gloves, dim), p.head == Head::Cap);
  };

  drawLeg(q.back, 0.82);
  if (!q.rearInFront) drawArm(rearS, q.rear, 0.85, q.speedRear);
  drawLeg(q.front, 1.0);
  // Neck, torso, trunks' waist.
  segment(cr, shoulder, headC, 15, p.skin);
  cairo_save(cr);
  cairo_translate(cr, hip.x, hip.y);
  cairo_rotate(cr, -q.lean);
  torso(cr, p, t);
  cairo_move_to(cr, -17 * p.bulk - p.belly * 0.6 - 2, -14);
  cairo_line_to(cr, 17 * p.bulk + 2, -14);
  cairo_line_to(cr, 19 * p.bulk, 12);
  cairo_line_to(cr, -19 * p.bulk - p.belly * 0.4, 12);
  cairo_close_path(cr);
  rgb(cr, kInk);
  cairo_set_line_width(cr, 3);
  cairo_stroke_preserve(cr);
  fillVertical(cr, -14, 12, shade(p.shorts, 1.35), p.shorts, shade(p.shorts, 0.6));
  cairo_rectangle(cr, -17 * p.bulk - p.belly * 0.6 - 1, -14, 34 * p.bulk + p.belly * 0.6 + 2, 5);
  rgb(cr, p.shortsTrim);
  cairo_fill(cr);
  if (p.chest == Chest::Tie) {  // tricolour trunks: white, blue, red
    cairo_rectangle(cr, -19 * p.bulk, -2, 38 * p.bulk, 5);
    rgb(cr, 0xF4F4F0);
    cairo_fill(cr);
  }
  cairo_restore(cr);
  cairo_save(cr);
  cairo_translate(cr, headC.x, headC.y);
  cairo_rotate(cr, ha);
  head(cr, p, q.face, q.stars * 0.7);
  cairo_restore(cr);
  drawArm(leadS, q.lead, 1.0, q.speedLead);
  if (q.rearInFront) drawArm(rearS, q.rear, 1.0, q.speedRear);
  if (q.stars > 0) {
    double hx = headC.x, hy = headC.y;
    cairo_user_to_device(cr, &hx, &hy);
    cairo_identity_matrix(cr);
    dazeStars(cr, {hx, hy}, q.stars, q.bigStars);
  }
  return c.rgba();
}

// Standing guard: a bounce of the knees over the loop.
std::vector<Pose> standPoses() {
  std::vector<Pose> out;
  for (int i = 0; i < 8; i++) {
    const double s = (1 - std::cos(2 * kPi * i / 8)) / 2;
    Pose q;
    q.hip.y += 4 * s;
    q.lean = 0.12 + 0.03 * s;
    q.lead = {-38, -18 + 3 * s};
    q.rear = {-24, -22 + 2 * s};
    q.headTilt = -0.04 * s;
    out.push_back(q);
  }
  return out;
}

// The step forward: the front foot swings out while the back one is
// planted, then the back foot follows. The body stays over the anchor (the
// match moves the boxer along the ring), so a planted foot slides back
// under it.
std::vector<Pose> walkPoses() {
  std::vector<Pose> out;
  auto foot = [](double t, double home) {  // t in [0, 1): swing, then planted
    const double stride = 9;
    if (t < 0.5) {
      const double u = t / 0.5;
      return Pt{home + stride - 2 * stride * u, -8 * std::sin(kPi * u)};
    }
    const double u = (t - 0.5) / 0.5;
    return Pt{home - stride + 2 * stride * u, 0};
  };
  for (int i = 0; i < 6; i++) {
    const double t = i / 6.0;
    Pose q;
    q.front = foot(t, -27);
    q.back = foot(std::fmod(t + 0.5, 1.0), 27);
    q.hip = {0, -88 - 3 * std::fabs(std::sin(2 * kPi * t))};
    q.lean = 0.14;
    q.lead = {-38 + 3 * std::sin(2 * kPi * t), -18};
    q.rear = {-24 - 2 * std::sin(2 * kPi * t), -22};
    out.push_back(q);
  }
  return out;
}

// A straight jab with the lead hand; out furthest on frame kHit1Land.
std::vector<Pose> jabPoses(const Person& p) {
  const double ext[6] = {0.15, 0.6, 1.0, 0.9, 0.45, 0.1};
  std::vector<Pose> out;
  const double reach = 72 * p.armScale;
  for (int i = 0; i < 6; i++) {
    const double e = ext[i];
    Pose q;
    q.hip.x = -10 * e;
    q.lean = 0.12 + 0.2 * e;
    q.front = {-27 - 10 * e, 0};
    q.lead = Pt{-38, -18} * (1 - e) + Pt{-reach, -16} * e;
    q.rear = {-24 + 4 * e, -22 + 2 * e};
    q.speedLead = i == kHit1Land;
    out.push_back(q);
  }
  return out;
}

// An uppercut with the rear hand: a dip, the rise, the glove high in front
// on frame kHit2Land, the way back.
std::vector<Pose> uppercutPoses(const Person& p) {
  const Pt rear[7] = {{-14, 22}, {-34, 14}, {-52, -14}, {-60 * p.armScale, -44}, {-54, -40}, {-36, -26}, {-24, -22}};
  const double dip[7] = {1, 0.8, 0.3, 0, 0, 0.1, 0};
  const double lean[7] = {0.2, 0.22, 0.26, 0.3, 0.28, 0.2, 0.12};
  std::vector<Pose> out;
  for (int i = 0; i < 7; i++) {
    Pose q;
    q.hip = {-4 * (1 - dip[i]) - 2, -88 + 10 * dip[i] - 4 * (i == kHit2Land)};
    q.lean = lean[i];
    q.rear = rear[i];
    // The lead hand tucks in under the chin out of the uppercut's way.
    q.lead = i >= 1 && i <= 4 ? Pt{-16, -14} : Pt{-30, -10 + 6 * dip[i]};
    q.rearInFront = i >= 1 && i <= 4;
    q.back.y = i == kHit2Land || i == kHit2Land + 1 ? -5 : 0;
    q.speedRear = i == kHit2Land;
    out.push_back(q);
  }
  return out;
}

// Taking a blow: the head snaps back and the guard opens, then comes back.
std::vector<Pose> boomPoses() {
  const double k[5] = {0.85, 1.0, 0.7, 0.35, 0.1};
  std::vector<Pose> out;
  for (double v : k) {
    Pose q;
    q.hip.x = 8 * v;
    q.lean = 0.12 - 0.45 * v;
    q.headTilt = 0.45 * v;
    q.lead = Pt{-38, -18} * (1 - v) + Pt{-26, -44} * v;
    q.rear = Pt{-24, -22} * (1 - v) + Pt{2, -48} * v;
    q.front = {-27 + 6 * v, 0};
    q.face = v > 0.3 ? Face::Hurt : Face::Fight;
    out.push_back(q);
  }
  return out;
}

// Knocked out by a light blow: the boxer wobbles, sits down, lies back and
// sees small stars until the match ends.
std::vector<Pose> knockout1Poses() {
  std::vector<Pose> out;
  for (int i = 0; i < 4; i++) {  // wobble with sagging knees
    Pose q;
    q.hip = {4.0 * i, -86 + 5.0 * i};
    q.lean = (i % 2 ? -0.12 : 0.1) - 0.05 * i;
    q.headTilt = i % 2 ? 0.35 : -0.2;
    q.lead = {-24, 10.0 + 6 * i};
    q.rear = {-8, 14.0 + 6 * i};
    q.face = Face::Hurt;
    out.push_back(q);
  }
  const double sitY[3] = {-62, -44, -28};
  for (int i = 0; i < 3; i++) {  // down onto the seat
    Pose q;
    q.hip = {16.0 + 3 * i, sitY[i]};
    q.lean = -0.1 - 0.05 * i;
    q.headTilt = 0.3;
    q.front = {-30.0 - 10 * i, 0};
    q.back = {10.0 - 8 * i, 0};
    q.lead = {-22, 30};
    q.rear = {-6, 32};
    q.face = Face::Hurt;
    out.push_back(q);
  }
  const double lie[4] = {-0.45, -0.85, -1.2, -1.42};
  for (int i = 0; i < 4; i++) {  // tipping back
    Pose q;
    q.hip = {22, -24};
    q.lean = lie[i];
    q.headTilt = 0.2 + 0.1 * i;
    q.front = {-52, 0};
    q.back = {-12, 0};
    q.lead = {-10.0 - 8 * i, 30.0 + 6 * i};
    q.rear = {10.0 + 6 * i, 36};
    q.face = Face::Out;
    out.push_back(q);
  }
  for (int i = 0; i < 11; i++) {  // out for the count
    Pose q;
    q.hip = {22, -24};
    q.lean = -1.42;
    q.headTilt = 0.5;
    q.front = {-52, 0};
    q.back = {-12, 0};
    q.lead = {-42, 40};
    q.rear = {34, 30};
    q.face = Face::Out;
    q.stars = i + 1;
    out.push_back(q);
  }
  return out;
}

// Knocked out by a heavy blow: the boxer is thrown off his feet, lands flat
// on his back, bounces once and lies under a ring of big stars.
std::vector<Pose> knockout2Poses() {
  std::vector<Pose> out;
  const double rot[7] = {0.15, 0.45, 0.8, 1.12, 1.4, 1.52, 1.46};
  const double lift[7] = {0, -16, -28, -33, -32, -29, -35};
  const double sx[7] = {4, 8, 11, 13, 14, 14, 14};
  const double lean[7] = {0.05, -0.12, -0.18, -0.15, -0.1, -0.06, -0.05};
  for (int i = 0; i < 7; i++) {
    Pose q;
    q.rot = rot[i];
    q.shift = {sx[i], lift[i]};
    q.hip = {0, -90};
    q.lean = lean[i];
    q.headTilt = i < 4 ? 0.6 : 0.3;
    q.front = {-36, -4.0 * (i > 0)};
    q.back = {16, 0};
    // Arms flung back over the head, then falling onto the chest.
    q.lead = i < 3 ? Pt{-30, -40} : Pt{-44, -8};
    q.rear = i < 3 ? Pt{-6, -46} : Pt{-36, 12};
    q.face = i == 0 ? Face::Hurt : Face::Out;
    out.push_back(q);
  }
  for (int i = 0; i < 15; i++) {
    Pose q;
    q.rot = 1.5;
    q.shift = {14, -27};
    q.hip = {0, -90};
    q.lean = -0.05;
    q.headTilt = 0.25;
    q.front = {-34, -6};
    q.back = {12, 0};
    // Limp arms raised off the chest.
    q.lead = {-44, -8 + 3 * std::sin(i * 0.8)};
    q.rear = {-36, 12};
    q.face = Face::Out;
    q.stars = i + 1;
    q.bigStars = true;
    out.push_back(q);
  }
  return out;
}

}  // namespace

const Person& person(int index) { return kPersonTable[index]; }

std::vector<Animation> drawBoxer(const Person& p) {
  const std::pair<const char*, std::vector<Pose>> sets[] = {
      {"stand", standPoses()},         {"walk1", walkPoses()},          {"hit1", jabPoses(p)},
      {"hit2", uppercutPoses(p)},      {"boom1", boomPoses()},          {"knockout1", knockout1Poses()},
      {"knockout2", knockout2Poses()},
  };
  std::vector<Animation> out;
  for (const auto& [name, poses] : sets) {
    Animation a{name, {}};
    for (const Pose& q : poses) a.frames.push_back(drawPose(p, q));
    out.push_back(std::move(a));
  }
  return out;
}

}  // namespace boxing
