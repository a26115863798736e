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
#include "physics/objects/kinetic_internal.h"
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

// What an event asks of a zone under the event rule of both kinds.
enum ZoneStep {
  ZONE_NOTHING,  // no ball, or an event zones do not act on
  ZONE_ACT,      // act on the ball now (the instant is noted)
  ZONE_IGNORED,  // a scratch in the instant of the last action
  ZONE_LEFT,     // the ball left the zone
};

// Applies the event rule to an event: keeps the step's dt from BE_FRAME and
// BE_SCRATCH, releases the parameter block on BE_KILL, and for the contact
// events of a live ball says what to do with it (the ball through ball).
ZoneStep zoneEvent(BoardObject* o, ActionClock* c, BoardEvent* e, BoardObject** ball) {
  switch (e->type) {
    case BE_KILL: objKill(o, nullptr); return ZONE_NOTHING;
    case BE_FRAME: c->stepDt = e->dt; return ZONE_NOTHING;
    case BE_HIT:
    case BE_SCRATCH: {
      if (!(*ball = objEventBall(e))) return ZONE_NOTHING;
      if (e->type == BE_SCRATCH) c->stepDt = e->dt;
      double now = tableNow();
      if (e->type == BE_SCRATCH && c->acted && c->lastTime == now) return ZONE_IGNORED;
      c->acted = 1;
      c->lastTime = now;
      return ZONE_ACT;
    }
    case BE_UNHIT: return (*ball = objEventBall(e)) ? ZONE_LEFT : ZONE_NOTHING;
    default: return ZONE_NOTHING;
  }
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
  BoardObject* b = nullptr;
  switch (zoneEvent(o, &p->clock, e, &b)) {
    case ZONE_ACT: accelAct(fn, p, b, e->type == BE_HIT ? "HIT" : "SCRATCH"); break;
    case ZONE_IGNORED:
      if (p->debug) logPrint("%s: %d SCRATCH ignored", fn, b->id);
      break;
    case ZONE_LEFT:
      if (p->debug) logPrint("%s: %d UNHIT", fn, b->id);
      break;
    default: break;
  }
  return 0;
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
  double e = vLenXY(b->velo);
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
  BoardObject* b = nullptr;
  switch (zoneEvent(o, &p->clock, e, &b)) {
    case ZONE_ACT: {
      const char* what = e->type == BE_HIT ? "HIT" : "SCRATCH";
      if (p->debug) logPrint("%s: tm-%.2f %d %s", fn, tableNow(), b->id, what);
      accel2Act(fn, p, b, what);
      break;
    }
    case ZONE_IGNORED:
      if (p->debug) logPrint("%s: tm-%.2f %d SCRATCH ignored", fn, tableNow(), b->id);
      break;
    case ZONE_LEFT:
      if (p->debug) logPrint("%s: tm-%.2f %d UNHIT", fn, tableNow(), b->id);
      break;
    default: break;
  }
  return 0;
}

void accelReconf(int, Outline* outline, BoardObject* o) {
  objLogReconfigure("accel", outline);
  accelKeys("accel_reader()", static_cast<AccelParms*>(o->parms), outline);
}

void accel2Reconf(int, Outline* outline, BoardObject* o) {
  objLogReconfigure("accel2", outline);
  accel2Keys(static_cast<Accel2Parms*>(o->parms), outline);
}

}  // namespace

// Both kinds are sensors: no quick release, so a ball inside gets a scratch
// every step until it leaves the outline.

int accel_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<AccelParms>(&r, "accel_reader()", FAM_ACCEL, layer, outline);
  if (!p) return 0;
  accelKeys(r.fn, p, outline);
  BoardObject* o = onBoard(&r, objReaderAddShape(&r, accelHandler, FAM_ACCEL, gTable.globalK, 0), p);
  if (!o) return 0;
  objReaderDisabled(&r, o);
  OPR_ADD_RECONF(accelReconf, layer, outline, o);
  objReaderNote(&r, "kx-%.2f ky-%.2f angle-%.2f length-%.2f dx-%.2f dy-%.2f", p->def.kx, p->def.ky, p->angle,
                p->length, p->def.dx, p->def.dy);
  return 1;
}

int accel2_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<Accel2Parms>(&r, "accel2_reader()", FAM_ACCEL2, layer, outline);
  if (!p) return 0;
  accel2Keys(p, outline);
  BoardObject* o = onBoard(&r, objReaderAddShape(&r, accel2Handler, FAM_ACCEL2, gTable.globalK, 0));
  if (!o) return 0;
  objReaderDisabled(&r, o);
  OPR_ADD_RECONF(accel2Reconf, layer, outline, o);
  objReaderNote(&r, "angle-%.2f kvelo-%.2f dx-%.2f dy-%.2f thresh_low-%.2f thresh_high-%.2f", p->angle, p->kvelo,
                p->dx, p->dy, p->threshLow, p->threshHigh);
  return 1;
}
