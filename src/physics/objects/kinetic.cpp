// Kinetic table objects, the ones whose job is to move the ball: walls,
// bumpers, slingshots (triangles), droppers between table layers, the
// plunger (spring), the outlane kicker (saver) and spinners. The acceleration
// zones live in kinetic_accel.cpp, the flippers in kinetic_flippers.cpp.
//
// Each kind is a reader (outline + parameter section -> board object) and a
// handler of board events. Walls, bumpers, springs and savers release a ball
// at once after each hit (quick release); triangles, droppers and spinners
// keep a ball in contact until it leaves their outline.
#include <climits>
#include <cstddef>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "anim/lights.h"
#include "anim/title.h"
#include "core/log.h"
#include "core/random.h"
#include "core/text.h"
#include "game/game.h"
#include "game/mission.h"
#include "game/score.h"
#include "game/stats.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/ball.h"
#include "physics/objects/kinetic_internal.h"
#include "physics/objects/objects_reset.h"
#include "physics/table.h"
#include "sound/fx.h"

namespace kinetic {

BoardObject* onBoard(ObjReader* r, BoardObject* object, void* infoWord1) {
  if (!object) {
    objReaderFail(r, "error adding the object to the board");
    return nullptr;
  }
  objReaderFinish(r, object, infoWord1);
  return object;
}

int frameCount(const VBOBJ* instance) { return objFrames(instance ? instance->sprite : nullptr); }

double powFactor(double base, double dt) {
  double f = std::pow(base, dt);
  return std::isfinite(f) ? f : 1.0;
}

double degToRad(double degrees) { return degrees * (std::numbers::pi / 180.0); }

}  // namespace kinetic

using namespace kinetic;

