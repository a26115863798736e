// Acceleration zones. A ball inside an accel or accel2 outline has its
// velocity (or, on a track, its speed along the track) changed once per
// clock instant: on entering, and then on every step it stays inside.
//
// accel holds a default action and up to eight conditional ones; every
// action whose condition holds for the ball applies, and the default one
// only when none did. accel2 is a single action with a low and a high speed
// threshold.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/log.h"
#include "core/text.h"
#include "physics/cond.h"
#include "physics/kinetic_internal.h"
#include "physics/table.h"

using namespace kinetic;

namespace {

enum { ACCEL_CONDS = 8 };

// Changes applied per unit of time: factors to the power dt, increments
// times dt.
struct AccelAction {
  double kx, ky;  // velocity factors
  double dx, dy;  // velocity increments
  double trackKvelo, trackDvelo;
  double trackBrake;  // speed ceiling on a track, off when <= 0
  double trackPull;   // speed floor on a track, off when <= 0
};

struct AccelSlot {
  BCond cond;
  int set;
  int debug;
  AccelAction action;
};

// The common event rule of both kinds: the clock instant of the last action
// (so that a hit and a scratch in the same instant act once) and the board
// step's dt, which a hit does not carry (its dt is the time of contact).
struct ActionClock {
  int acted;
  double lastTime;
  double stepDt;
};

struct AccelParms {
  int debug;
  ActionClock clock;
  AccelAction def;
  double angle, length;  // of the default action, for the summary
  AccelSlot slots[ACCEL_CONDS];
};

struct Accel2Parms {
  int debug;
  ActionClock clock;
  double angle;  // degrees
  double dvelo, kvelo;
  double dx, dy;  // dvelo along the angle
  double threshLow, threshLtD, threshLtK;
  double threshHigh, threshGtD, threshGtK;
};

// Reads one action; prefix is "" for the default action and "cond%d_" for a
// conditional one.
AccelAction readAction(const Outline* outline, const char* prefix, double* angleOut, double* lengthOut) {
  char key[64];
  auto real = [&](const char* name, double def) {
    strFormatN(key, sizeof key, "%s%s", prefix, name);
    return OPR_REAL(outline, key, def);
  };
  AccelAction a;
  a.kx = real("kx", 1.0);
  a.ky = real("ky", 1.0);
  double angle = real("angle", 0);
  double length = real("length", 0);
  a.dx = real("dx", length * std::cos(degToRad(angle)));
  a.dy = real("dy", length * std::sin(degToRad(angle)));
  a.trackKvelo = real("track_kvelo", 1.0);
  a.trackDvelo = real("track_dvelo", 0);
  a.trackBrake = real("track_brake", -1.0);
  a.trackPull = real("track_pull", 0);
  if (angleOut) *angleOut = angle;
  if (lengthOut) *lengthOut = length;
  return a;
}

// Every tunable key of an accel: the default action and the conditions.
void accelKeys(const char* fn, AccelParms* p, const Outline* outline) {
  p->debug = OPR_INT(outline, "debug", 0);
  p->def = readAction(outline, "", &p->angle, &p->length);
  for (int i = 0; i < ACCEL_CONDS; i++) {
    AccelSlot* s = &p->slots[i];
    std::memset(s, 0, sizeof *s);
    char key[32];
    strFormatN(key, sizeof key, "cond%d", i);
    const char* text = OPR_STRING(outline, key, nullptr);
    if (!text) continue;
    if (!BCOND_PARSE(&s->cond, text)) {
      int x, y;
      oprPosition(outline, &x, &y);
      logError(0, "%s, object (%d,%d): condition %d ignored", fn, x, y, i);
      continue;
    }
    s->set = 1;
    char prefix[16];
    strFormatN(prefix, sizeof prefix, "cond%d_", i);
    s->action = readAction(outline, prefix, nullptr, nullptr);
    strFormatN(key, sizeof key, "cond%d_debug", i);
    s->debug = OPR_INT(outline, key, 0);
  }
}

void accel2Keys(Accel2Parms* p, const Outline* outline) {
  p->angle = OPR_REAL(outline, "angle", 0);
  p->dvelo = OPR_REAL(outline, "dvelo", 0);
  p->kvelo = OPR_REAL(outline, "kvelo", 1.0);
  p->debug = OPR_INT(outline, "debug", 0);
  p->threshLow = OPR_REAL(outline, "thresh_low", 0);
  p->threshLtD = OPR_REAL(outline, "thresh_lt_d", 0);
  p->threshLtK = OPR_REAL(outline, "thresh_lt_k", 1.0);
  p->threshHigh = OPR_REAL(outline, "thresh_high", 0);
  p->threshGtD = OPR_REAL(outline, "thresh_gt_d", 0);
  p->threshGtK = OPR_REAL(outline, "thresh_gt_k", 1.0);
  p->dx = p->dvelo * std::cos(degToRad(p->angle));
  p->dy = p->dvelo * std::sin(degToRad(p->angle));
}

// Applies the event rule: 1 when the object is to act now (and notes the
// instant), 0 for a scratch in the instant of the last action.
int clockAllows(ActionClock* c, int type) {
  double now = tableNow();
  if (type == BE_SCRATCH && c->acted && c->lastTime == now) return 0;
  c->acted = 1;
  c->lastTime = now;
  return 1;
}

double withSign(double value, double magnitude) { return value < 0 ? -magnitude : magnitude; }

void applyAction(const char* fn, const AccelAction& a, BoardObject* ball, double dt, const char* what, int debug) {
  BallData* b = &ball->u.ball;
  if (b->track) {
    b->trackvelo = b->trackvelo * powFactor(a.trackKvelo, dt) + dt * a.trackDvelo;
    if (a.trackBrake > 0 && std::fabs(b->trackvelo) > a.trackBrake) b->trackvelo = withSign(b->trackvelo, a.trackBrake);
    if (a.trackPull > 0 && std::fabs(b->trackvelo) < a.trackPull) b->trackvelo = withSign(b->trackvelo, a.trackPull);
    if (debug) logPrint("%s: %d %s set trackvelo=%.2f trackpos-%.2f", fn, ball->id, what, b->trackvelo, b->trackpos);
  } else {
    b->velo.x = b->velo.x * powFactor(a.kx, dt) + dt * a.dx;
    b->velo.y = b->velo.y * powFactor(a.ky, dt) + dt * a.dy;
    if (debug) logPrint("%s: %d %s set velo=(%.2f,%.2f)", fn, ball->id, what, b->velo.x, b->velo.y);
  }
}

void accelAct(const char* fn, AccelParms* p, BoardObject* ball, const char* what) {
  double dt = p->clock.stepDt;
  BCondBall cb{ball->u.ball.trackpos, ball->u.ball.trackvelo};
  int matched = 0;
  for (const AccelSlot& s : p->slots) {
    if (!s.set || !bcond_test(&s.cond, &cb)) continue;
    applyAction(fn, s.action, ball, dt, what, p->debug || s.debug);
    matched++;
  }
  if (!matched) applyAction(fn, p->def, ball, dt, what, p->debug);
}

int accelHandler(BoardObject* o, BoardEvent* e) {
  const char* fn = "accel_handler()";
  auto* p = static_cast<AccelParms*>(o->parms);
  if (!p) return 0;
  switch (e->type) {
    case BE_KILL:
      std::free(p);
      o->parms = nullptr;
      return 0;
    case BE_FRAME:
      p->clock.stepDt = e->dt;
      return 0;
    case BE_HIT:
    case BE_SCRATCH: {
      BoardObject* b = eventBall(e);
      if (!b) return 0;
      if (e->type == BE_SCRATCH) p->clock.stepDt = e->dt;
      const char* what = e->type == BE_HIT ? "HIT" : "SCRATCH";
      if (!clockAllows(&p->clock, e->type)) {
        if (p->debug) logPrint("%s: %d SCRATCH ignored", fn, b->id);
        return 0;
      }
      accelAct(fn, p, b, what);
      return 0;
    }
    case BE_UNHIT:
      if (BoardObject* b = eventBall(e))
        if (p->debug) logPrint("%s: %d UNHIT", fn, b->id);
      return 0;
    default:
      return 0;
  }
}

void accel2Act(const char* fn, Accel2Parms* p, BoardObject* ball, const char* what) {
  double dt = p->clock.stepDt;
  double now = tableNow();
  BallData* b = &ball->u.ball;
  if (b->track) {
    b->trackvelo = b->trackvelo * powFactor(p->kvelo, dt) + dt * p->dvelo;
    double e = std::fabs(b->trackvelo);
    if (p->threshLow > 0 && e < p->threshLow) b->trackvelo *= powFactor(p->threshLtD / e + p->threshLtK, dt);
    if (p->threshHigh > 0 && e > p->threshHigh) b->trackvelo *= powFactor(p->threshGtD / e + p->threshGtK, dt);
    if (p->debug) logPrint("%s: tm-%.2f %d %s set trackvelo=%.2f", fn, now, ball->id, what, b->trackvelo);
    return;
  }
  double k = powFactor(p->kvelo, dt);
  b->velo.x = b->velo.x * k + dt * p->dx;
  b->velo.y = b->velo.y * k + dt * p->dy;
  double e = vLen2(b->velo);
  double f = 1.0;
  if (p->threshLow > 0 && e < p->threshLow) f *= powFactor(p->threshLtD / e + p->threshLtK, dt);
  if (p->threshHigh > 0 && e > p->threshHigh) f *= powFactor(p->threshGtD / e + p->threshGtK, dt);
  b->velo.x *= f;
  b->velo.y *= f;
  if (p->debug) logPrint("%s: tm-%.2f %d %s set velo=(%.2f,%.2f)", fn, now, ball->id, what, b->velo.x, b->velo.y);
}

int accel2Handler(BoardObject* o, BoardEvent* e) {
  const char* fn = "accel2_handler()";
  auto* p = static_cast<Accel2Parms*>(o->parms);
  if (!p) return 0;
  switch (e->type) {
    case BE_KILL:
      std::free(p);
      o->parms = nullptr;
      return 0;
    case BE_FRAME:
      p->clock.stepDt = e->dt;
      return 0;
    case BE_HIT:
    case BE_SCRATCH: {
      BoardObject* b = eventBall(e);
      if (!b) return 0;
      if (e->type == BE_SCRATCH) p->clock.stepDt = e->dt;
      const char* what = e->type == BE_HIT ? "HIT" : "SCRATCH";
      if (!clockAllows(&p->clock, e->type)) {
        if (p->debug) logPrint("%s: tm-%.2f %d SCRATCH ignored", fn, tableNow(), b->id);
        return 0;
      }
      if (p->debug) logPrint("%s: tm-%.2f %d %s", fn, tableNow(), b->id, what);
      accel2Act(fn, p, b, what);
      return 0;
    }
    case BE_UNHIT:
      if (BoardObject* b = eventBall(e))
        if (p->debug) logPrint("%s: tm-%.2f %d UNHIT", fn, tableNow(), b->id);
      return 0;
    default:
      return 0;
  }
}

void accelReconf(int, Outline* outline, BoardObject* o) {
  logReconfigure("accel", outline);
  accelKeys("accel_reader()", static_cast<AccelParms*>(o->parms), outline);
}

void accel2Reconf(int, Outline* outline, BoardObject* o) {
  logReconfigure("accel2", outline);
  accel2Keys(static_cast<Accel2Parms*>(o->parms), outline);
}

// Both kinds are sensors: no quick release, so a ball inside gets a scratch
// every step until it leaves the outline.
BoardObject* addZone(const ReaderCtx& c, BoardHandler handler, int family, void* parms) {
  ShapeData d = oprShapeData(c.outline, gTable.globalK);
  BoardObject* o = BOARD_ADDSHAPE_EX(handler, family, &d, 0, parms);
  if (!o) {
    logError(0, "%s, object (%d,%d): error adding the object to the board", c.fn, c.x, c.y);
    releaseReader(parms, nullptr, nullptr);
  }
  return o;
}

}  // namespace

