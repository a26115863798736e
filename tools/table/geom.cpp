#include "table/geom.h"

#include <algorithm>
#include <cmath>

namespace tbl {

double dot(P2 a, P2 b) { return a.x * b.x + a.y * b.y; }
double cross(P2 a, P2 b) { return a.x * b.y - a.y * b.x; }
double len(P2 a) { return std::sqrt(dot(a, a)); }
P2 unit(P2 a) {
  const double l = len(a);
  return l > 0 ? P2{a.x / l, a.y / l} : P2{0, 0};
}
double dot3(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
P3 cross3(P3 a, P3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double len3(P3 a) { return std::sqrt(dot3(a, a)); }
P3 unit3(P3 a) {
  const double l = len3(a);
  return l > 0 ? P3{a.x / l, a.y / l, a.z / l} : P3{0, 0, 0};
}
P2 rotate(P2 a, double degrees) {
  const double c = std::cos(degrees * kDeg), s = std::sin(degrees * kDeg);
  return {a.x * c - a.y * s, a.x * s + a.y * c};
}

double signedArea2(const std::vector<P2>& poly) {
  double s = 0;
  for (size_t i = 0; i < poly.size(); i++) {
    const P2 a = poly[i], b = poly[(i + 1) % poly.size()];
    s += a.x * b.y - b.x * a.y;
  }
  return s;
}

void orientOutline(std::vector<P2>* poly) {
  if (signedArea2(*poly) < 0) std::reverse(poly->begin(), poly->end());
}

void dropDuplicates(std::vector<P2>* poly, double eps) {
  std::vector<P2> out;
  for (const P2& p : *poly)
    if (out.empty() || len(p - out.back()) > eps) out.push_back(p);
  while (out.size() > 1 && len(out.front() - out.back()) <= eps) out.pop_back();
  *poly = out;
}

std::vector<P2> arcPoints(P2 c, double r, double a0, double a1, double step) {
  const double sweep = std::fabs(a1 - a0) * kDeg * r;
  const double want = std::ceil(sweep / std::max(step, 0.01)) + 1;
  const int n = static_cast<int>(std::clamp(want, 2.0, 4096.0));
  std::vector<P2> out;
  for (int i = 0; i < n; i++) {
    const double a = (a0 + (a1 - a0) * i / (n - 1)) * kDeg;
    out.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
  }
  return out;
}

std::vector<P2> circlePoints(P2 c, double r, int n) {
  std::vector<P2> out;
  for (int i = 0; i < n; i++) {
    const double a = 2 * M_PI * i / n;
    out.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
  }
  return out;
}

void strokeSides(const std::vector<P2>& line, double w, std::vector<P2>* left, std::vector<P2>* right) {
  left->clear();
  right->clear();
  const size_t n = line.size();
  const double h = w / 2;
  for (size_t i = 0; i < n; i++) {
    P2 dPrev{0, 0}, dNext{0, 0};
    if (i > 0) dPrev = unit(line[i] - line[i - 1]);
    if (i + 1 < n) dNext = unit(line[i + 1] - line[i]);
    if (i == 0) dPrev = dNext;
    if (i + 1 == n) dNext = dPrev;
    // Left normal in table coordinates (y down): (dy, -dx) lies to the left
    // of a walker looking along d on the screen.
    const P2 nPrev{dPrev.y, -dPrev.x}, nNext{dNext.y, -dNext.x};
    P2 m = unit(nPrev + nNext);
    if (len(m) == 0) m = nNext;
    const double c = std::max(0.3, dot(m, nNext));  // mitre length capped
    const P2 off = m * (h / c);
    left->push_back(line[i] + off);
    right->push_back(line[i] - off);
  }
}

std::vector<P2> strokeOutline(const std::vector<P2>& line, double w) {
  std::vector<P2> l, r;
  strokeSides(line, w, &l, &r);
  std::vector<P2> out = l;
  for (size_t i = r.size(); i-- > 0;) out.push_back(r[i]);
  dropDuplicates(&out);
  orientOutline(&out);
  return out;
}

namespace {

bool inTriangle(P2 p, P2 a, P2 b, P2 c) {
  const double d1 = cross(b - a, p - a), d2 = cross(c - b, p - b), d3 = cross(a - c, p - c);
  const bool neg = d1 < 0 || d2 < 0 || d3 < 0, pos = d1 > 0 || d2 > 0 || d3 > 0;
  return !(neg && pos);
}

}  // namespace

std::vector<int> triangulate(const std::vector<P2>& poly) {
  std::vector<int> out;
  const int n = static_cast<int>(poly.size());
  if (n < 3) return out;
  std::vector<int> idx(n);
  for (int i = 0; i < n; i++) idx[i] = i;
  const double sign = signedArea2(poly) >= 0 ? 1.0 : -1.0;
  int guard = 0;
  while (idx.size() > 3 && guard < 100000) {
    guard++;
    bool clipped = false;
    const int m = static_cast<int>(idx.size());
    for (int i = 0; i < m; i++) {
      const int ia = idx[(i + m - 1) % m], ib = idx[i], ic = idx[(i + 1) % m];
      const P2 a = poly[ia], b = poly[ib], c = poly[ic];
      if (cross(b - a, c - b) * sign <= 1e-12) continue;  // reflex or flat
      bool empty = true;
      for (int j = 0; j < m && empty; j++) {
        const int k = idx[j];
        if (k == ia || k == ib || k == ic) continue;
        if (inTriangle(poly[k], a, b, c)) empty = false;
      }
      if (!empty) continue;
      out.push_back(ia);
      out.push_back(ib);
      out.push_back(ic);
      idx.erase(idx.begin() + i);
      clipped = true;
      break;
    }
    if (!clipped) {
      // Self-touching or degenerate remainder: fan it out.
      for (size_t i = 1; i + 1 < idx.size(); i++) {
        out.push_back(idx[0]);
        out.push_back(idx[i]);
        out.push_back(idx[i + 1]);
      }
      return out;
    }
  }
  if (idx.size() == 3) {
    out.push_back(idx[0]);
    out.push_back(idx[1]);
    out.push_back(idx[2]);
  }
  return out;
}

bool pointInPolygon(const std::vector<P2>& poly, P2 p) {
  bool in = false;
  for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
    const P2 a = poly[i], b = poly[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

void bounds(const std::vector<P2>& poly, double* x0, double* y0, double* x1, double* y1) {
  *x0 = *y0 = 1e300;
  *x1 = *y1 = -1e300;
  for (const P2& p : poly) {
    *x0 = std::min(*x0, p.x);
    *y0 = std::min(*y0, p.y);
    *x1 = std::max(*x1, p.x);
    *y1 = std::max(*y1, p.y);
  }
}

double polylineLength(const std::vector<P3>& line) {
  double s = 0;
  for (size_t i = 1; i < line.size(); i++) s += len3(line[i] - line[i - 1]);
  return s;
}

std::vector<P3> resample(const std::vector<P3>& line, double spacing) {
  std::vector<P3> out;
  if (line.size() < 2 || spacing <= 0) return out;
  // Walks the polyline from point to point so that consecutive points are
  // exactly `spacing` apart (straight-line distance): the board places a
  // ball between two track points by linear interpolation, so equal chords
  // are what make trackpos a true distance.
  P3 cur = line[0];
  out.push_back(cur);
  size_t seg = 0;   // segment line[seg] .. line[seg + 1] holding cur
  double t0 = 0;    // cur's parameter on it
  const double r2 = spacing * spacing;
  for (int guard = 0; guard < kMaxTrackPoints; guard++) {
    bool found = false;
    for (size_t k = seg; k + 1 < line.size() && !found; k++) {
      // The first point after cur on segment k at distance spacing from cur.
      const P3 a = line[k], d = line[k + 1] - line[k];
      const double dd = dot3(d, d);
      if (dd <= 0) continue;
      const P3 f = a - cur;
      const double b = 2 * dot3(f, d), c = dot3(f, f) - r2;
      const double disc = b * b - 4 * dd * c;
      if (disc < 0) continue;
      const double t = (-b + std::sqrt(disc)) / (2 * dd);  // the far root: forwards
      const double from = k == seg ? t0 : 0.0;
      if (t < from - 1e-12 || t > 1 + 1e-12) continue;
      cur = a + d * t;
      seg = k;
      t0 = t;
      out.push_back(cur);
      found = true;
    }
    if (!found) break;
  }
  // The end itself: one more step along the last segment, past the end by
  // less than a spacing, keeps the last chord equal too.
  const P3 dir = unit3(line.back() - line[line.size() - 2]);
  if (len3(line.back() - out.back()) > 1e-9) out.push_back(out.back() + dir * spacing);
  return out;
}

}  // namespace tbl