namespace {

// 1 when more than delay has passed on the game clock since *time, which
// then moves on to now: the animations take one step per delay.
int delayPassed(double* time, double now, int delay) {
  if (now - *time <= delay) return 0;
  *time = now;
  return 1;
}

// One frame further up to the last one; 1 once it is reached.
int frameUp(int* frame, int last) {
  if (++*frame < last) return 0;
  *frame = last;
  return 1;
}

// ---- Kinds drawn with a sprite ----
//
// Bumpers, triangles, springs, savers and spinners. Each parameter block
// begins with the object's sprite and the instance showing it; the kinds
// differ only in what a ball's hit and each frame do.

struct SpriteObject {
  Sprite* sprite;
  VBOBJ* instance;
};

struct SpriteKind {
  void (*hit)(BoardObject* o, BoardEvent* e, BoardObject* ball);  // a live ball's BE_HIT
  int (*frame)(BoardObject* o, double dt);                          // BE_FRAME
};

int spriteKindEvent(const SpriteKind& kind, BoardObject* o, BoardEvent* e) {
  auto* spr = static_cast<SpriteObject*>(o->parms);
  if (!spr) return 0;
  switch (e->type) {
    case BE_KILL:
      return objKill(o, spr->instance);
    case BE_HIT:
      if (BoardObject* b = objEventBall(e)) kind.hit(o, e, b);
      return 0;
    case BE_FRAME:
      return kind.frame(o, e->dt);
    default:
      return 0;
  }
}

// ---- Wall ----

int wallHandler(BoardObject* o, BoardEvent* e) {
  if (e->type == BE_HIT)
    if (BoardObject* b = objEventBall(e)) BOUNCE_SHAPE(e, o, b);
  return 0;
}

void wallReconf(int, Outline* outline, BoardObject* o) {
  objLogReconfigure("wall", outline);
  o->u.shape.k = OPR_REAL(outline, "k", gTable.globalK);
}

// ---- Bumper ----

enum { BUMPER_IDLE = 0, BUMPER_HEATING = 1, BUMPER_COOLING = 2 };
enum { LOGIC_DUMA = 0, LOGIC_KREMLIN = 1 };
enum { MISSION_DUMA = 0, MISSION_ELECTIONS = 5 };
constexpr double kQuorumStep = 7.5;

struct BumperParms {
  SpriteObject spr;  // on visual layer 4
  int frame;
  double time;  // of the last frame change
  int place;
  int logic;
  int heatDelay, coolDelay;
  double minAttack, maxAttack;
  int state;
};

void bumperTunables(BumperParms* p, const Outline* outline, double* k) {
  *k = OPR_REAL(outline, "k", gTable.globalK);
  p->minAttack = OPR_REAL(outline, "min_attack", 0);
  p->maxAttack = OPR_REAL(outline, "max_attack", 0);
  p->heatDelay = OPR_INT(outline, "heat_delay", 10);
  p->coolDelay = OPR_INT(outline, "cool_delay", 10);
}

void bumperReconf(int, Outline* outline, BoardObject* o) {
  objLogReconfigure("bumper", outline);
  bumperTunables(static_cast<BumperParms*>(o->parms), outline, &o->u.shape.k);
}

// What an idle bumper does to the ball and the game when it is hit.
void bumperAttack(BumperParms* p, BoardObject* ball) {
  double r = rndNext() / 32767.0;
  double factor = p->minAttack + r * (p->maxAttack - p->minAttack);
  ball->u.ball.velo.x *= factor;
  ball->u.ball.velo.y *= factor;
  char subject[32];
  if (p->logic == LOGIC_DUMA) {
    gstatSample("hit:duma_bumper");
    strFormatN(subject, sizeof subject, "duma_bumper%d", p->place);
    scoreAdd(subject);
    playTableSample(SI_DUMA_BUMPER);
    lightSet(LI_DUMA_BUMPER0 + p->place, LIGHT_ON);
    int mission = missionCurrent();
    if (mission == MISSION_ELECTIONS) {
      // The elections have their own quorum.
    } else if (mission == MISSION_DUMA) {
      missionEvent(MEVT_DUMA_BUMPER, 0, 0);
    } else {
      gameSetQuorum(game.quorum + kQuorumStep);
      char text[32];
      strFormatN(text, sizeof text, "%.0f%%", game.quorum);
      titleSetMacro("quorum", text);
      startForeTitle("quorum_progress");
    }
  } else {
    gstatSample("hit:krem_bumper");
    strFormatN(subject, sizeof subject, "krem_bumper%d", p->place);
    scoreAdd(subject);
    lightSet(LI_KREM_BUMPER0 + p->place, LIGHT_ON);
    playTableSample(SI_KREM_BUMPER);
  }
  p->state = BUMPER_HEATING;
  p->frame = 0;
  p->time = tableNow();
}

// Heating runs the frames up, one per heat_delay, cooling back down, one per
// cool_delay; the bumper takes no new attack until it is idle again.
int bumperFrame(BoardObject* o, double) {
  auto* p = static_cast<BumperParms*>(o->parms);
  double now = tableNow();
  int last = frameCount(p->spr.instance) - 1;
  if (p->state == BUMPER_HEATING && delayPassed(&p->time, now, p->heatDelay)) {
    if (frameUp(&p->frame, last)) p->state = BUMPER_COOLING;
  } else if (p->state == BUMPER_COOLING && delayPassed(&p->time, now, p->coolDelay)) {
    if (--p->frame < 1) {
      p->frame = 0;
      p->state = BUMPER_IDLE;
    }
  }
  return objShowFrame("bumper_handler()", o, p->spr.instance, p->frame);
}

void bumperHit(BoardObject* o, BoardEvent* e, BoardObject* ball) {
  auto* p = static_cast<BumperParms*>(o->parms);
  BOUNCE_SHAPE(e, o, ball);
  if (p->state == BUMPER_IDLE) bumperAttack(p, ball);
}

constexpr SpriteKind kBumper = {bumperHit, bumperFrame};
static_assert(offsetof(BumperParms, spr) == 0, "a sprite kind's block begins with its SpriteObject");
int bumperHandler(BoardObject* o, BoardEvent* e) { return spriteKindEvent(kBumper, o, e); }

// ---- Triangle (slingshot) ----

struct TriangleParms {
  SpriteObject spr;  // on visual layer 4
  int right;
  int delay;
  double minvelo;
  double attack;
  Vec3 kick;  // added to the ball's velocity on a kick
  int lit;
  int litFrame;  // counts the sprite frames down while lit
  double time;
};

void triangleHit(BoardObject* o, BoardEvent* e, BoardObject* ball) {
  auto* p = static_cast<TriangleParms*>(o->parms);
  BOUNCE_SHAPE(e, o, ball);
  if (vLenXY(ball->u.ball.velo) <= p->minvelo) return;
  gstatSample(p->right ? "hit:tri_right" : "hit:tri_left");
  ball->u.ball.velo.x += p->kick.x;
  ball->u.ball.velo.y += p->kick.y;
  playTableSample(SI_TRI);
  p->lit = 1;
  p->litFrame = frameCount(p->spr.instance) - 1;
  p->time = tableNow();
}

int triangleFrame(BoardObject* o, double) {
  auto* p = static_cast<TriangleParms*>(o->parms);
  if (p->lit && delayPassed(&p->time, tableNow(), p->delay) && --p->litFrame < 0) {
    p->lit = 0;
    p->litFrame = 0;
  }
  return objShowFrame("triangle_handler()", o, p->spr.instance, p->lit ? p->litFrame : 0);
}

constexpr SpriteKind kTriangle = {triangleHit, triangleFrame};
static_assert(offsetof(TriangleParms, spr) == 0, "a sprite kind's block begins with its SpriteObject");
int triangleHandler(BoardObject* o, BoardEvent* e) { return spriteKindEvent(kTriangle, o, e); }

// ---- Dropper ----

struct DropperParms {
  int debug;
  double minvelo;
  int layerFrom, layerTo;
};

// A slow ball drops to layer_to: it starts a jump from the height difference
// of the two layers at its position and falls onto the lower layer.
int dropperHandler(BoardObject* o, BoardEvent* e) {
  const char* fn = "dropper_handler()";
  auto* p = static_cast<DropperParms*>(o->parms);
  if (!p) return 0;
  if (e->type == BE_KILL) return objKill(o, nullptr);
  if (e->type != BE_HIT && e->type != BE_SCRATCH) return 0;
  BoardObject* b = objEventBall(e);
  if (!b) return 0;
  BallData* bd = &b->u.ball;
  if (std::fabs(bd->velo.y) >= p->minvelo) {
    if (p->debug) logPrint("%s, id %d: HIT/SCRATCH yvelo-%.2f minvelo-%.2f", fn, o->id, bd->velo.y, p->minvelo);
    return 0;
  }
  playTableSample(SI_DROPPER);
  bd->velo.x = 0;
  double delta = SURFACE_HEIGHT(p->layerFrom, bd->pos.x, bd->pos.y) - SURFACE_HEIGHT(p->layerTo, bd->pos.x, bd->pos.y);
  if (BallParms* bp = ballParms(b)) {
    bp->jumping = 1;
    bp->jumpVelo = 0;
    bp->jumpHeight = delta;
  }
  b->lmask = 1 << p->layerTo;
  BOARD_UNHIT(o->id, b->id);
  // After a hit the board marks the pair in contact unless the event says
  // otherwise: the ball has left this object for good.
  if (e->type == BE_HIT) e->type = BE_UNHIT;
  if (p->debug) logPrint("%s, id %d: HIT/SCRATCH set lmask to %d hm_delta-%.2f", fn, o->id, b->lmask, delta);
  return 0;
}

// ---- Spring (plunger) ----

struct SpringParms {
  SpriteObject spr;  // on visual layer 2
  int debug;
  BoardObject* captured;
  int capturedId;
  double pull;
  double length;
  double velocity;
  double fwdaccel, backvelo, minvelo, minpushvelo;
};

int springCapturedAlive(const SpringParms* p) {
  return p->captured && objLiveBall(p->captured) && p->captured->id == p->capturedId;
}

int springFrame(BoardObject* o, double dt) {
  const char* fn = "spring_handler()";
  auto* p = static_cast<SpringParms*>(o->parms);
  if (p->captured && !springCapturedAlive(p)) {
    logPrint("%s: captured ball deleted - clearing", fn);
    p->captured = nullptr;
  }
  p->pull += p->velocity * dt;
  if (p->pull > p->length) p->pull = p->length;
  if (p->pull < 0) p->pull = 0;
  // During game over the plunger key counts as up.
  int held = !tableGameOver() && tableKeyHeld(TABLE_KEY_LAUNCH);
  if (held) {
    if (p->pull <= p->length - p->backvelo) p->velocity = p->backvelo;
  } else if (p->pull > 0) {
    p->velocity -= p->fwdaccel * dt;
  } else {
    if (p->captured && p->velocity < 0) {
      BallData* bd = &p->captured->u.ball;
      playTableSample(SI_SPRING);
      bd->noaccel = 0;
      bd->velo.y = std::fmin(p->velocity, -p->minpushvelo);
      logPrint("%s: firing ball %d velo-%.2f", fn, p->captured->id, bd->velo.y);
      p->captured = nullptr;
    }
    p->velocity = 0;
  }
  int n = frameCount(p->spr.instance);
  int frame = p->length > 0 ? static_cast<int>(n * p->pull / p->length) : 0;
  if (frame > n - 1) frame = n - 1;
  return objShowFrame(fn, o, p->spr.instance, frame);
}

void springHit(BoardObject* o, BoardEvent* e, BoardObject* ball) {
  const char* fn = "spring_handler()";
  auto* p = static_cast<SpringParms*>(o->parms);
  if (p->debug) logPrint("%s: HIT by ball %d", fn, ball->id);
  BOUNCE_SHAPE(e, o, ball);
  BallData* bd = &ball->u.ball;
  // One ball at a time rests on the plunger; another one bounces.
  if (std::fabs(bd->velo.y) < p->minvelo && !springCapturedAlive(p)) {
    bd->velo = Vec3{0, 0, 0};
    bd->pos.x = o->u.shape.outline.pos.x;
    bd->noaccel = 1;
    p->captured = ball;
    p->capturedId = ball->id;
    logPrint("%s: ball %d captured", fn, ball->id);
  }
}

constexpr SpriteKind kSpring = {springHit, springFrame};
static_assert(offsetof(SpringParms, spr) == 0, "a sprite kind's block begins with its SpriteObject");
int springHandler(BoardObject* o, BoardEvent* e) { return spriteKindEvent(kSpring, o, e); }

// ---- Saver (outlane kicker) ----

enum { SAVER_IDLE = 0, SAVER_RISING = 1, SAVER_FALLING = 2 };

struct SaverParms {
  SpriteObject spr;  // on visual layer 4
  int place;
  double minvelo;
  double attackX, attackY;  // times f; attackY is applied upwards
  int upFramestep;
  int upDelay, downDelay;
  int state;
  int frame;
  double time;
  BoardObject* ball;
  int ballId;
};

int saverFrame(BoardObject* o, double) {
  auto* p = static_cast<SaverParms*>(o->parms);
  double now = tableNow();
  int last = frameCount(p->spr.instance) - 1;
  if (p->state == SAVER_RISING && delayPassed(&p->time, now, p->upDelay)) {
    if (frameUp(&p->frame, last)) p->state = SAVER_FALLING;
  } else if (p->state == SAVER_FALLING && delayPassed(&p->time, now, p->downDelay)) {
    p->frame -= p->upFramestep;
    if (p->frame < 0) {
      p->state = SAVER_IDLE;
      p->frame = 0;
      if (objLiveBall(p->ball) && p->ball->id == p->ballId) {
        p->ball->u.ball.velo.x += p->attackX;
        p->ball->u.ball.velo.y -= p->attackY;
      }
      p->ball = nullptr;
      BLOCKER_CONTROL_UP(p->place);
      playTableSample(SI_SAVER);
    }
  }
  return objShowFrame("saver_handler()", o, p->spr.instance, p->frame);
}

void saverHit(BoardObject* o, BoardEvent* e, BoardObject* ball) {
  auto* p = static_cast<SaverParms*>(o->parms);
  BOUNCE_SHAPE(e, o, ball);
  ball->u.ball.velo.x = 0;
  if (std::fabs(ball->u.ball.velo.y) < p->minvelo && p->state == SAVER_IDLE) {
    p->ball = ball;
    p->ballId = ball->id;
    p->state = SAVER_RISING;
    p->frame = 0;
    p->time = tableNow();
  }
}

constexpr SpriteKind kSaver = {saverHit, saverFrame};
static_assert(offsetof(SaverParms, spr) == 0, "a sprite kind's block begins with its SpriteObject");
int saverHandler(BoardObject* o, BoardEvent* e) { return spriteKindEvent(kSaver, o, e); }

// ---- Spinner ----

struct SpinnerParms {
  SpriteObject spr;  // on visual layer 4
  int debug;
  int place;  // 0 left, otherwise right (its sound)
  double rotateK, friction, minvelo;
  double axisAngle;  // radians in [0, 2 pi)
  double angle;      // degrees
  double speed;
  int direction;  // +1 forwards, -1 backwards
};

double angle2Pi(double y, double x) {
  double a = std::atan2(y, x);
  return a < 0 ? a + 2 * std::numbers::pi : a;
}

// The ball is on the first side of the axis when it lies less than half a
// turn clockwise of it.
int spinnerFirstSide(double a1, double a2) {
  return (a1 <= a2 && a2 - a1 >= std::numbers::pi) || (a1 > a2 && a1 - a2 < std::numbers::pi);
}

void spinnerHit(BoardObject* o, BoardEvent*, BoardObject* ball) {
  auto* p = static_cast<SpinnerParms*>(o->parms);
  if (p->debug) logPrint("%s: %d HIT", "spinner_handler()", ball->id);
  const Vec3 pos = o->u.shape.outline.pos;
  double a2 = angle2Pi(ball->u.ball.pos.y - pos.y, ball->u.ball.pos.x - pos.x);
  p->direction = spinnerFirstSide(p->axisAngle, a2) ? 1 : -1;
  p->speed = vLenXY(ball->u.ball.velo) * p->rotateK;
  playTableSample(p->place != 0 ? SI_RSPINNER : SI_LSPINNER);
}

int spinnerFrame(BoardObject* o, double dt) {
  auto* p = static_cast<SpinnerParms*>(o->parms);
  p->angle = std::fmod(p->angle + p->direction * p->speed * dt, 360.0);
  p->speed -= p->friction * dt;
  if (p->speed < 0) p->speed = 0;
  if (p->speed < p->minvelo) {
    // A slow blade finishes its turn and stops upright.
    if (std::fabs(p->angle) > p->minvelo)
      p->speed = p->minvelo;
    else
      p->angle = 0;
  }
  if (p->angle < 0) p->angle += 360;
  int n = frameCount(p->spr.instance);
  int frame = n - (static_cast<int>(n * p->angle / 360) % n) - 1;
  return objShowFrame("spinner_handler()", o, p->spr.instance, frame);
}

constexpr SpriteKind kSpinner = {spinnerHit, spinnerFrame};
static_assert(offsetof(SpinnerParms, spr) == 0, "a sprite kind's block begins with its SpriteObject");
int spinnerHandler(BoardObject* o, BoardEvent* e) { return spriteKindEvent(kSpinner, o, e); }

// The spinner's axis: towards the outline vertex farthest from its position.
double spinnerAxis(const Outline* outline) {
  double best = -1, angle = 0;
  for (int i = 0; i < outline->n && outline->vertices; i++) {
    const Vec3& v = outline->vertices[i];
    double d = v.x * v.x + v.y * v.y;
    if (d > best) {
      best = d;
      angle = angle2Pi(v.y, v.x);
    }
  }
  return angle;
}

}  // namespace

