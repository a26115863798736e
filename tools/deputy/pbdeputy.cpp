// pbdeputy GAMEDIR: draws the shooting gallery's sprites into
// GAMEDIR/data/deputy/ with cairo. The gallery is a fairground booth on the
// square before the parliament: deputies run along the cobbles from the
// side curtains to its door, the player's two air rifles rest on the
// counter. The surface of the subgame screen is 620 x 400 pixels at
// (90, 100) on the 800 x 600 display; every sprite below is placed by
// conf/deputy.conf at an offset from that corner.
//   back.gsp      the booth, 4 frames: the chase lights of the awning and of
//                 the counter's sign step on by one bulb each frame.
//   smoke.gsp     the smoke of the power station stack behind the wall,
//                 16 frames drifting and looping.
//   corners.gsp   the steel fillets that round the surface's corners, 4
//                 frames (top left, top right, bottom left, bottom right),
//                 placed at the display's origin.
//   run-*.gsp     a running deputy, 28 frames: the figure moves along its
//                 path inside the sprite and crosses the rifle's aim in
//                 frames 11..15; "l" run rightwards from the left curtain,
//                 "r" leftwards from the right one; "small" a lean junior
//                 deputy, "big" a fat senior one with a case full of money.
//   die-*.gsp     the same deputy hit at the aim: thrown back, papers or
//                 banknotes flying, fading out (small 10, big 12 frames).
//   gun-left.gsp, gun-right.gsp
//                 the two rifles with the left or the right one firing, 6
//                 frames: flash and tracer in frames 1..3, recoil, smoke.
//   gun-reload.gsp
//                 both rifles at rest in frame 0, then pulled back and
//                 loaded, 8 frames.
//   image.gsp     a small poster of the gallery.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "deputy/paint.h"

namespace {

using namespace paint;

constexpr int kW = 620, kH = 400;               // the surface
constexpr int kScrX = 90, kScrY = 100;          // its corner on the display
constexpr int kRunFrames = 28;                  // frames of a run across
constexpr double kPathStart = 32, kPathStep = 9.5;  // figure centre: start + i * step from its side
constexpr double kFeetY = 292;                  // where the running feet touch the cobbles
constexpr int kAimFrame = 13;                   // the frame that stands right on the aim
constexpr int kBandY = 120, kBandH = 190;       // the deputies' sprites: surface rows 120..310
constexpr int kBandW = 340;                     // and columns 0..340 (left) or 280..620 (right)
constexpr int kRightBandX = kW - kBandW;
constexpr int kGunY = 200, kGunH = 200;         // the rifles' sprites: surface rows 200..400
constexpr double kChestUp = 44;                 // the tracer aims this far above the feet

double pathX(bool fromLeft, double i) {
  return fromLeft ? kPathStart + i * kPathStep : kW - kPathStart - i * kPathStep;
}
double aimX(bool left) { return pathX(left, kAimFrame); }

// ---------------------------------------------------------------------------
// The deputies.

struct Look {
  bool big;
  uint32_t suit, suitShade, trousers, tie, skin, hair;
};
const Look kSmall{false, 0x5E6E82, 0x3C4858, 0x343C48, 0xC81E1E, 0xF2C4A0, 0x4A3020};
const Look kBig{true, 0x2E2C38, 0x18161E, 0x22202A, 0xD8A030, 0xF0B090, 0x8A8078};

// A pose of the figure, drawn facing right with the feet's middle at the
// origin (y grows downwards).
struct Pose {
  double phase = 0;     // run cycle, radians
  double armsUp = 0;    // 0 running .. 1 thrown up
  bool dazed = false;   // crossed-out eyes, open mouth
  bool caseInHand = true;
};

void leg(cairo_t* cr, const Look& k, double hipX, double hipY, double swing, double bend, double thigh, double shin) {
  const double kx = hipX + thigh * std::sin(swing), ky = hipY + thigh * std::cos(swing);
  const double fx = kx + shin * std::sin(swing - bend), fy = ky + shin * std::cos(swing - bend);
  const double w = k.big ? 10 : 8;
  limb(cr, hipX, hipY, kx, ky, w, k.trousers);
  limb(cr, kx, ky, fx, fy, w - 1, k.trousers);
  ellipse(cr, fx + 4, fy + 1, k.big ? 8 : 7, 3.6);
  fillInk(cr, 0x141012, 1.2);
  ellipse(cr, fx + 5, fy - 0.5, 3, 1.2);
  rgb(cr, 0xFFFFFF, 0.35);
  cairo_fill(cr);
}

// An arm from the shoulder; returns the hand's place.
void arm(cairo_t* cr, const Look& k, double sx, double sy, double upper, double elbow, double* hx, double* hy) {
  const double len = k.big ? 15 : 14;
  const double ex = sx + len * std::sin(upper), ey = sy + len * std::cos(upper);
  const double a2 = upper + elbow;
  const double x = ex + len * std::sin(a2), y = ey + len * std::cos(a2);
  limb(cr, sx, sy, ex, ey, k.big ? 8 : 7, k.suit);
  limb(cr, ex, ey, x, y, k.big ? 7 : 6, k.suit);
  cairo_arc(cr, x, y, k.big ? 4.2 : 3.6, 0, 2 * kPi);
  fillInk(cr, k.skin, 1.2);
  *hx = x;
  *hy = y;
}

// The briefcase hanging from (x, y); the big deputy's bulges with money.
void briefcase(cairo_t* cr, const Look& k, double x, double y, double turn) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_rotate(cr, turn);
  const double w = k.big ? 22 : 18, h = k.big ? 15 : 13;
  cairo_arc(cr, 0, 2, 3, kPi, 2 * kPi);
  rgb(cr, 0x1A1414);
  cairo_set_line_width(cr, 1.6);
  cairo_stroke(cr);
  if (k.big) {  // banknotes sticking out of the lid
    for (int i = 0; i < 3; i++) {
      cairo_save(cr);
      cairo_translate(cr, -6 + 6 * i, 3);
      cairo_rotate(cr, -0.35 + 0.3 * i);
      cairo_rectangle(cr, -3, -7, 7, 9);
      fillInk(cr, i == 1 ? 0xB090D0 : 0x7CC07C, 0.8);
      cairo_restore(cr);
    }
  }
  roundRect(cr, -w / 2, 3, w, h, 2.5);
  linear(cr, 0, 3, 0, 3 + h, 0x8A5A30, 0x4A2C14);
  fillSourceInk(cr, 1.4);
  cairo_rectangle(cr, -1.5, 6, 3, 3);
  rgb(cr, 0xE8C060);
  cairo_fill(cr);
  cairo_restore(cr);
}

