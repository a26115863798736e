#include "physics/board.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "physics/broadphase.h"
#include "physics/track.h"

namespace {

Board* gActive = nullptr;

// The pair whose event a handler is handling, and whether the handler
// cleared that pair's contact itself (its BOARD_UNHIT then stands).
int gEventTarget = -1, gEventBall = -1;
bool gEventUnhit = false;

// A test that finds nothing reports this many times the remaining time; the
// step only takes times up to the remaining time.
constexpr double kNone = 101.0;
constexpr double kEps = 0.001;
// Added to a ball's swept box for the index. The swept tests compare the
// ball with a shape's box in the shape's frame, the index in table
// coordinates; within the index's coordinate limit the two differ by far
// less than this.
constexpr double kIndexMargin = 0.5;
constexpr int kMaxStalled = 1000;
// A cflipper's contact is reported this much of the step's fraction early,
// so that the ball is turned back before the fast-moving piece reaches it.
constexpr double kCFlipperEarly = 0.05;
// A ball riding a track bounces back along it only when it meets the shape
// nearly head on: the cosine between its direction and the contact normal
// must be below this (about 135 degrees).
constexpr double kTrackBounceCos = -0.7;
// After a shape bounce the ball gets this much extra speed along the normal,
// which keeps a ball at rest on a wall from sinking into it. A power of two,
// so the product is the same bits as the division by 32 it stands for.
constexpr double kPushOff = 1.0 / 32;

bool live(const BoardObject* o) { return o->id >= 0 && !o->fresh && !o->disabled; }

void setPair(Board* b, int i, int j, int on) {
  int m = b->maxObjects;
  // The index counts each slot's pairs in contact, to know when a ball's
  // partners all lie among its candidates.
  int was = b->pairs[i * m + j] & 1;
  if (b->index && was != (on ? 1 : 0)) {
    int d = on ? 1 : -1;
    b->index->contacts[i] += d;
    if (j != i) b->index->contacts[j] += d;
  }
  if (on) {
    b->pairs[i * m + j] |= 1;
    b->pairs[j * m + i] |= 1;
  } else {
    b->pairs[i * m + j] &= ~1;
    b->pairs[j * m + i] &= ~1;
  }
}

BoardObject* insert(const char* fn, BoardObject* record) {
  Board* b = gActive;
  if (!b) return nullptr;
  int slot = b->count;
  bool hole = false;
  if (b->holes > 0) {
    slot = -1;
    for (int i = 0; i < b->count; i++) {
      if (b->objects[i].id < 0) {
        slot = i;
        break;
      }
    }
    if (slot < 0) {
      logError(0, "%s: board %p logical error: %d hole(s) reported but none found", fn, static_cast<void*>(b),
               b->holes);
      return nullptr;
    }
    hole = true;
  }
  if (slot >= b->maxObjects) {
    logError(0, "%s: can't insert at pos %d, max_objects for board %p is %d", fn, slot, static_cast<void*>(b),
             b->maxObjects);
    return nullptr;
  }
  BoardObject* o = &b->objects[slot];
  *o = *record;
  o->id = slot;
  o->lmask = 1;
  BoardEvent e{};
  e.type = BE_CREATE;
  int r = o->handler ? o->handler(o, &e) : 0;
  if (r < 0) {
    std::memset(o, 0, sizeof *o);
    o->id = -1;
    logError(0, "%s: handler returned %d on BE_CREATE", fn, r);
    return nullptr;
  }
  if (hole)
    b->holes--;
  else
    b->count++;
  if (b->index) b->index->dirty = 1;
  if (o->kind == BK_SHAPE)
    logPrint("%s: new shape %d p-(%d,%d)", fn, slot, static_cast<int>(o->u.shape.outline.pos.x),
             static_cast<int>(o->u.shape.outline.pos.y));
  return o;
}

BoardObject makeRecord(int kind, BoardHandler handler, int user, int user2, void* parms) {
  BoardObject o;
  std::memset(&o, 0, sizeof o);
  o.kind = kind;
  o.handler = handler;
  o.user = user;
  o.user2 = user2;
  o.parms = parms;
  return o;
}

bool validId(const char* fn, int id) {
  if (id < 0 || id >= gActive->maxObjects) {
    logError(0, "%s: object ID %d is invalid, not in [0..%d]", fn, id, gActive->maxObjects - 1);
    return false;
  }
  return true;
}

// ---- Swept tests ----

// Smaller (or larger) root of |S + uD - C|^2 = r^2; false without one.
bool circleRoot(Vec3 S, Vec3 D, Vec3 C, double r, bool larger, double* u) {
  double px = S.x - C.x, py = S.y - C.y;
  double a = D.x * D.x + D.y * D.y;
  if (a == 0) return false;
  double bh = px * D.x + py * D.y;
  double c = px * px + py * py - r * r;
  double disc = bh * bh - a * c;
  if (disc < 0) return false;
  double sq = std::sqrt(disc);
  *u = larger ? (-bh + sq) / a : (-bh - sq) / a;
  return true;
}

// Unit direction of edge k: its normal turned back by a quarter turn.
Vec3 edgeDir(const EdgeLine& e) { return Vec3{e.ny, -e.nx, 0}; }

// The polygon test in the outline's frame: S and E are the ball's start and
// end relative to the outline position. Returns the fraction u of the time
// (kNone when nothing); the contact is in the outline's frame.
double polygonTest(const Outline* o, Vec3 S, Vec3 E, double r, bool exit, BoardContact* c) {
  if (o->n <= 0 || !o->vertices) return kNone;
  if (exit) r += kEps;
  double grow = r + kEps;
  double sx0 = (S.x < E.x ? S.x : E.x) - grow, sx1 = (S.x < E.x ? E.x : S.x) + grow;
  double sy0 = (S.y < E.y ? S.y : E.y) - grow, sy1 = (S.y < E.y ? E.y : S.y) + grow;
  if (sx1 < o->xmin || sx0 > o->xmax || sy1 < o->ymin || sy0 > o->ymax) return kNone;
  Vec3 D{E.x - S.x, E.y - S.y, 0};
  double best = kNone;
  int n = o->n;
  for (int i = 0; i < n; i++) {
    int prev = (i + n - 1) % n;
    Vec3 P = o->vertices[prev];
    Vec3 V = o->vertices[i];
    const EdgeLine& ei = o->edges[i];
    const EdgeLine& ep = o->edges[prev];
    Vec3 e{V.x - P.x, V.y - P.y, 0};
    // Convex corner at P.
    if (e.x * ep.nx + e.y * ep.ny >= 0) {
      double u;
      if (circleRoot(S, D, P, r, exit, &u) && u < best && u >= -kEps && u <= 1 + kEps) {
        if (u < 0) u = 0;
        Vec3 Q{S.x + u * D.x, S.y + u * D.y, 0};
        Vec3 dp = edgeDir(ep), di = edgeDir(ei);
        double qx = Q.x - P.x, qy = Q.y - P.y;
        if (dp.x * qx + dp.y * qy >= -kEps && di.x * qx + di.y * qy <= kEps) {
          best = u;
          c->kind = 0;
          c->index = prev;
          c->point = Q;
          c->normal = Vec3{qx / r, qy / r, 0};
        }
      }
    }
    // Edge i.
    double f0 = ei.nx * S.x + ei.ny * S.y - ei.d + r;
    double f1 = ei.nx * E.x + ei.ny * E.y - ei.d + r;
    bool cross = exit ? (f0 > f1 && f0 >= -kEps && f1 <= kEps) : (f0 < f1 && f0 <= kEps && f1 >= 0);
    if (cross) {
      double u = f0 / (f0 - f1);
      if (u < 0) u = 0;
      if (u > 1) u = 1;
      if (u < best) {
        Vec3 Q{S.x + u * D.x, S.y + u * D.y, 0};
        Vec3 di = edgeDir(ei);
        if (di.x * (Q.x - P.x) + di.y * (Q.y - P.y) >= -kEps && di.x * (Q.x - V.x) + di.y * (Q.y - V.y) <= kEps) {
          best = u;
          c->kind = 1;
          c->index = i;
          c->point = Q;
          c->normal = f0 <= 0 ? Vec3{-ei.nx, -ei.ny, 0} : Vec3{ei.nx, ei.ny, 0};
        }
      }
    }
  }
  return best;
}

// Where a ball is after R: on a track, the track point ahead; free, along
// its velocity.
Vec3 ballEnd(const BallData* b, double R) {
  if (b->track) {
    TrackVec p;
    TRACK_POINT(b->track, b->trackpos + R * b->trackvelo, &p);
    return Vec3{p.x, p.y, p.z};
  }
  return Vec3{b->pos.x + R * b->velo.x, b->pos.y + R * b->velo.y, b->pos.z};
}

// The objects a ball may touch within R, for the index: its swept box from
// where it is to where it would be after R, grown by its radius, the swept
// tests' tolerance for exits and a margin that covers the rounding between
// table and outline coordinates. -1: scan every object.
int ballCandidates(BoardIndex* index, const Board* b, const BoardObject* ball, double R) {
  const BallData* bd = &ball->u.ball;
  Vec3 e = ballEnd(bd, R);
  double grow = bd->radius + 2 * kEps + kIndexMargin;
  // A coordinate not a number would be dropped by fmin and fmax.
  if (std::isnan(bd->pos.x) || std::isnan(bd->pos.y) || std::isnan(e.x) || std::isnan(e.y) || std::isnan(grow))
    return -1;
  return bpCandidates(index, b, ball->id, std::fmin(bd->pos.x, e.x) - grow, std::fmin(bd->pos.y, e.y) - grow,
                      std::fmax(bd->pos.x, e.x) + grow, std::fmax(bd->pos.y, e.y) + grow);
}

double ballBall(const BoardObject* ball, const BoardObject* other, double R, BoardContact* c) {
  const BallData* a = &other->u.ball;
  const BallData* b = &ball->u.ball;
  Vec3 ae = ballEnd(a, R), be = ballEnd(b, R);
  double ra = a->radius, rb = b->radius;
  if (std::fmax(a->pos.x, ae.x) + ra < std::fmin(b->pos.x, be.x) - rb ||
      std::fmax(b->pos.x, be.x) + rb < std::fmin(a->pos.x, ae.x) - ra ||
      std::fmax(a->pos.y, ae.y) + ra < std::fmin(b->pos.y, be.y) - rb ||
      std::fmax(b->pos.y, be.y) + rb < std::fmin(a->pos.y, ae.y) - ra)
    return kNone * R;
  Vec3 P{b->pos.x - a->pos.x, b->pos.y - a->pos.y, 0};
  Vec3 D{(be.x - b->pos.x) - (ae.x - a->pos.x), (be.y - b->pos.y) - (ae.y - a->pos.y), 0};
  double u;
  if (!circleRoot(P, D, Vec3{0, 0, 0}, ra + rb, false, &u)) return kNone * R;
  if (u < -kEps || u > 1) return kNone * R;
  if (u < 0) u = 0;
  Vec3 pa{a->pos.x + u * (ae.x - a->pos.x), a->pos.y + u * (ae.y - a->pos.y), 0};
  Vec3 pb{b->pos.x + u * (be.x - b->pos.x), b->pos.y + u * (be.y - b->pos.y), 0};
  Vec3 n = vNormalize(vSub(pb, pa));
  c->kind = 0;
  c->index = 0;
  c->point = vAddScaled(pa, n, ra);
  c->normal = n;
  return u * R;
}

double ballShape(const BoardObject* ball, const BoardObject* shape, double R, bool exit, BoardContact* c) {
  const BallData* b = &ball->u.ball;
  const ShapeData* s = &shape->u.shape;
  Vec3 pos = s->outline.pos;
  Vec3 S{b->pos.x - pos.x, b->pos.y - pos.y, 0};
  Vec3 E;
  if (b->track) {
    Vec3 e = ballEnd(b, R);
    E = Vec3{e.x - pos.x, e.y - pos.y, 0};
  } else {
    E = Vec3{S.x + R * (b->velo.x - s->velo.x), S.y + R * (b->velo.y - s->velo.y), 0};
  }
  double u = polygonTest(&s->outline, S, E, b->radius, exit, c);
  if (u >= kNone) return kNone * R;
  c->point = vAdd(c->point, Vec3{pos.x, pos.y, 0});
  return u * R;
}

// Start and end of the ball in the frame of a turning object with pivot
// pivot, angle and angular velocity (negated for a left one).
void turningFrame(const BallData* b, Vec3 pivot, double angle, double avelo, int right, double R, Vec3* S,
                  Vec3* E, double* sign) {
  double sg = right ? 1.0 : -1.0;
  double th0 = sg * angle, th1 = sg * (angle + R * avelo);
  Vec3 end = ballEnd(b, R);
  *S = vRotateNeg(Vec3{b->pos.x - pivot.x, b->pos.y - pivot.y, 0}, th0);
  *E = vRotateNeg(Vec3{end.x - pivot.x, end.y - pivot.y, 0}, th1);
  *sign = sg;
}

double ballFlipper(const BoardObject* ball, const BoardObject* flip, double R, bool exit, BoardContact* c) {
  const FlipperData* f = &flip->u.flipper;
  Vec3 S, E;
  double sg;
  turningFrame(&ball->u.ball, f->outline.pos, f->angle, f->avelo, f->right, R, &S, &E, &sg);
  double u = polygonTest(&f->outline, S, E, ball->u.ball.radius, exit, c);
  if (u >= kNone) return kNone * R;
  double t = u * R;
  double thc = sg * (f->angle + t * f->avelo);
  c->normal = vRotate(c->normal, thc);
  c->point = vAdd(vRotate(c->point, thc), Vec3{f->outline.pos.x, f->outline.pos.y, 0});
  return t;
}

double ballCFlipper(const BoardObject* ball, const BoardObject* flip, double R, BoardContact* c) {
  const CFlipperData* f = &flip->u.cflipper;
  Vec3 S, E;
  double sg;
  turningFrame(&ball->u.ball, f->outline.pos, f->angle, f->avelo, f->right, R, &S, &E, &sg);
  double r = ball->u.ball.radius;
  double r1 = f->radius1 + r, r2 = f->radius2 + r;
  double L = f->right ? -f->length : f->length;
  Vec3 D{E.x - S.x, E.y - S.y, 0};
  double best = kNone;
  Vec3 bestN{0, 0, 0}, bestQ{0, 0, 0};
  int bestPiece = -1;
  const Vec3 centres[2] = {{0, 0, 0}, {L, 0, 0}};
  const double radii[2] = {r1, r2};
  for (int k = 0; k < 2; k++) {
    double u;
    if (!circleRoot(S, D, centres[k], radii[k], false, &u)) continue;
    if (u < -kEps || u >= 1) continue;
    if (u < 0) u = 0;
    if (u < best) {
      Vec3 Q{S.x + u * D.x, S.y + u * D.y, 0};
      best = u;
      bestQ = Q;
      bestN = Vec3{(Q.x - centres[k].x) / radii[k], (Q.y - centres[k].y) / radii[k], 0};
      bestPiece = k;
    }
  }
  for (int k = 0; k < 2; k++) {
    double side = k == 0 ? 1.0 : -1.0;
    Vec3 A{0, side * r1, 0}, B{L, side * r2, 0};
    Vec3 dir = vNormalize(vSub(B, A));
    Vec3 n{-dir.y, dir.x, 0};
    if (n.y * side < 0) n = vScale(n, -1);  // away from the axis
    double fS = n.x * (S.x - A.x) + n.y * (S.y - A.y);
    double fE = n.x * (E.x - A.x) + n.y * (E.y - A.y);
    if (!(fS > fE && fS > -kEps && fE <= 0)) continue;
    double u = fS / (fS - fE);
    if (u > 1) u = 1;
    if (u < 0) u = 0;
    Vec3 Q{S.x + u * D.x, S.y + u * D.y, 0};
    if ((Q.x - A.x) * (Q.x - B.x) + (Q.y - A.y) * (Q.y - B.y) >= kEps) continue;
    if (u < best) {
      best = u;
      bestQ = Q;
      bestN = n;
      bestPiece = 2 + k;
    }
  }
  if (bestPiece < 0) return kNone * R;
  double u = best > kCFlipperEarly ? best - kCFlipperEarly : 0;
  double t = u * R;
  double thc = sg * (f->angle + t * f->avelo);
  c->kind = bestPiece < 2 ? 0 : 1;
  c->index = bestPiece;
  c->normal = vRotate(bestN, thc);
  c->point = vAdd(vRotate(bestQ, thc), Vec3{f->outline.pos.x, f->outline.pos.y, 0});
  return t;
}

}  // namespace

