// The flippers. A cflipper is the player's flipper: a capsule turned by the
// flipper keys between its rest and full-up angles. A flipper is a polygon
// that turns about its pivot but has no motion of its own: the cflippers of
// places 1 and 4 drive the flippers registered as "flip1" and "flip4".
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "game/stats.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/objects/kinetic_internal.h"
#include "physics/table.h"
#include "sound/fx.h"

using namespace kinetic;

namespace {

enum { PLACE_LEFT_MAIN = 2, PLACE_RIGHT_MAIN = 3 };

struct CFlipperParms {
  Sprite* sprite;
  VBOBJ* instance;  // visual layer 4
  int place;        // 1..6
  int pressCount, releaseCount;
  int pressed;
  double boost;
  // Radians.
  double minAngle, maxAngle;
  double sprMinAngle, sprMaxAngle;
  double angleAdd;    // angular acceleration per frame
  double phaseAngle;  // (max_angle - min_angle) / phases
};

int flipperHandler(BoardObject* o, BoardEvent* e) {
  if (e->type == BE_HIT)
    if (BoardObject* b = objEventBall(e)) BOUNCE_FLIPPER(e, o, b);
  return 0;
}

// The flipper a cflipper drives, or null.
BoardObject* drivenFlipper(const CFlipperParms* p) {
  const char* name = p->place == 1 ? "flip1" : p->place == 4 ? "flip4" : nullptr;
  if (!name) return nullptr;
  BoardObject* f = objFindBoardObject(name);
  return f && f->id >= 0 && f->kind == BK_FLIPPER ? f : nullptr;
}

int cflipperKeyHeld(const CFlipperData* f) {
  // While the game is over only the left flippers answer (to the left key).
  if (f->right) return !tableGameOver() && tableKeyHeld(TABLE_KEY_RIGHT);
  return tableKeyHeld(TABLE_KEY_LEFT);
}

void cflipperSample(int place, int leftSample, int rightSample) {
  if (place == PLACE_LEFT_MAIN) playTableSample(leftSample);
  if (place == PLACE_RIGHT_MAIN) playTableSample(rightSample);
}

// Sets the angular velocity for the next step from the key: up while the key
// is held, faster each frame it stays held; back down once it is released.
int cflipperFrame(BoardObject* o, CFlipperParms* p, double dt) {
  CFlipperData* f = &o->u.cflipper;
  f->avelo = 0;
  if (cflipperKeyHeld(f)) {
    p->releaseCount = 0;
    if (f->angle >= p->maxAngle) {
      p->pressCount = 0;
    } else {
      if (f->angle == p->minAngle) {
        if (p->place == PLACE_LEFT_MAIN) gstatSample("hit:flipper_left");
        if (p->place == PLACE_RIGHT_MAIN) gstatSample("hit:flipper_right");
      }
      f->avelo = p->angleAdd * dt * p->pressCount + p->phaseAngle;
      if (!p->pressed) cflipperSample(p->place, SI_LFLIPPER_PRESS, SI_RFLIPPER_PRESS);
      p->pressCount++;
    }
    p->pressed = 1;
  } else {
    p->pressCount = 0;
    if (f->angle > p->minAngle) {
      f->avelo = -(p->angleAdd * dt * p->releaseCount + p->phaseAngle);
      if (p->pressed) cflipperSample(p->place, SI_LFLIPPER_RLS, SI_RFLIPPER_RLS);
      p->releaseCount++;
    }
    p->pressed = 0;
  }
  if (BoardObject* d = drivenFlipper(p)) d->u.flipper.avelo = f->avelo;
  int n = frameCount(p->instance);
  double range = p->sprMaxAngle - p->sprMinAngle;
  int frame = range != 0 ? static_cast<int>((f->angle - p->sprMinAngle) * (n - 1) / range) : 0;
  if (frame > n - 1) frame = n - 1;
  if (frame < 0) frame = 0;
  return objShowFrame("cflipper_handler()", o, p->instance, frame);
}

int cflipperHandler(BoardObject* o, BoardEvent* e) {
  auto* p = static_cast<CFlipperParms*>(o->parms);
  if (!p) return 0;
  CFlipperData* f = &o->u.cflipper;
  switch (e->type) {
    case BE_KILL:
      return objKill(o, p->instance);
    case BE_FRAME:
      return cflipperFrame(o, p, e->dt);
    case BE_MOVE:
      f->angle += f->avelo * e->dt;
      if (f->angle > p->maxAngle) f->angle = p->maxAngle;
      if (f->angle < p->minAngle) f->angle = p->minAngle;
      if (BoardObject* d = drivenFlipper(p)) d->u.flipper.angle = f->angle - p->minAngle;
      return 0;
    case BE_HIT:
      if (BoardObject* b = objEventBall(e)) BOUNCE_CFLIPPER(e, o, b);
      return 0;
    default:
      return 0;
  }
}

// The keys of the motion and the capsule; 0 after a message when they
// describe no flipper.
int cflipperTunables(const char* fn, CFlipperParms* p, CFlipperData* d, const Outline* outline) {
  int x, y;
  oprPosition(outline, &x, &y);
  double minDeg = OPR_REAL(outline, "min_angle", 0);
  double maxDeg = OPR_REAL(outline, "max_angle", 45);
  if (maxDeg < minDeg)
    return logError(0, "%s, object (%d,%d): invalid angles min_angle-%.2f max_angle-%.2f", fn, x, y, minDeg, maxDeg);
  int phases = OPR_INT(outline, "phases", 10);
  if (phases < 1) {
    logPrint("%s, object (%d,%d): invalid phases %d, fixed to be 1", fn, x, y, phases);
    phases = 1;
  }
  p->minAngle = degToRad(minDeg);
  p->maxAngle = degToRad(maxDeg);
  p->sprMinAngle = degToRad(OPR_REAL(outline, "spr_min_angle", 0));
  p->sprMaxAngle = degToRad(OPR_REAL(outline, "spr_max_angle", 45));
  p->angleAdd = degToRad(OPR_REAL(outline, "angle_add", 0));
  p->phaseAngle = (p->maxAngle - p->minAngle) / phases;
  p->boost = OPR_REAL(outline, "boost", 1.0);
  d->right = OPR_INT(outline, "right", 0);
  d->k = OPR_REAL(outline, "k", 0.7);
  d->kav = OPR_REAL(outline, "kav", 1.0);
  d->radius1 = OPR_REAL(outline, "radius1", 10);
  d->radius2 = OPR_REAL(outline, "radius2", 5);
  d->length = OPR_REAL(outline, "length", 50);
  return 1;
}

void cflipperReconf(int, Outline* outline, BoardObject* o) {
  objLogReconfigure("cflipper", outline);
  auto* p = static_cast<CFlipperParms*>(o->parms);
  CFlipperParms np = *p;
  CFlipperData nd = o->u.cflipper;
  if (!cflipperTunables("cflipper_reader()", &np, &nd, outline)) return;
  *p = np;
  nd.angle = std::fmin(std::fmax(nd.angle, p->minAngle), p->maxAngle);
  o->u.cflipper = nd;
}

}  // namespace

