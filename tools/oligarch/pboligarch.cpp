// pboligarch GAMEDIR: draws the gold catching game's sprites into
// GAMEDIR/data/oligarch/ with cairo. The scene is the treasury's vault:
// gold bars come out of four lion-head spouts and slide down four gilded
// chutes, two on the left and two on the right, one above the other; the
// figure in the middle holds its money sack under one chute end at a time.
// The surface of the subgame screen is 620 x 400 pixels at (90, 100) on the
// display; conf/oligarch.conf places every sprite from that corner. The
// left-hand chutes' sprites serve the right-hand ones mirrored.
//   back.gsp        the vault with the four chutes, the floor and the
//                   plaques for the lives and the score.
//   corners.gsp     the steel fillets rounding the surface's corners, 4
//                   frames, placed from the display's origin.
//   body.gsp        the figure in a suit holding the sack, 4 frames by
//                   position: 0 upper left, 1 upper right, 2 lower left,
//                   3 lower right (crouching for the lower chutes).
//   head0..2.gsp    the three regimes' heads over that body, 4 frames by
//                   position: a party boss in a fur hat with a star, a
//                   grinning banker with slicked hair, a general in a
//                   peaked cap.
//   gold.gsp        a bar on the upper left chute, 5 frames, one per step
//                   from the spout to the chute's end (the lower chute is
//                   the same, 120 pixels lower).
//   face.gsp        the lion-head spout over a chute, 4 frames, its jaw
//                   opening and closing.
//   trans.gsp       the drive wheel at the head of a chute, 8 frames, one
//                   tooth's turn.
//   cloud.gsp       a cloud of cigar smoke over a chute, 8 frames, drifting
//                   and coming back.
//   dropped1.gsp    a bar falling to the floor and breaking in two, 8 frames.
//   dropped2.gsp    a bar falling and bursting into coins, 8 frames.
//   gleft.gsp       a small bar, one for every life left.
//   digits.gsp      the score's gold digits 0..9.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "deputy/paint.h"