void head(cairo_t* cr, const Look& k, double x, double y, const Pose& p) {
  const double r = k.big ? 12.5 : 10;
  // Neck, then the head with its ear, nose and face.
  cairo_arc(cr, x, y, r, 0, 2 * kPi);
  radial(cr, x + 2, y - 2, r * 1.3, k.skin | 0x101010, k.skin & 0xE0C8B8);
  fillSourceInk(cr, 1.6);
  ellipse(cr, x - r * 0.25, y + 1, 2.6, 3.4);  // ear
  fillInk(cr, k.skin, 1.1);
  ellipse(cr, x + r * 0.98, y + 1, 3.4, 2.6);  // nose
  radial(cr, x + r, y, 4, 0xFFC8B0, 0xE08870);
  fillSourceInk(cr, 1.1);
  if (k.big) {
    // Bald crown with a thin combed strand and grey side hair.
    ellipse(cr, x - r * 0.55, y - 1, r * 0.45, r * 0.5);
    rgb(cr, k.hair);
    cairo_fill(cr);
    cairo_move_to(cr, x - r * 0.7, y - r * 0.55);
    cairo_curve_to(cr, x - r * 0.2, y - r * 1.15, x + r * 0.4, y - r * 1.0, x + r * 0.6, y - r * 0.7);
    rgb(cr, k.hair);
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
    ellipse(cr, x + r * 0.25, y - r * 0.6, 3, 1.5);  // shine
    rgb(cr, 0xFFFFFF, 0.55);
    cairo_fill(cr);
    // Double chin.
    cairo_arc(cr, x + r * 0.35, y + r * 0.75, r * 0.45, 0.2, kPi - 0.4);
    rgb(cr, 0x1A1414, 0.6);
    cairo_set_line_width(cr, 1.1);
    cairo_stroke(cr);
  } else {
    // Neat parted hair.
    cairo_move_to(cr, x - r * 1.02, y + r * 0.15);
    cairo_curve_to(cr, x - r * 1.2, y - r * 1.1, x + r * 0.4, y - r * 1.4, x + r * 0.95, y - r * 0.45);
    cairo_curve_to(cr, x + r * 0.4, y - r * 0.62, x - r * 0.2, y - r * 0.55, x - r * 0.5, y + r * 0.1);
    cairo_close_path(cr);
    fillInk(cr, k.hair, 1.1);
  }
  const double ex = x + r * 0.5, ey = y - r * 0.15;
  if (p.dazed) {
    cairo_set_line_width(cr, 1.4);
    rgb(cr, 0x1A1414);
    cairo_move_to(cr, ex - 2, ey - 2);
    cairo_line_to(cr, ex + 2, ey + 2);
    cairo_move_to(cr, ex + 2, ey - 2);
    cairo_line_to(cr, ex - 2, ey + 2);
    cairo_stroke(cr);
    ellipse(cr, x + r * 0.55, y + r * 0.55, 2.4, 3);  // open mouth
    rgb(cr, 0x5A1010);
    cairo_fill(cr);
  } else {
    cairo_arc(cr, ex, ey, 1.6, 0, 2 * kPi);
    rgb(cr, 0x1A1414);
    cairo_fill(cr);
    cairo_move_to(cr, x + r * 0.35, y + r * 0.55);  // a smug little mouth
    cairo_line_to(cr, x + r * 0.75, y + r * 0.5);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
  }
  if (!k.big) {  // round glasses
    cairo_arc(cr, ex, ey, 3.6, 0, 2 * kPi);
    cairo_move_to(cr, ex - 3.6, ey);
    cairo_line_to(cr, x - r * 0.2, ey - 1);
    rgb(cr, 0x1A1414);
    cairo_set_line_width(cr, 1.1);
    cairo_stroke(cr);
    cairo_arc(cr, ex - 1, ey - 1, 1.1, 0, 2 * kPi);
    rgb(cr, 0xFFFFFF, 0.8);
    cairo_fill(cr);
  }
}

