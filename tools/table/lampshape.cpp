#include "table/lampshape.h"

#include <cmath>

namespace tbl {

std::vector<P2> lampShape(const Lamp& l) {
  std::vector<P2> local;
  const double a = l.a, b = l.b;
  if (l.shape == "circle") {
    local = circlePoints({0, 0}, a, 20);
  } else if (l.shape == "oval") {
    for (int i = 0; i < 24; i++) {
      const double t = 2 * M_PI * i / 24;
      local.push_back({a / 2 * std::cos(t), b / 2 * std::sin(t)});
    }
  } else if (l.shape == "rect") {
    local = {{-a / 2, -b / 2}, {a / 2, -b / 2}, {a / 2, b / 2}, {-a / 2, b / 2}};
  } else if (l.shape == "tri") {
    local = {{0, -b / 2}, {a / 2, b / 2}, {-a / 2, b / 2}};
  } else if (l.shape == "star") {
    for (int i = 0; i < 10; i++) {
      const double r = i % 2 ? a * 0.45 : a;
      const double t = (-90 + 36.0 * i) * kDeg;
      local.push_back({r * std::cos(t), r * std::sin(t)});
    }
  } else {
    // arrow: length a along the angle, width b; pointing at +x before turning
    local = {{a / 2, 0}, {-a / 6, b / 2}, {-a / 6, b / 4}, {-a / 2, b / 4}, {-a / 2, -b / 4}, {-a / 6, -b / 4},
             {-a / 6, -b / 2}};
  }
  std::vector<P2> out;
  for (const P2& p : local) out.push_back(l.at + rotate(p, l.angle));
  orientOutline(&out);
  return out;
}

std::vector<std::vector<P2>> digitSegments(int digit, P2 c, double w, double h) {
  // Segments a..g: top, top right, bottom right, bottom, bottom left, top left, middle.
  static const int kLit[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};
  const double t = std::max(1.2, w * 0.16), hw = w / 2 - t / 2, hh = h / 2 - t / 2;
  const double sl = 0.12;  // slant
  auto seg = [&](P2 a, P2 b) {
    const P2 d = unit(b - a), n{-d.y * t / 2, d.x * t / 2};
    const P2 a2 = a + d * (t / 2), b2 = b - d * (t / 2);
    std::vector<P2> p = {a2, a2 + n + d * (t / 2 - 0.01), b2 + n - d * (t / 2 - 0.01), b2,
                         b2 - n - d * (t / 2 - 0.01), a2 - n + d * (t / 2 - 0.01)};
    for (P2& q : p) q = {c.x + q.x - q.y * sl, c.y + q.y};
    orientOutline(&p);
    return p;
  };
  const P2 tl{-hw, -hh}, tr{hw, -hh}, ml{-hw, 0}, mr{hw, 0}, bl{-hw, hh}, br{hw, hh};
  const std::pair<P2, P2> ends[7] = {{tl, tr}, {tr, mr}, {mr, br}, {bl, br}, {ml, bl}, {tl, ml}, {ml, mr}};
  std::vector<std::vector<P2>> out;
  const int bits = kLit[((digit % 10) + 10) % 10];
  for (int s = 0; s < 7; s++)
    if (bits & (1 << s)) out.push_back(seg(ends[s].first, ends[s].second));
  return out;
}

P2 yearDigitCentre(const Model& m, int d) {
  const YearDisplay& y = m.year;
  const double step = y.digitW + 4;
  return {y.at.x + (d - 1.5) * step, y.at.y};
}

}  // namespace tbl