int accel_reader(int, int layer, Outline* outline) {
  if (OPR_FAMILY(outline) != FAM_ACCEL) return 0;
  ReaderCtx c = readerCtx("accel_reader()", layer, outline);
  auto* p = static_cast<AccelParms*>(oprAllocParms(c.fn, outline, sizeof(AccelParms)));
  if (!p) return 0;
  accelKeys(c.fn, p, outline);
  BoardObject* o = addZone(c, accelHandler, FAM_ACCEL, p);
  if (!o) return 0;
  oprFinishObject(o, layer, outline, p);
  if (OPR_INT(outline, "disabled", 0)) o->disabled = 1;
  OPR_ADD_RECONF(accelReconf, layer, outline, o);
  logPrint("%s, object (%d,%d): kx-%.2f ky-%.2f angle-%.2f length-%.2f dx-%.2f dy-%.2f", c.fn, c.x, c.y, p->def.kx,
           p->def.ky, p->angle, p->length, p->def.dx, p->def.dy);
  return 1;
}

int accel2_reader(int, int layer, Outline* outline) {
  if (OPR_FAMILY(outline) != FAM_ACCEL2) return 0;
  ReaderCtx c = readerCtx("accel2_reader()", layer, outline);
  auto* p = static_cast<Accel2Parms*>(oprAllocParms(c.fn, outline, sizeof(Accel2Parms)));
  if (!p) return 0;
  accel2Keys(p, outline);
  BoardObject* o = addZone(c, accel2Handler, FAM_ACCEL2, p);
  if (!o) return 0;
  oprFinishObject(o, layer, outline, nullptr);
  if (OPR_INT(outline, "disabled", 0)) o->disabled = 1;
  OPR_ADD_RECONF(accel2Reconf, layer, outline, o);
  logPrint("%s, object (%d,%d): angle-%.2f kvelo-%.2f dx-%.2f dy-%.2f thresh_low-%.2f thresh_high-%.2f", c.fn, c.x,
           c.y, p->angle, p->kvelo, p->dx, p->dy, p->threshLow, p->threshHigh);
  return 1;
}