// The whole figure; returns where the hand with the case is.
void figure(cairo_t* cr, const Look& k, const Pose& p, double* caseX, double* caseY) {
  const double thigh = k.big ? 17 : 16, shin = k.big ? 16 : 16;
  const double bob = -2.5 * std::fabs(std::cos(p.phase)) * (1 - p.armsUp);
  const double hipY = -(thigh + shin) + 2 + bob;
  const double run = 1 - p.armsUp;
  // Legs swing in opposition; the leg going back bends more.
  const double s1 = 0.75 * std::sin(p.phase) * run, s2 = -s1;
  const double b1 = (0.25 + 0.9 * std::max(0.0, -std::cos(p.phase))) * run + 0.1;
  const double b2 = (0.25 + 0.9 * std::max(0.0, std::cos(p.phase))) * run + 0.1;
  const double torso = k.big ? 36 : 28;
  cairo_save(cr);
  cairo_translate(cr, 0, hipY);
  cairo_rotate(cr, 0.16 * run - 0.12 * p.armsUp);  // leaning into the run
  cairo_translate(cr, 0, -hipY);
  const double shX = k.big ? 2 : 1, shY = hipY - torso + 5;
  double hx, hy;
  // Back arm and leg, darker.
  arm(cr, {k.big, k.suitShade, k.suitShade, k.trousers, k.tie, k.skin, k.hair}, shX - 2, shY,
      p.armsUp > 0 ? kPi * 0.9 : 0.9 * std::sin(p.phase) * run, p.armsUp > 0 ? 0.3 : -1.0, &hx, &hy);
  leg(cr, {k.big, k.suitShade, k.suitShade, 0x1C1A22, k.tie, k.skin, k.hair}, -2, hipY, s2, b2, thigh, shin);
  // Torso: a jacket, a fat one round the belly.
  if (k.big) {
    ellipse(cr, 3, hipY - torso * 0.42, 19, torso * 0.62);
    linear(cr, -16, 0, 22, 0, k.suitShade, k.suit);
    fillSourceInk(cr, 1.6);
    ellipse(cr, 9, hipY - torso * 0.45, 8, torso * 0.45);  // shirt over the belly
    rgb(cr, 0xF4F0E8);
    cairo_fill(cr);
  } else {
    roundRect(cr, -10, hipY - torso, 21, torso + 4, 6);
    linear(cr, -10, 0, 11, 0, k.suitShade, k.suit);
    fillSourceInk(cr, 1.6);
    cairo_move_to(cr, 4, hipY - torso + 1);
    cairo_line_to(cr, 11, hipY - torso + 1);
    cairo_line_to(cr, 9, hipY - torso + 14);
    cairo_close_path(cr);
    rgb(cr, 0xF4F0E8);
    cairo_fill(cr);
  }
  // Tie, and the lapel pin in the flag's colours.
  const double tx = k.big ? 11 : 8, ty = hipY - torso + 2;
  cairo_move_to(cr, tx - 2, ty);
  cairo_line_to(cr, tx + 2, ty);
  cairo_line_to(cr, tx + 2.5, ty + (k.big ? 18 : 13));
  cairo_line_to(cr, tx, ty + (k.big ? 21 : 15));
  cairo_line_to(cr, tx - 2.5, ty + (k.big ? 18 : 13));
  cairo_close_path(cr);
  fillInk(cr, k.tie, 0.9);
  const uint32_t pin[3] = {0xFFFFFF, 0x2040C0, 0xD02020};
  for (int i = 0; i < 3; i++) {
    cairo_rectangle(cr, (k.big ? -6 : -5), ty + 6 + 1.4 * i, 4, 1.4);
    rgb(cr, pin[i]);
    cairo_fill(cr);
  }
  // Head on the collar.
  head(cr, k, k.big ? 5 : 3, hipY - torso - (k.big ? 10 : 8), p);
  // Front leg and the arm with the case.
  leg(cr, k, 1, hipY, s1, b1, thigh, shin);
  arm(cr, k, shX + 1, shY + 1, p.armsUp > 0 ? kPi * 0.8 : -0.9 * std::sin(p.phase) * run,
      p.armsUp > 0 ? 0.4 : -0.8, &hx, &hy);
  cairo_restore(cr);
  // The hand's place on the canvas, through the lean.
  const double lean = 0.16 * run - 0.12 * p.armsUp;
  const double dx = hx, dy = hy - hipY;
  *caseX = dx * std::cos(lean) - dy * std::sin(lean);
  *caseY = hipY + dx * std::sin(lean) + dy * std::cos(lean);
}

// Draws a deputy at (x, feet) facing right or left.
void deputyAt(cairo_t* cr, const Look& k, const Pose& p, double x, double feet, bool faceRight, double fall) {
  cairo_save(cr);
  cairo_translate(cr, x, feet);
  if (!faceRight) cairo_scale(cr, -1, 1);
  // Thrown back: turn about the heels.
  cairo_translate(cr, -6, 0);
  cairo_rotate(cr, -fall);
  cairo_translate(cr, 6, 0);
  double cx, cy;
  cairo_push_group(cr);
  figure(cr, k, p, &cx, &cy);
  if (p.caseInHand) {
    cairo_save(cr);
    briefcase(cr, k, cx, cy, 0.15 * std::sin(p.phase));
    cairo_restore(cr);
  }
  cairo_pop_group_to_source(cr);
  cairo_paint(cr);
  cairo_restore(cr);
}

void shadow(cairo_t* cr, double x, double feet, double w, double a) {
  ellipse(cr, x, feet + 1, w, 3.5);
  rgb(cr, 0x000000, 0.3 * a);
  cairo_fill(cr);
}

// A running deputy: kRunFrames frames, figure moving along its side's
// path, fading in out of the curtain and out into the door.
Frames runSprite(const Look& k, bool fromLeft) {
  Frames f;
  const int ox = fromLeft ? 0 : kRightBandX;
  for (int i = 0; i < kRunFrames; i++) {
    Canvas c(kBandW, kBandH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, -ox, -kBandY);
    double alpha = 1;
    if (i == 0) alpha = 0.35;
    if (i == 1) alpha = 0.7;
    if (i == kRunFrames - 2) alpha = 0.65;
    if (i == kRunFrames - 1) alpha = 0.3;
    const double x = pathX(fromLeft, i);
    Pose p;
    p.phase = i * 2 * kPi / (k.big ? 9 : 7);
    cairo_push_group(cr);
    shadow(cr, x, kFeetY, k.big ? 18 : 13, 1);
    deputyAt(cr, k, p, x, kFeetY, fromLeft, 0);
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, alpha);
    f.add(c);
  }
  return f;
}