// ---- Vector helpers ----

Vec3 vAdd(Vec3 a, Vec3 b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 vSub(Vec3 a, Vec3 b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 vScale(Vec3 a, double s) { return Vec3{a.x * s, a.y * s, a.z * s}; }
Vec3 vAddScaled(Vec3 a, Vec3 b, double s) { return Vec3{a.x + s * b.x, a.y + s * b.y, a.z + s * b.z}; }
double vDotXY(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y; }
double vDotXYZ(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double vLenXY(Vec3 a) { return std::sqrt(a.x * a.x + a.y * a.y); }
double vLenXYZ(Vec3 a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }
Vec3 vSetLenXY(Vec3 a, double length) {
  double l = vLenXY(a);
  if (l == 0) return Vec3{0, 0, a.z};
  return Vec3{a.x * length / l, a.y * length / l, a.z};
}
Vec3 vSetLenXYZ(Vec3 a, double length) {
  double l = vLenXYZ(a);
  if (l == 0) return Vec3{0, 0, 0};
  return vScale(a, length / l);
}
Vec3 vNormalize(Vec3 a) {
  double l = vLenXY(a);
  if (l == 0) return Vec3{0, 0, 0};
  return Vec3{a.x / l, a.y / l, 0};
}
Vec3 vRotate(Vec3 a, double angle) {
  double c = std::cos(angle), s = std::sin(angle);
  return Vec3{a.x * c - a.y * s, a.x * s + a.y * c, a.z};
}
Vec3 vRotateNeg(Vec3 a, double angle) { return vRotate(a, -angle); }

// ---- Board ----

int BOARD_INIT(Board* board, int maxObjects, const BoardParams* params) {
  std::memset(board, 0, sizeof *board);
  long long bytes = 4LL * maxObjects * (maxObjects + 48);
  // DELIBERATE: more than 4096 slots are refused; the pair matrix would
  // overflow the message's int and the memory.
  if (maxObjects <= 0 || maxObjects > 4096) {
    logError(0, "%s: not enough memory for objects (%d bytes)", "BOARD_INIT()", static_cast<int>(bytes));
    return -1;
  }
  board->objects = static_cast<BoardObject*>(std::calloc(static_cast<size_t>(maxObjects), sizeof(BoardObject)));
  board->pairs = static_cast<int*>(std::calloc(static_cast<size_t>(maxObjects) * maxObjects, sizeof(int)));
  board->balls = static_cast<int*>(std::calloc(static_cast<size_t>(maxObjects), sizeof(int)));
  board->index = static_cast<BoardIndex*>(std::calloc(1, sizeof(BoardIndex)));
  if (board->index && bpInit(board->index, maxObjects) < 0) {
    std::free(board->index);
    board->index = nullptr;
  }
  if (!board->objects || !board->pairs || !board->balls || !board->index) {
    std::free(board->objects);
    std::free(board->pairs);
    std::free(board->balls);
    std::free(board->index);
    board->objects = nullptr;
    board->pairs = nullptr;
    board->balls = nullptr;
    board->index = nullptr;
    logError(0, "%s: not enough memory for objects (%d bytes)", "BOARD_INIT()", static_cast<int>(bytes));
    return -1;
  }
  for (int i = 0; i < maxObjects; i++) board->objects[i].id = -1;
  board->maxObjects = maxObjects;
  board->params = params;
  board->time = 0;
  return 0;
}

void BOARD_SELECT(Board* board) { gActive = board; }
Board* boardActive() { return gActive; }

void BOARD_FREE(Board* board) {
  if (!board) return;
  if (gActive == board) gActive = nullptr;
  std::free(board->objects);
  std::free(board->pairs);
  std::free(board->balls);
  bpFree(board->index);
  std::free(board->index);
  std::memset(board, 0, sizeof *board);
}

BoardObject* BOARD_ADDBALL_EX(BoardHandler handler, int user, const BallData* data, int user2, void* parms) {
  if (!gActive) return nullptr;
  BoardObject o = makeRecord(BK_BALL, handler, user, user2, parms);
  o.u.ball = *data;
  if (o.u.ball.track) {
    TrackVec p;
    TRACK_POINT(o.u.ball.track, o.u.ball.trackpos, &p);
    o.u.ball.pos = Vec3{p.x, p.y, o.u.ball.pos.z};
  }
  o.fresh = 1;
  return insert("BOARD_ADDBALL_EX()", &o);
}

BoardObject* BOARD_ADDSHAPE(BoardHandler handler, int user, const ShapeData* data) {
  if (!gActive) return nullptr;
  BoardObject o = makeRecord(BK_SHAPE, handler, user, 0, nullptr);
  o.u.shape = *data;
  return insert("BOARD_ADDSHAPE()", &o);
}

BoardObject* BOARD_ADDSHAPE_EX(BoardHandler handler, int user, const ShapeData* data, int user2, void* parms) {
  if (!gActive) return nullptr;
  BoardObject o = makeRecord(BK_SHAPE, handler, user, user2, parms);
  o.u.shape = *data;
  return insert("BOARD_ADDSHAPE_EX()", &o);
}

BoardObject* BOARD_ADDFLIPPER_EX(BoardHandler handler, int user, const FlipperData* data, int user2, void* parms) {
  if (!gActive) return nullptr;
  BoardObject o = makeRecord(BK_FLIPPER, handler, user, user2, parms);
  o.u.flipper = *data;
  return insert("BOARD_ADDFLIPPER_EX()", &o);
}

BoardObject* BOARD_ADDCFLIPPER_EX(BoardHandler handler, int user, const CFlipperData* data, int user2,
                                  void* parms) {
  if (!gActive) return nullptr;
  BoardObject o = makeRecord(BK_CFLIPPER, handler, user, user2, parms);
  o.u.cflipper = *data;
  return insert("BOARD_ADDCFLIPPER_EX()", &o);
}

int BOARD_KILL(int id) {
  const char* fn = "BOARD_KILL()";
  if (!gActive) {
    logError(0, "%s: no active board", fn);
    return 0;
  }
  if (!validId(fn, id)) return 0;
  Board* b = gActive;
  BoardObject* o = &b->objects[id];
  if (o->id < 0) return 0;
  BoardEvent e{};
  e.type = BE_KILL;
  if (o->handler) o->handler(o, &e);
  int m = b->maxObjects;
  for (int j = 0; j < m; j++) {
    if (b->index && j != id && (b->pairs[id * m + j] & 1)) b->index->contacts[j]--;
    b->pairs[id * m + j] = 0;
    b->pairs[j * m + id] = 0;
  }
  if (b->index) {
    b->index->contacts[id] = 0;
    b->index->dirty = 1;
  }
  o->id = -1;
  if (id == b->count - 1) {
    b->count--;
  } else {
    b->holes++;
  }
  return 0;
}

void BOARD_UNHIT(int a, int b) {
  const char* fn = "BOARD_UNHIT()";
  if (!gActive) {
    logError(0, "%s: no active board", fn);
    return;
  }
  if (!validId(fn, a) || !validId(fn, b)) return;
  setPair(gActive, a, b, 0);
  if ((a == gEventTarget && b == gEventBall) || (a == gEventBall && b == gEventTarget)) gEventUnhit = true;
}

int BOARD_BALLS(const Board* board) {
  if (!board || !board->objects) return 0;
  int n = 0;
  for (int i = 0; i < board->count; i++)
    if (board->objects[i].id >= 0 && board->objects[i].kind == BK_BALL) n++;
  return n;
}

void boardShapeChanged(int id) {
  if (gActive && gActive->index && id >= 0 && id < gActive->maxObjects) gActive->index->dirty = 1;
}

BoardObject* boardObject(int id) {
  if (!gActive || id < 0 || id >= gActive->count) return nullptr;
  BoardObject* o = &gActive->objects[id];
  return o->id >= 0 ? o : nullptr;
}

int boardInContact(int a, int b) {
  if (!gActive || a < 0 || b < 0 || a >= gActive->maxObjects || b >= gActive->maxObjects) return 0;
  return gActive->pairs[a * gActive->maxObjects + b] & 1;
}

double boardTimeOfImpact(const BoardObject* ball, const BoardObject* object, double R, BoardContact* contact) {
  BoardContact scratch{};
  if (!contact) contact = &scratch;
  switch (object->kind) {
    case BK_BALL:
      if (object == ball) return kNone * R;
      return ballBall(ball, object, R, contact);
    case BK_SHAPE:
      return ballShape(ball, object, R, false, contact);
    case BK_FLIPPER:
      return ballFlipper(ball, object, R, false, contact);
    case BK_CFLIPPER:
      return ballCFlipper(ball, object, R, contact);
    default:
      return kNone * R;
  }
}

double boardExitTime(const BoardObject* ball, const BoardObject* object, double R, BoardContact* contact) {
  BoardContact scratch{};
  if (!contact) contact = &scratch;
  if (object->kind == BK_SHAPE && !object->u.shape.quickRelease) return ballShape(ball, object, R, true, contact);
  return kEps * R;
}

void BOARD_STEP(double dt) {
  Board* b = gActive;
  if (!b) return;
  int m = b->maxObjects;
  double remaining = dt;
  // Handlers that keep a ball touching without letting the contact stand
  // (clearing it while the ball still overlaps) would make every following
  // sub-step end at once: after that many events without progress the rest
  // of the step moves without contacts.
  int stalled = 0;
  bool contacts = true;
  // Shapes changed since the last step (by anything but a handler that said
  // so) are put back in their cells before the first search.
  if (b->index) bpCheckObjects(b->index, b->objects, b->count);
  while (remaining > 0) {
    double s = remaining;
    BoardObject* target = nullptr;
    BoardEvent ev{};
    // The balls in slot order: the index's list, or a scan of the slots.
    BoardIndex* index = b->fullScan ? nullptr : b->index;
    if (index && index->dirty) bpRebuild(index, b->objects, b->count);
    const int* ballSlots = b->balls;
    int nballs = 0;
    if (index) {
      ballSlots = index->balls;
      nballs = index->nBalls;
    } else {
      for (int i = 0; i < b->count; i++)
        if (b->objects[i].id >= 0 && b->objects[i].kind == BK_BALL) b->balls[nballs++] = i;
    }
    // Balls on tracks advance at most one track segment per sub-step.
    for (int k = 0; k < nballs; k++) {
      BoardObject* o = &b->objects[ballSlots[k]];
      if (!live(o)) continue;
      const BallData* bd = &o->u.ball;
      if (!bd->track || bd->trackvelo == 0) continue;
      double L = bd->track->spacing;
      double mm = std::fmod(bd->trackpos, L);
      if (mm < 0) mm += L;
      double t = (bd->trackvelo > 0 ? (L - mm) / bd->trackvelo : mm / -bd->trackvelo) + kEps;
      if (t < s) {
        s = t;
        target = nullptr;
      }
    }
    // The pair test; a later object wins a tie, so the objects are always
    // visited in slot order, with or without the index.
    auto visit = [&](int i, BoardObject* ball, int j) {
      BoardObject* o = &b->objects[j];
      if (!live(o) || !(ball->lmask & o->lmask)) return;
      BoardContact c{};
      double t;
      int type;
      if (b->pairs[i * m + j] & 1) {  // symmetric: the ball's row is read in order
        t = boardExitTime(ball, o, remaining, &c);
        type = BE_UNHIT;
      } else {
        if (o == ball) return;
        t = boardTimeOfImpact(ball, o, remaining, &c);
        type = BE_HIT;
      }
      if (t <= s) {
        s = t;
        target = o;
        ev.type = type;
        ev.dt = t;
        ev.time = b->time + t;
        ev.other = ball;
        ev.contact = c;
      }
    };
    for (int k = 0; contacts && k < nballs; k++) {
      int i = ballSlots[k];
      BoardObject* ball = &b->objects[i];
      if (!live(ball)) continue;
      int n = index ? ballCandidates(index, b, ball, remaining) : -1;
      if (n < 0) {
        for (int j = 0; j < b->count; j++) visit(i, ball, j);
      } else {
        for (int c = 0; c < n; c++) visit(i, ball, index->candidates[c]);
      }
    }
    // Each handler gets a fresh copy of the event, made from a prepared one
    // (cheaper than zeroing it for each object).
    BoardEvent move{};
    move.type = BE_MOVE;
    move.dt = s;
    move.time = b->time;
    for (int i = 0; i < b->count; i++) {
      BoardObject* o = &b->objects[i];
      if (!live(o) || !o->handler) continue;
      BoardEvent mv = move;
      o->handler(o, &mv);
    }
    if (s < remaining && target && target->id >= 0 && ev.other->id >= 0) {
      int ti = target->id, bi = ev.other->id;
      gEventTarget = ti;
      gEventBall = bi;
      gEventUnhit = false;
      if (target->handler) target->handler(target, &ev);
      gEventTarget = gEventBall = -1;
      if (b->index) bpCheckObject(b->index, target);
      if (ev.type == BE_HIT && !gEventUnhit)
        setPair(b, ti, bi, 1);
      else if (ev.type == BE_UNHIT)
        setPair(b, ti, bi, 0);
    }
    remaining -= s;
    b->time += s;
    stalled = s > 0 ? 0 : stalled + 1;
    // DELIBERATE: a step whose events make no progress (a handler that clears
    // a contact while the ball still overlaps) would hang; it ends instead.
    if (stalled > kMaxStalled) {
      logError(0, "%s: no progress after %d events at time %.3f, the rest of the step moves without contacts",
               "BOARD_STEP()", stalled, b->time);
      contacts = false;
      stalled = 0;
    }
  }
  // Scratches: the pairs in contact whose higher slot holds a ball.
  const BoardIndex* counted = b->fullScan ? nullptr : b->index;
  int nballs = 0;
  for (int j = 0; j < b->count; j++)
    if (live(&b->objects[j]) && b->objects[j].kind == BK_BALL) b->balls[nballs++] = j;
  for (int i = 0; i < b->count; i++) {
    BoardObject* o = &b->objects[i];
    // The index counts each slot's pairs in contact: a slot in none has
    // nothing to scratch.
    if ((counted && counted->contacts[i] == 0) || !live(o)) continue;
    for (int k = 0; k < nballs; k++) {
      int j = b->balls[k];
      BoardObject* ball = &b->objects[j];
      if (j <= i || !live(ball) || !(b->pairs[i * m + j] & 1)) continue;
      BoardEvent e{};
      e.type = BE_SCRATCH;
      e.dt = dt;
      e.time = b->time;
      e.other = ball;
      if (o->handler) o->handler(o, &e);
    }
  }
  for (int i = 0; i < b->count; i++) {
    BoardObject* o = &b->objects[i];
    if (!live(o)) continue;
    BoardEvent e{};
    e.type = BE_FRAME;
    e.dt = dt;
    e.time = b->time;
    if (o->handler) o->handler(o, &e);
  }
  for (int i = 0; i < b->count; i++)
    if (b->objects[i].id >= 0) b->objects[i].fresh = 0;
  for (int i = 0; i < b->count; i++)
    if (b->objects[i].id >= 0 && b->objects[i].kill) BOARD_KILL(i);
}

// ---- Responses ----

namespace {

void orderBall(BoardObject* a, BoardObject* b, BoardObject** ball, BoardObject** other) {
  if (a->kind == BK_BALL) {
    *ball = a;
    *other = b;
  } else {
    *ball = b;
    *other = a;
  }
}

// Surface velocity of a turning object at the ball.
Vec3 surfaceVelocity(const BallData* bd, Vec3 pivot, double avelo, int right, double kav) {
  double w = right ? avelo : -avelo;
  Vec3 r{bd->pos.x - pivot.x, bd->pos.y - pivot.y, 0};
  return Vec3{-r.y * kav * w, r.x * kav * w, 0};
}

}  // namespace

void BOUNCE_SHAPE(BoardEvent* event, BoardObject* a, BoardObject* b) {
  BoardObject *ball, *shape;
  orderBall(a, b, &ball, &shape);
  if (ball->kind != BK_BALL) return;
  BallData* bd = &ball->u.ball;
  double k = shape->u.shape.k;
  Vec3 sv = shape->kind == BK_SHAPE ? shape->u.shape.velo : Vec3{0, 0, 0};
  Vec3 n = event->contact.normal;
  if (bd->track) {
    Vec3 u = vNormalize(vSub(bd->velo, sv));
    if (vDotXY(u, n) >= kTrackBounceCos) return;
    bd->trackvelo = -k * bd->trackvelo;
    return;
  }
  Vec3 w = vSub(bd->velo, sv);
  double wn = vDotXY(w, n);
  bd->velo.x = bd->velo.x - (1 + k) * wn * n.x + n.x * kPushOff;
  bd->velo.y = bd->velo.y - (1 + k) * wn * n.y + n.y * kPushOff;
}

void BOUNCE_FLIPPER(BoardEvent* event, BoardObject* a, BoardObject* b) {
  BoardObject *ball, *flip;
  orderBall(a, b, &ball, &flip);
  if (ball->kind != BK_BALL || flip->kind != BK_FLIPPER) return;
  BallData* bd = &ball->u.ball;
  const FlipperData* f = &flip->u.flipper;
  Vec3 s = surfaceVelocity(bd, f->outline.pos, f->avelo, f->right, f->kav);
  Vec3 n = event->contact.normal;
  double wn = vDotXY(vSub(bd->velo, s), n);
  bd->velo.x -= (1 + f->k) * wn * n.x;
  bd->velo.y -= (1 + f->k) * wn * n.y;
}

void BOUNCE_CFLIPPER(BoardEvent* event, BoardObject* a, BoardObject* b) {
  BoardObject *ball, *flip;
  orderBall(a, b, &ball, &flip);
  if (ball->kind != BK_BALL || flip->kind != BK_CFLIPPER) return;
  BallData* bd = &ball->u.ball;
  const CFlipperData* f = &flip->u.cflipper;
  Vec3 s = surfaceVelocity(bd, f->outline.pos, f->avelo, f->right, f->kav);
  Vec3 n = event->contact.normal;
  Vec3 w = vSub(bd->velo, s);
  w.z = 0;
  double wn = vDotXY(w, n);
  Vec3 w2;
  if (vDotXY(bd->velo, n) <= 0) {
    w2 = vAddScaled(w, n, -(1 + f->k) * wn);
  } else {
    Vec3 wt = vAddScaled(w, n, -wn);
    w2 = vAddScaled(wt, n, f->k * std::fabs(wn));
    double lw = vLenXY(w);
    w2 = vSetLenXY(w2, lw);
    double ws = vDotXY(w2, s), ss = vDotXY(s, s);
    if (ws < 0 && ss > 0) w2 = vAddScaled(w2, s, -ws / ss);
  }
  bd->velo.x = w2.x + s.x;
  bd->velo.y = w2.y + s.y;
}

void BOUNCE_BALL(BoardEvent* event, BoardObject* a, BoardObject* b) {
  (void)event;
  if (a->kind != BK_BALL || b->kind != BK_BALL) return;
  BallData* ba = &a->u.ball;
  BallData* bb = &b->u.ball;
  if (ba->track && bb->track) {
    double t = ba->trackvelo;
    ba->trackvelo = bb->trackvelo;
    bb->trackvelo = t;
    return;
  }
  Vec3 n = vNormalize(vSub(bb->pos, ba->pos));
  Vec3 va = ba->velo, vb = bb->velo;
  if (!ba->track) {
    double d = vDotXY(vSub(vb, va), n);
    ba->velo.x += n.x * d;
    ba->velo.y += n.y * d;
  }
  if (!bb->track) {
    double d = vDotXY(vSub(va, vb), n);
    bb->velo.x += n.x * d;
    bb->velo.y += n.y * d;
  }
}
