// The ostlift: a ball lock that takes up to six balls off the table, one at a
// time (a lift carries each up, a drum turns to store it), and later puts
// them back one by one when the advertising multiball starts. Its state is
// table-wide; the object's handler locks balls and runs the animations one
// step per delay of the game clock.
#include <cmath>
#include <cstdlib>

#include "anim/title.h"
#include "core/conf.h"
#include "core/log.h"
#include "game/game.h"
#include "game/score.h"
#include "gfx/sprite.h"
#include "gfx/vboard.h"
#include "physics/ball.h"
#include "physics/objects/routing_internal.h"
#include "physics/table.h"
#include "sound/fx.h"

namespace {

enum OstliftState {
  OST_IDLE = 0,
  OST_LIFTING = 1,
  OST_TURNING = 2,
  OST_STORING = 3,
  OST_RELEASING = 4,
  OST_WAITING = 5,
};
enum { OST_MAX_STORED = 6, OST_LAYER = 4, OST_MAX_BALL_FRAMES = 65536 };

constexpr double kPi = 3.141592653589793;

struct OstliftParms {
  Sprite* up;
  Sprite* down;
  Sprite* drum;
  VBOBJ* upInst;
  VBOBJ* downInst;
  VBOBJ* drumInst;
  int delay, ballFrames;
  double ballMindist;
  int activeTimeout;  // read for the configuration's sake; nothing times out
  double releaseX, releaseY, releaseAngle, releaseLength, releaseHmDelta;
  int shootWaitCycles;
};

struct Ostlift {
  int state;
  int stored;
  int upFrame, downFrame, drumFrame;
  double time;
  int waitLeft;        // frames still to wait between two released balls
  int pendingRelease;  // a release asked for while a ball was being stored
  BoardObject* object;
  OstliftParms* parms;
};

Ostlift gOst;

int lastFrame(const Sprite* s) { return objFrames(s) - 1; }

void show(const OstliftParms* p) {
  if (p->upInst) vbSetFrame(p->upInst, gOst.upFrame);
  if (p->downInst) vbSetFrame(p->downInst, gOst.downFrame);
  if (p->drumInst) vbSetFrame(p->drumInst, gOst.drumFrame);
}

void reklamaInEnd() { tableRequestBall(1); }

void reklamaMultiballEnd() {
  gameBigScore(routingBigScore("reklama.value"));
}

void beginRelease() {
  gOst.pendingRelease = 0;
  gOst.state = OST_RELEASING;
  gOst.time = tableNow();
}

void lock(BoardObject* ball) {
  ball->kill = 1;
  playTableSample(SI_OSTLIFT_UP);
  gOst.state = OST_LIFTING;
  gOst.upFrame = 0;
  gOst.time = tableNow();
  // Runs the next step at once when no title plays (titles not loaded).
  titleEndCallbackOrNow(startForeTitle("reklama_in"), reklamaInEnd);
}

void putBall(const OstliftParms* p) {
  const char* fn = "ostlift_handler()";
  logPrint("%s: put_ball_to_board (release ball)", fn);
  BallData d{};
  double a = p->releaseAngle * kPi / 180.0;
  d.pos = Vec3{p->releaseX, p->releaseY, 0};
  d.velo = Vec3{p->releaseLength * std::cos(a), p->releaseLength * std::sin(a), 0};
  BoardObject* ball = routingCreateBall(&d, 1);
  if (BallParms* bp = ballParms(ball)) {
    logPrint("%s: release_hm_delta-%f", fn, p->releaseHmDelta);
    bp->jumping = 1;
    bp->jumpHeight = p->releaseHmDelta;
    bp->jumpVelo = 0;
  }
}

// One animation step of the state, once per delay.
void step(const OstliftParms* p) {
  const char* fn = "ostlift_handler()";
  switch (gOst.state) {
    case OST_LIFTING:
      if (gOst.upFrame < lastFrame(p->up)) gOst.upFrame++;
      if (gOst.upFrame >= lastFrame(p->up)) {
        playTableSample(SI_OSTLIFT_DOWN);
        gOst.state = OST_TURNING;
        gOst.downFrame = 0;
        gOst.drumFrame = p->ballFrames * gOst.stored + 1;
      }
      break;
    case OST_TURNING:
      if (gOst.downFrame < lastFrame(p->down)) gOst.downFrame++;
      if (gOst.downFrame >= lastFrame(p->down)) {
        playTableSample(SI_OSTLIFT_ROTATE);
        gOst.state = OST_STORING;
      }
      break;
    case OST_STORING: {
      int target = (gOst.stored + 1) * p->ballFrames;
      if (gOst.drumFrame < target) gOst.drumFrame++;
      if (gOst.drumFrame >= target) {
        playTableSample(SI_OSTLIFT_DOWN);
        gOst.state = OST_IDLE;
        gOst.stored++;
        if (gOst.pendingRelease) beginRelease();
      }
      break;
    }
    case OST_RELEASING:
      if (gOst.drumFrame > 0) gOst.drumFrame--;
      if (gOst.drumFrame % p->ballFrames == 0 && gOst.stored > 0) {
        putBall(p);
        gOst.stored--;
        gOst.state = OST_WAITING;
        gOst.waitLeft = p->shootWaitCycles;
      }
      if (gOst.drumFrame <= 0) {
        gOst.state = OST_IDLE;
        logPrint("%s: release done, %d ball(s) left stored", fn, gOst.stored);
      }
      break;
    default:
      break;
  }
}

void frame(const OstliftParms* p) {
  if (gOst.state == OST_WAITING) {
    if (gOst.waitLeft > 0)
      gOst.waitLeft--;
    else
      gOst.state = OST_RELEASING;
  } else {
    double now = tableNow();
    if (gOst.state != OST_IDLE && now - gOst.time >= p->delay) {
      gOst.time = now;
      step(p);
    }
  }
  show(p);
}

// A subgame waits (the video lamp blinks, the magnet pulls balls here): the
// tower takes the ball up for it, and the rules give it back down the right
// tube when the subgame is over.
void takeForSubgame(BoardObject* ball) {
  ball->kill = 1;
  playTableSample(SI_OSTLIFT_UP);
  game.subgameBall++;
  if (gameRunAllowedSubgame() < 0) gameSubgameReturned();
}

// A ball resting at the lift's centre is taken for a waiting subgame, or
// locked when the rules let it be.
void scratch(BoardObject* o, const OstliftParms* p, BoardObject* ball) {
  if (gOst.state != OST_IDLE) return;
  Vec3 d = vSub(ball->u.ball.pos, o->u.shape.outline.pos);
  if (vLenXY(d) > p->ballMindist) return;
  if (game.subgameQueue > 0 && game.requestedSubgame < 0) {
    takeForSubgame(ball);
    return;
  }
  if (gOst.stored >= OST_MAX_STORED || gameSubgamePending() || !game.liftActive) return;
  lock(ball);
}

int ostliftHandler(BoardObject* o, BoardEvent* e) {
  auto* p = static_cast<OstliftParms*>(o->parms);
  if (!p) return 0;
  switch (e->type) {
    case BE_KILL:
      if (gOst.object == o) {
        gOst.object = nullptr;
        gOst.parms = nullptr;
      }
      vbDelObject(p->upInst);
      vbDelObject(p->downInst);
      objKill(o, p->drumInst);
      break;
    case BE_FRAME:
      if (gOst.object == o) frame(p);
      break;
    case BE_SCRATCH:
      if (objLiveBall(e->other)) scratch(o, p, e->other);
      break;
    case BE_HIT:
      if (gOst.state != OST_IDLE && objLiveBall(e->other)) BOUNCE_SHAPE(e, o, e->other);
      break;
    default:
      break;
  }
  return 0;
}

}  // namespace