// ---- Readers ----

int wall_reader(int, int layer, Outline* outline) {
  // Offered last, the wall reader takes every outline no other reader took.
  ObjReader r;
  objReaderBegin(&r, "wall_reader()", -1, layer, outline);
  double k = objReaderElasticity(&r);
  BoardObject* o = onBoard(&r, objReaderAddShape(&r, wallHandler, FAM_WALL, k, 1));
  if (!o) return 0;
  OPR_ADD_RECONF(wallReconf, layer, outline, o);
  objReaderNote(&r, "k-%3.2f", k);
  return 1;
}

int bumper_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<BumperParms>(&r, "bumper_reader()", FAM_BUMPER, layer, outline);
  if (!p) return 0;
  if (!(p->spr.sprite = objReaderSprite(&r, "sprite"))) return objReaderAbandon(&r);
  const char* logic = OPR_STRING(outline, "logic", nullptr);
  if (!logic) return objReaderFail(&r, "'logic' not defined");
  if (std::strcmp(logic, "duma") == 0)
    p->logic = LOGIC_DUMA;
  else if (std::strcmp(logic, "kremlin") == 0)
    p->logic = LOGIC_KREMLIN;
  else
    return objReaderFail(&r, "invalid logic '%s'", logic);
  if (!objReaderPlace(&r, 0, INT_MAX, &p->place)) return objReaderAbandon(&r);
  double k;
  bumperTunables(p, outline, &k);
  p->spr.instance = objReaderInstance(&r, p->spr.sprite, 0, 4);
  BoardObject* o = onBoard(&r, objReaderAddShape(&r, bumperHandler, FAM_BUMPER, k, 1));
  if (!o) return 0;
  OPR_ADD_RECONF(bumperReconf, layer, outline, o);
  objReaderNote(&r, "sprite-'%s' k-%.2f min_attack-%.2f max_attack-%.2f", OPR_STRING(outline, "sprite", ""), k,
                p->minAttack, p->maxAttack);
  return 1;
}

