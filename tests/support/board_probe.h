#pragma once
// Where a ball would stand among the table objects of a loaded board: the
// distance from a point to an object's outline as it lies on the board and
// the objects a ball of a given size would overlap. For the tests that put
// balls on the real table.
#include <cmath>

#include "physics/board.h"

// Signed distance from (x, y) to a table object's outline as it lies on the
// board (a flipper's at its rest angle): negative inside. The nearest point
// of the outline goes to near when given.
inline double outlineDistance(const BoardObject* o, double x, double y, Vec3* near = nullptr) {
  const Outline& ol = o->u.shape.outline;
  if (ol.n < 2 || !ol.vertices) return 1e9;
  double best = 1e9;
  bool inside = false;
  for (int i = 0, j = ol.n - 1; i < ol.n; j = i++) {
    const double ax = ol.pos.x + ol.vertices[j].x, ay = ol.pos.y + ol.vertices[j].y;
    const double bx = ol.pos.x + ol.vertices[i].x, by = ol.pos.y + ol.vertices[i].y;
    if ((ay > y) != (by > y) && x < ax + (bx - ax) * (y - ay) / (by - ay)) inside = !inside;
    const double ex = bx - ax, ey = by - ay, len2 = ex * ex + ey * ey;
    double t = len2 > 0 ? ((x - ax) * ex + (y - ay) * ey) / len2 : 0;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    const double d = std::hypot(x - ax - t * ex, y - ay - t * ey);
    if (d < best) {
      best = d;
      if (near) *near = Vec3{ax + t * ex, ay + t * ey, 0};
    }
  }
  return inside ? -best : best;
}

// The first live table object on the layers of lmask that a ball of radius
// r at (x, y) would overlap and that pick(object) accepts, or null.
template <class Pick>
BoardObject* overlappingObject(Board& board, double x, double y, double r, int lmask, Pick pick) {
  for (int i = 0; i < board.count; i++) {
    BoardObject* o = &board.objects[i];
    if (o->id < 0 || o->kind == BK_BALL || o->disabled || !(o->lmask & lmask) || !pick(o)) continue;
    const Outline& ol = o->u.shape.outline;
    if (x + r < ol.pos.x + ol.xmin || x - r > ol.pos.x + ol.xmax || y + r < ol.pos.y + ol.ymin ||
        y - r > ol.pos.y + ol.ymax)
      continue;
    if (outlineDistance(o, x, y) < r) return o;
  }
  return nullptr;
}