// Hit at the aim: thrown back with arms up, the case bursting open, lying
// flat, then fading.
Frames dieSprite(const Look& k, bool fromLeft) {
  const int n = k.big ? 12 : 10;
  Frames f;
  const int ox = fromLeft ? 0 : kRightBandX;
  const double x0 = aimX(fromLeft);
  const double back = fromLeft ? -1 : 1;  // thrown against the run
  Rand rnd(k.big ? 77 : 41);
  struct Flyer {
    double vx, vy, spin, turn0;
  };
  Flyer flyers[6];
  for (auto& fl : flyers) fl = {rnd.range(-4.5, 4.5), rnd.range(-9, -5), rnd.range(-0.6, 0.6), rnd.range(0, kPi)};
  for (int i = 0; i < n; i++) {
    Canvas c(kBandW, kBandH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, -ox, -kBandY);
    const double t = std::min(1.0, i / (n - 5.0));
    const double fall = (kPi * 0.47) * t * t;
    const double x = x0 + back * (3 * i + (k.big ? 4 : 8) * t);
    const double alpha = i >= n - 3 ? 0.25 * (n - i) : 1.0;
    cairo_push_group(cr);
    shadow(cr, x + back * 14 * t, kFeetY, (k.big ? 18 : 13) + 16 * t, 1);
    Pose p;
    p.armsUp = 1;
    p.dazed = true;
    p.caseInHand = false;
    deputyAt(cr, k, p, x, kFeetY, fromLeft, fall);
    // Papers (or banknotes) burst out and flutter down to the cobbles.
    const double sx = x0 + (fromLeft ? 12 : -12), sy = kFeetY - 30;
    for (const auto& fl : flyers) {
      const double tt = i + 0.5;
      double px = sx + fl.vx * tt, py = sy + fl.vy * tt + 0.9 * tt * tt;
      if (py > kFeetY - 3) py = kFeetY - 3;
      px = std::min(std::max(px, x0 - 80), x0 + 80);
      cairo_save(cr);
      cairo_translate(cr, px, py);
      cairo_rotate(cr, fl.turn0 + fl.spin * tt);
      cairo_rectangle(cr, -5, -3.5, 10, 7);
      if (k.big) {
        fillInk(cr, (&fl - flyers) % 2 ? 0x7CC07C : 0xB090D0, 0.8);
        cairo_arc(cr, 0, 0, 1.6, 0, 2 * kPi);
        rgb(cr, 0x2A5A2A);
        cairo_fill(cr);
      } else {
        fillInk(cr, 0xF8F8F0, 0.8);
        for (int l = 0; l < 3; l++) {
          cairo_rectangle(cr, -3.5, -2 + 1.6 * l, 7, 0.6);
          rgb(cr, 0x404858);
          cairo_fill(cr);
        }
      }
      cairo_restore(cr);
    }
    // The open case lands behind him.
    if (i >= 1) {
      const double tt = std::min(i, 5);
      briefcase(cr, k, x0 + back * (-6 + 5 * tt), std::min(kFeetY - 16, kFeetY - 38 - 6 * tt + 2.2 * tt * tt),
                back * 0.5 * tt);
    }
    // The shot's flash on the first frame, dizzy stars later.
    if (i == 0) {
      burstPath(cr, x0, kFeetY - kChestUp, 5, 16, 9, 0.2);
      rgb(cr, 0xFFF4A0, 0.95);
      cairo_fill_preserve(cr);
      rgb(cr, 0xFF8020);
      cairo_set_line_width(cr, 1.5);
      cairo_stroke(cr);
    } else if (i >= 3 && i < n - 3) {
      const double up = k.big ? 84 : 68;  // heels to the top of the head
      const double hx = x + back * up * std::sin(fall), hy = kFeetY - up * std::cos(fall) + 2;
      for (int s = 0; s < 3; s++) {
        const double a = i * 0.9 + s * 2 * kPi / 3;
        starPath(cr, hx + 12 * std::cos(a), hy - 14 + 4 * std::sin(a), 3.5, a);
        fillInk(cr, 0xFFE040, 0.8);
      }
    }
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, alpha);
    f.add(c);
  }
  return f;
}

// ---------------------------------------------------------------------------
// The booth.