int triangle_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<TriangleParms>(&r, "triangle_reader()", FAM_TRIANGLE, layer, outline);
  if (!p) return 0;
  if (!(p->spr.sprite = objReaderSprite(&r, "sprite"))) return objReaderAbandon(&r);
  p->right = OPR_INT(outline, "right", 0);
  p->delay = OPR_INT(outline, "delay", 0);
  p->minvelo = OPR_REAL(outline, "minvelo", 0.1);
  p->attack = OPR_REAL(outline, "attack", 1.0);
  double k = OPR_REAL(outline, "k", 0.7);
  // Up the table, away from the slingshot's outer side.
  Vec3 dir = p->right ? Vec3{outline->ymin - outline->ymax, outline->xmin - outline->xmax, 0}
                      : Vec3{outline->ymax - outline->ymin, outline->xmin - outline->xmax, 0};
  p->kick = vSetLenXY(dir, p->attack);
  p->spr.instance = objReaderInstance(&r, p->spr.sprite, 0, 4);
  BoardObject* o = onBoard(&r, objReaderAddShape(&r, triangleHandler, FAM_TRIANGLE, k, 0));
  if (!o) return 0;
  objReaderNote(&r, "sprite-'%s' right-%d k-%.2f attack-%.2f minvelo-%.2f", OPR_STRING(outline, "sprite", ""),
                p->right, k, p->attack, p->minvelo);
  return 1;
}