int flipper_reader(int, int layer, Outline* outline) {
  ObjReader r;
  if (!objReaderBegin(&r, "flipper_reader()", FAM_FLIPPER, layer, outline)) return 0;
  FlipperData d;
  std::memset(&d, 0, sizeof d);
  d.outline = *outline;
  d.right = OPR_INT(outline, "right", 0);
  d.k = OPR_REAL(outline, "k", 0.7);
  d.kav = OPR_REAL(outline, "kav", 1.0);
  BoardObject* o = onBoard(&r, BOARD_ADDFLIPPER_EX(flipperHandler, FAM_FLIPPER, &d, 0, nullptr));
  if (!o) return 0;
  objReaderNote(&r, "right-%d k-%.2f kav-%.2f", d.right, d.k, d.kav);
  return 1;
}

int cflipper_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<CFlipperParms>(&r, "cflipper_reader()", FAM_CFLIPPER, layer, outline);
  if (!p) return 0;
  if (!objReaderPlace(&r, 1, 6, &p->place)) return objReaderAbandon(&r);
  if (!(p->sprite = objReaderSprite(&r, "sprite"))) return objReaderAbandon(&r);
  CFlipperData d;
  std::memset(&d, 0, sizeof d);
  d.outline = *outline;
  if (!cflipperTunables(r.fn, p, &d, outline)) return objReaderAbandon(&r);
  d.angle = p->minAngle;
  p->instance = objReaderInstance(&r, p->sprite, 0, 4);
  BoardObject* o = onBoard(&r, BOARD_ADDCFLIPPER_EX(cflipperHandler, FAM_CFLIPPER, &d, 0, p));
  if (!o) return 0;
  OPR_ADD_RECONF(cflipperReconf, layer, outline, o);
  objReaderNote(&r,
                "id-%d place-%d min_angle-%.2f max_angle-%.2f phase_angle-%.2f radius1-%.2f radius2-%.2f length-%.2f",
                o->id, p->place, p->minAngle, p->maxAngle, p->phaseAngle, d.radius1, d.radius2, d.length);
  return 1;
}