namespace {

using namespace paint;

constexpr int kW = 620, kH = 400;       // the surface
constexpr int kScrX = 90, kScrY = 100;  // its corner on the display

// The upper left chute's top edge, from the spout to its end; the lower
// chute is kLowerDy lower; the right ones are mirrored about the middle.
constexpr double kChuteX0 = 40, kChuteY0 = 80, kChuteX1 = 214, kChuteY1 = 148;
constexpr double kLowerDy = 120;
// The gold sprite's canvas (upper left chute) on the surface.
constexpr int kGoldX = 20, kGoldY = 40, kGoldW = 210, kGoldH = 130;
constexpr int kGoldSteps = 5;
// The figure's canvas.
constexpr int kBodyX = 150, kBodyY = 96, kBodyW = 320, kBodyH = 250;
constexpr double kFloorY = 336;
// The decorations' canvases over the upper left chute.
constexpr int kFaceX = 4, kFaceY = 14, kFaceW = 64, kFaceH = 62;
constexpr int kTransX = 8, kTransY = 76, kTransW = 40, kTransH = 40;
constexpr int kCloudX = 70, kCloudY = 4, kCloudW = 130, kCloudH = 60;
// Broken bars on the floor under the left chutes' ends (the right ones at
// the mirrored place; conf/oligarch.conf places both, at (168, 300) and
// (356, 300) on the surface).
constexpr int kDropW = 96, kDropH = 64;
// Lives and score.
constexpr int kLifeX = 16, kLifeY = 371, kLifeStep = 27, kLifeW = 24, kLifeH = 14;
constexpr int kDigitRight = 604, kDigitY = 366, kDigitW = 20, kDigitH = 28, kDigitOneW = 14;

// A point of the upper left chute's top edge, t from 0 (spout) to 1 (end).
void chutePoint(double t, double* x, double* y) {
  *x = kChuteX0 + (kChuteX1 - kChuteX0) * t;
  *y = kChuteY0 + (kChuteY1 - kChuteY0) * t;
}
double chuteAngle() { return std::atan2(kChuteY1 - kChuteY0, kChuteX1 - kChuteX0); }

// ---------------------------------------------------------------------------
// Gold.

// An ingot of width w lying on its base at the origin, turned by the
// caller; the top face catches the light.
void ingot(cairo_t* cr, double w) {
  const double h = w * 0.42, top = w * 0.72;
  cairo_move_to(cr, -w / 2, 0);
  cairo_line_to(cr, w / 2, 0);
  cairo_line_to(cr, top / 2, -h);
  cairo_line_to(cr, -top / 2, -h);
  cairo_close_path(cr);
  cairo_pattern_t* g = cairo_pattern_create_linear(0, -h, 0, 0);
  stop(g, 0, 0xFFF0A0);
  stop(g, 0.45, 0xF0C040);
  stop(g, 1, 0xA06810);
  cairo_set_source(cr, g);
  cairo_pattern_destroy(g);
  fillSourceInk(cr, std::max(1.0, w / 22));
  cairo_move_to(cr, -top / 2 + 2, -h + 2);
  cairo_line_to(cr, top / 2 - 2, -h + 2);
  rgb(cr, 0xFFFFF0, 0.8);
  cairo_set_line_width(cr, std::max(0.8, w / 26));
  cairo_stroke(cr);
  if (w > 20) {  // the assay stamp
    roundRect(cr, -w * 0.16, -h * 0.7, w * 0.32, h * 0.38, 1.5);
    rgb(cr, 0x8A5A10, 0.6);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
}

Frames gold() {
  Frames f;
  const double a = chuteAngle();
  const double ts[kGoldSteps] = {0.08, 0.3, 0.52, 0.74, 0.96};
  for (int i = 0; i < kGoldSteps; i++) {
    Canvas c(kGoldW, kGoldH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, -kGoldX, -kGoldY);
    double x, y;
    chutePoint(ts[i], &x, &y);
    cairo_translate(cr, x, y);
    // Sliding along the chute, tipping over its end on the last step.
    cairo_rotate(cr, a + (i == kGoldSteps - 1 ? 0.35 : 0));
    cairo_translate(cr, 0, -1);
    ingot(cr, 30);
    // A glint that runs along the bar.
    starPath(cr, -8 + 5 * i, -11, 4, 0.3 * i);
    rgb(cr, 0xFFFFFF, 0.9);
    cairo_fill(cr);
    f.add(c);
  }
  return f;
}

// ---------------------------------------------------------------------------
// The vault.

void chute(cairo_t* cr, double dy) {
  double x0 = kChuteX0, y0 = kChuteY0 + dy, x1 = kChuteX1, y1 = kChuteY1 + dy;
  // The trough: a gilded board with a raised front lip.
  cairo_move_to(cr, x0 - 8, y0 - 3);
  cairo_line_to(cr, x1, y1);
  cairo_line_to(cr, x1, y1 + 14);
  cairo_line_to(cr, x0 - 8, y0 + 11);
  cairo_close_path(cr);
  linear(cr, 0, y0, 0, y0 + 14, 0xE8C060, 0x6A4010);
  fillSourceInk(cr, 1.6);
  cairo_move_to(cr, x0 - 8, y0 + 3);
  cairo_line_to(cr, x1, y1 + 6);
  rgb(cr, 0x5A3008, 0.7);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  // Brackets holding it to the wall.
  for (double t : {0.25, 0.7}) {
    const double bx = x0 + (x1 - x0) * t, by = y0 + (y1 - y0) * t + 14;
    cairo_move_to(cr, bx, by);
    cairo_line_to(cr, bx - 14, by + 22);
    cairo_line_to(cr, bx - 18, by + 22);
    cairo_line_to(cr, bx - 6, by);
    cairo_close_path(cr);
    fillInk(cr, 0x3A3A44, 1.2);
  }
  // The end of the chute, a rounded lip.
  ellipse(cr, x1, y1 + 7, 3.5, 8);
  fillInk(cr, 0xF0D070, 1.2);
  // The spout's dark mouth in the wall at the head of the chute.
  ellipse(cr, x0 - 6, y0 + 2, 8, 12);
  fillInk(cr, 0x140808, 1.6);
}

Frames background(Lettering& font) {
  Frames f;
  Canvas c(kW, kH);
  cairo_t* cr = c.cr;
  // Damask walls: dark red with a lozenge pattern.
  cairo_rectangle(cr, 0, 0, kW, kFloorY);
  linear(cr, 0, 0, 0, kFloorY, 0x6A1418, 0x2A0608);
  cairo_fill(cr);
  for (int row = 0; row < 14; row++)
    for (int col = 0; col < 22; col++) {
      const double x = col * 30 + (row % 2) * 15, y = 10 + row * 24;
      cairo_move_to(cr, x, y - 8);
      cairo_line_to(cr, x + 6, y);
      cairo_line_to(cr, x, y + 8);
      cairo_line_to(cr, x - 6, y);
      cairo_close_path(cr);
      rgb(cr, 0xE0A040, 0.1);
      cairo_fill(cr);
    }
  // Gilded pilasters framing the middle, and the cornice.
  for (double x : {236.0, 384.0}) {
    cairo_rectangle(cr, x - 9, 10, 18, kFloorY - 10);
    linear(cr, x - 9, 0, x + 9, 0, 0x6A4410, 0xE8C060);
    cairo_fill(cr);
    cairo_rectangle(cr, x - 9, 10, 18, kFloorY - 10);
    rgb(cr, 0x2A1404);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
  }
  cairo_rectangle(cr, 0, 0, kW, 12);
  linear(cr, 0, 0, 0, 12, 0xFFE8A0, 0x8A5A10);
  cairo_fill(cr);
  // The round window in the middle: the night, the fortress tower and its
  // star, and the bars of the vault.
  const double wx = 310, wy = 70, wr = 46;
  cairo_arc(cr, wx, wy, wr + 6, 0, 2 * kPi);
  linear(cr, wx - wr, wy - wr, wx + wr, wy + wr, 0xFFE8A0, 0x7A4A10);
  fillSourceInk(cr, 1.4);
  cairo_save(cr);
  cairo_arc(cr, wx, wy, wr, 0, 2 * kPi);
  cairo_clip(cr);
  cairo_rectangle(cr, wx - wr, wy - wr, 2 * wr, 2 * wr);
  linear(cr, 0, wy - wr, 0, wy + wr, 0x101838, 0x4A3060);
  cairo_fill(cr);
  cairo_rectangle(cr, wx - 10, wy - 6, 20, 60);
  linear(cr, wx - 10, 0, wx + 10, 0, 0x8A2E24, 0x4A1410);
  cairo_fill(cr);
  cairo_move_to(cr, wx - 13, wy - 6);
  cairo_line_to(cr, wx, wy - 32);
  cairo_line_to(cr, wx + 13, wy - 6);
  cairo_close_path(cr);
  rgb(cr, 0x2E5A3A);
  cairo_fill(cr);
  starPath(cr, wx, wy - 38, 6);
  rgb(cr, 0xFF3020);
  cairo_fill(cr);
  cairo_rectangle(cr, wx - wr, wy + 28, 2 * wr, 30);
  rgb(cr, 0x6A1E18);
  cairo_fill(cr);
  for (double x = wx - wr; x < wx + wr; x += 15) {
    cairo_rectangle(cr, x, wy - wr, 3, 2 * wr);
    linear(cr, x, 0, x + 3, 0, 0x9098A0, 0x30343A);
    cairo_fill(cr);
  }
  cairo_restore(cr);
  // The chutes, left ones and their mirror images.
  for (int side = 0; side < 2; side++) {
    cairo_save(cr);
    if (side == 1) {
      cairo_translate(cr, kW, 0);
      cairo_scale(cr, -1, 1);
    }
    chute(cr, 0);
    chute(cr, kLowerDy);
    cairo_restore(cr);
  }
  // The marble floor, and the plaques for the lives and the score.
  cairo_rectangle(cr, 0, kFloorY, kW, kH - kFloorY);
  linear(cr, 0, kFloorY, 0, kH, 0x5A5056, 0x2A2428);
  cairo_fill(cr);
  for (int i = -6; i < 22; i++) {  // slabs in perspective
    cairo_move_to(cr, 310 + (i - 8) * 28, kFloorY);
    cairo_line_to(cr, 310 + (i - 8) * 44, kH);
    rgb(cr, 0xFFFFFF, 0.08);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
  }
  cairo_rectangle(cr, 0, kFloorY, kW, 3);
  rgb(cr, 0xD8A840);
  cairo_fill(cr);
  roundRect(cr, kLifeX - 8, kLifeY - 7, kLifeStep * 10 + 6, kLifeH + 14, 6);
  rgb(cr, 0x140C0A, 0.75);
  cairo_fill_preserve(cr);
  rgb(cr, 0xC09030);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  roundRect(cr, kDigitRight - 5 * kDigitW - 8, kDigitY - 4, 5 * kDigitW + 16, kDigitH + 8, 6);
  rgb(cr, 0x140C0A, 0.75);
  cairo_fill_preserve(cr);
  rgb(cr, 0xC09030);
  cairo_stroke(cr);
  // The vault's motto over the window: "TREASURY".
  font.path(cr, "КАЗНА", wx, 140, 15);
  linear(cr, 0, 128, 0, 142, 0xFFF0B0, 0xB08020);
  fillSourceInk(cr, 0.8);
  f.add(c);
  return f;
}

// ---------------------------------------------------------------------------
// The figure.

// Where the figure stands and holds the sack in each position.
struct Stance {
  double cx;           // middle of the figure
  double hipY, neckX, neckY;
  double sackX, sackY; // the sack's mouth under the chute's end
  bool left;
};
Stance stance(int position) {
  const bool left = position % 2 == 0, low = position >= 2;
  Stance s;
  s.left = left;
  s.cx = left ? 286 : kW - 286;
  s.hipY = low ? 300 : 272;
  s.neckX = s.cx + (left ? -4 : 4);
  s.neckY = low ? 232 : 196;
  s.sackX = left ? kChuteX1 + 10 : kW - kChuteX1 - 10;
  s.sackY = kChuteY1 + (low ? kLowerDy : 0) + 22;
  return s;
}

void sack(cairo_t* cr, Lettering& font, double x, double y, bool left) {
  // A burlap sack with its mouth held open under the chute.
  cairo_save(cr);
  cairo_translate(cr, x, y);
  if (!left) cairo_scale(cr, -1, 1);
  cairo_move_to(cr, -18, -6);
  cairo_curve_to(cr, -34, 14, -26, 46, 2, 48);
  cairo_curve_to(cr, 30, 48, 34, 18, 18, -6);
  cairo_close_path(cr);
  linear(cr, -30, 0, 30, 40, 0xC8A070, 0x6A4A28);
  fillSourceInk(cr, 1.8);
  ellipse(cr, 0, -6, 19, 7);
  fillInk(cr, 0x2A1A0C, 1.6);
  for (int i = 0; i < 4; i++) {  // coins glinting inside
    ellipse(cr, -10 + 6.5 * i, -6 + (i % 2) * 2, 4, 2);
    fillInk(cr, 0xF0C040, 0.6);
  }
  cairo_restore(cr);
  font.path(cr, "$", x + (left ? -2 : 2), y + 34, 22);
  rgb(cr, 0x4A2A10);
  cairo_fill(cr);
}

Frames body(Lettering& font) {
  Frames f;
  for (int p = 0; p < 4; p++) {
    const Stance s = stance(p);
    const bool low = p >= 2;
    Canvas c(kBodyW, kBodyH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, -kBodyX, -kBodyY);
    const double dir = s.left ? -1 : 1;
    // Shadow and legs: straight when standing, bent in a crouch.
    ellipse(cr, s.cx, kFloorY + 1, 38, 6);
    rgb(cr, 0x000000, 0.35);
    cairo_fill(cr);
    for (int l = -1; l <= 1; l += 2) {
      const double hx = s.cx + 11 * l, fx = s.cx + 20 * l;
      const double kx = low ? s.cx + 30 * l : s.cx + 14 * l, ky = low ? s.hipY + 10 : s.hipY + 32;
      limb(cr, hx, s.hipY, kx, ky, 15, 0x24222C);
      limb(cr, kx, ky, fx, kFloorY - 6, 13, 0x24222C);
      ellipse(cr, fx + 5 * l, kFloorY - 3, 11, 5);
      fillInk(cr, 0x0E0C10, 1.2);
      ellipse(cr, fx + 6 * l, kFloorY - 5, 4, 1.5);
      rgb(cr, 0xFFFFFF, 0.35);
      cairo_fill(cr);
    }
    // The back arm holds the sack's far rim from behind the body.
    const double shY = s.neckY + 16;
    const double bx = (s.cx + 20 * dir + s.sackX + 14 * dir) / 2, by = std::max(shY, s.sackY) + 6;
    limb(cr, s.cx + 20 * dir, shY + 2, bx, by, 12, 0x1C1A24);
    limb(cr, bx, by, s.sackX + 14 * dir, s.sackY - 2, 11, 0x1C1A24);
    // The round body in a double-breasted suit with a gold watch chain.
    ellipse(cr, s.cx, (s.neckY + s.hipY) / 2 + 6, 40, (s.hipY - s.neckY) / 2 + 10);
    linear(cr, s.cx - 40, 0, s.cx + 40, 0, 0x3A3848, 0x16141C);
    fillSourceInk(cr, 2);
    cairo_move_to(cr, s.cx - 10, s.neckY + 4);
    cairo_line_to(cr, s.cx + 10, s.neckY + 4);
    cairo_line_to(cr, s.cx, s.neckY + 30);
    cairo_close_path(cr);
    fillInk(cr, 0xF4F0E8, 1);
    cairo_move_to(cr, s.cx - 3, s.neckY + 8);
    cairo_line_to(cr, s.cx + 3, s.neckY + 8);
    cairo_line_to(cr, s.cx + 4, s.neckY + 26);
    cairo_line_to(cr, s.cx, s.neckY + 30);
    cairo_line_to(cr, s.cx - 4, s.neckY + 26);
    cairo_close_path(cr);
    fillInk(cr, 0xB01818, 0.9);
    for (int b = 0; b < 3; b++)
      for (int l = -1; l <= 1; l += 2) {
        cairo_arc(cr, s.cx + 9 * l, s.neckY + 40 + 12 * b, 2.2, 0, 2 * kPi);
        fillInk(cr, 0xE0B040, 0.8);
      }
    cairo_move_to(cr, s.cx - 22, s.hipY - 18);
    cairo_curve_to(cr, s.cx - 10, s.hipY - 6, s.cx + 8, s.hipY - 6, s.cx + 22, s.hipY - 18);
    rgb(cr, 0xF0C850);
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
    // The sack, and the near arm holding its rim.
    sack(cr, font, s.sackX, s.sackY, s.left);
    // The front arm, from the chest to the sack's near rim.
    const double ex = (s.cx + 6 * dir + s.sackX - 14 * dir) / 2, ey = std::max(shY + 10, s.sackY) + 14;
    limb(cr, s.cx + 6 * dir, shY + 10, ex, ey, 13, 0x34323F);
    limb(cr, ex, ey, s.sackX - 14 * dir, s.sackY - 3, 12, 0x34323F);
    cairo_arc(cr, s.sackX - 14 * dir, s.sackY - 3, 6, 0, 2 * kPi);
    fillInk(cr, 0xF0B898, 1.2);
    cairo_arc(cr, s.sackX + 14 * dir, s.sackY - 2, 5.5, 0, 2 * kPi);
    fillInk(cr, 0xD8A080, 1.2);
    // The neck.
    ellipse(cr, s.neckX, s.neckY, 12, 6);
    fillInk(cr, 0xF0B898, 1.2);
    f.add(c);
  }
  return f;
}

// A head facing left at the origin (neck at (0, 0)); faceRight mirrors it.
void headShape(cairo_t* cr, int person) {
  const double r = 23, hy = -r + 4;
  const uint32_t skin = person == 1 ? 0xF0B890 : 0xF4C0A0;
  // Face and ear.
  ellipse(cr, 0, hy, r, r * 1.05);
  radial(cr, -4, hy - 4, r * 1.5, skin | 0x0C0C0C, skin & 0xE8B8A0);
  fillSourceInk(cr, 2);
  ellipse(cr, r * 0.55, hy + 2, 4.5, 6);
  fillInk(cr, skin, 1.4);
  // Nose, cheeks.
  ellipse(cr, -r * 0.9, hy + 2, 6, 5);
  radial(cr, -r * 0.9, hy + 1, 7, person == 0 ? 0xFF9080 : 0xFFC8B0, person == 0 ? 0xD05040 : 0xE09070);
  fillSourceInk(cr, 1.3);
  ellipse(cr, -r * 0.35, hy + 8, 5, 3.5);
  rgb(cr, 0xFF7060, 0.35);
  cairo_fill(cr);
  const double ex = -r * 0.45, ey = hy - 4;
  if (person == 2) {
    // Dark glasses and a heavy moustache; a stern straight mouth.
    roundRect(cr, ex - 9, ey - 5, 14, 9, 3);
    linear(cr, 0, ey - 5, 0, ey + 4, 0x3A4048, 0x050608);
    fillSourceInk(cr, 1.2);
    cairo_move_to(cr, ex + 5, ey - 2);
    cairo_line_to(cr, r * 0.55, ey - 3);
    rgb(cr, 0x1A1414);
    cairo_set_line_width(cr, 1.4);
    cairo_stroke(cr);
    cairo_move_to(cr, -r * 1.05, hy + 9);
    cairo_curve_to(cr, -r * 0.8, hy + 5, -r * 0.3, hy + 6, -r * 0.1, hy + 12);
    cairo_curve_to(cr, -r * 0.4, hy + 10, -r * 0.8, hy + 12, -r * 1.05, hy + 9);
    fillInk(cr, 0x2A2020, 1);
  } else {
    cairo_arc(cr, ex, ey, 2.4, 0, 2 * kPi);
    rgb(cr, 0x1A1414);
    cairo_fill(cr);
    cairo_arc(cr, ex - 0.8, ey - 0.8, 0.8, 0, 2 * kPi);
    rgb(cr, 0xFFFFFF);
    cairo_fill(cr);
  }
  if (person == 0) {
    // Bushy brows and a satisfied grin.
    cairo_move_to(cr, ex - 7, ey - 8);
    cairo_curve_to(cr, ex - 3, ey - 12, ex + 4, ey - 12, ex + 8, ey - 7);
    rgb(cr, 0x2A2020);
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
    cairo_arc(cr, -r * 0.55, hy + 10, 7, 0.3, kPi - 0.6);
    cairo_set_line_width(cr, 1.8);
    cairo_stroke(cr);
  }
  if (person == 1) {
    // A wide grin with white teeth.
    cairo_move_to(cr, -r * 0.95, hy + 9);
    cairo_curve_to(cr, -r * 0.7, hy + 19, -r * 0.2, hy + 18, -r * 0.05, hy + 9);
    cairo_close_path(cr);
    fillInk(cr, 0xFFFFFF, 1.3);
    cairo_move_to(cr, -r * 0.8, hy + 12);
    cairo_line_to(cr, -r * 0.15, hy + 12);
    rgb(cr, 0x1A1414, 0.6);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_move_to(cr, ex - 6, ey - 7);
    cairo_line_to(cr, ex + 5, ey - 8);
    rgb(cr, 0xA07830);
    cairo_set_line_width(cr, 2.2);
    cairo_stroke(cr);
  }
  if (person == 2) {
    // Short grey hair at the back.
    cairo_move_to(cr, r * 0.9, hy - 6);
    cairo_curve_to(cr, r * 1.05, hy + 4, r * 0.9, hy + 12, r * 0.7, hy + 14);
    rgb(cr, 0x6A6A70);
    cairo_set_line_width(cr, 4);
    cairo_stroke(cr);
  }
  // Headgear.
  if (person == 0) {
    // A fur hat with the flaps tied up and a red star on the front.
    roundRect(cr, -r * 1.05, hy - r * 1.45, r * 2.1, r * 0.9, 8);
    linear(cr, 0, hy - r * 1.45, 0, hy - r * 0.55, 0x8A6A4A, 0x4A3220);
    fillSourceInk(cr, 1.8);
    roundRect(cr, -r * 1.15, hy - r * 0.8, r * 2.3, r * 0.42, 5);
    linear(cr, 0, hy - r * 0.8, 0, hy - r * 0.38, 0xA08060, 0x5A4028);
    fillSourceInk(cr, 1.6);
    ellipse(cr, r * 0.75, hy - r * 0.3, 6, 9);  // the flap over the ear
    linear(cr, 0, hy - r * 0.7, 0, hy + 4, 0x9A7A58, 0x4A3220);
    fillSourceInk(cr, 1.4);
    starPath(cr, -r * 0.55, hy - r * 0.6, 6.5);
    fillInk(cr, 0xE02018, 1);
  } else if (person == 1) {
    // Slicked-back dark hair with a gloss.
    cairo_move_to(cr, r * 0.95, hy + 2);
    cairo_curve_to(cr, r * 1.2, hy - r * 1.3, -r * 0.6, hy - r * 1.6, -r * 1.15, hy - r * 0.55);
    cairo_curve_to(cr, -r * 0.7, hy - r * 0.9, 0, hy - r * 0.75, r * 0.45, hy - r * 0.25);
    cairo_curve_to(cr, r * 0.55, hy - r * 0.1, r * 0.65, hy, r * 0.95, hy + 2);
    cairo_close_path(cr);
    linear(cr, -r, hy - r * 1.4, r, hy, 0x6A4A30, 0x1E140C);
    fillSourceInk(cr, 1.6);
    cairo_move_to(cr, -r * 0.7, hy - r * 1.0);
    cairo_curve_to(cr, -r * 0.2, hy - r * 1.25, r * 0.4, hy - r * 1.15, r * 0.8, hy - r * 0.7);
    rgb(cr, 0xFFFFFF, 0.45);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
  } else {
    // A peaked cap, steel grey with a red band and a gold badge.
    cairo_move_to(cr, -r * 1.0, hy - r * 0.6);
    cairo_curve_to(cr, -r * 1.5, hy - r * 1.6, r * 1.3, hy - r * 1.7, r * 1.15, hy - r * 0.55);
    cairo_close_path(cr);
    linear(cr, 0, hy - r * 1.6, 0, hy - r * 0.6, 0x5A6460, 0x2A302E);
    fillSourceInk(cr, 1.8);
    cairo_rectangle(cr, -r * 1.0, hy - r * 0.78, r * 2.12, r * 0.28);
    fillInk(cr, 0xB01818, 1.4);
    cairo_move_to(cr, -r * 0.95, hy - r * 0.5);
    cairo_curve_to(cr, -r * 1.35, hy - r * 0.45, -r * 1.7, hy - r * 0.3, -r * 1.6, hy - r * 0.2);
    cairo_line_to(cr, -r * 0.8, hy - r * 0.42);
    cairo_close_path(cr);
    fillInk(cr, 0x101214, 1.2);
    burstPath(cr, -r * 0.65, hy - r * 1.05, 3, 7, 8);
    fillInk(cr, 0xF0C040, 0.8);
  }
}

Frames headSprite(int person) {
  Frames f;
  for (int p = 0; p < 4; p++) {
    const Stance s = stance(p);
    Canvas c(kBodyW, kBodyH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, -kBodyX, -kBodyY);
    cairo_translate(cr, s.neckX, s.neckY + 3);
    if (!s.left) cairo_scale(cr, -1, 1);
    // Looking up at the upper chutes, down at the lower ones.
    cairo_rotate(cr, p >= 2 ? -0.18 : 0.2);
    headShape(cr, person);
    f.add(c);
  }
  return f;
}

// ---------------------------------------------------------------------------
// Decorations over the upper left chute.

// The lion's head spouting the bars: the jaw opens in frames 1 and 2.
Frames face() {
  Frames f;
  const double open[4] = {0, 0.6, 1, 0.4};
  for (int i = 0; i < 4; i++) {
    Canvas c(kFaceW, kFaceH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, -kFaceX, -kFaceY);
    const double x = 36, y = 44;
    // The mane: a ring of gilded locks.
    for (int k = 0; k < 14; k++) {
      const double a = k * 2 * kPi / 14;
      ellipse(cr, x + 22 * std::cos(a), y + 21 * std::sin(a), 8, 8);
      linear(cr, x - 28, y - 28, x + 28, y + 28, 0xF8DC80, 0x8A5A10);
      fillSourceInk(cr, 1);
    }
    cairo_arc(cr, x, y, 20, 0, 2 * kPi);
    radial(cr, x, y, 24, 0xFFF0B0, 0xB08020);
    fillSourceInk(cr, 1.5);
    // Brows, eyes and the broad nose.
    for (int l = -1; l <= 1; l += 2) {
      cairo_move_to(cr, x + 4 * l, y - 10);
      cairo_line_to(cr, x + 14 * l, y - 7);
      rgb(cr, 0x5A3808);
      cairo_set_line_width(cr, 2.2);
      cairo_stroke(cr);
      cairo_arc(cr, x + 8 * l, y - 4, 2.2, 0, 2 * kPi);
      rgb(cr, 0x2A1A04);
      cairo_fill(cr);
    }
    cairo_move_to(cr, x - 6, y + 2);
    cairo_line_to(cr, x + 6, y + 2);
    cairo_line_to(cr, x, y + 8);
    cairo_close_path(cr);
    fillInk(cr, 0x8A5A10, 1);
    // The jaw, dropping open.
    const double jaw = 4 + 9 * open[i];
    ellipse(cr, x, y + 12 + jaw / 2, 9, jaw / 2 + 2);
    fillInk(cr, 0x3A0A06, 1.2);
    if (open[i] > 0.5) {  // a glint of gold in the mouth
      ellipse(cr, x, y + 13 + jaw / 2, 5, 2.2);
      rgb(cr, 0xF0C040);
      cairo_fill(cr);
    }
    cairo_move_to(cr, x - 8, y + 10);
    cairo_line_to(cr, x - 5, y + 14);
    cairo_line_to(cr, x - 2, y + 10);
    cairo_move_to(cr, x + 2, y + 10);
    cairo_line_to(cr, x + 5, y + 14);
    cairo_line_to(cr, x + 8, y + 10);
    rgb(cr, 0xFFFFF0);
    cairo_fill(cr);
    f.add(c);
  }
  return f;
}

// The drive wheel under the head of the chute, turning by one tooth over
// its 8 frames.
Frames trans() {
  Frames f;
  const int teeth = 10;
  for (int i = 0; i < 8; i++) {
    Canvas c(kTransW, kTransH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, -kTransX, -kTransY);
    const double x = 28, y = 96, r = 15;
    const double turn = (i / 8.0) * 2 * kPi / teeth;
    gearPath(cr, x, y, r, teeth, 0.8, turn);
    linear(cr, x - r, y - r, x + r, y + r, 0xE8ECF0, 0x3A4046);
    fillSourceInk(cr, 1.2);
    cairo_arc(cr, x, y, r * 0.45, 0, 2 * kPi);
    fillInk(cr, 0xC89830, 1);
    for (int k = 0; k < 3; k++) {  // spokes turning with it
      const double a = turn * 4 + k * 2 * kPi / 3;
      cairo_move_to(cr, x, y);
      cairo_line_to(cr, x + r * 0.6 * std::cos(a), y + r * 0.6 * std::sin(a));
    }
    rgb(cr, 0x2A2E34);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    cairo_arc(cr, x, y, 2.5, 0, 2 * kPi);
    rgb(cr, 0x1A1414);
    cairo_fill(cr);
    f.add(c);
  }
  return f;
}

// A cloud of cigar smoke, drifting right and back over 8 frames.
Frames cloud() {
  Frames f;
  for (int i = 0; i < 8; i++) {
    Canvas c(kCloudW, kCloudH);
    cairo_t* cr = c.cr;
    cairo_translate(cr, -kCloudX, -kCloudY);
    const double s = std::sin(i * 2 * kPi / 8);
    const double x = 134 + 10 * s, y = 32 + 2 * std::cos(i * 2 * kPi / 8);
    const double puffs[5][3] = {{-30, 4, 13}, {-12, -6, 17}, {8, -4, 16}, {26, 4, 12}, {0, 7, 14}};
    cairo_push_group(cr);
    for (const auto& p : puffs) {
      cairo_arc(cr, x + p[0] * (1 + 0.04 * s), y + p[1], p[2] * (1 + 0.05 * s), 0, 2 * kPi);
      radial(cr, x + p[0], y + p[1], p[2] * 1.2, 0xF4ECF4, 0xA898B0);
      cairo_fill(cr);
    }
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, 0.7);
    f.add(c);
  }
  return f;
}

// ---------------------------------------------------------------------------
// Broken bars on the floor, drawn for the left chutes' ends; the right
// place uses the same pictures.

Frames dropped(bool coins) {
  Frames f;
  const double cx = kDropW / 2.0, floor = kDropH - 14;
  Rand rnd(coins ? 5 : 3);
  struct Bit {
    double vx, vy, spin;
  };
  Bit bits[9];
  for (auto& b : bits) b = {rnd.range(-6, 6), rnd.range(-7, -3), rnd.range(-0.8, 0.8)};
  for (int i = 0; i < 8; i++) {
    Canvas c(kDropW, kDropH);
    cairo_t* cr = c.cr;
    const double alpha = i >= 5 ? (8 - i) / 4.0 : 1;
    cairo_push_group(cr);
    if (i == 0) {
      // Falling in, tilted.
      cairo_save(cr);
      cairo_translate(cr, cx, floor - 16);
      cairo_rotate(cr, 0.5);
      ingot(cr, 36);
      cairo_restore(cr);
    } else if (i == 1) {
      // The impact.
      burstPath(cr, cx, floor - 4, 5, 16, 10, 0.2);
      rgb(cr, 0xFFF4B0, 0.9);
      cairo_fill(cr);
      cairo_save(cr);
      cairo_translate(cr, cx, floor);
      ingot(cr, 36);
      cairo_restore(cr);
    } else if (!coins) {
      // Two halves bouncing apart and tipping over.
      const double t = i - 1;
      for (int h = -1; h <= 1; h += 2) {
        cairo_save(cr);
        const double hop = std::max(0.0, 9 * t - 3 * t * t);
        cairo_translate(cr, cx + h * (3 + 4 * t), floor - hop);
        cairo_rotate(cr, h * std::min(0.45, 0.15 * t));
        cairo_rectangle(cr, h < 0 ? -20 : 0, -18, 20, 20);
        cairo_clip(cr);
        ingot(cr, 36);
        cairo_restore(cr);
      }
    } else {
      // Coins and nuggets scattering.
      const double t = i - 1;
      for (const auto& b : bits) {
        const double x = cx + b.vx * t, y = std::min(floor - 3, floor - 8 + b.vy * t + 1.1 * t * t);
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_rotate(cr, b.spin * t);
        ellipse(cr, 0, 0, 4.5, 3);
        fillInk(cr, (&b - bits) % 3 ? 0xF0C040 : 0xFFE890, 0.8);
        cairo_restore(cr);
      }
    }
    if (i >= 2) {  // dust
      const double t = i - 1;
      for (int k = -1; k <= 1; k++) {
        cairo_arc(cr, cx + k * (12 + 4 * t), floor - 1 - t, 3 + 1.2 * t, 0, 2 * kPi);
        rgb(cr, 0xE0D8C8, std::max(0.0, 0.4 - 0.06 * t));
        cairo_fill(cr);
      }
    }
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, alpha);
    f.add(c);
  }
  return f;
}