int dropper_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<DropperParms>(&r, "dropper_reader()", FAM_DROPPER, layer, outline);
  if (!p) return 0;
  p->debug = OPR_INT(outline, "debug", 0);
  p->minvelo = OPR_REAL(outline, "minvelo", 0.2);
  p->layerFrom = OPR_INT(outline, "layer_from", 0);
  p->layerTo = OPR_INT(outline, "layer_to", 0);
  // Layers are lmask bits: anything outside 0..7 would make no valid mask.
  if (p->layerFrom < 0 || p->layerFrom >= TABLE_LAYERS)
    return objReaderFail(&r, "invalid layer_from %d", p->layerFrom);
  if (p->layerTo < 0 || p->layerTo >= TABLE_LAYERS) return objReaderFail(&r, "invalid layer_to %d", p->layerTo);
  BoardObject* o = objReaderAddShape(&r, dropperHandler, FAM_DROPPER, gTable.globalK, 0);
  if (!o) return objReaderFail(&r, "error adding the object to the board");
  // The dropper lies on the upper layer: its lmask defaults to layer_from.
  oprFinishObject(o, p->layerFrom, outline, nullptr);
  objReaderNote(&r, "minvelo-%.2f layer_from-%d layer_to-%d", p->minvelo, p->layerFrom, p->layerTo);
  return 1;
}