void ostliftReset() { gOst = Ostlift{}; }
int ostliftState() { return gOst.state; }
int ostliftStored() { return gOst.stored; }

void ostliftStartRelease() {
  if (gOst.state == OST_IDLE)
    beginRelease();
  else if (gOst.state != OST_RELEASING && gOst.state != OST_WAITING)
    gOst.pendingRelease = 1;
  // Runs the next step at once when no title plays (titles not loaded).
  titleEndCallbackOrNow(startForeTitle("reklama_multiball"), reklamaMultiballEnd);
}

int ostlift_reader(int, int layer, Outline* outline) {
  ObjReader r;
  auto* p = objReaderStart<OstliftParms>(&r, "ostlift_reader()", FAM_OSTLIFT, layer, outline);
  if (!p) return 0;
  if (!(p->up = objReaderSprite(&r, "sprite_up")) || !(p->down = objReaderSprite(&r, "sprite_down")) ||
      !(p->drum = objReaderSprite(&r, "sprite_drum")))
    return objReaderAbandon(&r);
  p->delay = OPR_INT(outline, "delay", 50);
  p->ballFrames = OPR_INT(outline, "ball_frames", 5);
  if (p->ballFrames < 1 || p->ballFrames > OST_MAX_BALL_FRAMES) {
    // DELIBERATE: the drum counts balls in steps of ball_frames: zero would divide by
    // zero, a huge step would overflow the drum's frame.
    objReaderNote(&r, "invalid ball_frames %d, fixed to be 1", p->ballFrames);
    p->ballFrames = 1;
  }
  p->ballMindist = OPR_REAL(outline, "ball_mindist", 2.0);
  p->activeTimeout = OPR_INT(outline, "active_timeout", 30000);
  p->releaseX = OPR_REAL(outline, "release_x", 400);
  p->releaseY = OPR_REAL(outline, "release_y", 300);
  p->releaseAngle = OPR_REAL(outline, "release_angle", 90);
  p->releaseLength = OPR_REAL(outline, "release_length", 10);
  p->releaseHmDelta = OPR_REAL(outline, "release_hm_delta", 10);
  p->shootWaitCycles = OPR_INT(outline, "shoot_wait_cycles", 0);
  BoardObject* o = objReaderAddShape(&r, ostliftHandler, FAM_OSTLIFT, objReaderElasticity(&r), 0);
  if (!o) return objReaderAbandon(&r);
  p->upInst = objReaderInstance(&r, p->up, 0, OST_LAYER);
  p->downInst = objReaderInstance(&r, p->down, 0, OST_LAYER);
  p->drumInst = objReaderInstance(&r, p->drum, 0, OST_LAYER);
  objReaderFinish(&r, o);
  objReaderDisabled(&r, o);
  gOst.object = o;
  gOst.parms = p;
  show(p);
  objReaderNote(&r, "sprite-'%s' ball_frames-%d ball_mindist-%.2f", p->up->name, p->ballFrames, p->ballMindist);
  return 1;
}