// ---------------------------------------------------------------------------
// Lives and score.

Frames life() {
  Frames f;
  Canvas c(kLifeW, kLifeH);
  cairo_translate(c.cr, kLifeW / 2.0, kLifeH - 1);
  ingot(c.cr, kLifeW - 2);
  f.add(c);
  return f;
}

Frames digits(Lettering& font) {
  Frames f;
  for (int d = 0; d < 10; d++) {
    const int w = d == 1 ? kDigitOneW : kDigitW;
    Canvas c(w, kDigitH);
    cairo_t* cr = c.cr;
    const char text[2] = {static_cast<char>('0' + d), 0};
    font.path(cr, text, w / 2.0, kDigitH - 4, 26);
    linear(cr, 0, 2, 0, kDigitH - 4, 0xFFF4C0, 0xC08818);
    fillSourceInk(cr, 1.2);
    f.add(c);
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::puts("Usage: pboligarch GAMEDIR\n"
              "Draws the gold catching game's sprites (the vault, the figure and\n"
              "the three heads, the bars, the chutes' decorations, the broken\n"
              "bars, the lives and the digits) into GAMEDIR/data/oligarch.");
    return 0;
  }
  if (argc != 2) {
    std::fputs("usage: pboligarch GAMEDIR (see --help)\n", stderr);
    return 1;
  }
  Lettering font;
  if (!font.load()) {
    std::fputs("pboligarch: can't load the lettering font\n", stderr);
    return 1;
  }
  const std::string dir = dataDir(argv[1], "oligarch");
  bool ok = write(dir, "back.gsp", GSP_CM_565, background(font)) &&
            write(dir, "corners.gsp", GSP_CM_565_ALPHA, corners(kScrX, kScrY, kW, kH)) &&
            write(dir, "body.gsp", GSP_CM_565_ALPHA, body(font)) &&
            write(dir, "gold.gsp", GSP_CM_565_ALPHA, gold()) && write(dir, "face.gsp", GSP_CM_565_ALPHA, face()) &&
            write(dir, "trans.gsp", GSP_CM_565_ALPHA, trans()) &&
            write(dir, "cloud.gsp", GSP_CM_565_ALPHA, cloud()) &&
            write(dir, "dropped1.gsp", GSP_CM_565_ALPHA, dropped(false)) &&
            write(dir, "dropped2.gsp", GSP_CM_565_ALPHA, dropped(true)) &&
            write(dir, "gleft.gsp", GSP_CM_565_ALPHA, life()) &&
            write(dir, "digits.gsp", GSP_CM_565_ALPHA, digits(font));
  for (int person = 0; person < 3 && ok; person++) {
    const std::string name = "head" + std::to_string(person) + ".gsp";
    ok = write(dir, name.c_str(), GSP_CM_565_ALPHA, headSprite(person));
  }
  if (!ok) return 1;
  std::printf("pboligarch: the gold catching game's sprites written to %s\n", dir.c_str());
  return 0;
}