int spring_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<SpringParms>(&r, "spring_reader()", FAM_SPRING, layer, outline);
  if (!p) return 0;
  if (!(p->spr.sprite = objReaderSprite(&r, "sprite"))) return objReaderAbandon(&r);
  p->debug = OPR_INT(outline, "debug", 0);
  p->length = OPR_REAL(outline, "length", 30);
  p->fwdaccel = OPR_REAL(outline, "fwdaccel", 0.1);
  p->backvelo = OPR_REAL(outline, "backvelo", 1.0);
  p->minvelo = OPR_REAL(outline, "minvelo", 0.5);
  p->minpushvelo = OPR_REAL(outline, "minpushvelo", 0);
  double k = objReaderElasticity(&r);
  p->spr.instance = objReaderInstance(&r, p->spr.sprite, 0, 2);
  BoardObject* o = onBoard(&r, objReaderAddShape(&r, springHandler, FAM_SPRING, k, 1));
  if (!o) return 0;
  objReaderNote(&r, "sprite-'%s' k-%.2f length-%.2f fwdaccel-%.2f backvelo-%.2f minvelo-%.2f",
                OPR_STRING(outline, "sprite", ""), k, p->length, p->fwdaccel, p->backvelo, p->minvelo);
  return 1;
}

int saver_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<SaverParms>(&r, "saver_reader()", FAM_SAVER, layer, outline);
  if (!p) return 0;
  if (!objReaderPlaceUpTo(&r, 1, &p->place)) return objReaderAbandon(&r);
  if (!(p->spr.sprite = objReaderSprite(&r, "sprite", "'sprite' not defined"))) return objReaderAbandon(&r);
  p->minvelo = OPR_REAL(outline, "minvelo", 0.2);
  p->attackX = OPR_REAL(outline, "attack_x", 0) * gTable.f;
  p->attackY = OPR_REAL(outline, "attack_y", 5.0) * gTable.f;
  p->upFramestep = OPR_INT(outline, "up_framestep", 1);
  if (p->upFramestep < 1) {
    objReaderNote(&r, "invalid up_framestep %d, fixed to be 1", p->upFramestep);
    p->upFramestep = 1;
  }
  p->upDelay = OPR_INT(outline, "up_delay", 0);
  p->downDelay = OPR_INT(outline, "down_delay", 0);
  double k = objReaderElasticity(&r);
  p->spr.instance = objReaderInstance(&r, p->spr.sprite, 0, 4);
  BoardObject* o = onBoard(&r, objReaderAddShape(&r, saverHandler, FAM_SAVER, k, 1));
  if (!o) return 0;
  objReaderNote(&r, "place-%d minvelo-%3.2f attack-(%3.2f,%3.2f)", p->place, p->minvelo, p->attackX, p->attackY);
  return 1;
}