void awningAndBulbs(cairo_t* cr, int frame) {
  const int stripe = 31;
  for (int i = 0; i * stripe < kW; i++) {
    cairo_rectangle(cr, i * stripe, 0, stripe, 30);
    linear(cr, 0, 0, 0, 30, i % 2 ? 0xF4F0E8 : 0xD42A20, i % 2 ? 0xC8C0B8 : 0x8A1410);
    cairo_fill(cr);
    cairo_arc(cr, i * stripe + stripe / 2.0, 30, stripe / 2.0, 0, kPi);  // scallops
    linear(cr, 0, 30, 0, 46, i % 2 ? 0xE4DED4 : 0xB8201A, i % 2 ? 0xA8A098 : 0x701010);
    cairo_fill_preserve(cr);
    rgb(cr, 0x3A1010, 0.8);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  cairo_rectangle(cr, 0, 0, kW, 6);  // the pelmet's gold edge
  linear(cr, 0, 0, 0, 6, 0xFFE8A0, 0xA07020);
  cairo_fill(cr);
  // Bulbs between the scallops; every fourth lit, stepping on each frame.
  for (int i = 0; i * stripe <= kW; i++) {
    const double bx = i * stripe, by = 33;
    const bool lit = (i + frame) % 4 == 0;
    if (lit) {
      cairo_arc(cr, bx, by, 11, 0, 2 * kPi);
      cairo_pattern_t* g = cairo_pattern_create_radial(bx, by, 1, bx, by, 11);
      stop(g, 0, 0xFFF0A0, 0.9);
      stop(g, 1, 0xFFC040, 0);
      cairo_set_source(cr, g);
      cairo_fill(cr);
      cairo_pattern_destroy(g);
    }
    cairo_arc(cr, bx, by, 4, 0, 2 * kPi);
    radial(cr, bx, by, 4, lit ? 0xFFFFF0 : 0xC0A060, lit ? 0xFFC030 : 0x604010);
    fillSourceInk(cr, 0.8);
  }
}

void curtain(cairo_t* cr, bool left) {
  const double x0 = left ? 0 : kW - 34, w = 34;
  for (int i = 0; i < 4; i++) {  // folds
    const double fx = x0 + i * w / 4;
    linear(cr, fx, 0, fx + w / 4, 0, 0x5A0A10, 0xB0202A);
    cairo_rectangle(cr, fx, 40, w / 4 + 0.5, 280);
    cairo_fill(cr);
  }
  // The gold rope gathering it and the tassel hanging at its inner edge.
  const double tx = left ? x0 + w - 5 : x0 + 5;
  cairo_rectangle(cr, x0, 196, w, 6);
  linear(cr, 0, 196, 0, 202, 0xFFE890, 0x9A6A18);
  fillSourceInk(cr, 1);
  cairo_move_to(cr, tx - 3, 202);
  cairo_line_to(cr, tx + 3, 202);
  cairo_line_to(cr, tx + 6, 226);
  cairo_line_to(cr, tx - 6, 226);
  cairo_close_path(cr);
  linear(cr, tx - 6, 0, tx + 6, 0, 0xFFE890, 0x9A6A18);
  fillSourceInk(cr, 1);
}

void tower(cairo_t* cr, double x, double top, double w, double roof) {
  cairo_rectangle(cr, x - w / 2, top, w, 240 - top);
  linear(cr, x - w / 2, 0, x + w / 2, 0, 0xA83A2C, 0x5A1A14);
  fillSourceInk(cr, 1.2);
  for (double y = top + 10; y < 230; y += 14) {  // windows
    cairo_rectangle(cr, x - 2.5, y, 5, 7);
    rgb(cr, 0xF0C060, 0.8);
    cairo_fill(cr);
  }
  cairo_move_to(cr, x - w / 2 - 3, top);
  cairo_line_to(cr, x, top - roof);
  cairo_line_to(cr, x + w / 2 + 3, top);
  cairo_close_path(cr);
  linear(cr, x - w / 2, 0, x + w / 2, 0, 0x4A8A5A, 0x1E4028);
  fillSourceInk(cr, 1.2);
  // The ruby star on the spire, glowing.
  const double sy = top - roof - 8;
  cairo_arc(cr, x, sy, 14, 0, 2 * kPi);
  cairo_pattern_t* g = cairo_pattern_create_radial(x, sy, 1, x, sy, 14);
  stop(g, 0, 0xFF6040, 0.6);
  stop(g, 1, 0xFF2010, 0);
  cairo_set_source(cr, g);
  cairo_fill(cr);
  cairo_pattern_destroy(g);
  starPath(cr, x, sy, 7);
  fillInk(cr, 0xE82018, 1);
}

void duma(cairo_t* cr, Lettering& font) {
  const double l = 226, r = 394, top = 150, base = 282;
  // The flag on the roof, in white, blue and red.
  cairo_rectangle(cr, 309, 96, 2.5, 42);
  rgb(cr, 0x303030);
  cairo_fill(cr);
  const uint32_t flag[3] = {0xF8F8F8, 0x2846B8, 0xD42820};
  for (int i = 0; i < 3; i++) {
    cairo_move_to(cr, 311, 98 + 7 * i);
    cairo_curve_to(cr, 322, 94 + 7 * i, 330, 102 + 7 * i, 342, 97 + 7 * i);
    cairo_line_to(cr, 342, 104 + 7 * i);
    cairo_curve_to(cr, 330, 109 + 7 * i, 322, 101 + 7 * i, 311, 105 + 7 * i);
    cairo_close_path(cr);
    rgb(cr, flag[i]);
    cairo_fill(cr);
  }
  // Pediment and attic.
  cairo_move_to(cr, l - 6, top);
  cairo_line_to(cr, 310, 122);
  cairo_line_to(cr, r + 6, top);
  cairo_close_path(cr);
  linear(cr, 0, 122, 0, top, 0xECE4D4, 0xB8AE9C);
  fillSourceInk(cr, 1.4);
  starPath(cr, 310, 139, 7);
  fillInk(cr, 0xE0B040, 0.8);
  cairo_rectangle(cr, l - 6, top, r - l + 12, 18);
  linear(cr, 0, top, 0, top + 18, 0xE8E0D0, 0xA8A090);
  fillSourceInk(cr, 1.4);
  font.path(cr, "ДУМА", 310, top + 14.5, 13);
  rgb(cr, 0x5A4A30);
  cairo_fill(cr);
  // The wall and its columns.
  cairo_rectangle(cr, l, top + 18, r - l, base - top - 18);
  linear(cr, 0, top + 18, 0, base, 0xDAD2C2, 0x9A9282);
  fillSourceInk(cr, 1.4);
  for (int i = 0; i < 6; i++) {
    const double cx = l + 14 + i * 28 + (i >= 3 ? 0 : 0);
    if (cx > 280 && cx < 340) continue;
    cairo_rectangle(cr, cx - 6, top + 22, 12, base - top - 26);
    linear(cr, cx - 6, 0, cx + 6, 0, 0xFFFFF8, 0x9A9282);
    fillSourceInk(cr, 1);
  }
  // The door the deputies run for, warm light inside.
  cairo_move_to(cr, 284, base);
  cairo_line_to(cr, 284, 212);
  cairo_arc(cr, 310, 212, 26, kPi, 2 * kPi);
  cairo_line_to(cr, 336, base);
  cairo_close_path(cr);
  linear(cr, 0, 186, 0, base, 0x3A1C10, 0x0C0606);
  fillSourceInk(cr, 2);
  cairo_rectangle(cr, 298, 222, 24, 60);
  rgb(cr, 0xF0B050, 0.18);
  cairo_fill(cr);
  // Steps.
  for (int i = 0; i < 3; i++) {
    cairo_rectangle(cr, l - 4 - 4 * i, base - 6 + 3 * i, r - l + 8 + 8 * i, 3);
    rgb(cr, i % 2 ? 0x9A9282 : 0xC8C0B0);
    cairo_fill(cr);
  }
}

void target(cairo_t* cr, double x) {
  cairo_rectangle(cr, x - 2, 232, 4, 50);
  linear(cr, x - 2, 0, x + 2, 0, 0x8A8A90, 0x3A3A40);
  cairo_fill(cr);
  const uint32_t rings[4] = {0xF8F4EC, 0xD42A20, 0xF8F4EC, 0xD42A20};
  for (int i = 0; i < 4; i++) {
    cairo_arc(cr, x, 214, 18 - 4.5 * i, 0, 2 * kPi);
    if (i == 0)
      fillInk(cr, rings[i], 1.5);
    else {
      rgb(cr, rings[i]);
      cairo_fill(cr);
    }
  }
}

void counter(cairo_t* cr, Lettering& font, int frame) {
  cairo_rectangle(cr, 0, 330, kW, kH - 330);
  linear(cr, 0, 330, 0, kH, 0x8A5228, 0x4A2A12);
  cairo_fill(cr);
  for (int x = 0; x < kW; x += 44) {  // planks
    cairo_rectangle(cr, x, 330, 1.5, kH - 330);
    rgb(cr, 0x2A1608, 0.7);
    cairo_fill(cr);
    cairo_rectangle(cr, x + 1.5, 330, 1, kH - 330);
    rgb(cr, 0xC08850, 0.4);
    cairo_fill(cr);
  }
  cairo_rectangle(cr, 0, 316, kW, 14);  // the top board
  linear(cr, 0, 316, 0, 330, 0xD8A060, 0x7A4A20);
  fillSourceInk(cr, 1.4);
  // The sign: dark red plaque, gold letters, a ring of chase bulbs.
  roundRect(cr, 236, 342, 148, 48, 8);
  linear(cr, 0, 342, 0, 390, 0xA01818, 0x4A0808);
  cairo_fill_preserve(cr);
  rgb(cr, 0xE0B040);
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  font.path(cr, "ТИР", 310, 379, 30);
  linear(cr, 0, 352, 0, 380, 0xFFF0B0, 0xC08820);
  fillSourceInk(cr, 1.2);
  for (int i = 0; i < 12; i++) {
    const double bx = i < 6 ? 246 + i * 25.6 : 246 + (i - 6) * 25.6, by = i < 6 ? 337 : 395;
    const bool lit = (i + frame) % 4 == 0;
    cairo_arc(cr, bx, by, 3, 0, 2 * kPi);
    radial(cr, bx, by, 3, lit ? 0xFFFFF0 : 0xB09050, lit ? 0xFFB020 : 0x503008);
    cairo_fill(cr);
  }
  // Prize stars on either side of the sign.
  for (double x : {150.0, 470.0}) {
    starPath(cr, x, 366, 16, 0);
    linear(cr, x - 16, 350, x + 16, 382, 0xFFE890, 0xB07818);
    fillSourceInk(cr, 1.4);
  }
}

Frames background(Lettering& font) {
  Frames f;
  for (int frame = 0; frame < 4; frame++) {
    Canvas c(kW, kH);
    cairo_t* cr = c.cr;
    // Evening sky, stars and a crescent moon.
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 30, 0, 240);
    stop(sky, 0, 0x101838);
    stop(sky, 0.55, 0x3A2C5A);
    stop(sky, 1, 0xD06A48);
    cairo_rectangle(cr, 0, 0, kW, 260);
    cairo_set_source(cr, sky);
    cairo_fill(cr);
    cairo_pattern_destroy(sky);
    Rand rnd(7);
    for (int i = 0; i < 46; i++) {
      const double sx = rnd.range(40, 580), sy = rnd.range(46, 150), sr = rnd.range(0.5, 1.4);
      cairo_arc(cr, sx, sy, sr, 0, 2 * kPi);
      rgb(cr, 0xFFFFF0, 0.5 + 0.5 * rnd.unit());
      cairo_fill(cr);
    }
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_arc(cr, 96, 80, 17, 0, 2 * kPi);
    cairo_new_sub_path(cr);
    cairo_arc(cr, 104, 74, 15, 0, 2 * kPi);
    cairo_clip(cr);
    cairo_arc(cr, 96, 80, 17, 0, 2 * kPi);
    rgb(cr, 0xFFF4C8);
    cairo_fill(cr);
    cairo_reset_clip(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    // The power station's stack beyond the wall, red and white.
    for (int i = 0; i < 6; i++) {
      cairo_move_to(cr, 522 - i * 0.6, 110 + 16 * i);
      cairo_line_to(cr, 538 + i * 0.6, 110 + 16 * i);
      cairo_line_to(cr, 538 + (i + 1) * 0.6, 126 + 16 * i);
      cairo_line_to(cr, 522 - (i + 1) * 0.6, 126 + 16 * i);
      cairo_close_path(cr);
      rgb(cr, i % 2 ? 0xE8E0E0 : 0xC02820);
      cairo_fill(cr);
    }
    // The fortress wall with swallow-tail battlements, and its towers.
    cairo_rectangle(cr, 0, 204, kW, 60);
    linear(cr, 0, 204, 0, 264, 0x9A3428, 0x5A1A14);
    cairo_fill(cr);
    for (double x = 4; x < kW; x += 18) {
      cairo_move_to(cr, x, 204);
      cairo_line_to(cr, x, 192);
      cairo_line_to(cr, x + 5, 196);
      cairo_line_to(cr, x + 10, 192);
      cairo_line_to(cr, x + 10, 204);
      cairo_close_path(cr);
      rgb(cr, 0x8A2E24);
      cairo_fill(cr);
    }
    for (int row = 0; row < 4; row++)
      for (double x = (row % 2) * 9; x < kW; x += 18) {
        cairo_rectangle(cr, x, 208 + row * 8, 18, 8);
        rgb(cr, 0x3A0E0A, 0.35);
        cairo_set_line_width(cr, 0.7);
        cairo_stroke(cr);
      }
    tower(cr, 84, 150, 30, 42);
    tower(cr, 180, 170, 24, 30);
    tower(cr, 440, 170, 24, 30);
    tower(cr, 556, 146, 32, 46);
    duma(cr, font);
    // The cobbled square the deputies cross, with the carpet to the door.
    cairo_rectangle(cr, 0, 264, kW, 56);
    linear(cr, 0, 264, 0, 320, 0x6A6068, 0x3A3238);
    cairo_fill(cr);
    Rand cob(11);
    for (int row = 0; row < 5; row++) {
      const double y = 285 + row * 7.5, h = 2.5 + row * 0.8;
      for (double x = (row % 2) * 7 - 7; x < kW; x += 14 + row) {
        ellipse(cr, x + cob.range(-1, 1), y, 5.5 + row * 0.5, h);
        rgb(cr, 0x8A8088, 0.35);
        cairo_fill(cr);
      }
    }
    cairo_move_to(cr, 292, 280);
    cairo_line_to(cr, 328, 280);
    cairo_line_to(cr, 352, 318);
    cairo_line_to(cr, 268, 318);
    cairo_close_path(cr);
    linear(cr, 0, 280, 0, 318, 0xC02020, 0x801010);
    cairo_fill_preserve(cr);
    rgb(cr, 0xE0B040);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    target(cr, aimX(true));
    target(cr, aimX(false));
    curtain(cr, true);
    curtain(cr, false);
    awningAndBulbs(cr, frame);
    counter(cr, font, frame);
    f.add(c);
  }
  return f;
}

// Smoke puffs leaving the stack's top and drifting left, 16 looping frames.
constexpr int kSmokeX = 330, kSmokeY = 40, kSmokeW = 250, kSmokeH = 100;
Frames smoke() {
  Frames f;
  const int frames = 16, puffs = 6;
  for (int i = 0; i < frames; i++) {
    Canvas c(kSmokeW, kSmokeH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, -kSmokeX, -kSmokeY);
    for (int k = puffs - 1; k >= 0; k--) {
      double t = static_cast<double>(i) / frames + static_cast<double>(k) / puffs;
      t -= std::floor(t);
      const double x = 530 - 170 * t, y = 104 - 44 * t - 6 * std::sin(t * 2 * kPi + k);
      const double r = 6 + 20 * t;
      const double a = 0.85 * (1 - t) * std::min(1.0, t * 8);
      cairo_arc(cr, x, y, r, 0, 2 * kPi);
      cairo_pattern_t* g = cairo_pattern_create_radial(x - r * 0.3, y - r * 0.4, r * 0.1, x, y, r);
      stop(g, 0, 0xECE8F0, a);
      stop(g, 0.7, 0xA8A4B0, a * 0.85);
      stop(g, 1, 0x6A6670, 0);
      cairo_set_source(cr, g);
      cairo_fill(cr);
      cairo_pattern_destroy(g);
    }
    f.add(c);
  }
  return f;
}

// ---------------------------------------------------------------------------
// The rifles.

struct Rifle {
  double bx, by, mx, my;  // butt (off the bottom edge) and muzzle, surface coordinates
};
Rifle rifle(bool left) {
  const Rifle l{92, 420, 150, 318};
  if (left) return l;
  return {kW - l.bx, l.by, kW - l.mx, l.my};
}

// One rifle seen from behind the counter, pulled back by `back` pixels along
// its axis.
void drawRifle(cairo_t* cr, bool left, double back, double drop) {
  const Rifle r = rifle(left);
  const double len = std::hypot(r.mx - r.bx, r.my - r.by);
  const double ux = (r.mx - r.bx) / len, uy = (r.my - r.by) / len;
  cairo_save(cr);
  cairo_translate(cr, r.bx - ux * back, r.by - uy * back + drop);
  cairo_rotate(cr, std::atan2(uy, ux));
  // Along +x from the butt (0) to the muzzle (len); across y.
  cairo_move_to(cr, 0, -27);
  cairo_line_to(cr, 48, -15);
  cairo_line_to(cr, 48, 15);
  cairo_line_to(cr, 0, 27);
  cairo_close_path(cr);
  linear(cr, 0, -27, 0, 27, 0xC0783A, 0x4A2410);
  fillSourceInk(cr, 1.6);
  for (int g = 0; g < 3; g++) {  // wood grain
    cairo_move_to(cr, 4, -14 + 12 * g);
    cairo_curve_to(cr, 18, -10 + 12 * g, 30, -14 + 12 * g, 46, -9 + 9 * g);
    rgb(cr, 0x3A1A08, 0.35);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  cairo_save(cr);
  cairo_translate(cr, 22, 0);
  cairo_rotate(cr, kPi / 2);
  starPath(cr, 0, 0, 8);
  cairo_restore(cr);
  fillInk(cr, 0xD42A20, 1);
  // Receiver and rear sight.
  cairo_move_to(cr, 46, -13);
  cairo_line_to(cr, 74, -9);
  cairo_line_to(cr, 74, 9);
  cairo_line_to(cr, 46, 13);
  cairo_close_path(cr);
  linear(cr, 0, -13, 0, 13, 0x8A929C, 0x23272C);
  fillSourceInk(cr, 1.4);
  cairo_rectangle(cr, 64, -4, 6, 8);
  fillInk(cr, 0x2A2E34, 1);
  // The barrel, tapering to the muzzle, with a bright ridge.
  cairo_move_to(cr, 72, -6);
  cairo_line_to(cr, len, -4);
  cairo_line_to(cr, len, 4);
  cairo_line_to(cr, 72, 6);
  cairo_close_path(cr);
  linear(cr, 0, -6, 0, 6, 0x9AA4AE, 0x1E2226);
  fillSourceInk(cr, 1.3);
  cairo_move_to(cr, 74, -2.2);
  cairo_line_to(cr, len - 2, -1.2);
  rgb(cr, 0xFFFFFF, 0.45);
  cairo_set_line_width(cr, 1.2);
  cairo_stroke(cr);
  cairo_rectangle(cr, len - 5, -5.5, 5, 11);  // the front sight's ring
  fillInk(cr, 0x30343A, 1);
  cairo_restore(cr);
}

// The rifles with one of them firing: frame 0 aimed, 1 flash and tracer,
// 2 the tracer striking at the aim, 3 smoke at the muzzle, 4..5 settling.
constexpr int kFireFrames = 6;
Frames gunFire(bool leftFires) {
  const double recoil[kFireFrames] = {0, 8, 6, 3, 1, 0};
  Frames f;
  for (int i = 0; i < kFireFrames; i++) {
    Canvas c(kW, kGunH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, 0, -kGunY);
    drawRifle(cr, true, leftFires ? recoil[i] : 0, 0);
    drawRifle(cr, false, leftFires ? 0 : recoil[i], 0);
    const Rifle r = rifle(leftFires);
    const double ax = aimX(leftFires), ay = kFeetY - kChestUp;
    const double len = std::hypot(r.mx - r.bx, r.my - r.by);
    const double ux = (r.mx - r.bx) / len, uy = (r.my - r.by) / len;
    const double mx = r.mx - ux * recoil[i], my = r.my - uy * recoil[i];
    if (i == 1 || i == 2) {
      // Tracer from the muzzle (frame 1) or its far half (frame 2) to the aim.
      const double from = i == 1 ? 0.0 : 0.55;
      const double sx = mx + (ax - mx) * from, sy = my + (ay - my) * from;
      cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
      for (int pass = 0; pass < 2; pass++) {
        cairo_move_to(cr, sx, sy);
        cairo_line_to(cr, ax, ay);
        rgb(cr, pass ? 0xFFFFE0 : 0xFFB030, pass ? 0.95 : 0.45);
        cairo_set_line_width(cr, pass ? 1.6 : 5);
        cairo_stroke(cr);
      }
    }
    if (i == 1) {
      burstPath(cr, mx + ux * 9, my + uy * 9, 5, 17, 8, 0.3);
      rgb(cr, 0xFFE060);
      cairo_fill_preserve(cr);
      rgb(cr, 0xFF7010);
      cairo_set_line_width(cr, 1.4);
      cairo_stroke(cr);
      cairo_arc(cr, mx + ux * 9, my + uy * 9, 5, 0, 2 * kPi);
      rgb(cr, 0xFFFFF4);
      cairo_fill(cr);
    }
    if (i == 2) {
      burstPath(cr, mx + ux * 6, my + uy * 6, 3, 9, 7, 0.1);
      rgb(cr, 0xFFD050, 0.9);
      cairo_fill(cr);
      burstPath(cr, ax, ay, 3, 10, 6, 0.4);  // the spark where it strikes
      rgb(cr, 0xFFF8C0);
      cairo_fill(cr);
    }
    if (i >= 3 && i <= 5) {
      const double s = i - 2;
      cairo_arc(cr, mx + ux * (6 + 5 * s), my + uy * (6 + 5 * s) - 3 * s, 4 + 3 * s, 0, 2 * kPi);
      rgb(cr, 0xC8C4CC, 0.75 - 0.2 * s);
      cairo_fill(cr);
    }
    f.add(c, 0, 0);
  }
  return f;
}

// Loading: both rifles pulled back and down, a pellet shown into each
// breech, then up again; frame 0 is the rest the gallery shows when ready.
constexpr int kReloadFrames = 8;
Frames gunReload() {
  const double back[kReloadFrames] = {0, 10, 22, 30, 30, 22, 10, 0};
  Frames f;
  for (int i = 0; i < kReloadFrames; i++) {
    Canvas c(kW, kGunH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, 0, -kGunY);
    for (bool left : {true, false}) {
      drawRifle(cr, left, back[i], back[i] * 0.4);
      if (i >= 2 && i <= 5) {
        const Rifle r = rifle(left);
        const double len = std::hypot(r.mx - r.bx, r.my - r.by);
        const double ux = (r.mx - r.bx) / len, uy = (r.my - r.by) / len;
        const double bx = r.bx + ux * (60 - back[i]), by = r.by + uy * (60 - back[i]) + back[i] * 0.4;
        const double lift = (5 - i) * 7;
        ellipse(cr, bx, by - lift - 4, 4, 5.5);  // the pellet going in
        linear(cr, bx - 4, 0, bx + 4, 0, 0xFFE8A0, 0xA07020);
        fillSourceInk(cr, 1);
        if (i == 5) {
          burstPath(cr, bx, by - 4, 2, 8, 6);
          rgb(cr, 0xFFFFFF, 0.85);
          cairo_fill(cr);
        }
      }
    }
    f.add(c);
  }
  return f;
}

// ---------------------------------------------------------------------------
// The poster.

// The gallery's poster: a target with a deputy running across it.
Frames poster(Lettering& font) {
  Frames f;
  Canvas c(120, 90);
  cairo_t* cr = c.cr;
  roundRect(cr, 1, 1, 118, 88, 6);
  linear(cr, 0, 0, 0, 90, 0x2A2050, 0xB04030);
  fillSourceInk(cr, 2);
  const uint32_t rings[3] = {0xF8F4EC, 0xD42A20, 0xF8F4EC};
  for (int i = 0; i < 3; i++) {
    cairo_arc(cr, 60, 40, 28 - 9 * i, 0, 2 * kPi);
    rgb(cr, rings[i]);
    cairo_fill(cr);
  }
  Pose p;
  p.phase = 1.2;
  cairo_save(cr);
  cairo_translate(cr, 58, 70);
  cairo_scale(cr, 0.62, 0.62);
  deputyAt(cr, kBig, p, 0, 0, true, 0);
  cairo_restore(cr);
  font.path(cr, "ТИР", 60, 84, 13);
  fillInk(cr, 0xFFE070, 1);
  f.add(c);
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("Usage: pbdeputy GAMEDIR\n"
              "Draws the shooting gallery's sprites (the booth, the smoke, the\n"
              "corners, four kinds of running and falling deputies, the rifles\n"
              "and a poster) into GAMEDIR/data/deputy.");
    return 0;
  }
  if (argc != 2) {
    std::fputs("usage: pbdeputy GAMEDIR (see --help)\n", stderr);
    return 1;
  }
  Lettering font;
  if (!font.load()) {
    std::fputs("pbdeputy: can't load the lettering font\n", stderr);
    return 1;
  }
  const std::string dir = dataDir(argv[1], "deputy");
  bool ok = write(dir, "back.gsp", GSP_CM_565, background(font)) &&
            write(dir, "smoke.gsp", GSP_CM_565_ALPHA, smoke()) &&
            write(dir, "corners.gsp", GSP_CM_565_ALPHA, corners(kScrX, kScrY, kW, kH)) &&
            write(dir, "image.gsp", GSP_CM_565_ALPHA, poster(font)) &&
            write(dir, "gun-left.gsp", GSP_CM_565_ALPHA, gunFire(true)) &&
            write(dir, "gun-right.gsp", GSP_CM_565_ALPHA, gunFire(false)) &&
            write(dir, "gun-reload.gsp", GSP_CM_565_ALPHA, gunReload());
  for (bool big : {false, true})
    for (bool left : {true, false}) {
      const std::string tail = std::string(left ? "l" : "r") + (big ? "-big" : "-small") + ".gsp";
      ok = ok && write(dir, ("run-" + tail).c_str(), GSP_CM_565_ALPHA, runSprite(big ? kBig : kSmall, left)) &&
           write(dir, ("die-" + tail).c_str(), GSP_CM_565_ALPHA, dieSprite(big ? kBig : kSmall, left));
    }
  if (!ok) return 1;
  std::printf("pbdeputy: the shooting gallery's sprites written to %s\n", dir.c_str());
  return 0;
}