int spinner_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<SpinnerParms>(&r, "spinner_reader()", FAM_SPINNER, layer, outline);
  if (!p) return 0;
  if (!(p->spr.sprite = objReaderSprite(&r, "sprite"))) return objReaderAbandon(&r);
  p->debug = OPR_INT(outline, "debug", 0);
  p->place = OPR_INT(outline, "place", -1);
  p->rotateK = OPR_REAL(outline, "rotate_k", 1.0);
  p->friction = OPR_REAL(outline, "friction", 1.0);
  p->minvelo = OPR_REAL(outline, "minvelo", 1.0);
  p->axisAngle = spinnerAxis(outline);
  p->direction = 1;
  p->spr.instance = objReaderInstance(&r, p->spr.sprite, 0, 4);
  BoardObject* o = onBoard(&r, objReaderAddShape(&r, spinnerHandler, FAM_SPINNER, gTable.globalK, 0));
  if (!o) return 0;
  objReaderNote(&r, "sprite-'%s' place-%d rotate_k-%.2f friction-%.2f minvelo-%.2f", OPR_STRING(outline, "sprite", ""),
                p->place, p->rotateK, p->friction, p->minvelo);
  return 1;
}

// The kinetic kinds keep no table-wide state of their own; the routing and
// switch kinds do.
void objectsReset() {
  routingReset();
  switchesReset();
}
